// Native windows follow the model's top-level windows; drop-downs take no activation; screens,
// cursors and the clipboard come from Qt.
#include <QClipboard>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>

#include "qtbackend_fixture.h"
#include "framework/ui/Menus.h"
#include "framework/qt/QtClipboard.h"
#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Dialogs.h"
#include "framework/ui/StdCtrls.h"

namespace qttest {
namespace {

TEST_F(BackendTest, NativeWindowsFollowTheModel) {
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(100, 100, 300, 200));
    EXPECT_FALSE(w->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    Form->SetCaption(rtl::UTF8ToAnsi(u8"Опись"));
    Form->SetBounds(150, 120, 320, 210);
    Pump();
    EXPECT_EQ(w->geometry(), QRect(150, 120, 320, 210));
    EXPECT_EQ(w->title(), QString::fromUtf8(u8"Опись"));
    // A resize by the window system reaches the model.
    w->resize(330, 220);
    Pump();
    EXPECT_EQ(Form->Width(), 330);
    EXPECT_EQ(Form->Height(), 220);
    Form->Hide();
    Pump();
    EXPECT_EQ(Native(Form), nullptr);
    Form->Show();
    Pump();
    EXPECT_NE(Native(Form), nullptr);
}

TEST_F(BackendTest, PaintingReachesTheWindowAndLeavesNothingPending) {
    qtback::TQtSurface* s = qtback::WindowSurface(Form);
    ASSERT_NE(s, nullptr);
    Input->Invalidate();
    Application()->ProcessMessages();
    EXPECT_TRUE(s->Dirty()) << "the control painted into the form's raster";
    qtback::SyncWindows();
    EXPECT_FALSE(s->Dirty()) << "handed on to the native window";
}

TEST_F(BackendTest, CursorShapeIsShownOnTheWindows) {
    SetCursorShape(crIBeam);
    Pump();
    EXPECT_EQ(Native(Form)->cursor().shape(), Qt::IBeamCursor);
    SetCursorShape(crHourGlass);
    Pump();
    EXPECT_EQ(Native(Form)->cursor().shape(), Qt::WaitCursor);
}

TEST_F(BackendTest, ScreensAndWorkAreasComeFromQt) {
    qtback::UpdateScreens();
    QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    const TMonitor& m = Screen()->Monitors().front();
    const QRect g = primary->geometry(), a = primary->availableGeometry();
    EXPECT_TRUE(m.Primary);
    EXPECT_EQ(m.BoundsRect, Bounds(g.x(), g.y(), g.width(), g.height()));
    EXPECT_EQ(m.WorkareaRect, Bounds(a.x(), a.y(), a.width(), a.height()));
}

// A list that opens under the input control, holds the mouse, and closes on a click elsewhere.
class TDropDown : public TCustomControl {
    RTL_CLASS(TDropDown, TCustomControl)
public:
    using TCustomControl::TCustomControl;
    std::vector<std::string> Clicks;
    void Open(TPoint At) {
        SetBounds(At.X, At.Y, 120, 80);
        HandleNeeded();
        ShowWindow(SW_SHOWNA);
        SetCapture(Handle());
    }

protected:
    void CreateParams(TCreateParams& P) override {
        TCustomControl::CreateParams(P);
        P.Style = WS_POPUP | WS_BORDER;
        P.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    }
    void Dispatch(TMessage& M) override {
        if (M.Msg == WM_MOUSEACTIVATE) {
            M.Result = MA_NOACTIVATE;
            return;
        }
        if (M.Msg == WM_CANCELMODE && IsWindowVisible()) Close();
        TCustomControl::Dispatch(M);
    }
    void MouseDown(TMouseButton, TShiftState, int X, int Y) override {
        Clicks.push_back(std::to_string(X) + "," + std::to_string(Y));
        if (!GetClientRect().Contains(Point(X, Y))) Close();
    }
    void Close() {
        if (GetCapture() == Handle()) ReleaseCapture();
        ShowWindow(SW_HIDE);
    }
};

class DropDownTest : public BackendTest {
protected:
    void SetUp() override {
        BackendTest::SetUp();
        Drop = rtl::Create<TDropDown>(Form);
        Drop->SetParentWindow(Form->Handle());
        Under = Input->ClientToScreen(Point(0, Input->Height()));
    }
    void Click(QWindow* W, TPoint Screen) {
        const QPointF global(Screen.X, Screen.Y), local = W->mapFromGlobal(global);
        QMouseEvent down(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(W, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(W, &up);
        Pump();
    }
    TDropDown* Drop = nullptr;
    TPoint Under;
};

TEST_F(DropDownTest, OpensWhereTheModelPutsItWithoutTakingActivation) {
    Drop->Open(Under);
    Pump();
    QWindow* w = Native(Drop);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(Under.X, Under.Y, 120, 80));
    EXPECT_TRUE(w->flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(w->flags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(w->type(), Qt::ToolTip) << "placed by us, not by a window manager";
    EXPECT_NE(QGuiApplication::focusWindow(), w);
    EXPECT_EQ(GetActiveWindow(), Form->Handle());
    EXPECT_TRUE(Input->Focused());
    // A click inside reaches it in its own client coordinates and keeps it open.
    Click(w, Point(Under.X + 5, Under.Y + 6));
    EXPECT_EQ(Drop->Clicks, (std::vector<std::string>{"4,5"}));
    EXPECT_NE(Native(Drop), nullptr);
    EXPECT_EQ(GetActiveWindow(), Form->Handle());
}

TEST_F(DropDownTest, AClickOutsideClosesIt) {
    Drop->Open(Under);
    Pump();
    ASSERT_NE(Native(Drop), nullptr);
    Click(Native(Form), Input->ClientToScreen(Point(50, -5)));
    EXPECT_FALSE(Drop->IsWindowVisible());
    EXPECT_EQ(Native(Drop), nullptr);
    EXPECT_EQ(GetActiveWindow(), Form->Handle());
    EXPECT_TRUE(Input->Focused());
}

TEST_F(DropDownTest, LosingTheUsersAttentionClosesIt) {
    Drop->Open(Under);
    Pump();
    ASSERT_NE(Native(Drop), nullptr);
    emit qApp->focusWindowChanged(nullptr);  // another application took the keyboard
    Pump();
    EXPECT_EQ(Native(Drop), nullptr);
    EXPECT_EQ(GetCapture(), HWND(0));
    EXPECT_EQ(GetActiveWindow(), HWND(0));
    EXPECT_FALSE(Input->Focused());
    // Coming back activates the form, which gives the focus back to its control.
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(Native(Form), &in);
    emit qApp->focusWindowChanged(Native(Form));
    Pump();
    EXPECT_EQ(GetActiveWindow(), Form->Handle());
    EXPECT_TRUE(Input->Focused());
}

TEST_F(BackendTest, LosingTheUsersAttentionClosesAMenu) {
    auto* menu = rtl::Create<TMainMenu>(Form);
    auto* file = rtl::Create<TMenuItem>(Form);
    file->SetCaption("File");
    menu->Items()->Add(file);
    auto* open = rtl::Create<TMenuItem>(Form);
    open->SetCaption("Open");
    file->Add(open);
    Pump();
    KeyInput(VK_F10, true);
    KeyInput(VK_F10, false);
    KeyInput(VK_DOWN, true);
    Pump();
    ASSERT_EQ(detail::MenuModeState().Windows.size(), 1u);
    TWinControl* drop = detail::MenuModeState().Windows.front();
    EXPECT_NE(Native(drop), nullptr);
    emit qApp->focusWindowChanged(nullptr);
    Pump();
    EXPECT_FALSE(MenuActive());
    EXPECT_EQ(Native(drop), nullptr);
}

TEST_F(BackendTest, ClipboardRoundTripsTextAndARegisteredFormat) {
    const AnsiString text = rtl::UTF8ToAnsi(u8"Акт № 12");
    const TClipboardFormat rows = RegisterClipboardFormat("Velmorat Rows");
    const rtl::TBytes payload = {0, 1, 2, 0xFF, 0x80};
    Clipboard()->Open();
    Clipboard()->SetAsText(text);
    Clipboard()->SetData(rows, payload);
    Clipboard()->Close();
    // Another program sees the text on the system clipboard.
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(u8"Акт № 12"));
    // A second reader (as another instance would) finds both formats there.
    qtback::TQtClipboardStore reader;
    ASSERT_TRUE(reader.HasData(CF_UNICODETEXT));
    EXPECT_EQ(rtl::WideToAnsi(std::u16string(reinterpret_cast<const char16_t*>(reader.GetData(CF_UNICODETEXT).data()))),
              text);
    EXPECT_TRUE(reader.HasData(rows));
    EXPECT_EQ(reader.GetData(rows), payload);
    const auto formats = reader.Formats();
    EXPECT_NE(std::find(formats.begin(), formats.end(), rows), formats.end());
    // Text another program put is read through the model's conversions.
    QGuiApplication::clipboard()->setText(QString::fromUtf8(u8"Опись ☃"));
    EXPECT_EQ(Clipboard()->AsWideText(), u"Опись ☃");
    EXPECT_EQ(Clipboard()->AsText(), rtl::UTF8ToAnsi(u8"Опись ?"));
    EXPECT_FALSE(Clipboard()->HasFormat(rows)) << "the other program's content replaced ours";
    // ... and offered as 1251 text when every character has a 1251 form.
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
    QGuiApplication::clipboard()->setText(QString::fromUtf8(u8"Опись"));
    ASSERT_TRUE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_EQ(Clipboard()->GetData(CF_TEXT), rtl::TBytes({0xCE, 0xEF, 0xE8, 0xF1, 0xFC, 0}));
    Clipboard()->Clear();
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
}

TEST_F(BackendTest, TextCopiedEarlierNeverComesBackAfterAnotherProgramCopies) {
    QClipboard* board = QGuiApplication::clipboard();
    const TClipboardFormat rows = RegisterClipboardFormat("Velmorat Rows");
    Clipboard()->SetAsText("ours");
    // Another program copies, then empties the clipboard: ours stays gone.
    board->setText("theirs");
    EXPECT_EQ(Clipboard()->AsText(), "theirs");
    board->clear();
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_EQ(Clipboard()->AsText(), "");
    // Putting one more format of ours does not bring the old text back with it.
    Clipboard()->SetData(rows, rtl::TBytes{1, 2});
    EXPECT_EQ(board->text(), "");
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_TRUE(Clipboard()->HasFormat(rows));
}

TEST_F(BackendTest, CsvAndRichTextTravelUnderTheirStandardTypes) {
    const TClipboardFormat csv = RegisterClipboardFormat("Csv"), rtf = RegisterClipboardFormat("Rich Text Format");
    Clipboard()->Open();
    Clipboard()->SetAsText("a\tb");
    Clipboard()->SetBuffer(csv, "a;b\r\n", 5);
    Clipboard()->SetBuffer(rtf, "{\\rtf1 a}", 9);
    Clipboard()->Close();
    const QMimeData* m = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->data("text/csv"), QByteArray("a;b\r\n"));
    EXPECT_EQ(m->data("text/rtf"), QByteArray("{\\rtf1 a}"));
    // What another program offers under those types is read as the registered formats.
    auto* other = new QMimeData;
    other->setData("text/csv", "x;y");
    other->setData("text/rtf", "{\\rtf1 x}");
    QGuiApplication::clipboard()->setMimeData(other);
    ASSERT_TRUE(Clipboard()->HasFormat(csv));
    EXPECT_EQ(Clipboard()->GetData(csv), rtl::TBytes({'x', ';', 'y'}));
    const auto formats = qtback::TQtClipboardStore().Formats();
    EXPECT_NE(std::find(formats.begin(), formats.end(), rtf), formats.end());
}

}  // namespace
}  // namespace qttest

namespace qttest {
namespace {

TEST_F(BackendTest, TheProgramsOwnCursorsAreShownFromTheirResource) {
    RegisterCursorResource(
        HInstance, "ARROWCUR",
        [](TBitmap& B) {
            B.SetSize(8, 8);
            B.Canvas()->Brush()->SetColor(clWhite);
            B.Canvas()->FillRect(Rect(0, 0, 8, 8));
            B.Canvas()->Brush()->SetColor(clBlack);
            B.Canvas()->FillRect(Rect(0, 0, 4, 4));
        },
        Point(1, 2));
    Screen()->SetCursors(5, "ARROWCUR");
    SetCursorShape(5);
    Pump();
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(w->cursor().hotSpot(), QPoint(1, 2));
    const QImage image = w->cursor().pixmap().toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(image.pixel(7, 7)), 0) << "the transparent colour is see-through";
    SetCursorShape(crDefault);
    Pump();
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    RegisterCursorResource(HInstance, "ARROWCUR", nullptr, {});
}

}  // namespace
}  // namespace qttest

