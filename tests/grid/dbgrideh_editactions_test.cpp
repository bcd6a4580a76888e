// The grid's clipboard keys and edit actions: which key runs which command, what EditActions and
// the command's own test allow, what the keys do while the cell editor is open, and actions of
// one edit kind never running another.
#include <gtest/gtest.h>

#include "controls/grid/DBGridEhImpExp.h"
#include "controls/grid/DBGridEh_Setup.h"
#include "controls/grid/DBLookupGridsEh.h"
#include "framework/ui/ActnList.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Messages.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {

// Stand-ins for the platform's standard edit actions, told apart by class name.
class TEditCopy : public ui::TAction {
    RTL_CLASS(TEditCopy, ui::TAction)
public:
    using ui::TAction::TAction;
};
class TEditPaste : public ui::TAction {
    RTL_CLASS(TEditPaste, ui::TAction)
public:
    using ui::TAction::TAction;
};
class TEditSelectAll : public ui::TAction {
    RTL_CLASS(TEditSelectAll, ui::TAction)
public:
    using ui::TAction::TAction;
};

namespace {

const TDBGridEhEditActions AllEditActions{geaCutEh, geaCopyEh, geaPasteEh, geaDeleteEh, geaSelectAllEh};

class GridEditActionsTest : public DBGridTest {
protected:
    void SetUp() override {
        DBGridTest::SetUp();
        ui::Clipboard()->Clear();
        ui::Application()->MessageBoxHandler = [this](const AnsiString& Text, const AnsiString&, unsigned) {
            Boxes.push_back(Text);
            return ui::IDOK;
        };
    }
    void TearDown() override {
        ui::Application()->MessageBoxHandler = nullptr;
        DBGridTest::TearDown();
    }
    void KeyWith(const std::vector<int>& Mods, uint16_t K) {
        for (int m : Mods) ui::KeyInput(static_cast<uint16_t>(m), true);
        ui::KeyPressInput(K, 0);
        Pump();
        for (int m : Mods) ui::KeyInput(static_cast<uint16_t>(m), false);
        Pump();
    }
    // The name cells of the first two records as a rectangle; the first record stays current.
    void SelectTwoNames() {
        db::TDataSet* ds = People.DS.get();
        ds->First();
        const db::TBookmark first = ds->Bookmark();
        ds->Next();
        Grid->Selection()->Rect()->Select(0, first, false);
        Grid->Selection()->Rect()->Select(0, ds->Bookmark(), true);
        ds->SetBookmark(first);
        ASSERT_EQ(Grid->SelectionType(), gstRectangle);
    }
    AnsiString ClipText() { return ui::Clipboard()->HasFormat(ui::CF_TEXT) ? ui::Clipboard()->AsText() : "<none>"; }
    std::vector<AnsiString> Names() {
        std::vector<AnsiString> r;
        const db::TBookmark saved = People.DS->Bookmark();
        for (People.DS->First(); !People.DS->Eof(); People.DS->Next())
            r.push_back(F("name")->IsNull() ? AnsiString("null") : F("name")->AsString());
        People.DS->SetBookmark(saved);
        return r;
    }
    std::vector<AnsiString> Boxes;
};

TEST_F(GridEditActionsTest, EachClipboardKeyRunsItsCommandOnlyWhenOffered) {
    struct TCase {
        const char* Name;
        std::vector<int> Mods;
        uint16_t Key;
        TDBGridEhEditAction Action;
    };
    const TCase cases[] = {
        {"Ctrl+C", {ui::VK_CONTROL}, 'C', geaCopyEh},      {"Ctrl+Ins", {ui::VK_CONTROL}, ui::VK_INSERT, geaCopyEh},
        {"Ctrl+X", {ui::VK_CONTROL}, 'X', geaCutEh},       {"Shift+Del", {ui::VK_SHIFT}, ui::VK_DELETE, geaCutEh},
        {"Ctrl+V", {ui::VK_CONTROL}, 'V', geaPasteEh},     {"Shift+Ins", {ui::VK_SHIFT}, ui::VK_INSERT, geaPasteEh},
        {"Ctrl+A", {ui::VK_CONTROL}, 'A', geaSelectAllEh},
    };
    const std::vector<AnsiString> names{Cyr("Анна"), Cyr("Борис"), "null"};
    ShowFocused({u"name", u"flag"});
    for (const TCase& c : cases) {
        for (bool offered : {false, true}) {
            SCOPED_TRACE(std::string(c.Name) + (offered ? " offered" : " not offered"));
            People.DS->First();
            People.DS->Edit();
            F("name")->SetAsString(Cyr("Анна"));
            People.DS->Next();
            People.DS->Edit();
            F("name")->SetAsString(Cyr("Борис"));
            People.DS->Post();
            Grid->ClearGridSelection();
            SelectTwoNames();
            ui::Clipboard()->SetAsText("Zoe");
            Boxes.clear();
            // Every action but this one is offered, so only the key's own command can act.
            Grid->SetEditActions(offered ? AllEditActions : AllEditActions - TDBGridEhEditActions{c.Action});
            KeyWith(c.Mods, c.Key);
            const bool copied = ClipText() == Cyr("name\r\nАнна\r\nБорис");
            const bool cleared = Names() == std::vector<AnsiString>{"null", "null", "null"};
            const bool pasted = Names().front() == "Zoe";
            const bool all = Grid->SelectionType() == gstAll;
            const bool cut = c.Action == geaCutEh, paste = c.Action == geaPasteEh;
            EXPECT_EQ(copied, offered && (c.Action == geaCopyEh || cut));
            EXPECT_EQ(cleared, offered && cut);
            EXPECT_EQ(pasted, offered && paste);
            EXPECT_EQ(all, offered && c.Action == geaSelectAllEh);
            const std::vector<AnsiString> asked =
                offered && cut ? std::vector<AnsiString>{"Clear selected cells?"} : std::vector<AnsiString>{};
            EXPECT_EQ(Boxes, asked);
            if (!offered || !(cut || paste)) {
                EXPECT_EQ(Names(), names);
            }
            EXPECT_EQ(People.DS->RecordCount(), 3);  // a cleared rectangle deletes no record
        }
    }
}

TEST_F(GridEditActionsTest, CtrlDelClearsAnOfferedSelectionElseDeletesTheRecord) {
    ShowFocused({u"name", u"flag"});
    Grid->SetEditActions(AllEditActions);
    SelectTwoNames();
    KeyWith({ui::VK_CONTROL}, ui::VK_DELETE);
    EXPECT_EQ(Names(), (std::vector<AnsiString>{"null", "null", "null"}));
    EXPECT_EQ(People.DS->RecordCount(), 3);
    People.DS->Cancel();
    // Not offered: the record delete of old, selection or not.
    Grid->SetEditActions(AllEditActions - TDBGridEhEditActions{geaDeleteEh});
    SelectTwoNames();
    KeyWith({ui::VK_CONTROL}, ui::VK_DELETE);
    EXPECT_EQ(People.DS->RecordCount(), 2);
    EXPECT_EQ(Boxes, (std::vector<AnsiString>{"Clear selected cells?", "Delete record?"}));
}

TEST_F(GridEditActionsTest, CommandsThatCannotRunNowDoNothing) {
    ShowFocused({u"name", u"flag"});
    Grid->SetEditActions(AllEditActions);
    // No selection: nothing to copy or cut, so Ctrl+Del falls back to deleting the record.
    ui::Clipboard()->SetAsText("Zoe");
    KeyWith({ui::VK_CONTROL}, 'C');
    KeyWith({ui::VK_CONTROL}, 'X');
    EXPECT_EQ(ClipText(), "Zoe");
    EXPECT_EQ(Names().front(), Cyr("Анна"));
    // A read-only grid pastes nothing and clears nothing, but still copies.
    Grid->SetReadOnly(true);
    SelectTwoNames();
    KeyWith({ui::VK_CONTROL}, 'V');
    KeyWith({ui::VK_SHIFT}, ui::VK_DELETE);
    EXPECT_EQ(Names(), (std::vector<AnsiString>{Cyr("Анна"), Cyr("Борис"), "null"}));
    KeyWith({ui::VK_CONTROL}, ui::VK_INSERT);
    EXPECT_EQ(ClipText(), Cyr("name\r\nАнна\r\nБорис"));
    EXPECT_TRUE(Boxes.empty());
    // Select all needs gstAll among the allowed selections.
    Grid->SetAllowedSelections(TDBGridEhAllowedSelections{gstRecordBookmarks, gstRectangle});
    KeyWith({ui::VK_CONTROL}, 'A');
    EXPECT_EQ(Grid->SelectionType(), gstRectangle);
}

TEST_F(GridEditActionsTest, PasteTakesTheGridsOwnFormatWithoutText) {
    ShowFocused({u"name", u"flag"});
    Grid->SetEditActions(AllEditActions);
    SelectTwoNames();
    GridClipboardCopy(Grid, false);
    const rtl::TBytes own = ui::Clipboard()->GetData(CF_VCLDBIF());
    ui::Clipboard()->Clear();
    EXPECT_FALSE(Grid->EditActionEnabled(geaPasteEh));
    ui::Clipboard()->SetData(CF_VCLDBIF(), own);
    EXPECT_TRUE(Grid->EditActionEnabled(geaPasteEh));
}

TEST_F(GridEditActionsTest, PasteKeysDuringIncrementalSearchExtendTheSearch) {
    ShowFocused({u"name", u"flag"});
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghIncSearch});
    Grid->SetEditActions(AllEditActions);
    KeyWith({ui::VK_CONTROL}, 'F');
    ASSERT_TRUE(Grid->IncSearchActive());
    ui::Clipboard()->SetAsText(Cyr("Бо"));
    KeyWith({ui::VK_CONTROL}, 'V');
    EXPECT_EQ(Grid->IncSearchText(), Cyr("Бо"));
    EXPECT_EQ(F("id")->AsInteger(), 20);
    ui::Clipboard()->SetAsText(Cyr("р"));
    KeyWith({ui::VK_SHIFT}, ui::VK_INSERT);
    EXPECT_EQ(Grid->IncSearchText(), Cyr("Бор"));
    // Searching is not pasting: the records are as they were.
    EXPECT_EQ(Names(), (std::vector<AnsiString>{Cyr("Анна"), Cyr("Борис"), "null"}));
}

