#include "data/components/UniProvider.h"

#include <map>
#include <mutex>

#include "data/components/UniConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace components {

// =============================================================================================
// Connect-dialog service

TConnectDialogService* TConnectDialogServiceClass::Create() const { rtl::AbstractError(); }

bool TConnectDialogService::SetProp(int Prop, const Variant& /*Value*/) {
    rtl::AssertFail(rtl::IntToStr(Prop), UniProviderUnit, 616);
}

bool TConnectDialogService::GetProp(int Prop, Variant& /*Value*/) {
    rtl::AssertFail(rtl::IntToStr(Prop), UniProviderUnit, 610);
}

// =============================================================================================
// Parameter objects

namespace {
store::TBlob* NewBlob() { return store::CreateSharedObject<store::TBlob>(); }
store::TBlob* NewCompressedBlob() { return store::CreateSharedObject<store::TCompressedBlob>(); }
}  // namespace

const TParamObjectClass& BlobParamObjectClass() {
    static const TParamObjectClass cls{"TBlob", &NewBlob};
    return cls;
}

const TParamObjectClass& CompressedBlobParamObjectClass() {
    static const TParamObjectClass cls{"TCompressedBlob", &NewCompressedBlob};
    return cls;
}

// =============================================================================================
// Provider

AnsiString TUniProviderClass::GetProviderName() const { return TUniProvider::GetProviderName(); }

TUniProvider::TUniProvider(rtl::TComponent* Owner) : TComponent(Owner) {}

TUniProvider::~TUniProvider() = default;

AnsiString TUniProvider::GetProviderName() { rtl::AssertFail("Assertion failure", UniProviderUnit, 319); }

AnsiString TUniProvider::ProviderName() const {
    return static_cast<const TUniProviderClass*>(ClassType())->GetProviderName();
}

const rtl::ClassRef& TUniProvider::GetConnectionParametersClass() { rtl::AbstractError(); }
const daccess::TCRConnectionPoolManagerClass& TUniProvider::GetConnectionPoolingManagerClass() { rtl::AbstractError(); }
const daccess::TCRConnectionClass& TUniProvider::GetConnectionClass() { rtl::AbstractError(); }
const rtl::ClassRef& TUniProvider::GetServerEnumeratorClass() { rtl::AbstractError(); }
const daccess::TCRTransactionClass& TUniProvider::GetTransactionClass() { rtl::AbstractError(); }
const store::TParserClass& TUniProvider::GetParserClass() { rtl::AbstractError(); }
const daccess::TCRCommandClass& TUniProvider::GetCommandClass() { rtl::AbstractError(); }
const daccess::TCRRecordSetClass& TUniProvider::GetRecordSetClass() { rtl::AbstractError(); }
const store::TDataSetServiceClass& TUniProvider::GetDataSetServiceClass() { rtl::AbstractError(); }
const rtl::ClassRef& TUniProvider::GetScriptProcessorClass() { rtl::AbstractError(); }
const daccess::TCRLoaderClass& TUniProvider::GetLoaderClass() { rtl::AbstractError(); }
const rtl::ClassRef& TUniProvider::GetAlerterClass() { return daccess::TCRDummyAlerter::StaticClass(); }
const rtl::ClassRef& TUniProvider::GetDumpProcessorClass() { rtl::AbstractError(); }
const store::TFieldTypeMap& TUniProvider::GetFieldTypeMapClass() { rtl::AbstractError(); }
const daccess::TCRMetaDataClass& TUniProvider::GetMetaDataClass() { rtl::AbstractError(); }
const TConnectDialogServiceClass& TUniProvider::GetConnectDialogServiceClass() { rtl::AbstractError(); }
const TUniSqlFormatterClass& TUniProvider::GetSqlFormatterClass() { rtl::AbstractError(); }
const rtl::ClassRef& TUniProvider::GetConverterManagerClass() { rtl::AbstractError(); }

const TParamObjectClass& TUniProvider::GetParamObjectClass(db::TFieldType DataType) {
    switch (DataType) {
        case db::ftBlob: return CompressedBlobParamObjectClass();
        case db::ftMemo:
        case db::ftWideMemo: return BlobParamObjectClass();
        default: throw rtl::Exception(SUnknownDataType);
    }
}

store::TBlob* TUniProvider::CreateParamObject(db::TFieldType DataType) {
    store::TBlob* blob = GetParamObjectClass(DataType).Create();
    if (DataType == db::ftWideMemo) blob->SetIsUnicode(true);
    return blob;
}

