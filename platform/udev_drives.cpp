#include "platform/udev_drives.h"

#include <libudev.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <tuple>

#include "platform/error.h"
#include "platform/owner.h"
#include "resources/strings.h"

namespace platform::udev_drives {

namespace {

using Context = Owner<udev*, udev_unref>;
using Device = Owner<udev_device*, udev_device_unref>;
using Enumeration = Owner<udev_enumerate*, udev_enumerate_unref>;

// Where udev keeps what it has found out about each device; libudev reads a device's
// properties from there. It is missing where udev does not run (a container, WSL), and then no
// device has any: a stick would look like one without a file system.
constexpr const char* kUdevDatabase = "/run/udev/data";

Context open_context() {
    Context context(udev_new());
    if (!context) {
        throw Error(codes::kUnexpected, Text(strings::kNoUdev));
    }
    std::error_code ignored;
    if (!std::filesystem::is_directory(kUdevDatabase, ignored)) {
        throw Error(codes::kUnexpected, Text(strings::kNoUdevDatabase));
    }
    return context;
}

std::string copy(const char* text) {
    return text ? std::string(text) : std::string();
}

std::string property(udev_device* device, const char* key) {
    return copy(udev_device_get_property_value(device, key));
}

std::string attribute(udev_device* device, const char* name) {
    return copy(udev_device_get_sysattr_value(device, name));
}

std::uint64_t number(std::string_view text, int base = 10) {
    std::uint64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, base);
    return value;
}

// The file systems Windows mounts from a removable disk; no other gets a drive letter there.
bool mounted_by_windows(std::string_view fs_type) {
    return fs_type == "vfat" || fs_type == "exfat" || fs_type == "ntfs";
}

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

// What the program needs to know about one block device, copied out of udev so that the
// device can be released at once.
struct Block {
    std::string name;
    std::string syspath;
    bool partition = false;
    unsigned partition_number = 0;  // 0 for a whole disk
    std::string disk_syspath;       // the whole disk: itself, or a partition's parent
    std::uint64_t size = 0;         // in 512-byte sectors; 0 when there is no medium
    bool initialized = false;       // udev has finished probing it
    std::string fs_type, fs_usage, fs_uuid;
    std::string entry_scheme, entry_type, entry_flags;  // a partition's table entry
    // Whole disks only:
    dev_t devnum = 0;
    bool removable = false;

    bool has_file_system() const {
        return mounted_by_windows(fs_type) && (fs_usage.empty() || fs_usage == "filesystem");
    }
    // Whether Windows letters a partition with this table entry; without one (udev gives none,
    // or there is no table) the file system alone decides.
    bool lettered() const {
        const std::string entry = entry_scheme + ' ' + entry_type;
        const std::string_view flags = entry_flags;  // "0x%llx", only when not 0
        const std::uint64_t attributes = flags.starts_with("0x") ? number(flags.substr(2), 16) : 0;
        return entry_scheme.empty() ||
               (std::ranges::find(kLetteredEntries, entry) != std::end(kLetteredEntries) &&
                (attributes & kGptNoLetter) == 0);
    }
    // A partition of a removable disk is a logical disk when Windows letters it and mounts its
    // file system, or, not ready yet, while udev is still probing it.
    bool is_drive() const { return !initialized || (lettered() && has_file_system()); }
    std::optional<std::int32_t> serial() const {
        if (size == 0 || !has_file_system()) {
            return std::nullopt;
        }
        return volume_serial(fs_type, fs_uuid);
    }
};

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
    udev_device* card = udev_device_get_parent_with_subsystem_devtype(disk, "mmc", nullptr);
    return card && attribute(card, "type") != "MMC";
}

std::optional<Block> read_block(udev_device* device) {
    const std::string type = copy(udev_device_get_devtype(device));
    Block block;
    if (type == "partition") {
        udev_device* disk = udev_device_get_parent_with_subsystem_devtype(device, "block", "disk");
        if (!disk) {
            return std::nullopt;
        }
        block.partition = true;
        block.partition_number = static_cast<unsigned>(number(attribute(device, "partition")));
        block.disk_syspath = copy(udev_device_get_syspath(disk));
    } else if (type == "disk") {
        block.devnum = udev_device_get_devnum(device);
        block.removable = is_removable_disk(device);
        block.disk_syspath = copy(udev_device_get_syspath(device));
    } else {
        return std::nullopt;
    }
    block.name = copy(udev_device_get_sysname(device));
    block.syspath = copy(udev_device_get_syspath(device));
    block.size = number(attribute(device, "size"));
    block.initialized = udev_device_get_is_initialized(device) > 0;
    block.fs_type = property(device, "ID_FS_TYPE");
    block.fs_usage = property(device, "ID_FS_USAGE");
    block.fs_uuid = property(device, "ID_FS_UUID");
    block.entry_scheme = property(device, "ID_PART_ENTRY_SCHEME");
    block.entry_type = property(device, "ID_PART_ENTRY_TYPE");
    block.entry_flags = property(device, "ID_PART_ENTRY_FLAGS");
    return block;
}

