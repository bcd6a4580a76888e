// The cell editor over the data grid: typing into a journal-like grid, the edit style and buttons
// each column gets, completion in key lists, pasting, multi-line rows and the drop-down lists.
#include <gtest/gtest.h>

#include "controls/grid/DBLookupGridsEh.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Messages.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

class GridEditorTest : public DBGridTest {
protected:
    void GoTo(int DataCol) {
        Grid->SetCol(Grid->DataToGridCol(DataCol));
        Pump();
    }
    void Type(const char* Text) {
        for (const char* p = Text; *p; ++p) {
            ui::CharInput(*p);
            Pump();
        }
    }
    void Key(uint16_t K) {
        ui::KeyPressInput(K, K == ui::VK_RETURN ? '\r' : K == ui::VK_ESCAPE ? '\x1b' : 0);
        Pump();
    }
    void KeyWith(uint16_t Mod, uint16_t K) {
        ui::KeyInput(Mod, true, Mod == ui::VK_MENU);
        ui::KeyInput(K, true, Mod == ui::VK_MENU);
        Pump();
        ui::KeyInput(K, false, Mod == ui::VK_MENU);
        ui::KeyInput(Mod, false, Mod == ui::VK_MENU);
        Pump();
    }
    TDBGridInplaceEdit* Editor() { return Grid->DBInplaceEdit(); }
    // Shows the editor on the current cell without typing into it.
    TDBGridInplaceEdit* OpenEditor() {
        Key(ui::VK_F2);
        return Editor();
    }
    std::string Name() { return F("name")->IsNull() ? "null" : std::string(F("name")->AsString()); }
};

TEST_F(GridEditorTest, TypingEditsTheFieldEnterWritesItLeavingTheRowPostsEscCancels) {
    ShowFocused({u"id", u"name"});
    GoTo(1);
    Type("Zed");
    ASSERT_NE(Editor(), nullptr);
    EXPECT_TRUE(Editor()->EditVisible());
    EXPECT_EQ(Editor()->Text(), "Zed");
    EXPECT_EQ(People.DS->State(), db::dsEdit);
    Key(ui::VK_RETURN);
    EXPECT_EQ(Name(), "Zed");
    EXPECT_EQ(People.DS->State(), db::dsEdit);
    Key(ui::VK_DOWN);
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    People.DS->First();
    EXPECT_EQ(Name(), "Zed");

    // The first Esc gives the editor the field's text back, the second cancels the record.
    People.DS->Next();
    Pump();
    Type("Q");
    EXPECT_EQ(Editor()->Text(), "Q");
    Key(ui::VK_ESCAPE);
    EXPECT_EQ(Editor()->Text(), Cyr("Борис"));
    EXPECT_EQ(People.DS->State(), db::dsEdit);
    Key(ui::VK_ESCAPE);
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    EXPECT_EQ(Name(), std::string(Cyr("Борис")));
}

TEST_F(GridEditorTest, ReadOnlyGridOrColumnTakesNoTyping) {
    ShowFocused({u"id", u"name"});
    GoTo(1);
    Col(1)->SetReadOnly(true);
    Type("x");
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    EXPECT_EQ(Name(), std::string(Cyr("Анна")));
    Col(1)->SetReadOnly(false);
    Grid->SetReadOnly(true);
    Type("x");
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    // An integer column refuses letters.
    Grid->SetReadOnly(false);
    GoTo(0);
    Type("a");
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    Type("7");
    EXPECT_EQ(Editor()->Text(), "7");
}

