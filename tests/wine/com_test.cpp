// The COM layer over hand-made objects: what it passes, what it makes of each answer the
// program relies on, how it reports each way of failing, and that every reference and string
// it was given goes back, on the normal path and when an error unwinds.
#include <gtest/gtest.h>

#include "platform/automation_win.h"
#include "tests/wine/fakes.h"
#include "tests/wine/support.h"

namespace tavrin_test {
namespace {

using platform::Object;
using platform::Text;

// Answers with a VARIANT of `type` made from `text`, as the object's own conversion makes it.
Fake::Member answer(VARTYPE type, const wchar_t* text = L"") {
    return [=](const DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
        VARIANT source;
        V_VT(&source) = VT_BSTR;
        V_BSTR(&source) = SysAllocString(text);
        const HRESULT hr = type == VT_NULL || type == VT_EMPTY
                               ? (V_VT(result) = type, S_OK)
                               : VariantChangeType(result, &source, 0, type);
        VariantClear(&source);
        return hr;
    };
}

// An exception filled in only when asked.
int fill_ins = 0;
HRESULT STDMETHODCALLTYPE fill_in(EXCEPINFO* exception) {
    ++fill_ins;
    exception->scode = E_ACCESSDENIED;
    exception->bstrDescription = SysAllocString(L"稍后填写的说明");
    return S_OK;
}

class ComLayer : public testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(allocations.live(), 0u) << "strings were not freed";
        EXPECT_EQ(fake.refs, 1u) << "references were not given back";
    }
    Object object() { return platform::wrap_dispatch(&fake); }

    AllocationWatch allocations;
    Fake fake;
};

