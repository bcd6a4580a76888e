// The flat theme painter.
#include "framework/ui/Themes.h"

#include <algorithm>

namespace ui {

namespace {

constexpr TColor Rgb(uint8_t R, uint8_t G, uint8_t B) { return static_cast<TColor>(RGB(R, G, B)); }

struct TLook {
    TColor Fill = clNone;    // clNone: background left alone
    TColor Border = clNone;  // clNone: no frame
    TColor Glyph = clNone;
    int BorderWidth = 1;
};

// Offset of a detail inside its group of states.
TThemeState GroupState(int Part, int First, int Size) {
    int offset = (Part - First) % Size;
    switch (offset) {
        case 0: return TThemeState::Normal;
        case 1: return TThemeState::Hot;
        case 2: return TThemeState::Pressed;
        case 3: return TThemeState::Disabled;
        default: return TThemeState::Defaulted;
    }
}

void Frame(TCanvas& C, TRect R, TColor Color, int Width) {
    for (int i = 0; i < Width && !R.IsEmpty(); ++i) {
        FrameRectColor(&C, R, Color);
        R.Inflate(-1, -1);
    }
}

enum class TDir { Up, Down, Left, Right };

void Arrow(TCanvas& C, const TRect& R, TDir Dir, TColor Color) {
    int size = std::min(R.Width(), R.Height());
    int steps = std::max(1, (size + 1) / 5);
    bool vertical = Dir == TDir::Up || Dir == TDir::Down;
    int cx = R.Left + (R.Width() - 1) / 2, cy = R.Top + (R.Height() - 1) / 2;
    int start = vertical ? (R.Top + R.Bottom - steps) / 2 : (R.Left + R.Right - steps) / 2;
    for (int i = 0; i < steps; ++i) {
        int half = (Dir == TDir::Down || Dir == TDir::Right) ? steps - 1 - i : i;
        if (vertical)
            C.FillSolid({cx - half, start + i, cx + half + 1, start + i + 1}, Color);
        else
            C.FillSolid({start + i, cy - half, start + i + 1, cy + half + 1}, Color);
    }
}

void Paint(TCanvas& C, const TRect& R, const TLook& L) {
    TRect inner = R;
    if (L.Border != clNone) {
        Frame(C, R, L.Border, L.BorderWidth);
        inner.Inflate(-L.BorderWidth, -L.BorderWidth);
    }
    if (L.Fill != clNone && !inner.IsEmpty()) C.FillSolid(inner, L.Fill);
}

TLook PushLook(TThemeState S) {
    switch (S) {
        case TThemeState::Hot: return {Rgb(229, 241, 251), Rgb(0, 120, 215), clNone};
        case TThemeState::Pressed: return {Rgb(204, 228, 247), Rgb(0, 84, 153), clNone};
        case TThemeState::Disabled: return {Rgb(204, 204, 204), Rgb(191, 191, 191), clNone};
        case TThemeState::Defaulted: return {Rgb(225, 225, 225), Rgb(0, 120, 215), clNone, 2};
        default: return {Rgb(225, 225, 225), Rgb(173, 173, 173), clNone};
    }
}

TLook BoxLook(TThemeState S) {
    switch (S) {
        case TThemeState::Hot: return {Rgb(255, 255, 255), Rgb(0, 120, 215), Rgb(0, 120, 215)};
        case TThemeState::Pressed: return {Rgb(204, 228, 247), Rgb(0, 84, 153), Rgb(0, 84, 153)};
        case TThemeState::Disabled: return {Rgb(230, 230, 230), Rgb(188, 188, 188), Rgb(188, 188, 188)};
        default: return {Rgb(255, 255, 255), Rgb(51, 51, 51), Rgb(51, 51, 51)};
    }
}

TLook ArrowButtonLook(TThemeState S) {
    switch (S) {
        case TThemeState::Hot: return {Rgb(218, 218, 218), clNone, Rgb(0, 0, 0)};
        case TThemeState::Pressed: return {Rgb(96, 96, 96), clNone, Rgb(255, 255, 255)};
        case TThemeState::Disabled: return {Rgb(240, 240, 240), clNone, Rgb(191, 191, 191)};
        default: return {Rgb(240, 240, 240), clNone, Rgb(96, 96, 96)};
    }
}

TLook ComboButtonLook(TThemeState S) {
    switch (S) {
        case TThemeState::Hot: return {Rgb(229, 241, 251), Rgb(126, 180, 234), Rgb(0, 0, 0)};
        case TThemeState::Pressed: return {Rgb(204, 228, 247), Rgb(86, 157, 229), Rgb(0, 0, 0)};
        case TThemeState::Disabled: return {Rgb(240, 240, 240), clNone, Rgb(191, 191, 191)};
        default: return {Rgb(255, 255, 255), clNone, Rgb(96, 96, 96)};
    }
}

TLook HeaderLook(TThemeState S) {
    switch (S) {
        case TThemeState::Hot: return {Rgb(217, 235, 249), clNone, clNone};
        case TThemeState::Pressed: return {Rgb(188, 220, 244), clNone, clNone};
        default: return {Rgb(255, 255, 255), clNone, clNone};
    }
}

TLook ToolButtonLook(TThemeState S) {
    switch (S) {
        case TThemeState::Hot: return {Rgb(229, 241, 251), Rgb(204, 232, 255), clNone};
        case TThemeState::Pressed: return {Rgb(204, 228, 247), Rgb(153, 209, 255), clNone};
        case TThemeState::Checked: return {Rgb(204, 232, 255), Rgb(153, 209, 255), clNone};
        case TThemeState::CheckedHot: return {Rgb(204, 228, 247), Rgb(153, 209, 255), clNone};
        default: return {};
    }
}

TRect CentredSquare(const TRect& R, int Side) {
    Side = std::min({Side, R.Width(), R.Height()});
    return Bounds(R.Left + (R.Width() - Side) / 2, R.Top + (R.Height() - Side) / 2, Side, Side);
}

void Tick(TCanvas& C, const TRect& Box, TColor Color) {
    // Two strokes two pixels thick: down to the knee at a third of the width, then up to the right.
    TRect in = Box;
    in.Inflate(-3, -3);
    int w = in.Width();
    if (w < 3) {
        C.FillSolid(in, Color);
        return;
    }
    int knee = (w - 1) / 3;
    int kneeTop = in.Bottom - 2;
    for (int j = 0; j < w; ++j) {
        int top = j <= knee ? kneeTop - (knee - j) : kneeTop - (j - knee);
        C.FillSolid({in.Left + j, top, in.Left + j + 1, top + 2}, Color);
    }
}

void DrawButton(TCanvas& C, int Part, const TRect& R) {
    if (Part >= int(tbGroupBoxNormal)) {
        Frame(C, R, Rgb(220, 220, 220), 1);
        return;
    }
    const int pushFirst = int(tbPushButtonNormal);
    if (Part >= pushFirst && Part <= int(tbPushButtonDefaulted)) {
        Paint(C, R, PushLook(GroupState(Part, pushFirst, 5)));
        return;
    }
    const bool radio = Part >= int(tbRadioButtonUncheckedNormal) && Part <= int(tbRadioButtonCheckedDisabled);
    const int first = radio ? int(tbRadioButtonUncheckedNormal) : int(tbCheckBoxUncheckedNormal);
    const int group = (Part - first) / 4;  // 0 unchecked, 1 checked, 2 mixed
    const TLook look = BoxLook(GroupState(Part, first, 4));
    const TRect box = CentredSquare(R, 13);
    if (radio) {
        TSavedDC saved(C);
        C.Pen()->SetStyle(psSolid);
        C.Pen()->SetWidth(1);
        C.Pen()->SetColor(look.Border);
        C.Brush()->SetColor(look.Fill);
        C.Ellipse(box);
        if (group == 1) {
            TRect dot = box;
            dot.Inflate(-4, -4);
            C.Pen()->SetColor(look.Glyph);
            C.Brush()->SetColor(look.Glyph);
            C.Ellipse(dot);
        }
        return;
    }
    Paint(C, box, look);
    if (group == 1) {
        Tick(C, box, look.Glyph);
    } else if (group == 2) {
        TRect mark = box;
        mark.Inflate(-3, -3);
        C.FillSolid(mark, look.Glyph);
    }
}

void DrawHeader(TCanvas& C, int Part, const TRect& R) {
    if (Part == int(thHeaderSortArrowSortedUp) || Part == int(thHeaderSortArrowSortedDown)) {
        Arrow(C, R, Part == int(thHeaderSortArrowSortedUp) ? TDir::Up : TDir::Down, Rgb(96, 96, 96));
        return;
    }
    Paint(C, R, HeaderLook(GroupState(Part, int(thHeaderItemNormal), 3)));
    // Separator on the right and a line along the bottom.
    C.FillSolid({R.Right - 1, R.Top, R.Right, R.Bottom}, Rgb(229, 229, 229));
    C.FillSolid({R.Left, R.Bottom - 1, R.Right, R.Bottom}, Rgb(229, 229, 229));
}

void DrawScrollBar(TCanvas& C, int Part, const TRect& R) {
    if (Part >= int(tsArrowBtnUpNormal) && Part <= int(tsArrowBtnRightDisabled)) {
        int offset = Part - int(tsArrowBtnUpNormal);
        TDir dir = static_cast<TDir>(offset / 4);
        TLook look = ArrowButtonLook(GroupState(Part, int(tsArrowBtnUpNormal), 4));
        Paint(C, R, look);
        Arrow(C, R, dir, look.Glyph);
        return;
    }
    if (Part >= int(tsThumbBtnHorzNormal) && Part <= int(tsThumbBtnVertDisabled)) {
        TThemeState s = GroupState(Part, int(tsThumbBtnHorzNormal), 4);
        TColor fill = s == TThemeState::Hot        ? Rgb(166, 166, 166)
                      : s == TThemeState::Pressed  ? Rgb(96, 96, 96)
                      : s == TThemeState::Disabled ? Rgb(240, 240, 240)
                                                   : Rgb(205, 205, 205);
        C.FillSolid(R, fill);
        return;
    }
    if (Part >= int(tsUpperTrackHorzNormal) && Part <= int(tsLowerTrackVertNormal)) {
        C.FillSolid(R, Rgb(240, 240, 240));
        return;
    }
    // Size box: a triangle of grip dots in the corner.
    bool right = Part == int(tsSizeBoxRightAlign);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col <= row; ++col) {
            int x = right ? R.Right - 3 - 3 * col : R.Left + 1 + 3 * col;
            int y = R.Bottom - 3 - 3 * (2 - row);
            C.FillSolid({x, y, x + 2, y + 2}, Rgb(160, 160, 160));
        }
}

TColor EditBorder(TThemeState S) {
    switch (S) {
        case TThemeState::Hot: return Rgb(23, 23, 23);
        case TThemeState::Pressed: return Rgb(0, 120, 215);  // focused
        case TThemeState::Disabled: return Rgb(204, 204, 204);
        default: return Rgb(122, 122, 122);
    }
}

void DrawTab(TCanvas& C, int Part, const TRect& R) {
    const TColor border = Rgb(217, 217, 217);
    if (Part == int(ttPane)) {
        Paint(C, R, {Rgb(255, 255, 255), border, clNone});
        return;
    }
    TColor fill = Rgb(240, 240, 240);
    if (Part == int(ttTabItemHot))
        fill = Rgb(216, 234, 249);
    else if (Part == int(ttTabItemSelected))
        fill = Rgb(255, 255, 255);
    // Open at the bottom, where the tab meets its page.
    C.FillSolid(R, fill);
    C.FillSolid({R.Left, R.Top, R.Right, R.Top + 1}, border);
    C.FillSolid({R.Left, R.Top, R.Left + 1, R.Bottom}, border);
    C.FillSolid({R.Right - 1, R.Top, R.Right, R.Bottom}, border);
}

}  // namespace

