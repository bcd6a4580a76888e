#include "data/store/CLRClasses.h"

#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "data/store/DAConsts.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

namespace {

constexpr const char* kUnit = "CLRClasses";

// Windows error codes the code-page conversions report.
constexpr int kErrorInvalidParameter = 87;
constexpr int kErrorInsufficientBuffer = 122;

[[noreturn]] void RaiseRangeError() { throw rtl::ERangeError("Range check error"); }

[[noreturn]] void RaiseOSError(int code) {
    const char* text = code == kErrorInsufficientBuffer ? "The data area passed to a system call is too small."
                                                        : "The parameter is incorrect.";
    throw rtl::EOSError("System Error.  Code: " + std::to_string(code) + ".\n" + text);
}

// [index, index + count) must lie inside a sequence of size elements.
void CheckSpan(int64_t index, int64_t count, size_t size) {
    if (index < 0 || count < 0 || index + count > static_cast<int64_t>(size)) RaiseRangeError();
}

// A negative count is a range error; a byte count past int is an overflowing conversion.
int CheckedCount(int64_t n) {
    if (n < 0) RaiseRangeError();
    return rtl::CheckedInt32(n);
}

std::string_view ByteView(const TBytes& bytes, int index, int count) {
    CheckSpan(index, count, bytes.size());
    return {reinterpret_cast<const char*>(bytes.data()) + index, static_cast<size_t>(count)};
}

// Writes src into bytes at byteIndex; the array must have room.
int PutBytes(const void* src, size_t n, TBytes& bytes, int byteIndex) {
    CheckSpan(byteIndex, static_cast<int64_t>(n), bytes.size());
    if (n) std::memcpy(bytes.data() + byteIndex, src, n);
    return static_cast<int>(n);
}

TBytes Utf16Bytes(std::u16string_view s, bool bigEndian) {
    TBytes out(s.size() * 2);
    for (size_t i = 0; i < s.size(); ++i) {
        uint8_t lo = static_cast<uint8_t>(s[i] & 0xFF), hi = static_cast<uint8_t>(s[i] >> 8);
        out[2 * i] = bigEndian ? hi : lo;
        out[2 * i + 1] = bigEndian ? lo : hi;
    }
    return out;
}

WideString Utf16Text(std::string_view b, bool bigEndian) {
    WideString out(b.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i) {
        auto b0 = static_cast<uint8_t>(b[2 * i]), b1 = static_cast<uint8_t>(b[2 * i + 1]);
        out[i] = bigEndian ? static_cast<char16_t>(b0 << 8 | b1) : static_cast<char16_t>(b1 << 8 | b0);
    }
    return out;
}

// Bytes of s that form whole UTF-16 characters: an odd byte and a high surrogate waiting for its
// partner stay out.
size_t Utf16CompleteBytes(std::string_view b, bool bigEndian) {
    size_t n = b.size() & ~size_t(1);
    if (n >= 2) {
        auto b0 = static_cast<uint8_t>(b[n - 2]), b1 = static_cast<uint8_t>(b[n - 1]);
        char16_t last = bigEndian ? static_cast<char16_t>(b0 << 8 | b1) : static_cast<char16_t>(b1 << 8 | b0);
        if (last >= 0xD800 && last <= 0xDBFF) n -= 2;
    }
    return n;
}

bool IsAnsiCodePage(int cp) { return cp == 0 || cp == 1251; }

TBytes WideToCodePage(int cp, std::u16string_view s) {
    if (IsAnsiCodePage(cp)) {
        AnsiString a = rtl::WideToAnsi(s);
        return TBytes(a.begin(), a.end());
    }
    if (cp == 1200 || cp == 1201) return Utf16Bytes(s, cp == 1201);
    if (cp == 65001) {
        std::string u = rtl::WideToUTF8(s);
        return TBytes(u.begin(), u.end());
    }
    RaiseOSError(kErrorInvalidParameter);
}

WideString CodePageToWide(int cp, std::string_view b) {
    if (IsAnsiCodePage(cp)) return rtl::AnsiToWide(b);
    if (cp == 1200 || cp == 1201) return Utf16Text(b, cp == 1201);
    if (cp == 65001) return rtl::UTF8ToWide(b);
    RaiseOSError(kErrorInvalidParameter);
}

}  // namespace

// --- Encoding (ANSI) ---

