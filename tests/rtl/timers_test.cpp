#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Timers.h"

using namespace rtl;

namespace {

class TimerTest : public ::testing::Test {
protected:
    TScopedManualClock clock{46000.0, 5000};
    TTimerService timers;
    int owner = 0;  // any address serves as an owner
    std::vector<std::string> fired;
    TTimerCallback Log(std::string name) {
        return [this, name] { fired.push_back(name); };
    }
};

}  // namespace

TEST_F(TimerTest, FiresOncePerProcessingAfterItsInterval) {
    timers.SetTimer(&owner, 1, 100, Log("a"));
    clock.Advance(99);
    EXPECT_EQ(timers.ProcessTimers(), 0);
    EXPECT_EQ(timers.TimeToNextTimer(), std::optional<uint64_t>(1));
    clock.Advance(1);
    EXPECT_EQ(timers.ProcessTimers(), 1);
    EXPECT_EQ(timers.ProcessTimers(), 0);  // not again at the same moment
    // Many intervals passed: still one event, and the next interval counts from now.
    clock.Advance(1000);
    EXPECT_EQ(timers.ProcessTimers(), 1);
    clock.Advance(50);
    EXPECT_EQ(timers.ProcessTimers(), 0);
    clock.Advance(50);
    EXPECT_EQ(timers.ProcessTimers(), 1);
    EXPECT_EQ(fired, (std::vector<std::string>{"a", "a", "a"}));
}

TEST_F(TimerTest, DisabledAndKilledTimersAreSilent) {
    timers.SetTimer(&owner, 1, 100, Log("disabled"));
    timers.SetTimer(&owner, 2, 100, Log("killed"));
    timers.SetTimer(&owner, 3, 100, Log("kept"));
    EXPECT_TRUE(timers.EnableTimer(&owner, 1, false));
    EXPECT_TRUE(timers.KillTimer(&owner, 2));
    EXPECT_FALSE(timers.KillTimer(&owner, 2));
    clock.Advance(500);
    timers.ProcessTimers();
    EXPECT_EQ(fired, (std::vector<std::string>{"kept"}));
    EXPECT_TRUE(timers.TimerExists(&owner, 1));
    EXPECT_FALSE(timers.TimerEnabled(&owner, 1));

    // Enabling restarts the whole interval from that moment.
    timers.EnableTimer(&owner, 1, true);
    clock.Advance(99);
    timers.KillTimer(&owner, 3);
    timers.ProcessTimers();
    EXPECT_EQ(fired.size(), 1u);
    clock.Advance(1);
    timers.ProcessTimers();
    EXPECT_EQ(fired.back(), "disabled");

    EXPECT_EQ(timers.KillTimers(&owner), 1);
    EXPECT_EQ(timers.TimerCount(), 0);
    EXPECT_EQ(timers.TimeToNextTimer(), std::nullopt);
    EXPECT_FALSE(timers.EnableTimer(&owner, 1, true));
}

TEST_F(TimerTest, RestartingPostponesAndIdentifiersAreKeyedByOwner) {
    int other = 0;
    timers.SetTimer(&owner, 1, 100, Log("mine"));
    timers.SetTimer(&other, 1, 100, Log("other"));
    clock.Advance(60);
    // Setting an existing timer again restarts it, as a master change restarts a refresh delay.
    timers.SetTimer(&owner, 1, 100, Log("mine again"));
    clock.Advance(60);
    timers.ProcessTimers();
    EXPECT_EQ(fired, (std::vector<std::string>{"other"}));
    clock.Advance(40);
    timers.ProcessTimers();
    EXPECT_EQ(fired.back(), "mine again");

    uintptr_t a = timers.SetTimer(nullptr, 0, 0, Log("anon"));
    uintptr_t b = timers.SetTimer(nullptr, 0, 5, Log("anon"));
    EXPECT_NE(a, b);
    clock.Advance(TTimerService::MinimumInterval - 1);
    EXPECT_EQ(timers.ProcessTimers(), 0);  // a zero interval is raised to the minimum
}

TEST_F(TimerTest, CallbacksMayChangeTimersAndTheirErrorsAreHandled) {
    std::vector<std::string> handled;
    auto previous = SetApplicationExceptionHandler([&](const Exception& e) { handled.push_back(e.Message()); });
    timers.SetTimer(&owner, 1, 100, [&] {
        fired.push_back("one-shot");
        timers.KillTimer(&owner, 1);
        timers.KillTimer(&owner, 2);  // due in this same round: must not fire
    });
    timers.SetTimer(&owner, 2, 100, Log("two"));
    timers.SetTimer(&owner, 3, 100, [] { throw EConvertError("bad value"); });
    timers.SetTimer(&owner, 4, 100, Log("four"));
    clock.Advance(100);
    timers.ProcessTimers();
    SetApplicationExceptionHandler(previous);
    EXPECT_EQ(fired, (std::vector<std::string>{"one-shot", "four"}));
    EXPECT_EQ(handled, (std::vector<std::string>{"bad value"}));
    EXPECT_EQ(timers.TimerCount(), 2);
}

TEST_F(TimerTest, ProcessWideServiceReadsTheInstalledClock) {
    int fires = 0;
    uintptr_t id = SetTimer(nullptr, 0, 250, [&] { ++fires; });
    clock.Advance(249);
    ProcessTimers();
    EXPECT_EQ(fires, 0);
    clock.Advance(1);
    ProcessTimers();
    EXPECT_EQ(fires, 1);
    EXPECT_TRUE(KillTimer(nullptr, id));
}
