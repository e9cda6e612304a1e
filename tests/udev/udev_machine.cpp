#include "udev_machine.h"

#include <memory>
#include <stdexcept>

#include "drive_report/drive_report.h"
#include "platform/automation_udev.h"
#include "shell/form1.h"

namespace testing_support {

namespace {

using platform::Object;
using platform::TextView;
using platform::Value;

Object spy(Object inner, UdevMachine& machine);

Value spy(Value value, UdevMachine& machine) {
    if (std::holds_alternative<Object>(value.storage())) {
        return spy(std::move(value).object(), machine);
    }
    return value;
}

class SpyElements final : public platform::Enumerator {
  public:
    SpyElements(Object::Elements elements, UdevMachine& machine)
        : elements_(std::move(elements)), machine_(machine) {}

    bool next(Value& out) override {
        if (!at_) {
            at_.emplace(elements_.begin());
        } else {
            ++*at_;
        }
        if (*at_ == std::default_sentinel) {
            return false;
        }
        out = spy(std::move(**at_), machine_);
        return true;
    }

  private:
    Object::Elements elements_;
    std::optional<Object::Elements::Iterator> at_;
    UdevMachine& machine_;
};

class Spy final : public platform::Dispatch {
  public:
    Spy(Object inner, UdevMachine& machine) : inner_(std::move(inner)), machine_(machine) {}

    Value invoke(TextView member, std::span<const Value> args) override {
        if (machine_.before_call) {
            machine_.before_call(member);
        }
        switch (args.size()) {
            case 0:
                return spy(inner_.get(member), machine_);
            case 1:
                return spy(inner_.call(member, platform::Text(args[0].text())), machine_);
            default:
                throw std::logic_error("the click passes at most one argument");
        }
    }

    std::unique_ptr<platform::Enumerator> enumerate() override {
        return std::make_unique<SpyElements>(inner_.elements(), machine_);
    }

  private:
    Object inner_;
    UdevMachine& machine_;
};

Object spy(Object inner, UdevMachine& machine) {
    return Object(std::make_unique<Spy>(std::move(inner), machine));
}

}  // namespace

Object UdevMachine::get_object(TextView moniker) {
    return spy(platform::udev_get_object(moniker), *this);
}

Object UdevMachine::create_object(TextView class_name) {
    return spy(platform::udev_create_object(class_name), *this);
}

void UdevMachine::message_box(TextView prompt, int, TextView) {
    notices.emplace_back(prompt);
}

void UdevMachine::set_text(platform::ControlId control, TextView text) {
    if (control == shell::kText1) {
        text1 = text;
    }
}

std::u16string UdevMachine::click() {
    text1.reset();
    notices.clear();
    drive_report::Command1_Click(*this, *this);
    if (text1 && notices.empty()) {
        return *text1;
    }
    if (!text1 && notices.size() == 1) {
        return u"notice: " + notices.front();
    }
    throw std::logic_error("the click both reported and gave notice, or gave two notices");
}

}  // namespace testing_support
