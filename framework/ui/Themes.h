// The theme painter: themed elements (buttons, check boxes, group boxes, headers, scroll bars,
// combo box buttons, spin buttons, tool bar buttons, edit borders, page tabs) drawn in a flat look
// with 1-pixel borders and hot, pressed and disabled states.
#pragma once

#include "framework/rtl/Classes.h"
#include "framework/ui/Graphics.h"

namespace ui {

enum class TThemedElement { teButton, teComboBox, teHeader, teScrollBar, teSpin, teToolBar, teEdit, teTab };
using enum TThemedElement;

// Each group runs Normal, Hot, Pressed, Disabled (buttons also Defaulted) so that a state is the
// group's first value plus an offset.
enum class TThemedButton {
    tbButtonDontCare,
    tbPushButtonNormal,
    tbPushButtonHot,
    tbPushButtonPressed,
    tbPushButtonDisabled,
    tbPushButtonDefaulted,
    tbRadioButtonUncheckedNormal,
    tbRadioButtonUncheckedHot,
    tbRadioButtonUncheckedPressed,
    tbRadioButtonUncheckedDisabled,
    tbRadioButtonCheckedNormal,
    tbRadioButtonCheckedHot,
    tbRadioButtonCheckedPressed,
    tbRadioButtonCheckedDisabled,
    tbCheckBoxUncheckedNormal,
    tbCheckBoxUncheckedHot,
    tbCheckBoxUncheckedPressed,
    tbCheckBoxUncheckedDisabled,
    tbCheckBoxCheckedNormal,
    tbCheckBoxCheckedHot,
    tbCheckBoxCheckedPressed,
    tbCheckBoxCheckedDisabled,
    tbCheckBoxMixedNormal,
    tbCheckBoxMixedHot,
    tbCheckBoxMixedPressed,
    tbCheckBoxMixedDisabled,
    tbGroupBoxNormal,
    tbGroupBoxDisabled,
};
using enum TThemedButton;

enum class TThemedComboBox {
    tcComboBoxDontCare,
    tcDropDownButtonNormal,
    tcDropDownButtonHot,
    tcDropDownButtonPressed,
    tcDropDownButtonDisabled,
};
using enum TThemedComboBox;

enum class TThemedHeader {
    thHeaderDontCare,
    thHeaderItemNormal,
    thHeaderItemHot,
    thHeaderItemPressed,
    thHeaderItemLeftNormal,
    thHeaderItemLeftHot,
    thHeaderItemLeftPressed,
    thHeaderItemRightNormal,
    thHeaderItemRightHot,
    thHeaderItemRightPressed,
    thHeaderSortArrowSortedUp,
    thHeaderSortArrowSortedDown,
};
using enum TThemedHeader;

enum class TThemedScrollBar {
    tsScrollBarDontCare,
    tsArrowBtnUpNormal,
    tsArrowBtnUpHot,
    tsArrowBtnUpPressed,
    tsArrowBtnUpDisabled,
    tsArrowBtnDownNormal,
    tsArrowBtnDownHot,
    tsArrowBtnDownPressed,
    tsArrowBtnDownDisabled,
    tsArrowBtnLeftNormal,
    tsArrowBtnLeftHot,
    tsArrowBtnLeftPressed,
    tsArrowBtnLeftDisabled,
    tsArrowBtnRightNormal,
    tsArrowBtnRightHot,
    tsArrowBtnRightPressed,
    tsArrowBtnRightDisabled,
    tsThumbBtnHorzNormal,
    tsThumbBtnHorzHot,
    tsThumbBtnHorzPressed,
    tsThumbBtnHorzDisabled,
    tsThumbBtnVertNormal,
    tsThumbBtnVertHot,
    tsThumbBtnVertPressed,
    tsThumbBtnVertDisabled,
    tsUpperTrackHorzNormal,
    tsLowerTrackHorzNormal,
    tsUpperTrackVertNormal,
    tsLowerTrackVertNormal,
    tsSizeBoxRightAlign,
    tsSizeBoxLeftAlign,
};
using enum TThemedScrollBar;

enum class TThemedSpin {
    tsSpinDontCare,
    tsUpNormal,
    tsUpHot,
    tsUpPressed,
    tsUpDisabled,
    tsDownNormal,
    tsDownHot,
    tsDownPressed,
    tsDownDisabled,
};
using enum TThemedSpin;

enum class TThemedToolBar {
    ttbToolBarDontCare,
    ttbButtonNormal,
    ttbButtonHot,
    ttbButtonPressed,
    ttbButtonDisabled,
    ttbButtonChecked,
    ttbButtonCheckedHot,
};
using enum TThemedToolBar;

// The border of an edit (and of the boxes drawn like one: combo boxes, lists, memos).
enum class TThemedEdit {
    teEditDontCare,
    teEditBorderNormal,
    teEditBorderHot,
    teEditBorderFocused,
    teEditBorderDisabled,
};
using enum TThemedEdit;

// Page tabs and the page they sit on.
enum class TThemedTab {
    ttTabDontCare,
    ttTabItemNormal,
    ttTabItemHot,
    ttTabItemSelected,
    ttTabItemDisabled,
    ttPane,
};
using enum TThemedTab;

// The visual state of an element, shared by every element kind.
enum class TThemeState { Normal, Hot, Pressed, Disabled, Defaulted, Checked, CheckedHot };

struct TThemedElementDetails {
    TThemedElement Element = teButton;
    int Part = 0;  // the element's enumeration value
    friend bool operator==(const TThemedElementDetails&, const TThemedElementDetails&) = default;
};

class TThemeServices {
public:
    bool ThemesAvailable() const noexcept { return true; }
    // Themes are on unless a test or the backend turns them off.
    bool ThemesEnabled() const noexcept { return FEnabled; }
    void SetThemesEnabled(bool Value);

