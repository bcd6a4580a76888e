// The grid's style and center as the unit sets them up, the indicator-title menu, external
// scroll bars, multi-level title heights, row sizing, the flat border and scaling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/grid/DBGridEh_Style.h"
#include "framework/ui/Messages.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

class GridCenterTest : public DBGridTest {
protected:
    void Show(std::initializer_list<const char16_t*> Names = {u"id", u"name", u"born"}) {
        Bind(Names);
        Form->Show();
        Pump();
    }
    void TearDown() override {
        ui::TPopupMenu::SetPresenter(nullptr);
        DBGridTest::TearDown();
    }
    // The captions of a menu level, "-" for a line, "[x]" marking a checked item, "(off)" a disabled one.
    static std::vector<std::string> Captions(ui::TMenuItem* Items) {
        std::vector<std::string> r;
        for (int i = 0; i < Items->Count(); ++i) {
            ui::TMenuItem* it = Items->Items(i);
            r.push_back(it->Caption() + (it->Checked() ? "[x]" : "") + (it->Enabled() ? "" : "(off)"));
        }
        return r;
    }
    ui::TPopupMenu* BuildMenu() {
        ui::TPopupMenu* menu = nullptr;
        Grid->DefaultBuildIndicatorTitleMenu(menu);
        return menu;
    }
};

// ---------------------------------------------------------------------------------------------
// Style and center

TEST_F(GridCenterTest, EveryGridJoinsTheUnitsStyleAndCenterAndLeavesThemWhenFreed) {
    TDBGridEhStyle* style = CurrentGridStyle();
    TDBGridEhCenter* center = CurrentGridCenter();
    ASSERT_NE(style, nullptr);
    ASSERT_NE(center, nullptr);
    EXPECT_EQ(Grid->Style(), style);
    EXPECT_EQ(Grid->Center(), center);
    EXPECT_TRUE(style->HasGrid(Grid));
    EXPECT_TRUE(center->HasGrid(Grid));
    Grid->Free();
    EXPECT_FALSE(style->HasGrid(Grid));
    EXPECT_FALSE(center->HasGrid(Grid));
    Grid = nullptr;
}

TEST_F(GridCenterTest, FreeingAStyleOrCenterDetachesItsGridsAndClearsTheCurrentOne) {
    Show();
    TDBGridEhStyle* unitStyle = CurrentGridStyle();
    TDBGridEhCenter* unitCenter = CurrentGridCenter();
    auto* style = rtl::Create<TDBGridEhStyle>();
    auto* center = rtl::Create<TDBGridEhCenter>();
    Grid->SetStyle(style);
    Grid->SetCenter(center);
    EXPECT_FALSE(unitStyle->HasGrid(Grid));
    EXPECT_TRUE(style->HasGrid(Grid));
    SetCurrentGridStyle(style);
    SetCurrentGridCenter(center);
    style->Free();
    center->Free();
    EXPECT_EQ(Grid->Style(), nullptr);
    EXPECT_EQ(Grid->Center(), nullptr);
    EXPECT_EQ(CurrentGridStyle(), nullptr);
    EXPECT_EQ(CurrentGridCenter(), nullptr);
    // Without a style the grid still paints by its own colour rules.
    Grid->Invalidate();
    Pump();
    SetCurrentGridStyle(unitStyle);
    SetCurrentGridCenter(unitCenter);
}

class TCountingStyle : public TDBGridEhStyle {
    RTL_CLASS(TCountingStyle, TDBGridEhStyle)
public:
    void SystemColorsChanged() override {
        TDBGridEhStyle::SystemColorsChanged();
        ++Changes;
        if (Fail) throw rtl::Exception("colours");
    }
    int Changes = 0;
    bool Fail = false;
};

