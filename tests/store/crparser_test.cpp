#include "data/store/CRParser.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "data/store/CLRClasses.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {
namespace {

struct Lexem {
    int Code;
    std::string Text;
    friend bool operator==(const Lexem&, const Lexem&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Lexem& l) {
        return os << "{" << l.Code << ", \"" << l.Text << "\"}";
    }
};
using Lexems = std::vector<Lexem>;
using Configurer = std::function<void(TParser&)>;

// UTF-8 source text as 1251.
std::string Ansi(const char8_t* utf8) { return rtl::UTF8ToAnsi(reinterpret_cast<const char*>(utf8)); }
std::string Utf8(const char8_t* utf8) { return reinterpret_cast<const char*>(utf8); }

Lexems ReadAll(TParser& p) {
    Lexems result;
    AnsiString text;
    for (int code = p.GetNext(text); code != lcEnd; code = p.GetNext(text)) {
        result.push_back({code, text});
        if (result.size() > 100000) break;  // a parser that stops advancing must not hang the test
    }
    return result;
}

template <class P>
Lexems Lex(const std::string& text, const Configurer& setup = {}) {
    rtl::TOwnedPtr<TParser> p(rtl::Create<P>(text));
    if (setup) setup(*p);
    return ReadAll(*p);
}

// Under the Russian locale the decimal separator is a comma.
class ParserTest : public ::testing::Test {
protected:
    ParserTest() { rtl::FormatSettings() = rtl::TFormatSettings::Default(); }
    rtl::TScopedFormatSettings FSaved;
};

struct LexCase {
    const char* Name;
    std::string Input;
    Lexems Expected;
};

const std::string kCyrName = Ansi(u8"имя_поля");

TEST_F(ParserTest, SQLParserLexemes) {
    const std::vector<LexCase> cases = {
        {"select",
         "SELECT a FROM t WHERE x=1",
         {{138, "SELECT"},
          {-103, "a"},
          {112, "FROM"},
          {-103, "t"},
          {144, "WHERE"},
          {-103, "x"},
          {2, "="},
          {-105, "1"}}},
        {"keywords upper-cased",
         "select Distinct a from t order by b limit 10",
         {{138, "SELECT"},
          {107, "DISTINCT"},
          {-103, "a"},
          {112, "FROM"},
          {-103, "t"},
          {131, "ORDER"},
          {104, "BY"},
          {-103, "b"},
          {123, "LIMIT"},
          {-105, "10"}}},
        {"quoted name is no keyword", "\"Order\" \"a b\"", {{-103, "\"Order\""}, {-103, "\"a b\""}}},
        {"brackets are other symbols",
         "(a)[b]`c`",
         {{-102, "("},
          {-103, "a"},
          {-102, ")"},
          {-102, "["},
          {-103, "b"},
          {-102, "]"},
          {-102, "`"},
          {-103, "c"},
          {-102, "`"}}},
        {"hash and dollar inside names",
         "a#b #c $d",
         {{-103, "a#b"}, {-102, "#"}, {-103, "c"}, {-102, "$"}, {-103, "d"}}},
        {"names with digits and underscores", "ab12_c _d", {{-103, "ab12_c"}, {-103, "_d"}}},
        {"1251 letters form names", kCyrName + "=1", {{-103, kCyrName}, {2, "="}, {-105, "1"}}},
        {"strings", "'abc' 'a\"b'", {{-106, "abc"}, {-106, "a\"b"}}},
        {"doubled quote ends the string", "'it''s'", {{-106, "it"}, {-106, "s"}}},
        {"unterminated string", "x = 'abc", {{-103, "x"}, {2, "="}, {-106, "abc"}}},
        {"unterminated quoted name", "\"ab", {{-103, "\"ab"}}},
        {"parameter", "p = :name", {{-103, "p"}, {2, "="}, {3, ":"}, {-103, "name"}}},
        {"cast and assignment",
         "a::b := 1",
         {{-103, "a"}, {3, ":"}, {3, ":"}, {-103, "b"}, {3, ":"}, {2, "="}, {-105, "1"}}},
        {"dotted name", "s.a,*", {{-103, "s"}, {5, "."}, {-103, "a"}, {4, ","}, {1, "*"}}},
        {"symbols outside the table", "a<>b", {{-103, "a"}, {-102, "<"}, {-102, ">"}, {-103, "b"}}},
        {"line comment", "x--c\ny", {{-103, "x"}, {-108, "--c"}, {-103, "y"}}},
        {"dashes at the end are no comment", "x--", {{-103, "x"}, {-102, "-"}, {-102, "-"}}},
        {"slashes are no comment here", "a//b", {{-103, "a"}, {6, "/"}, {6, "/"}, {-103, "b"}}},
        {"block comment", "a/*c\n*/b", {{-103, "a"}, {-108, "/*c\n*/"}, {-103, "b"}}},
        {"unterminated block comment", "a /* x", {{-103, "a"}, {-108, "/* x"}}},
        {"string hides comment marks", "'--x' '/*'", {{-106, "--x"}, {-106, "/*"}}},
        {"semicolons", "a;;", {{-103, "a"}, {7, ";"}, {7, ";"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lex<TSQLParser>(c.Input), c.Expected) << c.Name;
}

TEST_F(ParserTest, GenericParserLexemes) {
    const std::vector<LexCase> cases = {
        {"brackets are table symbols", "(a)", {{8, "("}, {-103, "a"}, {9, ")"}}},
        {"its own keywords only",
         "a and b OR not select",
         {{-103, "a"}, {29, "AND"}, {-103, "b"}, {31, "OR"}, {30, "NOT"}, {-103, "select"}}},
        {"both quotes make strings", "\"x\" 'y'", {{-106, "x"}, {-106, "y"}}},
        {"line comment", "a//c\r\nb", {{-103, "a"}, {-108, "//c"}, {-103, "b"}}},
        {"slashes at the end", "a//", {{-103, "a"}, {15, "/"}, {15, "/"}}},
        {"dashes are symbols", "a--b", {{-103, "a"}, {13, "-"}, {13, "-"}, {-103, "b"}}},
        {"other table symbols", "@p`#$", {{22, "@"}, {-103, "p"}, {28, "`"}, {3, "#"}, {4, "$"}}},
        {"not in the table", "{~}", {{-102, "{"}, {-102, "~"}, {-102, "}"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lex<TParser>(c.Input), c.Expected) << c.Name;
}

TEST_F(ParserTest, NumbersFollowTheDecimalSeparator) {
    struct Case {
        char Separator;
        std::string Input;
        Lexems Expected;
    };
    const std::vector<Case> cases = {
        {',', "1,5", {{-105, "1,5"}}},
        {',', "1.5", {{-105, "1"}, {5, "."}, {-105, "5"}}},
        {',', "1,5,6", {{-105, "1,5"}, {4, ","}, {-105, "6"}}},
        {',', "1,x 2,", {{-105, "1"}, {4, ","}, {-103, "x"}, {-105, "2"}, {4, ","}}},
        {',', "12e5", {{-105, "12"}, {-103, "e5"}}},
        {',', "-3", {{-102, "-"}, {-105, "3"}}},
        {'.', "1.5 1,5", {{-105, "1.5"}, {-105, "1"}, {4, ","}, {-105, "5"}}},
    };
    for (const auto& c : cases) {
        rtl::FormatSettings().DecimalSeparator = c.Separator;
        EXPECT_EQ(Lex<TSQLParser>(c.Input), c.Expected) << c.Input << " with " << c.Separator;
    }
    // A parser keeps the separator it was initialised with; its user may set another.
    rtl::FormatSettings().DecimalSeparator = ',';
    EXPECT_EQ(Lex<TSQLParser>("1.5", [](TParser& p) { p.SetDecSeparator('.'); }), (Lexems{{-105, "1.5"}}));
}

TEST_F(ParserTest, Switches) {
    struct Case {
        const char* Name;
        std::string Input;
        Configurer Configure;
        Lexems Expected;
    };
    const std::vector<Case> cases = {
        {"keywords keep their spelling",
         "select From",
         [](TParser& p) { p.SetUpperCaseKeywords(false); },
         {{138, "select"}, {112, "From"}}},
        {"blanks returned",
         " a \t\r\nb ",
         [](TParser& p) { p.SetSkipBlanks(false); },
         {{-107, " "}, {-103, "a"}, {-107, " \t\r\n"}, {-103, "b"}, {-107, " "}}},
        {"comments skipped",
         "a /* x */ -- y\nb",
         [](TParser& p) { p.SetSkipComments(true); },
         {{-103, "a"}, {-103, "b"}}},
        {"comments skipped, blanks returned",
         "a/*x*/ b",
         [](TParser& p) {
             p.SetSkipComments(true);
             p.SetSkipBlanks(false);
         },
         {{-103, "a"}, {-107, " "}, {-103, "b"}}},
        {"string quotes kept",
         "'ab' 'c",
         [](TParser& p) { p.SetKeepStringQuotes(true); },
         {{-106, "'ab'"}, {-106, "'c"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lex<TSQLParser>(c.Input, c.Configure), c.Expected) << c.Name;
}

TEST_F(ParserTest, LongestSymbolInTheTableWins) {
    // A dialect with multi-character symbols, as the filter lexer has.
    class TComparisonParser : public TParser {
    public:
        using TParser::TParser;
        void InitParser() override {
            TParser::InitParser();
            static const TLexemList symbols{{"=", 1}, {">", 2}, {"<", 3}, {">=", 4}, {"<=", 5}, {"<>", 6}};
            static const TCharSet chars = SymbolFirstChars(symbols);
            FSymbolLexems = &symbols;
            FSymbolChars = &chars;
        }
    };
    EXPECT_EQ(Lex<TComparisonParser>("a<=b<>c<=>d>=e=f!"), (Lexems{{-103, "a"},
                                                                   {5, "<="},
                                                                   {-103, "b"},
                                                                   {6, "<>"},
                                                                   {-103, "c"},
                                                                   {5, "<="},
                                                                   {2, ">"},
                                                                   {-103, "d"},
                                                                   {4, ">="},
                                                                   {-103, "e"},
                                                                   {1, "="},
                                                                   {-103, "f"},
                                                                   {-102, "!"}}));
    // A run whose longer form is unknown stops at the known prefix.
    EXPECT_EQ(Lex<TComparisonParser>("<=="), (Lexems{{5, "<="}, {1, "="}}));
}

TEST(LexemListTest, FindIgnoresCaseOfTheCandidateOnly) {
    const TLexemList list{{"OR", 3}, {"AND", 1}, {"A", 7}, {"AND", 9}, {"ORDER", 4}};
    struct Case {
        const char* Candidate;
        int Code;  // 0: not found
    };
    const std::vector<Case> cases = {{"and", 1},   {"AnD", 1}, {"a", 7},    {"or", 3}, {"orde", 0},
                                     {"order", 4}, {"an", 0},  {"ands", 0}, {"", 0}};
    for (const auto& c : cases) {
        const int index = list.Find(c.Candidate);
        EXPECT_EQ(index < 0 ? 0 : list[index].Code, c.Code) << c.Candidate;
    }
    for (int i = 1; i < list.Count(); ++i) EXPECT_LE(list[i - 1].Text, list[i].Text);
}

TEST(LexemListTest, CodeOfZeroOrLessIsAnAssertion) {
    for (int code : {0, -103}) {
        TLexemList list;
        try {
            list.Add("X", code);
            FAIL() << code;
        } catch (const rtl::EAssertionFailed& e) {
            EXPECT_EQ(e.Text(), "Assertion failure");
            EXPECT_EQ(e.Unit(), "CRParser");
        }
        EXPECT_EQ(list.Count(), 0);
    }
}

TEST_F(ParserTest, UnknownCharactersRaiseTheParserMessage) {
    struct Case {
        std::string Input;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {std::string("a \x01", 3), std::string("Parser: The unknown symbol '\x01'  $0001")},
        {std::string("\x7F", 1), std::string("Parser: The unknown symbol '\x7F'  $007F")},
        {std::string("x\0", 2), std::string("Parser: The unknown symbol '") + '\0' + "'  $0000"},
        {std::string("\x0B", 1), std::string("Parser: The unknown symbol '\x0B'  $000B")},
    };
    for (const auto& c : cases) {
        rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(c.Input));
        try {
            ReadAll(*p);
            FAIL() << c.Message;
        } catch (const rtl::EAssertionFailed&) {
            FAIL() << "an assertion instead of the parser's message";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
    // Characters that are unknown inside strings and comments are part of them.
    EXPECT_EQ(Lex<TSQLParser>("'\x01' --\x01"), (Lexems{{-106, "\x01"}, {-108, "--\x01"}}));
}

TEST_F(ParserTest, PositionsOfLexemes) {
    const std::string text = "ab  cd /*x*/ e";
    rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(text));
    struct Step {
        std::string Text;
        int64_t Last, Current, BeforeLast;
    };
    // Each GetNext starts scanning where the previous one stopped, before blanks and comments.
    const std::vector<Step> steps = {
        {"ab", 0, 2, 0}, {"cd", 2, 6, 0}, {"/*x*/", 6, 12, 2}, {"e", 12, 14, 6}, {"", 14, 14, 12}};
    AnsiString lexem;
    for (const auto& s : steps) {
        p->GetNext(lexem);
        EXPECT_EQ(lexem, s.Text);
        EXPECT_EQ(p->LastLexemPos(), s.Last) << s.Text;
        EXPECT_EQ(p->CurrentPos(), s.Current) << s.Text;
        EXPECT_EQ(p->LexemPosBeforeLast(), s.BeforeLast) << s.Text;
    }
}

TEST_F(ParserTest, LinesAndColumns) {
    struct Case {
        const char* Name;
        std::string Input;
        Configurer Configure;
        int64_t Line, Column, LastLine, LastColumn;  // right after the last lexeme
    };
    const std::vector<Case> cases = {
        {"CR LF and LF", "a\r\nb\nc", {}, 2, 1, 1, 1},
        {"two line feeds", "a\n\nb", {}, 2, 1, 0, 1},
        {"lone CR then CR LF", "a\r\r\nb", {}, 2, 1, 0, 1},
        {"breaks in a block comment", "a/*\n\n*/b", {}, 2, 3, 0, 1},
        {"breaks in strings not counted by default", "'a\nb' c", {}, 0, 7, 0, 5},
        {"breaks in strings counted on request", "'a\nb' c", [](TParser& p) { p.SetCountLinesInQuotes(true); }, 1, 4, 1,
         2},
        {"column after leading blanks", "  \n   xy", {}, 1, 5, 0, 0},
    };
    for (const auto& c : cases) {
        rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(c.Input));
        if (c.Configure) c.Configure(*p);
        p->SetSkipComments(true);
        int64_t line = -1, column = -1, lastLine = -1, lastColumn = -1;
        AnsiString lexem;
        while (p->GetNext(lexem) != lcEnd) {
            line = p->CurrentLine();
            column = p->CurrentColumn();
            lastLine = p->LastLexemLine();
            lastColumn = p->LastLexemColumn();
        }
        EXPECT_EQ(line, c.Line) << c.Name;
        EXPECT_EQ(column, c.Column) << c.Name;
        EXPECT_EQ(lastLine, c.LastLine) << c.Name;
        EXPECT_EQ(lastColumn, c.LastColumn) << c.Name;
    }
}

TEST_F(ParserTest, BackReturnsTheSameLexemeAndLine) {
    rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>("a\n  WHERE\nb"));
    AnsiString lexem;
    p->GetNext(lexem);
    EXPECT_EQ(p->GetNext(lexem), lxWHERE);
    const int64_t line = p->CurrentLine();
    p->Back();
    EXPECT_EQ(p->CurrentPos(), 1);
    EXPECT_EQ(p->CurrentLine(), 0);
    EXPECT_EQ(p->GetNext(lexem), lxWHERE);
    EXPECT_EQ(p->CurrentLine(), line);
    EXPECT_EQ(p->GetNext(lexem), lcIdent);
    EXPECT_EQ(lexem, "b");
    EXPECT_EQ(p->CurrentLine(), 2);
}

TEST_F(ParserTest, SetTextAndToBeginStartAgain) {
    rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>("a\nb"));
    const Lexems first = ReadAll(*p);
    p->ToBegin();
    EXPECT_EQ(p->CurrentLine(), 0);
    EXPECT_EQ(ReadAll(*p), first);
    p->SetText("select 1");
    EXPECT_EQ(p->CurrentPos(), 0);
    EXPECT_EQ(ReadAll(*p), (Lexems{{138, "SELECT"}, {-105, "1"}}));
}

TEST_F(ParserTest, SkipToCountsBrackets) {
    const std::string sql = "SELECT (SELECT x FROM a) y FROM b WHERE (c)";
    AnsiString lexem;
    {
        rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(sql));
        EXPECT_EQ(p->SkipTo(lxSELECT), lxSELECT);
        EXPECT_EQ(p->SkipTo(lxFROM, true), lxFROM);
        p->GetNext(lexem);
        EXPECT_EQ(lexem, "b");
        EXPECT_EQ(p->SkipTo(lxORDER, true), lcEnd);
    }
    {
        rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(sql));
        p->SkipTo(lxSELECT);
        EXPECT_EQ(p->SkipTo(lxFROM), lxFROM);
        p->GetNext(lexem);
        EXPECT_EQ(lexem, "a");
    }
    {
        rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>("(SELECT 1) WITH q AS (SELECT 2) SELECT 3"));
        EXPECT_EQ(p->SkipToAny({lxWITH, lxSELECT}), lxWITH);
        EXPECT_EQ(p->SkipToAny({lxSELECT}), lxSELECT);
        p->GetNext(lexem);
        EXPECT_EQ(lexem, "3");
        EXPECT_EQ(p->SkipToAny({lxSELECT}), lcEnd);
    }
    {
        // Brackets inside strings and quoted names do not count.
        rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>("x '(' \"(\" FROM t"));
        EXPECT_EQ(p->SkipTo(lxFROM, true), lxFROM);
    }
    {
        // The generic parser's brackets are table symbols; they count all the same.
        rtl::TOwnedPtr<TParser> p(rtl::Create<TParser>("(a AND b) AND c"));
        EXPECT_EQ(p->SkipTo(29, true), 29);
        p->GetNext(lexem);
        EXPECT_EQ(lexem, "c");
    }
}

TEST_F(ParserTest, ScanForWordFindsParametersOutsideStringsAndComments) {
    rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>("a = ':x' /* :y */ -- :w\n and b = :z or c = ::v"));
    AnsiString lexem;
    EXPECT_TRUE(p->ScanForWord(":"));
    EXPECT_EQ(p->GetNext(lexem), lcIdent);
    EXPECT_EQ(lexem, "z");
    EXPECT_TRUE(p->ScanForWord(":"));
    EXPECT_EQ(p->CurrentPos(), 44);
    EXPECT_TRUE(p->ScanForWord(":"));
    EXPECT_EQ(p->GetNext(lexem), lcIdent);
    EXPECT_FALSE(p->ScanForWord(":"));

    struct Case {
        std::string Text, Word;
        bool Found;
    };
    const std::vector<Case> cases = {
        {"x from y", "FROM", true},  // keywords are not looked up: an identifier matches
        {"x From y", "from", true},  // both sides upper-cased
        {"'from'", "from", false},   // strings never match
        {"a 12 b", "12", true},      // numbers
        {"a<b", "<", true},          // a symbol outside the table
        {"a<>b", "<>", false},       // a two-character word is no single symbol
        {"\"n\"", "\"N\"", true},    // a quoted name as written
        {"select", "", false},
    };
    for (const auto& c : cases) {
        rtl::TOwnedPtr<TParser> q(rtl::Create<TSQLParser>(c.Text));
        EXPECT_EQ(q->ScanForWord(c.Word), c.Found) << c.Text << " / " << c.Word;
    }
}

TEST_F(ParserTest, SQLDialectPredicates) {
    rtl::TOwnedPtr<TSQLParser> p(rtl::Create<TSQLParser>(""));
    for (int code : {lxWHERE, lxGROUP, lxHAVING, lxUNION, lxINTERSECT, lxMINUS, lxORDER})
        EXPECT_TRUE(p->IsClauseCode(code)) << code;
    for (int code : {lxSELECT, lxFROM, lxLIMIT, 129, lcIdent}) EXPECT_FALSE(p->IsClauseCode(code)) << code;

    struct Case {
        int A, B, Result;
    };
    const std::vector<Case> cases = {{lxWHERE, lxORDER, -1},     {lxORDER, lxWHERE, 1},   {lxGROUP, lxGROUP, 0},
                                     {lxUNION, lxINTERSECT, -1}, {lxSELECT, lxWHERE, -2}, {lxWHERE, lxLIMIT, -2}};
    for (const auto& c : cases) EXPECT_EQ(p->CompareClauses(c.A, c.B), c.Result) << c.A << " " << c.B;

    EXPECT_TRUE(p->IsSelectModifier(lxALL));
    EXPECT_TRUE(p->IsSelectModifier(lxDISTINCT));
    EXPECT_FALSE(p->IsSelectModifier(lxSELECT));
    EXPECT_TRUE(p->IsNullWord("NULL"));
    EXPECT_FALSE(p->IsNullWord("null"));
    EXPECT_TRUE(p->IsNonStringLexeme(lcIdent));
    EXPECT_FALSE(p->IsNonStringLexeme(lcString));
}

TEST_F(ParserTest, ClauseTestWithoutClausesIsAnAssertion) {
    class TNoClauses : public TSQLParser {
    public:
        using TSQLParser::TSQLParser;
        void InitParser() override {
            TSQLParser::InitParser();
            FClauses.clear();
        }
    };
    rtl::TOwnedPtr<TNoClauses> p(rtl::Create<TNoClauses>("x"));
    EXPECT_THROW(p->IsClauseCode(lxWHERE), rtl::EAssertionFailed);
}

TEST_F(ParserTest, ClassReferencesCreateInitialisedParsers) {
    const TParserClass& cls = TSQLParser::StaticClass();
    EXPECT_TRUE(cls.InheritsFrom(&TParser::StaticClass()));
    EXPECT_STREQ(cls.ClassName(), "TSQLParser");
    rtl::TOwnedPtr<TParser> p(cls.Create("select (x)"));
    EXPECT_STREQ(p->ClassName(), "TSQLParser");
    EXPECT_EQ(ReadAll(*p), (Lexems{{138, "SELECT"}, {-102, "("}, {-103, "x"}, {-102, ")"}}));

    // A parser made without the second phase initialises itself before its first use.
    TSQLParser bare("select");
    bare.SetUpperCaseKeywords(false);
    AnsiString lexem;
    EXPECT_EQ(bare.GetNext(lexem), lxSELECT);
    EXPECT_EQ(lexem, "select");
}

// --- stream sources ---

std::unique_ptr<rtl::TMemoryStream> StreamOf(const rtl::TBytes& bytes, const std::string& prefix = {}) {
    auto s = std::make_unique<rtl::TMemoryStream>();
    s->Write(prefix.data(), static_cast<int64_t>(prefix.size()));
    s->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    s->SetPosition(static_cast<int64_t>(prefix.size()));
    return s;
}

struct Trace {
    int Code;
    std::string Text;
    int64_t Last, Line, Column;
    friend bool operator==(const Trace&, const Trace&) = default;
};

std::vector<Trace> TraceAll(TParser& p) {
    std::vector<Trace> result;
    AnsiString text;
    for (int code = p.GetNext(text); code != lcEnd; code = p.GetNext(text))
        result.push_back({code, text, p.LastLexemPos(), p.CurrentLine(), p.CurrentColumn()});
    return result;
}

// A 1251 text of several blocks with names, strings and comments that cross block boundaries.
std::string LongScript() {
    const std::string name = Ansi(u8"поле");
    std::string text;
    for (int i = 0; text.size() < 200000; ++i) {
        text += "SELECT " + name + std::to_string(i) + ", 'str\r\n" + name + "' FROM t WHERE x = :p" +
                std::to_string(i) + " /* c\n" + std::string(static_cast<size_t>(i % 97), '*') + " */\r\n";
        if (i % 50 == 0) text += std::string(70000, ' ');  // a blank run longer than a block
    }
    return text;
}

TEST_F(ParserTest, StreamsReadAsTheSameTextInEveryEncoding) {
    const std::string text = LongScript();
    rtl::TOwnedPtr<TParser> memory(rtl::Create<TSQLParser>(text));
    memory->SetSkipBlanks(false);
    memory->SetCountLinesInQuotes(true);  // streams always count lines in quotes
    const auto expected = TraceAll(*memory);
    ASSERT_GT(expected.size(), 1000u);

    struct Case {
        const char* Name;
        const Encoding* Enc;
    };
    const std::vector<Case> cases = {{"ANSI", Encoding::AnsiInstance()},
                                     {"UTF-8", Encoding::Utf8Instance()},
                                     {"UTF-16", Encoding::UnicodeInstance()}};
    for (const auto& c : cases) {
        auto stream = StreamOf(c.Enc->AnsiToBytes(text), "junk");
        rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(stream.get(), c.Enc));
        p->SetSkipBlanks(false);
        const auto got = TraceAll(*p);
        ASSERT_EQ(got.size(), expected.size()) << c.Name;
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_TRUE(got[i] == expected[i]) << c.Name << " lexeme " << i << ": " << got[i].Text;
        // ToBegin reads the stream again from where the parser started.
        p->ToBegin();
        AnsiString lexem;
        EXPECT_EQ(p->GetNext(lexem), lxSELECT) << c.Name;
    }
}

TEST_F(ParserTest, CharacterSplitByABlockBoundary) {
    // Each text puts a multi-byte character across the end of the first 65,536-byte block.
    const std::string ya = Utf8(u8"я");          // two bytes; 1251 0xFF
    const std::string euro = Utf8(u8"€");        // three bytes; 1251 0x88
    const std::u16string smile = u"\U0001F600";  // a surrogate pair; no 1251 character
    auto utf16 = [](const std::u16string& w) {
        rtl::TBytes bytes;
        for (char16_t c : w) {
            bytes.push_back(static_cast<uint8_t>(c & 0xFF));
            bytes.push_back(static_cast<uint8_t>(c >> 8));
        }
        return bytes;
    };
    auto bytesOf = [](const std::string& s) { return rtl::TBytes(s.begin(), s.end()); };
    struct Case {
        const char* Name;
        const Encoding* Enc;
        rtl::TBytes Bytes;
        Lexems Expected;
    };
    const std::vector<Case> cases = {
        {"UTF-8 two bytes",
         Encoding::Utf8Instance(),
         bytesOf(std::string(65535, 'a') + ya + " b"),
         {{-103, std::string(65535, 'a') + "\xFF"}, {-103, "b"}}},
        {"UTF-8 three bytes, one in the first block",
         Encoding::Utf8Instance(),
         bytesOf(std::string(65535, 'a') + euro + "b"),
         {{-103, std::string(65535, 'a') + "\x88" + "b"}}},
        {"UTF-8 three bytes, two in the first block",
         Encoding::Utf8Instance(),
         bytesOf(std::string(65534, 'a') + euro + "b"),
         {{-103, std::string(65534, 'a') + "\x88" + "b"}}},
        {"UTF-16 surrogate pair",
         Encoding::UnicodeInstance(),
         utf16(std::u16string(32767, u'a') + smile + u" b"),
         {{-103, std::string(32767, 'a')}, {-102, "?"}, {-103, "b"}}},
    };
    for (const auto& c : cases) {
        auto stream = StreamOf(c.Bytes);
        rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(stream.get(), c.Enc));
        EXPECT_EQ(ReadAll(*p), c.Expected) << c.Name;
    }
    // Positions count characters of the text, not bytes of the stream.
    auto stream = StreamOf(bytesOf(std::string(65535, 'a') + ya + " b"));
    rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(stream.get(), Encoding::Utf8Instance()));
    AnsiString lexem;
    p->GetNext(lexem);
    EXPECT_EQ(p->CurrentPos(), 65536);
    p->GetNext(lexem);
    EXPECT_EQ(p->LastLexemPos(), 65536);
    EXPECT_EQ(p->CurrentPos(), 65538);
}