TThemeState TThemeServices::StateOf(const TThemedElementDetails& D) noexcept {
    const int p = D.Part;
    if (p == 0) return TThemeState::Normal;
    switch (D.Element) {
        case teButton:
            if (p <= int(tbPushButtonDefaulted)) return GroupState(p, int(tbPushButtonNormal), 5);
            if (p == int(tbGroupBoxDisabled)) return TThemeState::Disabled;
            if (p == int(tbGroupBoxNormal)) return TThemeState::Normal;
            return GroupState(p, int(tbRadioButtonUncheckedNormal), 4);
        case teEdit: return GroupState(p, int(teEditBorderNormal), 4);
        case teTab:
            switch (static_cast<TThemedTab>(p)) {
                case ttTabItemHot: return TThemeState::Hot;
                case ttTabItemSelected: return TThemeState::Checked;
                case ttTabItemDisabled: return TThemeState::Disabled;
                default: return TThemeState::Normal;
            }
        case teComboBox: return GroupState(p, int(tcDropDownButtonNormal), 4);
        case teHeader:
            if (p >= int(thHeaderSortArrowSortedUp)) return TThemeState::Normal;
            return GroupState(p, int(thHeaderItemNormal), 3);
        case teScrollBar:
            if (p > int(tsThumbBtnVertDisabled)) return TThemeState::Normal;
            return GroupState(p, int(tsArrowBtnUpNormal), 4);
        case teSpin: return GroupState(p, int(tsUpNormal), 4);
        case teToolBar:
            switch (static_cast<TThemedToolBar>(p)) {
                case ttbButtonHot: return TThemeState::Hot;
                case ttbButtonPressed: return TThemeState::Pressed;
                case ttbButtonDisabled: return TThemeState::Disabled;
                case ttbButtonChecked: return TThemeState::Checked;
                case ttbButtonCheckedHot: return TThemeState::CheckedHot;
                default: return TThemeState::Normal;
            }
    }
    return TThemeState::Normal;
}

