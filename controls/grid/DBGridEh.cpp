#include "controls/grid/DBGridEh.h"

#include <algorithm>

#include "controls/grid/DBGridEh_Style.h"
#include "framework/rtl/Ownership.h"

namespace grid {

TColCellParamsEh::TColCellParamsEh() = default;

// ---------------------------------------------------------------------------------------------
// Construction

TCustomDBGridEh::TCustomDBGridEh(rtl::TComponent* Owner)
    : TCustomGridEh(Owner),
      FDisplayedColumnList(rtl::Create<TColumnsEhList>()),
      FSortMarkedColumnList(rtl::Create<TColumnsEhList>()),
      FDataLink(rtl::Create<TGridDataLinkEh>(this)),
      FSelectedRecords(rtl::Create<TBookmarkListEh>(this)),
      FSTFilter(rtl::Create<TSTDBGridEhFilter>(this)),
      FHeadTree(rtl::Create<THeadTreeNode>("Root", 0, 10)),
      FColCellParams(rtl::Create<TColCellParamsEh>()),
      FTitleFont(rtl::Create<ui::TFont>()),
      FFooterFont(rtl::Create<ui::TFont>()) {
    FSelection.reset(rtl::Create<TDBGridEhSelection>(this));
    FVertScrollBar.reset(rtl::Create<TVertDBGridEhScrollBar>(this));
    FHorzScrollBar.reset(rtl::Create<TDBGridEhScrollBar>(this, false));
    FIndicatorTitle.reset(rtl::Create<TDBGridEhIndicatorTitle>(this));
}

TCustomDBGridEh::~TCustomDBGridEh() = default;

void TCustomDBGridEh::AfterConstruction() {
    TCustomGridEh::AfterConstruction();
    SetDesignGridOptions(TGridOptionsEh{gopColSizing});
    SetBaseDefaultDrawing(false);
    SetStoreExtents(false);
    ApplyBaseGridOptions();
    SetColor(ui::clWindow);
    SetParentColor(false);
    FTitleFont->Assign(Font());
    FFooterFont->Assign(Font());
    FTitleFont->OnChange = [this](rtl::TObject*) { TitleFontChanged(); };
    FFooterFont->OnChange = [this](rtl::TObject*) { FooterFontChanged(); };
    FSumList.reset(rtl::Create<TDBGridEhSumList>(this));
    FSumList->SumListChanged = [this](rtl::TObject*) { InvalidateFooter(); };
    FSumList->OnRecalcAll = [this](rtl::TObject*) {
        if (OnSumListRecalcAll) OnSumListRecalcAll(FSumList.get());
    };
    FSumList->OnAfterRecalcAll = [this](rtl::TObject*) {
        if (OnSumListAfterRecalcAll) OnSumListAfterRecalcAll(FSumList.get());
    };
    FColumnDefValues.reset(CreateColumnDefValues());
    FColumns.reset(CreateColumns());
    SetGridSize(2, 2);
    SetStyle(CurrentGridStyle());
    SetCenter(CurrentGridCenter());
}

void TCustomDBGridEh::BeforeDestruction() {
    Destroying();
    SetDataSource(nullptr);
    SetStyle(nullptr);
    SetCenter(nullptr);
    QueryMemTable();
    FSortMarkedColumnList->Clear();
    FDisplayedColumnList->Clear();
    // The columns go while the grid is whole: they detach from its lists and fonts.
    FColumns.reset();
    FColumnDefValues.reset();
    FLeafFieldArr.clear();
    TCustomGridEh::BeforeDestruction();
}

TColumnDefValuesEh* TCustomDBGridEh::CreateColumnDefValues() { return rtl::Create<TDBGridEhColumnDefValuesEh>(this); }

TDBGridColumnsEh* TCustomDBGridEh::CreateColumns() {
    return rtl::Create<TDBGridColumnsEh>(this, TDBGridColumnEh::StaticClass());
}

// ---------------------------------------------------------------------------------------------
// Options

void TCustomDBGridEh::ApplyBaseGridOptions() {
    TGridOptionsEh o{gopFixedVertLine, gopFixedHorzLine, gopVertLine, gopHorzLine};
    if (!FOptions.Contains(dgColLines)) o = o - TGridOptionsEh{gopFixedVertLine, gopVertLine};
    if (!FOptions.Contains(dgRowLines)) o = o - TGridOptionsEh{gopFixedHorzLine, gopHorzLine};
    if (FRowSizingAllowed) o.Include(gopRowSizing);
    if (FOptions.Contains(dgTabs)) o.Include(gopTabs);
    // A selected row is the current cell: nothing in it is edited.
    if (FOptions.Contains(dgRowSelect)) {
        o.Include(gopRowSelect);
    } else {
        if (FOptions.Contains(dgEditing)) o.Include(gopEditing);
        if (FOptions.Contains(dgAlwaysShowEditor)) o.Include(gopAlwaysShowEditor);
    }
    if (FOptionsEh.Contains(dghColumnResize)) o.Include(gopColSizing);
    if (FOptionsEh.Contains(dghColumnMove)) o.Include(gopColMoving);
    SetGridOptions(o);
}

void TCustomDBGridEh::SyncColumnResizeOptions(TDBGridOptions NewOptions, TDBGridEhOptions NewOptionsEh) {
    const TDBGridEhOptions pair{dghColumnResize, dghColumnMove};
    auto hasPair = [&](TDBGridEhOptions o) { return (o * pair) == pair; };
    const bool newResize = NewOptions.Contains(dgColumnResize);
    const bool oldResize = FOptions.Contains(dgColumnResize);
    if (newResize && !oldResize) {
        FOptionsEh = FOptionsEh + pair;
    } else if (!newResize && oldResize) {
        FOptionsEh = FOptionsEh - pair;
    } else {
        if (hasPair(NewOptionsEh) && !hasPair(FOptionsEh))
            FOptions.Include(dgColumnResize);
        else if (!hasPair(NewOptionsEh) && hasPair(FOptionsEh))
            FOptions.Exclude(dgColumnResize);
    }
    if (NewOptions == FOptions && NewOptions.Contains(dgColumnResize)) FOptionsEh = FOptionsEh + pair;
}

void TCustomDBGridEh::SetOptions(TDBGridOptions Value) {
    if (Value == FOptions) return;
    const TDBGridOptions layoutMembers{dgEditing,  dgAlwaysShowEditor, dgTitles,    dgIndicator,
                                       dgColLines, dgRowLines,         dgRowSelect, dgAlwaysShowSelection};
    const TDBGridOptions old = FOptions;
    if (old.Contains(dgMultiSelect) && !Value.Contains(dgMultiSelect)) ClearGridSelection();
    if (!Loading()) SyncColumnResizeOptions(Value, FOptionsEh);
    FOptions = Value;
    ApplyBaseGridOptions();
    if (((old - Value) + (Value - old)) * layoutMembers != TDBGridOptions{}) LinkLayoutChanged();
    if (HandleAllocated()) UpdateEdit();
}

void TCustomDBGridEh::SetOptionsEh(TDBGridEhOptions Value) {
    if (Value == FOptionsEh) return;
    const TDBGridEhOptions old = FOptionsEh;
    if (old.Contains(dghMultiSortMarking) && !Value.Contains(dghMultiSortMarking)) {
        // Every marked column but the first loses its marker.
        std::vector<TColumnEh*> others;
        for (int i = 1; i < FSortMarkedColumnList->Count(); ++i) others.push_back(FSortMarkedColumnList->Items(i));
        for (TColumnEh* c : others) c->Title()->SetSortMarker(smNoneEh);
    }
    if (!Loading()) SyncColumnResizeOptions(FOptions, Value);
    FOptionsEh = Value;
    ApplyBaseGridOptions();
    if (old.Contains(dghAutoFitRowHeight) != Value.Contains(dghAutoFitRowHeight)) UpdateAllRowHeights();
    // Record numbers need an indicator wide enough for them now, not at the next data change.
    if (old.Contains(dghShowRecNo) != Value.Contains(dghShowRecNo)) FIndicatorColWidth = CalcIndicatorWidth();
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetAllowedSelections(TDBGridEhAllowedSelections Value) {
    FAllowedSelections = Value;
    if (FSelectionType != gstNon && !FAllowedSelections.Contains(FSelectionType)) ClearGridSelection();
}

bool TCustomDBGridEh::SelectionAllowed(TDBGridEhSelectionType Kind) const {
    if (Kind == gstNon) return true;
    if (!FOptions.Contains(dgMultiSelect) || !FAllowedSelections.Contains(Kind)) return false;
    if ((Kind == gstRectangle || Kind == gstColumns) && FOptions.Contains(dgRowSelect)) return false;
    return true;
}

void TCustomDBGridEh::Loaded() {
    TCustomGridEh::Loaded();
    SyncColumnResizeOptions(FOptions, FOptionsEh);
    ApplyBaseGridOptions();
    if (FColumns->Count() > 0 && FAutoFitColWidths && !ComponentState().Contains(rtl::csDesigning)) {
        FColumns->BeginUpdate();
        rtl::TryFinally(
            [&] {
                for (int i = 0; i < FColumns->Count(); ++i)
                    FColumns->Items(i)->SetFitWidth(FColumns->Items(i)->Width());
            },
            [&] { FColumns->EndUpdate(); });
    }
    RebuildSortMarkedColumnList();
    FSumList->FinishLoading();
    LinkLayoutChanged();
}

// ---------------------------------------------------------------------------------------------
// Data

void TCustomDBGridEh::SetDataSource(db::TDataSource* Value) {
    if (Value == FDataLink->DataSource()) return;
    ClearGridSelection();
    // The old source keeps its notification: a column's list may still refer to it.
    FDataLink->SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
    LinkActiveChanged(FDataLink->Active());
}

TColumnEh* TCustomDBGridEh::CurrentColumn() const {
    const int c = CurrentDataCol();
    return c >= 0 && c < FColumns->Count() ? FColumns->Items(c) : nullptr;
}

db::TField* TCustomDBGridEh::CurrentField() const {
    TColumnEh* c = CurrentColumn();
    return c ? c->Field() : nullptr;
}

void TCustomDBGridEh::FocusFieldColumn(db::TField* Field) {
    if (!Field) return;
    for (int i = 0; i < FColumns->Count(); ++i) {
        if (FColumns->Items(i)->Field() == Field && FColumns->Items(i)->Visible()) SetCol(DataToGridCol(i));
    }
}

void TCustomDBGridEh::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TCustomGridEh::Notification(AComponent, Operation);
    if (Operation != rtl::opRemove || !FColumns) return;
    if (auto* menu = dynamic_cast<ui::TPopupMenu*>(AComponent)) {
        for (int i = 0; i < FColumns->Count(); ++i)
            if (FColumns->Items(i)->PopupMenu() == menu) FColumns->Items(i)->SetPopupMenu(nullptr);
        if (FIndicatorTitle && FIndicatorTitle->DropdownMenu() == menu) FIndicatorTitle->SetDropdownMenu(nullptr);
    }
    if (auto* bar = dynamic_cast<ui::TScrollBar*>(AComponent)) {
        for (TDBGridEhScrollBar* settings : {FVertScrollBar.get(), FHorzScrollBar.get()})
            if (settings && settings->ExtScrollBar() == bar) settings->SetExtScrollBar(nullptr);
    }
    if (auto* images = dynamic_cast<ui::TCustomImageList*>(AComponent)) {
        if (FTitleImages == images) SetTitleImages(nullptr);
        for (int i = 0; i < FColumns->Count(); ++i)
            if (FColumns->Items(i)->ImageList() == images) FColumns->Items(i)->SetImageList(nullptr);
    }
    if (auto* source = dynamic_cast<db::TDataSource*>(AComponent)) {
        for (int i = 0; i < FColumns->Count(); ++i) {
            TSTColumnFilterEh* f = FColumns->Items(i)->STFilter();
            if (f && f->ListSource() == source) f->SetListSource(nullptr);
            TColumnDropDownBoxEh* box = FColumns->Items(i)->DropDownBox();
            if (box && box->ListSource() == source) box->ClearListSource();
        }
        if (source == DataSource()) SetDataSource(nullptr);
    }
    if (auto* field = dynamic_cast<db::TField*>(AComponent)) {
        bool unbound = false;
        OpenLayoutBracket();
        rtl::TryFinally(
            [&] {
                for (int i = 0; i < FColumns->Count(); ++i) {
                    TColumnEh* c = FColumns->Items(i);
                    if (c->CachedField() == field) {
                        c->ClearFieldReference();
                        unbound = true;
                    }
                }
                FDataLink->ClearFieldMapping();
            },
            [&] {
                db::TDataSet* ds = DataSet();
                if (unbound && !(ds && ds->ControlsDisabled()) && !IsDestroying()) {
                    CloseLayoutBracket();
                } else {
                    // Closed without a rebuild: the dataset rebuilds its controls when it is enabled.
                    if (FLayoutNesting == 1) FColumns->EndUpdate();
                    if (FLayoutNesting > 0) --FLayoutNesting;
                    UnlockUpdates();
                }
            });
    }
    if (dynamic_cast<db::TDataSet*>(AComponent)) LinkLayoutChanged();
}

// ---------------------------------------------------------------------------------------------
// Geometry

int TCustomDBGridEh::TitleRowCount() const { return (TitlesVisible() ? 1 : 0) + (FilterRowVisible() ? 1 : 0); }

TCellAreaEh TCustomDBGridEh::GetCellType(int ACol, int ARow) const {
    TCellAreaEh r;
    if (ACol < FIndicatorColCount) {
        r.ColArea = ccaIndicator;
    } else {
        r.ColArea = ccaData;
        r.DataCol = ACol - FIndicatorColCount;
    }
    const int titleRows = TitlesVisible() ? 1 : 0;
    const int firstDataRow = TitleRowCount();
    const int lastDataRow = RowCount() - 1;
    if (ARow < titleRows) {
        r.RowArea = rcaTitle;
    } else if (ARow < titleRows + (FilterRowVisible() ? 1 : 0)) {
        r.RowArea = rcaFilter;
        r.DataRow = ARow - titleRows;
    } else if (ARow >= firstDataRow && ARow <= lastDataRow) {
        r.RowArea = rcaData;
        r.DataRow = ARow - firstDataRow;
    } else if (ARow > lastDataRow) {
        r.RowArea = rcaFooter;
        r.DataRow = ARow - (lastDataRow + 1);
    } else {
        throw rtl::Exception(msg::SAlgorithmError);
    }
    return r;
}

TGridRect TCustomDBGridEh::DataAreaBounds() const {
    return TGridRect{FIndicatorColCount, TitleRowCount(), ColCount() - 1, RowCount() - 1};
}

TRect TCustomDBGridEh::DataAreaRect() const { return CellRangeRect(DataAreaBounds(), false); }

int TCustomDBGridEh::VisibleDataRowCount() const {
    const TGridAxisLayoutEh v = ComputeLayout().Vert;
    return std::max(v.LastWholeCell - v.FirstScrollCell + 1, 0);
}

void TCustomDBGridEh::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
    const TCellAreaEh area = GetCellType(ACol, ARow);
    if (area.ColArea == ccaIndicator)
        DrawIndicatorCell(ACol, ARow, area, AState, ARect);
    else if (area.RowArea == rcaFooter)
        DrawFooterCell(ACol, ARow, area, AState, ARect);
    else if (area.RowArea == rcaData)
        DrawDataCell(ACol, ARow, area, AState, ARect);
    else
        DrawTitleCell(ACol, ARow, area, AState, ARect);
}


