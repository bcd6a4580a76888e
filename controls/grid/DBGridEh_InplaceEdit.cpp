// The cell editor: loading it from the current column, its buttons, keys, completion and pasting,
// and moving the edited text back into the column's field.
#include <climits>
#include <cmath>

#include "controls/grid/DBGridEh_Setup.h"
#include "controls/grid/DBGridEh_Style.h"
#include "controls/grid/DBLookupGridsEh.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Messages.h"

#include "controls/grid/DBGridEh.h"

namespace grid {

namespace {

// The key of Text's pick-list entry; -1 when the text is not listed or its entry has no key.
int KeyIndexOf(TColumnEh* Column, const AnsiString& Text) {
    const int i = Column->PickList()->IndexOf(Text);
    return i >= 0 && i < Column->KeyList()->Count() ? i : -1;
}

}  // namespace

void TCustomDBGridEh::WriteCellEditText() {
    TColumnEh* column = CurrentColumn();
    if (!column) return;
    if (!column->Field()) {
        column->UpdateDataValue(FEditText, Variant(FEditText), true);
        return;
    }
    switch (column->CellKind()) {
        case cckPickList:
            if (column->OnNotInList && column->PickList()->IndexOf(FEditText) < 0) {
                bool recheck = false;
                column->OnNotInList(column, FEditText, recheck);
            }
            column->UpdateDataValue(FEditText, Variant(FEditText), true);
            return;
        case cckKeyPickList: {
            int k = KeyIndexOf(column, FEditText);
            if (k < 0 && column->OnNotInList && !FEditText.empty()) {
                bool recheck = false;
                column->OnNotInList(column, FEditText, recheck);
                if (recheck) k = KeyIndexOf(column, FEditText);
                if (k < 0) FEditValue = Variant::Null();
            } else if (k < 0 && FEditText.empty()) {
                FEditValue = Variant::Null();
            }
            if (k >= 0) FEditValue = Variant(column->KeyList()->Strings(k));
            column->UpdateDataValue(FEditText, FEditValue, false);
            return;
        }
        default: column->UpdateDataValue(FEditText, Variant(FEditText), true); return;
    }
}

}  // namespace grid

// ---------------------------------------------------------------------------------------------
// The grid's side of the editor contract


