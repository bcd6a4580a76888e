// Data type mapping: the registry of the providers' database types, the mapping rules that ask for
// a column in another internal data type, and the per-provider converter manager that knows how a
// database type can be fetched, or a stored value converted, into the type a rule asks for.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "data/store/MemData.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"

// The data-access layer's namespace is daccess: a namespace named access would clash with the
// POSIX function access(), which the standard headers declare at global scope.
namespace daccess {

using rtl::AnsiString;
using store::TMemDataType;

// --- exceptions ---
using rtl::Exception;
RTL_DECLARE_EXCEPTION(EDataTypeMappingError, Exception);
RTL_DECLARE_EXCEPTION(EUnsupportedDataTypeMapping, EDataTypeMappingError);
RTL_DECLARE_EXCEPTION(EInvalidDBTypeMapping, EDataTypeMappingError);
RTL_DECLARE_EXCEPTION(EInvalidFieldTypeMapping, EDataTypeMappingError);
RTL_DECLARE_EXCEPTION(EDataMappingError, EDataTypeMappingError);

// ---------------------------------------------------------------------------------------------
// Database type registry

// One database type of one provider.
class TDBTypeInfo : public rtl::TObject {
    RTL_CLASS(TDBTypeInfo, rtl::TObject)
public:
    TDBTypeInfo(uint16_t ADBType, AnsiString AName, bool ALengthAllowed, bool AScaleAllowed)
        : DBType(ADBType), Name(std::move(AName)), LengthAllowed(ALengthAllowed), ScaleAllowed(AScaleAllowed) {}

    uint16_t DBType;
    AnsiString Name;
    bool LengthAllowed;
    bool ScaleAllowed;
};

// The database types of every provider, in the order of registration. Codes are not checked for
// uniqueness; a look-up finds the entry registered first.
class TDBTypeInfos : public rtl::TObject {
    RTL_CLASS(TDBTypeInfos, rtl::TObject)
public:
    TDBTypeInfos() = default;
    ~TDBTypeInfos() override;

    void Add(uint16_t DBType, const AnsiString& Name, bool LengthAllowed, bool ScaleAllowed);
    TDBTypeInfo* FindTypeInfo(uint16_t DBType) const;
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // Raises EListError "List index out of bounds (%d)" on a bad index.
    TDBTypeInfo* Items(int Index) const;
    void Clear();
    // Validates the database side of a mapping rule; raises EInvalidDBTypeMapping on a fault.
    void CheckTypeInfo(uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax, int32_t DBScaleMin,
                       int32_t DBScaleMax, bool FieldNameEmpty) const;

private:
    std::vector<rtl::TOwnedPtr<TDBTypeInfo>> FItems;
};

// The one registry of the process; providers fill it while they start.
TDBTypeInfos& DBTypeInfos();

// ---------------------------------------------------------------------------------------------
// Mapping rules

class TMapRule : public rtl::TCollectionItem {
    RTL_CLASS(TMapRule, rtl::TCollectionItem)
public:
    explicit TMapRule(rtl::TCollection* Collection) : TCollectionItem(Collection) {}

    const AnsiString& FieldName() const noexcept { return FFieldName; }
    void SetFieldName(const AnsiString& Value) { FFieldName = Value; }
    uint16_t DBType() const noexcept { return FDBType; }
    void SetDBType(uint16_t Value) noexcept { FDBType = Value; }
    int32_t DBLengthMin() const noexcept { return FDBLengthMin; }
    void SetDBLengthMin(int32_t Value) noexcept { FDBLengthMin = Value; }
    int32_t DBLengthMax() const noexcept { return FDBLengthMax; }
    void SetDBLengthMax(int32_t Value) noexcept { FDBLengthMax = Value; }
    int32_t DBScaleMin() const noexcept { return FDBScaleMin; }
    void SetDBScaleMin(int32_t Value) noexcept { FDBScaleMin = Value; }
    int32_t DBScaleMax() const noexcept { return FDBScaleMax; }
    void SetDBScaleMax(int32_t Value) noexcept { FDBScaleMax = Value; }
    int32_t FieldLength() const noexcept { return FFieldLength; }
    void SetFieldLength(int32_t Value) noexcept { FFieldLength = Value; }
    int32_t FieldScale() const noexcept { return FFieldScale; }
    void SetFieldScale(int32_t Value) noexcept { FFieldScale = Value; }
    bool IgnoreErrors() const noexcept { return FIgnoreErrors; }
    void SetIgnoreErrors(bool Value) noexcept { FIgnoreErrors = Value; }

protected:
    // Copies the rule into another rule; any other destination is left alone without an error.
    void AssignTo(rtl::TPersistent* Dest) override;

