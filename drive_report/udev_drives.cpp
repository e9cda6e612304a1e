#include "drive_report/udev_drives.h"

#include <libudev.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "platform/error.h"
#include "platform/owner.h"
#include "resources/strings.h"

namespace drive_report::udev_drives {

using namespace platform;

namespace {

using Context = Owner<udev*, udev_unref>;
using Device = Owner<udev_device*, udev_device_unref>;
using Enumeration = Owner<udev_enumerate*, udev_enumerate_unref>;

// The partition table entries Windows 10 (1703 and later) gives a drive letter on a removable
// disk, as udev's ID_PART_ENTRY_SCHEME and ID_PART_ENTRY_TYPE spell them (libblkid writes a GPT
// type GUID in lower case and an MBR type as "0x%x"). From Microsoft's documentation
// (learn.microsoft.com):
// - GPT, "PARTITION_INFORMATION_GPT structure (winioctl.h)": only PARTITION_BASIC_DATA_GUID
//   partitions can be assigned drive letters (so never the EFI system partition), and not when
//   GPT_BASIC_DATA_ATTRIBUTE_NO_DRIVE_LETTER (bit 63) or GPT_BASIC_DATA_ATTRIBUTE_HIDDEN (bit
//   62) is set; the other attribute bits (read-only, required, ...) do not matter.
// - MBR, "Disk Partition Types" and IsRecognizedPartition (winioctl.h): the recognised types
//   PARTITION_FAT_12, PARTITION_FAT_16, PARTITION_HUGE, PARTITION_XINT13 (FAT16),
//   PARTITION_IFS (NTFS, exFAT), PARTITION_FAT32 and PARTITION_FAT32_XINT13. Hidden types
//   (0x11, 0x14, 0x16, 0x17, 0x1B, 0x1C, 0x1E), the EFI type 0xEF and extended partitions are not
//   recognised; the recognised types with the high bits 0x80 or 0xC0 (a member of an old
//   Windows NT mirror or stripe set, "Disk Partition Types") are no volume of their own.
constexpr std::string_view kLetteredEntries[] = {
    "gpt ebd0a0a2-b9e5-4433-87c0-68b6b72699c7",  // PARTITION_BASIC_DATA_GUID
    "dos 0x1",                                   // PARTITION_FAT_12
    "dos 0x4",                                   // PARTITION_FAT_16
    "dos 0x6",                                   // PARTITION_HUGE
    "dos 0x7",                                   // PARTITION_IFS
    "dos 0xb",                                   // PARTITION_FAT32
    "dos 0xc",                                   // PARTITION_FAT32_XINT13
    "dos 0xe",                                   // PARTITION_XINT13
};
constexpr std::uint64_t kGptNoLetter = 0xC000000000000000;  // bits 63 and 62 (MBR: 0 or 0x80)

// udev's database, where libudev reads a device's properties. It is missing where udev does
// not run (a container, WSL), and then no device has any: a stick would look empty.
Context open_context() {
    Context context(udev_new());
    std::error_code ignored;
    if (!context || !std::filesystem::is_directory("/run/udev/data", ignored)) {
        throw Error(codes::kUnexpected,
                    Text(context ? strings::kNoUdevDatabase : strings::kNoUdev));
    }
    return context;
}

std::string property(udev_device* device, const char* key) {
    const char* value = udev_device_get_property_value(device, key);
    return value != nullptr ? value : "";
}

std::string attribute(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    return value != nullptr ? value : "";
}

std::optional<std::uint64_t> parse(std::string_view digits, int base = 10) {
    std::uint64_t value = 0;
    const char* end = digits.data() + digits.size();
    if (digits.empty() || std::from_chars(digits.data(), end, value, base).ptr != end) {
        return std::nullopt;
    }
    return value;
}

// The file systems Windows mounts from a removable disk; no other gets a drive letter there.
bool has_file_system(udev_device* volume) {
    const std::string type = property(volume, "ID_FS_TYPE");
    const std::string usage = property(volume, "ID_FS_USAGE");
    return (type == "vfat" || type == "exfat" || type == "ntfs") &&
           (usage.empty() || usage == "filesystem");
}

// The whole removable disk a block device is or is a partition of; null for any other.
udev_device* removable_disk(udev_device* device) {
    const char* type = udev_device_get_devtype(device);
    udev_device* disk = type == nullptr                    ? nullptr
                        : std::string_view(type) == "disk" ? device
                        : std::string_view(type) == "partition"
                            ? udev_device_get_parent_with_subsystem_devtype(device, "block", "disk")
                            : nullptr;
    return disk != nullptr && is_removable_disk(disk) ? disk : nullptr;
}

Enumeration block_devices(udev* context, udev_device* parent) {
    Enumeration enumeration(udev_enumerate_new(context));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "block") < 0 ||
        (parent && udev_enumerate_add_match_parent(enumeration.get(), parent) < 0) ||
        udev_enumerate_scan_devices(enumeration.get()) < 0) {
        throw Error(codes::kUnexpected, Text(strings::kCannotListDevices));
    }
    return enumeration;
}

}  // namespace

