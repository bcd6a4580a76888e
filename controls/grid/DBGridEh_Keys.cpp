// The data grid's keys: record and column navigation through the dataset, record selection with
// Shift, inserting, appending, deleting and cancelling records, and the grid-wide shortcuts.
#include "controls/grid/DBGridEh_Setup.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Forms.h"
#include "framework/ui/Messages.h"

namespace grid {

using ui::ssAlt;
using ui::ssCtrl;
using ui::ssShift;

bool TCustomDBGridEh::DataLinkActive() const { return FDataLink && FDataLink->Active(); }

bool TCustomDBGridEh::DataSetModifiable() const {
    return DataLinkActive() && !FDataLink->ReadOnly() && DataSet()->CanModify();
}

// A record being inserted that nobody has changed yet.
bool TCustomDBGridEh::InsertedUnchanged() const {
    db::TDataSet* ds = DataSet();
    return ds && ds->State() == db::dsInsert && !ds->Modified() && !FDataLink->Modified();
}

bool TCustomDBGridEh::ConfirmDelete() {
    if (!FOptions.Contains(dgConfirmDelete)) return true;
    const AnsiString text = FSelectedRecords->Count() < 2 ? "Delete record?" : "Delete all selected records?";
    return ui::Application()->MessageBox(text, "Confirm", ui::MB_OKCANCEL | ui::MB_ICONQUESTION) != ui::IDCANCEL;
}

void TCustomDBGridEh::SelectRecordsMove(bool Select, int Distance) {
    db::TDataSet* ds = DataSet();
    const bool canSelect = Select && FOptions.Contains(dgMultiSelect) && SelectionAllowed(gstRecordBookmarks);
    while (Distance != 0) {
        const int d = Distance > 0 ? 1 : -1;
        bool awayFromAnchor = true;
        if (canSelect) {
            if (!FShiftAnchorSet) {
                FShiftAnchor = ds->Bookmark();
                FShiftAnchorSelected = FSelectedRecords->CurrentRowSelected();
                FSelectedRecords->SetCurrentRowSelected(FToggleSelect ? !FShiftAnchorSelected : true);
                FShiftAnchorSet = true;
            } else {
                const int cmp = ds->CompareBookmarks(ds->Bookmark(), FShiftAnchor);
                if (d == -cmp) {
                    // Going back toward the anchor gives up the record being left.
                    awayFromAnchor = false;
                    FSelectedRecords->SetCurrentRowSelected(FToggleSelect ? FShiftAnchorSelected : false);
                }
            }
        } else if (FOptions.Contains(dgMultiSelect) && !Select) {
            if (FOptionsEh.Contains(dghClearSelection)) ClearGridSelection();
            FShiftAnchorSet = false;
        }
        if (ds->MoveBy(d) == 0) break;
        if (canSelect) {
            const int cmp = ds->CompareBookmarks(ds->Bookmark(), FShiftAnchor);
            if (awayFromAnchor || cmp == d)
                FSelectedRecords->SetCurrentRowSelected(FToggleSelect ? !FShiftAnchorSelected : true);
        }
        Distance -= d;
    }
    if (HandleAllocated()) Invalidate();
}

void TCustomDBGridEh::MoveDown(bool Select) {
    db::TDataSet* ds = DataSet();
    if (InsertedUnchanged()) {
        if (InsertAtEnd()) return;
        ds->Cancel();
    } else {
        SelectRecordsMove(Select, 1);
    }
    if (ds->Eof() && ds->State() != db::dsInsert && DataSetModifiable() && !FReadOnly && FOptions.Contains(dgEditing) &&
        FAllowedOperations.Contains(alopAppendEh)) {
        ds->Append();
        FAppendedRecord = true;
    }
}

// Our datasets leave Eof off while appending, so the grid remembers the appends it made.
bool TCustomDBGridEh::InsertAtEnd() const {
    db::TDataSet* ds = DataSet();
    return ds->Eof() || (FAppendedRecord && ds->State() == db::dsInsert);
}

void TCustomDBGridEh::MoveUp(bool Select) {
    db::TDataSet* ds = DataSet();
    if (InsertedUnchanged() && InsertAtEnd()) {
        ds->Cancel();
        return;
    }
    SelectRecordsMove(Select, -1);
}

void TCustomDBGridEh::GoToColumn(int ACol, int Step) {
    FDataLink->UpdateRecord();
    const int first = FIndicatorColCount, last = ColCount() - 1;
    if (last < first) return;
    ACol = std::clamp(ACol, first, last);
    if (Step != 0)
        while (ACol >= first && ACol <= last && ColWidths(ACol) <= 0) ACol += Step;
    if (ACol < first || ACol > last || ACol == Col()) return;
    const int before = Col();
    ColExit();
    if (Col() != before) return;
    if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
    SetCol(ACol);
    ColEnter();
}

void TCustomDBGridEh::TabToColumn(bool Forward) {
    const int first = FIndicatorColCount, last = ColCount() - 1;
    int c = Col();
    const int start = c;
    const int step = Forward ? 1 : -1;
    for (;;) {
        c += step;
        if (c > last) {
            MoveDown(false);
            if (DataSet()->Eof() && DataSet()->State() != db::dsInsert) return;
            c = first;
        } else if (c < first) {
            if (DataSet()->Bof()) return;
            MoveUp(false);
            c = last;
        }
        if (c == start) return;
        if (TabStops(c) && ColWidths(c) > 0) break;
    }
    GoToColumn(c, 0);
}

// The base grid's navigation without firing OnKeyDown a second time.
void TCustomDBGridEh::BaseGridKeyDown(uint16_t& Key, ui::TShiftState Shift) {
    ui::TKeyEvent saved = std::move(OnKeyDown);
    OnKeyDown = nullptr;
    struct TRestore {
        ui::TKeyEvent& Event;
        ui::TKeyEvent& Saved;
        ~TRestore() { Event = std::move(Saved); }
    } restore{OnKeyDown, saved};
    TCustomGridEh::KeyDown(Key, Shift);
}

void TCustomDBGridEh::OpenFindDialog(const AnsiString& Text, const AnsiString& FieldName, bool Modal) {
    if (FindDialogHook) FindDialogHook(this, Text, FieldName, Modal);
}

void TCustomDBGridEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    FToggleSelect = Shift.Contains(ssCtrl) || !FOptionsEh.Contains(dghClearSelection);
    TCustomControl::KeyDown(Key, Shift);  // OnKeyDown before anything else
    if (Key == ui::VK_UP && FilterRowUpEntry(Shift)) {
        Key = 0;
        return;
    }
    if (Key == 0 || !DataLinkActive() || !GridAcceptsKey(Key, Shift)) return;
    db::TDataSet* ds = DataSet();
    const ui::TShortCut shortcut = ui::ShortCut(Key, Shift);
    if (shortcut == CopyFromPreviousShortCut) {
        CopyValueFromPreviousRecord();
        Key = 0;
        return;
    }
    if (shortcut == IncSearchShortCut && FOptionsEh.Contains(dghIncSearch)) {
        if (FIncSearchActive && FOptionsEh.Contains(dghDialogFind) && FindDialogShortCut == IncSearchShortCut) {
            IncSearchStop();
            OpenFindDialog("", "", true);
        } else {
            IncSearchAppend("", -1, ltdAllEh);
        }
        Key = 0;
        return;
    }
    if (FIncSearchActive && Shift.Empty()) {
        if (Key == ui::VK_RETURN || Key == ui::VK_ESCAPE || Key == ui::VK_F2) {
            IncSearchStop();
            Key = 0;
            return;
        }
        if (Key == ui::VK_BACK) {
            if (!FIncSearchText.empty()) FIncSearchText.pop_back();
            InvalidateRow(Row());
            IncSearchAppend("", FIncSearchInterval, ltdAllEh);
            Key = 0;
            return;
        }
    }
    if (FIncSearchActive && (shortcut == IncSearchNextShortCut || shortcut == IncSearchPriorShortCut)) {
        const AnsiString text = FIncSearchText;
        FIncSearchText.clear();
        IncSearchAppend(text, FIncSearchInterval, shortcut == IncSearchNextShortCut ? ltdDownEh : ltdUpEh);
        Key = 0;
        return;
    }
    if (shortcut == FindDialogShortCut && FOptionsEh.Contains(dghDialogFind)) {
        OpenFindDialog("", "", true);
        Key = 0;
        return;
    }
    const bool multiShift = Shift.Contains(ssShift) && FOptions.Contains(dgMultiSelect);
    auto clearIfNeeded = [&] {
        if (FOptionsEh.Contains(dghClearSelection)) ClearGridSelection();
        FShiftAnchorSet = false;
    };
    if (Shift.Contains(ssCtrl)) {
        switch (Key) {
            case ui::VK_HOME:
            case ui::VK_END:
                if (!multiShift) clearIfNeeded();
                if (Key == ui::VK_HOME)
                    ds->First();
                else
                    ds->Last();
                break;
            case ui::VK_LEFT: GoToColumn(FIndicatorColCount, 1); break;
            case ui::VK_RIGHT: GoToColumn(ColCount() - 1, -1); break;
            case ui::VK_INSERT:
            case 'C': RunEditKey(geaCopyEh); break;
            case 'X': RunEditKey(geaCutEh); break;
            case 'A': RunEditKey(geaSelectAllEh); break;
            case 'V':
                if (FIncSearchActive)
                    IncSearchAppendClipboard();
                else
                    RunEditKey(geaPasteEh);
                break;
            case ui::VK_DELETE:
                if (FEditActions.Contains(geaDeleteEh) && FSelectionType != gstNon) {
                    RunEditKey(geaDeleteEh);
                } else if (!FReadOnly && !ds->IsEmpty() && DataSetModifiable() &&
                           FAllowedOperations.Contains(alopDeleteEh) && ConfirmDelete()) {
                    if (FSelectedRecords->Count() == 0)
                        ds->Delete();
                    else
                        FSelectedRecords->DeleteSelected();
                }
                break;
            default: return;
        }
        Key = 0;
        return;
    }
    switch (Key) {
        case ui::VK_TAB:
            if (Shift.Contains(ssAlt)) return;
            TabToColumn(!Shift.Contains(ssShift));
            break;
        case ui::VK_RETURN:
            if (!FOptionsEh.Contains(dghEnterAsTab)) {
                BaseGridKeyDown(Key, Shift);
                return;
            }
            TabToColumn(!Shift.Contains(ssShift));
            break;
        case ui::VK_ESCAPE:
            FDataLink->Reset();
            ClearGridSelection();
            if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
            if (FGridState == gsColSizing || FGridState == gsRowSizing || FGridState == gsColMoving)
                Perform(ui::WM_CANCELMODE, 0, 0);
            break;
        case ui::VK_PRIOR:
        case ui::VK_NEXT: {
            const int d = Key == ui::VK_NEXT ? VisibleDataRowCount() : -VisibleDataRowCount();
            if (multiShift) {
                SelectRecordsMove(true, d);
            } else {
                clearIfNeeded();
                ds->MoveBy(d);
            }
            break;
        }
        case ui::VK_HOME:
        case ui::VK_END:
            if (FColumns->Count() > 1 && !FOptions.Contains(dgRowSelect)) {
                if (Key == ui::VK_HOME)
                    GoToColumn(FIndicatorColCount, 1);
                else
                    GoToColumn(ColCount() - 1, -1);
            } else {
                clearIfNeeded();
                if (Key == ui::VK_HOME)
                    ds->First();
                else
                    ds->Last();
            }
            break;
        case ui::VK_LEFT:
        case ui::VK_RIGHT:
            if (FOptions.Contains(dgRowSelect)) {
                BaseGridKeyDown(Key, Shift);
                return;
            }
            if (Key == ui::VK_LEFT)
                GoToColumn(Col() - 1, -1);
            else
                GoToColumn(Col() + 1, 1);
            break;
        case ui::VK_UP: MoveUp(Shift.Contains(ssShift)); break;
        case ui::VK_DOWN: MoveDown(Shift.Contains(ssShift)); break;
        case ui::VK_INSERT:
            if (Shift.Contains(ssShift)) {
                if (FIncSearchActive)
                    IncSearchAppendClipboard();
                else
                    RunEditKey(geaPasteEh);
                break;
            }
            if (DataSetModifiable() && !FReadOnly && FOptions.Contains(dgEditing)) {
                clearIfNeeded();
                if (FAllowedOperations.Contains(alopInsertEh)) {
                    ds->Insert();
                    FAppendedRecord = false;
                } else if (FAllowedOperations.Contains(alopAppendEh)) {
                    ds->Append();
                    FAppendedRecord = true;
                }
            }
            break;
        case ui::VK_DELETE:
            if (Shift.Contains(ssShift))
                RunEditKey(geaCutEh);
            else
                ClearImageOrCheckBoxCell();
            break;
        case ui::VK_F2: SetEditorMode(true); break;
        default: BaseGridKeyDown(Key, Shift); return;
    }
    Key = 0;
}