TBytes Encoding::AnsiToBytes(const AnsiString& chars) const { return TBytes(chars.begin(), chars.end()); }

int Encoding::AnsiToBytesAt(const AnsiString& chars, int charIndex, int charCount, TBytes& bytes, int byteIndex) const {
    CheckSpan(charIndex, charCount, chars.size());
    return PutBytes(chars.data() + charIndex, static_cast<size_t>(charCount), bytes, byteIndex);
}

TBytes Encoding::WideToBytes(const WideString& chars) const { return AnsiToBytes(rtl::WideToAnsi(chars)); }

int Encoding::WideToBytesAt(const WideString& chars, int charIndex, int charCount, TBytes& bytes, int byteIndex) const {
    CheckSpan(charIndex, charCount, chars.size());
    AnsiString a = rtl::WideToAnsi(std::u16string_view(chars).substr(charIndex, charCount));
    return PutBytes(a.data(), a.size(), bytes, byteIndex);
}

AnsiString Encoding::BytesToAnsi(const TBytes& bytes) const {
    return BytesToAnsiAt(bytes, 0, static_cast<int>(bytes.size()));
}

AnsiString Encoding::BytesToAnsiAt(const TBytes& bytes, int index, int count) const {
    return AnsiString(ByteView(bytes, index, count));
}

WideString Encoding::BytesToWide(const TBytes& bytes) const {
    return BytesToWideAt(bytes, 0, static_cast<int>(bytes.size()));
}

WideString Encoding::BytesToWideAt(const TBytes& bytes, int index, int count) const {
    return rtl::AnsiToWide(ByteView(bytes, index, count));
}

int Encoding::MaxByteCount(int charCount) const { return CheckedCount(charCount); }

int Encoding::CompleteByteCount(const TBytes& bytes, int index, int count) const {
    CheckSpan(index, count, bytes.size());
    return count;
}

const Encoding* Encoding::AnsiInstance() {
    static const Encoding instance;
    return &instance;
}

const Encoding* Encoding::UnicodeInstance() {
    static const UnicodeEncoding instance;
    return &instance;
}

const Encoding* Encoding::Utf8Instance() {
    static const UTF8Encoding instance;
    return &instance;
}

// --- UnicodeEncoding ---

TBytes UnicodeEncoding::AnsiToBytes(const AnsiString& chars) const { return WideToBytes(rtl::AnsiToWide(chars)); }

int UnicodeEncoding::AnsiToBytesAt(const AnsiString& chars, int charIndex, int charCount, TBytes& bytes,
                                   int byteIndex) const {
    CheckSpan(charIndex, charCount, chars.size());
    WideString w = rtl::AnsiToWide(std::string_view(chars).substr(charIndex, charCount));
    return WideToBytesAt(w, 0, static_cast<int>(w.size()), bytes, byteIndex);
}

TBytes UnicodeEncoding::WideToBytes(const WideString& chars) const { return Utf16Bytes(chars, false); }

int UnicodeEncoding::WideToBytesAt(const WideString& chars, int charIndex, int charCount, TBytes& bytes,
                                   int byteIndex) const {
    CheckSpan(charIndex, charCount, chars.size());
    TBytes b = Utf16Bytes(std::u16string_view(chars).substr(charIndex, charCount), false);
    return PutBytes(b.data(), b.size(), bytes, byteIndex);
}

AnsiString UnicodeEncoding::BytesToAnsiAt(const TBytes& bytes, int index, int count) const {
    return rtl::WideToAnsi(BytesToWideAt(bytes, index, count));
}

WideString UnicodeEncoding::BytesToWideAt(const TBytes& bytes, int index, int count) const {
    return Utf16Text(ByteView(bytes, index, count), false);
}

int UnicodeEncoding::MaxByteCount(int charCount) const { return CheckedCount(int64_t(charCount) * 2); }

int UnicodeEncoding::CompleteByteCount(const TBytes& bytes, int index, int count) const {
    return static_cast<int>(Utf16CompleteBytes(ByteView(bytes, index, count), false));
}

// --- UTF8Encoding ---

TBytes UTF8Encoding::AnsiToBytes(const AnsiString& chars) const {
    std::string u = rtl::AnsiToUTF8(chars);
    return TBytes(u.begin(), u.end());
}

