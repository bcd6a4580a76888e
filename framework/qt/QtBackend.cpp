#include "framework/qt/QtBackend.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

#include "framework/qt/QtClipboard.h"
#include "framework/qt/QtInput.h"
#include "framework/qt/QtSurface.h"
#include "framework/rtl/Text.h"
#include "framework/rtl/Timers.h"
#include "framework/ui/Dialogs.h"
#include "framework/ui/Menus.h"
#include "framework/ui/StdCtrls.h"

namespace qtback {

namespace {

class TWindowSurface;

struct TBackendState {
    bool Installed = false;
    std::map<const ui::TWinControl*, TWindowSurface*> Surfaces;
    std::unique_ptr<QTimer> WakeTimer;
    std::vector<QMetaObject::Connection> Connections;
    bool Deactivated = false;
    std::unique_ptr<TQtSurface> Measurer;
    bool OwnOpenPresenter = false;
};

TBackendState& State() {
    static TBackendState s;
    return s;
}

// A top-level window's raster; the native window lives and dies with it.
class TWindowSurface : public TQtSurface {
public:
    explicit TWindowSurface(ui::TWinControl* Control)
        : TQtSurface(Control->Width(), Control->Height()), FControl(Control) {
        State().Surfaces[Control] = this;
    }
    ~TWindowSurface() override {
        Window.reset();
        auto& m = State().Surfaces;
        auto it = m.find(FControl);
        if (it != m.end() && it->second == this) m.erase(it);
    }
    ui::TWinControl* Control() const noexcept { return FControl; }
    std::unique_ptr<TNativeWindow> Window;

private:
    ui::TWinControl* FControl;
};

Qt::CursorShape CursorShapeOf(ui::TCursor C) {
    switch (C) {
        case ui::crNone: return Qt::BlankCursor;
        case ui::crCross: return Qt::CrossCursor;
        case ui::crIBeam: return Qt::IBeamCursor;
        case ui::crSizeNESW: return Qt::SizeBDiagCursor;
        case ui::crSizeNS: return Qt::SizeVerCursor;
        case ui::crSizeNWSE: return Qt::SizeFDiagCursor;
        case ui::crSizeWE: return Qt::SizeHorCursor;
        case ui::crUpArrow: return Qt::UpArrowCursor;
        case ui::crHourGlass:
        case ui::crSQLWait: return Qt::WaitCursor;
        case ui::crDrag:
        case ui::crMultiDrag: return Qt::DragCopyCursor;
        case ui::crNoDrop:
        case ui::crNo: return Qt::ForbiddenCursor;
        case ui::crHSplit: return Qt::SplitHCursor;
        case ui::crVSplit: return Qt::SplitVCursor;
        case ui::crAppStart: return Qt::BusyCursor;
        case ui::crHelp: return Qt::WhatsThisCursor;
        case ui::crHandPoint: return Qt::PointingHandCursor;
        case ui::crSizeAll: return Qt::SizeAllCursor;
        default: return Qt::ArrowCursor;
    }
}

// Qt's "no limit" for a window's size.
constexpr int MaxWindowSize = (1 << 24) - 1;

// The program's own cursors (a number the screen maps to a cursor resource), made once.
std::optional<QCursor> CustomCursor(ui::TCursor C) {
    static std::map<ui::TCursor, std::pair<ui::AnsiString, QCursor>> made;
    const ui::AnsiString name = ui::Screen()->Cursors(C);
    if (name.empty()) return std::nullopt;
    auto it = made.find(C);
    if (it != made.end() && it->second.first == name) return it->second.second;
    ui::TBitmap bitmap;
    ui::TPoint hot;
    if (!ui::LoadCursorResource(&bitmap, hot, ui::HInstance, name) || bitmap.Empty()) return std::nullopt;
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_ARGB32);
    const ui::TColorRef clear = ui::ColorToRGB(bitmap.TransparentColor());
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint32_t* from = bitmap.Surface().ScanLine(y);
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint32_t rgb = from[x] & 0xFFFFFF;  // $00RRGGBB
            const ui::TColorRef asColor = ui::RGB(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
            to[x] = asColor == clear ? qRgba(0, 0, 0, 0) : (0xFF000000u | rgb);
        }
    }
    QCursor cursor(QPixmap::fromImage(image), hot.X, hot.Y);
    made[C] = {name, cursor};
    return cursor;
}

