#include "controls/editors/CalculatorEh.h"

#include <cmath>

#include "framework/rtl/SysUtils.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Messages.h"

namespace editors {

using rtl::AnsiString;

namespace {

constexpr char kKeyOfTag[24] = {'\0', '7', '8', '9', '/', 'S', 'C',  '4', '5', '6', '*', '%',
                                'A',  '1', '2', '3', '-', 'R', '\b', '0', 'I', '.', '+', '='};

struct KeyLayout {
    const char* Name;
    intptr_t Tag;
    const char* Caption;
    int Left, Top, Width, Height;
    ui::TColor FontColor;
};

// Cancel comes first so that the taller C key, made later, lies over it.
constexpr KeyLayout kKeys[] = {
    {"SpeedButton24", 12, "Cancel", 151, 52, 27, 23, ui::clRed},
    {"SpeedButton1", 1, "7", 6, 29, 27, 22, ui::clBlue},
    {"SpeedButton2", 21, ".", 64, 101, 27, 22, ui::clBlue},
    {"SpeedButton3", 20, "+/-", 35, 101, 27, 22, ui::clBlue},
    {"SpeedButton4", 19, "0", 6, 101, 27, 22, ui::clBlue},
    {"SpeedButton5", 15, "3", 64, 77, 27, 22, ui::clBlue},
    {"SpeedButton6", 14, "2", 35, 77, 27, 22, ui::clBlue},
    {"SpeedButton7", 13, "1", 6, 77, 27, 22, ui::clBlue},
    {"SpeedButton8", 9, "6", 64, 53, 27, 22, ui::clBlue},
    {"SpeedButton9", 8, "5", 35, 53, 27, 22, ui::clBlue},
    {"SpeedButton10", 7, "4", 6, 53, 27, 22, ui::clBlue},
    {"SpeedButton11", 3, "9", 64, 29, 27, 22, ui::clBlue},
    {"SpeedButton12", 2, "8", 35, 29, 27, 22, ui::clBlue},
    {"SpeedButton13", 22, "+", 93, 101, 27, 22, ui::clRed},
    {"SpeedButton14", 16, "-", 93, 77, 27, 22, ui::clRed},
    {"SpeedButton15", 10, "*", 93, 53, 27, 22, ui::clRed},
    {"SpeedButton16", 4, "/", 93, 29, 27, 22, ui::clRed},
    {"spEqual", 23, "Ok", 122, 101, 56, 22, ui::clRed},
    {"SpeedButton18", 17, "1/x", 122, 77, 27, 22, ui::clBlue},
    {"SpeedButton19", 11, "%", 122, 53, 27, 22, ui::clBlue},
    {"SpeedButton20", 5, "sqrt", 122, 29, 27, 22, ui::clBlue},
    {"SpeedButton22", 18, "<-", 151, 77, 27, 22, ui::clRed},
    {"SpeedButton23", 6, "C", 151, 29, 27, 46, ui::clRed},
};

constexpr size_t kMaxDigits = 15;

bool IsOperatorKey(char Key) {
    return Key == '+' || Key == '-' || Key == '*' || Key == '/' || Key == '%' || Key == '=' || Key == '\r';
}

}  // namespace

char CalculatorKeyOfTag(intptr_t Tag) noexcept { return Tag >= 0 && Tag < 24 ? kKeyOfTag[Tag] : '\0'; }

TCalculatorEh::TCalculatorEh(rtl::TComponent* Owner) : ui::TCustomControl(Owner) {
    FControlStyle.Include(ui::csReplicatable);
    ui::TCustomControl::SetBounds(Left(), Top(), DesignClientWidth, DesignClientHeight);
    SetColor(ui::clBtnFace);
    Font()->SetHeight(-11);
    Font()->SetColor(ui::clWindowText);

    FPanel1 = rtl::Create<ui::TPanel>(this);
    FPanel1->SetName("Panel1");
    FPanel1->SetParent(this);
    FPanel1->SetBounds(6, 4, 171, 19);
    FPanel1->SetBevelOuter(ui::TBevelCut::bvNone);
    FPanel1->SetBorderWidth(2);
    FPanel1->SetColor(ui::clWindow);

    FTextBox = rtl::Create<ui::TLabel>(this);
    FTextBox->SetName("TextBox");
    FTextBox->SetParent(FPanel1);
    FTextBox->SetAutoSize(false);
    FTextBox->SetBounds(2, 1, 166, 17);
    FTextBox->SetAlignment(ui::taRightJustify);
    FTextBox->SetLayout(ui::TTextLayout::tlCenter);
    FTextBox->SetColor(ui::clWindow);
    FTextBox->SetCaption("0");

    for (const KeyLayout& k : kKeys) {
        auto* b = rtl::Create<TSpeedButtonEh>(this);
        b->SetName(k.Name);
        b->SetParent(this);
        b->SetStyle(ebsGlyphEh);
        b->SetActive(true);
        b->SetBounds(k.Left, k.Top, k.Width, k.Height);
        b->SetTag(k.Tag);
        b->SetCaption(k.Caption);
        b->SetFlat(true);
        b->SetLayout(ui::TButtonLayout::blGlyphRight);
        b->Font()->SetHeight(-11);
        b->Font()->SetColor(k.FontColor);
        b->OnClick = [this](rtl::TObject* Sender) { SpeedButtonClick(Sender); };
        if (k.Tag == 23) FEqual = b;
        FKeys.push_back(b);
    }
}

TCalculatorEh::~TCalculatorEh() = default;

void TCalculatorEh::AfterConstruction() {
    ui::TCustomControl::AfterConstruction();
    UpdateAutoSize();
}

void TCalculatorEh::SetBorderStyle(ui::TBorderStyle Value) {
    if (FBorderStyle == Value) return;
    FBorderStyle = Value;
    if (HandleAllocated()) RecreateWnd();
    UpdateAutoSize();
}

void TCalculatorEh::SetCtl3D(bool Value) {
    if (FCtl3D == Value) return;
    FCtl3D = Value;
    Ctl3DChanged();
    UpdateAutoSize();
}

void TCalculatorEh::Ctl3DChanged() {
    if (HandleAllocated()) RecreateWnd();
}

void TCalculatorEh::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    UpdateAutoSize();
}

