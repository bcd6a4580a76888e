// Non-visual helpers of forms: the component timer.
#pragma once

#include <cstdint>

#include "framework/rtl/Classes.h"

namespace ui {

// Fires OnTimer every Interval milliseconds of the process clock while Enabled; the message loop
// (rtl::ProcessTimers) drives it.
class TTimer : public rtl::TComponent {
    RTL_CLASS(TTimer, rtl::TComponent)
public:
    explicit TTimer(rtl::TComponent* Owner);
    ~TTimer() override;
    void AfterConstruction() override;

    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    uint32_t Interval() const noexcept { return FInterval; }
    // 0 stops the timer.
    void SetInterval(uint32_t Value);
    void SetOnTimer(rtl::TNotifyEvent Value);
    const rtl::TNotifyEvent& OnTimer() const noexcept { return FOnTimer; }

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    bool FEnabled = true;
    uint32_t FInterval = 1000;
    rtl::TNotifyEvent FOnTimer;
};

}  // namespace ui
