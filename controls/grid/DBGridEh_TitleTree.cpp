#include "controls/grid/DBGridEh_TitleTree.h"

#include "framework/rtl/Exceptions.h"

namespace grid {

THeadTreeNode::THeadTreeNode(const AnsiString& ACaption, int AWidth, int AHeight)
    : Caption(ACaption), CellWidth(AWidth), CellHeight(AHeight), NextSibling(this) {}

THeadTreeNode::~THeadTreeNode() { FreeChildren(); }

void THeadTreeNode::FreeChildren() {
    THeadTreeNode* first = FirstChild;
    if (!first) return;
    FirstChild = nullptr;
    THeadTreeNode* node = first;
    do {
        THeadTreeNode* next = node->NextSibling;
        delete node;
        node = next;
    } while (node != first);
}

bool THeadTreeNode::ContainsNode(const THeadTreeNode* Target) const {
    const THeadTreeNode* node = this;
    do {
        if (node == Target) return true;
        if (node->FirstChild && node->FirstChild->ContainsNode(Target)) return true;
        node = node->NextSibling;
    } while (node != this);
    return false;
}

int THeadTreeNode::NodeLevel() const {
    int level = 0;
    for (const THeadTreeNode* p = ParentNode; p; p = p->ParentNode) ++level;
    return level;
}

THeadTreeNode* THeadTreeNode::AddSibling(THeadTreeNode* AfterNode, const AnsiString& ACaption, int AWidth,
                                         int AHeight) {
    if (!AfterNode || !ContainsNode(AfterNode)) throw rtl::Exception(msg::SNodeNotInTree);
    auto* node = new THeadTreeNode(ACaption, AWidth, AHeight);
    node->ParentNode = AfterNode->ParentNode;
    node->NextSibling = AfterNode->NextSibling;
    AfterNode->NextSibling = node;
    return node;
}

THeadTreeNode* THeadTreeNode::AddChild(THeadTreeNode* Parent, const AnsiString& ACaption, int AWidth, int AHeight) {
    if (!Parent || !ContainsNode(Parent)) throw rtl::Exception(msg::SNodeNotInTree);
    if (!Parent->FirstChild) {
        auto* node = new THeadTreeNode(ACaption, AWidth, AHeight);
        node->ParentNode = Parent;
        Parent->FirstChild = node;
        return node;
    }
    THeadTreeNode* last = Parent->FirstChild;
    while (last->NextSibling != Parent->FirstChild) last = last->NextSibling;
    return AddSibling(last, ACaption, AWidth, AHeight);
}

THeadTreeNode* THeadTreeNode::GroupNodes(THeadTreeNode* First, THeadTreeNode* Last, int AHeight,
                                         const AnsiString& ACaption) {
    if (!First || !ContainsNode(First)) throw rtl::Exception(msg::SNodeNotInTree);
    // Last must follow First in the ring before it wraps to the parent's first child.
    const THeadTreeNode* ringStart = First->ParentNode ? First->ParentNode->FirstChild : First;
    for (THeadTreeNode* n = First;; n = n->NextSibling) {
        if (n == Last) break;
        if (n->NextSibling == ringStart || n->NextSibling == First) throw rtl::Exception(msg::SAToNotInLevel);
    }
    THeadTreeNode* prev = First;
    while (prev->NextSibling != First) prev = prev->NextSibling;

    THeadTreeNode* group = AddSibling(Last, ACaption, 0, AHeight);
    group->LineWidth = Last->LineWidth;
    if (prev == Last) prev = group;  // First..Last was the whole ring
    prev->NextSibling = group;
    group->FirstChild = First;
    if (group->ParentNode && group->ParentNode->FirstChild == First) group->ParentNode->FirstChild = group;

    int sum = 0;
    for (THeadTreeNode* n = First;; n = n->NextSibling) {
        n->CellHeight -= AHeight;
        n->ParentNode = group;
        sum += n->CellWidth + group->LineWidth;
        if (n == Last) break;
    }
    Last->NextSibling = First;
    group->CellWidth = group->LineWidth >= 1 ? sum - group->LineWidth : sum;
    return group;
}

namespace {

bool IsSeparator(char C, std::string_view Separators) { return Separators.find(C) != std::string_view::npos; }

}  // namespace

int WordPosition(int N, std::string_view Text, std::string_view Separators) {
    int count = 0;
    size_t i = 0;
    while (i < Text.size()) {
        while (i < Text.size() && IsSeparator(Text[i], Separators)) ++i;
        if (i >= Text.size()) break;
        if (++count == N) return static_cast<int>(i) + 1;
        while (i < Text.size() && !IsSeparator(Text[i], Separators)) ++i;
    }
    return 0;
}

AnsiString ExtractWordAndPosition(int N, std::string_view Text, std::string_view Separators, int& Pos) {
    Pos = WordPosition(N, Text, Separators);
    if (Pos == 0) return {};
    size_t end = static_cast<size_t>(Pos) - 1;
    while (end < Text.size() && !IsSeparator(Text[end], Separators)) ++end;
    return AnsiString(Text.substr(static_cast<size_t>(Pos) - 1, end - static_cast<size_t>(Pos) + 1));
}

AnsiString ExtractWord(int N, std::string_view Text, std::string_view Separators) {
    int pos = 0;
    return ExtractWordAndPosition(N, Text, Separators, pos);
}

void GroupTitleLeaves(THeadTreeNode* Root, const std::vector<THeadTreeNode*>& Leaves, int GroupHeight) {
    const int count = static_cast<int>(Leaves.size());
    auto hasSecondLevel = [](const THeadTreeNode* Leaf) {
        return WordPosition(2, Leaf->Caption, TitleLevelSeparators) != 0;
    };
    // A run is the leaves of one parent from i on whose captions have a further level under the
    // same first level. Each leaf loses its own first level, and only when the run is grouped, so
    // captions with an empty level or runs across levels keep their text. Every grouping shortens
    // captions, so the passes end.
    bool grouped = true;
    while (grouped) {
        grouped = false;
        for (int i = 0; i < count && !grouped; ++i) {
            THeadTreeNode* leaf = Leaves[static_cast<size_t>(i)];
            if (!hasSecondLevel(leaf)) continue;
            const AnsiString g = ExtractWord(1, leaf->Caption, TitleLevelSeparators);
            int j = i;
            while (j + 1 < count) {
                THeadTreeNode* next = Leaves[static_cast<size_t>(j + 1)];
                if (next->ParentNode != leaf->ParentNode || !hasSecondLevel(next) ||
                    ExtractWord(1, next->Caption, TitleLevelSeparators) != g)
                    break;
                ++j;
            }
            THeadTreeNode* last = Leaves[static_cast<size_t>(j)];
            if (leaf->NodeLevel() != last->NodeLevel()) continue;
            for (int k = i; k <= j; ++k) {
                THeadTreeNode* n = Leaves[static_cast<size_t>(k)];
                n->Caption.erase(0, static_cast<size_t>(WordPosition(2, n->Caption, TitleLevelSeparators) - 1));
            }
            Root->GroupNodes(leaf, last, GroupHeight, g);
            grouped = true;
        }
    }
}

}  // namespace grid
