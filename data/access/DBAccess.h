// The component layer of data access: the data-access error, the field-type registry, connection
// options, published mapping rules, macros, parameters, the routines that read and rewrite SELECT
// text, and the connection, transaction, SQL command, query dataset and metadata components.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "data/access/CRAccess.h"
#include "data/access/CRDataTypeMap.h"
#include "data/access/DBAccess_Error.h"
#include "data/store/CRParser.h"
#include "data/store/MemDS.h"
#include "data/store/MemData.h"
#include "framework/db/DB.h"
#include "framework/db/DB_Connection.h"
#include "framework/db/DB_Params.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"
#include "framework/rtl/Variant.h"

namespace rtl {
class TStream;
}

namespace daccess {

using rtl::AnsiString;
using rtl::WideString;

// =============================================================================================
// Unit-level settings

// The character that introduces a macro reference in SQL text.
extern char MacroChar;

// =============================================================================================
// Statement types

// The kinds of statement a dataset runs; sets of them travel as 16-bit masks with bit n for kind n.
enum TStatementType {
    stQuery,
    stInsert,
    stUpdate,
    stDelete,
    stLock,
    stRefresh,
    stCustom,
    stRefreshQuick,
    stRefreshCheckDeleted,
    stBatchUpdate
};
using TStatementTypes = uint16_t;
constexpr TStatementTypes StatementTypeBit(TStatementType t) noexcept {
    return static_cast<TStatementTypes>(1u << static_cast<unsigned>(t));
}

// ukModify -> stUpdate, ukInsert -> stInsert, ukDelete -> stDelete; anything else is an assertion
// failure.
TStatementType UpdateKindToStatementType(db::TUpdateKind UpdateKind);

// Passes every parameter's name through the single-byte code page and back, so that names the
// updater and the SQL generator make match the ones in the SQL text.
void ParamNamesToAnsi(db::TParams* Params);

// =============================================================================================
// SQL text routines
//
// Each takes the class of the dialect's lexer (a TSQLParser descendant) and works on its own parser.
// Text without a SELECT comes back unchanged (the getters give empty text). A ';' at bracket depth 0
// ends the statement for all of them, so text after it is never taken for a clause.

// Joins Condition to the statement's WHERE clause with " AND " (the old condition in brackets), or
// adds a WHERE clause. A condition with an OR at its top level is bracketed so that it cannot
// escape the AND. OmitComments skips comments instead of returning them as lexemes.
AnsiString AddWhere(const AnsiString& SQL, const AnsiString& Condition,
                    const store::TParserClass& ParserClass = store::TSQLParser::StaticClass(),
                    bool OmitComments = false);
// Replaces the WHERE condition, adds a WHERE clause, or (with an empty condition) removes it.
AnsiString SetWhere(const AnsiString& SQL, const AnsiString& Condition,
                    const store::TParserClass& ParserClass = store::TSQLParser::StaticClass());
// The text of the clause whose keyword has the given code (from the second character after the
// keyword up to the next clause); empty when the statement has none. Parser is reset to SQL.
AnsiString GetClause(const AnsiString& SQL, store::TSQLParser& Parser, int Code);
AnsiString GetFrom(const AnsiString& SQL,
                   const store::TParserClass& ParserClass = store::TSQLParser::StaticClass(),
                   bool OmitComments = false);
AnsiString GetWhere(const AnsiString& SQL,
                    const store::TParserClass& ParserClass = store::TSQLParser::StaticClass(),
                    bool OmitComments = false);
// Replaces the ORDER BY list (';' in Fields becomes ','), adds an ORDER BY clause, or (with an
// empty list) removes it. A LIMIT or OFFSET after the list stays.
AnsiString SetOrderBy(const AnsiString& SQL, const AnsiString& Fields,
                      const store::TParserClass& ParserClass = store::TSQLParser::StaticClass());
// The ORDER BY field list, trimmed; empty when there is none.
AnsiString GetOrderBy(const AnsiString& SQL,
                      const store::TParserClass& ParserClass = store::TSQLParser::StaticClass());
// Every "?" outside string literals, quoted names and comments becomes ":1", ":2", ... in order;
// Count receives how many there were.
AnsiString NumberQuestionMarks(const AnsiString& SQL, const store::TParserClass& ParserClass, int& Count);

// =============================================================================================
// Field-type registry: the field types a mapping rule may name

class TFieldTypeInfo : public rtl::TObject {
    RTL_CLASS(TFieldTypeInfo, rtl::TObject)
public:
    TFieldTypeInfo(db::TFieldType AFieldType, AnsiString AName, bool ALengthAllowed, bool AScaleAllowed)
        : FieldType(AFieldType), Name(std::move(AName)), LengthAllowed(ALengthAllowed),
          ScaleAllowed(AScaleAllowed) {}

    db::TFieldType FieldType;
    AnsiString Name;
    bool LengthAllowed;
    bool ScaleAllowed;
};

class TFieldTypeInfos : public rtl::TObject {
    RTL_CLASS(TFieldTypeInfos, rtl::TObject)
public:
    // Filled with the field types that mapping rules support.
    TFieldTypeInfos();
    ~TFieldTypeInfos() override;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // Raises EListError "List index out of bounds (%d)" on a bad index.
    TFieldTypeInfo* Items(int Index) const;
    // The first entry of the type; null when none.
    TFieldTypeInfo* FindTypeInfo(db::TFieldType FieldType) const;
    // Validates the field side of a mapping rule (-1: no length or scale given); raises
    // EInvalidFieldTypeMapping on a fault.
    void CheckTypeInfo(db::TFieldType FieldType, int32_t FieldLength, int32_t FieldScale) const;

private:
    std::vector<rtl::TOwnedPtr<TFieldTypeInfo>> FItems;
};

// The one registry of the process.
TFieldTypeInfos& FieldTypeInfos();

// The field-type map of the data-access layer: the store's mapping plus the registry of the field
// types that mapping rules may name.
class TDAFieldTypeMap : public store::TFieldTypeMap {
public:
    virtual TFieldTypeInfos& GetFieldTypeInfos() const { return FieldTypeInfos(); }
    static const TDAFieldTypeMap& Instance();
};

// =============================================================================================
// What option objects, mapping rules and macros need of the component that owns them. The
// connection, dataset and SQL components implement these; the objects find them by casting their
// owner, so an object without such an owner simply has nobody to tell.

class IDAConnectionLink {
public:
    virtual ~IDAConnectionLink() = default;
    // Disconnects the connection.
    virtual void LinkDisconnect() = 0;
    // Passes a property to the provider connection when one exists.
    virtual void LinkSetIConnectionProp(int Prop, const rtl::Variant& Value) = 0;
    // The connection's field-type map.
    virtual const store::TFieldTypeMap& LinkFieldTypeMap() = 0;
};

class IDADataSetLink {
public:
    virtual ~IDADataSetLink() = default;
    // Closes the dataset.
    virtual void LinkClose() = 0;
    // The dataset's field-type map.
    virtual const store::TFieldTypeMap& LinkFieldTypeMap() = 0;
};

class IMacrosOwner {
public:
    virtual ~IMacrosOwner() = default;
    // True for an owning dataset that is open: only a change of a macro its SQL references then
    // reaches it.
    virtual bool MacrosOwnerActive() = 0;
    // The SQL text searched for references.
    virtual AnsiString MacrosOwnerSQLText() = 0;
    // A macro changed: the owner derives its SQL again.
    virtual void MacrosChanged() = 0;
};

// =============================================================================================
// Connection options

class TDAConnectionOptions : public rtl::TPersistent {
    RTL_CLASS(TDAConnectionOptions, rtl::TPersistent)
public:
    // Owner: the connection (an IDAConnectionLink), or null.
    explicit TDAConnectionOptions(rtl::TComponent* Owner) : FOwner(Owner) {}

    rtl::TComponent* Owner() const noexcept { return FOwner; }

    bool KeepDesignConnected() const noexcept { return FKeepDesignConnected; }
    void SetKeepDesignConnected(bool Value) noexcept { FKeepDesignConnected = Value; }
    bool DisconnectedMode() const noexcept { return FDisconnectedMode; }
    // A change disconnects the owner first.
    void SetDisconnectedMode(bool Value);
    bool LocalFailover() const noexcept { return FLocalFailover; }
    void SetLocalFailover(bool Value) noexcept { FLocalFailover = Value; }
    store::TSortType DefaultSortType() const noexcept { return FDefaultSortType; }
    void SetDefaultSortType(store::TSortType Value);
    bool EnableBCD() const noexcept { return FEnableBCD; }
    void SetEnableBCD(bool Value);
    bool EnableFMTBCD() const noexcept { return FEnableFMTBCD; }
    void SetEnableFMTBCD(bool Value);

    TPersistent* GetOwner() override { return FOwner; }

    // Provider property ids the options pass on.
    static constexpr int prDisconnectedMode = 31;
    static constexpr int prEnableBCD = 41;
    static constexpr int prEnableFMTBCD = 42;
    static constexpr int prDefaultSortType = 48;

protected:
    // Copies every option but DefaultSortType into another TDAConnectionOptions.
    void AssignTo(rtl::TPersistent* Dest) override;
    IDAConnectionLink* Link() const;

    rtl::TComponent* FOwner;
    bool FKeepDesignConnected = true;
    bool FDisconnectedMode = false;
    bool FLocalFailover = false;
    store::TSortType FDefaultSortType = store::stCaseSensitive;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
};

class TPoolingOptions : public rtl::TPersistent {
    RTL_CLASS(TPoolingOptions, rtl::TPersistent)
public:
    explicit TPoolingOptions(rtl::TComponent* Owner) : FOwner(Owner) {}

    rtl::TComponent* Owner() const noexcept { return FOwner; }
    int MaxPoolSize() const noexcept { return FMaxPoolSize; }
    void SetMaxPoolSize(int Value) noexcept { FMaxPoolSize = Value; }
    int MinPoolSize() const noexcept { return FMinPoolSize; }
    void SetMinPoolSize(int Value) noexcept { FMinPoolSize = Value; }
    int ConnectionLifetime() const noexcept { return FConnectionLifetime; }
    void SetConnectionLifetime(int Value) noexcept { FConnectionLifetime = Value; }
    bool Validate() const noexcept { return FValidate; }
    void SetValidate(bool Value) noexcept { FValidate = Value; }

    TPersistent* GetOwner() override { return FOwner; }

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

    rtl::TComponent* FOwner;
    int FMaxPoolSize = 100;
    int FMinPoolSize = 0;
    int FConnectionLifetime = 0;
    bool FValidate = false;
};

// =============================================================================================
// Published mapping rules. The component layer copies them into the provider layer's rules
// (TCRMapRules) before a connection connects or a record set opens.

class TDAMapRules;

class TDAMapRule : public TMapRule {
    RTL_CLASS(TDAMapRule, TMapRule)
public:
    explicit TDAMapRule(rtl::TCollection* Collection) : TMapRule(Collection) {}

    // The published setters tell the collection, which closes its owner.
    void SetFieldName(const AnsiString& Value);
    void SetDBType(uint16_t Value);
    void SetDBLengthMin(int32_t Value);
    void SetDBLengthMax(int32_t Value);
    void SetDBScaleMin(int32_t Value);
    void SetDBScaleMax(int32_t Value);
    void SetFieldLength(int32_t Value);
    void SetFieldScale(int32_t Value);
    void SetIgnoreErrors(bool Value);
    db::TFieldType FieldType() const noexcept { return FFieldType; }
    void SetFieldType(db::TFieldType Value);

    TDAMapRules* Rules() const;

protected:
    // Into another TDAMapRule: the base values and FieldType, then the destination's owner closes.
    void AssignTo(rtl::TPersistent* Dest) override;

