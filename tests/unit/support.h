// What the host tests share: their data files, and a scripted machine for the click (stand-ins
// for the management service and the file-system object answering for the disks a test
// describes, a log of every operation and release, and a failure that can be injected at any
// operation; it is also the Runtime and the Form).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/runtime.h"

namespace testing_support {

struct Disk {
    std::u16string id;
    std::string ready;  // IsReady's answer: "yes", "no", "null", or any other text as a text
    std::int64_t serial = 0;
};

// The lines of a data file of the tests, without blank lines and comments ("# ..." lines).
std::vector<std::string> lines_of(const std::string& path);

// The rows of tests/data/form1_layout.txt: dpi, client width and height, Command1's and
// Text1's left, top, width and height, Text1's font height.
std::vector<std::vector<int>> layout_rows();

// Disks written "E:yes:-1056969216 F:no:2" (identifier with its colon, IsReady's answer,
// serial), in the order the query yields them.
std::vector<Disk> disks_from(const std::string& spec);

class ScriptedMachine : public platform::Runtime, public platform::Form {
  public:
    std::vector<Disk> disks;
    std::optional<int> fail_at;  // the operation, counted from 0, that raises kFailure
    static constexpr std::int32_t kFailure = -2147217407;
    // Every operation and release in order: "#1.ExecQuery(Select ...) -> #2", "~#2".
    std::vector<std::string> log;
    std::function<void(const std::string& operation)> on_operation;  // to change the world
    int operations = 0;
    int live_objects = 0;

    std::optional<std::u16string> text1;  // what the result box shows
    std::vector<std::u16string> notices;  // "prompt|title|style" of each message box

    platform::Object get_object(platform::TextView moniker) override;
    platform::Object create_object(platform::TextView class_name) override;
    void message_box(platform::TextView prompt, int style, platform::TextView title) override;
    void set_text(platform::ControlId control, platform::TextView text) override;

    void operation(std::string entry);
    platform::Object make(int kind, std::u16string argument = {});

  private:
    int next_id_ = 1;
};

}  // namespace testing_support
