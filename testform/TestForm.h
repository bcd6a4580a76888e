// The controls' test form: a few controls of the window model on one form, enough to try the
// display backend by hand and in the screenshot test.
#pragma once

#include <string>
#include <vector>

#include "framework/ui/Forms.h"

namespace testform {

using namespace ui;

// A one-line text box: typed characters are appended, Backspace takes the last one away.
class TTestEdit : public TCustomControl {
    RTL_CLASS(TTestEdit, TCustomControl)
public:
    explicit TTestEdit(rtl::TComponent* Owner);
    const AnsiString& Text() const noexcept { return FText; }
    void SetText(const AnsiString& Value);
    // Where the text is drawn, in client coordinates.
    TPoint TextOrigin() const { return Point(4, 3); }

protected:
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Paint() override;
    void WMSetFocus(TWMSetFocus& M) override;
    void WMKillFocus(TWMKillFocus& M) override;

private:
    AnsiString FText;
};

class TTestCombo;

// The list a combo opens: a popup window under the combo that never takes the focus; it holds the
// mouse while open so that a click anywhere else closes it.
class TTestDropDown : public TCustomControl {
    RTL_CLASS(TTestDropDown, TCustomControl)
public:
    TTestDropDown(rtl::TComponent* Owner, TTestCombo* Combo);
    int ItemHeight() const;
    void CloseUp(int Selected);

protected:
    void CreateParams(TCreateParams& P) override;
    void Dispatch(TMessage& M) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Paint() override;
    void WMCancelMode(TWMCancelMode& M) override;

private:
    TTestCombo* FCombo;
};

// A drop-down list box: the chosen item and a button; a click opens the list under it.
class TTestCombo : public TCustomControl {
    RTL_CLASS(TTestCombo, TCustomControl)
public:
    explicit TTestCombo(rtl::TComponent* Owner);
    std::vector<AnsiString> Items;
    int ItemIndex = 0;
    bool DroppedDown() const;
    void DropDown();
    TTestDropDown* List() const noexcept { return FList; }

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void Paint() override;

private:
    TTestDropDown* FList = nullptr;
};

class TTestForm : public TForm {
    RTL_CLASS(TTestForm, TForm)
public:
    explicit TTestForm(rtl::TComponent* Owner);
    TTestEdit* Edit = nullptr;
    TTestCombo* Combo = nullptr;
};

}  // namespace testform
