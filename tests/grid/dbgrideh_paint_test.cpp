// Painting of the data grid on the recording surface: a grid set up like the application's
// journals (Flat, dghFixed3D, themes, two-level captions, a sort marker, a key-list column, a
// check box, row colours from OnGetCellParams), the sort-marker area, data-cell colours, the
// record switch and its failure path, pictures that do not decode, and hint texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "controls/grid/DBGridEh_Setup.h"
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
    // The sort glyphs drawn: entries of the shared sort-marker images.
    std::vector<const TDrawRecord*> SortGlyphs() {
        std::vector<const TDrawRecord*> out;
        for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::Blit))
            if (r->Rect.Width() == SortMarkerImages()->Width() && r->Rect.Height() == SortMarkerImages()->Height())
                out.push_back(r);
        return out;
    }
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
        // Two title lines; the tree takes the title row's height on the next rebuild.
        Grid->SetTitleHeight(36);
        Grid->SetUseMultiTitle(true);
        Grid->RebuildLayout();
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
    for (const TDrawRecord* r : SortGlyphs())
        if (Inside(r->Rect, CellRect(2, 0))) ++glyphs;
    EXPECT_EQ(glyphs, 1);
    EXPECT_EQ(SortGlyphs().size(), 1u);
}

TEST_F(JournalPaint, AnEventThatRaisesLeavesTheActiveRecordAndAPaintNeverMovesTheDataset) {
    store::TMemDataSet* ds = People.DS.get();
    ds->Next();
    int scrolls = 0;
    ds->AfterScroll = [&](db::TDataSet*) { ++scrolls; };
    const int recNo = ds->RecNo();
    const int active = Grid->DataLink()->ActiveRecord();
    const int64_t before = Grid->RecordSwitchCount();
    PaintAll();
    EXPECT_GT(Grid->RecordSwitchCount(), before);
    EXPECT_EQ(ds->RecNo(), recNo);
    EXPECT_EQ(Grid->DataLink()->ActiveRecord(), active);
    Grid->OnGetCellParams = [this](rtl::TObject*, TColumnEh*, ui::TFont*, ui::TColor&, TGridDrawState) {
        if (F("id")->AsInteger() == 30) throw rtl::Exception("boom");
    };
    try {
        PaintAll();
    } catch (const rtl::Exception&) {
    }
    EXPECT_EQ(ds->RecNo(), recNo);
    EXPECT_EQ(Grid->DataLink()->ActiveRecord(), active);
    EXPECT_EQ(F("id")->AsInteger(), 20);
    EXPECT_EQ(scrolls, 0);
}

TEST_F(JournalPaint, RowsBeyondTheRecordsAreOnlyFilled) {
    Surface()->Clear();
    for (int c = 0; c < 5; ++c) {
        TCellAreaEh area;
        area.DataCol = c;
        area.DataRow = 7;
        Grid->DrawDataCell(c + 1, 8, area, TGridDrawState{}, TRect{0, 0, 50, 20});
    }
    EXPECT_TRUE(Surface()->OfKind(TDrawOp::Text).empty());
    EXPECT_EQ(Surface()->OfKind(TDrawOp::FillRect).size(), 5u);
}

TEST_F(JournalPaint, ImageAndCheckBoxHintsStayInsideThePickList) {
    // cid 2 sits at KeyList position 1; a PickList of one entry has nothing there.
    auto* images = rtl::Create<ui::TImageList>(Form);
    Col(3)->SetImageList(images);
    ASSERT_EQ(Col(3)->CellKind(), cckImage);
    EXPECT_EQ(Grid->CellHintText(Col(3)), Cyr("Орёл"));
    Col(3)->PickList()->SetText(Cyr("Тула"));
    EXPECT_EQ(Grid->CellHintText(Col(3)), "");
    Col(3)->KeyList()->SetText("7");
    EXPECT_EQ(Grid->CellHintText(Col(3)), "");
    Col(3)->SetImageList(nullptr);
    Col(4)->PickList()->SetText("no\nyes");
    // Record 1 has flag "1": checked, ordinal 1.
    EXPECT_EQ(Grid->CellHintText(Col(4)), "yes");
    Col(4)->PickList()->SetText("no");
    EXPECT_EQ(Grid->CellHintText(Col(4)), "");
    EXPECT_EQ(Grid->CellHintText(Col(1)), Cyr("Анна"));
}