TOptionsList* TUniProvider::GetConnectionOptions() { rtl::AbstractError(); }
TOptionsList* TUniProvider::GetSQLOptions() { rtl::AbstractError(); }
TOptionsList* TUniProvider::GetDataSetOptions() { rtl::AbstractError(); }
TOptionsList* TUniProvider::GetScriptOptions() { return EnsureList(FScriptOptions); }
TOptionsList* TUniProvider::GetLoaderOptions() { return EnsureList(FLoaderOptions); }
TOptionsList* TUniProvider::GetDumpOptions() { return EnsureList(FDumpOptions); }
TOptionsList* TUniProvider::GetAlerterOptions() { return EnsureList(FAlerterOptions); }

TOptionsList* TUniProvider::NewOptionsList() { return rtl::Create<TOptionsList>(ProviderName()); }

TOptionsList* TUniProvider::EnsureList(rtl::TOwnedPtr<TOptionsList>& Slot) {
    if (!Slot) Slot.reset(NewOptionsList());
    return Slot.get();
}

namespace {

std::mutex& HandlersLock() {
    static std::mutex lock;
    return lock;
}

// Keyed by the upper-cased base class name.
std::map<AnsiString, TUniProvider::TObjectSetProp>& SetPropHandlers() {
    static std::map<AnsiString, TUniProvider::TObjectSetProp> handlers;
    return handlers;
}

TUniProvider::TObjectSetProp FindSetPropHandler(const char* BaseClassName) {
    std::lock_guard<std::mutex> guard(HandlersLock());
    auto& handlers = SetPropHandlers();
    auto it = handlers.find(rtl::UpperCase(BaseClassName));
    return it == handlers.end() ? nullptr : it->second;
}

template <class T>
TSetPropFunc SetPropOf(rtl::TObject* Obj) {
    T* target = dynamic_cast<T*>(Obj);
    return [target](int Prop, const Variant& Value) { return target->SetProp(Prop, Value); };
}

}  // namespace

void TUniProvider::RegisterSetPropHandler(const AnsiString& BaseClassName, TObjectSetProp Handler) {
    std::lock_guard<std::mutex> guard(HandlersLock());
    SetPropHandlers()[rtl::UpperCase(BaseClassName)] = std::move(Handler);
}

void TUniProvider::SetObjectProps(rtl::TObject* Obj, rtl::TStrings* Options, bool /*Initial*/) {
    if (!Obj) return;
    // Kinds whose classes are not visible from here are told apart by name and reached through a
    // handler their unit registered; without one, nothing is applied.
    auto byName = [&](const char* BaseClassName, TOptionsList* (TUniProvider::*List)()) -> bool {
        if (!Obj->IsClassByName(BaseClassName)) return false;
        if (auto handler = FindSetPropHandler(BaseClassName)) {
            (this->*List)()->ApplyOptions(Options, Obj,
                                          [&](int Prop, const Variant& Value) { return handler(Obj, Prop, Value); });
        }
        return true;
    };

    if (dynamic_cast<daccess::TCRConnection*>(Obj)) {
        GetConnectionOptions()->ApplyOptions(Options, Obj, SetPropOf<daccess::TCRConnection>(Obj));
    } else if (dynamic_cast<daccess::TCRConnectionParameters*>(Obj)) {
        GetConnectionOptions()->ApplyOptions(Options, Obj, SetPropOf<daccess::TCRConnectionParameters>(Obj));
    } else if (byName("TCRServerEnumerator", &TUniProvider::GetConnectionOptions)) {
    } else if (dynamic_cast<TConnectDialogService*>(Obj)) {
        GetConnectionOptions()->ApplyOptions(Options, Obj, SetPropOf<TConnectDialogService>(Obj));
    } else if (dynamic_cast<daccess::TCRCommand*>(Obj)) {
        GetSQLOptions()->ApplyOptions(Options, Obj, SetPropOf<daccess::TCRCommand>(Obj));
    } else if (auto* recordSet = dynamic_cast<daccess::TCRRecordSet*>(Obj)) {
        TOptionsList* list = GetDataSetOptions();
        list->ApplyOptions(Options, Obj, SetPropOf<daccess::TCRRecordSet>(Obj));
        if (daccess::TCRCommand* command = recordSet->GetCommand())
            list->ApplyOptions(Options, command, SetPropOf<daccess::TCRCommand>(command));
    } else if (byName("TDADataSetService", &TUniProvider::GetDataSetOptions)) {
    } else if (byName("TDAScriptProcessor", &TUniProvider::GetScriptOptions)) {
    } else if (dynamic_cast<daccess::TCRLoader*>(Obj)) {
        GetLoaderOptions()->ApplyOptions(Options, Obj, SetPropOf<daccess::TCRLoader>(Obj));
    } else if (byName("TDADumpProcessor", &TUniProvider::GetDumpOptions)) {
    } else if (dynamic_cast<daccess::TCRAlerter*>(Obj)) {
        GetAlerterOptions()->ApplyOptions(Options, Obj, SetPropOf<daccess::TCRAlerter>(Obj));
    }
}

// =============================================================================================
// Registry

