// The process-wide source of unpredictable bytes: random keys, vectors and padding.
#pragma once

#include <cstddef>

#include "data/crypto/CRDECUtil.h"
#include "framework/rtl/Lock.h"

namespace crypto {

class TScRandom {
public:
    virtual ~TScRandom() = default;
    // Fills Size bytes; serialised by the generator's own lock.
    virtual void Random(void* Buffer, size_t Size) = 0;
    TBytes RandomBytes(size_t Size) {
        TBytes b(Size);
        Random(b.data(), Size);
        return b;
    }
};

// Draws from the operating system's generator; a generator that cannot deliver raises rather than
// hand out predictable key material.
class TScRandom_LFSR : public TScRandom {
public:
    void Random(void* Buffer, size_t Size) override;

private:
    rtl::TLock FLock;
};

// The one generator of the process.
TScRandom& Random();

}  // namespace crypto