// The sort-marker area of a non-Flat grid without themes, where the outer and inner right edges meet.
class SortMarkerArea : public GridPaintTest {
protected:
    void SetUp() override {
        GridPaintTest::SetUp();
        ui::ThemeServices().SetThemesEnabled(false);
        TDBGridEhOptions eh = Grid->OptionsEh();
        eh.Include(dghMultiSortMarking);
        Grid->SetOptionsEh(eh);
        Form->SetBounds(0, 0, 800, 400);
        Grid->SetBounds(10, 10, 700, 200);
        Bind({u"id", u"name", u"born"});
        ShowRows(3);
    }
    struct TArea {
        bool Glyph = false;
        int GlyphRight = 0;  // the glyph box's right edge
        bool Number = false;
        int NumberLeft = 0;
        int NumberWidth = 0;
    };
    TArea AreaOf(int GridCol) {
        TArea a;
        const TRect cell = CellRect(GridCol, 0);
        for (const TDrawRecord* r : SortGlyphs())
            if (r->Rect.Left >= cell.Left && r->Rect.Left < cell.Right && r->Rect.Top < cell.Bottom) {
                a.Glyph = true;
                a.GlyphRight = r->Rect.Right;
            }
        for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::Text))
            if (r->Rect.Left >= cell.Left && r->Rect.Left < cell.Right && r->Rect.Top < cell.Bottom &&
                !r->Text.empty() && std::all_of(r->Text.begin(), r->Text.end(), ::isdigit)) {
                a.Number = true;
                a.NumberLeft = r->Rect.Left;
                a.NumberWidth = r->Rect.Width();
            }
        return a;
    }
};

TEST_F(SortMarkerArea, OneMarkedColumnHasNoNumberAndTwoGetTheirIndexes) {
    Col(1)->Title()->SetSortMarker(smDownEh);
    Grid->RebuildSortMarkedColumnList();
    PaintAll();
    TArea a = AreaOf(2);
    EXPECT_TRUE(a.Glyph);
    EXPECT_FALSE(a.Number);
    EXPECT_EQ(a.GlyphRight, CellRect(2, 0).Right - 1 - 2);

    Col(1)->Title()->SetSortIndex(1);
    Col(2)->Title()->SetSortMarker(smUpEh);
    Col(2)->Title()->SetSortIndex(2);
    Grid->RebuildSortMarkedColumnList();
    ASSERT_EQ(Grid->SortMarkedColumnList()->Count(), 2);
    PaintAll();
    for (int c : {2, 3}) {
        a = AreaOf(c);
        ASSERT_TRUE(a.Glyph && a.Number) << c;
        // The number ends 2 pixels left of the inner right; the glyph ends where it begins.
        EXPECT_EQ(a.NumberLeft + a.NumberWidth, CellRect(c, 0).Right - 1 - 2) << c;
        EXPECT_EQ(a.GlyphRight, a.NumberLeft) << c;
    }
}

TEST_F(SortMarkerArea, ANarrowColumnLosesItsGlyphThenItsNumber) {
    Col(1)->Title()->SetSortMarker(smDownEh);
    Col(1)->Title()->SetSortIndex(1);
    Col(2)->Title()->SetSortMarker(smUpEh);
    Col(2)->Title()->SetSortIndex(2);
    Grid->RebuildSortMarkedColumnList();
    struct Case {
        int Width;
        bool Glyph, Number;
    };
    for (const Case& c : {Case{60, true, true}, Case{15, false, true}, Case{3, false, false}}) {
        Col(1)->SetWidth(c.Width);
        PaintAll();
        const TArea a = AreaOf(2);
        EXPECT_EQ(a.Glyph, c.Glyph) << c.Width;
        EXPECT_EQ(a.Number, c.Number) << c.Width;
    }
}

