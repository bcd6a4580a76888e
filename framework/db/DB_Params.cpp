// Parameters and parameter collections.
#include "framework/db/DB_Params.h"

#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace db {

TFieldType VarTypeToDataType(rtl::TVarType VarType) noexcept {
    if (VarType == (rtl::varArray | rtl::varByte)) return ftBlob;
    switch (VarType) {
        case rtl::varSmallint:
        case rtl::varShortInt:
        case rtl::varByte: return ftSmallint;
        case rtl::varWord: return ftWord;
        case rtl::varInteger: return ftInteger;
        case rtl::varLongWord:
        case rtl::varInt64:
        case rtl::varUInt64: return ftLargeint;
        case rtl::varSingle:
        case rtl::varDouble: return ftFloat;
        case rtl::varCurrency: return ftBCD;
        case rtl::varDate: return ftDateTime;
        case rtl::varBoolean: return ftBoolean;
        case rtl::varString: return ftString;
        case rtl::varOleStr: return ftWideString;
        case rtl::varFMTBcd: return ftFMTBcd;
        case rtl::varSQLTimeStamp: return ftTimeStamp;
        case rtl::varVariant: return ftVariant;
        default: return ftUnknown;
    }
}

// ---------------------------------------------------------------------------------------------
// TParam

TParam::TParam(rtl::TCollection* Collection) : TCollectionItem(Collection) {}

TParam::TParam(TParams* AParams, TParamType AParamType) : TCollectionItem(AParams), FParamType(AParamType) {}

TParams* TParam::Params() const { return dynamic_cast<TParams*>(Collection()); }

void TParam::SetName(const AnsiString& Value) {
    FName = Value;
    Changed(false);
}

void TParam::SetDataType(TFieldType Value) {
    if (Value == FDataType) return;
    FDataType = Value;
    // A value of the old type is converted when it can be, else dropped.
    if (!FNull && Value != ftUnknown) {
        bool bound = FBound;
        try {
            Variant kept = FData;
            SetTypedValue(Value, kept);
        } catch (const rtl::Exception&) {
            Clear();
        }
        FBound = bound;
    }
    Changed(false);
}

void TParam::Clear() {
    FNull = true;
    FData = Variant::Null();
}

Variant TParam::Value() const { return FNull ? Variant::Null() : FData; }

void TParam::SetValue(const Variant& V) {
    if (V.IsNull() || V.IsEmpty()) {
        Clear();
        FBound = true;
        return;
    }
    if (FDataType == ftUnknown) {
        TFieldType t = VarTypeToDataType(V.VType());
        FDataType = t;
    }
    FData = V;
    FNull = false;
    FBound = true;
}

void TParam::SetTypedValue(TFieldType Type, const Variant& V) {
    FDataType = Type;
    if (V.IsNull() || V.IsEmpty()) {
        Clear();
        FBound = true;
        return;
    }
    Variant stored;
    switch (Type) {
        // Text already of the kind is shared, not copied.
        case ftString:
        case ftFixedChar:
        case ftMemo:
        case ftFmtMemo:
        case ftGuid:
        case ftOraClob: stored = V.VType() == rtl::varString ? V : Variant(rtl::VarToStr(V)); break;
        case ftWideString:
        case ftFixedWideChar:
        case ftWideMemo: stored = V.VType() == rtl::varOleStr ? V : Variant(rtl::VarToWideStr(V)); break;
        case ftSmallint: stored = Variant(static_cast<short>(rtl::CheckedInt16(V.AsInt64()))); break;
        case ftWord: stored = Variant(static_cast<unsigned short>(rtl::CheckedUInt16(V.AsInt64()))); break;
        case ftInteger:
        case ftAutoInc: stored = Variant(V.AsInteger()); break;
        case ftLargeint: stored = Variant(static_cast<long long>(V.AsInt64())); break;
        case ftFloat: stored = Variant(V.AsDouble()); break;
        case ftCurrency: stored = Variant(V.AsDouble()); break;
        case ftBCD: stored = Variant(V.AsCurrency()); break;
        case ftFMTBcd: stored = Variant::FromBcd(V.AsBcd()); break;
        case ftBoolean: stored = Variant(V.AsBoolean()); break;
        case ftDate:
        case ftTime:
        case ftDateTime: stored = Variant::FromDate(V.AsDateTime()); break;
        case ftTimeStamp:
        case ftOraTimeStamp: stored = Variant::FromSQLTimeStamp(V.AsSQLTimeStamp()); break;
        case ftBytes:
        case ftVarBytes:
        case ftBlob:
        case ftGraphic:
        case ftTypedBinary:
        case ftOraBlob:
            if (V.IsByteArray()) {
                stored = V;
            } else {
                AnsiString text = rtl::VarToStr(V);
                stored = Variant::FromBytes(rtl::TBytes(text.begin(), text.end()));
            }
            break;
        default: stored = V; break;
    }
    FData = std::move(stored);
    FNull = false;
    FBound = true;
}

