// The tables behind a query's columns when the engine cannot name them, the field properties the
// dataset service sets from them, and the column attributes of the XML rowset, on SQLite files.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <set>
#include <string>
#include <vector>

#include "data/sqlite/LiteServicesUni.h"
#include "data/store/CRXml.h"
#include "tests/access/writeback_fixture.h"

namespace {

using namespace daccess;

// A connection whose engine lacks the column-metadata functions, or whose datasets get a service
// of the test's choosing.
class TTestConnection : public litetest::TLiteTestConnection {
    RTL_CLASS(TTestConnection, litetest::TLiteTestConnection)
public:
    using TLiteTestConnection::TLiteTestConnection;
    void CreateIConnection() override {
        if (IConnection()) return;
        TLiteTestConnection::CreateIConnection();
        if (!HideColumnMetadata) return;
        static_cast<sqlite::TSQLiteConnection*>(IConnection())
            ->API()
            ->SetSymbolResolver([](void* Module, const char* Name) -> void* {
                static const std::set<std::string> hidden = {"sqlite3_column_origin_name", "sqlite3_column_table_name",
                                                             "sqlite3_column_database_name"};
                return hidden.count(Name) ? nullptr : ::dlsym(Module, Name);
            });
    }
    const store::TDataSetServiceClass& GetDataSetServiceClass() const override {
        return ServiceClass ? *ServiceClass : TLiteTestConnection::GetDataSetServiceClass();
    }

    bool HideColumnMetadata = true;
    const store::TDataSetServiceClass* ServiceClass = nullptr;
};

class BaseTablesTest : public writeback::WriteBackFixture {
protected:
    void SetUp() override {
        WriteBackFixture::SetUp();
        Conn->ExecSQL(
            "CREATE TABLE notes (id INTEGER PRIMARY KEY, source_id INTEGER, title TEXT DEFAULT 'untitled', "
            "pages INTEGER DEFAULT 1)");
        Conn->ExecSQL("INSERT INTO notes (id, source_id, title) VALUES (1, 1, 'first')");
        Bare.reset(rtl::Create<TTestConnection>(nullptr));
        Bare->SetLoginPrompt(false);
        Bare->Database = Conn->Database;
        Bare->Props = Conn->Props;
    }
    void TearDown() override {
        BareDataSets.clear();
        Bare.reset();
        WriteBackFixture::TearDown();
    }

    TCustomDADataSet* BareQuery(const AnsiString& SQL) {
        BareDataSets.emplace_back(Bare->CreateDataSet());
        TCustomDADataSet* ds = BareDataSets.back().get();
        ds->SetSQL(SQL);
        ds->SetFetchAll(true);
        ds->BeforeUpdateExecute = [this](TCustomDADataSet* D, uint16_t, TDAParams* P) {
            auto* updater = static_cast<TDADataSetUpdater*>(D->DataSetService()->Updater());
            writeback::Statement s{TDBAccessUtils::GetSQL(updater->CurrentUpdateQuery()), {}};
            for (int i = 0; i < P->Count(); ++i) s.Params.push_back(P->Items(i)->Name());
            Ran.push_back(s);
        };
        return ds;
    }

    // Each column as "name=table.column", " ro" when it is not written.
    static std::vector<std::string> Columns(TCustomDADataSet* DataSet) {
        std::vector<std::string> result;
        const auto& descs = DataSet->ICRRecordSet()->Fields();
        for (int i = 0; i < descs.Count(); ++i) {
            auto* d = static_cast<TCRFieldDesc*>(descs.Items(i));
            result.push_back(rtl::WideToAnsi(d->Name) + "=" + (d->TableInfo ? d->TableInfo->TableName() : "-") + "." +
                             d->ActualNameAnsi() + (d->ReadOnly ? " ro" : ""));
        }
        return result;
    }

