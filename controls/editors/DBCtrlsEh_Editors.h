// The editors built on the edit base (number, date-time, combo box) and the data-aware check box.
#pragma once

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/ui/StdCtrls.h"

namespace editors {

// ---------------------------------------------------------------------------------------------
// TCustomDBCheckBoxEh: a check box bound to a field (or keeping its own Boolean) that maps the
// field's value to a state through lists of accepted texts and paints itself entirely.

using TCheckBoxStateEh = ui::TCheckBoxState;

// The texts a Boolean field shows; the default lists of checked and unchecked texts.
inline constexpr const char* STextTrueEh = "True";
inline constexpr const char* STextFalseEh = "False";

// True when Text is one of the ';'-separated entries of List (blanks trimmed, case ignored); a list
// ending with ';' also holds the empty text, an empty list holds nothing.
bool ValueListHasText(const AnsiString& List, const AnsiString& Text);

class TCustomDBCheckBoxEh : public ui::TButtonControl {
    RTL_CLASS(TCustomDBCheckBoxEh, ui::TButtonControl)
public:
    explicit TCustomDBCheckBoxEh(rtl::TComponent* Owner);
    ~TCustomDBCheckBoxEh() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // --- binding ---
    AnsiString DataField() const { return FDataLink->FieldName(); }
    void SetDataField(const AnsiString& Value);
    db::TDataSource* DataSource() const { return FDataLink->LinkedDataSource(); }
    void SetDataSource(db::TDataSource* Value);
    TFieldDataLinkEh* DataLink() const noexcept { return FDataLink.get(); }
    db::TField* Field() const { return FDataLink->BoundField(); }
    bool ReadOnly() const { return FDataLink->ReadOnly(); }
    void SetReadOnly(bool Value) { FDataLink->SetReadOnly(Value); }

    // --- state ---
    TCheckBoxStateEh State() const noexcept { return FState; }
    // Writes the field at once (a bound box puts the dataset into edit state first).
    void SetState(TCheckBoxStateEh Value);
    bool Checked() const noexcept { return FState == ui::cbChecked; }
    void SetChecked(bool Value) override { SetState(Value ? ui::cbChecked : ui::cbUnchecked); }
    // Changed since it was last loaded from the data.
    bool StateChanged() const noexcept { return FStateChanged; }

    // --- properties ---
    ui::TLeftRight Alignment() const noexcept { return FAlignment; }
    void SetAlignment(ui::TLeftRight Value);
    bool AllowGrayed() const noexcept { return FAllowGrayed; }
    void SetAllowGrayed(bool Value) noexcept { FAllowGrayed = Value; }
    bool AlwaysShowBorder() const noexcept { return FAlwaysShowBorder; }
    void SetAlwaysShowBorder(bool Value);
    bool Flat() const noexcept { return FFlat; }
    void SetFlat(bool Value);
    const AnsiString& ValueChecked() const noexcept { return FValueCheck; }
    void SetValueChecked(const AnsiString& Value);
    const AnsiString& ValueUnchecked() const noexcept { return FValueUncheck; }
    void SetValueUnchecked(const AnsiString& Value);
    bool MouseOver() const noexcept { return FMouseOver; }

    TUpdateDataEventEh OnUpdateData;

    // --- extension points ---
    virtual void PaintCheckBox(ui::TCanvas* C);
    virtual bool IsUnbound() const { return FDataLink->Unbound(); }
    virtual void DrawCaption(ui::TCanvas* C, const ui::TRect& Rect, bool IsFocused);
    virtual void DrawCheckFace(ui::TCanvas* C, const ui::TRect& Rect, TCheckBoxStateEh AState, bool Pressed,
                               bool IsMouseOver, bool IsFocused);
    virtual void PaintLayout(ui::TCanvas* C, TCheckBoxStateEh AState, bool IsFocused, bool Pressed, bool IsMouseOver);
    virtual void SetStateInternal(TCheckBoxStateEh Value);
    virtual void StoreToLink();
    virtual void Toggle();
    virtual void UpdateData();

