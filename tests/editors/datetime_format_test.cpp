// The date-time edit format: compiling, display and stepping forms, parsing, composing, stepping.
#include <gtest/gtest.h>

#include "controls/editors/DBCtrlsEh.h"
#include "framework/rtl/Clock.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"

using namespace editors;
using rtl::Variant;

namespace {

using E = TDateTimeElementPosEh;

std::string ErrorOf(const AnsiString& Format) {
    try {
        AnsiString mask;
        TDateTimeElementsEh el;
        CompileDateTimeEditFormat(Format, mask, el);
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return {};
}

bool SameElement(const E& a, const E& b) { return a.Pos == b.Pos && a.Length == b.Length && a.Present == b.Present; }

TEST(DateTimeEditFormat, CompilesMasksAndElementPositions) {
    const E none{};
    const struct {
        const char* Format;
        const char* Mask;
        TDateTimeElementsEh Elements;  // Y M D H N S
    } cases[] = {
        {"DD/MM/YYYY", "!99/99/9999;1; ", {E{7, 4, true}, E{4, 2, true}, E{1, 2, true}, none, none, none}},
        {"DD.MM.YY HH:NN",
         "!99.99.99 99:99;1; ",
         {E{7, 2, true}, E{4, 2, true}, E{1, 2, true}, E{10, 2, true}, E{13, 2, true}, none}},
        {"hh:nn:ss", "!99:99:99;1; ", {none, none, none, E{1, 2, true}, E{4, 2, true}, E{7, 2, true}}},
        {"\\D\\D DD", "!DD 99;1; ", {none, none, E{4, 2, true}, none, none, none}},
        {"DD#MM", "!99\\#99;1; ", {none, E{4, 2, true}, E{1, 2, true}, none, none, none}},
        {"YYYY-MM a\\9", "!9999-99 \\a\\9;1; ", {E{1, 4, true}, E{6, 2, true}, none, none, none, none}},
        {"\\\\DD", "!\\\\99;1; ", {none, none, E{2, 2, true}, none, none, none}},
        {"", "!;1; ", {none, none, none, none, none, none}},
    };
    for (const auto& c : cases) {
        AnsiString mask;
        TDateTimeElementsEh el;
        CompileDateTimeEditFormat(c.Format, mask, el);
        EXPECT_EQ(mask, c.Mask) << c.Format;
        for (int k = 0; k < DateTimeElementCountEh; ++k)
            EXPECT_TRUE(SameElement(el[k], c.Elements[k])) << c.Format << " element " << k << " at " << el[k].Pos;
    }
}

TEST(DateTimeEditFormat, BadFormatsRaiseTheirMessages) {
    const struct {
        const char* Format;
        const char* Message;
    } cases[] = {
        {"D/MM/YY", "Invalid datetime format element length: \"D\""},
        {"DD/MM/YYY", "Invalid datetime format element length: \"Y\""},
        {"DD/MM/YYYYY", "Element in EditFormat: \"DD/MM/YYYYY\" is too long. Pos: 11"},
        {"HHH", "Element in EditFormat: \"HHH\" is too long. Pos: 3"},
        {"DD/MM/DD", "Duplicating datetime format element: \"D\""},
        {"NN:nn", "Duplicating datetime format element: \"N\""},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.Format), c.Message);
}

TEST(DateTimeEditFormat, DisplayFormatKeepsTheMaskLayout) {
    const double value = rtl::EncodeDateTime(2026, 3, 5, 7, 8, 9, 0);
    const struct {
        const char* Format;
        const char* Display;
        const char* Shown;  // under the Russian separators '.' and ':'
    } cases[] = {
        {"DD/MM/YYYY", "DD/MM/YYYY", "05.03.2026"}, {"dd.mm.yy hh:nn", "DD'.'MM'.'YY' 'HH:NN", "05.03.26 07:08"},
        {"\\D\\D DD", "'DD 'DD", "DD 05"},          {"DD'MM", "DD\"'\"MM", "05'03"},
        {"HH:NN:SS", "HH:NN:SS", "07:08:09"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateTimeEditDisplayFormat(c.Format), c.Display) << c.Format;
        EXPECT_EQ(rtl::FormatDateTime(DateTimeEditDisplayFormat(c.Format), value), c.Shown) << c.Format;
    }
}

TEST(DateTimeEditFormat, StepTemplateMatchesTextPositions) {
    EXPECT_EQ(DateTimeEditStepTemplate("DD/MM/YYYY"), "DD/MM/YYYY");
    EXPECT_EQ(DateTimeEditStepTemplate("dd.mm.yy hh:nn"), "DD MM YY HH:NN");
    EXPECT_EQ(DateTimeEditStepTemplate("\\D\\D DD.MM"), "   DD MM");
    EXPECT_EQ(DateTimeEditStepTemplate(""), "");
}

TEST(DateTimeEditFormat, LocaleDecidesTheDefaultDateLayout) {
    const struct {
        const char* ShortDate;
        const char* Four;
        const char* Two;
    } cases[] = {
        {"dd.MM.yyyy", "DD/MM/YYYY", "DD/MM/YY"},
        {"M/d/yyyy", "MM/DD/YYYY", "MM/DD/YY"},
        {"yyyy-MM-dd", "YYYY/MM/DD", "YY/MM/DD"},
        {"", "DD/MM/YYYY", "DD/MM/YY"},
    };
    for (const auto& c : cases) {
        rtl::TScopedFormatSettings keep;
        rtl::FormatSettings().ShortDateFormat = c.ShortDate;
        EXPECT_EQ(DefaultDateEditFormat(true), c.Four) << c.ShortDate;
        EXPECT_EQ(DefaultDateEditFormat(false), c.Two) << c.ShortDate;
    }
    EXPECT_EQ(DefaultTimeEditFormat(), "HH:NN:SS");
}

// Today is 2026-06-15 10:20:30 in every test below.
struct Today : ::testing::Test {
    rtl::TScopedManualClock Clock{rtl::EncodeDateTime(2026, 6, 15, 10, 20, 30, 0)};
};

TEST_F(Today, TwoDigitYearsFallInTheHundredYearsFromSixtyYearsAgo) {
    const std::pair<int, int> cases[] = {{25, 2025}, {65, 2065}, {66, 1966},  {0, 2000},
                                         {99, 1999}, {100, 100}, {2026, 2026}};
    for (auto [in, out] : cases) EXPECT_EQ(ExpandTwoDigitYear(in), out) << in;
    EXPECT_EQ(TodayYear(), 2026);
}

TEST_F(Today, ParsingReadsEachElementAndNeverPastTheText) {
    AnsiString mask;
    TDateTimeElementsEh el;
    CompileDateTimeEditFormat("DD/MM/YY HH:NN", mask, el);
    using V = TDateTimeValuesEh;
    const struct {
        const char* Text;
        V Values;
        bool All;
    } cases[] = {
        {"05.03.26 07:08", V{2026, 3, 5, 7, 8, -1}, true},
        {"05.03.70 07:08", V{1970, 3, 5, 7, 8, -1}, true},
        {" 5.03.26 7 :08", V{2026, 3, 5, 7, 8, -1}, true},
        {"  .03.26   :  ", V{2026, 3, -1, -1, -1, -1}, false},
        {"0x.03.26 07:08", V{2026, 3, -1, 7, 8, -1}, false},
        {"05.0", V{-1, 0, 5, -1, -1, -1}, false},
        {"", V{-1, -1, -1, -1, -1, -1}, false},
    };
    for (const auto& c : cases) {
        V values{};
        EXPECT_EQ(ParseDateTimeText(c.Text, el, values), c.All) << c.Text;
        EXPECT_EQ(values, c.Values) << c.Text;
    }
}

AnsiString Show(const Variant& v) {
    return v.IsNull() ? "Null" : rtl::FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v.AsDateTime());
}

