// A form with a number editor, a second edit to move the focus to, and a dataset of numeric
// fields: qty integer, price float, sum currency, amount BCD(10,2).
#pragma once

#include <string>

#include "controls/editors/DBCtrlsEh_Editors.h"
#include "editors_fixture.h"
#include "tests/ui/ui_fixture.h"

namespace editorstest {

using rtl::AnsiString;

class EditorFormTest : public uitest::UiTest {
protected:
    void SetUpForm(ui::TWinControl* Editor) {
        Editor->SetBounds(10, 10, 150, 24);
        Editor->SetParent(Form);
        Other = rtl::Create<ui::TEdit>(Form);
        Other->SetName("Other");
        Other->SetBounds(10, 50, 150, 24);
        Other->SetParent(Form);
        Form->Show();
        Pump();
        Other->SetFocus();
        Pump();
    }
    void TearDown() override {
        // The form's controls go before the dataset they are bound to.
        if (Form) Form->Free();
        Form = nullptr;
        UiTest::TearDown();
    }
    void Focus(ui::TWinControl* C) {
        C->SetFocus();
        Pump();
    }
    void Type(const std::string& Text) {
        for (char c : Text) ui::CharInput(c);
        Pump();
    }
    void Key(uint16_t K, char C = 0) {
        ui::KeyPressInput(K, C);
        Pump();
    }
    ui::TEdit* Other = nullptr;
};

inline std::vector<memdstest::TCol> NumberCols() {
    using namespace store;
    return {{u"qty", mdtInt32, 4},
            {u"price", mdtFloat, 8},
            {u"sum", mdtCurrency, 8},
            {u"amount", mdtBCD, 34, 10, false, false, 2}};
}

}  // namespace editorstest