ui::TPoint ScreenPoint(const QPointF& P) { return ui::Point(int(std::floor(P.x())), int(std::floor(P.y()))); }

// The model keeps its own key state; bring the modifiers in line with what Qt says is held.
void SyncModifiers(Qt::KeyboardModifiers M) {
    const struct {
        Qt::KeyboardModifier Flag;
        int Key;
    } mods[] = {
        {Qt::ShiftModifier, ui::VK_SHIFT}, {Qt::ControlModifier, ui::VK_CONTROL}, {Qt::AltModifier, ui::VK_MENU}};
    for (const auto& m : mods) {
        const bool down = M.testFlag(m.Flag);
        if ((ui::GetKeyState(m.Key) < 0) != down) ui::SetKeyState(m.Key, down);
    }
}

// Whatever the mouse or the focused control was doing stops when the application loses the
// user's attention (a drop-down or a menu closes).
void CancelModes() {
    ui::EndMenu();
    if (ui::HWND capture = ui::GetCapture()) ui::SendMessage(capture, ui::WM_CANCELMODE);
    ui::ReleaseCapture();
    if (ui::HWND focus = ui::GetFocus()) ui::SendMessage(focus, ui::WM_CANCELMODE);
}

template <class F>
void Guarded(F&& Fn) {
    // Exceptions must not cross Qt's event delivery; the application shows them.
    try {
        Fn();
    } catch (...) {
        ui::Application()->HandleException(nullptr);
    }
}

// Another application took the keyboard: as the window system does, the active window is told it
// is inactive and the focus leaves (drop-downs close); coming back activates the window again,
// which puts the focus back on its control.
void FocusWindowChanged(QWindow* Now) {
    auto& s = State();
    if (Now == nullptr) {
        if (!s.Deactivated && ui::GetActiveWindow()) {
            s.Deactivated = true;
            Guarded([] {
                CancelModes();
                ui::SetActiveWindow(0);
                ui::SetFocus(0);
            });
        }
        return;
    }
    s.Deactivated = false;
}

}  // namespace

bool IsDropDown(const ui::TWinControl* Control) {
    return (Control->WindowStyle() & ui::WS_POPUP) && !dynamic_cast<const ui::TCustomForm*>(Control);
}

TNativeWindow::TNativeWindow(ui::TWinControl* Control, TQtSurface* Surface) : FControl(Control), FSurface(Surface) {
    if (IsDropDown(Control)) {
        // Placed by us, above the others, never taking the keyboard from the form it serves.
        setFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint);
    } else {
        setFlags(Qt::Window);
    }
    // The window system minimised or restored the window: the form's state follows.
    connect(this, &QWindow::windowStateChanged, this, [this](Qt::WindowState) {
        auto* form = dynamic_cast<ui::TCustomForm*>(FControl);
        if (!form || FSyncing) return;
        const bool minimized = windowStates().testFlag(Qt::WindowMinimized);
        if (minimized != (form->WindowState() == ui::wsMinimized))
            Guarded([&] { form->SetWindowState(minimized ? ui::wsMinimized : ui::wsNormal); });
    });
}

void TNativeWindow::paintEvent(QPaintEvent* Event) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const QImage& img = FSurface->Image();
    for (const QRect& r : Event->region()) {
        if (img.isNull())
            p.fillRect(r, Qt::white);
        else
            p.drawImage(r, img, r);
    }
}

bool TNativeWindow::event(QEvent* Event) {
    switch (Event->type()) {
        case QEvent::Close:
            // The model decides whether the window closes.
            Event->ignore();
            if (FControl->HandleAllocated()) ui::PostMessage(FControl->Handle(), ui::WM_CLOSE, 0, 0);
            return true;
        case QEvent::Leave:
            Guarded([] {
                const QPoint p = QCursor::pos();
                ui::MouseInput(ui::WM_MOUSEMOVE, ui::Point(p.x(), p.y()));
            });
            break;
        case QEvent::InputMethodQuery: {
            auto* q = static_cast<QInputMethodQueryEvent*>(Event);
            if (q->queries() & Qt::ImEnabled) q->setValue(Qt::ImEnabled, true);
            q->accept();
            return true;
        }
        case QEvent::InputMethod: {
            auto* im = static_cast<QInputMethodEvent*>(Event);
            const std::string chars = AnsiOfText(im->commitString());
            Guarded([&] {
                for (char c : chars) ui::CharInput(c);
            });
            im->accept();
            return true;
        }
        default: break;
    }
    return QRasterWindow::event(Event);
}

