// The provider record set through the fake provider: block fetching and the record count, fetch
// settings, mapped and encrypted columns, and failures while opening.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "expect_raise.h"
#include "tests/support/fake_provider.h"
#include "framework/rtl/Text.h"

using namespace daccess;
using namespace store;
using fake::TFakeConnection;
using fake::TFakeRecordSet;
using store::TSQLParser;

namespace {

using accesstest::ExpectAssertion;

class RecordSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        Conn.reset(fake::CreateConnectedConnection());
        Conn->Result.Columns = {{"id", mdtInt32, 0}, {"name", mdtString, 20}};
        RS.reset(rtl::Create<TFakeRecordSet>());
        RS->SetConnection(Conn.get());
        RS->SetSQL("SELECT id, name FROM t");
    }
    void TearDown() override {
        RS.reset();
        Conn.reset();
    }

    void Rows(int n, bool descending = false) {
        Conn->Result.Rows.clear();
        for (int i = 1; i <= n; ++i) {
            const int id = descending ? n + 1 - i : i;
            Conn->Result.Rows.push_back({id, AnsiString("row") + std::to_string(id)});
        }
    }

    // Walks forward from the start; the ids in order.
    std::vector<int> ReadAll() {
        std::vector<int> ids;
        void* buf = RS->AllocRecBuf();
        RS->SetToBegin();
        for (;;) {
            RS->GetNextRecord(buf);
            if (RS->GetEof()) break;
            ids.push_back(RS->GetFieldValue(1, buf).AsInteger());
        }
        RS->FreeRecBuf(buf);
        return ids;
    }

    int FreeItems() {
        int n = 0;
        for (TRecordItem* it = RS->BlockManager().FirstFree; it; it = it->Next) {
            EXPECT_EQ(it->CheckByte, ItemCheckFree);
            ++n;
        }
        return n;
    }

    rtl::TOwnedPtr<TFakeConnection> Conn;
    rtl::TOwnedPtr<TFakeRecordSet> RS;
};

}  // namespace

TEST_F(RecordSetTest, FetchesInBlocksAsTheCursorMoves) {
    Rows(60);
    RS->SetProp(pidFetchRows, 25);
    RS->Open();
    EXPECT_EQ(RS->BlockSizes, (std::vector<int>{25}));
    EXPECT_EQ(RS->GetRecordCount(), 25);
    EXPECT_FALSE(RS->IsFetchEnded());

    std::vector<int> ids = ReadAll();
    ASSERT_EQ(ids.size(), 60u);
    for (int i = 0; i < 60; ++i) EXPECT_EQ(ids[static_cast<size_t>(i)], i + 1);
    EXPECT_EQ(RS->BlockSizes, (std::vector<int>{25, 25, 10}));
    EXPECT_TRUE(RS->PartlyUsedBlock());
    EXPECT_EQ(RS->GetRecordCount(), 60);
    EXPECT_EQ(FreeItems(), 15);
    EXPECT_TRUE(RS->IsFetchEnded());
    EXPECT_EQ(RS->GetRecordNo(), 0);

    // Record numbers and values hold across the block boundaries.
    RS->SetRecordNo(51);
    void* buf = RS->AllocRecBuf();
    RS->GetRecord(buf);
    EXPECT_EQ(RS->GetFieldValue(2, buf).AsAnsiString(), "row51");
    RS->FreeRecBuf(buf);

    RS->Close();
    EXPECT_FALSE(RS->PartlyUsedBlock());
}

