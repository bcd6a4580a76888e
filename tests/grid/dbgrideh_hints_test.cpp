// The grid's hints through the application's hint machinery on the driven clock: tool tips of cut
// data cells and titles, the per-cell areas, Ctrl, title hints and the data hint event; and the
// focus messages.
#include <gtest/gtest.h>

#include "framework/rtl/Timers.h"
#include "framework/ui/Forms.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

class GridHintTest : public DBGridTest {
protected:
    // A pause of 0 waits for the timers' shortest interval.
    static constexpr int AtOnce = static_cast<int>(rtl::TTimerService::MinimumInterval);
    void SetUp() override {
        DBGridTest::SetUp();
        Bind({u"id", u"name", u"cid"});
        Col(0)->SetWidth(80);
        Col(1)->SetWidth(24);  // cuts every name
        Col(1)->SetToolTips(true);
        Col(0)->SetToolTips(true);
        Col(1)->Font()->SetName("Liberation Serif");
        Col(2)->Title()->SetCaption(Cyr("Город проживания"));
        Col(2)->SetWidth(30);
        Col(2)->Title()->SetToolTips(true);
        Grid->SetShowHint(true);
        Form->Show();
        Grid->SetFocus();
        Pump();
    }
    ui::THintWindow* Hint() { return ui::Application()->HintWindow(); }
    // Client centre of a grid cell.
    TPoint Centre(int DataCol, int GridRow) {
        const TRect r = Grid->SingleCellRect(Grid->DataToGridCol(DataCol), GridRow);
        return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    // Moves the mouse onto the point and lets the given time pass.
    void HoverAt(TPoint P, int Wait) {
        ui::MouseInput(ui::WM_MOUSEMOVE, Grid->ClientToScreen(P));
        Pump();
        Clock.Advance(Wait);
        Pump();
    }
    void Leave() {
        ui::MouseInput(ui::WM_MOUSEMOVE, Form->ClientToScreen(TPoint{390, 280}));
        Pump();
    }
    int Pause(TPoint P) {
        int pause = -1;
        ui::SetCursorPos(Grid->ClientToScreen(P));
        Grid->Perform(ui::CM_HINTSHOWPAUSE, 0, reinterpret_cast<ui::LPARAM>(&pause));
        return pause;
    }
};

TEST_F(GridHintTest, ACutCellShowsAtOnceInTheCellFontAndEachCellAsksAgain) {
    const int appPause = ui::Application()->HintPause();
    // Pause 0 over columns with tool tips, the application's pause elsewhere.
    EXPECT_EQ(Pause(Centre(1, 1)), 0);
    EXPECT_EQ(Pause(Centre(2, 1)), appPause);
    EXPECT_EQ(Pause(Centre(2, 0)), 0) << "a title with tool tips and no hint";

    HoverAt(Centre(1, 1), AtOnce);
    ASSERT_TRUE(Hint()->Active());
    EXPECT_STREQ(Hint()->ClassName(), "TToolTipsWindow");
    EXPECT_EQ(Hint()->Caption(), Cyr("Анна"));
    EXPECT_EQ(Hint()->Font()->Name(), "Liberation Serif") << "the cell's font";
    EXPECT_EQ(Hint()->Font()->Color(), ui::clWindowText);
    // Left-aligned: the tip covers the cell's text, one pixel left of it, above its top.
    const TRect cell = Grid->SingleCellRect(Grid->DataToGridCol(1), 1);
    EXPECT_EQ(Hint()->Left(), Grid->ClientToScreen(TPoint{cell.Left - 1, 0}).X);

    // The next row's cell of the same column is another area: asked again, with its own text.
    HoverAt(Centre(1, 2), AtOnce);
    ASSERT_TRUE(Hint()->Active());
    EXPECT_EQ(Hint()->Caption(), Cyr("Борис"));

    // A text that fits its cell shows no tip.
    HoverAt(Centre(0, 1), AtOnce);
    EXPECT_FALSE(Hint()->Active());
}

TEST_F(GridHintTest, CtrlSuppressesToolTipsButNotTitleHints) {
    Col(0)->Title()->SetHint(Cyr("Номер записи|Подробно"));
    ui::KeyInput(ui::VK_CONTROL, true);
    Pump();
    HoverAt(Centre(1, 1), AtOnce);
    EXPECT_FALSE(Hint()->Active());
    HoverAt(Centre(0, 0), ui::Application()->HintPause());
    ASSERT_TRUE(Hint()->Active());
    EXPECT_EQ(Hint()->Caption(), Cyr("Номер записи"));
    ui::KeyInput(ui::VK_CONTROL, false);
    Pump();
    Leave();
    // Without Ctrl the cut title shows in full.
    HoverAt(Centre(2, 0), AtOnce);
    ASSERT_TRUE(Hint()->Active());
    EXPECT_EQ(Hint()->Caption(), Cyr("Город проживания"));
}

TEST_F(GridHintTest, AVerticalTitleIsMeasuredAlongTheCellHeight) {
    // Lying in a wide column the caption fits.
    Col(2)->SetWidth(200);
    HoverAt(Centre(2, 0), AtOnce);
    EXPECT_FALSE(Hint()->Active());
    Leave();
    // Standing, a single-line title row is far lower than the caption is long: cut, shown in full.
    Col(2)->Title()->SetOrientation(tohVertical);
    HoverAt(Centre(2, 0), AtOnce);
    ASSERT_TRUE(Hint()->Active());
    EXPECT_EQ(Hint()->Caption(), Cyr("Город проживания"));
    Leave();
    // Multi-level titles take their height from the longest caption, so the vertical caption now
    // fits, also in a column far narrower than the caption is long.
    Col(2)->SetWidth(30);
    Grid->SetUseMultiTitle(true);
    Pump();
    const TRect title = Grid->SingleCellRect(Grid->DataToGridCol(2), 0);
    ASSERT_GT(title.Height(), Grid->Canvas()->TextWidth(Cyr("Город проживания")));
    HoverAt(Centre(2, 0), AtOnce);
    EXPECT_FALSE(Hint()->Active());
}

TEST_F(GridHintTest, CutFooterTextsShowAtOnceInTheFooterFont) {
    Grid->SetFooterRowCount(1);
    Grid->SumList()->SetActive(true);
    Col(0)->Footer()->SetValueType(fvtSum);
    Col(0)->Footer()->SetToolTips(true);
    Col(1)->Footer()->SetValueType(fvtStaticText);
    Col(1)->Footer()->SetValue(Cyr("Итого по всем записям"));
    Col(1)->Footer()->SetToolTips(true);
    Col(1)->Footer()->Font()->SetName("Liberation Serif");
    Col(2)->Footer()->SetValueType(fvtStaticText);
    Col(2)->Footer()->SetValue(Cyr("Без подсказки"));
    Pump();
    const int footer = Grid->RowCount();
    const int appPause = ui::Application()->HintPause();
    struct Case {
        int Column;
        int Pause;
        const char* Tip;  // empty: no tip
    } cases[] = {
        {1, 0, "Итого по всем записям"},  // cut
        {0, 0, ""},                       // "60" fits
        {2, appPause, ""},                // cut, but the footer has no tool tips
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Pause(Centre(c.Column, footer)), c.Pause) << c.Column;
        HoverAt(Centre(c.Column, footer), AtOnce);
        if (*c.Tip) {
            ASSERT_TRUE(Hint()->Active()) << c.Column;
            EXPECT_EQ(Hint()->Caption(), Cyr(c.Tip));
            EXPECT_STREQ(Hint()->ClassName(), "TToolTipsWindow");
            EXPECT_EQ(Hint()->Font()->Name(), "Liberation Serif") << "the footer's font";
        } else {
            EXPECT_FALSE(Hint()->Active()) << c.Column;
        }
        Leave();
    }
}

