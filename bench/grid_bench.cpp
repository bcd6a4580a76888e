// The base grid's paint on the recording surface: a full 1920x1080 grid of 40 default-sized
// columns at a million rows beside a thousand (the cost must not grow with the row count), at the
// top and near the end, beside the same lines, fills and texts drawn straight onto the surface;
// and page-downs, each followed by the paint of what it invalidated.
//
//   build/release/grid_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
//       --benchmark_report_aggregates_only=true
// and compare the "min" rows of each pair.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "controls/grid/DBGridEh.h"
#include "controls/grid/DBGridEhImpExp.h"
#include "controls/grid/DBLookupEh.h"
#include "controls/grid/DBSumLst.h"
#include "controls/grid/GridsEh.h"
#include "framework/rtl/DateUtils.h"
#include "framework/ui/Forms.h"
#include "tests/support/memds_fixture.h"

namespace {

using namespace ui;

constexpr int ClientW = 1920;
constexpr int ClientH = 1080;
constexpr int Columns = 40;

// The cell's short text.
inline void CellText(char* Buf, int Col, int Row) { std::snprintf(Buf, 24, "%d:%d", Col, Row % 1000); }

class TBenchGrid : public grid::TCustomGridEh {
    RTL_CLASS(TBenchGrid, grid::TCustomGridEh)
public:
    using TCustomGridEh::TCustomGridEh;
    void DrawCell(int ACol, int ARow, const TRect& ARect, grid::TGridDrawState) override {
        char buf[24];
        CellText(buf, ACol, ARow);
        Canvas()->TextOut(ARect.Left + 2, ARect.Top + 2, buf);
    }
};

struct TSetup {
    TForm* Form = nullptr;
    TBenchGrid* Grid = nullptr;
    TRecordingSurface* Surface = nullptr;

    explicit TSetup(int Rows) {
        Form = rtl::Create<TForm>(nullptr);
        Form->SetBounds(0, 0, ClientW + 40, ClientH + 60);
        Grid = rtl::Create<TBenchGrid>(Form);
        Grid->SetBorderStyle(TBorderStyle::bsNone);
        Grid->SetScrollBars(TScrollStyle::ssNone);
        Grid->SetColCount(Columns);
        Grid->SetRowCount(Rows);
        Grid->SetBounds(0, 0, ClientW, ClientH);
        Grid->SetParent(Form);
        Form->Show();
        Grid->SetFocus();
        Surface = static_cast<TRecordingSurface*>(Form->Surface());
        Paint();
    }
    ~TSetup() { Form->Free(); }
    void Paint() {
        Grid->UpdateWindow();
        Surface->Clear();
    }
    void FullPaint() {
        Grid->Invalidate();
        Paint();
    }
};

void BM_BaseGridPaint(benchmark::State& State) {
    TSetup s(static_cast<int>(State.range(0)));
    for (auto _ : State) s.FullPaint();
    s.Grid->Invalidate();
    s.Grid->UpdateWindow();
    State.counters["records"] = static_cast<double>(s.Surface->Records().size());
}

void BM_BaseGridPaintEnd(benchmark::State& State) {
    const int rows = static_cast<int>(State.range(0));
    TSetup s(rows);
    s.Grid->SetRow(rows - 1);
    s.Paint();
    if (s.Grid->TopRow() < rows - 50) State.SkipWithError("the grid did not scroll to its end");
    for (auto _ : State) s.FullPaint();
}

void BM_BaseGridPageDown(benchmark::State& State) {
    TSetup s(static_cast<int>(State.range(0)));
    for (auto _ : State) {
        for (int i = 0; i < 100; ++i) {
            uint16_t key = VK_NEXT;
            s.Grid->KeyDown(key, TShiftState{});
            s.Paint();
        }
        // Back to the top for the next round.
        s.Grid->FocusCell(1, 1, true);
        s.Paint();
    }
    State.SetItemsProcessed(State.iterations() * 100);
}

// The same picture drawn straight on the surface: per cell the font, a fill and the text, and
// the lines of each area in one poly-polyline.
void BM_DirectBaseCells(benchmark::State& State) {
    TSetup s(static_cast<int>(State.range(0)));
    TFont font;
    font.Assign(s.Grid->Font());
    const TPoint origin = s.Grid->ClientToParent(TPoint{0, 0}, s.Form);
    TCanvas c(s.Surface);
    c.SetViewportOrgEx(origin.X, origin.Y);
    TRegion clip;
    clip.Union(TRect{origin.X, origin.Y, origin.X + ClientW, origin.Y + ClientH});
    const int cw = 64, rh = 24, lw = 1;
    const int cols = (ClientW + cw) / (cw + lw);
    const int rows = (ClientH + rh) / (rh + lw);
    std::vector<TPoint> points(2 * (cols + rows + 3));
    std::vector<int> counts(cols + rows + 3, 2);
    auto lines = [&](int x0, int y0, int x1, int y1, TColor color) {
        c.Pen()->SetColor(color);
        int n = 0;
        for (int x = x0 + cw; x <= x1 + lw; x += cw + lw, ++n) {
            points[2 * n] = TPoint{x, y0};
            points[2 * n + 1] = TPoint{x, y1};
        }
        c.PolyPolyline(points.data(), counts.data(), n);
        n = 0;
        for (int y = y0 + rh; y <= y1 + lw; y += rh + lw, ++n) {
            points[2 * n] = TPoint{x0, y};
            points[2 * n + 1] = TPoint{x1, y};
        }
        c.PolyPolyline(points.data(), counts.data(), n);
    };
    char buf[24];
    for (auto _ : State) {
        c.SelectClipRgn(&clip);
        lines(0, 0, cw + lw, rh + lw, clGray);
        lines(cw + lw, 0, ClientW, rh + lw, clGray);
        lines(0, rh + lw, cw + lw, ClientH, clGray);
        lines(cw + lw, rh + lw, ClientW, ClientH, clSilver);
        for (int row = 0, y = 0; row < rows; ++row, y += rh + lw)
            for (int col = 0, x = 0; col < cols && col < Columns; ++col, x += cw + lw) {
                const TRect r{x, y, x + cw, y + rh};
                if (!c.RectVisible(r)) continue;
                c.Font()->Assign(&font);
                c.Brush()->SetColor(row == 0 || col == 0 ? clBtnFace : clWindow);
                c.FillRect(r);
                CellText(buf, col, row);
                c.TextOut(r.Left + 2, r.Top + 2, buf);
            }
        s.Surface->Clear();
    }
}

// ---------------------------------------------------------------------------------------------
// The data grid's paint: a journal-like grid of 10 columns over a memory dataset (a key-list
// column, a check box, a date, Cyrillic texts, row colours from OnGetCellParams, two-level titles,
// a sort marker), about 45 rows on 1920x1080, beside the same picture drawn straight.

constexpr int JournalRows = 45;
const int JournalWidths[10] = {60, 260, 120, 140, 40, 320, 200, 260, 120, 300};

std::vector<std::vector<rtl::Variant>> JournalData(int Rows) {
    std::mt19937 rng(7);
    std::vector<std::vector<rtl::Variant>> rows;
    rows.reserve(static_cast<size_t>(Rows));
    for (int i = 1; i <= Rows; ++i)
        rows.push_back({rtl::Variant(i), rtl::Variant(rtl::UTF8ToAnsi(bench::RandomText(rng, 8, 30))),
                        rtl::Variant::FromDate(rtl::EncodeDate(2000, 1, 1) + i % 9000), rtl::Variant(i % 3 + 1),
                        rtl::Variant(AnsiString(i % 2 ? "1" : "0")),
                        rtl::Variant(rtl::UTF8ToAnsi(bench::RandomText(rng, 10, 50))),
                        rtl::Variant(AnsiString("D-") + std::to_string(i)),
                        rtl::Variant(rtl::UTF8ToAnsi(bench::RandomText(rng, 5, 25))), rtl::Variant(i * 7 % 1000),
                        rtl::Variant(rtl::UTF8ToAnsi(bench::RandomText(rng, 5, 40)))});
    return rows;
}

struct TJournal {
    memdstest::TFixture Data;
    TForm* Form = nullptr;
    grid::TDBGridEh* Grid = nullptr;
    TRecordingSurface* Surface = nullptr;

