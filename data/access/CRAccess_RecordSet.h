// The provider record set: the rows a command returns, kept in the record store.
#pragma once

#include "data/access/CRAccess_Connection.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// Record set

class TCRFieldDesc : public store::TFieldDesc {
public:
    TCRFieldDesc() = default;
    // Asserts that the source is a TCRFieldDesc.
    void Assign(const store::TFieldDesc& Source) override;
    // Mode 0 quotes only when the name needs it; any other mode always quotes.
    virtual AnsiString QuotedName(const TSQLInfo* SQLInfo, int Mode = 0);
    virtual bool IsNational() const { return false; }

    AnsiString ActualNameAnsi() const;
    // The column's name in the table the statements write to.
    void SetColumnName(const WideString& Value) {
        ColumnName = Value;
        FQuotedNameKnown[0] = FQuotedNameKnown[1] = false;
    }

    uint16_t DBType = 0;
    int32_t DBLength = 0;
    int32_t DBScale = 0;
    TCRMapRule* MapRule = nullptr;
    int32_t MapLength = -1;
    int32_t MapScale = -1;
    TOnDemandConverter* OnDemandConverter = nullptr;
    TCRFieldEncryptor* Encryptor = nullptr;
    TCRTableInfo* TableInfo = nullptr;
    // The column's default as the server would write it; given to the field as its
    // DefaultExpression when the dataset asks for server defaults.
    AnsiString DefaultExpr;

private:
    AnsiString FQuotedNames[2];
    bool FQuotedNameKnown[2] = {false, false};
};

class TCRRecordSet : public store::TMemData, public rtl::TObject {
public:
    using ClassRefType = TCRRecordSetClass;
    RTL_CLASS(TCRRecordSet, rtl::TObject)
public:
    TCRRecordSet();
    ~TCRRecordSet() override;
    // Creates the provider's command, the tables info and the map rules.
    void AfterConstruction() override;

    // --- store operations ---
    void DoPrepare() override;
    void DoUnprepare() override;
    void DoOpen(int Flag) override;
    void DoClose() override;
    bool NeedConvertEOL() const override;
    void Prepare() override;
    void Unprepare() override;
    std::unique_ptr<store::TFieldDesc> CreateFieldDesc() const override { return std::make_unique<TCRFieldDesc>(); }
    void InitFields() override;
    void GetFieldData(const store::TFieldDesc* Field, const void* Source, void* Dest) override;
    void PutFieldData(const store::TFieldDesc* Field, void* Dest, const void* Source, bool NoRound = false) override;
    // The dataset's reads and writes: through the column's on-demand converter when asked.
    virtual void GetFieldData(const store::TFieldDesc* Field, const void* Source, void* Dest, bool NeedConvert);
    virtual void PutFieldData(const store::TFieldDesc* Field, void* Dest, const void* Source, bool NoRound,
                              bool NeedConvert);
    void GetNextRecord(void* RecBuf) override;
    void GetPriorRecord(void* RecBuf) override;
    bool FilterUpdated() override;
    void InitSortColumn(store::TSortColumn& Column) override;
    void SortItems() override;

