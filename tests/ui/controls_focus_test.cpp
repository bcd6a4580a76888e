#include "tests/support/ui_fixture.h"

namespace uitest {
namespace {

using FocusTest = UiTest;

TEST_F(FocusTest, FocusMovesSendKillFocusNamingTheNewWindowAndEnterExitAlongTheParents) {
    auto* a = AddLog(Form, "A");
    auto* panel = rtl::Create<TCustomControl>(Form);
    panel->SetName("Panel");
    panel->SetParent(Form);
    panel->SetBounds(0, 50, 200, 100);
    auto* b = AddLog(panel, "B");
    Form->Show();
    EXPECT_TRUE(Form->Active());
    EXPECT_TRUE(a->Focused());
    EXPECT_EQ(Form->ActiveControl(), a);
    EXPECT_EQ(Screen()->ActiveForm(), Form);
    EXPECT_EQ(Log, (std::vector<std::string>{"A:setfocus<-", "A:enter"}));

    Log.clear();
    std::vector<std::string> panelLog;
    panel->OnEnter = [&](TObject*) { panelLog.push_back("enter"); };
    panel->OnExit = [&](TObject*) { panelLog.push_back("exit"); };
    b->SetFocus();
    EXPECT_EQ(Log, (std::vector<std::string>{"A:killfocus>B", "B:setfocus<A", "A:exit", "B:enter"}));
    EXPECT_EQ(panelLog, (std::vector<std::string>{"enter"}));
    EXPECT_EQ(GetFocus(), b->Handle());

    Log.clear();
    a->SetFocus();
    EXPECT_EQ(Log, (std::vector<std::string>{"B:killfocus>A", "A:setfocus<B", "B:exit", "A:enter"}));
    EXPECT_EQ(panelLog, (std::vector<std::string>{"enter", "exit"}));

    // Focusing the focused control again sends nothing.
    Log.clear();
    a->SetFocus();
    EXPECT_TRUE(Log.empty());
}

TEST_F(FocusTest, AModalFormOverTheActiveControlGivesNoEnterOrExitToIt) {
    auto* a = AddLog(Form, "A");
    Form->Show();
    ASSERT_TRUE(a->Focused());
    TForm* dialog = MakeForm("Dialog");
    auto* d = rtl::Create<TLogControl>(dialog);
    d->SetName("D");
    d->Log = &Log;
    d->SetParent(dialog);
    std::vector<std::string> order;
    Form->OnDeactivate = [&](TObject*) { order.push_back("Form:deactivate"); };
    dialog->OnActivate = [&](TObject*) { order.push_back("Dialog:activate"); };
    dialog->OnShow = [&](TObject*) {
        order.push_back("Dialog:show");
        PostMessage(d->Handle(), WM_USER + 5);
    };
    // The dialog closes itself from a message handled inside its modal loop.
    d->WindowProc = [&, d](TMessage& M) {
        if (M.Msg == WM_USER + 5) {
            EXPECT_FALSE(Form->IsWindowEnabled());
            dialog->SetModalResult(mrOk);
            return;
        }
        d->WndProc(M);
    };
    Log.clear();
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    d->WindowProc = nullptr;
    EXPECT_EQ(Log, (std::vector<std::string>{"A:wmcancel", "A:killfocus>D", "D:setfocus<A", "D:enter", "D:killfocus>A",
                                             "A:setfocus<D"}));
    EXPECT_EQ(order, (std::vector<std::string>{"Dialog:show", "Form:deactivate", "Dialog:activate"}));
    EXPECT_FALSE(dialog->Visible());
    EXPECT_TRUE(Form->IsWindowEnabled());
    EXPECT_TRUE(a->Focused());
    EXPECT_EQ(Screen()->ActiveForm(), Form);
}

TEST_F(FocusTest, ShowModalOfAVisibleFormIsRefused) {
    TForm* dialog = MakeForm("Dialog");
    dialog->Show();
    EXPECT_THROW(dialog->ShowModal(), rtl::EInvalidOperation);
}

TEST_F(FocusTest, CloseQueryAndOnCloseCanKeepAModalFormOpen) {
    TForm* dialog = MakeForm("Dialog");
    int attempts = 0;
    dialog->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++attempts > 1; };
    dialog->OnShow = [&](TObject*) { rtl::SetTimer(dialog, 1, 10, [&] { dialog->Close(); }); };
    Clock.Advance(0);
    Application()->WaitHandler = [&] { Clock.Advance(10); };
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    rtl::KillTimer(dialog, 1);
    Application()->WaitHandler = nullptr;
    EXPECT_EQ(attempts, 2);
}

TEST_F(FocusTest, TabAndShiftTabFollowTheTabOrderSkippingWhatCannotTakeTheFocus) {
    auto* a = AddLog(Form, "A");
    auto* b = AddLog(Form, "B");
    auto* c = AddLog(Form, "C");
    auto* d = AddLog(Form, "D");
    auto* e = AddLog(Form, "E");
    c->SetTabStop(false);
    d->SetEnabled(false);
    b->SetTabOrder(0);  // B, A, C, D, E
    Form->Show();
    EXPECT_TRUE(b->Focused());
    KeyPressInput(VK_TAB);
    Pump();
    EXPECT_TRUE(a->Focused());
    KeyPressInput(VK_TAB);
    Pump();
    EXPECT_TRUE(e->Focused()) << "past C (no tab stop) and D (disabled)";
    KeyPressInput(VK_TAB);
    Pump();
    EXPECT_TRUE(b->Focused()) << "wraps";
    // The whole stroke comes in before the form handles it: Shift was down for the Tab.
    KeyInput(VK_SHIFT, true);
    KeyPressInput(VK_TAB);
    KeyInput(VK_SHIFT, false);
    Pump();
    EXPECT_TRUE(e->Focused());
    EXPECT_GE(GetKeyState(VK_SHIFT), 0) << "the Shift key's release was handled last";
    KeyInput(VK_SHIFT, true);
    KeyPressInput(VK_TAB);
    KeyInput(VK_SHIFT, false);
    Pump();
    EXPECT_TRUE(a->Focused());
    // Arrows move without regard to tab stops.
    KeyPressInput(VK_DOWN);
    Pump();
    EXPECT_TRUE(c->Focused());
}

TEST_F(FocusTest, ControlsThatAskForTabOrArrowsKeepThem) {
    auto* a = AddLog(Form, "A");
    AddLog(Form, "B");
    Form->Show();
    std::vector<uint16_t> keys;
    a->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) { keys.push_back(Key); };
    a->DlgCode = DLGC_WANTTAB;
    KeyPressInput(VK_TAB);
    Pump();
    EXPECT_TRUE(a->Focused());
    EXPECT_EQ(keys, (std::vector<uint16_t>{VK_TAB}));

