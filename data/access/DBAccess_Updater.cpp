// The dataset updater: runs the statements that write one record's change and checks their effect.
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "framework/rtl/SqlTimSt.h"
#include "data/store/MemUtils.h"

#include <cctype>
#include <cmath>
#include <cstring>

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
    // The fields a kept statement names go away with the dataset's fields.
    ForgetGeneratedStatements();
    for (auto& q : FUpdateQueries)
        if (q) q->UnPrepare();
    for (auto& q : FRowQueries)
        if (q) {
            q->Close();
            q->UnPrepare();
        }
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

namespace {
// The rest of Text after its leading word Word (ignoring case), trimmed; false when it does not start so.
bool StartsWithWord(const AnsiString& Text, const char* Word, AnsiString& Rest) {
    const AnsiString t = rtl::TrimLeft(Text);
    const size_t n = std::strlen(Word);
    if (t.size() < n || rtl::AnsiCompareText(t.substr(0, n), Word) != 0) return false;
    if (t.size() > n && (std::isalnum(static_cast<unsigned char>(t[n])) || t[n] == '_')) return false;
    Rest = rtl::Trim(t.substr(n));
    return true;
}
}  // namespace

AnsiString TDADataSetUpdater::GetUserSQL(TStatementType StatementType) {
    AnsiString text = FDADataSet->UpdateSQL(StatementType);
    if (StatementType != stRefresh && StatementType != stLock) return text;
    auto refreshText = [this](const AnsiString& Refresh) {
        AnsiString rest;
        if (StartsWithWord(Refresh, "WHERE", rest)) return FDADataSet->AddWhere(FDADataSet->GetFinalSQL(), rest);
        return Refresh;
    };
    if (StatementType == stRefresh) return refreshText(text);
    AnsiString rest;
    if (StartsWithWord(text, "FOR", rest)) return refreshText(FDADataSet->UpdateSQL(stRefresh)) + "\r" + text;
    return text;
}

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
        // A record that changed the same fields as the last one posts the same statement: its text
        // and parameters are kept instead of written again.
        TGeneratedStatement* cache = StatementType >= stInsert && StatementType <= stDelete && !BatchUpdates()
                                         ? &FGenerated[StatementType - stInsert]
                                         : nullptr;
        if (cache && GeneratedSignature(StatementType, modifiedOnly, FSignature) && cache->Valid &&
            cache->Signature == FSignature && cache->Text == own->SQL()) {
            if (cache->Text.empty()) return false;
            FParamsInfo = cache->ParamsInfo;
            FUseParamsInfo = true;
            PrepareOwnQuery(own);
            return true;
        }
        // The generator fills the parameters; the text is not parsed for them again.
        AnsiString generated = FDAService->SQLGenerator()->GenerateSQL(StatementType, modifiedOnly, own->Params());
        if (generated != own->SQL()) TDBAccessUtils::SetSQLText(own, generated, true, true);
        FParamsInfo = FDAService->SQLGenerator()->ParamsInfo();
        if (cache) {
            cache->Valid = !FSignature.empty();
            cache->Signature = FSignature;
            cache->Text = generated;
            cache->ParamsInfo = FParamsInfo;
        }
        if (generated.empty()) return false;
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

namespace {
template <class T>
void PutBytes(std::vector<uint8_t>& Out, const T& Value) {
    const auto* b = reinterpret_cast<const uint8_t*>(&Value);
    Out.insert(Out.end(), b, b + sizeof(T));
}
}  // namespace

