// The management service's scripting library missing, as on a damaged Windows installation:
// CTest runs this file's tests with WINEDLLOVERRIDES=wbemdisp=d and says so through
// TAVRIN_WINE_WBEMDISP_DISABLED=1; elsewhere they are skipped.
#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/automation_win.h"
#include "platform/error.h"
#include "tests/wine/test_support.h"

namespace tavrin_test {
namespace {

bool wbemdisp_disabled() {
    const char* flag = std::getenv("TAVRIN_WINE_WBEMDISP_DISABLED");
    return flag && std::string(flag) == "1";
}

TEST(WithoutScriptingLibrary, TheServiceMonikerRaisesClassNotRegistered) {
    if (!wbemdisp_disabled()) {
        GTEST_SKIP() << "needs WINEDLLOVERRIDES=wbemdisp=d and TAVRIN_WINE_WBEMDISP_DISABLED=1";
    }
    // The moniker's class is registered but its library cannot be loaded; Wine says
    // REGDB_E_CLASSNOTREG, with no error object, so the system describes it.
    try {
        platform::com_get_object(u"winmgmts:\\\\.\\root\\cimv2");
        FAIL() << "the moniker bound without wbemdisp.dll";
    } catch (const platform::Error& error) {
        EXPECT_EQ(show_number(error.number()), show_number(number(REGDB_E_CLASSNOTREG)));
        EXPECT_EQ(error.description(), platform::describe(number(REGDB_E_CLASSNOTREG)));
        EXPECT_FALSE(error.description().empty());
        std::printf("CoGetObject(winmgmts:) without wbemdisp: %s \"%s\"\n",
                    show_number(error.number()).c_str(),
                    platform::to_utf8(error.description()).c_str());
    }
}

TEST(WithoutScriptingLibrary, TheFileSystemObjectStillWorks) {
    if (!wbemdisp_disabled()) {
        GTEST_SKIP() << "needs WINEDLLOVERRIDES=wbemdisp=d and TAVRIN_WINE_WBEMDISP_DISABLED=1";
    }
    const platform::Object drive = drive_of(u"C:");
    EXPECT_EQ(show(drive.get(u"IsReady")), "bool:true");
}

}  // namespace
}  // namespace tavrin_test
