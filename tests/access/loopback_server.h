// A listening socket on 127.0.0.1 with a free port, and blocking helpers with time-outs for the
// test side of a connection.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace looptest {

class TLoopbackListener {
public:
    explicit TLoopbackListener(int Backlog = 8, int Port = 0) {
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(FFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(Port));
        if (::bind(FFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(FFd, Backlog) != 0) {
            ::close(FFd);
            FFd = -1;
            return;
        }
        socklen_t len = sizeof addr;
        getsockname(FFd, reinterpret_cast<sockaddr*>(&addr), &len);
        FPort = ntohs(addr.sin_port);
    }
    ~TLoopbackListener() { Close(); }
    TLoopbackListener(const TLoopbackListener&) = delete;
    TLoopbackListener& operator=(const TLoopbackListener&) = delete;

    bool Valid() const { return FFd != -1; }
    int Port() const { return FPort; }
    void Close() {
        if (FFd != -1) ::close(FFd);
        FFd = -1;
    }
    // The accepted socket, or -1 when nobody connects within TimeoutMs.
    int Accept(int TimeoutMs = 5000) {
        pollfd p{FFd, POLLIN, 0};
        if (poll(&p, 1, TimeoutMs) <= 0) return -1;
        return ::accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int FFd = -1;
    int FPort = 0;
};

// Reads until Count bytes arrived, the peer closed, or TimeoutMs passed without data.
inline std::string ReadBytes(int Fd, size_t Count, int TimeoutMs = 5000) {
    std::string out;
    char buf[65536];
    while (out.size() < Count) {
        pollfd p{Fd, POLLIN, 0};
        if (poll(&p, 1, TimeoutMs) <= 0) break;
        size_t want = std::min(sizeof buf, Count - out.size());
        ssize_t n = ::recv(Fd, buf, want, 0);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

inline std::string ReadUntilClosed(int Fd, int TimeoutMs = 5000) { return ReadBytes(Fd, SIZE_MAX, TimeoutMs); }

inline bool SendBytes(int Fd, const std::string& Data) {
    size_t done = 0;
    while (done < Data.size()) {
        ssize_t n = ::send(Fd, Data.data() + done, Data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A port with nobody listening: bound once, then released.
inline int UnusedPort() {
    TLoopbackListener l;
    return l.Port();
}

}  // namespace looptest

#include <thread>

namespace looptest {

// Accepts one connection in its own thread and keeps everything the client sends until the
// client closes.
class TCapture {
public:
    explicit TCapture(int Port = 0) : FListener(8, Port) {
        FThread = std::thread([this] {
            int fd = FListener.Accept();
            if (fd < 0) return;
            FData = ReadUntilClosed(fd);
            ::close(fd);
        });
    }
    ~TCapture() { Join(); }
    int Port() const { return FListener.Port(); }
    bool Valid() const { return FListener.Valid(); }
    // Waits for the client to close and gives what it sent.
    const std::string& Join() {
        if (FThread.joinable()) FThread.join();
        FListener.Close();
        return FData;
    }

private:
    TLoopbackListener FListener;
    std::thread FThread;
    std::string FData;
};

}  // namespace looptest
