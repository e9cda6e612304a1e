// One owner per kind of handle or struct the program holds, all made from this template: the
// value is released once, when its owner goes, on the normal path and when an error unwinds
// alike. A handle is released by `Release(handle)` unless it is null; a struct (a VARIANT, an
// EXCEPINFO) is always released by `Release(&value)` and starts zeroed, as VariantInit leaves it.
#pragma once

#include <type_traits>
#include <utility>

namespace platform {

template <class T, auto Release>
class Owner {
  public:
    Owner() = default;
    explicit Owner(T value) : value_(value) {}
    Owner(Owner&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
    Owner& operator=(Owner other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    ~Owner() { free(); }

    const T& get() const { return value_; }
    T& operator*() { return value_; }
    T* operator->() { return &value_; }
    explicit operator bool() const { return value_ != T{}; }
    // Gives the value up unreleased: its new owner, or the platform, releases it now.
    T release() { return std::exchange(value_, T{}); }
    // For a callee to fill: what was held goes first.
    T* put() {
        free();
        value_ = T{};
        return &value_;
    }

  private:
    void free() {
        if constexpr (std::is_class_v<T>) {
            Release(&value_);
        } else if (value_ != T{}) {
            Release(value_);
        }
    }

    T value_{};
};

}  // namespace platform
