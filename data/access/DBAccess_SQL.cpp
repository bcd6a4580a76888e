// The SQL command component: text, parameters and macros over one provider command, with counted
// connects around each execution and bounded repetition after fail-over.
#include "data/access/DASQLMonitor.h"
#include "data/access/DBAccess_DataSet.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"

namespace daccess {

void ExecuteWithFailover(TCustomDAConnection* Connection, TConnLostCause Cause, const std::function<void()>& Body,
                         const std::function<void()>& AfterRestore) {
    if (!Connection) {
        Body();
        return;
    }
    for (int attempt = 0;; ++attempt) {
        // The last attempt may not fail over: a server that drops every time gets its own error
        // raised instead of holding the caller here forever.
        Connection->PushOperation(Cause, attempt < MaxFailoverRetries && Connection->IsFailOverAllowed());
        try {
            rtl::TryFinally(Body, [&] { Connection->PopOperation(); });
        } catch (const EFailOver&) {
            if (attempt >= MaxFailoverRetries) throw;
            Connection->RestoreAfterFailover();
            if (AfterRestore) AfterRestore();
            continue;
        }
        return;
    }
}

namespace {

AnsiString TrimTrailingControls(const AnsiString& Text) {
    size_t n = Text.size();
    while (n > 0 && static_cast<unsigned char>(Text[n - 1]) < 33) --n;
    return Text.substr(0, n);
}

// Scans parameters when no provider command exists yet (no connection): the base parser.
class TParamScanCommand final : public TCRCommand {
    RTL_CLASS(TParamScanCommand, TCRCommand)
public:
    static const store::TParserClass& GetParserClass() { return store::TSQLParser::StaticClass(); }
    bool GetPrepared() const override { return false; }
    void Execute(int) override {}
    uint8_t GetCursorState() const override { return csInactive; }
    void SetCursorState(uint8_t) override {}
    AnsiString CreateProcCall(const AnsiString&, bool, bool) override { return {}; }
};

}  // namespace

// Rebuilds Params from the command's descriptors, keeping the values of names that survive.
void RebuildParamsFromCommand(TDAParams* Params, TCRCommand* Command, const store::TFieldTypeMap& Map) {
    // Most statements have no parameters before or after: nothing to rebuild.
    if (Params->Count() == 0 && Command->ParamCount() == 0) return;
    rtl::TOwnedPtr<TDAParams> old(rtl::Create<TDAParams>());
    for (int i = 0; i < Params->Count(); ++i) static_cast<TDAParam*>(old->Add())->Assign(Params->Items(i));
    Params->BeginUpdate();
    rtl::TryFinally(
        [&] {
            Params->Clear();
            for (int i = 0; i < Command->ParamCount(); ++i) {
                TParamDesc* desc = Command->Params(i);
                auto* p = static_cast<TDAParam*>(Params->Add());
                if (TDAParam* prev = old->FindParam(desc->GetName()))
                    p->Assign(prev);
                else
                    ReadParamDesc(*p, *desc, Map);
            }
        },
        [&] { Params->EndUpdate(); });
}

// Parameters of a text the connection's dialect (or the base parser) finds in it.
void ScanParamsOf(const AnsiString& Text, TDAParams* Params, TCustomDAConnection* Connection) {
    rtl::TOwnedPtr<TCRCommand> scan(Connection ? Connection->GetICommandClass().Create()
                                               : rtl::Create<TParamScanCommand>());
    scan->SetSQL(Text);
    RebuildParamsFromCommand(Params, scan.get(), TDAFieldTypeMap::Instance());
}

// ---------------------------------------------------------------------------------------------
// Construction

TCustomDASQL::TCustomDASQL(rtl::TComponent* Owner) : TComponent(Owner) {
    FDataSet = dynamic_cast<TCustomDADataSet*>(Owner);
}

void TCustomDASQL::AfterConstruction() {
    TComponent::AfterConstruction();
    FParams.reset(CreateParams());
    // A dataset's macros tell the dataset, which closes before its text is derived again.
    FMacros.reset(rtl::Create<TMacros>(FDataSet ? static_cast<rtl::TPersistent*>(FDataSet) : this));
}

TDAParams* TCustomDASQL::CreateParams() { return rtl::Create<TDAParams>(this); }

void TCustomDASQL::Release() {
    if (FReleased) return;
    FReleased = true;
    try {
        UnPrepare();
    } catch (...) {
        // Going away regardless.
    }
    if (FConnection && !FDataSet) FConnection->UnRegisterClient(this);
    FConnection = nullptr;
    FreeICommand();
}

void TCustomDASQL::BeforeDestruction() {
    Release();
    TComponent::BeforeDestruction();
}

TCustomDASQL::~TCustomDASQL() {
    // The connection's internal component is deleted through its interface, without the second phase.
    Release();
}

void TCustomDASQL::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != rtl::opRemove) return;
    if (AComponent == FTransaction) FTransaction = nullptr;
    if (AComponent == FConnection) SetConnection(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Connection

void TCustomDASQL::SetConnection(TCustomDAConnection* Value) {
    if (Value == FConnection) return;
    if (FConnection) {
        try {
            UnPrepare();
        } catch (...) {
            // The old connection is being left; its errors are not this caller's.
        }
        FParams->Unbind();
        FConnection->UnRegisterClient(this);
        FConnection->RemoveFreeNotification(this);
    }
    FConnection = Value;
    if (Value) {
        Value->RegisterClient(this,
                              [this](rtl::TObject* Sender, bool Connecting) { ConnectChange(Sender, Connecting); });
        Value->FreeNotification(this);
        if (FICommand && !FDataSet) FICommand->SetConnection(Value->IConnection());
    }
}

void TCustomDASQL::SetTransaction(TDATransaction* Value) { SetNotifiedReference(FTransaction, Value); }

TCustomDAConnection* TCustomDASQL::UsedConnection() const {
    if (FConnection) return FConnection;
    return FDataSet ? FDataSet->UsedConnection() : nullptr;
}

TDATransaction* TCustomDASQL::UsedTransaction() const {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return nullptr;
    TDATransaction* tr = nullptr;
    if (conn->IsMultipleTransactionsSupported())
        tr = FTransaction ? FTransaction : (FDataSet ? FDataSet->UsedTransaction() : nullptr);
    return tr ? tr : conn->UsedTransaction();
}

void TCustomDASQL::BeginConnection(bool Counted) {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) db::DatabaseError(SConnectionNotDefined);
    if (Counted)
        conn->InternalConnect();
    else if (!conn->Connected())
        conn->Connect();
    if (FDataSet)
        FDataSet->CheckRecordSet();
    else
        CheckICommand();
    if (conn->IsMultipleTransactionsSupported()) {
        TDATransaction* tr = UsedTransaction();
        if (!tr) db::DatabaseError(STransactionNotAssigned);
        if (Counted) tr->AutoStart();
        if (!tr->Active()) tr->StartTransaction();
        if (TCRCommand* cmd = ICommand()) cmd->SetTransaction(tr->ITransaction());
    }
}

