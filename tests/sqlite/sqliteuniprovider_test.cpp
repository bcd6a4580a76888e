#include "data/sqlite/SQLiteUniProvider.h"

#include "data/components/UniConsts.h"
#include "tests/sqlite/lite_fixture.h"

using namespace litetest;
using components::TOption;
using components::TOptionsList;
using components::TUniProvider;
using components::UniProviders;

namespace {

TUniProvider* Lite() { return UniProviders().GetProvider("SQLite"); }

// A connection component that, like the universal connection, takes every provider-side class from
// the registered provider and applies its option lines to the provider connection at each connect.
class TProviderConnection : public daccess::TCustomDAConnection {
    RTL_CLASS(TProviderConnection, daccess::TCustomDAConnection)
public:
    using TCustomDAConnection::TCustomDAConnection;

    const daccess::TCRConnectionClass& GetIConnectionClass() const override { return Lite()->GetConnectionClass(); }
    const daccess::TCRCommandClass& GetICommandClass() const override { return Lite()->GetCommandClass(); }
    const daccess::TCRRecordSetClass& GetIRecordSetClass() const override { return Lite()->GetRecordSetClass(); }
    const daccess::TCRMetaDataClass& GetIMetaDataClass() const override { return Lite()->GetMetaDataClass(); }
    const store::TDataSetServiceClass& GetDataSetServiceClass() const override {
        return Lite()->GetDataSetServiceClass();
    }
    void CreateIConnection() override {
        if (!IConnection()) {
            daccess::TCRConnection* c = Lite()->GetConnectionClass().Create();
            c->SetProp(daccess::pidDatabase, Variant(Database));
            SetIConnection(c);
        }
        Lite()->SetObjectProps(IConnection(), Lines.get(), false);
    }

    AnsiString Database;
    rtl::TOwnedPtr<rtl::TStringList> Lines{rtl::Create<rtl::TStringList>()};
};

class SQLiteProviderTest : public LiteTest {
protected:
    void SetUp() override {
        LiteTest::SetUp();
        Uni.reset(rtl::Create<TProviderConnection>(nullptr));
        Uni->SetLoginPrompt(false);
        Uni->Database = DbPath;
    }
    void TearDown() override {
        Uni.reset();
        LiteTest::TearDown();
    }
    // Reads a pragma on the provider connection of the universal-style connection.
    int Pragma(const char* Name) {
        TSQLiteConnection* c = TLiteUtils::GetSQLiteConnection(Uni.get());
        return Select(c, AnsiString("PRAGMA ") + Name)[0][0].AsInteger();
    }

