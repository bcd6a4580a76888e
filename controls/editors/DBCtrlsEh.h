// The data-aware editors: the field data link every editor talks to its dataset through, the
// Variant-to-text conversion of shown values, the routines behind the date-time editor's edit
// format, and the edit base every text-like editor derives from.
#pragma once

#include <array>
#include <functional>

#include "controls/editors/CalculatorEh.h"
#include "controls/editors/ToolCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_Buttons.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "controls/editors/ToolCtrlsEh_DropDown.h"
#include "framework/db/DB.h"
#include "framework/ui/Controls.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/ImgList.h"
#include "framework/ui/Mask.h"

namespace editors {

// ---------------------------------------------------------------------------------------------
// TFieldDataLinkEh: binds an editor to one field, to a ';'-separated list of fields, or to
// nothing (unbound: the link keeps the value itself).

class TFieldDataLinkEh : public db::TDataLink {
    RTL_CLASS(TFieldDataLinkEh, db::TDataLink)
public:
    TFieldDataLinkEh();

    // --- binding ---
    db::TDataSource* LinkedDataSource() const noexcept { return DataSource(); }
    void AssignLinkDataSource(db::TDataSource* Value);
    const AnsiString& FieldName() const noexcept { return FFieldName; }
    void BindFieldName(const AnsiString& Value);
    bool MultiFields() const noexcept { return FMultiFields; }
    void SetMultiFields(bool Value);
    rtl::TComponent* Control() const noexcept { return FControl; }
    void SetControl(rtl::TComponent* Value) noexcept { FControl = Value; }

    // --- fields ---
    const TFieldsArrEh& Fields() const noexcept { return FFields; }
    db::TField* BoundField() const noexcept { return FFields.empty() ? nullptr : FFields.front(); }
    int FieldsCount() const noexcept { return static_cast<int>(FFields.size()); }
    db::TField* FieldsField(int Index) const;

    // --- state ---
    bool Unbound() const noexcept { return FUnbound; }
    const Variant& UnboundValue() const noexcept { return FUnboundValue; }
    // The link's own editing state (the platform's Editing follows the dataset alone).
    bool LinkEditing() const noexcept { return FEditing; }
    bool Modified() const noexcept { return FModified; }
    void FlagModified() noexcept { FModified = true; }
    void SetModified(bool Value) noexcept { FModified = Value; }
    bool CanModify() const;
    bool IsActive() const;
    bool IsDataSetOpen() const;

    // --- values ---
    // Called before the first change of the control's text; returns the link's editing state.
    bool BeginFieldEdit();
    void SetText(const AnsiString& Text);
    // Several bound fields take Null (or Empty) as "clear all", otherwise an array with one
    // element per field; anything else is refused before any field changes.
    void StoreFieldValue(const Variant& Value);
    // The control reloads its value from the data.
    void RestoreFieldValue() { HandleRecordChange(nullptr); }

    // --- notifications ---
    virtual void HandleActiveChange();
    virtual void HandleDataSetEvent(db::TDataEvent Event, intptr_t Info);
    virtual void HandleEditingChange();
    // A bound field whose control took the focus is cleared (handled).
    virtual void HandleFocusRequest(db::TField*& Field);
    virtual void HandleLayoutChange();
    // nil stands for any field.
    virtual void HandleRecordChange(db::TField* Field);
    virtual void HandleWriteBack();
    virtual void UpdateFields();
    virtual bool CalcUnbound() const;

    void DataEvent(db::TDataEvent Event, intptr_t Info) final;