TEST_F(SortMarkerArea, AVerticalCaptionStandsCentredLeftOfTheMarkerInATitleAsHighAsItIsLong) {
    const AnsiString caption = Cyr("Наименование документа");
    Col(1)->SetWidth(40);
    Col(1)->Title()->SetCaption(caption);
    Col(1)->Title()->SetSortMarker(smDownEh);
    Grid->RebuildSortMarkedColumnList();
    Grid->SetUseMultiTitle(true);
    PaintAll();
    const int horizontalHeight = CellRect(2, 0).Height();
    Col(1)->Title()->SetOrientation(tohVertical);
    PaintAll();
    const TRect cell = CellRect(2, 0);
    const TDrawRecord* text = nullptr;
    for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::Text))
        if (r->Text == caption) text = r;
    ASSERT_NE(text, nullptr);
    // Turned upright: the box runs along the height, the whole caption inside the title.
    EXPECT_GT(text->Rect.Height(), 3 * text->Rect.Width());
    EXPECT_GT(cell.Height(), horizontalHeight);
    EXPECT_GE(text->Rect.Top, cell.Top);
    EXPECT_LE(text->Rect.Bottom, cell.Bottom);
    EXPECT_LE(cell.Height() - text->Rect.Height(), Grid->VTitleMargin() + 4) << "no higher than the caption needs";
    // Centred across the room the marker leaves, the glyph in its usual place.
    const int room = cell.Width() - 2 - 16;
    EXPECT_NEAR((text->Rect.Left + text->Rect.Right) / 2, cell.Left + 1 + room / 2, 1);
    const TArea a = AreaOf(2);
    ASSERT_TRUE(a.Glyph);
    EXPECT_EQ(a.GlyphRight, cell.Right - 1 - 2);
    EXPECT_LE(text->Rect.Right, a.GlyphRight - SortMarkerImages()->Width());
    EXPECT_EQ(Grid->Canvas()->Font()->Orientation(), 0) << "the canvas font is upright again";
}

// Data-cell colours: the handler's background on ordinary cells, the highlight on the current
// cell unless kept, odd and even colours only when assigned.
class DataCellColours : public GridPaintTest {
protected:
    void SetUp() override {
        GridPaintTest::SetUp();
        Form->SetBounds(0, 0, 800, 400);
        Grid->SetBounds(10, 10, 700, 200);
        Bind({u"id", u"name"});
        ShowRows(3);
        Grid->SetFocus();
        Pump();
    }
};

TEST_F(DataCellColours, HandlerBackgroundHighlightAndAlternatingRows) {
    bool keep = false;
    Grid->OnGetCellParams = [](rtl::TObject*, TColumnEh*, ui::TFont*, ui::TColor& Background, TGridDrawState) {
        Background = ui::clAqua;
    };
    Col(0)->SetOnGetCellParams([&](TColumnEh*, bool, TColCellParamsEh* P) { P->KeepCurrentBackground = keep; });
    const int curRow = Grid->TitleRowCount() + Grid->DataLink()->ActiveRecord();
    Grid->SetCol(1);
    PaintAll();
    ASSERT_TRUE(Grid->Focused());
    EXPECT_EQ(Rgb(FillsOf(2, curRow + 1).back()), Rgb(ui::clAqua));
    EXPECT_EQ(Rgb(FillsOf(1, curRow).back()), Rgb(ui::clHighlight));
    keep = true;
    PaintAll();
    EXPECT_EQ(Rgb(FillsOf(1, curRow).back()), Rgb(ui::clAqua));

    Grid->OnGetCellParams = nullptr;
    Col(0)->SetOnGetCellParams(nullptr);
    PaintAll();
    EXPECT_EQ(Rgb(FillsOf(2, curRow + 1).back()), Rgb(Grid->Color()));
    EXPECT_EQ(Rgb(FillsOf(2, curRow + 2).back()), Rgb(Grid->Color()));
    Grid->SetOddRowColor(ui::clLime);
    PaintAll();
    // Record 2 is even, record 3 odd.
    EXPECT_EQ(Rgb(FillsOf(2, curRow + 1).back()), Rgb(Grid->Color()));
    EXPECT_EQ(Rgb(FillsOf(2, curRow + 2).back()), Rgb(ui::clLime));
    // A column with its own colour keeps it.
    Col(1)->SetColor(ui::clFuchsia);
    PaintAll();
    EXPECT_EQ(Rgb(FillsOf(2, curRow + 2).back()), Rgb(ui::clFuchsia));
}

TEST_F(DataCellColours, HiddenDuplicatesShowTheTextOnceWithoutLinesBetween) {
    store::TMemDataSet* ds = People.DS.get();
    ds->First();
    while (!ds->Eof()) {
        ds->Edit();
        F("name")->SetAsString(Cyr("Вера"));
        ds->Post();
        ds->Next();
    }
    ds->First();
    Col(1)->SetHideDuplicates(true);
    PaintAll();
    int shown = 0;
    for (int r = 1; r <= 3; ++r) shown += TextIn(2, r) == Cyr("Вера");
    EXPECT_EQ(shown, 1);
    // The two lines between the three cells are painted over in the column colour.
    int overLines = 0;
    const TRect cell = CellRect(2, 1);
    for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::PolyPolyline))
        if (r->Pen.Color == Rgb(Col(1)->Color()) && r->Points.size() == 2 && r->Points[0].X == cell.Left &&
            r->Points[0].Y == r->Points[1].Y)
            ++overLines;
    EXPECT_GE(overLines, 2);
}

