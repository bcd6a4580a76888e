#include "data/access/CRConnectionPool.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "framework/rtl/Clock.h"
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
           "\rConnectionLifeTime=" + rtl::IntToStr(ConnectionLifeTime) + "\rValidate=" + (Validate ? "True" : "False") +
           "\r";
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

namespace {

// A copy of the same class, so that a provider's own key values stay part of the pool's key.
TCRConnectionParameters* CopyParameters(TCRConnectionParameters* Source) {
    if (!Source) return rtl::Create<TCRConnectionParameters>();
    auto* copy = dynamic_cast<TCRConnectionParameters*>(Source->ClassType()->NewInstance());
    if (!copy) copy = rtl::Create<TCRConnectionParameters>();
    copy->Assign(Source);
    return copy;
}

}  // namespace

TCRConnectionPool::TCRConnectionPool(TCRConnectionPoolManager* Manager, TCRConnectionParameters* ConnectionParameters)
    : FManager(Manager), FConnectionParameters(CopyParameters(ConnectionParameters)) {}

TCRConnectionPool::~TCRConnectionPool() = default;

// ---------------------------------------------------------------------------------------------
// TCRConnectionPoolManager

TCRConnection* TCRConnectionPoolManagerClass::GetPooledConnection(TCRConnectionParameters* /*ConnectionParameters*/,
                                                                  const rtl::ClassRef* /*SQLMonitorClass*/) const {
    rtl::AssertFail(SMustBeOverriden, CRConnectionPoolUnit, __LINE__);
}

TCRConnectionPoolManager::TCRConnectionPoolManager() = default;

TCRConnectionPoolManager::~TCRConnectionPoolManager() {
    std::lock_guard<rtl::TLock> guard(FPoolsLock);
    FPools.clear();
}

TCRConnection* TCRConnectionPoolManager::GetPooledConnection(TCRConnectionParameters* /*ConnectionParameters*/,
                                                             const rtl::ClassRef* /*SQLMonitorClass*/) {
    rtl::AssertFail(SMustBeOverriden, CRConnectionPoolUnit, __LINE__);
}

// One pool per distinct set of parameters, made on first use; the connection comes from that pool.
// Requests are served one at a time so that two first requests do not make two pools.
TCRConnection* TCRConnectionPoolManager::GetConnection(TCRConnectionParameters* ConnectionParameters) {
    std::lock_guard<rtl::TLock> guard(FGetConnectionLock);
    TCRConnectionPool* pool = nullptr;
    {
        std::lock_guard<rtl::TLock> listGuard(FPoolsLock);
        for (const auto& p : FPools)
            if (p->ConnectionParameters()->Equals(ConnectionParameters)) {
                pool = p.get();
                break;
            }
    }
    if (!pool) {
        pool = CreateConnectionPool(ConnectionParameters);
        std::lock_guard<rtl::TLock> listGuard(FPoolsLock);
        FPools.emplace_back(pool);
    }
    return pool->GetConnection();
}

int TCRConnectionPoolManager::PoolCount() const {
    std::lock_guard<rtl::TLock> guard(FPoolsLock);
    return static_cast<int>(FPools.size());
}

TCRConnectionPool* TCRConnectionPoolManager::Pools(int Index) const {
    std::lock_guard<rtl::TLock> guard(FPoolsLock);
    if (Index < 0 || Index >= static_cast<int>(FPools.size()))
        throw rtl::EListError(rtl::Format(SListIndexOutOfBounds, {Index}));
    return FPools[static_cast<size_t>(Index)].get();
}

// ---------------------------------------------------------------------------------------------
// TCRLocalConnectionPool

struct TCRLocalConnectionPool::TSync {
    std::mutex Lock;
    std::condition_variable Returned;
};

TCRLocalConnectionPool::TCRLocalConnectionPool(TCRConnectionPoolManager* Manager,
                                               TCRConnectionParameters* ConnectionParameters)
    : TCRConnectionPool(Manager, ConnectionParameters), FSync(std::make_unique<TSync>()) {}

TCRLocalConnectionPool::~TCRLocalConnectionPool() {
    // Connections still handed out forget this pool; they are closed by their holders.
    std::lock_guard<std::mutex> guard(FSync->Lock);
    for (auto& [conn, created] : FUsed) conn->SetPool(nullptr);
    FUsed.clear();
    FIdle.clear();
}

