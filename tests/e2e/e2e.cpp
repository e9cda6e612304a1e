// The end-to-end test, built twice: the driver (tavrin_e2e.exe Tavrin.exe scenarios.txt) runs each
// scenario as a person would; the probe library, hooked into Tavrin, stages and answers it.
#include <windows.h>

#include <commctrl.h>
#include <dbghelp.h>
#include <fcntl.h>
#include <io.h>
#include <oleacc.h>
#include <process.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>

struct Probe {
    int staged[3];  // high contrast, frame error, refused control: from Tavrin's start
    wchar_t request[64], answer[512];  // "ROLE [ACTION:NUMBER]", answered when done
    bool done, hidden_move;            // the request answered; the form moved while hidden
};
__declspec(dllexport) Probe probe __attribute__((section(".shared"), shared)) = {};

namespace {

constexpr wchar_t kRequest[] = L"TavrinE2eProbe", kDesktop[] = L"Control Panel\\Desktop",
                  kSettings[] = L"Software\\Wine\\AppDefaults\\Tavrin.exe";  // for Tavrin alone
constexpr DWORD kWaitMs = 20000;  // generous: on a loaded machine Wine can be very slow
HWND form;                        // in Tavrin, its first window
void* real_set_text;

BOOL WINAPI staged_parameters(UINT action, UINT size, void* value, UINT flags) {
    const BOOL answered = SystemParametersInfoW(action, size, value, flags);
    if (answered && action == SPI_GETHIGHCONTRAST)
        static_cast<HIGHCONTRASTW*>(value)->dwFlags = probe.staged[0] ? HCF_HIGHCONTRASTON : 0;
    return answered;
}

HRESULT WINAPI watch_text(IAccPropServices* s, HWND w, DWORD o, DWORD c, MSAAPROPID p, LPCWSTR t) {
    if (IsEqualGUID(p, PROPID_ACC_NAME) && static_cast<LONG>(o) == OBJID_CLIENT)
        SetPropW(w, L"name", _wcsdup(t));  // for screen readers
    return reinterpret_cast<decltype(&watch_text)>(real_set_text)(s, w, o, c, p, t);
}

// Tavrin's SystemParametersInfoW and the annotation service's SetHwndPropStr (its 8th method).
void stage() {
    ULONG size = 0;
    auto** const slots = static_cast<void**>(ImageDirectoryEntryToData(
        GetModuleHandleW(nullptr), TRUE, IMAGE_DIRECTORY_ENTRY_IAT, &size));
    std::replace(slots, slots + size / sizeof(void*),
                 reinterpret_cast<void*>(&SystemParametersInfoW),
                 reinterpret_cast<void*>(&staged_parameters));
    IAccPropServices* services = nullptr;  // kept, and with it its library
    CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                     reinterpret_cast<void**>(&services));
    void** const method = *reinterpret_cast<void***>(services) + 7;
    VirtualProtect(method, sizeof(void*), PAGE_READWRITE, &size);
    real_set_text = *method;
    *method = reinterpret_cast<void*>(&watch_text);
}

