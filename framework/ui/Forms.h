// Forms, frames, data modules, the screen, the application object with its message loop, and the
// hint window service.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "framework/ui/Controls.h"

namespace ui {

class TApplication;
class TScreen;
class THintWindow;
class TMainMenu;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using enum TCloseAction;
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poMainFormCenter, poOwnerFormCenter, poDesktopCenter };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
using enum TWindowState;
using enum TPosition;
enum TFormStateFlag { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = rtl::TSet<TFormStateFlag>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// ---------------------------------------------------------------------------------------------
// Forms

class TCustomForm : public TWinControl {
    RTL_CLASS(TCustomForm, TWinControl)
public:
    explicit TCustomForm(TComponent* Owner);
    ~TCustomForm() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    void Show();
    // Runs a message loop until ModalResult is set (or the application terminates) and returns it;
    // the other forms are disabled meanwhile and the previously active window is active again after.
    virtual int ShowModal();
    void Close();
    bool CloseQuery();
    // Frees the form once the messages waiting now are handled.
    void Release();

    TModalResult ModalResult() const noexcept { return FModalResult; }
    void SetModalResult(TModalResult Value) noexcept { FModalResult = Value; }
    TFormState FormState() const noexcept { return FFormState; }
    bool Active() const noexcept { return FActive; }

    TWinControl* ActiveControl() const noexcept { return FActiveControl; }
    void SetActiveControl(TWinControl* Control);
    // The control that has (or last had) the focus inside this form.
    TWinControl* FocusedControl() const noexcept { return FFocusedControl; }
    void FocusControl(TWinControl* Control);
    // Moves the active control off Control (being hidden or removed) without enter/exit messages.
    void DefocusControl(TWinControl* Control, bool Removing);
    // The focus moved to Control: CM_EXIT and CM_ENTER go along the chain of parents, only when
    // the form's focused control changes. False when a handler moved the focus elsewhere.
    bool SetFocusedControl(TWinControl* Control);
    void SendCancelMode(TControl* Sender);
    void SetFocus() override;
    bool CanFocus() const override { return Visible() && Enabled(); }

