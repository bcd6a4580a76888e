// What the user marked beyond the current cell: records, a block of cells, columns or everything.
#include <algorithm>

#include "controls/grid/DBGridEh.h"
#include "framework/rtl/Ownership.h"

namespace grid {

namespace {

bool Inside(const TRect& R, int X, int Y) { return X >= R.Left && X <= R.Right && Y >= R.Top && Y <= R.Bottom; }

// A strip found from three points on one side of the union: the first and the last point inside
// either box are its corners.
TRect Strip(const TRect& O, const TRect& N, const TPoint (&P)[3], bool& Found) {
    int first = -1, last = -1;
    for (int i = 0; i < 3; ++i) {
        if (Inside(O, P[i].X, P[i].Y) || Inside(N, P[i].X, P[i].Y)) {
            if (first < 0) first = i;
            last = i;
        }
    }
    Found = first >= 0;
    if (!Found) return TRect{};
    return TRect{std::min(P[first].X, P[last].X), std::min(P[first].Y, P[last].Y), std::max(P[first].X, P[last].X),
                 std::max(P[first].Y, P[last].Y)};
}

}  // namespace

std::vector<TRect> SelectionRepaintRects(const TRect& O, const TRect& N) {
    const TRect I{std::max(O.Left, N.Left), std::max(O.Top, N.Top), std::min(O.Right, N.Right),
                  std::min(O.Bottom, N.Bottom)};
    if (I.Left >= I.Right || I.Top >= I.Bottom) return {O, N};
    const TRect U{std::min(O.Left, N.Left), std::min(O.Top, N.Top), std::max(O.Right, N.Right),
                  std::max(O.Bottom, N.Bottom)};
    std::vector<TRect> r;
    bool found = false;
    auto add = [&](TRect s) {
        if (s.Left < s.Right && s.Top < s.Bottom) r.push_back(s);
    };
    TRect left = Strip(O, N, {{U.Left, U.Top}, {U.Left, I.Top}, {U.Left, I.Bottom}}, found);
    if (found) add(TRect{left.Left, left.Top, I.Left, left.Bottom});
    TRect top = Strip(O, N, {{I.Left, U.Top}, {I.Right, U.Top}, {U.Right, U.Top}}, found);
    if (found) add(TRect{top.Left, top.Top, top.Right, I.Top});
    TRect right = Strip(O, N, {{U.Right, I.Top}, {U.Right, I.Bottom}, {U.Right, U.Bottom}}, found);
    if (found) add(TRect{I.Right, right.Top, right.Right, right.Bottom});
    TRect bottom = Strip(O, N, {{U.Left, U.Bottom}, {I.Left, U.Bottom}, {I.Right, U.Bottom}}, found);
    if (found) add(TRect{bottom.Left, I.Bottom, bottom.Right, bottom.Bottom});
    return r;
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhSelection

TDBGridEhSelection::TDBGridEhSelection(TCustomDBGridEh* Grid)
    : FGrid(Grid),
      FColumns(rtl::Create<TDBGridEhSelectionCols>(Grid)),
      FRect(rtl::Create<TDBGridEhSelectionRect>(Grid)) {}

TDBGridEhSelection::~TDBGridEhSelection() = default;

TBookmarkListEh* TDBGridEhSelection::Rows() const { return FGrid->SelectedRecords(); }

void TDBGridEhSelection::SelectionChanged() { FGrid->SelectionChanged(); }

bool TDBGridEhSelection::CellSelected(int DataCol, const db::TBookmark& Row) const {
    switch (SelectionType()) {
        case gstRecordBookmarks: {
            int index = 0;
            return Rows()->Find(Row, index);
        }
        case gstRectangle: return DataCol >= 0 && FRect->CellSelected(DataCol, Row);
        case gstColumns:
            return DataCol >= 0 && DataCol < FGrid->Columns()->Count() &&
                   FColumns->IndexOf(FGrid->Columns()->Items(DataCol)) >= 0;
        case gstAll: return true;
        default: return false;
    }
}

void TDBGridEhSelection::Clear() {
    rtl::TryFinally(
        [&] {
            switch (SelectionType()) {
                case gstRecordBookmarks: Rows()->RemoveAll(); break;
                case gstRectangle: FRect->Clear(); break;
                case gstColumns: FColumns->Clear(); break;
                case gstAll: FGrid->Invalidate(); break;
                default: break;
            }
        },
        [&] {
            FGrid->SelectionSetType(gstNon);
            if (FGrid->Options().Contains(dgAlwaysShowEditor) && FGrid->EditorShownAlways()) FGrid->ShowEditor();
        });
}

void TDBGridEhSelection::SelectAll() {
    if (SelectionType() == gstAll) return;
    Clear();
    FGrid->SelectionSetType(gstAll);
    FGrid->Invalidate();
    SelectionChanged();
}

void TDBGridEhSelection::SetSelectionType(TDBGridEhSelectionType Value) {
    if (Value == SelectionType()) return;
    FGrid->SelectionSetType(Value);
    FGrid->Invalidate();
}

TDBGridEhSelectionType TDBGridEhSelection::SelectionType() const { return FGrid->SelectionType(); }

void TDBGridEhSelection::UpdateState() {
    if ((SelectionType() == gstRecordBookmarks && Rows()->Count() == 0) ||
        (SelectionType() == gstColumns && FColumns->Count() == 0)) {
        FGrid->SelectionSetType(gstNon);
        FGrid->Invalidate();
    }
}

void TDBGridEhSelection::LinkActiveChanged(bool Active) {
    Rows()->RemoveAll();
    Rows()->SetLinkActive(Active);
    Clear();
}

TGridRect TDBGridEhSelection::SelectionGridRect() const {
    switch (SelectionType()) {
        case gstRecordBookmarks: return Rows()->SelectionGridRect();
        case gstRectangle: return FRect->SelectionGridRect();
        case gstColumns: return FColumns->SelectionGridRect();
        default: return TGridRect{-1, -1, -1, -1};
    }
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhSelectionCols

TDBGridEhSelectionCols::TDBGridEhSelectionCols(TCustomDBGridEh* Grid)
    : FGrid(Grid), FShiftSelected(rtl::Create<TColumnsEhList>()) {}

TDBGridEhSelectionCols::~TDBGridEhSelectionCols() = default;

TDBGridEhSelection* TDBGridEhSelectionCols::Owner() const { return FGrid->Selection(); }

void TDBGridEhSelectionCols::InsertInOrder(TColumnEh* Column) {
    for (int i = 0; i < Count(); ++i) {
        if (Items(i)->Index() > Column->Index()) {
            Insert(i, Column);
            return;
        }
    }
    Add(Column);
}

void TDBGridEhSelectionCols::Clear() {
    for (int i = 0; i < Count(); ++i) FGrid->InvalidateColumn(FGrid->DataToGridCol(Items(i)->Index()));
    TColumnsEhList::Clear();
    FAnchor = nullptr;
    if (Owner()) Owner()->SelectionChanged();
}

void TDBGridEhSelectionCols::Toggle(TColumnEh* Column) {
    if (FGrid->SelectionType() != gstColumns) FGrid->Selection()->Clear();
    if (IndexOf(Column) >= 0)
        Remove(Column);
    else
        InsertInOrder(Column);
    FGrid->InvalidateColumn(FGrid->DataToGridCol(Column->Index()));
    FAnchor = FShift = Column;
    FGrid->Selection()->SetSelectionType(Count() > 0 ? gstColumns : gstNon);
    FShiftSelected->Clear();
    Owner()->SelectionChanged();
}

void TDBGridEhSelectionCols::Select(TColumnEh* Column, bool AddIt) {
    if (FGrid->SelectionType() != gstColumns) FGrid->Selection()->Clear();
    if (!AddIt) Clear();
    if (IndexOf(Column) < 0) {
        InsertInOrder(Column);
        FGrid->InvalidateColumn(FGrid->DataToGridCol(Column->Index()));
    }
    FAnchor = FShift = Column;
    FGrid->Selection()->SetSelectionType(gstColumns);
    FShiftSelected->Clear();
    Owner()->SelectionChanged();
}

void TDBGridEhSelectionCols::Extend(TColumnEh* Column) {
    TDBGridEhSelection* sel = FGrid->Selection();
    if (FGrid->SelectionType() != gstColumns) sel->Clear();
    if (!FAnchor) {
        Select(Column, true);
        FAnchor = Column;
    } else {
        TDBGridColumnsEh* cols = FGrid->Columns();
        const int a = FAnchor->Index();
        const int s = FShift ? FShift->Index() : a;
        const int n = Column->Index();
        int from = n, to = n, stepBy = 1, turn = -1;
        bool selectMode = true;
        if (a < s) {
            if (n > s) {
                from = s;
                to = n;
            } else if (n < s) {
                from = s;
                stepBy = -1;
                selectMode = false;
                if (n < a) {
                    to = n;
                    turn = a;
                } else {
                    to = n + 1;
                }
            }
        } else if (s < a) {
            if (n < s) {
                from = s;
                to = n;
                stepBy = -1;
            } else if (n > s) {
                from = s;
                selectMode = false;
                if (n > a) {
                    to = n;
                    turn = a;
                } else {
                    to = n - 1;
                }
            }
        } else {
            from = a;
            to = n;
            stepBy = n < a ? -1 : 1;
        }
        const bool anchorListed = IndexOf(FAnchor) >= 0;
        for (int i = from;; i += stepBy) {
            if (i == turn) selectMode = !selectMode;
            if (i >= 0 && i < cols->Count()) {
                TColumnEh* c = cols->Items(i);
                const bool listed = IndexOf(c) >= 0;
                bool changed = false;
                if (selectMode) {
                    if (anchorListed) {
                        if (c->Visible() && !listed) {
                            InsertInOrder(c);
                            FShiftSelected->Add(c);
                            changed = true;
                        }
                    } else if (listed && i != a) {
                        Remove(c);
                        FShiftSelected->Add(c);
                        changed = true;
                    }
                } else {
                    const bool shifted = FShiftSelected->IndexOf(c) >= 0;
                    if (anchorListed) {
                        if (listed && i != a && shifted) {
                            Remove(c);
                            FShiftSelected->Remove(c);
                            changed = true;
                        }
                    } else if (c->Visible() && !listed && shifted) {
                        InsertInOrder(c);
                        FShiftSelected->Remove(c);
                        changed = true;
                    }
                }
                if (changed) {
                    FGrid->InvalidateColumn(FGrid->DataToGridCol(i));
                    sel->SelectionChanged();
                }
            }
            if (i == to || (stepBy > 0 ? i > to : i < to)) break;
        }
    }
    FShift = Column;
    FGrid->SelectionSetType(Count() > 0 ? gstColumns : gstNon);
}

void TDBGridEhSelectionCols::Refresh() {
    TDBGridColumnsEh* cols = FGrid->Columns();
    for (int i = Count() - 1; i >= 0; --i)
        if (!cols || cols->IndexOf(Items(i)) < 0) Delete(i);
    std::vector<TColumnEh*> kept;
    for (int i = 0; i < Count(); ++i) kept.push_back(Items(i));
    std::stable_sort(kept.begin(), kept.end(), [](TColumnEh* x, TColumnEh* y) { return x->Index() < y->Index(); });
    for (int i = 0; i < Count(); ++i) SetItems(i, kept[static_cast<size_t>(i)]);
    if (FAnchor && (!cols || cols->IndexOf(FAnchor) < 0)) FAnchor = nullptr;
    if (FShift && (!cols || cols->IndexOf(FShift) < 0)) FShift = nullptr;
}

TGridRect TDBGridEhSelectionCols::SelectionGridRect() {
    if (Count() == 0) return TGridRect{-1, -1, -1, -1};
    return TGridRect{FGrid->DataToGridCol(Items(0)->Index()), 0, FGrid->DataToGridCol(Items(Count() - 1)->Index()),
                     FGrid->RowCount()};
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhSelectionRect

bool TDBGridEhSelectionRect::DataState() const {
    return FGrid->DataSource() && FGrid->DataSet() && FGrid->DataLink()->Active();
}

void TDBGridEhSelectionRect::CheckDataState(const char* Message) const {
    if (!DataState()) throw EInvalidGridOperationEh(Message);
}

void TDBGridEhSelectionRect::Clear() {
    FAnchor = TDBCell{};
    FShift = TDBCell{};
    FGrid->Invalidate();
    FGrid->Selection()->SelectionChanged();
}

db::TBookmark TDBGridEhSelectionRect::TopRow() const {
    CheckDataState("Error in TDBGridEhSelectionRect.TopRow");
    return FGrid->DataSet()->CompareBookmarks(FAnchor.Row, FShift.Row) > 0 ? FShift.Row : FAnchor.Row;
}

db::TBookmark TDBGridEhSelectionRect::GetBottomRow() const {
    CheckDataState("Error in TDBGridEhSelectionRect.GetBottomRow");
    return FGrid->DataSet()->CompareBookmarks(FAnchor.Row, FShift.Row) < 0 ? FShift.Row : FAnchor.Row;
}

int TDBGridEhSelectionRect::LeftCol() const {
    CheckDataState("Error in TDBGridEhSelectionRect.LeftCol");
    return std::min(FAnchor.Col, FShift.Col);
}

int TDBGridEhSelectionRect::RightCol() const {
    CheckDataState("Error in TDBGridEhSelectionRect.RightCol");
    return std::max(FAnchor.Col, FShift.Col);
}

bool TDBGridEhSelectionRect::CellSelected(int DataCol, const db::TBookmark& Row) const {
    CheckDataState("Error in function TDBGridEhSelectionRect.CellSelected");
    db::TDataSet* ds = FGrid->DataSet();
    return ds->CompareBookmarks(TopRow(), Row) <= 0 && ds->CompareBookmarks(Row, GetBottomRow()) <= 0 &&
           LeftCol() <= DataCol && DataCol <= RightCol();
}

void TDBGridEhSelectionRect::Select(int ACol, const db::TBookmark& ARow, bool Extend) {
    TDBGridEhSelection* sel = FGrid->Selection();
    if (FGrid->SelectionType() != gstRectangle) sel->Clear();
    const TDBCell oldAnchor = FAnchor, oldShift = FShift;
    if (FAnchor.Col < 0 || !Extend) FAnchor = TDBCell{ACol, ARow};
    FShift = TDBCell{ACol, ARow};
    const bool single = FAnchor.Col == FShift.Col && FGrid->DataSet() &&
                        FGrid->DataSet()->CompareBookmarks(FAnchor.Row, FShift.Row) == 0;
    sel->SetSelectionType(single ? gstNon : gstRectangle);
    if (!FGrid->HandleAllocated()) return;
    const TRect oldBox = oldAnchor.Col >= 0 ? BoxRect(oldAnchor, oldShift) : TRect{};
    const TRect newBox = BoxRect(FAnchor, FShift);
    for (const TRect& r : SelectionRepaintRects(oldBox, newBox))
        static_cast<ui::TWinControl*>(FGrid)->InvalidateRect(&r, false);
    sel->SelectionChanged();
}

TRect TDBGridEhSelectionRect::BoxRect(TDBCell Cell1, TDBCell Cell2) const {
    db::TDataSet* ds = FGrid->DataSet();
    if (!ds || !FGrid->DataLink()->Active()) return TRect{};
    if (Cell1.Col > Cell2.Col) std::swap(Cell1.Col, Cell2.Col);
    if (ds->CompareBookmarks(Cell1.Row, Cell2.Row) > 0) std::swap(Cell1.Row, Cell2.Row);
    TGridDataLinkEh* link = FGrid->DataLink();
    const int n = link->RecordCount();
    const int saved = link->ActiveRecord();
    int top = 0, bottom = -1;
    rtl::TryFinally(
        [&] {
            auto bookmarkAt = [&](int i) {
                link->SetActiveRecord(i);
                return ds->GetBookmark();
            };
            if (n == 0) return;
            if (ds->CompareBookmarks(Cell1.Row, bookmarkAt(0)) < 0) {
                top = 0;
            } else {
                top = n;
                for (int i = 0; i < n; ++i)
                    if (ds->CompareBookmarks(bookmarkAt(i), Cell1.Row) == 0) {
                        top = i;
                        break;
                    }
            }
            if (ds->CompareBookmarks(Cell2.Row, bookmarkAt(n - 1)) <= 0) {
                for (int i = 0; i < n; ++i)
                    if (ds->CompareBookmarks(bookmarkAt(i), Cell2.Row) == 0) {
                        bottom = i;
                        break;
                    }
            } else {
                bottom = FGrid->VisibleDataRowCount();
            }
        },
        [&] { link->SetActiveRecord(saved); });
    const int titles = FGrid->TitleRowCount();
    return FGrid->CellRangeRect(
        TGridRect{FGrid->DataToGridCol(Cell1.Col), top + titles, FGrid->DataToGridCol(Cell2.Col), bottom + titles},
        true);
}

TGridRect TDBGridEhSelectionRect::SelectionGridRect() const {
    if (!DataState()) return TGridRect{-1, -1, -1, -1};
    db::TDataSet* ds = FGrid->DataSet();
    TGridDataLinkEh* link = FGrid->DataLink();
    const db::TBookmark topMark = TopRow(), bottomMark = GetBottomRow();
    const int n = link->RecordCount();
    const int saved = link->ActiveRecord();
    int top = -1, bottom = -1;
    rtl::TryFinally(
        [&] {
            for (int i = 0; i < n; ++i) {
                link->SetActiveRecord(i);
                const db::TBookmark b = ds->GetBookmark();
                if (top < 0 && ds->CompareBookmarks(b, topMark) >= 0) top = i;
                if (ds->CompareBookmarks(b, bottomMark) <= 0) bottom = i;
            }
        },
        [&] { link->SetActiveRecord(saved); });
    if (top < 0 || bottom < 0) return TGridRect{-1, -1, -1, -1};
    const int titles = FGrid->TitleRowCount();
    return TGridRect{FGrid->DataToGridCol(LeftCol()), top + titles, FGrid->DataToGridCol(RightCol()), bottom + titles};
}

// ---------------------------------------------------------------------------------------------
// The grid's side

void TCustomDBGridEh::ClearGridSelection() {
    if (FSelection)
        FSelection->Clear();
    else
        FSelectionType = gstNon;
}

void TCustomDBGridEh::SelectionUpdateState() {
    if (FSelection) FSelection->UpdateState();
}

}  // namespace grid