void TThemeServices::SetThemesEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    if (OnThemeChange) OnThemeChange(nullptr);
}

void TThemeServices::DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R, const TRect* Clip) {
    if (!DC || Details.Part == 0 || R.IsEmpty()) return;
    TCanvas& C = *DC;
    TSavedDC saved(C);
    if (Clip) C.IntersectClipRect(*Clip);
    const TThemeState state = StateOf(Details);
    switch (Details.Element) {
        case teButton: DrawButton(C, Details.Part, R); break;
        case teComboBox: {
            TLook look = ComboButtonLook(state);
            Paint(C, R, look);
            Arrow(C, R, TDir::Down, look.Glyph);
            break;
        }
        case teHeader: DrawHeader(C, Details.Part, R); break;
        case teScrollBar: DrawScrollBar(C, Details.Part, R); break;
        case teSpin: {
            TLook look = ArrowButtonLook(state);
            Paint(C, R, look);
            Arrow(C, R, Details.Part >= int(tsDownNormal) ? TDir::Down : TDir::Up, look.Glyph);
            break;
        }
        case teToolBar: Paint(C, R, ToolButtonLook(state)); break;
        case teEdit: Frame(C, R, EditBorder(state), 1); break;
        case teTab: DrawTab(C, Details.Part, R); break;
    }
}

