#include "data/store/CLRClasses.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Text.h"

using namespace store;

namespace {

TBytes Bytes(std::initializer_list<int> values) {
    TBytes b;
    for (int v : values) b.push_back(static_cast<uint8_t>(v));
    return b;
}

// Cyrillic, ASCII and a character outside the basic plane (a surrogate pair in UTF-16).
const WideString kMixed = rtl::UTF8ToWide("Опись №5: дело «Ё» \U0001F4DC конец");

struct TEncodingCase {
    const char* Name;
    std::shared_ptr<const Encoding> Enc;
};

std::shared_ptr<const Encoding> Shared(const Encoding* e) {
    return std::shared_ptr<const Encoding>(e, [](const Encoding*) {});
}

std::vector<TEncodingCase> AllEncodings() {
    return {
        {"ansi", Shared(Encoding::AnsiInstance())},
        {"unicode", Shared(Encoding::UnicodeInstance())},
        {"utf8", Shared(Encoding::Utf8Instance())},
        {"cp1251", std::make_shared<CodePageEncoding>(1251)},
        {"cp1200", std::make_shared<CodePageEncoding>(1200)},
        {"cp1201", std::make_shared<CodePageEncoding>(1201)},
        {"cp65001", std::make_shared<CodePageEncoding>(65001)},
    };
}

bool KeepsEveryCharacter(const TEncodingCase& c) {
    return std::string(c.Name) != "ansi" && std::string(c.Name) != "cp1251";
}

}  // namespace

TEST(EncodingTest, EncodesKnownBytes) {
    EXPECT_EQ(Encoding::UnicodeInstance()->WideToBytes(u"AB"), Bytes({0x41, 0x00, 0x42, 0x00}));
    EXPECT_EQ(Encoding::UnicodeInstance()->AnsiToBytes("AB"), Bytes({0x41, 0x00, 0x42, 0x00}));
    EXPECT_EQ(CodePageEncoding(1201).WideToBytes(u"AB"), Bytes({0x00, 0x41, 0x00, 0x42}));
    // "Я" is 0xDF in 1251, U+042F, D0 AF in UTF-8.
    const AnsiString ya = "\xDF";
    EXPECT_EQ(Encoding::AnsiInstance()->AnsiToBytes(ya), Bytes({0xDF}));
    EXPECT_EQ(Encoding::AnsiInstance()->WideToBytes(u"\u042F"), Bytes({0xDF}));
    EXPECT_EQ(Encoding::Utf8Instance()->AnsiToBytes(ya), Bytes({0xD0, 0xAF}));
    EXPECT_EQ(CodePageEncoding(65001).WideToBytes(u"\u042F"), Bytes({0xD0, 0xAF}));
    EXPECT_EQ(CodePageEncoding(1251).WideToBytes(u""), TBytes());
}

TEST(EncodingTest, MaxByteCountCoversTheLongestEncoding) {
    struct {
        const Encoding* Enc;
        int Chars;
        int Expected;
    } cases[] = {
        {Encoding::AnsiInstance(), 3, 3},
        {Encoding::UnicodeInstance(), 3, 6},
        {Encoding::Utf8Instance(), 3, 9},
    };
    for (const auto& c : cases) EXPECT_EQ(c.Enc->MaxByteCount(c.Chars), c.Expected);
    EXPECT_EQ(CodePageEncoding(1251).MaxByteCount(3), 3);
    EXPECT_EQ(CodePageEncoding(1200).MaxByteCount(3), 6);
    EXPECT_EQ(CodePageEncoding(1201).MaxByteCount(3), 6);
    EXPECT_EQ(CodePageEncoding(65001).MaxByteCount(3), 9);

    // Every encoding's bound holds for text that needs the most bytes per character.
    for (const auto& c : AllEncodings()) {
        SCOPED_TRACE(c.Name);
        EXPECT_LE(c.Enc->WideToBytes(kMixed).size(), static_cast<size_t>(c.Enc->MaxByteCount(int(kMixed.size()))));
    }
    EXPECT_THROW(Encoding::Utf8Instance()->MaxByteCount(INT_MAX / 2), rtl::EConvertError);
    EXPECT_THROW(CodePageEncoding(1201).MaxByteCount(INT_MAX / 2 + 1), rtl::EConvertError);
    EXPECT_THROW(Encoding::AnsiInstance()->MaxByteCount(-1), rtl::ERangeError);
}