    // A control that answers CM_WANTSPECIALKEY keeps Enter from the form's dialog handling.
    a->DlgCode = 0;
    int dialogKeys = 0;
    auto* sink = rtl::Create<TLogControl>(Form);
    sink->SetParent(Form);
    sink->SetTabStop(false);
    sink->WindowProc = [&, sink](TMessage& M) {
        if (M.Msg == CM_DIALOGKEY && M.WParam == VK_RETURN) {
            ++dialogKeys;
            M.Result = 1;
            return;
        }
        sink->WndProc(M);
    };
    keys.clear();
    KeyPressInput(VK_RETURN);
    Pump();
    EXPECT_EQ(dialogKeys, 1);
    EXPECT_TRUE(keys.empty()) << "the form took Enter";
    a->WindowProc = [&, a](TMessage& M) {
        if (M.Msg == CM_WANTSPECIALKEY && M.WParam == VK_RETURN) {
            M.Result = 1;
            return;
        }
        a->WndProc(M);
    };
    KeyPressInput(VK_RETURN);
    Pump();
    EXPECT_EQ(dialogKeys, 1);
    EXPECT_EQ(keys, (std::vector<uint16_t>{VK_RETURN}));
    a->WindowProc = nullptr;
    sink->WindowProc = nullptr;
}

TEST_F(FocusTest, KeyPreviewLetsTheFormSeeAndEatKeysFirst) {
    auto* a = AddLog(Form, "A");
    Form->Show();
    std::vector<std::string> seen;
    Form->SetKeyPreview(true);
    Form->OnKeyDown = [&](TObject*, uint16_t& Key, TShiftState) {
        seen.push_back("form");
        if (Key == VK_F5) Key = 0;
    };
    a->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { seen.push_back("a"); };
    a->OnKeyPress = [&](TObject*, char& Ch) { seen.push_back(std::string("press:") + Ch); };
    KeyPressInput(VK_F5);
    KeyPressInput('X');
    Pump();
    EXPECT_EQ(seen, (std::vector<std::string>{"form", "form", "a", "press:x"}));
}

TEST_F(FocusTest, CmChildKeyFromAChildCanConsumeTheKeyAtAParent) {
    auto* panel = rtl::Create<TCustomControl>(Form);
    panel->SetParent(Form);
    auto* a = AddLog(panel, "A");
    Form->Show();
    TWinControl* sender = nullptr;
    panel->WindowProc = [&, panel](TMessage& M) {
        if (M.Msg == CM_CHILDKEY && M.WParam == VK_ESCAPE) {
            sender = TCMChildKey(M).Sender();
            M.Result = 1;
            return;
        }
        panel->WndProc(M);
    };
    int keys = 0;
    a->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { ++keys; };
    KeyPressInput(VK_ESCAPE);
    KeyPressInput(VK_F4);
    Pump();
    panel->WindowProc = nullptr;
    EXPECT_EQ(sender, a);
    EXPECT_EQ(keys, 1);
}

