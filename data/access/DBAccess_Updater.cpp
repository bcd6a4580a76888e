// The dataset updater: runs the statements that write one record's change and checks their effect.
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

namespace {

AnsiString QuotedIdent(const AnsiString& Name) {
    AnsiString q = "\"";
    for (char c : Name) {
        if (c == '"') q += c;
        q += c;
    }
    return q + "\"";
}
}  // namespace

TStatementType StatementTypeOf(db::TUpdateKind UpdateKind) {
    switch (UpdateKind) {
        case db::ukModify: return stUpdate;
        case db::ukInsert: return stInsert;
        case db::ukDelete: return stDelete;
    }
    return stUpdate;
}

TDADataSetUpdater::TDADataSetUpdater(store::TDataSetService* Service)
    : TDataSetUpdater(Service), FDAService(dynamic_cast<TDADataSetService*>(Service)) {
    if (!FDAService) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    FDADataSet = FDAService->DADataSet();
}

TDADataSetUpdater::~TDADataSetUpdater() = default;

void TDADataSetUpdater::UnPrepareUpdateQueries() {
    for (auto& q : FUpdateQueries)
        if (q) q->UnPrepare();
}

TCustomDASQL* TDADataSetUpdater::CreateUpdateQuery(TStatementType StatementType) {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    if (!conn) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    auto& q = FUpdateQueries[StatementType];
    if (!q) {
        q.reset(rtl::Create<TCustomDASQL>(nullptr));
        q->SetParamCheck(false);
        q->SetTraceSuppressed(true);
    }
    if (q->Connection() != conn) q->SetConnection(conn);
    if (conn->IsMultipleTransactionsSupported()) q->SetTransaction(FDADataSet->UsedUpdateTransaction());
    AfterCreateUpdateQuery(StatementType);
    return q.get();
}

AnsiString TDADataSetUpdater::GetUserSQL(TStatementType) { return AnsiString(); }

bool TDADataSetUpdater::PrepareUpdateQuery(const AnsiString& SQL, TStatementType StatementType, bool Generate) {
    FUseParamsInfo = false;
    FUpdateQuery = nullptr;
    TCustomDAUpdateSQL* uo = FDADataSet->UpdateObject();
    if (uo && uo->GetObject(StatementType)) {
        FUpdateQuery = uo->GetObject(StatementType);
        if (rtl::Trim(TDBAccessUtils::GetSQL(FUpdateQuery)).empty()) db::DatabaseError(SUpdateSQLEmpty);
        if (auto* sql = dynamic_cast<TCustomDASQL*>(FUpdateQuery); sql && !sql->Connection())
            sql->SetConnection(FDADataSet->UsedConnection());
        if (auto* ds = dynamic_cast<TCustomDADataSet*>(FUpdateQuery); ds && !ds->Connection())
            ds->SetConnection(FDADataSet->UsedConnection());
        if (SQL.empty()) return true;
    }
    TCustomDASQL* own = nullptr;
    if (!FUpdateQuery) {
        own = CreateUpdateQuery(StatementType);
        FUpdateQuery = own;
        const bool writes = StatementType == stInsert || StatementType == stUpdate || StatementType == stDelete ||
                            StatementType == stBatchUpdate;
        own->SetAutoCommit(writes && FDADataSet->AutoCommit());
    }
    AnsiString text = SQL;
    if (text.empty() && uo) text = uo->GetSQLText(StatementType);
    if (text.empty()) {
        text = GetUserSQL(StatementType);
        if (!text.empty() && FDADataSet->Macros()->Count() > 0) FDADataSet->Macros()->Expand(text);
    }
    if (text.empty() && Generate && own) {
        const bool modifiedOnly = !FDADataSet->Options()->UpdateAllFields();
        // The generator fills the parameters; the text is not parsed for them again.
        AnsiString generated = FDAService->SQLGenerator()->GenerateSQL(StatementType, modifiedOnly, own->Params());
        if (generated.empty()) return false;
        if (generated != own->SQL())
            TDBAccessUtils::SetSQLText(own, generated, true, true);
        FParamsInfo = FDAService->SQLGenerator()->ParamsInfo();
        FUseParamsInfo = true;
        PrepareOwnQuery(own);
        return true;
    }
    if (text.empty()) return false;
    if (text != TDBAccessUtils::GetSQL(FUpdateQuery)) {
        TDBAccessUtils::GetParams(FUpdateQuery)->Clear();
        if (own) {
            TDBAccessUtils::SetSQLText(own, text, false, false);
            own->SetParamCheck(true);
            own->SQLChanged();
            own->SetParamCheck(false);
            PrepareOwnQuery(own);
        } else {
            TDBAccessUtils::SetSQLText(FUpdateQuery, text, false, false);
        }
    }
    return true;
}

