#include "controls/editors/CalculatorEh.h"

#include <cmath>

#include "framework/rtl/SysUtils.h"
#include "framework/ui/Clipbrd.h"
#include "framework/ui/Messages.h"

namespace editors {

using rtl::AnsiString;

namespace {

constexpr char kKeyOfTag[24] = {'\0', '7', '8', '9', '/', 'S', 'C', '4', '5', '6', '*', '%',
                                'A',  '1', '2', '3', '-', 'R', '\b', '0', 'I', '.', '+', '='};

struct KeyLayout {
    intptr_t Tag;
    const char* Caption;
    int Left, Top, Width, Height;
    ui::TColor FontColor;
};

// Cancel comes first so that the taller C key, made later, lies over it.
constexpr KeyLayout kKeys[] = {
    {12, "Cancel", 151, 52, 27, 23, ui::clRed}, {1, "7", 6, 29, 27, 22, ui::clBlue},
    {21, ".", 64, 101, 27, 22, ui::clBlue},     {20, "+/-", 35, 101, 27, 22, ui::clBlue},
    {19, "0", 6, 101, 27, 22, ui::clBlue},      {15, "3", 64, 77, 27, 22, ui::clBlue},
    {14, "2", 35, 77, 27, 22, ui::clBlue},      {13, "1", 6, 77, 27, 22, ui::clBlue},
    {9, "6", 64, 53, 27, 22, ui::clBlue},       {8, "5", 35, 53, 27, 22, ui::clBlue},
    {7, "4", 6, 53, 27, 22, ui::clBlue},        {3, "9", 64, 29, 27, 22, ui::clBlue},
    {2, "8", 35, 29, 27, 22, ui::clBlue},       {22, "+", 93, 101, 27, 22, ui::clRed},
    {16, "-", 93, 77, 27, 22, ui::clRed},       {10, "*", 93, 53, 27, 22, ui::clRed},
    {4, "/", 93, 29, 27, 22, ui::clRed},        {23, "Ok", 122, 101, 56, 22, ui::clRed},
    {17, "1/x", 122, 77, 27, 22, ui::clBlue},   {11, "%", 122, 53, 27, 22, ui::clBlue},
    {5, "sqrt", 122, 29, 27, 22, ui::clBlue},   {18, "<-", 151, 77, 27, 22, ui::clRed},
    {6, "C", 151, 29, 27, 46, ui::clRed},
};

constexpr size_t kMaxDigits = 15;

bool IsOperatorKey(char Key) {
    return Key == '+' || Key == '-' || Key == '*' || Key == '/' || Key == '%' || Key == '=' || Key == '\r';
}

}  // namespace

char CalculatorKeyOfTag(intptr_t Tag) noexcept {
    return Tag >= 0 && Tag < 24 ? kKeyOfTag[Tag] : '\0';
}

TCalculatorEh::TCalculatorEh(rtl::TComponent* Owner) : ui::TCustomControl(Owner) {
    SetBounds(Left(), Top(), 184, 127);
    SetColor(ui::clBtnFace);
    Font()->SetHeight(-11);
    Font()->SetColor(ui::clWindowText);

    FPanel1 = rtl::Create<ui::TPanel>(this);
    FPanel1->SetParent(this);
    FPanel1->SetBounds(6, 4, 171, 19);
    FPanel1->SetBevelOuter(ui::TBevelCut::bvNone);
    FPanel1->SetBorderWidth(2);
    FPanel1->SetColor(ui::clWindow);

    FTextBox = rtl::Create<ui::TLabel>(this);
    FTextBox->SetParent(FPanel1);
    FTextBox->SetAutoSize(false);
    FTextBox->SetBounds(2, 1, 166, 17);
    FTextBox->SetAlignment(ui::taRightJustify);
    FTextBox->SetLayout(ui::TTextLayout::tlCenter);
    FTextBox->SetColor(ui::clWindow);
    FTextBox->SetCaption("0");

    for (const KeyLayout& k : kKeys) {
        auto* b = rtl::Create<ui::TSpeedButton>(this);
        b->SetParent(this);
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

ui::TSpeedButton* TCalculatorEh::KeyOfTag(intptr_t Tag) const noexcept {
    for (ui::TSpeedButton* b : FKeys)
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
    const bool pending = FOperand != 0 && FStatus == 1 &&
                         (FOperator == '*' || FOperator == '+' || FOperator == '-' || FOperator == '/');
    FEqual->SetCaption(pending ? "=" : "Ok");
}

void TCalculatorEh::ProcessKey(char Key) {
    if (Key >= 'a' && Key <= 'z') Key = static_cast<char>(Key - 'a' + 'A');
    if (FStatus == 2 && Key != 'C') Key = '\0';
    const char sep = rtl::FormatSettings().DecimalSeparator;
    if (Key == sep || Key == '.' || Key == ',') {
        BeginNumber();
        if (DisplayText().find(sep) == AnsiString::npos) SetDisplayText(DisplayText() + sep);
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
        if (ui::TSpeedButton* b = KeyOfTag(tag)) b->SetFlat(Value);
}

void TPopupCalculatorEh::SetValue(const rtl::Variant& Value) {
    ClearAll();
    SetDisplayValue(Value.AsDouble());
}

}  // namespace editors
