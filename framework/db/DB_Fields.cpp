// Field definitions, the field base class and the dataset's field list.
#include <algorithm>
#include <cstring>

#include "framework/db/DB.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"

namespace db {

void CopyFieldData(TFieldType DataType, void* Dest, const void* Source, size_t Size) {
    if (Dest == Source) return;
    // A variant holds a counted reference: a byte copy would share it without counting it.
    if (DataType == ftVariant)
        *static_cast<Variant*>(Dest) = *static_cast<const Variant*>(Source);
    else if (Size > 0)
        std::memmove(Dest, Source, Size);
}

// ---------------------------------------------------------------------------------------------
// TFieldDef

TFieldDef::TFieldDef(rtl::TCollection* Collection) : TCollectionItem(Collection) {}

TFieldDef::~TFieldDef() = default;

void TFieldDef::SetName(const WideString& Value) {
    FName = Value;
    Changed(false);
}

void TFieldDef::SetDataType(TFieldType Value) {
    FDataType = Value;
    Changed(false);
}

void TFieldDef::SetSize(int Value) {
    FSize = Value;
    Changed(false);
}

void TFieldDef::SetPrecision(int Value) {
    FPrecision = Value;
    Changed(false);
}

void TFieldDef::SetRequired(bool Value) {
    if (Value)
        FAttributes.Include(faRequired);
    else
        FAttributes.Exclude(faRequired);
    Changed(false);
}

void TFieldDef::SetAttributes(TFieldAttributes Value) {
    FAttributes = Value;
    Changed(false);
}

TFieldDefs* TFieldDef::ChildDefs() {
    if (!FChildDefs) FChildDefs.reset(rtl::Create<TFieldDefs>(this));
    return FChildDefs.get();
}

bool TFieldDef::HasChildDefs() const noexcept { return FChildDefs && FChildDefs->Count() > 0; }

TFieldDefs* TFieldDef::FieldDefs() const { return static_cast<TFieldDefs*>(Collection()); }

TFieldDef* TFieldDef::ParentDef() const {
    TFieldDefs* defs = FieldDefs();
    return defs ? defs->ParentDef() : nullptr;
}

TDataSet* TFieldDef::DataSet() const {
    TFieldDefs* defs = FieldDefs();
    return defs ? defs->DataSet() : nullptr;
}

WideString TFieldDef::FullName() const {
    TFieldDef* parent = ParentDef();
    return parent ? parent->FullName() + u"." + FName : FName;
}

TFieldClass TFieldDef::FieldClass() const {
    TDataSet* ds = DataSet();
    return ds ? ds->FieldClassOfType(FDataType) : DefaultFieldClass(FDataType);
}

TField* TFieldDef::CreateField(rtl::TComponent* Owner, TField* ParentField, const WideString& FieldName,
                               bool CheckName) {
    TDataSet* ds = DataSet();
    TFieldClass cls = FieldClass();
    if (!cls) DatabaseErrorFmt(msg::SUnknownFieldType, {rtl::WideToAnsi(FName)}, ds);
    WideString name = FieldName.empty() ? FName : FieldName;
    if (CheckName && ds) ds->Fields().CheckFieldName(name);
    // Held until it is set up: a field that fails half-way is freed, not left with its owner.
    rtl::TOwnedPtr<rtl::TComponent> made = rtl::Adopt(cls->Create(Owner));
    TField* field = dynamic_cast<TField*>(made.get());
    if (!field) DatabaseErrorFmt(msg::SUnknownFieldType, {rtl::WideToAnsi(FName)}, ds);
    if (FSize != 0) field->SetSize(FSize);
    // A decimal column with a precision has its scale in Size, and a scale of 0 is one too.
    // Without a precision the field keeps its own defaults.
    if (FPrecision > 0) {
        if (auto* bcd = dynamic_cast<TBCDField*>(field)) {
            bcd->SetSize(FSize);
            bcd->SetPrecision(FPrecision);
        } else if (auto* fmt = dynamic_cast<TFMTBCDField*>(field)) {
            fmt->SetSize(FSize);
            fmt->SetPrecision(FPrecision);
        }
    }
    field->FFieldName = name;
    field->FFieldNo = FFieldNo;
    field->FRequired = Required();
    field->FReadOnly = FAttributes.Contains(faReadonly);
    field->SetFieldType(FDataType);
    if (FInternalCalcField) field->FFieldKind = fkInternalCalc;
    field->FParentField = ParentField;
    if (ds) field->SetDataSet(ds);
    (void)made.release();
    return field;
}

AnsiString TFieldDef::DisplayName() const { return rtl::WideToAnsi(FName); }

void TFieldDef::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TFieldDef*>(Source);
    if (!src) {
        TCollectionItem::Assign(Source);
        return;
    }
    FName = src->FName;
    FDataType = src->FDataType;
    FSize = src->FSize;
    FPrecision = src->FPrecision;
    FAttributes = src->FAttributes;
    FInternalCalcField = src->FInternalCalcField;
    if (src->HasChildDefs()) ChildDefs()->Assign(src->FChildDefs.get());
    Changed(false);
}