    db::TFieldType FFieldType = db::ftUnknown;
};

class TDAMapRules : public TMapRules {
    RTL_CLASS(TDAMapRules, TMapRules)
public:
    TDAMapRules() : TMapRules(TDAMapRule::StaticClass()) {}

    TDAMapRule* Items(int Index) const { return static_cast<TDAMapRule*>(TCollection::Items(Index)); }
    TDAMapRule* AddRule() { return static_cast<TDAMapRule*>(Add()); }

    // The internal data type a field type maps to. The base has no owner to ask: assertion.
    virtual store::TMemDataType GetFieldType(db::TFieldType FieldType);
    virtual TFieldTypeInfos& GetFieldTypeInfos();
    // Validates a rule; the base checks the field side.
    virtual void CheckRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin,
                           int32_t DBLengthMax, int32_t DBScaleMin, int32_t DBScaleMax,
                           db::TFieldType FieldType, int32_t FieldLength, int32_t FieldScale);
    // The owner stops using the rules it had (the base has none).
    virtual void CloseOwner() {}

    // Clears the provider rules and adds every published rule to them in order.
    void CopyTo(TCRMapRules* Rules);

protected:
    void Update(rtl::TCollectionItem* Item) override;
};

// Rules of a connection: mapped through the connection's field-type map; a change disconnects it.
class TDAConnectionMapRules : public TDAMapRules {
    RTL_CLASS(TDAConnectionMapRules, TDAMapRules)
public:
    // Owner: the connection (an IDAConnectionLink), or null.
    explicit TDAConnectionMapRules(rtl::TComponent* Owner) : FOwner(Owner) {}

    TPersistent* GetOwner() override { return FOwner; }
    store::TMemDataType GetFieldType(db::TFieldType FieldType) override;
    // Checks the database side against the registry, then the field side.
    void CheckRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax,
                   int32_t DBScaleMin, int32_t DBScaleMax, db::TFieldType FieldType, int32_t FieldLength,
                   int32_t FieldScale) override;
    void CloseOwner() override;

private:
    IDAConnectionLink* Link() const;
    rtl::TComponent* FOwner;
};

// Rules of a dataset: mapped through the dataset's field-type map; a change closes it.
class TDADataSetMapRules : public TDAMapRules {
    RTL_CLASS(TDADataSetMapRules, TDAMapRules)
public:
    // Owner: the dataset (an IDADataSetLink), or null.
    explicit TDADataSetMapRules(rtl::TComponent* Owner) : FOwner(Owner) {}

    TPersistent* GetOwner() override { return FOwner; }
    store::TMemDataType GetFieldType(db::TFieldType FieldType) override;
    void CheckRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax,
                   int32_t DBScaleMin, int32_t DBScaleMax, db::TFieldType FieldType, int32_t FieldLength,
                   int32_t FieldScale) override;
    void CloseOwner() override;

private:
    IDADataSetLink* Link() const;
    rtl::TComponent* FOwner;
};

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

// =============================================================================================
// Connection and transaction components

class TCustomDAConnection;
class TDATransaction;

inline constexpr const char* DBAccessUnit = "DBAccess";
inline constexpr const char* SInvalidParamsArray =
    "Invalid Params array. Valid format: <Name1>,<Value1>[,<Name2>,<Value2>[...]]";
inline constexpr const char* SCannotConnect = "Cannot connect to database";
inline constexpr const char* SMultipleTransactionsNotSupported = "Multiple transactions are not supported by the database";

// The connect dialog a user-interface unit may install: asked for the login when the connection
// needs a prompt; false refuses the connect. None is installed in this system.
using TConnectDialogHook = std::function<bool(TCustomDAConnection* Connection)>;
extern TConnectDialogHook DefConnectDialogHook;

// What a lost connection's owner wants: give up, reconnect, or reconnect and repeat the operation.
enum TRetryMode { rmRaise, rmReconnect, rmReconnectExecute };
enum TTransactionType { ttNative, ttMTS };

using TDAConnectionErrorEvent = std::function<void(rtl::TObject* Sender, EDAError& E, bool& Fail)>;
using TConnectionLostEvent = std::function<void(rtl::TObject* Sender, rtl::TComponent* Component,
                                                TConnLostCause ConnLostCause, TRetryMode& RetryMode)>;
using TDATransactionErrorEvent = std::function<void(rtl::TObject* Sender, EDAError& E, bool& Fail)>;

// What the connection and its transactions ask of a registered client: a dataset, metadata or
// SQL command component implements it. Clients without it are only told of connects.
class IDAConnectionClient {
public:
    virtual ~IDAConnectionClient() = default;
    // True for an SQL command component; false for a dataset or metadata component.
    virtual bool ClientIsSQL() const = 0;
    // A dataset: its store holds a prepared statement. An SQL component: it is prepared.
    virtual bool ClientPrepared() = 0;
    // An SQL component whose command is running.
    virtual bool ClientExecuting() = 0;
    // A dataset that is open without FetchAll and has not fetched every row.
    virtual bool ClientFetchPending() = 0;
    // A dataset whose statement returns rows.
    virtual bool ClientIsQuery() = 0;
    // The provider connection the client's command or record set works on (null: none).
    virtual void ClientSetIConnection(TCRConnection* Value) = 0;
    // The connection goes away: the client drops it (and unregisters itself).
    virtual void ClientClearConnection() = 0;
    // The transaction the client runs its statements in; null for the connection's default.
    virtual TDATransaction* ClientTransaction() = 0;
    // The client's cursor ends with the transaction: it disconnects.
    virtual void ClientDisconnect() = 0;
    // After a fatal error: a record set forgets its described fields, an SQL component unprepares.
    virtual void ClientResetAfterFatalError() = 0;
    // The named transaction is being freed.
    virtual void ClientForgetTransaction(TDATransaction* Transaction) = 0;
};

// The connection's internal SQL component, through which ExecSQL and ExecProc run: the SQL command
// component (TCustomDASQL) returned from TCustomDAConnection::CreateSQL.
class IDAConnectionSQL {
public:
    virtual ~IDAConnectionSQL() = default;
    virtual void SetDebug(bool Value) = 0;
    // Clears the text, then sets it; the parameters are scanned again.
    virtual void SetSQLText(const AnsiString& Text) = 0;
    // Makes the text a call of the stored procedure with its parameters described.
    virtual void PrepareStoredProc(const AnsiString& Name) = 0;
    virtual db::TParams* Params() = 0;
    // The parameter of type result; null when none.
    virtual db::TParam* FindResultParam() = 0;
    // One iteration.
    virtual void Execute() = 0;
};

class TDAConnections : public rtl::TList {
    RTL_CLASS(TDAConnections, rtl::TList)
public:
    TCustomDAConnection* Items(int Index) const { return static_cast<TCustomDAConnection*>(TList::Items(Index)); }
};

class TDATransactions : public rtl::TList {
    RTL_CLASS(TDATransactions, rtl::TList)
public:
    TDATransaction* Items(int Index) const { return static_cast<TDATransaction*>(TList::Items(Index)); }
};

class TCustomDADataSet;
class TDAMetaData;

// A provider property the object may not know: false (and Value untouched) then.
template <class T>
bool TryGetProp(T* Obj, int Prop, Variant& Value) {
    if (!Obj) return false;
    try {
        return Obj->GetProp(Prop, Value) && !Value.IsEmpty() && !Value.IsNull();
    } catch (const rtl::EAssertionFailed&) {
        return false;
    }
}

// The connection component base: login data and options, the provider connection, the clients
// that use it, its transactions and the count of operations that need it open.
class TCustomDAConnection : public db::TCustomConnection, public IDAConnectionLink {
    RTL_CLASS(TCustomDAConnection, db::TCustomConnection)
public:
    explicit TCustomDAConnection(rtl::TComponent* Owner);
    ~TCustomDAConnection() override;
    // Creates the internal default transaction, the options and the mapping rules.
    void AfterConstruction() override;
    // Disconnects and releases transactions and clients while the object is still whole.
    void BeforeDestruction() override;

    // --- platform ---
    void SetConnected(bool Value) override;
    void RegisterClient(rtl::TObject* Client, db::TConnectChangeEvent Event = nullptr) override;
    void UnRegisterClient(rtl::TObject* Client) override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;
    // Connects a connection read as connected (run time, or KeepDesignConnected).
    void Loaded() override;

    // --- class queries; the base belongs to no provider ---
    virtual void ClearRefs();
    virtual const TCRConnectionClass& GetIConnectionClass() const;
    virtual const TCRCommandClass& GetICommandClass() const;
    virtual const TCRRecordSetClass& GetIRecordSetClass() const;
    virtual const TCRMetaDataClass& GetIMetaDataClass() const;
    virtual bool IsMultipleTransactionsSupported() const { return false; }
    // Creates or takes the provider connection; the base installs none.
    virtual void CreateIConnection() {}
    virtual void SetIConnection(TCRConnection* Value);
    virtual TDAConnectionMapRules* CreateDataTypeMap();
    // The class whose monitor traces this connection and its clients.
    virtual const rtl::ClassRef& SQLMonitorClass() const;
    virtual void DisconnectTransactions();
    // Holds the connection open for one operation of a client.
    virtual void InternalConnect();
    virtual void InternalDisconnect();
    virtual AnsiString GetServerForConnect() { return FServer; }
    // Connected is stored only while connected and not in disconnected mode.
    virtual bool IsConnectedStored();
    virtual bool NeedPrompt();
    // Both do nothing and answer 0 without LocalFailover.
    virtual int PushOperation(TConnLostCause Cause, bool AllowFailOver = true);
    virtual TConnLostCause PopOperation();
    virtual void ResetOnFatalError();
    virtual void RestoreAfterFailover();
    virtual bool IsFailOverAllowed();
    virtual TConnLostCause DetectConnLostCause(rtl::TComponent* Component);
    // The provider connection's error hook.
    virtual void DoError(rtl::Exception* E, bool* Fail, TConnLostCause& Cause, int RetryCount, bool& Reexecute,
                         bool& Reconnect);
    virtual AnsiString OptionalText() { return {}; }
    virtual void OptionalHook() {}
    virtual void SetServer(const AnsiString& Value);
    virtual AnsiString GetCurrentSchema() { return {}; }
    virtual bool DetectInTransaction(bool CanTakeDefault = false);
    virtual bool InTransaction() { return DetectInTransaction(false); }
    virtual TDATransaction* UsedTransaction();
    virtual void CheckSQL();
    virtual void AssignConnect(TCustomDAConnection* Source);
    virtual TDAConnectionOptions* CreateOptions();
    virtual TPoolingOptions* CreatePoolingOptions();
    virtual void AddTransaction(TDATransaction* Transaction);
    virtual void RemoveTransaction(TDATransaction* Transaction);
    virtual void CommitRetaining();
    virtual void RollbackRetaining();
    virtual void Savepoint(const AnsiString& Name);
    virtual void RollbackToSavepoint(const AnsiString& Name);
    virtual void ReleaseSavepoint(const AnsiString& Name);
    // Values go to the parameters in order; the result parameter's value, else Null.
    virtual Variant ExecSQL(const AnsiString& Text, const std::vector<Variant>& Params = {});
    // Name, value, name, value...; the result parameter's value, else Empty.
    virtual Variant ExecSQLEx(const AnsiString& Text, const std::vector<Variant>& Params);
    virtual Variant ExecProc(const AnsiString& Name, const std::vector<Variant>& Params = {});
    virtual Variant ExecProcEx(const AnsiString& Name, const std::vector<Variant>& Params);
    virtual void GetTableNames(rtl::TStrings* List, bool AllTables = false);
    virtual void GetDatabaseNames(rtl::TStrings* List);
    virtual void GetStoredProcNames(rtl::TStrings* List, bool AllProcs = false);
    virtual void StartTransaction();
    virtual void Commit();
    virtual void Rollback();
    virtual TDATransaction* CreateTransaction();
    // The internal SQL component: an SQL command component bound to this connection.
    virtual IDAConnectionSQL* CreateSQL();
    // A metadata dataset bound to this connection; the caller owns it.
    virtual TDAMetaData* CreateMetaData();
    // A query dataset bound to this connection; the caller owns it.
    virtual TCustomDADataSet* CreateDataSet();
    // The service class of this connection's datasets; a provider names its own.
    virtual const store::TDataSetServiceClass& GetDataSetServiceClass() const;
    // The provider's metadata reader the metadata datasets use.
    virtual TCRMetaData* CreateIMetaData();
    // Applies the cached updates of the datasets in their update transactions.
    virtual void ApplyUpdatesFor(const std::vector<TCustomDADataSet*>& DataSets);
    virtual void ApplyUpdates();

