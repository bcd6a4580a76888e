#include "app/JournalFrame.h"

#include "app/FormBuild.h"
#include "controls/editors/ToolCtrlsEh_Buttons.h"
#include "framework/ui/Dialogs.h"

namespace app {

TJournalFrame::TJournalFrame(rtl::TComponent* Owner, const std::vector<const char8_t*>& Kinds, int MinYear,
                             int HelpTopic)
    : ui::TFrame(Owner) {
    SetHelpContext(HelpTopic);
    SetBounds(0, 0, 640, 400);
    Panel1 = rtl::Create<ui::TPanel>(this);
    Panel1->SetName("Panel1");
    Panel1->SetAlign(ui::alTop);
    Panel1->SetHeight(35);
    Panel1->SetCaption("");
    Panel1->SetParent(this);
    btnAdd = rtl::Create<ui::TButton>(this);
    btnAdd->SetName("btnAdd");
    btnAdd->SetCaption(T(u8"Добавить"));
    btnAdd->SetBounds(6, 5, 90, 25);
    btnAdd->SetParent(Panel1);
    btnAdd->OnClick = [this](rtl::TObject* Sender) { btnAddClick(Sender); };
    int left = 104;
    if (MinYear > 0) {
        edYear = rtl::Create<editors::TDBNumberEditEh>(this);
        edYear->SetName("edYear");
        edYear->SetBounds(left, 7, 70, 21);
        edYear->SetDecimalPlaces(0);
        edYear->SetDisplayFormat("0");
        // The current year is always a choice: the range ends at the year the program started in.
        edYear->SetMinValue(MinYear);
        edYear->SetMaxValue(ThisYear);
        edYear->EditButton()->SetStyle(editors::ebsUpDownEh);
        edYear->EditButton()->SetVisible(true);
        edYear->SetParent(Panel1);
        edYear->OnChange = [this](rtl::TObject* Sender) { edYearChange(Sender); };
        left += 78;
    }
    btnDelete = rtl::Create<ui::TButton>(this);
    btnDelete->SetName("btnDelete");
    btnDelete->SetCaption(T(u8"Удалить"));
    btnDelete->SetBounds(left, 5, 90, 25);
    btnDelete->SetParent(Panel1);
    btnDelete->OnClick = [this](rtl::TObject* Sender) { btnDeleteClick(Sender); };
    if (!Kinds.empty()) {
        tcKinds = rtl::Create<ui::TTabControl>(this);
        tcKinds->SetName("tcKinds");
        tcKinds->SetAlign(ui::alClient);
        tcKinds->SetParent(this);
        tcKinds->Tabs()->Add(T(u8"Все"));
        for (const char8_t* kind : Kinds) tcKinds->Tabs()->Add(T(kind));
        tcKinds->SetTabIndex(0);
        tcKinds->OnChange = [this](rtl::TObject* Sender) { tcKindsChange(Sender); };
    }
}

void TJournalFrame::MakeGrid(const char* Name, db::TDataSource* Source, const std::vector<TJournalColumn>& Columns,
                             bool SortByTitle, ui::TColor RowColour) {
    using namespace grid;
    Grid = rtl::Create<TDBGridEh>(this);
    Grid->SetName(Name);
    Grid->SetAlign(ui::alClient);
    Grid->SetFlat(true);
    Grid->SetAutoFitColWidths(true);
    Grid->SetReadOnly(true);
    Grid->SetOptions(
        {dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgConfirmDelete, dgCancelOnExit});
    TDBGridEhOptions eh = Grid->OptionsEh();
    eh.Include(dghDialogFind);
    if (SortByTitle) eh.Include(dghAutoSortMarking);
    Grid->SetOptionsEh(eh);
    for (const TJournalColumn& c : Columns) {
        TColumnEh* column = Grid->Columns()->Add();
        column->SetFieldName(rtl::AnsiToWide(c.FieldName));
        column->Title()->SetCaption(T(c.Title));
        column->SetVisible(c.Visible);
        column->Title()->SetTitleButton(c.TitleButton);
        // A coded column reads as text, from the left.
        if (!c.Picks.empty()) column->SetAlignment(db::taLeftJustify);
        for (size_t i = 0; i < c.Picks.size(); ++i) {
            column->PickList()->Add(T(c.Picks[i]));
            column->KeyList()->Add(std::to_string(i + 1));
        }
    }
    Grid->SetDataSource(Source);
    Grid->OnDblClick = [this](rtl::TObject* Sender) { GridDblClick(Sender); };
    Grid->SetParent(tcKinds ? static_cast<ui::TWinControl*>(tcKinds) : this);
    if (SortByTitle) Grid->OnSortMarkingChanged = [this](rtl::TObject* Sender) { GridSortMarkingChanged(Sender); };
    FRowColour = RowColour;
    if (RowColour != ui::clNone)
        Grid->OnGetCellParams = [this](rtl::TObject* Sender, grid::TColumnEh* Column, ui::TFont* AFont,
                                       ui::TColor& Background, grid::TGridDrawState State) {
            GridGetCellParams(Sender, Column, AFont, Background, State);
        };
}

void TJournalFrame::GridSortMarkingChanged(rtl::TObject*) {
    grid::TColumnsEhList* marked = Grid->SortMarkedColumnList();
    // A Ctrl+click can take the only marker away: the rows keep the order they have.
    if (marked->Count() == 0) return;
    grid::TColumnEh* column = marked->Items(0);
    Query()->SetIndexFieldNames(rtl::WideToAnsi(column->FieldName()) +
                                (column->Title()->SortMarker() == grid::smUpEh ? " ASC" : " DESC"));
}

void TJournalFrame::GridGetCellParams(rtl::TObject*, grid::TColumnEh*, ui::TFont*, ui::TColor& Background,
                                      grid::TGridDrawState) {
    db::TField* result = Query()->FindField(u"result_id");
    if (result && !result->IsNull() && result->AsInteger() == 2) Background = FRowColour;
}

void TJournalFrame::Reset(int Year) {
    FResetting = true;
    rtl::TryFinally(
        [&] {
            if (tcKinds) tcKinds->SetTabIndex(0);
            if (edYear) edYear->SetValue(Year);
        },
        [&] { FResetting = false; });
}

void TJournalFrame::SetCuratorRestrictions(bool Curator) { btnDelete->SetEnabled(!Curator); }

void TJournalFrame::btnAddClick(rtl::TObject*) {
    ui::TForm* card = Card();
    if (!card || !Query()->Active()) return;
    NewRow();
    if (card->ShowModal() == ui::mrOk) UpdateCount();
}

void TJournalFrame::btnDeleteClick(rtl::TObject*) {
    if (!Query()->Active() || Query()->IsEmpty()) return;
    if (ui::MessageBox(T(u8"Действительно удалить запись?"), T(u8"Внимание! Удаление записи"),
                       ui::MB_YESNO | ui::MB_ICONWARNING) != ui::IDYES)
        return;
    Query()->Delete();
    // The count shown is the journal's, not the one before the delete.
    UpdateCount();
}

void TJournalFrame::GridDblClick(rtl::TObject*) {
    ui::TForm* card = Card();
    // An empty journal has no row to show.
    if (card && Query()->Active() && !Query()->IsEmpty()) card->ShowModal();
}

void TJournalFrame::edYearChange(rtl::TObject*) {
    if (FResetting) return;
    const rtl::Variant v = edYear->Value();
    DBMod->SetYear(v.IsNull() ? 0 : v.AsInteger());
    UpdateCount();
}

void TJournalFrame::tcKindsChange(rtl::TObject*) {
    DBMod->SetKind(tcKinds->TabIndex());
    UpdateCount();
}

void TJournalFrame::UpdateCount() {
    if (FHost && Query()->Active()) FHost->ShowRecordCount(Query());
}

}  // namespace app