    explicit TJournal(int Rows)
        : Data({{u"id", store::mdtInt32, 4},
                {u"name", store::mdtString, 61, 60},
                {u"born", store::mdtDate, 8},
                {u"cid", store::mdtInt32, 4},
                {u"flag", store::mdtString, 2, 1},
                {u"note", store::mdtString, 101, 100},
                {u"doc", store::mdtString, 21, 20},
                {u"place", store::mdtString, 61, 60},
                {u"num", store::mdtInt32, 4},
                {u"state", store::mdtString, 81, 80}},
               JournalData(Rows)) {
        Data.DS->Open();
        Form = rtl::Create<TForm>(nullptr);
        Form->SetBounds(0, 0, ClientW + 40, ClientH + 60);
        auto* src = rtl::Create<db::TDataSource>(Form);
        src->SetDataSet(Data.DS.get());
        Grid = rtl::Create<grid::TDBGridEh>(Form);
        Grid->SetBorderStyle(TBorderStyle::bsNone);
        Grid->SetScrollBars(TScrollStyle::ssNone);
        Grid->SetFlat(true);
        const char16_t* names[10] = {u"id",   u"name", u"born",  u"cid", u"flag",
                                     u"note", u"doc",  u"place", u"num", u"state"};
        const char* captions[10] = {"N",          "ЭПМК|Наименование", "ЭПМК|Дата прот.", "Город", "F",
                                    "Примечание", "Документ|Шифр",     "Документ|Место",  "Номер", "Состояние"};
        for (int i = 0; i < 10; ++i) {
            grid::TColumnEh* c = Grid->Columns()->Add();
            c->SetFieldName(names[i]);
            c->Title()->SetCaption(rtl::UTF8ToAnsi(std::string_view(captions[i])));
            c->SetWidth(JournalWidths[i]);
        }
        grid::TColumnEh* city = Grid->Columns()->Items(3);
        city->KeyList()->SetText("1\n2\n3");
        city->PickList()->SetText(rtl::UTF8ToAnsi(std::string_view("Тула\nОрёл\nКалуга")));
        Grid->Columns()->Items(4)->SetCheckboxes(true);
        Grid->Columns()->Items(4)->KeyList()->SetText("1\n0");
        Grid->Columns()->Items(2)->Title()->SetSortMarker(grid::smDownEh);
        db::TField* state = Data.F("num");
        Grid->OnGetCellParams = [state](rtl::TObject*, grid::TColumnEh*, TFont*, TColor& Background,
                                        grid::TGridDrawState) {
            if (state->AsInteger() % 5 == 0) Background = TColor(0xE0FFFF);
        };
        Grid->SetDataSource(src);
        Grid->SetBounds(0, 0, ClientW, ClientH);
        Grid->SetParent(Form);
        Grid->SetRowHeights(0, 40);
        Grid->SetUseMultiTitle(true);
        Grid->RebuildLayout();
        Grid->DataLink()->SetBufferCount(JournalRows);
        Grid->SetRowCount(Grid->TitleRowCount() + JournalRows);
        Form->Show();
        Grid->SetFocus();
        Surface = static_cast<TRecordingSurface*>(Form->Surface());
        FullPaint();
    }
    ~TJournal() { Form->Free(); }
    void FullPaint() {
        Grid->Invalidate();
        Grid->UpdateWindow();
        Surface->Clear();
    }
};

void BM_GridPaint(benchmark::State& State) {
    TJournal j(static_cast<int>(State.range(0)));
    const int recNo = j.Data.DS->RecNo();
    const int64_t before = j.Grid->RecordSwitchCount();
    for (auto _ : State) j.FullPaint();
    if (j.Data.DS->RecNo() != recNo) State.SkipWithError("the paint moved the dataset");
    State.counters["switches_per_paint"] =
        static_cast<double>(j.Grid->RecordSwitchCount() - before) / static_cast<double>(State.iterations());
}

// The same visible records read through TField and drawn straight: fills, lines, texts, check
// boxes and title gradients.
void BM_DirectDataCells(benchmark::State& State) {
    TJournal j(static_cast<int>(State.range(0)));
    db::TDataLink* link = j.Grid->DataLink();
    std::vector<db::TField*> fields;
    for (int i = 0; i < 10; ++i) fields.push_back(j.Grid->Columns()->Items(i)->Field());
    const TPoint origin = j.Grid->ClientToParent(TPoint{0, 0}, j.Form);
    TCanvas c(j.Surface);
    c.SetViewportOrgEx(origin.X, origin.Y);
    TFont font;
    font.Assign(j.Grid->Font());
    const int rh = j.Grid->DefaultRowHeight();
    const int titleH = 40;
    for (auto _ : State) {
        // Titles: a gradient per cell and its caption.
        int x = 12;
        for (int i = 0; i < 10; ++i) {
            const TRect r{x, 0, x + JournalWidths[i], titleH};
            editors::FillGradientVertical(&c, r, clBtnHighlight, clBtnFace);
            c.Font()->Assign(&font);
            c.Brush()->SetStyle(bsClear);
            c.TextRect(r, r.Left + 2, r.Top + 12, "caption");
            c.Brush()->SetStyle(bsSolid);
            x += JournalWidths[i] + 1;
        }
        const int saved = link->ActiveRecord();
        const int n = link->RecordCount();
        for (int row = 0; row < n; ++row) {
            link->SetActiveRecord(row);
            const int y = titleH + 1 + row * (rh + 1);
            const TColor back = fields[8]->AsInteger() % 5 == 0 ? TColor(0xE0FFFF) : clWindow;
            x = 12;
            for (int i = 0; i < 10; ++i) {
                const TRect r{x, y, x + JournalWidths[i], y + rh};
                c.Brush()->SetColor(back);
                if (i == 4) {
                    c.FillRect(r);
                    editors::DrawEditButtonFace(&c, TRect{r.Left + 13, r.Top + 4, r.Left + 26, r.Top + 17}, back,
                                                editors::bfsCheckBox, 0, true, false, true,
                                                fields[4]->Text() == "1" ? editors::cbChecked : editors::cbUnchecked);
                } else {
                    c.Font()->Assign(&font);
                    c.TextRect(r, r.Left + 2, r.Top + 1, fields[i]->DisplayText());
                }
                x += JournalWidths[i] + 1;
            }
            c.Pen()->SetColor(clSilver);
            c.MoveTo(0, y + rh);
            c.LineTo(ClientW, y + rh);
        }
        link->SetActiveRecord(saved);
        j.Surface->Clear();
    }
}

BENCHMARK(BM_GridPaint)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_DirectDataCells)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);
// A title click on a data grid over a memory dataset: the mouse messages, the marker cycle, the
// application's OnSortMarkingChanged and the repaint of what was invalidated.
struct TSortSetup {
    memdstest::TFixture Data;
    TForm* Form = nullptr;
    db::TDataSource* Src = nullptr;
    grid::TDBGridEh* Grid = nullptr;

