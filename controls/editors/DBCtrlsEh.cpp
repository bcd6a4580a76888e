#include "controls/editors/DBCtrlsEh.h"

#include "framework/ui/Controls.h"

#include <algorithm>

#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace editors {

// ---------------------------------------------------------------------------------------------
// TFieldDataLinkEh

TFieldDataLinkEh::TFieldDataLinkEh() { SetVisualControl(true); }

db::TField* TFieldDataLinkEh::FieldsField(int Index) const {
    if (Index < 0 || Index >= FieldsCount()) return nullptr;
    return FFields[static_cast<size_t>(Index)];
}

bool TFieldDataLinkEh::IsBoundField(const db::TField* Field) const {
    return std::find(FFields.begin(), FFields.end(), Field) != FFields.end();
}

bool TFieldDataLinkEh::CanModify() const {
    if (db::TField* f = BoundField()) return f->CanModify();
    return FUnbound;
}

bool TFieldDataLinkEh::IsActive() const { return FUnbound || (Active() && BoundField()); }

bool TFieldDataLinkEh::IsDataSetOpen() const {
    db::TDataSource* src = DataSource();
    return src && src->DataSet() && src->DataSet()->Active();
}

bool TFieldDataLinkEh::CalcUnbound() const { return DataSource() == nullptr && FFieldName.empty(); }

void TFieldDataLinkEh::UpdateUnboundState() {
    const bool unbound = CalcUnbound();
    if (unbound == FUnbound) return;
    FUnbound = unbound;
    FUnboundValue = Variant::Null();
    HandleLayoutChange();
    if (FUnbound) HandleRecordChange(nullptr);
}

void TFieldDataLinkEh::AssignLinkDataSource(db::TDataSource* Value) {
    if (Value == DataSource()) return;
    SetDataSource(Value);
    UpdateUnboundState();
}

void TFieldDataLinkEh::BindFieldName(const AnsiString& Value) {
    if (Value == FFieldName) return;
    FFieldName = Value;
    UpdateFields();
    UpdateUnboundState();
}

void TFieldDataLinkEh::SetMultiFields(bool Value) {
    if (Value == FMultiFields) return;
    FMultiFields = Value;
    UpdateFields();
}

bool TFieldDataLinkEh::BeginFieldEdit() {
    if (FUnbound) {
        if (!FEditing && !ReadOnly()) {
            FEditing = true;
            FModified = false;
            Fire(OnEditingChange);
        }
    } else if (CanModify()) {
        Edit();
    }
    return FEditing;
}

void TFieldDataLinkEh::SetText(const AnsiString& Text) {
    if (FUnbound) {
        FUnboundValue = Variant(Text);
        HandleRecordChange(nullptr);
        return;
    }
    db::TField* f = BoundField();
    if (!f) return;
    if (f->DataType() == db::ftMemo || f->DataType() == db::ftWideMemo)
        f->SetAsString(Text);
    else
        f->SetEditText(Text);
}

void TFieldDataLinkEh::StoreFieldValue(const Variant& Value) {
    if (FUnbound) {
        FUnboundValue = Value;
        HandleRecordChange(nullptr);
        return;
    }
    if (FFields.size() > 1) {
        const int n = FieldsCount();
        std::vector<Variant> values(FFields.size(), Variant::Null());
        if (!Value.IsNull() && !Value.IsEmpty()) {
            if (!Value.IsArray() || Value.ArrayCount() != n)
                throw rtl::Exception(
                    rtl::Format("Value for the fields '%s' must be an array of %d values", {FFieldName, n}));
            // Every element is taken before any field changes.
            for (int i = 0; i < n; ++i) values[static_cast<size_t>(i)] = Value.GetElement(Value.ArrayLowBound() + i);
        }
        for (size_t i = 0; i < FFields.size(); ++i) FFields[i]->SetValue(values[i]);
        return;
    }
    if (db::TField* f = BoundField()) f->SetValue(Value);
}

void TFieldDataLinkEh::HandleActiveChange() {
    UpdateFields();
    Fire(OnActiveChange);
}

void TFieldDataLinkEh::DataEvent(db::TDataEvent Event, intptr_t Info) { HandleDataSetEvent(Event, Info); }

