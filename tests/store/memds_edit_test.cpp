// Editing the memory dataset through the store, the updater's record events, and cached updates
// applied, reverted, cancelled and committed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/memds_fixture.h"

using namespace memdstest;
using namespace db;

namespace {

// Records what it is asked to do, by the id of the new (or, for deletes, current) values.
class TLogUpdater : public TDataSetUpdater {
    RTL_CLASS(TLogUpdater, TDataSetUpdater)
public:
    explicit TLogUpdater(TDataSetService* Service) : TDataSetUpdater(Service) {}

    std::vector<std::string> Log;
    AnsiString FailWith;
    bool Batch = false;
    int Flushes = 0;
    std::vector<int> ResultsSeen;

    // Written into the new values of inserted rows, as a server-made key is.
    int Identity = 0;
    std::vector<std::string> OldNames;

    bool PerformInsert() override {
        if (Identity) DataSet()->FieldByName(std::string_view("id"))->SetNewValue(Variant(Identity++));
        return Do("insert");
    }
    bool PerformDelete() override { return Do("delete"); }
    bool PerformUpdate() override {
        if (TField* name = DataSet()->FindField(std::string_view("name")))
            OldNames.push_back(name->OldValue().AsAnsiString());
        return Do("update");
    }
    bool BatchUpdates() override { return Batch; }
    void FlushBatch() override { ++Flushes; }

private:
    bool Do(const char* what) {
        Log.push_back(std::string(what) + ":" + DataSet()->FieldByName(std::string_view("id"))->AsString());
        if (!FailWith.empty()) DatabaseError(FailWith);
        return true;
    }
};

class TLogService : public TDataSetService {
    RTL_CLASS(TLogService, TDataSetService)
public:
    explicit TLogService(TMemDataSet* DataSet) : TDataSetService(DataSet) {}
    void NewUpdater() override { AssignUpdater(rtl::Create<TLogUpdater>(this)); }
};

class TEditDataSet : public TMemDataSet {
    RTL_CLASS(TEditDataSet, TMemDataSet)
public:
    explicit TEditDataSet(rtl::TComponent* AOwner) : TMemDataSet(AOwner) {}
    bool ReadOnlyDataSet = false;
    const TDataSetServiceClass& GetDataSetServiceClass() const override { return TLogService::StaticClass(); }

protected:
    bool CanModifyRecords() const override { return !ReadOnlyDataSet; }
};

struct TEdit {
    rtl::TOwnedPtr<TEditDataSet> DS;
    TRowStore* Store;

