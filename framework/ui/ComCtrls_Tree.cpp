// The tree view.
#include <algorithm>

#include "framework/ui/ComCtrls.h"
#include "framework/ui/Forms.h"

namespace ui {

// ---------------------------------------------------------------------------------------------
// TTreeNode

TTreeNode::TTreeNode(TTreeNodes* Owner, TTreeNode* Parent, const AnsiString& Text, void* Data)
    : FOwner(Owner), FParent(Parent), FText(Text), FData(Data) {}

TTreeNode::~TTreeNode() = default;

void TTreeNode::SetText(const AnsiString& Value) {
    FText = Value;
    FOwner->FOwner->Invalidate();
}

int TTreeNode::Level() const noexcept {
    int l = 0;
    for (const TTreeNode* p = FParent; p; p = p->FParent) ++l;
    return l;
}

TTreeNode* TTreeNode::Item(int Index) const {
    if (Index < 0 || Index >= Count()) throw rtl::Exception("List index out of bounds (" + std::to_string(Index) + ")");
    return FChildren[static_cast<size_t>(Index)].get();
}

int TTreeNode::Index() const {
    const auto& list = FParent ? FParent->FChildren : FOwner->FRoots;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == this) return static_cast<int>(i);
    return -1;
}

void TTreeNode::SetHasChildren(bool Value) {
    FHasChildren = Value;
    FOwner->FOwner->Invalidate();
}

void TTreeNode::Expand(bool Recurse) {
    TTreeView* tv = FOwner->FOwner;
    if (!FExpanded && HasChildren()) {
        bool allow = true;
        if (tv->OnExpanding) tv->OnExpanding(tv, this, allow);
        if (!allow) return;
        FExpanded = true;
        tv->Invalidate();
        if (tv->OnExpanded) tv->OnExpanded(tv, this);
    }
    if (Recurse)
        for (auto& c : FChildren) c->Expand(true);
}

void TTreeNode::Collapse(bool Recurse) {
    TTreeView* tv = FOwner->FOwner;
    if (FExpanded) {
        bool allow = true;
        if (tv->OnCollapsing) tv->OnCollapsing(tv, this, allow);
        if (!allow) return;
        FExpanded = false;
        // A selection inside goes to the collapsed node.
        for (TTreeNode* s = tv->FSelected; s; s = s->FParent)
            if (s->FParent == this) {
                tv->SetSelected(this);
                break;
            }
        tv->Invalidate();
    }
    if (Recurse)
        for (auto& c : FChildren) c->Collapse(true);
}

bool TTreeNode::Selected() const noexcept { return FOwner->FOwner->FSelected == this; }

void TTreeNode::SetSelected(bool Value) {
    TTreeView* tv = FOwner->FOwner;
    if (Value)
        tv->SetSelected(this);
    else if (tv->FSelected == this)
        tv->SetSelected(nullptr);
}

void TTreeNode::DeleteChildren() {
    while (!FChildren.empty()) FOwner->Delete(FChildren.back().get());
    FOwner->FOwner->Invalidate();
}

void TTreeNode::Delete() { FOwner->Delete(this); }