    // The state the data asks for.
    TCheckBoxStateEh StateFromData() const;

protected:
    bool GetChecked() const override { return Checked(); }
    void Clicked() override;
    void WndProc(ui::TMessage& Message) override;
    void KeyPress(char& Key) override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    void PaintWindow(ui::HDC DC) override;
    void CMExit(ui::TCMExit& Message) override;
    void CMDialogChar(ui::TCMDialogKey& Message) override;
    void CMWantSpecialKey(ui::TCMWantSpecialKey& Message) override;
    void CMMouseEnter(ui::TMessage& Message) override;
    void CMMouseLeave(ui::TMessage& Message) override;
    void CMEnabledChanged(ui::TMessage& Message) override;
    void WMCancelMode(ui::TWMCancelMode& Message) override;

private:
    void LinkDataChange(rtl::TObject* Sender);
    void LoadStateFromData();

    rtl::TOwnedPtr<TFieldDataLinkEh> FDataLink;
    ui::TLeftRight FAlignment = ui::TLeftRight::taRightJustify;
    TCheckBoxStateEh FState = ui::cbUnchecked;
    AnsiString FValueCheck = STextTrueEh;
    AnsiString FValueUncheck = STextFalseEh;
    bool FAllowGrayed = false;
    bool FAlwaysShowBorder = false;
    bool FFlat = false;
    bool FFocusing = false;
    bool FStateChanged = false;
    bool FMouseOver = false;
    bool FInUpdateData = false;
};

class TDBCheckBoxEh : public TCustomDBCheckBoxEh {
    RTL_CLASS(TDBCheckBoxEh, TCustomDBCheckBoxEh)
public:
    using TCustomDBCheckBoxEh::TCustomDBCheckBoxEh;
};

// ---------------------------------------------------------------------------------------------
// Events and text routines shared by the editors below.

using TCloseUpEventEh = std::function<void(rtl::TObject* Sender, bool Accept)>;

// Blanks are the characters #0..#32.
AnsiString TrimLeadingBlanks(const AnsiString& S);
AnsiString TrimTrailingBlanks(const AnsiString& S);
AnsiString TrimBlanks(const AnsiString& S);
AnsiString ReplaceAllText(const AnsiString& S, const AnsiString& Old, const AnsiString& New);
long double PowerOfTen(int N);
// Digits, the decimal separator, signs and an exponent only; a lone sign reads as 0.
bool TryNumberTextToFloat(const AnsiString& S, double& X);
// Thousands separators between the integer digits when Use.
AnsiString GroupThousands(const AnsiString& T, bool Use);
// ",#." and the locale's currency decimals as zeros.
AnsiString CurrencyEditFormat();

// ---------------------------------------------------------------------------------------------
// TCustomDBNumberEditEh: the edit base holding a number: typing checked character by character,
// thousands grouped while typing, clamped and rounded, stepped by Increment, and a drop-down
// calculator on the main button.

class TCustomDBNumberEditEh : public TCustomDBEditEh {
    RTL_CLASS(TCustomDBNumberEditEh, TCustomDBEditEh)
public:
    explicit TCustomDBNumberEditEh(rtl::TComponent* Owner);
    void AfterConstruction() override;

    // --- properties (the field's when not assigned) ---
    bool Currency() const;
    void SetCurrency(bool Value);
    unsigned DecimalPlaces() const noexcept { return FDecimalPlaces; }
    void SetDecimalPlaces(unsigned Value);
    AnsiString DisplayFormat() const;
    void SetDisplayFormat(const AnsiString& Value);
    long double Increment() const noexcept { return FIncrement; }
    void SetIncrement(long double Value) noexcept { FIncrement = Value; }
    long double MinValue() const;
    void SetMinValue(long double Value);
    long double MaxValue() const;
    void SetMaxValue(long double Value);
    // The format of the text while focused.
    const AnsiString& EditFormat() const noexcept { return FEditFormat; }
    bool CalculatorOpen() const noexcept { return FCalculatorOpen; }