TEST_F(GridCenterTest, TheHiddenWindowRereadsTheColoursOnASystemColourChange) {
    auto* style = rtl::Create<TCountingStyle>();
    const int afterCreate = style->Changes;
    ASSERT_TRUE(ui::IsWindow(style->HiddenWindow()));
    ui::SendMessage(style->HiddenWindow(), ui::WM_SYSCOLORCHANGE);
    EXPECT_EQ(style->Changes, afterCreate + 1);
    EXPECT_EQ(style->ScreenNumColors(), -1);
    ui::SendMessage(style->HiddenWindow(), ui::WM_USER + 1);
    EXPECT_EQ(style->Changes, afterCreate + 1);
    // An error there reaches the application's handler, not the sender.
    style->Fail = true;
    EXPECT_NO_THROW(ui::SendMessage(style->HiddenWindow(), ui::WM_SYSCOLORCHANGE));
    ASSERT_FALSE(ui::Application()->ShownMessages().empty());
    EXPECT_EQ(ui::Application()->ShownMessages().back(), "colours.");
    const ui::HWND wnd = style->HiddenWindow();
    style->Free();
    EXPECT_FALSE(ui::IsWindow(wnd));
}

TEST_F(GridCenterTest, SortingAndFilteringGoThroughTheCenterHooks) {
    Show();
    int sorts = 0, filters = 0;
    CurrentGridCenter()->OnApplySorting = [&](TCustomDBGridEh* G) { sorts += G == Grid; };
    CurrentGridCenter()->OnApplyFilter = [&](TCustomDBGridEh* G) { filters += G == Grid; };
    Grid->DefaultApplySorting();
    Grid->DefaultApplyFilter();
    CurrentGridCenter()->OnApplySorting = nullptr;
    CurrentGridCenter()->OnApplyFilter = nullptr;
    EXPECT_EQ(sorts, 1);
    EXPECT_EQ(filters, 1);
}

// ---------------------------------------------------------------------------------------------
// Indicator-title menu

TEST_F(GridCenterTest, TheGlobalMenuListsTitledColumnsAndTheEditActions) {
    Show();
    Col(1)->Title()->SetCaption("");
    Col(2)->SetVisible(false);
    Grid->SetEditActions({geaCopyEh, geaSelectAllEh});
    ui::TPopupMenu* menu = BuildMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->Name(), "DBGridEhIndicatorTitlePopupMenu");
    EXPECT_EQ(Captions(menu->Items()), (std::vector<std::string>{"Visible columns", "Cut(off)", "Copy(off)",
                                                                 "Paste(off)", "Delete(off)", "Select All"}));
    ui::TMenuItem* columns = menu->Items()->Items(0);
    EXPECT_EQ(Captions(columns), (std::vector<std::string>{"id[x]", "born"}));
    // A column entry toggles its column; select all selects everything.
    columns->Items(1)->Click();
    EXPECT_TRUE(Col(2)->Visible());
    menu->Items()->Items(5)->Click();
    EXPECT_EQ(Grid->SelectionType(), gstAll);
    // Built again, the copy is on now that something is selected; the shared items are reused.
    menu = BuildMenu();
    EXPECT_EQ(Captions(menu->Items())[2], "Copy");
    EXPECT_EQ(Captions(menu->Items()->Items(0)), (std::vector<std::string>{"id[x]", "born[x]"}));
}

