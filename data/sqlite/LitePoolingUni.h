// Pooling for the SQLite provider: the pool key (the common parameters, the database file and
// every provider option) and a manager whose pools open and check SQLite connections.
#pragma once

#include <map>

#include "data/access/CRConnectionPool.h"

namespace sqlite {

using rtl::AnsiString;
using rtl::Variant;

class TSQLiteConnectionParameters : public daccess::TCRConnectionParameters {
    RTL_CLASS(TSQLiteConnectionParameters, daccess::TCRConnectionParameters)
public:
    // 38 the database; 39 the port (accepted, the engine has none); any SQLite connection option
    // id is kept and given to each connection the pool opens.
    bool SetProp(int Prop, const Variant& Value) override;
    bool Equals(const daccess::TCRConnectionParameters* Other) const override;
    AnsiString UserServerText() const override;

    AnsiString Database;
    const std::map<int, Variant>& Options() const noexcept { return FOptions; }

protected:
    void AssignTo(rtl::TPersistent* Dest) override;

private:
    std::map<int, Variant> FOptions;
};

class TSQLiteConnectionPoolManager : public daccess::TCRLocalConnectionPoolManager {
    RTL_CLASS(TSQLiteConnectionPoolManager, daccess::TCRLocalConnectionPoolManager)
public:
    daccess::TCRConnection* CreateConnection(daccess::TCRConnectionParameters* ConnectionParameters) override;
    // Runs a trivial statement on the connection.
    bool ValidateConnection(daccess::TCRConnection* Connection) override;

    // A connection from the process's SQLite pool manager.
    static daccess::TCRConnection* GetPooledConnection(daccess::TCRConnectionParameters* ConnectionParameters,
                                                       const rtl::ClassRef* SQLMonitorClass);
    // The process's manager, created on first use.
    static TSQLiteConnectionPoolManager* Instance();
};

}  // namespace sqlite