void TNativeWindow::mousePressEvent(QMouseEvent* Event) {
    const unsigned msg = ButtonMessage(Event->button(), true);
    if (!msg) return;
    FPressed |= Event->button();
    SyncModifiers(Event->modifiers());
    Guarded([&] { ui::MouseInput(msg, ScreenPoint(Event->globalPosition())); });
}

void TNativeWindow::mouseReleaseEvent(QMouseEvent* Event) {
    const unsigned msg = ButtonMessage(Event->button(), false);
    if (!msg) return;
    FPressed &= ~Event->button();
    SyncModifiers(Event->modifiers());
    Guarded([&] { ui::MouseInput(msg, ScreenPoint(Event->globalPosition())); });
}

// The model tells double clicks from presses by itself, from the second press. Qt follows that
// press with a double-click event, which must not count as a third click; a double-click that
// comes in place of the second press stands for it.
void TNativeWindow::mouseDoubleClickEvent(QMouseEvent* Event) {
    if (FPressed.testFlag(Event->button())) return;
    mousePressEvent(Event);
}

void TNativeWindow::mouseMoveEvent(QMouseEvent* Event) {
    SyncModifiers(Event->modifiers());
    Guarded([&] { ui::MouseInput(ui::WM_MOUSEMOVE, ScreenPoint(Event->globalPosition())); });
}

void TNativeWindow::wheelEvent(QWheelEvent* Event) {
    const int delta = Event->angleDelta().y();
    if (delta == 0) return;
    SyncModifiers(Event->modifiers());
    Guarded([&] { ui::MouseWheelInput(delta, ScreenPoint(Event->globalPosition())); });
}

void TNativeWindow::keyPressEvent(QKeyEvent* Event) {
    const uint16_t vk = VirtualKeyOf(Event->key(), Event->modifiers());
    // Backtab is Shift+Tab even when X does not report the Shift with it; the stroke is stamped
    // with Shift held, and the key state goes back to what the keyboard holds after it.
    const bool backtab = Event->key() == Qt::Key_Backtab;
    const Qt::KeyboardModifiers mods = Event->modifiers() | (backtab ? Qt::ShiftModifier : Qt::NoModifier);
    if (vk != ui::VK_SHIFT && vk != ui::VK_CONTROL && vk != ui::VK_MENU) SyncModifiers(mods);
    const std::string chars = CharsOfKey(vk, Event->text(), mods);
    // AltGr is Ctrl with Alt to the model, as on the platform: it types and never enters the menu.
    if (Event->key() == Qt::Key_AltGr) ui::SetKeyState(ui::VK_CONTROL, true);
    Guarded([&] {
        // A dead key has no key of ours and no character: the composed character follows.
        if (vk) ui::KeyInput(vk, true, mods.testFlag(Qt::AltModifier));
        for (char c : chars) ui::CharInput(c);
    });
    if (backtab) SyncModifiers(Event->modifiers());
}

void TNativeWindow::keyReleaseEvent(QKeyEvent* Event) {
    // Auto-repeat arrives as release/press pairs; the model wants repeated presses only.
    if (Event->isAutoRepeat()) return;
    const uint16_t vk = VirtualKeyOf(Event->key(), Event->modifiers());
    if (!vk) return;
    const bool altGr = Event->key() == Qt::Key_AltGr;
    if (altGr) ui::SetKeyState(ui::VK_CONTROL, true);
    Guarded([&] { ui::KeyInput(vk, false, Event->modifiers().testFlag(Qt::AltModifier)); });
    if (altGr) SyncModifiers(Event->modifiers());
}

void TNativeWindow::focusInEvent(QFocusEvent*) {
    if (!FControl->HandleAllocated() || IsDropDown(FControl)) return;
    Guarded([&] {
        if (ui::GetActiveWindow() == FControl->Handle()) return;
        if (auto* form = dynamic_cast<ui::TCustomForm*>(FControl)) {
            if (form->IsWindowEnabled()) ui::SetActiveWindow(form->Handle());
        } else {
            ui::SetActiveWindow(FControl->Handle());
        }
    });
}

void TNativeWindow::focusOutEvent(QFocusEvent*) {}

