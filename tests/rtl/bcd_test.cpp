#include <gtest/gtest.h>

#include <limits>

#include "framework/rtl/Bcd.h"

using namespace rtl;

TEST(Bcd, TextRoundTripIsExactAtThirtyTwoDigits) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"12345678901234567890123456789012", "12345678901234567890123456789012"},
        {"-9999999999999999999999999999999,9", "-9999999999999999999999999999999,9"},
        {"0,00000000000000000000000000000001", "0,00000000000000000000000000000001"},
        {"1234567890123456,7890123456789012", "1234567890123456,7890123456789012"},
        {"0", "0"},
        {"-0", "0"},
        {"-0,000", "0"},
        {"007,50", "7,5"},
        {" 1.25 ", "1,25"},
        {"+3", "3"},
        {",5", "0,5"},
    };
    for (const auto& c : cases) {
        const TBcd b = StrToBcd(c.in);
        EXPECT_EQ(BcdToStr(b), c.out) << c.in;
        EXPECT_EQ(BcdCompare(StrToBcd(BcdToStr(b)), b), 0) << c.in;
    }
    for (const char* bad : {"", "-", "1,2,3", "abc", "1e5", "12 3"}) {
        TBcd b;
        EXPECT_FALSE(TryStrToBcd(bad, b)) << bad;
        EXPECT_THROW(StrToBcd(bad), EConvertError) << bad;
    }
}

TEST(Bcd, LayoutIsLeftAlignedNibblesWithSignAndPlaces) {
    const TBcd b = StrToBcd("-123,45");
    EXPECT_EQ(b.Precision, 5);
    EXPECT_EQ(b.SignSpecialPlaces, 0x80 | 2);
    EXPECT_EQ(b.Fraction[0], 0x12);
    EXPECT_EQ(b.Fraction[1], 0x34);
    EXPECT_EQ(b.Fraction[2], 0x50);
    EXPECT_EQ(b.Fraction[3], 0x00);
    const TBcd small = StrToBcd("0,05");
    EXPECT_EQ(small.Precision, 2);
    EXPECT_EQ(small.SignSpecialPlaces, 2);
    EXPECT_EQ(small.Fraction[0], 0x05);
    // A record made by hand with leading zeros reads as its value.
    TBcd hand;
    hand.Precision = 6;
    hand.SignSpecialPlaces = 3;
    hand.Fraction[0] = 0x00;
    hand.Fraction[1] = 0x01;
    hand.Fraction[2] = 0x23;
    EXPECT_EQ(BcdToStr(hand), "0,123");
    EXPECT_EQ(BcdPrecision(hand), 0);
    EXPECT_EQ(BcdScale(hand), 3);
    hand.Fraction[0] = 0xA0;  // not a decimal digit
    EXPECT_THROW(BcdToStr(hand), EBcdException);
}

TEST(Bcd, CompareByValue) {
    struct Case {
        const char* a;
        const char* b;
        int want;
    } cases[] = {{"1,5", "1,50", 0},  {"-1", "0,5", -1}, {"0,001", "0,01", -1}, {"-0,01", "-0,001", -1},
                 {"100", "99,99", 1}, {"0", "-0", 0},    {"-5", "-50", 1}};
    for (const auto& c : cases) EXPECT_EQ(BcdCompare(StrToBcd(c.a), StrToBcd(c.b)), c.want) << c.a << " " << c.b;
}

TEST(Bcd, CurrencyConversionsRoundHalfEvenAndCheckRange) {
    struct Case {
        const char* text;
        int64_t scaled;
    } cases[] = {{"1,23455", 12346},
                 {"1,23445", 12344},
                 {"-1,23455", -12346},
                 {"1,234451", 12345},
                 {"922337203685477,5807", INT64_MAX},
                 {"-922337203685477,5808", INT64_MIN}};
    for (const auto& c : cases) EXPECT_EQ(BcdToCurr(StrToBcd(c.text)).Value, c.scaled) << c.text;
    EXPECT_THROW(BcdToCurr(StrToBcd("922337203685477,5808")), EBcdOverflowException);
    Currency out = Currency::FromScaled(5);
    EXPECT_FALSE(TryBcdToCurr(StrToBcd("100000000000000000000"), out));
    EXPECT_EQ(out.Value, 5);
    EXPECT_EQ(BcdToStr(CurrToBcd(Currency::FromScaled(-12345))), "-1,2345");
    EXPECT_EQ(BcdScale(CurrToBcd(Currency::FromScaled(10000))), 4);
}

