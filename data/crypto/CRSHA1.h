// The SHA1 digest behind initialise, hash-data and final-digest operations.
#pragma once

#include "data/crypto/CRHash.h"

namespace crypto {

using TSHA1CryptoServiceProvider = TDigestServiceProvider<THash_SHA1>;

}  // namespace crypto
