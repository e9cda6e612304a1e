// The services a click handler gets from the forms run time.
#pragma once

#include "platform/automation.h"
#include "platform/text.h"

namespace platform {

using ControlId = int;

// Message box styles the program uses.
namespace styles {
inline constexpr int kOkOnly = 0;
inline constexpr int kInformation = 64;
inline constexpr int kCritical = 16;
}  // namespace styles

class Runtime {
  public:
    // An object bound through a moniker (a path), with no class name.
    virtual Object get_object(TextView moniker) = 0;
    // A new object of a registered class, on this machine.
    virtual Object create_object(TextView class_name) = 0;
    // A modal message box; returns when the user dismisses it.
    virtual void message_box(TextView prompt, int style, TextView title) = 0;

  protected:
    ~Runtime() = default;
};

// The live window a handler belongs to.
class Form {
  public:
    // Replaces the whole text of a control.
    virtual void set_text(ControlId control, TextView text) = 0;

  protected:
    ~Form() = default;
};

}  // namespace platform
