#include "framework/rtl/Text.h"

#include <unicode/ucol.h>
#include <unicode/uchar.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>

#include "framework/rtl/Exceptions.h"

namespace rtl {

namespace {

// Code page 1251, bytes 0x80-0xFF. 0x98 has no character; it maps to U+0098 so that it survives.
constexpr char16_t kHigh1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

struct Tables {
    char16_t toWide[256];
    std::array<uint8_t, 65536> fromWide{};  // 0 = no byte (except U+0000 itself)
    char upper[256];
    char lower[256];

    Tables() {
        for (int b = 0; b < 128; ++b) toWide[b] = static_cast<char16_t>(b);
        for (int b = 128; b < 256; ++b) toWide[b] = kHigh1251[b - 128];
        for (int b = 1; b < 256; ++b) fromWide[toWide[b]] = static_cast<uint8_t>(b);
        for (int b = 0; b < 256; ++b) {
            upper[b] = lower[b] = static_cast<char>(b);
            char16_t w = toWide[b];
            char16_t u = static_cast<char16_t>(u_toupper(w));
            char16_t l = static_cast<char16_t>(u_tolower(w));
            if (u != w && fromWide[u]) upper[b] = static_cast<char>(fromWide[u]);
            if (l != w && fromWide[l]) lower[b] = static_cast<char>(fromWide[l]);
        }
    }
};

const Tables& T() {
    static const Tables tables;
    return tables;
}

inline uint8_t U8(char c) { return static_cast<uint8_t>(c); }

int Sign(int r) { return r < 0 ? -1 : (r > 0 ? 1 : 0); }

// Collators are created once; ucol_strcoll and ucol_getSortKey are safe on a shared collator.
// The Russian tailoring would put Cyrillic before Latin; the system's lists have always sorted
// digits, then Latin, then Cyrillic, so the script order is reset to the root order.
void ResetScriptOrder(UCollator* c) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t none = UCOL_REORDER_CODE_NONE;
    ucol_setReorderCodes(c, &none, 1, &status);
}

struct Collators {
    UCollator* caseSensitive = nullptr;
    UCollator* caseInsensitive = nullptr;
    Collators() {
        UErrorCode status = U_ZERO_ERROR;
        caseSensitive = ucol_open("ru_RU", &status);
        if (U_FAILURE(status)) throw EOutOfResources("Cannot open the Russian collator");
        ucol_setStrength(caseSensitive, UCOL_TERTIARY);
        ResetScriptOrder(caseSensitive);
        status = U_ZERO_ERROR;
        caseInsensitive = ucol_open("ru_RU", &status);
        if (U_FAILURE(status)) throw EOutOfResources("Cannot open the Russian collator");
        ucol_setStrength(caseInsensitive, UCOL_SECONDARY);
        ResetScriptOrder(caseInsensitive);
    }
    ~Collators() {
        ucol_close(caseSensitive);
        ucol_close(caseInsensitive);
    }
};

const Collators& C() {
    static const Collators collators;
    return collators;
}

const UChar* U(std::u16string_view s) { return reinterpret_cast<const UChar*>(s.data()); }

int Collate(std::u16string_view a, std::u16string_view b, bool caseInsensitive) {
    const Collators& c = C();
    UCollationResult r = ucol_strcoll(caseInsensitive ? c.caseInsensitive : c.caseSensitive, U(a),
                                      static_cast<int32_t>(a.size()), U(b), static_cast<int32_t>(b.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

// Small texts are converted on the stack; comparisons are on hot paths of sorting and locate.
class WideBuf {
public:
    explicit WideBuf(std::string_view s) : FLen(s.size()) {
        char16_t* p =
            s.size() <= sizeof(FLocal) / sizeof(char16_t) ? FLocal : (FHeap.reset(new char16_t[s.size()]), FHeap.get());
        const Tables& t = T();
        for (size_t i = 0; i < s.size(); ++i) p[i] = t.toWide[U8(s[i])];
        FData = p;
    }
    std::u16string_view View() const { return {FData, FLen}; }

private:
    char16_t FLocal[256];
    std::unique_ptr<char16_t[]> FHeap;
    const char16_t* FData;
    size_t FLen;
};

std::string SortKey(std::u16string_view s, bool caseInsensitive) {
    const Collators& c = C();
    const UCollator* coll = caseInsensitive ? c.caseInsensitive : c.caseSensitive;
    std::string key(s.size() * 4 + 16, '\0');
    int32_t n = ucol_getSortKey(coll, U(s), static_cast<int32_t>(s.size()), reinterpret_cast<uint8_t*>(key.data()),
                                static_cast<int32_t>(key.size()));
    if (n > static_cast<int32_t>(key.size())) {
        key.resize(n);
        n = ucol_getSortKey(coll, U(s), static_cast<int32_t>(s.size()), reinterpret_cast<uint8_t*>(key.data()), n);
    }
    key.resize(n > 0 ? n - 1 : 0);  // drop the terminating zero
    return key;
}

}  // namespace

char16_t AnsiCharToWide(char c) noexcept { return T().toWide[U8(c)]; }

char WideCharToAnsi(char16_t c) noexcept {
    if (c == 0) return 0;
    uint8_t b = T().fromWide[c];
    return b ? static_cast<char>(b) : '?';
}

bool WideCharInAnsi(char16_t c) noexcept { return c == 0 || T().fromWide[c] != 0; }

WideString AnsiToWide(std::string_view s) {
    const Tables& t = T();
    WideString r(s.size(), u'\0');
    for (size_t i = 0; i < s.size(); ++i) r[i] = t.toWide[U8(s[i])];
    return r;
}

AnsiString WideToAnsi(std::u16string_view s) {
    AnsiString r(s.size(), '\0');
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        // A surrogate pair is one character outside 1251.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ++i;
        r[n++] = (c >= 0xD800 && c <= 0xDFFF) ? '?' : WideCharToAnsi(c);
    }
    r.resize(n);
    return r;
}

UTF8String WideToUTF8(std::u16string_view s) {
    UTF8String r;
    r.reserve(s.size() * 3 / 2 + 4);
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // lone surrogate
        }
        if (c < 0x80) {
            r.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            r.push_back(static_cast<char>(0xC0 | (c >> 6)));
            r.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            r.push_back(static_cast<char>(0xE0 | (c >> 12)));
            r.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            r.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            r.push_back(static_cast<char>(0xF0 | (c >> 18)));
            r.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            r.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            r.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return r;
}

namespace {

// Decodes one UTF-8 sequence at s[i]; returns the code point (0xFFFD for an invalid sequence) and
// advances i past what was consumed.
uint32_t DecodeUTF8(std::string_view s, size_t& i) {
    const uint8_t b0 = U8(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int need;
    uint32_t c, min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1, c = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2, c = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    size_t j = i + 1;
    for (int k = 0; k < need; ++k, ++j) {
        if (j >= s.size() || (U8(s[j]) & 0xC0) != 0x80) {
            i = j;  // skip what was valid so far, resynchronise at the offending byte
            return 0xFFFD;
        }
        c = (c << 6) | (U8(s[j]) & 0x3F);
    }
    i = j;
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0xFFFD;
    return c;
}

}  // namespace

WideString UTF8ToWide(std::string_view s) {
    WideString r;
    r.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        uint32_t c = DecodeUTF8(s, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            r.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            r.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            r.push_back(static_cast<char16_t>(c));
        }
    }
    return r;
}

UTF8String AnsiToUTF8(std::string_view s) {
    // ASCII needs no conversion.
    bool ascii = true;
    for (char c : s)
        if (U8(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return UTF8String(s);
    return WideToUTF8(AnsiToWide(s));
}

size_t UTF8ToAnsiBuf(std::string_view s, char* dest, size_t maxLen) noexcept {
    const Tables& t = T();
    size_t i = 0, n = 0;
    while (i < s.size() && n < maxLen) {
        const uint8_t b = U8(s[i]);
        if (b < 0x80) {
            dest[n++] = static_cast<char>(b);
            ++i;
            continue;
        }
        // Two-byte sequences (all of Cyrillic) without the general decoder.
        if (b >= 0xC2 && b <= 0xDF && i + 1 < s.size() && (U8(s[i + 1]) & 0xC0) == 0x80) {
            const uint8_t a = t.fromWide[((b & 0x1Fu) << 6) | (U8(s[i + 1]) & 0x3Fu)];
            dest[n++] = a ? static_cast<char>(a) : '?';
            i += 2;
            continue;
        }
        const uint32_t c = DecodeUTF8(s, i);
        const uint8_t a = c <= 0xFFFF ? t.fromWide[c] : 0;
        dest[n++] = a ? static_cast<char>(a) : '?';
    }
    return n;
}

AnsiString UTF8ToAnsi(std::string_view s) {
    bool ascii = true;
    for (char c : s)
        if (U8(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return AnsiString(s);
    AnsiString r(s.size(), '\0');
    r.resize(UTF8ToAnsiBuf(s, r.data(), r.size()));
    return r;
}

size_t AsciiPrefix(std::string_view s) noexcept {
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    size_t i = 0;
    for (uint64_t word; i + sizeof word <= s.size(); i += sizeof word) {
        std::memcpy(&word, s.data() + i, sizeof word);
        if (word & kHighBits) break;
    }
    while (i < s.size() && U8(s[i]) < 0x80) ++i;
    return i;
}

bool TUTF8Check::Feed(std::string_view s) noexcept {
    for (size_t i = 0; i < s.size() && FValid; ++i) {
        // Between sequences, a run of ASCII needs no look at each byte.
        if (FPending == 0) {
            i += AsciiPrefix(s.substr(i));
            if (i == s.size()) break;
        }
        const uint8_t b = U8(s[i]);
        if (FPending > 0) {
            if ((b & 0xC0) != 0x80) {
                FValid = false;
                break;
            }
            FCode = (FCode << 6) | (b & 0x3F);
            if (--FPending == 0 &&
                ((FLength == 2 && FCode < 0x80) || (FLength == 3 && FCode < 0x800) ||
                 (FLength == 4 && FCode < 0x10000) || (FCode >= 0xD800 && FCode <= 0xDFFF) || FCode > 0x10FFFF))
                FValid = false;
        } else if (b >= 0x80) {
            FNonAscii = true;
            if ((b & 0xE0) == 0xC0) {
                FPending = 1;
                FCode = b & 0x1F;
            } else if ((b & 0xF0) == 0xE0) {
                FPending = 2;
                FCode = b & 0x0F;
            } else if ((b & 0xF8) == 0xF0) {
                FPending = 3;
                FCode = b & 0x07;
            } else {
                FValid = false;
            }
            FLength = FPending + 1;
        }
    }
    return FValid;
}

bool IsValidUTF8(std::string_view s) noexcept {
    TUTF8Check check;
    check.Feed(s);
    return check.Valid();
}

bool IsUTF8Text(std::string_view s) noexcept {
    TUTF8Check check;
    check.Feed(s);
    return check.Valid() && check.SawNonAscii();
}

size_t UTF8CompletePrefix(std::string_view s) noexcept {
    // Look back at most three bytes for the start of the last sequence.
    size_t n = s.size();
    for (size_t back = 1; back <= 4 && back <= n; ++back) {
        uint8_t b = U8(s[n - back]);
        if ((b & 0xC0) == 0x80) continue;  // continuation byte
        size_t len = b < 0x80 ? 1 : (b >= 0xF0 ? 4 : (b >= 0xE0 ? 3 : (b >= 0xC0 ? 2 : 1)));
        return len > back ? n - back : n;
    }
    return n;
}

size_t UTF16CompletePrefix(std::u16string_view s) noexcept {
    if (!s.empty() && s.back() >= 0xD800 && s.back() <= 0xDBFF) return s.size() - 1;
    return s.size();
}

char AnsiUpperChar(char c) noexcept { return T().upper[U8(c)]; }
char AnsiLowerChar(char c) noexcept { return T().lower[U8(c)]; }

AnsiString AnsiUpperCase(std::string_view s) {
    const Tables& t = T();
    AnsiString r(s);
    for (char& c : r) c = t.upper[U8(c)];
    return r;
}

AnsiString AnsiLowerCase(std::string_view s) {
    const Tables& t = T();
    AnsiString r(s);
    for (char& c : r) c = t.lower[U8(c)];
    return r;
}

AnsiString UpperCase(std::string_view s) {
    AnsiString r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

AnsiString LowerCase(std::string_view s) {
    AnsiString r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

char16_t WideUpperChar(char16_t c) noexcept {
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    UChar32 u = u_toupper(c);
    return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

char16_t WideLowerChar(char16_t c) noexcept {
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    UChar32 u = u_tolower(c);
    return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

WideString WideUpperCase(std::u16string_view s) {
    WideString r(s);
    for (char16_t& c : r) c = WideUpperChar(c);
    return r;
}

WideString WideLowerCase(std::u16string_view s) {
    WideString r(s);
    for (char16_t& c : r) c = WideLowerChar(c);
    return r;
}

int CompareStr(std::string_view a, std::string_view b) noexcept { return Sign(a.compare(b)); }

int CompareText(std::string_view a, std::string_view b) noexcept {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        uint8_t x = U8(a[i]), y = U8(b[i]);
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int AnsiCompareStr(std::string_view a, std::string_view b) {
    if (a == b) return 0;
    WideBuf wa(a), wb(b);
    return Collate(wa.View(), wb.View(), false);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    if (a == b) return 0;
    WideBuf wa(a), wb(b);
    return Collate(wa.View(), wb.View(), true);
}

bool AnsiSameStr(std::string_view a, std::string_view b) { return a == b; }

bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

int WideCompareStr(std::u16string_view a, std::u16string_view b) {
    if (a == b) return 0;
    return Collate(a, b, false);
}

int WideCompareText(std::u16string_view a, std::u16string_view b) {
    if (a == b) return 0;
    return Collate(a, b, true);
}

bool WideSameText(std::u16string_view a, std::u16string_view b) { return WideCompareText(a, b) == 0; }

std::string AnsiSortKey(std::string_view s, bool caseInsensitive) {
    WideBuf w(s);
    return SortKey(w.View(), caseInsensitive);
}

std::string WideSortKey(std::u16string_view s, bool caseInsensitive) { return SortKey(s, caseInsensitive); }

}  // namespace rtl
