// The COM layer over hand-made objects: what it passes, what it makes of each answer, how it
// reports each failure, and that every reference and string goes back, also when unwinding;
// then against Wine's real management service and file-system object, in the prefix
// tests/wine-run.sh made; failure descriptions; the preloading of system libraries.
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "tests/wine/fakes.h"

namespace tavrin_test {
namespace {

using platform::describe;
using platform::Object;
namespace codes = platform::codes;

class ComLayer : public testing::Test {
  protected:
    ComLayer() { EXPECT_EQ(CoRegisterMallocSpy(&spy), S_OK); }
    void TearDown() override {
        CoRevokeMallocSpy();
        EXPECT_EQ(spy.live.size(), 0u) << "strings were not freed";
        for (const Fake* object : {&fake, &disk, &other}) {
            EXPECT_EQ(object->refs, 1u) << "references were not given back";
        }
    }
    // What reading the member, called with a text, gives.
    std::string read(const Reply& reply) {
        fake.members[L"Member"] = reply;
        return outcome([&] { return platform::wrap_dispatch(&fake).call(u"Member", u"E:"); });
    }

    static inline Spy spy;  // registered while a test runs
    Fake fake, disk, other;
};

TEST_F(ComLayer, CallsByNameWithTheArgumentsLastFirstAndTakesEachAnswerOrFailure) {
    fake.members[L"Take"] = {};
    platform::wrap_dispatch(&fake).call(u"Take", u"盘符", std::int64_t{-5}, std::int64_t{1} << 40,
                                        true);
    // A method call and property read at once, in the user's locale.
    EXPECT_EQ(fake.calls.at(0), L"3 1024 1: 11:True 20:1099511627776 3:-5 8:盘符");
    disk.members[L"DeviceID"] = {VT_BSTR, L"E:"};
    other.dispatch = false;
    const std::pair<Reply, std::string> cases[] = {
        {{VT_I4, L"-559038737"}, "int64:-559038737"},  // a serial with the top bit set
        {{VT_UI4, L"3735928559"}, "int64:3735928559"},
        {{VT_I4 | VT_BYREF, L"42"}, "int64:42"},
        {{VT_BOOL, L"-1"}, "bool:true"},
        {{VT_BOOL, L"0"}, "bool:false"},
        {{VT_NULL}, "null"},
        {{VT_EMPTY}, "empty"},
        {{VT_BSTR, L"可移动磁盘 E:"}, "text:可移动磁盘 E:"},
        {{VT_DISPATCH, L"", static_cast<IDispatch*>(&disk)}, "object"},
        {{VT_DISPATCH}, "object"},  // Nothing
        {{VT_UNKNOWN, L"", static_cast<IDispatch*>(&disk)}, "object"},
        {{VT_UNKNOWN, L"", static_cast<IDispatch*>(&other)}, "error -2147352571"},  // no IDispatch
        {{VT_DATE, L"2026-12-08"}, "error -2147352571"},  // a type mismatch
        // The object's own error number and description come first, then its status.
        {{.hr = DISP_E_EXCEPTION, .code = 68, .description = L"设备不可用"}, "error 68 设备不可用"},
        {{.hr = DISP_E_EXCEPTION, .code = 68, .scode = E_FAIL, .description = L"设备不可用"},
         "error 68 设备不可用"},
        {{.hr = DISP_E_EXCEPTION, .scode = E_ACCESSDENIED, .description = L"拒绝访问"},
         "error -2147024891 拒绝访问"},
        {{.hr = DISP_E_EXCEPTION, .scode = E_ACCESSDENIED, .description = L""},
         "error -2147024891"},
        {{.hr = DISP_E_EXCEPTION}, "error -2147352567"},
        {{.hr = DISP_E_EXCEPTION, .deferred = true}, "error -2147024891 稍后填写的说明"},
        // A failure described by the error object the callee set.
        {{.hr = E_FAIL, .error_info = L"来自错误对象的说明"},
         "error -2147467259 来自错误对象的说明"},
        {{VT_BSTR, L"half an answer", nullptr, E_NOTIMPL}, "error -2147467263"},
    };
    for (const auto& [reply, expected] : cases) {
        EXPECT_EQ(read(reply), expected) << reply.type << " " << reply.code << " " << reply.scode;
    }
    // An error number of the object's own is described as its HRESULT form, 0x800A0000 + it.
    EXPECT_EQ(read({.hr = DISP_E_EXCEPTION, .code = 71}),
              "error 71 " + testing_support::to_utf8(platform::describe(-2146828217)));
    EXPECT_EQ(outcome([&] { return platform::wrap_dispatch(nullptr).get(u"DeviceID"); }),
              "error -2147467261");  // Nothing: an unset object raises "invalid pointer"
    EXPECT_EQ(outcome([&] { return platform::wrap_dispatch(&fake).get(u"序列号"); }),
              "error -2147352570 " +
                  testing_support::to_utf8(platform::describe(-2147352570) + u" (序列号)"));
}

TEST_F(ComLayer, EnumeratesACollectionReleasingEachElementBeforeTheNext) {
    disk.members[L"DeviceID"] = other.members[L"DeviceID"] = {VT_BSTR, L"E:"};
    fake.members[L"_NewEnum"] = {VT_UNKNOWN, L"", static_cast<IEnumVARIANT*>(&fake)};
    const auto count = [&] {
        std::int64_t seen = 0;
        for (platform::Value& element : platform::wrap_dispatch(&fake).elements()) {
            const platform::Object got = std::move(element).object();
            EXPECT_EQ(disk.refs + other.refs, 3u) << "the previous element is still held";
            EXPECT_EQ(outcome([&] { return got.get(u"DeviceID"); }), "text:E:");
            ++seen;
        }
        return platform::Value(seen);
    };
    EXPECT_EQ(outcome(count), "int64:0");
    fake.elements = {&disk, &other};
    fake.next = 0;
    EXPECT_EQ(outcome(count), "int64:2");
    fake.next = 1;
    fake.after_elements = static_cast<HRESULT>(0x80041001);  // WBEM_E_FAILED
    EXPECT_EQ(outcome(count), "error -2147217407");
    EXPECT_EQ(fake.calls.at(0), L"3 1024 1:");
}

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
          codes::kUnexpected, codes::kInvalidArgument, codes::kMonikerSyntax, codes::kClassString,
          codes::kBadParamCount, codes::kInvalidQuery, codes::kDeviceUnavailable,
          codes::kDiskNotReady}) {
        EXPECT_EQ(platform::own_description(code).value_or(u"none"), describe(code)) << code;
    }
    // Codes not in the table: the system's message, trimmed.
    for (const HRESULT code : {E_ACCESSDENIED, HRESULT_FROM_WIN32(ERROR_NOT_READY)}) {
        const platform::Text text = describe(code);
        EXPECT_FALSE(text.empty() || text.find(u"0x") != text.npos || text.back() == u'\n' ||
                     text.back() == u' ')
            << testing_support::to_utf8(text);
    }
    EXPECT_EQ(describe(static_cast<std::int32_t>(0xA0001234)), u"自动化错误 0xA0001234");
}

// Where Windows cannot be told to search the system directory alone, the libraries it looks
// for by name are loaded from there first, not from the program's folder (which has a decoy).
TEST(Services, PreloadTheSystemLibrariesFromTheSystemDirectory) {
    ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);  // the decoy's name
    wchar_t system[MAX_PATH];
    const std::wstring directory(system, GetSystemDirectoryW(system, MAX_PATH));
    for (const wchar_t* name : platform::libraries_loaded_by_name()) {
        const HMODULE library = platform::system_library(name);  // Wine lacks a few of them
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

// The test program: one single-threaded apartment for the whole run, as the program has.
int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Freed strings go straight back to the task allocator, where the tests see them go
    // (exported by oleaut32, in no import library of MinGW's).
    const auto no_cache = reinterpret_cast<void(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleaut32.dll"), "SetOaNoCache")));
    if (no_cache == nullptr) {
        return 2;
    }
    no_cache();
    const platform::ComApartment apartment;
    return RUN_ALL_TESTS();
}
