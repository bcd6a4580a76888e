#include "data/store/CRFunctions.h"

#include <gtest/gtest.h>

#include <cstring>

#include "data/store/MemUtils.h"
#include "framework/rtl/Text.h"

using namespace store;

namespace {

// A packed decimal from its digits ("01250") and number of places.
rtl::TBcd MakeBcd(std::string_view digits, int places, bool negative = false) {
    rtl::TBcd b;
    b.Precision = static_cast<uint8_t>(digits.size());
    b.SignSpecialPlaces = static_cast<uint8_t>(places | (negative ? 0x80 : 0));
    for (size_t i = 0; i < digits.size(); ++i) {
        uint8_t d = static_cast<uint8_t>(digits[i] - '0');
        b.Fraction[i / 2] |= (i % 2 == 0) ? static_cast<uint8_t>(d << 4) : d;
    }
    return b;
}

}  // namespace

TEST(BcdDigitsTest, SignificantDigitsScaleAndIntegrality) {
    struct {
        const char* Digits;
        int Places;
        int Significant;
        int LastByte;
        int Scale;
        bool Integer;
    } cases[] = {
        {"1200", 2, 2, 0, 0, true},    // 12.00
        {"1250", 3, 3, 1, 2, false},   // 1.250
        {"001200", 0, 2, 1, 0, true},  // 1200: trailing zeros of an integer not counted
        {"00500", 4, 1, 1, 2, false},  // 0.0500
        {"000", 1, 0, -1, 0, true},    // zero
        {"", 0, 0, -1, 0, true},       // no digits at all
        {"100000000000000000001", 20, 21, 10, 20, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Digits) + "/" + std::to_string(c.Places));
        const rtl::TBcd b = MakeBcd(c.Digits, c.Places, true);
        int lastByte = 99;
        EXPECT_EQ(BcdSignificantDigits(b, &lastByte), c.Significant);
        EXPECT_EQ(lastByte, c.LastByte);
        EXPECT_EQ(BcdActualScale(b), c.Scale);
        EXPECT_EQ(BcdIsInteger(b), c.Integer);
    }
}

TEST(BcdDigitsTest, MalformedHeaderStaysInsideTheRecord) {
    rtl::TBcd b = MakeBcd("15", 1);
    b.Precision = 200;           // more digits than the record holds
    b.SignSpecialPlaces = 0x3F;  // more places than digits
    EXPECT_EQ(BcdSignificantDigits(b), 2);
    EXPECT_EQ(BcdActualScale(b), 1);  // 64 digits, 63 of them places; the '5' is the first place
    EXPECT_FALSE(BcdIsInteger(b));
}

TEST(GuidTest, ParsesBracedGroupsAndRejectsEverythingElse) {
    rtl::TGUID g;
    ASSERT_TRUE(TryStrToGuid("{0123ABCD-4567-89ef-0A1B-2c3D4E5F6071}", g));
    EXPECT_EQ(g.D1, 0x0123ABCDu);
    EXPECT_EQ(g.D2, 0x4567);
    EXPECT_EQ(g.D3, 0x89EF);
    const uint8_t d4[8] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, 0x71};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(g.D4[i], d4[i]) << i;

    const char* bad[] = {
        "",
        "0123ABCD-4567-89EF-0A1B-2C3D4E5F6071",     // no braces
        "{0123ABCD-4567-89EF-0A1B-2C3D4E5F607}",    // short
        "{0123ABCD-4567-89EF-0A1B-2C3D4E5F60711}",  // long
        "{0123ABCD_4567-89EF-0A1B-2C3D4E5F6071}",   // wrong separator
        "{0123ABCG-4567-89EF-0A1B-2C3D4E5F6071}",   // not hexadecimal
        "{0123ABCD-4567-89EF-0A1B-2C3D4E5F6071)",
        "{0123ABCD-4567-89EF-0A1B-2C3D4E5F 071}",
    };
    const rtl::TGUID before = g;
    for (const char* text : bad) {
        EXPECT_FALSE(TryStrToGuid(text, g)) << text;
        EXPECT_EQ(g, before) << text;
    }
}

