// The statements that write a dataset's record back: INSERT, UPDATE, DELETE and the refresh SELECT.
#include "data/access/DBAccess.h"
#include "data/store/MemData.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

namespace {
constexpr const char* CRLF = "\r\n";
}  // namespace

TDASQLGenerator::TDASQLGenerator(TDADataSetService* Service) : FService(Service) {
    if (!Service || !Service->DADataSet()) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    FDataSet = Service->DADataSet();
    for (AnsiString* b : {&FHeaderSB, &FFldSB, &FMiddleSB, &FFldParamSB, &FCondSB, &FFooterSB}) b->reserve(100);
}

void TDASQLGenerator::Clear() {
    for (AnsiString* b : {&FHeaderSB, &FFldSB, &FMiddleSB, &FFldParamSB, &FCondSB, &FFooterSB}) b->clear();
    FBuffersKnown = false;
    FOldRecBuf = FNewRecBuf = nullptr;
    FMemData = nullptr;
}

AnsiString TDASQLGenerator::AssembleSQL() {
    AnsiString s;
    s.reserve(FHeaderSB.size() + FFldSB.size() + FMiddleSB.size() + FFldParamSB.size() + FCondSB.size() +
              FFooterSB.size());
    s += FHeaderSB;
    s += FFldSB;
    s += FMiddleSB;
    s += FFldParamSB;
    s += FCondSB;
    s += FFooterSB;
    return s;
}

bool TDASQLGenerator::IsBlobDataType(store::TMemDataType DataType) const {
    return DataType == store::mdtBlob || DataType == store::mdtMemo || DataType == store::mdtWideMemo;
}

void TDASQLGenerator::CheckBuffers() {
    if (FBuffersKnown) return;
    FNewRecBuf = FDataSet->NewValuesBuffer();
    FOldRecBuf = FDataSet->OldValuesBuffer();
    // The dataset keeps its record set's driver view already cast; a dynamic_cast here would be
    // paid on every post.
    store::TData* data = FDataSet->IRecordSet();
    TCRRecordSet* cr = FDataSet->ICRRecordSet();
    if (cr && static_cast<store::TData*>(static_cast<store::TMemData*>(cr)) == data)
        FMemData = cr;
    else
        FMemData = dynamic_cast<store::TMemData*>(data);
    FBuffersKnown = true;
}

bool TDASQLGenerator::IsSubDataType(store::TMemDataType DataType) const {
    return DataType == store::mdtObject || DataType == store::mdtArray;
}

namespace {
// The sub-fields of an object or array: the descriptors after it that name it as parent.
template <class F>
bool AnySubField(store::TData* Data, store::TFieldDesc* Parent, F Test) {
    const auto& descs = Data->Fields();
    for (int i = Parent->FieldNo; i < descs.Count(); ++i)
        if (store::TFieldDesc* d = descs.Items(i); d->ParentDesc == Parent && Test(d)) return true;
    return false;
}
}  // namespace

bool TDASQLGenerator::FieldIsNullEx(store::TFieldDesc* FieldDesc, bool Old, void* NewRecBuf, void* OldRecBuf,
                                    store::TData* RecordSet) {
    if (!FDataSet->Active()) return true;
    if (IsSubDataType(FieldDesc->DataType))
        return !AnySubField(RecordSet, FieldDesc, [&](store::TFieldDesc* d) {
            return !FieldIsNullEx(d, Old, NewRecBuf, OldRecBuf, RecordSet);
        });
    void* buf = Old ? OldRecBuf : NewRecBuf;
    if (!buf) return true;
    return RecordSet->GetNull(FieldDesc->FieldNo, buf);
}

bool TDASQLGenerator::FieldIsNull(store::TFieldDesc* FieldDesc, bool Old) {
    if (!FDataSet->Active()) return true;
    CheckBuffers();
    return FieldIsNullEx(FieldDesc, Old, FNewRecBuf, FOldRecBuf, FDataSet->IRecordSet());
}

