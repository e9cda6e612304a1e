// The one error type of the program: a number and a description.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>

#include "platform/text.h"

namespace platform {

// Failure codes the program raises itself (signed views of the usual HRESULTs).
namespace codes {
inline constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);
inline constexpr std::int32_t kUnknownName = static_cast<std::int32_t>(0x80020006);
inline constexpr std::int32_t kOutOfMemory = static_cast<std::int32_t>(0x8007000E);
inline constexpr std::int32_t kInvalidPointer = static_cast<std::int32_t>(0x80004003);
inline constexpr std::int32_t kUnexpected = static_cast<std::int32_t>(0x8000FFFF);
inline constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057);
// Raised by the Linux objects as their Windows counterparts raise them.
inline constexpr std::int32_t kMonikerSyntax = static_cast<std::int32_t>(0x800401E4);
inline constexpr std::int32_t kClassString = static_cast<std::int32_t>(0x800401F3);
inline constexpr std::int32_t kBadParamCount = static_cast<std::int32_t>(0x8002000E);
inline constexpr std::int32_t kInvalidQuery = static_cast<std::int32_t>(0x80041017);
inline constexpr std::int32_t kDeviceUnavailable = static_cast<std::int32_t>(0x800A0044);
inline constexpr std::int32_t kDiskNotReady = static_cast<std::int32_t>(0x800A0047);
}  // namespace codes

class Error : public std::exception {
  public:
    Error(std::int32_t number, Text description)
        : number_(number), description_(std::move(description)) {}

    std::int32_t number() const { return number_; }
    const Text& description() const { return description_; }
    const char* what() const noexcept override { return "automation error"; }

  private:
    std::int32_t number_;
    Text description_;
};

// Raises the error for a failure code, described by the platform.
[[noreturn]] void raise(std::int32_t code);

// The description of a failure code in the program's language (error_win.cpp, host.cpp):
// on Windows the management service's own text for its codes, then the run time's table,
// then the system's message; on Linux the run time's table; for a code nobody knows
// "自动化错误 0x" and the code.
Text describe(std::int32_t code);

// The run time's own description of a code, from its table in resources/strings.h.
std::optional<Text> own_description(std::int32_t code);
// The description of a code nobody knows: "自动化错误 0x800A0044".
Text unknown_failure(std::int32_t code);
// A code as eight upper-case hex digits.
Text format_hex32(std::uint32_t number);

}  // namespace platform
