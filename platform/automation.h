// Late-bound automation: objects obtained by moniker or class name, members called by name,
// collections enumerated. Every object is owned by exactly one handle and released when the
// handle goes, on the normal path and when an error unwinds alike.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <variant>

#include "platform/error.h"
#include "platform/text.h"

namespace platform {

class Dispatch;
class Enumerator;
class Value;

// An owning handle to one automation object.
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

    // The elements of a collection, one at a time.
    class Elements;
    Elements elements() const;

  private:
    Value invoke(TextView member, std::span<const Value> args) const;
    Dispatch& dispatch() const;

    std::unique_ptr<Dispatch> dispatch_;
};

struct Null {};

// A value passed to or returned by a late-bound call.
class Value {
  public:
    using Storage =
        std::variant<std::monostate, Null, bool, std::int64_t, std::uint64_t, double, Text, Object>;

    Value() = default;
    Value(Null) : v_(Null{}) {}
    Value(bool b) : v_(b) {}
    Value(std::int64_t i) : v_(i) {}
    Value(std::uint64_t u) : v_(u) {}
    Value(double d) : v_(d) {}
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

// Conversions of automation values, as late-bound callers make them.
// A readiness answer to a boolean: null and empty count as false, numbers as non-zero,
// "True"/"False" texts as themselves; anything else is a type mismatch.
bool to_bool(const Value& value);
// An integer to its signed decimal text: "-" for negatives, no grouping, no leading zeros.
// Anything but an integer is a type mismatch.
Text to_decimal(const Value& value);

// What a back end implements for one object.
class Dispatch {
  public:
    virtual ~Dispatch() = default;
    // Calls a member by name; property reads and method calls alike.
    virtual Value invoke(TextView member, std::span<const Value> args) = 0;
    // Starts an enumeration of the object as a collection.
    virtual std::unique_ptr<Enumerator> enumerate() = 0;
};

class Enumerator {
  public:
    virtual ~Enumerator() = default;
    // Fetches the next element into `out`; false once the collection is exhausted.
    virtual bool next(Value& out) = 0;
};

class Object::Elements {
  public:
    class Iterator {
      public:
        using value_type = Value;
        using difference_type = std::ptrdiff_t;

        Value& operator*() const { return elements_->current_; }
        Iterator& operator++() {
            elements_->advance();
            return *this;
        }
        void operator++(int) { ++*this; }
        bool operator==(std::default_sentinel_t) const { return elements_->done_; }

      private:
        friend class Elements;
        explicit Iterator(Elements* elements) : elements_(elements) {}
        Elements* elements_;
    };

    explicit Elements(std::unique_ptr<Enumerator> enumerator)
        : enumerator_(std::move(enumerator)) {}

    Iterator begin() {
        advance();
        return Iterator(this);
    }
    std::default_sentinel_t end() const { return {}; }

  private:
    void advance() {
        current_ = Value();  // the previous element goes before the next is fetched
        done_ = !enumerator_->next(current_);
    }

    std::unique_ptr<Enumerator> enumerator_;
    Value current_;
    bool done_ = false;
};

template <class... Args>
Value Object::call(TextView method, Args&&... args) const {
    if constexpr (sizeof...(Args) == 0) {
        return invoke(method, {});
    } else {
        const Value arguments[] = {Value(std::forward<Args>(args))...};
        return invoke(method, arguments);
    }
}

}  // namespace platform
