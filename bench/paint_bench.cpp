// Painting a full-screen form of 40 x 60 text cells through the window model into the backend's
// raster, beside drawing the same cells with QPainter on a QImage directly, in the same run.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "framework/qt/QtBackend.h"
#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"

namespace {

using namespace ui;

constexpr int ScreenW = 1920, ScreenH = 1080, Rows = 40, Cols = 60;
constexpr int CellW = ScreenW / Cols, CellH = ScreenH / Rows;

const std::vector<AnsiString>& CellTexts() {
    static const std::vector<AnsiString> texts = [] {
        std::vector<AnsiString> t;
        for (int i = 0; i < Rows * Cols; ++i) t.push_back(rtl::UTF8ToAnsi(u8"Дело ") + std::to_string(i));
        return t;
    }();
    return texts;
}

// Each cell: its background and its text, cut to the cell.
class TCellGrid : public TCustomControl {
    RTL_CLASS(TCellGrid, TCustomControl)
public:
    using TCustomControl::TCustomControl;

protected:
    void Paint() override {
        TCanvas& c = *Canvas();
        c.Brush()->SetColor(clWindow);
        c.Font()->SetColor(clWindowText);
        const auto& texts = CellTexts();
        for (int r = 0; r < Rows; ++r)
            for (int k = 0; k < Cols; ++k) {
                const TRect cell = Bounds(k * CellW, r * CellH, CellW, CellH);
                c.TextRect(cell, cell.Left + 2, cell.Top + 2, texts[size_t(r * Cols + k)]);
            }
    }
};

void BM_PaintForm(benchmark::State& State) {
    qtback::Install();
    auto* form = rtl::Create<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(0, 0, ScreenW, ScreenH);
    auto* grid = rtl::Create<TCellGrid>(form);
    grid->SetParent(form);
    grid->SetAlign(alClient);
    form->Show();
    Application()->ProcessMessages();
    for (auto _ : State) {
        grid->Invalidate();
        Application()->ProcessMessages();
    }
    if (qtback::WindowSurface(form) == nullptr) State.SkipWithError("the form does not paint into the backend's raster");
    form->Free();
    qtback::Uninstall();
    State.SetItemsProcessed(State.iterations() * Rows * Cols);
}
BENCHMARK(BM_PaintForm)->Unit(benchmark::kMillisecond);

void BM_QPainterDirect(benchmark::State& State) {
    QImage image(ScreenW, ScreenH, QImage::Format_RGB32);
    const QFont font = qtback::MakeFont(TFontData{});
    const int ascent = QFontMetrics(font).ascent();
    std::vector<QString> texts;
    for (const AnsiString& t : CellTexts()) texts.push_back(qtback::AnsiToQString(t));
    for (auto _ : State) {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        for (int r = 0; r < Rows; ++r)
            for (int k = 0; k < Cols; ++k) {
                const QRect cell(k * CellW, r * CellH, CellW, CellH);
                p.setClipRect(cell);
                p.fillRect(cell, Qt::white);
                p.drawText(cell.left() + 2, cell.top() + 2 + ascent, texts[size_t(r * Cols + k)]);
            }
    }
    State.SetItemsProcessed(State.iterations() * Rows * Cols);
}
BENCHMARK(BM_QPainterDirect)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