// In Tavrin: what the window of a role shows, as "\tFIELD=VALUE", or what an action on it gives.
void answer(const std::wstring& role, std::wstring_view action, int number, wchar_t* text) {
    const auto put = [&](const wchar_t* pattern, auto... values) {
        swprintf(text + wcslen(text), std::size(probe.answer) - wcslen(text), pattern, values...);
    };
    const HWND box = FindWindowW(L"#32770", nullptr);  // a message box
    HWND w = role == L"form"     ? form
             : role == L"prompt" ? GetDlgItem(box, 0xFFFF)
                                 : FindWindowExW(form, nullptr, role.c_str(), nullptr);
    w = IsWindow(w) ? w : FindWindowW(role.c_str(), nullptr);  // else a top-level one
    const HWND root = GetAncestor(w, GA_ROOT);
    RECT r{}, client{};
    GetWindowRect(w, &r);
    GetClientRect(w, &client);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    MapWindowPoints(nullptr, GetAncestor(w, GA_PARENT), reinterpret_cast<POINT*>(&r), 2);
    const HDC screen = GetDC(nullptr);
    LOGFONTW f{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)), sizeof f, &f);
    SIZE size{};
    wchar_t shown[256] = L"";
    if (*text = 0; w == nullptr) {
    } else if (action == L"front") {  // brought to the front: where to click it
        if (IsWindowVisible(root) && SetForegroundWindow(root) && GetForegroundWindow() == root)
            put(L"%ld %ld", centre.x, centre.y);
    } else if (action == L"fill") {
        SendMessageW(w, EM_REPLACESEL, 1, LPARAM(std::wstring(number, L'x').c_str()));
    } else if (action == L"dpi") {  // moved as Windows moves it to a monitor of that dpi
        SendMessageW(w, 0x02E4 /* WM_GETDPISCALEDSIZE */, number, LPARAM(&size));
        const LONG left = centre.x - size.cx / 2, top = centre.y - size.cy / 2;
        RECT suggested{left, top, left + size.cx, top + size.cy};
        probe.hidden_move = false;
        SendMessageW(w, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(number, number), LPARAM(&suggested));
        GetWindowRect(w, &r);
        put(L"corner %+ld%+ld, hidden %d", r.left - left, r.top - top, probe.hidden_move);
    } else {
        GetWindowTextW(w, shown, std::size(shown));
        put(L"\ttext=%ls\tlength=%d\tenabled=%d\tfocused=%d\tname=%ls\tcolour=%06lX", shown,
            GetWindowTextLengthW(w), IsWindowEnabled(w), GetFocus() == w, GetPropW(w, L"name"),
            GetPixel(screen, centre.x, centre.y));
        put(L"\tstyle=%08lX\texstyle=%08lX\tfont=%ld %ld %d %d %d %d %ls\ticon=",
            GetWindowLongW(w, GWL_STYLE), GetWindowLongW(w, GWL_EXSTYLE), f.lfHeight, f.lfWeight,
            f.lfCharSet, f.lfItalic, f.lfUnderline, f.lfStrikeOut, f.lfFaceName);
        for (const LRESULT icon :
             {SendMessageW(w, WM_GETICON, ICON_BIG, 0), SendMessageW(w, WM_GETICON, ICON_SMALL, 0),
              SendMessageW(FindWindowExW(w, nullptr, WC_STATICW, nullptr), STM_GETICON, 0, 0)}) {
            ICONINFOEXW info{};
            info.cbSize = sizeof info;
            if (GetIconInfoExW(HICON(icon), &info))
                put(L"%lu %u ", info.xHotspot * 2, info.wResID);  // size, resource
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        }
        if (w == root)  // its centre on the screen and its client area's size
            r = {centre.x, centre.y, centre.x + client.right, centre.y + client.bottom};
        put(L"\tplace=%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    ReleaseDC(nullptr, screen);
}

// Tavrin's form and message boxes: grown if so staged; the one without an owner answers.
LRESULT CALLBACK watch(HWND w, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    wchar_t role[32] = L"", action[16] = L"";
    int number = 0;
    if (message == RegisterWindowMessageW(kRequest) && GetWindow(w, GW_OWNER) == nullptr &&
        swscanf(probe.request, L"%31ls %15l[^:]:%d", role, action, &number) >= 1)
        answer(role, action, number, probe.answer), probe.done = true;
    if (const auto* made = reinterpret_cast<CREATESTRUCTW*>(lparam); message == WM_CREATE)
        SetWindowPos(w, nullptr, 0, 0, made->cx + probe.staged[1], made->cy + probe.staged[1],
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    probe.hidden_move |= message == WM_WINDOWPOSCHANGING && !IsWindowVisible(w);
    return DefSubclassProc(w, message, wparam, lparam);
}

Probe* shared;  // the library's
HANDLE tavrin;

bool wait_until(auto condition, DWORD timeout_ms = kWaitMs) {
    for (const ULONGLONG end = GetTickCount64() + timeout_ms; !condition(); Sleep(20))
        if (GetTickCount64() >= end)
            return false;
    return true;
}

std::wstring ask(const std::wstring& request) {
    shared->request[request.copy(shared->request, std::size(shared->request) - 1)] = 0;
    shared->done = false;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(kRequest), 0, 0, SMTO_NORMAL,
                        kWaitMs, nullptr);
    return shared->done ? shared->answer : L"(no answer)";
}

void send_key(WORD key, wchar_t character, DWORD up) {
    INPUT input{INPUT_KEYBOARD, {}};
    input.ki = {key, WORD(character ? character : MapVirtualKeyW(key, 0)),
                (character ? KEYEVENTF_UNICODE : 0u) | up, 0, 0};
    SendInput(1, &input, sizeof input);
}

std::wstring stick(wchar_t letter, const wchar_t* suffix = L"") {
    return _wgetenv(L"TAVRIN_WINE_DRIVES") + (L"\\" + std::wstring(1, towlower(letter)) + suffix);
}

// One step (the scenario file's head says what each does): what went wrong, or nothing.
std::wstring run(const std::wstring& line) {
    std::wstring verb, argument, role, what, pattern, got;
    std::getline(std::wistringstream(line) >> verb >> std::ws, argument);
    std::getline(std::wistringstream(argument) >> role >> what >> std::ws, pattern);
    POINT at{};
    const auto front = [&](const std::wstring& window) {  // and where to click it
        return swscanf(ask(window + L" front").c_str(), L"%ld %ld", &at.x, &at.y) == 2;
    };
    DWORD number = std::wcstoul(argument.c_str(), nullptr, 10);
    const std::wstring staged[] = {L"high-contrast", L"frame-error", L"refuse-control"};
    if (verb == L"dpi") {
        RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &number, 4);
    } else if (verb == L"disable") {
        RegSetKeyValueW(HKEY_CURRENT_USER, (kSettings + std::wstring(L"\\DllOverrides")).c_str(),
                        argument.c_str(), REG_SZ, L"", sizeof(wchar_t));
    } else if (verb == L"pull") {
        for (const wchar_t letter : argument)
            if (!MoveFileW(stick(letter).c_str(), stick(letter, L"~").c_str()))
                return L"a stick could not be pulled";
    } else if (verb == L"stage") {  // and the news of it, as Windows sends it
        shared->staged[std::find(staged, std::end(staged), role) - staged] = std::stoi(what);
        for (const UINT news : {WM_SETTINGCHANGE, WM_SYSCOLORCHANGE})
            SendMessageTimeoutW(HWND_BROADCAST, news, SPI_SETHIGHCONTRAST, 0, SMTO_ABORTIFHUNG,
                                kWaitMs, nullptr);
    } else if (verb == L"start") {
        SetCursorPos(0, 0);  // over nothing of Tavrin's
        const std::wstring quoted = L"\"" + std::wstring(__wargv[1]) + L"\"";  // spawn joins as is
        tavrin = HANDLE(_wspawnl(_P_NOWAIT, __wargv[1], quoted.c_str(), argument.c_str(), nullptr));
        if (tavrin == INVALID_HANDLE_VALUE || WaitForInputIdle(tavrin, kWaitMs) != 0)
            return L"could not start it";
    } else if (verb == L"key") {  // virtual-key codes in hex, "11+23": all down in order, then up
        if (!wait_until([&] { return front(L"#32770") || front(L"form"); }))
            return L"neither a message box nor the form came to the front";
        for (const DWORD up : {0, KEYEVENTF_KEYUP})
            for (std::wistringstream codes(argument); std::getline(codes, got, L'+');)
                send_key(std::stoul(got, nullptr, 16), 0, up);
    } else if (verb == L"click" || verb == L"hover") {
        if (!wait_until([&] { return front(role); }))
            return L"it did not come to the front";
        SetCursorPos(at.x - 5, at.y);  // from beside it, so that it sees the mouse arrive
        SetCursorPos(at.x, at.y);
        if (verb == L"click") {
            mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
            mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
            SetCursorPos(0, 0);
        }
    } else if (verb == L"type") {
        for (const wchar_t character : argument) {
            send_key(0, character, 0);
            send_key(0, character, KEYEVENTF_KEYUP);
        }
    } else if (verb == L"expect" || verb == L"hold") {  // ROLE FIELD PATTERN, or ROLE ACTION:N
        const std::wregex wanted(pattern);
        const auto holds = [&] {  // a field of the record, or what the action answers
            got = role != L"tavrin" ? ask(role + L" " + what)  // else its exit status, once ended
                  : GetExitCodeProcess(tavrin, &number) ? L"\tstatus=" + std::to_wstring(number)
                                                        : L"";
            const size_t at = got.find(L"\t" + what + L"="), from = at + what.size() + 2;
            if (what.find(L':') == what.npos)
                got = at == got.npos ? L"(none)" : got.substr(from, got.find(L'\t', from) - from);
            return std::regex_match(got.erase(got.find_last_not_of(L' ') + 1), wanted);
        };
        if (!wait_until(holds))
            return L"got \"" + got + L"\"";
        if (verb == L"hold" && wait_until([&] { return !holds(); }, 1500))
            return L"then got \"" + got + L"\"";
    } else {
        return L"no such step";
    }
    return L"";
}

