// Form1, the program's one window, and the project header that starts it.
#pragma once

#include "platform/forms.h"

namespace shell {

inline constexpr platform::ControlId kCommand1 = 101;
inline constexpr platform::ControlId kText1 = 102;

extern const platform::FormDescription kForm1;
extern const platform::ProjectHeader kProject;

}  // namespace shell
