// Qt's key and mouse vocabulary turned into ours: virtual keys, 1251 characters, buttons.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QString>
#include <Qt>

namespace qtback {

// The virtual key of a Qt key. Letters of the Russian layout give the key of the same place on the
// Latin layout (Ф is 'A'), as keyboard shortcuts expect; 0 when there is none.
uint16_t VirtualKeyOf(int QtKey, Qt::KeyboardModifiers Modifiers);

// The characters a key press types, in 1251; characters with no 1251 form are refused (left out).
// With Ctrl and without Alt a letter types its control character (Ctrl+A is 1), whatever the layout.
std::string CharsOfKey(uint16_t VirtualKey, const QString& Text, Qt::KeyboardModifiers Modifiers);

// A character typed through an input method (dead keys, compose): 1251 or nothing.
std::string AnsiOfText(const QString& Text);

// The WM_*BUTTONDOWN message of a button (Down) or its WM_*BUTTONUP; 0 for other buttons.
unsigned ButtonMessage(Qt::MouseButton Button, bool Down);

}  // namespace qtback
