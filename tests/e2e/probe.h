// What the probe library reads inside Tavrin's process, where the driver cannot (LOGFONTs and
// icons do not cross processes). The driver fills in the request, hooks Tavrin's thread with the
// library (WH_GETMESSAGE) and posts kProbeMessage to the thread; the hook answers and sets
// `done`. Both live in a section of the library that every process loading it shares.
#pragma once

#include <windows.h>

namespace e2e {

inline constexpr wchar_t kProbeMessage[] = L"TavrinE2eProbe";

struct Probe {
    struct {
        HWND form, text_box;
        HWND box_icon;               // a message box's icon control, if any,
        const wchar_t* system_icon;  // and the system icon (IDI_...) it must show
        int new_dpi;                 // if not 0: first moved to a monitor of this dpi
        int layout_dpi;              // the dpi the icons must be sized for
    } request;
    LONG done;
    RECT suggested;       // by the move, for the window to take
    int dpi;              // LOGPIXELSY
    LOGFONTW font;        // the text box's
    bool icon_is_own[2];  // the form's large and small icon: the exe's icon 1 at the layout dpi
    bool box_shows_system_icon;
};

}  // namespace e2e