// Each kind of selection highlights exactly its cells, and its fixed cells in dark grey.
TEST_F(DataCellColours, SelectedRowsColumnsAndRectanglesHighlightTheirCells) {
    // The grid's own colour rules: the shared style lightens selected cells toward the highlight.
    Grid->SetStyle(nullptr);
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgMultiSelect});
    store::TMemDataSet* ds = People.DS.get();
    const int top = Grid->TitleRowCount();
    auto bookmarkOf = [&](int RecNo) {
        ds->SetRecNo(RecNo);
        return ds->Bookmark();
    };
    struct Case {
        const char* Name;
        std::function<void()> Select;
        std::vector<std::pair<int, int>> Cells;  // (grid col, data row) highlighted among cols 1-2, rows 0-2
        bool IndicatorRows, TitleCols;
    };
    const std::vector<Case> cases = {
        {"rows",
         [&] {
             ds->SetRecNo(2);
             Grid->SelectedRecords()->SetCurrentRowSelected(true);
             ds->SetRecNo(3);
             Grid->SelectedRecords()->SetCurrentRowSelected(true);
         },
         {{1, 1}, {2, 1}, {1, 2}, {2, 2}},
         true,
         false},
        {"columns",
         [&] { Grid->Selection()->Columns()->Select(Col(1), false); },
         {{2, 0}, {2, 1}, {2, 2}},
         false,
         true},
        {"rectangle",
         [&] {
             Grid->Selection()->Rect()->Select(0, bookmarkOf(1), false);
             Grid->Selection()->Rect()->Select(1, bookmarkOf(2), true);
         },
         {{1, 0}, {2, 0}, {1, 1}, {2, 1}},
         false,
         false},
    };
    const ui::TColor dark = ui::TColor(4210752);
    for (const Case& c : cases) {
        Grid->Selection()->Clear();
        c.Select();
        ds->First();
        // The current cell sits outside every selection's test area.
        Grid->SetCol(1);
        PaintAll();
        for (int col : {1, 2})
            for (int row = 0; row < 3; ++row) {
                const bool want = std::find(c.Cells.begin(), c.Cells.end(), std::make_pair(col, row)) != c.Cells.end();
                if (!want && col == 1 && row == 0) continue;  // the focused current cell is highlighted anyway
                const bool got = Rgb(FillsOf(col, top + row).back()) == Rgb(ui::clHighlight);
                EXPECT_EQ(got, want) << c.Name << " cell " << col << "," << row;
            }
        // Themed fixed cells are filled one pixel beyond their edges: a fill over the cell's centre counts.
        auto darkOver = [&](const TRect& Cell) {
            const ui::TPoint mid{(Cell.Left + Cell.Right) / 2, (Cell.Top + Cell.Bottom) / 2};
            for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::FillRect))
                if (r->Rect.Contains(mid) && Rgb(r->Brush.Color) == Rgb(dark)) return true;
            return false;
        };
        for (int row = 1; row < 3; ++row)
            EXPECT_EQ(darkOver(CellRect(0, top + row)), c.IndicatorRows) << c.Name << " indicator " << row;
        EXPECT_EQ(darkOver(CellRect(2, 0)), c.TitleCols) << c.Name;
    }
}