bool TTreeNode::IsVisible() const noexcept {
    for (const TTreeNode* p = FParent; p; p = p->FParent)
        if (!p->FExpanded) return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// TTreeNodes

TTreeNodes::~TTreeNodes() { FRoots.clear(); }


int TTreeNodes::Count() const {
    int n = 0;
    std::function<void(const TTreeNode*)> count = [&](const TTreeNode* Node) {
        ++n;
        for (int i = 0; i < Node->Count(); ++i) count(Node->Item(i));
    };
    for (const auto& r : FRoots) count(r.get());
    return n;
}

TTreeNode* TTreeNodes::Item(int Index) const {
    int i = 0;
    TTreeNode* found = nullptr;
    std::function<void(TTreeNode*)> walk = [&](TTreeNode* Node) {
        if (found) return;
        if (i++ == Index) {
            found = Node;
            return;
        }
        for (int k = 0; k < Node->Count(); ++k) walk(Node->Item(k));
    };
    for (const auto& r : FRoots) walk(r.get());
    if (!found) throw rtl::Exception("List index out of bounds (" + std::to_string(Index) + ")");
    return found;
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* Parent, const AnsiString& Text, void* Data) {
    auto node = std::make_unique<TTreeNode>(this, Parent, Text, Data);
    TTreeNode* raw = node.get();
    (Parent ? Parent->FChildren : FRoots).push_back(std::move(node));
    if (FUpdate == 0) FOwner->Invalidate();
    return raw;
}

void TTreeNodes::Delete(TTreeNode* Node) {
    if (!Node) return;
    FOwner->NodeGoing(Node);
    auto& list = Node->FParent ? Node->FParent->FChildren : FRoots;
    const auto it = std::find_if(list.begin(), list.end(), [Node](const auto& p) { return p.get() == Node; });
    if (it != list.end()) list.erase(it);
    if (FUpdate == 0) FOwner->Invalidate();
}

void TTreeNodes::Clear() {
    FOwner->FSelected = nullptr;
    FRoots.clear();
    FOwner->FTopRow = 0;
    FOwner->Invalidate();
}

void TTreeNodes::EndUpdate() {
    if (FUpdate > 0 && --FUpdate == 0) FOwner->Invalidate();
}

// ---------------------------------------------------------------------------------------------
// TTreeView

TTreeView::TTreeView(TComponent* Owner) : TCustomControl(Owner), FItems(std::make_unique<TTreeNodes>(this)) {
    FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque};
    FColor = clWindow;
    SetParentColor(false);
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
}

TTreeView::~TTreeView() {
    FSelected = nullptr;
    FItems.reset();
}

int TTreeView::ItemHeight() const { return MeasureTextMetrics().tmHeight + 2; }

void TTreeView::SetIndent(int Value) {
    FIndent = std::max(0, Value);
    Invalidate();
}

std::vector<TTreeNode*> TTreeView::VisibleNodes() const {
    std::vector<TTreeNode*> out;
    std::function<void(TTreeNode*)> walk = [&](TTreeNode* Node) {
        out.push_back(Node);
        if (Node->Expanded())
            for (int i = 0; i < Node->Count(); ++i) walk(Node->Item(i));
    };
    for (const auto& r : FItems->FRoots) walk(r.get());
    return out;
}

TRect TTreeView::NodeRect(const TTreeNode* Node) const {
    const auto v = VisibleNodes();
    const auto it = std::find(v.begin(), v.end(), Node);
    if (it == v.end()) return TRect{};
    const int row = static_cast<int>(it - v.begin()) - FTopRow;
    return Rect(0, row * ItemHeight(), ClientWidth(), (row + 1) * ItemHeight());
}

TTreeNode* TTreeView::GetNodeAt(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= ClientWidth()) return nullptr;
    const auto v = VisibleNodes();
    const int row = FTopRow + Y / ItemHeight();
    return row < static_cast<int>(v.size()) ? v[static_cast<size_t>(row)] : nullptr;
}

void TTreeView::MakeVisible(TTreeNode* Node) {
    const auto v = VisibleNodes();
    const auto it = std::find(v.begin(), v.end(), Node);
    if (it == v.end()) return;
    const int row = static_cast<int>(it - v.begin());
    const int rows = std::max(1, ClientHeight() / ItemHeight());
    if (row < FTopRow)
        FTopRow = row;
    else if (row >= FTopRow + rows)
        FTopRow = row - rows + 1;
}

void TTreeView::SetSelected(TTreeNode* Node) {
    if (Node == FSelected) return;
    // Selecting a hidden node opens its parents.
    for (TTreeNode* p = Node ? Node->Parent() : nullptr; p; p = p->Parent()) p->Expand();
    FSelected = Node;
    if (Node) MakeVisible(Node);
    Invalidate();
    if (OnChange) OnChange(this, Node);
}

void TTreeView::NodeGoing(TTreeNode* Node) {
    for (TTreeNode* s = FSelected; s; s = s->Parent())
        if (s == Node) {
            FSelected = nullptr;
            break;
        }
}

void TTreeView::DblClick() {
    TCustomControl::DblClick();
    if (FSelected && FSelected->HasChildren()) FSelected->SetExpanded(!FSelected->Expanded());
}

