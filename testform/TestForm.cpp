#include "testform/TestForm.h"

#include "framework/rtl/Text.h"

namespace testform {

using namespace ui;

TTestForm::TTestForm(rtl::TComponent* Owner) : TForm(Owner) {
    SetName("TestForm");
    SetCaption(rtl::UTF8ToAnsi(u8"Вельморат: проверка элементов"));
    SetBounds(120, 100, 440, 260);

    EditLabel = rtl::Create<TLabel>(this);
    EditLabel->SetParent(this);
    EditLabel->SetBounds(20, 16, 260, 18);
    EditLabel->SetCaption(rtl::UTF8ToAnsi(u8"&Название:"));
    Edit = rtl::Create<TEdit>(this);
    Edit->SetName("Edit");
    Edit->SetParent(this);
    Edit->SetBounds(20, 36, 280, 26);
    Edit->SetText("");
    EditLabel->SetFocusControl(Edit);

    ComboLabel = rtl::Create<TLabel>(this);
    ComboLabel->SetParent(this);
    ComboLabel->SetBounds(20, 72, 260, 18);
    ComboLabel->SetCaption(rtl::UTF8ToAnsi(u8"&Журнал:"));
    Combo = rtl::Create<TComboBox>(this);
    Combo->SetName("Combo");
    Combo->SetParent(this);
    Combo->SetStyle(csDropDownList);
    Combo->SetBounds(20, 92, 280, 26);
    for (const char8_t* s : {u8"Источники комплектования", u8"Описи", u8"Передачи", u8"Утраты", u8"Номенклатуры"})
        Combo->Items()->Add(rtl::UTF8ToAnsi(s));
    Combo->SetItemIndex(0);
    ComboLabel->SetFocusControl(Combo);

    Check = rtl::Create<TCheckBox>(this);
    Check->SetName("Check");
    Check->SetParent(this);
    Check->SetBounds(20, 132, 280, 22);
    Check->SetCaption(rtl::UTF8ToAnsi(u8"Только мои записи"));

    Close = rtl::Create<TButton>(this);
    Close->SetName("Close");
    Close->SetParent(this);
    Close->SetBounds(320, 210, 100, 28);
    Close->SetCaption(rtl::UTF8ToAnsi(u8"Закрыть"));
    Close->SetCancel(true);
    Close->OnClick = [this](rtl::TObject*) { TForm::Close(); };

    const auto item = [this](ui::TMenuItem* Parent, const char8_t* Caption) {
        auto* i = rtl::Create<TMenuItem>(this);
        i->SetCaption(rtl::UTF8ToAnsi(Caption));
        Parent->Add(i);
        return i;
    };
    MainMenu = rtl::Create<TMainMenu>(this);
    TMenuItem* file = item(MainMenu->Items(), u8"&Файл");
    item(file, u8"&Открыть")->SetShortCut(ShortCut('O', {ssCtrl}));
    item(file, u8"-");
    item(file, u8"&Закрыть")->OnClick = [this](rtl::TObject*) { TForm::Close(); };
    TMenuItem* view = item(MainMenu->Items(), u8"&Вид");
    TMenuItem* large = item(view, u8"&Крупный шрифт");
    large->SetAutoCheck(true);
    large->SetChecked(true);
    item(view, u8"Мелкий шрифт")->SetEnabled(false);

    EditMenu = rtl::Create<TPopupMenu>(this);
    item(EditMenu->Items(), u8"&Вырезать")->SetShortCut(ShortCut('X', {ssCtrl}));
    item(EditMenu->Items(), u8"&Копировать")->SetShortCut(ShortCut('C', {ssCtrl}));
    item(EditMenu->Items(), u8"-");
    item(EditMenu->Items(), u8"В&ставить")->SetShortCut(ShortCut('V', {ssCtrl}));
    Edit->SetPopupMenu(EditMenu);
}

}  // namespace testform