    static std::vector<std::vector<rtl::Variant>> Rows(int N) {
        std::vector<std::vector<rtl::Variant>> rows;
        rows.reserve(N);
        for (int i = 1; i <= N; ++i)
            rows.push_back({rtl::Variant(i * 10), rtl::Variant(AnsiString("n") + std::to_string((i * 7919) % N)),
                            rtl::Variant(static_cast<int16_t>(i % 100))});
        return rows;
    }
    TSortSetup(int N, bool Sort) : Data(memdstest::PeopleCols(), Rows(N)) {
        Data.DS->Open();
        Form = rtl::Create<TForm>(nullptr);
        Form->SetBounds(0, 0, 900, 700);
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Data.DS.get());
        Grid = rtl::Create<grid::TDBGridEh>(Form);
        Grid->SetBounds(0, 0, 800, 600);
        for (const char16_t* n : {u"id", u"name", u"qty"}) Grid->Columns()->Add()->SetFieldName(n);
        for (int i = 0; i < 3; ++i) Grid->Columns()->Items(i)->Title()->SetTitleButton(true);
        Grid->SetOptionsEh(Grid->OptionsEh() + grid::TDBGridEhOptions{grid::dghAutoSortMarking});
        Grid->SetDataSource(Src);
        Grid->SetParent(Form);
        if (Sort)
            Grid->OnSortMarkingChanged = [this](rtl::TObject*) { Data.DS->SetIndexFieldNames(SortText()); };
        else
            Grid->OnSortMarkingChanged = [](rtl::TObject*) {};
        Form->Show();
        Grid->SetFocus();
        Grid->UpdateWindow();
    }
    ~TSortSetup() { Form->Free(); }
    AnsiString SortText() const {
        grid::TColumnsEhList* list = Grid->SortMarkedColumnList();
        if (list->Count() == 0) return "";
        grid::TColumnEh* c = list->Items(0);
        AnsiString s = rtl::WideToAnsi(c->FieldName());
        if (c->Title()->SortMarker() == grid::smUpEh) s += " DESC";
        return s;
    }
    void TitleClick() {
        const TRect r = Grid->SingleCellRect(Grid->DataToGridCol(1), 0);
        const TPoint p = Grid->ClientToScreen(TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
        ResetDoubleClick();
        MouseInput(WM_LBUTTONDOWN, p);
        Application()->ProcessMessages();
        MouseInput(WM_LBUTTONUP, p);
        Application()->ProcessMessages();
        Grid->UpdateWindow();
    }
};