TEST_F(GridHintTest, TheDataHintEventTakesOverAndSeesItsRecord) {
    Col(0)->SetToolTips(false);
    std::vector<int> seen;
    Grid->OnDataHintShow = [&](rtl::TObject*, TPoint, TGridCoord, TPoint, TColumnEh* Column,
                               TDBGridEhDataHintParams& Params, bool& Processed) {
        if (Column != Col(0)) return;
        seen.push_back(F("id")->AsInteger());
        Params.HintStr = "id " + std::to_string(F("id")->AsInteger());
        Processed = true;
    };
    HoverAt(Centre(0, 3), ui::Application()->HintPause());
    ASSERT_TRUE(Hint()->Active());
    EXPECT_EQ(Hint()->Caption(), "id 30");
    EXPECT_EQ(seen, std::vector<int>{30});
    EXPECT_EQ(F("id")->AsInteger(), 10) << "the active record is back";
    EXPECT_EQ(People.DS->RecNo(), 1);
}

TEST_F(GridHintTest, FocusLostToTheOwnEditorFiresNoPendingSortAndOtherWindowMessages) {
    int notifications = 0;
    Grid->OnSortMarkingChanged = [&](rtl::TObject*) { ++notifications; };
    TDBGridOptions o = Grid->Options();
    o.Include(dgEditing);
    o.Include(dgAlwaysShowEditor);
    Grid->SetOptions(o);
    for (int i = 0; i < 3; ++i) Col(i)->Title()->SetTitleButton(true);
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghAutoSortMarking});
    ui::KeyInput(ui::VK_CONTROL, true);
    Pump();
    const TPoint p = Grid->ClientToScreen(Centre(0, 0));
    ui::MouseInput(ui::WM_LBUTTONDOWN, p);
    ui::MouseInput(ui::WM_LBUTTONUP, p);
    Pump();
    ASSERT_TRUE(Grid->SortCtrlPending());
    Grid->ShowEditor();
    Pump();
    ASSERT_NE(Grid->InplaceEditor(), nullptr);
    Grid->InplaceEditor()->SetFocus();
    Pump();
    EXPECT_EQ(notifications, 0);
    EXPECT_TRUE(Grid->SortCtrlPending());
    ui::KeyInput(ui::VK_CONTROL, false);
    Pump();

    EXPECT_EQ(Grid->Perform(ui::WM_ERASEBKGND, 0, 0), 1);
    // A change of the system colours lets the cached button faces go.
    editors::TButtonBitmapKey key;
    key.Width = key.Height = 16;
    editors::ButtonsBitmapCache().GetBitmap(key);
    ASSERT_GT(editors::ButtonsBitmapCache().Count(), 0);
    Grid->Perform(ui::CM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(editors::ButtonsBitmapCache().Count(), 0);
}

}  // namespace
}  // namespace gridtest
