// Macros and parameters of the data-access components, and their streamed form properties.
#pragma once

#include <vector>

#include "data/access/CRAccess_Command.h"
#include "data/access/DBAccess_Common.h"
#include "framework/db/DB_Params.h"

namespace rtl {
class TStream;
}

namespace daccess {

// =============================================================================================
// Macros

class TMacros;

// A named piece of text that stands in SQL as MacroChar followed by the name.
class TMacro : public rtl::TCollectionItem {
    RTL_CLASS(TMacro, rtl::TCollectionItem)
public:
    explicit TMacro(rtl::TCollection* Collection) : TCollectionItem(Collection) {}

    const AnsiString& Name() const noexcept { return FName; }
    void SetName(const AnsiString& Value) { FName = Value; }
    const AnsiString& Value() const noexcept { return FValue; }
    // A different text is stored and the owner told.
    void SetValue(const AnsiString& Value);
    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);

    AnsiString DisplayName() const override;
    // Copies Name, Value and Active from another macro.
    void Assign(rtl::TPersistent* Source) override;
    // Name, Value and Active are equal.
    bool IsEqual(const TMacro* Other) const;

private:
    TMacros* Macros() const;

    AnsiString FName;
    AnsiString FValue;
    bool FActive = true;
};

class TMacros : public rtl::TCollection {
    RTL_CLASS(TMacros, rtl::TCollection)
public:
    // Owner: the dataset or SQL component whose SQL holds the references (an IMacrosOwner), or
    // null for a scratch collection.
    explicit TMacros(rtl::TPersistent* Owner = nullptr) : TCollection(TMacro::StaticClass()), FOwner(Owner) {}

    TPersistent* GetOwner() override { return FOwner; }
    TMacro* Items(int Index) const { return static_cast<TMacro*>(TCollection::Items(Index)); }

    // Rebuilds the collection from the references in SQL, in order of first appearance; macros that
    // stay referenced keep their values. Nothing changes (and nobody hears) when the result equals
    // the current collection.
    void Scan(const AnsiString& SQL);
    // Replaces every reference by its macro's text; a reference to an unknown name is dropped.
    void Expand(AnsiString& SQL);
    // The text a reference is replaced by: the Value when Active, else nothing.
    virtual AnsiString MacroText(TMacro* Macro);

    // Case-insensitive; null when none.
    TMacro* FindMacro(const AnsiString& Name) const;
    // FindMacro, else "Macro %s not found" raised as a database error of the owning component.
    TMacro* MacroByName(const AnsiString& Name) const;
    // The same collection, or equal macros position by position.
    bool IsEqual(const TMacros* Other) const;

    const store::TParserClass& ParserClass() const noexcept { return *FParserClass; }
    void SetParserClass(const store::TParserClass& Value) noexcept { FParserClass = &Value; }

    // The owner's SQL must be derived again, unless the collection is being updated or has no
    // owner; an open owning dataset hears only of a macro its SQL references.
    void NotifyOwner(TMacro* Item);

    // Reads the older form-resource property "Data" into the macros the collection holds.
    void ReadBinaryData(rtl::TStream* Stream);

protected:
    void Update(rtl::TCollectionItem* Item) override;

private:
    rtl::TPersistent* FOwner;
    const store::TParserClass* FParserClass = &store::TSQLParser::StaticClass();
};

// =============================================================================================
// Parameters

class TDAParams;

// A parameter of a dataset or SQL component. Blob and memo values live in a reference-counted
// TBlob (the object value); the platform part then only holds a marker so that it is not Null,
// and every read of the value goes to the blob.
class TDAParam : public db::TParam {
    RTL_CLASS(TDAParam, db::TParam)
public:
    explicit TDAParam(rtl::TCollection* Collection);
    ~TDAParam() override;

    // --- object value ---
    // Holds one reference; null for types without an object.
    virtual store::TSharedObject* GetParamObject() const { return FParamObject.get(); }
    // The object this parameter holds, never one made for a provider.
    store::TSharedObject* HeldObject() const noexcept { return FParamObject.get(); }
    // Releases the old object and takes a reference to Obj.
    virtual void SetParamObject(store::TSharedObject* Obj);
    virtual bool IsObjectDataType(db::TFieldType DataType) const;
    virtual bool IsBlobDataType(db::TFieldType DataType) const;
    bool IsObjectDataType() const { return IsObjectDataType(DataType()); }
    virtual bool IsBlob() const { return IsBlobDataType(DataType()); }

