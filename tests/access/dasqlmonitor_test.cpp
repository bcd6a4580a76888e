#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "data/access/DASQLMonitor.h"
#include "data/access/DBMonitorClient.h"
#include "framework/rtl/Clock.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "lite_dataset_fixture.h"
#include "loopback_server.h"

using namespace daccess;
using litedataset::LiteDataSetFixture;

namespace {

bool StartsWith(const AnsiString& s, const AnsiString& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// A monitor that has not activated: its owner is being loaded.
struct TInactiveMonitor {
    TInactiveMonitor() : Owner(rtl::Create<rtl::TComponent>(nullptr)) {
        Owner->SetComponentStateFlag(rtl::csLoading, true);
        Monitor = rtl::Create<TCustomDASQLMonitor>(Owner.get());
        Owner->SetComponentStateFlag(rtl::csLoading, false);
    }
    rtl::TOwnedPtr<rtl::TComponent> Owner;
    TCustomDASQLMonitor* Monitor = nullptr;
};

struct TTrace {
    AnsiString Text;
    TDATraceFlag Flag;
};

struct MonitorTest : LiteDataSetFixture {
    void SetUp() override {
        LiteDataSetFixture::SetUp();
        Conn->SetName("conn1");
        Conn->SetUsername("u");
        Conn->SetServer("s");
        Monitor = Inactive.Monitor;
        // The monitor tool is left out here; the loopback test drives it.
        Monitor->SetOptions({});
        Monitor->OnSQL = [this](rtl::TObject*, const AnsiString& Text, TDATraceFlag Flag) {
            Traces.push_back({Text, Flag});
        };
        Monitor->SetActive(true);
    }
    void TearDown() override {
        Inactive.Owner.reset();
        LiteDataSetFixture::TearDown();
    }
    std::vector<AnsiString> Texts(TDATraceFlag Flag) const {
        std::vector<AnsiString> out;
        for (const TTrace& t : Traces)
            if (t.Flag == Flag) out.push_back(t.Text);
        return out;
    }

    TInactiveMonitor Inactive;
    TCustomDASQLMonitor* Monitor = nullptr;
    std::vector<TTrace> Traces;
};

rtl::TOwnedPtr<TDAParams> NewParams() { return rtl::TOwnedPtr<TDAParams>(rtl::Create<TDAParams>(nullptr)); }

}  // namespace

TEST(SQLMonitorTexts, ParameterTexts) {
    auto params = NewParams();
    auto add = [&](const char* name, db::TFieldType type, db::TParamType dir) {
        auto* p = static_cast<TDAParam*>(params->Add());
        p->SetName(name);
        p->SetDataType(type);
        p->SetParamType(dir);
        return p;
    };
    add("P1", db::ftString, db::ptInput)->SetAsString("abc");
    add("P2", db::ftInteger, db::ptOutput);
    TDAParam* blob = add("P3", db::ftBlob, db::ptInput);
    rtl::TStringStream ten(AnsiString(10, 'x'));
    blob->LoadFromStream(ten, db::ftBlob);
    add("P4", db::ftVarBytes, db::ptInputOutput)->SetAsBytes(rtl::TBytes(3, 1));
    add("P5", db::ftInteger, db::ptUnknown)->SetAsInteger(42);
    TDAParam* cursor = add("P6", db::ftCursor, db::ptResult);
    cursor->SetAsInteger(1);
    cursor->SetDataType(db::ftCursor);

    EXPECT_EQ(TCustomDASQLMonitor::GetParamsText(params.get()),
              ":P1(String[3],IN)='abc' \r\n"
              ":P2(Integer,OUT)=<NULL> \r\n"
              ":P3(Blob,IN)=<BLOB:10> \r\n"
              ":P4(VarBytes,IN/OUT)=<BLOB:3> \r\n"
              ":P5(Integer)=42 \r\n"
              ":P6(Cursor,RESULT)=<CURSOR>");
    auto none = NewParams();
    EXPECT_EQ(TCustomDASQLMonitor::GetParamsText(none.get()), "");
}

TEST(SQLMonitorTexts, DefaultsAndObjectNames) {
    TInactiveMonitor m;
    EXPECT_EQ(MonitorOptionsToBits(m.Monitor->Options()), 15u);
    EXPECT_EQ(TraceFlagsToBits(m.Monitor->TraceFlags()), 1643);
    EXPECT_EQ(m.Monitor->DBMonitorOptions()->Port, 1000);
    EXPECT_FALSE(m.Monitor->Active());
    EXPECT_EQ(m.Monitor->GetCaption(), "DataAccess");

    rtl::TOwnedPtr<rtl::TComponent> unnamed(rtl::Create<rtl::TComponent>(nullptr));
    const AnsiString name = MonitorObjectName(unnamed.get());
    EXPECT_TRUE(StartsWith(name, "TComponent ($")) << name;
    EXPECT_EQ(name.size(), AnsiString("TComponent ($)").size() + 16);
    unnamed->SetName("q1");
    EXPECT_EQ(MonitorObjectName(unnamed.get()), "q1");
    // Ids stay with the object while it lives.
    const int32_t id = MonitorObjectId(unnamed.get());
    EXPECT_NE(id, 0);
    EXPECT_EQ(MonitorObjectId(unnamed.get()), id);
}

TEST(SQLMonitorTexts, TheFirstMonitorOfAClassIsItsMonitorUntilItGoes) {
    TInactiveMonitor first;
    TInactiveMonitor second;
    EXPECT_EQ(TCustomDASQLMonitor::GetMonitor(TCustomDASQLMonitor::StaticClass()), first.Monitor);
    first.Owner.reset();
    EXPECT_EQ(TCustomDASQLMonitor::GetMonitor(TCustomDASQLMonitor::StaticClass()), nullptr);
}

TEST_F(MonitorTest, TransactionAndConnectTextsWithAndWithoutTheObjectPart) {
    Conn->Connect();
    Conn->Disconnect();
    Conn->Connect();
    Conn->StartTransaction();
    Conn->Commit();
    EXPECT_EQ(Texts(tfConnect), (std::vector<AnsiString>{"Connect: u@s", "Disconnect: u@s", "Connect: u@s"}));
    EXPECT_EQ(Texts(tfTransact), (std::vector<AnsiString>{"Start: u@s", "Commit: u@s"}));

    Traces.clear();
    Monitor->SetOptions({moHandled});
    Conn->StartTransaction();
    Conn->Rollback();
    const AnsiString object = " [conn1$" + MonitorAddressText(Conn.get()) + "] ";
    EXPECT_EQ(Texts(tfTransact), (std::vector<AnsiString>{"Start: u@s" + object, "Rollback: u@s" + object}));
}

TEST_F(MonitorTest, StatementTextsCarryTheParametersWhenAsked) {
    Conn->ExecSQL("UPDATE sources SET name = :n WHERE id = 1", {Variant(AnsiString("abc"))});
    std::vector<AnsiString> exec = Texts(tfQExecute);
    ASSERT_EQ(exec.size(), 1u);
    // The connection's statements leave the direction unknown, so none is printed.
    EXPECT_EQ(exec[0], "SQL Execute: UPDATE sources SET name = :n WHERE id = 1\r\n:n(String[3])='abc'");

    Traces.clear();
    Monitor->SetTraceFlags(Monitor->TraceFlags() - TDATraceFlags{tfParams});
    Monitor->SetOptions({moHandled});
    Conn->ExecSQL("UPDATE sources SET name = :n WHERE id = 1", {Variant(AnsiString("abc"))});
    exec = Texts(tfQExecute);
    ASSERT_EQ(exec.size(), 1u);
    // The internal SQL component has no name; its connection has.
    EXPECT_TRUE(StartsWith(exec[0], "SQL Execute [$")) << exec[0];
    EXPECT_NE(exec[0].find("; conn1$" + MonitorAddressText(Conn.get()) + "] : UPDATE sources"), AnsiString::npos)
        << exec[0];
    EXPECT_EQ(exec[0].find("\r\n"), AnsiString::npos);
}

TEST_F(MonitorTest, APostedRecordIsTracedAsTheDatasetsStatement) {
    TCustomDADataSet* ds = Query("SELECT * FROM sources ORDER BY id");
    ds->Open();
    Traces.clear();
    ds->Edit();
    ds->FieldByName("kind")->SetAsInteger(9);
    ds->Post();
    // The strict check's savepoint around it is traced too.
    std::vector<AnsiString> exec;
    for (const AnsiString& t : Texts(tfQExecute))
        if (!StartsWith(t, "SQL Execute: SAVEPOINT") && !StartsWith(t, "SQL Execute: RELEASE")) exec.push_back(t);
    ASSERT_EQ(exec.size(), 1u);
    EXPECT_EQ(exec[0],
              "SQL Execute: UPDATE sources\r\nSET\r\n  kind = ?\r\nWHERE\r\n  id = ?\r\n"
              ":kind(Integer,IN)=9 \r\n:Old_id(Integer,IN)=1");
}

TEST_F(MonitorTest, FlagsOffOrInactiveMeanNoTrace) {
    Monitor->SetTraceFlags(Monitor->TraceFlags() - TDATraceFlags{tfConnect});
    Conn->Disconnect();
    Conn->Connect();
    EXPECT_TRUE(Texts(tfConnect).empty());

    Monitor->SetTraceFlags(Monitor->TraceFlags() + TDATraceFlags{tfConnect});
    Monitor->SetActive(false);
    Conn->Disconnect();
    Conn->ExecSQL("UPDATE sources SET kind = 1");
    EXPECT_TRUE(Traces.empty());
}

TEST_F(MonitorTest, AFailingOutputNeverFailsTheTracedOperation) {
    int calls = 0;
    Monitor->OnSQL = [&](rtl::TObject*, const AnsiString&, TDATraceFlag) {
        ++calls;
        throw rtl::Exception("monitor broke");
    };
    SQLMonitorDialogHook = [&](rtl::TComponent*, const AnsiString&, const AnsiString&, const db::TParams*) {
        throw rtl::Exception("dialog broke");
    };
    Monitor->SetOptions({moDialog});
    EXPECT_NO_THROW(Conn->ExecSQL("UPDATE sources SET kind = 1 WHERE id = 2"));
    SQLMonitorDialogHook = nullptr;
    EXPECT_GT(calls, 0);
    TCustomDADataSet* q = Query("SELECT kind FROM sources WHERE id = 2");
    q->Open();
    EXPECT_EQ(q->FieldByName("kind")->AsInteger(), 1);
}

TEST_F(MonitorTest, ErrorsAndTheDialogHook) {
    std::vector<AnsiString> operations;
    SQLMonitorDialogHook = [&](rtl::TComponent*, const AnsiString& SQL, const AnsiString& Operation,
                               const db::TParams*) { operations.push_back(Operation + ":" + SQL); };
    Monitor->SetOptions({moDialog});
    Conn->ExecSQL("UPDATE sources SET kind = 1");
    EXPECT_THROW(Conn->ExecSQL("UPDATE nowhere SET kind = 1"), rtl::Exception);
    SQLMonitorDialogHook = nullptr;
    ASSERT_FALSE(operations.empty());
    EXPECT_EQ(operations.front(), "Execute:UPDATE sources SET kind = 1");
    const std::vector<AnsiString> errors = Texts(tfError);
    ASSERT_FALSE(errors.empty());
    EXPECT_TRUE(StartsWith(errors[0], "Error: ")) << errors[0];
    EXPECT_NE(errors[0].find("nowhere"), AnsiString::npos) << errors[0];
}

namespace {

struct TWireEvent {
    int Kind;
    int Type;
    WideString Description;
    int32_t EventID = 0;
    int32_t RowsAffected = 0;
    WideString ObjectName;
};

std::vector<TWireEvent> DecodeEvents(const std::string& Bytes) {
    std::vector<TWireEvent> out;
    TBufferMessageUnpacker reader(Bytes);
    while (reader.Remaining() > 0) {
        int kind = 0;
        auto msg = ReadMonitorMessage(reader, kind);
        auto* ev = dynamic_cast<TEventMessage*>(msg.get());
        if (!ev) continue;  // probes
        TWireEvent w{kind, ev->EventType, ev->Description, 0, 0, {}};
        if (auto* s = dynamic_cast<TEventStartMessage*>(ev)) {
            w.EventID = s->EventID;
            w.ObjectName = s->ObjectName;
        }
        if (auto* e = dynamic_cast<TEventEndMessage*>(ev)) {
            w.EventID = e->EventID;
            w.RowsAffected = e->RowsAffected;
        }
        out.push_back(w);
    }
    return out;
}

// The sender thread works on its own; this waits (without sleeping) until it has taken every
// queued message.
void WaitUntilClientIdle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (GetDBMonitor()->QueuedCount() > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_EQ(GetDBMonitor()->QueuedCount(), 0);
}

}  // namespace

TEST_F(MonitorTest, TheMonitorToolHearsEveryTraceInOrderOverLoopback) {
    // The process has one client: what an earlier monitor queued must be gone before this one
    // points it elsewhere, and the clock must be far from any connect that failed then.
    WaitUntilClientIdle();
    rtl::TScopedManualClock clock(46000.0, 0x40000000);
    looptest::TCapture capture;
    ASSERT_TRUE(capture.Valid());
    Monitor->SetActive(false);
    Monitor->DBMonitorOptions()->Host = "127.0.0.1";
    Monitor->DBMonitorOptions()->Port = capture.Port();
    Monitor->SetTraceFlags(Monitor->TraceFlags() - TDATraceFlags{tfConnect});
    Monitor->SetOptions({moDBMonitor});
    Monitor->SetActive(true);

    Conn->Connect();  // not traced: tfConnect is off
    Monitor->SetTraceFlags(Monitor->TraceFlags() + TDATraceFlags{tfConnect});
    Conn->Disconnect();
    Conn->Connect();
    Conn->ExecSQL("UPDATE sources SET kind = :k WHERE id < 3", {Variant(7)});
    Monitor->SetActive(false);

    std::vector<TWireEvent> events = DecodeEvents(capture.Join());
    std::vector<std::pair<int, int>> kinds;
    for (const TWireEvent& e : events) kinds.emplace_back(e.Kind, e.Type);
    const std::vector<std::pair<int, int>> expected = {{MSG_STARTUP, ET_STARTUP},      {MSG_EVENT_START, ET_DISCONNECT},
                                                       {MSG_EVENT_END, ET_DISCONNECT}, {MSG_EVENT_START, ET_CONNECT},
                                                       {MSG_EVENT_END, ET_CONNECT},    {MSG_EVENT_START, ET_EXECUTE},
                                                       {MSG_EVENT_END, ET_EXECUTE},    {MSG_EVENT, ET_FINISH}};
    ASSERT_EQ(kinds, expected);
    EXPECT_EQ(events[0].Description, u"DataAccess monitoring is started");
    EXPECT_EQ(events[1].Description, u"Disconnect: u@s");
    EXPECT_EQ(events[1].ObjectName, u"conn1");
    // An end repeats the id of its start.
    EXPECT_EQ(events[2].EventID, events[1].EventID);
    EXPECT_EQ(events[6].EventID, events[5].EventID);
    EXPECT_NE(events[5].EventID, events[3].EventID);
    EXPECT_EQ(events[5].Description, u"SQL Execute: UPDATE sources SET kind = :k WHERE id < 3\r\n:k(Integer)=7");
    EXPECT_EQ(events[6].RowsAffected, 2);
    EXPECT_EQ(events[7].Description, u"DataAccess monitoring is finished");
}
