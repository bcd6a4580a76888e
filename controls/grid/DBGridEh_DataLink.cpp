#include "controls/grid/DBGridEh.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"

namespace grid {

namespace {
// The field map never grows beyond this many entries.
constexpr int MaxFieldMapCount = 0xFFFFFFF;
}  // namespace

// ---------------------------------------------------------------------------------------------
// TGridDataLinkEh

TGridDataLinkEh::~TGridDataLinkEh() { ClearFieldMapping(); }

bool TGridDataLinkEh::AddFieldMapping(const WideString& FieldName) {
    if (static_cast<int>(FFieldMap.size()) >= MaxFieldMapCount) throw EInvalidGridOperationEh(msg::STooManyColumns);
    db::TDataSet* ds = DataSet();
    db::TField* field = nullptr;
    if (FSparseMap) {
        if (ds) field = ds->FindField(FieldName);
    } else if (ds) {
        field = ds->FieldByName(FieldName);
    } else {
        db::DatabaseErrorFmt(db::msg::SFieldNotFound, {rtl::WideToAnsi(FieldName)});
    }
    const int count = static_cast<int>(FFieldMap.size());
    if (count == FFieldMapCapacity) {
        int grown = FFieldMapCapacity == 0 ? 8 : FFieldMapCapacity * 2;
        grown = std::min(std::max(grown, count + 1), MaxFieldMapCount);
        FFieldMap.reserve(static_cast<size_t>(grown));
        FFieldMapCapacity = grown;
    }
    if (field) {
        FFieldMap.push_back(ds->Fields().IndexOf(field));
        field->FreeNotification(FGrid);
    } else {
        FFieldMap.push_back(-1);
    }
    return true;
}

void TGridDataLinkEh::ClearFieldMapping() {
    FFieldMap.clear();
    FFieldMap.shrink_to_fit();
    FFieldMapCapacity = 0;
}

int TGridDataLinkEh::MappedFieldIndex(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(FFieldMap.size())) return -1;
    return FFieldMap[static_cast<size_t>(Index)];
}

db::TField* TGridDataLinkEh::MappedField(int Index) const {
    const int fieldIndex = MappedFieldIndex(Index);
    db::TDataSet* ds = DataSet();
    if (fieldIndex < 0 || !ds || fieldIndex >= ds->FieldCount()) return nullptr;
    return ds->Fields()[fieldIndex];
}

bool TGridDataLinkEh::UsesDefaultFields() const {
    db::TDataSet* ds = DataSet();
    if (!ds) return true;
    if (FSparseMap)
        for (int i : FFieldMap)
            if (i == -1) return false;
    return ds->DefaultFields();
}

void TGridDataLinkEh::Reset() {
    // The editor's text goes back to the field's; only a second reset cancels the record.
    if (FModified)
        RecordChanged(nullptr);
    else if (db::TDataSet* ds = DataSet())
        ds->Cancel();
}

void TGridDataLinkEh::ActiveChanged() {
    FGrid->LinkActiveChanged(Active());
    FModified = false;
}

void TGridDataLinkEh::DataEvent(db::TDataEvent Event, intptr_t Info) {
    db::TDataLink::DataEvent(Event, Info);
    if (Event == db::deDisabledStateChange && FGrid->Columns()) FGrid->Columns()->ClearFieldReferences();
}

void TGridDataLinkEh::DataSetChanged() {
    FGrid->LinkDataSetChanged();
    FModified = false;
}

void TGridDataLinkEh::DataSetScrolled(int Distance) { FGrid->LinkDataSetScrolled(Distance); }

void TGridDataLinkEh::EditingChanged() {
    if (FGrid->Options().Contains(dgIndicator)) FGrid->InvalidateIndicatorCell();
}

void TGridDataLinkEh::FocusControl(db::TField** Field) {
    if (!Field || !*Field) return;
    FGrid->FocusFieldColumn(*Field);
    if (FGrid->CurrentField() == *Field && FGrid->EnsureGridFocus()) {
        *Field = nullptr;
        FGrid->ShowInplaceEditor();
    }
}

void TGridDataLinkEh::LayoutChanged() {
    const bool saved = FGrid->FInLayoutChange;
    FGrid->FInLayoutChange = true;
    rtl::TryFinally([&] { FGrid->LinkLayoutChanged(); }, [&] { FGrid->FInLayoutChange = saved; });
    db::TDataLink::LayoutChanged();
}

void TGridDataLinkEh::RecordChanged(db::TField* Field) {
    FGrid->FieldDataChanged(Field);
    FModified = false;
}

void TGridDataLinkEh::UpdateData() {
    if (FInUpdateData) return;
    FInUpdateData = true;
    rtl::TryFinally(
        [&] {
            if (FModified) FGrid->WriteEditText();
            FModified = false;
        },
        [&] { FInUpdateData = false; });
}

// ---------------------------------------------------------------------------------------------
// TBookmarkListEh