    // --- non-virtual ---
    void Connect() { SetConnected(true); }
    void Disconnect() { SetConnected(false); }
    void FreeIConnection();
    TDATransaction* DefaultTransaction() const;
    void SetDefaultTransaction(TDATransaction* Value);
    TDATransaction* InternalTransaction() const noexcept { return FInternalTransaction; }
    // For the transaction component: the provider connection's auto-commit off, and back.
    void SuspendAutoCommit();
    void RestoreAutoCommit();

    TCRConnection* IConnection() const noexcept { return FIConnection; }
    const AnsiString& Username() const noexcept { return FUsername; }
    void SetUsername(const AnsiString& Value);
    const AnsiString& Password() const noexcept { return FPassword; }
    void SetPassword(const AnsiString& Value);
    const AnsiString& Server() const noexcept { return FServer; }
    bool Pooling() const noexcept { return FPooling; }
    void SetPooling(bool Value);
    bool Debug() const noexcept { return FDebug; }
    void SetDebug(bool Value);
    bool AutoCommit() const noexcept { return FAutoCommit; }
    void SetAutoCommit(bool Value);
    bool ConvertEOL() const noexcept { return FConvertEOL; }
    void SetConvertEOL(bool Value);
    TDAConnectionOptions* Options() const noexcept { return FOptions.get(); }
    TPoolingOptions* PoolingOptions() const noexcept { return FPoolingOptions.get(); }
    TDAConnectionMapRules* DataTypeMap() const noexcept { return FDataTypeMap.get(); }
    void SetDataTypeMap(TDAConnectionMapRules* Value);
    int ConnectCount() const noexcept { return FConnectCount; }
    int TransactionCount() const { return FTransactions->Count(); }
    TDATransaction* Transactions(int Index) const { return FTransactions->Items(Index); }
    int SQLClientCount() const noexcept { return static_cast<int>(FSQLs.size()); }
    int OperationsStackDepth() const noexcept { return FOperationsStackLen; }
    int OperationsStackCapacity() const noexcept { return static_cast<int>(FOperationsStack.size()); }
    bool PromptOnCountedConnect() const noexcept { return FConnectCountPrompt; }
    IDAConnectionSQL* InternalSQL() const noexcept { return FCommand.get(); }

    // --- IDAConnectionLink ---
    void LinkDisconnect() override { Disconnect(); }
    void LinkSetIConnectionProp(int Prop, const Variant& Value) override;
    const store::TFieldTypeMap& LinkFieldTypeMap() override { return TDAFieldTypeMap::Instance(); }

    TDAConnectionErrorEvent OnError;
    TConnectionLostEvent OnConnectionLost;

protected:
    bool GetConnected() const override;
    // The platform's connect and disconnect steps.
    void DoConnect() override { PerformConnect(); }
    void DoDisconnect() override { PerformDisconnect(); }
    virtual void PerformConnect();
    virtual void PerformDisconnect();
    // Copies login data, options and events into another connection.
    void AssignTo(rtl::TPersistent* Dest) override;
    bool Reading() const;
    // The client's connection interface, null when it has none.
    static IDAConnectionClient* ClientLink(rtl::TObject* Client);

    rtl::TOwnedPtr<TDATransactions> FTransactions;
    bool FAutoCommit = true;
    bool FDisconnectingOnFatal = false;
    std::recursive_mutex FLock;
    TDATransaction* FDefaultTransaction = nullptr;
    TDATransaction* FInternalTransaction = nullptr;
    int FConnectCount = 0;
    std::vector<rtl::TObject*> FSQLs;
    TCRConnection* FIConnection = nullptr;
    bool FConnectCountPrompt = true;
    std::vector<uint16_t> FOperationsStack;
    int FOperationsStackLen = 0;
    std::unique_ptr<IDAConnectionSQL> FCommand;

    AnsiString FUsername;
    AnsiString FPassword;
    AnsiString FServer;
    bool FPooling = false;
    bool FDebug = false;
    bool FConvertEOL = false;
    rtl::TOwnedPtr<TDAConnectionOptions> FOptions;
    rtl::TOwnedPtr<TPoolingOptions> FPoolingOptions;
    rtl::TOwnedPtr<TDAConnectionMapRules> FDataTypeMap;

private:
    void ConnectSteps();
    void ReleaseITransactions();
    Variant ExecuteForResult(bool NullWhenNone);
    void SetPairs(const std::vector<Variant>& Params, bool UnbindInputs);
    template <class F>
    void ReadNames(rtl::TStrings* List, const AnsiString& Kind, bool Local, bool Counted, F&& AddRow);
    // The datasets among the clients.
    std::vector<TCustomDADataSet*> ClientDataSets();
};

// One database transaction over one or more connection components, with the automatic part that
// lets statements start it implicitly and commit after themselves.
class TDATransaction : public rtl::TComponent {
    RTL_CLASS(TDATransaction, rtl::TComponent)
public:
    explicit TDATransaction(rtl::TComponent* Owner);
    ~TDATransaction() override;
    // Closes the transaction and lets go of its connections while the object is whole.
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // Native: the class of the default connection's provider (the universal transaction asks its
    // provider); MTS: the distributed transaction.
    virtual const TCRTransactionClass& GetITransactionClass();
    virtual void SetITransaction(TCRTransaction* Value);
    virtual bool GetActive();
    virtual void CloseTransaction(bool Force = false);
    virtual void AutoStart();
    virtual void AutoCommit(bool AutoCommitFlag);
    virtual void AutoEnd();
    virtual bool CanAutoCommitExplicit() { return true; }
    virtual TCustomDAConnection* GetDefaultConnection() const;
    virtual void CommitRetaining();
    virtual void RollbackRetaining();
    virtual void Savepoint(const AnsiString& Name);
    virtual void ReleaseSavepoint(const AnsiString& Name);
    virtual void RollbackToSavepoint(const AnsiString& Name);
    virtual void AddConnection(TCustomDAConnection* Connection);
    virtual void RemoveConnection(TCustomDAConnection* Connection);
    virtual void StartTransaction();
    virtual void Commit();
    virtual void Rollback();

    bool Active() { return GetActive(); }
    // "Can't perform operation on inactive transaction" / "... on active transaction".
    void CheckActive();
    void CheckInactive();
    // The active test the connection asks; the flag is accepted for the connection's default
    // transaction.
    bool DetectInTransaction(bool CanTakeDefault);

    TTransactionType TransactionType() const noexcept { return FTransactionType; }
    void SetTransactionType(TTransactionType Value);
    TCRIsolationLevel IsolationLevel() const noexcept { return FIsolationLevel; }
    void SetIsolationLevel(TCRIsolationLevel Value);
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool Value);
    TCRTransactionAction DefaultCloseAction() const noexcept { return FDefaultCloseAction; }
    void SetDefaultCloseAction(TCRTransactionAction Value) noexcept { FDefaultCloseAction = Value; }
    TCustomDAConnection* DefaultConnection() const noexcept { return FDefaultConnection; }
    void SetDefaultConnection(TCustomDAConnection* Value);
    int ConnectionsCount() const { return FConnections->Count(); }
    TCustomDAConnection* Connections(int Index) const { return FConnections->Items(Index); }
    TCRTransaction* ITransaction() const noexcept { return FITransaction; }
    bool IsInternal() const noexcept { return FIsInternal; }
    void SetIsInternal(bool Value) noexcept { FIsInternal = Value; }
    int TrUsers() const noexcept { return FTrUsers; }
    int PendingChanges() const noexcept { return FPendingChanges; }
    bool ExplicitlyStarted() const noexcept { return FExplicitlyStarted; }
    bool Prepared() const noexcept { return FPrepared; }

    // Makes the connections ready and the provider transaction set up.
    void PrepareConnections(bool ForSavepoint = false);
    void ResetAutoState();
    // Called by the connection after a fatal error and after a reconnect.
    void ResetOnFatalError();
    void RestoreAfterFailover();
    // Drops the provider transaction (the connection's own one is only forgotten).
    void FreeITransaction();
    // The connection releases its provider connection: detach it (or forget the connection's own).
    void ReleaseIConnection(TCustomDAConnection* Connection);

    TDATransactionErrorEvent OnError;
    rtl::TNotifyEvent OnStart;
    rtl::TNotifyEvent OnCommit;
    rtl::TNotifyEvent OnRollback;

protected:
    void DisconnectClients();
    void DoError(rtl::Exception* E, bool* Fail);
    // Releases the counted connects this transaction made.
    void ReleaseConnections();
    std::vector<TCustomDAConnection*> FCountedConnections;
    bool OwnsITransaction() const;
    rtl::TComponent* TraceObject() const;

    rtl::TOwnedPtr<TDAConnections> FConnections;
    TCustomDAConnection* FDefaultConnection = nullptr;
    TCRTransaction* FITransaction = nullptr;
    TTransactionType FTransactionType = ttNative;
    TCRIsolationLevel FIsolationLevel = ilReadCommitted;
    bool FReadOnly = false;
    TCRTransactionAction FDefaultCloseAction = taRollback;
    int32_t FTrUsers = 0;
    int32_t FPendingChanges = 0;
    bool FExplicitlyStarted = false;
    bool FImplicitEnd = false;
    int32_t FSavedTrUsers = 0;
    bool FPrepared = false;
    bool FClosingOnError = false;
    bool FIsInternal = false;
    bool FDesignCreated = false;
};

// =============================================================================================
// SQL command, dataset and metadata components

class TCustomDASQL;
class TCustomDADataSet;
class TDAMetaData;

inline constexpr const char* SConnectionNotDefined = "Connection is not defined";
inline constexpr const char* STransactionNotAssigned = "Transaction not assigned";
inline constexpr const char* SInvalidFetchRows = "FetchRows must be 1..65535";
inline constexpr const char* SNotOwnedByConnection = "Cannot update, %s is not owned by %s";
inline constexpr const char* SStoredProcNotDefined = "StoredProcName must be defined";

using TBeforeExecuteEvent = std::function<void(rtl::TObject* Sender)>;
using TAfterExecuteEvent = std::function<void(rtl::TObject* Sender, bool Result)>;
using TBeforeFetchEvent = std::function<void(TCustomDADataSet* DataSet, bool& Cancel)>;
using TAfterFetchEvent = std::function<void(TCustomDADataSet* DataSet)>;

// Runs a statement through a provider command until it succeeds, meets an error that is not a
// fail-over, or has been repeated as often as the connection reconnects; the last error is raised.
void ExecuteWithFailover(TCustomDAConnection* Connection, TConnLostCause Cause, const std::function<void()>& Body,
                         const std::function<void()>& AfterRestore = nullptr);
// How often an operation is repeated after a fail-over before the error is given up.
inline constexpr int MaxFailoverRetries = 3;

