// The four-function calculator panel: a display and 23 keys, driven by its keys, the keyboard
// and, as a drop-down, by the editor that owns it.
#pragma once

#include <vector>

#include "controls/editors/ToolCtrlsEh_Buttons.h"
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
    // The panel's client size as laid out; auto-size keeps it.
    static constexpr int DesignClientWidth = 184;
    static constexpr int DesignClientHeight = 127;

    explicit TCalculatorEh(rtl::TComponent* Owner);
    ~TCalculatorEh() override;
    void AfterConstruction() override;

    ui::TBorderStyle BorderStyle() const noexcept { return FBorderStyle; }
    // A change makes the window again.
    void SetBorderStyle(ui::TBorderStyle Value);
    bool Ctl3D() const noexcept { return FCtl3D; }
    void SetCtl3D(bool Value);
    // The outer size follows the client size plus the frame.
    bool AutoSize() const noexcept { return FAutoSize; }
    void SetAutoSize(bool Value);
    int PixelsPerInch() const noexcept { return FPixelsPerInch; }
    // Taken when it differs and is 0 or above 35.
    void SetPixelsPerInch(int Value);
    // Accepted and ignored.
    bool OldCreateOrder() const noexcept { return FOldCreateOrder; }
    void SetOldCreateOrder(bool Value) noexcept { FOldCreateOrder = Value; }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

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

    // The frame's height: what the window adds to a client area of no size.
    virtual int NonClientHeight();
    virtual void ProcessKey(char Key);
    void SpeedButtonClick(rtl::TObject* Sender);

    ui::TPanel* Panel1() const noexcept { return FPanel1; }
    ui::TLabel* TextBox() const noexcept { return FTextBox; }
    TSpeedButtonEh* EqualsKey() const noexcept { return FEqual; }
    // The key with the given Tag (1..23), or nullptr.
    TSpeedButtonEh* KeyOfTag(intptr_t Tag) const noexcept;
    const std::vector<TSpeedButtonEh*>& Keys() const noexcept { return FKeys; }

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    void CreateWnd() override;
    // Pixels the drop-down's own frame takes on each side (none for the panel).
    virtual int PopupBorderWidth() const { return 0; }
    virtual void Ctl3DChanged();
    // Applies the auto-size rule to the current bounds.
    void UpdateAutoSize();
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
    TSpeedButtonEh* FEqual = nullptr;
    std::vector<TSpeedButtonEh*> FKeys;
    ui::TBorderStyle FBorderStyle = ui::TBorderStyle::bsNone;
    bool FCtl3D = true;
    bool FAutoSize = true;
    bool FOldCreateOrder = false;
    int FPixelsPerInch = ui::ScreenPixelsPerInch;
};

// The calculator as a drop-down under a number editor: never takes the focus, closes itself
// through its owner's IDropDownHostEh.
class TPopupCalculatorEh : public TCalculatorEh, public IDropDownValueEditorEh {
    RTL_CLASS(TPopupCalculatorEh, TCalculatorEh)
public:
    explicit TPopupCalculatorEh(rtl::TComponent* Owner);

    void ProcessKey(char Key) override;
    bool CanFocus() const override { return false; }
    // A top-level window placed in screen coordinates that only belongs to its parent's window.
    void SetParent(ui::TWinControl* AParent) override;
    // 2 with Ctl3D, else 0.
    int BorderWidth() const noexcept { return FBorderWidth; }

    bool ResultIsFinal() override;
    bool GetFlat() override { return FFlat; }
    rtl::Variant GetValue() override;
    void SetFlat(bool Value) override;
    void SetValue(const rtl::Variant& Value) override;

protected:
    void CreateParams(ui::TCreateParams& Params) override;
    int PopupBorderWidth() const override { return FBorderWidth; }
    void Ctl3DChanged() override;
    void KeyDown(uint16_t& Key, ui::TShiftState Shift) override;
    void WndProc(ui::TMessage& Message) override;
    // The non-client frame: a dark one-pixel line with a raised inner edge inside it.
    virtual void DrawPopupBorder(ui::HDC DC);

private:
    // False when the owner offers no host: the drop-down then cannot close itself.
    bool CloseUp(bool Accept);
    bool FFlat = true;
    int FBorderWidth = 2;
};

}  // namespace editors