// ---------------------------------------------------------------------------------------------
// TFieldDefs

TFieldDefs::TFieldDefs(rtl::TPersistent* AOwner) : TOwnedCollection(AOwner, TFieldDef::StaticClass()) {
    FDataSet = dynamic_cast<TDataSet*>(AOwner);
    FParentDef = dynamic_cast<TFieldDef*>(AOwner);
    if (FParentDef) FDataSet = FParentDef->DataSet();
}

TFieldDef* TFieldDefs::AddFieldDef() {
    auto* def = static_cast<TFieldDef*>(TCollection::Add());
    def->FFieldNo = Count();
    return def;
}

TFieldDef* TFieldDefs::Add(const WideString& Name, TFieldType DataType, int Size, bool Required) {
    if (Name.empty()) DatabaseError(msg::SFieldNameMissing, FDataSet);
    if (FindDef(Name)) DatabaseErrorFmt(msg::SDuplicateFieldName, {rtl::WideToAnsi(Name)}, FDataSet);
    TFieldDef* def = AddFieldDef();
    BeginUpdate();
    rtl::TryFinally(
        [&] {
            def->SetName(Name);
            def->SetDataType(DataType);
            def->SetSize(Size);
            def->SetRequired(Required);
        },
        [&] { EndUpdate(); });
    return def;
}

int TFieldDefs::IndexOf(const WideString& Name) const {
    for (int i = 0; i < Count(); ++i)
        if (rtl::WideSameText(Items(i)->Name(), Name)) return i;
    return -1;
}