    rtl::TNotifyEvent OnDataChange;
    rtl::TNotifyEvent OnEditingChange;
    rtl::TNotifyEvent OnUpdateData;
    rtl::TNotifyEvent OnActiveChange;

protected:
    void ActiveChanged() final { HandleActiveChange(); }
    void EditingChanged() final { HandleEditingChange(); }
    void FocusControl(db::TField** Field) final;
    void LayoutChanged() final { HandleLayoutChange(); }
    void RecordChanged(db::TField* Field) final { HandleRecordChange(Field); }
    void UpdateData() final { HandleWriteBack(); }
    // Focuses the owning control when it is a window that can take the focus.
    virtual bool FocusOwningControl();

private:
    void UpdateUnboundState();
    bool IsBoundField(const db::TField* Field) const;
    void Fire(const rtl::TNotifyEvent& Event) {
        if (Event) Event(this);
    }

    TFieldsArrEh FFields;
    AnsiString FFieldName;
    rtl::TComponent* FControl = nullptr;
    bool FMultiFields = false;
    bool FUnbound = true;
    bool FEditing = false;
    bool FModified = false;
    Variant FUnboundValue = Variant::Null();
};

// ---------------------------------------------------------------------------------------------
// TEditImageEh: the small image at the left of an editor's text.

class TEditImageEh : public rtl::TPersistent {
    RTL_CLASS(TEditImageEh, rtl::TPersistent)
public:
    explicit TEditImageEh(ui::TWinControl* EditControl) : FEditControl(EditControl) {}
    void Assign(rtl::TPersistent* Source) override;

    ui::TWinControl* EditControl() const noexcept { return FEditControl; }
    int ImageIndex() const noexcept { return FImageIndex; }
    void SetImageIndex(int Value);
    ui::TCustomImageList* Images() const noexcept { return FImages; }
    void SetImages(ui::TCustomImageList* Value);
    bool UseImageHeight() const noexcept { return FUseImageHeight; }
    void SetUseImageHeight(bool Value);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    // 0 means the image list's width.
    int Width() const noexcept { return FWidth; }
    void SetWidth(int Value);
    // The owning editor passes on its free notifications so that a freed list is not kept.
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation);

private:
    // The editor recomputes its image area when it gets this.
    void LayoutChanged();

    ui::TWinControl* FEditControl;
    int FImageIndex = -1;
    ui::TCustomImageList* FImages = nullptr;
    bool FUseImageHeight = true;
    bool FVisible = false;
    int FWidth = 0;
};

// ---------------------------------------------------------------------------------------------
// Hosting an editor inside a grid cell.

// Implemented by the grid that hosts an editor.
class IInplaceEditHolderEh {
public:
    virtual ~IInplaceEditHolderEh() = default;
    // False makes the hosted editor read-only.
    virtual bool CanEditorModify(ui::TWinControl* Editor) = 0;
    // Screen position and message time of the holder's last mouse-down.
    virtual void GetLastMouseDown(ui::TPoint& Pos, int& Time) = 0;
    // Sees every message of the editor first; a non-zero Result ends the editor's own handling.
    virtual void EditorWndProc(ui::TWinControl* Editor, ui::TMessage& Message) = 0;
    // Key 0 (or '\0') means consumed.
    virtual void EditorKeyDown(ui::TWinControl* Editor, uint16_t& Key, ui::TShiftState Shift) = 0;
    virtual void EditorKeyPress(ui::TWinControl* Editor, char& Key) = 0;
    virtual void EditorKeyUp(ui::TWinControl* Editor, uint16_t& Key, ui::TShiftState Shift) = 0;
};

// Implemented by every data-aware editor; the grid sets a hosted editor up only through it.
class IHostableEditEh {
public:
    virtual ~IHostableEditEh() = default;
    virtual ui::TFont* GetFont() = 0;
    // nullptr detaches; a holder without IInplaceEditHolderEh raises InplaceEditHolderMismatch and
    // leaves the editor as it was.
    virtual void SetInplaceEditHolder(ui::TWinControl* Holder) = 0;
    virtual void SetBorderStyle(ui::TBorderStyle Value) = 0;
    virtual void SetFont(ui::TFont* Value) = 0;
    virtual void SetColor(ui::TColor Value) = 0;
    virtual void SetOnKeyPress(ui::TKeyPressEvent Handler) = 0;
    virtual void SetOnExit(rtl::TNotifyEvent Handler) = 0;
};

