// Catalogue questions answered as in-memory result stores, the record-buffer accessor they fill
// them with, the column-by-column loader and the alerter base.
#include "data/access/CRAccess.h"
#include "data/store/DAConsts.h"
#include "framework/db/DB_Params.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

using namespace store;

// ---------------------------------------------------------------------------------------------
// TDataHelper

TDataHelper::~TDataHelper() { FreeBuffer(); }

void TDataHelper::FreeBuffer() {
    if (FRecBuf) FData->FreeRecBuf(FRecBuf);
    FRecBuf = nullptr;
}

void TDataHelper::AllocBuffer() {
    FreeBuffer();
    FRecBuf = FData->AllocRecBuf();
}

void TDataHelper::InitRecord() {
    FData->InitRecord(FRecBuf);
    if (FData->HasComplexFields()) FData->CreateComplexFields(FRecBuf, true);
}

void TDataHelper::AppendRecord() { FData->AppendRecord(FRecBuf); }

bool TDataHelper::NextRecord() {
    FData->GetNextRecord(FRecBuf);
    return !FData->GetEof();
}

Variant TDataHelper::GetFieldValue(int FieldNo) { return FData->GetFieldValue(FieldNo, FRecBuf); }

void TDataHelper::SetFieldValue(int FieldNo, const Variant& Value) {
    FData->PutFieldAsVariant(FieldNo, FRecBuf, Value);
}

// ---------------------------------------------------------------------------------------------
// TCRMetaData

namespace {

const char* const KindNames[] = {"MetaDataKinds",       "Restrictions", "Tables",       "Columns",    "Procedures",
                                 "ProcedureParameters", "Indexes",      "IndexColumns", "Constraints"};

}  // namespace

TCRMetaData::TCRMetaData() : FMemData(std::make_unique<TMemData>()) {
    // The result keeps the columns a kind gave it until the next kind replaces them.
    FMemData->SetCreatesOwnFields(false);
}

void TCRMetaData::AfterConstruction() {
    rtl::TObject::AfterConstruction();
    FRecordSet = CreateRecordSet();
    FRecordSet->MapRules()->SetEnabled(false);
    FRecordSet->SetProp(pidFetchAll, true);
    FRecordSet->SetProp(pidFlatBuffers, false);
    FMemDataHelper.reset(rtl::Create<TDataHelper>(FMemData.get()));
    FRecordSetHelper.reset(rtl::Create<TDataHelper>(FRecordSet));
}

TCRMetaData::~TCRMetaData() {
    FMemDataHelper.reset();
    FRecordSetHelper.reset();
    TCRRecordSet* recordSet = FRecordSet;
    FRecordSet = nullptr;
    rtl::TObject::Free(recordSet);
    FMemData.reset();
}

store::TData* TCRMetaData::GetMetaDataFor(TCRConnection* Connection, TCRTransaction* Transaction,
                                          const AnsiString& MetaDataKind, rtl::TStrings* Restrictions) {
    FRecordSet->SetConnection(Connection);
    FRecordSet->SetTransaction(Transaction);
    return GetMetaData(rtl::AnsiLowerCase(rtl::Trim(MetaDataKind)), Restrictions);
}

store::TData* TCRMetaData::GetMetaData(const AnsiString& MetaDataKind, rtl::TStrings* Restrictions) {
    const AnsiString kind = rtl::AnsiLowerCase(MetaDataKind);
    if (kind.empty() || kind == "metadatakinds") return GetMetaDataKinds();
    if (kind == "restrictions") return GetRestrictions(Restrictions);
    if (kind == "tables") return GetTables(Restrictions);
    if (kind == "columns") return GetColumns(Restrictions);
    if (kind == "procedures") return GetProcedures(Restrictions);
    if (kind == "procedureparameters") return GetProcedureParameters(Restrictions);
    if (kind == "indexes") return GetIndexes(Restrictions);
    if (kind == "indexcolumns") return GetIndexColumns(Restrictions);
    if (kind == "constraints") return GetConstraints(Restrictions);
    if (kind == "databases") return GetDatabases(Restrictions);
    if (kind == "datatypes") return GetDataTypes(Restrictions);
    if (kind == "users") return GetUsers(Restrictions);
    if (kind == "roles") return GetRoles(Restrictions);
    if (kind == "userdefinedtypes") return GetUserDefinedTypes(Restrictions);
    if (kind == "packages") return GetPackages(Restrictions);
    throw rtl::Exception(SUnsupportedMetaDataKind);
}

