// Keys between and inside the two controls, and how much the text box holds.
#include <string>

#include "e2e_test.h"

namespace e2e {
namespace {

class Keyboard : public TavrinTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_NO_FATAL_FAILURE(bring_to_front());
    }

    void expect_focus_after(const std::function<void()>& keys, HWND expected, const char* what) {
        keys();
        EXPECT_TRUE(wait_until([&] { return app().focus() == expected; }))
            << what << ": the focus is on " << utf8(class_name(app().focus()));
    }
};

TEST_F(Keyboard, TabMovesBetweenTheTwoControls) {
    const HWND button = app().button();
    const HWND box = app().text_box();
    ASSERT_EQ(app().focus(), button);
    expect_focus_after([] { press(VK_TAB); }, box, "Tab from the button");
    type(L"x");
    ASSERT_TRUE(wait_until([&] { return text_of(box) == L"x"; })) << utf8(text_of(box));
    expect_focus_after([] { press(VK_TAB); }, button, "Tab from the text box");
    expect_focus_after([] { press_with(VK_SHIFT, VK_TAB); }, box, "Shift+Tab from the button");
    expect_focus_after([] { press_with(VK_SHIFT, VK_TAB); }, button, "Shift+Tab from the text box");
    // Tab moved the focus and wrote nothing into the text box.
    EXPECT_EQ(text_of(box), L"x") << utf8(text_of(box));
}

TEST_F(Keyboard, EnterInTheTextBoxStartsANewLine) {
    const HWND box = app().text_box();
    click_centre(box);
    ASSERT_TRUE(wait_until([&] { return app().focus() == box; }));
    type(L"a");
    press(VK_RETURN);
    type(L"b");
    ASSERT_TRUE(wait_until([&] { return text_of(box) == L"a\r\nb"; })) << utf8(text_of(box));
    EXPECT_EQ(app().focus(), box);
    EXPECT_EQ(app().message_box(), nullptr) << "Enter in the text box ran the button";
}

TEST_F(Keyboard, TextBoxTakesMoreThan30000Characters) {
    const HWND box = app().text_box();
    std::wstring text;
    for (int line = 0; text.size() < 40000; ++line) {
        text += L"line " + std::to_wstring(line) + L" " + std::wstring(88, L'0' + line % 10);
        text += L"\r\n";
    }
    text.resize(40000);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(box, EM_REPLACESEL, TRUE,
                                    reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                                    kWaitMs, &result));
    ASSERT_EQ(text_length(box), 40000u);
    EXPECT_TRUE(text_of(box) == text) << "the text came back changed";

    // And it still takes typing at the end.
    click_centre(box);
    ASSERT_TRUE(wait_until([&] { return app().focus() == box; }));
    press_with(VK_CONTROL, VK_END);
    type(L"!");
    EXPECT_TRUE(wait_until([&] { return text_length(box) == 40001; })) << text_length(box);
    EXPECT_EQ(text_of(box).back(), L'!');
}

}  // namespace
}  // namespace e2e
