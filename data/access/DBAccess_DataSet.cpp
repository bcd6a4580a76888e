// The query dataset: record set installation, counted connects, open, execute and close.
#include <algorithm>

#include "data/access/DASQLMonitor.h"
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "data/store/MemUtils.h"
#include "data/store/MemData_Store.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {


namespace {

bool VariantTrue(const Variant& V) { return !V.IsEmpty() && !V.IsNull() && V.AsBoolean(); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TCustomDADataSet::TCustomDADataSet(rtl::TComponent* Owner) : TMemDataSet(Owner) {}

void TCustomDADataSet::AfterConstruction() {
    TMemDataSet::AfterConstruction();
    FDataSQL = CreateInternalSQL();
    FOptions.reset(CreateOptions());
    FDataTypeMap.reset(rtl::Create<TDADataSetMapRules>(this));
    FEncryption.reset(CreateEncryptionOptions());
}

void TCustomDADataSet::Release() {
    if (FReleased) return;
    FReleased = true;
    try {
        Close();
        UnPrepare();
    } catch (...) {
        // Going away regardless.
    }
    if (FConnection) {
        FConnection->UnRegisterClient(this);
        FConnection->RemoveFreeNotification(this);
        FConnection = nullptr;
    }
    if (FUpdateObject) {
        FUpdateObject->RemoveFreeNotification(this);
        if (FUpdateObject->DataSet() == this) FUpdateObject->SetDataSet(nullptr);
        FUpdateObject = nullptr;
    }
    if (FHoldsFetchConnection) FHoldsFetchConnection = false;
    // The internal SQL component must not reach back into a dataset that is going away.
    if (FDataSQL) FDataSQL->FReleased = true;
}

void TCustomDADataSet::BeforeDestruction() {
    Release();
    TMemDataSet::BeforeDestruction();
}

TCustomDADataSet::~TCustomDADataSet() {
    FIRecordSetCR = nullptr;
    FICommand = nullptr;
}

void TCustomDADataSet::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TMemDataSet::Notification(AComponent, Operation);
    if (Operation != rtl::opRemove) return;
    if (AComponent == FTransaction) FTransaction = nullptr;
    if (AComponent == FUpdateTransaction) FUpdateTransaction = nullptr;
    if (AComponent == FConnection) SetConnection(nullptr);
    if (AComponent == FUpdateObject) FUpdateObject = nullptr;
    if (FEncryption && AComponent == FEncryption->Encryptor()) FEncryption->EncryptorRemoved();
}

TCustomDASQL* TCustomDADataSet::CreateInternalSQL() { return rtl::Create<TCustomDASQL>(this); }

TDADataSetOptions* TCustomDADataSet::CreateOptions() { return rtl::Create<TDADataSetOptions>(this); }

const store::TDataSetServiceClass& TCustomDADataSet::GetDataSetServiceClass() const {
    if (TCustomDAConnection* conn = UsedConnection()) return conn->GetDataSetServiceClass();
    return TDADataSetService::StaticClass();
}

namespace {
// Asked on every edit and post: the class chain is a walk over a few pointers, where a
// dynamic_cast compares type names.
template <class T, class S>
T* KnownAs(S* Object) noexcept {
    return Object && Object->InheritsFrom(&T::StaticClass()) ? static_cast<T*>(Object) : nullptr;
}
}  // namespace

bool TCustomDADataSet::CanModifyRecords() const {
    if (!Active()) return false;
    auto* self = const_cast<TCustomDADataSet*>(this);
    self->CheckDataSetService();
    auto* service = KnownAs<TDADataSetService>(DataSetService());
    return service ? service->CanModify() : !FReadOnly;
}

void TCustomDADataSet::SetKeyFields(const AnsiString& Value) {
    if (Value == FKeyFields) return;
    FKeyFields = Value;
    if (auto* service = dynamic_cast<TDADataSetService*>(DataSetService()); service && Active())
        service->ReinitFieldInfo();
}

void TCustomDADataSet::SetUpdatingTable(const AnsiString& Value) {
    if (Value == FUpdatingTable) return;
    FUpdatingTable = Value;
    if (auto* service = dynamic_cast<TDADataSetService*>(DataSetService()); service && Active())
        service->ReinitFieldInfo();
}

void TCustomDADataSet::SetUpdateObject(TCustomDAUpdateSQL* Value) {
    if (Value) {
        for (TStatementType t : {stUpdate, stInsert, stDelete, stRefresh})
            Value->CheckUpdateObject(Value->GetObject(t), this);
    }
    if (Value == FUpdateObject) return;
    if (FUpdateObject) {
        FUpdateObject->RemoveFreeNotification(this);
        if (FUpdateObject->DataSet() == this) FUpdateObject->SetDataSet(nullptr);
    }
    FUpdateObject = Value;
    if (Value) {
        if (Value->DataSet() && Value->DataSet() != this) Value->DataSet()->SetUpdateObject(nullptr);
        Value->SetDataSet(this);
        Value->FreeNotification(this);
    }
}

// ---------------------------------------------------------------------------------------------
// Connection and transactions

void TCustomDADataSet::SetConnection(TCustomDAConnection* Value) {
    if (Value == FConnection) return;
    if (FConnection) {
        Disconnect(true);
        FConnection->UnRegisterClient(this);
        FConnection->RemoveFreeNotification(this);
    }
    FConnection = Value;
    if (Value) {
        Value->RegisterClient(this,
                              [this](rtl::TObject* Sender, bool Connecting) { ConnectChange(Sender, Connecting); });
        Value->FreeNotification(this);
        if (FIRecordSetCR) FIRecordSetCR->SetConnection(Value->IConnection());
    } else if (FIRecordSetCR) {
        FIRecordSetCR->SetConnection(nullptr);
    }
}

void TCustomDADataSet::SetTransaction(TDATransaction* Value) { SetNotifiedReference(FTransaction, Value); }

void TCustomDADataSet::SetUpdateTransaction(TDATransaction* Value) { SetNotifiedReference(FUpdateTransaction, Value); }

TDATransaction* TCustomDADataSet::UsedTransaction() const {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return nullptr;
    if (conn->IsMultipleTransactionsSupported() && FTransaction) return FTransaction;
    return conn->UsedTransaction();
}

TDATransaction* TCustomDADataSet::UsedUpdateTransaction() const {
    TCustomDAConnection* conn = UsedConnection();
    if (FUpdateTransaction && conn && conn->IsMultipleTransactionsSupported()) return FUpdateTransaction;
    return UsedTransaction();
}

void TCustomDADataSet::BeginConnection(bool Counted) {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) db::DatabaseError(SConnectionNotDefined);
    if (Counted) conn->InternalConnect();
    try {
        if (!conn->Connected()) conn->Connect();
        CheckRecordSet();
        CheckDataSetService();
        if (conn->IsMultipleTransactionsSupported()) {
            TDATransaction* tr = UsedTransaction();
            if (!tr) db::DatabaseError(STransactionNotAssigned);
            if (Counted) tr->AutoStart();
            if (!tr->Active()) tr->StartTransaction();
            if (FIRecordSetCR) FIRecordSetCR->SetTransaction(tr->ITransaction());
        }
        if (FIRecordSetCR) FIRecordSetCR->SetConnection(conn->IConnection());
    } catch (...) {
        if (Counted) conn->InternalDisconnect();
        throw;
    }
}

