// The standard controls: edits and memos (our own edit engine on 1251 text), buttons, check and
// radio boxes, labels, group boxes, list boxes, combo boxes and scroll bars.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/ui/Controls.h"

namespace ui {

// Notifications of the edit window.
inline constexpr uint32_t ES_OEMCONVERT = 0x0400;
enum : uint16_t {
    EN_SETFOCUS = 0x0100,
    EN_KILLFOCUS = 0x0200,
    EN_CHANGE = 0x0300,
    EN_UPDATE = 0x0400,
    EN_MAXTEXT = 0x0501,
};
enum : UINT {
    EM_GETLINECOUNT = 0x00BA,
    EM_LINEINDEX = 0x00BB,
    EM_LINELENGTH = 0x00C1,
    EM_GETLINE = 0x00C4,
    EM_LINEFROMCHAR = 0x00C9,
    EM_SETPASSWORDCHAR = 0x00CC,
    EM_EMPTYUNDOBUFFER = 0x00CD,
    EM_GETFIRSTVISIBLELINE = 0x00CE,
};
inline constexpr WPARAM EC_LEFTMARGIN = 1;
inline constexpr WPARAM EC_RIGHTMARGIN = 2;

// Sounds the warning beep: an input was refused. The display backend may install a sound;
// tests read the count.
void MessageBeep(UINT Type = 0);
int MessageBeepCount();
void SetMessageBeepHandler(std::function<void(UINT)> Handler);

// The primary selection of X: the text the user selected last, which other programs paste with
// the middle button. The display backend installs where it goes; tests read the last one.
void SetPrimarySelection(const AnsiString& Text);
AnsiString PrimarySelection();
void SetPrimarySelectionHandler(std::function<void(const AnsiString&)> Handler);

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
using enum TEditCharCase;
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;

// ---------------------------------------------------------------------------------------------
// TCustomEdit: the edit window (single- or multi-line) and the control over it.

class TCustomEdit : public TWinControl {
    RTL_CLASS(TCustomEdit, TWinControl)
public:
    explicit TCustomEdit(TComponent* Owner);
    ~TCustomEdit() override;

    // Positions are byte offsets into the 1251 text. The caret is the moving end of the selection.
    int SelStart() const noexcept { return std::min(FAnchor, FCaret); }
    int SelLength() const noexcept { return std::abs(FCaret - FAnchor); }
    void SetSelStart(int Value);
    void SetSelLength(int Value);
    AnsiString SelText() const;
    void SetSelText(const AnsiString& Value);
    int CaretPos() const noexcept { return FCaret; }
    // Selects from Anchor to Caret (either order); positions are clamped to the text.
    void SetSel(int Anchor, int Caret);
    void SelectAll();
    void ClearSelection();
    // Through WM_COPY, WM_CUT, WM_PASTE and WM_UNDO, so controls that watch them see every way in.
    void CopyToClipboard() { Perform(WM_COPY); }
    void CutToClipboard() { Perform(WM_CUT); }
    void PasteFromClipboard() { Perform(WM_PASTE); }
    void Undo() { Perform(WM_UNDO); }
    bool CanUndo() const noexcept { return FUndo.Valid; }
    void ClearUndo() noexcept { FUndo.Valid = false; }
    virtual void Clear() { TControl::SetText(AnsiString()); }
    int GetTextLen() const noexcept { return static_cast<int>(FText.size()); }

