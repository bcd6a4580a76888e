// What a provider offers besides running statements: the metadata reader, the loader and the
// alerter.
#pragma once

#include "data/access/CRAccess_RecordSet.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// Metadata

class TDataHelper : public rtl::TObject {
    RTL_CLASS(TDataHelper, rtl::TObject)
public:
    explicit TDataHelper(store::TData* Data) : FData(Data) {}
    ~TDataHelper() override;

    void AllocBuffer();
    void InitRecord();
    void AppendRecord();
    bool NextRecord();
    Variant GetFieldValue(int FieldNo);
    void SetFieldValue(int FieldNo, const Variant& Value);
    void FreeBuffer();
    void* Buffer() const noexcept { return FRecBuf; }

private:
    store::TData* FData;
    void* FRecBuf = nullptr;
};

using TCRMetaDataClass = TCreatableClass<TCRMetaData>;

class TCRMetaData : public rtl::TObject {
public:
    using ClassRefType = TCRMetaDataClass;
    RTL_CLASS(TCRMetaData, rtl::TObject)
public:
    TCRMetaData();
    ~TCRMetaData() override;
    // Creates the provider's catalogue record set.
    void AfterConstruction() override;

    virtual TCRRecordSet* CreateRecordSet() = 0;
    virtual store::TData* GetMetaData(const AnsiString& MetaDataKind, rtl::TStrings* Restrictions);
    virtual void CreateMetaDataKindsFields();
    virtual void GetMetaDataKindsList(rtl::TStrings* List);
    virtual store::TData* GetMetaDataKinds();
    virtual void CreateRestrictionsFields();
    virtual void GetRestrictionsList(rtl::TStrings* List, const AnsiString& MetaDataKind);
    virtual store::TData* GetRestrictions(rtl::TStrings* Restrictions);
    virtual void CreateTablesFields();
    virtual store::TData* GetTables(rtl::TStrings* Restrictions) = 0;
    virtual void CreateColumnsFields();
    virtual store::TData* GetColumns(rtl::TStrings* Restrictions) = 0;
    virtual void CreateProceduresFields();
    virtual store::TData* GetProcedures(rtl::TStrings* Restrictions) = 0;
    virtual void CreateProcedureParametersFields();
    virtual store::TData* GetProcedureParameters(rtl::TStrings* Restrictions) = 0;
    virtual void CreateIndexesFields();
    virtual store::TData* GetIndexes(rtl::TStrings* Restrictions) = 0;
    virtual void CreateIndexColumnsFields();
    virtual store::TData* GetIndexColumns(rtl::TStrings* Restrictions) = 0;
    virtual void CreateConstraintsFields();
    virtual store::TData* GetConstraints(rtl::TStrings* Restrictions) = 0;
    virtual store::TData* GetDatabases(rtl::TStrings* Restrictions);
    virtual void CreateDatabasesFields();
    virtual store::TData* GetDataTypes(rtl::TStrings* Restrictions);
    virtual store::TData* GetUsers(rtl::TStrings* Restrictions);
    virtual store::TData* GetRoles(rtl::TStrings* Restrictions);
    virtual store::TData* GetUserDefinedTypes(rtl::TStrings* Restrictions);
    virtual store::TData* GetPackages(rtl::TStrings* Restrictions);
    virtual store::TData* GetMetaDataFor(TCRConnection* Connection, TCRTransaction* Transaction,
                                         const AnsiString& MetaDataKind, rtl::TStrings* Restrictions);

    // --- for providers ---
    // Closes the result store and drops its columns before a kind adds its own.
    void ClearResultFields();
    store::TFieldDesc* AddField(const AnsiString& Name, store::TMemDataType Type, int Length = 0);
    // Object_CATALOG, Object_SCHEMA and Object_NAME: the qualified name of a database object.
    void AddQualifiedNameFields(const AnsiString& Object);
    // Finishes the result's layout and opens it empty.
    void OpenResult();
    // Copies each value of the record set's current record into the result buffer's column.
    void CopyRecordValues(const std::vector<std::pair<int, int>>& Pairs);
    static void ParseRestrictions(const AnsiString& Text, const std::vector<AnsiString>& Names,
                                  std::vector<bool>& Flags);
    void AddWhereCondition(AnsiString& Where, const AnsiString& Column, bool AddNull, const AnsiString& Value);

    store::TMemData* MemData() const noexcept { return FMemData.get(); }
    TCRRecordSet* RecordSet() const noexcept { return FRecordSet; }
    TDataHelper* MemDataHelper() const noexcept { return FMemDataHelper.get(); }
    TDataHelper* RecordSetHelper() const noexcept { return FRecordSetHelper.get(); }
    const char* OperatorEq() const noexcept { return "="; }

protected:
    std::unique_ptr<store::TMemData> FMemData;
    TCRRecordSet* FRecordSet = nullptr;
    rtl::TOwnedPtr<TDataHelper> FMemDataHelper;
    rtl::TOwnedPtr<TDataHelper> FRecordSetHelper;
};

// ---------------------------------------------------------------------------------------------
// Loader

class TCRLoaderColumn;
using TCRLoaderColumnClass = TCreatableClass<TCRLoaderColumn>;

class TCRLoaderColumn : public rtl::TObject {
public:
    using ClassRefType = TCRLoaderColumnClass;
    RTL_CLASS(TCRLoaderColumn, rtl::TObject)
public:
    AnsiString Name;
    store::TMemDataType DataType = 0;
    int Size = 0;
    int DataSize = 0;
    int Precision = 0;
    int Scale = 0;
};

