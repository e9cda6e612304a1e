// The COM layer over a scripted object and Wine's real objects; descriptions; system libraries.
#include <gtest/gtest.h>

#include <ole2.h>
#include <wrl/client.h>

#include <regex>

#include "platform/win32.h"
#include "support.h"

namespace {

using Microsoft::WRL::ComPtr;
using namespace platform;
using namespace testing_support;

// Answers every member as replies.txt says, appending the arguments to `call`: " VT:value" (the
// last first). Its enumerator hands out `element` twice, then fails, and fails while one is held.
// As the allocator's spy it lets all through; COM counts what is not freed (OANOCACHE: no cache).
struct Fake final : IDispatch, IEnumVARIANT, IMallocSpy {
    VARTYPE type = VT_EMPTY;
    unsigned long hr = 0, code = 0, scode = 0;
    Text text;
    Fake* element = nullptr;
    ULONG refs = 1, left = 2;  // the test's own reference; the elements still to hand out
    std::wstring call;

    static HRESULT STDMETHODCALLTYPE fill_in(EXCEPINFO* exception) {
        const Fake& fake = *static_cast<const Fake*>(exception->pvReserved);
        exception->wCode = fake.code;
        exception->scode = fake.scode;
        exception->bstrSource = SysAllocString(L"Fake.Object");
        exception->bstrDescription = SysAllocString(wide(fake.text).c_str());
        exception->bstrHelpFile = SysAllocString(L"fake.chm");
        return S_OK;
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IMallocSpy     ? static_cast<IMallocSpy*>(this)
               : iid == IID_IEnumVARIANT ? static_cast<void*>(static_cast<IEnumVARIANT*>(this))
                                         : static_cast<IDispatch*>(this);
        return AddRef(), S_OK;
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
        return *out = block, size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* block, BOOL) override { return block; }
    STDMETHODIMP_(void*) PreGetSize(void* block, BOOL) override { return block; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    STDMETHODIMP_(void*) PreDidAlloc(void* block, BOOL) override { return block; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return S_OK; }

    STDMETHODIMP Invoke(DISPID id,
                        REFIID iid,
                        LCID locale,
                        WORD flags,
                        DISPPARAMS* params,
                        VARIANT* result,
                        EXCEPINFO* exception,
                        UINT*) override {
        // A method call and property read at once, in the user's locale.
        EXPECT_TRUE(flags == 3 && locale == LOCALE_USER_DEFAULT && iid == IID_NULL);
        for (UINT i = 0; i < params->cArgs; ++i) {
            Owner<VARIANT, VariantClear> shown;
            VariantChangeType(shown.put(), &params->rgvarg[i], 0, VT_BSTR);
            call += L" " + std::to_wstring(V_VT(&params->rgvarg[i])) + L":" + V_BSTR(&*shown);
        }
        V_VT(result) = id == DISPID_NEWENUM ? VARTYPE{VT_DISPATCH} : type;
        if (V_VT(result) == VT_DISPATCH) {
            QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&V_DISPATCH(result)));
        } else if (V_VT(result) == VT_UNKNOWN) {
            CoGetMalloc(MEMCTX_TASK, reinterpret_cast<IMalloc**>(&V_UNKNOWN(result)));
        } else if (V_VT(result) == (VT_BYREF | VT_VARIANT)) {
            V_VARIANTREF(result) = &params->rgvarg[0];
        } else {
            VariantChangeType(result, &params->rgvarg[0], 0, type);
        }
        exception->pvReserved = this;
        exception->pfnDeferredFillIn = &fill_in;
        ComPtr<ICreateErrorInfo> create;
        ComPtr<IErrorInfo> info;
        if (!text.empty() && CreateErrorInfo(&create) == S_OK &&
            create->SetDescription(wide(text).data()) == S_OK && create.As(&info) == S_OK) {
            SetErrorInfo(0, info.Get());
        }
        return hr;
    }

    STDMETHODIMP Next(ULONG, VARIANT* out, ULONG* fetched) override {
        if ((*fetched = element->refs == 1 && left > 0 && left--) == 0) {
            return element->refs == 1 ? 0x80041001 : E_UNEXPECTED;  // WBEM_E_FAILED
        }
        V_VT(out) = VT_DISPATCH;
        return element->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&V_DISPATCH(out)));
    }
};

struct Show {
    std::string operator()(std::monostate) const { return "empty"; }
    std::string operator()(Null) const { return "null"; }
    std::string operator()(bool b) const { return b ? "bool:true" : "bool:false"; }
    std::string operator()(std::int64_t i) const { return "int64:" + std::to_string(i); }
    std::string operator()(const Text& t) const { return "text:" + to_utf8(t); }
    std::string operator()(const Object&) const { return "object"; }
};

