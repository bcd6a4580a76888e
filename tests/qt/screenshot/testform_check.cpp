// Checks one step of the X-driven test of the test form: the form's state as it wrote it and the
// screenshot it took. Exit code 0 when the step shows what it should.
//   testform_check STEP STATE SCREENSHOT
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "framework/qt/QtBackend.h"
#include "framework/qt/QtSurface.h"
#include "framework/ui/Graphics.h"

namespace {

const char* const Typed = "\xD0\x90\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2 7";  // "Архив 7"
const char* const Word = "\xD0\x90\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2";     // "Архив"

int Failures = 0;

void Fail(const std::string& Why) {
    std::fprintf(stderr, "testform_check: %s\n", Why.c_str());
    ++Failures;
}

struct TBox {
    int X = 0, Y = 0, W = 0, H = 0;
    int Right() const { return X + W; }
    int Bottom() const { return Y + H; }
};

struct TState {
    std::map<std::string, std::string> Lines;
    std::string Text(const std::string& K) const {
        auto it = Lines.find(K);
        return it == Lines.end() ? std::string() : it->second;
    }
    TBox Box(const std::string& K) const {
        TBox b;
        std::istringstream(Text(K)) >> b.X >> b.Y >> b.W >> b.H;
        return b;
    }
    int Int(const std::string& K, int I = 0) const {
        std::istringstream in(Text(K));
        int v = 0;
        for (int k = 0; k <= I; ++k) in >> v;
        return v;
    }
};

TState ReadState(const char* File) {
    TState s;
    std::ifstream in(File);
    std::string line;
    while (std::getline(in, line)) {
        const auto sp = line.find(' ');
        s.Lines[line.substr(0, sp)] = sp == std::string::npos ? std::string() : line.substr(sp + 1);
    }
    return s;
}

bool Dark(QRgb C) { return qGray(C) < 128; }

QRgb HighlightColour() {
    const ui::TColorRef hc = ui::ColorToRGB(ui::clHighlight);
    return qRgb(ui::GetRValue(hc), ui::GetGValue(hc), ui::GetBValue(hc)) & 0xFFFFFF;
}

int CountHighlight(const QImage& Img, const TBox& B) {
    int n = 0;
    for (int y = std::max(B.Y, 0); y < std::min(B.Bottom(), Img.height()); ++y)
        for (int x = std::max(B.X, 0); x < std::min(B.Right(), Img.width()); ++x)
            n += (Img.pixel(x, y) & 0xFFFFFF) == HighlightColour();
    return n;
}

// Renders Text as the edit draws it, on white, for comparing with the screenshot.
QImage Reference(const QString& Text, QSize Size) {
    QImage img(Size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    const QFont f = qtback::MakeFont(ui::TFontData{});
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(0, QFontMetrics(f).ascent(), Text);
    return img;
}

// The typed Cyrillic text is drawn near the edit's client corner: its dark pixels match a
// rendering of the text, and not one of question marks.
void CheckTextDrawn(const QImage& Img, const TState& S) {
    int ex = 0, ey = 0;
    std::istringstream(S.Text("editclient")) >> ex >> ey;
    const auto dark = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < Img.width() && y < Img.height() && Dark(Img.pixel(x, y));
    };
    const QString typed = QString::fromUtf8(Typed);
    const QFontMetrics fm(qtback::MakeFont(ui::TFontData{}));
    // The caret stands right after the text: leave its column out.
    const QSize box(fm.horizontalAdvance(typed), fm.height());
    const QImage want = Reference(typed, box), wrong = Reference(QString(typed.size(), QLatin1Char('?')), box);
    int inked = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x) inked += Dark(want.pixel(x, y));
    int best = inked + 1, bestWrong = 0;
    for (int oy = 0; oy <= 8; ++oy)
        for (int ox = 0; ox <= 8; ++ox) {
            int mismatch = 0, mismatchWrong = 0;
            for (int y = 0; y < box.height(); ++y)
                for (int x = 0; x < box.width(); ++x) {
                    const bool got = dark(ex + ox + x, ey + oy + y);
                    mismatch += got != Dark(want.pixel(x, y));
                    mismatchWrong += got != Dark(wrong.pixel(x, y));
                }
            if (mismatch < best) {
                best = mismatch;
                bestWrong = mismatchWrong;
            }
        }
    if (inked < 20 || best * 10 > inked || bestWrong <= best)
        Fail("the Cyrillic text is not drawn as expected (" + std::to_string(inked) + " inked, " +
             std::to_string(best) + " differ, " + std::to_string(bestWrong) + " against '?')");
}

