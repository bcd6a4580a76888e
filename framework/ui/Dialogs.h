// The message box as a form of our own with the application's Russian button captions, and the
// file-open dialog, whose window the display backend supplies.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"

namespace ui {

inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
inline constexpr unsigned MB_RETRYCANCEL = 0x5;
inline constexpr unsigned MB_TYPEMASK = 0xF;
inline constexpr unsigned MB_ICONMASK = 0xF0;
inline constexpr unsigned MB_DEFBUTTON1 = 0x000;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr unsigned MB_DEFBUTTON3 = 0x200;
inline constexpr unsigned MB_DEFBUTTON4 = 0x300;
inline constexpr unsigned MB_DEFMASK = 0xF00;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
// Our own box type: Yes, No, All (go on, stop, go on without asking again).
inline constexpr unsigned MB_YESNOALL = 0x8;
inline constexpr int IDALL = mrAll;

struct TMessageButton {
    AnsiString Caption;  // 1251
    int Result;
};
// The buttons a message box of these flags shows, left to right.
std::vector<TMessageButton> MessageBoxButtons(unsigned Flags);

// A modal form with the text and the buttons; Enter presses the default button, Esc the Cancel or
// No one (or the only button). The caller frees it.
TForm* CreateMessageDialog(const AnsiString& Text, const AnsiString& Caption, unsigned Flags);
// Shows the message form modally and returns the button's result (IDCANCEL when closed).
int ShowMessageDialog(const AnsiString& Text, const AnsiString& Caption, unsigned Flags);
// The application's message box (its handler, when one is installed, decides).
int MessageBox(const AnsiString& Text, const AnsiString& Caption, unsigned Flags);

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
using enum TMsgDlgType;
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = rtl::TSet<TMsgDlgBtn>;
// The message box with a set of buttons under the application's title; the result is the pressed
// button's (mrYesToAll, mrNoToAll for the four-button question). A set no box shows raises
// EInvalidOperation.
int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx = 0);

enum TOpenOption {
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofAllowMultiSelect,
    ofPathMustExist,
    ofFileMustExist,
    ofNoChangeDir,
    ofEnableSizing
};
using TOpenOptions = rtl::TSet<TOpenOption>;

class TOpenDialog : public rtl::TComponent {
    RTL_CLASS(TOpenDialog, rtl::TComponent)
public:
    explicit TOpenDialog(rtl::TComponent* Owner);
    ~TOpenDialog() override;

    // Paths are 1251 text.
    const AnsiString& FileName() const noexcept { return FFileName; }
    void SetFileName(const AnsiString& Value) { FFileName = Value; }
    rtl::TStrings* Files() const noexcept;
    // "Description|*.ext;*.ext2|..." pairs.
    const AnsiString& Filter() const noexcept { return FFilter; }
    void SetFilter(const AnsiString& Value) { FFilter = Value; }
    // The filter pairs as (description, patterns).
    std::vector<std::pair<AnsiString, AnsiString>> FilterList() const;
    int FilterIndex() const noexcept { return FFilterIndex; }
    void SetFilterIndex(int Value) { FFilterIndex = Value; }
    const AnsiString& InitialDir() const noexcept { return FInitialDir; }
    void SetInitialDir(const AnsiString& Value) { FInitialDir = Value; }
    const AnsiString& Title() const noexcept { return FTitle; }
    void SetTitle(const AnsiString& Value) { FTitle = Value; }
    const AnsiString& DefaultExt() const noexcept { return FDefaultExt; }
    void SetDefaultExt(const AnsiString& Value) { FDefaultExt = Value; }
    TOpenOptions Options() const noexcept { return FOptions; }
    void SetOptions(TOpenOptions Value) { FOptions = Value; }

    // Shows the dialog through the presenter; true when the user chose a file. With
    // ofFileMustExist a chosen name that does not exist is not accepted.
    virtual bool Execute();

    // What shows the dialog: fills FileName (and Files) and answers whether the user accepted.
    using TPresenter = std::function<bool(TOpenDialog& Dialog)>;
    static void SetPresenter(TPresenter Presenter);
    static bool HasPresenter();

private:
    AnsiString FFileName, FFilter, FInitialDir, FTitle, FDefaultExt;
    std::unique_ptr<rtl::TStringList> FFiles;
    int FFilterIndex = 1;
    TOpenOptions FOptions{ofHideReadOnly, ofEnableSizing};
};

}  // namespace ui
