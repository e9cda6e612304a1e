// Owning types for the Windows handles the program holds, one per kind, made from one
// template. The form's own window is the one handle not held this way: it ends when the user
// closes it or the error report destroys it, and the form learns of that from WM_DESTROY; the
// form destroys it itself only when creation stops half-way.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace platform {

template <class Handle, auto Close>
struct HandleCloser {
    void operator()(Handle handle) const noexcept { Close(handle); }
};

template <class Handle, auto Close>
using unique_handle = std::unique_ptr<std::remove_pointer_t<Handle>, HandleCloser<Handle, Close>>;

inline void delete_gdi_object(HGDIOBJ object) noexcept {
    DeleteObject(object);
}

using unique_hfont = unique_handle<HFONT, delete_gdi_object>;
using unique_hbrush = unique_handle<HBRUSH, delete_gdi_object>;
using unique_hicon = unique_handle<HICON, DestroyIcon>;

// A device context borrowed from a window (or the screen) and given back.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

}  // namespace platform
