// The host tests' data files, and a scripted machine (Runtime and Form) for the click.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/runtime.h"

namespace testing_support {

// The number of the error `action` raises, 0 for none; its description must name `named`.
inline std::int32_t error_of(const std::function<void()>& action, const std::string& named = "") {
    try {
        action();
    } catch (const platform::Error& error) {
        EXPECT_NE(platform::to_utf8(error.description()).find(named), std::string::npos) << named;
        EXPECT_FALSE(error.description().empty());
        return error.number();
    }
    return 0;
}

// The lines of a data file of the tests, without blank lines and "# " comments.
std::vector<std::string> lines_of(const std::string& path);

// The rows of tests/data/form1_layout.txt, as numbers.
std::vector<std::vector<int>> layout_rows();

struct Disk {
    std::u16string id;
    // IsReady's answer: "yes", "no", "null", "gone" (yes, then pulled before the serial read),
    // or else that text.
    std::string ready;
    std::int64_t serial = 0;
};

// Disks written "E:yes:-1056969216 F:no:2" (identifier, readiness, serial), in query order.
std::vector<Disk> disks_from(const std::string& spec);

struct ScriptedMachine : platform::Runtime, platform::Form {
    static constexpr std::int32_t kFailure = -2147217407;

    std::vector<Disk> disks;
    std::optional<int> fail_at;  // the operation, counted from 0, that raises kFailure
    // Every operation and release in order: "#1.ExecQuery(Select ...) -> #2", "~#2".
    std::vector<std::string> log;
    int operations = 0;
    int live_objects = 0;
    // A space before each text given to Text1 (CR LF written "\r\n"), "notice" or "another box".
    std::string shown;

    platform::Object get_object(platform::TextView m) override { return open("GetObject", m); }
    platform::Object create_object(platform::TextView c) override {
        return open("CreateObject", c);
    }
    void message_box(platform::TextView prompt, int style, platform::TextView title) override;
    void set_text(platform::ControlId control, platform::TextView text) override;

    platform::Object open(const std::string& call, platform::TextView name);
    void operation(std::string entry);
    platform::Object make(std::u16string argument = {});
    // Clicks Command1 once: what it showed, then "error NUMBER" if it raised an error.
    std::string click();
    int next_id = 1;
};

}  // namespace testing_support