    AnsiString FFieldName;
    uint16_t FDBType = 0;
    int32_t FDBLengthMin = -1;
    int32_t FDBLengthMax = -1;
    int32_t FDBScaleMin = -1;
    int32_t FDBScaleMax = -1;
    int32_t FFieldLength = -1;
    int32_t FFieldScale = -1;
    bool FIgnoreErrors = false;
};

// A rule of the provider layer: names the internal data type the column is delivered in.
class TCRMapRule : public TMapRule {
    RTL_CLASS(TCRMapRule, TMapRule)
public:
    explicit TCRMapRule(rtl::TCollection* Collection) : TMapRule(Collection) {}

    TMemDataType DataType() const noexcept { return FDataType; }
    void SetDataType(TMemDataType Value) noexcept { FDataType = Value; }

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

    TMemDataType FDataType = 0;
};

class TMapRules : public rtl::TCollection {
    RTL_CLASS(TMapRules, rtl::TCollection)
public:
    explicit TMapRules(const rtl::TCollectionItemClass& ItemClass) : TCollection(ItemClass) {}
};

class TConverterManager;
class TCRMapRules;

// The class reference of provider rule collections: the virtual constructor and the class-level
// question of which converter manager the rule class belongs to.
class TCRMapRulesClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TCRMapRules* Create() const;
    virtual TConverterManager* GetConverterManager() const;
    template <class T>
    class Of;
};

template <class T>
class TCRMapRulesClass::Of : public TCRMapRulesClass {
public:
    using TCRMapRulesClass::TCRMapRulesClass;
    TCRMapRules* Create() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return ::rtl::Create<T>();
        else
            return TCRMapRulesClass::Create();
    }
    TConverterManager* GetConverterManager() const override { return T::GetConverterManager(); }
    rtl::TObject* NewInstance() const override { return Create(); }
};

class TCRMapRules : public TMapRules {
public:
    using ClassRefType = TCRMapRulesClass;
    RTL_CLASS(TCRMapRules, TMapRules)
public:
    TCRMapRules() : TMapRules(TCRMapRule::StaticClass()) {}

    // The base belongs to no provider: asking it is a programming fault. A provider's rule class
    // hides this with its own manager.
    static TConverterManager* GetConverterManager();
    // The manager of this collection's class.
    TConverterManager* ConverterManager() const;

    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value) noexcept { FEnabled = Value; }

    TCRMapRule* Items(int Index) const { return static_cast<TCRMapRule*>(TCollection::Items(Index)); }

    // Validates the database side against the global registry, then appends the rule; a rule that
    // fails the check is not added.
    TCRMapRule* AddRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax,
                        int32_t DBScaleMin, int32_t DBScaleMax, TMemDataType DataType, int32_t FieldLength,
                        int32_t FieldScale, bool IgnoreErrors);
    TCRMapRule* FindRuleByName(std::string_view Name, uint16_t DBType, int32_t DBLength, int32_t DBScale) const;
    TCRMapRule* FindRuleByType(uint16_t DBType, int32_t DBLength, int32_t DBScale) const;
    static bool RuleMatches(const TMapRule* Rule, uint16_t DBType, int32_t DBLength, int32_t DBScale);

private:
    bool FEnabled = true;
};


// ---------------------------------------------------------------------------------------------
// Converters

// Derives a delivered length or scale from a stored one.
using TSizeConverter = int32_t (*)(int32_t Value);

class TSizeConverters {
public:
    static int32_t SameSize(int32_t Value) noexcept { return Value; }
    // Characters of UTF-16 text to bytes.
    static int32_t DoubleSize(int32_t Value) noexcept { return Value * 2; }
    // Bytes to UTF-16 characters, rounded toward zero.
    static int32_t HalfSize(int32_t Value) noexcept { return Value / 2; }
    static int32_t ZeroSize(int32_t) noexcept { return 0; }
    // The length of a GUID's text with braces.
    static int32_t GuidTextSize(int32_t) noexcept { return 38; }
};

