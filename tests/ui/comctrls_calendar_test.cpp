#include "edit_fixture.h"
#include "framework/rtl/DateUtils.h"
#include "framework/ui/ComCtrls.h"

namespace uitest {
namespace {

class CalendarTest : public InputTest {
protected:
    TMonthCalendar* MakeCalendar(int Y, int M, int D) {
        auto* c = rtl::Create<TMonthCalendar>(Form);
        c->SetParent(Form);
        c->SetDate(rtl::EncodeDate(Y, M, D));
        c->OnChange = [this](TObject*) { ++Changes; };
        Form->SetBounds(0, 0, 600, 400);
        Form->Show();
        c->SetFocus();
        return c;
    }
    int Changes = 0;
};

TEST_F(CalendarTest, KeysCrossMonthAndYearEnds) {
    struct Case {
        int Y, M, D;
        TStroke Key;
        int EY, EM, ED;
    } cases[] = {
        {2024, 12, 31, K(VK_RIGHT), 2025, 1, 1}, {2025, 1, 1, K(VK_LEFT), 2024, 12, 31},
        {2024, 12, 28, K(VK_DOWN), 2025, 1, 4},  {2025, 1, 3, K(VK_UP), 2024, 12, 27},
        {2024, 1, 31, K(VK_NEXT), 2024, 2, 29},  {2024, 3, 31, K(VK_PRIOR), 2024, 2, 29},
        {2024, 2, 29, CK(VK_NEXT), 2025, 2, 28}, {2024, 2, 10, K(VK_END), 2024, 2, 29},
        {2024, 2, 10, K(VK_HOME), 2024, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Y) + "-" + std::to_string(c.M) + "-" + std::to_string(c.D));
        auto* cal = MakeCalendar(c.Y, c.M, c.D);
        Stroke(c.Key);
        EXPECT_EQ(cal->Date(), rtl::EncodeDate(c.EY, c.EM, c.ED));
        EXPECT_EQ(cal->VisibleMonth(), rtl::EncodeDate(c.EY, c.EM, 1));
        cal->Free();
    }
}

TEST_F(CalendarTest, HitTestCodesOverTheMinimumRectangle) {
    auto* cal = MakeCalendar(2025, 1, 15);  // 1 January 2025 is a Wednesday
    TRect req;
    cal->Perform(MCM_GETMINREQRECT, 0, reinterpret_cast<LPARAM>(&req));
    EXPECT_EQ(req, cal->MinReqRect());
    EXPECT_GT(req.Width(), 0);
    auto hit = [&](TPoint P) {
        TMCHitTestInfo info;
        info.pt = P;
        cal->Perform(MCM_HITTEST, 0, reinterpret_cast<LPARAM>(&info));
        return std::make_pair(info.uHit, info.st);
    };
    const TRect first = cal->DateRect(rtl::EncodeDate(2025, 1, 1));
    ASSERT_FALSE(first.IsEmpty());
    EXPECT_EQ(first.Left, cal->DateRect(rtl::EncodeDate(2024, 12, 30)).Left + 2 * first.Width());
    auto [code, st] = hit(Point(first.Left + 2, first.Top + 2));
    EXPECT_EQ(code, MCHT_CALENDARDATE);
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(hit(Point(first.Left - 3, first.Top + 2)).first, MCHT_CALENDARDATEPREV);
    const TRect feb = cal->DateRect(rtl::EncodeDate(2025, 2, 1));
    EXPECT_EQ(hit(Point(feb.Left + 2, feb.Top + 2)).first, MCHT_CALENDARDATENEXT);
    EXPECT_EQ(hit(Point(first.Left + 2, first.Top - 4)).first, MCHT_CALENDARDAY);
    EXPECT_EQ(hit(Point(6, 4)).first, MCHT_TITLEBTNPREV);
    EXPECT_EQ(hit(Point(req.Right - 6, 4)).first, MCHT_TITLEBTNNEXT);
    EXPECT_EQ(hit(Point(req.Width() / 2, req.Bottom - 8)).first, MCHT_TODAYLINK);
    EXPECT_EQ(hit(Point(req.Right + 50, 4)).first, MCHT_NOWHERE);
    // Codes a drop-down accepts: a day, any calendar area, the today line and the month name.
    for (UINT c : {MCHT_CALENDARDATE, MCHT_CALENDARDATEPREV, MCHT_CALENDARBK, MCHT_TODAYLINK, MCHT_TITLEMONTH})
        EXPECT_NE(c & 0x20001u, 0u);
    for (UINT c : {MCHT_TITLEYEAR, MCHT_TITLEBK}) EXPECT_EQ(c & 0x20001u, 0u);
}

TEST_F(CalendarTest, ClicksPickDaysTurnMonthsAndRespectTheRange) {
    auto* cal = MakeCalendar(2025, 1, 15);
    const TRect grey = cal->DateRect(rtl::EncodeDate(2024, 12, 31));
    Click(cal, grey.Left + 2, grey.Top + 2);
    EXPECT_EQ(cal->Date(), rtl::EncodeDate(2024, 12, 31));
    EXPECT_EQ(cal->VisibleMonth(), rtl::EncodeDate(2024, 12, 1));
    Click(cal, cal->MinReqRect().Right - 6, 4);
    EXPECT_EQ(cal->Date(), rtl::EncodeDate(2025, 1, 31));
    EXPECT_EQ(Changes, 2);
    cal->SetMaxDate(rtl::EncodeDate(2025, 2, 3));
    Stroke(K(VK_NEXT));
    EXPECT_EQ(cal->Date(), rtl::EncodeDate(2025, 2, 3));
    EXPECT_THROW(cal->SetMinDate(rtl::EncodeDate(2025, 3, 1)), rtl::Exception);
    TSystemTime st = DateTimeToSystemTime(rtl::EncodeDate(2025, 1, 2));
    EXPECT_EQ(cal->Perform(MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&st)), 1);
    EXPECT_EQ(cal->Date(), rtl::EncodeDate(2025, 1, 2));
}

}  // namespace
}  // namespace uitest
