#include "tests/wine/test_support.h"

#include <cstdio>
#include <variant>

namespace tavrin_test {

std::string show(const platform::Value& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "empty"; }
        std::string operator()(platform::Null) const { return "null"; }
        std::string operator()(bool b) const { return b ? "bool:true" : "bool:false"; }
        std::string operator()(std::int64_t i) const { return "int64:" + std::to_string(i); }
        std::string operator()(std::uint64_t u) const { return "uint64:" + std::to_string(u); }
        std::string operator()(double d) const {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "double:%g", d);
            return buffer;
        }
        std::string operator()(const platform::Text& t) const {
            return "text:" + platform::to_utf8(t);
        }
        std::string operator()(const platform::Object&) const { return "object"; }
    };
    return std::visit(Visitor{}, value.storage());
}

std::string show_number(std::int32_t number) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%ld (0x%08lX)", static_cast<long>(number),
                  static_cast<unsigned long>(static_cast<std::uint32_t>(number)));
    return buffer;
}

}  // namespace tavrin_test
