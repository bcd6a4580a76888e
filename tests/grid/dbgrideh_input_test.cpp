// Keys and mouse over the data grid: title clicks and sort marking, record moves, inserting,
// appending and deleting, Shift selection, leaving the grid.
#include <gtest/gtest.h>

#include "controls/grid/DBGridEhFindDlgs.h"
#include "controls/grid/DBGridEh_Setup.h"
#include "framework/ui/Messages.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

class GridInputTest : public DBGridTest {
protected:
    void Show(std::initializer_list<const char16_t*> Names = {u"id", u"name", u"born"}) {
        Bind(Names);
        Form->Show();
        Pump();
        Grid->SetFocus();
        Pump();
    }
    void Mouse(ui::UINT Msg, int X, int Y) {
        ui::MouseInput(Msg, At(Grid, X, Y));
        Pump();
    }
    void Click(TPoint P) {
        ui::ResetDoubleClick();
        Mouse(ui::WM_LBUTTONDOWN, P.X, P.Y);
        Mouse(ui::WM_LBUTTONUP, P.X, P.Y);
    }
    void Key(uint16_t K) {
        ui::KeyPressInput(K, 0);
        Pump();
    }
    void KeyWith(std::initializer_list<int> Mods, uint16_t K) {
        for (int m : Mods) ui::KeyInput(static_cast<uint16_t>(m), true);
        ui::KeyPressInput(K, 0);
        Pump();
        for (int m : Mods) ui::KeyInput(static_cast<uint16_t>(m), false);
        Pump();
    }
    TPoint InTitle(int DataCol) {
        const TRect r = Grid->SingleCellRect(Grid->DataToGridCol(DataCol), 0);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    // Title buttons that sort as the application's journals do: through IndexFieldNames.
    void SortingTitles() {
        Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghAutoSortMarking, dghMultiSortMarking});
        for (int i = 0; i < Grid->Columns()->Count(); ++i) Col(i)->Title()->SetTitleButton(true);
        Grid->OnSortMarkingChanged = [this](rtl::TObject*) {
            ++Notifications;
            AnsiString names;
            TColumnsEhList* list = Grid->SortMarkedColumnList();
            for (int i = 0; i < list->Count(); ++i) {
                TColumnEh* c = list->Items(i);
                if (!names.empty()) names += ';';
                names += rtl::WideToAnsi(c->FieldName());
                if (c->Title()->SortMarker() == smUpEh) names += " DESC";
            }
            People.DS->SetIndexFieldNames(names);
        };
        Grid->OnTitleBtnClick = [this](rtl::TObject*, int, TColumnEh*) { ++TitleClicks; };
    }
    int Notifications = 0;
    int TitleClicks = 0;
};

TEST_F(GridInputTest, TitleClickCyclesTheMarkerAndSortsOnceOnRelease) {
    Show();
    SortingTitles();
    const TPoint p = InTitle(1);
    Mouse(ui::WM_LBUTTONDOWN, p.X, p.Y);
    EXPECT_TRUE(Grid->TitleButtonDown());
    EXPECT_EQ(Notifications, 0);
    Mouse(ui::WM_LBUTTONUP, p.X, p.Y);
    EXPECT_FALSE(Grid->TitleButtonDown());
    EXPECT_EQ(TitleClicks, 1);
    EXPECT_EQ(Notifications, 1);
    EXPECT_EQ(People.DS->IndexFieldNames(), "name");
    Click(p);
    EXPECT_EQ(People.DS->IndexFieldNames(), "name DESC");
    EXPECT_EQ(Notifications, 2);
    People.DS->First();
    EXPECT_EQ(F("id")->AsInteger(), 20);
}

TEST_F(GridInputTest, CtrlClicksOnTwoTitlesNotifyOnceAtTheCtrlRelease) {
    Show();
    SortingTitles();
    ui::KeyInput(ui::VK_CONTROL, true);
    Pump();
    Click(InTitle(1));
    Click(InTitle(0));
    EXPECT_EQ(Notifications, 0);
    EXPECT_TRUE(Grid->SortCtrlPending());
    ui::KeyInput(ui::VK_CONTROL, false);
    Pump();
    EXPECT_EQ(Notifications, 1);
    EXPECT_FALSE(Grid->SortCtrlPending());
    EXPECT_EQ(Grid->SortMarkedColumnList()->Count(), 2);
    EXPECT_EQ(People.DS->IndexFieldNames(), "name;id");
}

