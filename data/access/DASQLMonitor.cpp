#include "data/access/DASQLMonitor.h"

#include <map>
#include <mutex>

#include "data/access/CRConnectionPool.h"
#include "data/access/DBAccess_DataSet.h"
#include "data/access/DBMonitorClient.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

TSQLMonitorDialogHook SQLMonitorDialogHook;
std::function<void(TWideStringDynArray& CallStack)> SQLMonitorCallStackHook;
std::function<AnsiString()> SQLMonitorApplicationTitleHook;

namespace {

constexpr const char* CRLF = "\r\n";

// Tracing never fails the traced operation: whatever an output or a hook raises is dropped.
template <class F>
void Quietly(F&& Output) noexcept {
    try {
        Output();
    } catch (...) {
    }
}

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}

// The monitor of each monitor class; the first instance of a class is its monitor.
std::map<const rtl::ClassRef*, TCustomDASQLMonitor*>& Registry() {
    static std::map<const rtl::ClassRef*, TCustomDASQLMonitor*> registry;
    return registry;
}

std::mutex& ObjectIdLock() {
    static std::mutex lock;
    return lock;
}

struct TObjectIds {
    std::map<const void*, int32_t> Ids;
    int32_t Last = 0;
};

TObjectIds& ObjectIds() {
    static TObjectIds ids;
    return ids;
}

// Event ids of started traces for callers that keep none, per thread and object.
std::map<std::pair<const void*, int>, int32_t>& PendingEventIds() {
    thread_local std::map<std::pair<const void*, int>, int32_t> pending;
    return pending;
}

int32_t TakePendingEventId(const void* Obj, int Kind) {
    auto& pending = PendingEventIds();
    auto it = pending.find({Obj, Kind});
    if (it == pending.end()) return 0;
    int32_t id = it->second;
    pending.erase(it);
    return id;
}

// The short forms keep a start's id here until its end.
template <class F>
void WithPendingEventId(const void* Obj, int Kind, bool Start, F&& Trace) {
    int32_t id = Start ? 0 : TakePendingEventId(Obj, Kind);
    Trace(id);
    if (Start) PendingEventIds()[{Obj, Kind}] = id;
}

bool IsStringType(db::TFieldType t) {
    return t == db::ftString || t == db::ftFixedChar || t == db::ftWideString || t == db::ftFixedWideChar;
}

