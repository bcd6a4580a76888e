#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <thread>
#include <vector>

#include "data/access/CRVio.h"
#include "data/access/CRVioTcp.h"
#include "loopback_server.h"

using namespace daccess;
using looptest::TLoopbackListener;

namespace {

// A transport whose receives and sends follow a script: each entry is the most one call moves
// (0 = an empty call).
class TScriptedVio : public TCRVio {
public:
    std::deque<std::string> Incoming;  // one entry per receive
    std::deque<int> SendLimits;        // one entry per send; none left sends everything
    std::string Sent;
    int ReadCalls = 0;
    int WriteCalls = 0;
    int Retries = 0;

    int GetTimeout() override { return 0; }
    void SetTimeout(int) override {}
    void Close() override {}
    int ReadNoWait(char* Buffer, int Offset, int Count) override {
        ++ReadCalls;
        if (Incoming.empty()) return 0;
        std::string& chunk = Incoming.front();
        int n = std::min<int>(Count, static_cast<int>(chunk.size()));
        std::copy_n(chunk.data(), n, Buffer + Offset);
        chunk.erase(0, static_cast<size_t>(n));
        if (chunk.empty()) Incoming.pop_front();
        return n;
    }
    int WriteNoWait(const char* Buffer, int Offset, int Count) override {
        ++WriteCalls;
        int n = Count;
        if (!SendLimits.empty()) {
            n = std::min(n, SendLimits.front());
            SendLimits.pop_front();
        }
        Sent.append(Buffer + Offset, static_cast<size_t>(n));
        return n;
    }

protected:
    void WaitBeforeRetry() override { ++Retries; }
};

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
    return s;
}

}  // namespace

TEST(CRVio, ReadTakesBufferedBytesThenWaitsForTheRest) {
    TScriptedVio vio;
    vio.Connect();
    vio.Incoming = {std::string(50, 'a'), std::string(60, 'b')};
    char out[200] = {};
    ASSERT_EQ(vio.Read(out, 0, 10), 10);
    EXPECT_EQ(vio.BufferedCount(), 40);
    EXPECT_EQ(vio.Read(out, 10, 100), 100);
    EXPECT_EQ(std::string(out, 110), std::string(50, 'a') + std::string(60, 'b'));
    EXPECT_EQ(vio.BufferedCount(), 0);
}

TEST(CRVio, ReadEndsWithWhatItHasWhenThePeerSendsNoMore) {
    TScriptedVio vio;
    vio.Connect();
    vio.Incoming = {std::string(50, 'a')};
    char out[200] = {};
    ASSERT_EQ(vio.Read(out, 0, 10), 10);
    int callsBefore = vio.ReadCalls;
    EXPECT_EQ(vio.Read(out, 0, 100), 40);
    EXPECT_EQ(vio.ReadCalls - callsBefore, 1);
}

TEST(CRVio, LargeReadGoesStraightIntoTheCallersMemoryAcrossPartialReceives) {
    TScriptedVio vio;
    vio.Connect();
    std::string data = Pattern(40000);
    vio.Incoming = {data.substr(0, 3000), data.substr(3000, 17000), data.substr(20000)};
    std::vector<char> out(40000);
    EXPECT_EQ(vio.Read(out.data(), 0, 40000), 40000);
    EXPECT_EQ(std::string(out.begin(), out.end()), data);
    EXPECT_EQ(vio.BufferedCount(), 0);
}

TEST(CRVio, WriteCompletesPartialSendsAndGivesUpAfterThreeEmptyOnes) {
    struct Case {
        std::deque<int> limits;
        int expectSent;
        int expectRetries;
    };
    const Case cases[] = {
        {{7, 0, 7, 0, 100}, 20, 2},        // partial and empty sends, then the rest
        {{0, 0, 0, 100}, 0, 2},            // third empty send ends it
        {{5, 0, 5, 0, 5, 0, 100}, 15, 2},  // empty sends are counted over the whole Write
    };
    for (const Case& c : cases) {
        TScriptedVio vio;
        vio.SendLimits = c.limits;
        std::string data = Pattern(20);
        EXPECT_EQ(vio.Write(data.data(), 0, 20), c.expectSent);
        EXPECT_EQ(vio.Sent, data.substr(0, static_cast<size_t>(c.expectSent)));
        EXPECT_EQ(vio.Retries, c.expectRetries);
    }
}

TEST(CRVio, BaseWaitForDataIsAnAssertion) {
    TScriptedVio vio;
    try {
        vio.WaitForData(0);
        FAIL();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "CRVio");
    }
}

TEST(CRIOHandler, UnimplementedOperationsRaiseTheAssertion) {
    class THandler : public TCRIOHandler {
    public:
        using TCRIOHandler::TCRIOHandler;
        void* Connect(const AnsiString&, int) override { return nullptr; }
    };
    rtl::TOwnedPtr<THandler> h(rtl::Create<THandler>(nullptr));
    EXPECT_FALSE(h->MultiThreaded());
    EXPECT_EQ(h->HandlerType(), "");
    char buf[4];
    const std::function<void()> ops[] = {
        [&] { h->Disconnect(nullptr); },       [&] { h->Read(nullptr, buf, 0, 4); },
        [&] { h->Write(nullptr, buf, 0, 4); }, [&] { h->WaitForData(nullptr, 1); },
        [&] { h->GetTimeout(nullptr); },       [&] { h->SetTimeout(nullptr, 1); },
        [&] { h->GetLastError(nullptr); },
    };
    for (const auto& op : ops) {
        try {
            op();
            ADD_FAILURE();
        } catch (const rtl::EAssertionFailed& e) {
            EXPECT_EQ(e.Text(), "Not overriden in an inherited class");
            EXPECT_EQ(e.Unit(), "CRVio");
        }
    }
}