// What the action gave, as replies.txt writes it.
std::string outcome(const std::function<Value()>& action) {
    try {
        return std::visit(Show{}, action().storage());
    } catch (const Error& error) {
        const std::string shown = "error " + std::to_string(error.number());
        return error.description() == describe(error.number())
                   ? shown
                   : shown + " " + to_utf8(error.description());
    }
}

TEST(ComLayer, PassesArgumentsTakesEachAnswerOrFailureAndGivesBackEveryReferenceAndString) {
    static Fake fake;  // the allocator's spy until everything is freed
    Fake disk;
    ASSERT_EQ(CoRegisterMallocSpy(&fake), S_OK);
    const Object object = wrap_dispatch(&fake);
    object.call(u"Take", u"盘符", std::int64_t{-5}, std::int64_t{1} << 40, true);
    EXPECT_EQ(fake.call, L" 11:-1 20:1099511627776 3:-5 8:盘符");
    for (const std::string& line : lines_of(TAVRIN_WINE_DATA "/replies.txt")) {
        std::istringstream row(line);
        std::string text, expected;
        row >> std::hex >> fake.type >> fake.hr >> fake.code >> fake.scode >> text >> std::ws;
        std::getline(row, expected);
        text.erase(text == "-" ? 0 : text.size());  // "-": empty
        fake.text = std::filesystem::path(std::u8string(text.begin(), text.end())).u16string();
        EXPECT_EQ(outcome([&] { return object.call(u"Member", fake.text); }), expected) << line;
    }
    EXPECT_EQ(error_of([] { wrap_dispatch(nullptr).get(u"DeviceID"); }), E_POINTER);  // Nothing

    fake.hr = 0;
    fake.element = &disk;
    EXPECT_EQ(error_of([&] {
                  for ([[maybe_unused]] Value& element : object.elements()) {
                  }
              }),
              -2147217407);
    EXPECT_EQ(disk.refs, 1u) << "references were not given back";
    EXPECT_EQ(CoRevokeMallocSpy(), S_OK) << "strings were not freed";
}

// The click over Wine's real objects and the prefix's drives (E: c0ffee00, F: not ready, G:
// 80000000, I: 7fffffff; H: fixed); failures; each code's description as descriptions.txt has it.
TEST(Services, GiveTheRemovableDisksTheirReadinessAndSerialsAndDescribeFailures) {
    ScriptedMachine machine(ObjectSource{com_get_object, com_create_object});
    EXPECT_TRUE(machine.click().ends_with(R"(E:-1056969216\r\nG:-2147483648\r\nI:2147483647)"))
        << machine.shown;  // Text1's text, after whatever names the control
    const Object files = com_create_object(u"Scripting.FileSystemObject");
    EXPECT_EQ(outcome([&] { return files.call(u"GetDrive", u"Q:"); }), "error -2146828220");
    EXPECT_EQ(outcome([&] { return files.get(u"序列号"); }),
              "error -2147352570 " + to_utf8(describe(-2147352570) + u" (序列号)"));
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);  // an STA
    for (const std::string& line : lines_of(TAVRIN_WINE_DATA "/descriptions.txt")) {
        const std::string text = to_utf8(describe(std::stoul(line, nullptr, 16)));
        EXPECT_TRUE(std::regex_match(text, std::regex(line.substr(line.find(' ') + 1))))
            << line << ": " << text;
    }
}

// Where the search cannot be restricted to the system directory (Windows 7 without its loader
// update: SetDefaultDllDirectories made to fail), the libraries are preloaded from there.
TEST(Startup, PreloadsTheSystemLibrariesFromTheSystemDirectory) {
    ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);  // a decoy's name in the test's folder
    // xor eax, eax; ret, taking the one argument off the stack on x86
    const unsigned char fail[] = {0x31, 0xC0, 0xC2, sizeof(void*) == 4 ? 4 : 0, 0};
    void* const set_directories = reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
    ASSERT_TRUE(
        WriteProcessMemory(GetCurrentProcess(), set_directories, fail, sizeof fail, nullptr));
    harden_process();
    wchar_t system[MAX_PATH];
    const std::wstring directory(system, GetSystemDirectoryW(system, MAX_PATH));
    for (const wchar_t* name : libraries_loaded_by_name()) {
        EXPECT_EQ(GetModuleHandleW(name), GetModuleHandleW((directory + L"\\" + name).c_str()))
            << name;
    }
    EXPECT_NE(GetModuleHandleW(L"msimg32.dll"), nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    const ComApartment apartment;
    return RUN_ALL_TESTS();
}