bool TCRLocalConnectionPool::Expired(uint64_t Created) const {
    const int lifetime = ConnectionParameters()->ConnectionLifeTime;
    return lifetime > 0 && rtl::GetTickCount64() - Created >= static_cast<uint64_t>(lifetime) * 1000;
}

// An idle connection that has not outlived its lifetime and, with Validate, still answers; else a new
// one while the pool is below MaxPoolSize; else waits up to WaitTimeout for one to come back and
// raises when none does. Validating and connecting run outside the lock, their place held meanwhile.
TCRConnection* TCRLocalConnectionPool::GetConnection() {
    auto* manager = static_cast<TCRLocalConnectionPoolManager*>(Manager());
    TCRConnectionParameters* params = ConnectionParameters();
    std::unique_lock<std::mutex> lock(FSync->Lock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitTimeout);
    for (;;) {
        while (!FIdle.empty()) {
            TIdle idle = std::move(FIdle.back());
            FIdle.pop_back();
            if (Expired(idle.Created)) continue;  // freed by the owning pointer
            if (params->Validate) {
                // Checked outside the lock: a statement may take a while.
                ++FReserved;
                lock.unlock();
                bool valid = false;
                try {
                    valid = idle.Connection->IsValid() && manager->ValidateConnection(idle.Connection.get());
                } catch (const rtl::Exception&) {
                    valid = false;
                }
                if (!valid) idle.Connection.reset();
                lock.lock();
                --FReserved;
                if (!valid) {
                    FSync->Returned.notify_one();
                    continue;
                }
            }
            TCRConnection* conn = idle.Connection.release();
            FUsed[conn] = idle.Created;
            return conn;
        }
        if (static_cast<int>(FUsed.size() + FIdle.size()) + FReserved < std::max(params->MaxPoolSize, 1)) break;
        ++FWaiting;
        const bool returned = FSync->Returned.wait_until(lock, deadline, [&] {
            return !FIdle.empty() ||
                   static_cast<int>(FUsed.size() + FIdle.size()) + FReserved < std::max(params->MaxPoolSize, 1);
        });
        --FWaiting;
        if (!returned) throw rtl::Exception(rtl::Format(SPoolExhausted, {params->MaxPoolSize}));
    }
    // A new connection; its place is held while it connects.
    ++FReserved;
    lock.unlock();
    TCRConnection* conn = nullptr;
    rtl::TryFinally([&] { conn = manager->CreateConnection(params); },
                    [&] {
                        lock.lock();
                        --FReserved;
                        // A failed connect frees the place for a waiter.
                        if (!conn) FSync->Returned.notify_one();
                    });
    conn->SetPool(this);
    FUsed[conn] = rtl::GetTickCount64();
    return conn;
}

void TCRLocalConnectionPool::PutConnection(TCRConnection* Connection) {
    if (!Connection) return;
    TConnectionPtr dropped;
    {
        std::lock_guard<std::mutex> guard(FSync->Lock);
        auto it = FUsed.find(Connection);
        if (it == FUsed.end()) return;  // not one of ours
        const uint64_t created = it->second;
        FUsed.erase(it);
        if (!Connection->IsValid() || !Connection->GetConnected() || Expired(created))
            dropped.reset(Connection);
        else
            FIdle.push_back({TConnectionPtr(Connection), created});
    }
    FSync->Returned.notify_one();
    if (dropped) {
        dropped->SetPool(nullptr);
        try {
            dropped->Disconnect();
        } catch (const rtl::Exception&) {
            // A broken connection may fail to close; it is freed all the same.
        }
    }
}

void TCRLocalConnectionPool::InvalidateConnection(TCRConnection* Connection) {
    if (Connection) Connection->SetIsValid(false);
}

int TCRLocalConnectionPool::IdleCount() const {
    std::lock_guard<std::mutex> guard(FSync->Lock);
    return static_cast<int>(FIdle.size());
}

int TCRLocalConnectionPool::UsedCount() const {
    std::lock_guard<std::mutex> guard(FSync->Lock);
    return static_cast<int>(FUsed.size());
}

int TCRLocalConnectionPool::WaitingCount() const {
    std::lock_guard<std::mutex> guard(FSync->Lock);
    return FWaiting;
}

TCRConnectionPool* TCRLocalConnectionPoolManager::CreateConnectionPool(TCRConnectionParameters* ConnectionParameters) {
    return rtl::Create<TCRLocalConnectionPool>(this, ConnectionParameters);
}

}  // namespace daccess
