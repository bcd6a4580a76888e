// A temporary working folder holding a velmorat.sdb made from the install script, for the
// application's benchmarks; the folder is left and removed when the object goes.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace bench {

class TInstalledDatabase {
public:
    // Prefix names the folder; the file stays open in Db (for seeding) until Close.
    explicit TInstalledDatabase(const char* Prefix) {
        std::string tmpl = std::string("/tmp/") + Prefix + "_XXXXXX";
        if (!::mkdtemp(tmpl.data())) std::abort();
        Dir = tmpl;
        OldDir = std::filesystem::current_path();
        std::filesystem::current_path(Dir);
        std::ifstream in(VELMORAT_INSTALL_DB_SQL, std::ios::binary);
        std::ostringstream script;
        script << in.rdbuf();
        if (sqlite3_open("velmorat.sdb", &Db) != SQLITE_OK ||
            sqlite3_exec(Db, script.str().c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            std::abort();
    }
    ~TInstalledDatabase() {
        Close();
        std::filesystem::current_path(OldDir);
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    TInstalledDatabase(const TInstalledDatabase&) = delete;
    TInstalledDatabase& operator=(const TInstalledDatabase&) = delete;

    void Close() {
        if (Db) sqlite3_close(Db);
        Db = nullptr;
    }

    sqlite3* Db = nullptr;
    std::filesystem::path Dir, OldDir;
};

}  // namespace bench
