// The COM layer against Wine's real management service and file-system object, in the prefix
// tests/wine-run.sh made: removable E: c0ffee00, F: with nothing inserted, G: 80000000,
// I: 7fffffff, and the fixed disks C:, H: and Z:.
#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>

#include "platform/automation_win.h"
#include "tests/wine/support.h"

namespace tavrin_test {
namespace {

using platform::Object;
using platform::Text;

Object drive(const char16_t* id) {
    return platform::com_create_object(u"Scripting.FileSystemObject")
        .call(u"GetDrive", Text(id))
        .object();
}

TEST(Services, TheQueryYieldsTheRemovableDisksWithTheirIdentifiers) {
    const Object service = platform::com_get_object(u"winmgmts:\\\\.\\root\\cimv2");
    std::vector<std::string> disks;
    for (platform::Value& element :
         service.call(u"ExecQuery", u"Select * from Win32_LogicalDisk Where DriveType = 2")
             .object()
             .elements()) {
        const Object disk = std::move(element).object();
        disks.push_back(outcome([&] { return disk.get(u"DeviceID"); }) + " " +
                        outcome([&] { return disk.get(u"DriveType"); }));
    }
    EXPECT_EQ(disks, (std::vector<std::string>{"text:E: int64:2", "text:F: int64:2",
                                               "text:G: int64:2", "text:I: int64:2"}));
    EXPECT_EQ(outcome([&] { return service.call(u"ExecQuery", u"Select from"); }),
              "error -2147217385");  // WBEM_E_INVALID_QUERY, raised as the service raises it
}

TEST(Services, TheFileSystemObjectGivesReadinessAndTheSignedSerial) {
    const struct {
        const char16_t* id;
        const char* ready;
        const char* serial;
    } cases[] = {
        {u"E:", "bool:true", "int64:-1056969216"},
        {u"G:", "bool:true", "int64:-2147483648"},
        {u"I:", "bool:true", "int64:2147483647"},
        {u"H:", "bool:true", "int64:305419896"},
    };
    for (const auto& c : cases) {
        const Object d = drive(c.id);
        EXPECT_EQ(outcome([&] { return d.get(u"IsReady"); }), c.ready);
        EXPECT_EQ(outcome([&] { return d.get(u"SerialNumber"); }), c.serial);
    }
    EXPECT_EQ(outcome([] { return drive(u"F:").get(u"IsReady"); }), "bool:false");
    EXPECT_EQ(error_of([] { drive(u"Q:"); }).number(), -2146828220);  // device unavailable
    EXPECT_EQ(
        error_of([] { drive(u"E:").get(u"NoSuchProperty"); }).description(),
        platform::describe(static_cast<std::int32_t>(DISP_E_UNKNOWNNAME)) + u" (NoSuchProperty)");
    EXPECT_EQ(error_of([] { platform::com_create_object(u"Tavrin.NoSuchClass"); }).number(),
              static_cast<std::int32_t>(CO_E_CLASSSTRING));
}

// The program's thread is in a single-threaded apartment while the guard lives.
TEST(Services, TheApartmentIsSingleThreaded) {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
}

TEST(Describe, TrimsTheSystemsMessageOrFallsBackToTheProgramsOwnText) {
    for (const HRESULT code :
         {E_OUTOFMEMORY, E_ACCESSDENIED, HRESULT_FROM_WIN32(ERROR_NOT_READY)}) {
        const Text text = platform::describe(static_cast<std::int32_t>(code));
        EXPECT_FALSE(text.empty() || text.starts_with(u"自动化错误") || text.back() == u'\n' ||
                     text.back() == u' ')
            << platform::to_utf8(text);
    }
    EXPECT_EQ(platform::describe(static_cast<std::int32_t>(0xA0001234)), u"自动化错误 0xA0001234");
}

}  // namespace
}  // namespace tavrin_test
