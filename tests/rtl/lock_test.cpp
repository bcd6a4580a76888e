#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "framework/rtl/Lock.h"

namespace {

// Whether another thread can take the lock now; it lets go again at once.
template <class L>
bool FreeForAnotherThread(L& Lock) {
    bool taken = false;
    std::thread other([&] {
        taken = Lock.try_lock();
        if (taken) Lock.unlock();
    });
    other.join();
    return taken;
}

TEST(Lock, ExcludesOtherThreadsUntilReleased) {
    rtl::TLock lock;
    {
        std::lock_guard guard(lock);
        EXPECT_FALSE(FreeForAnotherThread(lock));
    }
    EXPECT_TRUE(FreeForAnotherThread(lock));
}

TEST(Lock, RecursiveLockIsTakenAgainByItsOwnerAndHeldUntilTheLastRelease) {
    rtl::TRecursiveLock lock;
    {
        std::lock_guard outer(lock);
        {
            std::lock_guard inner(lock);
            EXPECT_FALSE(FreeForAnotherThread(lock));
        }
        EXPECT_FALSE(FreeForAnotherThread(lock));
    }
    EXPECT_TRUE(FreeForAnotherThread(lock));
}

}  // namespace