TRect TThemeServices::ContentRect(HDC, const TThemedElementDetails& Details, const TRect& R) const {
    TRect r = R;
    switch (Details.Element) {
        case teButton:
            if (Details.Part >= int(tbPushButtonNormal) && Details.Part <= int(tbPushButtonDefaulted))
                r.Inflate(-3, -3);
            break;
        case teHeader: r.Inflate(-4, -1); break;
        case teToolBar: r.Inflate(-2, -2); break;
        default: r.Inflate(-1, -1); break;
    }
    return r;
}

TColor TThemeServices::TextColor(const TThemedElementDetails& Details) const {
    TThemeState s = StateOf(Details);
    if (s == TThemeState::Disabled) return Rgb(131, 131, 131);
    return Rgb(0, 0, 0);
}

void TThemeServices::DrawText(HDC DC, const TThemedElementDetails& Details, const AnsiString& Text, TRect R,
                              unsigned Flags) {
    if (!DC) return;
    TSavedDC saved(*DC);
    DC->SetTextColor(TextColor(Details));
    DC->SetBkMode(TRANSPARENT);
    DC->DrawText(Text, R, Flags);
}

bool TThemeServices::HasTransparentParts(const TThemedElementDetails& Details) const {
    switch (Details.Element) {
        case teButton: return Details.Part > int(tbPushButtonDefaulted);
        case teToolBar: return true;
        case teEdit: return true;  // a frame only
        case teHeader: return Details.Part >= int(thHeaderSortArrowSortedUp);
        case teScrollBar: return Details.Part >= int(tsSizeBoxRightAlign);
        default: return false;
    }
}

