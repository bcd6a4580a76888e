#include "controls/grid/DBLookupEh.h"

#include <algorithm>

#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"
#include "framework/ui/ActnList.h"
#include "framework/ui/Clipbrd.h"

namespace grid {

using editors::VariantValuesEqual;

namespace {
WideString W(const AnsiString& S) { return rtl::AnsiToWide(S); }
}  // namespace

// ---------------------------------------------------------------------------------------------
// Drop-down settings

TLookupComboboxDropDownBoxEh::TLookupComboboxDropDownBoxEh(TCustomDBLookupComboboxEh* Owner)
    : TColumnDropDownBoxEh(Owner) {
    SpecRow()->OnChanged = [Owner](rtl::TObject*) {
        if (Owner) Owner->ListSettingsChanged();
    };
}

// ---------------------------------------------------------------------------------------------
// Links

TDataSourceLinkEh::TDataSourceLinkEh(TCustomDBLookupComboboxEh* Control) : FLookupControl(Control) {
    SetMultiFields(true);
}

void TDataSourceLinkEh::HandleLayoutChange() {
    editors::TFieldDataLinkEh::HandleLayoutChange();
    if (FLookupControl) FLookupControl->UpdateDataFields();
}

void TListSourceLinkEh::ActiveChanged() {
    if (FControl) FControl->UpdateListFields();
}

void TListSourceLinkEh::LayoutChanged() {
    if (FControl) FControl->UpdateListFields();
}

void TListSourceLinkEh::DataSetChanged() {
    if (FControl) FControl->ListLinkDataChanged();
}

// ---------------------------------------------------------------------------------------------
// The control

TCustomDBLookupComboboxEh::TCustomDBLookupComboboxEh(rtl::TComponent* Owner)
    : TCustomDBEditEh(Owner),
      FInternalSource(rtl::Create<db::TDataSource>(nullptr)),
      FListLink(rtl::Create<TListSourceLinkEh>(this)),
      FDropDownBox(std::make_unique<TLookupComboboxDropDownBoxEh>(this)) {}

TCustomDBLookupComboboxEh::~TCustomDBLookupComboboxEh() = default;

void TCustomDBLookupComboboxEh::AfterConstruction() {
    TCustomDBEditEh::AfterConstruction();
    FListLink->SetVisualControl(true);
    FDataList = rtl::Create<TPopupDataGridEh>(this);
    FDataList->SetVisible(false);
    FDataList->SetParent(this);
    FDataList->OnCloseUpRequest = [this](TPopupDataGridEh*, bool Accept) { DataListCloseUp(Accept); };
    FDataList->OnUserKeyValueChanged = [](TPopupDataGridEh*) {};
    UpdateControlReadOnly();
}

void TCustomDBLookupComboboxEh::BeforeDestruction() {
    if (FListLink) FListLink->SetDataSource(nullptr);
    TCustomDBEditEh::BeforeDestruction();
}

void TCustomDBLookupComboboxEh::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TCustomDBEditEh::Notification(AComponent, Operation);
    if (Operation != rtl::opRemove) return;
    if (AComponent == FListSource) SetListSource(nullptr);
    if (FDropDownBox && AComponent == FDropDownBox->ListSource()) {
        FDropDownBox->ClearListSource();
        Reset();
    }
    if (AComponent == FDataList) FDataList = nullptr;
}

void TCustomDBLookupComboboxEh::FreeNotify(rtl::TComponent* Component) {
    if (Component) Component->FreeNotification(this);
}

TDBLookupGridEhOptions TCustomDBLookupComboboxEh::LookupGridOptions() {
    return FDataList ? FDataList->LookupOptions() : TDBLookupGridEhOptions{};
}

void TCustomDBLookupComboboxEh::SetLookupGridOptions(TDBLookupGridEhOptions Value) {
    if (FDataList) FDataList->SetLookupOptions(Value);
}

editors::TFieldDataLinkEh* TCustomDBLookupComboboxEh::CreateDataLink() { return rtl::Create<TDataSourceLinkEh>(this); }

editors::TEditButtonEh* TCustomDBLookupComboboxEh::CreateEditButton() {
    auto* b = rtl::Create<editors::TVisibleEditButtonEh>(this);
    b->SetShortCut(ui::ShortCut(ui::VK_DOWN, ui::TShiftState{ui::ssAlt}));
    return b;
}

ui::TAlignment TCustomDBLookupComboboxEh::DefaultAlignment() const {
    return FPlainEdit ? TCustomDBEditEh::DefaultAlignment() : ui::TAlignment::taLeftJustify;
}

