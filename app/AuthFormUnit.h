// The login dialog: a user name and a password checked against the users of the database.
#pragma once

#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"

namespace app {

class TAuthForm : public ui::TForm {
    RTL_CLASS(TAuthForm, ui::TForm)
public:
    explicit TAuthForm(rtl::TComponent* Owner);

    ui::TLabel *lblUsername, *lblPassword;
    ui::TComboBox* cbUsername;
    ui::TEdit* edPassword;
    ui::TButton *btnOk, *btnCancel;

    // The last user's name preset, the known names listed, the focus in the password.
    void FormShow(rtl::TObject* Sender);
    // Checks the name and password; closes with OK and remembers the name, or says why not.
    void btnOkClick(rtl::TObject* Sender);
    // Enter in the password is OK.
    void edPasswordKeyPress(rtl::TObject* Sender, char& Key);
};

extern TAuthForm* AuthForm;

}  // namespace app
