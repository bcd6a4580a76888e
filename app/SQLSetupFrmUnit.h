// The database dialog shown at start-up when "velmorat.sdb" cannot be opened: it points the
// connection at a database file of the working folder, making a missing one from the install script.
#pragma once

#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"

namespace app {

class TSQLSetupFrm : public ui::TForm {
    RTL_CLASS(TSQLSetupFrm, ui::TForm)
public:
    explicit TSQLSetupFrm(rtl::TComponent* Owner);

    ui::TLabel *lblHost, *lblUser, *lblPass, *lblDatabase;
    ui::TEdit *edHost, *edUser, *edPass;
    ui::TComboBox* cbDatabase;
    ui::TButton* btnOk;

    void FormShow(rtl::TObject* Sender);
    // Lists the database files (".sdb") of the working folder.
    void cbDatabaseEnter(rtl::TObject* Sender);
    // Opens the named file, making it from "install_db.sql" when missing; closes with OK once open.
    void btnOkClick(rtl::TObject* Sender);
};

// Exists only while start-up shows it.
extern TSQLSetupFrm* SQLSetupFrm;

}  // namespace app
