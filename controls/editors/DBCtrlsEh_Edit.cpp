// The edit base: construction, the value flow between the field and the text, keys, focus and
// the window messages that are not about painting, buttons or hosting.
#include <algorithm>

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/Text.h"
#include "framework/ui/ActnList.h"
#include "framework/ui/Clipbrd.h"

namespace editors {

bool EditorDataSourceMissing(const TFieldDataLinkEh* Link) {
    return Link && !Link->Unbound() && Link->LinkedDataSource() == nullptr;
}

void CheckEditorDataSource(const TFieldDataLinkEh* Link, rtl::TComponent* Editor) {
    if (!Link || Link->Unbound()) return;
    db::TDataSource* src = Link->LinkedDataSource();
    if (!src) db::DatabaseError(SMissingDataSource, Editor);
    if (!src->DataSet()) db::DatabaseError(db::msg::SNoDataSet, Editor);
}

namespace {

bool IsMemoField(const db::TField* F) { return F->DataType() == db::ftMemo || F->DataType() == db::ftWideMemo; }

bool IsStringField(const db::TField* F) { return F->DataType() == db::ftString || F->DataType() == db::ftWideString; }

ui::TAlignment ToUiAlignment(db::TAlignment A) {
    switch (A) {
        case db::taRightJustify: return ui::TAlignment::taRightJustify;
        case db::taCenter: return ui::TAlignment::taCenter;
        default: return ui::TAlignment::taLeftJustify;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TCustomDBEditEh::TCustomDBEditEh(rtl::TComponent* Owner) : ui::TCustomMaskEdit(Owner) {
    FControlStyle.Include(ui::csCaptureMouse);
    FControlStyle.Include(ui::csReplicatable);
}

TCustomDBEditEh::~TCustomDBEditEh() = default;

void TCustomDBEditEh::AfterConstruction() {
    ui::TCustomMaskEdit::AfterConstruction();
    FDataLink.reset(CreateDataLink());
    FDataLink->SetControl(this);
    FDataLink->OnDataChange = [this](rtl::TObject* Sender) { LinkDataChange(Sender); };
    FDataLink->OnEditingChange = [this](rtl::TObject* Sender) { LinkEditingChange(Sender); };
    FDataLink->OnUpdateData = [this](rtl::TObject* Sender) { LinkUpdateData(Sender); };
    FDataLink->OnActiveChange = [this](rtl::TObject* Sender) { LinkActiveChange(Sender); };
    FEditButton.reset(CreateEditButton());
    FEditButton->OnChange = [this](rtl::TObject*) { EditButtonChanged(); };
    FEditButtons.reset(CreateEditButtons());
    FEditButtons->OnChange = [this](rtl::TCollectionItem*) { EditButtonChanged(); };
    FEditImage.reset(CreateEditImage());
    CreateMRUList();
    UpdateControlReadOnly();
    UpdateImageIndex();
}

void TCustomDBEditEh::BeforeDestruction() {
    // The link must stop calling back before the parts it reaches go.
    if (FDataLink) {
        FDataLink->OnDataChange = nullptr;
        FDataLink->OnEditingChange = nullptr;
        FDataLink->OnUpdateData = nullptr;
        FDataLink->OnActiveChange = nullptr;
        FDataLink->SetControl(nullptr);
        FDataLink->AssignLinkDataSource(nullptr);
    }
    FreeMRUList();
    ui::TCustomMaskEdit::BeforeDestruction();
}

TFieldDataLinkEh* TCustomDBEditEh::CreateDataLink() { return rtl::Create<TFieldDataLinkEh>(); }

TEditButtonEh* TCustomDBEditEh::CreateEditButton() { return rtl::Create<TEditButtonEh>(this); }

TEditButtonControlEh* TCustomDBEditEh::CreateEditButtonControl() {
    auto* c = rtl::Create<TEditButtonControlEh>(this);
    c->SetBounds(0, 0, 10, 17);
    c->SetControlStyle(c->ControlStyle() + ui::TControlStyle{ui::csOpaque, ui::csReplicatable});
    c->SetParent(this);
    return c;
}

TEditButtonsEh* TCustomDBEditEh::CreateEditButtons() {
    return rtl::Create<TEditButtonsEh>(this, TVisibleEditButtonEh::StaticClass());
}

TEditImageEh* TCustomDBEditEh::CreateEditImage() { return rtl::Create<TEditImageEh>(this); }

// ---------------------------------------------------------------------------------------------
// Binding

bool TCustomDBEditEh::IsUnbound() const { return FDataLink->Unbound(); }

AnsiString TCustomDBEditEh::GetDataField() const { return FDataLink->FieldName(); }

db::TDataSource* TCustomDBEditEh::GetDataSource() const { return FDataLink->LinkedDataSource(); }

bool TCustomDBEditEh::DataSourceMissing() const { return EditorDataSourceMissing(FDataLink.get()); }

void TCustomDBEditEh::RaiseIfDataSourceMissing() { CheckEditorDataSource(FDataLink.get(), this); }

void TCustomDBEditEh::SetDataField(const AnsiString& Value) {
    if (!ComponentState().Contains(rtl::csDesigning)) ResetMaxLength();
    FDataLink->BindFieldName(Value);
    UpdateEditButtonControls();
    Invalidate();
}

void TCustomDBEditEh::SetDataSource(db::TDataSource* Value) {
    if (!(FDataLink->DataSourceFixed() && ComponentState().Contains(rtl::csLoading)))
        FDataLink->AssignLinkDataSource(Value);
    if (Value) Value->FreeNotification(this);
    DataChanged();
    UpdateEditButtonControls();
    Invalidate();
}

void TCustomDBEditEh::ResetMaxLength() {
    if (MaxLength() <= 0) return;
    db::TDataSource* src = DataSource();
    if (!src || !src->DataSet() || DataField().empty()) return;
    db::TField* f = src->DataSet()->FindField(rtl::AnsiToWide(DataField()));
    if (f && IsStringField(f) && f->Size() == MaxLength()) SetMaxLength(0);
}

ui::TAlignment TCustomDBEditEh::DefaultAlignment() const {
    if (db::TField* f = Field()) return ToUiAlignment(f->Alignment());
    return ui::TAlignment::taLeftJustify;
}

AnsiString TCustomDBEditEh::FieldEditMask() const {
    if (db::TField* f = Field()) return f->EditMaskPtr();
    return {};
}

int TCustomDBEditEh::DefaultImageIndex() { return -1; }

bool TCustomDBEditEh::IsValidChar(char Key) {
    if (db::TField* f = Field()) return f->IsValidChar(Key);
    return true;
}

bool TCustomDBEditEh::ButtonEnabled() { return Enabled() && FDataLink->IsActive(); }

// ---------------------------------------------------------------------------------------------
// Properties

ui::TAlignment TCustomDBEditEh::Alignment() const { return FAlignmentAssigned ? FUserAlignment : DefaultAlignment(); }

void TCustomDBEditEh::SetAlignment(ui::TAlignment Value) {
    FUserAlignment = Value;
    FAlignmentAssigned = true;
    if (!ComponentState().Contains(rtl::csLoading) && HandleAllocated()) RecreateWnd();
    Invalidate();
}

void TCustomDBEditEh::SetAlwaysShowBorder(bool Value) {
    if (Value == FAlwaysShowBorder) return;
    FAlwaysShowBorder = Value;
    UpdateBorderHot();
}

void TCustomDBEditEh::SetEditMask(const AnsiString& Value) {
    if (FEditMaskAssigned && Value == EditMask()) return;
    const bool loading = ComponentState().Contains(rtl::csLoading);
    const AnsiString keep = EditText();
    ui::TCustomMaskEdit::SetEditMask(Value);
    FEditMaskAssigned = true;
    if (loading) {
        if (IsUnbound()) ui::TCustomMaskEdit::SetEditText(keep);
        return;
    }
    if (IsUnbound()) {
        StoreTextToLink();
    } else {
        DataChanged();
        UpdateEditButtonControls();
    }
}

void TCustomDBEditEh::SetFlat(bool Value) {
    if (Value == FFlat) return;
    FFlat = Value;
    if (HandleAllocated()) {
        LayoutEditButtons();
        InvalidateFrame();
    }
    Invalidate();
}

void TCustomDBEditEh::SetHighlightRequired(bool Value) {
    if (Value == FHighlightRequired) return;
    FHighlightRequired = Value;
    Invalidate();
}

void TCustomDBEditEh::SetImages(ui::TCustomImageList* Value) {
    FEditImage->SetImages(Value);
    FEditImage->SetVisible(true);
}

void TCustomDBEditEh::SetPasswordChar(char Value) {
    if (Value == PasswordChar()) return;
    ui::TCustomMaskEdit::SetPasswordChar(Value);
    if (HandleAllocated()) RecreateWnd();
}

void TCustomDBEditEh::SetReadOnly(bool Value) {
    FUserReadOnly = Value;
    FDataLink->SetReadOnly(Value);
    UpdateControlReadOnly();
}

void TCustomDBEditEh::SetWordWrap(bool Value) {
    if (Value == FWordWrap) return;
    FWordWrap = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomDBEditEh::SetAutoSize(bool Value) {
    if (Value == AutoSize()) return;
    ui::TCustomMaskEdit::SetAutoSize(Value);
    UpdateFixedHeight();
}

void TCustomDBEditEh::SetOnGetImageIndex(TGetImageIndexEventEh Value) {
    FOnGetImageIndex = std::move(Value);
    UpdateImageIndex();
}

void TCustomDBEditEh::UpdateFixedHeight() {
    if (AutoSize() && BorderStyle() == ui::TBorderStyle::bsSingle) {
        FControlStyle.Include(ui::csFixedHeight);
        AdjustHeight();
    } else {
        FControlStyle.Exclude(ui::csFixedHeight);
    }
}

// ---------------------------------------------------------------------------------------------
// Value flow

void TCustomDBEditEh::LinkDataChange(rtl::TObject*) {
    DataChanged();
    UpdateEditButtonControls();
}

void TCustomDBEditEh::LinkEditingChange(rtl::TObject*) { EditingChanged(); }

void TCustomDBEditEh::LinkUpdateData(rtl::TObject*) { UpdateData(); }

void TCustomDBEditEh::LinkActiveChange(rtl::TObject*) { ActiveChanged(); }

void TCustomDBEditEh::ActiveChanged() {
    ResetMaxLength();
    UpdateEditButtonControls();
}

void TCustomDBEditEh::EditingChanged() { UpdateControlReadOnly(); }

void TCustomDBEditEh::DataChanged() {
    if (db::TField* f = Field()) {
        if (ToUiAlignment(f->Alignment()) != FUserAlignment) Invalidate();
        if (!FEditMaskAssigned) ui::TCustomMaskEdit::SetEditMask(FieldEditMask());
        if (!ComponentState().Contains(rtl::csDesigning) && IsStringField(f) && MaxLength() == 0)
            SetMaxLength(f->Size());
        if (FEditFocused && FDataLink->CanModify())
            InternalSetText(IsMemoField(f) ? f->AsString() : f->Text());
        else
            ui::TControl::SetText(IsMemoField(f) ? f->AsString() : f->DisplayText());
    } else if (IsUnbound()) {
        if (!FEditMaskAssigned) ui::TCustomMaskEdit::SetEditMask(AnsiString());
        ui::TCustomMaskEdit::SetEditText(VariantToText(FDataLink->UnboundValue()));
    } else {
        if (!FEditMaskAssigned) ui::TCustomMaskEdit::SetEditMask(AnsiString());
        ui::TControl::SetText(AnsiString());
    }
    UpdateControlReadOnly();
    SetModified(false);
}

void TCustomDBEditEh::UpdateData() {
    if (FEditFocused) ValidateEdit();
    bool handled = false;
    if (OnUpdateData) {
        FInUpdateData = true;
        rtl::TryFinally([&] { OnUpdateData(this, handled); }, [&] { FInUpdateData = false; });
    }
    if (!handled) StoreTextToLink();
    SetModified(false);
    AddTextToMRUList();
}

void TCustomDBEditEh::StoreTextToLink() {
    if (IsUnbound())
        FDataLink->SetText(EditText());
    else
        FDataLink->SetText(Text());
}

void TCustomDBEditEh::InternalSetText(const AnsiString& AText) { ui::TCustomMaskEdit::SetText(AText); }

void TCustomDBEditEh::InternalSetValue(const Variant& AValue) { InternalSetText(VariantToText(AValue)); }

AnsiString TCustomDBEditEh::Text() const {
    if (DataSourceMissing()) return {};
    return ui::TCustomMaskEdit::Text();
}

Variant TCustomDBEditEh::Value() const {
    if (DataSourceMissing()) return Variant::Null();
    return GetValueVariant();
}

Variant TCustomDBEditEh::GetValueVariant() const { return Variant(ui::TCustomMaskEdit::Text()); }

void TCustomDBEditEh::AssignAndUpdate(const std::function<void()>& Assign) {
    if (ComponentState().Contains(rtl::csDesigning) && !IsUnbound()) return;
    RaiseIfDataSourceMissing();
    if (!IsUnbound()) DataSource()->DataSet()->Edit();
    Assign();
    if (FInUpdateData) return;
    try {
        UpdateData();
    } catch (...) {
        FDataLink->RestoreFieldValue();
        throw;
    }
}

void TCustomDBEditEh::SetText(const AnsiString& Value) {
    AssignAndUpdate([&] { InternalSetText(Value); });
}

void TCustomDBEditEh::SetValueVariant(const Variant& AValue) {
    AssignAndUpdate([&] { InternalSetValue(AValue); });
}

void TCustomDBEditEh::UpdateControlReadOnly() {
    bool ro = FUserReadOnly;
    if (!ro) {
        ro = !FDataLink->LinkEditing();
        if (ro && OnUpdateData) {
            db::TDataSource* src = DataSource();
            if (src && src->DataSet() && src->DataSet()->State() == db::dsEdit) ro = false;
        }
        if (!ro && FHolderIntf && !FHolderIntf->CanEditorModify(this)) ro = true;
    }
    if (ro != WindowReadOnly()) ui::TCustomMaskEdit::SetReadOnly(ro);
}

void TCustomDBEditEh::SetFocused(bool Value) {
    if (Value == FEditFocused) return;
    FEditFocused = Value;
    if (FAlignmentAssigned && FUserAlignment != ui::TAlignment::taLeftJustify && !IsMasked()) Invalidate();
    FDataLink->RestoreFieldValue();
}

bool TCustomDBEditEh::EditCanModify() { return FDataLink->BeginFieldEdit(); }

void TCustomDBEditEh::Reset() {
    FDataLink->RestoreFieldValue();
    SelectAll();
}

void TCustomDBEditEh::BeginEditUnlessReadOnly() {
    if (!FUserReadOnly) FDataLink->BeginFieldEdit();
}

void TCustomDBEditEh::Change() {
    FDataLink->FlagModified();
    SetModified(true);
    ui::TCustomMaskEdit::Change();
    UpdateImageIndex();
}

void TCustomDBEditEh::Loaded() {
    ui::TCustomMaskEdit::Loaded();
    ResetMaxLength();
    if (ComponentState().Contains(rtl::csDesigning)) DataChanged();
    UpdateBorderHot();
}

void TCustomDBEditEh::Notification(rtl::TComponent* AComponent, rtl::TOperation Operation) {
    ui::TCustomMaskEdit::Notification(AComponent, Operation);
    if (Operation != rtl::opRemove) return;
    if (FDataLink && AComponent == DataSource()) SetDataSource(nullptr);
    if (FEditImage && AComponent == FEditImage->Images()) {
        FEditImage->Notification(AComponent, Operation);
        UpdateImageWidth();
        UpdateEditRect();
        Invalidate();
    }
    if (FEditButton && AComponent == FEditButton->DropdownMenu) FEditButton->DropdownMenu = nullptr;
    if (FEditButtons)
        for (int i = 0; i < FEditButtons->Count(); ++i)
            if (AComponent == FEditButtons->Items(i)->DropdownMenu) FEditButtons->Items(i)->DropdownMenu = nullptr;
    if (AComponent == FMRUListbox) FMRUListbox = nullptr;
    if (AComponent == FInplaceEditHolder) {
        FInplaceEditHolder = nullptr;
        FHolderIntf = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Keys

void TCustomDBEditEh::PressButtonControl(int Index) {
    TEditButtonControlEh* c = FEditButtonControlList[static_cast<size_t>(Index)].EditButtonControl;
    bool autoRepeat = false;
    c->FireDownEvent(false, autoRepeat);
    c->Click();
}

void TCustomDBEditEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    if (FHolderIntf) {
        FHolderIntf->EditorKeyDown(this, Key, Shift);
        if (Key == 0) return;
    }
    // The window is read-only until editing starts, so these keys start it before the edit acts.
    const bool editKey = Key == ui::VK_DELETE || (Key == ui::VK_INSERT && Shift == ui::TShiftState{ui::ssShift}) ||
                         (Key == ui::VK_RETURN && FEditWantReturns) || (Key == ui::VK_TAB && FEditWantTabs);
    if (editKey) BeginEditUnlessReadOnly();
    ui::TCustomMaskEdit::KeyDown(Key, Shift);
    if (Key == 0) return;
    const int index = ButtonIndexOfShortCut(ui::ShortCut(Key, Shift));
    if (index >= 0 && index < static_cast<int>(FEditButtonControlList.size()) &&
        FEditButtonControlList[static_cast<size_t>(index)].EditButtonControl->Enabled()) {
        PressButtonControl(index);
        Key = 0;
        return;
    }
    if (Key == 'A' && Shift == ui::TShiftState{ui::ssCtrl}) SelectAll();
}

int TCustomDBEditEh::ButtonIndexOfShortCut(TShortCut ShortCut) const {
    if (FEditButton->ShortCut() == ShortCut) return 0;
    for (int i = 0; i < FEditButtons->Count(); ++i)
        if (FEditButtons->Items(i)->ShortCut() == ShortCut) return i + 1;
    return -1;
}

void TCustomDBEditEh::KeyPress(char& Key) {
    if (FHolderIntf) {
        FHolderIntf->EditorKeyPress(this, Key);
        if (Key == 0) return;
    }
    // OnKeyPress sees the key before the editor's own rules; the masked edit then types it.
    if (OnKeyPress) {
        OnKeyPress(this, Key);
        if (Key == 0) return;
    }
    const auto code = static_cast<unsigned char>(Key);
    if (code >= 32 && Field() && !IsValidChar(Key)) {
        ui::MessageBeep();
        Key = 0;
        return;
    }
    if (Key == '\x1B') {
        Reset();
        Key = 0;
        return;
    }
    if (Key == '\b' || Key == 22 || Key == 24 || code >= 32) BeginEditUnlessReadOnly();
    ui::TKeyPressEvent saved = std::move(OnKeyPress);
    OnKeyPress = nullptr;
    rtl::TryFinally([&] { ui::TCustomMaskEdit::KeyPress(Key); }, [&] { OnKeyPress = std::move(saved); });
    if (Key == '\b') OpenMRUAfterBackspace();
}

void TCustomDBEditEh::KeyUp(uint16_t& Key, ui::TShiftState Shift) {
    if (FHolderIntf) {
        FHolderIntf->EditorKeyUp(this, Key, Shift);
        if (Key == 0) return;
    }
    ui::TCustomMaskEdit::KeyUp(Key, Shift);
}

void TCustomDBEditEh::WMChar(ui::TWMKey& Message) {
    // A character beyond one byte has no place in 1251 text unless 1251 has it: it is refused
    // rather than stored as '?'.
    if (Message.CharCode > 0xFF) {
        const auto wide = static_cast<char16_t>(Message.CharCode);
        if (!rtl::WideCharInAnsi(wide)) {
            ui::MessageBeep();
            Message.Result = 0;
            return;
        }
        Message.CharCode = static_cast<unsigned char>(rtl::WideCharToAnsi(wide));
    }
    FCharMessageText = AnsiString(1, static_cast<char>(Message.CharCode));
    rtl::TryFinally([&] { ui::TCustomMaskEdit::WMChar(Message); }, [&] { FCharMessageText.clear(); });
}

// ---------------------------------------------------------------------------------------------
// Focus

void TCustomDBEditEh::CMEnter(ui::TCMEnter& Message) {
    SetFocused(true);
    const bool byMouse = ControlState().Contains(ui::csLButtonDown);
    ui::TCustomMaskEdit::CMEnter(Message);
    if (AutoSelect() && !byMouse) SelectAll();
    UpdateBorderHot();
}

void TCustomDBEditEh::CMExit(ui::TCMExit&) {
    const bool designing = ComponentState().Contains(rtl::csDesigning);
    auto cursorFix = [this] {
        if (IsMasked() && SelLength() == 0) SetCursor(std::max(0, SelStart() - 2));
    };
    if (IsMasked() && !designing) {
        ValidateEdit();
        cursorFix();
    }
    DoExit();
    try {
        FDataLink->UpdateRecord();
    } catch (...) {
        SelectAll();
        if (CanFocus()) SetFocus();
        throw;
    }
    SetFocused(false);
    cursorFix();
    UpdateBorderHot();
}

// ---------------------------------------------------------------------------------------------
// Messages

void TCustomDBEditEh::Dispatch(ui::TMessage& Message) {
    switch (Message.Msg) {
        case ui::WM_PASTE: {
            if (FUserReadOnly) break;
            // A text with a character 1251 lacks is refused whole, before editing starts.
            if (IsPasteRefused()) {
                ui::MessageBeep();
                return;
            }
            FDataLink->BeginFieldEdit();
            break;
        }
        case ui::WM_UNDO:
        case ui::WM_CUT: BeginEditUnlessReadOnly(); break;
        case ui::WM_DROPDOWNCLOSE:
            // The edit image changed.
            if (Message.WParam == reinterpret_cast<ui::WPARAM>(FEditImage.get())) {
                UpdateImageWidth();
                if (HandleAllocated()) RecreateWnd();
                return;
            }
            break;
        case ui::CM_GETDATALINK: Message.Result = reinterpret_cast<ui::LRESULT>(FDataLink.get()); return;
        case ui::CM_SYSCOLORCHANGE: FlushButtonBitmapCache(); break;
        case ui::CN_COMMAND:
            if (Message.WParamHi == ui::EN_CHANGE && !FMRUAccepting) FTextChangePending = true;
            break;
        default: break;
    }
    ui::TCustomMaskEdit::Dispatch(Message);
}

bool TCustomDBEditEh::IsPasteRefused() const {
    const rtl::WideString w = ui::Clipboard()->AsWideText();
    for (char16_t c : w) {
        if (c == 0) break;
        if (!rtl::WideCharInAnsi(c)) return true;
    }
    return false;
}

void TCustomDBEditEh::DefaultHandler(ui::TMessage& Message) {
    if (Message.Msg == ui::WM_CHAR) {
        const auto c = static_cast<char>(Message.WParam);
        if ((c == '\r' && !FEditWantReturns) || (c == '\t' && !FEditWantTabs) || c == '\n') return;
    }
    ui::TCustomMaskEdit::DefaultHandler(Message);
}

void TCustomDBEditEh::WMLButtonDown(ui::TWMMouse& Message) {
    ui::TCustomMaskEdit::WMLButtonDown(Message);
    // A press on a window that could not take the focus must not keep the mouse.
    if (MouseCapture() && !Focused()) SetMouseCapture(false);
}

void TCustomDBEditEh::CMCancelMode(ui::TCMCancelMode& Message) {
    ui::TCustomMaskEdit::CMCancelMode(Message);
    CancelButtonCapture();
    CloseMRUOnCancelMode(Message.Sender());
    if (FListVisible && ListWindow()) CloseDropDownOnCancelMode(Message.Sender(), ListWindow());
}

void TCustomDBEditEh::CancelButtonCapture() {
    ui::TControl* capture = ui::GetCaptureControl();
    for (const auto& e : FEditButtonControlList)
        if (e.EditButtonControl && e.EditButtonControl == capture) e.EditButtonControl->Perform(ui::WM_CANCELMODE);
}

void TCustomDBEditEh::WMKillFocus(ui::TWMKillFocus& Message) {
    if (FListVisible && FocusLeavesDropDown(Message, ListWindow())) CloseUp(false);
    ui::TCustomMaskEdit::WMKillFocus(Message);
    CancelButtonCapture();
    CloseMRUOnFocusLoss(static_cast<ui::HWND>(Message.FocusedWnd));
}

void TCustomDBEditEh::CMColorChanged(ui::TMessage& Message) {
    ui::TCustomMaskEdit::CMColorChanged(Message);
    UpdateEditButtonControls();
}

void TCustomDBEditEh::CMEnabledChanged(ui::TMessage& Message) {
    ui::TCustomMaskEdit::CMEnabledChanged(Message);
    UpdateEditButtonControls();
}

void TCustomDBEditEh::CMFontChanged(ui::TMessage& Message) {
    ui::TCustomMaskEdit::CMFontChanged(Message);
    if (HandleAllocated() && FControlStyle.Contains(ui::csFixedHeight)) AdjustHeight();
    UpdateEditRect();
    UpdateEditButtonControls();
}

void TCustomDBEditEh::CMMouseEnter(ui::TMessage& Message) {
    ui::TCustomMaskEdit::CMMouseEnter(Message);
    FMouseAbove = true;
    UpdateBorderHot();
}

void TCustomDBEditEh::CMMouseLeave(ui::TMessage& Message) {
    ui::TCustomMaskEdit::CMMouseLeave(Message);
    FMouseAbove = false;
    UpdateBorderHot();
}

}  // namespace editors
