// The host tests' data files, and a scripted machine (Runtime and Form) for the click.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "drive_report/drive_report.h"
#include "platform/automation.h"
#include "platform/runtime.h"
#include "resources/strings.h"
#include "shell/form1.h"

namespace testing_support {

using platform::Object;
using platform::Text;
using platform::TextView;
using platform::to_utf8;
using platform::Value;

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

    Object get_object(TextView m) override { return open("GetObject", m); }
    Object create_object(TextView c) override { return open("CreateObject", c); }
    void message_box(TextView prompt, int style, TextView title) override {
        operation("MsgBox");
        const bool notice = prompt == strings::kNoDrivePrompt && title == strings::kNoDriveTitle &&
                            style == platform::styles::kInformation;
        shown += notice ? " notice" : " another box";
    }
    void set_text(platform::ControlId control, TextView text) override {
        operation("SetText(" + std::to_string(control) + ")");
        const std::string escaped =
            std::regex_replace(to_utf8(text), std::regex("\r\n"), R"(\r\n)");
        shown += control == shell::kText1 ? " " + escaped : " another control";
    }

    Object open(const std::string& call, TextView name) {
        operation(call + "(" + to_utf8(name) + ")");
        return make();
    }
    void operation(std::string entry) {
        log.push_back(std::move(entry));
        if (fail_at == operations++) {
            throw platform::Error(kFailure, u"scripted failure");
        }
    }
    Object make(std::u16string argument = {});
    // Clicks Command1 once: what it showed, then "error NUMBER" if it raised an error.
    std::string click() {
        try {
            drive_report::Command1_Click(*this, *this);
        } catch (const platform::Error& e) {
            shown += " error " + std::to_string(e.number());
        }
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

    std::unique_ptr<platform::Enumerator> enumerate() override {
        machine_.operation(name_ + ".Enumerate");
        struct Each : platform::Enumerator {
            Each(ScriptedMachine& m, std::string o) : machine(m), owner(std::move(o)) {}
            bool next(Value& out) override {
                machine.operation(owner + ".Next");
                if (at == machine.disks.size()) {
                    return false;
                }
                out = machine.make(machine.disks[at++].id);
                return true;
            }
            ScriptedMachine& machine;
            std::string owner;
            std::size_t at = 0;
        };
        return std::make_unique<Each>(machine_, name_);
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
