// The edit base's most-recently-used list: the texts matching what is typed drop down under the
// text, keys steer the list while the editor keeps the focus, and a chosen text goes into the edit.
#include <algorithm>

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"

namespace editors {

void TCustomDBEditEh::CreateMRUList() {
    FMRUList.reset(rtl::Create<TMRUListEh>(this));
    FMRUList->OnDropDown = [this](rtl::TObject*) { MRUListDropDown(); };
    FMRUList->OnCloseUp = [this](rtl::TObject*, bool Accept) { MRUListCloseUp(Accept); };
}

void TCustomDBEditEh::FreeMRUList() {
    if (!FMRUList) return;
    FMRUList->OnDropDown = nullptr;
    FMRUList->OnCloseUp = nullptr;
}

TMRUListboxEh* TCustomDBEditEh::CreateMRUListbox() {
    auto* lb = rtl::Create<TMRUListboxEh>(this);
    lb->SetVisible(false);
    lb->SetSorted(true);
    lb->SetCtl3D(false);
    lb->OnMouseUp = [this, lb](rtl::TObject*, ui::TMouseButton Button, ui::TShiftState, int X, int Y) {
        if (Button == ui::mbLeft) CloseMRUList(ui::PtInRect(lb->ClientRect(), ui::Point(X, Y)));
    };
    return lb;
}

TMRUListboxEh* TCustomDBEditEh::MRUListbox() {
    if (!FMRUListbox) FMRUListbox = CreateMRUListbox();
    return FMRUListbox;
}

AnsiString TCustomDBEditEh::EmptyEditText() const {
    return IsMasked() ? Mask().EditTextOf(AnsiString()) : AnsiString();
}

ui::TRect TCustomDBEditEh::ScreenEditRect() {
    ui::TRect r;
    if (HandleAllocated())
        Perform(ui::EM_GETRECT, 0, reinterpret_cast<ui::LPARAM>(&r));
    else
        TextAreaRect(r);
    const ui::TPoint a = ClientToScreen(r.TopLeft());
    const ui::TPoint b = ClientToScreen(r.BottomRight());
    return ui::Rect(a.X, a.Y, b.X, b.Y);
}

void TCustomDBEditEh::PlaceMRUListbox() {
    TMRUListboxEh* lb = FMRUListbox;
    const ui::TPoint p = PlaceDropDownAtRect(ScreenEditRect(), lb, daLeft);
    lb->SetWindowPos(p.X, p.Y, 0, 0, ui::SWP_NOSIZE | ui::SWP_NOACTIVATE | ui::SWP_SHOWWINDOW);
}

void TCustomDBEditEh::MRUListDropDown() {
    TMRUListboxEh* lb = MRUListbox();
    const bool complete =
        FMRUList->FilterItems(lb->Items(), AnsiString(ui::TCustomMaskEdit::Text()),
                              [this](const AnsiString& Item, bool& Accept) { FilterMRUItem(Item, Accept); });
    if (!complete) {
        // A key waits: the list would be out of date at once.
        MRUListCloseUp(false);
        return;
    }
    lb->Perform(ui::CM_CHANGED);
    DropDownMRUListbox(
        FMRUList.get(), lb, this, ScreenEditRect().Width(), [this] { PlaceMRUListbox(); },
        [this](bool Accept) { MRUListCloseUp(Accept); }, [this] { SaveMRUListboxSize(); });
}

void DropDownMRUListbox(TMRUListEh* List, TMRUListboxEh* Listbox, ui::TControl* Editor, int Width,
                        const std::function<void()>& Place, const std::function<void(bool Accept)>& CloseUp,
                        std::function<void()> SaveSize) {
    const int count = Listbox->Items()->Count();
    const int rows = std::min(count, List->Rows());
    if (List->DroppedDown()) {
        Listbox->SetRowCount(rows);
        Place();
        if (count == 0) CloseUp(false);
        return;
    }
    if (count == 0) return;
    Listbox->SetColor(Editor->Color());
    Listbox->Font()->Assign(Editor->Font());
    Listbox->SetItemHeight(Listbox->FontTextHeight());
    Listbox->SetItemIndex(-1);
    Listbox->SetRowCount(rows);
    Listbox->SetWidth(Width);
    Listbox->HandleNeeded();
    Place();
    Listbox->SetVisible(true);
    Listbox->SizeGrip()->ShowGripWindow(true);
    List->SetDroppedDown(true);
    Listbox->SizeGrip()->OnParentResized = [Save = std::move(SaveSize)](rtl::TObject*) { Save(); };
}

void TCustomDBEditEh::MRUListCloseUp(bool Accept) {
    if (!FMRUList->DroppedDown() || !FMRUListbox) return;
    TMRUListboxEh* lb = FMRUListbox;
    if (ui::HWND capture = ui::GetCapture()) ui::SendMessage(capture, ui::WM_CANCELMODE);
    const bool hadFocus = lb->HandleAllocated() && ui::GetFocus() == lb->Handle();
    if (lb->HandleAllocated())
        lb->SetWindowPos(0, 0, 0, 0,
                         ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOZORDER | ui::SWP_NOACTIVATE | ui::SWP_HIDEWINDOW);
    lb->SetVisible(false);
    if (hadFocus && CanFocus()) SetFocus();
    FMRUList->SetDroppedDown(false);
    if (!Accept || FUserReadOnly || !FDataLink->BeginFieldEdit()) return;
    const int index = lb->ItemIndex();
    if (index < 0) return;
    // The chosen text is no reason to open the list again.
    FMRUAccepting = true;
    rtl::TryFinally([&] { InternalSetText(lb->Items()->Strings(index)); }, [&] { FMRUAccepting = false; });
    FTextChangePending = false;
    if (FEditFocused) SelectAll();
}

void TCustomDBEditEh::CloseMRUList(bool Accept) {
    if (FMRUList) FMRUList->CloseList(Accept);
}

void TCustomDBEditEh::AddTextToMRUList() {
    if (FMRUList && FMRUList->AutoAdd() && FMRUList->Active() && Showing()) FMRUList->AddItem(Text());
}

void TCustomDBEditEh::OpenMRUAfterBackspace() { FBackspaceOpenPending = true; }

void TCustomDBEditEh::CloseMRUOnCancelMode(ui::TControl* Sender) {
    if (!FMRUList || !FMRUList->DroppedDown()) return;
    if (Sender && (Sender == this || ContainsControl(Sender) || Sender == FMRUListbox ||
                   (FMRUListbox && FMRUListbox->ContainsControl(Sender))))
        return;
    CloseMRUList(false);
}

void TCustomDBEditEh::CloseMRUOnFocusLoss(ui::HWND NewFocus) {
    if (!FMRUList || !FMRUList->DroppedDown()) return;
    if (FMRUListbox && FMRUListbox->HandleAllocated() && NewFocus == FMRUListbox->Handle()) return;
    CloseMRUList(false);
}

bool TCustomDBEditEh::MRUListHasSelection() const {
    return FMRUList && FMRUList->DroppedDown() && FMRUListbox && FMRUListbox->ItemIndex() >= 0;
}

bool TCustomDBEditEh::RouteMRUKey(ui::TMessage& Message) {
    if (Message.Msg == ui::WM_CHAR && FMRUKeyTaken != 0) {
        // The character of a key the list took (Enter, Esc) is not the editor's any more.
        const bool same = Message.WParamLo == FMRUKeyTaken;
        FMRUKeyTaken = 0;
        if (same) return true;
    }
    if (!FMRUList || !FMRUList->DroppedDown() || !FMRUListbox) return false;
    switch (Message.Msg) {
        case ui::WM_KEYDOWN:
        case ui::WM_SYSKEYDOWN: {
            // Only key-down codes steer the list: as characters these codes are '!', '"', '#',
            // '$', '&' and '(', which are typed into the edit.
            const uint16_t code = Message.WParamLo;
            const bool alt = ui::GetKeyState(ui::VK_MENU) < 0;
            const bool ctrl = ui::GetKeyState(ui::VK_CONTROL) < 0;
            if (((code == ui::VK_PRIOR || code == ui::VK_NEXT || code == ui::VK_UP || code == ui::VK_DOWN) && !alt) ||
                ((code == ui::VK_END || code == ui::VK_HOME) && ctrl)) {
                FMRUListbox->Perform(Message.Msg, Message.WParam, Message.LParam);
                return true;
            }
            if (code == ui::VK_RETURN || code == ui::VK_ESCAPE) {
                FMRUKeyTaken = code == ui::VK_RETURN ? '\r' : '\x1B';
                CloseMRUList(code == ui::VK_RETURN);
                return true;
            }
            return false;
        }
        case ui::WM_MOUSEWHEEL: {
            const ui::LRESULT r = FMRUListbox->Perform(ui::CM_MOUSEWHEEL, Message.WParam, Message.LParam);
            if (r != 0) Message.Result = r;
            return r != 0;
        }
        default: return false;
    }
}

void TCustomDBEditEh::FilterMRUItem(const AnsiString& Item, bool& Accept) {
    const AnsiString text = Text();
    const std::string_view head = std::string_view(Item).substr(0, std::min(Item.size(), text.size()));
    Accept = FMRUList->CaseSensitive() ? rtl::AnsiCompareStr(head, text) == 0 : rtl::AnsiCompareText(head, text) == 0;
    if (FMRUList->OnFilterItem) FMRUList->OnFilterItem(this, Accept);
}

void TCustomDBEditEh::SaveMRUListboxSize() {
    if (!FMRUList->DroppedDown() || !FMRUListbox) return;
    FMRUList->SetRows(FMRUListbox->RowCount());
    FMRUList->SetWidth(FMRUListbox->Width());
}

void TCustomDBEditEh::UpdateMRUDropDown() {
    if (!FMRUList) return;
    const AnsiString empty = EmptyEditText();
    if (EditText() == empty) {
        if (FMRUList->DroppedDown()) CloseMRUList(false);
        return;
    }
    if (FMRUList->Active() && Showing() && !FDroppedDown && (FEditFocused || Focused())) FMRUList->OpenList();
}

void TCustomDBEditEh::RunPendingMRUWork() {
    if (FTextChangePending) {
        FTextChangePending = false;
        UpdateMRUDropDown();
    }
    if (FBackspaceOpenPending) {
        FBackspaceOpenPending = false;
        if (FMRUList && FMRUList->Active() && !FMRUList->DroppedDown() && Showing() && !FDroppedDown &&
            EditText() == EmptyEditText())
            FMRUList->OpenList();
    }
}

}  // namespace editors
