// The query dataset's secondary operations: FilterSQL, master/detail parameters, refresh, record
// count, default expressions, the Filtered switch and the settings and options objects.
#include "data/access/DBAccess.h"
#include "data/store/DAConsts.h"
#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

namespace {

bool VariantEmpty(const Variant& V) { return V.IsEmpty() || V.IsNull(); }

// A temporary record set of the dataset's connection, for statements beside the dataset's own.
rtl::TOwnedPtr<TCRRecordSet> ScratchRecordSet(TCustomDAConnection* Conn, TDATransaction* Tr, const AnsiString& SQL) {
    rtl::TOwnedPtr<TCRRecordSet> rs(Conn->GetIRecordSetClass().Create());
    rs->SetConnection(Conn->IConnection());
    rs->SetTransaction(Tr ? Tr->ITransaction() : nullptr);
    rs->SetSQL(SQL);
    rs->SetProp(pidFetchAll, true);
    return rs;
}

// The literal an expression stands for, when it is one: a string, a number, true or false in any
// number of brackets.
bool ReadLiteral(const AnsiString& Expression, AnsiString& Literal) {
    AnsiString e = rtl::Trim(Expression);
    while (e.size() >= 2 && e.front() == '(' && e.back() == ')') e = rtl::Trim(e.substr(1, e.size() - 2));
    if (e.empty()) {
        Literal.clear();
        return true;
    }
    if (e.front() == '\'' && e.size() >= 2 && e.back() == '\'') {
        AnsiString text;
        for (size_t i = 1; i + 1 < e.size(); ++i) {
            if (e[i] == '\'') {
                if (e[i + 1] != '\'' || i + 2 >= e.size()) return false;
                ++i;
            }
            text += e[i];
        }
        Literal = text;
        return true;
    }
    if (rtl::CompareText(e, "true") == 0 || rtl::CompareText(e, "false") == 0) {
        Literal = e;
        return true;
    }
    size_t i = 0;
    if (e[i] == '-' || e[i] == '+') ++i;
    bool digits = false, dot = false;
    for (; i < e.size(); ++i) {
        if (e[i] >= '0' && e[i] <= '9')
            digits = true;
        else if (e[i] == '.' && !dot)
            dot = true;
        else
            return false;
    }
    if (!digits) return false;
    const char sep = rtl::FormatSettings().DecimalSeparator;
    if (sep != '.')
        if (size_t p = e.find('.'); p != AnsiString::npos) e[p] = sep;
    Literal = e;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// FilterSQL

void TCustomDADataSet::SetFilterSQL(const AnsiString& Value) {
    const AnsiString text = rtl::Trim(Value);
    if (text == FFilterSQL) return;
    const AnsiString old = FFilterSQL;
    const bool wasActive = Active();
    // Values of parameters the new text lacks must survive a failed attempt.
    rtl::TOwnedPtr<TDAParams> saved(rtl::Create<TDAParams>());
    for (int i = 0; i < Params()->Count(); ++i) static_cast<TDAParam*>(saved->Add())->Assign(Params()->Items(i));
    FFilterSQL = text;
    SQLTextChanged();
    if (!wasActive) return;
    try {
        Open();
        if (Filtered() && !Filter().empty()) Refilter();
    } catch (...) {
        // The old condition is back in force, with parameters derived from it; the dataset stays closed.
        FFilterSQL = old;
        try {
            SQLTextChanged();
            Params()->AssignValues(saved.get());
        } catch (...) {
            // The original error is the one the caller hears.
        }
        throw;
    }
}

// ---------------------------------------------------------------------------------------------
// Master/detail

bool TCustomDADataSet::SetMasterParams(TDAParams* Params) {
    if (FOptions->LocalMasterDetail()) return TMemDataSet::UpdateMasterValues();
    db::TDataSource* src = MasterSource();
    db::TDataSet* master = src ? src->DataSet() : nullptr;
    if (!master || !master->Active()) return false;
    bool changed = false;
    for (int i = 0; i < Params->Count(); ++i) {
        TDAParam* p = Params->Items(i);
        db::TField* f = master->FindField(rtl::AnsiToWide(p->Name()));
        if (!f) continue;
        if (p->IsObjectDataType(f->DataType())) {
            p->AssignField(f);
            changed = true;
        } else if (Active()) {
            const Variant pv = p->Value();
            const Variant fv = f->Value();
            const bool same = (!VariantEmpty(pv) && !fv.IsNull() && pv == fv) || (VariantEmpty(pv) && fv.IsNull());
            if (!same) {
                p->AssignField(f);
                changed = true;
            }
        } else {
            p->AssignField(f);
            changed = true;
        }
        p->SetParamType(db::ptInput);
    }
    return changed;
}

bool TCustomDADataSet::UpdateMasterValues() { return SetMasterParams(Params()); }

bool TCustomDADataSet::UseMasterDetail() { return FOptions && FOptions->LocalMasterDetail() && HasMasterDetailLink(); }

void TCustomDADataSet::RefreshMasterFilter() {
    if (!FDataSQL || !FOptions) return;
    if (FOptions->LocalMasterDetail()) {
        TMemDataSet::RefreshMasterFilter();
        return;
    }
    const bool wasActive = Active();
    SQLTextChanged();
    if (wasActive) Open();
}

void TCustomDADataSet::RefreshDetail() {
    if (FOptions->LocalMasterDetail()) {
        TMemDataSet::RefreshDetail();
        return;
    }
    if (FDetailTimer) FDetailTimer->SetEnabled(false);
    if (!Active()) return;
    if (BeforeRefresh) BeforeRefresh(this);
    DisableControls();
    rtl::TryFinally(
        [&] {
            ExecuteWithFailover(UsedConnection(), clRefresh, [&] {
                CheckBrowseMode();
                FreeBuffersComplexFields();
                ReopenRecordSet();
                if (Active()) First();
            });
        },
        [&] { EnableControls(); });
    FRowsAffected = -1;
    if (AfterRefresh) AfterRefresh(this);
}

void TCustomDADataSet::CollectDetailLinkFields(std::vector<db::TField*>& MasterList,
                                               std::vector<db::TField*>& DetailList) {
    db::TDataSource* src = MasterSource();
    db::TDataSet* master = src ? src->DataSet() : nullptr;
    if (!master || Params()->Count() == 0) {
        TMemDataSet::CollectDetailLinkFields(MasterList, DetailList);
        return;
    }
    MasterList.clear();
    DetailList.clear();
    for (int i = 0; i < Params()->Count(); ++i) {
        const WideString name = rtl::AnsiToWide(Params()->Items(i)->Name());
        db::TField* m = master->FindField(name);
        if (!m) continue;
        MasterList.push_back(m);
        if (db::TField* d = FindField(name)) DetailList.push_back(d);
    }
}

// ---------------------------------------------------------------------------------------------
// Refresh and record count

bool TCustomDADataSet::GetKeyFieldsAndValues(std::vector<db::TField*>& KeyList, Variant& Values) {
    KeyList.clear();
    if (!Active() || IsEmpty()) return false;
    if (!FKeyFields.empty()) {
        GetFieldList(KeyList, rtl::AnsiToWide(FKeyFields));
    } else {
        for (db::TField* f : Fields())
            if (f->FieldKind() == db::fkData && !db::IsBlobType(f->DataType())) KeyList.push_back(f);
    }
    if (KeyList.empty()) return false;
    if (KeyList.size() == 1) {
        Values = KeyList[0]->Value();
        return true;
    }
    std::vector<Variant> values;
    for (db::TField* f : KeyList) values.push_back(f->Value());
    Values = rtl::VarArrayOf(std::move(values));
    return true;
}

void TCustomDADataSet::RefreshStep() {
    std::vector<db::TField*> keys;
    Variant values;
    const bool haveKey = GetKeyFieldsAndValues(keys, values);
    ExecuteWithFailover(UsedConnection(), clRefresh, [&] {
        BeginConnection(true);
        rtl::TryFinally(
            [&] {
                FRecordCount = FOptions->QueryRecCount() && !GetFetchAll() ? GetServerRecCount() : 0;
                if (BeforeExecute) BeforeExecute(this);
                TMemDataSet::RefreshStep();
            },
            [&] { EndConnection(); });
    });
    FRowsAffected = -1;
    if (!Active()) return;
    // The platform resyncs around the store's cursor: the remembered row, else the first.
    if (!haveKey || !LocateByFieldList(keys, false, 0, values)) FIRecordSet->SetToBegin();
}

int TCustomDADataSet::GetServerRecCount() {
    auto* service = dynamic_cast<TDADataSetService*>(DataSetService());
    return service ? service->GetRecCount() : CountServerRows("SELECT count(*) FROM (\r\n" + GetFinalSQL() + "\r\n)");
}

int TCustomDADataSet::CountServerRows(const AnsiString& SQL) {
    TCustomDAConnection* conn = UsedConnection();
    if (!conn) return 0;
    auto rs = ScratchRecordSet(conn, UsedTransaction(), SQL);
    TCRCommand* cmd = rs->GetCommand();
    TParamDescOptions options;
    options.ConvertEOL = conn->ConvertEOL();
    for (int i = 0; i < cmd->ParamCount() && i < Params()->Count(); ++i) {
        WriteParamDesc(*Params()->Items(i), *cmd->Params(i), TDAFieldTypeMap::Instance(), options);
        WriteParamValue(*Params()->Items(i), *cmd->Params(i), options);
    }
    rs->Open();
    int count = 0;
    void* buf = rs->AllocRecBuf();
    rtl::TryFinally(
        [&] {
            rs->SetToBegin();
            rs->GetNextRecord(buf);
            if (!rs->GetEof()) {
                const Variant v = rs->GetFieldValue(1, buf);
                count = VariantEmpty(v) ? 0 : static_cast<int>(v.AsInt64());
            }
        },
        [&] { rs->FreeRecBuf(buf); });
    rs->Close();
    return count;
}

int TCustomDADataSet::CountRecords() const {
    auto* self = const_cast<TCustomDADataSet*>(this);
    if (Active() && FOptions->QueryRecCount() && FRecordCount != 0 && !self->FetchFinished()) {
        // Rows inserted or deleted since the open correct the server's count.
        return FRecordCount + FRecordCountDelta;
    }
    return TMemDataSet::CountRecords();
}

// ---------------------------------------------------------------------------------------------
// Filtered switch and default values

void TCustomDADataSet::ChangeFiltered(bool Value) {
    if (Value == Filtered() || !Active()) {
        TMemDataSet::ChangeFiltered(Value);
        return;
    }
    std::vector<db::TField*> keys;
    Variant values;
    const bool haveKey = GetKeyFieldsAndValues(keys, values);
    TMemDataSet::ChangeFiltered(Value);
    if (haveKey && Active()) LocateFieldsResync(keys, 0, values);
}

void TCustomDADataSet::AssignDefaultExpressions() {
    FAssigningDefaults = true;
    rtl::TryFinally([&] { AssignDefaultValues(); }, [&] { FAssigningDefaults = false; });
}

void TCustomDADataSet::AssignDefaultValues() {
    AnsiString list;
    std::vector<db::TField*> remembered;
    for (db::TField* f : Fields()) {
        const AnsiString& expression = f->DefaultExpression();
        if (expression.empty()) continue;
        AnsiString literal;
        if (ReadLiteral(expression, literal)) {
            if (dynamic_cast<db::TLargeintField*>(f))
                f->SetAsString(literal);
            else
                f->SetValue(Variant(literal));
            continue;
        }
        if (!list.empty()) list += ", ";
        list += expression;
        remembered.push_back(f);
    }
    if (list.empty()) return;
    // Every expression the server must evaluate comes back from one statement.
    BeginConnection(true);
    rtl::TryFinally(
        [&] {
            auto rs = ScratchRecordSet(UsedConnection(), UsedTransaction(), "SELECT " + list);
            rs->Open();
            void* buf = rs->AllocRecBuf();
            rtl::TryFinally(
                [&] {
                    rs->SetToBegin();
                    rs->GetNextRecord(buf);
                    if (!rs->GetEof())
                        for (size_t i = 0; i < remembered.size(); ++i)
                            remembered[i]->SetValue(rs->GetFieldValue(static_cast<int>(i) + 1, buf));
                },
                [&] { rs->FreeRecBuf(buf); });
            rs->Close();
        },
        [&] { EndConnection(); });
}

// ---------------------------------------------------------------------------------------------
// Settings

void TCustomDADataSet::SetFetchRows(int Value) {
    if (Value == FFetchRows) return;
    CheckInactive();
    if (Value < 1 || Value > 65535) db::DatabaseError(SInvalidFetchRows);
    FFetchRows = Value;
    if (FIRecordSetCR) FIRecordSetCR->SetProp(pidFetchRows, Value);
}

void TCustomDADataSet::SetFetchAll(bool Value) {
    FFetchAll = Value;
    if (Value) FUniDirectional = false;
    if (FIRecordSetCR) {
        FIRecordSetCR->SetProp(pidUniDirectional, FUniDirectional);
        FIRecordSetCR->SetProp(pidFetchAll, Value);
    }
    if (Value && Active() && FIRecordSetCR && !FetchFinished()) {
        FIRecordSetCR->FetchAll();
        Resync({});
        if (FHoldsFetchConnection) {
            FHoldsFetchConnection = false;
            EndConnection();
        }
    }
}

void TCustomDADataSet::SetUniDirectional(bool Value) {
    if (Value == FUniDirectional) return;
    CheckInactive();
    FUniDirectional = Value;
    if (Value) FFetchAll = false;
    if (FIRecordSetCR) {
        FIRecordSetCR->SetProp(pidFetchAll, FFetchAll);
        FIRecordSetCR->SetProp(pidUniDirectional, Value);
    }
}

void TCustomDADataSet::SetReadOnly(bool Value) {
    if (Value == FReadOnly) return;
    if (FIRecordSetCR) FIRecordSetCR->SetProp(pidReadOnly, Value);
    FReadOnly = Value;
}

void TCustomDADataSet::SetAutoCommit(bool Value) {
    FAutoCommit = Value;
    if (FICommand) FICommand->SetProp(pidAutoCommit, Value);
}

// ---------------------------------------------------------------------------------------------
// Options

rtl::TPersistent* TDADataSetOptions::GetOwner() { return FOwner; }

bool TDADataSetOptions::CheckInactiveChange(bool Old, bool Value) {
    if (Old == Value) return false;
    if (FOwner) FOwner->CheckInactive();
    return true;
}

void TDADataSetOptions::SetRecordSetProp(int Prop, const Variant& Value) {
    if (FOwner && FOwner->ICRRecordSet()) FOwner->ICRRecordSet()->SetProp(Prop, Value);
}

void TDADataSetOptions::SetCommandProp(int Prop, const Variant& Value) {
    if (FOwner && FOwner->ICommand()) FOwner->ICommand()->SetProp(Prop, Value);
}

void TDADataSetOptions::SetRequiredFields(bool Value) {
    FRequiredFields = Value;
    if (!FOwner) return;
    FOwner->SetRequiredFieldsOption(Value);
    FOwner->FieldDefs().SetUpdated(false);
}

void TDADataSetOptions::SetNumberRange(bool Value) {
    FNumberRange = Value;
    if (FOwner) FOwner->SetNumberRangeOption(Value);
}

void TDADataSetOptions::SetAutoPrepare(bool Value) {
    if (Value == FAutoPrepare) return;
    FAutoPrepare = Value;
    if (FOwner) FOwner->UnPrepare();
}

void TDADataSetOptions::SetTrimFixedChar(bool Value) {
    FTrimFixedChar = Value;
    if (FOwner && FOwner->ICRRecordSet()) FOwner->ICRRecordSet()->TrimFixedChar = Value;
}

void TDADataSetOptions::SetTrimVarChar(bool Value) {
    FTrimVarChar = Value;
    if (FOwner && FOwner->ICRRecordSet()) FOwner->ICRRecordSet()->TrimVarChar = Value;
}

void TDADataSetOptions::SetSetEmptyStrToNull(bool Value) {
    FSetEmptyStrToNull = Value;
    if (FOwner && FOwner->ICRRecordSet()) FOwner->ICRRecordSet()->SetEmptyStrToNull = Value;
}

void TDADataSetOptions::SetLongStrings(bool Value) {
    if (!CheckInactiveChange(FLongStrings, Value)) return;
    FLongStrings = Value;
    SetRecordSetProp(pidLongStrings, Value);
    if (FOwner) FOwner->FieldDefs().SetUpdated(false);
}

void TDADataSetOptions::SetFlatBuffers(bool Value) {
    if (!CheckInactiveChange(FFlatBuffers, Value)) return;
    FFlatBuffers = Value;
    SetRecordSetProp(pidFlatBuffers, Value);
}

void TDADataSetOptions::SetQuoteNames(bool Value) {
    if (Value == FQuoteNames) return;
    FQuoteNames = Value;
    if (FOwner && FOwner->ICommand()) {
        SetCommandProp(pidQuoteNames, Value);
        FOwner->RefreshMasterFilter();
    }
}

void TDADataSetOptions::SetDetailDelay(int Value) {
    FDetailDelay = Value;
    if (FOwner) FOwner->SetDetailDelay(Value);
}

void TDADataSetOptions::SetCompressBlobMode(TCompressBlobMode Value) {
    if (Value == FCompressBlobMode) return;
    if (FOwner) FOwner->CheckInactive();
    FCompressBlobMode = Value;
    SetRecordSetProp(pidCompressBlobMode, static_cast<int>(Value));
    if (FOwner) FOwner->FieldDefs().SetUpdated(false);
}

void TDADataSetOptions::SetLocalMasterDetail(bool Value) {
    if (!CheckInactiveChange(FLocalMasterDetail, Value)) return;
    FLocalMasterDetail = Value;
    if (!FOwner) return;
    FOwner->TMemDataSet::SetLocalMasterDetail();
    FOwner->SQLTextChanged();
}

void TDADataSetOptions::SetCacheCalcFields(bool Value) {
    if (!CheckInactiveChange(FCacheCalcFields, Value)) return;
    FCacheCalcFields = Value;
    if (FOwner) FOwner->SetCacheCalcFieldsOption(Value);
}

void TDADataSetOptions::SetFieldsOrigin(bool Value) {
    if (!CheckInactiveChange(FFieldsOrigin, Value)) return;
    FFieldsOrigin = Value;
    SetRecordSetProp(pidFieldsOrigin, Value);
}

void TDADataSetOptions::SetDefaultValues(bool Value) {
    if (!CheckInactiveChange(FDefaultValues, Value)) return;
    FDefaultValues = Value;
    SetRecordSetProp(pidDefaultValues, Value);
}

void TDADataSetOptions::SetExtendedFieldsInfo(bool Value) {
    if (!CheckInactiveChange(FExtendedFieldsInfo, Value)) return;
    FExtendedFieldsInfo = Value;
    SetRecordSetProp(pidExtendedFieldsInfo, Value);
}

void TDADataSetOptions::SetEnableBCD(bool Value) {
    if (!CheckInactiveChange(FEnableBCD, Value)) return;
    FEnableBCD = Value;
    SetCommandProp(pidEnableBCD, Value);
}

void TDADataSetOptions::SetEnableFMTBCD(bool Value) {
    if (!CheckInactiveChange(FEnableFMTBCD, Value)) return;
    FEnableFMTBCD = Value;
    SetCommandProp(pidEnableFMTBCD, Value);
}

void TDADataSetOptions::AssignTo(rtl::TPersistent* Dest) {
    auto* d = dynamic_cast<TDADataSetOptions*>(Dest);
    if (!d) {
        TPersistent::AssignTo(Dest);
        return;
    }
    d->FSetFieldsReadOnly = FSetFieldsReadOnly;
    d->SetRequiredFields(FRequiredFields);
    d->FStrictUpdate = FStrictUpdate;
    d->SetNumberRange(FNumberRange);
    d->FQueryRecCount = FQueryRecCount;
    d->SetAutoPrepare(FAutoPrepare);
    d->FReturnParams = FReturnParams;
    d->SetTrimFixedChar(FTrimFixedChar);
    d->SetTrimVarChar(FTrimVarChar);
    d->SetSetEmptyStrToNull(FSetEmptyStrToNull);
    d->SetLongStrings(FLongStrings);
    d->FRemoveOnRefresh = FRemoveOnRefresh;
    d->SetFlatBuffers(FFlatBuffers);
    d->SetQuoteNames(FQuoteNames);
    d->SetDetailDelay(FDetailDelay);
    d->SetCompressBlobMode(FCompressBlobMode);
    d->FFullRefresh = FFullRefresh;
    d->SetLocalMasterDetail(FLocalMasterDetail);
    d->SetCacheCalcFields(FCacheCalcFields);
    d->SetFieldsOrigin(FFieldsOrigin);
    d->SetDefaultValues(FDefaultValues);
    d->SetExtendedFieldsInfo(FExtendedFieldsInfo);
    d->FUpdateBatchSize = FUpdateBatchSize;
    d->FUpdateAllFields = FUpdateAllFields;
    d->FPrepareUpdateSQL = FPrepareUpdateSQL;
    d->SetEnableBCD(FEnableBCD);
    d->SetEnableFMTBCD(FEnableFMTBCD);
}

}  // namespace daccess
