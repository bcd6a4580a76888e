// Text fetched from the engine is decoded by the provider's own fast path: overlong three- and
// four-byte forms of ASCII must come out as the runtime's decoder gives them, never as the
// disguised character, whether decoded alone or into a fixed-length field.
#include "tests/sqlite/lite_fixture.h"

using namespace litetest;

namespace {

const std::string kForms[] = {"\xE0\x80\x80",     "\xE0\x81\x81",     "\xE0\x80\xA7",    "\xE0\x9F\xBF",
                              "\xF0\x80\x81\x81", "\xF0\x80\x80\xA7", "\xF0\x8F\xBF\xBF"};

// "x", the form and "y" as 1251 text in which every replacement character is a '?'.
std::string Questioned(const std::string& text) {
    const std::u16string wide = rtl::UTF8ToWide(text);
    EXPECT_EQ(wide.find_first_not_of(u'\uFFFD', 1), wide.size() - 1);
    return "x" + std::string(wide.size() - 2, '?') + "y";
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string h;
    for (unsigned char b : bytes) {
        h += digits[b >> 4];
        h += digits[b & 15];
    }
    return h;
}

}  // namespace

TEST(LiteOverlong, DecodersGiveReplacementCharacters) {
    for (const auto& form : kForms) {
        const std::string text = "x" + form + "y";
        EXPECT_EQ(TSQLiteConnection::DecodeString(text.data(), text.size(), true), Questioned(text));
        EXPECT_EQ(TSQLiteConnection::DecodeToWide(text.data(), text.size(), true), rtl::UTF8ToWide(text));
        // A destination shorter than the text takes the bounded path.
        std::string shortBuf(3, '\0');
        shortBuf.resize(TSQLiteConnection::DecodeUTF8To(text.data(), text.size(), shortBuf.data(), 3));
        EXPECT_EQ(shortBuf, Questioned(text).substr(0, 3));
    }
}

TEST_F(LiteTest, FetchedOverlongFormsBecomeReplacementCharacters) {
    TSQLiteConnection* c = Open();
    Exec(c, "CREATE TABLE t (k INTEGER, s VARCHAR(10), m TEXT)");
    int k = 0;
    for (const auto& form : kForms) {
        const std::string hex = Hex("x" + form + "y");
        Exec(c, "INSERT INTO t VALUES (" + std::to_string(++k) + ", CAST(X'" + hex + "' AS TEXT), CAST(X'" + hex +
                    "' AS TEXT))");
    }
    const auto rows = Select(c, "SELECT s, m FROM t ORDER BY k");
    ASSERT_EQ(rows.size(), std::size(kForms));
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string expected = Questioned("x" + kForms[i] + "y");
        EXPECT_EQ(rows[i][0].AsAnsiString(), expected) << i;
        EXPECT_EQ(rows[i][1].AsAnsiString(), expected) << i;
    }
}