// The marker cycles none, down, up, down...: after the first click each round sorts DESC then ASC.
void BM_TitleClickSort(benchmark::State& State) {
    TSortSetup s(static_cast<int>(State.range(0)), true);
    s.TitleClick();
    for (auto _ : State) s.TitleClick();
    if (s.Data.DS->IndexFieldNames().empty()) State.SkipWithError("the click did not sort");
}

void BM_IndexFieldNamesOnly(benchmark::State& State) {
    TSortSetup s(static_cast<int>(State.range(0)), false);
    bool desc = true;
    s.Data.DS->SetIndexFieldNames("name");
    for (auto _ : State) {
        s.Data.DS->SetIndexFieldNames(desc ? "name DESC" : "name");
        desc = !desc;
    }
}

void BM_TitleClickNoSort(benchmark::State& State) {
    TSortSetup s(static_cast<int>(State.range(0)), false);
    for (auto _ : State) s.TitleClick();
}

BENCHMARK(BM_TitleClickSort)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_IndexFieldNamesOnly)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_TitleClickNoSort)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_BaseGridPaint)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_DirectBaseCells)->Arg(1000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_BaseGridPaintEnd)
    ->Arg(1000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_BaseGridPageDown)
    ->Arg(10000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", bench::Fastest);

// ---------------------------------------------------------------------------------------------
// The data grid: 40 rows of 8 columns over the memory dataset, moved by scroll messages and
// painted through the window update.

constexpr int DataRows = 40;
constexpr int DataColumns = 8;

// The grid's cells show their column's display text (cell painting proper is the painter's).
class TBenchDBGrid : public grid::TDBGridEh {
    RTL_CLASS(TBenchDBGrid, grid::TDBGridEh)
public:
    using TDBGridEh::TDBGridEh;
    void DrawDataCell(int, int, const grid::TCellAreaEh& Area, grid::TGridDrawState, const TRect& R) override {
        grid::TColumnEh* c = Columns()->Items(Area.DataCol);
        SwitchToDataRow(Area.DataRow);
        Canvas()->TextOut(R.Left + 2, R.Top + 2, c->KeyListDisplayText());
        RestoreActiveRecord();
    }
    void Scroll(uint16_t Code) {
        TMessage m{};
        m.Msg = WM_VSCROLL;
        m.WParamLo = Code;
        TWMScroll s(m);
        WMVScroll(s);
    }
};

std::vector<std::vector<rtl::Variant>> DataRowsOf(int N) {
    std::mt19937 rng(38);
    std::vector<std::vector<rtl::Variant>> rows;
    rows.reserve(static_cast<size_t>(N));
    for (int i = 0; i < N; ++i) {
        std::vector<rtl::Variant> r{rtl::Variant(i + 1)};
        for (int c = 1; c < DataColumns; ++c)
            r.push_back(c == 3 && i % 7 == 0 ? rtl::Variant::Null()
                                             : rtl::Variant(rtl::UTF8ToAnsi(bench::RandomText(rng, 6, 20))));
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<memdstest::TCol> DataCols() {
    std::vector<memdstest::TCol> cols{{u"id", store::mdtInt32, 4}};
    static const char16_t* names[] = {u"c1", u"c2", u"c3", u"c4", u"c5", u"c6", u"c7"};
    for (const char16_t* n : names) cols.push_back({n, store::mdtString, 21, 20});
    return cols;
}

struct TDataSetup {
    memdstest::TFixture Data;
    TForm* Form = nullptr;
    db::TDataSource* Src = nullptr;
    TBenchDBGrid* Grid = nullptr;
    TRecordingSurface* Surface = nullptr;

    explicit TDataSetup(int Rows) : Data(DataCols(), DataRowsOf(Rows)) {
        Data.DS->Open();
        Form = rtl::Create<TForm>(nullptr);
        Form->SetBounds(0, 0, 900, 1200);
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Data.DS.get());
        Grid = rtl::Create<TBenchDBGrid>(Form);
        Grid->SetBounds(0, 0, 800, 400);
        Grid->SetParent(Form);
        Grid->SetDataSource(Src);
        Form->Show();
        Grid->SetFocus();
        // Exactly the title and 40 data rows.
        Grid->SetClientHeight(Grid->TitleRowHeight() + 1 + DataRows * (Grid->DefaultDataRowHeight() + 1));
        Application()->ProcessMessages();
        Surface = static_cast<TRecordingSurface*>(Form->Surface());
        Paint();
    }
    ~TDataSetup() { Form->Free(); }
    void Paint() {
        Grid->UpdateWindow();
        Surface->Clear();
    }
    void Top() {
        Data.DS->First();
        Paint();
    }
};

void CheckShape(benchmark::State& State, TDataSetup& S) {
    if (S.Grid->DataRowCount() != DataRows || S.Grid->Columns()->Count() != DataColumns)
        State.SkipWithError("the grid is not 40 rows of 8 columns");
}

void BM_GridLineDown(benchmark::State& State) {
    TDataSetup s(static_cast<int>(State.range(0)));
    CheckShape(State, s);
    for (auto _ : State) {
        s.Top();
        for (int i = 0; i < 1000; ++i) {
            s.Grid->Scroll(SB_LINEDOWN);
            s.Paint();
        }
    }
    State.SetItemsProcessed(State.iterations() * 1000);
}

void BM_GridPageDown(benchmark::State& State) {
    TDataSetup s(static_cast<int>(State.range(0)));
    CheckShape(State, s);
    for (auto _ : State) {
        s.Top();
        for (int i = 0; i < 40; ++i) {
            s.Grid->Scroll(SB_PAGEDOWN);
            s.Paint();
        }
    }
    State.SetItemsProcessed(State.iterations() * 40);
}

void BM_GridLineDownPaint(benchmark::State& State) {
    const int rows = static_cast<int>(State.range(0));
    TDataSetup s(rows);
    CheckShape(State, s);
    for (auto _ : State) {
        if (s.Data.DS->RecNo() > rows - 2 * DataRows) {
            State.PauseTiming();
            s.Top();
            State.ResumeTiming();
        }
        s.Grid->Scroll(SB_LINEDOWN);
        s.Paint();
    }
}

void BM_GridFullPaint(benchmark::State& State) {
    TDataSetup s(static_cast<int>(State.range(0)));
    CheckShape(State, s);
    for (auto _ : State) {
        s.Grid->Invalidate();
        s.Paint();
    }
}

void BM_LocateTextNoMatch(benchmark::State& State) {
    TDataSetup s(static_cast<int>(State.range(0)));
    CheckShape(State, s);
    const rtl::AnsiString text = rtl::UTF8ToAnsi(std::string_view("нет такого текста"));
    for (auto _ : State) {
        const bool found =
            s.Grid->LocateText(u"", text, grid::lmtAnyPartEh, grid::ltdAllEh,
                               grid::ltoCaseInsensitiveEh | grid::ltoAllFieldsEh | grid::ltoMatchFormatEh);
        if (found) State.SkipWithError("found");
    }
}

// The same display texts of every visible column, read and upper-cased in a plain loop.
void BM_BaselineUpperScan(benchmark::State& State) {
    TDataSetup s(static_cast<int>(State.range(0)));
    CheckShape(State, s);
    db::TDataSet* ds = s.Data.DS.get();
    std::vector<db::TField*> fields;
    for (int i = 0; i < s.Grid->DisplayedColumnList()->Count(); ++i)
        fields.push_back(s.Grid->DisplayedColumnList()->Items(i)->Field());
    size_t total = 0;
    for (auto _ : State) {
        ds->DisableControls();
        ds->First();
        while (!ds->Eof()) {
            for (db::TField* f : fields) total += rtl::AnsiUpperCase(f->DisplayText()).size();
            ds->Next();
        }
        ds->First();
        ds->EnableControls();
    }
    benchmark::DoNotOptimize(total);
}

BENCHMARK(BM_GridLineDown)
    ->Arg(2000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_GridPageDown)
    ->Arg(2000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_GridLineDownPaint)->Arg(100000)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_GridFullPaint)->Arg(100000)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_LocateTextNoMatch)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_BaselineUpperScan)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);