bool TCustomDBLookupComboboxEh::ButtonEnabled() {
    return (Enabled() && (DataLink()->IsActive() || FListActive)) && (FListActive || OnButtonClick || OnButtonDown);
}

// ---------------------------------------------------------------------------------------------
// Binding

db::TDataSource* TCustomDBLookupComboboxEh::ListSource() const { return FLookupFieldMode ? nullptr : FListSource; }

AnsiString TCustomDBLookupComboboxEh::KeyField() const { return FLookupFieldMode ? AnsiString() : FKeyField; }

void TCustomDBLookupComboboxEh::CheckNotLookupField() {
    if (FLookupFieldMode) db::DatabaseError(lookupmsg::SPropDefByLookup);
    if (DataLink()->DataSourceFixed()) db::DatabaseError(lookupmsg::SDataSourceFixed);
}

void TCustomDBLookupComboboxEh::CheckNotCircular(db::TDataSet* List) {
    db::TDataSource* src = DataSource();
    if (List && src && src->DataSet() && List->IsLinkedTo(src)) db::DatabaseError(lookupmsg::SCircularDataLink);
}

void TCustomDBLookupComboboxEh::SetDataField(const AnsiString& Value) {
    if (FDataField == Value) return;
    FDataField = Value;
    UpdateDataFields();
}

void TCustomDBLookupComboboxEh::SetKeyField(const AnsiString& Value) {
    CheckNotLookupField();
    if (FKeyField == Value) return;
    FKeyField = Value;
    UpdateListFields();
}

void TCustomDBLookupComboboxEh::SetListField(const AnsiString& Value) {
    if (FListField == Value) return;
    FListField = Value;
    UpdateListFields();
}

void TCustomDBLookupComboboxEh::SetListFieldIndex(int Value) {
    if (FListFieldIndex == Value) return;
    FListFieldIndex = Value;
    UpdateListFields();
}

void TCustomDBLookupComboboxEh::SetListSource(db::TDataSource* Value) {
    if (Value) CheckNotLookupField();
    FListSource = Value;
    if (Value) Value->FreeNotification(this);
    UpdateListLinkSource();
}

void TCustomDBLookupComboboxEh::SetStyle(TDBLookupComboboxEhStyle Value) {
    FStyle = Value;
    UpdateControlReadOnly();
}

db::TDataSource* TCustomDBLookupComboboxEh::ListSourceInUse() const {
    if (EditFocused() && FDropDownBox->ListSource() && !ComponentState().Contains(rtl::csDesigning))
        return FDropDownBox->ListSource();
    if (FLookupFieldMode) return FInternalSource.get();
    return FListSource;
}

bool TCustomDBLookupComboboxEh::UsesDropDownListSource() {
    return FDropDownBox->ListSource() && FListLink->DataSource() == FDropDownBox->ListSource();
}

void TCustomDBLookupComboboxEh::UpdateListLinkSource() {
    db::TDataSource* src = ListSourceInUse();
    if (FListLink->DataSource() != src)
        FListLink->SetDataSource(src);
    else
        UpdateListFields();
}

void TCustomDBLookupComboboxEh::ActiveChanged() {
    TCustomDBEditEh::ActiveChanged();
    UpdateDataFields();
}

void TCustomDBLookupComboboxEh::UpdateDataFields() {
    if (FUpdatingDataFields) return;
    FUpdatingDataFields = true;
    rtl::TryFinally(
        [&] {
            db::TDataSet* ds = DataLink()->DataSet();
            const bool bound = ds && ds->Active() && !FDataField.empty();
            if (bound) CheckNotCircular(FListLink->DataSet());
            db::TField* lookup = ResolveKeyReceivingFields(bound ? ds : nullptr, FDataField, FDataFields,
                                                           FKeyReceivingFields, FKeyReceivingNames);
            if (lookup) {
                FLookupFieldMode = true;
                FInternalSource->SetDataSet(lookup->LookupDataSet());
                FKeyField = rtl::WideToAnsi(lookup->LookupKeyFields());
                UpdateListLinkSource();
            } else if (FLookupFieldMode) {
                FLookupFieldMode = false;
                FListLink->SetDataSource(nullptr);
                FKeyField.clear();
                FInternalSource->SetDataSet(nullptr);
            }
            DataLink()->BindFieldName(FKeyReceivingNames.empty() ? FDataField : FKeyReceivingNames);
            FPlainEdit = !DataSource() && FDataField.empty() && !FListSource && FListField.empty() && FKeyField.empty();
            UpdateControlReadOnly();
            UpdateEditButtonControls();
            if (!FPlainEdit) DataLink()->RestoreFieldValue();
        },
        [&] { FUpdatingDataFields = false; });
}

