#include "data/sqlite/LitePoolingUni.h"

#include "data/sqlite/LiteClassesUni.h"
#include "framework/rtl/Text.h"

namespace sqlite {

using namespace daccess;

bool TSQLiteConnectionParameters::SetProp(int Prop, const Variant& Value) {
    switch (Prop) {
        case pidDatabase: Database = Value.AsAnsiString(); return true;
        case pidPort: return true;
        default:
            if (Prop >= pidUseUnicode && Prop <= pidEncryptionAlgorithm) {
                FOptions[Prop] = Value;
                return true;
            }
            return TCRConnectionParameters::SetProp(Prop, Value);
    }
}

bool TSQLiteConnectionParameters::Equals(const TCRConnectionParameters* Other) const {
    auto* other = dynamic_cast<const TSQLiteConnectionParameters*>(Other);
    if (!other || !TCRConnectionParameters::Equals(Other)) return false;
    // File names on this platform are case-sensitive.
    if (Database != other->Database || FOptions.size() != other->FOptions.size()) return false;
    for (auto a = FOptions.begin(), b = other->FOptions.begin(); a != FOptions.end(); ++a, ++b)
        if (a->first != b->first || a->second.VType() != b->second.VType() ||
            a->second.AsAnsiString() != b->second.AsAnsiString())
            return false;
    return true;
}

AnsiString TSQLiteConnectionParameters::UserServerText() const {
    return TCRConnectionParameters::UserServerText() + "Database=" + Database + "\r";
}

void TSQLiteConnectionParameters::AssignTo(rtl::TPersistent* Dest) {
    TCRConnectionParameters::AssignTo(Dest);
    if (auto* dest = dynamic_cast<TSQLiteConnectionParameters*>(Dest)) {
        dest->Database = Database;
        dest->FOptions = FOptions;
    }
}

TCRConnection* TSQLiteConnectionPoolManager::CreateConnection(TCRConnectionParameters* ConnectionParameters) {
    rtl::TOwnedPtr<TSQLiteConnection> conn(rtl::Create<TSQLiteConnection>());
    if (auto* params = dynamic_cast<TSQLiteConnectionParameters*>(ConnectionParameters)) {
        conn->SetProp(pidDatabase, Variant(params->Database));
        for (const auto& [prop, value] : params->Options()) conn->SetProp(prop, value);
    }
    conn->SetUsername(ConnectionParameters->Username);
    conn->SetPassword(ConnectionParameters->Password);
    conn->SetServer(ConnectionParameters->Server);
    conn->SetIOHandler(ConnectionParameters->IOHandler);
    conn->Connect("");
    return conn.release();
}

bool TSQLiteConnectionPoolManager::ValidateConnection(TCRConnection* Connection) {
    auto* conn = dynamic_cast<TSQLiteConnection*>(Connection);
    if (!conn || !conn->GetConnected()) return false;
    conn->ExecuteInternal("SELECT 1");
    return true;
}

TSQLiteConnectionPoolManager* TSQLiteConnectionPoolManager::Instance() {
    static rtl::TOwnedPtr<TSQLiteConnectionPoolManager> instance(rtl::Create<TSQLiteConnectionPoolManager>());
    return instance.get();
}

TCRConnection* TSQLiteConnectionPoolManager::GetPooledConnection(TCRConnectionParameters* ConnectionParameters,
                                                                 const rtl::ClassRef* /*SQLMonitorClass*/) {
    return Instance()->GetConnection(ConnectionParameters);
}

}  // namespace sqlite
