// The grid's two timers: the auto-scroll of a drag beyond the data area and of record moving
// (timer 1), and the end of incremental search (timer 2).
#include <algorithm>

#include "controls/grid/DBGridEh_Setup.h"
#include "controls/grid/DBGridEh_Style.h"
#include "framework/rtl/Ownership.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"

namespace grid {

namespace {
constexpr uintptr_t AutoScrollTimer = 1;
constexpr uintptr_t IncSearchTimer = 2;

// The last column shown whole right of the left column.
int LastWholeCol(TCustomDBGridEh* G, const TRect& Area) {
    int last = G->LeftCol();
    for (int c = G->LeftCol(); c < G->ColCount(); ++c) {
        const TRect r = G->SingleCellRect(c, 0);
        if (r.IsEmpty() || r.Right > Area.Right) break;
        last = c;
    }
    return last;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Auto-scroll

void TCustomDBGridEh::StartAutoScrollTimer(int Interval) {
    if (!HandleAllocated()) return;
    if (!FAutoScrollTimerOn || FAutoScrollInterval != Interval) {
        ui::KillTimer(Handle(), AutoScrollTimer);
        ui::SetTimer(Handle(), AutoScrollTimer, static_cast<uint32_t>(Interval));
        FAutoScrollInterval = Interval;
    }
    FAutoScrollTimerOn = true;
}

void TCustomDBGridEh::StopAutoScrollTimer() {
    if (!FAutoScrollTimerOn) return;
    if (HandleAllocated()) ui::KillTimer(Handle(), AutoScrollTimer);
    FAutoScrollTimerOn = false;
    FAutoScrollInterval = -1;
}

void TCustomDBGridEh::AutoScrollTimerTick() {
    if (!DataLinkActive()) return;
    const TRect area = DataAreaRect();
    if (FMouseState == msColSelectingEh) {
        const TPoint p = ScreenToClient(ui::GetCursorPos());
        int beyond = 0;
        if (p.X >= area.Right) {
            beyond = p.X - area.Right + 1;
            if (LastWholeCol(this, area) < ColCount() - 1) {
                SetLeftCol(LeftCol() + 1);
                FSelection->Columns()->Extend(FColumns->Items(GridToDataCol(LastWholeCol(this, area))));
            }
        } else if (p.X < area.Left) {
            beyond = area.Left - p.X;
            if (LeftCol() > FixedCols()) {
                SetLeftCol(LeftCol() - 1);
                FSelection->Columns()->Extend(FColumns->Items(GridToDataCol(LeftCol())));
            }
        } else {
            return;
        }
        StartAutoScrollTimer(std::max(0, 200 - 10 * beyond));
        return;
    }
    const TPoint p = FMouseDownPos;
    int vDir = 0, vDist = 0, hDir = 0, hDist = 0;
    if (p.Y < area.Top) {
        vDir = -1;
        vDist = area.Top - p.Y;
    } else if (p.Y >= area.Bottom) {
        vDir = 1;
        vDist = p.Y - area.Bottom + 1;
    }
    if (p.X >= area.Right) {
        hDir = 1;
        hDist = p.X - area.Right + 1;
    } else if (p.X < area.Left) {
        hDir = -1;
        hDist = area.Left - p.X;
    }
    const int d = std::max(vDist, hDist);
    if (vDir == 0 && hDir == 0) {
        StopAutoScrollTimer();
        return;
    }
    const int step = std::min(d / 6, 8);
    LockUpdates();
    rtl::TryFinally(
        [&] {
            if (vDir != 0 && FMouseState != msRectSelectingEh)
                SelectRecordsMove(FLastMouseShift.Contains(ui::ssLeft) && FTrackingRecords, vDir * step);
            if (hDir != 0 && FTrackingData) {
                if (hDir < 0 && LeftCol() > FixedCols())
                    SetLeftCol(LeftCol() - 1);
                else if (hDir > 0 && LastWholeCol(this, area) < ColCount() - 1)
                    SetLeftCol(LeftCol() + 1);
            }
            if (hDir != 0 && !FTrackingRecords) {
                const int next = std::clamp(Col() + hDir, static_cast<int>(FIndicatorColCount), ColCount() - 1);
                if (next != Col()) GoToColumn(next, hDir);
            }
            if (FMouseState == msRectSelectingEh) {
                if (vDir != 0) DataSet()->MoveBy(vDir * step);
                if (!DataSet()->IsEmpty()) FSelection->Rect()->Select(CurrentDataCol(), DataSet()->Bookmark(), true);
            }
        },
        [&] { UnlockUpdates(); });
    if (UpdateNesting() == 0 && HandleAllocated()) Update();
    StartAutoScrollTimer(std::max(0, 200 - 15 * d));
}

// ---------------------------------------------------------------------------------------------
// Record moving

bool TCustomDBGridEh::RecordMovingMouseDown(int X, int Y, bool CheckOnly) {
    if (!DataLinkActive() || !FOptionsEh.Contains(dghRecordMoving)) return false;
    const TGridCoord cell = MouseCoord(X, Y);
    const int titleRows = TitleRowCount();
    if (cell.X < 0 || cell.X >= FIndicatorColCount || cell.Y < titleRows || cell.Y >= RowCount() - FFooterRowCount ||
        DataSet()->IsEmpty())
        return false;
    const int record = cell.Y - titleRows;
    if (record >= FDataLink->RecordCount()) return false;
    db::TBookmark bookmark;
    bool selected = false;
    const int saved = FDataLink->ActiveRecord();
    rtl::TryFinally(
        [&] {
            FDataLink->SetActiveRecord(record);
            bookmark = DataSet()->GetBookmark();
            selected = FSelectedRecords->CurrentRowSelected();
        },
        [&] { FDataLink->SetActiveRecord(saved); });
    if (FOptions.Contains(dgMultiSelect) && SelectionAllowed(gstRecordBookmarks)) {
        const ui::TShiftState shift = ui::GetShiftState();
        if (!selected || shift.Contains(ui::ssShift) || shift.Contains(ui::ssCtrl) || shift.Contains(ui::ssAlt))
            return false;
    }
    if (CheckOnly) return true;
    FMoveFromRow = FMoveToRow = cell.Y;
    FMoveBookmark = bookmark;
    if (AllowRecordMoveStart(FMoveFromRow, FMoveToRow, TPoint{X, Y})) {
        FMouseState = msRecordMovingEh;
        if (HandleAllocated()) Update();
        FMoveLineFrom = 0;
        FMoveLineTo = ClientWidth();
        DrawRecordMoveLine();
        StartAutoScrollTimer(60);
        FMouseTracking = true;
    }
    return true;
}

void TCustomDBGridEh::DrawRecordMoveLine() {
    if (FMouseState != msRecordMovingEh || !HandleAllocated()) return;
    const TRect r = SingleCellRect(0, FMoveToRow);
    const int y = FMoveToRow > FMoveFromRow ? r.Bottom : r.Top;
    ui::TCanvas* c = Canvas();
    ui::TPen saved;
    saved.Assign(c->Pen());
    c->Pen()->SetMode(ui::pmXor);
    c->Pen()->SetStyle(ui::psDot);
    c->Pen()->SetWidth(5);
    c->Pen()->SetColor(ui::clSilver);
    c->MoveTo(FMoveLineFrom, y);
    c->LineTo(FMoveLineTo, y);
    c->MoveTo(FMoveLineFrom, y - 5);
    c->LineTo(FMoveLineFrom, y + 5);
    c->Pen()->Assign(&saved);
    FMoveLineShown = !FMoveLineShown;
}

void TCustomDBGridEh::RecordMovingMouseMove(int X, int Y) {
    if (FMouseState != msRecordMovingEh) return;
    const int titleRows = TitleRowCount();
    const int firstData = titleRows, lastData = titleRows + std::max(FDataLink->RecordCount(), 1) - 1;
    const TGridCoord cell = MouseCoord(X, Y);
    int target = cell.Y;
    if (target == FMoveFromRow && X > FMoveLineFrom && FMoveToRow == FMoveFromRow) return;
    auto scroll = [&](int By) {
        if (FMoveLineShown) DrawRecordMoveLine();
        db::TDataSet* ds = DataSet();
        const int active = FDataLink->ActiveRecord();
        ds->MoveBy(By > 0 ? FDataLink->RecordCount() - active : -active - 1);
        if (HandleAllocated()) Update();
    };
    if (Y >= SingleCellRect(0, lastData).Bottom || cell.Y > lastData) {
        scroll(1);
        target = lastData;
    } else if (Y < SingleCellRect(0, firstData).Top || (cell.Y >= 0 && cell.Y < firstData)) {
        scroll(-1);
        target = firstData;
    }
    if (!MoveSelectedRecords(target - titleRows, true)) {
        if (!FMoveLineShown) DrawRecordMoveLine();
        return;
    }
    if (FMoveLineShown) DrawRecordMoveLine();
    FMoveToRow = target;
    DrawRecordMoveLine();
}

void TCustomDBGridEh::RecordMovingMouseUp(int X, int Y, bool Drop) {
    StopAutoScrollTimer();
    if (FMoveLineShown) DrawRecordMoveLine();
    FMouseState = msNoneEh;
    int from = FMoveFromRow, to = FMoveToRow;
    if (Drop && CanEndRowMove(from, to, TPoint{X, Y}) && to != from) MoveSelectedRecords(to - TitleRowCount(), false);
}

bool TCustomDBGridEh::MoveSelectedRecords(int TargetDataRow, bool CheckOnly) {
    if (FSelectedRecords->Count() > 0) {
        std::vector<db::TBookmark> list;
        for (int i = 0; i < FSelectedRecords->Count(); ++i) list.push_back(FSelectedRecords->Items(i));
        return MoveRecords(list, TargetDataRow, CheckOnly);
    }
    return MoveRecords({FMoveBookmark}, TargetDataRow, CheckOnly);
}

bool TCustomDBGridEh::MoveRecords(const std::vector<db::TBookmark>& Bookmarks, int TargetDataRow, bool CheckOnly) {
    const int toRecNo = RecNoOfDataRow(TargetDataRow);
    if (OnMoveRecords) {
        bool result = false;
        OnMoveRecords(this, Bookmarks, toRecNo, CheckOnly, result);
        return result;
    }
    return DefaultMoveRecords(Bookmarks, TargetDataRow, CheckOnly);
}

bool TCustomDBGridEh::DefaultMoveRecords(const std::vector<db::TBookmark>& Bookmarks, int TargetDataRow,
                                         bool CheckOnly) {
    db::TDataSet* ds = DataSet();
    if (!ds) return false;
    TDBGridEhCenter* center = CurrentGridCenter();
    if (!center) return false;
    if (CheckOnly) return center->MoveRecords(this, Bookmarks, RecNoOfDataRow(TargetDataRow), true);
    // Afterwards the window shows the records it showed, around the record in its middle.
    const int middle = FDataLink->RecordCount() / 2;
    int middleRecNo = -1;
    const int offset = FDataLink->ActiveRecord() - middle;
    const int saved = FDataLink->ActiveRecord();
    rtl::TryFinally(
        [&] {
            FDataLink->SetActiveRecord(middle);
            middleRecNo = ds->RecNo();
        },
        [&] { FDataLink->SetActiveRecord(saved); });
    const bool moved = center->MoveRecords(this, Bookmarks, RecNoOfDataRow(TargetDataRow), false);
    if (middleRecNo > 0) {
        ds->SetRecNo(middleRecNo);
        ds->MoveBy(offset);
    }
    return moved;
}

void TCustomDBGridEh::IncSearchAppend(const AnsiString& Text, int Interval, TLocateTextDirectionEh Direction) {
    if (!DataLinkActive()) return;
    AnsiString text = FIncSearchText + Text;
    bool found = false;
    if (!text.empty()) {
        found =
            LocateText(u"", text, lmtFromBeginEh, Direction, ltoCaseInsensitiveEh | ltoMatchFormatEh | ltoStopOnEscape);
        // The search text takes the letter case of the data.
        if (found)
            if (db::TField* f = CurrentField()) text = f->DisplayText().substr(0, text.size());
    }
    HideEditor();
    FIncSearchActive = true;
    if (found || Text.empty()) FIncSearchText = text;
    if (HandleAllocated()) InvalidateRow(Row());
    FIncSearchInterval = Interval;
    if (HandleAllocated()) {
        ui::KillTimer(Handle(), IncSearchTimer);
        if (Interval >= 0) ui::SetTimer(Handle(), IncSearchTimer, static_cast<uint32_t>(Interval));
    }
}

void TCustomDBGridEh::IncSearchStop() {
    if (!FIncSearchActive) return;
    if (HandleAllocated()) ui::KillTimer(Handle(), IncSearchTimer);
    FIncSearchActive = false;
    FIncSearchText.clear();
    if (HandleAllocated()) InvalidateRow(Row());
    if (FOptions.Contains(dgAlwaysShowEditor) && EditorShownAlways()) ShowInplaceEditor();
}

void TCustomDBGridEh::WMTimer(ui::TWMTimer& Message) {
    if (Message.TimerID == IncSearchTimer) {
        IncSearchStop();
        return;
    }
    TCustomGridEh::WMTimer(Message);
    if (Message.TimerID != AutoScrollTimer) return;
    if (FMouseState == msRecordMovingEh) {
        const TPoint p = ScreenToClient(ui::GetCursorPos());
        RecordMovingMouseMove(p.X, p.Y);
    } else if (FTrackingRecords || FTrackingData || FMouseState == msColSelectingEh) {
        AutoScrollTimerTick();
    }
}

void TCustomDBGridEh::KeyPress(char& Key) {
    if (Key == '\r' && FOptionsEh.Contains(dghEnterAsTab)) Key = '\t';
    if (Key == '\r' && !FOptions.Contains(dgAlwaysShowEditor) && DataLinkActive()) FDataLink->UpdateRecord();
    const bool searching = FIncSearchActive || (FOptionsEh.Contains(dghPreferIncSearch) &&
                                                !FOptions.Contains(dgAlwaysShowEditor) && !EditorMode());
    if (searching && static_cast<unsigned char>(Key) >= 32 && DataLinkActive() && DataSet()->State() == db::dsBrowse) {
        IncSearchAppend(AnsiString(1, Key), FIncSearchActive ? FIncSearchInterval : IncSearchInterval, ltdAllEh);
        Key = 0;
        return;
    }
    TCustomGridEh::KeyPress(Key);
}

}  // namespace grid
