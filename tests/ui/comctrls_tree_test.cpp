#include "edit_fixture.h"
#include "framework/ui/ComCtrls.h"

namespace uitest {
namespace {

using TreeTest = InputTest;

TEST_F(TreeTest, NodesOpenOnDemandAndKeysWalkTheShownRows) {
    auto* tv = rtl::Create<TTreeView>(Form);
    tv->SetParent(Form);
    tv->SetBounds(0, 0, 200, 200);
    static int ids[] = {1, 2, 11};
    // Each root starts with an empty placeholder child so that it can be opened.
    for (int i = 0; i < 2; ++i) {
        TTreeNode* root = tv->Items()->AddChildObject(nullptr, Cp(i == 0 ? u8"1. Фонды" : u8"2. Описи"), &ids[i]);
        tv->Items()->AddChild(root, "");
    }
    int loads = 0;
    tv->OnExpanding = [&](TObject*, TTreeNode* Node, bool& Allow) {
        if (Node->GetFirstChild() && Node->GetFirstChild()->Data()) return;  // loaded already
        ++loads;
        Node->DeleteChildren();
        tv->Items()->AddChildObject(Node, Cp(u8"1.1. Личные"), &ids[2]);
        Allow = true;
    };
    Form->Show();
    tv->SetFocus();
    EXPECT_EQ(tv->VisibleNodes().size(), 2u);
    Stroke(K(VK_DOWN));
    EXPECT_EQ(tv->Selected()->Text(), Cp(u8"1. Фонды"));
    Stroke(K(VK_RIGHT));
    EXPECT_TRUE(tv->Selected()->Expanded());
    Stroke(K(VK_RIGHT));
    EXPECT_EQ(tv->Selected()->Data(), &ids[2]);
    EXPECT_EQ(tv->Selected()->Level(), 1);
    // Closing the parent moves the selection up; opening again does not load again.
    Stroke(K(VK_LEFT));
    Stroke(K(VK_LEFT));
    EXPECT_EQ(tv->Selected()->Text(), Cp(u8"1. Фонды"));
    EXPECT_FALSE(tv->Selected()->Expanded());
    tv->Selected()->Expand();
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(tv->Items()->Count(), 4);
    // Refusing the expansion keeps the node closed.
    tv->OnExpanding = [](TObject*, TTreeNode*, bool& Allow) { Allow = false; };
    TTreeNode* second = tv->Items()->GetFirstNode();
    second = tv->VisibleNodes().back();
    second->Expand();
    EXPECT_FALSE(second->Expanded());
    // A click on a row selects it; deleting the selected node clears the selection.
    const TRect r = tv->NodeRect(second);
    Click(tv, 60, r.Top + 2);
    EXPECT_EQ(tv->Selected(), second);
    second->Delete();
    EXPECT_EQ(tv->Selected(), nullptr);
}

}  // namespace
}  // namespace uitest
