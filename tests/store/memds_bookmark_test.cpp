// Bookmarks of a dataset that is open but holds no row: there is no current row to mark, so every
// bookmark operation must stay harmless, and a mark kept from a row since deleted must be refused.
#include <gtest/gtest.h>

#include "tests/support/memds_fixture.h"

using namespace memdstest;
using namespace db;

TEST(MemDataSetBookmark, OpenEmptyDatasetHasNoBookmark) {
    TFixture fx(PeopleCols(), {});
    fx.DS->Open();
    EXPECT_FALSE(fx.DS->BookmarkAvailable());
    const TBookmark none = fx.DS->GetBookmark();
    EXPECT_TRUE(none.empty());
    EXPECT_FALSE(fx.DS->BookmarkValid(none));
    EXPECT_EQ(fx.DS->CompareBookmarks(none, none), 0);
    fx.DS->GotoBookmark(none);
    EXPECT_TRUE(fx.DS->IsEmpty());
    EXPECT_TRUE(fx.DS->Eof());

    // The row being inserted has no bookmark until it is posted.
    fx.DS->Insert();
    EXPECT_TRUE(fx.DS->GetBookmark().empty());
    fx.F("id")->SetAsInteger(1);
    fx.DS->Post();
    const TBookmark mark = fx.DS->GetBookmark();
    ASSERT_FALSE(mark.empty());
    EXPECT_TRUE(fx.DS->BookmarkValid(mark));

    // Empty again: the kept mark names a row that is gone.
    fx.DS->Delete();
    EXPECT_TRUE(fx.DS->IsEmpty());
    EXPECT_TRUE(fx.DS->GetBookmark().empty());
    EXPECT_FALSE(fx.DS->BookmarkValid(mark));
    try {
        fx.DS->GotoBookmark(mark);
        ADD_FAILURE() << "a deleted row's bookmark was followed";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().find(msg::SRecordNotFound), std::string::npos) << e.Message();
    }
    EXPECT_TRUE(fx.DS->IsEmpty());
}
