// Hand-made COM objects for the tests of the COM layer: an automation object that is also its
// own collection's enumerator, answering what the test tells it to, recording how it is
// called and counting its references (the test owns it and checks the count at the end); and
// a watch over the task allocator, which BSTRs come from, to see strings leak.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tavrin_test {

class Fake final : public IDispatch, public IEnumVARIANT {
  public:
    // Answers one call: fills the result, or fails (filling the exception, if it likes).
    using Member = std::function<HRESULT(const DISPPARAMS&, VARIANT* result, EXCEPINFO*)>;
    // Makes one element of the collection.
    using Element = std::function<void(VARIANT*)>;

    std::map<std::wstring, Member> members;  // "_NewEnum" has DISPID_NEWENUM
    std::vector<Element> elements;           // handed out by Next from `next` on
    std::size_t next = 0;
    HRESULT failure_after_elements = S_FALSE;  // what Next answers once they are out
    ULONG refs = 1;                            // the test's own

    struct Call {
        WORD flags;
        LCID locale;
        bool iid_null;
        std::vector<std::wstring> arguments;  // each as "VT:text", the last argument first
    };
    std::vector<Call> calls;
    std::vector<std::wstring> names_asked;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    // IEnumVARIANT
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

  private:
    DISPID id_of(const std::wstring& name) const;
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

}  // namespace tavrin_test