TEST_F(GridCenterTest, TheDropdownMenuIsCopiedAfterTheGlobalItems) {
    Show();
    auto* own = rtl::Create<ui::TPopupMenu>(Form);
    int clicks = 0;
    for (const char* c : {"One", "Two", "Three"}) {
        auto* item = rtl::Create<ui::TMenuItem>(nullptr);
        item->SetCaption(c);
        item->OnClick = [&](rtl::TObject*) { ++clicks; };
        own->Items()->Add(item);
    }
    own->Items()->Items(1)->SetEnabled(false);
    Grid->IndicatorTitle()->SetDropdownMenu(own);
    Grid->SetEditActions({geaSelectAllEh});
    struct Case {
        bool Global;
        TDBGridEhIndicatorMenuItems Flags;
        std::vector<std::string> Expected;
    } cases[] = {
        {false, {}, {"One", "Two(off)", "Three"}},
        {true, {gimSelectAllEh}, {"Select All", "-", "One", "Two(off)", "Three"}},
        {true, {}, {"One", "Two(off)", "Three"}},
    };
    for (const Case& c : cases) {
        Grid->IndicatorTitle()->SetUseGlobalMenu(c.Global);
        CurrentGridCenter()->SetIndicatorMenuItems(c.Flags);
        ui::TPopupMenu* menu = BuildMenu();
        EXPECT_EQ(Captions(menu->Items()), c.Expected) << c.Global;
    }
    CurrentGridCenter()->SetIndicatorMenuItems(
        {gimVisibleColumnsEh, gimCutEh, gimCopyEh, gimPasteEh, gimDeleteEh, gimSelectAllEh});
    BuildMenu()->Items()->Find("One")->Click();
    EXPECT_EQ(clicks, 1);
    // The grid lets go of a menu that is freed.
    own->Free();
    EXPECT_EQ(Grid->IndicatorTitle()->DropdownMenu(), nullptr);
}

