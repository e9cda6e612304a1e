// The drive report: one entry per ready removable drive, its identifier followed directly by
// its volume serial number in decimal, entries joined by CR LF.
#pragma once

#include "platform/forms.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace drive_report {

// Appends one entry: a CR LF first unless the report is still empty.
void append_entry(platform::Text& report, platform::TextView device_id, platform::TextView serial);

// The click of Command1: builds the report into Text1, or asks for a drive when none is ready.
void Command1_Click(platform::Runtime& runtime, platform::Form& form);

}  // namespace drive_report
