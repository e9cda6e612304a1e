#include "shell/form1.h"

#include <gtest/gtest.h>

namespace {

using platform::font_height_pixels;
using platform::twips_to_pixels;

TEST(Twips, ConvertAtTheDisplaysResolution) {
    const struct {
        int twips, dpi, pixels;
    } cases[] = {
        {2520, 96, 168},  {2235, 96, 149},  {2520, 120, 210}, {2235, 120, 186},
        {2520, 144, 252}, {2235, 144, 224}, {1065, 120, 89},  {375, 144, 38},
        {7, 96, 0},       {8, 96, 1},       {-240, 96, -16},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(twips_to_pixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
    }
    EXPECT_EQ(font_height_pixels(105, 96), -14);
    EXPECT_EQ(font_height_pixels(105, 120), -18);
    EXPECT_EQ(font_height_pixels(105, 144), -21);
}

// The window as a table: at 96 DPI it lays out as drawn, the button comes first in tab
// order and its click is the one handler.
TEST(Form1, DescribesTheWindowAsDrawn) {
    const platform::FormDescription& form = shell::kForm1;
    EXPECT_EQ(twips_to_pixels(form.client_width, 96), 168);
    EXPECT_EQ(twips_to_pixels(form.client_height, 96), 149);
    ASSERT_EQ(form.controls.size(), 2u);
    for (const platform::Control& control : form.controls) {
        const platform::Rect& r = control.twips;
        EXPECT_LE(r.left + r.width, form.client_width);
        EXPECT_LE(r.top + r.height, form.client_height);
    }
    const platform::Control& first =
        *std::min_element(form.controls.begin(), form.controls.end(),
                          [](const auto& a, const auto& b) { return a.tab_index < b.tab_index; });
    EXPECT_EQ(first.id, shell::kCommand1);
    ASSERT_EQ(form.clicks.size(), 1u);
    EXPECT_EQ(form.clicks[0].control, shell::kCommand1);
    EXPECT_EQ(shell::kProject.startup_form, &form);
}

}  // namespace
