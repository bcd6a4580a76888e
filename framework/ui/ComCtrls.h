// Common controls: the month calendar, page and tab controls and the status bar.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"
#include "framework/ui/Controls.h"
#include "framework/ui/StdCtrls.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// Month calendar

enum : UINT {
    MCM_FIRST = 0x1000,
    MCM_GETCURSEL = MCM_FIRST + 1,
    MCM_SETCURSEL = MCM_FIRST + 2,
    MCM_GETMINREQRECT = MCM_FIRST + 9,
    MCM_GETTODAY = MCM_FIRST + 13,
    MCM_HITTEST = MCM_FIRST + 14,
    MCM_GETRANGE = MCM_FIRST + 17,
    MCM_SETRANGE = MCM_FIRST + 18,
};

// Hit-test codes: the area bits and the part within it.
enum : UINT {
    MCHT_NOWHERE = 0x00000000,
    MCHT_TITLE = 0x00010000,
    MCHT_CALENDAR = 0x00020000,
    MCHT_TODAYLINK = 0x00030000,
    MCHT_NEXT = 0x01000000,
    MCHT_PREV = 0x02000000,
    MCHT_TITLEBK = MCHT_TITLE,
    MCHT_TITLEMONTH = MCHT_TITLE | 0x0001,
    MCHT_TITLEYEAR = MCHT_TITLE | 0x0002,
    MCHT_TITLEBTNNEXT = MCHT_TITLE | MCHT_NEXT | 0x0003,
    MCHT_TITLEBTNPREV = MCHT_TITLE | MCHT_PREV | 0x0003,
    MCHT_CALENDARBK = MCHT_CALENDAR,
    MCHT_CALENDARDATE = MCHT_CALENDAR | 0x0001,
    MCHT_CALENDARDATENEXT = MCHT_CALENDARDATE | MCHT_NEXT,
    MCHT_CALENDARDATEPREV = MCHT_CALENDARDATE | MCHT_PREV,
    MCHT_CALENDARDAY = MCHT_CALENDAR | 0x0002,
    MCHT_CALENDARWEEKNUM = MCHT_CALENDAR | 0x0003,
};

struct TSystemTime {
    uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0, wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};
TSystemTime DateTimeToSystemTime(rtl::TDateTime Value);
rtl::TDateTime SystemTimeToDateTime(const TSystemTime& Value);

// MCM_HITTEST: pt in, uHit and the date under the point out.
struct TMCHitTestInfo {
    UINT cbSize = sizeof(TMCHitTestInfo);
    TPoint pt;
    UINT uHit = 0;
    TSystemTime st;
};

// One month, weeks from Monday, six week rows, a today line under them.
class TMonthCalendar : public TWinControl {
    RTL_CLASS(TMonthCalendar, TWinControl)
public:
    explicit TMonthCalendar(TComponent* Owner);

    rtl::TDateTime Date() const noexcept { return FDate; }
    void SetDate(rtl::TDateTime Value);
    // 0: no limit.
    rtl::TDateTime MinDate() const noexcept { return FMinDate; }
    void SetMinDate(rtl::TDateTime Value);
    rtl::TDateTime MaxDate() const noexcept { return FMaxDate; }
    void SetMaxDate(rtl::TDateTime Value);
    // The month shown (its first day).
    rtl::TDateTime VisibleMonth() const noexcept { return FMonth; }
    bool AutoSize() const noexcept { return FAutoSize; }
    void SetAutoSize(bool Value);

    // The smallest rectangle that shows a whole month.
    TRect MinReqRect() const;
    UINT HitTest(TPoint P, rtl::TDateTime* DateOut = nullptr) const;
    // Cell of a date of the shown grid; empty when not shown.
    TRect DateRect(rtl::TDateTime Value) const;

    // The user picked a date (keys, a click or the today line).
    TNotifyEvent OnChange;

protected:
    void CreateWnd() override;
    void DefaultHandler(TMessage& Message) override;
    void PaintWindow(HDC DC) override;
    // A date chosen by the user: clamped, shown, reported.
    void UserDate(rtl::TDateTime Value);
    rtl::TDateTime FirstShown() const;
    int CellWidth() const;
    int CellHeight() const;
    int TitleHeight() const { return CellHeight() + 4; }

    rtl::TDateTime FDate = 0;
    rtl::TDateTime FMonth = 0;
    rtl::TDateTime FMinDate = 0;
    rtl::TDateTime FMaxDate = 0;
    bool FAutoSize = false;
};

}  // namespace ui