AnsiString TParam::AsString() const {
    if (FNull) return {};
    if (FData.VType() == rtl::varBoolean) return FData.AsBoolean() ? "True" : "False";
    if (FData.VType() == rtl::varDate) {
        // A date or time parameter shows only the part its type holds.
        if (FDataType == ftDate) return rtl::DateToStr(FData.AsDateTime());
        if (FDataType == ftTime) return rtl::TimeToStr(FData.AsDateTime());
        return rtl::DateTimeToStr(FData.AsDateTime());
    }
    if (FData.IsByteArray()) {
        rtl::TBytes b = FData.AsBytes();
        return AnsiString(b.begin(), b.end());
    }
    return rtl::VarToStr(FData);
}

void TParam::SetAsString(const AnsiString& V) {
    SetTypedValue((FDataType == ftWideString || FDataType == ftFixedWideChar) ? FDataType : ftString, Variant(V));
}

WideString TParam::AsWideString() const {
    if (FNull) return {};
    if (FData.VType() == rtl::varOleStr) return FData.AsWideString();
    return rtl::AnsiToWide(AsString());
}

void TParam::SetAsWideString(const WideString& V) { SetTypedValue(ftWideString, Variant(V)); }

int32_t TParam::AsInteger() const { return FNull ? 0 : FData.AsInteger(); }
void TParam::SetAsInteger(int32_t V) { SetTypedValue(ftInteger, Variant(V)); }
int16_t TParam::AsSmallInt() const { return FNull ? 0 : rtl::CheckedInt16(FData.AsInt64()); }
void TParam::SetAsSmallInt(int16_t V) { SetTypedValue(ftSmallint, Variant(static_cast<short>(V))); }
uint16_t TParam::AsWord() const { return FNull ? 0 : rtl::CheckedUInt16(FData.AsInt64()); }
void TParam::SetAsWord(uint16_t V) { SetTypedValue(ftWord, Variant(static_cast<unsigned short>(V))); }
int64_t TParam::AsLargeInt() const { return FNull ? 0 : FData.AsInt64(); }
void TParam::SetAsLargeInt(int64_t V) { SetTypedValue(ftLargeint, Variant(static_cast<long long>(V))); }
double TParam::AsFloat() const { return FNull ? 0.0 : FData.AsDouble(); }
void TParam::SetAsFloat(double V) { SetTypedValue(ftFloat, Variant(V)); }
rtl::Currency TParam::AsCurrency() const { return FNull ? rtl::Currency{} : FData.AsCurrency(); }
void TParam::SetAsCurrency(rtl::Currency V) { SetTypedValue(ftCurrency, Variant(rtl::CurrToDouble(V))); }
void TParam::SetAsBCD(rtl::Currency V) { SetTypedValue(ftBCD, Variant(V)); }
rtl::TBcd TParam::AsFMTBCD() const { return FNull ? rtl::TBcd{} : FData.AsBcd(); }
void TParam::SetAsFMTBCD(const rtl::TBcd& V) { SetTypedValue(ftFMTBcd, Variant::FromBcd(V)); }
bool TParam::AsBoolean() const { return FNull ? false : FData.AsBoolean(); }
void TParam::SetAsBoolean(bool V) { SetTypedValue(ftBoolean, Variant(V)); }
void TParam::SetAsDate(rtl::TDateTime V) { SetTypedValue(ftDate, Variant::FromDate(V)); }
void TParam::SetAsTime(rtl::TDateTime V) { SetTypedValue(ftTime, Variant::FromDate(V)); }
rtl::TDateTime TParam::AsDateTime() const { return FNull ? 0.0 : FData.AsDateTime(); }
void TParam::SetAsDateTime(rtl::TDateTime V) { SetTypedValue(ftDateTime, Variant::FromDate(V)); }

