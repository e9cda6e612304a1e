// Volume serial numbers from udev's file-system identifiers, as Windows shows them.
#include <gtest/gtest.h>

#include <optional>

#include "platform/udev_drives.h"

namespace {

using platform::udev_drives::volume_serial;

TEST(VolumeSerial, ReadsEachFileSystemsIdentifierTheWayWindowsShowsIt) {
    const struct {
        const char* fs_type;
        const char* uuid;
        std::optional<std::int32_t> serial;
    } cases[] = {
        {"vfat", "C0FF-EE00", -1056969216},
        {"vfat", "c0ff-ee00", -1056969216},
        {"vfat", "0000-0001", 1},
        {"vfat", "7FFF-FFFF", 2147483647},
        {"vfat", "8000-0000", -2147483647 - 1},
        {"exfat", "4A1B-2C3D", 1243294781},
        {"ntfs", "0123456789ABCDEF", -1985229329},  // the low half of the 64-bit serial
        {"ntfs", "89abcdef01234567", 19088743},
        {"ext4", "3e6be9de-8139-11d1-9106-a43f08d823a6", 1047259614},
        {"iso9660", "2020-01-01-00-00-00-00", 538968321},  // dashes ignored
        {"btrfs", "0badcafe", 195939070},
        // Identifiers that do not have the form of their file system's: no serial.
        {"vfat", "C0FFEE00", std::nullopt},
        {"vfat", "C0FF-EE0", std::nullopt},
        {"vfat", "C0FF-EE0G", std::nullopt},
        {"vfat", "+0FF-EE00", std::nullopt},
        {"vfat", "-0FF-EE00", std::nullopt},
        {"vfat", "", std::nullopt},
        {"exfat", "4A1B2C3D", std::nullopt},
        {"ntfs", "0123456789ABCDE", std::nullopt},
        {"ntfs", "0123456789ABCDEG", std::nullopt},
        {"ntfs", "01234567-89ABCDEF", std::nullopt},
        {"ext4", "0bad-caf", std::nullopt},
        {"ext4", "0badcafz-8139", std::nullopt},
        {"ext4", "", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(volume_serial(c.fs_type, c.uuid), c.serial) << c.fs_type << " " << c.uuid;
    }
}

}  // namespace