int UTF8Encoding::AnsiToBytesAt(const AnsiString&, int, int, TBytes&, int) const {
    rtl::AssertFail(SNotImplemented, kUnit, __LINE__);
}

TBytes UTF8Encoding::WideToBytes(const WideString& chars) const {
    std::string u = rtl::WideToUTF8(chars);
    return TBytes(u.begin(), u.end());
}

int UTF8Encoding::WideToBytesAt(const WideString&, int, int, TBytes&, int) const {
    rtl::AssertFail(SNotImplemented, kUnit, __LINE__);
}

AnsiString UTF8Encoding::BytesToAnsiAt(const TBytes& bytes, int index, int count) const {
    return rtl::WideToAnsi(BytesToWideAt(bytes, index, count));
}

WideString UTF8Encoding::BytesToWideAt(const TBytes& bytes, int index, int count) const {
    return rtl::UTF8ToWide(ByteView(bytes, index, count));
}

int UTF8Encoding::MaxByteCount(int charCount) const { return CheckedCount(int64_t(charCount) * 3); }

int UTF8Encoding::CompleteByteCount(const TBytes& bytes, int index, int count) const {
    return static_cast<int>(rtl::UTF8CompletePrefix(ByteView(bytes, index, count)));
}

// --- CodePageEncoding ---

TBytes CodePageEncoding::AnsiToBytes(const AnsiString& chars) const { return WideToBytes(rtl::AnsiToWide(chars)); }

int CodePageEncoding::AnsiToBytesAt(const AnsiString& chars, int charIndex, int charCount, TBytes& bytes,
                                    int byteIndex) const {
    CheckSpan(charIndex, charCount, chars.size());
    WideString w = rtl::AnsiToWide(std::string_view(chars).substr(charIndex, charCount));
    return WideToBytesAt(w, 0, static_cast<int>(w.size()), bytes, byteIndex);
}

TBytes CodePageEncoding::WideToBytes(const WideString& chars) const {
    if (chars.empty()) return {};
    return WideToCodePage(FCodePage, chars);
}

int CodePageEncoding::WideToBytesAt(const WideString& chars, int charIndex, int charCount, TBytes& bytes,
                                    int byteIndex) const {
    CheckSpan(charIndex, charCount, chars.size());
    CheckSpan(byteIndex, 0, bytes.size());
    if (charCount == 0) return 0;
    TBytes b = WideToCodePage(FCodePage, std::u16string_view(chars).substr(charIndex, charCount));
    // The conversion writes into the remaining room only; too little room is a refusal, not a cut.
    if (b.size() > bytes.size() - static_cast<size_t>(byteIndex)) RaiseOSError(kErrorInsufficientBuffer);
    return PutBytes(b.data(), b.size(), bytes, byteIndex);
}

AnsiString CodePageEncoding::BytesToAnsiAt(const TBytes& bytes, int index, int count) const {
    return rtl::WideToAnsi(BytesToWideAt(bytes, index, count));
}

WideString CodePageEncoding::BytesToWideAt(const TBytes& bytes, int index, int count) const {
    if (count <= 0) return {};
    return CodePageToWide(FCodePage, ByteView(bytes, index, count));
}

int CodePageEncoding::MaxByteCount(int charCount) const {
    switch (FCodePage) {
        case 1200:
        case 1201: return CheckedCount(int64_t(charCount) * 2);
        case 65001:
            // A UTF-16 unit needs at most 3 bytes; a surrogate pair (2 units) needs 4.
            return CheckedCount(int64_t(charCount) * 3);
        default: return CheckedCount(charCount);
    }
}

int CodePageEncoding::CompleteByteCount(const TBytes& bytes, int index, int count) const {
    std::string_view b = ByteView(bytes, index, count);
    if (FCodePage == 1200 || FCodePage == 1201) return static_cast<int>(Utf16CompleteBytes(b, FCodePage == 1201));
    if (FCodePage == 65001) return static_cast<int>(rtl::UTF8CompletePrefix(b));
    return count;
}

// --- BitConverter ---

int64_t BitConverter::DoubleBitsToInt64(double value) noexcept { return std::bit_cast<int64_t>(value); }

// --- Marshal ---

void* Marshal::AllocMem(size_t size) {
    if (size == 0) return nullptr;
    void* p = std::malloc(size);
    if (!p) throw rtl::EOutOfMemory("Out of memory");
    return p;
}

