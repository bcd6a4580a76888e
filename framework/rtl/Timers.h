// The timer service: timers registered with an interval and a callback, fired by ProcessTimers()
// from the message loop once their interval has elapsed on rtl::GetTickCount64().
//
// A timer is known by its owner (any address, e.g. a window record or a component) and an
// identifier, as window timers are. Starting a timer that exists restarts it with the new interval
// and callback. A timer that is due fires once per ProcessTimers call however many intervals have
// passed, and its next interval is counted from that call. Everything runs on the thread that
// calls ProcessTimers (the user-interface thread); the service is not meant for other threads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace rtl {

using TTimerCallback = std::function<void()>;

class TTimerService {
public:
    // Intervals shorter than this are raised to it.
    static constexpr uint32_t MinimumInterval = 10;

    TTimerService() = default;
    TTimerService(const TTimerService&) = delete;
    TTimerService& operator=(const TTimerService&) = delete;

    // Starts (or restarts) the timer and returns its identifier. With a null owner and identifier 0
    // the service chooses a fresh identifier.
    uintptr_t SetTimer(const void* Owner, uintptr_t Id, uint32_t IntervalMs, TTimerCallback Callback);
    // True when the timer existed.
    bool KillTimer(const void* Owner, uintptr_t Id);
    // Kills every timer of the owner; returns how many there were.
    int KillTimers(const void* Owner);
    // A disabled timer keeps its registration and stays silent; enabling restarts its interval.
    bool EnableTimer(const void* Owner, uintptr_t Id, bool Enabled);
    bool TimerExists(const void* Owner, uintptr_t Id) const;
    bool TimerEnabled(const void* Owner, uintptr_t Id) const;
    int TimerCount() const noexcept { return static_cast<int>(FTimers.size()); }

    // Fires every enabled timer whose interval has elapsed; returns how many fired. An exception
    // from a callback goes to the application's exception handler and the other timers still fire.
    int ProcessTimers();
    // Milliseconds until the next enabled timer is due (0 when one is due now); none without
    // enabled timers. The message loop may wait that long.
    std::optional<uint64_t> TimeToNextTimer() const;

private:
    struct TTimer {
        const void* Owner;
        uintptr_t Id;
        uint32_t Interval;
        uint64_t Due;
        bool Enabled;
        uint64_t Serial;  // changes on every restart, so a timer replaced during ProcessTimers is seen
        TTimerCallback Callback;
    };
    TTimer* Find(const void* Owner, uintptr_t Id);
    const TTimer* Find(const void* Owner, uintptr_t Id) const;

    std::vector<TTimer> FTimers;
    uintptr_t FNextAnonymousId = 1;
    uint64_t FNextSerial = 1;
};

// The service of the process.
TTimerService& TimerService();

// Shorthands for the process's service.
inline uintptr_t SetTimer(const void* Owner, uintptr_t Id, uint32_t IntervalMs, TTimerCallback Callback) {
    return TimerService().SetTimer(Owner, Id, IntervalMs, std::move(Callback));
}
inline bool KillTimer(const void* Owner, uintptr_t Id) { return TimerService().KillTimer(Owner, Id); }
inline int ProcessTimers() { return TimerService().ProcessTimers(); }

}  // namespace rtl
