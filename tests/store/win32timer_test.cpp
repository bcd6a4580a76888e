#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data/store/Win32Timer.h"
#include "framework/rtl/Clock.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Timers.h"

using namespace store;

namespace {

struct TimerFixture : ::testing::Test {
    rtl::TScopedManualClock Clock;
    rtl::TOwnedPtr<TWin32Timer> Timer{rtl::Create<TWin32Timer>(nullptr)};
    int Fired = 0;
    rtl::TObject* LastSender = nullptr;

    rtl::TNotifyEvent Counter() {
        return [this](rtl::TObject* Sender) {
            ++Fired;
            LastSender = Sender;
        };
    }
    void Advance(uint64_t ms) {
        Clock.Advance(ms);
        rtl::ProcessTimers();
    }
};

}  // namespace

TEST_F(TimerFixture, DefaultsAndFiringOncePerInterval) {
    EXPECT_EQ(Timer->Interval(), 1000u);
    EXPECT_TRUE(Timer->Enabled());
    EXPECT_FALSE(Timer->TimerRunning());  // no OnTimer yet

    Timer->SetOnTimer(Counter());  // assigning the handler starts it
    EXPECT_TRUE(Timer->TimerRunning());
    Advance(999);
    EXPECT_EQ(Fired, 0);
    Advance(1);
    EXPECT_EQ(Fired, 1);
    EXPECT_EQ(LastSender, Timer.get());
    Advance(1000);
    EXPECT_EQ(Fired, 2);
}

TEST_F(TimerFixture, ZeroIntervalOrDisabledNeverStarts) {
    Timer->SetInterval(0);
    Timer->SetOnTimer(Counter());
    EXPECT_FALSE(Timer->TimerRunning());
    Timer->SetEnabled(false);
    Timer->SetEnabled(true);
    Advance(5000);
    EXPECT_EQ(Fired, 0);

    Timer->SetInterval(200);
    Timer->SetEnabled(false);
    EXPECT_FALSE(Timer->TimerRunning());
    Advance(5000);
    EXPECT_EQ(Fired, 0);
    Timer->SetEnabled(true);
    Advance(200);
    EXPECT_EQ(Fired, 1);
}

TEST_F(TimerFixture, DisablingAndEnablingPostponesByAWholeInterval) {
    Timer->SetInterval(300);
    Timer->SetOnTimer(Counter());
    // Three restarts 100 ms apart, as a detail dataset does on master scrolls.
    for (int i = 0; i < 3; ++i) {
        Advance(100);
        Timer->SetEnabled(false);
        Timer->SetEnabled(true);
    }
    Advance(299);
    EXPECT_EQ(Fired, 0);
    Advance(1);
    EXPECT_EQ(Fired, 1);
}

TEST_F(TimerFixture, ExceptionFromHandlerReachesApplicationHandler) {
    std::vector<rtl::AnsiString> shown;
    auto previous = rtl::SetApplicationExceptionHandler([&](const rtl::Exception& e) { shown.push_back(e.Message()); });
    Timer->SetInterval(50);
    Timer->SetOnTimer([this](rtl::TObject*) {
        ++Fired;
        throw rtl::Exception("boom");
    });
    EXPECT_NO_THROW(Advance(50));
    EXPECT_NO_THROW(Advance(50));
    rtl::SetApplicationExceptionHandler(previous);
    EXPECT_EQ(Fired, 2);
    EXPECT_EQ(shown, (std::vector<rtl::AnsiString>{"boom", "boom"}));
}

TEST_F(TimerFixture, WindowProcRoutesOnlyTimerMessages) {
    Timer->SetOnTimer(Counter());
    EXPECT_EQ(TWin32Timer::WindowProc(Timer->Handle(), WM_TIMER, Win32TimerId, 0), 1);
    EXPECT_EQ(TWin32Timer::WindowProc(Timer->Handle(), 0x000F /* paint */, 0, 0), 0);
    EXPECT_EQ(Fired, 1);
}

TEST_F(TimerFixture, SecondComponentReusesWindowClassAndDestructionStopsTimer) {
    int registrations = TWin32Timer::WindowClassRegistrations();
    EXPECT_GE(registrations, 1);
    int timers = rtl::TimerService().TimerCount();
    {
        rtl::TOwnedPtr<TWin32Timer> second{rtl::Create<TWin32Timer>(nullptr)};
        EXPECT_EQ(TWin32Timer::WindowClassRegistrations(), registrations);
        second->SetInterval(100);
        second->SetOnTimer(Counter());
        EXPECT_EQ(rtl::TimerService().TimerCount(), timers + 1);
    }
    EXPECT_EQ(rtl::TimerService().TimerCount(), timers);
    Advance(1000);
    EXPECT_EQ(Fired, 0);
}

TEST(Win32TimerOwnership, OwnerFreesTimer) {
    rtl::TScopedManualClock clock;
    rtl::TOwnedPtr<rtl::TComponent> owner{rtl::Create<rtl::TComponent>(nullptr)};
    int timers = rtl::TimerService().TimerCount();
    auto* timer = rtl::Create<TWin32Timer>(owner.get());
    timer->SetOnTimer([](rtl::TObject*) {});
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(rtl::TimerService().TimerCount(), timers + 1);
    owner.reset();
    EXPECT_EQ(rtl::TimerService().TimerCount(), timers);
}