void TCustomDASQL::EndConnection() {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return;
    if (conn->IsMultipleTransactionsSupported())
        if (TDATransaction* tr = UsedTransaction()) tr->AutoEnd();
    conn->InternalDisconnect();
}

void TCustomDASQL::ConnectChange(rtl::TObject*, bool Connecting) {
    if (Connecting) return;
    ClientDisconnect();
}

void TCustomDASQL::ClientDisconnect() {
    if (FDataSet) {
        FDataSet->Disconnect(true);
        return;
    }
    UnPrepare();
    FParams->Unbind();
}

void TCustomDASQL::ClientSetIConnection(TCRConnection* Value) {
    if (FICommand && !FDataSet) FICommand->SetConnection(Value);
}

void TCustomDASQL::ClientResetAfterFatalError() {
    if (FICommand && FICommand->GetPrepared()) FICommand->Unprepare();
}

void TCustomDASQL::ClientForgetTransaction(TDATransaction* Transaction) {
    if (Transaction == FTransaction) FTransaction = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Command

TCRCommand* TCustomDASQL::ICommand() const { return FDataSet ? FDataSet->ICommand() : FICommand; }

void TCustomDASQL::FreeICommand() {
    if (FDataSet || !FICommand) return;
    TCRCommand* cmd = FICommand;
    FICommand = nullptr;
    rtl::TObject::Free(cmd);
}

void TCustomDASQL::CheckICommand() {
    if (FDataSet) return;
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return;
    const TCRCommandClass& cls = conn->GetICommandClass();
    if (FICommand && FICommand->ClassType() == &cls) return;
    FreeICommand();
    FICommand = cls.Create();
    FICommand->SetConnection(conn->IConnection());
    TDATransaction* tr = UsedTransaction();
    FICommand->SetTransaction(tr ? tr->ITransaction() : nullptr);
    FICommand->SetProp(pidAutoCommit, FAutoCommit);
    FICommand->SetProp(pidScanParams, FParamCheck);
    FICommand->SetProp(pidIsStoredProc, !FStoredProcName.empty());
    FICommand->AfterExecute = [this] { DoAfterExecute(true); };
    FICommand->SetComponent(Owner() && (dynamic_cast<TCustomDAConnection*>(Owner())) ? Owner() : this);
    SetNativeSQL();
}

void TCustomDASQL::SetNativeSQL() {
    TCRCommand* cmd = ICommand();
    if (!cmd) return;
    cmd->SetSQL(FDataSet ? FDataSet->GetFinalSQL() : GetFinalSQL());
}

// ---------------------------------------------------------------------------------------------
// Text, parameters, macros

AnsiString TCustomDASQL::GetFinalSQL() {
    AnsiString text = TrimTrailingControls(FSQL);
    if (FMacros->Count() > 0) FMacros->Expand(text);
    return text;
}

void TCustomDASQL::SetSQL(const AnsiString& Value) {
    if (Value == FSQL) return;
    if (FDataSet) {
        FDataSet->Close();
        FDataSet->UnPrepare();
    } else {
        UnPrepare();
    }
    FSQL = Value;
    FStoredProcName.clear();
    if (!FNoMacroScan) ScanMacros();
    SQLChanged();
}

void TCustomDASQL::SetSQLText(const AnsiString& Text) {
    // The connection's statements: the same text still gets its parameters derived anew.
    if (Text == FSQL) {
        SQLChanged();
        return;
    }
    SetSQL(Text);
}

void TCustomDASQL::SetParamCheck(bool Value) {
    FParamCheck = Value;
    if (FICommand) FICommand->SetProp(pidScanParams, Value);
    if (Value) SQLChanged();
}

void TCustomDASQL::ScanMacros() { FMacros->Scan(FSQL); }

void TCustomDASQL::SQLChanged() {
    if (FDataSet) {
        FDataSet->SQLTextChanged();
        return;
    }
    CheckICommand();
    if (!FParamCheck || FKeepParams) {
        // The command still needs the new text.
        SetNativeSQL();
        return;
    }
    if (FICommand) {
        SetNativeSQL();
        CreateParamsFromCommand();
    } else {
        ScanParams(GetFinalSQL(), FParams.get());
    }
}

void TCustomDASQL::ScanParams(const AnsiString& Text, TDAParams* Params) {
    ScanParamsOf(Text, Params, UsedConnection());
}

void TCustomDASQL::CreateParamsFromCommand() {
    if (TCRCommand* cmd = ICommand()) RebuildParamsFromCommand(FParams.get(), cmd, TDAFieldTypeMap::Instance());
}

void TCustomDASQL::SetAutoCommit(bool Value) {
    FAutoCommit = Value;
    if (FICommand && !FDataSet) FICommand->SetProp(pidAutoCommit, Value);
}

TDAParam* TCustomDASQL::FindResultParam() {
    for (int i = FParams->Count() - 1; i >= 0; --i)
        if (FParams->Items(i)->ParamType() == db::ptResult) return FParams->Items(i);
    return nullptr;
}

void TCustomDASQL::WriteParams(bool WithValues) {
    TCRCommand* cmd = ICommand();
    if (!cmd) return;
    if (FParams->Count() == 0 && cmd->ParamCount() == 0) {
        FParams->SetParamsChangeType(pbByNumber);
        return;
    }
    TParamDescOptions options;
    if (TCustomDAConnection* conn = UsedConnection()) {
        options.ConvertEOL = conn->ConvertEOL();
        if (TCRConnection* ic = conn->IConnection()) {
            Variant size;
            if (TryGetProp(ic, pidStringParamSize, size)) options.DefaultSize = size.AsInteger();
        }
    }
    const store::TFieldTypeMap& map = TDAFieldTypeMap::Instance();
    const bool byName = FParams->ParamsChangeType() == pbByName;
    for (int i = 0; i < FParams->Count(); ++i) {
        TDAParam* p = FParams->Items(i);
        TParamDesc* desc = nullptr;
        if (byName && !p->Name().empty()) desc = cmd->FindParam(p->Name());
        if (!desc && !byName && i < cmd->ParamCount()) desc = cmd->Params(i);
        if (!desc) desc = cmd->AddParam();
        WriteParamDesc(*p, *desc, map, options);
        if (WithValues) WriteParamValue(*p, *desc, options);
    }
    if (!byName)
        while (cmd->ParamCount() > FParams->Count()) cmd->DeleteParam(cmd->ParamCount() - 1);
    FParams->SetParamsChangeType(pbByNumber);
}

void TCustomDASQL::ReadOutParams() {
    TCRCommand* cmd = ICommand();
    if (!cmd) return;
    Variant has;
    if (!TryGetProp(cmd, pidHasOutValues, has) || !has.AsBoolean()) return;
    const bool convertEOL = UsedConnection() && UsedConnection()->ConvertEOL();
    for (int i = 0; i < FParams->Count() && i < cmd->ParamCount(); ++i) {
        TDAParam* p = FParams->Items(i);
        const db::TParamType t = p->ParamType();
        // Input values stay as the caller set them.
        if (t != db::ptOutput && t != db::ptInputOutput && t != db::ptResult) continue;
        ReadParamValue(*p, *cmd->Params(i), convertEOL);
    }
    cmd->SetProp(pidHasOutValues, false);
}

// ---------------------------------------------------------------------------------------------
// Prepare and execute

bool TCustomDASQL::Prepared() const {
    TCRCommand* cmd = ICommand();
    return cmd && cmd->GetPrepared();
}

void TCustomDASQL::Prepare() {
    if (Prepared()) return;
    BeginConnection(true);
    try {
        TCustomDASQLMonitor::SQLPrepare(this, GetFinalSQL(), FParams.get(), true, FDebug);
        WriteParams(false);
        ICommand()->Prepare();
        Variant described;
        if (TryGetProp(ICommand(), pidDescribesParams, described) && described.AsBoolean()) CreateParamsFromCommand();
        TCustomDASQLMonitor::SQLPrepare(this, GetFinalSQL(), FParams.get(), false, FDebug);
    } catch (...) {
        EndConnection();
        throw;
    }
}

void TCustomDASQL::UnPrepare() {
    if (!Prepared()) return;
    rtl::TryFinally(
        [&] {
            TCustomDASQLMonitor::SQLUnprepare(this, GetFinalSQL(), FParams.get(), true);
            ICommand()->Unprepare();
            TCustomDASQLMonitor::SQLUnprepare(this, GetFinalSQL(), FParams.get(), false);
        },
        [&] { EndConnection(); });
}

bool TCustomDASQL::Executing() const {
    TCRCommand* cmd = ICommand();
    if (!cmd) return false;
    Variant v;
    return TryGetProp(cmd, pidExecuting, v) && v.AsBoolean();
}

int TCustomDASQL::RowsAffected() const {
    TCRCommand* cmd = ICommand();
    if (!cmd) return 0;
    Variant v;
    return TryGetProp(cmd, pidRowsAffected, v) ? v.AsInteger() : 0;
}

void TCustomDASQL::ExecuteIters(int Iters) {
    if (Executing()) return;
    BeginConnection(true);
    TCustomDAConnection* conn = UsedConnection();
    // Ended here rather than in the command's hook, which a failing statement never reaches.
    rtl::TryFinally(
        [&] {
            // The traced text is made only for someone who reads it.
            const bool trace = !FTraceSuppressed && (FDebug || TCustomDASQLMonitor::HasMonitor());
            const AnsiString finalSQL = trace ? GetFinalSQL() : AnsiString();
            if (trace) TCustomDASQLMonitor::SQLExecute(this, finalSQL, FParams.get(), "Execute", true, FDebug);
            if (BeforeExecute) BeforeExecute(this);
            TCRCommand* cmd = ICommand();
            cmd->SetConnection(conn->IConnection());
            cmd->SetProp(pidAutoCommit, FAutoCommit);
            WriteParams(true);
            ExecuteWithFailover(
                conn, clExecute, [&] { cmd->Execute(Iters); }, [&] { cmd->SetConnection(conn->IConnection()); });
            if (trace) TCustomDASQLMonitor::SQLExecute(this, finalSQL, FParams.get(), "Execute", false, FDebug);
        },
        [&] { EndConnection(); });
}

void TCustomDASQL::DoAfterExecute(bool Result) {
    TCustomDAConnection* conn = UsedConnection();
    if (Result) {
        ReadOutParams();
        if (conn && conn->IConnection()) {
            Variant id;
            if (TryGetProp(conn->IConnection(), pidLastInsertId, id)) FLastInsertId = id.AsInt64();
        }
    }
    if (conn && conn->IsMultipleTransactionsSupported())
        if (TDATransaction* tr = UsedTransaction()) tr->AutoCommit(conn->AutoCommit() && FAutoCommit);
    if (AfterExecute) AfterExecute(this, Result);
}

void TCustomDASQL::PrepareStoredProc(const AnsiString& Name, bool NeedDescribe, bool IsQuery) {
    if (Name.empty()) db::DatabaseError(SStoredProcNotDefined);
    BeginConnection(true);
    rtl::TryFinally(
        [&] {
            TCRCommand* cmd = ICommand();
            cmd->SetConnection(UsedConnection()->IConnection());
            if (!NeedDescribe) WriteParams(false);
            const AnsiString call = cmd->CreateProcCall(Name, NeedDescribe, IsQuery);
            // The call's parameters come from the description, not from scanning the text.
            cmd->SetProp(pidDisableParamScan, true);
            cmd->SetSQL(call);
            cmd->SetProp(pidDisableParamScan, false);
            FSQL = call;
            FMacros->Scan(FSQL);
            if (NeedDescribe) CreateParamsFromCommand();
        },
        [&] { EndConnection(); });
    FStoredProcName = Name;
    FStoredProcIsQuery = IsQuery;
}

}  // namespace daccess