TEST_F(GridEditActionsTest, WhileTheEditorIsOpenTheKeysActOnItsText) {
    ShowFocused({u"name", u"flag"});
    Grid->SetEditActions(AllEditActions);
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgEditing});
    KeyWith({}, ui::VK_F2);
    TInplaceEdit* ed = Grid->InplaceEditor();
    ASSERT_TRUE(ed && ed->Focused());
    ui::Clipboard()->SetAsText("Zoe");
    KeyWith({ui::VK_CONTROL}, 'A');
    EXPECT_EQ(Grid->SelectionType(), gstNon);
    EXPECT_EQ(ed->SelLength(), static_cast<int>(Cyr("Анна").size()));
    KeyWith({ui::VK_CONTROL}, 'C');
    EXPECT_EQ(ClipText(), Cyr("Анна"));
    ui::Clipboard()->SetAsText("Zoe");
    KeyWith({ui::VK_SHIFT}, ui::VK_INSERT);
    EXPECT_EQ(ed->Text(), "Zoe");
    // Ctrl+Del is the grid's even here: without a selection it deletes the record.
    KeyWith({ui::VK_CONTROL}, ui::VK_DELETE);
    EXPECT_EQ(Boxes, std::vector<AnsiString>{"Delete record?"});
    EXPECT_EQ(People.DS->RecordCount(), 2);
}