void TCRMetaData::ClearResultFields() {
    FMemData->Close();
    FMemDataHelper->FreeBuffer();
    FMemData->Fields().Clear();
}

store::TFieldDesc* TCRMetaData::AddField(const AnsiString& Name, TMemDataType Type, int Length) {
    std::unique_ptr<TFieldDesc> desc = FMemData->CreateFieldDesc();
    desc->Name = rtl::AnsiToWide(Name);
    desc->ColumnName = desc->Name;
    desc->DataType = Type;
    if (Length > 0) desc->Length = static_cast<uint16_t>(Length);
    switch (Type) {
        case mdtString: desc->Size = Length + 1; break;
        case mdtInt8:
        case mdtUInt8: desc->Size = 1; break;
        // The store reads a Boolean as 16 bits.
        case mdtBoolean:
        case mdtInt16:
        case mdtUInt16: desc->Size = 2; break;
        case mdtFloat:
        case mdtDateTime:
        case mdtInt64: desc->Size = 8; break;
        case mdtWideString: desc->Size = 2 * Length + 2; break;
        // Blob and variant slots hold a pointer.
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo:
        case mdtVariant: desc->Size = PointerSlotSize; break;
        default: desc->Size = 4; break;
    }
    desc->FieldNo = static_cast<uint16_t>(FMemData->Fields().Count() + 1);
    return FMemData->Fields().Add(std::move(desc));
}

void TCRMetaData::OpenResult() {
    FMemData->InitFields();
    FMemData->Open();
    FMemDataHelper->AllocBuffer();
}

void TCRMetaData::CopyRecordValues(const std::vector<std::pair<int, int>>& Pairs) {
    for (const auto& [source, dest] : Pairs)
        FMemDataHelper->SetFieldValue(dest, FRecordSetHelper->GetFieldValue(source));
}

void TCRMetaData::ParseRestrictions(const AnsiString& Text, const std::vector<AnsiString>& Names,
                                    std::vector<bool>& Flags) {
    Flags.assign(Names.size(), false);
    if (rtl::Trim(Text).empty()) {
        Flags.assign(Names.size(), true);
        return;
    }
    size_t start = 0;
    for (size_t i = 0; i <= Text.size(); ++i) {
        if (i < Text.size() && Text[i] != ',') continue;
        const AnsiString piece = rtl::Trim(std::string_view(Text).substr(start, i - start));
        for (size_t n = 0; n < Names.size(); ++n)
            if (rtl::AnsiSameText(piece, Names[n])) Flags[n] = true;
        start = i + 1;
    }
}

void TCRMetaData::AddWhereCondition(AnsiString& Where, const AnsiString& Column, bool AddNull,
                                    const AnsiString& Value) {
    const AnsiString value = FRecordSet->GetCommand()->SQLInfo()->NormalizeName(Value, false, true);
    if (value.empty() && !AddNull) return;
    if (!Where.empty()) Where += " AND ";
    if (value.empty())
        Where += Column + " IS NULL";
    else
        Where += Column + " " + OperatorEq() + " " + rtl::QuotedStr(value);
}

void TCRMetaData::CreateMetaDataKindsFields() {
    ClearResultFields();
    AddField("METADATA_NAME", mdtString, 50);
}

void TCRMetaData::GetMetaDataKindsList(rtl::TStrings* List) {
    List->Clear();
    for (const char* name : KindNames) List->Add(name);
}

store::TData* TCRMetaData::GetMetaDataKinds() {
    CreateMetaDataKindsFields();
    OpenResult();
    rtl::TOwnedPtr<rtl::TStringList> kinds(rtl::Create<rtl::TStringList>());
    GetMetaDataKindsList(kinds.get());
    for (int i = 0; i < kinds->Count(); ++i) {
        FMemDataHelper->InitRecord();
        FMemDataHelper->SetFieldValue(1, kinds->Strings(i));
        FMemDataHelper->AppendRecord();
    }
    FMemData->SetToBegin();
    return FMemData.get();
}

