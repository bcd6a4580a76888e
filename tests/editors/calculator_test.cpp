#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "controls/editors/CalculatorEh.h"
#include "framework/rtl/SysUtils.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Messages.h"
#include "tests/support/ui_fixture.h"

namespace {

using editors::TCalculatorEh;

class CalculatorTest : public uitest::UiTest {
protected:
    void SetUp() override {
        uitest::UiTest::SetUp();
        Calc = rtl::Create<TCalculatorEh>(Form);
        Calc->SetParent(Form);
    }
    // Keys as characters; 'b' stands for Backspace, 'e' for Enter, 'x' for Esc, 'v' for Ctrl+V.
    void Keys(const std::string& s) {
        for (char k : s) {
            switch (k) {
                case 'b': k = '\b'; break;
                case 'e': k = '\r'; break;
                case 'x': k = '\x1B'; break;
                case 'v': k = '\x16'; break;
                default: break;
            }
            Calc->ProcessKey(k);
        }
    }
    rtl::TScopedFormatSettings Locale;
    TCalculatorEh* Calc = nullptr;
};

struct KeyCase {
    const char* keys;
    const char* display;
    int status;
    const char* equals;
};

TEST_F(CalculatorTest, KeySequencesShowTheirResults) {
    const KeyCase cases[] = {
        {"12+3", "3", 1, "="},
        {"12+3=", "15", 0, "Ok"},
        {"12+3e", "15", 0, "Ok"},
        {"2+3*4=", "20", 0, "Ok"},  // chained: each operator finishes the one before
        {"10-4-3=", "3", 0, "Ok"},
        {"7/2=", "3,5", 0, "Ok"},
        {"200+10%", "220", 0, "Ok"},
        {"200-10%", "180", 0, "Ok"},
        {"200*10%", "20", 0, "Ok"},
        {"200/10%", "2000", 0, "Ok"},
        {"9S", "3", 0, "Ok"},
        {"2+9S=", "3", 0, "Ok"},  // the pending addition is dropped
        {"4R", "0,25", 0, "Ok"},
        {"0-5", "5", 1, "Ok"},  // a zero operand never shows "="
        {"5I", "-5", 1, "Ok"},
        {"5I3", "-53", 1, "Ok"},
        {"5=I", "-5", 0, "Ok"},
        {"0I5", "5", 1, "Ok"},  // zero has no sign
        {"1..5", "1,5", 1, "Ok"},
        {"1,,5", "1,5", 1, "Ok"},
        {".5", "0,5", 1, "Ok"},
        {"7Ib", "0", 1, "Ok"},  // Backspace on "-7"
        {"123b", "12", 1, "Ok"},
        {"3b", "0", 1, "Ok"},
        {"000", "0", 1, "Ok"},
        {"1234567890123456", "123456789012345", 1, "Ok"},
        {"12345678901234I5", "-123456789012345", 1, "Ok"},
        {"12345678901234I56", "-123456789012345", 1, "Ok"},
        {"12+3C", "0", 0, "Ok"},
        {"12+3x", "0", 0, "Ok"},
        {"5+=", "5", 0, "Ok"},  // no number typed after the operator: nothing applied
        {"5+3=+2=", "10", 0, "Ok"},
        {"2a", "2", 1, "Ok"},  // unknown keys do nothing
        {"9s", "3", 0, "Ok"},  // lower case is the same key
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.keys);
        Calc->ClearAll();
        Keys(c.keys);
        EXPECT_EQ(Calc->DisplayText(), c.display);
        EXPECT_EQ(Calc->Status(), c.status);
        EXPECT_EQ(Calc->EqualsKey()->Caption(), c.equals);
    }
}

TEST_F(CalculatorTest, ErrorsAcceptOnlyClear) {
    const char* failing[] = {"5/0=", "0R", "4IS", "0/0="};
    for (const char* keys : failing) {
        SCOPED_TRACE(keys);
        Calc->ClearAll();
        Keys(keys);
        EXPECT_EQ(Calc->DisplayText(), "Error");
        EXPECT_EQ(Calc->Status(), 2);
        EXPECT_EQ(Calc->DisplayValue(), 0);
        // Esc, digits, operators, sign and the wheel are ignored until C.
        Keys("x7+I.b=");
        Calc->DoMouseWheel({}, 120, {});
        EXPECT_EQ(Calc->DisplayText(), "Error");
        EXPECT_EQ(Calc->Status(), 2);
        Keys("c");
        EXPECT_EQ(Calc->DisplayText(), "0");
        EXPECT_EQ(Calc->Status(), 0);
        Keys("2+3=");
        EXPECT_EQ(Calc->DisplayText(), "5");
    }
}

