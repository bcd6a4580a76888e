#include "framework/ui/ExtCtrls.h"

#include "framework/rtl/Timers.h"

namespace ui {

TTimer::TTimer(rtl::TComponent* Owner) : TComponent(Owner) {}

TTimer::~TTimer() { rtl::KillTimer(this, 1); }

void TTimer::AfterConstruction() {
    TComponent::AfterConstruction();
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    rtl::KillTimer(this, 1);
    if (FEnabled && FInterval != 0 && FOnTimer) rtl::SetTimer(this, 1, FInterval, [this] { Timer(); });
}

void TTimer::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::SetInterval(uint32_t Value) {
    if (FInterval == Value) return;
    FInterval = Value;
    UpdateTimer();
}

void TTimer::SetOnTimer(rtl::TNotifyEvent Value) {
    FOnTimer = std::move(Value);
    UpdateTimer();
}

void TTimer::Timer() {
    if (FOnTimer) FOnTimer(this);
}

}  // namespace ui