TEST_F(RecordSetTest, FetchAllAtOpenAndEmptyResults) {
    Rows(60);
    RS->SetProp(pidFetchRows, 25);
    RS->SetProp(pidFetchAll, true);
    RS->Open();
    EXPECT_EQ(RS->BlockSizes, (std::vector<int>{25, 25, 10}));
    EXPECT_EQ(RS->GetRecordCount(), 60);
    EXPECT_TRUE(RS->IsFetchEnded());
    EXPECT_EQ(ReadAll().size(), 60u);
    RS->Close();

    Rows(0);
    RS->BlockSizes.clear();
    RS->Open();
    EXPECT_TRUE(RS->BlockSizes.empty());
    EXPECT_EQ(RS->GetRecordCount(), 0);
    void* buf = RS->AllocRecBuf();
    RS->GetNextRecord(buf);
    EXPECT_TRUE(RS->GetEof());
    RS->FreeRecBuf(buf);
}

TEST_F(RecordSetTest, FilteredRowsAreCountedByRenumbering) {
    Rows(60);
    RS->SetProp(pidFetchRows, 25);
    RS->FilterFunc = [this](void* rec) { return RS->GetFieldValue(1, rec).AsInteger() % 2 == 0; };
    RS->Open();
    std::vector<int> ids = ReadAll();
    ASSERT_EQ(ids.size(), 30u);
    EXPECT_EQ(ids.front(), 2);
    EXPECT_EQ(ids.back(), 60);
    EXPECT_EQ(RS->GetRecordCount(), 30);
    RS->SetRecordNo(30);
    EXPECT_EQ(RS->GetRecordNo(), 30);
}

TEST_F(RecordSetTest, UniDirectionalAndTheFetchAllLock) {
    RS->SetProp(pidFetchAll, true);
    RS->SetProp(pidUniDirectional, true);
    Variant v;
    RS->GetProp(pidFetchAll, v);
    EXPECT_FALSE(v.AsBoolean());
    RS->SetProp(pidFetchAll, true);
    EXPECT_FALSE(RS->FetchAllFlag());

    Rows(30);
    RS->SetProp(pidFetchRows, 10);
    RS->Open();
    EXPECT_EQ(ReadAll().size(), 30u);
    void* buf = RS->AllocRecBuf();
    RS->GetPriorRecord(buf);
    EXPECT_TRUE(RS->GetBof());
    RS->FreeRecBuf(buf);
    RS->Close();

    rtl::TOwnedPtr<TFakeRecordSet> locked(rtl::Create<TFakeRecordSet>());
    locked->SetProp(pidLockFetchAll, true);
    locked->SetProp(pidFetchAll, true);
    EXPECT_FALSE(locked->FetchAllFlag());
    locked->SetProp(pidLockFetchAll, false);
    locked->SetProp(pidFetchAll, true);
    EXPECT_TRUE(locked->FetchAllFlag());
}

TEST_F(RecordSetTest, SortingAPartlyFetchedSetFetchesTheRestFirst) {
    Rows(60, true);
    RS->SetProp(pidFetchRows, 25);
    RS->Open();
    EXPECT_EQ(RS->BlockSizes.size(), 1u);
    RS->SetProp(pidIndexFieldNames, "id");
    EXPECT_EQ(RS->BlockSizes.size(), 3u);
    std::vector<int> ids = ReadAll();
    ASSERT_EQ(ids.size(), 60u);
    EXPECT_EQ(ids.front(), 1);
    EXPECT_EQ(ids.back(), 60);
}

TEST_F(RecordSetTest, PropertyIds) {
    const std::pair<int, Variant> accepted[] = {
        {pidUniDirectional, false},    {pidFetchRows, 7},        {pidFetchAll, true},     {pidLongStrings, false},
        {pidFlatBuffers, false},       {pidCompressBlobMode, 3}, {pidReadOnly, true},     {pidLockFetchAll, false},
        {pidExtendedFieldsInfo, true}, {pidDefaultValues, true}, {pidFieldsOrigin, true}, {pidRefreshAfterUpdate, true},
        {pidEncryptedFields, "a,b"},
    };
    for (const auto& [id, value] : accepted) EXPECT_TRUE(RS->SetProp(id, value)) << id;
    EXPECT_EQ(RS->FetchRows(), 7);
    EXPECT_FALSE(RS->LongStrings());
    EXPECT_FALSE(RS->FlatBuffers());
    EXPECT_EQ(RS->GetCommand()->CompressBlobMode(), 3);
    EXPECT_EQ(RS->EncryptedFields(), "a,b");
    for (int id : {pidFetchAll, pidExtendedFieldsInfo, pidDefaultValues, pidFieldsOrigin}) {
        Variant v;
        ASSERT_TRUE(RS->GetProp(id, v));
        EXPECT_TRUE(v.AsBoolean()) << id;
    }
    Variant v;
    ExpectAssertion([&] { RS->SetProp(pidAutoCommit, true); }, "5");
    ExpectAssertion([&] { RS->GetProp(pidUniDirectional, v); }, "20");
}

