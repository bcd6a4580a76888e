#include "framework/ui/ComCtrls.h"

#include <algorithm>
#include <cmath>

#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"

namespace ui {

TSystemTime DateTimeToSystemTime(rtl::TDateTime Value) {
    int y, m, d, h, mi, s, ms;
    rtl::DecodeDateTime(Value, y, m, d, h, mi, s, ms);
    TSystemTime t;
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(m);
    t.wDay = static_cast<uint16_t>(d);
    t.wDayOfWeek = static_cast<uint16_t>(rtl::DayOfWeek(Value) - 1);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    t.wMilliseconds = static_cast<uint16_t>(ms);
    return t;
}

rtl::TDateTime SystemTimeToDateTime(const TSystemTime& V) {
    return rtl::EncodeDateTime(V.wYear, V.wMonth, V.wDay, V.wHour, V.wMinute, V.wSecond, V.wMilliseconds);
}

// ---------------------------------------------------------------------------------------------
// TMonthCalendar

namespace {
constexpr int Margin = 4;

rtl::TDateTime FirstOfMonth(rtl::TDateTime D) {
    int y, m, d;
    rtl::DecodeDate(D, y, m, d);
    return rtl::EncodeDate(y, m, 1);
}
}  // namespace

TMonthCalendar::TMonthCalendar(TComponent* Owner) : TWinControl(Owner) {
    FControlStyle = TControlStyle{csOpaque, csClickEvents, csDoubleClicks, csReplicatable};
    SetTabStop(true);
    FColor = clWindow;
    SetParentColor(false);
    FDate = rtl::DateOf(rtl::Date());
    FMonth = FirstOfMonth(FDate);
    const TRect r = MinReqRect();
    SetBounds(0, 0, r.Width(), r.Height());
}

int TMonthCalendar::CellWidth() const { return FixedTextExtent("00", Font()->Data()).cx + 8; }
int TMonthCalendar::CellHeight() const { return FixedTextMetrics(Font()->Data()).tmHeight + 2; }

TRect TMonthCalendar::MinReqRect() const {
    const int h = TitleHeight() + CellHeight() + 2 + 6 * CellHeight() + 2 + CellHeight() + Margin;
    return Rect(0, 0, 2 * Margin + 7 * CellWidth(), h);
}

void TMonthCalendar::SetAutoSize(bool Value) {
    FAutoSize = Value;
    if (Value) {
        const TRect r = MinReqRect();
        SetClientSize(r.Width(), r.Height());
    }
}

void TMonthCalendar::CreateWnd() {
    TWinControl::CreateWnd();
    if (FAutoSize) {
        const TRect r = MinReqRect();
        SetClientSize(r.Width(), r.Height());
    }
}

void TMonthCalendar::SetDate(rtl::TDateTime Value) {
    Value = rtl::DateOf(Value);
    if (FMinDate != 0 && Value < FMinDate) Value = FMinDate;
    if (FMaxDate != 0 && Value > FMaxDate) Value = FMaxDate;
    FDate = Value;
    FMonth = FirstOfMonth(Value);
    Invalidate();
}

void TMonthCalendar::SetMinDate(rtl::TDateTime Value) {
    if (Value != 0 && FMaxDate != 0 && Value > FMaxDate)
        throw rtl::Exception("Date exceeds maximum of " + rtl::DateToStr(FMaxDate));
    FMinDate = rtl::DateOf(Value);
    SetDate(FDate);
}

void TMonthCalendar::SetMaxDate(rtl::TDateTime Value) {
    if (Value != 0 && FMinDate != 0 && Value < FMinDate)
        throw rtl::Exception("Date is less than minimum of " + rtl::DateToStr(FMinDate));
    FMaxDate = rtl::DateOf(Value);
    SetDate(FDate);
}

rtl::TDateTime TMonthCalendar::FirstShown() const {
    // Weeks start on Monday; a month starting on Monday shows the week before it first.
    int offset = rtl::DayOfTheWeek(FMonth) - 1;
    if (offset == 0) offset = 7;
    return FMonth - offset;
}

UINT TMonthCalendar::HitTest(TPoint P, rtl::TDateTime* DateOut) const {
    const TRect r = MinReqRect();
    if (P.X < 0 || P.Y < 0 || P.X >= std::max(r.Width(), ClientWidth()) || P.Y >= std::max(r.Height(), ClientHeight()))
        return MCHT_NOWHERE;
    const int cw = CellWidth(), ch = CellHeight(), th = TitleHeight();
    const int w = 2 * Margin + 7 * cw;
    if (P.Y < th) {
        if (P.X >= Margin && P.X < Margin + cw) return MCHT_TITLEBTNPREV;
        if (P.X >= w - Margin - cw && P.X < w - Margin) return MCHT_TITLEBTNNEXT;
        int y, m, d;
        rtl::DecodeDate(FMonth, y, m, d);
        const TFontData& f = Font()->Data();
        const int mw = FixedTextExtent(rtl::FormatSettings().LongMonthNames[m - 1], f).cx;
        const int yw = FixedTextExtent(std::to_string(y), f).cx;
        const int sp = FixedTextExtent(" ", f).cx;
        const int x0 = (w - (mw + sp + yw)) / 2;
        if (P.X >= x0 && P.X < x0 + mw) return MCHT_TITLEMONTH;
        if (P.X >= x0 + mw + sp && P.X < x0 + mw + sp + yw) return MCHT_TITLEYEAR;
        return MCHT_TITLEBK;
    }
    const bool inColumns = P.X >= Margin && P.X < Margin + 7 * cw;
    if (P.Y < th + ch) return inColumns ? MCHT_CALENDARDAY : MCHT_CALENDARBK;
    const int y0 = th + ch + 2;
    if (P.Y >= y0 && P.Y < y0 + 6 * ch && inColumns) {
        const int row = (P.Y - y0) / ch, col = (P.X - Margin) / cw;
        const rtl::TDateTime d = FirstShown() + row * 7 + col;
        if (DateOut) *DateOut = d;
        UINT code = MCHT_CALENDARDATE;
        if (d < FMonth) code = MCHT_CALENDARDATEPREV;
        else if (d >= rtl::IncMonth(FMonth)) code = MCHT_CALENDARDATENEXT;
        return code;
    }
    const int ty = y0 + 6 * ch + 2;
    if (P.Y >= ty && P.Y < ty + ch) {
        if (DateOut) *DateOut = rtl::DateOf(rtl::Date());
        return MCHT_TODAYLINK;
    }
    return MCHT_CALENDARBK;
}

TRect TMonthCalendar::DateRect(rtl::TDateTime Value) const {
    const int i = static_cast<int>(std::floor(rtl::DateOf(Value) - FirstShown() + 0.5));
    if (i < 0 || i >= 42) return TRect{};
    const int cw = CellWidth(), ch = CellHeight();
    const int y0 = TitleHeight() + ch + 2;
    return Bounds(Margin + (i % 7) * cw, y0 + (i / 7) * ch, cw, ch);
}

void TMonthCalendar::UserDate(rtl::TDateTime Value) {
    const rtl::TDateTime old = FDate;
    SetDate(Value);
    if (FDate != old && OnChange) OnChange(this);
}

void TMonthCalendar::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
        case WM_KEYDOWN: {
            const bool ctrl = GetKeyState(VK_CONTROL) < 0;
            int y, m, d;
            rtl::DecodeDate(FDate, y, m, d);
            switch (Message.WParamLo) {
                case VK_LEFT: UserDate(FDate - 1); return;
                case VK_RIGHT: UserDate(FDate + 1); return;
                case VK_UP: UserDate(FDate - 7); return;
                case VK_DOWN: UserDate(FDate + 7); return;
                case VK_PRIOR: UserDate(ctrl ? rtl::IncYear(FDate, -1) : rtl::IncMonth(FDate, -1)); return;
                case VK_NEXT: UserDate(ctrl ? rtl::IncYear(FDate, 1) : rtl::IncMonth(FDate, 1)); return;
                case VK_HOME: UserDate(rtl::EncodeDate(y, m, 1)); return;
                case VK_END: UserDate(rtl::EncodeDate(y, m, rtl::DaysInMonth(y, m))); return;
            }
            break;
        }
        case WM_GETDLGCODE:
            Message.Result = DLGC_WANTARROWS;
            return;
        case WM_LBUTTONDOWN: {
            if (CanFocus() && !Focused() && !(WindowStyle() & WS_POPUP)) SetFocus();
            rtl::TDateTime d = 0;
            const UINT hit = HitTest(LParamToPoint(Message.LParam), &d);
            if (hit == MCHT_TITLEBTNPREV || hit == MCHT_TITLEBTNNEXT) {
                // The shown month turns; the day keeps its number where the month has it.
                UserDate(rtl::IncMonth(FDate, hit == MCHT_TITLEBTNNEXT ? 1 : -1));
            } else if (((hit & 0xFFFF) == 1 && (hit & MCHT_CALENDAR) != 0) || hit == MCHT_TODAYLINK) {
                UserDate(d);
            }
            return;
        }
        case MCM_GETCURSEL:
            if (auto* st = reinterpret_cast<TSystemTime*>(Message.LParam)) *st = DateTimeToSystemTime(FDate);
            Message.Result = 1;
            return;
        case MCM_SETCURSEL:
            if (auto* st = reinterpret_cast<const TSystemTime*>(Message.LParam)) SetDate(SystemTimeToDateTime(*st));
            Message.Result = 1;
            return;
        case MCM_GETMINREQRECT:
            if (auto* r = reinterpret_cast<TRect*>(Message.LParam)) *r = MinReqRect();
            Message.Result = 1;
            return;
        case MCM_GETTODAY:
            if (auto* st = reinterpret_cast<TSystemTime*>(Message.LParam)) *st = DateTimeToSystemTime(rtl::DateOf(rtl::Date()));
            Message.Result = 1;
            return;
        case MCM_HITTEST:
            if (auto* info = reinterpret_cast<TMCHitTestInfo*>(Message.LParam)) {
                rtl::TDateTime d = 0;
                info->uHit = HitTest(info->pt, &d);
                info->st = d != 0 ? DateTimeToSystemTime(d) : TSystemTime{};
                Message.Result = static_cast<LRESULT>(info->uHit);
            }
            return;
        case WM_MOUSEWHEEL:
            UserDate(FDate + (Message.WParamHiS < 0 ? 1 : -1));
            Message.Result = 1;
            return;
        default:
            break;
    }
    TWinControl::DefaultHandler(Message);
}