// Always-shown edit buttons take the right of the cell, the text keeps out of them; the typed
// search text is drawn over the start of the current cell's text; the indicator shows the search.
TEST_F(DataCellColours, EditButtonsAndTheIncrementalSearch) {
    ui::ThemeServices().SetThemesEnabled(false);
    Col(1)->SetAlwaysShowEditButton(true);
    Col(1)->SetButtonStyle(cbsEllipsis);
    editors::TEditButtonEh* plus = Col(1)->EditButtons()->Add();
    plus->SetStyle(editors::ebsPlusEh);
    plus->SetWidth(12);
    const int top = Grid->TitleRowCount();
    PaintAll();
    const TRect cell = CellRect(2, top + 1);
    const int buttons = Col(1)->EditButtonsWidth();
    ASSERT_GT(buttons, 12);
    // The text is clipped left of the buttons, and the buttons' faces fill the rest of the cell.
    auto texts = TextsIn(2, top + 1);
    ASSERT_FALSE(texts.empty());
    EXPECT_LE(texts.front()->TextClip.Right, cell.Right - buttons);
    int drawnInButtons = 0;
    for (const TDrawRecord& r : Surface()->Records())
        if ((r.Op == TDrawOp::Blit || r.Op == TDrawOp::FillRect || r.Op == TDrawOp::PolyPolyline) &&
            r.Rect.Left >= cell.Right - buttons && r.Rect.Right <= cell.Right + 1 && r.Rect.Top >= cell.Top - 1 &&
            r.Rect.Bottom <= cell.Bottom + 1)
            ++drawnInButtons;
    EXPECT_GE(drawnInButtons, 2) << "the ellipsis and the plus";
    EXPECT_FALSE(Grid->Canvas()->HasClipRgn()) << "the button clip is undone";

    Col(1)->SetAlwaysShowEditButton(false);
    Grid->SetCol(2);
    Grid->IncSearchAppend(Cyr("бо"), -1, ltdAllEh);
    ASSERT_TRUE(Grid->IncSearchActive());
    ASSERT_EQ(F("id")->AsInteger(), 20);
    PaintAll();
    const int row = top + Grid->DataLink()->ActiveRecord();
    const TDrawRecord* typed = nullptr;
    for (const TDrawRecord* r : TextsIn(2, row))
        if (r->Text == Cyr("Бо")) typed = r;
    ASSERT_NE(typed, nullptr) << "the typed part in the data's letter case";
    EXPECT_EQ(Rgb(typed->Background), Rgb(IncSearchHighlightColor));
    EXPECT_EQ(Rgb(typed->Color), Rgb(IncSearchHighlightFontColor));
    EXPECT_EQ(typed->Rect.Left, TextsIn(2, row).front()->Rect.Left) << "over the start of the cell text";
    // The indicator's search entry (6) of the shared images.
    bool searchGlyph = false;
    for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::Blit))
        searchGlyph |= Inside(r->Rect, CellRect(0, row)) && r->SourceRect.Left == 6 * IndicatorImages()->Width();
    EXPECT_TRUE(searchGlyph);
    Grid->IncSearchStop();
}

// A record view in tree mode over a memory dataset: each record's level, children, expanded state
// and, per level, whether a sibling follows ("next" holds one 0 or 1 per level).
class TTreeDataSet : public store::TMemDataSet, public editors::IMemTableEh {
    RTL_CLASS(TTreeDataSet, store::TMemDataSet)
public:
    using store::TMemDataSet::TMemDataSet;
    bool Tree = true;
    // Set while the grid reads another view record (1-based); its values come from Rows.
    int Viewed = 0;
    struct TNode {
        int Level, Kids, Open;
        const char* Next;
    };
    std::vector<TNode> Rows;
    std::vector<std::pair<int, bool>> Toggles;
    std::vector<int> Restores;
    int ToggleResult = 0;
    // While the grid reads another view record, fields read that record from Shadow, a second
    // dataset over the same rows, as a view's own record buffer would give it.
    store::TMemDataSet* Shadow = nullptr;
    bool GetFieldValue(db::TField* Field, void* Dest) override {
        if (Viewed <= 0 || !Shadow) return TMemDataSet::GetFieldValue(Field, Dest);
        Shadow->SetRecNo(Viewed);
        return Shadow->GetFieldValue(Shadow->FieldByNumber(Field->FieldNo()), Dest);
    }
    int Int(const char* Name) {
        if (Viewed > 0 && !Rows.empty()) {
            const TNode& n = Rows[static_cast<size_t>(Viewed - 1)];
            return std::string_view(Name) == "level" ? n.Level : std::string_view(Name) == "kids" ? n.Kids : n.Open;
        }
        return FieldByName(std::string_view(Name))->AsInteger();
    }
    void ScrollToRowPosition(int) override {}
    int ViewActiveRecord() override { return 0; }
    int ViewReserved() override { return 0; }
    int CurrentNodeExpanded() override { return Int("open"); }
    bool CurrentNodeHasChildren() override { return Int("kids") != 0; }
    int CurrentNodeLevel() override { return Int("level"); }
    int CurrentNodeIndex() override { return 0; }
    int RowLinesLevelLimit() override { return -1; }
    // View records count from 0, as the grid's row mapping takes them.
    int ViewCurrentRecord() override { return RecNo() - 1; }
    int RowToRecordIndex(int Row) override { return Row; }
    int ViewRecordCount() override { return RecordCount(); }
    bool TreeViewMode() override { return Tree; }
    bool LevelHasNextSibling(int Level) override {
        const AnsiString next = FieldByName(std::string_view("next"))->AsString();
        return Level >= 1 && Level <= static_cast<int>(next.size()) && next[static_cast<size_t>(Level - 1)] == '1';
    }
    void RestoreCurrentRecord(int Record) override { Restores.push_back(Record); }
    int ToggleNode(int Record, bool Expand) override {
        Toggles.push_back({Record, Expand});
        return ToggleResult;
    }
    editors::IMemTableDataFieldValueListEh* FieldValueList(const WideString&) override { return nullptr; }
    int SearchText(const WideString&, int, bool, int) override { return -1; }
    void SetViewActiveRecord(int Record) override { Viewed = Record + 1; }
    rtl::TObject* RestoreViewActiveRecord() override {
        Viewed = 0;
        return nullptr;
    }
    void RegisterGrid(rtl::TComponent*) override {}
    void UnregisterGrid(rtl::TComponent*) override {}
};

