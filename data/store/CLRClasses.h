// Byte arrays and raw memory, text encodings and growable string builders: the one place where
// text crosses between UTF-16, UTF-8 and code pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"

namespace store {

using rtl::AnsiString;
using rtl::TBytes;
using rtl::WideString;

using TAnsiCharArray = std::vector<char>;
using TWideCharArray = std::vector<char16_t>;

// A text encoding. The base class is the process's ANSI code page (1251): its bytes are the text.
// Indexes and counts are 0-based and in characters of the source text or in bytes of the array;
// a range outside the text or array raises ERangeError.
class Encoding : public rtl::TObject {
    RTL_CLASS(Encoding, rtl::TObject)
public:
    Encoding() = default;

    virtual TBytes AnsiToBytes(const AnsiString& chars) const;
    virtual int AnsiToBytesAt(const AnsiString& chars, int charIndex, int charCount, TBytes& bytes,
                              int byteIndex) const;
    virtual TBytes WideToBytes(const WideString& chars) const;
    virtual int WideToBytesAt(const WideString& chars, int charIndex, int charCount, TBytes& bytes,
                              int byteIndex) const;
    virtual AnsiString BytesToAnsi(const TBytes& bytes) const;
    virtual AnsiString BytesToAnsiAt(const TBytes& bytes, int index, int count) const;
    virtual WideString BytesToWide(const TBytes& bytes) const;
    virtual WideString BytesToWideAt(const TBytes& bytes, int index, int count) const;
    virtual int MaxByteCount(int charCount) const;

    // The number of leading bytes of bytes[index, index + count) that form whole characters. A
    // reader that decodes a stream block by block decodes that many and carries the rest into the
    // next block, so a character split by the block boundary is not corrupted.
    virtual int CompleteByteCount(const TBytes& bytes, int index, int count) const;

    // Shared instances, alive for the whole process.
    static const Encoding* AnsiInstance();
    static const Encoding* UnicodeInstance();
    static const Encoding* Utf8Instance();
};

// UTF-16, low byte first.
class UnicodeEncoding : public Encoding {
    RTL_CLASS(UnicodeEncoding, Encoding)
public:
    TBytes AnsiToBytes(const AnsiString& chars) const override;
    int AnsiToBytesAt(const AnsiString& chars, int charIndex, int charCount, TBytes& bytes,
                      int byteIndex) const override;
    TBytes WideToBytes(const WideString& chars) const override;
    int WideToBytesAt(const WideString& chars, int charIndex, int charCount, TBytes& bytes,
                      int byteIndex) const override;
    AnsiString BytesToAnsiAt(const TBytes& bytes, int index, int count) const override;
    WideString BytesToWideAt(const TBytes& bytes, int index, int count) const override;
    int MaxByteCount(int charCount) const override;
    int CompleteByteCount(const TBytes& bytes, int index, int count) const override;
};

// UTF-8. The positioned encoders are not available.
class UTF8Encoding : public Encoding {
    RTL_CLASS(UTF8Encoding, Encoding)
public:
    TBytes AnsiToBytes(const AnsiString& chars) const override;
    int AnsiToBytesAt(const AnsiString& chars, int charIndex, int charCount, TBytes& bytes,
                      int byteIndex) const override;
    TBytes WideToBytes(const WideString& chars) const override;
    int WideToBytesAt(const WideString& chars, int charIndex, int charCount, TBytes& bytes,
                      int byteIndex) const override;
    AnsiString BytesToAnsiAt(const TBytes& bytes, int index, int count) const override;
    WideString BytesToWideAt(const TBytes& bytes, int index, int count) const override;
    int MaxByteCount(int charCount) const override;
    int CompleteByteCount(const TBytes& bytes, int index, int count) const override;
};

// An encoding by Windows code-page number: 1251 (and 0, the ANSI code page), 1200 (UTF-16LE),
// 1201 (UTF-16BE) and 65001 (UTF-8). Any other code page raises EOSError when used.
class CodePageEncoding : public Encoding {
    RTL_CLASS(CodePageEncoding, Encoding)
public:
    explicit CodePageEncoding(int codePage) : FCodePage(codePage) {}
    int CodePage() const noexcept { return FCodePage; }

