// Parameters of the component layer: typed values, blob values held as shared objects, copying
// to and from the provider's descriptors and the "ParamData" form property.
#include <cmath>
#include <string>
#include <vector>

#include "data/access/DBAccess_Connection.h"
#include "data/store/DAConsts.h"
#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

using db::TFieldType;
using store::TBlob;

namespace {

// The marker the platform part holds while the value lives in an object.
const char* const ObjectMarker = "Object";

bool IsNullOrEmpty(const Variant& V) { return V.IsNull() || V.IsEmpty(); }

[[noreturn]] void AssertionFailure(int Line) { rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, Line); }

// Types LoadFromStream and stream-persist assignments accept.
bool IsStreamDataType(TFieldType T) {
    switch (T) {
        case db::ftBlob:
        case db::ftMemo:
        case db::ftOraBlob:
        case db::ftOraClob:
        case db::ftWideMemo: return true;
        default: return false;
    }
}

}  // namespace

// =============================================================================================
// TDAParam

TDAParam::TDAParam(rtl::TCollection* Collection) : TParam(Collection) { SetBound(true); }

TDAParam::~TDAParam() = default;

TDAParams* TDAParam::DAParams() const { return dynamic_cast<TDAParams*>(Collection()); }

bool TDAParam::IsObjectDataType(TFieldType DataType) const { return IsBlobDataType(DataType); }

bool TDAParam::IsBlobDataType(TFieldType DataType) const {
    return DataType == db::ftBlob || DataType == db::ftMemo || DataType == db::ftWideMemo;
}

void TDAParam::CreateObject() {
    if (FParamObject) AssertionFailure(__LINE__);
    if (IsBlobDataType(DataType()))
        FParamObject = TObjectRef::Adopt(store::CreateSharedObject<TBlob>(DataType() == db::ftWideMemo));
}

void TDAParam::FreeObject() { FParamObject.reset(); }

void TDAParam::MarkObjectValue() {
    const bool bound = Bound();
    if (FParamObject) {
        // The marker must not give an untyped parameter a string type.
        const TFieldType type = DataType();
        TParam::SetValue(Variant(AnsiString(ObjectMarker)));
        if (DataType() != type) SetPlatformDataType(type);
    } else {
        TParam::Clear();
    }
    SetBound(bound);
}

void TDAParam::SetParamObject(store::TSharedObject* Obj) {
    // The new reference first: Obj may be the object held now.
    TObjectRef held = TObjectRef::Retain(Obj);
    FreeObject();
    FParamObject = std::move(held);
    MarkObjectValue();
    SetBound(true);
}

TBlob* TDAParam::CheckedBlob() const {
    auto* blob = dynamic_cast<TBlob*>(FParamObject.get());
    if (!blob) AssertionFailure(__LINE__);
    return blob;
}

TBlob* TDAParam::WritableBlob() {
    if (!FParamObject) CreateObject();
    TBlob* blob = CheckedBlob();
    if (blob->RefCount() > 1) {
        // Shared with another parameter or a record: a write must not reach the other holder.
        const bool unicode = blob->IsUnicode();
        FreeObject();
        CreateObject();
        blob = CheckedBlob();
        if (blob->IsUnicode() != unicode) blob->SetIsUnicode(unicode);
    }
    return blob;
}

void TDAParam::SetPlatformDataType(TFieldType Value) { TParam::SetDataType(Value); }

void TDAParam::SetDataType(TFieldType Value) {
    if (Value == DataType()) return;
    const bool bound = Bound();
    // A blob value leaves as text, so the marker never turns into a value of the new type.
    Variant carried;
    if (IsBlob() && FParamObject && !IsObjectDataType(Value) && !IsNull()) carried = this->Value();
    if (FParamObject || IsObjectDataType()) {
        FreeObject();
        TParam::Clear();
        if (!carried.IsEmpty()) TParam::SetValue(carried);
    }
    // A plain value is converted to the new type by the platform part.
    SetPlatformDataType(Value);
    FSubDataType = 0;
    if (IsObjectDataType(Value)) {
        TParam::Clear();
        CreateObject();
    }
    SetBound(bound);
}