void TCRMetaData::CreateRestrictionsFields() {
    ClearResultFields();
    AddField("METADATA_NAME", mdtString, 50);
    AddField("RESTRICTION_NAME", mdtString, 50);
}

void TCRMetaData::GetRestrictionsList(rtl::TStrings* List, const AnsiString& MetaDataKind) {
    List->Clear();
    const AnsiString kind = rtl::AnsiLowerCase(MetaDataKind);
    std::vector<const char*> names;
    if (kind == "restrictions")
        names = {"METADATA_NAME"};
    else if (kind == "tables")
        names = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"};
    else if (kind == "columns")
        names = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME"};
    else if (kind == "procedures")
        names = {"PROCEDURE_CATALOG", "PROCEDURE_SCHEMA", "PROCEDURE_NAME", "PROCEDURE_TYPE"};
    else if (kind == "procedureparameters")
        names = {"PROCEDURE_CATALOG", "PROCEDURE_SCHEMA", "PROCEDURE_NAME", "PARAMETER_NAME"};
    else if (kind == "indexes" || kind == "indexcolumns")
        names = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "INDEX_NAME"};
    else if (kind == "constraints")
        names = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "CONSTRAINT_NAME", "CONSTRAINT_TYPE"};
    for (const char* name : names) List->Add(name);
}

store::TData* TCRMetaData::GetRestrictions(rtl::TStrings* Restrictions) {
    // The kind is published as METADATA_NAME; the older name METAINFO_NAME is still read.
    AnsiString kind;
    if (Restrictions) {
        kind = rtl::Trim(Restrictions->Values("METADATA_NAME"));
        if (kind.empty()) kind = rtl::Trim(Restrictions->Values("METAINFO_NAME"));
    }
    kind = rtl::AnsiLowerCase(kind);
    CreateRestrictionsFields();
    OpenResult();
    rtl::TOwnedPtr<rtl::TStringList> names(rtl::Create<rtl::TStringList>());
    auto addRows = [&](const AnsiString& k) {
        GetRestrictionsList(names.get(), k);
        for (int i = 0; i < names->Count(); ++i) {
            FMemDataHelper->InitRecord();
            FMemDataHelper->SetFieldValue(1, k);
            FMemDataHelper->SetFieldValue(2, names->Strings(i));
            FMemDataHelper->AppendRecord();
        }
    };
    if (!kind.empty()) {
        addRows(kind);
    } else {
        rtl::TOwnedPtr<rtl::TStringList> kinds(rtl::Create<rtl::TStringList>());
        GetMetaDataKindsList(kinds.get());
        for (int i = 0; i < kinds->Count(); ++i) addRows(rtl::AnsiLowerCase(kinds->Strings(i)));
    }
    FMemData->SetToBegin();
    return FMemData.get();
}

void TCRMetaData::AddQualifiedNameFields(const AnsiString& Object) {
    AddField(Object + "_CATALOG", mdtString, 100);
    AddField(Object + "_SCHEMA", mdtString, 100);
    AddField(Object + "_NAME", mdtString, 100);
}

void TCRMetaData::CreateTablesFields() {
    ClearResultFields();
    AddQualifiedNameFields("TABLE");
    AddField("TABLE_TYPE", mdtString, 50);
}

void TCRMetaData::CreateColumnsFields() {
    ClearResultFields();
    AddQualifiedNameFields("TABLE");
    AddField("COLUMN_NAME", mdtString, 100);
    AddField("POSITION", mdtInt32);
    AddField("DATA_TYPE", mdtString, 50);
    AddField("DATA_LENGTH", mdtInt32);
    AddField("DATA_PRECISION", mdtInt32);
    AddField("DATA_SCALE", mdtInt32);
    AddField("NULLABLE", mdtInt32);
    AddField("DEFAULT_VALUE", mdtMemo);
}

void TCRMetaData::CreateProceduresFields() {
    ClearResultFields();
    AddQualifiedNameFields("PROCEDURE");
    AddField("PROCEDURE_TYPE", mdtString, 50);
}