void TCalculatorEh::SetPixelsPerInch(int Value) {
    if (Value != FPixelsPerInch && (Value == 0 || Value > 35)) FPixelsPerInch = Value;
}

int TCalculatorEh::NonClientHeight() {
    // The frame the creation parameters give, top and bottom, as for a client area of no size.
    ui::TCreateParams params;
    CreateParams(params);
    int side = 0;
    if (params.Style & ui::WS_BORDER) side += 1;
    if (params.ExStyle & ui::WS_EX_CLIENTEDGE) side += 2;
    return 2 * side;
}

void TCalculatorEh::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (FAutoSize) {
        // The frame's height stands for its width too: the frame is alike on every side.
        const int frame = NonClientHeight() + 2 * PopupBorderWidth();
        AWidth = frame + DesignClientWidth;
        AHeight = frame + DesignClientHeight;
    }
    ui::TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCalculatorEh::UpdateAutoSize() {
    if (FAutoSize) SetBounds(Left(), Top(), Width(), Height());
}

void TCalculatorEh::CreateParams(ui::TCreateParams& Params) {
    ui::TCustomControl::CreateParams(Params);
    if (FBorderStyle == ui::TBorderStyle::bsSingle) {
        if (FCtl3D)
            Params.ExStyle |= ui::WS_EX_CLIENTEDGE;
        else
            Params.Style |= ui::WS_BORDER;
    }
}

void TCalculatorEh::CreateWnd() {
    ui::TCustomControl::CreateWnd();
    UpdateAutoSize();
}

TSpeedButtonEh* TCalculatorEh::KeyOfTag(intptr_t Tag) const noexcept {
    for (TSpeedButtonEh* b : FKeys)
        if (b->Tag() == Tag) return b;
    return nullptr;
}

const AnsiString& TCalculatorEh::DisplayText() const { return FTextBox->Caption(); }

void TCalculatorEh::SetDisplayText(const AnsiString& Text) { FTextBox->SetCaption(Text); }

double TCalculatorEh::DisplayValue() const {
    if (FStatus == 2) return 0;
    return rtl::StrToFloat(rtl::Trim(DisplayText()));
}

void TCalculatorEh::SetDisplayValue(double X) {
    if (!std::isfinite(X)) {
        ShowError();
        return;
    }
    // A negative zero would show "-0", and a digit typed next would make "-05".
    if (X == 0) X = 0;
    SetDisplayText(rtl::FloatToStrF(X, rtl::ffGeneral, 15, 0));
}

void TCalculatorEh::ClearAll() {
    FStatus = 0;
    SetDisplayText("0");
    FOperator = '=';
    FOperand = 0;
}

void TCalculatorEh::ShowError() {
    FStatus = 2;
    SetDisplayText("Error");
}

void TCalculatorEh::BeginNumber() {
    if (FStatus != 0) return;
    FStatus = 1;
    SetDisplayText("0");
}

void TCalculatorEh::CopyToClipboard() { ui::Clipboard()->SetAsText(DisplayText()); }

void TCalculatorEh::PasteFromClipboard() {
    if (!ui::Clipboard()->HasFormat(ui::CF_TEXT)) return;
    SetDisplayValue(rtl::StrToFloat(rtl::Trim(ui::Clipboard()->AsText())));
}