    TBytes AnsiToBytes(const AnsiString& chars) const override;
    int AnsiToBytesAt(const AnsiString& chars, int charIndex, int charCount, TBytes& bytes,
                      int byteIndex) const override;
    TBytes WideToBytes(const WideString& chars) const override;
    int WideToBytesAt(const WideString& chars, int charIndex, int charCount, TBytes& bytes,
                      int byteIndex) const override;
    AnsiString BytesToAnsiAt(const TBytes& bytes, int index, int count) const override;
    WideString BytesToWideAt(const TBytes& bytes, int index, int count) const override;
    int MaxByteCount(int charCount) const override;
    int CompleteByteCount(const TBytes& bytes, int index, int count) const override;

private:
    int FCodePage;
};

class BitConverter {
public:
    static int64_t DoubleBitsToInt64(double value) noexcept;
};

// Raw memory. Pointer slots are 8 bytes; multi-byte values are written little-endian as in memory.
class Marshal {
public:
    // Not cleared; nullptr for 0 bytes. Raises EOutOfMemory when the memory manager refuses.
    static void* AllocMem(size_t size);
    // Size 0 frees the block and returns nullptr.
    static void* ReallocMem(void* block, size_t size);
    static void FreeMem(void* block) noexcept;

    static uint8_t ReadByte(const void* p, ptrdiff_t offset) noexcept;
    static void WriteByte(void* p, ptrdiff_t offset, uint8_t value) noexcept;
    static void WriteInt16(void* p, int16_t value) noexcept;
    static void WriteInt16At(void* p, ptrdiff_t offset, int16_t value) noexcept;
    static void WriteInt32(void* p, int32_t value) noexcept;
    static void WriteInt32At(void* p, ptrdiff_t offset, int32_t value) noexcept;
    static void WriteInt64(void* p, int64_t value) noexcept;
    static int32_t ReadInt32(const void* p, ptrdiff_t offset) noexcept;
    static void WritePointer(void* p, const void* value) noexcept;

    // Zero-terminated text when length <= 0 (empty for nullptr), else exactly length bytes or
    // characters.
    static AnsiString PointerToAnsi(const void* p, int length = 0);
    static WideString PointerToWide(const void* p, int length = 0);
    // The text's own characters, zero-terminated; no copy.
    static const char* StringToPointer(const AnsiString& text) noexcept { return text.c_str(); }
    static const char16_t* StringToPointer(const WideString& text) noexcept { return text.c_str(); }
    static void ReleaseStringPointer(const void*) noexcept {}
    // Copies count bytes of source to destination + destinationOffset; source must hold them.
    static void CopyToPointer(const TBytes& source, void* destination, int count, ptrdiff_t destinationOffset = 0);
};

// Byte copies between byte arrays, character arrays and raw memory. Offsets and counts are in
// bytes; array ranges are checked (ERangeError), overlapping ranges are allowed.
class Buffer {
public:
    static void CopyBytes(const TBytes& source, int sourceOffset, TBytes& destination, int destinationOffset,
                          int count);
    static void CopyBytes2(const TBytes& source, int sourceOffset, void* destination, int destinationOffset, int count);
    static void CopyBytes3(const void* source, int sourceOffset, TBytes& destination, int destinationOffset, int count);
    static void CopyBytes4(const TAnsiCharArray& source, int sourceOffset, TBytes& destination, int destinationOffset,
                           int count);
    static void CopyBytes5(const TBytes& source, int sourceOffset, TAnsiCharArray& destination, int destinationOffset,
                           int count);
    static void CopyBytes6(const TWideCharArray& source, int sourceOffset, TBytes& destination, int destinationOffset,
                           int count);
    static void CopyBytes7(const void* source, int sourceOffset, void* destination, int destinationOffset, int count);
    static void SetByte(TBytes& array, int index, uint8_t value);
};

// A growable ANSI text buffer.
class AnsiStringBuilder {
public:
    explicit AnsiStringBuilder(int capacity);

    void Append(const AnsiString& text);
    void AppendChar(char c);
    // Sets the used length; growing exposes unspecified characters.
    void SetLength(int length);
    AnsiString GetText() const { return AnsiString(FString.data(), static_cast<size_t>(FActualLength)); }

    int Length() const noexcept { return FActualLength; }
    int Capacity() const noexcept { return static_cast<int>(FString.size()); }

private:
    TAnsiCharArray FString;
    int FActualLength = 0;
};

// A growable UTF-16 text buffer.
class WideStringBuilder {
public:
    explicit WideStringBuilder(int capacity);
    WideStringBuilder(const WideString& text, int capacity);

    void Append(const WideString& text);
    WideString GetText() const { return WideString(FString.data(), static_cast<size_t>(FActualLength)); }
    // Replaces every occurrence of oldValue, left to right; inserted text is not searched again.
    // An empty oldValue replaces nothing.
    void Replace(const WideString& oldValue, const WideString& newValue);

    int Length() const noexcept { return FActualLength; }
    int Capacity() const noexcept { return static_cast<int>(FString.size()); }

private:
    TWideCharArray FString;
    int FActualLength = 0;
};

}  // namespace store