TEST(AnsiTextTest, CaseAndComparisonFollowTheRussianLocale) {
    const AnsiString lower = rtl::UTF8ToAnsi("ёлка и дом");
    const AnsiString upper = rtl::UTF8ToAnsi("ЁЛКА И ДОМ");
    EXPECT_EQ(UpperCaseAnsi(lower), upper);
    EXPECT_EQ(LowerCaseAnsi(upper), lower);
    EXPECT_EQ(CompareTextAnsi(lower, upper), 0);
    EXPECT_TRUE(SameTextAnsi(lower, upper));
    EXPECT_EQ(CompareTextAnsi(rtl::UTF8ToAnsi("Дело"), rtl::UTF8ToAnsi("дома")), -1);
}

TEST(AnsiTextTest, QuotingAndDequoting) {
    struct {
        const char* Plain;
        char Quote;
        const char* Quoted;
    } cases[] = {
        {"it's", '\'', "'it''s'"},
        {"", '\'', "''"},
        {"a\"b", '"', "\"a\"\"b\""},
        {"''", '\'', "''''''"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuotedStrAnsi(c.Plain, c.Quote), c.Quoted);
        EXPECT_EQ(DequotedStrAnsi(c.Quoted, c.Quote), c.Plain);
    }
    EXPECT_EQ(DequotedStrAnsi("abc", '\''), "abc");            // not quoted: as it is
    EXPECT_EQ(DequotedStrAnsi("'ab''c' tail", '\''), "ab'c");  // stops at the closing quote
    EXPECT_EQ(DequotedStrAnsi("'open", '\''), "open");
}

TEST(Utf8Test, BufferConversionsDropCutSequencesWhole) {
    // "Яz" is D0 AF 7A.
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(WideToUtf8Buffer(buf, 4, u"\u042Fz", 2), 4u);  // exactly fits with the zero
    EXPECT_STREQ(buf, "\xD0\xAFz");
    EXPECT_EQ(WideToUtf8Buffer(buf, 3, u"\u042Fz", 2), 3u);
    EXPECT_STREQ(buf, "\xD0\xAF");
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(WideToUtf8Buffer(buf, 2, u"\u042Fz", 2), 1u);  // the cut 'Я' is left out whole
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], 'x');
    EXPECT_EQ(WideToUtf8Buffer(buf, 4, u"a\U0001F4DC", 3), 2u);  // 4-byte character left out
    EXPECT_STREQ(buf, "a");
    EXPECT_EQ(WideToUtf8Buffer(nullptr, 0, u"\u042Fz", 2), 4u);
    EXPECT_EQ(WideToUtf8Buffer(buf, 8, nullptr, 2), 0u);
    EXPECT_EQ(WideToUtf8Buffer(buf, 0, u"a", 1), 0u);

    char16_t wbuf[4];
    EXPECT_EQ(Utf8ToWideBuffer(wbuf, 4, "a\xF0\x9F\x93\x9C", 5), 4u);
    EXPECT_EQ(WideString(wbuf), u"a\U0001F4DC");
    EXPECT_EQ(Utf8ToWideBuffer(wbuf, 3, "a\xF0\x9F\x93\x9C", 5), 2u);  // the pair is left out whole
    EXPECT_EQ(WideString(wbuf), u"a");
    EXPECT_EQ(Utf8ToWideBuffer(nullptr, 0, "ab", 2), 3u);
    EXPECT_EQ(Utf8ToWideBuffer(wbuf, 4, nullptr, 2), 0u);
}

