#include "drive_report/automation_udev.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "drive_report/drive_report.h"
#include "drive_report/udev_drives.h"
#include "resources/strings.h"

namespace drive_report {

using namespace platform;

namespace {

// One of the texts in strings.h, with the name it concerns in place of its "%".
Text naming(TextView text, TextView name) {
    Text named(text);
    return named.replace(named.find(u'%'), 1, name);
}

[[noreturn]] void unknown_member(TextView member) {
    throw Error(codes::kUnknownName, naming(strings::kUnknownMember, member));
}

// The one text argument of a method, the only member of its object.
const Text& argument_of(TextView method, TextView member, std::span<const Value> args) {
    if (!equal_ignoring_case(member, method)) {
        unknown_member(member);
    }
    if (args.size() != 1) {
        throw Error(codes::kBadParamCount, naming(strings::kBadArgumentCount, member));
    }
    return args[0].text();
}

using Answer = std::function<Value(TextView member, std::span<const Value> args)>;

// An object of the Linux build: `answer` answers its members; a collection enumerates with
// `elements`, afresh from its first element each time.
class UdevObject final : public Dispatch {
  public:
    UdevObject(Answer answer, Enumerator elements)
        : answer_(std::move(answer)), elements_(std::move(elements)) {}

    Value invoke(TextView member, std::span<const Value> args) override {
        return answer_(member, args);
    }
    Enumerator enumerate() override {
        if (!elements_) {
            unknown_member(u"_NewEnum");
        }
        return elements_;
    }

  private:
    Answer answer_;
    Enumerator elements_;
};

Object object(Answer answer, Enumerator elements = nullptr) {
    return Object(std::make_unique<UdevObject>(std::move(answer), std::move(elements)));
}

// The kernel name a drive identifier ("sdb1:", also "sdb1" or "sdb1:\") stands for; nothing
// when it cannot name a block device.
std::optional<std::string> kernel_name(TextView id) {
    if (id.ends_with(u'\\') || id.ends_with(u'/')) {
        id.remove_suffix(1);
    }
    if (id.ends_with(u':')) {
        id.remove_suffix(1);
    }
    if (id.empty() || id == u"." || id == u".." ||
        std::ranges::any_of(id, [](char16_t c) { return c <= u' ' || c > u'~' || c == u'/'; })) {
        return std::nullopt;
    }
    return std::string(id.begin(), id.end());
}

// A removable logical disk of a query's result.
Object logical_disk(const std::string& name) {
    return object([id = Text(name.begin(), name.end()) + u':'](TextView member, auto) -> Value {
        if (!equal_ignoring_case(member, u"DeviceID")) {
            unknown_member(member);
        }
        return id;
    });
}

// A drive of the file-system object. Every property asks udev again, so a medium that comes
// or goes between two reads is seen.
Object drive(std::string name, Text id) {
    return object([name = std::move(name), id = std::move(id)](TextView member, auto) -> Value {
        if (equal_ignoring_case(member, u"IsReady")) {
            return udev_drives::look_up(name).ready;
        }
        if (!equal_ignoring_case(member, u"SerialNumber")) {
            unknown_member(member);
        }
        const udev_drives::Drive drive = udev_drives::look_up(name);
        if (!drive.ready) {
            throw Error(codes::kDiskNotReady, naming(strings::kDiskNotReadyNamed, id));
        }
        return std::int64_t{drive.serial};
    });
}

}  // namespace

Object udev_get_object(TextView moniker) {
    if (!equal_ignoring_case(moniker, kManagementService)) {
        throw Error(codes::kMonikerSyntax, naming(strings::kUnknownMoniker, moniker));
    }
    return object([](TextView member, std::span<const Value> args) -> Value {
        if (!equal_ignoring_case(argument_of(u"ExecQuery", member, args), kRemovableDisksQuery)) {
            throw Error(codes::kInvalidQuery, Text(strings::kUnsupportedQuery));
        }
        // The disks as they were when the query ran.
        return object([](TextView member, auto) -> Value { unknown_member(member); },
                      [names = udev_drives::list(), next = std::size_t{0}](Value& out) mutable {
                          if (next == names.size()) {
                              return false;
                          }
                          out = logical_disk(names[next++]);
                          return true;
                      });
    });
}

Object udev_create_object(TextView class_name) {
    if (!equal_ignoring_case(class_name, kFileSystemObject)) {
        throw Error(codes::kClassString, naming(strings::kUnknownClass, class_name));
    }
    return object([](TextView member, std::span<const Value> args) -> Value {
        const Text& id = argument_of(u"GetDrive", member, args);
        std::optional<std::string> name = kernel_name(id);
        if (!name || !udev_drives::look_up(*name).present) {
            throw Error(codes::kDeviceUnavailable, naming(strings::kDeviceUnavailableNamed, id));
        }
        return drive(std::move(*name), id);
    });
}

}  // namespace drive_report