TEST(EncodingTest, RoundTripsTextThroughEveryEncoding) {
    const AnsiString ansi = rtl::WideToAnsi(kMixed);
    for (const auto& c : AllEncodings()) {
        SCOPED_TRACE(c.Name);
        const WideString expectWide = KeepsEveryCharacter(c) ? kMixed : rtl::AnsiToWide(ansi);
        EXPECT_EQ(c.Enc->BytesToWide(c.Enc->WideToBytes(kMixed)), expectWide);
        EXPECT_EQ(c.Enc->BytesToAnsi(c.Enc->WideToBytes(kMixed)), ansi);
        EXPECT_EQ(c.Enc->BytesToAnsi(c.Enc->AnsiToBytes(ansi)), ansi);
        EXPECT_EQ(c.Enc->BytesToWideAt(TBytes(), 0, 0), u"");
        EXPECT_EQ(c.Enc->BytesToAnsiAt(TBytes(), 0, 0), "");
    }
}

TEST(EncodingTest, PositionedConversionsWriteIntoTheArray) {
    TBytes bytes(6, 0xEE);
    EXPECT_EQ(Encoding::AnsiInstance()->AnsiToBytesAt("xabcx", 1, 3, bytes, 2), 3);
    EXPECT_EQ(bytes, Bytes({0xEE, 0xEE, 'a', 'b', 'c', 0xEE}));

    bytes.assign(6, 0xEE);
    EXPECT_EQ(Encoding::UnicodeInstance()->WideToBytesAt(u"xAB", 1, 2, bytes, 1), 4);
    EXPECT_EQ(bytes, Bytes({0xEE, 'A', 0, 'B', 0, 0xEE}));

    bytes.assign(4, 0xEE);
    EXPECT_EQ(CodePageEncoding(65001).WideToBytesAt(u"\u042F!", 0, 2, bytes, 1), 3);
    EXPECT_EQ(bytes, Bytes({0xEE, 0xD0, 0xAF, '!'}));

    EXPECT_EQ(Encoding::UnicodeInstance()->BytesToWideAt(Bytes({0, 'A', 0, 'B', 0}), 1, 4), u"AB");
    // An odd trailing byte is not half a character.
    EXPECT_EQ(Encoding::UnicodeInstance()->BytesToWideAt(Bytes({'A', 0, 'B'}), 0, 3), u"A");
}

