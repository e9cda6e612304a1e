// Form1, the program's one window, and the project header that starts it.
#pragma once

#include "platform/forms.h"

namespace shell {

extern const platform::ProjectHeader kProject;

}  // namespace shell
