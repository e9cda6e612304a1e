// What the forms run time does around a handler, the same on every platform.
#pragma once

#include <optional>

#include "platform/error.h"
#include "platform/forms.h"

namespace platform {

// Runs a click handler. Whatever leaves it comes back as an error for the report: errors
// as they are, memory exhaustion and anything else turned into errors of their own.
std::optional<Error> run_handler(ClickHandler handler, Runtime& runtime, Form& form) noexcept;

// The text of the top-level error report for `error`.
Text error_report_text(const Error& error);

}  // namespace platform
