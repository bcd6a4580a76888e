// Parameters of SQL commands and datasets: a typed value with a direction, held in a collection
// that finds parameters by name and takes values from fields.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/db/DB.h"
#include "framework/rtl/Bcd.h"

namespace db {

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

class TParams;

class TParam : public rtl::TCollectionItem {
    RTL_CLASS(TParam, rtl::TCollectionItem)
public:
    explicit TParam(rtl::TCollection* Collection);
    TParam(TParams* AParams, TParamType AParamType);

    const AnsiString& Name() const noexcept { return FName; }
    void SetName(const AnsiString& Value);
    TFieldType DataType() const noexcept { return FDataType; }
    virtual void SetDataType(TFieldType Value);
    TParamType ParamType() const noexcept { return FParamType; }
    void SetParamType(TParamType Value) { FParamType = Value; }
    // Set by every value write.
    bool Bound() const noexcept { return FBound; }
    void SetBound(bool Value) noexcept { FBound = Value; }
    int Size() const noexcept { return FSize; }
    virtual void SetSize(int Value) { FSize = Value; }
    int Precision() const noexcept { return FPrecision; }
    void SetPrecision(int Value) noexcept { FPrecision = Value; }
    int NumericScale() const noexcept { return FNumericScale; }
    void SetNumericScale(int Value) noexcept { FNumericScale = Value; }
    TParams* Params() const;

    // --- value ---
    virtual bool IsNull() const { return FNull; }
    virtual void Clear();
    virtual Variant Value() const;
    // An untyped parameter takes its type from the value.
    virtual void SetValue(const Variant& V);

    virtual AnsiString AsString() const;
    virtual void SetAsString(const AnsiString& V);
    WideString AsWideString() const;
    void SetAsWideString(const WideString& V);
    int32_t AsInteger() const;
    void SetAsInteger(int32_t V);
    int16_t AsSmallInt() const;
    void SetAsSmallInt(int16_t V);
    uint16_t AsWord() const;
    void SetAsWord(uint16_t V);
    int64_t AsLargeInt() const;
    void SetAsLargeInt(int64_t V);
    double AsFloat() const;
    void SetAsFloat(double V);
    rtl::Currency AsCurrency() const;
    void SetAsCurrency(rtl::Currency V);
    // A Currency value of a ftBCD parameter.
    rtl::Currency AsBCD() const { return AsCurrency(); }
    void SetAsBCD(rtl::Currency V);
    rtl::TBcd AsFMTBCD() const;
    void SetAsFMTBCD(const rtl::TBcd& V);
    bool AsBoolean() const;
    void SetAsBoolean(bool V);
    rtl::TDateTime AsDate() const { return AsDateTime(); }
    void SetAsDate(rtl::TDateTime V);
    rtl::TDateTime AsTime() const { return AsDateTime(); }
    void SetAsTime(rtl::TDateTime V);
    rtl::TDateTime AsDateTime() const;
    void SetAsDateTime(rtl::TDateTime V);
    rtl::TSQLTimeStamp AsSQLTimeStamp() const;
    void SetAsSQLTimeStamp(const rtl::TSQLTimeStamp& V);
    AnsiString AsMemo() const { return AsString(); }
    void SetAsMemo(const AnsiString& V);
    rtl::TBytes AsBlob() const { return AsBytes(); }
    void SetAsBlob(const rtl::TBytes& V);
    rtl::TBytes AsBytes() const;
    void SetAsBytes(const rtl::TBytes& V);
    // Text write without changing the type (a typed parameter converts the text).
    virtual void SetText(const AnsiString& V);

    // --- fields ---
    // Type, value, name and size from the field.
    virtual void AssignField(TField* Field);
    // Type and the given value of the field (the name stays).
    virtual void AssignFieldValue(TField* Field, const Variant& V);
    // The field takes the parameter's value.
    void AssignToField(TField* Field) const;
    // Copies another parameter, a field (AssignField) or string lines (as memo text).
    void Assign(rtl::TPersistent* Source) override;
    AnsiString DisplayName() const override;
    bool IsEqual(const TParam* Other) const;

protected:
    void AssignTo(rtl::TPersistent* Dest) override;
    void AssignParam(const TParam* Source);
    // Stores the value with the given type.
    void SetTypedValue(TFieldType Type, const Variant& V);

private:
    AnsiString FName;
    TFieldType FDataType = ftUnknown;
    TParamType FParamType = ptUnknown;
    Variant FData;
    bool FNull = true;
    bool FBound = false;
    int FSize = 0;
    int FPrecision = 0;
    int FNumericScale = 0;
};

// The field type of a variant's value (ftUnknown for Empty, Null and types without one).
TFieldType VarTypeToDataType(rtl::TVarType VarType) noexcept;

class TParams : public rtl::TOwnedCollection {
    RTL_CLASS(TParams, rtl::TOwnedCollection)
public:
    explicit TParams(rtl::TPersistent* AOwner = nullptr);
    TParams(rtl::TPersistent* AOwner, const rtl::TCollectionItemClass& ItemClass);

    TParam* Items(int Index) const { return static_cast<TParam*>(TCollection::Items(Index)); }
    TParam* operator[](int Index) const { return Items(Index); }
    void AddParam(TParam* Value);
    void RemoveParam(TParam* Value);
    TParam* CreateParam(TFieldType FldType, const AnsiString& ParamName, TParamType ParamType);
    // Case-insensitive; null when absent.
    TParam* FindParam(const AnsiString& Value) const;
    // "Parameter '%s' not found".
    TParam* ParamByName(const AnsiString& Value) const;
    // Values of the parameters of a ';'-separated list: one value or a Variant array.
    Variant ParamValues(const AnsiString& ParamNames) const;
    void SetParamValues(const AnsiString& ParamNames, const Variant& Values);
    void GetParamList(std::vector<TParam*>& List, const AnsiString& ParamNames) const;
    // Each parameter takes the value of the parameter of the same name in Value.
    void AssignValues(TParams* Value);
    bool IsEqual(const TParams* Value) const;
    void Assign(rtl::TPersistent* Source) override;

private:
    rtl::TComponent* OwnerComponent() const;
};

}  // namespace db
