#include <gtest/gtest.h>

#include <array>

#include "data/components/UniConsts.h"
#include "data/components/UniProvider.h"

using namespace components;

namespace {

// A formatter with tables shaped like a real provider's.
class FormatterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Functions.reset(rtl::Create<rtl::TStringList>());
        for (const char* f : {"CHAR_LENGTH=LENGTH(%s)", "SUBSTRING=SUBSTR(%s, %s, %s)", "CONCAT=%s || %s",
                              "CURRENT_DATE=CURRENT_DATE", "DATEADD=DATE(%2:s, '%1:s %0:s')", "__DATE_TIME_LITERAL=%s",
                              "__DATE_LITERAL=%s", "__TIME_LITERAL=%s", "TWO=%s%s"})
            Functions->Add(f);
        Predefined.reset(rtl::Create<rtl::TStringList>());
        for (const char* m : {"PROVIDER=SQLite", "SQLITE=", "DATETIME=TEXT", "DOUBLE=DOUBLE"}) Predefined->Add(m);
        Names.reset(rtl::Create<rtl::TStringList>());
        Values.reset(rtl::Create<rtl::TStringList>());
        F.reset(rtl::Create<TUniSqlFormatter>());
        F->SetFunctions(Functions.get());
        F->SetPredefinedMacros(Predefined.get());
        F->SetMacroLists(Names.get(), Values.get());
    }
    void Macro(const char* Name, const char* Value) {
        Names->Add(Name);
        Values->Add(Value);
    }
    AnsiString Expand(AnsiString Text) {
        F->Expand(Text);
        return Text;
    }
    std::string ErrorOf(const AnsiString& Text) {
        try {
            Expand(Text);
        } catch (const rtl::Exception& e) {
            return e.Message();
        }
        return "<no exception>";
    }
    rtl::TOwnedPtr<rtl::TStringList> Functions, Predefined, Names, Values;
    rtl::TOwnedPtr<TUniSqlFormatter> F;
};