TEST(EncodingTest, RefusesRangesOutsideTheArrayAndLeavesItIntact) {
    TBytes bytes(3, 0xEE);
    const TBytes before = bytes;
    EXPECT_THROW(Encoding::AnsiInstance()->AnsiToBytesAt("abcd", 0, 4, bytes, 0), rtl::ERangeError);
    EXPECT_THROW(Encoding::AnsiInstance()->AnsiToBytesAt("ab", 1, 2, bytes, 0), rtl::ERangeError);
    EXPECT_THROW(Encoding::UnicodeInstance()->WideToBytesAt(u"AB", 0, 2, bytes, 0), rtl::ERangeError);
    EXPECT_THROW(Encoding::AnsiInstance()->BytesToAnsiAt(bytes, 2, 2), rtl::ERangeError);
    EXPECT_THROW(Encoding::Utf8Instance()->BytesToWideAt(bytes, -1, 1), rtl::ERangeError);
    // The code page refuses a conversion that does not fit the room instead of cutting it.
    try {
        CodePageEncoding(65001).WideToBytesAt(u"\u042F\u042F", 0, 2, bytes, 0);
        FAIL() << "expected EOSError";
    } catch (const rtl::EOSError& e) {
        EXPECT_NE(e.Message().find("Code: 122"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(bytes, before);
}

TEST(EncodingTest, Utf8PositionedEncodersAreNotAvailable) {
    TBytes bytes(8);
    for (auto call : {+[](TBytes& b) { Encoding::Utf8Instance()->AnsiToBytesAt("a", 0, 1, b, 0); },
                      +[](TBytes& b) { Encoding::Utf8Instance()->WideToBytesAt(u"a", 0, 1, b, 0); }}) {
        try {
            call(bytes);
            FAIL() << "expected EAssertionFailed";
        } catch (const rtl::EAssertionFailed& e) {
            EXPECT_EQ(e.Text(), "not implemented");
            EXPECT_EQ(e.Unit(), "CLRClasses");
        }
    }
}

TEST(EncodingTest, UnknownCodePageIsAnOperatingSystemError) {
    CodePageEncoding enc(932);
    EXPECT_THROW(enc.WideToBytes(u"a"), rtl::EOSError);
    EXPECT_THROW(enc.BytesToWide(Bytes({'a'})), rtl::EOSError);
}

// A reader that decodes a stream in fixed blocks must not break characters that straddle two
// blocks; CompleteByteCount tells it how much to carry over.
TEST(EncodingTest, BlockDecodingCarriesSplitCharacters) {
    for (const auto& c : AllEncodings()) {
        if (!KeepsEveryCharacter(c)) continue;
        SCOPED_TRACE(c.Name);
        const TBytes all = c.Enc->WideToBytes(kMixed);
        for (size_t block = 1; block <= 7; ++block) {
            SCOPED_TRACE(block);
            WideString decoded;
            TBytes pending;
            for (size_t pos = 0; pos < all.size(); pos += block) {
                pending.insert(pending.end(), all.begin() + long(pos),
                               all.begin() + long(std::min(all.size(), pos + block)));
                int whole = c.Enc->CompleteByteCount(pending, 0, int(pending.size()));
                decoded += c.Enc->BytesToWideAt(pending, 0, whole);
                pending.erase(pending.begin(), pending.begin() + whole);
            }
            EXPECT_TRUE(pending.empty());
            EXPECT_EQ(decoded, kMixed);
        }
    }
    EXPECT_EQ(Encoding::AnsiInstance()->CompleteByteCount(Bytes({0xD0}), 0, 1), 1);
}

TEST(BitConverterTest, DoubleBitsToInt64) {
    EXPECT_EQ(BitConverter::DoubleBitsToInt64(1.0), 0x3FF0000000000000LL);
    EXPECT_EQ(BitConverter::DoubleBitsToInt64(-2.0), static_cast<int64_t>(0xC000000000000000ULL));
}

TEST(MarshalTest, ReadsAndWritesLittleEndianValuesAndPointerSlots) {
    uint8_t* p = static_cast<uint8_t*>(Marshal::AllocMem(24));
    ASSERT_NE(p, nullptr);
    Marshal::WriteInt32(p, 0x01020304);
    EXPECT_EQ(Marshal::ReadByte(p, 0), 0x04);
    EXPECT_EQ(Marshal::ReadInt32(p, 0), 0x01020304);
    Marshal::WriteInt16At(p, 1, -2);
    EXPECT_EQ(Marshal::ReadByte(p, 1), 0xFE);
    EXPECT_EQ(Marshal::ReadByte(p, 2), 0xFF);
    Marshal::WriteInt32At(p, 5, -1);
    EXPECT_EQ(Marshal::ReadInt32(p, 5), -1);
    Marshal::WriteByte(p, 9, 7);
    EXPECT_EQ(Marshal::ReadByte(p, 9), 7);
    Marshal::WriteInt64(p + 16, 0x1122334455667788LL);
    EXPECT_EQ(Marshal::ReadByte(p, 16), 0x88);
    EXPECT_EQ(Marshal::ReadByte(p, 23), 0x11);
    int target = 0;
    Marshal::WritePointer(p + 8, &target);
    void* back = nullptr;
    std::memcpy(&back, p + 8, 8);
    EXPECT_EQ(back, &target);

    p = static_cast<uint8_t*>(Marshal::ReallocMem(p, 48));
    EXPECT_EQ(Marshal::ReadByte(p, 16), 0x88);  // kept across the move
    EXPECT_EQ(Marshal::ReallocMem(p, 0), nullptr);
    EXPECT_EQ(Marshal::AllocMem(0), nullptr);
}

TEST(MarshalTest, PointerToTextAndCopies) {
    const char ansi[] = "abc\0def";
    const char16_t wide[] = u"xy\0z";
    EXPECT_EQ(Marshal::PointerToAnsi(ansi), "abc");
    EXPECT_EQ(Marshal::PointerToAnsi(ansi, -1), "abc");
    EXPECT_EQ(Marshal::PointerToAnsi(ansi, 5), AnsiString("abc\0d", 5));
    EXPECT_EQ(Marshal::PointerToAnsi(nullptr), "");
    EXPECT_EQ(Marshal::PointerToWide(wide), u"xy");
    EXPECT_EQ(Marshal::PointerToWide(wide, 4), WideString(u"xy\0z", 4));

    const AnsiString s = "text";
    EXPECT_EQ(Marshal::StringToPointer(s), s.c_str());

    char dest[6] = "-----";
    Marshal::CopyToPointer(Bytes({'a', 'b', 'c'}), dest, 2, 3);
    EXPECT_STREQ(dest, "---ab");
    Marshal::CopyToPointer(TBytes(), nullptr, 0);
    EXPECT_THROW(Marshal::CopyToPointer(Bytes({'a'}), dest, 2), rtl::ERangeError);
}

TEST(BufferTest, CopiesBetweenArraysAndMemory) {
    TBytes b = Bytes({1, 2, 3, 4, 5});
    Buffer::CopyBytes(b, 0, b, 1, 4);  // overlapping
    EXPECT_EQ(b, Bytes({1, 1, 2, 3, 4}));

    TAnsiCharArray chars = {'x', 'y', 'z'};
    Buffer::CopyBytes4(chars, 1, b, 3, 2);
    EXPECT_EQ(b, Bytes({1, 1, 2, 'y', 'z'}));
    Buffer::CopyBytes5(Bytes({'A'}), 0, chars, 2, 1);
    EXPECT_EQ(chars, (TAnsiCharArray{'x', 'y', 'A'}));

    TWideCharArray wide = {u'\x0102'};
    Buffer::CopyBytes6(wide, 0, b, 0, 2);
    EXPECT_EQ(b[0], 0x02);
    EXPECT_EQ(b[1], 0x01);

    uint8_t raw[4] = {9, 9, 9, 9};
    Buffer::CopyBytes2(b, 3, raw, 1, 2);
    EXPECT_EQ(raw[1], 'y');
    Buffer::CopyBytes3(raw, 0, b, 4, 1);
    EXPECT_EQ(b[4], 9);
    Buffer::CopyBytes7(raw, 1, raw, 0, 3);
    EXPECT_EQ(raw[0], 'y');
    Buffer::SetByte(b, 0, 0x7F);
    EXPECT_EQ(b[0], 0x7F);

    const TBytes before = b;
    EXPECT_THROW(Buffer::CopyBytes(b, 3, b, 0, 3), rtl::ERangeError);
    EXPECT_THROW(Buffer::CopyBytes6(wide, 1, b, 0, 2), rtl::ERangeError);
    EXPECT_THROW(Buffer::SetByte(b, 5, 0), rtl::ERangeError);
    EXPECT_EQ(b, before);
}

TEST(AnsiStringBuilderTest, GrowsByHalfTheCapacity) {
    AnsiStringBuilder sb(0);
    sb.Append("abc");
    EXPECT_EQ(sb.Capacity(), 3);
    sb.Append("d");
    EXPECT_EQ(sb.Capacity(), 5);  // 3 + 1 + 3 div 2
    sb.AppendChar('e');
    EXPECT_EQ(sb.Capacity(), 5);  // there was room
    sb.AppendChar('f');
    EXPECT_EQ(sb.Capacity(), 8);  // 5 + 5 div 2 + 1
    sb.Append("");
    EXPECT_EQ(sb.GetText(), "abcdef");
    EXPECT_EQ(sb.Length(), 6);

    sb.SetLength(2);
    EXPECT_EQ(sb.GetText(), "ab");
    sb.Append("Z");
    EXPECT_EQ(sb.GetText(), "abZ");
    sb.SetLength(10);
    EXPECT_EQ(sb.Capacity(), 17);  // room 5 < 10: 10 + 3 + 8 div 2
    EXPECT_EQ(sb.Length(), 10);
    EXPECT_THROW(sb.SetLength(-1), rtl::ERangeError);
    EXPECT_THROW(AnsiStringBuilder(-1), rtl::ERangeError);
}

TEST(AnsiStringBuilderTest, KeepsBinaryAndCyrillicBytes) {
    AnsiStringBuilder sb(1);
    const AnsiString text = rtl::UTF8ToAnsi("Фонд ") + AnsiString("\0x", 2);
    for (int i = 0; i < 100; ++i) sb.Append(text);
    EXPECT_EQ(sb.Length(), 100 * int(text.size()));
    EXPECT_EQ(sb.GetText().substr(text.size() * 99), text);
}

TEST(WideStringBuilderTest, ReplaceNeverSearchesInsertedText) {
    struct {
        const char16_t* Text;
        const char16_t* Old;
        const char16_t* New;
        const char16_t* Expected;
    } cases[] = {
        {u"aba", u"a", u"aa", u"aabaa"}, {u"a&b&", u"&", u"&#x26;", u"a&#x26;b&#x26;"},
        {u"aaaa", u"aa", u"a", u"aa"},   {u"abc", u"bc", u"", u"a"},
        {u"abc", u"x", u"y", u"abc"},    {u"abc", u"", u"y", u"abc"},
        {u"", u"a", u"b", u""},
    };
    for (const auto& c : cases) {
        WideStringBuilder sb(c.Text, 2);
        sb.Replace(c.Old, c.New);
        EXPECT_EQ(sb.GetText(), c.Expected) << rtl::WideToUTF8(c.Text);
        EXPECT_EQ(sb.Length(), int(WideString(c.Expected).size()));
    }
}

TEST(WideStringBuilderTest, AppendsAndGrows) {
    WideStringBuilder sb(0);
    sb.Append(u"Дело");
    EXPECT_EQ(sb.Capacity(), 4);
    sb.Append(u" 1");
    EXPECT_EQ(sb.Capacity(), 8);  // 4 + 2 + 4 div 2
    sb.Replace(u"1", u"12");
    sb.Append(u"!");
    EXPECT_EQ(sb.GetText(), u"Дело 12!");
}

TEST(EncodingTest, SharedInstancesHaveTheirClasses) {
    EXPECT_STREQ(Encoding::AnsiInstance()->ClassName(), "Encoding");
    EXPECT_STREQ(Encoding::UnicodeInstance()->ClassName(), "UnicodeEncoding");
    EXPECT_STREQ(Encoding::Utf8Instance()->ClassName(), "UTF8Encoding");
    EXPECT_TRUE(CodePageEncoding(1251).InheritsFrom(&Encoding::StaticClass()));
    EXPECT_EQ(Encoding::Utf8Instance(), Encoding::Utf8Instance());
}