// The SQL command component: SQL text, parameters and macros over one provider command. A
// dataset owns one to hold its text, parameters and macros; the command is then the dataset's.
class TCustomDASQL : public rtl::TComponent,
                     public IDAConnectionClient,
                     public IDAConnectionSQL,
                     public IMacrosOwner {
    RTL_CLASS(TCustomDASQL, rtl::TComponent)
public:
    explicit TCustomDASQL(rtl::TComponent* Owner);
    ~TCustomDASQL() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // --- text, parameters, macros ---
    const AnsiString& SQL() const noexcept { return FSQL; }
    // A different text unprepares, rescans macros and derives the parameters again.
    void SetSQL(const AnsiString& Value);
    TDAParams* Params() override { return FParams.get(); }
    TMacros* Macros() const noexcept { return FMacros.get(); }
    bool ParamCheck() const noexcept { return FParamCheck; }
    void SetParamCheck(bool Value);
    TDAParam* FindParam(const AnsiString& Name) const { return FParams->FindParam(Name); }
    TDAParam* ParamByName(const AnsiString& Name) const { return FParams->ParamByName(Name); }
    // The text without trailing blanks and control characters, macros expanded.
    virtual AnsiString GetFinalSQL();
    // The command takes the owner's final text and the parameters are derived from it again.
    virtual void SQLChanged();
    // Replaces Params by the parameters found in Text while no command holds it: the connection's
    // dialect when there is a connection, else the generic lexer.
    virtual void ScanParams(const AnsiString& Text, TDAParams* Params);
    void ScanMacros();

    // --- connection ---
    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* Value);
    TDATransaction* Transaction() const noexcept { return FTransaction; }
    void SetTransaction(TDATransaction* Value);
    virtual TCustomDAConnection* UsedConnection() const;
    virtual TDATransaction* UsedTransaction() const;
    virtual void BeginConnection(bool Counted = true);
    virtual void EndConnection();
    void CheckConnection() { BeginConnection(false); }

    // --- execution ---
    TCRCommand* ICommand() const;
    bool Prepared() const;
    virtual void Prepare();
    virtual void UnPrepare();
    void Execute() override { ExecuteIters(1); }
    virtual void ExecuteIters(int Iters);
    bool Executing() const;
    int RowsAffected() const;
    int64_t LastInsertId() const noexcept { return FLastInsertId; }
    // Parameters into the command's descriptors, with their values when asked.
    virtual void WriteParams(bool WithValues = true);
    virtual void ReadOutParams();
    TDAParam* FindResultParam() override;
    void PrepareStoredProc(const AnsiString& Name) override { PrepareStoredProc(Name, true, false); }
    void PrepareStoredProc(const AnsiString& Name, bool NeedDescribe, bool IsQuery);
    void SetSQLText(const AnsiString& Text) override;

    bool Debug() const noexcept { return FDebug; }
    void SetDebug(bool Value) override { FDebug = Value; }
    bool AutoCommit() const noexcept { return FAutoCommit; }
    void SetAutoCommit(bool Value);
    bool TraceSuppressed() const noexcept { return FTraceSuppressed; }
    void SetTraceSuppressed(bool Value) noexcept { FTraceSuppressed = Value; }
    TCustomDADataSet* DataSet() const noexcept { return FDataSet; }

    TBeforeExecuteEvent BeforeExecute;
    TAfterExecuteEvent AfterExecute;

    // --- IDAConnectionClient ---
    bool ClientIsSQL() const override { return true; }
    bool ClientPrepared() override { return Prepared(); }
    bool ClientExecuting() override { return Executing(); }
    bool ClientFetchPending() override { return false; }
    bool ClientIsQuery() override { return false; }
    void ClientSetIConnection(TCRConnection* Value) override;
    void ClientClearConnection() override { SetConnection(nullptr); }
    TDATransaction* ClientTransaction() override { return FTransaction; }
    void ClientDisconnect() override;
    void ClientResetAfterFatalError() override;
    void ClientForgetTransaction(TDATransaction* Transaction) override;

    // --- IMacrosOwner ---
    bool MacrosOwnerActive() override { return false; }
    AnsiString MacrosOwnerSQLText() override { return FSQL; }
    void MacrosChanged() override { SQLChanged(); }

protected:
    friend class TCustomDADataSet;
    void DoAfterExecute(bool Result);
    void CheckICommand();
    void FreeICommand();
    void SetNativeSQL();
    // The parameter collection, made in the second phase.
    virtual TDAParams* CreateParams();
    // Parameters rebuilt from the command's descriptors; values kept by name.
    virtual void CreateParamsFromCommand();
    void ConnectChange(rtl::TObject* Sender, bool Connecting);
    void Release();

    AnsiString FSQL;
    rtl::TOwnedPtr<TDAParams> FParams;
    rtl::TOwnedPtr<TMacros> FMacros;
    bool FParamCheck = true;
    bool FDebug = false;
    bool FAutoCommit = true;
    bool FTraceSuppressed = false;
    TCustomDAConnection* FConnection = nullptr;
    TDATransaction* FTransaction = nullptr;
    TCustomDADataSet* FDataSet = nullptr;
    TCRCommand* FICommand = nullptr;  // owned unless the component belongs to a dataset
    AnsiString FStoredProcName;
    bool FStoredProcIsQuery = false;
    int64_t FLastInsertId = 0;
    // Held only while the update machinery assigns a statement it built itself.
    friend class TDBAccessUtils;
    bool FNoMacroScan = false;
    bool FKeepParams = false;
    bool FReleased = false;
};

enum TCompressBlobMode { cbNone, cbClient, cbServer, cbClientServer };

// The options of a query dataset.
class TDADataSetOptions : public rtl::TPersistent {
    RTL_CLASS(TDADataSetOptions, rtl::TPersistent)
public:
    explicit TDADataSetOptions(TCustomDADataSet* Owner) : FOwner(Owner) {}

    bool SetFieldsReadOnly() const noexcept { return FSetFieldsReadOnly; }
    void SetSetFieldsReadOnly(bool Value) noexcept { FSetFieldsReadOnly = Value; }
    bool RequiredFields() const noexcept { return FRequiredFields; }
    void SetRequiredFields(bool Value);
    bool StrictUpdate() const noexcept { return FStrictUpdate; }
    void SetStrictUpdate(bool Value) noexcept { FStrictUpdate = Value; }
    bool NumberRange() const noexcept { return FNumberRange; }
    void SetNumberRange(bool Value);
    bool QueryRecCount() const noexcept { return FQueryRecCount; }
    void SetQueryRecCount(bool Value) noexcept { FQueryRecCount = Value; }
    bool AutoPrepare() const noexcept { return FAutoPrepare; }
    void SetAutoPrepare(bool Value);
    bool ReturnParams() const noexcept { return FReturnParams; }
    void SetReturnParams(bool Value) noexcept { FReturnParams = Value; }
    bool TrimFixedChar() const noexcept { return FTrimFixedChar; }
    void SetTrimFixedChar(bool Value);
    bool TrimVarChar() const noexcept { return FTrimVarChar; }
    void SetTrimVarChar(bool Value);
    bool SetEmptyStrToNull() const noexcept { return FSetEmptyStrToNull; }
    void SetSetEmptyStrToNull(bool Value);
    bool LongStrings() const noexcept { return FLongStrings; }
    void SetLongStrings(bool Value);
    bool RemoveOnRefresh() const noexcept { return FRemoveOnRefresh; }
    void SetRemoveOnRefresh(bool Value) noexcept { FRemoveOnRefresh = Value; }
    bool FlatBuffers() const noexcept { return FFlatBuffers; }
    void SetFlatBuffers(bool Value);
    bool QuoteNames() const noexcept { return FQuoteNames; }
    void SetQuoteNames(bool Value);
    int DetailDelay() const noexcept { return FDetailDelay; }
    void SetDetailDelay(int Value);
    TCompressBlobMode CompressBlobMode() const noexcept { return FCompressBlobMode; }
    void SetCompressBlobMode(TCompressBlobMode Value);
    bool FullRefresh() const noexcept { return FFullRefresh; }
    void SetFullRefresh(bool Value) noexcept { FFullRefresh = Value; }
    bool LocalMasterDetail() const noexcept { return FLocalMasterDetail; }
    void SetLocalMasterDetail(bool Value);
    bool CacheCalcFields() const noexcept { return FCacheCalcFields; }
    void SetCacheCalcFields(bool Value);
    bool FieldsOrigin() const noexcept { return FFieldsOrigin; }
    void SetFieldsOrigin(bool Value);
    bool DefaultValues() const noexcept { return FDefaultValues; }
    void SetDefaultValues(bool Value);
    bool ExtendedFieldsInfo() const noexcept { return FExtendedFieldsInfo; }
    void SetExtendedFieldsInfo(bool Value);
    int UpdateBatchSize() const noexcept { return FUpdateBatchSize; }
    void SetUpdateBatchSize(int Value) noexcept { FUpdateBatchSize = Value; }
    bool UpdateAllFields() const noexcept { return FUpdateAllFields; }
    void SetUpdateAllFields(bool Value) noexcept { FUpdateAllFields = Value; }
    bool PrepareUpdateSQL() const noexcept { return FPrepareUpdateSQL; }
    void SetPrepareUpdateSQL(bool Value) noexcept { FPrepareUpdateSQL = Value; }
    bool EnableBCD() const noexcept { return FEnableBCD; }
    void SetEnableBCD(bool Value);
    bool EnableFMTBCD() const noexcept { return FEnableFMTBCD; }
    void SetEnableFMTBCD(bool Value);

    TPersistent* GetOwner() override;

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

private:
    // Inactive-only options: the dataset must be closed; false when nothing changes.
    bool CheckInactiveChange(bool Old, bool Value);
    void SetRecordSetProp(int Prop, const Variant& Value);
    void SetCommandProp(int Prop, const Variant& Value);

    TCustomDADataSet* FOwner;
    bool FSetFieldsReadOnly = true;
    bool FRequiredFields = true;
    bool FStrictUpdate = true;
    bool FNumberRange = false;
    bool FQueryRecCount = false;
    bool FAutoPrepare = false;
    bool FReturnParams = false;
    bool FTrimFixedChar = true;
    bool FTrimVarChar = false;
    bool FSetEmptyStrToNull = false;
    bool FLongStrings = true;
    bool FRemoveOnRefresh = true;
    bool FFlatBuffers = false;
    bool FQuoteNames = false;
    int FDetailDelay = 0;
    TCompressBlobMode FCompressBlobMode = cbNone;
    bool FFullRefresh = false;
    bool FLocalMasterDetail = false;
    bool FCacheCalcFields = false;
    bool FFieldsOrigin = false;
    bool FDefaultValues = false;
    bool FExtendedFieldsInfo = false;
    int FUpdateBatchSize = 1;
    bool FUpdateAllFields = false;
    bool FPrepareUpdateSQL = false;
    bool FEnableBCD = false;
    bool FEnableFMTBCD = false;
};

// Which fields of a dataset are stored encrypted, and the encryptor that encrypts them on the way
// to the server and decrypts them on fetch.
class TDAEncryptionOptions : public rtl::TPersistent {
    RTL_CLASS(TDAEncryptionOptions, rtl::TPersistent)
public:
    explicit TDAEncryptionOptions(TCustomDADataSet* Owner) : FOwner(Owner) {}

    rtl::TComponent* Encryptor() const noexcept { return FEncryptor; }
    // A different encryptor closes and unprepares the dataset. The component must be a field
    // encryptor ("Invalid property value" otherwise).
    void SetEncryptor(rtl::TComponent* Value);
    // The names of the encrypted fields, as the provider splits a name list.
    const AnsiString& Fields() const noexcept { return FFields; }
    // Only while the dataset is closed.
    void SetFields(const AnsiString& Value);
    // The encryptor as the record set calls it; null without one.
    TCRFieldEncryptor* FieldEncryptor() const noexcept { return FFieldEncryptor; }