WideString W(const AnsiString& s) { return rtl::AnsiToWide(s); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Settings

TMonitorOptions MonitorOptionsFromBits(uint32_t Bits) { return TMonitorOptions::FromBits(Bits & 0x1F); }
uint32_t MonitorOptionsToBits(TMonitorOptions Options) { return static_cast<uint32_t>(Options.Bits()); }
TDATraceFlags TraceFlagsFromBits(uint16_t Bits) { return TDATraceFlags::FromBits(Bits & 0x1FFF); }
uint16_t TraceFlagsToBits(TDATraceFlags Flags) { return static_cast<uint16_t>(Flags.Bits()); }

void TDBMonitorOptions::AssignTo(rtl::TPersistent* Dest) {
    auto* dest = dynamic_cast<TDBMonitorOptions*>(Dest);
    if (!dest) return;
    dest->Host = Host;
    dest->Port = Port;
    dest->ReconnectTimeout = ReconnectTimeout;
    dest->SendTimeout = SendTimeout;
}

// ---------------------------------------------------------------------------------------------
// Object identity

int32_t MonitorObjectId(const rtl::TObject* Obj) {
    if (!Obj) return 0;
    std::lock_guard<std::mutex> guard(ObjectIdLock());
    TObjectIds& ids = ObjectIds();
    auto [it, added] = ids.Ids.try_emplace(Obj, 0);
    if (added) it->second = ++ids.Last;
    return it->second;
}

void ForgetMonitorObject(const rtl::TObject* Obj) {
    std::lock_guard<std::mutex> guard(ObjectIdLock());
    ObjectIds().Ids.erase(Obj);
}

AnsiString MonitorAddressText(const void* Obj) {
    return rtl::IntToHex(static_cast<int64_t>(reinterpret_cast<uintptr_t>(Obj)), 16);
}

AnsiString MonitorObjectName(const rtl::TObject* Obj) {
    if (!Obj) return {};
    if (auto* c = dynamic_cast<const rtl::TComponent*>(Obj); c && !c->Name().empty()) return c->Name();
    return AnsiString(Obj->ClassName()) + " ($" + MonitorAddressText(Obj) + ")";
}

// ---------------------------------------------------------------------------------------------
// Construction and activation

TCustomDASQLMonitor::TCustomDASQLMonitor(rtl::TComponent* Owner)
    : TComponent(Owner),
      FOptions(MonitorOptionsFromBits(DefaultMonitorOptions)),
      FTraceFlags(TraceFlagsFromBits(DefaultTraceFlags)),
      FDBMonitorOptions(rtl::Create<TDBMonitorOptions>()) {}

TCustomDASQLMonitor::~TCustomDASQLMonitor() = default;

void TCustomDASQLMonitor::AfterConstruction() {
    TComponent::AfterConstruction();
    RegisterMonitor();
    if (CanActivateNow()) SetActive(true);
}

void TCustomDASQLMonitor::BeforeDestruction() {
    if (FActive) ApplyActive(false);
    {
        std::lock_guard<std::mutex> guard(RegistryLock());
        auto it = Registry().find(ClassType());
        if (it != Registry().end() && it->second == this) Registry().erase(it);
    }
    for (rtl::TComponent* c : FWatched) {
        ForgetMonitorObject(c);
        RemoveFreeNotification(c);
    }
    FWatched.clear();
    TComponent::BeforeDestruction();
}

void TCustomDASQLMonitor::RegisterMonitor() {
    std::lock_guard<std::mutex> guard(RegistryLock());
    Registry().try_emplace(ClassType(), this);
}

bool TCustomDASQLMonitor::CanActivateNow() const {
    if (ComponentState().Contains(rtl::csDesigning) || !Owner()) return true;
    const rtl::TComponentState s = Owner()->ComponentState();
    return !s.Contains(rtl::csReading) && !s.Contains(rtl::csLoading);
}

void TCustomDASQLMonitor::Loaded() {
    TComponent::Loaded();
    if (FStreamedActive != FActive) ApplyActive(FStreamedActive);
}

void TCustomDASQLMonitor::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && FWatched.erase(AComponent)) ForgetMonitorObject(AComponent);
}

void TCustomDASQLMonitor::SetActive(bool Value) {
    FStreamedActive = Value;
    const rtl::TComponentState s = ComponentState();
    if (s.Contains(rtl::csReading) || s.Contains(rtl::csLoading) || Value == FActive) return;
    ApplyActive(Value);
}

void TCustomDASQLMonitor::ApplyActive(bool Value) {
    FActive = Value;
    if (FOptions.Contains(moSQLMonitor)) {
        if (Value)
            RegisterSQLMonitorClient();
        else
            UnregisterSQLMonitorClient();
    }
    if (FOptions.Contains(moDBMonitor)) {
        if (Value)
            StartDBMonitor();
        else
            StopDBMonitor();
    }
}

void TCustomDASQLMonitor::SetOptions(TMonitorOptions Value) {
    const TMonitorOptions old = FOptions;
    FOptions = Value;
    if (!FActive) return;
    if (old.Contains(moSQLMonitor) != Value.Contains(moSQLMonitor)) {
        if (Value.Contains(moSQLMonitor))
            RegisterSQLMonitorClient();
        else
            UnregisterSQLMonitorClient();
    }
    if (old.Contains(moDBMonitor) != Value.Contains(moDBMonitor)) {
        if (Value.Contains(moDBMonitor))
            StartDBMonitor();
        else
            StopDBMonitor();
    }
}

