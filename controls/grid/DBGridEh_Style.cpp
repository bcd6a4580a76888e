#include "controls/grid/DBGridEh_Style.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace grid {

namespace {

TDBGridEhStyle* GStyle = nullptr;
TDBGridEhCenter* GCenter = nullptr;

template <class T>
void AddOnce(std::vector<T*>& List, T* Item) {
    if (std::find(List.begin(), List.end(), Item) == List.end()) List.push_back(Item);
}

template <class T>
void RemoveItem(std::vector<T*>& List, T* Item) {
    List.erase(std::remove(List.begin(), List.end(), Item), List.end());
}

}  // namespace

ui::TColor BlendTowardGlass(ui::TColor Color, ui::TColor Glass, bool Ungray) {
    const ui::TColorRef c = ui::ColorToRGB(Color);
    const ui::TColorRef g = ui::ColorToRGB(Glass);
    auto channel = [&](uint8_t cv, uint8_t gv) {
        double v = cv + (gv - cv) * 0.5;
        v = v + (225 - v) * 0.6;
        if (Ungray) v = v - (122 - v) * 0.25;
        return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    };
    return static_cast<ui::TColor>(ui::RGB(channel(ui::GetRValue(c), ui::GetRValue(g)),
                                           channel(ui::GetGValue(c), ui::GetGValue(g)),
                                           channel(ui::GetBValue(c), ui::GetBValue(g))));
}

// ---------------------------------------------------------------------------------------------
// Style

TDBGridEhStyle::TDBGridEhStyle() { SystemColorsChanged(); }

TDBGridEhStyle::~TDBGridEhStyle() {
    if (GStyle == this) GStyle = nullptr;
}

void TDBGridEhStyle::AddGrid(TCustomDBGridEh* Grid) { AddOnce(FGrids, Grid); }
void TDBGridEhStyle::RemoveGrid(TCustomDBGridEh* Grid) { RemoveItem(FGrids, Grid); }
bool TDBGridEhStyle::HasGrid(TCustomDBGridEh* Grid) const {
    return std::find(FGrids.begin(), FGrids.end(), Grid) != FGrids.end();
}

// The screen is a true-colour surface.
void TDBGridEhStyle::SystemColorsChanged() { FScreenNumColors = -1; }

bool TDBGridEhStyle::GetDataCellHighlight(TCustomDBGridEh* Grid, int ACol, int ARow, int DataCol, int DataRow,
                                          TGridDrawState& State, ui::TFont* Font, ui::TColor& Background) {
    const TDBGridOptions o = Grid->Options();
    bool highlighted = false;
    if (Grid->DataLink()->Active() && Grid->DataSet())
        highlighted = Grid->Selection()->CellSelected(DataCol, Grid->DataSet()->GetBookmark());
    bool focused = Grid->Focused() && Grid->OptionsEh().Contains(dghHighlightFocus);
    const bool currentRow = DataRow + Grid->TitleRowCount() == Grid->Row();
    if (!highlighted) {
        if (Grid->OptionsEh().Contains(dghRowHighlight) && currentRow && Grid->SelectionType() == gstNon &&
            ACol != Grid->Col() && (focused || o.Contains(dgAlwaysShowSelection))) {
            State.Include(gdSelected);
            focused = true;
        }
        highlighted = (State.Contains(gdSelected) || (currentRow && o.Contains(dgRowSelect))) &&
                      (o.Contains(dgAlwaysShowSelection) || focused);
        if (Grid->LayoutLocked() && !o.Contains(dgRowSelect)) highlighted = false;
    }
    if (!highlighted) return false;
    const bool current = ARow == Grid->Row() && (ACol == Grid->Col() || o.Contains(dgRowSelect));
    const bool editorFocused = Grid->InplaceEditor() && Grid->InplaceEditor()->Focused();
    if (!Grid->Focused() && !editorFocused) {
        if (current && (focused || o.Contains(dgAlwaysShowSelection))) {
            Background = ui::clBtnShadow;
            if (Font) Font->SetColor(ui::clHighlightText);
        } else if (ManyColors()) {
            Background = BlendTowardGlass(Background, ui::clBtnShadow, false);
        } else {
            Background = ui::clBtnFace;
        }
    } else if (FLightenSelection && ManyColors()) {
        if (current) {
            Background = ui::clHighlight;
            if (Font) Font->SetColor(ui::clHighlightText);
        } else {
            Background = BlendTowardGlass(Background, ui::clHighlight, true);
        }
    } else {
        Background = ui::clHighlight;
        if (Font) Font->SetColor(ui::clHighlightText);
    }
    return true;
}

