// The update machinery adapted to SQLite: INSERT of an all-null record, the last insert row id as
// identity value, "rowid" or the INTEGER PRIMARY KEY column as identity field, counted records.
#pragma once

#include "data/access/DBAccess.h"

namespace sqlite {

class TCustomLiteSQLGenerator : public daccess::TDASQLGenerator {
    RTL_CLASS(TCustomLiteSQLGenerator, daccess::TDASQLGenerator)
public:
    using TDASQLGenerator::TDASQLGenerator;

protected:
    // A record without a single value still inserts every field.
    void GenerateInsertSQL(const daccess::TKeyAndDataFields& Fields, bool ModifiedOnly, int BatchIndex) override;
};

class TCustomLiteDataSetUpdater : public daccess::TDADataSetUpdater {
    RTL_CLASS(TCustomLiteDataSetUpdater, daccess::TDADataSetUpdater)
public:
    using TDADataSetUpdater::TDADataSetUpdater;
    bool BatchUpdates() override { return false; }
    bool GetIdentityFieldValue(rtl::Variant& Value) override;

protected:
    // A statement is compiled in the process: keeping it for the next record holds nothing on a server.
    bool KeepsStatementsPrepared() override { return true; }
};

class TCustomLiteDataSetService : public daccess::TDADataSetService {
    RTL_CLASS(TCustomLiteDataSetService, daccess::TDADataSetService)
public:
    using TDADataSetService::TDADataSetService;
    void NewUpdater() override;
    bool CanModify() override;
    bool IdentityIsDataField() override { return true; }
    // Counted without the query's ORDER BY, which only costs the server a sort.
    int GetRecCount() override;

protected:
    daccess::TDASQLGenerator* CreateSQLGenerator() override;
    void AfterFieldsKnown() override;
    bool RecordSetKnowsBaseTables() override;
    // Without column metadata the tables' columns come from the table metadata.
    void AfterBaseTablesAssigned(daccess::TCRTablesInfo* Tables, daccess::TColumnsInfo* Columns) override;
    store::TFieldDesc* GetIdentityField() override;

private:
    struct TTableColumn {
        rtl::AnsiString Name;
        rtl::AnsiString DefaultValue;  // empty without one
        bool NotNull = false;
    };
    std::vector<TTableColumn> ReadTableColumns(const rtl::AnsiString& TableName);
};

}  // namespace sqlite