    explicit TEdit(int rows, bool cached = false) : TEdit(PeopleCols(), PeopleRows(rows), cached) {}
    TEdit(std::vector<TCol> cols, std::vector<std::vector<Variant>> rows, bool cached)
        : DS(rtl::Create<TEditDataSet>(nullptr)), Store(new TRowStore(std::move(cols), std::move(rows))) {
        DS->SetIRecordSet(std::unique_ptr<TData>(Store));
        DS->SetCachedUpdates(cached);
        DS->Open();
    }
    TField* F(const char* name) const { return DS->FieldByName(std::string_view(name)); }
    TLogUpdater& Updater() const { return static_cast<TLogUpdater&>(*DS->DataSetService()->Updater()); }
    std::vector<int> Ids(bool withHidden = false) const {
        std::vector<int> ids;
        for (const Variant& v : Store->Column(1, withHidden)) ids.push_back(v.IsNull() ? -1 : v.AsInteger());
        return ids;
    }
};

using Ids = std::vector<int>;
using Log = std::vector<std::string>;

TEST(MemDataSetEdit, InsertAppendEditPostCancelAndDeleteReachTheStore) {
    TEdit e(3);
    rtl::TOwnedPtr<TDataSource> src(rtl::Create<TDataSource>(nullptr));
    src->SetDataSet(e.DS.get());
    rtl::TOwnedPtr<TLink> link(rtl::Create<TLink>());
    link->SetDataSource(src.get());
    auto seen = [&] {
        Log log = std::move(link->Log);
        link->Log.clear();
        return log;
    };

    e.DS->Edit();
    e.F("name")->SetAsString("edited");
    EXPECT_EQ(e.DS->State(), dsEdit);
    EXPECT_EQ(seen(), (Log{"editing", "record", "field:name"}));
    EXPECT_EQ(e.Store->Column(2)[0].AsAnsiString(), "n1");  // not yet posted
    e.DS->Post();
    EXPECT_EQ(seen(), (Log{"browsing", "dataset"}));
    EXPECT_EQ(e.Store->Column(2)[0].AsAnsiString(), "edited");

    e.DS->Next();
    seen();
    e.DS->Insert();
    EXPECT_EQ(e.DS->RecNo(), 0);
    e.F("id")->SetAsInteger(15);
    EXPECT_EQ(seen(), (Log{"editing", "dataset", "field:id"}));
    e.DS->Post();
    EXPECT_EQ(seen(), (Log{"browsing", "dataset"}));
    EXPECT_EQ(e.Ids(), (Ids{10, 15, 20, 30}));
    EXPECT_EQ(e.DS->RecNo(), 2);
    EXPECT_EQ(e.F("id")->AsInteger(), 15);
    EXPECT_EQ(e.DS->RecordCount(), 4);

    e.DS->Append();
    e.F("id")->SetAsInteger(99);
    e.DS->Post();
    EXPECT_EQ(e.Ids(), (Ids{10, 15, 20, 30, 99}));
    EXPECT_EQ(e.DS->RecNo(), 5);

    // Cancelled changes never reach the store or the updater.
    e.DS->Edit();
    e.F("id")->SetAsInteger(1000);
    e.DS->Cancel();
    EXPECT_EQ(e.F("id")->AsInteger(), 99);
    e.DS->Insert();
    e.F("id")->SetAsInteger(1001);
    seen();
    e.DS->Cancel();
    EXPECT_EQ(seen(), (Log{"browsing", "dataset"}));
    EXPECT_EQ(e.Ids(), (Ids{10, 15, 20, 30, 99}));

    e.DS->SetRecNo(3);
    seen();
    e.DS->Delete();
    EXPECT_EQ(seen(), (Log{"dataset"}));
    EXPECT_EQ(e.Ids(), (Ids{10, 15, 30, 99}));
    EXPECT_EQ(e.F("id")->AsInteger(), 30);
    EXPECT_EQ(e.DS->RecordCount(), 4);

    EXPECT_EQ(e.Updater().Log, (Log{"update:10", "insert:15", "insert:99", "delete:20"}));
    link->SetDataSource(nullptr);
}

TEST(DataSetService, DefaultFieldClassesAndUpdater) {
    rtl::TOwnedPtr<TMemDataSet> ds(rtl::Create<TMemDataSet>(nullptr));
    ds->CheckDataSetService();
    TDataSetService* service = ds->DataSetService();
    ASSERT_NE(service, nullptr);
    ASSERT_NE(service->Updater(), nullptr);
    EXPECT_EQ(service->Updater()->DataSet(), ds.get());
    struct Case {
        TFieldType Type;
        const char* Class;
    };
    const Case cases[] = {
        {ftString, "TStringField"},
        {ftFixedChar, "TStringField"},
        {ftOraInterval, "TStringField"},
        {ftSmallint, "TSmallintField"},
        {ftWord, "TWordField"},
        {ftAutoInc, "TAutoIncField"},
        {ftBCD, "TBCDField"},
        {ftFMTBcd, "TFMTBCDField"},
        {ftDate, "TDateField"},
        {ftTypedBinary, "TBlobField"},
        {ftOraBlob, "TBlobField"},
        {ftOraClob, "TMemoField"},
        {ftGraphic, "TGraphicField"},
        {ftFixedWideChar, "TWideStringField"},
        {ftLargeint, "TLargeintField"},
        {ftArray, "TArrayField"},
        {ftDataSet, "TDataSetField"},
        {ftVariant, "TVariantField"},
        {ftIDispatch, "TIDispatchField"},
        {ftGuid, "TGuidField"},
        {ftOraTimeStamp, "TSQLTimeStampField"},
        {ftWideMemo, "TWideMemoField"},
    };
    for (const Case& c : cases) {
        TFieldClass cls = service->GetFieldClass(c.Type);
        ASSERT_NE(cls, nullptr) << c.Class;
        EXPECT_STREQ(cls->ClassName(), c.Class);
        EXPECT_EQ(ds->FieldClassFor(c.Type), cls);
    }
    EXPECT_EQ(service->GetFieldClass(ftUnknown), nullptr);
    EXPECT_EQ(service->GetFieldClass(ftCursor), nullptr);
    try {
        rtl::Create<TDataSetUpdater>(static_cast<TDataSetService*>(nullptr));
        ADD_FAILURE();
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Text(), "Assertion failure");
        EXPECT_EQ(e.Unit(), "MemDS");
    }
}