void TCustomDASQLMonitor::StartDBMonitor() {
    TDBMonitor* m = GetDBMonitor();
    m->Caption = W(GetCaption());
    m->Host = FDBMonitorOptions->Host;
    m->Port = FDBMonitorOptions->Port;
    m->ReconnectTimeout = FDBMonitorOptions->ReconnectTimeout;
    m->SendTimeout = FDBMonitorOptions->SendTimeout;
    m->IsDesignTime = ComponentState().Contains(rtl::csDesigning);
    FDBMonitor = m;
    try {
        m->SendStartup();
    } catch (const rtl::EAbort&) {
    }
}

void TCustomDASQLMonitor::StopDBMonitor() {
    TDBMonitor* m = FDBMonitor;
    FDBMonitor = nullptr;
    if (!m) return;
    try {
        m->SendFinish();
    } catch (const rtl::EAbort&) {
    }
}

bool TCustomDASQLMonitor::Tracing(TDATraceFlag Flag) {
    if (FStreamedActive != FActive) {
        const rtl::TComponentState s = ComponentState();
        if (!s.Contains(rtl::csReading) && !s.Contains(rtl::csLoading)) ApplyActive(FStreamedActive);
    }
    return FActive && FTraceFlags.Contains(Flag);
}

// ---------------------------------------------------------------------------------------------
// The monitor of a class

TCustomDASQLMonitor* TCustomDASQLMonitor::GetMonitor(const rtl::ClassRef& MonitorClass) {
    std::lock_guard<std::mutex> guard(RegistryLock());
    auto it = Registry().find(&MonitorClass);
    return it == Registry().end() ? nullptr : it->second;
}

TCustomDASQLMonitor* TCustomDASQLMonitor::MonitorFor(rtl::TComponent* Obj) {
    {
        std::lock_guard<std::mutex> guard(RegistryLock());
        if (Registry().empty()) return nullptr;
    }
    auto* conn = dynamic_cast<TCustomDAConnection*>(Obj);
    if (!conn) conn = dynamic_cast<TCustomDAConnection*>(GetObjectConnection(Obj));
    return GetMonitor(conn ? conn->SQLMonitorClass() : TCustomDASQLMonitor::StaticClass());
}

bool TCustomDASQLMonitor::HasMonitor(rtl::TComponent* Obj) {
    if (Obj) return MonitorFor(Obj) != nullptr;
    std::lock_guard<std::mutex> guard(RegistryLock());
    return !Registry().empty();
}

int TCustomDASQLMonitor::GetObjectKind(const rtl::TObject* Obj) {
    if (dynamic_cast<const TCustomDAConnection*>(Obj)) return OK_CONNECTION;
    if (dynamic_cast<const TDATransaction*>(Obj)) return OK_TRANSACTION;
    if (dynamic_cast<const TCustomDASQL*>(Obj)) return OK_SQL;
    if (dynamic_cast<const TCustomDADataSet*>(Obj)) return OK_DATASET;
    if (dynamic_cast<const TCRConnectionPoolManager*>(Obj)) return OK_POOL_MANAGER;
    return OK_OTHER;
}

