// Shared drawing resources, cell drawing primitives and the storage interceptors.
#include <gtest/gtest.h>

#include <type_traits>

#include "controls/grid/DBGridEh_Setup.h"
#include "framework/ui/Themes.h"
#include "tests/grid/dbgrid_fixture.h"

namespace gridtest {
namespace {

// Font height 10: every character 5 pixels wide, 10 high.
struct Canvas10 {
    ui::TRecordingSurface Surface{400, 200};
    ui::TCanvas Canvas{&Surface};
    Canvas10() { Canvas.Font()->SetHeight(10); }
};

TEST(GridPrimitives, CutTextToWidthTriesShorterCandidates) {
    Canvas10 c;
    struct Case {
        int MaxWidth;
        const char* Expected;
    } cases[] = {
        {35, "abcdefg"}, {34, "abc..."}, {30, "abc..."}, {29, "ab..."}, {15, "..."}, {14, "..."}, {0, "..."},
    };
    for (const Case& k : cases) EXPECT_EQ(CutTextToWidth("abcdefg", &c.Canvas, k.MaxWidth), k.Expected) << k.MaxWidth;
}

TEST(GridPrimitives, WriteCellTextPlacesByAlignmentAndLayout) {
    struct Case {
        TAlignment Alignment;
        TTextLayout Layout;
        int X, Y;
    } cases[] = {
        {db::taLeftJustify, editors::tlTop, 102, 52},            // DX 2 right of the left edge, DY 2 down
        {db::taRightJustify, editors::tlTop, 200 - 15 - 3, 52},  // 3 pixels left of the right edge
        {db::taCenter, editors::tlTop, 100 + 50 - 7, 52},
        {db::taLeftJustify, editors::tlCenter, 102, (50 + 80 - 10) / 2 - 2 + 2},
        {db::taLeftJustify, editors::tlBottom, 102, 80 - 10 - 2 + 2},
    };
    for (const Case& k : cases) {
        Canvas10 c;
        c.Canvas.Brush()->SetColor(ui::clRed);
        WriteCellText(&c.Canvas, TRect{100, 50, 200, 80}, false, 2, 2, "abc", k.Alignment, k.Layout, false, false, 0, 0,
                      false);
        auto texts = c.Surface.OfKind(ui::TDrawOp::Text);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0]->Rect.Left, k.X) << int(k.Alignment) << int(k.Layout);
        EXPECT_EQ(texts[0]->Rect.Top, k.Y) << int(k.Alignment) << int(k.Layout);
        EXPECT_EQ(texts[0]->Background, ui::clNone);  // without FillRect the cell stays as it was
        EXPECT_EQ(c.Canvas.Brush()->Style(), ui::bsSolid);
        EXPECT_EQ(c.Canvas.Brush()->Color(), ui::clRed);
    }
}

TEST(GridPrimitives, WriteCellTextCutsWithEllipsis) {
    Canvas10 c;
    WriteCellText(&c.Canvas, TRect{0, 0, 32, 20}, true, 2, 2, "abcdefg", db::taLeftJustify, editors::tlTop, false, true,
                  0, 0, false);
    EXPECT_EQ(c.Surface.Texts(), (std::vector<std::string>{"abc..."}));
}

TEST(GridPrimitives, WriteVerticalTextPlacesTheUpwardBaseline) {
    // "abc" is 15 pixels along the baseline and 10 across it; the cell is 40 wide, 60 high.
    struct Case {
        TTextLayout Layout;
        int Placement;
        TRect Expected;  // the rotated text's box
    } cases[] = {
        {editors::tlTop, 0, {102, 50, 112, 65}},      // left + DX, ending at the top
        {editors::tlBottom, 0, {102, 93, 112, 108}},  // starting DY above the bottom
        {editors::tlCenter, 0, {102, 72, 112, 87}},   // middle plus half the extent
        {editors::tlBottom, 1, {130, 93, 140, 108}},  // against the right edge
        {editors::tlBottom, 2, {115, 93, 125, 108}},  // centred across
    };
    for (const Case& k : cases) {
        Canvas10 c;
        c.Canvas.Brush()->SetColor(ui::clRed);
        const int extent =
            WriteVerticalText(&c.Canvas, TRect{100, 50, 140, 110}, false, false, k.Layout, k.Placement, "abc", 2, 2);
        EXPECT_EQ(extent, 15);
        auto texts = c.Surface.OfKind(ui::TDrawOp::Text);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0]->Rect, k.Expected) << int(k.Layout) << " " << k.Placement;
        EXPECT_EQ(texts[0]->Background, ui::clNone);
        // The canvas keeps its own font and brush afterwards.
        EXPECT_EQ(c.Canvas.Font()->Orientation(), 0);
        EXPECT_EQ(c.Canvas.Brush()->Style(), ui::bsSolid);
    }
    Canvas10 c;
    EXPECT_EQ(WriteVerticalText(&c.Canvas, TRect{0, 0, 40, 60}, true, true, editors::tlTop, 0, "abcd", 0, 0), 20);
    EXPECT_TRUE(c.Surface.OfKind(ui::TDrawOp::Text).empty());
}

