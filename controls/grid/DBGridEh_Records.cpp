// The record window: the grid shows the data link's buffer, sized to the rows that fit, keeps its
// current row on the active record and moves through the dataset for scrolling.
#include <algorithm>
#include <cstdlib>

#include "controls/grid/DBGridEh.h"
#include "framework/rtl/Ownership.h"

namespace grid {

// ---------------------------------------------------------------------------------------------
// Scroll-bar settings

void TDBGridEhScrollBar::Assign(rtl::TPersistent* Source) {
    if (auto* src = dynamic_cast<TDBGridEhScrollBar*>(Source)) {
        SetVisible(src->Visible());
        FTracking = src->Tracking();
        return;
    }
    rtl::TPersistent::Assign(Source);
}

void TDBGridEhScrollBar::SetVisibleMode(TScrollBarVisibleModeEh Value) {
    if (Value == FVisibleMode) return;
    FVisibleMode = Value;
    if (FVertical) FGrid->UpdateVertScrollBar();
    FGrid->LinkLayoutChanged();
}

bool TDBGridEhScrollBar::IsShowing() const {
    return Visible() && FGrid->HandleAllocated() && FGrid->ScrollBarVisible(FVertical ? ui::SB_VERT : ui::SB_HORZ);
}

bool TDBGridEhScrollBar::ReadScrollInfo(ui::TScrollInfo& Info) const {
    return FGrid->GetScrollInfo(FVertical ? ui::SB_VERT : ui::SB_HORZ, Info);
}

// ---------------------------------------------------------------------------------------------
// Rows

void TCustomDBGridEh::UpdateRowCount() {
    if (!FDataLink || !FColumns) return;
    const int titleRows = TitleRowCount();
    const int oldContra = ContraRowCount();
    if (RowCount() <= titleRows) SetRowCount(titleRows + 1);
    SetFixedRows(titleRows);
    const int lw = FOptions.Contains(dgRowLines) ? GridLineWidth() : 0;
    if (FDefaultRowHeight > 0) SetDefaultRowHeight(FDefaultRowHeight);
    int H = 0;
    int row = 0;
    if (FOptions.Contains(dgTitles)) {
        if (FTitleRowHeight > 0) SetRowHeights(row, FTitleRowHeight);
        H += RowHeights(row) + lw;
        ++row;
    }
    if (FilterRowVisible()) {
        H += FDefaultRowHeight + lw;
        ++row;
    }
    if (FFooterRowCount > 0) H += FFooterRowCount * (FDefaultRowHeight + lw) + lw;
    db::TDataSet* ds = DataSet();
    if (FDataLink->Active() && ds && !ds->IsEmpty() && HandleAllocated() && FDefaultRowHeight > 0) {
        const int fit = std::max((ClientHeight() - H) / (FDefaultRowHeight + lw), 1);
        FDataLink->SetBufferCount(fit);
        const int rows = std::max(FDataLink->RecordCount(), 1) + titleRows;
        if (Row() >= rows) SetRow(rows - 1);
        SetRowCount(rows);
        TCustomGridEh::SetContraRowCount(FFooterRowCount);
        if (TopRow() != titleRows && titleRows < RowCount()) SetTopRow(titleRows);
        SyncActiveRecord();
    } else {
        if (Row() > titleRows) SetRow(titleRows);
        SetRowCount(titleRows + 1);
        TCustomGridEh::SetContraRowCount(FFooterRowCount);
    }
    if (oldContra != ContraRowCount()) Invalidate();
}

void TCustomDBGridEh::SyncActiveRecord() {
    if (!FDataLink->Active() || !HandleAllocated() || Loading()) return;
    const int target = FDataLink->ActiveRecord() + TitleRowCount();
    if (target != Row() && target < RowCount()) {
        if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
        MoveCurrent(std::max(Col(), FixedCols()), target, false, true);
        UpdateEdit();
    }
}

void TCustomDBGridEh::InvalidateDataRow(int GridRow) {
    if (GridRow < 0 || GridRow >= RowCount()) return;
    InvalidateRow(GridRow);
}

void TCustomDBGridEh::ScrollDataRows(int DY, const TRect& Area) {
    ScrollWindowEx(0, DY, &Area, &Area, nullptr, nullptr, ui::SW_INVALIDATE);
}

void TCustomDBGridEh::LinkActiveChanged(bool Active) {
    if (!Active) HideEditor();
    if (FSelection) FSelection->LinkActiveChanged(Active);
    else FSelectedRecords->SetLinkActive(Active);
    if (FColumns) FColumns->ClearFieldReferences();
    if (FSumList) FSumList->AttachDataSet(DataSet());
    LinkLayoutChanged();
    if (Active && EditorShownAlways()) ShowInplaceEditor();
    UpdateVertScrollBar();
}

// The client width changed with the bar: a layout once the notification is over.
void TCustomDBGridEh::DeferLayout() {
    LockUpdates();
    PostLayoutRequest();
}

void TCustomDBGridEh::LinkDataSetChanged() {
    if (!HandleAllocated()) return;
    const int indicator = CalcIndicatorWidth();
    if (IndicatorVisible() && indicator != FIndicatorColWidth) {
        FIndicatorColWidth = indicator;
        FSizeChangedWhileLocked = true;
        LinkLayoutChanged();
    } else {
        UpdateRowCount();
    }
    if (UpdateVertScrollBar() && FAutoFitColWidths && !ComponentState().Contains(rtl::csDesigning))
        DeferLayout();
    SyncActiveRecord();
    UpdateEdit();
    Invalidate();
}

void TCustomDBGridEh::LinkDataSetScrolled(int Distance) {
    if (!HandleAllocated()) return;
    const int oldRow = Row();
    if (FDataLink->ActiveRecord() + TitleRowCount() >= RowCount()) UpdateRowCount();
    if (UpdateVertScrollBar() && FAutoFitColWidths && !ComponentState().Contains(rtl::csDesigning))
        DeferLayout();
    SyncActiveRecord();
    InvalidateDataRow(oldRow);
    InvalidateDataRow(Row());
    if (Distance != 0) {
        HideEdit();
        rtl::TryFinally(
            [&] {
                if (std::abs(Distance) > VisibleDataRowCount()) {
                    Invalidate();
                } else {
                    const int lw = FOptions.Contains(dgRowLines) ? GridLineWidth() : 0;
                    const TGridLayoutEh L = ComputeLayout();
                    const int step = FDefaultRowHeight + lw;
                    const int bottom = std::min(L.Vert.FixedEnd + DataRowCount() * step, L.Vert.ContraStart);
                    const TRect area{0, L.Vert.FixedEnd, ClientWidth(), bottom};
                    ScrollDataRows(-Distance * (FDefaultRowHeight + lw), area);
                    if (IndicatorVisible()) InvalidateDataRow(Row());
                    for (int i = 0; i < FColumns->Count(); ++i) {
                        if (FColumns->Items(i)->HideDuplicates()) {
                            InvalidateDataRow(TitleRowCount());
                            break;
                        }
                    }
                }
            },
            [&] {
                if (FOptions.Contains(dgAlwaysShowEditor)) UpdateEdit();
            });
    }
    for (int r = 0; r < ContraRowCount(); ++r) InvalidateDataRow(RowCount() + r);
    if (FUpdateNesting == 0) UpdateWindow();
}

// ---------------------------------------------------------------------------------------------
// Temporary record switches

void TCustomDBGridEh::SwitchToDataRow(int DataRow) {
    FSavedActiveRecord = FDataLink->ActiveRecord();
    FDataLink->SetActiveRecord(DataRow);
}

void TCustomDBGridEh::RestoreActiveRecord() {
    if (FSavedActiveRecord < 0) return;
    FDataLink->SetActiveRecord(FSavedActiveRecord);
    FSavedActiveRecord = -1;
}

int TCustomDBGridEh::RecNoOfDataRow(int DataRow) {
    if (!FDataLink->Active()) return 0;
    const int saved = FDataLink->ActiveRecord();
    int r = 0;
    rtl::TryFinally(
        [&] {
            FDataLink->SetActiveRecord(DataRow);
            r = DataSet()->RecNo();
        },
        [&] { FDataLink->SetActiveRecord(saved); });
    return r;
}

// ---------------------------------------------------------------------------------------------
// Vertical bar

TVertScrollValuesEh TCustomDBGridEh::VertScrollValues() {
    db::TDataSet* ds = DataSet();
    if (!FDataLink->Active() || !ds) return {0, 1, 2, 0};
    if (ds->IsSequenced()) {
        TVertScrollValuesEh v;
        v.Min = 1;
        v.Page = VisibleDataRowCount();
        v.Max = std::max(ds->RecordCount(), 0) + v.Page - 1;
        v.Pos = ds->State() >= db::dsInsert && FAppliedVert.Pos >= 0 ? FAppliedVert.Pos : ds->RecNo();
        return v;
    }
    return {0, 4, 0, FDataLink->Bof() ? 0 : FDataLink->Eof() ? 4 : 2};
}

void TCustomDBGridEh::ApplyVertScrollValues(const TVertScrollValuesEh& V) {
    const TScrollBarVisibleModeEh mode = FVertScrollBar->VisibleMode();
    TVertScrollValuesEh shown = V;
    if (!FVertScrollBar->Visible()) shown.Max = shown.Min;
    if (shown == FAppliedVert && mode == FPrevVisibleMode) return;
    const bool nothingToScroll = shown.Min >= shown.Max || shown.Page >= shown.Max - shown.Min;
    ui::TScrollInfo si;
    si.fMask = ui::SIF_ALL;
    if (mode == sbAlwaysShowEh) {
        si.fMask |= ui::SIF_DISABLENOSCROLL;
        ShowScrollBar(ui::SB_VERT, true);
    } else if (mode != FPrevVisibleMode && nothingToScroll) {
        ShowScrollBar(ui::SB_VERT, false);
    }
    si.nMin = shown.Min;
    si.nMax = shown.Max;
    si.nPage = static_cast<ui::UINT>(std::max(shown.Page, 0));
    si.nPos = shown.Pos;
    SetScrollInfo(ui::SB_VERT, si, true);
    FAppliedVert = shown;
    FPrevVisibleMode = mode;
}

bool TCustomDBGridEh::UpdateVertScrollBar() {
    if (!FDataLink || !HandleAllocated() || !FVertScrollBar) return false;
    const bool before = ScrollBarVisible(ui::SB_VERT);
    ApplyVertScrollValues(VertScrollValues());
    return before != ScrollBarVisible(ui::SB_VERT);
}

void TCustomDBGridEh::WMVScroll(ui::TWMScroll& Message) {
    if (!EnsureGridFocus() || !FDataLink->Active()) return;
    db::TDataSet* ds = DataSet();
    const int code = Message.ScrollCode;
    switch (code) {
    case ui::SB_LINEUP:
        ds->MoveBy(-(FDataLink->ActiveRecord() + 1));
        break;
    case ui::SB_LINEDOWN:
        ds->MoveBy(FDataLink->RecordCount() - FDataLink->ActiveRecord());
        break;
    case ui::SB_PAGEUP:
        ds->MoveBy(-VisibleDataRowCount());
        break;
    case ui::SB_PAGEDOWN:
        ds->MoveBy(VisibleDataRowCount());
        break;
    case ui::SB_THUMBPOSITION: {
        if (FThumbTracked) {
            FThumbTracked = false;
            break;
        }
        const int pos = Message.Pos;
        if (!ds->IsSequenced()) {
            switch (pos) {
            case 0: ds->First(); break;
            case 1: ds->MoveBy(-VisibleDataRowCount()); break;
            case 3: ds->MoveBy(VisibleDataRowCount()); break;
            case 4: ds->Last(); break;
            default: break;
            }
        } else if (pos > 1) {
            if (pos < ds->RecordCount()) ds->SetRecNo(pos);
            else ds->Last();
        } else {
            ds->First();
        }
        break;
    }
    case ui::SB_THUMBTRACK:
        if (FVertScrollBar->Tracking()) {
            ds->MoveBy(Message.Pos - ds->RecNo());
            FThumbTracked = true;
        }
        break;
    case ui::SB_TOP:
        ds->First();
        break;
    case ui::SB_BOTTOM:
        ds->Last();
        break;
    default:
        break;
    }
}

bool TCustomDBGridEh::DoMouseWheelDown(ui::TShiftState, TPoint) {
    if (FDataLink->Active()) DataSet()->MoveBy(1);
    return true;
}

bool TCustomDBGridEh::DoMouseWheelUp(ui::TShiftState, TPoint) {
    if (FDataLink->Active()) DataSet()->MoveBy(-1);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Saved positions

TCustomDBGridEh::TSavedPosition TCustomDBGridEh::SavePosition() {
    TSavedPosition p;
    db::TDataSet* ds = DataSet();
    if (!ds || !FDataLink->Active()) return p;
    const int n = FDataLink->RecordCount();
    p.Offset = FDataLink->ActiveRecord() + ((n + 1) % 2) - n / 2;
    ds->MoveBy(-p.Offset);
    p.Bookmark = ds->GetBookmark();
    ds->MoveBy(p.Offset);
    return p;
}

void TCustomDBGridEh::RestorePosition(const TSavedPosition& Position) {
    db::TDataSet* ds = DataSet();
    if (!ds || !FDataLink->Active() || Position.Bookmark.empty()) return;
    ds->GotoBookmark(Position.Bookmark);
    ds->MoveBy(Position.Offset);
}

bool TCustomDBGridEh::LocateText(const WideString& FieldName, const AnsiString& Text,
                                 TLocateTextMatchTypeEh MatchType, TLocateTextDirectionEh Direction,
                                 TLocateTextOptionsEh Options) {
    if (TDatasetFeaturesEh* f = FeaturesForDataSet(DataSet()))
        return f->LocateText(this, FieldName, lttInAllNodesEh, MatchType, Direction, Options, Text);
    return DefaultGridLocateText(this, FieldName, Text, lttInAllNodesEh, MatchType, Direction, Options);
}

}  // namespace grid
