// The objects of the udev back end called directly: names, arguments, errors, and drives
// that change under a drive object that is kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/automation_udev.h"
#include "umockdev_session.h"

namespace {

using platform::Error;
using platform::Object;
using platform::Text;
using testing_support::Testbed;
namespace codes = platform::codes;

constexpr const char16_t* kService = u"winmgmts:\\\\.\\root\\cimv2";
constexpr const char16_t* kQuery = u"Select * from Win32_LogicalDisk Where DriveType = 2";
constexpr const char16_t* kFso = u"Scripting.FileSystemObject";

// Runs `action`, which must raise: its number, and its description in UTF-8.
template <class Action>
std::pair<std::int32_t, std::string> raised(Action&& action) {
    try {
        action();
    } catch (const Error& e) {
        return {e.number(), platform::to_utf8(e.description())};
    }
    ADD_FAILURE() << "nothing was raised";
    return {0, ""};
}

std::vector<std::string> device_ids(const Object& disks) {
    std::vector<std::string> ids;
    for (platform::Value& element : disks.elements()) {
        const Object disk = std::move(element).object();
        ids.push_back(platform::to_utf8(disk.get(u"DeviceID").text()));
        EXPECT_EQ(std::get<std::int64_t>(disk.get(u"DriveType").storage()), 2);
    }
    return ids;
}

Object drive(const char16_t* id) {
    return platform::udev_create_object(kFso).call(u"GetDrive", Text(id)).object();
}

bool is_ready(const Object& drive) {
    return std::get<bool>(drive.get(u"IsReady").storage());
}

std::int64_t serial(const Object& drive) {
    return std::get<std::int64_t>(drive.get(u"SerialNumber").storage());
}

TEST(UdevObjects, BindsOnlyTheServiceAndTheClassItServes) {
    Testbed testbed;
    for (const char16_t* moniker : {kService, u"WINMGMTS:\\\\.\\ROOT\\CIMV2"}) {
        EXPECT_NO_THROW(platform::udev_get_object(moniker));
    }
    for (const char16_t* name : {kFso, u"scripting.filesystemobject"}) {
        EXPECT_NO_THROW(platform::udev_create_object(name));
    }
    for (const char16_t* moniker :
         {u"winmgmts:", u"winmgmts:\\\\.\\root\\default", u"", u"winmgmts:\\\\.\\root\\cimv2 "}) {
        const auto [number, description] = raised([&] { platform::udev_get_object(moniker); });
        EXPECT_EQ(number, codes::kMonikerSyntax) << platform::to_utf8(moniker);
        EXPECT_NE(description.find("“" + platform::to_utf8(moniker) + "”"), std::string::npos);
    }
    for (const char16_t* name : {u"Scripting.Dictionary", u"", u"Scripting.FileSystemObject2"}) {
        const auto [number, description] = raised([&] { platform::udev_create_object(name); });
        EXPECT_EQ(number, codes::kClassString) << platform::to_utf8(name);
        EXPECT_NE(description.find("“" + platform::to_utf8(name) + "”"), std::string::npos);
    }
}

TEST(UdevObjects, RunsTheRemovableDiskQueryInAnySpellingAndNoOtherQuery) {
    Testbed testbed;
    testbed.load("fat_stick.umockdev");
    const Object service = platform::udev_get_object(kService);
    for (const char16_t* query : {kQuery, u"select * from win32_logicaldisk where drivetype=2",
                                  u"  SELECT  *\tFROM Win32_LogicalDisk\r\n WHERE DriveType =2 "}) {
        const Object disks = service.call(u"ExecQuery", Text(query)).object();
        EXPECT_EQ(device_ids(disks), std::vector<std::string>{"sdb1:"}) << platform::to_utf8(query);
        EXPECT_EQ(std::get<std::int64_t>(disks.get(u"Count").storage()), 1);
    }
    for (const char16_t* query : {u"Select * from Win32_LogicalDisk",
                                  u"Select * from Win32_LogicalDisk Where DriveType = 3",
                                  u"Select * from Win32_LogicalDisk Where DriveType = 22",
                                  u"Select DeviceID from Win32_LogicalDisk Where DriveType = 2",
                                  u"Select * from Win32_Volume Where DriveType = 2", u""}) {
        const auto [number, description] = raised([&] { service.call(u"ExecQuery", Text(query)); });
        EXPECT_EQ(number, codes::kInvalidQuery) << platform::to_utf8(query);
        EXPECT_NE(description.find("Win32_LogicalDisk Where DriveType = 2"), std::string::npos);
    }
}

TEST(UdevObjects, MatchesMemberNamesWithoutCaseAndRejectsUnknownNamesAndWrongArgumentCounts) {
    Testbed testbed;
    testbed.load("fat_stick.umockdev");
    const Object service = platform::udev_get_object(kService);
    const Object disks = service.call(u"EXECQUERY", Text(kQuery)).object();
    const Object fso = platform::udev_create_object(kFso);
    const Object stick = fso.call(u"getdrive", Text(u"sdb1:")).object();
    EXPECT_TRUE(std::get<bool>(stick.get(u"isready").storage()));
    EXPECT_EQ(std::get<std::int64_t>(stick.get(u"SERIALNUMBER").storage()), -1056969216);
    for (platform::Value& element : disks.elements()) {
        EXPECT_EQ(std::move(element).object().get(u"deviceid").text(), u"sdb1:");
    }

    struct Call {
        const char* name;
        std::function<void()> call;
        std::int32_t number;
        const char* named;
    } calls[] = {
        {"unknown service member", [&] { service.get(u"InstancesOf"); }, codes::kUnknownName,
         "InstancesOf"},
        {"unknown collection member", [&] { disks.get(u"ItemIndex"); }, codes::kUnknownName,
         "ItemIndex"},
        {"unknown file-system member", [&] { fso.call(u"GetFolder", Text(u"/")); },
         codes::kUnknownName, "GetFolder"},
        {"unknown drive member", [&] { stick.get(u"VolumeName"); }, codes::kUnknownName,
         "VolumeName"},
        {"enumerating a drive", [&] { stick.elements().begin(); }, codes::kUnknownName, "_NewEnum"},
        {"ExecQuery without the query", [&] { service.call(u"ExecQuery"); }, codes::kBadParamCount,
         "ExecQuery"},
        {"GetDrive with two identifiers",
         [&] { fso.call(u"GetDrive", Text(u"sdb1:"), Text(u"sdc1:")); }, codes::kBadParamCount,
         "GetDrive"},
        {"IsReady with an argument", [&] { stick.call(u"IsReady", Text(u"now")); },
         codes::kBadParamCount, "IsReady"},
        {"GetDrive of a number", [&] { fso.call(u"GetDrive", std::int64_t{1}); },
         codes::kTypeMismatch, ""},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        const auto [number, description] = raised(c.call);
        EXPECT_EQ(number, c.number);
        EXPECT_NE(description.find(c.named), std::string::npos) << description;
    }
}

TEST(UdevObjects, GetsDrivesOnlyForRemovableLogicalDisksThatExistNow) {
    Testbed testbed;
    for (const char* file :
         {"fat_stick", "two_partitions", "sata_disk", "optical_drive", "empty_card_slot"}) {
        testbed.load(std::string(file) + ".umockdev");
    }
    struct Case {
        const char16_t* id;
        bool present;
        bool ready;
    } cases[] = {
        {u"sdb1:", true, true},      {u"sdb1", true, true},  // the colon may be left out
        {u"sdb1:\\", true, true},                            // or a root path given
        {u"sdf:", true, false},    // an empty slot is a drive that is not ready
        {u"sdb:", false, false},   // a partitioned disk is no drive itself
        {u"sde3:", false, false},  // a partition without a file system
        {u"sda1:", false, false},  // not removable
        {u"sr0:", false, false},   // optical
        {u"sdz1:", false, false},  // nothing of that name
        {u"SDB1:", false, false},  // kernel names are case-sensitive
        {u"../sdb1:", false, false}, {u"sdb1/..:", false, false}, {u"..:", false, false},
        {u":", false, false},        {u"", false, false},         {u"sdb\u00e91:", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::to_utf8(c.id));
        if (!c.present) {
            const auto [number, description] = raised([&] { drive(c.id); });
            EXPECT_EQ(number, codes::kDeviceUnavailable);
            EXPECT_NE(description.find(platform::to_utf8(c.id)), std::string::npos);
            continue;
        }
        const Object d = drive(c.id);
        EXPECT_EQ(is_ready(d), c.ready);
        if (!c.ready) {
            EXPECT_EQ(raised([&] { serial(d); }).first, codes::kDiskNotReady);
        }
    }
}

// A drive object kept across a pull and a re-plug answers for the drive as it is at each
// call, never from what it saw before.
TEST(UdevObjects, AsksUdevAfreshOnEveryRead) {
    Testbed testbed;
    testbed.load("fat_stick.umockdev");
    const Object stick = drive(u"sdb1:");
    EXPECT_TRUE(is_ready(stick));

    testbed.unload("fat_stick.umockdev");
    const auto [number, description] = raised([&] { serial(stick); });
    EXPECT_EQ(number, codes::kDiskNotReady);
    EXPECT_NE(description.find("sdb1:"), std::string::npos);
    EXPECT_FALSE(is_ready(stick));

    testbed.load("fat_stick.umockdev");
    EXPECT_TRUE(is_ready(stick));
    EXPECT_EQ(serial(stick), -1056969216);
}

// The query's result is what was there when it ran; enumerating it again does not ask udev.
TEST(UdevObjects, KeepsTheQueryResultAsItWasWhenTheQueryRan) {
    Testbed testbed;
    testbed.load("fat_stick.umockdev");
    const Object disks =
        platform::udev_get_object(kService).call(u"ExecQuery", Text(kQuery)).object();
    testbed.load("exfat_stick.umockdev");
    EXPECT_EQ(device_ids(disks), std::vector<std::string>{"sdb1:"});
    EXPECT_EQ(device_ids(disks), std::vector<std::string>{"sdb1:"});
}

}  // namespace