void TDAParam::SetSize(int Value) {
    FSize = Value;
    TParam::SetSize(Value);
}

bool TDAParam::IsNull() const {
    if (IsBlob()) {
        auto* blob = dynamic_cast<TBlob*>(FParamObject.get());
        return !blob || blob->IsEmpty();
    }
    return TParam::IsNull();
}

void TDAParam::Clear() {
    if (IsBlob()) {
        if (FParamObject) WritableBlob()->Clear();
        return;
    }
    TParam::Clear();
}

Variant TDAParam::Value() const {
    if (!IsBlob()) return TParam::Value();
    if (IsNull()) return Variant::Null();
    TBlob* blob = CheckedBlob();
    // Wide text stays wide: its single-byte form may lose characters.
    if (blob->IsUnicode()) return Variant(blob->GetAsWideString());
    return Variant(blob->GetAsAnsiString());
}

void TDAParam::SetValue(const Variant& V) {
    if (DataType() == db::ftUnknown && !IsNullOrEmpty(V)) {
        const TFieldType type = db::VarTypeToDataType(V.VType());
        if (IsObjectDataType(type)) SetDataType(type);
    }
    if (!IsBlob()) {
        if (DataType() == db::ftUnknown && FParamObject) FreeObject();
        TParam::SetValue(V);
        return;
    }
    TBlob* blob = WritableBlob();
    if (IsNullOrEmpty(V))
        blob->Clear();
    else if (V.IsByteArray())
        blob->SetAsBytes(V.AsBytes());
    else if (V.VType() == rtl::varOleStr)
        blob->SetAsWideString(V.AsWideString());
    else
        blob->SetAsAnsiString(rtl::VarToStr(V));
    SetBound(true);
}

AnsiString TDAParam::AsString() const { return ReadAsText(); }

void TDAParam::SetAsString(const AnsiString& V) { WriteAsText(V); }

AnsiString TDAParam::ReadAsText() const {
    if (IsNull()) return {};
    if (IsBlob()) return CheckedBlob()->GetAsAnsiString();
    // The platform gives a date-and-time value with its time part, so nothing of it is lost.
    return TParam::AsString();
}

void TDAParam::WriteAsText(const AnsiString& V) {
    if (IsBlob()) {
        WritableBlob()->SetAsAnsiString(V);
        SetBound(true);
        return;
    }
    const TFieldType type = DataType();
    SetDataType(type == db::ftWideString || type == db::ftFixedWideChar ? type : db::ftString);
    TParam::SetAsString(V);
}

WideString TDAParam::AsWideString() const {
    if (IsNull()) return {};
    if (IsBlob()) return CheckedBlob()->GetAsWideString();
    return TParam::AsWideString();
}

void TDAParam::SetAsWideString(const WideString& V) {
    if (IsBlob()) {
        WritableBlob()->SetAsWideString(V);
        SetBound(true);
        return;
    }
    SetDataType(db::ftWideString);
    TParam::SetAsWideString(V);
}

int32_t TDAParam::AsInteger() const {
    if (IsBlob()) return IsNull() ? 0 : Value().AsInteger();
    return TParam::AsInteger();
}

void TDAParam::WriteAsInteger(int32_t V) {
    SetDataType(db::ftInteger);
    TParam::SetAsInteger(V);
}

void TDAParam::SetAsSmallInt(int16_t V) {
    SetDataType(db::ftSmallint);
    TParam::SetAsSmallInt(V);
}

void TDAParam::SetAsWord(uint16_t V) {
    SetDataType(db::ftWord);
    TParam::SetAsWord(V);
}

double TDAParam::AsFloat() const {
    if (IsBlob()) return IsNull() ? 0.0 : Value().AsDouble();
    return TParam::AsFloat();
}

void TDAParam::SetAsFloat(double V) {
    SetDataType(db::ftFloat);
    TParam::SetAsFloat(V);
}

