// Checks that an action raises: a failed assertion of a given unit, or an error with a given text.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "framework/rtl/Exceptions.h"
#include "framework/rtl/Types.h"

namespace accesstest {

inline void ExpectAssertion(const std::function<void()>& action, const rtl::AnsiString& text,
                            const rtl::AnsiString& unit = "CRAccess") {
    try {
        action();
        FAIL() << "no assertion for " << text;
    } catch (const rtl::EAssertionFailed& e) {
        EXPECT_EQ(e.Text(), text);
        EXPECT_EQ(e.Unit(), unit);
    }
}

inline void ExpectMessage(const std::function<void()>& action, const char* message) {
    try {
        action();
        FAIL() << "no error " << message;
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

}  // namespace accesstest
