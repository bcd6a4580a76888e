// The universal connection: choosing the provider by name, the database file, option lines applied
// at connect, and errors wrapped for the caller.
#include <gtest/gtest.h>

#include "tests/components/uni_fixture.h"

namespace {

using namespace unitest;

class UniConnectionTest : public UniFixture {};

TEST_F(UniConnectionTest, ProviderNameIsTrimmedComparedWithoutCaseAndRefusedWhileConnected) {
    Conn.reset(rtl::Create<TUniConnection>(nullptr));
    Conn->SetLoginPrompt(false);
    Conn->SetDatabase(File);
    Conn->SetProviderName(" SQLite ");
    EXPECT_EQ(Conn->ProviderName(), "SQLite");
    EXPECT_EQ(Conn->GetProvider(), UniProviders().GetProvider("SQLite"));
    Conn->SetProviderName("sqlite");
    EXPECT_EQ(Conn->ProviderName(), "SQLite");

    Conn->Connect();
    EXPECT_STREQ(Conn->IConnection()->ClassName(), "TSQLiteConnection");
    // "sqlite" is the same name: no error even while connected.
    Conn->SetProviderName("sqlite");
    EXPECT_EQ(MessageOf([&] { Conn->SetProviderName("MySQL"); }), SNotAllowedOnActiveConnection);
    EXPECT_EQ(Conn->ProviderName(), "SQLite");
    EXPECT_TRUE(Conn->Connected());
}

TEST_F(UniConnectionTest, AProviderThatCannotBeFoundFailsAtConnectNotWhenNamed) {
    struct Case {
        const char* Name;
        std::string Message;
    };
    const Case cases[] = {
        {"", "Provider is not defined"},
        {"Nonesuch", "Nonesuch is not a valid provider name"},
        {"MySQL",
         "MySQL provider is not registered. You should add the MySQLUniProvider unit to the uses clause of "
         "any unit in your project or place the TMySQLUniProvider component on the form."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Conn->SetProviderName(c.Name);
        EXPECT_EQ(Conn->ProviderName(), c.Name);
        EXPECT_EQ(MessageOf([&] { Conn->Connect(); }), c.Message);
        EXPECT_FALSE(Conn->Connected());
        // A query on it meets the same message when it needs the provider.
        VUdeVizov* q = Query("SELECT 1", false);
        EXPECT_EQ(MessageOf([&] { q->Open(); }), c.Message);
    }
    Conn->SetProviderName("SQLite");
    Conn->Connect();
    EXPECT_TRUE(Conn->Connected());
}

TEST_F(UniConnectionTest, AnotherDatabaseNameDisconnectsTheSQLiteConnection) {
    Conn->Connect();
    Conn->SetDatabase("  " + File + "  ");
    EXPECT_TRUE(Conn->Connected()) << "the same name, blanks trimmed";
    EXPECT_EQ(Conn->Database(), File);

    const std::string other = (Dir / "VELMORAT.sdb").string();
    Conn->SetDatabase(other.substr(0, other.size() - 4) + "SDB");
    EXPECT_FALSE(Conn->Connected()) << "another letter case is another name";

    // An empty file is a new, empty database to the engine.
    std::fclose(std::fopen((Dir / "other.sdb").c_str(), "wb"));
    Conn->SetDatabase((Dir / "other.sdb").string());
    Conn->Connect();
    Conn->ExecSQL("CREATE TABLE here (x INTEGER)");
    EXPECT_EQ(Column("SELECT count(*) FROM sqlite_master WHERE name = 'here'"), std::vector<std::string>{"0"});
}

TEST_F(UniConnectionTest, TheApplicationsOptionLinesReachTheEngineAtEachConnect) {
    auto pragma = [&](const char* Name) { return Scalar(AnsiString("PRAGMA ") + Name).AsInteger(); };
    for (const char* line : {"SQLite.BusyTimeout=350", "SQLite.ReadUncommitted=True", "SQLite.EnableSharedCache=True",
                             "SQLite.ForeignKeys=False", "MySQL.BusyTimeout=900"})
        Conn->SpecificOptions()->Add(line);
    // What the data module adds at start-up: only the first matching line counts.
    Conn->SpecificOptions()->Add("SQLite.BusyTimeout=351");
    Conn->Connect();
    EXPECT_EQ(pragma("busy_timeout"), 350);
    EXPECT_EQ(pragma("read_uncommitted"), 1);
    EXPECT_EQ(pragma("foreign_keys"), 0);

    // A changed line disconnects at once and counts from the next connect.
    Conn->SpecificOptions()->Delete(0);
    EXPECT_FALSE(Conn->Connected());
    Conn->Connect();
    EXPECT_EQ(pragma("busy_timeout"), 351);
    Conn->SpecificOptions()->Delete(Conn->SpecificOptions()->FindOptionLine("BusyTimeout"));
    Conn->SpecificOptions()->Delete(Conn->SpecificOptions()->FindOptionLine("ForeignKeys"));
    Conn->Connect();
    EXPECT_EQ(pragma("busy_timeout"), 0) << "a removed line gives the default back";
    EXPECT_EQ(pragma("foreign_keys"), 1);

    // An unprefixed line takes the provider's name.
    Conn->SpecificOptions()->Add("BusyTimeout= 77 ");
    EXPECT_EQ(Conn->SpecificOptions()->Strings(Conn->SpecificOptions()->Count() - 1), "SQLite.BusyTimeout= 77 ");
    Conn->Connect();
    EXPECT_EQ(pragma("busy_timeout"), 77);

    Conn->SpecificOptions()->Insert(0, "SQLite.ForeignKeys=maybe");
    EXPECT_EQ(MessageOf([&] { Conn->Connect(); }), "Invalid value: maybe for option ForeignKeys");
    EXPECT_FALSE(Conn->Connected());
}

TEST_F(UniConnectionTest, DatabaseErrorsReachTheCallerAndOnErrorAsUniErrors) {
    bool sawUniError = false;
    Conn->OnError = [&](rtl::TObject*, daccess::EDAError& E, bool&) {
        sawUniError = dynamic_cast<EUniError*>(&E) != nullptr;
    };
    VUdeVizov* q = Query("SELECT * FROM no_such_table");
    try {
        q->Open();
        FAIL() << "opened";
    } catch (const daccess::EDAError& e) {
        const auto* uni = dynamic_cast<const EUniError*>(&e);
        ASSERT_NE(uni, nullptr);
        ASSERT_NE(uni->InnerError(), nullptr);
        EXPECT_STREQ(uni->InnerError()->ClassName(), "ESQLiteError");
        EXPECT_EQ(e.ErrorCode(), uni->InnerError()->ErrorCode());
        EXPECT_NE(e.ErrorCode(), 0);
        EXPECT_NE(std::string(e.what()).find("no_such_table"), std::string::npos);
        EXPECT_FALSE(e.IsFatalError());
    }
    EXPECT_TRUE(sawUniError);

    // A key violation keeps its answer through the wrapper.
    Conn->ExecSQL("CREATE TABLE u (k INTEGER UNIQUE)");
    Conn->ExecSQL("INSERT INTO u VALUES (1)");
    try {
        Conn->ExecSQL("INSERT INTO u VALUES (1)");
        FAIL() << "inserted";
    } catch (const EUniError& e) {
        EXPECT_TRUE(e.IsKeyViolation());
    }

    // A file that cannot be opened fails the connect with a wrapped error.
    Conn->SetDatabase((Dir / "missing" / "x.sdb").string());
    EXPECT_THROW(Conn->Connect(), EUniError);
    EXPECT_FALSE(Conn->Connected());
}

TEST_F(UniConnectionTest, ConnectionOptionsReachTheProviderConnection) {
    TUniConnectionOptions* o = Conn->Options();
    ASSERT_NE(dynamic_cast<TUniConnectionOptions*>(o), nullptr);
    EXPECT_FALSE(o->ConvertEOL());
    EXPECT_FALSE(o->DisconnectedMode());
    EXPECT_TRUE(o->KeepDesignConnected());
    EXPECT_FALSE(o->LocalFailover());
    EXPECT_EQ(static_cast<int>(o->DefaultSortType()), 0);
    EXPECT_FALSE(o->EnableBCD());
    EXPECT_FALSE(o->EnableFMTBCD());

    // Set before the provider connection exists: handed over when it is made.
    o->SetConvertEOL(true);
    o->SetEnableBCD(true);
    EXPECT_TRUE(Conn->ConvertEOL());
    Conn->Connect();
    daccess::TCRConnection* provider = Conn->IConnection();
    EXPECT_TRUE(provider->ConvertEOL());
    EXPECT_TRUE(provider->EnableBCD());
    EXPECT_FALSE(provider->EnableFMTBCD());
    // Set on an open connection: passed on at once.
    o->SetConvertEOL(false);
    EXPECT_FALSE(provider->ConvertEOL());
    EXPECT_FALSE(o->ConvertEOL());
}

TEST_F(UniConnectionTest, VersionsNeedAnOpenConnection) {
    EXPECT_EQ(MessageOf([&] { (void)Conn->ServerVersion(); }), SConnectionIsNotConnected);
    Conn->Connect();
    EXPECT_EQ(Conn->ServerVersion().substr(0, 2), "3.");
    EXPECT_FALSE(Conn->ClientVersion().empty());
}

TEST_F(UniConnectionTest, AssignConnectCopiesProviderDatabaseAndLines) {
    Conn->SpecificOptions()->Add("SQLite.BusyTimeout=5");
    rtl::TOwnedPtr<TUniConnection> other(rtl::Create<TUniConnection>(nullptr));
    other->SpecificOptions()->Add("SQLite.ForeignKeys=False");
    other->AssignConnect(Conn.get());
    EXPECT_EQ(other->ProviderName(), "SQLite");
    EXPECT_EQ(other->Database(), File);
    ASSERT_EQ(other->SpecificOptions()->Count(), 1);
    EXPECT_EQ(other->SpecificOptions()->Strings(0), "SQLite.BusyTimeout=5");
}

}  // namespace