void TCustomDBLookupComboboxEh::UpdateListFields() {
    if (FListVisible) return;
    FListActive = false;
    FDisplayField = nullptr;
    FListFields.clear();
    FKeyFields.clear();
    UpdateEditButtonControls();
    db::TDataSet* list = FListLink->Active() ? FListLink->DataSet() : nullptr;
    if (list && !FKeyField.empty()) {
        CheckNotCircular(list);
        ResolveLookupFields(list, FKeyField, FKeyFields);
        ResolveLookupFields(list, FListField, FListFields);
        if (FLookupFieldMode) {
            db::TField* result = list->FindField(FDataFields[0]->LookupResultField());
            if (!result)
                db::DatabaseErrorFmt(lookupmsg::SFieldNotFound, {rtl::WideToAnsi(FDataFields[0]->LookupResultField())});
            if (std::find(FListFields.begin(), FListFields.end(), result) == FListFields.end())
                FListFields.insert(FListFields.begin(), result);
            FDisplayField = result;
        } else {
            if (FListFields.empty()) FListFields = FKeyFields;
            if (!FListFields.empty()) {
                const bool inRange = FListFieldIndex >= 0 && FListFieldIndex < static_cast<int>(FListFields.size());
                FDisplayField = FListFields[inRange ? static_cast<size_t>(FListFieldIndex) : 0];
            }
        }
        FListActive = FDisplayField != nullptr;
    }
    FPlainEdit = !DataSource() && FDataField.empty() && !FListSource && FListField.empty() && FKeyField.empty();
    UpdateControlReadOnly();
    UpdateEditButtonControls();
    if (FPlainEdit) return;
    const bool modified = Modified();
    if (!FListActive) {
        SetTextInternal(ComponentState().Contains(rtl::csDesigning) ? Name() : AnsiString());
    } else {
        db::TDataSource* ordinary = FLookupFieldMode ? FInternalSource.get() : FListSource;
        editors::TSpecRowEh* spec = FDropDownBox->SpecRow();
        if (EditFocused() && UsesDropDownListSource() && ordinary && LocateKeyIn(ordinary)) {
            db::TField* f = ordinary->DataSet()->FindField(FDisplayField->FieldName());
            SetTextInternal(ShownText(f));
        } else if (spec->Visible() &&
                   (spec->MatchesKey(FKeyValue) || (spec->ShowIfNotInKeyList() && !LocateKeyInList()))) {
            SetTextInternal(spec->TextOfCell(FListFieldIndex));
        } else if (LocateKeyInList()) {
            SetTextInternal(ShownText(FDisplayField));
        } else {
            SetTextInternal(AnsiString());
        }
    }
    SetModified(modified);
    Invalidate();
}

void TCustomDBLookupComboboxEh::ListSettingsChanged() {
    if (ComponentState().Contains(rtl::csLoading)) return;
    if (FDataList) FDataList->SetSpecRow(FDropDownBox->SpecRow());
    DataChanged();
    UpdateListFields();
}

// ---------------------------------------------------------------------------------------------
// Keys and texts

AnsiString TCustomDBLookupComboboxEh::ShownText(db::TField* Field) {
    if (!Field) return {};
    if (Field->DataType() == db::ftMemo || Field->DataType() == db::ftWideMemo) return Field->AsString();
    return Field->DisplayText();
}

void TCustomDBLookupComboboxEh::SetTextInternal(const AnsiString& S) { ui::TCustomMaskEdit::SetEditText(S); }

bool TCustomDBLookupComboboxEh::KeyValueMatchesKeyFields(const std::vector<db::TField*>& Fields, const Variant& Value) {
    if (Fields.size() < 2) return true;
    return Value.IsArray() && Value.ArrayCount() == static_cast<int>(Fields.size());
}

bool TCustomDBLookupComboboxEh::LocateKeyIn(db::TDataSource* Source) {
    db::TDataSet* ds = Source ? Source->DataSet() : nullptr;
    if (FKeyValue.IsNull() || !ds || !ds->Active() || !KeyValueMatchesKeyFields(FKeyFields, FKeyValue)) return false;
    try {
        return ds->Locate(W(FKeyField), FKeyValue, {});
    } catch (const rtl::Exception&) {
        return false;
    }
}

bool TCustomDBLookupComboboxEh::LocateKeyInList() { return LocateKeyIn(FListLink->DataSource()); }

void TCustomDBLookupComboboxEh::SetKeyValueInternal(const Variant& Value) {
    const Variant v = Value.IsEmpty() ? Variant::Null() : Value;
    if (VariantValuesEqual(FKeyValue, v)) return;
    FKeyValue = v;
    KeyValueChanged();
}

