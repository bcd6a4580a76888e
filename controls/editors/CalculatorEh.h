// The four-function calculator panel: a display and 23 keys, driven by its keys, the keyboard
// and, as a drop-down, by the editor that owns it.
#pragma once

#include <vector>

#include "controls/editors/ToolCtrlsEh_DropDown.h"
#include "framework/rtl/Variant.h"
#include "framework/ui/Buttons.h"
#include "framework/ui/Controls.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/StdCtrls.h"

namespace editors {

// How an editor exchanges its value with a value drop-down.
class IDropDownValueEditorEh {
public:
    virtual ~IDropDownValueEditorEh() = default;
    // True while Enter would take the shown value (the equals key shows "Ok").
    virtual bool ResultIsFinal() = 0;
    virtual bool GetFlat() = 0;
    // A float; a varError value while an error is shown.
    virtual rtl::Variant GetValue() = 0;
    virtual void SetFlat(bool Value) = 0;
    // Clears pending operations first.
    virtual void SetValue(const rtl::Variant& Value) = 0;
};

// The key character of a key button's Tag; Tag 0 (and any unknown Tag) gives #0.
char CalculatorKeyOfTag(intptr_t Tag) noexcept;

class TCalculatorEh : public ui::TCustomControl {
    RTL_CLASS(TCalculatorEh, ui::TCustomControl)
public:
    explicit TCalculatorEh(rtl::TComponent* Owner);
    ~TCalculatorEh() override;

    // 0: a result (or nothing) is shown; 1: a number is being typed; 2: error, only C is taken.
    int Status() const noexcept { return FStatus; }
    char Operator() const noexcept { return FOperator; }
    double Operand() const noexcept { return FOperand; }
    // The display's caption.
    const rtl::AnsiString& DisplayText() const;
    // The display's number; 0 in the error status.
    double DisplayValue() const;
    // A value that is not finite shows the error state: its text could never be read back.
    void SetDisplayValue(double X);
    void ClearAll();
    void ShowError();
    void CopyToClipboard();
    // EConvertError for a clipboard text that is not a number; the display is then unchanged.
    void PasteFromClipboard();

    virtual void ProcessKey(char Key);
    void SpeedButtonClick(rtl::TObject* Sender);

    ui::TPanel* Panel1() const noexcept { return FPanel1; }
    ui::TLabel* TextBox() const noexcept { return FTextBox; }
    ui::TSpeedButton* EqualsKey() const noexcept { return FEqual; }
    // The key with the given Tag (1..23), or nullptr.
    ui::TSpeedButton* KeyOfTag(intptr_t Tag) const noexcept;

protected:
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    bool DoMouseWheelDown(ui::TShiftState Shift, ui::TPoint MousePos) override;
    bool DoMouseWheelUp(ui::TShiftState Shift, ui::TPoint MousePos) override;
    void BeginNumber();
    void UpdateEqualsCaption();

private:
    void SetDisplayText(const rtl::AnsiString& Text);

    int FStatus = 0;
    char FOperator = '=';
    double FOperand = 0;
    ui::TPanel* FPanel1 = nullptr;
    ui::TLabel* FTextBox = nullptr;
    ui::TSpeedButton* FEqual = nullptr;
    std::vector<ui::TSpeedButton*> FKeys;
};

// The calculator as a drop-down under a number editor: never takes the focus, closes itself
// through its owner's IDropDownHostEh.
class TPopupCalculatorEh : public TCalculatorEh, public IDropDownValueEditorEh {
    RTL_CLASS(TPopupCalculatorEh, TCalculatorEh)
public:
    explicit TPopupCalculatorEh(rtl::TComponent* Owner);

    void ProcessKey(char Key) override;
    bool CanFocus() const override { return false; }

    bool ResultIsFinal() override;
    bool GetFlat() override { return FFlat; }
    rtl::Variant GetValue() override;
    void SetFlat(bool Value) override;
    void SetValue(const rtl::Variant& Value) override;

protected:
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void WndProc(ui::TMessage& Message) override;

private:
    // False when the owner offers no host: the drop-down then cannot close itself.
    bool CloseUp(bool Accept);
    bool FFlat = true;
};

}  // namespace editors
