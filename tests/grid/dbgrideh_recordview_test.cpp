// Record-view mode over a small dataset that offers IMemTableEh: one grid row per record, rows
// that follow the view's change notices, row scrolling by the bar and the wheel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

// A memory dataset whose records form the view, in record-number order.
class TViewDataSet : public store::TMemDataSet, public editors::IMemTableEh, public IRecordViewFetchEh {
    RTL_CLASS(TViewDataSet, store::TMemDataSet)
public:
    // With Loaded set the view holds that many records and loads more as the grid asks.
    int FetchRecords(int N) override {
        if (Loaded < 0) return 0;
        Requests.push_back(N);
        const int added = std::min(N, RecordCount() - Loaded);
        for (int i = 0; i < added; ++i) {
            Count = ++Loaded;
            if (Listener) Listener->RecordViewChanged(Loaded - 1, rvcInsertedEh, -1);
        }
        return added;
    }
    int Loaded = -1;
    std::vector<int> Requests;

    using TMemDataSet::TMemDataSet;

    void ScrollToRowPosition(int) override {}
    int ViewActiveRecord() override { return Active >= 0 ? Active : RecNo() - 1; }
    int ViewReserved() override { return 0; }
    int CurrentNodeExpanded() override { return 0; }
    bool CurrentNodeHasChildren() override { return false; }
    int CurrentNodeLevel() override { return 0; }
    int CurrentNodeIndex() override { return 0; }
    int RowLinesLevelLimit() override { return -1; }
    int ViewCurrentRecord() override { return RecNo() - 1; }
    int RowToRecordIndex(int Row) override { return Row; }
    int ViewRecordCount() override { return Count >= 0 ? Count : RecordCount(); }
    bool TreeViewMode() override { return Tree; }
    bool LevelHasNextSibling(int) override { return false; }
    void RestoreCurrentRecord(int) override {}
    int ToggleNode(int, bool) override { return -1; }
    editors::IMemTableDataFieldValueListEh* FieldValueList(const WideString&) override { return nullptr; }
    int SearchText(const WideString&, int, bool, int) override { return -1; }
    void SetViewActiveRecord(int Record) override {
        Saved.push_back(Active);
        Active = Record;
        Switched.push_back(Record);
    }
    rtl::TObject* RestoreViewActiveRecord() override {
        Active = Saved.back();
        Saved.pop_back();
        return nullptr;
    }
    void RegisterGrid(rtl::TComponent* Grid) override { Listener = dynamic_cast<IRecordViewListenerEh*>(Grid); }
    void UnregisterGrid(rtl::TComponent* Grid) override {
        if (Listener == dynamic_cast<IRecordViewListenerEh*>(Grid)) Listener = nullptr;
        ++Unregistered;
    }

    // While the view's active record is switched, fields read that record (from Shadow, a second
    // dataset over the same rows), as a view's own record buffer would give it.
    bool GetFieldValue(db::TField* Field, void* Dest) override {
        if (Active < 0 || !Shadow) return TMemDataSet::GetFieldValue(Field, Dest);
        Shadow->SetRecNo(Active + 1);
        return Shadow->GetFieldValue(Shadow->FieldByNumber(Field->FieldNo()), Dest);
    }

    store::TMemDataSet* Shadow = nullptr;
    bool Tree = false;
    IRecordViewListenerEh* Listener = nullptr;
    int Active = -1;
    int Count = -1;  // the view's own count when set
    std::vector<int> Saved, Switched;
    int Unregistered = 0;
};

class RecordViewTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        std::vector<std::vector<Variant>> rows;
        for (int i = 1; i <= 40; ++i) rows.push_back({Variant(i), Variant(Cyr("Опись ") + std::to_string(i))});
        const std::vector<memdstest::TCol> cols = {{u"id", store::mdtInt32, 4}, {u"name", store::mdtString, 31, 30}};
        View = rtl::Create<TViewDataSet>(nullptr);
        View->SetIRecordSet(std::unique_ptr<store::TData>(new memdstest::TRowStore(cols, rows)));
        View->Open();
        Shadow.reset(rtl::Create<store::TMemDataSet>(nullptr));
        Shadow->SetIRecordSet(std::unique_ptr<store::TData>(new memdstest::TRowStore(cols, rows)));
        Shadow->Open();
        View->Shadow = Shadow.get();
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(View);
        Grid = rtl::Create<TDBGridEh>(Form);
        Grid->SetBounds(0, 0, 300, 200);
        Grid->SetParent(Form);
        for (const char16_t* n : {u"id", u"name"}) Grid->Columns()->Add()->SetFieldName(n);
        Grid->SetDataSource(Src);
        Form->Show();
        Pump();
        Grid->SetFocus();
        Pump();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        if (View) View->Free();
        UiTest::TearDown();
    }
    int DataRows() { return Grid->RowCount() - Grid->TitleRowCount(); }
    int CurrentDataRow() { return Grid->Row() - Grid->TitleRowCount(); }
    void Wheel(bool Down, std::initializer_list<int> Mods) {
        for (int m : Mods) ui::KeyInput(static_cast<uint16_t>(m), true);
        ui::MouseWheelInput(Down ? -120 : 120, At(Grid, 50, 50));
        Pump();
        for (int m : Mods) ui::KeyInput(static_cast<uint16_t>(m), false);
        Pump();
    }

    TViewDataSet* View = nullptr;
    rtl::TOwnedPtr<store::TMemDataSet> Shadow;
    db::TDataSource* Src = nullptr;
    TDBGridEh* Grid = nullptr;
};

TEST_F(RecordViewTest, EveryRecordGetsARowAndTheCurrentRowFollowsTheView) {
    ASSERT_TRUE(Grid->RecordViewMode());
    EXPECT_EQ(View->Listener, static_cast<IRecordViewListenerEh*>(Grid));
    EXPECT_EQ(DataRows(), 40);
    View->MoveBy(25);
    Pump();
    EXPECT_EQ(CurrentDataRow(), 25);
    EXPECT_EQ(Grid->RecNoOfDataRow(7), 8);
    // Row heights read other rows through the view and put its record back.
    View->Switched.clear();
    Grid->UpdateDataRowHeight(7);
    EXPECT_EQ(View->Switched, std::vector<int>{7});
    EXPECT_TRUE(View->Saved.empty());
    EXPECT_EQ(View->Active, -1);
    // Closing leaves record-view mode.
    View->Close();
    EXPECT_FALSE(Grid->RecordViewMode());
    EXPECT_EQ(View->Unregistered, 1);
    EXPECT_EQ(View->Listener, nullptr);
}

TEST_F(RecordViewTest, RowsFollowTheViewsChangeNotices) {
    const int t = Grid->TitleRowCount();
    const int h = Grid->DefaultDataRowHeight();
    Grid->OnGetRowHeight = [&](rtl::TObject*, int& Height) {
        if (View->ViewActiveRecord() == 3) Height = 3 * h;
    };
    struct Case {
        const char* Name;
        TRecordViewChangeEh Change;
        int Record, Other, Count, Rows, TallRow;
    } cases[] = {
        {"changed", rvcChangedEh, 3, -1, 40, 40, 3}, {"inserted above", rvcInsertedEh, 1, -1, 41, 41, 4},
        {"moved", rvcMovedEh, 0, 4, 41, 41, 0},      {"deleted", rvcDeletedEh, 0, -1, 40, 40, -1},
        {"reset", rvcResetEh, -1, -1, 12, 12, 3},    {"reset to nothing", rvcResetEh, -1, -1, 0, 1, -1},
    };
    for (const Case& c : cases) {
        View->Count = c.Count;
        Grid->RecordViewChanged(c.Record, c.Change, c.Other);
        EXPECT_EQ(DataRows(), c.Rows) << c.Name;
        for (int r = 0; r < DataRows() && c.Count > 0; ++r)
            EXPECT_EQ(Grid->RowHeights(r + t), r == c.TallRow ? 3 * h : h) << c.Name << " row " << r;
    }
}

