#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/access/DBAccess_Params.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/Text.h"

using namespace daccess;

namespace {

// Stands in for a query: counts how often its SQL had to be derived again.
class TFakeQuery : public rtl::TComponent, public IMacrosOwner {
public:
    explicit TFakeQuery(rtl::TComponent* Owner) : TComponent(Owner) {}

    bool Active = false;
    AnsiString SQL;
    int Changes = 0;

    bool MacrosOwnerActive() override { return Active; }
    AnsiString MacrosOwnerSQLText() override { return SQL; }
    void MacrosChanged() override { ++Changes; }
};

std::vector<std::string> Names(const TMacros& macros) {
    std::vector<std::string> names;
    for (int i = 0; i < macros.Count(); ++i) names.push_back(macros.Items(i)->Name());
    return names;
}

TMacro* AddMacro(TMacros& macros, const AnsiString& name, const AnsiString& value, bool active = true) {
    auto* macro = static_cast<TMacro*>(macros.Add());
    macro->SetName(name);
    macro->SetValue(value);
    macro->SetActive(active);
    return macro;
}

class MacrosTest : public ::testing::Test {
protected:
    rtl::TOwnedPtr<TFakeQuery> query{rtl::Create<TFakeQuery>(nullptr)};
    rtl::TOwnedPtr<TMacros> macros{rtl::Create<TMacros>(query.get())};

    void SetUp() override { query->SetName("qry"); }
    void SetSQL(const AnsiString& sql) {
        query->SQL = sql;
        macros->Scan(sql);
    }
};

}  // namespace

TEST(MacroScanTest, FindsReferencesInOrderOfFirstAppearance) {
    struct Case {
        const char* SQL;
        std::vector<std::string> Names;
    };
    const Case cases[] = {
        {"SELECT * FROM t", {}},
        {"SELECT * FROM t WHERE id IN (&ids)", {"ids"}},
        // Inside strings and comments the character is text.
        {"SELECT '&a', 'x&y' FROM t -- &b\n WHERE x = &c /* &d */", {"c"}},
        {"SELECT &Ids, &ids FROM t", {"Ids"}},
        // A number, a blank, an operator or the end after the character: no reference.
        {"SELECT &1, & b, &= 2, &a FROM t &", {"a"}},
        // Keywords are names after the macro character.
        {"SELECT &fields FROM &table &where &order", {"fields", "table", "where", "order"}},
        {"SELECT * FROM &\"Quoted\"", {"\"Quoted\""}},
    };
    for (const Case& c : cases) {
        TMacros macros;
        macros.Scan(c.SQL);
        EXPECT_EQ(Names(macros), c.Names) << c.SQL;
        for (int i = 0; i < macros.Count(); ++i) {
            EXPECT_TRUE(macros.Items(i)->Active());
            EXPECT_EQ(macros.Items(i)->Value(), "");
        }
    }
}

TEST(MacroScanTest, ExpandReplacesReferencesAndLeavesTheRestAsWritten) {
    struct Case {
        const char* SQL;
        const char* Expected;
    };
    const Case cases[] = {
        {"SELECT * FROM t WHERE id IN (&ids)", "SELECT * FROM t WHERE id IN (1,2,3)"},
        {"select * from t where id in (&IDS) or id = &ids", "select * from t where id in (1,2,3) or id = 1,2,3"},
        {"SELECT 'a&ids' FROM t -- &ids\n/* &ids */", "SELECT 'a&ids' FROM t -- &ids\n/* &ids */"},
        {"SELECT &1, & ids, &= 2 FROM t &", "SELECT &1, & ids, &= 2 FROM t &"},
        {"SELECT * FROM t WHERE a = &off", "SELECT * FROM t WHERE a = "},
        // A name the collection does not hold is dropped.
        {"SELECT &zz FROM t", "SELECT  FROM t"},
        // A value is inserted as it is, never expanded again.
        {"SELECT * FROM &self", "SELECT * FROM &ids"},
        {"SELECT * FROM t", "SELECT * FROM t"},
    };
    TMacros macros;
    AddMacro(macros, "ids", "1,2,3");
    AddMacro(macros, "off", "5", false);
    AddMacro(macros, "self", "&ids");
    for (const Case& c : cases) {
        AnsiString sql = c.SQL;
        macros.Expand(sql);
        EXPECT_EQ(sql, c.Expected) << c.SQL;
    }
}

TEST(MacroScanTest, CyrillicNamesMatchWithoutRegardToCase) {
    TMacros macros;
    macros.Scan(rtl::UTF8ToAnsi(u8"SELECT * FROM t WHERE id IN (&Опись) AND x = &ОПИСЬ"));
    ASSERT_EQ(macros.Count(), 1);
    ASSERT_NE(macros.FindMacro(rtl::UTF8ToAnsi(u8"опись")), nullptr);
    macros.FindMacro(rtl::UTF8ToAnsi(u8"опись"))->SetValue("7");
    AnsiString sql = rtl::UTF8ToAnsi(u8"SELECT &опись, 'Опись'");
    macros.Expand(sql);
    EXPECT_EQ(sql, rtl::UTF8ToAnsi(u8"SELECT 7, 'Опись'"));
}

