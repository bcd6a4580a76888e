// The script component over SQLite: how a text is split into statements, the error policy, the
// statement handlers and large scripts.
#include <gtest/gtest.h>

#include <optional>

#include "script_fixture.h"

namespace scripttest {
namespace {

struct SplitCase {
    const char* Name;
    const char* Delimiter;
    std::string Text;
    std::vector<std::string> Statements;  // executed texts, trimmed
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.Name; }

std::vector<SplitCase> SplitCases() {
    return {
        {"DoubleDelimiterNoTrailing", ";", "SELECT 1;;SELECT 2", {"SELECT 1", "SELECT 2"}},
        {"DelimiterInLiterals",
         ";",
         "SELECT 'a;b', \"c;d\" FROM (SELECT 1 AS \"c;d\");SELECT 2",
         {"SELECT 'a;b', \"c;d\" FROM (SELECT 1 AS \"c;d\")", "SELECT 2"}},
        {"QuotedQuote", ";", "SELECT 'it''s; fine';", {"SELECT 'it''s; fine'"}},
        {"DelimiterInComments", ";", "SELECT 1 -- x;y\n;SELECT /* ; */ 2;", {"SELECT 1 -- x;y", "SELECT /* ; */ 2"}},
        {"CommentOnlyStatementSkipped",
         ";",
         "SELECT 1;\n/* just this */;\n-- and this\n;SELECT 2",
         {"SELECT 1", "SELECT 2"}},
        {"TrailingCommentKept", ";", "SELECT 1 /* tail */;", {"SELECT 1 /* tail */"}},
        {"LeadingCommentKept", ";", "-- first\nSELECT 1;", {"-- first\nSELECT 1"}},
        {"SlashAloneOnLine", ";", "SELECT 1\n/\nSELECT 2\n/", {"SELECT 1", "SELECT 2"}},
        {"SlashWithText", ";", "SELECT 4\n/ 2;", {"SELECT 4\n/ 2"}},
        {"TwoCharDelimiter", "!!", "SELECT 1!!SELECT 2 !!", {"SELECT 1", "SELECT 2"}},
        {"DollarDelimiterAfterWord", "$$", "SELECT 1 AS x$$\nSELECT 2$$", {"SELECT 1 AS x", "SELECT 2"}},
        {"TrailingBlankLines", ";", "SELECT 1;\n\n  \n\n", {"SELECT 1"}},
        {"NoDelimiterAtAll", ";", "SELECT 1", {"SELECT 1"}},
        {"TriggerBody",
         ";",
         "CREATE TABLE t (a INTEGER, b TEXT);\n"
         "CREATE TEMP TRIGGER tr AFTER INSERT ON t BEGIN\n"
         "  UPDATE t SET b = CASE WHEN new.a > 0 THEN 'p;' ELSE 'n' END WHERE a = new.a;\n"
         "  SELECT 1;\n"
         "END;\n"
         "INSERT INTO t (a) VALUES (1);",
         {"CREATE TABLE t (a INTEGER, b TEXT)",
          "CREATE TEMP TRIGGER tr AFTER INSERT ON t BEGIN\n"
          "  UPDATE t SET b = CASE WHEN new.a > 0 THEN 'p;' ELSE 'n' END WHERE a = new.a;\n"
          "  SELECT 1;\n"
          "END",
          "INSERT INTO t (a) VALUES (1)"}},
        {"DelimiterChangedMidScript",
         ";",
         "CREATE TABLE t (a INTEGER);\n"
         "DELIMITER $$\n"
         "CREATE TRIGGER tr AFTER INSERT ON t BEGIN SELECT 1; END$$\n"
         "SELECT 2$$\n"
         "DELIMITER ;\n"
         "SELECT 3;",
         {"CREATE TABLE t (a INTEGER)", "CREATE TRIGGER tr AFTER INSERT ON t BEGIN SELECT 1; END", "SELECT 2",
          "SELECT 3"}},
        {"LinesInLiteralsAndComments",
         ";",
         "SELECT 'a\r\nb;\rc' AS `x;y`, 1 /* one\n; two */;\r\n-- c;\nSELECT\r2;",
         {"SELECT 'a\nb;\nc' AS `x;y`, 1 /* one\n; two */", "-- c;\nSELECT\n2"}},
        {"SlashInsideStatement", ";", "SELECT 4/2;\nSELECT 6 / 3;", {"SELECT 4/2", "SELECT 6 / 3"}},
        {"DashesAtTheEnd", ";", "SELECT 1;SELECT 2 --", {"SELECT 1", "SELECT 2 --"}},
        {"UnclosedComment", ";", "SELECT 1;SELECT 2 /* ; never closed", {"SELECT 1", "SELECT 2 /* ; never closed"}},
        {"TriggerBetweenPlainStatements",
         ";",
         "create table t (a INTEGER);\ncreate trigger tr after insert on t begin select 1; end;\n"
         "insert into t values (1);",
         {"create table t (a INTEGER)", "create trigger tr after insert on t begin select 1; end",
          "insert into t values (1)"}},
        {"Cyrillic",
         ";",
         U(u8"SELECT 'Привет; мир' AS \"Имя\";SELECT 2"),
         {U(u8"SELECT 'Привет; мир' AS \"Имя\""), "SELECT 2"}},
    };
}

class ScriptSplitTest : public ScriptFixture, public ::testing::WithParamInterface<SplitCase> {
protected:
    // Each executed statement with where the script saw it begin and end and where the next begins.
    struct Seen {
        std::string Text;
        int64_t Positions[7];
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> RunRecorded(bool QuickScan) {
        std::vector<Seen> seen;
        Script->AfterExecute = [&](rtl::TObject*, const AnsiString& SQL) {
            seen.push_back({rtl::StringReplace(rtl::AnsiToUTF8(rtl::Trim(SQL)), "\r\n", "\n", rtl::rfReplaceAll),
                            {Script->StartPos(), Script->StartLine(), Script->StartColumn(), Script->EndPos(),
                             Script->EndLine(), Script->EndColumn(), Script->NextStatementOffset()}});
        };
        dynamic_cast<sqlite::TLiteScriptProcessor*>(Script->EnsureProcessor())->SetQuickScan(QuickScan);
        Script->SetDelimiter(GetParam().Delimiter);
        Run(rtl::UTF8ToAnsi(GetParam().Text));
        return seen;
    }
};

TEST_P(ScriptSplitTest, ExecutesEachStatementOnce) {
    const SplitCase& c = GetParam();
    // The script's lines are joined with CR LF.
    const std::vector<Seen> quick = RunRecorded(true);
    std::vector<std::string> texts;
    for (const Seen& s : quick) texts.push_back(s.Text);
    EXPECT_EQ(texts, c.Statements);
    // Plain statements are found without the lexer's lexemes: both readings agree to the position.
    Conn->ExecSQL("DROP TABLE IF EXISTS t");
    EXPECT_EQ(RunRecorded(false), quick);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptSplitTest, ::testing::ValuesIn(SplitCases()),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScriptFixture, TriggerBodyRunsWhole) {
    Run("CREATE TABLE t (a INTEGER, b TEXT);\n"
        "CREATE TRIGGER tr AFTER INSERT ON t BEGIN\n"
        "  UPDATE t SET b = CASE WHEN new.a > 0 THEN 'pos;' ELSE 'neg' END WHERE rowid = new.rowid;\n"
        "END;\n"
        "INSERT INTO t (a) VALUES (1);\nINSERT INTO t (a) VALUES (-1);");
    EXPECT_EQ(Rows("SELECT a, b FROM t ORDER BY rowid"), (std::vector<std::string>{"i:1|t:pos;", "i:-1|t:neg"}));
}

// A character the lexer refuses stops the script with the lexer's message, whichever way the
// statement is read.
TEST_F(ScriptFixture, RefusedCharacterStopsTheScript) {
    for (bool quick : {true, false}) {
        Conn->ExecSQL("DROP TABLE IF EXISTS t");
        Conn->ExecSQL("CREATE TABLE t (a INTEGER)");
        dynamic_cast<sqlite::TLiteScriptProcessor*>(Script->EnsureProcessor())->SetQuickScan(quick);
        Script->SQL()->SetText(
            AnsiString("INSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2)\x01;\nINSERT INTO t VALUES (3);"));
        std::string message;
        try {
            Script->Execute();
        } catch (const rtl::Exception& e) {
            message = e.Message();
        }
        EXPECT_EQ(message.rfind("Parser: The unknown symbol", 0), 0u) << message;
        EXPECT_EQ(Rows("SELECT a FROM t"), std::vector<std::string>{"i:1"});
    }
}

// --- error policy ---

struct ErrorCase {
    const char* Name;
    bool HasHandler;  // OnError set
    TErrorAction Action;
    bool AppHandler;  // application exception handler installed
    bool Raises;
    std::vector<std::string> Rows;
    int Shown;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.Name; }

class ScriptErrorTest : public ScriptFixture, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ScriptErrorTest, FollowsAction) {
    const ErrorCase& c = GetParam();
    Conn->ExecSQL("CREATE TABLE t (a INTEGER)");
    std::vector<std::string> errorsSeen;
    if (c.HasHandler)
        Script->OnError = [&](rtl::TObject*, rtl::Exception&, const AnsiString& SQL, TErrorAction& Action) {
            errorsSeen.push_back(SQL);
            Action = c.Action;
        };
    std::optional<ScopedShownErrors> shown;
    if (c.AppHandler) shown.emplace();
    Script->SQL()->SetText("INSERT INTO t VALUES (1);\n  INSERT INTO nowhere VALUES (2)  ;\nINSERT INTO t VALUES (3);");
    if (c.Raises)
        EXPECT_THROW(Script->Execute(), rtl::Exception);
    else
        EXPECT_NO_THROW(Script->Execute());
    EXPECT_EQ(Rows("SELECT a FROM t ORDER BY a"), c.Rows);
    if (c.HasHandler) {
        EXPECT_EQ(errorsSeen, (std::vector<std::string>{"INSERT INTO nowhere VALUES (2)"}));
    }
    EXPECT_EQ(shown ? static_cast<int>(shown->Shown.size()) : 0, c.Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ScriptErrorTest,
    ::testing::Values(ErrorCase{"Abort", true, eaAbort, true, false, {"i:1"}, 0},
                      ErrorCase{"Fail", true, eaFail, true, true, {"i:1"}, 0},
                      ErrorCase{"ExceptionWithAppHandler", true, eaException, true, false, {"i:1", "i:3"}, 1},
                      ErrorCase{"ExceptionWithoutAppHandler", true, eaException, false, true, {"i:1"}, 0},
                      ErrorCase{"Continue", true, eaContinue, true, false, {"i:1", "i:3"}, 0},
                      ErrorCase{"NoOnErrorWithAppHandler", false, eaException, true, false, {"i:1", "i:3"}, 1},
                      ErrorCase{"NoOnErrorWithoutAppHandler", false, eaException, false, true, {"i:1"}, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ScriptFixture, NoConnectionIsRefused) {
    rtl::TOwnedPtr<TLiteScript> loose(rtl::Create<TLiteScript>(nullptr));
    loose->SQL()->SetText("SELECT 1");
    try {
        loose->Execute();
        FAIL() << "no error";
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Connection is not defined");
    }
}

// --- handlers ---

TEST_F(ScriptFixture, BeforeExecuteOmitsAndRewrites) {
    Conn->ExecSQL("CREATE TABLE t (a INTEGER)");
    std::vector<std::string> before, after;
    Script->BeforeExecute = [&](rtl::TObject*, AnsiString& SQL, bool& Omit) {
        before.push_back(SQL);
        if (SQL.find("(2)") != AnsiString::npos) Omit = true;
        if (SQL.find("(3)") != AnsiString::npos) SQL = "INSERT INTO t VALUES (30)";
    };
    Script->AfterExecute = [&](rtl::TObject*, const AnsiString& SQL) { after.push_back(SQL); };
    Run("INSERT INTO t VALUES (1);INSERT INTO t VALUES (2);INSERT INTO t VALUES (3);-- done\n;");
    EXPECT_EQ(Rows("SELECT a FROM t ORDER BY a"), (std::vector<std::string>{"i:1", "i:30"}));
    // The comment-only statement is shown to the handler and then skipped.
    EXPECT_EQ(before.size(), 4u);
    EXPECT_EQ(after, (std::vector<std::string>{"INSERT INTO t VALUES (1)", "INSERT INTO t VALUES (30)"}));
}

TEST_F(ScriptFixture, MacrosExpandOnlyWhenDefined) {
    Conn->ExecSQL("CREATE TABLE t (a TEXT)");
    // No macros: an ampersand in a statement is left alone.
    Run("INSERT INTO t VALUES ('R&D');");
    Script->SQL()->SetText("INSERT INTO &tab VALUES ('x');");
    Script->Macros()->MacroByName("tab")->SetValue("t");
    Script->Execute();
    EXPECT_EQ(Rows("SELECT a FROM t ORDER BY a"), (std::vector<std::string>{"t:R&D", "t:x"}));
}

TEST_F(ScriptFixture, ExecuteNextWalksAndBreakExecRestarts) {
    Conn->ExecSQL("CREATE TABLE t (a INTEGER)");
    Script->SQL()->SetText("INSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2);");
    EXPECT_TRUE(Script->ExecuteNext());
    EXPECT_EQ(Script->NextStatementOffset(), 25);
    Script->BreakExec();
    EXPECT_TRUE(Script->ExecuteNext());
    EXPECT_TRUE(Script->ExecuteNext());
    EXPECT_FALSE(Script->ExecuteNext());
    EXPECT_EQ(Rows("SELECT a FROM t ORDER BY a"), (std::vector<std::string>{"i:1", "i:1", "i:2"}));
}

// --- large scripts ---

class ScriptLargeTest : public ScriptFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(ScriptLargeTest, TenThousandInserts) {
    const bool explicitTransaction = GetParam();
    Conn->ExecSQL("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, v REAL)");
    AnsiString text = explicitTransaction ? "BEGIN;\n" : "";
    for (int i = 0; i < 10000; ++i)
        text += "INSERT INTO t VALUES (" + std::to_string(i) + ", 'name " + std::to_string(i) + "', " +
                std::to_string(i) + ".5);\n";
    if (explicitTransaction) text += "COMMIT;\n";
    Conn->Connect();
    Conn->ExecSQL("PRAGMA synchronous = OFF");
    Run(text);
    EXPECT_EQ(Rows("SELECT count(*), sum(id), min(name), max(v) FROM t"),
              (std::vector<std::string>{"i:10000|i:49995000|t:name 0|f:0x1.387cp+13"}));
}

INSTANTIATE_TEST_SUITE_P(Transaction, ScriptLargeTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Explicit" : "AutoCommit"; });

}  // namespace
}  // namespace scripttest