bool TDASQLGenerator::FieldIsModified(store::TFieldDesc* FieldDesc, store::TData* RecordSet, void* NewRecBuf,
                                      void* OldRecBuf) {
    if (!NewRecBuf) return false;
    if (IsSubDataType(FieldDesc->DataType))
        return AnySubField(RecordSet, FieldDesc,
                           [&](store::TFieldDesc* d) { return FieldIsModified(d, RecordSet, NewRecBuf, OldRecBuf); });
    if (!OldRecBuf) return !RecordSet->GetNull(FieldDesc->FieldNo, NewRecBuf);
    // A sub-field's value is reached through its object only: the store tells its null flag.
    if (FieldDesc->HasParent())
        return RecordSet->GetNull(FieldDesc->FieldNo, NewRecBuf) != RecordSet->GetNull(FieldDesc->FieldNo, OldRecBuf);
    if (IsBlobDataType(FieldDesc->DataType)) {
        store::TBlob* newBlob = RecordSet->GetBlob(FieldDesc->FieldNo, NewRecBuf);
        if (FDataSet->ApplyingUpdates()) return newBlob != RecordSet->GetBlob(FieldDesc->FieldNo, OldRecBuf);
        return newBlob && newBlob->HasRollback();
    }
    if (auto* mem = RecordSet == FMemData ? FMemData : dynamic_cast<store::TMemData*>(RecordSet))
        return mem->CompareRecordField(OldRecBuf, NewRecBuf, 8, FieldDesc) != 0;
    return !(RecordSet->GetFieldValue(FieldDesc->FieldNo, OldRecBuf) ==
             RecordSet->GetFieldValue(FieldDesc->FieldNo, NewRecBuf));
}

bool TDASQLGenerator::FieldModifiedCurrent(store::TFieldDesc* FieldDesc) {
    CheckBuffers();
    return FieldIsModified(FieldDesc, FDataSet->IRecordSet(), FNewRecBuf, FOldRecBuf);
}

TSQLInfo* TDASQLGenerator::SQLInfo() const {
    TCRCommand* cmd = FDataSet->ICommand();
    if (!cmd) rtl::AssertFail(store::SAssertionFailure, DBAccessUnit, __LINE__);
    return cmd->SQLInfo();
}

AnsiString TDASQLGenerator::NormalizedTableName() const {
    return SQLInfo()->NormalizeName(FTableInfo->TableName(), FDataSet->Options()->QuoteNames());
}

AnsiString TDASQLGenerator::GetFieldName(store::TFieldDesc* FieldDesc, bool Qualified) {
    auto* cr = static_cast<TCRFieldDesc*>(FieldDesc);
    AnsiString name = cr->QuotedName(SQLInfo(), FDataSet->Options()->QuoteNames() ? 1 : 0);
    if (Qualified && (FDataSet->Options()->FullRefresh() || FDataSet->ReadOnly()) &&
        !FService->TablesInfoFromUpdatingTable() && cr->TableInfo) {
        const AnsiString& t =
            cr->TableInfo->TableAlias().empty() ? cr->TableInfo->TableName() : cr->TableInfo->TableAlias();
        name = SQLInfo()->NormalizeName(t, FDataSet->Options()->QuoteNames()) + "." + name;
    }
    return name;
}

int TDASQLGenerator::DecodeFieldIndex(const AnsiString& Name) {
    if (Name.size() <= 1 || Name[0] != '_') return -1;
    int v = 0;
    for (size_t i = 1; i < Name.size(); ++i) {
        if (Name[i] < '0' || Name[i] > '9' || v > 100000000) return -1;
        v = v * 10 + (Name[i] - '0');
    }
    return v;
}