TThemeServices& ThemeServices() {
    static TThemeServices services;
    return services;
}

void ScrollThumb(int Length, int Arrow, int Min, int Max, int Page, int Pos, int& Start, int& Size) {
    const int track = std::max(Length - 2 * Arrow, 0);
    const int range = std::max(Max - Min + 1, 1);
    const int page = std::max(Page, 1);
    // Without a page the thumb is as long as an arrow is wide.
    Size = std::min(track, Page > 0 ? std::max(8, track * page / range) : Arrow);
    const int maxPos = std::max(Max - std::max(page - 1, 0) - Min, 1);
    Start = Arrow + (track - Size) * std::clamp(Pos - Min, 0, maxPos) / maxPos;
}

int ScrollThumbPos(int Length, int Arrow, int Min, int Max, int Page, int Start) {
    int s = 0, size = 0;
    ScrollThumb(Length, Arrow, Min, Max, Page, Min, s, size);
    const int room = std::max(Length - 2 * Arrow - size, 1);
    const int maxPos = std::max(Max - std::max(std::max(Page, 1) - 1, 0) - Min, 1);
    const int at = std::clamp(Start - Arrow, 0, room);
    return Min + (at * maxPos + room / 2) / room;
}

void DrawScrollBarParts(HDC DC, const TRect& R, bool Vertical, int ThumbStart, int ThumbSize, bool Enabled,
                        bool ThumbPressed) {
    const int arrow = Vertical ? R.Width() : R.Height();
    const int len = Vertical ? R.Height() : R.Width();
    const TRect first =
        Vertical ? Rect(R.Left, R.Top, R.Right, R.Top + arrow) : Rect(R.Left, R.Top, R.Left + arrow, R.Bottom);
    const TRect last =
        Vertical ? Rect(R.Left, R.Bottom - arrow, R.Right, R.Bottom) : Rect(R.Right - arrow, R.Top, R.Right, R.Bottom);
    const TRect thumb = Vertical ? Rect(R.Left, R.Top + ThumbStart, R.Right, R.Top + ThumbStart + ThumbSize)
                                 : Rect(R.Left + ThumbStart, R.Top, R.Left + ThumbStart + ThumbSize, R.Bottom);
    const bool hasThumb = Enabled && ThumbSize > 0 && len > 2 * arrow;
    if (!ThemeServices().ThemesEnabled()) {
        FillRectColor(DC, R, clScrollBar);
        const unsigned off = Enabled ? 0 : DFCS_INACTIVE;
        DrawFrameControl(DC, first, DFC_SCROLL, (Vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | off);
        DrawFrameControl(DC, last, DFC_SCROLL, (Vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | off);
        if (hasThumb) DrawFrameControl(DC, thumb, DFC_BUTTON, DFCS_BUTTONPUSH);
        return;
    }
    TThemeServices& t = ThemeServices();
    t.DrawElement(DC, t.GetElementDetails(Vertical ? tsUpperTrackVertNormal : tsUpperTrackHorzNormal), R);
    const int d = Enabled ? 0 : 3;
    t.DrawElement(DC,
                  t.GetElementDetails(TThemedScrollBar(int(Vertical ? tsArrowBtnUpNormal : tsArrowBtnLeftNormal) + d)),
                  first);
    t.DrawElement(
        DC, t.GetElementDetails(TThemedScrollBar(int(Vertical ? tsArrowBtnDownNormal : tsArrowBtnRightNormal) + d)),
        last);
    if (hasThumb) {
        TRect inner = thumb;
        // A flat thumb narrower than the bar, as a modern desktop draws it.
        if (Vertical)
            inner.Inflate(-2, 0);
        else
            inner.Inflate(0, -2);
        t.DrawElement(DC,
                      t.GetElementDetails(TThemedScrollBar(int(Vertical ? tsThumbBtnVertNormal : tsThumbBtnHorzNormal) +
                                                           (ThumbPressed ? 2 : 0))),
                      inner);
    }
}

}  // namespace ui
