// The back end against Wine's real management service (wbemdisp/wbemprox) and file-system
// object (scrrun), in the fresh prefix the run has to itself: drives C: (the prefix) and Z:
// (the host's root), nothing removable. Numbers are those Wine 8 answers with; Windows answers
// some of the failures differently (noted where known).
#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>

#include <cstdint>
#include <map>
#include <string>

#include "platform/automation_win.h"
#include "platform/error.h"
#include "tests/wine/test_support.h"

namespace tavrin_test {
namespace {

using platform::Error;
using platform::Object;
using platform::Text;
using platform::Value;

constexpr platform::TextView kManagementService = u"winmgmts:\\\\.\\root\\cimv2";
constexpr platform::TextView kFileSystemObject = u"Scripting.FileSystemObject";
constexpr platform::TextView kAllDisks = u"Select * from Win32_LogicalDisk";
constexpr platform::TextView kRemovableDisks =
    u"Select * from Win32_LogicalDisk Where DriveType = 2";

// Each disk the service reports: its DeviceID and DriveType as values.
std::map<std::string, std::string> disks_reported(platform::TextView query) {
    std::map<std::string, std::string> disks;
    const Object service = platform::com_get_object(kManagementService);
    const Object results = service.call(u"ExecQuery", Text(query)).object();
    for (Value& element : results.elements()) {
        const Object disk = std::move(element).object();
        disks[show(disk.get(u"DeviceID"))] = show(disk.get(u"DriveType"));
    }
    return disks;
}

// ---------------------------------------------------------------------------------------------

TEST(ManagementService, LogicalDisksHaveTextIdentifiersAndIntegerTypes) {
    const std::map<std::string, std::string> disks = disks_reported(kAllDisks);
    ASSERT_TRUE(disks.count("text:C:")) << "C: missing from " << testing::PrintToString(disks);
    EXPECT_EQ(disks.at("text:C:"), "int64:" + std::to_string(DRIVE_FIXED));
    for (const auto& [id, type] : disks) {
        EXPECT_EQ(id.size(), std::string("text:X:").size()) << id;
        EXPECT_EQ(type.rfind("int64:", 0), 0u) << id << " " << type;
    }
}

TEST(ManagementService, TheProgramsQueryYieldsTheRemovableDisksOnly) {
    // What the system itself says is removable.
    std::map<std::string, std::string> expected;
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        const wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
        if ((drives & (1u << i)) && GetDriveTypeW(root) == DRIVE_REMOVABLE) {
            expected[std::string("text:") + static_cast<char>('A' + i) + ":"] =
                "int64:" + std::to_string(DRIVE_REMOVABLE);
        }
    }
    EXPECT_EQ(disks_reported(kRemovableDisks), expected);
}

TEST(ManagementService, AnUnknownPropertyIsRaisedWithItsName) {
    const Object service = platform::com_get_object(kManagementService);
    const Object results = service.call(u"ExecQuery", Text(kAllDisks)).object();
    for (Value& element : results.elements()) {
        const Object disk = std::move(element).object();
        const Error error = error_of([&] { disk.get(u"NoSuchProperty"); });
        EXPECT_EQ(show_number(error.number()), show_number(number(DISP_E_UNKNOWNNAME)));
        EXPECT_EQ(error.description(),
                  platform::describe(number(DISP_E_UNKNOWNNAME)) + u" (NoSuchProperty)");
        break;
    }
    const Error error = error_of([&] { service.call(u"NoSuchMethod", u"x"); });
    EXPECT_EQ(error.number(), number(DISP_E_UNKNOWNNAME));
    EXPECT_NE(error.description().find(u"(NoSuchMethod)"), Text::npos);
}

TEST(ManagementService, AnInvalidQueryRaisesTheServicesError) {
    const Object service = platform::com_get_object(kManagementService);
    const Error error = error_of([&] { service.call(u"ExecQuery", u"Select from"); });
    constexpr HRESULT kInvalidQuery = static_cast<HRESULT>(0x80041017);  // WBEM_E_INVALID_QUERY
    EXPECT_EQ(show_number(error.number()), show_number(number(kInvalidQuery)));
    EXPECT_EQ(error.description(), platform::describe(number(kInvalidQuery)));
    EXPECT_FALSE(error.description().empty());
}

// ---------------------------------------------------------------------------------------------

TEST(FileSystemObject, DriveCIsReadyWithTheVolumesSerialNumber) {
    DWORD serial = 0;
    ASSERT_TRUE(GetVolumeInformationW(L"C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
    const Object file_system = platform::com_create_object(kFileSystemObject);
    const Object drive = file_system.call(u"GetDrive", u"C:").object();
    EXPECT_EQ(show(drive.get(u"IsReady")), "bool:true");
    // A 32-bit serial number comes as a signed Long.
    EXPECT_EQ(show(drive.get(u"SerialNumber")),
              "int64:" + std::to_string(static_cast<std::int32_t>(serial)));
}

struct DriveNameCase {
    const char16_t* name;
    HRESULT number;
};

TEST(FileSystemObject, AnInvalidDriveNameRaisesTheObjectsError) {
    // Wine's scrrun fails with E_INVALIDARG inside Invoke (DISP_E_EXCEPTION, scode only, no
    // description); Windows' raises 5 "Invalid procedure call or argument" instead.
    const DriveNameCase cases[] = {
        {u"?:", E_INVALIDARG},
        {u"C:\\Windows", E_INVALIDARG},
        {u"", E_INVALIDARG},
        // A letter with no drive: CTL_E_DEVICEUNAVAILABLE (68, "Device unavailable").
        {u"Q:", static_cast<HRESULT>(0x800A0044)},
    };
    const Object file_system = platform::com_create_object(kFileSystemObject);
    for (const DriveNameCase& c : cases) {
        SCOPED_TRACE(platform::to_utf8(c.name));
        const Error error = error_of([&] { file_system.call(u"GetDrive", Text(c.name)); });
        EXPECT_EQ(show_number(error.number()), show_number(number(c.number)));
        EXPECT_EQ(error.description(), platform::describe(number(c.number)));
        EXPECT_FALSE(error.description().empty());
    }
}

TEST(FileSystemObject, UnknownMembersAndWrongArgumentCountsAreRaised) {
    const Object file_system = platform::com_create_object(kFileSystemObject);
    Error error = error_of([&] { file_system.get(u"NoSuchProperty"); });
    EXPECT_EQ(show_number(error.number()), show_number(number(DISP_E_UNKNOWNNAME)));
    EXPECT_EQ(error.description(),
              platform::describe(number(DISP_E_UNKNOWNNAME)) + u" (NoSuchProperty)");

    error = error_of([&] { file_system.call(u"GetDrive"); });
    EXPECT_EQ(show_number(error.number()), show_number(number(DISP_E_BADPARAMCOUNT)));
    EXPECT_EQ(error.description(), platform::describe(number(DISP_E_BADPARAMCOUNT)));
}

// ---------------------------------------------------------------------------------------------

struct CreationCase {
    const char* name;
    platform::TextView text;
    HRESULT number;
};

TEST(ObjectCreation, MonikersThatNameNoObjectRaiseTheBindingError) {
    const CreationCase cases[] = {
        // Wine tries an unknown prefix as a file name; Windows says MK_E_SYNTAX.
        {"unknown moniker prefix", u"nosuchscheme:whatever", MK_E_CANTOPENFILE},
        {"empty moniker", u"", E_INVALIDARG},
        {"unknown namespace", u"winmgmts:\\\\.\\root\\nosuchnamespace",
         static_cast<HRESULT>(0x8004100E)},  // WBEM_E_INVALID_NAMESPACE
    };
    for (const CreationCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Error error = error_of([&] { platform::com_get_object(c.text); });
        EXPECT_EQ(show_number(error.number()), show_number(number(c.number)));
        EXPECT_EQ(error.description(), platform::describe(number(c.number)));
        EXPECT_FALSE(error.description().empty());
    }
}

TEST(ObjectCreation, AnUnregisteredClassNameRaisesInvalidClassString) {
    for (const platform::TextView name : {u"Tavrin.NoSuchClass", u""}) {
        SCOPED_TRACE(platform::to_utf8(name));
        const Error error = error_of([&] { platform::com_create_object(name); });
        EXPECT_EQ(show_number(error.number()), show_number(number(CO_E_CLASSSTRING)));
        EXPECT_EQ(error.description(), platform::describe(number(CO_E_CLASSSTRING)));
    }
}

TEST(ObjectCreation, ObjectsCanBeMadeAgainAndAgain) {
    // Every object of a round is released before the next: nothing accumulates.
    for (int round = 0; round < 20; ++round) {
        const Object service = platform::com_get_object(kManagementService);
        const Object results = service.call(u"ExecQuery", Text(kAllDisks)).object();
        for (Value& element : results.elements()) {
            (void)std::move(element).object().get(u"DeviceID");
        }
        const Object drive =
            platform::com_create_object(kFileSystemObject).call(u"GetDrive", u"C:").object();
        EXPECT_EQ(show(drive.get(u"IsReady")), "bool:true");
    }
}

}  // namespace
}  // namespace tavrin_test
