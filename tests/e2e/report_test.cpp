// The report with the drive set "several": ready removable drives only, in drive order, the
// serial as a signed 32-bit number, CR LF between lines and none after the last.
#include "e2e_test.h"

namespace e2e {
namespace {

class Report : public TavrinTest {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(require_drive_set(L"several")); }

    // Starts Tavrin, makes sure the button has the focus, and waits for the report that
    // `act` asks for.
    void expect_report_after(const std::function<void()>& act) {
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_NO_FATAL_FAILURE(bring_to_front());
        ASSERT_EQ(app().focus(), app().button());
        act();
        const std::wstring text = wait_for_new_text(L"");
        EXPECT_EQ(text, kSeveralDrivesReport) << utf8(text);
        EXPECT_EQ(app().message_box(), nullptr) << "a message box came with the report";
        EXPECT_TRUE(app().running());
    }
};

TEST_F(Report, ClickOnTheButtonListsEveryReadyRemovableDrive) {
    expect_report_after([&] { click_centre(app().button()); });
}

TEST_F(Report, SpaceOnTheFocusedButtonListsThem) {
    expect_report_after([] { press(VK_SPACE); });
}

TEST_F(Report, EnterOnTheFocusedButtonListsThem) {
    expect_report_after([] { press(VK_RETURN); });
}

TEST_F(Report, ReplacesWhatWasInTheTextBoxEachTime) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(bring_to_front());
    const HWND box = app().text_box();
    click_centre(box);
    ASSERT_TRUE(wait_until([&] { return app().focus() == box; }));
    type(L"typed first");
    ASSERT_TRUE(wait_until([&] { return text_of(box) == L"typed first"; })) << utf8(text_of(box));

    click_centre(app().button());
    std::wstring text = wait_for_new_text(L"typed first");
    EXPECT_EQ(text, kSeveralDrivesReport) << utf8(text);

    // Once more, after the report was edited: the new report stands alone again.
    click_centre(box);
    ASSERT_TRUE(wait_until([&] { return app().focus() == box; }));
    press_with(VK_CONTROL, VK_END);
    type(L"+");
    const std::wstring edited = std::wstring(kSeveralDrivesReport) + L"+";
    ASSERT_TRUE(wait_until([&] { return text_of(box) == edited; })) << utf8(text_of(box));
    click_centre(app().button());
    text = wait_for_new_text(edited);
    EXPECT_EQ(text, kSeveralDrivesReport) << utf8(text);
}

class Arguments : public Report {};

TEST_F(Arguments, AreIgnored) {
    ASSERT_NO_FATAL_FAILURE(start(LaunchOptions{L"/x -y \"E:\\\" 0 --report=F:"}));
    EXPECT_EQ(text_of(app().form()), kCaption);
    EXPECT_EQ(app().visible_windows(), std::vector<HWND>{app().form()});
    EXPECT_EQ(text_of(app().text_box()), L"");
    EXPECT_EQ(app().focus(), app().button());
    ASSERT_NO_FATAL_FAILURE(bring_to_front());
    click_centre(app().button());
    const std::wstring text = wait_for_new_text(L"");
    EXPECT_EQ(text, kSeveralDrivesReport) << utf8(text);
}

}  // namespace
}  // namespace e2e
