#include "framework/ui/Mask.h"

#include <algorithm>

#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"

namespace ui {

namespace {
bool IsLetter(char C) {
    return static_cast<unsigned char>(C) >= 0xC0 || rtl::AnsiUpperChar(C) != rtl::AnsiLowerChar(C);
}
bool IsDigit(char C) { return C >= '0' && C <= '9'; }
}  // namespace

// ---------------------------------------------------------------------------------------------
// TEditMask

TEditMask::TEditMask(const AnsiString& Mask) {
    // The mask proper ends at the first separator that no '\' escapes.
    size_t i = 0;
    int caseMode = 0;
    for (; i < Mask.size(); ++i) {
        const char c = Mask[i];
        if (c == MaskFieldSeparator) break;
        TMaskPosition p;
        p.CaseMode = caseMode;
        switch (c) {
            case '\\':
                if (i + 1 < Mask.size()) {
                    p.Literal = true;
                    p.Char = Mask[++i];
                    FPositions.push_back(p);
                }
                continue;
            case '!': FLeading = true; continue;
            case '>':
                if (i + 1 < Mask.size() && Mask[i + 1] == '<') {
                    caseMode = 0;
                    ++i;
                } else {
                    caseMode = 1;
                }
                continue;
            case '<':
                if (i + 1 < Mask.size() && Mask[i + 1] == '>') {
                    caseMode = 0;
                    ++i;
                } else {
                    caseMode = 2;
                }
                continue;
            case 'L':
            case 'A':
            case 'C':
            case '0':
                p.Char = c;
                p.Required = true;
                break;
            case 'l':
            case 'a':
            case 'c':
            case '9':
            case '#': p.Char = c; break;
            case '/':
                p.Literal = true;
                p.Char = rtl::FormatSettings().DateSeparator;
                break;
            case ':':
                p.Literal = true;
                p.Char = rtl::FormatSettings().TimeSeparator;
                break;
            case '_':
                p.Literal = true;
                p.Char = ' ';
                break;
            default:
                p.Literal = true;
                p.Char = c;
                break;
        }
        FPositions.push_back(p);
    }
    if (i < Mask.size()) {
        const size_t j = Mask.find(MaskFieldSeparator, i + 1);
        const AnsiString save = Mask.substr(i + 1, j == AnsiString::npos ? AnsiString::npos : j - i - 1);
        FSave = save.empty() || save[0] != MaskNoSave;
        if (j != AnsiString::npos && j + 1 < Mask.size()) FBlank = Mask[j + 1];
    }
}

char TEditMask::Accept(int Pos, char C) const {
    if (Pos < 0 || Pos >= Length()) return 0;
    const TMaskPosition& p = FPositions[Pos];
    if (p.Literal) return C == p.Char ? C : 0;
    if (p.CaseMode == 1)
        C = rtl::AnsiUpperChar(C);
    else if (p.CaseMode == 2)
        C = rtl::AnsiLowerChar(C);
    bool ok = false;
    switch (p.Char) {
        case 'L':
        case 'l': ok = IsLetter(C); break;
        case 'A':
        case 'a': ok = IsLetter(C) || IsDigit(C); break;
        case 'C':
        case 'c': ok = static_cast<unsigned char>(C) >= 32; break;
        case '0':
        case '9': ok = IsDigit(C); break;
        case '#': ok = IsDigit(C) || C == '+' || C == '-'; break;
    }
    return ok ? C : 0;
}

int TEditMask::NextInput(int Pos) const {
    for (int i = std::max(Pos, 0); i < Length(); ++i)
        if (!FPositions[i].Literal) return i;
    return -1;
}

int TEditMask::PrevInput(int Pos) const {
    for (int i = std::min(Pos, Length()) - 1; i >= 0; --i)
        if (!FPositions[i].Literal) return i;
    return -1;
}

AnsiString TEditMask::EditTextOf(const AnsiString& Value) const {
    AnsiString r(Length(), FBlank);
    auto put = [&](int i, char c) {
        const char a = c == ' ' || c == FBlank ? 0 : Accept(i, c);
        r[i] = a ? a : FBlank;
    };
    for (int i = 0; i < Length(); ++i)
        if (FPositions[i].Literal) r[i] = FPositions[i].Char;
    if (FSave) {
        // The value stands position by position, literals included.
        for (int i = 0; i < Length() && i < static_cast<int>(Value.size()); ++i)
            if (!FPositions[i].Literal) put(i, Value[i]);
        return r;
    }
    std::vector<int> inputs;
    for (int i = 0; i < Length(); ++i)
        if (!FPositions[i].Literal) inputs.push_back(i);
    const int n = static_cast<int>(inputs.size());
    const int count = std::min(n, static_cast<int>(Value.size()));
    const int shift = FLeading ? n - count : 0;
    for (int k = 0; k < count; ++k) put(inputs[k + shift], Value[k]);
    return r;
}

AnsiString TEditMask::TextOf(const AnsiString& EditText) const {
    AnsiString r;
    for (int i = 0; i < Length(); ++i) {
        const char c = i < static_cast<int>(EditText.size()) ? EditText[i] : FBlank;
        if (FPositions[i].Literal) {
            if (FSave) r += FPositions[i].Char;
        } else {
            r += c == FBlank ? ' ' : c;
        }
    }
    if (!FSave) {
        if (FLeading)
            r.erase(0, r.find_first_not_of(' ') == AnsiString::npos ? r.size() : r.find_first_not_of(' '));
        else
            r.erase(r.find_last_not_of(' ') + 1);
    }
    return r;
}

int TEditMask::FirstInvalid(const AnsiString& EditText) const {
    for (int i = 0; i < Length(); ++i) {
        const TMaskPosition& p = FPositions[i];
        if (p.Literal) continue;
        const char c = i < static_cast<int>(EditText.size()) ? EditText[i] : FBlank;
        if (c == FBlank || c == ' ') {
            if (p.Required) return i;
        } else if (Accept(i, c) != c) {
            return i;
        }
    }
    return -1;
}

AnsiString FormatMaskText(const AnsiString& EditMask, const AnsiString& Value) {
    const TEditMask m(EditMask);
    if (m.Empty()) return Value;
    AnsiString r = m.EditTextOf(Value);
    for (int i = 0; i < m.Length(); ++i)
        if (!m[i].Literal && r[i] == m.Blank()) r[i] = ' ';
    return r;
}

// ---------------------------------------------------------------------------------------------
// TCustomMaskEdit

TCustomMaskEdit::TCustomMaskEdit(TComponent* Owner) : TCustomEdit(Owner) {}
TCustomMaskEdit::~TCustomMaskEdit() = default;

void TCustomMaskEdit::SetEditMask(const AnsiString& Value) {
    if (Value == FEditMask) return;
    const AnsiString old = Text();
    FEditMask = Value;
    FMask = TEditMask(Value);
    if (IsMasked()) {
        TCustomEdit::SetMaxLength(FMask.Length());
        SetEditText(FMask.EditTextOf(old));
    } else {
        TCustomEdit::SetMaxLength(0);
        TControl::SetText(old);
    }
}

void TCustomMaskEdit::SetEditText(const AnsiString& Value) {
    if (!IsMasked()) {
        TControl::SetText(Value);
        return;
    }
    // Keep the text in the mask's shape whatever is written.
    AnsiString r(FMask.Length(), FMask.Blank());
    for (int i = 0; i < FMask.Length(); ++i) {
        if (FMask[i].Literal)
            r[i] = FMask[i].Char;
        else if (i < static_cast<int>(Value.size()) && Value[i] != FMask.Blank()) {
            const char a = Value[i] == ' ' ? 0 : FMask.Accept(i, Value[i]);
            if (a) r[i] = a;
        }
    }
    TControl::SetText(r);
    CheckCursor();
}

AnsiString TCustomMaskEdit::Text() const {
    if (!IsMasked()) return TControl::Text();
    return FMask.TextOf(TControl::Text());
}

void TCustomMaskEdit::SetText(const AnsiString& Value) {
    if (!IsMasked())
        TControl::SetText(Value);
    else
        SetEditText(FMask.EditTextOf(Value));
}

bool TCustomMaskEdit::EditCanModify() { return true; }

void TCustomMaskEdit::Reset() {
    if (Modified()) {
        SetEditText(FOldValue);
        SetModified(false);
    }
}

void TCustomMaskEdit::ValidateError() {
    MessageBeep();
    throw EDBEditError("Invalid input value");
}

void TCustomMaskEdit::ValidateEdit() {
    if (!IsMasked() || !Modified()) return;
    const int pos = FMask.FirstInvalid(FText);
    if (pos < 0) return;
    if (!Focused() && CanFocus()) {
        FReEnter = true;
        SetFocus();
    }
    SetSel(pos, pos);
    ValidateError();
}

void TCustomMaskEdit::SetCursor(int Pos) {
    if (!IsMasked()) {
        SetSel(Pos, Pos);
        return;
    }
    int p = FMask.NextInput(Pos);
    if (p < 0) p = static_cast<int>(FText.size());
    SetSel(p, p);
}

void TCustomMaskEdit::CheckCursor() {
    if (IsMasked() && SelLength() == 0) SetCursor(FCaret);
}

AnsiString TCustomMaskEdit::Blanked(int From, int To) const {
    AnsiString t = FText;
    for (int i = std::max(From, 0); i < To && i < static_cast<int>(t.size()); ++i)
        if (!FMask[i].Literal) t[i] = FMask.Blank();
    return t;
}

void TCustomMaskEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomEdit::KeyDown(Key, Shift);
    if (!IsMasked() || Key == 0 || Shift.Contains(ssAlt)) return;
    if (Key == VK_DELETE && !Shift.Contains(ssShift)) {
        Key = 0;
        if (FReadOnly) {
            MessageBeep();
            return;
        }
        if (!EditCanModify()) return;
        const int s = SelStart();
        const int e = SelLength() > 0 ? s + SelLength() : s + 1;
        const AnsiString t = Blanked(s, e);
        if (t != FText) TextEdited(t, s);
    }
}