TEST_F(CalculatorTest, ResultsBeyondRangeShowTheErrorState) {
    // 1E300 * 1E300 overflows to infinity; its text could not be read by the next key.
    ui::Clipboard()->SetAsText("1E300");
    Keys("1v*1v=");
    EXPECT_EQ(Calc->DisplayText(), "Error");
    EXPECT_EQ(Calc->Status(), 2);
    EXPECT_NO_THROW(Keys("+5="));
    EXPECT_EQ(Calc->DisplayText(), "Error");
    Keys("C");
    Calc->SetDisplayValue(std::nan(""));
    EXPECT_EQ(Calc->DisplayText(), "Error");
}

TEST_F(CalculatorTest, BackspaceOnAnExponentKeepsAReadableNumber) {
    ui::Clipboard()->SetAsText("1E20");
    Keys("1v");  // typing, then a paste: the number is still being typed
    ASSERT_EQ(Calc->DisplayText(), "1E20");
    Keys("b");
    EXPECT_EQ(Calc->DisplayText(), "1E2");
    Keys("b");
    EXPECT_EQ(Calc->DisplayText(), "1");
    Keys("+2=");
    EXPECT_EQ(Calc->DisplayText(), "3");
}

TEST_F(CalculatorTest, APastedExponentTakesNoSeparator) {
    ui::Clipboard()->SetAsText("1E20");
    Keys("1v,");
    EXPECT_EQ(Calc->DisplayText(), "1E20");
    Keys(".+1=");
    EXPECT_EQ(Calc->DisplayText(), "1E20");
}

TEST_F(CalculatorTest, ClipboardCopiesAndPastes) {
    Keys("12,5");
    Calc->ProcessKey('\x03');
    EXPECT_EQ(ui::Clipboard()->AsText(), "12,5");
    ui::Clipboard()->SetAsText("  -3,25 ");
    Keys("v");
    EXPECT_EQ(Calc->DisplayText(), "-3,25");
    ui::Clipboard()->SetAsText("abc");
    EXPECT_THROW(Keys("v"), rtl::EConvertError);
    EXPECT_EQ(Calc->DisplayText(), "-3,25");
}

TEST_F(CalculatorTest, KeysClickedAndTypedReachTheEngine) {
    Form->Show();
    EXPECT_EQ(editors::CalculatorKeyOfTag(0), '\0');
    EXPECT_EQ(editors::CalculatorKeyOfTag(18), '\b');
    EXPECT_EQ(editors::CalculatorKeyOfTag(99), '\0');
    // 1 2 + 3 = by the buttons' clicks.
    for (intptr_t tag : {13, 14, 22, 15}) Calc->KeyOfTag(tag)->Click();
    EXPECT_EQ(Calc->EqualsKey()->Caption(), "=");
    Calc->KeyOfTag(23)->Click();
    EXPECT_EQ(Calc->DisplayText(), "15");
    EXPECT_EQ(Calc->EqualsKey()->Caption(), "Ok");
    // Typed characters and Delete.
    Calc->Perform(ui::WM_CHAR, '4', 0);
    EXPECT_EQ(Calc->DisplayText(), "4");
    Calc->Perform(ui::WM_KEYDOWN, ui::VK_DELETE, 0);
    EXPECT_EQ(Calc->DisplayText(), "0");
    EXPECT_EQ(Calc->Operator(), '=');
}

TEST_F(CalculatorTest, WheelMovesTheDisplayByOnePerNotch) {
    Keys("5");
    EXPECT_TRUE(Calc->DoMouseWheel({}, 120, {}));
    EXPECT_EQ(Calc->DisplayText(), "6");
    EXPECT_TRUE(Calc->DoMouseWheel({}, -240, {}));
    EXPECT_EQ(Calc->DisplayText(), "4");
}

