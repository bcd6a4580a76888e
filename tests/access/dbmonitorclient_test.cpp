#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "data/access/DBMonitorMessages.h"
#include "framework/rtl/Clock.h"
#include "framework/rtl/Text.h"
#include "loopback_server.h"

using namespace daccess;
using looptest::TCapture;

namespace {

using TMessagePtr = std::unique_ptr<TMonitorMessage, rtl::TObjectDeleter>;

std::string Be(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
}

// Sends the messages on one connection and returns the bytes the peer received.
std::string Transmit(const std::vector<TMonitorMessage*>& Messages, TSocketMessagePacker* Packer = nullptr) {
    TCapture capture;
    rtl::TOwnedPtr<TSocketMessagePacker> own;
    if (!Packer) {
        own.reset(rtl::Create<TSocketMessagePacker>());
        Packer = own.get();
    }
    Packer->Host = "127.0.0.1";
    Packer->Port = capture.Port();
    EXPECT_TRUE(Packer->Connect());
    for (TMonitorMessage* m : Messages) Packer->Send(*m);
    Packer->Disconnect();
    return capture.Join();
}

std::vector<TMessagePtr> Decode(const std::string& Bytes, std::vector<int>& Kinds) {
    TBufferMessageUnpacker reader(Bytes);
    std::vector<TMessagePtr> out;
    while (reader.Remaining() > 0) {
        int kind = 0;
        out.push_back(ReadMonitorMessage(reader, kind));
        Kinds.push_back(kind);
    }
    return out;
}

}  // namespace

TEST(DBMonitorMessages, StringsAreByteCountedUTF8) {
    struct Case {
        WideString text;
        std::string wire;
    };
    const Case cases[] = {
        {u"abc", std::string("\x00\x00\x00\x03"
                             "abc",
                             7)},
        {u"", std::string("\x00\x00\x00\x00", 4)},
        // Six Cyrillic letters are twelve bytes, and the count says twelve.
        {u"\u041F\u0440\u0438\u0432\u0435\u0442",
         std::string("\x00\x00\x00\x0C", 4) + rtl::WideToUTF8(u"\u041F\u0440\u0438\u0432\u0435\u0442")},
    };
    for (const Case& c : cases) {
        rtl::TOwnedPtr<TEventMessage> msg(rtl::Create<TEventMessage>());
        msg->ProcessId = 0x01020304;
        msg->EventType = 10;
        msg->Description = c.text;
        std::string bytes = Transmit({msg.get()});
        EXPECT_EQ(bytes, Be(1) + Be(0x01020304) + Be(10) + c.wire);
    }
}