// Lookup: five characters typed into a lookup combo box (and into the lookup grid) over a list of
// Cyrillic names whose typed prefix matches only at the end of the list, beside the memory
// dataset's own partial, case-insensitive Locate of the same five prefixes and the key Locate the
// combo box adds. BM_LookupLocateFirst types a prefix that the first row matches: the fixed cost
// of a keystroke.

struct TLookupSetup {
    memdstest::TFixture List;
    TForm* Form = nullptr;
    db::TDataSource* Src = nullptr;
    grid::TDBLookupComboboxEh* Combo = nullptr;
    grid::TDBLookupGridEh* Grid = nullptr;

    static std::vector<std::vector<rtl::Variant>> Rows(int N) {
        std::vector<std::vector<rtl::Variant>> rows;
        const AnsiString early = rtl::UTF8ToAnsi(u8"Архив "), late = rtl::UTF8ToAnsi(u8"Яблоко ");
        for (int i = 0; i < N; ++i)
            rows.push_back({rtl::Variant(i + 1), rtl::Variant((i < N - 10 ? early : late) + std::to_string(i))});
        return rows;
    }
    explicit TLookupSetup(int N) : List({{u"id", store::mdtInt32, 4}, {u"name", store::mdtString, 41, 40}}, Rows(N)) {
        List.DS->Open();
        Form = rtl::Create<TForm>(nullptr);
        Form->SetBounds(0, 0, 600, 400);
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(List.DS.get());
        Combo = rtl::Create<grid::TDBLookupComboboxEh>(Form);
        Combo->SetBounds(10, 10, 200, 21);
        Combo->SetParent(Form);
        Combo->SetListSource(Src);
        Combo->SetKeyField("id");
        Combo->SetListField("name");
        Grid = rtl::Create<grid::TDBLookupGridEh>(Form);
        Grid->SetBounds(10, 50, 300, 200);
        Grid->SetParent(Form);
        Grid->SetListSource(Src);
        Grid->SetListField("name");
        Grid->SetKeyField("id");
        Form->Show();
        Application()->ProcessMessages();
    }
    ~TLookupSetup() { Form->Free(); }
};