// A, its children A1 and A2, and B, shown in columns name and level.
class TreePaint : public GridPaintTest {
protected:
    void SetUp() override {
        GridPaintTest::SetUp();
        ds = rtl::Create<TTreeDataSet>(Form);
        const std::vector<memdstest::TCol> cols = {{u"name", store::mdtString, 21, 20},
                                                   {u"level", store::mdtInt32, 4},
                                                   {u"kids", store::mdtInt32, 4},
                                                   {u"open", store::mdtInt32, 4},
                                                   {u"next", store::mdtString, 5, 4}};
        const std::vector<std::vector<Variant>> nodes = {
            {Variant(AnsiString("A")), Variant(1), Variant(1), Variant(1), Variant(AnsiString("1"))},
            {Variant(AnsiString("A1")), Variant(2), Variant(0), Variant(0), Variant(AnsiString("11"))},
            {Variant(AnsiString("A2")), Variant(2), Variant(0), Variant(0), Variant(AnsiString("10"))},
            {Variant(AnsiString("B")), Variant(1), Variant(0), Variant(0), Variant(AnsiString("0"))}};
        ds->SetIRecordSet(std::unique_ptr<store::TData>(new memdstest::TRowStore(cols, nodes)));
        ds->Open();
        auto* shadow = rtl::Create<store::TMemDataSet>(Form);
        shadow->SetIRecordSet(std::unique_ptr<store::TData>(new memdstest::TRowStore(cols, nodes)));
        shadow->Open();
        ds->Shadow = shadow;
        auto* src = rtl::Create<db::TDataSource>(Form);
        src->SetDataSet(ds);
        Grid->Columns()->Add()->SetFieldName(u"name");
        Grid->Columns()->Add()->SetFieldName(u"level");
        Grid->SetDataSource(src);
        ShowRows(4);
    }
    void TearDown() override {
        Grid->SetDataSource(nullptr);
        GridPaintTest::TearDown();
    }
    TTreeDataSet* ds = nullptr;
};

