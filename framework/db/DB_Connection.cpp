// The connection base.
#include "framework/db/DB_Connection.h"

#include <algorithm>

#include "framework/rtl/Ownership.h"

namespace db {

TCustomConnection::TCustomConnection(rtl::TComponent* AOwner) : TComponent(AOwner) {}

TCustomConnection::~TCustomConnection() = default;

void TCustomConnection::SetConnected(bool Value) {
    if (ComponentState().Contains(rtl::csReading) || ComponentState().Contains(rtl::csLoading)) {
        FStreamedConnected = Value;
        return;
    }
    if (Value == GetConnected()) return;
    if (Value) {
        if (BeforeConnect) BeforeConnect(this);
        DoConnect();
        SendConnectEvent(true);
        if (AfterConnect) AfterConnect(this);
    } else {
        if (BeforeDisconnect) BeforeDisconnect(this);
        SendConnectEvent(false);
        DoDisconnect();
        if (AfterDisconnect) AfterDisconnect(this);
    }
}

void TCustomConnection::Loaded() {
    TComponent::Loaded();
    if (!FStreamedConnected) return;
    // The flag stays up while connecting so that the login steps can tell a streamed connect.
    rtl::TryFinally([&] { SetConnected(true); }, [&] { FStreamedConnected = false; });
}

void TCustomConnection::RegisterClient(rtl::TObject* Client, TConnectChangeEvent Event) {
    if (!Client) return;
    auto it = std::find_if(FClients.begin(), FClients.end(), [&](const TClient& c) { return c.Client == Client; });
    if (it != FClients.end()) {
        it->Event = std::move(Event);
        return;
    }
    FClients.push_back({Client, std::move(Event)});
    if (auto* ds = dynamic_cast<TDataSet*>(Client)) FDataSets.push_back(ds);
}

void TCustomConnection::UnRegisterClient(rtl::TObject* Client) {
    auto it = std::find_if(FClients.begin(), FClients.end(), [&](const TClient& c) { return c.Client == Client; });
    if (it != FClients.end()) FClients.erase(it);
    auto d = std::find(FDataSets.begin(), FDataSets.end(), Client);
    if (d != FDataSets.end()) FDataSets.erase(d);
}

TDataSet* TCustomConnection::GetDataSet(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(FDataSets.size())) DatabaseError(msg::SFieldIndexError);
    return FDataSets[static_cast<size_t>(Index)];
}

void TCustomConnection::SendConnectEvent(bool Connecting) {
    // A client may unregister (or register another) while it is told; walk a snapshot and skip
    // the ones that left meanwhile.
    std::vector<rtl::TObject*> snapshot;
    snapshot.reserve(FClients.size());
    for (const TClient& c : FClients) snapshot.push_back(c.Client);
    for (rtl::TObject* client : snapshot) {
        auto it = std::find_if(FClients.begin(), FClients.end(), [&](const TClient& c) { return c.Client == client; });
        if (it == FClients.end()) continue;
        TConnectChangeEvent event = it->Event;
        if (event) event(this, Connecting);
        if (std::find_if(FClients.begin(), FClients.end(), [&](const TClient& c) { return c.Client == client; }) ==
            FClients.end())
            continue;
        if (auto* ds = dynamic_cast<TDataSet*>(client)) ds->DataEvent(deConnectChange, Connecting ? 1 : 0);
    }
}

}  // namespace db