namespace grid {

namespace {

bool IsMemo(db::TField* F) { return F->DataType() == db::ftMemo || F->DataType() == db::ftWideMemo; }


// The first PickList entry that begins with Text, letter case ignored; -1 when none.
int PickListPrefixIndex(rtl::TStrings* List, const AnsiString& Text) {
    for (int i = 0; i < List->Count(); ++i) {
        const AnsiString& s = List->Strings(i);
        if (s.size() >= Text.size() && rtl::AnsiCompareText(s.substr(0, Text.size()), Text) == 0) return i;
    }
    return -1;
}

}  // namespace

AnsiString TCustomDBGridEh::TextWithCRLF(const AnsiString& S) {
    AnsiString r;
    r.reserve(S.size());
    for (size_t i = 0; i < S.size(); ++i) {
        if (S[i] == '\n' && (i == 0 || S[i - 1] != '\r')) r += '\r';
        r += S[i];
    }
    return r;
}

bool LookupKeysModifiable(db::TField* F) {
    if (!F || F->KeyFields().empty() || !F->DataSet()) return false;
    std::vector<db::TField*> keys;
    F->DataSet()->GetFieldList(keys, F->KeyFields());
    if (keys.empty()) return false;
    for (db::TField* k : keys)
        if (!k->CanModify()) return false;
    return true;
}

TInplaceEdit* TCustomDBGridEh::CreateInplaceEditor() { return rtl::Create<TDBGridInplaceEdit>(this); }

TDBGridInplaceEdit* TCustomDBGridEh::DBInplaceEdit() const {
    return dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
}

AnsiString TCustomDBGridEh::GetCellEditText(int, int) {
    FEditValue = Variant::Null();
    FEditText.clear();
    TColumnEh* c = CurrentColumn();
    if (!DataLinkActive() || !c) return FEditText;
    AnsiString text;
    if (db::TField* f = c->Field()) {
        if (c->HasKeyList()) {
            const int i = c->KeyList()->IndexOf(f->Text());
            if (i >= 0 && i < c->PickList()->Count()) text = c->PickList()->Strings(i);
        } else if (FDrawMemoText && IsMemo(f)) {
            text = TextWithCRLF(f->AsString());
        } else {
            text = f->Text();
        }
        if (f->FieldKind() == db::fkLookup && !f->KeyFields().empty() && f->DataSet()) {
            const Variant key = f->DataSet()->FieldValues(f->KeyFields());
            editors::TSpecRowEh* spec = c->DropDownSpecRow();
            bool special = spec->Visible() && spec->MatchesKey(key);
            if (!special && spec->ShowIfNotInKeyList() && !key.IsNull()) {
                db::TDataSet* list = c->LookupListDataSet();
                special = list && list->Active() && !list->Locate(f->LookupKeyFields(), key, {});
            }
            if (special) {
                FEditValue = spec->Value();
                text = spec->TextOfCell(0);
            } else {
                FEditValue = key;
            }
        }
    }
    TColCellParamsEh params;
    c->FillColCellParams(&params);
    params.Text = text;
    c->GetColCellParams(true, &params);
    FEditText = params.Text;
    return FEditText;
}

AnsiString TCustomDBGridEh::GetCellEditMask(int, int) {
    TColumnEh* c = CurrentColumn();
    if (!DataLinkActive() || !c) return {};
    if (!c->EditMask().empty()) return c->EditMask();
    db::TField* f = c->Field();
    if (f && !c->HasKeyList()) return f->EditMaskPtr();
    return {};
}

int TCustomDBGridEh::GetCellEditLimit() {
    TColumnEh* c = CurrentColumn();
    db::TField* f = c ? c->Field() : nullptr;
    if (!f || c->HasKeyList()) return 0;
    if (f->DataType() == db::ftString || f->DataType() == db::ftWideString || f->DataType() == db::ftFixedChar)
        return f->Size();
    return 0;
}

void TCustomDBGridEh::StoreEditText(int, int, const AnsiString& Value) { FEditText = Value; }

bool TCustomDBGridEh::EditorAcceptsKey(char Key) {
    TDBGridInplaceEdit* e = DBInplaceEdit();
    const bool forced = e && e->ReadOnlyForced();
    TColumnEh* c = CurrentColumn();
    db::TField* f = c ? c->Field() : nullptr;
    if (!DataLinkActive() || !f) return forced && !e->ReadOnly();
    const bool allowed = forced ? !e->ReadOnly() : true;
    if (c->HasKeyList()) return allowed;
    return allowed && f->IsValidChar(Key);
}

bool TCustomDBGridEh::OperationsAllowEdit() {
    if (!DataLinkActive()) return false;
    db::TDataSet* ds = DataSet();
    if (!FAllowedOperations.Contains(alopUpdateEh) && ds->State() != db::dsInsert) return false;
    return !ds->IsEmpty() || FAllowedOperations.Contains(alopInsertEh) || FAllowedOperations.Contains(alopAppendEh);
}

bool TCustomDBGridEh::CanModifyCurrentCell() {
    if (TDBGridInplaceEdit* e = DBInplaceEdit(); e && e->ReadOnlyForced()) {
        if (e->ReadOnly() || !DataLinkActive()) return false;
        FDataLink->Edit();
        if (!FDataLink->Editing()) return false;
        FDataLink->FlagModified();
        return true;
    }
    TColumnEh* c = CurrentColumn();
    if (FReadOnly || !DataLinkActive() || FDataLink->ReadOnly() || !c || !c->Field()) return false;
    return c->CanModifyField(true);
}

bool TCustomDBGridEh::CanModifyCell() {
    TColumnEh* c = CurrentColumn();
    if (FIncSearchActive || (c && c->CellKind() == cckCheckBox)) return false;
    return CanModifyCurrentCell();
}

bool TCustomDBGridEh::CanShowEditor() {
    if (LayoutLocked() || !TCustomGridEh::CanShowEditor() || FIncSearchActive) return false;
    TColumnEh* c = CurrentColumn();
    if (!c) return false;
    const TColumnCellKindEh kind = c->CellKind();
    if (kind == cckCheckBox || kind == cckImage || kind == cckGraphic) return false;
    TColCellParamsEh params;
    c->FillColCellParams(&params);
    c->GetColCellParams(false, &params);
    if (!params.TextEditing) return false;
    return !(FSelectionType != gstNon && FOptionsEh.Contains(dghClearSelection) &&
             FAllowedSelections.Contains(gstRectangle));
}

void TCustomDBGridEh::CopyValueFromPreviousRecord() {
    TColumnEh* c = CurrentColumn();
    if (!DataLinkActive() || !c || FDataLink->ActiveRecord() <= 0 || !c->CanModifyField(false)) return;
    db::TField* f = c->Field();
    Variant value;
    AnsiString text;
    const int saved = FDataLink->ActiveRecord();
    rtl::TryFinally(
        [&] {
            FDataLink->SetActiveRecord(saved - 1);
            if (f->FieldKind() == db::fkLookup && !f->KeyFields().empty())
                value = f->DataSet()->FieldValues(f->KeyFields());
            else
                value = f->Value();
            text = f->Value().IsNull() ? AnsiString() : f->AsString();
        },
        [&] { FDataLink->SetActiveRecord(saved); });
    ClearGridSelection();
    if (!c->CanModifyField(true)) return;
    c->UpdateDataValue(text, value, false);
    ShowEditor();
    if (InplaceEditor()) InplaceEditor()->SelectAll();
}

// ---------------------------------------------------------------------------------------------
// TDBGridInplaceEdit: loading, buttons, keys, completion, pasting, painting

TDBGridInplaceEdit::TDBGridInplaceEdit(rtl::TComponent* Owner) : TInplaceEdit(Owner) {
    FDataSource = rtl::Create<db::TDataSource>(this);
}

TDBGridInplaceEdit::~TDBGridInplaceEdit() = default;

TCustomDBGridEh* TDBGridInplaceEdit::DBGrid() const { return dynamic_cast<TCustomDBGridEh*>(FGrid); }

TColumnEh* TDBGridInplaceEdit::Column() const {
    TCustomDBGridEh* g = DBGrid();
    return g ? g->CurrentColumn() : nullptr;
}

void TDBGridInplaceEdit::CreateParams(ui::TCreateParams& Params) {
    TInplaceEdit::CreateParams(Params);
    if (FWordWrap) Params.Style &= ~uint32_t(ui::ES_AUTOHSCROLL);
}

void TDBGridInplaceEdit::LoadCellContents() {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!g || !c) {
        TInplaceEdit::LoadCellContents();
        return;
    }
    SetEditStyle(c->EditStyle());
    Font()->Assign(c->Font());
    TColCellParamsEh* p = g->ColCellParams();
    c->FillColCellParams(p);
    p->Background = c->Color();
    p->Font = Font();
    p->State = TGridDrawState{gdFocused};
    p->Text = g->GetCellEditText(g->Col(), g->Row());
    const bool notModifiable = !c->CanModifyField(false);
    p->ReadOnly = notModifiable;
    g->GetCellParams(c, Font(), p->Background, p->State);
    c->GetColCellParams(true, p);
    SetColor(p->Background);
    FImageIndex = p->ImageIndex;
    FReadOnlyForced = p->ReadOnly != notModifiable;
    if (FReadOnlyForced) SetReadOnly(p->ReadOnly);
    const AnsiString text = p->Text;
    // Several lines fit when the row is at least two text lines high.
    const int rowHeight = g->RowHeights(g->Row());
    const bool wrap = c->WordWrap() && rowHeight >= 2 * LineHeight() + 2;
    if (wrap != FWordWrap) {
        FWordWrap = wrap;
        if (HandleAllocated()) RecreateWnd();
    }
    SetMaxLength(0);
    TCustomMaskEdit::SetText(AnsiString());
    SetEditMask(g->GetCellEditMask(g->Col(), g->Row()));
    TCustomMaskEdit::SetText(text);
    SetMaxLength(g->GetCellEditLimit());
    FTextChanged = false;
}

