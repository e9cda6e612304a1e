#include "platform/win32.h"

#include <ole2.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace {

using Microsoft::WRL::ComPtr;
using Variant = Owner<VARIANT, VariantClear>;

void clear_all(std::vector<VARIANT>* variants) {
    for (VARIANT& variant : *variants) {
        VariantClear(&variant);
    }
}
using Variants = Owner<std::vector<VARIANT>, clear_all>;

void free_strings(EXCEPINFO* info) {
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrHelpFile);
}
using ExceptionInfo = Owner<EXCEPINFO, free_strings>;

Text text_of(BSTR text) {
    return platform::text_of(text, SysStringLen(text));
}

// Makes one COM call; a failure raises its error. The description is the one the error object
// the callee set during the call gives (one an earlier call left is forgotten first), else
// the platform's; `member`, when given, is named after it. Returns the call's success code.
template <class Call>
HRESULT check(Call call, TextView member = {}) {
    SetErrorInfo(0, nullptr);
    const HRESULT hr = call();
    if (SUCCEEDED(hr)) {
        return hr;
    }
    ComPtr<IErrorInfo> info;
    Bstr description;
    Text text;
    if (GetErrorInfo(0, info.GetAddressOf()) == S_OK && info &&
        SUCCEEDED(info->GetDescription(description.put()))) {
        text = text_of(description.get());
    }
    if (text.empty()) {
        text = describe(hr);
    }
    if (!member.empty()) {
        text += u" (" + Text(member) + u")";
    }
    throw Error(hr, std::move(text));
}

// The error an object raised from inside Invoke (DISP_E_EXCEPTION). An error number of the
// object's own (a "wCode") has no system message; its HRESULT form, 0x800A0000 + wCode, is
// described instead (the system's text for the bare number is an unrelated Windows error's).
[[noreturn]] void raise_exception(ExceptionInfo& exception) {
    EXCEPINFO& info = *exception;
    if (info.pfnDeferredFillIn != nullptr) {
        info.pfnDeferredFillIn(&info);
    }
    std::int32_t number = DISP_E_EXCEPTION;
    std::int32_t described = number;
    if (info.wCode != 0) {
        number = info.wCode;
        described = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode);
    } else if (info.scode != 0) {
        number = described = info.scode;
    }
    const Text description = text_of(info.bstrDescription);
    throw Error(number, description.empty() ? describe(described) : description);
}

// An argument as COM takes it. Integers go as 32-bit when they fit, as most objects expect.
// The portable handle does not let its interface out, so objects cannot be passed.
void to_variant(const Value& value, VARIANT& out) {
    const Value::Storage& v = value.storage();
    if (std::holds_alternative<Null>(v)) {
        V_VT(&out) = VT_NULL;
    } else if (const bool* b = std::get_if<bool>(&v)) {
        V_VT(&out) = VT_BOOL;
        V_BOOL(&out) = *b ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const std::int64_t* i = std::get_if<std::int64_t>(&v)) {
        V_VT(&out) = *i == static_cast<LONG>(*i) ? VT_I4 : VT_I8;
        V_I8(&out) = *i;  // VT_I4 reads the low half: the same number
    } else if (const Text* t = std::get_if<Text>(&v)) {
        V_BSTR(&out) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(t->data()),
                                         static_cast<UINT>(t->size()));
        if (V_BSTR(&out) == nullptr) {
            raise(codes::kOutOfMemory);
        }
        V_VT(&out) = VT_BSTR;
    } else if (std::holds_alternative<Object>(v)) {
        raise(codes::kTypeMismatch);
    }
}

// A result as the program takes it: integers of every width as 64-bit.
constexpr VARTYPE kIntegers[] = {VT_I1,  VT_I2,  VT_I4,  VT_I8,  VT_INT,
                                 VT_UI1, VT_UI2, VT_UI4, VT_UI8, VT_UINT};
