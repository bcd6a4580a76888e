// The memory record store: navigation, record numbers, bookmarks, filters and cached updates.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/store/memdata_store_fixture.h"

using namespace storetest;
using rtl::Variant;

namespace {

class MemStore : public ::testing::Test {
protected:
    MemStore() : data(IdNameColumns()) { data.OpenStore(); }
    void Fill(int count, int first = 1) {
        for (int i = 0; i < count; ++i) AddRow(data, first + i);
    }
    void Update(const rtl::AnsiString& name) {
        TBuf buf(data, false);
        data.GetRecord(buf.get());
        data.PutFieldAsVariant(2, buf.get(), Variant(name));
        data.UpdateRecord(buf.get());
    }
    TTestStore data;
};

TEST_F(MemStore, EmptyStore) {
    TBuf buf(data, false);
    data.GetNextRecord(buf.get());
    EXPECT_TRUE(data.GetEof());
    EXPECT_EQ(data.GetRecordNo(), 0);
    data.SetRecordNo(1);
    EXPECT_EQ(data.CurrentItem(), nullptr);
    EXPECT_EQ(data.GetRecordCount(), 0);
}

TEST_F(MemStore, InsertBeforeEarlyRowShiftsTheBaseOnly) {
    Fill(1000);
    data.SetRecordNo(10);
    ASSERT_EQ(CurrentId(data), 10);
    InsertRow(data, 5000);
    EXPECT_EQ(data.RecordNoOffset(), 1);
    // Items are packed: copy the fields out before comparing.
    int32_t newOrder = data.CurrentItem()->Order, firstOrder = data.FirstItem()->Order;
    EXPECT_EQ(newOrder, 9);
    EXPECT_EQ(firstOrder, 0);
    EXPECT_EQ(data.GetRecordNo(), 10);
    bool numbersOk = false;
    auto ids = VisibleIds(data, &numbersOk);
    EXPECT_TRUE(numbersOk);
    ASSERT_EQ(ids.size(), 1001u);
    EXPECT_EQ(ids[9], 5000);

    // Inserting late renumbers the tail and keeps the base.
    data.SetRecordNo(900);
    InsertRow(data, 6000);
    EXPECT_EQ(data.RecordNoOffset(), 1);
    EXPECT_EQ(VisibleIds(data, &numbersOk)[899], 6000);
    EXPECT_TRUE(numbersOk);
}

// Inserts and deletes at random places against a plain vector: every row keeps the right number
// and every number leads to the right row, whichever way the list was renumbered.
TEST_F(MemStore, RecordNumbersFollowRandomEdits) {
    std::vector<int> model;
    for (int i = 1; i <= 300; ++i) {
        AddRow(data, i);
        model.push_back(i);
    }
    std::mt19937 rng(7);
    int next = 1000;
    for (int step = 0; step < 400; ++step) {
        int n = static_cast<int>(rng() % model.size()) + 1;
        data.SetRecordNo(n);
        ASSERT_EQ(CurrentId(data), model[n - 1]) << "step " << step;
        if (rng() % 2 || model.size() < 10) {
            InsertRow(data, next);
            model.insert(model.begin() + (n - 1), next++);
        } else {
            data.DeleteRecord();
            model.erase(model.begin() + (n - 1));
        }
        ASSERT_EQ(data.GetRecordCount(), static_cast<int>(model.size()));
    }
    bool numbersOk = false;
    EXPECT_EQ(VisibleIds(data, &numbersOk), model);
    EXPECT_TRUE(numbersOk);
    for (int n : {1, 2, static_cast<int>(model.size()) / 2, static_cast<int>(model.size())}) {
        data.SetRecordNo(n);
        EXPECT_EQ(CurrentId(data), model[n - 1]) << n;
        EXPECT_EQ(data.GetRecordNo(), n);
    }
}

TEST_F(MemStore, NavigationAndDeletion) {
    Fill(3);
    TBuf buf(data, false);
    data.SetToEnd();
    data.GetPriorRecord(buf.get());
    EXPECT_EQ(CurrentId(data), 3);
    data.DeleteRecord();  // the last row goes: the previous one becomes current
    EXPECT_EQ(CurrentId(data), 2);
    data.SetRecordNo(1);
    data.DeleteRecord();
    EXPECT_EQ(CurrentId(data), 2);
    EXPECT_EQ(data.GetRecordNo(), 1);
    data.DeleteRecord();
    EXPECT_EQ(data.GetRecordCount(), 0);
    EXPECT_TRUE(data.GetEof());
    EXPECT_TRUE(data.GetBof());
}

TEST_F(MemStore, EventFailureLeavesTheStoreUnchanged) {
    Fill(2);
    data.InsertRecordEvent = [](void*) { throw rtl::Exception("refused"); };
    data.UpdateRecordEvent = [](void*) { throw rtl::Exception("refused"); };
    data.DeleteRecordEvent = [] { throw rtl::Exception("refused"); };
    data.SetRecordNo(1);
    EXPECT_THROW(InsertRow(data, 9), rtl::Exception);
    EXPECT_THROW(Update("changed"), rtl::Exception);
    EXPECT_THROW(data.DeleteRecord(), rtl::Exception);
    EXPECT_EQ(VisibleIds(data), (std::vector<int>{1, 2}));
    data.SetRecordNo(1);
    EXPECT_EQ(CurrentName(data), "row");
}

TEST_F(MemStore, BookmarksFollowTheirRow) {
    Fill(5);
    data.SetRecordNo(4);
    TRecBookmark b4;
    data.GetBookmark(b4);
    data.SetRecordNo(1);
    InsertRow(data, 100);  // row 4 is now the fifth
    data.SetRecordNo(1);
    data.SetToBookmark(b4);
    EXPECT_EQ(CurrentId(data), 4);
    EXPECT_TRUE(data.BookmarkValid(&b4));

    TRecBookmark first;
    data.SetRecordNo(1);
    data.GetBookmark(first);
    EXPECT_LT(data.CompareBookmarks(&first, &b4), 0);
    EXPECT_GT(data.CompareBookmarks(&b4, &first), 0);
    EXPECT_EQ(data.CompareBookmarks(&b4, &b4), 0);
    EXPECT_EQ(data.CompareBookmarks(nullptr, &b4), 1);
}

// A bookmark whose row was deleted must not be followed to whatever row reuses its memory.
TEST_F(MemStore, BookmarkOfADeletedRowIsResolvedByNumber) {
    Fill(5);
    data.SetRecordNo(3);
    TRecBookmark b;
    data.GetBookmark(b);
    data.DeleteRecord();
    data.SetRecordNo(5 - 1);
    InsertRow(data, 77);  // takes the freed item back from the free list
    EXPECT_EQ(data.CurrentItem(), b.Item);
    data.SetRecordNo(1);
    data.SetToBookmark(b);
    EXPECT_EQ(CurrentId(data), 4);  // row number 3 now
    EXPECT_EQ(data.GetRecordNo(), 3);
}

// Bookmarks of thousands of rows, then deletes at random with new rows taking the freed items:
// a kept row's bookmark still finds it wherever it moved, a deleted one's never finds the row
// that took its place.
TEST_F(MemStore, BookmarksSurviveRandomDeletesAndInserts) {
    const int rows = 3000;
    Fill(rows);
    std::vector<TRecBookmark> marks(rows);
    for (int n = 1; n <= rows; ++n) {
        data.SetRecordNo(n);
        data.GetBookmark(marks[static_cast<size_t>(n) - 1]);
    }
    std::vector<int> model(rows);
    for (int i = 0; i < rows; ++i) model[static_cast<size_t>(i)] = i + 1;
    std::vector<bool> kept(rows + 1, true);
    std::mt19937 rng(11);
    int next = 10000;
    for (int step = 0; step < 1500; ++step) {
        const int n = static_cast<int>(rng() % model.size()) + 1;
        data.SetRecordNo(n);
        if (const int id = model[static_cast<size_t>(n) - 1]; id <= rows) kept[static_cast<size_t>(id)] = false;
        data.DeleteRecord();
        model.erase(model.begin() + (n - 1));
        if (step % 2) {
            const int at = static_cast<int>(rng() % model.size()) + 1;
            data.SetRecordNo(at);
            InsertRow(data, next);
            model.insert(model.begin() + (at - 1), next++);
        }
    }
    for (int id = 1; id <= rows; ++id) {
        const TRecBookmark& b = marks[static_cast<size_t>(id) - 1];
        data.SetRecordNo(1);
        data.SetToBookmark(b);
        if (kept[static_cast<size_t>(id)]) {
            EXPECT_EQ(CurrentId(data), id);
        } else {
            EXPECT_NE(CurrentId(data), id);
            if (b.Order <= static_cast<int>(model.size())) {
                EXPECT_EQ(CurrentId(data), model[static_cast<size_t>(b.Order) - 1]) << id;
            }
        }
    }
}

TEST_F(MemStore, BookmarkOfAnEarlierFillingIsForeign) {
    Fill(3);
    data.SetRecordNo(2);
    TRecBookmark b;
    data.GetBookmark(b);
    data.Close();
    data.OpenStore();
    Fill(3, 10);
    EXPECT_NE(b.RefreshIteration, data.RefreshIteration());
    data.SetToBookmark(b);
    EXPECT_EQ(CurrentId(data), 11);
    TRecBookmark none;
    none.Order = -1;
    EXPECT_FALSE(data.BookmarkValid(&none));
    EXPECT_FALSE(data.BookmarkValid(nullptr));
}

// Once the base has moved, a visible row may carry Order 0 like a hidden one: moving by number
// must never stop on a hidden row.
TEST_F(MemStore, MovingByNumberSkipsHiddenRows) {
    data.FilterFunc = [this](void* rec) { return data.GetFieldValue(1, rec).AsInteger() != 0; };
    AddRow(data, 0);
    Fill(20);
    data.FilterUpdated();
    ASSERT_EQ(data.GetRecordCount(), 20);
    data.SetRecordNo(3);
    InsertRow(data, 100);
    ASSERT_EQ(data.RecordNoOffset(), 1);
    for (int n : {1, 2, 3, 4}) {
        data.SetRecordNo(n);
        EXPECT_EQ(data.GetRecordNo(), n);
        EXPECT_EQ(CurrentId(data), (std::vector<int>{1, 2, 100, 3})[n - 1]) << n;
    }
    bool numbersOk = false;
    EXPECT_EQ(VisibleIds(data, &numbersOk).size(), 21u);
    EXPECT_TRUE(numbersOk);
}

TEST_F(MemStore, MovingThroughTheCacheChecksTheRange) {
    Fill(10);
    data.SetRecordNo(4);
    data.BuildRecordNoCache();
    ASSERT_TRUE(data.HasRecordNoCache());
    for (int n : {0, -1, 11, 1000}) {
        data.SetRecordNo(n);
        EXPECT_EQ(CurrentId(data), 4) << n;
    }
    data.SetRecordNo(10);
    EXPECT_EQ(CurrentId(data), 10);
}

TEST_F(MemStore, FarJumpsLandOnTheRightRow) {
    Fill(5000);
    for (int n : {2500, 17, 4999, 1234, 5000, 1}) {
        data.SetRecordNo(n);
        EXPECT_EQ(CurrentId(data), n);
    }
}

// A row posted with values the filter would hide stays visible and current, and counted, until
// the filter is applied again.
TEST_F(MemStore, PostedRowStaysVisibleUntilTheFilterIsApplied) {
    data.FilterFunc = [this](void* rec) { return rtl::VarToStr(data.GetFieldValue(2, rec)) != "hidden"; };
    Fill(5);
    data.FilterUpdated();
    data.SetRecordNo(2);
    Update("hidden");
    EXPECT_EQ(data.GetRecordCount(), 5);
    EXPECT_EQ(CurrentId(data), 2);
    EXPECT_EQ(data.GetRecordNo(), 2);
    InsertRow(data, 50, "hidden");
    EXPECT_EQ(data.GetRecordCount(), 6);
    EXPECT_EQ(CurrentId(data), 50);
    EXPECT_EQ(VisibleIds(data).size(), 6u);

    data.FilterUpdated();
    EXPECT_EQ(data.GetRecordCount(), 4);
    EXPECT_EQ(VisibleIds(data), (std::vector<int>{1, 3, 4, 5}));
}

TEST_F(MemStore, FilterHidingEverythingGivesEof) {
    Fill(3);
    data.FilterFunc = [](void*) { return false; };
    EXPECT_TRUE(data.FilterUpdated());
    EXPECT_EQ(data.GetRecordCount(), 0);
    EXPECT_TRUE(VisibleIds(data).empty());
}

TEST_F(MemStore, SortedInsertAndUpdateKeepOrder) {
    Fill(5);  // 1..5
    data.SetIndexFieldNames("ID DESC");
    EXPECT_EQ(VisibleIds(data), (std::vector<int>{5, 4, 3, 2, 1}));
    data.SetRecordNo(1);
    InsertRow(data, 3);
    bool numbersOk = false;
    EXPECT_EQ(VisibleIds(data, &numbersOk), (std::vector<int>{5, 4, 3, 3, 2, 1}));
    EXPECT_TRUE(numbersOk);
    EXPECT_THROW(data.SetIndexFieldNames("ID ASC DESC"), rtl::Exception);
    EXPECT_THROW(data.SetIndexFieldNames("NOPE"), rtl::Exception);
}

// --- cached updates ---

class CachedStore : public MemStore {
protected:
    CachedStore() {
        Fill(5);
        data.SetCachedUpdates(true);
    }
};

TEST_F(CachedStore, UpdateKeepsTheOldValuesUntilCancelled) {
    data.SetRecordNo(2);
    Update("new");
    EXPECT_EQ(data.GetUpdateStatus(), isModified);
    EXPECT_TRUE(data.HasUpdates());
    TBuf old(data, false);
    data.GetOldRecord(old.get());
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(2, old.get())), "row");
    EXPECT_EQ(CurrentName(data), "new");
    Update("newer");  // the first old values stay
    data.GetOldRecord(old.get());
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(2, old.get())), "row");

    data.CancelUpdates();
    EXPECT_FALSE(data.HasUpdates());
    data.SetRecordNo(2);
    EXPECT_EQ(CurrentName(data), "row");
    EXPECT_EQ(data.GetUpdateStatus(), isUnmodified);
}

