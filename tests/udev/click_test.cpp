// The real click over the udev back end: the exact report for machines described as
// umockdev test beds, and what a stick plugged or pulled at the wrong moment does to it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/automation_udev.h"
#include "resources/strings.h"
#include "udev_machine.h"
#include "umockdev_session.h"

namespace {

using testing_support::Testbed;
using testing_support::UdevMachine;

std::string notice() {
    return "notice: " + platform::to_utf8(strings::kNoDrivePrompt);
}

std::string click(UdevMachine& machine) {
    return platform::to_utf8(machine.click());
}

struct Machine {
    const char* name;
    std::vector<const char*> testbeds;
    std::string report;
};

TEST(UdevClick, ReportsEachMachineByteForByte) {
    const Machine machines[] = {
        {"FAT stick, serial with the top bit set", {"fat_stick"}, "sdb1:-1056969216"},
        {"exFAT stick", {"exfat_stick"}, "sdc1:1243294781"},
        {"NTFS stick: low half of the 64-bit serial", {"ntfs_stick"}, "sdd1:-1985229329"},
        {"two file systems, a third partition without one",
         {"two_partitions"},
         "sde1:305419896\r\nsde2:195939070"},
        {"SD card in a built-in reader, removable 0", {"sd_card"}, "mmcblk0p1:1564219947"},
        {"USB stick that calls itself fixed", {"fixed_usb_stick"}, "sdg1:1"},
        {"FAT on the whole disk, no partition table", {"whole_disk_fat"}, "sdi:-1412628189"},
        {"empty card slot", {"empty_card_slot"}, notice()},
        {"medium udev cannot read", {"unreadable_medium"}, notice()},
        {"file system without an identifier", {"no_uuid_partition"}, notice()},
        {"SATA disk only", {"sata_disk"}, notice()},
        {"optical drive only", {"optical_drive"}, notice()},
        {"nothing at all", {}, notice()},
        {"SATA disk and optical drive beside a stick",
         {"sata_disk", "optical_drive", "fat_stick"},
         "sdb1:-1056969216"},
        // Kernel order, not the order of the paths nor of the names: the SD reader's path
        // sorts first and "mmcblk0p1" before "sdb1", yet major 179 comes after major 8.
        {"everything at once, in kernel device order",
         {"sd_card", "whole_disk_fat", "two_partitions", "sata_disk", "optical_drive",
          "empty_card_slot", "unreadable_medium", "no_uuid_partition", "ntfs_stick",
          "fixed_usb_stick", "exfat_stick", "fat_stick"},
         "sdb1:-1056969216\r\nsdc1:1243294781\r\nsdd1:-1985229329\r\nsde1:305419896\r\n"
         "sde2:195939070\r\nsdg1:1\r\nsdi:-1412628189\r\nmmcblk0p1:1564219947"},
    };
    for (const Machine& m : machines) {
        SCOPED_TRACE(m.name);
        Testbed testbed;
        for (const char* file : m.testbeds) {
            testbed.load(std::string(file) + ".umockdev");
        }
        UdevMachine machine;
        EXPECT_EQ(click(machine), m.report);
    }
}

TEST(UdevClick, SeesSticksPluggedAndPulledBetweenClicks) {
    Testbed testbed;
    UdevMachine machine;
    EXPECT_EQ(click(machine), notice());

    testbed.load("fat_stick.umockdev");
    testbed.load("exfat_stick.umockdev");
    EXPECT_EQ(click(machine), "sdb1:-1056969216\r\nsdc1:1243294781");

    testbed.unload("fat_stick.umockdev");
    EXPECT_EQ(click(machine), "sdc1:1243294781");

    testbed.unload("exfat_stick.umockdev");
    EXPECT_EQ(click(machine), notice());
}

TEST(UdevClick, SeesACardPutIntoAnEmptySlotAndTakenOut) {
    Testbed testbed;
    testbed.load("empty_card_slot.umockdev");
    UdevMachine machine;
    EXPECT_EQ(click(machine), notice());

    const std::string disk =
        "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-5/1-5:1.0/host10/"
        "target10:0:0/10:0:0:0/block/sdf";
    testbed.set_attribute(disk, "size", "31116288");
    testbed.add("P: " + disk.substr(4) +
                "/sdf1\nN: sdf1\nE: SUBSYSTEM=block\nE: DEVTYPE=partition\nE: MAJOR=8\n"
                "E: MINOR=81\nE: ID_FS_TYPE=vfat\nE: ID_FS_UUID=0BAD-F00D\nA: dev=8:81\n"
                "A: partition=1\nA: size=31114240\n");
    EXPECT_EQ(click(machine), "sdf1:195948557");

    // The card taken out again, udev not yet caught up: the identifier is still there but
    // there is no medium behind it.
    testbed.set_attribute(disk + "/sdf1", "size", "0");
    EXPECT_EQ(click(machine), notice());
}

// A stick pulled in the middle of a click makes the click fail with the error of the call
// that found it gone; the error reaches the caller and the window shows nothing.
TEST(UdevClick, FailsWithTheErrorOfTheCallThatFindsTheStickGone) {
    struct Case {
        const char* name;
        const char16_t* pull_before;
        int nth;  // pull before the nth such call (1-based)
        std::int32_t number;
    } cases[] = {
        {"between IsReady and SerialNumber", u"SerialNumber", 1, platform::codes::kDiskNotReady},
        {"between IsReady and the second GetDrive", u"GetDrive", 2,
         platform::codes::kDeviceUnavailable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Testbed testbed;
        testbed.load("fat_stick.umockdev");
        UdevMachine machine;
        int seen = 0;
        machine.before_call = [&](platform::TextView member) {
            if (member == c.pull_before && ++seen == c.nth) {
                testbed.unload("fat_stick.umockdev");
            }
        };
        try {
            machine.click();
            ADD_FAILURE() << "the click did not fail";
        } catch (const platform::Error& e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_NE(platform::to_utf8(e.description()).find("sdb1:"), std::string::npos);
        }
        EXPECT_FALSE(machine.text1.has_value());
        EXPECT_TRUE(machine.notices.empty());
    }
}

}  // namespace