TEST_F(RecordViewTest, TheBarScrollsRowsWithoutMovingTheRecord) {
    const int t = Grid->TitleRowCount();
    TVertScrollValuesEh v = Grid->VertScrollValues();
    EXPECT_EQ(v.Min, 1);
    EXPECT_EQ(v.Max, 40);
    EXPECT_EQ(v.Pos, 1);
    const int page = v.Page;
    ASSERT_GT(page, 1);
    struct Case {
        uint16_t Code;
        int16_t Pos;
        int Top;
    } cases[] = {
        {ui::SB_LINEDOWN, 0, t + 1},       {ui::SB_PAGEDOWN, 0, t + 1 + page},
        {ui::SB_LINEUP, 0, t + page},      {ui::SB_TOP, 0, t},
        {ui::SB_BOTTOM, 0, t + 40 - page}, {ui::SB_THUMBPOSITION, 5, t + 4},
        {ui::SB_THUMBTRACK, 9, t + 4},
    };
    for (const auto& c : cases) {
        ui::TMessage m(ui::WM_VSCROLL, 0, 0);
        m.WParamLo = c.Code;
        m.WParamHiS = c.Pos;
        Grid->Perform(ui::WM_VSCROLL, m.WParam, 0);
        EXPECT_EQ(Grid->TopRow(), c.Top) << c.Code;
        EXPECT_EQ(Grid->VertScrollValues().Pos, c.Top - t + 1) << c.Code;
    }
    EXPECT_EQ(View->RecNo(), 1);
    // With Tracking the rows follow the thumb.
    Grid->VertScrollBar()->SetTracking(true);
    ui::TMessage m(ui::WM_VSCROLL, 0, 0);
    m.WParamLo = ui::SB_THUMBTRACK;
    m.WParamHiS = 9;
    Grid->Perform(ui::WM_VSCROLL, m.WParam, 0);
    EXPECT_EQ(Grid->TopRow(), t + 8);
}

TEST_F(RecordViewTest, TheWheelScrollsRowsOrMovesTheRecordByItsModifiers) {
    const int t = Grid->TitleRowCount();
    const int page = Grid->VertScrollValues().Page;
    const int shown = Grid->VisibleDataRowCount();
    struct Case {
        const char* Name;
        bool Down;
        std::vector<int> Mods;
        int Top, RecNo;
    } cases[] = {
        {"plain down", true, {}, t + 1, 1},
        {"ctrl down", true, {ui::VK_CONTROL}, t + 1 + page, 1},
        {"plain up", false, {}, t + page, 1},
        {"shift down", true, {ui::VK_SHIFT}, -1, 2},
        {"ctrl+shift down", true, {ui::VK_CONTROL, ui::VK_SHIFT}, -1, 2 + shown},
        {"shift up", false, {ui::VK_SHIFT}, -1, 1 + shown},
        {"ctrl+shift up", false, {ui::VK_CONTROL, ui::VK_SHIFT}, -1, 1},
    };
    for (const Case& c : cases) {
        for (int m : c.Mods) ui::KeyInput(static_cast<uint16_t>(m), true);
        ui::MouseWheelInput(c.Down ? -120 : 120, At(Grid, 50, 50));
        Pump();
        for (int m : c.Mods) ui::KeyInput(static_cast<uint16_t>(m), false);
        Pump();
        if (c.Top >= 0) {
            EXPECT_EQ(Grid->TopRow(), c.Top) << c.Name;
        }
        EXPECT_EQ(View->RecNo(), c.RecNo) << c.Name;
    }
    // A handler may take the wheel.
    Grid->OnMouseWheelDown = [](rtl::TObject*, ui::TShiftState, TPoint, bool& Handled) { Handled = true; };
    const int top = Grid->TopRow();
    Wheel(true, {});
    EXPECT_EQ(Grid->TopRow(), top);
}

TEST_F(RecordViewTest, PaintingReadsEveryRowThroughTheView) {
    auto* surface = static_cast<ui::TRecordingSurface*>(Form->Surface());
    const int t = Grid->TitleRowCount();
    const int linkRecord = Grid->DataLink()->ActiveRecord();
    const int64_t linkSwitches = Grid->RecordSwitchCount();
    auto idShownIn = [&](int Row) {
        TRect cell = Grid->SingleCellRect(Grid->IndicatorColCount(), Row);
        const ui::TPoint o = Grid->ClientToParent(ui::TPoint{0, 0}, Form);
        cell.Offset(o.X, o.Y);
        for (const ui::TDrawRecord* r : surface->OfKind(ui::TDrawOp::Text))
            if (!r->Text.empty() && r->Rect.Left >= cell.Left - 1 && r->Rect.Right <= cell.Right + 1 &&
                r->Rect.Top >= cell.Top - 1 && r->Rect.Bottom <= cell.Bottom + 1)
                return r->Text;
        return std::string();
    };
    for (const int top : {t, t + 7}) {
        Grid->SetTopRow(top);
        surface->Clear();
        Grid->Invalidate();
        Grid->UpdateWindow();
        const int shown = Grid->VisibleDataRowCount();
        ASSERT_GT(shown, 3);
        for (int r = top; r < top + shown; ++r) EXPECT_EQ(idShownIn(r), std::to_string(r - t + 1)) << "row " << r;
    }
    EXPECT_FALSE(View->Switched.empty());
    EXPECT_TRUE(View->Saved.empty()) << "every switch is put back";
    EXPECT_EQ(View->Active, -1);
    EXPECT_EQ(Grid->DataLink()->ActiveRecord(), linkRecord) << "the data link's window is left alone";
    EXPECT_EQ(Grid->RecordSwitchCount(), linkSwitches);
}

