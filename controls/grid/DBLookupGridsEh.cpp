#include "controls/grid/DBLookupGridsEh.h"

#include <algorithm>

#include "framework/rtl/Clock.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"

namespace grid {

using editors::VariantValuesEqual;

namespace {
// One stamp for every lookup grid of the process: a pause anywhere starts the search over.
uint64_t GLastSearchTick = 0;
constexpr uint64_t SearchPauseMs = 2000;
constexpr size_t MaxSearchLength = 32;

WideString W(const AnsiString& S) { return rtl::AnsiToWide(S); }
}  // namespace

void ResolveLookupFields(db::TDataSet* DataSet, const AnsiString& Names, std::vector<db::TField*>& Fields) {
    Fields.clear();
    if (!DataSet) return;
    size_t pos = 0;
    while (pos <= Names.size()) {
        size_t end = Names.find(';', pos);
        if (end == AnsiString::npos) end = Names.size();
        AnsiString name = Names.substr(pos, end - pos);
        while (!name.empty() && name.front() == ' ') name.erase(0, 1);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        if (!name.empty()) {
            db::TField* f = DataSet->FindField(W(name));
            if (!f) db::DatabaseErrorFmt(lookupmsg::SFieldNotFound, {name});
            Fields.push_back(f);
        }
        pos = end + 1;
    }
}

db::TField* ResolveKeyReceivingFields(db::TDataSet* DataSet, const AnsiString& DataField,
                                      std::vector<db::TField*>& DataFields, std::vector<db::TField*>& KeyReceiving,
                                      AnsiString& KeyReceivingNames) {
    DataFields.clear();
    KeyReceiving.clear();
    KeyReceivingNames.clear();
    if (!DataSet || DataField.empty()) return nullptr;
    ResolveLookupFields(DataSet, DataField, DataFields);
    db::TField* lookup = DataFields.size() == 1 && DataFields[0]->Lookup() ? DataFields[0] : nullptr;
    if (lookup)
        ResolveLookupFields(DataSet, rtl::WideToAnsi(lookup->KeyFields()), KeyReceiving);
    else
        KeyReceiving = DataFields;
    for (size_t i = 0; i < KeyReceiving.size(); ++i)
        KeyReceivingNames += (i ? ";" : "") + rtl::WideToAnsi(KeyReceiving[i]->FieldName());
    return lookup;
}

Variant LookupKeyOfRecord(db::TDataSet* DataSet, const AnsiString& KeyField) {
    if (!DataSet || KeyField.empty()) return Variant::Null();
    return DataSet->FieldValues(W(KeyField));
}

// ---------------------------------------------------------------------------------------------
// Columns and their special-row cells

TGridColumnSpecCellEh::TGridColumnSpecCellEh(TColumnEh* Column) : FColumn(Column), FFont(rtl::Create<ui::TFont>()) {
    FFont->OnChange = [this](rtl::TObject*) {
        FFontAssigned = true;
        Changed();
    };
}

editors::TSpecRowEh* TGridColumnSpecCellEh::GridSpecRow() const {
    auto* grid = FColumn ? dynamic_cast<TDBLookupGridEh*>(FColumn->Grid()) : nullptr;
    return grid ? grid->SpecRow() : nullptr;
}

void TGridColumnSpecCellEh::Changed() {
    if (TCustomDBGridEh* grid = FColumn ? FColumn->Grid() : nullptr) grid->Invalidate();
}

AnsiString TGridColumnSpecCellEh::Text() const {
    if (FTextAssigned) return FText;
    editors::TSpecRowEh* row = GridSpecRow();
    return row ? row->TextOfCell(FColumn->Index()) : AnsiString();
}

void TGridColumnSpecCellEh::SetText(const AnsiString& Value) {
    if (FTextAssigned && Value == FText) return;
    if (!FTextAssigned && Value == Text()) return;
    FText = Value;
    FTextAssigned = true;
    Changed();
}

ui::TColor TGridColumnSpecCellEh::Color() const {
    if (FColorAssigned) return FColor;
    editors::TSpecRowEh* row = GridSpecRow();
    return row ? row->Color() : ui::clWindow;
}

void TGridColumnSpecCellEh::SetColor(ui::TColor Value) {
    if (Value == Color() && (FColorAssigned || GridSpecRow())) return;
    FColor = Value;
    FColorAssigned = true;
    Changed();
}

ui::TFont* TGridColumnSpecCellEh::Font() {
    if (!FFontAssigned)
        if (editors::TSpecRowEh* row = GridSpecRow()) CopyFontQuietly(FFont.get(), row->Font());
    return FFont.get();
}

void TGridColumnSpecCellEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TGridColumnSpecCellEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    FText = src->FText;
    FTextAssigned = src->FTextAssigned;
    FColor = src->FColor;
    FColorAssigned = src->FColorAssigned;
    if (src->FFontAssigned) FFont->Assign(src->FFont.get());
    Changed();
}

TDBLookupGridColumnEh::TDBLookupGridColumnEh(rtl::TCollection* Collection)
    : TColumnEh(Collection), FSpecCell(rtl::Create<TGridColumnSpecCellEh>(this)) {}

void TDBLookupGridColumnEh::Assign(rtl::TPersistent* Source) {
    TColumnEh::Assign(Source);
    if (auto* src = dynamic_cast<TDBLookupGridColumnEh*>(Source)) FSpecCell->Assign(src->FSpecCell.get());
}

void TDBLookupGridColumnEh::SetIndex(int Value) {
    auto* grid = dynamic_cast<TDBLookupGridEh*>(Grid());
    const int from = Index();
    // The layout's own ordering of default columns follows the list fields already; the list
    // dataset's field order is never the grid's to change.
    if (!grid || FIndexChanging || Value == from || grid->LayoutLocked()) {
        rtl::TCollectionItem::SetIndex(Value);
        return;
    }
    FIndexChanging = true;
    rtl::TryFinally([&] { grid->LookupColumnMoving(this, from, Value); }, [&] { FIndexChanging = false; });
}

