// Byte routines shared by the ciphers, digests and the value encryptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"

namespace crypto {

using rtl::AnsiString;
using rtl::TBytes;
using rtl::WideString;

inline constexpr const char* SCircularProtection = "Circular Protection detected, Protection Object is invalid";

inline uint32_t ROL(uint32_t v, int n) noexcept { return n == 0 ? v : (v << n) | (v >> (32 - n)); }
inline uint32_t ROR(uint32_t v, int n) noexcept { return n == 0 ? v : (v >> n) | (v << (32 - n)); }
inline uint32_t SwapInteger(uint32_t v) noexcept { return __builtin_bswap32(v); }

inline uint32_t GetLE32(const uint8_t* p) noexcept {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint32_t GetBE32(const uint8_t* p) noexcept {
    return uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
}
inline void PutLE32(uint8_t* p, uint32_t v) noexcept {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void PutBE32(uint8_t* p, uint32_t v) noexcept {
    p[3] = uint8_t(v);
    p[2] = uint8_t(v >> 8);
    p[1] = uint8_t(v >> 16);
    p[0] = uint8_t(v >> 24);
}

// Dest := Source1 xor Source2, Size bytes; the buffers may coincide.
void XORBuffers(const void* Source1, const void* Source2, size_t Size, void* Dest) noexcept;
// Overwrites with 0xAA, 0x55 and then 0, through a path the optimiser may not drop.
void ProtectBuffer(void* Buffer, size_t Size) noexcept;
// Upper-case hexadecimal text, two characters per byte.
AnsiString BufferToHex(const void* Buffer, size_t Size);
// Value of a hexadecimal digit, -1 for any other character.
int HexDigitValue(char16_t c) noexcept;

enum class TPAction { paEncode, paDecode, paScramble, paCalc, paWipe };

// A coding step that can pass the data on to a next one in a chain.
class TProtection : public std::enable_shared_from_this<TProtection> {
public:
    TProtection() = default;
    TProtection(const TProtection&) = delete;
    TProtection& operator=(const TProtection&) = delete;
    virtual ~TProtection() = default;

    const std::shared_ptr<TProtection>& Protection() const noexcept { return FProtection; }
    // Refuses a next object that would lead back to this one.
    void SetProtection(std::shared_ptr<TProtection> Value);

    // Codes Size bytes in place through this object and then the rest of the chain.
    void CodeBuffer(void* Buffer, size_t Size, TPAction Action);

protected:
    virtual void CodeInit(TPAction) {}
    virtual void CodeDone(TPAction) {}
    virtual void Code(void* Buffer, size_t Size, TPAction Action) = 0;

private:
    std::shared_ptr<TProtection> FProtection;
};

}  // namespace crypto
