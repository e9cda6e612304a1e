// Failure descriptions where the platform has no message table of its own.
#include "platform/error.h"

namespace platform {

Text describe(std::int32_t code) {
    switch (code) {
        case codes::kTypeMismatch:
            return u"类型不匹配。";
        case codes::kUnknownName:
            return u"未知名称。";
        case codes::kOutOfMemory:
            return u"内存不足。";
        case codes::kInvalidPointer:
            return u"无效指针。";
        case codes::kNotImplemented:
            return u"未实现。";
        default:
            return u"自动化错误。";
    }
}

}  // namespace platform
