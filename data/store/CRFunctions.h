// Packed-decimal digit tests, GUID parsing, ANSI text wrappers, UTF-8 conversions and the class
// test by name that also holds for objects made by another module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Types.h"
#include "framework/rtl/Variant.h"

namespace store {

using rtl::AnsiString;
using rtl::UTF8String;
using rtl::WideString;

// --- packed decimals ---
// Digits from the first to the last non-zero digit; lastDigitByte (when given) receives the index
// in Fraction of the byte holding the last counted digit, -1 for zero.
int BcdSignificantDigits(const rtl::TBcd& bcd, int* lastDigitByte = nullptr) noexcept;
// Decimal places left after dropping trailing zero fraction digits.
int BcdActualScale(const rtl::TBcd& bcd) noexcept;
bool BcdIsInteger(const rtl::TBcd& bcd) noexcept;

// --- GUIDs ---
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; false, and guid untouched, on anything else.
bool TryStrToGuid(std::string_view text, rtl::TGUID& guid) noexcept;

// --- ANSI text (1251, Russian collation) ---
AnsiString LowerCaseAnsi(std::string_view s);
AnsiString UpperCaseAnsi(std::string_view s);
int CompareTextAnsi(std::string_view s1, std::string_view s2);
bool SameTextAnsi(std::string_view s1, std::string_view s2);
// Wraps in quote and doubles every quote inside.
AnsiString QuotedStrAnsi(std::string_view s, char quote);
// Takes a quoted text off its quotes, undoubling the quotes inside; a text that does not start
// with the quote comes back as it is.
AnsiString DequotedStrAnsi(std::string_view s, char quote);
inline AnsiString VarToStrAnsi(const rtl::Variant& v) { return rtl::VarToStr(v); }
inline AnsiString FormatAnsi(std::string_view fmt, std::initializer_list<rtl::TVarRec> args) {
    return rtl::Format(fmt, args);
}

// --- UTF-8 ---
// Converts chars characters of source into dest, which holds maxBytes bytes, and writes a zero
// after them. A full buffer keeps its last byte for the zero, and a sequence that does not fit is
// left out whole. Returns the bytes written with the zero; 0 for a null source; for a null dest,
// the bytes needed with the zero.
size_t WideToUtf8Buffer(char* dest, size_t maxBytes, const char16_t* source, size_t chars);
// The same from bytes UTF-8 bytes into maxChars UTF-16 characters; a surrogate pair that does not
// fit is left out whole.
size_t Utf8ToWideBuffer(char16_t* dest, size_t maxChars, const char* source, size_t bytes);
UTF8String WideToUtf8(std::u16string_view text);
WideString Utf8ToWide(std::string_view text);
UTF8String AnsiToUtf8Text(std::string_view text);
AnsiString Utf8ToAnsiText(std::string_view text);

// --- pointers and numbers ---
inline void* PointerOffset(void* p, ptrdiff_t n) noexcept { return static_cast<uint8_t*>(p) + n; }
inline const void* PointerOffset(const void* p, ptrdiff_t n) noexcept { return static_cast<const uint8_t*>(p) + n; }
inline int CompareUInt32(uint32_t a, uint32_t b) noexcept { return a < b ? -1 : (a > b ? 1 : 0); }

// --- class test by name ---
// An object may come from another module whose class identities differ from ours, so the class
// and its ancestors are matched by name. False for null.
bool IsClassByName(const rtl::Exception* e, std::string_view className) noexcept;
template <class E>
bool IsClassByName(const rtl::Exception* e) {
    return IsClassByName(e, E(AnsiString()).ClassName());
}
inline bool IsClassByNameChain(const rtl::TObject* obj, std::string_view className) {
    return obj && obj->IsClassByName(className);
}
inline bool IsClassByName(const rtl::TObject* obj, const rtl::ClassRef* cls) {
    return cls && IsClassByNameChain(obj, cls->ClassName());
}

}  // namespace store
