// The key under which pooled provider connections are found and the abstract manager of pools.
// No pool implementation is part of the system; a provider that pools supplies one.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "data/access/CRAccess.h"
#include "data/access/CRVio.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Lock.h"

namespace daccess {

inline constexpr const char* CRConnectionPoolUnit = "CRConnectionPool";
inline constexpr const char* SMustBeOverriden = "Must be overriden";
inline constexpr const char* SPoolExhausted = "Maximum pool size (%d) is reached: no connection was returned in time";

class TCRConnectionPoolManager;

class TCRConnectionParameters : public rtl::TPersistent {
    RTL_CLASS(TCRConnectionParameters, rtl::TPersistent)
public:
    TCRConnectionParameters();
    ~TCRConnectionParameters() override;

    virtual AnsiString UserServerText() const;
    virtual AnsiString PoolSettingsText() const;
    virtual bool Equals(const TCRConnectionParameters* Other) const;
    // No ids in the base; a provider handles its own (database 38, port 39, ...).
    virtual bool SetProp(int Prop, const Variant& Value);
    virtual AnsiString AsText() const;

    int MinPoolSize = 0;
    int MaxPoolSize = 100;
    AnsiString Username;
    AnsiString Server;
    AnsiString Password;
    int ConnectionLifeTime = 0;
    bool Validate = false;
    TCRIOHandler* IOHandler = nullptr;
    TErrorProc OnError;
    THttpOptions* HttpOptions() const noexcept { return FHttpOptions.get(); }

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

private:
    rtl::TOwnedPtr<THttpOptions> FHttpOptions;
};

// A pool of equal connections. The interface the provider layer relies on: putting a connection
// back and learning that one became invalid.
class TCRConnectionPool : public rtl::TObject {
    RTL_CLASS(TCRConnectionPool, rtl::TObject)
public:
    TCRConnectionPool(TCRConnectionPoolManager* Manager, TCRConnectionParameters* ConnectionParameters);
    ~TCRConnectionPool() override;

    virtual TCRConnection* GetConnection() = 0;
    virtual void PutConnection(TCRConnection* Connection) = 0;
    virtual void InvalidateConnection(TCRConnection* Connection) = 0;

    TCRConnectionPoolManager* Manager() const noexcept { return FManager; }
    TCRConnectionParameters* ConnectionParameters() const noexcept { return FConnectionParameters.get(); }

private:
    TCRConnectionPoolManager* FManager;
    rtl::TOwnedPtr<TCRConnectionParameters> FConnectionParameters;
};

class TCRConnectionPoolManagerClass : public rtl::ClassRef {
public:
    using ClassRef::ClassRef;
    // The pooled connection for the parameters; the base: "Must be overriden".
    virtual TCRConnection* GetPooledConnection(TCRConnectionParameters* ConnectionParameters,
                                               const rtl::ClassRef* SQLMonitorClass) const;
    template <class T>
    class Of;
};

template <class T>
class TCRConnectionPoolManagerClass::Of : public TCRConnectionPoolManagerClass {
public:
    using TCRConnectionPoolManagerClass::TCRConnectionPoolManagerClass;
    TCRConnection* GetPooledConnection(TCRConnectionParameters* ConnectionParameters,
                                       const rtl::ClassRef* SQLMonitorClass) const override {
        return T::GetPooledConnection(ConnectionParameters, SQLMonitorClass);
    }
};

class TCRConnectionPoolManager : public rtl::TObject {
public:
    using ClassRefType = TCRConnectionPoolManagerClass;
    RTL_CLASS(TCRConnectionPoolManager, rtl::TObject)
public:
    TCRConnectionPoolManager();
    ~TCRConnectionPoolManager() override;

    // Takes ownership of a copy the pool makes; the parameters stay the caller's.
    virtual TCRConnectionPool* CreateConnectionPool(TCRConnectionParameters* ConnectionParameters) = 0;
    virtual TCRConnection* GetConnection(TCRConnectionParameters* ConnectionParameters);
    virtual TCRConnection* CheckConnection(TCRConnection* Connection) { return Connection; }
    static TCRConnection* GetPooledConnection(TCRConnectionParameters* ConnectionParameters,
                                              const rtl::ClassRef* SQLMonitorClass);

    int PoolCount() const;
    TCRConnectionPool* Pools(int Index) const;

protected:
    std::vector<rtl::TOwnedPtr<TCRConnectionPool>> FPools;
    rtl::TLock FGetConnectionLock;
    mutable rtl::TLock FPoolsLock;
};

// A pool that holds idle connections in the process. It hands out an idle connection (validated
// first when the parameters ask for it; one that fails is dropped), or a new one while fewer than
// MaxPoolSize exist; at the limit it waits WaitTimeout milliseconds for one to come back and then
// raises SPoolExhausted. A connection that comes back invalid, closed or older than
// ConnectionLifeTime seconds is freed instead of kept.
class TCRLocalConnectionPool : public TCRConnectionPool {
    RTL_CLASS(TCRLocalConnectionPool, TCRConnectionPool)
public:
    TCRLocalConnectionPool(TCRConnectionPoolManager* Manager, TCRConnectionParameters* ConnectionParameters);
    ~TCRLocalConnectionPool() override;

    TCRConnection* GetConnection() override;
    void PutConnection(TCRConnection* Connection) override;
    void InvalidateConnection(TCRConnection* Connection) override;

    int IdleCount() const;
    int UsedCount() const;
    // Callers waiting for a connection to come back.
    int WaitingCount() const;
    int WaitTimeout = 15000;

private:
    using TConnectionPtr = rtl::TOwnedPtr<TCRConnection>;
    struct TIdle {
        TConnectionPtr Connection;
        uint64_t Created;
    };
    bool Expired(uint64_t Created) const;
    // The lock and the signal of a returned connection; they live in the source.
    struct TSync;
    std::unique_ptr<TSync> FSync;
    std::vector<TIdle> FIdle;
    // Handed-out connections with the tick they were made at.
    std::map<TCRConnection*, uint64_t> FUsed;
    int FReserved = 0;
    int FWaiting = 0;
};

// A manager of local pools; a provider supplies how a connection is made and checked.
class TCRLocalConnectionPoolManager : public TCRConnectionPoolManager {
    RTL_CLASS(TCRLocalConnectionPoolManager, TCRConnectionPoolManager)
public:
    TCRConnectionPool* CreateConnectionPool(TCRConnectionParameters* ConnectionParameters) override;
    // A new, connected provider connection for the parameters.
    virtual TCRConnection* CreateConnection(TCRConnectionParameters* ConnectionParameters) = 0;
    // Whether an idle connection still works; asked before reuse when the parameters say Validate.
    virtual bool ValidateConnection(TCRConnection* Connection) { return Connection->CheckIsValid(); }
};

}  // namespace daccess