TEST(MemDataSetEdit, InsertIntoAnEmptyDataSet) {
    TEdit e(0);
    e.DS->Insert();
    e.F("id")->SetAsInteger(7);
    e.F("name")->SetAsString("only");
    e.DS->Post();
    EXPECT_EQ(e.Ids(), (Ids{7}));
    EXPECT_EQ(e.DS->RecordCount(), 1);
    EXPECT_EQ(e.DS->RecNo(), 1);
    EXPECT_EQ(e.F("name")->AsString(), "only");
}

// An updater error leaves the stored row as it was and the dataset in its editing state.
TEST(MemDataSetEdit, UpdaterErrorLeavesTheStoreAndTheEditState) {
    TEdit e(3);
    e.Updater().FailWith = "server said no";

    e.DS->Edit();
    e.F("name")->SetAsString("changed");
    EXPECT_EQ(ErrorOf([&] { e.DS->Post(); }), "server said no");
    EXPECT_EQ(e.DS->State(), dsEdit);
    EXPECT_EQ(e.F("name")->AsString(), "changed");
    EXPECT_EQ(e.Store->Column(2)[0].AsAnsiString(), "n1");
    e.DS->Cancel();
    EXPECT_EQ(e.F("name")->AsString(), "n1");

    e.DS->Append();
    e.F("id")->SetAsInteger(40);
    EXPECT_EQ(ErrorOf([&] { e.DS->Post(); }), "server said no");
    EXPECT_EQ(e.DS->State(), dsInsert);
    EXPECT_EQ(e.Ids(), (Ids{10, 20, 30}));
    e.DS->Cancel();

    e.DS->First();
    EXPECT_EQ(ErrorOf([&] { e.DS->Delete(); }), "server said no");
    EXPECT_EQ(e.Ids(), (Ids{10, 20, 30}));
    EXPECT_EQ(e.DS->RecordCount(), 3);

    // Once the server agrees the same post goes through.
    e.Updater().FailWith.clear();
    e.DS->Edit();
    e.F("name")->SetAsString("changed");
    e.DS->Post();
    EXPECT_EQ(e.Store->Column(2)[0].AsAnsiString(), "changed");
}

TEST(MemDataSetEdit, LocalUpdateChangesOnlyTheStore) {
    TEdit e(2);
    e.DS->SetLocalUpdate(true);
    e.DS->Edit();
    e.F("name")->SetAsString("local");
    e.DS->Post();
    e.DS->Append();
    e.F("id")->SetAsInteger(3);
    e.DS->Post();
    e.DS->First();
    e.DS->Delete();
    EXPECT_TRUE(e.Updater().Log.empty());
    EXPECT_EQ(e.Ids(), (Ids{20, 3}));

    // PerformPost is the same guarded route, and keeps the dataset's Modified flag.
    e.DS->Edit();
    e.F("name")->SetAsString("x");
    ASSERT_TRUE(e.DS->Modified());
    e.DS->PerformPost();
    EXPECT_TRUE(e.DS->Modified());
    EXPECT_TRUE(e.Updater().Log.empty());
    e.DS->SetLocalUpdate(false);
    e.DS->PerformPost();
    EXPECT_TRUE(e.DS->Modified());
    EXPECT_EQ(e.Updater().Log, (Log{"update:20"}));
    e.DS->Cancel();
}

