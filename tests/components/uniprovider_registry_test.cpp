#include <gtest/gtest.h>

#include <thread>

#include "data/components/UniConsts.h"
#include "test_provider.h"

using namespace components;

namespace {

// Registers the test provider under "DBF" for one test and always takes it away again.
struct TDBFRegistration {
    TDBFRegistration() { UniProviders().RegisterProvider(uptest::TDBFProvider::StaticClass()); }
    ~TDBFRegistration() { UniProviders().UnRegisterProvider(uptest::TDBFProvider::StaticClass()); }
};

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "<no exception>";
}

TEST(ProviderRegistry, FindsRegisteredProvidersByNameWithoutRegardToCase) {
    EXPECT_EQ(UniProviders().GetProvider("DBF"), nullptr);
    {
        TDBFRegistration reg;
        TUniProvider* p = UniProviders().GetProvider("DBF");
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->ProviderName(), "DBF");
        EXPECT_EQ(p->Owner(), nullptr);
        EXPECT_EQ(UniProviders().GetProvider("dbf"), p);
        EXPECT_EQ(UniProviders().GetProvider(" DBF"), nullptr);
        EXPECT_EQ(UniProviders().GetProvider("DBF "), nullptr);
        // Registering again replaces the instance.
        UniProviders().RegisterProvider(uptest::TDBFProvider::StaticClass());
        EXPECT_NE(UniProviders().GetProvider("DBF"), nullptr);
    }
    EXPECT_EQ(UniProviders().GetProvider("DBF"), nullptr);
    EXPECT_EQ(UniProviders().GetProvider("MySQL"), nullptr);
    EXPECT_EQ(UniProviders().GetProvider("Foo"), nullptr);
}

TEST(ProviderRegistry, HoldsTheKnownNamesOnceEach) {
    const int count = UniProviders().Count();
    EXPECT_EQ(count, 13);
    UniProviders().RegisterProviderDesc("sqlite", "X", "x", "x", "");
    EXPECT_EQ(UniProviders().Count(), count);
    TUniProviderDesc* d = UniProviders().GetProviderDesc("sql server");
    EXPECT_EQ(d->ProviderName(), "SQL Server");
    EXPECT_EQ(d->ProviderShortName(), "SQLServer");
    EXPECT_EQ(d->PackageName(), "msprovider");
    EXPECT_EQ(d->AssemblyName(), "Ostrevik.Marbelon.SQLServer");
    EXPECT_EQ(UniProviders().GetProviderDesc("SQLITE")->ProviderShortName(), "SQLite");
    EXPECT_EQ(UniProviders().FindProviderDesc("Foo"), nullptr);
}

TEST(ProviderRegistry, Errors) {
    struct Case {
        std::function<void()> Call;
        const char* Message;
    };
    // A provider class whose name has no entry in the table.
    static constexpr char kFoo[] = "Foo";
    using TFooProvider = uptest::TTestProviderT<kFoo>;
    const Case cases[] = {
        {[] { UniProviders().GetProviderDesc("Foo"); }, "Foo is not a valid provider name"},
        {[] { UniProviders().RegisterProvider(TFooProvider::StaticClass()); }, "Foo is not a valid provider name"},
        {[] { UniProviders().UnRegisterProvider(TFooProvider::StaticClass()); }, "Foo is not a valid provider name"},
        {[] { RaiseProviderNotRegistered(""); }, "Provider is not defined"},
        {[] { RaiseProviderNotRegistered("Foo"); }, "Foo is not a valid provider name"},
        {[] { RaiseProviderNotRegistered("MySQL"); },
         "MySQL provider is not registered. You should add the MySQLUniProvider unit to the uses clause of any "
         "unit in your project or place the TMySQLUniProvider component on the form."},
        {[] { RaiseProviderNotRegistered("sql server"); },
         "SQL Server provider is not registered. You should add the SQLServerUniProvider unit to the uses clause of "
         "any unit in your project or place the TSQLServerUniProvider component on the form."},
        {[] { RaiseProviderNotRegistered("SQLite"); },
         "SQLite provider is not registered. You should add the SQLiteUniProvider unit to the uses clause of any "
         "unit in your project or place the TSQLiteUniProvider component on the form."},
    };
    for (const Case& c : cases) EXPECT_EQ(MessageOf(c.Call), c.Message);
    EXPECT_THROW(RaiseProviderNotRegistered(""), db::EDatabaseError);
    EXPECT_EQ(UniProviders().Count(), 13);
}

