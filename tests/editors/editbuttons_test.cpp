// Edit-button descriptions and their collection.
#include <gtest/gtest.h>

#include <vector>

#include "controls/editors/ToolCtrlsEh_Buttons.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"

namespace {

using namespace editors;

TEST(EditButtons, KindsCarryTheirDefaults) {
    TEditButtonsEh buttons(nullptr, TVisibleEditButtonEh::StaticClass());
    TEditButtonEh* item = buttons.Add();
    ASSERT_NE(dynamic_cast<TVisibleEditButtonEh*>(item), nullptr);
    EXPECT_TRUE(item->Visible());
    EXPECT_EQ(item->ShortCut(), AltDownShortCut);
    EXPECT_TRUE(item->Enabled());
    EXPECT_EQ(item->NumGlyphs(), 1);
    EXPECT_TRUE(item->Glyph()->Transparent());
    EXPECT_EQ(item->Style(), ebsDropDownEh);

    rtl::TOwnedPtr<TDropDownEditButtonEh> number(
        rtl::Create<TDropDownEditButtonEh>(static_cast<ui::TWinControl*>(nullptr)));
    EXPECT_FALSE(number->Visible());
    EXPECT_EQ(number->ShortCut(), AltDownShortCut);
    rtl::TOwnedPtr<TEditButtonEh> plain(rtl::Create<TEditButtonEh>(static_cast<ui::TWinControl*>(nullptr)));
    EXPECT_FALSE(plain->Visible());
    EXPECT_EQ(plain->ShortCut(), 0);
}

TEST(EditButtons, NumGlyphsStaysWithinOneToFour) {
    rtl::TOwnedPtr<TEditButtonEh> b(rtl::Create<TEditButtonEh>(static_cast<ui::TWinControl*>(nullptr)));
    for (auto [in, want] : std::vector<std::pair<int, int>>{{7, 4}, {0, 1}, {-2, 1}, {3, 3}, {4, 4}}) {
        b->SetNumGlyphs(in);
        EXPECT_EQ(b->NumGlyphs(), want) << in;
    }
}

TEST(EditButtons, ChangesReachTheOwnerOncePerRealChange) {
    int owner = 0;
    TEditButtonsEh buttons(nullptr, TVisibleEditButtonEh::StaticClass());
    std::vector<rtl::TCollectionItem*> changed;
    buttons.OnChange = [&](rtl::TCollectionItem* Item) { changed.push_back(Item); };
    TEditButtonEh* b = buttons.Add();
    changed.clear();
    b->SetWidth(20);
    b->SetWidth(20);
    b->SetStyle(ebsEllipsisEh);
    b->SetHint("h");
    b->SetShortCut(0);  // a plain field
    EXPECT_EQ(changed, (std::vector<rtl::TCollectionItem*>{b, b, b}));

    // The main button reports to its editor instead.
    rtl::TOwnedPtr<TEditButtonEh> main(rtl::Create<TEditButtonEh>(static_cast<ui::TWinControl*>(nullptr)));
    main->OnChange = [&](rtl::TObject* Sender) {
        EXPECT_EQ(Sender, main.get());
        ++owner;
    };
    main->SetVisible(true);
    main->SetGlyph(nullptr);  // always a change
    EXPECT_EQ(owner, 2);
    EXPECT_EQ(buttons.GetOwner(), nullptr);
}

TEST(EditButtons, ClickAndAssign) {
    TEditButtonsEh buttons(nullptr, TVisibleEditButtonEh::StaticClass());
    TEditButtonEh* b = buttons.Add();
    bool handled = false;
    b->Click(b, handled);
    EXPECT_FALSE(handled);  // nothing to run
    int clicks = 0;
    b->OnClick = [&](rtl::TObject*, bool& Handled) {
        ++clicks;
        Handled = true;
    };
    b->Click(b, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(clicks, 1);

    b->SetStyle(ebsUpDownEh);
    b->SetWidth(15);
    b->SetEnabled(false);
    b->SetNumGlyphs(2);
    TEditButtonEh* copy = buttons.Add();
    copy->Assign(b);
    EXPECT_EQ(copy->Style(), ebsUpDownEh);
    EXPECT_EQ(copy->Width(), 15);
    EXPECT_FALSE(copy->Enabled());
    EXPECT_EQ(copy->NumGlyphs(), 2);
    handled = false;
    copy->Click(copy, handled);
    EXPECT_EQ(clicks, 2);
}

TEST(EditButtons, StylesMapToFaces) {
    const std::pair<TEditButtonStyleEh, int> map[] = {{ebsDropDownEh, bfsDropDown}, {ebsEllipsisEh, bfsEllipsis},
                                                      {ebsGlyphEh, bfsUpDown},      {ebsUpDownEh, bfsUpDown},
                                                      {ebsPlusEh, bfsPlus},         {ebsMinusEh, bfsMinus}};
    for (auto [style, face] : map) EXPECT_EQ(EditButtonDrawStyle(style), face);
}

}  // namespace

namespace {

using namespace editors;

class TCountingLinkEh : public TEditButtonActionLinkEh {
public:
    using TEditButtonActionLinkEh::TEditButtonActionLinkEh;
    static inline int Made = 0;
};

class TOwnLinkButtonEh : public TVisibleEditButtonEh {
public:
    using TVisibleEditButtonEh::TVisibleEditButtonEh;
    TActionLinkClass ActionLinkClassOf() const override {
        return [](TEditButtonEh* Client) -> TEditButtonActionLinkEh* {
            ++TCountingLinkEh::Made;
            return rtl::Create<TCountingLinkEh>(Client);
        };
    }
};

TEST(EditButtonAction, TheLinkIsOfTheClassTheButtonAnswers) {
    rtl::TOwnedPtr<ui::TAction> a(rtl::Create<ui::TAction>(nullptr)), b(rtl::Create<ui::TAction>(nullptr));
    TOwnLinkButtonEh button(static_cast<ui::TWinControl*>(nullptr));
    button.SetAction(a.get());
    button.SetAction(b.get());
    EXPECT_EQ(TCountingLinkEh::Made, 1) << "one link, made on the first action";
    EXPECT_NE(dynamic_cast<TCountingLinkEh*>(button.ActionLink()), nullptr);
    EXPECT_EQ(button.Action(), b.get());
}

TEST(EditButtonAction, TheButtonFollowsItsActionAndClicksRunIt) {
    rtl::TOwnedPtr<ui::TAction> action(rtl::Create<ui::TAction>(nullptr));
    action->SetHint("Find");
    action->SetShortCut(ui::scCtrl | 'F');
    action->SetEnabled(false);
    int runs = 0;
    action->OnExecute = [&](rtl::TObject*) { ++runs; };

    TEditButtonsEh buttons(nullptr, TVisibleEditButtonEh::StaticClass());
    TEditButtonEh* b = buttons.Add();
    b->SetAction(action.get());
    EXPECT_FALSE(b->Enabled());
    EXPECT_EQ(b->Hint(), "Find");
    EXPECT_EQ(b->ShortCut(), ui::scCtrl | 'F');
    EXPECT_TRUE(b->ActionLink()->IsHintLinked());

    action->SetEnabled(true);
    action->SetVisible(false);
    EXPECT_TRUE(b->Enabled());
    EXPECT_FALSE(b->Visible());

    bool handled = false;
    b->Click(b, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(runs, 1);

    // An own click handler takes the click from the action.
    b->OnClick = [](rtl::TObject*, bool&) {};
    handled = false;
    b->Click(b, handled);
    EXPECT_FALSE(handled);
    EXPECT_EQ(runs, 1);

    TEditButtonEh* copy = buttons.Add();
    copy->Assign(b);
    EXPECT_EQ(copy->Action(), action.get());

    action.reset();
    EXPECT_EQ(b->Action(), nullptr) << "a freed action leaves the link empty";
    b->OnClick = nullptr;
    handled = false;
    b->Click(b, handled);
    EXPECT_FALSE(handled);
    b->SetAction(nullptr);
    EXPECT_EQ(b->ActionLink(), nullptr);
}

// One action behind the buttons of several editors: its handler learns which editor asked (the
// collection's owner), a grid column's collection (no component owner) runs it with none, and the
// action is left without a target afterwards.
TEST(EditButtonAction, TheActionRunsForTheEditorWhoseButtonWasClicked) {
    rtl::TOwnedPtr<ui::TAction> action(rtl::Create<ui::TAction>(nullptr));
    std::vector<rtl::TComponent*> targets;
    action->OnExecute = [&](rtl::TObject* Sender) {
        targets.push_back(static_cast<ui::TBasicAction*>(Sender)->ActionComponent());
    };
    rtl::TOwnedPtr<rtl::TComponent> editor1(rtl::Create<rtl::TComponent>(nullptr));
    rtl::TOwnedPtr<rtl::TComponent> editor2(rtl::Create<rtl::TComponent>(nullptr));
    TEditButtonsEh buttons1(editor1.get(), TEditButtonEh::StaticClass());
    TEditButtonsEh buttons2(editor2.get(), TEditButtonEh::StaticClass());
    TEditButtonsEh columnButtons(nullptr, TEditButtonEh::StaticClass());
    for (TEditButtonsEh* c : {&buttons2, &buttons1, &columnButtons}) {
        TEditButtonEh* b = c->Add();
        b->SetAction(action.get());
        bool handled = false;
        b->Click(b, handled);
        EXPECT_TRUE(handled);
    }
    EXPECT_EQ(targets, (std::vector<rtl::TComponent*>{editor2.get(), editor1.get(), nullptr}));
    EXPECT_EQ(action->ActionComponent(), nullptr);

    // A target destroyed while the action is set on it leaves no dangling reference.
    action->SetActionComponent(editor1.get());
    editor1.reset();
    EXPECT_EQ(action->ActionComponent(), nullptr);
}

}  // namespace
