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
            const ui::TPoint c = Form->Combo->ClientToScreen(ui::Point(Form->Combo->Width() - 8, 8));
            const QPoint local = w->mapFromGlobal(QPoint(c.X, c.Y));
            QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, local);
            QTimer::singleShot(600, [&] {
                const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
                if (screen.isNull() || !screen.save(Shot)) {
                    Fail("cannot save the screenshot");
                } else {
                    const ui::TPoint text = Form->Edit->ClientToScreen(Form->Edit->TextOrigin());
                    const ui::TPoint under = Form->Combo->ClientToScreen(ui::Point(0, Form->Combo->Height()));
                    std::ofstream out(Expect);
                    out << "typed " << rtl::UTF8ToAnsi(std::string_view(Typed)).size() << "\n"
                        << "edittext " << rtl::AnsiToUTF8(Form->Edit->Text()) << "\n"
                        << "textat " << text.X << ' ' << text.Y << "\n"
                        << "dropdown " << under.X << ' ' << under.Y << ' '
                        << (Form->Combo->List() ? Form->Combo->List()->Width() : 0) << ' '
                        << (Form->Combo->List() ? Form->Combo->List()->Height() : 0) << "\n"
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
    int tx = 0, ty = 0, dx = 0, dy = 0, dw = 0, dh = 0, dropped = 0;
    size_t typed = 0;
    while (in >> word) {
        if (word == "typed") in >> typed;
        else if (word == "edittext") { in.get(); std::getline(in, edittext); }
        else if (word == "textat") in >> tx >> ty;
        else if (word == "dropdown") in >> dx >> dy >> dw >> dh;
        else if (word == "dropped") in >> dropped;
    }
    int failures = 0;
    if (edittext != Typed) {
        Fail("the edit holds \"" + edittext + "\" instead of \"" + Typed + "\"");
        ++failures;
    }
    if (!dropped || dw <= 2 || dh <= 2) {
        Fail("the drop-down did not open");
        return 1;
    }
    // Cyrillic text: the dark pixels of the edit's text match a rendering of the typed text, and
    // not one of question marks.
    const QString typedText = QString::fromUtf8(Typed);
    const QSize box(220, 20);
    const QImage want = Reference(typedText, box);
    const QImage wrong = Reference(QString(typedText.size(), QLatin1Char('?')), box);
    int inked = 0, mismatch = 0, mismatchWrong = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x) {
            if (tx + x >= img.width() || ty + y >= img.height()) continue;
            const bool got = Dark(img.pixel(tx + x, ty + y));
            const bool w = Dark(want.pixel(x, y));
            inked += w;
            mismatch += got != w;
            mismatchWrong += got != Dark(wrong.pixel(x, y));
        }
    if (inked < 20 || mismatch * 10 > inked || mismatchWrong <= mismatch) {
        std::fprintf(stderr, "testform: Cyrillic text not drawn as expected (%d inked, %d differ, %d against '?')\n",
                     inked, mismatch, mismatchWrong);
        ++failures;
    }
    // The drop-down: inside its one-pixel border the first (chosen) item is highlighted, starting
    // exactly at the expected screen position.
    const QRgb highlight = [] {
        const ui::TColorRef c = ui::ColorToRGB(ui::clHighlight);
        return qRgb(ui::GetRValue(c), ui::GetGValue(c), ui::GetBValue(c));
    }();
    const auto at = [&](int x, int y) { return x >= 0 && y >= 0 && x < img.width() && y < img.height() ? img.pixel(x, y) & 0xFFFFFF : 0u; };
    const bool corner = at(dx + 1, dy + 1) == (highlight & 0xFFFFFF);
    const bool outside = at(dx + 1, dy) != (highlight & 0xFFFFFF) && at(dx, dy + 1) != (highlight & 0xFFFFFF);
    const bool farEdge = at(dx + dw - 2, dy + 1) == (highlight & 0xFFFFFF) && at(dx + dw, dy + 1) != (highlight & 0xFFFFFF);
    if (!corner || !outside || !farEdge) {
        std::fprintf(stderr, "testform: the drop-down is not at (%d, %d) %dx%d\n", dx, dy, dw, dh);
        ++failures;
    }
    // Its item texts are drawn: dark pixels in the second item's row.
    int itemInk = 0;
    for (int y = dy + 21; y < dy + 41; ++y)
        for (int x = dx + 2; x < dx + dw - 2; ++x) itemInk += Dark(img.pixel(x, y));
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
