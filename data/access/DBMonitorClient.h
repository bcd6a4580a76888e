// The process-wide client of the external monitor tool: events become protocol messages in a
// fixed ring, and one sender thread connects to the tool and writes them, so that tracing never
// waits for the network.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "data/access/DBMonitorMessages.h"

namespace daccess {

// What the monitor component fills for one trace.
struct TMonitorEvent {
    int32_t EventID = 0;
    int32_t EventType = 0;
    WideString Description;
    int32_t ObjectID = 0;
    WideString ObjectName;
    int32_t ObjectType = 0;
    WideString ObjectTypeName;
    int32_t ParentID = 0;
    WideString ParentName;
    int32_t ParentType = 0;
    WideString ParentTypeName;
    WideString SQL;
    TMsgSQLParams Params;
    TWideStringDynArray CallStack;
    bool Failed = false;
    WideString ErrorText;
    int32_t RowsAffected = 0;
};

class TDBMonitor;

// Drains the client's ring; one per client, started with the first queued message.
class TEventSendThread {
public:
    explicit TEventSendThread(TDBMonitor& Monitor) : FMonitor(Monitor) {}
    ~TEventSendThread() { WaitFor(); }
    void Start();
    // Asks the thread to end once the ring is empty.
    void Terminate() noexcept { FTerminated = true; }
    bool Terminated() const noexcept { return FTerminated; }
    void WaitFor();

private:
    void Execute();

    TDBMonitor& FMonitor;
    std::thread FThread;
    std::atomic<bool> FTerminated{false};
};

class TDBMonitor : public rtl::TObject {
    RTL_CLASS(TDBMonitor, rtl::TObject)
public:
    // 1001 slots, so at most 1000 messages wait.
    static constexpr int RingSize = 1001;

    TDBMonitor();
    ~TDBMonitor() override;

    WideString Caption;
    AnsiString Host;
    int Port = 0;
    int ReconnectTimeout = 5000;
    int SendTimeout = 1000;
    bool IsDesignTime = false;

    void SendStartup();
    void SendFinish();
    // Gives the event the next event id (written back) and queues its start.
    void SendEventStart(TMonitorEvent& Event);
    void SendEventEnd(const TMonitorEvent& Event);

    int32_t LastEventID() const noexcept { return FLastEventID.load(); }
    // Messages waiting in the ring, the one being sent included.
    int QueuedCount() const noexcept;

private:
    friend class TEventSendThread;

    TStartupMessage* StartupMessage();
    // Queues the message or, when the ring is full, drops it.
    void AddEvent(TMonitorMessage* Message);
    void FreeMessage(TMonitorMessage* Message) noexcept;
    // Sender thread: waits for the auto-reset event.
    void WaitForEvent();
    void SendPending();
    void SendOne(TMonitorMessage* Message);

    std::atomic<int32_t> FLastEventID{0};

    std::array<TMonitorMessage*, RingSize> FRing{};
    std::atomic<int> FHead{0};  // next to send; moved by the sender thread only
    std::atomic<int> FTail{0};  // next free; moved under FLock only
    std::mutex FLock;

    // Auto-reset event that wakes the sender.
    std::mutex FEventLock;
    std::condition_variable FEventCond;
    bool FSignaled = false;

    std::unique_ptr<TEventSendThread> FSendThread;
    rtl::TOwnedPtr<TSocketMessagePacker> FPacker;
    // Built once and kept; tracing threads compare against it, so it is read atomically.
    std::atomic<TStartupMessage*> FStartupMessage{nullptr};
    std::mutex FStartupLock;
};

// The process's client, created on first call and freed at exit.
TDBMonitor* GetDBMonitor();

}  // namespace daccess