TEST_F(ParserTest, ReadingBeforeTheRetainedTextIsAnAssertion) {
    class TProbe : public TSQLParser {
    public:
        using TSQLParser::TSQLParser;
        char At(int64_t pos) { return CharAt(pos); }
    };
    const std::string text = std::string(200000, 'x') + " y " + std::string(100000, 'z');
    auto stream = StreamOf(rtl::TBytes(text.begin(), text.end()));
    rtl::TOwnedPtr<TProbe> p(rtl::Create<TProbe>(stream.get(), nullptr));
    AnsiString lexem;
    p->GetNext(lexem);
    EXPECT_EQ(p->GetNext(lexem), lcIdent);
    EXPECT_EQ(lexem, "y");
    EXPECT_EQ(p->GetNext(lexem), lcIdent);
    EXPECT_EQ(lexem.size(), 100000u);
    EXPECT_EQ(p->LastLexemPos(), 200002);
    EXPECT_EQ(p->At(200002), ' ');  // the last GetNext started there: still held
    EXPECT_THROW(p->At(0), rtl::EAssertionFailed);
}

TEST_F(ParserTest, EmptyStreamAndEmptyText) {
    rtl::TMemoryStream stream;
    rtl::TOwnedPtr<TParser> p(rtl::Create<TSQLParser>(&stream, nullptr));
    EXPECT_TRUE(ReadAll(*p).empty());
    EXPECT_TRUE(Lex<TSQLParser>("").empty());
    EXPECT_TRUE(Lex<TSQLParser>(" \r\n\t").empty());
}

}  // namespace
}  // namespace store
