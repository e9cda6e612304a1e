// Failure descriptions where the platform has no message table of its own: the run time's.
#include "platform/error.h"

namespace platform {

Text describe(std::int32_t code) {
    return own_description(code).value_or(unknown_failure(code));
}

}  // namespace platform