    bool KeyPreview() const noexcept { return FKeyPreview; }
    void SetKeyPreview(bool Value) noexcept { FKeyPreview = Value; }
    TFormBorderStyle BorderStyle() const noexcept { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TPosition Position() const noexcept { return FPosition; }
    void SetPosition(TPosition Value) noexcept { FPosition = Value; }
    // Maximised, the form fills the work area of its monitor; its normal placement is kept and
    // comes back with wsNormal (and is what a program saves).
    TWindowState WindowState() const noexcept { return FWindowState; }
    void SetWindowState(TWindowState Value);
    TRect NormalBoundsRect() const noexcept { return FWindowState == wsNormal ? BoundsRect() : FNormalBounds; }
    void SetNormalBoundsRect(const TRect& Value);
    // The pixels per inch the form's layout was made for (the screen's unless set).
    int PixelsPerInch() const noexcept { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value) noexcept { FPixelsPerInch = Value > 0 ? Value : ScreenPixelsPerInch; }

    void MouseWheelHandler(TMessage& Message) override;

    // The main menu drawn as a bar above the client area (a TMainMenu the form owns takes the
    // place when it is made).
    TMainMenu* Menu() const noexcept { return FMenu; }
    void SetMenu(TMainMenu* Value);
    // The menu's items changed: the bar is drawn again (and the client area moves when the bar
    // comes or goes).
    void MenuChanged();
    // The bar's place in window coordinates; empty without a bar.
    TRect MenuBarRect() const;

    // Shortcut sources (the main menu, action lists) that see a key before the focused control;
    // each answers whether it took the key.
    using TShortCutHandler = std::function<bool(TWMKey& Message)>;
    void AddShortCutHandler(const void* Source, TShortCutHandler Handler);
    void RemoveShortCutHandler(const void* Source);
    // OnShortCut first, then the sources in the order they were added.
    virtual bool IsShortCut(TWMKey& Message);
    std::function<void(TWMKey& Message, bool& Handled)> OnShortCut;

    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

protected:
    friend class TApplication;
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);
    virtual void Activate();
    virtual void Deactivate();
    void CreateParams(TCreateParams& Params) override;
    void SetVisible(bool Value) override;
    void SetWindowFocus();
    void SetActive(bool Value);
    void CloseModal();
    void Dispatch(TMessage& Message) override;
    void WMNCCalcSize(TWMNCCalcSize& Message) override;
    void WMNCHitTest(TWMNCHitTest& Message) override;
    void WMNCPaint(TMessage& Message) override;
    void CMDialogKey(TCMDialogKey& Message) override;
    void CMShowingChanged(TMessage& Message) override;
    virtual void WMActivate(TMessage& Message);
    virtual void WMClose(TMessage& Message);
    virtual void CMActivate(TMessage& Message);
    virtual void CMDeactivate(TMessage& Message);
    virtual void CMRelease(TMessage& Message);
    // F1 asked for help on one of the form's windows: the nearest non-zero HelpContext up from it.
    virtual void WMHelp(TMessage& Message);

public:
    // Actions of the form's action lists and of its menus' items are updated: the list's OnUpdate,
    // the action's, and an action without OnExecute is disabled when DisableIfNoHandler is set.
    virtual void UpdateActions();

protected:
    std::vector<std::pair<const void*, TShortCutHandler>> FShortCutHandlers;
    TMainMenu* FMenu = nullptr;
    int FMenuBarHeight = 0;
    TWinControl* FActiveControl = nullptr;
    TWinControl* FFocusedControl = nullptr;
    TModalResult FModalResult = mrNone;
    TFormState FFormState;
    bool FActive = false;
    bool FKeyPreview = false;
    TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
    TPosition FPosition = poDesigned;
    TWindowState FWindowState = wsNormal;
    TRect FNormalBounds;
    int FPixelsPerInch = ScreenPixelsPerInch;
    int FFocusCount = 0;
};

class TForm : public TCustomForm {
    RTL_CLASS(TForm, TCustomForm)
public:
    using TCustomForm::TCustomForm;
};

// A reusable group of controls placed on a form.
class TFrame : public TCustomControl {
    RTL_CLASS(TFrame, TCustomControl)
public:
    explicit TFrame(TComponent* Owner);
};

// A non-visual container of components (datasets, connections).
class TDataModule : public TComponent {
    RTL_CLASS(TDataModule, TComponent)
public:
    explicit TDataModule(TComponent* Owner);
    void AfterConstruction() override;
    void BeforeDestruction() override;
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
};

// ---------------------------------------------------------------------------------------------
// Screen

struct TMonitor {
    TRect BoundsRect;
    TRect WorkareaRect;
    bool Primary = false;
};

class TScreen : public TComponent {
    RTL_CLASS(TScreen, TComponent)
public:
    explicit TScreen(TComponent* Owner);

    // The first monitor is the primary one; tests and the backend set them.
    const std::vector<TMonitor>& Monitors() const noexcept { return FMonitors; }
    void SetMonitors(std::vector<TMonitor> Monitors);
    int MonitorCount() const noexcept { return static_cast<int>(FMonitors.size()); }
    // The monitor holding the point, else the nearest one.
    const TMonitor& MonitorFromPoint(TPoint P) const;
    const TMonitor& MonitorFromRect(const TRect& R) const;
    TRect WorkAreaRect() const { return FMonitors.front().WorkareaRect; }
    TRect DesktopRect() const;
    int Width() const { return FMonitors.front().BoundsRect.Width(); }
    int Height() const { return FMonitors.front().BoundsRect.Height(); }
    int PixelsPerInch() const noexcept { return ScreenPixelsPerInch; }

