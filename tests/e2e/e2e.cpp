// The end-to-end test of the real window, built twice. As tavrin_e2e.exe (Tavrin.exe
// scenarios.txt), the driver: runs each scenario against a Tavrin of its own, driving it as a
// person would (SendInput). As the probe library, hooked into Tavrin: stages what Wine cannot
// show and answers the driver from inside Tavrin.
#include <windows.h>

#include <commctrl.h>
#include <dbghelp.h>
#include <fcntl.h>
#include <io.h>
#include <oleacc.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <utility>

struct Probe {
    int high_contrast, frame_error, refuse_control;  // staged for Tavrin from its start
    wchar_t request[64], answer[512];                // "ROLE [ACTION:NUMBER]", answered when done
    LONG done;
    bool hidden_move;  // the form moved while hidden
    HWND named;        // given `name` for screen readers
    wchar_t name[32];
};

extern "C" {  // the library's, shared by every process that loads it
__declspec(dllexport) Probe probe __attribute__((section(".shared"), shared)) = {};
}

namespace {

constexpr wchar_t kRequest[] = L"TavrinE2eProbe";
constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
constexpr DWORD kWaitMs = 20000;  // generous: on a loaded machine Wine can be very slow
HWND form;                        // in Tavrin, its first window

BOOL WINAPI staged_parameters(UINT action, UINT size, void* value, UINT flags) {
    const BOOL answered = SystemParametersInfoW(action, size, value, flags);
    if (answered && action == SPI_GETHIGHCONTRAST)
        static_cast<HIGHCONTRASTW*>(value)->dwFlags = probe.high_contrast ? HCF_HIGHCONTRASTON : 0;
    return answered;
}

void* real_set_text;
HRESULT WINAPI
watch_text(IAccPropServices* self, HWND w, DWORD o, DWORD c, MSAAPROPID p, LPCWSTR t) {
    if (IsEqualGUID(p, PROPID_ACC_NAME) && static_cast<LONG>(o) == OBJID_CLIENT)
        probe.named = w, wcsncpy(probe.name, t, std::size(probe.name) - 1);
    return reinterpret_cast<decltype(&watch_text)>(real_set_text)(self, w, o, c, p, t);
}

// Tavrin's imports of SystemParametersInfoW go to staged_parameters, and the annotation
// service's SetHwndPropStr (the 8th method of the table all its objects share) to watch_text.
bool stage() {
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
    DWORD access;
    VirtualProtect(method, sizeof(void*), PAGE_READWRITE, &access);
    real_set_text = std::exchange(*method, reinterpret_cast<void*>(&watch_text));
    return true;
}

// In Tavrin: what the window of a role shows, as "\tFIELD=VALUE" (the scenario file's head says
// what each is), or the outcome of an action on it.
void answer(const std::wstring& role, std::wstring_view action, int number, wchar_t* text) {
    const auto put = [&](const wchar_t* pattern, auto... values) {
        swprintf(text + wcslen(text), std::size(probe.answer) - wcslen(text), pattern, values...);
    };
    const HWND box = FindWindowW(L"#32770", nullptr);
    const HWND w = std::map<std::wstring, HWND>{
        {L"form", IsWindow(form) ? form : nullptr},
        {L"box", box},
        {L"tip", FindWindowW(TOOLTIPS_CLASSW, nullptr)},
        {L"button", FindWindowExW(form, nullptr, WC_BUTTONW, nullptr)},
        {L"text", FindWindowExW(form, nullptr, WC_EDITW, nullptr)},
        {L"ok", GetDlgItem(box, IDOK)},
        {L"prompt", GetDlgItem(box, 0xFFFF)},
        {L"icon", FindWindowExW(box, nullptr, WC_STATICW, nullptr)}}[role];
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
    *text = 0;
    if (w == nullptr) {
    } else if (action == L"front") {  // brought to the front: where to click it
        if (IsWindowVisible(root) && SetForegroundWindow(root) && GetForegroundWindow() == root)
            put(L"%ld %ld", centre.x, centre.y);
    } else if (action == L"fill") {
        SendMessageW(w, EM_REPLACESEL, TRUE,
                     reinterpret_cast<LPARAM>(std::wstring(number, L'x').c_str()));
    } else if (action == L"dpi") {  // moved as Windows moves it to a monitor of that dpi
        SendMessageW(w, 0x02E4 /* WM_GETDPISCALEDSIZE */, number, reinterpret_cast<LPARAM>(&size));
        const LONG left = centre.x - size.cx / 2, top = centre.y - size.cy / 2;
        RECT suggested{left, top, left + size.cx, top + size.cy};
        probe.hidden_move = false;
        SendMessageW(w, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(number, number),
                     reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(w, &r);
        put(L"corner %+ld%+ld, hidden %d", r.left - left, r.top - top, probe.hidden_move);
    } else {
        put(L"\ttext=");
        GetWindowTextW(w, text + wcslen(text), 256);
        put(L"\tlength=%d\tenabled=%d\tfocused=%d\tstyle=%08lX\texstyle=%08lX\tname=%ls",
            GetWindowTextLengthW(w), IsWindowEnabled(w), GetFocus() == w,
            GetWindowLongW(w, GWL_STYLE), GetWindowLongW(w, GWL_EXSTYLE),
            probe.named == w ? probe.name : L"");
        put(L"\tcolour=%06lX\tfont=%ld %ld %d %d %d %d %ls\ticon=",
            GetPixel(screen, centre.x, centre.y), f.lfHeight, f.lfWeight, f.lfCharSet, f.lfItalic,
            f.lfUnderline, f.lfStrikeOut, f.lfFaceName);
        for (const LRESULT icon :
             {SendMessageW(w, WM_GETICON, ICON_BIG, 0), SendMessageW(w, WM_GETICON, ICON_SMALL, 0),
              SendMessageW(w, STM_GETICON, 0, 0)}) {
            ICONINFOEXW info{};
            info.cbSize = sizeof info;
            if (GetIconInfoExW(reinterpret_cast<HICON>(icon), &info))
                put(L"%lu %u ", info.xHotspot * 2, info.wResID);  // size, resource
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        }
        if (w == root)  // its centre on the screen, its client area's size
            put(L"\tplace=%ld %ld %ld %ld", centre.x, centre.y, client.right, client.bottom);
        else
            put(L"\tplace=%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    ReleaseDC(nullptr, screen);
}

// The messages of Tavrin's form and message boxes, first: the driver's request is answered by
// the one without an owner, a move while hidden noted.
LRESULT CALLBACK
watch(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    static const UINT request = RegisterWindowMessageW(kRequest);
    wchar_t role[16] = L"", action[16] = L"";
    int number = 0;
    if (message == request && GetWindow(window, GW_OWNER) == nullptr &&
        swscanf(probe.request, L"%15ls %15l[^:]:%d", role, action, &number) >= 1) {
        answer(role, action, number, probe.answer);
        probe.done = 1;
    }
    probe.hidden_move |= message == WM_WINDOWPOSCHANGING && !IsWindowVisible(window);
    return DefSubclassProc(window, message, wparam, lparam);
}

// The driver's.
Probe* shared;                      // the library's
std::wstring tavrin_exe, settings;  // the latter: Wine's for Tavrin alone
PROCESS_INFORMATION tavrin{};

template <typename Condition>
bool wait_until(Condition condition, DWORD timeout_ms = kWaitMs) {
    for (const ULONGLONG end = GetTickCount64() + timeout_ms; !condition(); Sleep(20))
        if (GetTickCount64() >= end)
            return false;
    return true;
}

// What the library in Tavrin answers to "ROLE [ACTION:NUMBER]".
std::wstring ask(const std::wstring& request) {
    shared->request[request.copy(shared->request, std::size(shared->request) - 1)] = 0;
    shared->done = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(kRequest), 0, 0, SMTO_NORMAL,
                        kWaitMs, nullptr);
    return shared->done ? shared->answer : L"(no answer)";
}

// A key down or up (KEYEVENTF_KEYUP): by its virtual-key code, else (code 0) a character.
void send_key(WORD key, wchar_t character, DWORD up) {
    const WORD scan = character != 0 ? character : MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    INPUT input{INPUT_KEYBOARD, {}};
    input.ki = KEYBDINPUT{key, scan, (character != 0 ? KEYEVENTF_UNICODE : 0u) | up, 0, 0};
    SendInput(1, &input, sizeof input);
}

// Takes sticks out by renaming their directories away, or (back) puts pulled ones back.
bool pull(const std::wstring& letters, bool back = false) {
    bool moved = true;
    for (const wchar_t letter : letters) {
        const std::wstring in =
            _wgetenv(L"TAVRIN_WINE_DRIVES") + (L"\\" + std::wstring(1, towlower(letter)));
        moved &=
            MoveFileW((back ? in + L"~" : in).c_str(), (back ? in : in + L"~").c_str()) || back;
    }
    return moved;
}

// One step: what went wrong, or nothing. The scenario file's head says what each does.
std::wstring run(const std::wstring& verb, const std::wstring& argument) {
    std::wstring role, what, pattern, got;
    std::getline(std::wistringstream(argument) >> role >> what >> std::ws, pattern);
    std::vector<WORD> down;
    std::wistringstream codes(argument);
    POINT at{};
    const auto front = [&](const std::wstring& window) {  // and where to click it
        return swscanf(ask(window + L" front").c_str(), L"%ld %ld", &at.x, &at.y) == 2;
    };
    DWORD number = std::wcstoul(argument.c_str(), nullptr, 10);
    if (verb == L"dpi") {
        RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &number,
                        sizeof number);
    } else if (verb == L"disable") {
        RegSetKeyValueW(HKEY_CURRENT_USER, (settings + L"\\DllOverrides").c_str(), argument.c_str(),
                        REG_SZ, L"", sizeof(wchar_t));
    } else if (verb == L"pull") {
        return pull(argument) ? L"" : L"a stick could not be pulled";
    } else if (verb == L"stage") {  // and the news of it, as Windows sends it
        (role == L"high-contrast" ? shared->high_contrast
         : role == L"frame-error" ? shared->frame_error
                                  : shared->refuse_control) = std::stoi(what);
        for (const UINT news : {WM_SETTINGCHANGE, WM_SYSCOLORCHANGE})
            SendMessageTimeoutW(HWND_BROADCAST, news, SPI_SETHIGHCONTRAST, 0, SMTO_ABORTIFHUNG,
                                kWaitMs, nullptr);
    } else if (verb == L"start") {
        std::wstring command = L"\"" + tavrin_exe + L"\" " + argument;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        SetCursorPos(0, 0);  // over nothing of Tavrin's
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &tavrin))
            return L"could not start it";
        WaitForInputIdle(tavrin.hProcess, kWaitMs);
    } else if (verb == L"exit") {
        if (WaitForSingleObject(tavrin.hProcess, kWaitMs) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(tavrin.hProcess, &number) || number != std::stoul(argument))
            return L"it did not end with that status: " + std::to_wstring(number);
    } else if (verb == L"key") {  // virtual-key codes in hex, "11+23": down in order, up reversed
        if (!wait_until([&] { return front(L"box") || front(L"form"); }))
            return L"neither a message box nor the form came to the front";
        for (std::wstring code; std::getline(codes, code, L'+'); send_key(down.back(), 0, 0))
            down.push_back(std::stoul(code, nullptr, 16));
        for (; !down.empty(); down.pop_back())
            send_key(down.back(), 0, KEYEVENTF_KEYUP);
    } else if (verb == L"click" || verb == L"hover") {
        if (!wait_until([&] { return front(role); }))
            return L"it did not come to the front";
        SetCursorPos(at.x - 5, at.y);
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
            got = ask(role + L" " + what);
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
    TerminateProcess(tavrin.hProcess, 255);
    WaitForSingleObject(tavrin.hProcess, kWaitMs);
    CloseHandle(tavrin.hThread);
    CloseHandle(tavrin.hProcess);
    tavrin = {};
    *shared = {};
    pull(L"abcdefghijklmnopqrstuvwxyz", true);
    RegDeleteTreeW(HKEY_CURRENT_USER, settings.c_str());
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels");
    wprintf(L"%ls %ls\n%ls", error.empty() ? L"[ OK ]" : L"[FAIL]", name.c_str(), error.c_str());
    return !error.empty();
}

}  // namespace

