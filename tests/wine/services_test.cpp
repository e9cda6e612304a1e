// The COM layer against Wine's real management service and file-system object, in the prefix
// tests/wine-run.sh made; failure descriptions; the preloading of system libraries.
#include <gtest/gtest.h>

#include "platform/automation_win.h"
#include "platform/startup_win.h"
#include "tests/wine/fakes.h"

namespace tavrin_test {
namespace {

using platform::describe;
using platform::Object;
namespace codes = platform::codes;

TEST(Services, GiveTheRemovableDisksTheirReadinessAndTheirSignedSerials) {
    const Object service = platform::com_get_object(u"winmgmts:\\\\.\\root\\cimv2");
    const Object files = platform::com_create_object(u"Scripting.FileSystemObject");
    std::string seen;
    for (platform::Value& element :
         service.call(u"ExecQuery", u"Select * from Win32_LogicalDisk Where DriveType = 2")
             .object()
             .elements()) {
        const Object disk = std::move(element).object();
        const platform::Text id = disk.get(u"DeviceID").text();
        seen += outcome([&] { return files.call(u"GetDrive", id).object().get(u"IsReady"); });
    }
    for (const char16_t* id : {u"E:", u"G:", u"I:", u"H:"}) {
        seen += outcome([&] { return files.call(u"GetDrive", id).object().get(u"SerialNumber"); });
    }
    // E: c0ffee00, F: nothing inserted, G: 80000000, I: 7fffffff and the fixed H: 12345678.
    EXPECT_EQ(seen,
              "bool:truebool:falsebool:truebool:trueint64:-1056969216int64:-2147483648"
              "int64:2147483647int64:305419896");
    // Failures come through with the callee's number, described by the run time's own text.
    EXPECT_EQ(outcome([&] { return files.call(u"GetDrive", u"Q:"); }), "error -2146828220");
    EXPECT_EQ(outcome([&] { return service.call(u"ExecQuery", u"Select from"); }),
              "error -2147217385");
    EXPECT_EQ(outcome([] { return platform::com_create_object(u"Tavrin.NoSuchClass"); }),
              "error -2147221005");
    // The program's thread is in a single-threaded apartment while the guard lives.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
}

TEST(Services, DescribeFailuresByTheRunTimesOwnTextOrTheSystemsMessage) {
    // Every code the program raises has a text of the run time's own, before the system's.
    for (const std::int32_t code :
         {codes::kTypeMismatch, codes::kUnknownName, codes::kOutOfMemory, codes::kInvalidPointer,
          codes::kUnexpected, codes::kNotImplemented, codes::kInvalidArgument,
          codes::kMonikerSyntax, codes::kClassString, codes::kBadParamCount, codes::kInvalidQuery,
          codes::kDeviceUnavailable, codes::kDiskNotReady}) {
        EXPECT_EQ(platform::own_description(code).value_or(u"none"), describe(code)) << code;
    }
    // Codes not in the table: the system's message, trimmed.
    for (const HRESULT code : {E_ACCESSDENIED, HRESULT_FROM_WIN32(ERROR_NOT_READY)}) {
        const platform::Text text = describe(code);
        EXPECT_FALSE(text.empty() || text.find(u"0x") != text.npos || text.back() == u'\n' ||
                     text.back() == u' ')
            << platform::to_utf8(text);
    }
    EXPECT_EQ(describe(static_cast<std::int32_t>(0xA0001234)), u"自动化错误 0xA0001234");
}

// Where Windows cannot be told to search the system directory alone, the libraries it looks
// for by name are loaded from there first, not from the program's folder (which has a decoy).
TEST(Services, PreloadTheSystemLibrariesFromTheSystemDirectory) {
    ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);  // the decoy's name
    platform::preload_system_libraries();
    wchar_t system[MAX_PATH];
    const std::wstring directory(system, GetSystemDirectoryW(system, MAX_PATH));
    for (const wchar_t* name : platform::libraries_loaded_by_name()) {
        const HMODULE library = GetModuleHandleW(name);  // Wine lacks a few of them
        wchar_t loaded[MAX_PATH] = L"";
        GetModuleFileNameW(library, loaded, MAX_PATH);
        const std::wstring wanted = directory + L"\\" + name;
        EXPECT_TRUE(library == nullptr ||
                    CompareStringOrdinal(loaded, -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL)
            << loaded;
    }
    EXPECT_NE(GetModuleHandleW(L"msimg32.dll"), nullptr);
}

}  // namespace
}  // namespace tavrin_test