TEST_F(RecordSetTest, ConstructionDefaults) {
    rtl::TOwnedPtr<TFakeRecordSet> rs(rtl::Create<TFakeRecordSet>());
    EXPECT_TRUE(rs->LongStrings());
    EXPECT_TRUE(rs->FlatBuffers());
    EXPECT_TRUE(rs->MapRules()->InheritsFrom(&fake::TFakeMapRules::StaticClass()));
    EXPECT_EQ(&rs->TablesInfo()->TableInfoClass(), &TCRTableInfo::StaticClass());
    EXPECT_TRUE(rs->IsCaseSensitive());
    EXPECT_FALSE(rs->CanFetchBack());
    EXPECT_FALSE(rs->ReturnsRows());
    EXPECT_FALSE(rs->NeedConvertEOL());
    rs->SetConnection(Conn.get());
    Conn->SetProp(pidConvertEOL, true);
    EXPECT_TRUE(rs->NeedConvertEOL());
    for (TMemDataType t : {mdtString, mdtBlob, mdtMemo, mdtExtString, mdtVarBytes, mdtExtVarBytes, mdtWideString,
                           mdtExtWideString, mdtWideMemo})
        EXPECT_TRUE(rs->IsEncryptableDataType(t)) << t;
    for (TMemDataType t : {mdtBytes, mdtInt32, mdtGuid, mdtCursor, mdtUInt8})
        EXPECT_FALSE(rs->IsEncryptableDataType(t)) << t;
}

TEST_F(RecordSetTest, OpenFailureLeavesNothingPreparedOrExecuting) {
    Rows(5);
    Conn->FailExecutions = 1;
    EXPECT_THROW(RS->Open(), fake::EFakeError);
    EXPECT_FALSE(RS->Active());
    EXPECT_FALSE(RS->GetCommand()->GetPrepared());
    EXPECT_EQ(RS->GetCommand()->GetCursorState(), csInactive);
    // The next open works.
    RS->Open();
    EXPECT_EQ(ReadAll().size(), 5u);
}

TEST_F(RecordSetTest, UnprepareEmptiesTheTablesInfo) {
    RS->Prepare();
    EXPECT_TRUE(RS->Prepared());
    EXPECT_TRUE(RS->GetCommand()->GetPrepared());
    RS->TablesInfo()->Add()->SetTableName("t");
    RS->Unprepare();
    EXPECT_EQ(RS->TablesInfo()->Count(), 0);
    EXPECT_FALSE(RS->GetCommand()->GetPrepared());
}

TEST_F(RecordSetTest, BreakAndFetchHooks) {
    Rows(30);
    RS->SetProp(pidFetchRows, 10);
    int before = 0, after = 0;
    RS->OnBeforeFetch = [&](bool&) { ++before; };
    RS->OnAfterFetch = [&] { ++after; };
    RS->Open();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    RS->BreakFetch();
    EXPECT_FALSE(RS->FetchNext(0));
    EXPECT_EQ(RS->BlockSizes.size(), 1u);
    RS->OnBeforeFetch = [](bool& cancel) { cancel = false; };
    EXPECT_TRUE(RS->FetchNext(0));
}

// --- mapped columns ---