TEST(DBMonitorMessages, StartAndEndMessagesTravelFieldByField) {
    rtl::TOwnedPtr<TStartupMessage> startup(rtl::Create<TStartupMessage>());
    startup->Description = u"DataAccess monitoring is started";
    startup->ExeName = u"/opt/app/\u0431\u0430\u0437\u0430";

    rtl::TOwnedPtr<TEventStartMessage> start(rtl::Create<TEventStartMessage>());
    start->EventType = 10;
    start->Description = u"SQL Execute: select 1";
    start->EventID = 7;
    start->StartTime = -5;  // a tick count past 2^31 travels as its 32 bits
    start->ObjectID = 0x12345678;
    start->ObjectName = u"qSources";
    start->ObjectType = 4;
    start->ObjectTypeName = u"TUniQuery";
    start->ParentID = 42;
    start->ParentName = u"conn";
    start->ParentType = 1;
    start->ParentTypeName = u"TUniConnection";
    start->SQL = u"select 1";
    start->Params = {{u"P1", u"String[3]", u"IN", u"'abc'"}, {u"P2", u"", u"", u"<NULL>"}};
    start->CallStack = {u"a", u"b"};

    rtl::TOwnedPtr<TEventEndMessage> end(rtl::Create<TEventEndMessage>());
    end->EventType = 16;
    end->EventID = 7;
    end->EndTime = 99;
    end->Failed = 1;
    end->ErrorText = u"boom";
    end->RowsAffected = 3;

    std::string bytes = Transmit({startup.get(), start.get(), end.get()});
    // An empty parameter list is the count 0, and the rows affected still follow it.
    EXPECT_EQ(bytes.substr(bytes.size() - 8), Be(0) + Be(3));

    std::vector<int> kinds;
    auto got = Decode(bytes, kinds);
    ASSERT_EQ(kinds, (std::vector<int>{2, 4, 5}));
    auto* s0 = dynamic_cast<TStartupMessage*>(got[0].get());
    ASSERT_TRUE(s0);
    EXPECT_EQ(s0->ProcessId, static_cast<int32_t>(::getpid()));
    EXPECT_EQ(s0->EventType, 0);
    EXPECT_EQ(s0->ExeName, startup->ExeName);
    auto* s1 = dynamic_cast<TEventStartMessage*>(got[1].get());
    ASSERT_TRUE(s1);
    EXPECT_EQ(s1->Description, start->Description);
    EXPECT_EQ(s1->EventID, 7);
    EXPECT_EQ(s1->StartTime, -5);
    EXPECT_EQ(s1->ObjectID, 0x12345678);
    EXPECT_EQ(s1->ObjectName, u"qSources");
    EXPECT_EQ(s1->ObjectType, 4);
    EXPECT_EQ(s1->ObjectTypeName, u"TUniQuery");
    EXPECT_EQ(s1->ParentID, 42);
    EXPECT_EQ(s1->ParentName, u"conn");
    EXPECT_EQ(s1->ParentType, 1);
    EXPECT_EQ(s1->ParentTypeName, u"TUniConnection");
    EXPECT_EQ(s1->SQL, u"select 1");
    ASSERT_EQ(s1->Params.size(), 2u);
    EXPECT_EQ(s1->Params[0].DataType, u"String[3]");
    EXPECT_EQ(s1->Params[1].Value, u"<NULL>");
    EXPECT_EQ(s1->CallStack, start->CallStack);
    auto* s2 = dynamic_cast<TEventEndMessage*>(got[2].get());
    ASSERT_TRUE(s2);
    EXPECT_EQ(s2->EventType, 16);
    EXPECT_EQ(s2->EventID, 7);
    EXPECT_EQ(s2->EndTime, 99);
    EXPECT_EQ(s2->Failed, 1);
    EXPECT_EQ(s2->ErrorText, u"boom");
    EXPECT_TRUE(s2->Params.empty());
    EXPECT_EQ(s2->RowsAffected, 3);
}

TEST(DBMonitorMessages, MessageLargerThanTheBufferLeavesInPiecesWithoutLoss) {
    rtl::TOwnedPtr<TSocketMessagePacker> packer(rtl::Create<TSocketMessagePacker>());
    EXPECT_EQ(packer->BufferSize(), 1024);
    rtl::TOwnedPtr<TEventStartMessage> big(rtl::Create<TEventStartMessage>());
    big->SQL.assign(50000, u'\u0416');  // 100000 bytes of UTF-8
    for (int i = 0; i < 300; ++i)
        big->Params.push_back({u"P" + rtl::AnsiToWide(std::to_string(i)), u"Integer", u"IN", u"1"});
    rtl::TOwnedPtr<TEventMessage> after(rtl::Create<TEventMessage>());
    after->Description = u"next";

    std::string bytes = Transmit({big.get(), after.get()}, packer.get());
    EXPECT_EQ(packer->BufferSize(), 32768);
    std::vector<int> kinds;
    auto got = Decode(bytes, kinds);
    ASSERT_EQ(kinds, (std::vector<int>{4, 1}));
    auto* s = dynamic_cast<TEventStartMessage*>(got[0].get());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->SQL, big->SQL);
    ASSERT_EQ(s->Params.size(), 300u);
    EXPECT_EQ(s->Params[299].Name, u"P299");
    EXPECT_EQ(dynamic_cast<TEventMessage*>(got[1].get())->Description, u"next");
}

