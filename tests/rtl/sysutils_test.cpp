#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "framework/rtl/Clock.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "tests/rtl/convert_error_fixture.h"

using namespace rtl;
using rtltest::ConvertMessage;

namespace {

// Russian text in 1251 from a UTF-8 literal.
AnsiString R(const char8_t* s) { return UTF8ToAnsi(reinterpret_cast<const char*>(s)); }

const AnsiString NBSP = "\xA0";

}  // namespace

TEST(FormatSettings, RussianDefaults) {
    const TFormatSettings& fs = FormatSettings();
    EXPECT_EQ(fs.DecimalSeparator, ',');
    EXPECT_EQ(fs.ThousandSeparator, '\xA0');
    EXPECT_EQ(fs.DateSeparator, '.');
    EXPECT_EQ(fs.ShortDateFormat, "dd.MM.yyyy");
    EXPECT_EQ(fs.LongTimeFormat, "H:mm:ss");
    EXPECT_EQ(fs.CurrencyString, R(u8"р."));
    EXPECT_EQ(fs.LongMonthNames[0], R(u8"Январь"));
    EXPECT_EQ(fs.ShortDayNames[1], R(u8"Пн"));
}

TEST(FormatSettings, ScopedOverrideIsRestored) {
    {
        TScopedFormatSettings scope;
        FormatSettings().DecimalSeparator = '.';
        EXPECT_EQ(FloatToStr(1.5), "1.5");
    }
    EXPECT_EQ(FloatToStr(1.5), "1,5");
}