TEST_F(GridEditorTest, EditStyleAndMainButtonFollowTheColumn) {
    ShowFocused({u"id", u"name", u"born", u"city", u"cid"});
    Col(1)->PickList()->SetCommaText("a,b");
    struct Case {
        int DataCol;
        std::function<void()> Setup;
        TColumnEditStyleEh Style;
    } cases[] = {
        {2, [] {}, cesCalendar},
        {2, [&] { Col(2)->SetReadOnly(true); }, cesNone},
        {1, [] {}, cesPickList},
        {1, [&] { Col(1)->SetReadOnly(true); }, cesNone},
        {3, [] {}, cesDataList},
        {3, [&] { F("cid")->SetReadOnly(true); }, cesNone},
        {4, [&] { Col(4)->SetButtonStyle(cbsUpDown); }, cesUpDown},
        {0, [&] { Col(0)->SetButtonStyle(cbsEllipsis); }, cesEllipsis},
        {0, [&] { Col(0)->SetButtonStyle(cbsNone); }, cesNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DataCol);
        c.Setup();
        GoTo(c.DataCol);
        TDBGridInplaceEdit* e = OpenEditor();
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->EditStyle(), c.Style);
        ASSERT_FALSE(e->ButtonControls().empty());
        EXPECT_EQ(e->ButtonControls().front().Button->Visible(), c.Style != cesNone);
        Key(ui::VK_ESCAPE);
        Key(ui::VK_ESCAPE);
        for (int i = 0; i < 5; ++i) Col(i)->SetReadOnly(false);
        F("cid")->SetReadOnly(false);
    }
}

TEST_F(GridEditorTest, FlatGridsGetTheFlatButtonAndASeparator) {
    ShowFocused({u"id", u"born"});
    GoTo(1);
    for (bool flat : {false, true}) {
        SCOPED_TRACE(flat);
        Grid->SetFlat(flat);
        Grid->InvalidateEditor();
        TDBGridInplaceEdit* e = OpenEditor();
        ASSERT_NE(e, nullptr);
        const auto& main = e->ButtonControls().front();
        const int w = flat ? editors::FlatButtonWidth() : ui::GetSystemMetrics(ui::SM_CXVSCROLL);
        EXPECT_EQ(main.Button->Width(), w);
        EXPECT_EQ(main.Separator->Visible(), flat);
        EXPECT_EQ(e->ButtonsWidth(), w + (flat ? 1 : 0));
        EXPECT_EQ(main.Button->Left() + main.Button->Width(), e->ClientWidth());
        EXPECT_EQ(e->EditRect().Right, e->Width() - 2 - e->ButtonsWidth());
    }
}

TEST_F(GridEditorTest, KeyListCompletionTakesListedTextsOnly) {
    ShowFocused({u"id", u"cid"});
    Col(1)->PickList()->SetCommaText("Tula,Orel,Omsk");
    Col(1)->KeyList()->SetCommaText("1,2,3");
    GoTo(1);
    TDBGridInplaceEdit* e = OpenEditor();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Text(), "Orel");
    e->SelectAll();
    Type("o");
    EXPECT_EQ(e->Text(), "Orel");
    EXPECT_EQ(e->SelText(), "rel");
    Type("m");
    EXPECT_EQ(e->Text(), "Omsk");
    EXPECT_EQ(e->SelText(), "sk");
    // A letter that starts no entry changes nothing; Backspace is no deletion here.
    Type("x");
    EXPECT_EQ(e->Text(), "Omsk");
    Key(ui::VK_BACK);
    EXPECT_EQ(e->Text(), "Omsk");
    Key(ui::VK_RETURN);
    EXPECT_EQ(F("cid")->AsInteger(), 3);
}

TEST_F(GridEditorTest, DeleteEmptiesAWholeSelectedKeyListCellToNull) {
    ShowFocused({u"id", u"cid"});
    Col(1)->PickList()->SetCommaText("Tula,Orel");
    Col(1)->KeyList()->SetCommaText("1,2");
    GoTo(1);
    TDBGridInplaceEdit* e = OpenEditor();
    e->SelectAll();
    Key(ui::VK_DELETE);
    EXPECT_EQ(e->Text(), "");
    Key(ui::VK_RETURN);
    EXPECT_TRUE(F("cid")->IsNull());
}