void TNativeWindow::moveEvent(QMoveEvent*) {
    if (FSyncing || !FControl->HandleAllocated() || !isVisible()) return;
    const QRect g = geometry();
    if (g.x() == FControl->Left() && g.y() == FControl->Top()) return;
    Guarded([&] {
        // The user moves the window: as when a move starts on the platform, modes end (an open
        // drop-down closes rather than stay behind).
        CancelModes();
        FControl->SetBounds(g.x(), g.y(), FControl->Width(), FControl->Height());
    });
    FPlaced = QRect(FControl->Left(), FControl->Top(), FControl->Width(), FControl->Height());
}

void TNativeWindow::resizeEvent(QResizeEvent*) {
    if (FSyncing || !FControl->HandleAllocated() || !isVisible()) return;
    const QRect g = geometry();
    if (g.width() == FControl->Width() && g.height() == FControl->Height()) return;
    Guarded([&] { FControl->SetBounds(FControl->Left(), FControl->Top(), g.width(), g.height()); });
    FPlaced = QRect(FControl->Left(), FControl->Top(), FControl->Width(), FControl->Height());
}

// ---------------------------------------------------------------------------------------------

void UpdateScreens() {
    std::vector<ui::TMonitor> monitors;
    QScreen* primary = QGuiApplication::primaryScreen();
    const auto add = [&](QScreen* s) {
        const QRect g = s->geometry(), a = s->availableGeometry();
        ui::TMonitor m;
        m.BoundsRect = ui::Bounds(g.x(), g.y(), g.width(), g.height());
        m.WorkareaRect = ui::Bounds(a.x(), a.y(), a.width(), a.height());
        m.Primary = s == primary;
        monitors.push_back(m);
    };
    if (primary) add(primary);
    for (QScreen* s : QGuiApplication::screens())
        if (s != primary) add(s);
    if (!monitors.empty()) ui::Screen()->SetMonitors(std::move(monitors));
}

void SyncWindows() {
    auto& st = State();
    const Qt::CursorShape shape = CursorShapeOf(ui::GetCursorShape());
    // Windows raised last in the model are raised last here too.
    std::vector<TWindowSurface*> order;
    for (auto& [control, surface] : st.Surfaces) order.push_back(surface);
    const auto& tops = ui::detail::TopLevelWindows();
    std::stable_sort(order.begin(), order.end(), [&](TWindowSurface* a, TWindowSurface* b) {
        auto ia = std::find(tops.begin(), tops.end(), a->Control());
        auto ib = std::find(tops.begin(), tops.end(), b->Control());
        return ia < ib;
    });
    for (TWindowSurface* s : order) {
        ui::TWinControl* c = s->Control();
        const bool visible = c->HandleAllocated() && c->IsWindowVisible();
        if (!visible) {
            if (s->Window && s->Window->isVisible()) s->Window->hide();
            continue;
        }
        if (!s->Window) s->Window = std::make_unique<TNativeWindow>(c, s);
        TNativeWindow& w = *s->Window;
        w.FSyncing = true;
        const ui::TRect r = c->BoundsRect();
        const QRect g(r.Left, r.Top, std::max(r.Width(), 1), std::max(r.Height(), 1));
        // Only changes made in the model go out: a size the window system just gave stays.
        if (g != w.FPlaced) {
            w.FPlaced = g;
            if (w.geometry() != g) w.setGeometry(g);
        }
        if (auto* form = dynamic_cast<ui::TCustomForm*>(c)) {
            const bool minimized = form->WindowState() == ui::wsMinimized;
            if (minimized != w.windowStates().testFlag(Qt::WindowMinimized))
                w.setWindowStates(minimized ? Qt::WindowMinimized : Qt::WindowNoState);
        }
        const ui::TSizeConstraints& k = *c->Constraints();
        const QSize least(k.MinWidth(), k.MinHeight());
        const QSize most(k.MaxWidth() > 0 ? k.MaxWidth() : MaxWindowSize,
                         k.MaxHeight() > 0 ? k.MaxHeight() : MaxWindowSize);
        if (w.minimumSize() != least) w.setMinimumSize(least);
        if (w.maximumSize() != most) w.setMaximumSize(most);
        const QString title = AnsiToQString(c->Caption());
        if (w.title() != title) w.setTitle(title);
        if (w.FShownCursor != ui::GetCursorShape()) {
            w.FShownCursor = ui::GetCursorShape();
            const std::optional<QCursor> custom = CustomCursor(w.FShownCursor);
            w.setCursor(custom ? *custom : QCursor(shape));
        }
        if (!w.isVisible()) {
            w.show();
            if (!IsDropDown(c) && ui::GetActiveWindow() == c->Handle()) w.requestActivate();
            s->TakeDirty();
            w.update();
        } else if (s->Dirty()) {
            w.update(s->TakeDirty());
        }
        w.FSyncing = false;
    }
}