inline constexpr const char* InplaceEditHolderMismatch =
    "InplaceEditHolder have to support IInplaceEditHolderEh interface";
// The holder's interface; raises InplaceEditHolderMismatch for a holder without it, nullptr for none.
IInplaceEditHolderEh* RequireInplaceEditHolder(ui::TWinControl* Holder);

// The text an editor shows for a value: '' for arrays and for values without a text form.
AnsiString VariantToText(const Variant& Value);

// ---------------------------------------------------------------------------------------------
// Date-time edit formats. Element letters Y M D H N S (either case); '\' takes the next character
// literally. Positions are 1-based positions in the edited text.

enum TDateTimeElementEh { dteYear, dteMonth, dteDay, dteHour, dteMinute, dteSecond };
constexpr int DateTimeElementCountEh = 6;

struct TDateTimeElementPosEh {
    int Pos = -1;
    int Length = -1;
    bool Present = false;
};
using TDateTimeElementsEh = std::array<TDateTimeElementPosEh, DateTimeElementCountEh>;
// Element values in the order above; -1 is missing or unreadable.
using TDateTimeValuesEh = std::array<int, DateTimeElementCountEh>;

enum TDateOrderEh { doMDYEh, doDMYEh, doYMDEh };

// Years this far before today's year start the hundred years two-digit years fall in.
constexpr int DateTimeCenturyWindowEh = 60;

TDateOrderEh LocaleDateOrder();
AnsiString DefaultDateEditFormat(bool FourDigits);
AnsiString DefaultTimeEditFormat();
// The edit mask and element table of a format; raises on a bad format and builds nothing then.
void CompileDateTimeEditFormat(const AnsiString& Format, AnsiString& Mask, TDateTimeElementsEh& Elements);
// The format for the platform's date-time formatting, with the mask's layout.
AnsiString DateTimeEditDisplayFormat(const AnsiString& Format);
// The format with its element letters, '/' and ':' at the edited text's positions, blanks elsewhere.
AnsiString DateTimeEditStepTemplate(const AnsiString& Format);
// Reads the present elements of an edited text; true when every present element was read.
bool ParseDateTimeText(const AnsiString& Text, const TDateTimeElementsEh& Elements, TDateTimeValuesEh& Values);
// Puts element values onto Value (Null for all missing); false, with Value Null, when they do not
// form a date-time.
bool ComposeDateTimeValues(const TDateTimeValuesEh& Values, const TDateTimeElementsEh& Elements, Variant& Value,
                           bool FixUp);
TDateTimeValuesEh DecomposeDateTimeValue(const Variant& Value);
int ExpandTwoDigitYear(int Year);
int TodayYear();
// Steps the element under the caret; Pos and SelLength then select it.
AnsiString StepDateTimeElement(const AnsiString& Text, const AnsiString& Template, bool Up, int& Pos, int& SelLength);
// The date element at or just after a separator typed at Pos (in the default date layout).
void DateElementAtSeparator(const AnsiString& Text, int& Pos, int& Len, bool FourDigits);

// ---------------------------------------------------------------------------------------------
// The edit base: a masked edit bound to a field (or keeping its own value), with edit buttons at
// the right, an image at the left, a required-value line, tool-tips and grid hosting.

// Raised (as EDatabaseError naming the editor) when an editor bound by field name has no data
// source and code writes its value: there is no dataset to put into edit state.
inline constexpr const char* SMissingDataSource = "Missing DataSource property";

// Posted to an editor after its number or date drop-down closed; wParam the main button's Tag.
inline constexpr unsigned WM_DROPDOWNCLOSEDEh = ui::WM_USER + 102;

// The guard every data-aware editor applies to writes by code: bound by field name without a
// data source (or with one that has no dataset) raises, naming Editor; unbound passes.
void CheckEditorDataSource(const TFieldDataLinkEh* Link, rtl::TComponent* Editor);
// Bound by field name without a data source: such an editor reads as empty.
bool EditorDataSourceMissing(const TFieldDataLinkEh* Link);

