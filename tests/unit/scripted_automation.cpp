#include "scripted_automation.h"

#include "shell/form1.h"

namespace testing_support {

using platform::Object;
using platform::Text;
using platform::TextView;
using platform::Value;

int ScriptedMachine::live_objects = 0;

namespace {

enum Kind { kService, kCollection, kDisk, kFileSystem, kDrive };

std::string utf8(TextView text) {
    return platform::to_utf8(text);
}

std::string describe_arguments(std::span<const Value> args) {
    std::string out;
    for (const Value& arg : args) {
        if (!out.empty()) {
            out += ",";
        }
        if (const auto* text = std::get_if<Text>(&arg.storage())) {
            out += utf8(*text);
        } else {
            out += "?";
        }
    }
    return out;
}

class ScriptedObject;

class ScriptedEnumerator : public platform::Enumerator {
  public:
    ScriptedEnumerator(ScriptedMachine& machine, std::string owner)
        : machine_(machine), owner_(std::move(owner)) {}
    bool next(Value& out) override {
        machine_.operation(owner_ + ".Next");
        if (index_ >= machine_.disks.size()) {
            return false;
        }
        out = machine_.make(kDisk, machine_.disks[index_++].device_id);
        return true;
    }

  private:
    ScriptedMachine& machine_;
    std::string owner_;
    std::size_t index_ = 0;
};

class ScriptedObject : public platform::Dispatch {
  public:
    ScriptedObject(ScriptedMachine& machine, int kind, int id, Text argument)
        : machine_(machine), kind_(kind), argument_(std::move(argument)) {
        name_ = '#';
        name_ += std::to_string(id);
        ++ScriptedMachine::live_objects;
    }
    ~ScriptedObject() override {
        --ScriptedMachine::live_objects;
        machine_.log.push_back("~" + name_);
    }

    Value invoke(TextView member, std::span<const Value> args) override {
        machine_.operation(name_ + "." + utf8(member) + "(" + describe_arguments(args) + ")");
        if (kind_ == kService && member == u"ExecQuery" && args.size() == 1) {
            return machine_.make(kCollection, args[0].text());
        }
        if (kind_ == kDisk && member == u"DeviceID" && args.empty()) {
            const Disk& disk = find_disk();
            return disk.device_id_text_override ? Value(*disk.device_id_text_override)
                                                : Value(disk.device_id);
        }
        if (kind_ == kFileSystem && member == u"GetDrive" && args.size() == 1) {
            return machine_.make(kDrive, args[0].text());
        }
        if (kind_ == kDrive && member == u"IsReady" && args.empty()) {
            const Disk& disk = find_disk();
            switch (disk.ready_answer) {
                case Disk::Answer::Null:
                    return Value(platform::Null{});
                case Disk::Answer::Text:
                    return Value(Text(u"maybe"));
                case Disk::Answer::Double:
                    return Value(disk.ready ? 1.0 : 0.0);
                case Disk::Answer::Normal:
                    break;
            }
            return Value(disk.ready);
        }
        if (kind_ == kDrive && member == u"SerialNumber" && args.empty()) {
            return Value(find_disk().serial);
        }
        throw platform::Error(platform::codes::kUnknownName, u"no such member");
    }

    std::unique_ptr<platform::Enumerator> enumerate() override {
        machine_.operation(name_ + ".Enumerate");
        if (kind_ != kCollection) {
            throw platform::Error(platform::codes::kNotImplemented, u"not a collection");
        }
        return std::make_unique<ScriptedEnumerator>(machine_, name_);
    }

  private:
    // The disk this object stands for, looked up afresh: a disk may be pulled at any time.
    const Disk& find_disk() const {
        for (const Disk& disk : machine_.disks) {
            if (disk.device_id == argument_) {
                return disk;
            }
        }
        throw platform::Error(static_cast<std::int32_t>(0x800A0044), u"device unavailable");
    }

    ScriptedMachine& machine_;
    int kind_;
    std::string name_;
    Text argument_;
};

}  // namespace

void ScriptedMachine::operation(std::string entry) {
    log.push_back(std::move(entry));
    if (on_operation) {
        on_operation(log.back());
    }
    const int index = operations++;
    if (fail_at && *fail_at == index) {
        throw platform::Error(fail_number, fail_description);
    }
}

Object ScriptedMachine::make(int kind, std::u16string argument) {
    const int id = next_id_++;
    Object object(std::make_unique<ScriptedObject>(*this, kind, id, std::move(argument)));
    log.back() += " -> #" + std::to_string(id);
    return object;
}

Object ScriptedMachine::get_object(TextView moniker) {
    operation("GetObject(" + utf8(moniker) + ")");
    return make(kService);
}

Object ScriptedMachine::create_object(TextView class_name) {
    operation("CreateObject(" + utf8(class_name) + ")");
    return make(kFileSystem);
}

void ScriptedMachine::message_box(TextView prompt, int style, TextView title) {
    operation("MsgBox");
    ++notices;
    notice_prompt = Text(prompt);
    notice_title = Text(title);
    notice_style = style;
}

void ScriptedMachine::set_text(platform::ControlId control, TextView text) {
    operation("SetText(" + std::to_string(control) + ")");
    if (control != shell::kText1) {
        throw platform::Error(platform::codes::kUnexpected, u"no such control");
    }
    text1 = Text(text);
}

}  // namespace testing_support
