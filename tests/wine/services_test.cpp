// The COM layer against Wine's real management service and file-system object, in the prefix
// tests/wine-run.sh made: removable E: c0ffee00, F: with nothing inserted, G: 80000000 and
// I: 7fffffff; fixed C:, H: 12345678 and Z:.
#include <gtest/gtest.h>

#include "platform/automation_win.h"
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
    for (const HRESULT code :
         {E_OUTOFMEMORY, E_ACCESSDENIED, HRESULT_FROM_WIN32(ERROR_NOT_READY)}) {
        const platform::Text text = platform::describe(static_cast<std::int32_t>(code));
        EXPECT_FALSE(text.empty() || text.starts_with(u"自动化错误") || text.back() == u'\n' ||
                     text.back() == u' ')
            << platform::to_utf8(text);
    }
    EXPECT_EQ(platform::describe(static_cast<std::int32_t>(0xA0001234)), u"自动化错误 0xA0001234");
}

}  // namespace
}  // namespace tavrin_test