void TCustomDBLookupComboboxEh::KeyValueChanged() {
    DataLink()->FlagModified();
    SetModified(true);
    if (!FPlainEdit) {
        if (FListActive && LocateKeyInList() &&
            !(FDropDownBox->SpecRow()->Visible() && FDropDownBox->SpecRow()->MatchesKey(FKeyValue)))
            SetTextInternal(ShownText(FDisplayField));
        else if (!FListActive && ComponentState().Contains(rtl::csDesigning))
            SetTextInternal(Name());
    }
    if (FListVisible && FDataList) FDataList->SetKeyValue(FKeyValue);
    if (FStyle == csDropDownListEh && HandleAllocated()) SelectAllText();
    if (OnKeyValueChanged) OnKeyValueChanged(this);
}

void TCustomDBLookupComboboxEh::DataChanged() {
    if (FPlainEdit) {
        TCustomDBEditEh::DataChanged();
        return;
    }
    db::TDataSet* ds = DataLink()->DataSet();
    if (IsUnbound() && FUnboundText) {
        SetTextInternal(editors::VariantToText(DataLink()->UnboundValue()));
        LocateListText(EditText(), false);
    } else {
        Variant key = Variant::Null();
        if (ds && ds->Active() && !FKeyReceivingFields.empty())
            key = ds->FieldValues(W(FKeyReceivingNames));
        else if (IsUnbound())
            key = DataLink()->UnboundValue();
        SetKeyValueInternal(key);
    }
    if (FListActive) {
        editors::TSpecRowEh* spec = FDropDownBox->SpecRow();
        db::TDataSource* ordinary = FLookupFieldMode ? FInternalSource.get() : FListSource;
        if (EditFocused() && UsesDropDownListSource() && ordinary && LocateKeyIn(ordinary)) {
            SetTextInternal(ShownText(ordinary->DataSet()->FindField(FDisplayField->FieldName())));
        } else if (spec->Visible() &&
                   (spec->MatchesKey(FKeyValue) || (spec->ShowIfNotInKeyList() && !LocateKeyInList()))) {
            SetTextInternal(spec->TextOfCell(FListFieldIndex));
        } else if (!LocateKeyInList()) {
            if (!(IsUnbound() && FUnboundText)) SetTextInternal(AnsiString());
        } else {
            SetTextInternal(ShownText(FDisplayField));
        }
    }
    UpdateControlReadOnly();
    SetModified(false);
    DataLink()->SetModified(false);
}

bool TCustomDBLookupComboboxEh::CanModifyKey(bool StartEdit) {
    if (!(FPlainEdit || FListActive) || ReadOnly()) return false;
    if (!DataSource()) return true;
    if (FKeyReceivingFields.empty()) return false;
    for (db::TField* f : FKeyReceivingFields)
        if (!f->CanModify()) return false;
    if (StartEdit) return DataLink()->BeginFieldEdit();
    return true;
}

bool TCustomDBLookupComboboxEh::LocateListText(const AnsiString& Text, bool Partial) {
    if (!FListActive || !CanModifyKey(true)) return false;
    db::TDataSet* list = FListLink->DataSet();
    try {
        db::TLocateOptions opts{db::loCaseInsensitive};
        if (Partial) opts.Include(db::loPartialKey);
        if (list->Locate(FDisplayField->FieldName(), Variant(Text), opts)) {
            auto saved = std::move(OnChange);
            bool changed = false;
            OnChange = [&changed](rtl::TObject*) { changed = true; };
            rtl::TryFinally(
                [&] {
                    SetKeyValueInternal(LookupKeyOfRecord(list, FKeyField));
                    SetTextInternal(ShownText(FDisplayField));
                    const int len = static_cast<int>(EditText().size());
                    SetSel(len, std::min(static_cast<int>(Text.size()), len));
                },
                [&] { OnChange = std::move(saved); });
            if (changed && OnChange) OnChange(this);
            DataLink()->FlagModified();
            SetModified(true);
            return true;
        }
        if (FStyle == csDropDownEh) SetKeyValueInternal(Variant::Null());
        return false;
    } catch (const rtl::Exception&) {
        if (FStyle == csDropDownEh) {
            SetKeyValueInternal(Variant::Null());
        } else {
            SetTextInternal(EditText());
            SetSelStart(static_cast<int>(EditText().size()));
        }
        return false;
    }
}

