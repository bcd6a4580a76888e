// The masked edit: an edit whose text follows an edit mask.
//
// Mask syntax: "<mask>;<save literals>;<blank>". Mask characters: 'L' letter, 'l' optional letter,
// 'A' letter or digit, 'a' optional one, 'C' any character, 'c' optional one, '0' digit, '9'
// optional digit, '#' optional digit or sign; '>' upper case and '<' lower case from there on
// ("<>" neither); '!' optional characters are blank at the start rather than the end; '\' makes
// the next character a literal; '/' and ':' are the locale's date and time separators; '_' is a
// space; anything else is a literal. Save literals "0" keeps only the typed characters in Text;
// the blank character (default '_') marks empty positions in the edit text.
#pragma once

#include <vector>

#include "framework/rtl/Exceptions.h"
#include "framework/ui/StdCtrls.h"

namespace ui {

RTL_DECLARE_EXCEPTION(EDBEditError, rtl::Exception);

inline constexpr char DefaultBlank = '_';
inline constexpr char MaskFieldSeparator = ';';
inline constexpr char MaskNoSave = '0';

// One position of a parsed mask.
struct TMaskPosition {
    bool Literal = false;
    char Char = 0;  // the literal, or the mask character ('L', 'l', 'A', ...)
    bool Required = false;
    int CaseMode = 0;  // 0 as typed, 1 upper, 2 lower
};

class TEditMask {
public:
    TEditMask() = default;
    explicit TEditMask(const AnsiString& Mask);
    bool Empty() const noexcept { return FPositions.empty(); }
    int Length() const noexcept { return static_cast<int>(FPositions.size()); }
    const TMaskPosition& operator[](int I) const { return FPositions[I]; }
    bool SaveLiterals() const noexcept { return FSave; }
    char Blank() const noexcept { return FBlank; }
    bool LeadingBlanks() const noexcept { return FLeading; }
    // The character as the position takes it (case applied), or 0 when the position refuses it.
    char Accept(int Pos, char C) const;
    // Edit text (literals and blanks) from a value in saved form.
    AnsiString EditTextOf(const AnsiString& Value) const;
    // The value in saved form from an edit text.
    AnsiString TextOf(const AnsiString& EditText) const;
    // Position of the first required position left blank or wrong; -1 when the text is whole.
    int FirstInvalid(const AnsiString& EditText) const;
    int NextInput(int Pos) const;  // first input position >= Pos, -1 when none
    int PrevInput(int Pos) const;  // last input position < Pos, -1 when none

private:
    std::vector<TMaskPosition> FPositions;
    bool FSave = true;
    char FBlank = DefaultBlank;
    bool FLeading = false;
};

// The value formatted by the mask: literals in place, blanks as spaces.
AnsiString FormatMaskText(const AnsiString& EditMask, const AnsiString& Value);

class TCustomMaskEdit : public TCustomEdit {
    RTL_CLASS(TCustomMaskEdit, TCustomEdit)
public:
    explicit TCustomMaskEdit(TComponent* Owner);
    ~TCustomMaskEdit() override;

    const AnsiString& EditMask() const noexcept { return FEditMask; }
    void SetEditMask(const AnsiString& Value);
    bool IsMasked() const noexcept { return !FMask.Empty(); }
    const TEditMask& Mask() const noexcept { return FMask; }
    // The text as the window shows it: literals and blanks included.
    const AnsiString& EditText() const noexcept { return TControl::Text(); }
    void SetEditText(const AnsiString& Value);
    // With a mask: the value in saved form (without literals for save mode 0).
    AnsiString Text() const;
    void SetText(const AnsiString& Value);
    void Clear() override { SetText(AnsiString()); }

    // Raises "Invalid input value" with the caret on the first wrong position when a modified
    // masked text is incomplete.
    virtual void ValidateEdit();
    // Esc: the text from before editing comes back.
    virtual void Reset();

protected:
    // Asked before every masked change; false refuses it.
    virtual bool EditCanModify();
    [[noreturn]] virtual void ValidateError();
    // Puts the caret on the input position at or after Pos.
    void SetCursor(int Pos);
    void CheckCursor();
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void CMEnter(TCMEnter& Message) override;
    void CMExit(TCMExit& Message) override;
    void DoCut() override;
    void DoPaste() override;
    void DoClear() override;

    AnsiString FOldValue;

private:
    // The edit text with every input position in [From, To) blank.
    AnsiString Blanked(int From, int To) const;
    AnsiString FEditMask;
    TEditMask FMask;
    bool FReEnter = false;
};

class TMaskEdit : public TCustomMaskEdit {
    RTL_CLASS(TMaskEdit, TCustomMaskEdit)
public:
    using TCustomMaskEdit::TCustomMaskEdit;
};

}  // namespace ui