TEST_F(GridInputTest, PressOffTheTitleOrDraggingItClicksNothing) {
    Show();
    SortingTitles();
    const TPoint p = InTitle(0);
    // Released elsewhere: no click.
    Mouse(ui::WM_LBUTTONDOWN, p.X, p.Y);
    Mouse(ui::WM_MOUSEMOVE, p.X, p.Y + 60);
    EXPECT_FALSE(Grid->TitleButtonDown());
    Mouse(ui::WM_LBUTTONUP, p.X, p.Y + 60);
    EXPECT_EQ(TitleClicks, 0);
    // Dragged more than 3 pixels: the column moves instead.
    const TPoint to = InTitle(2);
    ui::ResetDoubleClick();
    Mouse(ui::WM_LBUTTONDOWN, p.X, p.Y);
    Mouse(ui::WM_MOUSEMOVE, p.X + 4, p.Y);
    EXPECT_FALSE(Grid->TitleButtonDown());
    // The base grid tracks the target column below the titles.
    Mouse(ui::WM_MOUSEMOVE, to.X, to.Y + 30);
    Mouse(ui::WM_LBUTTONUP, to.X, to.Y + 30);
    EXPECT_EQ(TitleClicks, 0);
    EXPECT_EQ(Notifications, 0);
    EXPECT_EQ(Col(0)->Title()->SortMarker(), smNoneEh);
    EXPECT_NE(rtl::WideToAnsi(Col(0)->FieldName()), "id");
}

class TOptimizingGrid : public TDBGridTestEh {
    RTL_CLASS(TOptimizingGrid, TDBGridTestEh)
public:
    using TDBGridTestEh::TDBGridTestEh;
    void OptimizeColumnWidth(int DataCol) override { Optimized.push_back(DataCol); }
    std::vector<int> Optimized;
};

class GridSizingTest : public GridInputTest {
protected:
    // A shown grid that records the widths it is asked to optimise.
    TOptimizingGrid* ShowOptimizingGrid() {
        Grid->Free();
        auto* g = rtl::Create<TOptimizingGrid>(Form);
        Grid = g;
        Grid->SetBounds(10, 10, 300, 150);
        Grid->SetParent(Form);
        Show();
        return g;
    }
};

TEST_F(GridSizingTest, DoubleClickOnASizingLineOptimisesInsteadOfDblClick) {
    TOptimizingGrid* g = ShowOptimizingGrid();
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghDblClickOptimizeColWidth});
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgEditing});
    int dbl = 0;
    Grid->OnDblClick = [&](rtl::TObject*) { ++dbl; };
    const TRect title = Grid->SingleCellRect(Grid->DataToGridCol(0), 0);
    const TRect cell = Grid->SingleCellRect(Grid->DataToGridCol(0), 1);
    ui::ResetDoubleClick();
    for (int i = 0; i < 2; ++i) {
        Mouse(ui::WM_LBUTTONDOWN, title.Right, title.Top + 3);
        Mouse(ui::WM_LBUTTONUP, title.Right, title.Top + 3);
    }
    EXPECT_EQ(g->Optimized, std::vector<int>{0});
    EXPECT_EQ(dbl, 0);
    ui::ResetDoubleClick();
    for (int i = 0; i < 2; ++i) {
        Mouse(ui::WM_LBUTTONDOWN, cell.Left + 5, cell.Top + 3);
        Mouse(ui::WM_LBUTTONUP, cell.Left + 5, cell.Top + 3);
    }
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(g->Optimized.size(), 1u);
}