TEST_F(GridEditorTest, PastingKeepsOnlyTheCharactersTheFieldTakes) {
    ShowFocused({u"id", u"name"});
    GoTo(0);
    TDBGridInplaceEdit* e = OpenEditor();
    e->SelectAll();
    ui::Clipboard()->SetAsText("4a2b");
    e->PasteFromClipboard();
    EXPECT_EQ(e->Text(), "42");
    EXPECT_EQ(e->CaretPos(), 2);
    Key(ui::VK_RETURN);
    EXPECT_EQ(F("id")->AsInteger(), 42);
    // A read-only grid pastes nothing.
    Key(ui::VK_ESCAPE);
    Key(ui::VK_ESCAPE);
    Grid->SetReadOnly(true);
    e = OpenEditor();
    const AnsiString before = e->Text();
    e->PasteFromClipboard();
    EXPECT_EQ(e->Text(), before);
}

TEST_F(GridEditorTest, MultiLineEditorMovesTheCaretBeforeTheRow) {
    ShowFocused({u"id", u"name"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgAlwaysShowEditor});
    Grid->SetRowHeight(40);
    Col(1)->SetWordWrap(true);
    People.DS->Next();
    Pump();
    GoTo(1);
    TDBGridInplaceEdit* e = Editor();
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(e->WordWrapped());
    e->SelectAll();
    e->SetSelText("ab\r\ncd");
    e->SetSel(5, 5);  // second line
    Key(ui::VK_UP);
    EXPECT_EQ(e->LineFromChar(e->CaretPos()), 0);
    EXPECT_EQ(F("id")->AsInteger(), 20);
    Key(ui::VK_UP);
    EXPECT_EQ(F("id")->AsInteger(), 10);
}

TEST_F(GridEditorTest, PickListDropDownSizeAndKeyListTexts) {
    ShowFocused({u"id", u"name", u"cid"});
    struct Case {
        const char* Picks;
        const char* Keys;
        int Rows;
        int Items;
        int Shown;
    } cases[] = {
        {"a,b,c", "", 7, 3, 3},
        {"a,b,c,d,e,f,g,h,i,j", "", 7, 10, 7},
        {"a,b,c,d,e", "1,2,3", 7, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Picks);
        const int col = *c.Keys ? 2 : 1;
        Col(col)->PickList()->SetCommaText(c.Picks);
        Col(col)->KeyList()->SetCommaText(c.Keys);
        Col(col)->SetDropDownRows(c.Rows);
        GoTo(col);
        TDBGridInplaceEdit* e = OpenEditor();
        ASSERT_EQ(e->EditStyle(), cesPickList);
        KeyWith(ui::VK_MENU, ui::VK_DOWN);
        ASSERT_TRUE(e->ListVisible());
        editors::TPopupListboxEh* list = e->PickListBox();
        EXPECT_EQ(list->Items()->Count(), c.Items);
        EXPECT_EQ(list->Height(), c.Shown * list->ItemHeight() + 4);
        Key(ui::VK_ESCAPE);
        EXPECT_FALSE(e->ListVisible());
        Key(ui::VK_ESCAPE);
    }
}

TEST_F(GridEditorTest, PickListKeysChooseEscRestoresEnterAccepts) {
    ShowFocused({u"id", u"name"});
    Col(1)->PickList()->SetCommaText("Ann,Bob,Cid");
    GoTo(1);
    TDBGridInplaceEdit* e = OpenEditor();
    const AnsiString before = e->Text();
    KeyWith(ui::VK_MENU, ui::VK_DOWN);
    Key(ui::VK_DOWN);
    EXPECT_EQ(e->Text(), "Ann");
    Key(ui::VK_ESCAPE);
    EXPECT_FALSE(e->ListVisible());
    EXPECT_EQ(e->Text(), before);
    // Closing gave the focus back to the grid.
    EXPECT_TRUE(Grid->Focused());
    e->SetFocus();
    KeyWith(ui::VK_MENU, ui::VK_DOWN);
    Key(ui::VK_DOWN);
    Key(ui::VK_DOWN);
    Key(ui::VK_RETURN);
    EXPECT_FALSE(e->ListVisible());
    EXPECT_EQ(e->Text(), "Bob");
    Key(ui::VK_RETURN);
    EXPECT_EQ(Name(), "Bob");
}