void TCustomDADataSet::EndConnection() {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return;
    if (conn->IsMultipleTransactionsSupported())
        if (TDATransaction* tr = UsedTransaction()) tr->AutoEnd();
    conn->InternalDisconnect();
}

void TCustomDADataSet::Disconnect(bool Hard) {
    if (Hard) {
        Close();
        UnPrepare();
        FieldDefs().SetUpdated(false);
    } else if (FIRecordSetCR) {
        FIRecordSetCR->UnprepareFields();
    }
    Params()->Unbind();
}

void TCustomDADataSet::ConnectChange(rtl::TObject* Sender, bool Connecting) {
    if (!Connecting) {
        TCustomDAConnection* conn = UsedConnection();
        Disconnect(!(conn && conn->Options()->DisconnectedMode()));
        return;
    }
    if (!dynamic_cast<TCustomDAConnection*>(Sender) && FIRecordSetCR && UsedConnection())
        FIRecordSetCR->SetConnection(UsedConnection()->IConnection());
}

void TCustomDADataSet::ClientSetIConnection(TCRConnection* Value) {
    if (FIRecordSetCR) FIRecordSetCR->SetConnection(Value);
}

void TCustomDADataSet::ClientResetAfterFatalError() {
    if (FIRecordSetCR) FIRecordSetCR->UnprepareFields();
}