// A whole disk Windows calls removable: its removable medium bit is set (learn.microsoft.com,
// GetDriveTypeW: DRIVE_REMOVABLE "has removable media"; the DriveType constants count "all hard
// drives, including hard drives that are removable" as fixed). Optical drives have the bit too
// but are drives of another type. On the mmc bus an SD card counts, as Windows counts cards in
// built-in readers; an MMC card is the machine's built-in eMMC disk, which is fixed.
bool is_removable_disk(udev_device* disk) {
    if (property(disk, "ID_CDROM") == "1") {
        return false;
    }
    if (attribute(disk, "removable") == "1") {
        return true;
    }
    // Only then the walk up the parents, which reads each one from /sys.
    udev_device* card = udev_device_get_parent_with_subsystem_devtype(disk, "mmc", nullptr);
    return card && attribute(card, "type") != "MMC";
}

// Whether a partition of a removable disk is a logical disk: Windows letters it (by its table
// entry; without one, by its file system alone) and mounts its file system. One udev is still
// probing is one, not ready yet.
bool is_drive(udev_device* partition) {
    if (udev_device_get_is_initialized(partition) <= 0) {
        return true;
    }
    const std::string scheme = property(partition, "ID_PART_ENTRY_SCHEME");
    const std::string entry = scheme + ' ' + property(partition, "ID_PART_ENTRY_TYPE");
    const std::string flags = property(partition, "ID_PART_ENTRY_FLAGS");  // "0x%llx", not 0
    const std::uint64_t attributes =
        flags.starts_with("0x") ? parse(flags.substr(2), 16).value_or(0) : 0;
    const bool lettered = scheme.empty() || (std::ranges::find(kLetteredEntries, entry) !=
                                                 std::end(kLetteredEntries) &&
                                             (attributes & kGptNoLetter) == 0);
    return lettered && has_file_system(partition);
}

// The volume serial number Windows shows, from udev's ID_FS_UUID: FAT and exFAT "XXXX-XXXX" in
// hex, NTFS the low half of its 64-bit serial. None is 0: udev gives none for an ID of zero,
// nor for FAT12/16 without the extended boot signature (Windows reads it). Nothing for an empty
// slot, another file system (UDF included) or an identifier not of its file system's form.
std::optional<std::int32_t> serial(udev_device* volume) {
    if (parse(attribute(volume, "size")).value_or(0) == 0 || !has_file_system(volume)) {
        return std::nullopt;
    }
    const std::string uuid = property(volume, "ID_FS_UUID");
    const bool ntfs = property(volume, "ID_FS_TYPE") == "ntfs";
    std::optional<std::uint64_t> value = uuid.empty() ? 0 : std::optional<std::uint64_t>();
    if (ntfs && uuid.size() == 16 && parse(uuid, 16).has_value()) {
        value = parse(std::string_view(uuid).substr(8), 16);
    } else if (!ntfs && uuid.size() == 9 && uuid[4] == '-') {
        value = parse(uuid.substr(0, 4) + uuid.substr(5), 16);
    }
    return value ? std::optional(static_cast<std::int32_t>(*value)) : std::nullopt;
}

std::vector<std::string> list() {
    const Context context = open_context();
    const Enumeration enumeration = block_devices(context.get(), nullptr);
    std::map<std::tuple<unsigned, unsigned, std::uint64_t>, std::string> drives;
    std::set<dev_t> partitioned;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        const Device device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        udev_device* disk = device ? removable_disk(device.get()) : nullptr;
        if (disk == nullptr) {
            continue;
        }
        const dev_t number = udev_device_get_devnum(disk);
        const std::uint64_t partition = parse(attribute(device.get(), "partition")).value_or(0);
        if (disk != device.get()) {
            partitioned.insert(number);
        }
        if (disk == device.get() || is_drive(device.get())) {
            drives[{major(number), minor(number), partition}] =
                udev_device_get_sysname(device.get());
        }
    }
    std::vector<std::string> names;
    for (const auto& [order, name] : drives) {
        const auto& [major_number, minor_number, partition] = order;
        if (partition != 0 || !partitioned.contains(makedev(major_number, minor_number))) {
            names.push_back(name);
        }
    }
    return names;
}

Drive look_up(const std::string& name) {
    const Context context = open_context();
    const Device device(
        udev_device_new_from_subsystem_sysname(context.get(), "block", name.c_str()));
    udev_device* disk = device ? removable_disk(device.get()) : nullptr;
    if (disk == nullptr) {
        return {};
    }
    if (disk == device.get()) {
        // A whole disk is a logical disk of its own only without partitions.
        const Enumeration children = block_devices(context.get(), disk);
        if (udev_list_entry_get_next(udev_enumerate_get_list_entry(children.get())) != nullptr) {
            return {};
        }
    } else if (!is_drive(device.get())) {
        return {};
    }
    const std::optional<std::int32_t> volume = serial(device.get());
    return {.present = true, .ready = volume.has_value(), .serial = volume.value_or(0)};
}

}  // namespace drive_report::udev_drives
