#include "drive_report/drive_report.h"
#include "resources/strings.h"
#include "shell/form1.h"

namespace drive_report {

using platform::Object;
using platform::Runtime;
using platform::Text;
using platform::TextView;

namespace {

constexpr TextView kManagementService = u"winmgmts:\\\\.\\root\\cimv2";
constexpr TextView kRemovableDisksQuery = u"Select * from Win32_LogicalDisk Where DriveType = 2";
constexpr TextView kFileSystemObject = u"Scripting.FileSystemObject";

// Each look-up goes through a fresh file-system object and a fresh drive object, both
// released as soon as the answer is out.
Object drive(Runtime& runtime, TextView device_id) {
    const Object file_system = runtime.create_object(kFileSystemObject);
    return file_system.call(u"GetDrive", Text(device_id)).object();
}

bool is_ready(Runtime& runtime, TextView device_id) {
    return platform::to_bool(drive(runtime, device_id).get(u"IsReady"));
}

Text serial_number(Runtime& runtime, TextView device_id) {
    return platform::to_decimal(drive(runtime, device_id).get(u"SerialNumber"));
}

}  // namespace

void append_entry(Text& report, TextView device_id, TextView serial) {
    if (!report.empty()) {
        report += u"\r\n";
    }
    report += device_id;
    report += serial;
}

void Command1_Click(Runtime& runtime, platform::Form& form) {
    Text report;
    const Object service = runtime.get_object(kManagementService);
    const Object disks = service.call(u"ExecQuery", Text(kRemovableDisksQuery)).object();
    for (platform::Value& element : disks.elements()) {
        const Object disk = std::move(element).object();
        const Text device_id = disk.get(u"DeviceID").text();
        if (!is_ready(runtime, device_id)) {
            continue;
        }
        append_entry(report, device_id, serial_number(runtime, device_id));
    }
    if (!report.empty()) {
        form.set_text(shell::kText1, report);
    } else {
        runtime.message_box(strings::kNoDrivePrompt, platform::styles::kInformation,
                            strings::kNoDriveTitle);
    }
}

}  // namespace drive_report