void TCustomDBLookupComboboxEh::ProcessSearchText(const AnsiString& Typed) {
    if (!FDisplayField) return;
    const db::TFieldKind kind = FDisplayField->FieldKind();
    if ((kind != db::fkData && kind != db::fkInternalCalc) || !CanModifyKey(true)) return;
    if (Typed == "\b") {
        const int len = static_cast<int>(EditText().size());
        const int start = SelLength() == len ? len - 1 : SelStart() - 1;
        SetSel(len, std::max(start, 0));
        return;
    }
    LocateListText(EditText().substr(0, static_cast<size_t>(std::max(SelStart(), 0))) + Typed, true);
}

void TCustomDBLookupComboboxEh::InternalSetText(const AnsiString& AText) {
    if (FPlainEdit) {
        TCustomDBEditEh::InternalSetText(AText);
        return;
    }
    if (FStyle == csDropDownEh) SetTextInternal(AText);
    LocateListText(AText, false);
}

void TCustomDBLookupComboboxEh::InternalSetValue(const Variant& AValue) {
    if (FPlainEdit) {
        TCustomDBEditEh::InternalSetValue(AValue);
        return;
    }
    SetKeyValueInternal(AValue);
}

void TCustomDBLookupComboboxEh::StoreKeyValue(const Variant& Value) {
    if (FKeyReceivingFields.empty()) {
        SetKeyValueInternal(Value);
        if (!FInUpdateData) {
            try {
                UpdateData();
            } catch (...) {
                DataLink()->RestoreFieldValue();
                throw;
            }
        }
    } else if (DataLink()->BeginFieldEdit()) {
        DataLink()->DataSet()->SetFieldValues(W(FKeyReceivingNames), Value);
    }
    if (FListActive) {
        editors::TSpecRowEh* spec = FDropDownBox->SpecRow();
        if (!LocateKeyInList() && !(spec->Visible() && spec->MatchesKey(FKeyValue))) SetTextInternal(AnsiString());
    }
}

void TCustomDBLookupComboboxEh::UpdateData() {
    if (FListActive && OnNotInList &&
        !FListLink->DataSet()->Locate(FDisplayField->FieldName(), Variant(EditText()),
                                      db::TLocateOptions{db::loCaseInsensitive})) {
        bool recheck = false;
        OnNotInList(this, EditText(), recheck);
        db::TDataSet* list = FListLink->DataSet();
        if (recheck &&
            list->Locate(FDisplayField->FieldName(), Variant(EditText()), db::TLocateOptions{db::loCaseInsensitive}))
            SetKeyValueInternal(LookupKeyOfRecord(list, FKeyField));
    }
    TCustomDBEditEh::UpdateData();
}

void TCustomDBLookupComboboxEh::StoreTextToLink() {
    if (FPlainEdit) {
        TCustomDBEditEh::StoreTextToLink();
        return;
    }
    if (IsUnbound() && FListActive && !LocateKeyInList() && !EditText().empty() && FStyle == csDropDownEh &&
        !FDropDownBox->SpecRow()->Visible()) {
        FUnboundText = true;
        DataLink()->StoreFieldValue(Variant(EditText()));
        return;
    }
    FUnboundText = false;
    if (!FKeyReceivingFields.empty() || IsUnbound()) DataLink()->StoreFieldValue(FKeyValue);
}

void TCustomDBLookupComboboxEh::UpdateControlReadOnly() {
    if (FPlainEdit) {
        TCustomDBEditEh::UpdateControlReadOnly();
        return;
    }
    // Typing in the list style goes through the search, never into the text.
    const bool ro = !(FStyle == csDropDownEh && DataLink()->LinkEditing() && !ReadOnly()) &&
                    !(FStyle == csDropDownEh && IsUnbound() && !ReadOnly());
    if (ro != WindowReadOnly()) ui::TCustomMaskEdit::SetReadOnly(ro);
}

bool TCustomDBLookupComboboxEh::IsValidChar(char Key) {
    if (FListActive && FDisplayField) return FDisplayField->IsValidChar(Key);
    return TCustomDBEditEh::IsValidChar(Key);
}

void TCustomDBLookupComboboxEh::SetFocused(bool Value) {
    TCustomDBEditEh::SetFocused(Value);
    UpdateListLinkSource();
}

AnsiString TCustomDBLookupComboboxEh::PaintCopyText() {
    if (ComponentState().Contains(rtl::csDesigning) && !DataLink()->Active()) return Name();
    db::TDataSet* ds = DataLink()->DataSet();
    if (ControlState().Contains(ui::csPaintCopy) && ds && !FKeyReceivingFields.empty() && FListActive) {
        const Variant key = ds->FieldValues(W(FKeyReceivingNames));
        db::TDataSet* list = FListLink->DataSet();
        if (!key.IsNull() && list->Locate(W(FKeyField), key, {})) return ShownText(FDisplayField);
        return {};
    }
    return EditText();
}

