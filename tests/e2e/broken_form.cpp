// Tavrin whose window cannot be made whole: the form's second control is refused, as when the
// system runs out of window handles, after the window itself exists.
#include <windows.h>

#include "platform/forms.h"
#include "shell/form1.h"

namespace {

int children = 0;

LRESULT CALLBACK refuse_the_second_control(int code, WPARAM window, LPARAM details) {
    if (code == HCBT_CREATEWND &&
        (reinterpret_cast<CBT_CREATEWNDW*>(details)->lpcs->style & WS_CHILD) != 0 &&
        ++children == 2) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, window, details);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SetWindowsHookExW(WH_CBT, &refuse_the_second_control, nullptr, GetCurrentThreadId());
    return platform::run(shell::kProject);
}