TEST_F(Today, ComposingWithFixUpMendsEveryElement) {
    AnsiString mask;
    TDateTimeElementsEh el;
    CompileDateTimeEditFormat("DD/MM/YYYY HH:NN:SS", mask, el);
    using V = TDateTimeValuesEh;
    const struct {
        V Values;
        const char* Result;
    } cases[] = {
        {V{2023, 2, 31, 1, 2, 3}, "2023-02-28 01:02:03.000"},     {V{2024, 2, 31, 1, 2, 3}, "2024-02-29 01:02:03.000"},
        {V{2023, 5, -1, 1, 2, 3}, "2023-05-15 01:02:03.000"},     {V{-1, -1, 9, -1, -1, -1}, "2026-06-09 00:00:00.000"},
        {V{12000, 13, 1, 25, 75, 60}, "9999-12-01 23:59:59.000"}, {V{30, 1, 1, 0, 0, 0}, "2030-01-01 00:00:00.000"},
    };
    for (const auto& c : cases) {
        Variant v = Variant::Null();
        EXPECT_TRUE(ComposeDateTimeValues(c.Values, el, v, true));
        EXPECT_EQ(Show(v), c.Result);
    }
}

TEST_F(Today, ComposingKeepsThePartsTheFormatLacks) {
    AnsiString mask;
    TDateTimeElementsEh date, time;
    CompileDateTimeEditFormat("DD/MM/YYYY", mask, date);
    CompileDateTimeEditFormat("HH:NN", mask, time);
    const Variant previous = Variant::FromDate(rtl::EncodeDateTime(2020, 1, 2, 3, 4, 5, 6));
    const Variant null = Variant::Null();
    using V = TDateTimeValuesEh;
    const struct {
        const char* Name;
        const TDateTimeElementsEh& Elements;
        V Values;
        Variant Start;
        bool Ok;
        const char* Result;
    } cases[] = {
        {"date onto a value", date, V{2026, 3, 5, -1, -1, -1}, previous, true, "2026-03-05 03:04:05.006"},
        {"time onto a value", time, V{-1, -1, -1, 7, 8, -1}, previous, true, "2020-01-02 07:08:05.006"},
        {"time onto Null", time, V{-1, -1, -1, 7, 8, -1}, null, true, "1900-01-01 07:08:00.000"},
        {"nothing given", date, V{-1, -1, -1, -1, -1, -1}, previous, true, "Null"},
        {"no such day", date, V{2023, 2, 31, -1, -1, -1}, previous, false, "Null"},
        {"day missing", date, V{2023, 2, -1, -1, -1, -1}, previous, false, "Null"},
        {"hour too big", time, V{-1, -1, -1, 24, 0, -1}, previous, false, "Null"},
    };
    for (const auto& c : cases) {
        Variant v = c.Start;
        EXPECT_EQ(ComposeDateTimeValues(c.Values, c.Elements, v, false), c.Ok) << c.Name;
        EXPECT_EQ(Show(v), c.Result) << c.Name;
    }
}

