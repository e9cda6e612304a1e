// The Windows back end of late-bound automation: COM objects reached through IDispatch.
//
// Members are called with DISPATCH_METHOD | DISPATCH_PROPERTYGET together, arguments passed as
// VARIANTs (texts as BSTRs, integers as VT_I4 when they fit). Every failure raises
// platform::Error:
// - number: the HRESULT as a signed 32-bit number; for an exception raised inside Invoke
//   (DISP_E_EXCEPTION) the object's error number (wCode) if it gave one, else its status
//   (scode), else DISP_E_EXCEPTION;
// - description: the object's own text (EXCEPINFO, or the error object it set during the
//   call), else platform::describe(number) (a wCode is described as its HRESULT form,
//   0x800A0000 + wCode); a failed name look-up has " (name)" appended.
#pragma once

#include "platform/automation.h"
#include "platform/text.h"

struct IDispatch;

namespace platform {

// The calling thread's membership of a single-threaded apartment, for as long as the guard
// lives. Raises when the thread cannot join one (for instance: it is already in the
// multithreaded apartment). Objects made on the thread must be gone before the guard goes.
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

// An object over an interface the caller already holds. The object takes a reference of its
// own, so the caller keeps (and releases) theirs. A null interface gives an object that raises
// "invalid pointer" when used, as an unset object variable does.
Object wrap_dispatch(IDispatch* dispatch);

}  // namespace platform
