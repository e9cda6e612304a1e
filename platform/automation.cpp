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
    return dispatch().invoke(property, {});
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

Text to_decimal(const Value& value) {
    const auto* number = std::get_if<std::int64_t>(&value.storage());
    if (number == nullptr) {
        raise(codes::kTypeMismatch);
    }
    char digits[24];
    return Text(digits, std::to_chars(digits, digits + sizeof digits, *number).ptr);
}

}  // namespace platform
