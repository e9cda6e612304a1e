#include "platform/startup_win.h"

#include <windows.h>

#include <cstdlib>

namespace platform {

void harden_process() {
    // Windows 8 and later, and Windows 7 with its loader update, restrict the search order
    // to the system directory; elsewhere at least take the current directory out of it.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto set_default_dirs = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set_default_dirs != nullptr) {
        set_default_dirs(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
    }
    SetDllDirectoryW(L"");

    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
}

}  // namespace platform

// A GUI program has no console to print a dying exception's demangled name to; the default
// handler that does so would carry the whole demangler into the exe.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