void TCustomMaskEdit::KeyPress(char& Key) {
    TCustomEdit::KeyPress(Key);
    if (!IsMasked() || Key == 0 || Key == 3 || Key == 22 || Key == 24 || Key == 26) return;
    if (Key == '\x1B') {
        Reset();
        Key = 0;
        return;
    }
    if (Key == '\b') {
        Key = 0;
        if (FReadOnly) {
            MessageBeep();
            return;
        }
        if (!EditCanModify()) return;
        if (SelLength() > 0) {
            TextEdited(Blanked(SelStart(), SelStart() + SelLength()), SelStart());
            return;
        }
        const int p = FMask.PrevInput(FCaret);
        if (p < 0) return;
        TextEdited(Blanked(p, p + 1), p);
        return;
    }
    if (static_cast<unsigned char>(Key) < 32) return;
    const char typed = Key;
    Key = 0;
    if (FReadOnly) {
        MessageBeep();
        return;
    }
    if (!EditCanModify()) return;
    const int selStart = SelStart();
    AnsiString t = SelLength() > 0 ? Blanked(selStart, selStart + SelLength()) : FText;
    int p = FMask.NextInput(selStart);
    // A typed literal steps over the literal it matches.
    if (selStart < FMask.Length() && FMask[selStart].Literal && FMask[selStart].Char == typed && SelLength() == 0) {
        SetCursor(selStart + 1);
        return;
    }
    const char a = p < 0 ? 0 : FMask.Accept(p, typed);
    if (!a) {
        MessageBeep();
        return;
    }
    t[p] = a;
    int next = FMask.NextInput(p + 1);
    if (next < 0) next = p + 1;
    TextEdited(t, next);
}

