// The inventories journal on the headless main window, beside the raw engine and the standard
// library doing the same work: 10,000 sources with Cyrillic names and about 3 inventories each, all
// of the current year so that the journal shows every one.
//   BM_OpenInventoriesJournal  the command: reset, open, frame shown, grid painted once, count
//   BM_RawOpenInventories      the same SELECT prepared and stepped, every column read, and the
//                              rows the grid shows drawn as text on the same kind of surface
//   BM_TitleSortClick          a title click re-sorting by a text column, then the repaint
//   BM_BaselineSortKeys        std::stable_sort of row indices by precomputed ICU sort keys
//   BM_OpenInventoryCard       a double click on a row: the bound card shown, painted once, closed
//   BM_PaintUnboundCard        the same card with no dataset, shown, painted once and hidden
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "app/DBModUnit.h"
#include "app/FormServices.h"
#include "app/Main.h"
#include "app/OpisFormUnit.h"
#include "app/Program.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Graphics.h"
#include "bench/app_bench_db.h"

namespace {

// The seed, written by the engine itself so that the generator stays a few statements.
const char* const Seed = R"(
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000)
INSERT INTO sources (id, sourcekind_id, num, source_name, source_fullname, curator_id, ownership)
  SELECT i, 1 + i % 5, i, 'Источник комплектования № ' || i, 'Государственное учреждение «Архивный фонд» ' || i,
         1 + i % 4, 1 + i % 4 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000),
               k(j) AS (SELECT 0 UNION ALL SELECT j + 1 FROM k WHERE j < 2)
INSERT INTO opisi (num, kind_id, source_id, reg_date, year_of, epmk_date, epmk_num, result_id, note, units_count)
  SELECT i * 3 + j, 1 + (i + j) % 11, i, date('now'), CAST(strftime('%Y', 'now') AS INTEGER), date('now'),
         'протокол ' || ((i * 3 + j) * 7919 % 30011), 1 + (i + j) % 2, 'Опись дел постоянного хранения', 10 + j
  FROM n, k;
)";

struct Program {
    bench::TInstalledDatabase Files{"velmorat_app_ui_bench"};
    app::TFormServices Services;
    Program() {
        sqlite3* db = Files.Db;
        char* error = nullptr;
        if (sqlite3_exec(db, Seed, nullptr, nullptr, &error) != SQLITE_OK) {
            std::fprintf(stderr, "seed: %s\n", error);
            std::abort();
        }
        Files.Close();
        app::StartProgram(Services);
        app::CurrentUser = {1, rtl::UTF8ToAnsi(u8"Администратор"), app::alAdministrator};
        // Shown without its login: the user is set above.
        app::MainForm->OnShow = nullptr;
        app::MainForm->SetBounds(0, 0, 1000, 700);
        app::MainForm->Show();
        ui::Application()->ProcessMessages();
    }
    ~Program() { app::EndProgram(); }
    ui::TRecordingSurface* Surface() { return static_cast<ui::TRecordingSurface*>(app::MainForm->Surface()); }
    // What the user sees next: the queued messages handled and the window painted.
    void Paint() {
        ui::Application()->ProcessMessages();
        app::MainForm->UpdateWindow();
        app::MainForm->OpisListFrame1->grOpisi->UpdateWindow();
    }
};

Program& Prog() {
    static Program p;
    return p;
}