bool TDADataSetUpdater::GeneratedSignature(TStatementType StatementType, bool ModifiedOnly,
                                           std::vector<uint8_t>& Signature) {
    Signature.clear();
    TCRTableInfo* table = FDAService->UpdatingTableInfo();
    if (!table) return false;
    TDASQLGenerator* gen = FDAService->SQLGenerator();
    const auto& keys = FDAService->GetKeyFieldDescs();
    const auto& data = FDAService->GetDataFieldDescs(false);
    store::TFieldDesc* identity = FDAService->IdentityField();
    // What the text depends on besides the record: the table, the field lists and the options.
    PutBytes(Signature, table);
    Signature.insert(Signature.end(), table->TableName().begin(), table->TableName().end());
    PutBytes(Signature, identity);
    Signature.push_back(static_cast<uint8_t>(FDADataSet->Options()->QuoteNames() * 2 + gen->ForceParams));
    PutBytes(Signature, keys.size());
    for (store::TFieldDesc* d : keys) PutBytes(Signature, d);
    PutBytes(Signature, data.size());
    for (store::TFieldDesc* d : data) PutBytes(Signature, d);
    // Buffers fetched for an earlier record are not this one's.
    gen->Clear();
    if (StatementType == stUpdate)
        for (store::TFieldDesc* d : data) Signature.push_back(!ModifiedOnly || gen->FieldModifiedCurrent(d));
    else if (StatementType == stInsert)
        for (store::TFieldDesc* d : data) Signature.push_back(!ModifiedOnly || !gen->FieldIsNull(d, false));
    if (StatementType == stUpdate || StatementType == stDelete) {
        // The condition names each key as "= ?" or "IS NULL" after its old value.
        if (!keys.empty())
            for (store::TFieldDesc* d : keys) Signature.push_back(gen->FieldIsNull(d, true));
        else if (identity)
            Signature.push_back(gen->FieldIsNull(identity, true));
        else
            for (store::TFieldDesc* d : data)
                if (!gen->IsBlobDataType(d->DataType)) Signature.push_back(gen->FieldIsNull(d, true));
    }
    gen->Clear();
    return true;
}

void TDADataSetUpdater::ForgetGeneratedStatements() {
    for (TGeneratedStatement& g : FGenerated) g = TGeneratedStatement();
}

bool TDADataSetUpdater::KeyedByIdentity() {
    store::TFieldDesc* identity = FDAService->IdentityField();
    if (!identity || !FDADataSet->UpdateSQL(stUpdate).empty()) return false;
    const auto& keys = FDAService->GetKeyFieldDescs();
    if (!(keys.size() == 1 && keys[0] == identity) && !(keys.empty())) return false;
    void* old = FDADataSet->OldValuesBuffer();
    return old && !FDADataSet->IRecordSet()->GetNull(identity->FieldNo, old);
}

void TDADataSetUpdater::PrepareOwnQuery(TCustomDASQL* Query) {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    // A prepared statement holds the connection, which disconnected mode must give back.
    if (!(FDADataSet->Options()->PrepareUpdateSQL() || KeepsStatementsPrepared()) || !conn ||
        conn->Options()->DisconnectedMode())
        return;
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

namespace {

// A blob or memo has no plain value to copy: the parameter shares the record's blob object, or for
// an old value a blob of its own over the contents the edit started from.
void AssignBlobParam(TDAParam* Param, store::TData* Data, store::TFieldDesc* Desc, void* Buf, bool Old) {
    const bool memo = Desc->DataType == store::mdtMemo || Desc->DataType == store::mdtWideMemo;
    if (Data->GetNull(Desc->FieldNo, Buf)) {
        // A null goes in the parameter's own blob: clearing a shared one would clear the record's.
        Param->SetDataType(memo ? (Desc->DataType == store::mdtWideMemo ? db::ftWideMemo : db::ftMemo) : db::ftBlob);
        Param->Clear();
        return;
    }
    store::TBlob* blob = Data->GetBlob(Desc->FieldNo, Buf);
    if (!blob) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    rtl::TSharedRef<store::TBlob> value = Old && blob->HasRollback()
                                              ? rtl::TSharedRef<store::TBlob>::Adopt(blob->Clone(true))
                                              : rtl::TSharedRef<store::TBlob>::Retain(blob);
    if (memo)
        Param->SetAsMemoRef(value.get());
    else
        Param->SetAsBlobRef(value.get());
}

}  // namespace

void TDADataSetUpdater::SetParamValues(TDAParams* Params, TStatementType StatementType) {
    TDAParams* params = Params;
    const bool refresh = StatementType == stRefresh || StatementType == stLock;
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
            if (!desc && !field && refresh) {
                // A refresh over the dataset's own text carries the dataset's parameters.
                if (TDAParam* own = FDADataSet->Params()->FindParam(p->Name())) {
                    p->Assign(own);
                    p->SetParamType(db::ptInput);
                    continue;
                }
            }
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
        if (desc && buf && data->IsBlobFieldType(desc->DataType)) {
            AssignBlobParam(p, data, desc, buf, old && !inserting);
        } else {
            Variant v;
            if (desc && buf) v = data->GetFieldValue(desc->FieldNo, buf);
            else if (field) v = field->Value();
            if (field)
                p->AssignFieldValue(field, v);
            else
                p->SetValue(v);
        }
        // A value of an encrypted field goes to the server encrypted.
        p->SetEncryptor(FieldEncryptValueFunc(desc));
        p->SetParamType(db::ptInput);
    }
}

