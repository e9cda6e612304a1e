// The forms run time over Win32: builds a form from its description, runs the event loop on
// the one thread, dispatches clicks, shows message boxes and the top-level error report.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/automation_win.h"
#include "platform/events.h"
#include "platform/forms.h"
#include "platform/handles_win.h"
#include "platform/startup_win.h"
#include "platform/text_win.h"

namespace platform {

namespace {

constexpr wchar_t kFormClass[] = L"TavrinForm";

[[noreturn]] void raise_last_error() {
    const DWORD error = GetLastError();
    raise(error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL);
}

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

// What Windows 8.1 and 10 have for laying a window out at the DPI of its monitor, found when
// the program starts; each null where this Windows lacks it.
struct DpiFunctions {
    HRESULT(WINAPI* dpi_for_monitor)(HMONITOR, int, UINT*, UINT*);  // 8.1, in shcore
    BOOL(WINAPI* adjust_for_dpi)(RECT*, DWORD, BOOL, DWORD, UINT);  // 10 (1607) from here on
    int(WINAPI* metrics_for_dpi)(int, UINT);
    BOOL(WINAPI* parameters_for_dpi)(UINT, UINT, void*, UINT, UINT);
};

template <class Pointer>
void find(Pointer& function, HMODULE library, const char* name) {
    function =
        library != nullptr
            ? reinterpret_cast<Pointer>(reinterpret_cast<void*>(GetProcAddress(library, name)))
            : nullptr;
}

const DpiFunctions& dpi_functions() {
    static const DpiFunctions functions = [] {
        DpiFunctions found{};
        find(found.dpi_for_monitor, load_system_library(L"shcore.dll"), "GetDpiForMonitor");
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        find(found.adjust_for_dpi, user32, "AdjustWindowRectExForDpi");
        find(found.metrics_for_dpi, user32, "GetSystemMetricsForDpi");
        find(found.parameters_for_dpi, user32, "SystemParametersInfoForDpi");
        return found;
    }();
    return functions;
}

// The DPI of the whole system: what Windows before 8.1 lays every window out at.
int system_dpi() {
    const WindowDc screen(nullptr);
    const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

// The DPI of a monitor, where Windows tells it.
int monitor_dpi(HMONITOR monitor) {
    UINT x = 0;
    UINT y = 0;
    const auto function = dpi_functions().dpi_for_monitor;
    if (function != nullptr && SUCCEEDED(function(monitor, 0 /* effective */, &x, &y)) && y > 0) {
        return static_cast<int>(y);
    }
    return system_dpi();
}

int metric_for_dpi(int metric, int dpi) {
    const auto function = dpi_functions().metrics_for_dpi;
    return function != nullptr ? function(metric, static_cast<UINT>(dpi))
                               : MulDiv(GetSystemMetrics(metric), dpi, system_dpi());
}

// The outer size of a window of this style whose client area is `client` at `dpi`.
SIZE window_size(SIZE client, DWORD style, DWORD ex_style, int dpi) {
    RECT frame{0, 0, client.cx, client.cy};
    const auto function = dpi_functions().adjust_for_dpi;
    if (function == nullptr || !function(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi))) {
        AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    }
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// One of the fonts the platform uses at `dpi`: dialog text (lfMessageFont) for controls that
// name none, status text (lfStatusFont) for tool tips.
unique_hfont system_font(int dpi, LOGFONTW NONCLIENTMETRICSW::*which) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    const auto function = dpi_functions().parameters_for_dpi;
    if (function != nullptr &&
        function(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
        return unique_hfont(CreateFontIndirectW(&(metrics.*which)));
    }
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        (metrics.*which).lfHeight = MulDiv((metrics.*which).lfHeight, dpi, system_dpi());
        return unique_hfont(CreateFontIndirectW(&(metrics.*which)));
    }
    return unique_hfont(nullptr);  // the control's own default then
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

unique_hfont create_font(const Font& font, int dpi) {
    LOGFONTW log{};
    log.lfHeight = font_height_pixels(font.tenths_of_points, dpi);
    log.lfWeight = font.weight;
    log.lfItalic = font.italic;
    log.lfUnderline = font.underline;
    log.lfStrikeOut = font.strikeout;
    log.lfCharSet = static_cast<BYTE>(font.charset);
    log.lfOutPrecision = OUT_DEFAULT_PRECIS;
    log.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    log.lfQuality = DEFAULT_QUALITY;
    log.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    // Where the face is missing, the font mapper picks one for the character set.
    const std::wstring face = wide(font.face.substr(0, LF_FACESIZE - 1));
    std::copy(face.begin(), face.end(), log.lfFaceName);
    return unique_hfont(CreateFontIndirectW(&log));
}

struct ControlClass {
    const wchar_t* window_class;
    DWORD style;
    DWORD ex_style;
};

ControlClass control_class(const Control& control) {
    switch (control.kind) {
        case ControlKind::CommandButton:
            return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
        case ControlKind::TextBox:
            // No horizontal scrolling: lines wrap at the box's width. No scroll bars: the
            // caret scrolls the text.
            return {WC_EDITW,
                    static_cast<DWORD>(
                        WS_TABSTOP | ES_LEFT | ES_AUTOVSCROLL |
                        (control.multi_line ? ES_MULTILINE | ES_WANTRETURN : ES_AUTOHSCROLL)),
                    WS_EX_CLIENTEDGE};
    }
    return {WC_STATICW, 0, 0};
}

// A control as it lives on the screen.
struct LiveControl {
    const Control* description;
    HWND window;
    unique_hbrush back_brush;
    unique_hfont font;  // its own, when its description names one
};

class WinForm final : public Form, public Runtime {
  public:
    explicit WinForm(const ProjectHeader& header)
        : header_(header), description_(*header.startup_form) {}

    WinForm(const WinForm&) = delete;
    WinForm& operator=(const WinForm&) = delete;

    // Destroys the window if creation stopped half-way; after that, WM_DESTROY has run.
    ~WinForm() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }

    // Builds the window and its controls and shows it; raises an error when it cannot.
    void create() {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = &WinForm::window_procedure;
        window_class.hInstance = instance;
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window_class.lpszClassName = kFormClass;
        if (RegisterClassExW(&window_class) == 0) {
            raise_last_error();
        }

        // Laid out at the DPI of the monitor it opens on, centred on it: the primary one.
        const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        dpi_ = monitor_dpi(primary);
        const SIZE size = window_size(client_size(dpi_), style(), kExStyle, dpi_);
        const std::wstring caption = wide(description_.caption);
        if (CreateWindowExW(kExStyle, kFormClass, caption.c_str(), style(), 0, 0, size.cx, size.cy,
                            nullptr, nullptr, instance, this) == nullptr) {
            raise_last_error();
        }
        fit_client_area();
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(primary, &monitor);
        const RECT& screen = monitor.rcMonitor;
        RECT frame{};
        GetWindowRect(window_, &frame);
        SetWindowPos(window_, nullptr,
                     screen.left + (screen.right - screen.left - (frame.right - frame.left)) / 2,
                     screen.top + (screen.bottom - screen.top - (frame.bottom - frame.top)) / 2, 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        // Creation order is tab order.
        for (const Control* control : in_tab_order(description_)) {
            create_control(*control, instance);
        }
        set_fonts_and_icons();
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        focus_first_control();
    }

    // Runs the event loop until the form is gone; returns the exit status.
    int run_loop() {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (handle_keyboard(message) || IsDialogMessageW(window_, &message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return exit_status_;
    }

    // Form
    void set_text(ControlId control, TextView text) override {
        const HWND window = control_window(control);
        if (window == nullptr) {
            raise(codes::kInvalidArgument);
        }
        SetLastError(0);
        if (!SetWindowTextW(window, wide(text).c_str())) {
            raise_last_error();
        }
    }

    // Runtime
    Object get_object(TextView moniker) override { return com_get_object(moniker); }
    Object create_object(TextView class_name) override { return com_create_object(class_name); }
    void message_box(TextView prompt, int style, TextView title) override {
        MessageBoxW(window_, wide(prompt).c_str(), wide(title).c_str(),
                    static_cast<UINT>(style) | MB_SETFOREGROUND);
    }

  private:
    // A fixed single border with the close button only, and the buttons asked for.
    static constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
    DWORD style() const {
        return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN |
               (description_.min_button ? WS_MINIMIZEBOX : 0) |
               (description_.max_button ? WS_MAXIMIZEBOX : 0);
    }
    int to_pixels(int twips) const { return twips_to_pixels(twips, dpi_); }
    SIZE client_size(int dpi) const {
        return SIZE{twips_to_pixels(description_.client_width, dpi),
                    twips_to_pixels(description_.client_height, dpi)};
    }

    // Makes the fonts and the icons for the current DPI and gives them to the windows; the
    // ones they replace go after that.
    void set_fonts_and_icons() {
        unique_hfont replaced_default =
            std::exchange(default_font_, system_font(dpi_, &NONCLIENTMETRICSW::lfMessageFont));
        unique_hfont replaced_tip_font =
            std::exchange(tip_font_, system_font(dpi_, &NONCLIENTMETRICSW::lfStatusFont));
        if (tool_tips_ != nullptr) {
            SendMessageW(tool_tips_, WM_SETFONT, reinterpret_cast<WPARAM>(tip_font_.get()), FALSE);
        }
        for (LiveControl& control : controls_) {
            unique_hfont replaced = std::move(control.font);
            if (control.description->font != nullptr) {
                control.font = create_font(*control.description->font, dpi_);
            }
            const HFONT font = control.font ? control.font.get() : default_font_.get();
            SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        for (const auto& [kind, metric, icon] :
             {std::tuple(ICON_BIG, SM_CXICON, &big_icon_),
              std::tuple(ICON_SMALL, SM_CXSMICON, &small_icon_)}) {
            const int size = metric_for_dpi(metric, dpi_);
            unique_hicon replaced = std::exchange(
                *icon,
                unique_hicon(static_cast<HICON>(LoadImageW(
                    instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR))));
            SendMessageW(window_, WM_SETICON, kind, reinterpret_cast<LPARAM>(icon->get()));
        }
    }

    // Makes the client area the table's size at the current DPI, keeping the window's corner,
    // where the frame Windows gave the window is not the one asked for: Windows 8.1 and 10
    // before 1703 (per-monitor v1) do not scale the frame on a monitor whose DPI is not the
    // system's.
    void fit_client_area() {
        RECT client{};
        RECT frame{};
        GetClientRect(window_, &client);
        GetWindowRect(window_, &frame);
        const SIZE wanted = client_size(dpi_);
        if (client.right != wanted.cx || client.bottom != wanted.cy) {
            SetWindowPos(window_, nullptr, 0, 0,
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
        SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        fit_client_area();
        for (const LiveControl& control : controls_) {
            const Rect& r = control.description->twips;
            SetWindowPos(control.window, nullptr, to_pixels(r.left), to_pixels(r.top),
                         to_pixels(r.width), to_pixels(r.height), SWP_NOZORDER | SWP_NOACTIVATE);
        }
        set_fonts_and_icons();
        RedrawWindow(window_, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

    void create_control(const Control& control, HINSTANCE instance) {
        const ControlClass kind = control_class(control);
        const std::wstring caption = wide(control.caption);
        const HWND window = CreateWindowExW(
            kind.ex_style, kind.window_class, caption.c_str(), WS_CHILD | WS_VISIBLE | kind.style,
            to_pixels(control.twips.left), to_pixels(control.twips.top),
            to_pixels(control.twips.width), to_pixels(control.twips.height), window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
        if (window == nullptr) {
            raise_last_error();
        }
        LiveControl& live = controls_.emplace_back(LiveControl{&control, window, nullptr, nullptr});
        if (control.back_colour) {
            live.back_brush.reset(CreateSolidBrush(*control.back_colour));
        }
        if (control.kind == ControlKind::TextBox) {
            SendMessageW(window, EM_SETLIMITTEXT, 0, 0);  // no limit of its own
        }
        if (!control.tool_tip.empty()) {
            add_tool_tip(window, control.tool_tip, instance);
        }
        if (!control.accessible_name.empty()) {
            set_accessible_name(window, control.accessible_name);
        }
    }

    void add_tool_tip(HWND control, TextView text, HINSTANCE instance) {
        if (tool_tips_ == nullptr) {
            tool_tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                         WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                                         nullptr, instance, nullptr);
            if (tool_tips_ == nullptr) {
                return;  // a missing tool tip is no reason to stop the program
            }
        }
        std::wstring tip = wide(text);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = tip.data();
        SendMessageW(tool_tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    void focus_first_control() {
        if (!controls_.empty()) {
            SetFocus(controls_.front().window);
        }
    }

    HWND control_window(ControlId id) const {
        for (const LiveControl& control : controls_) {
            if (control.description->id == id) {
                return control.window;
            }
        }
        return nullptr;
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
        if (message.message != WM_KEYDOWN || !IsChild(window_, message.hwnd)) {
            return false;
        }
        const bool control_key = GetKeyState(VK_CONTROL) < 0;
        const bool alt_key = GetKeyState(VK_MENU) < 0;
        if (alt_key) {
            return false;
        }
        const LiveControl* control = live_control(message.hwnd);
        if (message.wParam == VK_TAB && !control_key) {
            const bool backwards = GetKeyState(VK_SHIFT) < 0;
            if (const HWND next = GetNextDlgTabItem(window_, message.hwnd, backwards)) {
                SetFocus(next);  // WM_NEXTDLGCTL is for dialogs: DefWindowProc ignores it
            }
            return true;
        }
        if (message.wParam == VK_ESCAPE) {
            return true;
        }
        if (control == nullptr) {
            return false;
        }
        if (message.wParam == VK_RETURN &&
            control->description->kind == ControlKind::CommandButton) {
            SendMessageW(message.hwnd, BM_CLICK, 0, 0);
            return true;
        }
        if (message.wParam == 'A' && control_key &&
            control->description->kind == ControlKind::TextBox) {
            SendMessageW(message.hwnd, EM_SETSEL, 0, -1);
            return true;
        }
        return false;
    }

    void on_click(ControlId id) {
        if (const std::optional<Error> error = clicks_.click(id, *this, *this)) {
            report_error(*error);
        }
    }

    // The top-level error report: the error's number and description, then the end.
    void report_error(const Error& error) {
        exit_status_ = 1;
        MessageBoxW(window_, wide(error_report_text(error)).c_str(),
                    wide(header_.project_name).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
        DestroyWindow(window_);
    }

    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
            case WM_COMMAND:
                if (HIWORD(wparam) == BN_CLICKED && lparam != 0) {
                    on_click(LOWORD(wparam));
                }
                return 0;
            case WM_CTLCOLOREDIT: {
                // In high contrast, the system's colours for edits: COLOR_WINDOW behind
                // COLOR_WINDOWTEXT.
                const LiveControl* control = live_control(reinterpret_cast<HWND>(lparam));
                if (control != nullptr && control->back_brush && !high_contrast()) {
                    const HDC dc = reinterpret_cast<HDC>(wparam);
                    SetBkColor(dc, *control->description->back_colour);
                    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
                    return reinterpret_cast<LRESULT>(control->back_brush.get());
                }
                break;
            }
            case WM_SYSCOLORCHANGE:  // the common controls hear of it from their parent only
                for (const LiveControl& control : controls_) {
                    SendMessageW(control.window, message, wparam, lparam);
                }
                [[fallthrough]];
            case WM_SETTINGCHANGE:  // high contrast on or off among others: painted again at once
                RedrawWindow(window_, nullptr, nullptr,
                             RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
                break;
            case WM_ACTIVATE:
                // Like a dialog: the focus leaves with the window and comes back to where it was.
                if (LOWORD(wparam) == WA_INACTIVE) {
                    const HWND focus = GetFocus();
                    if (focus != nullptr && IsChild(window_, focus)) {
                        last_focus_ = focus;
                    }
                } else if (last_focus_ != nullptr && IsWindow(last_focus_)) {
                    SetFocus(last_focus_);
                    return 0;
                }
                break;
            case WM_GETDPISCALEDSIZE: {
                // The size at the new DPI, so that Windows suggests exactly it.
                *reinterpret_cast<SIZE*>(lparam) =
                    window_size(client_size(LOWORD(wparam)), style(), kExStyle, LOWORD(wparam));
                return TRUE;
            }
            case WM_DPICHANGED:
                change_dpi(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
                return 0;
            case WM_DESTROY:
                window_ = nullptr;
                PostQuitMessage(exit_status_);
                return 0;
            default:
                break;
        }
        return DefWindowProcW(window_, message, wparam, lparam);
    }

    static LRESULT CALLBACK window_procedure(HWND window,
                                             UINT message,
                                             WPARAM wparam,
                                             LPARAM lparam) {
        if (message == WM_NCCREATE) {
            auto* self =
                static_cast<WinForm*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<WinForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr || self->window_ != window) {
            return DefWindowProcW(window, message, wparam, lparam);
        }
        return self->handle(message, wparam, lparam);
    }

    const ProjectHeader& header_;
    const FormDescription& description_;
    HWND window_ = nullptr;
    HWND tool_tips_ = nullptr;  // owned by the form: goes with it
    HWND last_focus_ = nullptr;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    unique_hfont default_font_;
    unique_hfont tip_font_;
    unique_hicon big_icon_;
    unique_hicon small_icon_;
    std::vector<LiveControl> controls_;
    ClickDispatcher clicks_{description_};
    int exit_status_ = 0;
};

void report_startup_error(const ProjectHeader& header, const Error& error) {
    MessageBoxW(nullptr, wide(error_report_text(error)).c_str(), wide(header.project_name).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace

int run(const ProjectHeader& header) {
    try {
        const ComApartment apartment;
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WinForm form(header);
        form.create();
        return form.run_loop();
    } catch (...) {
        // A window that was made and destroyed again has left a quit message behind, which
        // would end the report's own message loop at once.
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        report_startup_error(header, current_error());
    }
    return 1;
}

}  // namespace platform