void TDBGridInplaceEdit::Reload() {
    const bool saved = FNoCloseUp;
    FNoCloseUp = true;
    rtl::TryFinally([&] { FGrid->InvalidateEditor(); }, [&] { FNoCloseUp = saved; });
    const int n = GetTextLen();
    SetSel(n, n);
}

TRect TDBGridInplaceEdit::GetTextRect() {
    TCustomDBGridEh* g = DBGrid();
    TRect r = g && g->Flat() ? TRect{2, 1, Width() - 2, Height() - 1} : TRect{2, 2, Width() - 2, Height()};
    if (r.Bottom - r.Top < LineHeight() && r.Bottom < Height()) ++r.Bottom;
    r.Right -= FButtonsWidth;
    TColumnEh* c = Column();
    if (c && c->ImageList() && c->ShowImageAndText()) r.Left += c->ImageList()->Width() + 5;
    if (const int indent = TreeIndent()) r.Left += indent + 1;
    return r;
}

int TDBGridInplaceEdit::TreeIndent() const {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!g || !c || !g->TreeViewMode()) return 0;
    TColumnsEhList* shown = g->DisplayedColumnList();
    if (shown->Count() == 0 || shown->Items(0) != c) return 0;
    return g->TreeIndentWidth();
}

bool TDBGridInplaceEdit::TreeAreaPress(int X, int Y) {
    const int indent = TreeIndent();
    if (indent == 0 || X < indent - TCustomDBGridEh::TreeLevelWidth || X >= indent) return false;
    TCustomDBGridEh* g = DBGrid();
    const TPoint p = g->ScreenToClient(ClientToScreen(TPoint{X, Y}));
    return g->TreeAreaMouseDown(p.X, p.Y);
}

void TDBGridInplaceEdit::UpdateEditRect() {
    if (!HandleAllocated()) return;
    ui::TMsg pending;
    while (
        ui::PeekMessage(pending, Handle(), editors::WM_DROPDOWNCLOSEDEh, editors::WM_DROPDOWNCLOSEDEh, ui::PM_REMOVE)) {
    }
    UpdateEditButtonControls();
    for (TButtonEntry& e : FButtons) {
        e.Button->SetEnabled(true);
        e.Button->SetActive(true);
        e.Separator->Pen()->SetColor(ui::clBtnFace);
    }
    TRect r = GetTextRect();
    Perform(ui::EM_SETRECTNP, 0, reinterpret_cast<ui::LPARAM>(&r));
    Perform(ui::EM_SCROLLCARET);
}

editors::TEditButtonControlEh* TDBGridInplaceEdit::CreateEditButtonControl() {
    auto* b = rtl::Create<editors::TEditButtonControlEh>(this);
    b->SetBounds(0, 0, 10, 17);
    b->SetControlStyle(b->ControlStyle() + ui::TControlStyle{ui::csOpaque, ui::csReplicatable});
    b->SetParent(this);
    return b;
}

int TDBGridInplaceEdit::ColumnButtonIndexOf(rtl::TObject* Sender) const {
    for (size_t i = 0; i < FButtons.size(); ++i)
        if (FButtons[i].Button == Sender) return static_cast<int>(i);
    return -1;
}