TEST_F(GridSizingTest, TitleEdgeCutByTheClientEdgeSizesTheColumn) {
    TOptimizingGrid* g = ShowOptimizingGrid();
    for (int i = 0; i < 3; ++i) Col(i)->SetWidth(120);
    Pump();
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghDblClickOptimizeColWidth});
    const int third = Grid->DataToGridCol(2);
    const TRect title = Grid->SingleCellRect(third, 0);
    ASSERT_GT(title.Left + 120, Grid->ClientWidth());  // the third column runs past the client edge
    const int edge = Grid->ClientWidth() - 1;
    auto cursorAt = [&](int X, int Y) {
        Mouse(ui::WM_MOUSEMOVE, X, Y);
        return ui::GetCursorShape();
    };
    EXPECT_EQ(cursorAt(edge, title.Top + 3), ui::crHSplit);
    EXPECT_EQ(cursorAt(title.Left - 1, title.Top + 3), ui::crHSplit);  // an ordinary title edge
    EXPECT_NE(cursorAt(edge, Grid->SingleCellRect(third, 1).Top + 3), ui::crHSplit);
    EXPECT_NE(cursorAt(edge - 10, title.Top + 3), ui::crHSplit);
    int dbl = 0;
    Grid->OnDblClick = [&](rtl::TObject*) { ++dbl; };
    ui::ResetDoubleClick();
    for (int i = 0; i < 2; ++i) {
        Mouse(ui::WM_LBUTTONDOWN, edge, title.Top + 3);
        Mouse(ui::WM_LBUTTONUP, edge, title.Top + 3);
    }
    EXPECT_EQ(g->Optimized, std::vector<int>{2});
    EXPECT_EQ(dbl, 0);
}

// ---------------------------------------------------------------------------------------------
// Keys

TEST_F(GridInputTest, DownOnTheLastRecordAppendsOnceAndUpCancels) {
    Show();
    People.DS->Last();
    Key(ui::VK_DOWN);
    EXPECT_EQ(People.DS->State(), db::dsInsert);
    EXPECT_EQ(People.DS->RecordCount(), 3);
    Key(ui::VK_DOWN);
    EXPECT_EQ(People.DS->State(), db::dsInsert);
    Key(ui::VK_UP);
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    EXPECT_EQ(F("id")->AsInteger(), 30);
    // Tab from the last cell appends too and goes to the first column.
    Grid->SetCol(Grid->ColCount() - 1);
    Key(ui::VK_TAB);
    EXPECT_EQ(People.DS->State(), db::dsInsert);
    EXPECT_EQ(Grid->Col(), Grid->IndicatorColCount());
}

TEST_F(GridInputTest, ReadOnlyGridNeitherInsertsNorDeletes) {
    Show();
    Grid->SetReadOnly(true);
    int boxes = 0;
    ui::Application()->MessageBoxHandler = [&](const AnsiString&, const AnsiString&, unsigned) {
        ++boxes;
        return ui::IDOK;
    };
    Key(ui::VK_INSERT);
    KeyWith({ui::VK_CONTROL}, ui::VK_DELETE);
    People.DS->Last();
    Key(ui::VK_DOWN);
    ui::Application()->MessageBoxHandler = nullptr;
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    EXPECT_EQ(People.DS->RecordCount(), 3);
}

TEST_F(GridInputTest, CtrlDelAsksByCountAndCancelKeepsTheRecords) {
    Show();
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    std::vector<AnsiString> texts;
    int answer = ui::IDCANCEL;
    ui::Application()->MessageBoxHandler = [&](const AnsiString& Text, const AnsiString&, unsigned) {
        texts.push_back(Text);
        return answer;
    };
    KeyWith({ui::VK_CONTROL}, ui::VK_DELETE);
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    People.DS->Next();
    Grid->SelectedRecords()->SetCurrentRowSelected(true);
    KeyWith({ui::VK_CONTROL}, ui::VK_DELETE);
    EXPECT_EQ(People.DS->RecordCount(), 3);
    answer = ui::IDOK;
    KeyWith({ui::VK_CONTROL}, ui::VK_DELETE);
    ui::Application()->MessageBoxHandler = nullptr;
    EXPECT_EQ(texts, (std::vector<AnsiString>{"Delete record?", "Delete all selected records?",
                                              "Delete all selected records?"}));
    EXPECT_EQ(People.DS->RecordCount(), 1);
}

