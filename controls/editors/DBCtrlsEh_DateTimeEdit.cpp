// The date-time editor: the edit format in effect, the value between field and masked text,
// completion on leaving, element stepping and the drop-down month calendar.
#include <cmath>

#include "controls/editors/DBCtrlsEh_Editors.h"
#include "controls/editors/ToolCtrlsEh_Draw.h"
#include "framework/rtl/DateUtils.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace editors {

namespace {

bool IsShiftHeld(ui::TShiftState Shift) {
    return Shift.Contains(ui::ssShift) || Shift.Contains(ui::ssCtrl) || Shift.Contains(ui::ssAlt);
}

}  // namespace

TCustomDBDateTimeEditEh::TCustomDBDateTimeEditEh(rtl::TComponent* Owner) : TCustomDBEditEh(Owner) {
    FControlStyle.Exclude(ui::csSetCaption);
}

void TCustomDBDateTimeEditEh::AfterConstruction() {
    TCustomDBEditEh::AfterConstruction();
    FFourDigitYear = !FFourDigitYear;  // makes the first check count as a change
    UpdateYearDigits();
}

TEditButtonEh* TCustomDBDateTimeEditEh::CreateEditButton() { return rtl::Create<TVisibleEditButtonEh>(this); }

void TCustomDBDateTimeEditEh::Reload() {
    DataChanged();
    UpdateEditButtonControls();
}

// ---------------------------------------------------------------------------------------------
// Formats

void TCustomDBDateTimeEditEh::UpdateYearDigits() {
    const bool four = rtl::AnsiUpperCase(rtl::FormatSettings().ShortDateFormat).find("YYY") != AnsiString::npos;
    if (four == FFourDigitYear) return;
    FFourDigitYear = four;
    UpdateEditFormat();
}

void TCustomDBDateTimeEditEh::UpdateEditFormat() {
    switch (FKind) {
        case dtkDateEh: FEditFormat = DefaultDateEditFormat(FFourDigitYear); break;
        case dtkTimeEh: FEditFormat = DefaultTimeEditFormat(); break;
        case dtkDateTimeEh: FEditFormat = DefaultDateEditFormat(FFourDigitYear) + " " + DefaultTimeEditFormat(); break;
        case dtkCustomEh: break;
    }
    if (FEditFormat.empty()) {
        FDisplayFormat.clear();
        FElements = TDateTimeElementsEh{};
        ui::TCustomMaskEdit::SetEditMask(AnsiString());
        return;
    }
    AnsiString mask;
    TDateTimeElementsEh elements{};
    CompileDateTimeEditFormat(FEditFormat, mask, elements);  // raises on a bad format, changing nothing
    FDisplayFormat = DateTimeEditDisplayFormat(FEditFormat);
    FElements = elements;
    const bool saved = FTextSetting;
    FTextSetting = true;
    rtl::TryFinally([&] { ui::TCustomMaskEdit::SetEditMask(mask); }, [&] { FTextSetting = saved; });
}

void TCustomDBDateTimeEditEh::SetKind(TDateTimeKindEh Value) {
    if (Value == FKind) return;
    FKind = Value;
    UpdateEditFormat();
    Reload();
}

void TCustomDBDateTimeEditEh::SetEditFormat(const AnsiString& Value) {
    const TDateTimeKindEh oldKind = FKind;
    const AnsiString oldFormat = FEditFormat;
    FKind = dtkCustomEh;
    if (Value == FEditFormat) return;
    FEditFormat = Value;
    try {
        UpdateEditFormat();
    } catch (...) {
        FKind = oldKind;
        FEditFormat = oldFormat;
        throw;
    }
    Reload();
}

// ---------------------------------------------------------------------------------------------
// Value and text

void TCustomDBDateTimeEditEh::SetTextGuarded(const AnsiString& S) {
    const bool saved = FTextSetting;
    FTextSetting = true;
    rtl::TryFinally([&] { ui::TCustomMaskEdit::SetEditText(S); }, [&] { FTextSetting = saved; });
}

AnsiString TCustomDBDateTimeEditEh::FormatValue(const Variant& V) const {
    if (V.IsNull()) return {};
    const rtl::TDateTime d = V.AsDateTime();
    if (!IsMasked()) return rtl::DateTimeToStr(d);
    return rtl::FormatDateTime(FDisplayFormat, d);
}

