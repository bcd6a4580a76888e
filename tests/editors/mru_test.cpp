#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/editors/ToolCtrlsEh_DropDown.h"
#include "framework/rtl/Text.h"
#include "tests/support/ui_fixture.h"

namespace {

using namespace ui;
using editors::TMRUListboxEh;
using editors::TMRUListEh;

std::vector<std::string> Lines(const rtl::TStrings* S) {
    std::vector<std::string> v;
    for (int i = 0; i < S->Count(); ++i) v.push_back(S->Strings(i));
    return v;
}

void SetLines(rtl::TStrings* S, const std::vector<std::string>& Lines) {
    S->Clear();
    for (const auto& l : Lines) S->Add(l);
}

std::string Cyr(const char8_t* Utf8) { return rtl::UTF8ToAnsi(Utf8); }

TEST(MRUListTest, AddItemKeepsTheNewestLastWithinTheLimit) {
    struct Case {
        const char* Name;
        std::vector<std::string> Start;
        int Limit;
        bool CaseSensitive;
        std::string Added;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"over the limit the oldest goes", {"one", "two", "three"}, 3, false, "four", {"two", "three", "four"}},
        {"other case moves the old entry",
         {"Moscow", "Kazan", "Omsk"},
         10,
         false,
         "MOSCOW",
         {"Kazan", "Omsk", "Moscow"}},
        {"case-sensitive keeps both", {"Moscow", "Kazan"}, 10, true, "MOSCOW", {"Moscow", "Kazan", "MOSCOW"}},
        {"blank-only text is not added", {"a"}, 10, false, "   ", {"a"}},
        {"surrounding blanks are kept", {"a"}, 10, false, "  b ", {"a", "  b "}},
        {"Cyrillic other case is the same entry",
         {Cyr(u8"Архив"), "x"},
         10,
         false,
         Cyr(u8"АРХИВ"),
         {"x", Cyr(u8"Архив")}},
        {"a zero limit keeps nothing", {}, 0, false, "a", {}},
        {"a negative limit keeps nothing", {}, -5, false, "a", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TMRUListEh mru;
        SetLines(mru.Items(), c.Start);
        mru.SetCaseSensitive(c.CaseSensitive);
        mru.SetLimit(c.Limit);
        mru.AddItem(c.Added);
        EXPECT_EQ(Lines(mru.Items()), c.Expected);
    }
}

TEST(MRUListTest, LoweringTheLimitTrimsTheOldestAndANegativeLimitEmptiesTheList) {
    TMRUListEh mru;
    SetLines(mru.Items(), {"1", "2", "3", "4", "5"});
    mru.SetLimit(2);
    EXPECT_EQ(Lines(mru.Items()), (std::vector<std::string>{"4", "5"}));
    mru.SetLimit(-1);
    EXPECT_EQ(mru.Items()->Count(), 0);
    mru.TrimToLimit();  // on an empty list
    EXPECT_EQ(mru.Items()->Count(), 0);
}

TEST(MRUListTest, ActiveChangeIsReportedOnceAndAssignLeavesAutoAdd) {
    TMRUListEh mru;
    int changes = 0;
    mru.OnActiveChanged = [&](rtl::TObject* Sender) {
        EXPECT_EQ(Sender, &mru);
        ++changes;
    };
    mru.SetActive(true);
    mru.SetActive(true);
    EXPECT_EQ(changes, 1);

    TMRUListEh src;
    SetLines(src.Items(), {"a", "b", "c"});
    src.SetRows(3);
    src.SetCaseSensitive(true);
    src.SetAutoAdd(false);
    src.SetLimit(2);  // trims to b, c
    mru.Assign(&src);
    EXPECT_FALSE(mru.Active());
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(Lines(mru.Items()), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(mru.Limit(), 2);
    EXPECT_EQ(mru.Rows(), 3);
    EXPECT_TRUE(mru.CaseSensitive());
    EXPECT_TRUE(mru.AutoAdd());

    rtl::TStringList other;
    EXPECT_THROW(mru.Assign(&other), rtl::Exception);
}

TEST(MRUListTest, OpenAndCloseRequestsReachTheOwnerHandlers) {
    TMRUListEh mru;
    mru.OpenList();  // no handlers: nothing happens
    mru.CloseList(true);
    std::vector<std::string> calls;
    mru.OnDropDown = [&](rtl::TObject*) { calls.push_back("open"); };
    mru.OnCloseUp = [&](rtl::TObject*, bool Accept) { calls.push_back(Accept ? "close+" : "close-"); };
    mru.OpenList();
    mru.CloseList(false);
    mru.CloseList(true);
    EXPECT_EQ(calls, (std::vector<std::string>{"open", "close-", "close+"}));
}

class MRUFilterTest : public uitest::UiTest {
protected:
    void SetUp() override {
        uitest::UiTest::SetUp();
        SetLines(Mru.Items(), {"apple", "Apricot", "banana", Cyr(u8"Яблоко"), "ap"});
    }
    TMRUListEh Mru;
    rtl::TStringList Out;
};

TEST_F(MRUFilterTest, EachTextShowsTheItemsBeginningWithIt) {
    struct Case {
        std::string Text;
        bool CaseSensitive;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"", false, {"apple", "Apricot", "banana", Cyr(u8"Яблоко"), "ap"}},
        {"ap", false, {"apple", "Apricot", "ap"}},
        {"AP", false, {"apple", "Apricot", "ap"}},
        {"Ap", true, {"Apricot"}},
        {"app", false, {"apple"}},
        {Cyr(u8"ябл"), false, {Cyr(u8"Яблоко")}},
        {"apples", false, {}},
        {"z", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        Mru.SetCaseSensitive(c.CaseSensitive);
        Out.Add("left over");
        EXPECT_TRUE(Mru.FilterItems(&Out, c.Text));
        EXPECT_EQ(Lines(&Out), c.Expected);
    }
}

TEST_F(MRUFilterTest, TheFilterEventAndAnOwnComparisonDecide) {
    int asked = 0;
    Mru.OnFilterItem = [&](rtl::TObject* Sender, bool& Accept) {
        EXPECT_EQ(Sender, &Mru);
        if (asked++ == 0) Accept = false;  // rejects the first match
    };
    EXPECT_TRUE(Mru.FilterItems(&Out, ""));
    EXPECT_EQ(asked, 5);
    EXPECT_EQ(Lines(&Out), (std::vector<std::string>{"Apricot", "banana", Cyr(u8"Яблоко"), "ap"}));

    // The editor's own comparison replaces the prefix test and the event.
    asked = 0;
    EXPECT_TRUE(Mru.FilterItems(
        &Out, "x", [](const rtl::AnsiString& Item, bool& Accept) { Accept = Item.find('n') != std::string::npos; }));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(Lines(&Out), (std::vector<std::string>{"banana"}));
}

TEST_F(MRUFilterTest, AWaitingKeyInterruptsAFillingOfManyItems) {
    rtl::TStringList many;
    for (int i = 0; i < 1000; ++i) many.Add("item" + std::to_string(i));
    Mru.SetLimit(1000);
    Mru.SetItems(&many);
    int updates = 0;
    Out.OnChange = [&](rtl::TObject*) { ++updates; };

    ASSERT_TRUE(PostMessage(Form->Handle(), WM_KEYDOWN, 'X', 0));
    EXPECT_FALSE(Mru.FilterItems(&Out, "item"));
    // Checked after the first item and every hundredth: the first one is all that came in.
    EXPECT_EQ(Lines(&Out), std::vector<std::string>{"item0"});
    EXPECT_EQ(Out.UpdateCount(), 0);
    EXPECT_EQ(updates, 1);
    // The key stays queued for the editor.
    EXPECT_EQ(QueuedMessageCount(), 1);

    // Other messages do not interrupt, and neither does a key once the check is off.
    ClearMessageQueue();
    ASSERT_TRUE(PostMessage(Form->Handle(), WM_CHAR, 'x', 0));
    EXPECT_TRUE(Mru.FilterItems(&Out, "item1"));
    EXPECT_EQ(Out.Count(), 111);
    ASSERT_TRUE(PostMessage(Form->Handle(), WM_KEYDOWN, 'X', 0));
    Mru.SetCancelIfKeyInQueue(false);
    EXPECT_TRUE(Mru.FilterItems(&Out, "item"));
    EXPECT_EQ(Out.Count(), 1000);
}

// ---------------------------------------------------------------------------------------------
// The MRU list box

class MRUListboxTest : public uitest::UiTest {
protected:
    void SetUp() override {
        uitest::UiTest::SetUp();
        List = rtl::Create<TMRUListboxEh>(Form);
        List->SetItemHeight(16);
        List->SetBounds(100, 100, 150, 5 * 16 + List->FrameHeight());
        List->HandleNeeded();
        List->ShowWindow(SW_SHOWNA);
    }
    void Fill(int N) {
        List->Items()->Clear();
        for (int i = 0; i < N; ++i) List->Items()->Add("text" + std::to_string(i));
        List->Perform(CM_CHANGED);
    }
    TMRUListboxEh* List = nullptr;
};

TEST_F(MRUListboxTest, TheOwnScrollBarShowsOnlyWhenItemsExceedTheRows) {
    EXPECT_EQ(List->WindowStyle() & (WS_VSCROLL | WS_HSCROLL), 0u);
    EXPECT_EQ(List->RowCount(), 5);
    Fill(3);
    EXPECT_FALSE(List->ScrollBar()->Visible());
    EXPECT_TRUE(List->SizeGrip()->TriangleShape());

    Fill(20);
    ui::TScrollBar* bar = List->ScrollBar();
    ASSERT_TRUE(bar->Visible());
    EXPECT_EQ(bar->Max(), 19);
    EXPECT_EQ(bar->PageSize(), 5);
    // Grip bottom-right: the bar runs down to the grip, and the grip fills the square beside it.
    EXPECT_EQ(bar->BoundsRect(), Rect(List->ClientWidth() - 17, 0, List->ClientWidth(), List->ClientHeight() - 17));
    EXPECT_FALSE(List->SizeGrip()->TriangleShape());

    // Placed above the anchor: the grip goes to the top and the bar starts below it.
    List->Perform(WM_DROPDOWNPLACED, 2, 0);
    EXPECT_EQ(List->SizeGrip()->Corner(), 1);
    EXPECT_EQ(bar->Top(), 17);
    EXPECT_EQ(bar->Top() + bar->Height(), List->ClientHeight());
    // On the left the grip keeps its triangle and the bar the full height.
    List->Perform(WM_DROPDOWNPLACED, 0, 0);
    EXPECT_EQ(List->SizeGrip()->Corner(), 0);
    EXPECT_TRUE(List->SizeGrip()->TriangleShape());
    EXPECT_EQ(bar->Height(), List->ClientHeight());
}

TEST_F(MRUListboxTest, TheScrollBarAndTheListMoveTogether) {
    Fill(20);
    ui::TScrollBar* bar = List->ScrollBar();
    bar->Scroll(ui::TScrollCode::scLineDown);
    EXPECT_EQ(List->TopIndex(), 1);
    bar->Scroll(ui::TScrollCode::scPageDown);  // LargeChange 1 on the bar; the list pages
    EXPECT_EQ(List->TopIndex(), 6);
    EXPECT_EQ(bar->Position(), 6);
    bar->Scroll(ui::TScrollCode::scTrack, 12);
    EXPECT_EQ(List->TopIndex(), 12);

    // The wheel (one row per notch) and keys the editor passes on move the bar along.
    List->Perform(WM_MOUSEWHEEL, MakeWParam(0, static_cast<uint16_t>(-2 * WHEEL_DELTA)), 0);
    EXPECT_EQ(List->TopIndex(), 14);
    EXPECT_EQ(bar->Position(), 14);
    List->Perform(WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(List->TopIndex(), 0);
    EXPECT_EQ(bar->Position(), 0);

    // A move of the bar by someone else puts it back beside the grip.
    bar->SetBounds(3, 3, 17, 20);
    EXPECT_EQ(bar->Left(), List->ClientWidth() - 17);
    EXPECT_EQ(bar->Top(), 0);
}

}  // namespace
