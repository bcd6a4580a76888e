// Painting of the data grid on the recording surface: a grid set up like the application's
// journals (Flat, dghFixed3D, themes, two-level captions, a sort marker, a key-list column, a
// check box, row colours from OnGetCellParams), the sort-marker area, data-cell colours, the
// record switch and its failure path, pictures that do not decode, and hint texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "framework/rtl/Streams.h"
#include "framework/ui/Themes.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

using ui::TDrawOp;
using ui::TDrawRecord;

class GridPaintTest : public DBGridTest {
protected:
    void SetUp() override {
        DBGridTest::SetUp();
        ui::ThemeServices().SetThemesEnabled(true);
    }
    void TearDown() override {
        ui::ThemeServices().SetThemesEnabled(true);
        DBGridTest::TearDown();
    }
    ui::TRecordingSurface* Surface() { return static_cast<ui::TRecordingSurface*>(Form->Surface()); }
    // The grid shows Rows data rows of the link's window.
    void ShowRows(int Rows) {
        Grid->DataLink()->SetBufferCount(Rows);
        Grid->SetRowCount(Grid->TitleRowCount() + Rows);
        Form->Show();
        Pump();
    }
    void PaintAll() {
        Surface()->Clear();
        Grid->Invalidate();
        Pump();
        Grid->UpdateWindow();
    }
    ui::TPoint Origin() { return Grid->ClientToParent(ui::TPoint{0, 0}, Form); }
    TRect CellRect(int C, int R) {
        TRect r = Grid->SingleCellRect(C, R);
        const ui::TPoint o = Origin();
        return TRect{r.Left + o.X, r.Top + o.Y, r.Right + o.X, r.Bottom + o.Y};
    }
    static bool Inside(const TRect& Inner, const TRect& Outer) {
        return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right &&
               Inner.Bottom <= Outer.Bottom && Inner.Right > Inner.Left && Inner.Bottom > Inner.Top;
    }
    // Texts drawn inside a cell, in order.
    std::vector<const TDrawRecord*> TextsIn(int C, int R) {
        std::vector<const TDrawRecord*> out;
        const TRect cell = CellRect(C, R);
        for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::Text))
            if (r->Rect.Left >= cell.Left - 1 && r->Rect.Right <= cell.Right + 1 && r->Rect.Top >= cell.Top - 1 &&
                r->Rect.Bottom <= cell.Bottom + 1 && !r->Text.empty())
                out.push_back(r);
        return out;
    }
    std::string TextIn(int C, int R) {
        auto t = TextsIn(C, R);
        return t.empty() ? std::string() : t.front()->Text;
    }
    // Colours of the fills covering most of a cell.
    std::vector<ui::TColor> FillsOf(int C, int R) {
        std::vector<ui::TColor> out;
        const TRect cell = CellRect(C, R);
        for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::FillRect))
            if (Inside(r->Rect, cell) && r->Rect.Width() * 2 > cell.Width()) out.push_back(r->Brush.Color);
        return out;
    }
    static ui::TColor Rgb(ui::TColor C) { return ui::TColor(ui::ColorToRGB(C)); }
};

// The journal look: persistent columns id, name (two-level caption), born under the same group,
// cid shown through a key list, flag as a check box; rows coloured by the handler.
class JournalPaint : public GridPaintTest {
protected:
    void SetUp() override {
        GridPaintTest::SetUp();
        Grid->SetFlat(true);
        TDBGridEhOptions eh = Grid->OptionsEh();
        eh.Include(dghFixed3D);
        Grid->SetOptionsEh(eh);
        Bind({u"id", u"name", u"born", u"cid", u"flag"});
        Col(0)->Title()->SetCaption("N");
        Col(1)->Title()->SetCaption(Cyr("ЭПМК|Имя"));
        Col(2)->Title()->SetCaption(Cyr("ЭПМК|Дата прот."));
        Col(3)->Title()->SetCaption(Cyr("Город"));
        Col(3)->KeyList()->SetText("1\n2");
        Col(3)->PickList()->SetText(Cyr("Тула\nОрёл"));
        Col(4)->Title()->SetCaption("F");
        Col(4)->SetCheckboxes(true);
        Col(4)->KeyList()->SetText("1\n0");
        Col(1)->Title()->SetSortMarker(smDownEh);
        Grid->OnGetCellParams = [this](rtl::TObject*, TColumnEh*, ui::TFont*, ui::TColor& Background, TGridDrawState) {
            ++Calls;
            if (F("id")->AsInteger() == 20) Background = ui::clYellow;
        };
        Form->SetBounds(0, 0, 800, 400);
        Grid->SetBounds(10, 10, 700, 200);
        for (int i = 0; i < 5; ++i) Col(i)->SetWidth(std::vector<int>{60, 120, 120, 80, 40}[i]);
        Grid->SetRowHeights(0, 40);
        Grid->SetUseMultiTitle(true);
        Grid->RebuildLayout();
        ShowRows(4);
    }
    int Calls = 0;
};

TEST_F(JournalPaint, DrawsCaptionsGroupsListsCheckBoxesAndRowColours) {
    PaintAll();

    // Leaves under one group; the group caption spans both and is drawn in each leaf's slice.
    EXPECT_EQ(TextIn(2, 0), Cyr("Имя"));
    EXPECT_EQ(TextIn(3, 0), Cyr("Дата прот."));
    int groupTexts = 0;
    for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::Text)) groupTexts += r->Text == Cyr("ЭПМК");
    EXPECT_EQ(groupTexts, 2);
    EXPECT_EQ(TextIn(4, 0), Cyr("Город"));
    // Data: texts, the key list's picks, the date in the locale's format.
    EXPECT_EQ(TextIn(2, 1), Cyr("Анна"));
    EXPECT_EQ(TextIn(3, 1), "04.03.1990");
    EXPECT_EQ(TextIn(4, 1), Cyr("Орёл"));
    EXPECT_EQ(TextIn(4, 2), Cyr("Тула"));
    EXPECT_EQ(TextIn(4, 3), "");
    // Data text starts 2 pixels right of the cell and 1 below its top (Flat, data not 3D).
    const TDrawRecord* name = TextsIn(2, 2).front();
    const TRect cell = CellRect(2, 2);
    EXPECT_EQ(name->Rect.Left, cell.Left + 2);
    EXPECT_EQ(name->Rect.Top, cell.Top + 1);
    // Row 2 (id 20) is yellow where it is not the current cell.
    const std::vector<ui::TColor> fills = FillsOf(2, 2);
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(Rgb(fills.back()), Rgb(ui::clYellow));
    EXPECT_GE(Calls, 15);
    // Fixed cells get the themed gradient: several one-line fills, not one flat fill.
    int gradientLines = 0;
    const TRect title = CellRect(4, 0);
    for (const TDrawRecord& r : Surface()->Records())
        if (r.Op == TDrawOp::FillRect && Inside(r.Rect, title) && r.Rect.Height() == 1) ++gradientLines;
    EXPECT_GT(gradientLines, 5);
    // A sort glyph in the marked title, none elsewhere; the check boxes draw their faces.
    int glyphs = 0;
    for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::Polygon))
        if (Inside(TRect{r->Points[0].X, r->Points[0].Y, r->Points[0].X + 1, r->Points[0].Y + 1}, CellRect(2, 0)))
            ++glyphs;
    EXPECT_EQ(glyphs, 1);
}

}  // namespace
}  // namespace gridtest
