// Scripted stand-ins for the management service and the file-system object: a machine with
// the disks a test describes, a log of every operation the click makes on them, a count of
// the objects alive, and a fault that can be injected at any operation.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/runtime.h"

namespace testing_support {

// One removable logical disk as the scripted machine reports it. Each value is handed out
// as a fresh copy on every read.
struct Disk {
    std::u16string device_id;
    bool ready = true;
    std::int64_t serial = 0;
    // Overrides for the raw answers, to test the conversions.
    std::optional<std::u16string> device_id_text_override{};
    enum class Answer { Normal, Null, Text, Double } ready_answer = Answer::Normal;
};

class ScriptedMachine : public platform::Runtime, public platform::Form {
  public:
    std::vector<Disk> disks;

    // The operation (counted from 0 over the whole life of the machine) that fails, with
    // the error it raises.
    std::optional<int> fail_at;
    std::int32_t fail_number = static_cast<std::int32_t>(0x80041001);
    std::u16string fail_description = u"scripted failure";

    // Every operation, in order, e.g. "#1.ExecQuery(Select ...)" or "~#4" for a release.
    std::vector<std::string> log;
    // Called after each operation is logged, to change the machine mid-click.
    std::function<void(const std::string&)> on_operation;
    int operations = 0;
    static int live_objects;

    std::optional<std::u16string> text1;  // what the form's result box shows
    int notices = 0;
    std::u16string notice_prompt, notice_title;
    int notice_style = -1;

    // platform::Runtime
    platform::Object get_object(platform::TextView moniker) override;
    platform::Object create_object(platform::TextView class_name) override;
    void message_box(platform::TextView prompt, int style, platform::TextView title) override;
    // platform::Form
    void set_text(platform::ControlId control, platform::TextView text) override;

    // Counts an operation and raises the injected fault when its turn has come.
    void operation(std::string entry);
    platform::Object make(int kind, std::u16string argument = {});

  private:
    int next_id_ = 1;
};

}  // namespace testing_support