TEST_F(MacrosTest, ValuesSurviveWhileTheSQLStillReferencesThem) {
    SetSQL("SELECT * FROM t WHERE a = &a AND b = &b");
    macros->MacroByName("a")->SetValue("1");
    macros->MacroByName("b")->SetValue("2");
    macros->MacroByName("b")->SetActive(false);

    SetSQL("SELECT * FROM t WHERE b = &b");
    EXPECT_EQ(Names(*macros), std::vector<std::string>{"b"});
    EXPECT_EQ(macros->Items(0)->Value(), "2");
    EXPECT_FALSE(macros->Items(0)->Active());

    SetSQL("SELECT * FROM t WHERE a = &A AND b = &b");
    EXPECT_EQ(Names(*macros), (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(macros->Items(0)->Value(), "");
    EXPECT_EQ(macros->Items(1)->Value(), "2");

    SetSQL("SELECT * FROM t");
    EXPECT_EQ(macros->Count(), 0);
}

TEST_F(MacrosTest, ScanThatChangesNothingTellsNobody) {
    SetSQL("SELECT * FROM t WHERE id IN (&ids)");
    macros->Items(0)->SetValue("1");
    const int before = query->Changes;
    SetSQL("SELECT id FROM t WHERE id IN (&ids) ORDER BY id");
    EXPECT_EQ(query->Changes, before);
    EXPECT_EQ(macros->Items(0)->Value(), "1");
}

TEST_F(MacrosTest, OwnerHearsOfChangesThatMatterToIt) {
    SetSQL("SELECT * FROM t WHERE id IN (&ids)");
    TMacro* ids = macros->Items(0);
    TMacro* other = AddMacro(*macros, "other", "");

    // A closed owner hears of every change, but not of a write of the same value.
    query->Changes = 0;
    ids->SetValue("1,2");
    ids->SetValue("1,2");
    EXPECT_EQ(query->Changes, 1);
    other->SetValue("x");
    EXPECT_EQ(query->Changes, 2);

    // An open owner hears only of macros its SQL references.
    query->Active = true;
    query->Changes = 0;
    other->SetValue("y");
    EXPECT_EQ(query->Changes, 0);
    ids->SetValue("3");
    ids->SetActive(false);
    EXPECT_EQ(query->Changes, 2);

    // Nothing while the collection is being updated; one notice when the update ends.
    query->Changes = 0;
    macros->BeginUpdate();
    ids->SetValue("4");
    ids->SetActive(true);
    EXPECT_EQ(query->Changes, 0);
    macros->EndUpdate();
    EXPECT_EQ(query->Changes, 1);
}

TEST_F(MacrosTest, MacroByNameNamesTheOwnerWhenMissing) {
    SetSQL("SELECT * FROM t WHERE id IN (&ids)");
    EXPECT_EQ(macros->MacroByName("IDS"), macros->Items(0));
    try {
        macros->MacroByName("zz");
        FAIL() << "no error";
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "qry: Macro zz not found");
    }
    TMacros scratch;
    EXPECT_THROW(scratch.MacroByName("zz"), db::EDatabaseError);
}

TEST(MacroTest, AssignAndEquality) {
    TMacros a, b;
    AddMacro(a, "x", "1");
    AddMacro(a, "y", "2", false);
    EXPECT_TRUE(a.IsEqual(&a));
    EXPECT_FALSE(a.IsEqual(&b));
    b.Assign(&a);
    EXPECT_TRUE(a.IsEqual(&b));
    EXPECT_FALSE(b.Items(1)->Active());
    b.Items(1)->SetActive(true);
    EXPECT_FALSE(a.IsEqual(&b));
    b.Items(1)->SetActive(false);
    b.Items(0)->SetName("X");
    EXPECT_FALSE(a.IsEqual(&b));

    EXPECT_EQ(a.Items(0)->DisplayName(), "x");
    EXPECT_EQ(a.MacroText(a.Items(1)), "");
    EXPECT_EQ(a.MacroText(a.Items(0)), "1");
}

namespace {

void WriteByte(rtl::TStream& s, uint8_t b) { s.WriteBuffer(&b, 1); }
void WriteEntry(rtl::TStream& s, const std::string& name, const std::string& value, int active) {
    WriteByte(s, static_cast<uint8_t>(name.size()));
    s.WriteBuffer(name.data(), static_cast<int64_t>(name.size()));
    const auto len = static_cast<uint16_t>(value.size());
    s.WriteBuffer(&len, 2);
    s.WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
    if (active >= 0) {
        WriteByte(s, 100);
        WriteByte(s, static_cast<uint8_t>(active));
    }
}

}  // namespace

TEST_F(MacrosTest, ReadsTheOlderDataProperty) {
    SetSQL("SELECT * FROM &tab WHERE &cond");
    {
        rtl::TMemoryStream s;
        WriteByte(s, 100);
        WriteByte(s, 0);
        WriteEntry(s, "cond", std::string(1500, 'x'), 0);  // longer than the old reader's buffer
        WriteEntry(s, "TAB", "sources", 1);
        s.SetPosition(0);
        macros->ReadBinaryData(&s);
    }
    EXPECT_EQ(macros->MacroByName("tab")->Value(), "sources");
    EXPECT_TRUE(macros->MacroByName("tab")->Active());
    EXPECT_EQ(macros->MacroByName("cond")->Value().size(), 1500u);
    EXPECT_FALSE(macros->MacroByName("cond")->Active());

    // The oldest form has no Active bytes.
    {
        rtl::TMemoryStream s;
        WriteByte(s, 1);
        WriteEntry(s, "tab", "t2", -1);
        WriteEntry(s, "cond", "a = 1", -1);
        s.SetPosition(0);
        macros->ReadBinaryData(&s);
    }
    EXPECT_EQ(macros->MacroByName("tab")->Value(), "t2");
    EXPECT_EQ(macros->MacroByName("cond")->Value(), "a = 1");
    EXPECT_FALSE(macros->MacroByName("cond")->Active());

    // A stored name that the SQL does not reference.
    rtl::TMemoryStream s;
    WriteByte(s, 1);
    WriteEntry(s, "gone", "1", -1);
    s.SetPosition(0);
    EXPECT_THROW(macros->ReadBinaryData(&s), db::EDatabaseError);
}
