// The end-to-end driver: drives Tavrin.exe as a person would (SendInput) and checks its windows,
// from outside and through the probe library (probe.h). Each scenario of the scenario file is a
// GoogleTest case, Scenario.<name>. Usage: tavrin_e2e [gtest flags] Tavrin.exe scenarios
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "platform/win32.h"
#include "probe.h"
#include "resources/strings.h"
#include "support.h"

namespace e2e {
namespace {

using platform::wide;

constexpr DWORD kWaitMs = 20000;  // generous: on a loaded machine Wine can be very slow
constexpr DWORD kQuietMs = 1500;  // how long to watch for what must not come
constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
std::wstring tavrin_exe, app_defaults;  // the last: Wine's settings for Tavrin
std::string scenario_file;              // UTF-8, as a trace wants it
const HMODULE probe_library = LoadLibraryW(L"tavrin_e2e_probe.dll");  // beside the driver
auto* const shared_probe = reinterpret_cast<Probe*>(GetProcAddress(probe_library, "probe"));

struct Step {
    int line;
    std::wstring verb, argument;
};

template <typename Condition>
bool wait_until(Condition condition, DWORD timeout_ms = kWaitMs) {
    for (const ULONGLONG end = GetTickCount64() + timeout_ms; !condition(); Sleep(20))
        if (GetTickCount64() >= end)
            return false;
    return true;
}

BOOL CALLBACK collect(HWND window, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

std::wstring class_of(HWND window) {
    wchar_t name[64];
    return std::wstring(name, GetClassNameW(window, name, 64));
}

DWORD style_of(HWND window, int which = GWL_STYLE) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, which));
}

// Asks the window itself: GetWindowText would answer from a stored name that an edit control
// does not keep up to date. A text changing meanwhile can come back cut: callers wait for a text.
std::wstring text_of(HWND window) {
    std::wstring text(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
    text.resize(SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0])));
    return text;
}

POINT centre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void park_mouse() {  // in a corner, over nothing of Tavrin's
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
}

// A key down or up (KEYEVENTF_KEYUP): by its virtual-key code, else (code 0) a character.
void send_key(WORD key, wchar_t character, DWORD up) {
    const WORD scan = character != 0 ? character : MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    INPUT input{INPUT_KEYBOARD, {}};
    input.ki = KEYBDINPUT{key, scan, (character != 0 ? KEYEVENTF_UNICODE : 0u) | up, 0, 0};
    SendInput(1, &input, sizeof input);
}

class ScenarioTest : public testing::Test {
  public:
    explicit ScenarioTest(std::vector<Step> steps) : steps_(std::move(steps)) {}

    void TestBody() override {
        for (const Step& step : steps_) {
            const testing::ScopedTrace trace(scenario_file.c_str(), step.line,
                                             step.verb + L" " + step.argument);
            run(step.verb, step.argument);
            if (HasFatalFailure())
                return;
        }
    }