void TDBLookupGridColumnEh::SetWidth(int Value) {
    if (!IsDefaultColumn()) {
        TColumnEh::SetWidth(Value);
        return;
    }
    FWidthChanging = true;
    rtl::TryFinally([&] { TColumnEh::SetWidth(Value); }, [&] { FWidthChanging = false; });
}

// ---------------------------------------------------------------------------------------------
// The receiving dataset's link

void TLookupGridDataLinkEh::ActiveChanged() {
    if (FGrid) FGrid->UpdateDataFields();
}

void TLookupGridDataLinkEh::LayoutChanged() {
    if (FGrid) FGrid->UpdateDataFields();
}

void TLookupGridDataLinkEh::RecordChanged(db::TField* Field) {
    if (FGrid) FGrid->LookupDataChanged(Field);
}

void TLookupGridDataLinkEh::FocusControl(db::TField** Field) {
    if (!FGrid || !*Field || FGrid->DataFields().empty() || *Field != FGrid->DataFields().front()) return;
    if (FGrid->CanFocus()) {
        *Field = nullptr;
        FGrid->SetFocus();
    }
}

// ---------------------------------------------------------------------------------------------

TDBLookupGridEh::TDBLookupGridEh(rtl::TComponent* Owner)
    : TCustomDBGridEh(Owner),
      FLookupLink(rtl::Create<TLookupGridDataLinkEh>(this)),
      FInternalSource(rtl::Create<db::TDataSource>(nullptr)),
      FSpecRow(rtl::Create<editors::TSpecRowEh>(this)) {
    FSpecRow->OnChanged = [this](rtl::TObject*) { RefreshDisplay(); };
}

TDBLookupGridEh::~TDBLookupGridEh() {
    FLookupLink->ClearGrid();
    FLookupLink->SetDataSource(nullptr);
}

void TDBLookupGridEh::AfterConstruction() {
    TCustomDBGridEh::AfterConstruction();
    SetParentColor(false);
    SetOptions(TDBGridOptions{dgColLines, dgRowSelect});
    SetOptionsEh(TDBGridEhOptions(OptionsEh()).Include(dghTraceColSizing));
    FLookupOptions = TDBLookupGridEhOptions{dlgColLinesEh};
    SetFlat(true);
    SetDrawMemoText(true);
    SetTabStop(false);
    SetVTitleMargin(5);
    VertScrollBar()->SetTracking(true);
    HorzScrollBar()->SetTracking(true);
}

TColumnDefValuesEh* TDBLookupGridEh::CreateColumnDefValues() {
    return rtl::Create<TDBLookupGridColumnDefValuesEh>(this);
}

TDBGridColumnsEh* TDBLookupGridEh::CreateColumns() {
    return rtl::Create<TDBGridColumnsEh>(this, TDBLookupGridColumnEh::StaticClass());
}

void TDBLookupGridEh::LookupColumnMoving(TDBLookupGridColumnEh* Column, int FromIndex, int ToIndex) {
    if (FListActive && FSpecRow->CellCount() > 0) {
        std::vector<AnsiString> cells;
        for (int i = 0; i < std::max(FSpecRow->CellCount(), Columns()->Count()); ++i)
            cells.push_back(FSpecRow->TextOfCell(i));
        const auto from = static_cast<size_t>(FromIndex), to = static_cast<size_t>(ToIndex);
        if (from < cells.size() && to < cells.size()) {
            AnsiString moved = cells[from];
            cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(from));
            cells.insert(cells.begin() + static_cast<std::ptrdiff_t>(to), moved);
            // Trailing empty cells carry nothing.
            while (!cells.empty() && cells.back().empty()) cells.pop_back();
            AnsiString joined;
            for (size_t i = 0; i < cells.size(); ++i) joined += (i ? ";" : "") + cells[i];
            FSpecRow->SetCellsText(joined);
        }
    }
    if (!Column->IsDefaultColumn()) {
        Column->rtl::TCollectionItem::SetIndex(ToIndex);
        return;
    }
    OpenLayoutBracket();
    rtl::TryFinally(
        [&] {
            Column->rtl::TCollectionItem::SetIndex(ToIndex);
            // The display column keeps being the display column wherever it now stands.
            int display = FListFieldIndex;
            if (display == FromIndex)
                display = ToIndex;
            else if (FromIndex < display && ToIndex >= display)
                --display;
            else if (FromIndex > display && ToIndex <= display)
                ++display;
            AnsiString names;
            for (int i = 0; i < Columns()->Count(); ++i)
                names += (i ? ";" : "") + rtl::WideToAnsi(Columns()->Items(i)->FieldName());
            FListFieldIndex = display;
            if (FListField != names) {
                FListField = names;
                UpdateListFields();
            }
        },
        [&] { CloseLayoutBracket(); });
}

void TDBLookupGridEh::ColWidthsChanged() {
    TCustomDBGridEh::ColWidthsChanged();
    if (!FAutoFit || FFitting || !HandleAllocated() || GridState() != gsColSizing) return;
    // A column dragged wider or narrower while the columns fit the grid: the grid follows them.
    FFitting = true;
    rtl::TryFinally(
        [&] {
            int w = 0;
            for (int i = 0; i < Columns()->Count(); ++i) {
                TColumnEh* c = Columns()->Items(i);
                w += c->Width() + (Options().Contains(dgColLines) ? GridLineWidth() : 0);
                c->SetFitWidth(c->Width());
            }
            if (IndicatorVisible()) w += ColWidths(0) + (Options().Contains(dgColLines) ? GridLineWidth() : 0);
            SetClientWidth(w);
        },
        [&] { FFitting = false; });
}

void TDBLookupGridEh::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TCustomDBGridEh::Notification(AComponent, Operation);
    if (Operation == rtl::opRemove && FLookupLink && AComponent == FLookupLink->DataSource())
        FLookupLink->SetDataSource(nullptr);
}

