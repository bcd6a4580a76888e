// The resources every data grid shares and the storage interceptors of its columns.
#include <array>

#include "controls/grid/DBGridEh_Setup.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Forms.h"

namespace grid {

ui::TShortCut IncSearchShortCut = ui::scCtrl | 'F';
ui::TShortCut IncSearchNextShortCut = ui::scCtrl | 0x0D;
ui::TShortCut IncSearchPriorShortCut = ui::scCtrl | ui::scShift | 0x0D;
ui::TShortCut CopyFromPreviousShortCut = ui::scCtrl | 222;
ui::TShortCut FindDialogShortCut = ui::scCtrl | 'F';
int IncSearchInterval = 1500;
ui::TColor IncSearchHighlightColor = static_cast<ui::TColor>(0x0000FFFF);
ui::TColor IncSearchHighlightFontColor = static_cast<ui::TColor>(0);
bool NoDoubleBuffering = false;

namespace {

constexpr ui::TColor Magenta = static_cast<ui::TColor>(0xFF00FF);
constexpr ui::TColor White = static_cast<ui::TColor>(0xFFFFFF);
constexpr ui::TColor Teal = static_cast<ui::TColor>(0x808000);
constexpr ui::TColor Black = static_cast<ui::TColor>(0);

// A glyph drawn from rows of characters: '#' ink, '.' the mask colour, 'o' a second ink.
rtl::TOwnedPtr<ui::TBitmap> Glyph(std::initializer_list<const char*> Rows, ui::TColor Mask, ui::TColor Ink = Black,
                                  ui::TColor Ink2 = White) {
    auto bmp = rtl::Adopt(rtl::Create<ui::TBitmap>());
    const int h = static_cast<int>(Rows.size());
    const int w = static_cast<int>(std::string_view(*Rows.begin()).size());
    bmp->SetSize(w, h);
    int y = 0;
    for (const char* row : Rows) {
        for (int x = 0; x < w; ++x) bmp->Canvas()->SetPixel(x, y, row[x] == '#' ? Ink : row[x] == 'o' ? Ink2 : Mask);
        ++y;
    }
    return bmp;
}

// Row-indicator glyphs, 6 x 11.
rtl::TOwnedPtr<ui::TBitmap> ArrowGlyph(ui::TColor Mask) {
    return Glyph(
        {"......", "......", "#.....", "##....", "###...", "####..", "###...", "##....", "#.....", "......", "......"},
        Mask);
}

struct TGridResources {
    rtl::TOwnedPtr<ui::TImageList> Indicators;
    rtl::TOwnedPtr<ui::TImageList> SortMarkers;
    rtl::TOwnedPtr<ui::TFont> SortFont;
    rtl::TOwnedPtr<TColCellParamsEh> Scratch;
    rtl::TOwnedPtr<ui::TBitmap> WorkBitmap;
    int WorkBitmapUsers = 0;

    TGridResources() {
        auto down = Glyph({"..........", "..........", "#########.", ".#######..", "..#####...", "...###....",
                           "....#.....", "..........", ".........."},
                          Magenta, static_cast<ui::TColor>(0x808080));
        SortFont = rtl::Adopt(rtl::Create<ui::TFont>());
        SortFont->SetHeight(1 - down->Height());
        SortFont->SetName("Arial");

        Indicators = rtl::Adopt(rtl::Create<ui::TImageList>(nullptr));
        Indicators->SetSize(6, 11);
        Indicators->AddMasked(ArrowGlyph(White).get(), White);
        // Editing, inserting, multi-dot and multi-arrow.
        static const std::initializer_list<const char*> Others[] = {
            {"......", "##.##.", "..#...", "..#...", "..#...", "..#...", "..#...", "..#...", "..#...", "##.##.",
             "......"},
            {"......", "......", "..#...", "#.#.#.", ".###..", "#####.", ".###..", "#.#.#.", "..#...", "......",
             "......"},
            {"......", "......", "......", "......", "..##..", "..##..", "......", "......", "......", "......",
             "......"},
            {"......", "#.....", "##....", "###...", "####..", "#####.", "####..", "###...", "##....", "#.....",
             "......"},
        };
        for (const auto& rows : Others) Indicators->AddMasked(Glyph(rows, White).get(), White);
        Indicators->AddMasked(ArrowGlyph(Teal).get(), Teal);

        SortMarkers = rtl::Adopt(rtl::Create<ui::TImageList>(nullptr));
        SortMarkers->SetSize(down->Width(), down->Height());
        SortMarkers->AddMasked(down.get(), Magenta);
        SortMarkers->AddMasked(Glyph({"..........", "..........", "....#.....", "...###....", "..#####...",
                                      ".#######..", "#########.", "..........", ".........."},
                                     Magenta, static_cast<ui::TColor>(0x808080))
                                   .get(),
                               Magenta);
        SortMarkers->AddMasked(Glyph({"..........", "..........", "..........", "..#####...", "...###....",
                                      "....#.....", "..........", "..........", ".........."},
                                     White)
                                   .get(),
                               White);
        Scratch = rtl::Adopt(rtl::Create<TColCellParamsEh>());
    }