TEST(GridPrimitives, VerticalFontTurnsUpwardAndNamesTheDefaultFace) {
    ui::TFont f;
    f.SetName("default");
    f.SetStyle(ui::TFontStyles{ui::fsBold});
    const ui::TFontData d = CreateVerticalFont(&f);
    EXPECT_EQ(d.Orientation, 900);
    EXPECT_EQ(d.Name, "MS Sans Serif");
    EXPECT_TRUE(d.Style.Contains(ui::fsBold));
    f.SetName("Liberation Serif");
    EXPECT_EQ(CreateVerticalFont(&f).Name, "Liberation Serif");
}

TEST(GridPrimitives, BrightenColor) {
    EXPECT_EQ(BrightenColor(static_cast<ui::TColor>(0x000000), 8), static_cast<ui::TColor>(0x000000));
    EXPECT_EQ(BrightenColor(static_cast<ui::TColor>(0x404040), 8), static_cast<ui::TColor>(0x484848));
    EXPECT_EQ(BrightenColor(static_cast<ui::TColor>(0xF0F0F0), 8), static_cast<ui::TColor>(0xFFFFFF));
    EXPECT_EQ(BrightenColor(static_cast<ui::TColor>(0x102040), 8), static_cast<ui::TColor>(0x122448));
}

TEST(GridPrimitives, DrawImageInCellClipsOnlyWhatDoesNotFitAndRestoresTheClip) {
    for (bool hadClip : {false, true}) {
        Canvas10 c;
        if (hadClip) c.Canvas.IntersectClipRect(TRect{0, 0, 300, 150});
        // Fits: drawn without a clip of its own.
        DrawImageInCell(IndicatorImages(), nullptr, &c.Canvas, db::taCenter, 0, 0, TRect{10, 10, 40, 40});
        // Larger than its cell: clipped to the cell.
        DrawImageInCell(IndicatorImages(), nullptr, &c.Canvas, db::taLeftJustify, 0, 0, TRect{50, 10, 53, 15});
        auto blits = c.Surface.OfKind(ui::TDrawOp::Blit);
        ASSERT_EQ(blits.size(), 2u);
        EXPECT_EQ(blits[0]->Rect.Left, (10 + 40 - 6) / 2);
        EXPECT_EQ(blits[0]->Clipped, hadClip);
        ASSERT_TRUE(blits[1]->Clipped);
        EXPECT_EQ(blits[1]->Clip->Bounds(), (TRect{50, 10, 53, 15}));
        EXPECT_EQ(c.Canvas.HasClipRgn(), hadClip);
        if (hadClip) {
            EXPECT_EQ(c.Canvas.ClipRect(), (TRect{0, 0, 300, 150}));
        }
    }
}

TEST(GridPrimitives, SharedResourcesHaveTheirSizesAndShortcuts) {
    EXPECT_EQ(IndicatorImages()->Count(), 7);
    EXPECT_EQ(IndicatorImages()->Width(), 6);
    EXPECT_EQ(IndicatorImages()->Height(), 11);
    RefreshIncSearchIndicatorImage();
    EXPECT_EQ(IndicatorImages()->Count(), 7);
    EXPECT_EQ(SortMarkerImages()->Count(), 3);
    EXPECT_EQ(SortMarkerImages()->Width(), 10);
    EXPECT_EQ(SortMarkerImages()->Height(), 9);
    EXPECT_EQ(SortMarkerFont()->Height(), -8);
    EXPECT_EQ(SortMarkerFont()->Name(), "Arial");
    EXPECT_EQ(IncSearchShortCut, 0x4046);
    EXPECT_EQ(IncSearchNextShortCut, 0x400D);
    EXPECT_EQ(IncSearchPriorShortCut, 0x600D);
    EXPECT_EQ(CopyFromPreviousShortCut, 0x40DE);
    EXPECT_EQ(FindDialogShortCut, 0x4046);
    EXPECT_EQ(IncSearchInterval, 1500);
}

TEST(GridPrimitives, WorkBitmapLivesWhileAGridUsesIt) {
    const int base = GridWorkBitmapUsers();
    AcquireWorkBitmap();
    ui::TBitmap* first = GridWorkBitmap();
    AcquireWorkBitmap();
    EXPECT_EQ(GridWorkBitmap(), first);
    ReleaseWorkBitmap();
    EXPECT_EQ(GridWorkBitmap(), first);
    ReleaseWorkBitmap();
    EXPECT_EQ(GridWorkBitmapUsers(), base);
    if (base == 0) {
        EXPECT_EQ(GridWorkBitmap(), nullptr);
    }
}

