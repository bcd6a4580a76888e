#include "framework/rtl/Lock.h"

#include <mutex>
#include <type_traits>

namespace rtl {

template <bool Recursive>
struct TBasicLock<Recursive>::TImpl {
    std::conditional_t<Recursive, std::recursive_mutex, std::mutex> Mutex;
};

template <bool Recursive>
TBasicLock<Recursive>::TBasicLock() : FImpl(std::make_unique<TImpl>()) {}
template <bool Recursive>
TBasicLock<Recursive>::~TBasicLock() = default;
template <bool Recursive>
void TBasicLock<Recursive>::lock() {
    FImpl->Mutex.lock();
}
template <bool Recursive>
bool TBasicLock<Recursive>::try_lock() {
    return FImpl->Mutex.try_lock();
}
template <bool Recursive>
void TBasicLock<Recursive>::unlock() {
    FImpl->Mutex.unlock();
}

template class TBasicLock<false>;
template class TBasicLock<true>;

}  // namespace rtl