void CheckTyped(const QImage& Img, const TState& S) {
    if (S.Text("edittext") != Typed) Fail("the edit holds \"" + S.Text("edittext") + "\" instead of \"" + Typed + "\"");
    if (S.Text("focus") != "Edit") Fail("the focus is on " + S.Text("focus"));
    CheckTextDrawn(Img, S);
    // The caret: the edit's, right after the text, a line as high as the text.
    if (S.Text("caretowner") != "Edit") Fail("the caret belongs to " + S.Text("caretowner"));
    const TBox caret = S.Box("caret");
    const int textEnd = S.Int("editclient") + 1 +
                        QFontMetrics(qtback::MakeFont(ui::TFontData{})).horizontalAdvance(QString::fromUtf8(Typed));
    if (std::abs(caret.X - textEnd) > 2 || caret.W != 1 || caret.H < 11)
        Fail("the caret is at " + std::to_string(caret.X) + " (" + std::to_string(caret.W) + "x" +
             std::to_string(caret.H) + "), the text ends at " + std::to_string(textEnd));
}

void CheckWord(const QImage& Img, const TState& S) {
    if (S.Text("seltext") != Word) Fail("a double click selected \"" + S.Text("seltext") + "\", not the word");
    const TBox edit = S.Box("edit");
    if (CountHighlight(Img, edit) < 20) Fail("the selected word is not shown highlighted");
}

void CheckAll(const QImage&, const TState& S) {
    if (S.Int("sel", 0) != 0 || S.Int("sel", 1) != 7) Fail("Ctrl+A selected " + S.Text("sel"));
}

void CheckAlt(const QImage&, const TState& S) {
    if (S.Text("focus") != "Combo") Fail("Alt+the combo's letter left the focus on " + S.Text("focus"));
    if (S.Text("edittext") != Typed) Fail("Alt+letter typed into the edit");
}

void CheckBacktab(const QImage&, const TState& S) {
    if (S.Text("focus") != "Edit") Fail("Shift+Tab from the combo box left the focus on " + S.Text("focus"));
    if (S.Text("edittext") != Typed) Fail("Shift+Tab typed into the edit");
}

void CheckDropped(const QImage& Img, const TState& S) {
    const TBox combo = S.Box("combo"), list = S.Box("dropdown");
    if (S.Int("dropped") != 1 || list.W <= 2 || list.H <= 2) {
        Fail("the list did not open");
        return;
    }
    // Near the bottom right: above the box, moved left to stay on the screen.
    if (list.Bottom() != combo.Y) Fail("the list does not open above the box at the bottom of the screen");
    if (list.Right() > Img.width() || list.X < 0 || list.Y < 0) Fail("the list is off the screen");
    if (list.X != std::min(combo.X, Img.width() - list.W)) Fail("the list is not moved left at the right edge");
    if (CountHighlight(Img, list) < 20) Fail("the list's chosen item is not shown where the list is");
    TBox beside = list;
    beside.Y = list.Bottom() + 30;
    if (CountHighlight(Img, beside) > 0) Fail("a highlight is drawn where the list is not");
}

void CheckClosed(const QImage&, const TState& S) {
    if (S.Int("dropped") != 0) Fail("a click on the form's face did not close the list");
    if (S.Text("focus") != "Combo") Fail("the focus left the combo box for " + S.Text("focus"));
}

int CountDark(const QImage& Img, const TBox& B) {
    int n = 0;
    for (int y = std::max(B.Y, 0); y < std::min(B.Bottom(), Img.height()); ++y)
        for (int x = std::max(B.X, 0); x < std::min(B.Right(), Img.width()); ++x) n += Dark(Img.pixel(x, y));
    return n;
}

