// What the forms run time does around a handler, the same on every platform.
#pragma once

#include <optional>

#include "platform/error.h"
#include "platform/forms.h"

namespace platform {

// The error for the exception being handled (call it inside a catch): an Error as it is,
// memory exhaustion and anything else turned into errors of their own.
Error current_error() noexcept;

// Runs a click handler. Whatever leaves it comes back as an error for the report: errors
// as they are, memory exhaustion and anything else turned into errors of their own.
std::optional<Error> run_handler(ClickHandler handler, Runtime& runtime, Form& form) noexcept;

// Dispatches the clicks of one form: runs the handler bound to a control, one click at a time
// (a click that arrives while a handler is still running is dropped, whatever the platform
// pumps meanwhile), and returns the error to report, if any.
class ClickDispatcher {
  public:
    explicit ClickDispatcher(const FormDescription& form) : form_(form) {}

    std::optional<Error> click(ControlId control, Runtime& runtime, Form& form);

  private:
    const FormDescription& form_;
    bool in_handler_ = false;
};

// The text of the top-level error report for `error`.
Text error_report_text(const Error& error);

}  // namespace platform
