#include "platform/events.h"

#include <new>

#include "platform/automation.h"
#include "resources/strings.h"

namespace platform {

namespace {

// An error to report when even describing one fails.
Error fallback_error(std::int32_t code) noexcept {
    try {
        return Error(code, describe(code));
    } catch (...) {
        return Error(code, Text());
    }
}

}  // namespace

Error current_error() noexcept {
    try {
        throw;
    } catch (const Error& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return fallback_error(codes::kOutOfMemory);
    } catch (...) {
        return fallback_error(codes::kUnexpected);
    }
}

std::optional<Error> run_handler(ClickHandler handler, Runtime& runtime, Form& form) noexcept {
    try {
        handler(runtime, form);
        return std::nullopt;
    } catch (...) {
        return current_error();
    }
}

std::optional<Error> ClickDispatcher::click(ControlId control, Runtime& runtime, Form& form) {
    if (in_handler_) {
        return std::nullopt;
    }
    for (const ClickBinding& binding : form_.clicks) {
        if (binding.control == control) {
            in_handler_ = true;
            std::optional<Error> error = run_handler(binding.handler, runtime, form);
            in_handler_ = false;
            return error;
        }
    }
    return std::nullopt;
}

Text error_report_text(const Error& error) {
    Text text(strings::kErrorReportHeading);
    text += to_decimal(Value(std::int64_t{error.number()}));
    text += u" (0x";
    text += hex32(static_cast<std::uint32_t>(error.number()));
    text += u")：\r\n\r\n";
    text += error.description();
    text += u"\r\n\r\n";
    text += strings::kErrorReportFooter;
    return text;
}

}  // namespace platform
