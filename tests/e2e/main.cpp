// The end-to-end driver: runs Tavrin.exe and checks it from outside, through its windows.
//
//   tavrin_e2e.exe --tavrin=C:\path\Tavrin.exe [gtest flags]
//   tavrin_e2e.exe --tavrin=... --pose-for-screenshot
//
// The path may come from TAVRIN_EXE instead. run-e2e.sh makes the Wine prefix, the display and
// the drives it expects, and says which in TAVRIN_E2E_DRIVES and TAVRIN_E2E_DPI.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e_test.h"
#include "tavrin_app.h"

namespace {

// Leaves Tavrin running with the report of the drive set "several" in it, the window in front
// and the mouse out of the way, and prints where the window is: "window LEFT TOP WIDTH HEIGHT".
int pose_for_screenshot() {
    using namespace e2e;
    std::wstring error;
    park_mouse();
    const auto app = Tavrin::start({}, &error);
    if (app == nullptr) {
        std::fprintf(stderr, "%s\n", utf8(error).c_str());
        return 1;
    }
    if (!app->bring_to_front()) {
        std::fprintf(stderr, "Tavrin's window did not come to the front\n");
        return 1;
    }
    click_centre(app->button());
    park_mouse();
    if (!wait_until([&] { return text_of(app->text_box()) == kSeveralDrivesReport; })) {
        std::fprintf(stderr, "no report of three drives: \"%s\"\n",
                     utf8(text_of(app->text_box())).c_str());
        return 1;
    }
    const HWND tip = app->tool_tips();
    wait_until([&] { return tip == nullptr || !IsWindowVisible(tip); });
    RECT rect{};
    GetWindowRect(app->form(), &rect);
    std::printf("window %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    std::fflush(stdout);
    app->keep_running();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Window positions and sizes in real pixels, whatever the display's setting.
    SetProcessDPIAware();
    testing::InitGoogleTest(&argc, argv);
    std::wstring tavrin = e2e::environment_value(L"TAVRIN_EXE");
    bool pose = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument.rfind(L"--tavrin=", 0) == 0) {
            tavrin = argument.substr(9);
        } else if (argument == L"--pose-for-screenshot") {
            pose = true;
        } else {
            std::fprintf(stderr, "unknown argument: %s\n", e2e::utf8(argument).c_str());
            return 2;
        }
    }
    if (tavrin.empty()) {
        std::fprintf(stderr, "usage: tavrin_e2e --tavrin=PATH\\Tavrin.exe [gtest flags]\n");
        return 2;
    }
    e2e::set_tavrin_path(tavrin);
    return pose ? pose_for_screenshot() : RUN_ALL_TESTS();
}