TEST(MemDataSetEdit, RefusedWrites) {
    TEdit e({{u"id", mdtInt32, 4}, {u"name", mdtString, 21, 20, false, true}}, {{Variant(1), Variant(AnsiString("a"))}},
            false);
    struct Case {
        const char* What;
        std::function<void()> Act;
        const char* Text;
    };
    const Case cases[] = {
        {"write in browse state", [&] { e.F("id")->SetAsInteger(2); }, "Dataset not in edit or insert mode"},
        {"write a read-only field",
         [&] {
             e.DS->Edit();
             e.F("name")->SetAsString("b");
         },
         "Field 'name' cannot be modified"},
        {"delete from a read-only dataset",
         [&] {
             e.DS->Cancel();
             e.DS->ReadOnlyDataSet = true;
             e.DS->Delete();
         },
         "Cannot modify a read-only dataset"},
        {"apply outside cached mode", [&] { e.DS->ApplyUpdates(); }, "Not in cached update mode"},
        {"commit outside cached mode", [&] { e.DS->CommitUpdates(); }, "Not in cached update mode"},
        {"revert outside cached mode", [&] { e.DS->RevertRecord(); }, "Not in cached update mode"},
        {"cancel updates outside cached mode", [&] { e.DS->CancelUpdates(); }, "Not in cached update mode"},
        {"switch cached mode while open", [&] { e.DS->SetCachedUpdates(true); },
         "Cannot perform this operation on an open dataset"},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.Act), c.Text) << c.What;
    EXPECT_EQ(e.Ids(), (Ids{1}));
    EXPECT_EQ(e.Store->Column(2)[0].AsAnsiString(), "a");
}

TEST(MemDataSetEdit, RequiredFieldsAreCheckedBeforeTheStore) {
    for (bool option : {true, false}) {
        SCOPED_TRACE(option);
        rtl::TOwnedPtr<TEditDataSet> ds(rtl::Create<TEditDataSet>(nullptr));
        auto* store = new TRowStore({{u"id", mdtInt32, 4, 0, true}, {u"name", mdtString, 11, 10}}, {});
        ds->SetIRecordSet(std::unique_ptr<TData>(store));
        ds->SetRequiredFieldsOption(option);
        ds->Open();
        EXPECT_EQ(ds->FieldDefs()[0]->Required(), option);
        ds->Append();
        ds->FieldByName(std::string_view("name"))->SetAsString("x");
        EXPECT_EQ(ErrorOf([&] { ds->Post(); }), option ? "Field 'id' must have a value" : "");
        EXPECT_EQ(ds->State(), option ? dsInsert : dsBrowse);
        EXPECT_EQ(store->Column(1).size(), option ? 0u : 1u);
    }
}

TEST(MemDataSetEdit, DefaultExpressionsOfNewRecords) {
    TEdit e({{u"id", mdtInt32, 4}, {u"name", mdtString, 21, 20}, {u"code", mdtString, 11, 10, false, true}}, {}, false);
    struct Case {
        const char* Field;
        const char* Expression;
        const char* Value;
    };
    const Case cases[] = {
        {"name", "'it''s here'", "it's here"},
        {"id", "42", "42"},
        {"code", "'ro'", "ro"},  // read-only fields take their defaults too
    };
    for (const Case& c : cases) e.F(c.Field)->SetDefaultExpression(c.Expression);
    e.DS->Append();
    for (const Case& c : cases) EXPECT_EQ(e.F(c.Field)->AsString(), c.Value) << c.Expression;
    EXPECT_FALSE(e.DS->AssigningDefaults());
    e.DS->Post();
    EXPECT_EQ(e.Store->Column(3)[0].AsAnsiString(), "ro");
}

TEST(MemDataSetEdit, NumberRangesFromDescriptorLengths) {
    rtl::TOwnedPtr<TEditDataSet> ds(rtl::Create<TEditDataSet>(nullptr));
    ds->SetIRecordSet(std::unique_ptr<TData>(new TRowStore({{u"n", mdtInt32, 4, 5},
                                                            {u"f", mdtFloat, 8, 6, false, false, 2},
                                                            {u"big", mdtInt64, 8, 12},
                                                            {u"wide", mdtInt32, 4, 10}},
                                                           {})));
    ds->SetNumberRangeOption(true);
    ds->Open();
    auto* n = static_cast<TIntegerField*>(ds->FieldByName(std::string_view("n")));
    EXPECT_EQ(n->MaxValue(), 99999);
    EXPECT_EQ(n->MinValue(), -99999);
    auto* f = static_cast<TFloatField*>(ds->FieldByName(std::string_view("f")));
    EXPECT_DOUBLE_EQ(f->MaxValue(), 1e4 - 1e-2);
    EXPECT_DOUBLE_EQ(f->MinValue(), -(1e4 - 1e-2));
    EXPECT_EQ(f->Precision(), 6);
    auto* big = static_cast<TLargeintField*>(ds->FieldByName(std::string_view("big")));
    EXPECT_EQ(big->MaxValue(), 999999999999LL);
    // Ten digits do not fit an integer field: its own limits stay.
    auto* wide = static_cast<TIntegerField*>(ds->FieldByName(std::string_view("wide")));
    EXPECT_EQ(wide->MaxValue(), 0);
    EXPECT_EQ(wide->MinValue(), 0);
}