// A clipboard key runs its command only when the grid offers it and it can run now.
void TCustomDBGridEh::RunEditKey(TDBGridEhEditAction Action) {
    if (FEditActions.Contains(Action) && EditActionEnabled(Action)) RunEditAction(Action);
}

void TCustomDBGridEh::IncSearchAppendClipboard() {
    ui::TClipboard* cb = ui::Clipboard();
    if (cb->HasFormat(ui::CF_TEXT)) IncSearchAppend(cb->AsText(), FIncSearchInterval, ltdAllEh);
}

// Image and check-box cells have no editor to empty them: Del writes Null through the column.
void TCustomDBGridEh::ClearImageOrCheckBoxCell() {
    if (FOptions.Contains(dgRowSelect)) return;
    TColumnEh* c = CurrentColumn();
    if (!c) return;
    const TColumnCellKindEh kind = c->CellKind();
    if (kind != cckImage && kind != cckCheckBox) return;
    db::TField* f = c->Field();
    if (!f || f->Required() || !c->CanModifyField(true)) return;
    c->UpdateDataValue({}, Variant::Null(), false);
}

void TCustomDBGridEh::WMGetDlgCode(ui::TWMGetDlgCode& Message) {
    TCustomGridEh::WMGetDlgCode(Message);
    if (FOptionsEh.Contains(dghPreferIncSearch)) Message.Result |= ui::DLGC_WANTCHARS;
}

void TCustomDBGridEh::CMWantSpecialKey(ui::TCMWantSpecialKey& Message) {
    TCustomGridEh::CMWantSpecialKey(Message);
    // A form's cancel button must not take Esc while the record holds changes.
    if (Message.CharCode == ui::VK_ESCAPE && DataLinkActive() && DataSet()->Modified()) Message.Result = 1;
}

void TCustomDBGridEh::DoExit() {
    if (DataLinkActive()) {
        try {
            if (FOptions.Contains(dgCancelOnExit) && InsertedUnchanged())
                DataSet()->Cancel();
            else
                FDataLink->UpdateRecord();
        } catch (...) {
            SetFocus();
            throw;
        }
    }
    TCustomGridEh::DoExit();
}

}  // namespace grid
