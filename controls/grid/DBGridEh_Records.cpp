// The record window: the grid shows the data link's buffer, sized to the rows that fit, keeps its
// current row on the active record and moves through the dataset for scrolling.
#include <algorithm>
#include <cstdlib>

#include "controls/grid/DBGridEh.h"
#include "framework/rtl/Ownership.h"
#include "framework/ui/Forms.h"

namespace grid {

// ---------------------------------------------------------------------------------------------
// Scroll-bar settings

namespace {

// Bars whose window procedure a grid's settings object has taken over.
std::vector<ui::TScrollBar*>& HookedBars() {
    static std::vector<ui::TScrollBar*> bars;
    return bars;
}

bool Hooked(ui::TScrollBar* Bar) {
    const auto& b = HookedBars();
    return std::find(b.begin(), b.end(), Bar) != b.end();
}

ui::UINT ScrollCodeOf(ui::TScrollCode Code) {
    switch (Code) {
        case ui::TScrollCode::scLineUp: return ui::SB_LINEUP;
        case ui::TScrollCode::scLineDown: return ui::SB_LINEDOWN;
        case ui::TScrollCode::scPageUp: return ui::SB_PAGEUP;
        case ui::TScrollCode::scPageDown: return ui::SB_PAGEDOWN;
        case ui::TScrollCode::scPosition: return ui::SB_THUMBPOSITION;
        case ui::TScrollCode::scTrack: return ui::SB_THUMBTRACK;
        case ui::TScrollCode::scTop: return ui::SB_TOP;
        case ui::TScrollCode::scBottom: return ui::SB_BOTTOM;
        case ui::TScrollCode::scEndScroll: break;
    }
    return ui::SB_ENDSCROLL;
}

}  // namespace

TDBGridEhScrollBar::~TDBGridEhScrollBar() { ReleaseExtScrollBar(); }

void TDBGridEhScrollBar::Assign(rtl::TPersistent* Source) {
    if (auto* src = dynamic_cast<TDBGridEhScrollBar*>(Source)) {
        SetVisible(src->Visible());
        FTracking = src->Tracking();
        SetExtScrollBar(src->ExtScrollBar());
        return;
    }
    rtl::TPersistent::Assign(Source);
}

void TDBGridEhScrollBar::ReleaseExtScrollBar() {
    ui::TScrollBar* bar = FExtScrollBar;
    if (!bar) return;
    FExtScrollBar = nullptr;
    bar->RemoveFreeNotification(FGrid);
    auto& hooked = HookedBars();
    if (Hooked(bar)) {
        hooked.erase(std::find(hooked.begin(), hooked.end(), bar));
        bar->WindowProc = std::move(FExtScrollBarWndProc);
        bar->OnScroll = std::move(FExtScrollBarOnScroll);
    }
    FExtScrollBarWndProc = nullptr;
    FExtScrollBarOnScroll = nullptr;
}

void TDBGridEhScrollBar::SetExtScrollBar(ui::TScrollBar* Value) {
    if (Value == FExtScrollBar) return;
    const bool designing = FGrid->ComponentState().Contains(rtl::csDesigning);
    if (Value && !designing && Hooked(Value))
        throw rtl::Exception("Possible " + Value->Name() + " already attached to the other control.");
    ReleaseExtScrollBar();
    FExtScrollBar = Value;
    if (Value) {
        Value->FreeNotification(FGrid);
        if (!designing) {
            HookedBars().push_back(Value);
            FExtScrollBarWndProc = Value->WindowProc;
            Value->WindowProc = [this](ui::TMessage& M) { ExtScrollBarWndProc(M); };
            // Our bar reports its arrows and thumb through OnScroll: they come back as the
            // notification message, and the bar keeps the position the grid gave it.
            FExtScrollBarOnScroll = Value->OnScroll;
            Value->OnScroll = [this](rtl::TObject* Sender, ui::TScrollCode Code, int& Pos) {
                ui::TScrollBar* bar = FExtScrollBar;
                if (FExtScrollBarOnScroll) FExtScrollBarOnScroll(Sender, Code, Pos);
                const ui::UINT code = ScrollCodeOf(Code);
                const auto wparam = static_cast<ui::WPARAM>((static_cast<uint16_t>(Pos) << 16) | code);
                bar->Perform(FVertical ? ui::CN_VSCROLL : ui::CN_HSCROLL, wparam, 0);
                if (FExtScrollBar == bar) Pos = bar->Position();
            };
        }
        Value->SetVisible(Visible());
    }
    if (!FGrid->ComponentState().Contains(rtl::csDestroying) && FGrid->HandleAllocated()) {
        if (FVertical) FGrid->UpdateVertScrollBar();
        FGrid->LinkLayoutChanged();
    }
}

void TDBGridEhScrollBar::ExtScrollBarWndProc(ui::TMessage& Message) {
    ui::TScrollBar* bar = FExtScrollBar;
    if (Message.Msg == ui::CN_HSCROLL || Message.Msg == ui::CN_VSCROLL)
        FGrid->Perform(FVertical ? ui::WM_VSCROLL : ui::WM_HSCROLL, Message.WParam, Message.LParam);
    if (!bar) return;
    if (FExtScrollBar == bar && FExtScrollBarWndProc)
        FExtScrollBarWndProc(Message);
    else
        bar->WndProc(Message);
}

void TDBGridEhScrollBar::SetVisibleMode(TScrollBarVisibleModeEh Value) {
    if (Value == FVisibleMode) return;
    FVisibleMode = Value;
    if (FExtScrollBar) FExtScrollBar->SetVisible(Visible());
    if (FVertical) FGrid->UpdateVertScrollBar();
    FGrid->LinkLayoutChanged();
}

bool TDBGridEhScrollBar::IsShowing() const {
    if (FExtScrollBar) return FExtScrollBar->Visible();
    return Visible() && FGrid->HandleAllocated() && FGrid->ScrollBarVisible(FVertical ? ui::SB_VERT : ui::SB_HORZ);
}

bool TDBGridEhScrollBar::ReadScrollInfo(ui::TScrollInfo& Info) const {
    if (FExtScrollBar)
        return FExtScrollBar->Perform(ui::SBM_GETSCROLLINFO, 0, reinterpret_cast<ui::LPARAM>(&Info)) != 0;
    return FGrid->GetScrollInfo(FVertical ? ui::SB_VERT : ui::SB_HORZ, Info);
}

// ---------------------------------------------------------------------------------------------
// Rows

void TCustomDBGridEh::UpdateRowCount() {
    if (!FDataLink || !FColumns) return;
    if (FMemTable) {
        UpdateRecordViewRowCount();
        return;
    }
    const int titleRows = TitleRowCount();
    const int oldContra = ContraRowCount();
    if (RowCount() <= titleRows) SetRowCount(titleRows + 1);
    SetFixedRows(titleRows);
    FLastTopLeft = {LeftCol(), TopRow()};
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
    if (FMemTable) {
        SyncRecordViewRow();
        return;
    }
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
    QueryMemTable();
    if (!Active) HideEditor();
    if (FSelection)
        FSelection->LinkActiveChanged(Active);
    else
        FSelectedRecords->SetLinkActive(Active);
    if (FColumns) FColumns->ClearFieldReferences();
    if (FMemTable) {
        RecordViewChanged(-1, rvcResetEh, -1);
        UpdateRowCount();
    }
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
    if (UpdateVertScrollBar() && FAutoFitColWidths && !ComponentState().Contains(rtl::csDesigning)) DeferLayout();
    SyncActiveRecord();
    UpdateEdit();
    Invalidate();
}

void TCustomDBGridEh::LinkDataSetScrolled(int Distance) {
    if (FMemTable) {
        SyncRecordViewRow();
        return;
    }
    if (!HandleAllocated()) return;
    const int oldRow = Row();
    if (FDataLink->ActiveRecord() + TitleRowCount() >= RowCount()) UpdateRowCount();
    if (UpdateVertScrollBar() && FAutoFitColWidths && !ComponentState().Contains(rtl::csDesigning)) DeferLayout();
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
    if (FMemTable) {
        FSavedActiveRecord = FMemTable->ViewActiveRecord();
        FMemTable->SetViewActiveRecord(DataRow);
        FViewRecordSwitched = true;
        return;
    }
    FSavedActiveRecord = FDataLink->ActiveRecord();
    FDataLink->SetActiveRecord(DataRow);
}

void TCustomDBGridEh::RestoreActiveRecord() {
    if (FViewRecordSwitched) {
        FViewRecordSwitched = false;
        FSavedActiveRecord = -1;
        if (FMemTable) FMemTable->RestoreViewActiveRecord();
        return;
    }
    if (FSavedActiveRecord < 0) return;
    FDataLink->SetActiveRecord(FSavedActiveRecord);
    FSavedActiveRecord = -1;
}

int TCustomDBGridEh::RowRecordCount() const {
    if (!FDataLink->Active()) return 0;
    return FMemTable ? FMemTable->ViewRecordCount() : FDataLink->RecordCount();
}

int TCustomDBGridEh::RecNoOfDataRow(int DataRow) {
    if (!FDataLink->Active()) return 0;
    if (FMemTable) return DataRow + 1;
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
    if (FMemTable) return RecordViewVertScrollValues();
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
    ui::TScrollBar* ext = FVertScrollBar->ExtScrollBar();
    if (!FVertScrollBar->Visible() || ext) shown.Max = shown.Min;
    if (ext && (ext->Min() != std::min(V.Min, V.Max) || ext->Max() != V.Max || ext->PageSize() != V.Page ||
                ext->Position() != V.Pos)) {
        ext->SetPageSize(0);
        ext->SetParams(V.Pos, std::min(V.Min, V.Max), V.Max);
        ext->SetPageSize(std::max(V.Page, 0));
    }
    if (shown == FAppliedVert && mode == FPrevVisibleMode) return;
    const bool nothingToScroll = shown.Min >= shown.Max || shown.Page >= shown.Max - shown.Min;
    ui::TScrollInfo si;
    si.fMask = ui::SIF_ALL;
    if (mode == sbAlwaysShowEh && !ext) {
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
    if (!EnsureGridFocus()) return;
    if (FMemTable) {
        RecordViewVScroll(Message);
        return;
    }
    if (!FDataLink->Active()) return;
    db::TDataSet* ds = DataSet();
    const int code = Message.ScrollCode;
    switch (code) {
        case ui::SB_LINEUP: ds->MoveBy(-(FDataLink->ActiveRecord() + 1)); break;
        case ui::SB_LINEDOWN: ds->MoveBy(FDataLink->RecordCount() - FDataLink->ActiveRecord()); break;
        case ui::SB_PAGEUP: ds->MoveBy(-VisibleDataRowCount()); break;
        case ui::SB_PAGEDOWN: ds->MoveBy(VisibleDataRowCount()); break;
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
                if (pos < ds->RecordCount())
                    ds->SetRecNo(pos);
                else
                    ds->Last();
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
        case ui::SB_TOP: ds->First(); break;
        case ui::SB_BOTTOM: ds->Last(); break;
        default: break;
    }
}

void TCustomDBGridEh::WMHScroll(ui::TWMScroll& Message) {
    if (FHorzScrollBar->Tracking() && Message.ScrollCode == ui::SB_THUMBTRACK) {
        ui::TMessage m(ui::WM_HSCROLL, 0, Message.ScrollBar);
        m.WParamLo = ui::SB_THUMBPOSITION;
        m.WParamHiS = Message.Pos;
        ui::TWMScroll s(m);
        TCustomGridEh::WMHScroll(s);
    } else {
        TCustomGridEh::WMHScroll(Message);
    }
    UpdateExtHorzScrollBar();
}

void TCustomDBGridEh::UpdateExtHorzScrollBar() {
    ui::TScrollBar* ext = FHorzScrollBar ? FHorzScrollBar->ExtScrollBar() : nullptr;
    if (!ext || !HandleAllocated()) return;
    const TGridLayoutEh L = ComputeLayout();
    const int fixed = FixedCols();
    const int maxLeft = MaxTopLeft(TGridCoord{ColCount() - 1, RowCount() - 1}, L).X;
    const int max = maxLeft > fixed ? 127 : 0;
    // A page wider than the range is refused by the bar: with nothing to scroll it covers it.
    const int page = std::clamp(L.Horz.LastWholeCell - LeftCol() + 1, 0, max + 1);
    const int pos = maxLeft > fixed ? ui::MulDiv(LeftCol() - fixed, 127, maxLeft - fixed) : 0;
    if (ext->Min() == 0 && ext->Max() == max && ext->PageSize() == page && ext->Position() == pos) return;
    ext->SetPageSize(0);
    ext->SetParams(pos, 0, max);
    ext->SetPageSize(page);
}

void TCustomDBGridEh::UpdateEditorPosition() {
    // The titles draw the left edge of the first scrolling column: repaint them when it comes into
    // view or goes out of it.
    if ((FLastTopLeft.X == FixedCols()) != (LeftCol() == FixedCols()))
        for (int r = 0; r < TitleRowCount(); ++r) InvalidateRow(r);
    TCustomGridEh::UpdateEditorPosition();
    UpdateExtHorzScrollBar();
    // The filter row's editor moves with its cell.
    if (FFilterEditing) UpdateFilterEdit(false);
    // Rows scrolled into view may reach the end of what the view has loaded.
    if (FMemTable && FDataLink->Active()) FillRecordViewClient();
    if (OnTopLeftChanged) OnTopLeftChanged(this);
    FLastTopLeft = {LeftCol(), TopRow()};
}

bool TCustomDBGridEh::DoMouseWheelDown(ui::TShiftState Shift, TPoint MousePos) {
    if (!FDataLink->Active()) return true;
    if (!FMemTable) {
        DataSet()->MoveBy(1);
        return true;
    }
    bool handled = false;
    if (OnMouseWheelDown) OnMouseWheelDown(this, Shift, MousePos, handled);
    if (handled) return true;
    const bool ctrl = Shift.Contains(ui::ssCtrl), shift = Shift.Contains(ui::ssShift);
    if (ctrl && shift)
        DataSet()->MoveBy(VisibleDataRowCount());
    else if (shift)
        DataSet()->Next();
    else if (ctrl) {
        // The page below must exist before the rows can scroll to it.
        const int shown = std::max(VisibleDataRowCount(), 1);
        FetchRecordViewRecords(TopRow() + 2 * shown - RowCount());
        RecordViewScrollBy(ui::SB_PAGEDOWN);
    } else
        RecordViewScrollBy(ui::SB_LINEDOWN);
    return true;
}

bool TCustomDBGridEh::DoMouseWheelUp(ui::TShiftState Shift, TPoint MousePos) {
    if (!FDataLink->Active()) return true;
    if (!FMemTable) {
        DataSet()->MoveBy(-1);
        return true;
    }
    bool handled = false;
    if (OnMouseWheelUp) OnMouseWheelUp(this, Shift, MousePos, handled);
    if (handled) return true;
    const bool ctrl = Shift.Contains(ui::ssCtrl), shift = Shift.Contains(ui::ssShift);
    if (ctrl && shift)
        DataSet()->MoveBy(-VisibleDataRowCount());
    else if (shift)
        DataSet()->Prior();
    else
        RecordViewScrollBy(ctrl ? ui::SB_PAGEUP : ui::SB_LINEUP);
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

bool TCustomDBGridEh::LocateText(const WideString& FieldName, const AnsiString& Text, TLocateTextMatchTypeEh MatchType,
                                 TLocateTextDirectionEh Direction, TLocateTextOptionsEh Options) {
    // The outermost of nested searches shows the hourglass and puts the old cursor back.
    if (FLocateNesting++ == 0) {
        FLocateSavedCursor = ui::Screen()->Cursor();
        ui::Screen()->SetCursor(ui::crHourGlass);
    }
    struct TRestore {
        TCustomDBGridEh* G;
        ~TRestore() {
            if (--G->FLocateNesting == 0) ui::Screen()->SetCursor(G->FLocateSavedCursor);
        }
    } restore{this};
    if (TDatasetFeaturesEh* f = FeaturesForDataSet(DataSet()))
        return f->LocateText(this, FieldName, lttInAllNodesEh, MatchType, Direction, Options, Text);
    return DefaultGridLocateText(this, FieldName, Text, lttInAllNodesEh, MatchType, Direction, Options);
}

}  // namespace grid
