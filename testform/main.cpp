// The controls' test form on the display backend.
//   testform               shows the form
//   testform --probe DIR   shows the form for a test that drives it through the X server: writes
//                          DIR/ready once the form is on the screen, and whenever DIR/request
//                          appears writes the form's state to DIR/state.txt and a screenshot to
//                          DIR/screen.png, then removes the request
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QScreen>
#include <QTimer>

#include "framework/qt/QtBackend.h"
#include "framework/rtl/Text.h"
#include "testform/TestForm.h"

namespace {

void Fail(const std::string& Why) { std::fprintf(stderr, "testform: %s\n", Why.c_str()); }

void Put(std::ofstream& Out, const char* Name, const ui::TRect& R) {
    Out << Name << ' ' << R.Left << ' ' << R.Top << ' ' << R.Width() << ' ' << R.Height() << "\n";
}

// What a test needs to know: texts, selection, focus, caret, the list's place.
void WriteState(testform::TTestForm* Form, const QString& Dir) {
    std::ofstream out((Dir + "/state.txt").toStdString());
    ui::TWinControl* focus = ui::FindControlOfWindow(ui::GetFocus());
    out << "edittext " << rtl::AnsiToUTF8(Form->Edit->Text()) << "\n"
        << "seltext " << rtl::AnsiToUTF8(Form->Edit->SelText()) << "\n"
        << "sel " << Form->Edit->SelStart() << ' ' << Form->Edit->SelLength() << "\n"
        << "focus " << (focus ? focus->Name() : std::string("-")) << "\n"
        << "dropped " << (Form->Combo->DroppedDown() ? 1 : 0) << "\n";
    const ui::TPoint client = Form->Edit->ClientToScreen(ui::Point(0, 0));
    out << "editclient " << client.X << ' ' << client.Y << "\n";
    Put(out, "form", Form->WindowRectOnScreen());
    Put(out, "edit", Form->Edit->WindowRectOnScreen());
    Put(out, "combo", Form->Combo->WindowRectOnScreen());
    ui::TRect list;
    if (ui::TCustomListBox* l = Form->Combo->DropDownList()) list = l->WindowRectOnScreen();
    Put(out, "dropdown", list);
    const ui::TCaretState caret = ui::CaretState();
    ui::TRect c = caret.Rect;
    if (ui::TWinControl* owner = ui::FindControlOfWindow(caret.Owner)) {
        const ui::TPoint p = owner->ClientToScreen(c.TopLeft());
        c = ui::Bounds(p.X, p.Y, c.Width(), c.Height());
    }
    Put(out, "caret", c);
    // The menu mode: the bar's place and selected item, the first menu window's place and selection.
    const ui::detail::TMenuModeState menu = ui::detail::MenuModeState();
    out << "menuactive " << (ui::MenuActive() ? 1 : 0) << "\n"
        << "menubarindex " << menu.BarIndex << "\n"
        << "menuselected " << (menu.Selected.empty() ? -1 : menu.Selected.front()) << "\n";
    ui::TRect bar = Form->MenuBarRect();
    bar.Offset(Form->WindowRectOnScreen().Left, Form->WindowRectOnScreen().Top);
    Put(out, "menubar", bar);
    Put(out, "menuwindow", menu.Windows.empty() ? ui::TRect() : menu.Windows.front()->WindowRectOnScreen());
    out << "caretowner " << (ui::FindControlOfWindow(caret.Owner) ? ui::FindControlOfWindow(caret.Owner)->Name() : "-")
        << "\n";
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    if (screen.isNull() || !screen.save(Dir + "/screen.png")) Fail("cannot save the screenshot");
}

int Probe(testform::TTestForm* Form, const QString& Dir) {
    QTimer poll;
    bool ready = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!ready && qtback::NativeWindow(Form)) {
            ready = true;
            // The caret stays drawn: a screenshot must not catch it in the off half of a blink.
            QFile f(Dir + "/ready");
            f.open(QIODevice::WriteOnly);
        }
        if (ready && QFile::exists(Dir + "/request")) {
            WriteState(Form, Dir);
            QFile::remove(Dir + "/request");
        }
    });
    poll.start(50);
    ui::Application()->Run();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qtback::PreparePlatform();
    QApplication app(argc, argv);
    int code = 0;
    try {
        qtback::Install();
        qtback::InstallMessageBox();
        auto* form = ui::Application()->CreateForm<testform::TTestForm>();
        form->Show();
        if (argc == 3 && std::strcmp(argv[1], "--probe") == 0)
            code = Probe(form, QString::fromLocal8Bit(argv[2]));
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
