// Constant tables of the ciphers that are not computed at start.
#pragma once

#include <cstdint>

namespace crypto {

// 18 sub-keys followed by four 256-entry S-boxes.
extern const uint32_t BlowfishPiTable[1042];

}  // namespace crypto
