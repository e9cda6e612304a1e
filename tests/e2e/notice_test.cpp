// With no ready removable drive (drive set "none": a fixed disk and a removable drive with
// nothing in it) a run shows the notice, once, and leaves the text box alone.
#include <ostream>
#include <string>

#include "e2e_test.h"

namespace e2e {
namespace {

class NoDrive : public TavrinTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(require_drive_set(L"none"));
        if (IsSkipped()) {
            return;
        }
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_NO_FATAL_FAILURE(bring_to_front());
    }

    // Dismisses the message box by the key or button given and waits until it is gone and
    // the form takes input again.
    void dismiss(const MessageBoxView& notice, bool with_enter) {
        if (with_enter) {
            ASSERT_NO_FATAL_FAILURE(bring_to_front());
            press(VK_RETURN);
        } else {
            ASSERT_EQ(notice.buttons.size(), 1u);
            click_centre(notice.buttons.front());
        }
        ASSERT_TRUE(wait_until([&] { return !IsWindow(notice.window); }))
            << "the message box stayed";
        ASSERT_TRUE(wait_until([&] { return IsWindowEnabled(app().form()) != FALSE; }));
    }

    // After one notice was dismissed: no second one follows. Nothing can say when a second
    // run would have started, so this watches for a while.
    void expect_no_second_notice() {
        EXPECT_FALSE(wait_until([&] { return app().message_box() != nullptr; }, 2000))
            << "a second notice came: the run happened twice";
    }
};

void expect_notice(const MessageBoxView& notice, HWND form) {
    EXPECT_EQ(notice.title, kNoDriveTitle) << utf8(notice.title);
    EXPECT_EQ(notice.prompt, kNoDrivePrompt) << utf8(notice.prompt);
    EXPECT_EQ(notice.owner, form) << "the notice must be modal to the form";
    EXPECT_FALSE(IsWindowEnabled(form)) << "the form takes input while the notice is up";
    ASSERT_EQ(notice.buttons.size(), 1u);
    EXPECT_EQ(GetDlgCtrlID(notice.buttons.front()), IDOK);
    ASSERT_NE(notice.icon, nullptr) << "the notice has no icon";
    // The information icon is the one drawn there, not the warning, error or question one.
    const int information = icon_mismatch(notice.icon, IDI_INFORMATION);
    testing::Test::RecordProperty("pixels_off_the_information_icon", information);
    for (const wchar_t* other : {IDI_WARNING, IDI_ERROR, IDI_QUESTION}) {
        EXPECT_LT(information, icon_mismatch(notice.icon, other));
    }
}

TEST_F(NoDrive, ClickShowsTheNoticeAndKeepsTheTypedText) {
    const HWND box = app().text_box();
    const std::wstring typed = L"my notes, U盘 later\r\nline two";
    click_centre(box);
    ASSERT_TRUE(wait_until([&] { return app().focus() == box; }));
    type(L"my notes, U盘 later");
    press(VK_RETURN);
    type(L"line two");
    ASSERT_TRUE(wait_until([&] { return text_of(box) == typed; })) << utf8(text_of(box));

    click_centre(app().button());
    MessageBoxView notice;
    ASSERT_NO_FATAL_FAILURE(wait_for_message_box(notice));
    expect_notice(notice, app().form());
    ASSERT_NO_FATAL_FAILURE(dismiss(notice, false));

    EXPECT_TRUE(app().running());
    EXPECT_EQ(text_of(box), typed) << utf8(text_of(box));
    expect_no_second_notice();
}

enum class Trigger { Click, Space, Enter };

const char* name_of(Trigger trigger) {
    switch (trigger) {
        case Trigger::Click:
            return "Click";
        case Trigger::Space:
            return "Space";
        case Trigger::Enter:
            return "Enter";
    }
    return "Unknown";
}

void PrintTo(Trigger trigger, std::ostream* out) {
    *out << name_of(trigger);
}

class NoDriveEachTrigger : public NoDrive, public testing::WithParamInterface<Trigger> {};

TEST_P(NoDriveEachTrigger, RunsOnceAndShowsOneNotice) {
    ASSERT_EQ(app().focus(), app().button());
    switch (GetParam()) {
        case Trigger::Click:
            click_centre(app().button());
            break;
        case Trigger::Space:
            press(VK_SPACE);
            break;
        case Trigger::Enter:
            press(VK_RETURN);
            break;
    }
    MessageBoxView notice;
    ASSERT_NO_FATAL_FAILURE(wait_for_message_box(notice));
    EXPECT_EQ(notice.prompt, kNoDrivePrompt) << utf8(notice.prompt);
    ASSERT_NO_FATAL_FAILURE(dismiss(notice, true));
    expect_no_second_notice();
    EXPECT_EQ(text_of(app().text_box()), L"");
    EXPECT_TRUE(app().running());
}

INSTANTIATE_TEST_SUITE_P(,
                         NoDriveEachTrigger,
                         testing::Values(Trigger::Click, Trigger::Space, Trigger::Enter),
                         [](const testing::TestParamInfo<Trigger>& info) {
                             return std::string(name_of(info.param));
                         });

}  // namespace
}  // namespace e2e
