// The tree of a grid's multi-level titles: captions split at '|' into levels, neighbouring
// columns whose captions begin with the same level sharing one group node above their leaves.
#pragma once

#include <string_view>
#include <vector>

#include "framework/rtl/Classes.h"

namespace grid {

using rtl::AnsiString;

class TColumnEh;

// One node of the title tree. Siblings form a ring through NextSibling (a node alone points to
// itself); a node owns its children and frees them with itself.
class THeadTreeNode : public rtl::TObject {
    RTL_CLASS(THeadTreeNode, rtl::TObject)
public:
    THeadTreeNode() : NextSibling(this) {}
    THeadTreeNode(const AnsiString& ACaption, int AWidth, int AHeight);
    ~THeadTreeNode() override;

    AnsiString Caption;
    int CellWidth = 0;
    int CellHeight = 0;
    THeadTreeNode* ParentNode = nullptr;
    THeadTreeNode* FirstChild = nullptr;
    THeadTreeNode* NextSibling;
    TColumnEh* LeafColumn = nullptr;
    int MarkerIndent = 0;
    int LineWidth = 0;
    bool Painted = false;

    // Inserts a new node into the ring right after AfterNode; "Node not in Tree" when AfterNode
    // is not in the tree.
    THeadTreeNode* AddSibling(THeadTreeNode* AfterNode, const AnsiString& ACaption, int AWidth, int AHeight);
    // Appends a new last child of Parent.
    THeadTreeNode* AddChild(THeadTreeNode* Parent, const AnsiString& ACaption, int AWidth, int AHeight);
    // Puts the siblings First..Last under a new group node of the given height and caption.
    THeadTreeNode* GroupNodes(THeadTreeNode* First, THeadTreeNode* Last, int AHeight, const AnsiString& ACaption);
    void FreeChildren();
    // The target is this node, a node of its sibling ring, or inside one of their subtrees.
    bool ContainsNode(const THeadTreeNode* Target) const;
    // 0 for the root, 1 for its children, ...
    int NodeLevel() const;
};

// The level separators of multi-level captions.
inline constexpr std::string_view TitleLevelSeparators = "|";

// Words are the runs of characters that are no separators; positions are 1-based, 0 for none.
int WordPosition(int N, std::string_view Text, std::string_view Separators);
AnsiString ExtractWord(int N, std::string_view Text, std::string_view Separators);
AnsiString ExtractWordAndPosition(int N, std::string_view Text, std::string_view Separators, int& Pos);

// Groups the leaves (Root's children, one per column in column order) by their captions' first
// levels, level by level; a group height is given as a placeholder that the layout replaces.
void GroupTitleLeaves(THeadTreeNode* Root, const std::vector<THeadTreeNode*>& Leaves, int GroupHeight = 20);

namespace msg {
inline constexpr const char* SNodeNotInTree = "Node not in Tree";
inline constexpr const char* SAToNotInLevel = "ATo not in level";
}  // namespace msg

}  // namespace grid