void TDASQLGenerator::AddParam(AnsiString& Builder, store::TFieldDesc* FieldDesc, TStatementType StatementType,
                               int BatchIndex, bool Old) {
    AnsiString name = rtl::WideToAnsi(FieldDesc->Name);
    AnsiString prefix = Old ? "Old_" : "";
    if (StatementType == stRefresh && FDataSet->Params()->FindParam(name)) BatchIndex = 1;
    if (BatchIndex >= 0) prefix = "P_" + std::to_string(BatchIndex) + "_" + prefix;
    bool numbered = false;
    if (static_cast<int64_t>(prefix.size() + name.size()) > MaxIdentLength()) {
        name = prefix + std::to_string(FieldDesc->FieldNo);
        numbered = true;
    } else {
        name = prefix + name;
    }
    TSQLInfo* info = SQLInfo();
    if (info->ParamQuoteAllowed() &&
        (FDataSet->Options()->QuoteNames() || (!numbered && info->QuotesNeeded(rtl::WideToAnsi(FieldDesc->Name)))))
        name = info->QuoteName(name);
    if (FParams && ParamsSupported()) {
        if (StatementType == stRefresh && (FDataSet->Params()->Count() > 0 || FDataSet->Options()->FullRefresh()))
            Builder += ":" + name;
        else
            Builder += "?";
    } else {
        Builder += ":" + name;
    }
    if (FParams) {
        FParams->CreateParam(db::ftUnknown, name, db::ptInput);
        TDAParamInfo info2;
        info2.Field = FDataSet->FindField(FieldDesc->Name);
        if (info2.Field && info2.Field->FieldNo() != FieldDesc->FieldNo) info2.Field = nullptr;
        info2.FieldDesc = FieldDesc;
        info2.Old = Old;
        info2.ParamIndex = BatchIndex;
        FParamsInfo.push_back(info2);
    }
}

void TDASQLGenerator::AddFieldToInsertSQL(store::TFieldDesc* FieldDesc, int BatchIndex) {
    if (!FFldSB.empty()) {
        FFldSB += ", ";
        FFldParamSB += ", ";
    }
    FFldSB += GetFieldName(FieldDesc);
    AddParam(FFldParamSB, FieldDesc, stInsert, BatchIndex, false);
}

void TDASQLGenerator::AddFieldToUpdateSQL(store::TFieldDesc* FieldDesc, int BatchIndex) {
    if (!FFldSB.empty()) FFldSB += ", ";
    FFldSB += GetFieldName(FieldDesc) + " = ";
    AddParam(FFldSB, FieldDesc, stUpdate, BatchIndex, false);
}

void TDASQLGenerator::AddFieldToRefreshSQL(store::TFieldDesc* FieldDesc) {
    if (!FFldSB.empty()) FFldSB += ", ";
    FFldSB += GetFieldName(FieldDesc);
    const auto& descs = FDataSet->IRecordSet()->Fields();
    int pos = 0;
    for (int i = 0; i < descs.Count(); ++i)
        if (descs.Items(i) == FieldDesc) pos = i;
    if (!FDataSet->ComponentState().Contains(rtl::csDesigning)) FFldSB += " AS " + IndexedPrefix(std::to_string(pos));
}

void TDASQLGenerator::AddFieldToCondition(AnsiString& Builder, store::TFieldDesc* FieldDesc,
                                          TStatementType StatementType, int BatchIndex) {
    if (!Builder.empty()) Builder += " AND ";
    Builder += GetFieldName(FieldDesc, StatementType == stRefresh);
    const bool testOld = StatementType != stRefresh;
    if (!ForceParams && FieldIsNull(FieldDesc, testOld)) {
        Builder += " IS NULL";
        return;
    }
    Builder += " = ";
    const bool old = StatementType != stRefresh || (FDataSet->CachedUpdates() && !FDataSet->ApplyingUpdates());
    // A text read with characters the code page has no room for would find another row.
    CheckBuffers();
    if (void* buf = old ? FOldRecBuf : FNewRecBuf; buf && FieldInexact(FieldDesc, buf))
        db::DatabaseErrorFmt(SInexactKeyValue, {rtl::WideToAnsi(FieldDesc->Name)});
    AddParam(Builder, FieldDesc, StatementType, BatchIndex, old);
}

bool TDASQLGenerator::FieldInexact(store::TFieldDesc* FieldDesc, void* RecBuf) const {
    store::TData* data = FDataSet->Active() ? FDataSet->IRecordSet() : nullptr;
    return data && !FieldDesc->HasParent() && data->GetInexact(FieldDesc->FieldNo, RecBuf);
}

