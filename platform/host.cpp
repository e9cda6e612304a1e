// What Windows supplies itself and the Linux run time supplies here: failure descriptions (the
// run time's table) and the readiness boolean.
#include "platform/automation.h"

namespace platform {

Text describe(std::int32_t code) {
    return own_description(code).value_or(unknown_failure(code));
}

// Readiness arrives as a boolean from udev: null (and empty) is false, anything else a type
// mismatch.
bool to_bool(const Value& value) {
    if (const bool* ready = std::get_if<bool>(&value.storage())) {
        return *ready;
    }
    if (!std::holds_alternative<Null>(value.storage()) &&
        !std::holds_alternative<std::monostate>(value.storage())) {
        raise(codes::kTypeMismatch);
    }
    return false;
}

}  // namespace platform
