// The dataset updater: runs the statements that write one record's change and checks their effect.
#include "data/access/DASQLMonitor.h"
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "data/store/MemUtils.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SqlTimSt.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

#include <cctype>
#include <map>
#include <set>
#include <string>
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

namespace {
// The updater's own statements are plain SQL components: known without a cast through the class
// tree on every post.
TCustomDASQL* OwnOrSQL(rtl::TComponent* Query, const rtl::TOwnedPtr<TCustomDASQL> (&Owned)[10]) {
    for (const auto& q : Owned)
        if (q.get() == Query) return static_cast<TCustomDASQL*>(Query);
    return dynamic_cast<TCustomDASQL*>(Query);
}
}  // namespace

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

// Points FUpdateQuery at what runs for the statement type: the update object's own query when it
// has one, else the updater's query with the given text, the update object's or the user's text,
// or a generated one (kept from the last record when the same fields changed). False when there is
// nothing to run.
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
    if (StatementType == stBatchUpdate) {
        // The collected statements run as one text with the collected parameters.
        const AnsiString batch = GetBatchSQL();
        if (batch.empty()) return false;
        if (batch != own->SQL()) TDBAccessUtils::SetSQLText(own, batch, true, true);
        TDAParams* params = own->Params();
        params->BeginUpdate();
        rtl::TryFinally(
            [&] {
                params->Clear();
                for (int i = 0; i < FBatchParams->Count(); ++i) {
                    TDAParam* from = FBatchParams->Items(i);
                    params->CreateParam(from->DataType(), from->Name(), from->ParamType())->Assign(from);
                }
            },
            [&] { params->EndUpdate(); });
        return true;
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
        const int batchIndex = Batching(StatementType) ? FBatchCount : -1;
        AnsiString generated =
            FDAService->SQLGenerator()->GenerateSQL(StatementType, modifiedOnly, own->Params(), batchIndex);
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
        if (batchIndex < 0) PrepareOwnQuery(own);
        return true;
    }
    if (text.empty()) return false;
    const bool batching = own && Batching(StatementType);
    // In a batch each statement's parameters carry its number, as generated ones do. Renaming
    // needs only the dialect's lexer, so the driver-neutral parser does it for every provider.
    if (batching && FDADataSet->ICommand())
        text = FDADataSet->ICommand()->TCRCommand::ParseSQL(text, nullptr, false,
                                                            ":P_" + std::to_string(FBatchCount) + "_");
    if (text != TDBAccessUtils::GetSQL(FUpdateQuery)) {
        TDBAccessUtils::GetParams(FUpdateQuery)->Clear();
        if (own) {
            TDBAccessUtils::SetSQLText(own, text, false, false);
            own->SetParamCheck(true);
            own->SQLChanged();
            own->SetParamCheck(false);
            if (!batching) PrepareOwnQuery(own);
        } else {
            TDBAccessUtils::SetSQLText(FUpdateQuery, text, false, false);
        }
    }
    return true;
}

namespace {
template <class T>
void PutBytes(std::vector<uint8_t>& Out, const T& Value) {
    const size_t at = Out.size();
    Out.resize(at + sizeof(T));
    std::memcpy(Out.data() + at, &Value, sizeof(T));
}
}  // namespace

