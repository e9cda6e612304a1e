// The host tests' data files, and a scripted machine for the click: Form1 on a form that keeps
// what it shows, with objects that answer from a list of disks.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <sstream>

#include "shell/form1.h"

namespace testing_support {

using namespace platform;

inline std::string to_utf8(TextView text) {
    const std::u8string bytes = std::filesystem::path(text).u8string();
    return std::string(bytes.begin(), bytes.end());
}

// The number of the error `action` raises, 0 for none; its description must name `named`.
inline std::int32_t error_of(const std::function<void()>& action, const std::string& named = "") {
    try {
        action();
    } catch (const Error& error) {
        EXPECT_NE(to_utf8(error.description()).find(named), std::string::npos) << named;
        return error.number();
    }
    return 0;
}

// The lines of a data file of the tests, without blank lines and "# " comments.
inline std::vector<std::string> lines_of(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(' ') != line.npos && line != "#" && !line.starts_with("# "))
            lines.push_back(line);
    }
    return lines;
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

// An answer as click_worlds.txt writes it.
inline Value answer(const std::string& word) {
    return word == "yes" || word == "no"                  ? Value(word == "yes")
           : word == "null"                               ? Value(Null{})
           : word == "empty"                              ? Value()
           : word == "oom"                                ? throw std::bad_alloc()
           : word == "crash"                              ? throw std::logic_error(word)
           : std::regex_match(word, std::regex("-?\\d+")) ? Value(std::int64_t{std::stoll(word)})
                                                          : Value(Text(word.begin(), word.end()));
}

// Form1 on a form that keeps what it shows, as click_worlds.txt writes it, with the objects
// given or else scripted ones that answer from `disks` (written as there) and log every call.
struct ScriptedMachine : Form {
    explicit ScriptedMachine(std::optional<ObjectSource> objects = {})
        : Form(shell::kProject, objects.value_or(scripted(this))) {}
    static ObjectSource scripted(ScriptedMachine* machine) {
        return {[machine](TextView m) { return machine->open("GetObject", m); },
                [machine](TextView c) { return machine->open("CreateObject", c); }};
    }

    std::string disks, shown;
    std::optional<int> fail_at;  // the operation, counted from 0, that fails
    // Every operation and release in order: "#1.ExecQuery(Select ...) -> #2", "~#2".
    std::vector<std::string> log;
    int operations = 0, live_objects = 0, made = 0;

    void message_box(TextView prompt, int style, TextView title) override {
        show(to_utf8(title) + "|" + std::to_string(style), prompt);
    }
    void set_control_text(const Control& control, TextView text) override {
        operation("SetText(" + to_utf8(control.name) + ")");
        show(to_utf8(control.name), text);
    }
    void unload() override { shown += " closed " + std::to_string(exit_status()); }
    void show(const std::string& what, TextView text) {
        shown += " " + what + "|" + std::regex_replace(to_utf8(text), std::regex("\r\n"), "\\r\\n");
    }
    std::string click() {
        Form::click(description().controls.front());
        return shown.substr(std::min<std::size_t>(shown.size(), 1));
    }

    void operation(std::string entry) {
        log.push_back(std::move(entry));
        if (fail_at == operations++)
            throw Error(-2147217407, u"scripted failure");
    }
    Object open(const std::string& call, TextView name) {
        operation(call + "(" + to_utf8(name) + ")");
        return Object(std::make_unique<Scripted>(*this, ""));
    }

    // Any object: members answer for the disk its argument names; a collection yields disks.
    struct Scripted : Dispatch {
        Scripted(ScriptedMachine& machine, const std::string& argument)
            : machine(machine), name(std::to_string(++machine.made)), argument(argument) {
            machine.log.back() += " -> #" + name;
            ++machine.live_objects;
        }
        ~Scripted() override {
            --machine.live_objects;
            machine.log.push_back("~#" + name);
        }

        Value invoke(TextView member, std::span<const Value> args) override {
            const std::string given = args.empty() ? "" : to_utf8(args[0].text());
            machine.operation("#" + name + "." + to_utf8(member) + "(" + given + ")");
            if (!args.empty())  // ExecQuery, GetDrive
                return Object(std::make_unique<Scripted>(machine, given));
            std::smatch disk;  // none: the answers of a disk that is not there
            std::regex_search(machine.disks, disk, std::regex(argument + "(\\S+):(\\S+)"));
            return answer(member == u"DeviceID" ? argument : disk[member == u"IsReady" ? 1 : 2]);
        }
        Enumerator enumerate() override {
            machine.operation("#" + name + ".Enumerate");
            static const std::regex id(R"((\S+?:)\S+:\S+)");
            return [this, at = std::sregex_iterator(machine.disks.begin(), machine.disks.end(),
                                                    id)](Value& out) mutable {
                machine.operation("#" + name + ".Next");
                if (at == std::sregex_iterator())
                    return false;
                out = Object(std::make_unique<Scripted>(machine, (*at++)[1]));
                return true;
            };
        }

        ScriptedMachine& machine;
        std::string name, argument;
    };
};

}  // namespace testing_support