TEST_F(TreePaint, TheTreeAreaIndentsTheFirstColumnByLevel) {
    const int top = Grid->TitleRowCount();
    const std::vector<std::pair<std::string, int>> rows = {{"A", 1}, {"A1", 2}, {"A2", 2}, {"B", 1}};
    std::vector<int> secondLefts;
    for (bool tree : {true, false}) {
        ds->Tree = tree;
        PaintAll();
        for (int r = 0; r < 4; ++r) {
            const TRect cell = CellRect(1, top + r);
            const auto texts = TextsIn(1, top + r);
            ASSERT_FALSE(texts.empty()) << r;
            EXPECT_EQ(texts.front()->Text, rows[r].first);
            const int indent = tree ? 18 * rows[r].second : 0;
            EXPECT_EQ(texts.front()->Rect.Left, cell.Left + indent + 2) << rows[r].first;
            // The levels are filled in the grid colour, one 18-pixel cell each.
            int levelFills = 0;
            for (const TDrawRecord* f : Surface()->OfKind(TDrawOp::FillRect))
                if (f->Rect.Width() == 18 && f->Rect.Top == cell.Top && Rgb(f->Brush.Color) == Rgb(Grid->Color()) &&
                    f->Rect.Left >= cell.Left && f->Rect.Right <= cell.Left + indent)
                    ++levelFills;
            EXPECT_EQ(levelFills, tree ? rows[r].second : 0) << rows[r].first;
            // Only the first column is indented.
            ASSERT_FALSE(TextsIn(2, top + r).empty());
            const int second = TextsIn(2, top + r).front()->Rect.Left;
            if (tree)
                secondLefts.push_back(second);
            else
                EXPECT_EQ(second, secondLefts[static_cast<size_t>(r)]) << rows[r].first;
        }
    }
    ds->Tree = true;
    EXPECT_EQ(Grid->TreeIndentWidth(), 18) << "the current record, A, is on level 1";

    // Presses: left of another row's expander toggles nothing and puts the current record back;
    // on the current row's expander its node toggles and the record it names becomes current.
    ds->Rows = {{1, 1, 1, "1"}, {2, 0, 0, "11"}, {2, 0, 0, "10"}, {1, 0, 0, "0"}};
    ASSERT_EQ(ds->RecNo(), 1);
    const TRect a1 = Grid->SingleCellRect(1, top + 1), a = Grid->SingleCellRect(1, top);
    const int topRow = Grid->TopRow();
    EXPECT_TRUE(Grid->TreeAreaMouseDown(a1.Left + 5, a1.Top + 2, true));
    EXPECT_FALSE(Grid->TreeAreaMouseDown(a1.Left + 40, a1.Top + 2, true)) << "right of the indent";
    EXPECT_FALSE(Grid->TreeAreaMouseDown(Grid->SingleCellRect(2, top + 1).Left + 5, a1.Top + 2, true));
    EXPECT_TRUE(Grid->TreeAreaMouseDown(a1.Left + 5, a1.Top + 2));
    EXPECT_TRUE(ds->Toggles.empty());
    EXPECT_EQ(ds->Restores, std::vector<int>{0});
    EXPECT_EQ(Grid->TopRow(), topRow);
    EXPECT_EQ(ds->Viewed, 0) << "the view's active record restored";
    ds->ToggleResult = 4;
    EXPECT_TRUE(Grid->TreeAreaMouseDown(a.Left + 10, a.Top + 2));
    EXPECT_EQ(ds->Toggles, (std::vector<std::pair<int, bool>>{{0, false}})) << "record index 0, collapse";
    EXPECT_EQ(ds->RecNo(), 4);

    // The cell editor on A keeps the indent: its text starts after it, the level is painted in
    // the editor's colour, and a press on the expander toggles the node as in the grid.
    ds->First();
    ds->Toggles.clear();
    ds->ToggleResult = 0;
    Grid->SetOptions(Grid->Options() + TDBGridOptions{dgEditing});
    Grid->SetCol(1);
    Grid->SetEditorMode(true);
    TInplaceEdit* ed = Grid->InplaceEditor();
    ASSERT_TRUE(ed && ed->EditVisible());
    TRect text;
    ed->Perform(ui::EM_GETRECT, 0, reinterpret_cast<ui::LPARAM>(&text));
    EXPECT_EQ(text.Left, 18 + 1 + 2);
    Surface()->Clear();
    ed->Invalidate();
    Pump();
    ed->UpdateWindow();
    const ui::TPoint eo = ed->ClientToParent(ui::TPoint{0, 0}, Form);
    const TRect level{eo.X, eo.Y, eo.X + 18, eo.Y + ed->ClientHeight()};
    int editorLevels = 0;
    for (const TDrawRecord* f : Surface()->OfKind(TDrawOp::FillRect))
        editorLevels += f->Rect == level && Rgb(f->Brush.Color) == Rgb(ed->Color());
    EXPECT_EQ(editorLevels, 1);
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(ed, 25, 3));
    ui::MouseInput(ui::WM_LBUTTONUP, At(ed, 25, 3));
    Pump();
    EXPECT_TRUE(ds->Toggles.empty()) << "a press on the text";
    ui::ResetDoubleClick();
    ui::MouseInput(ui::WM_LBUTTONDOWN, At(ed, 10, 3));
    ui::MouseInput(ui::WM_LBUTTONUP, At(ed, 10, 3));
    Pump();
    EXPECT_EQ(ds->Toggles, (std::vector<std::pair<int, bool>>{{0, false}}));
    Grid->SetDataSource(nullptr);
}