// ---------------------------------------------------------------------------------------------
// Mechanical setters

void TCustomDBGridEh::SetAutoFitColWidths(bool Value) {
    if (Value == FAutoFitColWidths) return;
    FAutoFitColWidths = Value;
    if (Value && !Loading()) {
        for (int i = 0; i < FColumns->Count(); ++i) FColumns->Items(i)->SetFitWidth(FColumns->Items(i)->Width());
    }
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetFooterRowCount(int Value) {
    if (Value == FFooterRowCount || Value < 0) return;
    FFooterRowCount = Value;
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetFrozenCols(int Value) {
    if (Value == FFrozenCols || Value < 0) return;
    FFrozenCols = Value;
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetContraColCount(int Value) {
    if (Value == FContraColumns) return;
    FContraColumns = Value;
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetReadOnly(bool Value) {
    if (Value == FReadOnly) return;
    FReadOnly = Value;
    Invalidate();
    if (!ComponentState().Contains(rtl::csReading)) UpdateColumnTabStopsAndWidths();
}

void TCustomDBGridEh::SetRowHeight(int Value) {
    Value = std::max(Value, 0);
    if (Value == FRowHeight) return;
    FRowHeight = Value;
    LinkLayoutChanged();
    UpdateAllRowHeights();
}

void TCustomDBGridEh::SetRowLines(int Value) {
    Value = std::max(Value, 0);
    if (Value == FRowLines) return;
    FRowLines = Value;
    LinkLayoutChanged();
    UpdateAllRowHeights();
}

void TCustomDBGridEh::SetRowSizingAllowed(bool Value) {
    if (Value == FRowSizingAllowed) return;
    FRowSizingAllowed = Value;
    ApplyBaseGridOptions();
}

void TCustomDBGridEh::SetTitleHeight(int Value) {
    FTitleHeight = Value;
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetTitleLines(int Value) {
    FTitleLines = Value;
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetUseMultiTitle(bool Value) {
    FUseMultiTitle = Value;
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetVTitleMargin(int Value) {
    FVTitleMargin = Value;
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetMinAutoFitWidth(int Value) {
    FMinAutoFitWidth = Value;
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetDrawMemoText(bool Value) {
    FDrawMemoText = Value;
    Invalidate();
}

void TCustomDBGridEh::SetDrawGraphicData(bool Value) {
    FDrawGraphicData = Value;
    Invalidate();
}

void TCustomDBGridEh::SetEvenRowColor(ui::TColor Value) {
    const bool changed = Value != EvenRowColor();
    FEvenRowColor = Value;
    FEvenRowColorAssigned = true;
    if (changed) Invalidate();
}

void TCustomDBGridEh::SetOddRowColor(ui::TColor Value) {
    const bool changed = Value != OddRowColor();
    FOddRowColor = Value;
    FOddRowColorAssigned = true;
    if (changed) Invalidate();
}

void TCustomDBGridEh::SetFooterColor(ui::TColor Value) {
    FFooterColor = Value;
    if (!Loading()) SetParentColor(false);
    if (FFooterRowCount > 0) Invalidate();
}

void TCustomDBGridEh::SetTitleImages(ui::TCustomImageList* Value) {
    // The old list keeps its notification: a column may still show its images.
    FTitleImages = Value;
    if (Value) Value->FreeNotification(this);
    LinkLayoutChanged();
}

void TCustomDBGridEh::SetTitleFont(ui::TFont* Value) { FTitleFont->Assign(Value); }

void TCustomDBGridEh::SetFooterFont(ui::TFont* Value) { FFooterFont->Assign(Value); }

void TCustomDBGridEh::TitleFontChanged() {
    if (!FFontChangeFromParent && !Loading()) SetParentFont(false);
    if (FOptions.Contains(dgTitles)) LinkLayoutChanged();
}

void TCustomDBGridEh::FooterFontChanged() {
    if (!FFontChangeFromParent && !Loading()) SetParentFont(false);
    if (FFooterRowCount > 0) LinkLayoutChanged();
}

void TCustomDBGridEh::CMParentFontChanged(ui::TMessage& Message) {
    TCustomGridEh::CMParentFontChanged(Message);
    if (!ParentFont()) return;
    FFontChangeFromParent = true;
    rtl::TryFinally(
        [&] {
            FTitleFont->Assign(Font());
            FFooterFont->Assign(Font());
        },
        [&] { FFontChangeFromParent = false; });
    LinkLayoutChanged();
}

void TCustomDBGridEh::CMParentColorChanged(ui::TMessage& Message) {
    TCustomGridEh::CMParentColorChanged(Message);
    if (ParentColor()) {
        FFooterColor = Color();
        Invalidate();
    }
}

// ---------------------------------------------------------------------------------------------
// Layout

void TCustomDBGridEh::OpenLayoutBracket() {
    LockUpdates();
    if (FLayoutNesting == 0) FColumns->BeginUpdate();
    ++FLayoutNesting;
}

void TCustomDBGridEh::CloseLayoutBracket() {
    if (FLayoutNesting == 0) return;
    rtl::TryFinally(
        [&] {
            if (FLayoutNesting == 1) {
                rtl::TryFinally([&] { RebuildLayout(); }, [&] { FColumns->EndUpdate(); });
            }
        },
        [&] {
            --FLayoutNesting;
            UnlockUpdates();
        });
}

bool TCustomDBGridEh::TryOpenLayoutBracket() {
    if (FUpdateNesting != 0 || FLayoutNesting != 0) return false;
    OpenLayoutBracket();
    return true;
}

void TCustomDBGridEh::LinkLayoutChanged() {
    if (!FColumns) return;
    if (TryOpenLayoutBracket()) CloseLayoutBracket();
}

void TCustomDBGridEh::MapDataLinkFields() {
    if (FColumns->HasPersistentColumns()) {
        FDataLink->SetSparseMap(true);
        for (int i = 0; i < FColumns->Count(); ++i) FDataLink->AddFieldMapping(FColumns->Items(i)->FieldName());
    } else {
        FDataLink->SetSparseMap(false);
        std::vector<db::TField*> fields;
        GetDataSetFields(fields);
        for (db::TField* f : fields)
            if (f->Visible()) FDataLink->AddFieldMapping(f->FieldName());
    }
}

void TCustomDBGridEh::GetDataSetFields(std::vector<db::TField*>& List) {
    if (db::TDataSet* ds = DataSet())
        for (db::TField* f : ds->Fields()) List.push_back(f);
}

void TCustomDBGridEh::UpdateColumnTabStopsAndWidths() {
    if (!FColumns) return;
    const int lineHidden = FOptions.Contains(dgColLines) ? -1 : 0;
    for (int i = 0; i < FColumns->Count(); ++i) {
        TColumnEh* c = FColumns->Items(i);
        const int gridCol = DataToGridCol(i);
        if (gridCol >= FullColCount()) break;
        db::TField* f = c->Field();
        const bool stop =
            c->Visible() && !c->ReadOnly() && FDataLink->Active() && f && !f->Calculated() && f->CanModify();
        SetTabStops(gridCol, stop ? 1 : 0);
        SetColWidths(gridCol, c->Visible() ? c->Width() : lineHidden);
    }
    if (IndicatorVisible() && FullColCount() > 0) SetColWidths(0, FIndicatorColWidth);
}

void TCustomDBGridEh::BuildTitleTree() {
    FHeadTree->FreeChildren();
    FLeafFieldArr.clear();
    const int lineWidth = LineWidthOfColumns();
    const int height = RowCount() > 0 ? RowHeights(0) : 0;
    for (int i = 0; i < FColumns->Count(); ++i) {
        TColumnEh* c = FColumns->Items(i);
        const int width = c->Visible() ? c->Width() : (lineWidth ? -1 : 0);
        THeadTreeNode* node = FHeadTree->AddChild(FHeadTree.get(), c->Title()->Caption(), width, height);
        node->LeafColumn = c;
        node->MarkerIndent = c->Title()->SortMarker() != smNoneEh ? 16 : 0;
        node->LineWidth = lineWidth;
        FLeafFieldArr.push_back(node);
    }
    GroupTitleLeaves(FHeadTree.get(), FLeafFieldArr);
}

void TCustomDBGridEh::RebuildSortMarkedColumnList() {
    FSortMarkedColumnList->Clear();
    std::vector<TColumnEh*> marked;
    for (int i = 0; i < FColumns->Count(); ++i)
        if (FColumns->Items(i)->Title()->SortIndex() > 0) marked.push_back(FColumns->Items(i));
    std::stable_sort(marked.begin(), marked.end(),
                     [](TColumnEh* a, TColumnEh* b) { return a->Title()->SortIndex() < b->Title()->SortIndex(); });
    for (TColumnEh* c : marked) FSortMarkedColumnList->Add(c);
}

// ---------------------------------------------------------------------------------------------
// Data link notifications

void TCustomDBGridEh::FieldDataChanged(db::TField* Field) {
    if (!HandleAllocated()) return;
    if (Field)
        InvalidateRow(Row());
    else
        Invalidate();
    db::TField* current = CurrentField();
    if (!current || (Field && Field != current)) return;
    TColumnEh* c = CurrentColumn();
    AnsiString text;
    if (c->CellKind() == cckKeyPickList)
        text = c->KeyListDisplayText();
    else if (FDrawMemoText && (current->DataType() == db::ftMemo || current->DataType() == db::ftWideMemo))
        text = TextWithCRLF(current->AsString());
    else
        text = current->Text();
    if (text == FEditText) return;
    if (TDBGridInplaceEdit* e = DBInplaceEdit())
        e->Reload();
    else
        InvalidateEditor();
}

void TCustomDBGridEh::WriteEditText() { WriteCellEditText(); }

void TCustomDBGridEh::InvalidateIndicatorCell() {
    if (IndicatorVisible() && HandleAllocated()) InvalidateCell(0, Row());
}

bool TCustomDBGridEh::EnsureGridFocus() {
    if (!Focused() && CanFocus()) SetFocus();
    return Focused();
}

bool TCustomDBGridEh::EditorShownAlways() const { return FOptions.Contains(dgAlwaysShowEditor) && !FFilterEditing; }

void TCustomDBGridEh::ShowInplaceEditor() { ShowEditor(); }

// ---------------------------------------------------------------------------------------------
// Selection

void TCustomDBGridEh::SelectionChanged() {
    if (IsDestroying()) return;
    if (OnSelectionChanged) OnSelectionChanged(this);
}

// ---------------------------------------------------------------------------------------------
// Dynamic operations

void TCustomDBGridEh::CellClick(TColumnEh* Column) {
    if (OnCellClick) OnCellClick(Column);
}

void TCustomDBGridEh::CheckButton(int ACol, bool& Enabled) {
    if (ACol < 0 || ACol >= FColumns->Count()) {
        Enabled = false;
        return;
    }
    if (OnCheckButton) OnCheckButton(this, ACol, FColumns->Items(ACol), Enabled);
}

void TCustomDBGridEh::ColEnter() {
    if (OnColEnter) OnColEnter(this);
}

void TCustomDBGridEh::ColExit() {
    if (OnColExit) OnColExit(this);
}

void TCustomDBGridEh::SortMarkingChanged() {
    if (!FOptionsEh.Contains(dghAutoSortMarking)) return;
    if (OnSortMarkingChanged)
        OnSortMarkingChanged(this);
    else
        DefaultApplySorting();
}

void TCustomDBGridEh::TitleBtnClick(int ACol, TColumnEh* Column) {
    if (OnTitleBtnClick) OnTitleBtnClick(this, ACol, Column);
}

void TCustomDBGridEh::TitleClick(TColumnEh* Column) {
    if (OnTitleClick) OnTitleClick(Column);
}

void TCustomDBGridEh::EditButtonClick() {
    if (OnEditButtonClick) OnEditButtonClick(this);
}

void TCustomDBGridEh::GetCellParams(TColumnEh* Column, ui::TFont* AFont, ui::TColor& Background, TGridDrawState State) {
    if (OnGetCellParams) OnGetCellParams(this, Column, AFont, Background, State);
}

void TCustomDBGridEh::GetFooterParams(int DataCol, int Row, TColumnEh* Column, ui::TFont* AFont, ui::TColor& Background,
                                      TAlignment& Alignment, TGridDrawState State, AnsiString& Text) {
    if (OnGetFooterParams) OnGetFooterParams(this, DataCol, Row, Column, AFont, Background, Alignment, State, Text);
}

void TCustomDBGridEh::DrawColumnCell(const TRect& Rect, int DataCol, TColumnEh* Column, TGridDrawState State) {
    if (OnDrawColumnCell) OnDrawColumnCell(this, Rect, DataCol, Column, State);
}

void TCustomDBGridEh::DrawDataCellEvent(const TRect& Rect, db::TField* Field, TGridDrawState State) {
    if (OnDrawDataCell) OnDrawDataCell(this, Rect, Field, State);
}


}  // namespace grid
