// Closing the window ends the program at once with exit status 0.
#include "e2e_test.h"

namespace e2e {
namespace {

class Close : public TavrinTest {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(start()); }

    void expect_ends_with_status_zero() {
        const std::optional<DWORD> status = app().wait_for_exit();
        ASSERT_TRUE(status.has_value()) << "Tavrin is still running";
        EXPECT_EQ(*status, 0u);
    }
};

// The close button's place: the last point from the right along the caption that the window
// itself says is its close button.
std::optional<POINT> close_button(HWND form) {
    RECT window{};
    GetWindowRect(form, &window);
    POINT client{0, 0};
    ClientToScreen(form, &client);
    const int y = (window.top + client.y) / 2;  // the caption's middle row
    for (int x = window.right - 1; x > window.left; --x) {
        const LRESULT hit = SendMessageW(form, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        if (hit == HTCLOSE) {
            // Into the button by a few pixels, clear of its edge.
            return POINT{x - 4, y};
        }
    }
    return std::nullopt;
}

TEST_F(Close, CloseCommandEndsTheProgram) {
    ASSERT_TRUE(PostMessageW(app().form(), WM_SYSCOMMAND, SC_CLOSE, 0));
    expect_ends_with_status_zero();
}

TEST_F(Close, ClickOnTheCloseButtonEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(bring_to_front());
    const std::optional<POINT> target = close_button(app().form());
    ASSERT_TRUE(target.has_value()) << "no close button in the caption";
    click(*target);
    expect_ends_with_status_zero();
}

TEST_F(Close, ClosingAfterTypingEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(bring_to_front());
    press(VK_TAB);
    type(L"unsaved");
    ASSERT_TRUE(wait_until([&] { return text_of(app().text_box()) == L"unsaved"; }));
    press_with(VK_MENU, VK_F4);
    expect_ends_with_status_zero();
}

}  // namespace
}  // namespace e2e