class TCRLoaderColumns : public rtl::TList {
    RTL_CLASS(TCRLoaderColumns, rtl::TList)
public:
    ~TCRLoaderColumns() override;
    void Clear() override;
    TCRLoaderColumn* Items(int Index) const { return static_cast<TCRLoaderColumn*>(TList::Items(Index)); }
};

class TCRLoaderClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    virtual TCRLoader* Create() const;
    virtual const TCRRecordSetClass& GetRecordSetClass() const;
    template <class T>
    class Of;
};

template <class T>
class TCRLoaderClass::Of : public TCRLoaderClass {
public:
    using TCRLoaderClass::TCRLoaderClass;
    TCRLoader* Create() const override {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
            return rtl::Create<T>();
        else
            return TCRLoaderClass::Create();
    }
    const TCRRecordSetClass& GetRecordSetClass() const override { return T::GetRecordSetClass(); }
    rtl::TObject* NewInstance() const override { return Create(); }
};

class TCRLoader : public rtl::TObject {
public:
    using ClassRefType = TCRLoaderClass;
    RTL_CLASS(TCRLoader, rtl::TObject)
public:
    TCRLoader();
    ~TCRLoader() override;

    // The base belongs to no provider: an assertion failure.
    static const TCRRecordSetClass& GetRecordSetClass();
    virtual void SetConnection(TCRConnection* Value) { FConnection = Value; }
    virtual void SetTransaction(TCRTransaction* Value) { FTransaction = Value; }
    virtual void FillColumn(TCRLoaderColumn* Column, const store::TFieldDesc* FieldDesc);
    virtual void PrepareStatement() {}
    virtual void WriteColumnValue(int Col, int Row, const Variant& Value) { (void)Col, (void)Row, (void)Value; }
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    virtual const TCRLoaderColumnClass& GetColumnClass() const { return TCRLoaderColumn::StaticClass(); }
    virtual void Prepare();
    virtual void Reset();
    virtual void FlushRows() {}
    virtual void Finish() {}
    // Rows count from 1.
    virtual void PutColumnData(int Col, int Row, const Variant& Value);

    TCRLoaderColumns* Columns() const noexcept { return FColumns.get(); }
    TCRLoaderColumn* AddColumn();
    const AnsiString& TableName() const noexcept { return FTableName; }
    void SetTableName(const AnsiString& Value) { FTableName = Value; }
    bool SkipReadOnlyFieldDescs() const noexcept { return FSkipReadOnlyFieldDescs; }
    void SetSkipReadOnlyFieldDescs(bool Value) noexcept { FSkipReadOnlyFieldDescs = Value; }
    int LastRow() const noexcept { return FLastRow; }
    int LoadedRows() const noexcept { return FLoadedRows; }
    TCRConnection* Connection() const noexcept { return FConnection; }
    TCRTransaction* Transaction() const noexcept { return FTransaction; }

protected:
    TCRConnection* FConnection = nullptr;
    TCRTransaction* FTransaction = nullptr;
    AnsiString FTableName;
    rtl::TOwnedPtr<TCRLoaderColumns> FColumns;
    bool FSkipReadOnlyFieldDescs = true;
    int FLastRow = -1;
    int FLoadedRows = 0;
};

// Loads each row with one execution of a prepared INSERT.
class TCRSimpleLoader : public TCRLoader {
    RTL_CLASS(TCRSimpleLoader, TCRLoader)
public:
    TCRSimpleLoader() = default;
    ~TCRSimpleLoader() override;
    // Creates the command.
    void AfterConstruction() override;

    virtual TCRCommand* CreateCommand() = 0;
    virtual void LoadRow();

    void PrepareStatement() override;
    void WriteColumnValue(int Col, int Row, const Variant& Value) override;
    void PutColumnData(int Col, int Row, const Variant& Value) override;
    void FlushRows() override;
    void Reset() override;
    // Loads the row still pending, then releases the statement.
    void Finish() override;

    TCRCommand* Command() const noexcept { return FCommand; }

protected:
    TCRCommand* FCommand = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Alerter

using TCRAlerterEventProc = std::function<void(const AnsiString& EventName, const AnsiString& Message)>;

class TCRAlerter : public rtl::TObject {
    RTL_CLASS(TCRAlerter, rtl::TObject)
public:
    TCRAlerter();
    ~TCRAlerter() override;

    virtual void SetConnection(TCRConnection* Value) { FConnection = Value; }
    virtual void SetTransaction(TCRTransaction* Value) { FTransaction = Value; }
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    // Send an event, start and stop listening.
    virtual void EventOperation1(const AnsiString& EventName, const AnsiString& Message) = 0;
    virtual void EventOperation2() = 0;
    virtual void EventOperation3() = 0;
    virtual bool IsActive() { return FActive; }

    rtl::TStringList* EventNames() const noexcept { return FEventNames.get(); }
    TCRConnection* Connection() const noexcept { return FConnection; }
    TCRTransaction* Transaction() const noexcept { return FTransaction; }
    bool AutoCommit() const noexcept { return FAutoCommit; }

    TCRAlerterEventProc OnEvent;

protected:
    rtl::TOwnedPtr<rtl::TStringList> FEventNames;
    TCRConnection* FConnection = nullptr;
    TCRTransaction* FTransaction = nullptr;
    bool FActive = false;
    bool FAutoCommit = true;
};

class TCRDummyAlerter : public TCRAlerter {
    RTL_CLASS(TCRDummyAlerter, TCRAlerter)
public:
    void EventOperation1(const AnsiString& EventName, const AnsiString& Message) override;
    void EventOperation2() override;
    void EventOperation3() override;
};

}  // namespace daccess
