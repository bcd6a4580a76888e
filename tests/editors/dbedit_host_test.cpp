// The edit base's MRU list as the user types, its tool-tips, and the editor hosted in a grid-like
// control.
#include <gtest/gtest.h>

#include "dbedit_fixture.h"
#include "framework/ui/StdCtrls.h"

using namespace editorstest;
using namespace editors;

namespace {

std::vector<std::string> Lines(const rtl::TStrings* S) {
    std::vector<std::string> v;
    for (int i = 0; i < S->Count(); ++i) v.push_back(S->Strings(i));
    return v;
}
using Strings = std::vector<std::string>;

class DBEditMRU : public DBEditTest {
protected:
    void SetUp() override {
        DBEditTest::SetUp();
        Ok = rtl::Create<ui::TButton>(Form);
        Ok->SetParent(Form);
        Ok->SetBounds(200, 200, 60, 24);
        Ok->SetDefault(true);
        Ok->OnClick = [this](rtl::TObject*) { ++OkClicks; };
        Mru()->SetActive(true);
        for (const char* s : {"Moscow", "Kazan", "Murmansk"}) Mru()->Items()->Add(s);
        Bind("name");
        FocusEdit();
    }
    TMRUListEh* Mru() { return Edit->MRUList(); }
    bool Open() { return Mru()->DroppedDown(); }
    Strings Shown() { return Lines(Edit->MRUListbox()->Items()); }
    ui::TButton* Ok = nullptr;
    int OkClicks = 0;
};

TEST_F(DBEditMRU, TypingFiltersTheListAndBackspaceToEmptyShowsAll) {
    Type("m");
    ASSERT_TRUE(Open());
    EXPECT_EQ(Shown(), (Strings{"Moscow", "Murmansk"})) << "case-insensitive, sorted";
    EXPECT_TRUE(Edit->MRUListbox()->Visible());
    const ui::TRect r = Edit->MRUListbox()->BoundsRect();
    EXPECT_EQ(r.Top, Edit->ClientToScreen(ui::Point(0, Edit->ClientHeight())).Y) << "under the text";
    EXPECT_EQ(Edit->MRUListbox()->Items()->Count(), 2);
    Type("o");
    EXPECT_EQ(Shown(), Strings{"Moscow"});
    Type("x");
    EXPECT_FALSE(Open()) << "nothing matches";
    Key(ui::VK_BACK);
    EXPECT_TRUE(Open());
    Key(ui::VK_BACK);
    Key(ui::VK_BACK);
    EXPECT_EQ(Edit->Text(), "");
    ASSERT_TRUE(Open()) << "a Backspace that empties the text shows every item";
    EXPECT_EQ(Shown(), (Strings{"Kazan", "Moscow", "Murmansk"}));
}

TEST_F(DBEditMRU, EnterTakesTheSelectedItemWithoutReachingTheDefaultButton) {
    Type("m");
    Key(ui::VK_DOWN);
    Key(ui::VK_DOWN);
    EXPECT_EQ(Edit->MRUListbox()->ItemIndex(), 1);
    EXPECT_EQ(Edit->Text(), "m") << "list keys do not move the caret";
    Key(ui::VK_RETURN);
    EXPECT_FALSE(Open());
    EXPECT_FALSE(Edit->MRUListbox()->Visible());
    EXPECT_EQ(Edit->Text(), "Murmansk");
    EXPECT_EQ(OkClicks, 0);
    EXPECT_EQ(ui::GetFocus(), Edit->Handle());
    EXPECT_EQ(Edit->SelLength(), 8) << "the taken text is selected";
    FocusOther();
    EXPECT_EQ(F("name")->AsString(), "Murmansk");
}

TEST_F(DBEditMRU, EscClosesWithoutTakingAndKeepsTheTypedText) {
    Type("ka");
    ASSERT_TRUE(Open());
    Key(ui::VK_DOWN);
    Key(ui::VK_ESCAPE);
    EXPECT_FALSE(Open());
    EXPECT_EQ(Edit->Text(), "ka") << "the Esc the list took does not also reload the field";
    Key(ui::VK_ESCAPE);
    EXPECT_EQ(Edit->Text(), "Anna") << "the next Esc does";
}

// Codes that are list keys as key downs are ordinary characters too.
TEST_F(DBEditMRU, CharactersWithListKeyCodesAreTypedWhileTheListIsOpen) {
    Type("m");
    ASSERT_TRUE(Open());
    Type("(&!");
    EXPECT_EQ(Edit->Text(), "m(&!");
}

TEST_F(DBEditMRU, AKeyWaitingInTheQueueClosesTheListInsteadOfFillingIt) {
    Type("m");
    ASSERT_TRUE(Open());
    ui::PostMessage(Edit->Handle(), ui::WM_KEYDOWN, 'U', 1);
    Mru()->OpenList();
    EXPECT_FALSE(Open());
    Pump();
}

TEST_F(DBEditMRU, TheWrittenTextJoinsTheListAndLeavingClosesIt) {
    Type("Omsk");
    EXPECT_FALSE(Open());
    FocusOther();
    EXPECT_EQ(Lines(Mru()->Items()).back(), "Omsk");

    FocusEdit();
    Type("k");
    ASSERT_TRUE(Open());
    FocusOther();
    EXPECT_FALSE(Open()) << "losing the focus closes it";
    EXPECT_EQ(F("name")->AsString(), "k");

    Mru()->SetAutoAdd(false);
    FocusEdit();
    Type("Tver");
    FocusOther();
    EXPECT_EQ(Lines(Mru()->Items()).back(), "k");
}

TEST_F(DBEditMRU, AClickInTheListTakesTheItemUnderIt) {
    Type("m");
    ASSERT_TRUE(Open());
    TMRUListboxEh* lb = Edit->MRUListbox();
    const int h = lb->ItemHeight();
    ui::MouseInput(ui::WM_LBUTTONDOWN, lb->ClientToScreen(ui::Point(5, h + h / 2)));
    Pump();
    ui::MouseInput(ui::WM_LBUTTONUP, lb->ClientToScreen(ui::Point(5, h + h / 2)));
    Pump();
    EXPECT_FALSE(Open());
    EXPECT_EQ(Edit->Text(), "Murmansk");
}

TEST_F(DBEditMRU, CancelModeFromElsewhereAndTheEditorsOwnDropDownCloseIt) {
    Type("m");
    ASSERT_TRUE(Open());
    Edit->Perform(ui::CM_CANCELMODE, 0, reinterpret_cast<ui::LPARAM>(Edit));
    EXPECT_TRUE(Open()) << "the editor's own cancel mode keeps it";
    Edit->Perform(ui::CM_CANCELMODE, 0, reinterpret_cast<ui::LPARAM>(Other));
    EXPECT_FALSE(Open());
    Type("u");
    ASSERT_TRUE(Open());
    Edit->DropDown();
    EXPECT_FALSE(Open());
    EXPECT_EQ(Edit->Text(), "mu");
}

TEST_F(DBEditMRU, AnInactiveListNeverOpens) {
    Mru()->SetActive(false);
    Type("m");
    EXPECT_FALSE(Open());
}

// ---------------------------------------------------------------------------------------------
// Tool-tips

TEST_F(DBEditTest, TooltipsShowTheWholeTextOnlyWhenItDoesNotFit) {
    Edit->SetTooltips(true);
    EXPECT_TRUE(Edit->ui::TControl::ShowHint()) << "the control's own flag follows Tooltips";
    EXPECT_FALSE(Edit->ShowHint());
    auto ask = [&](ui::THintInfo& Info) {
        return Edit->Perform(ui::CM_HINTSHOW, 0, reinterpret_cast<ui::LPARAM>(&Info));
    };

    Edit->SetText(AnsiString(60, 'w'));
    ui::THintInfo info;
    info.HintStr = "plain hint";
    EXPECT_EQ(ask(info), 0);
    EXPECT_EQ(info.HintStr, AnsiString(60, 'w'));
    EXPECT_EQ(info.HintPos, Edit->ClientToScreen(ui::Point(0, Edit->Height())));
    EXPECT_EQ(info.HintData, Edit->Font());

    Edit->SetText("fits");
    ui::THintInfo small;
    EXPECT_NE(ask(small), 0) << "no hint without the user's ShowHint";
    Edit->SetShowHint(true);
    Edit->SetHint("plain hint");
    ui::THintInfo plain;
    plain.HintStr = "plain hint";
    EXPECT_EQ(ask(plain), 0);
    EXPECT_EQ(plain.HintStr, "plain hint");

    Edit->SetShowHint(false);
    Edit->SetTooltips(false);
    EXPECT_FALSE(Edit->ui::TControl::ShowHint());
}

// ---------------------------------------------------------------------------------------------
// Hosting

// A grid-like host that records what its editor tells it.
class TTestHolder : public ui::TCustomControl, public IInplaceEditHolderEh {
    RTL_CLASS(TTestHolder, ui::TCustomControl)
public:
    explicit TTestHolder(rtl::TComponent* Owner) : ui::TCustomControl(Owner) { SetTabStop(true); }
    bool CanModify = true;
    ui::TPoint LastDown;
    int LastTime = -100000;
    uint16_t EatKey = 0;
    std::vector<std::string> Keys;
    bool CanEditorModify(ui::TWinControl*) override { return CanModify; }
    void GetLastMouseDown(ui::TPoint& Pos, int& Time) override {
        Pos = LastDown;
        Time = LastTime;
    }
    void EditorWndProc(ui::TWinControl*, ui::TMessage&) override {}
    void EditorKeyDown(ui::TWinControl*, uint16_t& Key, ui::TShiftState) override {
        Keys.push_back("down:" + std::to_string(Key));
        if (Key == EatKey) Key = 0;
    }
    void EditorKeyPress(ui::TWinControl*, char&) override {}
    void EditorKeyUp(ui::TWinControl*, uint16_t&, ui::TShiftState) override {}
    ui::LRESULT DlgCode = 0;

protected:
    void WMGetDlgCode(ui::TWMGetDlgCode& M) override { M.Result = DlgCode; }
};

class DBEditHosted : public DBEditTest {
protected:
    void SetUp() override {
        DBEditTest::SetUp();
        Holder = rtl::Create<TTestHolder>(Form);
        Holder->SetBounds(10, 120, 300, 150);
        Holder->SetParent(Form);
        Hosted = rtl::Create<TDBEditEh>(Form);
        Hosted->SetParent(Holder);
        Hosted->SetInplaceEditHolder(Holder);
        Holder->SetFocus();
        Pump();
    }
    TTestHolder* Holder = nullptr;
    TDBEditEh* Hosted = nullptr;
};

TEST_F(DBEditHosted, AHolderWithoutTheInterfaceIsRefused) {
    auto* panel = rtl::Create<ui::TEdit>(Form);
    try {
        Edit->SetInplaceEditHolder(panel);
        FAIL();
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(std::string(e.Message()), InplaceEditHolderMismatch);
    }
    EXPECT_FALSE(Edit->Hosted());
}

TEST_F(DBEditHosted, PlacedInACellItTakesTheFocusFromItsHolderAndHandsItBackWhenHidden) {
    Hosted->SetEditorBounds(ui::Rect(20, 30, 120, 50));
    EXPECT_TRUE(Hosted->Visible());
    EXPECT_EQ(Hosted->BoundsRect(), ui::Rect(20, 30, 120, 50));
    EXPECT_EQ(ui::GetFocus(), Hosted->Handle()) << "the holder had the focus";
    EXPECT_EQ(Form->ActiveControl(), Holder) << "the form keeps the holder as its active control";

    Hosted->SetEditorBounds(ui::TRect());
    EXPECT_FALSE(Hosted->Visible());
    EXPECT_EQ(ui::GetFocus(), Holder->Handle());

    Hosted->SetEditorBounds(ui::Rect(20, 60, 120, 80));
    Hosted->SetVisible(false);
    EXPECT_FALSE(Hosted->Visible());
    EXPECT_EQ(ui::GetFocus(), Holder->Handle());
    Hosted->SetFocus();
    EXPECT_EQ(ui::GetFocus(), Holder->Handle()) << "a hidden hosted editor does not take the focus";
}

TEST_F(DBEditHosted, AClickOnTheCellAndOneOnTheEditorMakeADoubleClick) {
    Hosted->SetEditorBounds(ui::Rect(20, 30, 120, 50));
    int dbl = 0;
    Hosted->OnDblClick = [&](rtl::TObject*) { ++dbl; };
    const ui::TPoint p = Hosted->ClientToScreen(ui::Point(10, 5));
    Holder->LastDown = ui::Point(p.X + 2, p.Y - 1);
    Holder->LastTime = static_cast<int>(rtl::GetTickCount());
    Clock.Advance(100);
    ui::MouseInput(ui::WM_LBUTTONDOWN, p);
    Pump();
    ui::MouseInput(ui::WM_LBUTTONUP, p);
    Pump();
    EXPECT_EQ(dbl, 1);

    ui::ResetDoubleClick();
    Holder->LastTime = static_cast<int>(rtl::GetTickCount());
    Clock.Advance(ui::GetDoubleClickTime() + 1);
    ui::MouseInput(ui::WM_LBUTTONDOWN, p);
    Pump();
    ui::MouseInput(ui::WM_LBUTTONUP, p);
    Pump();
    EXPECT_EQ(dbl, 1) << "too late for a double click";
}

TEST_F(DBEditHosted, TheHolderSeesKeysFirstAndDecidesReadOnlyTabsAndEnter) {
    Hosted->SetEditorBounds(ui::Rect(20, 30, 120, 50));
    std::vector<uint16_t> own;
    Hosted->OnKeyDown = [&](rtl::TObject*, uint16_t& Key, ui::TShiftState) { own.push_back(Key); };
    Holder->EatKey = ui::VK_F2;
    Key(ui::VK_F2);
    Key(ui::VK_F3);
    EXPECT_EQ(Holder->Keys, (Strings{"down:113", "down:114"}));
    EXPECT_EQ(own, std::vector<uint16_t>{ui::VK_F3}) << "a consumed key stops at the holder";

    Hosted->DataLink()->BeginFieldEdit();
    EXPECT_FALSE(Hosted->WindowReadOnly());
    Holder->CanModify = false;
    Hosted->UpdateControlReadOnly();
    EXPECT_TRUE(Hosted->WindowReadOnly());

    EXPECT_EQ(Hosted->Perform(ui::WM_GETDLGCODE) & ui::DLGC_WANTTAB, 0u);
    Holder->DlgCode = ui::DLGC_WANTTAB;
    EXPECT_NE(Hosted->Perform(ui::WM_GETDLGCODE) & ui::DLGC_WANTTAB, 0u);
    EXPECT_NE(Hosted->Perform(ui::CM_WANTSPECIALKEY, ui::VK_RETURN), 0) << "a hosted editor wants Enter";
    EXPECT_EQ(Edit->Perform(ui::CM_WANTSPECIALKEY, ui::VK_RETURN), 0);

    Hosted->SetInplaceEditHolder(nullptr);
    EXPECT_FALSE(Hosted->Hosted());
}

}  // namespace