TEST_F(GridEditActionsTest, DelEmptiesCheckBoxCellsUnlessRequired) {
    ShowFocused({u"id", u"flag"});
    Col(1)->SetCheckboxes(true);
    Col(1)->KeyList()->SetCommaText("1,0");
    Grid->SetCol(Grid->DataToGridCol(1));
    KeyWith({}, ui::VK_DELETE);
    EXPECT_TRUE(F("flag")->IsNull());
    People.DS->Cancel();
    F("flag")->SetRequired(true);
    KeyWith({}, ui::VK_DELETE);
    EXPECT_EQ(F("flag")->AsString(), "1");
    // A text column is left to the editor.
    F("flag")->SetRequired(false);
    Grid->SetCol(Grid->DataToGridCol(0));
    KeyWith({}, ui::VK_DELETE);
    EXPECT_EQ(F("id")->AsInteger(), 10);
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
}

TEST_F(GridEditActionsTest, EachStandardActionRunsAndUpdatesItsOwnKindOnly) {
    ShowFocused({u"name", u"flag"});
    Grid->SetEditActions(AllEditActions);
    auto* copy = rtl::Create<TEditCopy>(Form);
    auto* paste = rtl::Create<TEditPaste>(Form);
    auto* selectAll = rtl::Create<TEditSelectAll>(Form);
    auto* other = rtl::Create<ui::TAction>(Form);
    // Copy is possible too (a selection exists), yet the paste action pastes.
    SelectTwoNames();
    ui::Clipboard()->SetAsText("Zoe");
    EXPECT_TRUE(Grid->ExecuteAction(paste));
    EXPECT_EQ(Names().front(), "Zoe");
    EXPECT_EQ(ClipText(), "Zoe");
    EXPECT_FALSE(Grid->ExecuteAction(other));
    EXPECT_FALSE(Grid->UpdateAction(other));
    // Update sets each action's Enabled from its own test.
    Grid->SetReadOnly(true);
    EXPECT_TRUE(Grid->UpdateAction(copy));
    EXPECT_TRUE(Grid->UpdateAction(paste));
    EXPECT_TRUE(copy->Enabled());
    EXPECT_FALSE(paste->Enabled());
    EXPECT_FALSE(Grid->ExecuteAction(paste));
    EXPECT_TRUE(Grid->ExecuteAction(copy));
    EXPECT_EQ(ClipText(), "name\r\nZoe\r\n" + Cyr("Борис"));
    // A kind the grid does not offer is left to other targets.
    Grid->SetEditActions(AllEditActions - TDBGridEhEditActions{geaSelectAllEh});
    EXPECT_FALSE(Grid->UpdateAction(selectAll));
    EXPECT_FALSE(Grid->ExecuteAction(selectAll));
    // Without the focus the grid handles none.
    Grid->SetEditActions(AllEditActions);
    auto* otherControl = rtl::Create<ui::TEdit>(Form);
    otherControl->SetParent(Form);
    otherControl->SetFocus();
    Pump();
    EXPECT_FALSE(Grid->UpdateAction(copy));
    EXPECT_FALSE(Grid->ExecuteAction(selectAll));
    EXPECT_EQ(Grid->SelectionType(), gstRectangle);
}