    TPersistent* GetOwner() override;

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

private:
    friend class TCustomDADataSet;
    // The encryptor component is being freed.
    void EncryptorRemoved();

    TCustomDADataSet* FOwner;
    rtl::TComponent* FEncryptor = nullptr;
    TCRFieldEncryptor* FFieldEncryptor = nullptr;
    AnsiString FFields;
};

// The encryption a parameter bound from a record descriptor must apply: the descriptor's field
// encryptor, or none.
TEncryptValueFunc FieldEncryptValueFunc(const store::TFieldDesc* Desc);
// Gives a query that reads rows of DataSet back the dataset's encryptor for the dataset's
// encrypted fields, under their names and under the aliases of a generated refresh.
void ShareFieldEncryption(TCustomDADataSet* DataSet, TCustomDADataSet* RowQuery);

class TCustomDAUpdateSQL;
class TDADataSetUpdater;
// When a record is read back from the server besides the explicit refresh.
enum TRefreshOption { roAfterInsert, roAfterUpdate, roBeforeEdit };
using TRefreshOptions = rtl::TSet<TRefreshOption>;
// lmPessimistic locks a record when its edit starts, lmOptimistic just before it is written.
enum TLockMode { lmNone, lmPessimistic, lmOptimistic };

// (dataset, statement types as bits, the update statement's parameters)
using TUpdateExecuteEvent = std::function<void(TCustomDADataSet* Sender, uint16_t StatementTypes, TDAParams* Params)>;

// The provider-neutral query dataset: a memory dataset filled by a provider record set over a
// connection component, with SQL text, parameters and macros held by an internal SQL component.
class TCustomDADataSet : public store::TMemDataSet,
                         public IDAConnectionClient,
                         public IDADataSetLink,
                         public IMacrosOwner {
    RTL_CLASS(TCustomDADataSet, store::TMemDataSet)
public:
    explicit TCustomDADataSet(rtl::TComponent* Owner);
    ~TCustomDADataSet() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // --- SQL, parameters, macros ---
    TCustomDASQL* InternalSQL() const noexcept { return FDataSQL; }
    const AnsiString& SQL() const noexcept { return FDataSQL->SQL(); }
    void SetSQL(const AnsiString& Value) { FDataSQL->SetSQL(Value); }
    TDAParams* Params() const { return FDataSQL->Params(); }
    TMacros* Macros() const { return FDataSQL->Macros(); }
    TDAParam* ParamByName(const AnsiString& Name) const { return FDataSQL->ParamByName(Name); }
    TMacro* MacroByName(const AnsiString& Name) const { return Macros()->MacroByName(Name); }
    // The executed text: the SQL's final text with FilterSQL and the master/detail condition.
    virtual AnsiString GetFinalSQL();
    // The dialect's clause operations (the command's parser).
    virtual AnsiString AddWhere(const AnsiString& SQL, const AnsiString& Condition);
    virtual AnsiString GetWhere(const AnsiString& SQL);
    virtual AnsiString GetFromPart(const AnsiString& SQL);
    const AnsiString& FilterSQL() const noexcept { return FFilterSQL; }
    virtual void SetFilterSQL(const AnsiString& Value);

    // --- connection ---
    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* Value);
    TDATransaction* Transaction() const noexcept { return FTransaction; }
    void SetTransaction(TDATransaction* Value);
    TDATransaction* UpdateTransaction() const noexcept { return FUpdateTransaction; }
    void SetUpdateTransaction(TDATransaction* Value);
    virtual TCustomDAConnection* UsedConnection() const { return FConnection; }
    virtual TDATransaction* UsedTransaction() const;
    virtual TDATransaction* UsedUpdateTransaction() const;
    virtual void BeginConnection(bool Counted = true);
    virtual void EndConnection();
    void CheckConnection() { BeginConnection(false); }
    // Hard: closed and unprepared; soft: the record set only forgets its described fields.
    virtual void Disconnect(bool Hard = true);

    // --- record set ---
    void CreateIRecordSet() override;
    void SetIRecordSet(std::unique_ptr<store::TData> Value) override;
    TCRRecordSet* ICRRecordSet() const noexcept { return FIRecordSetCR; }
    TCRCommand* ICommand() const noexcept { return FICommand; }
    void CheckRecordSet();
    void Prepare() override;
    void UnPrepare() override;
    void ReopenRecordSet() override;
    virtual void Execute();
    bool IsQuery();
    bool FetchFinished();
    bool Executing();
    int RowsAffected() const noexcept { return FRowsAffected; }
    int64_t LastInsertId() const noexcept { return FLastInsertId; }
    // Stops a running statement and fetch.
    void BreakExec();
    // The store's data type code of a field ("Field %s not found").
    store::TMemDataType GetDataType(const WideString& FieldName);
    // The store's descriptor number FieldNo counted from 1; null for 0 or without a record set.
    store::TFieldDesc* GetFieldDesc(int FieldNo);

    // --- settings ---
    int FetchRows() const noexcept { return FFetchRows; }
    void SetFetchRows(int Value);
    virtual bool GetFetchAll() const { return FFetchAll; }
    virtual void SetFetchAll(bool Value);
    bool UniDirectional() const noexcept { return FUniDirectional; }
    void SetUniDirectional(bool Value);
    bool ReadOnly() const noexcept { return FReadOnly; }
    virtual void SetReadOnly(bool Value);
    bool AutoCommit() const noexcept { return FAutoCommit; }
    void SetAutoCommit(bool Value);
    bool Debug() const noexcept { return FDebug; }
    void SetDebug(bool Value) noexcept { FDebug = Value; }
    const AnsiString& KeyFields() const noexcept { return FKeyFields; }
    void SetKeyFields(const AnsiString& Value);
    // The table that generated statements write; empty: the query's first table.
    const AnsiString& UpdatingTable() const noexcept { return FUpdatingTable; }
    void SetUpdatingTable(const AnsiString& Value);
    TCustomDAUpdateSQL* UpdateObject() const noexcept { return FUpdateObject; }
    void SetUpdateObject(TCustomDAUpdateSQL* Value);
    // The user's statements that replace generated ones (SQLInsert, SQLUpdate, SQLDelete, SQLLock,
    // SQLRefresh); the other statement types keep none.
    const AnsiString& UpdateSQL(TStatementType StatementType) const { return FUpdateSQL[StatementType]; }
    void SetUpdateSQL(TStatementType StatementType, const AnsiString& Value);
    const AnsiString& SQLInsert() const { return FUpdateSQL[stInsert]; }
    void SetSQLInsert(const AnsiString& Value) { SetUpdateSQL(stInsert, Value); }
    const AnsiString& SQLUpdate() const { return FUpdateSQL[stUpdate]; }
    void SetSQLUpdate(const AnsiString& Value) { SetUpdateSQL(stUpdate, Value); }
    const AnsiString& SQLDelete() const { return FUpdateSQL[stDelete]; }
    void SetSQLDelete(const AnsiString& Value) { SetUpdateSQL(stDelete, Value); }
    const AnsiString& SQLLock() const { return FUpdateSQL[stLock]; }
    void SetSQLLock(const AnsiString& Value) { SetUpdateSQL(stLock, Value); }
    const AnsiString& SQLRefresh() const { return FUpdateSQL[stRefresh]; }
    void SetSQLRefresh(const AnsiString& Value) { SetUpdateSQL(stRefresh, Value); }
    TRefreshOptions RefreshOptions() const noexcept { return FRefreshOptions; }
    void SetRefreshOptions(TRefreshOptions Value);
    TLockMode LockMode() const noexcept { return FLockMode; }
    void SetLockMode(TLockMode Value) noexcept { FLockMode = Value; }
    bool DMLRefresh() const noexcept { return FDMLRefresh; }
    void SetDMLRefresh(bool Value) noexcept { FDMLRefresh = Value; }
    // Reads the current record again from the server (SQLRefresh or a generated SELECT).
    void RefreshRecord();
    // Reads the records the server changed again; with CheckDeleted also drops the records the
    // server no longer has.
    void RefreshQuick(bool CheckDeleted);
    // Locks the current record (SQLLock) inside a savepoint; UnLock gives the lock back.
    void Lock();
    void UnLock();
    // The service's updater (the service is made when missing).
    TDADataSetUpdater* DAUpdater();
    TDADataSetOptions* Options() const noexcept { return FOptions.get(); }
    TDADataSetMapRules* DataTypeMap() const noexcept { return FDataTypeMap.get(); }
    TDAEncryptionOptions* Encryption() const noexcept { return FEncryption.get(); }

    // --- master/detail, refresh, defaults ---
    // Master field values into the parameters of the same names; true when one changed.
    bool SetMasterParams(TDAParams* Params);
    bool UpdateMasterValues() override;
    void RefreshDetail() override;
    bool UseMasterDetail() override;
    void RefreshMasterFilter() override;
    void AssignDefaultExpressions() override;
    void CollectDetailLinkFields(std::vector<db::TField*>& MasterList, std::vector<db::TField*>& DetailList) override;
    // The identity of the current record: key field values (all non-blob data fields without key
    // fields); false without a current record.
    bool GetKeyFieldsAndValues(std::vector<db::TField*>& Fields, Variant& Values);
    // The first value of the first row SQL returns, run with the dataset's parameters; 0 without a row.
    int CountServerRows(const AnsiString& SQL);

    // --- provider support: what a generic data provider asks the dataset ---
    virtual AnsiString ProviderTableName();
    virtual AnsiString ProviderKeyFields();
    // False when the SQL has no ORDER BY.
    virtual bool ProviderDefaultOrder(TProviderIndexDef& Index);
    TDAParams* ProviderParams() const { return Params(); }
    AnsiString ProviderQuoteChar() const { return "\""; }
    bool ProviderIsSQLBased() const { return true; }
    bool ProviderSupportsSQL() const { return true; }
    virtual void PSSetCommandText(const AnsiString& Text);
    virtual void PSSetParams(const db::TParams* Value);
    virtual void ProviderReset();
    virtual void ProviderExecute() { Execute(); }
    virtual void PSStartTransaction();
    virtual void ProviderEndTransaction(bool Commit);
    virtual bool ProviderInTransaction();
    // Runs SQL whose "?" marks take Params by position; with ResultSet the caller receives (and
    // owns) a new dataset that ran it. Gives the rows affected.
    virtual int ProviderExecuteStatement(const AnsiString& SQL, const db::TParams* Params,
                                         TCustomDADataSet** ResultSet = nullptr);
    // True when OnUpdateRecord applied the delta record.
    virtual bool PSUpdateRecord(db::TUpdateKind UpdateKind, db::TDataSet* Delta);

    // --- form streaming ---
    // "ParamData", "MacroData", "CommandStoredProcName" and "StoredProcIsQuery" as they would be
    // written, compared with the ancestor's when there is one.
    std::vector<TFormProperty> WriteFormProperties(const TCustomDADataSet* Ancestor = nullptr) const;
    // One of the four read back; another name raises "Invalid property value".
    void ReadFormProperty(const TFormProperty& Property);

    TBeforeExecuteEvent BeforeExecute;
    TAfterExecuteEvent AfterExecute;
    TUpdateExecuteEvent BeforeUpdateExecute;
    TUpdateExecuteEvent AfterUpdateExecute;
    TBeforeFetchEvent BeforeFetch;
    TAfterFetchEvent AfterFetch;

    // --- IDAConnectionClient ---
    bool ClientIsSQL() const override { return false; }
    bool ClientPrepared() override { return Prepared(); }
    bool ClientExecuting() override { return false; }
    bool ClientFetchPending() override { return Active() && !GetFetchAll() && !FetchFinished(); }
    bool ClientIsQuery() override { return IsQuery(); }
    void ClientSetIConnection(TCRConnection* Value) override;
    void ClientClearConnection() override { SetConnection(nullptr); }
    TDATransaction* ClientTransaction() override { return FTransaction; }
    void ClientDisconnect() override { Disconnect(true); }
    void ClientResetAfterFatalError() override;
    void ClientForgetTransaction(TDATransaction* Transaction) override;

    // --- IDADataSetLink ---
    void LinkClose() override { Close(); }
    const store::TFieldTypeMap& LinkFieldTypeMap() override { return GetFieldTypeMapClass(); }

    // --- IMacrosOwner ---
    bool MacrosOwnerActive() override { return Active(); }
    AnsiString MacrosOwnerSQLText() override { return SQL(); }
    void MacrosChanged() override;

