// SQLite for the universal components: the provider object registered as "SQLite", its option
// lists, the SQL formatter with SQLite's function and macro tables, and SQLite-only calls on a
// universal connection.
//
// Including this header links the unit in, and with it the provider's registration: a program
// that talks to SQLite through the universal components includes it once somewhere.
#pragma once

#include "data/access/CRServerEnumerator.h"
#include "data/access/DBAccess.h"
#include "data/components/UniProvider.h"
#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteFunctionUni.h"

namespace sqlite {

// The provider of the universal components for SQLite.
class TSQLiteUniProvider : public components::TUniProvider {
    RTL_CLASS(TSQLiteUniProvider, components::TUniProvider)
public:
    explicit TSQLiteUniProvider(rtl::TComponent* Owner) : TUniProvider(Owner) {}

    static AnsiString GetProviderName() { return "SQLite"; }

    bool IsDatabaseSupported() override { return true; }
    bool IsPortSupported() override { return false; }
    bool IsOutParamsSupported() override { return false; }
    bool IsPoolingSupported() override { return false; }

    const rtl::ClassRef& GetConnectionParametersClass() override;
    const daccess::TCRConnectionPoolManagerClass& GetConnectionPoolingManagerClass() override;
    const daccess::TCRConnectionClass& GetConnectionClass() override;
    const rtl::ClassRef& GetServerEnumeratorClass() override;
    const daccess::TCRTransactionClass& GetTransactionClass() override;
    const store::TParserClass& GetParserClass() override;
    const daccess::TCRCommandClass& GetCommandClass() override;
    const daccess::TCRRecordSetClass& GetRecordSetClass() override;
    const store::TDataSetServiceClass& GetDataSetServiceClass() override;
    const daccess::TCRLoaderClass& GetLoaderClass() override;
    const store::TFieldTypeMap& GetFieldTypeMapClass() override;
    const daccess::TCRMetaDataClass& GetMetaDataClass() override;
    const components::TConnectDialogServiceClass& GetConnectDialogServiceClass() override;
    const components::TUniSqlFormatterClass& GetSqlFormatterClass() override;
    const rtl::ClassRef& GetConverterManagerClass() override;
    const rtl::ClassRef& GetScriptProcessorClass() override;
    const rtl::ClassRef& GetDumpProcessorClass() override;

    // Blob, memo and wide memo parameters are all held by a compressed blob.
    const components::TParamObjectClass& GetParamObjectClass(db::TFieldType DataType) override;
    store::TBlob* CreateParamObject(db::TFieldType DataType) override;

    components::TOptionsList* GetConnectionOptions() override;
    components::TOptionsList* GetSQLOptions() override;
    components::TOptionsList* GetDataSetOptions() override;
};

// A database file is no server: the base's empty list.
class TLiteServerEnumerator : public daccess::TCRServerEnumerator {
    RTL_CLASS(TLiteServerEnumerator, daccess::TCRServerEnumerator)
};

// The field-type map of SQLite datasets: the data-access layer's, unchanged.
class TCustomLiteFieldTypeMap : public daccess::TDAFieldTypeMap {
public:
    static const TCustomLiteFieldTypeMap& Instance();
};

// Translates the provider-neutral SQL constructs with SQLite's functions and predefined macros.
class TLiteFormatter : public components::TUniSqlFormatter {
    RTL_CLASS(TLiteFormatter, components::TUniSqlFormatter)
public:
    TLiteFormatter();
};

// The tables every TLiteFormatter uses, as "NAME=text" lines.
const rtl::TStrings* LiteFunctions();
const rtl::TStrings* LiteMacros();

// What a connect dialog would ask of SQLite: a database file and nothing of a server.
class TLiteConnectDialogService : public components::TConnectDialogService {
    RTL_CLASS(TLiteConnectDialogService, components::TConnectDialogService)
public:
    bool UseDatabaseHistory() override { return true; }
    bool UsernameEnabled() override { return false; }
    bool PasswordEnabled() override { return false; }
    bool ServerEnabled() override { return false; }
};

// SQLite-only calls on a universal connection.
class TLiteUtils {
public:
    // The connection's SQLite provider connection. Raises "Operation is not allowed when the
    // connection is closed" when it has none yet, and the connection-type message when the
    // provider connection belongs to another provider.
    static TSQLiteConnection* GetSQLiteConnection(daccess::TCustomDAConnection* Connection);
    // Adds an SQL function to the connection: at once when it is open, else at its next connect.
    static void RegisterFunction(daccess::TCustomDAConnection* Connection, const AnsiString& Name,
                                 TLiteFunction Function, int ArgCount);
};

// Defined by the unit; the reference below keeps the unit, and so the registration, in the link.
extern const char SQLiteUniProviderUnit[];
[[gnu::used]] inline const char* const SQLiteUniProviderUse = SQLiteUniProviderUnit;

}  // namespace sqlite