bool TCustomDBDateTimeEditEh::TextToValue(const AnsiString& Text, bool FixUp, Variant& Result) const {
    Result = FValue;
    if (IsMasked()) {
        TDateTimeValuesEh values;
        ParseDateTimeText(Text, FElements, values);
        return ComposeDateTimeValues(values, FElements, Result, FixUp);
    }
    if (TrimBlanks(Text).empty()) {
        Result = Variant::Null();
        return true;
    }
    rtl::TDateTime d;
    if (!rtl::TryStrToDateTime(Text, d)) {
        Result = Variant::Null();
        return false;
    }
    Result = Variant::FromDate(d);
    return true;
}

void TCustomDBDateTimeEditEh::DataChanged() {
    if (db::TField* f = Field())
        InternalSetValue(f->Value());
    else if (IsUnbound())
        InternalSetValue(DataLink()->UnboundValue());
    else
        InternalSetValue(Variant::Null());
    Invalidate();
    SetModified(false);
}

void TCustomDBDateTimeEditEh::InternalSetValue(const Variant& AValue) {
    if (AValue.IsNull() || AValue.IsEmpty()) {
        FValue = Variant::Null();
        SetTextGuarded(AnsiString());
        return;
    }
    FValue = Variant::FromDate(AValue.AsDateTime());
    SetTextGuarded(FormatValue(FValue));
}

void TCustomDBDateTimeEditEh::InternalSetText(const AnsiString& AText) {
    Variant v;
    if (IsMasked()) {
        if (!TextToValue(AText, false, v)) throw rtl::Exception(SInvalidDateTimeEh + ("\"" + AText + "\""));
    } else {
        v = TrimBlanks(AText).empty() ? Variant::Null() : Variant::FromDate(rtl::StrToDateTime(AText));
    }
    InternalSetValue(v);
}

void TCustomDBDateTimeEditEh::Change() {
    if (!FTextSetting) {
        Variant v;
        // Typing never raises: the value is Null until the input forms a date-time.
        try {
            TextToValue(EditText(), false, v);
        } catch (const rtl::Exception&) {
            v = Variant::Null();
        }
        FValue = v;
    }
    UpdateImageIndex();
    TCustomDBEditEh::Change();
}

void TCustomDBDateTimeEditEh::ValidateEdit() {
    if (FValidating) return;
    FValidating = true;
    rtl::TryFinally(
        [&] {
            ui::TCustomMaskEdit::ValidateEdit();
            if (!IsMasked()) return;
            Variant v;
            TextToValue(EditText(), true, v);
            FValue = v;
            SetTextGuarded(FormatValue(FValue));
        },
        [&] { FValidating = false; });
}

void TCustomDBDateTimeEditEh::StoreTextToLink() {
    if (!IsMasked()) {
        const AnsiString t = TrimBlanks(EditText());
        DataLink()->StoreFieldValue(t.empty() ? Variant::Null() : Variant::FromDate(rtl::StrToDateTime(t)));
        return;
    }
    // The parts the format lacks keep the field's own (a date editor keeps the time of day).
    Variant target;
    if (db::TField* f = Field())
        target = f->Value();
    else
        target = DataLink()->UnboundValue();
    if (!target.IsNull() && !target.IsEmpty()) target = Variant::FromDate(target.AsDateTime());
    if (target.IsEmpty()) target = Variant::Null();
    ComposeDateTimeValues(DecomposeDateTimeValue(FValue), FElements, target, true);
    DataLink()->StoreFieldValue(target);
}

AnsiString TCustomDBDateTimeEditEh::PaintCopyText() {
    if (ComponentState().Contains(rtl::csDesigning) && !DataLink()->IsActive()) return Name();
    db::TField* f = Field();
    if (ControlState().Contains(ui::csPaintCopy) && f) {
        if (f->IsNull()) return {};
        return FormatValue(Variant::FromDate(f->AsDateTime()));
    }
    return EditText();
}

