// Entry point: hands the project header and the platform's automation objects to the forms
// run time. Arguments are ignored.
#include "platform/win32.h"
#include "shell/form1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    platform::harden_process();
    return platform::run(shell::kProject,
                         {&platform::com_get_object, &platform::com_create_object});
}