TEST(ProviderRegistry, ConcurrentRegistrationAndLookup) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0) {
                    UniProviders().RegisterProvider(uptest::TDBFProvider::StaticClass());
                    UniProviders().UnRegisterProvider(uptest::TDBFProvider::StaticClass());
                } else {
                    UniProviders().FindProviderDesc("dbf");
                    UniProviders().GetProviderDesc("ODBC");
                }
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(UniProviders().GetProvider("DBF"), nullptr);
}

TEST(ProviderBase, AnswersAndParamObjects) {
    rtl::TOwnedPtr<uptest::TTestProvider> p(rtl::Create<uptest::TTestProvider>(nullptr));
    EXPECT_FALSE(p->IsDatabaseSupported());
    EXPECT_TRUE(p->IsOutParamsSupported());
    EXPECT_TRUE(p->IsPoolingSupported());
    EXPECT_EQ(p->GetCurrentSchema(), "");
    EXPECT_EQ(&p->GetAlerterClass(), &daccess::TCRDummyAlerter::StaticClass());
    EXPECT_THROW(p->GetCommandClass(), rtl::EAbstractError);
    EXPECT_THROW(p->GetSqlFormatterClass(), rtl::EAbstractError);
    EXPECT_THROW(TUniProvider::GetProviderName(), rtl::EAssertionFailed);

    // The lists a provider does not define are empty, made once and named after the provider.
    TOptionsList* script = p->GetScriptOptions();
    EXPECT_EQ(script->Count(), 0);
    EXPECT_EQ(script->ProviderName(), "SQLite");
    EXPECT_EQ(p->GetScriptOptions(), script);
    EXPECT_EQ(p->GetConnectionOptions()->ProviderName(), "SQLite");

    struct Case {
        db::TFieldType Type;
        const char* Class;
        bool Unicode;
    };
    const Case cases[] = {
        {db::ftBlob, "TCompressedBlob", false}, {db::ftMemo, "TBlob", false}, {db::ftWideMemo, "TBlob", true}};
    for (const Case& c : cases) {
        EXPECT_STREQ(p->GetParamObjectClass(c.Type).ClassName, c.Class);
        store::TBlob* blob = p->CreateParamObject(c.Type);
        EXPECT_EQ(blob->IsUnicode(), c.Unicode);
        EXPECT_EQ(blob->GetSize(), 0);
        EXPECT_EQ(dynamic_cast<store::TCompressedBlob*>(blob) != nullptr, c.Type == db::ftBlob);
        blob->Release();
    }
    EXPECT_EQ(MessageOf([&] { p->GetParamObjectClass(db::ftString); }), "Unknown data type");
    EXPECT_EQ(MessageOf([&] { p->CreateParamObject(db::ftInteger); }), "Unknown data type");
}

TEST(ProviderBase, ConnectDialogServiceKnowsNoProperty) {
    rtl::TOwnedPtr<TConnectDialogService> s(rtl::Create<TConnectDialogService>());
    Variant v;
    try {
        s->SetProp(1001, true);
        ADD_FAILURE();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Text(), "1001");
    }
    EXPECT_THROW(s->GetProp(5, v), rtl::EAssertionFailed);
    EXPECT_EQ(s->ServerEnumerationKind(), 1);
    EXPECT_TRUE(s->DatabaseEnabled());
}

}  // namespace