TEST_F(GridInputTest, ShiftDownSelectsAndShiftUpGivesBackTheLastRecord) {
    // Four records: the anchor and three below it.
    People.DS->Append();
    F("id")->SetAsInteger(40);
    People.DS->Post();
    Show();
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    People.DS->First();
    for (int i = 0; i < 3; ++i) KeyWith({ui::VK_SHIFT}, ui::VK_DOWN);
    EXPECT_EQ(Grid->SelectedRecords()->Count(), 4);
    KeyWith({ui::VK_SHIFT}, ui::VK_UP);
    EXPECT_EQ(Grid->SelectedRecords()->Count(), 3);
    EXPECT_EQ(F("id")->AsInteger(), 30);
    EXPECT_TRUE(Grid->SelectedRecords()->CurrentRowSelected());
    People.DS->Next();
    EXPECT_FALSE(Grid->SelectedRecords()->CurrentRowSelected());
}

TEST_F(GridInputTest, CancelOnExitDropsAnUntouchedInsertWhenFocusMovesAway) {
    Show();
    auto* other = rtl::Create<ui::TEdit>(Form);
    other->SetParent(Form);
    other->SetBounds(10, 200, 100, 20);
    Key(ui::VK_INSERT);
    EXPECT_EQ(People.DS->State(), db::dsInsert);
    other->SetFocus();
    Pump();
    EXPECT_EQ(People.DS->State(), db::dsBrowse);
    EXPECT_EQ(People.DS->RecordCount(), 3);
}

TEST_F(GridInputTest, CtrlFOpensTheFindDialogThroughTheHook) {
    Show();
    int opened = 0;
    const TFindDialogHookEh saved = FindDialogHook;
    FindDialogHook = [&](TCustomDBGridEh* G, const AnsiString& Text, const AnsiString&, bool Modal) {
        EXPECT_EQ(G, Grid);
        EXPECT_EQ(Text, "");
        EXPECT_TRUE(Modal);
        ++opened;
    };
    KeyWith({ui::VK_CONTROL}, 'F');
    FindDialogHook = saved;
    EXPECT_EQ(opened, 1);
}

// ---------------------------------------------------------------------------------------------
// The sort-marked list

TEST_F(GridInputTest, SortMarkedListHasNoGapsOrNulls) {
    Show({u"id", u"name", u"born", u"cid"});
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghAutoSortMarking, dghMultiSortMarking});
    auto check = [&](std::vector<int> Ids) {
        TColumnsEhList* list = Grid->SortMarkedColumnList();
        ASSERT_EQ(list->Count(), static_cast<int>(Ids.size()));
        int last = 0;
        for (int i = 0; i < list->Count(); ++i) {
            ASSERT_NE(list->Items(i), nullptr);
            EXPECT_GT(list->Items(i)->Title()->SortIndex(), last);
            last = list->Items(i)->Title()->SortIndex();
        }
    };
    for (int i : {0, 1, 2}) Col(i)->Title()->CycleSortMarker(true);
    check({0, 1, 2});
    // The column with SortIndex 1 goes: the others keep 2 and 3 and the list closes the gap.
    Grid->Columns()->Items(0)->Free();
    Grid->RebuildSortMarkedColumnList();
    check({1, 2});
    Col(0)->SetVisible(false);
    check({1, 2});
    Grid->SetOptionsEh(Grid->OptionsEh() - TDBGridEhOptions{dghMultiSortMarking});
    TColumnsEhList* list = Grid->SortMarkedColumnList();
    for (int i = 0; i < list->Count(); ++i) EXPECT_NE(list->Items(i), nullptr);
}

}  // namespace
}  // namespace gridtest

