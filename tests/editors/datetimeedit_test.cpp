// The date-time editor: the edit format each kind gets, typing and completion on leaving, Text
// writes, stepping elements, the calendar drop-down, and what a date editor keeps of a field's
// time of day.
#include <gtest/gtest.h>

#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "tests/support/editorform_fixture.h"

using namespace editorstest;
using namespace editors;
using rtl::EncodeDate;
using rtl::EncodeTime;
using rtl::Variant;

namespace {

Variant DateV(int Y, int M, int D, int H = 0, int N = 0, int S = 0) {
    return Variant::FromDate(EncodeDate(Y, M, D) + EncodeTime(H, N, S, 0));
}

// The first point of the calendar's client area that hits Day; X is -1 where none does.
ui::TPoint DayPoint(TPopupMonthCalendarEh* Calendar, rtl::TDateTime Day) {
    for (int y = 0; y < Calendar->ClientHeight(); ++y)
        for (int x = 0; x < Calendar->ClientWidth(); ++x) {
            rtl::TDateTime d = 0;
            if ((Calendar->HitTest({x, y}, &d) & 0xFFFF00FF) == ui::MCHT_CALENDARDATE && d == Day) return {x, y};
        }
    return {-1, -1};
}

std::vector<memdstest::TCol> DateCols() {
    using namespace store;
    return {{u"born", mdtDate, 8}, {u"at", mdtDateTime, 8}};
}

class DateTimeEditTest : public BoundEditorTest<TDBDateTimeEditEh> {
protected:
    DateTimeEditTest() : BoundEditorTest(DateCols(), {{DateV(1990, 3, 4), DateV(2024, 3, 5, 14, 30)}}) {}
    void SetUp() override {
        BoundEditorTest::SetUp();
        Clock.SetNow(EncodeDate(2026, 5, 20) + 0.5);
        SetUpForm(CreateEditor("Date"));
    }
    // Types into the emptied editor from its first position.
    void TypeFresh(const std::string& Keys) {
        Focus(Edit);
        Edit->SelectAll();
        Key(ui::VK_DELETE);
        Edit->SetSelStart(0);
        Type(Keys);
    }
};

TEST_F(DateTimeEditTest, EachKindHasItsEditFormatAndABadCustomFormatChangesNothing) {
    EXPECT_EQ(Edit->EditFormat(), "DD/MM/YYYY");
    EXPECT_EQ(Edit->EditMask(), "!99/99/9999;1; ");
    Edit->SetKind(dtkDateTimeEh);
    EXPECT_EQ(Edit->EditFormat(), "DD/MM/YYYY HH:NN:SS");
    Edit->SetKind(dtkTimeEh);
    EXPECT_EQ(Edit->EditFormat(), "HH:NN:SS");
    Edit->SetEditFormat("MM/YYYY");
    EXPECT_EQ(Edit->Kind(), dtkCustomEh);
    EXPECT_THROW(Edit->SetEditFormat("D/MM"), rtl::Exception);
    EXPECT_EQ(Edit->EditFormat(), "MM/YYYY");
    EXPECT_EQ(Edit->EditMask(), "!99/9999;1; ");

    rtl::TScopedFormatSettings fs;
    rtl::FormatSettings().ShortDateFormat = "dd.MM.yy";
    Edit->SetKind(dtkDateEh);
    Focus(Edit);
    EXPECT_EQ(Edit->EditFormat(), "DD/MM/YY") << "entering looks at the locale's year digits again";
}

TEST_F(DateTimeEditTest, TypedInputIsNullUntilLeavingCompletesIt) {
    struct TCase {
        TDateTimeKindEh Kind;
        const char* Custom;
        const char* Keys;
        Variant Typed;
        Variant Left;
    } cases[] = {
        {dtkDateEh, "", "05032024", DateV(2024, 3, 5), DateV(2024, 3, 5)},
        {dtkDateEh, "", "15", Variant::Null(), DateV(2026, 5, 15)},
        {dtkDateEh, "", "31022024", Variant::Null(), DateV(2024, 2, 29)},
        {dtkDateEh, "", "", Variant::Null(), Variant::Null()},
        {dtkDateTimeEh, "", "050320241230", Variant::Null(), DateV(2024, 3, 5, 12, 30)},
        {dtkCustomEh, "YYYY/MM/DD", "20231231", DateV(2023, 12, 31), DateV(2023, 12, 31)},
    };
    for (const auto& c : cases) {
        if (c.Kind == dtkCustomEh)
            Edit->SetEditFormat(c.Custom);
        else
            Edit->SetKind(c.Kind);
        Edit->SetValue(Variant::Null());
        TypeFresh(c.Keys);
        EXPECT_EQ(Edit->Value(), c.Typed) << c.Keys << " while typing: " << Edit->EditText();
        Focus(Other);
        EXPECT_EQ(Edit->Value(), c.Left) << c.Keys << " after leaving: " << Edit->EditText();
        EXPECT_EQ(Edit->DataLink()->UnboundValue(), c.Left) << c.Keys;
    }
}

// Formats with a literal backslash, and with a month after an hour that literals and a day part
// from it, show the value in their slots and read it back whole.
TEST_F(DateTimeEditTest, CustomFormatsShowAndReadBackTheirElements) {
    Bind("at");  // 05.03.2024 14:30
    const struct {
        const char* Format;
        const char* Text;
    } cases[] = {
        {"\\\\DD.MM.YYYY", "\\05.03.2024"},
        {"HH DD/MM/YYYY", "14 05.03.2024"},
        {"HH:NN DD/MM/YYYY", "14:30 05.03.2024"},
    };
    rtl::TScopedFormatSettings fs;
    rtl::FormatSettings().DateSeparator = '.';
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Format);
        Focus(Other);
        Edit->SetEditFormat(c.Format);
        Focus(Edit);
        EXPECT_EQ(Edit->EditText(), c.Text);
        Edit->SetModified(true);
        Focus(Other);
        EXPECT_EQ(rtl::DateOf(Data.F("at")->AsDateTime()), EncodeDate(2024, 3, 5));
    }
}