    // The field's defaults.
    AnsiString FieldDisplayFormat() const;
    bool FieldCurrency() const;
    long double FieldMinValue() const;
    long double FieldMaxValue() const;

    TCloseUpEventEh OnCloseUp;
    rtl::TNotifyEvent OnDropDown;

    // --- number routines ---
    AnsiString NormalizeNumberText(const AnsiString& S) const;
    static AnsiString EditFormatOf(const AnsiString& DisplayFormat);
    AnsiString FormatDisplayValue(double X) const;
    // Clamps to the assigned range and rounds to DecimalPlaces.
    double CheckValue(double X) const;

    virtual AnsiString DisplayTextOfValue();
    virtual TPopupCalculatorEh* PopupCalculator();
    virtual void IncrementValue(bool Up);

    // --- overrides of the edit base ---
    TEditButtonEh* CreateEditButton() override;
    ui::TAlignment DefaultAlignment() const override;
    Variant GetValueVariant() const override;
    bool IsValidChar(char Key) override;
    void EditButtonDown(bool Flag) override;
    void CloseUp(bool Accept) override;
    void DataChanged() override;
    void DropDown() override;
    void InternalSetText(const AnsiString& AText) override;
    void InternalSetValue(const Variant& AValue) override;
    void StoreTextToLink() override;

    void WndProc(ui::TMessage& Message) override;

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void Change() override;
    bool DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) override;
    void CMCancelMode(ui::TCMCancelMode& Message) override;
    void CMWantSpecialKey(ui::TCMWantSpecialKey& Message) override;
    void WMKillFocus(ui::TWMKillFocus& Message) override;

    void ReformatEditText(const AnsiString& S);
    void UpdateValueFromText();
    void SetTextGuarded(const AnsiString& S);

private:
    void Reload();
    void WMPaste(ui::TMessage& Message);
    bool IsCalculatorWindow(ui::HWND Wnd) const;

    bool FDisplayFormatAssigned = false;
    bool FCurrencyAssigned = false;
    bool FMinValueAssigned = false;
    bool FMaxValueAssigned = false;
    bool FCalculatorOpen = false;
    bool FCurrency = false;
    unsigned FDecimalPlaces = 2;
    AnsiString FDisplayFormat;
    TPopupCalculatorEh* FCalculator = nullptr;  // owned as a component
    AnsiString FEditFormat;
    long double FIncrement = 1;
    bool FSetTextGuard = false;
    long double FMinValue = 0;
    long double FMaxValue = 0;
    Variant FValue = Variant::Null();
};

class TDBNumberEditEh : public TCustomDBNumberEditEh {
    RTL_CLASS(TDBNumberEditEh, TCustomDBNumberEditEh)
public:
    using TCustomDBNumberEditEh::TCustomDBNumberEditEh;
};

// ---------------------------------------------------------------------------------------------
// TCustomDBDateTimeEditEh: a date, a time or both in a masked text laid out by an edit format,
// with a drop-down month calendar, element stepping and completion of partial input on leaving.

enum TDateTimeKindEh { dtkDateEh, dtkTimeEh, dtkDateTimeEh, dtkCustomEh };

inline constexpr const char* SInvalidDateTimeEh = "Invalid datetime: ";

class TCustomDBDateTimeEditEh : public TCustomDBEditEh {
    RTL_CLASS(TCustomDBDateTimeEditEh, TCustomDBEditEh)
public:
    explicit TCustomDBDateTimeEditEh(rtl::TComponent* Owner);
    void AfterConstruction() override;

    TDateTimeKindEh Kind() const noexcept { return FKind; }
    void SetKind(TDateTimeKindEh Value);
    const AnsiString& EditFormat() const noexcept { return FEditFormat; }
    // Makes the kind custom.
    void SetEditFormat(const AnsiString& Value);
    const AnsiString& DisplayFormat() const noexcept { return FDisplayFormat; }
    const TDateTimeElementsEh& Elements() const noexcept { return FElements; }
    bool FourDigitYear() const noexcept { return FFourDigitYear; }
    bool CalendarOpen() const noexcept { return FCalendarOpen; }
    TPopupMonthCalendarEh* Calendar();

