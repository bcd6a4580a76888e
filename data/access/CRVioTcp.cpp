#include "data/access/CRVioTcp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "framework/rtl/Streams.h"

namespace daccess {

namespace {

constexpr const char* SLocalHost = "127.0.0.1";
constexpr int KeepAliveIdleMs = 15000;
constexpr int KeepAliveIntervalMs = 1000;

AnsiString SocketErrorText(const char* Where, int Code) {
    return rtl::Format("Socket error on %s. WSAGetLastError return %d($%X)", {Where, Code, Code});
}

}  // namespace

// Runs the connect step of a timed connect in its own short-lived thread. The step itself is
// bounded by the time-out, so the thread always ends and is always joined.
class TConnector {
public:
    TConnector(TCRVioTcp& Vio, int TimeoutMs) : FVio(Vio), FTimeoutMs(TimeoutMs) {}

    int Run() {
        std::thread worker([this] { FResult = FVio.ConnectStep(FTimeoutMs, FTimedOut); });
        worker.join();
        if (FTimedOut) {
            FVio.FLastError = "Connection timed out";
            return CR_SOCKET_CREATE;
        }
        return FResult;
    }

private:
    TCRVioTcp& FVio;
    int FTimeoutMs;
    int FResult = 0;
    bool FTimedOut = false;
};

TCRVioTcp::~TCRVioTcp() { Close(); }

void TCRVioTcp::SetTimeout(int Value) {
    SetReceiveTimeout(Value);
    FConnectionTimeout = Value;
}

void TCRVioTcp::SetHost(const AnsiString& Value) {
    if (Value == FHost) return;
    if (IsOpen()) throw SocketException("Cannot change Host for open socket.", CR_OPEN_SOCKET, {});
    FHost = Value;
}

void TCRVioTcp::SetPort(int Value) {
    if (Value == FPort) return;
    if (IsOpen()) throw SocketException("Cannot change Port for open socket.", CR_OPEN_SOCKET, {});
    FPort = Value;
}

void TCRVioTcp::ApplyTimeout(int Option, int Seconds) {
    timeval tv{};
    tv.tv_sec = Seconds;
    if (setsockopt(FSd, SOL_SOCKET, Option, &tv, sizeof tv) != 0) {
        int code = errno;
        throw rtl::EOSError(rtl::Format("System Error.  Code: %d.\r\n%s", {code, rtl::SysErrorMessage(code)}));
    }
}

void TCRVioTcp::SetReceiveTimeout(int Value) {
    if (Value == FReceiveTimeout) return;
    FReceiveTimeout = Value;
    if (IsOpen()) ApplyTimeout(SO_RCVTIMEO, Value < 0 ? 0 : Value);
}

void TCRVioTcp::SetSendTimeout(int Value) {
    if (Value == FSendTimeout) return;
    FSendTimeout = Value;
    if (IsOpen() && Value >= 1) ApplyTimeout(SO_SNDTIMEO, Value);
}

// Connects the open socket to the host (a dotted address or a name to resolve) and port: 0, or the
// error code with FLastError/FLastErrorCode set. With a timeout the connect is non-blocking and waited
// for by poll; TimedOut tells a timeout from a refusal. The socket's blocking mode is put back.
int TCRVioTcp::ConnectStep(int TimeoutMs, bool& TimedOut) {
    TimedOut = false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(FPort));
    const AnsiString host = FHost.empty() ? AnsiString(SLocalHost) : FHost;
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (rc != 0 || !found) {
            int code = rc == EAI_SYSTEM ? errno : rc;
            FLastError = SocketErrorText("connect", code);
            FLastErrorCode = code;
            return CR_SOCKET_CREATE;
        }
        addr.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }

    const bool timed = TimeoutMs > 0;
    int flags = fcntl(FSd, F_GETFL, 0);
    if (timed) fcntl(FSd, F_SETFL, flags | O_NONBLOCK);
    int rc;
    do {
        rc = ::connect(FSd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    } while (rc != 0 && errno == EINTR && !timed);
    int code = rc == 0 ? 0 : errno;
    // A connect in progress is only a success once the socket says so.
    if (timed && rc != 0 && (code == EINPROGRESS || code == EINTR)) {
        pollfd p{FSd, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&p, 1, TimeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            TimedOut = true;
            FLastErrorCode = ETIMEDOUT;
            fcntl(FSd, F_SETFL, flags);
            return CR_SOCKET_CREATE;
        }
        code = 0;
        socklen_t len = sizeof code;
        if (ready < 0)
            code = errno;
        else if (getsockopt(FSd, SOL_SOCKET, SO_ERROR, &code, &len) != 0)
            code = errno;
    }
    if (timed) fcntl(FSd, F_SETFL, flags);
    if (code != 0) {
        FLastErrorCode = code;
        FLastError = SocketErrorText("connect", code);
        return CR_CONN_REFUSED;
    }
    return 0;
}