TEST_F(RecordSetTest, RuleForTheColumnsOwnTypeLeavesNoConverter) {
    RS->MapRules()->AddRule("id", 0, -1, -1, -1, -1, mdtInt32, -1, -1, false);
    Rows(1);
    RS->Open();
    auto* id = static_cast<TCRFieldDesc*>(RS->Fields()[0]);
    EXPECT_EQ(id->MapRule, nullptr);
    EXPECT_EQ(id->OnDemandConverter, nullptr);
}

namespace {

// Integer to text and back, to see the conversion path without depending on the converter library.
void IntToText(TStringHeap*, const void* Source, int32_t, int32_t, void* Dest, int32_t DestLength, int32_t, bool) {
    int32_t v;
    std::memcpy(&v, Source, 4);
    std::snprintf(static_cast<char*>(Dest), static_cast<size_t>(DestLength) + 1, "%d", v);
}
void TextToInt(TStringHeap*, const void* Source, int32_t, int32_t, void* Dest, int32_t, int32_t, bool) {
    const int32_t v = std::atoi(static_cast<const char*>(Source));
    std::memcpy(Dest, &v, 4);
}

}  // namespace

TEST_F(RecordSetTest, MappedColumnIsConvertedOnlyWhenAsked) {
    TCRMapRule* rule = RS->MapRules()->AddRule("id", 0, -1, -1, -1, -1, mdtString, -1, -1, false);
    Rows(3);
    RS->Open();
    auto* id = static_cast<TCRFieldDesc*>(RS->Fields()[0]);
    ASSERT_EQ(id->MapRule, rule);
    ASSERT_NE(id->OnDemandConverter, nullptr);
    EXPECT_EQ(id->OnDemandConverter->DestDataType, mdtString);
    EXPECT_GT(id->MapLength, 0);
    TOnDemandConverter converter;
    converter.GetConverter = IntToText;
    converter.PutConverter = TextToInt;
    id->OnDemandConverter = &converter;

    void* buf = RS->AllocRecBuf();
    RS->GetNextRecord(buf);
    RS->GetNextRecord(buf);
    const void* slot = static_cast<const uint8_t*>(buf) + id->Offset;
    char text[64] = {};
    RS->GetFieldData(id, slot, text, true);
    EXPECT_STREQ(text, "2");
    int32_t raw = 0;
    RS->GetFieldData(id, slot, &raw, false);
    EXPECT_EQ(raw, 2);

    char input[] = "41";
    RS->PutFieldData(id, static_cast<uint8_t*>(buf) + id->Offset, input, false, true);
    std::memcpy(&raw, slot, 4);
    EXPECT_EQ(raw, 41);
    RS->FreeRecBuf(buf);
}

TEST_F(RecordSetTest, ConverterErrorsNameTheField) {
    RS->MapRules()->AddRule("name", 0, -1, -1, -1, -1, mdtInt32, -1, -1, false);
    Conn->Result.Rows = {{1, "not a number"}};
    RS->Open();
    auto* name = static_cast<TCRFieldDesc*>(RS->Fields()[1]);
    ASSERT_NE(name->OnDemandConverter, nullptr);
    TOnDemandConverter failing;
    failing.GetConverter = [](TStringHeap*, const void*, int32_t, int32_t, void*, int32_t, int32_t, bool) {
        throw rtl::EConvertError("'not a number' is not a valid integer value");
    };
    name->OnDemandConverter = &failing;
    void* buf = RS->AllocRecBuf();
    RS->GetNextRecord(buf);
    int32_t value = 0;
    try {
        RS->GetFieldData(name, static_cast<const uint8_t*>(buf) + name->Offset, &value, true);
        ADD_FAILURE();
    } catch (const rtl::EConvertError& e) {
        EXPECT_STREQ(e.what(), "Field: name\r\n'not a number' is not a valid integer value");
    }
    RS->FreeRecBuf(buf);
}

// --- encrypted columns ---

