// What the tests of the Windows back end share.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "platform/automation.h"

namespace tavrin_test {

// A value as "kind:content" ("int64:-5", "text:E:", "null", "object"), or the error the
// action raised as "error NUMBER DESCRIPTION" (the description only when the program's own
// description of the number is not it).
std::string outcome(const std::function<platform::Value()>& action);

// The error `action` raised; a failure when it raised none.
platform::Error error_of(const std::function<void()>& action);

// Sets the thread's error object with a description, as a failing COM object does.
void set_error_info(const wchar_t* description);

}  // namespace tavrin_test
