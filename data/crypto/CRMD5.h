// The MD5 digest behind initialise, hash-data and final-digest operations.
#pragma once

#include "data/crypto/CRHash.h"

namespace crypto {

using TMD5CryptoServiceProvider = TDigestServiceProvider<THash_MD5>;

}  // namespace crypto
