// The editors built on the edit base (number, date-time, combo box) and the data-aware check box.
#pragma once

#include "controls/editors/DBCtrlsEh.h"
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

}  // namespace editors
