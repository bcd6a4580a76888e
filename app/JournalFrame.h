// What the journal frames share: the top panel (add, year, delete), the kinds tabs, the journal
// query and the record count shown by the window that hosts the frame.
#pragma once

#include "app/DBModUnit.h"
#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/grid/DBGridEh.h"
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

// A column of a journal grid: the field, its title, whether it shows, whether its title sorts, and
// the texts shown for the codes 1, 2, ... of a coded field.
struct TJournalColumn {
    const char* FieldName;
    const char8_t* Title;
    bool Visible = true;
    bool TitleButton = false;
    std::vector<const char8_t*> Picks = {};
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
    grid::TDBGridEh* Grid = nullptr;

    // The journal's query in the data module.
    virtual VUdeVizov* Query() const = 0;
    IJournalHost* Host() const noexcept { return FHost; }
    void SetHost(IJournalHost* Value) noexcept { FHost = Value; }

    // Set by the journal command: the first tab, the year in force; neither counts as the user's
    // choice, so no filter changes.
    void Reset(int Year);
    // A curator deletes nothing from a journal list.
    void SetCuratorRestrictions(bool Curator);

    // A new row of the journal in its card; the count follows when the card saved it.
    void btnAddClick(rtl::TObject* Sender);
    // The current row deleted once the user confirms.
    void btnDeleteClick(rtl::TObject* Sender);
    // The current row's card.
    void GridDblClick(rtl::TObject* Sender);
    void edYearChange(rtl::TObject* Sender);
    virtual void tcKindsChange(rtl::TObject* Sender);
    void UpdateCount();
    // The query ordered by the first sort-marked column; with no marker left the order stays.
    void GridSortMarkingChanged(rtl::TObject* Sender);
    // A row whose result is 2 (sent back for rework) is drawn on the frame's row colour.
    void GridGetCellParams(rtl::TObject* Sender, grid::TColumnEh* Column, ui::TFont* AFont, ui::TColor& Background,
                           grid::TGridDrawState State);

protected:
    // The journal's new-row operation and the card that edits a row (none: the frame adds nothing).
    virtual void NewRow() {}
    virtual ui::TForm* Card() const { return nullptr; }
    // The read-only journal grid on the tabs (or the frame) bound to Source. SortByTitle: title
    // buttons re-sort the query; RowColour clNone: rows keep the grid's colour.
    void MakeGrid(const char* Name, db::TDataSource* Source, const std::vector<TJournalColumn>& Columns,
                  bool SortByTitle, ui::TColor RowColour);
    ui::TColor FRowColour = ui::clNone;
    IJournalHost* FHost = nullptr;
    bool FResetting = false;
};

}  // namespace app
