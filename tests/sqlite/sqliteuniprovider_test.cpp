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
        {"ASCIIDataBase", 1005, false},     {"BusyTimeout", 1007, 0},
        {"ClientLibrary", 1002, ""},        {"DateFormat", 1011, ""},
        {"DefaultCollations", 1010, true},  {"EnableSharedCache", 1006, false},
        {"EncryptionKey", 1004, ""},        {"ReadUncommitted", 1008, false},
        {"ForeignKeys", 1013, true},        {"TimeFormat", 1012, ""},
        {"UseUnicode", 1001, false},        {"Direct", 1014, false},
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
    EXPECT_EQ(list->FindOption("EncryptionAlgorithm")->ValueToText(list->FindOption("EncryptionAlgorithm")->DefaultValue()),
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

}  // namespace