TEST(CRVioTcp, RoundTripOverLoopback) {
    TLoopbackListener server;
    ASSERT_TRUE(server.Valid());
    std::string request = Pattern(300000);
    std::string received;
    std::thread peer([&] {
        int fd = server.Accept();
        if (fd < 0) return;
        received = looptest::ReadBytes(fd, request.size());
        looptest::SendBytes(fd, std::string(50, 'x'));
        // Hold the rest back until the client has taken part of the first piece.
        looptest::ReadBytes(fd, 1);
        looptest::SendBytes(fd, std::string(60, 'y'));
        ::shutdown(fd, SHUT_WR);
        looptest::ReadUntilClosed(fd);
        ::close(fd);
    });

    TCRVioTcp vio("127.0.0.1", server.Port());
    vio.SetReceiveTimeout(5);
    vio.Connect();
    EXPECT_TRUE(vio.IsOpen());
    EXPECT_EQ(vio.Write(request.data(), 0, static_cast<int>(request.size())), static_cast<int>(request.size()));

    char out[200] = {};
    ASSERT_TRUE(vio.WaitForData(5));
    ASSERT_EQ(vio.Read(out, 0, 10), 10);
    EXPECT_EQ(vio.BufferedCount(), 40);
    EXPECT_TRUE(vio.WaitForData(0));  // buffered bytes count as data
    ASSERT_EQ(vio.Write("!", 0, 1), 1);
    EXPECT_EQ(vio.Read(out, 10, 100), 100);
    EXPECT_EQ(std::string(out, 110), std::string(50, 'x') + std::string(60, 'y'));
    // The peer has ended its side: nothing more comes.
    EXPECT_EQ(vio.Read(out, 0, 10), 0);
    EXPECT_TRUE(vio.IsPeerClosed());
    vio.Close();
    EXPECT_FALSE(vio.IsOpen());
    EXPECT_EQ(vio.WriteNoWait("a", 0, 1), 0);
    peer.join();
    EXPECT_EQ(received, request);
}

TEST(CRVioTcp, RefusedConnectRaisesWithCodeAndLeavesTheSocketClosed) {
    for (int timeout : {0, 2}) {
        TCRVioTcp vio("", looptest::UnusedPort());
        vio.SetConnectionTimeout(timeout);
        try {
            vio.Connect();
            FAIL();
        } catch (const SocketException& e) {
            EXPECT_EQ(e.ErrorCode(), 2003);
            EXPECT_EQ(e.Message(), "Socket error " + std::to_string(ECONNREFUSED));
        }
        EXPECT_FALSE(vio.IsOpen());
        EXPECT_EQ(vio.LastError().rfind("Socket error on connect. WSAGetLastError return ", 0), 0u) << vio.LastError();
    }
}

TEST(CRVioTcp, ConnectToAPeerThatDoesNotAnswerTimesOut) {
    // A listener whose accept queue is full drops further connection requests unanswered.
    TLoopbackListener server(0);
    ASSERT_TRUE(server.Valid());
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(server.Port()));
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(fd);
    }
    TCRVioTcp vio("127.0.0.1", server.Port());
    vio.SetTimeout(1);
    EXPECT_EQ(vio.GetTimeout(), 1);
    EXPECT_EQ(vio.ConnectionTimeout(), 1);
    try {
        vio.Connect();
        ADD_FAILURE() << "connected";
    } catch (const SocketException& e) {
        EXPECT_EQ(e.ErrorCode(), 2005);
        EXPECT_EQ(vio.LastError(), "Connection timed out");
    }
    EXPECT_FALSE(vio.IsOpen());
    for (int fd : fillers) ::close(fd);
}

TEST(CRVioTcp, HostAndPortCannotChangeWhileOpen) {
    TLoopbackListener server;
    TCRVioTcp vio("127.0.0.1", server.Port());
    vio.Connect();
    int fd = server.Accept();
    struct Case {
        std::function<void()> change;
        const char* message;
    };
    const Case cases[] = {
        {[&] { vio.SetHost("localhost"); }, "Cannot change Host for open socket."},
        {[&] { vio.SetPort(server.Port() + 1); }, "Cannot change Port for open socket."},
    };
    for (const Case& c : cases) {
        try {
            c.change();
            ADD_FAILURE();
        } catch (const SocketException& e) {
            EXPECT_EQ(e.ErrorCode(), 2007);
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_EQ(vio.Host(), "127.0.0.1");
    EXPECT_EQ(vio.Port(), server.Port());
    // A second connect on an open socket is a programming error.
    EXPECT_THROW(vio.Connect(), rtl::EAssertionFailed);
    EXPECT_FALSE(vio.WaitForData(0));
    vio.Close();
    vio.SetPort(1234);
    EXPECT_EQ(vio.Port(), 1234);
    EXPECT_THROW(vio.WaitForData(-1), SocketException);
    ::close(fd);
}
