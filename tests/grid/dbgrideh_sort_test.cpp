// Sort markers and the grid's list of sort-marked columns.
#include <gtest/gtest.h>

#include <string>

#include "dbgrid_fixture.h"

namespace gridtest {
namespace {

class SortMarkerTest : public DBGridTest {
protected:
    void SetUp() override {
        DBGridTest::SetUp();
        Bind({u"id", u"name", u"born", u"cid"});
    }
    TColumnTitleEh* T(int I) { return Col(I)->Title(); }
    // The listed columns as their indexes, and each column's SortIndex.
    std::string Listed() {
        std::string r;
        for (int i = 0; i < Grid->SortMarkedColumnList()->Count(); ++i)
            r += std::to_string(Grid->SortMarkedColumnList()->Items(i)->Index());
        return r;
    }
    std::string Indexes() {
        std::string r;
        for (int i = 0; i < Grid->Columns()->Count(); ++i) r += std::to_string(T(i)->SortIndex());
        return r;
    }
};

TEST_F(SortMarkerTest, MultiSortNumbersMarkedColumnsAndSwapsOnSortIndex) {
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking});
    T(0)->SetSortMarker(smDownEh);  // P
    T(1)->SetSortMarker(smUpEh);    // Q
    T(2)->SetSortMarker(smDownEh);  // R
    EXPECT_EQ(Indexes(), "1230");
    EXPECT_EQ(Listed(), "012");
    T(1)->SetSortMarker(smNoneEh);
    EXPECT_EQ(Indexes(), "1020");
    EXPECT_EQ(Listed(), "02");
    T(2)->SetSortMarker(smUpEh);  // down to up keeps the place
    EXPECT_EQ(Listed(), "02");
    T(2)->SetSortIndex(1);
    EXPECT_EQ(Indexes(), "2010");
    EXPECT_EQ(Listed(), "20");
    T(2)->SetSortIndex(5);
    EXPECT_EQ(Indexes(), "2010");
    T(1)->SetSortIndex(1);  // not marked: no effect
    EXPECT_EQ(Indexes(), "2010");
    // Leaving multi-sort keeps the first marked column only.
    T(3)->SetSortMarker(smDownEh);
    EXPECT_EQ(Listed(), "203");
    Grid->SetOptionsEh(Grid->OptionsEh() - TDBGridEhOptions{dghMultiSortMarking});
    EXPECT_EQ(Listed(), "2");
    EXPECT_EQ(Indexes(), "0010");
    EXPECT_EQ(T(0)->SortMarker(), smNoneEh);
    EXPECT_EQ(T(3)->SortMarker(), smNoneEh);
}

TEST_F(SortMarkerTest, SingleSortKeepsOneMarkedColumn) {
    T(0)->SetSortMarker(smDownEh);
    T(1)->SetSortMarker(smDownEh);
    EXPECT_EQ(T(0)->SortMarker(), smNoneEh);
    EXPECT_EQ(Listed(), "1");
    EXPECT_EQ(Indexes(), "0100");
    T(1)->SetSortMarker(smNoneEh);
    EXPECT_EQ(Listed(), "");
    EXPECT_EQ(Indexes(), "0000");
}

TEST_F(SortMarkerTest, ClicksCycleTheMarker) {
    struct Case {
        bool Multi;
        bool KeepOthers;
        const char* Cycle;
    };
    for (const Case& c : {Case{false, false, "DUDUD"}, Case{false, true, "DUNDU"}, Case{true, true, "DUNDU"}}) {
        SCOPED_TRACE(c.Cycle);
        Grid->SetOptionsEh(c.Multi ? Grid->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking}
                                   : Grid->OptionsEh() - TDBGridEhOptions{dghMultiSortMarking});
        for (int i = 0; i < 4; ++i) T(i)->SetSortMarker(smNoneEh);
        T(0)->SetSortMarker(smDownEh);
        std::string seen;
        for (int i = 0; i < 5; ++i) {
            T(2)->CycleSortMarker(c.KeepOthers);
            seen += "NDU"[T(2)->SortMarker()];
        }
        EXPECT_EQ(seen, c.Cycle);
        // Without Ctrl, or in single-sort mode, the other marker is gone.
        EXPECT_EQ(T(0)->SortMarker() == smNoneEh, !c.Multi);
    }
    // A Ctrl-click on an up marker in single-sort mode leaves nothing marked.
    Grid->SetOptionsEh(Grid->OptionsEh() - TDBGridEhOptions{dghMultiSortMarking});
    T(1)->SetSortMarker(smUpEh);
    T(1)->CycleSortMarker(true);
    EXPECT_EQ(Listed(), "");
}

TEST_F(SortMarkerTest, ListFollowsSortIndexesSetInsideAnUpdateAndFreedColumnsLeaveIt) {
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking});
    Grid->Columns()->BeginUpdate();
    T(3)->SetSortIndex(1);
    T(3)->SetSortMarker(smDownEh);
    T(1)->SetSortIndex(2);
    T(1)->SetSortMarker(smUpEh);
    Grid->Columns()->EndUpdate();
    EXPECT_EQ(Listed(), "31");
    Col(3)->Free();
    EXPECT_EQ(Listed(), "1");
}

TEST_F(SortMarkerTest, MarkerAreaLosesGlyphThenNumber) {
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghMultiSortMarking});
    Col(0)->SetWidth(100);
    EXPECT_EQ(T(0)->SortMarkerAreaWidth(), 0);
    T(0)->SetSortMarker(smDownEh);
    EXPECT_EQ(T(0)->SortMarkerAreaWidth(), 16);
    Col(0)->SetWidth(15);
    EXPECT_EQ(T(0)->SortMarkerAreaWidth(), 2);
    T(1)->SetSortMarker(smDownEh);  // two marked: the number shows
    Col(0)->SetWidth(100);
    const int number = T(0)->SortMarkerAreaWidth() - 16;
    EXPECT_GT(number, 0);
    Col(0)->SetWidth(16 + number + 4 - 1);
    EXPECT_EQ(T(0)->SortMarkerAreaWidth(), 2 + number);
    Col(0)->SetWidth(5);
    EXPECT_EQ(T(0)->SortMarkerAreaWidth(), 0);
}

TEST_F(SortMarkerTest, SortMarkingChangedFiresOnlyWithAutoSortMarking) {
    int fired = 0;
    Grid->OnSortMarkingChanged = [&](rtl::TObject*) { ++fired; };
    Grid->SortMarkingChanged();
    EXPECT_EQ(fired, 0);
    Grid->SetOptionsEh(Grid->OptionsEh() + TDBGridEhOptions{dghAutoSortMarking});
    Grid->SortMarkingChanged();
    EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace gridtest