TEST_F(Today, DecomposingGivesTheParts) {
    EXPECT_EQ(DecomposeDateTimeValue(Variant::Null()), (TDateTimeValuesEh{-1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(DecomposeDateTimeValue(Variant::FromDate(rtl::EncodeDateTime(2026, 3, 5, 7, 8, 9, 10))),
              (TDateTimeValuesEh{2026, 3, 5, 7, 8, 9}));
}

TEST(DateTimeStep, StepsWrapWithinEachElementAndItsSlot) {
    const struct {
        const char* Text;
        const char* Template;
        bool Up;
        int Pos;
        const char* Result;
        int NewPos, Sel;
    } cases[] = {
        {"31.03.2026", "DD/MM/YYYY", true, 1, "01.03.2026", 1, 2},
        {"01.03.2026", "DD/MM/YYYY", false, 2, "31.03.2026", 1, 2},
        {"05.12.2026", "DD/MM/YYYY", true, 5, "05.01.2026", 4, 2},
        {"05.01.2026", "DD/MM/YYYY", false, 4, "05.12.2026", 4, 2},
        {"05.03.9999", "DD/MM/YYYY", true, 8, "05.03.0001", 7, 4},
        {"05.03.0001", "DD/MM/YYYY", false, 10, "05.03.9999", 7, 4},
        {"05.03.99", "DD/MM/YY", true, 7, "05.03.00", 7, 2},
        {"05.03.00", "DD/MM/YY", false, 7, "05.03.99", 7, 2},
        {"05.03.41", "DD/MM/YY", true, 8, "05.03.42", 7, 2},
        {"00:59:59", "HH:NN:SS", false, 1, "23:59:59", 1, 2},
        {"23:59:59", "HH:NN:SS", true, 1, "00:59:59", 1, 2},
        {"23:59:59", "HH:NN:SS", true, 4, "23:00:59", 4, 2},
        {"23:59:00", "HH:NN:SS", false, 8, "23:59:59", 7, 2},
        {"  .03.2026", "DD/MM/YYYY", true, 1, "01.03.2026", 1, 2},
        // The caret on a separator takes the element after it.
        {"05.03.2026", "DD/MM/YYYY", true, 3, "05.04.2026", 4, 2},
        {"05.03.2026", "DD/MM/YYYY", true, 99, "05.03.2027", 7, 4},
        // A text shorter than the template gains the element it lacks.
        {"05", "DD/MM/YYYY", true, 4, "05 01", 4, 2},
    };
    for (const auto& c : cases) {
        int pos = c.Pos, sel = 0;
        EXPECT_EQ(StepDateTimeElement(c.Text, c.Template, c.Up, pos, sel), c.Result) << c.Text << " @" << c.Pos;
        EXPECT_EQ(pos, c.NewPos) << c.Text << " @" << c.Pos;
        EXPECT_EQ(sel, c.Sel) << c.Text << " @" << c.Pos;
    }
}

TEST(DateTimeStep, NothingHappensOffTheElements) {
    const struct {
        const char* Text;
        const char* Template;
        int Pos;
    } cases[] = {
        {"05.03.2026", "", 1},  // empty template
        {"DD 05", "   DD", 2},  // a literal
        {"05:", "HH:", 3},      // a separator at the very end
    };
    for (const auto& c : cases) {
        int pos = c.Pos, sel = -7;
        EXPECT_EQ(StepDateTimeElement(c.Text, c.Template, true, pos, sel), c.Text);
        EXPECT_EQ(pos, c.Pos);
        EXPECT_EQ(sel, -7);
    }
}

TEST(DateTimeStep, LocaleSeparatorsAreSteppedOver) {
    rtl::TScopedFormatSettings keep;
    rtl::FormatSettings().TimeSeparator = '.';
    rtl::FormatSettings().DateSeparator = '-';
    int pos = 3, sel = 0;
    EXPECT_EQ(StepDateTimeElement("10.20", "HH.NN", true, pos, sel), "10.21");
    EXPECT_EQ(pos, 4);
    pos = 3;
    EXPECT_EQ(StepDateTimeElement("01-02", "DD-MM", true, pos, sel), "01-03");
}

TEST(DateTimeStep, ElementAtATypedSeparator) {
    const struct {
        bool Four;
        int Pos;
        int NewPos, Len;
    } cases[] = {
        {true, 3, 4, 2}, {true, 6, 7, 4}, {true, 1, 1, 2}, {true, 50, 7, 4}, {false, 7, 7, 2}, {false, 6, 7, 2},
    };
    for (const auto& c : cases) {
        int pos = c.Pos, len = -1;
        DateElementAtSeparator("", pos, len, c.Four);
        EXPECT_EQ(pos, c.NewPos) << c.Pos;
        EXPECT_EQ(len, c.Len) << c.Pos;
    }
}

}  // namespace
