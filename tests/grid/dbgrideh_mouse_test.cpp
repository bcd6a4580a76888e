// Presses, drags and releases over the data area: check boxes, record, rectangle and column
// selection, the auto-scroll of a drag beyond the rows, traced column sizing, record moving
// and the wait cursor of a text search.
#include <gtest/gtest.h>

#include "controls/grid/DBGridEh_Setup.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

class GridMouseTest : public DBGridTest {
protected:
    void Mouse(ui::UINT Msg, TPoint P) {
        ui::MouseInput(Msg, At(Grid, P.X, P.Y));
        Pump();
    }
    void Press(TPoint P) {
        ui::ResetDoubleClick();
        Mouse(ui::WM_LBUTTONDOWN, P);
    }
    void Click(TPoint P) {
        Press(P);
        Mouse(ui::WM_LBUTTONUP, P);
    }
    TPoint InCell(int GridCol, int DataRow) {
        const TRect r = Grid->SingleCellRect(GridCol, Grid->TitleRowCount() + DataRow);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    void AddPeople(int Count) {
        for (int i = 0; i < Count; ++i) {
            People.DS->Append();
            F("id")->SetAsInteger(100 + i);
            People.DS->Post();
        }
        People.DS->First();
    }
    std::vector<int> SelectedIds() {
        std::vector<int> ids;
        TBookmarkListEh* list = Grid->SelectedRecords();
        const db::TBookmark saved = People.DS->Bookmark();
        for (int i = 0; i < list->Count(); ++i) {
            People.DS->SetBookmark(list->Items(i));
            ids.push_back(F("id")->AsInteger());
        }
        People.DS->SetBookmark(saved);
        return ids;
    }
    std::string Flag() { return F("flag")->IsNull() ? "null" : std::string(F("flag")->AsString()); }
};

TEST_F(GridMouseTest, CheckBoxStepsOnReleaseOrOnlyOnDoubleClick) {
    ShowFocused({u"id", u"flag"});
    Col(1)->SetCheckboxes(true);
    Col(1)->KeyList()->SetCommaText("1,0");
    const TPoint p = InCell(2, 0);
    Mouse(ui::WM_LBUTTONDOWN, p);
    EXPECT_EQ(Flag(), "1");  // nothing on the press
    Mouse(ui::WM_LBUTTONUP, p);
    EXPECT_EQ(Flag(), "0");
    Click(p);
    EXPECT_EQ(Flag(), "1");
    // Released elsewhere: no step.
    ui::ResetDoubleClick();
    Mouse(ui::WM_LBUTTONDOWN, p);
    Mouse(ui::WM_LBUTTONUP, InCell(1, 0));
    EXPECT_EQ(Flag(), "1");

    Col(1)->SetDblClickNextVal(true);
    Click(p);
    EXPECT_EQ(Flag(), "1");
    Mouse(ui::WM_LBUTTONDOWN, p);
    Mouse(ui::WM_LBUTTONUP, p);
    EXPECT_EQ(Flag(), "0");
}

TEST_F(GridMouseTest, IndicatorDragSelectsRecordsAndDataDragSelectsARectangle) {
    ShowFocused({u"id", u"name", u"born"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    Mouse(ui::WM_LBUTTONDOWN, InCell(0, 0));
    EXPECT_EQ(Grid->MouseState(), msRecordSelectingEh);
    Mouse(ui::WM_MOUSEMOVE, InCell(0, 2));
    Mouse(ui::WM_LBUTTONUP, InCell(0, 2));
    EXPECT_EQ(SelectedIds(), (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(Grid->MouseState(), msNoneEh);

    Click(InCell(1, 0));
    EXPECT_TRUE(SelectedIds().empty());
    Press(InCell(1, 0));
    EXPECT_EQ(Grid->MouseState(), msRectSelectingEh);
    Mouse(ui::WM_MOUSEMOVE, InCell(2, 1));
    Mouse(ui::WM_LBUTTONUP, InCell(2, 1));
    EXPECT_EQ(Grid->SelectionType(), gstRectangle);
    TDBGridEhSelectionRect* rect = Grid->Selection()->Rect();
    EXPECT_EQ(rect->LeftCol(), 0);
    EXPECT_EQ(rect->RightCol(), 1);
    EXPECT_EQ(F("id")->AsInteger(), 20);
}

TEST_F(GridMouseTest, ColumnSelectBandShowsTheDownCursorAndSelectsColumns) {
    ShowFocused({u"id", u"name", u"born"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    const TRect title = Grid->SingleCellRect(2, 0);
    const TPoint band{(title.Left + title.Right) / 2, title.Bottom - 2};
    const TPoint above{band.X, title.Bottom - 9};
    auto cursorAt = [&](TPoint P) {
        Mouse(ui::WM_MOUSEMOVE, P);
        return ui::GetCursorShape();
    };
    EXPECT_EQ(cursorAt(band), crDownCurEh);
    EXPECT_NE(cursorAt(above), crDownCurEh);
    EXPECT_EQ(cursorAt(InCell(0, 1)), crRightCurEh);
    cursorAt(band);
    Click(band);
    EXPECT_EQ(Grid->SelectionType(), gstColumns);
    EXPECT_EQ(Grid->Selection()->Columns()->Count(), 1);
    const TRect third = Grid->SingleCellRect(3, 0);
    const TPoint band3{(third.Left + third.Right) / 2, third.Bottom - 2};
    cursorAt(band3);
    ui::KeyInput(ui::VK_SHIFT, true);
    Click(band3);
    ui::KeyInput(ui::VK_SHIFT, false);
    EXPECT_EQ(Grid->Selection()->Columns()->Count(), 2);
}

TEST_F(GridMouseTest, AutoScrollStepsAndIntervalsGrowWithTheDistance) {
    AddPeople(40);
    ShowFocused({u"id", u"name"});
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    struct Case {
        int D;
        int Records;
        int Interval;
    } cases[] = {{5, 0, 125}, {6, 1, 110}, {60, 8, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.D);
        People.DS->First();
        Pump();
        Press(InCell(0, 0));
        const int before = People.DS->RecNo();
        const TRect area = Grid->DataAreaRect();
        Mouse(ui::WM_MOUSEMOVE, TPoint{InCell(1, 0).X, area.Bottom + c.D - 1});
        EXPECT_EQ(People.DS->RecNo() - before, c.Records);
        EXPECT_TRUE(Grid->AutoScrollTimerOn());
        EXPECT_EQ(Grid->AutoScrollInterval(), c.Interval);
        Mouse(ui::WM_LBUTTONUP, InCell(0, 0));
        EXPECT_FALSE(Grid->AutoScrollTimerOn());
    }
    // Held outside, the timer keeps scrolling.
    People.DS->First();
    Pump();
    Press(InCell(0, 0));
    Mouse(ui::WM_MOUSEMOVE, TPoint{InCell(1, 0).X, Grid->DataAreaRect().Bottom + 11});
    const int after = People.DS->RecNo();
    EXPECT_EQ(Grid->AutoScrollInterval(), 20);  // D = 12
    Clock.Advance(20);
    Pump();
    EXPECT_EQ(People.DS->RecNo(), after + 2);
    Mouse(ui::WM_LBUTTONUP, InCell(0, 0));
}

TEST_F(GridMouseTest, TracedColumnSizingSetsTheWidthWhileMoving) {
    ShowFocused({u"id", u"name"});
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghTraceColSizing});
    const TRect r = Grid->SingleCellRect(1, 0);
    const int width = Grid->ColWidths(1);
    Mouse(ui::WM_LBUTTONDOWN, TPoint{r.Right, r.Top + 3});
    Mouse(ui::WM_MOUSEMOVE, TPoint{r.Right + 20, r.Top + 3});
    EXPECT_EQ(Grid->ColWidths(1), width + 20);
    Mouse(ui::WM_MOUSEMOVE, TPoint{r.Left - 50, r.Top + 3});
    EXPECT_EQ(Grid->ColWidths(1), 1);
    Mouse(ui::WM_LBUTTONUP, TPoint{r.Left - 50, r.Top + 3});
    EXPECT_EQ(Grid->GridState(), gsNormal);
}

TEST_F(GridMouseTest, RecordMovingDropsOnTheTargetRecord) {
    ShowFocused({u"id", u"name"});
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghRecordMoving});
    std::vector<std::pair<int, bool>> calls;
    Grid->OnMoveRecords = [&](rtl::TObject*, const std::vector<db::TBookmark>& Bookmarks, int ToRecNo, bool CheckOnly,
                              bool& Result) {
        EXPECT_EQ(Bookmarks.size(), 1u);
        calls.push_back({ToRecNo, CheckOnly});
        Result = true;
    };
    Mouse(ui::WM_LBUTTONDOWN, InCell(0, 0));
    EXPECT_EQ(Grid->MouseState(), msRecordMovingEh);
    Mouse(ui::WM_MOUSEMOVE, InCell(0, 2));
    EXPECT_EQ(Grid->MoveToRow(), Grid->TitleRowCount() + 2);
    Mouse(ui::WM_LBUTTONUP, InCell(0, 2));
    EXPECT_EQ(Grid->MouseState(), msNoneEh);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(3, false));
    EXPECT_TRUE(calls.front().second);
}

TEST_F(GridMouseTest, TextSearchShowsTheHourglassAndRestoresTheCursor) {
    ShowFocused({u"id", u"name"});
    std::vector<ui::TCursor> seen;
    Src->OnDataChange = [&](rtl::TObject*, db::TField*) { seen.push_back(ui::Screen()->Cursor()); };
    ui::Screen()->SetCursor(ui::crDefault);
    EXPECT_TRUE(Grid->LocateText(u"name", Cyr("Борис"), lmtWholeEh, ltdAllEh, {}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), ui::crHourGlass);
    EXPECT_EQ(ui::Screen()->Cursor(), ui::crDefault);
}

}  // namespace
}  // namespace gridtest
