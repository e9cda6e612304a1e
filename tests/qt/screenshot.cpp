// Draws the window after a click that found three drives, for the documentation:
//   tavrin_screenshot OUT.png
// Runs on any Qt platform (offscreen included); the machine behind the click is scripted.
#include <QApplication>
#include <QPushButton>

#include <cstdio>

#include "platform/forms_qt.h"
#include "scripted_automation.h"
#include "shell/form1.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavrin_screenshot OUT.png\n");
        return 2;
    }
    testing_support::ScriptedMachine machine;
    machine.disks = {{.device_id = u"E:", .serial = -1056969216},
                     {.device_id = u"F:", .serial = 2147483647},
                     {.device_id = u"G:", .serial = 20231208}};
    platform::qt::QtForm form(
        shell::kProject, {[&](platform::TextView moniker) { return machine.get_object(moniker); },
                          [&](platform::TextView name) { return machine.create_object(name); }});
    form.show();
    qobject_cast<QPushButton*>(form.control(shell::kCommand1))->click();
    QApplication::processEvents();
    return form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
