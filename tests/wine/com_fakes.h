// Hand-made COM objects for the tests: they count their references (and never delete
// themselves: the test owns them and checks the count at the end), record how they are called
// and answer what the test tells them to.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace tavrin_test {

// A VARIANT owned by a test.
class TestVariant {
  public:
    TestVariant() { VariantInit(&v_); }
    explicit TestVariant(const VARIANT& v);
    TestVariant(const TestVariant& other) : TestVariant(other.v_) {}
    TestVariant& operator=(const TestVariant& other);
    ~TestVariant() { VariantClear(&v_); }

    VARIANT* get() { return &v_; }
    const VARIANT& operator*() const { return v_; }
    VARTYPE type() const { return V_VT(&v_); }

  private:
    VARIANT v_;
};

// An object with IUnknown only.
class FakeUnknown : public IUnknown {
  public:
    virtual ~FakeUnknown() = default;
    ULONG refs() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

  private:
    ULONG refs_ = 1;  // the test's own
};

// An automation object whose members are what the test adds.
class FakeDispatch : public IDispatch {
  public:
    // Answers one call: fills the result, or fails (and fills the exception, if it likes).
    using Handler =
        std::function<HRESULT(const DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception)>;

    struct Call {
        DISPID member;
        WORD flags;
        LCID locale;
        bool iid_null;
        bool result_wanted;
        bool exception_wanted;
        unsigned named_arguments;
        std::vector<TestVariant> arguments;  // as received: the last argument first
    };

    virtual ~FakeDispatch() = default;

    // Adds a member answered by `handler`; `id` may be given for special members (_NewEnum).
    DISPID add(std::wstring name, Handler handler, DISPID id = 0);

    // Answers a query for IEnumVARIANT with `enumerator` (which must outlive this object).
    void forward_enumerator(IEnumVARIANT* enumerator) { enumerator_ = enumerator; }

    ULONG refs() const { return refs_; }
    const std::vector<Call>& calls() const { return calls_; }
    // Frees the recorded arguments (so that allocations can be counted without them).
    void clear_calls() { calls_.clear(); }
    const std::vector<std::wstring>& names_asked() const { return names_asked_; }
    LCID names_locale() const { return names_locale_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member,
                                     REFIID iid,
                                     LCID locale,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO* exception,
                                     UINT* argument_error) override;

  private:
    struct Member {
        std::wstring name;
        DISPID id;
        Handler handler;
    };

    ULONG refs_ = 1;
    IEnumVARIANT* enumerator_ = nullptr;
    std::vector<Member> members_;
    std::vector<Call> calls_;
    std::vector<std::wstring> names_asked_;
    LCID names_locale_ = 0;
};

// A collection's enumerator: hands out what its producers make, one per element, then ends.
class FakeEnum : public IEnumVARIANT {
  public:
    using Producer = std::function<HRESULT(VARIANT* element)>;

    explicit FakeEnum(std::vector<Producer> elements) : elements_(std::move(elements)) {}
    virtual ~FakeEnum() = default;

    ULONG refs() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* elements, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

  private:
    ULONG refs_ = 1;
    std::vector<Producer> elements_;
    std::size_t position_ = 0;
};

// Watches the COM task allocator (which BSTRs come from) while it lives: every block allocated
// meanwhile and not yet freed is "live". The BSTR cache must be off (SetOaNoCache) for frees to
// reach the allocator at once. The spy behind it lives as long as the process, so that a block
// leaked by a failing test cannot outlive it.
class AllocationWatch {
  public:
    AllocationWatch();
    ~AllocationWatch();
    AllocationWatch(const AllocationWatch&) = delete;
    AllocationWatch& operator=(const AllocationWatch&) = delete;

    bool registered() const { return registered_; }
    std::size_t live() const;

  private:
    bool registered_;
};

// A BSTR for a fake to hand out (the receiver frees it).
BSTR make_bstr(const wchar_t* text);

// Sets the thread's error object with a description, as a failing COM object does.
void set_error_info(const wchar_t* description);

}  // namespace tavrin_test