TEST(Bcd, IntegerAndDoubleConversions) {
    EXPECT_EQ(BcdToStr(IntegerToBcd(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(BcdToInt64(StrToBcd("-9223372036854775808")), INT64_MIN);
    EXPECT_EQ(BcdToInt64(StrToBcd("12,99")), 12);
    EXPECT_EQ(BcdToInt64(StrToBcd("12,5"), false), 12);
    EXPECT_EQ(BcdToInt64(StrToBcd("13,5"), false), 14);
    EXPECT_THROW(BcdToInt64(StrToBcd("9223372036854775808")), EBcdOverflowException);
    EXPECT_THROW(BcdToInteger(StrToBcd("2147483648")), EBcdOverflowException);
    EXPECT_EQ(BcdToStr(DoubleToBcd(0.1)), "0,1");
    EXPECT_EQ(BcdToStr(DoubleToBcd(-1.5e20)), "-150000000000000000000");
    EXPECT_EQ(BcdToStr(DoubleToBcd(2.5e-7)), "0,00000025");
    EXPECT_DOUBLE_EQ(BcdToDouble(StrToBcd("-123,456")), -123.456);
    EXPECT_THROW(DoubleToBcd(std::numeric_limits<double>::infinity()), EBcdException);
}

TEST(Bcd, NormalizeRescalesAndChecksPrecision) {
    TBcd out;
    ASSERT_TRUE(NormalizeBcd(StrToBcd("123,456"), out, 5, 2));
    EXPECT_EQ(BcdToStr(out), "123,46");
    EXPECT_EQ(out.Precision, 5);
    EXPECT_EQ(BcdScale(out), 2);
    ASSERT_TRUE(NormalizeBcd(StrToBcd("1,5"), out, 10, 2));
    EXPECT_EQ(out.Precision, 10);
    EXPECT_EQ(BcdToStr(out), "1,5");
    const TBcd before = out;
    EXPECT_FALSE(NormalizeBcd(StrToBcd("12345,6"), out, 4, 1));
    EXPECT_EQ(BcdCompare(out, before), 0);  // left alone on failure
    EXPECT_EQ(BcdToStr(BcdTruncate(StrToBcd("-1,239"), 2)), "-1,23");
    EXPECT_EQ(BcdSignificantDigits(StrToBcd("1200")), 2);
    EXPECT_EQ(BcdSignificantDigits(StrToBcd("0,0120")), 2);
    EXPECT_EQ(BcdFractionDigits(StrToBcd("1,2300")), 2);
}

TEST(Bcd, Arithmetic) {
    struct Case {
        char op;
        const char* a;
        const char* b;
        const char* want;
    } cases[] = {
        {'+', "0,1", "0,2", "0,3"},
        {'+', "-5", "3,25", "-1,75"},
        {'-', "1", "1,0001", "-0,0001"},
        {'*', "-1,5", "1,5", "-2,25"},
        {'*', "99999999999999999999999999999999", "10", "999999999999999999999999999999990"},
        {'/', "1", "4", "0,25"},
        {'/', "1", "3", "0,33333333333333333333333333333333"},
        {'/', "-2", "3", "-0,66666666666666666666666666666667"},
        {'/', "10", "0,5", "20"},
    };
    for (const auto& c : cases) {
        const TBcd a = StrToBcd(c.a), b = StrToBcd(c.b);
        TBcd r;
        switch (c.op) {
            case '+': BcdAdd(a, b, r); break;
            case '-': BcdSubtract(a, b, r); break;
            case '*': BcdMultiply(a, b, r); break;
            default: BcdDivide(a, b, r); break;
        }
        EXPECT_EQ(BcdToStr(r), c.want) << c.a << c.op << c.b;
    }
    EXPECT_THROW(BcdDivide(StrToBcd("1"), StrToBcd("0,00")), EZeroDivide);
    const TBcd big = StrToBcd(std::string(40, '9'));
    EXPECT_THROW(BcdMultiply(big, big), EBcdOverflowException);
}

TEST(Bcd, FormattedText) {
    const AnsiString nbsp = "\xA0";
    EXPECT_EQ(BcdToStrF(StrToBcd("1234,565"), ffNumber, 32, 2), "1" + nbsp + "234,57");
    EXPECT_EQ(BcdToStrF(StrToBcd("-0,125"), ffFixed, 32, 2), "-0,13");
    EXPECT_EQ(BcdToStrF(StrToBcd("12345678901234567890,12"), ffFixed, 32, 1), "12345678901234567890,1");
    EXPECT_EQ(FormatBcd("#,##0.000", StrToBcd("1234,5")), "1" + nbsp + "234,500");
}