namespace gridtest {
namespace {

TEST_F(GridInputTest, KeyPickListWritesKeysNullAndRechecksNotInList) {
    Show({u"id", u"cid"});
    TColumnEh* c = Col(1);
    c->PickList()->SetCommaText("Tula,Orel,Extra");
    c->KeyList()->SetCommaText("1,2");  // shorter than the pick list
    ASSERT_EQ(c->CellKind(), cckKeyPickList);
    Grid->SetCol(Grid->DataToGridCol(1));
    People.DS->Edit();
    auto write = [&](const char* Text) {
        Grid->SetEditText(Text);
        Grid->WriteEditText();
        return F("cid")->IsNull() ? std::string("null") : std::to_string(F("cid")->AsInteger());
    };
    EXPECT_EQ(write("Orel"), "2");
    EXPECT_EQ(write("tula"), "1");
    EXPECT_EQ(write(""), "null");
    // "Extra" has no key: not found, and without the event the value chosen while editing stays.
    EXPECT_EQ(write("Orel"), "2");
    EXPECT_EQ(write("Extra"), "2");
    int asked = 0;
    c->OnNotInList = [&](rtl::TObject*, const AnsiString& Text, bool& Recheck) {
        ++asked;
        EXPECT_EQ(Text, "Extra");
        c->KeyList()->Add("3");
        Recheck = true;
    };
    EXPECT_EQ(write("Extra"), "3");
    EXPECT_EQ(asked, 1);
    c->OnNotInList = [&](rtl::TObject*, const AnsiString&, bool&) { ++asked; };
    EXPECT_EQ(write("Nowhere"), "null");
    EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace gridtest

namespace gridtest {
namespace {

TEST_F(GridInputTest, IncrementalSearchTakesTheDataCaseDropsDeadCharactersAndTimesOut) {
    People.DS->Append();
    F("id")->SetAsInteger(40);
    F("name")->SetAsString("Abc");
    People.DS->Post();
    Show({u"id", u"name"});
    Grid->SetOptions(Grid->Options() - TDBGridOptions{dgEditing});
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghPreferIncSearch});
    People.DS->First();
    Grid->SetCol(Grid->DataToGridCol(1));
    auto type = [&](char C) {
        ui::CharInput(C);
        Pump();
    };
    type('a');
    type('b');
    EXPECT_TRUE(Grid->IncSearchActive());
    EXPECT_EQ(Grid->IncSearchText(), "Ab");
    EXPECT_EQ(F("id")->AsInteger(), 40);
    type('z');
    EXPECT_EQ(Grid->IncSearchText(), "Ab");
    Clock.Advance(1499);
    Pump();
    EXPECT_TRUE(Grid->IncSearchActive());
    Clock.Advance(2);
    Pump();
    EXPECT_FALSE(Grid->IncSearchActive());
    EXPECT_EQ(Grid->IncSearchText(), "");
}

TEST_F(GridInputTest, CtrlFTwiceStartsAnUntimedSearchThenOpensTheFindDialog) {
    Show();
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghIncSearch});
    int opened = 0;
    const TFindDialogHookEh saved = FindDialogHook;
    FindDialogHook = [&](TCustomDBGridEh*, const AnsiString&, const AnsiString&, bool) { ++opened; };
    KeyWith({ui::VK_CONTROL}, 'F');
    EXPECT_TRUE(Grid->IncSearchActive());
    Clock.Advance(10000);
    Pump();
    EXPECT_TRUE(Grid->IncSearchActive());
    EXPECT_EQ(opened, 0);
    KeyWith({ui::VK_CONTROL}, 'F');
    FindDialogHook = saved;
    EXPECT_FALSE(Grid->IncSearchActive());
    EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace gridtest


namespace gridtest {
namespace {

TEST_F(GridInputTest, FindDialogListsTheColumnsAndFindsNextFromTheFirstRecord) {
    Show({u"id", u"name"});
    Grid->SetCol(Grid->DataToGridCol(1));
    People.DS->Last();
    TDBGridEhFindDlg* d = DBGridEhFindDlg();
    d->Execute(Grid, Cyr("Борис"), false);
    Pump();
    EXPECT_EQ(d->Caption(), "Find text");
    EXPECT_EQ(d->cbMatchinType->Items()->Strings(2), "From beging of field");
    ASSERT_EQ(d->cbFindIn->Items()->Count(), 3);
    EXPECT_EQ(d->cbFindIn->Items()->Strings(2), "<All>");
    EXPECT_EQ(d->cbFindIn->ItemIndex(), 1);  // the current column
    EXPECT_TRUE(d->FirstSearch());
    d->bFindClick(nullptr);
    EXPECT_EQ(F("id")->AsInteger(), 20);
    EXPECT_FALSE(d->FirstSearch());
    EXPECT_EQ(d->cbText->Items()->Count(), 1);
    d->cbText->SetText("nothing like it");
    d->bFindClick(nullptr);
    EXPECT_EQ(F("id")->AsInteger(), 20);  // a failed search leaves the grid where it was
    d->Close();
    Pump();
}

}  // namespace
}  // namespace gridtest
