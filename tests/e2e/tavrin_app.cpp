#include "tavrin_app.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace e2e {

namespace {

std::wstring& tavrin_path_storage() {
    static std::wstring path;
    return path;
}

struct Closer {
    HANDLE handle;
    ~Closer() {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};

struct WindowsOf {
    DWORD process;
    std::vector<HWND> windows;
};

BOOL CALLBACK collect_top_level(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowsOf*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search.process) {
        search.windows.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> top_level_windows(DWORD process) {
    WindowsOf search{process, {}};
    EnumWindows(&collect_top_level, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

BOOL CALLBACK collect_child(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(parent, &collect_child, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool is_class(HWND window, const wchar_t* name) {
    return lstrcmpiW(class_name(window).c_str(), name) == 0;
}

void send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT key(WORD virtual_key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtual_key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT mouse(DWORD flags, POINT point = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        // 0..65535 over the primary screen; rounded so that the way back lands on the pixel.
        const int width = GetSystemMetrics(SM_CXSCREEN);
        const int height = GetSystemMetrics(SM_CYSCREEN);
        input.mi.dx = static_cast<LONG>((point.x * 65536LL + width / 2) / width);
        input.mi.dy = static_cast<LONG>((point.y * 65536LL + height / 2) / height);
    }
    return input;
}

// A 32-bit top-down bitmap of a size, with a memory DC to draw on it.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        if (bitmap_ != nullptr) {
            previous_ = SelectObject(dc_, bitmap_);
        }
    }
    ~Canvas() {
        if (previous_ != nullptr) {
            SelectObject(dc_, previous_);
        }
        if (bitmap_ != nullptr) {
            DeleteObject(bitmap_);
        }
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool valid() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }
    DWORD pixel(int x, int y) const {
        GdiFlush();
        return bits_[y * width_ + x] & 0x00FFFFFF;
    }
    void fill(DWORD colour) {
        GdiFlush();
        std::fill(bits_, bits_ + width_ * height_, colour);
    }

  private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    DWORD* bits_ = nullptr;
};

}  // namespace

void set_tavrin_path(std::wstring path) {
    tavrin_path_storage() = std::move(path);
}

const std::wstring& tavrin_path() {
    return tavrin_path_storage();
}

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(20);
    }
}

std::string utf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring environment_value(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring class_name(HWND window) {
    wchar_t name[256];
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? length : 0);
}

std::size_t text_length(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kWaitMs, &length);
    return length;
}

std::wstring text_of(HWND window) {
    const std::size_t length = text_length(window);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kWaitMs, &copied)) {
        return {};
    }
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

