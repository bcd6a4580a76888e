// A component that raises OnTimer at a fixed interval without needing a form: it owns a timer
// window of its own (a small window record here) whose timer messages arrive through the
// process's timer service, and so on the thread that runs the message loop.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/rtl/Classes.h"

namespace store {

inline constexpr const char* SNoTimers = "Not enough timers available";

// The timer window message and the identifier of the component's one timer.
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uintptr_t Win32TimerId = 1;

class TWin32Timer;

// The hidden window of a timer component: its user data is the component.
struct TWin32TimerWindow {
    TWin32Timer* UserData = nullptr;
};
using HWND = TWin32TimerWindow*;
using TWin32TimerWndProc = intptr_t (*)(HWND Window, uint32_t Msg, uintptr_t WParam, intptr_t LParam);

class TWin32Timer : public rtl::TComponent {
    RTL_CLASS(TWin32Timer, rtl::TComponent)
public:
    static constexpr const char* WindowClassName = "TWin32TimerWindow";

    explicit TWin32Timer(rtl::TComponent* AOwner);
    ~TWin32Timer() override;

    uint32_t Interval() const noexcept { return FInterval; }
    void SetInterval(uint32_t Value);
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    const rtl::TNotifyEvent& OnTimer() const noexcept { return FOnTimer; }
    void SetOnTimer(rtl::TNotifyEvent Value);

    // Kills the window timer and starts it again when Interval, Enabled and OnTimer allow; the
    // interval counts from this call.
    void UpdateTimer();
    // Whether the window timer is running now.
    bool TimerRunning() const;
    HWND Handle() const noexcept { return FWindowHandle.get(); }

    // The window procedure of the timer window class: WM_TIMER calls Timer, and an exception
    // from it goes to the application's handler instead of the message loop.
    static intptr_t WindowProc(HWND Window, uint32_t Msg, uintptr_t WParam, intptr_t LParam);
    // How many times the window class was registered in this process.
    static int WindowClassRegistrations() noexcept;

protected:
    virtual void Timer();

private:
    static void RegisterWindowClass();

    uint32_t FInterval = 1000;
    bool FEnabled = true;
    rtl::TNotifyEvent FOnTimer;
    std::unique_ptr<TWin32TimerWindow> FWindowHandle;
};

}  // namespace store
