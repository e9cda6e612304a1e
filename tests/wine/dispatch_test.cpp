// The IDispatch adapter over hand-made objects: what it passes, what it makes of each kind of
// result, how it reports failures, and that it releases everything it was given, on the
// normal path and when an error unwinds.
#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/automation_win.h"
#include "platform/error.h"
#include "tests/wine/com_fakes.h"
#include "tests/wine/test_support.h"

namespace tavrin_test {
namespace {

using platform::Error;
using platform::Object;
using platform::Text;
using platform::Value;

// A handler that answers with a copy of `answer`.
FakeDispatch::Handler answer_with(std::function<void(VARIANT*)> answer) {
    return [answer](const DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
        answer(result);
        return S_OK;
    };
}

// A handler that fails with `hr`.
FakeDispatch::Handler fail_with(HRESULT hr) {
    return [hr](const DISPPARAMS&, VARIANT*, EXCEPINFO*) { return hr; };
}

// ---------------------------------------------------------------------------------------------
// Results: every kind of VARIANT an object may answer with.

struct ResultCase {
    const char* name;
    std::function<void(VARIANT*)> answer;
    std::string expected;
};

// Storage that by-reference answers point into; it outlives every call.
LONG g_long_storage = 42;
BSTR g_bstr_storage = nullptr;
VARIANT g_variant_storage;

std::vector<ResultCase> result_cases() {
    return {
        {"empty", [](VARIANT* v) { V_VT(v) = VT_EMPTY; }, "empty"},
        {"null", [](VARIANT* v) { V_VT(v) = VT_NULL; }, "null"},
        {"true",
         [](VARIANT* v) {
             V_VT(v) = VT_BOOL;
             V_BOOL(v) = VARIANT_TRUE;
         },
         "bool:true"},
        {"false",
         [](VARIANT* v) {
             V_VT(v) = VT_BOOL;
             V_BOOL(v) = VARIANT_FALSE;
         },
         "bool:false"},
        {"I1",
         [](VARIANT* v) {
             V_VT(v) = VT_I1;
             V_I1(v) = static_cast<CHAR>(-5);
         },
         "int64:-5"},
        {"UI1",
         [](VARIANT* v) {
             V_VT(v) = VT_UI1;
             V_UI1(v) = 200;
         },
         "int64:200"},
        {"I2",
         [](VARIANT* v) {
             V_VT(v) = VT_I2;
             V_I2(v) = -30000;
         },
         "int64:-30000"},
        {"UI2",
         [](VARIANT* v) {
             V_VT(v) = VT_UI2;
             V_UI2(v) = 60000;
         },
         "int64:60000"},
        {"I4 (a volume serial number with the top bit set)",
         [](VARIANT* v) {
             V_VT(v) = VT_I4;
             V_I4(v) = static_cast<LONG>(0xDEADBEEF);
         },
         "int64:-559038737"},
        {"UI4",
         [](VARIANT* v) {
             V_VT(v) = VT_UI4;
             V_UI4(v) = 0xDEADBEEF;
         },
         "int64:3735928559"},
        {"INT",
         [](VARIANT* v) {
             V_VT(v) = VT_INT;
             V_INT(v) = -7;
         },
         "int64:-7"},
        {"UINT",
         [](VARIANT* v) {
             V_VT(v) = VT_UINT;
             V_UINT(v) = 4294967295u;
         },
         "int64:4294967295"},
        {"I8",
         [](VARIANT* v) {
             V_VT(v) = VT_I8;
             V_I8(v) = std::numeric_limits<LONGLONG>::min();
         },
         "int64:-9223372036854775808"},
        {"UI8",
         [](VARIANT* v) {
             V_VT(v) = VT_UI8;
             V_UI8(v) = std::numeric_limits<ULONGLONG>::max();
         },
         "uint64:18446744073709551615"},
        {"R4",
         [](VARIANT* v) {
             V_VT(v) = VT_R4;
             V_R4(v) = 1.5f;
         },
         "double:1.5"},
        {"R8",
         [](VARIANT* v) {
             V_VT(v) = VT_R8;
             V_R8(v) = -0.25;
         },
         "double:-0.25"},
        {"BSTR",
         [](VARIANT* v) {
             V_VT(v) = VT_BSTR;
             V_BSTR(v) = make_bstr(L"可移动磁盘 E:");
         },
         "text:可移动磁盘 E:"},
        {"null BSTR (the empty string)",
         [](VARIANT* v) {
             V_VT(v) = VT_BSTR;
             V_BSTR(v) = nullptr;
         },
         "text:"},
        {"I4 by reference",
         [](VARIANT* v) {
             V_VT(v) = VT_I4 | VT_BYREF;
             V_I4REF(v) = &g_long_storage;
         },
         "int64:42"},
        {"BSTR by reference",
         [](VARIANT* v) {
             SysFreeString(g_bstr_storage);
             g_bstr_storage = make_bstr(L"F:");
             V_VT(v) = VT_BSTR | VT_BYREF;
             V_BSTRREF(v) = &g_bstr_storage;
         },
         "text:F:"},
        {"VARIANT by reference",
         [](VARIANT* v) {
             VariantInit(&g_variant_storage);
             V_VT(&g_variant_storage) = VT_BOOL;
             V_BOOL(&g_variant_storage) = VARIANT_TRUE;
             V_VT(v) = VT_VARIANT | VT_BYREF;
             V_VARIANTREF(v) = &g_variant_storage;
         },
         "bool:true"},
    };
}

TEST(DispatchResults, EachKindOfVariantBecomesItsValue) {
    for (const ResultCase& c : result_cases()) {
        SCOPED_TRACE(c.name);
        FakeDispatch fake;
        fake.add(L"Answer", answer_with(c.answer));
        {
            const Object object = platform::wrap_dispatch(&fake);
            EXPECT_EQ(show(object.get(u"Answer")), c.expected);
        }
        EXPECT_EQ(fake.refs(), 1u);
    }
}

struct MismatchCase {
    const char* name;
    std::function<void(VARIANT*)> answer;
};

TEST(DispatchResults, KindsTheProgramDoesNotTakeAreATypeMismatch) {
    const MismatchCase cases[] = {
        {"DATE",
         [](VARIANT* v) {
             V_VT(v) = VT_DATE;
             V_DATE(v) = 45000.0;
         }},
        {"CY",
         [](VARIANT* v) {
             V_VT(v) = VT_CY;
             V_CY(v).int64 = 10000;
         }},
        {"ERROR",
         [](VARIANT* v) {
             V_VT(v) = VT_ERROR;
             V_ERROR(v) = DISP_E_PARAMNOTFOUND;
         }},
        {"array of VARIANTs",
         [](VARIANT* v) {
             V_VT(v) = VT_ARRAY | VT_VARIANT;
             V_ARRAY(v) = SafeArrayCreateVector(VT_VARIANT, 0, 3);
         }},
    };
    for (const MismatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDispatch fake;
        fake.add(L"Answer", answer_with(c.answer));
        const Object object = platform::wrap_dispatch(&fake);
        const Error error = error_of([&] { object.get(u"Answer"); });
        EXPECT_EQ(error.number(), platform::codes::kTypeMismatch);
        EXPECT_EQ(error.description(), platform::describe(platform::codes::kTypeMismatch));
    }
}

TEST(DispatchResults, ObjectsComeBackAsObjectsThatCanBeCalled) {
    FakeDispatch child;
    child.add(L"DeviceID", answer_with([](VARIANT* v) {
                  V_VT(v) = VT_BSTR;
                  V_BSTR(v) = make_bstr(L"E:");
              }));
    FakeDispatch parent;
    parent.add(L"AsDispatch", answer_with([&](VARIANT* v) {
                   child.AddRef();
                   V_VT(v) = VT_DISPATCH;
                   V_DISPATCH(v) = &child;
               }));
    parent.add(L"AsUnknown", answer_with([&](VARIANT* v) {
                   child.AddRef();
                   V_VT(v) = VT_UNKNOWN;
                   V_UNKNOWN(v) = static_cast<IUnknown*>(&child);
               }));
    const Object object = platform::wrap_dispatch(&parent);
    for (const char16_t* member : {u"AsDispatch", u"AsUnknown"}) {
        SCOPED_TRACE(platform::to_utf8(member));
        {
            const Object disk = object.get(member).object();
            EXPECT_EQ(child.refs(), 2u);  // the test's and the handle's
            EXPECT_EQ(show(disk.get(u"DeviceID")), "text:E:");
        }
        EXPECT_EQ(child.refs(), 1u);
    }
}

TEST(DispatchResults, AnUnknownWithoutDispatchIsATypeMismatchAndIsReleased) {
    FakeUnknown plain;
    FakeDispatch fake;
    fake.add(L"Answer", answer_with([&](VARIANT* v) {
                 plain.AddRef();
                 V_VT(v) = VT_UNKNOWN;
                 V_UNKNOWN(v) = &plain;
             }));
    const Object object = platform::wrap_dispatch(&fake);
    EXPECT_EQ(error_of([&] { object.get(u"Answer"); }).number(), platform::codes::kTypeMismatch);
    EXPECT_EQ(plain.refs(), 1u);
}

TEST(DispatchResults, NothingIsAnObjectThatRaisesInvalidPointerWhenUsed) {
    FakeDispatch fake;
    fake.add(L"Nothing", answer_with([](VARIANT* v) {
                 V_VT(v) = VT_DISPATCH;
                 V_DISPATCH(v) = nullptr;
             }));
    const Object object = platform::wrap_dispatch(&fake);
    const Object nothing = object.get(u"Nothing").object();
    EXPECT_EQ(error_of([&] { nothing.get(u"DeviceID"); }).number(),
              platform::codes::kInvalidPointer);
    EXPECT_EQ(error_of([] { platform::wrap_dispatch(nullptr).get(u"DeviceID"); }).number(),
              platform::codes::kInvalidPointer);
}

// ---------------------------------------------------------------------------------------------
// Calls and arguments.

TEST(DispatchCalls, NamesAreLookedUpAndCalledAsAMethodOrPropertyRead) {
    FakeDispatch fake;
    const DISPID id = fake.add(L"ExecQuery", answer_with([](VARIANT* v) { V_VT(v) = VT_EMPTY; }));
    const Object object = platform::wrap_dispatch(&fake);
    object.call(u"ExecQuery", u"Select * from Win32_LogicalDisk");

    ASSERT_EQ(fake.names_asked(), std::vector<std::wstring>{L"ExecQuery"});
    EXPECT_EQ(fake.names_locale(), static_cast<LCID>(LOCALE_USER_DEFAULT));
    ASSERT_EQ(fake.calls().size(), 1u);
    const FakeDispatch::Call& call = fake.calls()[0];
    EXPECT_EQ(call.member, id);
    EXPECT_EQ(call.flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_EQ(call.locale, static_cast<LCID>(LOCALE_USER_DEFAULT));
    EXPECT_TRUE(call.iid_null);
    EXPECT_TRUE(call.result_wanted);
    EXPECT_TRUE(call.exception_wanted);
    EXPECT_EQ(call.named_arguments, 0u);
}

TEST(DispatchCalls, ArgumentsArePassedLastFirstAsVariantsOfTheirKind) {
    FakeDispatch fake;
    fake.add(L"Take", answer_with([](VARIANT* v) { V_VT(v) = VT_EMPTY; }));
    const Object object = platform::wrap_dispatch(&fake);
    object.call(u"Take", u"盘符", std::int64_t{-5}, true, platform::Null{}, Value(), 2.5,
                std::int64_t{1} << 40, std::numeric_limits<std::uint64_t>::max(), std::uint64_t{7},
                Text());

    ASSERT_EQ(fake.calls().size(), 1u);
    const std::vector<TestVariant>& received = fake.calls()[0].arguments;
    ASSERT_EQ(received.size(), 10u);
    auto argument = [&](std::size_t i) -> const VARIANT& { return *received[9 - i]; };

    ASSERT_EQ(V_VT(&argument(0)), VT_BSTR);
    EXPECT_EQ(std::wstring(V_BSTR(&argument(0)), SysStringLen(V_BSTR(&argument(0)))), L"盘符");
    ASSERT_EQ(V_VT(&argument(1)), VT_I4);
    EXPECT_EQ(V_I4(&argument(1)), -5);
    ASSERT_EQ(V_VT(&argument(2)), VT_BOOL);
    EXPECT_EQ(V_BOOL(&argument(2)), VARIANT_TRUE);
    EXPECT_EQ(V_VT(&argument(3)), VT_NULL);
    EXPECT_EQ(V_VT(&argument(4)), VT_EMPTY);
    ASSERT_EQ(V_VT(&argument(5)), VT_R8);
    EXPECT_EQ(V_R8(&argument(5)), 2.5);
    ASSERT_EQ(V_VT(&argument(6)), VT_I8);
    EXPECT_EQ(V_I8(&argument(6)), LONGLONG{1} << 40);
    ASSERT_EQ(V_VT(&argument(7)), VT_UI8);
    EXPECT_EQ(V_UI8(&argument(7)), std::numeric_limits<ULONGLONG>::max());
    ASSERT_EQ(V_VT(&argument(8)), VT_I4);
    EXPECT_EQ(V_I4(&argument(8)), 7);
    ASSERT_EQ(V_VT(&argument(9)), VT_BSTR);
    ASSERT_NE(V_BSTR(&argument(9)), nullptr);  // an empty text is an empty string, not null
    EXPECT_EQ(SysStringLen(V_BSTR(&argument(9))), 0u);
}

TEST(DispatchCalls, AnObjectArgumentIsATypeMismatchRaisedBeforeTheCall) {
    FakeDispatch other;
    FakeDispatch fake;
    fake.add(L"Take", answer_with([](VARIANT* v) { V_VT(v) = VT_EMPTY; }));
    const Object object = platform::wrap_dispatch(&fake);
    EXPECT_EQ(error_of([&] {
                  object.call(u"Take", u"before", platform::wrap_dispatch(&other));
              }).number(),
              platform::codes::kTypeMismatch);
    EXPECT_TRUE(fake.calls().empty());
    EXPECT_EQ(other.refs(), 1u);
}

TEST(DispatchCalls, CollectionsAreEnumeratedThroughNewEnum) {
    FakeDispatch first, second;
    FakeEnum items({
        [&](VARIANT* v) {
            first.AddRef();
            V_VT(v) = VT_DISPATCH;
            V_DISPATCH(v) = &first;
            return S_OK;
        },
        [&](VARIANT* v) {
            second.AddRef();
            V_VT(v) = VT_DISPATCH;
            V_DISPATCH(v) = &second;
            return S_OK;
        },
    });
    for (const VARTYPE kind : {VARTYPE{VT_UNKNOWN}, VARTYPE{VT_DISPATCH}}) {
        SCOPED_TRACE(kind == VT_UNKNOWN ? "_NewEnum as IUnknown" : "_NewEnum as IDispatch");
        FakeDispatch collection;
        // Some collections hand their enumerator over as an IDispatch that also answers
        // IEnumVARIANT.
        FakeDispatch enumerator_as_dispatch;
        enumerator_as_dispatch.forward_enumerator(&items);
        collection.add(L"_NewEnum", answer_with([&](VARIANT* v) {
                           if (kind == VT_UNKNOWN) {
                               items.AddRef();
                               V_VT(v) = VT_UNKNOWN;
                               V_UNKNOWN(v) = &items;
                           } else {
                               enumerator_as_dispatch.AddRef();
                               V_VT(v) = VT_DISPATCH;
                               V_DISPATCH(v) = &enumerator_as_dispatch;
                           }
                       }),
                       DISPID_NEWENUM);
        items.Reset();
        std::vector<std::string> seen;
        {
            const Object object = platform::wrap_dispatch(&collection);
            for (Value& element : object.elements()) {
                seen.push_back(show(element));
                EXPECT_GE(items.refs(), 2u);
            }
            ASSERT_EQ(collection.calls().size(), 1u);
            EXPECT_EQ(collection.calls()[0].member, DISPID_NEWENUM);
            EXPECT_EQ(collection.calls()[0].flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
        }
        EXPECT_EQ(seen, (std::vector<std::string>{"object", "object"}));
        EXPECT_EQ(items.refs(), 1u);
        EXPECT_EQ(first.refs(), 1u);
        EXPECT_EQ(second.refs(), 1u);
        EXPECT_EQ(collection.refs(), 1u);
        EXPECT_EQ(enumerator_as_dispatch.refs(), 1u);
    }
}

TEST(DispatchCalls, AnEmptyCollectionHasNoElements) {
    FakeEnum items({});
    FakeDispatch collection;
    collection.add(L"_NewEnum", answer_with([&](VARIANT* v) {
                       items.AddRef();
                       V_VT(v) = VT_UNKNOWN;
                       V_UNKNOWN(v) = &items;
                   }),
                   DISPID_NEWENUM);
    int count = 0;
    for (Value& element : platform::wrap_dispatch(&collection).elements()) {
        (void)element;
        ++count;
    }
    EXPECT_EQ(count, 0);
    EXPECT_EQ(items.refs(), 1u);
}

TEST(DispatchCalls, ANewEnumThatIsNoEnumeratorRaises) {
    FakeUnknown plain;
    FakeDispatch collection;
    collection.add(L"_NewEnum", answer_with([&](VARIANT* v) {
                       plain.AddRef();
                       V_VT(v) = VT_UNKNOWN;
                       V_UNKNOWN(v) = &plain;
                   }),
                   DISPID_NEWENUM);
    FakeDispatch scalar;
    scalar.add(L"_NewEnum", answer_with([](VARIANT* v) {
                   V_VT(v) = VT_I4;
                   V_I4(v) = 1;
               }),
               DISPID_NEWENUM);
    FakeDispatch none;  // no _NewEnum at all
    EXPECT_EQ(error_of([&] { platform::wrap_dispatch(&collection).elements(); }).number(),
              number(E_NOINTERFACE));
    EXPECT_EQ(error_of([&] { platform::wrap_dispatch(&scalar).elements(); }).number(),
              platform::codes::kTypeMismatch);
    EXPECT_EQ(error_of([&] { platform::wrap_dispatch(&none).elements(); }).number(),
              number(DISP_E_MEMBERNOTFOUND));
    EXPECT_EQ(plain.refs(), 1u);
    EXPECT_EQ(collection.refs(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Failures: the number and description that come out of each way of failing.

struct ExceptionCase {
    const char* name;
    WORD code;
    HRESULT scode;
    const wchar_t* description;  // null: none
    std::int32_t expected_number;
    Text expected_description;  // empty: describe(described)
    std::int32_t described;
};

TEST(DispatchErrors, AnExceptionRaisedByTheObjectKeepsItsNumberAndDescription) {
    const ExceptionCase cases[] = {
        {"an error number and a description", 68, 0, L"设备不可用", 68, u"设备不可用", 0},
        {"an error number without a description", 5, 0, nullptr, 5, u"",
         number(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 5))},
        {"an error number before a status", 68, E_FAIL, L"设备不可用", 68, u"设备不可用", 0},
        {"a status and a description", 0, number(0x800A0044), L"Device unavailable",
         number(0x800A0044), u"Device unavailable", 0},
        {"a status without a description", 0, E_ACCESSDENIED, nullptr, number(E_ACCESSDENIED), u"",
         number(E_ACCESSDENIED)},
        {"an empty description", 0, E_ACCESSDENIED, L"", number(E_ACCESSDENIED), u"",
         number(E_ACCESSDENIED)},
        {"neither number nor status", 0, 0, nullptr, number(DISP_E_EXCEPTION), u"",
         number(DISP_E_EXCEPTION)},
    };
    for (const ExceptionCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDispatch fake;
        fake.add(L"Fail", [&](const DISPPARAMS&, VARIANT*, EXCEPINFO* exception) {
            exception->wCode = c.code;
            exception->scode = c.scode;
            exception->bstrSource = make_bstr(L"Fake.Object");
            exception->bstrDescription = c.description ? make_bstr(c.description) : nullptr;
            exception->bstrHelpFile = make_bstr(L"fake.chm");
            return DISP_E_EXCEPTION;
        });
        AllocationWatch allocations;
        ASSERT_TRUE(allocations.registered());
        {
            const Object object = platform::wrap_dispatch(&fake);
            const Error error = error_of([&] { object.call(u"Fail", u"argument"); });
            EXPECT_EQ(show_number(error.number()), show_number(c.expected_number));
            const Text expected = c.expected_description.empty() ? platform::describe(c.described)
                                                                 : c.expected_description;
            EXPECT_EQ(error.description(), expected);
            EXPECT_FALSE(error.description().empty());
        }
        fake.clear_calls();
        EXPECT_EQ(allocations.live(), 0u) << "strings of the exception or arguments not freed";
        EXPECT_EQ(fake.refs(), 1u);
    }
}

int g_fill_ins = 0;

HRESULT STDMETHODCALLTYPE fill_in(EXCEPINFO* exception) {
    ++g_fill_ins;
    exception->scode = E_ACCESSDENIED;
    exception->bstrDescription = make_bstr(L"稍后填写的说明");
    return S_OK;
}

TEST(DispatchErrors, ADeferredExceptionIsFilledInBeforeItIsRead) {
    FakeDispatch fake;
    fake.add(L"Fail", [](const DISPPARAMS&, VARIANT*, EXCEPINFO* exception) {
        exception->pfnDeferredFillIn = fill_in;
        return DISP_E_EXCEPTION;
    });
    AllocationWatch allocations;
    ASSERT_TRUE(allocations.registered());
    g_fill_ins = 0;
    {
        const Object object = platform::wrap_dispatch(&fake);
        const Error error = error_of([&] { object.get(u"Fail"); });
        EXPECT_EQ(g_fill_ins, 1);
        EXPECT_EQ(error.number(), number(E_ACCESSDENIED));
        EXPECT_EQ(error.description(), u"稍后填写的说明");
    }
    EXPECT_EQ(allocations.live(), 0u);
}

TEST(DispatchErrors, AFailedCallIsDescribedByItsErrorObjectOrElseByTheSystem) {
    FakeDispatch fake;
    fake.add(L"Plain", fail_with(E_NOTIMPL));
    fake.add(L"WithErrorInfo", [](const DISPPARAMS&, VARIANT*, EXCEPINFO*) {
        set_error_info(L"来自错误对象的说明");
        return E_FAIL;
    });
    const Object object = platform::wrap_dispatch(&fake);

    Error error = error_of([&] { object.get(u"Plain"); });
    EXPECT_EQ(error.number(), number(E_NOTIMPL));
    EXPECT_EQ(error.description(), platform::describe(number(E_NOTIMPL)));

    error = error_of([&] { object.get(u"WithErrorInfo"); });
    EXPECT_EQ(error.number(), number(E_FAIL));
    EXPECT_EQ(error.description(), u"来自错误对象的说明");

    // An error object left over from before the call is not taken for the call's.
    set_error_info(L"早先留下的说明");
    error = error_of([&] { object.get(u"Plain"); });
    EXPECT_EQ(error.description(), platform::describe(number(E_NOTIMPL)));
}

TEST(DispatchErrors, AnUnknownNameIsRaisedWithTheMemberNamed) {
    FakeDispatch fake;
    const Object object = platform::wrap_dispatch(&fake);
    const Error error = error_of([&] { object.get(u"序列号"); });
    EXPECT_EQ(error.number(), number(DISP_E_UNKNOWNNAME));
    EXPECT_EQ(error.description(), platform::describe(number(DISP_E_UNKNOWNNAME)) + u" (序列号)");
    EXPECT_TRUE(fake.calls().empty());
}

TEST(DispatchErrors, AFailingEnumeratorRaisesAndEverythingIsReleased) {
    FakeDispatch first;
    FakeEnum items({
        [&](VARIANT* v) {
            first.AddRef();
            V_VT(v) = VT_DISPATCH;
            V_DISPATCH(v) = &first;
            return S_OK;
        },
        [](VARIANT*) {
            set_error_info(L"枚举失败");
            return static_cast<HRESULT>(0x80041001);  // WBEM_E_FAILED
        },
    });
    FakeDispatch collection;
    collection.add(L"_NewEnum", answer_with([&](VARIANT* v) {
                       items.AddRef();
                       V_VT(v) = VT_UNKNOWN;
                       V_UNKNOWN(v) = &items;
                   }),
                   DISPID_NEWENUM);
    int seen = 0;
    const Error error = error_of([&] {
        const Object object = platform::wrap_dispatch(&collection);
        for (Value& element : object.elements()) {
            const Object disk = std::move(element).object();
            ++seen;
        }
    });
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(error.number(), number(0x80041001));
    EXPECT_EQ(error.description(), u"枚举失败");
    EXPECT_EQ(items.refs(), 1u);
    EXPECT_EQ(first.refs(), 1u);
    EXPECT_EQ(collection.refs(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Lifetime: one reference per handle, given back on every path.

TEST(DispatchLifetime, TheAllocationWatchSeesStringsComeAndGo) {
    // Without this, "nothing left" below could mean "nothing seen".
    AllocationWatch allocations;
    ASSERT_TRUE(allocations.registered());
    BSTR text = make_bstr(L"序列号");
    EXPECT_EQ(allocations.live(), 1u);
    SysFreeString(text);
    EXPECT_EQ(allocations.live(), 0u);
}

TEST(DispatchLifetime, AHandleHoldsOneReferenceAndGivesItBack) {
    FakeDispatch fake;
    fake.add(L"Value", answer_with([](VARIANT* v) {
                 V_VT(v) = VT_I4;
                 V_I4(v) = 1;
             }));
    {
        Object object = platform::wrap_dispatch(&fake);
        EXPECT_EQ(fake.refs(), 2u);
        object.get(u"Value");
        EXPECT_EQ(fake.refs(), 2u);
        Object moved = std::move(object);
        EXPECT_EQ(fake.refs(), 2u);
    }
    EXPECT_EQ(fake.refs(), 1u);
}

TEST(DispatchLifetime, ReferencesAreGivenBackWhenCallsFail) {
    FakeDispatch child;
    FakeDispatch fake;
    fake.add(L"Fail", fail_with(E_FAIL));
    fake.add(L"FailAfterAnswering", [&](const DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
        // A careless object that fills the result and then fails: the result is still freed.
        child.AddRef();
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = &child;
        return E_FAIL;
    });
    AllocationWatch allocations;
    ASSERT_TRUE(allocations.registered());
    {
        const Object object = platform::wrap_dispatch(&fake);
        for (const char16_t* member : {u"Fail", u"FailAfterAnswering", u"NoSuchMember"}) {
            SCOPED_TRACE(platform::to_utf8(member));
            EXPECT_THROW(object.call(member, u"a text argument", std::int64_t{1}), Error);
            EXPECT_EQ(fake.refs(), 2u);
        }
        // The object is still usable after its failures.
        EXPECT_THROW(object.get(u"Fail"), Error);
    }
    EXPECT_EQ(fake.refs(), 1u);
    EXPECT_EQ(child.refs(), 1u);
    fake.clear_calls();
    EXPECT_EQ(allocations.live(), 0u);
}

TEST(DispatchLifetime, ResultStringsAndArgumentsAreFreed) {
    FakeDispatch fake;
    fake.add(L"Echo", [](const DISPPARAMS& params, VARIANT* result, EXCEPINFO*) {
        return VariantCopy(result, &params.rgvarg[0]);
    });
    AllocationWatch allocations;
    ASSERT_TRUE(allocations.registered());
    {
        const Object object = platform::wrap_dispatch(&fake);
        EXPECT_EQ(show(object.call(u"Echo", u"序列号")), "text:序列号");
    }
    fake.clear_calls();
    EXPECT_EQ(allocations.live(), 0u);
}

}  // namespace
}  // namespace tavrin_test
