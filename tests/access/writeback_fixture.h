// A dataset fixture that records the update statements a dataset runs and reads the file as
// another client sees it.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "tests/access/lite_dataset_fixture.h"

namespace writeback {

using namespace daccess;

struct Statement {
    AnsiString Text;
    std::vector<AnsiString> Params;
};

class WriteBackFixture : public litedataset::LiteDataSetFixture {
protected:
    // Records every update statement the dataset runs.
    TCustomDADataSet* Watched(const AnsiString& SQL) {
        TCustomDADataSet* ds = Query(SQL);
        ds->BeforeUpdateExecute = [this](TCustomDADataSet* D, uint16_t, TDAParams* P) {
            auto* updater = static_cast<TDADataSetUpdater*>(D->DataSetService()->Updater());
            Statement s{TDBAccessUtils::GetSQL(updater->CurrentUpdateQuery()), {}};
            for (int i = 0; i < P->Count(); ++i) s.Params.push_back(P->Items(i)->Name());
            Ran.push_back(s);
        };
        return ds;
    }

    // The file as another client sees it.
    std::vector<std::string> Column(const std::string& SQL) {
        sqlite3* db = nullptr;
        std::vector<std::string> out;
        EXPECT_EQ(sqlite3_open_v2(Conn->Database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, SQL.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            out.push_back(t ? reinterpret_cast<const char*>(t) : "<null>");
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }

    // Bytes the connection's code page would not let through.
    void RawExec(const std::string& SQL) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Conn->Database.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, SQL.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    std::vector<Statement> Ran;
};

}  // namespace writeback
