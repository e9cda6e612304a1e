#include "platform/automation_win.h"

#include <ole2.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "platform/text_win.h"

namespace platform {
namespace {

using Microsoft::WRL::ComPtr;

// Owns one BSTR (null is the empty string).
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(TextView text) {
        if (text.size() > std::numeric_limits<UINT>::max() / 2) {
            raise(codes::kOutOfMemory);
        }
        b_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()));
        if (!b_) {
            raise(codes::kOutOfMemory);
        }
    }
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    // For a callee to fill; whatever was held before goes first.
    BSTR* out() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    // Hands the string over to a new owner (a VARIANT).
    BSTR release() { return std::exchange(b_, nullptr); }

    bool empty() const { return SysStringLen(b_) == 0; }
    Text text() const { return text_of(b_); }

    static Text text_of(BSTR b) { return b ? from_wide(b, SysStringLen(b)) : Text(); }

  private:
    BSTR b_ = nullptr;
};

// Owns one VARIANT: initialised empty, cleared (strings freed, interfaces released) at the end.
class Variant {
  public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &v_; }
    const VARIANT& operator*() const { return v_; }

  private:
    VARIANT v_;
};

// Owns the VARIANTARGs of one call.
class VariantArray {
  public:
    explicit VariantArray(std::size_t size)
        : items_(std::make_unique<VARIANTARG[]>(size)), size_(size) {
        for (std::size_t i = 0; i < size_; ++i) {
            VariantInit(&items_[i]);
        }
    }
    ~VariantArray() {
        for (std::size_t i = 0; i < size_; ++i) {
            VariantClear(&items_[i]);
        }
    }
    VariantArray(const VariantArray&) = delete;
    VariantArray& operator=(const VariantArray&) = delete;

    VARIANTARG& operator[](std::size_t i) { return items_[i]; }
    VARIANTARG* data() { return size_ ? items_.get() : nullptr; }
    std::size_t size() const { return size_; }

  private:
    std::unique_ptr<VARIANTARG[]> items_;
    std::size_t size_;
};

// Owns what a callee puts into an EXCEPINFO.
struct ExceptionInfo {
    EXCEPINFO info{};

    ExceptionInfo() = default;
    ~ExceptionInfo() {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
};

std::int32_t number_of(HRESULT hr) {
    return static_cast<std::int32_t>(hr);
}

// Forgets any error object left on the thread, so that one found after a call is that call's.
void forget_error_info() {
    SetErrorInfo(0, nullptr);
}

// How a failure is described: by the error object the failing callee set, if it set one with
// a text, or else by the system.
Text failure_description(HRESULT hr) {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.GetAddressOf()) == S_OK && info) {
        Bstr description;
        if (SUCCEEDED(info->GetDescription(description.out())) && !description.empty()) {
            return description.text();
        }
    }
    return describe(number_of(hr));
}

[[noreturn]] void raise_failure(HRESULT hr) {
    throw Error(number_of(hr), failure_description(hr));
}

// The error an object raised from inside Invoke (DISP_E_EXCEPTION).
[[noreturn]] void raise_exception(ExceptionInfo& exception, HRESULT hr) {
    EXCEPINFO& info = exception.info;
    if (info.pfnDeferredFillIn) {
        info.pfnDeferredFillIn(&info);
    }
    std::int32_t number = number_of(hr);
    // An error number of the object's own (a "wCode") has no system message; its HRESULT form,
    // 0x800A0000 + wCode, is described instead (the system's text for the bare number would be
    // that of an unrelated Windows error).
    std::int32_t described = number;
    if (info.wCode != 0) {
        number = info.wCode;
        described = number_of(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode));
    } else if (info.scode != 0) {
        number = number_of(info.scode);
        described = number;
    }
    Text description = Bstr::text_of(info.bstrDescription);
    if (description.empty()) {
        description = describe(described);
    }
    throw Error(number, std::move(description));
}

Object make_object(ComPtr<IDispatch> dispatch);

