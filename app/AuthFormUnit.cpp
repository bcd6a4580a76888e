#include "app/AuthFormUnit.h"

#include "app/DBModUnit.h"
#include "app/FormBuild.h"
#include "app/FormServices.h"

namespace app {

TAuthForm* AuthForm = nullptr;

TAuthForm::TAuthForm(rtl::TComponent* Owner) : ui::TForm(Owner) {
    SetName("AuthForm");
    SetCaption(T(u8"Вход в программу"));
    SetBorderStyle(ui::TFormBorderStyle::bsDialog);
    SetPosition(ui::poScreenCenter);
    SetHelpContext(HelpLogin);
    SetBounds(0, 0, 300, 160);
    lblUsername = Make<ui::TLabel>(this, "lblUsername", 16, 20, 90, 13);
    lblUsername->SetCaption(T(u8"Пользователь"));
    cbUsername = Make<ui::TComboBox>(this, "cbUsername", 110, 16, 170, 21);
    lblPassword = Make<ui::TLabel>(this, "lblPassword", 16, 52, 90, 13);
    lblPassword->SetCaption(T(u8"Пароль"));
    edPassword = Make<ui::TEdit>(this, "edPassword", 110, 48, 170, 21);
    edPassword->SetPasswordChar('*');
    edPassword->OnKeyPress = [this](rtl::TObject* Sender, char& Key) { edPasswordKeyPress(Sender, Key); };
    btnOk = Make<ui::TButton>(this, "btnOk", 124, 88, 75, 25);
    btnOk->SetCaption("OK");
    btnOk->OnClick = [this](rtl::TObject* Sender) { btnOkClick(Sender); };
    btnCancel = Make<ui::TButton>(this, "btnCancel", 205, 88, 75, 25);
    btnCancel->SetCaption(T(u8"Выход"));
    btnCancel->SetCancel(true);
    btnCancel->SetModalResult(ui::mrCancel);
    OnShow = [this](rtl::TObject* Sender) { FormShow(Sender); };
}

void TAuthForm::FormShow(rtl::TObject*) {
    const AnsiString last = DBMod->LastUser();
    std::vector<AnsiString> names;
    std::vector<int32_t> ids;
    DBMod->LoadNameList(0, AnsiString(), names, ids);
    cbUsername->Items()->Clear();
    for (const AnsiString& n : names) cbUsername->Items()->Add(n);
    cbUsername->SetText(last);
    edPassword->Clear();
    SetActiveControl(edPassword);
}

void TAuthForm::btnOkClick(rtl::TObject*) {
    const AnsiString name = cbUsername->Text();
    if (DBMod->CheckLogin(name, edPassword->Text())) {
        DBMod->RememberUser(name);
        SetModalResult(ui::mrOk);
        return;
    }
    DBMod->Services().MessageBox(T(u8"Пароль не верен, попробуйте еще раз"), T(u8"Авторизация"), TMsgIcon::Information);
    edPassword->Clear();
    if (edPassword->CanFocus()) edPassword->SetFocus();
}

void TAuthForm::edPasswordKeyPress(rtl::TObject* Sender, char& Key) {
    if (Key != '\r') return;
    Key = 0;
    btnOkClick(Sender);
}

}  // namespace app