using GridSetupTest = DBGridTest;

TEST_F(GridSetupTest, ThemedHeadersNeedThemesFixed3DAndNotFlat) {
    struct Case {
        bool Flat, Themes, Fixed3D, Expected;
    } cases[] = {
        {false, true, true, true},
        {true, true, true, false},
        {false, false, true, false},
        {false, true, false, false},
    };
    for (const Case& k : cases) {
        Grid->SetFlat(k.Flat);
        ui::ThemeServices().SetThemesEnabled(k.Themes);
        TDBGridEhOptions o = Grid->OptionsEh();
        if (k.Fixed3D)
            o.Include(dghFixed3D);
        else
            o.Exclude(dghFixed3D);
        Grid->SetOptionsEh(o);
        EXPECT_EQ(Grid->UsesThemedHeaders(), k.Expected) << k.Flat << k.Themes << k.Fixed3D;
        EXPECT_EQ(Grid->IsCellThemed(0, 0, true), k.Themes && !k.Flat);
    }
    ui::ThemeServices().SetThemesEnabled(true);
}

TEST_F(GridSetupTest, FocusedRowSelectionNeedsRowSelectAndFocus) {
    TDBGridOptions o = Grid->Options();
    o.Include(dgRowSelect);
    Grid->SetOptions(o);
    EXPECT_FALSE(Grid->DrawsFocusedRowSelection());  // not focused yet
    ShowFocused({u"id", u"name"});
    EXPECT_TRUE(Grid->DrawsFocusedRowSelection());
    o.Exclude(dgRowSelect);
    Grid->SetOptions(o);
    EXPECT_FALSE(Grid->DrawsFocusedRowSelection());
}

TEST_F(GridSetupTest, MirroredCanvasRunsFromTheRightEdgeAndColumnTextWritesThrough) {
    Bind({u"id", u"name"});
    Form->Show();
    Pump();
    ui::TCanvas* C = Grid->Canvas();
    const int w = Grid->ClientWidth();
    Grid->MirrorCanvas(true);
    EXPECT_EQ(C->LPtoDP(ui::TPoint{0, 5}), (ui::TPoint{w, 5}));
    EXPECT_EQ(C->LPtoDP(ui::TPoint{10, 5}), (ui::TPoint{w - 10, 5}));
    Grid->MirrorCanvas(false);
    EXPECT_EQ(C->LPtoDP(ui::TPoint{10, 5}), (ui::TPoint{10, 5}));

    ui::TRecordingSurface s{400, 100};
    ui::TCanvas canvas{&s};
    canvas.Font()->SetHeight(10);
    Grid->WriteColumnCellText(Col(1), &canvas, 0, 0, false, false, editors::tlTop, db::taRightJustify, "abc", 2, 2,
                              false, TRect{0, 0, 100, 20});
    auto texts = s.OfKind(ui::TDrawOp::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->Rect.Left, 100 - 15 - 3);
}

TEST_F(GridSetupTest, ColumnByFieldNameOrError) {
    Bind({u"id", u"name"});
    EXPECT_EQ(ColumnByFieldNameOrError(Grid, u"NAME"), Col(1));
    try {
        ColumnByFieldNameOrError(Grid, u"nope");
        FAIL();
    } catch (const EInvalidGridOperationEh& e) {
        EXPECT_EQ(AnsiString(e.Message()), "Field name 'nope' not found");
    }
}

// ---------------------------------------------------------------------------------------------
// Interceptors

TEST_F(GridSetupTest, ColumnsIndexRoundTripAndStoredListsOfOtherLengths) {
    Bind({u"id", u"name", u"born"});
    Col(1)->SetFieldName(u"na,me");
    auto ic = CreatePropertyInterceptor(Grid->Columns());
    auto* cols = dynamic_cast<TColumnsEhPropertyInterceptor*>(ic.get());
    ASSERT_NE(cols, nullptr);
    EXPECT_EQ(cols->ColumnsIndex(), "\"id\",\"na,me\",\"born\"");
    auto order = [&] {
        std::string s;
        for (int i = 0; i < Grid->Columns()->Count(); ++i) s += rtl::WideToAnsi(Col(i)->FieldName()) + " ";
        return s;
    };
    struct Case {
        const char* Stored;
        const char* Order;
    } cases[] = {
        {"\"born\",\"id\",\"na,me\"", "born id na,me "},
        {"\"na,me\",\"gone\",\"born\",\"id\"", "na,me born id "},                 // an unknown name is skipped
        {"\"x\",\"y\",\"z\",\"id\",\"q\",\"born\",\"na,me\"", "id born na,me "},  // longer than the columns
        {"\"born\"", "born id na,me "},
        {"", "born id na,me "},
    };
    for (const Case& k : cases) {
        cols->SetColumnsIndex(k.Stored);
        EXPECT_EQ(order(), k.Order) << k.Stored;
    }
}