void TMonthCalendar::PaintWindow(HDC DC) {
    const TRect client = GetClientRect();
    DC->Brush()->SetColor(Color());
    DC->FillRect(client);
    DC->Font()->Assign(Font());
    const int cw = CellWidth(), ch = CellHeight(), th = TitleHeight();
    const int w = 2 * Margin + 7 * cw;
    int y, m, d;
    rtl::DecodeDate(FMonth, y, m, d);
    DC->Brush()->SetColor(clActiveCaption);
    DC->FillRect(Rect(0, 0, w, th));
    DC->Brush()->SetStyle(bsClear);
    DC->Font()->SetColor(clCaptionText);
    TRect t = Rect(0, 0, w, th);
    DrawText(DC, rtl::FormatSettings().LongMonthNames[m - 1] + " " + std::to_string(y), t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    t = Rect(Margin, 0, Margin + cw, th);
    DrawText(DC, "<", t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    t = Rect(w - Margin - cw, 0, w - Margin, th);
    DrawText(DC, ">", t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    DC->Font()->SetColor(Font()->Color());
    for (int i = 0; i < 7; ++i) {
        TRect c = Bounds(Margin + i * cw, th, cw, ch);
        DrawText(DC, rtl::FormatSettings().ShortDayNames[(i + 1) % 7], c, DT_CENTER | DT_SINGLELINE);
    }
    const rtl::TDateTime first = FirstShown();
    const rtl::TDateTime next = rtl::IncMonth(FMonth);
    for (int i = 0; i < 42; ++i) {
        const rtl::TDateTime day = first + i;
        TRect c = DateRect(day);
        const bool sel = rtl::SameDate(day, FDate);
        if (sel) {
            DC->Brush()->SetStyle(bsSolid);
            DC->Brush()->SetColor(clHighlight);
            DC->FillRect(c);
            DC->Brush()->SetStyle(bsClear);
        }
        DC->Font()->SetColor(sel ? clHighlightText : (day < FMonth || day >= next) ? clGrayText : Font()->Color());
        DrawText(DC, std::to_string(rtl::DayOf(day)), c, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    DC->Font()->SetColor(Font()->Color());
    TRect today = Bounds(Margin, th + ch + 2 + 6 * ch + 2, 7 * cw, ch);
    DrawText(DC, rtl::DateToStr(rtl::DateOf(rtl::Date())), today, DT_CENTER | DT_SINGLELINE);
    DC->Brush()->SetStyle(bsSolid);
}

}  // namespace ui