    rtl::TOwnedPtr<TTestConnection> Bare;
    std::vector<rtl::TOwnedPtr<TCustomDADataSet>> BareDataSets;
};

TEST_F(BaseTablesTest, ColumnsFindTheirTablesThroughTheSelectList) {
    struct Case {
        const char* SQL;
        bool ExtendedFieldsInfo;
        bool FieldsOrigin;
        std::vector<std::string> Columns;
    };
    const Case cases[] = {
        // Prefixes decide; an expression belongs to no table.
        {"SELECT s.id AS key, s.name AS title, 1 + 1 AS two FROM sources s",
         true,
         false,
         {"key=sources.id", "title=sources.name", "two=-.two ro"}},
        // A "*" stands for its table's columns: asked of the table metadata, or taken whole.
        {"SELECT * FROM sources", true, false, {"id=sources.id", "name=sources.name", "kind=sources.kind"}},
        {"SELECT * FROM sources", false, false, {"id=sources.id", "name=sources.name", "kind=sources.kind"}},
        // A column without prefix is looked up in the updating table, and with FieldsOrigin in the others.
        {"SELECT o.title, name FROM organisations o JOIN sources s ON s.id = o.source_id",
         true,
         false,
         {"title=organisations.title", "name=-.name ro"}},
        {"SELECT o.title, name FROM organisations o JOIN sources s ON s.id = o.source_id",
         true,
         true,
         {"title=organisations.title", "name=sources.name ro"}},
        // Two stars: each table's columns in its place, the same name in both included.
        {"SELECT s.*, n.* FROM sources s JOIN notes n ON n.source_id = s.id",
         true,
         true,
         {"id=sources.id", "name=sources.name", "kind=sources.kind", "id_1=notes.id ro", "source_id=notes.source_id ro",
          "title=notes.title ro", "pages=notes.pages ro"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.SQL) + (c.ExtendedFieldsInfo ? " extended" : "") +
                     (c.FieldsOrigin ? " origin" : ""));
        TCustomDADataSet* ds = BareQuery(c.SQL);
        ds->Options()->SetExtendedFieldsInfo(c.ExtendedFieldsInfo);
        ds->Options()->SetFieldsOrigin(c.FieldsOrigin);
        ds->Open();
        EXPECT_EQ(Columns(ds), c.Columns);
    }
}

TEST_F(BaseTablesTest, StatementsWriteTheColumnsBehindTheAliases) {
    TCustomDADataSet* ds = BareQuery("SELECT s.id AS key, s.name AS title, 1 + 1 AS two FROM sources s ORDER BY s.id");
    ds->SetKeyFields("key");
    ds->Open();
    ds->Edit();
    ds->FieldByName("title")->SetAsString("renamed");
    ds->Post();
    // Every field written: the expression is still left out.
    ds->Options()->SetUpdateAllFields(true);
    ds->Next();
    ds->Edit();
    ds->FieldByName("title")->SetAsString("all");
    ds->Post();
    ASSERT_EQ(Ran.size(), 2u);
    EXPECT_EQ(Ran[0].Text, "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  id = ?");
    EXPECT_EQ(Ran[0].Params, (std::vector<AnsiString>{"title", "Old_key"}));
    EXPECT_EQ(Ran[1].Text, "UPDATE sources\r\nSET\r\n  id = ?, name = ?\r\nWHERE\r\n  id = ?");
    EXPECT_EQ(Column("SELECT name FROM sources WHERE id <= 2 ORDER BY id"),
              (std::vector<std::string>{"renamed", "all"}));

    // The INTEGER PRIMARY KEY found through the table metadata is the identity.
    Ran.clear();
    TCustomDADataSet* all = BareQuery("SELECT * FROM sources");
    all->Options()->SetExtendedFieldsInfo(true);
    all->Open();
    EXPECT_EQ(all->FieldByName("id")->AutoGenerateValue(), db::arAutoInc);
    EXPECT_EQ(all->FieldByName("name")->AutoGenerateValue(), db::arNone);
    all->Append();
    all->FieldByName("name")->SetAsString("new");
    all->Post();
    ASSERT_EQ(Ran.size(), 1u);
    EXPECT_EQ(Ran[0].Text, "INSERT INTO sources\r\n  (name)\r\nVALUES\r\n  (?)");
    EXPECT_EQ(all->FieldByName("id")->AsInteger(), 6);
}

TEST_F(BaseTablesTest, APreparedQueryKeepsWhatItsColumnsWereTiedTo) {
    // Preparing and opening each look at the columns: the names behind the aliases must not
    // be matched again.
    TCustomDADataSet* ds = BareQuery("SELECT s.name AS id, s.id AS name FROM sources s ORDER BY s.id");
    ds->SetKeyFields("name");
    ds->Prepare();
    ds->Open();
    EXPECT_EQ(Columns(ds), (std::vector<std::string>{"id=sources.name", "name=sources.id"}));
    ds->Edit();
    ds->FieldByName("id")->SetAsString("swapped");
    ds->Post();
    ASSERT_EQ(Ran.size(), 1u);
    EXPECT_EQ(Ran[0].Text, "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  id = ?");
    EXPECT_EQ(Column("SELECT id || ' ' || name FROM sources WHERE id = 1"), std::vector<std::string>{"1 swapped"});
}

TEST_F(BaseTablesTest, ServerDefaultsReachTheFields) {
    struct Case {
        const char* Name;
        bool HideColumnMetadata;
        const char* SQL;
        const char* Field;
        const char* DefaultExpression;
        const char* Origin;
    };
    const Case cases[] = {
        {"column metadata", false, "SELECT * FROM notes", "title", "'untitled'", "notes.title"},
        {"select list", true, "SELECT n.id, n.title, n.pages FROM notes n", "pages", "1", "notes.pages"},
        // A column of another table than the updating one found through the table metadata.
        {"other table", true, "SELECT o.title, pages FROM organisations o JOIN notes n ON n.id = o.id", "pages", "1",
         "notes.pages"},
        {"no default", true, "SELECT o.title, pages FROM organisations o JOIN notes n ON n.id = o.id", "title", "",
         "organisations.title"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        BareDataSets.clear();
        Bare.reset(rtl::Create<TTestConnection>(nullptr));
        Bare->SetLoginPrompt(false);
        Bare->Database = Conn->Database;
        Bare->Props = Conn->Props;
        Bare->HideColumnMetadata = c.HideColumnMetadata;
        TCustomDADataSet* ds = BareQuery(c.SQL);
        ds->Options()->SetDefaultValues(true);
        ds->Options()->SetFieldsOrigin(true);
        ds->Open();
        db::TField* f = ds->FieldByName(c.Field);
        EXPECT_EQ(f->DefaultExpression(), c.DefaultExpression);
        EXPECT_EQ(f->Origin(), c.Origin);
    }
    TCustomDADataSet* ds = BareQuery("SELECT n.id, n.title, n.pages FROM notes n");
    ds->Options()->SetDefaultValues(true);
    ds->Open();
    ds->Append();
    EXPECT_EQ(ds->FieldByName("title")->AsString(), "untitled");
    EXPECT_EQ(ds->FieldByName("pages")->AsInteger(), 1);
}

TEST_F(BaseTablesTest, FieldAttributesNameTheBaseTable) {
    Bare->HideColumnMetadata = false;
    struct Case {
        bool ExtendedFieldsInfo;
        const char* Field;
        const char16_t* Xml;
    };
    const Case cases[] = {
        {true, "id",
         u"<s:AttributeType name=\"id\" rs:number=\"1\" rs:nullable=\"true\" rs:writeunknown=\"true\" "
         u"rs:basecolumn=\"id\" rs:autoincrement=\"true\" rs:basetable=\"sources\"></s:AttributeType>"},
        {false, "id",
         u"<s:AttributeType name=\"id\" rs:number=\"1\" rs:nullable=\"true\" rs:writeunknown=\"true\" "
         u"rs:basecolumn=\"id\" rs:basetable=\"sources\"></s:AttributeType>"},
        // An expression has no table.
        {true, "two", u"<s:AttributeType name=\"two\" rs:number=\"3\"></s:AttributeType>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Field) + (c.ExtendedFieldsInfo ? " extended" : ""));
        TCustomDADataSet* ds = BareQuery("SELECT s.id, s.name, 1 + 1 AS two FROM sources s");
        ds->Options()->SetExtendedFieldsInfo(c.ExtendedFieldsInfo);
        ds->Open();
        db::TField* f = ds->FieldByName(c.Field);
        store::XmlWriter w;
        w.WriteStartElement(u"s:AttributeType");
        ds->DataSetService()->WriteFieldAttributes(f, ds->FieldDescOf(f), w, u"");
        w.WriteEndElement();
        EXPECT_EQ(rtl::WideToAnsi(w.Text()), rtl::WideToAnsi(c.Xml));
    }
}

// --- the provider's hooks ---

class TKindHidingService : public sqlite::TCustomLiteDataSetService {
    RTL_CLASS(TKindHidingService, sqlite::TCustomLiteDataSetService)
public:
    using TCustomLiteDataSetService::TCustomLiteDataSetService;

protected:
    std::vector<WideString> GetHiddenFields() override { return {u"kind"}; }
};

TEST_F(BaseTablesTest, HiddenFieldsAreNeitherShownNorEdited) {
    Bare->HideColumnMetadata = false;
    Bare->ServiceClass = &TKindHidingService::StaticClass();
    TCustomDADataSet* ds = BareQuery("SELECT * FROM sources ORDER BY id");
    ds->Open();
    db::TField* kind = ds->FieldByName("kind");
    EXPECT_FALSE(kind->Visible());
    EXPECT_TRUE(kind->ReadOnly());
    EXPECT_TRUE(ds->FieldByName("name")->Visible());
    ds->Edit();
    EXPECT_THROW(kind->SetAsInteger(9), db::EDatabaseError);
    ds->FieldByName("name")->SetAsString("shown");
    ds->Post();
    ASSERT_EQ(Ran.size(), 1u);
    EXPECT_EQ(Ran[0].Text, "UPDATE sources\r\nSET\r\n  name = ?\r\nWHERE\r\n  id = ?");
    EXPECT_EQ(Column("SELECT name || '/' || kind FROM sources WHERE id = 1"), std::vector<std::string>{"shown/1"});
}

class TKindWatchingUpdater : public sqlite::TCustomLiteDataSetUpdater {
public:
    using TCustomLiteDataSetUpdater::TCustomLiteDataSetUpdater;
    bool IsSpecialRefreshField(store::TFieldDesc* FieldDesc) override { return FieldDesc->Name == u"kind"; }
    void SetSpecialRefreshValue(store::TFieldDesc* FieldDesc, const Variant& Value) override {
        Seen.push_back(rtl::WideToAnsi(FieldDesc->Name) + "=" + Value.AsAnsiString());
    }
    std::vector<std::string> Seen;
};

TEST_F(BaseTablesTest, TheQuickRefreshHandsSpecialColumnsToTheUpdater) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->Open();
    auto* updater = rtl::Create<TKindWatchingUpdater>(ds->DataSetService());
    ds->DataSetService()->AssignUpdater(updater);
    ds->Locate(u"id", Variant(2), {});
    Conn->ExecSQL("UPDATE sources SET kind = 40, name = 'moved' WHERE id = 2");
    ds->RefreshQuick(false);
    EXPECT_EQ(ds->FieldByName("kind")->AsInteger(), 40);
    EXPECT_EQ(updater->Seen, std::vector<std::string>{"kind=40"});
}

}  // namespace
