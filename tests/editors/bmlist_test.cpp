// The sorted bookmark list of selected rows over a memory dataset.
#include <gtest/gtest.h>

#include "tests/support/editors_fixture.h"

using namespace editorstest;
using editors::TBMListEh;

namespace {

struct BMList : ::testing::Test {
    TFixture F = OpenPeople(6);
    rtl::TOwnedPtr<TTestBMList> L{rtl::Create<TTestBMList>(F.DS.get())};
    void SetUp() override { L->SetLinkActive(true); }
    std::vector<int> Ids() { return ListedIds(*L, F.DS.get()); }
};

TEST_F(BMList, SelectingKeepsDatasetOrderAndOneEntryPerRow) {
    SelectRecNos(*L, F.DS.get(), {5, 2, 4, 2});
    EXPECT_EQ(Ids(), (std::vector<int>{20, 40, 50}));

    F.DS->SetRecNo(3);
    EXPECT_FALSE(L->CurrentRowSelected());
    L->SetCurrentRowSelected(false);  // not listed: nothing changes
    EXPECT_EQ(L->Count(), 3);

    F.DS->SetRecNo(4);
    EXPECT_TRUE(L->CurrentRowSelected());
    L->SetCurrentRowSelected(false);
    EXPECT_EQ(Ids(), (std::vector<int>{20, 50}));
    EXPECT_EQ(L->IndexOf(F.DS->Bookmark()), -1);
    F.DS->SetRecNo(5);
    EXPECT_EQ(L->IndexOf(F.DS->Bookmark()), 1);
}

TEST_F(BMList, FindReportsTheInsertionPointOfAnUnlistedRow) {
    SelectRecNos(*L, F.DS.get(), {2, 5});
    const struct {
        int RecNo;
        bool Found;
        int Index;
    } cases[] = {{1, false, 0}, {2, true, 0}, {3, false, 1}, {5, true, 1}, {6, false, 2}};
    for (const auto& c : cases) {
        F.DS->SetRecNo(c.RecNo);
        int index = -1;
        EXPECT_EQ(L->Find(F.DS->Bookmark(), index), c.Found) << c.RecNo;
        EXPECT_EQ(index, c.Index) << c.RecNo;
    }
}

TEST_F(BMList, SearchCacheAnswersARepeatAndEmptiesOnAnyChange) {
    SelectRecNos(*L, F.DS.get(), {1, 3, 5});
    F.DS->SetRecNo(3);
    const db::TBookmark bm = F.DS->Bookmark();
    int index = -1;
    ASSERT_TRUE(L->Find(bm, index));
    const int before = L->Lookups;
    EXPECT_TRUE(L->Find(bm, index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(L->Lookups, before) << "a repeated search compared bookmarks";

    // A raw edit moves the row: the cached index must not be reused.
    L->InsertAt(0, L->Items(2));
    EXPECT_TRUE(L->Find(bm, index));
    EXPECT_GT(L->Lookups, before);
}

TEST_F(BMList, CurrentBookmarkNeedsAnActiveLink) {
    L->SetLinkActive(false);
    try {
        L->CurrentRowSelected();
        FAIL() << "no error";
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.Message().c_str(), "Cannot perform this operation on a closed dataset");
    }
}

TEST_F(BMList, LinkChangesAndRemoveAllEmptyTheList) {
    SelectRecNos(*L, F.DS.get(), {1, 2});
    const int changed = L->ChangedCount;
    L->SetLinkActive(true);
    EXPECT_EQ(L->Count(), 0);
    EXPECT_EQ(L->InvalidateCount, 1);
    EXPECT_EQ(L->ChangedCount, changed + 2);  // RemoveAll's and the link change's
    L->RemoveAll();                           // already empty: no repaint
    EXPECT_EQ(L->InvalidateCount, 1);
}

TEST_F(BMList, DeleteSelectedDeletesFromTheLastListedToTheFirst) {
    SelectRecNos(*L, F.DS.get(), {2, 4, 5});
    std::vector<int> deleted;
    F.DS->BeforeDelete = [&](db::TDataSet* ds) {
        deleted.push_back(ds->FieldByName(std::string_view("id"))->AsInteger());
    };
    const int changed = L->ChangedCount;
    L->DeleteSelected();
    EXPECT_EQ(deleted, (std::vector<int>{50, 40, 20}));
    EXPECT_EQ(L->Count(), 0);
    EXPECT_EQ(F.DS->RecordCount(), 3);
    EXPECT_FALSE(F.DS->ControlsDisabled());
    EXPECT_EQ(L->ChangedCount, changed + 1);
}

TEST_F(BMList, AFailedDeleteKeepsTheFailingEntryAndThoseBefore) {
    SelectRecNos(*L, F.DS.get(), {1, 3, 6});
    F.DS->BeforeDelete = [](db::TDataSet* ds) {
        if (ds->FieldByName(std::string_view("id"))->AsInteger() == 30) throw rtl::Exception("refused");
    };
    EXPECT_THROW(L->DeleteSelected(), rtl::Exception);
    EXPECT_FALSE(F.DS->ControlsDisabled());
    EXPECT_EQ(Ids(), (std::vector<int>{10, 30}));
    EXPECT_EQ(F.DS->RecordCount(), 5);
}

TEST_F(BMList, CustomSortOrdersByTheComparisonAndEmptiesTheCache) {
    SelectRecNos(*L, F.DS.get(), {1, 2, 3, 4, 5, 6});
    int index = -1;
    L->Find(L->Items(0), index);
    auto byIdDescending = [this](TBMListEh* List, void* Context, int I1, int I2) {
        EXPECT_EQ(Context, this);
        return -List->CompareBookmarks(List->Items(I1), List->Items(I2));
    };
    L->CustomSort(this, byIdDescending);
    EXPECT_EQ(Ids(), (std::vector<int>{60, 50, 40, 30, 20, 10}));
    // The cached hit at index 0 is gone: the row now sits at the end.
    const int before = L->Lookups;
    L->Find(L->Items(5), index);
    EXPECT_GT(L->Lookups, before);
}

TEST(BMListSort, QuickSortHandlesOrdersAndDuplicates) {
    // The list's own strings, compared as numbers, exercise the sort without a dataset.
    const std::vector<std::vector<int>> inputs = {
        {},
        {1},
        {2, 1},
        {3, 1, 2},
        {5, 4, 3, 2, 1},
        {1, 2, 3, 4, 5},
        {2, 2, 1, 1, 3, 3, 2},
        {9, 3, 7, 1, 8, 2, 6, 4, 5, 0, 11, 10},
    };
    for (const auto& in : inputs) {
        rtl::TOwnedPtr<TBMListEh> list(rtl::Create<TBMListEh>());
        for (int v : in) list->Append(std::to_string(v));
        list->CustomSort(
            nullptr, [](TBMListEh* l, void*, int a, int b) { return std::stoi(l->Items(a)) - std::stoi(l->Items(b)); });
        std::vector<int> out;
        for (int i = 0; i < list->Count(); ++i) out.push_back(std::stoi(list->Items(i)));
        std::vector<int> expected = in;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(out, expected);
    }
}

// A control's list that follows its dataset's changes, as a grid's does.
class TFollowingList : public TTestBMList {
public:
    TFollowingList(db::TDataSet* DataSet, db::TDataSource* Source) : TTestBMList(DataSet) {
        FLink.OnDataEvent = [this](db::TDataEvent Event, intptr_t) {
            if (Event == db::deDataSetChange) Resorts += Resort() ? 1 : 0;
        };
        FLink.SetDataSource(Source);
    }
    int Resorts = 0;

private:
    editors::TDataLinkEh FLink;
};

TEST(BMListOrder, SelectionSurvivesANewSortOrder) {
    TFixture f = OpenPeople(8);
    rtl::TOwnedPtr<db::TDataSource> src(rtl::Create<db::TDataSource>(nullptr));
    src->SetDataSet(f.DS.get());
    rtl::TOwnedPtr<TFollowingList> list(rtl::Create<TFollowingList>(f.DS.get(), src.get()));
    list->SetLinkActive(true);
    SelectRecNos(*list, f.DS.get(), {1, 3, 4, 6, 8});
    std::vector<db::TBookmark> selected;
    for (int i = 0; i < list->Count(); ++i) selected.push_back(list->Items(i));

    f.DS->SetIndexFieldNames("id DESC");
    EXPECT_EQ(list->Resorts, 1);
    EXPECT_EQ(ListedIds(*list, f.DS.get()), (std::vector<int>{80, 60, 40, 30, 10}));
    for (const db::TBookmark& bm : selected) {
        int index = -1;
        EXPECT_TRUE(list->Find(bm, index));
    }
    // Every row still answers correctly through the current-row path.
    for (int r = 1; r <= 8; ++r) {
        f.DS->SetRecNo(r);
        const int id = f.DS->FieldByName(std::string_view("id"))->AsInteger();
        const bool expected = id == 10 || id == 30 || id == 40 || id == 60 || id == 80;
        EXPECT_EQ(list->CurrentRowSelected(), expected) << id;
    }
    // A change that keeps the order sorts nothing.
    f.DS->Edit();
    f.DS->FieldByName(std::string_view("qty"))->SetAsInteger(7);
    f.DS->Post();
    EXPECT_EQ(list->Resorts, 1);
}

}  // namespace
