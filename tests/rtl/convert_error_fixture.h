// The message of the conversion error an action raises, or "<no error>".
#pragma once

#include <string>

#include "framework/rtl/Exceptions.h"

namespace rtltest {

template <class F>
std::string ConvertMessage(F&& f) {
    try {
        f();
    } catch (const rtl::EConvertError& e) {
        return e.Message();
    }
    return "<no error>";
}

}  // namespace rtltest
