// The drive report: one entry per ready removable drive, its identifier followed directly by
// its volume serial number in decimal, entries joined by CR LF.
#pragma once

#include "platform/forms.h"

namespace drive_report {

// What the click asks the platform for: the local machine's management service, its query for
// the removable logical disks, and the file-system object.
inline constexpr platform::TextView kManagementService = u"winmgmts:\\\\.\\root\\cimv2";
inline constexpr platform::TextView kRemovableDisksQuery =
    u"Select * from Win32_LogicalDisk Where DriveType = 2";
inline constexpr platform::TextView kFileSystemObject = u"Scripting.FileSystemObject";

// The click of Command1: builds the report into Text1, or asks for a drive when none is ready.
void Command1_Click(platform::Form& form);

}  // namespace drive_report
