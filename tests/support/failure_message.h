#pragma once

#include <functional>
#include <string>

#include "util/error.h"

// The message of the Error the action throws, or "(no error)" when it throws
// none; any other exception passes through to fail the test.
inline std::u16string failure_message(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.message();
    }
    return u"(no error)";
}