void TCRMetaData::CreateProcedureParametersFields() {
    ClearResultFields();
    AddQualifiedNameFields("PROCEDURE");
    AddField("PARAMETER_NAME", mdtString, 100);
    AddField("POSITION", mdtInt32);
    AddField("DIRECTION", mdtString, 10);
    AddField("DATA_TYPE", mdtString, 50);
    AddField("DATA_LENGTH", mdtInt32);
    AddField("DATA_PRECISION", mdtInt32);
    AddField("DATA_SCALE", mdtInt32);
}

void TCRMetaData::CreateIndexesFields() {
    ClearResultFields();
    AddQualifiedNameFields("TABLE");
    AddQualifiedNameFields("INDEX");
    AddField("UNIQUE", mdtInt32);
}

void TCRMetaData::CreateIndexColumnsFields() {
    ClearResultFields();
    AddQualifiedNameFields("TABLE");
    AddQualifiedNameFields("INDEX");
    AddField("COLUMN_NAME", mdtString, 100);
    AddField("COLUMN_POSITION", mdtInt32);
    AddField("SORT_ORDER", mdtString, 4);
}

void TCRMetaData::CreateConstraintsFields() {
    ClearResultFields();
    AddQualifiedNameFields("TABLE");
    AddField("CONSTRAINT_NAME", mdtString, 100);
    AddField("CONSTRAINT_TYPE", mdtString, 100);
    AddQualifiedNameFields("INDEX");
}

void TCRMetaData::CreateDatabasesFields() {
    ClearResultFields();
    AddField("DATABASE_NAME", mdtString, 100);
}

store::TData* TCRMetaData::GetDatabases(rtl::TStrings*) { throw rtl::Exception(SUnsupportedMetaDataKind); }
store::TData* TCRMetaData::GetDataTypes(rtl::TStrings*) { throw rtl::Exception(SUnsupportedMetaDataKind); }
store::TData* TCRMetaData::GetUsers(rtl::TStrings*) { throw rtl::Exception(SUnsupportedMetaDataKind); }
store::TData* TCRMetaData::GetRoles(rtl::TStrings*) { throw rtl::Exception(SUnsupportedMetaDataKind); }
store::TData* TCRMetaData::GetUserDefinedTypes(rtl::TStrings*) { throw rtl::Exception(SUnsupportedMetaDataKind); }
store::TData* TCRMetaData::GetPackages(rtl::TStrings*) { throw rtl::Exception(SUnsupportedMetaDataKind); }

// ---------------------------------------------------------------------------------------------
// Loader

TCRLoaderColumns::~TCRLoaderColumns() { TCRLoaderColumns::Clear(); }

void TCRLoaderColumns::Clear() {
    for (int i = 0; i < Count(); ++i) rtl::TObject::Free(Items(i));
    TList::Clear();
}

TCRLoader* TCRLoaderClass::Create() const { rtl::AbstractError(); }

const TCRRecordSetClass& TCRLoaderClass::GetRecordSetClass() const { return TCRLoader::GetRecordSetClass(); }

TCRLoader::TCRLoader() : FColumns(rtl::Create<TCRLoaderColumns>()) {}

TCRLoader::~TCRLoader() = default;

const TCRRecordSetClass& TCRLoader::GetRecordSetClass() { rtl::AssertFail(SAssertionFailure, CRAccessUnit, __LINE__); }

TCRLoaderColumn* TCRLoader::AddColumn() {
    TCRLoaderColumn* column = GetColumnClass().Create();
    FColumns->Add(column);
    return column;
}

void TCRLoader::FillColumn(TCRLoaderColumn* Column, const TFieldDesc* FieldDesc) {
    Column->Name = rtl::WideToAnsi(FieldDesc->Name);
    Column->DataType = FieldDesc->DataType;
    switch (FieldDesc->DataType) {
        case mdtInt8:
        case mdtInt16:
        case mdtInt32:
        case mdtFloat:
        case mdtUInt16:
        case mdtInt64:
        case mdtCurrency:
        case mdtUInt32:
        case mdtBCD:
        case mdtFmtBCD:
        case mdtUInt8:
            Column->Precision = FieldDesc->Length;
            Column->Scale = FieldDesc->Scale;
            break;
        default:
            Column->Size = FieldDesc->Length;
            Column->DataSize = FieldDesc->Size;
            break;
    }
}

bool TCRLoader::SetProp(int Prop, const Variant&) { PropertyIdFault(Prop); }

