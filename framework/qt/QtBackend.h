// The display backend: one native window per shown top-level window of the model (forms and
// drop-downs), Qt input turned into the model's input, the model's loop waiting in Qt's.
#pragma once

#include <QRasterWindow>

#include "framework/ui/Controls.h"
#include "framework/ui/Forms.h"

namespace qtback {

class TQtSurface;

// Chooses the platform before the Qt application is made: under Wayland the X11 one (XWayland),
// as windows are placed at absolute screen positions.
void PreparePlatform();

// Installs the backend into the model: window and bitmap surfaces, clipboard, screens, the loop's
// wait. A QGuiApplication (or QApplication) must exist. Uninstall puts the model's defaults back.
void Install();
void Uninstall();
bool Installed();

// Brings the native windows in line with the model (created, placed, shown, hidden, titled) and
// hands what was painted to them. The loop does this before it waits; tests call it directly.
void SyncWindows();

// The native window of a model window; null while it is not shown.
QWindow* NativeWindow(const ui::TWinControl* Control);
// The backend's surface of a top-level window; null when the window is not top-level.
TQtSurface* WindowSurface(const ui::TWinControl* Control);

// Reads the screens from Qt into the model's monitor list.
void UpdateScreens();

// Handles one round of Qt events and then the model's waiting messages; what the loop's wait does
// when MayBlock is set (it then sleeps until input or the next timer).
void PumpEvents(bool MayBlock);

// The file-open dialog; true with the chosen file's path (1251) when the user accepts it.
// Filter: "Description|*.ext;*.ext2|Other|*.*" pairs.
// The dialog's filter in Qt's form: "Text|*.txt;*.csv|All|*.*" is "Text (*.txt *.csv);;All (*)".
QString FileDialogFilter(const rtl::AnsiString& Filter);
bool OpenFileDialog(rtl::AnsiString& FileName, const rtl::AnsiString& Title, const rtl::AnsiString& Filter,
                    const rtl::AnsiString& InitialDir);

// Messages the application shows (errors, questions) in a QtWidgets message box; the program
// installs it, tests keep answering for the user. Needs a QApplication.
void InstallMessageBox();
int ShowMessageBox(const rtl::AnsiString& Text, const rtl::AnsiString& Caption, unsigned Flags);

// The native window kind: drop-downs (popup windows that are not forms) take no activation.
bool IsDropDown(const ui::TWinControl* Control);

// A native window showing one top-level model window.
class TNativeWindow : public QRasterWindow {
public:
    TNativeWindow(ui::TWinControl* Control, TQtSurface* Surface);
    ui::TWinControl* Control() const noexcept { return FControl; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    bool event(QEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void moveEvent(QMoveEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    friend void SyncWindows();
    ui::TWinControl* FControl;
    TQtSurface* FSurface;
    bool FSyncing = false;
    Qt::MouseButtons FPressed;                    // pressed here and not yet released
    QRect FPlaced;                                // the model's bounds last given to the window
    ui::TCursor FShownCursor = ui::crNone - 100;  // none shown yet
};

}  // namespace qtback
