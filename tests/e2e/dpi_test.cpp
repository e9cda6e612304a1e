// At 144 dots per inch everything is half as large again: the client area, the controls and
// the text box's font.
#include <cstdlib>

#include "e2e_test.h"

namespace e2e {
namespace {

class HighDpi : public TavrinTest {
  protected:
    void SetUp() override {
        if (display_dpi_made() != 144) {
            GTEST_SKIP() << "needs a display at 144 dpi (run-e2e.sh --dpi 144)";
        }
        ASSERT_NO_FATAL_FAILURE(start());
    }
};

// A control's place at 144 dpi: its place at 96 dpi times one and a half, give or take the
// rounding of a half pixel.
void expect_scaled(HWND child, HWND parent, RECT at_96) {
    const RECT rect = rect_in_client_of(child, parent);
    const auto scaled_from = [](LONG value, LONG at_96_dpi) {
        return std::abs(2 * value - 3 * at_96_dpi) <= 1;
    };
    EXPECT_PRED2(scaled_from, rect.left, at_96.left);
    EXPECT_PRED2(scaled_from, rect.top, at_96.top);
    EXPECT_PRED2(scaled_from, rect.right - rect.left, at_96.right);
    EXPECT_PRED2(scaled_from, rect.bottom - rect.top, at_96.bottom);
}

TEST_F(HighDpi, EverythingScalesByOneAndAHalf) {
    const std::optional<ProbeAnswer> answer = app().probe();
    ASSERT_TRUE(answer.has_value()) << "the probe inside Tavrin did not answer";
    ASSERT_EQ(answer->dpi, 144) << "Tavrin's process does not see the display at 144 dpi";

    const SIZE client = client_size(app().form());
    EXPECT_EQ(client.cx, 252);
    EXPECT_EQ(client.cy, 224);
    // left, top, width, height at 96 dpi
    expect_scaled(app().button(), app().form(), RECT{48, 112, 71, 25});
    expect_scaled(app().text_box(), app().form(), RECT{16, 16, 134, 87});

    ASSERT_TRUE(answer->has_text_box_font);
    EXPECT_EQ(answer->text_box_font.lfHeight, -21);
    EXPECT_EQ(answer->text_box_font.lfWeight, 400);
}

}  // namespace
}  // namespace e2e