void TDBGridInplaceEdit::UpdateEditButtonControls() {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    editors::TEditButtonsEh* items = c ? c->EditButtons() : nullptr;
    const size_t need = 1 + static_cast<size_t>(items ? items->Count() : 0);
    while (FButtons.size() > need) {
        TButtonEntry e = FButtons.back();
        FButtons.pop_back();
        e.Button->Free();
        e.Separator->Free();
    }
    while (FButtons.size() < need) {
        TButtonEntry e;
        e.Button = CreateEditButtonControl();
        e.Separator = rtl::Create<ui::TShape>(this);
        e.Separator->SetParent(this);
        FButtons.push_back(e);
    }
    const bool flat = g && g->Flat();
    const int defaultWidth = flat ? editors::FlatButtonWidth() : ui::GetSystemMetrics(ui::SM_CXVSCROLL);
    const int avail = ClientHeight();
    std::vector<int> widths(need);
    int h = INT_MAX;
    for (size_t i = 0; i < need; ++i) {
        editors::TEditButtonControlEh* b = FButtons[i].Button;
        bool visible;
        int w;
        if (i == 0) {
            visible = FEditStyle != cesNone;
            b->SetStyle(FEditStyle == cesEllipsis ? editors::ebsEllipsisEh
                        : FEditStyle == cesUpDown ? editors::ebsUpDownEh
                                                  : editors::ebsDropDownEh);
            b->SetGlyph(nullptr);
            b->SetHint(AnsiString());
            w = visible ? defaultWidth : 0;
            b->SetTag(0);
        } else {
            editors::TEditButtonEh* item = items->Items(static_cast<int>(i) - 1);
            visible = item->Visible();
            b->SetEnabled(item->Enabled());
            b->SetStyle(item->Style());
            b->SetGlyph(item->Glyph());
            b->SetNumGlyphs(item->NumGlyphs());
            b->SetHint(item->Hint());
            w = !visible ? 0 : item->Width() > 0 ? item->Width() : defaultWidth;
            b->SetTag(reinterpret_cast<intptr_t>(item));
        }
        b->SetFlat(flat);
        b->SetVisible(visible);
        if (visible) {
            const int r = static_cast<int>(std::nearbyint(w * 3 / 2.0));
            h = std::min(h, r < avail ? editors::EditButtonHeightForWidth(w, flat) : avail);
        }
        widths[i] = w;
        const bool line = visible && flat;
        FButtons[i].Separator->SetVisible(line);
        FButtons[i].Separator->SetWidth(line ? 1 : 0);
        b->SetOnDown([this](rtl::TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
            EditButtonMouseDown(static_cast<editors::TEditButtonControlEh*>(Sender), TopButton, AutoRepeat, Handled);
        });
        b->OnClick = [this](rtl::TObject* Sender) {
            EditButtonClick(static_cast<editors::TEditButtonControlEh*>(Sender));
        };
        b->OnMouseMove = [this](rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y) {
            EditButtonMouseMove(static_cast<editors::TEditButtonControlEh*>(Sender), Shift, X, Y);
        };
        b->OnMouseUp = [this](rtl::TObject* Sender, ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
            EditButtonMouseUp(static_cast<editors::TEditButtonControlEh*>(Sender), Button, Shift, X, Y);
        };
    }
    if (h == INT_MAX) h = avail;
    int x = ClientWidth();
    for (size_t i = need; i-- > 0;) {
        const int w = widths[i];
        FButtons[i].Button->SetBounds(x - w, 0, w, h);
        x -= w;
        const int lw = FButtons[i].Separator->Visible() ? 1 : 0;
        FButtons[i].Separator->SetBounds(x - lw, 0, lw, h);
        x -= lw;
    }
    FButtonsWidth = ClientWidth() - x;
}

void TDBGridInplaceEdit::EditButtonMouseDown(editors::TEditButtonControlEh* Button, bool TopButton, bool& AutoRepeat,
                                             bool& Handled) {
    if (CanFocus() && !Focused()) SetFocus();
    Handled = false;
    const int index = ColumnButtonIndexOf(Button);
    TColumnEh* c = Column();
    if (index < 0 || !c) return;
    if (index == 0) {
        if (c->OnEditButtonDown) c->OnEditButtonDown(Button, TopButton, AutoRepeat, Handled);
        if (!Handled) EditButtonDown(!TopButton);
        return;
    }
    auto* item = reinterpret_cast<editors::TEditButtonEh*>(Button->Tag());
    if (item->OnDown) item->OnDown(item, TopButton, AutoRepeat, Handled);
    if (!Handled && item->DropdownMenu) {
        const bool right = item->DropdownMenu->Alignment() == ui::TPopupAlignment::paRight;
        const TPoint p = Button->ClientToScreen(TPoint{right ? Button->Width() : 0, Button->Height()});
        item->DropdownMenu->Popup(p.X, p.Y);
        editors::DiscardPendingClickOnControl(Button);
        Button->Perform(ui::WM_LBUTTONUP, 0, 0);
    }
}

void TDBGridInplaceEdit::EditButtonDown(bool Bottom) {
    if (FEditStyle == cesUpDown) {
        UpDownClick(Bottom);
    } else if (!FDroppingDown) {
        DropDown();
        FOpenedByPress = true;
    }
}

void TDBGridInplaceEdit::UpDownClick(bool Bottom) {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!g || !c || !c->CanModifyField(true)) return;
    if (g->GetCellEditText(g->Col(), g->Row()) != Text()) {
        g->SetEditText(Text());
        g->WriteEditText();
    }
    const bool forward = c->CellKind() == cckText ? !Bottom : Bottom;
    const int step = static_cast<int>(std::lround(c->Increment() == 0 ? 1 : std::fabs(c->Increment())));
    for (int i = 0; i < std::max(step, 1); ++i) c->SetNextFieldValue(forward ? 1 : -1);
}

