// The filter row: its cells, its editor (a combo box the grid hosts), the editor's drop-down of
// values and special items, its keys, and applying the filter.
#include <algorithm>

#include "controls/grid/DBGridEh_PaintPrims.h"
#include "controls/grid/DBGridEh_Setup.h"
#include "controls/grid/DBGridEh_Style.h"
#include "framework/rtl/Ownership.h"
#include "framework/ui/Forms.h"

namespace grid {

namespace {
// The tags of the special items of the filter editor's list.
enum : int {
    ftagValue = 0,
    ftagEmpty = 1,
    ftagNotEmpty = 2,
    ftagAll = 3,
    ftagClear = 4,
    ftagLine = 5,
    ftagAscending = 6,
    ftagDescending = 7
};
}  // namespace

TInplaceFilterEditEh* TCustomDBGridEh::CreateFilterEditor() { return rtl::Create<TInplaceFilterEditEh>(this); }

bool TCustomDBGridEh::ColumnFilterable(int DataCol) const {
    if (DataCol < 0 || DataCol >= FColumns->Count()) return false;
    TColumnEh* c = FColumns->Items(DataCol);
    return c->Visible() && c->STFilter()->Visible();
}

AnsiString TCustomDBGridEh::ColumnFilterText(int DataCol) const {
    if (DataCol < 0 || DataCol >= FColumns->Count()) return {};
    return FColumns->Items(DataCol)->STFilter()->ExpressionStr();
}

void TCustomDBGridEh::SetFilterEditing(bool Value) {
    if (Value)
        StartFilterEdit(CurrentDataCol());
    else
        StopFilterEdit();
}

bool TCustomDBGridEh::CanShowFilterEditor() const {
    return FFilterEditing && FSelectionType != gstRectangle && FSelectionType != gstColumns && FSelectionType != gstAll;
}

void TCustomDBGridEh::StartFilterEdit(int DataCol) {
    if (!FSTFilter->Visible() || !ColumnFilterable(DataCol)) return;
    if (FDataLink->Active() && DataSet()) DataSet()->CheckBrowseMode();
    if (!FFilterEdit) {
        FFilterEdit = CreateFilterEditor();
        FFilterEdit->SetVisible(false);
        FFilterEdit->SetParent(this);
        editors::IHostableEditEh* host = FFilterEdit;
        host->SetInplaceEditHolder(this);
        host->SetBorderStyle(ui::TBorderStyle::bsNone);
        ui::TFont font;
        font.Assign(Font());
        font.SetColor(ui::clBlue);
        host->SetFont(&font);
        host->SetColor(BrightenColor(FixedColor(), 8));
        host->SetOnKeyPress([this](rtl::TObject*, char& Key) {
            if (Key == '\r') {
                Key = 0;
                ApplyFilter();
            }
        });
        host->SetOnExit(nullptr);
        FFilterEdit->SetFlat(Flat());
    }
    int remembered = -1;
    if (FFilterCol != -1 && FFilterEdit->Visible()) {
        remembered = FFilterCol;
        HideFilterEditor();
    }
    FFilterCol = DataCol;
    FFilterEditing = true;
    HideEditor();
    LockUpdates();
    LockPaint();
    rtl::TryFinally(
        [&] {
            if (FOptions.Contains(dgRowSelect)) {
                const int gridCol = DataToGridCol(DataCol);
                while (gridCol < LeftCol() && LeftCol() > FixedCols()) SetLeftCol(LeftCol() - 1);
                while (gridCol > LeftCol() && !SingleCellRect(gridCol, 0).Width() && LeftCol() < ColCount() - 1)
                    SetLeftCol(LeftCol() + 1);
            } else {
                GoToColumn(DataToGridCol(DataCol), 1);
            }
            FFilterCol = DataCol;
            InvalidateCell(DataToGridCol(DataCol), TitleRowCount() - 1);
        },
        [&] {
            UnlockPaint();
            UnlockUpdates();
        });
    if (remembered != -1) InvalidateCell(DataToGridCol(remembered), TitleRowCount() - 1);
    UpdateFilterEdit(true);
}

void TCustomDBGridEh::StopFilterEdit() {
    if (FSTFilter->UpdateCount() > 0) return;
    HideFilterEditor();
    FFilterEditing = false;
    if (FOptions.Contains(dgAlwaysShowEditor))
        ShowInplaceEditor();
    else
        HideEditor();
}

void TCustomDBGridEh::HideFilterEditor() {
    if (!FFilterEdit || !FFilterEdit->Visible()) return;
    if (Visible() && CanFocus() && FFilterEdit->Focused()) SetFocus();
    FFilterEdit->SetVisible(false);
    if (FFilterCol != -1) {
        StoreFilterEditText(FFilterCol);
        InvalidateCell(DataToGridCol(FFilterCol), TitleRowCount() - 1);
    }
}

void TCustomDBGridEh::UpdateFilterEdit(bool Load) {
    if (FSTFilter->UpdateCount() > 0) return;
    if (!FSTFilter->Visible() || !ColumnFilterable(FFilterCol) || !FFilterEditing) {
        SetFilterEditing(false);
        return;
    }
    TRect r = SingleCellRect(DataToGridCol(FFilterCol), TitleRowCount() - 1);
    ++r.Left;
    if (!CanShowFilterEditor()) {
        HideFilterEditor();
        return;
    }
    if (Load) {
        FFilterEdit->SetEditorBounds(TRect{});
        FillFilterEditorList(FFilterCol);
        FFilterEdit->SelectAll();
    }
    FFilterEdit->SetEditorBounds(r);
    if (Load) FFilterEdit->SetFocus();
}

void TCustomDBGridEh::FillFilterEditorList(int DataCol) {
    TColumnEh* column = FColumns->Items(DataCol);
    TSTColumnFilterEh* filter = column->STFilter();
    FFilterEdit->Items()->Clear();
    FFilterItemTags.clear();
    if (filter->ListSource() || filter->HasValueList()) {
        FFilterEdit->OnDropDown = [this](rtl::TObject*) { FilterEditorItemsRequest(); };
        FFilterEdit->CloseUpHook = [this](rtl::TObject*, bool& Accept) { FilterEditorCloseUp(Accept); };
        FFilterEdit->OnCloseUp = [this](rtl::TObject*, bool Accept) {
            if (Accept && FFilterChosenTag == ftagValue && FCenter && FCenter->FilterEditCloseUpApplyFilter())
                ApplyFilter();
        };
        FFilterEdit->SetValue(Variant::Null());
        FFilterEdit->OnButtonClick = nullptr;
        FFilterEdit->EditButton()->SetVisible(true);
        FFilterEdit->DropDownBox()->Sizable = true;
        if (!filter->KeyFieldName().empty())
            FFilterEdit->SetValueAndText(filter->KeyValues(), ColumnFilterText(DataCol));
        else
            FFilterEdit->SetValueAndText(Variant::Null(), ColumnFilterText(DataCol));
        FFilterEdit->DropDownBox()->Width = filter->DropDownWidth() > 0 ? filter->DropDownWidth() : 100;
        FFilterEdit->DropDownBox()->Rows = filter->DropDownRows() > 0 ? filter->DropDownRows() : 17;
    } else {
        FFilterEdit->SetValue(Variant::Null());
        FFilterEdit->OnDropDown = nullptr;
        FFilterEdit->CloseUpHook = nullptr;
        FFilterEdit->OnCloseUp = nullptr;
        FFilterEdit->EditButton()->SetVisible(false);
        FFilterEdit->SetEditText(ColumnFilterText(DataCol));
    }
}

void TCustomDBGridEh::FilterEditorItemsRequest() {
    if (FFilterCol < 0 || FFilterCol >= FColumns->Count()) return;
    TColumnEh* column = FColumns->Items(FFilterCol);
    TSTColumnFilterEh* filter = column->STFilter();
    if (!column->FilterValueList() && filter->ListSource()) {
        rtl::TOwnedPtr<editors::TDatasetFieldValueListEh>& cached = FFilterValueLists[column];
        cached = filter->CreateValueList();
        column->SetFilterValueList(cached.get());
    }
    std::vector<AnsiString> items;
    if (editors::IMemTableDataFieldValueListEh* list = column->FilterValueList()) {
        rtl::TStrings* values = list->GetValues();
        for (int i = 0; i < values->Count(); ++i) items.push_back(values->Strings(i));
    }
    if (column->HasKeyList() && column->HasPickList()) {
        rtl::TStrings* keys = column->KeyList();
        rtl::TStrings* picks = column->PickList();
        for (AnsiString& item : items) {
            const int k = keys->IndexOf(item);
            // A pick list shorter than the key list has no text for the later keys: the value stays.
            if (k >= 0 && k < picks->Count()) item = picks->Strings(k);
        }
    }
    std::vector<std::pair<AnsiString, int>> specials = {
        {"(Empty)", ftagEmpty}, {"(Not empty)", ftagNotEmpty}, {"(All)", ftagAll}, {"(Clear filter)", ftagClear}};
    if (FOptionsEh.Contains(dghAutoSortMarking) && column->Title()->TitleButton()) {
        specials.push_back({"-", ftagLine});
        specials.push_back({"(Order by ascending)", ftagAscending});
        specials.push_back({"(Order by descending)", ftagDescending});
    }
    rtl::TStrings* target = FFilterEdit->Items();
    target->BeginUpdate();
    rtl::TryFinally(
        [&] {
            target->Clear();
            FFilterItemTags.clear();
            for (auto it = specials.rbegin(); it != specials.rend(); ++it) {
                target->Add(it->first);
                FFilterItemTags.push_back(it->second);
            }
            for (const AnsiString& s : items) {
                target->Add(s);
                FFilterItemTags.push_back(ftagValue);
            }
        },
        [&] { target->EndUpdate(); });
}

void TCustomDBGridEh::FilterEditorCloseUp(bool& Accept) {
    FFilterChosenTag = ftagValue;
    if (!Accept) return;
    if (FFilterEdit->Visible() && FFilterCol >= 0 && FFilterCol < FColumns->Count()) {
        TSTColumnFilterEh* filter = FColumns->Items(FFilterCol)->STFilter();
        filter->SetDropDownWidth(FFilterEdit->DropDownBox()->Width);
        filter->SetDropDownRows(FFilterEdit->DropDownBox()->Rows);
    }
    const int index = FFilterEdit->PopupList()->ItemIndex();
    const int tag = index >= 0 && index < static_cast<int>(FFilterItemTags.size())
                        ? FFilterItemTags[static_cast<size_t>(index)]
                        : ftagValue;
    FFilterChosenTag = tag;
    if (tag == ftagValue) return;
    Accept = false;
    if (tag == ftagAscending || tag == ftagDescending) {
        for (int i = 0; i < FColumns->Count(); ++i) FColumns->Items(i)->Title()->SetSortMarker(smNoneEh);
        FSortMarkedColumnList->Clear();
    }
    switch (tag) {
        case ftagEmpty: FFilterEdit->SetEditText("=Null"); break;
        case ftagNotEmpty: FFilterEdit->SetEditText("<>Null"); break;
        case ftagAll: FFilterEdit->SetEditText(""); break;
        case ftagClear: ClearColumnFilters(); break;
        case ftagAscending: FColumns->Items(FFilterCol)->Title()->SetSortMarker(smDownEh); break;
        case ftagDescending: FColumns->Items(FFilterCol)->Title()->SetSortMarker(smUpEh); break;
        default: break;
    }
    const bool atOnce = FCenter && FCenter->FilterEditCloseUpApplyFilter();
    if (tag == ftagClear || ((tag == ftagEmpty || tag == ftagNotEmpty || tag == ftagAll) && atOnce)) ApplyFilter();
    if (tag == ftagAscending || tag == ftagDescending) SortMarkingChanged();
}

void TCustomDBGridEh::StoreFilterEditText(int DataCol) {
    if (DataCol < 0 || DataCol >= FColumns->Count() || !FFilterEdit) return;
    TColumnEh* column = FColumns->Items(DataCol);
    if (column->FieldName().empty()) return;
    column->STFilter()->SetFilterText(FFilterEdit->EditText());
}

void TCustomDBGridEh::StoreCurrentFilterText() {
    if (FFilterCol != -1) StoreFilterEditText(FFilterCol);
}

void TCustomDBGridEh::ClearColumnFilters() {
    StopFilterEdit();
    for (int i = 0; i < FColumns->Count(); ++i) FColumns->Items(i)->STFilter()->ClearFilter();
    Invalidate();
}

void TCustomDBGridEh::DefaultApplyFilter() {
    LockPaint();
    rtl::TryFinally(
        [&] {
            if (FCenter) FCenter->ApplyFilter(this);
        },
        [&] { UnlockPaint(); });
}

void TCustomDBGridEh::ApplyFilter() {
    if (FFilterCol != -1 && FFilterEdit && FFilterEdit->Visible()) StoreFilterEditText(FFilterCol);
    const int left = LeftCol();
    rtl::TryFinally(
        [&] {
            if (OnApplyFilter)
                OnApplyFilter(this);
            else
                DefaultApplyFilter();
        },
        [&] {
            if (left < ColCount()) SetLeftCol(left);
            UpdateFilterEdit(true);
            if (FSumList && FSumList->Active()) FSumList->RecalcAll();
            Invalidate();
        });
}

// ---------------------------------------------------------------------------------------------
// The editor's holder

void TCustomDBGridEh::GetLastMouseDown(ui::TPoint& Pos, int& Time) {
    Pos = FFilterPressPos;
    Time = FFilterPressTime;
    FFilterPressTime = 0;
}

void TCustomDBGridEh::EditorKeyPress(ui::TWinControl* Editor, char& Key) {
    if (Editor == FFilterEdit && Key == '\t') Key = 0;
}

void TCustomDBGridEh::MoveFilterCol(int From, int Step) {
    int col = From;
    for (;;) {
        col += Step;
        if (col < FIndicatorColCount)
            col = ColCount() - 1;
        else if (col >= ColCount())
            col = FIndicatorColCount;
        if (col == From) return;
        const int dataCol = GridToDataCol(col);
        if (dataCol < 0 || dataCol >= FColumns->Count()) return;
        if (ColumnFilterable(dataCol)) {
            StartFilterEdit(dataCol);
            return;
        }
    }
}

void TCustomDBGridEh::EditorKeyDown(ui::TWinControl* Editor, uint16_t& Key, ui::TShiftState Shift) {
    if (Editor != FFilterEdit || !FFilterEdit || FFilterEdit->ListOpen()) return;
    const bool ctrl = Shift.Contains(ui::ssCtrl);
    const bool plain = Shift.Empty();
    const int len = static_cast<int>(FFilterEdit->EditText().size());
    const bool atEnd = FFilterEdit->SelStart() + FFilterEdit->SelLength() >= len && FFilterEdit->SelLength() == 0 &&
                       FFilterEdit->SelStart() >= len;
    const bool atStart = FFilterEdit->SelStart() == 0 && FFilterEdit->SelLength() == 0;
    const int current = DataToGridCol(FFilterCol);
    // First/last search inwards from just outside the grid's data columns.
    const int beforeFirst = FIndicatorColCount - 1 + ColCount();
    const int afterLast = FIndicatorColCount - 1;
    switch (Key) {
        case ui::VK_TAB:
            if (!FOptions.Contains(dgTabs)) return;
            MoveFilterCol(current, Shift.Contains(ui::ssShift) ? -1 : 1);
            break;
        case ui::VK_END:
            if (!(ctrl || atEnd)) return;
            MoveFilterCol(ColCount(), -1);
            break;
        case ui::VK_HOME:
            if (!(ctrl || atStart)) return;
            MoveFilterCol(FIndicatorColCount - 1, 1);
            break;
        case ui::VK_RIGHT:
            if (!(ctrl || atEnd)) return;
            if (ctrl)
                MoveFilterCol(ColCount(), -1);
            else
                MoveFilterCol(current, 1);
            break;
        case ui::VK_LEFT:
            if (!(ctrl || atStart)) return;
            if (ctrl)
                MoveFilterCol(FIndicatorColCount - 1, 1);
            else
                MoveFilterCol(current, -1);
            break;
        case ui::VK_UP:
            if (!plain) return;
            break;
        case ui::VK_DOWN: {
            if (!(plain || Shift == ui::TShiftState{ui::ssCtrl}) || !FDataLink->Active()) return;
            const int col = FFilterCol;
            StoreCurrentFilterText();
            if (!ctrl) DataSet()->First();
            StopFilterEdit();
            GoToColumn(DataToGridCol(col), 1);
            if (CanFocus()) SetFocus();
            break;
        }
        case ui::VK_F2: FFilterEdit->SetSelStart(len); break;
        default: return;
    }
    (void)beforeFirst, (void)afterLast;
    Key = 0;
}

// ---------------------------------------------------------------------------------------------
// Entering the filter row

bool TCustomDBGridEh::FilterRowUpEntry(ui::TShiftState Shift) {
    if (!FSTFilter->Visible() || !FDataLink->Active() || !DataSet()) return false;
    if (!(DataSet()->Bof() || Shift.Contains(ui::ssCtrl))) return false;
    int col = CurrentDataCol();
    if (FOptions.Contains(dgRowSelect)) {
        col = FFilterCol >= 0 ? FFilterCol : GridToDataCol(LeftCol());
        while (col < FColumns->Count() && !ColumnFilterable(col)) ++col;
    }
    if (!ColumnFilterable(col)) return false;
    StartFilterEdit(col);
    return true;
}

bool TCustomDBGridEh::FilterRowPress(ui::TMessage& Message) {
    if ((Message.Msg != ui::WM_LBUTTONDOWN && Message.Msg != ui::WM_RBUTTONDOWN) || Designing() ||
        !FSTFilter->Visible())
        return false;
    const ui::TPoint p = ui::LParamToPoint(Message.LParam);
    const TGridCoord cell = MouseCoord(p.X, p.Y);
    if (cell.Y != TitleRowCount() - 1 || cell.X < FIndicatorColCount) return false;
    const int dataCol = GridToDataCol(cell.X);
    if (!ColumnFilterable(dataCol)) return false;
    ClearGridSelection();
    StartFilterEdit(dataCol);
    if (Message.Msg == ui::WM_LBUTTONDOWN && FFilterEdit && FFilterEdit->Visible()) {
        const ui::TPoint q = FFilterEdit->ScreenToClient(ClientToScreen(p));
        FFilterEdit->Perform(ui::WM_LBUTTONDOWN, Message.WParam, ui::PointToLParam(q.X, q.Y));
    }
    FFilterPressPos = ClientToScreen(p);
    FFilterPressTime = static_cast<int>(ui::GetMessageTime());
    return true;
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCustomDBGridEh::DrawFilterCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State,
                                     const TRect& ARect) {
    ui::TCanvas* C = Canvas();
    const bool is3D = IsCellDrawn3D(ACol, ARow, State);
    const bool themed = IsCellThemed(ACol, ARow, is3D);
    const bool flatThemed = Flat() && editors::ThemesActive();
    const bool filterCell = FilterRowVisible() && Area.ColArea == ccaData && ColumnFilterable(Area.DataCol);
    ui::TColor cellColor =
        filterCell ? BrightenColor(FixedColor(), 8) : FColumns->Items(Area.DataCol)->Title()->Color();
    if (filterCell) {
        ui::TFont font;
        font.Assign(Font());
        font.SetColor(ui::clBlue);
        C->SetFont(&font);
    } else {
        C->SetFont(FColumns->Items(Area.DataCol)->Title()->Font());
    }
    const bool highlighted =
        GetSelectedFixedCellColors(ACol, ARow, C->Font(), cellColor, IsCellSelected(ACol, ARow, Area.DataCol), Area);
    C->Brush()->SetColor(cellColor);
    if (is3D && (themed || flatThemed))
        FillCellBackground(themed, ARect, is3D, TRect{}, highlighted, false);
    else
        C->FillRect(ARect);
    if (filterCell) {
        TSTColumnFilterEh* filter = FColumns->Items(Area.DataCol)->STFilter();
        TRect text = ARect;
        const int button = Flat() ? editors::FlatButtonWidth() : ui::GetSystemMetrics(ui::SM_CXVSCROLL);
        const bool hasButton = filter->HasValueList();
        if (hasButton) text.Right -= button + (Flat() ? 1 : 0);
        if (text.Right > text.Left)
            grid::WriteCellText(C, text, true, 1, 1, ColumnFilterText(Area.DataCol), db::taLeftJustify,
                                FColumns->Items(Area.DataCol)->Layout(), false, false, 0, 0, false);
        if (hasButton) {
            TRect b{text.Right, ARect.Top, text.Right + button, ARect.Top + FEditButtonHeight};
            if (Flat()) b = TRect{b.Left - 1, b.Top, b.Right - 1, b.Bottom};
            editors::DrawEditButtonFace(C->Handle(), b, cellColor, editors::ebsDropDownEh, 0, Flat(), false,
                                        FDataLink->Active(), editors::cbUnchecked);
        }
    }
    if (is3D) {
        C->Brush()->SetColor(cellColor);
        if (!themed) DrawCellFrame(ARect, !flatThemed, true, highlighted, false);
    }
}

}  // namespace grid
