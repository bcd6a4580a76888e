// Edges, frame controls and focus rectangles.
#include <algorithm>
#include <cctype>
#include <map>

#include "framework/ui/Graphics.h"

namespace ui {

namespace {

struct TLayer {
    bool Present = false;
    TColor TopLeft = clNone;
    TColor BottomRight = clNone;
};

void DrawLayer(TCanvas& C, TRect& R, const TLayer& L, unsigned Flags) {
    if (!L.Present || R.IsEmpty()) return;
    if (Flags & BF_LEFT) C.FillSolid({R.Left, R.Top, R.Left + 1, R.Bottom}, L.TopLeft);
    if (Flags & BF_TOP) C.FillSolid({R.Left, R.Top, R.Right, R.Top + 1}, L.TopLeft);
    // The far sides run the full length, so their colour takes the two far corners.
    if (Flags & BF_RIGHT) C.FillSolid({R.Right - 1, R.Top, R.Right, R.Bottom}, L.BottomRight);
    if (Flags & BF_BOTTOM) C.FillSolid({R.Left, R.Bottom - 1, R.Right, R.Bottom}, L.BottomRight);
    if (Flags & BF_LEFT) ++R.Left;
    if (Flags & BF_TOP) ++R.Top;
    if (Flags & BF_RIGHT) --R.Right;
    if (Flags & BF_BOTTOM) --R.Bottom;
}

void Frame(TCanvas& C, const TRect& R, TColor Color) {
    if (R.IsEmpty()) return;
    C.FillSolid({R.Left, R.Top, R.Right, R.Top + 1}, Color);
    C.FillSolid({R.Left, R.Bottom - 1, R.Right, R.Bottom}, Color);
    C.FillSolid({R.Left, R.Top + 1, R.Left + 1, R.Bottom - 1}, Color);
    C.FillSolid({R.Right - 1, R.Top + 1, R.Right, R.Bottom - 1}, Color);
}

enum class TArrow { Up, Down, Left, Right };

// A solid triangle centred in R, one pixel row per step.
void Arrow(TCanvas& C, const TRect& R, TArrow Dir, TColor Color) {
    int size = std::min(R.Width(), R.Height());
    int steps = std::max(1, (size - 1) / 3);
    bool vertical = Dir == TArrow::Up || Dir == TArrow::Down;
    int cx = R.Left + (R.Width() - 1) / 2, cy = R.Top + (R.Height() - 1) / 2;
    int start = vertical ? (R.Top + R.Bottom - steps) / 2 : (R.Left + R.Right - steps) / 2;
    for (int i = 0; i < steps; ++i) {
        bool narrowing = Dir == TArrow::Down || Dir == TArrow::Right;
        int half = narrowing ? steps - 1 - i : i;
        if (vertical)
            C.FillSolid({cx - half, start + i, cx + half + 1, start + i + 1}, Color);
        else
            C.FillSolid({start + i, cy - half, start + i + 1, cy + half + 1}, Color);
    }
}

void ArrowWithState(TCanvas& C, TRect R, TArrow Dir, unsigned State) {
    if (State & DFCS_PUSHED) R.Offset(1, 1);
    if (State & DFCS_INACTIVE) {
        TRect shifted = R;
        shifted.Offset(1, 1);
        Arrow(C, shifted, Dir, clBtnHighlight);
        Arrow(C, R, Dir, clBtnShadow);
    } else {
        Arrow(C, R, Dir, clBtnText);
    }
}

// The face of a scroll, caption or push button; returns the content rectangle.
TRect ButtonFace(TCanvas& C, const TRect& R, unsigned State, bool Push) {
    TRect r = R;
    bool fill = !(State & DFCS_TRANSPARENT);
    if (State & DFCS_MONO) {
        Frame(C, r, clWindowFrame);
        r.Inflate(-1, -1);
        if (fill) C.FillSolid(r, clBtnFace);
        return r;
    }
    if (State & DFCS_FLAT) {
        Frame(C, r, clBtnShadow);
        r.Inflate(-1, -1);
        if (fill) C.FillSolid(r, clBtnFace);
        return r;
    }
    if ((State & DFCS_PUSHED) && !Push) {
        // Pressed scroll and caption buttons look flat, with the content moved by a pixel.
        Frame(C, r, clBtnShadow);
        r.Inflate(-1, -1);
        if (fill) C.FillSolid(r, clBtnFace);
        r.Inflate(-1, -1);
        return r;
    }
    unsigned edge = (State & (DFCS_PUSHED | DFCS_CHECKED)) ? EDGE_SUNKEN : EDGE_RAISED;
    DrawEdge(&C, r, edge, BF_RECT | BF_ADJUST | (fill ? BF_MIDDLE : 0) | (Push ? BF_SOFT : 0));
    return r;
}

void CheckMark(TCanvas& C, const TRect& Inner, TColor Color) {
    int m = std::min(Inner.Width(), Inner.Height());
    if (m < 5) {
        C.FillSolid(Inner, Color);
        return;
    }
    int w = m - 2;
    int knee = (w - 1) / 3;
    int kneeTop = Inner.Top + m - 2 - 3;
    for (int j = 0; j < w; ++j) {
        int top = j <= knee ? kneeTop - (knee - j) : kneeTop - (j - knee);
        int x = Inner.Left + 1 + j;
        C.FillSolid({x, top, x + 1, top + 3}, Color);
    }
}

void CheckBox(TCanvas& C, const TRect& R, unsigned State) {
    int side = std::min(R.Width(), R.Height());
    TRect box = Bounds(R.Left + (R.Width() - side) / 2, R.Top + (R.Height() - side) / 2, side, side);
    bool grayed = (State & DFCS_BUTTON3STATE) && (State & DFCS_CHECKED);
    TRect inner = box;
    if (State & (DFCS_FLAT | DFCS_MONO)) {
        Frame(C, inner, (State & DFCS_MONO) ? clWindowFrame : clBtnShadow);
        inner.Inflate(-1, -1);
    } else {
        DrawEdge(&C, inner, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    }
    TColor back = (State & (DFCS_INACTIVE | DFCS_PUSHED)) || grayed ? clBtnFace : clWindow;
    if (!(State & DFCS_TRANSPARENT)) C.FillSolid(inner, back);
    if (State & DFCS_CHECKED) {
        TColor mark = grayed ? clBtnShadow : (State & DFCS_INACTIVE) ? clGrayText : clWindowText;
        CheckMark(C, inner, mark);
    }
}

void RadioButton(TCanvas& C, const TRect& R, unsigned State) {
    int side = std::min(R.Width(), R.Height());
    TRect box = Bounds(R.Left + (R.Width() - side) / 2, R.Top + (R.Height() - side) / 2, side, side);
    TSavedDC saved(C);
    C.Pen()->SetStyle(psSolid);
    C.Pen()->SetWidth(1);
    C.Pen()->SetColor(clBtnShadow);
    C.Brush()->SetColor((State & (DFCS_INACTIVE | DFCS_PUSHED)) ? clBtnFace : clWindow);
    C.Ellipse(box);
    if (State & DFCS_CHECKED) {
        TRect dot = box;
        int inset = side / 3;
        dot.Inflate(-inset, -inset);
        TColor mark = (State & DFCS_INACTIVE) ? clGrayText : clWindowText;
        C.Pen()->SetColor(mark);
        C.Brush()->SetColor(mark);
        C.Ellipse(dot);
    }
}

void SizeGrip(TCanvas& C, const TRect& R, unsigned State) {
    if (!(State & DFCS_TRANSPARENT)) C.FillSolid(R, clBtnFace);
    int size = std::min(R.Width(), R.Height());
    bool right = (State & DFCS_SCROLLSIZEGRIPRIGHT) != 0;
    for (int d = 3; d < size; d += 4) {
        for (int t = 0; t < d; ++t) {
            // Two-pixel stripes: shadow then highlight, running from the bottom edge to the side edge.
            int x = right ? R.Left + t : R.Right - d + t;
            int y = right ? R.Bottom - 1 - t : R.Bottom - 1 - t;
            C.FillSolid({x, y, x + 1, y + 1}, clBtnShadow);
            if (x + 1 < R.Right) C.FillSolid({x + 1, y, x + 2, y + 1}, clBtnHighlight);
        }
    }
}

void CaptionGlyph(TCanvas& C, const TRect& R, unsigned Kind, TColor Color) {
    int size = std::min(R.Width(), R.Height()) / 2;
    if (size < 2) return;
    TRect g = Bounds(R.Left + (R.Width() - size) / 2, R.Top + (R.Height() - size) / 2, size, size);
    switch (Kind) {
        case DFCS_CAPTIONCLOSE:
            for (int i = 0; i < size; ++i) {
                C.FillSolid({g.Left + i, g.Top + i, g.Left + i + 1, g.Top + i + 1}, Color);
                C.FillSolid({g.Right - 1 - i, g.Top + i, g.Right - i, g.Top + i + 1}, Color);
            }
            break;
        case DFCS_CAPTIONMIN: C.FillSolid({g.Left, g.Bottom - 2, g.Right, g.Bottom}, Color); break;
        case DFCS_CAPTIONMAX:
            Frame(C, g, Color);
            C.FillSolid({g.Left, g.Top + 1, g.Right, g.Top + 2}, Color);
            break;
        default: {
            TRect back = g, front = g;
            back.Left += 2;
            back.Bottom -= 2;
            front.Top += 2;
            front.Right -= 2;
            Frame(C, back, Color);
            C.FillSolid(front, clBtnFace);
            Frame(C, front, Color);
            break;
        }
    }
}

}  // namespace

bool DrawEdge(HDC DC, TRect& R, unsigned Edge, unsigned Flags) {
    if (!DC) return false;
    const bool soft = (Flags & BF_SOFT) != 0;
    TLayer outer, inner;
    if (Edge & BDR_RAISEDOUTER)
        outer = {true, soft ? clBtnHighlight : cl3DLight, cl3DDkShadow};
    else if (Edge & BDR_SUNKENOUTER)
        outer = {true, soft ? cl3DDkShadow : clBtnShadow, clBtnHighlight};
    if (Edge & BDR_RAISEDINNER)
        inner = {true, soft ? cl3DLight : clBtnHighlight, clBtnShadow};
    else if (Edge & BDR_SUNKENINNER)
        inner = {true, soft ? clBtnShadow : cl3DDkShadow, cl3DLight};
    if (Flags & BF_MONO) {
        outer.TopLeft = outer.BottomRight = clWindowFrame;
        inner.TopLeft = inner.BottomRight = clWindow;
    } else if (Flags & BF_FLAT) {
        outer.TopLeft = outer.BottomRight = clBtnShadow;
        inner.TopLeft = inner.BottomRight = clBtnFace;
    }
    TRect r = R;
    DrawLayer(*DC, r, outer, Flags);
    DrawLayer(*DC, r, inner, Flags);
    if ((Flags & BF_MIDDLE) && !r.IsEmpty()) DC->FillSolid(r, (Flags & BF_MONO) ? clWindow : clBtnFace);
    if (Flags & BF_ADJUST) R = r;
    return true;
}

bool DrawFrameControl(HDC DC, const TRect& R, unsigned Type, unsigned State) {
    if (!DC || R.IsEmpty()) return false;
    TCanvas& C = *DC;
    switch (Type) {
        case DFC_BUTTON: {
            unsigned kind = State & 0x1F;
            if (kind & DFCS_BUTTONPUSH) {
                ButtonFace(C, R, State, true);
            } else if (kind & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE | DFCS_BUTTONRADIOMASK)) {
                RadioButton(C, R, State);
            } else {
                CheckBox(C, R, State);
            }
            return true;
        }
        case DFC_SCROLL: {
            unsigned kind = State & 0x1F;
            if (kind == DFCS_SCROLLSIZEGRIP || kind == DFCS_SCROLLSIZEGRIPRIGHT) {
                SizeGrip(C, R, State);
                return true;
            }
            TRect content = ButtonFace(C, R, State, false);
            TArrow dir = kind == DFCS_SCROLLUP      ? TArrow::Up
                         : kind == DFCS_SCROLLLEFT  ? TArrow::Left
                         : kind == DFCS_SCROLLRIGHT ? TArrow::Right
                                                    : TArrow::Down;
            ArrowWithState(C, content, dir, State);
            return true;
        }
        case DFC_CAPTION: {
            TRect content = ButtonFace(C, R, State, false);
            if (State & DFCS_PUSHED) content.Offset(1, 1);
            CaptionGlyph(C, content, State & 0xF, (State & DFCS_INACTIVE) ? clGrayText : clBtnText);
            return true;
        }
        case DFC_MENU:
        case DFC_POPUPMENU: {
            TColor color = (State & DFCS_INACTIVE) ? clGrayText : clMenuText;
            if ((State & 0xF) == DFCS_MENUCHECK)
                CheckMark(C, R, color);
            else
                Arrow(C, R, TArrow::Right, color);
            return true;
        }
        default: return false;
    }
}

bool LoadSystemBitmap(TBitmap* Bitmap, int Id) {
    if (!Bitmap || Id != OBM_CHECKBOXES) return false;
    constexpr int Side = 13;
    Bitmap->SetSize(4 * Side, 3 * Side);
    TCanvas* c = Bitmap->Canvas();
    c->FillSolid(Rect(0, 0, 4 * Side, 3 * Side), clBtnFace);
    const unsigned kinds[3] = {DFCS_BUTTONCHECK, DFCS_BUTTONRADIO, DFCS_BUTTON3STATE};
    const unsigned states[4] = {0, DFCS_CHECKED, DFCS_PUSHED, DFCS_PUSHED | DFCS_CHECKED};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            DrawFrameControl(c, Bounds(col * Side, row * Side, Side, Side), DFC_BUTTON, kinds[row] | states[col]);
    return true;
}

void DrawFocusRect(HDC DC, const TRect& R) {
    if (DC) DC->DrawFocusRect(R);
}

void FillRectColor(HDC DC, const TRect& R, TColor Color) {
    if (DC) DC->FillSolid(R, Color);
}

void FrameRectColor(HDC DC, const TRect& R, TColor Color) {
    if (DC) Frame(*DC, R, Color);
}

namespace {

struct TBitmapResourceKey {
    HINSTANCE Module;
    std::string Name;  // upper-cased
    bool operator<(const TBitmapResourceKey& Other) const {
        return Module != Other.Module ? Module < Other.Module : Name < Other.Name;
    }
};

std::map<TBitmapResourceKey, TBitmapResourcePainter>& BitmapResources() {
    static std::map<TBitmapResourceKey, TBitmapResourcePainter> resources;
    return resources;
}

TBitmapResourceKey ResourceKey(HINSTANCE Module, std::string_view Name) {
    std::string name(Name);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return {Module, std::move(name)};
}

std::map<TBitmapResourceKey, TPoint>& CursorHotSpots() {
    static std::map<TBitmapResourceKey, TPoint> spots;
    return spots;
}

}  // namespace

void RegisterCursorResource(HINSTANCE Module, std::string_view Name, TBitmapResourcePainter Paint, TPoint HotSpot) {
    if (!Paint)
        CursorHotSpots().erase(ResourceKey(Module, Name));
    else
        CursorHotSpots()[ResourceKey(Module, Name)] = HotSpot;
    RegisterBitmapResource(Module, Name, std::move(Paint));
}

bool LoadCursorResource(TBitmap* Bitmap, TPoint& HotSpot, HINSTANCE Module, std::string_view Name) {
    const auto it = CursorHotSpots().find(ResourceKey(Module, Name));
    if (it == CursorHotSpots().end() || !LoadBitmapResource(Bitmap, Module, Name)) return false;
    HotSpot = it->second;
    return true;
}

int GetDeviceCaps(HDC DC, int Index) {
    switch (Index) {
        case LOGPIXELSX:
        case LOGPIXELSY: return ScreenPixelsPerInch;
        case BITSPIXEL: return 32;
        case PLANES: return 1;
        case HORZRES: return DC && DC->Surface() ? DC->Surface()->Width() : 0;
        case VERTRES: return DC && DC->Surface() ? DC->Surface()->Height() : 0;
        default: return 0;
    }
}

void RegisterBitmapResource(HINSTANCE Module, std::string_view Name, TBitmapResourcePainter Paint) {
    if (!Paint) return UnregisterBitmapResource(Module, Name);
    BitmapResources()[ResourceKey(Module, Name)] = std::move(Paint);
}

void UnregisterBitmapResource(HINSTANCE Module, std::string_view Name) {
    BitmapResources().erase(ResourceKey(Module, Name));
}

bool LoadBitmapResource(TBitmap* Bitmap, HINSTANCE Module, std::string_view Name) {
    if (!Bitmap) return false;
    auto& resources = BitmapResources();
    const auto it = resources.find(ResourceKey(Module, Name));
    if (it == resources.end()) return false;
    // Drawn aside first, so a painter that fails leaves the bitmap as it was.
    TBitmap drawn;
    it->second(drawn);
    Bitmap->Assign(&drawn);
    return true;
}

}  // namespace ui
