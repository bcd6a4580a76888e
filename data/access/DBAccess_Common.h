// What the components of data access share: statement types, the routines that read and rewrite
// SELECT text, the field-type registry, the owner interfaces, connection options and mapping rules.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/access/CRAccess_Types.h"
#include "data/access/CRDataTypeMap.h"
#include "data/access/DBAccess_Error.h"
#include "data/store/CRParser.h"
#include "data/store/MemDS.h"
#include "framework/db/DB.h"
#include "framework/db/DB_Params.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"
#include "framework/rtl/Variant.h"

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
AnsiString GetFrom(const AnsiString& SQL, const store::TParserClass& ParserClass = store::TSQLParser::StaticClass(),
                   bool OmitComments = false);
AnsiString GetWhere(const AnsiString& SQL, const store::TParserClass& ParserClass = store::TSQLParser::StaticClass(),
                    bool OmitComments = false);
// Replaces the ORDER BY list (';' in Fields becomes ','), adds an ORDER BY clause, or (with an
// empty list) removes it. A LIMIT or OFFSET after the list stays.
AnsiString SetOrderBy(const AnsiString& SQL, const AnsiString& Fields,
                      const store::TParserClass& ParserClass = store::TSQLParser::StaticClass());
// The ORDER BY field list, trimmed; empty when there is none.
AnsiString GetOrderBy(const AnsiString& SQL, const store::TParserClass& ParserClass = store::TSQLParser::StaticClass());
// Every "?" outside string literals, quoted names and comments becomes ":1", ":2", ... in order;
// Count receives how many there were.
AnsiString NumberQuestionMarks(const AnsiString& SQL, const store::TParserClass& ParserClass, int& Count);

// =============================================================================================
// Field-type registry: the field types a mapping rule may name

class TFieldTypeInfo : public rtl::TObject {
    RTL_CLASS(TFieldTypeInfo, rtl::TObject)
public:
    TFieldTypeInfo(db::TFieldType AFieldType, AnsiString AName, bool ALengthAllowed, bool AScaleAllowed)
        : FieldType(AFieldType), Name(std::move(AName)), LengthAllowed(ALengthAllowed), ScaleAllowed(AScaleAllowed) {}

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
    virtual void CheckRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLengthMin, int32_t DBLengthMax,
                           int32_t DBScaleMin, int32_t DBScaleMax, db::TFieldType FieldType, int32_t FieldLength,
                           int32_t FieldScale);
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

}  // namespace daccess
