#include "controls/grid/DBGridEh_Style.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "controls/grid/DBGridEhImpExp.h"
#include "framework/rtl/Ownership.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Forms.h"

namespace grid {

namespace {

TDBGridEhStyle* GStyle = nullptr;
TDBGridEhCenter* GCenter = nullptr;
bool GUnitSetUp = false;

// The unit's set-up: one style and one center, made once.
void SetUpStyleAndCenter() {
    if (GUnitSetUp) return;
    GUnitSetUp = true;
    GStyle = rtl::Create<TDBGridEhStyle>();
    GCenter = rtl::Create<TDBGridEhCenter>();
}

}  // namespace

void TAttachedGridsEh::Add(TCustomDBGridEh* Grid) {
    if (!Has(Grid)) FGrids.push_back(Grid);
}

void TAttachedGridsEh::Remove(TCustomDBGridEh* Grid) {
    FGrids.erase(std::remove(FGrids.begin(), FGrids.end(), Grid), FGrids.end());
}

bool TAttachedGridsEh::Has(TCustomDBGridEh* Grid) const {
    return std::find(FGrids.begin(), FGrids.end(), Grid) != FGrids.end();
}

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

void TGridStyleWindowEh::WndProc(ui::TMessage& Message) { FStyle->HiddenWindowProc(Message); }

void TGridStyleWindowEh::CreateParams(ui::TCreateParams& Params) {
    ui::TWinControl::CreateParams(Params);
    Params.Style = ui::WS_POPUP;
}

void TGridStyleWindowEh::CreateWindowHandle(const ui::TCreateParams&) { FHandle = ui::detail::AllocateHandle(this); }

void TGridStyleWindowEh::DestroyWindowHandle() {
    ui::detail::ReleaseHandle(FHandle);
    FHandle = 0;
}

TDBGridEhStyle::TDBGridEhStyle() : FHiddenWindow(rtl::Create<TGridStyleWindowEh>(nullptr, this)) {
    FHiddenWindow->HandleNeeded();
    SystemColorsChanged();
}

TDBGridEhStyle::~TDBGridEhStyle() {
    if (GStyle == this) GStyle = nullptr;
    const std::vector<TCustomDBGridEh*> grids = FGrids.Items();
    for (TCustomDBGridEh* g : grids) g->SetStyle(nullptr);
}

ui::HWND TDBGridEhStyle::HiddenWindow() const { return FHiddenWindow->Handle(); }

void TDBGridEhStyle::HiddenWindowProc(ui::TMessage& Message) {
    if (Message.Msg != ui::WM_SYSCOLORCHANGE) {
        FHiddenWindow->DefaultProc(Message);
        return;
    }
    try {
        SystemColorsChanged();
    } catch (const rtl::Exception& e) {
        ui::Application()->HandleException(e);
    }
}

// NUMCOLORS: the palette size of a screen of 8 bits or less, -1 above.
void TDBGridEhStyle::SystemColorsChanged() {
    const int bits = ui::GetDeviceCaps(nullptr, ui::BITSPIXEL) * ui::GetDeviceCaps(nullptr, ui::PLANES);
    FScreenNumColors = bits > 8 ? -1 : 1 << bits;
}

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
    const std::vector<TCustomDBGridEh*> grids = FGrids.Items();
    for (TCustomDBGridEh* g : grids) g->SetCenter(nullptr);
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

bool TDBGridEhCenter::MoveRecords(TCustomDBGridEh* Grid, const std::vector<db::TBookmark>& Bookmarks, int TargetRecord,
                                  bool CheckOnly) {
    return DefaultMoveRecords(Grid, Bookmarks, TargetRecord, CheckOnly);
}

void TDBGridEhCenter::ApplyFilter(TCustomDBGridEh* Grid) {
    if (OnApplyFilter)
        OnApplyFilter(Grid);
    else
        DefaultApplyFilter(Grid);
}

void TDBGridEhCenter::ApplySorting(TCustomDBGridEh* Grid) {
    if (OnApplySorting)
        OnApplySorting(Grid);
    else
        DefaultApplySorting(Grid);
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

void TDBGridEhCenter::IndicatorTitleMouseDown(TCustomDBGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button,
                                              ui::TShiftState Shift, int X, int Y) {
    if (OnIndicatorTitleMouseDown)
        OnIndicatorTitleMouseDown(Grid, Cell, Button, Shift, X, Y);
    else
        DefaultIndicatorTitleMouseDown(Grid, Cell, Button, Shift, X, Y);
}

void TDBGridEhCenter::DefaultIndicatorTitleMouseDown(TCustomDBGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button,
                                                     ui::TShiftState Shift, int X, int Y) {
    if (Grid->OnIndicatorTitleMouseDown)
        Grid->OnIndicatorTitleMouseDown(Grid, Cell, Button, Shift, X, Y);
    else
        Grid->IndicatorTitleMouseDown(Cell, Button, Shift, X, Y);
}

void TDBGridEhCenter::DefaultCellMouseClick(TCustomDBGridEh*, TGridCoord, ui::TMouseButton, ui::TShiftState, int, int) {
}

void TDBGridEhCenter::CellMouseClick(TCustomDBGridEh* Grid, TGridCoord Cell, ui::TMouseButton Button,
                                     ui::TShiftState Shift, int X, int Y) {
    if (OnCellMouseClick)
        OnCellMouseClick(Grid, Cell, Button, Shift, X, Y);
    else
        DefaultCellMouseClick(Grid, Cell, Button, Shift, X, Y);
}

void TDBGridEhCenter::BuildIndicatorTitleMenu(TCustomDBGridEh* Grid, ui::TPopupMenu*& PopupMenu) {
    if (OnBuildIndicatorTitleMenu)
        OnBuildIndicatorTitleMenu(Grid, PopupMenu);
    else
        BuildDefaultIndicatorTitleMenu(Grid, PopupMenu);
}

namespace {

// The menu and its shared items belong to the screen and are found there by name, so a new
// screen gets new ones.
struct TIndicatorMenuParts {
    ui::TPopupMenu* Menu = nullptr;
    TDBGridEhMenuItem* VisibleColumns = nullptr;
    TDBGridEhMenuItem* Actions[5] = {};
};

TIndicatorMenuParts IndicatorMenuParts() {
    static const char* const names[5] = {"DBGridEhCutItem", "DBGridEhCopyItem", "DBGridEhPasteItem",
                                         "DBGridEhDeleteItem", "DBGridEhSelectAllItem"};
    static const char* const captions[5] = {msg::SCutEh, msg::SCopyEh, msg::SPasteEh, msg::SDeleteEh,
                                            msg::SSelectAllEh};
    ui::TScreen* screen = ui::Screen();
    TIndicatorMenuParts p;
    p.Menu = dynamic_cast<ui::TPopupMenu*>(screen->FindComponent("DBGridEhIndicatorTitlePopupMenu"));
    if (p.Menu) {
        p.VisibleColumns = dynamic_cast<TDBGridEhMenuItem*>(screen->FindComponent("DBGridEhVisibleColumnsItem"));
        for (int i = 0; i < 5; ++i) p.Actions[i] = dynamic_cast<TDBGridEhMenuItem*>(screen->FindComponent(names[i]));
        return p;
    }
    p.Menu = rtl::Create<ui::TPopupMenu>(screen);
    p.Menu->SetName("DBGridEhIndicatorTitlePopupMenu");
    p.VisibleColumns = rtl::Create<TDBGridEhMenuItem>(screen);
    p.VisibleColumns->SetName("DBGridEhVisibleColumnsItem");
    p.VisibleColumns->SetCaption(msg::SVisibleColumnsEh);
    for (int i = 0; i < 5; ++i) {
        TDBGridEhMenuItem* item = rtl::Create<TDBGridEhMenuItem>(screen);
        item->SetName(names[i]);
        item->SetCaption(captions[i]);
        item->ActionNumber = i + 1;
        item->OnClick = [item](rtl::TObject*) {
            static const TDBGridEhEditAction actions[5] = {geaCutEh, geaCopyEh, geaPasteEh, geaDeleteEh,
                                                           geaSelectAllEh};
            if (item->Grid) item->Grid->RunEditAction(actions[item->ActionNumber - 1]);
        };
        p.Actions[i] = item;
    }
    return p;
}

}  // namespace

ui::TPopupMenu* IndicatorTitlePopupMenu() { return IndicatorMenuParts().Menu; }

void TDBGridEhCenter::BuildDefaultIndicatorTitleMenu(TCustomDBGridEh* Grid, ui::TPopupMenu*& PopupMenu) {
    const TIndicatorMenuParts parts = IndicatorMenuParts();
    ui::TMenuItem* items = parts.Menu->Items();
    // The shared items (owned by the screen) only leave the menu; the copies go with it.
    items->Clear();
    PopupMenu = parts.Menu;
    TDBGridEhIndicatorTitle* title = Grid->IndicatorTitle();
    if (title->UseGlobalMenu()) {
        if (FIndicatorMenuItems.Contains(gimVisibleColumnsEh)) {
            TDBGridEhMenuItem* vc = parts.VisibleColumns;
            vc->Clear();
            vc->Grid = Grid;
            TDBGridColumnsEh* columns = Grid->Columns();
            for (int i = 0; i < columns->Count(); ++i) {
                TColumnEh* c = columns->Items(i);
                if (c->Title()->Caption().empty()) continue;
                auto* item = rtl::Create<TColumnEhMenuItem>(nullptr);
                item->Column = c;
                item->SetCaption(c->Title()->Caption());
                item->SetChecked(c->Visible());
                item->OnClick = [item](rtl::TObject*) { item->Column->SetVisible(!item->Column->Visible()); };
                vc->Add(item);
            }
            items->Add(vc);
        }
        static const TDBGridEhIndicatorMenuItem flags[5] = {gimCutEh, gimCopyEh, gimPasteEh, gimDeleteEh,
                                                            gimSelectAllEh};
        static const TDBGridEhEditAction actions[5] = {geaCutEh, geaCopyEh, geaPasteEh, geaDeleteEh, geaSelectAllEh};
        for (int i = 0; i < 5; ++i) {
            if (!FIndicatorMenuItems.Contains(flags[i])) continue;
            TDBGridEhMenuItem* item = parts.Actions[i];
            item->Grid = Grid;
            item->SetEnabled(Grid->EditActionEnabled(actions[i]) && Grid->EditActions().Contains(actions[i]));
            items->Add(item);
        }
    }
    if (ui::TPopupMenu* extra = title->DropdownMenu()) {
        if (items->Count() > 0) {
            auto* line = rtl::Create<ui::TMenuItem>(nullptr);
            line->SetCaption("-");
            items->Add(line);
        }
        ui::TMenuItem* source = extra->Items();
        for (int i = 0; i < source->Count(); ++i) {
            ui::TMenuItem* s = source->Items(i);
            auto* copy = rtl::Create<ui::TMenuItem>(nullptr);
            copy->SetAction(s->Action());
            copy->SetAutoCheck(s->AutoCheck());
            if (s->HasBitmap()) copy->SetBitmap(s->Bitmap());
            copy->SetBreak(s->Break());
            copy->SetCaption(s->Caption());
            copy->SetChecked(s->Checked());
            copy->SetDefault(s->Default());
            copy->SetEnabled(s->Enabled());
            copy->SetGroupIndex(s->GroupIndex());
            copy->SetHint(s->Hint());
            copy->SetImageIndex(s->ImageIndex());
            copy->SetRadioItem(s->RadioItem());
            copy->SetShortCut(s->ShortCut());
            copy->SetVisible(s->Visible());
            copy->OnClick = s->OnClick;
            items->Add(copy);
        }
    }
}

TDBGridEhStyle* CurrentGridStyle() {
    SetUpStyleAndCenter();
    return GStyle;
}

TDBGridEhCenter* CurrentGridCenter() {
    SetUpStyleAndCenter();
    return GCenter;
}
void SetCurrentGridStyle(TDBGridEhStyle* Style) noexcept {
    GUnitSetUp = true;
    GStyle = Style;
}

void SetCurrentGridCenter(TDBGridEhCenter* Center) noexcept {
    GUnitSetUp = true;
    GCenter = Center;
}

// ---------------------------------------------------------------------------------------------
// The grid's side

void TCustomDBGridEh::SetStyle(TDBGridEhStyle* Value) {
    if (Value == FStyle) return;
    if (FStyle) FStyle->RemoveGrid(this);
    FStyle = Value;
    if (FStyle)
        FStyle->AddGrid(this);
    else if (!IsDestroying())
        LinkLayoutChanged();
    if (HandleAllocated()) Invalidate();
}

void TCustomDBGridEh::SetCenter(TDBGridEhCenter* Value) {
    if (Value == FCenter) return;
    if (FCenter) FCenter->RemoveGrid(this);
    FCenter = Value;
    if (FCenter) FCenter->AddGrid(this);
}

void TCustomDBGridEh::DefaultApplySorting() {
    if (FCenter) FCenter->ApplySorting(this);
}

void TCustomDBGridEh::DefaultBuildIndicatorTitleMenu(ui::TPopupMenu*& PopupMenu) {
    if (FCenter) FCenter->BuildIndicatorTitleMenu(this, PopupMenu);
}

void TCustomDBGridEh::SetIndicatorTitle(TDBGridEhIndicatorTitle* Value) { FIndicatorTitle->Assign(Value); }

bool TCustomDBGridEh::EditActionEnabled(TDBGridEhEditAction Action) {
    db::TDataSet* ds = DataSet();
    const bool active = FDataLink->Active() && ds;
    auto canCopy = [&] { return active && FSelectionType != gstNon; };
    auto canDelete = [&] {
        if (!active || FReadOnly || ds->IsEmpty() || !ds->CanModify()) return false;
        switch (FSelectionType) {
            case gstRecordBookmarks:
            case gstAll: return FAllowedOperations.Contains(alopDeleteEh);
            case gstRectangle:
            case gstColumns: return FAllowedOperations.Contains(alopUpdateEh);
            default: return false;
        }
    };
    switch (Action) {
        case geaCopyEh: return canCopy();
        case geaCutEh: return canCopy() && canDelete();
        case geaDeleteEh: return canDelete();
        case geaPasteEh:
            return active && !FReadOnly && ds->CanModify() &&
                   (ui::Clipboard()->HasFormat(CF_VCLDBIF()) || ui::Clipboard()->HasFormat(ui::CF_TEXT)) &&
                   (ds->State() == db::dsInsert || FAllowedOperations.Contains(alopUpdateEh));
        case geaSelectAllEh: return active && !ds->IsEmpty() && FAllowedSelections.Contains(gstAll);
    }
    return false;
}

namespace {

// The platform's standard edit actions are told apart by class, each standing for its own kind
// (descendants included), so a paste action never runs a copy.
bool EditActionKind(const ui::TBasicAction* Action, TDBGridEhEditAction& Kind) {
    static const std::pair<const char*, TDBGridEhEditAction> kinds[] = {{"TEditCopy", geaCopyEh},
                                                                        {"TEditPaste", geaPasteEh},
                                                                        {"TEditCut", geaCutEh},
                                                                        {"TEditSelectAll", geaSelectAllEh},
                                                                        {"TEditDelete", geaDeleteEh}};
    if (!Action) return false;
    for (const auto& [name, kind] : kinds)
        if (Action->ClassType()->IsClassByName(name)) {
            Kind = kind;
            return true;
        }
    return false;
}

}  // namespace

bool TCustomDBGridEh::ExecuteAction(ui::TBasicAction* Action) {
    if (FDataLink->ExecuteAction(Action)) return true;
    TDBGridEhEditAction kind;
    if (!Focused() || !EditActionKind(Action, kind)) return false;
    if (!FEditActions.Contains(kind) || !EditActionEnabled(kind)) return false;
    RunEditAction(kind);
    return true;
}

bool TCustomDBGridEh::UpdateAction(ui::TBasicAction* Action) {
    if (FDataLink->UpdateAction(Action)) return true;
    TDBGridEhEditAction kind;
    if (!Focused() || !EditActionKind(Action, kind) || !FEditActions.Contains(kind)) return false;
    if (auto* a = dynamic_cast<ui::TCustomAction*>(Action)) a->SetEnabled(EditActionEnabled(kind));
    return true;
}

void TCustomDBGridEh::RunEditAction(TDBGridEhEditAction Action) {
    switch (Action) {
        case geaCopyEh: GridClipboardCopy(this, false); break;
        case geaCutEh: GridClipboardCut(this, false); break;
        case geaPasteEh: GridClipboardPaste(this, false); break;
        case geaDeleteEh: GridDeleteSelection(this, false); break;
        case geaSelectAllEh: FSelection->SelectAll(); break;
    }
}

void TCustomDBGridEh::IndicatorTitleMouseDown(TGridCoord Cell, ui::TMouseButton, ui::TShiftState, int, int) {
    if (FIndicatorTitle->TitleButton()) {
        ui::TPopupMenu* menu = nullptr;
        if (OnBuildIndicatorTitleMenu)
            OnBuildIndicatorTitleMenu(this, menu);
        else
            DefaultBuildIndicatorTitleMenu(menu);
        if (menu && menu->Items()->Count() > 0) {
            FIndicatorTitlePressed = true;
            InvalidateCell(Cell.X, Cell.Y);
            const TRect r = SingleCellRect(Cell.X, Cell.Y);
            const TPoint p = ClientToScreen(TPoint{r.Left, r.Bottom});
            menu->SetPopupComponent(this);
            rtl::TryFinally([&] { menu->Popup(p.X, p.Y); },
                            [&] {
                                if (!menu->Owner()) menu->Free();
                                FIndicatorTitlePressed = false;
                                InvalidateCell(Cell.X, Cell.Y);
                            });
        } else {
            if (menu && !menu->Owner()) menu->Free();
            if (MouseCapture()) {
                FIndicatorTitlePressed = true;
                FMouseTracking = true;
                FPressedTitleCol = 0;
                InvalidateCell(Cell.X, Cell.Y);
            }
        }
        return;
    }
    if (FOptions.Contains(dgMultiSelect) && FDataLink->Active() && FAllowedSelections.Contains(gstAll)) {
        if (FSelectionType != gstNon)
            FSelection->Clear();
        else
            FSelection->SelectAll();
    }
}

// ---------------------------------------------------------------------------------------------
// Indicator title

void TDBGridEhIndicatorTitle::Assign(rtl::TPersistent* Source) {
    if (auto* src = dynamic_cast<TDBGridEhIndicatorTitle*>(Source)) {
        SetDropdownMenu(src->DropdownMenu());
        SetShowDropDownSign(src->ShowDropDownSign());
        FTitleButton = src->TitleButton();
        FUseGlobalMenu = src->UseGlobalMenu();
        return;
    }
    rtl::TPersistent::Assign(Source);
}

void TDBGridEhIndicatorTitle::SetDropdownMenu(ui::TPopupMenu* Value) {
    if (Value == FDropdownMenu) return;
    if (FDropdownMenu) FDropdownMenu->RemoveFreeNotification(FGrid);
    FDropdownMenu = Value;
    if (Value) Value->FreeNotification(FGrid);
}

void TDBGridEhIndicatorTitle::SetShowDropDownSign(bool Value) {
    if (Value == FShowDropDownSign) return;
    FShowDropDownSign = Value;
    if (FGrid->HandleAllocated() && FGrid->IndicatorVisible() && FGrid->TitlesVisible()) FGrid->InvalidateCell(0, 0);
}

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
        case ftWord: return F->IsNull() ? 0 : F->AsInteger();
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
        default: return Default;
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