void TTreeView::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
        case WM_LBUTTONDOWN: {
            if (CanFocus() && !Focused()) SetFocus();
            const TPoint p = LParamToPoint(Message.LParam);
            if (TTreeNode* n = GetNodeAt(p.X, p.Y)) {
                // The button left of the text opens or closes; the rest selects.
                const int buttonRight = (n->Level() + 1) * FIndent;
                if (n->HasChildren() && p.X < buttonRight && p.X >= buttonRight - FIndent)
                    n->SetExpanded(!n->Expanded());
                else
                    SetSelected(n);
            }
            return;
        }
        case WM_KEYDOWN: {
            const auto v = VisibleNodes();
            if (v.empty()) return;
            auto it = std::find(v.begin(), v.end(), FSelected);
            const int cur = it == v.end() ? -1 : static_cast<int>(it - v.begin());
            const int n = static_cast<int>(v.size());
            const int page = std::max(1, ClientHeight() / ItemHeight() - 1);
            switch (Message.WParamLo) {
                case VK_UP: SetSelected(v[static_cast<size_t>(std::max(0, cur - 1))]); return;
                case VK_DOWN: SetSelected(v[static_cast<size_t>(std::min(n - 1, cur + 1))]); return;
                case VK_PRIOR: SetSelected(v[static_cast<size_t>(std::max(0, cur - page))]); return;
                case VK_NEXT: SetSelected(v[static_cast<size_t>(std::min(n - 1, cur + page))]); return;
                case VK_HOME: SetSelected(v.front()); return;
                case VK_END: SetSelected(v.back()); return;
                case VK_RIGHT:
                case VK_ADD:
                    if (FSelected) {
                        if (!FSelected->Expanded() && FSelected->HasChildren())
                            FSelected->Expand();
                        else if (Message.WParamLo == VK_RIGHT && FSelected->Count() > 0)
                            SetSelected(FSelected->GetFirstChild());
                    }
                    return;
                case VK_LEFT:
                case VK_SUBTRACT:
                    if (FSelected) {
                        if (FSelected->Expanded())
                            FSelected->Collapse();
                        else if (Message.WParamLo == VK_LEFT && FSelected->Parent())
                            SetSelected(FSelected->Parent());
                    }
                    return;
            }
            break;
        }
        case WM_GETDLGCODE: Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
        default: break;
    }
    TCustomControl::DefaultHandler(Message);
}

void TTreeView::Paint() {
    TCanvas* c = Canvas();
    c->Brush()->SetColor(Color());
    c->FillRect(ClientRect());
    c->Font()->Assign(Font());
    const auto v = VisibleNodes();
    const int h = ItemHeight();
    for (int i = FTopRow; i < static_cast<int>(v.size()); ++i) {
        const int y = (i - FTopRow) * h;
        if (y >= ClientHeight()) break;
        TTreeNode* n = v[static_cast<size_t>(i)];
        const int x = n->Level() * FIndent;
        if (n->HasChildren()) {
            const TRect b = Bounds(x + FIndent / 2 - 4, y + h / 2 - 4, 9, 9);
            c->Brush()->SetColor(Color());
            c->FrameRect(b);
            c->MoveTo(b.Left + 2, b.Top + 4);
            c->LineTo(b.Right - 2, b.Top + 4);
            if (!n->Expanded()) {
                c->MoveTo(b.Left + 4, b.Top + 2);
                c->LineTo(b.Left + 4, b.Bottom - 2);
            }
        }
        const int tx = x + FIndent + 2;
        const TSize ts = c->TextExtent(n->Text());
        const TRect tr = Rect(tx - 1, y, tx + ts.cx + 1, y + h);
        const bool sel = n == FSelected;
        c->Brush()->SetColor(sel ? (Focused() ? clHighlight : clBtnFace) : Color());
        c->Font()->SetColor(sel && Focused() ? clHighlightText : Font()->Color());
        c->FillRect(tr);
        c->Brush()->SetStyle(bsClear);
        c->TextOut(tx, y + 1, n->Text());
        c->Brush()->SetStyle(bsSolid);
        if (sel && Focused()) c->DrawFocusRect(tr);
    }
}

}  // namespace ui