db::TDataSet* TBookmarkListEh::GetDataSet() { return FGrid->DataSet(); }

void TBookmarkListEh::Invalidate() { FGrid->Invalidate(); }

void TBookmarkListEh::SetCurrentRowSelected(bool Value) {
    db::TDataSet* ds = GetDataSet();
    if (!ds || !ds->Active() || ds->IsEmpty()) return;
    editors::TBMListEh::SetCurrentRowSelected(Value);
    FGrid->InvalidateRow(FGrid->Row());
    if (FGrid->SelectionType() != gstRecordBookmarks && Count() > 0) FGrid->SelectionSetType(gstRecordBookmarks);
}

void TBookmarkListEh::StringsChanged() {
    editors::TBMListEh::StringsChanged();
    FGrid->SelectionUpdateState();
    FGrid->SelectionChanged();
}

void TBookmarkListEh::Changed() { FGrid->SelectionUpdateState(); }

void TBookmarkListEh::RemoveAll() {
    editors::TBMListEh::RemoveAll();
    FGrid->SelectionChanged();
}

TGridRect TBookmarkListEh::SelectionGridRect() {
    const TGridRect none{-1, -1, -1, -1};
    TGridDataLinkEh* link = FGrid->DataLink();
    db::TDataSet* ds = GetDataSet();
    if (!link->Active() || !ds) return none;
    int first = -1, last = -1;
    const int saved = link->ActiveRecord();
    rtl::TryFinally(
        [&] {
            for (int r = 0; r < link->RecordCount(); ++r) {
                link->SetActiveRecord(r);
                int index = 0;
                if (Find(ds->GetBookmark(), index)) {
                    if (first < 0) first = r;
                    last = r;
                }
            }
        },
        [&] { link->SetActiveRecord(saved); });
    if (first < 0) return none;
    const int titleRows = FGrid->TitleRowCount();
    return TGridRect{0, titleRows + first, FGrid->ColCount() - 1, titleRows + last};
}

// ---------------------------------------------------------------------------------------------
// TSTColumnFilterEh

TSTColumnFilterEh::TSTColumnFilterEh(TColumnEh* Column)
    : FColumn(Column), FListLink(rtl::Create<editors::TFieldDataLinkEh>()) {}

TSTColumnFilterEh::~TSTColumnFilterEh() = default;

TCustomDBGridEh* TSTColumnFilterEh::Grid() const { return FColumn ? FColumn->Grid() : nullptr; }

void TSTColumnFilterEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TSTColumnFilterEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    FDataField = src->FDataField;
    SetVisible(src->FVisible);
    FKeyField = src->FKeyField;
    FListField = src->FListField;
    SetListSource(src->ListSource());
}

void TSTColumnFilterEh::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    if (FColumn) FColumn->Changed(false);
}

void TSTColumnFilterEh::SetListSource(db::TDataSource* Value) {
    FListLink->AssignLinkDataSource(Value);
    if (Value)
        if (TCustomDBGridEh* g = Grid()) Value->FreeNotification(g);
}

db::TField* TSTColumnFilterEh::LookupField() const {
    TCustomDBGridEh* g = Grid();
    if (!g || !g->DataLink()->Active()) return nullptr;
    db::TField* f = FColumn->Field();
    return f && f->Lookup() ? f : nullptr;
}

WideString TSTColumnFilterEh::KeyFieldName() const {
    if (!FKeyField.empty()) return FKeyField;
    db::TField* f = LookupField();
    return f ? f->LookupKeyFields() : WideString();
}

WideString TSTColumnFilterEh::FilterFieldName() const {
    if (!FDataField.empty()) return FDataField;
    if (db::TField* f = LookupField()) return f->KeyFields();
    return FColumn ? FColumn->FieldName() : WideString();
}

db::TDataSet* TSTColumnFilterEh::ListDataSet() const {
    if (db::TDataSource* s = ListSource()) return s->DataSet();
    db::TField* f = LookupField();
    return f ? f->LookupDataSet() : nullptr;
}

WideString TSTColumnFilterEh::ListFieldName() const {
    if (!FListField.empty()) return FListField;
    db::TField* f = LookupField();
    return f ? f->LookupResultField() : WideString();
}

Variant TSTColumnFilterEh::FirstOperandValue() const {
    return KeyFieldName().empty() ? FExpression.FirstOperand : FKeyValues;
}

Variant TSTColumnFilterEh::SecondOperandValue() const { return FExpression.SecondOperand; }

bool TSTColumnFilterEh::HasValueList() const { return ListSource() != nullptr; }

rtl::TOwnedPtr<editors::TDatasetFieldValueListEh> TSTColumnFilterEh::CreateValueList() const {
    TCustomDBGridEh* g = Grid();
    db::TDataSource* source = ListSource();
    db::TDataSet* ds = source ? source->DataSet() : nullptr;
    if (!g || !g->DataLink()->Active() || !ds || !ds->Active()) return nullptr;
    const WideString name = !FListField.empty() ? FListField : FColumn->FieldName();
    if (!ds->FindField(name)) return nullptr;
    rtl::TOwnedPtr<editors::TDatasetFieldValueListEh> list(rtl::Create<editors::TDatasetFieldValueListEh>());
    list->AssignDataSource(source);
    list->SetFieldName(name);
    return list;
}

