// The data-aware editors' shared pieces that need no window: the field data link every editor
// talks to its dataset through, the Variant-to-text conversion of shown values, and the routines
// behind the date-time editor's edit format.
#pragma once

#include <array>
#include <functional>

#include "controls/editors/ToolCtrlsEh.h"
#include "framework/db/DB.h"

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
    // Focuses the owning control when it is a window that can take the focus; no control of this
    // layer can, so the base answers false.
    virtual bool FocusOwningControl() { return false; }

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
