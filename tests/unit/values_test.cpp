// The run time's conversions and frame around a handler: automation values to the report's
// decimal and to a readiness boolean, what leaves a handler, the error report's text, one
// click at a time, Form1's layout at each resolution and the program's own texts.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <new>
#include <sstream>
#include <stdexcept>

#include "platform/events.h"
#include "resources/strings.h"
#include "shell/form1.h"
#include "support.h"

namespace {

using platform::Null;
using platform::Value;

std::optional<std::int32_t> error_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::Error& error) {
        EXPECT_FALSE(error.description().empty());
        return error.number();
    }
    return std::nullopt;
}

constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);

TEST(Values, IntegersBecomeSignedDecimalsAndNothingElseDoes) {
    const std::pair<Value, const char16_t*> cases[] = {
        {std::int64_t{0}, u"0"},
        {std::int64_t{-1056969216}, u"-1056969216"},
        {std::int64_t{std::numeric_limits<std::int32_t>::max()}, u"2147483647"},
        {std::int64_t{std::numeric_limits<std::int64_t>::min()}, u"-9223372036854775808"},
        {std::numeric_limits<std::uint64_t>::max(), u"18446744073709551615"}};
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(platform::to_decimal(value), text);
    }
    for (const Value& value : {Value(Null{}), Value(), Value(1.5), Value(u"12"), Value(true)}) {
        EXPECT_EQ(error_of([&] { platform::to_decimal(value); }), kTypeMismatch);
    }
    EXPECT_EQ(error_of([] { (void)Value(std::int64_t{1}).text(); }), kTypeMismatch);
    EXPECT_EQ(error_of([] { (void)Value(u"E:").object(); }), kTypeMismatch);
}

// Readiness answered as a text is read as late-bound callers read it: see click_worlds.txt.
TEST(Values, ReadinessBecomesABooleanWithNullAsFalse) {
    const std::pair<Value, bool> cases[] = {{true, true},
                                            {false, false},
                                            {Null{}, false},
                                            {Value(), false},
                                            {std::int64_t{-1}, true},
                                            {std::int64_t{0}, false},
                                            {std::uint64_t{2}, true},
                                            {0.0, false},
                                            {0.5, true},
                                            {u" 0 ", false}};
    for (const auto& [value, ready] : cases) {
        EXPECT_EQ(platform::to_bool(value), ready);
    }
    EXPECT_EQ(error_of([] { platform::to_bool(Value(u"")); }), kTypeMismatch);
}

TEST(Handler, WhateverLeavesItBecomesTheErrorToReport) {
    testing_support::ScriptedMachine machine;
    const auto run = [&](platform::ClickHandler handler) {
        return platform::run_handler(handler, machine, machine);
    };
    EXPECT_FALSE(run([](auto&, auto&) {}));
    const auto raised = run([](auto&, auto&) { throw platform::Error(-2147217392, u"无效类"); });
    EXPECT_EQ(raised->number(), -2147217392);
    EXPECT_EQ(raised->description(), u"无效类");
    const auto exhausted = run([](auto&, auto&) { throw std::bad_alloc(); });
    EXPECT_EQ(exhausted->number(), static_cast<std::int32_t>(0x8007000E));
    EXPECT_FALSE(exhausted->description().empty());
    EXPECT_EQ(run([](auto&, auto&) { throw std::logic_error(""); })->number(),
              static_cast<std::int32_t>(0x8000FFFF));
}

TEST(Handler, TheErrorReportShowsTheNumberSignedAndInHexThenTheDescription) {
    EXPECT_EQ(platform::error_report_text(platform::Error(-2147221020, u"无效的语法。")),
              u"运行时错误 -2147221020 (0x800401E4)：\r\n\r\n无效的语法。\r\n\r\n程序将关闭。");
    EXPECT_EQ(platform::error_report_text(platform::Error(13, u"x")).substr(6, 15),
              u"13 (0x0000000D)");
}

// Form1's twips, converted at each resolution, against the layout table the window tests use.
TEST(Form1, LaysOutAsTheTableSaysAtEachResolution) {
    const platform::FormDescription& form = shell::kForm1;
    ASSERT_EQ(form.controls.size(), 2u);
    const platform::Control* order[] = {platform::in_tab_order(form)[0],
                                        platform::in_tab_order(form)[1]};
    EXPECT_EQ(order[0]->id, shell::kCommand1) << "Command1 comes first, with the focus";
    EXPECT_EQ(order[1]->font->tenths_of_points, 105);
    for (const std::vector<int>& row : testing_support::layout_rows()) {
        const int dpi = row.at(0);
        std::vector<int> pixels = {platform::twips_to_pixels(form.client_width, dpi),
                                   platform::twips_to_pixels(form.client_height, dpi)};
        for (const platform::Control* control : order) {
            for (const int twips : {control->twips.left, control->twips.top, control->twips.width,
                                    control->twips.height}) {
                pixels.push_back(platform::twips_to_pixels(twips, dpi));
            }
        }
        pixels.push_back(platform::font_height_pixels(order[1]->font->tenths_of_points, dpi));
        EXPECT_EQ(pixels, std::vector(row.begin() + 1, row.end())) << dpi << " dpi";
    }
}

TEST(Texts, AreExactlyTheProgramsOwn) {
    const std::map<std::string, platform::TextView> texts = {
        {"kProjectName", strings::kProjectName},
        {"kFormCaption", strings::kFormCaption},
        {"kCommandCaption", strings::kCommandCaption},
        {"kCommandToolTip", strings::kCommandToolTip},
        {"kResultFontFace", strings::kResultFontFace},
        {"kNoDrivePrompt", strings::kNoDrivePrompt},
        {"kNoDriveTitle", strings::kNoDriveTitle},
    };
    const auto lines = testing_support::lines_of(TAVRIN_TEST_DATA "/texts.txt");
    ASSERT_EQ(lines.size(), texts.size());
    for (const std::string& line : lines) {
        std::istringstream row(line);
        std::string name, text;
        row >> name >> text;
        EXPECT_EQ(platform::to_utf8(texts.at(name)), text) << name;
    }
}

}  // namespace