// Converts one value: reads Source (of the source type), writes Dest (of the destination type).
// Raises EDataMappingError on a value it cannot convert unless IgnoreErrors is set.
using TConvertProc = void (*)(store::TStringHeap* StringHeap, const void* Source, int32_t SourceLength,
                              int32_t SourceScale, void* Dest, int32_t DestLength, int32_t DestScale,
                              bool IgnoreErrors);

// The value conversion routines of the on-demand converters.
class TDataConverters {
public:
    // The routine that turns a value of type Source into type Dest. Directions without a
    // routine of their own get one that raises "not implemented".
    static TConvertProc Routine(TMemDataType Source, TMemDataType Dest) noexcept;
};

// A provider can fetch a database type directly in the type a rule asks for.
class TFetchConverter : public rtl::TObject {
    RTL_CLASS(TFetchConverter, rtl::TObject)
public:
    TFetchConverter() = default;

    uint16_t DBType = 0;
    int32_t DBLengthMin = -1;
    int32_t DBLengthMax = -1;
    int32_t DBScaleMin = -1;
    int32_t DBScaleMax = -1;
    TMemDataType DestDataType = 0;
    // The type the provider then fetches and stores the column as.
    TMemDataType InternalDataType = 0;
    TSizeConverter CalcLength = nullptr;
    TSizeConverter CalcScale = nullptr;
};

// A stored value converted each time the dataset reads (get) or writes (put) it.
class TOnDemandConverter : public rtl::TObject {
    RTL_CLASS(TOnDemandConverter, rtl::TObject)
public:
    TOnDemandConverter() = default;

    TMemDataType SourceDataType = 0;
    TMemDataType DestDataType = 0;
    TSizeConverter CalcLength = nullptr;
    TSizeConverter CalcScale = nullptr;
    TConvertProc GetConverter = nullptr;
    TConvertProc PutConverter = nullptr;
};

// The fetch and on-demand converters of one provider. The base registers the provider-neutral
// on-demand table; a provider's manager adds its fetch converters.
class TConverterManager : public rtl::TObject {
    RTL_CLASS(TConverterManager, rtl::TObject)
public:
    TConverterManager();
    ~TConverterManager() override;

    // The base of the provider's database type codes.
    virtual uint16_t GetDBProvider() const { return 0; }

    void AddFetchConverter(uint16_t DBType, TMemDataType DataType);
    void AddFetchConverterWithCalc(uint16_t DBType, TMemDataType DestDataType, TMemDataType InternalDataType,
                                   TSizeConverter CalcLength, TSizeConverter CalcScale);
    void AddFetchConverterRange(uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax, int32_t DBScaleMin,
                                int32_t DBScaleMax, TMemDataType DataType);
    void AddFetchConverterFull(uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax, int32_t DBScaleMin,
                               int32_t DBScaleMax, TMemDataType DestDataType, TMemDataType InternalDataType,
                               TSizeConverter CalcLength, TSizeConverter CalcScale);
    void AddOnDemandConverter(TMemDataType SourceDataType, TMemDataType DestDataType, TConvertProc GetConverter,
                              TConvertProc PutConverter, TSizeConverter CalcLength, TSizeConverter CalcScale);

    TFetchConverter* FindFetchConverter(uint16_t DBType, int32_t DBLength, int32_t DBScale,
                                        TMemDataType DestDataType) const;
    TOnDemandConverter* FindOnDemandConverter(TMemDataType SourceDataType, TMemDataType DestDataType) const;

    int FetchConverterCount() const noexcept { return static_cast<int>(FFetchConverters.size()); }
    int OnDemandConverterCount() const noexcept { return static_cast<int>(FOnDemandConverters.size()); }
    TFetchConverter* FetchConverters(int Index) const;
    TOnDemandConverter* OnDemandConverters(int Index) const;

private:
    void RegisterOnDemandConverters();

    std::vector<rtl::TOwnedPtr<TFetchConverter>> FFetchConverters;
    std::vector<rtl::TOwnedPtr<TOnDemandConverter>> FOnDemandConverters;
};

}  // namespace daccess