    static TThemedElementDetails GetElementDetails(TThemedButton Detail) { return {teButton, int(Detail)}; }
    static TThemedElementDetails GetElementDetails(TThemedComboBox Detail) { return {teComboBox, int(Detail)}; }
    static TThemedElementDetails GetElementDetails(TThemedHeader Detail) { return {teHeader, int(Detail)}; }
    static TThemedElementDetails GetElementDetails(TThemedScrollBar Detail) { return {teScrollBar, int(Detail)}; }
    static TThemedElementDetails GetElementDetails(TThemedSpin Detail) { return {teSpin, int(Detail)}; }
    static TThemedElementDetails GetElementDetails(TThemedToolBar Detail) { return {teToolBar, int(Detail)}; }
    static TThemedElementDetails GetElementDetails(TThemedEdit Detail) { return {teEdit, int(Detail)}; }
    static TThemedElementDetails GetElementDetails(TThemedTab Detail) { return {teTab, int(Detail)}; }
    // The state a detail stands for (Normal for the "don't care" values).
    static TThemeState StateOf(const TThemedElementDetails& Details) noexcept;

    // Paints the element into R, limited to Clip when given. A "don't care" detail draws nothing.
    void DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R, const TRect* Clip = nullptr);
    // The part of R left for content (text, glyph) inside the element's frame.
    TRect ContentRect(HDC DC, const TThemedElementDetails& Details, const TRect& R) const;
    // Text in the element's text colour for its state.
    void DrawText(HDC DC, const TThemedElementDetails& Details, const AnsiString& Text, TRect R, unsigned Flags);
    // The text colour of an element in its state.
    TColor TextColor(const TThemedElementDetails& Details) const;
    // Elements whose corners or background are not painted (the parent shows through).
    bool HasTransparentParts(const TThemedElementDetails& Details) const;

    // Fired when the theme is switched on or off.
    rtl::TNotifyEvent OnThemeChange;

private:
    bool FEnabled = true;
};

// The process's theme painter.
TThemeServices& ThemeServices();

// A scroll bar's thumb along a bar Length long with arrows of Arrow: its start (from the bar's
// start) and length, for a range Min..Max showing Page of it at Pos.
void ScrollThumb(int Length, int Arrow, int Min, int Max, int Page, int Pos, int& Start, int& Size);
// The position a thumb starting at Start stands for (the inverse of ScrollThumb).
int ScrollThumbPos(int Length, int Arrow, int Min, int Max, int Page, int Start);
// A whole scroll bar in R: arrows, track and thumb, themed or classic as the theme is on.
void DrawScrollBarParts(HDC DC, const TRect& R, bool Vertical, int ThumbStart, int ThumbSize, bool Enabled,
                        bool ThumbPressed = false);

}  // namespace ui
