// Commands of a form: popup menus, help, actions updated on idle, window state.
#include "edit_fixture.h"
#include "framework/ui/Menus.h"
#include "framework/ui/StdCtrls.h"

namespace uitest {
namespace {

class CommandTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        TPopupMenu::SetPresenter([this](TPopupMenu* Menu, TPoint At) -> TMenuItem* {
            Shown.push_back(Menu->PopupComponent()->Name() + "@" + std::to_string(At.X) + "," + std::to_string(At.Y));
            return nullptr;
        });
    }
    void TearDown() override {
        TPopupMenu::SetPresenter(nullptr);
        InputTest::TearDown();
    }
    std::vector<std::string> Shown;
};

TEST_F(CommandTest, APopupMenuOpensByRightClickShiftF10AndTheMenuKey) {
    auto* menu = rtl::Create<TPopupMenu>(Form);
    auto* edit = rtl::Create<TEdit>(Form);
    edit->SetName("E");
    edit->SetParent(Form);
    edit->SetBounds(10, 10, 100, 21);
    edit->SetPopupMenu(menu);
    auto* bare = AddLog(Form, "Bare", 10, 50);  // no menu: asks its parent, which has none
    Form->Show();
    edit->SetFocus();
    const TPoint at = At(edit, 5, 5);
    MouseInput(WM_RBUTTONDOWN, at);
    MouseInput(WM_RBUTTONUP, at);
    Pump();
    const TPoint under = edit->ClientToScreen(Point(0, edit->ClientHeight()));
    const std::string keyboard = "E@" + std::to_string(under.X) + "," + std::to_string(under.Y);
    EXPECT_EQ(Shown, (std::vector<std::string>{"E@" + std::to_string(at.X) + "," + std::to_string(at.Y)}));
    SetKeyState(VK_SHIFT, true);
    KeyInput(VK_F10, true);
    KeyInput(VK_F10, false);
    Pump();  // the key state is read while the keys are handled
    SetKeyState(VK_SHIFT, false);
    KeyPressInput(VK_APPS);
    Pump();
    ASSERT_EQ(Shown.size(), 3u);
    EXPECT_EQ(Shown[1], keyboard);
    EXPECT_EQ(Shown[2], keyboard);

    // OnContextPopup may take the request; a control without a menu shows none.
    bool take = true;
    edit->OnContextPopup = [&](TObject*, TPoint P, bool& Handled) {
        EXPECT_EQ(P, Point(5, 5));
        Handled = take;
    };
    MouseInput(WM_RBUTTONDOWN, at);
    MouseInput(WM_RBUTTONUP, at);
    MouseInput(WM_RBUTTONDOWN, At(bare, 3, 3));
    MouseInput(WM_RBUTTONUP, At(bare, 3, 3));
    Pump();
    EXPECT_EQ(Shown.size(), 3u);
    // A menu the form holds serves its controls that have none.
    Form->SetPopupMenu(menu);
    MouseInput(WM_RBUTTONDOWN, At(bare, 3, 3));
    MouseInput(WM_RBUTTONUP, At(bare, 3, 3));
    Pump();
    ASSERT_EQ(Shown.size(), 4u);
    EXPECT_EQ(Shown[3].substr(0, 5), "Form@");
}

