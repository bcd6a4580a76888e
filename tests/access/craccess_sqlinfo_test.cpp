// The SQL dialect object and the table and column information it reads from statements.
#include <gtest/gtest.h>

#include "data/access/CRAccess_SQLInfo.h"
#include "framework/rtl/Classes.h"

using namespace daccess;

namespace {

TSQLInfo& Info() {
    static rtl::TOwnedPtr<TSQLInfo> info(rtl::Create<TSQLInfo>(&store::TSQLParser::StaticClass()));
    return *info;
}

// A dialect with upper-case identifiers, to see the case rules.
class TUpperInfo : public TSQLInfo {
    RTL_CLASS(TUpperInfo, TSQLInfo)
public:
    using TSQLInfo::TSQLInfo;
    int IdentCase() const override { return 0; }
};

}  // namespace

TEST(SQLInfo, QuotesNeeded) {
    const std::pair<const char*, bool> cases[] = {
        {"name", false}, {"Name1", false}, {"_x", true}, {"1a", true},
        {"a b", true},   {"a$b", false},   {"", false},  {"\xDF\xEC\xFF", true},
    };
    for (const auto& [text, needed] : cases) EXPECT_EQ(Info().QuotesNeeded(text), needed) << text;

    TUpperInfo upper(&store::TSQLParser::StaticClass());
    EXPECT_FALSE(upper.QuotesNeeded("NAME"));
    EXPECT_TRUE(upper.QuotesNeeded("Name"));
}

TEST(SQLInfo, QuoteAndUnquote) {
    EXPECT_EQ(Info().QuoteName("a b"), "\"a b\"");
    EXPECT_EQ(Info().QuoteName("\"a b\""), "\"a b\"");
    EXPECT_EQ(Info().UnQuote("\"a b\""), "a b");
    EXPECT_EQ(Info().UnQuote("\""), "\"");
    EXPECT_EQ(Info().UnQuote("ab"), "ab");
    EXPECT_TRUE(Info().IsQuoted("\"\""));
    EXPECT_FALSE(Info().IsQuoted("\"a"));
    EXPECT_EQ(Info().QuoteIfNeeded("plain"), "plain");
    EXPECT_EQ(Info().QuoteIfNeeded("two words"), "\"two words\"");
    // A quote inside a name is doubled, and undoubled again, so the name stays one identifier.
    EXPECT_EQ(Info().QuoteName("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(Info().QuoteIfNeeded("x\" OR 1=1 --"), "\"x\"\" OR 1=1 --\"");
    EXPECT_EQ(Info().UnQuote("\"a\"\"b\""), "a\"b");
    EXPECT_EQ(Info().UnQuote(Info().QuoteName("\"\"lead")), "\"\"lead");
}