// An argument as COM takes it. Integers go as 32-bit when they fit, as most objects expect.
void to_variant(const Value& value, VARIANTARG& out) {
    struct Visitor {
        VARIANTARG& out;
        void operator()(std::monostate) const { V_VT(&out) = VT_EMPTY; }
        void operator()(Null) const { V_VT(&out) = VT_NULL; }
        void operator()(bool b) const {
            V_VT(&out) = VT_BOOL;
            V_BOOL(&out) = b ? VARIANT_TRUE : VARIANT_FALSE;
        }
        void operator()(std::int64_t i) const {
            if (i >= std::numeric_limits<std::int32_t>::min() &&
                i <= std::numeric_limits<std::int32_t>::max()) {
                V_VT(&out) = VT_I4;
                V_I4(&out) = static_cast<LONG>(i);
            } else {
                V_VT(&out) = VT_I8;
                V_I8(&out) = i;
            }
        }
        void operator()(std::uint64_t u) const {
            if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                (*this)(static_cast<std::int64_t>(u));
            } else {
                V_VT(&out) = VT_UI8;
                V_UI8(&out) = u;
            }
        }
        void operator()(double d) const {
            V_VT(&out) = VT_R8;
            V_R8(&out) = d;
        }
        void operator()(const Text& t) const {
            V_BSTR(&out) = Bstr(t).release();
            V_VT(&out) = VT_BSTR;
        }
        // The portable handle does not let its interface out, so objects cannot be passed.
        void operator()(const Object&) const { raise(codes::kTypeMismatch); }
    };
    std::visit(Visitor{out}, value.storage());
}

// A result as the program takes it.
Value to_value(const VARIANT& v) {
    if (V_VT(&v) & VT_BYREF) {
        Variant direct;
        const HRESULT hr = VariantCopyInd(direct.get(), const_cast<VARIANT*>(&v));
        if (FAILED(hr)) {
            raise(number_of(hr));
        }
        if (V_VT(&*direct) & VT_BYREF) {
            raise(codes::kTypeMismatch);
        }
        return to_value(*direct);
    }
    switch (V_VT(&v)) {
        case VT_EMPTY:
            return Value();
        case VT_NULL:
            return Value(Null{});
        case VT_BOOL:
            return Value(V_BOOL(&v) != VARIANT_FALSE);
        case VT_I1:
            return Value(std::int64_t{static_cast<signed char>(V_I1(&v))});
        case VT_I2:
            return Value(std::int64_t{V_I2(&v)});
        case VT_I4:
            return Value(std::int64_t{V_I4(&v)});
        case VT_I8:
            return Value(std::int64_t{V_I8(&v)});
        case VT_INT:
            return Value(std::int64_t{V_INT(&v)});
        case VT_UI1:
            return Value(std::int64_t{V_UI1(&v)});
        case VT_UI2:
            return Value(std::int64_t{V_UI2(&v)});
        case VT_UI4:
            return Value(std::int64_t{V_UI4(&v)});
        case VT_UINT:
            return Value(std::int64_t{V_UINT(&v)});
        case VT_UI8:
            return Value(std::uint64_t{V_UI8(&v)});
        case VT_R4:
            return Value(static_cast<double>(V_R4(&v)));
        case VT_R8:
            return Value(V_R8(&v));
        case VT_BSTR:
            return Value(Bstr::text_of(V_BSTR(&v)));
        case VT_DISPATCH:
            return Value(make_object(ComPtr<IDispatch>(V_DISPATCH(&v))));
        case VT_UNKNOWN: {
            IUnknown* unknown = V_UNKNOWN(&v);
            ComPtr<IDispatch> dispatch;
            if (unknown && FAILED(unknown->QueryInterface(IID_PPV_ARGS(&dispatch)))) {
                raise(codes::kTypeMismatch);
            }
            return Value(make_object(std::move(dispatch)));
        }
        default:
            raise(codes::kTypeMismatch);
    }
}

// Calls IDispatch::Invoke as a late-bound caller does: method call and property read at once
// (some objects, Wine's management objects among them, refuse a property read alone).
void call(IDispatch& dispatch, DISPID id, DISPPARAMS& params, Variant& result) {
    ExceptionInfo exception;
    UINT argument_error = 0;
    forget_error_info();
    const HRESULT hr =
        dispatch.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                        &params, result.get(), &exception.info, &argument_error);
    if (hr == DISP_E_EXCEPTION) {
        raise_exception(exception, hr);
    }
    if (FAILED(hr)) {
        raise_failure(hr);
    }
}

