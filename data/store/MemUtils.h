// Small routines the record store leans on: time stamps, variant equality for keys and
// parameters, buffers, zero-terminated UTF-16 text, locale-aware comparison and the compressor
// pair through which compressed blobs reach zlib.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"
#include "framework/rtl/Variant.h"

namespace store {

// zlib failures: the direction's class with "Error", or EZlibError when the target was too small.
using EZlibErrorBase = rtl::Exception;
RTL_DECLARE_EXCEPTION(EZlibError, EZlibErrorBase);
RTL_DECLARE_EXCEPTION(ECompressionError, EZlibError);
RTL_DECLARE_EXCEPTION(EDecompressionError, EZlibError);

// Never a Windows 9x family system here: the UTF-16 comparisons are always available.
inline constexpr bool IsWin9x = false;

// --- time stamps ---
// EConvertError "'%d.%d' is not a valid timestamp" for a negative time or a day number below 1.
void ValidateTimeStamp(const rtl::TTimeStamp& timeStamp);
rtl::TDateTime ValidTimeStampToDateTime(const rtl::TTimeStamp& timeStamp);

// --- variants ---
// Equality of key and parameter values: wide and ANSI text exactly, Null only with Null, an empty
// string only with an empty string, byte arrays by their bytes.
bool VarsEqual(const rtl::Variant& v1, const rtl::Variant& v2);

// --- buffers ---
// Overlapping ranges are allowed.
void CopyBuffer(const void* source, void* dest, size_t count) noexcept;
// From a string's characters: count bytes, at most the text and its terminator.
void CopyBuffer(const rtl::AnsiString& source, void* dest, size_t count);
void CopyBuffer(const rtl::WideString& source, void* dest, size_t count);
void FillBuffer(void* dest, size_t count, uint8_t value) noexcept;

// --- shared-object handles: the reference kept in record buffers is the object itself ---
inline void* ObjectToHandle(void* obj) noexcept { return obj; }
inline void* HandleToObject(void* handle) noexcept { return handle; }
inline void FreeObjectHandle(void*) noexcept {}
inline void ReleaseStringHandle(void*) noexcept {}

// --- zero-terminated UTF-16 and ANSI text ---
// Copies up to maxLen characters or to the source's zero, then writes a zero; returns dest.
char16_t* WideStrLCopy(char16_t* dest, const char16_t* source, size_t maxLen) noexcept;
size_t WideStrLen(const char16_t* s) noexcept;
// From position len - 1 (len -1: the text's own length) towards the start, overwrites blanks and
// zeros with zeros until another character is met.
void AnsiTrimTrailing(char* s, int len = -1) noexcept;
void WideTrimTrailing(char16_t* s, int len = -1) noexcept;

// --- locale-aware comparison (Russian collation; -1, 0, 1) ---
// ANSI, zero-terminated.
int LocaleCompareStrPChar(const char* s1, const char* s2);
int LocaleCompareTextPChar(const char* s1, const char* s2);
// ANSI with explicit lengths.
int LocaleCompareStr(const char* s1, size_t len1, const char* s2, size_t len2);
int LocaleCompareText(const char* s1, size_t len1, const char* s2, size_t len2);
// UTF-16, both texts taken with count characters.
int LocaleCompareStrWN(const char16_t* s1, const char16_t* s2, size_t count);
int LocaleCompareTextWN(const char16_t* s1, const char16_t* s2, size_t count);
// UTF-16, zero-terminated.
int LocaleCompareStrW(const char16_t* s1, const char16_t* s2);
int LocaleCompareTextW(const char16_t* s1, const char16_t* s2);

// --- compression ---
// Dest receives at most destLen bytes; destLen then holds the number written.
using TCompressProc = void (*)(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen);
// Installed with the zlib routines below; nullptr means not linked.
extern TCompressProc CompressProc;
extern TCompressProc UncompressProc;

void CheckCompressorLinked();
void DoCompress(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen);
void DoUncompress(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen);

// One deflate call at zlib's default level; one inflate call.
void ZlibCompress(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen);
void ZlibUncompress(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen);

}  // namespace store