void TDBGridInplaceEdit::EditButtonClick(editors::TEditButtonControlEh* Button) {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    const int index = ColumnButtonIndexOf(Button);
    if (!g || !c || index < 0) return;
    bool handled = false;
    if (index == 0 && (FEditStyle == cesEllipsis || (FEditStyle == cesDropDown && !FActiveList))) {
        g->EditButtonClick();
        handled = true;
    }
    if (!handled && index == 0 && c->OnEditButtonClick) {
        c->OnEditButtonClick(Button, handled);
    } else if (!handled && index > 0) {
        auto* item = reinterpret_cast<editors::TEditButtonEh*>(Button->Tag());
        item->Click(item, handled);
    }
    if (!handled && FDroppingDown && !FOpenedByPress && index == 0) CloseUp(false);
    FOpenedByPress = false;
}

void TDBGridInplaceEdit::EditButtonMouseMove(editors::TEditButtonControlEh* Button, ui::TShiftState, int X, int Y) {
    if (ColumnButtonIndexOf(Button) != 0 || !FListVisible || !FActiveList || ui::GetCaptureControl() != Button) return;
    const TPoint screen = Button->ClientToScreen(TPoint{X, Y});
    const TPoint p = FActiveList->ScreenToClient(screen);
    if (!ui::PtInRect(FActiveList->ClientRect(), p)) return;
    Button->Perform(ui::WM_CANCELMODE, 0, 0);
    ui::SendMessage(FActiveList->Handle(), ui::WM_LBUTTONDOWN, 0, ui::PointToLParam(p.X, p.Y));
}

void TDBGridInplaceEdit::EditButtonMouseUp(editors::TEditButtonControlEh* Button, ui::TMouseButton, ui::TShiftState,
                                           int X, int Y) {
    if (!ui::PtInRect(Button->ClientRect(), TPoint{X, Y})) FOpenedByPress = false;
}

void TDBGridInplaceEdit::UpdateImageIndex() {
    TColumnEh* c = Column();
    if (!c || !c->ImageList()) return;
    int i = -1;
    if (c->HasPickList()) {
        i = c->PickList()->IndexOf(Text());
    } else if (db::TField* f = c->Field()) {
        if (dynamic_cast<db::TNumericField*>(f)) i = FieldValueAsInteger(f, -1);
    }
    if (i == -1) i = c->NotInKeyListIndex();
    if (i != FImageIndex) {
        FImageIndex = i;
        Invalidate();
    }
}

void TDBGridInplaceEdit::TextChanged() {
    FTextChanged = true;
    UpdateImageIndex();
}

void TDBGridInplaceEdit::Change() {
    TInplaceEdit::Change();
    TextChanged();
}

void TDBGridInplaceEdit::DrawRequiredState(ui::TCanvas* Canvas) {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!g || !c || !c->HighlightRequired() || !g->DataLink()->Active()) return;
    db::TField* f = c->Field();
    const db::TDataSetState state = g->DataSet()->State();
    bool draw = f && (state == db::dsEdit || state == db::dsInsert) && f->Required() && f->IsNull();
    if (c->OnCheckDrawRequiredState) c->OnCheckDrawRequiredState(this, Text(), draw);
    if (!draw) return;
    const TRect r = GetTextRect();
    Canvas->Pen()->SetColor(ui::clRed);
    Canvas->Pen()->SetStyle(ui::psDot);
    const int y = ClientHeight() - 1;
    Canvas->MoveTo(r.Left + 2, y);
    Canvas->LineTo(r.Right - 3, y);
}

void TDBGridInplaceEdit::PaintEdit(ui::TCanvas* DC) {
    TInplaceEdit::PaintEdit(DC);
    const int indent = TreeIndent();
    if (indent > 0) {
        ui::TBrush* brush = DC->Brush();
        const ui::TColor saved = brush->Color();
        brush->SetColor(Color());
        DBGrid()->DrawTreeIndent(DC, TRect{0, 0, indent, ClientHeight()}, 0);
        brush->SetColor(saved);
    }
    DrawRequiredState(DC);
    TColumnEh* c = Column();
    if (c && c->ImageList() && c->ShowImageAndText() && IsWindowVisible() && FImageIndex >= 0)
        c->ImageList()->Draw(DC, indent > 0 ? indent + 2 : 2, 0, FImageIndex, true);
}

// The text edited by Delete or Backspace: the grid's text and key follow it.
void TDBGridInplaceEdit::TextEditedByKey() {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!g || !c || !c->CanModifyField(true)) return;
    g->SetEditText(Text());
    if (FEditStyle != cesDataList) return;
    Variant key = Variant::Null();
    db::TField* f = c->Field();
    db::TDataSet* list = c->LookupListDataSet();
    if (list && list->Active() && list->Locate(f->LookupResultField(), Variant(Text()), {db::loCaseInsensitive}))
        key = list->FieldValues(f->LookupKeyFields());
    g->SetEditValue(key);
}