void TDBLookupGridEh::CheckNotLookupField() {
    if (FLookupFieldMode) db::DatabaseError(lookupmsg::SPropDefByLookup);
    if (FLookupLink->DataSourceFixed()) db::DatabaseError(lookupmsg::SDataSourceFixed);
}

void TDBLookupGridEh::CheckNotCircular() {
    db::TDataSet* list = DataSet();
    db::TDataSource* target = FLookupLink->DataSource();
    if (list && target && target->DataSet() && list->IsLinkedTo(target))
        db::DatabaseError(lookupmsg::SCircularDataLink);
}

void TDBLookupGridEh::SetLookupSource(db::TDataSource* Value) {
    if (Loading() && FLookupLink->DataSourceFixed()) return;
    if (FLookupLink->DataSource() == Value) return;
    FLookupLink->SetDataSource(Value);
    if (Value) Value->FreeNotification(this);
}

void TDBLookupGridEh::SetDataField(const AnsiString& Value) {
    if (FDataField == Value) return;
    FDataField = Value;
    UpdateDataFields();
}

void TDBLookupGridEh::UpdateDataFields() {
    db::TDataSet* target = FLookupLink->Active() ? FLookupLink->DataSet() : nullptr;
    if (target && !FDataField.empty()) CheckNotCircular();
    db::TField* lookup = ResolveKeyReceivingFields(target && !FDataField.empty() ? target : nullptr, FDataField,
                                                   FDataFields, FKeyReceivingFields, FKeyReceivingNames);
    if (lookup) {
        FLookupFieldMode = true;
        FInternalSource->SetDataSet(lookup->LookupDataSet());
        FKeyField = rtl::WideToAnsi(lookup->LookupKeyFields());
        if (DataSource() != FInternalSource.get()) SetDataSource(FInternalSource.get());
        UpdateListFields();
    } else if (FLookupFieldMode) {
        FLookupFieldMode = false;
        SetDataSource(nullptr);
        FKeyField.clear();
        FInternalSource->SetDataSet(nullptr);
    }
    LookupDataChanged(nullptr);
}

void TDBLookupGridEh::LookupDataChanged(db::TField* Field) {
    if (Field && std::find(FKeyReceivingFields.begin(), FKeyReceivingFields.end(), Field) == FKeyReceivingFields.end())
        return;
    db::TDataSet* target = FLookupLink->DataSet();
    if (FKeyReceivingFields.empty() || !target || !target->Active())
        SetKeyValue(Variant::Null());
    else
        SetKeyValue(target->FieldValues(W(FKeyReceivingNames)));
}

void TDBLookupGridEh::SetListSource(db::TDataSource* Value) {
    CheckNotLookupField();
    if (DataSource() == Value) return;
    SetDataSource(Value);
    UpdateListFields();
}

void TDBLookupGridEh::SetKeyField(const AnsiString& Value) {
    CheckNotLookupField();
    if (FKeyField == Value) return;
    FKeyField = Value;
    UpdateListFields();
    FitListColumns();
}

void TDBLookupGridEh::SetListField(const AnsiString& Value) {
    if (FListField == Value) return;
    FListField = Value;
    UpdateListFields();
    FitListColumns();
}

void TDBLookupGridEh::SetListFieldIndex(int Value) {
    if (FListFieldIndex == Value) return;
    FListFieldIndex = Value;
    UpdateListFields();
}

void TDBLookupGridEh::SetKeyValue(const Variant& Value) {
    if (VariantValuesEqual(FKeyValue, Value)) return;
    FKeyValue = Value;
    KeyValueChanged();
}

void TDBLookupGridEh::UpdateListFields() {
    FListActive = false;
    FDisplayField = nullptr;
    FListFields.clear();
    FKeyFields.clear();
    rtl::TryFinally(
        [&] {
            db::TDataSet* ds = DataSet();
            if (!(DataLink()->Active() && ds && !FKeyField.empty())) return;
            CheckNotCircular();
            ResolveLookupFields(ds, FKeyField, FKeyFields);
            try {
                ResolveLookupFields(ds, FListField, FListFields);
            } catch (const db::EDatabaseError&) {
                // The message names the missing field; the grid is named as its source.
                FListFields.clear();
                throw;
            }
            if (FLookupFieldMode) {
                const WideString name = FDataFields[0]->LookupResultField();
                db::TField* result = ds->FindField(name);
                if (!result) db::DatabaseErrorFmt(lookupmsg::SFieldNotFound, {rtl::WideToAnsi(name)});
                if (std::find(FListFields.begin(), FListFields.end(), result) == FListFields.end())
                    FListFields.insert(FListFields.begin(), result);
                FDisplayField = result;
                FListActive = true;
                return;
            }
            if (FListFields.empty()) FListFields = FKeyFields;
            if (FListFields.empty()) return;
            const int i =
                FListFieldIndex >= 0 && FListFieldIndex < static_cast<int>(FListFields.size()) ? FListFieldIndex : 0;
            FDisplayField = FListFields[static_cast<size_t>(i)];
            FListActive = true;
        },
        [&] {
            if (FListActive)
                KeyValueChanged();
            else
                ListLinkDataChanged();
        });
    if (DataLink()->Active() && !FInLinkActiveChange) RebuildLayout();
}

void TDBLookupGridEh::GetDataSetFields(std::vector<db::TField*>& List) {
    if (FListActive)
        List = FListFields;
    else
        TCustomDBGridEh::GetDataSetFields(List);
}

void TDBLookupGridEh::LinkActiveChanged(bool Active) {
    FInLinkActiveChange = true;
    rtl::TryFinally(
        [&] {
            if (!IsDestroying()) UpdateListFields();
        },
        [&] { FInLinkActiveChange = false; });
    TCustomDBGridEh::LinkActiveChanged(Active);
    if (!IsDestroying()) FitListColumns();
}