namespace qttest {
namespace {

// A window moved by the user takes no open list along: the list closes.
TEST_F(BackendTest, MovingTheFormClosesItsComboBoxList) {
    auto* combo = rtl::Create<TComboBox>(Form);
    combo->SetParent(Form);
    combo->SetBounds(10, 60, 150, 24);
    combo->SetStyle(csDropDownList);
    combo->Items()->Add("a");
    combo->SetFocus();
    combo->SetDroppedDown(true);
    Pump();
    ASSERT_NE(Native(combo->DropDownList()), nullptr);
    Native(Form)->setPosition(Form->Left() + 40, Form->Top() + 30);
    Pump();
    EXPECT_EQ(Form->Left(), 140);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_TRUE(combo->Focused());
}

}  // namespace
}  // namespace qttest

namespace qttest {
namespace {

TEST(OpenDialogPresenter, TheBackendInstallsTheDesktopDialogUnlessAScriptIsThere) {
    qtback::Uninstall();
    ui::TOpenDialog::SetPresenter(nullptr);
    qtback::Install();
    EXPECT_TRUE(ui::TOpenDialog::HasPresenter());
    qtback::Uninstall();
    EXPECT_FALSE(ui::TOpenDialog::HasPresenter());
    bool scripted = false;
    ui::TOpenDialog::SetPresenter([&](ui::TOpenDialog&) { return scripted = true; });
    qtback::Install();
    ui::TOpenDialog d(nullptr);
    d.Execute();
    EXPECT_TRUE(scripted);
    qtback::Uninstall();
    EXPECT_TRUE(ui::TOpenDialog::HasPresenter()) << "the script is not the backend's to remove";
    ui::TOpenDialog::SetPresenter(nullptr);
}

}  // namespace
}  // namespace qttest

