// The data-aware editors' shared pieces that need no window: the field data link every editor
// talks to its dataset through, the Variant-to-text conversion of shown values, and the routines
// behind the date-time editor's edit format.
#pragma once

#include <array>
#include <functional>

#include "controls/editors/ToolCtrlsEh.h"
#include "framework/db/DB.h"
#include "framework/ui/Controls.h"
#include "framework/ui/ImgList.h"

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
AnsiString StepDateTimeElement(const AnsiString& Text, const AnsiString& Template, bool Up, int& Pos,
                               int& SelLength);
// The date element at or just after a separator typed at Pos (in the default date layout).
void DateElementAtSeparator(const AnsiString& Text, int& Pos, int& Len, bool FourDigits);

}  // namespace editors