TEST(DBMonitorMessages, FailedConnectWaitsForTheReconnectTimeout) {
    rtl::TScopedManualClock clock;
    rtl::TOwnedPtr<TSocketMessagePacker> packer(rtl::Create<TSocketMessagePacker>());
    packer->Host = "127.0.0.1";
    packer->Port = looptest::UnusedPort();
    packer->ReconnectTimeout = 5000;
    EXPECT_FALSE(packer->Connect());
    EXPECT_TRUE(packer->ReconnectPending());
    EXPECT_FALSE(packer->IsConnected());

    TCapture capture;  // the tool is reachable now, yet the writer holds back
    packer->Port = capture.Port();
    EXPECT_FALSE(packer->Connect());
    clock.Advance(4999);
    EXPECT_FALSE(packer->Connect());
    clock.Advance(1);
    ASSERT_TRUE(packer->Connect());
    EXPECT_FALSE(packer->ReconnectPending());
    EXPECT_TRUE(packer->Ping());
    packer->Disconnect();
    EXPECT_FALSE(packer->Ping());
    EXPECT_EQ(capture.Join(), Be(6));
}

TEST(DBMonitorMessages, ClosedPeerEndsTheConnectionWithoutAnError) {
    looptest::TLoopbackListener server;
    rtl::TOwnedPtr<TSocketMessagePacker> packer(rtl::Create<TSocketMessagePacker>());
    packer->Host = "127.0.0.1";
    packer->Port = server.Port();
    ASSERT_TRUE(packer->Connect());
    int fd = server.Accept();
    ASSERT_GE(fd, 0);
    ::close(fd);
    server.Close();
    looptest::TLoopbackListener probe;  // nothing: just let the peer's close arrive
    EXPECT_FALSE(packer->Ping());
    EXPECT_FALSE(packer->IsConnected());
    rtl::TOwnedPtr<TEventMessage> msg(rtl::Create<TEventMessage>());
    EXPECT_NO_THROW(packer->Send(*msg));
    EXPECT_FALSE(packer->IsConnected());
}

TEST(DBMonitorMessages, ReaderRefusesLengthsAndCountsTheBytesCannotHold) {
    const std::string cases[] = {
        Be(1) + Be(1) + Be(10) + Be(100) + "abc",  // string longer than the stream
        Be(1) + Be(1) + Be(10) + Be(-1),           // negative length
        Be(1) + Be(1),                             // stream ends inside a message
        Be(3),                                     // unknown kind
        Be(5) + Be(1) + Be(5) + Be(0) + Be(1) + Be(2) + Be(0) + Be(0) + Be(0x7FFFFFFF),  // huge count
        Be(5) + Be(1) + Be(5) + Be(0) + Be(1) + Be(2) + Be(0) + Be(0) + Be(-3),          // negative count
    };
    for (const std::string& bytes : cases) {
        TBufferMessageUnpacker reader(bytes);
        int kind = 0;
        EXPECT_THROW(ReadMonitorMessage(reader, kind), EMonitorMessageError);
    }
}

// ---------------------------------------------------------------------------------------------
// The client and its sender thread

#include <functional>

#include "data/access/DBMonitorClient.h"

namespace {

struct TStream {
    std::vector<int> Kinds;
    std::vector<TMessagePtr> Messages;

    WideString Description(size_t i) const {
        auto* e = dynamic_cast<TEventMessage*>(Messages[i].get());
        return e ? e->Description : WideString();
    }
};

// Decodes whatever complete messages the bytes hold.
TStream DecodePrefix(const std::string& Bytes) {
    TStream s;
    TBufferMessageUnpacker reader(Bytes);
    while (reader.Remaining() > 0) {
        int kind = 0;
        try {
            auto msg = ReadMonitorMessage(reader, kind);
            s.Kinds.push_back(kind);
            s.Messages.push_back(std::move(msg));
        } catch (const EMonitorMessageError&) {
            break;  // the rest has not arrived yet
        }
    }
    return s;
}

// Reads from the connection until Done holds for the decoded stream, the peer closes, or
// nothing arrives for a while.
TStream ReadUntil(int Fd, const std::function<bool(const TStream&)>& Done) {
    std::string bytes;
    for (;;) {
        TStream s = DecodePrefix(bytes);
        if (Done(s)) return s;
        std::string more = looptest::ReadBytes(Fd, 1, 5000);
        if (more.empty()) return s;
        bytes += more;
        bytes += looptest::ReadBytes(Fd, 65536, 0);
    }
}

rtl::TOwnedPtr<TDBMonitor> NewMonitor(int Port) {
    rtl::TOwnedPtr<TDBMonitor> m(rtl::Create<TDBMonitor>());
    m->Caption = u"DataAccess";
    m->Host = "127.0.0.1";
    m->Port = Port;
    return m;
}

TMonitorEvent Event(const char16_t* Description, int Type = 10) {
    TMonitorEvent e;
    e.EventType = Type;
    e.Description = Description;
    e.SQL = u"select 1";
    return e;
}

}  // namespace