// Puts back what the scenario changed, for the next one in the same prefix; prints how it went.
bool end_scenario(const std::wstring& name, const std::wstring& error) {
    TerminateProcess(tavrin, 255);
    WaitForSingleObject(tavrin, kWaitMs);
    CloseHandle(tavrin);
    *shared = {};
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter)
        MoveFileW(stick(letter, L"~").c_str(), stick(letter).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettings);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels");
    wprintf(L"%ls %ls\n%ls", error.empty() ? L"[ OK ]" : L"[FAIL]", name.c_str(), error.c_str());
    return !error.empty();
}

}  // namespace

// Hooked into Tavrin: stages, watches its form and message boxes, refuses a control if so staged.
extern "C" __declspec(dllexport) LRESULT CALLBACK on_start(int code, WPARAM w, LPARAM details) {
    static int children = 0;
    CREATESTRUCTW* const made = code == HCBT_CREATEWND && GetModuleHandleW(L"Tavrin.exe")
                                    ? reinterpret_cast<CBT_CREATEWNDW*>(details)->lpcs
                                    : nullptr;
    if (made != nullptr && (made->style & WS_CAPTION) == WS_CAPTION) {
        static const bool staged = (stage(), true);
        form = form != nullptr ? form : HWND(w);
        SetWindowSubclass(HWND(w), &watch, 0, staged);
    } else if (made != nullptr && (made->style & WS_CHILD) && ++children == 2 && probe.staged[2]) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, w, details);
}

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();  // positions and sizes in real pixels, whatever the display's setting
    _setmode(_fileno(stdout), _O_U8TEXT);
    const HMODULE library = LoadLibraryW(L"tavrin_e2e_probe.dll");  // beside the driver
    shared = reinterpret_cast<Probe*>(GetProcAddress(library, "probe"));
    const auto hook = HOOKPROC(reinterpret_cast<void*>(GetProcAddress(library, "on_start")));
    FILE* const file = argc == 3 ? _wfopen(argv[2], L"r, ccs=UTF-8") : nullptr;
    if (file == nullptr || shared == nullptr || !SetWindowsHookExW(WH_CBT, hook, library, 0))
        return 2;
    std::wstring name, error;
    int failed = 0;
    for (wchar_t buffer[1024]; fgetws(buffer, std::size(buffer), file);) {
        const std::wstring line(buffer, wcscspn(buffer, L"\r\n"));
        if (line.starts_with(L"==")) {
            failed += !name.empty() && end_scenario(name, error);
            name = line.substr(3), error.clear();
        } else if (!line.empty() && line[0] != L'#' && error.empty() &&
                   !(error = run(line)).empty()) {
            error = L"  " + line + L"\n  " + error + L"\n";
        }
    }
    return failed + end_scenario(name, error) != 0;
}