TEST(MemDataSetEdit, NewRecordOldValuesAndUpdateStatus) {
    TEdit e(2, true);
    EXPECT_EQ(e.DS->UpdateStatus(), usUnmodified);
    e.DS->Edit();
    e.F("name")->SetAsString("new");
    EXPECT_EQ(e.F("name")->OldValue().AsAnsiString(), "n1");
    e.DS->Post();
    EXPECT_EQ(e.DS->UpdateStatus(), usModified);
    EXPECT_EQ(e.F("name")->OldValue().AsAnsiString(), "n1");
    EXPECT_EQ(e.F("name")->AsString(), "new");

    e.DS->Insert();
    EXPECT_EQ(e.DS->RecNo(), 0);
    EXPECT_EQ(e.DS->UpdateStatus(), usInserted);
    e.F("id")->SetAsInteger(5);
    for (const char* n : {"id", "name", "qty"}) EXPECT_TRUE(e.F(n)->OldValue().IsNull()) << n;
    e.DS->Post();
    EXPECT_EQ(e.DS->UpdateStatus(), usInserted);
    EXPECT_TRUE(e.DS->UpdatesPending());
    EXPECT_TRUE(e.Updater().Log.empty());
}

TEST(MemDataSetEdit, CachedUpdatesAppliedThenCommitted) {
    TEdit e(4, true);
    e.DS->Edit();
    e.F("name")->SetAsString("edited");
    e.DS->Post();
    e.DS->SetRecNo(3);
    e.DS->Delete();
    e.DS->Append();
    e.F("id")->SetAsInteger(50);
    e.DS->Post();
    EXPECT_EQ(e.DS->RecordCount(), 4);
    EXPECT_EQ(e.Ids(), (Ids{10, 20, 40, 50}));
    EXPECT_EQ(e.Ids(true), (Ids{10, 20, 30, 40, 50}));
    EXPECT_TRUE(e.DS->UpdatesPending());
    EXPECT_TRUE(e.Updater().Log.empty());

    e.DS->SetRecNo(2);
    e.DS->ApplyUpdates();
    EXPECT_EQ(e.Updater().Log, (Log{"update:10", "delete:30", "insert:50"}));
    EXPECT_FALSE(e.DS->UpdatesPending());
    EXPECT_EQ(e.F("id")->AsInteger(), 20);  // the position survives
    EXPECT_EQ(e.Ids(true), (Ids{10, 20, 30, 40, 50}));

    e.DS->CommitUpdates();
    EXPECT_EQ(e.Ids(true), (Ids{10, 20, 40, 50}));
    e.DS->First();
    EXPECT_EQ(e.DS->UpdateStatus(), usUnmodified);
    EXPECT_EQ(e.F("name")->OldValue().AsAnsiString(), "edited");
    EXPECT_EQ(e.Updater().Log.size(), 3u);
}

// The updater sees old and new values of the row it writes and may give new values back.
TEST(MemDataSetEdit, UpdaterReadsOldValuesAndWritesNewOnes) {
    for (bool cached : {false, true}) {
        SCOPED_TRACE(cached ? "cached" : "direct");
        TEdit e(2, cached);
        e.Updater().Identity = 500;
        e.DS->Edit();
        e.F("name")->SetAsString("renamed");
        e.DS->Post();
        e.DS->Append();
        e.F("name")->SetAsString("new row");
        e.DS->Post();
        if (cached) e.DS->ApplyUpdates();
        EXPECT_EQ(e.Updater().OldNames, (Log{"n1"}));
        EXPECT_EQ(e.Updater().Log, (Log{"update:10", "insert:500"}));
        EXPECT_EQ(e.Ids(), (Ids{10, 20, 500}));
        e.DS->Last();
        EXPECT_EQ(e.F("id")->AsInteger(), 500);
        EXPECT_EQ(e.F("name")->AsString(), "new row");
    }
}

