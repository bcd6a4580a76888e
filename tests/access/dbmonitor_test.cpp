#include <gtest/gtest.h>

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
        {u"abc", std::string("\x00\x00\x00\x03" "abc", 7)},
        {u"", std::string("\x00\x00\x00\x00", 4)},
        // Six Cyrillic letters are twelve bytes, and the count says twelve.
        {u"\u041F\u0440\u0438\u0432\u0435\u0442", std::string("\x00\x00\x00\x0C", 4) +
                                                       rtl::WideToUTF8(u"\u041F\u0440\u0438\u0432\u0435\u0442")},
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
    for (int i = 0; i < 300; ++i) big->Params.push_back({u"P" + rtl::AnsiToWide(std::to_string(i)), u"Integer", u"IN", u"1"});
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
        Be(1) + Be(1) + Be(10) + Be(100) + "abc",             // string longer than the stream
        Be(1) + Be(1) + Be(10) + Be(-1),                      // negative length
        Be(1) + Be(1),                                        // stream ends inside a message
        Be(3),                                                // unknown kind
        Be(5) + Be(1) + Be(5) + Be(0) + Be(1) + Be(2) + Be(0) + Be(0) + Be(0x7FFFFFFF),  // huge count
        Be(5) + Be(1) + Be(5) + Be(0) + Be(1) + Be(2) + Be(0) + Be(0) + Be(-3),          // negative count
    };
    for (const std::string& bytes : cases) {
        TBufferMessageUnpacker reader(bytes);
        int kind = 0;
        EXPECT_THROW(ReadMonitorMessage(reader, kind), EMonitorMessageError);
    }
}
