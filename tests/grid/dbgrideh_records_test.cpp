// The grid's layout and auto-fit, record window and scroll bars, cell values and edit styles,
// text search and selection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/grid/DBGridEh_Style.h"
#include "tests/grid/dbgrid_fixture.h"
#include "tests/grid/unnumbered_dataset.h"

namespace gridtest {
namespace {

// A grid that logs its rebuilds and the window scrolls of record moves.
class TRecordGridEh : public TDBGridEh {
    RTL_CLASS(TRecordGridEh, TDBGridEh)
public:
    using TDBGridEh::TDBGridEh;
    void RebuildLayout() override {
        ++Rebuilds;
        if (ThrowInLayout) throw rtl::Exception("layout");
        TDBGridEh::RebuildLayout();
    }
    void ScrollDataRows(int DY, const TRect& Area) override {
        Scrolls.push_back(DY);
        TDBGridEh::ScrollDataRows(DY, Area);
    }
    int LayoutNesting() const { return FLayoutNesting; }
    void VScroll(uint16_t Code, int16_t Pos = 0) {
        ui::TMessage m{};
        m.Msg = ui::WM_VSCROLL;
        m.WParamLo = Code;
        m.WParamHiS = Pos;
        ui::TWMScroll s(m);
        WMVScroll(s);
    }
    int Rebuilds = 0;
    bool ThrowInLayout = false;
    std::vector<int> Scrolls;
};

// A numbered list of records: id 1..N, a Cyrillic name, and n holding NULL every tenth row.
class RecordsTest : public uitest::UiTest {
protected:
    static std::vector<std::vector<Variant>> Rows(int N) {
        std::vector<std::vector<Variant>> r;
        for (int i = 1; i <= N; ++i)
            r.push_back({Variant(i), Variant(Cyr("Запись ") + std::to_string(i)),
                         i % 10 == 0 ? Variant::Null() : Variant(i * 2)});
        return r;
    }
    void Make(int N, bool Numbered = true) {
        Data = std::make_unique<memdstest::TFixture>(
            std::vector<memdstest::TCol>{
                {u"id", store::mdtInt32, 4}, {u"name", store::mdtString, 31, 30}, {u"n", store::mdtInt32, 4}},
            Rows(N));
        if (!Numbered) {
            // The same store under a dataset that cannot number its records.
            Data->DS.reset(rtl::Create<TUnnumberedDataSet>(nullptr));
            Data->DS->SetIRecordSet(std::unique_ptr<store::TData>(new memdstest::TRowStore(
                {{u"id", store::mdtInt32, 4}, {u"name", store::mdtString, 31, 30}, {u"n", store::mdtInt32, 4}},
                Rows(N))));
        }
        Data->DS->Open();
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Data->DS.get());
        Grid = rtl::Create<TRecordGridEh>(Form);
        Grid->SetBounds(0, 0, 300, 200);
        Grid->SetParent(Form);
        for (const char16_t* n : {u"id", u"name", u"n"}) Grid->Columns()->Add()->SetFieldName(n);
        Grid->SetDataSource(Src);
        Form->Show();
        ui::Application()->ProcessMessages();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        Data.reset();
        UiTest::TearDown();
    }
    db::TDataSet* DS() { return Data->DS.get(); }