TFieldDef* TFieldDefs::FindDef(const WideString& Name) const noexcept {
    try {
        int i = IndexOf(Name);
        return i >= 0 ? Items(i) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

TFieldDef* TFieldDefs::Find(const WideString& Name) const {
    TFieldDef* def = FindDef(Name);
    if (!def) DatabaseErrorFmt(msg::SFieldNotFound, {rtl::WideToAnsi(Name)}, FDataSet);
    return def;
}

void TFieldDefs::Update() {
    if (FDataSet && !FUpdated) {
        FDataSet->InitFieldDefs();
        FUpdated = true;
    }
}

// ---------------------------------------------------------------------------------------------
// TLookupList

void TLookupList::Add(const Variant& Key, const Variant& Value) { FItems.emplace_back(Key, Value); }

Variant TLookupList::ValueOfKey(const Variant& Key) const {
    if (Key.IsNull() || Key.IsEmpty()) return Variant::Null();
    for (const auto& [k, v] : FItems)
        if (rtl::VarSameValue(k, Key)) return v;
    return Variant::Null();
}

// ---------------------------------------------------------------------------------------------
// TField

TField::TField(rtl::TComponent* AOwner) : TComponent(AOwner) {}

TField::~TField() {
    if (FDataSet) FDataSet->FFields->Remove(this);
    FDataSet = nullptr;
}

void TField::BeforeDestruction() {
    if (FDataSet && FDataSet->Active()) {
        // The record layout counts this field: the dataset cannot stay open without it.
        try {
            FDataSet->Close();
        } catch (...) {
        }
    }
    if (FDataSet) {
        FDataSet->FFields->Remove(this);
        FDataSet = nullptr;
    }
    TComponent::BeforeDestruction();
}

void TField::CheckInactive() const {
    if (FDataSet) FDataSet->CheckInactive();
}

void TField::SetDataSet(TDataSet* Value) {
    if (Value == FDataSet) return;
    if (FDataSet) FDataSet->CheckInactive();
    if (Value) {
        Value->CheckInactive();
        Value->Fields().CheckFieldName(FFieldName);
    }
    TDataSet* old = FDataSet;
    if (old) old->FFields->Remove(this);
    FDataSet = Value;
    if (Value) Value->FFields->Add(this);
    if (old && !old->ComponentState().Contains(rtl::csDestroying)) old->DataEvent(deFieldListChange, 0);
    if (Value) Value->DataEvent(deFieldListChange, 0);
}

void TField::SetFieldName(const WideString& Value) {
    if (FDataSet) {
        TField* other = FDataSet->FindField(Value);
        if (other && other != this) DatabaseErrorFmt(msg::SDuplicateFieldName, {rtl::WideToAnsi(Value)}, FDataSet);
    }
    FFieldName = Value;
}

WideString TField::FullName() const { return FParentField ? FParentField->FullName() + u"." + FFieldName : FFieldName; }

void TField::SetDisplayLabel(const WideString& Value) { ChangeProperty(FDisplayLabel, Value, true); }

WideString TField::DisplayName() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }

AnsiString TField::DisplayNameA() const { return rtl::WideToAnsi(DisplayName()); }

int TField::Index() const { return FDataSet ? FDataSet->FFields->IndexOf(this) : -1; }

void TField::SetIndex(int Value) {
    if (!FDataSet) return;
    FDataSet->FFields->SetFieldIndex(this, Value);
    FDataSet->DataEvent(deFieldListChange, 0);
}

void TField::SetFieldType(TFieldType Value) { FDataType = Value; }

void TField::SetSize(int Value) {
    CheckInactive();
    FSize = Value;
}

int TField::DataSize() const {
    switch (FDataType) {
        case ftString:
        case ftFixedChar:
        case ftGuid: return FSize + 1;
        case ftWideString:
        case ftFixedWideChar: return (FSize + 1) * 2;
        case ftSmallint:
        case ftWord:
        case ftBoolean: return 2;
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime: return 4;
        case ftLargeint:
        case ftFloat:
        case ftCurrency:
        case ftDateTime: return 8;
        case ftBCD:
        case ftFMTBcd: return static_cast<int>(sizeof(rtl::TBcd));
        case ftTimeStamp:
        case ftOraTimeStamp: return static_cast<int>(sizeof(rtl::TSQLTimeStamp));
        case ftBytes: return FSize;
        case ftVarBytes: return FSize + 2;
        default: return 0;
    }
}

void TField::SetFieldKind(TFieldKind Value) {
    if (Value == FFieldKind) return;
    CheckInactive();
    FFieldKind = Value;
}

void TField::SetReadOnly(bool Value) { ChangeProperty(FReadOnly, Value, true); }
void TField::SetVisible(bool Value) { ChangeProperty(FVisible, Value, true); }
void TField::SetAlignment(TAlignment Value) { ChangeProperty(FAlignment, Value, false); }

int TField::DisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : DefaultDisplayWidth(); }

void TField::SetDisplayWidth(int Value) { ChangeProperty(FDisplayWidth, Value, true); }

void TField::SetEditMask(const AnsiString& Value) {
    FEditMask = Value;
    PropertyChanged(false);
}

bool TField::IsValidChar(char C) const {
    if (FValidChars.empty()) return true;
    return FValidChars[static_cast<uint8_t>(C)];
}

void TField::SetValidChars(const std::string& Chars) {
    FValidChars.assign(256, false);
    for (char c : Chars) FValidChars[static_cast<uint8_t>(c)] = true;
}

void TField::SetAllValidChars() { FValidChars.clear(); }

bool TField::CanModify() const {
    if (FReadOnly || FFieldKind == fkCalculated || FFieldKind == fkAggregate) return false;
    if (!FDataSet || !FDataSet->Active()) return false;
    if (FFieldKind == fkLookup) {
        // A lookup value is changed through its key fields.
        if (FKeyFields.empty()) return false;
        std::vector<TField*> keys;
        FDataSet->GetFieldList(keys, FKeyFields);
        for (TField* k : keys)
            if (!k->CanModify()) return false;
    }
    return FDataSet->CanModify();
}

