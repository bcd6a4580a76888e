// The TCP transport: an IPv4 stream socket with an optional connect time-out, keep-alive and
// send and receive time-outs.
#pragma once

#include "data/access/CRVio.h"

namespace daccess {

inline constexpr const char* CRVioTcpUnit = "CRVioTcp";

class TCRVioTcp : public TCRVio {
    RTL_CLASS(TCRVioTcp, TCRVio)
public:
    TCRVioTcp(AnsiString Host, int Port) : FHost(std::move(Host)), FPort(Port) {}
    ~TCRVioTcp() override;

    int GetTimeout() override { return FReceiveTimeout; }
    // Sets the receive time-out and the connect time-out, in seconds.
    void SetTimeout(int Value) override;
    void Connect() override;
    void Close() override;
    int ReadNoWait(char* Buffer, int Offset, int Count) override;
    int WriteNoWait(const char* Buffer, int Offset, int Count) override;
    bool WaitForData(int Seconds) override;
    virtual int GetSocket() const { return FSd; }

    bool IsOpen() const noexcept { return FSd != -1; }
    // True when the peer has ended its side of an open connection; the monitor tool never
    // sends, so a readable socket with nothing to read means it went away.
    bool IsPeerClosed();

    const AnsiString& Host() const noexcept { return FHost; }
    void SetHost(const AnsiString& Value);
    int Port() const noexcept { return FPort; }
    void SetPort(int Value);
    int ConnectionTimeout() const noexcept { return FConnectionTimeout; }
    void SetConnectionTimeout(int Value) noexcept { FConnectionTimeout = Value; }
    int ReceiveTimeout() const noexcept { return FReceiveTimeout; }
    void SetReceiveTimeout(int Value);
    int SendTimeout() const noexcept { return FSendTimeout; }
    void SetSendTimeout(int Value);

protected:
    void WaitBeforeRetry() override;

private:
    friend class TConnector;
    // Resolves the host and connects the socket; 0, 2003 or 2005 with FLastError set. A positive
    // TimeoutMs bounds the wait for the connection; on expiry TimedOut is set.
    int ConnectStep(int TimeoutMs, bool& TimedOut);
    void ApplyTimeout(int Option, int Seconds);

    AnsiString FHost;
    int FPort;
    int FConnectionTimeout = 0;
    int FReceiveTimeout = 30;
    int FSendTimeout = 0;
    int FSd = -1;
    // The socket layer's code behind the last connect failure.
    int FLastErrorCode = 0;
};

}  // namespace daccess
