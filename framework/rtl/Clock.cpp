#include "framework/rtl/Clock.h"

#include <atomic>
#include <chrono>
#include <ctime>

namespace rtl {

namespace {

class TSystemClock : public TClockSource {
public:
    TDateTime Now() override {
        using namespace std::chrono;
        auto now = system_clock::now();
        std::time_t t = system_clock::to_time_t(now);
        std::tm local{};
        localtime_r(&t, &local);
        auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
        // Days from 1899-12-30 to the local calendar date, plus the local time of day.
        int y = local.tm_year + 1900, m = local.tm_mon + 1, d = local.tm_mday;
        // Days since 1970-01-01 by the civil-from-days inverse.
        y -= m <= 2;
        const int era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        const long days1970 = era * 146097L + static_cast<long>(doe) - 719468L;
        const double dayFraction =
            (local.tm_hour * 3600000.0 + local.tm_min * 60000.0 + local.tm_sec * 1000.0 + ms) / 86400000.0;
        return static_cast<double>(days1970 + 25569) + dayFraction;
    }
    // The coarse monotonic clock keeps millisecond ticks at a few nanoseconds a read (every posted
    // message is stamped with one); its resolution of a few milliseconds is finer than the tick
    // count it stands for ever had.
    uint64_t TickMs() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
        return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    }
};

TSystemClock gSystemClock;
std::atomic<TClockSource*> gSource{&gSystemClock};

}  // namespace

TClockSource* SetClockSource(TClockSource* source) { return gSource.exchange(source ? source : &gSystemClock); }

TClockSource& ClockSource() { return *gSource.load(); }

TDateTime ClockNow() { return ClockSource().Now(); }

uint64_t GetTickCount64() { return ClockSource().TickMs(); }

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

}  // namespace rtl