void TCustomDADataSet::ClientForgetTransaction(TDATransaction* Transaction) {
    if (Transaction == FTransaction) FTransaction = nullptr;
    if (Transaction == FUpdateTransaction) FUpdateTransaction = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Record set

void TCustomDADataSet::CreateIRecordSet() {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) {
        SetIRecordSet(nullptr);
        return;
    }
    TCRRecordSet* rs = conn->GetIRecordSetClass().Create();
    rs->SetConnection(conn->IConnection());
    SetIRecordSet(std::unique_ptr<store::TData>(rs));
}

void TCustomDADataSet::SetIRecordSet(std::unique_ptr<store::TData> Value) {
    TMemDataSet::SetIRecordSet(std::move(Value));
    FIRecordSetCR = dynamic_cast<TCRRecordSet*>(FIRecordSet.get());
    FICommand = FIRecordSetCR ? FIRecordSetCR->GetCommand() : nullptr;
    if (!FIRecordSetCR) return;
    TCRRecordSet* rs = FIRecordSetCR;
    rs->SetConnection(FConnection ? FConnection->IConnection() : nullptr);
    rs->SetTransaction(FTransaction ? FTransaction->ITransaction() : nullptr);
    PassRecordSetProps();
    rs->OnBeforeFetch = [this](bool& Cancel) { DoBeforeFetch(Cancel); };
    rs->OnAfterFetch = [this] { DoAfterFetch(); };
    rs->SetComponent(this);
    if (FICommand) {
        FICommand->SetProp(pidAutoCommit, FAutoCommit);
        FICommand->AfterExecute = [this] { DoAfterExecute(true); };
    }
}

void TCustomDADataSet::PassRecordSetProps() {
    TCRRecordSet* rs = FIRecordSetCR;
    if (!rs) return;
    rs->SetProp(pidUniDirectional, FUniDirectional);
    rs->SetProp(pidFetchRows, FFetchRows);
    rs->SetProp(pidFetchAll, GetFetchAll());
    rs->SetProp(pidReadOnly, FReadOnly);
    rs->SetProp(pidLongStrings, FOptions->LongStrings());
    rs->SetProp(pidFlatBuffers, FOptions->FlatBuffers());
    rs->SetProp(pidCompressBlobMode, static_cast<int>(FOptions->CompressBlobMode()));
    rs->SetProp(pidDefaultValues, FOptions->DefaultValues());
    rs->SetProp(pidFieldsOrigin, FOptions->FieldsOrigin());
    rs->SetProp(pidExtendedFieldsInfo, FOptions->ExtendedFieldsInfo());
    rs->SetProp(pidRefreshAfterUpdate, FRefreshOptions.Contains(roAfterUpdate));
    rs->TrimFixedChar = FOptions->TrimFixedChar();
    rs->TrimVarChar = FOptions->TrimVarChar();
    rs->SetEmptyStrToNull = FOptions->SetEmptyStrToNull();
    rs->SetProp(pidEncryptedFields, FEncryption->Fields());
    rs->SetEncryptor(FEncryption->FieldEncryptor());
    if (FICommand) {
        FICommand->SetProp(pidQuoteNames, FOptions->QuoteNames());
        FICommand->SetProp(pidEnableBCD, FOptions->EnableBCD());
        FICommand->SetProp(pidEnableFMTBCD, FOptions->EnableFMTBCD());
    }
}

void TCustomDADataSet::CheckRecordSet() {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return;
    if (FIRecordSetCR && FIRecordSetCR->ClassType() == &conn->GetIRecordSetClass()) return;
    CreateIRecordSet();
}

bool TCustomDADataSet::IsQuery() { return FIRecordSetCR && FIRecordSetCR->IsQuery(); }

