// The lookup combo box over queries of a SQLite file in a temporary folder: a card table whose
// key column is declared BIGINT against a list whose key is INTEGER, with Cyrillic names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "controls/grid/DBLookupEh.h"
#include "framework/rtl/Text.h"
#include "tests/support/editorform_fixture.h"
#include "tests/support/lite_connection_fixture.h"

using namespace grid;
using rtl::AnsiString;
using rtl::Variant;

namespace {

AnsiString Cyr(const char8_t* S) { return rtl::UTF8ToAnsi(std::u8string_view(S)); }

class LookupSqliteTest : public editorstest::EditorFormTest {
protected:
    void SetUp() override {
        EditorFormTest::SetUp();
        char tmpl[] = "/tmp/velmorat_lookup_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        Conn.reset(rtl::Create<litetest::TLiteTestConnection>(nullptr));
        Conn->SetLoginPrompt(false);
        Conn->Database = (Dir / "lookup.sdb").string();
        std::FILE* f = std::fopen(Conn->Database.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        Conn->ExecSQL("CREATE TABLE src (id INTEGER PRIMARY KEY, name TEXT)");
        Conn->ExecSQL("CREATE TABLE card (id INTEGER PRIMARY KEY, src_id BIGINT)");
        const char8_t* names[] = {u8"Архив", u8"Библиотека", u8"Музей"};
        for (int i = 0; i < 3; ++i)
            Conn->ExecSQL("INSERT INTO src (id, name) VALUES (:id, :name)", {Variant(i + 1), Variant(Cyr(names[i]))});
        Conn->ExecSQL("INSERT INTO card (id, src_id) VALUES (1, 2)");
        Conn->ExecSQL("INSERT INTO card (id, src_id) VALUES (2, 3)");
        Conn->ExecSQL("INSERT INTO card (id, src_id) VALUES (3, NULL)");
        List.reset(Conn->CreateDataSet());
        List->SetSQL("SELECT id, name FROM src ORDER BY id");
        Cards.reset(Conn->CreateDataSet());
        Cards->SetSQL("SELECT id, src_id FROM card ORDER BY id");
        List->Open();
        Cards->Open();
        ListSrc = rtl::Create<db::TDataSource>(Form);
        ListSrc->SetDataSet(List.get());
        CardSrc = rtl::Create<db::TDataSource>(Form);
        CardSrc->SetDataSet(Cards.get());
        Combo = rtl::Create<TDBLookupComboboxEh>(Form);
        Combo->SetName("Combo");
        SetUpForm(Combo, 150, 21);
        Combo->SetListSource(ListSrc);
        Combo->SetKeyField("id");
        Combo->SetListField("name");
        Combo->SetDataSource(CardSrc);
        Combo->SetDataField("src_id");
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        Cards.reset();
        List.reset();
        Conn.reset();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
        EditorFormTest::TearDown();
    }

    std::filesystem::path Dir;
    rtl::TOwnedPtr<litetest::TLiteTestConnection> Conn;
    rtl::TOwnedPtr<daccess::TCustomDADataSet> List, Cards;
    db::TDataSource* ListSrc = nullptr;
    db::TDataSource* CardSrc = nullptr;
    TDBLookupComboboxEh* Combo = nullptr;
};

TEST_F(LookupSqliteTest, TheBigintKeyFindsItsIntegerListRecordAndScrollingStaysInBrowse) {
    ASSERT_EQ(Cards->FieldByName(std::string_view("src_id"))->DataType(), db::ftLargeint);
    ASSERT_EQ(List->FieldByName(std::string_view("id"))->DataType(), db::ftInteger);
    const char8_t* texts[] = {u8"Библиотека", u8"Музей", u8""};
    for (const char8_t* t : texts) {
        EXPECT_EQ(Combo->EditText(), Cyr(t));
        EXPECT_EQ(Cards->State(), db::dsBrowse);
        Cards->Next();
    }
    EXPECT_FALSE(Combo->Modified());
}

TEST_F(LookupSqliteTest, ACyrillicLetterPicksItsRecordAndIsWrittenBack) {
    Cards->First();
    Focus(Combo);
    Type(Cyr(u8"м"));
    EXPECT_EQ(Combo->EditText(), Cyr(u8"Музей"));
    EXPECT_EQ(Combo->KeyValue(), Variant(3));
    Focus(Other);
    EXPECT_EQ(Cards->FieldByName(std::string_view("src_id"))->AsInteger(), 3);
}

}  // namespace