    // --- provider operations ---
    virtual void CreateCommand() = 0;
    virtual void SetCommand(TCRCommand* Value);
    virtual bool CanFetchBack() { return false; }
    virtual bool ReturnsRows() { return FCommandType == ctCursor; }
    virtual bool NeedReinitFields() { return false; }
    virtual void InternalOpen(bool DisableInitFields = false);
    virtual void ProcessFetchedBlock(store::TItemBlock* Block, int FetchedRows, bool FetchBack);
    virtual void DoBeforeFetch(bool& Cancel);
    virtual void DoAfterFetch();
    virtual void UnprepareFields();
    virtual void ExecCommand();
    virtual void FetchAll();
    virtual void BreakFetch() { FWaitForBreak = true; }
    virtual bool IsFetchEnded();
    virtual bool IsQuery() { return FCommandType == ctCursor; }
    virtual void SetConnection(TCRConnection* Value);
    virtual void SetTransaction(TCRTransaction* Value);
    virtual void SetSQL(const AnsiString& Value);
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual bool GetProp(int Prop, Variant& Value);
    virtual bool IsCaseSensitive() { return true; }
    virtual TCRMapRule* FindMapRule(const AnsiString& FieldName, uint16_t DBType, int32_t DBLength, int32_t DBScale);
    virtual TOnDemandConverter* GetMapOnDemandConverter(const AnsiString& FieldName, store::TMemDataType DataType,
                                                        TCRMapRule*& MapRule, int32_t DBLength, int32_t DBScale,
                                                        uint16_t DBType);
    virtual bool IsEncryptableDataType(store::TMemDataType DataType);
    virtual store::TMemDataType MapEncryptedDataType(store::TMemDataType DataType) { return DataType; }

    // Links n rows that the provider read into the first n items of a block.
    void FetchBlock(store::TItemBlock* Block, int FetchedRows, bool FetchBack);
    void DecryptRecord(store::TRecordItem* Item);
    TFetchConverter* GetFieldConverter(const AnsiString& FieldName, uint16_t DBType, int32_t DBLength, int32_t DBScale);
    TCRCommand* GetCommand() const noexcept { return FCommand; }
    bool IsEncryptedField(const AnsiString& FieldName);
    void SetComponent(rtl::TComponent* Value);

    bool UniDirectional() const noexcept { return FUniDirectional; }
    int FetchRows() const noexcept { return FFetchRows; }
    bool FetchAllFlag() const noexcept { return FFetchAll; }
    bool PartlyUsedBlock() const noexcept { return FPartlyUsedBlock; }
    bool LongStrings() const noexcept { return FLongStrings; }
    bool FlatBuffers() const noexcept { return FFlatBuffers; }
    bool ExtendedFieldsInfo() const noexcept { return FExtendedFieldsInfo; }
    bool DefaultValues() const noexcept { return FDefaultValues; }
    bool FieldsOrigin() const noexcept { return FFieldsOrigin; }
    uint8_t CommandType() const noexcept { return FCommandType; }
    void SetCommandType(uint8_t Value) noexcept { FCommandType = Value; }
    TCRMapRules* MapRules() const noexcept { return FMapRules.get(); }
    TCRTablesInfo* TablesInfo() const noexcept { return FTablesInfo.get(); }
    TCRFieldEncryptor* Encryptor() const noexcept { return FEncryptor; }
    void SetEncryptor(TCRFieldEncryptor* Value) noexcept { FEncryptor = Value; }
    const AnsiString& EncryptedFields() const noexcept { return FEncryptedFields; }
    bool WaitForBreak() const noexcept { return FWaitForBreak; }

    TBeforeFetchProc OnBeforeFetch;
    TNotifyProc OnAfterFetch;
    TNotifyProc OnReopen;

protected:
    TCRFieldDesc* CRField(const store::TFieldDesc* Field) const;

    TCRCommand* FCommand = nullptr;
    bool FUniDirectional = false;
    int FFetchRows = 25;
    bool FPartlyUsedBlock = false;
    bool FFetchAll = false;
    bool FLockFetchAll = false;
    bool FLongStrings = true;
    bool FFlatBuffers = true;
    bool FExtendedFieldsInfo = false;
    bool FDefaultValues = false;
    bool FFieldsOrigin = false;
    bool FWaitForBreak = false;
    uint8_t FCommandType = ctUnknown;
    rtl::TOwnedPtr<TCRMapRules> FMapRules;
    TCRFieldEncryptor* FEncryptor = nullptr;
    AnsiString FEncryptedFields;
    rtl::TOwnedPtr<TCRTablesInfo> FTablesInfo;
};

}  // namespace daccess
