#include "framework/qt/QtInput.h"

#include "framework/rtl/Text.h"
#include "framework/ui/Messages.h"

namespace qtback {

namespace {

// The Cyrillic letters of the Russian layout and the key each sits on.
struct TRussianKey {
    char16_t Upper;
    uint16_t Key;
};
constexpr TRussianKey RussianLayout[] = {
    {u'Й', 'Q'},  {u'Ц', 'W'},  {u'У', 'E'},  {u'К', 'R'},  {u'Е', 'T'},  {u'Н', 'Y'}, {u'Г', 'U'},
    {u'Ш', 'I'},  {u'Щ', 'O'},  {u'З', 'P'},  {u'Х', 0xDB}, {u'Ъ', 0xDD}, {u'Ф', 'A'}, {u'Ы', 'S'},
    {u'В', 'D'},  {u'А', 'F'},  {u'П', 'G'},  {u'Р', 'H'},  {u'О', 'J'},  {u'Л', 'K'}, {u'Д', 'L'},
    {u'Ж', 0xBA}, {u'Э', 0xDE}, {u'Я', 'Z'},  {u'Ч', 'X'},  {u'С', 'C'},  {u'М', 'V'}, {u'И', 'B'},
    {u'Т', 'N'},  {u'Ь', 'M'},  {u'Б', 0xBC}, {u'Ю', 0xBE}, {u'Ё', 0xC0},
};

}  // namespace

uint16_t VirtualKeyOf(int K, Qt::KeyboardModifiers Modifiers) {
    const bool keypad = Modifiers.testFlag(Qt::KeypadModifier);
    if (keypad) {
        if (K >= Qt::Key_0 && K <= Qt::Key_9) return uint16_t(ui::VK_NUMPAD0 + (K - Qt::Key_0));
        switch (K) {
            case Qt::Key_Asterisk: return ui::VK_MULTIPLY;
            case Qt::Key_Plus: return ui::VK_ADD;
            case Qt::Key_Minus: return ui::VK_SUBTRACT;
            case Qt::Key_Slash: return ui::VK_DIVIDE;
            case Qt::Key_Period:
            case Qt::Key_Comma: return ui::VK_DECIMAL;
            default: break;
        }
    }
    if (K >= Qt::Key_A && K <= Qt::Key_Z) return uint16_t(K);
    if (K >= Qt::Key_0 && K <= Qt::Key_9) return uint16_t(K);
    if (K >= Qt::Key_F1 && K <= Qt::Key_F24) return uint16_t(ui::VK_F1 + (K - Qt::Key_F1));
    for (const TRussianKey& r : RussianLayout) {
        if (K == int(r.Upper) || K == int(rtl::WideLowerChar(r.Upper))) return r.Key;
    }
    switch (K) {
        case Qt::Key_Backspace: return ui::VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return ui::VK_TAB;
        case Qt::Key_Clear: return ui::VK_CLEAR;
        case Qt::Key_Return:
        case Qt::Key_Enter: return ui::VK_RETURN;
        case Qt::Key_Shift: return ui::VK_SHIFT;
        case Qt::Key_Control: return ui::VK_CONTROL;
        case Qt::Key_Alt:
        case Qt::Key_AltGr: return ui::VK_MENU;
        case Qt::Key_Pause: return ui::VK_PAUSE;
        case Qt::Key_CapsLock: return ui::VK_CAPITAL;
        case Qt::Key_Escape: return ui::VK_ESCAPE;
        case Qt::Key_Space: return ui::VK_SPACE;
        case Qt::Key_PageUp: return ui::VK_PRIOR;
        case Qt::Key_PageDown: return ui::VK_NEXT;
        case Qt::Key_End: return ui::VK_END;
        case Qt::Key_Home: return ui::VK_HOME;
        case Qt::Key_Left: return ui::VK_LEFT;
        case Qt::Key_Up: return ui::VK_UP;
        case Qt::Key_Right: return ui::VK_RIGHT;
        case Qt::Key_Down: return ui::VK_DOWN;
        case Qt::Key_Insert: return ui::VK_INSERT;
        case Qt::Key_Delete: return ui::VK_DELETE;
        case Qt::Key_Help: return ui::VK_HELP;
        case Qt::Key_NumLock: return ui::VK_NUMLOCK;
        case Qt::Key_ScrollLock: return ui::VK_SCROLL;
        case Qt::Key_Menu: return 0x5D;  // VK_APPS
        case Qt::Key_Semicolon:
        case Qt::Key_Colon: return 0xBA;
        case Qt::Key_Equal:
        case Qt::Key_Plus: return 0xBB;
        case Qt::Key_Comma:
        case Qt::Key_Less: return 0xBC;
        case Qt::Key_Minus:
        case Qt::Key_Underscore: return 0xBD;
        case Qt::Key_Period:
        case Qt::Key_Greater: return 0xBE;
        case Qt::Key_Slash:
        case Qt::Key_Question: return 0xBF;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde: return 0xC0;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft: return 0xDB;
        case Qt::Key_Backslash:
        case Qt::Key_Bar: return 0xDC;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight: return 0xDD;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl: return 0xDE;
        // Shifted digits of the Latin layout sit on the digit keys.
        case Qt::Key_Exclam: return '1';
        case Qt::Key_At: return '2';
        case Qt::Key_NumberSign: return '3';
        case Qt::Key_Dollar: return '4';
        case Qt::Key_Percent: return '5';
        case Qt::Key_AsciiCircum: return '6';
        case Qt::Key_Ampersand: return '7';
        case Qt::Key_Asterisk: return '8';
        case Qt::Key_ParenLeft: return '9';
        case Qt::Key_ParenRight: return '0';
        default: return 0;
    }
}

std::string AnsiOfText(const QString& Text) {
    std::string out;
    for (QChar c : Text) {
        const char16_t u = c.unicode();
        if (u == 0x7F) continue;  // Delete comes as its key, not a character
        if (rtl::WideCharInAnsi(u)) out.push_back(rtl::WideCharToAnsi(u));
    }
    return out;
}

std::string CharsOfKey(uint16_t VirtualKey, const QString& Text, Qt::KeyboardModifiers Modifiers) {
    const bool ctrl = Modifiers.testFlag(Qt::ControlModifier);
    const bool alt = Modifiers.testFlag(Qt::AltModifier);
    if (ctrl && !alt) {
        // The layout does not matter for control characters: Ctrl+Ф is Ctrl+A.
        if (VirtualKey >= 'A' && VirtualKey <= 'Z') return std::string(1, char(VirtualKey - 'A' + 1));
        switch (VirtualKey) {
            case 0xDB: return std::string(1, '\x1B');
            case 0xDC: return std::string(1, '\x1C');
            case 0xDD: return std::string(1, '\x1D');
            case ui::VK_RETURN: return std::string(1, '\n');
            case ui::VK_BACK: return std::string(1, '\x7F');
            default: return {};
        }
    }
    switch (VirtualKey) {
        case ui::VK_RETURN: return std::string(1, '\r');
        case ui::VK_ESCAPE: return std::string(1, '\x1B');
        case ui::VK_BACK: return std::string(1, '\b');
        case ui::VK_TAB: return std::string(1, '\t');
        case ui::VK_DELETE: return {};
        default: break;
    }
    std::string out;
    for (QChar c : Text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F) continue;
        if (rtl::WideCharInAnsi(u)) out.push_back(rtl::WideCharToAnsi(u));
    }
    return out;
}

unsigned ButtonMessage(Qt::MouseButton Button, bool Down) {
    switch (Button) {
        case Qt::LeftButton: return Down ? ui::WM_LBUTTONDOWN : ui::WM_LBUTTONUP;
        case Qt::RightButton: return Down ? ui::WM_RBUTTONDOWN : ui::WM_RBUTTONUP;
        case Qt::MiddleButton: return Down ? ui::WM_MBUTTONDOWN : ui::WM_MBUTTONUP;
        default: return 0;
    }
}

}  // namespace qtback