    // Undoes whatever the scenario changed, for the next one in the same prefix.
    void TearDown() override {
        TerminateProcess(process_.hProcess, 255);
        WaitForSingleObject(process_.hProcess, kWaitMs);
        UnhookWindowsHookEx(start_hook_);
        shared_probe->staged = {};
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        move_sticks(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ", false);
        RegDeleteTreeW(HKEY_CURRENT_USER, app_defaults.c_str());
        // A prefix of wine-run.sh's has no setting of its own: the default, 96 dpi.
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels");
    }

  private:
    // Tavrin's top-level windows of a class (null: any), the hidden ones too if asked.
    std::vector<HWND> windows(const wchar_t* window_class, bool hidden_too = false) const {
        std::vector<HWND> all;
        EnumThreadWindows(process_.dwThreadId, collect, reinterpret_cast<LPARAM>(&all));
        std::erase_if(all, [&](HWND window) {
            return (!hidden_too && !IsWindowVisible(window)) ||
                   (window_class != nullptr && class_of(window) != window_class);
        });
        return all;
    }

    HWND message_box() const {
        const std::vector<HWND> boxes = windows(L"#32770");
        return boxes.empty() ? nullptr : boxes[0];
    }

    HWND control(const std::wstring& name) const {
        return name == L"button" ? button_ : name == L"text" ? text_ : nullptr;
    }

    // Takes sticks out by renaming their directories away, or puts pulled ones back.
    void move_sticks(const std::wstring& letters, bool out) {
        for (const wchar_t letter : letters) {
            const std::wstring in = drives_ + L"\\" + static_cast<wchar_t>(towlower(letter));
            const std::wstring away = in + L".pulled";
            if (out || GetFileAttributesW(away.c_str()) != INVALID_FILE_ATTRIBUTES) {
                EXPECT_TRUE(MoveFileW((out ? in : away).c_str(), (out ? away : in).c_str())) << in;
            }
        }
    }

    // What the probe library reads inside Tavrin; all zeros, and a failure, if it cannot.
    Probe probe(HWND box_icon = nullptr, const wchar_t* system_icon = nullptr, int new_dpi = 0) {
        *shared_probe = {shared_probe->staged,
                         {form_, text_, box_icon, system_icon, new_dpi, layout_dpi_}};
        SendMessageTimeoutW(form_ != nullptr ? form_ : box_, RegisterWindowMessageW(kProbeMessage),
                            0, 0, SMTO_NORMAL, kWaitMs, nullptr);
        EXPECT_TRUE(shared_probe->done) << "the probe inside Tavrin did not answer";
        return *shared_probe;
    }

    // One step; the scenario file's head says what each does.
    void run(const std::wstring& verb, const std::wstring& argument) {
        static const std::map<std::wstring, WORD> keys = {
            {L"SPACE", VK_SPACE},  {L"RETURN", VK_RETURN}, {L"TAB", VK_TAB},
            {L"END", VK_END},      {L"F4", VK_F4},         {L"SHIFT", VK_SHIFT},
            {L"CTRL", VK_CONTROL}, {L"ALT", VK_MENU},      {L"ESCAPE", VK_ESCAPE}};
        std::vector<WORD> down;
        std::wstring text;
        DWORD status = 0;
        if (verb == L"dpi") {
            layout_dpi_ = dpi_ = std::stoi(argument);
            RegSetKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", REG_DWORD, &dpi_, 4);
        } else if (verb == L"disable") {
            ASSERT_FALSE(RegSetKeyValueW(HKEY_CURRENT_USER,
                                         (app_defaults + L"\\DllOverrides").c_str(),
                                         argument.c_str(), REG_SZ, L"", sizeof(wchar_t)));
        } else if (verb == L"pull" || verb == L"insert") {
            move_sticks(argument, verb == L"pull");
        } else if (verb == L"move-to-dpi") {
            layout_dpi_ = std::stoi(argument);
            const Probe answer = probe(nullptr, nullptr, layout_dpi_);
            moved_to_ = answer.suggested;
            EXPECT_FALSE(answer.moved_while_hidden) << "moved while Windows took it for hidden";
        } else if (verb == L"frame-error") {
            shared_probe->staged.frame_error = std::stoi(argument);
        } else if (verb == L"high-contrast") {  // on or off, and the news as Windows sends it
            shared_probe->staged.high_contrast = argument == L"on";
            for (const UINT news : {WM_SETTINGCHANGE, WM_SYSCOLORCHANGE})
                SendMessageTimeoutW(HWND_BROADCAST, news,
                                    news == WM_SETTINGCHANGE ? SPI_SETHIGHCONTRAST : 0, 0,
                                    SMTO_ABORTIFHUNG, kWaitMs, nullptr);
        } else if (verb == L"start" || verb == L"start-broken") {
            shared_probe->staged.refuse_second_control = verb == L"start-broken";
            std::wstring command = L"\"" + tavrin_exe + L"\" " + argument;
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            park_mouse();
            ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE,
                                       CREATE_SUSPENDED, nullptr, nullptr, &startup, &process_));
            const FARPROC on_start = GetProcAddress(probe_library, "on_start");
            start_hook_ = SetWindowsHookExW(
                WH_CBT, reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(on_start)),
                probe_library, process_.dwThreadId);
            ResumeThread(process_.hThread);
            ASSERT_NE(start_hook_, nullptr);
            if (shared_probe->staged.refuse_second_control)
                return;
            // Found by its caption, shown with its controls: a wrong caption, no form.
            WaitForInputIdle(process_.hProcess, kWaitMs);
            const std::wstring caption = wide(strings::kFormCaption);
            ASSERT_TRUE(wait_until([&] {
                form_ = FindWindowW(nullptr, caption.c_str());
                button_ = FindWindowExW(form_, nullptr, WC_BUTTONW, nullptr);
                text_ = FindWindowExW(form_, nullptr, WC_EDITW, nullptr);
                return IsWindowVisible(form_) && button_ != nullptr && text_ != nullptr;
            })) << caption;
        } else if (verb == L"key") {  // "CTRL+END": down in that order, up in the other
            const HWND front = message_box() != nullptr ? message_box() : form_;
            SetForegroundWindow(front);
            ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == front; }));
            std::wistringstream names(argument);
            for (std::wstring name; std::getline(names, name, L'+'); send_key(down.back(), 0, 0))
                down.push_back(keys.at(name));
            for (; !down.empty(); down.pop_back())
                send_key(down.back(), 0, KEYEVENTF_KEYUP);
        } else if (verb == L"click") {
            const POINT at = centre(argument == L"ok" ? box_ok_ : control(argument));
            SetCursorPos(at.x, at.y);
            mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
            mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
            park_mouse();
        } else if (verb == L"type") {
            for (const wchar_t character : argument) {
                send_key(0, character, 0);
                send_key(0, character, KEYEVENTF_KEYUP);
            }
        } else if (verb == L"fill") {
            text.assign(std::stoul(argument), L'x');
            SendMessageW(text_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (verb == L"expect-startup") {
            expect_startup();
        } else if (verb == L"expect-layout") {
            expect_layout();
        } else if (verb == L"expect-text") {
            EXPECT_TRUE(wait_until([&] { return (text = text_of(text_)) == argument; }))
                << "the text box holds \"" << text << "\"";
        } else if (verb == L"expect-colour") {
            // On the screen, where nothing covers it: there is no window manager, the mouse is
            // away.
            RECT inside{};
            GetClientRect(text_, &inside);
            POINT corner{inside.right - 4, inside.bottom - 4};
            ClientToScreen(text_, &corner);
            const HDC screen = GetDC(nullptr);
            const COLORREF wanted = std::stoul(argument, nullptr, 16);
            COLORREF colour = CLR_INVALID;
            wait_until([&] { return (colour = GetPixel(screen, corner.x, corner.y)) == wanted; });
            ReleaseDC(nullptr, screen);
            EXPECT_EQ(colour, wanted) << "the text box's colour, as 0x00BBGGRR";
        } else if (verb == L"expect-length") {
            EXPECT_TRUE(wait_until([&] { return text_of(text_).size() == std::stoul(argument); }));
        } else if (verb == L"expect-focus") {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            EXPECT_TRUE(wait_until([&] {
                return GetGUIThreadInfo(process_.dwThreadId, &info) &&
                       info.hwndFocus == control(argument);
            }));
        } else if (verb == L"expect-notice") {
            expect_box(strings::kNoDriveTitle, IDI_INFORMATION);
            EXPECT_EQ(box_prompt_, wide(strings::kNoDrivePrompt));
        } else if (verb == L"expect-error-report") {
            ASSERT_NO_FATAL_FAILURE(expect_box(strings::kProjectName, IDI_ERROR));
            EXPECT_TRUE(std::regex_match(box_prompt_, std::wregex(argument))) << box_prompt_;
            EXPECT_TRUE(running()) << "Tavrin ended before the report was dismissed";
        } else if (verb == L"expect-lasting") {
            EXPECT_FALSE(wait_until([&] { return !IsWindowVisible(box_); }, kQuietMs));
        } else if (verb == L"expect-modal") {
            EXPECT_FALSE(IsWindowEnabled(form_)) << "the box is not the form's: it takes input";
        } else if (verb == L"expect-idle") {
            ASSERT_TRUE(wait_until([&] { return !message_box() && IsWindowEnabled(form_); }));
            EXPECT_FALSE(wait_until([&] { return message_box() || !running(); }, kQuietMs))
                << "a message box came, or Tavrin ended";
        } else if (verb == L"expect-exit") {
            ASSERT_EQ(WaitForSingleObject(process_.hProcess, kWaitMs), WAIT_OBJECT_0);
            GetExitCodeProcess(process_.hProcess, &status);
            EXPECT_EQ(status, std::stoul(argument)) << "Tavrin's exit status";
        } else {
            FAIL() << "no such step";
        }
    }

    bool running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

    // The window as it comes up, but for its caption, sizes, focus and text.
    void expect_startup() {
        EXPECT_EQ(windows(nullptr), std::vector<HWND>{form_}) << "one visible window";
        EXPECT_EQ(style_of(form_) &
                      (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
                  static_cast<DWORD>(WS_CAPTION | WS_SYSMENU));
        EXPECT_EQ(text_of(button_), wide(strings::kCommandCaption)) << text_of(button_);
        EXPECT_LE(style_of(button_) & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
        EXPECT_EQ(GetNextDlgTabItem(form_, nullptr, FALSE), button_) << "first in tab order";
        EXPECT_TRUE(style_of(text_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        const DWORD wanted = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
        EXPECT_EQ(style_of(text_) & (wanted | ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL), wanted);
        EXPECT_EQ(shared_probe->staged.named, text_) << "the text box's name for screen readers";

        const std::vector<HWND> tips = windows(TOOLTIPS_CLASSW, true);
        ASSERT_EQ(tips.size(), 1u) << "one tip window";
        EXPECT_EQ(SendMessageW(tips[0], TTM_GETTOOLCOUNT, 0, 0), 1) << "one tool, the button";
        SetCursorPos(centre(button_).x - 5, centre(button_).y);
        SetCursorPos(centre(button_).x, centre(button_).y);
        EXPECT_TRUE(wait_until([&] { return IsWindowVisible(tips[0]); })) << "no tip on hover";
        EXPECT_EQ(text_of(tips[0]), wide(strings::kCommandToolTip)) << text_of(tips[0]);
        park_mouse();
    }

    // At the scenario's dpi: the sizes as the layout table has them, the font, place and icons.
    void expect_layout() {
        const Probe answer = probe();
        RECT client{};
        GetClientRect(form_, &client);
        std::vector<int> shown{layout_dpi_, client.right, client.bottom};
        for (const HWND window : {button_, text_}) {
            RECT rect{};
            GetWindowRect(window, &rect);
            MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&rect), 2);
            shown.insert(shown.end(),
                         {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
        }
        shown.push_back(answer.font.lfHeight);
        const auto rows = testing_support::layout_rows();
        const auto row = std::ranges::find(rows, layout_dpi_, [](auto& r) { return r.at(0); });
        EXPECT_EQ(shown, row != rows.end() ? *row : std::vector<int>{})
            << "dpi, client size, Command1, Text1, font height";
        const LOGFONTW& font = answer.font;
        EXPECT_EQ(font.lfFaceName, wide(strings::kResultFontFace)) << font.lfFaceName;
        EXPECT_EQ((std::vector<int>{font.lfWeight, font.lfCharSet, font.lfItalic, font.lfUnderline,
                                    font.lfStrikeOut}),
                  (std::vector<int>{400, 134, 0, 0, 0}));
        EXPECT_TRUE(answer.icon_is_own[0] && answer.icon_is_own[1]) << "the large, small icon";
        // The tip's: the platform's status font at the layout dpi (the driver's is at 96 dpi).
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        EXPECT_EQ(answer.tip_font.lfHeight, MulDiv(metrics.lfStatusFont.lfHeight, layout_dpi_, 96));

        // Where the last move put it (Wine's frames do not grow with the dpi: only the corner),
        // or else centred on the primary monitor (doubled, within a pixel).
        RECT frame{};
        GetWindowRect(form_, &frame);
        if (moved_to_.right != 0) {
            EXPECT_EQ(std::pair(frame.left, frame.top), std::pair(moved_to_.left, moved_to_.top));
        } else {
            EXPECT_LE(std::abs(frame.left + frame.right - GetSystemMetrics(SM_CXSCREEN)), 2);
            EXPECT_LE(std::abs(frame.top + frame.bottom - GetSystemMetrics(SM_CYSCREEN)), 2);
        }
    }

    // Waits for a message box: its title, one OK button and the system icon; keeps its text.
    void expect_box(platform::TextView title, const wchar_t* icon) {
        ASSERT_TRUE(wait_until([&] { return (box_ = message_box()) != nullptr; }));
        box_prompt_.clear();
        std::vector<HWND> buttons;
        HWND shown_icon = nullptr;
        for (HWND child = GetWindow(box_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child))
                continue;  // the buttons a box does not use are there, hidden
            else if (class_of(child) == WC_BUTTONW)
                buttons.push_back(child);
            else if ((style_of(child) & SS_TYPEMASK) == SS_ICON)
                shown_icon = child;
            else
                box_prompt_ += text_of(child);
        }
        EXPECT_EQ(text_of(box_), wide(title)) << text_of(box_);
        ASSERT_EQ(buttons.size(), 1u);
        box_ok_ = buttons[0];
        EXPECT_TRUE(probe(shown_icon, icon).box_shows_system_icon) << "not the system icon wanted";
    }

    std::vector<Step> steps_;
    const wchar_t* const drives_env_ = _wgetenv(L"TAVRIN_WINE_DRIVES");
    const std::wstring drives_ = drives_env_ != nullptr ? drives_env_ : L"";
    int dpi_ = USER_DEFAULT_SCREEN_DPI;         // the display's, when Tavrin started
    int layout_dpi_ = USER_DEFAULT_SCREEN_DPI;  // its monitor's, as it last heard
    RECT moved_to_{};
    PROCESS_INFORMATION process_{};
    HHOOK start_hook_ = nullptr;  // the probe library's on_start, from before Tavrin runs
    HWND form_ = nullptr, button_ = nullptr, text_ = nullptr, box_ = nullptr, box_ok_ = nullptr;
    std::wstring box_prompt_;
};

// "== Name" starts a scenario; each line after it is a step, a verb and its argument, in which
// "\r" and "\n" stand for those characters; lines starting with "#" are comments.
bool register_scenarios(const std::filesystem::path& path) {
    std::ifstream file{path};
    std::vector<std::pair<Step, std::vector<Step>>> scenarios;  // the "==" line, the steps
    std::string bytes;
    for (int number = 1; std::getline(file, bytes); ++number) {
        bytes.erase(bytes.find_last_not_of(" \r") + 1);
        std::wistringstream line(
            std::filesystem::path(reinterpret_cast<const char8_t*>(bytes.c_str())).wstring());
        Step step{number, {}, {}};
        std::getline(line >> step.verb >> std::ws, step.argument);
        step.argument =
            std::regex_replace(std::regex_replace(step.argument, std::wregex(LR"(\\r)"), L"\r"),
                               std::wregex(LR"(\\n)"), L"\n");
        if (step.verb == L"==")
            scenarios.push_back({step, {}});
        else if (!step.verb.empty() && step.verb[0] != L'#' && !scenarios.empty())
            scenarios.back().second.push_back(step);
    }
    for (const auto& [header, steps] : scenarios) {
        testing::RegisterTest("Scenario",
                              (testing::Message() << header.argument).GetString().c_str(), nullptr,
                              nullptr, scenario_file.c_str(), header.line,
                              [steps]() -> ScenarioTest* { return new ScenarioTest(steps); });
    }
    return !scenarios.empty();
}

}  // namespace
}  // namespace e2e

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();  // positions and sizes in real pixels, whatever the display's setting
    testing::InitGoogleTest(&argc, argv);
    if (argc != 3 || e2e::shared_probe == nullptr) {  // or the probe library is not beside it
        std::fputs("usage: tavrin_e2e [gtest flags] Tavrin.exe scenarios.txt\n", stderr);
        return 2;
    }
    e2e::tavrin_exe = argv[1];
    e2e::scenario_file = (testing::Message() << argv[2]).GetString();
    e2e::app_defaults =
        L"Software\\Wine\\AppDefaults\\" + std::filesystem::path(argv[1]).filename().wstring();
    return e2e::register_scenarios(argv[2]) ? RUN_ALL_TESTS() : 2;
}
