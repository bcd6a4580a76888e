// What the forms built in code share: their texts written in UTF-8 and controls placed on a parent.
#pragma once

#include <string_view>

#include "framework/rtl/Text.h"
#include "framework/ui/Controls.h"

namespace app {

// A text of the program as the forms hold it (code page 1251).
inline rtl::AnsiString T(const char8_t* Text) { return rtl::UTF8ToAnsi(std::u8string_view(Text)); }

// A control owned by and placed on Parent.
template <class TControlClass>
TControlClass* Make(ui::TWinControl* Parent, const char* Name, int Left, int Top, int Width, int Height) {
    TControlClass* c = rtl::Create<TControlClass>(Parent);
    c->SetName(Name);
    c->SetBounds(Left, Top, Width, Height);
    c->SetParent(Parent);
    return c;
}

}  // namespace app
