// The controls' test form: the standard controls on one form, enough to try the display backend by
// hand and in the screenshot test.
#pragma once

#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"
#include "framework/ui/StdCtrls.h"

namespace testform {

class TTestForm : public ui::TForm {
    RTL_CLASS(TTestForm, ui::TForm)
public:
    explicit TTestForm(rtl::TComponent* Owner);
    ui::TLabel* EditLabel = nullptr;
    ui::TEdit* Edit = nullptr;
    ui::TLabel* ComboLabel = nullptr;
    ui::TComboBox* Combo = nullptr;
    ui::TCheckBox* Check = nullptr;
    ui::TButton* Close = nullptr;
    ui::TMainMenu* MainMenu = nullptr;
    ui::TPopupMenu* EditMenu = nullptr;
};

}  // namespace testform