void TCalculatorEh::UpdateEqualsCaption() {
    const bool pending =
        FOperand != 0 && FStatus == 1 && (FOperator == '*' || FOperator == '+' || FOperator == '-' || FOperator == '/');
    FEqual->SetCaption(pending ? "=" : "Ok");
}

void TCalculatorEh::ProcessKey(char Key) {
    if (Key >= 'a' && Key <= 'z') Key = static_cast<char>(Key - 'a' + 'A');
    if (FStatus == 2 && Key != 'C') Key = '\0';
    const char sep = rtl::FormatSettings().DecimalSeparator;
    if (Key == sep || Key == '.' || Key == ',') {
        BeginNumber();
        // A pasted exponent takes no separator, as it takes no typed digit: "1E20," is no number.
        const AnsiString s = DisplayText();
        if (s.find(sep) == AnsiString::npos && s.find('E') == AnsiString::npos) SetDisplayText(s + sep);
        return;
    }
    if (Key == '\b') {
        BeginNumber();
        AnsiString s = DisplayText();
        if (s.size() == 1 || (s.size() == 2 && s[0] == '-')) {
            s = "0";
        } else {
            s.pop_back();
            // Cutting an exponent's digits leaves "1E+": drop the dangling exponent so the text
            // still reads as a number.
            while (!s.empty() && (s.back() == 'E' || s.back() == '+' || s.back() == '-')) s.pop_back();
            if (s.empty()) s = "0";
        }
        SetDisplayText(s);
    } else if (Key >= '0' && Key <= '9') {
        BeginNumber();
        AnsiString s = DisplayText();
        if (s == "0") s.clear();
        if (s.find('E') == AnsiString::npos) {
            const size_t limit = !s.empty() && s[0] == '-' ? kMaxDigits + 1 : kMaxDigits;
            if (s.size() < limit) s += Key;
        }
        // An empty text cannot be read back: a zero typed on "0" keeps "0".
        SetDisplayText(s.empty() ? AnsiString("0") : s);
    } else if (IsOperatorKey(Key)) {
        if (FStatus == 1) {
            FStatus = 0;
            double v = DisplayValue();
            if (Key == '%') {
                if (FOperator == '*' || FOperator == '/')
                    v = v / 100;
                else if (FOperator == '+' || FOperator == '-')
                    v = FOperand * v / 100;
            }
            switch (FOperator) {
                case '+': SetDisplayValue(FOperand + v); break;
                case '-': SetDisplayValue(FOperand - v); break;
                case '*': SetDisplayValue(FOperand * v); break;
                case '/':
                    if (v == 0)
                        ShowError();
                    else
                        SetDisplayValue(FOperand / v);
                    break;
                default: break;
            }
        }
        FOperator = Key;
        FOperand = DisplayValue();
    } else if (Key == 'I') {
        if (FStatus < 2) SetDisplayValue(-DisplayValue());
    } else if (Key == 'R' || Key == 'S') {
        if (FStatus < 2) {
            FStatus = 0;
            const double v = DisplayValue();
            if (Key == 'R') {
                if (v == 0)
                    ShowError();
                else
                    SetDisplayValue(1 / v);
            } else if (v < 0) {
                ShowError();
            } else {
                SetDisplayValue(std::sqrt(v));
            }
        }
    } else if (Key == '\x1B' || Key == 'C') {
        ClearAll();
    } else if (Key == '\x03') {
        CopyToClipboard();
    } else if (Key == '\x16') {
        PasteFromClipboard();
    }
    UpdateEqualsCaption();
}

void TCalculatorEh::SpeedButtonClick(rtl::TObject* Sender) {
    auto* c = dynamic_cast<rtl::TComponent*>(Sender);
    ProcessKey(c ? CalculatorKeyOfTag(c->Tag()) : '\0');
}

void TCalculatorEh::KeyPress(char& Key) {
    ui::TCustomControl::KeyPress(Key);
    ProcessKey(Key);
}

void TCalculatorEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    ui::TCustomControl::KeyDown(Key, Shift);
    if (Key == ui::VK_DELETE) ProcessKey('C');
}

bool TCalculatorEh::DoMouseWheelDown(ui::TShiftState Shift, ui::TPoint MousePos) {
    if (ui::TCustomControl::DoMouseWheelDown(Shift, MousePos)) return true;
    if (FStatus != 2) SetDisplayValue(DisplayValue() - 1);
    return true;
}

bool TCalculatorEh::DoMouseWheelUp(ui::TShiftState Shift, ui::TPoint MousePos) {
    if (ui::TCustomControl::DoMouseWheelUp(Shift, MousePos)) return true;
    if (FStatus != 2) SetDisplayValue(DisplayValue() + 1);
    return true;
}

}  // namespace editors