int TCustomDBLookupComboboxEh::GetListFieldsWidth() {
    ui::TBitmap probe;
    probe.Canvas()->Font()->Assign(Font());
    const int digit = probe.Canvas()->TextWidth("0");
    int w = 0;
    for (db::TField* f : FListFields) w += f->DisplayWidth() * digit + 4;
    return w;
}

void TCustomDBLookupComboboxEh::SelectAllText() { SetSel(0, static_cast<int>(EditText().size())); }

void TCustomDBLookupComboboxEh::StepListRecord(bool Up) {
    if (!CanModifyKey(true) || !FListLink->Active()) return;
    db::TDataSet* list = FListLink->DataSet();
    if (LocateKeyInList()) {
        if (Up)
            list->Prior();
        else
            list->Next();
    } else {
        list->First();
    }
    SetKeyValueInternal(LookupKeyOfRecord(list, FKeyField));
    SetTextInternal(ShownText(FDisplayField));
    if (Focused()) SelectAllText();
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void TCustomDBLookupComboboxEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    editors::TSpecRowEh* spec = FDropDownBox->SpecRow();
    if (FListActive && spec->Visible() && ui::ShortCut(Key, Shift) == spec->ShortCut()) {
        if (CanModifyKey(true)) {
            SetKeyValueInternal(spec->Value());
            SetTextInternal(spec->TextOfCell(FListFieldIndex));
            SelectAllText();
        }
        Key = 0;
        return;
    }
    if (FListVisible && FDataList) {
        const bool ctrl = Shift.Contains(ui::ssCtrl);
        if (Key == ui::VK_CONTROL || Key == ui::VK_PRIOR || Key == ui::VK_NEXT || Key == ui::VK_UP ||
            Key == ui::VK_DOWN || ((Key == ui::VK_HOME || Key == ui::VK_END) && ctrl)) {
            if (Key == ui::VK_HOME || Key == ui::VK_END) Shift.Exclude(ui::ssCtrl);
            FDataList->LookupKeyDown(Key, Shift);
            Key = 0;
            return;
        }
    }
    if ((Key == ui::VK_UP || Key == ui::VK_DOWN) && Shift.Empty() && FListActive && !FListVisible) {
        StepListRecord(Key == ui::VK_UP);
        Key = 0;
        return;
    }
    if (Key == ui::VK_DELETE && FStyle == csDropDownListEh && Shift.Empty()) {
        if (CanModifyKey(true)) {
            bool required = false;
            for (db::TField* f : FKeyReceivingFields) required = required || f->Required();
            const bool allSelected = SelLength() == static_cast<int>(EditText().size());
            if ((allSelected && !FKeyReceivingFields.empty()) || !required) {
                SetKeyValueInternal(Variant::Null());
                SetTextInternal(AnsiString());
            }
        }
        Key = 0;
        return;
    }
    TCustomDBEditEh::KeyDown(Key, Shift);
}

void TCustomDBLookupComboboxEh::KeyPress(char& Key) {
    if (FListVisible && (Key == '\r' || Key == '\x1B')) {
        CloseUp(Key == '\r');
        Key = 0;
        return;
    }
    TCustomDBEditEh::KeyPress(Key);
    if (Key == 0 || FPlainEdit) return;
    if (Key == '\b' && FStyle == csDropDownListEh) {
        ProcessSearchText("\b");
        Key = 0;
        return;
    }
    if (static_cast<unsigned char>(Key) > 31) {
        if (FDropDownBox->AutoDrop && FListActive && !FListVisible) DropDown();
        if (FStyle == csDropDownListEh) {
            ProcessSearchText(FCharMessageText.empty() ? AnsiString(1, Key) : FCharMessageText);
            Key = 0;
        }
    }
}

void TCustomDBLookupComboboxEh::WMChar(ui::TWMKey& Message) {
    const auto c = static_cast<char>(Message.CharCode);
    const AnsiString oldText = EditText();
    TCustomDBEditEh::WMChar(Message);
    if (FPlainEdit || FStyle != csDropDownEh || c == 0 || ui::GetKeyState(ui::VK_CONTROL) < 0 ||
        ui::GetKeyState(ui::VK_MENU) < 0)
        return;
    if (EditText() == oldText && c != '\b') return;
    const int oldCaret = SelStart();
    const bool atEnd = SelStart() == static_cast<int>(EditText().size()) && SelLength() == 0;
    if (atEnd && c != '\b') {
        ProcessSearchText(AnsiString());
    } else if (LocateListText(EditText(), false)) {
        SetSel(static_cast<int>(EditText().size()), oldCaret);
    }
}

