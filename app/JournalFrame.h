// What the journal frames share: the top panel (add, year, delete), the kinds tabs, the journal
// query and the record count shown by the window that hosts the frame.
#pragma once

#include "app/DBModUnit.h"
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "framework/ui/ComCtrls.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/Forms.h"
#include "framework/ui/StdCtrls.h"

namespace app {

// The window a frame stands in: it shows the journal's record count.
class IJournalHost {
public:
    virtual ~IJournalHost() = default;
    virtual void ShowRecordCount(db::TDataSet* Query) = 0;
};

class TJournalFrame : public ui::TFrame {
    RTL_CLASS(TJournalFrame, ui::TFrame)
public:
    // Kinds: the tab texts after "Все"; none gives the frame no tabs. MinYear 0: no year edit.
    TJournalFrame(rtl::TComponent* Owner, const std::vector<const char8_t*>& Kinds, int MinYear, int HelpTopic);

    ui::TPanel* Panel1;
    ui::TButton* btnAdd;
    editors::TDBNumberEditEh* edYear = nullptr;
    ui::TButton* btnDelete;
    ui::TTabControl* tcKinds = nullptr;

    // The journal's query in the data module.
    virtual VUdeVizov* Query() const = 0;
    IJournalHost* Host() const noexcept { return FHost; }
    void SetHost(IJournalHost* Value) noexcept { FHost = Value; }

    // Set by the journal command: the first tab, the year in force; neither counts as the user's
    // choice, so no filter changes.
    void Reset(int Year);
    // A curator deletes nothing from a journal list.
    void SetCuratorRestrictions(bool Curator);

    void edYearChange(rtl::TObject* Sender);
    virtual void tcKindsChange(rtl::TObject* Sender);
    void UpdateCount();

protected:
    IJournalHost* FHost = nullptr;
    bool FResetting = false;
};

}  // namespace app
