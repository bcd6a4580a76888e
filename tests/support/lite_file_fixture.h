// A database file as another client sees it: statements run and columns read through the plain
// engine, past the components under test.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

namespace litetest {

using TRawDb = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
using TRawStatement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

// Runs statements on the file; bytes the connection's code page would not let through go in as
// they stand.
inline void RawExec(const std::string& File, const std::string& SQL) {
    sqlite3* opened = nullptr;
    const int rc = sqlite3_open(File.c_str(), &opened);
    TRawDb db(opened, &sqlite3_close);
    ASSERT_EQ(rc, SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db.get(), SQL.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db.get());
}

// The first column of every row, as text ("<null>" for NULL).
inline std::vector<std::string> ReadColumn(const std::string& File, const std::string& SQL) {
    sqlite3* opened = nullptr;
    EXPECT_EQ(sqlite3_open_v2(File.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    TRawDb db(opened, &sqlite3_close);
    sqlite3_stmt* prepared = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db.get(), SQL.c_str(), -1, &prepared, nullptr), SQLITE_OK) << sqlite3_errmsg(db.get());
    TRawStatement st(prepared, &sqlite3_finalize);
    std::vector<std::string> out;
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(st.get(), 0);
        out.push_back(t ? reinterpret_cast<const char*>(t) : "<null>");
    }
    return out;
}

}  // namespace litetest