TEST_F(TreePaint, AMoveToAToggledNodeRunsUnderTheTreeUpdateFlag) {
    const int top = Grid->TitleRowCount();
    const TRect a = Grid->SingleCellRect(1, top);
    ds->Rows = {{1, 1, 1, "1"}, {2, 0, 0, "11"}, {2, 0, 0, "10"}, {1, 0, 0, "0"}};
    std::vector<bool> seen;
    bool raise = false;
    ds->AfterScroll = [&](db::TDataSet*) {
        seen.push_back(Grid->InTreeUpdate());
        if (raise) throw rtl::Exception("boom");
    };
    EXPECT_FALSE(Grid->InTreeUpdate());
    ds->ToggleResult = 3;
    EXPECT_TRUE(Grid->TreeAreaMouseDown(a.Left + 10, a.Top + 2));
    EXPECT_EQ(seen, std::vector<bool>{true});
    EXPECT_FALSE(Grid->InTreeUpdate());
    // A move that raises still clears the flag and unlocks painting.
    ds->First();
    seen.clear();
    raise = true;
    EXPECT_THROW(Grid->TreeAreaMouseDown(a.Left + 10, a.Top + 2), rtl::Exception);
    EXPECT_EQ(seen, std::vector<bool>{true});
    EXPECT_FALSE(Grid->InTreeUpdate());
    EXPECT_FALSE(Grid->PaintLocked());
    ds->AfterScroll = nullptr;
}

TEST_F(TreePaint, ABlankCellOfTheFirstColumnStartsOnePixelIn) {
    for (int c = 0; c < 2; ++c)
        Col(c)->SetOnGetCellParams([](TColumnEh*, bool, TColCellParamsEh* P) { P->BlankFixedCell = true; });
    PaintAll();
    const int row = Grid->TitleRowCount() + 3;  // B, level 1
    // The blank fill in the fixed colour: after the indent and one pixel in the first column, at
    // the cell's left in the second.
    auto blankLeft = [&](int GridCol) {
        const TRect cell = CellRect(GridCol, row);
        int left = -1;
        for (const TDrawRecord* r : Surface()->OfKind(TDrawOp::FillRect))
            if (Rgb(r->Brush.Color) == Rgb(Grid->FixedColor()) && r->Rect.Top == cell.Top &&
                r->Rect.Left >= cell.Left && r->Rect.Right == cell.Right)
                left = r->Rect.Left - cell.Left;
        return left;
    };
    EXPECT_EQ(blankLeft(1), 18 + 1);
    EXPECT_EQ(blankLeft(2), 0);
}

TEST_F(GridPaintTest, APictureThatDoesNotDecodeIsDrawnEmpty) {
    memdstest::TFixture pics({{u"id", store::mdtInt32, 4}, {u"pic", store::mdtBlob, 8}},
                             {{Variant(1), Variant(AnsiString("not a bitmap"))}});
    pics.DS->Open();
    auto* src = rtl::Create<db::TDataSource>(Form);
    src->SetDataSet(pics.DS.get());
    Grid->Columns()->Add()->SetFieldName(u"pic");
    Grid->SetDrawGraphicData(true);
    Grid->SetDataSource(src);
    ShowRows(1);
    Surface()->Clear();
    // Drawn as a picture whatever kind the column reports, as a descendant's column may.
    Grid->Canvas()->Brush()->SetColor(ui::clWindow);
    EXPECT_NO_THROW(Grid->DrawGraphicOrMemoCell(Grid->Columns()->Items(0), Grid->SingleCellRect(1, 1)));
    EXPECT_FALSE(FillsOf(1, 1).empty());
    EXPECT_TRUE(Surface()->OfKind(TDrawOp::Blit).empty());
    Surface()->Clear();
    Grid->Invalidate();
    EXPECT_NO_THROW(Grid->UpdateWindow());
    Grid->SetDataSource(nullptr);
}

TEST_F(GridPaintTest, ToolTipsTakeTheCellFontInWindowTextColour) {
    auto* tips = rtl::Create<grid::TToolTipsWindow>(Form);
    ui::TFont cellFont;
    cellFont.SetName("Liberation Serif");
    cellFont.SetColor(ui::clRed);
    cellFont.SetStyle(ui::TFontStyles{ui::fsBold});
    const TRect r = tips->CalcHintRect(200, Cyr("Длинный текст ячейки"), &cellFont);
    EXPECT_GT(r.Width(), 0);
    EXPECT_EQ(tips->Font()->Name(), "Liberation Serif");
    EXPECT_TRUE(tips->Font()->Style().Contains(ui::fsBold));
    EXPECT_EQ(tips->Font()->Color(), ui::clWindowText);
}

}  // namespace
}  // namespace gridtest
