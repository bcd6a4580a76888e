#include <algorithm>

#include "controls/grid/DBGridEh.h"
#include "controls/grid/DBLookupGridsEh.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace grid {

ui::TSize MeasureText(const ui::TControl* Control, ui::TFont* Font, const AnsiString& Text) {
    if (ui::TSurface* s = Control->MeasureSurface()) return s->TextExtent(Text, Font->Data());
    return ui::FixedTextExtent(Text, Font->Data());
}

ui::TTextMetric MeasureMetrics(const ui::TControl* Control, ui::TFont* Font) {
    if (ui::TSurface* s = Control->MeasureSurface()) return s->TextMetrics(Font->Data());
    return ui::FixedTextMetrics(Font->Data());
}

void CopyFontQuietly(ui::TFont* Dest, ui::TFont* Source) {
    rtl::TNotifyEvent saved = std::move(Dest->OnChange);
    Dest->OnChange = nullptr;
    rtl::TryFinally([&] { Dest->Assign(Source); }, [&] { Dest->OnChange = std::move(saved); });
}

namespace {

// Stores a changed value; false when it was the value already.
template <class T>
bool Replace(T& Store, const T& Value) {
    if (Store == Value) return false;
    Store = Value;
    return true;
}

bool SameFont(ui::TFont* A, ui::TFont* B) { return A->SameFace(*B) && A->Color() == B->Color(); }

ui::TFont* SortMarkerFont() {
    static rtl::TOwnedPtr<ui::TFont> font = [] {
        rtl::TOwnedPtr<ui::TFont> f(rtl::Create<ui::TFont>());
        f->SetName("Arial");
        f->SetHeight(-11);
        return f;
    }();
    return font.get();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TColumnEh

TColumnEh::TColumnEh(rtl::TCollection* Collection)
    : rtl::TCollectionItem(Collection), FFont(rtl::Create<ui::TFont>()) {}

TColumnEh::~TColumnEh() = default;

TCustomDBGridEh* TColumnEh::Grid() const {
    auto* columns = dynamic_cast<TDBGridColumnsEh*>(Collection());
    return columns ? columns->Grid() : nullptr;
}

TColumnDefValuesEh* TColumnEh::DefValues() const {
    TCustomDBGridEh* g = Grid();
    return g ? g->ColumnDefValues() : nullptr;
}

void TColumnEh::AfterConstruction() {
    TCustomDBGridEh* grid = Grid();
    if (grid) grid->OpenLayoutBracket();
    rtl::TryFinally(
        [&] {
            if (grid) CopyFontQuietly(FFont.get(), grid->Font());
            FFont->OnChange = [this](rtl::TObject*) { FontChanged(); };
            FTitle.reset(CreateTitle());
            FEditButtons.reset(CreateEditButtons());
            FDropDownSpecRow.reset(rtl::Create<editors::TSpecRowEh>(this));
            FDropDownSpecRow->OnChanged = [this](rtl::TObject*) { SpecRowChanged(); };
            FMRUList.reset(rtl::Create<editors::TMRUListEh>(this));
            FSTFilter.reset(CreateColumnFilter());
            FDropDownBox.reset(rtl::Create<TColumnDropDownBoxEh>(this));
            FFooter.reset(rtl::Create<TColumnFooterEh>(this));
            FFooters.reset(rtl::Create<TColumnFootersEh>(this));
            rtl::TCollectionItem::AfterConstruction();
            FFitWidth = Width();
        },
        [&] {
            if (grid) grid->CloseLayoutBracket();
        });
}

void TColumnEh::BeforeDestruction() {
    if (TCustomDBGridEh* g = Grid()) {
        if (g->SortMarkedColumnList()) g->SortMarkedColumnList()->Remove(this);
        if (g->DisplayedColumnList()) g->DisplayedColumnList()->Remove(this);
        for (THeadTreeNode* leaf : g->FLeafFieldArr)
            if (leaf->LeafColumn == this) leaf->LeafColumn = nullptr;
    }
    rtl::TCollectionItem::BeforeDestruction();
}

editors::TEditButtonsEh* TColumnEh::CreateEditButtons() {
    auto* buttons = rtl::Create<editors::TEditButtonsEh>(this, editors::TVisibleEditButtonEh::StaticClass());
    buttons->OnChange = [this](rtl::TCollectionItem*) { Changed(false); };
    return buttons;
}

TSTColumnFilterEh* TColumnEh::CreateColumnFilter() { return rtl::Create<TSTColumnFilterEh>(this); }

TColumnTitleEh* TColumnEh::CreateTitle() { return rtl::Create<TColumnTitleEh>(this); }

AnsiString TColumnEh::DisplayName() const {
    if (!FFieldName.empty()) return rtl::WideToAnsi(FFieldName);
    return rtl::TCollectionItem::DisplayName();
}

void TColumnEh::RepaintGrid() const {
    if (TCustomDBGridEh* g = Grid()) g->Invalidate();
}

// --- binding ---

db::TField* TColumnEh::Field() {
    if (FField) return FField;
    TCustomDBGridEh* g = Grid();
    db::TDataSet* ds = g ? g->DataSet() : nullptr;
    if (FFieldName.empty() || !ds) return FField;
    if (!ds->Active() && ds->DefaultFields()) return nullptr;
    db::TField* f = ds->FindField(FFieldName);
    if (f != FField) {
        FField = f;
        if (f) {
            FFieldName = f->FieldName();
            f->FreeNotification(g);
        }
    }
    return FField;
}

void TColumnEh::SetField(db::TField* Value) {
    if (Value == FField) return;
    FField = Value;
    if (Value) {
        FFieldName = Value->FieldName();
        if (TCustomDBGridEh* g = Grid()) Value->FreeNotification(g);
    }
    if (IsDefaultColumn()) {
        if (!Value) FFieldName.clear();
        RestoreDefaults();
        FFitWidth = Width();
    }
    UpdateFooterSums();
    Changed(false);
}

void TColumnEh::SetFieldName(const WideString& Value) {
    db::TField* f = nullptr;
    TCustomDBGridEh* g = Grid();
    if (g && g->DataSet() && !g->Loading() && !Value.empty()) f = g->DataSet()->FindField(Value);
    FFieldName = Value;
    SetField(f);
    FFitWidth = Width();
    Changed(false);
}

void TColumnEh::SetIndex(int Value) {
    TCustomDBGridEh* g = Grid();
    if (IsDefaultColumn() && g && g->DataLink()->Active() && Field()) {
        // The dataset's field order follows the grid's.
        if (db::TField* target = g->DataLink()->MappedField(Value)) FField->SetIndex(target->Index());
    }
    rtl::TCollectionItem::SetIndex(Value);
}

bool TColumnEh::WritesThroughToField() {
    TCustomDBGridEh* g = Grid();
    return IsDefaultColumn() && g && g->DataLink()->Active() && Field();
}

// --- defaultable properties ---

TAlignment TColumnEh::Alignment() {
    if (Assigned(cvAlignment)) return FAlignment;
    db::TField* f = Field();
    return f ? f->Alignment() : db::taLeftJustify;
}

void TColumnEh::SetAlignment(TAlignment Value) {
    if (IsDefaultColumn()) {
        if (WritesThroughToField()) FField->SetAlignment(Value);
        return;
    }
    if (StoreAssigned(cvAlignment, FAlignment, Value)) Changed(false);
}

bool TColumnEh::ReadOnly() {
    if (Assigned(cvReadOnly)) return FReadOnly;
    TCustomDBGridEh* g = Grid();
    db::TField* f = Field();
    return (g && g->ReadOnly()) || (f && f->ReadOnly());
}

void TColumnEh::SetReadOnly(bool Value) {
    if (WritesThroughToField()) {
        FField->SetReadOnly(Value);
        return;
    }
    if (StoreAssigned(cvReadOnly, FReadOnly, Value)) Changed(false);
}

ui::TColor TColumnEh::Color() const {
    if (Assigned(cvColor)) return FColor;
    TCustomDBGridEh* g = Grid();
    return g ? g->Color() : ui::clWindow;
}

void TColumnEh::SetColor(ui::TColor Value) {
    if (StoreAssigned(cvColor, FColor, Value)) Changed(false);
}

// Store-and-notify and silent writers of the flags that default to ColumnDefValues.
#define GRID_DEFVALUE_FLAG(Name, Flag, Notify)                             \
    bool TColumnEh::Name() const {                                         \
        if (Assigned(Flag)) return F##Name;                                \
        TColumnDefValuesEh* d = DefValues();                               \
        return d ? d->Name() : false;                                      \
    }                                                                      \
    void TColumnEh::Set##Name(bool Value) {                                \
        if (StoreAssigned(Flag, F##Name, Value) && Notify) Changed(false); \
    }

GRID_DEFVALUE_FLAG(AlwaysShowEditButton, cvAlwaysShowEditButton, true)
GRID_DEFVALUE_FLAG(EndEllipsis, cvEndEllipsis, true)
GRID_DEFVALUE_FLAG(AutoDropDown, cvAutoDropDown, false)
GRID_DEFVALUE_FLAG(DblClickNextVal, cvDblClickNextVal, false)
GRID_DEFVALUE_FLAG(DropDownShowTitles, cvDropDownShowTitles, false)
GRID_DEFVALUE_FLAG(DropDownSizing, cvDropDownSizing, false)
GRID_DEFVALUE_FLAG(ToolTips, cvToolTips, false)
#undef GRID_DEFVALUE_FLAG

bool TColumnEh::HighlightRequired() const {
    if (Assigned(cvHighlightRequired)) return FHighlightRequired;
    TColumnDefValuesEh* d = DefValues();
    return d ? d->HighlightRequired() : false;
}

void TColumnEh::SetHighlightRequired(bool Value) {
    if (StoreAssigned(cvHighlightRequired, FHighlightRequired, Value)) Changed(false);
}

TTextLayout TColumnEh::Layout() const {
    if (Assigned(cvLayout)) return FLayout;
    TColumnDefValuesEh* d = DefValues();
    return d ? d->Layout() : editors::tlTop;
}

void TColumnEh::SetLayout(TTextLayout Value) {
    if (StoreAssigned(cvLayout, FLayout, Value)) Changed(false);
}

bool TColumnEh::Checkboxes() {
    if (Assigned(cvCheckboxes)) return FCheckboxes;
    db::TField* f = Field();
    return f && f->DataType() == db::ftBoolean;
}

void TColumnEh::SetCheckboxes(bool Value) {
    if (StoreAssigned(cvCheckboxes, FCheckboxes, Value)) Changed(false);
}

WideString TColumnEh::LookupDisplayFields() {
    if (Assigned(cvLookupDisplayFields)) return FLookupDisplayFields;
    db::TField* f = Field();
    return f ? f->LookupResultField() : WideString();
}

void TColumnEh::SetLookupDisplayFields(const WideString& Value) {
    if (Assigned(cvLookupDisplayFields) || Value != LookupDisplayFields()) {
        FLookupDisplayFields = Value;
        MarkAssigned(cvLookupDisplayFields);
    }
    Changed(false);
}

bool TColumnEh::TextEditing() const { return Assigned(cvTextEditing) ? FTextEditing : true; }

void TColumnEh::SetTextEditing(bool Value) {
    TCustomDBGridEh* g = Grid();
    if (Assigned(cvTextEditing) || Value != TextEditing() || (g && g->Loading())) {
        FTextEditing = Value;
        MarkAssigned(cvTextEditing);
    }
    Changed(false);
}

bool TColumnEh::WordWrap() {
    if (Assigned(cvWordWrap)) return FWordWrap;
    db::TField* f = Grid() ? Field() : nullptr;
    if (!f) return false;
    switch (f->DataType()) {
        case db::ftString:
        case db::ftMemo:
        case db::ftFmtMemo:
        case db::ftWideString:
        case db::ftWideMemo: return true;
        default: return false;
    }
}

void TColumnEh::SetWordWrap(bool Value) {
    TCustomDBGridEh* g = Grid();
    if (Assigned(cvWordWrap) || Value != WordWrap() || (g && g->Loading())) {
        FWordWrap = Value;
        MarkAssigned(cvWordWrap);
    }
    Changed(false);
}

ui::TFont* TColumnEh::Font() {
    if (!Assigned(cvFont)) RefreshDefaultFont();
    return FFont.get();
}

void TColumnEh::RefreshDefaultFont() {
    TCustomDBGridEh* g = Grid();
    if (g && !SameFont(FFont.get(), g->Font())) CopyFontQuietly(FFont.get(), g->Font());
}

void TColumnEh::FontChanged() {
    MarkAssigned(cvFont);
    if (FTitle) FTitle->RefreshDefaultFont();
    Changed(false);
}

// --- width ---

int TColumnEh::DefaultWidth() {
    TCustomDBGridEh* g = Grid();
    if (!g) return 64;
    if (db::TField* f = Field()) {
        ui::TFont* font = Font();
        const ui::TTextMetric tm = MeasureMetrics(g, font);
        return (MeasureText(g, font, "0").cx - tm.tmOverhang) * f->DisplayWidth() + tm.tmOverhang + 4;
    }
    return g->DefaultColWidth();
}

int TColumnEh::Width() { return Assigned(cvWidth) ? FWidth : DefaultWidth(); }

void TColumnEh::SetWidth(int Value) {
    TCustomDBGridEh* g = Grid();
    if (IsDefaultColumn() && g) {
        if (g->HandleAllocated() && Field()) {
            ui::TFont* font = Font();
            const ui::TTextMetric tm = MeasureMetrics(g, font);
            const int zeroWidth = MeasureText(g, font, "0").cx;
            // A font whose "0" has no width gives the field no display width to derive.
            if (zeroWidth > 0) FField->SetDisplayWidth((Value + tm.tmAveCharWidth / 2 - tm.tmOverhang - 3) / zeroWidth);
        }
        if (g->InDataLinkLayoutChange() && !Assigned(cvWidth)) return;
    }
    if ((Assigned(cvWidth) || Value != DefaultWidth()) && Value != -1) {
        int w = Value;
        if (FMaxWidth > 0 && w > FMaxWidth) w = FMaxWidth;
        if (w < FMinWidth) w = FMinWidth;
        FWidth = w;
        MarkAssigned(cvWidth);
    }
    Changed(false);
}

void TColumnEh::SetMaxWidth(int Value) {
    FMaxWidth = Value;
    if (Value > 0 && Width() > Value) SetWidth(Value);
}

void TColumnEh::SetMinWidth(int Value) {
    FMinWidth = Value;
    if (Value > 0 && Width() < Value) SetWidth(Value);
}

void TColumnEh::SetAutoFitColWidth(bool Value) {
    if (Value == FAutoFitColWidth) return;
    FAutoFitColWidth = Value;
    TCustomDBGridEh* g = Grid();
    if (g && g->AutoFitColWidths() && !g->Loading() && !g->ComponentState().Contains(rtl::csDesigning))
        SetWidth(FFitWidth);
    Changed(false);
}

// --- plain properties ---

void TColumnEh::SetButtonStyle(TColumnButtonStyleEh Value) {
    if (Replace(FButtonStyle, Value)) Changed(false);
}

void TColumnEh::SetDisplayFormat(const AnsiString& Value) {
    if (Replace(FDisplayFormat, Value)) Changed(false);
}

void TColumnEh::SetDropDownWidth(int Value) {
    if (Replace(FDropDownWidth, Value)) Changed(false);
}

void TColumnEh::SetEditMask(const AnsiString& Value) {
    if (Replace(FEditMask, Value)) Changed(false);
}

void TColumnEh::SetHideDuplicates(bool Value) {
    if (Replace(FHideDuplicates, Value)) Changed(false);
}

void TColumnEh::SetShowImageAndText(bool Value) {
    if (Replace(FShowImageAndText, Value)) Changed(false);
}

void TColumnEh::SetImageList(ui::TCustomImageList* Value) {
    FImageList = Value;
    TCustomDBGridEh* g = Grid();
    if (Value && g) Value->FreeNotification(g);
    RepaintGrid();
}

void TColumnEh::SetPopupMenu(ui::TPopupMenu* Value) {
    FPopupMenu = Value;
    TCustomDBGridEh* g = Grid();
    if (Value && g) Value->FreeNotification(g);
}

void TColumnEh::SetNotInKeyListIndex(int Value) {
    if (Replace(FNotInKeyListIndex, Value)) RepaintGrid();
}

void TColumnEh::SetVisible(bool Value) {
    if (Replace(FVisible, Value)) Changed(true);
}

void TColumnEh::SetOnGetCellParams(TGetColCellParamsEventEh Value) {
    const bool had = static_cast<bool>(FOnGetCellParams);
    FOnGetCellParams = std::move(Value);
    if (had || FOnGetCellParams) RepaintGrid();
}

rtl::TStrings* TColumnEh::PickList() {
    if (!FPickList) FPickList.reset(rtl::Create<rtl::TStringList>());
    return FPickList.get();
}

rtl::TStrings* TColumnEh::KeyList() {
    if (!FKeyList) FKeyList.reset(rtl::Create<rtl::TStringList>());
    return FKeyList.get();
}

void TColumnEh::SetPickList(rtl::TStrings* Value) {
    if (!Value) {
        FPickList.reset();
        return;
    }
    PickList()->Assign(Value);
}

void TColumnEh::SetKeyList(rtl::TStrings* Value) {
    if (!Value)
        FKeyList.reset();
    else
        KeyList()->Assign(Value);
    RepaintGrid();
}

void TColumnEh::SpecRowChanged() { Changed(false); }

void TColumnEh::GetColCellParams(bool EditMode, TColCellParamsEh* Params) {
    if (FOnGetCellParams) FOnGetCellParams(this, EditMode, Params);
}

void TColumnEh::RestoreDefaults() {
    const bool fontAssigned = Assigned(cvFont);
    if (FTitle) FTitle->RestoreDefaults();
    FAssignedValues = TColumnEhValues{};
    RefreshDefaultFont();
    FPickList.reset();
    FKeyList.reset();
    FButtonStyle = cbsAuto;
    Changed(fontAssigned);
}

void TColumnEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TColumnEh*>(Source);
    if (!src) {
        rtl::TCollectionItem::Assign(Source);
        return;
    }
    rtl::TCollection* collection = Collection();
    if (collection) collection->BeginUpdate();
    rtl::TryFinally(
        [&] {
            RestoreDefaults();
            SetFieldName(src->FieldName());
            if (src->Assigned(cvColor)) SetColor(src->Color());
            if (src->Assigned(cvWidth)) SetWidth(src->Width());
            if (src->Assigned(cvFont)) SetFont(src->Font());
            if (src->Assigned(cvAlignment)) SetAlignment(src->Alignment());
            if (src->Assigned(cvReadOnly)) SetReadOnly(src->ReadOnly());
            FTitle->Assign(src->Title());
            SetDropDownRows(src->DropDownRows());
            SetButtonStyle(src->ButtonStyle());
            if (src->FPickList) SetPickList(src->FPickList.get());
            SetPopupMenu(src->PopupMenu());
            FFitWidth = src->FitWidth();
            SetAutoFitColWidth(src->AutoFitColWidth());
            if (src->Assigned(cvWordWrap)) SetWordWrap(src->FWordWrap);
            SetWordWrap(src->WordWrap());
            SetEndEllipsis(src->EndEllipsis());
            SetDropDownWidth(src->DropDownWidth());
            if (src->Assigned(cvLookupDisplayFields)) SetLookupDisplayFields(src->LookupDisplayFields());
            SetAutoDropDown(src->AutoDropDown());
            SetAlwaysShowEditButton(src->AlwaysShowEditButton());
            if (src->FKeyList) SetKeyList(src->FKeyList.get());
            if (src->Assigned(cvCheckboxes)) SetCheckboxes(src->Checkboxes());
            SetIncrement(src->Increment());
            SetToolTips(src->ToolTips());
            SetTag(src->Tag());
            SetVisible(src->Visible());
            SetImageList(src->ImageList());
            SetNotInKeyListIndex(src->NotInKeyListIndex());
            SetMinWidth(src->MinWidth());
            SetMaxWidth(src->MaxWidth());
            SetDblClickNextVal(src->DblClickNextVal());
            SetDropDownSizing(src->DropDownSizing());
            SetDropDownShowTitles(src->DropDownShowTitles());
            SetOnGetCellParams(src->OnGetCellParams());
            OnNotInList = src->OnNotInList;
            OnUpdateData = src->OnUpdateData;
            OnEditButtonClick = src->OnEditButtonClick;
            OnEditButtonDown = src->OnEditButtonDown;
            FEditButtons->Assign(src->EditButtons());
            FDropDownBox->Assign(src->DropDownBox());
            FFooter->Assign(src->Footer());
            FFooters->Assign(src->Footers());
            FMRUList->Assign(src->MRUList());
            SetDisplayFormat(src->DisplayFormat());
            SetEditMask(src->EditMask());
            SetShowImageAndText(src->ShowImageAndText());
            SetHideDuplicates(src->HideDuplicates());
            SetLayout(src->Layout());
        },
        [&] {
            if (collection) collection->EndUpdate();
        });
}

// ---------------------------------------------------------------------------------------------
// TDBGridColumnsEh

TDBGridColumnsEh::TDBGridColumnsEh(TCustomDBGridEh* Grid, const rtl::TCollectionItemClass& ColumnClass)
    : rtl::TCollection(ColumnClass), FGrid(Grid) {}

rtl::TPersistent* TDBGridColumnsEh::GetOwner() { return FGrid; }

TColumnEh* TDBGridColumnsEh::AddDefaultColumn() {
    TColumnEh* c = Add();
    c->FPersistent = false;
    return c;
}

bool TDBGridColumnsEh::HasPersistentColumns() const { return Count() > 0 && !Items(0)->IsDefaultColumn(); }

void TDBGridColumnsEh::ClearFieldReferences() {
    for (int i = 0; i < Count(); ++i) {
        Items(i)->ClearFieldReference();
        Items(i)->SetFilterValueList(nullptr);
    }
}

void TDBGridColumnsEh::Update(rtl::TCollectionItem* Item) {
    TCustomDBGridEh* g = FGrid;
    if (!g || g->Loading() || g->IsDestroying() || !g->Columns()) return;
    if (auto* column = dynamic_cast<TColumnEh*>(Item)) {
        const int gridCol = column->Index() + g->IndicatorColCount();
        if (gridCol < g->FullColCount()) {
            g->InvalidateColumn(gridCol);
            const int gridWidth = g->ColWidths(gridCol);
            if (!g->AutoFitColWidths() || g->ComponentState().Contains(rtl::csDesigning)) {
                if (gridWidth == column->Width()) {
                    if (g->UseMultiTitle()) g->LinkLayoutChanged();
                } else {
                    const int hidden = g->Options().Contains(dgColLines) ? -1 : 0;
                    g->SetColWidths(gridCol, column->Visible() ? column->Width() : hidden);
                }
            } else if (gridWidth != -1) {
                // A hidden or zero-width column has no shown width to scale the fit width by.
                if (gridWidth > 0) {
                    const int oldFit = column->FitWidth();
                    const int newFit = MulDiv(oldFit, column->Width(), gridWidth);
                    column->SetFitWidth(newFit);
                    if (column->Index() < Count() - 1) {
                        TColumnEh* next = Items(column->Index() + 1);
                        next->SetFitWidth(std::max(next->FitWidth() + oldFit - newFit, 0));
                    }
                }
                g->LinkLayoutChanged();
            }
        }
    } else {
        g->RebuildSortMarkedColumnList();
        g->LinkLayoutChanged();
    }
    if (Count() > 0 && g->DisplayedColumnList()->Count() > 0) {
        TColumnEh* current = g->CurrentColumn();
        if (current && !current->Visible()) g->SetCol(g->DataToGridCol(g->DisplayedColumnList()->Items(0)->Index()));
    }
    if (!g->LayoutLocked()) g->InvalidateEditor();
}

// ---------------------------------------------------------------------------------------------
// TColumnTitleEh

TColumnTitleEh::TColumnTitleEh(TColumnEh* Column) : FColumn(Column), FFont(rtl::Create<ui::TFont>()) {
    CopyFontQuietly(FFont.get(), DefaultFont());
    FFont->OnChange = [this](rtl::TObject*) { FontChanged(); };
}

TColumnTitleEh::~TColumnTitleEh() = default;

TCustomDBGridEh* TColumnTitleEh::Grid() const { return FColumn->Grid(); }

TColumnDefValuesEh* TColumnTitleEh::DefValues() const { return FColumn->DefValues(); }

ui::TFont* TColumnTitleEh::DefaultFont() const {
    TCustomDBGridEh* g = Grid();
    return g ? g->TitleFont() : FColumn->FFont.get();
}

void TColumnTitleEh::FontChanged() {
    FColumn->MarkAssigned(cvTitleFont);
    FColumn->Changed(true);
}

void TColumnTitleEh::RefreshDefaultFont() {
    if (FColumn->Assigned(cvTitleFont)) return;
    ui::TFont* d = DefaultFont();
    if (!SameFont(FFont.get(), d)) CopyFontQuietly(FFont.get(), d);
}

ui::TFont* TColumnTitleEh::Font() {
    RefreshDefaultFont();
    return FFont.get();
}

AnsiString TColumnTitleEh::Caption() const {
    if (FColumn->Assigned(cvTitleCaption)) return FCaption;
    if (db::TField* f = FColumn->Field()) return rtl::WideToAnsi(f->DisplayName());
    return rtl::WideToAnsi(FColumn->FieldName());
}

void TColumnTitleEh::SetCaption(const AnsiString& Value) {
    TCustomDBGridEh* g = Grid();
    if (FColumn->IsDefaultColumn() && g && g->DataLink()->Active() && FColumn->Field()) {
        FColumn->Field()->SetDisplayLabel(rtl::AnsiToWide(Value));
        return;
    }
    Store(cvTitleCaption, FCaption, Value);
}

template <class T, class Get>
T TColumnTitleEh::Defaulted(TColumnEhValue V, const T& Own, Get FromDefaults, const T& Fallback) const {
    if (FColumn->Assigned(V)) return Own;
    TColumnDefValuesEh* d = DefValues();
    return d ? FromDefaults(d->Title()) : Fallback;
}

template <class T>
void TColumnTitleEh::Store(TColumnEhValue V, T& Field, const T& Value) {
    if (FColumn->StoreAssigned(V, Field, Value)) FColumn->Changed(false);
}

TAlignment TColumnTitleEh::Alignment() const {
    return Defaulted(
        cvTitleAlignment, FAlignment, [](auto* d) { return d->Alignment(); }, db::taLeftJustify);
}
void TColumnTitleEh::SetAlignment(TAlignment Value) { Store(cvTitleAlignment, FAlignment, Value); }

ui::TColor TColumnTitleEh::Color() const {
    return Defaulted(
        cvTitleColor, FColor, [](auto* d) { return d->Color(); }, ui::clBtnFace);
}
void TColumnTitleEh::SetColor(ui::TColor Value) { Store(cvTitleColor, FColor, Value); }

bool TColumnTitleEh::EndEllipsis() const {
    return Defaulted(
        cvTitleEndEllipsis, FEndEllipsis, [](auto* d) { return d->EndEllipsis(); }, false);
}
void TColumnTitleEh::SetEndEllipsis(bool Value) { Store(cvTitleEndEllipsis, FEndEllipsis, Value); }

TTextOrientationEh TColumnTitleEh::Orientation() const {
    return Defaulted(
        cvTitleOrientation, FOrientation, [](auto* d) { return d->Orientation(); }, tohHorizontal);
}
void TColumnTitleEh::SetOrientation(TTextOrientationEh Value) { Store(cvTitleOrientation, FOrientation, Value); }

bool TColumnTitleEh::TitleButton() const {
    return Defaulted(
        cvTitleButton, FTitleButton, [](auto* d) { return d->TitleButton(); }, false);
}
void TColumnTitleEh::SetTitleButton(bool Value) { Store(cvTitleButton, FTitleButton, Value); }

bool TColumnTitleEh::ToolTips() const {
    return Defaulted(
        cvTitleToolTips, FToolTips, [](auto* d) { return d->ToolTips(); }, false);
}
void TColumnTitleEh::SetToolTips(bool Value) { FColumn->StoreAssigned(cvTitleToolTips, FToolTips, Value); }

void TColumnTitleEh::SetImageIndex(int Value) {
    FImageIndex = Value;
    if (TCustomDBGridEh* g = Grid()) g->LinkLayoutChanged();
}

void TColumnTitleEh::RestoreDefaults() {
    const bool fontAssigned = FColumn->Assigned(cvTitleFont);
    FColumn->FAssignedValues = FColumn->FAssignedValues - ColumnEhTitleValues;
    FCaption.clear();
    RefreshDefaultFont();
    FColumn->Changed(fontAssigned);
}

void TColumnTitleEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TColumnTitleEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    TColumnEh* sc = src->FColumn;
    if (sc->Assigned(cvTitleAlignment)) SetAlignment(src->Alignment());
    if (sc->Assigned(cvTitleColor)) SetColor(src->Color());
    if (sc->Assigned(cvTitleCaption)) SetCaption(src->Caption());
    if (sc->Assigned(cvTitleFont)) SetFont(src->Font());
    SetHint(src->Hint());
    SetImageIndex(src->ImageIndex());
    SetOrientation(src->Orientation());
    SetSortIndex(src->SortIndex());
    SetSortMarker(src->SortMarker());
    SetTitleButton(src->TitleButton());
    SetEndEllipsis(src->EndEllipsis());
    SetToolTips(src->ToolTips());
}

// --- sort markers ---

void TColumnTitleEh::SetSortMarker(TSortMarkerEh Value) {
    if (Value == FSortMarker) return;
    FSortMarker = Value;
    TCustomDBGridEh* g = Grid();
    TDBGridColumnsEh* columns = g ? g->Columns() : nullptr;
    if (!columns || columns->UpdateCount() > 0) return;
    TColumnsEhList* list = g->SortMarkedColumnList();
    if (g->OptionsEh().Contains(dghMultiSortMarking)) {
        if (Value != smNoneEh && FSortIndex == 0) {
            int marked = 0;
            for (int i = 0; i < columns->Count(); ++i)
                if (columns->Items(i)->Title()->FSortIndex != 0) ++marked;
            FSortIndex = marked + 1;
            list->Add(FColumn);
        } else if (Value == smNoneEh && FSortIndex != 0) {
            for (int i = 0; i < columns->Count(); ++i) {
                TColumnTitleEh* t = columns->Items(i)->Title();
                if (t != this && t->FSortIndex > FSortIndex) --t->FSortIndex;
            }
            list->Remove(FColumn);
            FSortIndex = 0;
        }
    } else if (Value != smNoneEh) {
        for (int i = 0; i < columns->Count(); ++i) {
            TColumnTitleEh* t = columns->Items(i)->Title();
            if (t != this && t->FSortMarker != smNoneEh) t->SetSortMarker(smNoneEh);
        }
        FSortIndex = 1;
        list->Clear();
        list->Add(FColumn);
    } else {
        FSortIndex = 0;
        list->Clear();
    }
    FColumn->Changed(false);
}

void TColumnTitleEh::SetSortIndex(int Value) {
    Value = std::max(Value, 0);
    if (Value == FSortIndex) return;
    TCustomDBGridEh* g = Grid();
    TDBGridColumnsEh* columns = g ? g->Columns() : nullptr;
    if (!columns || columns->UpdateCount() > 0) {
        FSortIndex = Value;
        return;
    }
    if (FSortMarker == smNoneEh || Value == 0) return;
    for (int i = 0; i < columns->Count(); ++i) {
        TColumnTitleEh* t = columns->Items(i)->Title();
        if (t == this || t->FSortIndex != Value) continue;
        t->FSortIndex = FSortIndex;
        FSortIndex = Value;
        TColumnsEhList* list = g->SortMarkedColumnList();
        const int a = list->IndexOf(FColumn), b = list->IndexOf(t->FColumn);
        if (a >= 0 && b >= 0) list->Exchange(a, b);
        FColumn->Changed(false);
        return;
    }
}

void TColumnTitleEh::CycleSortMarker(bool KeepOthers) {
    if (!KeepOthers) {
        if (TCustomDBGridEh* g = Grid()) {
            for (int i = 0; i < g->Columns()->Count(); ++i) {
                TColumnTitleEh* t = g->Columns()->Items(i)->Title();
                if (t != this && t->FSortMarker != smNoneEh) t->SetSortMarker(smNoneEh);
            }
        }
    }
    switch (FSortMarker) {
        case smNoneEh: SetSortMarker(smDownEh); break;
        case smDownEh: SetSortMarker(smUpEh); break;
        case smUpEh: SetSortMarker(KeepOthers ? smNoneEh : smDownEh); break;
    }
}

int TColumnTitleEh::SortMarkerAreaWidth() {
    if (FSortIndex == 0) return 0;
    TCustomDBGridEh* g = Grid();
    int numberWidth = 0;
    if (g && g->SortMarkedColumnList()->Count() >= 2)
        numberWidth = MeasureText(g, SortMarkerFont(), rtl::IntToStr(FSortIndex)).cx;
    int w = 16 + numberWidth;
    const int room = FColumn->Width() - 4;
    if (w > room) w -= 14;
    if (w > room) w -= numberWidth + 2;
    return w;
}

// ---------------------------------------------------------------------------------------------
// Column default values

TColumnDefValuesEh::TColumnDefValuesEh(TCustomDBGridEh* Grid)
    : FGrid(Grid),
      FTitle(rtl::Create<TColumnTitleDefValuesEh>(this)),
      FFooter(rtl::Create<TColumnFooterDefValuesEh>()) {}

TColumnDefValuesEh::~TColumnDefValuesEh() = default;

void TColumnDefValuesEh::Repaint() {
    if (FGrid) FGrid->Invalidate();
}

void TColumnDefValuesEh::SetAlwaysShowEditButton(bool Value) {
    if (Value == FAlwaysShowEditButton) return;
    FAlwaysShowEditButton = Value;
    Repaint();
}

void TColumnDefValuesEh::SetEndEllipsis(bool Value) {
    if (Value == FEndEllipsis) return;
    FEndEllipsis = Value;
    Repaint();
}

void TColumnDefValuesEh::SetHighlightRequired(bool Value) {
    if (Value == FHighlightRequired) return;
    FHighlightRequired = Value;
    Repaint();
}

void TColumnDefValuesEh::SetLayout(TTextLayout Value) {
    if (Value == FLayout) return;
    FLayout = Value;
    Repaint();
}

void TColumnDefValuesEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TColumnDefValuesEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    FTitle->Assign(src->Title());
    SetAlwaysShowEditButton(src->AlwaysShowEditButton());
    SetEndEllipsis(src->EndEllipsis());
    FAutoDropDown = src->FAutoDropDown;
    FDblClickNextVal = src->FDblClickNextVal;
    FToolTips = src->FToolTips;
    FDropDownSizing = src->FDropDownSizing;
    FDropDownShowTitles = src->FDropDownShowTitles;
}