TEST_F(GridCenterTest, APressOnTheIndicatorTitleOpensTheMenuBelowItOrSelectsAll) {
    Show();
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    Grid->SetEditActions({geaSelectAllEh});
    Grid->SetFocus();
    Pump();
    const TRect title = Grid->SingleCellRect(0, 0);
    auto press = [&] {
        ui::ResetDoubleClick();
        ui::MouseInput(ui::WM_LBUTTONDOWN, At(Grid, title.Left + 2, title.Top + 2));
        ui::MouseInput(ui::WM_LBUTTONUP, At(Grid, title.Left + 2, title.Top + 2));
        Pump();
    };
    // Without a title button: everything selected, then the selection cleared.
    press();
    EXPECT_EQ(Grid->SelectionType(), gstAll);
    press();
    EXPECT_EQ(Grid->SelectionType(), gstNon);

    std::vector<TPoint> shown;
    bool pressedWhileShown = false;
    ui::TPopupMenu::SetPresenter([&](ui::TPopupMenu* Menu, TPoint P) -> ui::TMenuItem* {
        shown.push_back(P);
        pressedWhileShown = Grid->IndicatorTitlePressed();
        return Menu->Items()->Find("Select All");
    });
    Grid->IndicatorTitle()->SetTitleButton(true);
    press();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], Grid->ClientToScreen(TPoint{title.Left, title.Bottom}));
    EXPECT_TRUE(pressedWhileShown);
    EXPECT_FALSE(Grid->IndicatorTitlePressed());
    EXPECT_EQ(Grid->SelectionType(), gstAll);

    // A handler of the grid takes the press instead.
    int handled = 0;
    Grid->OnIndicatorTitleMouseDown = [&](TCustomGridEh*, TGridCoord Cell, ui::TMouseButton, ui::TShiftState, int X,
                                          int Y) {
        ++handled;
        EXPECT_EQ(Cell.X, 0);
        EXPECT_EQ(X, 2);
        EXPECT_EQ(Y, 2);
    };
    press();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(shown.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// External scroll bars

TEST_F(GridCenterTest, AnExternalVerticalBarShowsTheRecordsAndScrollsTheDataset) {
    Show();
    auto* bar = rtl::Create<ui::TScrollBar>(Form);
    bar->SetKind(ui::TScrollBarKind::sbVertical);
    bar->SetBounds(320, 10, 17, 150);
    bar->SetParent(Form);
    Grid->VertScrollBar()->SetExtScrollBar(bar);
    Pump();
    // Sequenced: 1..count + page - 1 with the record number; the window's own bar stays hidden.
    const int page = Grid->VisibleDataRowCount();
    EXPECT_EQ(bar->Min(), 1);
    EXPECT_EQ(bar->Max(), 3 + page - 1);
    EXPECT_EQ(bar->PageSize(), page);
    EXPECT_EQ(bar->Position(), 1);
    EXPECT_FALSE(Grid->ScrollBarVisible(ui::SB_VERT));
    EXPECT_TRUE(Grid->VertScrollBar()->IsShowing());
    bar->Scroll(ui::TScrollCode::scBottom);
    Pump();
    EXPECT_EQ(People.DS->RecNo(), 3);
    EXPECT_EQ(bar->Position(), 3);
    bar->Perform(ui::CN_VSCROLL, ui::SB_TOP, 0);
    EXPECT_EQ(People.DS->RecNo(), 1);
    // Hidden with the settings.
    Grid->VertScrollBar()->SetVisible(false);
    EXPECT_FALSE(bar->Visible());
    EXPECT_FALSE(Grid->VertScrollBar()->IsShowing());

    // A second grid cannot take the same bar; the first keeps it.
    auto* other = rtl::Create<TDBGridEh>(Form);
    other->SetParent(Form);
    bar->SetName("Bar");
    try {
        other->VertScrollBar()->SetExtScrollBar(bar);
        FAIL() << "attached twice";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Possible Bar already attached to the other control.");
    }
    EXPECT_EQ(other->VertScrollBar()->ExtScrollBar(), nullptr);
    EXPECT_EQ(Grid->VertScrollBar()->ExtScrollBar(), bar);
    // Freed, the bar leaves the grid.
    bar->Free();
    EXPECT_EQ(Grid->VertScrollBar()->ExtScrollBar(), nullptr);
}

TEST_F(GridCenterTest, AnExternalHorizontalBarFollowsTheLeftColumnOnA127Scale) {
    Show({u"id", u"name", u"born", u"cid", u"flag", u"city"});
    for (int i = 0; i < Grid->Columns()->Count(); ++i) Col(i)->SetWidth(90);
    auto* bar = rtl::Create<ui::TScrollBar>(Form);
    bar->SetParent(Form);
    Grid->HorzScrollBar()->SetExtScrollBar(bar);
    Grid->UpdateExtHorzScrollBar();
    EXPECT_EQ(bar->Min(), 0);
    EXPECT_EQ(bar->Max(), 127);
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_GT(bar->PageSize(), 0);
    bar->Scroll(ui::TScrollCode::scBottom);
    Pump();
    EXPECT_GT(Grid->LeftCol(), Grid->FixedCols());
    EXPECT_EQ(bar->Position(), 127);
    // With every column in view there is nothing to scroll.
    for (int i = 0; i < Grid->Columns()->Count(); ++i) Col(i)->SetWidth(20);
    Grid->UpdateExtHorzScrollBar();
    EXPECT_EQ(bar->Max(), 0);
}

// ---------------------------------------------------------------------------------------------
// Layout

TEST_F(GridCenterTest, MultiLevelTitlesTakeTheHeightOfTheirLevels) {
    Show({u"id", u"name", u"born"});
    const int line = MeasureMetrics(Grid, Grid->TitleFont()).tmHeight;
    const int margin = Grid->VTitleMargin();
    Col(0)->Title()->SetCaption("Person|Id");
    Col(1)->Title()->SetCaption("Person|Name");
    Col(2)->Title()->SetCaption("Born");
    Grid->SetUseMultiTitle(true);
    // Two levels of one line each over id and name; "Born" spans both.
    EXPECT_EQ(Grid->TitleRowHeight(), 2 * (line + margin) - 1);
    THeadTreeNode* root = Grid->TitleRoot();
    THeadTreeNode* group = root->FirstChild;
    ASSERT_NE(group->FirstChild, nullptr);
    EXPECT_EQ(group->CellHeight, line + margin);
    EXPECT_EQ(group->FirstChild->CellHeight, line + margin);
    EXPECT_EQ(Grid->LeafFieldArr()[2]->CellHeight, 2 * (line + margin));
    // A caption wider than its column wraps onto more lines.
    Col(2)->SetWidth(30);
    Col(2)->Title()->SetCaption("Born on the day of");
    const int wrapped = Grid->TitleRowHeight();
    EXPECT_GT(wrapped, 2 * (line + margin) - 1);
    EXPECT_EQ((wrapped + 1 - margin) % line, 0);
    // Without dghFixed3D three pixels come off instead of one.
    Grid->SetOptionsEh(Grid->OptionsEh() - TDBGridEhOptions{dghFixed3D});
    EXPECT_EQ(Grid->TitleRowHeight(), wrapped - 2);
}

TEST_F(GridCenterTest, SizingADataRowSetsTheHeightOfEveryDataRow) {
    Show();
    Grid->SetRowSizingAllowed(true);
    Grid->SetFocus();
    Pump();
    const int before = Grid->DefaultDataRowHeight();
    // Rows are sized on the indicator column.
    const TRect r = Grid->SingleCellRect(0, Grid->TitleRowCount());
    ui::ResetDoubleClick();
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(Grid, r.Left + 3, r.Bottom));
    ui::MouseInput(ui::WM_MOUSEMOVE, At(Grid, r.Left + 3, r.Bottom + 10));
    ui::MouseInput(ui::WM_LBUTTONUP, At(Grid, r.Left + 3, r.Bottom + 10));
    Pump();
    EXPECT_EQ(Grid->RowLines(), 0);
    EXPECT_GT(Grid->RowHeight(), before);
    EXPECT_EQ(Grid->DefaultDataRowHeight(), Grid->RowHeight());
    for (int row = Grid->TitleRowCount(); row < Grid->RowCount(); ++row)
        EXPECT_EQ(Grid->RowHeights(row), Grid->RowHeight()) << row;
}