rtl::TSQLTimeStamp TParam::AsSQLTimeStamp() const { return FNull ? rtl::NullSQLTimeStamp() : FData.AsSQLTimeStamp(); }

void TParam::SetAsSQLTimeStamp(const rtl::TSQLTimeStamp& V) {
    SetTypedValue(ftTimeStamp, Variant::FromSQLTimeStamp(V));
}
void TParam::SetAsMemo(const AnsiString& V) { SetTypedValue(ftMemo, Variant(V)); }
void TParam::SetAsBlob(const rtl::TBytes& V) { SetTypedValue(ftBlob, Variant::FromBytes(V)); }

rtl::TBytes TParam::AsBytes() const {
    if (FNull) return {};
    if (FData.IsByteArray()) return FData.AsBytes();
    AnsiString s = rtl::VarToStr(FData);
    return rtl::TBytes(s.begin(), s.end());
}

void TParam::SetAsBytes(const rtl::TBytes& V) { SetTypedValue(ftVarBytes, Variant::FromBytes(V)); }

void TParam::SetText(const AnsiString& V) {
    if (FDataType == ftUnknown)
        SetTypedValue(ftString, Variant(V));
    else
        SetTypedValue(FDataType, Variant(V));
}

void TParam::AssignFieldValue(TField* Field, const Variant& V) {
    if (!Field) return;
    TFieldType t = Field->DataType();
    auto* sf = dynamic_cast<TStringField*>(Field);
    if (t == ftString && sf && sf->FixedChar())
        t = ftFixedChar;
    else if (t == ftMemo && Field->Size() > 255)
        t = ftString;
    else if (t == ftWideMemo && Field->Size() > 255)
        t = ftWideString;
    FDataType = t;
    if (V.IsNull() || V.IsEmpty())
        Clear();
    else
        SetTypedValue(t, V);
    FBound = true;
}

void TParam::AssignField(TField* Field) {
    if (!Field) return;
    AssignFieldValue(Field, Field->Value());
    switch (Field->DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftFixedWideChar:
        case ftBytes:
        case ftVarBytes:
        case ftGuid: FSize = Field->Size(); break;
        case ftBCD:
        case ftFMTBcd:
            FNumericScale = Field->Size();
            if (auto* b = dynamic_cast<TBCDField*>(Field)) FPrecision = b->Precision();
            if (auto* f = dynamic_cast<TFMTBCDField*>(Field)) FPrecision = f->Precision();
            break;
        default: break;
    }
    FName = rtl::WideToAnsi(Field->FieldName());
    Changed(false);
}

void TParam::AssignToField(TField* Field) const {
    if (Field) Field->SetValue(Value());
}

void TParam::AssignParam(const TParam* Source) {
    if (!Source) {
        Clear();
        FDataType = ftUnknown;
        FParamType = ptUnknown;
        FName.clear();
        FSize = FPrecision = FNumericScale = 0;
        return;
    }
    FDataType = Source->FDataType;
    FData = Source->FData;
    FNull = Source->FNull;
    FBound = Source->FBound;
    FName = Source->FName;
    if (FParamType == ptUnknown) FParamType = Source->FParamType;
    FSize = Source->FSize;
    FPrecision = Source->FPrecision;
    FNumericScale = Source->FNumericScale;
}

void TParam::Assign(rtl::TPersistent* Source) {
    if (auto* p = dynamic_cast<TParam*>(Source)) {
        AssignParam(p);
        Changed(false);
    } else if (auto* f = dynamic_cast<TField*>(Source)) {
        AssignField(f);
    } else if (auto* s = dynamic_cast<rtl::TStrings*>(Source)) {
        SetAsMemo(s->Text());
    } else {
        TCollectionItem::Assign(Source);
    }
}

void TParam::AssignTo(rtl::TPersistent* Dest) {
    if (auto* f = dynamic_cast<TField*>(Dest))
        AssignToField(f);
    else
        TCollectionItem::AssignTo(Dest);
}

AnsiString TParam::DisplayName() const { return FName.empty() ? TCollectionItem::DisplayName() : FName; }