TEST_F(FocusTest, HidingOrFreeingTheFocusedControlMovesTheActiveControlOff) {
    auto* a = AddLog(Form, "A");
    auto* b = AddLog(Form, "B");
    Form->Show();
    ASSERT_TRUE(a->Focused());
    a->Hide();
    EXPECT_EQ(Form->ActiveControl(), nullptr);
    EXPECT_FALSE(a->Focused());
    b->SetFocus();
    b->Free();
    EXPECT_EQ(Form->ActiveControl(), nullptr);
    EXPECT_EQ(GetFocus(), HWND{0});
    EXPECT_THROW(a->SetFocus(), rtl::EInvalidOperation);
}

TEST_F(FocusTest, CanFocusNeedsAFormAndVisibleEnabledParents) {
    auto* panel = rtl::Create<TCustomControl>(Form);
    panel->SetParent(Form);
    auto* a = AddLog(panel, "A");
    EXPECT_TRUE(a->CanFocus());
    panel->SetEnabled(false);
    EXPECT_FALSE(a->CanFocus());
    panel->SetEnabled(true);
    panel->Hide();
    EXPECT_FALSE(a->CanFocus());
    auto* orphan = rtl::Create<TLogControl>(Form);
    EXPECT_FALSE(orphan->CanFocus());
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

using KeyStateTest = UiTest;

TEST_F(KeyStateTest, KeyStateTracksPressesAndAltTurnsKeysIntoSystemKeys) {
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    KeyInput(VK_SHIFT, true);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_EQ(GetKeyState(VK_SHIFT) & 1, 1) << "a press toggles";
    KeyInput(VK_SHIFT, false);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    EXPECT_TRUE(GetShiftState().Empty());

    auto* a = AddLog(Form, "A");
    Form->Show();
    ClearMessageQueue();
    KeyInput(VK_MENU, true);
    KeyPressInput('X');
    KeyInput(VK_MENU, false);
    std::vector<UINT> msgs;
    TMsg m;
    while (PeekMessage(m, a->Handle(), WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) msgs.push_back(m.message);
    EXPECT_EQ(msgs, (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP, WM_SYSKEYUP}));
}

TEST_F(KeyStateTest, TakingTheCaptureAwayTellsTheWindowThatHadIt) {
    struct TCaptured : TCustomControl {
        using TCustomControl::TCustomControl;
        std::vector<HWND> Lost;
        void Dispatch(TMessage& M) override {
            if (M.Msg == WM_CAPTURECHANGED) Lost.push_back(static_cast<HWND>(M.LParam));
            TCustomControl::Dispatch(M);
        }
    };
    auto* a = rtl::Create<TCaptured>(Form);
    auto* b = rtl::Create<TCaptured>(Form);
    a->SetParent(Form);
    b->SetParent(Form);
    SetCapture(a->Handle());
    SetCapture(b->Handle());
    ReleaseCapture();
    EXPECT_EQ(a->Lost, (std::vector<HWND>{b->Handle()}));
    EXPECT_EQ(b->Lost, (std::vector<HWND>{0}));
    EXPECT_EQ(GetCapture(), HWND{0});
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

TEST_F(UiTest, AnOnExitThatRaisesKeepsTheFocusWhereItWas) {
    auto* panel = AddLog(Form, "P", 0, 0);
    panel->SetBounds(0, 0, 200, 100);
    auto* a = AddLog(panel, "A", 5, 5);
    auto* b = AddLog(Form, "B", 5, 150);
    Form->Show();
    a->SetFocus();
    Pump();
    for (TWinControl* refusing : std::vector<TWinControl*>{a, panel}) {
        Log.clear();
        Application()->ClearShownMessages();
        refusing->OnExit = [](TObject*) { throw rtl::Exception("Value required"); };
        KeyPressInput(VK_TAB);  // A -> B by the tab order
        Pump();
        EXPECT_EQ(Application()->ShownMessages(), std::vector<AnsiString>{"Value required."}) << refusing->Name();
        EXPECT_EQ(GetFocus(), a->Handle()) << refusing->Name();
        EXPECT_EQ(Form->ActiveControl(), a);
        EXPECT_EQ(Form->FocusedControl(), a);
        // B never entered; what exited before the refusal entered again.
        const std::vector<std::string> want =
            refusing == a ? std::vector<std::string>{"A:killfocus>B", "A:exit", "A:setfocus<B"}
                          : std::vector<std::string>{"A:killfocus>B", "A:exit", "P:exit", "A:setfocus<B", "A:enter"};
        std::vector<std::string> seen;
        for (const std::string& l : Log)
            if (l.rfind("B:", 0) != 0) seen.push_back(l);
        EXPECT_EQ(seen, want) << ::testing::PrintToString(Log);
        EXPECT_EQ(std::count(Log.begin(), Log.end(), "B:enter"), 0);
        refusing->OnExit = nullptr;
    }
    // Without the refusal the focus moves on.
    KeyPressInput(VK_TAB);
    Pump();
    EXPECT_EQ(GetFocus(), b->Handle());
    EXPECT_EQ(Form->ActiveControl(), b);
}

}  // namespace
}  // namespace uitest