namespace {
// A value held in the record itself whose bytes and null flag are the same in both buffers is
// unchanged: the comparison of values (with its conversions) is only needed when they differ.
// Floating kinds are left out (a NaN equals nothing), and so are values held outside the record.
bool SameStoredValue(store::TData* Data, store::TFieldDesc* Desc, const uint8_t* Old, const uint8_t* New) {
    if (!Old || !New || !Data || Desc->HasParent() || Desc->DescKind != store::fdkData || Desc->Size <= 0) return false;
    switch (Desc->DataType) {
        case store::mdtString:
        case store::mdtWideString:
        case store::mdtInt8:
        case store::mdtUInt8:
        case store::mdtInt16:
        case store::mdtUInt16:
        case store::mdtInt32:
        case store::mdtUInt32:
        case store::mdtInt64:
        case store::mdtBoolean:
        case store::mdtBytes:
        case store::mdtVarBytes:
        case store::mdtGuid: break;
        default: return false;
    }
    const bool oldNull = Data->GetNull(Desc->FieldNo, Old);
    if (oldNull != Data->GetNull(Desc->FieldNo, New)) return false;
    return oldNull || std::memcmp(Old + Desc->Offset, New + Desc->Offset, static_cast<size_t>(Desc->Size)) == 0;
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
    // A value read inexactly changes what is written or refused: such a record is never cached.
    if (StatementType == stUpdate || StatementType == stDelete) {
        void* bufs[] = {FDADataSet->OldValuesBuffer(), FDADataSet->NewValuesBuffer()};
        for (void* buf : bufs)
            for (const auto* list : {&keys, &data})
                for (store::TFieldDesc* d : *list)
                    if (buf && gen->FieldInexact(d, buf)) {
                        Signature.clear();
                        return false;
                    }
    }
    if (StatementType == stUpdate) {
        store::TData* rs = FDADataSet->IRecordSet();
        const auto* newBuf = static_cast<const uint8_t*>(ModifiedOnly ? FDADataSet->NewValuesBuffer() : nullptr);
        const auto* oldBuf = static_cast<const uint8_t*>(newBuf ? FDADataSet->OldValuesBuffer() : nullptr);
        for (store::TFieldDesc* d : data)
            Signature.push_back(!ModifiedOnly ||
                                (!SameStoredValue(rs, d, oldBuf, newBuf) && gen->FieldModifiedCurrent(d)));
    } else if (StatementType == stInsert)
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

// Fills the statement's parameters from the record: each found by its field (OLD_ names from the
// old values, a batch's P_<n>_ prefix dropped), blobs whole, encrypted fields marked to go out
// encrypted. A parameter with no field is an error unless BeforeUpdateExecute may fill it; a
// refresh over the dataset's own text takes the dataset's parameter of that name.
void TDADataSetUpdater::SetParamValues(TDAParams* Params, TStatementType StatementType) {
    TDAParams* params = Params;
    const bool refresh = StatementType == stRefresh || StatementType == stLock || StatementType == stRefreshQuick ||
                         StatementType == stRefreshCheckDeleted;
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
                if (!FDADataSet->BeforeUpdateExecute) db::DatabaseError(rtl::Format(SNoCorrespondParam, {p->Name()}));
                continue;
            }
        }
        void* buf = newBuf;
        // An object, array or nested table is written whole, as it is now.
        if (old && desc &&
            (desc->DataType == store::mdtTable || FDAService->SQLGenerator()->IsSubDataType(desc->DataType)))
            old = false;
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
            if (desc && buf)
                v = data->GetFieldValue(desc->FieldNo, buf);
            else if (field)
                v = field->Value();
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
    const bool guard = FDADataSet->Options()->StrictUpdate() &&
                       (StatementType == stUpdate || StatementType == stDelete) && SupportsSavepoints() && conn &&
                       !(FUseParamsInfo && KeyedByIdentity());
    if (!guard) {
        ExecuteUpdateQuery(StatementType);
        if (TCustomDASQL* sql = OwnOrSQL(FUpdateQuery, FUpdateQueries)) return sql->RowsAffected();
        return TDBAccessUtils::GetRowsAffected(FUpdateQuery);
    }
    // A savepoint keeps a wrong row count from reaching the file: outside a transaction the
    // statement would commit at once, inside one the caller's Commit would keep it.
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

void TDADataSetUpdater::ExecuteUpdateQuery(TStatementType StatementType) {
    // The update query never traces itself: the monitor hears the statement as the dataset's.
    const bool debug = FDADataSet->Debug();
    if (!debug && !TCustomDASQLMonitor::HasMonitor()) {
        if (TCustomDASQL* sql = OwnOrSQL(FUpdateQuery, FUpdateQueries))
            sql->Execute();
        else
            TDBAccessUtils::Execute(FUpdateQuery);
        return;
    }
    static const char* const Names[] = {
        "Query",      "Insert", "Update", "Delete", "Lock", "Refresh", "Custom", "RefreshQuick", "RefreshCheckDeleted",
        "BatchUpdate"};
    const AnsiString sql = TDBAccessUtils::GetSQL(FUpdateQuery);
    const TDAParams* params = TDBAccessUtils::GetParams(FUpdateQuery);
    const AnsiString operation = Names[StatementType];
    TCustomDASQLMonitor::SQLExecute(FDADataSet, sql, params, operation, true, debug);
    rtl::TryFinally([&] { TDBAccessUtils::Execute(FUpdateQuery); },
                    [&] { TCustomDASQLMonitor::SQLExecute(FDADataSet, sql, params, operation, false, debug); });
}

void TDADataSetUpdater::CheckRowsAffected(int Count) {
    if (FDADataSet->Options()->StrictUpdate() && Count >= 0 && Count != 1)
        db::DatabaseError(rtl::Format(SUpdateFailedFound, {Count}));
}

// Contract: runs the statement of the given types (SQL, else the user's or a generated one) for
// the current record; true when a statement ran, false when there was nothing to run. Under
// StrictUpdate a write that touches other than one row is undone and raises; the connection is
// held only for the statement when it is not kept open anyway.
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
    const bool counted =
        !conn || !conn->Connected() || conn->Options()->DisconnectedMode() || conn->IsMultipleTransactionsSupported();
    rtl::TConnectionUse<TCustomDADataSet> use(FDADataSet, counted, true);
    if (!PrepareUpdateQuery(SQL, type, true)) return false;
    TCustomDASQL* sql = OwnOrSQL(FUpdateQuery, FUpdateQueries);
    TDAParams* params = sql ? sql->Params() : TDBAccessUtils::GetParams(FUpdateQuery);
    if (type != stBatchUpdate) SetParamValues(params, type);
    if (Batching(type)) {
        AddToBatch(params);
        return true;
    }
    if (FDADataSet->BeforeUpdateExecute) {
        FDADataSet->BeforeUpdateExecute(FDADataSet, StatementTypes, params);
        // The handler may have left a parameter it was to fill.
        for (int i = 0; i < params->Count(); ++i)
            if (params->Items(i)->DataType() == db::ftUnknown)
                db::DatabaseError(rtl::Format(SUnknownParamDataType, {params->Items(i)->Name()}));
    }
    if (type == stBatchUpdate) {
        FRowsAffected = ExecuteBatch();
        FDADataSet->FRowsAffected = FRowsAffected;
        // Each statement of a batch writes one record.
        if (FDADataSet->Options()->StrictUpdate() && FRowsAffected >= 0 && FRowsAffected != FBatchCount)
            db::DatabaseError(rtl::Format(SUpdateFailedFound, {FRowsAffected}));
    } else {
        FRowsAffected = ExecuteChecked(type);
        FDADataSet->FRowsAffected = FRowsAffected;
        if (type == stInsert || type == stUpdate || type == stDelete) CheckRowsAffected(FRowsAffected);
    }
    if (FDADataSet->AfterUpdateExecute) FDADataSet->AfterUpdateExecute(FDADataSet, StatementTypes, params);
    return true;
}