void CheckMenuBar(const QImage& Img, const TState& S) {
    const TBox bar = S.Box("menubar");
    if (bar.H < 12) Fail("the form shows no menu bar");
    if (S.Box("editclient").Y < bar.Bottom()) Fail("the client area does not start below the menu bar");
    if (S.Int("menuactive") != 1 || S.Int("menubarindex") != 0) Fail("Alt did not select the bar's first item");
    if (CountHighlight(Img, bar) < 20) Fail("the bar's selected item is not highlighted");
    if (S.Box("menuwindow").W != 0) Fail("Alt alone opened a menu");
}

void CheckMenuOpen(const QImage& Img, const TState& S) {
    const TBox bar = S.Box("menubar"), menu = S.Box("menuwindow");
    if (S.Int("menuactive") != 1 || menu.W <= 2 || menu.H <= 2) {
        Fail("Down did not open the menu");
        return;
    }
    if (menu.Y != bar.Bottom() || menu.X != bar.X) Fail("the menu does not open under its bar item");
    if (S.Int("menuselected") != 0) Fail("the menu's first item is not selected");
    if (CountHighlight(Img, menu) < 20) Fail("the selected menu item is not highlighted");
    if (CountDark(Img, menu) < 40) Fail("the menu shows no captions");
    if (S.Text("focus") != "Combo") Fail("the menu took the focus to " + S.Text("focus"));
}

void CheckMenuClosed(const QImage&, const TState& S) {
    if (S.Int("menuactive") != 0) Fail("Esc, Esc left the menu mode on");
    if (S.Text("focus") != "Combo") Fail("the focus went to " + S.Text("focus"));
}

void CheckPopup(const QImage& Img, const TState& S) {
    const TBox edit = S.Box("edit"), menu = S.Box("menuwindow");
    if (S.Int("menuactive") != 1 || menu.W <= 2 || menu.H <= 2) {
        Fail("the right button did not open the popup menu");
        return;
    }
    if (menu.X < edit.X || menu.X > edit.Right() ||
        std::abs((menu.Y < edit.Y ? menu.Bottom() : menu.Y) - (edit.Y + edit.H / 2)) > 2)
        Fail("the popup menu is not at the pointer");
    if (CountDark(Img, menu) < 60) Fail("the popup menu shows no captions");
}

void CheckPopupClosed(const QImage&, const TState& S) {
    if (S.Int("menuactive") != 0) Fail("Esc did not close the popup menu");
    if (S.Text("edittext") != Typed) Fail("the popup menu changed the edit's text");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: testform_check STEP STATE SCREENSHOT\n");
        return 2;
    }
    QGuiApplication::setAttribute(Qt::AA_Use96Dpi);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage img = QImage(QString::fromLocal8Bit(argv[3])).convertToFormat(QImage::Format_RGB32);
    if (img.isNull()) {
        Fail("cannot read the screenshot");
        return 1;
    }
    const TState s = ReadState(argv[2]);
    const std::string step = argv[1];
    if (step == "typed")
        CheckTyped(img, s);
    else if (step == "word")
        CheckWord(img, s);
    else if (step == "all")
        CheckAll(img, s);
    else if (step == "alt")
        CheckAlt(img, s);
    else if (step == "backtab")
        CheckBacktab(img, s);
    else if (step == "dropped")
        CheckDropped(img, s);
    else if (step == "closed")
        CheckClosed(img, s);
    else if (step == "menubar")
        CheckMenuBar(img, s);
    else if (step == "menuopen")
        CheckMenuOpen(img, s);
    else if (step == "menuclosed")
        CheckMenuClosed(img, s);
    else if (step == "popup")
        CheckPopup(img, s);
    else if (step == "popupclosed")
        CheckPopupClosed(img, s);
    else
        Fail("no step " + step);
    if (Failures == 0) std::printf("testform_check: %s shows what it should\n", step.c_str());
    return Failures == 0 ? 0 : 1;
}