    // --- type and size ---
    // A new type releases the old object and creates one for an object type.
    void SetDataType(db::TFieldType Value) override;
    int Size() const noexcept { return FSize; }
    void SetSize(int Value) override;
    // The provider's data type code of the column the parameter was bound from.
    store::TMemDataType SubDataType() const noexcept { return FSubDataType; }
    void SetSubDataType(store::TMemDataType Value) noexcept { FSubDataType = Value; }
    bool National() const noexcept { return FNational; }
    virtual void SetNational(bool Value) { FNational = Value; }
    // The encryptor of the column the parameter was bound from; handed on to the descriptor.
    const TEncryptValueFunc& Encryptor() const noexcept { return FEncryptor; }
    void SetEncryptor(TEncryptValueFunc Value) { FEncryptor = std::move(Value); }

    // --- values ---
    bool IsNull() const override;
    void Clear() override;
    Variant Value() const override;
    void SetValue(const Variant& V) override;
    AnsiString AsString() const override;
    void SetAsString(const AnsiString& V) override;
    virtual AnsiString ReadAsText() const;
    virtual void WriteAsText(const AnsiString& V);
    virtual WideString AsWideString() const;
    virtual void SetAsWideString(const WideString& V);
    virtual int32_t AsInteger() const;
    virtual void WriteAsInteger(int32_t V);
    void SetAsInteger(int32_t V) { WriteAsInteger(V); }
    virtual void SetAsSmallInt(int16_t V);
    virtual void SetAsWord(uint16_t V);
    virtual double AsFloat() const;
    virtual void SetAsFloat(double V);
    virtual int64_t AsLargeInt() const;
    virtual void SetAsLargeInt(int64_t V);
    virtual void SetAsBlob(const rtl::TBytes& V);
    virtual void SetAsMemo(const AnsiString& V);
    // An untyped parameter becomes ftBlob; null unless the type has an object.
    virtual store::TBlob* AsBlobRef();
    virtual void SetAsBlobRef(store::TBlob* Blob);
    // An untyped parameter becomes ftWideMemo for a wide-text blob, else ftMemo.
    virtual store::TBlob* AsMemoRef();
    virtual void SetAsMemoRef(store::TBlob* Blob);
    virtual rtl::TSQLTimeStamp AsSQLTimeStamp() const;
    virtual void SetAsSQLTimeStamp(const rtl::TSQLTimeStamp& V);
    // The typed writes the platform part has and this class leaves alone; each goes through
    // SetDataType first so that an object value is never left behind.
    void SetAsCurrency(rtl::Currency V);
    void SetAsBCD(rtl::Currency V);
    void SetAsFMTBCD(const rtl::TBcd& V);
    void SetAsBoolean(bool V);
    void SetAsDate(rtl::TDateTime V);
    void SetAsTime(rtl::TDateTime V);
    void SetAsDateTime(rtl::TDateTime V);
    void SetAsBytes(const rtl::TBytes& V);
    void SetText(const AnsiString& V) override;

    // --- fields, streams and other parameters ---
    // Type from the field (fixed strings, short memos as strings); Null clears, else V is written.
    void AssignFieldValue(db::TField* Field, const Variant& V) override;
    void AssignField(db::TField* Field) override;
    // ftBlob, ftMemo, ftOraBlob, ftOraClob and ftWideMemo (when the class holds an object for the
    // type); "Data type is not supported" otherwise, with the parameter unchanged.
    virtual void LoadFromStream(rtl::TStream& Stream, db::TFieldType DataType);
    void Assign(rtl::TPersistent* Source) override;
    // Also compares Size, National and, for blob types, the blob contents.
    bool IsEqual(const db::TParam* Other) const;

    TDAParams* DAParams() const;

protected:
    virtual void CreateObject();
    virtual void FreeObject();
    // The blob of a blob type, asserted to exist.
    store::TBlob* CheckedBlob() const;
    // The blob a write may change: a blob shared with another holder is replaced by a new one.
    store::TBlob* WritableBlob();
    // The platform part's type without any object handling (the object is the caller's business).
    void SetPlatformDataType(db::TFieldType Value);

    using TObjectRef = rtl::TSharedRef<store::TSharedObject>;
    // A descendant's CreateObject installs its own kind here (TObjectRef::Adopt of a new object).
    TObjectRef FParamObject;

private:
    void AssignDAParam(const TDAParam* Source);
    void AssignPlatformParam(const db::TParam* Source);
    // Marks the platform part as holding a value (or Null when the object is gone).
    void MarkObjectValue();

    int FSize = 0;
    store::TMemDataType FSubDataType = 0;
    bool FNational = false;
    TEncryptValueFunc FEncryptor;
};

