#include <gtest/gtest.h>

#include <string>

#include "data/access/DBAccess_Common.h"
#include "framework/rtl/Text.h"

using namespace daccess;

namespace {

struct TextCase {
    const char* SQL;
    const char* Arg;
    const char* Expected;
};

// Makes CR visible in failure output.
std::string Show(std::string s) {
    for (size_t i = 0; (i = s.find('\r', i)) != std::string::npos;) s.replace(i, 1, "<CR>");
    return s;
}

}  // namespace

TEST(SQLTextTest, AddWhereJoinsOrAddsTheCondition) {
    const TextCase cases[] = {
        {"SELECT * FROM t", "c = 1", "SELECT * FROM t\rWHERE c = 1 "},
        {"SELECT * FROM t;", "c = 1", "SELECT * FROM t\rWHERE c = 1 ;"},
        {"SELECT * FROM sources WHERE kind = 1 ORDER BY name", "curator = 5",
         "SELECT * FROM sources WHERE (kind = 1) AND curator = 5  ORDER BY name"},
        {"SELECT * FROM t WHERE a = 1", "c = 1", "SELECT * FROM t WHERE (a = 1) AND c = 1 "},
        {"SELECT a FROM t GROUP BY a", "c = 1", "SELECT a FROM t\rWHERE c = 1  GROUP BY a"},
        // Only the first statement of a UNION gets the condition.
        {"SELECT a FROM t WHERE a > 0 UNION SELECT b FROM u", "c = 1",
         "SELECT a FROM t WHERE (a > 0) AND c = 1  UNION SELECT b FROM u"},
        // WHERE inside brackets, a string, a comment or after the macro character is not the
        // statement's.
        {"SELECT * FROM (SELECT * FROM u WHERE x = 1) q", "c = 1",
         "SELECT * FROM (SELECT * FROM u WHERE x = 1) q\rWHERE c = 1 "},
        {"SELECT 'x WHERE y' FROM t", "c = 1", "SELECT 'x WHERE y' FROM t\rWHERE c = 1 "},
        {"SELECT * FROM t /* WHERE a */ ORDER BY x", "c = 1", "SELECT * FROM t /* WHERE a */\rWHERE c = 1  ORDER BY x"},
        {"SELECT * FROM t &WHERE", "c = 1", "SELECT * FROM t &WHERE\rWHERE c = 1 "},
        {"SELECT * FROM t WHERE id IN (&ids)", "c = 1", "SELECT * FROM t WHERE (id IN (&ids)) AND c = 1 "},
        {"WITH q AS (SELECT * FROM u WHERE x = 1) SELECT * FROM q", "c = 1",
         "WITH q AS (SELECT * FROM u WHERE x = 1) SELECT * FROM q\rWHERE c = 1 "},
        // A line comment at the end of the old condition: the closing bracket goes on a new line.
        {"SELECT * FROM t WHERE a = 1 -- note", "c = 1", "SELECT * FROM t WHERE (a = 1 -- note\r) AND c = 1 "},
        {"SELECT * FROM t WHERE a = 1 -- note\rORDER BY x", "c = 1",
         "SELECT * FROM t WHERE (a = 1 -- note\r) AND c = 1 \rORDER BY x"},
        // A top-level OR is bracketed; one inside brackets is not; AND-only conditions are untouched.
        {"SELECT * FROM t WHERE a = 1", "b = 2 OR b = 3", "SELECT * FROM t WHERE (a = 1) AND (b = 2 OR b = 3) "},
        {"SELECT * FROM t", "b = 2 or b = 3", "SELECT * FROM t\rWHERE (b = 2 or b = 3) "},
        {"SELECT * FROM t WHERE a = 1", "(b = 2 OR b = 3) AND d = 'OR'",
         "SELECT * FROM t WHERE (a = 1) AND (b = 2 OR b = 3) AND d = 'OR' "},
        // The statement's own ';' stays last.
        {"SELECT * FROM t WHERE a = 1;", "c = 1", "SELECT * FROM t WHERE (a = 1) AND c = 1 ;"},
        // WHERE as the very last word: the bracket position is clamped to the text.
        {"SELECT * FROM t WHERE", "c = 1", "SELECT * FROM t WHERE() AND c = 1 "},
        // Nothing to do.
        {"SELECT * FROM t", "  ", "SELECT * FROM t"},
        {"UPDATE t SET a = 1", "c = 1", "UPDATE t SET a = 1"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(Show(AddWhere(c.SQL, c.Arg)), Show(c.Expected)) << Show(c.SQL) << " + " << c.Arg;
}

TEST(SQLTextTest, AddWhereWithCommentsSkippedStillClosesBeforeALineComment) {
    // The comment is not a lexeme then, but the closing bracket must not end up inside it.
    EXPECT_EQ(Show(AddWhere("SELECT * FROM t WHERE a = 1 -- note", "c = 1", store::TSQLParser::StaticClass(), true)),
              Show("SELECT * FROM t WHERE (a = 1 -- note\r) AND c = 1 "));
    EXPECT_EQ(
        AddWhere("SELECT * FROM t WHERE a = 1 -- note\nORDER BY x", "c = 1", store::TSQLParser::StaticClass(), true),
        "SELECT * FROM t WHERE (a = 1) AND c = 1  -- note\nORDER BY x");
}

TEST(SQLTextTest, AddWhereKeepsCyrillicTextIntact) {
    const AnsiString sql = rtl::UTF8ToAnsi(u8"SELECT * FROM sources WHERE name = 'Архив' ORDER BY name");
    const AnsiString cond = rtl::UTF8ToAnsi(u8"note LIKE '%опись%'");
    EXPECT_EQ(AddWhere(sql, cond),
              rtl::UTF8ToAnsi(u8"SELECT * FROM sources WHERE (name = 'Архив') AND note LIKE '%опись%'  ORDER BY name"));
}

TEST(SQLTextTest, SetWhereReplacesAddsOrRemovesTheCondition) {
    const TextCase cases[] = {
        {"SELECT * FROM t WHERE a = 1 ORDER BY x", "", "SELECT * FROM t ORDER BY x"},
        {"SELECT * FROM t WHERE a = 1 ORDER BY x", "b = 2", "SELECT * FROM t WHERE b = 2 ORDER BY x"},
        {"SELECT * FROM t WHERE a = 1", "", "SELECT * FROM t"},
        {"SELECT * FROM t WHERE a = 1", "b = 2", "SELECT * FROM t WHERE b = 2"},
        {"SELECT * FROM t ORDER BY x", "b = 2", "SELECT * FROM t WHERE b = 2 ORDER BY x"},
        {"SELECT * FROM t", "b = 2", "SELECT * FROM t WHERE b = 2"},
        {"SELECT * FROM t", "", "SELECT * FROM t"},
        {"SELECT *\r\nFROM t", "b = 2", "SELECT *\r\nFROM t\r  WHERE b = 2"},
        {"SELECT * FROM t WHERE a = 1 /* c */ ORDER BY x", "b = 2", "SELECT * FROM t WHERE b = 2 /* c */ ORDER BY x"},
        {"SELECT * FROM (SELECT * FROM u WHERE x = 1) q", "b = 2",
         "SELECT * FROM (SELECT * FROM u WHERE x = 1) q WHERE b = 2"},
        {"SELECT a FROM t WHERE a > 0 GROUP BY a", "b = 2", "SELECT a FROM t WHERE b = 2 GROUP BY a"},
        // The statement's ';' and a clause written without blanks stay outside the condition.
        {"SELECT * FROM t WHERE a = 1;", "", "SELECT * FROM t;"},
        {"SELECT * FROM t WHERE a = 1;", "b = 2", "SELECT * FROM t WHERE b = 2;"},
        {"SELECT * FROM t WHERE(a = 1)ORDER BY x", "b = 2", "SELECT * FROM t WHERE b = 2 ORDER BY x"},
        {"SELECT * FROM t WHERE(a = 1)ORDER BY x", "", "SELECT * FROM t ORDER BY x"},
        {"DELETE FROM t WHERE a = 1", "", "DELETE FROM t WHERE a = 1"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(Show(SetWhere(c.SQL, c.Arg)), Show(c.Expected)) << Show(c.SQL) << " <- " << c.Arg;
}

TEST(SQLTextTest, SetOrderByReplacesAddsOrRemovesTheList) {
    const TextCase cases[] = {
        {"SELECT * FROM t", "a;b", "SELECT * FROM t ORDER BY a,b"},
        {"SELECT * FROM t ORDER BY a", "", "SELECT * FROM t"},
        {"SELECT * FROM t WHERE x = 1 ORDER BY a, b DESC", "c", "SELECT * FROM t WHERE x = 1 ORDER BY c"},
        {"SELECT *\r\nFROM t", "a", "SELECT *\r\nFROM t\r  ORDER BY a"},
        {"SELECT * FROM (SELECT * FROM u ORDER BY x) q", "a",
         "SELECT * FROM (SELECT * FROM u ORDER BY x) q ORDER BY a"},
        {"SELECT * FROM t ORDER BY 'ORDER BY'", "a", "SELECT * FROM t ORDER BY a"},
        // LIMIT and OFFSET belong to the statement, not to the list.
        {"SELECT * FROM t ORDER BY a LIMIT 10", "b", "SELECT * FROM t ORDER BY b LIMIT 10"},
        {"SELECT * FROM t ORDER BY a LIMIT 10", "", "SELECT * FROM t LIMIT 10"},
        {"SELECT * FROM t LIMIT 10 OFFSET 5", "a", "SELECT * FROM t ORDER BY a LIMIT 10 OFFSET 5"},
        {"SELECT * FROM t;", "a", "SELECT * FROM t ORDER BY a;"},
        {"SELECT * FROM t ORDER BY a;", "", "SELECT * FROM t;"},
        {"INSERT INTO t VALUES (1)", "a", "INSERT INTO t VALUES (1)"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(Show(SetOrderBy(c.SQL, c.Arg)), Show(c.Expected)) << Show(c.SQL) << " <- " << c.Arg;
}

TEST(SQLTextTest, GettersReadTheClauses) {
    struct GetCase {
        const char* SQL;
        const char* From;
        const char* Where;
        const char* OrderBy;
    };
    const GetCase cases[] = {
        {"SELECT * FROM t", "t", "", ""},
        {"SELECT * FROM t WHERE a = 1 ORDER BY x", "t", "a = 1", "x"},
        {"SELECT * FROM t, u WHERE t.id = u.id GROUP BY a ORDER BY a, b DESC", "t, u", "t.id = u.id", "a, b DESC"},
        {"SELECT * FROM (SELECT * FROM u WHERE x = 1 ORDER BY x) q", "(SELECT * FROM u WHERE x = 1 ORDER BY x) q", "",
         ""},
        {"SELECT 'WHERE' FROM t /* WHERE x */ WHERE a = 'ORDER BY'", "t", "a = 'ORDER BY'", ""},
        {"SELECT * FROM t WHERE a = 1;", "t", "a = 1", ""},
        {"SELECT a FROM t ORDER BY a LIMIT 10", "t", "", "a"},
        {"SELECT a FROM t ORDER BY a;", "t", "", "a"},
        {"SELECT a FROM t &WHERE", "t &WHERE", "", ""},
        {"UPDATE t SET a = 1 WHERE b = 2", "", "", ""},
    };
    for (const GetCase& c : cases) {
        EXPECT_EQ(GetFrom(c.SQL, store::TSQLParser::StaticClass(), true), c.From) << c.SQL;
        EXPECT_EQ(GetWhere(c.SQL, store::TSQLParser::StaticClass(), true), c.Where) << c.SQL;
        EXPECT_EQ(GetOrderBy(c.SQL), c.OrderBy) << c.SQL;
    }
}

TEST(SQLTextTest, RoutinesComposeAsTheDatasetUsesThem) {
    // FilterSQL joined, then the order replaced, then the filter read back.
    AnsiString sql = "SELECT * FROM sources WHERE kind = 1 ORDER BY name";
    sql = AddWhere(sql, "curator = 5 OR curator = 6");
    sql = SetOrderBy(sql, "created;name");
    EXPECT_EQ(GetWhere(sql), "(kind = 1) AND (curator = 5 OR curator = 6)");
    EXPECT_EQ(GetOrderBy(sql), "created,name");
    EXPECT_EQ(SetWhere(sql, ""), "SELECT * FROM sources  ORDER BY created,name");
}

TEST(SQLTextTest, UpdateKindMapsToStatementType) {
    EXPECT_EQ(UpdateKindToStatementType(db::ukModify), stUpdate);
    EXPECT_EQ(UpdateKindToStatementType(db::ukInsert), stInsert);
    EXPECT_EQ(UpdateKindToStatementType(db::ukDelete), stDelete);
    EXPECT_THROW(UpdateKindToStatementType(static_cast<db::TUpdateKind>(7)), rtl::EAssertionFailed);
    EXPECT_EQ(StatementTypeBit(stInsert) | StatementTypeBit(stUpdate) | StatementTypeBit(stDelete) |
                  StatementTypeBit(stLock) | StatementTypeBit(stRefresh),
              62);
}

TEST(SQLTextTest, ParamNamesSurviveTheSingleByteRoundTrip) {
    db::TParams params(nullptr);
    const AnsiString cyrillic = rtl::UTF8ToAnsi(u8"код_описи");
    params.CreateParam(db::ftInteger, cyrillic, db::ptInput);
    params.CreateParam(db::ftString, "Name", db::ptInput);
    ParamNamesToAnsi(&params);
    EXPECT_EQ(params.Items(0)->Name(), cyrillic);
    EXPECT_EQ(params.Items(1)->Name(), "Name");
}
