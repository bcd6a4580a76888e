// The MD5 digest behind initialise, hash-data and final-digest operations.
#pragma once

#include "data/crypto/CRHash.h"

namespace crypto {

class TMD5CryptoServiceProvider {
public:
    void Initialize() { FHash.Initialize(); }
    void HashData(const void* Data, size_t Size) { FHash.HashData(Data, Size); }
    // The digest; the provider then starts afresh.
    TBytes FinalDigest() { return FHash.Final(); }
    TBytes ComputeHash(const void* Data, size_t Size) { return FHash.ComputeHash(Data, Size); }
    int DigestSize() const noexcept { return FHash.DigestSize(); }
    THash_MD5& Hash() noexcept { return FHash; }

private:
    THash_MD5 FHash;
};

}  // namespace crypto