using TOnCheckDrawRequiredStateEventEh = std::function<void(rtl::TObject* Sender, bool& DrawState)>;
using TGetImageIndexEventEh = std::function<void(rtl::TObject* Sender, int& ImageIndex)>;
using TUpdateDataEventEh = std::function<void(rtl::TObject* Sender, bool& Handled)>;

// One placed button: its control and the separator line on its text side.
struct TEditButtonControlLineRec {
    ui::TShape* ButtonLine = nullptr;
    TEditButtonControlEh* EditButtonControl = nullptr;
};
using TEditButtonControlList = std::vector<TEditButtonControlLineRec>;

// The hint window of editor tool-tips: measures with the font passed as the hint's data.
class TToolTipsWindow : public ui::THintWindow {
    RTL_CLASS(TToolTipsWindow, ui::THintWindow)
public:
    using ui::THintWindow::THintWindow;
    ui::TRect CalcHintRect(int MaxWidth, const AnsiString& Hint, void* Data) override;
};

class TCustomDBEditEh : public ui::TCustomMaskEdit, public IDropDownHostEh, public IHostableEditEh {
    RTL_CLASS(TCustomDBEditEh, ui::TCustomMaskEdit)
public:
    explicit TCustomDBEditEh(rtl::TComponent* Owner);
    ~TCustomDBEditEh() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // --- binding and value ---
    AnsiString DataField() const { return GetDataField(); }
    db::TDataSource* DataSource() const { return GetDataSource(); }
    TFieldDataLinkEh* DataLink() const noexcept { return FDataLink.get(); }
    db::TField* Field() const { return FDataLink ? FDataLink->BoundField() : nullptr; }
    // Bound by field name but without a data source: reads are empty, writes raise
    // SMissingDataSource.
    bool DataSourceMissing() const;
    // The masked text (without literals for a mask that does not save them).
    AnsiString Text() const;
    // Writes the field at once (bound editors put the dataset into edit state first).
    void SetText(const AnsiString& Value);
    Variant Value() const;
    void SetValue(const Variant& Value) { SetValueVariant(Value); }
    void Clear() override { SetText(AnsiString()); }
    void Reset() override;

    // --- properties ---
    ui::TAlignment Alignment() const;
    void SetAlignment(ui::TAlignment Value);
    bool AlignmentAssigned() const noexcept { return FAlignmentAssigned; }
    bool AlwaysShowBorder() const noexcept { return FAlwaysShowBorder; }
    void SetAlwaysShowBorder(bool Value);
    // The user's mask; once set, the field's mask no longer applies.
    void SetEditMask(const AnsiString& Value);
    bool EditMaskAssigned() const noexcept { return FEditMaskAssigned; }
    TEditButtonEh* EditButton() const noexcept { return FEditButton.get(); }
    void SetEditButton(TEditButtonEh* Value) { FEditButton->Assign(Value); }
    TEditButtonsEh* EditButtons() const noexcept { return FEditButtons.get(); }
    void SetEditButtons(TEditButtonsEh* Value) { FEditButtons->Assign(Value); }
    TEditImageEh* EditImage() const noexcept { return FEditImage.get(); }
    bool Flat() const noexcept { return FFlat; }
    void SetFlat(bool Value);
    bool HighlightRequired() const noexcept { return FHighlightRequired; }
    void SetHighlightRequired(bool Value);
    ui::TCustomImageList* Images() const { return FEditImage->Images(); }
    // Also makes the image visible.
    void SetImages(ui::TCustomImageList* Value);
    void SetPasswordChar(char Value);
    // The user's flag; the window's read-only state (WindowReadOnly) is derived from it.
    bool ReadOnly() const noexcept { return FUserReadOnly; }
    void SetReadOnly(bool Value);
    bool WindowReadOnly() const noexcept { return ui::TCustomMaskEdit::ReadOnly(); }
    // The user's flag; the control's own ShowHint is derived (with Tooltips).
    bool ShowHint() const noexcept { return FUserShowHint; }
    void SetShowHint(bool Value);
    bool Tooltips() const noexcept { return FTooltips; }
    void SetTooltips(bool Value);
    bool WantReturns() const noexcept { return FEditWantReturns; }
    void SetWantReturns(bool Value) noexcept { FEditWantReturns = Value; }
    bool WantTabs() const noexcept { return FEditWantTabs; }
    void SetWantTabs(bool Value) noexcept { FEditWantTabs = Value; }
    bool WordWrap() const noexcept { return FWordWrap; }
    void SetWordWrap(bool Value);
    void SetAutoSize(bool Value);

