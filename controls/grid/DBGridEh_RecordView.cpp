// Record-view mode: over a dataset that offers IMemTableEh every record of the view has its own
// grid row, with its own height, and the grid scrolls its rows as a plain grid does.
#include <algorithm>

#include "controls/grid/DBGridEh.h"
#include "framework/rtl/Ownership.h"

namespace grid {

void TCustomDBGridEh::QueryMemTable() {
    db::TDataSet* ds = DataSet();
    const bool dsGoing = ds && ds->ComponentState().Contains(rtl::csDestroying);
    editors::IMemTableEh* view = nullptr;
    if (FDataLink->Active() && ds && !dsGoing && !IsDestroying()) view = dynamic_cast<editors::IMemTableEh*>(ds);
    if (view == FMemTable) return;
    // A view inside its dataset's destruction is not called any more.
    if (FMemTable && !dsGoing) FMemTable->UnregisterGrid(this);
    FMemTable = view;
    if (FMemTable) FMemTable->RegisterGrid(this);
}

void TCustomDBGridEh::UpdateRecordViewRowCount() {
    const int titleRows = TitleRowCount();
    if (RowCount() <= titleRows) {
        if (Row() > titleRows) SetRow(titleRows);
        SetRowCount(titleRows + 1);
    }
    SetFixedRows(titleRows);
    FLastTopLeft = {LeftCol(), TopRow()};
    int row = 0;
    if (FOptions.Contains(dgTitles)) {
        if (FTitleRowHeight > 0) SetRowHeights(row, FTitleRowHeight);
        ++row;
    }
    if (FilterRowVisible() && row < RowCount()) SetRowHeights(row, FDefaultRowHeight);
    TCustomGridEh::SetContraRowCount(FFooterRowCount);
    for (int f = 0; f < FFooterRowCount; ++f) SetRowHeights(RowCount() + f, FDefaultRowHeight);
    if (FMemTable->TreeViewMode()) {
        const int title = FOptions.Contains(dgTitles) ? RowHeights(0) : 0;
        if (FDefaultRowHeight > 0) SetDefaultRowHeight(FDefaultRowHeight);
        if (FOptions.Contains(dgTitles)) SetRowHeights(0, title);
        SetRowCount(std::max(FMemTable->ViewRecordCount(), 1) + titleRows);
    }
    if (HandleAllocated()) {
        const int maxTop = MaxTopLeft(TGridCoord{ColCount() - 1, RowCount() - 1}).Y;
        if (TopRow() > maxTop) SetTopRow(std::max(maxTop, titleRows));
    }
    if (FRowHeightsDirty && DataRowCount() == FMemTable->ViewRecordCount()) {
        UpdateAllRowHeights();
        FRowHeightsDirty = false;
    }
    const int current = FMemTable->ViewCurrentRecord();
    int target = current >= 0 ? current + titleRows : titleRows;
    if (target >= RowCount()) target = titleRows;
    if (target != Row() && target < RowCount()) MoveCurrent(std::max(Col(), FixedCols()), target, false, true);
    FillRecordViewClient();
    if (HandleAllocated()) Invalidate();
}

int TCustomDBGridEh::FetchRecordViewRecords(int Count) {
    auto* fetcher = dynamic_cast<IRecordViewFetchEh*>(FMemTable);
    if (!fetcher || Count <= 0 || FFetchingRecords) return 0;
    FFetchingRecords = true;
    int added = 0;
    rtl::TryFinally([&] { added = fetcher->FetchRecords(Count); }, [&] { FFetchingRecords = false; });
    return std::max(added, 0);
}

void TCustomDBGridEh::FillRecordViewClient() {
    if (!FMemTable || !HandleAllocated() || !dynamic_cast<IRecordViewFetchEh*>(FMemTable) || FDefaultRowHeight <= 0)
        return;
    const int line = FOptions.Contains(dgRowLines) ? GridLineWidth() : 0;
    // Each round either adds rows or stops: a view that adds nothing has no more.
    for (;;) {
        int bottom = 0;
        for (int r = 0; r < FixedRows(); ++r) bottom += RowHeights(r) + line;
        for (int r = TopRow(); r < RowCount(); ++r) bottom += RowHeights(r) + line;
        int limit = ClientHeight();
        for (int f = 0; f < ContraRowCount(); ++f) limit -= RowHeights(RowCount() + f) + line;
        if (bottom > limit) return;
        // One more record when the last row ends exactly at the edge, so there is a row to scroll to.
        const int wanted = bottom == limit ? 1 : (limit - bottom) / FDefaultRowHeight + 1;
        const int rows = RowCount();
        if (FetchRecordViewRecords(wanted) <= 0 || RowCount() == rows) return;
    }
}

void TCustomDBGridEh::SyncRecordViewRow() {
    if (FIncSearchActive) IncSearchStop();
    const int titleRows = TitleRowCount();
    const int oldTop = TopRow();
    InvalidateDataRow(Row());
    int target = FMemTable->ViewCurrentRecord() + titleRows;
    if (target < titleRows || target >= RowCount()) target = titleRows;
    if (target != Row()) MoveCurrent(std::max(Col(), FixedCols()), target, false, true);
    InvalidateDataRow(Row());
    UpdateEdit();
    if (TopRow() != oldTop) {
        for (int i = 0; i < FColumns->Count(); ++i) {
            if (!FColumns->Items(i)->HideDuplicates()) continue;
            InvalidateDataRow(TopRow());
            InvalidateDataRow(oldTop);
            break;
        }
    }
    for (int r = 0; r < ContraRowCount(); ++r) InvalidateDataRow(RowCount() + r);
    UpdateVertScrollBar();
}

TVertScrollValuesEh TCustomDBGridEh::RecordViewVertScrollValues() {
    const TGridLayoutEh L = ComputeLayout();
    const int fixed = FixedRows();
    TVertScrollValuesEh v;
    v.Min = 1;
    if (FOptionsEh.Contains(dghAutoFitRowHeight)) {
        v.Page = 0;
        v.Max = MaxTopLeft(TGridCoord{ColCount() - 1, RowCount() - 1}, L).Y - fixed + 1;
    } else {
        v.Page = std::max(L.Vert.LastWholeCell - TopRow() + 1, 0);
        v.Max = DataRowCount();
    }
    v.Pos = TopRow() - fixed + 1;
    return v;
}

void TCustomDBGridEh::RecordViewVScroll(ui::TWMScroll& Message) {
    const TGridLayoutEh L = ComputeLayout();
    const int fixed = FixedRows();
    const int maxTop = std::max(MaxTopLeft(TGridCoord{ColCount() - 1, RowCount() - 1}, L).Y, fixed);
    const int shown = std::max(L.Vert.LastWholeCell - TopRow() + 1, 1);
    int top = TopRow();
    switch (Message.ScrollCode) {
        case ui::SB_LINEUP: --top; break;
        case ui::SB_LINEDOWN: ++top; break;
        case ui::SB_PAGEUP: top -= shown; break;
        case ui::SB_PAGEDOWN: top += shown; break;
        case ui::SB_TOP: top = fixed; break;
        case ui::SB_BOTTOM: top = RowCount(); break;
        case ui::SB_THUMBTRACK:
            if (!FVertScrollBar->Tracking()) return;
            top = fixed + Message.Pos - 1;
            break;
        case ui::SB_THUMBPOSITION: top = fixed + Message.Pos - 1; break;
        default: return;
    }
    SetTopRow(std::clamp(top, fixed, maxTop));
    UpdateVertScrollBar();
}

void TCustomDBGridEh::RecordViewScrollBy(uint16_t Code) {
    ui::TMessage m(ui::WM_VSCROLL, 0, 0);
    m.WParamLo = Code;
    ui::TWMScroll s(m);
    RecordViewVScroll(s);
}

void TCustomDBGridEh::RecordViewChanged(int RecordIndex, TRecordViewChangeEh Change, int OtherIndex) {
    if (!FMemTable || FMemTable->TreeViewMode()) return;
    const int titleRows = TitleRowCount();
    const int count = FMemTable->ViewRecordCount();
    switch (Change) {
        case rvcInsertedEh:
            if (count > 1) {
                SetRowCount(RowCount() + 1);
                MoveRow(RowCount() - 1, RecordIndex + titleRows);
            }
            UpdateDataRowHeight(RecordIndex);
            break;
        case rvcChangedEh: UpdateDataRowHeight(RecordIndex); break;
        case rvcDeletedEh:
            if (count > 0 && RecordIndex + titleRows < RowCount()) DeleteRow(RecordIndex + titleRows);
            break;
        case rvcMovedEh: MoveRow(OtherIndex + titleRows, RecordIndex + titleRows); break;
        case rvcResetEh:
            SetRowCount(count + titleRows + (count == 0 ? 1 : 0));
            UpdateAllRowHeights();
            break;
    }
}

void TCustomDBGridEh::UpdateDataRowHeight(int DataRow) {
    const int row = DataRow + TitleRowCount();
    if (DataRow < 0 || row >= RowCount()) return;
    int height = FDefaultRowHeight;
    if (FDataLink->Active()) {
        SwitchToDataRow(DataRow);
        rtl::TryFinally(
            [&] {
                for (int i = 0; i < FColumns->Count(); ++i) {
                    TColumnEh* c = FColumns->Items(i);
                    if (!c->Visible() || !c->WordWrap()) continue;
                    const int text = MeasureWrappedTextHeight(this, c->Font(), c->KeyListDisplayText(),
                                                              c->Width() - 2 * FCellTextMargin);
                    height = std::max(height, text + FCellTextMargin);
                }
                // The handler sees the row's record.
                if (OnGetRowHeight) OnGetRowHeight(this, height);
            },
            [&] { RestoreActiveRecord(); });
    } else if (OnGetRowHeight) {
        OnGetRowHeight(this, height);
    }
    SetRowHeights(row, height);
}

void TCustomDBGridEh::UpdateAllRowHeights() {
    if (Loading()) return;
    const int titleRows = TitleRowCount();
    if (FDataLink->Active() && FMemTable && !FMemTable->TreeViewMode()) {
        for (int r = 0; r < DataRowCount(); ++r) UpdateDataRowHeight(r);
    } else if (RowCount() > titleRows && FDefaultRowHeight > 0) {
        SetRowHeights(titleRows, FDefaultRowHeight);
    }
}

}  // namespace grid
