// Write-back after the record set re-created its field descriptions: on Refresh, Close/Open and
// a new SQL text the generated statements must name the new descriptions and the right row.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "data/access/DBAccess.h"
#include "framework/db/DB.h"
#include "lite_dataset_fixture.h"

using namespace daccess;
using litedataset::LiteDataSetFixture;

namespace {

using ReopenWriteBackTest = LiteDataSetFixture;

struct TWrite {
    const char* Name;
    std::function<void(TCustomDADataSet*)> Run;
    // The ids in the table afterwards and the name of row 3.
    std::vector<int> Ids;
    const char* NameOf3;
};

const TWrite Writes[] = {
    {"Delete",
     [](TCustomDADataSet* ds) {
         ASSERT_TRUE(ds->Locate(u"id", Variant(3), {}));
         ds->Delete();
     },
     {1, 2, 4, 5},
     nullptr},
    {"Edit",
     [](TCustomDADataSet* ds) {
         ASSERT_TRUE(ds->Locate(u"id", Variant(3), {}));
         ds->Edit();
         ds->FieldByName("name")->SetAsString("changed");
         ds->Post();
     },
     {1, 2, 3, 4, 5},
     "changed"},
    {"Append",
     [](TCustomDADataSet* ds) {
         ds->Append();
         ds->FieldByName("id")->SetAsInteger(7);
         ds->FieldByName("name")->SetAsString("new");
         ds->Post();
     },
     {1, 2, 3, 4, 5, 7},
     nullptr},
};

struct TReopen {
    const char* Name;
    std::function<void(TCustomDADataSet*)> Run;
};

const TReopen Reopens[] = {
    {"Refresh", [](TCustomDADataSet* ds) { ds->Refresh(); }},
    {"RefreshTwice",
     [](TCustomDADataSet* ds) {
         ds->Refresh();
         ds->Refresh();
     }},
    {"CloseOpen",
     [](TCustomDADataSet* ds) {
         ds->Close();
         ds->Open();
     }},
    {"NewSQL",
     [](TCustomDADataSet* ds) {
         ds->SetSQL("SELECT id, kind, name FROM sources ORDER BY id");
         ds->Open();
     }},
};

TEST_F(ReopenWriteBackTest, WritesAfterTheFieldsWereReCreatedReachTheRightRow) {
    for (const TReopen& r : Reopens)
        for (const TWrite& w : Writes) {
            SCOPED_TRACE(std::string(r.Name) + " then " + w.Name);
            Conn->ExecSQL("DELETE FROM sources");
            Conn->ExecSQL(
                "INSERT INTO sources (id, name, kind) "
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5) "
                "SELECT i, 'Archive ' || i, i % 2 FROM n");
            TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
            ds->Open();
            // A first write keeps generated statements (and the fields they name) in the updater.
            ASSERT_TRUE(ds->Locate(u"id", Variant(1), {}));
            ds->Edit();
            ds->FieldByName("name")->SetAsString("Archive 1");
            ds->Post();
            r.Run(ds);
            w.Run(ds);
            TCustomDADataSet* check = Query("SELECT * FROM sources ORDER BY id");
            check->Open();
            EXPECT_EQ(Ids(check), w.Ids);
            if (w.NameOf3) {
                ASSERT_TRUE(check->Locate(u"id", Variant(3), {}));
                EXPECT_EQ(check->FieldByName("name")->AsString(), w.NameOf3);
            }
            ASSERT_TRUE(check->Locate(u"id", Variant(2), {}));
            EXPECT_EQ(check->FieldByName("name")->AsString(), "Archive 2");
            ds->Close();
            check->Close();
        }
}

}  // namespace
