// The one clock of the process: wall time and a millisecond tick. Tests install a manual clock
// and move it forward; nothing in the system sleeps or reads the operating system's clock directly.
#pragma once

#include <cstdint>

#include "framework/rtl/Types.h"

namespace rtl {

class TClockSource {
public:
    virtual ~TClockSource() = default;
    // Local date and time.
    virtual TDateTime Now() = 0;
    // Milliseconds since an arbitrary start; never goes back.
    virtual uint64_t TickMs() = 0;
};

// A clock that stands still until told to move.
class TManualClock : public TClockSource {
public:
    explicit TManualClock(TDateTime now = 46000.0, uint64_t tick = 1000) : FNow(now), FTick(tick) {}
    TDateTime Now() override { return FNow; }
    uint64_t TickMs() override { return FTick; }
    void SetNow(TDateTime now) { FNow = now; }
    void SetTick(uint64_t tick) { FTick = tick; }
    // Moves wall time and tick forward together.
    void Advance(uint64_t ms) {
        FTick += ms;
        FNow += static_cast<double>(ms) / 86400000.0;
    }

private:
    TDateTime FNow;
    uint64_t FTick;
};

// Installs a clock (nullptr restores the system clock); returns the previous one.
TClockSource* SetClockSource(TClockSource* source);
TClockSource& ClockSource();

TDateTime ClockNow();
uint64_t GetTickCount64();
// The 32-bit tick that wraps after 49.7 days; callers compare ticks by unsigned difference.
uint32_t GetTickCount();

// Installs a manual clock for the lifetime of the object.
class TScopedManualClock : public TManualClock {
public:
    explicit TScopedManualClock(TDateTime now = 46000.0, uint64_t tick = 1000)
        : TManualClock(now, tick), FPrevious(SetClockSource(this)) {}
    ~TScopedManualClock() override { SetClockSource(FPrevious); }
    TScopedManualClock(const TScopedManualClock&) = delete;
    TScopedManualClock& operator=(const TScopedManualClock&) = delete;

private:
    TClockSource* FPrevious;
};

}  // namespace rtl