int64_t TDAParam::AsLargeInt() const {
    if (IsNull()) return 0;
    if (IsBlob()) return Value().AsInt64();
    return TParam::AsLargeInt();
}

void TDAParam::SetAsLargeInt(int64_t V) {
    SetDataType(db::ftLargeint);
    TParam::SetAsLargeInt(V);
}

void TDAParam::SetAsBlob(const rtl::TBytes& V) {
    SetDataType(db::ftBlob);
    WritableBlob()->SetAsBytes(V);
    SetBound(true);
}

void TDAParam::SetAsMemo(const AnsiString& V) {
    SetDataType(db::ftMemo);
    CheckedBlob();
    WritableBlob()->SetAsAnsiString(V);
    SetBound(true);
}

TBlob* TDAParam::AsBlobRef() {
    if (DataType() == db::ftUnknown) {
        if (dynamic_cast<TBlob*>(FParamObject.get())) {
            // An untyped parameter already holding a blob keeps it.
            SetPlatformDataType(db::ftBlob);
            FSubDataType = 0;
        } else {
            SetDataType(db::ftBlob);
        }
    }
    return IsObjectDataType() ? dynamic_cast<TBlob*>(FParamObject.get()) : nullptr;
}

void TDAParam::SetAsBlobRef(TBlob* Blob) {
    // Held across the type change, which may release Blob when it is the current object.
    const auto held = rtl::TSharedRef<TBlob>::Retain(Blob);
    SetDataType(db::ftBlob);
    SetParamObject(Blob);
}

TBlob* TDAParam::AsMemoRef() {
    if (DataType() == db::ftUnknown) {
        auto* blob = dynamic_cast<TBlob*>(FParamObject.get());
        const TFieldType type = blob && blob->IsUnicode() ? db::ftWideMemo : db::ftMemo;
        if (blob) {
            SetPlatformDataType(type);
            FSubDataType = 0;
        } else {
            SetDataType(type);
        }
    }
    return IsObjectDataType() ? dynamic_cast<TBlob*>(FParamObject.get()) : nullptr;
}

void TDAParam::SetAsMemoRef(TBlob* Blob) {
    const auto held = rtl::TSharedRef<TBlob>::Retain(Blob);
    SetDataType(Blob && Blob->IsUnicode() ? db::ftWideMemo : db::ftMemo);
    SetParamObject(Blob);
}

rtl::TSQLTimeStamp TDAParam::AsSQLTimeStamp() const { return TParam::AsSQLTimeStamp(); }

void TDAParam::SetAsSQLTimeStamp(const rtl::TSQLTimeStamp& V) {
    SetDataType(db::ftTimeStamp);
    TParam::SetAsSQLTimeStamp(V);
}

void TDAParam::SetAsCurrency(rtl::Currency V) {
    SetDataType(db::ftCurrency);
    TParam::SetAsCurrency(V);
}

void TDAParam::SetAsBCD(rtl::Currency V) {
    SetDataType(db::ftBCD);
    TParam::SetAsBCD(V);
}

void TDAParam::SetAsFMTBCD(const rtl::TBcd& V) {
    SetDataType(db::ftFMTBcd);
    TParam::SetAsFMTBCD(V);
}

void TDAParam::SetAsBoolean(bool V) {
    SetDataType(db::ftBoolean);
    TParam::SetAsBoolean(V);
}

void TDAParam::SetAsDate(rtl::TDateTime V) {
    SetDataType(db::ftDate);
    TParam::SetAsDate(V);
}

void TDAParam::SetAsTime(rtl::TDateTime V) {
    SetDataType(db::ftTime);
    TParam::SetAsTime(V);
}

void TDAParam::SetAsDateTime(rtl::TDateTime V) {
    SetDataType(db::ftDateTime);
    TParam::SetAsDateTime(V);
}

void TDAParam::SetAsBytes(const rtl::TBytes& V) {
    SetDataType(db::ftVarBytes);
    TParam::SetAsBytes(V);
}

