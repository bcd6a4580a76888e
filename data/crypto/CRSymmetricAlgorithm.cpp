#include "data/crypto/CRSymmetricAlgorithm.h"

#include <algorithm>
#include <cstring>

#include "data/crypto/CRRNG.h"
#include "framework/rtl/SysUtils.h"

namespace crypto {

TSymmetricAlgorithm::TSymmetricAlgorithm(int BlockSize, TKeySizes LegalKeySizes, size_t ScheduleWords)
    : FSchedule(ScheduleWords),
      FBlockSize(BlockSize),
      FLegalKeySizes(LegalKeySizes),
      FIV(static_cast<size_t>(BlockSize)),
      FFeedback(static_cast<size_t>(BlockSize)),
      FBuffer(static_cast<size_t>(BlockSize)) {
    Wipe();
}

TSymmetricAlgorithm::~TSymmetricAlgorithm() { Wipe(); }

void TSymmetricAlgorithm::Wipe() noexcept {
    ProtectBuffer(FIV.data(), FIV.size());
    ProtectBuffer(FFeedback.data(), FFeedback.size());
    ProtectBuffer(FBuffer.data(), FBuffer.size());
    ProtectBuffer(FSchedule.data(), FSchedule.size() * 4);
    ProtectBuffer(FKey.data(), FKey.size());
    FKey.clear();
    FInitialized = false;
}

bool TSymmetricAlgorithm::IsLegalKeySize(int Bytes) const noexcept {
    int bits = Bytes * 8;
    if (bits < FLegalKeySizes.MinSize || bits > FLegalKeySizes.MaxSize) return false;
    return FLegalKeySizes.SkipSize == 0 || (bits - FLegalKeySizes.MinSize) % FLegalKeySizes.SkipSize == 0;
}

void TSymmetricAlgorithm::SetKey(const void* Key, int Size) {
    if (!Key || !IsLegalKeySize(Size))
        throw rtl::Exception(
            rtl::Format(SInvalidKeyLength, {ClassName(), FLegalKeySizes.MinSize / 8, FLegalKeySizes.MaxSize / 8}));
    ProtectBuffer(FKey.data(), FKey.size());
    auto* k = static_cast<const uint8_t*>(Key);
    FKey.assign(k, k + Size);
    Init(FKey.data(), Size);
    FInitialized = true;
    Reset();
}

void TSymmetricAlgorithm::SetIV(const void* IV, int Size) {
    if (!IV || Size <= 0 || Size > FBlockSize) throw rtl::Exception(SInvalidIV);
    std::fill(FIV.begin(), FIV.end(), 0);
    std::memcpy(FIV.data(), IV, static_cast<size_t>(Size));
    Reset();
}

void TSymmetricAlgorithm::Reset() { FFeedback = FIV; }

void TSymmetricAlgorithm::CheckInitialized() const {
    if (!FInitialized) throw rtl::Exception(rtl::Format(SNotInitialized, {ClassName()}));
}

void TSymmetricAlgorithm::EncryptBuffer(void* Buffer, size_t Size) {
    CheckInitialized();
    auto* p = static_cast<uint8_t*>(Buffer);
    const size_t B = static_cast<size_t>(FBlockSize);
    for (; Size >= B; p += B, Size -= B) {
        if (FMode == cmECB) {
            EncodeBlock(p, p);
        } else {
            XORBuffers(p, FFeedback.data(), B, p);
            EncodeBlock(p, p);
            std::memcpy(FFeedback.data(), p, B);
        }
    }
    if (Size) {
        // A final partial block takes the encrypted chaining block as a key stream.
        EncodeBlock(FFeedback.data(), FBuffer.data());
        XORBuffers(p, FBuffer.data(), Size, p);
    }
}

namespace {

// XOR of one block of 8, 16 or 32 bytes, a word at a time.
inline void XorBlock(const uint8_t* a, const uint8_t* b, size_t size, uint8_t* out) noexcept {
    if (size % 8) return XORBuffers(a, b, size, out);
    for (size_t i = 0; i < size; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        x ^= y;
        std::memcpy(out + i, &x, 8);
    }
}

}  // namespace

void TSymmetricAlgorithm::DecodeBlocks(const uint8_t* In, uint8_t* Out, size_t Count) {
    const size_t B = static_cast<size_t>(FBlockSize);
    for (size_t i = 0; i < Count; ++i) DecodeBlock(In + i * B, Out + i * B);
}

void TSymmetricAlgorithm::DecryptBuffer(void* Buffer, size_t Size) {
    CheckInitialized();
    auto* p = static_cast<uint8_t*>(Buffer);
    const size_t B = static_cast<size_t>(FBlockSize);
    const size_t n = Size / B;
    if (FMode == cmECB) {
        for (size_t i = 0; i < n; ++i) DecodeBlock(p + i * B, p + i * B);
    } else if (n) {
        // From the last block back to the first, so that each block's predecessor is still
        // ciphertext when it is XORed in.
        uint8_t work[256];
        const size_t chunk = sizeof work / B;
        std::memcpy(FBuffer.data(), p + (n - 1) * B, B);
        for (size_t i = n; i > 0;) {
            const size_t k = std::min(chunk, i);
            i -= k;
            DecodeBlocks(p + i * B, work, k);
            for (size_t j = k; j-- > 0;) {
                const size_t at = i + j;
                XorBlock(work + j * B, at ? p + (at - 1) * B : FFeedback.data(), B, p + at * B);
            }
        }
        std::swap(FFeedback, FBuffer);
        ProtectBuffer(work, sizeof work);
    }
    p += n * B;
    Size -= n * B;
    if (Size) {
        EncodeBlock(FFeedback.data(), FBuffer.data());
        XORBuffers(p, FBuffer.data(), Size, p);
    }
}

void TSymmetricAlgorithm::GenerateKey() {
    // The largest legal key.
    TBytes key = Random().RandomBytes(static_cast<size_t>(FLegalKeySizes.MaxSize / 8));
    SetKey(key);
    ProtectBuffer(key.data(), key.size());
}

void TSymmetricAlgorithm::GenerateIV() {
    TBytes iv = Random().RandomBytes(static_cast<size_t>(FBlockSize));
    SetIV(iv);
}

void TSymmetricAlgorithm::Code(void* Buffer, size_t Size, TPAction Action) {
    if (Action == TPAction::paEncode)
        EncryptBuffer(Buffer, Size);
    else if (Action == TPAction::paDecode)
        DecryptBuffer(Buffer, Size);
}

}  // namespace crypto
