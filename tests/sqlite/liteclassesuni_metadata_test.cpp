#include "tests/sqlite/lite_fixture.h"

using namespace litetest;

namespace {

// The rows of a metadata answer as text, the named columns only.
std::vector<std::vector<std::string>> Answer(store::TData* Data, const std::vector<std::u16string>& Columns) {
    std::vector<std::vector<std::string>> rows;
    void* buf = Data->AllocRecBuf();
    Data->SetToBegin();
    while (true) {
        Data->GetNextRecord(buf);
        if (Data->GetEof()) break;
        std::vector<std::string> row;
        for (const auto& name : Columns) {
            Variant v = Data->GetFieldValue(Data->FieldByName(name)->FieldNo, buf);
            row.push_back(v.IsNull() ? "<null>" : v.AsAnsiString());
        }
        rows.push_back(row);
    }
    Data->FreeRecBuf(buf);
    return rows;
}

}  // namespace

class LiteMetaTest : public LiteTest {
protected:
    void SetUp() override {
        LiteTest::SetUp();
        TSQLiteConnection* c = Open();
        Exec(c,
             "CREATE TABLE sources (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(100) NOT NULL "
             "DEFAULT 'none', kind INT, UNIQUE (name, kind DESC))");
        Exec(c, "CREATE TABLE keyed (a INT, b TEXT, PRIMARY KEY (a))");
        Exec(c, "CREATE TABLE \"it's\" (x INTEGER)");
        Exec(c, "CREATE INDEX ix_kind ON sources (kind DESC)");
        Exec(c, "CREATE VIEW v_sources AS SELECT * FROM sources");
        Meta.reset(rtl::Create<TSQLiteMetaData>());
        Restr.reset(rtl::Create<rtl::TStringList>());
    }
    void TearDown() override {
        Meta.reset();
        LiteTest::TearDown();
    }
    store::TData* Get(const char* Kind, std::initializer_list<const char*> Lines) {
        Restr->Clear();
        for (const char* l : Lines) Restr->Add(l);
        return Meta->GetMetaDataFor(Conn.get(), nullptr, Kind, Restr.get());
    }
    rtl::TOwnedPtr<TSQLiteMetaData> Meta;
    rtl::TOwnedPtr<rtl::TStringList> Restr;
};

TEST_F(LiteMetaTest, TablesAndViews) {
    EXPECT_EQ(Answer(Get("Tables", {}), {u"TABLE_NAME", u"TABLE_TYPE"}),
              (std::vector<std::vector<std::string>>{{"it's", "table"},
                                                     {"keyed", "table"},
                                                     {"sources", "table"},
                                                     {"sqlite_sequence", "table"},
                                                     {"v_sources", "view"}}));
    EXPECT_EQ(Answer(Get("Tables", {"TABLE_TYPE=view"}), {u"TABLE_NAME"}),
              (std::vector<std::vector<std::string>>{{"v_sources"}}));
    EXPECT_EQ(Answer(Get("Tables", {"TABLE_NAME=SOURCES"}), {u"TABLE_NAME"}),
              (std::vector<std::vector<std::string>>{{"sources"}}));
}

TEST_F(LiteMetaTest, ColumnsReportTheIntegerKeyAsNotNullableAndKeepDefaults) {
    EXPECT_EQ(Answer(Get("Columns", {"TABLE_NAME=sources"}),
                     {u"COLUMN_NAME", u"POSITION", u"DATA_TYPE", u"NULLABLE", u"DEFAULT_VALUE"}),
              (std::vector<std::vector<std::string>>{{"id", "1", "INTEGER", "0", "<null>"},
                                                     {"name", "2", "VARCHAR", "1", "'none'"},
                                                     {"kind", "3", "INT", "1", "<null>"}}));
    EXPECT_EQ(Answer(Get("Columns", {"TABLE_NAME=keyed"}), {u"COLUMN_NAME", u"NULLABLE"}),
              (std::vector<std::vector<std::string>>{{"a", "1"}, {"b", "1"}}));
    EXPECT_EQ(Answer(Get("Columns", {"TABLE_NAME=sources", "COLUMN_NAME=KIND"}), {u"COLUMN_NAME"}),
              (std::vector<std::vector<std::string>>{{"kind"}}));
    // A name with a quote inside reaches the catalogue as a literal, not as SQL.
    EXPECT_EQ(Answer(Get("Columns", {"TABLE_NAME=it's"}), {u"COLUMN_NAME"}),
              (std::vector<std::vector<std::string>>{{"x"}}));
    EXPECT_TRUE(Answer(Get("Columns", {"TABLE_NAME=x' OR '1'='1"}), {u"COLUMN_NAME"}).empty());
    EXPECT_EQ(MessageOf([&] { Get("Columns", {}); }), rtl::Format(SRestrictionMustBeSet, {AnsiString("TABLE_NAME")}));
}

TEST_F(LiteMetaTest, IndexesAndTheirColumns) {
    EXPECT_EQ(Answer(Get("Indexes", {"TABLE_NAME=sources"}), {u"INDEX_NAME", u"UNIQUE"}),
              (std::vector<std::vector<std::string>>{{"autoindex0", "1"}, {"autoindex1", "1"}, {"ix_kind", "0"}}));
    EXPECT_EQ(Answer(Get("IndexColumns", {"TABLE_NAME=sources"}),
                     {u"INDEX_NAME", u"COLUMN_NAME", u"COLUMN_POSITION", u"SORT_ORDER"}),
              (std::vector<std::vector<std::string>>{{"autoindex0", "id", "1", "ASC"},
                                                     {"autoindex1", "name", "1", "ASC"},
                                                     {"autoindex1", "kind", "2", "DESC"},
                                                     {"ix_kind", "kind", "1", "DESC"}}));
    EXPECT_EQ(Answer(Get("IndexColumns", {"TABLE_NAME=sources", "UNIQUE=0"}), {u"INDEX_NAME"}),
              (std::vector<std::vector<std::string>>{{"ix_kind"}}));
    EXPECT_EQ(Answer(Get("IndexColumns", {"TABLE_NAME=sources", "INDEX_NAME=autoindex1"}), {u"COLUMN_NAME"}),
              (std::vector<std::vector<std::string>>{{"name"}, {"kind"}}));
}
