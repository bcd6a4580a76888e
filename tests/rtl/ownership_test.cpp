// The owning handles and the cleanup helper: each reference or handle is let go exactly once, on
// every path, and a failing cleanup's error is the one that goes on.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/rtl/Ownership.h"

using namespace rtl;

namespace {

struct TCounted {
    int Refs = 1;
    bool* Freed;
    explicit TCounted(bool* freed) : Freed(freed) {}
    void AddRef() { ++Refs; }
    void Release() {
        if (--Refs == 0) {
            *Freed = true;
            delete this;
        }
    }
};

}  // namespace

TEST(SharedRef, EveryReferenceIsReleasedOnce) {
    bool freed = false;
    auto* obj = new TCounted(&freed);
    {
        auto a = TSharedRef<TCounted>::Adopt(obj);  // takes the creator's reference
        EXPECT_EQ(obj->Refs, 1);
        auto b = a;
        EXPECT_EQ(obj->Refs, 2);
        auto c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(obj->Refs, 2);
        auto d = TSharedRef<TCounted>::Retain(obj);
        EXPECT_EQ(obj->Refs, 3);
        d = nullptr;
        EXPECT_EQ(obj->Refs, 2);
        c = a;  // the same object: no net change
        EXPECT_EQ(obj->Refs, 2);
        TCounted* raw = c.Detach();
        EXPECT_EQ(raw, obj);
        EXPECT_EQ(obj->Refs, 2);
        raw->Release();
    }
    EXPECT_TRUE(freed);
}

TEST(UniqueHandle, ReleasesOnceAndHandsOverOnDetach) {
    std::vector<int> released;
    auto close = [&released](int h) { released.push_back(h); };
    {
        TUniqueHandle<int, decltype(close)> h(close, 7);
        *h.Receive() = 8;  // an out-parameter fills the slot once the old handle is released
        EXPECT_EQ(released, std::vector<int>{7});
        TUniqueHandle<int, decltype(close)> moved(std::move(h));
        EXPECT_FALSE(h);
        TUniqueHandle<int, decltype(close)> kept(close, 9);
        EXPECT_EQ(kept.Detach(), 9);
    }
    EXPECT_EQ(released, (std::vector<int>{7, 8}));
}

TEST(TryFinally, CleanupRunsOnEveryPathAndItsErrorWins) {
    std::vector<std::string> log;
    auto cleanup = [&] { log.push_back("cleanup"); };

    EXPECT_EQ(TryFinally([] { return 42; }, cleanup), 42);
    EXPECT_EQ(log.size(), 1u);

    int target = 0;
    int& ref = TryFinally([&]() -> int& { return target; }, cleanup);
    EXPECT_EQ(&ref, &target);

    EXPECT_THROW(TryFinally([] { throw std::runtime_error("body"); }, cleanup), std::runtime_error);
    EXPECT_EQ(log.size(), 3u);

    struct {
        const char* Name;
        bool BodyFails;
        const char* Want;
    } const cases[] = {{"after a body that failed", true, "cleanup"},
                       {"after a body that succeeded", false, "cleanup"}};
    for (const auto& c : cases) {
        try {
            TryFinally(
                [&] {
                    if (c.BodyFails) throw std::runtime_error("body");
                },
                [] { throw std::logic_error("cleanup"); });
            ADD_FAILURE() << c.Name;
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), c.Want) << c.Name;
        } catch (...) {
            ADD_FAILURE() << "the body's error went on " << c.Name;
        }
    }
}

// A pair guard ends what it began on every way out; when the scope is left by an error, an error
// of the ending is dropped and the first goes on, otherwise the ending's error is raised.
TEST(ScopeGuards, EndOnEveryPathAndKeepTheFirstError) {
    struct TList {
        std::vector<std::string> Log;
        bool FailEnd = false;
        void BeginUpdate() { Log.push_back("begin"); }
        void EndUpdate() {
            Log.push_back("end");
            if (FailEnd) throw std::logic_error("end failed");
        }
    };
    struct {
        const char* Name;
        bool BodyFails, EndFails;
        const char* Want;  // the error that leaves the scope
    } cases[] = {{"plain", false, false, nullptr},
                 {"body fails", true, false, "body failed"},
                 {"end fails", false, true, "end failed"},
                 {"both fail", true, true, "body failed"}};
    for (const auto& c : cases) {
        TList list;
        list.FailEnd = c.EndFails;
        bool flag = false;
        std::string error;
        try {
            TUpdateLock<TList> lock(&list);
            TScopedValue<bool> set(flag, true);
            EXPECT_TRUE(flag);
            if (c.BodyFails) throw std::logic_error("body failed");
        } catch (const std::logic_error& e) {
            error = e.what();
        }
        EXPECT_EQ(list.Log, (std::vector<std::string>{"begin", "end"})) << c.Name;
        EXPECT_FALSE(flag) << c.Name;
        EXPECT_EQ(error, c.Want ? c.Want : "") << c.Name;
    }
    // Null or inactive: nothing begins, nothing ends.
    TList list;
    { TUpdateLock<TList> none(nullptr), off(&list, false); }
    EXPECT_TRUE(list.Log.empty());
    int runs = 0;
    {
        TScopeExit exit([&] { ++runs; });
    }
    EXPECT_EQ(runs, 1);
}

TEST(Adopt, TakesOverAFrameworkObject) {
    TOwnedPtr<TComponent> c = Adopt(Create<TComponent>(nullptr));
    EXPECT_NE(c.get(), nullptr);
}

#ifndef NDEBUG
TEST(ComponentSecondPhase, ComponentMadeWithoutCreateFailsLoudlyWhenFreed) {
    auto* c = new TComponent(nullptr);
    try {
        TObject::Free(c);
        ADD_FAILURE() << "a component without its second phase was freed silently";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Text(), "TComponent was made without rtl::Create");
    }
    delete c;
    // The same class made the intended way frees quietly, also when its owner frees it.
    TOwnedPtr<TComponent> owner = Adopt(Create<TComponent>(nullptr));
    Create<TComponent>(owner.get());
    EXPECT_EQ(owner->ComponentCount(), 1);
}
#endif
