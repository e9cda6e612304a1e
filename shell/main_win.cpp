// Entry point: hands the project header to the forms run time. Arguments are ignored.
#include <windows.h>

#include "platform/startup_win.h"
#include "shell/form1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::harden_process();
    return platform::run(shell::kProject);
}