rtl::TComponent* TCustomDASQLMonitor::GetObjectConnection(rtl::TComponent* Obj) {
    if (auto* t = dynamic_cast<TDATransaction*>(Obj)) return t->GetDefaultConnection();
    if (auto* s = dynamic_cast<TCustomDASQL*>(Obj)) return s->Connection();
    if (auto* d = dynamic_cast<TCustomDADataSet*>(Obj)) return d->Connection();
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Texts

AnsiString TCustomDASQLMonitor::GetParamDataType(const db::TParam* Param) {
    AnsiString s = db::FieldTypeName(Param->DataType());
    if (IsStringType(Param->DataType())) s += "[" + rtl::IntToStr(static_cast<int>(Param->AsString().size())) + "]";
    return s;
}

AnsiString TCustomDASQLMonitor::GetParamParamType(const db::TParam* Param) {
    switch (Param->ParamType()) {
        case db::ptInput: return "IN";
        case db::ptOutput: return "OUT";
        case db::ptInputOutput: return "IN/OUT";
        case db::ptResult: return "RESULT";
        default: return {};
    }
}

AnsiString TCustomDASQLMonitor::GetParamValue(const db::TParam* Param) {
    if (Param->IsNull()) return "<NULL>";
    const db::TFieldType t = Param->DataType();
    switch (t) {
        case db::ftDate: return rtl::DateToStr(Param->AsDateTime());
        case db::ftDateTime: return rtl::DateTimeToStr(Param->AsDateTime());
        case db::ftBytes:
        case db::ftVarBytes: return "<BLOB:" + rtl::IntToStr(static_cast<int>(Param->AsBytes().size())) + ">";
        case db::ftCursor: return "<CURSOR>";
        default: break;
    }
    if (db::IsBlobType(t)) {
        int64_t size = static_cast<int64_t>(Param->AsBytes().size());
        if (auto* p = dynamic_cast<const TDAParam*>(Param))
            if (auto* blob = dynamic_cast<store::TBlob*>(p->GetParamObject())) size = blob->GetSize();
        return "<BLOB:" + rtl::IntToStr(size) + ">";
    }
    if (IsStringType(t)) return "'" + Param->AsString() + "'";
    return Param->AsString();
}

AnsiString TCustomDASQLMonitor::GetParamsText(const db::TParams* Params) {
    if (!Params) return {};
    AnsiString text;
    for (int i = 0; i < Params->Count(); ++i) {
        const db::TParam* p = Params->Items(i);
        AnsiString line = ":" + p->Name();
        const AnsiString type = GetParamDataType(p);
        const AnsiString dir = GetParamParamType(p);
        AnsiString inner = type;
        if (!dir.empty()) inner += (inner.empty() ? "" : ",") + dir;
        if (!inner.empty()) line += "(" + inner + ")";
        const AnsiString value = GetParamValue(p);
        if (!value.empty()) line += "=" + value;
        text += line + " " + CRLF;
    }
    return rtl::TrimRight(text);
}

AnsiString TCustomDASQLMonitor::ObjectText(rtl::TComponent* Obj) const {
    if (!FOptions.Contains(moHandled) || !Obj) return {};
    AnsiString s = " [" + Obj->Name() + "$" + MonitorAddressText(Obj);
    if (dynamic_cast<TCustomDASQL*>(Obj) || dynamic_cast<TCustomDADataSet*>(Obj)) {
        rtl::TComponent* conn = GetObjectConnection(Obj);
        s += "; " + (conn ? conn->Name() : AnsiString()) + "$" + MonitorAddressText(conn);
    }
    return s + "] ";
}

void TCustomDASQLMonitor::Watch(rtl::TComponent* Obj) {
    if (!Obj || Obj == this || !FWatched.insert(Obj).second) return;
    FreeNotification(Obj);
}

// ---------------------------------------------------------------------------------------------
// Outputs

void TCustomDASQLMonitor::SendEvent(rtl::TComponent* Obj, const AnsiString& Description, int EventType, bool Start,
                                    int32_t& EventID, const AnsiString& SQL, const db::TParams* Params, bool Failed,
                                    const AnsiString& ErrorText) {
    TMonitorEvent ev;
    ev.EventType = EventType;
    ev.Description = W(Description);
    ev.SQL = W(SQL);
    if (Params)
        for (int i = 0; i < Params->Count(); ++i) {
            const db::TParam* p = Params->Items(i);
            ev.Params.push_back({W(p->Name()), W(GetParamDataType(p)), W(GetParamParamType(p)), W(GetParamValue(p))});
        }
    ev.Failed = Failed;
    ev.ErrorText = W(ErrorText);
    if (Start) {
        if (Obj) {
            Watch(Obj);
            ev.ObjectID = MonitorObjectId(Obj);
            ev.ObjectName = W(MonitorObjectName(Obj));
            ev.ObjectType = GetObjectKind(Obj);
            ev.ObjectTypeName = W(Obj->ClassName());
            if (EventType != ET_OBJECT_DESTROYED)
                if (rtl::TComponent* conn = GetObjectConnection(Obj)) {
                    Watch(conn);
                    ev.ParentID = MonitorObjectId(conn);
                    ev.ParentName = W(MonitorObjectName(conn));
                    ev.ParentType = GetObjectKind(conn);
                    ev.ParentTypeName = W(conn->ClassName());
                }
        }
        if (SQLMonitorCallStackHook) SQLMonitorCallStackHook(ev.CallStack);
        ev.EventID = EventID;
        FDBMonitor->SendEventStart(ev);
        EventID = ev.EventID;
    } else {
        ev.EventID = EventID;
        if (EventType == ET_EXECUTE) {
            if (auto* s = dynamic_cast<TCustomDASQL*>(Obj))
                ev.RowsAffected = s->RowsAffected();
            else if (auto* d = dynamic_cast<TCustomDADataSet*>(Obj))
                ev.RowsAffected = d->RowsAffected();
        }
        FDBMonitor->SendEventEnd(ev);
    }
}

void TCustomDASQLMonitor::Output(const TTraceOutput& T, int32_t& EventID) {
    const AnsiString paramText = T.ForStatement ? GetParamsText(T.Params) : AnsiString();
    // The COM output has no counterpart here; the monitor tool and OnSQL remain.
    if (FOptions.Contains(moDBMonitor) && FDBMonitor) {
        AnsiString description = T.Text;
        if (!paramText.empty()) description += CRLF + paramText;
        Quietly([&] {
            SendEvent(T.Obj, description, T.EventType, T.Start, EventID, T.SQL, T.ForStatement ? T.Params : nullptr,
                      T.Failed, T.ErrorText);
        });
    }
    if (OnSQL && (T.Start || T.EventOnBothEnds)) {
        AnsiString text = T.OnSQLText ? *T.OnSQLText : T.Text;
        if (T.ForStatement && FTraceFlags.Contains(tfParams) && !paramText.empty()) text += CRLF + paramText;
        Quietly([&] { OnSQL(T.Obj, text, T.Flag); });
    }
}

// ---------------------------------------------------------------------------------------------
// Instance traces

void TCustomDASQLMonitor::SQLExecuteTrace(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params,
                                          const AnsiString& Operation, bool Start, int32_t& EventID) {
    if (!Tracing(tfQExecute)) return;
    if (Start && FOptions.Contains(moDialog) && SQLMonitorDialogHook) {
        bool debug = false;
        if (auto* s = dynamic_cast<TCustomDASQL*>(Obj)) debug = s->Debug();
        if (auto* d = dynamic_cast<TCustomDADataSet*>(Obj)) debug = d->Debug();
        if ((!FOptions.Contains(moCustom) && !ComponentState().Contains(rtl::csDesigning)) || debug) {
            Quietly(
                [&] { SQLMonitorDialogHook(Obj, SQL, Operation.empty() ? AnsiString("Execute") : Operation, Params); });
        }
    }
    Output({.Obj = Obj,
            .Text = "SQL Execute" + ObjectText(Obj) + ": " + SQL,
            .Flag = tfQExecute,
            .EventType = ET_EXECUTE,
            .Start = Start,
            .SQL = SQL,
            .Params = Params,
            .ForStatement = true},
           EventID);
}

void TCustomDASQLMonitor::PrepareTrace(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params,
                                       bool Start, int32_t& EventID, bool Unprepare) {
    if (!Tracing(tfQPrepare)) return;
    const AnsiString word = Unprepare ? "Unprepare" : "Prepare";
    if (Start && FOptions.Contains(moDialog) && SQLMonitorDialogHook && !FOptions.Contains(moCustom) &&
        !ComponentState().Contains(rtl::csDesigning)) {
        Quietly([&] { SQLMonitorDialogHook(Obj, SQL, word, Params); });
    }
    Output({.Obj = Obj,
            .Text = "SQL " + word + ObjectText(Obj) + ": " + SQL,
            .OnSQLText = word + ": " + SQL,
            .Flag = tfQPrepare,
            .EventType = Unprepare ? ET_UNPREPARE : ET_PREPARE,
            .Start = Start,
            .SQL = SQL,
            .Params = Params,
            .ForStatement = true},
           EventID);
}

namespace {

AnsiString UserAtServer(rtl::TComponent* Obj) {
    auto* conn = dynamic_cast<TCustomDAConnection*>(Obj);
    return conn ? conn->Username() + "@" + conn->Server() : AnsiString();
}

}  // namespace

void TCustomDASQLMonitor::ConnectTrace(rtl::TComponent* Obj, bool Start, int32_t& EventID, bool Connect) {
    if (!Tracing(tfConnect)) return;
    auto* conn = dynamic_cast<TCustomDAConnection*>(Obj);
    AnsiString sql;
    if (conn) sql = "Username=" + conn->Username() + "\r\nServer=" + conn->Server();
    Output({.Obj = Obj,
            .Text = AnsiString(Connect ? "Connect: " : "Disconnect: ") + UserAtServer(Obj) + ObjectText(Obj),
            .Flag = tfConnect,
            .EventType = Connect ? ET_CONNECT : ET_DISCONNECT,
            .Start = Start,
            .SQL = Connect ? sql : AnsiString()},
           EventID);
}

void TCustomDASQLMonitor::TCStart(rtl::TComponent* Obj, bool Start, int32_t& EventID) {
    if (!Tracing(tfTransact)) return;
    Output({.Obj = Obj,
            .Text = "Start: " + UserAtServer(Obj) + ObjectText(Obj),
            .Flag = tfTransact,
            .EventType = ET_TRANSACTION_START,
            .Start = Start},
           EventID);
}

void TCustomDASQLMonitor::TCCommit(rtl::TComponent* Obj, bool Start, int32_t& EventID) {
    if (!Tracing(tfTransact)) return;
    Output({.Obj = Obj,
            .Text = "Commit: " + UserAtServer(Obj) + ObjectText(Obj),
            .Flag = tfTransact,
            .EventType = ET_COMMIT,
            .Start = Start},
           EventID);
}

void TCustomDASQLMonitor::TCRollback(rtl::TComponent* Obj, bool Start, int32_t& EventID) {
    if (!Tracing(tfTransact)) return;
    Output({.Obj = Obj,
            .Text = "Rollback: " + UserAtServer(Obj) + ObjectText(Obj),
            .Flag = tfTransact,
            .EventType = ET_ROLLBACK,
            .Start = Start},
           EventID);
}

void TCustomDASQLMonitor::RetainingTrace(rtl::TComponent* Obj, bool Start, int32_t& EventID, bool Commit) {
    if (!Tracing(tfTransact)) return;
    Output({.Obj = Obj,
            .Text = AnsiString(Commit ? "CommitRetaining: " : "RollbackRetaining: ") + ObjectText(Obj),
            .Flag = tfTransact,
            .EventType = Commit ? ET_COMMIT : ET_ROLLBACK,
            .Start = Start},
           EventID);
}

void TCustomDASQLMonitor::SavepointTrace(rtl::TComponent* Obj, const AnsiString& Text, bool Start, int32_t& EventID) {
    if (!Tracing(tfTransact)) return;
    Output({.Obj = Obj,
            .Text = Text + " " + ObjectText(Obj),
            .Flag = tfTransact,
            .EventType = ET_SAVEPOINT,
            .Start = Start,
            .EventOnBothEnds = true},
           EventID);
}

void TCustomDASQLMonitor::ErrorTrace(const AnsiString& Message) {
    if (!Tracing(tfError)) return;
    // The monitor tool hears an error as an end that failed; OnSQL hears it whenever it comes.
    int32_t id = 0;
    Output({.Obj = this,
            .Text = "Error: " + Message,
            .Flag = tfError,
            .EventType = ET_ERROR,
            .Start = false,
            .EventOnBothEnds = true,
            .Failed = true,
            .ErrorText = Message},
           id);
}

void TCustomDASQLMonitor::ObjectDestroyedTrace(rtl::TComponent* Obj) {
    if (!Tracing(tfObjDestroy)) return;
    const AnsiString text = "Object destroyed: " + MonitorObjectName(Obj);
    int32_t id = 0;
    for (bool start : {true, false})
        Output({.Obj = Obj, .Text = text, .Flag = tfObjDestroy, .EventType = ET_OBJECT_DESTROYED, .Start = start}, id);
    if (FWatched.erase(Obj)) RemoveFreeNotification(Obj);
    ForgetMonitorObject(Obj);
}

// ---------------------------------------------------------------------------------------------
// Class-level entry points

void TCustomDASQLMonitor::TraceSQL(rtl::TComponent* Obj, const AnsiString& SQL, bool Start, int32_t& EventID,
                                   const AnsiString& Operation, const db::TParams* Params) {
    if (TCustomDASQLMonitor* m = MonitorFor(Obj))
        m->SQLExecuteTrace(Obj, SQL, Params, Operation, Start, EventID);
    else if (Start && SQLMonitorDialogHook) {
        Quietly([&] { SQLMonitorDialogHook(Obj, SQL, Operation.empty() ? AnsiString("Execute") : Operation, Params); });
    }
}

void TCustomDASQLMonitor::TracePrepare(rtl::TComponent* Obj, const AnsiString& SQL, bool Start, int32_t& EventID,
                                       const db::TParams* Params) {
    const AnsiString sql = rtl::TrimRight(SQL);
    if (TCustomDASQLMonitor* m = MonitorFor(Obj))
        m->PrepareTrace(Obj, sql, Params, Start, EventID, false);
    else if (Start && SQLMonitorDialogHook) {
        Quietly([&] { SQLMonitorDialogHook(Obj, sql, "Prepare", Params); });
    }
}

void TCustomDASQLMonitor::TraceUnprepare(rtl::TComponent* Obj, const AnsiString& SQL, bool Start, int32_t& EventID,
                                         const db::TParams* Params) {
    const AnsiString sql = rtl::TrimRight(SQL);
    if (TCustomDASQLMonitor* m = MonitorFor(Obj))
        m->PrepareTrace(Obj, sql, Params, Start, EventID, true);
    else if (Start && SQLMonitorDialogHook) {
        Quietly([&] { SQLMonitorDialogHook(Obj, sql, "Unprepare", Params); });
    }
}

void TCustomDASQLMonitor::TraceConnect(rtl::TComponent* Connection, bool Start, int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Connection)) m->ConnectTrace(Connection, Start, EventID, true);
}