void TDAParam::SetText(const AnsiString& V) {
    if (IsBlob()) {
        WritableBlob()->SetAsAnsiString(V);
        SetBound(true);
        return;
    }
    if (DataType() == db::ftUnknown) SetDataType(db::ftString);
    TParam::SetText(V);
}

void TDAParam::AssignFieldValue(db::TField* Field, const Variant& V) {
    if (!Field) return;
    TFieldType type = Field->DataType();
    // Only a string field can be fixed-length: others skip the cast, which each post pays.
    auto* stringField =
        (type == db::ftString || type == db::ftWideString) && Field->InheritsFrom(&db::TStringField::StaticClass())
            ? static_cast<db::TStringField*>(Field)
            : nullptr;
    const bool fixed = stringField && stringField->FixedChar();
    if (type == db::ftString && fixed)
        type = db::ftFixedChar;
    else if (type == db::ftWideString && fixed)
        type = db::ftFixedWideChar;
    else if (type == db::ftMemo && Field->Size() >= 256)
        type = db::ftString;
    else if (type == db::ftWideMemo && Field->Size() >= 256)
        type = db::ftWideString;
    SetDataType(type);
    if (IsNullOrEmpty(V))
        Clear();
    else if (IsBlob())
        SetValue(V);
    else
        SetTypedValue(type, V);
    SetBound(true);
}

void TDAParam::AssignField(db::TField* Field) {
    if (!Field) return;
    TParam::AssignField(Field);
    FSize = TParam::Size();
}

void TDAParam::LoadFromStream(rtl::TStream& Stream, TFieldType DataType) {
    // Checked before anything changes, so a refused stream leaves the parameter as it was.
    if (!IsStreamDataType(DataType)) db::DatabaseError(store::SDataTypeNotSupported);
    if (!IsBlobDataType(DataType)) rtl::AssertFail(store::SDataTypeNotSupported, DBAccessUnit, __LINE__);
    SetDataType(DataType);
    WritableBlob()->LoadFromStream(Stream);
    SetBound(true);
}

void TDAParam::AssignDAParam(const TDAParam* Source) {
    SetDataType(Source->DataType());
    TParam::AssignParam(Source);
    if (Source->IsObjectDataType()) {
        const bool bound = Bound();
        // The value is shared, not copied: both parameters hold a reference.
        SetParamObject(Source->FParamObject.get());
        SetBound(bound);
    }
    FSize = Source->FSize;
    FNational = Source->FNational;
    FEncryptor = Source->FEncryptor;
}

void TDAParam::AssignPlatformParam(const db::TParam* Source) {
    SetDataType(Source->DataType());
    if (!IsObjectDataType()) {
        TParam::AssignParam(Source);
        FSize = TParam::Size();
        return;
    }
    if (Source->IsNull())
        Clear();
    else
        SetValue(Source->Value());
    SetBound(Source->Bound());
    SetName(Source->Name());
    if (ParamType() == db::ptUnknown) SetParamType(Source->ParamType());
    SetSize(Source->Size());
    SetPrecision(Source->Precision());
    SetNumericScale(Source->NumericScale());
}

void TDAParam::Assign(rtl::TPersistent* Source) {
    if (Source == this) return;
    if (auto* da = dynamic_cast<TDAParam*>(Source)) {
        AssignDAParam(da);
        Changed(false);
    } else if (auto* param = dynamic_cast<db::TParam*>(Source)) {
        AssignPlatformParam(param);
        Changed(false);
    } else if (auto* field = dynamic_cast<db::TField*>(Source)) {
        AssignField(field);
    } else if (auto* strings = dynamic_cast<rtl::TStrings*>(Source)) {
        SetAsMemo(strings->Text());
    } else {
        TParam::Assign(Source);
    }
}

