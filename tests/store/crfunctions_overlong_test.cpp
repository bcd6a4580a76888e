// The record store's own UTF-8 decoders must treat overlong three- and four-byte forms of ASCII
// as the runtime does: replacement characters only, never the disguised character.
#include <gtest/gtest.h>

#include <string>

#include "data/store/CLRClasses.h"
#include "data/store/CRFunctions.h"
#include "framework/rtl/Text.h"

using namespace store;

TEST(Utf8Overlong, StoreDecodersGiveReplacementCharacters) {
    const std::string forms[] = {"\xE0\x80\x80",     "\xE0\x81\x81",     "\xE0\x80\xAF",    "\xE0\x9F\xBF",
                                 "\xF0\x80\x81\x81", "\xF0\x80\x80\xA7", "\xF0\x8F\xBF\xBF"};
    const Encoding* utf8 = Encoding::Utf8Instance();
    for (const auto& form : forms) {
        const std::string text = "x" + form + "y";
        const std::u16string expected = rtl::UTF8ToWide(text);
        ASSERT_EQ(expected.find_first_not_of(u'\uFFFD', 1), expected.size() - 1);
        const std::string questioned = "x" + std::string(expected.size() - 2, '?') + "y";

        EXPECT_EQ(Utf8ToWide(text), expected);
        EXPECT_EQ(Utf8ToAnsiText(text), questioned);
        std::u16string buf(text.size() + 1, u'\0');
        const size_t written = Utf8ToWideBuffer(buf.data(), buf.size(), text.data(), text.size());
        ASSERT_GT(written, 0u);
        buf.resize(written - 1);  // the count takes in the closing zero
        EXPECT_EQ(buf, expected);
        const rtl::TBytes bytes(text.begin(), text.end());
        EXPECT_EQ(utf8->BytesToWideAt(bytes, 0, static_cast<int>(bytes.size())), expected);
        EXPECT_EQ(utf8->BytesToAnsiAt(bytes, 0, static_cast<int>(bytes.size())), questioned);
    }
}
