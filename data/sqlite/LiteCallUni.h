// The table of SQLite entry points through which the provider reaches the engine, bound either to
// a client library loaded at connect time or to the engine the program is linked with.
#pragma once

#include <sqlite3.h>

#include <functional>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Types.h"

namespace sqlite {

using rtl::AnsiString;

// Entry points 1-68 of the table, in table order. The key pair (69-70) follows separately because
// the engine's header declares it only in builds with a page codec.
// clang-format off
#define VELMORAT_SQLITE_ENTRY_POINTS(X)                                                             \
    X(sqlite3_open) X(sqlite3_open16) X(sqlite3_open_v2) X(sqlite3_close) X(sqlite3_errcode)       \
    X(sqlite3_errmsg) X(sqlite3_last_insert_rowid) X(sqlite3_changes)                              \
    X(sqlite3_prepare_v2) X(sqlite3_step) X(sqlite3_reset) X(sqlite3_finalize)                     \
    X(sqlite3_column_count) X(sqlite3_column_type) X(sqlite3_column_name)                          \
    X(sqlite3_column_origin_name) X(sqlite3_column_table_name) X(sqlite3_column_database_name)     \
    X(sqlite3_column_decltype) X(sqlite3_column_blob) X(sqlite3_column_bytes)                      \
    X(sqlite3_column_double) X(sqlite3_column_int) X(sqlite3_column_int64) X(sqlite3_column_text)  \
    X(sqlite3_bind_parameter_count) X(sqlite3_bind_blob) X(sqlite3_bind_double)                    \
    X(sqlite3_bind_int) X(sqlite3_bind_int64) X(sqlite3_bind_null) X(sqlite3_bind_text)            \
    X(sqlite3_result_blob) X(sqlite3_result_double) X(sqlite3_result_error)                        \
    X(sqlite3_result_error16) X(sqlite3_result_error_toobig) X(sqlite3_result_error_nomem)         \
    X(sqlite3_result_error_code) X(sqlite3_result_int) X(sqlite3_result_int64)                     \
    X(sqlite3_result_null) X(sqlite3_result_text) X(sqlite3_result_text16)                         \
    X(sqlite3_result_text16le) X(sqlite3_result_text16be) X(sqlite3_result_value)                  \
    X(sqlite3_result_zeroblob)                                                                     \
    X(sqlite3_value_blob) X(sqlite3_value_bytes) X(sqlite3_value_bytes16) X(sqlite3_value_double)  \
    X(sqlite3_value_int) X(sqlite3_value_int64) X(sqlite3_value_text) X(sqlite3_value_text16)      \
    X(sqlite3_value_type) X(sqlite3_user_data)                                                     \
    X(sqlite3_libversion) X(sqlite3_libversion_number)                                             \
    X(sqlite3_create_collation) X(sqlite3_create_collation16) X(sqlite3_create_function)           \
    X(sqlite3_create_function16)                                                                   \
    X(sqlite3_enable_shared_cache) X(sqlite3_busy_timeout) X(sqlite3_busy_handler)                 \
    X(sqlite3_total_changes)
// clang-format on

using Tsqlite3_key = int (*)(sqlite3* db, const void* key, int keyLength);
using Tsqlite3_rekey = int (*)(sqlite3* db, const void* key, int keyLength);

// The client library loaded when none is named.
inline constexpr const char* DefaultClientLibrary = "libsqlite3.so.0";

namespace detail {
[[noreturn]] void RaiseNotLinked();
[[noreturn]] void RaiseNoEncryption();

template <class F>
struct TStubOf;
// The stubs ignore their arguments; they are only ever called through the table by our own code,
// never handed to the engine, so the exception they raise never crosses the engine's frames.
template <class R, class... A>
struct TStubOf<R (*)(A...)> {
    static R NotLinked(A...) { RaiseNotLinked(); }
    static R NoEncryption(A...) { RaiseNoEncryption(); }
};
}  // namespace detail

// Stand-ins of entry points the library does not export, one per slot signature.
template <class F>
inline constexpr F NotLinkedStub = &detail::TStubOf<F>::NotLinked;
template <class F>
inline constexpr F NoEncryptionStub = &detail::TStubOf<F>::NoEncryption;

// Looks an exported name up in a loaded module; nullptr when the module does not export it.
using TSymbolResolver = std::function<void*(void* module, const char* name)>;

class TSQLite3API : public rtl::TObject {
    RTL_CLASS(TSQLite3API, rtl::TObject)
public:
    TSQLite3API();
    ~TSQLite3API() override;

    // Takes over the database handle and the entry points of another table, but not its library:
    // the copy never frees what the source loaded.
    virtual void Assign(const TSQLite3API& source);

    // Binds the table once; a loaded table is left alone.
    void Load();
    // Releases the library; the slots keep their values until the next Load rebinds them.
    void Unload();
    // Looks every entry point up in the loaded module, putting a stub where one is missing.
    void BindByName();

    bool HasColumnMetadata() const;
    // The engine's last error of the table's database, in the ANSI code page.
    AnsiString ErrorMessage() const;

    const AnsiString& ClientLibrary() const noexcept { return FClientLibrary; }
    void SetClientLibrary(AnsiString name) { FClientLibrary = std::move(name); }
    bool Direct() const noexcept { return FDirect; }
    void SetDirect(bool value) noexcept { FDirect = value; }
    bool Loaded() const noexcept { return FLoaded; }
    void* Module() const noexcept { return FModule; }

    // Replaces the dynamic loader's symbol look-up of BindByName; an empty resolver restores it.
    void SetSymbolResolver(TSymbolResolver resolver) { FResolver = std::move(resolver); }

    // The engine's handle of the open database; every holder of the table reaches the same one.
    sqlite3* SQLite = nullptr;

#define VELMORAT_SQLITE_SLOT(name) decltype(&::name) name;
    VELMORAT_SQLITE_ENTRY_POINTS(VELMORAT_SQLITE_SLOT)
#undef VELMORAT_SQLITE_SLOT
    Tsqlite3_key sqlite3_key;
    Tsqlite3_rekey sqlite3_rekey;

private:
    void* FModule = nullptr;
    AnsiString FClientLibrary;
    bool FDirect = false;
    bool FLoaded = false;
    TSymbolResolver FResolver;
};

// Finalizes a prepared statement through the table it was prepared with.
struct TFinalizeStatement {
    TSQLite3API* API = nullptr;
    void operator()(sqlite3_stmt* Stmt) const noexcept { API->sqlite3_finalize(Stmt); }
};

// Owns a prepared statement: finalized once, on every path out.
using TStatementOwner = rtl::TUniqueHandle<sqlite3_stmt*, TFinalizeStatement>;

}  // namespace sqlite
