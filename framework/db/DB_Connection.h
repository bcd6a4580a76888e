// The connection base: a component that opens and closes a link to a database and tells the
// datasets and other clients registered with it when it does.
#pragma once

#include <functional>
#include <vector>

#include "framework/db/DB.h"

namespace db {

class TCustomConnection;

// Told with true after the connection opened and with false before it closes.
using TConnectChangeEvent = std::function<void(rtl::TObject* Sender, bool Connecting)>;
using TConnectionNotifyEvent = std::function<void(TCustomConnection* Sender)>;
using TLoginEvent = std::function<void(TCustomConnection* Sender, rtl::TStrings* LoginParams)>;


class TCustomConnection : public rtl::TComponent {
    RTL_CLASS(TCustomConnection, rtl::TComponent)
public:
    explicit TCustomConnection(rtl::TComponent* AOwner);
    ~TCustomConnection() override;

    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    bool Connected() const { return GetConnected(); }
    // While a form is being read the value is only remembered (Loaded applies it).
    virtual void SetConnected(bool Value);
    bool StreamedConnected() const noexcept { return FStreamedConnected; }
    void SetStreamedConnected(bool Value) noexcept { FStreamedConnected = Value; }
    bool LoginPrompt() const noexcept { return FLoginPrompt; }
    void SetLoginPrompt(bool Value) noexcept { FLoginPrompt = Value; }

    // Datasets among the clients.
    TDataSet* DataSets(int Index) const { return GetDataSet(Index); }
    int DataSetCount() const { return GetDataSetCount(); }
    int ClientCount() const noexcept { return static_cast<int>(FClients.size()); }
    rtl::TObject* Clients(int Index) const { return FClients.at(static_cast<size_t>(Index)).Client; }

    // A client hears Event (if given) on every connect and disconnect; a dataset client also
    // receives deConnectChange. Registering a client again replaces its event.
    virtual void RegisterClient(rtl::TObject* Client, TConnectChangeEvent Event = nullptr);
    virtual void UnRegisterClient(rtl::TObject* Client);

    TConnectionNotifyEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
    TLoginEvent OnLogin;

    void Loaded() override;

protected:
    virtual bool GetConnected() const { return false; }
    virtual void DoConnect() {}
    virtual void DoDisconnect() {}
    virtual TDataSet* GetDataSet(int Index) const;
    virtual int GetDataSetCount() const { return static_cast<int>(FDataSets.size()); }
    // Tells every client, in registration order, that the connection opened or is closing.
    virtual void SendConnectEvent(bool Connecting);

private:
    struct TClient {
        rtl::TObject* Client;
        TConnectChangeEvent Event;
    };
    std::vector<TClient> FClients;
    std::vector<TDataSet*> FDataSets;
    bool FStreamedConnected = false;
    bool FLoginPrompt = false;
};

}  // namespace db
