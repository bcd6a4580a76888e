#include "data/store/MemUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/rtl/Text.h"

using namespace store;
using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

TEST(TimeStampTest, ValidationAndConversion) {
    struct {
        int32_t Date, Time;
        const char* Error;  // nullptr: valid
    } checks[] = {
        {0, 0, "'0.0' is not a valid timestamp"},
        {-3, 5, "'-3.5' is not a valid timestamp"},
        {7, -1, "'7.-1' is not a valid timestamp"},
        {1, 0, nullptr},
        {693594, 86399999, nullptr},
    };
    for (const auto& c : checks) {
        rtl::TTimeStamp ts;
        ts.Date = c.Date;
        ts.Time = c.Time;
        if (!c.Error) {
            EXPECT_NO_THROW(store::ValidateTimeStamp(ts));
            continue;
        }
        try {
            store::ValidateTimeStamp(ts);
            ADD_FAILURE() << "no error for " << c.Date << "." << c.Time;
        } catch (const rtl::EConvertError& e) {
            EXPECT_EQ(e.Message(), c.Error);
        }
        EXPECT_THROW(ValidTimeStampToDateTime(ts), rtl::EConvertError);
    }

    struct {
        int32_t Date, Time;
        double Expected;
    } conversions[] = {
        {693594, 43200000, 0.5},
        {693593, 43200000, -1.5},  // before 1899-12-30 the time counts away from zero
        {693595, 0, 1.0},
        {693594 + 45000, 21600000, 45000.25},
    };
    for (const auto& c : conversions) {
        rtl::TTimeStamp ts;
        ts.Date = c.Date;
        ts.Time = c.Time;
        EXPECT_DOUBLE_EQ(ValidTimeStampToDateTime(ts), c.Expected) << c.Date;
    }
}

TEST(VarsEqualTest, KeysAndParameters) {
    const Variant nullV = Variant::Null();
    struct {
        const char* Name;
        Variant A, B;
        bool Equal;
    } cases[] = {
        {"wide and equal ANSI", Variant(WideString(u"Дело")), Variant(rtl::UTF8ToAnsi("Дело")), true},
        {"ANSI and equal wide", Variant(rtl::UTF8ToAnsi("Дело")), Variant(WideString(u"Дело")), true},
        {"wide case differs", Variant(WideString(u"a")), Variant(WideString(u"A")), false},
        {"ANSI case differs", Variant(AnsiString("a")), Variant(AnsiString("A")), false},
        {"null and null", nullV, nullV, true},
        {"null and zero", nullV, Variant(0), false},
        {"zero and null", Variant(0), nullV, false},
        {"empty string and empty string", Variant(AnsiString()), Variant(WideString()), true},
        {"empty string and empty", Variant(AnsiString()), Variant(), false},
        {"empty and empty string", Variant(), Variant(AnsiString()), false},
        {"empty string and zero", Variant(AnsiString()), Variant(0), false},
        {"integer and int64", Variant(5), Variant(int64_t{5}), true},
        {"integer and double", Variant(5), Variant(5.5), false},
        {"equal bytes", Variant::FromBytes({1, 2, 3}), Variant::FromBytes({1, 2, 3}), true},
        {"different bytes", Variant::FromBytes({1, 2, 3}), Variant::FromBytes({1, 2, 4}), false},
        {"byte counts differ", Variant::FromBytes({1, 2, 3}), Variant::FromBytes({1, 2}), false},
        {"no bytes either side", Variant::FromBytes({}), Variant::FromBytes({}), true},
        {"bytes and a number", Variant::FromBytes({5}), Variant(5), false},
        {"number and bytes", Variant(5), Variant::FromBytes({5}), false},
    };
    for (const auto& c : cases) EXPECT_EQ(VarsEqual(c.A, c.B), c.Equal) << c.Name;
}

