// The COM layer over a scripted object that counts its references and the task allocator's
// strings, then over Wine's real management service and file-system object in the prefix
// tests/wine-run.sh made; failure descriptions; the system libraries.
#include <gtest/gtest.h>

#include <ole2.h>
#include <wrl/client.h>

#include <regex>

#include "platform/win32.h"
#include "support.h"

namespace {

using Microsoft::WRL::ComPtr;
using platform::Object;
using testing_support::to_utf8;

// The answer: the call's argument changed to `type` (VT_BYREF | VT_VARIANT: a reference to it;
// VT_DISPATCH: the object itself; VT_UNKNOWN: one without IDispatch), then `hr`. The description
// is the thread's error object's, and the exception's, filled in when asked, with the codes.
struct Reply {
    VARTYPE type = VT_EMPTY;
    HRESULT hr = S_OK;
    WORD code = 0;
    HRESULT scode = 0;
    const wchar_t* description = nullptr;
};

HRESULT STDMETHODCALLTYPE fill_in(EXCEPINFO* exception) {
    const Reply& reply = *static_cast<const Reply*>(exception->pvReserved);
    exception->wCode = reply.code;
    exception->scode = reply.scode;
    exception->bstrSource = SysAllocString(L"Fake.Object");
    exception->bstrDescription = SysAllocString(reply.description);
    exception->bstrHelpFile = SysAllocString(L"fake.chm");
    return S_OK;
}

// Answers every member with `reply`; records the call: "flags locale IID_NULL: VT:value ..." (the
// last argument first). Its enumerator hands out `elements`, then answers `after`, and fails if
// the last is still held. As the allocator's spy it passes requests through; COM counts what is
// not freed while it is registered (CTest sets OANOCACHE: freed strings are not cached).
struct Fake final : IDispatch, IEnumVARIANT, IMallocSpy {
    Reply reply;
    std::vector<Fake*> elements;
    std::size_t next = 0;
    HRESULT after = S_FALSE;
    ULONG refs = 1;  // the test's own
    std::wstring call;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IMallocSpy     ? static_cast<IMallocSpy*>(this)
               : iid == IID_IEnumVARIANT ? static_cast<void*>(static_cast<IEnumVARIANT*>(this))
                                         : static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IEnumVARIANT**) override { return E_NOTIMPL; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override { return size; }
    STDMETHODIMP_(void*) PostAlloc(void* block) override { return block; }
    STDMETHODIMP_(void*) PreFree(void* block, BOOL) override { return block; }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* block, SIZE_T size, void** out, BOOL) override {
        *out = block;
        return size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* block, BOOL) override { return block; }
    STDMETHODIMP_(void*) PreGetSize(void* block, BOOL) override { return block; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    STDMETHODIMP_(void*) PreDidAlloc(void* block, BOOL) override { return block; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* id) override {
        *id = 1;
        return S_OK;
    }

    STDMETHODIMP Invoke(DISPID id,
                        REFIID iid,
                        LCID locale,
                        WORD flags,
                        DISPPARAMS* params,
                        VARIANT* result,
                        EXCEPINFO* exception,
                        UINT*) override {
        call = std::to_wstring(flags) + L" " + std::to_wstring(locale) + L" " +
               std::to_wstring(iid == IID_NULL) + L":";
        for (UINT i = 0; i < params->cArgs; ++i) {
            platform::Owner<VARIANT, VariantClear> text;
            VariantChangeType(text.put(), &params->rgvarg[i], 0, VT_BSTR);
            call += L" " + std::to_wstring(V_VT(&params->rgvarg[i])) + L":" + V_BSTR(&*text);
        }
        V_VT(result) = id == DISPID_NEWENUM ? VARTYPE{VT_DISPATCH} : reply.type;
        if (V_VT(result) == VT_DISPATCH) {
            QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&V_DISPATCH(result)));
        } else if (V_VT(result) == VT_UNKNOWN) {
            CoGetMalloc(MEMCTX_TASK, reinterpret_cast<IMalloc**>(&V_UNKNOWN(result)));
        } else if (V_VT(result) == (VT_BYREF | VT_VARIANT)) {
            V_VARIANTREF(result) = &params->rgvarg[0];
        } else {
            VariantChangeType(result, &params->rgvarg[0], 0, reply.type);
        }
        exception->pvReserved = &reply;
        exception->pfnDeferredFillIn = &fill_in;
        if (reply.description != nullptr) {
            ComPtr<ICreateErrorInfo> create;
            ComPtr<IErrorInfo> info;
            CreateErrorInfo(&create);
            create->SetDescription(const_cast<LPOLESTR>(reply.description));
            create.As(&info);
            SetErrorInfo(0, info.Get());
        }
        return reply.hr;
    }

    STDMETHODIMP Next(ULONG, VARIANT* out, ULONG* fetched) override {
        if (next > 0 && elements[next - 1]->refs != 1) {
            return E_UNEXPECTED;  // the last element is still held
        }
        if ((*fetched = next < elements.size()) == 0) {
            return after;
        }
        V_VT(out) = VT_DISPATCH;
        return elements[next++]->QueryInterface(IID_IDispatch,
                                                reinterpret_cast<void**>(&V_DISPATCH(out)));
    }
};

