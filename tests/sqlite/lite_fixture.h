// A temporary folder with a database file and helpers to open the provider classes on it.
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Text.h"

namespace litetest {

using namespace sqlite;
using rtl::AnsiString;
using rtl::Variant;

inline std::string MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "<no exception>";
}

// 1251 text from a UTF-8 literal.
inline AnsiString A(const char8_t* s) { return rtl::UTF8ToAnsi(std::u8string_view(s)); }

class LiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/velmorat_lite_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        Dir = tmpl;
        DbPath = (Dir / "test.sdb").string();
        // An empty file is a new, empty database to the engine.
        std::FILE* f = std::fopen(DbPath.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    void TearDown() override {
        Conn.reset();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }

    // A connection with the application's options.
    rtl::TOwnedPtr<TSQLiteConnection> NewConnection(const std::string& Path, bool SharedCache = true,
                                                    int BusyTimeout = 350) {
        rtl::TOwnedPtr<TSQLiteConnection> c(rtl::Create<TSQLiteConnection>());
        c->SetProp(daccess::pidDatabase, Variant(AnsiString(Path)));
        c->SetProp(pidBusyTimeout, Variant(BusyTimeout));
        c->SetProp(pidReadUncommitted, Variant(true));
        c->SetProp(pidEnableSharedCache, Variant(SharedCache));
        c->SetProp(pidForeignKeys, Variant(false));
        return c;
    }

    TSQLiteConnection* Open(bool SharedCache = false) {
        Conn = NewConnection(DbPath, SharedCache);
        Conn->Connect("");
        return Conn.get();
    }

    void Exec(TSQLiteConnection* C, const AnsiString& SQL) { C->ExecuteInternal(SQL); }

    rtl::TOwnedPtr<TSQLiteCommand> Command(TSQLiteConnection* C, const AnsiString& SQL) {
        rtl::TOwnedPtr<TSQLiteCommand> cmd(rtl::Create<TSQLiteCommand>());
        cmd->SetConnection(C);
        cmd->SetSQL(SQL);
        return cmd;
    }

    rtl::TOwnedPtr<TSQLiteRecordSet> Query(TSQLiteConnection* C, const AnsiString& SQL, bool FetchAll = true,
                                           int FetchRows = 25) {
        rtl::TOwnedPtr<TSQLiteRecordSet> rs(rtl::Create<TSQLiteRecordSet>());
        rs->SetConnection(C);
        rs->SetSQL(SQL);
        rs->SetProp(daccess::pidFetchRows, Variant(FetchRows));
        rs->SetProp(daccess::pidFetchAll, Variant(FetchAll));
        return rs;
    }

    // Every row's values, in order.
    static std::vector<std::vector<Variant>> Rows(TSQLiteRecordSet* Rs) {
        std::vector<std::vector<Variant>> rows;
        void* buf = Rs->AllocRecBuf();
        Rs->SetToBegin();
        while (true) {
            Rs->GetNextRecord(buf);
            if (Rs->GetEof()) break;
            std::vector<Variant> row;
            for (int f = 1; f <= Rs->FieldCount(); ++f) {
                if (Rs->Fields()[f - 1]->DataType == store::mdtBlob && !Rs->GetNull(f, buf))
                    row.push_back(Variant::FromBytes(Rs->GetBlob(f, buf)->GetAsBytes()));
                else
                    row.push_back(Rs->GetFieldValue(f, buf));
            }
            rows.push_back(std::move(row));
        }
        Rs->FreeRecBuf(buf);
        return rows;
    }

    std::vector<std::vector<Variant>> Select(TSQLiteConnection* C, const AnsiString& SQL) {
        auto rs = Query(C, SQL);
        rs->Open();
        return Rows(rs.get());
    }

    std::filesystem::path Dir;
    std::string DbPath;
    rtl::TOwnedPtr<TSQLiteConnection> Conn;
};

// Resolves through the dynamic loader but pretends the module lacks the given names.
inline TSymbolResolver Hiding(std::set<std::string> hidden) {
    return [hidden = std::move(hidden)](void* module, const char* name) -> void* {
        if (hidden.count(name)) return nullptr;
        return ::dlsym(module, name);
    };
}

}  // namespace litetest
