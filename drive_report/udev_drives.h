// The machine's removable drives as udev knows them, asked afresh on every call: the volumes
// Windows 10 (1703 and later) gives a drive letter on the disks it calls removable. Each
// partition Windows letters on such a disk is one logical disk, and so is a disk without
// partitions; a logical disk is named by its kernel name ("sdb1"). Without udev's database (no
// udev here: a container, WSL) every call raises an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct udev_device;

namespace drive_report::udev_drives {

// The removable logical disks present now, in kernel device order: by the whole disk's
// device number (major, then minor), then by partition number, the disk itself first.
std::vector<std::string> list();

struct Drive {
    bool present = false;  // a removable logical disk of that name exists now
    bool ready = false;    // it has a medium with a file system Windows mounts
    std::int32_t serial = 0;
};

// The state of the logical disk of that kernel name now.
Drive look_up(const std::string& name);

// The rules the two calls above apply to each device, for a program that walks udev itself and
// must agree with them (the click benchmark's bare libudev baseline).
bool is_removable_disk(udev_device* disk);
bool is_drive(udev_device* partition);
std::optional<std::int32_t> serial(udev_device* volume);

}  // namespace drive_report::udev_drives