void TCustomDBDateTimeEditEh::FilterMRUItem(const AnsiString& Item, bool& Accept) {
    AnsiString t = EditText();
    const char sep = rtl::FormatSettings().DateSeparator;
    while (!t.empty() && (static_cast<unsigned char>(t.back()) <= 32 || t.back() == sep)) t.pop_back();
    Accept = Item.size() >= t.size() && rtl::AnsiSameText(std::string_view(Item).substr(0, t.size()), t);
}

// ---------------------------------------------------------------------------------------------
// Keys and stepping

void TCustomDBDateTimeEditEh::StepElement(bool Up) {
    if (!IsMasked()) return;
    int pos = SelStart() + 1;
    int len = SelLength();
    const AnsiString stepped = StepDateTimeElement(EditText(), DateTimeEditStepTemplate(FEditFormat), Up, pos, len);
    if (stepped == EditText() && len == SelLength() && pos == SelStart() + 1) return;
    SetTextGuarded(stepped);
    Change();
    SetSelStart(pos - 1);
    SetSelLength(len);
}

void TCustomDBDateTimeEditEh::KeyDown(uint16_t& Key, ui::TShiftState Shift) {
    if (IsMasked() && !IsShiftHeld(Shift)) {
        if ((Key == ui::VK_UP || Key == ui::VK_DOWN) && !ReadOnly()) {
            if (IInplaceEditHolderEh* holder = HolderIntf()) {
                holder->EditorKeyDown(this, Key, Shift);
                if (Key == 0) return;
            }
            if (DataLink()->BeginFieldEdit()) StepElement(Key == ui::VK_UP);
            Key = 0;
            return;
        }
        if ((Key == ui::VK_LEFT || Key == ui::VK_RIGHT) && SelLength() > 1) {
            SetCursor(Key == ui::VK_LEFT ? SelStart() : SelStart() + SelLength() - 1);
            Key = 0;
            return;
        }
    }
    TCustomDBEditEh::KeyDown(Key, Shift);
}

void TCustomDBDateTimeEditEh::KeyPress(char& Key) {
    if (FCalendarOpen && (Key == '\r' || Key == '\x1B')) {
        CloseUp(Key == '\r');
        Key = 0;
        return;
    }
    const rtl::TFormatSettings& fs = rtl::FormatSettings();
    if (IsMasked() && (Key == fs.DateSeparator || Key == fs.TimeSeparator)) {
        const AnsiString& text = EditText();
        const size_t next = text.find(Key, static_cast<size_t>(SelStart()));
        int pos = 0, len = 0;
        if (next != AnsiString::npos) {
            pos = static_cast<int>(next) + 1;
            DateElementAtSeparator(text, pos, len, FFourDigitYear);
        }
        if (len == 0) {
            // No separator ahead: back to the first element.
            pos = INT32_MAX;
            for (const auto& e : FElements)
                if (e.Present && e.Pos < pos) {
                    pos = e.Pos;
                    len = e.Length;
                }
            if (pos == INT32_MAX) pos = 1;
        }
        SetSelStart(pos - 1);
        SetSelLength(len);
        Key = 0;
        return;
    }
    TCustomDBEditEh::KeyPress(Key);
}