void TDBLookupGridEh::LinkDataSetChanged() {
    TCustomDBGridEh::LinkDataSetChanged();
    ListLinkDataChanged();
}

bool TDBLookupGridEh::CanFindKeyRecord(const std::vector<db::TField*>&, const Variant&) { return true; }

bool TDBLookupGridEh::FindKeyRecord() {
    db::TDataSet* ds = DataSet();
    if (FKeyValue.IsNull() || !ds || !ds->Active() || !CanFindKeyRecord(FKeyFields, FKeyValue)) return false;
    try {
        return ds->Locate(W(FKeyField), FKeyValue, {});
    } catch (const rtl::Exception&) {
        return false;
    }
}

void TDBLookupGridEh::KeyValueChanged() {
    if (FSpecRow->Visible()) {
        FSpecRowSelected = FSpecRow->MatchesKey(FKeyValue);
        if (!FSpecRowSelected && !FInternalSelection && FSpecRow->ShowIfNotInKeyList()) {
            if (FindKeyRecord())
                ListLinkDataChanged();
            else
                FSpecRowSelected = true;
        }
    } else {
        FSpecRowSelected = false;
    }
    if (FListActive && !FInternalSelection) {
        if (FindKeyRecord() || FSpecRowSelected)
            ListLinkDataChanged();
        else if (db::TDataSet* ds = DataSet())
            ds->First();
    }
    if (FDisplayField) {
        FSelectedText = FSpecRow->Visible() && FSpecRowSelected ? FSpecRow->TextOfCell(FListFieldIndex)
                                                                : FDisplayField->DisplayText();
    } else {
        FSelectedText.clear();
    }
    Invalidate();
}

void TDBLookupGridEh::ListLinkDataChanged() {
    if (!HandleAllocated()) return;
    UpdateVertScrollBar();
    Invalidate();
}

void TDBLookupGridEh::RefreshDisplay() {
    SetListRowCount(FListRowCount);
    KeyValueChanged();
}

bool TDBLookupGridEh::CanChangeKeyValue() {
    if (!FListActive || FLookupReadOnly || FLookupLink->ReadOnly()) return false;
    if (!FLookupLink->DataSource()) return true;
    if (FKeyReceivingFields.empty()) return false;
    return std::all_of(FKeyReceivingFields.begin(), FKeyReceivingFields.end(),
                       [](db::TField* f) { return f->CanModify(); });
}

void TDBLookupGridEh::SelectKeyValue(const Variant& Value) {
    FInternalSelection = true;
    rtl::TryFinally(
        [&] {
            if (FKeyReceivingFields.empty())
                SetKeyValue(Value);
            else if (FLookupLink->Edit())
                FLookupLink->DataSet()->SetFieldValues(W(FKeyReceivingNames), Value);
        },
        [&] { FInternalSelection = false; });
    Invalidate();
    if (OnClick) OnClick(this);
}

void TDBLookupGridEh::TakeCurrentRecord() {
    FSpecRowSelected = false;
    const Variant key = LookupKeyOfRecord(DataSet(), FKeyField);
    if (!VariantValuesEqual(key, FKeyValue))
        SelectKeyValue(key);
    else
        KeyValueChanged();
}

void TDBLookupGridEh::SelectSpecRow() {
    if (!VariantValuesEqual(FSpecRow->Value(), FKeyValue)) SelectKeyValue(FSpecRow->Value());
    FSpecRowSelected = true;
    if (FDisplayField) FSelectedText = FSpecRow->TextOfCell(FListFieldIndex);
    Invalidate();
}

void TDBLookupGridEh::ProcessSearchKey(char Key) {
    if (!FDisplayField) return;
    const db::TFieldKind kind = FDisplayField->FieldKind();
    if ((kind != db::fkData && kind != db::fkInternalCalc) || FDisplayField->DataType() != db::ftString) return;
    const auto c = static_cast<unsigned char>(Key);
    if (c == 8 || c == 27) {
        FSearchText.clear();
        return;
    }
    if (c < 32 || !CanChangeKeyValue()) return;
    const uint64_t now = rtl::GetTickCount64();
    if (now - GLastSearchTick > SearchPauseMs) FSearchText.clear();
    GLastSearchTick = now;
    if (FSearchText.size() >= MaxSearchLength) return;
    const AnsiString candidate = FSearchText + Key;
    try {
        db::TDataSet* ds = DataSet();
        if (ds->Locate(FDisplayField->FieldName(), Variant(candidate),
                       db::TLocateOptions{db::loCaseInsensitive, db::loPartialKey})) {
            FSpecRowSelected = false;
            SelectKeyValue(LookupKeyOfRecord(ds, FKeyField));
            FSearchText = candidate;
        }
    } catch (const rtl::Exception&) {
        FSearchText = candidate;
    }
}

void TDBLookupGridEh::MoveListBy(int Distance) {
    db::TDataSet* ds = DataSet();
    if (!ds || !ds->Active()) return;
    FSearchText.clear();
    if (Distance < 0 && FSpecRow->Visible() && (FSpecRowSelected || ds->Bof())) {
        ds->First();
        SelectSpecRow();
        return;
    }
    if (FSpecRowSelected) {
        ds->First();
        if (Distance > 0) --Distance;
    } else if (!FKeyValue.IsNull()) {
        const int row = KeyRowIndex();
        if (row < 0) {
            // The key's record scrolled out of the rows: show it again and drop the move.
            KeyValueChanged();
            return;
        }
        DataLink()->MoveBy(row - DataLink()->ActiveRecord());
    } else {
        // No key yet: the first record is where a move starts.
        ds->First();
        if (Distance > 0) --Distance;
    }
    if (Distance == 0 && !FKeyValue.IsNull() && !FSpecRowSelected) return;
    ds->MoveBy(Distance);
    FInternalSelection = true;
    rtl::TryFinally([&] { TakeCurrentRecord(); }, [&] { FInternalSelection = false; });
}

