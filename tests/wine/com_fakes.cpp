#include "tests/wine/com_fakes.h"

#include <wrl/client.h>

namespace tavrin_test {

TestVariant::TestVariant(const VARIANT& v) {
    VariantInit(&v_);
    VariantCopy(&v_, const_cast<VARIANT*>(&v));
}

TestVariant& TestVariant::operator=(const TestVariant& other) {
    if (this != &other) {
        VariantClear(&v_);
        VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
    }
    return *this;
}

HRESULT FakeUnknown::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown) {
        return E_NOINTERFACE;
    }
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
}

DISPID FakeDispatch::add(std::wstring name, Handler handler, DISPID id) {
    if (id == 0) {
        id = static_cast<DISPID>(members_.size()) + 1;
    }
    members_.push_back(Member{std::move(name), id, std::move(handler)});
    return id;
}

HRESULT FakeDispatch::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IEnumVARIANT && enumerator_) {
        return enumerator_->QueryInterface(iid, out);
    }
    if (iid != IID_IUnknown && iid != IID_IDispatch) {
        return E_NOINTERFACE;
    }
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

HRESULT FakeDispatch::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) {
    names_locale_ = locale;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        names_asked_.emplace_back(names[i]);
        ids[i] = DISPID_UNKNOWN;
        for (const Member& member : members_) {
            if (member.name == names[i]) {
                ids[i] = member.id;
            }
        }
        if (ids[i] == DISPID_UNKNOWN) {
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

HRESULT FakeDispatch::Invoke(DISPID id,
                             REFIID iid,
                             LCID locale,
                             WORD flags,
                             DISPPARAMS* params,
                             VARIANT* result,
                             EXCEPINFO* exception,
                             UINT*) {
    Call call{id,
              flags,
              locale,
              iid == IID_NULL,
              result != nullptr,
              exception != nullptr,
              params->cNamedArgs,
              {}};
    for (UINT i = 0; i < params->cArgs; ++i) {
        call.arguments.emplace_back(params->rgvarg[i]);
    }
    calls_.push_back(std::move(call));
    for (const Member& member : members_) {
        if (member.id == id) {
            return member.handler(*params, result, exception);
        }
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT FakeEnum::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IEnumVARIANT) {
        return E_NOINTERFACE;
    }
    *out = static_cast<IEnumVARIANT*>(this);
    AddRef();
    return S_OK;
}

HRESULT FakeEnum::Next(ULONG count, VARIANT* elements, ULONG* fetched) {
    ULONG done = 0;
    while (done < count && position_ < elements_.size()) {
        const HRESULT hr = elements_[position_++](&elements[done]);
        if (FAILED(hr)) {
            return hr;
        }
        ++done;
    }
    if (fetched) {
        *fetched = done;
    }
    return done == count ? S_OK : S_FALSE;
}

HRESULT FakeEnum::Reset() {
    position_ = 0;
    return S_OK;
}

namespace {

class AllocationSpy : public IMallocSpy {
  public:
    std::set<void*> live;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IMallocSpy) {
            return E_NOINTERFACE;
        }
        *out = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    // Never deleted: no reference counting.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
        if (actual) {
            live.insert(actual);
        }
        return actual;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spied) override {
        if (spied) {
            live.erase(request);
        }
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request,
                                        SIZE_T size,
                                        void** new_request,
                                        BOOL spied) override {
        reallocating_ = spied ? request : nullptr;
        *new_request = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override {
        if (reallocating_) {
            live.erase(reallocating_);
            reallocating_ = nullptr;
        }
        if (actual) {
            live.insert(actual);
        }
        return actual;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

  private:
    void* reallocating_ = nullptr;
};

AllocationSpy& spy() {
    static AllocationSpy* const instance = new AllocationSpy;  // for the whole process
    return *instance;
}

}  // namespace

AllocationWatch::AllocationWatch() {
    spy().live.clear();
    registered_ = SUCCEEDED(CoRegisterMallocSpy(&spy()));
}

AllocationWatch::~AllocationWatch() {
    if (registered_) {
        CoRevokeMallocSpy();
    }
}

std::size_t AllocationWatch::live() const {
    return spy().live.size();
}

BSTR make_bstr(const wchar_t* text) {
    return SysAllocString(text);
}

void set_error_info(const wchar_t* description) {
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.GetAddressOf()))) {
        return;
    }
    create->SetDescription(const_cast<LPOLESTR>(description));
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) {
        SetErrorInfo(0, info.Get());
    }
}

}  // namespace tavrin_test
