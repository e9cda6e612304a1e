// Texts as the program handles them: UTF-16, the form Windows and Qt keep them in.
#pragma once

#include <string>
#include <string_view>

namespace platform {

using Text = std::u16string;
using TextView = std::u16string_view;

// For diagnostics and tests only: the program itself never leaves UTF-16.
std::string to_utf8(TextView text);

}  // namespace platform