TEST(Format, SpecifiersWidthPrecisionAndIndex) {
    struct Case {
        std::string got, want;
    } cases[] = {
        {Format("%d|%5d|%-5d|%.3d", {42, 42, 42, 7}), "42|   42|42   |007"},
        {Format("%d", {int64_t(-9000000000)}), "-9000000000"},
        {Format("%u", {-1}), "4294967295"},
        {Format("%x|%X|%.4x", {255, 255, 10}), "FF|FF|000A"},
        {Format("%s|%6s|%-6s|%.2s", {"abc", "abc", "abc", "abc"}), "abc|   abc|abc   |ab"},
        {Format("%s", {WideString(u"wide")}), "wide"},
        {Format("%f|%.0f|%8.3f", {3.14159, 2.5, -3.14159}), "3,14|3|  -3,142"},
        {Format("%n", {1234567.891}), "1" + NBSP + "234" + NBSP + "567,89"},
        {Format("%m", {1234.5}), "1" + NBSP + "234,50 " + R(u8"р.")},
        {Format("%m", {Currency::FromScaled(-15000)}), "-1,50 " + R(u8"р.")},
        {Format("%g|%g", {0.1, 1e20}), "0,1|1E20"},
        {Format("%e", {1234.5}), "1,23450000000000E+003"},
        {Format("%.3e", {-0.000125}), "-1,25E-004"},
        {Format("%*d|%-*d|%.*f", {4, 7, 3, 8, 1, 2.25}), "   7|8  |2,3"},
        {Format("%1:s %0:s %s", {"a", "b"}), "b a b"},
        {Format("100%%", {}), "100%"},
        {Format("%c%c", {'o', 'k'}), "ok"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Format, MismatchRaisesConvertError) {
    struct Case {
        const char* fmt;
        std::function<void()> call;
    } cases[] = {
        {"%d", [] { Format("%d", {"text"}); }},
        {"%f", [] { Format("%f", {5}); }},
        {"%s %s", [] { Format("%s %s", {"x"}); }},
        {"%z", [] { Format("%z", {"x"}); }},
        {"%", [] { Format("%", {}); }},
        {"%p", [] { Format("%p", {1.5}); }},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertMessage(c.call), std::string("Format '") + c.fmt + "' invalid or incompatible with argument");
}

TEST(FloatText, GeneralAndFixedForms) {
    struct Case {
        double v;
        TFloatFormat f;
        int prec, digits;
        std::string want;
    } cases[] = {
        {1.5, ffGeneral, 15, 0, "1,5"},
        {0.1 + 0.2, ffGeneral, 15, 0, "0,3"},
        {123456789012345.0, ffGeneral, 15, 0, "123456789012345"},
        {1e15, ffGeneral, 15, 0, "1E15"},
        {0.0001, ffGeneral, 15, 0, "0,0001"},
        {0.00001, ffGeneral, 15, 0, "1E-5"},
        {-2.5e-10, ffGeneral, 15, 0, "-2,5E-10"},
        {0.0, ffGeneral, 15, 0, "0"},
        {2.675, ffFixed, 15, 2, "2,68"},
        {-0.001, ffFixed, 15, 2, "0,00"},
        {1234567.891, ffNumber, 15, 2, "1" + NBSP + "234" + NBSP + "567,89"},
        {-1234.5, ffCurrency, 15, 2, "-1" + NBSP + "234,50 " + R(u8"р.")},
        {1234.5, ffExponent, 4, 2, "1,235E+03"},
        {std::numeric_limits<double>::infinity(), ffGeneral, 15, 0, "INF"},
        {-std::numeric_limits<double>::infinity(), ffFixed, 15, 2, "-INF"},
    };
    for (const auto& c : cases) EXPECT_EQ(FloatToStrF(c.v, c.f, c.prec, c.digits), c.want) << c.v;
}

TEST(FloatText, PictureFormats) {
    struct Case {
        const char* fmt;
        double v;
        std::string want;
    } cases[] = {
        {"#,##0.00", 1234567.891, "1" + NBSP + "234" + NBSP + "567,89"},
        {"0.###", 1.5, "1,5"},
        {"0.###", 2.0, "2"},
        {"000", 7, "007"},
        {"#.00", 0.5, ",50"},
        {"0.00", -0.004, "0,00"},
        {"#,##0.00;(#,##0.00)", -5, "(5,00)"},
        {"#,##0.00;;'nil'", 0, "nil"},
        {"0.00E+00", 12345, "1,23E+04"},
        {"0.0E-0", 0.00012, "1,2E-4"},
        {"\"N=\"0", 3, "N=3"},
        {"", 2.5, "2,5"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFloat(c.fmt, c.v), c.want) << c.fmt;
}

TEST(FloatText, ParseWithTheLocaleSeparator) {
    struct Case {
        const char* text;
        bool ok;
        double v;
    } cases[] = {
        {"1,5", true, 1.5},
        {" -2,25 ", true, -2.25},
        {"1E3", true, 1000},
        {"1,5e-2", true, 0.015},
        {"1.5", false, 0},
        {"1"
         "\xA0"
         "000",
         false, 0},
        {"", false, 0},
        {"1,2,3", false, 0},
        {"abc", false, 0},
        {"1e999", false, 0},
        {",5", true, 0.5},
        {"1e", false, 0},
    };
    for (const auto& c : cases) {
        double v = -99;
        EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.v) << c.text;
        }
    }
    EXPECT_EQ(ConvertMessage([] { StrToFloat("x1"); }), "'x1' is not a valid floating point value");
    // A round trip through the text keeps every double.
    for (double d : {0.1, 2.675, 123456.789, -1e-7, 1e300}) EXPECT_DOUBLE_EQ(StrToFloat(FloatToStr(d)), d);
}

TEST(IntegerText, ParseAndOverflow) {
    struct Case {
        const char* text;
        bool ok;
        int64_t v;
    } cases[] = {
        {"42", true, 42},
        {" -17 ", true, -17},
        {"$FF", true, 255},
        {"0x10", true, 16},
        {"+5", true, 5},
        {"", false, 0},
        {"1.0", false, 0},
        {"12a", false, 0},
        {"9223372036854775807", true, INT64_MAX},
        {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, 0},
    };
    for (const auto& c : cases) {
        int64_t v = -1;
        EXPECT_EQ(TryStrToInt64(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.v) << c.text;
        }
    }
    EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
    EXPECT_EQ(ConvertMessage([] { StrToInt("2147483648"); }), "'2147483648' is not a valid integer value");
    EXPECT_EQ(StrToIntDef("zz", 9), 9);
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToStr(int64_t(-5)), "-5");
}