TLookupSetup& LookupSetup() {
    static TLookupSetup s(10000);
    return s;
}

const AnsiString& LatePrefix() {
    static const AnsiString s = rtl::UTF8ToAnsi(u8"яблок");
    return s;
}
const AnsiString& EarlyPrefix() {
    static const AnsiString s = rtl::UTF8ToAnsi(u8"архив");
    return s;
}

void TypeInto(TWinControl* C, const AnsiString& Text) {
    for (char ch : Text) C->Perform(WM_CHAR, static_cast<unsigned char>(ch), 0);
}

void RunComboTyping(benchmark::State& state, const AnsiString& Prefix) {
    TLookupSetup& s = LookupSetup();
    s.Combo->SetFocus();
    Application()->ProcessMessages();
    for (auto _ : state) {
        state.PauseTiming();
        s.Combo->SetKeyValue(rtl::Variant::Null());
        s.Combo->SetSel(0, 0);
        s.List.DS->First();
        state.ResumeTiming();
        TypeInto(s.Combo, Prefix);
        benchmark::DoNotOptimize(s.Combo->EditText());
    }
    if (s.Combo->KeyValue().IsNull()) state.SkipWithError("nothing found");
}

void BM_LookupLocateText(benchmark::State& state) { RunComboTyping(state, LatePrefix()); }
BENCHMARK(BM_LookupLocateText)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_LookupLocateFirst(benchmark::State& state) { RunComboTyping(state, EarlyPrefix()); }
BENCHMARK(BM_LookupLocateFirst)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_LookupGridIncSearch(benchmark::State& state) {
    TLookupSetup& s = LookupSetup();
    for (auto _ : state) {
        state.PauseTiming();
        s.Grid->ClearSearchText();
        s.Grid->SetKeyValue(rtl::Variant::Null());
        s.List.DS->First();
        state.ResumeTiming();
        TypeInto(s.Grid, LatePrefix());
        benchmark::DoNotOptimize(s.Grid->KeyValue());
    }
    if (s.Grid->KeyValue().IsNull()) state.SkipWithError("nothing found");
}
BENCHMARK(BM_LookupGridIncSearch)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_BaselineLocatePartial(benchmark::State& state) {
    TLookupSetup& s = LookupSetup();
    db::TDataSet* ds = s.List.DS.get();
    for (auto _ : state) {
        state.PauseTiming();
        ds->First();
        state.ResumeTiming();
        for (size_t n = 1; n <= LatePrefix().size(); ++n)
            ds->Locate(u"name", rtl::Variant(LatePrefix().substr(0, n)),
                       db::TLocateOptions{db::loCaseInsensitive, db::loPartialKey});
        const rtl::Variant key = ds->FieldValues(u"id");
        ds->Locate(u"id", key, {});
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_BaselineLocatePartial)->Arg(10000)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// The clipboard commands: a copy of 10 columns in all five formats beside the same display texts
// read in five walks as tab text, and a paste of the rows in append mode beside appending and
// posting the same values, both under DisableControls.

constexpr int CopyColumns = 10;

std::vector<memdstest::TCol> CopyCols() {
    std::vector<memdstest::TCol> cols{{u"id", store::mdtInt32, 4}};
    static const char16_t* names[] = {u"c1", u"c2", u"c3", u"c4", u"c5", u"c6", u"c7"};
    for (const char16_t* n : names) cols.push_back({n, store::mdtString, 21, 20});
    cols.push_back({u"x", store::mdtFloat, 8});
    cols.push_back({u"n", store::mdtInt32, 4});
    return cols;
}

std::vector<std::vector<rtl::Variant>> CopyRowsOf(int N) {
    std::mt19937 rng(43);
    std::vector<std::vector<rtl::Variant>> rows;
    rows.reserve(static_cast<size_t>(N));
    for (int i = 0; i < N; ++i) {
        std::vector<rtl::Variant> r{rtl::Variant(i + 1)};
        for (int c = 1; c < 8; ++c)
            r.push_back(c == 3 && i % 7 == 0 ? rtl::Variant::Null()
                                             : rtl::Variant(rtl::UTF8ToAnsi(bench::RandomText(rng, 6, 20))));
        r.push_back(rtl::Variant(i * 0.25));
        r.push_back(rtl::Variant(i % 100));
        rows.push_back(std::move(r));
    }
    return rows;
}

struct TCopySetup {
    memdstest::TFixture Data;
    TForm* Form = nullptr;
    db::TDataSource* Src = nullptr;
    grid::TDBGridEh* Grid = nullptr;

    explicit TCopySetup(int Rows) : Data(CopyCols(), CopyRowsOf(Rows)) {
        Data.DS->Open();
        Form = rtl::Create<TForm>(nullptr);
        Form->SetBounds(0, 0, 900, 600);
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Data.DS.get());
        Grid = rtl::Create<grid::TDBGridEh>(Form);
        Grid->SetBounds(0, 0, 800, 400);
        Grid->SetParent(Form);
        Grid->SetDataSource(Src);
    }
    ~TCopySetup() { Form->Free(); }
};

