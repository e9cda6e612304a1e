#include "tests/wine/fakes.h"

#include <set>
#include <stdexcept>

namespace tavrin_test {

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

DISPID Fake::id_of(const std::wstring& name) const {
    if (name == L"_NewEnum") {
        return DISPID_NEWENUM;
    }
    const auto found = members.find(name);
    return found == members.end() ? DISPID_UNKNOWN
                                  : static_cast<DISPID>(std::distance(members.begin(), found) + 1);
}

HRESULT Fake::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        names_asked.emplace_back(names[i]);
        ids[i] = members.count(names[i]) ? id_of(names[i]) : DISPID_UNKNOWN;
        hr = ids[i] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : hr;
    }
    return hr;
}

HRESULT Fake::Invoke(DISPID id,
                     REFIID iid,
                     LCID locale,
                     WORD flags,
                     DISPPARAMS* params,
                     VARIANT* result,
                     EXCEPINFO* exception,
                     UINT*) {
    Call call{flags, locale, iid == IID_NULL, {}};
    for (UINT i = 0; i < params->cArgs; ++i) {
        VARIANT text;
        VariantInit(&text);
        VariantChangeType(&text, &params->rgvarg[i], VARIANT_ALPHABOOL, VT_BSTR);
        call.arguments.push_back(std::to_wstring(V_VT(&params->rgvarg[i])) + L":" +
                                 (V_VT(&text) == VT_BSTR ? V_BSTR(&text) : L""));
        VariantClear(&text);
    }
    calls.push_back(call);
    for (const auto& [name, member] : members) {
        if (id_of(name) == id) {
            return member(*params, result, exception);
        }
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT Fake::Next(ULONG count, VARIANT* out, ULONG* fetched) {
    ULONG done = 0;
    for (; done < count && next < elements.size(); ++done) {
        elements[next++](&out[done]);
    }
    if (fetched != nullptr) {
        *fetched = done;
    }
    return done == count ? S_OK : failure_after_elements;
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
    void* STDMETHODCALLTYPE PreFree(void* block, BOOL spied) override {
        if (spied) {
            live.erase(block);
        }
        return block;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** out, BOOL spied) override {
        if (spied) {
            live.erase(block);
        }
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

}  // namespace tavrin_test
