// Shared set-up of the window-model tests: a manual clock, an empty queue, no focus or capture
// left from another test, and a form to put controls on.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Timers.h"
#include "framework/ui/Forms.h"

namespace uitest {

using namespace ui;

// A control that logs the messages it handles.
class TLogControl : public TCustomControl {
    RTL_CLASS(TLogControl, TCustomControl)
public:
    explicit TLogControl(rtl::TComponent* Owner) : TCustomControl(Owner) {
        SetTabStop(true);
        SetBounds(0, 0, 50, 20);
    }
    std::vector<std::string>* Log = nullptr;
    LRESULT DlgCode = 0;

protected:
    void Say(const std::string& S) {
        if (Log) Log->push_back(Name() + ":" + S);
    }
    void WMSetFocus(TWMSetFocus& M) override {
        TWinControl* other = FindControl(M.FocusedWnd);
        Say("setfocus<" + (other ? other->Name() : std::string("-")));
        TCustomControl::WMSetFocus(M);
    }
    void WMKillFocus(TWMKillFocus& M) override {
        TWinControl* other = FindControl(M.FocusedWnd);
        Say("killfocus>" + (other ? other->Name() : std::string("-")));
        TCustomControl::WMKillFocus(M);
    }
    void CMEnter(TCMEnter& M) override {
        Say("enter");
        TCustomControl::CMEnter(M);
    }
    void CMExit(TCMExit& M) override {
        Say("exit");
        TCustomControl::CMExit(M);
    }
    void CMCancelMode(TCMCancelMode& M) override {
        Say("cmcancel:" + (M.Sender() ? M.Sender()->Name() : std::string("-")));
    }
    void WMCancelMode(TWMCancelMode& M) override {
        Say("wmcancel");
        TCustomControl::WMCancelMode(M);
    }
    void WMGetDlgCode(TWMGetDlgCode& M) override { M.Result = DlgCode; }
    void Paint() override { Canvas()->TextOut(1, 1, Name()); }
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearMessageQueue();
        ResetKeyState();
        ResetDoubleClick();
        Application()->ResetTerminated();
        Application()->ClearShownMessages();
        Form = rtl::Create<TForm>(nullptr);
        Form->SetName("Form");
        Form->SetBounds(100, 100, 400, 300);
    }
    void TearDown() override {
        ReleaseCapture();
        if (Form) Form->Free();
        for (auto* f : Extra) f->Free();
        ClearMessageQueue();
        ResetApplication();
    }
    TLogControl* AddLog(TWinControl* Parent, const std::string& Name, int X = 0, int Y = 0) {
        auto* c = rtl::Create<TLogControl>(Form);
        c->SetName(Name);
        c->SetLeft(X);
        c->SetTop(Y);
        c->Log = &Log;
        c->SetParent(Parent);
        return c;
    }
    TForm* MakeForm(const std::string& Name) {
        auto* f = rtl::Create<TForm>(nullptr);
        f->SetName(Name);
        f->SetBounds(300, 300, 200, 100);
        Extra.push_back(f);
        return f;
    }
    void Pump() { Application()->ProcessMessages(); }
    // Screen point of a client point of a control.
    static TPoint At(TControl* C, int X, int Y) { return C->ClientToScreen(Point(X, Y)); }

    rtl::TScopedManualClock Clock;
    TForm* Form = nullptr;
    std::vector<TForm*> Extra;
    std::vector<std::string> Log;
};

}  // namespace uitest
