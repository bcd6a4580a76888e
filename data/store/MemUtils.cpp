#include "data/store/MemUtils.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "data/store/DAConsts.h"
#include "framework/rtl/Text.h"

namespace store {

namespace {

constexpr const char* kUnit = "MemUtils";
constexpr double kMSecsPerDay = 86400000.0;
// Day number of 1899-12-30 counted from 0001-01-01 as day 1.
constexpr int32_t kDateDelta = 693594;

bool IsString(const rtl::Variant& v) noexcept { return v.VType() == rtl::varString || v.VType() == rtl::varOleStr; }

bool IsEmptyString(const rtl::Variant& v) {
    if (v.VType() == rtl::varString) return v.StrRef().empty();
    if (v.VType() == rtl::varOleStr) return v.WideRef().empty();
    return false;
}

}  // namespace

// --- time stamps ---

void ValidateTimeStamp(const rtl::TTimeStamp& timeStamp) {
    if (timeStamp.Time < 0 || timeStamp.Date <= 0) {
        char text[64];
        std::snprintf(text, sizeof text, SInvalidTimeStamp, static_cast<int>(timeStamp.Date),
                      static_cast<int>(timeStamp.Time));
        throw rtl::EConvertError(text);
    }
}

rtl::TDateTime ValidTimeStampToDateTime(const rtl::TTimeStamp& timeStamp) {
    store::ValidateTimeStamp(timeStamp);
    const double d = static_cast<double>(timeStamp.Date) - kDateDelta;
    const double t = timeStamp.Time / kMSecsPerDay;
    // Before 1899-12-30 the fraction counts away from zero.
    return d >= 0 ? d + t : d - t;
}

// --- variants ---

bool VarsEqual(const rtl::Variant& v1, const rtl::Variant& v2) {
    const rtl::TVarType t1 = v1.VType(), t2 = v2.VType();
    if ((t1 == rtl::varOleStr && IsString(v2)) || (t2 == rtl::varOleStr && IsString(v1)))
        return v1.AsWideString() == v2.AsWideString();
    if (v1.IsNull() || v2.IsNull()) return v1.IsNull() && v2.IsNull();
    if (IsEmptyString(v1)) return IsEmptyString(v2);
    if (IsEmptyString(v2)) return false;
    const bool bytes1 = v1.IsByteArray(), bytes2 = v2.IsByteArray();
    if (!bytes1 && !bytes2) return rtl::VarCompareValue(v1, v2) == rtl::vrEqual;
    // Only a byte array can equal a byte array; an array of another element type has no bytes to
    // compare.
    if (!bytes1 || !bytes2) return false;
    const rtl::TBytes* a = v1.BytesData();
    const rtl::TBytes* b = v2.BytesData();
    if (!a || !b) return a == b;
    return *a == *b;
}

// --- buffers ---

void CopyBuffer(const void* source, void* dest, size_t count) noexcept {
    if (count) std::memmove(dest, source, count);
}

void CopyBuffer(const rtl::AnsiString& source, void* dest, size_t count) {
    // The terminator may be copied along with the text, nothing past it.
    if (count > source.size() + 1) rtl::AssertFail(SAssertionFailure, kUnit, __LINE__);
    CopyBuffer(source.c_str(), dest, count);
}

void CopyBuffer(const rtl::WideString& source, void* dest, size_t count) {
    if (count > (source.size() + 1) * sizeof(char16_t)) rtl::AssertFail(SAssertionFailure, kUnit, __LINE__);
    CopyBuffer(source.c_str(), dest, count);
}

void FillBuffer(void* dest, size_t count, uint8_t value) noexcept {
    if (count) std::memset(dest, value, count);
}

// --- zero-terminated text ---

char16_t* WideStrLCopy(char16_t* dest, const char16_t* source, size_t maxLen) noexcept {
    size_t i = 0;
    if (source)
        for (; i < maxLen && source[i] != 0; ++i) dest[i] = source[i];
    dest[i] = 0;
    return dest;
}

size_t WideStrLen(const char16_t* s) noexcept {
    if (!s) return 0;
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

void AnsiTrimTrailing(char* s, int len) noexcept {
    if (!s) return;
    if (len == -1) len = static_cast<int>(std::strlen(s));
    for (int i = len - 1; i >= 0 && (s[i] == ' ' || s[i] == 0); --i) s[i] = 0;
}

void WideTrimTrailing(char16_t* s, int len) noexcept {
    if (!s) return;
    if (len == -1) len = static_cast<int>(WideStrLen(s));
    for (int i = len - 1; i >= 0 && (s[i] == u' ' || s[i] == 0); --i) s[i] = 0;
}

// --- locale-aware comparison ---

namespace {

std::string_view View(const char* s) { return s ? std::string_view(s) : std::string_view(); }
std::u16string_view View(const char16_t* s) { return s ? std::u16string_view(s) : std::u16string_view(); }

}  // namespace

int LocaleCompareStrPChar(const char* s1, const char* s2) { return rtl::AnsiCompareStr(View(s1), View(s2)); }

int LocaleCompareTextPChar(const char* s1, const char* s2) { return rtl::AnsiCompareText(View(s1), View(s2)); }

int LocaleCompareStr(const char* s1, size_t len1, const char* s2, size_t len2) {
    return rtl::AnsiCompareStr(std::string_view(s1, len1), std::string_view(s2, len2));
}

int LocaleCompareText(const char* s1, size_t len1, const char* s2, size_t len2) {
    return rtl::AnsiCompareText(std::string_view(s1, len1), std::string_view(s2, len2));
}

int LocaleCompareStrWN(const char16_t* s1, const char16_t* s2, size_t count) {
    return rtl::WideCompareStr(std::u16string_view(s1, count), std::u16string_view(s2, count));
}

int LocaleCompareTextWN(const char16_t* s1, const char16_t* s2, size_t count) {
    return rtl::WideCompareText(std::u16string_view(s1, count), std::u16string_view(s2, count));
}

int LocaleCompareStrW(const char16_t* s1, const char16_t* s2) { return rtl::WideCompareStr(View(s1), View(s2)); }

int LocaleCompareTextW(const char16_t* s1, const char16_t* s2) { return rtl::WideCompareText(View(s1), View(s2)); }

// --- compression ---

TCompressProc CompressProc = ZlibCompress;
TCompressProc UncompressProc = ZlibUncompress;

void CheckCompressorLinked() {
    if (!CompressProc) throw rtl::Exception(SCompressorNotLinked);
    if (!UncompressProc) throw rtl::Exception(SUncompressorNotLinked);
}

void DoCompress(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen) {
    if (!CompressProc) rtl::AssertFail(SCompressorNotLinked, kUnit, __LINE__);
    CompressProc(dest, destLen, source, sourceLen);
}

void DoUncompress(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen) {
    if (!UncompressProc) rtl::AssertFail(SUncompressorNotLinked, kUnit, __LINE__);
    UncompressProc(dest, destLen, source, sourceLen);
}

namespace {

// One deflate and one inflate stream per thread, reset between values: setting a stream up costs
// far more than compressing a short memo, and blobs are compressed one by one as rows are filled.
class TDeflateStream {
public:
    ~TDeflateStream() {
        if (FReady) deflateEnd(&FStream);
    }
    z_stream& Acquire() {
        if (!FReady) {
            FStream = z_stream{};
            if (deflateInit(&FStream, Z_DEFAULT_COMPRESSION) < 0) throw ECompressionError(SZlibError);
            FReady = true;
        } else if (deflateReset(&FStream) < 0) {
            throw ECompressionError(SZlibError);
        }
        return FStream;
    }

private:
    z_stream FStream{};
    bool FReady = false;
};

class TInflateStream {
public:
    ~TInflateStream() {
        if (FReady) inflateEnd(&FStream);
    }
    z_stream& Acquire() {
        if (!FReady) {
            FStream = z_stream{};
            if (inflateInit(&FStream) < 0) throw EDecompressionError(SZlibError);
            FReady = true;
        } else if (inflateReset(&FStream) < 0) {
            throw EDecompressionError(SZlibError);
        }
        return FStream;
    }

private:
    z_stream FStream{};
    bool FReady = false;
};

thread_local TDeflateStream tDeflate;
thread_local TInflateStream tInflate;

}  // namespace

void ZlibCompress(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen) {
    z_stream& zs = tDeflate.Acquire();
    zs.next_in = static_cast<Bytef*>(const_cast<void*>(source));
    zs.avail_in = sourceLen;
    zs.next_out = static_cast<Bytef*>(dest);
    zs.avail_out = destLen;
    const int rc = deflate(&zs, Z_FINISH);
    if (rc < 0) throw ECompressionError(SZlibError);
    if (rc != Z_STREAM_END) throw EZlibError(SZlibTargetTooSmall);
    destLen = static_cast<uint32_t>(zs.total_out);
}

void ZlibUncompress(void* dest, uint32_t& destLen, const void* source, uint32_t sourceLen) {
    z_stream& zs = tInflate.Acquire();
    zs.next_in = static_cast<Bytef*>(const_cast<void*>(source));
    zs.avail_in = sourceLen;
    zs.next_out = static_cast<Bytef*>(dest);
    zs.avail_out = destLen;
    const int rc = inflate(&zs, Z_FINISH);
    if (rc < 0) throw EDecompressionError(SZlibError);
    if (rc != Z_STREAM_END) throw EZlibError(SZlibTargetTooSmall);
    destLen = static_cast<uint32_t>(zs.total_out);
}

}  // namespace store
