// The probe library (see probe.h): its hook runs on Tavrin's thread.
#include "probe.h"

#include <vector>

extern "C" {
__declspec(dllexport) e2e::Probe probe __attribute__((section(".shared"), shared)) = {};
}

namespace {

// An icon's colour bitmap's bits: the same icon at the same size, the same bits.
std::vector<char> bits_of(HICON icon) {
    ICONINFO info{};
    BITMAP shape{};
    if (!GetIconInfo(icon, &info) || !GetObjectW(info.hbmColor, sizeof shape, &shape))
        return {};
    std::vector<char> bits(static_cast<std::size_t>(shape.bmWidthBytes) * shape.bmHeight);
    GetBitmapBits(info.hbmColor, static_cast<LONG>(bits.size()), bits.data());
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bits;
}

// What Windows does when the window moves to a monitor of another dpi: asks the window for its
// size there, suggests a rectangle of that size (here about the same centre), tells it.
void change_dpi(HWND form, int dpi, RECT& suggested) {
    SIZE size{};
    SendMessageW(form, 0x02E4 /* WM_GETDPISCALEDSIZE */, dpi, reinterpret_cast<LPARAM>(&size));
    RECT now{};
    GetWindowRect(form, &now);
    suggested = RECT{(now.left + now.right - size.cx) / 2, (now.top + now.bottom - size.cy) / 2,
                     (now.left + now.right + size.cx) / 2, (now.top + now.bottom + size.cy) / 2};
    SendMessageW(form, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
}

void read(e2e::Probe& answer) {
    const HWND form = answer.request.form;
    if (answer.request.new_dpi != 0)
        change_dpi(form, answer.request.new_dpi, answer.suggested);
    const HDC dc = GetDC(answer.request.text_box);
    answer.dpi = GetDeviceCaps(dc, LOGPIXELSY);
    const auto font =
        reinterpret_cast<HFONT>(SendMessageW(answer.request.text_box, WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof answer.font, &answer.font);
    ReleaseDC(answer.request.text_box, dc);

    const int metrics[] = {SM_CXICON, SM_CXSMICON}, kinds[] = {ICON_BIG, ICON_SMALL};
    for (const int i : {0, 1}) {
        const int size =
            MulDiv(GetSystemMetrics(metrics[i]), answer.request.layout_dpi, answer.dpi);
        const auto own = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
        const auto shown = reinterpret_cast<HICON>(SendMessageW(form, WM_GETICON, kinds[i], 0));
        answer.icon_is_own[i] = own != nullptr && bits_of(shown) == bits_of(own);
        DestroyIcon(own);
    }

    // A system icon is loaded once per process: a message box shows the very handle.
    const auto icon =
        reinterpret_cast<HICON>(SendMessageW(answer.request.box_icon, STM_GETICON, 0, 0));
    answer.box_shows_system_icon =
        icon != nullptr && icon == LoadIconW(nullptr, answer.request.system_icon);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    probe_hook(int code, WPARAM removed, LPARAM message) {
    static const UINT probe_message = RegisterWindowMessageW(e2e::kProbeMessage);
    const MSG& posted = *reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removed == PM_REMOVE && posted.message == probe_message) {
        read(probe);  // the driver cleared the answer
        InterlockedExchange(&probe.done, 1);
    }
    return CallNextHookEx(nullptr, code, removed, message);
}

// Hooked (WH_CBT) on a Tavrin started suspended: its form's second control is refused, as when
// the system runs out of window handles, after the window itself exists.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    refuse_second_control(int code, WPARAM window, LPARAM details) {
    static int children = 0;  // in Tavrin's process: only `probe` is shared
    if (code == HCBT_CREATEWND &&
        (reinterpret_cast<CBT_CREATEWNDW*>(details)->lpcs->style & WS_CHILD) != 0 &&
        ++children == 2)
        return 1;
    return CallNextHookEx(nullptr, code, window, details);
}