bool TDADataSetUpdater::GetIdentityFieldValue(Variant&) { return false; }

TCustomDASQL* TDADataSetUpdater::CurrentUpdateSQL() const { return OwnOrSQL(FUpdateQuery, FUpdateQueries); }

// ---------------------------------------------------------------------------------------------
// Batches: generated statements of cached records collected into one text

bool TDADataSetUpdater::BatchUpdates() {
    return FDADataSet->ApplyingUpdates() && FDADataSet->Options()->UpdateBatchSize() > 1 && !FDADataSet->UpdateObject();
}

bool TDADataSetUpdater::BatchFull() {
    return BatchUpdates() && FBatchCount > 0 && FBatchCount >= FDADataSet->Options()->UpdateBatchSize();
}

bool TDADataSetUpdater::Batching(TStatementType StatementType) {
    return (StatementType == stInsert || StatementType == stUpdate || StatementType == stDelete) && BatchUpdates();
}

void TDADataSetUpdater::AddToBatch(TDAParams* Params) {
    if (!FBatchParams) FBatchParams.reset(rtl::Create<TDAParams>(nullptr));
    if (FBatchCount > 0) FBatchSQL += "\r\n";
    FBatchSQL += TDBAccessUtils::GetSQL(FUpdateQuery);
    FBatchSQL += ";";
    for (int i = 0; i < Params->Count(); ++i) {
        TDAParam* from = Params->Items(i);
        FBatchParams->CreateParam(from->DataType(), from->Name(), from->ParamType())->Assign(from);
    }
    ++FBatchCount;
}