bool TParam::IsEqual(const TParam* Other) const {
    if (!Other) return false;
    if (FNull != Other->FNull) return false;
    return FName == Other->FName && FDataType == Other->FDataType && FParamType == Other->FParamType &&
           FBound == Other->FBound && (FNull || rtl::VarSameValue(FData, Other->FData));
}

// ---------------------------------------------------------------------------------------------
// TParams

TParams::TParams(rtl::TPersistent* AOwner) : TOwnedCollection(AOwner, TParam::StaticClass()) {}

TParams::TParams(rtl::TPersistent* AOwner, const rtl::TCollectionItemClass& ItemClass)
    : TOwnedCollection(AOwner, ItemClass) {}

rtl::TComponent* TParams::OwnerComponent() const {
    return dynamic_cast<rtl::TComponent*>(const_cast<TParams*>(this)->GetOwner());
}

void TParams::AddParam(TParam* Value) {
    if (Value) Value->SetCollection(this);
}

void TParams::RemoveParam(TParam* Value) {
    if (Value && Value->Collection() == this) Value->SetCollection(nullptr);
}

TParam* TParams::CreateParam(TFieldType FldType, const AnsiString& ParamName, TParamType ParamType) {
    auto* p = static_cast<TParam*>(Add());
    p->SetName(ParamName);
    p->SetDataType(FldType);
    p->SetParamType(ParamType);
    return p;
}

TParam* TParams::FindParam(const AnsiString& Value) const {
    for (int i = 0; i < Count(); ++i)
        if (rtl::AnsiSameText(Items(i)->Name(), Value)) return Items(i);
    return nullptr;
}

TParam* TParams::ParamByName(const AnsiString& Value) const {
    TParam* p = FindParam(Value);
    if (!p) DatabaseErrorFmt(msg::SParameterNotFound, {Value}, OwnerComponent());
    return p;
}

void TParams::GetParamList(std::vector<TParam*>& List, const AnsiString& ParamNames) const {
    List.clear();
    size_t pos = 0;
    while (pos < ParamNames.size()) {
        AnsiString name = ExtractFieldName(ParamNames, pos);
        if (!name.empty()) List.push_back(ParamByName(name));
    }
}

Variant TParams::ParamValues(const AnsiString& ParamNames) const {
    std::vector<TParam*> list;
    GetParamList(list, ParamNames);
    if (list.size() == 1) return list[0]->Value();
    std::vector<Variant> values;
    for (TParam* p : list) values.push_back(p->Value());
    return Variant::VarArray(std::move(values));
}

void TParams::SetParamValues(const AnsiString& ParamNames, const Variant& Values) {
    std::vector<TParam*> list;
    GetParamList(list, ParamNames);
    if (list.size() == 1 && !Values.IsArray()) {
        list[0]->SetValue(Values);
        return;
    }
    // A missing element raises the runtime's index error before any parameter changes.
    int lo = Values.ArrayLowBound();
    for (size_t i = 0; i < list.size(); ++i) (void)Values.GetElement(lo + static_cast<int>(i));
    for (size_t i = 0; i < list.size(); ++i) list[i]->SetValue(Values.GetElement(lo + static_cast<int>(i)));
}

void TParams::AssignValues(TParams* Value) {
    if (!Value) return;
    for (int i = 0; i < Value->Count(); ++i) {
        TParam* src = Value->Items(i);
        TParam* dst = FindParam(src->Name());
        if (!dst) continue;
        TParamType keep = dst->ParamType();
        dst->Assign(src);
        if (keep != ptUnknown) dst->SetParamType(keep);
    }
}

bool TParams::IsEqual(const TParams* Value) const {
    if (!Value || Value->Count() != Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (!Items(i)->IsEqual(Value->Items(i))) return false;
    return true;
}

void TParams::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TParams*>(Source);
    if (!src) {
        TOwnedCollection::Assign(Source);
        return;
    }
    BeginUpdate();
    rtl::TryFinally(
        [&] {
            Clear();
            for (int i = 0; i < src->Count(); ++i) {
                auto* p = static_cast<TParam*>(Add());
                p->Assign(src->Items(i));
            }
        },
        [&] { EndUpdate(); });
}

}  // namespace db
