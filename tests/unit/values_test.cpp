// The run time's conversions and what leaves a handler.
#include <gtest/gtest.h>

#include <limits>
#include <new>
#include <stdexcept>

#include "platform/events.h"
#include "support.h"

namespace {

using platform::Value;
using testing_support::error_of;

constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);

// Only integers have a decimal; readiness texts are read as late-bound callers read them
// (more of those in click_worlds.txt).
TEST(Values, BecomeSignedDecimalsAndReadinessBooleans) {
    struct Case {
        Value value;
        const char16_t* decimal;  // null: a type mismatch
        int ready;                // 0 or 1; -1: a type mismatch
    };
    const Case cases[] = {
        {std::int64_t{0}, u"0", 0},
        {std::int64_t{-1056969216}, u"-1056969216", 1},
        {std::numeric_limits<std::int64_t>::min(), u"-9223372036854775808", 1},
        {std::numeric_limits<std::uint64_t>::max(), u"18446744073709551615", 1},
        {std::uint64_t{0}, u"0", 0},
        {true, nullptr, 1},
        {false, nullptr, 0},
        {platform::Null{}, nullptr, 0},
        {Value(), nullptr, 0},
        {0.0, nullptr, 0},
        {0.5, nullptr, 1},
        {u" 0 ", nullptr, 0},
        {u"", nullptr, -1},
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

TEST(Handler, WhateverLeavesItBecomesTheErrorReported) {
    testing_support::ScriptedMachine machine;
    EXPECT_FALSE(platform::run_handler([](auto&, auto&) {}, machine, machine));
    const std::pair<platform::ClickHandler, std::uint32_t> cases[] = {
        {[](auto&, auto&) { throw platform::Error(-2147217392, u"无效类"); }, 0x80041010},
        {[](auto&, auto&) { throw std::bad_alloc(); }, 0x8007000E},
        {[](auto&, auto&) { throw std::logic_error(""); }, 0x8000FFFF},
    };
    for (const auto& [handler, number] : cases) {
        const auto error = platform::run_handler(handler, machine, machine);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), static_cast<std::int32_t>(number));
        EXPECT_FALSE(error->description().empty());
    }
    // The error report's number in hex has eight digits (the whole text: the window tests).
    EXPECT_EQ(platform::error_report_text(platform::Error(13, u"x")).substr(6, 15),
              u"13 (0x0000000D)");
}

}  // namespace
