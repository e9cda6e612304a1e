// Process set-up that must happen before anything else runs.
#pragma once

namespace platform {

// The program is usually started from a USB stick: libraries are loaded from the system
// directory only, never from the program's own folder, and an empty drive never raises a
// "no disk" dialog of the system's own.
void harden_process();

}  // namespace platform