void TCustomDASQLMonitor::TraceDisconnect(rtl::TComponent* Connection, bool Start, int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Connection)) m->ConnectTrace(Connection, Start, EventID, false);
}

void TCustomDASQLMonitor::ClassTCStart(rtl::TComponent* Obj, bool Start, int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Obj)) m->TCStart(Obj, Start, EventID);
}

void TCustomDASQLMonitor::ClassTCCommit(rtl::TComponent* Obj, bool Start, int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Obj)) m->TCCommit(Obj, Start, EventID);
}

void TCustomDASQLMonitor::ClassTCRollback(rtl::TComponent* Obj, bool Start, int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Obj)) m->TCRollback(Obj, Start, EventID);
}

void TCustomDASQLMonitor::TraceSavepoint(rtl::TComponent* Transaction, const AnsiString& Name, bool Start,
                                         int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Transaction))
        m->SavepointTrace(Transaction, "Savepoint " + Name, Start, EventID);
}

void TCustomDASQLMonitor::TraceRollbackToSavepoint(rtl::TComponent* Transaction, const AnsiString& Name, bool Start,
                                                   int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Transaction))
        m->SavepointTrace(Transaction, "Rollback to savepoint " + Name, Start, EventID);
}

void TCustomDASQLMonitor::TraceReleaseSavepoint(rtl::TComponent* Transaction, const AnsiString& Name, bool Start,
                                                int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Transaction))
        m->SavepointTrace(Transaction, "Release savepoint " + Name, Start, EventID);
}

