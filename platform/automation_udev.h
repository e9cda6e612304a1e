// The automation objects of the Linux build, answered from udev: the management service with
// its removable logical-disk query, and the file-system object with its drives. Member names
// are matched without regard to case, as late-bound callers expect.
#pragma once

#include "platform/automation.h"
#include "platform/text.h"

namespace platform {

// Failure codes of the udev back end (signed views of the HRESULTs Windows raises).
namespace codes {
inline constexpr std::int32_t kMonikerSyntax = static_cast<std::int32_t>(0x800401E4);
inline constexpr std::int32_t kClassString = static_cast<std::int32_t>(0x800401F3);
inline constexpr std::int32_t kBadParamCount = static_cast<std::int32_t>(0x8002000E);
inline constexpr std::int32_t kInvalidQuery = static_cast<std::int32_t>(0x80041017);
inline constexpr std::int32_t kDeviceUnavailable = static_cast<std::int32_t>(0x800A0044);
inline constexpr std::int32_t kDiskNotReady = static_cast<std::int32_t>(0x800A0047);
}  // namespace codes

// The object a moniker names: only the management service, "winmgmts:\\.\root\cimv2".
Object udev_get_object(TextView moniker);

// A new object of a class: only "Scripting.FileSystemObject".
Object udev_create_object(TextView class_name);

}  // namespace platform