TUniProviderDesc::TUniProviderDesc(AnsiString ProviderName, AnsiString ProviderShortName, AnsiString PackageName,
                                   AnsiString AssemblyName, AnsiString SiblingProduct)
    : FProviderName(std::move(ProviderName)),
      FProviderShortName(std::move(ProviderShortName)),
      FPackageName(std::move(PackageName)),
      FAssemblyName(std::move(AssemblyName)),
      FSiblingProduct(std::move(SiblingProduct)) {}

TUniProviderDesc::~TUniProviderDesc() { rtl::FreeAndNil(FProvider); }

TUniProviders::TUniProviders() = default;
TUniProviders::~TUniProviders() = default;

TUniProviderDesc* TUniProviders::FindProviderDesc(const AnsiString& ProviderName) {
    std::lock_guard<rtl::TRecursiveLock> guard(FLock);
    for (auto& item : FItems)
        if (rtl::SameText(item->FProviderName, ProviderName)) return item.get();
    return nullptr;
}

void TUniProviders::RegisterProviderDesc(const AnsiString& ProviderName, const AnsiString& ProviderShortName,
                                         const AnsiString& PackageName, const AnsiString& AssemblyName,
                                         const AnsiString& SiblingProduct) {
    std::lock_guard<rtl::TRecursiveLock> guard(FLock);
    if (FindProviderDesc(ProviderName)) return;
    FItems.push_back(
        std::make_unique<TUniProviderDesc>(ProviderName, ProviderShortName, PackageName, AssemblyName, SiblingProduct));
}

TUniProviderDesc* TUniProviders::GetProviderDesc(const AnsiString& ProviderName) {
    std::lock_guard<rtl::TRecursiveLock> guard(FLock);
    TUniProviderDesc* desc = FindProviderDesc(ProviderName);
    if (!desc) throw rtl::Exception(rtl::Format(SInvalidProviderName, {ProviderName}));
    return desc;
}

void TUniProviders::RegisterProvider(const TUniProviderClass& ProviderClass) {
    std::lock_guard<rtl::TRecursiveLock> guard(FLock);
    TUniProviderDesc* desc = GetProviderDesc(ProviderClass.GetProviderName());
    auto* provider = static_cast<TUniProvider*>(ProviderClass.Create(nullptr));
    // A second registration must not leak the first instance.
    rtl::FreeAndNil(desc->FProvider);
    desc->FProvider = provider;
}

void TUniProviders::UnRegisterProvider(const TUniProviderClass& ProviderClass) {
    std::lock_guard<rtl::TRecursiveLock> guard(FLock);
    TUniProviderDesc* desc = GetProviderDesc(ProviderClass.GetProviderName());
    rtl::FreeAndNil(desc->FProvider);
}

TUniProvider* TUniProviders::GetProvider(const AnsiString& ProviderName) {
    std::lock_guard<rtl::TRecursiveLock> guard(FLock);
    TUniProviderDesc* desc = FindProviderDesc(ProviderName);
    return desc ? desc->FProvider : nullptr;
}

int TUniProviders::Count() {
    std::lock_guard<rtl::TRecursiveLock> guard(FLock);
    return static_cast<int>(FItems.size());
}

TUniProviders& UniProviders() {
    static TUniProviders* registry = [] {
        auto* r = new TUniProviders();
        struct Entry {
            const char* Name;
            const char* Stem;
            const char* Package;
        };
        static const Entry entries[] = {
            {"Access", "Access", "accessprovider"},
            {"Advantage", "Advantage", "adsprovider"},
            {"ASE", "ASE", "aseprovider"},
            {"DB2", "DB2", "db2provider"},
            {"DBF", "DBF", "dbfprovider"},
            {"InterBase", "InterBase", "ibprovider"},
            {"MySQL", "MySQL", "myprovider"},
            {"NexusDB", "NexusDB", "nexusprovider"},
            {"ODBC", "ODBC", "odbcprovider"},
            {"Oracle", "Oracle", "oraprovider"},
            {"PostgreSQL", "PostgreSQL", "pgprovider"},
            {"SQL Server", "SQLServer", "msprovider"},
            {"SQLite", "SQLite", "liteprovider"},
        };
        for (const Entry& e : entries)
            r->RegisterProviderDesc(e.Name, e.Stem, e.Package, AnsiString("Ostrevik.Marbelon.") + e.Stem, "");
        return r;
    }();
    return *registry;
}

void RaiseProviderNotRegistered(const AnsiString& ProviderName) {
    if (ProviderName.empty()) db::DatabaseError(SProviderNotDefined);
    TUniProviderDesc* desc = UniProviders().GetProviderDesc(ProviderName);
    const AnsiString unitName = desc->ProviderShortName() + "UniProvider";
    throw rtl::Exception(rtl::Format(SProviderNotRegistered, {desc->ProviderName(), unitName, "T" + unitName}));
}

}  // namespace components
