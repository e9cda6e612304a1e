// The probe library (see probe.h): its hooks run on Tavrin's thread.
#include "probe.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/win32.h"
#include "resources/strings.h"

extern "C" {
__declspec(dllexport) e2e::Probe probe __attribute__((section(".shared"), shared)) = {};
}

namespace {

// Points Tavrin's imports of `real` at `replacement` (its import table is writable data); the
// library's own imports stay.
template <class Function>
void redirect(Function* real, Function* replacement) {
    auto* const base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    auto** const slots = reinterpret_cast<void**>(base + table.VirtualAddress);
    std::replace(slots, slots + table.Size / sizeof(void*), reinterpret_cast<void*>(real),
                 reinterpret_cast<void*>(replacement));
}

BOOL WINAPI staged_parameters(UINT action, UINT size, void* value, UINT flags) {
    const BOOL answered = SystemParametersInfoW(action, size, value, flags);
    if (answered && action == SPI_GETHIGHCONTRAST)
        static_cast<HIGHCONTRASTW*>(value)->dwFlags =
            probe.staged.high_contrast ? HCF_HIGHCONTRASTON : 0;
    return answered;
}

// The annotation service's SetHwndPropStr, its 8th method, watched on its way through.
void* real_set_text;
HRESULT WINAPI
watch_text(IAccPropServices* self, HWND w, DWORD o, DWORD c, MSAAPROPID p, LPCWSTR t) {
    if (static_cast<LONG>(o) == OBJID_CLIENT && c == CHILDID_SELF &&
        IsEqualGUID(p, PROPID_ACC_NAME) && t == platform::wide(strings::kResultName))
        probe.staged.named = w;
    return reinterpret_cast<decltype(&watch_text)>(real_set_text)(self, w, o, c, p, t);
}

// The service's method table, which all its objects share, its 8th method watched. The service
// made here is kept, so that its library stays.
bool watch_annotations() {
    IAccPropServices* services = nullptr;
    CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                     reinterpret_cast<void**>(&services));
    void** const methods = *reinterpret_cast<void***>(services);
    DWORD access;
    VirtualProtect(&methods[7], sizeof(void*), PAGE_READWRITE, &access);
    real_set_text = std::exchange(methods[7], reinterpret_cast<void*>(&watch_text));
    return true;
}

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
    const HWND tip = FindWindowW(TOOLTIPS_CLASSW, nullptr);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0)), sizeof answer.tip_font,
               &answer.tip_font);

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

// The messages of Tavrin's form and message boxes, first: the probe message is answered, the
// form made frame_error pixels bigger as it is created, a move while hidden noted.
LRESULT CALLBACK
watch(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    static const UINT probe_message = RegisterWindowMessageW(e2e::kProbeMessage);
    if (message == probe_message) {
        read(probe);  // the driver cleared the answer
        probe.done = 1;
    } else if (const auto* made = reinterpret_cast<CREATESTRUCTW*>(lparam); message == WM_CREATE) {
        SetWindowPos(window, nullptr, 0, 0, made->cx + probe.staged.frame_error,
                     made->cy + probe.staged.frame_error,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    probe.moved_while_hidden |= message == WM_WINDOWPOSCHANGING && !IsWindowVisible(window);
    return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace

// Hooked (WH_CBT) on each Tavrin the driver starts, before it runs, until it ends. At its first
// window, the form, its imports are redirected; its form and message boxes are watched; its
// second control is refused if the driver says so, as when handles run out.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    on_start(int code, WPARAM window, LPARAM details) {
    static int children = 0;  // in Tavrin's process: only `probe` is shared
    const auto* made =
        code == HCBT_CREATEWND ? reinterpret_cast<CBT_CREATEWNDW*>(details)->lpcs : nullptr;
    if (made != nullptr && (made->style & WS_CAPTION) == WS_CAPTION) {
        static const bool redirected =
            (redirect(&SystemParametersInfoW, &staged_parameters), watch_annotations());
        SetWindowSubclass(reinterpret_cast<HWND>(window), &watch, 0, redirected);
    } else if (made != nullptr && (made->style & WS_CHILD) && ++children == 2 &&
               probe.staged.refuse_second_control) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, window, details);
}