TEST_F(ComLayer, CallsByNameAsAMethodAndPropertyReadWithTheArgumentsLastFirst) {
    fake.members[L"Take"] = answer(VT_EMPTY);
    object().call(u"Take", u"盘符", std::int64_t{-5}, std::int64_t{1} << 40, true);
    EXPECT_EQ(fake.names_asked, std::vector<std::wstring>{L"Take"});
    ASSERT_EQ(fake.calls.size(), 1u);
    EXPECT_EQ(fake.calls[0].flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_EQ(fake.calls[0].locale, static_cast<LCID>(LOCALE_USER_DEFAULT));
    EXPECT_TRUE(fake.calls[0].iid_null);
    EXPECT_EQ(fake.calls[0].arguments,
              (std::vector<std::wstring>{L"11:True", L"20:1099511627776", L"3:-5", L"8:盘符"}));
}

TEST_F(ComLayer, TakesEachAnswerAsItsValue) {
    const struct {
        VARTYPE type;
        const wchar_t* text;
        const char* value;
    } cases[] = {
        {VT_I4, L"-559038737", "int64:-559038737"},  // a serial with the top bit set
        {VT_UI4, L"3735928559", "int64:3735928559"},
        {VT_I2, L"-5", "int64:-5"},
        {VT_BOOL, L"-1", "bool:true"},
        {VT_BOOL, L"0", "bool:false"},
        {VT_NULL, L"", "null"},
        {VT_EMPTY, L"", "empty"},
        {VT_BSTR, L"可移动磁盘 E:", "text:可移动磁盘 E:"},
        {VT_R8, L"0.5", "double:0.5"},
        {VT_DATE, L"2026-12-08", "error -2147352571"},  // a type mismatch
        {VT_CY, L"1", "error -2147352571"},
    };
    for (const auto& c : cases) {
        fake.members[L"Answer"] = answer(c.type, c.text);
        EXPECT_EQ(outcome([&] { return object().get(u"Answer"); }), c.value) << c.type;
    }
    static LONG stored = 42;  // answered by reference
    fake.members[L"Answer"] = [](const DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
        V_VT(result) = VT_I4 | VT_BYREF;
        V_I4REF(result) = &stored;
        return S_OK;
    };
    EXPECT_EQ(outcome([&] { return object().get(u"Answer"); }), "int64:42");
}

TEST_F(ComLayer, TakesObjectsWithOneReferenceEachAndGivesItBack) {
    Fake disk;
    disk.members[L"DeviceID"] = answer(VT_BSTR, L"E:");
    for (const VARTYPE type : {VT_DISPATCH, VT_UNKNOWN}) {
        fake.members[L"Answer"] = [&](const DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
            V_VT(result) = type;
            V_DISPATCH(result) = &disk;
            disk.AddRef();
            return S_OK;
        };
        {
            const Object got = object().get(u"Answer").object();
            EXPECT_EQ(disk.refs, 2u);
            EXPECT_EQ(outcome([&] { return got.get(u"DeviceID"); }), "text:E:");
        }
        EXPECT_EQ(disk.refs, 1u);
    }
    fake.members[L"Answer"] = [](const DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = nullptr;  // Nothing: an object that raises "invalid pointer"
        return S_OK;
    };
    EXPECT_EQ(outcome([&] { return object().get(u"Answer").object().get(u"DeviceID"); }),
              "error -2147467261");
}

TEST_F(ComLayer, ReportsEachWayOfFailingWithItsNumberAndDescription) {
    const struct {
        WORD code;
        HRESULT scode;
        const wchar_t* description;
        std::int32_t number;
        Text expected;  // empty: the program's own description of `number`, or of described
        std::int32_t described;
    } cases[] = {
        {68, 0, L"设备不可用", 68, u"设备不可用", 0},
        {71, 0, nullptr, 71, u"", static_cast<std::int32_t>(0x800A0047)},
        {68, E_FAIL, L"设备不可用", 68, u"设备不可用", 0},
        {0, static_cast<HRESULT>(0x800A0044), L"Device unavailable", -2146828220,
         u"Device unavailable", 0},
        {0, E_ACCESSDENIED, L"", static_cast<std::int32_t>(E_ACCESSDENIED), u"",
         static_cast<std::int32_t>(E_ACCESSDENIED)},
        {0, 0, nullptr, static_cast<std::int32_t>(DISP_E_EXCEPTION), u"",
         static_cast<std::int32_t>(DISP_E_EXCEPTION)},
    };
    for (const auto& c : cases) {
        fake.members[L"Fail"] = [&](const DISPPARAMS&, VARIANT*, EXCEPINFO* exception) {
            exception->wCode = c.code;
            exception->scode = c.scode;
            exception->bstrSource = SysAllocString(L"Fake.Object");
            exception->bstrDescription = c.description ? SysAllocString(c.description) : nullptr;
            exception->bstrHelpFile = SysAllocString(L"fake.chm");
            return DISP_E_EXCEPTION;
        };
        const platform::Error error = error_of([&] { object().call(u"Fail", u"argument"); });
        EXPECT_EQ(error.number(), c.number) << c.code << " " << c.scode;
        EXPECT_EQ(error.description(),
                  c.expected.empty() ? platform::describe(c.described) : c.expected);
    }

    fake.members[L"Fail"] = [](const DISPPARAMS&, VARIANT*, EXCEPINFO* exception) {
        exception->pfnDeferredFillIn = &fill_in;
        return DISP_E_EXCEPTION;
    };
    EXPECT_EQ(outcome([&] { return object().get(u"Fail"); }), "error -2147024891 稍后填写的说明");
    EXPECT_EQ(fill_ins, 1);

    // A failure described by the error object the callee set, but not by one left over.
    fake.members[L"Plain"] = [](const DISPPARAMS&, VARIANT*, EXCEPINFO*) { return E_NOTIMPL; };
    fake.members[L"Described"] = [](const DISPPARAMS&, VARIANT*, EXCEPINFO*) {
        set_error_info(L"来自错误对象的说明");
        return E_FAIL;
    };
    EXPECT_EQ(outcome([&] { return object().get(u"Described"); }),
              "error -2147467259 来自错误对象的说明");
    set_error_info(L"早先留下的说明");
    EXPECT_EQ(error_of([&] { object().get(u"Plain"); }).description(),
              platform::describe(static_cast<std::int32_t>(E_NOTIMPL)));
    EXPECT_EQ(error_of([&] { object().get(u"序列号"); }).description(),
              platform::describe(static_cast<std::int32_t>(DISP_E_UNKNOWNNAME)) + u" (序列号)");

    // A careless object that fills the result and then fails: the result is still freed.
    fake.members[L"Careless"] = [](const DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(L"half an answer");
        return E_FAIL;
    };
    EXPECT_EQ(error_of([&] { object().call(u"Careless", u"a text argument"); }).number(),
              static_cast<std::int32_t>(E_FAIL));
}

TEST_F(ComLayer, EnumeratesACollectionReleasingEachElementBeforeTheNext) {
    Fake first, second;
    fake.members[L"_NewEnum"] = [&](const DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
        V_VT(result) = VT_UNKNOWN;
        V_UNKNOWN(result) = static_cast<IEnumVARIANT*>(&fake);
        fake.AddRef();
        return S_OK;
    };
    const auto count = [&] {
        int seen = 0;
        for (platform::Value& element : object().elements()) {
            const Object disk = std::move(element).object();
            EXPECT_EQ(first.refs + second.refs, 3u) << "the previous element is still held";
            ++seen;
        }
        return seen;
    };
    EXPECT_EQ(count(), 0);
    for (Fake* element : {&first, &second}) {
        fake.elements.push_back([element](VARIANT* out) {
            V_VT(out) = VT_DISPATCH;
            V_DISPATCH(out) = element;
            element->AddRef();
        });
    }
    fake.next = 0;
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(fake.calls.at(0).flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);

    fake.next = 1;
    fake.failure_after_elements = static_cast<HRESULT>(0x80041001);  // WBEM_E_FAILED
    EXPECT_EQ(error_of(count).number(), -2147217407);
    EXPECT_EQ(first.refs + second.refs, 2u);
}

}  // namespace
}  // namespace tavrin_test