TEST(Rounding, BankersRoundTable) {
    struct Case {
        double v;
        int64_t want;
    } cases[] = {{0.5, 0},   {1.5, 2},    {2.5, 2},    {3.5, 4},      {-0.5, 0}, {-1.5, -2},
                 {-2.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {7.0, 7}};
    for (const auto& c : cases) EXPECT_EQ(BankersRound(c.v), c.want) << c.v;
}

TEST(Rounding, OverflowingConversionsRaise) {
    EXPECT_THROW(BankersRound(1e19), EConvertError);
    EXPECT_THROW(BankersRound(std::nan("")), EConvertError);
    EXPECT_THROW(CheckedInt32(3e9), EConvertError);
    EXPECT_THROW(CheckedInt32(int64_t(INT32_MAX) + 1), EConvertError);
    EXPECT_THROW(CheckedInt16(40000), EConvertError);
    EXPECT_THROW(CheckedUInt8(-1), EConvertError);
    EXPECT_EQ(CheckedInt32(2147483646.5), 2147483646);
    EXPECT_THROW(DoubleToCurr(1e300), EConvertError);
    EXPECT_THROW(IntToCurr(INT64_MAX / 1000), EConvertError);
}

TEST(CurrencyText, ExactParseWithHalfEvenAndFormatting) {
    struct Case {
        const char* text;
        int64_t scaled;
    } cases[] = {
        {"12,34565", 123456}, {"12,34575", 123458}, {"-12,34565", -123456}, {"0,00005", 0},
        {"0,00015", 2},       {"0,000151", 2},      {"1E2", 1000000},       {"922337203685477,5807", INT64_MAX},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToCurr(c.text).Value, c.scaled) << c.text;
    EXPECT_EQ(ConvertMessage([] { StrToCurr("922337203685478"); }),
              "'922337203685478' is not a valid floating point value");
    EXPECT_EQ(CurrToStr(Currency::FromScaled(123400)), "12,34");
    EXPECT_EQ(CurrToStr(Currency::FromScaled(INT64_MIN)), "-922337203685477,5808");
    EXPECT_EQ(CurrToStrF(Currency::FromScaled(-12345678), ffCurrency, 2), "-1" + NBSP + "234,57 " + R(u8"р."));
    EXPECT_EQ(DoubleToCurr(0.00005).Value, 0);  // half to even at four places
    EXPECT_EQ(DoubleToCurr(1.00015).Value, 10002);
}

TEST(BooleanText, ParseAndFormat) {
    struct Case {
        const char* text;
        bool ok, v;
    } cases[] = {{"True", true, true}, {"false", true, false}, {" TRUE ", true, true}, {"0", true, false},
                 {"-1", true, true},   {"2,5", true, true},    {"yes", false, false},  {"", false, false}};
    for (const auto& c : cases) {
        bool v = !c.v;
        EXPECT_EQ(TryStrToBool(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.v) << c.text;
        }
    }
    EXPECT_EQ(ConvertMessage([] { StrToBool("da"); }), "'da' is not a valid boolean value");
    EXPECT_EQ(BoolToStr(true, true), "True");
    EXPECT_EQ(BoolToStr(false), "0");
}

TEST(DateText, FormatWithRussianSettings) {
    const TDateTime v = EncodeDateTime(2024, 3, 5, 7, 8, 9, 45);
    EXPECT_EQ(DateToStr(v), "05.03.2024");
    EXPECT_EQ(TimeToStr(v), "7:08:09");
    EXPECT_EQ(DateTimeToStr(v), "05.03.2024 7:08:09");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), "05.03.2024");  // midnight shows no time
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v), "2024-03-05 07:08:09.045");
    EXPECT_EQ(FormatDateTime("d mmmm yy, dddd", v), "5 " + R(u8"Март") + " 24, " + R(u8"вторник"));
    EXPECT_EQ(FormatDateTime("h:mm am/pm", EncodeTime(15, 30, 0, 0)), "3:30 pm");
    EXPECT_EQ(FormatDateTime("'at' hh", v), "at 07");
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy", v), "05.03.2024");
}

