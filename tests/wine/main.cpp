// The test program: one single-threaded apartment for the whole run, as the program has.
#include <gtest/gtest.h>
#include <windows.h>

#include <ole2.h>

#include "platform/automation_win.h"

// Exported by oleaut32 but not declared in MinGW's headers.
extern "C" void WINAPI SetOaNoCache();

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Freed strings go straight back to the task allocator, where the tests can see them go.
    SetOaNoCache();
    const platform::ComApartment apartment;
    return RUN_ALL_TESTS();
}