    // --- state ---
    // The editor's own notion of having the focus (edit text shown, not display text).
    bool EditFocused() const noexcept { return FEditFocused; }
    bool DroppedDown() const noexcept { return FDroppedDown; }
    bool DroppedDownByPress() const noexcept { return FDroppedDownByPress; }
    bool BorderHot() const noexcept { return FBorderHot; }
    int ButtonHeight() const noexcept { return FButtonHeight; }
    int ButtonsWidth() const noexcept { return FButtonsWidth; }
    int ImageWidth() const noexcept { return FImageWidth; }
    const TEditButtonControlList& ButtonControls() const noexcept { return FEditButtonControlList; }
    TMRUListEh* MRUList() const noexcept { return FMRUList.get(); }
    void SetMRUList(TMRUListEh* Value) { FMRUList->Assign(Value); }
    // The list's drop-down, made on first use and kept until the editor goes.
    TMRUListboxEh* MRUListbox();
    // Client rectangles of the button strip, the image and the owner-drawn text.
    ui::TRect ButtonsAreaRect() const;
    ui::TRect ImageAreaRect() const;
    ui::TRect OwnerDrawTextRect() const;
    // The text does not fit the text area (the tool-tip shows it then).
    bool TextDoesNotFit();
    ui::TWinControl* InplaceEditHolder() const noexcept { return FInplaceEditHolder; }
    bool Hosted() const noexcept { return FInplaceEditHolder != nullptr; }

    // --- events ---
    TButtonClickEventEh OnButtonClick;
    TButtonDownEventEh OnButtonDown;
    TOnCheckDrawRequiredStateEventEh OnCheckDrawRequiredState;
    TUpdateDataEventEh OnUpdateData;
    const TGetImageIndexEventEh& OnGetImageIndex() const noexcept { return FOnGetImageIndex; }
    void SetOnGetImageIndex(TGetImageIndexEventEh Value);

    // IDropDownHostEh (and the virtual close of the editor's drop-down).
    void CloseUp(bool Accept) override;

    // IHostableEditEh
    ui::TFont* GetFont() override { return Font(); }
    void SetInplaceEditHolder(ui::TWinControl* Holder) override;
    void SetBorderStyle(ui::TBorderStyle Value) override { ui::TCustomMaskEdit::SetBorderStyle(Value); }
    void SetFont(ui::TFont* Value) override { ui::TControl::SetFont(Value); }
    void SetColor(ui::TColor Value) override { ui::TControl::SetColor(Value); }
    void SetOnKeyPress(ui::TKeyPressEvent Handler) override { OnKeyPress = std::move(Handler); }
    void SetOnExit(rtl::TNotifyEvent Handler) override { OnExit = std::move(Handler); }

    // Hosting: places (or, with an empty rectangle, hides) a hosted editor.
    virtual void SetEditorBounds(const ui::TRect& R);
    // While hosted: whether the window shows.
    bool Visible() const;
    void SetVisible(bool Value) override;
    // Hosted editors take the focus only while visible.
    void SetFocus() override;

    void WndProc(ui::TMessage& Message) override;

