// The canvas: drawing state, mapping, clipping and the drawing calls.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "framework/ui/Graphics.h"

namespace ui {

struct TCanvas::TSavedState {
    TFontData Font;
    TColor FontColor;
    TPenData Pen;
    TBrushData Brush;
    TPoint PenPos;
    bool Clipped;
    TRegion Clip;
    int MapMode;
    TPoint WindowOrg;
    TSize WindowExt;
    TPoint ViewportOrg;
    TSize ViewportExt;
    TColor TextColor;
    TColor BkColor;
    int BkMode;
    TCanvasState State;
};

TCanvas::TCanvas() : TCanvas(nullptr) {}

TCanvas::TCanvas(TSurface* Surface)
    : FSurface(Surface),
      FFont(std::make_unique<TFont>()),
      FPen(std::make_unique<TPen>()),
      FBrush(std::make_unique<TBrush>()) {
    FFont->OnChange = [this](rtl::TObject*) { FState.Exclude(csFontValid); };
    FPen->OnChange = [this](rtl::TObject*) { FState.Exclude(csPenValid); };
    FBrush->OnChange = [this](rtl::TObject*) { FState.Exclude(csBrushValid); };
}

TCanvas::~TCanvas() = default;

void TCanvas::SetSurface(TSurface* Value) {
    FSurface = Value;
    FClipped = false;
    FClip.Clear();
    FMapMode = MM_TEXT;
    FWindowOrg = {};
    FViewportOrg = {};
    FWindowExt = {1, 1};
    FViewportExt = {1, 1};
    FSaved.clear();
    FState = {};
}

TSurface& TCanvas::RequireSurface() {
    if (!FSurface) CreateHandle();
    if (!FSurface) throw rtl::EInvalidOperation("Canvas does not allow drawing");
    return *FSurface;
}

bool TCanvas::TryLock() noexcept {
    if (FLockCount > 0) return false;
    ++FLockCount;
    return true;
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

void TCanvas::RequireState() {
    if (!FState.Contains(csFontValid)) {
        FTextColor = FFont->Color();
        FState.Include(csFontValid);
    }
    if (!FState.Contains(csBrushValid)) {
        FBkColor = FBrush->Color();
        FBkMode = FBrush->Style() == bsClear ? TRANSPARENT : OPAQUE;
        FState.Include(csBrushValid);
    }
    FState.Include(csPenValid);
}

TSurface& TCanvas::Prepare() {
    TSurface& s = RequireSurface();
    RequireState();
    Changing();
    ApplyClip();
    return s;
}

void TCanvas::ApplyClip() {
    if (FSurface) FSurface->SetClip(FClipped ? &FClip : nullptr);
}

TPenData TCanvas::ResolvedPen() const {
    TPenData p = FPen->Data();
    p.Color = static_cast<TColor>(ColorToRGB(p.Color));
    return p;
}

TBrushData TCanvas::ResolvedBrush() const {
    TBrushData b = FBrush->Data();
    b.Color = static_cast<TColor>(ColorToRGB(b.Color));
    return b;
}

// ---------------------------------------------------------------------------------------------
// Mapping

namespace {
int Scale(int V, int Num, int Den) noexcept {
    if (Den == 0 || Num == Den) return V;
    double r = double(V) * Num / Den;
    return static_cast<int>(std::lround(r));
}
}  // namespace

int TCanvas::MapX(int X) const noexcept {
    int v = X - FWindowOrg.X;
    if (FMapMode == MM_ANISOTROPIC) v = Scale(v, FViewportExt.cx, FWindowExt.cx);
    return v + FViewportOrg.X;
}

int TCanvas::MapY(int Y) const noexcept {
    int v = Y - FWindowOrg.Y;
    if (FMapMode == MM_ANISOTROPIC) v = Scale(v, FViewportExt.cy, FWindowExt.cy);
    return v + FViewportOrg.Y;
}

TPoint TCanvas::LPtoDP(TPoint P) const noexcept { return {MapX(P.X), MapY(P.Y)}; }

TPoint TCanvas::DPtoLP(TPoint P) const noexcept {
    int x = P.X - FViewportOrg.X, y = P.Y - FViewportOrg.Y;
    if (FMapMode == MM_ANISOTROPIC) {
        x = Scale(x, FWindowExt.cx, FViewportExt.cx);
        y = Scale(y, FWindowExt.cy, FViewportExt.cy);
    }
    return {x + FWindowOrg.X, y + FWindowOrg.Y};
}

TRect TCanvas::LPtoDP(const TRect& R) const noexcept {
    TPoint a = LPtoDP(R.TopLeft()), b = LPtoDP(R.BottomRight());
    return TRect{a.X, a.Y, b.X, b.Y}.Normalized();
}

TRect TCanvas::DPtoLP(const TRect& R) const noexcept {
    TPoint a = DPtoLP(R.TopLeft()), b = DPtoLP(R.BottomRight());
    return TRect{a.X, a.Y, b.X, b.Y}.Normalized();
}

int TCanvas::SetMapMode(int Mode) {
    int old = FMapMode;
    FMapMode = Mode == MM_ANISOTROPIC ? MM_ANISOTROPIC : MM_TEXT;
    if (FMapMode == MM_TEXT) {
        FWindowExt = {1, 1};
        FViewportExt = {1, 1};
    }
    return old;
}

TPoint TCanvas::SetWindowOrgEx(int X, int Y) {
    TPoint old = FWindowOrg;
    FWindowOrg = {X, Y};
    return old;
}

TSize TCanvas::SetWindowExtEx(int CX, int CY) {
    TSize old = FWindowExt;
    // Extents only count in the scalable mode, and a zero extent would divide by zero.
    if (FMapMode == MM_ANISOTROPIC && CX != 0 && CY != 0) FWindowExt = {CX, CY};
    return old;
}

TPoint TCanvas::SetViewportOrgEx(int X, int Y) {
    TPoint old = FViewportOrg;
    FViewportOrg = {X, Y};
    return old;
}

TSize TCanvas::SetViewportExtEx(int CX, int CY) {
    TSize old = FViewportExt;
    if (FMapMode == MM_ANISOTROPIC && CX != 0 && CY != 0) FViewportExt = {CX, CY};
    return old;
}

// ---------------------------------------------------------------------------------------------
// Colours and modes

TColor TCanvas::SetTextColor(TColor Color) noexcept {
    RequireState();
    TColor old = FTextColor;
    FTextColor = Color;
    return old;
}

TColor TCanvas::SetBkColor(TColor Color) noexcept {
    RequireState();
    TColor old = FBkColor;
    FBkColor = Color;
    return old;
}

int TCanvas::SetBkMode(int Mode) noexcept {
    RequireState();
    int old = FBkMode;
    if (Mode == TRANSPARENT || Mode == OPAQUE) FBkMode = Mode;
    return old;
}

// ---------------------------------------------------------------------------------------------
// Clipping

TRect TCanvas::SurfaceBounds() const noexcept {
    if (FSurface) return {0, 0, FSurface->Width(), FSurface->Height()};
    constexpr int Far = 1 << 24;
    return {-Far, -Far, Far, Far};
}

int TCanvas::RegionKind() const noexcept {
    if (!FClipped) return SIMPLEREGION;
    if (FClip.IsEmpty()) return NULLREGION;
    return FClip.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

TRect TCanvas::ClipRect() {
    if (!FSurface) return {};
    TRect b = SurfaceBounds();
    if (FClipped) IntersectRect(b, b, FClip.Bounds());
    return DPtoLP(b);
}

int TCanvas::GetClipRgn(TRegion& Region) const {
    if (!FClipped) return 0;
    Region = FClip;
    return 1;
}

int TCanvas::SelectClipRgn(const TRegion* Region) {
    if (Region) {
        FClip = *Region;
        FClipped = true;
    } else {
        FClip.Clear();
        FClipped = false;
    }
    return RegionKind();
}

int TCanvas::IntersectClipRect(const TRect& R) {
    TRect d = LPtoDP(R);
    if (!FClipped) {
        FClip = TRegion(d);
        FClipped = true;
    } else {
        FClip.Intersect(d);
    }
    return RegionKind();
}

int TCanvas::ExcludeClipRect(const TRect& R) {
    if (!FClipped) {
        FClip = TRegion(SurfaceBounds());
        FClipped = true;
    }
    FClip.Subtract(LPtoDP(R));
    return RegionKind();
}

bool TCanvas::RectVisible(const TRect& R) {
    TRect d;
    if (!IntersectRect(d, LPtoDP(R), SurfaceBounds())) return false;
    return !FClipped || FClip.Intersects(d);
}

int TCanvas::SaveDC() {
    RequireState();
    FSaved.push_back(TSavedState{FFont->Data(), FFont->Color(), FPen->Data(), FBrush->Data(), FPenPos, FClipped, FClip,
                                 FMapMode, FWindowOrg, FWindowExt, FViewportOrg, FViewportExt, FTextColor, FBkColor,
                                 FBkMode, FState});
    return static_cast<int>(FSaved.size());
}

bool TCanvas::RestoreDC(int Level) {
    int n = static_cast<int>(FSaved.size());
    int index = Level < 0 ? n + Level : Level - 1;
    if (Level == 0 || index < 0 || index >= n) return false;
    TSavedState s = std::move(FSaved[index]);
    FSaved.resize(index);
    TFont font;
    font.SetName(s.Font.Name);
    font.SetHeight(s.Font.Height);
    font.SetStyle(s.Font.Style);
    font.SetPitch(s.Font.Pitch);
    font.SetCharset(s.Font.Charset);
    font.SetOrientation(s.Font.Orientation);
    font.SetColor(s.FontColor);
    FFont->Assign(&font);
    TPen pen;
    pen.SetColor(s.Pen.Color);
    pen.SetWidth(s.Pen.Width);
    pen.SetStyle(s.Pen.Style);
    pen.SetMode(s.Pen.Mode);
    pen.SetEndCap(s.Pen.EndCap);
    pen.SetJoinStyle(s.Pen.JoinStyle);
    FPen->Assign(&pen);
    TBrush brush;
    brush.SetColor(s.Brush.Color);
    brush.SetStyle(s.Brush.Style);
    brush.SetBitmap(s.Brush.Bitmap);
    FBrush->Assign(&brush);
    FPenPos = s.PenPos;
    FClipped = s.Clipped;
    FClip = std::move(s.Clip);
    FMapMode = s.MapMode;
    FWindowOrg = s.WindowOrg;
    FWindowExt = s.WindowExt;
    FViewportOrg = s.ViewportOrg;
    FViewportExt = s.ViewportExt;
    FTextColor = s.TextColor;
    FBkColor = s.BkColor;
    FBkMode = s.BkMode;
    FState = s.State;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Lines and shapes

void TCanvas::LineTo(int X, int Y) {
    TPoint pts[2] = {FPenPos, {X, Y}};
    int two = 2;
    PolyPolyline(pts, &two, 1);
    FPenPos = {X, Y};
}

void TCanvas::Polyline(const std::vector<TPoint>& Points) { Polyline(Points.data(), static_cast<int>(Points.size())); }

void TCanvas::Polyline(const TPoint* Points, int Count) {
    if (Count < 2) return;
    PolyPolyline(Points, &Count, 1);
}

void TCanvas::PolyPolyline(const TPoint* Points, const int* Counts, int Lines) {
    if (!Points || !Counts || Lines <= 0) return;
    TSurface& s = Prepare();
    int total = 0;
    for (int i = 0; i < Lines; ++i) total += std::max(Counts[i], 0);
    FMapped.assign(Points, Points + total);
    for (TPoint& p : FMapped) p = LPtoDP(p);
    if (FPen->Style() != psClear) s.PolyPolyline(FMapped.data(), Counts, Lines, ResolvedPen());
    Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& Points) { Polygon(Points.data(), static_cast<int>(Points.size())); }

void TCanvas::Polygon(const TPoint* Points, int Count) {
    if (Count < 2) return;
    TSurface& s = Prepare();
    FMapped.assign(Points, Points + Count);
    for (TPoint& p : FMapped) p = LPtoDP(p);
    s.Polygon(FMapped.data(), Count, ResolvedPen(), ResolvedBrush());
    Changed();
}

void TCanvas::FillRect(const TRect& R) {
    TSurface& s = Prepare();
    if (FBrush->Style() != bsClear) s.FillRect(LPtoDP(R), ResolvedBrush(), PATCOPY);
    Changed();
}

void TCanvas::FillSolid(const TRect& R, TColor Color) {
    TSurface& s = Prepare();
    TBrushData b;
    b.Color = static_cast<TColor>(ColorToRGB(Color));
    s.FillRect(LPtoDP(R), b, PATCOPY);
    Changed();
}

void TCanvas::FrameRect(const TRect& R) {
    TSurface& s = Prepare();
    TRect d = LPtoDP(R);
    if (FBrush->Style() != bsClear && !d.IsEmpty()) {
        TBrushData b = ResolvedBrush();
        s.FillRect({d.Left, d.Top, d.Right, d.Top + 1}, b, PATCOPY);
        s.FillRect({d.Left, d.Bottom - 1, d.Right, d.Bottom}, b, PATCOPY);
        s.FillRect({d.Left, d.Top + 1, d.Left + 1, d.Bottom - 1}, b, PATCOPY);
        s.FillRect({d.Right - 1, d.Top + 1, d.Right, d.Bottom - 1}, b, PATCOPY);
    }
    Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
    TSurface& s = Prepare();
    TRect d = LPtoDP(Rect(X1, Y1, X2, Y2));
    if (!d.IsEmpty()) {
        if (FBrush->Style() != bsClear) s.FillRect(d, ResolvedBrush(), PATCOPY);
        if (FPen->Style() != psClear) {
            TPoint pts[5] = {{d.Left, d.Top},
                             {d.Right - 1, d.Top},
                             {d.Right - 1, d.Bottom - 1},
                             {d.Left, d.Bottom - 1},
                             {d.Left, d.Top}};
            int n = 5;
            s.PolyPolyline(pts, &n, 1, ResolvedPen());
        }
    }
    Changed();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
    TRect r = Rect(X1, Y1, X2, Y2).Normalized();
    if (r.IsEmpty()) return;
    double cx = (r.Left + r.Right) / 2.0, cy = (r.Top + r.Bottom) / 2.0;
    double rx = r.Width() / 2.0, ry = r.Height() / 2.0;
    int steps = std::clamp((r.Width() + r.Height()) * 2, 16, 4096);
    std::vector<TPoint> pts;
    pts.reserve(steps);
    for (int i = 0; i < steps; ++i) {
        double a = 2 * std::numbers::pi * i / steps;
        TPoint p{static_cast<int>(std::lround(cx + rx * std::cos(a))),
                 static_cast<int>(std::lround(cy + ry * std::sin(a)))};
        if (pts.empty() || !(pts.back() == p)) pts.push_back(p);
    }
    Polygon(pts);
}

void TCanvas::DrawFocusRect(const TRect& R) {
    TSurface& s = Prepare();
    s.DrawFocusRect(LPtoDP(R));
    Changed();
}

void TCanvas::PatBlt(int X, int Y, int Width, int Height, uint32_t Rop) {
    TSurface& s = Prepare();
    bool needsBrush = Rop == PATCOPY || Rop == PATINVERT;
    if (!needsBrush || FBrush->Style() != bsClear)
        s.FillRect(LPtoDP(Bounds(X, Y, Width, Height)), ResolvedBrush(), Rop);
    Changed();
}

// ---------------------------------------------------------------------------------------------
// Text

TSize TCanvas::TextExtent(const AnsiString& Text) {
    RequireState();
    if (TSurface* s = FSurface ? FSurface : TextMeasureSurface()) return s->TextExtent(Text, FFont->Data());
    return FixedTextExtent(Text, FFont->Data());
}

int TCanvas::TextWidth(const AnsiString& Text) { return TextExtent(Text).cx; }

int TCanvas::TextHeight(const AnsiString& Text) { return TextExtent(Text).cy; }

TTextMetric TCanvas::GetTextMetrics() {
    RequireState();
    if (TSurface* s = FSurface ? FSurface : TextMeasureSurface()) return s->TextMetrics(FFont->Data());
    return FixedTextMetrics(FFont->Data());
}

void TCanvas::DrawTextLine(int X, int Y, std::string_view Text, const TRect* Clip) {
    TSurface& s = *FSurface;
    const TFontData& font = FFont->Data();
    TPoint at;
    if (font.Orientation == 0) {
        TSize ext = s.TextExtent(Text, font);
        at = LPtoDP(Rect(X, Y, X + ext.cx, Y + ext.cy)).TopLeft();
    } else {
        at = LPtoDP(Point(X, Y));
    }
    TRect clip;
    if (Clip) clip = LPtoDP(*Clip);
    TColor background = FBkMode == OPAQUE ? static_cast<TColor>(ColorToRGB(FBkColor)) : clNone;
    s.TextOut(at.X, at.Y, Text, font, ColorToRGB(FTextColor), background, Clip ? &clip : nullptr);
}

bool TCanvas::ExtTextOut(int X, int Y, unsigned Options, const TRect* R, const AnsiString& Text) {
    TSurface& s = Prepare();
    if ((Options & ETO_OPAQUE) && R) {
        TBrushData b;
        b.Color = static_cast<TColor>(ColorToRGB(FBkColor));
        s.FillRect(LPtoDP(*R), b, PATCOPY);
    }
    if (!Text.empty()) DrawTextLine(X, Y, Text, (Options & ETO_CLIPPED) && R ? R : nullptr);
    Changed();
    return true;
}

void TCanvas::TextOut(int X, int Y, const AnsiString& Text) {
    ExtTextOut(X, Y, FTextFlags & ~unsigned(ETO_OPAQUE | ETO_CLIPPED), nullptr, Text);
    FPenPos = {X + TextWidth(Text), Y};
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const AnsiString& Text) {
    unsigned options = ETO_CLIPPED | (FTextFlags & ~unsigned(ETO_OPAQUE));
    if (FBrush->Style() != bsClear) options |= ETO_OPAQUE;
    ExtTextOut(X, Y, options, &R, Text);
}

int TCanvas::TextRect(TRect& R, const AnsiString& Text, unsigned Flags) { return DrawText(Text, R, Flags); }

// ---------------------------------------------------------------------------------------------
// Graphics and blits

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
    if (!Graphic || Graphic->Empty()) return;
    Graphic->Draw(*this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic) {
    if (!Graphic || Graphic->Empty()) return;
    Graphic->Draw(*this, R);
}

void TCanvas::BlitSurface(const TRect& Dest, TSurface& Source, const TRect& SourceRect, uint32_t Rop,
                          TColor Transparent) {
    TSurface& s = Prepare();
    s.Blit(LPtoDP(Dest), Source, SourceRect, Rop, Transparent);
    Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Source, const TRect& SourceRect) {
    if (!Source) return;
    BlitSurface(Dest, Source->RequireSurface(), Source->LPtoDP(SourceRect), FCopyMode);
}

void TCanvas::BitBlt(int X, int Y, int Width, int Height, TCanvas* Source, int SX, int SY, uint32_t Rop) {
    if (!Source) {
        PatBlt(X, Y, Width, Height, Rop);
        return;
    }
    BlitSurface(Bounds(X, Y, Width, Height), Source->RequireSurface(), Source->LPtoDP(Bounds(SX, SY, Width, Height)),
                Rop);
}

void TCanvas::StretchBlt(int X, int Y, int Width, int Height, TCanvas* Source, int SX, int SY, int SWidth, int SHeight,
                         uint32_t Rop) {
    if (!Source) {
        PatBlt(X, Y, Width, Height, Rop);
        return;
    }
    BlitSurface(Bounds(X, Y, Width, Height), Source->RequireSurface(), Source->LPtoDP(Bounds(SX, SY, SWidth, SHeight)),
                Rop);
}

TColor TCanvas::Pixel(int X, int Y) {
    if (!FSurface) CreateHandle();
    if (!FSurface) return clNone;
    TPoint p = LPtoDP(Point(X, Y));
    return FSurface->GetPixel(p.X, p.Y);
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
    TSurface& s = Prepare();
    TPoint p = LPtoDP(Point(X, Y));
    if (!FClipped || FClip.Contains(p)) s.SetPixel(p.X, p.Y, ColorToRGB(Color));
    Changed();
}

}  // namespace ui
