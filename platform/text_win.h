// UTF-16 texts as the Windows API takes them.
#pragma once

#include <string>

#include "platform/text.h"

namespace platform {

// A null-terminated copy for calls that take a C string.
inline std::wstring wide(TextView text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline Text from_wide(const wchar_t* text, std::size_t length) {
    return Text(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace platform