void TCustomMaskEdit::CMEnter(TCMEnter& Message) {
    if (IsMasked()) {
        if (!FReEnter) {
            FOldValue = FText;
            TCustomEdit::CMEnter(Message);
        }
        FReEnter = false;
        CheckCursor();
        return;
    }
    TCustomEdit::CMEnter(Message);
}

void TCustomMaskEdit::CMExit(TCMExit& Message) {
    if (IsMasked()) {
        ValidateEdit();
        CheckCursor();
    }
    TCustomEdit::CMExit(Message);
}

void TCustomMaskEdit::DoCut() {
    if (!IsMasked()) {
        TCustomEdit::DoCut();
        return;
    }
    if (SelLength() == 0) return;
    if (FReadOnly) {
        MessageBeep();
        return;
    }
    if (!EditCanModify()) return;
    DoCopy();
    TextEdited(Blanked(SelStart(), SelStart() + SelLength()), SelStart());
}

void TCustomMaskEdit::DoClear() {
    if (!IsMasked()) {
        TCustomEdit::DoClear();
        return;
    }
    if (SelLength() == 0 || FReadOnly || !EditCanModify()) return;
    TextEdited(Blanked(SelStart(), SelStart() + SelLength()), SelStart());
}

void TCustomMaskEdit::DoPaste() {
    if (!IsMasked()) {
        TCustomEdit::DoPaste();
        return;
    }
    if (FReadOnly) {
        MessageBeep();
        return;
    }
    AnsiString v;
    if (!ClipboardText(v)) {
        MessageBeep();
        return;
    }
    if (v.empty() || !EditCanModify()) return;
    AnsiString t = SelLength() > 0 ? Blanked(SelStart(), SelStart() + SelLength()) : FText;
    int pos = SelStart();
    // Pasted literals match the mask's literals; every other character takes the next input
    // position. Anything that does not fit refuses the whole paste.
    for (char c : v) {
        if (pos < FMask.Length() && FMask[pos].Literal && FMask[pos].Char == c) {
            ++pos;
            continue;
        }
        const int p = FMask.NextInput(pos);
        const char a = p < 0 ? 0 : FMask.Accept(p, c);
        if (!a) {
            MessageBeep();
            return;
        }
        t[p] = a;
        pos = p + 1;
    }
    const int next = FMask.NextInput(pos);
    TextEdited(t, next < 0 ? pos : next);
}

}  // namespace ui