struct Show {
    std::string operator()(std::monostate) const { return "empty"; }
    std::string operator()(platform::Null) const { return "null"; }
    std::string operator()(bool b) const { return b ? "bool:true" : "bool:false"; }
    std::string operator()(std::int64_t i) const { return "int64:" + std::to_string(i); }
    std::string operator()(const platform::Text& t) const { return "text:" + to_utf8(t); }
    std::string operator()(const Object&) const { return "object"; }
};

// What the action gave: "int64:-5", "text:E:", "bool:true", "null", "empty", "object", or
// "error NUMBER" followed by the description when it is not platform::describe's for NUMBER.
std::string outcome(const std::function<platform::Value()>& action) {
    try {
        return std::visit(Show{}, action().storage());
    } catch (const platform::Error& error) {
        const std::string shown = "error " + std::to_string(error.number());
        return error.description() == platform::describe(error.number())
                   ? shown
                   : shown + " " + to_utf8(error.description());
    }
}

TEST(ComLayer, PassesArgumentsTakesEachAnswerOrFailureAndGivesBackEveryReferenceAndString) {
    static Fake fake;  // the allocator's spy until everything is freed
    Fake disk;
    ASSERT_EQ(CoRegisterMallocSpy(&fake), S_OK);
    const Object object = platform::wrap_dispatch(&fake);
    // A method call and property read at once, in the user's locale, the last argument first.
    object.call(u"Take", u"盘符", std::int64_t{-5}, std::int64_t{1} << 40, true);
    EXPECT_EQ(fake.call, L"3 1024 1: 11:-1 20:1099511627776 3:-5 8:盘符");
    const std::tuple<Reply, const char16_t*, std::string> replies[] = {
        {{VT_UI4}, u"3735928559", "int64:3735928559"},
        {{VT_BYREF | VT_VARIANT}, u"E:", "text:E:"},
        {{VT_NULL}, u"", "null"},
        {{VT_EMPTY}, u"", "empty"},
        {{VT_UNKNOWN}, u"", "error -2147352571"},
        {{VT_DATE}, u"2026-12-08", "error -2147352571"},
        // The object's own error number and description come first, then its status; an own
        // number is described as its HRESULT form, 0x800A0000 + it.
        {{.hr = DISP_E_EXCEPTION, .code = 68, .scode = E_FAIL, .description = L"设备不可用"},
         u"",
         "error 68 设备不可用"},
        {{.hr = DISP_E_EXCEPTION, .code = 71}, u"", "error 71 磁盘未准备好。"},
        {{.hr = E_FAIL, .description = L"说明"}, u"", "error -2147467259 说明"},
        // An error object left by a call that succeeded does not describe the next failure.
        {{.type = VT_BSTR, .description = L"过时的说明"}, u"E:", "text:E:"},
        {{.type = VT_BSTR, .hr = E_NOTIMPL}, u"half an answer", "error -2147467263"},
    };
    for (const auto& [reply, argument, expected] : replies) {
        fake.reply = reply;
        EXPECT_EQ(outcome([&] { return object.call(u"Member", argument); }), expected)
            << reply.type << " " << reply.hr;
    }
    EXPECT_EQ(outcome([] { return platform::wrap_dispatch(nullptr).get(u"DeviceID"); }),
              "error -2147467261");  // Nothing: an unset object raises "invalid pointer"

    // A collection that fails after two elements, each released before the next is fetched.
    fake.reply = {};
    fake.elements = {&disk, &disk};
    fake.after = static_cast<HRESULT>(0x80041001);  // WBEM_E_FAILED
    EXPECT_EQ(outcome([&] {
                  for ([[maybe_unused]] platform::Value& element : object.elements()) {
                  }
                  return platform::Value();
              }),
              "error -2147217407");
    EXPECT_EQ(disk.refs, 1u) << "references were not given back";
    EXPECT_EQ(CoRevokeMallocSpy(), S_OK) << "strings were not freed";
}