int TDADataSetUpdater::ExecuteChecked(TStatementType StatementType) {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    // A generated statement keyed on the row id touches one row at most, and a statement that
    // touched none changed nothing: it needs no savepoint.
    const bool guard = FDADataSet->Options()->StrictUpdate() && (StatementType == stUpdate || StatementType == stDelete) &&
                       SupportsSavepoints() && conn && !conn->InTransaction() &&
                       !(FUseParamsInfo && KeyedByIdentity());
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
    if (StatementTypes & (StatementTypeBit(stLock) | StatementTypeBit(stRefresh))) {
        const TStatementType t = (StatementTypes & StatementTypeBit(stLock)) ? stLock : stRefresh;
        TCustomDAUpdateSQL* uo = FDADataSet->UpdateObject();
        // A statement component of the update object that returns no rows runs as a write.
        if (!(uo && dynamic_cast<TCustomDASQL*>(uo->GetObject(t)))) return PerformRowSQL(SQL, StatementTypes);
    }
    TStatementType type = stCustom;
    for (int t = stQuery; t <= stBatchUpdate; ++t)
        if (StatementTypes == StatementTypeBit(static_cast<TStatementType>(t))) type = static_cast<TStatementType>(t);
    if (StatementTypes == (StatementTypeBit(stLock) | StatementTypeBit(stRefresh))) type = stLock;
    // A connection that stays open and keeps no transaction per operation needs no counted hold
    // for one statement.
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    const bool counted = !conn || !conn->Connected() || conn->Options()->DisconnectedMode() ||
                         conn->IsMultipleTransactionsSupported();
    if (counted) FDADataSet->BeginConnection(true);
    struct TEnd {
        TCustomDADataSet* D;
        bool Counted;
        ~TEnd() {
            if (Counted) D->EndConnection();
        }
    } end{FDADataSet, counted};
    if (!PrepareUpdateQuery(SQL, type, true)) return false;
    TDAParams* params = TDBAccessUtils::GetParams(FUpdateQuery);
    SetParamValues(params, type);
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
    if (FDADataSet->RefreshOptions().Contains(roAfterInsert) && NeedsRefreshStatement()) RefreshRecordAfterUpdate();
    return true;
}

bool TDADataSetUpdater::PerformUpdate() {
    bool ran = false;
    try {
        if (FDADataSet->LockMode() == lmOptimistic) LockRecord();
        ran = PerformSQL(AnsiString(), StatementTypeBit(stUpdate));
        if (ran && FDADataSet->RefreshOptions().Contains(roAfterUpdate) &&
            (FDADataSet->Options()->FullRefresh() || !FDADataSet->DMLRefresh()))
            RefreshRecordAfterUpdate();
    } catch (...) {
        if (FDADataSet->LockMode() != lmNone) UnlockRecord();
        throw;
    }
    EndLock(ran);
    return ran;
}

bool TDADataSetUpdater::PerformDelete() {
    bool ran = false;
    try {
        if (FDADataSet->LockMode() == lmOptimistic) LockRecord();
        ran = PerformSQL(AnsiString(), StatementTypeBit(stDelete));
    } catch (...) {
        if (FDADataSet->LockMode() != lmNone) UnlockRecord();
        throw;
    }
    EndLock(ran);
    return ran;
}

bool TDADataSetUpdater::NeedsRefreshStatement() {
    return !FDADataSet->DMLRefresh() || FDADataSet->Options()->FullRefresh();
}

bool TDADataSetUpdater::HoldsConnection() {
    const db::TDataSetState state = FDADataSet->State();
    return (state == db::dsEdit && EditHoldsConnection()) || (state == db::dsInsert && InsertHoldsConnection());
}