namespace {

class TReverseEncryptor : public TCRFieldEncryptor {
public:
    int EncryptValue(const void*, int, int, Variant&) override { return 0; }
    bool DecryptValue(void* Data, int& Length, int Kind) override {
        Kinds.push_back(Kind);
        auto* p = static_cast<char*>(Data);
        if (Length >= 4 && std::memcmp(p, "NULL", 4) == 0) {
            Length = 0;
            return false;
        }
        std::reverse(p, p + Length);
        return true;
    }
    std::vector<int> Kinds;
};

}  // namespace

TEST_F(RecordSetTest, EncryptedColumnsAreDecryptedAsTheyArrive) {
    TReverseEncryptor encryptor;
    RS->SetEncryptor(&encryptor);
    RS->SetProp(pidEncryptedFields, "NAME");
    Conn->Result.Rows = {{1, "cba"}, {2, "NULL"}};
    RS->Open();
    void* buf = RS->AllocRecBuf();
    RS->GetNextRecord(buf);
    EXPECT_EQ(RS->GetFieldValue(2, buf).AsAnsiString(), "abc");
    RS->GetNextRecord(buf);
    EXPECT_TRUE(RS->GetFieldValue(2, buf).IsNull());
    RS->FreeRecBuf(buf);
    EXPECT_EQ(encryptor.Kinds, (std::vector<int>{1, 1}));
    EXPECT_EQ(RS->GetFieldConverter("name", 0, 0, 0), nullptr);
}

TEST_F(RecordSetTest, EncryptingAColumnOfAnotherTypeIsRefused) {
    TReverseEncryptor encryptor;
    RS->SetEncryptor(&encryptor);
    RS->SetProp(pidEncryptedFields, "id");
    Rows(1);
    try {
        RS->Open();
        FAIL();
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), "Data type cannot be encrypted: 4");
    }
    EXPECT_FALSE(RS->Active());
}

// --- field descriptors ---

TEST(CRFieldDesc, AssignTakesOnlyProviderDescriptors) {
    TCRFieldDesc source;
    source.Name = u"id";
    source.DataType = mdtInt32;
    source.DBType = 601;
    source.DBLength = 10;
    source.MapLength = 20;
    TCRFieldDesc copy;
    copy.Assign(source);
    EXPECT_EQ(copy.Name, u"id");
    EXPECT_EQ(copy.DBType, 601);
    EXPECT_EQ(copy.DBLength, 10);
    EXPECT_EQ(copy.MapLength, 20);
    TFieldDesc plain;
    ExpectAssertion([&] { copy.Assign(plain); }, "Assertion failure");
}

TEST(CRFieldDesc, QuotedNamePerModeIsKept) {
    rtl::TOwnedPtr<TSQLInfo> info(rtl::Create<TSQLInfo>(&TSQLParser::StaticClass()));
    TCRFieldDesc plain, spaced;
    plain.Name = plain.ColumnName = u"title";
    spaced.Name = u"alias";
    spaced.ColumnName = u"full title";
    EXPECT_EQ(plain.QuotedName(info.get(), 0), "title");
    EXPECT_EQ(plain.QuotedName(info.get(), 1), "\"title\"");
    EXPECT_EQ(spaced.QuotedName(info.get(), 0), "\"full title\"");
    spaced.ColumnName = u"changed";  // cached per mode
    EXPECT_EQ(spaced.QuotedName(info.get(), 0), "\"full title\"");
    EXPECT_FALSE(plain.IsNational());
}

TEST_F(RecordSetTest, DataHelperWalksAStore) {
    Rows(3);
    RS->SetProp(pidFetchAll, true);
    RS->Open();
    rtl::TOwnedPtr<TDataHelper> helper(rtl::Create<TDataHelper>(RS.get()));
    helper->AllocBuffer();
    RS->SetToBegin();
    std::vector<AnsiString> names;
    while (helper->NextRecord()) names.push_back(helper->GetFieldValue(2).AsAnsiString());
    EXPECT_EQ(names, (std::vector<AnsiString>{"row1", "row2", "row3"}));
    helper->InitRecord();
    helper->SetFieldValue(1, 4);
    helper->SetFieldValue(2, "row4");
    helper->AppendRecord();
    EXPECT_EQ(RS->GetRecordCount(), 4);
}

