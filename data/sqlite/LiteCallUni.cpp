#include "data/sqlite/LiteCallUni.h"

#include <dlfcn.h>

#include <mutex>

#include "data/sqlite/LiteConstsUni.h"
#include "data/sqlite/LiteStaticUni.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Text.h"

namespace sqlite {

namespace detail {
void RaiseNotLinked() { throw rtl::Exception(SSQLiteNotLinked); }
void RaiseNoEncryption() { throw rtl::Exception(SEncryptionNotSupported); }
}  // namespace detail

namespace {

// Serialises Load and Unload of every table in the process.
std::mutex& ApiLoadLock() {
    static std::mutex lock;
    return lock;
}

template <class F>
void BindSlot(F& slot, void* address, F stub) {
    slot = address ? reinterpret_cast<F>(address) : stub;
}

}  // namespace

TSQLite3API::TSQLite3API() {
#define VELMORAT_SQLITE_STUB(name) name = NotLinkedStub<decltype(&::name)>;
    VELMORAT_SQLITE_ENTRY_POINTS(VELMORAT_SQLITE_STUB)
#undef VELMORAT_SQLITE_STUB
    sqlite3_key = NoEncryptionStub<Tsqlite3_key>;
    sqlite3_rekey = NoEncryptionStub<Tsqlite3_rekey>;
}

TSQLite3API::~TSQLite3API() {
    if (FLoaded) Unload();
}

void TSQLite3API::Assign(const TSQLite3API& source) {
    if (&source == this) return;
    SQLite = source.SQLite;
#define VELMORAT_SQLITE_COPY(name) name = source.name;
    VELMORAT_SQLITE_ENTRY_POINTS(VELMORAT_SQLITE_COPY)
#undef VELMORAT_SQLITE_COPY
    sqlite3_key = source.sqlite3_key;
    sqlite3_rekey = source.sqlite3_rekey;
}

void TSQLite3API::Load() {
    std::lock_guard<std::mutex> guard(ApiLoadLock());
    if (FLoaded) return;
    if (FDirect) {
        BindLinkedEngine(*this);
    } else {
        const AnsiString name = FClientLibrary.empty() ? AnsiString(DefaultClientLibrary) : FClientLibrary;
        // File names on this platform are UTF-8.
        void* module = ::dlopen(rtl::AnsiToUTF8(name).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) throw rtl::Exception(SCannotLoadClientLibrary + name);
        FModule = module;
        try {
            BindByName();
        } catch (...) {
            FModule = nullptr;
            ::dlclose(module);
            throw;
        }
    }
    FLoaded = true;
}

void TSQLite3API::Unload() {
    std::lock_guard<std::mutex> guard(ApiLoadLock());
    if (!FLoaded) return;
    FLoaded = false;
    // Checked on the module rather than the mode, so that switching the mode of a loaded table
    // before unloading it cannot leak the library.
    if (FModule) {
        ::dlclose(FModule);
        FModule = nullptr;
    }
}

void TSQLite3API::BindByName() {
    auto lookUp = [this](const char* name) -> void* {
        if (FResolver) return FResolver(FModule, name);
        return FModule ? ::dlsym(FModule, name) : nullptr;
    };
#define VELMORAT_SQLITE_BIND(name) BindSlot(name, lookUp(#name), NotLinkedStub<decltype(&::name)>);
    VELMORAT_SQLITE_ENTRY_POINTS(VELMORAT_SQLITE_BIND)
#undef VELMORAT_SQLITE_BIND
    BindSlot(sqlite3_key, lookUp("sqlite3_key"), NoEncryptionStub<Tsqlite3_key>);
    BindSlot(sqlite3_rekey, lookUp("sqlite3_rekey"), NoEncryptionStub<Tsqlite3_rekey>);
}

bool TSQLite3API::HasColumnMetadata() const {
    return sqlite3_column_origin_name != NotLinkedStub<decltype(&::sqlite3_column_origin_name)> &&
           sqlite3_column_table_name != NotLinkedStub<decltype(&::sqlite3_column_table_name)> &&
           sqlite3_column_database_name != NotLinkedStub<decltype(&::sqlite3_column_database_name)>;
}

AnsiString TSQLite3API::ErrorMessage() const {
    const char* text = sqlite3_errmsg(SQLite);
    return text ? rtl::UTF8ToAnsi(text) : AnsiString();
}

}  // namespace sqlite
