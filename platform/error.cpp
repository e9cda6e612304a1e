#include "platform/error.h"

#include "resources/strings.h"

namespace platform {

void raise(std::int32_t code) {
    throw Error(code, describe(code));
}

Text format_hex32(std::uint32_t number) {
    Text text;
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += u"0123456789ABCDEF"[(number >> shift) & 0xF];
    }
    return text;
}

std::optional<Text> own_description(std::int32_t code) {
    for (const strings::FailureText& entry : strings::kFailureTexts) {
        if (entry.code == static_cast<std::uint32_t>(code)) {
            return Text(entry.text);
        }
    }
    return std::nullopt;
}

Text unknown_failure(std::int32_t code) {
    return Text(strings::kUnknownFailure) + format_hex32(static_cast<std::uint32_t>(code));
}

}  // namespace platform