    std::unique_ptr<memdstest::TFixture> Data;
    db::TDataSource* Src = nullptr;
    TRecordGridEh* Grid = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Layout

TEST(FitRowHeightToTextTest, RoundsToWholeLinesAboveTheMargin) {
    struct {
        int Height, Expected, Lines;
    } cases[] = {{20, 16, 1}, {24, 29, 2}, {16, 16, 1}, {3, 16, 1}};
    for (auto c : cases) {
        int lines = -1;
        EXPECT_EQ(FitRowHeightToText(c.Height, 3, 13, lines), c.Expected) << c.Height;
        EXPECT_EQ(lines, c.Lines) << c.Height;
    }
}

TEST_F(RecordsTest, AutoFitSharesTheWidthByBaseWidths) {
    Make(3);
    struct Case {
        const char* Name;
        bool Indicator, ColLines;
        int MinWidth;
        std::vector<int> Bases, MaxWidths, Expected;
    } cases[] = {
        {"plain", false, false, 301, {100, 100, 100}, {0, 0, 0}, {100, 100, 101}},
        {"indicator and lines", true, true, 316, {100, 100, 100}, {0, 0, 0}, {100, 100, 101}},
        {"a limit stops one", false, false, 301, {100, 100, 100}, {50, 0, 0}, {50, 126, 125}},
        {"base widths of 0", false, false, 301, {0, 0, 0}, {0, 0, 0}, {-1, -1, -1}},
        {"all at their limit", false, false, 301, {100, 100, 100}, {40, 40, 40}, {40, 40, 40}},
    };
    for (const Case& c : cases) {
        TDBGridOptions o = Grid->Options() - TDBGridOptions{dgIndicator, dgColLines};
        if (c.Indicator) o.Include(dgIndicator);
        if (c.ColLines) o.Include(dgColLines);
        Grid->SetOptions(o);
        Grid->SetAutoFitColWidths(false);
        for (int i = 0; i < 3; ++i) {
            Grid->Columns()->Items(i)->SetMaxWidth(c.MaxWidths[i]);
            Grid->Columns()->Items(i)->SetWidth(77);
        }
        Grid->SetAutoFitColWidths(true);
        for (int i = 0; i < 3; ++i) Grid->Columns()->Items(i)->SetFitWidth(c.Bases[i]);
        Grid->SetMinAutoFitWidth(c.MinWidth);
        if (c.Expected[0] < 0) {
            // No proportion to share by: the widths still fill the width exactly.
            int sum = 0;
            for (int i = 0; i < 3; ++i) sum += Grid->Columns()->Items(i)->Width();
            EXPECT_EQ(sum, c.MinWidth) << c.Name;
            continue;
        }
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Grid->Columns()->Items(i)->Width(), c.Expected[i]) << c.Name << " " << i;
        Grid->SetMinAutoFitWidth(0);
    }
}

TEST_F(RecordsTest, SizingAZeroWidthAutoFitColumnTakesTheNewWidthAsItsBase) {
    Make(3);
    Grid->SetAutoFitColWidths(true);
    TColumnEh* c = Grid->Columns()->Items(0);
    c->SetFitWidth(0);
    Grid->SetMinAutoFitWidth(Grid->ClientWidth());
    // The zero base leaves the column at 0 once the others take the width.
    Grid->Columns()->Items(1)->SetFitWidth(100);
    Grid->Columns()->Items(2)->SetFitWidth(100);
    Grid->SetMinAutoFitWidth(Grid->ClientWidth() + 1);
    ASSERT_EQ(c->Width(), 0);
    Grid->SetColWidths(Grid->DataToGridCol(0), 40);
    EXPECT_EQ(c->FitWidth(), 40);
}

TEST_F(RecordsTest, LayoutRequestsUnderALockPostOneMessageAndRebuildOnce) {
    Make(3);
    Grid->Rebuilds = 0;
    for (int i = 0; i < 3; ++i) {
        Grid->OpenLayoutBracket();
        Grid->LockUpdates();
        Grid->PostLayoutRequest();
    }
    EXPECT_EQ(Grid->Rebuilds, 0);
    EXPECT_EQ(Grid->UpdateNesting(), 0);
    EXPECT_EQ(Grid->LayoutNesting(), 0);
    ui::Application()->ProcessMessages();
    EXPECT_EQ(Grid->Rebuilds, 1);

    // A failing rebuild still closes both brackets.
    Grid->ThrowInLayout = true;
    EXPECT_THROW(Grid->LinkLayoutChanged(), rtl::Exception);
    EXPECT_EQ(Grid->UpdateNesting(), 0);
    EXPECT_EQ(Grid->LayoutNesting(), 0);
    Grid->ThrowInLayout = false;
}

// ---------------------------------------------------------------------------------------------
// Record window and scroll bars

TEST_F(RecordsTest, TheGridShowsTheBufferOfRecordsThatFit) {
    Make(100);
    const int shown = Grid->DataRowCount();
    ASSERT_GT(shown, 2);
    EXPECT_EQ(Grid->DataLink()->BufferCount(), shown);
    EXPECT_EQ(Grid->VisibleDataRowCount(), shown);
    EXPECT_EQ(Grid->Row(), Grid->TitleRowCount());
    // Resizing keeps the current record on the active record.
    DS()->MoveBy(shown - 1);
    Grid->SetBounds(0, 0, 300, 120);
    ui::Application()->ProcessMessages();
    EXPECT_EQ(Grid->Row() - Grid->TitleRowCount(), Grid->DataLink()->ActiveRecord());
    EXPECT_EQ(DS()->RecNo(), shown);
}

TEST_F(RecordsTest, AResortKeepsTheCurrentRecordOnTheCurrentRow) {
    Make(100);
    DS()->MoveBy(3);
    static_cast<store::TMemDataSet*>(DS())->SetIndexFieldNames("id DESC");
    EXPECT_EQ(DS()->FieldByName(std::string_view("id"))->AsInteger(), 4);
    EXPECT_EQ(Grid->Row() - Grid->TitleRowCount(), Grid->DataLink()->ActiveRecord());
    EXPECT_EQ(Grid->RowCount() - Grid->TitleRowCount(), Grid->DataLink()->RecordCount());
}

TEST_F(RecordsTest, ARowMoveScrollsThePaintedRowsAndALongJumpRepaintsAll) {
    Make(100);
    Grid->UpdateWindow();
    const int shown = Grid->VisibleDataRowCount();
    const int step = Grid->DefaultDataRowHeight() + 1;
    Grid->Scrolls.clear();
    Grid->LockUpdates();
    Grid->VScroll(ui::SB_LINEDOWN);
    Grid->UnlockUpdates();
    ASSERT_EQ(Grid->Scrolls, std::vector<int>{-step});
    EXPECT_EQ(DS()->RecNo(), shown + 1);
    // Only the uncovered row and the current one wait for paint.
    TRect pending;
    ASSERT_TRUE(Grid->GetUpdateRect(pending));
    EXPECT_LE(pending.Bottom - pending.Top, 2 * step + 1);
    Grid->UpdateWindow();
    Grid->Scrolls.clear();
    DS()->MoveBy(shown + 5);
    EXPECT_TRUE(Grid->Scrolls.empty());
    Grid->VScroll(ui::SB_PAGEUP);
    EXPECT_EQ(DS()->RecNo(), shown + 1 + shown + 5 - shown);
}

TEST_F(RecordsTest, TitlesRepaintWhenTheFirstScrollingColumnComesOrGoes) {
    Make(10);
    for (int c = 0; c < 3; ++c) Grid->Columns()->Items(c)->SetWidth(130);
    ui::Application()->ProcessMessages();
    std::vector<int> lefts;
    Grid->OnTopLeftChanged = [&](rtl::TObject*) { lefts.push_back(Grid->LeftCol()); };
    // Whether the title cell of data column Col waits for paint after a horizontal scroll.
    auto scrollAndTitlePending = [&](uint16_t Code, int Col) {
        Grid->UpdateWindow();
        Grid->LockUpdates();
        Grid->Perform(ui::WM_HSCROLL, Code, 0);
        Grid->UnlockUpdates();
        TRect pending;
        const TRect title = Grid->SingleCellRect(Grid->DataToGridCol(Col), 0);
        const bool hit = Grid->GetUpdateRect(pending) && pending.Top <= title.Top && pending.Left <= title.Left + 1 &&
                         pending.Right > title.Left + 1;
        Grid->UpdateWindow();
        return hit;
    };
    const int fixed = Grid->FixedCols();
    ASSERT_EQ(Grid->LeftCol(), fixed);
    // The first scrolling column leaves view: the title of the column now at the left repaints
    // although its pixels were only moved.
    EXPECT_TRUE(scrollAndTitlePending(ui::SB_LINERIGHT, 1));
    EXPECT_EQ(lefts, std::vector<int>{fixed + 1});
    // It comes back: the titles repaint again.
    EXPECT_TRUE(scrollAndTitlePending(ui::SB_LINELEFT, 1));
    EXPECT_EQ(lefts, (std::vector<int>{fixed + 1, fixed}));
}

TEST_F(RecordsTest, VerticalBarValuesFollowTheRecordNumbers) {
    Make(100);
    const int page = Grid->VisibleDataRowCount();
    EXPECT_EQ(Grid->VertScrollValues(), (TVertScrollValuesEh{1, 100 + page - 1, page, 1}));
    DS()->MoveBy(41);
    EXPECT_EQ(Grid->VertScrollValues().Pos, 42);
    ui::TScrollInfo si;
    Grid->GetScrollInfo(ui::SB_VERT, si);
    EXPECT_EQ(si.nPos, 42);
    Grid->VScroll(ui::SB_BOTTOM);
    EXPECT_EQ(DS()->RecNo(), 100);
    Grid->VScroll(ui::SB_THUMBPOSITION, 30);
    EXPECT_EQ(DS()->RecNo(), 30);
    Grid->VScroll(ui::SB_THUMBPOSITION, 1);
    EXPECT_EQ(DS()->RecNo(), 1);
    DS()->Close();
    EXPECT_EQ(Grid->VertScrollValues(), (TVertScrollValuesEh{0, 1, 2, 0}));
}

TEST_F(RecordsTest, AnUnnumberedDatasetGivesABarOfFivePositions) {
    Make(100, false);
    EXPECT_EQ(Grid->VertScrollValues(), (TVertScrollValuesEh{0, 4, 0, 0}));
    DS()->MoveBy(50);
    EXPECT_EQ(Grid->VertScrollValues().Pos, 2);
    DS()->Last();
    EXPECT_EQ(Grid->VertScrollValues().Pos, 4);
    // The thumb only jumps: first, a page, last.
    Grid->VScroll(ui::SB_THUMBPOSITION, 0);
    EXPECT_TRUE(DS()->Bof());
    Grid->VScroll(ui::SB_THUMBPOSITION, 3);
    const db::TBookmark paged = DS()->GetBookmark();
    DS()->First();
    DS()->MoveBy(Grid->VisibleDataRowCount());
    EXPECT_EQ(DS()->CompareBookmarks(paged, DS()->GetBookmark()), 0);
    Grid->VScroll(ui::SB_THUMBPOSITION, 2);
    EXPECT_EQ(DS()->CompareBookmarks(paged, DS()->GetBookmark()), 0);
    Grid->VScroll(ui::SB_THUMBPOSITION, 4);
    EXPECT_TRUE(DS()->Eof());
}

TEST_F(RecordsTest, VisibleModesOfTheVerticalBar) {
    Make(1);
    // Nothing to scroll: hidden unless always shown.
    EXPECT_FALSE(Grid->ScrollBarVisible(ui::SB_VERT));
    Grid->VertScrollBar()->SetVisibleMode(sbAlwaysShowEh);
    EXPECT_TRUE(Grid->ScrollBarVisible(ui::SB_VERT));
    Grid->VertScrollBar()->SetVisible(false);
    EXPECT_EQ(Grid->VertScrollBar()->VisibleMode(), sbNeverShowEh);
    EXPECT_FALSE(Grid->ScrollBarVisible(ui::SB_VERT));
    Grid->VertScrollBar()->SetVisible(true);
    EXPECT_EQ(Grid->VertScrollBar()->VisibleMode(), sbAutoShowEh);
}

// ---------------------------------------------------------------------------------------------
// Search

TEST_F(RecordsTest, SearchMatchKindsAndDirections) {
    Make(30);
    DS()->Edit();
    DS()->FieldByName(std::string_view("name"))->SetAsString("xaby");
    DS()->Post();
    DS()->MoveBy(5);
    DS()->Edit();
    DS()->FieldByName(std::string_view("name"))->SetAsString("ab");
    DS()->Post();
    DS()->First();
    struct {
        const char* Text;
        TLocateTextMatchTypeEh Kind;
        TLocateTextOptionsEh Options;
        int RecNo;  // 0: not found
    } cases[] = {
        {"ab", lmtAnyPartEh, 0, 1},
        {"ab", lmtFromBeginEh, 0, 6},
        {"ab", lmtWholeEh, 0, 6},
        {"AB", lmtWholeEh, 0, 0},
        {"AB", lmtWholeEh, ltoCaseInsensitiveEh, 6},
    };
    for (auto c : cases) {
        DS()->First();
        const bool found = Grid->LocateText(u"name", c.Text, c.Kind, ltdAllEh, c.Options);
        EXPECT_EQ(found, c.RecNo != 0) << c.Text << " " << int(c.Kind);
        EXPECT_EQ(DS()->RecNo(), c.RecNo ? c.RecNo : 1) << c.Text << " " << int(c.Kind);
    }
    // Up from the first record finds nothing and stays there.
    DS()->First();
    EXPECT_FALSE(Grid->LocateText(u"name", "xaby", lmtWholeEh, ltdUpEh, 0));
    EXPECT_EQ(DS()->RecNo(), 1);
    EXPECT_THROW(Grid->LocateText(u"nope", "x", lmtWholeEh, ltdDownEh, 0), rtl::Exception);
}

TEST_F(RecordsTest, SearchingAllColumnsReachesColumnsOffScreen) {
    Make(30);
    for (int i = 0; i < 3; ++i) Grid->Columns()->Items(i)->SetWidth(140);
    // Only the first column or two fit; the grid is scrolled to the right as well.
    Grid->SetCol(Grid->DataToGridCol(1));
    Grid->SetLeftCol(Grid->DataToGridCol(1));
    DS()->First();
    Grid->SetCol(Grid->DataToGridCol(0));
    // 14 is the n of record 7, in the third column.
    EXPECT_TRUE(Grid->LocateText(u"", "14", lmtWholeEh, ltdDownEh, ltoAllFieldsEh | ltoMatchFormatEh));
    EXPECT_EQ(DS()->RecNo(), 7);
    EXPECT_EQ(Grid->CurrentColumn(), Grid->Columns()->Items(2));
}

// ---------------------------------------------------------------------------------------------
// Selection

TEST(SelectionRepaintTest, RepaintsOnlyTheDifferenceOfOverlappingBoxes) {
    const TRect a{0, 0, 10, 10};
    EXPECT_EQ(SelectionRepaintRects(a, TRect{0, 0, 10, 20}), (std::vector<TRect>{TRect{0, 10, 10, 20}}));
    EXPECT_EQ(SelectionRepaintRects(a, TRect{0, 0, 20, 20}),
              (std::vector<TRect>{TRect{10, 0, 20, 20}, TRect{0, 10, 10, 20}}));
    EXPECT_EQ(SelectionRepaintRects(TRect{5, 5, 20, 20}, a),
              (std::vector<TRect>{TRect{0, 0, 5, 10}, TRect{5, 0, 10, 5}, TRect{10, 5, 20, 20}, TRect{5, 10, 10, 20}}));
    const TRect far{30, 30, 40, 40};
    EXPECT_EQ(SelectionRepaintRects(a, far), (std::vector<TRect>{a, far}));
}

class SelectionTest : public DBGridTest {};

TEST_F(SelectionTest, ColumnExtensionAddsAndUndoesExactlyItsOwnColumns) {
    Bind({u"id", u"name", u"born", u"cid", u"flag", u"city"});
    TDBGridEhSelectionCols* cols = Grid->Selection()->Columns();
    auto listed = [&] {
        std::vector<int> r;
        for (int i = 0; i < cols->Count(); ++i) r.push_back(cols->Items(i)->Index());
        return r;
    };
    cols->Select(Col(2), false);
    const struct {
        int Target;
        std::vector<int> Expected;
    } steps[] = {{5, {2, 3, 4, 5}}, {3, {2, 3}}, {0, {0, 1, 2}}};
    for (auto s : steps) {
        cols->Extend(Col(s.Target));
        EXPECT_EQ(listed(), s.Expected) << s.Target;
    }
    EXPECT_EQ(Grid->SelectionType(), gstColumns);

    // From an unselected anchor the extension removes what it passes and the reverse restores it.
    cols->Select(Col(1), false);
    cols->Extend(Col(4));
    ASSERT_EQ(listed(), (std::vector<int>{1, 2, 3, 4}));
    cols->Toggle(Col(1));
    cols->Extend(Col(3));
    EXPECT_EQ(listed(), (std::vector<int>{4}));
    cols->Extend(Col(1));
    EXPECT_EQ(listed(), (std::vector<int>{2, 3, 4}));

    // Hidden columns are never added.
    Col(3)->SetVisible(false);
    cols->Select(Col(1), false);
    cols->Extend(Col(5));
    EXPECT_EQ(listed(), (std::vector<int>{1, 2, 4, 5}));
    // Toggling the last column off ends the column selection.
    Grid->Selection()->Clear();
    cols->Toggle(Col(0));
    cols->Toggle(Col(0));
    EXPECT_EQ(Grid->SelectionType(), gstNon);
}

TEST_F(SelectionTest, CellSelectedByKind) {
    Bind({u"id", u"name"});
    db::TDataSet* ds = People.DS.get();
    const db::TBookmark first = ds->GetBookmark();
    ds->Next();
    const db::TBookmark second = ds->GetBookmark();
    TDBGridEhSelection* sel = Grid->Selection();
    EXPECT_FALSE(sel->CellSelected(0, first));
    // One cell is no block.
    sel->Rect()->Select(0, first, false);
    EXPECT_EQ(sel->SelectionType(), gstNon);
    sel->Rect()->Select(1, second, true);
    EXPECT_EQ(sel->SelectionType(), gstRectangle);
    EXPECT_TRUE(sel->CellSelected(1, first));
    EXPECT_FALSE(sel->CellSelected(-1, first));
    sel->SelectAll();
    EXPECT_TRUE(sel->CellSelected(-1, first));
    sel->Clear();
    EXPECT_EQ(sel->SelectionType(), gstNon);
    Grid->SetDataSource(nullptr);
    EXPECT_THROW(sel->Rect()->CellSelected(0, first), EInvalidGridOperationEh);
}

// ---------------------------------------------------------------------------------------------
// Cell values and edit styles

class CellValueTest : public DBGridTest {};

TEST_F(CellValueTest, KeyListTextsAndCheckboxStates) {
    Bind({u"flag", u"cid"});
    TColumnEh* c = Col(0);
    c->KeyList()->SetText("0\n1");
    c->PickList()->SetText("No\nYes");
    People.DS->First();
    EXPECT_EQ(c->CellKind(), cckKeyPickList);
    EXPECT_EQ(c->KeyListDisplayText(), "Yes");
    People.DS->Last();  // flag NULL: in no entry
    EXPECT_EQ(c->KeyListDisplayText(), "");
    c->SetNotInKeyListIndex(0);
    EXPECT_EQ(c->KeyListDisplayText(), "No");

    // Check boxes over a text field: 1;Y; checks 1, y and the empty text.
    c->PickList()->Clear();
    c->KeyList()->SetText("1;Y;\n0");
    c->SetCheckboxes(true);
    struct {
        const char* Text;
        ui::TCheckBoxState State;
    } texts[] = {
        {"y", ui::cbChecked}, {"1", ui::cbChecked}, {"", ui::cbChecked}, {"0", ui::cbUnchecked}, {"2", ui::cbGrayed}};
    People.DS->First();
    for (auto t : texts) {
        People.DS->Edit();
        F("flag")->SetAsString(t.Text);
        EXPECT_EQ(c->CheckboxState(), t.State) << t.Text;
        People.DS->Cancel();
    }
    People.DS->Edit();
    c->SetCheckboxState(ui::cbUnchecked);
    EXPECT_EQ(F("flag")->AsString(), "0");
    c->SetCheckboxState(ui::cbChecked);
    EXPECT_EQ(F("flag")->AsString(), "1");
    People.DS->Cancel();

    // An integer field without codes: NULL grayed, 1 checked, other values unchecked.
    TColumnEh* n = Col(1);
    n->SetCheckboxes(true);
    People.DS->Last();
    EXPECT_EQ(n->CheckboxState(), ui::cbGrayed);
    People.DS->First();
    EXPECT_EQ(n->CheckboxState(), ui::cbUnchecked);
    People.DS->Next();
    EXPECT_EQ(n->CheckboxState(), ui::cbChecked);
}

TEST_F(CellValueTest, SteppingValues) {
    Bind({u"cid", u"flag"});
    TColumnEh* n = Col(0);
    People.DS->Last();  // cid NULL
    n->SetNextFieldValue(1);
    EXPECT_EQ(F("cid")->AsInteger(), 0);
    People.DS->Cancel();
    n->SetNextFieldValue(-1);
    EXPECT_EQ(F("cid")->AsInteger(), 0);
    People.DS->Cancel();
    People.DS->Edit();
    F("cid")->SetAsInteger(5);
    n->SetNextFieldValue(-1);
    EXPECT_EQ(F("cid")->AsInteger(), 4);
    People.DS->Cancel();

    // Key lists wrap around both ways.
    TColumnEh* k = Col(1);
    k->KeyList()->SetText("0\n1");
    k->PickList()->SetText("No\nYes");
    People.DS->First();  // flag 1
    k->SetNextFieldValue(1);
    EXPECT_EQ(F("flag")->AsString(), "0");
    k->SetNextFieldValue(-1);
    EXPECT_EQ(F("flag")->AsString(), "1");
    People.DS->Cancel();

    // An image column without codes steps an integer and leaves a text alone.
    auto* images = rtl::Create<ui::TImageList>(Form);
    n->SetImageList(images);
    k->SetImageList(images);
    k->KeyList()->Clear();
    k->PickList()->Clear();
    EXPECT_EQ(k->CellKind(), cckImage);
    People.DS->First();  // cid 2, flag "1"
    EXPECT_NO_THROW(k->SetNextFieldValue(1));
    EXPECT_EQ(F("flag")->AsString(), "1");
    n->SetNextFieldValue(1);
    EXPECT_EQ(F("cid")->AsInteger(), 3);
    People.DS->Cancel();
    n->SetImageList(nullptr);
    k->SetImageList(nullptr);

    EXPECT_EQ(n->FilterValidChars("12ab"), "12");
}

TEST_F(CellValueTest, EditStylesAndButtonWidths) {
    Bind({u"born", u"name", u"city", u"id"});
    Col(0)->SetReadOnly(true);
    Col(1)->PickList()->SetText("a\nb");
    Col(1)->SetReadOnly(true);
    EXPECT_EQ(Col(0)->EditStyle(), cesNone);
    EXPECT_EQ(Col(1)->EditStyle(), cesNone);
    Col(0)->SetReadOnly(false);
    EXPECT_EQ(Col(0)->EditStyle(), cesCalendar);
    EXPECT_EQ(Col(2)->EditStyle(), cesDataList);
    F("cid")->SetReadOnly(true);
    EXPECT_EQ(Col(2)->EditStyle(), cesNone);
    Col(3)->SetButtonStyle(cbsUpDown);
    EXPECT_EQ(Col(3)->EditStyle(), cesUpDown);

    Grid->SetFlat(true);
    EXPECT_EQ(Col(0)->EditButtonsWidth(), editors::FlatButtonWidth() + 1);
    EXPECT_EQ(Col(1)->EditButtonsWidth(), 0);
    Grid->SetFlat(false);
    EXPECT_EQ(Col(0)->EditButtonsWidth(), ui::GetSystemMetrics(ui::SM_CXVSCROLL));
}

}  // namespace
}  // namespace gridtest