TEST(DBMonitorClient, SessionFromStartupToFinish) {
    TCapture tool;
    auto monitor = NewMonitor(tool.Port());
    monitor->SendStartup();
    TMonitorEvent first = Event(u"first");
    monitor->SendEventStart(first);
    TMonitorEvent second = Event(u"second");
    monitor->SendEventStart(second);
    EXPECT_EQ(first.EventID, 1);
    EXPECT_EQ(second.EventID, 2);
    TMonitorEvent end = Event(u"end");
    end.RowsAffected = 4;
    monitor->SendEventEnd(end);  // no id of its own: the last one assigned
    monitor->SendFinish();

    TStream s = DecodePrefix(tool.Join());  // the finish message closes the connection
    // Every message but the finish message follows two probes on a connection that is up.
    EXPECT_EQ(s.Kinds, (std::vector<int>{2, 6, 6, 4, 6, 6, 4, 6, 6, 5, 6, 1}));
    ASSERT_EQ(s.Messages.size(), 12u);
    auto* startup = dynamic_cast<TStartupMessage*>(s.Messages[0].get());
    ASSERT_TRUE(startup);
    EXPECT_EQ(startup->Description, u"DataAccess monitoring is started");
    EXPECT_EQ(startup->EventType, 0);
    EXPECT_FALSE(startup->ExeName.empty());
    EXPECT_EQ(dynamic_cast<TEventStartMessage*>(s.Messages[6].get())->EventID, 2);
    auto* ended = dynamic_cast<TEventEndMessage*>(s.Messages[9].get());
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->EventID, 2);
    EXPECT_EQ(ended->RowsAffected, 4);
    auto* finish = dynamic_cast<TEventMessage*>(s.Messages[11].get());
    EXPECT_EQ(finish->EventType, 1);
    EXPECT_EQ(finish->Description, u"DataAccess monitoring is finished");
}

TEST(DBMonitorClient, ToolRestartGetsAFreshStartupMessage) {
    auto listener = std::make_unique<looptest::TLoopbackListener>();
    const int port = listener->Port();
    auto monitor = NewMonitor(port);
    monitor->SendStartup();
    TMonitorEvent one = Event(u"one");
    monitor->SendEventStart(one);

    int fd = listener->Accept();
    ASSERT_GE(fd, 0);
    TStream s1 = ReadUntil(fd, [](const TStream& s) { return s.Kinds.size() >= 4; });
    EXPECT_EQ(s1.Kinds, (std::vector<int>{2, 6, 6, 4}));
    // The tool goes away and comes back on the same port.
    ::close(fd);
    listener.reset();
    looptest::TLoopbackListener restarted(8, port);
    ASSERT_TRUE(restarted.Valid());

    TMonitorEvent two = Event(u"two");
    monitor->SendEventStart(two);
    int fd2 = restarted.Accept();
    ASSERT_GE(fd2, 0);
    TStream s2 = ReadUntil(fd2, [](const TStream& s) { return s.Kinds.size() >= 2; });
    ASSERT_EQ(s2.Kinds, (std::vector<int>{2, 4}));
    EXPECT_EQ(s2.Description(1), u"two");
    monitor.reset();
    ::close(fd2);
}

TEST(DBMonitorClient, FinishIsDroppedWhenTheToolIsNotConnected) {
    looptest::TLoopbackListener tool;
    auto monitor = NewMonitor(tool.Port());
    monitor->SendFinish();
    monitor.reset();  // the sender has handled everything queued once the client is gone
    EXPECT_EQ(tool.Accept(0), -1);
}