    // Entry 6: the current-row arrow on the incremental-search colour.
    void RefreshIncSearchImage() {
        ui::TColor bk = IncSearchHighlightColor;
        if (ui::ColorToRGB(bk) == ui::ColorToRGB(Teal)) bk = static_cast<ui::TColor>(0x7F7F00);
        auto bmp = ArrowGlyph(White);
        for (int y = 0; y < bmp->Height(); ++y)
            for (int x = 0; x < bmp->Width(); ++x)
                if (bmp->Canvas()->Pixel(x, y) == White) bmp->Canvas()->SetPixel(x, y, bk);
        if (Indicators->Count() >= 7) Indicators->Delete(6);
        Indicators->AddMasked(bmp.get(), Teal);
    }
};

TGridResources& Resources() {
    static TGridResources* r = [] {
        auto* res = new TGridResources();
        res->RefreshIncSearchImage();
        return res;
    }();
    return *r;
}

}  // namespace

ui::TCustomImageList* IndicatorImages() { return Resources().Indicators.get(); }
ui::TCustomImageList* SortMarkerImages() { return Resources().SortMarkers.get(); }
ui::TFont* SortMarkerFont() { return Resources().SortFont.get(); }
TColCellParamsEh* CellParamsScratch() { return Resources().Scratch.get(); }
void RefreshIncSearchIndicatorImage() { Resources().RefreshIncSearchImage(); }

void RegisterGridCursors() {
    ui::Screen()->SetCursors(crDownCurEh, "DOWNCUREH");
    ui::Screen()->SetCursors(crRightCurEh, "RIGHTCUREH");
    ui::Screen()->SetCursors(crLeftCurEh, "LEFTCUREH");
}

void AcquireWorkBitmap() {
    TGridResources& r = Resources();
    if (r.WorkBitmapUsers == 0) r.WorkBitmap = rtl::Adopt(rtl::Create<ui::TBitmap>());
    ++r.WorkBitmapUsers;
}

void ReleaseWorkBitmap() {
    TGridResources& r = Resources();
    if (r.WorkBitmapUsers <= 0) return;
    if (--r.WorkBitmapUsers == 0) r.WorkBitmap.reset();
}

ui::TBitmap* GridWorkBitmap() noexcept { return Resources().WorkBitmap.get(); }
int GridWorkBitmapUsers() noexcept { return Resources().WorkBitmapUsers; }

// ---------------------------------------------------------------------------------------------
// Column interceptors

void TColumnEhPropertyInterceptor::SetWidth(int Value) {
    auto* column = dynamic_cast<TColumnEh*>(FTarget);
    if (!column) return;
    TCustomDBGridEh* g = column->Grid();
    if (g && g->AutoFitColWidths())
        column->SetFitWidth(Value);
    else
        column->SetWidth(Value);
}

AnsiString TColumnsEhPropertyInterceptor::ColumnsIndex() const {
    auto* columns = dynamic_cast<TDBGridColumnsEh*>(FTarget);
    AnsiString s;
    if (!columns) return s;
    for (int i = 0; i < columns->Count(); ++i) {
        if (i > 0) s += ',';
        s += '"' + rtl::WideToAnsi(columns->Items(i)->FieldName()) + '"';
    }
    return s;
}

void TColumnsEhPropertyInterceptor::SetColumnsIndex(const AnsiString& Value) {
    FColumnsIndex = Value;
    auto* columns = dynamic_cast<TDBGridColumnsEh*>(FTarget);
    if (!columns) return;
    auto names = rtl::Adopt(rtl::Create<rtl::TStringList>());
    names->SetCommaText(Value);
    columns->BeginUpdate();
    struct TEnd {
        rtl::TCollection* C;
        ~TEnd() { C->EndUpdate(); }
    } end{columns};
    // Only names that have a column take a place, so a longer stored list never asks for an
    // index past the columns.
    int target = 0;
    for (int i = 0; i < names->Count(); ++i) {
        const AnsiString& name = names->Strings(i);
        for (int k = 0; k < columns->Count(); ++k) {
            if (rtl::AnsiCompareStr(rtl::WideToAnsi(columns->Items(k)->FieldName()), name) == 0) {
                columns->Items(k)->SetIndex(target++);
                break;
            }
        }
    }
}

void RegisterGridPropertyInterceptors() {
    RegisterClassPropertyInterceptor<TColumnEh, TColumnEhPropertyInterceptor>();
    RegisterClassPropertyInterceptor<TDBGridColumnsEh, TColumnsEhPropertyInterceptor>();
}

namespace {
const bool GridInterceptorsRegistered = [] {
    RegisterGridPropertyInterceptors();
    return true;
}();
}  // namespace

}  // namespace grid