void BM_GridCopy(benchmark::State& State) {
    TCopySetup s(static_cast<int>(State.range(0)));
    if (s.Grid->Columns()->Count() != CopyColumns) State.SkipWithError("not 10 columns");
    for (auto _ : State) {
        grid::GridClipboardCopy(s.Grid, true);
        benchmark::DoNotOptimize(Clipboard()->FormatCount());
    }
    if (Clipboard()->GetData(CF_TEXT).size() < static_cast<size_t>(State.range(0)) * CopyColumns)
        State.SkipWithError("the copy is short");
}

void BM_BaselineTabText(benchmark::State& State) {
    TCopySetup s(static_cast<int>(State.range(0)));
    db::TDataSet* ds = s.Data.DS.get();
    for (auto _ : State) {
        ds->DisableControls();
        for (int walk = 0; walk < 5; ++walk) {
            std::string out;
            out.reserve(1 << 20);
            for (ds->First(); !ds->Eof(); ds->Next()) {
                if (!out.empty()) out += "\r\n";
                for (int f = 0; f < ds->FieldCount(); ++f) {
                    if (f) out += '\t';
                    out += ds->Fields().Fields(f)->DisplayText();
                }
            }
            benchmark::DoNotOptimize(out.data());
        }
        ds->EnableControls();
    }
}

BENCHMARK(BM_GridCopy)->Arg(10000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_BaselineTabText)->Arg(10000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);

// The rows to paste, taken once from a copy of the source grid.
const std::vector<std::vector<rtl::Variant>>& PasteRows() {
    static const std::vector<std::vector<rtl::Variant>> rows = CopyRowsOf(10000);
    return rows;
}

void BM_GridPasteVCLDBIF(benchmark::State& State) {
    const int n = static_cast<int>(State.range(0));
    TCopySetup source(n);
    grid::GridClipboardCopy(source.Grid, true);
    TCopySetup target(0);
    db::TDataSet* ds = target.Data.DS.get();
    for (auto _ : State) {
        State.PauseTiming();
        ds->Close();
        ds->Open();
        State.ResumeTiming();
        grid::GridClipboardPaste(target.Grid, false);
    }
    if (ds->RecordCount() != n) State.SkipWithError("the paste is short");
}