TEST_F(DateTimeEditTest, ATimeEditorComposesOntoTheValuesDateAndAnEmptyOneOnTheFirstOfJanuary1900) {
    Edit->SetKind(dtkTimeEh);
    EXPECT_EQ(Edit->EditMask(), "!99:99:99;1; ");
    TypeFresh("083005");
    EXPECT_EQ(Edit->Value(), DateV(1900, 1, 1, 8, 30, 5));
    Focus(Other);
    Bind("at");
    Focus(Edit);
    Edit->SetSelStart(0);
    Type("0930");
    EXPECT_EQ(Edit->EditText(), "09:30:00");
    Focus(Other);
    EXPECT_EQ(Data.F("at")->AsDateTime(), EncodeDate(2024, 3, 5) + EncodeTime(9, 30, 0, 0)) << "the date kept";
}

TEST_F(DateTimeEditTest, TwoDigitYearsFallInTheHundredYearsFromSixtyBeforeToday) {
    rtl::TScopedFormatSettings fs;
    rtl::FormatSettings().ShortDateFormat = "dd.MM.yy";
    Focus(Edit);
    ASSERT_EQ(Edit->EditFormat(), "DD/MM/YY");
    struct TCase {
        const char* Keys;
        int Year;
    } cases[] = {{"010225", 2025}, {"010265", 2065}, {"010266", 1966}, {"010299", 1999}, {"010200", 2000}};
    for (const auto& c : cases) {
        TypeFresh(c.Keys);
        Focus(Other);
        ASSERT_FALSE(Edit->Value().IsNull()) << c.Keys;
        EXPECT_EQ(rtl::YearOf(Edit->Value().AsDateTime()), c.Year) << c.Keys;
    }
}