QWindow* NativeWindow(const ui::TWinControl* Control) {
    auto& m = State().Surfaces;
    auto it = m.find(Control);
    if (it == m.end() || !it->second->Window || !it->second->Window->isVisible()) return nullptr;
    return it->second->Window.get();
}

TQtSurface* WindowSurface(const ui::TWinControl* Control) {
    auto& m = State().Surfaces;
    auto it = m.find(Control);
    return it == m.end() ? nullptr : it->second;
}

void PumpEvents(bool MayBlock) {
    auto& st = State();
    SyncWindows();
    if (MayBlock) {
        if (auto next = rtl::TimerService().TimeToNextTimer()) {
            if (*next == 0) {
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                return;
            }
            if (!st.WakeTimer) {
                st.WakeTimer = std::make_unique<QTimer>();
                st.WakeTimer->setSingleShot(true);
            }
            st.WakeTimer->start(int(std::min<uint64_t>(*next, 1000 * 60)));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (st.WakeTimer) st.WakeTimer->stop();
    } else {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void PreparePlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void Install() {
    auto& st = State();
    if (st.Installed) return;
    if (!QGuiApplication::instance())
        throw rtl::EInvalidOperation("The display backend needs a running Qt application");
    st.Installed = true;
    ui::SetSurfaceFactory([](ui::TWinControl* Window) -> std::unique_ptr<ui::TSurface> {
        return std::make_unique<TWindowSurface>(Window);
    });
    InstallRasterFactory();
    st.Measurer = std::make_unique<TQtSurface>(1, 1);
    ui::SetTextMeasureSurface(st.Measurer.get());
    ui::SetClipboardStore(std::make_unique<TQtClipboardStore>());
    ui::SetMessageBeepHandler([](ui::UINT) { QApplication::beep(); });
    ui::SetPrimarySelectionHandler([](const rtl::AnsiString& Text) {
        QClipboard* c = QGuiApplication::clipboard();
        if (c->supportsSelection()) c->setText(AnsiToQString(Text), QClipboard::Selection);
    });
    UpdateScreens();
    auto* app = static_cast<QGuiApplication*>(QGuiApplication::instance());
    st.Connections.push_back(QObject::connect(app, &QGuiApplication::screenAdded, [](QScreen*) { UpdateScreens(); }));
    st.Connections.push_back(QObject::connect(app, &QGuiApplication::screenRemoved, [](QScreen*) { UpdateScreens(); }));
    st.Connections.push_back(QObject::connect(app, &QGuiApplication::focusWindowChanged, FocusWindowChanged));
    ui::Application()->WaitHandler = [] { PumpEvents(true); };
    // With widgets at hand the file-open dialog is the desktop's; a presenter already installed
    // (a test's script) stays.
    if (qobject_cast<QApplication*>(app) && !ui::TOpenDialog::HasPresenter()) {
        ui::TOpenDialog::SetPresenter([](ui::TOpenDialog& Dialog) {
            rtl::AnsiString name;
            if (!OpenFileDialog(name, Dialog.Title(), Dialog.Filter(), Dialog.InitialDir())) return false;
            Dialog.SetFileName(name);
            return true;
        });
        st.OwnOpenPresenter = true;
    }
}

void Uninstall() {
    auto& st = State();
    if (!st.Installed) return;
    for (auto& c : st.Connections) QObject::disconnect(c);
    st.Connections.clear();
    for (auto& [control, surface] : st.Surfaces) surface->Window.reset();
    st.WakeTimer.reset();
    ui::SetSurfaceFactory({});
    ui::SetRasterFactory({});
    ui::SetTextMeasureSurface(nullptr);
    st.Measurer.reset();
    ui::SetClipboardStore(std::make_unique<ui::TMemoryClipboardStore>());
    ui::SetMessageBeepHandler({});
    ui::SetPrimarySelectionHandler({});
    ui::Application()->WaitHandler = nullptr;
    if (st.OwnOpenPresenter) ui::TOpenDialog::SetPresenter(nullptr);
    st.OwnOpenPresenter = false;
    st.Installed = false;
}

bool Installed() { return State().Installed; }

}  // namespace qtback
