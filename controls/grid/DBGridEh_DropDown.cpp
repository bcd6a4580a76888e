// The cell editor's drop-downs: the pick list, the lookup data list, the calendar and the
// calculator of the current column, and the most-recently-used texts; how each is filled,
// placed and steered by keys while the editor keeps the focus, and what closing it writes back.
#include <algorithm>

#include "controls/grid/DBGridEh.h"
#include "controls/grid/DBLookupGridsEh.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Messages.h"

namespace grid {

namespace {

bool IsNumericField(db::TField* F) { return dynamic_cast<db::TNumericField*>(F) != nullptr; }

void HideList(ui::TWinControl* List) {
    if (List->HandleAllocated())
        List->SetWindowPos(
            0, 0, 0, 0, ui::SWP_HIDEWINDOW | ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOZORDER | ui::SWP_NOACTIVATE);
    List->SetVisible(false);
}


}  // namespace

void TDBGridInplaceEdit::SetEditStyle(TColumnEditStyleEh Value) {
    FEditStyle = Value;
    TColumnEh* c = Column();
    switch (Value) {
        case cesPickList:
            if (!FPickList) {
                FPickList = rtl::Create<editors::TPopupListboxEh>(this);
                FPickList->SetVisible(false);
                FPickList->SetParent(this);
                FPickList->OnMouseUp = [this](rtl::TObject*, ui::TMouseButton Button, ui::TShiftState, int X, int Y) {
                    if (Button == ui::mbLeft && FPickList) CloseUp(ui::PtInRect(FPickList->ClientRect(), TPoint{X, Y}));
                };
            }
            FActiveList = FPickList;
            break;
        case cesDataList:
            if (!FDataList) {
                FDataList = rtl::Create<TPopupDataGridEh>(this);
                FDataList->SetVisible(false);
                FDataList->SetParent(this);
                FDataList->OnCloseUpRequest = [this](TPopupDataGridEh*, bool Accept) { CloseUp(Accept); };
            }
            FActiveList = FDataList;
            break;
        case cesCalendar:
            if (!FCalendar) {
                FCalendar = rtl::Create<editors::TPopupMonthCalendarEh>(this);
                FCalendar->SetVisible(false);
                FCalendar->SetParent(this);
            }
            FActiveList = FCalendar;
            break;
        case cesDropDown: FActiveList = c && IsNumericField(c->Field()) ? GetCalculator() : nullptr; break;
        default: FActiveList = nullptr; break;
    }
    SetReadOnly(c && c->ReadOnly());
    Invalidate();
}

editors::TPopupCalculatorEh* TDBGridInplaceEdit::GetCalculator() {
    if (!FCalculator) {
        FCalculator = rtl::Create<editors::TPopupCalculatorEh>(this);
        FCalculator->SetVisible(false);
        FCalculator->SetParent(this);
        if (HandleAllocated()) FCalculator->HandleNeeded();
    }
    return FCalculator;
}

editors::TMRUListboxEh* TDBGridInplaceEdit::CreateMRUListbox() {
    auto* lb = rtl::Create<editors::TMRUListboxEh>(this);
    lb->SetVisible(false);
    lb->SetSorted(true);
    lb->SetCtl3D(false);
    lb->SetParent(this);
    lb->OnMouseUp = [this, lb](rtl::TObject*, ui::TMouseButton Button, ui::TShiftState, int X, int Y) {
        if (Button == ui::mbLeft) CloseMRUList(ui::PtInRect(lb->ClientRect(), TPoint{X, Y}));
    };
    return lb;
}

// ---------------------------------------------------------------------------------------------
// Dropping down

void TDBGridInplaceEdit::PlaceAndShow(ui::TWinControl* List) {
    const TPoint p = editors::PlaceDropDownUnderControl(this, List, editors::daLeft);
    List->SetWindowPos(p.X, p.Y, 0, 0, ui::SWP_NOSIZE | ui::SWP_NOACTIVATE | ui::SWP_SHOWWINDOW);
    List->SetVisible(true);
}

void TDBGridInplaceEdit::DropDownPickList() {
    TColumnEh* c = Column();
    editors::TPopupListboxEh* list = FPickList;
    list->SetColor(Color());
    list->Font()->Assign(Font());
    list->HandleNeeded();
    rtl::TStrings* items = list->Items();
    items->Clear();
    rtl::TStrings* picks = c->PickList();
    const int count = c->HasKeyList() ? std::min(c->KeyList()->Count(), picks->Count()) : picks->Count();
    for (int i = 0; i < count; ++i) items->AddObject(picks->Strings(i), picks->Objects(i));
    const int rows = std::max(c->DropDownRows(), 1);
    const int itemHeight = std::max(list->ItemHeight(), 1);
    list->SetHeight((count < rows ? count : rows) * itemHeight + 4);
    db::TField* f = c->Field();
    if (f && f->IsNull())
        list->SetItemIndex(-1);
    else if (c->HasKeyList())
        list->SetItemIndex(picks->IndexOf(Text()));
    else
        list->SetItemIndex(items->IndexOf(Text()));
    // As wide as the widest text, never narrower than the editor.
    ui::TBitmap probe;
    probe.Canvas()->Font()->Assign(Font());
    list->SetWidth(Width());
    int widest = list->ClientWidth();
    for (int i = 0; i < count; ++i) widest = std::max(widest, probe.Canvas()->TextWidth(items->Strings(i)) + 4);
    list->SetClientWidth(widest);
    list->SetResized(false);
    PlaceAndShow(list);
    if (list->SizeGrip()) list->SizeGrip()->ShowGripWindow(c->DropDownSizing());
    list->SetResized(false);
}

void TDBGridInplaceEdit::DropDownDataList() {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    db::TField* f = c->Field();
    db::TDataSet* ds = c->LookupListDataSet();
    TPopupDataGridEh* list = FDataList;
    list->SetColor(Color());
    list->Font()->Assign(Font());
    list->SetSpecRow(c->DropDownSpecRow());
    int rows = std::max(c->DropDownRows(), 1);
    if (ds->IsSequenced()) {
        const int n = ds->RecordCount();
        if (n > 0 && n < rows) rows = n;
    }
    list->SetShowTitles(c->DropDownShowTitles());
    FDataSource->SetDataSet(ds);
    list->SetAutoFit(false);
    list->SetKeyField(rtl::WideToAnsi(f->LookupKeyFields()));
    list->SetListField(rtl::WideToAnsi(c->LookupDisplayFields()));
    list->SetLookupUseMultiTitle(false);
    list->SetListSource(FDataSource);
    list->SetListRowCount(rows);
    int width;
    if (c->DropDownWidth() == -1)
        width = list->TotalColumnWidth() + (list->Width() - list->ClientWidth());
    else if (c->DropDownWidth() <= 0)
        width = Width();
    else
        width = c->DropDownWidth();
    list->SetWidth(std::max(width, Width()));
    list->SetKeyValue(g->EditValue());
    FSpecRowChanged = false;
    list->OnSpecRowChanged = [this](TPopupDataGridEh*) { FSpecRowChanged = true; };
    list->SetUserResized(false);
    PlaceAndShow(list);
    if (list->SizeGrip()) list->SizeGrip()->ShowGripWindow(c->DropDownSizing());
    list->SetListRowCount(rows);
    list->SetUserResized(false);
}

void TDBGridInplaceEdit::DropDownCalendar() {
    TColumnEh* c = Column();
    editors::TPopupMonthCalendarEh* cal = FCalendar;
    cal->SetColor(Color());
    cal->Font()->Assign(Font());
    rtl::TDateTime date = rtl::Date();
    if (!Text().empty() && !rtl::TryStrToDate(Text(), date)) {
        db::TField* f = c->Field();
        const rtl::TDateTime v = f && !f->IsNull() ? f->AsDateTime() : 0;
        date = v != 0 ? v : rtl::Date();
    }
    cal->SetDate(date);
    const TRect r = cal->MinReqRect();
    cal->SetBounds(cal->Left(), cal->Top(), r.Width(), r.Height());
    PlaceAndShow(cal);
}

void TDBGridInplaceEdit::DropDownCalculator() {
    TCustomDBGridEh* g = DBGrid();
    editors::TPopupCalculatorEh* calc = FCalculator;
    double v = 0;
    if (Text().empty())
        calc->SetValue(Variant(0));
    else if (rtl::TryStrToFloat(Text(), v))
        calc->SetValue(Variant(v));
    else
        calc->SetValue(Variant(0));
    calc->SetFlat(g->Flat());
    SetSel(SelStart(), SelStart());
    PlaceAndShow(calc);
}

void TDBGridInplaceEdit::DropDown() {
    TColumnEh* c = Column();
    if (FListVisible || !FActiveList || !c) return;
    if (FActiveList == FDataList && !c->LookupListDataSet()) return;
    FTextBeforeDropDown = DBGrid()->EditText();
    FActiveList->SetWidth(Width());
    if (FActiveList == FPickList)
        DropDownPickList();
    else if (FActiveList == FDataList)
        DropDownDataList();
    else if (FActiveList == FCalendar)
        DropDownCalendar();
    else if (FActiveList == FCalculator)
        DropDownCalculator();
    CloseMRUList(false);
    FListVisible = true;
    Invalidate();
    if (CanFocus() && !Focused()) SetFocus();
    if (!FButtons.empty()) FButtons.front().Button->SetHeldDown(true);
    FDroppingDown = true;
}

// ---------------------------------------------------------------------------------------------
// Closing

void TDBGridInplaceEdit::CloseUp(bool Accept) {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    ui::TWinControl* list = FActiveList;
    if (list && list->HandleAllocated()) {
        ui::TWinControl* focused = ui::FindControlOfWindow(ui::GetFocus());
        if (focused && (focused == list || list->ContainsControl(focused)) && CanFocus()) SetFocus();
    }
    if (!FListVisible || !list || !g || !c) return;
    if (!FButtons.empty()) FButtons.front().Button->SetHeldDown(false);
    if (FNoCloseUp) return;
    if (ui::HWND capture = ui::GetCapture()) ui::SendMessage(capture, ui::WM_CANCELMODE);
    Variant listValue = Variant::Null();
    AnsiString pickText;
    bool picked = false;
    if (list == FDataList) {
        listValue = FDataList->KeyValue();
        if (FDataList->UserResized()) {
            c->SetDropDownRows(FDataList->ListRowCount());
            c->SetDropDownWidth(FDataList->Width());
        }
        if (FSpecRowChanged) {
            AnsiString texts;
            for (int i = 0; i < FDataList->SpecRow()->CellCount(); ++i) {
                if (i > 0) texts += ';';
                texts += FDataList->SpecRow()->TextOfCell(i);
            }
            c->DropDownSpecRow()->SetCellsText(texts);
        }
    } else if (list == FPickList) {
        const int i = FPickList->ItemIndex();
        if (i >= 0) {
            picked = true;
            pickText = c->HasKeyList() && i < c->KeyList()->Count() ? c->KeyList()->Strings(i)
                                                                    : FPickList->Items()->Strings(i);
        }
        if (FPickList->Resized()) {
            c->SetDropDownRows(FPickList->ClientHeight() / std::max(FPickList->ItemHeight(), 1));
            c->SetDropDownWidth(FPickList->Width());
        }
    }
    HideList(list);
    FDroppingDown = false;
    FListVisible = false;
    if (list == FDataList) {
        FDataList->SetAutoFit(false);
        FDataList->SetListSource(nullptr);
        FDataList->OnSpecRowChanged = nullptr;  // the list is the column's and may outlive this editor
    }
    if (FDataSource) FDataSource->SetDataSet(nullptr);
    Invalidate();
    db::TField* f = c->Field();
    if (Accept) {
        if (list == FDataList) {
            if (LookupKeysModifiable(f) && g->CanModifyCurrentCell() && c->CanModifyField(true)) {
                try {
                    f->DataSet()->Edit();
                    if (g->DataLink()->Editing()) g->DataLink()->FlagModified();
                    g->SetEditValue(listValue);
                    g->SetEditText(FDataList->SelectedText());
                    TCustomMaskEdit::SetText(FDataList->SelectedText());
                    SelectAll();
                } catch (...) {
                    // The editor must not look as if it held the field's text.
                    TCustomMaskEdit::SetText(f->Text() + " ");
                    throw;
                }
            }
        } else if (list == FCalendar) {
            if (c->CanModifyField(true) && g->CanModifyCurrentCell()) {
                f->DataSet()->Edit();
                const rtl::TDateTime d = static_cast<double>(static_cast<int64_t>(FCalendar->Date()));
                c->UpdateDataValue(rtl::DateToStr(d), Variant::FromDate(d), false);
            }
        } else if (list == FCalculator) {
            if (c->CanModifyField(true) && g->CanModifyCurrentCell()) {
                const Variant v = FCalculator->GetValue();
                const rtl::TVarType t = v.VType();
                if (t == rtl::varSmallint || t == rtl::varInteger || t == rtl::varSingle || t == rtl::varDouble ||
                    t == rtl::varCurrency) {
                    const AnsiString text = rtl::FloatToStr(v.AsDouble());
                    TCustomMaskEdit::SetText(text);
                    g->SetEditText(text);
                    SelectAll();
                }
            }
        } else if (list == FPickList && picked && g->CanModifyCurrentCell()) {
            if (c->HasKeyList()) {
                const AnsiString text = FPickList->Items()->Strings(FPickList->ItemIndex());
                TCustomMaskEdit::SetText(text);
                g->SetEditText(text);
                g->SetEditValue(Variant(pickText));
            } else {
                TCustomMaskEdit::SetText(pickText);
                g->SetEditText(pickText);
            }
            UpdateImageIndex();
        }
    } else if (list == FDataList || list == FPickList) {
        TCustomMaskEdit::SetText(FTextBeforeDropDown);
        g->SetEditText(FTextBeforeDropDown);
    }
    if (g->CanFocus()) g->SetFocus();
}

// ---------------------------------------------------------------------------------------------
// Keys while a list can drop

bool TDBGridInplaceEdit::ListKeyMessage(ui::TMessage& Message) {
    TColumnEh* c = Column();
    if (!c) return false;
    const auto code = static_cast<uint16_t>(Message.WParam);
    const ui::TShiftState shift = ui::KeyDataToShiftState(static_cast<int32_t>(Message.LParam));
    const bool isChar = Message.Msg == ui::WM_CHAR;
    const bool canDrop = FActiveList != nullptr;
    if (isChar && FKeyTaken != 0) {
        const bool same = code == FKeyTaken;
        FKeyTaken = 0;
        if (same) return true;
    }
    if (canDrop) {
        const bool alt = shift.Contains(ui::ssAlt);
        const bool ctrl = ui::GetKeyState(ui::VK_CONTROL) < 0;
        if ((code == ui::VK_RETURN || code == ui::VK_ESCAPE) && FListVisible && FActiveList != FCalculator && !alt) {
            if (code == ui::VK_RETURN && FActiveList == FDataList && c->OnNotInList) {
                db::TDataSet* ds = c->LookupListDataSet();
                if (ds && !ds->Locate(c->Field()->LookupResultField(), Variant(Text()), {db::loCaseInsensitive})) {
                    FKeyTaken = code;
                    CloseUp(false);
                    return true;
                }
            }
            FKeyTaken = code;
            CloseUp(code == ui::VK_RETURN);
            return true;
        }
        if (!isChar && code == ui::VK_RETURN && ctrl && !FListVisible) {
            DropDown();
            ui::TMsg pending;
            ui::PeekMessage(pending, Handle(), ui::WM_CHAR, ui::WM_CHAR, ui::PM_REMOVE);
            return true;
        }
        if (!isChar && alt && (code == ui::VK_UP || code == ui::VK_DOWN)) {
            if (FListVisible)
                CloseUp(true);
            else
                DropDown();
            return true;
        }
        if (isChar && code >= 32 && !FListVisible && c->AutoDropDown()) DropDown();
        if (FListVisible && FActiveList->HandleAllocated()) {
            if (FActiveList == FCalculator) {
                if (code == 13 || code == 27 || (code >= 32 && code <= 126)) {
                    Message.Result =
                        ui::SendMessage(FActiveList->Handle(), Message.Msg, Message.WParam, Message.LParam);
                    return true;
                }
            } else {
                const bool vertical =
                    (code == 33 || code == 34 || code == 38 || code == 40) && !shift.Contains(ui::ssShift);
                const bool ends = (code == 35 || code == 36) && ctrl;
                const bool sideways = FActiveList == FCalendar && (code == 37 || code == 39);
                if (vertical || ends || sideways) {
                    Message.Result =
                        ui::SendMessage(FActiveList->Handle(), Message.Msg, Message.WParam, Message.LParam);
                    if (FActiveList == FDataList) {
                        TCustomMaskEdit::SetText(FDataList->SelectedText());
                        SelectAll();
                    } else if (FActiveList == FPickList && FPickList->ItemIndex() >= 0) {
                        const AnsiString t = FPickList->Items()->Strings(FPickList->ItemIndex());
                        if (t != Text()) {
                            TCustomMaskEdit::SetText(t);
                            SelectAll();
                        }
                    }
                    return true;
                }
            }
        }
    }
    if (MRUDroppedDown() && FMRUListbox && FMRUListbox->HandleAllocated()) {
        const bool alt = canDrop && shift.Contains(ui::ssAlt);
        const bool ctrl = canDrop && ui::GetKeyState(ui::VK_CONTROL) < 0;
        if (!isChar && ((code == 33 || code == 34 || code == 38 || code == 40) && !alt)) {
            Message.Result = ui::SendMessage(FMRUListbox->Handle(), Message.Msg, Message.WParam, Message.LParam);
            return true;
        }
        if ((code == 35 || code == 36) && ctrl && !isChar) {
            Message.Result = ui::SendMessage(FMRUListbox->Handle(), Message.Msg, Message.WParam, Message.LParam);
            return true;
        }
        if (!isChar && (code == 13 || code == 27)) {
            FKeyTaken = code;
            CloseMRUList(code == 13);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// The most-recently-used texts

void TDBGridInplaceEdit::UpdateMRUDropDown() {
    TColumnEh* c = Column();
    if (!c) return;
    editors::TMRUListEh* mru = c->MRUList();
    if (!FMRUListbox) FMRUListbox = CreateMRUListbox();
    editors::TMRUListboxEh* lb = FMRUListbox;
    const bool complete = mru->FilterItems(
        lb->Items(), Text(), [this](const AnsiString& Item, bool& Accept) { FilterMRUItem(Item, Accept); });
    if (!complete) {
        mru->SetDroppedDown(true);
        CloseMRUList(false);
        return;
    }
    auto place = [this, lb] {
        const TPoint a = ClientToScreen(TPoint{0, 0});
        const TRect anchor{a.X, a.Y, a.X + Width(), a.Y + Height()};
        const TPoint p = editors::PlaceDropDownAtRect(anchor, lb, editors::daLeft);
        lb->SetWindowPos(p.X, p.Y, 0, 0, ui::SWP_NOSIZE | ui::SWP_NOACTIVATE | ui::SWP_SHOWWINDOW);
    };
    editors::DropDownMRUListbox(
        mru, lb, this, std::max(mru->Width(), Width()), place, [this](bool Accept) { CloseMRUList(Accept); },
        [this] { SaveMRUListboxSize(); });
}

void TDBGridInplaceEdit::FilterMRUItem(const AnsiString& Item, bool& Accept) {
    TColumnEh* c = Column();
    const AnsiString text = Text();
    const AnsiString head = Item.substr(0, text.size());
    Accept = c && c->MRUList()->CaseSensitive() ? rtl::AnsiCompareStr(head, text) == 0
                                                : rtl::AnsiCompareText(head, text) == 0;
    if (c && c->MRUList()->OnFilterItem) c->MRUList()->OnFilterItem(c, Accept);
}

void TDBGridInplaceEdit::SaveMRUListboxSize() {
    TColumnEh* c = Column();
    if (!c || !c->MRUList()->DroppedDown() || !FMRUListbox) return;
    c->MRUList()->SetRows(FMRUListbox->RowCount());
    c->MRUList()->SetWidth(FMRUListbox->Width());
}

void TDBGridInplaceEdit::CloseMRUList(bool Accept) {
    TCustomDBGridEh* g = DBGrid();
    TColumnEh* c = Column();
    if (!c || !g || !c->MRUList()->DroppedDown()) return;
    editors::TMRUListboxEh* lb = FMRUListbox;
    c->MRUList()->SetDroppedDown(false);
    if (!lb) return;
    if (ui::HWND capture = ui::GetCapture()) ui::SendMessage(capture, ui::WM_CANCELMODE);
    const bool hadFocus = lb->HandleAllocated() && ui::GetFocus() == lb->Handle();
    HideList(lb);
    if (hadFocus && CanFocus()) SetFocus();
    if (!Accept || ReadOnly()) return;
    g->DataLink()->Edit();
    if (!g->DataLink()->Editing()) return;
    const int i = lb->ItemIndex();
    if (i < 0) return;
    const AnsiString text = lb->Items()->Strings(i);
    g->DataLink()->FlagModified();
    TCustomMaskEdit::SetText(text);
    FTextChanged = false;
    g->SetEditText(text);
    if (Focused()) SelectAll();
}

}  // namespace grid
