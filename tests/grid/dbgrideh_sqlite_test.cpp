// The grid over a query on a SQLite file: a re-sort through IndexFieldNames, which reaches the
// grid as a dataset change, keeps the current record on the current row.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "data/components/Uni.h"
#include "data/sqlite/SQLiteUniProvider.h"
#include "tests/grid/dbgrid_fixture.h"
#include "tests/support/lite_file_fixture.h"

namespace gridtest {
namespace {

class GridSQLiteTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        char tmpl[] = "/tmp/velmorat_grid_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        File = (Dir / "velmorat.sdb").string();
        std::string sql = "CREATE TABLE sources (id INTEGER PRIMARY KEY, name TEXT, n INTEGER);";
        for (int i = 1; i <= 60; ++i)
            sql += "INSERT INTO sources VALUES (" + std::to_string(i) + ", 'Фонд " + std::to_string(i) + "', " +
                   (i % 10 == 0 ? std::string("NULL") : std::to_string(i * 37 % 101)) + ");";
        litetest::RawExec(File, sql);
        Conn.reset(rtl::Create<components::TUniConnection>(nullptr));
        Conn->SetLoginPrompt(false);
        Conn->SetProviderName("SQLite");
        Conn->SetDatabase(File);
        Query.reset(rtl::Create<components::VUdeVizov>(nullptr));
        Query->SetConnection(Conn.get());
        Query->SetSQL("SELECT id, name, n FROM sources");
        Query->SpecificOptions()->Add("SQLite.FetchAll=True");
        Query->Open();
        Src = rtl::Create<db::TDataSource>(Form);
        Src->SetDataSet(Query.get());
        Grid = rtl::Create<TDBGridEh>(Form);
        Grid->SetBounds(0, 0, 300, 200);
        Grid->SetParent(Form);
        for (const char16_t* n : {u"id", u"name", u"n"}) Grid->Columns()->Add()->SetFieldName(n);
        Grid->SetDataSource(Src);
        Form->Show();
        Pump();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        Query.reset();
        Conn.reset();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
        UiTest::TearDown();
    }
    // The ids the grid's rows show, top to bottom.
    std::vector<std::string> ShownIds() {
        std::vector<std::string> ids;
        for (int r = 0; r < Grid->DataLink()->RecordCount(); ++r) {
            Grid->SwitchToDataRow(r);
            ids.push_back(std::to_string(Query->FieldByName(std::string_view("id"))->AsInteger()));
            Grid->RestoreActiveRecord();
        }
        return ids;
    }

    std::filesystem::path Dir;
    std::string File;
    rtl::TOwnedPtr<components::TUniConnection> Conn;
    rtl::TOwnedPtr<components::VUdeVizov> Query;
    db::TDataSource* Src = nullptr;
    TDBGridEh* Grid = nullptr;
};

TEST_F(GridSQLiteTest, AResortKeepsTheCurrentRecordOnTheCurrentRowInTheEnginesOrder) {
    struct Case {
        const char* IndexFieldNames;
        const char* OrderBy;
    } cases[] = {{"n DESC", "n DESC"}, {"n", "n"}, {"id DESC", "id DESC"}};
    Query->MoveBy(6);
    for (const Case& c : cases) {
        const int current = Query->FieldByName(std::string_view("id"))->AsInteger();
        Query->SetIndexFieldNames(c.IndexFieldNames);
        Pump();
        SCOPED_TRACE(c.IndexFieldNames);
        EXPECT_EQ(Query->FieldByName(std::string_view("id"))->AsInteger(), current);
        EXPECT_EQ(Grid->Row() - Grid->TitleRowCount(), Grid->DataLink()->ActiveRecord());
        EXPECT_EQ(Grid->RowCount() - Grid->TitleRowCount(), Grid->DataLink()->RecordCount());
        // The shown rows are a window of the engine's own order around the current record.
        const std::vector<std::string> order =
            litetest::ReadColumn(File, std::string("SELECT id FROM sources ORDER BY ") + c.OrderBy);
        const std::vector<std::string> shown = ShownIds();
        const auto at = std::find(order.begin(), order.end(), std::to_string(current));
        ASSERT_NE(at, order.end());
        const auto first = at - Grid->DataLink()->ActiveRecord();
        ASSERT_GE(first - order.begin(), 0);
        ASSERT_LE(first + static_cast<long>(shown.size()), order.end());
        EXPECT_EQ(shown, std::vector<std::string>(first, first + static_cast<long>(shown.size())));
        Query->MoveBy(3);
    }
    // Nothing was written back to the file.
    EXPECT_EQ(litetest::ReadColumn(File, "SELECT count(*) FROM sources WHERE name LIKE 'Фонд %'"),
              std::vector<std::string>{"60"});
}

}  // namespace
}  // namespace gridtest