// How WriteParams picks the descriptor of each parameter.
enum TParamsBindMode { pbByNumber = 0, pbByName = 1, pbWatched = 2 };

class TDAParams : public db::TParams {
    RTL_CLASS(TDAParams, db::TParams)
public:
    // Owner: the SQL component that holds the collection, or null.
    explicit TDAParams(rtl::TPersistent* Owner = nullptr);
    TDAParams(rtl::TPersistent* Owner, const rtl::TCollectionItemClass& ItemClass);

    TDAParam* Items(int Index) const { return static_cast<TDAParam*>(db::TParams::Items(Index)); }
    TDAParam* operator[](int Index) const { return Items(Index); }
    // "Parameter '%s' not found".
    TDAParam* ParamByName(const AnsiString& Name) const;
    TDAParam* FindParam(const AnsiString& Name) const;
    // Created untyped and typed afterwards, so that an object value is created.
    TDAParam* CreateParam(db::TFieldType FieldType, const AnsiString& Name, db::TParamType ParamType);
    // Tells every object value to let go of the provider.
    void Unbind();
    bool IsEqual(const db::TParams* Other) const;

    bool NeedsUpdateItem() const noexcept { return FNeedsUpdateItem; }
    void SetNeedsUpdateItem(bool Value) noexcept { FNeedsUpdateItem = Value; }
    TParamsBindMode ParamsChangeType() const noexcept { return FParamsChangeType; }
    void SetParamsChangeType(TParamsBindMode Value) noexcept { FParamsChangeType = Value; }

protected:
    void Update(rtl::TCollectionItem* Item) override;

private:
    bool FNeedsUpdateItem = true;
    TParamsBindMode FParamsChangeType = pbByNumber;
};

// --- between parameters and the provider's descriptors ---

struct TParamDescOptions {
    // Whether the provider takes values of parameters of unknown direction.
    bool InOutParamSupported = true;
    // The size a string or byte parameter gets when its value gives none (provider property 40).
    int32_t DefaultSize = 0;
    // The connection's ConvertEOL.
    bool ConvertEOL = false;
};

// Name, data type through Map, sub-type, national flag, encryptor, direction, bound flag, size.
void WriteParamDesc(const TDAParam& Param, TParamDesc& Desc, const store::TFieldTypeMap& Map,
                    const TParamDescOptions& Options = {});
// An object parameter hands its object (the descriptor holds no reference of its own, so the
// parameter must outlive the execution); a plain one its value.
void WriteParamValue(TDAParam& Param, TParamDesc& Desc, const TParamDescOptions& Options = {});
// Name, data type mapped back through Map, direction and size.
void ReadParamDesc(TDAParam& Param, const TParamDesc& Desc, const store::TFieldTypeMap& Map);
// The value an execution left in the descriptor.
void ReadParamValue(TDAParam& Param, const TParamDesc& Desc, bool ConvertEOL = false);

// --- the "ParamData" form property ---

// One streamed property: its name and value (enumerations as their identifiers).
struct TStreamedProperty {
    AnsiString Name;
    Variant Value;
};
using TStreamedItem = std::vector<TStreamedProperty>;

// The largest data type streamed as DataType; beyond it the type goes as "ExtDataType".
inline constexpr int MaxStreamedDataType = db::ftOraInterval;

// The items of the collection as written into a form resource.
std::vector<TStreamedItem> WriteParamData(const TDAParams& Params);
// Replaces the collection by the items read from a form resource. An unknown property or enum
// identifier raises "Invalid property value" with the collection unchanged.
void ReadParamData(TDAParams& Params, const std::vector<TStreamedItem>& Items);
// Written when it differs from the ancestor's, or without an ancestor when it has items.
bool ParamDataNeedsWriting(const TDAParams& Params, const TDAParams* Ancestor);

// --- the "MacroData" form property: Name, Value and Active of each macro ---
std::vector<TStreamedItem> WriteMacroData(const TMacros& Macros);
// Replaces the collection; an unknown property raises "Invalid property value" with the
// collection unchanged.
void ReadMacroData(TMacros& Macros, const std::vector<TStreamedItem>& Items);
bool MacroDataNeedsWriting(const TMacros& Macros, const TMacros* Ancestor);

// A property a dataset writes into a form resource besides its published ones: a collection
// ("ParamData", "MacroData") or a value.
struct TFormProperty {
    AnsiString Name;
    std::vector<TStreamedItem> Items;
    Variant Value;
};

// The index a provider reads from a dataset's ORDER BY list: fields and descending fields joined
// by ";".
struct TProviderIndexDef {
    AnsiString Fields;
    AnsiString DescFields;
};

}  // namespace daccess
