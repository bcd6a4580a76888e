#include "data/store/Win32Timer.h"

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Timers.h"

namespace store {

namespace {

struct TWindowClass {
    const char* Name = nullptr;
    TWin32TimerWndProc WndProc = nullptr;
};

TWindowClass& RegisteredClass() {
    static TWindowClass cls;
    return cls;
}

int& RegistrationCount() {
    static int count = 0;
    return count;
}

}  // namespace

void TWin32Timer::RegisterWindowClass() {
    TWindowClass& cls = RegisteredClass();
    if (cls.Name && cls.WndProc == &TWin32Timer::WindowProc) return;
    // A class of that name with another procedure is replaced.
    cls = TWindowClass{WindowClassName, &TWin32Timer::WindowProc};
    ++RegistrationCount();
}

int TWin32Timer::WindowClassRegistrations() noexcept { return RegistrationCount(); }

TWin32Timer::TWin32Timer(rtl::TComponent* AOwner) : TComponent(AOwner) {
    RegisterWindowClass();
    FWindowHandle = std::make_unique<TWin32TimerWindow>();
    FWindowHandle->UserData = this;
}

TWin32Timer::~TWin32Timer() {
    FEnabled = false;
    rtl::KillTimer(FWindowHandle.get(), Win32TimerId);
    FWindowHandle.reset();
}

void TWin32Timer::SetInterval(uint32_t Value) {
    if (Value == FInterval) return;
    FInterval = Value;
    UpdateTimer();
}

void TWin32Timer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateTimer();
}

void TWin32Timer::SetOnTimer(rtl::TNotifyEvent Value) {
    FOnTimer = std::move(Value);
    UpdateTimer();
}

void TWin32Timer::UpdateTimer() {
    HWND window = FWindowHandle.get();
    rtl::KillTimer(window, Win32TimerId);
    if (FInterval != 0 && FEnabled && FOnTimer) {
        uintptr_t id =
            rtl::SetTimer(window, Win32TimerId, FInterval, [window] { WindowProc(window, WM_TIMER, Win32TimerId, 0); });
        if (id == 0) throw rtl::EOutOfResources(SNoTimers);
    }
}

bool TWin32Timer::TimerRunning() const { return rtl::TimerService().TimerEnabled(FWindowHandle.get(), Win32TimerId); }

void TWin32Timer::Timer() {
    if (FOnTimer) FOnTimer(this);
}

intptr_t TWin32Timer::WindowProc(HWND Window, uint32_t Msg, uintptr_t /*WParam*/, intptr_t /*LParam*/) {
    TWin32Timer* timer = Window ? Window->UserData : nullptr;
    if (Msg != WM_TIMER || !timer) return 0;  // the default procedure has nothing to do here
    try {
        timer->Timer();
    } catch (...) {
        rtl::HandleException();
    }
    return 1;
}

}  // namespace store