    // --- extension points ---
    virtual bool ButtonEnabled();
    virtual TFieldDataLinkEh* CreateDataLink();
    virtual TEditButtonEh* CreateEditButton();
    virtual TEditButtonControlEh* CreateEditButtonControl();
    virtual TEditButtonsEh* CreateEditButtons();
    virtual TEditImageEh* CreateEditImage();
    virtual TMRUListboxEh* CreateMRUListbox();
    virtual bool IsUnbound() const;
    virtual ui::TAlignment DefaultAlignment() const;
    virtual AnsiString FieldEditMask() const;
    virtual int DefaultImageIndex();
    virtual AnsiString GetDataField() const;
    virtual db::TDataSource* GetDataSource() const;
    virtual AnsiString PaintCopyText();
    virtual Variant GetValueVariant() const;
    virtual bool IsValidChar(char Key);
    virtual void ActiveChanged();
    void AdjustHeight() override;
    virtual void EditButtonDown(bool TopButton);
    virtual void TextAreaRect(ui::TRect& Rect);
    virtual void DataChanged();
    virtual void DropDown();
    virtual void EditButtonClick(rtl::TObject* Sender);
    virtual void EditButtonMouseDown(rtl::TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled);
    virtual void EditButtonMouseMove(rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y);
    virtual void EditButtonMouseUp(rtl::TObject* Sender, ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y);
    virtual void EditingChanged();
    virtual void FilterMRUItem(const AnsiString& Item, bool& Accept);
    virtual void InternalSetText(const AnsiString& AText);
    virtual void InternalSetValue(const Variant& AValue);
    virtual void StoreTextToLink();
    virtual void SaveMRUListboxSize();
    virtual void DrawRequiredState(ui::TCanvas* ACanvas);
    virtual void ResetMaxLength();
    virtual void SetDataField(const AnsiString& Value);
    virtual void SetDataSource(db::TDataSource* Value);
    virtual void SetFocused(bool Value);
    virtual void SetValueVariant(const Variant& AValue);
    virtual void UpdateControlReadOnly();
    virtual void UpdateFixedHeight();
    virtual void UpdateShowHint();
    virtual void UpdateImageIndex();
    virtual void UpdateMRUDropDown();
    virtual void UpdateData();

    // The button strip is laid out again and refreshed (after button changes).
    void LayoutEditButtons();
    void UpdateEditButtonControls();
    void UpdateBorderHot();

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void CreateWnd() override;
    void Loaded() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    bool EditCanModify() override;
    void Change() override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void KeyUp(uint16_t& Key, ui::TShiftState Shift) override;
    void Dispatch(ui::TMessage& Message) override;
    void DefaultHandler(ui::TMessage& Message) override;
    void PaintWindow(ui::HDC DC) override;
    void WMNCPaint(ui::TMessage& Message) override;
    void WMSize(ui::TWMSize& Message) override;
    void WMSetCursor(ui::TWMSetCursor& Message) override;
    void WMSetFocus(ui::TWMSetFocus& Message) override;
    void WMKillFocus(ui::TWMKillFocus& Message) override;
    void WMGetDlgCode(ui::TWMGetDlgCode& Message) override;
    void WMChar(ui::TWMKey& Message) override;
    void WMLButtonDown(ui::TWMMouse& Message) override;
    void CMEnter(ui::TCMEnter& Message) override;
    void CMExit(ui::TCMExit& Message) override;
    void CMCancelMode(ui::TCMCancelMode& Message) override;
    void CMColorChanged(ui::TMessage& Message) override;
    void CMEnabledChanged(ui::TMessage& Message) override;
    void CMFontChanged(ui::TMessage& Message) override;
    void CMMouseEnter(ui::TMessage& Message) override;
    void CMMouseLeave(ui::TMessage& Message) override;
    void CMHintShow(ui::TCMHintShow& Message) override;
    void CMWantSpecialKey(ui::TCMWantSpecialKey& Message) override;
    void CMShowingChanged(ui::TMessage& Message) override;
    void CMParentShowHintChanged(ui::TMessage& Message) override;

