// Base of the digests: a 64-byte block engine with length padding.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "data/crypto/CRCryptoTransformIntf.h"
#include "data/crypto/CRDECUtil.h"

namespace crypto {

class THashAlgorithm : public TProtection, public ICryptoTransform {
public:
    ~THashAlgorithm() override;

    virtual const char* ClassName() const noexcept = 0;
    int DigestSize() const noexcept { return FDigestSize; }

    // Starts a new digest.
    void Initialize();
    void HashData(const void* Data, size_t Size);
    // The digest of everything hashed since the start; the algorithm then starts afresh.
    TBytes Final();
    // The digest of one buffer alone.
    TBytes ComputeHash(const void* Data, size_t Size);
    TBytes ComputeHash(const TBytes& Data) { return ComputeHash(Data.data(), Data.size()); }

    int InputBlockSize() const override { return 64; }
    int OutputBlockSize() const override { return FDigestSize; }
    int TransformBlock(const uint8_t* Input, int Count, uint8_t* Output) override;
    TBytes TransformFinalBlock(const uint8_t* Input, int Count) override;

protected:
    // InitState: the chaining words at the start; BigEndian: how words and the length are laid out.
    THashAlgorithm(std::vector<uint32_t> InitState, int DigestSize, bool BigEndian);

    virtual void Transform(const uint8_t* Block) = 0;
    void Code(void* Buffer, size_t Size, TPAction Action) override;

    std::vector<uint32_t> FState;

private:
    std::vector<uint32_t> FInitState;
    int FDigestSize;
    bool FBigEndian;
    std::array<uint8_t, 64> FBuffer{};
    size_t FBufferLen = 0;
    uint64_t FCount = 0;
};

}  // namespace crypto
