// Typing into controls through the input queue, as a user would.
#pragma once

#include <string>
#include <vector>

#include "tests/support/ui_fixture.h"
#include "framework/rtl/Text.h"
#include "framework/ui/Clipbrd.h"

namespace uitest {

inline rtl::AnsiString Cp(const char8_t* Utf8) { return rtl::UTF8ToAnsi(std::u8string_view(Utf8)); }

// One key stroke: a virtual key with modifiers, or a character when Key is 0.
struct TStroke {
    uint16_t Key = 0;
    bool Shift = false;
    bool Ctrl = false;
    char Char = 0;
};
inline TStroke K(uint16_t Key) { return {Key, false, false, 0}; }
inline TStroke SK(uint16_t Key) { return {Key, true, false, 0}; }
inline TStroke CK(uint16_t Key) { return {Key, false, true, 0}; }
inline TStroke CSK(uint16_t Key) { return {Key, true, true, 0}; }

class InputTest : public UiTest {
protected:
    void Stroke(const TStroke& S) {
        if (S.Shift) KeyInput(VK_SHIFT, true);
        if (S.Ctrl) KeyInput(VK_CONTROL, true);
        if (S.Key)
            KeyPressInput(S.Key);
        else
            CharInput(S.Char);
        // Modifiers are read while the messages are handled.
        Pump();
        if (S.Ctrl) KeyInput(VK_CONTROL, false);
        if (S.Shift) KeyInput(VK_SHIFT, false);
        Pump();
    }
    void Strokes(const std::vector<TStroke>& List) {
        for (const auto& s : List) Stroke(s);
    }
    void Type(const rtl::AnsiString& Text) {
        for (char c : Text) {
            CharInput(c);
            Pump();
        }
    }
    void Click(TControl* C, int X, int Y, bool Shift = false) {
        if (Shift) KeyInput(VK_SHIFT, true);
        MouseInput(WM_LBUTTONDOWN, At(C, X, Y));
        MouseInput(WM_LBUTTONUP, At(C, X, Y));
        Pump();
        if (Shift) KeyInput(VK_SHIFT, false);
        Pump();
        ResetDoubleClick();
    }
    void SetUp() override {
        UiTest::SetUp();
        SetClipboardStore(std::make_unique<TMemoryClipboardStore>());
    }
};

}  // namespace uitest
