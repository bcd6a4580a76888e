// Image lists.
#include "framework/ui/ImgList.h"

#include <algorithm>
#include <unordered_set>

namespace ui {

namespace {

// A colour that none of Used holds, to stand for "transparent" in a keyed blit.
TColorRef ChooseKey(const std::unordered_set<uint32_t>& Used) {
    TColorRef key = RGB(255, 0, 255);
    while (Used.count(key)) key = (key + 0x010101u) & 0xFFFFFF;
    return key;
}

}  // namespace

TCustomImageList::TCustomImageList(rtl::TComponent* Owner) : TComponent(Owner) {}

TCustomImageList::~TCustomImageList() = default;

TCustomImageList* TCustomImageList::CreateSize(int Width, int Height, rtl::TComponent* Owner) {
    auto* list = rtl::Create<TCustomImageList>(Owner);
    try {
        list->SetSize(Width, Height);
    } catch (...) {
        list->Free();
        throw;
    }
    return list;
}

void TCustomImageList::SetSize(int Width, int Height) {
    if (Width < 1 || Height < 1) throw rtl::EInvalidOperation("Invalid image size");
    if (Width == FWidth && Height == FHeight) return;
    FWidth = Width;
    FHeight = Height;
    FImages.clear();
    FStripValid = false;
    Changed();
}

void TCustomImageList::SetBkColor(TColor Value) {
    if (Value == FBkColor) return;
    FBkColor = Value;
    Changed();
}

void TCustomImageList::SetBlendColor(TColor Value) {
    if (Value == FBlendColor) return;
    FBlendColor = Value;
    Changed();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle Value) {
    if (Value == FDrawingStyle) return;
    FDrawingStyle = Value;
    Changed();
}

void TCustomImageList::SetImageType(TImageType Value) {
    if (Value == FImageType) return;
    FImageType = Value;
    Changed();
}

void TCustomImageList::Changed() {
    if (OnChange) OnChange(this);
}

void TCustomImageList::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) throw rtl::EInvalidOperation("Invalid ImageList Index");
}

TCustomImageList::TImage TCustomImageList::Slice(TBitmap* Image, TBitmap* Mask, TColor MaskColor, int Column) const {
    TImage img;
    img.Pixels.resize(size_t(FWidth) * FHeight);
    img.Opaque.assign(img.Pixels.size(), 1);
    TRasterSurface& src = Image->Surface();
    TRasterSurface* mask = Mask && !Mask->Empty() ? &Mask->Surface() : nullptr;
    const bool keyed = MaskColor != clNone;
    const TColorRef key = keyed ? ColorToRGB(MaskColor) : 0;
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x) {
            int sx = Column * FWidth + x;
            size_t i = size_t(y) * FWidth + x;
            TColorRef c = static_cast<TColorRef>(src.GetPixel(sx, y));
            img.Pixels[i] = c;
            if (keyed) {
                img.Opaque[i] = c != key;
            } else if (mask && sx < mask->Width() && y < mask->Height()) {
                img.Opaque[i] = (static_cast<TColorRef>(mask->GetPixel(sx, y)) & 0xFFFFFF) == 0;
            }
        }
    return img;
}

std::vector<TCustomImageList::TImage> TCustomImageList::Split(TBitmap* Image, TBitmap* Mask, TColor MaskColor) const {
    if (!Image || Image->Height() != FHeight || Image->Width() < FWidth)
        throw rtl::EInvalidOperation("Invalid image size");
    if (MaskColor == clDefault) MaskColor = static_cast<TColor>(Image->Surface().GetPixel(0, FHeight - 1));
    std::vector<TImage> out;
    for (int col = 0; col < Image->Width() / FWidth; ++col) out.push_back(Slice(Image, Mask, MaskColor, col));
    return out;
}

int TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
    std::vector<TImage> images = Split(Image, Mask, clNone);
    HandleNeeded();
    int first = Count();
    for (TImage& img : images) FImages.push_back(std::move(img));
    FStripValid = false;
    Changed();
    return first;
}

int TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
    std::vector<TImage> images = Split(Image, nullptr, MaskColor);
    HandleNeeded();
    int first = Count();
    for (TImage& img : images) FImages.push_back(std::move(img));
    FStripValid = false;
    Changed();
    return first;
}

void TCustomImageList::Replace(int Index, TBitmap* Image, TBitmap* Mask) {
    CheckIndex(Index);
    std::vector<TImage> images = Split(Image, Mask, clNone);
    FImages[Index] = std::move(images.front());
    FStripValid = false;
    Changed();
}

void TCustomImageList::Delete(int Index) {
    CheckIndex(Index);
    FImages.erase(FImages.begin() + Index);
    FStripValid = false;
    Changed();
}

void TCustomImageList::Clear() {
    if (FImages.empty()) return;
    FImages.clear();
    FStripValid = false;
    Changed();
}

