// The field-type registry, the connection's option objects and the published mapping rules.
#include <string>

#include "data/access/DBAccess_Common.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

using namespace store;

// ---------------------------------------------------------------------------------------------
// Field-type registry

TFieldTypeInfos::TFieldTypeInfos() {
    struct Entry {
        db::TFieldType Type;
        const char* Name;
        bool Length;
        bool Scale;
    };
    static constexpr Entry entries[] = {
        {db::ftBoolean, "Boolean", false, false},
        {db::ftSmallint, "Smallint", false, false},
        {db::ftWord, "Word", false, false},
        {db::ftInteger, "Integer", false, false},
        {db::ftLargeint, "Largeint", false, false},
        {db::ftFloat, "Float", false, false},
        {db::ftCurrency, "Currency", false, false},
        {db::ftBCD, "BCD", true, true},
        {db::ftFMTBcd, "FMTBCD", true, true},
        {db::ftDate, "Date", false, false},
        {db::ftTime, "Time", false, false},
        {db::ftDateTime, "DateTime", false, false},
        {db::ftTimeStamp, "TimeStamp", false, false},
        {db::ftString, "String", true, false},
        {db::ftWideString, "WideString", true, false},
        {db::ftMemo, "Memo", false, false},
        {db::ftWideMemo, "WideMemo", false, false},
        {db::ftBytes, "Bytes", true, false},
        {db::ftVarBytes, "VarBytes", true, false},
        {db::ftGuid, "Guid", false, false},
    };
    FItems.reserve(std::size(entries));
    for (const Entry& e : entries)
        FItems.emplace_back(rtl::Create<TFieldTypeInfo>(e.Type, AnsiString(e.Name), e.Length, e.Scale));
}

TFieldTypeInfos::~TFieldTypeInfos() = default;

TFieldTypeInfo* TFieldTypeInfos::Items(int Index) const {
    if (Index < 0 || Index >= Count()) rtl::TList::Error("List index out of bounds (%d)", Index);
    return FItems[static_cast<size_t>(Index)].get();
}

TFieldTypeInfo* TFieldTypeInfos::FindTypeInfo(db::TFieldType FieldType) const {
    for (const auto& info : FItems)
        if (info->FieldType == FieldType) return info.get();
    return nullptr;
}

void TFieldTypeInfos::CheckTypeInfo(db::TFieldType FieldType, int32_t FieldLength, int32_t FieldScale) const {
    if (FieldType == db::ftUnknown) throw EInvalidFieldTypeMapping(SFieldTypeNotDefined);
    const TFieldTypeInfo* info = FindTypeInfo(FieldType);
    if (!info)
        throw EInvalidFieldTypeMapping(
            rtl::Format(SUnsupportedFieldType, {std::to_string(static_cast<int>(FieldType))}));
    if (!info->LengthAllowed && FieldLength != -1)
        throw EInvalidFieldTypeMapping(rtl::Format(SFieldTypeLengthNotAllowed, {info->Name}));
    if (!info->ScaleAllowed && FieldScale != -1)
        throw EInvalidFieldTypeMapping(rtl::Format(SFieldTypeScaleNotAllowed, {info->Name}));
}

TFieldTypeInfos& FieldTypeInfos() {
    static const rtl::TOwnedPtr<TFieldTypeInfos> instance(rtl::Create<TFieldTypeInfos>());
    return *instance;
}

const TDAFieldTypeMap& TDAFieldTypeMap::Instance() {
    static const TDAFieldTypeMap instance;
    return instance;
}

// ---------------------------------------------------------------------------------------------
// Connection options

IDAConnectionLink* TDAConnectionOptions::Link() const { return dynamic_cast<IDAConnectionLink*>(FOwner); }

void TDAConnectionOptions::SetDisconnectedMode(bool Value) {
    if (Value == FDisconnectedMode) return;
    IDAConnectionLink* link = Link();
    if (link) link->LinkDisconnect();
    FDisconnectedMode = Value;
    if (link) link->LinkSetIConnectionProp(prDisconnectedMode, rtl::Variant(Value));
}

void TDAConnectionOptions::SetDefaultSortType(store::TSortType Value) {
    if (Value == FDefaultSortType) return;
    FDefaultSortType = Value;
    if (IDAConnectionLink* link = Link())
        link->LinkSetIConnectionProp(prDefaultSortType, rtl::Variant(static_cast<int32_t>(Value)));
}

