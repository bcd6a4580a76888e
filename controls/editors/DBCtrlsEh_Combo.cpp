// The combo box editor: items and key items, the value in each mode, completion and search while
// typing, stepping through the items, and the drop-down list.
#include <algorithm>

#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"

namespace editors {

void TDropDownBoxEh::Assign(rtl::TPersistent* Source) {
    auto* src = dynamic_cast<TDropDownBoxEh*>(Source);
    if (!src) {
        rtl::TPersistent::Assign(Source);
        return;
    }
    Align = src->Align;
    Rows = src->Rows;
    Width = src->Width;
    Sizable = src->Sizable;
}

// ---------------------------------------------------------------------------------------------
// Construction and mode

TCustomDBComboBoxEh::TCustomDBComboBoxEh(rtl::TComponent* Owner)
    : TCustomDBEditEh(Owner),
      FDropDownBox(std::make_unique<TDropDownBoxEh>()),
      FItems(std::make_unique<rtl::TStringList>()),
      FKeyItems(std::make_unique<rtl::TStringList>()) {
    FKeyItems->SetCaseSensitive(true);
}

TCustomDBComboBoxEh::~TCustomDBComboBoxEh() = default;

void TCustomDBComboBoxEh::AfterConstruction() {
    TCustomDBEditEh::AfterConstruction();
    FItems->OnChange = [this](rtl::TObject*) { ItemsChanged(); };
    FKeyItems->OnChange = [this](rtl::TObject*) { KeyItemsChanged(); };
}

TEditButtonEh* TCustomDBComboBoxEh::CreateEditButton() { return rtl::Create<TVisibleEditButtonEh>(this); }

void TCustomDBComboBoxEh::ItemsChanged() {
    FSearchItemsValid = false;
    FListedCount = FItems->Count();
    FKeyMode = FKeyItems->Count() > 0;
    if (FKeyMode) {
        FListedCount = std::min(FItems->Count(), FKeyItems->Count());
        SetTextGuarded(AnsiString());
    }
    UpdateControlReadOnly();
    FItemIndex = IndexOfText(EditText());
    ResetMaxLength();
    if (FPopupList && FListVisible) FPopupList->SetItemIndex(FItemIndex);
}

void TCustomDBComboBoxEh::KeyItemsChanged() {
    ItemsChanged();
    DataChanged();
}

int TCustomDBComboBoxEh::IndexOfText(const AnsiString& Text) const {
    if (Text.empty()) return -1;
    const int i = FItems->IndexOf(Text);
    return i < FListedCount ? i : -1;
}

void TCustomDBComboBoxEh::SetTextGuarded(const AnsiString& S) { ui::TCustomMaskEdit::SetEditText(S); }

ui::TAlignment TCustomDBComboBoxEh::DefaultAlignment() const {
    if (FKeyMode) return ui::TAlignment::taLeftJustify;
    return TCustomDBEditEh::DefaultAlignment();
}

Variant TCustomDBComboBoxEh::GetValueVariant() const {
    if (FKeyMode) return FKeyValue;
    return TCustomDBEditEh::GetValueVariant();
}

bool TCustomDBComboBoxEh::IsValidChar(char Key) {
    if (FKeyMode) return true;
    return TCustomDBEditEh::IsValidChar(Key);
}

void TCustomDBComboBoxEh::ResetMaxLength() {
    if (FKeyMode && MaxLength() > 0) {
        SetMaxLength(0);
        return;
    }
    TCustomDBEditEh::ResetMaxLength();
}

void TCustomDBComboBoxEh::UpdateImageIndex() {
    FItemImageIndex = FItemIndex;
    if (OnGetItemImageIndex) OnGetItemImageIndex(this, FItemIndex, FItemImageIndex);
    TCustomDBEditEh::UpdateImageIndex();
}

int TCustomDBComboBoxEh::GetItemsCount() {
    if (FItems->Count() == 0 && ItemsCountHook) return ItemsCountHook(this);
    return FItems->Count();
}

// ---------------------------------------------------------------------------------------------
// Value and text

void TCustomDBComboBoxEh::SetItemIndexInternal(int Index) {
    if (Index == FItemIndex) return;
    GetItemsCount();
    if (Index < 0 || Index >= FListedCount) {
        FItemIndex = -1;
        FKeyValue = Variant::Null();
    } else {
        FItemIndex = Index;
        if (FKeyMode) FKeyValue = Variant(FKeyItems->Strings(Index));
    }
    UpdateImageIndex();
    if (FPopupList && FListVisible) FPopupList->SetItemIndex(FItemIndex);
    FShowingItem = true;
    rtl::TryFinally([&] { SetTextGuarded(FItemIndex >= 0 ? FItems->Strings(FItemIndex) : AnsiString()); },
                    [&] { FShowingItem = false; });
}

void TCustomDBComboBoxEh::SetItemIndex(int Value) {
    AssignAndUpdate([&] { SetItemIndexInternal(Value); });
}

void TCustomDBComboBoxEh::InternalSetValue(const Variant& AValue) {
    if (!FKeyMode) {
        TCustomDBEditEh::InternalSetValue(AValue);
        FItemIndex = IndexOfText(EditText());
        return;
    }
    FKeyValue = AValue.IsEmpty() ? Variant::Null() : AValue;
    if (FKeyValue.IsNull()) {
        FItemIndex = -1;
        SetTextGuarded(AnsiString());
    } else {
        const int i = FKeyItems->IndexOf(VariantToText(FKeyValue));
        // A key beyond the listed items, or none, keeps the Value but shows nothing.
        FItemIndex = i >= 0 && i < FListedCount ? i : -1;
        SetTextGuarded(FItemIndex >= 0 ? FItems->Strings(FItemIndex) : AnsiString());
    }
    UpdateImageIndex();
    if (FPopupList && FListVisible) FPopupList->SetItemIndex(FItemIndex);
}

void TCustomDBComboBoxEh::InternalSetText(const AnsiString& AText) {
    if (!FKeyMode) {
        TCustomDBEditEh::InternalSetText(AText);
        FItemIndex = IndexOfText(EditText());
        return;
    }
    const int i = IndexOfText(AText);
    if (i < 0) return;
    FItemIndex = -2;  // forces the selection through
    SetItemIndexInternal(i);
}

void TCustomDBComboBoxEh::DataChanged() {
    if (!FKeyMode) {
        TCustomDBEditEh::DataChanged();
        FItemIndex = IndexOfText(EditText());
        UpdateImageIndex();
        return;
    }
    if (db::TField* f = Field()) {
        if (!EditMaskAssigned()) ui::TCustomMaskEdit::SetEditMask(FieldEditMask());
        InternalSetValue(f->IsNull() ? Variant::Null() : Variant(f->Text()));
    } else if (IsUnbound()) {
        InternalSetValue(DataLink()->UnboundValue());
    } else {
        if (!EditMaskAssigned()) ui::TCustomMaskEdit::SetEditMask(AnsiString());
        InternalSetValue(Variant::Null());
    }
    UpdateControlReadOnly();
    SetModified(false);
}

void TCustomDBComboBoxEh::StoreTextToLink() {
    if (!IsUnbound() || FKeyMode) {
        if (FKeyMode && IsUnbound())
            DataLink()->StoreFieldValue(Value());
        else
            DataLink()->SetText(VariantToText(Value()));
        return;
    }
    DataLink()->SetText(EditText());
}

void TCustomDBComboBoxEh::UpdateControlReadOnly() {
    // In key mode typing goes through the search, never into the text.
    if (FKeyMode && !WindowReadOnly()) {
        ui::TCustomMaskEdit::SetReadOnly(true);
        return;
    }
    if (!FKeyMode) TCustomDBEditEh::UpdateControlReadOnly();
}

void TCustomDBComboBoxEh::UpdateData() {
    if (OnNotInList && FItemIndex == -1) {
        bool recheck = false;
        OnNotInList(this, EditText(), recheck);
    }
    TCustomDBEditEh::UpdateData();
}

void TCustomDBComboBoxEh::Change() {
    TCustomDBEditEh::Change();
    if (!FKeyMode && !FShowingItem) FItemIndex = IndexOfText(EditText());
}

void TCustomDBComboBoxEh::Clear() {
    if (FKeyMode) {
        SetValue(Variant::Null());
        return;
    }
    TCustomDBEditEh::Clear();
}

AnsiString TCustomDBComboBoxEh::PaintCopyText() {
    db::TField* f = Field();
    if (FKeyMode && f && ControlState().Contains(ui::csPaintCopy)) {
        const int i = FKeyItems->IndexOf(f->Text());
        if (i < 0 || i >= FListedCount) return {};
        const AnsiString& t = FItems->Strings(i);
        switch (CharCase()) {
            case ui::ecUpperCase: return rtl::AnsiUpperCase(t);
            case ui::ecLowerCase: return rtl::AnsiLowerCase(t);
            default: return t;
        }
    }
    return TCustomDBEditEh::PaintCopyText();
}

// ---------------------------------------------------------------------------------------------
// Search

bool TCustomDBComboBoxEh::CanChangeValue() { return (IsUnbound() || Field()) && DataLink()->BeginFieldEdit(); }

bool TCustomDBComboBoxEh::LocateText(const AnsiString& Text, bool Partial) {
    if (!DataLink()->BeginFieldEdit()) return false;
    const int old = FItemIndex;
    try {
        // One pass, one comparison per item: the cost of a key stroke grows with the item count
        // and no faster.
        if (!FSearchItemsValid) {
            FSearchItems.clear();
            FSearchItems.reserve(static_cast<size_t>(FItems->Count()));
            for (int i = 0; i < FItems->Count(); ++i) FSearchItems.push_back(rtl::AnsiToWide(FItems->Strings(i)));
            FSearchItemsValid = true;
        }
        int found = -1;
        const rtl::WideString wide = rtl::AnsiToWide(Text);
        const std::u16string_view t = wide;
        const int n = std::min(FListedCount, static_cast<int>(FSearchItems.size()));
        for (int i = 0; i < n; ++i) {
            std::u16string_view s = FSearchItems[static_cast<size_t>(i)];
            // A 1251 character is one UTF-16 unit, so the prefix has as many units as Text bytes.
            if (Partial) {
                if (s.size() < t.size()) continue;
                s = s.substr(0, t.size());
            }
            if (rtl::WideSameText(s, t)) {
                found = i;
                break;
            }
        }
        if (found >= 0) {
            SetItemIndexInternal(found);
            SetSelStart(static_cast<int>(Text.size()));
            SetSelLength(static_cast<int>(EditText().size()) - static_cast<int>(Text.size()));
        } else if (!FKeyMode) {
            FItemIndex = -1;
            FKeyValue = Variant::Null();
            UpdateImageIndex();
        }
        return FItemIndex != old;
    } catch (const rtl::Exception&) {
        SetItemIndexInternal(old);
        return false;
    }
}

void TCustomDBComboBoxEh::ProcessSearchKey(const AnsiString& S) {
    if (!CanChangeValue()) return;
    if (S == "\b") {
        const int len = static_cast<int>(EditText().size());
        const int start = SelLength() == len ? len - 1 : SelStart() - 1;
        SetSelStart(std::max(start, 0));
        SetSelLength(len - std::max(start, 0));
        return;
    }
    LocateText(EditText().substr(0, static_cast<size_t>(std::max(SelStart(), 0))) + S, true);
}

// ---------------------------------------------------------------------------------------------
// Keys

void TCustomDBComboBoxEh::KeyPress(char& Key) {
    if (FListVisible && (Key == '\r' || Key == '\x1B')) {
        CloseUp(Key == '\r');
        Key = 0;
        return;
    }
    TCustomDBEditEh::KeyPress(Key);
    if (Key == 0) return;
    if (Key == '\b' && FKeyMode && !ReadOnly()) {
        ProcessSearchKey("\b");
        Key = 0;
        return;
    }
    if (static_cast<unsigned char>(Key) >= 32) {
        if (DropDownBox()->AutoDrop && !FListVisible) DropDown();
        if (FKeyMode && !ReadOnly()) {
            ProcessSearchKey(FCharMessageText.empty() ? AnsiString(1, Key) : FCharMessageText);
            Key = 0;
        }
    }
}

void TCustomDBComboBoxEh::WMChar(ui::TWMKey& Message) {
    const auto c = static_cast<char>(Message.CharCode);
    const AnsiString oldText = EditText();
    TCustomDBEditEh::WMChar(Message);
    if (FKeyMode || c == 0 || c == '.' || ui::GetKeyState(ui::VK_CONTROL) < 0) return;
    if (EditText() == oldText && c != '\b') return;
    const int oldCaret = SelStart();
    const bool atEnd = SelStart() == static_cast<int>(EditText().size()) && SelLength() == 0;
    if (atEnd && c != '\b') {
        ProcessSearchKey(AnsiString());
    } else if (LocateText(EditText(), false)) {
        SetSelStart(oldCaret);
        SetSelLength(static_cast<int>(EditText().size()) - oldCaret);
    }
}

void TCustomDBComboBoxEh::SelectNextItem(bool Up) {
    int i = FItemIndex;
    if (Up) {
        if (i > 0)
            --i;
        else if (i < 0)
            i = FListedCount - 1;
    } else {
        if (i < 0)
            i = 0;
        else if (i < FListedCount - 1)
            ++i;
    }
    if (i == FItemIndex || i < 0) return;
    SetItemIndexInternal(i);
    SelectAll();
}

void TCustomDBComboBoxEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    if (Key == ui::VK_DELETE && FKeyMode && !ReadOnly()) {
        // The window is read-only in key mode, so Del would do nothing there.
        db::TField* f = Field();
        if ((IsUnbound() || (f && !f->Required())) && CanChangeValue()) {
            InternalSetValue(Variant::Null());
            DataLink()->FlagModified();
            SetModified(true);
        }
        Key = 0;
        return;
    }
    TCustomDBEditEh::KeyDown(Key, Shift);
    if (Key == 0) return;
    if ((Key == ui::VK_UP || Key == ui::VK_DOWN) && Shift.Empty() && !ReadOnly() && !FListVisible &&
        (!WordWrap() || SelLength() == static_cast<int>(EditText().size()))) {
        if (CanChangeValue()) SelectNextItem(Key == ui::VK_UP);
        Key = 0;
    }
}

