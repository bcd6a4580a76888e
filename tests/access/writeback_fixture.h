// A dataset fixture that records the update statements a dataset runs and reads the file as
// another client sees it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/access/lite_dataset_fixture.h"
#include "tests/support/lite_file_fixture.h"

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
    std::vector<std::string> Column(const std::string& SQL) { return litetest::ReadColumn(Conn->Database, SQL); }
    // Bytes the connection's code page would not let through.
    void RawExec(const std::string& SQL) { litetest::RawExec(Conn->Database, SQL); }

    std::vector<Statement> Ran;
};

}  // namespace writeback
