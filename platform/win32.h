// The Windows halves of the run time: process start-up, COM automation, and what they share:
// owners for the handles and structs they hold (platform/owner.h), texts as the API takes
// them, and the libraries of the system directory.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <span>
#include <string>

#include "platform/automation.h"
#include "platform/owner.h"

namespace platform {

using Bstr = Owner<BSTR, SysFreeString>;

// A null-terminated copy, for calls that take a C string.
inline std::wstring wide(TextView text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline Text text_of(const wchar_t* text, std::size_t length) {
    return length != 0 ? Text(reinterpret_cast<const char16_t*>(text), length) : Text();
}

// The program is usually started from a USB stick: libraries are loaded from the system
// directory only, never from the program's own folder, and an empty drive never raises a
// "no disk" dialog of the system's own.
void harden_process();

// The system libraries that Windows would otherwise look for by name, in the program's folder
// first; harden_process loads them from the system directory where Windows cannot be told to
// search it alone.
std::span<const wchar_t* const> libraries_loaded_by_name();

// A library of the system directory, loaded from there by its full path and kept for the life
// of the process; null where this Windows lacks it.
HMODULE system_library(const wchar_t* name);

// A function of such a library; null where this Windows lacks it.
template <class Function>
Function* system_function(const wchar_t* library, const char* name) {
    const HMODULE module = system_library(library);
    return module != nullptr
               ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

// Late-bound automation over COM (automation_win.cpp). Every failure raises platform::Error
// with the HRESULT, or for an exception inside Invoke the object's wCode, else its scode; and
// the object's own description, else platform::describe's.

// The calling thread's membership of a single-threaded apartment, for as long as the guard
// lives; raises when the thread cannot join one. Objects made on the thread must be gone
// before the guard goes.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

// The object a moniker names, e.g. "winmgmts:\\.\root\cimv2" (CoGetObject, no bind options).
Object com_get_object(TextView moniker);

// A new object of the class registered under a programmatic identifier, e.g.
// "Scripting.FileSystemObject", in-process or out (CLSCTX_SERVER).
Object com_create_object(TextView class_name);

// An object over an interface: it takes a reference of its own, so the caller keeps (and
// releases) theirs. A null interface gives Nothing.
Object wrap_dispatch(IDispatch* dispatch);

}  // namespace platform