void TDADataSetUpdater::ClearBatch() {
    FBatchSQL.clear();
    if (FBatchParams) FBatchParams->Clear();
    FBatchCount = 0;
}

void TDADataSetUpdater::FlushBatch() {
    if (FBatchCount == 0) return;
    rtl::TryFinally([&] { PerformSQL(AnsiString(), StatementTypeBit(stBatchUpdate)); }, [&] { ClearBatch(); });
}

int TDADataSetUpdater::ExecuteBatch() {
    ExecuteUpdateQuery(stBatchUpdate);
    return TDBAccessUtils::GetRowsAffected(FUpdateQuery);
}

bool TDADataSetUpdater::PerformInsert() {
    FRowsAffected = -1;
    if (!PerformSQL(AnsiString(), StatementTypeBit(stInsert))) {
        CheckRowsAffected(0);
        return false;
    }
    // The last insert id belongs to an earlier statement when nothing was inserted; a batched
    // insert has not run yet.
    if (FRowsAffected == 0 || Batching(stInsert)) return true;
    Variant v;
    if (store::TFieldDesc* id = FDAService->IdentityField(); id && GetIdentityFieldValue(v)) {
        void* buf = FDADataSet->NewValuesBuffer();
        if (buf) FDADataSet->IRecordSet()->PutFieldAsVariant(id->FieldNo, buf, v);
    }
    if (TCustomDASQL* sql = OwnOrSQL(FUpdateQuery, FUpdateQueries)) FDADataSet->FLastInsertId = sql->LastInsertId();
    if (FDADataSet->RefreshOptions().Contains(roAfterInsert) && NeedsRefreshStatement()) RefreshRecordAfterUpdate();
    return true;
}

bool TDADataSetUpdater::PerformUpdate() {
    bool ran = false;
    // While cached changes are applied, the record's lock, if any, was taken when it was edited.
    const bool optimistic = FDADataSet->LockMode() == lmOptimistic && !FDADataSet->ApplyingUpdates();
    try {
        if (optimistic) LockRecord();
        ran = PerformSQL(AnsiString(), StatementTypeBit(stUpdate));
        if (ran && FDADataSet->RefreshOptions().Contains(roAfterUpdate) &&
            (FDADataSet->Options()->FullRefresh() || !FDADataSet->DMLRefresh()))
            RefreshRecordAfterUpdate();
    } catch (...) {
        // A pessimistic lock stays with the record, which is still being edited.
        if (optimistic) UnlockRecord();
        throw;
    }
    EndLock(ran);
    return ran;
}