// ---------------------------------------------------------------------------------------------
// Style

namespace gridtest {
namespace {

TEST(GridStyleTest, BlendTowardGlass) {
    const ui::TColorRef plain = ui::ColorToRGB(BlendTowardGlass(ui::clWhite, ui::clBlack, false));
    EXPECT_EQ(plain, ui::RGB(186, 186, 186));
    const ui::TColorRef ungray = ui::ColorToRGB(BlendTowardGlass(ui::clWhite, ui::clBlack, true));
    EXPECT_EQ(ungray, ui::RGB(202, 202, 202));
}

class StyleTest : public DBGridTest {
protected:
    TDBGridEhStyle Style;
};

TEST_F(StyleTest, DataCellHighlightByFocusCurrentRowAndOptions) {
    Bind({u"id", u"name", u"born"});
    auto* other = rtl::Create<ui::TEdit>(Form);
    other->SetParent(Form);
    Form->Show();
    ui::Application()->ProcessMessages();
    const int dataRow = Grid->Row() - Grid->TitleRowCount();
    struct Case {
        const char* Name;
        bool Focus, CurrentCol, RowHighlight, RowSelect, AlwaysShow, Selected;
        bool Highlighted;
        ui::TColor Background;  // clNone: lightened, not a plain colour
    } cases[] = {
        {"plain cell", true, false, false, false, false, false, false, ui::clWindow},
        {"selected, focused, current", true, true, false, false, false, true, true, ui::clHighlight},
        {"selected, focused, other", true, false, false, false, false, true, true, ui::clNone},
        {"selected, unfocused", false, true, false, false, false, true, false, ui::clWindow},
        {"selected, unfocused, always shown", false, true, false, false, true, true, true, ui::clBtnShadow},
        {"row highlight, focused", true, false, true, false, false, false, true, ui::clNone},
        {"row highlight, unfocused", false, false, true, false, false, false, false, ui::clWindow},
        {"row select, focused", true, false, false, true, false, false, true, ui::clHighlight},
    };
    for (const Case& c : cases) {
        TDBGridOptions o = Grid->Options() - TDBGridOptions{dgRowSelect, dgAlwaysShowSelection};
        if (c.RowSelect) o.Include(dgRowSelect);
        if (c.AlwaysShow) o.Include(dgAlwaysShowSelection);
        Grid->SetOptions(o);
        TDBGridEhOptions oe = Grid->OptionsEh() - TDBGridEhOptions{dghRowHighlight};
        if (c.RowHighlight) oe.Include(dghRowHighlight);
        Grid->SetOptionsEh(oe);
        if (c.Focus)
            Grid->SetFocus();
        else
            other->SetFocus();
        ASSERT_EQ(Grid->Focused(), c.Focus) << c.Name;
        const int col = c.CurrentCol ? Grid->Col() : Grid->Col() + 1;
        TGridDrawState state;
        if (c.Selected) state.Include(gdSelected);
        ui::TColor bg = ui::clWindow;
        ui::TFont font;
        const bool h =
            Style.GetDataCellHighlight(Grid, col, Grid->Row(), Grid->GridToDataCol(col), dataRow, state, &font, bg);
        EXPECT_EQ(h, c.Highlighted) << c.Name;
        if (c.Background == ui::clNone)
            EXPECT_EQ(bg, BlendTowardGlass(ui::clWindow, ui::clHighlight, true)) << c.Name;
        else
            EXPECT_EQ(bg, c.Background) << c.Name;
    }
}

TEST_F(StyleTest, SelectedIndicatorCellIsDarkGreyOnWhite) {
    Bind({u"id"});
    ui::TColor bg = ui::clBtnFace;
    ui::TFont font;
    EXPECT_FALSE(Style.GetSelectedFixedCellColors(Grid, 0, 1, &font, bg, false, fcaIndicator));
    EXPECT_EQ(bg, ui::clBtnFace);
    EXPECT_TRUE(Style.GetSelectedFixedCellColors(Grid, 0, 1, &font, bg, true, fcaIndicator));
    EXPECT_EQ(bg, 4210752);
    EXPECT_EQ(font.Color(), ui::clWhite);
}

}  // namespace
}  // namespace gridtest

namespace gridtest {
namespace {

TEST_F(RecordsTest, WidthsFromTheDataTakeTheWidestTextAndKeepThePosition) {
    Make(12);
    DS()->MoveBy(4);
    TColumnEh* name = Grid->Columns()->Items(1);
    Grid->FitColumnWidth(name);
    int widest = 0;
    for (int i = 1; i <= 12; ++i)
        widest = std::max(widest, ui::FixedTextExtent(Cyr("Запись ") + std::to_string(i), name->Font()->Data()).cx);
    EXPECT_EQ(name->Width(), widest + 4);
    EXPECT_EQ(DS()->RecNo(), 5);
    // Inactive: titles only, nothing assigned.
    DS()->Close();
    const int before = name->Width();
    Grid->FitColumnWidth(name);
    EXPECT_EQ(name->Width(), before);
}

}  // namespace
}  // namespace gridtest
