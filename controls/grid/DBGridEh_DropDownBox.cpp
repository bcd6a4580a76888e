// The column's drop-down box, which reaches the drop-down lookup grid through its owner, the
// column's side of that owner interface, and the filter row's editor.
#include "controls/grid/DBLookupGridsEh.h"

namespace grid {

TColumnDropDownBoxEh::TColumnDropDownBoxEh(rtl::TPersistent* Owner)
    : FOwner(Owner), FSpecRow(rtl::Create<editors::TSpecRowEh>(this)) {}

TColumnDropDownBoxEh::~TColumnDropDownBoxEh() = default;

TDBLookupGridEh* TColumnDropDownBoxEh::OwnerGrid() const {
    ILookupGridOwnerEh* intf = OwnerIntf();
    return intf ? intf->LookupGrid() : nullptr;
}

void TColumnDropDownBoxEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TColumnDropDownBoxEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    Align = src->Align;
    AutoDrop = src->AutoDrop;
    AutoFitColWidths = src->AutoFitColWidths;
    // A column makes its drop-down grid on first use: one not made yet holds only defaults.
    auto* srcColumn = dynamic_cast<TColumnEh*>(src->FOwner);
    auto* ownColumn = dynamic_cast<TColumnEh*>(FOwner);
    if (!(srcColumn && !srcColumn->LookupGridMade() && ownColumn && !ownColumn->LookupGridMade())) {
        if (TColumnDefValuesEh* defs = src->ColumnDefValues()) SetColumnDefValues(defs);
        TDBGridColumnsEh* srcColumns = src->Columns();
        if (srcColumns && srcColumns->HasPersistentColumns())
            SetColumns(srcColumns);
        else if (TDBGridColumnsEh* own = Columns())
            own->Clear();
        SetOptions(src->Options());
    }
    Rows = src->Rows;
    Width = src->Width;
    Sizable = src->Sizable;
    ShowTitles = src->ShowTitles;
    UseMultiTitle = src->UseMultiTitle;
    SetListSource(src->FListSource);
}

void TColumnDropDownBoxEh::SetListSource(db::TDataSource* Value) {
    if (FListSource == Value) return;
    FListSource = Value;
    if (ILookupGridOwnerEh* intf = OwnerIntf(); intf && Value) intf->FreeNotify(Value);
}

TColumnDefValuesEh* TColumnDropDownBoxEh::ColumnDefValues() const {
    TDBLookupGridEh* g = OwnerGrid();
    return g ? g->ColumnDefValues() : nullptr;
}

void TColumnDropDownBoxEh::SetColumnDefValues(TColumnDefValuesEh* Value) {
    if (TDBLookupGridEh* g = OwnerGrid()) g->ColumnDefValues()->Assign(Value);
}

TDBGridColumnsEh* TColumnDropDownBoxEh::Columns() const {
    TDBLookupGridEh* g = OwnerGrid();
    return g ? g->Columns() : nullptr;
}

void TColumnDropDownBoxEh::SetColumns(TDBGridColumnsEh* Value) {
    if (TDBLookupGridEh* g = OwnerGrid()) g->Columns()->Assign(Value);
}

TDBLookupGridEhOptions TColumnDropDownBoxEh::Options() const {
    ILookupGridOwnerEh* intf = OwnerIntf();
    return intf ? intf->LookupGridOptions() : TDBLookupGridEhOptions{};
}

void TColumnDropDownBoxEh::SetOptions(TDBLookupGridEhOptions Value) {
    if (ILookupGridOwnerEh* intf = OwnerIntf()) intf->SetLookupGridOptions(Value);
}

bool TColumnDropDownBoxEh::SortLocal() const {
    TDBLookupGridEh* g = OwnerGrid();
    return g && g->SortLocal();
}

void TColumnDropDownBoxEh::SetSortLocal(bool Value) {
    if (TDBLookupGridEh* g = OwnerGrid()) g->SetSortLocal(Value);
}

// ---------------------------------------------------------------------------------------------
// The column as the owner of its drop-down grid

void TColumnEh::FreeNotify(rtl::TComponent* Component) {
    if (TCustomDBGridEh* g = Grid(); g && Component) Component->FreeNotification(g);
}

TDBLookupGridEh* TColumnEh::LookupGrid() {
    if (!FLookupGrid) {
        FLookupGrid.reset(rtl::Create<TPopupDataGridEh>(nullptr));
        if (TCustomDBGridEh* g = Grid()) FLookupGrid->SetParent(g);
    }
    return FLookupGrid.get();
}

TDBLookupGridEhOptions TColumnEh::LookupGridOptions() { return LookupGrid()->LookupOptions(); }

void TColumnEh::SetLookupGridOptions(TDBLookupGridEhOptions Value) { LookupGrid()->SetLookupOptions(Value); }

// ---------------------------------------------------------------------------------------------
// The filter row's editor

void TInplaceFilterEditEh::SetValueAndText(const Variant& Value, const AnsiString& Text) {
    SetValue(Value);
    SetEditText(Text);
}

void TInplaceFilterEditEh::TextAreaRect(ui::TRect& Rect) {
    editors::TDBComboBoxEh::TextAreaRect(Rect);
    ++Rect.Top;
}

}  // namespace grid