bool TCustomDBDateTimeEditEh::DoMouseWheel(ui::TShiftState Shift, int WheelDelta, ui::TPoint MousePos) {
    if (TCustomDBEditEh::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    if (IsShiftHeld(Shift) || ReadOnly() || !IsMasked() || !DataLink()->BeginFieldEdit()) return false;
    StepElement(WheelDelta > 0);
    return true;
}

void TCustomDBDateTimeEditEh::EditButtonDown(bool Flag) {
    if (EditButton()->Style() == ebsUpDownEh) {
        if (IsMasked() && !ReadOnly() && DataLink()->BeginFieldEdit()) StepElement(!Flag);
        return;
    }
    TCustomDBEditEh::EditButtonDown(Flag);
}

void TCustomDBDateTimeEditEh::CMEnter(ui::TCMEnter& Message) {
    UpdateYearDigits();
    TCustomDBEditEh::CMEnter(Message);
}

// ---------------------------------------------------------------------------------------------
// The calendar

TPopupMonthCalendarEh* TCustomDBDateTimeEditEh::Calendar() {
    if (!FCalendar) {
        FCalendar = rtl::Create<TPopupMonthCalendarEh>(this);
        FCalendar->SetVisible(false);
        FCalendar->SetParent(this);
    }
    return FCalendar;
}

void TCustomDBDateTimeEditEh::EditButtonMouseMove(rtl::TObject* Sender, ui::TShiftState Shift, int X, int Y) {
    TCustomDBEditEh::EditButtonMouseMove(Sender, Shift, X, Y);
    if (FCalendarOpen) PassButtonDragToDropDown(Sender, X, Y, FCalendar);
}

void TCustomDBDateTimeEditEh::DropDown() {
    TCustomDBEditEh::DropDown();
    if (FCalendarOpen) return;
    if (OnDropDown) OnDropDown(this);
    TPopupMonthCalendarEh* cal = Calendar();
    cal->SetDate(FValue.IsNull() ? rtl::Date() : std::floor(FValue.AsDateTime()));
    cal->HandleNeeded();
    ShowDropDownUnder(cal, daLeft);
    FCalendarOpen = true;
    SetDroppedDown(true);
}

void TCustomDBDateTimeEditEh::CloseUp(bool Accept) {
    if (!FCalendarOpen) return;
    FCalendarOpen = false;
    if (ui::TControl* capture = ui::GetCaptureControl()) capture->Perform(ui::WM_CANCELMODE);
    if (FCalendar->Focused() || FCalendar->ContainsControl(ui::FindControlOfWindow(ui::GetFocus()))) SetFocus();
    HideDropDown(FCalendar);
    SetDroppedDown(false);
    TCustomDBEditEh::CloseUp(Accept);
    PostDropDownClosed();
    if (Accept && !ReadOnly() && DataLink()->BeginFieldEdit()) {
        rtl::TDateTime d = std::floor(FCalendar->Date());
        if (!FValue.IsNull()) {
            // The chosen day keeps the value's time of day.
            const rtl::TDateTime t = FValue.AsDateTime();
            d += std::fabs(t - std::trunc(t));
        }
        Variant v = FValue;
        ComposeDateTimeValues(DecomposeDateTimeValue(Variant::FromDate(d)), FElements, v, true);
        InternalSetValue(v);
        DataLink()->FlagModified();
        SetModified(true);
        if (Focused()) SelectAll();
    }
    if (OnCloseUp) OnCloseUp(this, Accept);
}

bool TCustomDBDateTimeEditEh::IsCalendarWindow(ui::HWND Wnd) const {
    if (!FCalendar || !FCalendar->HandleAllocated()) return false;
    if (Wnd == FCalendar->Handle()) return true;
    ui::TWinControl* c = ui::FindControlOfWindow(Wnd);
    return c && FCalendar->ContainsControl(c);
}

void TCustomDBDateTimeEditEh::WMKillFocus(ui::TWMKillFocus& Message) {
    if (FCalendarOpen && !IsCalendarWindow(reinterpret_cast<ui::HWND>(Message.FocusedWnd))) CloseUp(false);
    TCustomDBEditEh::WMKillFocus(Message);
}

void TCustomDBDateTimeEditEh::CMCancelMode(ui::TCMCancelMode& Message) {
    TCustomDBEditEh::CMCancelMode(Message);
    if (FCalendarOpen) CloseDropDownOnCancelMode(Message.Sender(), FCalendar);
}

void TCustomDBDateTimeEditEh::CMWantSpecialKey(ui::TCMWantSpecialKey& Message) {
    if (!WantDropDownKey(Message, FCalendarOpen)) TCustomDBEditEh::CMWantSpecialKey(Message);
}

void TCustomDBDateTimeEditEh::WndProc(ui::TMessage& Message) {
    // The open calendar takes the page and arrow keys, and Ctrl+End, Ctrl+Home.
    if (FCalendarOpen && PassKeyToDropDown(Message, FCalendar, [](ui::WPARAM Code) {
            return Code == 33 || Code == 34 || (Code >= 37 && Code <= 40) ||
                   ((Code == 35 || Code == 36) && ui::GetKeyState(ui::VK_CONTROL) < 0);
        }))
        return;
    if (FCalendarOpen && PassWheelToDropDown(Message, FCalendar)) return;
    TCustomDBEditEh::WndProc(Message);
}

}  // namespace editors