TEST_F(RecordViewTest, AViewThatLoadsOnDemandIsAskedForTheRowsTheWindowShows) {
    const int t = Grid->TitleRowCount();
    View->Count = View->Loaded = 3;
    View->Close();
    View->Open();
    Pump();
    ASSERT_TRUE(Grid->RecordViewMode());
    ASSERT_FALSE(View->Requests.empty());
    EXPECT_EQ(DataRows(), View->Loaded);
    // The loaded rows reach the bottom edge, and no more than a row past it.
    const int shown = Grid->VisibleDataRowCount();
    EXPECT_GT(DataRows(), shown);
    EXPECT_LE(DataRows(), shown + 2);
    EXPECT_LT(View->Loaded, 40);

    // Scrolling one row shows the next and loads it.
    const int before = View->Loaded;
    Grid->Perform(ui::WM_VSCROLL, ui::SB_LINEDOWN, 0);
    EXPECT_EQ(Grid->TopRow(), t + 1);
    EXPECT_GT(View->Loaded, before);
    EXPECT_EQ(DataRows(), View->Loaded);

    // Ctrl and the wheel: the page below is loaded before the rows scroll to it.
    const int top = Grid->TopRow();
    Wheel(true, {ui::VK_CONTROL});
    EXPECT_EQ(Grid->TopRow(), top + shown);
    EXPECT_GE(DataRows(), Grid->TopRow() - t + shown);

    // At the end of the view the requests stop.
    for (int i = 0; i < 40; ++i) Grid->Perform(ui::WM_VSCROLL, ui::SB_PAGEDOWN, 0);
    EXPECT_EQ(View->Loaded, 40);
    EXPECT_EQ(DataRows(), 40);
    const size_t asked = View->Requests.size();
    Grid->Perform(ui::WM_VSCROLL, ui::SB_BOTTOM, 0);
    EXPECT_LE(View->Requests.size(), asked + 1) << "a view with nothing more is asked at most once";
}

TEST_F(RecordViewTest, InTreeModeTheRowsFollowTheViewsCountAndKeepTheDefaultHeight) {
    const int t = Grid->TitleRowCount();
    const int h = Grid->DefaultDataRowHeight();
    int asked = 0;
    Grid->OnGetRowHeight = [&](rtl::TObject*, int& Height) {
        ++asked;
        Height = 3 * h;
    };
    View->Tree = true;
    View->Count = 12;
    // A tree's nodes open and close: its single-record notices are not followed.
    Grid->RecordViewChanged(3, rvcDeletedEh, -1);
    Grid->RecordViewChanged(-1, rvcResetEh, -1);
    EXPECT_EQ(DataRows(), 40);
    // The row count follows the view's count when the data changes.
    View->DisableControls();
    View->Next();
    View->EnableControls();
    Pump();
    EXPECT_EQ(DataRows(), 12);
    EXPECT_EQ(CurrentDataRow(), View->ViewCurrentRecord());
    Grid->UpdateAllRowHeights();
    EXPECT_EQ(asked, 0) << "tree rows are not measured one by one";
    for (int r = 0; r < DataRows(); ++r) EXPECT_EQ(Grid->RowHeights(t + r), h) << r;
    // An empty tree keeps one blank row.
    View->Count = 0;
    View->DisableControls();
    View->Prior();
    View->EnableControls();
    Pump();
    EXPECT_EQ(DataRows(), 1);
}

}  // namespace
}  // namespace gridtest
