// Constant tables of the ciphers that are not computed at start.
#pragma once

#include <cstdint>

namespace crypto {

// 18 sub-keys followed by four 256-entry S-boxes.
extern const uint32_t BlowfishPiTable[1042];
// S1 to S8 of CAST-128.
extern const uint32_t Cast128SBox[8][256];

}  // namespace crypto