    TCloseUpEventEh OnCloseUp;
    rtl::TNotifyEvent OnDropDown;

    virtual void UpdateYearDigits();
    virtual void UpdateEditFormat();
    // Steps the element under the caret and selects it.
    void StepElement(bool Up);

    // --- overrides of the edit base ---
    TEditButtonEh* CreateEditButton() override;
    Variant GetValueVariant() const override { return FValue; }
    void EditButtonDown(bool Flag) override;
    void EditButtonMouseMove(rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y) override;
    void DropDown() override;
    void CloseUp(bool Accept) override;
    void DataChanged() override;
    void InternalSetText(const AnsiString& AText) override;
    void InternalSetValue(const Variant& AValue) override;
    void StoreTextToLink() override;
    AnsiString PaintCopyText() override;
    void FilterMRUItem(const AnsiString& Item, bool& Accept) override;
    void ValidateEdit() override;
    void WndProc(ui::TMessage& Message) override;

protected:
    void Change() override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    bool DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) override;
    void CMEnter(ui::TCMEnter& Message) override;
    void CMCancelMode(ui::TCMCancelMode& Message) override;
    void CMWantSpecialKey(ui::TCMWantSpecialKey& Message) override;
    void WMKillFocus(ui::TWMKillFocus& Message) override;

private:
    void Reload();
    void SetTextGuarded(const AnsiString& S);
    // The text read onto the current value; Null when it does not form a date-time.
    bool TextToValue(const AnsiString& Text, bool FixUp, Variant& Result) const;
    AnsiString FormatValue(const Variant& V) const;
    bool IsCalendarWindow(ui::HWND Wnd) const;

    bool FCalendarOpen = false;
    TPopupMonthCalendarEh* FCalendar = nullptr;  // owned as a component
    bool FValidating = false;
    bool FTextSetting = false;
    TDateTimeKindEh FKind = dtkDateEh;
    Variant FValue = Variant::Null();
    AnsiString FEditFormat;
    AnsiString FDisplayFormat;
    TDateTimeElementsEh FElements{};
    bool FFourDigitYear = true;
};

class TDBDateTimeEditEh : public TCustomDBDateTimeEditEh {
    RTL_CLASS(TDBDateTimeEditEh, TCustomDBDateTimeEditEh)
public:
    using TCustomDBDateTimeEditEh::TCustomDBDateTimeEditEh;
};

// ---------------------------------------------------------------------------------------------
// TCustomDBComboBoxEh: a text editor with a list of items dropping down from its main button;
// with key items (key mode) a pick list whose Value is the key of the chosen item.

class TDropDownBoxEh : public rtl::TPersistent {
    RTL_CLASS(TDropDownBoxEh, rtl::TPersistent)
public:
    void Assign(rtl::TPersistent* Source) override;
    TDropDownAlign Align = daLeft;
    // Typing opens the list.
    bool AutoDrop = false;
    int Rows = 7;
    bool Sizable = false;
    // 0: the editor's width; -1: as wide as the widest item.
    int Width = 0;
};

using TNotInListEventEh = std::function<void(rtl::TObject* Sender, const AnsiString& NewText, bool& RecheckInList)>;
using TCloseUpHookEh = std::function<void(rtl::TObject* Sender, bool& Accept)>;
using TItemsCountHookEh = std::function<int(rtl::TObject* Sender)>;
using TListFactoryEh = std::function<TPopupListboxEh*(rtl::TComponent* Owner)>;

class TCustomDBComboBoxEh : public TCustomDBEditEh {
    RTL_CLASS(TCustomDBComboBoxEh, TCustomDBEditEh)
public:
    explicit TCustomDBComboBoxEh(rtl::TComponent* Owner);
    ~TCustomDBComboBoxEh() override;
    void AfterConstruction() override;

