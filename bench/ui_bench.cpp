// The window model against plain standard-library baselines in the same run: posted messages
// through the queue to a control's window procedure beside a std::deque and a virtual call, and
// painting a 40 x 25 cell text grid on the recording surface beside formatting the same cells.
#include <benchmark/benchmark.h>

#include <deque>
#include <string>

#include "framework/ui/Forms.h"

namespace {

using namespace ui;

constexpr UINT WM_BENCH = WM_USER + 1;

class TCounter : public TCustomControl {
    RTL_CLASS(TCounter, TCustomControl)
public:
    using TCustomControl::TCustomControl;
    int64_t Count = 0;

protected:
    void Dispatch(TMessage& M) override {
        if (M.Msg == WM_BENCH) {
            Count += static_cast<int64_t>(M.WParam);
            return;
        }
        TCustomControl::Dispatch(M);
    }
};

struct TPlainMsg {
    void* Target;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    uint32_t Time;
};

class TPlainReceiver {
public:
    virtual ~TPlainReceiver() = default;
    virtual void Handle(TPlainMsg& M) = 0;
};

class TPlainCounter : public TPlainReceiver {
public:
    int64_t Count = 0;
    void Handle(TPlainMsg& M) override {
        if (M.Msg == WM_BENCH) Count += static_cast<int64_t>(M.WParam);
    }
};

void BM_BaselineDispatch(benchmark::State& State) {
    const int n = static_cast<int>(State.range(0));
    TPlainCounter counter;
    std::deque<TPlainMsg> queue;
    for (auto _ : State) {
        for (int i = 0; i < n; ++i)
            queue.push_back(TPlainMsg{static_cast<TPlainReceiver*>(&counter), WM_BENCH, 1, 0, 0});
        while (!queue.empty()) {
            TPlainMsg m = queue.front();
            queue.pop_front();
            static_cast<TPlainReceiver*>(m.Target)->Handle(m);
        }
    }
    benchmark::DoNotOptimize(counter.Count);
    State.SetItemsProcessed(State.iterations() * n);
}
BENCHMARK(BM_BaselineDispatch)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_DispatchPosted(benchmark::State& State) {
    const int n = static_cast<int>(State.range(0));
    auto* form = rtl::Create<TForm>(nullptr);
    auto* counter = rtl::Create<TCounter>(form);
    counter->SetParent(form);
    const HWND h = counter->Handle();
    TMsg m;
    while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) DispatchMessage(m);
    for (auto _ : State) {
        for (int i = 0; i < n; ++i) PostMessage(h, WM_BENCH, 1, 0);
        while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) DispatchMessage(m);
    }
    benchmark::DoNotOptimize(counter->Count);
    State.SetItemsProcessed(State.iterations() * n);
    form->Free();
}
BENCHMARK(BM_DispatchPosted)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

constexpr int GridCols = 40;
constexpr int GridRows = 25;
constexpr int CellW = 64;
constexpr int CellH = 18;

std::string CellText(int Col, int Row) { return "R" + std::to_string(Row) + "C" + std::to_string(Col); }

class TTextGrid : public TCustomControl {
    RTL_CLASS(TTextGrid, TCustomControl)
public:
    using TCustomControl::TCustomControl;

protected:
    void Paint() override {
        TCanvas* c = Canvas();
        for (int row = 0; row < GridRows; ++row)
            for (int col = 0; col < GridCols; ++col) {
                TRect r = Bounds(col * CellW, row * CellH, CellW - 1, CellH - 1);
                c->Brush()->SetColor((row & 1) ? clWindow : clBtnFace);
                c->FillRect(r);
                c->TextRect(r, r.Left + 2, r.Top + 1, CellText(col, row));
                c->Pen()->SetColor(clBtnShadow);
                c->MoveTo(r.Left, r.Bottom);
                c->LineTo(r.Right, r.Bottom);
            }
    }
};