void TDASQLGenerator::GenerateConditions(AnsiString& Builder, TStatementType StatementType,
                                         const TKeyAndDataFields& Fields, int BatchIndex) {
    if (!Fields.KeyFieldDescs.empty()) {
        for (store::TFieldDesc* d : Fields.KeyFieldDescs) AddFieldToCondition(Builder, d, StatementType, BatchIndex);
    } else if (store::TFieldDesc* id = FService->IdentityField()) {
        AddFieldToCondition(Builder, id, StatementType, BatchIndex);
    } else {
        if (Fields.DataFieldDescs.empty()) db::DatabaseError(SKeyFieldsNotFound);
        for (store::TFieldDesc* d : Fields.DataFieldDescs)
            if (!IsBlobDataType(d->DataType)) AddFieldToCondition(Builder, d, StatementType, BatchIndex);
    }
    if (Builder.empty()) db::DatabaseError(SKeyFieldsNotFound);
}

void TDASQLGenerator::GenerateInsertSQL(const TKeyAndDataFields& Fields, bool ModifiedOnly, int BatchIndex) {
    for (store::TFieldDesc* d : Fields.DataFieldDescs)
        if (!ModifiedOnly || !FieldIsNull(d, false)) AddFieldToInsertSQL(d, BatchIndex);
    FHeaderSB = "INSERT INTO " + NormalizedTableName() + CRLF + "  (";
    FMiddleSB = AnsiString(")") + CRLF + "VALUES" + CRLF + "  (";
    FFooterSB = ")";
}

void TDASQLGenerator::GenerateUpdateSQL(const TKeyAndDataFields& Fields, bool ModifiedOnly, int BatchIndex) {
    // A value that could not be read exactly is written only when the user set it anew.
    CheckBuffers();
    for (store::TFieldDesc* d : Fields.DataFieldDescs)
        if (ModifiedOnly || (FNewRecBuf && FieldInexact(d, FNewRecBuf)) ? FieldModifiedCurrent(d) : true)
            AddFieldToUpdateSQL(d, BatchIndex);
    if (FFldSB.empty()) return;
    FHeaderSB = "UPDATE " + NormalizedTableName() + CRLF + "SET" + CRLF + "  ";
    FMiddleSB = AnsiString(CRLF) + "WHERE" + CRLF + "  ";
    GenerateConditions(FCondSB, stUpdate, Fields, BatchIndex);
}

void TDASQLGenerator::GenerateDeleteSQL(const TKeyAndDataFields& Fields, int BatchIndex) {
    FHeaderSB = "DELETE FROM " + NormalizedTableName() + CRLF + "WHERE" + CRLF + "  ";
    GenerateConditions(FCondSB, stDelete, Fields, BatchIndex);
}

AnsiString TDASQLGenerator::GenerateFrom() {
    AnsiString s = NormalizedTableName();
    if (!FTableInfo->TableAlias().empty())
        s += " " + SQLInfo()->NormalizeName(FTableInfo->TableAlias(), FDataSet->Options()->QuoteNames());
    return s;
}

void TDASQLGenerator::GenerateRefreshSQL(const TKeyAndDataFields& Fields) {
    GenerateConditions(FCondSB, stRefresh, Fields, -1);
    const bool full = FDataSet->Options()->FullRefresh() || FDataSet->ReadOnly();
    if (!full) {
        const auto& list = Fields.DataFieldDescs.empty() ? Fields.KeyFieldDescs : Fields.DataFieldDescs;
        for (store::TFieldDesc* d : list) AddFieldToRefreshSQL(d);
        FHeaderSB = "SELECT " + FFldSB;
        FFldSB.clear();
        FMiddleSB = " FROM " + GenerateFrom() + CRLF + "WHERE" + CRLF + "  ";
    } else if (!FCondSB.empty()) {
        AnsiString text = FDataSet->InternalSQL()->GetFinalSQL();
        FHeaderSB = FDataSet->AddWhere(text, AnsiString(CRLF) + "  " + FCondSB);
        FCondSB.clear();
    } else {
        FHeaderSB = FDataSet->GetFinalSQL();
    }
}