TEST_F(GridCenterTest, AFlatGridDrawsItsOwnOnePixelBorder) {
    Show();
    struct Case {
        bool Flat, Ctl3D;
        ui::TBorderStyle Border;
        int BorderWidth, ClientInset;
    } cases[] = {
        {true, true, ui::TBorderStyle::bsSingle, 1, 1},
        {true, true, ui::TBorderStyle::bsNone, 0, 0},
        {false, true, ui::TBorderStyle::bsSingle, 0, 2},
        {true, false, ui::TBorderStyle::bsSingle, 0, 1},
    };
    for (const Case& c : cases) {
        Grid->SetFlat(c.Flat);
        Grid->SetCtl3D(c.Ctl3D);
        Grid->SetBorderStyle(c.Border);
        Pump();
        EXPECT_EQ(Grid->BorderWidth(), c.BorderWidth) << c.Flat << c.Ctl3D;
        EXPECT_EQ(Grid->ClientWidth(),
                  Grid->Width() - 2 * c.ClientInset - (Grid->ScrollBarVisible(ui::SB_VERT) ? 17 : 0))
            << c.Flat << c.Ctl3D;
        EXPECT_TRUE(Grid->WindowParams().Style & ui::WS_CLIPCHILDREN);
    }
    // The cell text margin follows Flat.
    Grid->SetFlat(false);
    const int deep = Grid->TitleRowHeight();
    Grid->SetFlat(true);
    EXPECT_EQ(Grid->TitleRowHeight(), deep - 2);
}

TEST_F(GridCenterTest, ScalingKeepsTheSumOfTheColumnWidths) {
    Show();
    Col(0)->SetWidth(33);
    Col(1)->SetWidth(33);
    Col(2)->SetWidth(34);
    Col(1)->Font()->SetSize(10);
    Grid->SetParentFont(false);
    Grid->TitleFont()->SetSize(8);
    Grid->Font()->SetSize(8);
    Grid->ChangeScale(3, 2);
    // Running sums 33, 66, 100 scale to 50, 99, 150.
    EXPECT_EQ(Col(0)->Width(), 50);
    EXPECT_EQ(Col(1)->Width(), 49);
    EXPECT_EQ(Col(2)->Width(), 51);
    EXPECT_EQ(Col(1)->Font()->Size(), 15);
    EXPECT_EQ(Grid->TitleFont()->Size(), 12);
    EXPECT_EQ(Grid->Font()->Size(), 12);
    Grid->ChangeScale(2, 2);
    EXPECT_EQ(Col(0)->Width(), 50);
}

