// Failure descriptions: the system's message, trimmed, or a text of the program's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

#include "platform/error.h"
#include "tests/wine/test_support.h"

namespace tavrin_test {
namespace {

using platform::Text;

bool is_fallback(const Text& text) {
    return text.rfind(u"自动化错误 0x", 0) == 0;
}

bool ends_cleanly(const Text& text) {
    return !text.empty() && text.back() != u'\r' && text.back() != u'\n' && text.back() != u' ';
}

TEST(Describe, KnownCodesGetTheSystemsMessageWithoutItsLineBreak) {
    for (const HRESULT code : {E_OUTOFMEMORY, E_INVALIDARG, E_ACCESSDENIED, E_FAIL}) {
        SCOPED_TRACE(show_number(number(code)));
        const Text text = platform::describe(number(code));
        EXPECT_FALSE(is_fallback(text)) << platform::to_utf8(text);
        EXPECT_TRUE(ends_cleanly(text)) << platform::to_utf8(text);
    }
}

TEST(Describe, AWindowsErrorInHresultFormIsDescribedAsTheErrorItself) {
    EXPECT_EQ(platform::describe(number(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))),
              platform::describe(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(is_fallback(platform::describe(number(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)))));
}

TEST(Describe, CodesWithoutAMessageGetTheProgramsOwnText) {
    struct Case {
        std::uint32_t code;
        const char16_t* text;
    };
    const Case cases[] = {
        {0xA0001234u, u"自动化错误 0xA0001234"},  // a customer code: no system has it
        {0x800A0044u, u"自动化错误 0x800A0044"},  // a control's own error number
        {0x8004ABCDu, u"自动化错误 0x8004ABCD"},  // an interface's own code
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::describe(static_cast<std::int32_t>(c.code)), c.text);
    }
}

TEST(Describe, ManagementServiceCodesAreDescribed) {
    // From wbem\wmiutils.dll's message table where it has one (Windows); Wine's has none, so
    // there the program's own text stands in.
    const Text text = platform::describe(static_cast<std::int32_t>(0x8004100Eu));
    EXPECT_TRUE(ends_cleanly(text)) << platform::to_utf8(text);
}

}  // namespace
}  // namespace tavrin_test