TEST_F(CalculatorTest, LayoutMatchesTheForm) {
    EXPECT_EQ(Calc->Width(), 184);
    EXPECT_EQ(Calc->Height(), 127);
    EXPECT_EQ(Calc->TextBox()->Caption(), "0");
    EXPECT_EQ(Calc->TextBox()->Parent(), Calc->Panel1());
    for (intptr_t tag = 1; tag <= 23; ++tag) EXPECT_NE(Calc->KeyOfTag(tag), nullptr) << tag;
    // The C key lies over Cancel and so receives clicks in the shared area.
    EXPECT_EQ(Calc->KeyOfTag(6)->Height(), 46);
    EXPECT_EQ(Calc->EqualsKey()->Width(), 56);
    // The form's component names, and keys painted as glyph buttons with the hot look.
    EXPECT_EQ(Calc->FindComponent("spEqual"), Calc->EqualsKey());
    EXPECT_EQ(Calc->FindComponent("SpeedButton24"), Calc->KeyOfTag(12));
    EXPECT_EQ(Calc->FindComponent("SpeedButton23"), Calc->KeyOfTag(6));
    EXPECT_EQ(Calc->FindComponent("Panel1"), Calc->Panel1());
    for (editors::TSpeedButtonEh* key : Calc->Keys()) {
        EXPECT_EQ(key->Style(), editors::ebsGlyphEh) << key->Name();
        EXPECT_TRUE(key->Active()) << key->Name();
    }
}

TEST_F(CalculatorTest, AutoSizeKeepsTheClientAreaInsideEachBorder) {
    struct TCase {
        ui::TBorderStyle Border;
        bool Ctl3D;
        uint32_t Style, ExStyle;
        int NonClient;
    } cases[] = {
        {ui::TBorderStyle::bsNone, true, 0, 0, 0},
        {ui::TBorderStyle::bsSingle, true, 0, ui::WS_EX_CLIENTEDGE, 4},
        {ui::TBorderStyle::bsSingle, false, ui::WS_BORDER, 0, 2},
    };
    Form->Show();
    for (const auto& c : cases) {
        Calc->SetBorderStyle(c.Border);
        Calc->SetCtl3D(c.Ctl3D);
        Calc->HandleNeeded();
        EXPECT_EQ(Calc->WindowStyle() & ui::WS_BORDER, c.Style);
        EXPECT_EQ(Calc->WindowExStyle() & ui::WS_EX_CLIENTEDGE, c.ExStyle);
        EXPECT_EQ(Calc->NonClientHeight(), c.NonClient);
        EXPECT_EQ(Calc->Width(), 184 + c.NonClient);
        EXPECT_EQ(Calc->Height(), 127 + c.NonClient);
        EXPECT_EQ(Calc->ClientWidth(), 184);
        EXPECT_EQ(Calc->ClientHeight(), 127);
    }
    Calc->SetBounds(0, 0, 50, 50);
    EXPECT_EQ(Calc->ClientWidth(), 184) << "auto-size keeps the laid-out client size";
    Calc->SetAutoSize(false);
    Calc->SetBounds(0, 0, 50, 50);
    EXPECT_EQ(Calc->Width(), 50);

    Calc->SetPixelsPerInch(20);
    EXPECT_EQ(Calc->PixelsPerInch(), 96) << "too small to be taken";
    Calc->SetPixelsPerInch(120);
    EXPECT_EQ(Calc->PixelsPerInch(), 120);
}

// The owner that opened the drop-down: records its CloseUp calls.
class THostForm : public ui::TForm, public editors::IDropDownHostEh {
    RTL_CLASS(THostForm, ui::TForm)
public:
    explicit THostForm(rtl::TComponent* Owner) : ui::TForm(Owner) {}
    void CloseUp(bool Accept) override { Closes.push_back(Accept); }
    std::vector<bool> Closes;
};

class PopupCalculatorTest : public uitest::UiTest {
protected:
    void SetUp() override {
        uitest::UiTest::SetUp();
        Host = rtl::Create<THostForm>(nullptr);
        Popup = rtl::Create<editors::TPopupCalculatorEh>(Host);
        Popup->SetParent(Host);
    }
    void TearDown() override {
        Host->Free();
        uitest::UiTest::TearDown();
    }
    rtl::TScopedFormatSettings Locale;
    THostForm* Host = nullptr;
    editors::TPopupCalculatorEh* Popup = nullptr;
};

TEST_F(PopupCalculatorTest, EnterClosesOnlyWhenTheResultIsFinal) {
    editors::IDropDownValueEditorEh* ed = Popup;
    ed->SetValue(rtl::Variant(12.5));
    EXPECT_EQ(Popup->DisplayText(), "12,5");
    EXPECT_EQ(Popup->Status(), 0);
    for (char k : {'+', '3'}) Popup->ProcessKey(k);
    EXPECT_FALSE(ed->ResultIsFinal());
    Popup->ProcessKey('\r');  // finishes the sum, does not close
    EXPECT_TRUE(Host->Closes.empty());
    EXPECT_EQ(ed->GetValue().AsDouble(), 15.5);
    Popup->ProcessKey('\r');
    EXPECT_EQ(Host->Closes, std::vector<bool>{true});
    // 0 - 5 then Enter: a zero operand already shows "Ok", so the drop-down closes with 5.
    ed->SetValue(rtl::Variant(0));
    Host->Closes.clear();
    for (char k : {'-', '5', '\r'}) Popup->ProcessKey(k);
    EXPECT_EQ(Host->Closes, std::vector<bool>{true});
    EXPECT_EQ(ed->GetValue().AsDouble(), 5);
}

