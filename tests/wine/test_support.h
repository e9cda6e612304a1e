// Helpers shared by the tests of the Windows back end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/automation.h"
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

}  // namespace tavrin_test
