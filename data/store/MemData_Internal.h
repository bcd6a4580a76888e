// Helpers that the record store's sources share: record bytes read and written without alignment
// assumptions, text read out of record slots, and the messages of name lookups.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "data/store/DAConsts.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"

namespace store::internal {

// Record slots carry no alignment guarantee: values are copied in and out.
template <class T>
T Load(const void* p) noexcept {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}

template <class T>
void Store(void* p, T v) noexcept {
    std::memcpy(p, &v, sizeof(T));
}

inline size_t WideLen(const char16_t* s) noexcept {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// Zero-terminated UTF-16 text at an address of any alignment, at most maxLen characters.
inline rtl::WideString WideFromPtr(const void* p, size_t maxLen = SIZE_MAX) {
    rtl::WideString s;
    if (!p) return s;
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < maxLen; ++i) {
        const auto c = Load<char16_t>(b + i * 2);
        if (c == 0) break;
        s.push_back(c);
    }
    return s;
}

// Trailing characters up to and including blank go.
template <class S>
void TrimControlTail(S& s) {
    while (!s.empty() &&
           static_cast<uint32_t>(static_cast<std::make_unsigned_t<typename S::value_type>>(s.back())) <= 32)
        s.pop_back();
}

// The text of a quoted literal with each doubled single quote reduced to one.
inline rtl::AnsiString UndoubleQuotes(std::string_view s) {
    rtl::AnsiString r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        r.push_back(s[i]);
        if (s[i] == '\'' && i + 1 < s.size() && s[i + 1] == '\'') ++i;
    }
    return r;
}

// "Field %s not found".
[[noreturn]] inline void FieldNotFound(std::string_view Name) {
    rtl::AnsiString msg = SFieldNotFound;
    msg.replace(msg.find("%s"), 2, Name);
    throw rtl::Exception(msg);
}

}  // namespace store::internal