    rtl::TOwnedPtr<TProviderConnection> Uni;
};

TEST(SQLiteUniProvider, IsRegisteredUnderItsNameAndNamesTheSQLiteClasses) {
    TUniProvider* p = Lite();
    ASSERT_NE(p, nullptr);
    EXPECT_NE(dynamic_cast<TSQLiteUniProvider*>(p), nullptr);
    EXPECT_EQ(p->ProviderName(), "SQLite");
    EXPECT_EQ(UniProviders().GetProvider("sqlite"), p);
    EXPECT_EQ(UniProviders().GetProvider(" SQLite"), nullptr);

    EXPECT_TRUE(p->IsDatabaseSupported());
    EXPECT_FALSE(p->IsPortSupported());
    EXPECT_FALSE(p->IsOutParamsSupported());
    EXPECT_FALSE(p->IsPoolingSupported());
    EXPECT_FALSE(p->IsMultipleTransactionsSupported());

    const std::pair<const rtl::ClassRef*, const char*> classes[] = {
        {&p->GetConnectionParametersClass(), "TCRConnectionParameters"},
        {&p->GetConnectionPoolingManagerClass(), "TCRConnectionPoolManager"},
        {&p->GetConnectionClass(), "TSQLiteConnection"},
        {&p->GetServerEnumeratorClass(), "TLiteServerEnumerator"},
        {&p->GetTransactionClass(), "TSQLiteTransaction"},
        {&p->GetParserClass(), "TLiteParser"},
        {&p->GetCommandClass(), "TSQLiteCommand"},
        {&p->GetRecordSetClass(), "TSQLiteRecordSet"},
        {&p->GetDataSetServiceClass(), "TCustomLiteDataSetService"},
        {&p->GetLoaderClass(), "TSQLiteLoader"},
        {&p->GetMetaDataClass(), "TSQLiteMetaData"},
        {&p->GetConnectDialogServiceClass(), "TLiteConnectDialogService"},
        {&p->GetSqlFormatterClass(), "TLiteFormatter"},
        {&p->GetConverterManagerClass(), "TLiteConverterManager"},
        {&p->GetAlerterClass(), "TCRDummyAlerter"},
    };
    for (const auto& [cls, name] : classes) EXPECT_STREQ(cls->ClassName(), name);
    EXPECT_NE(dynamic_cast<const TCustomLiteFieldTypeMap*>(&p->GetFieldTypeMapClass()), nullptr);

    rtl::TOwnedPtr<components::TConnectDialogService> dialog(p->GetConnectDialogServiceClass().Create());
    EXPECT_TRUE(dialog->UseDatabaseHistory());
    EXPECT_FALSE(dialog->UsernameEnabled());
    EXPECT_FALSE(dialog->ServerEnabled());
    EXPECT_TRUE(dialog->DatabaseEnabled());
}

TEST(SQLiteUniProvider, HoldsEveryLargeObjectParameterInACompressedBlob) {
    TUniProvider* p = Lite();
    for (db::TFieldType type : {db::ftBlob, db::ftMemo, db::ftWideMemo}) {
        EXPECT_STREQ(p->GetParamObjectClass(type).ClassName, "TCompressedBlob");
        store::TBlob* blob = p->CreateParamObject(type);
        EXPECT_NE(dynamic_cast<store::TCompressedBlob*>(blob), nullptr);
        EXPECT_EQ(blob->IsUnicode(), type == db::ftWideMemo);
        blob->Release();
    }
    EXPECT_EQ(MessageOf([&] { p->GetParamObjectClass(db::ftString); }), "Unknown data type");
    EXPECT_EQ(MessageOf([&] { p->CreateParamObject(db::ftString); }), "Unknown data type");
}

TEST(SQLiteUniProvider, UnregisteringLeavesTheNameWithoutProvider) {
    UniProviders().UnRegisterProvider(TSQLiteUniProvider::StaticClass());
    EXPECT_EQ(Lite(), nullptr);
    EXPECT_EQ(MessageOf([] { components::RaiseProviderNotRegistered("SQLite"); }),
              "SQLite provider is not registered. You should add the SQLiteUniProvider unit to the uses clause of "
              "any unit in your project or place the TSQLiteUniProvider component on the form.");
    UniProviders().RegisterProvider(TSQLiteUniProvider::StaticClass());
    EXPECT_NE(Lite(), nullptr);
}

TEST(SQLiteUniProvider, OptionListsNameEveryOptionWithItsIdAndDefault) {
    struct Case {
        const char* Name;
        int Id;
        Variant Default;
    };
    const Case connection[] = {
        {"ASCIIDataBase", 1005, false},       {"BusyTimeout", 1007, 0},
        {"ClientLibrary", 1002, ""},          {"DateFormat", 1011, ""},
        {"DefaultCollations", 1010, true},    {"EnableSharedCache", 1006, false},
        {"EncryptionKey", 1004, ""},          {"ReadUncommitted", 1008, false},
        {"ForeignKeys", 1013, true},          {"TimeFormat", 1012, ""},
        {"UseUnicode", 1001, false},          {"Direct", 1014, false},
        {"ForceCreateDatabase", 1015, false}, {"EncryptionAlgorithm", 1016, 7},
    };
    TOptionsList* list = Lite()->GetConnectionOptions();
    EXPECT_EQ(list->ProviderName(), "SQLite");
    EXPECT_EQ(list->Count(), 14);
    EXPECT_EQ(Lite()->GetConnectionOptions(), list);
    for (const Case& c : connection) {
        TOption* o = list->FindOption(c.Name);
        ASSERT_NE(o, nullptr) << c.Name;
        EXPECT_EQ(o->PropertyId(), c.Id) << c.Name;
        EXPECT_EQ(o->ValueToText(o->DefaultValue()), o->ValueToText(c.Default)) << c.Name;
        ASSERT_EQ(o->Classes().size(), 1u);
        EXPECT_EQ(o->Classes()[0], &TSQLiteConnection::StaticClass());
    }
    EXPECT_EQ(
        list->FindOption("EncryptionAlgorithm")->ValueToText(list->FindOption("EncryptionAlgorithm")->DefaultValue()),
        "leDefault");

    TOptionsList* dataset = Lite()->GetDataSetOptions();
    EXPECT_EQ(dataset->Count(), 2);
    EXPECT_EQ(dataset->FindOption("ExtendedFieldsInfo")->PropertyId(), 51);
    EXPECT_TRUE(dataset->FindOption("ExtendedFieldsInfo")->DefaultValue().AsBoolean());
    EXPECT_EQ(dataset->FindOption("FetchAll")->PropertyId(), 22);
    EXPECT_FALSE(dataset->FindOption("FetchAll")->DefaultValue().AsBoolean());
    EXPECT_EQ(Lite()->GetSQLOptions()->Count(), 0);
    EXPECT_EQ(Lite()->GetScriptOptions()->Count(), 0);
}

TEST_F(SQLiteProviderTest, CreatesTheSQLiteObjectsAndRunsAQueryThroughTheProviderClasses) {
    Uni->Open();
    ASSERT_TRUE(Uni->Connected());
    EXPECT_STREQ(Uni->IConnection()->ClassName(), "TSQLiteConnection");
    Uni->ExecSQL("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)");
    Uni->ExecSQL("INSERT INTO t (name) VALUES (:n)", {Variant(A(u8"Опись"))});
    rtl::TOwnedPtr<daccess::TCustomDADataSet> ds(Uni->CreateDataSet());
    ds->SetSQL("SELECT * FROM t");
    ds->Open();
    EXPECT_STREQ(daccess::TDBAccessUtils::GetIRecordSet(ds.get())->ClassName(), "TSQLiteRecordSet");
    EXPECT_EQ(ds->FieldByName("name")->AsString(), A(u8"Опись"));
}

// The application's connection lines, with "SQLite.BusyTimeout=350" added once more at start-up.
const char* const AppLines[] = {"SQLite.BusyTimeout=350",        "SQLite.ReadUncommitted=True",
                                "SQLite.EnableSharedCache=True", "SQLite.ForeignKeys=False",
                                "MySQL.OptimizedBigint=True",    "SQLite.BusyTimeout=350"};

TEST_F(SQLiteProviderTest, TheApplicationsLinesReachTheEngineAtConnect) {
    for (const char* line : AppLines) Uni->Lines->Add(line);
    Uni->Open();
    EXPECT_EQ(Pragma("busy_timeout"), 350);
    EXPECT_EQ(Pragma("read_uncommitted"), 1);
    EXPECT_EQ(Pragma("foreign_keys"), 0);
    TSQLiteConnection* c = TLiteUtils::GetSQLiteConnection(Uni.get());
    EXPECT_TRUE(c->EnableSharedCache());
    // Options without a line keep their defaults.
    EXPECT_TRUE(c->DefaultCollations());
    EXPECT_FALSE(c->UseUnicode());
    EXPECT_FALSE(c->Direct());
    EXPECT_EQ(c->EncryptionAlgorithm(), leDefault);
}

TEST_F(SQLiteProviderTest, LinesAreReadAgainAtEachConnect) {
    struct Case {
        std::vector<const char*> Lines;
        int BusyTimeout;
        int ForeignKeys;
        int ReadUncommitted;
    };
    const Case cases[] = {
        {{"SQLite.BusyTimeout=350", "SQLite.BusyTimeout=10"}, 350, 1, 0},  // the first line wins
        {{"SQLite.BusyTimeout=10", "SQLite.BusyTimeout=350"}, 10, 1, 0},
        {{"MySQL.BusyTimeout=77", "SQLite.ForeignKeys=False"}, 0, 0, 0},             // another provider's line
        {{"BusyTimeout=5", "ReadUncommitted=true"}, 5, 1, 1},                        // no prefix
        {{"sqlite.busytimeout=6", "SQLITE.FOREIGNKEYS=FALSE"}, 6, 0, 0},             // case
        {{"SQLite.BusyTimeout=  42  ", "SQLite.ReadUncommitted= True "}, 42, 1, 1},  // blanks round values
        {{"SQLite.BusyTimeout =42"}, 0, 1, 0},                                       // but not round names
        {{"SQLite.BusyTimeout"}, 0, 1, 0},                                           // no value at all
        {{}, 0, 1, 0},                                                               // every line removed
    };
    for (const Case& c : cases) {
        Uni->Close();
        Uni->Lines->Clear();
        for (const char* line : c.Lines) Uni->Lines->Add(line);
        Uni->Open();
        const std::string what = c.Lines.empty() ? "<none>" : c.Lines[0];
        EXPECT_EQ(Pragma("busy_timeout"), c.BusyTimeout) << what;
        EXPECT_EQ(Pragma("foreign_keys"), c.ForeignKeys) << what;
        EXPECT_EQ(Pragma("read_uncommitted"), c.ReadUncommitted) << what;
    }
}

TEST_F(SQLiteProviderTest, AnInvalidValueStopsTheConnect) {
    struct Case {
        const char* Line;
        const char* Message;
    };
    const Case cases[] = {
        {"SQLite.BusyTimeout=abc", "Invalid value: abc for option BusyTimeout"},
        {"SQLite.BusyTimeout= 4 2", "Invalid value:  4 2 for option BusyTimeout"},
        {"SQLite.BusyTimeout=-2147483647", "Invalid value: -2147483647 for option BusyTimeout"},
        {"SQLite.BusyTimeout=", "Invalid value:  for option BusyTimeout"},
        {"SQLite.ForeignKeys=yes", "Invalid value: yes for option ForeignKeys"},
        {"SQLite.EncryptionAlgorithm=AES256", "Invalid value: AES256 for option EncryptionAlgorithm"},
    };
    for (const Case& c : cases) {
        Uni->Lines->Clear();
        Uni->Lines->Add(c.Line);
        EXPECT_EQ(MessageOf([&] { Uni->Open(); }), c.Message) << c.Line;
        EXPECT_FALSE(Uni->Connected()) << c.Line;
    }
    // Mended, the same connection connects.
    Uni->Lines->Clear();
    Uni->Lines->Add("SQLite.BusyTimeout=-2147483648");
    Uni->Open();
    EXPECT_EQ(Pragma("busy_timeout"), 0);  // the engine takes a negative timeout as none
}

TEST_F(SQLiteProviderTest, EncryptionAlgorithmLinesSendTheOrdinal) {
    daccess::TCRConnection* c = Lite()->GetConnectionClass().Create();
    Uni->SetIConnection(c);
    Variant v;
    Lite()->SetObjectProps(c, Uni->Lines.get());
    c->GetProp(pidEncryptionAlgorithm, v);
    EXPECT_EQ(v.AsInteger(), 7);
    Uni->Lines->Add("SQLite.EncryptionAlgorithm=leAES256");
    Lite()->SetObjectProps(c, Uni->Lines.get());
    c->GetProp(pidEncryptionAlgorithm, v);
    EXPECT_EQ(v.AsInteger(), 4);
}

TEST_F(SQLiteProviderTest, DataSetLinesReachTheRecordSetOnly) {
    rtl::TOwnedPtr<daccess::TCRRecordSet> rs(Lite()->GetRecordSetClass().Create());
    rtl::TOwnedPtr<rtl::TStringList> lines(rtl::Create<rtl::TStringList>());
    Variant v;
    Lite()->SetObjectProps(rs.get(), lines.get());
    rs->GetProp(daccess::pidFetchAll, v);
    EXPECT_FALSE(v.AsBoolean());
    rs->GetProp(daccess::pidExtendedFieldsInfo, v);
    EXPECT_TRUE(v.AsBoolean());
    lines->Add("SQLite.FetchAll=True");
    lines->Add("SQLite.ExtendedFieldsInfo=False");
    Lite()->SetObjectProps(rs.get(), lines.get());
    rs->GetProp(daccess::pidFetchAll, v);
    EXPECT_TRUE(v.AsBoolean());
    rs->GetProp(daccess::pidExtendedFieldsInfo, v);
    EXPECT_FALSE(v.AsBoolean());
}

// my_lower as the application registers it: one argument, lower case by the ANSI code page.
Variant MyLower(const TLiteFunctionArgs& Args) {
    if (Args[0].IsNull()) return Args[0];
    return Variant(rtl::AnsiLowerCase(Args[0].AsAnsiString()));
}

TEST_F(SQLiteProviderTest, RegisterFunctionNeedsTheProviderConnection) {
    // Before the first connect there is no provider connection yet.
    EXPECT_EQ(MessageOf([&] { TLiteUtils::RegisterFunction(Uni.get(), "my_lower", MyLower, 1); }),
              "Operation is not allowed when the connection is closed");

    Uni->Open();
    TLiteUtils::RegisterFunction(Uni.get(), "my_lower", MyLower, 1);
    TSQLiteConnection* c = TLiteUtils::GetSQLiteConnection(Uni.get());
    EXPECT_EQ(Select(c, A(u8"SELECT my_lower('Фонд ABC')"))[0][0].AsAnsiString(), A(u8"фонд abc"));

    // Registered on the closed connection, a function is there after the next connect.
    Uni->Close();
    TLiteUtils::RegisterFunction(
        Uni.get(), "my_upper",
        [](const TLiteFunctionArgs& Args) { return Variant(rtl::AnsiUpperCase(Args[0].AsAnsiString())); }, 1);
    Uni->Open();
    EXPECT_EQ(Select(c, A(u8"SELECT my_upper(my_lower('Опись'))"))[0][0].AsAnsiString(), A(u8"ОПИСЬ"));
}

// A provider connection of some other database.
class TOtherConnection : public daccess::TCRConnection {
    RTL_CLASS(TOtherConnection, daccess::TCRConnection)
public:
    const daccess::TCRCommandClass& GetCommandClass() const override { return TSQLiteCommand::StaticClass(); }
    const daccess::TCRTransactionClass& GetTransactionClass() const override {
        return TSQLiteTransaction::StaticClass();
    }
    void Disconnect() override {}
    void AssignConnect(daccess::TCRConnection*) override {}
    bool CheckIsValid() override { return true; }
    AnsiString GetServerVersion() override { return {}; }
    AnsiString GetServerVersionFull() override { return {}; }
    AnsiString GetClientVersion() override { return {}; }
};

TEST_F(SQLiteProviderTest, RegisterFunctionRefusesAnotherProvidersConnection) {
    Uni->SetIConnection(rtl::Create<TOtherConnection>());
    EXPECT_EQ(MessageOf([&] { TLiteUtils::RegisterFunction(Uni.get(), "my_lower", MyLower, 1); }),
              "Incorrect connection type. Expected: TSQLiteConnection; Actual: TOtherConnection");
}

TEST(LiteFormatter, TranslatesWithTheSQLiteTables) {
    struct Case {
        const char* In;
        const char* Out;
    };
    const Case cases[] = {
        {"SELECT {fn CHAR_LENGTH(name)} FROM t", "SELECT LENGTH(name) FROM t"},
        {"{fn DATEADD(day, 3, d)}", "DATE( d, ' 3 day')"},
        {"{fn SUBSTRING(s, 2, 3)}", "SUBSTR(s,  2,  3)"},
        {"{fn CONCAT(a, b)}", "a ||  b"},
        {"{fn TRIM(x)} {fn CURRENT_DATE}", "TRIM(x) CURRENT_DATE"},
        {"{fn TODATE(x)} {fn TONUMBER(y)} {fn TOCHAR(z)}", "CAST(x AS VARCHAR) CAST(y AS DOUBLE) CAST(z AS VARCHAR)"},
        {"{date '2014-10-20'} {time '10:00:00'} {timestamp '2014-10-20 10:00:00'}",
         "'2014-10-20' '10:00:00' '2014-10-20 10:00:00'"},
        {"{if SQLITE}A{else}B{endif}", "A"},
        {"{if ORACLE}A{else}B{endif}", "B"},
        {"{PROVIDER}", "SQLite"},
        {"{provider}", "SQLite"},
        {"c {DATETIME NOT NULL}, d {DOUBLE}, e {VARCHAR}(10)", "c TEXT NOT NULL, d DOUBLE, e VARCHAR(10)"},
        {"{FOO}x", "x"},
        {"SELECT 1 -- note\n", "SELECT 1 /* note*/\n"},
    };
    rtl::TOwnedPtr<components::TUniSqlFormatter> f(Lite()->GetSqlFormatterClass().Create());
    EXPECT_EQ(f->ParserClass(), &store::TSQLParser::StaticClass());
    f->SetParserClass(&Lite()->GetParserClass());
    for (const Case& c : cases) {
        AnsiString text = c.In;
        f->Expand(text);
        EXPECT_EQ(text, c.Out) << c.In;
    }
    // A template that needs more arguments than the call gives is refused, not read past the end.
    AnsiString text = "{fn DATEADD(day, 3)}";
    EXPECT_EQ(MessageOf([&] { f->Expand(text); }),
              "Format 'DATE(%2:s, '%1:s %0:s')' invalid or incompatible with argument");
    EXPECT_EQ(text, "{fn DATEADD(day, 3)}");
}

TEST(LiteFormatter, ConnectionMacrosMeetThePredefinedOnes) {
    rtl::TOwnedPtr<components::TUniSqlFormatter> f(Lite()->GetSqlFormatterClass().Create());
    rtl::TOwnedPtr<components::TUniMacros> macros(rtl::Create<components::TUniMacros>(nullptr));
    rtl::TOwnedPtr<rtl::TStringList> names(rtl::Create<rtl::TStringList>()), values(rtl::Create<rtl::TStringList>());
    auto expand = [&](AnsiString Text) {
        components::PrepareMacroLists(macros.get(), f.get(), names.get(), values.get());
        f->Expand(Text);
        return Text;
    };
    macros->Add("kind", "'a'");
    macros->Add("kind", "'b'", "SQLITE");
    macros->Add("type", "{DATETIME}");
    EXPECT_EQ(expand("{KIND} {type}"), "'b' TEXT");
    // A connection macro may shadow a predefined one, but not by naming itself.
    macros->Add("provider", "{PROVIDER}!");
    EXPECT_EQ(MessageOf([&] { expand("{PROVIDER}"); }), "Cyclic macros: PROVIDER");
}

}  // namespace
