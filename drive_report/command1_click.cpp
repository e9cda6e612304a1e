#include "drive_report/drive_report.h"
#include "resources/strings.h"

namespace drive_report {

using platform::Form;
using platform::Object;
using platform::Text;
using platform::TextView;

namespace {

// Each look-up goes through a fresh file-system object and a fresh drive object, both
// released as soon as the answer is out.
Object drive(const Form& form, TextView device_id) {
    const Object file_system = form.create_object(kFileSystemObject);
    return file_system.call(u"GetDrive", Text(device_id)).object();
}

}  // namespace

void Command1_Click(Form& form) {
    Text report;
    const Object service = form.get_object(kManagementService);
    const Object disks = service.call(u"ExecQuery", Text(kRemovableDisksQuery)).object();
    for (platform::Value& element : disks.elements()) {
        const Object disk = std::move(element).object();
        const Text device_id = disk.get(u"DeviceID").text();
        if (!platform::to_bool(drive(form, device_id).get(u"IsReady"))) {
            continue;
        }
        if (!report.empty()) {
            report += u"\r\n";
        }
        report += device_id + platform::to_decimal(drive(form, device_id).get(u"SerialNumber"));
    }
    if (!report.empty()) {
        form.set_text(u"Text1", report);
    } else {
        form.message_box(strings::kNoDrivePrompt, platform::styles::kInformation,
                         strings::kNoDriveTitle);
    }
}

}  // namespace drive_report
