#include "platform/events.h"

#include <cstdio>
#include <new>

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

std::optional<Error> run_handler(ClickHandler handler, Runtime& runtime, Form& form) noexcept {
    try {
        handler(runtime, form);
        return std::nullopt;
    } catch (const Error& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return fallback_error(codes::kOutOfMemory);
    } catch (...) {
        return fallback_error(codes::kUnexpected);
    }
}

Text error_report_text(const Error& error) {
    char numbers[48];
    std::snprintf(numbers, sizeof numbers, "%ld (0x%08lX)", static_cast<long>(error.number()),
                  static_cast<unsigned long>(static_cast<std::uint32_t>(error.number())));
    Text text(strings::kErrorReportHeading);
    for (const char* c = numbers; *c; ++c) {
        text += static_cast<char16_t>(*c);
    }
    text += u"：\r\n\r\n";
    text += error.description();
    text += u"\r\n\r\n";
    text += strings::kErrorReportFooter;
    return text;
}

}  // namespace platform
