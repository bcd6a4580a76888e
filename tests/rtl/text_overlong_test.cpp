// Overlong UTF-8 forms of ASCII characters: accepting them would let "/" or "'" pass a check made
// on the decoded text in a disguise. Each decoder must give replacement characters and nothing
// else for them, and the text after them must survive.
#include <gtest/gtest.h>

#include <string>

#include "framework/rtl/Text.h"

using namespace rtl;

namespace {

struct TOverlong {
    const char* Name;
    std::string Bytes;
};

const TOverlong kOverlong[] = {
    {"three-byte NUL", "\xE0\x80\x80"},      {"three-byte 'A'", "\xE0\x81\x81"},
    {"three-byte '/'", "\xE0\x80\xAF"},      {"three-byte U+007F", "\xE0\x81\xBF"},
    {"three-byte U+07FF", "\xE0\x9F\xBF"},   {"four-byte 'A'", "\xF0\x80\x81\x81"},
    {"four-byte quote", "\xF0\x80\x80\xA7"}, {"four-byte U+FFFF", "\xF0\x8F\xBF\xBF"},
};

// "x", one or more replacement characters, "y".
bool OnlyReplaced(const std::u16string& s) {
    if (s.size() < 3 || s.front() != u'x' || s.back() != u'y') return false;
    return s.find_first_not_of(u'\uFFFD', 1) == s.size() - 1;
}

}  // namespace

TEST(Utf8Overlong, ThreeAndFourByteFormsOfAsciiDecodeAsReplacementCharacters) {
    for (const auto& c : kOverlong) {
        const std::string text = "x" + c.Bytes + "y";
        const std::u16string wide = UTF8ToWide(text);
        EXPECT_TRUE(OnlyReplaced(wide)) << c.Name;
        // 1251 has no replacement character: each one becomes '?'.
        const std::string questioned = "x" + std::string(wide.size() - 2, '?') + "y";
        EXPECT_EQ(UTF8ToAnsi(text), questioned) << c.Name;
        std::string buf(text.size(), '\0');
        buf.resize(UTF8ToAnsiBuf(text, buf.data(), buf.size()));
        EXPECT_EQ(buf, questioned) << c.Name;
    }
    // The shortest forms of the same characters still decode.
    EXPECT_EQ(UTF8ToWide("\xDF\xBF\xEF\xBF\xBF\xF0\x90\x80\x80"), u"\u07FF\uFFFF\U00010000");
}