TEST_F(DateTimeEditTest, ATextWriteThatIsNoDateRaisesAndKeepsTheField) {
    Bind("born");
    try {
        Edit->SetText("31.02.2024");
        FAIL() << "no error";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(std::string(e.Message()), "Invalid datetime: \"31.02.2024\"");
    }
    EXPECT_EQ(Data.F("born")->AsDateTime(), EncodeDate(1990, 3, 4));
    EXPECT_EQ(Edit->EditText(), "04.03.1990");
    Edit->SetText("01.02.2003");
    EXPECT_EQ(Data.F("born")->AsDateTime(), EncodeDate(2003, 2, 1));
}

TEST_F(DateTimeEditTest, ArrowsWheelAndSeparatorsStepAndSelectElements) {
    Edit->SetKind(dtkDateTimeEh);
    Edit->SetValue(DateV(2024, 12, 31, 0, 59, 0));
    ASSERT_EQ(Edit->EditText(), "31.12.2024 00:59:00");
    Focus(Edit);
    struct TCase {
        int Caret;
        uint16_t Key;
        const char* Text;
        int SelStart, SelLength;
    } cases[] = {
        {0, ui::VK_UP, "01.12.2024 00:59:00", 0, 2},     {3, ui::VK_UP, "01.01.2024 00:59:00", 3, 2},
        {11, ui::VK_DOWN, "01.01.2024 23:59:00", 11, 2}, {2, ui::VK_DOWN, "01.12.2024 23:59:00", 3, 2},
        {14, ui::VK_UP, "01.12.2024 23:00:00", 14, 2},
    };
    for (const auto& c : cases) {
        Edit->SetSelStart(c.Caret);
        Key(c.Key);
        EXPECT_EQ(Edit->EditText(), c.Text) << c.Caret;
        EXPECT_EQ(Edit->SelStart(), c.SelStart) << c.Caret;
        EXPECT_EQ(Edit->SelLength(), c.SelLength) << c.Caret;
    }
    EXPECT_EQ(Edit->Value(), DateV(2024, 12, 1, 23, 0, 0)) << "the value follows every step";

    Edit->SetSelStart(6);
    ui::MouseWheelInput(120, At(Edit, 5, 5));
    Pump();
    EXPECT_EQ(Edit->EditText(), "01.12.2025 23:00:00");

    Edit->SetSelStart(0);
    Type(".");
    EXPECT_EQ(Edit->SelStart(), 3) << "a typed separator selects the month";
    EXPECT_EQ(Edit->SelLength(), 2);
    EXPECT_EQ(Edit->EditText(), "01.12.2025 23:00:00") << "and is not inserted";
}

TEST_F(DateTimeEditTest, ADateEditorKeepsTheFieldsTimeOfDay) {
    Bind("at");
    EXPECT_EQ(Edit->EditText(), "05.03.2024");
    TypeFresh("06032024");
    Focus(Other);
    EXPECT_EQ(Data.F("at")->AsDateTime(), EncodeDate(2024, 3, 6) + EncodeTime(14, 30, 0, 0));
    TypeFresh("");
    Focus(Other);
    EXPECT_TRUE(Data.F("at")->IsNull()) << "an emptied editor stores Null";
}