void* Marshal::ReallocMem(void* block, size_t size) {
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    void* p = std::realloc(block, size);
    if (!p) throw rtl::EOutOfMemory("Out of memory");
    return p;
}

void Marshal::FreeMem(void* block) noexcept { std::free(block); }

uint8_t Marshal::ReadByte(const void* p, ptrdiff_t offset) noexcept { return static_cast<const uint8_t*>(p)[offset]; }

void Marshal::WriteByte(void* p, ptrdiff_t offset, uint8_t value) noexcept { static_cast<uint8_t*>(p)[offset] = value; }

void Marshal::WriteInt16(void* p, int16_t value) noexcept { std::memcpy(p, &value, sizeof value); }

void Marshal::WriteInt16At(void* p, ptrdiff_t offset, int16_t value) noexcept {
    std::memcpy(static_cast<uint8_t*>(p) + offset, &value, sizeof value);
}

void Marshal::WriteInt32(void* p, int32_t value) noexcept { std::memcpy(p, &value, sizeof value); }

void Marshal::WriteInt32At(void* p, ptrdiff_t offset, int32_t value) noexcept {
    std::memcpy(static_cast<uint8_t*>(p) + offset, &value, sizeof value);
}

void Marshal::WriteInt64(void* p, int64_t value) noexcept { std::memcpy(p, &value, sizeof value); }

int32_t Marshal::ReadInt32(const void* p, ptrdiff_t offset) noexcept {
    int32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(p) + offset, sizeof v);
    return v;
}

void Marshal::WritePointer(void* p, const void* value) noexcept {
    static_assert(sizeof value == 8);
    std::memcpy(p, &value, sizeof value);
}

AnsiString Marshal::PointerToAnsi(const void* p, int length) {
    if (!p) return {};
    const char* s = static_cast<const char*>(p);
    return length <= 0 ? AnsiString(s) : AnsiString(s, static_cast<size_t>(length));
}

WideString Marshal::PointerToWide(const void* p, int length) {
    if (!p) return {};
    const char16_t* s = static_cast<const char16_t*>(p);
    return length <= 0 ? WideString(s) : WideString(s, static_cast<size_t>(length));
}

void Marshal::CopyToPointer(const TBytes& source, void* destination, int count, ptrdiff_t destinationOffset) {
    CheckSpan(0, count, source.size());
    if (count == 0) return;
    std::memmove(static_cast<uint8_t*>(destination) + destinationOffset, source.data(), static_cast<size_t>(count));
}

// --- Buffer ---

namespace {

void CopyRaw(const void* source, int sourceOffset, void* destination, int destinationOffset, int count) {
    if (count < 0) RaiseRangeError();
    if (count == 0) return;
    std::memmove(static_cast<uint8_t*>(destination) + destinationOffset,
                 static_cast<const uint8_t*>(source) + sourceOffset, static_cast<size_t>(count));
}

}  // namespace

void Buffer::CopyBytes(const TBytes& source, int sourceOffset, TBytes& destination, int destinationOffset, int count) {
    CheckSpan(sourceOffset, count, source.size());
    CheckSpan(destinationOffset, count, destination.size());
    CopyRaw(source.data(), sourceOffset, destination.data(), destinationOffset, count);
}

void Buffer::CopyBytes2(const TBytes& source, int sourceOffset, void* destination, int destinationOffset, int count) {
    CheckSpan(sourceOffset, count, source.size());
    CopyRaw(source.data(), sourceOffset, destination, destinationOffset, count);
}

void Buffer::CopyBytes3(const void* source, int sourceOffset, TBytes& destination, int destinationOffset, int count) {
    CheckSpan(destinationOffset, count, destination.size());
    CopyRaw(source, sourceOffset, destination.data(), destinationOffset, count);
}

void Buffer::CopyBytes4(const TAnsiCharArray& source, int sourceOffset, TBytes& destination, int destinationOffset,
                        int count) {
    CheckSpan(sourceOffset, count, source.size());
    CheckSpan(destinationOffset, count, destination.size());
    CopyRaw(source.data(), sourceOffset, destination.data(), destinationOffset, count);
}

void Buffer::CopyBytes5(const TBytes& source, int sourceOffset, TAnsiCharArray& destination, int destinationOffset,
                        int count) {
    CheckSpan(sourceOffset, count, source.size());
    CheckSpan(destinationOffset, count, destination.size());
    CopyRaw(source.data(), sourceOffset, destination.data(), destinationOffset, count);
}

