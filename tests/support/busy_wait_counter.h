// Counts the busy waits of every SQLite connection in this process: the engine's busy handler
// waits through its file system's sleep, so the default file system is wrapped with a sleep that
// counts and then sleeps as before. Nothing else of the file system changes.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>

namespace apptest {

class TBusyWaitCounter {
public:
    // Makes the counting file system the default one for connections opened from now on.
    static void Install() {
        static const bool installed = [] {
            sqlite3_initialize();
            Real = sqlite3_vfs_find(nullptr);
            Counting = *Real;  // the same methods and data: files opened through it are the real ones
            Counting.zName = "velmorat-busy-counting";
            Counting.pNext = nullptr;
            Counting.xSleep = &Sleep;
            return sqlite3_vfs_register(&Counting, 1) == SQLITE_OK;
        }();
        (void)installed;
    }
    static int64_t Waits() noexcept { return FWaits.load(); }
    static void Reset() noexcept { FWaits = 0; }

private:
    static int Sleep(sqlite3_vfs*, int Microseconds) {
        ++FWaits;
        return Real->xSleep(Real, Microseconds);
    }
    static inline sqlite3_vfs* Real = nullptr;
    static inline sqlite3_vfs Counting{};
    static inline std::atomic<int64_t> FWaits{0};
};

}  // namespace apptest