Value to_value(VARIANT& v) {
    Variant converted;
    switch (V_VT(&v)) {
        case VT_EMPTY:
            return Value();
        case VT_NULL:
            return Null{};
        case VT_BOOL:
            return V_BOOL(&v) != VARIANT_FALSE;
        case VT_BSTR:
            return text_of(V_BSTR(&v));
        case VT_DISPATCH:
            return wrap_dispatch(V_DISPATCH(&v));
        case VT_UNKNOWN: {
            ComPtr<IDispatch> dispatch;
            if (V_UNKNOWN(&v) != nullptr &&
                FAILED(V_UNKNOWN(&v)->QueryInterface(IID_PPV_ARGS(&dispatch)))) {
                raise(codes::kTypeMismatch);
            }
            return wrap_dispatch(dispatch.Get());
        }
        default:
            if (std::ranges::find(kIntegers, V_VT(&v)) != std::end(kIntegers)) {
                check([&] { return VariantChangeType(converted.put(), &v, 0, VT_I8); });
                return std::int64_t{V_I8(&*converted)};
            }
            if ((V_VT(&v) & VT_BYREF) == 0) {
                raise(codes::kTypeMismatch);
            }
            check([&] { return VariantCopyInd(converted.put(), &v); });
            return to_value(*converted);
    }
}

class ComDispatch final : public Dispatch {
  public:
    explicit ComDispatch(IDispatch* dispatch) : dispatch_(dispatch) {}

    Value invoke(TextView member, std::span<const Value> args) override {
        std::wstring name = wide(member);
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        check(
            [&] { return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); },
            member);
        Variants arguments(std::vector<VARIANT>(args.size()));
        for (std::size_t i = 0; i < args.size(); ++i) {
            to_variant(args[i], arguments->at(args.size() - 1 - i));  // the last argument first
        }
        DISPPARAMS params{arguments->data(), nullptr, static_cast<UINT>(args.size()), 0};
        return to_value(*call(id, params));
    }

    Enumerator enumerate() override {
        DISPPARAMS none{};
        Variant result = call(DISPID_NEWENUM, none);
        Variant unknown;
        check([&] { return VariantChangeType(unknown.put(), &*result, 0, VT_UNKNOWN); });
        if (V_UNKNOWN(&*unknown) == nullptr) {
            raise(codes::kInvalidPointer);
        }
        ComPtr<IEnumVARIANT> items;
        check([&] { return V_UNKNOWN(&*unknown)->QueryInterface(IID_PPV_ARGS(&items)); });
        return [items](Value& out) {
            Variant element;
            ULONG fetched = 0;
            if (check([&] { return items->Next(1, element.put(), &fetched); }) != S_OK) {
                return false;
            }
            out = to_value(*element);
            return true;
        };
    }

  private:
    // Calls IDispatch::Invoke as a late-bound caller does: method call and property read at
    // once (some objects, Wine's management objects among them, refuse a property read alone).
    Variant call(DISPID id, DISPPARAMS& params) {
        Variant result;
        ExceptionInfo exception;
        UINT argument_error = 0;
        check([&] {
            const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                                                 DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                                                 result.put(), exception.put(), &argument_error);
            if (hr == DISP_E_EXCEPTION) {
                raise_exception(exception);
            }
            return hr;
        });
        return result;
    }

    ComPtr<IDispatch> dispatch_;
};

}  // namespace

ComApartment::ComApartment() {
    check([] { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); });
}

ComApartment::~ComApartment() {
    CoUninitialize();
}

Object com_get_object(TextView moniker) {
    ComPtr<IDispatch> dispatch;
    check([&] { return CoGetObject(wide(moniker).c_str(), nullptr, IID_PPV_ARGS(&dispatch)); });
    return wrap_dispatch(dispatch.Get());
}

Object com_create_object(TextView class_name) {
    CLSID clsid{};
    check([&] { return CLSIDFromProgID(wide(class_name).c_str(), &clsid); });
    ComPtr<IDispatch> dispatch;
    check([&] { return CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(&dispatch)); });
    return wrap_dispatch(dispatch.Get());
}

Object wrap_dispatch(IDispatch* dispatch) {
    return Object(dispatch != nullptr ? std::make_unique<ComDispatch>(dispatch) : nullptr);
}

// A null readiness is false; anything else is turned into a boolean as Windows turns it.
bool to_bool(const Value& value) {
    if (std::holds_alternative<Null>(value.storage())) {
        return false;
    }
    Variant in;
    Variant out;
    to_variant(value, *in);
    check([&] { return VariantChangeTypeEx(out.put(), &*in, LOCALE_USER_DEFAULT, 0, VT_BOOL); });
    return V_BOOL(&*out) != VARIANT_FALSE;
}

}  // namespace platform