TEST(MemDataSetEdit, ApplyUpdatesOfChosenKinds) {
    TEdit e(3, true);
    e.DS->Edit();
    e.F("name")->SetAsString("x");
    e.DS->Post();
    e.DS->Last();
    e.DS->Delete();
    e.DS->ApplyUpdatesOfKinds(TUpdateKinds{db::ukDelete});
    EXPECT_EQ(e.Updater().Log, (Log{"delete:30"}));
    EXPECT_TRUE(e.DS->UpdatesPending());
    e.DS->ApplyUpdates();
    EXPECT_EQ(e.Updater().Log, (Log{"delete:30", "update:10"}));
    EXPECT_FALSE(e.DS->UpdatesPending());
}

TEST(MemDataSetEdit, OnUpdateRecordDecidesWithoutTheUpdater) {
    struct Case {
        TUpdateAction Action;
        const char* Error;
        bool Pending;
        uint8_t Result;
    };
    const Case cases[] = {
        {uaApplied, "", false, urApplied},
        {uaSkip, "", true, urSkip},
        {uaFail, "Update failed", true, urNone},
        {uaAbort, "", true, urNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Action));
        TEdit e(2, true);
        e.DS->Edit();
        e.F("name")->SetAsString("x");
        e.DS->Post();
        int calls = 0;
        e.DS->OnUpdateRecord = [&](TDataSet*, TUpdateKind kind, TUpdateAction& action) {
            ++calls;
            EXPECT_EQ(kind, db::ukModify);
            action = c.Action;
        };
        bool aborted = false;
        std::string error;
        try {
            e.DS->ApplyUpdates();
        } catch (const rtl::EAbort&) {
            aborted = true;
        } catch (const rtl::Exception& ex) {
            error = ex.Message();
        }
        EXPECT_EQ(error, c.Error);
        EXPECT_EQ(aborted, c.Action == uaAbort);
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(e.Updater().Log.empty());
        EXPECT_EQ(e.DS->UpdatesPending(), c.Pending);
        EXPECT_EQ(e.DS->State(), dsBrowse);
        e.DS->First();
        if (c.Error[0] == 0 && c.Action != uaAbort) {
            EXPECT_EQ(e.DS->UpdateResult(), c.Result);
        }
    }
}

TEST(MemDataSetEdit, OnUpdateErrorDecidesOnUpdaterErrors) {
    struct Case {
        TUpdateAction Action;
        const char* Error;
        bool Pending;
    };
    const Case cases[] = {{uaSkip, "", true}, {uaApplied, "", false}, {uaFail, "locked", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Action));
        TEdit e(2, true);
        e.DS->Append();
        e.F("id")->SetAsInteger(3);
        e.DS->Post();
        e.Updater().FailWith = "locked";
        std::string seen;
        e.DS->OnUpdateError = [&](TDataSet*, EDatabaseError& E, TUpdateKind kind, TUpdateAction& action) {
            seen = E.Message();
            EXPECT_EQ(kind, db::ukInsert);
            action = c.Action;
        };
        EXPECT_EQ(ErrorOf([&] { e.DS->ApplyUpdates(); }), c.Error);
        EXPECT_EQ(seen, "locked");
        EXPECT_EQ(e.DS->UpdatesPending(), c.Pending);
        EXPECT_EQ(e.Ids(), (Ids{10, 20, 3}));
    }
    // Without a handler the updater's error reaches the caller.
    TEdit e(1, true);
    e.DS->Delete();
    e.Updater().FailWith = "gone";
    EXPECT_EQ(ErrorOf([&] { e.DS->ApplyUpdates(); }), "gone");
    EXPECT_TRUE(e.DS->UpdatesPending());
}

TEST(MemDataSetEdit, BatchedUpdatesFlushOnTheLastRecord) {
    TEdit e(3, true);
    e.Updater().Batch = true;
    for (int i = 0; i < 3; ++i) {
        e.DS->SetRecNo(i + 1);
        e.DS->Edit();
        e.F("qty")->SetAsInteger(50 + i);
        e.DS->Post();
    }
    e.DS->ApplyUpdates();
    EXPECT_EQ(e.Updater().Log, (Log{"update:10", "update:20", "update:30"}));
    EXPECT_EQ(e.Updater().Flushes, 1);
    EXPECT_FALSE(e.DS->UpdatesPending());
    for (int r = 1; r <= 3; ++r) {
        e.DS->SetRecNo(r);
        EXPECT_EQ(e.DS->UpdateResult(), urApplied) << r;
    }
}