void TCRVioTcp::Connect() {
    rtl::Assert(FSd == -1, "Assertion failure", CRVioTcpUnit, __LINE__);
    TCRVio::Connect();
    FSd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FSd == -1) throw SocketException("Socket error %d", CR_SOCKET_CREATE, {errno});
    try {
        int result;
        FLastErrorCode = 0;
        if (FConnectionTimeout > 0) {
            TConnector connector(*this, FConnectionTimeout * 1000);
            result = connector.Run();
        } else {
            bool timedOut = false;
            result = ConnectStep(0, timedOut);
        }
        if (result != 0) throw SocketException("Socket error %d", result, {FLastErrorCode});

        int one = 1;
        setsockopt(FSd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        setsockopt(FSd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
        int idle = KeepAliveIdleMs / 1000, interval = KeepAliveIntervalMs / 1000;
        setsockopt(FSd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        setsockopt(FSd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        ApplyTimeout(SO_RCVTIMEO, FReceiveTimeout < 0 ? 0 : FReceiveTimeout);
        if (FSendTimeout >= 1) ApplyTimeout(SO_SNDTIMEO, FSendTimeout);
    } catch (...) {
        Close();
        throw;
    }
}

void TCRVioTcp::Close() {
    if (FSd == -1) return;
    ::shutdown(FSd, SHUT_RDWR);
    ::close(FSd);
    FSd = -1;
}

int TCRVioTcp::ReadNoWait(char* Buffer, int Offset, int Count) {
    if (FSd == -1 || Count <= 0) return 0;
    ssize_t n;
    do {
        n = ::recv(FSd, Buffer + Offset, static_cast<size_t>(Count), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        FLastError = SocketErrorText("read", errno);
        return 0;
    }
    return static_cast<int>(n);
}

int TCRVioTcp::WriteNoWait(const char* Buffer, int Offset, int Count) {
    if (FSd == -1 || Count <= 0) return 0;
    ssize_t n;
    do {
        // A vanished peer must give an error here, not a signal that ends the process.
        n = ::send(FSd, Buffer + Offset, static_cast<size_t>(Count), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        FLastError = SocketErrorText("write", errno);
        return 0;
    }
    return static_cast<int>(n);
}

void TCRVioTcp::WaitBeforeRetry() {
    if (FSd == -1) return;
    pollfd p{FSd, POLLOUT, 0};
    poll(&p, 1, 10);
}

bool TCRVioTcp::WaitForData(int Seconds) {
    if (BufferedCount() > 0) return true;
    if (FSd == -1) {
        FLastError = SocketErrorText("select", EBADF);
        throw SocketException(CR_WAIT_FAILED);
    }
    pollfd p{FSd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&p, 1, Seconds < 0 ? -1 : Seconds * 1000);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        FLastError = SocketErrorText("select", errno);
        throw SocketException(CR_WAIT_FAILED);
    }
    return ready > 0;
}

bool TCRVioTcp::IsPeerClosed() {
    if (FSd == -1) return true;
    char probe;
    ssize_t n = ::recv(FSd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) return true;
    if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
    return false;
}

}  // namespace daccess
