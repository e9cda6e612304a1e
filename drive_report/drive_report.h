// The drive report: one entry per ready removable drive, its identifier followed directly by
// its volume serial number in decimal, entries joined by CR LF.
#pragma once

#include "platform/forms.h"

namespace drive_report {

// The click of Command1: builds the report into Text1, or asks for a drive when none is ready.
void Command1_Click(platform::Form& form);

}  // namespace drive_report
