#include "support.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "drive_report/drive_report.h"
#include "resources/strings.h"
#include "shell/form1.h"

namespace testing_support {

using platform::Object;
using platform::Text;
using platform::TextView;
using platform::Value;

namespace {

std::string utf8(TextView text) {
    return platform::to_utf8(text);
}

// Any object of the conversation: members are answered by name, so a call on the wrong
// object shows in the log by its number only.
class ScriptedObject : public platform::Dispatch {
  public:
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
        std::string call = name_ + "." + utf8(member) + "(";
        for (const Value& arg : args) {
            call += utf8(arg.text());
        }
        machine_.operation(call + ")");
        if (member == u"ExecQuery" || member == u"GetDrive") {
            return machine_.make(member == u"GetDrive" ? args[0].text() : Text());
        }
        if (member == u"DeviceID") {
            return argument_;
        }
        // Looked up at each call: a disk may be pulled at any moment.
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
        class Each : public platform::Enumerator {
          public:
            Each(ScriptedMachine& machine, std::string owner) : machine_(machine), owner_(owner) {}
            bool next(Value& out) override {
                machine_.operation(owner_ + ".Next");
                if (next_ == machine_.disks.size()) {
                    return false;
                }
                out = machine_.make(machine_.disks[next_++].id);
                return true;
            }

          private:
            ScriptedMachine& machine_;
            std::string owner_;
            std::size_t next_ = 0;
        };
        return std::make_unique<Each>(machine_, name_);
    }

  private:
    ScriptedMachine& machine_;
    std::string name_;
    Text argument_;
};

}  // namespace

std::vector<std::string> lines_of(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(' ') != std::string::npos && line != "#" &&
            !line.starts_with("# ")) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::vector<int>> layout_rows() {
    std::vector<std::vector<int>> rows;
    for (const std::string& line : lines_of(TAVRIN_TEST_DATA "/form1_layout.txt")) {
        std::istringstream numbers(line);
        rows.emplace_back(std::istream_iterator<int>(numbers), std::istream_iterator<int>());
    }
    return rows;
}

std::vector<Disk> disks_from(const std::string& spec) {
    std::vector<Disk> disks;
    std::istringstream words(spec);
    for (std::string word; words >> word;) {
        const std::size_t serial = word.rfind(':');
        const std::size_t ready = word.rfind(':', serial - 1);
        disks.push_back({Text(word.begin(), word.begin() + ready + 1),
                         word.substr(ready + 1, serial - ready - 1),
                         std::stoll(word.substr(serial + 1))});
    }
    return disks;
}

void ScriptedMachine::operation(std::string entry) {
    log.push_back(std::move(entry));
    if (fail_at == operations++) {
        throw platform::Error(kFailure, u"scripted failure");
    }
}

Object ScriptedMachine::make(std::u16string argument) {
    const int id = next_id_++;
    log.back() += " -> #" + std::to_string(id);
    return Object(std::make_unique<ScriptedObject>(*this, id, std::move(argument)));
}

Object ScriptedMachine::get_object(TextView moniker) {
    operation("GetObject(" + utf8(moniker) + ")");
    return make();
}

Object ScriptedMachine::create_object(TextView class_name) {
    operation("CreateObject(" + utf8(class_name) + ")");
    return make();
}

void ScriptedMachine::message_box(TextView prompt, int style, TextView title) {
    operation("MsgBox");
    const bool notice = prompt == strings::kNoDrivePrompt && title == strings::kNoDriveTitle &&
                        style == platform::styles::kInformation;
    shown.push_back(notice ? "notice" : "another box");
}

void ScriptedMachine::set_text(platform::ControlId control, TextView text) {
    operation("SetText(" + std::to_string(control) + ")");
    std::string escaped = utf8(text);
    for (std::size_t at; (at = escaped.find("\r\n")) != std::string::npos;) {
        escaped.replace(at, 2, "\\r\\n");
    }
    shown.push_back(control == shell::kText1 ? escaped : "another control");
}

std::string ScriptedMachine::click() {
    try {
        drive_report::Command1_Click(*this, *this);
    } catch (const platform::Error& e) {
        shown.push_back("error " + std::to_string(e.number()));
    }
    // Joined with a space before each entry, so that an empty text shows too.
    std::string all;
    for (const std::string& entry : shown) {
        all += " " + entry;
    }
    return all.substr(std::min<std::size_t>(all.size(), 1));
}

}  // namespace testing_support