TEST_F(CommandTest, F1AsksForTheNearestHelpContextUpTheParents) {
    auto* panel = AddLog(Form, "Panel", 0, 0);
    panel->SetBounds(0, 0, 300, 200);
    auto* inner = AddLog(panel, "Inner", 10, 10);
    auto* own = AddLog(panel, "Own", 10, 50);
    own->SetHelpContext(30);
    Form->Show();
    std::vector<int> asked;
    Application()->HelpHandler = [&](int Context) {
        asked.push_back(Context);
        return true;
    };
    struct Case {
        int FormContext, PanelContext;
        TWinControl* Focus;
        int Want;  // 0: nobody asked
    } cases[] = {
        {0, 20, inner, 20}, {0, 20, own, 30}, {10, 0, inner, 10}, {0, 0, inner, 0}, {10, 20, Form, 10},
    };
    for (const Case& c : cases) {
        asked.clear();
        Form->SetHelpContext(c.FormContext);
        panel->SetHelpContext(c.PanelContext);
        if (c.Focus == Form)
            SetFocus(Form->Handle());
        else
            c.Focus->SetFocus();
        KeyPressInput(VK_F1);
        Pump();
        EXPECT_EQ(asked, c.Want ? std::vector<int>{c.Want} : std::vector<int>{}) << c.Focus->Name();
    }
    // OnHelp sees the request first and may keep the help system out.
    asked.clear();
    int seen = 0;
    Application()->OnHelp = [&](uint16_t Command, intptr_t Data, bool& CallHelp) {
        EXPECT_EQ(Command, HELP_CONTEXT);
        seen = static_cast<int>(Data);
        CallHelp = false;
        return true;
    };
    own->SetFocus();
    KeyPressInput(VK_F1);
    Pump();
    EXPECT_EQ(seen, 30);
    EXPECT_TRUE(asked.empty());
    Application()->OnHelp = nullptr;
    Application()->HelpHandler = nullptr;
}

TEST_F(CommandTest, ActionsUpdateOnIdleAndThoseWithoutAHandlerAreDisabled) {
    auto* list = rtl::Create<TActionList>(Form);
    auto* save = rtl::Create<TAction>(Form);
    save->SetActionList(list);
    save->OnExecute = [](TObject*) {};
    bool canSave = false;
    save->OnUpdate = [&](TObject*) { save->SetEnabled(canSave); };
    auto* orphan = rtl::Create<TAction>(Form);
    orphan->SetActionList(list);
    auto* kept = rtl::Create<TAction>(Form);
    kept->SetActionList(list);
    kept->SetDisableIfNoHandler(false);
    Form->Show();
    Pump();
    Application()->HandleMessage();  // nothing waits: idle
    EXPECT_FALSE(save->Enabled());
    EXPECT_FALSE(orphan->Enabled());
    EXPECT_TRUE(kept->Enabled());
    canSave = true;
    Pump();
    Application()->HandleMessage();
    EXPECT_TRUE(save->Enabled());
    // A hidden form's actions wait until it shows.
    Form->Hide();
    canSave = false;
    Pump();
    Application()->HandleMessage();
    EXPECT_TRUE(save->Enabled());
}

TEST_F(CommandTest, AMaximisedFormFillsTheWorkAreaAndKeepsItsNormalPlace) {
    Screen()->SetMonitors({TMonitor{Rect(0, 0, 1280, 1024), Rect(0, 0, 1280, 984), true},
                           TMonitor{Rect(1280, 0, 2560, 1024), Rect(1280, 0, 2560, 1000), false}});
    Form->SetBounds(1400, 100, 400, 300);
    Form->SetWindowState(wsMaximized);
    EXPECT_EQ(Form->BoundsRect(), Rect(1280, 0, 2560, 1000));
    EXPECT_EQ(Form->NormalBoundsRect(), Bounds(1400, 100, 400, 300));
    Form->SetNormalBoundsRect(Bounds(1300, 50, 500, 400));
    EXPECT_EQ(Form->BoundsRect(), Rect(1280, 0, 2560, 1000));
    Form->SetWindowState(wsNormal);
    EXPECT_EQ(Form->BoundsRect(), Bounds(1300, 50, 500, 400));
    // Centred on the whole desktop.
    auto* f = MakeForm("Desk");
    f->SetBounds(0, 0, 200, 100);
    f->SetPosition(poDesktopCenter);
    f->Show();
    EXPECT_EQ(f->BoundsRect(), Bounds(1180, 462, 200, 100));
    EXPECT_EQ(Form->PixelsPerInch(), 96);
}

}  // namespace
}  // namespace uitest
