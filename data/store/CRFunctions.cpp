#include "data/store/CRFunctions.h"

#include <algorithm>
#include <cstring>

#include "framework/rtl/Text.h"

namespace store {

// --- packed decimals ---

namespace {

struct TBcdDigits {
    const rtl::TBcd& Bcd;
    int Count;   // precision, at most the 64 digits the record holds
    int Places;  // fraction digits, at most Count

    explicit TBcdDigits(const rtl::TBcd& bcd)
        : Bcd(bcd),
          Count(std::min<int>(bcd.Precision, 64)),
          Places(std::min<int>(bcd.SignSpecialPlaces & 0x3F, Count)) {}

    int Digit(int i) const noexcept {
        uint8_t b = Bcd.Fraction[i / 2];
        return (i % 2 == 0) ? b >> 4 : b & 0x0F;
    }
};

}  // namespace

int BcdSignificantDigits(const rtl::TBcd& bcd, int* lastDigitByte) noexcept {
    TBcdDigits d(bcd);
    int first = 0;
    while (first < d.Count && d.Digit(first) == 0) ++first;
    int last = d.Count - 1;
    while (last >= first && d.Digit(last) == 0) --last;
    if (lastDigitByte) *lastDigitByte = last >= first ? last / 2 : -1;
    return last >= first ? last - first + 1 : 0;
}

int BcdActualScale(const rtl::TBcd& bcd) noexcept {
    TBcdDigits d(bcd);
    int scale = d.Places;
    while (scale > 0 && d.Digit(d.Count - d.Places + scale - 1) == 0) --scale;
    return scale;
}

bool BcdIsInteger(const rtl::TBcd& bcd) noexcept { return BcdActualScale(bcd) == 0; }

// --- GUIDs ---

namespace {

int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool ReadHex(std::string_view s, size_t pos, size_t digits, uint64_t& value) noexcept {
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        int h = HexValue(s[pos + i]);
        if (h < 0) return false;
        value = value << 4 | static_cast<unsigned>(h);
    }
    return true;
}

}  // namespace

bool TryStrToGuid(std::string_view text, rtl::TGUID& guid) noexcept {
    // {01234567-0123-0123-0123-0123456789AB}
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
        text[19] != '-' || text[24] != '-')
        return false;
    rtl::TGUID g;
    uint64_t v;
    if (!ReadHex(text, 1, 8, v)) return false;
    g.D1 = static_cast<uint32_t>(v);
    if (!ReadHex(text, 10, 4, v)) return false;
    g.D2 = static_cast<uint16_t>(v);
    if (!ReadHex(text, 15, 4, v)) return false;
    g.D3 = static_cast<uint16_t>(v);
    static constexpr size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kBytePos[i], 2, v)) return false;
        g.D4[i] = static_cast<uint8_t>(v);
    }
    guid = g;
    return true;
}

// --- ANSI text ---

AnsiString LowerCaseAnsi(std::string_view s) { return rtl::AnsiLowerCase(s); }
AnsiString UpperCaseAnsi(std::string_view s) { return rtl::AnsiUpperCase(s); }
int CompareTextAnsi(std::string_view s1, std::string_view s2) { return rtl::AnsiCompareText(s1, s2); }
bool SameTextAnsi(std::string_view s1, std::string_view s2) { return rtl::AnsiSameText(s1, s2); }

AnsiString QuotedStrAnsi(std::string_view s, char quote) {
    AnsiString r;
    r.reserve(s.size() + 2);
    r += quote;
    for (char c : s) {
        if (c == quote) r += quote;
        r += c;
    }
    r += quote;
    return r;
}

AnsiString DequotedStrAnsi(std::string_view s, char quote) {
    if (s.empty() || s[0] != quote) return AnsiString(s);
    AnsiString r;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                r += quote;
                ++i;
                continue;
            }
            break;  // the closing quote; anything after it is not part of the text
        }
        r += s[i];
    }
    return r;
}

// --- UTF-8 ---

size_t WideToUtf8Buffer(char* dest, size_t maxBytes, const char16_t* source, size_t chars) {
    if (!source) return 0;
    const UTF8String u = rtl::WideToUTF8(std::u16string_view(source, chars));
    if (!dest) return u.size() + 1;
    if (maxBytes == 0) return 0;
    size_t n = u.size();
    if (n > maxBytes - 1) n = rtl::UTF8CompletePrefix(std::string_view(u).substr(0, maxBytes - 1));
    std::memcpy(dest, u.data(), n);
    dest[n] = 0;
    return n + 1;
}

size_t Utf8ToWideBuffer(char16_t* dest, size_t maxChars, const char* source, size_t bytes) {
    if (!source) return 0;
    const WideString w = rtl::UTF8ToWide(std::string_view(source, bytes));
    if (!dest) return w.size() + 1;
    if (maxChars == 0) return 0;
    size_t n = w.size();
    if (n > maxChars - 1) n = rtl::UTF16CompletePrefix(std::u16string_view(w).substr(0, maxChars - 1));
    std::memcpy(dest, w.data(), n * sizeof(char16_t));
    dest[n] = 0;
    return n + 1;
}

UTF8String WideToUtf8(std::u16string_view text) {
    if (text.empty()) return {};
    // 3 bytes cover any UTF-16 unit (a surrogate pair of two units needs 4).
    UTF8String buf(text.size() * 3 + 1, '\0');
    size_t n = WideToUtf8Buffer(buf.data(), buf.size(), text.data(), text.size());
    buf.resize(n ? n - 1 : 0);
    return buf;
}

WideString Utf8ToWide(std::string_view text) {
    if (text.empty()) return {};
    WideString buf(text.size() + 1, u'\0');
    size_t n = Utf8ToWideBuffer(buf.data(), buf.size(), text.data(), text.size());
    buf.resize(n ? n - 1 : 0);
    return buf;
}

UTF8String AnsiToUtf8Text(std::string_view text) { return rtl::AnsiToUTF8(text); }
AnsiString Utf8ToAnsiText(std::string_view text) { return rtl::UTF8ToAnsi(text); }

// --- class test by name ---

bool IsClassByName(const rtl::Exception* e, std::string_view className) noexcept {
    return e && e->InheritsFromName(className);
}

}  // namespace store