bool TDBGridInplaceEdit::DeleteInKeyColumn(bool Backspace) {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    db::TField* f = c->Field();
    const int len = GetTextLen();
    const bool all = len > 0 && SelStart() == 0 && SelLength() == len;
    if (!Backspace && all && c->CanModifyField(true)) {
        if (FEditStyle == cesDataList) {
            if (LookupKeysModifiable(f)) {
                f->DataSet()->Edit();
                g->DataLink()->FlagModified();
                g->SetEditValue(Variant::Null());
                g->SetEditText(AnsiString());
                TCustomMaskEdit::SetText(AnsiString());
                if (FDataList) FDataList->SetKeyValue(Variant::Null());
            }
        } else if (FEditStyle == cesPickList && c->CellKind() == cckKeyPickList) {
            TCustomMaskEdit::SetText(AnsiString());
            g->SetEditText(AnsiString());
        }
        return true;
    }
    if (!c->OnNotInList) return false;
    AnsiString t = Text();
    int start = SelStart();
    int count = SelLength();
    if (count == 0) {
        if (Backspace) {
            if (start == 0) return true;
            --start;
        } else if (start >= len) {
            return true;
        }
        count = 1;
    }
    t.erase(static_cast<size_t>(start), static_cast<size_t>(count));
    if (!c->CanModifyField(true)) return true;
    TCustomMaskEdit::SetText(t);
    SetSel(start, start);
    TextEditedByKey();
    if (FListVisible && FActiveList == FDataList && FDataList)
        FDataList->SetKeyValue(g->EditValue());
    else if (FListVisible && FActiveList == FPickList && FPickList)
        FPickList->SetItemIndex(FPickList->Items()->IndexOf(t));
    return true;
}

void TDBGridInplaceEdit::ShowCompletion(const AnsiString& Text, int SelFrom, const Variant& Key, bool SetKey) {
    TCustomDBGridEh* g = DBGrid();
    g->DataLink()->Edit();
    if (g->DataLink()->Editing()) g->DataLink()->FlagModified();
    TCustomMaskEdit::SetText(Text);
    SetSel(static_cast<int>(Text.size()), SelFrom);
    g->SetEditText(Text);
    if (SetKey) {
        g->SetEditValue(Key);
        if (FDataList && FListVisible) FDataList->SetKeyValue(Key);
    }
}

bool TDBGridInplaceEdit::ProcessTypedText(AnsiString& Typed) {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!g || !c || Typed.empty()) return false;
    const auto first = static_cast<unsigned char>(Typed[0]);
    const bool back = Typed.size() == 1 && first == '\b';
    if (Typed.size() == 1 && first < 32 && !back) return false;
    db::TField* f = c->Field();
    const AnsiString candidate = back ? AnsiString() : Text().substr(0, static_cast<size_t>(SelStart())) + Typed;
    if (FEditStyle == cesDataList && c->LookupListDataSet() && g->CanModifyCurrentCell() && g->OperationsAllowEdit()) {
        if (back) return true;
        db::TDataSet* list = c->LookupListDataSet();
        const int n = static_cast<int>(candidate.size());
        if (list->Locate(f->LookupResultField(), Variant(candidate), {db::loCaseInsensitive, db::loPartialKey}))
            ShowCompletion(list->FieldByName(f->LookupResultField())->Text(), n,
                           list->FieldValues(f->LookupKeyFields()), true);
        else if (c->OnNotInList)
            ShowCompletion(candidate, n, Variant::Null(), true);
        return true;
    }
    const bool keyList = c->CellKind() == cckKeyPickList;
    if ((keyList || FEditStyle == cesPickList) && g->CanModifyCurrentCell()) {
        if (back) return keyList;
        const int i = PickListPrefixIndex(c->PickList(), candidate);
        if (i >= 0) {
            ShowCompletion(c->PickList()->Strings(i), static_cast<int>(candidate.size()), Variant(), false);
            if (FPickList) FPickList->SetItemIndex(i);
            return true;
        }
        if (keyList && c->OnNotInList) {
            ShowCompletion(candidate, static_cast<int>(candidate.size()), Variant(), false);
            if (FPickList) FPickList->SetItemIndex(-1);
        }
        return keyList;
    }
    return false;
}

bool TDBGridInplaceEdit::MRUDroppedDown() const {
    TColumnEh* c = Column();
    return c && c->MRUList() && c->MRUList()->DroppedDown();
}

