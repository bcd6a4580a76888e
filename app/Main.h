// The main window: the journal commands in a menu bar, the journal frames in the client area (one
// shown at a time) and the status bar. Showing it first runs the login.
#pragma once

#include "app/JournalFrame.h"
#include "app/OpisListFrame.h"
#include "framework/ui/ActnList.h"
#include "framework/ui/ComCtrls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Menus.h"

namespace app {

class TMainForm : public ui::TForm, public IJournalHost {
    RTL_CLASS(TMainForm, ui::TForm)
public:
    explicit TMainForm(rtl::TComponent* Owner);

    ui::TActionList* ActionManager1;
    ui::TMainMenu* ActionMainMenuBar1;
    ui::TAction *actSources, *actOpisi, *actTransfer, *actLosses, *actNomenclature, *actDocs, *actEvents, *actChanges,
        *actOther, *actExit, *actFontLarger, *actFontSmaller, *actSourceListReport, *actSummary, *actUsers, *actVocab,
        *actHelp, *actAbout, *actActivityLog;
    ui::TStatusBar* sbStatus;
    TOpisListFrame* OpisListFrame1;

    // The login, the commands the user's access level opens, then the sources journal. The program
    // ends when the login is given up.
    void FormShow(rtl::TObject* Sender);
    // Every journal query closed, the document and source filters back at their start, frames hidden.
    void ResetJournals();
    void actOpisiExecute(rtl::TObject* Sender);
    void actExitExecute(rtl::TObject* Sender);
    void actHelpExecute(rtl::TObject* Sender);
    void actSummaryExecute(rtl::TObject* Sender);

    // The status bar's count panel: the journal query's record count.
    void ShowRecordCount(db::TDataSet* Query) override;
    // The nine journal commands, in the menu's order.
    std::vector<ui::TAction*> JournalActions() const;
    // The journal frames built so far.
    std::vector<TJournalFrame*> JournalFrames() const;

private:
    ui::TAction* AddAction(const char* Name, const char8_t* Caption, const char8_t* Category, ui::TShortCut Key,
                           int Image);
    void BuildMenu();
    // A journal was shown: its command ticked, the window's caption and the journal panel.
    void JournalShown(ui::TAction* Command, db::TDataSet* Query);
    // The commands the user's access level opens and the curator's restrictions.
    void SetUpAccess();
};

extern TMainForm* MainForm;

}  // namespace app
