// Start-up time and memory of Tavrin.exe against a minimal one-window program, launched
// alternately and each timed from CreateProcess until its window is visible. Then three launches
// of each for memory: Tavrin.exe's peak working set after Command1 is clicked (BM_CLICK) and the
// report is in Text1, the other's once its window is up. Prints figures only.
//
//   bench_startup.exe [launches each] [Tavrin.exe] [minimal_window.exe]
// The programs default to those beside this one. A window is known by either program's caption,
// so another build of Tavrin.exe can stand in either place.
#include <windows.h>

#include <psapi.h>

#include <cstdlib>
#include <string>

#include "bench/figures.h"
#include "platform/owner.h"
#include "resources/strings.h"

namespace {

constexpr DWORD kTimeoutMs = 60000;
const std::wstring kCaptions[] = {
    std::wstring(strings::kFormCaption.begin(), strings::kFormCaption.end()), L"Minimal window"};

[[noreturn]] void fail(const char* what, const std::wstring& program) {
    std::fprintf(stderr, "bench_startup: %s: %ls\n", what, program.c_str());
    std::exit(2);
}

// Starts `program`, waits for its window, hands it and the process to `use`, closes the window
// and waits for the process to end. Returns the milliseconds until the window was visible.
template <class Use>
double launch(const std::wstring& program, Use&& use) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command_line = L"\"" + program + L"\"";
    const double start = figures::now_ms();
    if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        fail("cannot start", program);
    }
    using Handle = platform::Owner<HANDLE, CloseHandle>;
    const Handle owned_process(process.hProcess), owned_thread(process.hThread);
    // Both programs are idle once their window is up; polling after that takes nothing from them.
    WaitForInputIdle(process.hProcess, kTimeoutMs);
    HWND window = nullptr;
    while (window == nullptr) {
        for (const std::wstring& caption : kCaptions) {
            const HWND found = FindWindowW(nullptr, caption.c_str());
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            window = owner == process.dwProcessId && IsWindowVisible(found) ? found : window;
        }
        if (window == nullptr && (figures::now_ms() - start > kTimeoutMs ||
                                  WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)) {
            fail("no window from", program);
        }
    }
    const double elapsed = figures::now_ms() - start;
    use(window, process.hProcess);
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, kTimeoutMs) != WAIT_OBJECT_0) {
        fail("did not end", program);
    }
    return elapsed;
}

double peak_working_set_kib(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / 1024;
}

// Clicks Command1, whose handler runs inside BM_CLICK and leaves the report in Text1. A message
// box instead (no drive ready) holds the click until the time-out.
double click_ms(HWND form) {
    const HWND button = FindWindowExW(form, nullptr, L"Button", nullptr);
    const double start = figures::now_ms();
    DWORD_PTR length = 0;
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, kTimeoutMs, &length);
    const double elapsed = figures::now_ms() - start;
    SendMessageTimeoutW(FindWindowExW(form, nullptr, L"Edit", nullptr), WM_GETTEXTLENGTH, 0, 0,
                        SMTO_NORMAL, kTimeoutMs, &length);
    if (length == 0) {
        fail("no report in Text1 after a click", L"Tavrin.exe");
    }
    return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int launches = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10;
    wchar_t path[MAX_PATH];
    std::wstring here(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    here.resize(here.find_last_of(L"\\/") + 1);
    const std::wstring tavrin = argc > 2 ? argv[2] : here + L"Tavrin.exe";
    const std::wstring minimal = argc > 3 ? argv[3] : here + L"minimal_window.exe";

    const auto ours = [&] { return launch(tavrin, [](HWND, HANDLE) {}); };
    const auto base = [&] { return launch(minimal, [](HWND, HANDLE) {}); };
    figures::side_by_side(1, ours, base);  // the files come into the cache, the server warms up
    const figures::Pairs start_up = figures::side_by_side(launches, ours, base);
    std::printf("Launches: %d of each, alternating (after one warm-up each)\n", launches);
    figures::print("start-up", "Tavrin.exe", "minimal window", start_up);

    std::vector<double> clicks;
    double peak = 0;
    const figures::Pairs memory = figures::side_by_side(
        3,
        [&] {
            launch(tavrin, [&](HWND window, HANDLE process) {
                clicks.push_back(click_ms(window));
                peak = peak_working_set_kib(process);
            });
            return peak;
        },
        [&] {
            launch(minimal, [&](HWND, HANDLE process) { peak = peak_working_set_kib(process); });
            return peak;
        });
    std::printf("| %-40s | median %9.2f ms  |\n", "click in Tavrin.exe, end to end",
                figures::median(clicks));
    figures::print("peak WS", "Tavrin.exe, after a click", "minimal window", memory, "KiB");
    return 0;
}
