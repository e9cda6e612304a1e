// Entry point: hands the project header and the udev objects to the forms run time. Arguments
// are ignored, the ones Qt would read among them (-platform, -style, --reverse ...): Qt sees the
// program name alone.
#include <QApplication>

#include "drive_report/automation_udev.h"
#include "shell/form1.h"

int main(int argc, char* argv[]) {
    char fallback_name[] = "tavrin";
    char* qt_argv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallback_name, nullptr};
    int qt_argc = 1;
    const QApplication application(qt_argc, qt_argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("tavrin"));
    return platform::run(shell::kProject,
                         {&drive_report::udev_get_object, &drive_report::udev_create_object});
}