void TDASQLGenerator::GenerateRefreshQuickSQL(const TKeyAndDataFields& Fields) {
    GenerateConditions(FCondSB, stRefreshQuick, Fields, -1);
    FHeaderSB = FDataSet->AddWhere(FDataSet->GetFinalSQL(), FCondSB);
    FCondSB.clear();
}

void TDASQLGenerator::GenerateRefreshCheckDeletedSQL(const TKeyAndDataFields& Fields) {
    TSQLInfo* info = SQLInfo();
    const bool quote = FDataSet->Options()->QuoteNames();
    for (store::TFieldDesc* d : Fields.KeyFieldDescs) {
        auto* cr = static_cast<TCRFieldDesc*>(d);
        if (!FHeaderSB.empty()) FHeaderSB += ", ";
        FHeaderSB += GetFieldName(d, true);
        const AnsiString name = rtl::WideToAnsi(d->Name);
        if (rtl::AnsiCompareText(cr->ActualNameAnsi(), name) != 0)
            FHeaderSB += " AS " + (quote || info->QuotesNeeded(name) ? info->QuoteName(name) : name);
        if (!FFooterSB.empty()) FFooterSB += ", ";
        FFooterSB += GetFieldName(d);
    }
    FHeaderSB = "SELECT " + FHeaderSB;
    const AnsiString finalSQL = FDataSet->GetFinalSQL();
    FMiddleSB = " FROM " + FDataSet->GetFromPart(finalSQL);
    const AnsiString where = FDataSet->GetWhere(finalSQL);
    if (!rtl::Trim(where).empty()) FMiddleSB += " WHERE " + where;
    FMiddleSB += " ORDER BY ";
}

AnsiString TDASQLGenerator::GenerateSQL(TStatementType StatementType, bool ModifiedOnly, TDAParams* Params,
                                        int BatchIndex) {
    TCRTableInfo* table = FService->UpdatingTableInfo();
    if (!table) return AnsiString();
    const bool allTables = StatementType == stRefresh && FDataSet->Options()->FullRefresh() &&
                           FDataSet->ICRRecordSet() && FDataSet->ICRRecordSet()->TablesInfo()->Count() != 1;
    return GenerateSQLFor(table, FService->GetKeyAndDataFields(allTables), StatementType, ModifiedOnly, Params,
                          BatchIndex);
}

AnsiString TDASQLGenerator::GenerateSQLFor(TCRTableInfo* TableInfo, const TKeyAndDataFields& Fields,
                                           TStatementType StatementType, bool ModifiedOnly, TDAParams* Params,
                                           int BatchIndex) {
    if (TableInfo->TableName().empty()) db::DatabaseError(STableInfoNameRequired);
    Clear();
    FTableInfo = TableInfo;
    FParams = Params;
    FParamsInfo.clear();
    rtl::TUpdateLock<TDAParams> lock(Params);
    if (Params) Params->Clear();
    switch (StatementType) {
        case stInsert: GenerateInsertSQL(Fields, ModifiedOnly, BatchIndex); break;
        case stUpdate: GenerateUpdateSQL(Fields, ModifiedOnly, BatchIndex); break;
        case stDelete: GenerateDeleteSQL(Fields, BatchIndex); break;
        case stLock: GenerateLockSQL(Fields, BatchIndex); break;
        case stRefresh: GenerateRefreshSQL(Fields); break;
        case stRefreshQuick: GenerateRefreshQuickSQL(Fields); break;
        case stRefreshCheckDeleted: GenerateRefreshCheckDeletedSQL(Fields); break;
        default: db::DatabaseError(SBadStatementType);
    }
    return AssembleSQL();
}

AnsiString TDASQLGenerator::GenerateTableSQL(const AnsiString& TableName, const AnsiString& OrderFields) {
    FDataSet->CheckRecordSet();
    AnsiString s = "SELECT * FROM " + SQLInfo()->NormalizeName(TableName, FDataSet->Options()->QuoteNames()) + "\r";
    if (!rtl::Trim(OrderFields).empty()) s += "ORDER BY " + OrderFields;
    return s + "\r";
}

}  // namespace daccess