bool TCustomDADataSet::FetchFinished() {
    if (!FICommand) return false;
    const uint8_t state = FICommand->GetCursorState();
    return state >= csFetched || (Active() && state == csInactive);
}

bool TCustomDADataSet::Executing() {
    if (!FICommand) return false;
    Variant v;
    return TryGetProp(FICommand, pidExecuting, v) && VariantTrue(v);
}

void TCustomDADataSet::BreakExec() {
    if (FICommand) FICommand->BreakExec();
    if (FIRecordSetCR) FIRecordSetCR->BreakFetch();
}

store::TMemDataType TCustomDADataSet::GetDataType(const WideString& FieldName) {
    store::TFieldDesc* desc = FIRecordSet ? FIRecordSet->FindField(FieldName) : nullptr;
    if (!desc) db::DatabaseError(rtl::Format(store::SFieldNotFound, {rtl::WideToAnsi(FieldName)}));
    return desc->DataType;
}

store::TFieldDesc* TCustomDADataSet::GetFieldDesc(int FieldNo) {
    if (!FIRecordSet || FieldNo < 1 || FieldNo > FIRecordSet->FieldCount()) return nullptr;
    return FIRecordSet->Fields()[FieldNo - 1];
}

// ---------------------------------------------------------------------------------------------
// Text

AnsiString TCustomDADataSet::AddWhere(const AnsiString& SQL, const AnsiString& Condition) {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return daccess::AddWhere(SQL, Condition);
    return daccess::AddWhere(SQL, Condition, conn->GetICommandClass().GetParserClass(), true);
}

AnsiString TCustomDADataSet::GetWhere(const AnsiString& SQL) {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return daccess::GetWhere(SQL);
    return daccess::GetWhere(SQL, conn->GetICommandClass().GetParserClass(), true);
}

AnsiString TCustomDADataSet::GetFromPart(const AnsiString& SQL) {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return daccess::GetFrom(SQL);
    return daccess::GetFrom(SQL, conn->GetICommandClass().GetParserClass(), true);
}

AnsiString TCustomDADataSet::GetFinalSQL() {
    AnsiString text = FDataSQL->GetFinalSQL();
    if (!FFilterSQL.empty()) text = AddWhere(text, FFilterSQL);
    if (HasMasterDetailLink() && !FOptions->LocalMasterDetail()) {
        TSQLInfo* info = FICommand ? FICommand->SQLInfo() : nullptr;
        rtl::TOwnedPtr<TSQLInfo> global;
        if (!info) {
            global.reset(TSQLInfo::StaticClass().Create(&store::TSQLParser::StaticClass()));
            info = global.get();
        }
        AnsiString condition;
        size_t mp = 0, dp = 0;
        const WideString& masters = MasterFields();
        const WideString& details = DetailFields();
        while (mp < masters.size() && dp < details.size()) {
            const AnsiString m = rtl::WideToAnsi(db::ExtractFieldName(masters, mp));
            const AnsiString d = rtl::WideToAnsi(db::ExtractFieldName(details, dp));
            if (!condition.empty()) condition += " and ";
            condition += info->NormalizeName(d, FOptions->QuoteNames()) +
                         " = :" + info->NormalizeName(m, FOptions->QuoteNames());
        }
        if (!condition.empty()) text = AddWhere(text, condition);
    }
    return text;
}

void TCustomDADataSet::SQLTextChanged() {
    Close();
    UnPrepare();
    FieldDefs().SetUpdated(false);
    // The updater's generated statements come with the parameters the generator made.
    if (!FDataSQL->ParamCheck() || FDataSQL->FKeepParams) return;
    const AnsiString text = GetFinalSQL();
    if (FIRecordSetCR) {
        FIRecordSetCR->SetSQL(text);
        FDataSQL->CreateParamsFromCommand();
    } else {
        FDataSQL->ScanParams(text, Params());
    }
}

void TCustomDADataSet::MacrosChanged() { SQLTextChanged(); }

// ---------------------------------------------------------------------------------------------
// Prepare