TEST(MemDataSetEdit, RevertRecordAndCancelUpdates) {
    TEdit e(3, true);
    e.DS->Edit();
    e.F("name")->SetAsString("changed");
    e.DS->Post();
    e.DS->RevertRecord();
    EXPECT_EQ(e.F("name")->AsString(), "n1");
    EXPECT_EQ(e.DS->UpdateStatus(), usUnmodified);
    EXPECT_FALSE(e.DS->UpdatesPending());

    e.DS->Append();
    e.F("id")->SetAsInteger(40);
    e.DS->Post();
    e.DS->RevertRecord();
    EXPECT_EQ(e.Ids(true), (Ids{10, 20, 30}));
    EXPECT_EQ(e.DS->RecordCount(), 3);

    // A revert while editing drops the edit first.
    e.DS->First();
    e.DS->Edit();
    e.F("name")->SetAsString("pending");
    e.DS->RevertRecord();
    EXPECT_EQ(e.DS->State(), dsBrowse);
    EXPECT_EQ(e.F("name")->AsString(), "n1");

    e.DS->Edit();
    e.F("name")->SetAsString("a");
    e.DS->Post();
    e.DS->Last();
    e.DS->Delete();
    e.DS->Append();
    e.F("id")->SetAsInteger(60);
    e.DS->Post();
    EXPECT_EQ(e.Ids(), (Ids{10, 20, 60}));
    e.DS->CancelUpdates();
    EXPECT_EQ(e.Ids(true), (Ids{10, 20, 30}));
    EXPECT_EQ(e.DS->RecordCount(), 3);
    e.DS->First();
    EXPECT_EQ(e.F("name")->AsString(), "n1");
    EXPECT_FALSE(e.DS->UpdatesPending());
    EXPECT_TRUE(e.Updater().Log.empty());
}

TEST(MemDataSetEdit, MemoEditsAreCancelledOrKept) {
    TEdit e({{u"id", mdtInt32, 4}, {u"note", mdtMemo, PointerSlotSize}},
            {{Variant(1), Variant(AnsiString("original"))}, {Variant(2), Variant::Null()}}, false);
    TField* note = e.F("note");
    auto text = [&] { return e.DS->GetBlobOfField(note)->GetAsString(); };
    e.DS->Edit();
    e.DS->GetBlobOfField(note)->SetAsString("rewritten");
    EXPECT_EQ(text(), "rewritten");
    e.DS->Cancel();
    EXPECT_EQ(text(), "original");
    EXPECT_EQ(e.Store->Column(2)[0].AsAnsiString(), "original");

    e.DS->Edit();
    e.DS->GetBlobOfField(note)->SetAsString("kept");
    e.DS->Post();
    EXPECT_EQ(e.Store->Column(2)[0].AsAnsiString(), "kept");
    EXPECT_EQ(text(), "kept");
    EXPECT_TRUE(note->Modified());

    // A new record's blob goes away with a cancelled insert, and with a close in the middle.
    e.DS->Append();
    e.DS->GetBlobOfField(note)->SetAsString("dropped");
    e.DS->Cancel();
    EXPECT_EQ(e.DS->RecordCount(), 2);
    e.DS->Append();
    e.DS->GetBlobOfField(note)->SetAsString("dropped too");
    e.DS->Close();
    e.DS->Open();
    EXPECT_EQ(e.DS->RecordCount(), 2);

    // A failing OnNewRecord drops the new record and its blob.
    e.DS->OnNewRecord = [](TDataSet*) { DatabaseError("no new rows today"); };
    EXPECT_EQ(ErrorOf([&] { e.DS->Append(); }), "no new rows today");
    EXPECT_EQ(e.DS->State(), dsBrowse);
    EXPECT_EQ(e.DS->RecordCount(), 2);
}

