// The test program: one single-threaded apartment for the whole run, as the program has.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/automation_win.h"

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Freed strings go straight back to the task allocator, where the tests see them go
    // (exported by oleaut32, in no import library of MinGW's).
    const auto no_cache = reinterpret_cast<void(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleaut32.dll"), "SetOaNoCache")));
    if (no_cache == nullptr) {
        return 2;
    }
    no_cache();
    const platform::ComApartment apartment;
    return RUN_ALL_TESTS();
}
