#include "platform/events.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "scripted_automation.h"

namespace {

using testing_support::ScriptedMachine;

std::optional<platform::Error> run(platform::ClickHandler handler) {
    ScriptedMachine machine;
    return platform::run_handler(handler, machine, machine);
}

TEST(RunHandler, EverythingThatLeavesAHandlerBecomesAnErrorToReport) {
    EXPECT_FALSE(run([](platform::Runtime&, platform::Form&) {}).has_value());

    const auto raised = run(
        [](platform::Runtime&, platform::Form&) { throw platform::Error(-2147217392, u"无效类"); });
    ASSERT_TRUE(raised.has_value());
    EXPECT_EQ(raised->number(), -2147217392);
    EXPECT_EQ(raised->description(), u"无效类");

    const auto exhausted = run([](platform::Runtime&, platform::Form&) { throw std::bad_alloc(); });
    ASSERT_TRUE(exhausted.has_value());
    EXPECT_EQ(exhausted->number(), platform::codes::kOutOfMemory);
    EXPECT_FALSE(exhausted->description().empty());

    const auto other =
        run([](platform::Runtime&, platform::Form&) { throw std::runtime_error("x"); });
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(other->number(), platform::codes::kUnexpected);
}

TEST(ErrorReport, ShowsTheNumberSignedAndInHexWithTheDescription) {
    const platform::Text report =
        platform::error_report_text(platform::Error(-2147221020, u"无效的语法。"));
    EXPECT_EQ(report,
              u"运行时错误 -2147221020 (0x800401E4)：\r\n\r\n无效的语法。\r\n\r\n程序将关闭。");
    EXPECT_NE(
        platform::error_report_text(platform::Error(13, u"类型不匹配")).find(u"13 (0x0000000D)"),
        platform::Text::npos);
}

}  // namespace

namespace {

// A handler that clicks its own button again while it runs, as a message pumped during a
// platform call could.
int g_runs = 0;
platform::ClickDispatcher* g_dispatcher = nullptr;

void reentrant_handler(platform::Runtime& runtime, platform::Form& form) {
    ++g_runs;
    EXPECT_FALSE(g_dispatcher->click(1, runtime, form).has_value());
    throw platform::Error(5, u"x");
}

TEST(ClickDispatcher, RunsTheBoundHandlerOnceAtATime) {
    const platform::ClickBinding clicks[] = {{1, &reentrant_handler}};
    platform::FormDescription form{};
    form.clicks = clicks;
    platform::ClickDispatcher dispatcher(form);
    g_dispatcher = &dispatcher;
    ScriptedMachine machine;

    const auto error = dispatcher.click(1, machine, machine);
    EXPECT_EQ(g_runs, 1) << "the click inside the handler ran it again";
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number(), 5);

    EXPECT_FALSE(dispatcher.click(2, machine, machine).has_value()) << "no handler is bound";
    EXPECT_EQ(g_runs, 1);
    dispatcher.click(1, machine, machine);
    EXPECT_EQ(g_runs, 2) << "the dispatcher stayed busy after an error";
}

}  // namespace