TColor TCustomImageList::ImagePixel(int Index, int X, int Y) const {
    if (Index < 0 || Index >= Count() || X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return clNone;
    size_t i = size_t(Y) * FWidth + X;
    const TImage& img = FImages[Index];
    return img.Opaque[i] ? static_cast<TColor>(img.Pixels[i]) : clNone;
}

TRasterSurface& TCustomImageList::Strip() {
    if (!FStripValid || !FStrip) {
        std::unordered_set<uint32_t> used;
        for (const TImage& img : FImages)
            for (size_t i = 0; i < img.Pixels.size(); ++i)
                if (img.Opaque[i]) used.insert(img.Pixels[i]);
        FKey = ChooseKey(used);
        FStrip = std::make_unique<TMemorySurface>(FWidth * Count(), FHeight);
        for (int n = 0; n < Count(); ++n)
            for (int y = 0; y < FHeight; ++y)
                for (int x = 0; x < FWidth; ++x) {
                    size_t i = size_t(y) * FWidth + x;
                    const TImage& img = FImages[n];
                    FStrip->SetPixel(n * FWidth + x, y, img.Opaque[i] ? img.Pixels[i] : FKey);
                }
        FStripValid = true;
    }
    return *FStrip;
}

bool TCustomImageList::DrawEx(TCanvas* Canvas, int Index, int X, int Y, int DX, int DY, TColorRef Bk, TColorRef Fg,
                              unsigned Style) {
    if (!Canvas || !FHandleAllocated || Index < 0 || Index >= Count()) return false;
    const int w = DX > 0 ? std::min(DX, FWidth) : FWidth;
    const int h = DY > 0 ? std::min(DY, FHeight) : FHeight;
    const TRect dest = Bounds(X, Y, w, h);
    const TImage& img = FImages[Index];

    if (Style & ILD_MASK) {
        TMemorySurface mask(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                mask.SetPixel(x, y, img.Opaque[size_t(y) * FWidth + x] ? RGB(0, 0, 0) : RGB(255, 255, 255));
        Canvas->BlitSurface(dest, mask, Rect(0, 0, w, h), SRCCOPY);
        return true;
    }

    TColor background = clNone;
    if (!(Style & ILD_TRANSPARENT) && Bk != CLR_NONE) {
        if (Bk == CLR_DEFAULT)
            background = FBkColor;
        else
            background = static_cast<TColor>(Bk & 0xFFFFFF);
    }
    if (background != clNone) Canvas->FillSolid(dest, background);

    const int percent = (Style & ILD_BLEND50) ? 50 : (Style & ILD_BLEND25) ? 25 : 0;
    if (percent > 0 && Fg != CLR_NONE) {
        TColor blend = Fg == CLR_DEFAULT ? clHighlight : static_cast<TColor>(Fg & 0xFFFFFF);
        std::vector<uint32_t> mixed(size_t(w) * h);
        std::unordered_set<uint32_t> used;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                size_t i = size_t(y) * FWidth + x;
                uint32_t c = static_cast<TColorRef>(MixColors(static_cast<TColor>(img.Pixels[i]), blend, percent));
                mixed[size_t(y) * w + x] = c;
                if (img.Opaque[i]) used.insert(c);
            }
        TColorRef key = ChooseKey(used);
        TMemorySurface temp(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                temp.SetPixel(x, y, img.Opaque[size_t(y) * FWidth + x] ? mixed[size_t(y) * w + x] : key);
        Canvas->BlitSurface(dest, temp, Rect(0, 0, w, h), SRCCOPY, static_cast<TColor>(key));
        return true;
    }

    TRasterSurface& strip = Strip();
    Canvas->BlitSurface(dest, strip, Bounds(Index * FWidth, 0, w, h), SRCCOPY, static_cast<TColor>(FKey));
    return true;
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
    Draw(Canvas, X, Y, Index, FDrawingStyle, FImageType, Enabled);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle Style, TImageType Type,
                            bool Enabled) {
    if (!Canvas || Index < 0 || Index >= Count()) return;
    HandleNeeded();
    if (!Enabled) {
        // Embossed: the opaque shape in the highlight colour one pixel off, the shadow colour on top.
        const TImage& img = FImages[Index];
        for (auto [dx, colour] : {std::pair{1, clBtnHighlight}, std::pair{0, clBtnShadow}}) {
            TColorRef c = ColorToRGB(colour);
            TColorRef key = c == RGB(255, 0, 255) ? RGB(0, 255, 0) : RGB(255, 0, 255);
            TMemorySurface temp(FWidth, FHeight);
            for (int y = 0; y < FHeight; ++y)
                for (int x = 0; x < FWidth; ++x) temp.SetPixel(x, y, img.Opaque[size_t(y) * FWidth + x] ? c : key);
            Canvas->BlitSurface(Bounds(X + dx, Y + dx, FWidth, FHeight), temp, Rect(0, 0, FWidth, FHeight), SRCCOPY,
                                static_cast<TColor>(key));
        }
        return;
    }
    unsigned style = Style == dsFocus         ? ILD_FOCUS
                     : Style == dsSelected    ? ILD_SELECTED
                     : Style == dsTransparent ? ILD_TRANSPARENT
                                              : ILD_NORMAL;
    if (Type == itMask) style |= ILD_MASK;
    DrawEx(Canvas, Index, X, Y, 0, 0, ColorToImageListColor(FBkColor),
           FBlendColor == clNone ? CLR_DEFAULT : ColorToImageListColor(FBlendColor), style);
}

bool TCustomImageList::GetBitmap(int Index, TBitmap* Image) {
    if (!Image || Index < 0 || Index >= Count()) return false;
    HandleNeeded();
    Image->SetSize(FWidth, FHeight);
    return DrawEx(Image->Canvas(), Index, 0, 0, 0, 0, CLR_DEFAULT, CLR_NONE, ILD_NORMAL);
}

bool ImageList_DrawEx(TCustomImageList* List, int Index, HDC DC, int X, int Y, int DX, int DY, TColorRef Bk,
                      TColorRef Fg, unsigned Style) {
    return List && List->DrawEx(DC, Index, X, Y, DX, DY, Bk, Fg, Style);
}

}  // namespace ui