// Every format token against settings of its own, at an afternoon, a midnight and a noon: runs of
// each letter past their longest form, either case, quoted text, the am/pm forms, m as minutes only
// right after the hour (separators and quoted text between them kept).
TEST(DateText, FormatTokens) {
    TFormatSettings fs;
    fs.DateSeparator = '-';
    fs.TimeSeparator = '.';
    fs.ShortDateFormat = "yyyy/mm/dd";
    fs.LongDateFormat = "dddd, d mmmm yyyy";
    fs.ShortTimeFormat = "hh:nn";
    fs.LongTimeFormat = "hh:nn:ss";
    fs.TimeAMString = "morning";
    fs.TimePMString = "evening";
    const char* shortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* longMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                "July",    "August",   "September", "October", "November", "December"};
    const char* shortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const char* longDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    for (int i = 0; i < 12; ++i) {
        fs.ShortMonthNames[i] = shortMonths[i];
        fs.LongMonthNames[i] = longMonths[i];
    }
    for (int i = 0; i < 7; ++i) {
        fs.ShortDayNames[i] = shortDays[i];
        fs.LongDayNames[i] = longDays[i];
    }
    const TDateTime values[] = {EncodeDateTime(2024, 11, 23, 15, 4, 5, 6), EncodeDateTime(2009, 1, 2, 0, 0, 0, 0),
                                EncodeDateTime(2024, 3, 5, 12, 7, 9, 45)};
    struct Case {
        const char* format;
        const char* expected[3];
    } cases[] = {
        {"d", {"23", "2", "5"}},
        {"dd", {"23", "02", "05"}},
        {"ddd", {"Sat", "Fri", "Tue"}},
        {"dddd", {"Saturday", "Friday", "Tuesday"}},
        {"ddddd", {"2024-11-23", "2009-01-02", "2024-03-05"}},
        {"dddddd", {"Saturday, 23 November 2024", "Friday, 2 January 2009", "Tuesday, 5 March 2024"}},
        {"ddddddd", {"Saturday, 23 November 202423", "Friday, 2 January 20092", "Tuesday, 5 March 20245"}},
        {"Dd", {"23", "02", "05"}},
        {"m", {"11", "1", "3"}},
        {"mm", {"11", "01", "03"}},
        {"mmm", {"Nov", "Jan", "Mar"}},
        {"mmmm", {"November", "January", "March"}},
        {"mmmmm", {"November11", "January1", "March3"}},
        {"Mm", {"11", "01", "03"}},
        {"y", {"24", "09", "24"}},
        {"yy", {"24", "09", "24"}},
        {"yyy", {"2024", "2009", "2024"}},
        {"yyyy", {"2024", "2009", "2024"}},
        {"yyyyy", {"2024", "2009", "2024"}},
        {"YyYy", {"2024", "2009", "2024"}},
        {"h", {"15", "0", "12"}},
        {"hh", {"15", "00", "12"}},
        {"hhh", {"1515", "000", "1212"}},
        {"n", {"4", "0", "7"}},
        {"nn", {"04", "00", "07"}},
        {"nnn", {"044", "000", "077"}},
        {"s", {"5", "0", "9"}},
        {"ss", {"05", "00", "09"}},
        {"sss", {"055", "000", "099"}},
        {"z", {"6", "0", "45"}},
        {"zz", {"6", "0", "45"}},
        {"zzz", {"006", "000", "045"}},
        {"zzzz", {"0066", "0000", "04545"}},
        {"t", {"15.04", "00.00", "12.07"}},
        {"tt", {"15.04.05", "00.00.00", "12.07.09"}},
        {"ttt", {"15.04.0515.04", "00.00.0000.00", "12.07.0912.07"}},
        {"c", {"2024-11-23 15.04.05", "2009-01-02", "2024-03-05 12.07.09"}},
        {"cc",
         {"2024-11-23 15.04.052024-11-23 15.04.05", "2009-01-022009-01-02", "2024-03-05 12.07.092024-03-05 12.07.09"}},
        {"hh:mm", {"15.04", "00.00", "12.07"}},
        {"h:m", {"15.4", "0.0", "12.7"}},
        {"hh mm", {"15 04", "00 00", "12 07"}},
        {"hh.mm", {"15.04", "00.00", "12.07"}},
        {"hh/mm", {"15-04", "00-00", "12-07"}},
        {"hh:nn:mm", {"15.04.11", "00.00.01", "12.07.03"}},
        {"hh:mmm", {"15.Nov", "00.Jan", "12.Mar"}},
        {"hh'x'mm", {"15x04", "00x00", "12x07"}},
        {"hh\"x\"mm", {"15x04", "00x00", "12x07"}},
        {"hhcmm", {"152024-11-23 15.04.0504", "002009-01-0200", "122024-03-05 12.07.0907"}},
        {"hhdmm", {"152311", "00201", "12503"}},
        {"hhxmm", {"15x11", "00x01", "12x03"}},
        {"hh::mm", {"15..04", "00..00", "12..07"}},
        {"h am/pm", {"3 pm", "12 am", "12 pm"}},
        {"h AM/PM", {"3 PM", "12 AM", "12 PM"}},
        {"h Am/Pm", {"3 PM", "12 AM", "12 PM"}},
        {"h a/p", {"3 p", "12 a", "12 p"}},
        {"h A/P", {"3 P", "12 A", "12 P"}},
        {"h ampm", {"3 evening", "12 morning", "12 evening"}},
        {"h AMPM", {"3 evening", "12 morning", "12 evening"}},
        {"hh a", {"15 a", "00 a", "12 a"}},
        {"aa", {"aa", "aa", "aa"}},
        {"am/p", {"a11-p", "a1-p", "a3-p"}},
        {"amp", {"a11p", "a1p", "a3p"}},
        {"'quoted d' d", {"quoted d 23", "quoted d 2", "quoted d 5"}},
        {"\"double m\" m", {"double m 11", "double m 1", "double m 3"}},
        {"'unclosed d", {"unclosed d", "unclosed d", "unclosed d"}},
        {"\"unclosed", {"unclosed", "unclosed", "unclosed"}},
        {"''", {"", "", ""}},
        {"x/y:z", {"x-24.6", "x-09.0", "x-24.45"}},
        {"0123", {"0123", "0123", "0123"}},
        {"yyyy-mm-dd hh:nn:ss.zzz", {"2024-11-23 15.04.05.006", "2009-01-02 00.00.00.000", "2024-03-05 12.07.09.045"}},
        {"dddd, d mmmm yyyy", {"Saturday, 23 November 2024", "Friday, 2 January 2009", "Tuesday, 5 March 2024"}},
        {"", {"2024-11-23 15.04.05", "2009-01-02", "2024-03-05 12.07.09"}},
        {"hh:mm ampm", {"03.04 evening", "12.00 morning", "12.07 evening"}},
        {"c t", {"2024-11-23 15.04.05 15.04", "2009-01-02 00.00", "2024-03-05 12.07.09 12.07"}},
    };
    for (const Case& c : cases)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(FormatDateTime(c.format, values[k], fs), c.expected[k]) << c.format << " #" << k;

    // "ampm" without the settings' texts; a format that names itself ends two levels down.
    TFormatSettings plain = fs;
    plain.TimeAMString.clear();
    plain.TimePMString.clear();
    EXPECT_EQ(FormatDateTime("ampm", values[0], plain), "PM");
    EXPECT_EQ(FormatDateTime("ampm", values[1], plain), "AM");
    TFormatSettings looping = fs;
    looping.ShortDateFormat = "ddddd d";
    EXPECT_EQ(FormatDateTime("ddddd", values[0], looping), " 23 23");
}

