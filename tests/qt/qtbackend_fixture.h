// A form shown through the backend on the offscreen platform, with a control that logs the input
// messages it gets.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QWindow>

#include "framework/qt/QtBackend.h"
#include "framework/rtl/Clock.h"
#include "framework/ui/Forms.h"

namespace qttest {

using namespace ui;

class TInputLog : public TCustomControl {
    RTL_CLASS(TInputLog, TCustomControl)
public:
    explicit TInputLog(rtl::TComponent* Owner) : TCustomControl(Owner) {
        SetTabStop(true);
        SetBounds(10, 10, 100, 30);
    }
    std::vector<std::string> Log;
    std::string Joined() const {
        std::string s;
        for (const auto& e : Log) s += (s.empty() ? "" : " ") + e;
        return s;
    }
    void WndProc(TMessage& M) override {
        char buf[64] = {};
        const bool repeat =
            (static_cast<uint32_t>(M.LParam) & 0x40000000u) && (M.Msg == WM_KEYDOWN || M.Msg == WM_SYSKEYDOWN);
        switch (M.Msg) {
            case WM_KEYDOWN:
                std::snprintf(buf, sizeof buf, "down:%02X%s", unsigned(M.WParam), repeat ? "+r" : "");
                break;
            case WM_KEYUP: std::snprintf(buf, sizeof buf, "up:%02X", unsigned(M.WParam)); break;
            case WM_CHAR: std::snprintf(buf, sizeof buf, "char:%02X", unsigned(M.WParam)); break;
            case WM_SYSKEYDOWN:
                std::snprintf(buf, sizeof buf, "sysdown:%02X%s", unsigned(M.WParam), repeat ? "+r" : "");
                break;
            case WM_SYSKEYUP: std::snprintf(buf, sizeof buf, "sysup:%02X", unsigned(M.WParam)); break;
            case WM_SYSCHAR: std::snprintf(buf, sizeof buf, "syschar:%02X", unsigned(M.WParam)); break;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                std::snprintf(buf, sizeof buf, "%s:%d,%d", M.Msg == WM_LBUTTONDOWN ? "ldown" : "ldbl",
                              int(int16_t(M.LParam & 0xFFFF)), int(int16_t((M.LParam >> 16) & 0xFFFF)));
                break;
            case WM_LBUTTONUP: std::snprintf(buf, sizeof buf, "lup"); break;
            case WM_MOUSEWHEEL:
                std::snprintf(buf, sizeof buf, "wheel:%d", int(int16_t((M.WParam >> 16) & 0xFFFF)));
                break;
            default: break;
        }
        if (buf[0]) Log.push_back(buf);
        TCustomControl::WndProc(M);
    }
};

class BackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearMessageQueue();
        ResetKeyState();
        ResetDoubleClick();
        qtback::Install();
        Form = rtl::Create<TForm>(nullptr);
        Form->SetName("Form");
        Form->SetBounds(100, 100, 300, 200);
        Input = rtl::Create<TInputLog>(Form);
        Input->SetName("Input");
        Input->SetParent(Form);
        Form->Show();
        Input->SetFocus();
        Pump();
    }
    void TearDown() override {
        ReleaseCapture();
        if (Form) Form->Free();
        ClearMessageQueue();
        qtback::Uninstall();
        ResetApplication();
    }
    // The model handles what is waiting, then the native windows follow.
    void Pump() {
        Application()->ProcessMessages();
        qtback::SyncWindows();
        QCoreApplication::processEvents();
        Application()->ProcessMessages();
        qtback::SyncWindows();
    }
    QWindow* Native(TWinControl* C) const { return qtback::NativeWindow(C); }

    rtl::TScopedManualClock Clock;
    TForm* Form = nullptr;
    TInputLog* Input = nullptr;
};

}  // namespace qttest
