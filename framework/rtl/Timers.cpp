#include "framework/rtl/Timers.h"

#include <algorithm>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Exceptions.h"

namespace rtl {

TTimerService::TTimer* TTimerService::Find(const void* Owner, uintptr_t Id) {
    for (auto& t : FTimers)
        if (t.Owner == Owner && t.Id == Id) return &t;
    return nullptr;
}

const TTimerService::TTimer* TTimerService::Find(const void* Owner, uintptr_t Id) const {
    for (auto& t : FTimers)
        if (t.Owner == Owner && t.Id == Id) return &t;
    return nullptr;
}

uintptr_t TTimerService::SetTimer(const void* Owner, uintptr_t Id, uint32_t IntervalMs, TTimerCallback Callback) {
    if (!Owner && Id == 0) {
        do Id = FNextAnonymousId++;
        while (Id == 0 || Find(nullptr, Id));
    }
    uint32_t interval = std::max(IntervalMs, MinimumInterval);
    uint64_t due = GetTickCount64() + interval;
    if (TTimer* t = Find(Owner, Id)) {
        t->Interval = interval;
        t->Due = due;
        t->Enabled = true;
        t->Serial = FNextSerial++;
        t->Callback = std::move(Callback);
    } else {
        FTimers.push_back(TTimer{Owner, Id, interval, due, true, FNextSerial++, std::move(Callback)});
    }
    return Id;
}

bool TTimerService::KillTimer(const void* Owner, uintptr_t Id) {
    auto it =
        std::find_if(FTimers.begin(), FTimers.end(), [&](const TTimer& t) { return t.Owner == Owner && t.Id == Id; });
    if (it == FTimers.end()) return false;
    FTimers.erase(it);
    return true;
}

int TTimerService::KillTimers(const void* Owner) {
    auto n = std::erase_if(FTimers, [&](const TTimer& t) { return t.Owner == Owner; });
    return static_cast<int>(n);
}

bool TTimerService::EnableTimer(const void* Owner, uintptr_t Id, bool Enabled) {
    TTimer* t = Find(Owner, Id);
    if (!t) return false;
    if (Enabled && !t->Enabled) {
        t->Due = GetTickCount64() + t->Interval;
        t->Serial = FNextSerial++;
    }
    t->Enabled = Enabled;
    return true;
}

bool TTimerService::TimerExists(const void* Owner, uintptr_t Id) const { return Find(Owner, Id) != nullptr; }

bool TTimerService::TimerEnabled(const void* Owner, uintptr_t Id) const {
    const TTimer* t = Find(Owner, Id);
    return t && t->Enabled;
}

int TTimerService::ProcessTimers() {
    const uint64_t now = GetTickCount64();
    // Callbacks may start, kill or restart timers, so work from a list of what is due now and look
    // each one up again before firing it.
    struct TDue {
        const void* Owner;
        uintptr_t Id;
        uint64_t Serial;
    };
    std::vector<TDue> due;
    for (const auto& t : FTimers)
        if (t.Enabled && t.Due <= now) due.push_back({t.Owner, t.Id, t.Serial});
    int fired = 0;
    for (const auto& d : due) {
        TTimer* t = Find(d.Owner, d.Id);
        if (!t || !t->Enabled || t->Serial != d.Serial) continue;
        t->Due = now + t->Interval;
        // A copy: the callback may kill its own timer.
        TTimerCallback callback = t->Callback;
        ++fired;
        if (!callback) continue;
        try {
            callback();
        } catch (...) {
            HandleException();
        }
    }
    return fired;
}

std::optional<uint64_t> TTimerService::TimeToNextTimer() const {
    std::optional<uint64_t> next;
    for (const auto& t : FTimers)
        if (t.Enabled && (!next || t.Due < *next)) next = t.Due;
    if (!next) return std::nullopt;
    uint64_t now = GetTickCount64();
    return *next <= now ? 0 : *next - now;
}

TTimerService& TimerService() {
    static TTimerService service;
    return service;
}

}  // namespace rtl