void TDBGridInplaceEdit::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!g || !c) {
        TInplaceEdit::KeyDown(Key, Shift);
        return;
    }
    const ui::TShortCut shortcut = ui::ShortCut(Key, Shift);
    if (Key == ui::VK_RETURN && Shift == ui::TShiftState{ui::ssCtrl} &&
        (FEditStyle == cesEllipsis || FEditStyle == cesDropDown)) {
        ui::TMsg pending;
        ui::PeekMessage(pending, Handle(), ui::WM_CHAR, ui::WM_CHAR, ui::PM_REMOVE);
        g->EditButtonClick();
        Key = 0;
        return;
    }
    const TColumnCellKindEh kind = c->CellKind();
    const bool keyColumn = kind == cckLookup || kind == cckKeyPickList;
    if (Key == ui::VK_DELETE && Shift.Empty() && keyColumn && c->CanModifyField(false)) {
        DeleteInKeyColumn(false);
        Key = 0;
        return;
    }
    if (Key == ui::VK_BACK && keyColumn) {
        if (c->OnNotInList) {
            DeleteInKeyColumn(true);
            Key = 0;
            return;
        }
        Key = ui::VK_LEFT;
    }
    if ((Key == ui::VK_UP || Key == ui::VK_DOWN) && FWordWrap) {
        const int len = GetTextLen();
        const bool all = SelStart() == 0 && SelLength() == len;
        const int line = LineFromChar(CaretPos());
        const bool edge = Key == ui::VK_UP ? line == 0 : line >= LineCount() - 1;
        if (g->Options().Contains(dgAlwaysShowEditor) && (edge || all))
            SendToGrid(Key, Shift);
        else
            TCustomMaskEdit::KeyDown(Key, Shift);
        return;
    }
    if (Key == ui::VK_RETURN && !MRUDroppedDown() && g->OptionsEh().Contains(dghEnterAsTab)) {
        SendToGrid(Key, Shift);
        return;
    }
    if (shortcut == CopyFromPreviousShortCut) {
        SendToGrid(Key, Shift);
        return;
    }
    if (shortcut == IncSearchShortCut && g->OptionsEh().Contains(dghIncSearch)) {
        if (g->IncSearchActive() && g->OptionsEh().Contains(dghDialogFind) && FindDialogShortCut == IncSearchShortCut) {
            g->IncSearchStop();
            g->OpenFindDialog(SelText(), "", true);
        } else {
            g->IncSearchAppend("", -1, ltdAllEh);
        }
        Key = 0;
        return;
    }
    if (shortcut == FindDialogShortCut && g->OptionsEh().Contains(dghDialogFind)) {
        g->OpenFindDialog(SelText(), "", true);
        Key = 0;
        return;
    }
    editors::TSpecRowEh* spec = c->DropDownSpecRow();
    if (FEditStyle == cesDataList && spec->Visible() && shortcut == spec->ShortCut()) {
        if (c->CanModifyField(true)) {
            const AnsiString text = spec->TextOfCell(0);
            TCustomMaskEdit::SetText(text);
            g->SetEditText(text);
            g->SetEditValue(spec->Value());
            if (FDataList) FDataList->SetKeyValue(spec->Value());
            SelectAll();
        }
        Key = 0;
        return;
    }
    if (editors::TEditButtonsEh* items = c->EditButtons()) {
        for (int i = 0; i < items->Count(); ++i) {
            editors::TEditButtonEh* item = items->Items(i);
            if (item->ShortCut() == 0 || item->ShortCut() != shortcut) continue;
            bool autoRepeat = false, handled = false;
            if (item->OnDown) item->OnDown(item, false, autoRepeat, handled);
            handled = false;
            item->Click(item, handled);
            Key = 0;
            return;
        }
    }
    TInplaceEdit::KeyDown(Key, Shift);
}

void TDBGridInplaceEdit::KeyPress(char& Key) {
    if (Key != 0 && Column()) {
        AnsiString typed(1, Key);
        if (ProcessTypedText(typed)) {
            Key = 0;
            return;
        }
    }
    if (Key == '\n' && !FWordWrap && ui::GetKeyState(ui::VK_CONTROL) < 0) {
        Key = 0;
        return;
    }
    const bool backspace = Key == '\b';
    TInplaceEdit::KeyPress(Key);
    TColumnEh* c = Column();
    if (backspace && GetTextLen() == 0 && c && c->MRUList()->Active() && IsWindowVisible() && !FDroppingDown)
        UpdateMRUDropDown();
}

void TDBGridInplaceEdit::KeyUp(uint16_t& Key, ui::TShiftState Shift) {
    const uint16_t released = Key;
    TInplaceEdit::KeyUp(Key, Shift);
    if (released == ui::VK_CONTROL && FListVisible && FActiveList == FDataList && FDataList) {
        uint16_t k = released;
        FDataList->Perform(ui::WM_KEYUP, k, 0);
    }
}

void TDBGridInplaceEdit::DoPaste() {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!g || !c) {
        TInplaceEdit::DoPaste();
        return;
    }
    if (!g->OperationsAllowEdit() || !c->CanModifyField(false)) return;
    AnsiString clip;
    const bool hasText = ClipboardText(clip) && !clip.empty();
    const int start = SelStart();
    const AnsiString before = Text().substr(0, static_cast<size_t>(start));
    const AnsiString after = Text().substr(static_cast<size_t>(start + SelLength()));
    if (FEditStyle != cesDataList && c->CellKind() != cckKeyPickList) {
        if (!hasText || !g->CanModifyCell()) {
            TInplaceEdit::DoPaste();
            return;
        }
        const AnsiString part = c->FilterValidChars(clip);
        g->DataLink()->Edit();
        if (g->DataLink()->Editing()) g->DataLink()->FlagModified();
        TCustomMaskEdit::SetText(before + part + after);
        const int caret = start + static_cast<int>(part.size());
        SetSel(caret, caret);
        g->SetEditText(Text());
        return;
    }
    if (!hasText) return;
    const AnsiString candidate = before + clip + after;
    const int n = static_cast<int>(candidate.size());
    db::TField* f = c->Field();
    if (FEditStyle == cesDataList && c->LookupListDataSet()) {
        db::TDataSet* list = c->LookupListDataSet();
        if (list->Locate(f->LookupResultField(), Variant(candidate), {db::loCaseInsensitive, db::loPartialKey}))
            ShowCompletion(list->FieldByName(f->LookupResultField())->Text(), n,
                           list->FieldValues(f->LookupKeyFields()), true);
        else if (c->OnNotInList)
            ShowCompletion(candidate, n, Variant::Null(), true);
        return;
    }
    const int i = g->CanModifyCurrentCell() ? PickListPrefixIndex(c->PickList(), candidate) : -1;
    if (i >= 0) {
        ShowCompletion(c->PickList()->Strings(i), n, Variant(), false);
        if (FPickList && FListVisible) FPickList->SetItemIndex(i);
    } else if (c->OnNotInList) {
        ShowCompletion(candidate, n, Variant(), false);
    }
}