    // A cursor other than crDefault overrides every control's cursor.
    TCursor Cursor() const noexcept { return FCursor; }
    void SetCursor(TCursor Value);
    // Custom cursors by index (a name the backend resolves).
    void SetCursors(int Index, const AnsiString& Name);
    AnsiString Cursors(int Index) const;

    TCustomForm* ActiveForm() const noexcept { return FActiveForm; }
    TWinControl* ActiveControl() const noexcept { return FActiveControl; }
    int FormCount() const noexcept { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int Index) const { return FForms.at(static_cast<size_t>(Index)); }

    TNotifyEvent OnActiveFormChange;
    TNotifyEvent OnActiveControlChange;

private:
    friend class TCustomForm;
    std::vector<TMonitor> FMonitors;
    TCursor FCursor = crDefault;
    std::vector<std::pair<int, AnsiString>> FCursorNames;
    TCustomForm* FActiveForm = nullptr;
    TWinControl* FActiveControl = nullptr;
    TCustomForm* FFocusedForm = nullptr;
    std::vector<TCustomForm*> FForms;
};

// ---------------------------------------------------------------------------------------------
// Hints

// The small window that shows a hint; the application owns one.
class THintWindow : public TCustomControl {
    RTL_CLASS(THintWindow, TCustomControl)
public:
    explicit THintWindow(TComponent* Owner);
    // Places the window at Rect (screen) with the text and shows it without activation.
    virtual void ActivateHint(TRect Rect, const AnsiString& Hint);
    // The rectangle the text needs, at most MaxWidth wide; left-top at (0, 0).
    virtual TRect CalcHintRect(int MaxWidth, const AnsiString& Hint, void* Data);
    void ReleaseHandle();
    bool Active() const noexcept { return FActive; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    bool FActive = false;
};

// ---------------------------------------------------------------------------------------------
// Application

using TExceptionEvent = std::function<void(TObject* Sender, const rtl::Exception& E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TShowHintEvent = std::function<void(AnsiString& HintStr, bool& CanShow, THintInfo& HintInfo)>;
using TMessageBoxHandler = std::function<int(const AnsiString& Text, const AnsiString& Caption, unsigned Flags)>;
// Command HELP_CONTEXT with Data the topic; CallHelp false keeps the help system out.
inline constexpr uint16_t HELP_CONTEXT = 0x0001;
using THelpEvent = std::function<bool(uint16_t Command, intptr_t Data, bool& CallHelp)>;

class TApplication : public TComponent {
    RTL_CLASS(TApplication, TComponent)
public:
    explicit TApplication(TComponent* Owner);
    ~TApplication() override;

    // Handles one waiting message (timers first); false when none waited.
    bool ProcessMessage();
    // Handles every waiting message.
    void ProcessMessages();
    // One message, or the idle handling and a wait when none waits.
    void HandleMessage();
    // The main loop: until Terminate.
    void Run();
    void Terminate();
    bool Terminated() const noexcept { return FTerminated; }
    // Clears Terminated (tests running several loops).
    void ResetTerminated() noexcept { FTerminated = false; }

    // An exception no handler took: OnException when assigned, else ShowException. EAbort is silent.
    void HandleException(TObject* Sender);
    void HandleException(const rtl::Exception& E);
    void ShowException(const rtl::Exception& E);
    // Shown messages (text), in order, when no message box handler is installed.
    const std::vector<AnsiString>& ShownMessages() const noexcept { return FShownMessages; }
    void ClearShownMessages() { FShownMessages.clear(); }
    int MessageBox(const AnsiString& Text, const AnsiString& Caption, unsigned Flags);
    // The backend installs the real message box; tests may answer for the user.
    TMessageBoxHandler MessageBoxHandler;

    // Help: OnHelp first; unless it clears CallHelp, HelpHandler (the program's help system)
    // opens the topic. False when nobody showed it.
    bool HelpContext(int Context);
    THelpEvent OnHelp;
    std::function<bool(int Context)> HelpHandler;

    // Every showing form updates its actions (done on idle).
    void UpdateActions();
    // Called when the loop has nothing to do; the backend waits for input there. The default
    // returns at once.
    std::function<void()> WaitHandler;

    TCustomForm* MainForm() const noexcept { return FMainForm; }
    void SetMainForm(TCustomForm* Form) noexcept { FMainForm = Form; }
    // Creates a form owned by the application; the first becomes the main form.
    template <class T>
    T* CreateForm() {
        T* form = rtl::Create<T>(this);
        if (!FMainForm) FMainForm = form;
        return form;
    }
    const AnsiString& Title() const noexcept { return FTitle; }
    void SetTitle(const AnsiString& Value) { FTitle = Value; }
    const AnsiString& HelpFile() const noexcept { return FHelpFile; }
    void SetHelpFile(const AnsiString& Value) { FHelpFile = Value; }

    // Hints.
    bool ShowHint() const noexcept { return FShowHint; }
    void SetShowHint(bool Value);
    int HintPause() const noexcept { return FHintPause; }
    void SetHintPause(int Value) noexcept { FHintPause = Value; }
    int HintShortPause() const noexcept { return FHintShortPause; }
    void SetHintShortPause(int Value) noexcept { FHintShortPause = Value; }
    int HintHidePause() const noexcept { return FHintHidePause; }
    void SetHintHidePause(int Value) noexcept { FHintHidePause = Value; }
    TColor HintColor() const noexcept { return FHintColor; }
    void SetHintColor(TColor Value) noexcept { FHintColor = Value; }
    THintWindow* HintWindow() const noexcept { return FHintWindow; }
    void ActivateHint(TPoint CursorPos);
    void CancelHint();
    void HideHint();
    // Mouse messages of every control pass here to start, move or hide hints.
    void HintMouseMessage(TControl* Control, TMessage& Message);

    TExceptionEvent OnException;
    TIdleEvent OnIdle;
    TShowHintEvent OnShowHint;
    TNotifyEvent OnHint;
    const AnsiString& CurrentHint() const noexcept { return FHint; }

protected:
    void Notification(TComponent* AComponent, rtl::TOperation Operation) override;

private:
    bool IsKeyMsg(TMsg& Msg);
    void Idle();
    void HintTimerExpired();
    void StartHintTimer(int Value, int Kind);
    void StopHintTimer();

    bool FTerminated = false;
    rtl::TExceptionHandler FPreviousHandler;
    TCustomForm* FMainForm = nullptr;
    AnsiString FTitle;
    AnsiString FHelpFile;
    std::vector<AnsiString> FShownMessages;
    bool FShowHint = true;
    int FHintPause = 500;
    int FHintShortPause = 50;
    int FHintHidePause = 2500;
    TColor FHintColor = clInfoBk;
    THintWindow* FHintWindow = nullptr;
    TControl* FHintControl = nullptr;
    TRect FHintCursorRect;
    bool FHintActive = false;
    int FHintTimerKind = 0;  // 0 none, 1 show, 2 hide
    AnsiString FHint;
};

// The process's application and screen objects, made on first use.
TApplication* Application();
TScreen* Screen();

// Frees the application and screen objects (tests start from a fresh state).
void ResetApplication();

// Message box flags and results.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
// Our own box type: Yes, No, Yes to all, No to all (for a question asked of many items).
inline constexpr unsigned MB_YESNOTOALL = 0x7;
inline constexpr int IDNOTOALL = mrNoToAll;
inline constexpr int IDYESTOALL = mrYesToAll;

// SystemParametersInfo(SPI_GETWORKAREA): the primary monitor's work area.
TRect GetWorkArea();
// The settings the controls read: SPI_GETWORKAREA (Param a TRect*) and SPI_GETWHEELSCROLLLINES
// (Param an unsigned*). False for others.
bool SystemParametersInfo(UINT Action, void* Param);

}  // namespace ui