TEST_F(CachedStore, DeletionsHideRowsAndCancellingRestoresThem) {
    struct Case {
        bool modifyFirst;
    } cases[] = {{false}, {true}};
    for (const Case& c : cases) {
        data.SetRecordNo(3);
        if (c.modifyFirst) Update("changed");
        data.DeleteRecord();
        EXPECT_EQ(data.GetRecordCount(), 4);
        EXPECT_EQ(VisibleIds(data), (std::vector<int>{1, 2, 4, 5}));
        EXPECT_TRUE(data.HasModifiedOrDeleted());
        data.CancelUpdates();
        EXPECT_EQ(data.GetRecordCount(), 5);
        bool numbersOk = false;
        EXPECT_EQ(VisibleIds(data, &numbersOk), (std::vector<int>{1, 2, 3, 4, 5}));
        EXPECT_TRUE(numbersOk);
        data.SetRecordNo(3);
        EXPECT_EQ(CurrentName(data), "row");  // a modified row comes back with its old values
    }
}

TEST_F(CachedStore, DeletingAnInsertedRowLeavesNoTrace) {
    data.SetRecordNo(2);
    InsertRow(data, 42);
    EXPECT_EQ(data.GetUpdateStatus(), isInserted);
    EXPECT_EQ(data.CacheItems().size(), 1u);
    data.DeleteRecord();
    EXPECT_TRUE(data.CacheItems().empty());
    EXPECT_FALSE(data.HasUpdates());
    bool numbersOk = false;
    EXPECT_EQ(VisibleIds(data, &numbersOk), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(numbersOk);
}

TEST_F(CachedStore, RevertRecordUndoesOneChange) {
    data.SetRecordNo(1);
    Update("a");
    data.SetRecordNo(4);
    data.DeleteRecord();
    data.SetRecordNo(1);
    data.RevertRecord();
    EXPECT_EQ(CurrentName(data), "row");
    EXPECT_EQ(data.CacheItems().size(), 1u);
    EXPECT_EQ(data.GetRecordCount(), 4);
}

TEST_F(CachedStore, ApplyBatchesAndCommit) {
    data.SetRecordNo(1);
    Update("m");
    data.SetRecordNo(2);
    data.DeleteRecord();
    data.SetRecordNo(3);
    InsertRow(data, 9);
    data.SetRecordNo(5);
    Update("m2");
    std::vector<uint8_t> kinds;
    std::vector<bool> lasts;
    int calls = 0;
    data.ApplyRecordEvent = [&](uint8_t kind, uint8_t& action, bool last) {
        kinds.push_back(kind);
        lasts.push_back(last);
        action = ++calls < 4 ? urSuspended : urApplied;
    };
    data.ApplyUpdates(ukfAll);
    EXPECT_EQ(kinds, (std::vector<uint8_t>{ukUpdate, ukDelete, ukInsert, ukUpdate}));
    EXPECT_EQ(lasts, (std::vector<bool>{false, false, false, true}));
    for (TRecordItem* item : data.CacheItems()) EXPECT_EQ(+item->UpdateResult, +urApplied);
    EXPECT_FALSE(data.HasUpdates());

    data.CommitUpdates();
    EXPECT_TRUE(data.CacheItems().empty());
    bool numbersOk = false;
    EXPECT_EQ(VisibleIds(data, &numbersOk), (std::vector<int>{1, 3, 9, 4, 5}));
    EXPECT_TRUE(numbersOk);
    data.SetRecordNo(1);
    EXPECT_EQ(data.GetUpdateStatus(), isUnmodified);
    EXPECT_EQ(CurrentName(data), "m");
}

TEST_F(CachedStore, RetryAndFailureKeepChangesPending) {
    data.SetRecordNo(1);
    Update("x");
    data.SetRecordNo(2);
    Update("y");
    int calls = 0;
    data.ApplyRecordEvent = [&](uint8_t, uint8_t& action, bool) {
        ++calls;
        action = calls == 1 ? urRetry : (calls == 2 ? urApplied : urFail);
    };
    data.ApplyUpdates(ukfAll);
    EXPECT_EQ(calls, 3);  // the first change was tried twice
    EXPECT_EQ(+data.CacheItems()[0]->UpdateResult, +urApplied);
    EXPECT_EQ(+data.CacheItems()[1]->UpdateResult, +urFail);
    EXPECT_TRUE(data.HasUpdates());

    data.ApplyRecordEvent = [](uint8_t, uint8_t&, bool) { throw rtl::Exception("server gone"); };
    EXPECT_THROW(data.ApplyUpdates(ukfAll), rtl::Exception);
    EXPECT_TRUE(data.HasUpdates());
    data.ApplyRecordEvent = nullptr;
    data.CommitUpdates();  // only the applied change is committed
    ASSERT_EQ(data.CacheItems().size(), 1u);
    data.RestoreUpdates();
    EXPECT_EQ(+data.CacheItems()[0]->UpdateResult, +urNone);
}

TEST_F(CachedStore, LeavingCachedModeCancels) {
    data.SetRecordNo(1);
    data.DeleteRecord();
    data.SetCachedUpdates(false);
    EXPECT_EQ(data.GetRecordCount(), 5);
    EXPECT_TRUE(data.CacheItems().empty());
}

// Heap values and blobs survive edits, rollback copies and cancellation with their references
// balanced: a double release would raise the heap's or the blob's consistency check.
TEST(CachedComplexStore, HeapTextAndBlobsComeBackOnCancel) {
    TTestStore data({{u"ID", mdtInt32, 4}, {u"TXT", mdtExtString, 8, 50}, {u"MEMO", mdtMemo, 8}});
    data.OpenStore();
    {
        TBuf buf(data);
        data.PutFieldAsVariant(1, buf.get(), Variant(1));
        data.PutFieldAsVariant(2, buf.get(), Variant("before"));
        data.PutFieldAsVariant(3, buf.get(), Variant("memo before"));
        data.AppendRecord(buf.get());
        buf.HandOver();
    }
    data.SetCachedUpdates(true);
    data.SetRecordNo(1);
    for (const char* text : {"after", "after again"}) {
        TBuf edit(data, false);
        data.GetRecord(edit.get());
        data.EditRecord(edit.get());
        data.PutFieldAsVariant(2, edit.get(), Variant(text));
        const char more[] = " + more";
        data.WriteBlob(3, edit.get(), false, more, 7, data.GetBlobSize(3, edit.get(), false, false));
        data.PostRecord(edit.get());
    }
    TBuf now(data, false);
    data.GetRecord(now.get());
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(2, now.get())), "after again");
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(3, now.get())), "memo before + more + more");
    TBuf old(data, false);
    data.GetOldRecord(old.get());
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(2, old.get())), "before");
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(3, old.get())), "memo before");

    data.CancelUpdates();
    data.SetRecordNo(1);
    data.GetRecord(now.get());
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(2, now.get())), "before");
    EXPECT_EQ(rtl::VarToStr(data.GetFieldValue(3, now.get())), "memo before");
    data.Close();
}

