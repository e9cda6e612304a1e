#include "platform/automation_udev.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/udev_drives.h"
#include "resources/strings.h"

namespace platform {

namespace {

constexpr std::string_view kManagementService = "winmgmts:\\\\.\\root\\cimv2";
constexpr std::string_view kRemovableDisksQuery =
    "select * from win32_logicaldisk where drivetype=2";
constexpr std::string_view kFileSystemObject = "scripting.filesystemobject";

char16_t lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Whether `text` is `ascii` (given in lower case) but for the case of its letters.
bool same_name(TextView text, std::string_view ascii) {
    if (text.size() != ascii.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lower(text[i]) != static_cast<char16_t>(ascii[i])) {
            return false;
        }
    }
    return true;
}

bool is_space(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// A query in one canonical spelling: lower case, single spaces between words, none at the
// ends nor around "=".
Text normalise_query(TextView query) {
    Text out;
    bool pending_space = false;
    for (const char16_t c : query) {
        if (is_space(c)) {
            pending_space = true;
            continue;
        }
        if (pending_space && !out.empty() && c != u'=' && out.back() != u'=') {
            out += u' ';
        }
        pending_space = false;
        out += lower(c);
    }
    return out;
}

Text widen(std::string_view ascii) {
    return Text(ascii.begin(), ascii.end());
}

// The kernel name a drive identifier ("sdb1:", also "sdb1" or "sdb1:\") stands for; nothing
// when it cannot name a block device.
std::optional<std::string> kernel_name(TextView id) {
    if (!id.empty() && (id.back() == u'\\' || id.back() == u'/')) {
        id.remove_suffix(1);
    }
    if (!id.empty() && id.back() == u':') {
        id.remove_suffix(1);
    }
    std::string name;
    for (const char16_t c : id) {
        if (c == 0 || c > 0x7E) {
            return std::nullopt;
        }
        name += static_cast<char>(c);
    }
    return name;
}

// One of the texts in strings.h, with the name it concerns in place of its "%".
Text naming(TextView text, TextView name) {
    Text named(text);
    return named.replace(named.find(u'%'), 1, name);
}

[[noreturn]] void unknown_member(TextView member) {
    throw Error(codes::kUnknownName, naming(strings::kUnknownMember, member));
}

void expect_arguments(TextView member, std::span<const Value> args, std::size_t count) {
    if (args.size() != count) {
        throw Error(codes::kBadParamCount, naming(strings::kBadArgumentCount, member));
    }
}

// An object that is not a collection.
class Single : public Dispatch {
  public:
    std::unique_ptr<Enumerator> enumerate() override { unknown_member(u"_NewEnum"); }
};

// One removable logical disk of a query's result.
class LogicalDisk final : public Single {
  public:
    explicit LogicalDisk(std::string name) : device_id_(widen(name) + u':') {}

    Value invoke(TextView member, std::span<const Value> args) override {
        if (same_name(member, "deviceid") || same_name(member, "name")) {
            expect_arguments(member, args, 0);
            return device_id_;
        }
        if (same_name(member, "drivetype")) {
            expect_arguments(member, args, 0);
            return std::int64_t{2};
        }
        unknown_member(member);
    }

  private:
    Text device_id_;
};

// The logical disks a query found, as they were when it ran.
class LogicalDisks final : public Dispatch {
  public:
    explicit LogicalDisks(std::vector<std::string> names) : names_(std::move(names)) {}

    Value invoke(TextView member, std::span<const Value> args) override {
        if (same_name(member, "count")) {
            expect_arguments(member, args, 0);
            return static_cast<std::int64_t>(names_.size());
        }
        unknown_member(member);
    }

    std::unique_ptr<Enumerator> enumerate() override {
        class Each final : public Enumerator {
          public:
            explicit Each(const std::vector<std::string>& names) : names_(names) {}
            bool next(Value& out) override {
                if (next_ == names_.size()) {
                    return false;
                }
                out = Object(std::make_unique<LogicalDisk>(names_[next_++]));
                return true;
            }

          private:
            std::vector<std::string> names_;
            std::size_t next_ = 0;
        };
        return std::make_unique<Each>(names_);
    }

  private:
    std::vector<std::string> names_;
};

class ManagementService final : public Single {
  public:
    Value invoke(TextView member, std::span<const Value> args) override {
        if (!same_name(member, "execquery")) {
            unknown_member(member);
        }
        expect_arguments(member, args, 1);
        if (normalise_query(args[0].text()) != widen(kRemovableDisksQuery)) {
            throw Error(codes::kInvalidQuery, Text(strings::kUnsupportedQuery));
        }
        return Object(std::make_unique<LogicalDisks>(udev_drives::list()));
    }
};

// A drive of the file-system object. Every property asks udev again, so a medium that comes
// or goes between two reads is seen.
class Drive final : public Single {
  public:
    Drive(std::string name, Text id) : name_(std::move(name)), id_(std::move(id)) {}

    Value invoke(TextView member, std::span<const Value> args) override {
        if (same_name(member, "isready")) {
            expect_arguments(member, args, 0);
            return udev_drives::look_up(name_).ready;
        }
        if (same_name(member, "serialnumber")) {
            expect_arguments(member, args, 0);
            const udev_drives::Drive drive = udev_drives::look_up(name_);
            if (!drive.ready) {
                throw Error(codes::kDiskNotReady, naming(strings::kDiskNotReadyNamed, id_));
            }
            return std::int64_t{drive.serial};
        }
        unknown_member(member);
    }

  private:
    std::string name_;
    Text id_;
};

class FileSystemObject final : public Single {
  public:
    Value invoke(TextView member, std::span<const Value> args) override {
        if (!same_name(member, "getdrive")) {
            unknown_member(member);
        }
        expect_arguments(member, args, 1);
        const Text& id = args[0].text();
        std::optional<std::string> name = kernel_name(id);
        if (!name || !udev_drives::look_up(*name).present) {
            throw Error(codes::kDeviceUnavailable, naming(strings::kDeviceUnavailableNamed, id));
        }
        return Object(std::make_unique<Drive>(std::move(*name), id));
    }
};

}  // namespace

Object udev_get_object(TextView moniker) {
    if (!same_name(moniker, kManagementService)) {
        throw Error(codes::kMonikerSyntax, naming(strings::kUnknownMoniker, moniker));
    }
    return Object(std::make_unique<ManagementService>());
}

Object udev_create_object(TextView class_name) {
    if (!same_name(class_name, kFileSystemObject)) {
        throw Error(codes::kClassString, naming(strings::kUnknownClass, class_name));
    }
    return Object(std::make_unique<FileSystemObject>());
}

}  // namespace platform
