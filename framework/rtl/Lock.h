// Locks for classes whose headers should not pull <mutex> into every includer: the mutex lives in
// Lock.cpp. Both meet the standard Lockable requirements, so std::lock_guard and std::unique_lock
// take them as they take a mutex.
#pragma once

#include <memory>

namespace rtl {

template <bool Recursive>
class TBasicLock {
public:
    TBasicLock();
    ~TBasicLock();
    TBasicLock(const TBasicLock&) = delete;
    TBasicLock& operator=(const TBasicLock&) = delete;

    void lock();
    bool try_lock();
    void unlock();

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

extern template class TBasicLock<false>;
extern template class TBasicLock<true>;

using TLock = TBasicLock<false>;
// A lock its owner thread may take again.
using TRecursiveLock = TBasicLock<true>;

}  // namespace rtl