std::optional<Block> read_block(udev* context, const char* syspath) {
    const Device device(udev_device_new_from_syspath(context, syspath));
    return device ? read_block(device.get()) : std::nullopt;
}

// Whether a whole disk carries a partition table the kernel has read.
bool has_partitions(udev* context, udev_device* disk) {
    const Enumeration enumeration(udev_enumerate_new(context));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "block") < 0 ||
        udev_enumerate_add_match_parent(enumeration.get(), disk) < 0 ||
        udev_enumerate_scan_devices(enumeration.get()) < 0) {
        throw Error(codes::kUnexpected, Text(strings::kCannotListDevices));
    }
    const std::string_view self = udev_device_get_syspath(disk);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        if (udev_list_entry_get_name(entry) != self) {
            return true;
        }
    }
    return false;
}

std::optional<std::uint32_t> parse_hex32(std::string_view digits) {
    std::uint32_t value = 0;
    const char* end = digits.data() + digits.size();
    if (digits.size() != 8 || std::from_chars(digits.data(), end, value, 16).ptr != end) {
        return std::nullopt;
    }
    return value;
}

bool all_hex(std::string_view text) {
    return text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

}  // namespace

bool plausible_kernel_name(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::optional<std::int32_t> volume_serial(std::string_view fs_type, std::string_view uuid) {
    std::optional<std::uint32_t> serial;
    const bool fat = fs_type == "vfat" || fs_type == "exfat";
    if (mounted_by_windows(fs_type) && uuid.empty()) {
        serial = 0;
    } else if (fat && uuid.size() == 9 && uuid[4] == '-') {
        serial = parse_hex32(std::string(uuid.substr(0, 4)) += uuid.substr(5));
    } else if (fs_type == "ntfs" && uuid.size() == 16 && all_hex(uuid)) {
        serial = parse_hex32(uuid.substr(8));
    }
    if (!serial) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*serial);
}

std::vector<std::string> list() {
    const Context context = open_context();
    const Enumeration enumeration(udev_enumerate_new(context.get()));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "block") < 0 ||
        udev_enumerate_scan_devices(enumeration.get()) < 0) {
        throw Error(codes::kUnexpected, Text(strings::kCannotListDevices));
    }
    std::vector<Block> disks, partitions;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        if (std::optional<Block> block =
                read_block(context.get(), udev_list_entry_get_name(entry))) {
            (block->partition ? partitions : disks).push_back(std::move(*block));
        }
    }

    struct Entry {
        std::tuple<unsigned, unsigned, unsigned> order;
        std::string name;
    };
    std::vector<Entry> entries;
    for (const Block& disk : disks) {
        if (!disk.removable) {
            continue;
        }
        const auto order = [&](unsigned partition) {
            return std::tuple(major(disk.devnum), minor(disk.devnum), partition);
        };
        bool partitioned = false;
        for (const Block& partition : partitions) {
            if (partition.disk_syspath == disk.syspath) {
                partitioned = true;
                if (partition.is_drive()) {
                    entries.push_back({order(partition.partition_number), partition.name});
                }
            }
        }
        if (!partitioned) {
            entries.push_back({order(0), disk.name});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.order, a.name) < std::tie(b.order, b.name);
    });
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (Entry& e : entries) {
        names.push_back(std::move(e.name));
    }
    return names;
}

Drive look_up(std::string_view name) {
    if (!plausible_kernel_name(name)) {
        return {};
    }
    const Context context = open_context();
    const Device device(
        udev_device_new_from_subsystem_sysname(context.get(), "block", std::string(name).c_str()));
    if (!device) {
        return {};
    }
    const std::optional<Block> block = read_block(device.get());
    if (!block) {
        return {};
    }
    if (block->partition) {
        udev_device* disk =
            udev_device_get_parent_with_subsystem_devtype(device.get(), "block", "disk");
        if (!is_removable_disk(disk) || !block->is_drive()) {
            return {};
        }
    } else if (!block->removable || has_partitions(context.get(), device.get())) {
        return {};
    }
    const std::optional<std::int32_t> serial = block->serial();
    return {.present = true, .ready = serial.has_value(), .serial = serial.value_or(0)};
}

}  // namespace platform::udev_drives
