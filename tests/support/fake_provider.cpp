#include "tests/support/fake_provider.h"

#include "framework/rtl/Text.h"

namespace fake {

using namespace daccess;
using namespace store;

daccess::TConverterManager* TFakeMapRules::GetConverterManager() {
    static rtl::TOwnedPtr<TConverterManager> manager(rtl::Create<TConverterManager>());
    return manager.get();
}

// ---------------------------------------------------------------------------------------------
// Command

TFakeConnection* TFakeCommand::FakeConnection() const { return dynamic_cast<TFakeConnection*>(FConnection); }

void TFakeCommand::Prepare() {
    FPrepared = true;
    TCRCommand::Prepare();
}

void TFakeCommand::Unprepare() {
    FPrepared = false;
    TCRCommand::Unprepare();
}

void TFakeCommand::Execute(int /*Iters*/) {
    TFakeConnection* conn = FakeConnection();
    if (!conn) throw rtl::Exception("No connection");
    if (!conn->GetConnected()) conn->ProcessError("Not connected");
    if (conn->FailExecutions > 0) {
        --conn->FailExecutions;
        conn->ProcessError("Execution failed");
    }
    ++ExecuteCount;
    conn->Executed.push_back(FSQL);
    std::vector<Variant> values;
    for (int i = 0; i < ParamCount(); ++i) values.push_back(Params(i)->GetValue());
    conn->ExecutedParams.push_back(std::move(values));
    FCursorState = csExecuting;
    if (AfterExecute) AfterExecute();
}

// ---------------------------------------------------------------------------------------------
// Transaction

void TFakeTransaction::BeginWork() {
    CheckInactive();
    FActive = true;
    Log.push_back("begin");
}

void TFakeTransaction::CommitWork() {
    CheckActive();
    if (FailEnd) throw EFakeError(3, "Commit failed", false);
    FActive = false;
    Log.push_back("commit");
}

void TFakeTransaction::RollbackWork() {
    CheckActive();
    if (FailEnd) throw EFakeError(3, "Rollback failed", false);
    FActive = false;
    Log.push_back("rollback");
}

void TFakeTransaction::Savepoint(const AnsiString& Name) { Log.push_back("savepoint " + Name); }

void TFakeTransaction::CommitRetaining() {
    CheckActive();
    Log.push_back("commit retaining");
}

void TFakeTransaction::RollbackRetaining() {
    CheckActive();
    Log.push_back("rollback retaining");
}

// ---------------------------------------------------------------------------------------------
// Connection

void TFakeConnection::Connect(const AnsiString& ConnectString) {
    if (FailConnects > 0) {
        --FailConnects;
        throw EFakeError(1, "Cannot connect", FatalErrors);
    }
    ++ConnectCount;
    FConnected = true;
    TCRConnection::Connect(ConnectString);
}

void TFakeConnection::Disconnect() {
    if (FConnected) ++DisconnectCount;
    FConnected = false;
}

void TFakeConnection::AssignConnect(TCRConnection* Source) {
    auto* src = dynamic_cast<TFakeConnection*>(Source);
    FConnected = src && src->GetConnected();
    FNativeConnection = false;
    if (src) Result = src->Result;
}

void TFakeConnection::Enlist(TMTSTransaction* Transaction) {
    if (!SupportsEnlist) TCRConnection::Enlist(Transaction);
    EnlistLog.push_back("enlist");
}

void TFakeConnection::UnEnlist(TMTSTransaction* Transaction) {
    if (!SupportsEnlist) TCRConnection::UnEnlist(Transaction);
    EnlistLog.push_back("unenlist");
}

void TFakeConnection::ProcessError(const AnsiString& Message) {
    EFakeError error(2, Message, FatalErrors);
    error.SetComponent(FComponent);
    bool fail = true;
    DoError(&error, &fail);
    if (fail) throw error;
    rtl::Abort();
}

TFakeConnection* CreateConnectedConnection() {
    TFakeConnection* conn = rtl::Create<TFakeConnection>();
    conn->Connect("");
    return conn;
}

// ---------------------------------------------------------------------------------------------
// Record set

TFakeConnection* TFakeRecordSet::FakeConnection() const {
    return dynamic_cast<TFakeConnection*>(FCommand->GetConnection());
}

void TFakeRecordSet::DoInitFields() {
    TFakeConnection* conn = FakeConnection();
    if (!conn) return;
    int no = 0;
    for (const TFakeColumn& column : conn->Result.Columns) {
        auto desc = std::make_unique<TCRFieldDesc>();
        desc->Name = rtl::AnsiToWide(column.Name);
        desc->ColumnName = desc->Name;
        desc->DataType = column.DataType;
        desc->Length = static_cast<uint16_t>(column.Length);
        desc->DBType = column.DBType;
        desc->DBLength = column.DBLength;
        desc->DBScale = column.DBScale;
        switch (column.DataType) {
            case mdtString: desc->Size = column.Length + 1; break;
            case mdtWideString: desc->Size = 2 * column.Length + 2; break;
            case mdtInt16:
            case mdtUInt16:
            case mdtBoolean: desc->Size = 2; break;
            case mdtFloat:
            case mdtInt64:
            case mdtDate:
            case mdtTime:
            case mdtDateTime:
            case mdtCurrency:
            case mdtBCD: desc->Size = 8; break;
            case mdtBlob:
            case mdtMemo:
            case mdtWideMemo:
            case mdtExtString:
            case mdtExtWideString:
            case mdtExtVarBytes:
            case mdtVariant: desc->Size = PointerSlotSize; break;
            case mdtVarBytes: desc->Size = column.Length + 2; break;
            default: desc->Size = 4; break;
        }
        desc->FieldNo = static_cast<uint16_t>(++no);
        FFields.Add(std::move(desc));
    }
}

void TFakeRecordSet::ExecCommand() {
    if (!FCommand->GetPrepared()) FCommand->Prepare();
    FCommandType = ctCursor;
    TCRRecordSet::ExecCommand();
    FRowPos = 0;
    FCommand->SetCursorState(FFetchAll ? csFetchingAll : csFetching);
}

bool TFakeRecordSet::FetchNext(int /*Flag*/) {
    const uint8_t state = FCommand->GetCursorState();
    if (state == csInactive || state == csFetched) return false;
    TFakeConnection* conn = FakeConnection();
    bool cancel = false;
    DoBeforeFetch(cancel);
    if (cancel) return false;
    const auto& rows = conn->Result.Rows;
    // A forward-only cursor keeps only the block being read.
    if (FUniDirectional) {
        for (TRecordItem* item = FFirstItem; item;) {
            TRecordItem* next = item->Next;
            FreeItemWithFields(item);
            item = next;
        }
        FFirstItem = FLastItem = FCurrentItem = nullptr;
    }
    const int blockSize = FFetchRows > 0 ? FFetchRows : 1;
    int n = 0;
    if (FRowPos < rows.size()) {
        TItemBlock* block = nullptr;
        FBlockMan.AllocBlock(block, blockSize);
        for (; n < blockSize && FRowPos < rows.size(); ++n, ++FRowPos) {
            void* rec = TBlockManager::RecordOf(FBlockMan.BlockItem(block, n));
            InitRecord(rec);
            if (FHasComplexFields) CreateComplexFields(rec, true);
            const auto& row = rows[FRowPos];
            for (int c = 0; c < FieldCount() && c < static_cast<int>(row.size()); ++c)
                if (!row[static_cast<size_t>(c)].IsNull() && !row[static_cast<size_t>(c)].IsEmpty())
                    PutFieldAsVariant(c + 1, rec, row[static_cast<size_t>(c)]);
        }
        FetchBlock(block, n, false);
        ++BlocksFetched;
        BlockSizes.push_back(n);
    }
    if (FRowPos >= rows.size()) FCommand->SetCursorState(csFetched);
    DoAfterFetch();
    return n > 0;
}

// ---------------------------------------------------------------------------------------------
// Metadata

store::TData* TFakeMetaData::Empty(void (TCRMetaData::*Create)()) {
    (this->*Create)();
    OpenResult();
    return FMemData.get();
}

store::TData* TFakeMetaData::GetTables(rtl::TStrings* /*Restrictions*/) {
    CreateTablesFields();
    OpenResult();
    for (const AnsiString& name : Tables) {
        MemDataHelper()->InitRecord();
        MemDataHelper()->SetFieldValue(3, name);
        MemDataHelper()->SetFieldValue(4, "TABLE");
        MemDataHelper()->AppendRecord();
    }
    FMemData->SetToBegin();
    return FMemData.get();
}

store::TData* TFakeMetaData::GetDatabases(rtl::TStrings* Restrictions) {
    if (!ListDatabases) return TCRMetaData::GetDatabases(Restrictions);
    CreateDatabasesFields();
    OpenResult();
    for (const AnsiString& name : Databases) {
        MemDataHelper()->InitRecord();
        MemDataHelper()->SetFieldValue(1, name);
        MemDataHelper()->AppendRecord();
    }
    FMemData->SetToBegin();
    return FMemData.get();
}

}  // namespace fake
