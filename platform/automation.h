// Late-bound automation: objects got by moniker or class name, members called by name,
// collections enumerated; each object owned by one handle, released when it goes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <span>
#include <variant>

#include "platform/error.h"
#include "platform/text.h"

namespace platform {

class Dispatch;
class Value;

// An owning handle to one automation object; a null one stands for Nothing, and raises
// "invalid pointer" when used, as an unset object variable does.
class Object {
  public:
    explicit Object(std::unique_ptr<Dispatch> dispatch);
    Object(Object&&) noexcept;
    Object& operator=(Object&&) noexcept;
    ~Object();

    // Reads a property by name.
    Value get(TextView property) const;
    // Calls a method by name.
    template <class... Args>
    Value call(TextView method, Args&&... args) const;
    // The elements of a collection, one at a time: `for (Value& element : object.elements())`.
    class Elements;
    Elements elements() const;

  private:
    Dispatch& dispatch() const;

    std::unique_ptr<Dispatch> dispatch_;
};

struct Null {};

// A value passed to or returned by a late-bound call.
class Value {
  public:
    using Storage = std::variant<std::monostate, Null, bool, std::int64_t, Text, Object>;

    Value() = default;
    Value(Null) : v_(Null{}) {}
    Value(bool b) : v_(b) {}
    Value(std::int64_t i) : v_(i) {}
    Value(Text t) : v_(std::move(t)) {}
    Value(const char16_t* t) : v_(Text(t)) {}
    Value(Object o) : v_(std::move(o)) {}

    const Storage& storage() const { return v_; }
    // The text this value holds; any other kind is a type mismatch.
    const Text& text() const;
    // The object this value holds, taken out of it; any other kind is a type mismatch.
    Object object() &&;

  private:
    Storage v_;
};

// A readiness answer as a boolean: null (and empty) is false. Anything but a boolean is
// converted as the platform converts it (Windows: VariantChangeTypeEx; Linux: none, a type
// mismatch).
bool to_bool(const Value& value);
// An integer as its signed decimal text; anything else is a type mismatch.
Text to_decimal(const Value& value);

// Fetches the next element of a collection into `out`; false once it is exhausted.
using Enumerator = std::function<bool(Value& out)>;

// What a back end implements for one object: the three verbs.
class Dispatch {
  public:
    virtual ~Dispatch() = default;
    // Reads a property or calls a method by name.
    virtual Value invoke(TextView member, std::span<const Value> args) = 0;
    // Starts an enumeration of the object as a collection.
    virtual Enumerator enumerate() = 0;
};

class Object::Elements {
  public:
    explicit Elements(Enumerator next) : next_(std::move(next)) {}
    struct Iterator {
        Elements* elements;
        Value& operator*() const { return elements->current_; }
        Iterator& operator++() {
            elements->advance();
            return *this;
        }
        bool operator==(std::default_sentinel_t) const { return elements->done_; }
    };
    Iterator begin() {
        advance();
        return {this};
    }
    std::default_sentinel_t end() const { return {}; }

  private:
    void advance() {
        current_ = Value();  // the previous element goes before the next is fetched
        done_ = !next_(current_);
    }

    Enumerator next_;
    Value current_;
    bool done_ = false;
};

template <class... Args>
Value Object::call(TextView method, Args&&... args) const {
    const std::array<Value, sizeof...(Args)> arguments{Value(std::forward<Args>(args))...};
    return dispatch().invoke(method, arguments);
}

}  // namespace platform
