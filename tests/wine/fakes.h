// What the tests of the Windows back end share: a hand-made automation object that answers
// each member with a scripted reply, records how it is called and counts its references (the
// test owns it and checks the count at the end); a watch over the task allocator, which BSTRs
// come from, to see strings leak; and a readable form of what a call gave.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/automation.h"

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

class Fake final : public IDispatch, public IEnumVARIANT {
  public:
    std::map<std::wstring, Reply> members;  // "_NewEnum" has DISPID_NEWENUM
    std::vector<Fake*> elements;            // what Next hands out from `next` on
    std::size_t next = 0;
    HRESULT after_elements = S_FALSE;  // what Next answers once they are out
    ULONG refs = 1;                    // the test's own
    std::vector<std::wstring> calls;   // "flags locale iid_null: VT:text ..." (last argument first)

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

  private:
    LONG stored_ = 0;
};

// Counts the task allocator's blocks allocated and not yet freed while it lives. The BSTR
// cache must be off (SetOaNoCache) for frees to reach the allocator at once.
class AllocationWatch {
  public:
    AllocationWatch();
    ~AllocationWatch();
    AllocationWatch(const AllocationWatch&) = delete;
    AllocationWatch& operator=(const AllocationWatch&) = delete;
    std::size_t live() const;
};

// What the action gave: "int64:-5", "text:E:", "bool:true", "null", "empty", "object", or
// "error NUMBER" followed by the description when it is not the program's own for NUMBER.
std::string outcome(const std::function<platform::Value()>& action);

// The error `action` raised; a failure when it raised none.
platform::Error error_of(const std::function<void()>& action);

}  // namespace tavrin_test
