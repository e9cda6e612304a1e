// The forms run time over Win32: builds a form from its description at its monitor's DPI,
// shows message boxes and runs the event loop on the one thread.
#include "platform/win32.h"

#include <commctrl.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <tuple>
#include <utility>
#include <vector>

#include "platform/forms.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

namespace platform {

namespace {

using unique_hfont = Owner<HFONT, DeleteObject>;
using unique_hbrush = Owner<HBRUSH, DeleteObject>;
using unique_hicon = Owner<HICON, DestroyIcon>;
using unique_screen_dc = Owner<HDC, [](HDC dc) { ReleaseDC(nullptr, dc); }>;

constexpr wchar_t kFormClass[] = L"TavrinForm";

[[noreturn]] void raise_last_error() {
    const DWORD error = GetLastError();
    raise(error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL);
}

// The DPI of the whole system: what Windows before 8.1 lays every window out at.
int system_dpi() {
    const unique_screen_dc screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

// What Windows 8.1 and 10 have for laying a window out at the DPI of its monitor is found when
// first needed; where this Windows lacks it, the system DPI serves.

int monitor_dpi(HMONITOR monitor) {
    static const auto function = system_function<HRESULT WINAPI(HMONITOR, int, UINT*, UINT*)>(
        L"shcore.dll", "GetDpiForMonitor");  // 8.1
    UINT x = 0;
    UINT y = 0;
    if (function != nullptr && SUCCEEDED(function(monitor, 0 /* effective */, &x, &y)) && y > 0) {
        return static_cast<int>(y);
    }
    return system_dpi();
}

int metric_for_dpi(int metric, int dpi) {
    static const auto function =
        system_function<int WINAPI(int, UINT)>(L"user32.dll", "GetSystemMetricsForDpi");  // 10
    return function != nullptr ? function(metric, static_cast<UINT>(dpi))
                               : MulDiv(GetSystemMetrics(metric), dpi, system_dpi());
}

// The outer size of a window of this style whose client area is `client` at `dpi`.
SIZE window_size(SIZE client, DWORD style, DWORD ex_style, int dpi) {
    static const auto function = system_function<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>(
        L"user32.dll", "AdjustWindowRectExForDpi");  // 10
    RECT frame{0, 0, client.cx, client.cy};
    if (function == nullptr || !function(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi))) {
        AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    }
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// One of the fonts the platform uses at `dpi`: dialog text (lfMessageFont) for controls that
// name none, status text (lfStatusFont) for tool tips.
LOGFONTW system_font(int dpi, LOGFONTW NONCLIENTMETRICSW::*which) {
    static const auto function = system_function<BOOL WINAPI(UINT, UINT, void*, UINT, UINT)>(
        L"user32.dll", "SystemParametersInfoForDpi");  // 10
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (function == nullptr ||
        !function(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        (metrics.*which).lfHeight = MulDiv((metrics.*which).lfHeight, dpi, system_dpi());
    }
    return metrics.*which;
}

// Whether the user has a high-contrast scheme on: then the scheme's colours are the only ones
// to use, whatever a control's own colour.
bool high_contrast() {
    HIGHCONTRASTW setting{sizeof setting, 0, nullptr};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// Gives a control the name a screen reader announces, through the system's annotation service
// (oleacc, which COM loads from the system directory). Without it a reader says only what kind
// of control it is, which is no reason to stop the program.
void set_accessible_name(HWND control, TextView name) {
    Microsoft::WRL::ComPtr<IAccPropServices> services;
    if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IAccPropServices, &services))) {
        services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                 PROPID_ACC_NAME, wide(name).c_str());
    }
}

// A font of the description at `dpi`; where its face is missing, the font mapper picks one
// for its character set.
LOGFONTW font_of(const Font& font, int dpi) {
    LOGFONTW log{};
    log.lfHeight = font_height_pixels(font.tenths_of_points, dpi);
    log.lfWeight = font.weight;
    log.lfCharSet = static_cast<BYTE>(font.charset);
    font.face.substr(0, LF_FACESIZE - 1)
        .copy(reinterpret_cast<char16_t*>(log.lfFaceName), LF_FACESIZE - 1);
    return log;
}

// A control as it lives on the screen; the form keeps them in the order of its description.
struct LiveControl {
    const Control* description;
    HWND window;
    unique_hbrush back_brush;
    unique_hfont font;
};

class WinForm final : public Form {
  public:
    // Builds the window and its controls and shows it; raises an error when it cannot.
    WinForm(const ProjectHeader& header, ObjectSource objects) : Form(header, std::move(objects)) {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &WinForm::window_procedure;
        window_class.hInstance = instance;
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window_class.lpszClassName = kFormClass;
        if (RegisterClassW(&window_class) == 0) {
            raise_last_error();
        }

        // Laid out at the DPI of the monitor it opens on, centred on it: the primary one.
        const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        dpi_ = monitor_dpi(primary);
        const SIZE size = window_size(client_size(dpi_), style(), kExStyle, dpi_);
        if (CreateWindowExW(kExStyle, kFormClass, wide(description().caption).c_str(), style(), 0,
                            0, size.cx, size.cy, nullptr, nullptr, instance, this) == nullptr) {
            raise_last_error();
        }
        fit_client_area();
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(primary, &monitor);
        const RECT& screen = monitor.rcMonitor;
        RECT frame{};
        GetWindowRect(window_.get(), &frame);
        SetWindowPos(window_.get(), nullptr,
                     screen.left + (screen.right - screen.left - (frame.right - frame.left)) / 2,
                     screen.top + (screen.bottom - screen.top - (frame.bottom - frame.top)) / 2, 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        // The tool tips, which the form's window owns; a missing one is no reason to stop.
        tool_tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_.get(),
                                     nullptr, instance, nullptr);
        for (const Control& control : description().controls) {
            create_control(control, instance);
        }
        set_fonts_and_icons();
        ShowWindow(window_.get(), SW_SHOWNORMAL);
        UpdateWindow(window_.get());
        SetFocus(controls_.front().window);
    }