TEST(DateText, ParseDatesTimesAndTwoDigitYears) {
    TScopedManualClock clock(EncodeDate(2024, 6, 1));
    struct Case {
        const char* text;
        bool ok;
        double v;
    } cases[] = {
        {"05.03.2024", true, EncodeDate(2024, 3, 5)},
        {" 5.3.2024 ", true, EncodeDate(2024, 3, 5)},
        {"5.3", true, EncodeDate(2024, 3, 5)},
        {"01.02.30", true, EncodeDate(2030, 2, 1)},
        {"01.02.80", true, EncodeDate(1980, 2, 1)},
        {"01.02.74", true, EncodeDate(1974, 2, 1)},
        {"01.02.0030", true, EncodeDate(30, 2, 1)},
        {"29.02.2023", false, 0},
        {"2024-03-05", false, 0},
        {"05.03.2024 x", false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        TDateTime v = -1;
        EXPECT_EQ(TryStrToDate(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.v) << c.text;
        }
    }
    EXPECT_EQ(ConvertMessage([] { StrToDate("31.02.2024"); }), "'31.02.2024' is not a valid date");
    EXPECT_DOUBLE_EQ(StrToTime("13:45"), EncodeTime(13, 45, 0, 0));
    EXPECT_DOUBLE_EQ(StrToTime("1:02:03,5"), EncodeTime(1, 2, 3, 500));
    EXPECT_DOUBLE_EQ(StrToTime("12:00 AM"), 0);
    EXPECT_EQ(ConvertMessage([] { StrToTime("25:00"); }), "'25:00' is not a valid time");
    EXPECT_DOUBLE_EQ(StrToDateTime("05.03.2024 7:08:09"), EncodeDateTime(2024, 3, 5, 7, 8, 9, 0));
    EXPECT_DOUBLE_EQ(StrToDateTime("7:08"), EncodeTime(7, 8, 0, 0));
    EXPECT_EQ(ConvertMessage([] { StrToDateTime("05.03.2024 7"); }), "'05.03.2024 7' is not a valid date and time");
    // Dates before 1899-12-30 survive the text round trip.
    const TDateTime old = EncodeDateTime(1812, 9, 7, 6, 30, 0, 0);
    EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(old)), old);
}