void TDBGridInplaceEdit::MouseDown(ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
    TInplaceEdit::MouseDown(Button, Shift, X, Y);
    TColumnEh* c = Column();
    if (Button == ui::mbLeft && Shift.Contains(ui::ssDouble) && c && c->DblClickNextVal())
        c->SetNextFieldValue(Shift.Contains(ui::ssShift) ? -1 : 1);
}

void TDBGridInplaceEdit::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    TInplaceEdit::Notification(AComponent, Operation);
    if (Operation != rtl::opRemove) return;
    if (AComponent == FPickList) FPickList = nullptr;
    if (AComponent == FCalendar) FCalendar = nullptr;
    if (AComponent == FCalculator) FCalculator = nullptr;
    if (AComponent == FMRUListbox) FMRUListbox = nullptr;
    if (AComponent == FDataSource) FDataSource = nullptr;
    if (AComponent == FDataList) {
        FDataList = nullptr;
        if (FEditStyle == cesDataList) {
            FEditStyle = cesNone;
            FActiveList = nullptr;
        }
    }
    if (AComponent == FActiveList) FActiveList = nullptr;
}

void TDBGridInplaceEdit::WndProc(ui::TMessage& Message) {
    switch (Message.Msg) {
        case ui::WM_KEYDOWN:
        case ui::WM_SYSKEYDOWN:
        case ui::WM_CHAR:
            if (ListKeyMessage(Message)) return;
            break;
        case ui::WM_MOUSEWHEEL:
            if (FListVisible) return;
            break;
        case ui::WM_SETCURSOR:
            if (HandleAllocated()) {
                const TPoint p = ScreenToClient(ui::GetCursorPos());
                if (!ui::PtInRect(GetTextRect(), p)) {
                    ui::SetCursorShape(ui::crArrow);
                    Message.Result = 1;
                    return;
                }
            }
            break;
        case ui::WM_LBUTTONDOWN:
        case ui::WM_LBUTTONDBLCLK: {
            const TPoint p = ui::LParamToPoint(Message.LParam);
            if (TreeAreaPress(p.X, p.Y)) return;
            [[fallthrough]];
        }
        case ui::WM_LBUTTONUP:
        case ui::WM_RBUTTONDOWN:
        case ui::WM_RBUTTONUP:
        case ui::WM_MBUTTONDOWN:
        case ui::WM_MBUTTONUP:
            if (HandleAllocated() && ui::GetCapture() != Handle() &&
                !ui::PtInRect(GetTextRect(), ui::LParamToPoint(Message.LParam)))
                return;
            break;
        case ui::WM_KILLFOCUS: {
            const auto target = reinterpret_cast<ui::HWND>(Message.WParam);
            auto inside = [&](ui::TWinControl* W) {
                if (!W || !W->HandleAllocated()) return false;
                ui::TWinControl* t = ui::FindControlOfWindow(target);
                return W->Handle() == target || (t && W->ContainsControl(t));
            };
            if (FListVisible && !inside(FActiveList))
                CloseUp(false);
            else if (MRUDroppedDown() && !inside(FMRUListbox))
                CloseMRUList(false);
            break;
        }
        case ui::CM_CANCELMODE: {
            auto* sender = reinterpret_cast<ui::TControl*>(Message.LParam);
            auto from = [&](ui::TWinControl* W) { return W && (sender == W || W->ContainsControl(sender)); };
            if (sender != this && !ContainsControl(sender)) {
                if (FListVisible && !from(FActiveList)) CloseUp(false);
                if (MRUDroppedDown() && !from(FMRUListbox)) CloseMRUList(false);
            }
            break;
        }
        default: break;
    }
    TInplaceEdit::WndProc(Message);
    if (TCustomDBGridEh* g = DBGrid()) {
        if (Message.Msg == ui::WM_SETFOCUS)
            g->CheckFocusChanged();
        else if (Message.Msg == ui::WM_KILLFOCUS)
            g->CheckFocusChanged(reinterpret_cast<ui::HWND>(Message.WParam));
    }
    if (FTextChanged) {
        FTextChanged = false;
        TColumnEh* c = Column();
        if (c && c->MRUList()->Active() && IsWindowVisible() && !FDroppingDown) {
            const AnsiString empty = IsMasked() ? Mask().TextOf(Mask().EditTextOf(AnsiString())) : AnsiString();
            if (MRUDroppedDown() && Text() == empty)
                CloseMRUList(false);
            else
                UpdateMRUDropDown();
        }
    }
}

}  // namespace grid