void TDAConnectionOptions::SetEnableBCD(bool Value) {
    FEnableBCD = Value;
    if (IDAConnectionLink* link = Link()) link->LinkSetIConnectionProp(prEnableBCD, rtl::Variant(Value));
}

void TDAConnectionOptions::SetEnableFMTBCD(bool Value) {
    FEnableFMTBCD = Value;
    if (IDAConnectionLink* link = Link()) link->LinkSetIConnectionProp(prEnableFMTBCD, rtl::Variant(Value));
}

void TDAConnectionOptions::AssignTo(rtl::TPersistent* Dest) {
    auto* dest = dynamic_cast<TDAConnectionOptions*>(Dest);
    if (!dest) {
        TPersistent::AssignTo(Dest);
        return;
    }
    dest->FKeepDesignConnected = FKeepDesignConnected;
    dest->SetDisconnectedMode(FDisconnectedMode);
    dest->FLocalFailover = FLocalFailover;
    dest->SetEnableBCD(FEnableBCD);
    dest->SetEnableFMTBCD(FEnableFMTBCD);
}

void TPoolingOptions::AssignTo(rtl::TPersistent* Dest) {
    auto* dest = dynamic_cast<TPoolingOptions*>(Dest);
    if (!dest) {
        TPersistent::AssignTo(Dest);
        return;
    }
    dest->FMaxPoolSize = FMaxPoolSize;
    dest->FMinPoolSize = FMinPoolSize;
    dest->FConnectionLifetime = FConnectionLifetime;
    dest->FValidate = FValidate;
}

// ---------------------------------------------------------------------------------------------
// Published mapping rules

TDAMapRules* TDAMapRule::Rules() const { return dynamic_cast<TDAMapRules*>(Collection()); }

void TDAMapRule::SetFieldName(const AnsiString& Value) {
    TMapRule::SetFieldName(Value);
    Changed(false);
}
void TDAMapRule::SetDBType(uint16_t Value) {
    TMapRule::SetDBType(Value);
    Changed(false);
}
void TDAMapRule::SetDBLengthMin(int32_t Value) {
    TMapRule::SetDBLengthMin(Value);
    Changed(false);
}
void TDAMapRule::SetDBLengthMax(int32_t Value) {
    TMapRule::SetDBLengthMax(Value);
    Changed(false);
}
void TDAMapRule::SetDBScaleMin(int32_t Value) {
    TMapRule::SetDBScaleMin(Value);
    Changed(false);
}
void TDAMapRule::SetDBScaleMax(int32_t Value) {
    TMapRule::SetDBScaleMax(Value);
    Changed(false);
}
void TDAMapRule::SetFieldLength(int32_t Value) {
    TMapRule::SetFieldLength(Value);
    Changed(false);
}
void TDAMapRule::SetFieldScale(int32_t Value) {
    TMapRule::SetFieldScale(Value);
    Changed(false);
}
void TDAMapRule::SetIgnoreErrors(bool Value) {
    TMapRule::SetIgnoreErrors(Value);
    Changed(false);
}
void TDAMapRule::SetFieldType(db::TFieldType Value) {
    FFieldType = Value;
    Changed(false);
}

void TDAMapRule::AssignTo(rtl::TPersistent* Dest) {
    auto* dest = dynamic_cast<TDAMapRule*>(Dest);
    if (!dest) {
        TMapRule::AssignTo(Dest);
        return;
    }
    TMapRule::AssignTo(Dest);
    dest->FFieldType = FFieldType;
    if (TDAMapRules* rules = dest->Rules()) rules->CloseOwner();
}

store::TMemDataType TDAMapRules::GetFieldType(db::TFieldType /*FieldType*/) {
    rtl::AssertFail(SMustBeOverrided, "DBAccess", __LINE__);
}

TFieldTypeInfos& TDAMapRules::GetFieldTypeInfos() { return FieldTypeInfos(); }

void TDAMapRules::CheckRule(const AnsiString& /*FieldName*/, uint16_t /*DBType*/, int32_t /*DBLengthMin*/,
                            int32_t /*DBLengthMax*/, int32_t /*DBScaleMin*/, int32_t /*DBScaleMax*/,
                            db::TFieldType FieldType, int32_t FieldLength, int32_t FieldScale) {
    GetFieldTypeInfos().CheckTypeInfo(FieldType, FieldLength, FieldScale);
}