AnsiString TSTColumnFilterEh::ExpressionText() const {
    if (FExpression.ValueType == stvtNone || FExpression.FirstOperator == stfoNone) return {};
    if (ListSource()) return ValueListText(FExpression.FirstOperand);
    AnsiString r = ConditionText(FExpression.FirstOperator, FExpression.FirstOperand);
    if (FExpression.Conjunction != stfoNone && FExpression.SecondOperator != stfoNone)
        r += " " + AnsiString(STFilterOperatorText(FExpression.Conjunction)) + " " +
             ConditionText(FExpression.SecondOperator, FExpression.SecondOperand);
    return r;
}

void TSTColumnFilterEh::KeysFromPickList(TSTFilterExpressionEh& Expression) const {
    if (!FColumn || !FColumn->HasKeyList() || !FColumn->HasPickList()) return;
    rtl::TStrings* picks = FColumn->PickList();
    rtl::TStrings* keys = FColumn->KeyList();
    // A pick entry beyond the key list has no key: the operand stays as typed.
    auto keyOf = [&](const Variant& v) -> Variant {
        if (v.IsNull() || v.IsEmpty()) return v;
        const int i = picks->IndexOf(v.AsAnsiString());
        return i >= 0 && i < keys->Count() ? Variant(keys->Strings(i)) : v;
    };
    auto convert = [&](TSTFilterOperatorEh op, Variant& operand) {
        if (!STFilterOperatorHasOperand(op)) return;
        if (operand.IsArray()) {
            for (int i = operand.ArrayLowBound(); i <= operand.ArrayHighBound(); ++i)
                operand.SetElement(i, keyOf(operand.GetElement(i)));
        } else {
            operand = keyOf(operand);
        }
    };
    convert(Expression.FirstOperator, Expression.FirstOperand);
    convert(Expression.SecondOperator, Expression.SecondOperand);
}

void TSTColumnFilterEh::SetExpressionText(const AnsiString& Text) {
    if (db::TField* f = FColumn ? FColumn->Field() : nullptr)
        FExpression.ValueType = STFilterValueTypeOf(f->DataType());
    const bool keyed = FColumn && FColumn->HasKeyList() && FColumn->HasPickList();
    if (keyed) FExpression.ValueType = stvtText;
    ParseSTFilterExpression(Text, FExpression);
    if (keyed) KeysFromPickList(FExpression);
}

void TSTColumnFilterEh::SetFilterText(const AnsiString& Text) {
    const WideString keyField = KeyFieldName();
    if (keyField.empty()) {
        SetExpressionText(Text);
    } else {
        // The text names list entries, whatever the type of the column's field: only Null and
        // Not Null are read from it, so it is not converted to that type.
        FExpression.ValueType = stvtText;
        ParseSTFilterExpression(Text, FExpression);
    }
    if (!keyField.empty()) {
        if (FExpression.FirstOperator == stfoNull || FExpression.FirstOperator == stfoNotNull) {
            FKeyValues = Variant::Null();
        } else {
            if (Text.empty()) {
                FKeyValues = Variant::Null();
            } else if (db::TDataSet* ds = ListDataSet()) {
                FKeyValues = ds->Lookup(ListFieldName(), Variant(Text), keyField);
                if (FKeyValues.IsEmpty()) FKeyValues = Variant::Null();
            }
            ClearSTFilterExpression(FExpression);
            FExpression.ValueType = stvtText;
            if (FKeyValues.IsNull()) {
                FExpression.FirstOperator = Text.empty() ? stfoNone : stfoNull;
            } else {
                FExpression.FirstOperator = stfoIn;
                FExpression.FirstOperand = Variant(Text);
            }
        }
    }
    FExpressionStr = Text;
}

void TSTColumnFilterEh::SetFilterTextAndRefresh(const AnsiString& Text) {
    SetFilterText(Text);
    if (TCustomDBGridEh* g = Grid()) g->Invalidate();
}

void TSTColumnFilterEh::ClearFilter() {
    FKeyValues = Variant::Null();
    SetFilterTextAndRefresh("");
}

// ---------------------------------------------------------------------------------------------
// TSTDBGridEhFilter

void TSTDBGridEhFilter::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TSTDBGridEhFilter*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    SetVisible(src->FVisible);
    SetLocal(src->FLocal);
}

void TSTDBGridEhFilter::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    if (!FGrid) return;
    // Ending the editing stores what was typed.
    if (!Value) FGrid->StopFilterEdit();
    FGrid->LinkLayoutChanged();
    if (FGrid->EditorMode()) FGrid->ShowEditor();
}

}  // namespace grid
