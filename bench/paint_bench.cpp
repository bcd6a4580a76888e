// Painting a full-screen form of 40 x 60 text cells through the window model into the backend's
// raster, beside drawing the same cells with QPainter on a QImage directly, in the same run; and a
// form of 40 standard controls painted whole with the flat theme, beside the same form unthemed.
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
#include "framework/ui/StdCtrls.h"
#include "framework/ui/Themes.h"

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
    if (qtback::WindowSurface(form) == nullptr)
        State.SkipWithError("the form does not paint into the backend's raster");
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

// 40 controls: edits, combo boxes, buttons, check boxes and a list with a scroll bar, in four columns.
void PaintControlsForm(benchmark::State& State, bool Themed) {
    qtback::Install();
    ThemeServices().SetThemesEnabled(Themed);
    auto* form = rtl::Create<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(0, 0, 800, 600);
    const auto place = [&](TWinControl* C, int I, int H) {
        C->SetParent(form);
        C->SetBounds(10 + (I % 4) * 195, 10 + (I / 4) * 55, 180, H);
    };
    for (int i = 0; i < 40; ++i) {
        const AnsiString text = rtl::UTF8ToAnsi(u8"Опись ") + std::to_string(i);
        switch (i % 5) {
            case 0: {
                auto* e = rtl::Create<TEdit>(form);
                place(e, i, 23);
                e->SetText(text);
                break;
            }
            case 1: {
                auto* c = rtl::Create<TComboBox>(form);
                place(c, i, 23);
                c->SetStyle(csDropDownList);
                c->Items()->Add(text);
                c->SetItemIndex(0);
                break;
            }
            case 2: {
                auto* b = rtl::Create<TButton>(form);
                place(b, i, 25);
                b->SetCaption("&" + text);
                break;
            }
            case 3: {
                auto* k = rtl::Create<TCheckBox>(form);
                place(k, i, 17);
                k->SetCaption(text);
                k->SetChecked(i % 2 == 0);
                break;
            }
            default: {
                auto* l = rtl::Create<TListBox>(form);
                place(l, i, 50);
                for (int n = 0; n < 20; ++n) l->Items()->Add(text + "." + std::to_string(n));
                break;
            }
        }
    }
    form->Show();
    Application()->ProcessMessages();
    for (auto _ : State) {
        form->Invalidate();
        for (int i = 0; i < form->ControlCount(); ++i)
            if (auto* w = dynamic_cast<TWinControl*>(form->Controls(i))) w->InvalidateFrame();
        form->Update();
    }
    form->Free();
    ThemeServices().SetThemesEnabled(true);
    qtback::Uninstall();
    State.SetItemsProcessed(State.iterations() * 40);
}

void BM_PaintThemedForm(benchmark::State& State) { PaintControlsForm(State, true); }
BENCHMARK(BM_PaintThemedForm)->Unit(benchmark::kMicrosecond);

void BM_PaintClassicForm(benchmark::State& State) { PaintControlsForm(State, false); }
BENCHMARK(BM_PaintClassicForm)->Unit(benchmark::kMicrosecond);

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