void TCustomDASQLMonitor::TraceCommitRetaining(rtl::TComponent* Transaction, bool Start, int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Transaction)) m->RetainingTrace(Transaction, Start, EventID, true);
}

void TCustomDASQLMonitor::TraceRollbackRetaining(rtl::TComponent* Transaction, bool Start, int32_t& EventID) {
    if (TCustomDASQLMonitor* m = MonitorFor(Transaction)) m->RetainingTrace(Transaction, Start, EventID, false);
}

void TCustomDASQLMonitor::TraceError(const rtl::Exception& E, rtl::TComponent* Obj) {
    if (Obj) {
        if (TCustomDASQLMonitor* m = MonitorFor(Obj)) m->ErrorTrace(E.Message());
        return;
    }
    std::vector<TCustomDASQLMonitor*> monitors;
    {
        std::lock_guard<std::mutex> guard(RegistryLock());
        for (auto& [cls, m] : Registry()) monitors.push_back(m);
    }
    for (TCustomDASQLMonitor* m : monitors) m->ErrorTrace(E.Message());
}

void TCustomDASQLMonitor::TraceObjectDestroyed(rtl::TComponent* Obj) {
    if (TCustomDASQLMonitor* m = MonitorFor(Obj)) m->ObjectDestroyedTrace(Obj);
}