TEST(BufferTest, CopyAndFill) {
    char buf[8] = "abcdefg";
    CopyBuffer(buf, buf + 2, 4);  // overlapping
    EXPECT_STREQ(buf, "ababcdg");
    FillBuffer(buf + 1, 3, '.');
    EXPECT_STREQ(buf, "a...cdg");
    CopyBuffer(nullptr, nullptr, 0);

    char dest[8] = {};
    CopyBuffer(AnsiString("xyz"), dest, 4);  // the terminator may come along
    EXPECT_STREQ(dest, "xyz");
    char16_t wdest[4] = {};
    CopyBuffer(WideString(u"ab"), wdest, 6);
    EXPECT_EQ(WideString(wdest), u"ab");
    // Reading past the text is refused, the destination untouched.
    std::memset(dest, '-', sizeof dest);
    EXPECT_THROW(CopyBuffer(AnsiString("xyz"), dest, 5), rtl::EAssertionFailed);
    EXPECT_THROW(CopyBuffer(WideString(u"ab"), wdest, 7), rtl::EAssertionFailed);
    EXPECT_EQ(dest[0], '-');
}

TEST(ZeroTerminatedTextTest, CopyLengthAndTrailingTrim) {
    char16_t dest[8];
    EXPECT_EQ(WideStrLCopy(dest, u"abcdef", 3), dest);
    EXPECT_EQ(WideString(dest), u"abc");
    WideStrLCopy(dest, u"ab", 5);
    EXPECT_EQ(WideString(dest), u"ab");
    EXPECT_EQ(WideStrLen(u"hello"), 5u);
    EXPECT_EQ(WideStrLen(u""), 0u);
    EXPECT_EQ(WideStrLen(nullptr), 0u);

    struct {
        const char* Text;
        int Len;
        const char* Expected;
    } cases[] = {
        {"ab  ", -1, "ab"},  {"a b ", -1, "a b"}, {"    ", -1, ""},
        {"", -1, ""},        {"ab  ", 3, "ab"},  // only from Len - 1 on; the last blank stays as it was
        {"ab  ", 0, "ab  "},
    };
    for (const auto& c : cases) {
        char buf[16] = {};
        std::strcpy(buf, c.Text);
        AnsiTrimTrailing(buf, c.Len);
        EXPECT_EQ(std::string(buf, std::strlen(c.Text)).c_str(), std::string(c.Expected)) << c.Text << "/" << c.Len;

        char16_t wbuf[16] = {};
        for (size_t i = 0; c.Text[i]; ++i) wbuf[i] = static_cast<char16_t>(c.Text[i]);
        WideTrimTrailing(wbuf, c.Len);
        EXPECT_EQ(rtl::WideToAnsi(WideString(wbuf)), c.Expected) << c.Text << "/" << c.Len;
    }
    // A zero inside the given length is trimmed like a blank.
    char buf[] = {'a', ' ', '\0', ' ', '\0'};
    AnsiTrimTrailing(buf, 4);
    EXPECT_EQ(std::memcmp(buf, "a\0\0\0", 4), 0);
}

TEST(LocaleCompareTest, AnsiAndWideForms) {
    const AnsiString a = rtl::UTF8ToAnsi("архив"), A = rtl::UTF8ToAnsi("АРХИВ"), b = rtl::UTF8ToAnsi("бланк");
    EXPECT_EQ(LocaleCompareStrPChar(a.c_str(), b.c_str()), -1);
    EXPECT_EQ(LocaleCompareStrPChar(b.c_str(), a.c_str()), 1);
    EXPECT_NE(LocaleCompareStrPChar(a.c_str(), A.c_str()), 0);
    EXPECT_EQ(LocaleCompareTextPChar(a.c_str(), A.c_str()), 0);
    EXPECT_EQ(LocaleCompareTextPChar(nullptr, ""), 0);
    // Lengths cut the texts: "арх" against "АРХ".
    EXPECT_EQ(LocaleCompareText(a.c_str(), 3, A.c_str(), 3), 0);
    EXPECT_EQ(LocaleCompareStr(a.c_str(), 3, a.c_str(), 5), -1);
    EXPECT_NE(LocaleCompareStr(a.c_str(), 3, A.c_str(), 3), 0);

    const WideString wa = u"архивX", wA = u"АРХИВY";
    EXPECT_EQ(LocaleCompareTextWN(wa.c_str(), wA.c_str(), 5), 0);
    EXPECT_NE(LocaleCompareStrWN(wa.c_str(), wA.c_str(), 5), 0);
    EXPECT_EQ(LocaleCompareStrWN(wa.c_str(), wa.c_str(), 6), 0);
    EXPECT_EQ(LocaleCompareTextW(u"ёлка", u"ЁЛКА"), 0);
    EXPECT_EQ(LocaleCompareStrW(u"дело", u"дом"), -1);
    EXPECT_EQ(LocaleCompareTextW(u"дом", u"Дело"), 1);
}