namespace editors {

namespace {
constexpr int32_t kCalculatorErrorCode = 1;
}  // namespace

TPopupCalculatorEh::TPopupCalculatorEh(rtl::TComponent* Owner) : TCalculatorEh(Owner) {
    SetTabStop(false);
    // The display keeps its own window colour whatever lies under the drop-down.
    Panel1()->SetControlStyle(Panel1()->ControlStyle() - ui::TControlStyle{ui::csParentBackground});
}

void TPopupCalculatorEh::SetParent(ui::TWinControl* AParent) { AttachDropDownToWindow(this, AParent); }

void TPopupCalculatorEh::CreateParams(ui::TCreateParams& Params) {
    TCalculatorEh::CreateParams(Params);
    Params.Style = ui::WS_POPUP | (Ctl3D() ? 0u : uint32_t(ui::WS_BORDER));
    Params.ExStyle = ui::WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= ui::CS_SAVEBITS;
}

void TPopupCalculatorEh::Ctl3DChanged() {
    FBorderWidth = Ctl3D() ? 2 : 0;
    TCalculatorEh::Ctl3DChanged();
}

void TPopupCalculatorEh::DrawPopupBorder(ui::HDC DC) {
    ui::TRect r = ui::Rect(0, 0, Width(), Height());
    ui::FrameRectColor(DC, r, ui::cl3DDkShadow);
    r.Inflate(-1, -1);
    ui::DrawEdge(DC, r, ui::BDR_RAISEDINNER, ui::BF_RECT);
}

bool TPopupCalculatorEh::CloseUp(bool Accept) {
    IDropDownHostEh* host = DropDownHostOf(this);
    if (!host) return false;
    host->CloseUp(Accept);
    return true;
}

void TPopupCalculatorEh::ProcessKey(char Key) {
    if ((Key == '\r' || Key == '=') && ResultIsFinal()) {
        CloseUp(true);
        return;
    }
    TCalculatorEh::ProcessKey(Key);
}

void TPopupCalculatorEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    TCalculatorEh::KeyDown(Key, Shift);
    if (Key == ui::VK_ESCAPE) {
        CloseUp(false);
        Key = 0;
    }
}

void TPopupCalculatorEh::WndProc(ui::TMessage& Message) {
    switch (Message.Msg) {
        case ui::WM_MOUSEACTIVATE: Message.Result = ui::MA_NOACTIVATE; return;
        case ui::WM_NCCALCSIZE:
            TCalculatorEh::WndProc(Message);
            if (auto* p = reinterpret_cast<ui::TNCCalcSizeParams*>(Message.LParam)) {
                ui::TRect& r = p->Rgrc[0];
                r.Inflate(-FBorderWidth, -FBorderWidth);
                if (r.Right < r.Left) r.Right = r.Left;
                if (r.Bottom < r.Top) r.Bottom = r.Top;
            }
            return;
        case ui::WM_NCPAINT:
            TCalculatorEh::WndProc(Message);
            // Drawn on the drop-down's own surface, which it has as a top-level window.
            if (Ctl3D() && HandleAllocated() && !Parent() && Surface()) {
                ui::TCanvas dc(Surface());
                DrawPopupBorder(&dc);
            }
            return;
        case ui::WM_GETDLGCODE:
            TCalculatorEh::WndProc(Message);
            Message.Result |= ui::DLGC_WANTARROWS | ui::DLGC_WANTTAB | ui::DLGC_WANTCHARS;
            return;
        case ui::CM_WANTSPECIALKEY:
            if (Message.WParam == ui::VK_RETURN || Message.WParam == ui::VK_ESCAPE) {
                CloseUp(Message.WParam == ui::VK_RETURN);
                Message.Result = 1;
                return;
            }
            break;
        case ui::WM_DROPDOWNCLOSE: CloseUp(false); return;
        default: break;
    }
    TCalculatorEh::WndProc(Message);
}

bool TPopupCalculatorEh::ResultIsFinal() { return EqualsKey()->Caption() == "Ok"; }

rtl::Variant TPopupCalculatorEh::GetValue() {
    if (Status() == 2) return rtl::Variant::FromError(kCalculatorErrorCode);
    return rtl::Variant(DisplayValue());
}

void TPopupCalculatorEh::SetFlat(bool Value) {
    if (FFlat == Value) return;
    FFlat = Value;
    for (intptr_t tag = 1; tag <= 23; ++tag)
        if (TSpeedButtonEh* b = KeyOfTag(tag)) b->SetFlat(Value);
}

void TPopupCalculatorEh::SetValue(const rtl::Variant& Value) {
    ClearAll();
    SetDisplayValue(Value.AsDouble());
}

}  // namespace editors