// ---------------------------------------------------------------------------------------------
// Short forms

void TCustomDASQLMonitor::SQLPrepare(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params, bool Start,
                                     bool Debug) {
    if (!Debug && !HasMonitor()) return;
    WithPendingEventId(Obj, ET_PREPARE, Start, [&](int32_t& id) { TracePrepare(Obj, SQL, Start, id, Params); });
}

void TCustomDASQLMonitor::SQLUnprepare(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params,
                                       bool Start) {
    if (!HasMonitor()) return;
    WithPendingEventId(Obj, ET_UNPREPARE, Start, [&](int32_t& id) { TraceUnprepare(Obj, SQL, Start, id, Params); });
}

void TCustomDASQLMonitor::SQLExecute(rtl::TComponent* Obj, const AnsiString& SQL, const db::TParams* Params,
                                     const AnsiString& Operation, bool Start, bool Debug) {
    if (!Debug && !HasMonitor()) return;
    WithPendingEventId(Obj, ET_EXECUTE, Start, [&](int32_t& id) { TraceSQL(Obj, SQL, Start, id, Operation, Params); });
}

void TCustomDASQLMonitor::DBConnect(rtl::TComponent* Obj, bool Start) {
    if (!HasMonitor()) return;
    WithPendingEventId(Obj, ET_CONNECT, Start, [&](int32_t& id) { TraceConnect(Obj, Start, id); });
}

void TCustomDASQLMonitor::DBDisconnect(rtl::TComponent* Obj, bool Start) {
    if (!HasMonitor()) return;
    WithPendingEventId(Obj, ET_DISCONNECT, Start, [&](int32_t& id) { TraceDisconnect(Obj, Start, id); });
}

void TCustomDASQLMonitor::DBError(rtl::TComponent* Obj, const AnsiString& Message) {
    if (!HasMonitor()) return;
    TraceError(rtl::Exception(Message), Obj);
}

}  // namespace daccess
