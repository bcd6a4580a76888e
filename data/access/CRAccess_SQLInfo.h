// A provider's SQL dialect and what it parses out of a statement: select-list columns and the
// tables a query reads.
#pragma once

#include "data/access/CRAccess_Types.h"
#include "data/store/CRParser.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// SQL information

class TSQLInfoClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TSQLInfo* Create(const store::TParserClass* ParserClass) const;
    template <class T>
    class Of;
};

template <class T>
class TSQLInfoClass::Of : public TSQLInfoClass {
public:
    using TSQLInfoClass::TSQLInfoClass;
    TSQLInfo* Create(const store::TParserClass* ParserClass) const override { return rtl::Create<T>(ParserClass); }
    rtl::TObject* NewInstance() const override { return Create(nullptr); }
};

// One item of a select list.
class TColumnInfo : public rtl::TObject {
    RTL_CLASS(TColumnInfo, rtl::TObject)
public:
    AnsiString Name;
    // Dotted, possibly several parts.
    AnsiString Table;
    int TableIndex = -1;
    // Text of an item that is not a plain column name.
    AnsiString Expr;
    AnsiString Alias;
};

// Owns its column descriptions.
class TColumnsInfo : public rtl::TList {
    RTL_CLASS(TColumnsInfo, rtl::TList)
public:
    TColumnsInfo() = default;
    ~TColumnsInfo() override;
    void Clear() override;
    TColumnInfo* Items(int Index) const { return static_cast<TColumnInfo*>(TList::Items(Index)); }
    TColumnInfo* AddColumn();
};

// The SQL dialect of a provider. Case modes: 0 upper, 1 lower, 2 mixed.
class TSQLInfo : public rtl::TObject {
public:
    using ClassRefType = TSQLInfoClass;
    RTL_CLASS(TSQLInfo, rtl::TObject)
public:
    explicit TSQLInfo(const store::TParserClass* ParserClass) : FParserClass(ParserClass) {}

    virtual void ParseExtColumnName(store::TParser* Parser, int& Code, AnsiString& St);
    virtual bool FirstCharQuotesNeed(char Ch, int IdCase) const;
    virtual bool NextCharQuotesNeed(char Ch, int IdCase) const;
    virtual char LeftQuote() const { return '"'; }
    virtual char RightQuote() const { return '"'; }
    virtual int IdentCase() const { return 2; }
    virtual bool ParamQuoteAllowed() const { return true; }
    virtual char ProcedureOverloadSeparator() const { return ':'; }
    virtual AnsiString Quote(const AnsiString& Value, char Left, char Right) const;
    virtual AnsiString UnQuote(const AnsiString& Value) const;
    virtual bool IsQuoted(const AnsiString& Value) const;
    virtual bool QuotesNeeded(const AnsiString& Value) const;
    virtual AnsiString NormalizeName(const AnsiString& Value, bool QuoteNames = false, bool UnQuote = false) const;
    virtual AnsiString NormalizeNameEx(const AnsiString& Value, char Left, char Right, bool QuoteNames,
                                       bool UnQuote) const;
    // Parts from the end of the text: object name, schema, catalog.
    virtual void SplitObjectName(const AnsiString& Name, AnsiString& Catalog, AnsiString& Schema,
                                 AnsiString& ObjName) const;
    virtual void ParseTablesInfo(const AnsiString& SQL, TCRTablesInfo* TablesInfo);
    virtual void ParseColumnsInfo(const AnsiString& SQL, TColumnsInfo* ColumnsInfo);
    virtual AnsiString NamesFromList(const rtl::TStrings* List) const;
    virtual void NamesToList(const AnsiString& Value, rtl::TStrings* List) const;

    AnsiString QuoteName(const AnsiString& Value) const { return Quote(Value, LeftQuote(), RightQuote()); }
    AnsiString QuoteIfNeeded(const AnsiString& Value) const { return QuotesNeeded(Value) ? QuoteName(Value) : Value; }
    const store::TParserClass* ParserClass() const noexcept { return FParserClass; }

private:
    void ParseTableList(store::TSQLParser* Parser, int& Code, AnsiString& St, TCRTablesInfo* TablesInfo, bool TopLevel);

    const store::TParserClass* FParserClass;
};

// ---------------------------------------------------------------------------------------------
// Table information

class TCRTableInfoClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TCRTableInfo* Create(TCRTablesInfo* Owner) const;
    template <class T>
    class Of;
};

template <class T>
class TCRTableInfoClass::Of : public TCRTableInfoClass {
public:
    using TCRTableInfoClass::TCRTableInfoClass;
    TCRTableInfo* Create(TCRTablesInfo* Owner) const override { return rtl::Create<T>(Owner); }
    rtl::TObject* NewInstance() const override { return Create(nullptr); }
};

class TCRTableInfo : public rtl::TObject {
public:
    using ClassRefType = TCRTableInfoClass;
    RTL_CLASS(TCRTableInfo, rtl::TObject)
public:
    explicit TCRTableInfo(TCRTablesInfo* Owner) : FOwner(Owner) {}

    virtual AnsiString GetTableNameFull() const { return FTableName; }
    virtual void SetTableNameFull(const AnsiString& /*Value*/) {}

    const AnsiString& TableName() const noexcept { return FTableName; }
    void SetTableName(const AnsiString& Value);
    const AnsiString& TableAlias() const noexcept { return FTableAlias; }
    void SetTableAlias(const AnsiString& Value);
    int Index() const noexcept { return FIndex; }
    TCRTablesInfo* Owner() const noexcept { return FOwner; }

private:
    friend class TCRTablesInfo;
    TCRTablesInfo* FOwner;
    int FIndex = -1;
    AnsiString FTableName;
    AnsiString FTableAlias;
};

class TCRTablesInfo : public rtl::TObject {
    RTL_CLASS(TCRTablesInfo, rtl::TObject)
public:
    explicit TCRTablesInfo(const TCRTableInfoClass& TableInfoClass);
    ~TCRTablesInfo() override;

    virtual void BeginUpdate();
    virtual void EndUpdate();

    TCRTableInfo* Add();
    void Clear();
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    // "List index out of bounds (%d)" outside 0 .. Count-1.
    TCRTableInfo* Items(int Index) const;
    TCRTableInfo* FindByName(const AnsiString& Name) const;
    int IndexOf(const AnsiString& Name) const;
    int IndexByAlias(const AnsiString& Alias) const;
    bool CaseSensitive() const noexcept { return FCaseSensitive; }
    void SetCaseSensitive(bool Value);
    const TCRTableInfoClass& TableInfoClass() const noexcept { return *FTableInfoClass; }
    int UpdateCount() const noexcept { return FUpdateCount; }

private:
    friend class TCRTableInfo;
    void RebuildNames();
    void RebuildAliases();
    void Rebuild(rtl::TStringList* List, bool Aliases);
    int Lookup(const rtl::TStringList* List, const AnsiString& Value, bool Aliases) const;

    const TCRTableInfoClass* FTableInfoClass;
    bool FCaseSensitive = false;
    int FUpdateCount = 0;
    std::vector<rtl::TOwnedPtr<TCRTableInfo>> FItems;
    rtl::TOwnedPtr<rtl::TStringList> FNames;
    rtl::TOwnedPtr<rtl::TStringList> FAliases;
};

}  // namespace daccess