void TDADataSetUpdater::PrepareOwnQuery(TCustomDASQL* Query) {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    // A prepared statement holds the connection, which disconnected mode must give back.
    if (!FDADataSet->Options()->PrepareUpdateSQL() || !conn || conn->Options()->DisconnectedMode()) return;
    if (!Query->Prepared()) Query->Prepare();
}

db::TField* TDADataSetUpdater::FindParamField(const AnsiString& Name, bool& Old) {
    Old = false;
    if (db::TField* f = FDADataSet->FindField(Name)) return f;
    if (Name.size() > 4 && rtl::AnsiCompareText(Name.substr(0, 4), "OLD_") == 0) {
        Old = true;
        return FDADataSet->FindField(Name.substr(4));
    }
    return nullptr;
}

void TDADataSetUpdater::SetParamValues(TStatementType StatementType) {
    TDAParams* params = TDBAccessUtils::GetParams(FUpdateQuery);
    store::TData* data = FDADataSet->IRecordSet();
    void* newBuf = FDADataSet->NewValuesBuffer();
    void* oldBuf = nullptr;
    bool oldKnown = false;
    const bool inserting = FDADataSet->State() == db::dsInsert;
    TSQLInfo* info = FDADataSet->ICommand() ? FDADataSet->ICommand()->SQLInfo() : nullptr;
    for (int i = 0; i < params->Count(); ++i) {
        TDAParam* p = params->Items(i);
        db::TField* field = nullptr;
        store::TFieldDesc* desc = nullptr;
        bool old = false;
        if (FUseParamsInfo && i < static_cast<int>(FParamsInfo.size())) {
            field = FParamsInfo[i].Field;
            desc = FParamsInfo[i].FieldDesc;
            old = FParamsInfo[i].Old;
        } else {
            AnsiString name = info ? info->UnQuote(p->Name()) : p->Name();
            // A batch prefix P_<n>_ is not part of the field's name.
            if (name.size() > 2 && (name[0] == 'P' || name[0] == 'p') && name[1] == '_') {
                size_t k = 2;
                while (k < name.size() && name[k] >= '0' && name[k] <= '9') ++k;
                if (k > 2 && k < name.size() && name[k] == '_') name = name.substr(k + 1);
            }
            field = FindParamField(name, old);
            if (field) desc = data->FindField(field->FieldName());
            if (!desc) desc = data->FindField(rtl::AnsiToWide(name));
            if (!desc && !field) {
                if (!FDADataSet->BeforeUpdateExecute)
                    db::DatabaseError(rtl::Format(SNoCorrespondParam, {p->Name()}));
                continue;
            }
        }
        void* buf = newBuf;
        if (old && !inserting) {
            if (!oldKnown) {
                oldBuf = FDADataSet->OldValuesBuffer();
                oldKnown = true;
            }
            buf = oldBuf;
        }
        Variant v;
        if (desc && buf) v = data->GetFieldValue(desc->FieldNo, buf);
        else if (field) v = field->Value();
        if (field)
            p->AssignFieldValue(field, v);
        else
            p->SetValue(v);
        p->SetParamType(db::ptInput);
    }
    (void)StatementType;
}

