// The COM layer against Wine's real management service and file-system object, in the prefix
// tests/wine-run.sh made: removable E: c0ffee00, F: with nothing inserted, G: 80000000 and
// I: 7fffffff; fixed C:, H: 12345678 and Z:.
#include <gtest/gtest.h>

#include "platform/automation_win.h"
#include "platform/startup_win.h"
#include "tests/wine/fakes.h"

namespace tavrin_test {
namespace {

using platform::Object;

platform::Value read(const char16_t* drive, const char16_t* property) {
    return platform::com_create_object(u"Scripting.FileSystemObject")
        .call(u"GetDrive", platform::Text(drive))
        .object()
        .get(property);
}

TEST(Services, GiveTheRemovableDisksTheirReadinessAndTheirSignedSerials) {
    const Object service = platform::com_get_object(u"winmgmts:\\\\.\\root\\cimv2");
    std::string disks;
    for (platform::Value& element :
         service.call(u"ExecQuery", u"Select * from Win32_LogicalDisk Where DriveType = 2")
             .object()
             .elements()) {
        const Object disk = std::move(element).object();
        disks += outcome([&] { return disk.get(u"DeviceID"); }) + " ";
    }
    EXPECT_EQ(disks, "text:E: text:F: text:G: text:I: ");
    const char* cases[][3] = {
        {"E:", "IsReady", "bool:true"},
        {"E:", "SerialNumber", "int64:-1056969216"},
        {"G:", "SerialNumber", "int64:-2147483648"},
        {"I:", "SerialNumber", "int64:2147483647"},
        {"H:", "SerialNumber", "int64:305419896"},
        {"F:", "IsReady", "bool:false"},
    };
    for (const auto& [drive, property, expected] : cases) {
        const std::u16string id(drive, drive + 2), name(property, property + strlen(property));
        EXPECT_EQ(outcome([&] { return read(id.c_str(), name.c_str()); }), expected) << drive;
    }
    // Failures come through with the callee's number.
    EXPECT_EQ(error_of([] { read(u"Q:", u"IsReady"); }).number(), -2146828220);
    EXPECT_EQ(error_of([&] { service.call(u"ExecQuery", u"Select from"); }).number(), -2147217385);
    EXPECT_EQ(error_of([] { platform::com_create_object(u"Tavrin.NoSuchClass"); }).number(),
              -2147221005);
    // The program's thread is in a single-threaded apartment while the guard lives.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
}

TEST(Services, DescribeFailuresByTheSystemsMessageOrTheProgramsOwnText) {
    // The system's messages, the run time's own and, for the management service's codes, not
    // Wine's placeholder that only repeats the number.
    for (const HRESULT code :
         {E_OUTOFMEMORY, E_ACCESSDENIED, HRESULT_FROM_WIN32(ERROR_NOT_READY), REGDB_E_CLASSNOTREG,
          static_cast<HRESULT>(0x800A0044), static_cast<HRESULT>(0x80041017)}) {
        const platform::Text text = platform::describe(static_cast<std::int32_t>(code));
        EXPECT_FALSE(text.empty() || text.starts_with(u"自动化错误") || text.back() == u'\n' ||
                     text.back() == u' ' || text.find(u"0x") != platform::Text::npos)
            << platform::to_utf8(text);
    }
    EXPECT_EQ(platform::describe(static_cast<std::int32_t>(0xA0001234)), u"自动化错误 0xA0001234");
}

// Where Windows cannot be told to search the system directory alone, the libraries it looks
// for by name are loaded from there first: each one this test has not loaded yet and the
// system directory has.
TEST(Services, PreloadTheSystemLibrariesFromTheSystemDirectory) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    std::vector<std::wstring> expected;
    for (const wchar_t* name : platform::libraries_loaded_by_name()) {
        const std::wstring path = std::wstring(system, length) + L"\\" + name;
        if (GetModuleHandleW(name) == nullptr &&
            GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            expected.push_back(path);
        }
    }
    ASSERT_FALSE(expected.empty());
    platform::preload_system_libraries();
    for (const std::wstring& path : expected) {
        wchar_t loaded[MAX_PATH] = L"";
        GetModuleFileNameW(GetModuleHandleW(path.substr(length + 1).c_str()), loaded, MAX_PATH);
        EXPECT_EQ(CompareStringOrdinal(loaded, -1, path.c_str(), -1, TRUE), CSTR_EQUAL)
            << platform::to_utf8(std::u16string(path.begin(), path.end()));
    }
}

}  // namespace
}  // namespace tavrin_test