TEST(GuidText, RoundTripAndErrors) {
    const char* text = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";
    const TGUID g = StringToGUID(text);
    EXPECT_EQ(g.D1, 0x0A1B2C3Du);
    EXPECT_EQ(g.D4[7], 0xF9);
    EXPECT_EQ(GUIDToString(g), text);
    EXPECT_EQ(GUIDToString(StringToGUID("{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}")), text);
    for (const char* bad : {"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9", "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8FG}",
                            "{0A1B2C3D4E5F-6071-8293-A4B5C6D7E8F9-}", ""}) {
        TGUID out = g;
        EXPECT_FALSE(TryStringToGUID(bad, out)) << bad;
        EXPECT_EQ(out, g);
        EXPECT_EQ(ConvertMessage([&] { StringToGUID(bad); }), std::string("'") + bad + "' is not a valid GUID value");
    }
    EXPECT_EQ(GUIDToString(NullGUID()), "{00000000-0000-0000-0000-000000000000}");
}

TEST(StringRoutines, TrimQuoteAndReplace) {
    EXPECT_EQ(Trim(" \t ab c\r\n"), "ab c");
    EXPECT_EQ(Trim(NBSP + "x" + NBSP), NBSP + "x" + NBSP);  // a no-break space is text
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim(std::u16string_view(u"  w ")), u"w");
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
    EXPECT_EQ(AnsiQuotedStr("a\"b", '"'), "\"a\"\"b\"");
    EXPECT_EQ(AnsiDequotedStr("'it''s'", '\''), "it's");
    EXPECT_EQ(AnsiDequotedStr("plain", '\''), "plain");
    EXPECT_EQ(AnsiDequotedStr("'open", '\''), "'open");
    EXPECT_EQ(StringReplace("a-b-c", "-", "+", 0), "a+b-c");
    EXPECT_EQ(StringReplace("a-b-c", "-", "+", rfReplaceAll), "a+b+c");
    EXPECT_EQ(StringReplace(R(u8"Фонд ФОНД фонд"), R(u8"фонд"), "F", rfReplaceAll | rfIgnoreCase), "F F F");
    EXPECT_EQ(StringReplace("abc", "", "x", rfReplaceAll), "abc");
    EXPECT_EQ(Pos("b", "abcb"), 2);
    EXPECT_EQ(Pos("b", "abcb", 3), 4);
    EXPECT_EQ(Pos("z", "abc"), 0);
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abc", 5, 3), "");
}