bool TDBGridEhStyle::GetSelectedFixedCellColors(TCustomDBGridEh* Grid, int, int, ui::TFont* Font,
                                                ui::TColor& Background, bool Selected, TFixedCellAreaEh Area) {
    if (!Selected) return false;
    const bool dark = Area == fcaIndicator || Area == fcaTitle || Area == fcaFilter ||
                      (Area == fcaFooter && Grid->FooterColor() == Grid->FixedColor());
    if (dark) {
        Background = static_cast<ui::TColor>(ui::RGB(64, 64, 64));
        if (Font) Font->SetColor(ui::clWhite);
        return true;
    }
    const bool editorFocused = Grid->InplaceEditor() && Grid->InplaceEditor()->Focused();
    if (Grid->Focused() || editorFocused) {
        if (FLightenSelection && ManyColors()) {
            Background = BlendTowardGlass(Background, ui::clHighlight, true);
        } else {
            Background = ui::clHighlight;
            if (Font) Font->SetColor(ui::clHighlightText);
        }
    } else {
        Background = ManyColors() ? BlendTowardGlass(Background, ui::clBtnShadow, false) : ui::clBtnFace;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Center

TDBGridEhCenter::TDBGridEhCenter() = default;

TDBGridEhCenter::~TDBGridEhCenter() {
    if (GCenter == this) GCenter = nullptr;
}

void TDBGridEhCenter::AddGrid(TCustomDBGridEh* Grid) { AddOnce(FGrids, Grid); }
void TDBGridEhCenter::RemoveGrid(TCustomDBGridEh* Grid) { RemoveItem(FGrids, Grid); }
bool TDBGridEhCenter::HasGrid(TCustomDBGridEh* Grid) const {
    return std::find(FGrids.begin(), FGrids.end(), Grid) != FGrids.end();
}

bool TDBGridEhCenter::DefaultLocateText(TCustomDBGridEh* Grid, const WideString& FieldName, const AnsiString& Text,
                                        TLocateTextMatchTypeEh MatchType, TLocateTextDirectionEh Direction,
                                        TLocateTextOptionsEh Options) {
    return Grid->LocateText(FieldName, Text, MatchType, Direction, Options);
}

bool TDBGridEhCenter::DefaultMoveRecords(TCustomDBGridEh* Grid, const std::vector<db::TBookmark>& Bookmarks,
                                         int TargetRecord, bool CheckOnly) {
    TDatasetFeaturesEh* f = FeaturesForDataSet(Grid->DataSet());
    return f && f->MoveRecords(Grid, Bookmarks, TargetRecord, CheckOnly);
}

bool TDBGridEhCenter::LocateText(TCustomDBGridEh* Grid, const WideString& FieldName, const AnsiString& Text,
                                 TLocateTextMatchTypeEh MatchType, TLocateTextDirectionEh Direction,
                                 TLocateTextOptionsEh Options) {
    if (OnLocateText) return OnLocateText(Grid, FieldName, Text, MatchType, Direction, Options);
    return DefaultLocateText(Grid, FieldName, Text, MatchType, Direction, Options);
}

bool TDBGridEhCenter::MoveRecords(TCustomDBGridEh* Grid, const std::vector<db::TBookmark>& Bookmarks,
                                  int TargetRecord, bool CheckOnly) {
    return DefaultMoveRecords(Grid, Bookmarks, TargetRecord, CheckOnly);
}

void TDBGridEhCenter::ApplyFilter(TCustomDBGridEh* Grid) {
    if (OnApplyFilter) OnApplyFilter(Grid);
    else DefaultApplyFilter(Grid);
}

void TDBGridEhCenter::ApplySorting(TCustomDBGridEh* Grid) {
    if (OnApplySorting) OnApplySorting(Grid);
    else DefaultApplySorting(Grid);
}

void TDBGridEhCenter::DefaultApplyFilter(TCustomDBGridEh* Grid) {
    db::TDataSet* ds = Grid->DataSet();
    if (!Grid->DataSource() || !ds) return;
    if (TDatasetFeaturesEh* f = FeaturesForDataSet(ds)) f->ApplyFilter(Grid, ds, ds->Active());
}

void TDBGridEhCenter::DefaultApplySorting(TCustomDBGridEh* Grid) {
    db::TDataSet* ds = Grid->DataSet();
    if (!Grid->DataSource() || !ds) return;
    if (TDatasetFeaturesEh* f = FeaturesForDataSet(ds)) f->ApplySorting(Grid, ds, ds->Active());
}

TDBGridEhStyle* CurrentGridStyle() noexcept { return GStyle; }
TDBGridEhCenter* CurrentGridCenter() noexcept { return GCenter; }
void SetCurrentGridStyle(TDBGridEhStyle* Style) noexcept { GStyle = Style; }
void SetCurrentGridCenter(TDBGridEhCenter* Center) noexcept { GCenter = Center; }

// ---------------------------------------------------------------------------------------------
// Shared routines

int FieldValueAsInteger(db::TField* F, int Default) {
    using namespace db;
    auto fits = [](double v) {
        return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
    };
    switch (F->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
        return F->IsNull() ? 0 : F->AsInteger();
    case ftLargeint: {
        if (F->IsNull()) return 0;
        const int64_t v = F->AsLargeInt();
        return fits(static_cast<double>(v)) ? static_cast<int>(v) : Default;
    }
    case ftFloat:
    case ftCurrency: {
        if (F->IsNull()) return 0;
        const double v = F->AsFloat();
        return fits(v) ? static_cast<int>(v) : Default;
    }
    case ftBCD:
    case ftFMTBcd: {
        if (F->IsNull()) return Default;
        const double v = F->AsFloat();
        return fits(v) ? static_cast<int>(v) : Default;
    }
    default:
        return Default;
    }
}

bool AllFieldsModifiable(const std::vector<db::TField*>& Fields) {
    return std::all_of(Fields.begin(), Fields.end(), [](db::TField* f) { return f->CanModify(); });
}

void RaiseInvalidGridOperation(const AnsiString& Message) { throw EInvalidGridOperationEh(Message); }

void RemovePendingMessage(ui::HWND Wnd, ui::UINT Message) {
    ui::TMsg m;
    if (ui::PeekMessage(m, Wnd, Message, Message, ui::PM_REMOVE) && m.message == ui::WM_QUIT)
        ui::PostMessage(Wnd, ui::WM_QUIT, m.wParam, m.lParam);
}

void SwapRectSides(TRect& R) noexcept {
    const int w = R.Right - R.Left, h = R.Bottom - R.Top;
    R.Right = R.Left + h;
    R.Bottom = R.Top + w;
}

}  // namespace grid