TEST_F(FormatterTest, TranslationTable) {
    Macro("TBL", "sources");
    Macro("WRAP", "{TBL} s");
    struct Case {
        const char* In;
        const char* Out;
    };
    const Case cases[] = {
        {"SELECT {fn CHAR_LENGTH(name)} FROM t", "SELECT LENGTH(name) FROM t"},
        {"{fn DATEADD(day, 3, d)}", "DATE( d, ' 3 day')"},
        {"{fn SUBSTRING(f(a, b), 1, 2)}", "SUBSTR(f(a, b),  1,  2)"},
        {"{fn CONCAT('a,b', ')')}", "'a,b' ||  ')'"},
        {"{fn CURRENT_DATE}", "CURRENT_DATE"},
        {"{fn CURRENT_DATE()}", "CURRENT_DATE"},
        {"{fn char_length({TBL})}", "LENGTH(sources)"},
        {"{if SQLITE}A{else}B{endif}", "A"},
        {"{if ORACLE}A{else}B{endif}", "B"},
        {"{if sqlite}{if ORACLE}A{else}B{endif}{else}C{endif}", "B"},
        {"{if ORACLE}{if SQLITE}A{endif}{endif}x", "x"},
        {"{if ORACLE}{if SQLITE}A{else}B{endif}{else}C{endif}", "C"},
        {"{if ORACLE}{if SQLITE}{if TBL}A{endif}B{endif}{endif}", ""},
        {"{if ORACLE}{fn NOSUCH(1)}{endif}x", "x"},
        {"{if TBL}yes{endif}", "yes"},
        {"{PROVIDER}", "SQLite"},
        {"{provider}", "SQLite"},
        {"a{FOO}b", "ab"},
        {"a{FOO bar}b", "ab"},
        {"{DATETIME NOT NULL}", "TEXT NOT NULL"},
        {"SELECT * FROM {WRAP}", "SELECT * FROM sources s"},
        {"{date '2014-10-20'}", "'2014-10-20'"},
        {"{time   '10:20:30'  }", "'10:20:30'"},
        {"{timestamp '2014-10-20 10:20:30'}", "'2014-10-20 10:20:30'"},
        {"{date 'not a date'}", "'not a date'"},
        {"SELECT 1 -- note\nFROM t", "SELECT 1 /* note*/\nFROM t"},
        {"SELECT 1 -- a */ b\n", "SELECT 1 -- a */ b\n"},
        {"select \"my col\" from t where s = '{x}'", "select \"my col\" from t where s = '{x}'"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Expand(c.In), c.Out) << c.In;
}

TEST_F(FormatterTest, ErrorTable) {
    struct Case {
        const char* In;
        const char* Message;
    };
    const Case cases[] = {
        {"{if X}A", "{if} statement not completed"},
        {"{else}", "Unexpected {else}"},
        {"{if X}A{else}B{else}C{endif}", "Unexpected {else}"},
        {"A{endif}", "Unexpected {endif}"},
        {"{ fn X}", "Empty macro or function name"},
        {"{}", "Empty macro or function name"},
        {"{'a'}", "Empty macro or function name"},
        {"{fn,X}", "Unexpected character"},
        {"{fn}", "Empty function name"},
        {"{fn (1)}", "Empty function name"},
        {"{fn CHAR_LENGTH x}", "Unexpected character"},
        {"{fn CHAR_LENGTH(a}", "Invalid bracket count in function call"},
        {"{fn CHAR_LENGTH(a))}", "Invalid bracket count in function call"},
        {"{fn CHAR_LENGTH(a) x}", "Invalid bracket count in function call"},
        {"{fn NOSUCH(1)}", "Unknown function: NOSUCH"},
        {"{fn SUBSTRING(a, b, c, d)}", "Wrong argument count for function: SUBSTRING"},
        {"{date 2014-10-20}", "Invalid year-month-day string. The format is {date 'yyyy-mm-dd'}"},
        {"{date '}", "Invalid year-month-day string. The format is {date 'yyyy-mm-dd'}"},
        {"{time 10:20}", "Invalid hour-minute-second string. The format is {time 'hh:mm:ss'}"},
        {"{timestamp}", "Invalid timestamp string. The format is {timestamp 'yyyy-mm-dd hh:mm:ss'}"},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.In), c.Message) << c.In;
    // A template that needs more arguments than the call gives.
    EXPECT_THROW(Expand("{fn TWO(a)}"), rtl::EConvertError);
    EXPECT_EQ(ErrorOf("{fn TWO(a)}"), "Format '%s%s' invalid or incompatible with argument");
    EXPECT_EQ(ErrorOf("SELECT {fn DATEADD(day, 3)}"),
              "Format 'DATE(%2:s, '%1:s %0:s')' invalid or incompatible with argument");
}

TEST_F(FormatterTest, SelfReferringMacrosAreRefusedInsteadOfExpandingWithoutEnd) {
    Macro("A", "x{B}");
    Macro("B", "y{A}");
    Macro("SELF", "{SELF}");
    EXPECT_EQ(ErrorOf("{A}"), "Cyclic macros: B");
    EXPECT_EQ(ErrorOf("{SELF}"), "Cyclic macros: SELF");
    // The depth count is restored after a failure, so a sound macro still expands.
    Macro("C", "{D}{D}");
    Macro("D", "d");
    EXPECT_EQ(Expand("{C}"), "dd");
}

TEST_F(FormatterTest, QuotedNamesTakeTheFormattersQuotes) {
    class TBracketFormatter : public TUniSqlFormatter {
    public:
        char LeftQuote() const override { return '['; }
        char RightQuote() const override { return ']'; }
    };
    rtl::TOwnedPtr<TBracketFormatter> f(rtl::Create<TBracketFormatter>());
    AnsiString text = "SELECT \"a b\", \"\", x FROM \"t\"";
    f->Expand(text);
    EXPECT_EQ(text, "SELECT [a b], [], x FROM [t]");
}

TEST(FormatterWithoutTables, LiteralWithoutTemplateIsAnAssertion) {
    rtl::TOwnedPtr<TUniSqlFormatter> f(rtl::Create<TUniSqlFormatter>());
    AnsiString text = "{date '2014-10-20'}";
    try {
        f->Expand(text);
        ADD_FAILURE();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "UniProvider");
        EXPECT_EQ(e.Line(), 1127);
    }
    AnsiString plain = "{X} {fn Y}";
    EXPECT_THROW(f->Expand(plain), rtl::Exception);
    EXPECT_EQ(plain, "{X} {fn Y}");
}

}  // namespace