namespace {

// Puts the process-wide compressor pair back after a test replaces it.
class CompressorFixture : public ::testing::Test {
protected:
    void TearDown() override {
        CompressProc = FCompress;
        UncompressProc = FUncompress;
    }

private:
    TCompressProc FCompress = CompressProc;
    TCompressProc FUncompress = UncompressProc;
};

std::string SampleText() {
    std::string s;
    for (int i = 0; i < 200; ++i) s += "Опись фонда " + std::to_string(i % 7) + "; ";
    return s;
}

}  // namespace

TEST_F(CompressorFixture, RoundTripsThroughZlib) {
    const std::string source = SampleText();
    std::string packed(source.size() + 64, '\0');
    uint32_t packedLen = static_cast<uint32_t>(packed.size());
    DoCompress(packed.data(), packedLen, source.data(), static_cast<uint32_t>(source.size()));
    EXPECT_LT(packedLen, source.size() / 4);

    std::string unpacked(source.size(), '\0');
    uint32_t unpackedLen = static_cast<uint32_t>(unpacked.size());
    DoUncompress(unpacked.data(), unpackedLen, packed.data(), packedLen);
    EXPECT_EQ(unpackedLen, source.size());
    EXPECT_EQ(unpacked, source);

    // Empty source: a valid empty stream.
    uint32_t emptyLen = 16;
    char small[16];
    DoCompress(small, emptyLen, "", 0);
    EXPECT_GT(emptyLen, 0u);
    char none[1];
    uint32_t noneLen = 0;
    DoUncompress(none, noneLen, small, emptyLen);
    EXPECT_EQ(noneLen, 0u);
}

TEST_F(CompressorFixture, ReportsTargetTooSmallAndBadData) {
    const std::string source = SampleText();
    std::string packed(source.size() + 64, '\0');
    uint32_t packedLen = static_cast<uint32_t>(packed.size());
    DoCompress(packed.data(), packedLen, source.data(), static_cast<uint32_t>(source.size()));

    std::string tiny(8, '\0');
    uint32_t tinyLen = 8;
    try {
        DoCompress(tiny.data(), tinyLen, source.data(), static_cast<uint32_t>(source.size()));
        FAIL() << "expected EZlibError";
    } catch (const EZlibError& e) {
        EXPECT_STREQ(e.ClassName(), "EZlibError");
        EXPECT_EQ(e.Message(), "ZLib error: target buffer may be too small");
    }

    // A stream whose output does not fit is a zlib error of the decompression side.
    std::string shortOut(source.size() / 2, '\0');
    uint32_t shortLen = static_cast<uint32_t>(shortOut.size());
    EXPECT_THROW(DoUncompress(shortOut.data(), shortLen, packed.data(), packedLen), EZlibError);

    std::string garbage = "this is not a zlib stream";
    std::string out(64, '\0');
    uint32_t outLen = 64;
    try {
        DoUncompress(out.data(), outLen, garbage.data(), static_cast<uint32_t>(garbage.size()));
        FAIL() << "expected EDecompressionError";
    } catch (const EDecompressionError& e) {
        EXPECT_EQ(e.Message(), "Error");
    }
    EXPECT_EQ(outLen, 64u);  // a failed call reports no length
}

TEST_F(CompressorFixture, MissingRoutines) {
    EXPECT_NO_THROW(CheckCompressorLinked());
    struct {
        bool DropCompress;
        const char* Message;
    } cases[] = {{true, "Compressor function is not linked"}, {false, "Uncompressor function is not linked"}};
    for (const auto& c : cases) {
        CompressProc = c.DropCompress ? nullptr : ZlibCompress;
        UncompressProc = c.DropCompress ? ZlibUncompress : nullptr;
        try {
            CheckCompressorLinked();
            ADD_FAILURE() << "no error";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        char buf[4];
        uint32_t len = 4;
        try {
            if (c.DropCompress)
                DoCompress(buf, len, "a", 1);
            else
                DoUncompress(buf, len, "a", 1);
            ADD_FAILURE() << "no assertion";
        } catch (const rtl::EAssertionFailed& e) {
            EXPECT_EQ(e.Text(), c.Message);
            EXPECT_EQ(e.Unit(), "MemUtils");
        }
    }
}
