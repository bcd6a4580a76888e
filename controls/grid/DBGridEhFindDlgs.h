// The "Find text" dialog of the data grid, opened by Ctrl+F.
#pragma once

#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/grid/DBGridEh.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"

namespace grid {

// Direction index of the dialog (0 "Up", 1 "Down", 2 "All") as searched: Ctrl turns it around,
// and only the first search starts at the first record.
TLocateTextDirectionEh FindDialogDirection(int Index, bool Ctrl, bool FirstSearch);
TLocateTextOptionsEh FindDialogOptions(bool MatchCase, bool MatchFormat, bool AllColumns);

class TDBGridEhFindDlg : public ui::TForm {
    RTL_CLASS(TDBGridEhFindDlg, ui::TForm)
public:
    explicit TDBGridEhFindDlg(rtl::TComponent* Owner);
    void Execute(TCustomDBGridEh* Grid, const AnsiString& Text, bool Modal);
    void bFindClick(rtl::TObject* Sender);
    bool FirstSearch() const noexcept { return FFirstSearch; }

    ui::TLabel* Label1;
    editors::TDBComboBoxEh* cbText;
    ui::TButton* bFind;
    ui::TButton* bCancel;
    ui::TLabel* Label2;
    editors::TDBComboBoxEh* cbFindIn;
    ui::TLabel* cbMatchType;
    editors::TDBComboBoxEh* cbMatchinType;
    ui::TLabel* Label3;
    editors::TDBComboBoxEh* cbFindDirection;
    editors::TDBCheckBoxEh* cbCharCase;
    editors::TDBCheckBoxEh* cbUseFormat;
    ui::TLabel* Label4;
    editors::TDBComboBoxEh* dbcTreeFindRange;

private:
    TCustomDBGridEh* FGrid = nullptr;
    std::vector<TColumnEh*> FFindInColumns;
    int FFullHeight = 0;
    bool FFirstSearch = true;
};

// The one dialog of the process, made on first use.
TDBGridEhFindDlg* DBGridEhFindDlg();

}  // namespace grid
