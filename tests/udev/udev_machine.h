// A run time for the real click whose objects are the udev back end's, each wrapped so a test
// can act (pull a stick, say) just before any member call, and a form that records what it
// is shown.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/runtime.h"

namespace testing_support {

class UdevMachine : public platform::Runtime, public platform::Form {
  public:
    // Called with the member's name before every call on an object of the back end.
    std::function<void(platform::TextView member)> before_call;

    std::optional<std::u16string> text1;  // what the result box shows
    std::vector<std::u16string> notices;  // prompts of the message boxes, in order

    platform::Object get_object(platform::TextView moniker) override;
    platform::Object create_object(platform::TextView class_name) override;
    void message_box(platform::TextView prompt, int style, platform::TextView title) override;
    void set_text(platform::ControlId control, platform::TextView text) override;

    // Clicks Command1 on a fresh form: what the result box shows, or the notice as
    // "notice: <prompt>".
    std::u16string click();
};

}  // namespace testing_support
