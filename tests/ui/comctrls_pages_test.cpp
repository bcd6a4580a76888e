#include "edit_fixture.h"
#include "framework/ui/ComCtrls.h"

namespace uitest {
namespace {

class PageTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        Pages = rtl::Create<TPageControl>(Form);
        Pages->SetParent(Form);
        Pages->SetBounds(0, 40, 380, 200);
        for (const char8_t* caption : {u8"Общие", u8"Поступления", u8"Файлы"}) {
            auto* sheet = rtl::Create<TTabSheet>(Form);
            sheet->SetCaption(Cp(caption));
            sheet->SetPageControl(Pages);
            auto* edit = rtl::Create<TEdit>(Form);
            edit->SetParent(sheet);
            Edits.push_back(edit);
        }
        Outside = rtl::Create<TEdit>(Form);
        Outside->SetParent(Form);
        Pages->OnChange = [this](TObject*) { Changes.push_back(Pages->ActivePageIndex()); };
        Form->Show();
    }
    TPageControl* Pages = nullptr;
    std::vector<TEdit*> Edits;
    TEdit* Outside = nullptr;
    std::vector<int> Changes;
};

TEST_F(PageTest, TheFirstPageIsActiveAndOnlyTheActivePageShows) {
    EXPECT_EQ(Pages->ActivePageIndex(), 0);
    EXPECT_TRUE(Pages->Pages(0)->Visible());
    EXPECT_FALSE(Pages->Pages(1)->Visible());
    EXPECT_EQ(Pages->Pages(1)->BoundsRect(), Pages->DisplayRect());
    Pages->SetActivePageIndex(2);
    EXPECT_FALSE(Pages->Pages(0)->Visible());
    EXPECT_TRUE(Pages->Pages(2)->Visible());
    EXPECT_TRUE(Changes.empty()) << "set by code";
}

TEST_F(PageTest, ClickingATabSwitchesPagesUnlessOnChangingRefuses) {
    const TRect tab = Pages->TabRect(1);
    Click(Pages, tab.Left + 3, tab.Top + 3);
    EXPECT_EQ(Pages->ActivePageIndex(), 1);
    EXPECT_TRUE(Pages->Focused());
    EXPECT_EQ(Changes, std::vector<int>{1});
    Pages->OnChanging = [](TObject*, bool& Allow) { Allow = false; };
    const TRect tab2 = Pages->TabRect(2);
    Click(Pages, tab2.Left + 3, tab2.Top + 3);
    EXPECT_EQ(Pages->ActivePageIndex(), 1);
    Pages->OnChanging = nullptr;
    Stroke(K(VK_RIGHT));
    EXPECT_EQ(Pages->ActivePageIndex(), 2);
}

TEST_F(PageTest, CtrlTabTurnsPagesAndTheFocusFollowsIntoTheNewPage) {
    Edits[0]->SetFocus();
    Stroke(CK(VK_TAB));
    EXPECT_EQ(Pages->ActivePageIndex(), 1);
    EXPECT_TRUE(Edits[1]->Focused());
    Stroke(CSK(VK_TAB));
    EXPECT_EQ(Pages->ActivePageIndex(), 0);
    EXPECT_TRUE(Edits[0]->Focused());
    // Outside the control Ctrl+Tab does not turn its pages.
    Outside->SetFocus();
    Stroke(CK(VK_TAB));
    EXPECT_EQ(Pages->ActivePageIndex(), 0);
    EXPECT_EQ(Changes, (std::vector<int>{1, 0}));
}

TEST_F(PageTest, HiddenTabsAreSkippedAndAFreedActivePageGivesWayToTheNext) {
    Pages->Pages(1)->SetTabVisible(false);
    Edits[0]->SetFocus();
    Stroke(CK(VK_TAB));
    EXPECT_EQ(Pages->ActivePageIndex(), 2);
    Pages->Pages(2)->SetTabVisible(false);
    EXPECT_EQ(Pages->ActivePageIndex(), 0);
    Pages->Pages(0)->Free();
    EXPECT_EQ(Pages->PageCount(), 2);
    EXPECT_EQ(Pages->ActivePage(), nullptr) << "no page with a visible tab is left";
}

TEST(StatusBarTest, PanelsShareTheWidthTheLastTakingTheRest) {
    auto* bar = rtl::Create<TStatusBar>(nullptr);
    bar->SetWidth(300);
    auto* a = bar->Panels()->Add();
    a->SetWidth(100);
    auto* b = bar->Panels()->Add();
    b->SetText(Cp(u8"Пользователь: куратор"));
    EXPECT_EQ(bar->PanelRect(0), Rect(0, 0, 100, bar->ClientHeight()));
    EXPECT_EQ(bar->PanelRect(1).Right, bar->ClientWidth());
    EXPECT_EQ(b->Index(), 1);
    EXPECT_EQ(bar->Align(), alBottom);
    EXPECT_THROW(bar->Panels()->Items(2), rtl::Exception);
    bar->Free();
}

TEST_F(PageTest, TabControlKeepsItsIndexWithinTheTabs) {
    auto* tabs = rtl::Create<TTabControl>(Form);
    tabs->SetParent(Form);
    tabs->Tabs()->Add("A");
    tabs->Tabs()->Add("B");
    EXPECT_EQ(tabs->TabIndex(), 0);
    int changes = 0;
    tabs->OnChange = [&](TObject*) { ++changes; };
    const TRect r = tabs->TabRect(1);
    Click(tabs, r.Left + 2, r.Top + 2);
    EXPECT_EQ(tabs->TabIndex(), 1);
    tabs->Tabs()->Delete(1);
    EXPECT_EQ(tabs->TabIndex(), 0);
    EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

TEST_F(InputTest, ASheetHearsItShowsAndHidesTheNewOneFirst) {
    auto* pages = rtl::Create<TPageControl>(Form);
    pages->SetParent(Form);
    pages->SetBounds(0, 0, 300, 200);
    std::vector<std::string> log;
    std::vector<TTabSheet*> sheets;
    for (const char* name : {"One", "Two"}) {
        auto* sheet = rtl::Create<TTabSheet>(Form);
        sheet->SetName(name);
        sheet->SetPageControl(pages);
        sheet->OnShow = [&log, sheet](TObject*) { log.push_back(sheet->Name() + ":show"); };
        sheet->OnHide = [&log, sheet](TObject*) { log.push_back(sheet->Name() + ":hide"); };
        sheets.push_back(sheet);
    }
    EXPECT_TRUE(log.empty()) << "nothing shows before the form does";
    Form->Show();
    EXPECT_EQ(log, (std::vector<std::string>{"One:show"}));
    log.clear();
    pages->SetActivePage(sheets[1]);
    EXPECT_EQ(log, (std::vector<std::string>{"Two:show", "One:hide"}));
    log.clear();
    Form->Hide();
    EXPECT_EQ(log, (std::vector<std::string>{"Two:hide"}));
}

}  // namespace
}  // namespace uitest