protected:
    friend class TCustomDASQL;
    friend class TDADataSetOptions;
    friend class TDAEncryptionOptions;
    friend class TDADataSetUpdater;
    // Copies the dataset's settings, parameters and macros to another dataset of this kind.
    void AssignTo(rtl::TPersistent* Dest) override;
    const store::TFieldTypeMap& GetFieldTypeMapClass() const override { return TDAFieldTypeMap::Instance(); }
    const store::TDataSetServiceClass& GetDataSetServiceClass() const override;
    // The internal SQL component and the options, made in the second phase.
    virtual TCustomDASQL* CreateInternalSQL();
    virtual TDADataSetOptions* CreateOptions();
    virtual TDAEncryptionOptions* CreateEncryptionOptions();
    void OpenCursorStep(bool InfoQuery) override;
    void OpenStep() override;
    void CloseCursorStep() override;
    void CloseStep() override;
    void RefreshStep() override;
    int CountRecords() const override;
    void ChangeFiltered(bool Value) override;
    bool CanModifyRecords() const override;
    void EditStep() override;
    void DeleteStep() override;
    void CancelStep() override;
    void PostStep() override;
    // The current record's detail fields hold the master's values of the server link.
    bool BelongsToMaster();
    void DoAfterExecute(bool Result);
    void DoBeforeFetch(bool& Cancel);
    void DoAfterFetch();
    // The SQL text or a macro changed: close, unprepare, derive the text and parameters again.
    void SQLTextChanged();
    // The record count the server reports for the final text (the service's count).
    int GetServerRecCount();
    void ConnectChange(rtl::TObject* Sender, bool Connecting);
    void PassRecordSetProps();
    // The literal defaults go straight in; the others come from one SELECT.
    void AssignDefaultValues();
    void Release();

    rtl::TOwnedPtr<TDADataSetOptions> FOptions;
    rtl::TOwnedPtr<TDADataSetMapRules> FDataTypeMap;
    rtl::TOwnedPtr<TDAEncryptionOptions> FEncryption;
    TCustomDASQL* FDataSQL = nullptr;
    TCustomDAConnection* FConnection = nullptr;
    TDATransaction* FTransaction = nullptr;
    TDATransaction* FUpdateTransaction = nullptr;
    TCRRecordSet* FIRecordSetCR = nullptr;
    TCRCommand* FICommand = nullptr;
    int FFetchRows = 25;
    bool FFetchAll = false;
    bool FUniDirectional = false;
    bool FReadOnly = false;
    bool FAutoCommit = true;
    bool FDebug = false;
    AnsiString FKeyFields;
    AnsiString FUpdatingTable;
    TCustomDAUpdateSQL* FUpdateObject = nullptr;
    AnsiString FUpdateSQL[10];
    TRefreshOptions FRefreshOptions;
    TLockMode FLockMode = lmNone;
    bool FDMLRefresh = false;
    AnsiString FFilterSQL;
    int FRowsAffected = -1;
    int FRecordCount = 0;
    // Rows inserted less rows deleted since the server counted them.
    int FRecordCountDelta = 0;
    int64_t FLastInsertId = 0;
    bool FFetchInterrupted = false;
    bool FRegistered = false;
    bool FReleased = false;
    bool FHoldsFetchConnection = false;
};

// A read-only dataset of the provider's metadata of one kind under restrictions.
class TDAMetaData : public store::TMemDataSet, public IDAConnectionClient {
    RTL_CLASS(TDAMetaData, store::TMemDataSet)
public:
    explicit TDAMetaData(rtl::TComponent* Owner);
    ~TDAMetaData() override;
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    const AnsiString& MetaDataKind() const noexcept { return FMetaDataKind; }
    // A different kind closes the dataset.
    void SetMetaDataKind(const AnsiString& Value);
    rtl::TStrings* Restrictions() const noexcept { return FRestrictions.get(); }
    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* Value);
    TDATransaction* Transaction() const noexcept { return FTransaction; }
    void SetTransaction(TDATransaction* Value);
    virtual TDATransaction* UsedTransaction() const;
    virtual void BeginConnection();
    virtual void EndConnection();

    // --- IDAConnectionClient ---
    bool ClientIsSQL() const override { return false; }
    bool ClientPrepared() override { return false; }
    bool ClientExecuting() override { return false; }
    bool ClientFetchPending() override { return false; }
    bool ClientIsQuery() override { return true; }
    void ClientSetIConnection(TCRConnection*) override {}
    void ClientClearConnection() override { SetConnection(nullptr); }
    TDATransaction* ClientTransaction() override { return FTransaction; }
    void ClientDisconnect() override { Close(); }
    void ClientResetAfterFatalError() override {}
    void ClientForgetTransaction(TDATransaction* Transaction) override;

protected:
    void OpenCursorStep(bool InfoQuery) override;
    void OpenStep() override;
    void CloseStep() override;
    bool CanModifyRecords() const override { return false; }
    void ReleaseResult();
    void Release();

    AnsiString FMetaDataKind;
    rtl::TOwnedPtr<rtl::TStringList> FRestrictions;
    TCustomDAConnection* FConnection = nullptr;
    TDATransaction* FTransaction = nullptr;
    rtl::TOwnedPtr<TCRMetaData> FIMetaData;
    bool FReleased = false;
};

// The field of a cursor-valued column.
DB_TYPED_FIELD_CLASS(TDACursorField, db::TField, db::ftCursor)

// The data source of the component layer.
class TCRDataSource : public db::TDataSource {
    RTL_CLASS(TCRDataSource, db::TDataSource)
public:
    using db::TDataSource::TDataSource;

protected:
    // DataSet, AutoEdit and Enabled into another data source.
    void AssignTo(rtl::TPersistent* Dest) override;
};


// ---------------------------------------------------------------------------------------------
// Write-back: SQL generator, dataset updater, dataset service, update SQL objects


inline constexpr const char* SKeyFieldsNotFound = "Key fields not found";
inline constexpr const char* SUpdateFailedFound = "Update failed. Found %d records";
inline constexpr const char* SInexactKeyValue =
    "The value of field %s holds characters the client code page cannot represent, so it cannot identify "
    "the record. Turn on the UseUnicode option to edit this record";
inline constexpr const char* SRefreshFailedFound = "Refresh failed. Found %d records";
inline constexpr const char* STableInfoNameRequired = "TableInfo name must be provided";
inline constexpr const char* SBadStatementType = "Bad statement type";
inline constexpr const char* SKeyFieldNotFound = "%s: Key field '%s' not found";
inline constexpr const char* SWrongUpdatingTable = "Wrong UpdatingTable value - table %s is unknown";
inline constexpr const char* SNoCorrespondParam = "Not found field corresponding parameter %s";
inline constexpr const char* SUpdateSQLEmpty =
    "SQL property of InsertObject, ModifyObject, DeleteObject or RefreshObject cannot be empty";
inline constexpr const char* SCircularUpdateObject =
    "Circular references are not allowed between TCustomDADataset and TCustomDAUpdateSQL objects";
inline constexpr const char* SUpdateObjectClass = "Only %s and %s objects are allowed in update properties";
inline constexpr const char* SRecordChanged = "Record was changed by another user";
inline constexpr const char* SMasterDetailCachedUpdates = "Can not use Master/Detail with CachedUpdates";
inline constexpr const char* SUnknownParamDataType = "Unknown data type of parameter %s";
inline constexpr const char* SUniqueKeyFieldsRequired = "Unique keyfields required";

class TDADataSetService;
class TDADataSetUpdater;
class TCustomDAUpdateSQL;

// Which field and which value (old or new) a generated parameter stands for.
struct TDAParamInfo {
    db::TField* Field = nullptr;
    store::TFieldDesc* FieldDesc = nullptr;
    bool Old = false;
    int ParamIndex = -1;
};
using TDAParamsInfo = std::vector<TDAParamInfo>;

struct TKeyAndDataFields {
    std::vector<store::TFieldDesc*> KeyFieldDescs;
    std::vector<store::TFieldDesc*> DataFieldDescs;
};

// Writes the statements that carry a dataset's edited record back to its table.
class TDASQLGenerator : public rtl::TObject {
    RTL_CLASS(TDASQLGenerator, rtl::TObject)
public:
    explicit TDASQLGenerator(TDADataSetService* Service);

    // Empty when the service knows no updating table.
    virtual AnsiString GenerateSQL(TStatementType StatementType, bool ModifiedOnly, TDAParams* Params,
                                   int BatchIndex = -1);
    virtual AnsiString GenerateSQLFor(TCRTableInfo* TableInfo, const TKeyAndDataFields& Fields,
                                      TStatementType StatementType, bool ModifiedOnly, TDAParams* Params,
                                      int BatchIndex = -1);
    virtual AnsiString GenerateTableSQL(const AnsiString& TableName, const AnsiString& OrderFields);
    virtual AnsiString GenerateSelectFromText(const AnsiString& Text) { return "SELECT " + Text; }
    const TDAParamsInfo& ParamsInfo() const noexcept { return FParamsInfo; }
    // Every condition term as a parameter, never IS NULL.
    bool ForceParams = false;

    virtual void Clear();
    virtual AnsiString AssembleSQL();
    virtual bool IsBlobDataType(store::TMemDataType DataType) const;
    // Object and array fields hold their value in sub-fields.
    virtual bool IsSubDataType(store::TMemDataType DataType) const;
    // An object or array is null when every sub-field is.
    virtual bool FieldIsNullEx(store::TFieldDesc* FieldDesc, bool Old, void* NewRecBuf, void* OldRecBuf,
                               store::TData* RecordSet);
    virtual bool FieldIsNull(store::TFieldDesc* FieldDesc, bool Old);
    virtual bool FieldIsModified(store::TFieldDesc* FieldDesc, store::TData* RecordSet, void* NewRecBuf,
                                 void* OldRecBuf);
    virtual bool FieldModifiedCurrent(store::TFieldDesc* FieldDesc);
    // The field's value in RecBuf was read from the server with characters lost.
    bool FieldInexact(store::TFieldDesc* FieldDesc, void* RecBuf) const;
    virtual AnsiString GetFieldName(store::TFieldDesc* FieldDesc, bool Qualified = false);
    static AnsiString IndexedPrefix(const AnsiString& Text) { return "_" + Text; }
    static int DecodeFieldIndex(const AnsiString& Name);
    virtual int MaxIdentLength() const { return INT32_MAX; }
    virtual bool ParamsSupported() const { return true; }

protected:
    TSQLInfo* SQLInfo() const;
    AnsiString NormalizedTableName() const;
    virtual void AddParam(AnsiString& Builder, store::TFieldDesc* FieldDesc, TStatementType StatementType,
                          int BatchIndex, bool Old);
    virtual void AddFieldToInsertSQL(store::TFieldDesc* FieldDesc, int BatchIndex);
    virtual void AddFieldToUpdateSQL(store::TFieldDesc* FieldDesc, int BatchIndex);
    virtual void AddFieldToRefreshSQL(store::TFieldDesc* FieldDesc);
    virtual void AddFieldToCondition(AnsiString& Builder, store::TFieldDesc* FieldDesc, TStatementType StatementType,
                                     int BatchIndex);
    virtual void GenerateInsertSQL(const TKeyAndDataFields& Fields, bool ModifiedOnly, int BatchIndex);
    virtual void GenerateUpdateSQL(const TKeyAndDataFields& Fields, bool ModifiedOnly, int BatchIndex);
    virtual void GenerateDeleteSQL(const TKeyAndDataFields& Fields, int BatchIndex);
    virtual void GenerateLockSQL(const TKeyAndDataFields&, int) {}
    virtual void GenerateRefreshSQL(const TKeyAndDataFields& Fields);
    // The dataset's own query narrowed to the records the condition names.
    virtual void GenerateRefreshQuickSQL(const TKeyAndDataFields& Fields);
    // The key values the dataset's query still finds, in key order.
    virtual void GenerateRefreshCheckDeletedSQL(const TKeyAndDataFields& Fields);
    virtual AnsiString GenerateFrom();
    virtual void GenerateConditions(AnsiString& Builder, TStatementType StatementType, const TKeyAndDataFields& Fields,
                                    int BatchIndex);