    // The owner-drawn path: right or centred text of an unfocused single-line editor.
    bool OwnerDrawsText() const;
    void PaintOwnerDrawnText(ui::TCanvas* ACanvas);
    // The edit's formatting rectangle follows the text area.
    void UpdateEditRect();
    // The image area's width from the image settings.
    void UpdateImageWidth();
    // A button control's entry in the strip (-1 for none).
    int ButtonIndexOf(rtl::TObject* Sender) const;
    // The entry of the main button (0) or the first collection button with that shortcut; -1.
    int ButtonIndexOfShortCut(TShortCut ShortCut) const;
    TEditButtonEh* ButtonOfIndex(int Index) const;
    // Presses a button control from the keyboard (its shortcut).
    void PressButtonControl(int Index);
    // The holder's interface while hosted.
    IInplaceEditHolderEh* HolderIntf() const noexcept { return FHolderIntf; }
    void HideHosted();
    // Starts editing unless the user made the editor read-only.
    void BeginEditUnlessReadOnly();
    // True when the clipboard holds a character 1251 lacks.
    bool IsPasteRefused() const;
    // Cancels a button control's hold on the mouse.
    void CancelButtonCapture();
    // A drag from the main button (Sender, at X, Y) into the open DropDown presses the drop-down
    // there; true when it did.
    bool PassButtonDragToDropDown(rtl::TObject* Sender, int X, int Y, ui::TWinControl* DropDown);
    // The wheel goes to an open DropDown first; true when it took it (Message answered).
    bool PassWheelToDropDown(ui::TMessage& Message, ui::TWinControl* DropDown);
    // Shows DropDown under the editor as Align places it, leaving the activation where it is.
    void ShowDropDownUnder(ui::TWinControl* DropDown, TDropDownAlign Align);
    // Hides DropDown, leaving the activation where it is.
    static void HideDropDown(ui::TWinControl* DropDown);
    // Posts WM_DROPDOWNCLOSEDEh with the main button's Tag.
    void PostDropDownClosed();
    // A key message whose code Takes accepts goes to the open DropDown's window instead; true
    // when it went (Message answered).
    bool PassKeyToDropDown(ui::TMessage& Message, ui::TWinControl* DropDown,
                           const std::function<bool(ui::WPARAM Code)>& Takes);
    // A cancel-mode sent by a control outside the editor and its open DropDown closes it unaccepted.
    void CloseDropDownOnCancelMode(ui::TControl* Sender, ui::TWinControl* DropDown);
    // Enter and Escape close an open drop-down and so must not reach the form; true when Message
    // was answered.
    static bool WantDropDownKey(ui::TCMWantSpecialKey& Message, bool DropDownOpen);
    // The mouse of an editor whose text is only picked from a list: outside the buttons area a
    // left press runs LeftDown, a left release LeftUp (when given), the other button messages are
    // withheld and a right release asks for the context menu there; true when Message was taken.
    bool ListStyleMouse(ui::TMessage& Message, const std::function<void()>& LeftDown,
                        const std::function<void()>& LeftUp = {});
    // The focus leaves for a window other than the open DropDown.
    static bool FocusLeavesDropDown(const ui::TWMKillFocus& Message, ui::TWinControl* DropDown);
    // A combo-style editor's list window (made on first use; nullptr without one). While
    // FListVisible is set, the focus leaving for another window, a cancel-mode from outside the
    // editor and the list, Enter and Esc all belong to that list.
    virtual ui::TWinControl* ListWindow() const { return nullptr; }
    bool FListVisible = false;

