#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "framework/rtl/Text.h"

using namespace rtl;

namespace {
AnsiString A(const char8_t* utf8) { return UTF8ToAnsi(reinterpret_cast<const char*>(utf8)); }
}  // namespace

TEST(CodePage1251, EveryByteSurvivesWideAndUtf8RoundTrips) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
    EXPECT_EQ(UTF8ToAnsi(AnsiToUTF8(all)), all);
    // 0x98 has no character in 1251: it travels as U+0098.
    EXPECT_EQ(AnsiToWide("\x98"), std::u16string(1, u'\u0098'));
}

TEST(CodePage1251, KnownCharacters) {
    struct Case {
        const char* ansi;
        const char16_t* wide;
    } cases[] = {
        {"\xC0\xDF\xE0\xFF", u"АЯая"}, {"\xA8\xB8", u"Ёё"}, {"\xB9", u"№"}, {"\xA0", u"\u00A0"}, {"\x88", u"€"},
        {"\x96\x97", u"–—"},           {"abc", u"abc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnsiToWide(c.ansi), c.wide) << c.ansi;
        EXPECT_EQ(WideToAnsi(c.wide), c.ansi) << c.ansi;
    }
    // Characters outside 1251 become '?', a surrogate pair is one character.
    EXPECT_EQ(WideToAnsi(u"a\u4E2Db\U0001F600c"), "a?b?c");
}

TEST(Utf8, InvalidSequencesBecomeReplacementCharacters) {
    EXPECT_EQ(UTF8ToWide("\xD0\x96"), u"Ж");
    EXPECT_EQ(UTF8ToWide("a\xFF"
                         "b"),
              u"a\uFFFDb");
    EXPECT_EQ(UTF8ToWide("\xC0\x80"), u"\uFFFD\uFFFD");  // overlong: bad lead, stray continuation
    EXPECT_EQ(UTF8ToWide("\xE2\x82"), u"\uFFFD");        // truncated
    EXPECT_EQ(UTF8ToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(WideToUTF8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUTF8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Utf8, CompletePrefixLeavesOutACutSequence) {
    const std::string zh = "\xD0\x96";        // Ж, two bytes
    const std::string euro = "\xE2\x82\xAC";  // €, three bytes
    EXPECT_EQ(UTF8CompletePrefix("ab"), 2u);
    EXPECT_EQ(UTF8CompletePrefix("a" + zh.substr(0, 1)), 1u);
    EXPECT_EQ(UTF8CompletePrefix("a" + zh), 3u);
    EXPECT_EQ(UTF8CompletePrefix("a" + euro.substr(0, 2)), 1u);
    EXPECT_EQ(UTF8CompletePrefix(euro), 3u);
    EXPECT_EQ(UTF16CompletePrefix(u"a\xD83D"), 1u);
    EXPECT_EQ(UTF16CompletePrefix(u"a\U0001F600"), 3u);
}

// Valid is exactly what comes back byte for byte through UTF-16, whichever way the text is cut
// into pieces; a text file is UTF-8 only when valid and not plain ASCII.
TEST(Utf8, ValidityMatchesTheRoundTripInEveryCut) {
    const std::string cases[] = {"", "plain",
                                 "\xD0\x96\xD0\xB8",      // Жи
                                 "\xE2\x82\xAC",          // €
                                 "\xF0\x9F\x98\x80",      // U+1F600
                                 "\xF4\x8F\xBF\xBF",      // U+10FFFF
                                 "\xEF\xBF\xBD",          // U+FFFD itself
                                 "\xC0\x80",              // overlong NUL
                                 "\xC1\xBF",              // overlong U+007F
                                 "\xE0\x9F\xBF",          // overlong U+07FF
                                 "\xF0\x8F\xBF\xBF",      // overlong U+FFFF
                                 "\xED\xA0\x80",          // a surrogate
                                 "\xF4\x90\x80\x80",      // past U+10FFFF
                                 "\xF8\x88\x80\x80\x80",  // five-byte form
                                 "a\xE2\x82",             // cut at the end
                                 "\x80",                  // stray continuation
                                 "\xCF\xF0\xE8",          // Cyrillic in 1251
                                 "x\xD0\x96y\xFF",
                                 // long ASCII runs around the sequences
                                 "0123456789abcdef\xD0\x96", "01234567\xE2\x82\xAC and a tail past a word",
                                 "abcdefghijk\xC0\x80 overlong after a word", "abcdefghijklmno\xD0",
                                 "abcdefgh\xED\xA0\x80ijklmnop"};
    for (const std::string& s : cases) {
        const bool roundTrip = WideToUTF8(UTF8ToWide(s)) == s;
        EXPECT_EQ(IsValidUTF8(s), roundTrip) << ::testing::PrintToString(s);
        EXPECT_EQ(IsUTF8Text(s), roundTrip && std::any_of(s.begin(), s.end(), [](char c) { return c & 0x80; }))
            << ::testing::PrintToString(s);
        for (size_t cut = 0; cut <= s.size(); ++cut) {
            TUTF8Check check;
            check.Feed(std::string_view(s).substr(0, cut));
            check.Feed(std::string_view(s).substr(cut));
            EXPECT_EQ(check.Valid(), roundTrip) << ::testing::PrintToString(s) << " cut at " << cut;
        }
    }
}

// The ASCII run is found a word at a time: a high byte at any place, also inside or at the end of
// a word, ends it there.
TEST(Utf8, AsciiPrefixEndsAtTheFirstHighByte) {
    const std::string ascii = "SELECT 1 FROM t WHERE a = 'x';";
    EXPECT_EQ(AsciiPrefix(ascii), ascii.size());
    EXPECT_TRUE(IsAscii(ascii));
    EXPECT_TRUE(IsAscii(""));
    for (size_t at = 0; at < ascii.size(); ++at) {
        std::string s = ascii;
        s[at] = '\x80';
        EXPECT_EQ(AsciiPrefix(s), at);
        EXPECT_FALSE(IsAscii(s)) << at;
    }
}

TEST(CaseMapping, Cyrillic1251) {
    EXPECT_EQ(AnsiUpperCase(A(u8"абвгд ёж яz")), A(u8"АБВГД ЁЖ ЯZ"));
    EXPECT_EQ(AnsiLowerCase(A(u8"АБВГД ЁЖ ЯZ")), A(u8"абвгд ёж яz"));
    EXPECT_EQ(AnsiUpperCase(A(u8"ђѓљњќћџўјґєїіѕ")), A(u8"ЂЃЉЊЌЋЏЎЈҐЄЇІЅ"));
    // µ has no capital in 1251 and stays; ASCII-only forms leave Cyrillic alone.
    EXPECT_EQ(AnsiUpperCase("\xB5"), "\xB5");
    EXPECT_EQ(UpperCase(A(u8"abc где")), A(u8"ABC где"));
    EXPECT_EQ(WideUpperCase(u"ёлка"), u"ЁЛКА");
}

TEST(Collation, RussianOrderWithYoAndCase) {
    std::vector<std::string> words = {A(u8"яблоко"), A(u8"Ёлка"), A(u8"ель"), A(u8"ёж"),
                                      A(u8"Арбуз"),  A(u8"жук"),  A(u8"Ель"), A(u8"абрикос")};
    std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) { return AnsiCompareStr(a, b) < 0; });
    // ё is е with a diacritic: it sorts with е by the following letters; lower case comes before
    // upper case of the same word.
    std::vector<std::string> expected = {A(u8"абрикос"), A(u8"Арбуз"), A(u8"ёж"),  A(u8"Ёлка"),
                                         A(u8"ель"),     A(u8"Ель"),   A(u8"жук"), A(u8"яблоко")};
    EXPECT_EQ(words, expected);

    EXPECT_EQ(AnsiCompareText(A(u8"ЕЛЬ"), A(u8"ель")), 0);
    EXPECT_NE(AnsiCompareStr(A(u8"ЕЛЬ"), A(u8"ель")), 0);
    EXPECT_LT(AnsiCompareText(A(u8"ель"), A(u8"ёль")), 0);
    EXPECT_EQ(AnsiCompareText("", ""), 0);
    EXPECT_LT(AnsiCompareText("", "a"), 0);
    EXPECT_TRUE(AnsiSameText(A(u8"Привет"), A(u8"пРИВЕТ")));
    // Digits, then Latin, then Cyrillic.
    EXPECT_LT(AnsiCompareStr("9", "Z"), 0);
    EXPECT_LT(AnsiCompareStr("Zebra", A(u8"арбуз")), 0);
    EXPECT_EQ(WideCompareText(u"Привет", u"ПРИВЕТ"), 0);
}

TEST(Collation, SortKeysOrderAsComparisons) {
    std::vector<std::string> words = {
        A(u8"Иванов"), A(u8"иванов"), A(u8"Ёжиков"), A(u8"Ежов"), "Smith", "smith", "", A(u8"я"), "10", "9"};
    for (bool ci : {false, true}) {
        for (const auto& a : words)
            for (const auto& b : words) {
                int byKey = a == b ? 0 : AnsiSortKey(a, ci).compare(AnsiSortKey(b, ci));
                byKey = byKey < 0 ? -1 : (byKey > 0 ? 1 : 0);
                int byCompare = ci ? AnsiCompareText(a, b) : AnsiCompareStr(a, b);
                EXPECT_EQ(byKey, byCompare) << ci;
            }
    }
}

TEST(OrdinalCompare, AsciiFoldingOnly) {
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_NE(CompareText(A(u8"я"), A(u8"Я")), 0);
    EXPECT_LT(CompareStr("A", "a"), 0);
    EXPECT_TRUE(SameText("Name", "NAME"));
}

TEST(Utf8, DecodesStraightIntoA1251Buffer) {
    struct Case {
        const char* utf8;
        size_t maxLen;
        const char* ansi;
    } cases[] = {
        {"\xD0\x90\xD0\xB1\xD0\xB2", 10, "\xC0\xE1\xE2"},  // Абв
        {"\xD0\x90\xD0\xB1\xD0\xB2", 2, "\xC0\xE1"},       // cut at the buffer, never past it
        {"a\xE4\xB8\xAD"
         "b",
         10, "a?b"},  // outside 1251
        {"a\xFF"
         "b",
         10, "a?b"},                    // malformed
        {"\xF0\x9F\x98\x80", 10, "?"},  // beyond the BMP
        {"", 10, ""},
    };
    for (const auto& c : cases) {
        char buf[16];
        size_t n = UTF8ToAnsiBuf(c.utf8, buf, c.maxLen);
        EXPECT_EQ(std::string(buf, n), c.ansi) << c.utf8;
        EXPECT_EQ(UTF8ToAnsi(c.utf8).substr(0, c.maxLen), c.ansi) << c.utf8;
    }
}
