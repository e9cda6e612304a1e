// The host tests' data files, and a scripted machine for the click: Form1 on a form that
// records what it is shown, with objects that answer from a list of disks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "drive_report/drive_report.h"
#include "resources/strings.h"
#include "shell/form1.h"

namespace testing_support {

using platform::Object;
using platform::Text;
using platform::TextView;
using platform::Value;

inline std::string to_utf8(TextView text) {
    const std::u8string bytes = std::filesystem::path(text).u8string();
    return std::string(bytes.begin(), bytes.end());
}

// The number of the error `action` raises, 0 for none; its description must name `named`.
inline std::int32_t error_of(const std::function<void()>& action, const std::string& named = "") {
    try {
        action();
    } catch (const platform::Error& error) {
        EXPECT_NE(to_utf8(error.description()).find(named), std::string::npos) << named;
        EXPECT_FALSE(error.description().empty());
        return error.number();
    }
    return 0;
}

// The lines of a data file of the tests, without blank lines and "# " comments.
inline std::vector<std::string> lines_of(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(' ') != line.npos && line != "#" && !line.starts_with("# ")) {
            lines.push_back(line);
        }
    }
    return lines;
}

// A text of the program's, exactly as users see it and rely on it, by its name in texts.txt.
inline std::string text_named(const std::string& name) {
    for (const std::string& line : lines_of(TAVRIN_TEST_DATA "/texts.txt")) {
        if (line.starts_with(name + " ")) {
            return line.substr(line.find_last_of(' ') + 1);
        }
    }
    throw std::runtime_error("no text " + name + " in texts.txt");
}

// The rows of tests/data/form1_layout.txt, as numbers.
inline std::vector<std::vector<int>> layout_rows() {
    std::vector<std::vector<int>> rows;
    for (const std::string& line : lines_of(TAVRIN_TEST_DATA "/form1_layout.txt")) {
        std::istringstream numbers(line);
        rows.emplace_back(std::istream_iterator<int>(numbers), std::istream_iterator<int>());
    }
    return rows;
}

struct Disk {
    std::u16string id;
    // IsReady's answer: "yes", "no", "null", "gone" (yes, then pulled before the serial read),
    // or else that text.
    std::string ready;
    std::int64_t serial = 0;
};

// Disks written "E:yes:-1056969216 F:no:2" (identifier, readiness, serial), in query order.
inline std::vector<Disk> disks_from(const std::string& spec) {
    static const std::regex disk(R"((\S+?:)(\S*):(-?\d+))");
    std::vector<Disk> disks;
    for (std::sregex_iterator m(spec.begin(), spec.end(), disk), end; m != end; ++m) {
        const std::string id = (*m)[1];
        disks.push_back({Text(id.begin(), id.end()), (*m)[2], std::stoll((*m)[3])});
    }
    return disks;
}

// Form1 on a form that records what it shows: a space before each text given to Text1 (CR LF
// written "\r\n"), "notice", "error NUMBER" for a well-formed error report that closed the
// form, or "another box". Its objects are scripted, or else the ones given.
struct ScriptedMachine : platform::Form {
    static constexpr std::int32_t kFailure = -2147217407;

    explicit ScriptedMachine(std::optional<platform::ObjectSource> objects = {})
        : Form(shell::kProject,
               objects ? *objects
                       : platform::ObjectSource{
                             [this](TextView m) { return open("GetObject", m); },
                             [this](TextView c) { return open("CreateObject", c); }}) {}

    std::vector<Disk> disks;
    std::optional<int> fail_at;  // the operation, counted from 0, that raises `failure`
    std::function<void()> failure = [] { throw platform::Error(kFailure, u"scripted failure"); };
    // Every operation and release in order: "#1.ExecQuery(Select ...) -> #2", "~#2".
    std::vector<std::string> log;
    int operations = 0;
    int live_objects = 0;
    std::string shown;
    bool unloaded = false;