void TDBLookupGridEh::LookupKeyDown(uint16_t& Key, ui::TShiftState Shift) {
    if (!CanChangeKeyValue() || !Shift.Empty()) return;
    const int page = std::max(FListRowCount, 1);
    db::TDataSet* ds = DataSet();
    switch (Key) {
        case ui::VK_UP: MoveListBy(-1); break;
        case ui::VK_DOWN: MoveListBy(1); break;
        case ui::VK_PRIOR: MoveListBy(1 - page); break;
        case ui::VK_NEXT: MoveListBy(page - 1); break;
        case ui::VK_HOME:
            FSearchText.clear();
            ds->First();
            FInternalSelection = true;
            rtl::TryFinally([&] { TakeCurrentRecord(); }, [&] { FInternalSelection = false; });
            break;
        case ui::VK_END:
            FSearchText.clear();
            ds->Last();
            FInternalSelection = true;
            rtl::TryFinally([&] { TakeCurrentRecord(); }, [&] { FInternalSelection = false; });
            break;
        default: return;
    }
    Key = 0;
}

void TDBLookupGridEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    LookupKeyDown(Key, Shift);
    if (Key != 0) TCustomDBGridEh::KeyDown(Key, Shift);
}

void TDBLookupGridEh::KeyPress(char& Key) {
    ProcessSearchKey(Key);
    TCustomDBGridEh::KeyPress(Key);
}

bool TDBLookupGridEh::DoMouseWheelDown(ui::TShiftState, ui::TPoint) {
    db::TDataSet* ds = DataSet();
    if (!ds) return false;
    // The record after the last buffered row becomes current; the key stays.
    if (DataLink()->Active()) DataLink()->MoveBy(DataLink()->RecordCount() - DataLink()->ActiveRecord());
    return true;
}

bool TDBLookupGridEh::DoMouseWheelUp(ui::TShiftState, ui::TPoint) {
    db::TDataSet* ds = DataSet();
    if (!ds) return false;
    if (DataLink()->Active()) DataLink()->MoveBy(-DataLink()->ActiveRecord() - 1);
    return true;
}

bool TDBLookupGridEh::GetDataCellHighlight(int, int, ui::TFont* AFont, ui::TColor& Color, TGridDrawState) {
    if (!FListActive || FSpecRowSelected || FLayoutNesting > 0 || FKeyValue.IsNull()) return false;
    if (!VariantValuesEqual(LookupKeyOfRecord(DataSet(), FKeyField), FKeyValue)) return false;
    Color = ui::clHighlight;
    AFont->SetColor(ui::clHighlightText);
    return true;
}

void TDBLookupGridEh::DrawFilterCell(int ACol, int ARow, const TCellAreaEh& Area, TGridDrawState State,
                                     const TRect& ARect) {
    (void)ACol, (void)ARow, (void)State;
    // The special row stands where a data grid has its filter row.
    ui::TCanvas* C = Canvas();
    C->SetFont(FSpecRow->Font());
    TColumnEh* column = Columns()->Items(Area.DataCol);
    auto* cell = dynamic_cast<TDBLookupGridColumnEh*>(column);
    ui::TColor back = cell ? cell->SpecCell()->Color() : FSpecRow->Color();
    if (FSpecRowSelected) {
        back = ui::clHighlight;
        C->Font()->SetColor(ui::clHighlightText);
    }
    C->Brush()->SetColor(back);
    C->FillRect(ARect);
    const AnsiString text = cell ? cell->SpecCell()->Text() : FSpecRow->TextOfCell(Area.DataCol);
    const int w = C->TextWidth(text);
    int x = ARect.Left + 2;
    if (column->Alignment() == db::taRightJustify)
        x = ARect.Right - 2 - w;
    else if (column->Alignment() == db::taCenter)
        x = ARect.Left + (ARect.Right - ARect.Left - w) / 2;
    C->TextRect(ARect, x, ARect.Top + 1, text);
    if (FSpecRowSelected && Area.DataCol == Columns()->Count() - 1) {
        C->DrawFocusRect(TRect{0, ARect.Top, ARect.Right, ARect.Bottom});
    }
}

int TDBLookupGridEh::KeyRowIndex() {
    TGridDataLinkEh* link = DataLink();
    if (!link->Active() || FKeyValue.IsNull()) return -1;
    const int saved = link->ActiveRecord();
    int found = -1;
    for (int i = 0; i < link->RecordCount() && found < 0; ++i) {
        link->SetActiveRecord(i);
        if (VariantValuesEqual(LookupKeyOfRecord(DataSet(), FKeyField), FKeyValue)) found = i;
    }
    link->SetActiveRecord(saved);
    return found;
}

// ---------------------------------------------------------------------------------------------
// Mouse

namespace {
constexpr uintptr_t LookupScrollTimer = 3;
}

int TDBLookupGridEh::DataRowAt(int X, int Y) {
    (void)X;
    const int titles = TitlesHeight();
    const int spec = GetSpecRowHeight();
    if (Y < titles || Y >= ClientHeight()) return -1;
    if (Y < titles + spec) return -2;
    return (Y - titles - spec) / std::max(GetDataRowHeight(), 1);
}

void TDBLookupGridEh::SelectRowAt(int X, int Y) {
    const int row = DataRowAt(X, Y);
    if (row == -1 || !CanChangeKeyValue()) return;
    if (row == -2) {
        SelectSpecRow();
        return;
    }
    TGridDataLinkEh* link = DataLink();
    if (row >= link->RecordCount()) return;
    db::TDataSet* ds = DataSet();
    // The buffered row under the pointer: move the cursor by its distance from the active one.
    const int distance = row - link->ActiveRecord();
    if (distance != 0) ds->MoveBy(distance);
    FInternalSelection = true;
    rtl::TryFinally([&] { TakeCurrentRecord(); }, [&] { FInternalSelection = false; });
}