bool TDAParam::IsEqual(const db::TParam* Other) const {
    if (!Other) return false;
    auto* da = dynamic_cast<const TDAParam*>(Other);
    if (da && (FSize != da->FSize || FNational != da->FNational)) return false;
    if (!IsBlob() && !(da && da->IsBlob())) return TParam::IsEqual(Other);
    if (Name() != Other->Name() || DataType() != Other->DataType() || ParamType() != Other->ParamType() ||
        Bound() != Other->Bound() || IsNull() != Other->IsNull())
        return false;
    if (IsNull()) return true;
    if (da && da->FParamObject == FParamObject) return true;
    return rtl::VarSameValue(Value(), Other->Value());
}

// =============================================================================================
// TDAParams

TDAParams::TDAParams(rtl::TPersistent* Owner) : TParams(Owner, TDAParam::StaticClass()) {}

TDAParams::TDAParams(rtl::TPersistent* Owner, const rtl::TCollectionItemClass& ItemClass) : TParams(Owner, ItemClass) {}

TDAParam* TDAParams::ParamByName(const AnsiString& Name) const {
    return static_cast<TDAParam*>(TParams::ParamByName(Name));
}

TDAParam* TDAParams::FindParam(const AnsiString& Name) const {
    return static_cast<TDAParam*>(TParams::FindParam(Name));
}

TDAParam* TDAParams::CreateParam(TFieldType FieldType, const AnsiString& Name, db::TParamType ParamType) {
    auto* param = static_cast<TDAParam*>(Add());
    param->SetName(Name);
    param->SetDataType(FieldType);
    param->SetParamType(ParamType);
    return param;
}

void TDAParams::Unbind() {
    for (int i = 0; i < Count(); ++i)
        if (store::TSharedObject* obj = Items(i)->HeldObject()) obj->Disconnect();
}