TEST(DBMonitorClient, UnreachableToolDropsMessagesAndRetriesOnlyAfterTheDelay) {
    const int port = looptest::UnusedPort();
    auto monitor = NewMonitor(port);
    monitor->ReconnectTimeout = 60000;
    for (int i = 0; i < 20; ++i) {
        TMonitorEvent e = Event(u"lost");
        monitor->SendEventStart(e);
    }
    // Everything is dropped without waiting on the network.
    const auto drained = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (monitor->QueuedCount() > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        return monitor->QueuedCount() == 0;
    };
    ASSERT_TRUE(drained());
    // Within the delay the client does not try again, even once the tool listens.
    looptest::TLoopbackListener late(8, port);
    ASSERT_TRUE(late.Valid());
    TMonitorEvent e = Event(u"still lost");
    monitor->SendEventStart(e);
    ASSERT_TRUE(drained());
    monitor.reset();
    EXPECT_EQ(late.Accept(0), -1);
}

TEST(DBMonitorClient, FullRingDropsTheNewMessageAndKeepsTheWaitingOnesInOrder) {
    // The sender stays stuck connecting while the tool's accept queue is full, so the ring fills.
    looptest::TLoopbackListener tool(0);
    std::vector<int> fillers;
    for (int i = 0; i < 2; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(tool.Port()));
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(fd);
    }
    auto monitor = NewMonitor(tool.Port());
    monitor->SendTimeout = 5000;
    std::vector<WideString> sent;
    for (int i = 1; i <= 1001; ++i) {
        WideString d = u"m" + rtl::AnsiToWide(std::to_string(i));
        TMonitorEvent e = Event(d.c_str());
        monitor->SendEventStart(e);
        if (i <= 1000) sent.push_back(d);
    }
    EXPECT_EQ(monitor->QueuedCount(), 1000);
    EXPECT_EQ(monitor->LastEventID(), 1001);
    for (int fd : fillers) ::close(fd);

    // Take the abandoned queued connections until the client's arrives with data.
    TStream s;
    for (int attempt = 0; attempt < 5 && s.Messages.empty(); ++attempt) {
        int fd = tool.Accept(5000);
        if (fd < 0) break;
        s = ReadUntil(fd, [](const TStream& st) {
            return !st.Kinds.empty() && st.Kinds.back() == 4 && st.Messages.size() >= 2 + 3 * 999;
        });
        if (!s.Messages.empty()) {
            monitor.reset();
            ::close(fd);
        } else {
            ::close(fd);
        }
    }
    std::vector<WideString> got;
    for (size_t i = 0; i < s.Messages.size(); ++i)
        if (s.Kinds[i] == 4) got.push_back(s.Description(i));
    EXPECT_EQ(got, sent);
    ASSERT_FALSE(s.Kinds.empty());
    EXPECT_EQ(s.Kinds.front(), 2);
}

TEST(DBMonitorClient, ProcessClientIsOneInstance) {
    EXPECT_NE(GetDBMonitor(), nullptr);
    EXPECT_EQ(GetDBMonitor(), GetDBMonitor());
    EXPECT_EQ(GetDBMonitor()->ReconnectTimeout, 5000);
    EXPECT_EQ(GetDBMonitor()->SendTimeout, 1000);
}

TEST(DBMonitorClient, ToolThatNeverAnswersDoesNotHoldTheShutdown) {
    looptest::TLoopbackListener tool(0);
    std::vector<int> fillers;
    for (int i = 0; i < 2; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(tool.Port()));
        ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(fd);
    }
    auto monitor = NewMonitor(tool.Port());
    monitor->SendTimeout = 300;  // below a second still bounds the connect and the sends
    TMonitorEvent e = Event(u"stuck");
    monitor->SendEventStart(e);
    monitor->SendStartup();
    monitor.reset();  // returns once the connect has timed out
    for (int fd : fillers) ::close(fd);
    // Nothing reached the tool: what it holds are the fillers' connections, which sent nothing.
    int accepted = 0;
    for (int fd; (fd = tool.Accept(0)) != -1; ++accepted) {
        char byte = 0;
        EXPECT_LE(::recv(fd, &byte, 1, MSG_DONTWAIT), 0);
        ::close(fd);
    }
    EXPECT_LE(accepted, 2);
}