void TCustomDADataSet::Prepare() {
    if (Prepared() || Active()) return;
    BeginConnection(true);
    try {
        if (MasterIsActive() && !FOptions->LocalMasterDetail()) SetMasterParams(Params());
        TCustomDASQLMonitor::SQLPrepare(this, GetFinalSQL(), Params(), true, FDebug);
        FIRecordSetCR->SetSQL(GetFinalSQL());
        FDataSQL->WriteParams(false);
        FDataTypeMap->CopyTo(FIRecordSetCR->MapRules());
        TMemDataSet::Prepare();
        TCustomDASQLMonitor::SQLPrepare(this, GetFinalSQL(), Params(), false, FDebug);
    } catch (...) {
        EndConnection();
        throw;
    }
}

void TCustomDADataSet::UnPrepare() {
    const bool wasPrepared = Prepared();
    rtl::TryFinally([&] { TMemDataSet::UnPrepare(); },
                    [&] {
                        if (wasPrepared) EndConnection();
                    });
}

// ---------------------------------------------------------------------------------------------
// Open and close

void TCustomDADataSet::OpenCursorStep(bool InfoQuery) {
    TCustomDAConnection* conn = UsedConnection();
    if (conn) conn->PushOperation(clOpen, conn->IsFailOverAllowed());
    rtl::TryFinally(
        [&] {
            BeginConnection(true);
            FHoldsFetchConnection = true;
            if (!Active()) {
                for (int attempt = 0;; ++attempt) {
                    try {
                        if (!FOptions->LocalMasterDetail() && MasterIsActive()) SetMasterParams(Params());
                        FRecordCount = FOptions->QueryRecCount() && !GetFetchAll() ? GetServerRecCount() : 0;
                        FRecordCountDelta = 0;
                        if (BeforeExecute) BeforeExecute(this);
                        FIRecordSetCR->SetSQL(GetFinalSQL());
                        FDataSQL->WriteParams(true);
                        FDataTypeMap->CopyTo(FIRecordSetCR->MapRules());
                        TMemDataSet::OpenCursorStep(InfoQuery);
                        break;
                    } catch (const EFailOver&) {
                        if (!conn || attempt >= MaxFailoverRetries) throw;
                        conn->RestoreAfterFailover();
                    }
                }
                Variant v;
                FRowsAffected = TryGetProp(FICommand, pidRowsAffectedOnOpen, v) && VariantTrue(v) &&
                                        TryGetProp(FICommand, pidRowsAffected, v)
                                    ? v.AsInteger()
                                    : -1;
            }
            // Everything is in memory already: the connection is not needed any longer.
            if (InfoQuery || FetchFinished()) {
                FHoldsFetchConnection = false;
                EndConnection();
            }
        },
        [&] {
            if (conn) conn->PopOperation();
        });
}

void TCustomDADataSet::OpenStep() {
    if (FOptions->AutoPrepare()) Prepare();
    // The text is built only for a trace that has somewhere to go.
    const bool trace = TCustomDASQLMonitor::HasMonitor();
    const AnsiString finalSQL = trace ? GetFinalSQL() : AnsiString();
    if (trace) TCustomDASQLMonitor::SQLExecute(this, finalSQL, Params(), "Open", true, FDebug);
    BeginConnection(true);
    rtl::TryFinally([&] { TMemDataSet::OpenStep(); }, [&] { EndConnection(); });
    if (trace) TCustomDASQLMonitor::SQLExecute(this, finalSQL, Params(), "Open", false, FDebug);
    SetUniDirectional(FUniDirectional);
    if (auto* service = dynamic_cast<TDADataSetService*>(DataSetService())) service->SetFieldProperties();
}

void TCustomDADataSet::CloseCursorStep() {
    rtl::TryFinally(
        [&] {
            TMemDataSet::CloseCursorStep();
            if (!Prepared() || (FIRecordSet && FIRecordSet->NeedFieldsRefresh())) FieldDefs().SetUpdated(false);
        },
        [&] {
            if (FHoldsFetchConnection) {
                FHoldsFetchConnection = false;
                EndConnection();
            }
        });
}

void TCustomDADataSet::CloseStep() {
    try {
        TMemDataSet::CloseStep();
    } catch (const EDAError& e) {
        // Closing after a lost connection must succeed.
        if (!e.IsFatalError()) throw;
    }
    if (FIRecordSetCR && FIRecordSetCR->TablesInfo()) FIRecordSetCR->TablesInfo()->Clear();
    // Prepared update statements would hold the connection after the dataset let it go.
    if (store::TDataSetService* service = DataSetService())
        if (auto* u = dynamic_cast<TDADataSetUpdater*>(service->Updater())) u->UnPrepareUpdateQueries();
}

