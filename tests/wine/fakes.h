// A hand-made automation object that answers each member with a scripted reply, records its
// calls and counts its references; a spy on the task allocator (BSTRs) to see strings leak.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>
#include <wrl/client.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "support.h"

namespace tavrin_test {

struct Reply {
    VARTYPE type = VT_EMPTY;  // the answer, made from `text`; VT_I4 | VT_BYREF points at it
    const wchar_t* text = L"";
    IUnknown* object = nullptr;  // the answer for VT_DISPATCH and VT_UNKNOWN, with a reference
    HRESULT hr = S_OK;           // a failure, after the answer was filled in all the same
    // For DISP_E_EXCEPTION: the exception, with source and help file strings besides.
    WORD code = 0;
    HRESULT scode = 0;
    const wchar_t* description = nullptr;
    bool deferred = false;                // the exception filled in only when asked
    const wchar_t* error_info = nullptr;  // an error object set on the thread before failing
};

inline HRESULT STDMETHODCALLTYPE fill_in_later(EXCEPINFO* exception) {
    exception->scode = E_ACCESSDENIED;
    exception->bstrDescription = SysAllocString(L"稍后填写的说明");
    return S_OK;
}

class Fake final : public IDispatch, public IEnumVARIANT {
  public:
    std::map<std::wstring, Reply> members;  // "_NewEnum" has DISPID_NEWENUM
    std::vector<Fake*> elements;            // what Next hands out from `next` on
    std::size_t next = 0;
    HRESULT after_elements = S_FALSE;  // what Next answers once they are out
    bool dispatch = true;              // false: a bare IUnknown
    ULONG refs = 1;                    // the test's own
    std::vector<std::wstring> calls;   // "flags locale iid_null: VT:text ..." (last argument first)

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || (dispatch && iid == IID_IDispatch)
                   ? static_cast<IDispatch*>(this)
                   : (iid == IID_IEnumVARIANT ? static_cast<void*>(static_cast<IEnumVARIANT*>(this))
                                              : nullptr);
        return *out != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
        const auto found = members.find(names[0]);
        *id = static_cast<DISPID>(std::distance(members.begin(), found));
        return found == members.end() ? DISP_E_UNKNOWNNAME : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID iid,
                                     LCID locale,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO* exception,
                                     UINT*) override {
        std::wstring call = std::to_wstring(flags) + L" " + std::to_wstring(locale) + L" " +
                            std::to_wstring(iid == IID_NULL) + L":";
        for (UINT i = 0; i < params->cArgs; ++i) {
            VARIANT text{};
            VariantChangeType(&text, &params->rgvarg[i], VARIANT_ALPHABOOL, VT_BSTR);
            call += L" " + std::to_wstring(V_VT(&params->rgvarg[i])) + L":" + V_BSTR(&text);
            VariantClear(&text);
        }
        calls.push_back(call);
        const Reply& reply =
            id == DISPID_NEWENUM ? members.at(L"_NewEnum") : std::next(members.begin(), id)->second;
        V_VT(result) = reply.type;
        if (reply.type == VT_DISPATCH || reply.type == VT_UNKNOWN) {
            V_UNKNOWN(result) = reply.object;
            if (reply.object != nullptr) {
                reply.object->AddRef();
            }
        } else if (reply.type == (VT_I4 | VT_BYREF)) {
            stored_ = _wtoi(reply.text);
            V_I4REF(result) = &stored_;
        } else if (reply.type != VT_EMPTY && reply.type != VT_NULL) {
            VARIANT source{};
            V_VT(&source) = VT_BSTR;
            V_BSTR(&source) = SysAllocString(reply.text);
            VariantChangeType(result, &source, 0, reply.type);
            VariantClear(&source);
        }
        if (reply.error_info != nullptr) {
            Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
            Microsoft::WRL::ComPtr<IErrorInfo> info;
            CreateErrorInfo(&create);
            create->SetDescription(const_cast<LPOLESTR>(reply.error_info));
            create.As(&info);
            SetErrorInfo(0, info.Get());
        }
        if (reply.hr == DISP_E_EXCEPTION && reply.deferred) {
            exception->pfnDeferredFillIn = &fill_in_later;
        } else if (reply.hr == DISP_E_EXCEPTION) {
            exception->wCode = reply.code;
            exception->scode = reply.scode;
            exception->bstrSource = SysAllocString(L"Fake.Object");
            exception->bstrDescription = SysAllocString(reply.description);
            exception->bstrHelpFile = SysAllocString(L"fake.chm");
        }
        return reply.hr;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        ULONG done = 0;
        for (; done < count && next < elements.size(); ++done) {
            V_VT(&out[done]) = VT_DISPATCH;
            V_DISPATCH(&out[done]) = elements[next++];
            V_DISPATCH(&out[done])->AddRef();
        }
        *fetched = done;
        return done == count ? S_OK : after_elements;
    }

  private:
    LONG stored_ = 0;
};

// Remembers the blocks of the task allocator allocated and not yet freed while it is
// registered. The BSTR cache is off (main.cpp), so frees reach the allocator at once.
struct Spy final : public IMallocSpy {
    std::set<void*> live;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the process
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* block) override { return *live.insert(block).first; }
    void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override {
        live.erase(block);
        return block;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** out, BOOL) override {
        live.erase(*out = block);
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

// Shows a value as outcome() does.
struct Show {
    std::string operator()(std::monostate) const { return "empty"; }
    std::string operator()(platform::Null) const { return "null"; }
    std::string operator()(bool b) const { return b ? "bool:true" : "bool:false"; }
    std::string operator()(std::int64_t i) const { return "int64:" + std::to_string(i); }
    std::string operator()(const platform::Text& t) const {
        return "text:" + testing_support::to_utf8(t);
    }
    std::string operator()(const auto&) const { return "object"; }  // nothing else is made
};

// What the action gave: "int64:-5", "text:E:", "bool:true", "null", "empty", "object", or
// "error NUMBER" followed by the description when it is not the program's own for NUMBER.
inline std::string outcome(const std::function<platform::Value()>& action) {
    try {
        return std::visit(Show{}, action().storage());
    } catch (const platform::Error& error) {
        std::string shown = "error " + std::to_string(error.number());
        if (error.description() != platform::describe(error.number())) {
            shown += " " + testing_support::to_utf8(error.description());
        }
        return shown;
    }
}

}  // namespace tavrin_test
