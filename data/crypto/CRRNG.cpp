#include "data/crypto/CRRNG.h"

#include <sys/random.h>

#include <cerrno>
#include <mutex>

namespace crypto {

void TScRandom_LFSR::Random(void* Buffer, size_t Size) {
    std::lock_guard<rtl::TLock> lock(FLock);
    auto* p = static_cast<uint8_t*>(Buffer);
    while (Size > 0) {
        ssize_t got = getrandom(p, Size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw rtl::EOSError("Random generator failure");
        }
        p += got;
        Size -= static_cast<size_t>(got);
    }
}

TScRandom& Random() {
    static TScRandom_LFSR generator;
    return generator;
}

}  // namespace crypto