// ---------------------------------------------------------------------------------------------
// Edits that the updater guards: refresh before edit, record locks

TDADataSetUpdater* TCustomDADataSet::DAUpdater() {
    CheckDataSetService();
    return KnownAs<TDADataSetUpdater>(DataSetService()->Updater());
}

void TCustomDADataSet::SetUpdateSQL(TStatementType StatementType, const AnsiString& Value) {
    if (StatementType < stInsert || StatementType > stRefresh)
        rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    FUpdateSQL[StatementType] = Value;
}

void TCustomDADataSet::SetRefreshOptions(TRefreshOptions Value) {
    FRefreshOptions = Value;
    if (FIRecordSetCR) FIRecordSetCR->SetProp(pidRefreshAfterUpdate, Value.Contains(roAfterUpdate));
}

void TCustomDADataSet::RefreshRecord() {
    CheckActive();
    CheckBrowseMode();
    if (IsEmpty()) return;
    UpdateCursorPos();
    if (TDADataSetUpdater* u = DAUpdater()) u->PerformRefreshRecord();
    Resync({});
}

void TCustomDADataSet::RefreshQuick(bool CheckDeleted) {
    CheckActive();
    if (TDADataSetUpdater* u = DAUpdater()) u->PerformRefreshQuick(CheckDeleted);
}

void TCustomDADataSet::Lock() {
    CheckActive();
    if (TDADataSetUpdater* u = DAUpdater()) u->LockRecord();
}

void TCustomDADataSet::UnLock() {
    if (TDADataSetUpdater* u = DAUpdater()) u->UnlockRecord();
}

void TCustomDADataSet::EditStep() {
    TDADataSetUpdater* u = DAUpdater();
    const bool holds = u && u->EditHoldsConnection();
    if (holds) BeginConnection(true);
    // The connection stays held for the edit; only a failed start gives it back.
    try {
        if (u) u->BeforeEdit();
        TMemDataSet::EditStep();
    } catch (...) {
        if (holds) EndConnection();
        throw;
    }
}

void TCustomDADataSet::DeleteStep() {
    if (TDADataSetUpdater* u = DAUpdater()) u->BeforeDelete();
    TMemDataSet::DeleteStep();
    --FRecordCountDelta;
}

void TCustomDADataSet::CancelStep() {
    TDADataSetUpdater* u = DAUpdater();
    const bool holds = u && u->HoldsConnection();
    rtl::TryFinally(
        [&] {
            rtl::TryFinally(
                [&] {
                    if (u) u->AfterCancel();
                },
                [&] { TMemDataSet::CancelStep(); });
        },
        [&] {
            if (holds) EndConnection();
        });
}

bool TCustomDADataSet::BelongsToMaster() {
    db::TDataSet* master = MasterSource() ? MasterSource()->DataSet() : nullptr;
    if (!master) return true;
    const bool caseSensitive = !FICommand || FIRecordSetCR->IsCaseSensitive();
    size_t mp = 0, dp = 0;
    while (mp < MasterFields().size() && dp < DetailFields().size()) {
        db::TField* m = master->FindField(db::ExtractFieldName(MasterFields(), mp));
        db::TField* d = FindField(db::ExtractFieldName(DetailFields(), dp));
        if (!m || !d) continue;
        const Variant a = m->Value(), b = d->Value();
        bool same;
        if (!caseSensitive && a.VType() == b.VType() && (a.VType() == rtl::varString || a.VType() == rtl::varOleStr))
            same = rtl::WideSameText(a.AsWideString(), b.AsWideString());
        else
            same = store::VarsEqual(a, b);
        if (!same) return false;
    }
    return true;
}