void TFieldDataLinkEh::HandleDataSetEvent(db::TDataEvent Event, intptr_t Info) {
    db::TDataLink::DataEvent(Event, Info);
    if (Event != db::deDisabledStateChange) return;
    if (Info)
        UpdateFields();
    else
        FFields.clear();
}

void TFieldDataLinkEh::HandleEditingChange() {
    const bool editing = Editing() && CanModify();
    if (editing == FEditing) return;
    FEditing = editing;
    FModified = false;
    Fire(OnEditingChange);
}

void TFieldDataLinkEh::FocusControl(db::TField** Field) {
    if (!Field) return;
    db::TField* f = *Field;
    HandleFocusRequest(f);
    *Field = f;
}

void TFieldDataLinkEh::HandleFocusRequest(db::TField*& Field) {
    if (Field && IsBoundField(Field) && FocusOwningControl()) Field = nullptr;
}

bool TFieldDataLinkEh::FocusOwningControl() {
    auto* control = dynamic_cast<ui::TWinControl*>(FControl);
    if (!control || !control->CanFocus()) return false;
    control->SetFocus();
    return true;
}

void TFieldDataLinkEh::HandleLayoutChange() { UpdateFields(); }

void TFieldDataLinkEh::HandleRecordChange(db::TField* Field) {
    if (Field && !IsBoundField(Field)) return;
    Fire(OnDataChange);
    FModified = false;
}

void TFieldDataLinkEh::HandleWriteBack() {
    if (FUnbound) {
        if (FModified) Fire(OnUpdateData);
        FEditing = false;
    } else if (FModified && BoundField()) {
        Fire(OnUpdateData);
    }
    FModified = false;
}

void TFieldDataLinkEh::UpdateFields() {
    TFieldsArrEh list;
    if (Active() && !FFieldName.empty()) {
        const WideString names = rtl::AnsiToWide(FFieldName);
        db::TDataSet* ds = DataSet();
        if (FMultiFields) {
            if (FControl)
                CollectFieldsByNames(&list, ds, FControl, names);
            else
                ds->GetFieldList(list, names);
        } else {
            list.push_back(FControl ? db::GetFieldProperty(ds, FControl, names) : ds->FieldByName(names));
        }
    }
    FFields = std::move(list);
    HandleEditingChange();
    HandleRecordChange(nullptr);
    // Right-to-left reading is never in effect here, so no window needs recreating for it.
}

// ---------------------------------------------------------------------------------------------

AnsiString VariantToText(const Variant& Value) {
    if (Value.IsArray()) return {};
    try {
        return rtl::VarToStr(Value);
    } catch (...) {
        return {};
    }
}

// ---------------------------------------------------------------------------------------------
// TEditImageEh

void TEditImageEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TEditImageEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    SetImages(src->Images());
    SetImageIndex(src->ImageIndex());
    SetVisible(src->Visible());
    SetWidth(src->Width());
}

void TEditImageEh::SetImageIndex(int Value) {
    if (Value == FImageIndex) return;
    FImageIndex = Value;
    if (FEditControl) FEditControl->Invalidate();
}

void TEditImageEh::SetImages(ui::TCustomImageList* Value) {
    if (Value == FImages) return;
    FImages = Value;
    if (FImages && FEditControl) FImages->FreeNotification(FEditControl);
    LayoutChanged();
}

void TEditImageEh::SetUseImageHeight(bool Value) {
    if (Value == FUseImageHeight) return;
    FUseImageHeight = Value;
    LayoutChanged();
}

void TEditImageEh::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    LayoutChanged();
}

void TEditImageEh::SetWidth(int Value) {
    if (Value == FWidth) return;
    FWidth = Value;
    LayoutChanged();
}

void TEditImageEh::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    if (Operation == rtl::opRemove && AComponent == FImages) FImages = nullptr;
}

void TEditImageEh::LayoutChanged() {
    if (FEditControl) FEditControl->Perform(ui::WM_DROPDOWNCLOSE, reinterpret_cast<ui::WPARAM>(this), 0);
}

IInplaceEditHolderEh* RequireInplaceEditHolder(ui::TWinControl* Holder) {
    if (!Holder) return nullptr;
    auto* holder = dynamic_cast<IInplaceEditHolderEh*>(Holder);
    if (!holder) throw rtl::Exception(InplaceEditHolderMismatch);
    return holder;
}

}  // namespace editors