bool TCustomDBComboBoxEh::DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) {
    if (TCustomDBEditEh::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    if (!Shift.Empty() || ReadOnly() || !CanChangeValue()) return false;
    SelectNextItem(WheelDelta > 0);
    return true;
}

void TCustomDBComboBoxEh::EditButtonDown(bool Flag) {
    if (EditButton()->Style() == ebsUpDownEh) {
        if (!ReadOnly() && CanChangeValue()) SelectNextItem(!Flag);
        return;
    }
    TCustomDBEditEh::EditButtonDown(Flag);
}

// ---------------------------------------------------------------------------------------------
// The list

ui::TWinControl* TCustomDBComboBoxEh::ListWindow() const { return FPopupList; }

TPopupListboxEh* TCustomDBComboBoxEh::PopupList() {
    if (!FPopupList) {
        FPopupList = ListFactory ? ListFactory(this) : rtl::Create<TPopupListboxEh>(this);
        FPopupList->SetVisible(false);
        FPopupList->SetCtl3D(true);
        FPopupList->SetParent(this);
        FPopupList->OnMouseUp = [this](rtl::TObject*, ui::TMouseButton Button, ui::TShiftState, int X, int Y) {
            if (Button == ui::mbLeft) ListMouseUp(X, Y);
        };
        FPopupList->OnGetImageIndex = [this](rtl::TObject*, int Index, int& ImageIndex) {
            if (OnGetItemImageIndex) OnGetItemImageIndex(this, Index, ImageIndex);
        };
    }
    return FPopupList;
}

void TCustomDBComboBoxEh::EditButtonMouseMove(rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y) {
    TCustomDBEditEh::EditButtonMouseMove(Sender, Shift, X, Y);
    if (FListVisible) PassButtonDragToDropDown(Sender, X, Y, FPopupList);
}

void TCustomDBComboBoxEh::ListMouseUp(int X, int Y) {
    if (!FListVisible) return;
    CloseUp(ui::PtInRect(FPopupList->ClientRect(), ui::Point(X, Y)));
}

void TCustomDBComboBoxEh::DropDown() {
    if (FListVisible) return;
    TCustomDBEditEh::DropDown();
    if (OnDropDown) OnDropDown(this);
    TPopupListboxEh* list = PopupList();
    list->SetColor(Color());
    list->Font()->Assign(Font());
    list->SetImageList(Images());
    GetItemsCount();
    list->HandleNeeded();
    list->Items()->Assign(FItems.get());
    list->SetItemIndex(FItemIndex);
    if (Images() && EditImage()->UseImageHeight() && Images()->Height() > list->FontTextHeight())
        list->SetItemHeight(Images()->Height());
    list->SetRowCount(std::min(std::max(FDropDownBox->Rows, 1), std::max(FItems->Count(), 1)));
    int width;
    if (FDropDownBox->Width == -1) {
        ui::TBitmap probe;
        probe.Canvas()->Font()->Assign(Font());
        int widest = 0;
        for (int i = 0; i < FItems->Count(); ++i)
            widest = std::max(widest, probe.Canvas()->TextWidth(FItems->Strings(i)));
        width = widest + 5 + (Images() ? Images()->Width() + 4 : 0);
        width += list->Width() - list->ClientWidth();
    } else if (FDropDownBox->Width < 1) {
        width = Width();
    } else {
        width = FDropDownBox->Width;
    }
    list->SetWidth(std::max(width, Width()));
    list->SetResized(false);
    ShowDropDownUnder(list, FDropDownBox->Align);
    if (list->SizeGrip()) list->SizeGrip()->ShowGripWindow(FDropDownBox->Sizable);
    list->SetResized(false);
    FListVisible = true;
    SetDroppedDown(true);
}

void TCustomDBComboBoxEh::CloseUp(bool Accept) {
    if (!FListVisible) return;
    if (ui::TControl* capture = ui::GetCaptureControl()) capture->Perform(ui::WM_CANCELMODE);
    HideDropDown(FPopupList);
    if (FPopupList->Resized()) {
        // The user's size is the next drop-down's.
        FDropDownBox->Rows = std::max(1, FPopupList->ClientHeight() / std::max(FPopupList->ItemHeight(), 1));
        FDropDownBox->Width = FPopupList->Width();
        FPopupList->SetResized(false);
    }
    if (CanFocus() && !Focused() && ui::GetFocus() == FPopupList->Handle()) SetFocus();
    FListVisible = false;
    SetDroppedDown(false);
    TCustomDBEditEh::CloseUp(Accept);
    if (CloseUpHook) CloseUpHook(this, Accept);
    if (Accept && !ReadOnly() && DataLink()->BeginFieldEdit()) {
        SetItemIndexInternal(FPopupList->ItemIndex());
        DataLink()->FlagModified();
        SetModified(true);
        if (Focused()) SelectAll();
    }
    if (OnCloseUp) OnCloseUp(this, Accept);
}

void TCustomDBComboBoxEh::WndProc(ui::TMessage& Message) {
    if (FListVisible && FPopupList->HandleAllocated() &&
        (Message.Msg == ui::WM_KEYDOWN || Message.Msg == ui::WM_CHAR || Message.Msg == ui::WM_SYSKEYDOWN)) {
        const auto code = Message.WParam;
        const bool ctrl = ui::GetKeyState(ui::VK_CONTROL) < 0;
        // A button's shortcut (Alt+Down closes the list again) stays the editor's.
        const bool shortCut =
            Message.Msg != ui::WM_CHAR &&
            ButtonIndexOfShortCut(ui::ShortCut(static_cast<uint16_t>(code),
                                               ui::KeyDataToShiftState(static_cast<int32_t>(Message.LParam)))) >= 0;
        if (!shortCut &&
            (code == 33 || code == 34 || code == 38 || code == 40 || ((code == 35 || code == 36) && ctrl))) {
            Message.Result = ui::SendMessage(FPopupList->Handle(), Message.Msg, Message.WParam, Message.LParam);
            return;
        }
    }
    if (FListVisible && PassWheelToDropDown(Message, FPopupList)) return;
    if (FKeyMode && !ComponentState().Contains(rtl::csDesigning) && ListStyleMouse(Message, [this] {
            if (FListVisible) {
                CloseUp(false);
                return;
            }
            if (CanFocus() && !Focused()) SetFocus();
            if (!ButtonControls().empty() && ButtonControls().front().EditButtonControl->Enabled()) DropDown();
        }))
        return;
    if (Message.Msg == ui::WM_SETCURSOR && FKeyMode && !ComponentState().Contains(rtl::csDesigning)) {
        // Nothing is typed into a pick list: no text cursor anywhere over it.
        ui::SetCursorShape(ui::crArrow);
        Message.Result = 1;
        return;
    }
    if (Message.Msg == ui::WM_PASTE && FKeyMode) {
        const rtl::WideString w = ui::Clipboard()->AsWideText();
        // A character 1251 lacks would be searched for as '?': the paste is refused whole.
        if (IsPasteRefused()) {
            ui::MessageBeep();
            return;
        }
        if (!w.empty()) {
            ProcessSearchKey(rtl::WideToAnsi(w));
            return;
        }
    }
    TCustomDBEditEh::WndProc(Message);
}

}  // namespace editors