void TCustomDADataSet::PostStep() {
    TDADataSetUpdater* u = DAUpdater();
    const bool holds = u && u->HoldsConnection();
    const bool inserting = State() == db::dsInsert;
    rtl::TryFinally(
        [&] {
            TMemDataSet::PostStep();
            if (inserting) ++FRecordCountDelta;
            if (!FOptions->LocalMasterDetail() && MasterIsActive() && !BelongsToMaster()) {
                if (CachedUpdates()) rtl::AssertFail(SMasterDetailCachedUpdates, DBAccessUnit, __LINE__);
                // The server keeps the row; this detail no longer shows it.
                UpdateCursorPos();
                static_cast<store::TMemData*>(IRecordSet())->RemoveRecord();
                if (inserting) --FRecordCountDelta;
            }
        },
        [&] {
            if (holds) EndConnection();
        });
}

void TCustomDADataSet::DoBeforeFetch(bool& Cancel) {
    if (BeforeFetch) BeforeFetch(this, Cancel);
    FFetchInterrupted = Cancel;
}

void TCustomDADataSet::DoAfterFetch() {
    if (AfterFetch && (!GetFetchAll() || (FICommand && FICommand->GetCursorState() >= csFetched))) AfterFetch(this);
    if (FHoldsFetchConnection && FIRecordSetCR && FIRecordSetCR->IsFetchEnded()) {
        FHoldsFetchConnection = false;
        EndConnection();
    }
}

void TCustomDADataSet::ReopenRecordSet() {
    CheckIRecordSet();
    if (!FHoldsFetchConnection) {
        BeginConnection(true);
        FHoldsFetchConnection = true;
    }
    try {
        FIRecordSetCR->SetSQL(GetFinalSQL());
        FDataSQL->WriteParams(true);
        const int size = FIRecordSet->RecordSize();
        TMemDataSet::ReopenRecordSet();
        if (FIRecordSet->RecordSize() != size) {
            Close();
            Open();
        }
    } catch (const EFailOver&) {
        throw;
    } catch (...) {
        Close();
        throw;
    }
    if (FHoldsFetchConnection && FetchFinished()) {
        FHoldsFetchConnection = false;
        EndConnection();
    }
}

// ---------------------------------------------------------------------------------------------
// Execute

void TCustomDADataSet::Execute() {
    TCustomDAConnection* conn = UsedConnection();
    if (Executing()) return;
    BeginConnection(true);
    bool held = true;
    auto release = [&] {
        if (held) {
            held = false;
            EndConnection();
        }
    };
    rtl::TryFinally(
        [&] {
            if (Active()) Close();
            ExecuteWithFailover(conn, clExecute, [&] {
                if (FOptions->AutoPrepare()) Prepare();
                if (!FOptions->LocalMasterDetail() && MasterIsActive()) SetMasterParams(Params());
                if (BeforeExecute) BeforeExecute(this);
                const AnsiString finalSQL = GetFinalSQL();
                FIRecordSetCR->SetSQL(finalSQL);
                bool rows = IsQuery();
                if (!Prepared()) {
                    // Whether the statement returns rows is known once it is prepared.
                    FIRecordSetCR->Prepare();
                    rows = IsQuery();
                    FIRecordSetCR->Unprepare();
                }
                if (rows) {
                    Open();
                    return;
                }
                FDataSQL->WriteParams(true);
                TCustomDASQLMonitor::SQLExecute(this, finalSQL, Params(), "Execute", true, FDebug);
                FIRecordSetCR->ExecCommand();
                TCustomDASQLMonitor::SQLExecute(this, finalSQL, Params(), "Execute", false, FDebug);
            });
        },
        release);
}

void TCustomDADataSet::DoAfterExecute(bool Result) {
    TCustomDAConnection* conn = UsedConnection();
    const bool rows = IsQuery();
    if (Result) {
        FDataSQL->ReadOutParams();
        Variant v;
        if (TryGetProp(FICommand, pidRowsAffected, v)) FRowsAffected = v.AsInteger();
        if (!rows && conn && TryGetProp(conn->IConnection(), pidLastInsertId, v)) FLastInsertId = v.AsInt64();
    }
    if (!rows && conn && conn->IsMultipleTransactionsSupported())
        if (TDATransaction* tr = UsedTransaction()) tr->AutoCommit(conn->AutoCommit() && FAutoCommit);
    if (AfterExecute) AfterExecute(this, Result);
}

}  // namespace daccess