DWORD style_of(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

DWORD ex_style_of(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
}

RECT rect_in_client_of(HWND child, HWND parent) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE client_size(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

POINT screen_point(HWND window, POINT client) {
    ClientToScreen(window, &client);
    return client;
}

POINT centre_on_screen(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

COLORREF screen_pixel(POINT point) {
    const HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

bool is_visible_top_level(HWND window) {
    return IsWindowVisible(window) && GetAncestor(window, GA_ROOT) == window;
}

int icon_mismatch(HWND icon_control, const wchar_t* system_icon) {
    RECT rect{};
    GetWindowRect(icon_control, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const HICON icon = LoadIconW(nullptr, system_icon);
    Canvas shown(width, height);
    Canvas expected(width, height);
    if (width <= 0 || height <= 0 || icon == nullptr || !shown.valid() || !expected.valid()) {
        return width * height + 1;
    }
    const HDC screen = GetDC(nullptr);
    BitBlt(shown.dc(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    // The icon's corners are transparent: whatever is behind them is the background.
    expected.fill(shown.pixel(0, 0));
    DrawIconEx(expected.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    int differing = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            differing += shown.pixel(x, y) != expected.pixel(x, y);
        }
    }
    return differing;
}

void move_mouse(POINT point) {
    send({mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, point)});
}

void click(POINT point) {
    send({mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, point), mouse(MOUSEEVENTF_LEFTDOWN),
          mouse(MOUSEEVENTF_LEFTUP)});
}

void click_centre(HWND window) {
    click(centre_on_screen(window));
}

void park_mouse() {
    move_mouse(POINT{GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1});
}

void press(WORD virtual_key) {
    send({key(virtual_key, false), key(virtual_key, true)});
}

void press_with(WORD modifier, WORD virtual_key) {
    send({key(modifier, false), key(virtual_key, false), key(virtual_key, true),
          key(modifier, true)});
}

void type(std::wstring_view text) {
    std::vector<INPUT> inputs;
    for (const wchar_t c : text) {
        for (const bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    send(std::move(inputs));
}

std::unique_ptr<Tavrin> Tavrin::start(const LaunchOptions& options, std::wstring* error) {
    std::unique_ptr<Tavrin> app(new Tavrin());
    std::wstring command_line = L"\"" + tavrin_path() + L"\"";
    if (!options.arguments.empty()) {
        command_line += L" " + options.arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &app->process_)) {
        *error = L"cannot start " + command_line + L": error " + std::to_wstring(GetLastError());
        return nullptr;
    }
    WaitForInputIdle(app->process_.hProcess, kWaitMs);
    if (!wait_until([&] { return app->find_windows() || !app->running(); })) {
        *error = L"Tavrin's window did not appear";
        return nullptr;
    }
    if (app->form_ == nullptr) {
        DWORD status = 0;
        GetExitCodeProcess(app->process_.hProcess, &status);
        *error = L"Tavrin ended at start-up with status " + std::to_wstring(status);
        return nullptr;
    }
    return app;
}

Tavrin::~Tavrin() {
    if (process_.hProcess == nullptr) {
        return;
    }
    if (!keep_running_ && running()) {
        TerminateProcess(process_.hProcess, 255);
        WaitForSingleObject(process_.hProcess, kWaitMs);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool Tavrin::find_windows() {
    for (const HWND window : top_level_windows(process_.dwProcessId)) {
        if (!is_visible_top_level(window) || is_class(window, L"#32770")) {
            continue;
        }
        HWND button = nullptr;
        HWND text_box = nullptr;
        for (const HWND child : children(window)) {
            if (button == nullptr && is_class(child, WC_BUTTONW)) {
                button = child;
            } else if (text_box == nullptr && is_class(child, WC_EDITW)) {
                text_box = child;
            }
        }
        if (button != nullptr && text_box != nullptr) {
            form_ = window;
            button_ = button;
            text_box_ = text_box;
            return true;
        }
    }
    return false;
}

std::vector<HWND> Tavrin::visible_windows() const {
    std::vector<HWND> visible;
    for (const HWND window : top_level_windows(process_.dwProcessId)) {
        if (is_visible_top_level(window)) {
            visible.push_back(window);
        }
    }
    return visible;
}

HWND Tavrin::tool_tips() const {
    for (const HWND window : top_level_windows(process_.dwProcessId)) {
        if (is_class(window, TOOLTIPS_CLASSW) && GetWindow(window, GW_OWNER) == form_) {
            return window;
        }
    }
    return nullptr;
}

HWND Tavrin::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(process_.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

bool Tavrin::bring_to_front() const {
    const HWND front = message_box() != nullptr ? message_box() : form_;
    SetForegroundWindow(front);
    return wait_until([&] { return GetForegroundWindow() == front; });
}

HWND Tavrin::message_box() const {
    for (const HWND window : top_level_windows(process_.dwProcessId)) {
        if (is_class(window, L"#32770") && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

HWND Tavrin::wait_for_message_box() const {
    HWND found = nullptr;
    wait_until([&] { return (found = message_box()) != nullptr || !running(); });
    return found;
}

MessageBoxView Tavrin::read_message_box(HWND window) {
    MessageBoxView view;
    view.window = window;
    view.owner = GetWindow(window, GW_OWNER);
    view.title = text_of(window);
    for (const HWND child : children(window)) {
        if (!IsWindowVisible(child)) {
            continue;
        }
        if (is_class(child, WC_STATICW)) {
            if ((style_of(child) & SS_TYPEMASK) == SS_ICON) {
                view.icon = child;
            } else if (const std::wstring text = text_of(child); !text.empty()) {
                view.prompt += text;
            }
        } else if (is_class(child, WC_BUTTONW)) {
            view.buttons.push_back(child);
        }
    }
    return view;
}

bool Tavrin::running() const {
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Tavrin::wait_for_exit(DWORD timeout_ms) const {
    if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return status;
}

std::optional<ProbeAnswer> Tavrin::probe() const {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring library(path, length);
    library = library.substr(0, library.find_last_of(L"\\/") + 1) + kProbeLibrary;
    const HMODULE module = LoadLibraryW(library.c_str());
    if (module == nullptr) {
        return std::nullopt;
    }
    const auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(module, kProbeHookExport)));
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    const Closer mapping{CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(ProbeBlock), (kProbeBlockPrefix + id).c_str())};
    const Closer done{CreateEventW(nullptr, TRUE, FALSE, (kProbeDonePrefix + id).c_str())};
    std::optional<ProbeAnswer> answer;
    if (hook != nullptr && mapping.handle != nullptr && done.handle != nullptr) {
        auto* block = static_cast<ProbeBlock*>(
            MapViewOfFile(mapping.handle, FILE_MAP_WRITE, 0, 0, sizeof(ProbeBlock)));
        if (block != nullptr) {
            block->request.form = reinterpret_cast<std::uint64_t>(form_);
            block->request.text_box = reinterpret_cast<std::uint64_t>(text_box_);
            block->request.tool_tips = reinterpret_cast<std::uint64_t>(tool_tips());
            if (const HHOOK installed =
                    SetWindowsHookExW(WH_GETMESSAGE, hook, module, process_.dwThreadId)) {
                PostMessageW(form_, RegisterWindowMessageW(kProbeMessage), GetCurrentProcessId(),
                             0);
                if (WaitForSingleObject(done.handle, kWaitMs) == WAIT_OBJECT_0) {
                    answer = block->answer;
                }
                UnhookWindowsHookEx(installed);
            }
            UnmapViewOfFile(block);
        }
    }
    FreeLibrary(module);
    return answer;
}

}  // namespace e2e
