// The interface through which a digest takes data block by block.
#pragma once

#include <cstdint>

#include "framework/rtl/Types.h"

namespace crypto {

using rtl::TBytes;

class ICryptoTransform {
public:
    virtual ~ICryptoTransform() = default;
    virtual int InputBlockSize() const = 0;
    virtual int OutputBlockSize() const = 0;
    // Takes Count bytes; copies them to Output when it is given; returns Count.
    virtual int TransformBlock(const uint8_t* Input, int Count, uint8_t* Output) = 0;
    // Takes the last bytes and returns the digest; the transform then starts afresh.
    virtual TBytes TransformFinalBlock(const uint8_t* Input, int Count) = 0;
};

}  // namespace crypto