void BM_BaselineAppendPost(benchmark::State& State) {
    const int n = static_cast<int>(State.range(0));
    TCopySetup target(0);
    db::TDataSet* ds = target.Data.DS.get();
    const auto& rows = PasteRows();
    for (auto _ : State) {
        State.PauseTiming();
        ds->Close();
        ds->Open();
        State.ResumeTiming();
        ds->DisableControls();
        for (int i = 0; i < n; ++i) {
            ds->Append();
            const auto& r = rows[static_cast<size_t>(i)];
            for (int f = 0; f < CopyColumns; ++f) ds->Fields().Fields(f)->SetValue(r[static_cast<size_t>(f)]);
            ds->Post();
        }
        ds->EnableControls();
    }
    if (ds->RecordCount() != n) State.SkipWithError("the append is short");
}

BENCHMARK(BM_GridPasteVCLDBIF)->Arg(10000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);
BENCHMARK(BM_BaselineAppendPost)->Arg(10000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);

// Sum list: one record edited and posted with three active sums, beside the same edit and post
// without sums (the upkeep must not grow with the rows); RecalcAll of the three sums, beside a
// loop that reads the same three fields under DisableControls and a bookmark.

struct TSumSetup {
    memdstest::TFixture Data;
    std::unique_ptr<grid::TDBSumListProducer> Sums;
    explicit TSumSetup(int N, bool WithSums)
        : Data({{u"id", store::mdtInt32, 4},
                {u"amount", store::mdtFloat, 8},
                {u"qty", store::mdtInt32, 4},
                {u"price", store::mdtFloat, 8}},
               SumRows(N)) {
        Data.DS->Open();
        if (!WithSums) return;
        Sums = std::make_unique<grid::TDBSumListProducer>(nullptr);
        const std::pair<grid::TGroupOperation, const char16_t*> defs[] = {
            {grid::goSum, u"amount"}, {grid::goAvg, u"price"}, {grid::goCount, u"qty"}};
        for (const auto& [op, name] : defs) {
            grid::TDBSum* s = Sums->SumCollection()->Add();
            s->SetGroupOperation(op);
            s->SetFieldName(name);
        }
        Sums->AttachDataSet(Data.DS.get());
    }
    static std::vector<std::vector<rtl::Variant>> SumRows(int N) {
        std::vector<std::vector<rtl::Variant>> rows;
        rows.reserve(static_cast<size_t>(N));
        for (int i = 0; i < N; ++i)
            rows.push_back({rtl::Variant(i), rtl::Variant(i * 0.25),
                            i % 7 ? rtl::Variant(i % 13) : rtl::Variant::Null(), rtl::Variant(1.5 + i % 100)});
        return rows;
    }
};

// One dataset per row count and sum setting, built on first use and kept for the run.
TSumSetup& SumSetup(bool WithSums, int N = 100000) {
    static std::map<std::pair<int, bool>, std::unique_ptr<TSumSetup>> setups;
    std::unique_ptr<TSumSetup>& s = setups[{N, WithSums}];
    if (!s) s = std::make_unique<TSumSetup>(N, WithSums);
    return *s;
}

void RunEditPost(benchmark::State& state, bool WithSums) {
    TSumSetup& s = SumSetup(WithSums, static_cast<int>(state.range(0)));
    db::TDataSet* ds = s.Data.DS.get();
    ds->SetRecNo(static_cast<int>(state.range(0)) / 2);
    db::TField* amount = s.Data.F("amount");
    double v = 1.0;
    for (auto _ : state) {
        ds->Edit();
        amount->SetAsFloat(v);
        ds->Post();
        v = v == 1.0 ? 2.0 : 1.0;
    }
}

void BM_SumListPost(benchmark::State& state) { RunEditPost(state, true); }
BENCHMARK(BM_SumListPost)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", bench::Fastest);
void BM_PostNoSums(benchmark::State& state) { RunEditPost(state, false); }
BENCHMARK(BM_PostNoSums)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", bench::Fastest);

void BM_SumListRecalcAll(benchmark::State& state) {
    TSumSetup& s = SumSetup(true);
    for (auto _ : state) s.Sums->RecalcAll();
    benchmark::DoNotOptimize(s.Sums->SumCollection()->Items(0)->SumValue.Value);
}
BENCHMARK(BM_SumListRecalcAll)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);

void BM_BaselineFieldSum(benchmark::State& state) {
    TSumSetup& s = SumSetup(true);
    db::TDataSet* ds = s.Data.DS.get();
    db::TField* amount = s.Data.F("amount");
    db::TField* qty = s.Data.F("qty");
    db::TField* price = s.Data.F("price");
    for (auto _ : state) {
        const db::TBookmark saved = ds->GetBookmark();
        ds->DisableControls();
        double sum = 0, total = 0;
        int count = 0, values = 0;
        ds->First();
        while (!ds->Eof()) {
            if (!amount->IsNull()) sum += amount->AsFloat();
            if (!price->IsNull()) {
                total += price->AsFloat();
                ++values;
            }
            if (!qty->IsNull()) ++count;
            ds->Next();
        }
        ds->GotoBookmark(saved);
        ds->EnableControls();
        benchmark::DoNotOptimize(sum + total + count + values);
    }
}
BENCHMARK(BM_BaselineFieldSum)->Arg(100000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", bench::Fastest);

}  // namespace

BENCHMARK_MAIN();
