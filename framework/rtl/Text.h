// Code pages, case mapping and locale-aware comparison.
//
// AnsiString holds code page 1251. Conversions: 1251 <-> UTF-16 by table (byte 0x98, which has no
// character in 1251, maps to U+0098 and back, so every byte survives a round trip); UTF-16 <-> UTF-8
// with invalid sequences replaced by U+FFFD; characters that 1251 lacks become '?'.
// Locale-aware comparison uses an ICU collator for Russian; results are -1, 0 or 1.
#pragma once

#include <string_view>

#include "framework/rtl/Types.h"

namespace rtl {

// --- code pages ---
char16_t AnsiCharToWide(char c) noexcept;
// '?' when the character has no 1251 byte.
char WideCharToAnsi(char16_t c) noexcept;
// True when the character has a 1251 byte.
bool WideCharInAnsi(char16_t c) noexcept;

WideString AnsiToWide(std::string_view s);
AnsiString WideToAnsi(std::u16string_view s);
UTF8String WideToUTF8(std::u16string_view s);
WideString UTF8ToWide(std::string_view s);
UTF8String AnsiToUTF8(std::string_view s);
AnsiString UTF8ToAnsi(std::string_view s);
// For u8"" literals: Cyrillic in source text is UTF-8 and becomes 1251 here.
inline AnsiString UTF8ToAnsi(std::u8string_view s) {
    return UTF8ToAnsi(std::string_view(reinterpret_cast<const char*>(s.data()), s.size()));
}
inline WideString UTF8ToWide(std::u8string_view s) {
    return UTF8ToWide(std::string_view(reinterpret_cast<const char*>(s.data()), s.size()));
}

// Decodes UTF-8 straight into 1251 bytes without an intermediate UTF-16 string: at most maxLen
// bytes are written; returns how many. Used where fetched text is copied into record buffers.
size_t UTF8ToAnsiBuf(std::string_view s, char* dest, size_t maxLen) noexcept;

// Checks UTF-8 a piece at a time, so that a stream can be read in blocks. Valid means what
// UTF8ToWide decodes without a replacement character (no overlong form, surrogate or value past
// U+10FFFF), so that valid text comes back byte for byte from WideToUTF8.
class TUTF8Check {
public:
    // False from the first byte that cannot be UTF-8 on.
    bool Feed(std::string_view s) noexcept;
    // Valid so far and no sequence cut by the end.
    bool Valid() const noexcept { return FValid && FPending == 0; }
    bool SawNonAscii() const noexcept { return FNonAscii; }

private:
    bool FValid = true;
    bool FNonAscii = false;
    int FPending = 0;  // continuation bytes still expected
    int FLength = 0;   // bytes of the sequence being read
    uint32_t FCode = 0;
};

bool IsValidUTF8(std::string_view s) noexcept;
// Length of the leading run of ASCII bytes (all of s when it is plain ASCII); read a word at a
// time, as statements and script files are nearly always ASCII.
size_t AsciiPrefix(std::string_view s) noexcept;
inline bool IsAscii(std::string_view s) noexcept { return AsciiPrefix(s) == s.size(); }
// Valid UTF-8 with at least one character past ASCII: how a text file without a byte-order mark
// is told from single-byte text (Cyrillic in 1251 never passes, its letters are no UTF-8
// sequences).
bool IsUTF8Text(std::string_view s) noexcept;

// Length of a complete UTF-8 prefix of s: a multi-byte sequence cut by the end is left out, so a
// block reader can carry it into the next block.
size_t UTF8CompletePrefix(std::string_view s) noexcept;
// Likewise for UTF-16: a high surrogate at the very end is left out.
size_t UTF16CompletePrefix(std::u16string_view s) noexcept;

// --- case mapping (1251 tables; ASCII-only forms for UpperCase/LowerCase) ---
char AnsiUpperChar(char c) noexcept;
char AnsiLowerChar(char c) noexcept;
AnsiString AnsiUpperCase(std::string_view s);
AnsiString AnsiLowerCase(std::string_view s);
AnsiString UpperCase(std::string_view s);
AnsiString LowerCase(std::string_view s);
char16_t WideUpperChar(char16_t c) noexcept;
char16_t WideLowerChar(char16_t c) noexcept;
WideString WideUpperCase(std::u16string_view s);
WideString WideLowerCase(std::u16string_view s);

// --- comparison ---
// Ordinal byte comparison; the Text form folds ASCII letters only.
int CompareStr(std::string_view a, std::string_view b) noexcept;
int CompareText(std::string_view a, std::string_view b) noexcept;
bool SameText(std::string_view a, std::string_view b) noexcept;
// Russian collation, case-sensitive (Str) and case-insensitive (Text).
int AnsiCompareStr(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
int WideCompareStr(std::u16string_view a, std::u16string_view b);
int WideCompareText(std::u16string_view a, std::u16string_view b);
bool WideSameText(std::u16string_view a, std::u16string_view b);

// A byte string whose ordinal order equals the collation order of the text; computed once per
// value it makes sorting many rows cheap.
std::string AnsiSortKey(std::string_view s, bool caseInsensitive);
std::string WideSortKey(std::u16string_view s, bool caseInsensitive);

}  // namespace rtl
