// Texts as the program handles them: UTF-16, the form Windows and Qt keep them in.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace platform {

using Text = std::u16string;
using TextView = std::u16string_view;

constexpr char16_t ascii_lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Whether two texts are the same but for the case of ASCII letters: how names of objects,
// members and queries are matched, as late-bound callers expect.
constexpr bool equal_ignoring_case(TextView a, TextView b) {
    return std::ranges::equal(a, b, {}, ascii_lower, ascii_lower);
}

}  // namespace platform
