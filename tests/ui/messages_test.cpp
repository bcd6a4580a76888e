#include "tests/support/ui_fixture.h"

namespace uitest {
namespace {

constexpr UINT WM_PING = WM_USER + 1;

// A base with a key handler and a custom message, and a descendant that changes both.
class TBaseControl : public TCustomControl {
    RTL_CLASS(TBaseControl, TCustomControl)
public:
    using TCustomControl::TCustomControl;
    std::vector<std::string> Seen;

protected:
    void WMKeyDown(TWMKey& M) override {
        Seen.push_back("base:" + std::to_string(M.CharCode));
        TCustomControl::WMKeyDown(M);
    }
    void Dispatch(TMessage& M) override {
        if (M.Msg == WM_PING) {
            Seen.push_back("base:ping");
            M.Result = 10;
            return;
        }
        TCustomControl::Dispatch(M);
    }
    void DefaultHandler(TMessage& M) override {
        if (M.Msg == WM_KEYDOWN || M.Msg == WM_USER + 2) Seen.push_back("default:" + std::to_string(M.WParam));
        TCustomControl::DefaultHandler(M);
    }
};

class TDerivedControl : public TBaseControl {
    RTL_CLASS(TDerivedControl, TBaseControl)
public:
    using TBaseControl::TBaseControl;

protected:
    void WMKeyDown(TWMKey& M) override {
        Seen.push_back("derived:" + std::to_string(M.CharCode));
        if (M.CharCode == VK_F2) M.CharCode = VK_F3;  // the change reaches the inherited handler
        TBaseControl::WMKeyDown(M);
    }
};

using MessageTest = UiTest;

TEST_F(MessageTest, HandlersRunMostDerivedFirstAndUnhandledMessagesReachTheDefaultHandler) {
    auto* c = rtl::Create<TDerivedControl>(Form);
    c->SetParent(Form);
    uint16_t keySeen = 0;
    c->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) { keySeen = Key; };

    c->Perform(WM_KEYDOWN, VK_F2, 0);
    EXPECT_EQ(keySeen, VK_F3);
    EXPECT_EQ(c->Seen, (std::vector<std::string>{"derived:113", "base:114", "default:114"}));

    c->Seen.clear();
    EXPECT_EQ(c->Perform(WM_PING), 10);
    EXPECT_EQ(c->Perform(WM_USER + 2, 7), 0);
    EXPECT_EQ(c->Seen, (std::vector<std::string>{"base:ping", "default:7"}));

