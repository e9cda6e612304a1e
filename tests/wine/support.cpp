#include "tests/wine/support.h"

#include <wrl/client.h>

#include <cstdio>

#include "platform/automation_win.h"

namespace tavrin_test {

std::string outcome(const std::function<platform::Value()>& action) {
    try {
        const platform::Value value = action();
        struct Show {
            std::string operator()(std::monostate) const { return "empty"; }
            std::string operator()(platform::Null) const { return "null"; }
            std::string operator()(bool b) const { return b ? "bool:true" : "bool:false"; }
            std::string operator()(std::int64_t i) const { return "int64:" + std::to_string(i); }
            std::string operator()(std::uint64_t u) const { return "uint64:" + std::to_string(u); }
            std::string operator()(double d) const {
                char text[32];
                std::snprintf(text, sizeof text, "double:%g", d);
                return text;
            }
            std::string operator()(const platform::Text& t) const {
                return "text:" + platform::to_utf8(t);
            }
            std::string operator()(const platform::Object&) const { return "object"; }
        };
        return std::visit(Show{}, value.storage());
    } catch (const platform::Error& error) {
        std::string shown = "error " + std::to_string(error.number());
        if (error.description() != platform::describe(error.number())) {
            shown += " " + platform::to_utf8(error.description());
        }
        return shown;
    }
}

platform::Error error_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::Error& error) {
        EXPECT_FALSE(error.description().empty());
        return error;
    }
    ADD_FAILURE() << "no error was raised";
    return platform::Error(0, u"");
}

void set_error_info(const wchar_t* description) {
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(CreateErrorInfo(&create)) &&
        SUCCEEDED(create->SetDescription(const_cast<LPOLESTR>(description))) &&
        SUCCEEDED(create.As(&info))) {
        SetErrorInfo(0, info.Get());
    }
}

}  // namespace tavrin_test