// Hooked (WH_CBT) on every thread, in Tavrin alone: at its first window, the form, it stages; it
// watches the form and message boxes, makes them frame_error pixels bigger than asked, and
// refuses the form's second control if asked.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    on_start(int code, WPARAM window, LPARAM details) {
    static int children = 0;
    CREATESTRUCTW* const made = code == HCBT_CREATEWND && GetModuleHandleW(L"Tavrin.exe")
                                    ? reinterpret_cast<CBT_CREATEWNDW*>(details)->lpcs
                                    : nullptr;
    if (made != nullptr && (made->style & WS_CAPTION) == WS_CAPTION) {
        static const bool staged = stage();
        form = form != nullptr ? form : reinterpret_cast<HWND>(window);
        made->cx += probe.frame_error;
        made->cy += probe.frame_error;
        SetWindowSubclass(reinterpret_cast<HWND>(window), &watch, 0, staged);
    } else if (made != nullptr && (made->style & WS_CHILD) && ++children == 2 &&
               probe.refuse_control) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, window, details);
}

// "== Name" starts a scenario; each line after it is a step, a verb and its argument; lines
// starting with "#" are comments.
int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();  // positions and sizes in real pixels, whatever the display's setting
    _setmode(_fileno(stdout), _O_U8TEXT);
    const HMODULE library = LoadLibraryW(L"tavrin_e2e_probe.dll");  // beside the driver
    shared = reinterpret_cast<Probe*>(GetProcAddress(library, "probe"));
    const auto hook =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "on_start")));
    if (argc != 3 || shared == nullptr || !SetWindowsHookExW(WH_CBT, hook, library, 0))
        return 2;
    tavrin_exe = argv[1];
    settings =
        L"Software\\Wine\\AppDefaults\\" + std::filesystem::path(argv[1]).filename().wstring();
    std::ifstream file{std::filesystem::path(argv[2])};
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    std::wistringstream lines(
        std::filesystem::path(reinterpret_cast<const char8_t*>(bytes.c_str())).wstring() + L"\n==");
    std::wstring line, name, error;
    int failed = 0;
    while (std::getline(lines, line)) {
        line.erase(line.find_last_not_of(L" \r") + 1);
        const size_t space = std::min(line.find(L' '), line.size());
        if (line.starts_with(L"==")) {
            failed += !name.empty() && end_scenario(name, error);
            name = line.substr(std::min<size_t>(3, line.size()));
            error.clear();
        } else if (!line.empty() && line[0] != L'#' && error.empty() &&
                   !(error = run(line.substr(0, space),
                                 line.substr(line.size() - space ? space + 1 : space)))
                        .empty()) {
            error = L"  " + line + L"\n  " + error + L"\n";
        }
    }
    return failed != 0;
}