    // A key handler that clears the key keeps the default handling away.
    c->Seen.clear();
    c->OnKeyDown = [](TObject*, uint16_t& Key, TShiftState) { Key = 0; };
    c->Perform(WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(c->Seen, (std::vector<std::string>{"derived:65", "base:65"}));
}

TEST_F(MessageTest, HookedWindowProcSeesEveryMessageAndCanPassItOn) {
    auto* c = rtl::Create<TBaseControl>(Form);
    c->SetParent(Form);
    c->HandleNeeded();
    std::vector<UINT> hooked;
    auto saved = c->WindowProc;
    c->WindowProc = [&, c](TMessage& M) {
        hooked.push_back(M.Msg);
        if (M.Msg == WM_PING && M.WParam == 1) return;  // swallowed
        c->WndProc(M);
    };
    EXPECT_EQ(SendMessage(c->Handle(), WM_PING, 1), 0);
    EXPECT_EQ(SendMessage(c->Handle(), WM_PING, 0), 10);
    EXPECT_EQ(hooked, (std::vector<UINT>{WM_PING, WM_PING}));
    EXPECT_EQ(c->Seen, (std::vector<std::string>{"base:ping"}));
    c->WindowProc = saved;
}

TEST_F(MessageTest, SendIsImmediateAndPostWaitsForTheLoopInOrder) {
    auto* c = rtl::Create<TBaseControl>(Form);
    c->SetParent(Form);
    const HWND h = c->Handle();
    PostMessage(h, WM_USER + 2, 1);
    SendMessage(h, WM_USER + 2, 2);
    PostMessage(h, WM_USER + 2, 3);
    EXPECT_EQ(c->Seen, (std::vector<std::string>{"default:2"}));
    Pump();
    EXPECT_EQ(c->Seen, (std::vector<std::string>{"default:2", "default:1", "default:3"}));
}

TEST_F(MessageTest, PeekMessageFiltersByWindowAndRangeAndKeepsWithoutRemoval) {
    auto* a = rtl::Create<TBaseControl>(Form);
    auto* b = rtl::Create<TBaseControl>(Form);
    a->SetParent(Form);
    b->SetParent(Form);
    Pump();  // first paints
    PostMessage(a->Handle(), WM_KEYDOWN, 'A');
    PostMessage(b->Handle(), WM_LBUTTONDOWN, 0, PointToLParam(1, 1));
    PostMessage(b->Handle(), WM_LBUTTONDBLCLK, 0, PointToLParam(1, 1));
    PostMessage(a->Handle(), WM_CHAR, 'a');

    TMsg m;
    ASSERT_TRUE(PeekMessage(m, 0, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(QueuedMessageCount(), 4);
    ASSERT_TRUE(PeekMessage(m, a->Handle(), WM_CHAR, WM_CHAR, PM_REMOVE));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>('a'));
    EXPECT_FALSE(PeekMessage(m, a->Handle(), WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessage(m, b->Handle(), 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_LBUTTONDOWN));
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(QueuedMessageCount(), 1);
}

TEST_F(MessageTest, MessageTimeIsTheTickWhenPostedAndChangesOnlyWhenRemoved) {
    auto* c = rtl::Create<TBaseControl>(Form);
    c->SetParent(Form);
    Pump();
    Clock.SetTick(5000);
    PostMessage(c->Handle(), WM_USER + 2);
    Clock.Advance(300);
    TMsg m;
    PeekMessage(m, 0, 0, 0, PM_NOREMOVE);
    EXPECT_NE(GetMessageTime(), 5000u);
    PeekMessage(m, 0, 0, 0, PM_REMOVE);
    EXPECT_EQ(GetMessageTime(), 5000u);
}

// A queue several thousand messages long, taken from the front, from the middle by a filter and
// purged by a dying window, keeps its order and each message's post time; run twice so that the
// second burst reuses what the first one grew.
TEST_F(MessageTest, ALongQueueKeepsOrderAndTimesThroughFilteredRemovalAndPurge) {
    auto* a = rtl::Create<TBaseControl>(Form);
    auto* b = rtl::Create<TBaseControl>(Form);
    a->SetParent(Form);
    b->SetParent(Form);
    Pump();
    constexpr int N = 5000;
    for (int round = 0; round < 2; ++round) {
        auto* gone = rtl::Create<TBaseControl>(Form);
        gone->SetParent(Form);
        Pump();
        for (int i = 0; i < N; ++i) {
            Clock.SetTick(10000 + static_cast<uint64_t>(i));
            PostMessage(i % 3 == 0 ? gone->Handle() : a->Handle(), WM_USER + 2, static_cast<WPARAM>(i));
            if (i == 2500) PostMessage(b->Handle(), WM_USER + 3, 99);
        }
        Clock.SetTick(90000);
        TMsg m;
        // Taken from the middle, across block boundaries: the rest closes up behind it.
        ASSERT_TRUE(PeekMessage(m, b->Handle(), 0, 0, PM_REMOVE));
        EXPECT_EQ(m.wParam, 99u);
        EXPECT_EQ(GetMessageTime(), 12500u);
        gone->Free();
        int expected = 1, taken = 0;
        while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) {
            if (m.message == WM_PAINT) {
                DispatchMessage(m);
                continue;
            }
            ASSERT_EQ(m.wParam, static_cast<WPARAM>(expected));
            ASSERT_EQ(GetMessageTime(), 10000u + static_cast<uint32_t>(expected));
            expected += expected % 3 == 1 ? 1 : 2;
            ++taken;
        }
        EXPECT_EQ(taken, N - (N + 2) / 3);
        EXPECT_EQ(QueuedMessageCount(), 0);
    }
}

TEST_F(MessageTest, MessagesForADestroyedWindowAreDroppedAndItsHandleIsNeverReused) {
    auto* c = rtl::Create<TBaseControl>(Form);
    c->SetParent(Form);
    const HWND old = c->Handle();
    PostMessage(old, WM_USER + 2, 1);
    c->Free();
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(QueuedMessageCount(), 0);
    EXPECT_FALSE(PostMessage(old, WM_USER + 2));
    EXPECT_EQ(SendMessage(old, WM_PING), 0);
    auto* d = rtl::Create<TBaseControl>(Form);
    d->SetParent(Form);
    EXPECT_NE(d->Handle(), old);
    EXPECT_EQ(FindControl(old), nullptr);
}

TEST_F(MessageTest, TypedRecordsAreViewsOfTheGenericRecord) {
    TMessage m(WM_MOUSEWHEEL, MakeWParam(MK_SHIFT, -240), PointToLParam(-5, 300));
    TWMMouseWheel w(m);
    EXPECT_EQ(w.WheelDelta, -240);
    EXPECT_EQ(w.Keys, MK_SHIFT);
    EXPECT_EQ(w.Pos(), Point(-5, 300));
    w.Result = 1;
    EXPECT_EQ(m.Result, 1);

    TMessage k(WM_KEYDOWN, VK_RETURN, 0x1C0001);
    TWMKey key(k);
    key.CharCode = 0;
    EXPECT_EQ(k.WParam, 0u);
    EXPECT_EQ(key.KeyData, 0x1C0001);
}

TEST_F(MessageTest, WindowTimersPostOneTimerMessageWhateverTheDelay) {
    struct TTimed : TCustomControl {
        using TCustomControl::TCustomControl;
        std::vector<WPARAM> Ids;
        void WMTimer(TWMTimer& M) override { Ids.push_back(M.TimerID); }
    };
    auto* c = rtl::Create<TTimed>(Form);
    c->SetParent(Form);
    SetTimer(c->Handle(), 1, 60);
    SetTimer(c->Handle(), 2, 500);
    Clock.Advance(59);
    Pump();
    EXPECT_TRUE(c->Ids.empty());
    Clock.Advance(1);
    Pump();
    EXPECT_EQ(c->Ids, (std::vector<WPARAM>{1}));
    c->Ids.clear();
    // Several elapsed intervals without a loop give one WM_TIMER.
    for (int i = 0; i < 5; ++i) {
        Clock.Advance(100);
        rtl::ProcessTimers();
    }
    Pump();
    EXPECT_EQ(c->Ids, (std::vector<WPARAM>{1, 2}));
    c->Ids.clear();
    KillTimer(c->Handle(), 1);
    Clock.Advance(600);
    Pump();
    EXPECT_EQ(c->Ids, (std::vector<WPARAM>{2}));
    // A destroyed window's timers stop.
    const HWND h = c->Handle();
    c->DestroyHandle();
    EXPECT_FALSE(rtl::TimerService().TimerExists(reinterpret_cast<const void*>(h), 2));
}

}  // namespace
}  // namespace uitest