int TDADataSetUpdater::ExecuteChecked(TStatementType StatementType) {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    const bool guard = FDADataSet->Options()->StrictUpdate() && (StatementType == stUpdate || StatementType == stDelete) &&
                       SupportsSavepoints() && conn && !conn->InTransaction();
    if (!guard) {
        ExecuteUpdateQuery(StatementType);
        return TDBAccessUtils::GetRowsAffected(FUpdateQuery);
    }
    // Outside a transaction the statement commits at once: a savepoint keeps a wrong row count
    // from reaching the file.
    const AnsiString name = QuotedIdent("UPD_" + FDADataSet->Name());
    conn->ExecSQL("SAVEPOINT " + name);
    int rows = -1;
    try {
        ExecuteUpdateQuery(StatementType);
        rows = TDBAccessUtils::GetRowsAffected(FUpdateQuery);
    } catch (...) {
        try {
            conn->ExecSQL("ROLLBACK TO SAVEPOINT " + name);
            conn->ExecSQL("RELEASE SAVEPOINT " + name);
        } catch (...) {
        }
        throw;
    }
    if (rows >= 0 && rows != 1) {
        conn->ExecSQL("ROLLBACK TO SAVEPOINT " + name);
        conn->ExecSQL("RELEASE SAVEPOINT " + name);
    } else {
        conn->ExecSQL("RELEASE SAVEPOINT " + name);
    }
    return rows;
}

void TDADataSetUpdater::ExecuteUpdateQuery(TStatementType) { TDBAccessUtils::Execute(FUpdateQuery); }

void TDADataSetUpdater::CheckRowsAffected(int Count) {
    if (FDADataSet->Options()->StrictUpdate() && Count >= 0 && Count != 1)
        db::DatabaseError(rtl::Format(SUpdateFailedFound, {Count}));
}

bool TDADataSetUpdater::PerformSQL(const AnsiString& SQL, TStatementTypes StatementTypes) {
    TStatementType type = stCustom;
    for (int t = stQuery; t <= stBatchUpdate; ++t)
        if (StatementTypes == StatementTypeBit(static_cast<TStatementType>(t))) type = static_cast<TStatementType>(t);
    if (StatementTypes == (StatementTypeBit(stLock) | StatementTypeBit(stRefresh))) type = stLock;
    FDADataSet->BeginConnection(true);
    struct TEnd {
        TCustomDADataSet* D;
        ~TEnd() { D->EndConnection(); }
    } end{FDADataSet};
    if (!PrepareUpdateQuery(SQL, type, true)) return false;
    SetParamValues(type);
    TDAParams* params = TDBAccessUtils::GetParams(FUpdateQuery);
    if (FDADataSet->BeforeUpdateExecute) FDADataSet->BeforeUpdateExecute(FDADataSet, StatementTypes, params);
    FRowsAffected = ExecuteChecked(type);
    FDADataSet->FRowsAffected = FRowsAffected;
    if (type == stInsert || type == stUpdate || type == stDelete) CheckRowsAffected(FRowsAffected);
    if (FDADataSet->AfterUpdateExecute) FDADataSet->AfterUpdateExecute(FDADataSet, StatementTypes, params);
    return true;
}

bool TDADataSetUpdater::GetIdentityFieldValue(Variant&) { return false; }

bool TDADataSetUpdater::PerformInsert() {
    FRowsAffected = -1;
    if (!PerformSQL(AnsiString(), StatementTypeBit(stInsert))) {
        CheckRowsAffected(0);
        return false;
    }
    // The last insert id belongs to an earlier statement when nothing was inserted.
    if (FRowsAffected == 0) return true;
    Variant v;
    if (store::TFieldDesc* id = FDAService->IdentityField(); id && GetIdentityFieldValue(v)) {
        void* buf = FDADataSet->NewValuesBuffer();
        if (buf) FDADataSet->IRecordSet()->PutFieldAsVariant(id->FieldNo, buf, v);
    }
    if (auto* sql = dynamic_cast<TCustomDASQL*>(FUpdateQuery)) FDADataSet->FLastInsertId = sql->LastInsertId();
    return true;
}