class ComEnumerator final : public Enumerator {
  public:
    explicit ComEnumerator(ComPtr<IEnumVARIANT> items) : items_(std::move(items)) {}

    bool next(Value& out) override {
        Variant element;
        ULONG fetched = 0;
        forget_error_info();
        const HRESULT hr = items_->Next(1, element.get(), &fetched);
        if (FAILED(hr)) {
            raise_failure(hr);
        }
        if (hr != S_OK || fetched == 0) {
            return false;
        }
        out = to_value(*element);
        return true;
    }

  private:
    ComPtr<IEnumVARIANT> items_;
};

class ComDispatch final : public Dispatch {
  public:
    explicit ComDispatch(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

    Value invoke(TextView member, std::span<const Value> args) override {
        const DISPID id = dispid_of(member);
        VariantArray arguments(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) {
            to_variant(args[i], arguments[args.size() - 1 - i]);  // the last argument first
        }
        DISPPARAMS params{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
        Variant result;
        call(*dispatch_.Get(), id, params, result);
        return to_value(*result);
    }

    std::unique_ptr<Enumerator> enumerate() override {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        Variant result;
        call(*dispatch_.Get(), DISPID_NEWENUM, none, result);
        Variant direct;
        const VARIANT* value = &*result;
        if (V_VT(value) & VT_BYREF) {
            const HRESULT hr = VariantCopyInd(direct.get(), result.get());
            if (FAILED(hr)) {
                raise(number_of(hr));
            }
            value = &*direct;
        }
        IUnknown* unknown = nullptr;
        if (V_VT(value) == VT_UNKNOWN) {
            unknown = V_UNKNOWN(value);
        } else if (V_VT(value) == VT_DISPATCH) {
            unknown = V_DISPATCH(value);
        } else {
            raise(codes::kTypeMismatch);
        }
        if (!unknown) {
            raise(codes::kInvalidPointer);
        }
        ComPtr<IEnumVARIANT> items;
        const HRESULT hr = unknown->QueryInterface(IID_PPV_ARGS(&items));
        if (FAILED(hr)) {
            raise(number_of(hr));
        }
        return std::make_unique<ComEnumerator>(std::move(items));
    }

  private:
    DISPID dispid_of(TextView member) {
        std::wstring name = wide(member);
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        forget_error_info();
        const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) {
            Text description = failure_description(hr);
            description += u" (";
            description += member;
            description += u")";
            throw Error(number_of(hr), std::move(description));
        }
        return id;
    }

    ComPtr<IDispatch> dispatch_;
};

Object make_object(ComPtr<IDispatch> dispatch) {
    if (!dispatch) {
        return Object(nullptr);  // like an unset object variable
    }
    return Object(std::make_unique<ComDispatch>(std::move(dispatch)));
}

}  // namespace

ComApartment::ComApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) {
        raise(number_of(hr));
    }
}

ComApartment::~ComApartment() {
    CoUninitialize();
}

Object com_get_object(TextView moniker) {
    const std::wstring name = wide(moniker);
    ComPtr<IDispatch> dispatch;
    forget_error_info();
    const HRESULT hr = CoGetObject(name.c_str(), nullptr, IID_PPV_ARGS(&dispatch));
    if (FAILED(hr)) {
        raise_failure(hr);
    }
    return make_object(std::move(dispatch));
}

Object com_create_object(TextView class_name) {
    const std::wstring name = wide(class_name);
    CLSID clsid{};
    forget_error_info();
    HRESULT hr = CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(hr)) {
        raise_failure(hr);
    }
    ComPtr<IDispatch> dispatch;
    forget_error_info();
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(&dispatch));
    if (FAILED(hr)) {
        raise_failure(hr);
    }
    return make_object(std::move(dispatch));
}

Object wrap_dispatch(IDispatch* dispatch) {
    return make_object(ComPtr<IDispatch>(dispatch));
}

}  // namespace platform