TEST_F(GridCenterTest, WidthOptimisationMakesRoomForTheFooters) {
    Show({u"id"});
    Grid->SetFooterRowCount(1);
    const AnsiString total = "Total of everything here";
    Grid->OnGetFooterParams = [&](rtl::TObject*, int, int, TColumnEh*, ui::TFont*, ui::TColor&, TAlignment&,
                                  TGridDrawState, AnsiString& Text) { Text = total; };
    Grid->FitColumnWidth(Col(0));
    EXPECT_EQ(Col(0)->Width(), MeasureText(Grid, Grid->FooterFont(), total).cx + 5);
}


TEST_F(GridCenterTest, TheIndicatorTitleIsDrawnPressedWhileItsMenuIsOpen) {
    Show();
    auto* surface = static_cast<ui::TRecordingSurface*>(Form->Surface());
    TRect cell = Grid->SingleCellRect(0, 0);
    const TPoint o = Grid->ClientToParent(TPoint{0, 0}, Form);
    cell.Offset(o.X, o.Y);
    // What is drawn inside the title cell, and where the drop-down sign starts.
    struct TLook {
        std::vector<std::string> Ops;
        TPoint Sign{-1, -1};
    };
    auto look = [&] {
        surface->Clear();
        Grid->Invalidate();
        Grid->UpdateWindow();
        TLook l;
        for (const ui::TDrawRecord& r : surface->Records()) {
            const TRect& b = r.Rect;
            const bool inCell =
                b.Left >= cell.Left && b.Right <= cell.Right && b.Top >= cell.Top && b.Bottom <= cell.Bottom;
            if (!inCell && r.Points.empty()) continue;
            if (!r.Points.empty() && !(r.Points[0].X >= cell.Left && r.Points[0].X <= cell.Right &&
                                       r.Points[0].Y >= cell.Top && r.Points[0].Y <= cell.Bottom))
                continue;
            l.Ops.push_back(std::to_string(static_cast<int>(r.Op)) + ":" + std::to_string(b.Left) + "," +
                            std::to_string(b.Top) + ":" + std::to_string(r.Brush.Color) + ":" +
                            std::to_string(r.Pen.Color));
            // The sign's bottom row is drawn in the dark shadow colour, which the frame does not use.
            if (r.Op == ui::TDrawOp::PolyPolyline &&
                static_cast<ui::TColorRef>(r.Pen.Color) == ui::ColorToRGB(ui::cl3DDkShadow))
                for (const TPoint& p : r.Points)
                    if (l.Sign.X < 0 || p.Y < l.Sign.Y || (p.Y == l.Sign.Y && p.X < l.Sign.X)) l.Sign = p;
        }
        return l;
    };
    Grid->IndicatorTitle()->SetShowDropDownSign(true);
    Grid->IndicatorTitle()->SetTitleButton(true);
    const TLook up = look();
    ASSERT_GE(up.Sign.X, 0) << "the drop-down sign is drawn";
    TLook down;
    ui::TPopupMenu::SetPresenter([&](ui::TPopupMenu*, TPoint) -> ui::TMenuItem* {
        down = look();
        return nullptr;
    });
    const TRect title = Grid->SingleCellRect(0, 0);
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(Grid, title.Left + 2, title.Top + 2));
    ui::MouseInput(ui::WM_LBUTTONUP, At(Grid, title.Left + 2, title.Top + 2));
    Pump();
    EXPECT_NE(down.Ops, up.Ops) << "pressed looks different";
    // The sign's box loses two pixels at its top and left: the centred sign moves by one.
    EXPECT_EQ(down.Sign.X, up.Sign.X + 1);
    EXPECT_EQ(down.Sign.Y, up.Sign.Y + 1);
    EXPECT_EQ(look().Ops, up.Ops) << "released looks as before";
}

}  // namespace
}  // namespace gridtest