bool TCustomDBLookupComboboxEh::DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) {
    if (TCustomDBEditEh::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    if (!Shift.Empty() || ReadOnly() || !CanModifyKey(true)) return false;
    StepListRecord(WheelDelta > 0);
    return true;
}

void TCustomDBLookupComboboxEh::EditButtonDown(bool TopButton) {
    if (EditButton()->Style() == editors::ebsUpDownEh) {
        StepListRecord(TopButton);
        return;
    }
    TCustomDBEditEh::EditButtonDown(TopButton);
}

// ---------------------------------------------------------------------------------------------
// Drop-down

void TCustomDBLookupComboboxEh::DropDown() {
    if (FListVisible || !FListActive || !FDataList) return;
    if (CanFocus() && !Focused()) SetFocus();
    if (OnDropDown) OnDropDown(this);
    TPopupDataGridEh* g = FDataList;
    g->SetKeyValue(Variant::Null());
    g->SetSpecRow(FDropDownBox->SpecRow());
    g->SetColor(Color());
    g->Font()->Assign(Font());
    g->SetShowTitles(FDropDownBox->ShowTitles);
    g->SetLookupUseMultiTitle(FDropDownBox->UseMultiTitle);
    g->SetLookupReadOnly(!CanModifyKey(false));
    int rows = FDropDownBox->Rows;
    db::TDataSet* list = FListLink->DataSet();
    if (list->IsSequenced()) {
        const int n = list->RecordCount();
        if (n > 0 && n < rows) rows = n;
    }
    g->SetKeyField(FKeyField);
    AnsiString names;
    for (db::TField* f : FListFields) names += rtl::WideToAnsi(f->FieldName()) + ";";
    g->SetListField(names);
    const auto pos = std::find(FListFields.begin(), FListFields.end(), FDisplayField);
    g->SetListFieldIndex(static_cast<int>(pos - FListFields.begin()));
    g->SetAutoFit(false);
    g->SetListSource(FListLink->DataSource());
    g->SetListRowCount(rows);
    int width;
    if (FDropDownBox->Width == -1)
        width = g->TotalColumnWidth() + (g->Width() - g->ClientWidth());
    else if (FDropDownBox->Width <= 0)
        width = Width();
    else
        width = FDropDownBox->Width;
    g->SetWidth(std::max(width, Width()));
    g->SetAutoFit(FDropDownBox->AutoFitColWidths);
    g->SetKeyValue(FKeyValue);
    g->SetLookupReadOnly(!CanModifyKey(false));
    ShowDropDownUnder(g, FDropDownBox->Align);
    if (g->SizeGrip()) g->SizeGrip()->ShowGripWindow(FDropDownBox->Sizable);
    g->SetListRowCount(rows);
    FListVisible = true;
    SetDroppedDown(true);
    g->Invalidate();
    g->SetUserResized(false);
    TCustomDBEditEh::DropDown();
}

void TCustomDBLookupComboboxEh::DataListCloseUp(bool Accept) { CloseUp(Accept); }

void TCustomDBLookupComboboxEh::CloseUp(bool Accept) {
    if (!FListVisible || !FDataList) return;
    if (ui::TControl* capture = ui::GetCaptureControl()) capture->Perform(ui::WM_CANCELMODE);
    const Variant picked = FDataList->KeyValue();
    const bool pickedSpec = FDataList->SpecRowSelected();
    HideDropDown(FDataList);
    FListVisible = false;
    SetDroppedDown(false);
    if (FDataList->UserResized()) {
        // The user's size is the next drop-down's.
        FDropDownBox->Rows = FDataList->ListRowCount();
        FDropDownBox->Width = FDataList->Width();
        FDataList->SetUserResized(false);
    }
    FDataList->SetAutoFit(false);
    FDataList->SetListSource(nullptr);
    TCustomDBEditEh::CloseUp(Accept);
    if (Accept && CanModifyKey(true)) {
        SetKeyValueInternal(picked);
        editors::TSpecRowEh* spec = FDropDownBox->SpecRow();
        if (spec->Visible() && (pickedSpec || spec->MatchesKey(FKeyValue)))
            SetTextInternal(spec->TextOfCell(FListFieldIndex));
        else if (LocateKeyInList())
            SetTextInternal(ShownText(FDisplayField));
        SelectAllText();
    }
    if (FStyle == csDropDownEh) SelectAllText();
    if (OnCloseUp) OnCloseUp(this, Accept);
}

void TCustomDBLookupComboboxEh::EditButtonMouseMove(rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y) {
    TCustomDBEditEh::EditButtonMouseMove(Sender, Shift, X, Y);
    if (FListVisible) PassButtonDragToDropDown(Sender, X, Y, FDataList);
}

ui::TWinControl* TCustomDBLookupComboboxEh::ListWindow() const { return FDataList; }

bool TCustomDBLookupComboboxEh::ListModeMouse(ui::TMessage& Message) {
    if (Message.Msg == ui::WM_MOUSEMOVE) {
        if (!FListVisible || !(Message.WParam & ui::MK_LBUTTON) || !FDataList->HandleAllocated()) return false;
        const ui::TPoint p = FDataList->ScreenToClient(ClientToScreen(ui::LParamToPoint(Message.LParam)));
        if (!ui::PtInRect(FDataList->ClientRect(), p)) return false;
        // The drag leaves the text for the list, which takes it on as its own press.
        Perform(ui::WM_CANCELMODE);
        if (MouseCapture()) SetMouseCapture(false);
        FDroppedByPress = false;
        FDataList->Perform(ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, ui::PointToLParam(p.X, p.Y));
        return true;
    }
    if (Message.Msg == ui::WM_LBUTTONUP && MouseCapture()) SetMouseCapture(false);
    return ListStyleMouse(
        Message,
        [this] {
            if (CanFocus() && !Focused()) SetFocus();
            FDroppedByPress = false;
            if (!FListVisible && ButtonEnabled()) {
                DropDown();
                FDroppedByPress = true;
                // The drag that may follow into the list comes back here.
                SetMouseCapture(true);
            }
        },
        [this] {
            if (FListVisible && !FDroppedByPress) CloseUp(false);
            FDroppedByPress = false;
        });
}

void TCustomDBLookupComboboxEh::SearchEditedText(int Caret) {
    if (LocateListText(EditText(), false)) SetSel(static_cast<int>(EditText().size()), Caret);
}

void TCustomDBLookupComboboxEh::EditThenSearch(ui::TMessage& Message) {
    const AnsiString before = EditText();
    const int caret = SelStart();
    TCustomDBEditEh::WndProc(Message);
    if (EditText() != before) SearchEditedText(caret);
}

void TCustomDBLookupComboboxEh::EMReplaceSel(ui::TMessage& Message) {
    const AnsiString inserted =
        Message.LParam ? AnsiString(reinterpret_cast<const char*>(Message.LParam)) : AnsiString();
    const int start = std::max(SelStart(), 0);
    const int caret = start + static_cast<int>(inserted.size());
    AnsiString text;
    if (FStyle == csDropDownEh) {
        TCustomDBEditEh::WndProc(Message);
        text = EditText();
    } else {
        // The list style's text never takes what was not found: only the would-be text is searched.
        const AnsiString t = EditText();
        const size_t s = std::min(static_cast<size_t>(start), t.size());
        const size_t e = std::min(s + static_cast<size_t>(std::max(SelLength(), 0)), t.size());
        text = t.substr(0, s) + inserted + t.substr(e);
    }
    if (LocateListText(text, false)) SetSel(static_cast<int>(EditText().size()), caret);
}

void TCustomDBLookupComboboxEh::WndProc(ui::TMessage& Message) {
    if (FListVisible && FDataList && PassWheelToDropDown(Message, FDataList)) return;
    if (!FPlainEdit && !ComponentState().Contains(rtl::csDesigning)) {
        if (Message.Msg == ui::EM_REPLACESEL) {
            EMReplaceSel(Message);
            return;
        }
        if (FStyle == csDropDownEh && (Message.Msg == ui::WM_CUT || Message.Msg == ui::WM_PASTE ||
                                       (Message.Msg == ui::WM_KEYDOWN && Message.WParam == ui::VK_DELETE &&
                                        ui::GetKeyState(ui::VK_SHIFT) >= 0))) {
            EditThenSearch(Message);
            return;
        }
    }
    if (!FPlainEdit && FStyle == csDropDownListEh && !ComponentState().Contains(rtl::csDesigning)) {
        if (ListModeMouse(Message)) return;
        if (Message.Msg == ui::WM_SETCURSOR) {
            ui::SetCursorShape(ui::crArrow);
            Message.Result = 1;
            return;
        }
        if (Message.Msg == ui::WM_PASTE) {
            if (IsPasteRefused()) {
                ui::MessageBeep();
                return;
            }
            const AnsiString s = rtl::WideToAnsi(ui::Clipboard()->AsWideText());
            if (!s.empty()) ProcessSearchText(s);
            return;
        }
    }
    TCustomDBEditEh::WndProc(Message);
}

}  // namespace grid
