// The message of the error an action raises, for tests that compare it with the text a user sees.
#pragma once

#include <functional>
#include <string>

#include "framework/rtl/Exceptions.h"

namespace rtltest {

// Empty when the action raises nothing.
inline std::string MessageOf(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const rtl::Exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace rtltest