// Buffers of a forward-only dataset hold their own references to heap values and blobs; editing
// must still start from the stored values and leave every reference balanced.
TEST(MemDataSetEdit, BuffersHoldingReferencesEditLikeOthers) {
    rtl::TOwnedPtr<TEditDataSet> ds(rtl::Create<TEditDataSet>(nullptr));
    auto* store = new TRowStore(
        {{u"id", mdtInt32, 4}, {u"name", mdtExtString, PointerSlotSize, 20}, {u"note", mdtMemo, PointerSlotSize}},
        {{Variant(1), Variant(AnsiString("heap one")), Variant(AnsiString("memo one"))},
         {Variant(2), Variant(AnsiString("heap two")), Variant(AnsiString("memo two"))}});
    ds->SetIRecordSet(std::unique_ptr<TData>(store));
    ds->SetBuffersHoldReferences(true);
    ds->Open();
    TField* name = ds->FieldByName(std::string_view("name"));
    TField* note = ds->FieldByName(std::string_view("note"));
    EXPECT_EQ(name->AsString(), "heap one");

    ds->Edit();
    EXPECT_EQ(name->AsString(), "heap one");
    EXPECT_EQ(ds->GetBlobOfField(note)->GetAsString(), "memo one");
    name->SetAsString("changed");
    ds->Post();
    EXPECT_EQ(name->AsString(), "changed");
    EXPECT_EQ(store->Column(2)[0].AsAnsiString(), "changed");
    EXPECT_EQ(store->Column(3)[0].AsAnsiString(), "memo one");

    ds->Next();
    ds->Edit();
    name->SetAsString("dropped");
    ds->Cancel();
    EXPECT_EQ(name->AsString(), "heap two");
    EXPECT_EQ(store->Column(2)[1].AsAnsiString(), "heap two");
    ds->Close();
}

TEST(MemDataSetEdit, NewDetailRecordTakesTheMasterValues) {
    TEdit master({{u"id", mdtInt32, 4}, {u"kind", mdtString, 11, 10}}, {{Variant(7), Variant(AnsiString("book"))}},
                 false);
    rtl::TOwnedPtr<TDataSource> src(rtl::Create<TDataSource>(nullptr));
    src->SetDataSet(master.DS.get());
    TEdit detail({{u"ref", mdtInt32, 4}, {u"kind", mdtString, 11, 10}, {u"ro", mdtInt32, 4, 0, false, true}}, {},
                 false);
    detail.DS->SetMasterSource(src.get());
    detail.DS->SetMasterFields(u"id;kind;id");
    detail.DS->SetDetailFields(u"ref;missing;ro");
    detail.DS->Append();
    EXPECT_EQ(detail.F("ref")->AsInteger(), 7);
    EXPECT_TRUE(detail.F("kind")->IsNull());
    EXPECT_TRUE(detail.F("ro")->IsNull());
    detail.DS->SetDetailFields(u"ref;kind");
    detail.DS->Cancel();
    detail.DS->Append();
    EXPECT_EQ(detail.F("kind")->AsString(), "book");
    detail.DS->Cancel();
    detail.DS->SetMasterSource(nullptr);
}

}  // namespace

namespace {

TEST(MemDataSetEdit, FieldBytesReadTheRecordOfEachState) {
    // A reader comparing bytes sees what the field reads in every state around an edit.
    TFixture data({{u"id", mdtInt32, 4}, {u"v", mdtFloat, 8}, {u"name", mdtString, 11, 10}},
                  {{Variant(1), Variant(1.5), Variant("a")}, {Variant(2), Variant::Null(), Variant("b")}});
    data.DS->Open();
    TField* v = data.F("v");
    TDataSet::TFieldBytes place;
    EXPECT_FALSE(data.DS->FieldBytes(data.F("name"), place)) << "text is not kept as a plain number";
    ASSERT_TRUE(data.DS->FieldBytes(v, place));
    EXPECT_EQ(place.Size, 8);
    auto seen = [&]() -> std::string {
        const uint8_t* rec = data.DS->FieldBytesRecord();
        if (!rec) return "none";
        if (rec[place.NullFlag] == 1) return "null";
        double d;
        std::memcpy(&d, rec + place.Offset, sizeof d);
        return std::to_string(d).substr(0, 4);
    };
    EXPECT_EQ(seen(), "1.50") << "browse";
    data.DS->Edit();
    v->SetAsFloat(2.25);
    EXPECT_EQ(seen(), "2.25") << "edit";
    data.DS->Post();
    EXPECT_EQ(seen(), "2.25") << "browse after the post";
    data.DS->Next();
    EXPECT_EQ(seen(), "null") << "a null value";
    data.DS->Append();
    EXPECT_EQ(seen(), "null") << "insert";
    v->SetAsFloat(7);
    EXPECT_EQ(seen(), "7.00") << "insert";
    data.DS->Cancel();
    while (!data.DS->IsEmpty()) data.DS->Delete();
    EXPECT_EQ(seen(), "none") << "no record";
}

}  // namespace
