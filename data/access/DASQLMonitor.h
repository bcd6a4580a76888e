// The SQL monitor component: turns the library's activity into traces for a dialog hook, the
// external monitor tool (through the process's TDBMonitor client) and the OnSQL event. The
// connection, dataset, SQL and transaction components call the class-level entry points; each
// finds the monitor of the monitor class their connection names and returns at once without one.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>

#include "data/access/DBMonitorMessages.h"
#include "framework/db/DB_Params.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Types.h"

namespace daccess {

using rtl::AnsiString;

// The monitor tool's client; its header carries the sender thread, so it stays in the sources.
class TDBMonitor;

enum TDATraceFlag {
    tfQPrepare,
    tfQExecute,
    tfQFetch,
    tfError,
    tfStmt,
    tfConnect,
    tfTransact,
    tfBlob,
    tfService,
    tfMisc,
    tfParams,
    tfObjDestroy,
    tfPool
};
using TDATraceFlags = rtl::TSet<TDATraceFlag>;

enum TMonitorOption { moDialog, moSQLMonitor, moDBMonitor, moCustom, moHandled };
using TMonitorOptions = rtl::TSet<TMonitorOption>;

// The stored forms of the defaults: Options 15 (the first four), TraceFlags 1643.
inline constexpr uint32_t DefaultMonitorOptions = 15;
inline constexpr uint16_t DefaultTraceFlags = 1643;
TMonitorOptions MonitorOptionsFromBits(uint32_t Bits);
uint32_t MonitorOptionsToBits(TMonitorOptions Options);
TDATraceFlags TraceFlagsFromBits(uint16_t Bits);
uint16_t TraceFlagsToBits(TDATraceFlags Flags);

// Event types on the monitor tool's wire.
inline constexpr int ET_CONNECT = 2;
inline constexpr int ET_DISCONNECT = 3;
inline constexpr int ET_TRANSACTION_START = 4;
inline constexpr int ET_COMMIT = 5;
inline constexpr int ET_ROLLBACK = 6;
inline constexpr int ET_SAVEPOINT = 7;
inline constexpr int ET_PREPARE = 8;
inline constexpr int ET_UNPREPARE = 9;
inline constexpr int ET_EXECUTE = 10;
inline constexpr int ET_OBJECT_DESTROYED = 14;
inline constexpr int ET_ERROR = 16;

// Object kinds the monitor tool shows.
inline constexpr int OK_OTHER = 0;
inline constexpr int OK_CONNECTION = 1;
inline constexpr int OK_TRANSACTION = 2;
inline constexpr int OK_SQL = 3;
inline constexpr int OK_DATASET = 4;
inline constexpr int OK_POOL_MANAGER = 5;

using TOnSQLEvent = std::function<void(rtl::TObject* Sender, const AnsiString& Text, TDATraceFlag Flag)>;

// The optional dialog that shows a statement before it runs (object, SQL, operation, parameters).
// Nothing in the system installs one.
using TSQLMonitorDialogHook = std::function<void(rtl::TComponent* Obj, const AnsiString& SQL,
                                                 const AnsiString& Operation, const db::TParams* Params)>;
extern TSQLMonitorDialogHook SQLMonitorDialogHook;
// Fills the call stack of an event; nothing installs one.
extern std::function<void(TWideStringDynArray& CallStack)> SQLMonitorCallStackHook;
// The host application's title, shown by the tool; empty without one.
extern std::function<AnsiString()> SQLMonitorApplicationTitleHook;

// The TCP settings of the monitor tool.
class TDBMonitorOptions : public rtl::TPersistent {
    RTL_CLASS(TDBMonitorOptions, rtl::TPersistent)
public:
    AnsiString Host;
    int Port = 1000;
    int ReconnectTimeout = 5000;
    int SendTimeout = 1000;

protected:
    // Another class gets nothing.
    void AssignTo(rtl::TPersistent* Dest) override;
};

// Per-process 32-bit ids of the objects the monitor tool hears about; an object keeps its id
// while it lives.
int32_t MonitorObjectId(const rtl::TObject* Obj);
void ForgetMonitorObject(const rtl::TObject* Obj);

// The address of an object as the monitor prints it (sixteen hexadecimal digits).
AnsiString MonitorAddressText(const void* Obj);
// Name, or the class name followed by " ($" + address + ")".
AnsiString MonitorObjectName(const rtl::TObject* Obj);

class TCustomDASQLMonitor : public rtl::TComponent {
    RTL_CLASS(TCustomDASQLMonitor, rtl::TComponent)
public:
    explicit TCustomDASQLMonitor(rtl::TComponent* Owner);
    ~TCustomDASQLMonitor() override;
    // Records the instance as its class's monitor and activates it when it may.
    void AfterConstruction() override;
    void BeforeDestruction() override;
    void Loaded() override;
    void Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) override;

    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);
    TMonitorOptions Options() const noexcept { return FOptions; }
    void SetOptions(TMonitorOptions Value);
    TDATraceFlags TraceFlags() const noexcept { return FTraceFlags; }
    void SetTraceFlags(TDATraceFlags Value) noexcept { FTraceFlags = Value; }
    TDBMonitorOptions* DBMonitorOptions() const noexcept { return FDBMonitorOptions.get(); }
    void SetDBMonitorOptions(TDBMonitorOptions* Value) { FDBMonitorOptions->Assign(Value); }

    TOnSQLEvent OnSQL;

    // --- class level: the monitor of a monitor class ---
    // The registered instance of MonitorClass (exactly that class), or null.
    static TCustomDASQLMonitor* GetMonitor(const rtl::ClassRef& MonitorClass);
    // The monitor the object's connection names; null without one.
    static TCustomDASQLMonitor* MonitorFor(rtl::TComponent* Obj);
    // Whether the connection of Obj has a monitor; without Obj: whether any monitor exists.
    static bool HasMonitor(rtl::TComponent* Obj = nullptr);

    // --- class-level entry points ---
    static void TraceSQL(rtl::TComponent* Obj, const AnsiString& SQL, bool Start, int32_t& EventID,
                         const AnsiString& Operation, const db::TParams* Params);
    static void TracePrepare(rtl::TComponent* Obj, const AnsiString& SQL, bool Start, int32_t& EventID,
                             const db::TParams* Params);
    static void TraceUnprepare(rtl::TComponent* Obj, const AnsiString& SQL, bool Start, int32_t& EventID,
                               const db::TParams* Params);
    static void TraceConnect(rtl::TComponent* Connection, bool Start, int32_t& EventID);
    static void TraceDisconnect(rtl::TComponent* Connection, bool Start, int32_t& EventID);
    static void ClassTCStart(rtl::TComponent* Obj, bool Start, int32_t& EventID);
    static void ClassTCCommit(rtl::TComponent* Obj, bool Start, int32_t& EventID);
    static void ClassTCRollback(rtl::TComponent* Obj, bool Start, int32_t& EventID);
    static void TraceSavepoint(rtl::TComponent* Transaction, const AnsiString& Name, bool Start, int32_t& EventID);
    static void TraceRollbackToSavepoint(rtl::TComponent* Transaction, const AnsiString& Name, bool Start,
                                         int32_t& EventID);
    static void TraceReleaseSavepoint(rtl::TComponent* Transaction, const AnsiString& Name, bool Start,
                                      int32_t& EventID);
    static void TraceCommitRetaining(rtl::TComponent* Transaction, bool Start, int32_t& EventID);
    static void TraceRollbackRetaining(rtl::TComponent* Transaction, bool Start, int32_t& EventID);
    // Obj names the connection whose monitor hears it; null: every monitor.
    static void TraceError(const rtl::Exception& E, rtl::TComponent* Obj = nullptr);
    static void TraceObjectDestroyed(rtl::TComponent* Obj);

    // Short forms for callers that keep no event id: the id of a start is kept per object and
    // thread until its end.
    static void SQLPrepare(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params, bool Start,
                           bool Debug = false);
    static void SQLUnprepare(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params, bool Start);
    static void SQLExecute(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params,
                           const AnsiString& Operation, bool Start, bool Debug = false);
    static void DBConnect(rtl::TComponent* Obj, bool Start);
    static void DBDisconnect(rtl::TComponent* Obj, bool Start);
    static void DBError(rtl::TComponent* Obj, const AnsiString& Message);

    // --- the texts ---
    // ":name(type,direction)=value" lines, each ended by " " CRLF, the whole trimmed at its end.
    static AnsiString GetParamsText(const db::TParams* Params);
    static AnsiString GetParamDataType(const db::TParam* Param);
    static AnsiString GetParamParamType(const db::TParam* Param);
    static AnsiString GetParamValue(const db::TParam* Param);
    static int GetObjectKind(const rtl::TObject* Obj);
    static rtl::TComponent* GetObjectConnection(rtl::TComponent* Obj);

    virtual AnsiString GetCaption() const { return "DataAccess"; }

    // Instance traces.
    virtual void SQLExecuteTrace(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params,
                                 const AnsiString& Operation, bool Start, int32_t& EventID);
    void PrepareTrace(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params, bool Start,
                      int32_t& EventID, bool Unprepare);
    void ConnectTrace(rtl::TComponent* Obj, bool Start, int32_t& EventID, bool Connect);
    virtual void TCStart(rtl::TComponent* Obj, bool Start, int32_t& EventID);
    virtual void TCCommit(rtl::TComponent* Obj, bool Start, int32_t& EventID);
    virtual void TCRollback(rtl::TComponent* Obj, bool Start, int32_t& EventID);
    void RetainingTrace(rtl::TComponent* Obj, bool Start, int32_t& EventID, bool Commit);
    void SavepointTrace(rtl::TComponent* Obj, const AnsiString& Text, bool Start, int32_t& EventID);
    void ErrorTrace(const AnsiString& Message);
    void ObjectDestroyedTrace(rtl::TComponent* Obj);