bool TDAParams::IsEqual(const db::TParams* Other) const {
    if (!Other || Other->Count() != Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (!Items(i)->IsEqual(Other->Items(i))) return false;
    return true;
}

void TDAParams::Update(rtl::TCollectionItem* Item) {
    if (FParamsChangeType == pbWatched) FParamsChangeType = pbByName;
    if (FNeedsUpdateItem) TParams::Update(Item);
}

// =============================================================================================
// Parameters and descriptors

namespace {

bool IsSizedType(TFieldType T) {
    switch (T) {
        case db::ftString:
        case db::ftBytes:
        case db::ftVarBytes:
        case db::ftFixedChar:
        case db::ftWideString:
        case db::ftFixedWideChar: return true;
        default: return false;
    }
}

bool IsMemoType(TFieldType T) { return T == db::ftMemo || T == db::ftWideMemo; }

bool IsInputParam(db::TParamType T) { return T == db::ptUnknown || T == db::ptInput || T == db::ptInputOutput; }

int32_t ValueLength(const TDAParam& Param) {
    if (Param.IsNull()) return 0;
    const Variant value = Param.Value();
    if (value.IsByteArray()) return static_cast<int32_t>(value.AsBytes().size());
    if (value.VType() == rtl::varOleStr) return static_cast<int32_t>(value.WideRef().size());
    if (value.VType() == rtl::varString) return static_cast<int32_t>(value.StrRef().size());
    return static_cast<int32_t>(Param.AsString().size());
}

}  // namespace

void WriteParamDesc(const TDAParam& Param, TParamDesc& Desc, const store::TFieldTypeMap& Map,
                    const TParamDescOptions& Options) {
    Desc.SetName(Param.Name());
    Desc.SetDataType(Param.DataType() == db::ftUnknown ? store::mdtUnknown : Map.GetDataType(Param.DataType()));
    Desc.SetSubDataType(Param.SubDataType());
    Desc.SetNational(Param.National());
    Desc.SetEncryptor(Param.Encryptor());
    Desc.SetParamType(static_cast<uint8_t>(Param.ParamType()));
    Desc.SetIsBound(Param.Bound());
    int32_t size = Param.Size();
    if (size == 0 && IsSizedType(Param.DataType())) {
        const bool input =
            Param.ParamType() == db::ptInput || (Param.ParamType() == db::ptUnknown && !Options.InOutParamSupported);
        if (input) size = ValueLength(Param);
        if (size == 0) size = Options.DefaultSize;
    }
    Desc.SetSize(size);
}

void WriteParamValue(TDAParam& Param, TParamDesc& Desc, const TParamDescOptions& Options) {
    if (Param.IsObjectDataType()) {
        if (Param.ParamType() == db::ptOutput && Param.IsBlob()) Param.Clear();
        auto* blob = dynamic_cast<TBlob*>(Param.GetParamObject());
        if (blob && Options.ConvertEOL && IsMemoType(Param.DataType()) && Param.ParamType() == db::ptInput) {
            // The conversion is the statement's business: a blob shared with a record or another
            // parameter is copied first so that the holder's text stays as it was.
            if (blob->RefCount() > 1) {
                const auto copy = rtl::TSharedRef<TBlob>::Adopt(store::CreateSharedObject<TBlob>(blob->IsUnicode()));
                copy->SetAsBytes(blob->GetAsBytes());
                Param.SetParamObject(copy.get());
                blob = copy.get();
            }
            blob->CollapseLineBreaks();
        }
        Desc.SetObject(Param.GetParamObject());
        Desc.SetNull(Param.IsNull());
        return;
    }
    Desc.SetConvertEOL(Options.ConvertEOL);
    Variant value = Param.Value();
    if (IsInputParam(Param.ParamType()) && !IsNullOrEmpty(value)) {
        if (Param.DataType() == db::ftDate && value.VType() == rtl::varDate)
            value = Variant::FromDate(std::floor(value.AsDateTime()));
        const store::TMemDataType descType = Desc.GetDataType();
        if ((descType == store::mdtBytes || descType == store::mdtVarBytes) &&
            (value.VType() == rtl::varString || value.VType() == rtl::varOleStr)) {
            const AnsiString text = rtl::VarToStr(value);
            value = Variant::FromBytes(rtl::TBytes(text.begin(), text.end()));
        }
    }
    Desc.SetValue(Variant());
    Desc.SetValue(value);
}

void ReadParamDesc(TDAParam& Param, const TParamDesc& Desc, const store::TFieldTypeMap& Map) {
    Param.SetName(Desc.GetName());
    Param.SetDataType(Desc.GetDataType() == store::mdtUnknown ? db::ftUnknown : Map.GetFieldType(Desc.GetDataType()));
    Param.SetParamType(static_cast<db::TParamType>(Desc.GetParamType()));
    Param.SetSize(Desc.GetSize());
}

void ReadParamValue(TDAParam& Param, const TParamDesc& Desc, bool ConvertEOL) {
    if (!Param.IsObjectDataType()) {
        Param.SetValue(Desc.GetValue());
        return;
    }
    if (Desc.GetNull()) {
        Param.Clear();
        return;
    }
    store::TSharedObject* obj = Desc.GetObject();
    if (obj && obj != Param.GetParamObject()) Param.SetParamObject(obj);
    auto* blob = dynamic_cast<TBlob*>(Param.GetParamObject());
    if (blob && ConvertEOL && IsMemoType(Param.DataType())) blob->ExpandLineBreaks();
    Param.SetBound(true);
}

// =============================================================================================
// "ParamData"

namespace {

const char* const FieldTypeIdents[db::FieldTypeCount] = {
    "ftUnknown",     "ftString",    "ftSmallint",  "ftInteger",       "ftWord",     "ftBoolean",      "ftFloat",
    "ftCurrency",    "ftBCD",       "ftDate",      "ftTime",          "ftDateTime", "ftBytes",        "ftVarBytes",
    "ftAutoInc",     "ftBlob",      "ftMemo",      "ftGraphic",       "ftFmtMemo",  "ftParadoxOle",   "ftDBaseOle",
    "ftTypedBinary", "ftCursor",    "ftFixedChar", "ftWideString",    "ftLargeint", "ftADT",          "ftArray",
    "ftReference",   "ftDataSet",   "ftOraBlob",   "ftOraClob",       "ftVariant",  "ftInterface",    "ftIDispatch",
    "ftGuid",        "ftTimeStamp", "ftFMTBcd",    "ftFixedWideChar", "ftWideMemo", "ftOraTimeStamp", "ftOraInterval"};

const char* const ParamTypeIdents[] = {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput", "ptResult"};

[[noreturn]] void InvalidProperty() { throw rtl::EReadError("Invalid property value"); }

template <size_t N>
int IdentIndex(const char* const (&Idents)[N], const Variant& Value) {
    if (Value.VType() != rtl::varString && Value.VType() != rtl::varOleStr) InvalidProperty();
    const AnsiString text = rtl::VarToStr(Value);
    for (size_t i = 0; i < N; ++i)
        if (text == Idents[i]) return static_cast<int>(i);
    InvalidProperty();
}

int IntegerProperty(const Variant& Value) {
    try {
        return Value.AsInteger();
    } catch (const rtl::Exception&) {
        InvalidProperty();
    }
}

struct TReadParam {
    TFieldType DataType = db::ftUnknown;
    AnsiString Name;
    db::TParamType ParamType = db::ptUnknown;
    int Size = 0;
    bool HasValue = false;
    Variant Value;
};

}  // namespace

std::vector<TStreamedItem> WriteParamData(const TDAParams& Params) {
    std::vector<TStreamedItem> items;
    for (int i = 0; i < Params.Count(); ++i) {
        const TDAParam* param = Params.Items(i);
        TStreamedItem item;
        const int type = static_cast<int>(param->DataType());
        const bool standard = type >= 0 && type <= MaxStreamedDataType;
        if (standard) item.push_back({"DataType", Variant(AnsiString(FieldTypeIdents[type]))});
        item.push_back({"Name", Variant(param->Name())});
        item.push_back({"ParamType", Variant(AnsiString(ParamTypeIdents[param->ParamType()]))});
        if (param->Size() != 0) item.push_back({"Size", Variant(static_cast<int32_t>(param->Size()))});
        if (param->Bound()) {
            const Variant value = param->Value();
            if (!value.IsArray()) item.push_back({"Value", value});
        }
        if (!standard) item.push_back({"ExtDataType", Variant(static_cast<int32_t>(type))});
        items.push_back(std::move(item));
    }
    return items;
}

void ReadParamData(TDAParams& Params, const std::vector<TStreamedItem>& Items) {
    // Everything is read before the collection changes.
    std::vector<TReadParam> read;
    for (const TStreamedItem& item : Items) {
        TReadParam p;
        for (const TStreamedProperty& prop : item) {
            if (prop.Name == "DataType")
                p.DataType = static_cast<TFieldType>(IdentIndex(FieldTypeIdents, prop.Value));
            else if (prop.Name == "ExtDataType")
                p.DataType = static_cast<TFieldType>(IntegerProperty(prop.Value));
            else if (prop.Name == "Name")
                p.Name = rtl::VarToStr(prop.Value);
            else if (prop.Name == "ParamType")
                p.ParamType = static_cast<db::TParamType>(IdentIndex(ParamTypeIdents, prop.Value));
            else if (prop.Name == "Size")
                p.Size = IntegerProperty(prop.Value);
            else if (prop.Name == "Value") {
                p.HasValue = true;
                p.Value = prop.Value;
            } else
                InvalidProperty();
        }
        read.push_back(std::move(p));
    }
    Params.BeginUpdate();
    rtl::TryFinally(
        [&] {
            Params.Clear();
            for (const TReadParam& p : read) {
                auto* param = static_cast<TDAParam*>(Params.Add());
                param->SetDataType(p.DataType);
                param->SetName(p.Name);
                param->SetParamType(p.ParamType);
                param->SetSize(p.Size);
                if (p.HasValue) param->SetValue(p.Value);
                // Only bound parameters carry a value, so one without it was not bound.
                param->SetBound(p.HasValue);
            }
        },
        [&] { Params.EndUpdate(); });
}

bool ParamDataNeedsWriting(const TDAParams& Params, const TDAParams* Ancestor) {
    if (Ancestor) return !Params.IsEqual(Ancestor);
    return Params.Count() > 0;
}

}  // namespace daccess
