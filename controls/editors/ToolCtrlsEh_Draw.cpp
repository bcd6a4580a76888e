#include "controls/editors/ToolCtrlsEh_Draw.h"

#include <algorithm>
#include <cstdlib>

#include "framework/rtl/SysUtils.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"
#include "framework/ui/Themes.h"

namespace editors {

using namespace ui;

bool UseButtonBitmapCache = true;

namespace {

int Round(double V) { return static_cast<int>(rtl::BankersRound(V)); }

struct TUnitValues {
    int FlatWidth;
    int CheckWidth = 0;
    int CheckHeight = 0;
    TUnitValues() : FlatWidth(ComputeFlatButtonWidth()) {
        TBitmap b;
        if (LoadSystemBitmap(&b, OBM_CHECKBOXES)) {
            CheckWidth = b.Width() / 4;
            CheckHeight = b.Height() / 3;
        }
    }
};

TUnitValues& UnitValues() {
    static TUnitValues v;
    return v;
}

TColor SysBrush(int Index) { return GetSysColorBrush(Index); }

// Offset of the disabled / pressed / hot / normal state inside a themed element's group.
int ThemeStateOffset(bool Enabled, bool Pressed, bool Active) {
    if (!Enabled) return 3;
    if (Pressed) return 2;
    if (Active) return 1;
    return 0;
}

// The largest square centred in R; the odd pixel goes to the far side.
TRect CentredSquare(TRect R) {
    const int w = R.Width(), h = R.Height();
    if (w > h) {
        R.Left += (w - h) / 2;
        R.Right = R.Left + h;
    } else if (h > w) {
        R.Top += (h - w) / 2;
        R.Bottom = R.Top + w;
    }
    return R;
}

// Background of the ellipsis and plus/minus faces; answers the rectangle left for the symbol.
TRect DrawSymbolBackground(HDC DC, const TRect& Rect, bool Enabled, bool Pressed, bool Flat, bool Active,
                           bool FillInner) {
    TRect R = Rect;
    if (ThemesActive()) {
        const int off = ThemeStateOffset(Enabled, Pressed, Active);
        if (Flat) {
            ThemeServices().DrawElement(
                DC, TThemeServices::GetElementDetails(TThemedToolBar(int(ttbButtonNormal) + off)), R);
            R.Inflate(-1, -1);
        } else {
            ThemeServices().DrawElement(
                DC, TThemeServices::GetElementDetails(TThemedButton(int(tbPushButtonNormal) + off)), R);
            R.Inflate(-2, -2);
        }
    } else if (Flat) {
        FillRectColor(DC, R, SysBrush(COLOR_BTNFACE));
        R.Inflate(-1, -1);
    } else {
        TRect e = R;
        DrawEdge(DC, e, Pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
        R.Inflate(-2, -2);
        if (FillInner) FillRectColor(DC, R, SysBrush(COLOR_BTNFACE));
    }
    return R;
}

// Enabled symbols in the button text colour; disabled ones embossed (highlight copy, then shadow).
template <class Paint>
void PaintSymbol(bool Enabled, Paint&& P) {
    if (Enabled) {
        P(0, SysBrush(COLOR_BTNTEXT));
    } else {
        P(1, SysBrush(COLOR_BTNHIGHLIGHT));
        P(0, SysBrush(COLOR_BTNSHADOW));
    }
}

void BlitFace(HDC DC, const TRect& R, const TButtonBitmapKey& Key) {
    TBitmap* b = ButtonsBitmapCache().GetBitmap(Key);
    if (b->Empty()) return;
    DC->StretchBlt(R.Left, R.Top, R.Width(), R.Height(), b->Canvas(), 0, 0, b->Width(), b->Height(), SRCCOPY);
}

}  // namespace

int FlatButtonWidth() { return UnitValues().FlatWidth; }
int CheckBoxWidth() { return UnitValues().CheckWidth; }
int CheckBoxHeight() { return UnitValues().CheckHeight; }

bool ThemesActive() { return ThemeServices().ThemesEnabled(); }

// ---------------------------------------------------------------------------------------------
// Face cache

TBitmap* TButtonsBitmapCache::GetBitmap(TButtonBitmapKey Key) {
    Key.Width = std::max(Key.Width, 0);
    Key.Height = std::max(Key.Height, 0);
    for (const TEntry& e : FEntries)
        if (e.Key == Key) return e.Bitmap.get();
    TEntry e{Key, rtl::TOwnedPtr<TBitmap>(rtl::Create<TBitmap>())};
    e.Bitmap->SetSize(Key.Width, Key.Height);
    if (!e.Bitmap->Empty()) {
        const TRect r{0, 0, Key.Width, Key.Height};
        HDC dc = e.Bitmap->Canvas();
        if (Key.Style == bfsCheckBox)
            DrawCheckSquare(dc, r, TCheckBoxState(Key.State), Key.Active, Key.Pressed, Key.Flat, Key.Enabled);
        else if (Key.Style < 6)
            DrawButtonFaceKind(dc, Key.Style, r, Key.Enabled, Key.Flat, Key.Active, Key.Pressed, Key.LowerHalf);
    }
    FEntries.push_back(std::move(e));
    return FEntries.back().Bitmap.get();
}

TButtonsBitmapCache& ButtonsBitmapCache() {
    static TButtonsBitmapCache cache;
    return cache;
}

void FlushButtonBitmapCache() { ButtonsBitmapCache().Clear(); }

// ---------------------------------------------------------------------------------------------
// Faces

void DrawCheckSquare(HDC DC, const TRect& Rect, TCheckBoxState State, bool Active, bool Pressed, bool Flat,
                     bool Enabled) {
    TRect sq = CentredSquare(Rect);
    unsigned flags = DFCS_BUTTONCHECK;
    if (State == cbChecked) flags |= DFCS_CHECKED;
    if (State == cbGrayed) flags |= DFCS_BUTTON3STATE | DFCS_CHECKED;
    if (!Enabled) flags |= DFCS_INACTIVE;
    if (Pressed) flags |= DFCS_PUSHED;
    int saved = 0;
    if (Flat) {
        // The control's own 3-D border must fall outside the visible square.
        saved = DC->SaveDC();
        TRect clip = sq;
        clip.Inflate(-1, -1);
        DC->IntersectClipRect(clip);
        sq.Inflate(1, 1);
    }
    if (ThemesActive()) {
        TThemedButton base = State == cbChecked  ? tbCheckBoxCheckedNormal
                             : State == cbGrayed ? tbCheckBoxMixedNormal
                                                 : tbCheckBoxUncheckedNormal;
        TThemedButton d = TThemedButton(int(base) + (Enabled ? 0 : 3));
        ThemeServices().DrawElement(DC, TThemeServices::GetElementDetails(d), Rect);
    } else {
        DrawFrameControl(DC, sq, DFC_BUTTON, flags);
    }
    if (Flat) {
        DC->RestoreDC(saved);
        sq.Inflate(-1, -1);
        FrameRectColor(DC, sq, SysBrush(Active ? COLOR_BTNFACE : COLOR_BTNSHADOW));
    }
}

void DrawDropDownFace(HDC DC, const TRect& Rect, bool Enabled, bool Pressed, bool Active, bool Flat) {
    if (ThemesActive()) {
        const int off = ThemeStateOffset(Enabled, Pressed, Active);
        ThemeServices().DrawElement(
            DC, TThemeServices::GetElementDetails(TThemedComboBox(int(tcDropDownButtonNormal) + off)), Rect);
        return;
    }
    unsigned flags = DFCS_SCROLLCOMBOBOX;
    if (Pressed) flags |= DFCS_PUSHED;
    if (Flat) flags |= DFCS_FLAT;
    if (!Enabled) flags |= DFCS_INACTIVE;
    DrawFrameControl(DC, Rect, DFC_SCROLL, flags);
}

void DrawSpinFace(HDC DC, const TRect& Rect, bool Enabled, bool LowerHalf, bool Pressed, bool Active, bool Flat) {
    if (ThemesActive()) {
        const int off = ThemeStateOffset(Enabled, Pressed, Active);
        const TThemedSpin base = LowerHalf ? tsDownNormal : tsUpNormal;
        ThemeServices().DrawElement(DC, TThemeServices::GetElementDetails(TThemedSpin(int(base) + off)), Rect);
        return;
    }
    unsigned flags = LowerHalf ? DFCS_SCROLLDOWN : DFCS_SCROLLUP;
    if (Pressed) flags |= DFCS_PUSHED;
    if (Flat) flags |= DFCS_FLAT;
    if (!Enabled) flags |= DFCS_INACTIVE;
    DrawFrameControl(DC, Rect, DFC_SCROLL, flags);
}

void DrawEllipsisFace(HDC DC, const TRect& Rect, bool Enabled, bool Pressed, bool Flat, bool Active) {
    const TRect r = DrawSymbolBackground(DC, Rect, Enabled, Pressed, Flat, Active, false);
    const int w = r.Width(), h = r.Height();
    const int d = w > 7 ? 2 : 1;
    const int g = w < 12 ? 1 : 2;
    const int p = Pressed ? 1 : 0;
    const int x = r.Left + w / 2 - d / 2 + p;
    const int y = r.Top + h / 2 - d / 2 + p;
    PaintSymbol(Enabled, [&](int Shift, TColor Color) {
        for (int dx : {x - g - d, x, x + d + g}) FillRectColor(DC, Bounds(dx + Shift, y + Shift, d, d), Color);
    });
}

void DrawPlusMinusFace(HDC DC, const TRect& Rect, bool Enabled, bool Active, bool Flat, bool Pressed, bool IsPlus) {
    const TRect r = DrawSymbolBackground(DC, Rect, Enabled, Pressed, Flat, Active, true);
    const int w = r.Width(), h = r.Height();
    const int m = std::min(w, h);
    int l = std::max(m * 4 / 7, 1);
    const int t = std::max(l / 3, 1);
    if (Flat) l -= 1;
    if ((l & 1) != (m & 1)) l += 1;
    if (IsPlus && (l & 1) != (t & 1)) l += m < 12 ? 1 : -1;
    const int p = Pressed ? 1 : 0;
    const int x = r.Left + (w - l) / 2 + p;
    const int y = r.Top + (h - t) / 2 + p;
    const int o = l / 2 - t / 2;
    PaintSymbol(Enabled, [&](int Shift, TColor Color) {
        FillRectColor(DC, Bounds(x + Shift, y + Shift, l, t), Color);
        if (IsPlus) FillRectColor(DC, Bounds(x + o + Shift, y - o + Shift, t, l), Color);
    });
}

void DrawButtonFaceKind(HDC DC, int Style, const TRect& Rect, bool Enabled, bool Flat, bool Active, bool Pressed,
                        bool LowerHalf) {
    const bool themes = ThemesActive();
    const bool outline = Active && Flat && !themes;
    int saved = 0;
    if (outline) {
        saved = DC->SaveDC();
        TRect clip = Rect;
        clip.Inflate(-1, -1);
        DC->IntersectClipRect(clip);
    }
    const int grow = Flat && !themes ? (Active ? 1 : 2) : 0;
    TRect r = Rect;
    r.Inflate(grow, grow);
    switch (Style) {
        case bfsDropDown: DrawDropDownFace(DC, r, Enabled, Pressed, Active, Flat); break;
        case bfsEllipsis: DrawEllipsisFace(DC, r, Enabled, Pressed, Flat, Active); break;
        case bfsUpDown: DrawSpinFace(DC, r, Enabled, LowerHalf, Pressed, Active, Flat); break;
        case bfsPlus:
        case bfsMinus: DrawPlusMinusFace(DC, r, Enabled, Active, Flat, Pressed, Style == bfsPlus); break;
        default: break;
    }
    if (outline) {
        DC->RestoreDC(saved);
        TRect e = Rect;
        DrawEdge(DC, e, Pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
}

void DrawEditButtonFace(HDC DC, const TRect& Rect, TColor BackColor, int Style, int DownPart, bool Flat, bool Active,
                        bool Enabled, TCheckBoxState State) {
    const bool themes = ThemesActive();
    if (Style == bfsCheckBox) {
        if (themes) Flat = false;
        TRect sq = CentredSquare(Rect);
        if (Flat) sq.Inflate(-1, -1);
        if (UseButtonBitmapCache)
            BlitFace(DC, sq,
                     {sq.Width(), sq.Height(), bfsCheckBox, Flat, DownPart != 0, Active, Enabled, false, State});
        else
            DrawCheckSquare(DC, sq, State, Active, DownPart != 0, Flat, Enabled);
        if (!Flat) return;
        sq.Inflate(1, 1);
        if (Active)
            DrawEdge(DC, sq, BDR_SUNKENOUTER, BF_RECT);
        else
            FrameRectColor(DC, sq, TColor(ColorToRGB(BackColor)));
        return;
    }

    const bool frame = Flat && !Active && !themes;
    TRect r = Rect;
    int saved = 0;
    if (frame) {
        r.Inflate(-1, -1);
        if (!UseButtonBitmapCache) {
            saved = DC->SaveDC();
            DC->IntersectClipRect(r);
        }
    }
    auto face = [&](const TRect& F, int FaceStyle, bool Pressed, bool Lower) {
        if (UseButtonBitmapCache)
            BlitFace(DC, F, {F.Width(), F.Height(), FaceStyle, Flat, Pressed, Active, Enabled, Lower, 0});
        else
            DrawButtonFaceKind(DC, FaceStyle, F, Enabled, Flat, Active, Pressed, Lower);
    };
    if (Style == bfsUpDown) {
        const int half = Rect.Height() / 2;
        TRect up{Rect.Left, Rect.Top, Rect.Right, Rect.Top + half};
        TRect down{Rect.Left, Rect.Bottom - half, Rect.Right, Rect.Bottom};
        if (frame) {
            up.Inflate(-1, -1);
            down.Inflate(-1, -1);
        } else {
            up = TRect{r.Left, r.Top, r.Right, r.Top + r.Height() / 2};
            down = TRect{r.Left, r.Bottom - r.Height() / 2, r.Left + r.Width(), r.Bottom};
        }
        face(up, bfsUpDown, DownPart == 1, false);
        face(down, bfsUpDown, DownPart == 2, true);
        if ((Rect.Height() & 1) != 0 || frame)
            FillRectColor(DC, TRect{r.Left, up.Bottom, r.Right, down.Top}, BackColor);
    } else {
        face(r, Style, DownPart != 0, false);
    }
    if (frame) {
        r.Inflate(1, 1);
        if (!UseButtonBitmapCache) DC->RestoreDC(saved);
        FrameRectColor(DC, r, BackColor);
    }
}

// ---------------------------------------------------------------------------------------------
// Sizes

TRect FitCheckBoxRect(const TRect& Rect, TAlignment HAlign, TTextLayout VLayout) {
    TRect r = Rect;
    const int w = std::min(CheckBoxWidth(), Rect.Width());
    const int h = std::min(CheckBoxHeight(), Rect.Height());
    if (CheckBoxWidth() < Rect.Width()) {
        if (HAlign == db::taRightJustify)
            r.Left = Rect.Right - w;
        else if (HAlign == db::taCenter)
            r.Left = Rect.Left + int(unsigned(Rect.Width()) / 2) - int(unsigned(w) / 2);
        r.Right = r.Left + w;
    }
    if (CheckBoxHeight() < Rect.Height()) {
        if (VLayout == tlCenter)
            r.Top = Rect.Top + int(unsigned(Rect.Height()) / 2) - int(unsigned(h) / 2);
        else if (VLayout == tlBottom)
            r.Top = Rect.Bottom - h;
        r.Bottom = r.Top + h;
    }
    return r;
}

int ComputeFlatButtonWidth() {
    const TTextMetric tm = FixedTextMetrics(TFontData{});
    int w = Round(tm.tmHeight / 3.0 * 2);
    if (w % 2 == 0) ++w;
    return std::min(w, GetSystemMetrics(SM_CXVSCROLL));
}

int EditButtonHeightForWidth(int Width, bool Flat) { return Flat ? Round(Width * 3 / 2.0) : Width; }

void DrawImageCentered(HDC DC, const TRect& Rect, TCustomImageList* Images, bool Selected, int ImageIndex) {
    if (!Images || !Images->HandleAllocated()) return;
    const int left = (Rect.Left + Rect.Right - Images->Width()) / 2;
    const int top = (Rect.Top + Rect.Bottom - Images->Height()) / 2;
    const TRect ir = Bounds(left, top, Images->Width(), Images->Height());
    const bool inside =
        ir.Left >= Rect.Left && ir.Top >= Rect.Top && ir.Right <= Rect.Right && ir.Bottom <= Rect.Bottom;
    int saved = 0;
    if (!inside) {
        saved = DC->SaveDC();
        DC->IntersectClipRect(Rect);
    }
    unsigned style = Images->ImageType() == itMask ? ILD_MASK : ILD_NORMAL;
    if (Selected) style |= ILD_SELECTED;
    Images->DrawEx(DC, ImageIndex, left, top, 0, 0, ColorToImageListColor(Images->BkColor()),
                   ColorToImageListColor(Selected ? clHighlight : Images->BlendColor()), style);
    if (!inside) DC->RestoreDC(saved);
}

// ---------------------------------------------------------------------------------------------
// Placement

TPoint PlaceDropDownAtRect(const TRect& AnchorRect, TWinControl* DropDown, TDropDownAlign Align) {
    const TRect work = Screen()->MonitorFromRect(AnchorRect).WorkareaRect;
    int height = DropDown->Height();
    const bool fitsBelow = AnchorRect.Bottom + height <= work.Bottom;
    const bool fitsAbove = AnchorRect.Top - height >= work.Top;
    const bool above = (!fitsBelow && fitsAbove) ||
                       (!fitsBelow && !fitsAbove && AnchorRect.Top - work.Top > work.Bottom - AnchorRect.Bottom);
    int top;
    if (above) {
        if (!fitsAbove) height = AnchorRect.Top - work.Top;
        top = AnchorRect.Top - height;
    } else {
        if (!fitsBelow) height = work.Bottom - AnchorRect.Bottom;
        top = AnchorRect.Bottom;
    }
    if (height < 1) {
        // The anchor covers the chosen side: keep the list inside the work area over the anchor.
        height = std::max(1, std::min(DropDown->Height(), work.Height()));
        top = above ? work.Top : work.Bottom - height;
    }
    if (height != DropDown->Height()) DropDown->SetHeight(height);
    DropDown->Perform(WM_DROPDOWNPLACED, above ? 2 : 3, 0);

    int width = DropDown->Width();
    int x = AnchorRect.Left;
    if (Align == daRight)
        x = AnchorRect.Right - width;
    else if (Align == daCenter)
        x = AnchorRect.Left - (width - AnchorRect.Width()) / 2;
    if (work.Width() < width) {
        width = work.Width();
        DropDown->SetWidth(width);
    }
    int code;
    if (x + width > work.Right) {
        x = work.Right - width;
        code = 0;
    } else if (x < work.Left) {
        x = work.Left;
        code = 1;
    } else {
        code = Align == daRight ? 0 : 1;
    }
    DropDown->Perform(WM_DROPDOWNPLACED, WPARAM(code), 0);
    return {x, top};
}

TPoint PlaceDropDownUnderControl(TControl* Anchor, TWinControl* DropDown, TDropDownAlign Align) {
    TPoint p{Anchor->Left(), Anchor->Top()};
    if (Anchor->Parent()) p = Anchor->Parent()->ClientToScreen(p);
    return PlaceDropDownAtRect(Bounds(p.X, p.Y, Anchor->Width(), Anchor->Height()), DropDown, Align);
}

// ---------------------------------------------------------------------------------------------
// Lines and gradients

void DrawDottedLine(TCanvas* Canvas, TPoint Start, int Length, bool Phase, bool Horizontal) {
    if (((Start.X + Start.Y) & 1) != (Phase ? 1 : 0)) {
        if (Horizontal)
            ++Start.X;
        else
            ++Start.Y;
        --Length;
    }
    if (Length <= 0) return;
    const int pen = std::max(Canvas->Pen()->Width(), 1);
    const int n = Length / (2 * pen) + (Length % 2 != 0 ? 1 : 0);
    std::vector<TPoint> pts;
    pts.reserve(size_t(n) * 2);
    for (int i = 0; i < n; ++i) {
        const int s = i * 2 * pen;
        const TPoint a = Horizontal ? TPoint{Start.X + s, Start.Y} : TPoint{Start.X, Start.Y + s};
        pts.push_back(a);
        pts.push_back(Horizontal ? TPoint{a.X + 1, a.Y} : TPoint{a.X, a.Y + 1});
    }
    std::vector<int> counts(size_t(n), 2);
    Canvas->PolyPolyline(pts.data(), counts.data(), n);
}

void DrawTreeLinesElement(TCanvas* Canvas, const TRect& Rect, int Kind, bool ShiftBox, double ScaleY, double ScaleX,
                          bool Phase) {
    const int cx = (Rect.Left + Rect.Right) / 2;
    const int cy = (Rect.Top + Rect.Bottom) / 2;
    auto shadowPen = [&] {
        Canvas->Pen()->SetStyle(psSolid);
        Canvas->Pen()->SetColor(clBtnShadow);
    };
    if (Kind >= 6 && Kind <= 9) {
        shadowPen();
        if (Kind == 6 || Kind == 9) DrawDottedLine(Canvas, {cx, Rect.Top}, Rect.Height(), Phase, false);
        if (Kind >= 6 && Kind <= 8) DrawDottedLine(Canvas, {cx, cy}, Rect.Right - cx, false, true);
        if (Kind == 8) DrawDottedLine(Canvas, {cx, cy}, Rect.Bottom - cy, Phase, false);
        if (Kind == 7) DrawDottedLine(Canvas, {cx, Rect.Top}, cy - Rect.Top, Phase, false);
        return;
    }
    if (Kind < 0 || Kind > 5) return;
    const int hw = Round(4 * ScaleX), hh = Round(4 * ScaleY);
    TRect box{cx - hw, cy - hh, cx + hw + 1, cy + hh + 1};
    if (ShiftBox) box.Offset(-1, 0);
    Canvas->Brush()->SetColor(clWindow);
    shadowPen();
    Canvas->Rectangle(box);
    Canvas->Pen()->SetColor(clWindowText);
    Canvas->MoveTo(box.Left + Round(2 * ScaleX), cy);
    Canvas->LineTo(box.Right - Round(2 * ScaleX), cy);
    if (Kind >= 3) {
        Canvas->MoveTo(cx, box.Top + Round(2 * ScaleY));
        Canvas->LineTo(cx, box.Bottom - Round(2 * ScaleY));
    }
    Canvas->Pen()->SetColor(clBtnShadow);
    const int hx = box.Right + Round(ScaleX);
    DrawDottedLine(Canvas, {hx, cy}, Rect.Right - hx, false, true);
    if (Kind == 0 || Kind == 1 || Kind == 3 || Kind == 4)
        DrawDottedLine(Canvas, {cx, Rect.Top}, box.Top - Rect.Top, Phase, false);
    if (Kind == 0 || Kind == 2 || Kind == 3 || Kind == 5) {
        const int vy = box.Bottom + Round(ScaleY);
        DrawDottedLine(Canvas, {cx, vy}, Rect.Bottom - vy, Phase, false);
    }
}

namespace {
int Channel(double V) { return std::clamp(Round(V), 0, 255); }

// From c1 towards c2 by Step / Steps; a single step keeps c1 (no division by zero).
TColor Interpolate(TColorRef C1, TColorRef C2, int Step, int Steps) {
    if (Steps <= 0) return TColor(C1);
    auto ch = [&](int a, int b) { return Channel(a - double(Step) * (a - b) / Steps); };
    return TColor(RGB(uint8_t(ch(GetRValue(C1), GetRValue(C2))), uint8_t(ch(GetGValue(C1), GetGValue(C2))),
                      uint8_t(ch(GetBValue(C1), GetBValue(C2)))));
}
}  // namespace

void FillGradientVertical(TCanvas* Canvas, const TRect& Rect, TColor Color1, TColor Color2) {
    const int n = Rect.Height();
    if (n < 1) return;
    const TColorRef c1 = ColorToRGB(Color1), c2 = ColorToRGB(Color2);
    for (int i = 0; i < n; ++i)
        Canvas->FillSolid(TRect{Rect.Left, Rect.Top + i, Rect.Right, Rect.Top + i + 1}, Interpolate(c1, c2, i, n - 1));
}

void DrawGradientSegments(TCanvas* Canvas, TPoint Origin, const TPoint* Points, TColor Color1, TColor Color2,
                          int HighIndex) {
    const int count = (HighIndex + 1) / 2;
    if (count <= 0) return;
    const TColorRef c1 = ColorToRGB(Color1), c2 = ColorToRGB(Color2);
    for (int k = 0; k < count; ++k) {
        // The colours run from the second towards the first; a lone segment takes the first.
        Canvas->Pen()->SetColor(count == 1 ? TColor(c1) : Interpolate(c2, c1, k, count - 1));
        const TPoint a{Origin.X + Points[2 * k].X, Origin.Y + Points[2 * k].Y};
        const TPoint b{Origin.X + Points[2 * k + 1].X, Origin.Y + Points[2 * k + 1].Y};
        Canvas->Polyline(std::vector<TPoint>{a, b});
    }
}

// ---------------------------------------------------------------------------------------------
// Mouse

bool IsDoubleClickPair(TPoint OldPos, TPoint NewPos, uint32_t Interval) {
    if (Interval > GetDoubleClickTime()) return false;
    return std::abs(NewPos.X - OldPos.X) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
           std::abs(NewPos.Y - OldPos.Y) <= GetSystemMetrics(SM_CYDOUBLECLK);
}

namespace {
bool DiscardPendingClick(TControl* Control, bool InClient) {
    if (!Control) return false;
    TWinControl* wnd = dynamic_cast<TWinControl*>(Control);
    if (!wnd) wnd = Control->Parent();
    if (!wnd || !wnd->HandleAllocated()) return false;
    TMsg msg;
    if (!PeekMessage(msg, wnd->Handle(), WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE)) return false;
    if (msg.message != WM_LBUTTONDOWN && msg.message != WM_LBUTTONDBLCLK) return false;
    const TPoint p = LParamToPoint(msg.lParam);
    bool hit;
    if (InClient) {
        TPoint local = p;
        if (Control != wnd) {
            if (wnd->ControlAtPos(p, true) != Control) return false;
            local = {p.X - Control->Left(), p.Y - Control->Top()};
        }
        hit = Control->ClientRect().Contains(local);
    } else {
        TControl* at = Control == wnd ? nullptr : wnd->ControlAtPos(p, true, true);
        hit = Control == wnd ? wnd->ClientRect().Contains(p) : at == Control;
    }
    if (!hit) return false;
    TMsg removed;
    PeekMessage(removed, wnd->Handle(), msg.message, msg.message, PM_REMOVE);
    return true;
}
}  // namespace

bool DiscardPendingClickInClient(TControl* Control) { return DiscardPendingClick(Control, true); }
bool DiscardPendingClickOnControl(TControl* Control) { return DiscardPendingClick(Control, false); }

}  // namespace editors