protected:
    // Records this instance as its class's monitor unless one is recorded.
    virtual void RegisterMonitor();
    virtual bool CanActivateNow() const;
    // The COM output has no counterpart on this platform: nothing is registered.
    virtual void RegisterSQLMonitorClient() {}
    virtual void UnregisterSQLMonitorClient() {}

private:
    // Re-applies the remembered Active, then whether the flag is traced.
    bool Tracing(TDATraceFlag Flag);
    void ApplyActive(bool Value);
    void StartDBMonitor();
    void StopDBMonitor();
    // " [name$address; connection$address] " with moHandled, else empty.
    AnsiString ObjectText(rtl::TComponent* Obj) const;
    void Watch(rtl::TComponent* Obj);
    // One trace as its outputs see it.
    struct TTraceOutput {
        rtl::TComponent* Obj = nullptr;
        AnsiString Text{};
        // What OnSQL is told instead of Text, when it differs.
        std::optional<AnsiString> OnSQLText{};
        TDATraceFlag Flag = tfQExecute;
        int EventType = 0;
        bool Start = true;
        AnsiString SQL{};
        const db::TParams* Params = nullptr;
        // The parameters' text follows the statement's in both outputs.
        bool ForStatement = false;
        // OnSQL hears the end as well as the start.
        bool EventOnBothEnds = false;
        bool Failed = false;
        AnsiString ErrorText{};
    };
    // Every output of one trace; output errors never reach the traced operation.
    void Output(const TTraceOutput& Trace, int32_t& EventID);
    void SendEvent(rtl::TComponent* Obj, const AnsiString& Description, int EventType, bool Start, int32_t& EventID,
                   const AnsiString& SQL, const db::TParams* Params, bool Failed = false,
                   const AnsiString& ErrorText = {});

    bool FActive = false;
    bool FStreamedActive = true;
    TMonitorOptions FOptions;
    TDATraceFlags FTraceFlags;
    rtl::TOwnedPtr<TDBMonitorOptions> FDBMonitorOptions;
    // The client this instance feeds while moDBMonitor is on.
    TDBMonitor* FDBMonitor = nullptr;
    std::set<rtl::TComponent*> FWatched;
};

}  // namespace daccess
