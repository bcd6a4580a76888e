// Settings of the network transport that connections and pooled connection parameters carry, the
// abstract byte-stream transport with buffered reading and retrying writing, its socket error, and
// the custom I/O component a connection can be given.
#pragma once

#include <memory>
#include <vector>

#include "framework/rtl/Classes.h"
#include "framework/rtl/Exceptions.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Types.h"

namespace daccess {

using rtl::AnsiString;

inline constexpr const char* CRVioUnit = "CRVio";

// Error codes the transport raises besides the socket layer's own.
inline constexpr int CR_CONN_REFUSED = 2003;
inline constexpr int CR_SOCKET_CREATE = 2005;
inline constexpr int CR_WAIT_FAILED = 2006;
inline constexpr int CR_OPEN_SOCKET = 2007;

// A socket failure with its error code.
class SocketException : public rtl::Exception {
public:
    // Message from Fmt formatted with the arguments.
    SocketException(std::string_view Fmt, int ErrorCode, std::initializer_list<rtl::TVarRec> Args);
    // Empty message.
    explicit SocketException(int ErrorCode) : FErrorCode(ErrorCode) {}

    int ErrorCode() const noexcept { return FErrorCode; }

    const char* ClassName() const noexcept override { return "SocketException"; }
    bool InheritsFromName(std::string_view name) const noexcept override {
        return name == "SocketException" || rtl::Exception::InheritsFromName(name);
    }
    std::unique_ptr<rtl::Exception> Clone() const override { return std::make_unique<SocketException>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }

private:
    int FErrorCode = 0;
};

// The abstract transport. Reading goes through a 16384-byte read-ahead buffer; writing retries
// until everything is sent or the peer keeps refusing.
class TCRVio : public rtl::TObject {
    RTL_CLASS(TCRVio, rtl::TObject)
public:
    static constexpr int ReadBufferSize = 16384;
    // Requests smaller than this are served through the read-ahead buffer.
    static constexpr int SmallReadSize = 2048;
    // Empty sends a Write tolerates before it gives up.
    static constexpr int MaxEmptyWrites = 3;

    virtual int GetTimeout() = 0;
    virtual void SetTimeout(int Value) = 0;
    virtual void Connect();
    virtual void Close() = 0;
    // One receive or send; 0 on failure, with LastError set.
    virtual int ReadNoWait(char* Buffer, int Offset, int Count) = 0;
    virtual int WriteNoWait(const char* Buffer, int Offset, int Count) = 0;
    // Delivers up to Count bytes; fewer only when the peer stops sending.
    virtual int Read(char* Buffer, int Offset, int Count);
    // Sends Count bytes; fewer only when the peer keeps refusing.
    virtual int Write(const char* Buffer, int Offset, int Count);
    // Waits for readable data; negative Seconds waits forever.
    virtual bool WaitForData(int Seconds);

    const AnsiString& LastError() const noexcept { return FLastError; }
    // Bytes held by the read-ahead buffer and not yet delivered.
    int BufferedCount() const noexcept { return FBufferCount - FBufferPos; }

protected:
    // Called between empty sends; a transport waits there for room instead of spinning.
    virtual void WaitBeforeRetry() {}

    AnsiString FLastError;

private:
    std::vector<char> FBuffer;
    int FBufferPos = 0;
    int FBufferCount = 0;
};

// The custom I/O component a connection can be given; no subclass exists in the system.
class TCRIOHandler : public rtl::TComponent {
    RTL_CLASS(TCRIOHandler, rtl::TComponent)
public:
    using rtl::TComponent::TComponent;

    // Connections register and unregister themselves through these.
    static void RegisterClient(TCRIOHandler* Handler, rtl::TObject* Client);
    static void UnRegisterClient(TCRIOHandler* Handler, rtl::TObject* Client);

    virtual void DoRegisterClient(rtl::TObject* /*Client*/) {}
    virtual void DoUnRegisterClient(rtl::TObject* /*Client*/) {}
    virtual void DoNotification(rtl::TObject* /*Client*/) {}
    virtual bool MultiThreaded() const { return false; }
    virtual AnsiString HandlerType() const { return {}; }
    virtual void* Connect(const AnsiString& Server, int Port) = 0;
    virtual void Disconnect(void* Handle);
    virtual int Read(void* Handle, char* Buffer, int Offset, int Count);
    virtual int Write(void* Handle, const char* Buffer, int Offset, int Count);
    virtual bool WaitForData(void* Handle, int Timeout);
    virtual int GetTimeout(void* Handle);
    virtual void SetTimeout(void* Handle, int Value);
    virtual AnsiString GetLastError(void* Handle);
};

class TProxyOptions : public rtl::TPersistent {
    RTL_CLASS(TProxyOptions, rtl::TPersistent)
public:
    AnsiString Hostname;
    int Port = 0;
    AnsiString Username;
    AnsiString Password;

    void Assign(rtl::TPersistent* Source) override {
        if (auto* src = dynamic_cast<TProxyOptions*>(Source)) {
            Hostname = src->Hostname;
            Port = src->Port;
            Username = src->Username;
            Password = src->Password;
            return;
        }
        rtl::TPersistent::Assign(Source);
    }
    bool Equals(const TProxyOptions& Other) const {
        return Hostname == Other.Hostname && Port == Other.Port && Username == Other.Username &&
               Password == Other.Password;
    }
};

class THttpOptions : public rtl::TPersistent {
    RTL_CLASS(THttpOptions, rtl::TPersistent)
public:
    THttpOptions() : FProxyOptions(rtl::Create<TProxyOptions>()) {}

    AnsiString Url;
    AnsiString Username;
    AnsiString Password;
    TProxyOptions* ProxyOptions() const noexcept { return FProxyOptions.get(); }

    void Assign(rtl::TPersistent* Source) override {
        if (auto* src = dynamic_cast<THttpOptions*>(Source)) {
            Url = src->Url;
            Username = src->Username;
            Password = src->Password;
            FProxyOptions->Assign(src->FProxyOptions.get());
            return;
        }
        rtl::TPersistent::Assign(Source);
    }
    bool Equals(const THttpOptions& Other) const {
        return Url == Other.Url && Username == Other.Username && Password == Other.Password &&
               FProxyOptions->Equals(*Other.FProxyOptions);
    }

private:
    rtl::TOwnedPtr<TProxyOptions> FProxyOptions;
};

}  // namespace daccess
