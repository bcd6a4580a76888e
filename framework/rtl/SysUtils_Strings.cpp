#include "framework/rtl/SysUtils.h"

#include <algorithm>

#include "framework/rtl/SysUtils_Internal.h"
#include "framework/rtl/Text.h"

namespace rtl {

using namespace sysutils_detail;

// --- strings ---------------------------------------------------------------------------------

AnsiString Trim(std::string_view s) { return AnsiString(TrimEnds(s, true, true)); }
AnsiString TrimLeft(std::string_view s) { return AnsiString(TrimEnds(s, true, false)); }
AnsiString TrimRight(std::string_view s) { return AnsiString(TrimEnds(s, false, true)); }
WideString Trim(std::u16string_view s) { return WideString(TrimEnds(s, true, true)); }
WideString TrimLeft(std::u16string_view s) { return WideString(TrimEnds(s, true, false)); }
WideString TrimRight(std::u16string_view s) { return WideString(TrimEnds(s, false, true)); }

AnsiString QuotedStr(std::string_view s) { return AnsiQuotedStr(s, '\''); }

AnsiString AnsiQuotedStr(std::string_view s, char quote) {
    AnsiString r;
    r.reserve(s.size() + 2);
    r.push_back(quote);
    for (char c : s) {
        r.push_back(c);
        if (c == quote) r.push_back(quote);
    }
    r.push_back(quote);
    return r;
}

AnsiString AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote) {
    if (pos >= s.size() || s[pos] != quote) return {};
    AnsiString r;
    size_t i = pos + 1;
    while (i < s.size()) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                r.push_back(quote);
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        r.push_back(s[i]);
        ++i;
    }
    pos = i;
    return r;
}

AnsiString AnsiDequotedStr(std::string_view s, char quote) {
    size_t pos = 0;
    if (s.empty() || s[0] != quote) return AnsiString(s);
    AnsiString r = AnsiExtractQuotedStr(s, pos, quote);
    // Text after the closing quote means the whole was not one quoted text.
    if (pos != s.size() || s.size() < 2 || s.back() != quote) return AnsiString(s);
    return r;
}

namespace {

template <class C, class Upper>
std::basic_string<C> ReplaceText(std::basic_string_view<C> s, std::basic_string_view<C> oldPattern,
                                 std::basic_string_view<C> newPattern, TReplaceFlags flags, Upper upper) {
    using String = std::basic_string<C>;
    if (oldPattern.empty()) return String(s);
    const bool ic = (flags & rfIgnoreCase) != 0;
    const String hay = ic ? upper(s) : String(s);
    const String needle = ic ? upper(oldPattern) : String(oldPattern);
    String r;
    size_t pos = 0;
    while (true) {
        const size_t f = hay.find(needle, pos);
        if (f == String::npos) break;
        r.append(s.substr(pos, f - pos));
        r.append(newPattern);
        pos = f + needle.size();
        if (!(flags & rfReplaceAll)) break;
    }
    r.append(s.substr(pos));
    return r;
}

template <class C>
int FindPos(std::basic_string_view<C> sub, std::basic_string_view<C> s, int offset) {
    if (sub.empty() || offset < 1 || static_cast<size_t>(offset) > s.size()) return 0;
    const size_t f = s.find(sub, offset - 1);
    return f == std::basic_string_view<C>::npos ? 0 : static_cast<int>(f) + 1;
}

template <class C>
std::basic_string<C> CopyText(std::basic_string_view<C> s, int index, int count) {
    if (index < 1) index = 1;
    if (count <= 0 || static_cast<size_t>(index) > s.size()) return {};
    return std::basic_string<C>(s.substr(index - 1, count));
}

}  // namespace

AnsiString StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                         TReplaceFlags flags) {
    return ReplaceText(s, oldPattern, newPattern, flags, [](std::string_view t) { return AnsiUpperCase(t); });
}

WideString StringReplace(std::u16string_view s, std::u16string_view oldPattern, std::u16string_view newPattern,
                         TReplaceFlags flags) {
    return ReplaceText(s, oldPattern, newPattern, flags, [](std::u16string_view t) { return WideUpperCase(t); });
}

int Pos(std::string_view sub, std::string_view s, int offset) { return FindPos(sub, s, offset); }
int Pos(std::u16string_view sub, std::u16string_view s, int offset) { return FindPos(sub, s, offset); }
AnsiString Copy(std::string_view s, int index, int count) { return CopyText(s, index, count); }
WideString Copy(std::u16string_view s, int index, int count) { return CopyText(s, index, count); }

AnsiString StringOfChar(char c, int count) { return count > 0 ? AnsiString(count, c) : AnsiString(); }

bool StartsText(std::string_view sub, std::string_view s) {
    return sub.size() <= s.size() && AnsiSameText(s.substr(0, sub.size()), sub);
}
bool EndsText(std::string_view sub, std::string_view s) {
    return sub.size() <= s.size() && AnsiSameText(s.substr(s.size() - sub.size()), sub);
}
bool StartsStr(std::string_view sub, std::string_view s) { return s.substr(0, sub.size()) == sub; }
bool EndsStr(std::string_view sub, std::string_view s) {
    return sub.size() <= s.size() && s.substr(s.size() - sub.size()) == sub;
}

AnsiString BytesToHex(const uint8_t* data, size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    AnsiString r;
    r.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        r.push_back(digits[data[i] >> 4]);
        r.push_back(digits[data[i] & 15]);
    }
    return r;
}

bool HexToBytes(std::string_view hex, TBytes& out) {
    if (hex.size() % 2) return false;
    TBytes r;
    r.reserve(hex.size() / 2);
    auto val = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int a = val(hex[i]), b = val(hex[i + 1]);
        if (a < 0 || b < 0) return false;
        r.push_back(static_cast<uint8_t>(a * 16 + b));
    }
    out = std::move(r);
    return true;
}

}  // namespace rtl
