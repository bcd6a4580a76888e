// The title tree: ring operations, grouping and the grouping of leaves by caption levels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/grid/DBGridEh_TitleTree.h"
#include "framework/rtl/Ownership.h"
#include "title_shape.h"

namespace {

using namespace grid;
using gridtest::Shape;

struct TTree {
    rtl::TOwnedPtr<THeadTreeNode> Root{rtl::Create<THeadTreeNode>("Root", 0, 10)};
    std::vector<THeadTreeNode*> Leaves;

    // One leaf per caption, 50 pixels wide (or the given widths), 60 high, line width 1.
    explicit TTree(std::vector<std::string> Captions, std::vector<int> Widths = {}) {
        for (size_t i = 0; i < Captions.size(); ++i) {
            THeadTreeNode* n = Root->AddChild(Root.get(), Captions[i], i < Widths.size() ? Widths[i] : 50, 60);
            n->LineWidth = 1;
            Leaves.push_back(n);
        }
        GroupTitleLeaves(Root.get(), Leaves);
    }
};

TEST(TitleTreeTest, LeavesGroupByTheirCaptionLevels) {
    struct Case {
        std::vector<std::string> Captions;
        const char* Shape;
    };
    const Case cases[] = {
        {{"A|B", "A|K", "D"}, "A[B,K],D"},
        {{"A|B|K", "A|B|D", "A|E"}, "A[B[K,D],E]"},
        {{"A|B", "X", "A|K"}, "A[B],X,A[K]"},
        {{"A|B", "a|K"}, "A[B],a[K]"},
        {{"A||B", "A|K"}, "A[B,K]"},
        {{"||A|B"}, "A[B]"},
        {{"A", "A|B"}, "A,A[B]"},
        // The two shapes that must keep every level.
        {{"A||B", "A|C"}, "A[B,C]"},
        {{"A|B|X", "B|Y"}, "A[B[X]],B[Y]"},
        // A journal card's captions.
        {{"doc", "kind", "U|All", "U|Dates|S", "U|Dates|E", "U|In|All", "U|In|Dates|S", "U|In|Dates|E", "Over"},
         "doc,kind,U[All,Dates[S,E],In[All,Dates[S,E]]],Over"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Shape);
        TTree t(c.Captions);
        EXPECT_EQ(Shape(t.Root.get()), c.Shape);
    }
}

TEST(TitleTreeTest, GroupsSumWidthsAndTakeTheirHeightFromTheLeaves) {
    // Hidden columns keep their place: width 0 without column lines, -1 with them.
    TTree t({"A|B", "A|H", "A|K", "D"}, {40, -1, 30, 20});
    THeadTreeNode* a = t.Root->FirstChild;
    ASSERT_EQ(a->Caption, "A");
    // 40 + 1 + (-1 + 1) + 30 + 1 - 1: the hidden column adds nothing.
    EXPECT_EQ(a->CellWidth, 71);
    EXPECT_EQ(a->CellHeight, 20);
    EXPECT_EQ(t.Leaves[0]->CellHeight, 40);
    EXPECT_EQ(t.Leaves[3]->CellHeight, 60);
    EXPECT_EQ(t.Leaves[0]->ParentNode, a);
    EXPECT_EQ(a->ParentNode, t.Root.get());
    EXPECT_EQ(t.Leaves[0]->NodeLevel(), 2);
    EXPECT_EQ(a->NodeLevel(), 1);
    EXPECT_EQ(t.Root->NodeLevel(), 0);
}

TEST(TitleTreeTest, RingOperationsRefuseNodesOutsideTheTreeOrLevel) {
    TTree t({"A", "B", "C"});
    rtl::TOwnedPtr<THeadTreeNode> stray{rtl::Create<THeadTreeNode>("S", 0, 0)};
    try {
        t.Root->AddChild(stray.get(), "x", 1, 1);
        ADD_FAILURE();
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "Node not in Tree");
    }
    EXPECT_THROW(t.Root->AddSibling(stray.get(), "x", 1, 1), rtl::Exception);
    try {
        t.Root->GroupNodes(t.Leaves[2], t.Leaves[0], 20, "G");
        ADD_FAILURE();
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(e.Message(), "ATo not in level");
    }
    // The whole ring in one group; then freeing children leaves an empty root.
    THeadTreeNode* g = t.Root->GroupNodes(t.Leaves[0], t.Leaves[2], 20, "G");
    EXPECT_EQ(Shape(t.Root.get()), "G[A,B,C]");
    EXPECT_EQ(g->NextSibling, g);
    EXPECT_TRUE(t.Root->ContainsNode(t.Leaves[1]));
    t.Root->FreeChildren();
    EXPECT_EQ(t.Root->FirstChild, nullptr);
}

TEST(TitleTreeTest, WordsSkipRunsOfSeparators) {
    int pos = 0;
    EXPECT_EQ(ExtractWordAndPosition(2, "A||B|C", "|", pos), "B");
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(WordPosition(1, "|A", "|"), 2);
    EXPECT_EQ(WordPosition(3, "A|B", "|"), 0);
    EXPECT_EQ(ExtractWord(3, "A|B", "|"), "");
}

}  // namespace