TCustomDBGridEh* TColumnTitleDefValuesEh::Grid() const { return FOwner ? FOwner->Grid() : nullptr; }

TAlignment TColumnTitleDefValuesEh::Alignment() const {
    if (FAlignmentAssigned) return FAlignment;
    TCustomDBGridEh* g = Grid();
    return g && g->UseMultiTitle() ? db::taCenter : db::taLeftJustify;
}

void TColumnTitleDefValuesEh::SetAlignment(TAlignment Value) {
    if (FAlignmentAssigned && FAlignment == Value) return;
    FAlignment = Value;
    FAlignmentAssigned = true;
    if (TCustomDBGridEh* g = Grid()) g->LinkLayoutChanged();
}

ui::TColor TColumnTitleDefValuesEh::Color() const {
    if (FColorAssigned) return FColor;
    TCustomDBGridEh* g = Grid();
    return g ? g->FixedColor() : ui::clBtnFace;
}

void TColumnTitleDefValuesEh::SetColor(ui::TColor Value) {
    if (FColorAssigned && FColor == Value) return;
    FColor = Value;
    FColorAssigned = true;
    if (TCustomDBGridEh* g = Grid()) g->Invalidate();
}

void TColumnTitleDefValuesEh::SetEndEllipsis(bool Value) {
    if (Value == FEndEllipsis) return;
    FEndEllipsis = Value;
    if (TCustomDBGridEh* g = Grid()) g->Invalidate();
}

void TColumnTitleDefValuesEh::SetOrientation(TTextOrientationEh Value) {
    if (Value == FOrientation) return;
    FOrientation = Value;
    if (TCustomDBGridEh* g = Grid()) g->LinkLayoutChanged();
}

void TColumnTitleDefValuesEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TColumnTitleDefValuesEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    if (src->FAlignmentAssigned) SetAlignment(src->FAlignment);
    if (src->FColorAssigned) SetColor(src->FColor);
    SetEndEllipsis(src->EndEllipsis());
    FTitleButton = src->FTitleButton;
    FToolTips = src->FToolTips;
    SetOrientation(src->Orientation());
}

void TColumnFooterDefValuesEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TColumnFooterDefValuesEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    FToolTips = src->FToolTips;
}

}  // namespace grid