TEST_F(GridEditActionsTest, FocusLeavingThroughTheEditorRepaintsTheGridAsUnfocused) {
    ShowFocused({u"name", u"flag"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgEditing});
    EXPECT_TRUE(Grid->WasFocused());
    KeyWith({}, ui::VK_F2);
    ASSERT_TRUE(Grid->InplaceEditor()->Focused());
    EXPECT_TRUE(Grid->WasFocused());
    auto* edit = rtl::Create<ui::TEdit>(Form);
    edit->SetParent(Form);
    edit->SetFocus();
    Pump();
    EXPECT_FALSE(Grid->WasFocused());
    Grid->InplaceEditor()->SetFocus();
    Pump();
    EXPECT_TRUE(Grid->WasFocused());
    // From the editor to its grid and on: the same, without the editor.
    Grid->SetFocus();
    Pump();
    EXPECT_TRUE(Grid->WasFocused());
    edit->SetFocus();
    Pump();
    EXPECT_FALSE(Grid->WasFocused());
}

}  // namespace
}  // namespace gridtest

namespace gridtest {
namespace {

class TRightToLeftGridEh : public TDBGridEh {
    RTL_CLASS(TRightToLeftGridEh, TDBGridEh)
public:
    using TDBGridEh::TDBGridEh;
    bool UsesRightToLeftAlignment() const override { return RightToLeft; }
    bool RightToLeft = true;
};

using GridMirroredButtonTest = DBGridTest;

TEST_F(GridMirroredButtonTest, ButtonFaceOfARightToLeftGridIsDrawnUnmirrored) {
    auto* g = rtl::Create<TRightToLeftGridEh>(Form);
    g->SetBounds(10, 10, 200, 100);
    g->SetParent(Form);
    Form->Show();
    Pump();
    auto* surface = static_cast<ui::TRecordingSurface*>(Form->Surface());
    ui::TCanvas* C = g->Canvas();
    const int w = g->ClientWidth();
    const TRect face{20, 2, 37, 19};
    // The extent of everything the face drew, in the surface's pixels.
    auto drawn = [&] {
        TRect box{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
        for (const ui::TDrawRecord& r : surface->Records()) {
            if (r.Op != ui::TDrawOp::FillRect && r.Op != ui::TDrawOp::Blit) continue;
            box = TRect{std::min(box.Left, r.Rect.Left), std::min(box.Top, r.Rect.Top),
                        std::max(box.Right, r.Rect.Right), std::max(box.Bottom, r.Rect.Bottom)};
        }
        return box;
    };
    const TPoint o = g->ClientToParent(TPoint{0, 0}, Form);
    for (bool rtl : {false, true}) {
        SCOPED_TRACE(rtl);
        g->RightToLeft = rtl;
        g->MirrorCanvas(rtl);
        surface->Clear();
        g->DrawButtonFaceMirrored(C, face, ui::clBtnFace, editors::bfsDropDown, 0, false, false, true,
                                  editors::cbUnchecked);
        const int left = rtl ? w - face.Right : face.Left;
        EXPECT_EQ(drawn(), (TRect{o.X + left, o.Y + face.Top, o.X + left + face.Width(), o.Y + face.Bottom}));
        // The grid's mapping is as it was.
        EXPECT_EQ(C->LPtoDP(TPoint{0, 0}).X, o.X + (rtl ? w : 0));
    }
    g->MirrorCanvas(false);
}

TEST_F(GridMirroredButtonTest, PopupDataGridReportsSpecialRowChanges) {
    auto* list = rtl::Create<TPopupDataGridEh>(Form);
    int changes = 0;
    list->OnSpecRowChanged = [&](TPopupDataGridEh* L) {
        EXPECT_EQ(L, list);
        ++changes;
    };
    list->SpecRow()->SetCellsText("(none)");
    EXPECT_EQ(changes, 1);
    // An assignment is one change, however many settings it carries.
    rtl::TOwnedPtr<editors::TSpecRowEh> other(rtl::Create<editors::TSpecRowEh>());
    other->SetCellsText("(all)");
    other->SetVisible(true);
    other->SetValue(Variant(0));
    list->SetSpecRow(other.get());
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(list->SpecRow()->TextOfCell(0), "(all)");
}

}  // namespace
}  // namespace gridtest
