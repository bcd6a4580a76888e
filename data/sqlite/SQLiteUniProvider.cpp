#include "data/sqlite/SQLiteUniProvider.h"

#include "data/access/CRConnectionPool.h"
#include "data/sqlite/LiteConstsUni.h"
#include "data/sqlite/LiteDataTypeMapUni.h"
#include "data/sqlite/LiteParserUni.h"
#include "data/sqlite/LiteServicesUni.h"
#include "data/sqlite/LiteServicesUni_Processors.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"

namespace sqlite {

using components::TBooleanOption;
using components::TEnumeratorOption;
using components::TIntegerOption;
using components::TOptionsList;
using components::TStringOption;

// =============================================================================================
// Provider

const rtl::ClassRef& TSQLiteUniProvider::GetConnectionParametersClass() {
    return daccess::TCRConnectionParameters::StaticClass();
}

const daccess::TCRConnectionPoolManagerClass& TSQLiteUniProvider::GetConnectionPoolingManagerClass() {
    return daccess::TCRConnectionPoolManager::StaticClass();
}

const daccess::TCRConnectionClass& TSQLiteUniProvider::GetConnectionClass() { return TSQLiteConnection::StaticClass(); }

const rtl::ClassRef& TSQLiteUniProvider::GetServerEnumeratorClass() { return TLiteServerEnumerator::StaticClass(); }

const daccess::TCRTransactionClass& TSQLiteUniProvider::GetTransactionClass() {
    return TSQLiteTransaction::StaticClass();
}

const store::TParserClass& TSQLiteUniProvider::GetParserClass() { return TLiteParser::StaticClass(); }

const daccess::TCRCommandClass& TSQLiteUniProvider::GetCommandClass() { return TSQLiteCommand::StaticClass(); }

const daccess::TCRRecordSetClass& TSQLiteUniProvider::GetRecordSetClass() { return TSQLiteRecordSet::StaticClass(); }

const store::TDataSetServiceClass& TSQLiteUniProvider::GetDataSetServiceClass() {
    return TCustomLiteDataSetService::StaticClass();
}

const daccess::TCRLoaderClass& TSQLiteUniProvider::GetLoaderClass() { return TSQLiteLoader::StaticClass(); }

const store::TFieldTypeMap& TSQLiteUniProvider::GetFieldTypeMapClass() { return TCustomLiteFieldTypeMap::Instance(); }

const daccess::TCRMetaDataClass& TSQLiteUniProvider::GetMetaDataClass() { return TSQLiteMetaData::StaticClass(); }

const components::TConnectDialogServiceClass& TSQLiteUniProvider::GetConnectDialogServiceClass() {
    return TLiteConnectDialogService::StaticClass();
}

const components::TUniSqlFormatterClass& TSQLiteUniProvider::GetSqlFormatterClass() {
    return TLiteFormatter::StaticClass();
}

const rtl::ClassRef& TSQLiteUniProvider::GetConverterManagerClass() { return TLiteConverterManager::StaticClass(); }

const rtl::ClassRef& TSQLiteUniProvider::GetScriptProcessorClass() { return TLiteScriptProcessor::StaticClass(); }

const rtl::ClassRef& TSQLiteUniProvider::GetDumpProcessorClass() { return TCustomLiteDumpProcessor::StaticClass(); }

const components::TParamObjectClass& TSQLiteUniProvider::GetParamObjectClass(db::TFieldType DataType) {
    switch (DataType) {
        case db::ftBlob:
        case db::ftMemo:
        case db::ftWideMemo: return components::CompressedBlobParamObjectClass();
        default: throw rtl::Exception(SUnknownDataType);
    }
}

store::TBlob* TSQLiteUniProvider::CreateParamObject(db::TFieldType DataType) {
    store::TBlob* blob = GetParamObjectClass(DataType).Create();
    if (DataType == db::ftWideMemo) blob->SetIsUnicode(true);
    return blob;
}

TOptionsList* TSQLiteUniProvider::GetConnectionOptions() {
    if (!FConnectionOptions) {
        rtl::TOwnedPtr<TOptionsList> list(NewOptionsList());
        const std::vector<const rtl::ClassRef*> conn{&TSQLiteConnection::StaticClass()};
        const Variant none{AnsiString()};
        list->AddOption(rtl::Adopt(new TBooleanOption("ASCIIDataBase", Variant(false), conn, pidASCIIDataBase)));
        list->AddOption(rtl::Adopt(new TIntegerOption("BusyTimeout", Variant(0), conn, pidBusyTimeout)));
        list->AddOption(rtl::Adopt(new TStringOption("ClientLibrary", none, conn, pidClientLibrary)));
        list->AddOption(rtl::Adopt(new TStringOption("DateFormat", none, conn, pidDateFormat)));
        list->AddOption(rtl::Adopt(new TBooleanOption("DefaultCollations", Variant(true), conn, pidDefaultCollations)));
        list->AddOption(
            rtl::Adopt(new TBooleanOption("EnableSharedCache", Variant(false), conn, pidEnableSharedCache)));
        list->AddOption(rtl::Adopt(new TStringOption("EncryptionKey", none, conn, pidEncryptionKey)));
        list->AddOption(rtl::Adopt(new TBooleanOption("ReadUncommitted", Variant(false), conn, pidReadUncommitted)));
        list->AddOption(rtl::Adopt(new TBooleanOption("ForeignKeys", Variant(true), conn, pidForeignKeys)));
        list->AddOption(rtl::Adopt(new TStringOption("TimeFormat", none, conn, pidTimeFormat)));
        list->AddOption(rtl::Adopt(new TBooleanOption("UseUnicode", Variant(false), conn, pidUseUnicode)));
        list->AddOption(rtl::Adopt(new TBooleanOption("Direct", Variant(false), conn, pidDirect)));
        list->AddOption(
            rtl::Adopt(new TBooleanOption("ForceCreateDatabase", Variant(false), conn, pidForceCreateDatabase)));
        list->AddOption(rtl::Adopt(new TEnumeratorOption(
            "EncryptionAlgorithm", Variant(static_cast<unsigned char>(leDefault)), conn, pidEncryptionAlgorithm,
            "TLiteEncryptionAlgorithm",
            {"leTripleDES", "leBlowfish", "leAES128", "leAES192", "leAES256", "leCast128", "leRC4", "leDefault"})));
        FConnectionOptions = std::move(list);
    }
    return FConnectionOptions.get();
}

TOptionsList* TSQLiteUniProvider::GetSQLOptions() { return EnsureList(FSQLOptions); }

TOptionsList* TSQLiteUniProvider::GetDataSetOptions() {
    if (!FDataSetOptions) {
        rtl::TOwnedPtr<TOptionsList> list(NewOptionsList());
        const std::vector<const rtl::ClassRef*> rs{&TSQLiteRecordSet::StaticClass()};
        list->AddOption(
            rtl::Adopt(new TBooleanOption("ExtendedFieldsInfo", Variant(true), rs, daccess::pidExtendedFieldsInfo)));
        list->AddOption(rtl::Adopt(new TBooleanOption("FetchAll", Variant(false), rs, daccess::pidFetchAll)));
        FDataSetOptions = std::move(list);
    }
    return FDataSetOptions.get();
}

const TCustomLiteFieldTypeMap& TCustomLiteFieldTypeMap::Instance() {
    static const TCustomLiteFieldTypeMap map;
    return map;
}

// =============================================================================================
// Formatter

namespace {

rtl::TOwnedPtr<rtl::TStringList> NewTable(std::initializer_list<const char*> Lines) {
    rtl::TOwnedPtr<rtl::TStringList> table(rtl::Create<rtl::TStringList>());
    for (const char* line : Lines) table->Add(line);
    return table;
}

}  // namespace

const rtl::TStrings* LiteFunctions() {
    static const rtl::TOwnedPtr<rtl::TStringList> table = NewTable({
        "CHAR_LENGTH=LENGTH(%s)",
        "SUBSTRING=SUBSTR(%s, %s, %s)",
        "CONCAT=%s || %s",
        "TRIM=TRIM(%s)",
        "CURRENT_DATE=CURRENT_DATE",
        "DATEADD=DATE(%2:s, '%1:s %0:s')",
        "__DATE_TIME_LITERAL=%s",
        "__DATE_LITERAL=%s",
        "__TIME_LITERAL=%s",
        "TODATE=CAST(%s AS VARCHAR)",
        "TONUMBER=CAST(%s AS DOUBLE)",
        "TOCHAR=CAST(%s AS VARCHAR)",
    });
    return table.get();
}

const rtl::TStrings* LiteMacros() {
    static const rtl::TOwnedPtr<rtl::TStringList> table = NewTable({
        "PROVIDER=SQLite",
        "SQLITE=",
        "DATETIME=TEXT",
        "DOUBLE=DOUBLE",
        "VARCHAR=VARCHAR",
    });
    return table.get();
}

TLiteFormatter::TLiteFormatter() {
    SetFunctions(LiteFunctions());
    SetPredefinedMacros(LiteMacros());
}

// =============================================================================================
// Utilities

TSQLiteConnection* TLiteUtils::GetSQLiteConnection(daccess::TCustomDAConnection* Connection) {
    daccess::TCRConnection* connection = daccess::TDBAccessUtils::GetIConnection(Connection);
    if (!connection) throw rtl::Exception(SConnectionIsClosed);
    auto* lite = dynamic_cast<TSQLiteConnection*>(connection);
    if (!lite)
        throw rtl::Exception(rtl::Format(SIncorrectConnectionType,
                                         {AnsiString("TSQLiteConnection"), AnsiString(connection->ClassName())}));
    return lite;
}

void TLiteUtils::RegisterFunction(daccess::TCustomDAConnection* Connection, const AnsiString& Name,
                                  TLiteFunction Function, int ArgCount) {
    GetSQLiteConnection(Connection)->GetFunctionManager()->RegisterFunction(Name, ArgCount, std::move(Function));
}

// =============================================================================================
// Registration

const char SQLiteUniProviderUnit[] = "SQLiteUniProvider";

namespace {

// Registers the provider while the program runs; the registry outlives it.
struct TRegistration {
    TRegistration() { components::UniProviders().RegisterProvider(TSQLiteUniProvider::StaticClass()); }
    ~TRegistration() { components::UniProviders().UnRegisterProvider(TSQLiteUniProvider::StaticClass()); }
} Registration;

}  // namespace

}  // namespace sqlite
