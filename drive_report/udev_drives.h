// The machine's removable drives as udev knows them, asked afresh on every call: the volumes
// Windows 10 (1703 and later) gives a drive letter on the disks it calls removable.
//
// A removable disk is a whole block device whose `removable` attribute is 1 (the removable
// medium bit Windows reads too), or an SD card on the mmc bus (Windows counts cards in built-in
// readers as removable; an MMC card there is the machine's eMMC, which it does not). USB and
// FireWire hard disks and sticks that call themselves fixed are fixed disks for Windows, and an
// optical drive has a type of its own. Each partition of a removable disk that Windows letters
// (by its partition table entry) and that holds a file system Windows mounts from it
// (FAT12/16/32, exFAT, NTFS) is one logical disk; a disk without partitions (a whole-disk file
// system, an empty card slot, a medium udev cannot read) is one logical disk by itself. A
// partition udev has not finished probing is a logical disk that is not ready yet. A logical
// disk is named by its kernel name: "sdb1".
//
// Without udev's database (no udev here: a container, WSL) every call raises an error.
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
// Whether a whole disk is one Windows calls removable.
bool is_removable_disk(udev_device* disk);
// Whether a partition of a removable disk is a logical disk: true for one udev is still probing.
bool is_drive(udev_device* partition);
// The volume serial number Windows shows for a logical disk; nothing when it is not ready.
std::optional<std::int32_t> serial(udev_device* volume);

}  // namespace drive_report::udev_drives