void TField::CheckReadOnly() const {
    if (!CanModify()) DatabaseErrorFmt(msg::SFieldReadOnly, {DisplayNameA()}, FDataSet);
}

void TField::FocusControl() {
    if (!FDataSet || !FDataSet->Active()) return;
    TField* field = this;
    FDataSet->DataEvent(deFocusControl, EventInfo(&field));
}

void TField::PropertyChanged(bool LayoutAffected) {
    if (FDataSet && FDataSet->Active()) FDataSet->DataEvent(LayoutAffected ? deLayoutChange : deDataSetChange, 0);
}

bool TField::IsNull() const {
    if (FInValidate) return FValidating == nullptr;
    return !GetData(nullptr);
}

void TField::Clear() { SetData(nullptr); }

bool TField::GetData(void* Buffer, bool NativeFormat) const {
    if (!FDataSet) DatabaseErrorFmt(msg::SDataSetMissing, {DisplayNameA()}, const_cast<TField*>(this));
    if (FInValidate) {
        if (!FValidating) return false;
        if (Buffer) {
            if (NativeFormat)
                CopyFieldData(FDataType, Buffer, FValidating, static_cast<size_t>(DataSize()));
            else
                FDataSet->ConvertFieldData(const_cast<TField*>(this), FValidating, Buffer, false);
        }
        return true;
    }
    return FDataSet->GetFieldValueNative(const_cast<TField*>(this), Buffer, NativeFormat);
}

void TField::SetData(const void* Buffer, bool NativeFormat) {
    if (!FDataSet) DatabaseErrorFmt(msg::SDataSetMissing, {DisplayNameA()}, this);
    FDataSet->PutFieldValueNative(this, Buffer, NativeFormat);
}

void TField::Validate(const void* Buffer) {
    if (!OnValidate) return;
    const void* savedValue = FValidating;
    bool savedFlag = FInValidate;
    FValidating = Buffer;
    FInValidate = true;
    rtl::TryFinally([&] { OnValidate(this); },
                    [&] {
                        FValidating = savedValue;
                        FInValidate = savedFlag;
                    });
}

void TField::Change() {
    if (OnChange) OnChange(this);
}

Variant TField::OldValue() const {
    if (!FDataSet) return Variant::Null();
    return FDataSet->StateFieldValue(dsOldValue, const_cast<TField*>(this));
}

Variant TField::NewValue() const {
    if (!FDataSet) return Variant::Null();
    return FDataSet->StateFieldValue(dsNewValue, const_cast<TField*>(this));
}

void TField::SetNewValue(const Variant& V) {
    if (!FDataSet) DatabaseErrorFmt(msg::SDataSetMissing, {DisplayNameA()}, this);
    FDataSet->SetStateFieldValue(dsNewValue, this, V);
}

Variant TField::CurValue() const {
    if (!FDataSet) return Variant::Null();
    return FDataSet->StateFieldValue(dsCurValue, const_cast<TField*>(this));
}

AnsiString TField::Text() const {
    AnsiString text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, false);
    else
        GetText(text, false);
    return text;
}

AnsiString TField::DisplayText() const {
    AnsiString text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, true);
    else
        GetText(text, true);
    return text;
}

void TField::SetEditText(const AnsiString& Value) {
    if (WriteLookup(Variant(Value))) return;
    if (OnSetText)
        OnSetText(this, Value);
    else
        SetText(Value);
}

void TField::GetText(AnsiString& Text, bool /*DisplayText*/) const { Text = GetAsString(); }

void TField::SetText(const AnsiString& Value) { SetAsStringValue(Value); }

void TField::AccessError(const char* TypeName) const {
    DatabaseErrorFmt(msg::SFieldAccessError, {DisplayNameA(), TypeName}, const_cast<TField*>(this));
}

Variant TField::GetAsVariant() const { AccessError("Variant"); }

