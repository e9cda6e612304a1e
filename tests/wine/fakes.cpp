#include "tests/wine/fakes.h"

#include <wrl/client.h>

#include <set>
#include <stdexcept>

namespace tavrin_test {

namespace {

HRESULT STDMETHODCALLTYPE fill_in(EXCEPINFO* exception) {
    exception->scode = E_ACCESSDENIED;
    exception->bstrDescription = SysAllocString(L"稍后填写的说明");
    return S_OK;
}

void set_error_info(const wchar_t* description) {
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(CreateErrorInfo(&create)) &&
        SUCCEEDED(create->SetDescription(const_cast<LPOLESTR>(description))) &&
        SUCCEEDED(create.As(&info))) {
        SetErrorInfo(0, info.Get());
    }
}

}  // namespace

HRESULT Fake::QueryInterface(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
    } else if (iid == IID_IEnumVARIANT) {
        *out = static_cast<IEnumVARIANT*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT Fake::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT Fake::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) {
    const auto found = members.find(names[0]);
    *id = found == members.end() ? DISPID_UNKNOWN
                                 : static_cast<DISPID>(std::distance(members.begin(), found));
    calls.push_back(std::wstring(L"names ") + names[0]);
    return *id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT Fake::Invoke(DISPID id,
                     REFIID iid,
                     LCID locale,
                     WORD flags,
                     DISPPARAMS* params,
                     VARIANT* result,
                     EXCEPINFO* exception,
                     UINT*) {
    std::wstring call = std::to_wstring(flags) + L" " + std::to_wstring(locale) + L" " +
                        std::to_wstring(iid == IID_NULL) + L":";
    for (UINT i = 0; i < params->cArgs; ++i) {
        VARIANT text;
        VariantInit(&text);
        VariantChangeType(&text, &params->rgvarg[i], VARIANT_ALPHABOOL, VT_BSTR);
        call += L" " + std::to_wstring(V_VT(&params->rgvarg[i])) + L":" +
                (V_VT(&text) == VT_BSTR ? V_BSTR(&text) : L"?");
        VariantClear(&text);
    }
    calls.push_back(call);
    const auto member =
        id == DISPID_NEWENUM ? members.find(L"_NewEnum") : std::next(members.begin(), id);
    if (member == members.end()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const Reply& reply = member->second;
    VARIANT source;
    V_VT(&source) = VT_BSTR;
    V_BSTR(&source) = SysAllocString(reply.text);
    if (reply.type == VT_DISPATCH || reply.type == VT_UNKNOWN) {
        V_VT(result) = reply.type;
        V_UNKNOWN(result) = reply.object;
        if (reply.object != nullptr) {
            reply.object->AddRef();
        }
    } else if (reply.type == (VT_I4 | VT_BYREF)) {
        stored_ = _wtoi(reply.text);
        V_VT(result) = reply.type;
        V_I4REF(result) = &stored_;
    } else if (reply.type != VT_EMPTY && reply.type != VT_NULL) {
        VariantChangeType(result, &source, 0, reply.type);
    } else {
        V_VT(result) = reply.type;
    }
    VariantClear(&source);
    if (reply.error_info != nullptr) {
        set_error_info(reply.error_info);
    }
    if (reply.hr == DISP_E_EXCEPTION && reply.deferred) {
        exception->pfnDeferredFillIn = &fill_in;
    } else if (reply.hr == DISP_E_EXCEPTION) {
        exception->wCode = reply.code;
        exception->scode = reply.scode;
        exception->bstrSource = SysAllocString(L"Fake.Object");
        exception->bstrDescription =
            reply.description ? SysAllocString(reply.description) : nullptr;
        exception->bstrHelpFile = SysAllocString(L"fake.chm");
    }
    return reply.hr;
}

HRESULT Fake::Next(ULONG count, VARIANT* out, ULONG* fetched) {
    ULONG done = 0;
    for (; done < count && next < elements.size(); ++done) {
        V_VT(&out[done]) = VT_DISPATCH;
        V_DISPATCH(&out[done]) = elements[next++];
        V_DISPATCH(&out[done])->AddRef();
    }
    if (fetched != nullptr) {
        *fetched = done;
    }
    return done == count ? S_OK : after_elements;
}

namespace {

// Remembers the blocks allocated through the task allocator while it is registered.
class Spy final : public IMallocSpy {
  public:
    std::set<void*> live;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the process
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* block) override {
        live.insert(block);
        return block;
    }
    void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override {
        live.erase(block);
        return block;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** out, BOOL) override {
        live.erase(block);
        *out = block;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return PostAlloc(block); }
    void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

Spy& spy() {
    static Spy* const instance = new Spy;  // a block leaked by a failing test cannot outlive it
    return *instance;
}

}  // namespace

AllocationWatch::AllocationWatch() {
    spy().live.clear();
    if (FAILED(CoRegisterMallocSpy(&spy()))) {
        throw std::runtime_error("cannot watch the task allocator");
    }
}

AllocationWatch::~AllocationWatch() {
    CoRevokeMallocSpy();
}

std::size_t AllocationWatch::live() const {
    return spy().live.size();
}

namespace {

// Shows a value as outcome() does.
struct Show {
    std::string operator()(std::monostate) const { return "empty"; }
    std::string operator()(platform::Null) const { return "null"; }
    std::string operator()(bool b) const { return b ? "bool:true" : "bool:false"; }
    std::string operator()(std::int64_t i) const { return "int64:" + std::to_string(i); }
    std::string operator()(const platform::Text& t) const { return "text:" + platform::to_utf8(t); }
    std::string operator()(const platform::Object&) const { return "object"; }
    std::string operator()(const auto&) const { return "other"; }
};

}  // namespace

std::string outcome(const std::function<platform::Value()>& action) {
    try {
        return std::visit(Show{}, action().storage());
    } catch (const platform::Error& error) {
        std::string shown = "error " + std::to_string(error.number());
        if (error.description() != platform::describe(error.number())) {
            shown += " " + platform::to_utf8(error.description());
        }
        return shown;
    }
}

platform::Error error_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::Error& error) {
        EXPECT_FALSE(error.description().empty());
        return error;
    }
    ADD_FAILURE() << "no error was raised";
    return platform::Error(0, u"");
}

}  // namespace tavrin_test