    bool Modified() const noexcept { return FModified; }
    void SetModified(bool Value) noexcept { FModified = Value; }
    int MaxLength() const noexcept { return FMaxLength; }
    void SetMaxLength(int Value);
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool Value);
    TEditCharCase CharCase() const noexcept { return FCharCase; }
    void SetCharCase(TEditCharCase Value);
    char PasswordChar() const noexcept { return FPasswordChar; }
    void SetPasswordChar(char Value);
    bool AutoSelect() const noexcept { return FAutoSelect; }
    void SetAutoSelect(bool Value) noexcept { FAutoSelect = Value; }
    bool HideSelection() const noexcept { return FHideSelection; }
    void SetHideSelection(bool Value);
    TBorderStyle BorderStyle() const noexcept { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    bool AutoSize() const noexcept { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool MultiLine() const noexcept { return (FParams.Style & ES_MULTILINE) != 0 || FMultiLine; }

    // The formatting rectangle (client coordinates) and the caret's line for multi-line edits.
    TRect EditRect() const noexcept { return FRect; }
    int LineCount() const;
    int LineFromChar(int Pos) const;
    int LineIndex(int Line) const;
    int FirstVisibleLine() const noexcept { return FTopLine; }
    int ScrollX() const noexcept { return FScrollX; }
    // Client point of a character position and the position nearest a client point.
    TPoint PosFromChar(int Pos);
    int CharFromPos(TPoint P);

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DefaultHandler(TMessage& Message) override;
    void Dispatch(TMessage& Message) override;
    void CMTextChanged(TMessage& Message) override;
    void CMEnter(TCMEnter& Message) override;
    void CMFontChanged(TMessage& Message) override;
    void WMSize(TWMSize& Message) override;
    virtual void CNCommand(TWMCommand& Message);
    // The edit window's own clipboard and undo work.
    virtual void DoCopy();
    virtual void DoCut();
    virtual void DoPaste();
    virtual void DoClear();
    virtual void DoUndo();
    // A whole new text from an edit (masked editing): undo, caret, Modified and EN_CHANGE.
    void TextEdited(const AnsiString& NewText, int Caret);
    virtual void Change();
    // The text with every change of the edit window applied (no notification).
    void SetTextDirect(const AnsiString& Value);
    // Replaces the selection as a user edit would: limit, case, undo, notification. False when
    // nothing could be inserted (read-only, limit reached).
    bool ReplaceSelection(const AnsiString& Value, bool CanUndo, bool Typing = false);
    // Text to draw (the password character hides it).
    AnsiString DisplayText(std::string_view Part) const;
    int TextWidthOf(std::string_view Part);
    int LineHeight();
    // Scrolls the caret into view and puts the system caret there.
    void ScrollCaret();
    void PlaceCaret();
    // Whether the focused control shows the caret (a drop-down list does not).
    virtual bool ShowsCaret() const { return true; }
    void ResetEditRect();
    // Fits the height to the font for a single-line edit with AutoSize and a border.
    virtual void AdjustHeight();
    virtual void PaintEdit(TCanvas* DC);
    // A pasted text in 1251, or false when it holds a character 1251 lacks.
    static bool ClipboardText(AnsiString& Text);
    static bool IsWordChar(char C) noexcept;
    void NotifyChange();
    void SaveUndo();

    int FAnchor = 0;
    int FCaret = 0;
    int FMaxLength = 0;
    bool FReadOnly = false;
    TEditCharCase FCharCase = ecNormal;
    char FPasswordChar = 0;
    bool FAutoSelect = true;
    bool FHideSelection = true;
    TBorderStyle FBorderStyle = TBorderStyle::bsSingle;
    bool FAutoSize = true;
    bool FModified = false;
    bool FMultiLine = false;
    bool FWantReturns = true;
    bool FWantTabs = false;
    TAlignment FAlignment = taLeftJustify;
    TRect FRect;
    bool FRectSet = false;
    int FLeftMargin = 1;
    int FRightMargin = 1;
    int FScrollX = 0;
    int FTopLine = 0;
    bool FSelecting = false;
    bool FFocused = false;
    bool FInSetText = false;
    struct TUndo {
        bool Valid = false;
        AnsiString Text;
        int Anchor = 0, Caret = 0;
    } FUndo;
    bool FTypingRun = false;

private:
    friend struct TEditWindowProc;
    void HandleKeyDown(TWMKey& Message);
    void HandleChar(TWMKey& Message);
    void HandleMouse(TMessage& Message);
    void MoveCaret(int Pos, bool Extend);
    // A selection the user made becomes the primary selection (never a password's).
    void ShareSelection();
    void ScrollToCaret();
    // Keeps the window's own bars on the view: lines down, pixels across.
    void UpdateScrollBars();
    void ScrollView(int Bar, int Code, int ThumbPos);
    int WidestLine();
    int WordLeft(int Pos) const;
    int WordRight(int Pos) const;
    int LineEnd(int Line) const;
};

class TEdit : public TCustomEdit {
    RTL_CLASS(TEdit, TCustomEdit)
public:
    using TCustomEdit::TCustomEdit;
};

// A list of lines backed by a memo's text.
class TMemoStrings;

class TCustomMemo : public TCustomEdit {
    RTL_CLASS(TCustomMemo, TCustomEdit)
public:
    explicit TCustomMemo(TComponent* Owner);
    ~TCustomMemo() override;
    rtl::TStrings* Lines() const noexcept;
    void SetLines(rtl::TStrings* Value);
    bool WantReturns() const noexcept { return FWantReturns; }
    void SetWantReturns(bool Value) noexcept { FWantReturns = Value; }
    bool WantTabs() const noexcept { return FWantTabs; }
    void SetWantTabs(bool Value) noexcept { FWantTabs = Value; }
    bool WordWrap() const noexcept { return FWordWrap; }
    void SetWordWrap(bool Value);
    TScrollStyle ScrollBars() const noexcept { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    TAlignment Alignment() const noexcept { return FAlignment; }
    void SetAlignment(TAlignment Value);
    // Caret as column and line.
    TPoint CaretPosition() const;

protected:
    void CreateParams(TCreateParams& Params) override;
    void WMGetDlgCode(TWMGetDlgCode& Message) override;
    void KeyPress(char& Key) override;

private:
    std::unique_ptr<TMemoStrings> FLines;
    bool FWordWrap = true;
    TScrollStyle FScrollBars = TScrollStyle::ssNone;
};

class TMemo : public TCustomMemo {
    RTL_CLASS(TMemo, TCustomMemo)
public:
    using TCustomMemo::TCustomMemo;
};


// ---------------------------------------------------------------------------------------------
// Accelerators

// True when Caption marks Key with '&' (not "&&"), compared without regard to case.
bool IsAccel(uint16_t Key, const AnsiString& Caption);
// The caption without its accelerator marks.
AnsiString StripHotkey(const AnsiString& Caption);

// ---------------------------------------------------------------------------------------------
// Buttons

// A window that acts when pressed and released over it (mouse) or with Space (keyboard).
class TButtonControl : public TWinControl {
    RTL_CLASS(TButtonControl, TWinControl)
public:
    explicit TButtonControl(TComponent* Owner);
    bool WordWrap() const noexcept { return FWordWrap; }
    void SetWordWrap(bool Value);
    // Pressed and held: drawn pushed in.
    bool Pressed() const noexcept { return FPressed; }

protected:
    void CMMouseEnter(TMessage& Message) override;
    void CMMouseLeave(TMessage& Message) override;
    // The mouse is over the enabled button (the themed hover look).
    bool Hot() const;
    virtual bool GetChecked() const { return false; }
    virtual void SetChecked(bool Value) { (void)Value; }
    // The press finished over the control.
    virtual void Clicked() { Click(); }
    void DefaultHandler(TMessage& Message) override;
    void CMDialogChar(TCMDialogKey& Message) override;
    void CMTextChanged(TMessage& Message) override;
    bool FClicksDisabled = false;
    bool FWordWrap = false;
    bool FPressed = false;
    bool FMouseDown = false;
};

class TButton : public TButtonControl {
    RTL_CLASS(TButton, TButtonControl)
public:
    explicit TButton(TComponent* Owner);
    bool Default() const noexcept { return FDefault; }
    void SetDefault(bool Value);
    bool Cancel() const noexcept { return FCancel; }
    void SetCancel(bool Value) noexcept { FCancel = Value; }
    int ModalResult() const noexcept { return FModalResult; }
    void SetModalResult(int Value) noexcept { FModalResult = Value; }
    // The button Enter presses now: the default one, or the focused button.
    bool Active() const noexcept { return FActive; }
    void Click() override;

protected:
    void CMDialogKey(TCMDialogKey& Message) override;
    void CMFocusChanged(TCMFocusChanged& Message) override;
    void WMGetDlgCode(TWMGetDlgCode& Message) override;
    void PaintWindow(HDC DC) override;

private:
    bool FDefault = false;
    bool FCancel = false;
    bool FActive = false;
    int FModalResult = 0;
};

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
using enum TCheckBoxState;
enum class TLeftRight { taLeftJustify, taRightJustify };

class TCustomCheckBox : public TButtonControl {
    RTL_CLASS(TCustomCheckBox, TButtonControl)
public:
    explicit TCustomCheckBox(TComponent* Owner);
    TCheckBoxState State() const noexcept { return FState; }
    // A change (by user or code) fires OnClick.
    void SetState(TCheckBoxState Value);
    bool Checked() const noexcept { return FState == cbChecked; }
    void SetChecked(bool Value) override { SetState(Value ? cbChecked : cbUnchecked); }
    bool AllowGrayed() const noexcept { return FAllowGrayed; }
    void SetAllowGrayed(bool Value) noexcept { FAllowGrayed = Value; }
    TAlignment Alignment() const noexcept { return FAlignment; }
    void SetAlignment(TAlignment Value);
    // Unchecked -> checked -> grayed (when allowed) -> unchecked.
    virtual void Toggle();

protected:
    bool GetChecked() const override { return Checked(); }
    void Clicked() override { Toggle(); }
    void PaintWindow(HDC DC) override;
    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
    TAlignment FAlignment = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
    RTL_CLASS(TCheckBox, TCustomCheckBox)
public:
    using TCustomCheckBox::TCustomCheckBox;
};

// Checking one radio button unchecks the others with the same parent.
class TRadioButton : public TButtonControl {
    RTL_CLASS(TRadioButton, TButtonControl)
public:
    explicit TRadioButton(TComponent* Owner);
    bool Checked() const noexcept { return FChecked; }
    void SetChecked(bool Value) override;

protected:
    bool GetChecked() const override { return FChecked; }
    void Clicked() override { SetChecked(true); }
    void PaintWindow(HDC DC) override;
    void WMGetDlgCode(TWMGetDlgCode& Message) override;

private:
    bool FChecked = false;
};

// ---------------------------------------------------------------------------------------------
// Labels and group boxes

enum class TTextLayout { tlTop, tlCenter, tlBottom };

class TCustomLabel : public TGraphicControl {
    RTL_CLASS(TCustomLabel, TGraphicControl)
public:
    explicit TCustomLabel(TComponent* Owner);
    TWinControl* FocusControl() const noexcept { return FFocusControl; }
    void SetFocusControl(TWinControl* Value);
    bool ShowAccelChar() const noexcept { return FShowAccelChar; }
    void SetShowAccelChar(bool Value);
    bool AutoSize() const noexcept { return FAutoSize; }
    void SetAutoSize(bool Value);
    TAlignment Alignment() const noexcept { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TTextLayout Layout() const noexcept { return FLayout; }
    void SetLayout(TTextLayout Value);
    bool WordWrap() const noexcept { return FWordWrap; }
    void SetWordWrap(bool Value);
    bool Transparent() const noexcept { return FTransparent; }
    void SetTransparent(bool Value);
    // Fits the size to the caption when AutoSize is on.
    void AdjustBounds();

protected:
    void Paint() override;
    void Notification(TComponent* AComponent, rtl::TOperation Operation) override;
    void Dispatch(TMessage& Message) override;
    void CMTextChanged(TMessage& Message) override;
    void CMFontChanged(TMessage& Message) override;
    unsigned TextFlags() const;

private:
    TWinControl* FFocusControl = nullptr;
    bool FShowAccelChar = true;
    bool FAutoSize = true;
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = TTextLayout::tlTop;
    bool FWordWrap = false;
    bool FTransparent = false;
};

class TLabel : public TCustomLabel {
    RTL_CLASS(TLabel, TCustomLabel)
public:
    using TCustomLabel::TCustomLabel;
};

class TCustomGroupBox : public TCustomControl {
    RTL_CLASS(TCustomGroupBox, TCustomControl)
public:
    explicit TCustomGroupBox(TComponent* Owner);

protected:
    void Paint() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void CMDialogChar(TCMDialogKey& Message) override;
    void CMTextChanged(TMessage& Message) override;
};

class TGroupBox : public TCustomGroupBox {
    RTL_CLASS(TGroupBox, TCustomGroupBox)
public:
    using TCustomGroupBox::TCustomGroupBox;
};


// ---------------------------------------------------------------------------------------------
// List boxes

enum class TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable, lbVirtual, lbVirtualOwnerDraw };
using enum TListBoxStyle;
enum TOwnerDrawStateFlag { odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odComboBoxEdit };
using TOwnerDrawState = rtl::TSet<TOwnerDrawStateFlag>;
inline constexpr LRESULT LB_ERR = -1;

class TCustomListBox;
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;
using TLBGetDataEvent = std::function<void(TWinControl* Control, int Index, AnsiString& Data)>;

class TCustomListBox : public TWinControl {
    RTL_CLASS(TCustomListBox, TWinControl)
public:
    explicit TCustomListBox(TComponent* Owner);
    ~TCustomListBox() override;

    rtl::TStrings* Items() const noexcept;
    void SetItems(rtl::TStrings* Value);
    TListBoxStyle Style() const noexcept { return FStyle; }
    void SetStyle(TListBoxStyle Value);
    bool IsVirtual() const noexcept { return FStyle == lbVirtual || FStyle == lbVirtualOwnerDraw; }
    // Items in the list; a virtual list keeps only this count and asks OnData for texts.
    int Count() const;
    void SetCount(int Value);
    AnsiString ItemText(int Index) const;

    // The focused item; -1 when none. Set by code it does not fire OnClick.
    int ItemIndex() const noexcept { return FItemIndex; }
    void SetItemIndex(int Value);
    int TopIndex() const noexcept { return FTopIndex; }
    void SetTopIndex(int Value);
    int ItemHeight() const;
    void SetItemHeight(int Value);
    TRect ItemRect(int Index) const;
    // The item under a client point: with Existing -1 off the items, otherwise Count past the end.
    int ItemAtPos(TPoint Pos, bool Existing) const;
    // Rows that fit the client area whole (at least one).
    int VisibleRows() const;

    bool MultiSelect() const noexcept { return FMultiSelect; }
    void SetMultiSelect(bool Value);
    bool ExtendedSelect() const noexcept { return FExtendedSelect; }
    void SetExtendedSelect(bool Value) noexcept { FExtendedSelect = Value; }
    bool Selected(int Index) const;
    void SetSelected(int Index, bool Value);
    int SelCount() const;
    void ClearSelection();
    void SelectAll();
    bool Sorted() const noexcept { return FSorted; }
    void SetSorted(bool Value);
    // Type-ahead pause: characters typed within it extend the searched prefix.
    static constexpr uint32_t TypeAheadTimeout = 1000;
    // First item from Start + 1 (wrapping) whose text begins with Prefix, case ignored; -1 if none.
    int FindPrefix(const AnsiString& Prefix, int Start) const;

    // Owner drawing paints here while the list paints.
    TCanvas* Canvas() const noexcept { return FCanvas.get(); }

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;
    TLBGetDataEvent OnData;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DefaultHandler(TMessage& Message) override;
    void PaintWindow(HDC DC) override;
    void WMSize(TWMSize& Message) override;
    virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
    int ItemHeightOf(int Index) const;
    // A selection made by the user: OnClick follows.
    void UserSelect(int Index, TShiftState Shift);
    void ItemsChanged();
    void UpdateScrollBar();
    void MakeVisible(int Index);

    std::unique_ptr<rtl::TStringList> FItems;
    std::unique_ptr<TCanvas> FCanvas;
    TListBoxStyle FStyle = lbStandard;
    int FCount = 0;
    int FItemIndex = -1;
    int FTopIndex = 0;
    int FItemHeight = 16;
    int FAnchorIndex = -1;
    bool FMultiSelect = false;
    bool FExtendedSelect = true;
    bool FSorted = false;
    bool FTracking = false;
    std::vector<bool> FSelected;
    AnsiString FTypeAhead;
    uint32_t FTypeAheadTick = 0;

private:
    friend struct TListBoxWindowProc;
    void HandleKey(uint16_t Key);
    void HandleChar(char C);
    void SyncSelection();
};

class TListBox : public TCustomListBox {
    RTL_CLASS(TListBox, TCustomListBox)
public:
    using TCustomListBox::TCustomListBox;
};

// ---------------------------------------------------------------------------------------------
// Combo box

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
using enum TComboBoxStyle;

class TComboDropDown;

// An edit with a list that drops down under it. The list never takes the focus: the combo box
// keeps it and steers the list with the keys.
class TCustomComboBox : public TCustomEdit {
    RTL_CLASS(TCustomComboBox, TCustomEdit)
public:
    explicit TCustomComboBox(TComponent* Owner);
    ~TCustomComboBox() override;

    rtl::TStrings* Items() const noexcept;
    void SetItems(rtl::TStrings* Value);
    TComboBoxStyle Style() const noexcept { return FStyle; }
    void SetStyle(TComboBoxStyle Value);
    int ItemIndex() const noexcept { return FItemIndex; }
    // Set by code: the text follows, no events fire.
    void SetItemIndex(int Value);
    int DropDownCount() const noexcept { return FDropDownCount; }
    void SetDropDownCount(int Value) noexcept { FDropDownCount = std::max(1, Value); }
    bool DroppedDown() const noexcept;
    void SetDroppedDown(bool Value);
    // The open list (null while closed).
    TCustomListBox* DropDownList() const noexcept;
    bool Sorted() const noexcept { return FSorted; }
    void SetSorted(bool Value);

    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;

protected:
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void DefaultHandler(TMessage& Message) override;
    void Change() override;
    void CMExit(TCMExit& Message) override;
    void WMKillFocus(TWMKillFocus& Message) override;
    bool ShowsCaret() const override { return FStyle != csDropDownList; }
    void PaintEdit(TCanvas* DC) override;
    void CMMouseEnter(TMessage& Message) override;
    void CMMouseLeave(TMessage& Message) override;
    // The user chose an item (keys or the list): text, OnClick, OnSelect (or OnChange without it).
    virtual void Select();
    void ChooseItem(int Index);
    void CloseUp(bool Accept);
    // Where the list of Rows rows opens for a box at Box (screen coordinates).
    static TRect DropDownRect(const TRect& Box, int Rows, int RowHeight);
    friend class TComboDropDown;

private:
    std::unique_ptr<rtl::TStringList> FItems;
    TComboBoxStyle FStyle = csDropDown;
    int FItemIndex = -1;
    int FDropDownCount = 8;
    bool FSorted = false;
    TComboDropDown* FList = nullptr;
    AnsiString FTypeAhead;
    uint32_t FTypeAheadTick = 0;
};

class TComboBox : public TCustomComboBox {
    RTL_CLASS(TComboBox, TCustomComboBox)
public:
    using TCustomComboBox::TCustomComboBox;
};

// ---------------------------------------------------------------------------------------------
// Scroll bar control

enum class TScrollBarKind { sbHorizontal, sbVertical };
enum class TScrollCode {
    scLineUp,
    scLineDown,
    scPageUp,
    scPageDown,
    scPosition,
    scTrack,
    scTop,
    scBottom,
    scEndScroll
};
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

class TScrollBar : public TWinControl {
    RTL_CLASS(TScrollBar, TWinControl)
public:
    explicit TScrollBar(TComponent* Owner);
    TScrollBarKind Kind() const noexcept { return FKind; }
    void SetKind(TScrollBarKind Value);
    int Position() const noexcept { return FPosition; }
    void SetPosition(int Value);
    int Min() const noexcept { return FMin; }
    int Max() const noexcept { return FMax; }
    void SetParams(int APosition, int AMin, int AMax);
    void SetMin(int Value) { SetParams(FPosition, Value, FMax); }
    void SetMax(int Value) { SetParams(FPosition, FMin, Value); }
    int PageSize() const noexcept { return FPageSize; }
    void SetPageSize(int Value);
    int SmallChange() const noexcept { return FSmallChange; }
    void SetSmallChange(int Value) noexcept { FSmallChange = Value; }
    int LargeChange() const noexcept { return FLargeChange; }
    void SetLargeChange(int Value) noexcept { FLargeChange = Value; }
    // A scroll request as the bar's arrows, track and thumb send it.
    void Scroll(TScrollCode Code, int Pos = 0);

    TScrollEvent OnScroll;
    TNotifyEvent OnChange;

protected:
    void DefaultHandler(TMessage& Message) override;
    void PaintWindow(HDC DC) override;
    virtual void Change();

private:
    TScrollBarKind FKind = TScrollBarKind::sbHorizontal;
    int ArrowSize() const;
    int FPosition = 0, FMin = 0, FMax = 100, FPageSize = 0;
    int FSmallChange = 1, FLargeChange = 1;
    UINT FDisabledArrows = ESB_ENABLE_BOTH;
    bool FDragging = false;
    int FDragOffset = 0;  // from the thumb's start to where it was taken
};

}  // namespace ui
