#include "platform/forms.h"

#include <new>

#include "resources/strings.h"

namespace platform {

void Form::set_text(TextView name, TextView text) {
    for (const Control& control : description().controls) {
        if (control.name == name) {
            return set_control_text(control, text);
        }
    }
    raise(codes::kInvalidArgument);
}

void Form::click(const Control& control) {
    if (in_handler_ || control.click == nullptr) {
        return;  // one click at a time, whatever the platform pumps meanwhile
    }
    in_handler_ = true;
    try {
        control.click(*this);
    } catch (...) {
        exit_status_ = 1;
        message_box(error_report(), styles::kCritical, header_.project_name);
        unload();
    }
    in_handler_ = false;
}

Text error_report() {
    std::int32_t number = codes::kUnexpected;
    std::optional<Text> description;
    try {
        throw;
    } catch (const Error& error) {
        number = error.number();
        description = error.description();
    } catch (const std::bad_alloc&) {
        number = codes::kOutOfMemory;
    } catch (...) {
    }
    Text text(strings::kErrorReportHeading);
    text += to_decimal(std::int64_t{number});
    text += u" (0x" + format_hex32(static_cast<std::uint32_t>(number)) + u")：\r\n\r\n";
    text += description ? *description : describe(number);
    return text + u"\r\n\r\n" + Text(strings::kErrorReportFooter);
}

}  // namespace platform