TEST(SQLInfo, NormalizeName) {
    struct Case {
        const char* text;
        bool quote;
        bool unquote;
        const char* expected;
    };
    const Case cases[] = {
        {"main.my table", false, false, "main.\"my table\""},
        {"\"main\".\"tab\"", false, false, "main.tab"},
        {"\"a.b\".c", false, false, "\"a.b\".c"},
        {"\"my table\"", false, true, "my table"},
        {"s.\"t x\"", false, true, "s.t x"},
        {"s.t", true, false, "\"s\".\"t\""},
        {"", false, false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Info().NormalizeName(c.text, c.quote, c.unquote), c.expected) << c.text;

    TUpperInfo upper(&store::TSQLParser::StaticClass());
    EXPECT_EQ(upper.NormalizeName("main.tab", false, false), "MAIN.TAB");
    EXPECT_EQ(upper.NormalizeName("\"tab\"", false, false), "\"tab\"");
}

TEST(SQLInfo, SplitObjectName) {
    struct Case {
        const char* text;
        const char* catalog;
        const char* schema;
        const char* name;
    };
    const Case cases[] = {
        {"t", "", "", "t"},
        {"s.t", "", "s", "t"},
        {"c.s.t", "c", "s", "t"},
        {"x.c.s.t", "c", "s", "t"},
        {"s.\"a.b\"", "", "s", "\"a.b\""},
        {"\"x.y\".t", "", "\"x.y\"", "t"},
    };
    for (const Case& c : cases) {
        AnsiString catalog = "?", schema = "?", name = "?";
        Info().SplitObjectName(c.text, catalog, schema, name);
        EXPECT_EQ(catalog, c.catalog) << c.text;
        EXPECT_EQ(schema, c.schema) << c.text;
        EXPECT_EQ(name, c.name) << c.text;
    }
}

TEST(SQLInfo, NamesToListAndBack) {
    rtl::TOwnedPtr<rtl::TStringList> list(rtl::Create<rtl::TStringList>());
    list->Add("stale");
    Info().NamesToList("  a, b ;;c ,  ", list.get());
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(list->Strings(2), "c");
    EXPECT_EQ(Info().NamesFromList(list.get()), "a;b;c");
}

TEST(SQLInfo, ParseTablesInfo) {
    struct Case {
        const char* sql;
        std::vector<std::pair<AnsiString, AnsiString>> tables;  // name, alias
    };
    const Case cases[] = {
        {"SELECT * FROM sources s LEFT JOIN contacts c ON c.id = s.id, (SELECT 1) x",
         {{"sources", "s"}, {"contacts", "c"}}},
        {"SELECT a FROM t WHERE b IN (SELECT b FROM u)", {{"t", ""}}},
        {"SELECT a FROM main.t AS x ORDER BY a", {{"main.t", "x"}}},
        {"SELECT a FROM \"my table\" INNER JOIN (u JOIN v ON v.a = u.a) ON u.b = a",
         {{"\"my table\"", ""}, {"u", ""}, {"v", ""}}},
        {"select count(*) from (select * from t) q", {}},
        {"SELECT * FROM f(1)", {}},
        {"SELECT 1", {}},
        {"UPDATE t SET a = 1", {}},
        {"SELECT * FROM (a WHERE b) c", {{"a", ""}}},
        {"SELECT * FROM a, b x GROUP BY 1", {{"a", ""}, {"b", "x"}}},
    };
    for (const Case& c : cases) {
        TCRTablesInfo tables(TCRTableInfo::StaticClass());
        Info().ParseTablesInfo(c.sql, &tables);
        ASSERT_EQ(tables.Count(), static_cast<int>(c.tables.size())) << c.sql;
        for (int i = 0; i < tables.Count(); ++i) {
            EXPECT_EQ(tables.Items(i)->TableName(), c.tables[static_cast<size_t>(i)].first) << c.sql;
            EXPECT_EQ(tables.Items(i)->TableAlias(), c.tables[static_cast<size_t>(i)].second) << c.sql;
            EXPECT_EQ(tables.Items(i)->Index(), i);
        }
    }
}

TEST(SQLInfo, ParseColumnsInfo) {
    TColumnsInfo columns;
    Info().ParseColumnsInfo("SELECT DISTINCT a, t.b AS bb, count(*) n, NULL, x + 1, s.t.c FROM t", &columns);
    ASSERT_EQ(columns.Count(), 6);
    struct Expected {
        const char* name;
        const char* table;
        const char* expr;
        const char* alias;
    };
    const Expected expected[] = {
        {"a", "", "", ""},    {"b", "t", "", "bb"}, {"", "", "count(*)", "n"},
        {"", "", "NULL", ""}, {"", "", "x+1", ""},  {"c", "s.t", "", ""},
    };
    for (int i = 0; i < columns.Count(); ++i) {
        const TColumnInfo* c = columns.Items(i);
        EXPECT_EQ(c->Name, expected[i].name) << i;
        EXPECT_EQ(c->Table, expected[i].table) << i;
        EXPECT_EQ(c->Expr, expected[i].expr) << i;
        EXPECT_EQ(c->Alias, expected[i].alias) << i;
        EXPECT_EQ(c->TableIndex, -1);
    }

    TColumnsInfo none;
    Info().ParseColumnsInfo("UPDATE t SET a = 1", &none);
    EXPECT_EQ(none.Count(), 0);
}

TEST(SQLInfo, ParsingNeedsAParserClass) {
    rtl::TOwnedPtr<TSQLInfo> bare(rtl::Create<TSQLInfo>(nullptr));
    TCRTablesInfo tables(TCRTableInfo::StaticClass());
    EXPECT_THROW(bare->ParseTablesInfo("SELECT * FROM t", &tables), rtl::EAssertionFailed);
    TColumnsInfo columns;
    EXPECT_THROW(bare->ParseColumnsInfo("SELECT a FROM t", &columns), rtl::EAssertionFailed);
}

TEST(TablesInfo, LookupsByNameAndAlias) {
    TCRTablesInfo tables(TCRTableInfo::StaticClass());
    tables.BeginUpdate();
    TCRTableInfo* a = tables.Add();
    a->SetTableName("Sources");
    a->SetTableAlias("s");
    // Found while the indexes are not built yet.
    EXPECT_EQ(tables.FindByName("sources"), a);
    EXPECT_EQ(tables.IndexByAlias("S"), 0);
    TCRTableInfo* b = tables.Add();
    b->SetTableName("contacts");
    tables.EndUpdate();

    EXPECT_EQ(tables.FindByName("CONTACTS"), b);
    EXPECT_EQ(tables.IndexOf("sources"), 0);
    EXPECT_EQ(tables.IndexOf("none"), -1);
    b->SetTableAlias("c");
    EXPECT_EQ(tables.IndexByAlias("c"), 1);

    tables.SetCaseSensitive(true);
    EXPECT_EQ(tables.IndexOf("sources"), -1);
    EXPECT_EQ(tables.IndexOf("Sources"), 0);

    try {
        tables.Items(2);
        FAIL();
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (2)");
    }
    tables.Clear();
    EXPECT_EQ(tables.Count(), 0);
    EXPECT_EQ(tables.FindByName("Sources"), nullptr);
}