    TDropDownBoxEh* DropDownBox() const noexcept { return FDropDownBox.get(); }
    rtl::TStrings* Items() const noexcept { return FItems.get(); }
    void SetItems(rtl::TStrings* Value) { FItems->Assign(Value); }
    rtl::TStrings* KeyItems() const noexcept { return FKeyItems.get(); }
    void SetKeyItems(rtl::TStrings* Value) { FKeyItems->Assign(Value); }
    int ItemIndex() const noexcept { return FItemIndex; }
    // Writes the field at once (a bound editor puts the dataset into edit state first).
    void SetItemIndex(int Value);
    bool KeyMode() const noexcept { return FKeyMode; }
    int ListedCount() const noexcept { return FListedCount; }
    bool ListOpen() const noexcept { return FListVisible; }
    // The drop-down list, made on first use.
    TPopupListboxEh* PopupList();
    void Clear() override;

    TNotInListEventEh OnNotInList;
    TCloseUpEventEh OnCloseUp;
    rtl::TNotifyEvent OnDropDown;
    TListGetImageIndexEventEh OnGetItemImageIndex;
    // Set by an owner (the grid's filter row).
    TCloseUpHookEh CloseUpHook;
    TItemsCountHookEh ItemsCountHook;
    TListFactoryEh ListFactory;

    virtual bool LocateText(const AnsiString& Text, bool Partial);
    virtual void ProcessSearchKey(const AnsiString& S);
    virtual int GetItemsCount();
    virtual void SetItemIndexInternal(int Index);

    // --- overrides of the edit base ---
    TEditButtonEh* CreateEditButton() override;
    ui::TAlignment DefaultAlignment() const override;
    Variant GetValueVariant() const override;
    bool IsValidChar(char Key) override;
    int DefaultImageIndex() override { return FItemImageIndex; }
    void UpdateImageIndex() override;
    void ResetMaxLength() override;
    void DataChanged() override;
    void DropDown() override;
    void CloseUp(bool Accept) override;
    void EditButtonDown(bool Flag) override;
    void EditButtonMouseMove(rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y) override;
    void InternalSetText(const AnsiString& AText) override;
    void InternalSetValue(const Variant& AValue) override;
    void StoreTextToLink() override;
    void UpdateControlReadOnly() override;
    void UpdateData() override;
    AnsiString PaintCopyText() override;
    void WndProc(ui::TMessage& Message) override;

protected:
    void Change() override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void WMChar(ui::TWMKey& Message) override;
    bool DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) override;
    ui::TWinControl* ListWindow() const override;

private:
    void ItemsChanged();
    void KeyItemsChanged();
    // Up: the previous item; down: the next.
    void SelectNextItem(bool Up);
    bool CanChangeValue();
    int IndexOfText(const AnsiString& Text) const;
    void SetTextGuarded(const AnsiString& S);
    void ListMouseUp(int X, int Y);

    std::unique_ptr<TDropDownBoxEh> FDropDownBox;
    std::unique_ptr<rtl::TStringList> FItems;
    std::unique_ptr<rtl::TStringList> FKeyItems;
    TPopupListboxEh* FPopupList = nullptr;  // owned as a component
    int FItemIndex = -1;
    int FListedCount = 0;
    bool FKeyMode = false;
    Variant FKeyValue = Variant::Null();
    int FItemImageIndex = -1;
    // The items in UTF-16 for the search, made again after the items change.
    std::vector<rtl::WideString> FSearchItems;
    bool FSearchItemsValid = false;
    // Set while the text becomes the selected item's: it need not be looked up again.
    bool FShowingItem = false;
};

class TDBComboBoxEh : public TCustomDBComboBoxEh {
    RTL_CLASS(TDBComboBoxEh, TCustomDBComboBoxEh)
public:
    using TCustomDBComboBoxEh::TCustomDBComboBoxEh;
};

}  // namespace editors
