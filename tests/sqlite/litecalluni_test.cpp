#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "data/sqlite/LiteCallUni.h"
#include "data/sqlite/LiteStaticUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Text.h"

using namespace sqlite;

namespace {

std::string MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "<no exception>";
}

// Resolves through the dynamic loader but pretends the module lacks the given names.
TSymbolResolver Hiding(std::set<std::string> hidden, std::atomic<int>* lookUps = nullptr) {
    return [hidden = std::move(hidden), lookUps](void* module, const char* name) -> void* {
        if (lookUps) ++*lookUps;
        if (hidden.count(name)) return nullptr;
        return ::dlsym(module, name);
    };
}

}  // namespace

TEST(LiteCall, NewTableRaisesFromEverySlotUntilLoaded) {
    TSQLite3API api;
    EXPECT_FALSE(api.Loaded());
    EXPECT_EQ(api.Module(), nullptr);
    EXPECT_EQ(api.SQLite, nullptr);
    EXPECT_FALSE(api.HasColumnMetadata());
    EXPECT_EQ(MessageOf([&] { api.sqlite3_libversion(); }), SSQLiteNotLinked);
    EXPECT_EQ(MessageOf([&] { api.sqlite3_result_null(nullptr); }), SSQLiteNotLinked);
    const std::string encryption =
        "SQLite DLL that you are using does not support SQLite database encryption. \r"
        "Please download a new DLL or recompile the existing one with encryption support. ";
    EXPECT_EQ(MessageOf([&] { api.sqlite3_key(nullptr, "k", 1); }), encryption);
    EXPECT_EQ(MessageOf([&] { api.sqlite3_rekey(nullptr, "k", 1); }), encryption);
}