bool TDADataSetUpdater::PerformDelete() {
    bool ran = false;
    const bool optimistic = FDADataSet->LockMode() == lmOptimistic && !FDADataSet->ApplyingUpdates();
    try {
        if (optimistic) LockRecord();
        ran = PerformSQL(AnsiString(), StatementTypeBit(stDelete));
    } catch (...) {
        if (FDADataSet->LockMode() != lmNone && !FDADataSet->ApplyingUpdates()) UnlockRecord();
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
        return std::fabs(rtl::SQLTimeStampToDateTime(A.AsSQLTimeStamp()) -
                         rtl::SQLTimeStampToDateTime(B.AsSQLTimeStamp())) < OneMillisecond;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Refresh and locks

TCustomDADataSet* TDADataSetUpdater::RowQuery(int Slot) {
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    if (!conn) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    auto& own = FRowQueries[Slot];
    if (!own) {
        own.reset(conn->CreateDataSet());
        TDBAccessUtils::SetTraceSuppressed(own.get(), true);
        own->SetFetchAll(true);
    }
    TCustomDADataSet* query = own.get();
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
    return query;
}

bool TDADataSetUpdater::PerformRowSQL(const AnsiString& SQL, TStatementTypes StatementTypes) {
    const bool lock = (StatementTypes & StatementTypeBit(stLock)) != 0;
    const bool refresh = (StatementTypes & StatementTypeBit(stRefresh)) != 0;
    const TStatementType type = lock ? stLock : stRefresh;
    TCustomDAConnection* conn = FDADataSet->UsedConnection();
    if (!conn) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    rtl::TConnectionUse<TCustomDADataSet> use(FDADataSet, true, true);

    TCustomDAUpdateSQL* uo = FDADataSet->UpdateObject();
    TCustomDADataSet* query = nullptr;
    if (uo && uo->GetObject(type)) {
        query = static_cast<TCustomDADataSet*>(uo->GetObject(type));
        if (rtl::Trim(query->SQL()).empty()) db::DatabaseError(SUpdateSQLEmpty);
        if (!query->Connection()) query->SetConnection(conn);
    }
    AnsiString text = SQL;
    if (!query) {
        query = RowQuery(lock ? 0 : 1);
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

void TDADataSetUpdater::CopyRow(TCustomDADataSet* Source, bool Compare, void* Target) {
    store::TData* data = FDADataSet->IRecordSet();
    const bool editing = FDADataSet->State() == db::dsEdit || FDADataSet->State() == db::dsInsert;
    void* buf = Target                          ? Target
                : FDADataSet->ApplyingUpdates() ? FDADataSet->NewValuesBuffer()
                                                : FDADataSet->ActiveBuffer();
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
            store::TBlob* source =
                f->FieldNo() > 0 && Source->IRecordSet()->IsBlobFieldType(
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
            if (!ValuesEqual(f->Value(), data->GetFieldValue(d->FieldNo, compareBuf)))
                db::DatabaseError(SRecordChanged);
            continue;
        }
        data->PutFieldAsVariant(d->FieldNo, buf, f->Value());
    }
    if (Compare || Target || FDADataSet->ApplyingUpdates() || FRefreshInUpdate) return;
    // A browsed record goes back into the store at once.
    data->PutRecord(buf);
}

// ---------------------------------------------------------------------------------------------
// Quick refresh: the records the server changed or no longer has

namespace {
// One text per key: values of different records never give the same text.
std::string KeyText(store::TData* Data, const void* RecBuf, const std::vector<store::TFieldDesc*>& Keys) {
    std::string key;
    for (store::TFieldDesc* d : Keys) {
        const Variant v = Data->GetFieldValue(d->FieldNo, RecBuf);
        if (v.IsNull() || v.IsEmpty()) {
            key += '\x01';
        } else {
            const AnsiString t = rtl::VarToStr(v);
            key += std::to_string(t.size()) + ':' + t;
        }
    }
    return key;
}

std::string KeyText(TCustomDADataSet* Query, const std::vector<store::TFieldDesc*>& Keys) {
    std::string key;
    for (size_t i = 0; i < Keys.size(); ++i) {
        db::TField* f = Query->FindField(Keys[i]->Name);
        if (!f && static_cast<int>(i) < Query->Fields().Count()) f = Query->Fields()[i];
        const Variant v = f ? f->Value() : Variant();
        if (v.IsNull() || v.IsEmpty()) {
            key += '\x01';
        } else {
            const AnsiString t = rtl::VarToStr(v);
            key += std::to_string(t.size()) + ':' + t;
        }
    }
    return key;
}
}  // namespace

void TDADataSetUpdater::RunRowQuery(TCustomDADataSet* Query, TStatementType StatementType) {
    const AnsiString text = FDAService->SQLGenerator()->GenerateSQL(StatementType, false, nullptr);
    if (text != Query->SQL()) {
        Query->Params()->Clear();
        TDBAccessUtils::SetSQLText(Query, text, false, false);
    }
    FUseParamsInfo = false;
    FUpdateQuery = Query;
    TDAParams* params = Query->Params();
    SetParamValues(params, StatementType);
    const TStatementTypes types = StatementTypeBit(StatementType);
    if (FDADataSet->BeforeUpdateExecute) FDADataSet->BeforeUpdateExecute(FDADataSet, types, params);
    ExecuteUpdateQuery(StatementType);
    if (FDADataSet->AfterUpdateExecute) FDADataSet->AfterUpdateExecute(FDADataSet, types, params);
}

void TDADataSetUpdater::RemoveDeletedRecords(const std::vector<store::TFieldDesc*>& Keys) {
    TCustomDADataSet* query = RowQuery(2);
    RunRowQuery(query, stRefreshCheckDeleted);
    std::set<std::string> present;
    if (query->Active())
        for (query->First(); !query->Eof(); query->Next()) present.insert(KeyText(query, Keys));
    query->Close();
    auto* data = static_cast<store::TMemData*>(FDADataSet->IRecordSet());
    std::vector<store::TRecBookmark> gone;
    void* buf = data->AllocRecBuf();
    rtl::TryFinally(
        [&] {
            for (data->SetToBegin();;) {
                data->GetNextRecord(buf);
                if (data->GetEof()) break;
                if (!present.count(KeyText(data, buf, Keys))) {
                    gone.emplace_back();
                    data->GetBookmark(gone.back());
                }
            }
        },
        [&] { data->FreeRecBuf(buf); });
    for (const store::TRecBookmark& b : gone) {
        data->SetToBookmark(b);
        data->RemoveRecord();
    }
}

void TDADataSetUpdater::ReadChangedRecords(const std::vector<store::TFieldDesc*>& Keys) {
    TCustomDADataSet* query = RowQuery(2);
    RunRowQuery(query, stRefreshQuick);
    if (!query->Active()) return;
    FDADataSet->FRowsAffected = query->RecordCount();
    auto* data = static_cast<store::TMemData*>(FDADataSet->IRecordSet());
    std::map<std::string, store::TRecBookmark> records;
    std::vector<std::pair<db::TField*, store::TFieldDesc*>> special;
    for (db::TField* f : query->Fields())
        if (store::TFieldDesc* d = data->FindField(f->FieldName()); d && IsSpecialRefreshField(d))
            special.emplace_back(f, d);
    auto handOver = [&] {
        for (auto& [f, d] : special) SetSpecialRefreshValue(d, f->Value());
    };
    void* buf = data->AllocRecBuf();
    rtl::TryFinally(
        [&] {
            if (query->RecordCount() == 0) return;
            for (data->SetToBegin();;) {
                data->GetNextRecord(buf);
                if (data->GetEof()) break;
                data->GetBookmark(records[KeyText(data, buf, Keys)]);
            }
            for (query->First(); !query->Eof(); query->Next()) {
                auto it = records.find(KeyText(query, Keys));
                if (it != records.end()) {
                    data->SetToBookmark(it->second);
                    data->GetRecord(buf);
                    CopyRow(query, false, buf);
                    data->PutRecord(buf);
                    handOver();
                    continue;
                }
                // A record the dataset has not seen yet joins the store only: nothing is written.
                data->InitRecord(buf);
                data->CreateComplexFields(buf, true);
                CopyRow(query, false, buf);
                handOver();
                const bool local = FDADataSet->LocalUpdate();
                FDADataSet->SetLocalUpdate(true);
                rtl::TryFinally([&] { data->AppendRecord(buf); }, [&] { FDADataSet->SetLocalUpdate(local); });
            }
        },
        [&] { data->FreeRecBuf(buf); });
    query->Close();
    if (!data->IndexFieldNames().empty()) data->SortItems();
}

bool TDADataSetUpdater::PerformRefreshQuick(bool CheckDeleted) {
    TCustomDADataSet* ds = FDADataSet;
    if (ds->BeforeRefresh) ds->BeforeRefresh(ds);
    ds->BeginConnection(true);
    bool done = false;
    rtl::TryFinally(
        [&] {
            const std::vector<store::TFieldDesc*> keys = FDAService->GetKeyFieldDescs();
            if (keys.empty()) db::DatabaseError(SUniqueKeyFieldsRequired);
            ds->CheckBrowseMode();
            if (!FDAService->UpdatingTableInfo()) return;
            AnsiString keyNames;
            for (store::TFieldDesc* d : keys) keyNames += (keyNames.empty() ? "" : ";") + rtl::WideToAnsi(d->Name);
            std::vector<Variant> kept;
            if (!ds->IsEmpty())
                for (store::TFieldDesc* d : keys) {
                    db::TField* f = ds->FindField(d->Name);
                    kept.push_back(f ? f->Value() : Variant());
                }
            const bool strict = ds->Options()->StrictUpdate();
            const bool filtered = ds->Filtered();
            ds->DisableControls();
            rtl::TryFinally(
                [&] {
                    ds->SetFiltered(false);
                    ds->Options()->SetStrictUpdate(false);
                    if (CheckDeleted && !ds->IsEmpty()) RemoveDeletedRecords(keys);
                    // The condition names the current record's key: without one there is nothing to read.
                    if (!kept.empty()) {
                        ds->First();
                        if (kept.size() == 1 ? ds->Locate(rtl::AnsiToWide(keyNames), kept[0], {})
                                             : ds->Locate(rtl::AnsiToWide(keyNames), rtl::VarArrayOf(kept), {}))
                            ReadChangedRecords(keys);
                    }
                },
                [&] {
                    ds->Options()->SetStrictUpdate(strict);
                    ds->SetFiltered(filtered);
                    ds->First();
                    if (!kept.empty()) {
                        if (kept.size() == 1)
                            ds->Locate(rtl::AnsiToWide(keyNames), kept[0], {});
                        else
                            ds->Locate(rtl::AnsiToWide(keyNames), rtl::VarArrayOf(kept), {});
                    }
                    ds->EnableControls();
                });
            done = true;
        },
        [&] { ds->EndConnection(); });
    if (done && ds->AfterRefresh) ds->AfterRefresh(ds);
    return done;
}

bool TDADataSetUpdater::PerformRefreshRecord() { return PerformSQL(AnsiString(), StatementTypeBit(stRefresh)); }

bool TDADataSetUpdater::RefreshRecordAfterUpdate() {
    rtl::TScopedValue<bool> inUpdate(FRefreshInUpdate, true);
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
    FLockStartedTransaction = false;
    // Under the cached-updates lock the record locks are savepoints inside its transaction.
    FLockTransaction = FCachedLockTransaction;
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

bool TDADataSetUpdater::CachedLockApplies() const {
    return FDADataSet->CachedUpdates() && FDADataSet->LockMode() == lmPessimistic;
}

bool TDADataSetUpdater::PendingCachedChanges() const {
    store::TData* data = FDADataSet->IRecordSet();
    return data && data->HasModifiedOrDeleted();
}

void TDADataSetUpdater::SetCachedUpdatesSavepoint() {
    // The first locked record of a cached session opens the transaction that holds every lock
    // until the changes are applied or given up.
    if (!CachedLockApplies() || PendingCachedChanges() || CachedLockHeld()) return;
    TDATransaction* tr = FDADataSet->UsedUpdateTransaction();
    if (!tr) return;
    const AnsiString name = LockSavepointName(true);
    if (tr->Active()) {
        if (SupportsSavepoints()) tr->Savepoint(name);
        FCachedLockStartedTransaction = false;
    } else {
        tr->StartTransaction();
        FCachedLockStartedTransaction = true;
    }
    FCachedLockTransaction = tr;
    FLockTransaction = tr;
    FLockStartedTransaction = false;
}

void TDADataSetUpdater::GiveBackCachedLock() {
    bool started;
    TDATransaction* tr = ResetLockTransaction(started);
    if (!tr) return;
    try {
        if (started)
            tr->Rollback();
        else if (!SupportsSavepoints())
            tr->RollbackRetaining();
        else {
            const AnsiString name = LockSavepointName(true);
            tr->RollbackToSavepoint(name);
            tr->ReleaseSavepoint(name);
        }
    } catch (const rtl::Exception&) {
    }
}

void TDADataSetUpdater::RollbackCachedUpdatesSavepoint() {
    if (CachedLockApplies() && CachedLockHeld() && !PendingCachedChanges()) GiveBackCachedLock();
}

void TDADataSetUpdater::RollbackCachedUpdatesSavepointOnApply() {
    if (CachedLockApplies() && CachedLockHeld() && PendingCachedChanges()) GiveBackCachedLock();
}

TDATransaction* TDADataSetUpdater::ResetLockTransaction(bool& Started) {
    TDATransaction* tr = FCachedLockTransaction;
    Started = FCachedLockStartedTransaction;
    FCachedLockTransaction = nullptr;
    FCachedLockStartedTransaction = false;
    FLockTransaction = nullptr;
    FLockStartedTransaction = false;
    return tr;
}

bool TDADataSetUpdater::AfterRevertRecord() {
    RollbackCachedUpdatesSavepoint();
    return true;
}

bool TDADataSetUpdater::AfterApplyUpdates() {
    // The applied changes were written inside the transaction that held the locks: it ends as
    // the dataset's other writes do.
    bool started;
    TDATransaction* tr = ResetLockTransaction(started);
    if (!tr) return true;
    if (started) {
        if (FDADataSet->AutoCommit()) tr->Commit();
    } else if (SupportsSavepoints()) {
        tr->ReleaseSavepoint(LockSavepointName(true));
    }
    return true;
}

bool TDADataSetUpdater::BeforeCancelUpdates() {
    RollbackCachedUpdatesSavepointOnApply();
    return true;
}

bool TDADataSetUpdater::LockRecord() {
    if (FDADataSet->Eof() && FDADataSet->Bof()) return false;
    FDADataSet->UpdateCursorPos();
    BeginLockTransaction(LockSavepointName());
    return PerformSQL(AnsiString(), StatementTypeBit(stLock));
}

void TDADataSetUpdater::UnlockRecord() { EndLockTransaction(LockSavepointName()); }

void TDADataSetUpdater::EndLock(bool Ran) {
    // The cached-updates lock ends with the apply, not with one of its records.
    if (!FLockTransaction || CachedLockHeld()) return;
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

bool TDADataSetUpdater::CachedChangePending() {
    return FDADataSet->CachedUpdates() && FDADataSet->UpdateStatus() != db::usUnmodified &&
           FDADataSet->UpdateResult() != store::urApplied;
}

void TDADataSetUpdater::BeforeEdit() {
    const bool refresh = FDADataSet->RefreshOptions().Contains(roBeforeEdit) &&
                         !(FDADataSet->CachedUpdates() && FDADataSet->UpdateStatus() == db::usInserted);
    // A cached record with a change not yet applied was locked when that change began.
    const bool lock = FDADataSet->LockMode() == lmPessimistic && !CachedChangePending();
    TStatementTypes types = 0;
    if (refresh) {
        if (lock && LockRefreshesRecord())
            types |= StatementTypeBit(stRefresh);
        else
            PerformRefreshRecord();
    }
    if (lock) types |= StatementTypeBit(stLock);
    if (!types) return;
    if (lock) {
        if (FDADataSet->CachedUpdates()) SetCachedUpdatesSavepoint();
        BeginLockTransaction(LockSavepointName());
    }
    try {
        PerformSQL(AnsiString(), types);
    } catch (...) {
        if (lock) {
            UnlockRecord();
            if (FDADataSet->CachedUpdates()) RollbackCachedUpdatesSavepoint();
        }
        throw;
    }
}

void TDADataSetUpdater::BeforeDelete() {
    if (FDADataSet->LockMode() != lmPessimistic || CachedChangePending()) return;
    if (FDADataSet->CachedUpdates()) SetCachedUpdatesSavepoint();
    try {
        LockRecord();
    } catch (...) {
        UnlockRecord();
        if (FDADataSet->CachedUpdates()) RollbackCachedUpdatesSavepoint();
        throw;
    }
}

void TDADataSetUpdater::AfterCancel() {
    if (FDADataSet->LockMode() != lmPessimistic || FDADataSet->State() == db::dsInsert || CachedChangePending()) return;
    UnlockRecord();
    if (FDADataSet->CachedUpdates()) RollbackCachedUpdatesSavepoint();
}

bool TDADataSetUpdater::PerformPSUpdateRecord(db::TUpdateKind UpdateKind, db::TDataSet* Delta) {
    const TStatementType type = StatementTypeOf(UpdateKind);
    TCustomDAUpdateSQL* uo = FDADataSet->UpdateObject();
    AnsiString text = uo ? uo->GetSQLText(type) : AnsiString();
    if (text.empty()) text = GetUserSQL(type);
    if (rtl::Trim(text).empty() || !Delta) return false;
    rtl::TConnectionUse<TCustomDADataSet> use(FDADataSet, true, true);
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