TEST(Utf8Test, WholeTextConversions) {
    const WideString text = rtl::UTF8ToWide("Акт № 7 \U0001F4DC ёЁ");
    EXPECT_EQ(WideToUtf8(text), "Акт № 7 \U0001F4DC ёЁ");
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    // Every character needing the most bytes: the buffer of 3 per character still holds it all.
    const WideString wide3(50, u'\u20AC');
    EXPECT_EQ(Utf8ToWide(WideToUtf8(wide3)), wide3);
    EXPECT_EQ(WideToUtf8(u""), "");
    EXPECT_EQ(Utf8ToWide(""), u"");
    EXPECT_EQ(Utf8ToWide(std::string_view()), u"");

    const AnsiString ansi = rtl::UTF8ToAnsi("Опись «дела»");
    EXPECT_EQ(AnsiToUtf8Text(ansi), "Опись «дела»");
    EXPECT_EQ(Utf8ToAnsiText(AnsiToUtf8Text(ansi)), ansi);
}

TEST(NumbersTest, CompareUInt32AndPointerOffset) {
    struct {
        uint32_t A, B;
        int Expected;
    } cases[] = {{1, 2, -1}, {2, 2, 0}, {0xFFFFFFFFu, 1, 1}, {0x80000000u, 0x7FFFFFFFu, 1}};
    for (const auto& c : cases) EXPECT_EQ(CompareUInt32(c.A, c.B), c.Expected) << c.A << " " << c.B;
    char buf[8];
    EXPECT_EQ(PointerOffset(static_cast<void*>(buf), 5), buf + 5);
}

namespace othermodule {
// The same class name as ours, as a module with its own copy of the class would have it.
using EConvertError = rtl::EConvertError;
RTL_DECLARE_EXCEPTION(EZlibError, EConvertError);
}  // namespace othermodule

TEST(IsClassByNameTest, MatchesExceptionClassesByName) {
    const EDecompressionError ours("Error");
    EXPECT_TRUE(IsClassByName(&ours, "EDecompressionError"));
    EXPECT_TRUE(IsClassByName(&ours, "EZlibError"));
    EXPECT_TRUE(IsClassByName(&ours, "Exception"));
    EXPECT_FALSE(IsClassByName(&ours, "ECompressionError"));
    EXPECT_TRUE(IsClassByName<EZlibError>(&ours));
    EXPECT_FALSE(IsClassByName(static_cast<const rtl::Exception*>(nullptr), "Exception"));

    const othermodule::EZlibError foreign("x");
    EXPECT_EQ(dynamic_cast<const EZlibError*>(static_cast<const rtl::Exception*>(&foreign)), nullptr);
    EXPECT_TRUE(IsClassByName<EZlibError>(&foreign));
    EXPECT_TRUE(IsClassByName(&foreign, "EConvertError"));
    EXPECT_FALSE(IsClassByName<ECompressionError>(&foreign));
}

namespace {

class TSourceRecord : public rtl::TObject {
    RTL_CLASS(TSourceRecord, rtl::TObject)
};

class TArchiveRecord : public TSourceRecord {
    RTL_CLASS(TArchiveRecord, TSourceRecord)
};

namespace foreignmodule {
// A class of the same name whose class reference is not ours.
class TSourceRecord : public rtl::TObject {
    RTL_CLASS(TSourceRecord, rtl::TObject)
};
}  // namespace foreignmodule

}  // namespace

TEST(IsClassByNameTest, MatchesObjectClassChainsByName) {
    TArchiveRecord archive;
    foreignmodule::TSourceRecord foreign;
    rtl::TObject plain;
    EXPECT_TRUE(IsClassByName(&archive, &TSourceRecord::StaticClass()));
    EXPECT_TRUE(IsClassByName(&archive, &rtl::TObject::StaticClass()));
    EXPECT_FALSE(IsClassByName(&plain, &TSourceRecord::StaticClass()));
    EXPECT_FALSE(foreign.InheritsFrom(&TSourceRecord::StaticClass()));
    EXPECT_TRUE(IsClassByName(&foreign, &TSourceRecord::StaticClass()));
    EXPECT_FALSE(IsClassByName(&foreign, &TArchiveRecord::StaticClass()));
    EXPECT_FALSE(IsClassByName(static_cast<const rtl::TObject*>(nullptr), &rtl::TObject::StaticClass()));
    EXPECT_TRUE(IsClassByNameChain(&archive, "TSourceRecord"));
}