TEST(LiteCall, DefaultLibraryLoadsAndWorksAgainstADatabase) {
    TSQLite3API api;
    api.Load();
    ASSERT_TRUE(api.Loaded());
    EXPECT_NE(api.Module(), nullptr);
    EXPECT_EQ(api.sqlite3_libversion_number(), SQLITE_VERSION_NUMBER);
    EXPECT_TRUE(api.HasColumnMetadata());
    // The system library has no page codec.
    EXPECT_EQ(MessageOf([&] { api.sqlite3_key(nullptr, "k", 1); }), SEncryptionNotSupported);

    ASSERT_EQ(api.sqlite3_open_v2(":memory:", &api.SQLite, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
              SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(api.sqlite3_prepare_v2(api.SQLite, "select 40 + 2 as n", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(api.sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(api.sqlite3_column_int(stmt, 0), 42);
    EXPECT_STREQ(api.sqlite3_column_name(stmt, 0), "n");
    api.sqlite3_finalize(stmt);

    // The engine's message is UTF-8 and comes back in the ANSI code page.
    const std::string sql = "select * from " + std::string("Книги");
    EXPECT_NE(api.sqlite3_prepare_v2(api.SQLite, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK);
    EXPECT_EQ(api.ErrorMessage(), rtl::UTF8ToAnsi("no such table: Книги"));
    api.sqlite3_close(api.SQLite);
    api.SQLite = nullptr;
}

TEST(LiteCall, MissingLibraryNamesItAndLeavesTableUnloaded) {
    TSQLite3API api;
    api.SetClientLibrary("libvelmorat_no_such_engine.so");
    EXPECT_EQ(MessageOf([&] { api.Load(); }), "Cannot load client library: libvelmorat_no_such_engine.so");
    EXPECT_FALSE(api.Loaded());
    EXPECT_EQ(api.Module(), nullptr);
    // The next connect tries again.
    api.SetClientLibrary("libsqlite3.so.0");
    api.Load();
    EXPECT_TRUE(api.Loaded());
    EXPECT_EQ(api.sqlite3_libversion_number(), SQLITE_VERSION_NUMBER);
}

TEST(LiteCall, HiddenEntryPointsGetStubs) {
    struct Case {
        std::set<std::string> hidden;
        bool metadata;
    };
    const Case cases[] = {
        {{}, true},
        {{"sqlite3_column_origin_name"}, false},
        {{"sqlite3_column_table_name"}, false},
        {{"sqlite3_column_database_name"}, false},
        {{"sqlite3_column_origin_name", "sqlite3_column_table_name", "sqlite3_column_database_name"}, false},
        {{"sqlite3_libversion", "sqlite3_busy_timeout"}, true},
    };
    for (const auto& c : cases) {
        TSQLite3API api;
        api.SetSymbolResolver(Hiding(c.hidden));
        api.Load();
        EXPECT_TRUE(api.Loaded());
        EXPECT_EQ(api.HasColumnMetadata(), c.metadata) << c.hidden.size();
        if (c.hidden.count("sqlite3_column_table_name")) {
            EXPECT_EQ(MessageOf([&] { api.sqlite3_column_table_name(nullptr, 0); }), SSQLiteNotLinked);
        }
        if (c.hidden.count("sqlite3_libversion")) {
            EXPECT_EQ(MessageOf([&] { api.sqlite3_libversion(); }), SSQLiteNotLinked);
            EXPECT_EQ(MessageOf([&] { api.sqlite3_busy_timeout(nullptr, 10); }), SSQLiteNotLinked);
            // Slots the library does export still work.
            EXPECT_EQ(api.sqlite3_libversion_number(), SQLITE_VERSION_NUMBER);
        } else {
            EXPECT_STREQ(api.sqlite3_libversion(), SQLITE_VERSION);
        }
    }
}

TEST(LiteCall, LoadBindsOnceAndRebindsAfterUnload) {
    std::atomic<int> lookUps{0};
    TSQLite3API api;
    api.SetSymbolResolver(Hiding({}, &lookUps));
    api.Load();
    EXPECT_EQ(lookUps.load(), 70);
    api.Load();
    EXPECT_EQ(lookUps.load(), 70);  // a loaded table is not bound again

    api.Unload();
    EXPECT_FALSE(api.Loaded());
    EXPECT_EQ(api.Module(), nullptr);
    api.Unload();  // unloading twice is harmless
    api.Load();
    EXPECT_TRUE(api.Loaded());
    EXPECT_EQ(lookUps.load(), 140);
    EXPECT_EQ(api.sqlite3_libversion_number(), SQLITE_VERSION_NUMBER);
}

TEST(LiteCall, AssignedCopyNeverReleasesTheSourceLibrary) {
    TSQLite3API source;
    source.Load();
    ASSERT_EQ(source.sqlite3_open(":memory:", &source.SQLite), SQLITE_OK);
    {
        TSQLite3API copy;
        copy.Assign(source);
        EXPECT_EQ(copy.SQLite, source.SQLite);
        EXPECT_FALSE(copy.Loaded());
        EXPECT_EQ(copy.Module(), nullptr);
        EXPECT_TRUE(copy.HasColumnMetadata());
        EXPECT_EQ(copy.sqlite3_busy_timeout(copy.SQLite, 100), SQLITE_OK);
        copy.Unload();
    }
    EXPECT_TRUE(source.Loaded());
    EXPECT_NE(source.Module(), nullptr);
    EXPECT_EQ(source.sqlite3_changes(source.SQLite), 0);
    EXPECT_EQ(source.sqlite3_close(source.SQLite), SQLITE_OK);
    source.SQLite = nullptr;
}

TEST(LiteCall, DirectModeBindsTheLinkedEngine) {
    TSQLite3API api;
    api.SetDirect(true);
    api.SetSymbolResolver([](void*, const char*) -> void* {
        ADD_FAILURE() << "direct mode must not look names up";
        return nullptr;
    });
    api.Load();
    EXPECT_TRUE(api.Loaded());
    EXPECT_EQ(api.Module(), nullptr);
    EXPECT_TRUE(api.HasColumnMetadata());
    EXPECT_EQ(api.sqlite3_open_v2, &::sqlite3_open_v2);
    EXPECT_EQ(api.sqlite3_busy_handler, &::sqlite3_busy_handler);
    EXPECT_STREQ(api.sqlite3_libversion(), SQLITE_VERSION);
    // The key pair goes to the page codec, which refuses a missing database by its result.
    EXPECT_EQ(api.sqlite3_key, &sqlite::sqlite3_key);
    EXPECT_EQ(api.sqlite3_rekey, &sqlite::sqlite3_rekey);
    EXPECT_EQ(api.sqlite3_key(nullptr, "k", 1), 1);
    api.Unload();
    EXPECT_FALSE(api.Loaded());
}

TEST(LiteCall, SwitchingToDirectModeWhileLoadedStillReleasesTheLibrary) {
    TSQLite3API api;
    api.Load();
    void* module = api.Module();
    ASSERT_NE(module, nullptr);
    api.SetDirect(true);
    api.Unload();
    EXPECT_EQ(api.Module(), nullptr);
    api.Load();
    EXPECT_EQ(api.Module(), nullptr);
    EXPECT_EQ(api.sqlite3_open, &::sqlite3_open);
}

TEST(LiteCall, TablesLoadAndUnloadConcurrently) {
    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&failures, t] {
            TSQLite3API api;
            api.SetDirect(t % 2 == 1);
            for (int i = 0; i < 25; ++i) {
                api.Load();
                if (api.sqlite3_libversion_number() != SQLITE_VERSION_NUMBER) ++failures;
                api.Unload();
            }
            api.Load();  // left loaded: the destructor releases it
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
}