TEST_F(DateTimeEditTest, TheCalendarChoosesADayKeepingTheTimeAndEscLeavesTheValue) {
    Bind("at");
    Focus(Edit);
    Edit->DropDown();
    Pump();
    ASSERT_TRUE(Edit->CalendarOpen());
    EXPECT_EQ(Edit->Calendar()->Date(), EncodeDate(2024, 3, 5));
    Key(ui::VK_RIGHT);  // goes to the calendar: the next day
    EXPECT_EQ(Edit->EditText(), "05.03.2024");
    Key(ui::VK_RETURN, '\r');
    EXPECT_FALSE(Edit->CalendarOpen());
    EXPECT_EQ(Edit->Value(), DateV(2024, 3, 6, 14, 30));
    Focus(Other);
    EXPECT_EQ(Data.F("at")->AsDateTime(), EncodeDate(2024, 3, 6) + EncodeTime(14, 30, 0, 0));

    Edit->SetValue(Variant::Null());
    Focus(Edit);
    Edit->DropDown();
    Pump();
    EXPECT_EQ(Edit->Calendar()->Date(), EncodeDate(2026, 5, 20)) << "an empty value opens on today";
    Key(ui::VK_ESCAPE, '\x1B');
    EXPECT_FALSE(Edit->CalendarOpen());
    EXPECT_TRUE(Edit->Value().IsNull());
}

TEST_F(DateTimeEditTest, TheCalendarShowsOnTheScreenRightUnderTheEditor) {
    Form->SetBounds(100, 100, 400, 300);
    Focus(Edit);
    Edit->DropDown();
    Pump();
    TPopupMonthCalendarEh* cal = Edit->Calendar();
    ExpectShownUnder(Edit, cal);
    EXPECT_TRUE(Edit->Focused()) << "the editor keeps the focus";
    Key(ui::VK_ESCAPE, '\x1B');
    EXPECT_FALSE(cal->IsWindowVisible());
}

TEST_F(DateTimeEditTest, ADragFromTheButtonOrAClickInTheOpenCalendarChoosesTheDay) {
    Edit->SetValue(DateV(2024, 3, 5));
    Focus(Edit);
    TEditButtonControlEh* button = Edit->ButtonControls().front().EditButtonControl;
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(button, button->Width() / 2, button->Height() / 2));
    Pump();
    ASSERT_TRUE(Edit->CalendarOpen());
    EXPECT_TRUE(button->MouseCapture()) << "the pressed button keeps the mouse";
    TPopupMonthCalendarEh* cal = Edit->Calendar();
    const ui::TPoint day = DayPoint(cal, EncodeDate(2024, 3, 20));
    ASSERT_GE(day.X, 0);
    ui::MouseInput(ui::WM_MOUSEMOVE, At(cal, day.X, day.Y));
    Pump();
    EXPECT_FALSE(button->MouseCapture()) << "the calendar took the drag over";
    ui::MouseInput(ui::WM_LBUTTONUP, At(cal, day.X, day.Y));
    Pump();
    EXPECT_FALSE(Edit->CalendarOpen());
    EXPECT_EQ(Edit->Value(), DateV(2024, 3, 20));

    // A plain click on a day of the open calendar chooses it and the editor has the focus after.
    ui::ResetDoubleClick();
    Edit->DropDown();
    Pump();
    const ui::TPoint other = DayPoint(cal, EncodeDate(2024, 3, 12));
    ASSERT_GE(other.X, 0);
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(cal, other.X, other.Y));
    Pump();
    ui::MouseInput(ui::WM_LBUTTONUP, At(cal, other.X, other.Y));
    Pump();
    EXPECT_FALSE(Edit->CalendarOpen());
    EXPECT_EQ(Edit->Value(), DateV(2024, 3, 12));
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(ui::GetActiveWindow(), Form->Handle());
}

TEST_F(DateTimeEditTest, TheWheelMovesTheOpenCalendarNotTheValue) {
    Edit->SetValue(DateV(2024, 3, 5));
    Focus(Edit);
    Edit->DropDown();
    Pump();
    ui::MouseWheelInput(-120, At(Edit, 5, 5));
    Pump();
    EXPECT_EQ(Edit->Calendar()->Date(), EncodeDate(2024, 3, 6));
    EXPECT_EQ(Edit->Value(), DateV(2024, 3, 5));
    Key(ui::VK_RETURN, '\r');
    EXPECT_EQ(Edit->Value(), DateV(2024, 3, 6));
}

}  // namespace
