// The controls' test form on the display backend.
//   testform                      shows the form
//   testform --selftest SHOT TXT   types into the edit, opens the drop-down, saves a screenshot of the
//                                 screen to SHOT and what should be seen where to TXT, then quits
//   testform --check SHOT TXT      checks such a screenshot; exit code 0 when it shows what it should
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>

#include "framework/qt/QtBackend.h"
#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"
#include "testform/TestForm.h"

namespace {

// UTF-8.
const char* const Typed = "\xD0\x90\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2 7";  // "Архив 7"

void Fail(const std::string& Why) {
    std::fprintf(stderr, "testform: %s\n", Why.c_str());
}

// Types through Qt's own input path, as the window system would deliver the keys.
void TypeInto(QWindow* W, const QString& Text) {
    for (QChar ch : Text) {
        const QChar upper = ch.toUpper();
        int key = upper.unicode();
        if (ch == QLatin1Char(' ')) key = Qt::Key_Space;
        const Qt::KeyboardModifiers mods = ch.isLetter() && ch.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
        if (mods) QTest::sendKeyEvent(QTest::Press, W, Qt::Key_Shift, QString(), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Click, W, Qt::Key(key), QString(ch), mods);
        if (mods) QTest::sendKeyEvent(QTest::Release, W, Qt::Key_Shift, QString(), Qt::ShiftModifier);
    }
}

int SelfTest(testform::TTestForm* Form, const QString& Shot, const std::string& Expect) {
    int result = 1;
    QTimer::singleShot(300, [&] {
        QWindow* w = qtback::NativeWindow(Form);
        if (!w) {
            Fail("the form has no native window");
            ui::Application()->Terminate();
            return;
        }
        Form->Edit->SetFocus();
        TypeInto(w, QString::fromUtf8(Typed));
        QTimer::singleShot(300, [&, w] {
            const ui::TPoint c = Form->Combo->ClientToScreen(ui::Point(Form->Combo->ClientWidth() - 8, 8));
            const QPoint local = w->mapFromGlobal(QPoint(c.X, c.Y));
            QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, local);
            QTimer::singleShot(600, [&] {
                const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
                if (screen.isNull() || !screen.save(Shot)) {
                    Fail("cannot save the screenshot");
                } else {
                    const ui::TPoint text = Form->Edit->ClientToScreen(ui::Point(0, 0));
                    // The list opens right under the combo box, as wide as it.
                    const ui::TRect combo = Form->Combo->WindowRectOnScreen();
                    ui::TRect list;
                    if (ui::TCustomListBox* l = Form->Combo->DropDownList()) list = l->WindowRectOnScreen();
                    std::ofstream out(Expect);
                    out << "edittext " << rtl::AnsiToUTF8(Form->Edit->Text()) << "\n"
                        << "editclient " << text.X << ' ' << text.Y << "\n"
                        << "combo " << combo.Left << ' ' << combo.Top << ' ' << combo.Width() << ' ' << combo.Height() << "\n"
                        << "dropdown " << list.Left << ' ' << list.Top << ' ' << list.Width() << ' ' << list.Height() << "\n"
                        << "dropped " << (Form->Combo->DroppedDown() ? 1 : 0) << "\n";
                    result = out ? 0 : 1;
                }
                ui::Application()->Terminate();
            });
        });
    });
    ui::Application()->Run();
    return result;
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

bool Dark(QRgb C) { return qGray(C) < 128; }

int Check(const QString& Shot, const std::string& Expect) {
    const QImage img = QImage(Shot).convertToFormat(QImage::Format_RGB32);
    if (img.isNull()) {
        Fail("cannot read the screenshot");
        return 1;
    }
    std::ifstream in(Expect);
    std::string word, edittext;
    int ex = 0, ey = 0, cx = 0, cy = 0, cw = 0, ch = 0, dx = 0, dy = 0, dw = 0, dh = 0, dropped = 0;
    while (in >> word) {
        if (word == "edittext") { in.get(); std::getline(in, edittext); }
        else if (word == "editclient") in >> ex >> ey;
        else if (word == "combo") in >> cx >> cy >> cw >> ch;
        else if (word == "dropdown") in >> dx >> dy >> dw >> dh;
        else if (word == "dropped") in >> dropped;
    }
    const auto dark = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < img.width() && y < img.height() && Dark(img.pixel(x, y));
    };
    int failures = 0;
    if (edittext != Typed) {
        Fail("the edit holds \"" + edittext + "\" instead of \"" + Typed + "\"");
        ++failures;
    }
    // Cyrillic text: somewhere near the edit's client corner the dark pixels match a rendering of
    // the typed text, and not one of question marks.
    const QString typedText = QString::fromUtf8(Typed);
    const QSize box(160, 22);
    const QImage want = Reference(typedText, box);
    const QImage wrong = Reference(QString(typedText.size(), QLatin1Char('?')), box);
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
    if (inked < 20 || best * 10 > inked || bestWrong <= best) {
        std::fprintf(stderr, "testform: Cyrillic text not drawn as expected (%d inked, %d differ, %d against '?')\n",
                     inked, best, bestWrong);
        ++failures;
    }
    // The drop-down: open, right under the combo box and as wide; in the screenshot the chosen
    // (first) item is highlighted there, inside the list's border, and nowhere beside it.
    if (!dropped || dw <= 2 || dh <= 2) {
        Fail("the drop-down did not open");
        return 1;
    }
    if (dx != cx || dy != cy + ch || dw != cw) {
        std::fprintf(stderr, "testform: the model put the drop-down at (%d, %d) %d wide, not under the combo box\n", dx, dy, dw);
        ++failures;
    }
    const ui::TColorRef hc = ui::ColorToRGB(ui::clHighlight);
    const QRgb highlight = qRgb(ui::GetRValue(hc), ui::GetGValue(hc), ui::GetBValue(hc)) & 0xFFFFFF;
    const auto isHighlight = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < img.width() && y < img.height() && (img.pixel(x, y) & 0xFFFFFF) == highlight;
    };
    int left = -1, top = -1;
    for (int y = dy; y < dy + 6 && top < 0; ++y)
        for (int x = dx; x < dx + 6; ++x)
            if (isHighlight(x, y)) {
                left = x;
                top = y;
                break;
            }
    const int row = top + 2;
    if (left < 0 || left - dx > 3 || top - dy > 3 || isHighlight(dx - 1, row) || isHighlight(dx + dw, row) ||
        isHighlight(left, dy - 1)) {
        std::fprintf(stderr, "testform: the drop-down is not shown at (%d, %d) %dx%d\n", dx, dy, dw, dh);
        ++failures;
    }
    // The items' texts are drawn: dark pixels below the chosen one.
    int itemInk = 0;
    for (int y = top + 18; y < dy + dh - 2; ++y)
        for (int x = dx + 2; x < dx + dw - 2; ++x) itemInk += dark(x, y);
    if (itemInk < 20) {
        Fail("the drop-down's items are not drawn");
        ++failures;
    }
    if (failures == 0) std::printf("testform: screenshot shows the typed Cyrillic text and the drop-down in place\n");
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--check") == 0) {
        QGuiApplication::setAttribute(Qt::AA_Use96Dpi);
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return Check(QString::fromLocal8Bit(argv[2]), argv[3]);
    }
    qtback::PreparePlatform();
    QApplication app(argc, argv);
    int code = 0;
    try {
        qtback::Install();
        qtback::InstallMessageBox();
        auto* form = ui::Application()->CreateForm<testform::TTestForm>();
        form->Show();
        if (argc == 4 && std::strcmp(argv[1], "--selftest") == 0)
            code = SelfTest(form, QString::fromLocal8Bit(argv[2]), argv[3]);
        else
            ui::Application()->Run();
    } catch (const rtl::Exception& e) {
        Fail(e.what());
        code = 1;
    }
    ui::ResetApplication();
    qtback::Uninstall();
    return code;
}