void Buffer::CopyBytes6(const TWideCharArray& source, int sourceOffset, TBytes& destination, int destinationOffset,
                        int count) {
    CheckSpan(sourceOffset, count, source.size() * sizeof(char16_t));
    CheckSpan(destinationOffset, count, destination.size());
    CopyRaw(source.data(), sourceOffset, destination.data(), destinationOffset, count);
}

void Buffer::CopyBytes7(const void* source, int sourceOffset, void* destination, int destinationOffset, int count) {
    CopyRaw(source, sourceOffset, destination, destinationOffset, count);
}

void Buffer::SetByte(TBytes& array, int index, uint8_t value) {
    CheckSpan(index, 1, array.size());
    array[static_cast<size_t>(index)] = value;
}

// --- string builders ---

namespace {

// Capacities are int like the lengths they hold; growth past that is out of memory.
size_t CheckedCapacity(int64_t n) {
    if (n > INT_MAX) throw rtl::EOutOfMemory("Out of memory");
    return static_cast<size_t>(n);
}

}  // namespace

AnsiStringBuilder::AnsiStringBuilder(int capacity) {
    if (capacity < 0) RaiseRangeError();
    FString.resize(static_cast<size_t>(capacity));
}

void AnsiStringBuilder::Append(const AnsiString& text) {
    if (text.empty()) return;
    const int64_t len = static_cast<int64_t>(text.size());
    const int64_t cap = Capacity();
    if (cap - FActualLength < len) FString.resize(CheckedCapacity(FActualLength + len + cap / 2));
    std::memcpy(FString.data() + FActualLength, text.data(), text.size());
    FActualLength += static_cast<int>(len);
}

void AnsiStringBuilder::AppendChar(char c) {
    const int64_t cap = Capacity();
    if (cap == FActualLength) FString.resize(CheckedCapacity(FActualLength + cap / 2 + 1));
    FString[static_cast<size_t>(FActualLength++)] = c;
}

void AnsiStringBuilder::SetLength(int length) {
    if (length < 0) RaiseRangeError();
    const int64_t cap = Capacity();
    if (cap - FActualLength < length) FString.resize(CheckedCapacity(int64_t(length) + FActualLength + cap / 2));
    FActualLength = length;
}

WideStringBuilder::WideStringBuilder(int capacity) {
    if (capacity < 0) RaiseRangeError();
    FString.resize(static_cast<size_t>(capacity));
}

WideStringBuilder::WideStringBuilder(const WideString& text, int capacity) : WideStringBuilder(capacity) {
    Append(text);
}

void WideStringBuilder::Append(const WideString& text) {
    if (text.empty()) return;
    const int64_t len = static_cast<int64_t>(text.size());
    const int64_t cap = Capacity();
    if (cap - FActualLength < len) FString.resize(CheckedCapacity(FActualLength + len + cap / 2));
    std::memcpy(FString.data() + FActualLength, text.data(), text.size() * sizeof(char16_t));
    FActualLength += static_cast<int>(len);
}

void WideStringBuilder::Replace(const WideString& oldValue, const WideString& newValue) {
    // An empty pattern would match everywhere without ever advancing.
    if (oldValue.empty() || FActualLength == 0) return;
    std::u16string_view text(FString.data(), static_cast<size_t>(FActualLength));
    if (text.find(oldValue) == std::u16string_view::npos) return;
    TWideCharArray result;
    result.reserve(FString.size());
    size_t pos = 0;
    for (size_t hit; (hit = text.find(oldValue, pos)) != std::u16string_view::npos; pos = hit + oldValue.size()) {
        result.insert(result.end(), text.begin() + static_cast<ptrdiff_t>(pos),
                      text.begin() + static_cast<ptrdiff_t>(hit));
        result.insert(result.end(), newValue.begin(), newValue.end());
    }
    result.insert(result.end(), text.begin() + static_cast<ptrdiff_t>(pos), text.end());
    const size_t used = result.size();
    CheckedCapacity(static_cast<int64_t>(used));
    if (result.size() < FString.size()) result.resize(FString.size());
    FString = std::move(result);
    FActualLength = static_cast<int>(used);
}

}  // namespace store
