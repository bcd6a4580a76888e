#include "data/access/DBMonitorClient.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Text.h"

namespace daccess {

namespace {

// The program's own path as its command line gives it, else the executable's file name.
WideString ExecutableName() {
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::string first;
    if (cmdline) std::getline(cmdline, first, '\0');
    if (first.empty()) {
        char buf[4096];
        ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
        if (n > 0) first.assign(buf, static_cast<size_t>(n));
    }
    return rtl::UTF8ToWide(first);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TEventSendThread

void TEventSendThread::Start() {
    FThread = std::thread([this] { Execute(); });
}

void TEventSendThread::WaitFor() {
    if (FThread.joinable()) FThread.join();
}

void TEventSendThread::Execute() {
    bool stop = false;
    while (!stop) {
        FMonitor.WaitForEvent();
        // Told to stop: what was queued before still goes out, then the thread ends.
        stop = FTerminated;
        FMonitor.SendPending();
    }
}

// ---------------------------------------------------------------------------------------------
// TDBMonitor

TDBMonitor::TDBMonitor() = default;

TDBMonitor::~TDBMonitor() {
    if (FSendThread) {
        FSendThread->Terminate();
        {
            std::lock_guard<std::mutex> guard(FEventLock);
            FSignaled = true;
        }
        FEventCond.notify_all();
        FSendThread->WaitFor();
        FSendThread.reset();
    }
    // Whatever could not be sent is still owned by the ring.
    for (int i = FHead.load(); i != FTail.load(); i = (i + 1) % RingSize) FreeMessage(FRing[static_cast<size_t>(i)]);
    rtl::TObject::Free(FStartupMessage.exchange(nullptr));
}

int TDBMonitor::QueuedCount() const noexcept {
    int n = FTail.load() - FHead.load();
    return n < 0 ? n + RingSize : n;
}

TStartupMessage* TDBMonitor::StartupMessage() {
    std::lock_guard<std::mutex> guard(FStartupLock);
    TStartupMessage* msg = FStartupMessage.load();
    if (!msg) {
        msg = rtl::Create<TStartupMessage>();
        msg->EventType = ET_STARTUP;
        msg->Description = Caption + u" monitoring is started";
        msg->ExeName = ExecutableName();
        FStartupMessage.store(msg);
    }
    return msg;
}

void TDBMonitor::FreeMessage(TMonitorMessage* Message) noexcept {
    if (Message && Message != FStartupMessage.load()) rtl::TObject::Free(Message);
}

void TDBMonitor::SendStartup() { AddEvent(StartupMessage()); }

void TDBMonitor::SendFinish() {
    auto* msg = rtl::Create<TEventMessage>();
    msg->EventType = ET_FINISH;
    msg->Description = Caption + u" monitoring is finished";
    AddEvent(msg);
}

void TDBMonitor::SendEventStart(TMonitorEvent& Event) {
    Event.EventID = ++FLastEventID;
    auto* msg = rtl::Create<TEventStartMessage>();
    msg->EventType = Event.EventType;
    msg->Description = Event.Description;
    msg->EventID = Event.EventID;
    msg->StartTime = static_cast<int32_t>(rtl::GetTickCount());
    msg->ObjectID = Event.ObjectID;
    msg->ObjectName = Event.ObjectName;
    msg->ObjectType = Event.ObjectType;
    msg->ObjectTypeName = Event.ObjectTypeName;
    msg->ParentID = Event.ParentID;
    msg->ParentName = Event.ParentName;
    msg->ParentType = Event.ParentType;
    msg->ParentTypeName = Event.ParentTypeName;
    msg->SQL = Event.SQL;
    msg->Params = Event.Params;
    msg->CallStack = Event.CallStack;
    AddEvent(msg);
}

void TDBMonitor::SendEventEnd(const TMonitorEvent& Event) {
    auto* msg = rtl::Create<TEventEndMessage>();
    msg->EventType = Event.EventType;
    msg->Description = Event.Description;
    msg->EventID = Event.EventID != 0 ? Event.EventID : FLastEventID.load();
    msg->EndTime = static_cast<int32_t>(rtl::GetTickCount());
    msg->Failed = Event.Failed ? 1 : 0;
    msg->ErrorText = Event.ErrorText;
    msg->Params = Event.Params;
    msg->RowsAffected = Event.RowsAffected;
    AddEvent(msg);
}

void TDBMonitor::AddEvent(TMonitorMessage* Message) {
    {
        std::lock_guard<std::mutex> guard(FLock);
        int tail = FTail.load();
        int next = tail + 1 == RingSize ? 0 : tail + 1;
        if (next == FHead.load()) {
            // Full: the new message is dropped, the waiting ones are kept.
            FreeMessage(Message);
            return;
        }
        FRing[static_cast<size_t>(tail)] = Message;
        FTail.store(next);
        if (!FSendThread) {
            FSendThread = std::make_unique<TEventSendThread>(*this);
            FSendThread->Start();
        }
    }
    {
        std::lock_guard<std::mutex> guard(FEventLock);
        FSignaled = true;
    }
    FEventCond.notify_one();
}

void TDBMonitor::WaitForEvent() {
    std::unique_lock<std::mutex> lock(FEventLock);
    FEventCond.wait(lock, [this] { return FSignaled; });
    FSignaled = false;
}

void TDBMonitor::SendPending() {
    while (FHead.load() != FTail.load()) {
        int head = FHead.load();
        TMonitorMessage* msg = FRing[static_cast<size_t>(head)];
        try {
            SendOne(msg);
        } catch (...) {
            // Nothing of the sending reaches a tracing thread; the message is dropped.
        }
        FreeMessage(msg);
        FRing[static_cast<size_t>(head)] = nullptr;
        FHead.store(head + 1 == RingSize ? 0 : head + 1);
    }
}

void TDBMonitor::SendOne(TMonitorMessage* Message) {
    const bool connected = FPacker && FPacker->Ping();
    const bool isFinish =
        Message->MsgType() == MSG_EVENT && static_cast<TEventMessage*>(Message)->EventType == ET_FINISH;
    bool go = connected;
    bool reconnected = false;
    if (!isFinish) {
        if (FPacker && FPacker->Ping()) {
            go = true;
        } else {
            if (!FPacker) FPacker.reset(rtl::Create<TSocketMessagePacker>());
            FPacker->Host = Host;
            FPacker->Port = Port;
            FPacker->ReconnectTimeout = ReconnectTimeout;
            FPacker->SendTimeout = SendTimeout;
            go = FPacker->Connect();
            reconnected = go;
        }
    }
    if (!go) return;
    // The tool learns the process again on every new connection.
    TStartupMessage* startup = StartupMessage();
    if ((!connected || reconnected) && Message != startup) FPacker->Send(*startup);
    FPacker->Send(*Message);
    if (isFinish) FPacker->Disconnect();
}

TDBMonitor* GetDBMonitor() {
    static std::unique_ptr<TDBMonitor, rtl::TObjectDeleter> instance(rtl::Create<TDBMonitor>());
    return instance.get();
}

}  // namespace daccess