void BM_OpenInventoriesJournal(benchmark::State& state) {
    Program& p = Prog();
    for (auto _ : state) {
        p.Surface()->Clear();
        app::MainForm->actOpisi->Execute();
        p.Paint();
        benchmark::DoNotOptimize(app::MainForm->sbStatus->Panels()->Items(1)->Text());
    }
    state.counters["rows"] = app::DBMod->zOpisi->RecordCount();
    state.counters["texts"] = static_cast<double>(p.Surface()->Texts().size());
}
BENCHMARK(BM_OpenInventoriesJournal)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_RawOpenInventories(benchmark::State& state) {
    Program& p = Prog();
    sqlite3* db = nullptr;
    sqlite3_open("velmorat.sdb", &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM opisi WHERE year_of = ?", -1, &st, nullptr);
    grid::TDBGridEh* g = app::MainForm->OpisListFrame1->grOpisi;
    const int shown = g->VisibleDataRowCount();
    const int lineHeight = g->DefaultDataRowHeight();
    ui::TCanvas canvas(p.Surface());
    int rows = 0;
    for (auto _ : state) {
        p.Surface()->Clear();
        sqlite3_reset(st);
        sqlite3_bind_int(st, 1, app::ThisYear);
        std::vector<std::vector<std::string>> cells;
        rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            ++rows;
            const int n = sqlite3_column_count(st);
            std::vector<std::string> row(n);
            for (int c = 0; c < n; ++c) {
                const unsigned char* t = sqlite3_column_text(st, c);
                if (t) row[c] = rtl::UTF8ToAnsi(std::u8string_view(reinterpret_cast<const char8_t*>(t)));
            }
            cells.push_back(std::move(row));
        }
        // The rows a grid would show, each cell's text drawn once.
        for (int r = 0; r < shown && r < rows; ++r)
            for (size_t c = 0; c < cells[r].size(); ++c)
                canvas.TextOut(static_cast<int>(c) * 80, r * lineHeight, cells[r][c]);
        benchmark::DoNotOptimize(cells.data());
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    state.counters["rows"] = rows;
    state.counters["texts"] = static_cast<double>(p.Surface()->Texts().size());
}
BENCHMARK(BM_RawOpenInventories)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_TitleSortClick(benchmark::State& state) {
    Program& p = Prog();
    app::MainForm->actOpisi->Execute();
    p.Paint();
    grid::TDBGridEh* g = app::MainForm->OpisListFrame1->grOpisi;
    // epmk_num: a text column with a title button.
    const ui::TRect r = g->SingleCellRect(g->DataToGridCol(4), 0);
    const ui::TPoint at = g->ClientToScreen(ui::Point((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    for (auto _ : state) {
        p.Surface()->Clear();
        ui::ResetDoubleClick();
        ui::MouseInput(ui::WM_LBUTTONDOWN, at);
        ui::MouseInput(ui::WM_LBUTTONUP, at);
        p.Paint();
    }
    state.counters["rows"] = app::DBMod->zOpisi->RecordCount();
    state.SetLabel(app::DBMod->zOpisi->IndexFieldNames());
}
BENCHMARK(BM_TitleSortClick)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_BaselineSortKeys(benchmark::State& state) {
    Prog();
    std::vector<std::string> keys;
    {
        sqlite3* db = nullptr;
        sqlite3_open("velmorat.sdb", &db);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT epmk_num FROM opisi", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            keys.push_back(rtl::WideSortKey(
                rtl::UTF8ToWide(std::u8string_view(reinterpret_cast<const char8_t*>(sqlite3_column_text(st, 0)))),
                false));
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    std::vector<int> order(keys.size());
    bool descending = false;
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        descending = !descending;
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return descending ? keys[b] < keys[a] : keys[a] < keys[b]; });
        benchmark::DoNotOptimize(order.data());
    }
    state.counters["rows"] = static_cast<double>(keys.size());
}
BENCHMARK(BM_BaselineSortKeys)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_OpenInventoryCard(benchmark::State& state) {
    Prog();
    app::MainForm->actOpisi->Execute();
    grid::TDBGridEh* g = app::MainForm->OpisListFrame1->grOpisi;
    auto* surface = static_cast<ui::TRecordingSurface*>(app::OpisForm->Surface());
    size_t texts = 0;
    // Once the card's loop is idle it has been filled and painted: it is closed.
    ui::Application()->WaitHandler = [&] {
        app::OpisForm->UpdateWindow();
        texts = static_cast<ui::TRecordingSurface*>(app::OpisForm->Surface())->Texts().size();
        app::OpisForm->SetModalResult(ui::mrCancel);
    };
    for (auto _ : state) {
        if (surface) surface->Clear();
        app::MainForm->OpisListFrame1->GridDblClick(g);
        surface = static_cast<ui::TRecordingSurface*>(app::OpisForm->Surface());
    }
    ui::Application()->WaitHandler = nullptr;
    state.counters["texts"] = static_cast<double>(texts);
}
BENCHMARK(BM_OpenInventoryCard)->Unit(benchmark::kMillisecond);

void BM_PaintUnboundCard(benchmark::State& state) {
    Prog();
    rtl::TOwnedPtr<app::TOpisForm> card(rtl::Create<app::TOpisForm>(nullptr));
    for (int i = 0; i < card->ComponentCount(); ++i)
        if (auto* e = dynamic_cast<editors::TCustomDBEditEh*>(card->Components(i))) e->SetDataSource(nullptr);
    card->OnShow = nullptr;
    card->OnClose = nullptr;
    size_t texts = 0;
    for (auto _ : state) {
        card->Show();
        ui::Application()->ProcessMessages();
        card->UpdateWindow();
        auto* surface = static_cast<ui::TRecordingSurface*>(card->Surface());
        texts = surface->Texts().size();
        surface->Clear();
        card->Hide();
        ui::Application()->ProcessMessages();
    }
    state.counters["texts"] = static_cast<double>(texts);
}
BENCHMARK(BM_PaintUnboundCard)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