void TDBLookupGridEh::MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    const int row = DataRowAt(X, Y);
    if (row == -1) {
        TCustomDBGridEh::MouseDown(Button, Shift, X, Y);
        return;
    }
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
    if (Button != ui::mbLeft) return;
    FSearchText.clear();
    if (CanFocus() && !Focused()) SetFocus();
    if (!CanChangeKeyValue()) return;
    if (Shift.Contains(ui::ssDouble) && row >= 0 && row == DataLink()->ActiveRecord()) {
        DblClick();
        return;
    }
    FTracking = true;
    SetMouseCapture(true);
    SelectRowAt(X, Y);
}

void TDBLookupGridEh::MouseMove(ui::TShiftState Shift, int X, int Y) {
    if (!FTracking) {
        TCustomDBGridEh::MouseMove(Shift, X, Y);
        return;
    }
    FTrackY = Y;
    // Beyond an edge the nearest data row is picked; the edge scroll moves on from there.
    const int titles = ShowTitles() ? TitleRowHeight() : 0;
    SelectRowAt(X, Y < titles ? titles + GetSpecRowHeight() : std::min(Y, std::max(ClientHeight() - 1, 0)));
    AutoScrollStep(Y);
}

void TDBLookupGridEh::MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    if (!FTracking) {
        TCustomDBGridEh::MouseUp(Button, Shift, X, Y);
        return;
    }
    FTracking = false;
    StopAutoScroll();
    if (MouseCapture()) SetMouseCapture(false);
    if (ui::PtInRect(ClientRect(), ui::Point(X, Y))) SelectRowAt(X, Y);
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TDBLookupGridEh::AutoScrollStep(int Y) {
    const int top = ShowTitles() ? TitleRowHeight() : 0;
    int distance = 0;
    db::TDataSet* ds = DataSet();
    if (Y < top && ds && ds->Active()) {
        distance = top - Y;
        if (ds->Bof() && FSpecRow->Visible()) {
            SelectSpecRow();
        } else {
            ds->MoveBy(-1);
            FInternalSelection = true;
            rtl::TryFinally([&] { TakeCurrentRecord(); }, [&] { FInternalSelection = false; });
        }
    } else if (Y >= ClientHeight() && ds && ds->Active()) {
        distance = Y - ClientHeight() + 1;
        ds->MoveBy(1);
        FInternalSelection = true;
        rtl::TryFinally([&] { TakeCurrentRecord(); }, [&] { FInternalSelection = false; });
    }
    if (distance == 0) {
        StopAutoScroll();
        return;
    }
    if (HandleAllocated()) {
        ui::SetTimer(Handle(), LookupScrollTimer, static_cast<uint32_t>(std::max(200 - 15 * distance, 0)));
        FAutoScrolling = true;
    }
}

void TDBLookupGridEh::StopAutoScroll() {
    if (FAutoScrolling && HandleAllocated()) ui::KillTimer(Handle(), LookupScrollTimer);
    FAutoScrolling = false;
}

void TDBLookupGridEh::WMTimer(ui::TWMTimer& Message) {
    if (Message.TimerID == LookupScrollTimer) {
        if (FTracking)
            AutoScrollStep(FTrackY);
        else
            StopAutoScroll();
        return;
    }
    TCustomDBGridEh::WMTimer(Message);
}

// ---------------------------------------------------------------------------------------------
// The vertical bar

int TDBLookupGridEh::ListPageRows() {
    const int rows = (ClientHeight() - TitlesHeight() - GetSpecRowHeight()) / std::max(GetDataRowHeight(), 1);
    return std::max(rows, 1);
}

TVertScrollValuesEh TDBLookupGridEh::ListVertScrollValues() {
    db::TDataSet* ds = DataSet();
    TGridDataLinkEh* link = DataLink();
    if (!FListActive || !link->Active() || !ds) return {0, 2, 0, 0};
    const int page = ListPageRows();
    if (ds->IsSequenced()) {
        const int count = std::max(ds->RecordCount(), 0);
        const int first = ds->RecNo() - link->ActiveRecord();
        return {0, std::max(count - 1, 0), page, std::max(first - 1, 0)};
    }
    // Without record numbers the bar only tells the ends from the middle.
    if (link->RecordCount() < page) return {0, 0, 0, 0};
    return {0, 4, 0, ds->Bof() ? 0 : ds->Eof() ? 4 : 2};
}

bool TDBLookupGridEh::UpdateVertScrollBar() {
    if (RecordViewMode()) return TCustomDBGridEh::UpdateVertScrollBar();
    if (!DataLink() || !HandleAllocated() || !VertScrollBar()) return false;
    const bool before = ScrollBarVisible(ui::SB_VERT);
    ApplyVertScrollValues(ListVertScrollValues());
    return before != ScrollBarVisible(ui::SB_VERT);
}

void TDBLookupGridEh::ScrollRecordToTop(int RecNo) {
    db::TDataSet* ds = DataSet();
    const int page = ListPageRows();
    // From the first record, step to the row that ends the wanted page and back up: the window
    // then starts at RecNo wherever it stood before.
    ds->First();
    ds->MoveBy(RecNo - 1 + page - 1);
    ds->MoveBy(-(page - 1));
}