// --- fetching backwards ---

namespace {

// Reads the result from its end, a block at a time, as a provider with a backward cursor would.
class TBackwardRecordSet : public TFakeRecordSet {
    RTL_CLASS(TBackwardRecordSet, TFakeRecordSet)
public:
    bool CanFetchBack() override { return true; }
    void ExecCommand() override {
        TFakeRecordSet::ExecCommand();
        FBackPos = FakeConnection()->Result.Rows.size();
    }
    bool FetchNext(int Flag) override {
        if (Flag == 0 || FBackPos == 0) return false;
        const auto& rows = FakeConnection()->Result.Rows;
        const int n = static_cast<int>(std::min<size_t>(static_cast<size_t>(FFetchRows), FBackPos));
        TItemBlock* block = nullptr;
        FBlockMan.AllocBlock(block, FFetchRows);
        for (int i = 0; i < n; ++i) {
            void* rec = TBlockManager::RecordOf(FBlockMan.BlockItem(block, i));
            InitRecord(rec);
            const auto& row = rows[FBackPos - static_cast<size_t>(n) + static_cast<size_t>(i)];
            for (int c = 0; c < FieldCount(); ++c) PutFieldAsVariant(c + 1, rec, row[static_cast<size_t>(c)]);
        }
        FBackPos -= static_cast<size_t>(n);
        FetchBlock(block, n, true);
        BlockSizes.push_back(n);
        return true;
    }

private:
    size_t FBackPos = 0;
};

}  // namespace

TEST_F(RecordSetTest, BackwardBlocksAreLinkedBeforeTheFirstRow) {
    rtl::TOwnedPtr<TBackwardRecordSet> rs(rtl::Create<TBackwardRecordSet>());
    rs->SetConnection(Conn.get());
    rs->SetSQL("SELECT id, name FROM t");
    rs->SetProp(pidFetchRows, 4);
    Rows(10);
    rs->Open();
    EXPECT_TRUE(rs->BlockSizes.empty());
    // The last block is read first, as a cursor opened at its end would.
    ASSERT_TRUE(rs->FetchNext(1));
    rs->SetToEnd();
    void* buf = rs->AllocRecBuf();
    std::vector<int> ids;
    for (;;) {
        rs->GetPriorRecord(buf);
        if (rs->GetBof()) break;
        ids.push_back(rs->GetFieldValue(1, buf).AsInteger());
    }
    rs->FreeRecBuf(buf);
    EXPECT_EQ(ids, (std::vector<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(rs->BlockSizes, (std::vector<int>{4, 4, 2}));
    EXPECT_FALSE(rs->PartlyUsedBlock());  // only a forward fetch marks it
    // The list reads forwards in the rows' order too.
    std::vector<int> forward;
    for (TRecordItem* it = rs->FirstItem(); it; it = it->Next) {
        int32_t v;
        std::memcpy(&v, TBlockManager::RecordOf(it) + rs->Fields()[0]->Offset, 4);
        forward.push_back(v);
    }
    EXPECT_EQ(forward, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(RecordSetTest, SortColumnsTakeTheConnectionsDefaultSortType) {
    Conn->SetProp(pidDefaultSortType, static_cast<int>(stCaseInsensitive));
    Rows(3);
    RS->SetProp(pidFetchAll, true);
    RS->Open();
    RS->SetProp(pidIndexFieldNames, "name");
    ASSERT_EQ(RS->SortColumns().size(), 1u);
    EXPECT_EQ(RS->SortColumns()[0].SortType, stCaseInsensitive);
}
