// The number editor: number text routines, the value between field and text, typing rules,
// stepping, and the drop-down calculator.
#include <climits>
#include <cmath>

#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/db/DB_FieldClasses.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"

namespace editors {

namespace {

bool IsBlank(char C) { return static_cast<unsigned char>(C) <= 32; }

char DecSep() { return rtl::FormatSettings().DecimalSeparator; }
char ThouSep() { return rtl::FormatSettings().ThousandSeparator; }

// The value from a field or variant as a double; Null stays Null.
double VariantToDouble(const Variant& V) { return V.AsDouble(); }

bool IsNumericVarType(rtl::TVarType T) {
    return T == rtl::varSmallint || T == rtl::varInteger || T == rtl::varSingle || T == rtl::varDouble ||
           T == rtl::varCurrency;
}

// The bound that Bound reads from a numeric field that has one; 0 for any other field.
template <class TBound>
long double FieldBound(db::TField* F, TBound Bound) {
    if (auto* x = dynamic_cast<db::TIntegerField*>(F)) return Bound(x);
    if (auto* x = dynamic_cast<db::TLargeintField*>(F)) return static_cast<long double>(Bound(x));
    if (auto* x = dynamic_cast<db::TFloatField*>(F)) return Bound(x);
    if (auto* x = dynamic_cast<db::TBCDField*>(F)) return rtl::CurrToDouble(Bound(x));
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Number text routines

AnsiString TrimLeadingBlanks(const AnsiString& S) {
    size_t i = 0;
    while (i < S.size() && IsBlank(S[i])) ++i;
    return S.substr(i);
}

AnsiString TrimTrailingBlanks(const AnsiString& S) {
    size_t n = S.size();
    while (n > 0 && IsBlank(S[n - 1])) --n;
    return S.substr(0, n);
}

AnsiString TrimBlanks(const AnsiString& S) { return TrimTrailingBlanks(TrimLeadingBlanks(S)); }

AnsiString ReplaceAllText(const AnsiString& S, const AnsiString& Old, const AnsiString& New) {
    if (Old.empty()) return S;
    AnsiString r;
    size_t start = 0;
    for (size_t p; (p = S.find(Old, start)) != AnsiString::npos; start = p + Old.size()) {
        r.append(S, start, p - start);
        r += New;
    }
    r.append(S, start, AnsiString::npos);
    return r;
}

long double PowerOfTen(int N) {
    long double r = 1;
    for (int i = 0; i < N; ++i) r *= 10;
    return r;
}

bool TryNumberTextToFloat(const AnsiString& S, double& X) {
    for (char c : S)
        if (c != DecSep() && c != '+' && c != '-' && !(c >= '0' && c <= '9') && c != 'E' && c != 'e') return false;
    if (S == "+" || S == "-") {
        X = 0;
        return true;
    }
    return rtl::TryStrToFloat(std::string_view(S).substr(0, 63), X);
}

AnsiString GroupThousands(const AnsiString& T, bool Use) {
    if (!Use) return T;
    size_t first = (!T.empty() && (T[0] == '+' || T[0] == '-')) ? 1 : 0;
    size_t end = first;
    while (end < T.size() && T[end] != DecSep() && T[end] != 'E' && T[end] != 'e') ++end;
    const std::string_view digits = std::string_view(T).substr(first, end - first);
    AnsiString grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ThouSep();
        grouped += digits[i];
    }
    return T.substr(0, first) + grouped + T.substr(end);
}

AnsiString CurrencyEditFormat() { return ",#." + AnsiString(rtl::FormatSettings().CurrencyDecimals, '0'); }

// ---------------------------------------------------------------------------------------------
// Construction and properties

TCustomDBNumberEditEh::TCustomDBNumberEditEh(rtl::TComponent* Owner) : TCustomDBEditEh(Owner) {
    FControlStyle.Exclude(ui::csSetCaption);
}

void TCustomDBNumberEditEh::AfterConstruction() {
    TCustomDBEditEh::AfterConstruction();
    SetMaxLength(0);
    Reload();
}

void TCustomDBNumberEditEh::Reload() {
    DataChanged();
    UpdateEditButtonControls();
}

TEditButtonEh* TCustomDBNumberEditEh::CreateEditButton() { return rtl::Create<TDropDownEditButtonEh>(this); }

ui::TAlignment TCustomDBNumberEditEh::DefaultAlignment() const {
    if (Field()) return TCustomDBEditEh::DefaultAlignment();
    return ui::TAlignment::taRightJustify;
}

void TCustomDBNumberEditEh::CreateParams(ui::TCreateParams& Params) {
    TCustomDBEditEh::CreateParams(Params);
    Params.Style &= ~static_cast<uint32_t>(ui::ES_CENTER | ui::ES_RIGHT);
    if (Alignment() == ui::TAlignment::taRightJustify) Params.Style |= ui::ES_RIGHT;
    if (Alignment() == ui::TAlignment::taCenter) Params.Style |= ui::ES_CENTER;
}

AnsiString TCustomDBNumberEditEh::FieldDisplayFormat() const {
    db::TField* f = Field();
    if (auto* n = dynamic_cast<db::TNumericField*>(f)) return n->DisplayFormat();
    if (auto* d = dynamic_cast<db::TDateTimeField*>(f)) return d->DisplayFormat();
    if (auto* t = dynamic_cast<db::TSQLTimeStampField*>(f)) return t->DisplayFormat();
    return {};
}

bool TCustomDBNumberEditEh::FieldCurrency() const {
    db::TField* f = Field();
    if (auto* x = dynamic_cast<db::TFloatField*>(f)) return x->Currency();
    if (auto* x = dynamic_cast<db::TBCDField*>(f)) return x->Currency();
    if (auto* x = dynamic_cast<db::TFMTBCDField*>(f)) return x->Currency();
    return false;
}

long double TCustomDBNumberEditEh::FieldMinValue() const {
    return FieldBound(Field(), [](auto* F) { return F->MinValue(); });
}

long double TCustomDBNumberEditEh::FieldMaxValue() const {
    return FieldBound(Field(), [](auto* F) { return F->MaxValue(); });
}

bool TCustomDBNumberEditEh::Currency() const { return FCurrencyAssigned ? FCurrency : FieldCurrency(); }

void TCustomDBNumberEditEh::SetCurrency(bool Value) {
    if (FCurrencyAssigned && Value == FCurrency) return;
    FCurrency = Value;
    FCurrencyAssigned = true;
    Invalidate();
    Reload();
}

AnsiString TCustomDBNumberEditEh::DisplayFormat() const {
    return FDisplayFormatAssigned ? FDisplayFormat : FieldDisplayFormat();
}

void TCustomDBNumberEditEh::SetDisplayFormat(const AnsiString& Value) {
    if (FDisplayFormatAssigned && Value == FDisplayFormat) return;
    FDisplayFormat = Value;
    FDisplayFormatAssigned = true;
    Invalidate();
    Reload();
}

void TCustomDBNumberEditEh::SetDecimalPlaces(unsigned Value) {
    if (Value == FDecimalPlaces) return;
    FDecimalPlaces = Value;
    Reload();
    Invalidate();
}

long double TCustomDBNumberEditEh::MinValue() const { return FMinValueAssigned ? FMinValue : FieldMinValue(); }

long double TCustomDBNumberEditEh::MaxValue() const { return FMaxValueAssigned ? FMaxValue : FieldMaxValue(); }

void TCustomDBNumberEditEh::SetMinValue(long double Value) {
    if (FMinValueAssigned && Value == FMinValue) return;
    FMinValue = Value;
    if (!ComponentState().Contains(rtl::csLoading) && IsUnbound()) UpdateData();
    FMinValueAssigned = true;
}

void TCustomDBNumberEditEh::SetMaxValue(long double Value) {
    if (FMaxValueAssigned && Value == FMaxValue) return;
    FMaxValue = Value;
    if (!ComponentState().Contains(rtl::csLoading) && IsUnbound()) UpdateData();
    FMaxValueAssigned = true;
}

// ---------------------------------------------------------------------------------------------
// Number routines of the editor

AnsiString TCustomDBNumberEditEh::NormalizeNumberText(const AnsiString& S) const {
    AnsiString r = TrimBlanks(S);
    const char dec = DecSep(), thou = ThouSep();
    if (dec != thou) r = ReplaceAllText(r, AnsiString(1, thou), "");
    if (dec != '.' && thou != '.') r = ReplaceAllText(r, ".", AnsiString(1, dec));
    if (dec != ',' && thou != ',') r = ReplaceAllText(r, ",", AnsiString(1, dec));
    return r;
}

AnsiString TCustomDBNumberEditEh::EditFormatOf(const AnsiString& DisplayFormat) {
    AnsiString r;
    char quote = 0;
    int droppedZeros = 0;
    bool inExponent = false;
    for (size_t i = 0; i < DisplayFormat.size(); ++i) {
        const char c = DisplayFormat[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (c == ';') break;
        // The exponent's digits have no place in the edited text.
        if (c == '+' && i >= 1 && (DisplayFormat[i - 1] == 'E' || DisplayFormat[i - 1] == 'e')) {
            inExponent = true;
            continue;
        }
        if (inExponent && c == '0') {
            if (++droppedZeros >= 4) break;
            continue;
        }
        inExponent = false;
        if (c == '#' || c == ',' || c == '.' || c == '0') r += c;
    }
    return r;
}

AnsiString TCustomDBNumberEditEh::FormatDisplayValue(double X) const {
    const AnsiString fmt = DisplayFormat();
    if (!fmt.empty()) return rtl::FormatFloat(fmt, X);
    if (Currency()) {
        // Beyond the currency range the float form shows the same layout instead of failing.
        rtl::Currency c;
        const int digits = rtl::FormatSettings().CurrencyDecimals;
        if (rtl::TryDoubleToCurr(X, c)) return rtl::CurrToStrF(c, rtl::ffCurrency, digits);
        return rtl::FloatToStrF(X, rtl::ffCurrency, 18, digits);
    }
    return rtl::FloatToStr(X);
}

double TCustomDBNumberEditEh::CheckValue(double X) const {
    const long double lo = MinValue(), hi = MaxValue();
    long double v = X;
    if (lo != hi) {
        if (hi > lo) {
            if (v < lo) v = lo;
            if (v > hi) v = hi;
        } else if (hi == 0) {
            if (v < lo) v = lo;
        } else if (lo == 0) {
            if (v > hi) v = hi;
        }
    }
    // Rounding through a 64-bit integer is skipped where the scaled value does not fit it.
    constexpr long double limit = 9.2e18L;
    if (FDecimalPlaces <= 37) {
        const long double scale = PowerOfTen(static_cast<int>(FDecimalPlaces));
        const long double scaled = v * scale;
        if (std::fabs(scaled) < limit) v = static_cast<long double>(std::llrint(scaled)) / scale;
    }
    return static_cast<double>(v);
}

AnsiString TCustomDBNumberEditEh::DisplayTextOfValue() {
    if (FValue.IsNull()) return {};
    return FormatDisplayValue(FValue.AsDouble());
}

TPopupCalculatorEh* TCustomDBNumberEditEh::PopupCalculator() {
    if (!FCalculator) {
        FCalculator = rtl::Create<TPopupCalculatorEh>(this);
        FCalculator->SetVisible(false);
        FCalculator->SetParent(this);
        if (HandleAllocated()) FCalculator->HandleNeeded();
    }
    return FCalculator;
}

// ---------------------------------------------------------------------------------------------
// Value and text

void TCustomDBNumberEditEh::SetTextGuarded(const AnsiString& S) {
    const bool saved = FSetTextGuard;
    FSetTextGuard = true;
    rtl::TryFinally([&] { ui::TCustomMaskEdit::SetText(S); }, [&] { FSetTextGuard = saved; });
}

void TCustomDBNumberEditEh::DataChanged() {
    const AnsiString fmt = DisplayFormat();
    FEditFormat = fmt.empty() && Currency() ? CurrencyEditFormat() : EditFormatOf(fmt);
    if (db::TField* f = Field())
        InternalSetValue(f->Value());
    else if (IsUnbound())
        InternalSetValue(DataLink()->UnboundValue());
    else
        InternalSetValue(Variant::Null());
    UpdateControlReadOnly();
    SetModified(false);
}

void TCustomDBNumberEditEh::InternalSetValue(const Variant& AValue) {
    if (AValue.IsNull() || AValue.IsEmpty()) {
        SetTextGuarded(AnsiString());
        FValue = Variant::Null();
        return;
    }
    FValue = Variant(VariantToDouble(AValue));
    DataLink()->FlagModified();
    if (EditFocused() && DataLink()->CanModify()) {
        const double x = FValue.AsDouble();
        ReformatEditText(FEditFormat.empty() ? rtl::FloatToStr(x) : rtl::FormatFloat(FEditFormat, x));
        return;
    }
    SetTextGuarded(DisplayTextOfValue());
}

void TCustomDBNumberEditEh::InternalSetText(const AnsiString& AText) {
    if (AText.empty()) {
        InternalSetValue(Variant::Null());
        return;
    }
    InternalSetValue(Variant(rtl::StrToFloat(NormalizeNumberText(AText))));
}

Variant TCustomDBNumberEditEh::GetValueVariant() const { return FValue; }

void TCustomDBNumberEditEh::StoreTextToLink() { DataLink()->StoreFieldValue(FValue); }

void TCustomDBNumberEditEh::ReformatEditText(const AnsiString& S) {
    AnsiString t = (S.empty() || S == "-") ? S : NormalizeNumberText(S);
    t = GroupThousands(t, FEditFormat.find(',') != AnsiString::npos);
    if (t == EditText()) return;
    const int oldStart = SelStart();
    const int oldLen = static_cast<int>(EditText().size());
    SetTextGuarded(t);
    if (Focused() && !ComponentState().Contains(rtl::csDesigning)) {
        // The caret keeps its distance from the end.
        const int pos = static_cast<int>(t.size()) + oldStart - oldLen;
        SetSelStart(std::clamp(pos, 0, static_cast<int>(t.size())));
    }
}

void TCustomDBNumberEditEh::UpdateValueFromText() {
    const AnsiString t = NormalizeNumberText(EditText());
    if (t.empty()) {
        FValue = Variant::Null();
        if (!EditText().empty()) SetTextGuarded(AnsiString());
        return;
    }
    if (t == "+" || t == "-") {
        FValue = Variant(0.0);
        return;
    }
    // Deleting or cutting can leave a text that is no number; the value is then empty.
    double x;
    if (!TryNumberTextToFloat(t, x)) {
        FValue = Variant::Null();
        return;
    }
    FValue = Variant(CheckValue(x));
}

void TCustomDBNumberEditEh::Change() {
    if (!FSetTextGuard) {
        ReformatEditText(EditText());
        UpdateValueFromText();
    }
    TCustomDBEditEh::Change();
}

// ---------------------------------------------------------------------------------------------
// Typing and stepping

bool TCustomDBNumberEditEh::IsValidChar(char Key) {
    AnsiString text = EditText();
    const int start = std::clamp(SelStart(), 0, static_cast<int>(text.size()));
    const int len = std::clamp(SelLength(), 0, static_cast<int>(text.size()) - start);
    text.replace(static_cast<size_t>(start), static_cast<size_t>(len), 1, Key);
    const AnsiString t = NormalizeNumberText(text);
    const size_t p = t.find(DecSep());
    if (p != AnsiString::npos) {
        size_t e = p + 1;
        while (e < t.size() && t[e] != 'E' && t[e] != 'e') ++e;
        if (e - p - 1 > FDecimalPlaces) return false;
    }
    if (t.empty()) return true;
    double x;
    if (!TryNumberTextToFloat(t, x)) return false;
    if (MinValue() >= 0 && MaxValue() > 0 && x < 0) return false;
    return true;
}

void TCustomDBNumberEditEh::KeyPress(char& Key) {
    if (FCalculatorOpen && (Key == '\r' || Key == '\x1B')) {
        CloseUp(Key == '\r');
        Key = 0;
        return;
    }
    if (Key == '\b' && SelLength() == 0 && SelStart() > 0 &&
        EditText()[static_cast<size_t>(SelStart() - 1)] == ThouSep()) {
        SetSelStart(SelStart() - 1);
        Key = 0;
        return;
    }
    TCustomDBEditEh::KeyPress(Key);
    if (Key == ',' || Key == '.') Key = DecSep();
    if (static_cast<unsigned char>(Key) >= 32 && !IsValidChar(Key)) {
        Key = 0;
        return;
    }
    if (Key == '\x1B') {
        Reset();
        Key = 0;
    }
}

void TCustomDBNumberEditEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    TCustomDBEditEh::KeyDown(Key, Shift);
    if (ReadOnly()) return;
    if (Key == ui::VK_UP || Key == ui::VK_DOWN) {
        IncrementValue(Key == ui::VK_UP);
        Key = 0;
    }
}

void TCustomDBNumberEditEh::IncrementValue(bool Up) {
    if (FIncrement == 0 || !EditCanModify()) return;
    double v;
    if (FValue.IsNull())
        v = static_cast<double>(FIncrement);
    else
        v = static_cast<double>(Up ? FValue.AsDouble() + FIncrement : FValue.AsDouble() - FIncrement);
    InternalSetValue(Variant(CheckValue(v)));
    if (Focused()) SelectAll();
}

bool TCustomDBNumberEditEh::DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) {
    if (TCustomDBEditEh::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    const bool shifted = Shift.Contains(ui::ssShift) || Shift.Contains(ui::ssCtrl) || Shift.Contains(ui::ssAlt);
    if (shifted || ReadOnly() || !DataLink()->BeginFieldEdit()) return false;
    IncrementValue(WheelDelta > 0);
    return true;
}

void TCustomDBNumberEditEh::EditButtonDown(bool Flag) {
    if (EditButton()->Style() == ebsUpDownEh) {
        if (!ReadOnly()) IncrementValue(!Flag);
        return;
    }
    TCustomDBEditEh::EditButtonDown(Flag);
}

// ---------------------------------------------------------------------------------------------
// The calculator

void TCustomDBNumberEditEh::DropDown() {
    TCustomDBEditEh::DropDown();
    if (FCalculatorOpen) return;
    if (OnDropDown) OnDropDown(this);
    TPopupCalculatorEh* calc = PopupCalculator();
    calc->SetValue(FValue.IsNull() ? Variant(0.0) : FValue);
    calc->SetFlat(Flat());
    calc->HandleNeeded();
    ShowDropDownUnder(calc, daLeft);
    FCalculatorOpen = true;
    SetDroppedDown(true);
    SetSelLength(0);
}

void TCustomDBNumberEditEh::CloseUp(bool Accept) {
    if (!FCalculatorOpen) return;
    if (ui::TControl* capture = ui::GetCaptureControl()) capture->Perform(ui::WM_CANCELMODE);
    HideDropDown(FCalculator);
    FCalculatorOpen = false;
    SetDroppedDown(false);
    TCustomDBEditEh::CloseUp(Accept);
    PostDropDownClosed();
    if (Accept && !ReadOnly() && DataLink()->BeginFieldEdit()) {
        const Variant v = FCalculator->GetValue();
        if (IsNumericVarType(v.VType())) {
            InternalSetValue(v);
            if (Focused()) SelectAll();
        }
    }
    if (OnCloseUp) OnCloseUp(this, Accept);
}

bool TCustomDBNumberEditEh::IsCalculatorWindow(ui::HWND Wnd) const {
    return FCalculator && FCalculator->HandleAllocated() && Wnd == FCalculator->Handle();
}

void TCustomDBNumberEditEh::WMKillFocus(ui::TWMKillFocus& Message) {
    if (FCalculatorOpen && !IsCalculatorWindow(reinterpret_cast<ui::HWND>(Message.FocusedWnd))) CloseUp(false);
    TCustomDBEditEh::WMKillFocus(Message);
}

void TCustomDBNumberEditEh::CMCancelMode(ui::TCMCancelMode& Message) {
    TCustomDBEditEh::CMCancelMode(Message);
    if (FCalculatorOpen) CloseDropDownOnCancelMode(Message.Sender(), FCalculator);
}

void TCustomDBNumberEditEh::CMWantSpecialKey(ui::TCMWantSpecialKey& Message) {
    if (!WantDropDownKey(Message, FCalculatorOpen)) TCustomDBEditEh::CMWantSpecialKey(Message);
}

void TCustomDBNumberEditEh::WMPaste(ui::TMessage& Message) {
    const AnsiString saved = EditText();
    TCustomDBEditEh::WndProc(Message);
    UpdateValueFromText();
    const AnsiString t = NormalizeNumberText(EditText());
    double x;
    if (t.empty() || TryNumberTextToFloat(t, x)) return;
    // A pasted text that is no number is undone.
    SetTextGuarded(saved);
    UpdateValueFromText();
    SelectAll();
    if (CanFocus()) SetFocus();
}

void TCustomDBNumberEditEh::WndProc(ui::TMessage& Message) {
    // The open calculator takes Backspace, Enter and the printable keys.
    if (FCalculatorOpen && PassKeyToDropDown(Message, FCalculator, [](ui::WPARAM Code) {
            return Code == 8 || Code == 13 || (Code >= 32 && Code <= 126);
        }))
        return;
    if (Message.Msg == ui::WM_PASTE) {
        WMPaste(Message);
        return;
    }
    if (FCalculatorOpen && PassWheelToDropDown(Message, FCalculator)) return;
    TCustomDBEditEh::WndProc(Message);
}

}  // namespace editors