namespace qttest {
namespace {

TEST_F(BackendTest, ConstraintsLimitTheNativeWindow) {
    Form->Constraints()->SetMinWidth(250);
    Form->Constraints()->SetMaxHeight(400);
    Pump();
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->minimumSize(), QSize(250, 0));
    EXPECT_EQ(w->maximumSize().height(), 400);
}

// Minimising goes both ways: the form's state reaches the window, the window system's reaches the
// form, and the normal place is kept.
TEST_F(BackendTest, MinimisingReachesTheWindowAndComesBack) {
    const TRect normal = Form->BoundsRect();
    Form->SetWindowState(wsMinimized);
    Pump();
    QWindow* w = Native(Form);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->windowStates().testFlag(Qt::WindowMinimized));
    Form->SetWindowState(wsNormal);
    Pump();
    EXPECT_FALSE(w->windowStates().testFlag(Qt::WindowMinimized));
    EXPECT_EQ(Form->BoundsRect(), normal);
    w->setWindowStates(Qt::WindowMinimized);
    Pump();
    EXPECT_EQ(Form->WindowState(), wsMinimized);
    w->setWindowStates(Qt::WindowNoState);
    Pump();
    EXPECT_EQ(Form->WindowState(), wsNormal);
    EXPECT_EQ(Form->BoundsRect(), normal);
}

}  // namespace
}  // namespace qttest