namespace {

// Connection macros prepared into the formatter's lists, as a connection does before expanding.
class MacroListsTest : public FormatterTest {
protected:
    void SetUp() override {
        FormatterTest::SetUp();
        Macros.reset(rtl::Create<TUniMacros>(nullptr));
        Macros->OnMacrosChanged = [this] { ++Changes; };
    }
    AnsiString Prepared(const char* Text) {
        PrepareMacroLists(Macros.get(), F.get(), Names.get(), Values.get());
        return Expand(Text);
    }
    rtl::TOwnedPtr<TUniMacros> Macros;
    int Changes = 0;
};

TEST_F(MacroListsTest, ConditionalDefinitionsReplaceTheDefault) {
    struct Case {
        std::vector<std::array<const char*, 3>> Macros;  // name, value, condition
        const char* Expected;
    };
    const Case cases[] = {
        {{{"m", "a", ""}, {"M", "b", "SQLITE"}}, "b"},
        {{{"m", "a", ""}, {"M", "b", "ORACLE"}}, "a"},
        {{{"m", "b", "sqlite "}, {"m", "a", ""}}, "b"},                         // no default before it
        {{{"m", "a", ""}, {"m", "b", "SQLITE"}, {"m", "c", "PROVIDER"}}, "b"},  // first enabled wins
        {{{"m", "a", ""}, {"m", "b", "SQLITE"}, {"m", "x", ""}, {"m", "c", "SQLITE"}}, "c"},
        {{{"flag", "", ""}, {"m", "a", ""}, {"m", "b", "FLAG"}}, "b"},  // a condition names a macro
        {{{"flag", "", "ORACLE"}, {"m", "a", ""}, {"m", "b", "FLAG"}}, "a"},
    };
    for (const Case& c : cases) {
        Macros->Clear();
        for (const auto& m : c.Macros) Macros->Add(m[0], m[1], m[2]);
        EXPECT_EQ(Prepared("{M}"), c.Expected) << c.Macros.size();
    }
}

TEST_F(MacroListsTest, CyclicConditionsAreReported) {
    Macros->Add("A", "1", "B");
    Macros->Add("B", "2", "A");
    try {
        Prepared("{A}");
        ADD_FAILURE();
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Cyclic macros conditions");
    }
}

TEST_F(MacroListsTest, LongAcyclicChainsAreRefusedWithoutExhaustingTheStack) {
    // Values chain M0 -> M1 -> ... -> "end"; conditions chain C0 -> C1 -> ... -> none.
    auto chain = [&](const char* prefix, int links, bool conditions) {
        Macros->Clear();
        for (int i = 0; i < links; ++i) {
            const AnsiString name = prefix + rtl::IntToStr(i), next = prefix + rtl::IntToStr(i + 1);
            const bool last = i + 1 == links;
            if (conditions)
                Macros->Add(name, "c", last ? AnsiString() : next);
            else
                Macros->Add(name, last ? AnsiString("end") : "{" + next + "}");
        }
    };
    auto error = [&](const char* text) {
        try {
            Prepared(text);
        } catch (const rtl::Exception& e) {
            return e.Message();
        }
        return AnsiString("<no exception>");
    };
    chain("M", 3000, false);
    EXPECT_EQ(error("{M0}"), "Macros nested too deeply: M" + rtl::IntToStr(components::MaxMacroDepth));
    chain("C", 3000, true);
    EXPECT_EQ(error("{C0}"), "Macro conditions nested too deeply");
    // A chain within the bound still expands whole.
    chain("M", 100, false);
    EXPECT_EQ(Prepared("{M0}"), "end");
}

TEST_F(MacroListsTest, ChangesOutsideAnUpdateBracketAreReported) {
    TUniMacro* m = Macros->Add("A", "1");
    const int afterAdd = Changes;
    EXPECT_GE(afterAdd, 1);
    m->SetValue("2");
    EXPECT_EQ(Changes, afterAdd + 1);
    Macros->BeginUpdate();
    m->SetCondition("X");
    m->SetName("B");
    EXPECT_EQ(Changes, afterAdd + 1);
    Macros->EndUpdate();
    TUniMacro* copy = Macros->Add("C", "");
    copy->Assign(m);
    EXPECT_EQ(copy->Name(), "B");
    EXPECT_EQ(copy->Value(), "2");
    EXPECT_EQ(copy->Condition(), "X");
}

}  // namespace