    // The MRU list's part of the editor.
    void CreateMRUList();
    void FreeMRUList();
    void AddTextToMRUList();
    void OpenMRUAfterBackspace();
    void CloseMRUList(bool Accept);
    void CloseMRUOnCancelMode(ui::TControl* Sender);
    void CloseMRUOnFocusLoss(ui::HWND NewFocus);
    bool MRUListHasSelection() const;
    // Keys and the wheel that go to an open MRU list; true when the message was taken.
    bool RouteMRUKey(ui::TMessage& Message);
    void MRUListDropDown();
    void MRUListCloseUp(bool Accept);
    // What the edit shows for an empty value (the mask's literals and blanks).
    AnsiString EmptyEditText() const;
    // The formatting rectangle on the screen: the list drops down under it.
    ui::TRect ScreenEditRect();
    void PlaceMRUListbox();
    // After each message: the MRU list follows a text change or a Backspace that emptied it.
    void RunPendingMRUWork();
    // A text, value or item the program sets goes to the field at once (the dataset put in
    // edit; without a data source there is none, which raises); a write the field refuses puts
    // the field's value back.
    void AssignAndUpdate(const std::function<void()>& Assign);

    AnsiString FCharMessageText;
    bool FInUpdateData = false;

private:
    void LinkDataChange(rtl::TObject* Sender);
    void LinkEditingChange(rtl::TObject* Sender);
    void LinkUpdateData(rtl::TObject* Sender);
    void LinkActiveChange(rtl::TObject* Sender);
    void EditButtonChanged();
    void RaiseIfDataSourceMissing();

    rtl::TOwnedPtr<TFieldDataLinkEh> FDataLink;
    rtl::TOwnedPtr<TEditButtonEh> FEditButton;
    rtl::TOwnedPtr<TEditButtonsEh> FEditButtons;
    rtl::TOwnedPtr<TEditImageEh> FEditImage;
    rtl::TOwnedPtr<TMRUListEh> FMRUList;
    TMRUListboxEh* FMRUListbox = nullptr;  // owned as a component
    TEditButtonControlList FEditButtonControlList;
    TGetImageIndexEventEh FOnGetImageIndex;

    ui::TAlignment FUserAlignment = ui::TAlignment::taLeftJustify;
    bool FAlignmentAssigned = false;
    bool FEditMaskAssigned = false;
    bool FAlwaysShowBorder = false;
    bool FFlat = false;
    bool FHighlightRequired = false;
    bool FUserReadOnly = false;
    bool FUserShowHint = false;
    bool FTooltips = false;
    bool FEditWantReturns = false;
    bool FEditWantTabs = false;
    bool FWordWrap = false;
    bool FBorderHot = false;
    int FButtonHeight = 0;
    int FButtonsWidth = 0;
    int FImageWidth = 0;
    bool FDroppedDown = false;
    bool FDroppedDownByPress = false;
    bool FEditFocused = false;
    bool FMouseAbove = false;
    bool FTextChangePending = false;
    bool FBackspaceOpenPending = false;
    bool FMRUAccepting = false;
    char FMRUKeyTaken = 0;
    bool FLayingOut = false;
    ui::TWinControl* FInplaceEditHolder = nullptr;
    IInplaceEditHolderEh* FHolderIntf = nullptr;

protected:
    // Set by drop-down editors while their window is open.
    void SetDroppedDown(bool Value) noexcept { FDroppedDown = Value; }
};

// The published text editor.
class TDBEditEh : public TCustomDBEditEh {
    RTL_CLASS(TDBEditEh, TCustomDBEditEh)
public:
    using TCustomDBEditEh::TCustomDBEditEh;
};

// Shows an editor's MRU list box, whose items List has just filtered, in the editor's colour and
// font and Width wide; when it is up already it only follows the item count. Place puts it
// against the editor, CloseUp closes it when nothing is left, SaveSize keeps a size the user gives.
void DropDownMRUListbox(TMRUListEh* List, TMRUListboxEh* Listbox, ui::TControl* Editor, int Width,
                        const std::function<void()>& Place, const std::function<void(bool Accept)>& CloseUp,
                        std::function<void()> SaveSize);

}  // namespace editors
