#include "platform/automation.h"

#include <charconv>

namespace platform {

Object::Object(std::unique_ptr<Dispatch> dispatch) : dispatch_(std::move(dispatch)) {}
Object::Object(Object&&) noexcept = default;
Object& Object::operator=(Object&&) noexcept = default;
Object::~Object() = default;

Dispatch& Object::dispatch() const {
    if (!dispatch_) {
        raise(codes::kInvalidPointer);
    }
    return *dispatch_;
}

Value Object::get(TextView property) const {
    return invoke(property, {});
}

Value Object::invoke(TextView member, std::span<const Value> args) const {
    return dispatch().invoke(member, args);
}

Object::Elements Object::elements() const {
    return Elements(dispatch().enumerate());
}

const Text& Value::text() const {
    if (const Text* t = std::get_if<Text>(&v_)) {
        return *t;
    }
    raise(codes::kTypeMismatch);
}

Object Value::object() && {
    if (Object* o = std::get_if<Object>(&v_)) {
        return std::move(*o);
    }
    raise(codes::kTypeMismatch);
}

namespace {

bool equals_ignoring_case(TextView text, std::string_view ascii) {
    if (text.size() != ascii.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != static_cast<char16_t>(ascii[i])) {
            return false;
        }
    }
    return true;
}

TextView trim(TextView text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// A text that spells a boolean or a number: [+-]digits[.digits][e[+-]digits]. A number is
// true when any digit of its mantissa is non-zero; no floating point is needed for that.
bool text_to_bool(TextView text) {
    text = trim(text);
    if (equals_ignoring_case(text, "true") || equals_ignoring_case(text, "#true#")) {
        return true;
    }
    if (equals_ignoring_case(text, "false") || equals_ignoring_case(text, "#false#")) {
        return false;
    }
    std::size_t i = 0;
    const auto skip_sign = [&] {
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
            ++i;
        }
    };
    bool digits = false;
    bool non_zero = false;
    const auto mantissa_digits = [&] {
        for (; i < text.size() && is_digit(text[i]); ++i) {
            digits = true;
            non_zero = non_zero || text[i] != u'0';
        }
    };
    skip_sign();
    mantissa_digits();
    if (i < text.size() && text[i] == u'.') {
        ++i;
        mantissa_digits();
    }
    if (digits && i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        skip_sign();
        const std::size_t exponent = i;
        while (i < text.size() && is_digit(text[i])) {
            ++i;
        }
        if (i == exponent) {
            raise(codes::kTypeMismatch);
        }
    }
    if (!digits || i != text.size()) {
        raise(codes::kTypeMismatch);
    }
    return non_zero;
}

template <class Integer>
Text decimal(Integer number) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return Text(buffer, result.ptr);
}

}  // namespace

bool to_bool(const Value& value) {
    struct Visitor {
        bool operator()(std::monostate) const { return false; }
        bool operator()(Null) const { return false; }
        bool operator()(bool b) const { return b; }
        bool operator()(std::int64_t i) const { return i != 0; }
        bool operator()(std::uint64_t u) const { return u != 0; }
        bool operator()(double d) const { return d != 0; }
        bool operator()(const Text& t) const { return text_to_bool(t); }
        bool operator()(const Object&) const { raise(codes::kTypeMismatch); }
    };
    return std::visit(Visitor{}, value.storage());
}

Text to_decimal(const Value& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value.storage())) {
        return decimal(*i);
    }
    if (const auto* u = std::get_if<std::uint64_t>(&value.storage())) {
        return decimal(*u);
    }
    raise(codes::kTypeMismatch);
}

void raise(std::int32_t code) {
    throw Error(code, describe(code));
}

}  // namespace platform
