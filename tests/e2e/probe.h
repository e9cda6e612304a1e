// What the probe library reads inside Tavrin's process, where the driver cannot (LOGFONTs and
// icons do not cross processes). The driver hooks Tavrin's thread with the library as Tavrin
// starts (on_start), which watches Tavrin's form and message boxes; it fills in the request and
// sends kProbeMessage to one of them, which answers and sets `done`. It lives in a section of
// the library that every process loading it shares.
#pragma once

#include <windows.h>

namespace e2e {

inline constexpr wchar_t kProbeMessage[] = L"TavrinE2eProbe";

struct Probe {
    // What Windows does and Wine cannot, staged by on_start for a Tavrin from its start; the
    // driver keeps it across requests.
    struct {
        bool refuse_second_control;  // as when the system runs out of window handles
        int frame_error;             // pixels more each way in the form's size as Windows makes it
        bool high_contrast;          // what SPI_GETHIGHCONTRAST answers
        HWND named;  // given kResultName through IAccPropServices::SetHwndPropStr, for readers
    } staged;
    struct {
        HWND form, text_box;
        HWND box_icon;               // a message box's icon control, if any,
        const wchar_t* system_icon;  // and the system icon (IDI_...) it must show
        int new_dpi;                 // if not 0: first moved to a monitor of this dpi
        int layout_dpi;              // the dpi the icons must be sized for
    } request;
    LONG done{};
    RECT suggested{};       // by the move, for the window to take
    int dpi{};              // LOGPIXELSY
    LOGFONTW font{};        // the text box's
    bool icon_is_own[2]{};  // the form's large and small icon: the exe's icon 1 at the layout dpi
    bool box_shows_system_icon{};
    LOGFONTW tip_font{};
    bool moved_while_hidden{};  // the form, by the move (WM_SETREDRAW clears WS_VISIBLE)
};

}  // namespace e2e
