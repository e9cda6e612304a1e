// The automation objects of the Linux build, answered from udev: the management service with
// its removable logical-disk query, and the file-system object with its drives. Names are
// matched without regard to case, as late-bound callers expect.
#pragma once

#include "platform/automation.h"

namespace drive_report {

// The object a moniker names: only the management service, "winmgmts:\\.\root\cimv2".
platform::Object udev_get_object(platform::TextView moniker);

// A new object of a class: only "Scripting.FileSystemObject".
platform::Object udev_create_object(platform::TextView class_name);

}  // namespace drive_report