    TDADataSetService* FService;
    TCustomDADataSet* FDataSet;
    AnsiString FHeaderSB, FFldSB, FMiddleSB, FFldParamSB, FCondSB, FFooterSB;
    TCRTableInfo* FTableInfo = nullptr;
    TDAParams* FParams = nullptr;
    TDAParamsInfo FParamsInfo;
    void* FOldRecBuf = nullptr;
    void* FNewRecBuf = nullptr;
    store::TMemData* FMemData = nullptr;
    bool FBuffersKnown = false;
    void CheckBuffers();
};

// Runs the statements that write one record's change and checks what they did.
class TDADataSetUpdater : public store::TDataSetUpdater {
    RTL_CLASS(TDADataSetUpdater, store::TDataSetUpdater)
public:
    explicit TDADataSetUpdater(store::TDataSetService* Service);
    ~TDADataSetUpdater() override;

    bool PerformInsert() override;
    bool PerformDelete() override;
    bool PerformUpdate() override;
    // The cached-updates lock ends with the session's changes: applied, reverted or cancelled.
    bool AfterRevertRecord() override;
    bool AfterApplyUpdates() override;
    bool BeforeCancelUpdates() override;
    // While cached updates are applied with UpdateBatchSize above 1 and no update object, the
    // generated statements are collected and run UpdateBatchSize at a time.
    bool BatchUpdates() override;
    bool BatchFull() override;
    void FlushBatch() override;
    const AnsiString& BatchSQL() const noexcept { return FBatchSQL; }
    int BatchCount() const noexcept { return FBatchCount; }
    // Runs SQL (the generated or user text when empty) for the current record.
    virtual bool PerformSQL(const AnsiString& SQL, TStatementTypes StatementTypes);
    virtual bool GetIdentityFieldValue(Variant& Value);
    virtual bool SupportsSavepoints() { return true; }
    // The statement component of a type, made on first use.
    TCustomDASQL* UpdateQuery(TStatementType StatementType) { return CreateUpdateQuery(StatementType); }
    rtl::TComponent* CurrentUpdateQuery() const noexcept { return FUpdateQuery; }
    // The current update query as a statement component, or null for one that is not.
    TCustomDASQL* CurrentUpdateSQL() const;
    void UnPrepareUpdateQueries();
    TDADataSetService* DAService() const noexcept { return FDAService; }
    TCustomDADataSet* DADataSet() const noexcept { return FDADataSet; }
    // A column the server keeps for the quick refresh; each returned row hands its value over.
    virtual bool IsSpecialRefreshField(store::TFieldDesc*) { return false; }
    virtual void SetSpecialRefreshValue(store::TFieldDesc*, const Variant&) {}

    // --- refresh and locks, asked by the dataset ---
    // Reads the current record again; false when there is no statement for it.
    virtual bool PerformRefreshRecord();
    // Reads the records the server changed again and, with CheckDeleted, drops those it no longer
    // has; false without an updating table.
    virtual bool PerformRefreshQuick(bool CheckDeleted);
    void BeforeEdit();
    void BeforeDelete();
    void AfterCancel();
    virtual bool LockRecord();
    virtual void UnlockRecord();
    virtual bool NeedsRefreshStatement();
    virtual bool EditHoldsConnection() { return false; }
    virtual bool InsertHoldsConnection() { return false; }
    bool HoldsConnection();
    virtual bool LockRefreshesRecord();
    // Dates and time stamps less than a millisecond apart count as equal.
    virtual bool ValuesEqual(const Variant& A, const Variant& B);
    // A lock statement that returns the row compares it with the record.
    bool CheckOnLock = true;
    // The savepoint of a record lock: "LOCK_" and the dataset's name, at most 30 characters.
    AnsiString LockSavepointName(bool CachedUpdates = false) const;

    // Runs the user's statement of UpdateKind (never a generated one) for the current record of
    // Delta, whose fields name the parameters ("OLD_" for old values); false without such a statement.
    bool PerformPSUpdateRecord(db::TUpdateKind UpdateKind, db::TDataSet* Delta);

protected:
    virtual TCustomDASQL* CreateUpdateQuery(TStatementType StatementType);
    virtual void AfterCreateUpdateQuery(TStatementType) {}
    // False when there is no text to run.
    virtual bool PrepareUpdateQuery(const AnsiString& SQL, TStatementType StatementType, bool Generate);
    virtual void SetParamValues(TDAParams* Params, TStatementType StatementType);
    virtual void ExecuteUpdateQuery(TStatementType StatementType);
    // With PrepareUpdateSQL a repeated statement is not prepared again for every record.
    void PrepareOwnQuery(TCustomDASQL* Query);
    // A provider whose prepared statements cost the server nothing keeps them without the option.
    virtual bool KeepsStatementsPrepared() { return false; }
    virtual db::TField* FindParamField(const AnsiString& Name, bool& Old);
    virtual AnsiString GetUserSQL(TStatementType StatementType);
    void CheckRowsAffected(int Count);
    // Runs the statement; a strict UPDATE or DELETE outside a transaction is undone when it touched
    // other than one row.
    int ExecuteChecked(TStatementType StatementType);
    // Lock and refresh: the statement runs on a dataset, whose row is copied into the record or,
    // for a lock, compared with it.
    bool PerformRowSQL(const AnsiString& SQL, TStatementTypes StatementTypes);
    TCustomDADataSet* RowQuery(int Slot);
    bool Batching(TStatementType StatementType);
    void AddToBatch(TDAParams* Params);
    void ClearBatch();
    virtual AnsiString GetBatchSQL() { return FBatchSQL; }
    // Runs the batch statement; the rows it changed in all, -1 when not known.
    virtual int ExecuteBatch();
    // Generates the statement of StatementType and opens it on Query with the record's values.
    void RunRowQuery(TCustomDADataSet* Query, TStatementType StatementType);
    void RemoveDeletedRecords(const std::vector<store::TFieldDesc*>& Keys);
    void ReadChangedRecords(const std::vector<store::TFieldDesc*>& Keys);
    // Target is a record buffer of the store; without one, the dataset's current record.
    void CopyRow(TCustomDADataSet* Source, bool Compare, void* Target = nullptr);
    bool RefreshRecordAfterUpdate();
    void BeginLockTransaction(const AnsiString& Name);
    void EndLockTransaction(const AnsiString& Name);
    // The cached-updates lock: with CachedUpdates and pessimistic locking, one transaction (or a
    // "LOCK_CU_" savepoint) holds the locks of every edited record until the changes end.
    bool CachedLockApplies() const;
    bool PendingCachedChanges() const;
    bool CachedChangePending();
    void SetCachedUpdatesSavepoint();
    void RollbackCachedUpdatesSavepoint();
    void RollbackCachedUpdatesSavepointOnApply();
    bool CachedLockHeld() const noexcept { return FCachedLockTransaction != nullptr; }
    // Forgets every lock transaction; gives back the cached-updates lock's transaction, if one is
    // held, and whether the lock started it.
    TDATransaction* ResetLockTransaction(bool& Started);
    void GiveBackCachedLock();
    // After a write under a record lock: commit what the lock started, or give the lock back.
    void EndLock(bool Ran);
    // What a generated statement's text depends on for the current record; false without an
    // updating table.
    bool GeneratedSignature(TStatementType StatementType, bool ModifiedOnly, std::vector<uint8_t>& Signature);
    void ForgetGeneratedStatements();
    // The generated condition is the row id of a record that has one.
    bool KeyedByIdentity();

    TDADataSetService* FDAService;
    TCustomDADataSet* FDADataSet;
    rtl::TComponent* FUpdateQuery = nullptr;
    rtl::TOwnedPtr<TCustomDASQL> FUpdateQueries[10];
    // Lock and refresh statements that return rows.
    rtl::TOwnedPtr<TCustomDADataSet> FRowQueries[3];
    int FRowsAffected = -1;
    TDAParamsInfo FParamsInfo;
    bool FUseParamsInfo = false;
    bool FRefreshInUpdate = false;
    struct TGeneratedStatement {
        bool Valid = false;
        std::vector<uint8_t> Signature;
        AnsiString Text;
        TDAParamsInfo ParamsInfo;
    };
    // The last generated INSERT, UPDATE and DELETE.
    TGeneratedStatement FGenerated[3];
    std::vector<uint8_t> FSignature;
    // The transaction a record lock runs in, and whether the lock started it.
    TDATransaction* FLockTransaction = nullptr;
    bool FLockStartedTransaction = false;
    AnsiString FBatchSQL;
    rtl::TOwnedPtr<TDAParams> FBatchParams;
    int FBatchCount = 0;
    // The cached-updates lock's transaction while the lock is held.
    TDATransaction* FCachedLockTransaction = nullptr;
    bool FCachedLockStartedTransaction = false;
};

// The dataset's companion that knows the updating table, key, identity and data fields.
class TDADataSetService : public store::TDataSetService {
    RTL_CLASS(TDADataSetService, store::TDataSetService)
public:
    explicit TDADataSetService(store::TMemDataSet* DataSet);
    ~TDADataSetService() override;
    void AfterConstruction() override;
    void NewUpdater() override;
    void AfterRecordSetOpen() override;
    // The base attributes and the column's table.
    void WriteFieldAttributes(db::TField* Field, store::TFieldDesc* FieldDesc, store::XmlWriter& Writer,
                              const WideString& NameOverride) override;

    TCustomDADataSet* DADataSet() const noexcept { return FDADataSet; }
    TDASQLGenerator* SQLGenerator() const noexcept { return FSQLGenerator.get(); }
    void SetSQLGenerator(TDASQLGenerator* Value) { FSQLGenerator.reset(Value); }
    TDADataSetUpdater* DAUpdater() const { return static_cast<TDADataSetUpdater*>(Updater()); }
    int UpdatingTableIndex() const noexcept { return FUpdatingTableInfoIdx; }
    TCRTableInfo* UpdatingTableInfo() const;
    bool TablesInfoFromUpdatingTable() const noexcept { return FIsUpdatingTableFromUpdatingTable; }
    // The table of the query's FROM named Name (by name or alias) as the updating table, a view
    // being added to the tables; -1 when none is named.
    int AddUpdatingView(const AnsiString& Name);
    store::TFieldDesc* IdentityField() const noexcept { return FIdentityField; }
    store::TFieldDesc* SpecialFieldDesc() const noexcept { return FSpecialFieldDesc; }

    const std::vector<store::TFieldDesc*>& GetKeyFieldDescs();
    const std::vector<store::TFieldDesc*>& GetDataFieldDescs(bool AllTables = false);
    TKeyAndDataFields GetKeyAndDataFields(bool AllTables = false);