bool TDADataSetUpdater::PerformUpdate() { return PerformSQL(AnsiString(), StatementTypeBit(stUpdate)); }

bool TDADataSetUpdater::PerformDelete() { return PerformSQL(AnsiString(), StatementTypeBit(stDelete)); }

// ---------------------------------------------------------------------------------------------
// Update SQL objects

TCustomDAUpdateSQL::TCustomDAUpdateSQL(rtl::TComponent* Owner) : TComponent(Owner) {}

TCustomDAUpdateSQL::~TCustomDAUpdateSQL() = default;

void TCustomDAUpdateSQL::BeforeDestruction() {
    if (FDataSet && FDataSet->UpdateObject() == this) FDataSet->SetUpdateObject(nullptr);
    TComponent::BeforeDestruction();
}

void TCustomDAUpdateSQL::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != rtl::opRemove) return;
    for (auto*& o : FObjects)
        if (o == AComponent) o = nullptr;
    if (AComponent == FDataSet) FDataSet = nullptr;
}

const AnsiString& TCustomDAUpdateSQL::GetSQL(db::TUpdateKind UpdateKind) const {
    return FSQL[StatementTypeOf(UpdateKind)];
}

const rtl::ClassRef& TCustomDAUpdateSQL::DataSetClass() const { return TCustomDADataSet::StaticClass(); }
const rtl::ClassRef& TCustomDAUpdateSQL::SQLClass() const { return TCustomDASQL::StaticClass(); }

void TCustomDAUpdateSQL::CheckUpdateObject(rtl::TComponent* Component, TCustomDADataSet* DataSet) const {
    if (!Component) return;
    const rtl::ClassRef* cls = Component->ClassType();
    if (cls->InheritsFrom(&SQLClass()) || cls->InheritsFrom(&DataSetClass())) {
        if (Component == DataSet) throw rtl::Exception(SCircularUpdateObject);
        return;
    }
    throw rtl::Exception(
        rtl::Format(SUpdateObjectClass, {AnsiString(DataSetClass().ClassName()), AnsiString(SQLClass().ClassName())}));
}

void TCustomDAUpdateSQL::SetObject(TStatementType StatementType, rtl::TComponent* Value) {
    CheckUpdateObject(Value, FDataSet);
    rtl::TComponent*& slot = FObjects[StatementType];
    if (slot == Value) return;
    if (slot) {
        bool stillUsed = false;
        for (auto* o : FObjects)
            if (o == slot && &o != &slot) stillUsed = true;
        if (!stillUsed) slot->RemoveFreeNotification(this);
    }
    slot = Value;
    if (Value) Value->FreeNotification(this);
}

void TCustomDAUpdateSQL::ExecSQL(db::TUpdateKind UpdateKind) {
    if (!FDataSet) db::DatabaseError(SConnectionNotDefined);
    FDataSet->CheckDataSetService();
    auto* updater = dynamic_cast<TDADataSetUpdater*>(FDataSet->DataSetService()->Updater());
    if (!updater) return;
    const TStatementType t = StatementTypeOf(UpdateKind);
    updater->PerformSQL(FSQL[t], StatementTypeBit(t));
}

void TCustomDAUpdateSQL::AssignTo(rtl::TPersistent* Dest) {
    auto* d = dynamic_cast<TCustomDAUpdateSQL*>(Dest);
    if (!d) {
        TComponent::AssignTo(Dest);
        return;
    }
    for (TStatementType t : {stRefresh, stUpdate, stInsert, stDelete}) d->FSQL[t] = FSQL[t];
    d->SetDataSet(FDataSet);
    for (TStatementType t : {stRefresh, stUpdate, stInsert, stDelete}) d->SetObject(t, FObjects[t]);
}

}  // namespace daccess