void TDBLookupGridEh::WMVScroll(ui::TWMScroll& Message) {
    if (RecordViewMode()) {
        TCustomDBGridEh::WMVScroll(Message);
        return;
    }
    TGridDataLinkEh* link = DataLink();
    db::TDataSet* ds = DataSet();
    if (!link->Active() || !ds) return;
    const int page = ListPageRows();
    // The cursor moves beyond the shown rows; the key and its highlight stay where they are.
    const int toAbove = -link->ActiveRecord() - 1;
    const int toBelow = link->RecordCount() - link->ActiveRecord();
    switch (Message.ScrollCode) {
        case ui::SB_LINEUP: ds->MoveBy(toAbove); break;
        case ui::SB_LINEDOWN: ds->MoveBy(toBelow); break;
        case ui::SB_PAGEUP: ds->MoveBy(toAbove - page + 1); break;
        case ui::SB_PAGEDOWN: ds->MoveBy(toBelow + page - 1); break;
        case ui::SB_THUMBPOSITION:
            if (!ds->IsSequenced()) {
                switch (Message.Pos) {
                    case 0: ds->First(); break;
                    case 1: ds->MoveBy(toAbove - page + 1); break;
                    case 3: ds->MoveBy(toBelow + page - 1); break;
                    case 4: ds->Last(); break;
                    default: break;
                }
            } else {
                ScrollRecordToTop(Message.Pos + 1);
            }
            break;
        case ui::SB_THUMBTRACK:
            if (ds->IsSequenced() && VertScrollBar()->Tracking()) ScrollRecordToTop(Message.Pos + 1);
            break;
        case ui::SB_TOP: ds->First(); break;
        case ui::SB_BOTTOM: ds->Last(); break;
        default: break;
    }
    ListLinkDataChanged();
}

// ---------------------------------------------------------------------------------------------
// Size in whole rows

int TDBLookupGridEh::GetDataRowHeight() {
    return DefaultDataRowHeight() + (Options().Contains(dgRowLines) ? GridLineWidth() : 0);
}

int TDBLookupGridEh::GetSpecRowHeight() { return FSpecRow->Visible() ? GetDataRowHeight() : 0; }

int TDBLookupGridEh::GetBorderHeight() { return HandleAllocated() ? Height() - ClientHeight() : 0; }

int TDBLookupGridEh::TotalColumnWidth() const {
    int w = 0;
    for (int i = 0; i < Columns()->Count(); ++i) {
        TColumnEh* c = Columns()->Items(i);
        if (!c->Visible()) continue;
        w += FAutoFit ? c->FitWidth() : c->Width();
        if (Options().Contains(dgColLines)) w += GridLineWidth();
    }
    return w;
}

int TDBLookupGridEh::TitlesHeight() {
    return ShowTitles() ? TitleRowHeight() + (Options().Contains(dgRowLines) ? GridLineWidth() : 0) : 0;
}

int TDBLookupGridEh::HeightForRows(int Rows) {
    return TitlesHeight() + Rows * GetDataRowHeight() + GetBorderHeight() + GetSpecRowHeight();
}

void TDBLookupGridEh::SetListRowCount(int Value) {
    FListRowCount = std::clamp(Value, 1, 100);
    FSizing = true;
    rtl::TryFinally(
        [&] {
            // Scroll bars that come or go with the new height change the border: a second pass
            // settles it (a third when the horizontal bar followed the vertical one).
            for (int pass = 0; pass < 3 && Height() != HeightForRows(FListRowCount); ++pass)
                TCustomDBGridEh::SetBounds(Left(), Top(), Width(), HeightForRows(FListRowCount));
        },
        [&] { FSizing = false; });
}

void TDBLookupGridEh::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (FSizing) {
        TCustomDBGridEh::SetBounds(ALeft, ATop, AWidth, AHeight);
        return;
    }
    const int rowH = std::max(GetDataRowHeight(), 1);
    FListRowCount = std::clamp((AHeight - GetBorderHeight() - TitlesHeight() - GetSpecRowHeight()) / rowH, 1, 100);
    TCustomDBGridEh::SetBounds(ALeft, ATop, AWidth, HeightForRows(FListRowCount));
    if (Height() != HeightForRows(FListRowCount)) SetListRowCount(FListRowCount);
}

void TDBLookupGridEh::WMSize(ui::TWMSize& Message) {
    if (FAutoFit && !FFitting) {
        // The columns are fitted to the new width while the data grid lays itself out.
        SetAutoFitColWidths(true);
        rtl::TryFinally([&] { TCustomDBGridEh::WMSize(Message); }, [&] { SetAutoFitColWidths(false); });
    } else {
        TCustomDBGridEh::WMSize(Message);
    }
    // A scroll bar that came or went changed the border: the height follows, in whole rows.
    if (!FSizing && HandleAllocated() && Height() != HeightForRows(FListRowCount)) SetListRowCount(FListRowCount);
}

void TDBLookupGridEh::SetShowTitles(bool Value) {
    if (ShowTitles() == Value) return;
    SetOptions(Value ? TDBGridOptions(Options()).Include(dgTitles) : TDBGridOptions(Options()).Exclude(dgTitles));
    SetListRowCount(FListRowCount);
}

void TDBLookupGridEh::SetLookupUseMultiTitle(bool Value) {
    SetUseMultiTitle(Value);
    SetListRowCount(FListRowCount);
}

void TDBLookupGridEh::CreateWnd() {
    TCustomDBGridEh::CreateWnd();
    // A new window has no bar yet: whatever was shown before is written again.
    FAppliedVert = TVertScrollValuesEh{-1, -1, -1, -1};
    UpdateVertScrollBar();
    SetListRowCount(FListRowCount);
}

void TDBLookupGridEh::WMSetFocus(ui::TWMSetFocus& Message) {
    // Typing after coming back starts a new search.
    FSearchText.clear();
    TCustomDBGridEh::WMSetFocus(Message);
    Invalidate();
}

void TDBLookupGridEh::WMKillFocus(ui::TWMKillFocus& Message) {
    TCustomDBGridEh::WMKillFocus(Message);
    Invalidate();
}

void TDBLookupGridEh::WMGetDlgCode(ui::TWMGetDlgCode& Message) {
    TCustomDBGridEh::WMGetDlgCode(Message);
    // Arrows move the key and characters search the list.
    Message.Result |= ui::DLGC_WANTARROWS | ui::DLGC_WANTCHARS;
}