TEST_F(GridSetupTest, ColumnWidthInterceptorWritesTheShareWhenAutoFitting) {
    Bind({u"id", u"name"});
    auto ic = CreatePropertyInterceptor(Col(0));
    auto* w = dynamic_cast<TColumnEhPropertyInterceptor*>(ic.get());
    ASSERT_NE(w, nullptr);
    w->SetWidth(77);
    EXPECT_EQ(Col(0)->Width(), 77);
    Grid->SetAutoFitColWidths(true);
    const int before = Col(0)->Width();
    w->SetWidth(120);
    EXPECT_EQ(Col(0)->FitWidth(), 120);
    EXPECT_EQ(Col(0)->Width(), before);
}

TEST_F(GridSetupTest, FormInterceptorRestoresBoundsScaledAndKeepsThemWithoutAStoredResolution) {
    Form->SetBounds(10, 20, 300, 200);
    struct Case {
        int Ppi;
        TRect Bounds;  // left, top, width, height as stored
        TRect Expected;
    } cases[] = {
        {96, {40, 50, 400, 300}, {40, 50, 400, 300}},
        {192, {40, 50, 400, 300}, {20, 25, 200, 150}},
        {0, {40, 50, 400, 300}, {40, 50, 400, 300}},  // never saved: taken as it stands
        {-5, {41, 51, 401, 301}, {41, 51, 401, 301}},
    };
    for (const Case& k : cases) {
        auto ic = CreatePropertyInterceptor(Form);
        auto* f = dynamic_cast<TFormStoragePropertyInterceptor*>(ic.get());
        ASSERT_NE(f, nullptr);
        f->SetPixelsPerInch(k.Ppi);
        f->SetLeft(k.Bounds.Left);
        f->SetTop(k.Bounds.Top);
        f->SetWidth(k.Bounds.Right);
        f->SetHeight(k.Bounds.Bottom);
        f->AfterRestore();
        EXPECT_EQ(Form->Left(), k.Expected.Left) << k.Ppi;
        EXPECT_EQ(Form->Top(), k.Expected.Top) << k.Ppi;
        EXPECT_EQ(Form->Width(), k.Expected.Right) << k.Ppi;
        EXPECT_EQ(Form->Height(), k.Expected.Bottom) << k.Ppi;
    }
}

TEST_F(GridSetupTest, FormInterceptorKeepsARestoredPlaceOfACentredForm) {
    for (bool restorePos : {false, true}) {
        Form->SetPosition(ui::poScreenCenter);
        auto ic = CreatePropertyInterceptor(Form);
        auto* f = static_cast<TFormStoragePropertyInterceptor*>(ic.get());
        f->SetWidth(222);
        if (restorePos) f->SetLeft(5);
        f->AfterRestore();
        EXPECT_EQ(Form->Position(), restorePos ? ui::poDesigned : ui::poScreenCenter);
    }
}

TEST(PropertyInterceptors, ALaterRegistrationReplacesTheEarlierOne) {
    class TOther : public TFormStoragePropertyInterceptor {
        RTL_CLASS(TOther, TFormStoragePropertyInterceptor)
    public:
        using TFormStoragePropertyInterceptor::TFormStoragePropertyInterceptor;
    };
    static_assert(std::is_same_v<TOther::inherited, TFormStoragePropertyInterceptor>);
    auto count = [] {
        int n = 0;
        for (const auto& e : ClassPropertyInterceptors())
            if (e.TargetClass == &ui::TCustomForm::StaticClass()) ++n;
        return n;
    };
    RegisterClassPropertyInterceptor<ui::TCustomForm, TOther>();
    EXPECT_EQ(count(), 1);
    UnregisterClassPropertyInterceptor(&ui::TCustomForm::StaticClass(),
                                       &TFormStoragePropertyInterceptor::StaticClass());
    EXPECT_EQ(count(), 1);
    UnregisterClassPropertyInterceptor(&ui::TCustomForm::StaticClass(), &TOther::StaticClass());
    EXPECT_EQ(count(), 0);
    RegisterClassPropertyInterceptor<ui::TCustomForm, TFormStoragePropertyInterceptor>();
    EXPECT_EQ(count(), 1);
}

}  // namespace
}  // namespace gridtest
