// The digests: MD4, MD5, RIPEMD-160, SHA (the first, without the rotation of SHA-1) and SHA-1.
#pragma once

#include "data/crypto/CRHashAlgorithm.h"

namespace crypto {

class THash_MD4 : public THashAlgorithm {
public:
    THash_MD4();
    const char* ClassName() const noexcept override { return "THash_MD4"; }

protected:
    void Transform(const uint8_t* Block) override;
};

class THash_MD5 : public THashAlgorithm {
public:
    THash_MD5();
    const char* ClassName() const noexcept override { return "THash_MD5"; }

protected:
    void Transform(const uint8_t* Block) override;
};

class THash_RipeMD160 : public THashAlgorithm {
public:
    THash_RipeMD160();
    const char* ClassName() const noexcept override { return "THash_RipeMD160"; }

protected:
    void Transform(const uint8_t* Block) override;
};

class THash_SHA : public THashAlgorithm {
public:
    THash_SHA();
    const char* ClassName() const noexcept override { return "THash_SHA"; }

protected:
    // SHA-1 differs from its predecessor only by rotating the expanded message words.
    explicit THash_SHA(bool Rotate);
    void Transform(const uint8_t* Block) override;

private:
    bool FRotate;
};

class THash_SHA1 : public THash_SHA {
public:
    THash_SHA1() : THash_SHA(true) {}
    const char* ClassName() const noexcept override { return "THash_SHA1"; }
};

// A digest behind initialise, hash-data and final-digest operations.
template <class THash>
class TDigestServiceProvider {
public:
    void Initialize() { FHash.Initialize(); }
    void HashData(const void* Data, size_t Size) { FHash.HashData(Data, Size); }
    // The digest; the provider then starts afresh.
    TBytes FinalDigest() { return FHash.Final(); }
    TBytes ComputeHash(const void* Data, size_t Size) { return FHash.ComputeHash(Data, Size); }
    int DigestSize() const noexcept { return FHash.DigestSize(); }
    THash& Hash() noexcept { return FHash; }

private:
    THash FHash;
};

}  // namespace crypto