// Wine's real objects over the prefix's drives (E: c0ffee00, F: nothing inserted, G: 80000000,
// I: 7fffffff; H: is fixed): the removable disks, their readiness and signed serials, failures
// with the callee's number; and each code's description matching its pattern in
// descriptions.txt.
TEST(Services, GiveTheRemovableDisksTheirReadinessAndSerialsAndDescribeFailures) {
    const Object service = platform::com_get_object(u"winmgmts:\\\\.\\root\\cimv2");
    const Object files = platform::com_create_object(u"Scripting.FileSystemObject");
    std::string seen;
    for (platform::Value& disk :
         service.call(u"ExecQuery", u"Select * from Win32_LogicalDisk Where DriveType = 2")
             .object()
             .elements()) {
        const platform::Text id = std::get<Object>(disk.storage()).get(u"DeviceID").text();
        const Object drive = files.call(u"GetDrive", id).object();
        const std::string ready = outcome([&] { return drive.get(u"IsReady"); });
        seen += to_utf8(id) + ready +
                (ready == "bool:true" ? outcome([&] { return drive.get(u"SerialNumber"); }) : "");
    }
    EXPECT_EQ(seen,
              "E:bool:trueint64:-1056969216F:bool:falseG:bool:trueint64:-2147483648I:bool:true"
              "int64:2147483647");
    EXPECT_EQ(outcome([&] { return files.call(u"GetDrive", u"Q:"); }), "error -2146828220");
    EXPECT_EQ(outcome([&] { return files.get(u"序列号"); }),
              "error -2147352570 " + to_utf8(platform::describe(-2147352570) + u" (序列号)"));
    // The program's thread is in a single-threaded apartment while the guard lives.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    for (const std::string& line :
         testing_support::lines_of(TAVRIN_WINE_DATA "/descriptions.txt")) {
        const std::string text = to_utf8(platform::describe(std::stoul(line, nullptr, 16)));
        EXPECT_TRUE(std::regex_match(text, std::regex(line.substr(line.find(' ') + 1))))
            << line << ": " << text;
    }
}

// Where Windows cannot be told to search the system directory alone (Windows 7 without its
// loader update, staged by making SetDefaultDllDirectories fail), the libraries it would look
// for by name are loaded from there first, not from the program's folder, which has a decoy.
TEST(Startup, PreloadsTheSystemLibrariesFromTheSystemDirectory) {
    ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);  // the decoy's name
    void* const set_directories = reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
    // xor eax, eax; ret, taking the one argument off the stack on x86
    const unsigned char fail[] = {0x31, 0xC0, 0xC2, sizeof(void*) == 4 ? 4 : 0, 0};
    ASSERT_TRUE(
        WriteProcessMemory(GetCurrentProcess(), set_directories, fail, sizeof fail, nullptr));
    platform::harden_process();
    wchar_t system[MAX_PATH];
    const std::wstring directory(system, GetSystemDirectoryW(system, MAX_PATH));
    for (const wchar_t* name : platform::libraries_loaded_by_name()) {
        // Not loaded at all where Wine lacks it; else loaded from the system directory.
        EXPECT_EQ(GetModuleHandleW(name), GetModuleHandleW((directory + L"\\" + name).c_str()))
            << name;
    }
    EXPECT_NE(GetModuleHandleW(L"msimg32.dll"), nullptr);
}

}  // namespace

// The test program: one single-threaded apartment for the whole run, as the program has.
int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    const platform::ComApartment apartment;
    return RUN_ALL_TESTS();
}
