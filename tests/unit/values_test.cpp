// The run time's conversions and what leaves a handler.
#include <gtest/gtest.h>

#include <limits>
#include <new>
#include <stdexcept>

#include "support.h"

namespace {

using platform::Value;
using testing_support::error_of;

constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);

// Serials are integers; readiness is a boolean, null counting as false (more in
// click_worlds.txt).
TEST(Values, BecomeSignedDecimalsAndReadinessBooleans) {
    struct Case {
        Value value;
        const char16_t* decimal;  // null: a type mismatch
        int ready;                // 0 or 1; -1: a type mismatch
    };
    const Case cases[] = {
        {std::int64_t{0}, u"0", -1},
        {std::int64_t{-1056969216}, u"-1056969216", -1},
        {std::numeric_limits<std::int64_t>::min(), u"-9223372036854775808", -1},
        {true, nullptr, 1},
        {false, nullptr, 0},
        {platform::Null{}, nullptr, 0},
        {Value(), nullptr, 0},
        {u"1", nullptr, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        if (c.decimal != nullptr) {
            EXPECT_EQ(platform::to_decimal(c.value), c.decimal);
        } else {
            EXPECT_EQ(error_of([&] { platform::to_decimal(c.value); }), kTypeMismatch);
        }
        if (c.ready >= 0) {
            EXPECT_EQ(platform::to_bool(c.value), c.ready == 1);
        } else {
            EXPECT_EQ(error_of([&] { platform::to_bool(c.value); }), kTypeMismatch);
        }
    }
    EXPECT_EQ(error_of([] { (void)Value(std::int64_t{1}).text(); }), kTypeMismatch);
    EXPECT_EQ(error_of([] { (void)Value(u"E:").object(); }), kTypeMismatch);
}

// Memory exhaustion and anything else that is not an error become errors of their own.
TEST(Handler, WhateverLeavesItBecomesTheErrorReported) {
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[] { throw std::bad_alloc(); }, "error -2147024882"},
        {[] { throw std::logic_error(""); }, "error -2147418113"},
    };
    for (const auto& [failure, shown] : cases) {
        testing_support::ScriptedMachine machine;
        machine.fail_at = 0;
        machine.failure = failure;
        EXPECT_EQ(machine.click(), shown);
    }
}

}  // namespace