TEST_F(PopupCalculatorTest, ErrorValueAndSpecialKeys) {
    editors::IDropDownValueEditorEh* ed = Popup;
    for (char k : {'5', '/', '0', '='}) Popup->ProcessKey(k);
    EXPECT_EQ(ed->GetValue().VType(), rtl::varError);
    ed->SetValue(rtl::Variant(7));
    EXPECT_EQ(Popup->Status(), 0);
    EXPECT_EQ(ed->GetValue().AsDouble(), 7);

    EXPECT_EQ(Popup->Perform(ui::CM_WANTSPECIALKEY, ui::VK_ESCAPE, 0), 1);
    EXPECT_EQ(Popup->Perform(ui::CM_WANTSPECIALKEY, ui::VK_RETURN, 0), 1);
    Popup->Perform(1125, 0, 0);
    EXPECT_EQ(Host->Closes, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Popup->Perform(ui::WM_MOUSEACTIVATE, 0, 0), ui::MA_NOACTIVATE);
    EXPECT_FALSE(Popup->CanFocus());

    EXPECT_TRUE(ed->GetFlat());
    ed->SetFlat(false);
    EXPECT_FALSE(Popup->KeyOfTag(6)->Flat());
    EXPECT_FALSE(Popup->EqualsKey()->Flat());
}

TEST_F(PopupCalculatorTest, APopupWindowWithARaisedFrameOfTwoPixels) {
    Popup->HandleNeeded();
    EXPECT_EQ(Popup->Parent(), nullptr) << "a top-level window that belongs to its parent's";
    EXPECT_NE(Popup->WindowStyle() & ui::WS_POPUP, 0u);
    EXPECT_EQ(Popup->WindowStyle() & ui::WS_BORDER, 0u);
    EXPECT_EQ(Popup->WindowExStyle(), static_cast<uint32_t>(ui::WS_EX_TOOLWINDOW));
    EXPECT_EQ(Popup->BorderWidth(), 2);
    EXPECT_EQ(Popup->Width(), 184 + 4);
    EXPECT_EQ(Popup->ClientWidth(), 184);
    EXPECT_EQ(Popup->ClientHeight(), 127);

    Popup->SetWindowPos(200, 300, 0, 0, ui::SWP_NOSIZE | ui::SWP_NOACTIVATE | ui::SWP_SHOWWINDOW);
    auto* surface = dynamic_cast<ui::TRecordingSurface*>(Popup->Surface());
    ASSERT_NE(surface, nullptr);
    surface->Clear();
    Popup->Perform(ui::WM_NCPAINT, 1, 0);
    bool darkTop = false;
    for (const ui::TDrawRecord& r : surface->Records())
        if (r.Op == ui::TDrawOp::FillRect && r.Color == ui::TColor(ui::ColorToRGB(ui::cl3DDkShadow)) &&
            r.Rect.Top == 0 && r.Rect.Left == 0 && r.Rect.Width() == Popup->Width())
            darkTop = true;
    EXPECT_TRUE(darkTop) << "the outer line of the frame";
    EXPECT_EQ(ui::WindowFromPoint({250, 350}), Popup->Handle());

    Popup->SetCtl3D(false);
    Popup->HandleNeeded();
    EXPECT_NE(Popup->WindowStyle() & ui::WS_BORDER, 0u);
    EXPECT_EQ(Popup->BorderWidth(), 0);
    EXPECT_EQ(Popup->Width(), 184 + 2);
    EXPECT_EQ(Popup->ClientWidth(), 184);
}

TEST_F(PopupCalculatorTest, WithoutAHostNothingCloses) {
    auto* orphan = rtl::Create<editors::TPopupCalculatorEh>(Form);
    orphan->SetParent(Form);
    EXPECT_NO_THROW(orphan->ProcessKey('\r'));
    EXPECT_EQ(orphan->DisplayText(), "0");
    EXPECT_EQ(Host->Closes.size(), 0u);
}

}  // namespace