    void message_box(TextView prompt, int style, TextView title) override {
        static const std::regex report(
            R"(运行时错误 (-?\d+) \(0x([0-9A-F]{8})\)：\r\n\r\n[^\r\n]+\r\n\r\n程序将关闭。)");
        std::smatch m;
        const std::string text = to_utf8(prompt);
        if (style == platform::styles::kCritical) {  // the error report: not an operation
            const bool well_formed =
                std::regex_match(text, m, report) && title == strings::kProjectName &&
                std::stoul(m[2], nullptr, 16) == static_cast<std::uint32_t>(std::stol(m[1]));
            shown += well_formed ? " error " + m[1].str() : " another box";
            return;
        }
        operation("MsgBox");
        const bool notice = prompt == strings::kNoDrivePrompt && title == strings::kNoDriveTitle &&
                            style == platform::styles::kInformation;
        shown += notice ? " notice" : " another box";
    }
    void set_control_text(const platform::Control& control, TextView text) override {
        operation("SetText(" + to_utf8(control.name) + ")");
        const std::string escaped =
            std::regex_replace(to_utf8(text), std::regex("\r\n"), R"(\r\n)");
        shown += control.name == u"Text1" ? " " + escaped : " another control";
    }
    void unload() override { unloaded = true; }

    Object open(const std::string& call, TextView name) {
        operation(call + "(" + to_utf8(name) + ")");
        return make();
    }
    void operation(std::string entry) {
        log.push_back(std::move(entry));
        if (fail_at == operations++) {
            failure();
        }
    }
    Object make(std::u16string argument = {});
    // Clicks Command1 once, as the run time does: what it showed.
    std::string click() {
        Form::click(description().controls.front());
        EXPECT_EQ(unloaded, exit_status() == 1) << "the form stays after the report, or goes";
        return shown.substr(std::min<std::size_t>(shown.size(), 1));
    }
    int next_id = 1;
};

// Any object: members are answered by name; a call on the wrong object shows only in the log.
struct ScriptedObject : platform::Dispatch {
    ScriptedObject(ScriptedMachine& machine, int id, Text argument)
        : machine_(machine), name_(std::to_string(id)), argument_(std::move(argument)) {
        name_.insert(name_.begin(), '#');  // not "#" + ...: GCC 12 warns on that falsely
        ++machine_.live_objects;
    }
    ~ScriptedObject() override {
        --machine_.live_objects;
        machine_.log.push_back("~" + name_);
    }

    Value invoke(TextView member, std::span<const Value> args) override {
        std::string call = name_ + "." + to_utf8(member) + "(";
        for (const Value& arg : args) {
            call += to_utf8(arg.text());
        }
        machine_.operation(call + ")");
        if (member == u"ExecQuery" || member == u"GetDrive") {
            return machine_.make(member == u"GetDrive" ? args[0].text() : Text());
        }
        if (member == u"DeviceID") {
            return argument_;
        }
        const auto disk = std::find_if(machine_.disks.begin(), machine_.disks.end(),
                                       [&](const Disk& d) { return d.id == argument_; });
        if (disk == machine_.disks.end() || (member == u"SerialNumber" && disk->ready == "gone")) {
            throw platform::Error(platform::codes::kDeviceUnavailable, u"device unavailable");
        }
        if (member == u"SerialNumber") {
            return disk->serial;
        }
        if (disk->ready == "null") {
            return platform::Null{};
        }
        return disk->ready == "yes" || disk->ready == "no" || disk->ready == "gone"
                   ? Value(disk->ready != "no")
                   : Value(Text(disk->ready.begin(), disk->ready.end()));
    }

    platform::Enumerator enumerate() override {
        machine_.operation(name_ + ".Enumerate");
        return [this, at = std::size_t{0}](Value& out) mutable {
            machine_.operation(name_ + ".Next");
            if (at == machine_.disks.size()) {
                return false;
            }
            out = machine_.make(machine_.disks[at++].id);
            return true;
        };
    }

    ScriptedMachine& machine_;
    std::string name_;
    Text argument_;
};

inline Object ScriptedMachine::make(std::u16string argument) {
    const int id = next_id++;
    log.back() += " -> #" + std::to_string(id);
    return Object(std::make_unique<ScriptedObject>(*this, id, std::move(argument)));
}

}  // namespace testing_support