// Many bookmarked rows, a third of them deleted and their items taken by new rows: every
// bookmark still finds its own row, and one of a deleted row goes by number, never to the row
// that now holds its memory.
TEST_F(MemStore, BookmarksOfManyRowsSurviveDeletesAndReuse) {
    constexpr int Rows = 3000;
    Fill(Rows);
    struct TMark {
        int Id;
        TRecBookmark Bookmark;
        bool Deleted = false;
    };
    std::vector<TMark> marks;
    for (int no = 1; no <= Rows; ++no) {
        data.SetRecordNo(no);
        marks.push_back({CurrentId(data), {}});
        data.GetBookmark(marks.back().Bookmark);
    }
    std::mt19937 random(15);
    std::vector<int> order(Rows);
    for (int i = 0; i < Rows; ++i) order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), random);
    for (int k = 0; k < Rows / 3; ++k) {
        TMark& m = marks[static_cast<size_t>(order[static_cast<size_t>(k)])];
        data.SetToBookmark(m.Bookmark);
        ASSERT_EQ(CurrentId(data), m.Id);
        data.DeleteRecord();
        m.Deleted = true;
    }
    std::vector<TMark> added;
    int reused = 0;
    for (int k = 0; k < Rows / 3; ++k) {
        AddRow(data, 100000 + k);
        added.push_back({100000 + k, {}});
        data.GetBookmark(added.back().Bookmark);
        for (const TMark& m : marks) reused += m.Deleted && m.Bookmark.Item == data.CurrentItem();
    }
    ASSERT_GT(reused, 0);
    for (const auto* list : {&marks, &added})
        for (const TMark& m : *list) {
            if (m.Deleted) continue;
            data.SetRecordNo(1);
            data.SetToBookmark(m.Bookmark);
            ASSERT_EQ(CurrentId(data), m.Id);
        }
    // Items freed a second time: the bookmarks taken in between stop holding too.
    for (size_t k = 0; k < added.size(); k += 2) {
        data.SetToBookmark(added[k].Bookmark);
        ASSERT_EQ(CurrentId(data), added[k].Id);
        data.DeleteRecord();
        added[k].Deleted = true;
    }
    for (const auto* list : {&marks, &added})
        for (const TMark& m : *list) {
            int expected = m.Id;
            if (m.Deleted) {
                // A number past the end leaves the current row where it was.
                data.SetRecordNo(1);
                data.SetRecordNo(m.Bookmark.Order);
                expected = CurrentId(data);
            }
            data.SetRecordNo(1);
            data.SetToBookmark(m.Bookmark);
            ASSERT_EQ(CurrentId(data), expected);
        }
}

}  // namespace
