#include "tests/support/ui_fixture.h"

#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/ExtCtrls.h"

namespace uitest {
namespace {

using ApplicationTest = UiTest;

TEST_F(ApplicationTest, AnExceptionInAHandlerReachesTheApplicationAndTheLoopGoesOn) {
    auto* a = AddLog(Form, "A");
    Form->Show();
    int handled = 0;
    a->OnClick = [&](TObject*) {
        ++handled;
        if (handled == 1) throw rtl::EConvertError("'x' is not a valid integer value");
        if (handled == 2) rtl::Abort();
    };
    for (int i = 0; i < 3; ++i) {
        MouseInput(WM_LBUTTONDOWN, At(a, 1, 1));
        MouseInput(WM_LBUTTONUP, At(a, 1, 1));
        Clock.Advance(1000);
    }
    Pump();
    EXPECT_EQ(handled, 3);
    // The message gets its full stop; EAbort shows nothing.
    EXPECT_EQ(Application()->ShownMessages(), (std::vector<std::string>{"'x' is not a valid integer value."}));
    EXPECT_EQ(GetCapture(), HWND{0}) << "the release after the failing click still arrived";

    std::vector<std::string> classes;
    Application()->OnException = [&](TObject*, const rtl::Exception& E) { classes.push_back(E.ClassName()); };
    PostMessage(a->Handle(), WM_USER + 9);
    a->WindowProc = [a](TMessage& M) {
        if (M.Msg == WM_USER + 9) throw std::runtime_error("plain");
        a->WndProc(M);
    };
    Pump();
    a->WindowProc = nullptr;
    EXPECT_EQ(classes, (std::vector<std::string>{"Exception"}));
}

TEST_F(ApplicationTest, TimersFireOnTheDrivenClockOnlyWhileEnabled) {
    auto* timer = rtl::Create<TTimer>(Form);
    int fired = 0;
    timer->SetInterval(250);
    timer->SetOnTimer([&](TObject*) { ++fired; });
    Clock.Advance(249);
    Pump();
    EXPECT_EQ(fired, 0);
    Clock.Advance(1);
    Pump();
    EXPECT_EQ(fired, 1);
    Clock.Advance(1000);
    Pump();
    EXPECT_EQ(fired, 2) << "one event however late the loop is";
    timer->SetEnabled(false);
    Clock.Advance(1000);
    Pump();
    EXPECT_EQ(fired, 2);
    timer->SetEnabled(true);
    Clock.Advance(250);
    Pump();
    EXPECT_EQ(fired, 3);
    timer->Free();
    Clock.Advance(1000);
    Pump();
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(GetTickCount(), rtl::GetTickCount());
}

TEST_F(ApplicationTest, RunEndsOnTerminateAndAClosedMainFormTerminates) {
    Application()->SetMainForm(Form);
    Form->Show();
    int idles = 0;
    Application()->OnIdle = [&](TObject*, bool& Done) {
        if (++idles == 3) Form->Close();
        Done = true;
    };
    Application()->Run();
    Application()->OnIdle = nullptr;
    EXPECT_TRUE(Application()->Terminated());
    EXPECT_EQ(idles, 3);
}

TEST_F(ApplicationTest, HintsShowAfterThePauseAndTheControlMayChangeOrRefuseThem) {
    auto* a = AddLog(Form, "A", 10, 10);
    a->SetHint("Short|Long help");
    a->SetShowHint(true);
    Form->Show();
    MouseInput(WM_MOUSEMOVE, At(a, 3, 3));
    Pump();
    THintWindow* hint = Application()->HintWindow();
    EXPECT_FALSE(hint->Active());
    Clock.Advance(Application()->HintPause());
    Pump();
    ASSERT_TRUE(hint->Active());
    EXPECT_EQ(hint->Caption(), "Short");
    EXPECT_EQ(hint->Left(), At(a, 3, 3).X);
    // Pressing a button hides it.
    MouseInput(WM_LBUTTONDOWN, At(a, 3, 3));
    MouseInput(WM_LBUTTONUP, At(a, 3, 3));
    Pump();
    EXPECT_FALSE(hint->Active());

    // CM_HINTSHOW may rewrite the text or refuse.
    bool refuse = false;
    a->WindowProc = [&, a](TMessage& M) {
        if (M.Msg == CM_HINTSHOW) {
            TCMHintShow h(M);
            h.HintInfo->HintStr = "Cell text";
            M.Result = refuse ? 1 : 0;
            return;
        }
        a->WndProc(M);
    };
    MouseInput(WM_MOUSEMOVE, At(Form, 300, 200));
    MouseInput(WM_MOUSEMOVE, At(a, 4, 4));
    Pump();
    Clock.Advance(Application()->HintPause());
    Pump();
    EXPECT_TRUE(hint->Active());
    EXPECT_EQ(hint->Caption(), "Cell text");
    Clock.Advance(Application()->HintHidePause());
    Pump();
    EXPECT_FALSE(hint->Active()) << "hidden after the hide pause";
    refuse = true;
    MouseInput(WM_MOUSEMOVE, At(Form, 300, 200));
    MouseInput(WM_MOUSEMOVE, At(a, 4, 4));
    Pump();
    Clock.Advance(Application()->HintPause());
    Pump();
    EXPECT_FALSE(hint->Active());
    a->WindowProc = nullptr;
}

TEST_F(ApplicationTest, ScreenMonitorsAndWorkAreaCanBeSet) {
    Screen()->SetMonitors({TMonitor{Rect(0, 0, 1280, 1024), Rect(0, 0, 1280, 984), true},
                           TMonitor{Rect(1280, 0, 2560, 1024), Rect(1280, 0, 2560, 1024), false}});
    EXPECT_EQ(GetWorkArea(), Rect(0, 0, 1280, 984));
    EXPECT_EQ(Screen()->MonitorFromPoint(Point(1500, 10)).BoundsRect.Left, 1280);
    EXPECT_EQ(Screen()->MonitorFromPoint(Point(5000, 10)).BoundsRect.Left, 1280);
    EXPECT_EQ(Screen()->MonitorFromRect(Rect(1200, 0, 1400, 10)).BoundsRect.Left, 1280);
    EXPECT_EQ(Screen()->DesktopRect(), Rect(0, 0, 2560, 1024));
    EXPECT_THROW(Screen()->SetMonitors({}), rtl::EInvalidOperation);
}

TEST_F(ApplicationTest, FormsAndDataModulesFireCreateAndDestroy) {
    struct TModule : TDataModule {
        std::vector<std::string>* Log;
        TModule(rtl::TComponent* Owner, std::vector<std::string>* L) : TDataModule(Owner), Log(L) {
            OnCreate = [this](TObject*) { Log->push_back("create"); };
            OnDestroy = [this](TObject*) { Log->push_back("destroy"); };
        }
    };
    std::vector<std::string> log;
    rtl::Create<TModule>(nullptr, &log)->Free();
    EXPECT_EQ(log, (std::vector<std::string>{"create", "destroy"}));
    const int before = Screen()->FormCount();
    TForm* f = MakeForm("Other");
    EXPECT_EQ(Screen()->FormCount(), before + 1);
    EXPECT_EQ(GetParentForm(AddLog(Form, "A")), Form);
    auto* frame = rtl::Create<TFrame>(Form);
    frame->SetParent(Form);
    auto* inner = AddLog(frame, "Inner");
    EXPECT_EQ(GetParentForm(inner), Form);
    (void)f;
}

TEST_F(ApplicationTest, ClipboardTextIsReadableInBothTextFormats) {
    TClipboard* cb = Clipboard();
    const std::string cyr = rtl::UTF8ToAnsi(u8"Опись №5");
    cb->SetAsText(cyr);
    EXPECT_TRUE(cb->HasFormat(CF_UNICODETEXT));
    EXPECT_EQ(cb->AsWideText(), u"Опись №5");
    cb->SetAsWideText(u"два");
    EXPECT_EQ(cb->AsText(), rtl::UTF8ToAnsi(u8"два"));
    EXPECT_FALSE(cb->HasFormat(RegisterClipboardFormat("Csv")));
}

TEST_F(ApplicationTest, ClipboardConvertsTheTextFormatsBothWaysAsBytes) {
    TClipboard* cb = Clipboard();
    const auto bytes = [](std::string_view S) { return rtl::TBytes(S.begin(), S.end()); };
    // Unicode only: offered and read as NUL-terminated 1251.
    const char16_t wide[] = u"Акт №5";
    cb->SetBuffer(CF_UNICODETEXT, wide, sizeof wide);
    EXPECT_TRUE(cb->HasFormat(CF_TEXT));
    EXPECT_EQ(cb->GetData(CF_TEXT), bytes(rtl::UTF8ToAnsi(u8"Акт №5") + '\0'));
    EXPECT_EQ(cb->FormatCount(), 2);
    EXPECT_EQ(cb->Formats(1), CF_TEXT);
    // 1251 only: read as NUL-terminated UTF-16LE.
    cb->SetAsText(rtl::UTF8ToAnsi(u8"Ёж"));
    EXPECT_TRUE(cb->HasFormat(CF_UNICODETEXT));
    EXPECT_EQ(cb->GetData(CF_UNICODETEXT), (rtl::TBytes{0x01, 0x04, 0x36, 0x04, 0, 0}));
    // A character without a 1251 form: no CF_TEXT at all rather than a '?' in its place.
    const char16_t snow[] = u"снег ☃";
    cb->SetBuffer(CF_UNICODETEXT, snow, sizeof snow);
    EXPECT_FALSE(cb->HasFormat(CF_TEXT));
    EXPECT_TRUE(cb->GetData(CF_TEXT).empty());
    EXPECT_EQ(cb->FormatCount(), 1);
    // Both present: each is read as it was put.
    cb->Open();
    cb->SetBuffer(CF_TEXT, "a", 2);
    cb->SetBuffer(CF_UNICODETEXT, u"b", 4);
    cb->Close();
    EXPECT_EQ(cb->GetData(CF_TEXT), bytes(std::string("a", 2)));
    EXPECT_EQ(cb->GetData(CF_UNICODETEXT), (rtl::TBytes{'b', 0, 0, 0}));
}

TEST_F(ApplicationTest, ClipboardWritesInsideOpenAddFormatsAndOutsideReplaceThem) {
    const TClipboardFormat csv = RegisterClipboardFormat("Csv");
    EXPECT_EQ(RegisterClipboardFormat("CSV"), csv);
    EXPECT_GE(csv, 0xC000u);
    EXPECT_EQ(GetClipboardFormatName(csv), "Csv");
    EXPECT_NE(RegisterClipboardFormat("Rich Text Format"), csv);
    EXPECT_EQ(RegisterClipboardFormat(""), 0u);

    TClipboard* cb = Clipboard();
    cb->SetAsText("old");
    cb->Open();
    cb->SetAsText("a;b");
    cb->SetBuffer(csv, "a;b", 3);
    cb->Close();
    // The Unicode form of the text is offered after what was put.
    EXPECT_EQ(cb->FormatCount(), 3);
    EXPECT_EQ(cb->Formats(0), CF_TEXT);
    EXPECT_EQ(cb->Formats(1), csv);
    EXPECT_EQ(cb->Formats(2), CF_UNICODETEXT);
    EXPECT_EQ(cb->GetData(csv), (rtl::TBytes{'a', ';', 'b'}));
    cb->SetBuffer(csv, "x", 1);
    EXPECT_FALSE(cb->HasFormat(CF_TEXT));
    EXPECT_THROW(cb->Formats(5), rtl::EListError);
    cb->Clear();
    EXPECT_EQ(cb->FormatCount(), 0);
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

using FormCloseTest = UiTest;

TEST_F(FormCloseTest, CloseHidesByDefaultAndFreesLaterWhenTheHandlerAsksForIt) {
    auto* other = rtl::Create<TForm>(nullptr);
    bool destroyed = false;
    other->OnDestroy = [&](TObject*) { destroyed = true; };
    other->Show();
    other->Close();
    EXPECT_FALSE(other->Visible());
    EXPECT_FALSE(destroyed);
    other->Show();
    other->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
    other->Close();
    EXPECT_FALSE(destroyed) << "freed from the queue, not inside its own handler";
    Pump();
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(Form->Visible() == false || Form->Active());
}

TEST_F(FormCloseTest, OnCloseWithCaNoneKeepsTheFormOpen) {
    Form->Show();
    Form->OnClose = [](TObject*, TCloseAction& Action) { Action = caNone; };
    Form->Close();
    EXPECT_TRUE(Form->Visible());
    Form->OnClose = nullptr;
    Form->OnCloseQuery = [](TObject*, bool& CanClose) { CanClose = false; };
    Form->Close();
    EXPECT_TRUE(Form->Visible());
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

class TCellHintWindow : public THintWindow {
    RTL_CLASS(TCellHintWindow, THintWindow)
public:
    using THintWindow::THintWindow;
    static inline void* LastData = nullptr;
    TRect CalcHintRect(int MaxWidth, const AnsiString& Hint, void* Data) override {
        LastData = Data;
        return THintWindow::CalcHintRect(MaxWidth, Hint, Data);
    }
};

using HintAreaTest = UiTest;

TEST_F(HintAreaTest, AControlIsAskedAgainForEachAreaAndMayChooseTheHintWindow) {
    auto* a = AddLog(Form, "A", 10, 10);  // 50 x 20: left half, right half; the bottom left shows none
    a->SetShowHint(true);
    a->SetHint("x");
    std::vector<std::string> asked;
    int data = 7;
    a->WindowProc = [&, a](TMessage& M) {
        if (M.Msg != CM_HINTSHOW) return a->WndProc(M);
        THintInfo& info = *TCMHintShow(M).HintInfo;
        const TPoint p = info.CursorPos;
        if (p.X >= 25) {
            info.CursorRect = Rect(25, 0, 50, 20);
            info.HintStr = "Right";
            info.HintWindowClass = &TCellHintWindow::StaticClass();
            info.HintData = &data;
        } else if (p.Y >= 10) {
            info.CursorRect = Rect(0, 10, 25, 20);
            info.HintStr = "";
        } else {
            info.CursorRect = Rect(0, 0, 25, 10);
            info.HintStr = "Left";
        }
        asked.push_back(info.HintStr);
    };
    Form->Show();
    const auto moveTo = [&](int X, int Y) {
        MouseInput(WM_MOUSEMOVE, At(a, X, Y));
        Pump();
    };
    moveTo(3, 3);
    Clock.Advance(Application()->HintPause());
    Pump();
    ASSERT_TRUE(Application()->HintWindow()->Active());
    EXPECT_EQ(Application()->HintWindow()->Caption(), "Left");
    moveTo(5, 5);  // the same area: not asked again
    EXPECT_EQ(asked, (std::vector<std::string>{"Left"}));

    // Another area while the hint shows: asked at once, shown in the window class it names.
    moveTo(30, 3);
    EXPECT_EQ(asked, (std::vector<std::string>{"Left", "Right"}));
    THintWindow* hint = Application()->HintWindow();
    ASSERT_NE(hint, nullptr);
    EXPECT_STREQ(hint->ClassName(), "TCellHintWindow");
    EXPECT_EQ(TCellHintWindow::LastData, &data);
    EXPECT_TRUE(hint->Active());
    EXPECT_EQ(hint->Caption(), "Right");

    // An area with no hint hides it; coming back to one with a hint asks again after a pause.
    moveTo(3, 15);
    EXPECT_FALSE(Application()->HintWindow()->Active());
    moveTo(3, 3);
    EXPECT_EQ(asked.size(), 3u);
    Clock.Advance(Application()->HintPause());
    Pump();
    EXPECT_EQ(asked, (std::vector<std::string>{"Left", "Right", "", "Left"}));
    EXPECT_TRUE(Application()->HintWindow()->Active());
    a->WindowProc = nullptr;
}

}  // namespace
}  // namespace uitest