bool TCRLoader::GetProp(int Prop, Variant&) { PropertyIdFault(Prop); }

void TCRLoader::Prepare() {
    if (rtl::Trim(FTableName).empty()) throw rtl::Exception(STableNameNotDefined);
    Reset();
    PrepareStatement();
}

void TCRLoader::Reset() {
    FLastRow = -1;
    FLoadedRows = 0;
}

void TCRLoader::PutColumnData(int Col, int Row, const Variant& Value) {
    if (Col < 0 || Col >= FColumns->Count()) throw rtl::Exception(SInvalidColumnNumber);
    if (Row <= 0 || (Row != FLastRow + 1 && Row != FLastRow + 2)) throw rtl::Exception(SInvalidRowNumber);
    FLastRow = Row - 1;
    WriteColumnValue(Col, Row, Value);
}

// ---------------------------------------------------------------------------------------------
// TCRSimpleLoader

void TCRSimpleLoader::AfterConstruction() {
    TCRLoader::AfterConstruction();
    FCommand = CreateCommand();
    FCommand->SetProp(pidDisableParamScan, true);
}

TCRSimpleLoader::~TCRSimpleLoader() {
    TCRCommand* command = FCommand;
    FCommand = nullptr;
    rtl::TObject::Free(command);
}

void TCRSimpleLoader::PrepareStatement() {
    if (FCommand->GetPrepared()) FCommand->Unprepare();
    FCommand->SetConnection(FConnection);
    TSQLInfo* info = FCommand->SQLInfo();
    AnsiString sql = "INSERT INTO " + info->NormalizeName(FTableName, false, false) + "(";
    AnsiString values = ") VALUES (";
    for (int i = 0; i < FColumns->Count(); ++i) {
        TCRLoaderColumn* column = FColumns->Items(i);
        if (i) sql += ",";
        sql += info->NormalizeName(column->Name, false, false);
        values += i ? ",?" : "?";
        if (i >= FCommand->ParamCount()) {
            TParamDesc* param = FCommand->AddParam();
            param->SetDataType(column->DataType);
            param->SetSize(column->Size);
            param->SetParamType(static_cast<uint8_t>(db::ptInput));
        }
    }
    FCommand->SetSQL(sql + values + ")");
    FCommand->Prepare();
}

void TCRSimpleLoader::WriteColumnValue(int Col, int /*Row*/, const Variant& Value) {
    FCommand->Params(Col)->SetValue(Value);
}

void TCRSimpleLoader::PutColumnData(int Col, int Row, const Variant& Value) {
    if (FLastRow >= 0 && Row == FLastRow + 2) LoadRow();
    TCRLoader::PutColumnData(Col, Row, Value);
}

void TCRSimpleLoader::LoadRow() {
    FCommand->Execute(1);
    FLoadedRows = FLastRow + 1;
}

void TCRSimpleLoader::FlushRows() {
    if (FLastRow >= 0 && FLastRow >= FLoadedRows) LoadRow();
}

void TCRSimpleLoader::Reset() {
    TCRLoader::Reset();
    FCommand->ParamDescs()->Clear();
}

void TCRSimpleLoader::Finish() {
    // The last row put has not been executed yet: finishing must not lose it.
    FlushRows();
    FCommand->Unprepare();
    Reset();
}

// ---------------------------------------------------------------------------------------------
// Alerter

TCRAlerter::TCRAlerter() : FEventNames(rtl::Create<rtl::TStringList>()) {}

TCRAlerter::~TCRAlerter() = default;

bool TCRAlerter::SetProp(int Prop, const Variant& Value) {
    if (Prop != pidAutoCommit) PropertyIdFault(Prop);
    FAutoCommit = Value.AsBoolean();
    return true;
}

bool TCRAlerter::GetProp(int Prop, Variant&) { PropertyIdFault(Prop); }

void TCRDummyAlerter::EventOperation1(const AnsiString&, const AnsiString&) {
    throw rtl::Exception(SEventsNotSupported);
}
void TCRDummyAlerter::EventOperation2() { throw rtl::Exception(SEventsNotSupported); }
void TCRDummyAlerter::EventOperation3() { throw rtl::Exception(SEventsNotSupported); }

}  // namespace daccess