void TDBLookupGridEh::SetAutoFit(bool Value) {
    FAutoFit = Value;
    HorzScrollBar()->SetVisible(!Value);
    SetListRowCount(FListRowCount);
    FitListColumns();
}

void TDBLookupGridEh::FitListColumns() {
    if (FFitting || !FAutoFit) return;
    FFitting = true;
    rtl::TryFinally(
        [&] {
            SetAutoFitColWidths(true);
            for (int i = 0; i < Columns()->Count(); ++i) Columns()->Items(i)->SetFitWidth(Columns()->Items(i)->Width());
            SetAutoFitColWidths(false);
            SetListRowCount(FListRowCount);
        },
        [&] { FFitting = false; });
}

void TDBLookupGridEh::SetLookupOptions(TDBLookupGridEhOptions Value) {
    FLookupOptions = Value;
    TDBGridOptions o = TDBGridOptions(Options()).Exclude(dgColumnResize).Exclude(dgColLines).Exclude(dgRowLines);
    if (Value.Contains(dlgColumnResizeEh)) o.Include(dgColumnResize);
    if (Value.Contains(dlgColLinesEh)) o.Include(dgColLines);
    if (Value.Contains(dlgRowLinesEh)) o.Include(dgRowLines);
    SetOptions(o);
    TDBGridEhOptions e = TDBGridEhOptions(OptionsEh()).Exclude(dghAutoSortMarking).Exclude(dghMultiSortMarking);
    if (Value.Contains(dlgAutoSortMarkingEh)) e.Include(dghAutoSortMarking);
    if (Value.Contains(dlgMultiSortMarkingEh)) e.Include(dghMultiSortMarking);
    SetOptionsEh(e);
}

// ---------------------------------------------------------------------------------------------
// TPopupDataGridEh

TPopupDataGridEh::TPopupDataGridEh(rtl::TComponent* Owner) : TDBLookupGridEh(Owner) {}

void TPopupDataGridEh::AfterConstruction() {
    TDBLookupGridEh::AfterConstruction();
    SetVisible(false);
    SetShowHint(true);
    FSizeGrip = rtl::Create<editors::TSizeGripEh>(this);
    FSizeGrip->SetParent(this);
    FSizeGrip->SetTriangleShape(true);
    FSizeGrip->OnParentResized = [this](rtl::TObject*) { FUserResized = true; };
    SpecRow()->OnChanged = [this](rtl::TObject*) {
        RefreshDisplay();
        if (OnSpecRowChanged) OnSpecRowChanged(this);
    };
}

void TPopupDataGridEh::SetParent(ui::TWinControl* AParent) { editors::AttachDropDownToWindow(this, AParent); }

void TPopupDataGridEh::CreateParams(ui::TCreateParams& Params) {
    TDBLookupGridEh::CreateParams(Params);
    // A top-level window of its own, so it may reach past the form's edges.
    Params.Style = (Params.Style & ~(ui::WS_TABSTOP | ui::WS_CHILD)) | ui::WS_POPUP | ui::WS_CLIPCHILDREN;
    Params.ExStyle = (Params.ExStyle & ~ui::WS_EX_CLIENTEDGE) | ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST;
    Params.WindowClassStyle |= ui::CS_SAVEBITS;
}

void TPopupDataGridEh::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const int sb = ui::GetSystemMetrics(ui::SM_CXVSCROLL);
    TDBLookupGridEh::SetBounds(ALeft, ATop, std::max(AWidth, sb), std::max(AHeight, sb));
    if (FSizeGrip) FSizeGrip->UpdatePosition();
}

void TPopupDataGridEh::KeyValueChanged() {
    TDBLookupGridEh::KeyValueChanged();
    if (FUserAction && OnUserKeyValueChanged) OnUserKeyValueChanged(this);
}

void TPopupDataGridEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    FUserAction = true;
    rtl::TryFinally([&] { TDBLookupGridEh::KeyDown(Key, Shift); }, [&] { FUserAction = false; });
}

void TPopupDataGridEh::MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    FUserAction = true;
    rtl::TryFinally(
        [&] {
            FPressedInside = ui::PtInRect(ClientRect(), ui::Point(X, Y));
            if (Button == ui::mbLeft && FPressedInside) {
                SetMouseCapture(true);
                FSearchText.clear();
                SelectRowAt(X, Y);
                if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
            }
        },
        [&] { FUserAction = false; });
}

void TPopupDataGridEh::MouseMove(ui::TShiftState Shift, int X, int Y) {
    FUserAction = true;
    rtl::TryFinally(
        [&] {
            const bool plain =
                !Shift.Contains(ui::ssShift) && !Shift.Contains(ui::ssCtrl) && !Shift.Contains(ui::ssAlt);
            if ((Shift.Contains(ui::ssLeft) || plain) && !FLookupReadOnly) SelectRowAt(X, Y);
        },
        [&] { FUserAction = false; });
}

void TPopupDataGridEh::MouseUp(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    (void)Shift;
    if (Button != ui::mbLeft) return;
    if (MouseCapture()) SetMouseCapture(false);
    if (!FPressedInside) return;
    FPressedInside = false;
    const bool inside = ui::PtInRect(ClientRect(), ui::Point(X, Y));
    FUserAction = true;
    rtl::TryFinally(
        [&] {
            if (inside) SelectRowAt(X, Y);
        },
        [&] { FUserAction = false; });
    if (OnCloseUpRequest) OnCloseUpRequest(this, inside && DataRowAt(X, Y) != -1);
}

void TPopupDataGridEh::WndProc(ui::TMessage& Message) {
    switch (Message.Msg) {
        case ui::WM_MOUSEACTIVATE: Message.Result = ui::MA_NOACTIVATE; return;
        case ui::WM_DROPDOWNPLACED:
            if (FSizeGrip) FSizeGrip->ChangePosition(static_cast<int>(Message.WParam));
            return;
        default: break;
    }
    TDBLookupGridEh::WndProc(Message);
}

}  // namespace grid