bool TDADataSetUpdater::ValuesEqual(const Variant& A, const Variant& B) {
    if (store::VarsEqual(A, B)) return true;
    if (A.VType() != B.VType()) return false;
    // A server may keep time to a finer grain than the record does.
    constexpr double OneMillisecond = 1.1576048564e-08;
    if (A.VType() == rtl::varDate) return std::fabs(A.AsDouble() - B.AsDouble()) < OneMillisecond;
    if (A.VType() == rtl::varSQLTimeStamp)
        return std::fabs(rtl::SQLTimeStampToDateTime(A.AsSQLTimeStamp()) - rtl::SQLTimeStampToDateTime(B.AsSQLTimeStamp())) <
               OneMillisecond;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Refresh and locks

bool TDADataSetUpdater::PerformRowSQL(const AnsiString& SQL, TStatementTypes StatementTypes) {
    const bool lock = (StatementTypes & StatementTypeBit(stLock)) != 0;
    const bool refresh = (StatementTypes & StatementTypeBit(stRefresh)) != 0;
    const TStatementType type = lock ? stLock : stRefresh;
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    if (!conn) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    FDADataSet->BeginConnection(true);
    struct TEnd {
        TCustomDADataSet* D;
        ~TEnd() { D->EndConnection(); }
    } end{FDADataSet};

    TCustomDAUpdateSQL* uo = FDADataSet->UpdateObject();
    TCustomDADataSet* query = nullptr;
    if (uo && uo->GetObject(type)) {
        query = static_cast<TCustomDADataSet*>(uo->GetObject(type));
        if (rtl::Trim(query->SQL()).empty()) db::DatabaseError(SUpdateSQLEmpty);
        if (!query->Connection()) query->SetConnection(conn);
    }
    AnsiString text = SQL;
    if (!query) {
        auto& own = FRowQueries[lock ? 0 : 1];
        if (!own) {
            own.reset(conn->CreateDataSet());
            TDBAccessUtils::SetTraceSuppressed(own.get(), true);
            own->SetFetchAll(true);
        }
        query = own.get();
        if (query->Connection() != conn) query->SetConnection(conn);
        query->Close();
        TDADataSetOptions* o = query->Options();
        o->SetTrimFixedChar(FDADataSet->Options()->TrimFixedChar());
        o->SetTrimVarChar(FDADataSet->Options()->TrimVarChar());
        o->SetSetEmptyStrToNull(FDADataSet->Options()->SetEmptyStrToNull());
        o->SetLongStrings(FDADataSet->Options()->LongStrings());
        o->SetExtendedFieldsInfo(false);
        // Values of encrypted fields come back encrypted.
        ShareFieldEncryption(FDADataSet, query);
        if (conn->IsMultipleTransactionsSupported())
            query->SetTransaction(FLockTransaction ? FLockTransaction : FDADataSet->UsedTransaction());
        if (text.empty() && uo) text = uo->GetSQLText(type);
        if (text.empty()) {
            text = GetUserSQL(type);
            if (!text.empty() && FDADataSet->Macros()->Count() > 0) FDADataSet->Macros()->Expand(text);
        }
    }
    query->Close();
    FUseParamsInfo = false;
    if (text.empty() && query == FRowQueries[lock ? 0 : 1].get()) {
        if (lock || !refresh) return false;
        // The generated SELECT keeps the parameters it made unless it is built on the dataset's own
        // text, whose parameters come by name.
        const bool keep = FDADataSet->Params()->Count() == 0 && !FDADataSet->Options()->FullRefresh();
        const AnsiString generated = FDAService->SQLGenerator()->GenerateSQL(stRefresh, false, query->Params());
        if (generated.empty()) return false;
        if (generated != query->SQL()) TDBAccessUtils::SetSQLText(query, generated, false, keep);
        FParamsInfo = FDAService->SQLGenerator()->ParamsInfo();
        FUseParamsInfo = keep;
    } else if (!text.empty() && text != query->SQL()) {
        query->Params()->Clear();
        TDBAccessUtils::SetSQLText(query, text, false, false);
    }
    if (rtl::Trim(query->SQL()).empty()) return false;
    FUpdateQuery = query;
    TDAParams* params = query->Params();
    SetParamValues(params, type);
    if (FDADataSet->BeforeUpdateExecute) FDADataSet->BeforeUpdateExecute(FDADataSet, StatementTypes, params);
    ExecuteUpdateQuery(type);
    if (query->Active()) {
        const int count = query->RecordCount();
        FDADataSet->FRowsAffected = count;
        if (FDADataSet->Options()->StrictUpdate() && count != 1) {
            query->Close();
            db::DatabaseError(rtl::Format(SRefreshFailedFound, {count}));
        }
        if (count > 0) {
            query->First();
            if (refresh)
                CopyRow(query, false);
            else if (CheckOnLock && !FDADataSet->RefreshOptions().Contains(roBeforeEdit))
                CopyRow(query, true);
        }
        query->Close();
    } else {
        FDADataSet->FRowsAffected = query->RowsAffected();
    }
    if (FDADataSet->AfterUpdateExecute) FDADataSet->AfterUpdateExecute(FDADataSet, StatementTypes, params);
    return true;
}

void TDADataSetUpdater::CopyRow(TCustomDADataSet* Source, bool Compare) {
    store::TData* data = FDADataSet->IRecordSet();
    const bool editing = FDADataSet->State() == db::dsEdit || FDADataSet->State() == db::dsInsert;
    void* buf = FDADataSet->ApplyingUpdates() ? FDADataSet->NewValuesBuffer() : FDADataSet->ActiveBuffer();
    if (!buf) return;
    void* compareBuf = nullptr;
    if (Compare) compareBuf = editing || FDADataSet->CachedUpdates() ? FDADataSet->OldValuesBuffer() : buf;
    const store::TFieldDescs& descs = data->Fields();
    for (db::TField* f : Source->Fields()) {
        if (f->FieldKind() != db::fkData) continue;
        store::TFieldDesc* d = nullptr;
        const int n = TDASQLGenerator::DecodeFieldIndex(rtl::WideToAnsi(f->FieldName()));
        if (n >= 0 && n < descs.Count())
            d = descs.Items(n);
        else
            d = data->FindField(f->FieldName());
        if (!d || d->HasParent()) continue;
        if (FDAService->SQLGenerator()->IsBlobDataType(d->DataType)) {
            // A lock does not compare large values; a refresh shares the contents it read.
            if (Compare) continue;
            store::TBlob* target = data->GetBlob(d->FieldNo, buf);
            store::TBlob* source = f->FieldNo() > 0 && Source->IRecordSet()->IsBlobFieldType(
                                                           Source->IRecordSet()->Fields().Items(f->FieldNo() - 1)->DataType)
                                       ? Source->IRecordSet()->GetBlob(f->FieldNo(), Source->ActiveBuffer())
                                       : nullptr;
            if (target && source) {
                target->AssignContents(source);
                data->SetNull(d->FieldNo, buf, f->IsNull());
            } else if (target) {
                target->SetAsString(f->IsNull() ? AnsiString() : f->AsString());
                data->SetNull(d->FieldNo, buf, f->IsNull());
            }
            continue;
        }
        if (Compare) {
            if (!compareBuf) continue;
            if (!ValuesEqual(f->Value(), data->GetFieldValue(d->FieldNo, compareBuf))) db::DatabaseError(SRecordChanged);
            continue;
        }
        data->PutFieldAsVariant(d->FieldNo, buf, f->Value());
    }
    if (Compare || FDADataSet->ApplyingUpdates() || FRefreshInUpdate) return;
    // A browsed record goes back into the store at once.
    data->PutRecord(buf);
}

bool TDADataSetUpdater::PerformRefreshRecord() { return PerformSQL(AnsiString(), StatementTypeBit(stRefresh)); }

bool TDADataSetUpdater::RefreshRecordAfterUpdate() {
    FRefreshInUpdate = true;
    struct TReset {
        bool& F;
        ~TReset() { F = false; }
    } reset{FRefreshInUpdate};
    return PerformRefreshRecord();
}

AnsiString TDADataSetUpdater::LockSavepointName(bool CachedUpdates) const {
    AnsiString name = (CachedUpdates ? "LOCK_CU_" : "LOCK_") + FDADataSet->Name();
    if (name.size() > 30) name.resize(30);
    return name;
}

void TDADataSetUpdater::BeginLockTransaction(const AnsiString& Name) {
    TDATransaction* tr = FDADataSet->UsedUpdateTransaction();
    if (!tr) return;
    if (tr->Active()) {
        if (SupportsSavepoints()) tr->Savepoint(Name);
        FLockStartedTransaction = false;
    } else {
        tr->StartTransaction();
        FLockStartedTransaction = true;
    }
    FLockTransaction = tr;
}

void TDADataSetUpdater::EndLockTransaction(const AnsiString& Name) {
    TDATransaction* tr = FLockTransaction;
    const bool started = FLockStartedTransaction;
    FLockTransaction = nullptr;
    FLockStartedTransaction = false;
    if (!tr) return;
    // Giving a lock back must not fail the edit that ends it.
    try {
        if (started)
            tr->Rollback();
        else if (!SupportsSavepoints())
            tr->RollbackRetaining();
        else {
            tr->RollbackToSavepoint(Name);
            tr->ReleaseSavepoint(Name);
        }
    } catch (const rtl::Exception&) {
    }
}

bool TDADataSetUpdater::LockRecord() {
    if (FDADataSet->Eof() && FDADataSet->Bof()) return false;
    FDADataSet->UpdateCursorPos();
    BeginLockTransaction(LockSavepointName());
    return PerformSQL(AnsiString(), StatementTypeBit(stLock));
}

void TDADataSetUpdater::UnlockRecord() { EndLockTransaction(LockSavepointName()); }

void TDADataSetUpdater::EndLock(bool Ran) {
    if (!FLockTransaction) return;
    if (!Ran) {
        UnlockRecord();
        return;
    }
    TDATransaction* tr = FLockTransaction;
    const bool started = FLockStartedTransaction;
    FLockTransaction = nullptr;
    FLockStartedTransaction = false;
    if (started) {
        if (FDADataSet->AutoCommit()) tr->Commit();
    } else if (SupportsSavepoints()) {
        tr->ReleaseSavepoint(LockSavepointName());
    }
}

bool TDADataSetUpdater::LockRefreshesRecord() {
    AnsiString rest;
    const AnsiString& lockSQL = FDADataSet->UpdateSQL(stLock);
    if (!rtl::Trim(lockSQL).empty() && !StartsWithWord(lockSQL, "FOR", rest)) return false;
    if (FDADataSet->RefreshOptions().Contains(roBeforeEdit))
        return rtl::Trim(FDADataSet->UpdateSQL(stRefresh)).empty() && !FDADataSet->Options()->FullRefresh();
    return true;
}

void TDADataSetUpdater::BeforeEdit() {
    const bool refresh = FDADataSet->RefreshOptions().Contains(roBeforeEdit) &&
                         !(FDADataSet->CachedUpdates() && FDADataSet->UpdateStatus() == db::usInserted);
    const bool lock = FDADataSet->LockMode() == lmPessimistic;
    TStatementTypes types = 0;
    if (refresh) {
        if (lock && LockRefreshesRecord())
            types |= StatementTypeBit(stRefresh);
        else
            PerformRefreshRecord();
    }
    if (lock) types |= StatementTypeBit(stLock);
    if (!types) return;
    if (lock) BeginLockTransaction(LockSavepointName());
    try {
        PerformSQL(AnsiString(), types);
    } catch (...) {
        if (lock) UnlockRecord();
        throw;
    }
}

void TDADataSetUpdater::BeforeDelete() {
    if (FDADataSet->LockMode() == lmPessimistic) LockRecord();
}

void TDADataSetUpdater::AfterCancel() {
    if (FDADataSet->LockMode() == lmPessimistic && FDADataSet->State() != db::dsInsert) UnlockRecord();
}

bool TDADataSetUpdater::PerformPSUpdateRecord(db::TUpdateKind UpdateKind, db::TDataSet* Delta) {
    const TStatementType type = StatementTypeOf(UpdateKind);
    TCustomDAUpdateSQL* uo = FDADataSet->UpdateObject();
    AnsiString text = uo ? uo->GetSQLText(type) : AnsiString();
    if (text.empty()) text = GetUserSQL(type);
    if (rtl::Trim(text).empty() || !Delta) return false;
    FDADataSet->BeginConnection(true);
    struct TEnd {
        TCustomDADataSet* D;
        ~TEnd() { D->EndConnection(); }
    } end{FDADataSet};
    TCustomDASQL* q = CreateUpdateQuery(stCustom);
    q->SetAutoCommit(FDADataSet->AutoCommit());
    if (text != q->SQL()) {
        q->Params()->Clear();
        q->SetParamCheck(true);
        q->SetSQL(text);
        q->SetParamCheck(false);
    }
    for (int i = 0; i < q->Params()->Count(); ++i) {
        TDAParam* p = q->Params()->Items(i);
        AnsiString name = p->Name();
        bool old = false;
        db::TField* f = Delta->FindField(rtl::AnsiToWide(name));
        if (!f && name.size() > 4 && rtl::AnsiCompareText(name.substr(0, 4), "OLD_") == 0) {
            f = Delta->FindField(rtl::AnsiToWide(name.substr(4)));
            old = true;
        }
        if (!f) db::DatabaseError(rtl::Format(SNoCorrespondParam, {p->Name()}));
        // A field the delta left unchanged carries its old value as the new one.
        Variant v = old ? f->OldValue() : f->NewValue();
        if (!old && v.IsEmpty()) v = f->OldValue();
        p->AssignFieldValue(f, v);
        p->SetParamType(db::ptInput);
    }
    FUpdateQuery = q;
    q->Execute();
    FRowsAffected = q->RowsAffected();
    return true;
}

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