    // Called by the dataset once its fields exist.
    virtual void SetFieldProperties();
    virtual void AfterClose() {}
    virtual void ReinitFieldInfo();
    virtual void ResetTableInfo();
    virtual bool CanModify();
    virtual bool IdentityIsDataField() { return false; }
    // The rows the dataset's query finds on the server.
    virtual int GetRecCount();
    virtual AnsiString GetCurrentSchema() { return AnsiString(); }
    // The ';'-joined columns of the first unique index the provider reports.
    virtual AnsiString GetUniqueIndexColumns(const AnsiString& TableName, const AnsiString& IndexName);
    [[noreturn]] void NotSupported();

protected:
    virtual TDASQLGenerator* CreateSQLGenerator();
    virtual void FindUpdatingTable();
    virtual void AfterFieldsKnown();
    virtual bool RecordSetKnowsBaseTables() { return true; }
    // Ties the record set's columns to the query's tables through the select list.
    virtual void AssignBaseTables();
    // Asked when the select list leaves a column's table open, or for server defaults.
    virtual void AfterBaseTablesAssigned(TCRTablesInfo*, TColumnsInfo*) {}
    virtual store::TFieldDesc* GetIdentityField() { return nullptr; }
    // A column the server fills that the quick refresh reads back.
    virtual store::TFieldDesc* GetSpecialFieldDesc() { return nullptr; }
    // Columns of default fields the user is not shown.
    virtual std::vector<WideString> GetHiddenFields() { return {}; }
    virtual void SetFieldOrigin(db::TField* Field, TCRFieldDesc* FieldDesc);
    virtual void DetectKeyFieldDescs(std::vector<store::TFieldDesc*>& Result);
    virtual void DetectDataFieldDescs(std::vector<store::TFieldDesc*>& Result, bool AllTables);
    void MarkReadOnlyFieldDescs();
    virtual void SetDefaultExpressions();
    // Columns without a table are expressions: the record set or the select list named the others'.
    bool ExpressionsKnown();
    bool FieldDescsByNames(const AnsiString& Names, bool Raise, std::vector<store::TFieldDesc*>& Result);
    TCRRecordSet* RecordSet() const;

    TCustomDADataSet* FDADataSet;
    rtl::TOwnedPtr<TDASQLGenerator> FSQLGenerator;
    int FUpdatingTableInfoIdx = -1;
    bool FIsUpdatingTableFromUpdatingTable = false;
    store::TFieldDesc* FIdentityField = nullptr;
    store::TFieldDesc* FSpecialFieldDesc = nullptr;
    bool FBaseTablesAssigned = false;
    bool FIsAnyFieldCanBeModified = false;
    std::vector<store::TFieldDesc*> FKeyFieldDescs;
    std::vector<store::TFieldDesc*> FDataFieldDescs;
    std::vector<store::TFieldDesc*> FAllDataFieldDescs;
    bool FKeyFieldDescsKnown = false;
    bool FDataFieldDescsKnown = false;
    bool FAllDataFieldDescsKnown = false;
};

// The statements, or statement components, that replace generated ones for one dataset.
class TCustomDAUpdateSQL : public rtl::TComponent {
    RTL_CLASS(TCustomDAUpdateSQL, rtl::TComponent)
public:
    explicit TCustomDAUpdateSQL(rtl::TComponent* Owner);
    ~TCustomDAUpdateSQL() override;
    void BeforeDestruction() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    // The text of a statement type; empty for the types without a list.
    const AnsiString& GetSQLText(TStatementType StatementType) const { return FSQL[StatementType]; }
    void SetSQLText(TStatementType StatementType, const AnsiString& Value) { FSQL[StatementType] = Value; }
    const AnsiString& GetSQL(db::TUpdateKind UpdateKind) const;
    const AnsiString& InsertSQL() const { return FSQL[stInsert]; }
    void SetInsertSQL(const AnsiString& V) { FSQL[stInsert] = V; }
    const AnsiString& ModifySQL() const { return FSQL[stUpdate]; }
    void SetModifySQL(const AnsiString& V) { FSQL[stUpdate] = V; }
    const AnsiString& DeleteSQL() const { return FSQL[stDelete]; }
    void SetDeleteSQL(const AnsiString& V) { FSQL[stDelete] = V; }
    const AnsiString& LockSQL() const { return FSQL[stLock]; }
    void SetLockSQL(const AnsiString& V) { FSQL[stLock] = V; }
    const AnsiString& RefreshSQL() const { return FSQL[stRefresh]; }
    void SetRefreshSQL(const AnsiString& V) { FSQL[stRefresh] = V; }

    rtl::TComponent* GetObject(TStatementType StatementType) const { return FObjects[StatementType]; }
    void SetObject(TStatementType StatementType, rtl::TComponent* Value);
    rtl::TComponent* InsertObject() const { return FObjects[stInsert]; }
    void SetInsertObject(rtl::TComponent* V) { SetObject(stInsert, V); }
    rtl::TComponent* ModifyObject() const { return FObjects[stUpdate]; }
    void SetModifyObject(rtl::TComponent* V) { SetObject(stUpdate, V); }
    rtl::TComponent* DeleteObject() const { return FObjects[stDelete]; }
    void SetDeleteObject(rtl::TComponent* V) { SetObject(stDelete, V); }
    rtl::TComponent* LockObject() const { return FObjects[stLock]; }
    void SetLockObject(rtl::TComponent* V) { SetObject(stLock, V); }
    rtl::TComponent* RefreshObject() const { return FObjects[stRefresh]; }
    void SetRefreshObject(rtl::TComponent* V) { SetObject(stRefresh, V); }

    TCustomDADataSet* DataSet() const noexcept { return FDataSet; }
    virtual void SetDataSet(TCustomDADataSet* Value) { FDataSet = Value; }
    virtual const rtl::ClassRef& DataSetClass() const;
    virtual const rtl::ClassRef& SQLClass() const;
    // Raises unless Component may serve as a statement component of DataSet.
    void CheckUpdateObject(rtl::TComponent* Component, TCustomDADataSet* DataSet) const;
    virtual void ExecSQL(db::TUpdateKind UpdateKind);

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

    AnsiString FSQL[10];
    rtl::TComponent* FObjects[10] = {};
    TCustomDADataSet* FDataSet = nullptr;
};

TStatementType StatementTypeOf(db::TUpdateKind UpdateKind);

// Class-level access to internals of the components for the update machinery and providers.
class TDBAccessUtils {
public:
    static void CheckConnection(TCustomDADataSet* DataSet);
    static TCustomDAConnection* UsedConnection(TCustomDADataSet* DataSet);
    static TCustomDAConnection* SQLUsedConnection(TCustomDASQL* SQL);
    static void SetAutoCommit(rtl::TComponent* Obj, bool Value);
    static TCRConnection* GetIConnection(TCustomDAConnection* Connection);
    static void InternalConnect(TCustomDAConnection* Connection);
    static void InternalDisconnect(TCustomDAConnection* Connection);
    static void SetTraceSuppressed(rtl::TComponent* Obj, bool Value);
    static AnsiString GetSQL(rtl::TComponent* Obj);
    static AnsiString GetFinalSQL(rtl::TComponent* Obj);
    static TDAParams* GetParams(rtl::TComponent* Obj);
    static void Execute(rtl::TComponent* Obj);
    static int GetRowsAffected(rtl::TComponent* Obj);
    static TCRRecordSet* GetIRecordSet(TCustomDADataSet* DataSet);
    static TCRCommand* GetICommand(TCustomDADataSet* DataSet);
    static int64_t GetLastInsertId(TCustomDADataSet* DataSet);
    static void SetSQLText(rtl::TComponent* Obj, const AnsiString& Text, bool NoMacroScan, bool KeepParams);

private:
    [[noreturn]] static void WrongClass(const rtl::TObject* Obj, int Line);
};

// =============================================================================================
// Connect dialog base

class TCustomConnectDialog;
class TCRServerEnumerator;
class TCRServerEnumeratorClass;

// Runs the login dialog for the connect dialog component; true: the user confirmed. A
// user-interface unit installs them; none is installed in this system.
using TConnectDialogRunHook = std::function<bool(TCustomConnectDialog* Dialog)>;
extern TConnectDialogRunHook DefConnectDialogRunHook;
extern TConnectDialogRunHook AltConnectDialogRunHook;
// The host application's title; empty without a hook.
extern std::function<AnsiString()> ApplicationTitleHook;

// Where the remembered logins live: an ini file in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), one section per key path.
AnsiString ConnectRegistryFileName();

enum TLabelSet { lsCustom, lsEnglish, lsFrench, lsGerman, lsItalian, lsPolish, lsPortuguese, lsRussian, lsSpanish };

// The non-visual side of a login dialog: remembers the last login and the servers used, offers a
// server list, carries the captions in one of eight languages and runs the dialog through a hook.
class TCustomConnectDialog : public rtl::TComponent {
    RTL_CLASS(TCustomConnectDialog, rtl::TComponent)
public:
    explicit TCustomConnectDialog(rtl::TComponent* Owner);
    ~TCustomConnectDialog() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    virtual const TCRServerEnumeratorClass& ServerEnumeratorClass() const;
    virtual void SetServerEnumerator(TCRServerEnumerator* Value);
    virtual void SetLabelSet(TLabelSet Value);
    virtual AnsiString KeyPath() const { return {}; }
    virtual AnsiString ServerValueName() const { return "Server"; }
    virtual AnsiString ServerListKey() const { return KeyPath() + "Connect"; }
    AnsiString ConnectKey() const;
    virtual void SaveServerHistory();
    virtual void LoadServerHistory(rtl::TStrings* List);
    // Registry: the opened key path.
    virtual void SaveLogInfo(const AnsiString& Key);
    virtual void LoadLogInfo(const AnsiString& Key);
    // Whether the user confirmed and the login may proceed.
    virtual bool Execute();
    virtual void GetServerList(rtl::TStrings* List);

    TCustomDAConnection* Connection() const noexcept { return FConnection; }
    void SetConnection(TCustomDAConnection* Value);
    TCRServerEnumerator* ServerEnumerator() const noexcept { return FServerEnumerator; }
    int Retries() const noexcept { return FRetries; }
    void SetRetries(int Value) noexcept { FRetries = Value; }
    TLabelSet LabelSet() const noexcept { return FLabelSet; }
    bool StoreLogInfo() const noexcept { return FStoreLogInfo; }
    void SetStoreLogInfo(bool Value) noexcept { FStoreLogInfo = Value; }
    bool SavePassword() const noexcept { return FSavePassword; }
    void SetSavePassword(bool Value) noexcept { FSavePassword = Value; }
    bool UseServerHistory() const noexcept { return FUseServerHistory; }
    void SetUseServerHistory(bool Value) noexcept { FUseServerHistory = Value; }
    bool NeedConnect() const noexcept { return FNeedConnect; }
    void SetNeedConnect(bool Value) noexcept { FNeedConnect = Value; }

    // Captions are display texts.
    WideString Caption;
    WideString UsernameLabel;
    WideString PasswordLabel;
    WideString ServerLabel;
    WideString ConnectButton;
    WideString CancelButton;

private:
    TCustomDAConnection* FConnection = nullptr;
    int FRetries = 3;
    TLabelSet FLabelSet = lsEnglish;
    bool FStoreLogInfo = true;
    bool FSavePassword = false;
    bool FUseServerHistory = true;
    bool FNeedConnect = true;
    TCRServerEnumerator* FServerEnumerator = nullptr;
};

// The program's caption strings of the connect dialog by id (base of the label set + 0..5).
WideString ConnectDialogString(int Id);

}  // namespace daccess