    // Runs the event loop until the form is gone; returns the exit status.
    int run_loop() {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (handle_keyboard(message) || IsDialogMessageW(window_.get(), &message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return exit_status();
    }

    void message_box(TextView prompt, int style, TextView title) override {
        MessageBoxW(window_.get(), wide(prompt).c_str(), wide(title).c_str(),
                    static_cast<UINT>(style) | MB_SETFOREGROUND);
    }

  private:
    void set_control_text(const Control& control, TextView text) override {
        SetLastError(0);
        const HWND window = controls_[&control - description().controls.data()].window;
        if (!SetWindowTextW(window, wide(text).c_str())) {
            raise_last_error();
        }
    }

    void unload() override { DestroyWindow(window_.get()); }

    // A fixed single border with the close button only, and the buttons asked for.
    static constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
    DWORD style() const {
        return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN |
               (description().min_button ? WS_MINIMIZEBOX : 0) |
               (description().max_button ? WS_MAXIMIZEBOX : 0);
    }
    int to_pixels(int twips) const { return twips_to_pixels(twips, dpi_); }
    SIZE client_size(int dpi) const {
        return SIZE{twips_to_pixels(description().client_width, dpi),
                    twips_to_pixels(description().client_height, dpi)};
    }

    // Makes the fonts and the icons for the current DPI and gives them to the windows; the
    // ones they replace go after that. A font that cannot be made leaves its control the
    // default one, an icon that cannot be loaded leaves none: the window works all the same.
    void set_fonts_and_icons() {
        unique_hfont replaced_default = std::exchange(
            default_font_, font(system_font(dpi_, &NONCLIENTMETRICSW::lfMessageFont)));
        unique_hfont replaced_tip_font =
            std::exchange(tip_font_, font(system_font(dpi_, &NONCLIENTMETRICSW::lfStatusFont)));
        SendMessageW(tool_tips_, WM_SETFONT, reinterpret_cast<WPARAM>(tip_font_.get()), FALSE);
        for (LiveControl& control : controls_) {
            unique_hfont replaced = std::move(control.font);
            if (control.description->font != nullptr) {
                control.font = font(font_of(*control.description->font, dpi_));
            }
            const HFONT font = control.font ? control.font.get() : default_font_.get();
            SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        for (auto [kind, metric, icon] : {std::tuple(ICON_BIG, SM_CXICON, &big_icon_),
                                          std::tuple(ICON_SMALL, SM_CXSMICON, &small_icon_)}) {
            const int size = metric_for_dpi(metric, dpi_);
            unique_hicon replaced = std::exchange(
                *icon,
                unique_hicon(static_cast<HICON>(LoadImageW(
                    GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0))));
            SendMessageW(window_.get(), WM_SETICON, kind, reinterpret_cast<LPARAM>(icon->get()));
        }
    }

    static unique_hfont font(const LOGFONTW& log) {
        return unique_hfont(CreateFontIndirectW(&log));
    }

    // Makes the client area the table's size at the current DPI, keeping the window's corner,
    // where the frame Windows gave the window is not the one asked for: Windows 8.1 and 10
    // before 1703 (per-monitor v1) do not scale the frame on a monitor whose DPI is not the
    // system's.
    void fit_client_area() {
        RECT client{};
        RECT frame{};
        GetClientRect(window_.get(), &client);
        GetWindowRect(window_.get(), &frame);
        const SIZE wanted = client_size(dpi_);
        if (client.right != wanted.cx || client.bottom != wanted.cy) {
            SetWindowPos(window_.get(), nullptr, 0, 0,
                         frame.right - frame.left + wanted.cx - client.right,
                         frame.bottom - frame.top + wanted.cy - client.bottom,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        }
    }

    // Lays the window out again at a new DPI from the same table, then draws it all once: the
    // window at the rectangle Windows suggests, its client area the table's size at the new
    // DPI, the controls, their fonts and the icons.
    void change_dpi(int dpi, const RECT& suggested) {
        dpi_ = dpi;
        SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        fit_client_area();
        for (const LiveControl& control : controls_) {
            const Rect& r = control.description->twips;
            SetWindowPos(control.window, nullptr, to_pixels(r.left), to_pixels(r.top),
                         to_pixels(r.width), to_pixels(r.height), SWP_NOZORDER | SWP_NOACTIVATE);
        }
        set_fonts_and_icons();
        RedrawWindow(window_.get(), nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

    void create_control(const Control& control, HINSTANCE instance) {
        // A text box: no horizontal scrolling, so lines wrap at its width; no scroll bars, the
        // caret scrolls the text.
        const bool button = control.kind == ControlKind::CommandButton;
        const HWND window = CreateWindowExW(
            button ? 0 : WS_EX_CLIENTEDGE, button ? WC_BUTTONW : WC_EDITW,
            wide(control.caption).c_str(),
            WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                (button ? BS_PUSHBUTTON : ES_LEFT | ES_AUTOVSCROLL | ES_MULTILINE | ES_WANTRETURN),
            to_pixels(control.twips.left), to_pixels(control.twips.top),
            to_pixels(control.twips.width), to_pixels(control.twips.height), window_.get(),
            reinterpret_cast<HMENU>(controls_.size() + 1), instance, nullptr);
        if (window == nullptr) {
            raise_last_error();
        }
        LiveControl& live = controls_.emplace_back(LiveControl{&control, window, {}, {}});
        if (control.back_colour) {
            live.back_brush = unique_hbrush(CreateSolidBrush(*control.back_colour));
        }
        if (!button) {
            SendMessageW(window, EM_SETLIMITTEXT, 0, 0);  // no limit of its own
        }
        if (!control.tool_tip.empty()) {
            add_tool_tip(window, control.tool_tip);
        }
        if (!control.accessible_name.empty()) {
            set_accessible_name(window, control.accessible_name);
        }
    }

    void add_tool_tip(HWND control, TextView text) {
        std::wstring tip = wide(text);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_.get();
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = tip.data();
        SendMessageW(tool_tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    const LiveControl* live_control(HWND window) const {
        for (const LiveControl& control : controls_) {
            if (control.window == window) {
                return &control;
            }
        }
        return nullptr;
    }

    // Keys the form handles itself: Tab and Shift+Tab move between the controls (a
    // multi-line text box would otherwise keep them), Esc does nothing (the form has no cancel
    // button, and a multi-line edit that believes it is in a dialog closes its parent on Esc),
    // Enter on a button clicks it, Ctrl+A selects all of a text box.
    bool handle_keyboard(const MSG& message) {
        const LiveControl* control = live_control(message.hwnd);
        if (message.message != WM_KEYDOWN || control == nullptr || GetKeyState(VK_MENU) < 0) {
            return false;
        }
        const bool control_key = GetKeyState(VK_CONTROL) < 0;
        const bool button = control->description->kind == ControlKind::CommandButton;
        if (message.wParam == VK_TAB && !control_key) {
            if (const HWND next =
                    GetNextDlgTabItem(window_.get(), message.hwnd, GetKeyState(VK_SHIFT) < 0)) {
                SetFocus(next);  // WM_NEXTDLGCTL is for dialogs: DefWindowProc ignores it
            }
        } else if (message.wParam == VK_ESCAPE) {
            // swallowed
        } else if (message.wParam == VK_RETURN && button) {
            SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        } else if (message.wParam == 'A' && control_key && !button) {
            SendMessageW(message.hwnd, EM_SETSEL, 0, -1);
        } else {
            return false;
        }
        return true;
    }

    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam) {
        const LiveControl* control = live_control(reinterpret_cast<HWND>(lparam));
        switch (message) {
            case WM_COMMAND:
                if (HIWORD(wparam) == BN_CLICKED && control != nullptr) {
                    click(*control->description);
                }
                return 0;
            case WM_CTLCOLOREDIT:
                // In high contrast, the system's colours for edits: COLOR_WINDOW behind
                // COLOR_WINDOWTEXT.
                if (control != nullptr && control->back_brush && !high_contrast()) {
                    const HDC dc = reinterpret_cast<HDC>(wparam);
                    SetBkColor(dc, *control->description->back_colour);
                    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
                    return reinterpret_cast<LRESULT>(control->back_brush.get());
                }
                break;
            case WM_SYSCOLORCHANGE:  // the common controls hear of it from their parent only
                for (const LiveControl& live : controls_) {
                    SendMessageW(live.window, message, wparam, lparam);
                }
                [[fallthrough]];
            case WM_SETTINGCHANGE:  // high contrast on or off among others: painted again at once
                RedrawWindow(window_.get(), nullptr, nullptr,
                             RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
                break;
            case WM_ACTIVATE:
                // Like a dialog: the focus leaves with the window and comes back to where it was.
                if (LOWORD(wparam) == WA_INACTIVE) {
                    const HWND focus = GetFocus();
                    if (focus != nullptr && IsChild(window_.get(), focus)) {
                        last_focus_ = focus;
                    }
                } else if (last_focus_ != nullptr && IsWindow(last_focus_)) {
                    SetFocus(last_focus_);
                    return 0;
                }
                break;
            case WM_GETDPISCALEDSIZE:
                // The size at the new DPI, so that Windows suggests exactly it.
                *reinterpret_cast<SIZE*>(lparam) =
                    window_size(client_size(LOWORD(wparam)), style(), kExStyle, LOWORD(wparam));
                return TRUE;
            case WM_DPICHANGED:
                change_dpi(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
                return 0;
            case WM_DESTROY:
                window_.release();  // the window is going: the system destroys it
                PostQuitMessage(exit_status());
                return 0;
            default:
                break;
        }
        return DefWindowProcW(window_.get(), message, wparam, lparam);
    }

    static LRESULT CALLBACK window_procedure(HWND window,
                                             UINT message,
                                             WPARAM wparam,
                                             LPARAM lparam) {
        if (message == WM_NCCREATE) {
            auto* self =
                static_cast<WinForm*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
            self->window_ = Owner<HWND, DestroyWindow>(window);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<WinForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr || self->window_.get() != window) {
            return DefWindowProcW(window, message, wparam, lparam);
        }
        return self->handle(message, wparam, lparam);
    }

    HWND tool_tips_ = nullptr;
    HWND last_focus_ = nullptr;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    unique_hfont default_font_;
    unique_hfont tip_font_;
    unique_hicon big_icon_;
    unique_hicon small_icon_;
    std::vector<LiveControl> controls_;
    // The form's window, the first member to go: destroyed with the form if it was not made
    // whole; else it ends when the user closes it or the error report unloads it, and the form
    // learns of that from WM_DESTROY. The windows it owns, its controls and tool tips, go too.
    Owner<HWND, DestroyWindow> window_;
};

}  // namespace

int run(const ProjectHeader& header, const ObjectSource& objects) {
    try {
        const ComApartment apartment;
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WinForm form(header, objects);
        return form.run_loop();
    } catch (...) {
        // A window that was made and destroyed again has left a quit message behind, which
        // would end the report's own message loop at once.
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        MessageBoxW(nullptr, wide(error_report()).c_str(), wide(header.project_name).c_str(),
                    styles::kCritical | MB_SETFOREGROUND);
    }
    return 1;
}

}  // namespace platform