// The same cells formatted into a plain vector of records: what any painter must at least do.
void BM_BaselineGridCells(benchmark::State& State) {
    struct TCell {
        int L, T, R, B;
        uint32_t Color;
        std::string Text;
    };
    std::vector<TCell> out;
    for (auto _ : State) {
        out.clear();
        for (int row = 0; row < GridRows; ++row)
            for (int col = 0; col < GridCols; ++col) {
                out.push_back(TCell{col * CellW, row * CellH, col * CellW + CellW - 1, row * CellH + CellH - 1,
                                    (row & 1) ? 0xFFFFFFu : 0xF0F0F0u, CellText(col, row)});
                out.push_back(TCell{col * CellW, row * CellH + CellH - 1, col * CellW + CellW - 1,
                                    row * CellH + CellH - 1, 0x808080u, std::string()});
            }
        benchmark::DoNotOptimize(out.data());
    }
    State.SetItemsProcessed(State.iterations() * GridCols * GridRows);
}
BENCHMARK(BM_BaselineGridCells)->Unit(benchmark::kMicrosecond);

void BM_PaintTextGrid(benchmark::State& State) {
    auto* form = rtl::Create<TForm>(nullptr);
    form->SetBounds(0, 0, GridCols * CellW, GridRows * CellH);
    auto* grid = rtl::Create<TTextGrid>(form);
    grid->SetAlign(alClient);
    grid->SetParent(form);
    form->Show();
    auto* surface = static_cast<TRecordingSurface*>(form->Surface());
    for (auto _ : State) {
        surface->Clear();
        grid->Repaint();
    }
    State.counters["records"] = static_cast<double>(surface->Records().size());
    State.SetItemsProcessed(State.iterations() * GridCols * GridRows);
    form->Free();
}
BENCHMARK(BM_PaintTextGrid)->Unit(benchmark::kMicrosecond);

// A 1920 x 1080 window of text lines on a memory raster, moved on by one line per iteration:
// scrolled (the pixels move, one line is painted) beside painted whole.
class TTextLines : public TCustomControl {
    RTL_CLASS(TTextLines, TCustomControl)
public:
    using TCustomControl::TCustomControl;
    static constexpr int LineH = 16;
    int TopLine = 0;
    int64_t LinesPainted = 0;

protected:
    void Paint() override {
        const TRect clip = Canvas()->ClipRect();
        Canvas()->Brush()->SetColor(clWindow);
        for (int y = clip.Top / LineH * LineH; y < clip.Bottom; y += LineH) {
            const int line = TopLine + y / LineH;
            Canvas()->TextRect(Rect(0, y, ClientWidth(), y + LineH), 2, y,
                               "Line " + std::to_string(line) +
                                   ": the quick brown fox jumps over the lazy dog, "
                                   "acquisition act " +
                                   std::to_string(line * 7));
            ++LinesPainted;
        }
    }
};

template <bool Scroll>
void TextLinesBench(benchmark::State& State) {
    SetSurfaceFactory([](TWinControl* W) { return std::make_unique<TMemorySurface>(W->Width(), W->Height()); });
    auto* form = rtl::Create<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(0, 0, 1920, 1080);
    auto* lines = rtl::Create<TTextLines>(form);
    lines->SetAlign(alClient);
    lines->SetParent(form);
    form->Show();
    lines->Update();
    lines->LinesPainted = 0;
    for (auto _ : State) {
        ++lines->TopLine;
        if (Scroll) {
            lines->ScrollWindow(0, -TTextLines::LineH);
        } else {
            lines->Invalidate();
        }
        lines->Update();
    }
    State.counters["lines/iter"] = static_cast<double>(lines->LinesPainted) / static_cast<double>(State.iterations());
    form->Free();
    SetSurfaceFactory(nullptr);
}

void BM_PaintWholeWindow(benchmark::State& State) { TextLinesBench<false>(State); }
BENCHMARK(BM_PaintWholeWindow)->Unit(benchmark::kMicrosecond);

void BM_ScrollOneLine(benchmark::State& State) { TextLinesBench<true>(State); }
BENCHMARK(BM_ScrollOneLine)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
