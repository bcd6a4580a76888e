#include "data/access/CRDataTypeMap.h"
#include "data/access/CRDataTypeMap_Convert.h"

#include <initializer_list>

#include "data/store/DAConsts.h"
#include "framework/rtl/Text.h"

namespace daccess {

using namespace store;

namespace {

using convert::FormatOne;

[[noreturn]] void ListIndexError(int Index) {
    throw rtl::EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

bool InRange(int32_t value, int32_t min, int32_t max) {
    // An unknown value (-1) passes any bounds; a bound of -1 is open.
    if (value == -1) return true;
    return (min == -1 || min <= value) && (max == -1 || value <= max);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TDBTypeInfos

TDBTypeInfos::~TDBTypeInfos() { Clear(); }

void TDBTypeInfos::Add(uint16_t DBType, const AnsiString& Name, bool LengthAllowed, bool ScaleAllowed) {
    FItems.emplace_back(new TDBTypeInfo(DBType, Name, LengthAllowed, ScaleAllowed));
}

TDBTypeInfo* TDBTypeInfos::FindTypeInfo(uint16_t DBType) const {
    for (const auto& info : FItems)
        if (info->DBType == DBType) return info.get();
    return nullptr;
}

TDBTypeInfo* TDBTypeInfos::Items(int Index) const {
    if (Index < 0 || Index >= Count()) ListIndexError(Index);
    return FItems[static_cast<size_t>(Index)].get();
}

void TDBTypeInfos::Clear() { FItems.clear(); }

void TDBTypeInfos::CheckTypeInfo(uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax, int32_t DBScaleMin,
                                 int32_t DBScaleMax, bool FieldNameEmpty) const {
    if (DBType == 0) {
        // A rule for a named column may leave the type open; a rule for no column may not.
        if (FieldNameEmpty) throw EInvalidDBTypeMapping(SDBTypeNotDefined);
        return;
    }
    const TDBTypeInfo* info = FindTypeInfo(DBType);
    if (!info) throw EInvalidDBTypeMapping(FormatOne(SUnsupportedDBType, std::to_string(DBType)));
    if (!info->LengthAllowed && (DBLengthMin != -1 || DBLengthMax != -1))
        throw EInvalidDBTypeMapping(FormatOne(SDBTypeLengthNotAllowed, info->Name));
    if (!info->ScaleAllowed && (DBScaleMin != -1 || DBScaleMax != -1))
        throw EInvalidDBTypeMapping(FormatOne(SDBTypeScaleNotAllowed, info->Name));
}

TDBTypeInfos& DBTypeInfos() {
    // Made on first use, so that it exists before any provider registers its types.
    static TDBTypeInfos instance;
    return instance;
}

// ---------------------------------------------------------------------------------------------
// Rules

void TMapRule::AssignTo(rtl::TPersistent* Dest) {
    auto* rule = dynamic_cast<TMapRule*>(Dest);
    if (!rule) return;
    rule->FFieldName = FFieldName;
    rule->FDBType = FDBType;
    rule->FDBLengthMin = FDBLengthMin;
    rule->FDBLengthMax = FDBLengthMax;
    rule->FDBScaleMin = FDBScaleMin;
    rule->FDBScaleMax = FDBScaleMax;
    rule->FFieldLength = FFieldLength;
    rule->FFieldScale = FFieldScale;
    rule->FIgnoreErrors = FIgnoreErrors;
}

void TCRMapRule::AssignTo(rtl::TPersistent* Dest) {
    TMapRule::AssignTo(Dest);
    if (auto* rule = dynamic_cast<TCRMapRule*>(Dest)) rule->FDataType = FDataType;
}

TCRMapRules* TCRMapRulesClass::Create() const { rtl::AbstractError(); }

TConverterManager* TCRMapRulesClass::GetConverterManager() const { return TCRMapRules::GetConverterManager(); }

TConverterManager* TCRMapRules::GetConverterManager() { rtl::AssertFail(SAssertionFailure, "CRDataTypeMap", __LINE__); }

TConverterManager* TCRMapRules::ConverterManager() const {
    return static_cast<const TCRMapRulesClass*>(ClassType())->GetConverterManager();
}

TCRMapRule* TCRMapRules::AddRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax,
                                 int32_t DBScaleMin, int32_t DBScaleMax, TMemDataType DataType, int32_t FieldLength,
                                 int32_t FieldScale, bool IgnoreErrors) {
    DBTypeInfos().CheckTypeInfo(DBType, DBLengthMin, DBLengthMax, DBScaleMin, DBScaleMax, FieldName.empty());
    auto* rule = static_cast<TCRMapRule*>(Add());
    rule->SetFieldName(FieldName);
    rule->SetDBType(DBType);
    rule->SetDBLengthMin(DBLengthMin);
    rule->SetDBLengthMax(DBLengthMax);
    rule->SetDBScaleMin(DBScaleMin);
    rule->SetDBScaleMax(DBScaleMax);
    rule->SetDataType(DataType);
    rule->SetFieldLength(FieldLength);
    rule->SetFieldScale(FieldScale);
    rule->SetIgnoreErrors(IgnoreErrors);
    return rule;
}

bool TCRMapRules::RuleMatches(const TMapRule* Rule, uint16_t DBType, int32_t DBLength, int32_t DBScale) {
    return Rule->DBType() == DBType && InRange(DBLength, Rule->DBLengthMin(), Rule->DBLengthMax()) &&
           InRange(DBScale, Rule->DBScaleMin(), Rule->DBScaleMax());
}

TCRMapRule* TCRMapRules::FindRuleByName(std::string_view Name, uint16_t DBType, int32_t DBLength,
                                        int32_t DBScale) const {
    // Only the letters a to z are folded, as database column names are compared by the rules.
    const AnsiString name = rtl::UpperCase(Name);
    for (int i = 0; i < Count(); ++i) {
        TCRMapRule* rule = Items(i);
        if (rule->FieldName().empty() || rtl::UpperCase(rule->FieldName()) != name) continue;
        if (rule->DBType() == 0 || RuleMatches(rule, DBType, DBLength, DBScale)) return rule;
    }
    return nullptr;
}

TCRMapRule* TCRMapRules::FindRuleByType(uint16_t DBType, int32_t DBLength, int32_t DBScale) const {
    for (int i = 0; i < Count(); ++i) {
        TCRMapRule* rule = Items(i);
        if (rule->DBType() != 0 && RuleMatches(rule, DBType, DBLength, DBScale)) return rule;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Value conversion routines

TConvertProc TDataConverters::Routine(TMemDataType Source, TMemDataType Dest) noexcept {
    return convert::RoutineFor(Source, Dest);
}

// ---------------------------------------------------------------------------------------------
// TConverterManager

namespace {

using Types = std::initializer_list<TMemDataType>;

constexpr Types kIntegers = {mdtInt8, mdtUInt8, mdtInt16, mdtUInt16, mdtInt32, mdtUInt32, mdtInt64};
constexpr Types kTexts = {mdtString, mdtExtString, mdtWideString, mdtExtWideString};
constexpr Types kByteTypes = {mdtBytes, mdtVarBytes, mdtExtVarBytes};

bool OneOf(TMemDataType t, Types set) {
    for (TMemDataType s : set)
        if (s == t) return true;
    return false;
}

bool IsInteger(TMemDataType t) { return OneOf(t, kIntegers); }
bool IsText(TMemDataType t) { return OneOf(t, kTexts); }
bool IsWideText(TMemDataType t) { return t == mdtWideString || t == mdtExtWideString; }
bool IsByteType(TMemDataType t) { return OneOf(t, kByteTypes); }
bool IsDecimal(TMemDataType t) { return t == mdtBCD || t == mdtFmtBCD; }

// The destinations of a source type, in registration order.
std::vector<TMemDataType> DestinationsOf(TMemDataType source) {
    std::vector<TMemDataType> d;
    auto add = [&d](Types set, TMemDataType except = mdtUnknown) {
        for (TMemDataType t : set)
            if (t != except) d.push_back(t);
    };
    const Types numericTail = {mdtBCD, mdtFmtBCD};
    if (source == mdtBoolean) {
        add(kIntegers);
        add({mdtFloat, mdtCurrency});
        add(numericTail);
        add(kTexts);
        add(kByteTypes);
    } else if (IsInteger(source)) {
        add({mdtBoolean});
        add(kIntegers, source);
        add({mdtFloat, mdtCurrency});
        add(numericTail);
        add(kTexts);
        add(kByteTypes);
    } else if (source == mdtFloat || source == mdtCurrency) {
        add({mdtBoolean});
        add(kIntegers);
        add({source == mdtFloat ? mdtCurrency : mdtFloat});
        add(numericTail);
        add(kTexts);
        add(kByteTypes);
    } else if (IsDecimal(source)) {
        add({mdtBoolean});
        add(kIntegers);
        add({mdtFloat, mdtCurrency});
        add(numericTail);
        add(kTexts);
        add(kByteTypes);
    } else if (source == mdtDate || source == mdtTime) {
        add({mdtDateTime, mdtSQLTimeStamp});
        add(kTexts);
        add(kByteTypes);
    } else if (source == mdtDateTime) {
        add({mdtDate, mdtTime, mdtSQLTimeStamp});
        add(kTexts);
        add(kByteTypes);
    } else if (source == mdtSQLTimeStamp) {
        add({mdtDate, mdtTime, mdtDateTime});
        add(kTexts);
        add(kByteTypes);
    } else if (IsText(source) || IsByteType(source)) {
        add({mdtBoolean});
        add(kIntegers);
        add({mdtFloat, mdtCurrency});
        add(numericTail);
        add({mdtDate, mdtTime, mdtDateTime, mdtSQLTimeStamp});
        add(kTexts);
        add(kByteTypes);
        if (IsText(source)) add({mdtGuid});
    } else if (source == mdtGuid) {
        add(kTexts);
    } else if (source == mdtMemo) {
        add(kTexts);
        add({mdtWideMemo});
    } else if (source == mdtWideMemo) {
        add(kTexts);
        add({mdtMemo});
    } else if (source == mdtBlob) {
        add(kTexts);
        add({mdtMemo, mdtWideMemo});
    }
    return d;
}

struct TCalculators {
    TSizeConverter Length = nullptr;
    TSizeConverter Scale = nullptr;
};

TCalculators CalculatorsOf(TMemDataType source, TMemDataType dest) {
    if (IsDecimal(source) && IsDecimal(dest)) return {&TSizeConverters::SameSize, &TSizeConverters::SameSize};
    if (IsDecimal(dest) && (IsInteger(source) || source == mdtBoolean || source == mdtFloat || source == mdtCurrency ||
                            IsText(source) || IsByteType(source)))
        return {&TSizeConverters::ZeroSize, &TSizeConverters::ZeroSize};
    if (IsWideText(source) && IsByteType(dest)) return {&TSizeConverters::DoubleSize, nullptr};
    if (IsByteType(source) && IsWideText(dest)) return {&TSizeConverters::HalfSize, nullptr};
    if ((IsText(source) || IsByteType(source)) && (IsText(dest) || IsByteType(dest)))
        return {&TSizeConverters::SameSize, nullptr};
    if ((source == mdtGuid && IsText(dest)) || (IsText(source) && dest == mdtGuid))
        return {&TSizeConverters::GuidTextSize, nullptr};
    return {};
}

}  // namespace

TConverterManager::TConverterManager() { RegisterOnDemandConverters(); }

TConverterManager::~TConverterManager() {
    FFetchConverters.clear();
    FOnDemandConverters.clear();
}

void TConverterManager::RegisterOnDemandConverters() {
    static constexpr TMemDataType kSources[] = {
        mdtBoolean,  mdtInt8,         mdtUInt8,    mdtInt16,      mdtUInt16,      mdtInt32,         mdtUInt32,
        mdtInt64,    mdtFloat,        mdtCurrency, mdtBCD,        mdtFmtBCD,      mdtDate,          mdtTime,
        mdtDateTime, mdtSQLTimeStamp, mdtString,   mdtWideString, mdtExtString,   mdtExtWideString, mdtMemo,
        mdtWideMemo, mdtBlob,         mdtBytes,    mdtVarBytes,   mdtExtVarBytes, mdtGuid};
    for (TMemDataType source : kSources) {
        for (TMemDataType dest : DestinationsOf(source)) {
            // The put direction of a pair is the get direction of its reverse; from a blob it
            // writes the delivered value back into the blob.
            const TCalculators calc = CalculatorsOf(source, dest);
            AddOnDemandConverter(source, dest, TDataConverters::Routine(source, dest),
                                 TDataConverters::Routine(dest, source), calc.Length, calc.Scale);
        }
    }
}

void TConverterManager::AddFetchConverter(uint16_t DBType, TMemDataType DataType) {
    AddFetchConverterFull(DBType, -1, -1, -1, -1, DataType, DataType, nullptr, nullptr);
}

void TConverterManager::AddFetchConverterWithCalc(uint16_t DBType, TMemDataType DestDataType,
                                                  TMemDataType InternalDataType, TSizeConverter CalcLength,
                                                  TSizeConverter CalcScale) {
    AddFetchConverterFull(DBType, -1, -1, -1, -1, DestDataType, InternalDataType, CalcLength, CalcScale);
}

void TConverterManager::AddFetchConverterRange(uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax,
                                               int32_t DBScaleMin, int32_t DBScaleMax, TMemDataType DataType) {
    AddFetchConverterFull(DBType, DBLengthMin, DBLengthMax, DBScaleMin, DBScaleMax, DataType, DataType, nullptr,
                          nullptr);
}

void TConverterManager::AddFetchConverterFull(uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax,
                                              int32_t DBScaleMin, int32_t DBScaleMax, TMemDataType DestDataType,
                                              TMemDataType InternalDataType, TSizeConverter CalcLength,
                                              TSizeConverter CalcScale) {
    rtl::TOwnedPtr<TFetchConverter> c(new TFetchConverter());
    c->DBType = DBType;
    c->DBLengthMin = DBLengthMin;
    c->DBLengthMax = DBLengthMax;
    c->DBScaleMin = DBScaleMin;
    c->DBScaleMax = DBScaleMax;
    c->DestDataType = DestDataType;
    c->InternalDataType = InternalDataType;
    c->CalcLength = CalcLength;
    c->CalcScale = CalcScale;
    FFetchConverters.push_back(std::move(c));
}

void TConverterManager::AddOnDemandConverter(TMemDataType SourceDataType, TMemDataType DestDataType,
                                             TConvertProc GetConverter, TConvertProc PutConverter,
                                             TSizeConverter CalcLength, TSizeConverter CalcScale) {
    rtl::TOwnedPtr<TOnDemandConverter> c(new TOnDemandConverter());
    c->SourceDataType = SourceDataType;
    c->DestDataType = DestDataType;
    c->GetConverter = GetConverter;
    c->PutConverter = PutConverter;
    c->CalcLength = CalcLength;
    c->CalcScale = CalcScale;
    FOnDemandConverters.push_back(std::move(c));
}

TFetchConverter* TConverterManager::FindFetchConverter(uint16_t DBType, int32_t DBLength, int32_t DBScale,
                                                       TMemDataType DestDataType) const {
    for (const auto& c : FFetchConverters) {
        if (c->DBType == DBType && c->DestDataType == DestDataType &&
            InRange(DBLength, c->DBLengthMin, c->DBLengthMax) && InRange(DBScale, c->DBScaleMin, c->DBScaleMax))
            return c.get();
    }
    return nullptr;
}

TOnDemandConverter* TConverterManager::FindOnDemandConverter(TMemDataType SourceDataType,
                                                             TMemDataType DestDataType) const {
    for (const auto& c : FOnDemandConverters)
        if (c->SourceDataType == SourceDataType && c->DestDataType == DestDataType) return c.get();
    return nullptr;
}

TFetchConverter* TConverterManager::FetchConverters(int Index) const {
    if (Index < 0 || Index >= FetchConverterCount()) ListIndexError(Index);
    return FFetchConverters[static_cast<size_t>(Index)].get();
}

TOnDemandConverter* TConverterManager::OnDemandConverters(int Index) const {
    if (Index < 0 || Index >= OnDemandConverterCount()) ListIndexError(Index);
    return FOnDemandConverters[static_cast<size_t>(Index)].get();
}

}  // namespace daccess
