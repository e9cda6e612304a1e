#include "platform/win32.h"

#include <cstdlib>

namespace platform {

namespace {

// The libraries Windows loads into this program by name, not full path, that are not known
// DLLs on Windows 7: a loader trace of a whole run under Wine (WINEDEBUG=+loaddll) less Wine's
// internals, COM's registered paths and the known DLLs; plus those Windows 7 loads and Wine
// does not (dwmapi, cryptbase, wbemcomn).
constexpr const wchar_t* kLoadedByName[] = {
    L"uxtheme.dll", L"dwmapi.dll",   L"version.dll",  L"cryptbase.dll", L"msimg32.dll",
    L"dnsapi.dll",  L"iphlpapi.dll", L"winspool.drv", L"wbemcomn.dll",
};

}  // namespace

HMODULE system_library(const wchar_t* name) {
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::wstring path = std::wstring(directory, length) + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::span<const wchar_t* const> libraries_loaded_by_name() {
    return kLoadedByName;
}

void harden_process() {
    // Windows 8 and later, and Windows 7 with its loader update (KB2533623), restrict the
    // search to the system directory. Without the update, the current directory is taken
    // out of the search and the libraries looked for by name later are loaded now, from the
    // system directory, so that the program's own folder (the stick) cannot supply them.
    SetDllDirectoryW(L"");
    const auto set_default_directories =
        system_function<BOOL WINAPI(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (set_default_directories == nullptr ||
        !set_default_directories(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */)) {
        for (const wchar_t* name : kLoadedByName) {
            system_library(name);  // a library this Windows lacks is simply not there
        }
    }
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
