// The edit base's furniture: the button strip and the main button's drop-down, the image at the
// left, the flat border, the owner-drawn text and the required-value line.
#include <algorithm>
#include <climits>
#include <cmath>

#include "controls/editors/DBCtrlsEh.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/Text.h"

namespace editors {

// ---------------------------------------------------------------------------------------------
// Rectangles

ui::TRect TCustomDBEditEh::ButtonsAreaRect() const {
    const ui::TRect c = GetClientRect();
    return ui::Rect(std::max(0, c.Right - FButtonsWidth), 0, c.Right, c.Bottom);
}

ui::TRect TCustomDBEditEh::ImageAreaRect() const { return ui::Rect(0, 0, FImageWidth, GetClientRect().Bottom); }

void TCustomDBEditEh::TextAreaRect(ui::TRect& R) {
    const ui::TRect c = GetClientRect();
    R = ui::Rect(FImageWidth, 0, std::max(FImageWidth, c.Right - FButtonsWidth), c.Bottom);
}

ui::TRect TCustomDBEditEh::OwnerDrawTextRect() const {
    const ui::TRect c = GetClientRect();
    return ui::Rect(FImageWidth, 0, std::max(FImageWidth, c.Right - FButtonsWidth - 1), c.Bottom);
}

void TCustomDBEditEh::UpdateEditRect() {
    if (!HandleAllocated()) return;
    ui::TRect r;
    TextAreaRect(r);
    Perform(ui::EM_SETRECTNP, 0, reinterpret_cast<ui::LPARAM>(&r));
    Perform(ui::EM_SCROLLCARET);
}

namespace {
bool ImageShows(const TEditImageEh* Image) {
    return Image && Image->Visible() && Image->Images() && Image->Images()->Count() > 0;
}
}  // namespace

void TCustomDBEditEh::UpdateImageWidth() {
    if (ImageShows(FEditImage.get()))
        FImageWidth = (FEditImage->Width() > 0 ? FEditImage->Width() : FEditImage->Images()->Width()) + 4;
    else
        FImageWidth = 0;
}

// ---------------------------------------------------------------------------------------------
// Window creation and size

void TCustomDBEditEh::CreateParams(ui::TCreateParams& Params) {
    ui::TCustomMaskEdit::CreateParams(Params);
    // A multi-line edit keeps the formatting rectangle the buttons and the image leave; a
    // password needs the single-line edit, which hides its characters.
    if (PasswordChar() == 0) Params.Style |= ui::ES_MULTILINE;
    if (FWordWrap) Params.Style &= ~static_cast<uint32_t>(ui::ES_AUTOHSCROLL);
}

void TCustomDBEditEh::CreateWnd() {
    ui::TCustomMaskEdit::CreateWnd();
    UpdateFixedHeight();
    UpdateBorderHot();
    UpdateImageWidth();
    LayoutEditButtons();
    UpdateImageIndex();
    UpdateEditRect();
}

void TCustomDBEditEh::WMSize(ui::TWMSize& Message) {
    ui::TCustomMaskEdit::WMSize(Message);
    LayoutEditButtons();
    UpdateEditRect();
}

void TCustomDBEditEh::AdjustHeight() {
    if (!FControlStyle.Contains(ui::csFixedHeight) || !AutoSize() || BorderStyle() != ui::TBorderStyle::bsSingle)
        return;
    int textHeight = MeasureTextMetrics().tmHeight;
    if (ImageShows(FEditImage.get()) && FEditImage->UseImageHeight())
        textHeight = std::max(textHeight, FEditImage->Images()->Height());
    // The allowance of a three-dimensional single border, two pixels less when flat.
    const int allowance = ui::GetSystemMetrics(ui::SM_CYBORDER) * (FFlat ? 6 : 8);
    const int h = textHeight + allowance;
    if (h != Height()) SetHeight(h);
}

// ---------------------------------------------------------------------------------------------
// Button strip

TEditButtonEh* TCustomDBEditEh::ButtonOfIndex(int Index) const {
    if (Index == 0) return FEditButton.get();
    return FEditButtons->Items(Index - 1);
}

int TCustomDBEditEh::ButtonIndexOf(rtl::TObject* Sender) const {
    for (size_t i = 0; i < FEditButtonControlList.size(); ++i)
        if (FEditButtonControlList[i].EditButtonControl == Sender) return static_cast<int>(i);
    return -1;
}

void TCustomDBEditEh::EditButtonChanged() {
    if (HandleAllocated()) LayoutEditButtons();
}

void TCustomDBEditEh::LayoutEditButtons() {
    if (FLayingOut || !FEditButton || !FEditButtons) return;
    FLayingOut = true;
    struct TDone {
        bool& F;
        ~TDone() { F = false; }
    } done{FLayingOut};

    const ui::TRect client = GetClientRect();
    const int avail = client.Height();
    int h = INT_MAX;
    const size_t need = static_cast<size_t>(FEditButtons->Count()) + 1;
    while (FEditButtonControlList.size() > need) {
        TEditButtonControlLineRec e = FEditButtonControlList.back();
        FEditButtonControlList.pop_back();
        rtl::TObject::Free(e.EditButtonControl);
        rtl::TObject::Free(e.ButtonLine);
    }
    while (FEditButtonControlList.size() < need) {
        TEditButtonControlLineRec e;
        e.EditButtonControl = CreateEditButtonControl();
        e.ButtonLine = rtl::Create<ui::TShape>(this);
        e.ButtonLine->SetParent(this);
        FEditButtonControlList.push_back(e);
    }
    std::vector<int> widths(need, 0);
    for (size_t i = 0; i < need; ++i) {
        TEditButtonEh* b = ButtonOfIndex(static_cast<int>(i));
        TEditButtonControlLineRec& e = FEditButtonControlList[i];
        TEditButtonControlEh* c = e.EditButtonControl;
        c->SetTag(static_cast<intptr_t>(i));
        c->SetVisible(b->Visible());
        c->SetEnabled(b->Enabled());
        c->SetStyle(b->Style());
        c->SetGlyph(b->Glyph());
        c->SetNumGlyphs(b->NumGlyphs());
        c->SetHint(b->Hint());
        c->SetFlat(FFlat);
        int w = 0;
        if (b->Visible()) {
            if (b->Width() > 0)
                w = b->Width();
            else if (FFlat)
                w = FlatButtonWidth();
            else
                w = ui::GetSystemMetrics(ui::SM_CXVSCROLL);
            // Width * 3 / 2 rounded to the nearest, halves to even.
            const int r = static_cast<int>(std::nearbyint(w * 1.5));
            const int bh = avail <= r ? avail : EditButtonHeightForWidth(w, FFlat);
            h = std::min(h, bh);
        }
        widths[i] = w;
        const bool line = b->Visible() && FFlat;
        e.ButtonLine->SetVisible(line);
        e.ButtonLine->SetWidth(line ? 1 : 0);
        c->SetOnDown([this](rtl::TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
            EditButtonMouseDown(Sender, TopButton, AutoRepeat, Handled);
        });
        c->OnClick = [this](rtl::TObject* Sender) { EditButtonClick(Sender); };
        c->OnMouseMove = [this](rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y) {
            EditButtonMouseMove(Sender, Shift, X, Y);
        };
        c->OnMouseUp = [this](rtl::TObject* Sender, ui::TMouseButton Button, ui::TShiftState Shift, int X, int Y) {
            EditButtonMouseUp(Sender, Button, Shift, X, Y);
        };
    }
    // Without a visible button the strip is empty; its height is the area's.
    if (h == INT_MAX) h = avail;
    int x = client.Right;
    for (size_t i = need; i-- > 0;) {
        TEditButtonControlLineRec& e = FEditButtonControlList[i];
        const int w = widths[i];
        e.EditButtonControl->SetBounds(x - w, client.Top, w, h);
        x -= w;
        const int lw = e.ButtonLine->Visible() ? 1 : 0;
        e.ButtonLine->SetBounds(x - lw, client.Top, lw, h);
        x -= lw;
    }
    FButtonsWidth = client.Right - x;
    FButtonHeight = h;
    UpdateEditButtonControls();
    UpdateEditRect();
    Invalidate();
}

void TCustomDBEditEh::UpdateEditButtonControls() {
    if (!FEditButton || !FEditButtons) return;
    for (size_t i = 0; i < FEditButtonControlList.size(); ++i) {
        const int index = static_cast<int>(i);
        if (index > FEditButtons->Count()) break;
        TEditButtonEh* b = ButtonOfIndex(index);
        TEditButtonControlLineRec& e = FEditButtonControlList[i];
        e.EditButtonControl->SetEnabled(Enabled() ? b->Enabled() : ButtonEnabled());
        e.EditButtonControl->SetActive(FBorderHot);
        e.ButtonLine->Pen()->SetColor(FBorderHot ? ui::clBtnFace : Color());
    }
}

void TCustomDBEditEh::EditButtonMouseDown(rtl::TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) {
    if (CanFocus() && !Focused()) SetFocus();
    Handled = false;
    const int index = ButtonIndexOf(Sender);
    if (index < 0) return;
    TEditButtonEh* b = ButtonOfIndex(index);
    TEditButtonControlEh* c = FEditButtonControlList[static_cast<size_t>(index)].EditButtonControl;
    auto popupMenu = [&]() {
        if (!b->DropdownMenu) return false;
        const ui::TPoint p = c->ClientToScreen(ui::Point(0, c->Height()));
        b->DropdownMenu->SetPopupComponent(this);
        b->DropdownMenu->Popup(p.X, p.Y);
        // The menu took the press: the click it would make on the button is not wanted.
        DiscardPendingClickOnControl(c);
        c->Perform(ui::WM_LBUTTONUP, 0, 0);
        return true;
    };
    if (index == 0) {
        if (OnButtonDown) OnButtonDown(this, TopButton, AutoRepeat, Handled);
        if (Handled) return;
        if (popupMenu()) return;
        if (!b->Action()) EditButtonDown(!TopButton);
    } else {
        if (b->OnDown) b->OnDown(b, TopButton, AutoRepeat, Handled);
        if (!Handled) popupMenu();
    }
}

void TCustomDBEditEh::EditButtonMouseMove(rtl::TObject*, ui::TShiftState, int, int) {}

bool TCustomDBEditEh::PassWheelToDropDown(ui::TMessage& Message, ui::TWinControl* DropDown) {
    if (Message.Msg != ui::WM_MOUSEWHEEL || !DropDown || !DropDown->HandleAllocated() || !DropDown->IsWindowVisible())
        return false;
    const ui::LRESULT r = DropDown->Perform(ui::CM_MOUSEWHEEL, Message.WParam, Message.LParam);
    if (r == 0) return false;
    Message.Result = r;
    return true;
}

void TCustomDBEditEh::ShowDropDownUnder(ui::TWinControl* DropDown, TDropDownAlign Align) {
    const ui::TPoint p = PlaceDropDownUnderControl(this, DropDown, Align);
    DropDown->SetWindowPos(p.X, p.Y, 0, 0, ui::SWP_NOSIZE | ui::SWP_NOACTIVATE | ui::SWP_SHOWWINDOW);
    DropDown->SetVisible(true);
}

void TCustomDBEditEh::HideDropDown(ui::TWinControl* DropDown) {
    DropDown->SetWindowPos(
        0, 0, 0, 0, ui::SWP_HIDEWINDOW | ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOZORDER | ui::SWP_NOACTIVATE);
    DropDown->SetVisible(false);
}

void TCustomDBEditEh::PostDropDownClosed() {
    if (HandleAllocated() && !ButtonControls().empty())
        ui::PostMessage(Handle(), WM_DROPDOWNCLOSEDEh,
                        static_cast<ui::WPARAM>(ButtonControls().front().EditButtonControl->Tag()), 0);
}

bool TCustomDBEditEh::PassKeyToDropDown(ui::TMessage& Message, ui::TWinControl* DropDown,
                                        const std::function<bool(ui::WPARAM Code)>& Takes) {
    if (!DropDown->HandleAllocated() ||
        (Message.Msg != ui::WM_KEYDOWN && Message.Msg != ui::WM_CHAR && Message.Msg != ui::WM_SYSKEYDOWN) ||
        !Takes(Message.WParam))
        return false;
    Message.Result = ui::SendMessage(DropDown->Handle(), Message.Msg, Message.WParam, Message.LParam);
    return true;
}

void TCustomDBEditEh::CloseDropDownOnCancelMode(ui::TControl* Sender, ui::TWinControl* DropDown) {
    if (Sender == this || Sender == DropDown || ContainsControl(Sender) ||
        (Sender && DropDown->ContainsControl(Sender)))
        return;
    CloseUp(false);
}

bool TCustomDBEditEh::WantDropDownKey(ui::TCMWantSpecialKey& Message, bool DropDownOpen) {
    if (!DropDownOpen || (Message.CharCode != ui::VK_RETURN && Message.CharCode != ui::VK_ESCAPE)) return false;
    Message.Result = 1;
    return true;
}

bool TCustomDBEditEh::ListStyleMouse(ui::TMessage& Message, const std::function<void()>& LeftDown,
                                     const std::function<void()>& LeftUp) {
    switch (Message.Msg) {
        case ui::WM_LBUTTONDOWN:
        case ui::WM_LBUTTONUP:
        case ui::WM_LBUTTONDBLCLK:
        case ui::WM_RBUTTONDOWN:
        case ui::WM_RBUTTONDBLCLK:
        case ui::WM_RBUTTONUP: break;
        default: return false;
    }
    const ui::TPoint p = ui::LParamToPoint(Message.LParam);
    if (ui::PtInRect(ButtonsAreaRect(), p)) return false;
    if (Message.Msg == ui::WM_LBUTTONDOWN) {
        LeftDown();
    } else if (Message.Msg == ui::WM_LBUTTONUP) {
        if (LeftUp) LeftUp();
    } else if (Message.Msg == ui::WM_RBUTTONUP) {
        const ui::TPoint s = ClientToScreen(p);
        Perform(ui::WM_CONTEXTMENU, reinterpret_cast<ui::WPARAM>(Handle()), ui::PointToLParam(s.X, s.Y));
    }
    return true;
}

bool TCustomDBEditEh::FocusLeavesDropDown(const ui::TWMKillFocus& Message, ui::TWinControl* DropDown) {
    return !(DropDown && DropDown->HandleAllocated() &&
             reinterpret_cast<ui::HWND>(Message.FocusedWnd) == DropDown->Handle());
}

bool TCustomDBEditEh::PassButtonDragToDropDown(rtl::TObject* Sender, int X, int Y, ui::TWinControl* DropDown) {
    if (!DropDown || !DropDown->HandleAllocated() || !DropDown->IsWindowVisible()) return false;
    if (ButtonIndexOf(Sender) != 0) return false;
    auto* button = static_cast<ui::TControl*>(FEditButtonControlList.front().EditButtonControl);
    if (!button->MouseCapture()) return false;
    const ui::TPoint p = DropDown->ScreenToClient(button->ClientToScreen(ui::Point(X, Y)));
    if (!ui::PtInRect(DropDown->ClientRect(), p)) return false;
    // The drag leaves the button for the drop-down, which takes it on as its own press.
    button->Perform(ui::WM_CANCELMODE);
    if (button->MouseCapture()) button->SetMouseCapture(false);
    DropDown->Perform(ui::WM_LBUTTONDOWN, ui::MK_LBUTTON, ui::PointToLParam(p.X, p.Y));
    return true;
}

void TCustomDBEditEh::EditButtonMouseUp(rtl::TObject* Sender, ui::TMouseButton, ui::TShiftState, int X, int Y) {
    auto* c = dynamic_cast<ui::TControl*>(Sender);
    if (c && !ui::PtInRect(c->ClientRect(), ui::Point(X, Y))) FDroppedDownByPress = false;
}

void TCustomDBEditEh::EditButtonDown(bool) {
    if (FEditButton->Style() == ebsUpDownEh || FDroppedDown) return;
    DropDown();
    FDroppedDownByPress = true;
}

void TCustomDBEditEh::EditButtonClick(rtl::TObject* Sender) {
    const int index = ButtonIndexOf(Sender);
    bool handled = false;
    if (index == 0) {
        FEditButton->Click(Sender, handled);
        if (!handled && OnButtonClick) OnButtonClick(this, handled);
    } else if (index > 0) {
        ButtonOfIndex(index)->Click(Sender, handled);
    }
    if (!handled && FDroppedDown && !FDroppedDownByPress && index == 0) CloseUp(false);
    FDroppedDownByPress = false;
}

void TCustomDBEditEh::DropDown() {
    if (!FEditButtonControlList.empty()) FEditButtonControlList.front().EditButtonControl->SetHeldDown(true);
    CloseMRUList(false);
}

void TCustomDBEditEh::CloseUp(bool) {
    if (!FEditButtonControlList.empty()) FEditButtonControlList.front().EditButtonControl->SetHeldDown(false);
}

// ---------------------------------------------------------------------------------------------
// Border

void TCustomDBEditEh::UpdateBorderHot() {
    if (ComponentState().Contains(rtl::csLoading)) return;
    const bool hot = ComponentState().Contains(rtl::csDesigning) || FEditFocused || FMouseAbove || FAlwaysShowBorder;
    if (hot != FBorderHot) {
        FBorderHot = hot;
        if (BorderStyle() == ui::TBorderStyle::bsSingle && FFlat && HandleAllocated()) InvalidateFrame();
    }
    UpdateEditButtonControls();
}

void TCustomDBEditEh::WMNCPaint(ui::TMessage& Message) {
    if (!(FFlat && BorderStyle() == ui::TBorderStyle::bsSingle) || !HandleAllocated()) {
        ui::TCustomMaskEdit::WMNCPaint(Message);
        return;
    }
    ui::TWindowDC wdc(Handle(), true);
    if (!wdc) return;
    ui::HDC dc = wdc.DC();
    dc->ExcludeClipRect(ClientRectInWindow());
    ui::TRect r = ui::Rect(0, 0, Width(), Height());
    if (FBorderHot)
        ui::DrawEdge(dc, r, ui::BDR_SUNKENOUTER, ui::BF_RECT);
    else
        ui::FrameRectColor(dc, r, ui::clBtnFace);
    r.Inflate(-1, -1);
    ui::FrameRectColor(dc, r, ui::clBtnFace);
}

void TCustomDBEditEh::WMSetCursor(ui::TWMSetCursor& Message) {
    if (Message.CursorWnd == Handle() && Message.HitTest == ui::HTCLIENT) {
        const ui::TPoint p = ScreenToClient(ui::GetCursorPos());
        if (ui::PtInRect(ButtonsAreaRect(), p) || (FImageWidth > 0 && ui::PtInRect(ImageAreaRect(), p))) {
            ui::SetCursorShape(ui::crArrow);
            Message.Result = 1;
            return;
        }
    }
    ui::TCustomMaskEdit::WMSetCursor(Message);
}

// ---------------------------------------------------------------------------------------------
// Image

void TCustomDBEditEh::UpdateImageIndex() {
    if (!FEditImage || !ImageShows(FEditImage.get())) return;
    int index = DefaultImageIndex();
    const Variant v = Value();
    switch (v.VType()) {
        case rtl::varSmallint:
        case rtl::varInteger:
        case rtl::varSingle:
        case rtl::varDouble:
        case rtl::varCurrency: index = static_cast<int>(std::lround(v.AsDouble())); break;
        default: break;
    }
    if (FOnGetImageIndex) FOnGetImageIndex(this, index);
    FEditImage->SetImageIndex(index);
}

// ---------------------------------------------------------------------------------------------
// Painting

AnsiString TCustomDBEditEh::PaintCopyText() {
    if (ComponentState().Contains(rtl::csDesigning) && !FDataLink->IsActive()) return Name();
    db::TField* f = Field();
    if (ControlState().Contains(ui::csPaintCopy) && f) {
        switch (CharCase()) {
            case ui::ecUpperCase: return rtl::AnsiUpperCase(f->DisplayText());
            case ui::ecLowerCase: return rtl::AnsiLowerCase(f->DisplayText());
            default: return f->DisplayText();
        }
    }
    return EditText();
}

bool TCustomDBEditEh::OwnerDrawsText() const {
    const bool paintCopy = ControlState().Contains(ui::csPaintCopy);
    const bool designNoLink = ComponentState().Contains(rtl::csDesigning) && !FDataLink->IsActive();
    const bool native = Alignment() == ui::TAlignment::taLeftJustify || FEditFocused || FWordWrap;
    return !(native && !paintCopy && !designNoLink);
}

void TCustomDBEditEh::PaintOwnerDrawnText(ui::TCanvas* C) {
    C->Font()->Assign(Font());
    C->Brush()->SetColor(Color());
    C->Brush()->SetStyle(ui::bsSolid);
    C->FillRect(GetClientRect());
    if (!Enabled()) C->Font()->SetColor(ui::clGrayText);
    AnsiString text = PaintCopyText();
    if (PasswordChar() != 0) text.assign(text.size(), PasswordChar());
    const ui::TRect r = OwnerDrawTextRect();
    const int inset = BorderStyle() == ui::TBorderStyle::bsNone ? 0 : 1;
    const int marginX = inset + static_cast<int>(Perform(ui::EM_GETMARGINS) & 0xFFFF);
    const int marginY = inset;
    const int tw = C->TextWidth(text);
    int x = marginX;
    switch (Alignment()) {
        case ui::TAlignment::taRightJustify: x = r.Right - tw - marginX; break;
        case ui::TAlignment::taCenter: x = (r.Right - tw) / 2; break;
        default: break;
    }
    C->Brush()->SetStyle(ui::bsClear);
    C->TextRect(r, x, marginY, text);
    C->Brush()->SetStyle(ui::bsSolid);
}

void TCustomDBEditEh::PaintWindow(ui::HDC DC) {
    if (OwnerDrawsText())
        PaintOwnerDrawnText(DC);
    else
        ui::TCustomMaskEdit::PaintWindow(DC);
    // The edit fills its whole client area, so the image and the line go on top of it.
    if (ImageShows(FEditImage.get()) && FEditImage->ImageIndex() >= 0) {
        ui::TRect r = ImageAreaRect();
        r.Inflate(-2, -1);
        DrawImageCentered(DC, r, FEditImage->Images(), false, FEditImage->ImageIndex());
    }
    DrawRequiredState(DC);
}

void TCustomDBEditEh::DrawRequiredState(ui::TCanvas* C) {
    if (!FHighlightRequired || !FDataLink->IsActive()) return;
    bool draw = false;
    if (IsUnbound()) {
        draw = Value().IsNull() || Text().empty();
    } else if (db::TField* f = Field()) {
        db::TDataSet* ds = f->DataSet();
        draw = ds && (ds->State() == db::dsEdit || ds->State() == db::dsInsert) && f->Required() && f->IsNull();
    }
    if (OnCheckDrawRequiredState) OnCheckDrawRequiredState(this, draw);
    if (!draw) return;
    ui::TRect ta;
    TextAreaRect(ta);
    const int y = ClientHeight() - 1;
    C->Pen()->SetColor(ui::clRed);
    C->Pen()->SetStyle(ui::psDot);
    C->Pen()->SetWidth(1);
    C->MoveTo(ta.Left + 2, y);
    C->LineTo(ta.Right - 3, y);
    C->Pen()->SetStyle(ui::psSolid);
}

// ---------------------------------------------------------------------------------------------
// Tool-tip window

ui::TRect TToolTipsWindow::CalcHintRect(int MaxWidth, const AnsiString& Hint, void* Data) {
    if (auto* font = static_cast<ui::TFont*>(Data)) Font()->Assign(font);
    return ui::THintWindow::CalcHintRect(MaxWidth, Hint, Data);
}

}  // namespace editors