bool TField::WriteLookup(const Variant& V) {
    if (FFieldKind != fkLookup || !FDataSet || FDataSet->State() == dsCalcFields) return false;
    // The result value picks the key; the key fields take it and the lookup recalculates.
    if (!FLookupDataSet || FKeyFields.empty() || FLookupKeyFields.empty() || FLookupResultField.empty())
        DatabaseErrorFmt(msg::SLookupInfoError, {DisplayNameA()}, this);
    Variant key =
        (V.IsNull() || V.IsEmpty()) ? Variant::Null() : FLookupDataSet->Lookup(FLookupResultField, V, FLookupKeyFields);
    FDataSet->SetFieldValues(FKeyFields, key);
    return true;
}

void TField::SetValue(const Variant& V) {
    if (!WriteLookup(V)) SetAsVariant(V);
}
void TField::SetAsString(const AnsiString& V) {
    if (!WriteLookup(Variant(V))) SetAsStringValue(V);
}
void TField::SetAsWideString(const WideString& V) {
    if (!WriteLookup(Variant(V))) SetAsWideStringValue(V);
}
void TField::SetAsInteger(int32_t V) {
    if (!WriteLookup(Variant(V))) SetAsIntegerValue(V);
}
void TField::SetAsLargeInt(int64_t V) {
    if (!WriteLookup(Variant(static_cast<long long>(V)))) SetAsLargeIntValue(V);
}
void TField::SetAsFloat(double V) {
    if (!WriteLookup(Variant(V))) SetAsFloatValue(V);
}
void TField::SetAsBoolean(bool V) {
    if (!WriteLookup(Variant(V))) SetAsBooleanValue(V);
}
void TField::SetAsDateTime(rtl::TDateTime V) {
    if (!WriteLookup(Variant::FromDate(V))) SetAsDateTimeValue(V);
}
void TField::SetAsCurrency(rtl::Currency V) {
    if (!WriteLookup(Variant(V))) SetAsCurrencyValue(V);
}
void TField::SetAsBCD(const rtl::TBcd& V) {
    if (!WriteLookup(Variant(V))) SetAsBCDValue(V);
}

void TField::SetAsVariant(const Variant& V) {
    if (V.IsNull() || V.IsEmpty())
        Clear();
    else
        SetVarValue(V);
}

void TField::SetVarValue(const Variant& /*V*/) { AccessError("Variant"); }
AnsiString TField::GetAsString() const { AccessError("String"); }
void TField::SetAsStringValue(const AnsiString& /*V*/) { AccessError("String"); }
WideString TField::GetAsWideString() const { return rtl::AnsiToWide(GetAsString()); }
void TField::SetAsWideStringValue(const WideString& V) { SetAsStringValue(rtl::WideToAnsi(V)); }
int32_t TField::GetAsInteger() const { AccessError("Integer"); }
void TField::SetAsIntegerValue(int32_t /*V*/) { AccessError("Integer"); }
int64_t TField::GetAsLargeInt() const { AccessError("LargeInt"); }
void TField::SetAsLargeIntValue(int64_t /*V*/) { AccessError("LargeInt"); }
double TField::GetAsFloat() const { AccessError("Float"); }
void TField::SetAsFloatValue(double /*V*/) { AccessError("Float"); }
bool TField::GetAsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBooleanValue(bool /*V*/) { AccessError("Boolean"); }
rtl::TDateTime TField::GetAsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTimeValue(rtl::TDateTime /*V*/) { AccessError("DateTime"); }
rtl::Currency TField::GetAsCurrency() const { AccessError("Currency"); }
void TField::SetAsCurrencyValue(rtl::Currency /*V*/) { AccessError("Currency"); }
rtl::TBcd TField::GetAsBCD() const { AccessError("BCD"); }
void TField::SetAsBCDValue(const rtl::TBcd& /*V*/) { AccessError("BCD"); }

void TField::SetLookupDataSet(TDataSet* Value) {
    if (Value == FLookupDataSet) return;
    if (Value && Value == FDataSet) DatabaseError(msg::SCircularDataLink, this);
    CheckInactive();
    if (FLookupDataSet) FLookupDataSet->RemoveFreeNotification(this);
    FLookupDataSet = Value;
    if (Value) Value->FreeNotification(this);
    FLookupList.Clear();
}

void TField::SetLookupKeyFields(const WideString& Value) {
    CheckInactive();
    FLookupKeyFields = Value;
    FLookupList.Clear();
}

