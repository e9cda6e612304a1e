// Helpers shared by the tests of the Windows back end.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/automation.h"
#include "platform/automation_win.h"
#include "platform/text.h"

namespace tavrin_test {

// A value as "kind:content", e.g. "int64:-5", "text:C:", "null", "object"; for comparisons
// with readable failures.
std::string show(const platform::Value& value);

// An HRESULT as the signed number an error carries.
constexpr std::int32_t number(HRESULT hr) {
    return static_cast<std::int32_t>(hr);
}

// An error number as "-2147352570 (0x80020006)", for failure messages and the report.
std::string show_number(std::int32_t number);

// Runs `action`, which must raise; gives the error.
template <class Action>
platform::Error error_of(Action action) {
    try {
        action();
    } catch (const platform::Error& error) {
        return error;
    }
    ADD_FAILURE() << "no error was raised";
    return platform::Error(0, u"");
}

// The drive object for `device_id`, through a new file-system object.
inline platform::Object drive_of(platform::TextView device_id) {
    return platform::com_create_object(u"Scripting.FileSystemObject")
        .call(u"GetDrive", platform::Text(device_id))
        .object();
}

}  // namespace tavrin_test
