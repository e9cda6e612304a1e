// Start-up time and memory of Tavrin.exe against a minimal one-window program.
//
// Start-up: the two programs are launched alternately, each time from CreateProcess until
// its window (found by caption, owned by the new process) is visible; then the window is
// sent WM_CLOSE and the process waited for. Memory: Tavrin.exe is started, Command1 is
// clicked (BM_CLICK) and the report waited for in Text1, then the process's peak working
// set is read; the minimal program's is read once its window is up. Prints figures only.
//
//   bench_startup.exe [--start-up-only] [launches each] [Tavrin.exe] [minimal_window.exe]
// The programs default to Tavrin.exe and minimal_window.exe beside this one; the first is
// found by the caption "TavrinV2", the second by "Minimal window".
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

using bench::median;
using bench::narrow;
using bench::now_ms;

constexpr DWORD kTimeoutMs = 60000;

struct Program {
    std::wstring path;
    const wchar_t* caption;
};

struct WindowSearch {
    DWORD process_id;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.process_id || !IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t caption[128];
    if (GetWindowTextW(window, caption, 128) > 0 && std::wcscmp(caption, search.caption) == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// The visible top-level window of `process_id` with `caption`, if there is one yet.
HWND visible_window(DWORD process_id, const wchar_t* caption) {
    WindowSearch search{process_id, caption, nullptr};
    EnumWindows(&match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ChildSearch {
    const wchar_t* class_suffix;
    HWND found;
};

bool ends_with_ignoring_case(const wchar_t* text, const wchar_t* suffix) {
    const std::size_t length = std::wcslen(text);
    const std::size_t suffix_length = std::wcslen(suffix);
    if (length < suffix_length) {
        return false;
    }
    for (std::size_t i = 0; i < suffix_length; ++i) {
        if (std::towlower(text[length - suffix_length + i]) != std::towlower(suffix[i])) {
            return false;
        }
    }
    return true;
}

BOOL CALLBACK match_child(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<ChildSearch*>(context);
    wchar_t class_name[128];
    // Class names may carry a version prefix ("6.0...!Button") under a manifest.
    if (GetClassNameW(window, class_name, 128) > 0 &&
        ends_with_ignoring_case(class_name, search.class_suffix)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND child_of_class(HWND parent, const wchar_t* class_suffix) {
    ChildSearch search{class_suffix, nullptr};
    EnumChildWindows(parent, &match_child, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// One started program; closed and waited for when it goes.
class Launch {
  public:
    Launch(const Program& program) : program_(program) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        std::wstring command_line = L"\"" + program.path + L"\"";
        started_ = now_ms();
        if (!CreateProcessW(program.path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &process_)) {
            std::fprintf(stderr, "bench_startup: cannot start %s (error %lu)\n",
                         narrow(program.path).c_str(), GetLastError());
            std::exit(2);
        }
    }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    ~Launch() {
        if (window_ != nullptr) {
            PostMessageW(window_, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(process_.hProcess, kTimeoutMs) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "bench_startup: %s did not end; terminating it\n",
                         narrow(program_.path).c_str());
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, kTimeoutMs);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    // Milliseconds from CreateProcess to the window being visible.
    // Both programs show their window and then wait for messages, so the wait for input idle
    // ends about when the window is up; polling only covers the rest. Polling all along
    // would take processor time from the program being measured.
    double wait_for_window() {
        const double deadline = started_ + kTimeoutMs;
        WaitForInputIdle(process_.hProcess, kTimeoutMs);
        while ((window_ = visible_window(process_.dwProcessId, program_.caption)) == nullptr) {
            if (now_ms() > deadline || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
                std::fprintf(stderr, "bench_startup: no window from %s\n",
                             narrow(program_.path).c_str());
                std::exit(2);
            }
            Sleep(1);
        }
        return now_ms() - started_;
    }

    HWND window() const { return window_; }
    HANDLE process() const { return process_.hProcess; }

  private:
    const Program& program_;
    PROCESS_INFORMATION process_{};
    double started_ = 0;
    HWND window_ = nullptr;
};

struct Memory {
    SIZE_T peak_working_set = 0;
    SIZE_T working_set = 0;
    SIZE_T private_bytes = 0;
};

Memory memory_of(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    Memory memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
        memory.peak_working_set = counters.PeakWorkingSetSize;
        memory.working_set = counters.WorkingSetSize;
        memory.private_bytes = counters.PrivateUsage;
    }
    return memory;
}

// Clicks Command1 and waits for the report in Text1; returns the report and the time taken.
std::optional<std::pair<std::wstring, double>> click(HWND form) {
    const HWND button = child_of_class(form, L"Button");
    const HWND text_box = child_of_class(form, L"Edit");
    if (button == nullptr || text_box == nullptr) {
        std::fprintf(stderr, "bench_startup: Command1 or Text1 not found\n");
        return std::nullopt;
    }
    const double start = now_ms();
    DWORD_PTR answer = 0;
    // The handler runs inside BM_CLICK. A message box (no drive ready) would hold it: the
    // time-out then ends the wait.
    if (!SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, kTimeoutMs, &answer)) {
        std::fprintf(stderr, "bench_startup: the click did not come back\n");
        return std::nullopt;
    }
    DWORD_PTR length = 0;
    while (
        SendMessageTimeoutW(text_box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kTimeoutMs, &length) &&
        length == 0) {
        if (now_ms() - start > kTimeoutMs) {
            std::fprintf(stderr, "bench_startup: Text1 stayed empty\n");
            return std::nullopt;
        }
        Sleep(1);
    }
    const double elapsed = now_ms() - start;
    std::wstring text(length + 1, L'\0');
    const DWORD_PTR copied =
        SendMessageW(text_box, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied);
    return std::make_pair(std::move(text), elapsed);
}

double kib(SIZE_T bytes) {
    return static_cast<double>(bytes) / 1024.0;
}

std::wstring beside_this_program(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path, length);
    const std::size_t slash = result.find_last_of(L"\\/");
    result.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return result + name;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool memory = true;
    std::vector<std::wstring> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--start-up-only") == 0) {
            memory = false;
        } else {
            positional.emplace_back(argv[i]);
        }
    }
    int launches = 10;
    if (!positional.empty() && std::wcstol(positional[0].c_str(), nullptr, 10) > 0) {
        launches = static_cast<int>(std::wcstol(positional[0].c_str(), nullptr, 10));
    }
    const Program tavrin{positional.size() > 1 ? positional[1] : beside_this_program(L"Tavrin.exe"),
                         L"TavrinV2"};
    const Program minimal{
        positional.size() > 2 ? positional[2] : beside_this_program(L"minimal_window.exe"),
        L"Minimal window"};

    // One launch of each first: the files come into the cache, the server warms up.
    for (const Program* program : {&tavrin, &minimal}) {
        Launch launch(*program);
        launch.wait_for_window();
    }

    std::vector<double> tavrin_ms;
    std::vector<double> minimal_ms;
    for (int i = 0; i < launches; ++i) {
        const bool tavrin_first = i % 2 == 0;
        for (int j = 0; j < 2; ++j) {
            const bool is_tavrin = (j == 0) == tavrin_first;
            Launch launch(is_tavrin ? tavrin : minimal);
            (is_tavrin ? tavrin_ms : minimal_ms).push_back(launch.wait_for_window());
        }
    }

    std::printf("Launches:                 %d of each, alternating (after one warm-up each)\n",
                launches);
    const double tavrin_median = median(tavrin_ms);
    const double minimal_median = median(minimal_ms);
    std::printf("| start-up: Tavrin.exe (x64)       | median %8.1f ms | min %8.1f ms |\n",
                tavrin_median, *std::min_element(tavrin_ms.begin(), tavrin_ms.end()));
    std::printf("| start-up: minimal window (x64)   | median %8.1f ms | min %8.1f ms |\n",
                minimal_median, *std::min_element(minimal_ms.begin(), minimal_ms.end()));
    // The load of the machine drifts over a run; the ratio within each round (the two launches
    // next to each other) follows it least.
    std::vector<double> pair_ratios;
    for (std::size_t i = 0; i < tavrin_ms.size(); ++i) {
        pair_ratios.push_back(tavrin_ms[i] / minimal_ms[i]);
    }
    std::printf(
        "| start-up: ratio Tavrin / minimal | medians %6.3fx  | mins %6.3fx   |"
        " median of pairs %.3fx |\n",
        tavrin_median / minimal_median,
        *std::min_element(tavrin_ms.begin(), tavrin_ms.end()) /
            *std::min_element(minimal_ms.begin(), minimal_ms.end()),
        median(pair_ratios));
    if (!memory) {
        return 0;
    }

    // Memory: three launches of each; the median of each figure.
    constexpr int kMemoryLaunches = 3;
    std::vector<double> tavrin_peak_before;
    std::vector<double> tavrin_peak_after;
    std::vector<double> minimal_peak;
    std::vector<double> click_ms;
    std::wstring report;
    for (int i = 0; i < kMemoryLaunches; ++i) {
        {
            Launch launch(tavrin);
            launch.wait_for_window();
            tavrin_peak_before.push_back(kib(memory_of(launch.process()).peak_working_set));
            const auto clicked = click(launch.window());
            if (!clicked) {
                return 2;
            }
            report = clicked->first;
            click_ms.push_back(clicked->second);
            tavrin_peak_after.push_back(kib(memory_of(launch.process()).peak_working_set));
        }
        {
            Launch launch(minimal);
            launch.wait_for_window();
            minimal_peak.push_back(kib(memory_of(launch.process()).peak_working_set));
        }
    }

    const std::size_t entries =
        report.empty() ? 0 : 1 + std::count(report.begin(), report.end(), L'\n');
    std::printf("\nText1 after a click:      %zu drives, first \"%s\"\n", entries,
                narrow(report.substr(0, report.find(L'\r'))).c_str());
    std::printf("| click in Tavrin.exe, end to end  | median %8.1f ms |\n", median(click_ms));
    std::printf("| peak WS: Tavrin.exe, started     | median %8.0f KiB |\n",
                median(tavrin_peak_before));
    std::printf("| peak WS: Tavrin.exe, after click | median %8.0f KiB |\n",
                median(tavrin_peak_after));
    std::printf("| peak WS: minimal window          | median %8.0f KiB |\n", median(minimal_peak));
    std::printf("| peak WS: ratio Tavrin / minimal  | medians %6.3fx  |\n",
                median(tavrin_peak_after) / median(minimal_peak));
    return 0;
}
