#include "data/crypto/CRDECUtil.h"

#include <cstring>

namespace crypto {

void XORBuffers(const void* Source1, const void* Source2, size_t Size, void* Dest) noexcept {
    auto* a = static_cast<const uint8_t*>(Source1);
    auto* b = static_cast<const uint8_t*>(Source2);
    auto* d = static_cast<uint8_t*>(Dest);
    for (size_t i = 0; i < Size; ++i) d[i] = uint8_t(a[i] ^ b[i]);
}

void ProtectBuffer(void* Buffer, size_t Size) noexcept {
    if (!Buffer || Size == 0) return;
    // The empty statement claims to read the memory after each fill, so no fill counts as a
    // dead store the optimiser may drop; unlike byte-wise volatile stores it runs at memset speed.
    for (int fill : {0xAA, 0x55, 0}) {
        std::memset(Buffer, fill, Size);
        __asm__ __volatile__("" : : "r"(Buffer) : "memory");
    }
}

AnsiString BufferToHex(const void* Buffer, size_t Size) {
    static const char digits[] = "0123456789ABCDEF";
    AnsiString s(Size * 2, '0');
    auto* p = static_cast<const uint8_t*>(Buffer);
    for (size_t i = 0; i < Size; ++i) {
        s[2 * i] = digits[p[i] >> 4];
        s[2 * i + 1] = digits[p[i] & 15];
    }
    return s;
}

int HexDigitValue(char16_t c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void TProtection::SetProtection(std::shared_ptr<TProtection> Value) {
    for (TProtection* p = Value.get(); p; p = p->FProtection.get())
        if (p == this) throw rtl::Exception(SCircularProtection);
    FProtection = std::move(Value);
}

void TProtection::CodeBuffer(void* Buffer, size_t Size, TPAction Action) {
    CodeInit(Action);
    Code(Buffer, Size, Action);
    CodeDone(Action);
    if (FProtection) FProtection->CodeBuffer(Buffer, Size, Action);
}

}  // namespace crypto
