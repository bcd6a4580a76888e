#include "data/access/CRConnectionPool.h"

#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

// ---------------------------------------------------------------------------------------------
// TCRConnectionParameters

TCRConnectionParameters::TCRConnectionParameters() : FHttpOptions(rtl::Create<THttpOptions>()) {}

TCRConnectionParameters::~TCRConnectionParameters() = default;

void TCRConnectionParameters::AssignTo(rtl::TPersistent* Dest) {
    auto* dest = dynamic_cast<TCRConnectionParameters*>(Dest);
    if (!dest) {
        rtl::TPersistent::AssignTo(Dest);
        return;
    }
    dest->MinPoolSize = MinPoolSize;
    dest->MaxPoolSize = MaxPoolSize;
    dest->Username = Username;
    dest->Server = Server;
    dest->Password = Password;
    dest->ConnectionLifeTime = ConnectionLifeTime;
    dest->Validate = Validate;
    dest->IOHandler = IOHandler;
    dest->OnError = OnError;
    dest->FHttpOptions->Assign(FHttpOptions.get());
}

AnsiString TCRConnectionParameters::UserServerText() const {
    return "Username=" + Username + "\rServer=" + Server + "\r";
}

AnsiString TCRConnectionParameters::PoolSettingsText() const {
    return "MinPoolSize=" + rtl::IntToStr(MinPoolSize) + "\rMaxPoolSize=" + rtl::IntToStr(MaxPoolSize) +
           "\rConnectionLifeTime=" + rtl::IntToStr(ConnectionLifeTime) + "\rValidate=" +
           (Validate ? "True" : "False") + "\r";
}

AnsiString TCRConnectionParameters::AsText() const { return UserServerText() + PoolSettingsText(); }

bool TCRConnectionParameters::Equals(const TCRConnectionParameters* Other) const {
    if (!Other) return false;
    return MinPoolSize == Other->MinPoolSize && MaxPoolSize == Other->MaxPoolSize &&
           ConnectionLifeTime == Other->ConnectionLifeTime && rtl::AnsiSameText(Username, Other->Username) &&
           rtl::AnsiSameText(Server, Other->Server) && Password == Other->Password && Validate == Other->Validate &&
           IOHandler == Other->IOHandler && FHttpOptions->Equals(*Other->FHttpOptions);
}

bool TCRConnectionParameters::SetProp(int Prop, const Variant& /*Value*/) {
    PropertyIdFault(Prop, CRConnectionPoolUnit);
}

// ---------------------------------------------------------------------------------------------
// TCRConnectionPool

TCRConnectionPool::TCRConnectionPool(TCRConnectionPoolManager* Manager, TCRConnectionParameters* ConnectionParameters)
    : FManager(Manager), FConnectionParameters(rtl::Create<TCRConnectionParameters>()) {
    if (ConnectionParameters) FConnectionParameters->Assign(ConnectionParameters);
}

TCRConnectionPool::~TCRConnectionPool() = default;

// ---------------------------------------------------------------------------------------------
// TCRConnectionPoolManager

TCRConnection* TCRConnectionPoolManagerClass::GetPooledConnection(TCRConnectionParameters* /*ConnectionParameters*/,
                                                                  const rtl::ClassRef* /*SQLMonitorClass*/) const {
    rtl::AssertFail(SMustBeOverriden, CRConnectionPoolUnit, __LINE__);
}

TCRConnectionPoolManager::TCRConnectionPoolManager() = default;

TCRConnectionPoolManager::~TCRConnectionPoolManager() {
    std::lock_guard<std::mutex> guard(FPoolsLock);
    FPools.clear();
}

TCRConnection* TCRConnectionPoolManager::GetPooledConnection(TCRConnectionParameters* /*ConnectionParameters*/,
                                                             const rtl::ClassRef* /*SQLMonitorClass*/) {
    rtl::AssertFail(SMustBeOverriden, CRConnectionPoolUnit, __LINE__);
}

TCRConnection* TCRConnectionPoolManager::GetConnection(TCRConnectionParameters* ConnectionParameters) {
    std::lock_guard<std::mutex> guard(FGetConnectionLock);
    TCRConnectionPool* pool = nullptr;
    {
        std::lock_guard<std::mutex> listGuard(FPoolsLock);
        for (const auto& p : FPools)
            if (p->ConnectionParameters()->Equals(ConnectionParameters)) {
                pool = p.get();
                break;
            }
    }
    if (!pool) {
        pool = CreateConnectionPool(ConnectionParameters);
        std::lock_guard<std::mutex> listGuard(FPoolsLock);
        FPools.emplace_back(pool);
    }
    return pool->GetConnection();
}

int TCRConnectionPoolManager::PoolCount() const {
    std::lock_guard<std::mutex> guard(FPoolsLock);
    return static_cast<int>(FPools.size());
}

TCRConnectionPool* TCRConnectionPoolManager::Pools(int Index) const {
    std::lock_guard<std::mutex> guard(FPoolsLock);
    if (Index < 0 || Index >= static_cast<int>(FPools.size()))
        throw rtl::EListError(rtl::Format(SListIndexOutOfBounds, {Index}));
    return FPools[static_cast<size_t>(Index)].get();
}

}  // namespace daccess