void TField::SetLookupResultField(const WideString& Value) {
    CheckInactive();
    FLookupResultField = Value;
    FLookupList.Clear();
}

void TField::SetKeyFields(const WideString& Value) {
    CheckInactive();
    FKeyFields = Value;
}

void TField::SetLookupCache(bool Value) {
    if (Value == FLookupCache) return;
    FLookupCache = Value;
    FLookupList.Clear();
    if (Value && FDataSet && FDataSet->Active()) RefreshLookupList();
}

void TField::RefreshLookupList() {
    FLookupList.Clear();
    if (!FLookupDataSet) DatabaseErrorFmt(msg::SLookupInfoError, {DisplayNameA()}, this);
    TDataSet* src = FLookupDataSet;
    src->CheckActive();
    src->DisableControls();
    TBookmark saved = src->GetBookmark();
    rtl::TryFinally(
        [&] {
            src->First();
            while (!src->Eof()) {
                FLookupList.Add(src->FieldValues(FLookupKeyFields), src->FieldValues(FLookupResultField));
                src->Next();
            }
        },
        [&] {
            if (!saved.empty() && src->BookmarkValid(saved)) src->GotoBookmark(saved);
            src->EnableControls();
        });
}

void TField::CalcLookupValue() {
    if (!FDataSet) return;
    Variant keys = FDataSet->FieldValues(FKeyFields);
    Variant result;
    if (FLookupCache)
        result = FLookupList.ValueOfKey(keys);
    else if (FLookupDataSet && FLookupDataSet->Active())
        result = FLookupDataSet->Lookup(FLookupKeyFields, keys, FLookupResultField);
    else
        result = Variant::Null();
    SetAsVariant(result);
}

void TField::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && AComponent == FLookupDataSet) {
        FLookupDataSet = nullptr;
        FLookupList.Clear();
    }
}

// ---------------------------------------------------------------------------------------------
// TFields

TField* TFields::Fields(int Index) const {
    if (Index < 0 || Index >= Count()) DatabaseError(msg::SFieldIndexError, FDataSet);
    return FList[static_cast<size_t>(Index)];
}

void TFields::Add(TField* Field) { FList.push_back(Field); }

void TFields::Remove(TField* Field) {
    auto it = std::find(FList.begin(), FList.end(), Field);
    if (it != FList.end()) FList.erase(it);
}

void TFields::Clear() {
    for (TField* f : FList) f->FDataSet = nullptr;
    FList.clear();
}

int TFields::IndexOf(const TField* Field) const {
    auto it = std::find(FList.begin(), FList.end(), Field);
    return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

TField* TFields::FindField(const WideString& FieldName) const {
    for (TField* f : FList)
        if (rtl::WideSameText(f->FFieldName, FieldName)) return f;
    // Fields of objects are found by their full names as well.
    if (FieldName.find(u'.') != WideString::npos)
        for (TField* f : FList)
            if (f->FParentField && rtl::WideSameText(f->FullName(), FieldName)) return f;
    return nullptr;
}

TField* TFields::FieldByName(const WideString& FieldName) const {
    TField* f = FindField(FieldName);
    if (!f) DatabaseErrorFmt(msg::SFieldNotFound, {rtl::WideToAnsi(FieldName)}, FDataSet);
    return f;
}

TField* TFields::FieldByNumber(int FieldNo) const {
    for (TField* f : FList)
        if (f->FFieldNo == FieldNo) return f;
    return nullptr;
}

void TFields::CheckFieldName(const WideString& FieldName) const {
    if (FieldName.empty()) DatabaseError(msg::SFieldNameMissing, FDataSet);
    if (FindField(FieldName)) DatabaseErrorFmt(msg::SDuplicateFieldName, {rtl::WideToAnsi(FieldName)}, FDataSet);
}

void TFields::SetFieldIndex(TField* Field, int Value) {
    int cur = IndexOf(Field);
    if (cur < 0) return;
    int last = Count() - 1;
    Value = std::clamp(Value, 0, last);
    if (Value == cur) return;
    FList.erase(FList.begin() + cur);
    FList.insert(FList.begin() + Value, Field);
}

}  // namespace db