void TDAMapRules::CopyTo(TCRMapRules* Rules) {
    Rules->Clear();
    for (int i = 0; i < Count(); ++i) {
        const TDAMapRule* rule = Items(i);
        Rules->AddRule(rule->FieldName(), rule->DBType(), rule->DBLengthMin(), rule->DBLengthMax(), rule->DBScaleMin(),
                       rule->DBScaleMax(), GetFieldType(rule->FieldType()), rule->FieldLength(), rule->FieldScale(),
                       rule->IgnoreErrors());
    }
}

void TDAMapRules::Update(rtl::TCollectionItem* Item) {
    TMapRules::Update(Item);
    CloseOwner();
}

namespace {

void CheckBothSides(TDAMapRules& rules, const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin,
                    int32_t DBLengthMax, int32_t DBScaleMin, int32_t DBScaleMax, db::TFieldType FieldType,
                    int32_t FieldLength, int32_t FieldScale) {
    DBTypeInfos().CheckTypeInfo(DBType, DBLengthMin, DBLengthMax, DBScaleMin, DBScaleMax, FieldName.empty());
    rules.TDAMapRules::CheckRule(FieldName, DBType, DBLengthMin, DBLengthMax, DBScaleMin, DBScaleMax, FieldType,
                                 FieldLength, FieldScale);
}

}  // namespace

IDAConnectionLink* TDAConnectionMapRules::Link() const { return dynamic_cast<IDAConnectionLink*>(FOwner); }

store::TMemDataType TDAConnectionMapRules::GetFieldType(db::TFieldType FieldType) {
    if (IDAConnectionLink* link = Link()) return link->LinkFieldTypeMap().GetDataType(FieldType);
    return TDAMapRules::GetFieldType(FieldType);
}

void TDAConnectionMapRules::CheckRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin,
                                      int32_t DBLengthMax, int32_t DBScaleMin, int32_t DBScaleMax,
                                      db::TFieldType FieldType, int32_t FieldLength, int32_t FieldScale) {
    CheckBothSides(*this, FieldName, DBType, DBLengthMin, DBLengthMax, DBScaleMin, DBScaleMax, FieldType, FieldLength,
                   FieldScale);
}

void TDAConnectionMapRules::CloseOwner() {
    if (IDAConnectionLink* link = Link()) link->LinkDisconnect();
}

IDADataSetLink* TDADataSetMapRules::Link() const { return dynamic_cast<IDADataSetLink*>(FOwner); }

store::TMemDataType TDADataSetMapRules::GetFieldType(db::TFieldType FieldType) {
    if (IDADataSetLink* link = Link()) return link->LinkFieldTypeMap().GetDataType(FieldType);
    return TDAMapRules::GetFieldType(FieldType);
}

void TDADataSetMapRules::CheckRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin,
                                   int32_t DBLengthMax, int32_t DBScaleMin, int32_t DBScaleMax,
                                   db::TFieldType FieldType, int32_t FieldLength, int32_t FieldScale) {
    CheckBothSides(*this, FieldName, DBType, DBLengthMin, DBLengthMax, DBScaleMin, DBScaleMax, FieldType, FieldLength,
                   FieldScale);
}

void TDADataSetMapRules::CloseOwner() {
    if (IDADataSetLink* link = Link()) link->LinkClose();
}

// ---------------------------------------------------------------------------------------------
// Statement types

TStatementType UpdateKindToStatementType(db::TUpdateKind UpdateKind) {
    switch (UpdateKind) {
        case db::ukModify: return stUpdate;
        case db::ukInsert: return stInsert;
        case db::ukDelete: return stDelete;
    }
    rtl::AssertFail(SAssertionFailure, "DBAccess", __LINE__);
}

void ParamNamesToAnsi(db::TParams* Params) {
    for (int i = 0; i < Params->Count(); ++i) {
        db::TParam* param = Params->Items(i);
        const AnsiString name = rtl::WideToAnsi(rtl::AnsiToWide(param->Name()));
        if (name != param->Name()) param->SetName(name);
    }
}

}  // namespace daccess
