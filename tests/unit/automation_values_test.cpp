#include <gtest/gtest.h>

#include <limits>

#include "platform/automation.h"

namespace {

using platform::Null;
using platform::Text;
using platform::Value;

void expect_type_mismatch(const auto& action) {
    try {
        action();
        ADD_FAILURE() << "no type mismatch";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.number(), platform::codes::kTypeMismatch);
        EXPECT_FALSE(error.description().empty());
    }
}

TEST(AutomationValues, SerialNumbersOfAnyIntegerTypeBecomeSignedDecimals) {
    const struct {
        Value value;
        const char16_t* text;
    } cases[] = {
        {Value(std::int64_t{0}), u"0"},
        {Value(std::int64_t{7}), u"7"},
        {Value(std::int64_t{-1056969216}), u"-1056969216"},
        {Value(std::int64_t{std::numeric_limits<std::int32_t>::min()}), u"-2147483648"},
        {Value(std::int64_t{std::numeric_limits<std::int32_t>::max()}), u"2147483647"},
        {Value(std::int64_t{std::numeric_limits<std::int64_t>::min()}), u"-9223372036854775808"},
        {Value(std::uint64_t{3221225472u}), u"3221225472"},
        {Value(std::numeric_limits<std::uint64_t>::max()), u"18446744073709551615"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::to_decimal(c.value), Text(c.text));
    }
    expect_type_mismatch([] { platform::to_decimal(Value(Null{})); });
    expect_type_mismatch([] { platform::to_decimal(Value()); });
    expect_type_mismatch([] { platform::to_decimal(Value(1.5)); });
    expect_type_mismatch([] { platform::to_decimal(Value(u"123")); });
    expect_type_mismatch([] { platform::to_decimal(Value(true)); });
}

TEST(AutomationValues, ReadinessBecomesABooleanWithNullAsFalse) {
    const struct {
        Value value;
        bool ready;
    } cases[] = {
        {Value(true), true},
        {Value(false), false},
        {Value(Null{}), false},
        {Value(), false},
        {Value(std::int64_t{-1}), true},
        {Value(std::int64_t{0}), false},
        {Value(std::uint64_t{2}), true},
        {Value(0.0), false},
        {Value(0.5), true},
        {Value(u"True"), true},
        {Value(u"FALSE"), false},
        {Value(u"#TRUE#"), true},
        {Value(u" 0 "), false},
        {Value(u"-1"), true},
        {Value(u"1e3"), true},
        {Value(u"-0.00"), false},
        {Value(u".5"), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::to_bool(c.value), c.ready);
    }
    for (const char16_t* text :
         {u"", u"yes", u"1x", u"tru", u"--1", u"1e", u".", u"1.2.3", u"真"}) {
        SCOPED_TRACE(platform::to_utf8(text));
        expect_type_mismatch([text] { platform::to_bool(Value(text)); });
    }
}

TEST(AutomationValues, TextsAndObjectsAreOnlyTakenFromTheirOwnKind) {
    EXPECT_EQ(Value(u"E:").text(), u"E:");
    expect_type_mismatch([] { (void)Value(std::int64_t{1}).text(); });
    expect_type_mismatch([] { (void)Value(Null{}).text(); });
    expect_type_mismatch([] { (void)Value(u"E:").object(); });
}

}  // namespace
