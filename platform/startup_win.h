// Process set-up that must happen before anything else runs.
#pragma once

#include <windows.h>

#include <span>

namespace platform {

// The program is usually started from a USB stick: libraries are loaded from the system
// directory only, never from the program's own folder, and an empty drive never raises a
// "no disk" dialog of the system's own.
void harden_process();

// Loads a library from the system directory by its full path; null where it is not there, or
// where the system directory's path does not fit in MAX_PATH.
HMODULE load_system_library(const wchar_t* name);

// Loads from the system directory the system libraries that Windows would otherwise look for
// by name, in the program's folder first; what harden_process does where Windows cannot be
// told to search the system directory alone.
void preload_system_libraries();
// Those libraries, by file name.
std::span<const wchar_t* const> libraries_loaded_by_name();

}  // namespace platform