TEST_F(GridEditorTest, AutoDropDownDropsOnTheFirstKeyThenCompletes) {
    ShowFocused({u"id", u"name"});
    Col(1)->PickList()->SetCommaText("Ann,Bob,Cid");
    Col(1)->SetAutoDropDown(true);
    GoTo(1);
    TDBGridInplaceEdit* e = OpenEditor();
    e->SelectAll();
    Type("b");
    EXPECT_TRUE(e->ListVisible());
    EXPECT_EQ(e->Text(), "Bob");
    EXPECT_EQ(e->PickListBox()->ItemIndex(), 1);
}

TEST_F(GridEditorTest, DataListChoosesTheKeyAndRemembersItsSize) {
    ShowFocused({u"id", u"city"});
    GoTo(1);
    TDBGridInplaceEdit* e = OpenEditor();
    ASSERT_EQ(e->EditStyle(), cesDataList);
    EXPECT_EQ(e->Text(), Cyr("Орёл"));
    KeyWith(ui::VK_MENU, ui::VK_DOWN);
    ASSERT_TRUE(e->ListVisible());
    TPopupDataGridEh* list = e->DataList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ListRowCount(), 2);  // fewer records than DropDownRows
    Key(ui::VK_UP);
    EXPECT_EQ(e->Text(), Cyr("Тула"));
    list->SetUserResized(true);
    list->SetWidth(e->Width() + 40);
    const int width = list->Width();
    Key(ui::VK_RETURN);
    EXPECT_FALSE(e->ListVisible());
    EXPECT_EQ(Col(1)->DropDownWidth(), width);
    EXPECT_EQ(Col(1)->DropDownRows(), 2);
    Key(ui::VK_RETURN);
    EXPECT_EQ(F("cid")->AsInteger(), 1);
}

TEST_F(GridEditorTest, CalendarAcceptsTheDateWithoutTime) {
    ShowFocused({u"id", u"born"});
    GoTo(1);
    TDBGridInplaceEdit* e = OpenEditor();
    KeyWith(ui::VK_MENU, ui::VK_DOWN);
    ASSERT_TRUE(e->ListVisible());
    EXPECT_EQ(e->Calendar()->Date(), rtl::EncodeDate(1990, 3, 4));
    e->Calendar()->SetDate(rtl::EncodeDate(2000, 1, 2) + 0.5);
    e->CloseUp(true);
    EXPECT_EQ(F("born")->AsDateTime(), rtl::EncodeDate(2000, 1, 2));
}

TEST_F(GridEditorTest, CopyFromPreviousRecordNeedsABufferedPreviousRecord) {
    ShowFocused({u"id", u"name"});
    GoTo(1);
    KeyWith(ui::VK_CONTROL, 222);
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    People.DS->Next();
    Pump();
    KeyWith(ui::VK_CONTROL, 222);
    EXPECT_EQ(Name(), std::string(Cyr("Анна")));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_TRUE(Editor()->EditVisible());
    EXPECT_EQ(Editor()->SelText(), Cyr("Анна"));
}

TEST_F(GridEditorTest, EscBelongsToTheGridWhileTheRecordIsModified) {
    ShowFocused({u"id", u"name"});
    auto wants = [&](uint16_t Key) { return Grid->Perform(ui::CM_WANTSPECIALKEY, Key, 0) != 0; };
    EXPECT_FALSE(wants(ui::VK_ESCAPE));
    People.DS->Edit();
    F("name")->SetAsString("x");
    EXPECT_TRUE(wants(ui::VK_ESCAPE));
    auto dlg = [&] { return Grid->Perform(ui::WM_GETDLGCODE, 0, 0); };
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgEditing});
    EXPECT_EQ(dlg() & ui::DLGC_WANTCHARS, 0);
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghPreferIncSearch});
    EXPECT_NE(dlg() & ui::DLGC_WANTCHARS, 0);
}

}  // namespace
}  // namespace gridtest
