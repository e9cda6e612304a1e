// The window as it comes up at 96 dots per inch: one fixed, centred window, the button holding
// the focus, an empty light-green text box, the tip on the button.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>

#include "e2e_test.h"

namespace e2e {
namespace {

class StartUp : public TavrinTest {
  protected:
    void SetUp() override {
        if (display_dpi_made() != 0 && display_dpi_made() != USER_DEFAULT_SCREEN_DPI) {
            GTEST_SKIP() << "the sizes here are for 96 dpi; this run is at " << display_dpi_made();
        }
        ASSERT_NO_FATAL_FAILURE(start());
    }
};

void expect_rect(HWND child, HWND parent, LONG left, LONG top, LONG width, LONG height) {
    const RECT rect = rect_in_client_of(child, parent);
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
}

TEST_F(StartUp, ShowsOneFixedCentredWindow) {
    const HWND form = app().form();
    EXPECT_EQ(text_of(form), kCaption) << utf8(text_of(form));
    EXPECT_EQ(app().visible_windows(), std::vector<HWND>{form});

    const DWORD style = style_of(form);
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the border must not be sizable";
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);

    const SIZE client = client_size(form);
    EXPECT_EQ(client.cx, 168);
    EXPECT_EQ(client.cy, 149);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor));
    RECT window{};
    GetWindowRect(form, &window);
    // Centres compared doubled, so that "within one pixel" stays in whole numbers.
    EXPECT_LE(
        std::abs((window.left + window.right) - (monitor.rcMonitor.left + monitor.rcMonitor.right)),
        2)
        << "window " << window.left << "," << window.right;
    EXPECT_LE(
        std::abs((window.top + window.bottom) - (monitor.rcMonitor.top + monitor.rcMonitor.bottom)),
        2)
        << "window " << window.top << "," << window.bottom;
}

TEST_F(StartUp, ButtonComesFirstAndHoldsTheFocus) {
    const HWND form = app().form();
    const HWND button = app().button();
    expect_rect(button, form, 48, 112, 71, 25);
    EXPECT_EQ(text_of(button), kButtonText) << utf8(text_of(button));
    const DWORD kind = style_of(button) & BS_TYPEMASK;  // the focus makes it the default
    EXPECT_TRUE(kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) << kind;
    EXPECT_TRUE(style_of(button) & WS_TABSTOP);
    EXPECT_EQ(app().focus(), button);
    EXPECT_EQ(GetWindow(form, GW_CHILD), button);
    EXPECT_EQ(GetNextDlgTabItem(form, nullptr, FALSE), button);
}

TEST_F(StartUp, TextBoxIsAnEmptyWrappingMultiLineBox) {
    const HWND box = app().text_box();
    expect_rect(box, app().form(), 16, 16, 134, 87);
    EXPECT_TRUE(ex_style_of(box) & WS_EX_CLIENTEDGE);
    const DWORD style = style_of(box);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_WANTRETURN);
    EXPECT_TRUE(style & ES_AUTOVSCROLL);
    EXPECT_FALSE(style & ES_AUTOHSCROLL) << "lines must wrap at the box's width";
    EXPECT_FALSE(style & WS_VSCROLL);
    EXPECT_FALSE(style & WS_HSCROLL);
    EXPECT_TRUE(style & WS_TABSTOP);
    EXPECT_EQ(text_of(box), L"");
    EXPECT_GT(SendMessageW(box, EM_GETLIMITTEXT, 0, 0), 30000);
}

TEST_F(StartUp, TextBoxAsksForTheSongFaceAt10Point5) {
    const std::optional<ProbeAnswer> answer = app().probe();
    ASSERT_TRUE(answer.has_value()) << "the probe inside Tavrin did not answer";
    ASSERT_TRUE(answer->has_text_box_font) << "the text box has no font of its own";
    const LOGFONTW& font = answer->text_box_font;
    EXPECT_EQ(font.lfHeight, -14);
    EXPECT_EQ(font.lfWeight, 400);
    EXPECT_EQ(font.lfCharSet, 134);
    EXPECT_FALSE(font.lfItalic);
    EXPECT_FALSE(font.lfUnderline);
    EXPECT_FALSE(font.lfStrikeOut);
    EXPECT_STREQ(font.lfFaceName, L"宋体") << utf8(font.lfFaceName);
    RecordProperty("face_used", utf8(answer->text_box_face_used));
    // Whatever face stands in for it must still cover the character set.
    EXPECT_EQ(answer->text_box_char_set_used, 134) << utf8(answer->text_box_face_used);
}

// Read from the screen: the window is in front and nothing covers it (there is no window
// manager, and the mouse is parked away from the button's tip).
TEST_F(StartUp, TextBoxIsLightGreen) {
    ASSERT_NO_FATAL_FAILURE(bring_to_front());
    const HWND box = app().text_box();
    const SIZE inside = client_size(box);
    for (const POINT client : {POINT{inside.cx - 4, inside.cy - 4}, POINT{inside.cx / 2, 3}}) {
        const POINT point = screen_point(box, client);
        SCOPED_TRACE(testing::Message() << "at " << point.x << "," << point.y);
        // The pixel is read once the window has painted; red, green, blue as 0x00BBGGRR.
        COLORREF colour = CLR_INVALID;
        wait_until([&] { return (colour = screen_pixel(point)) == RGB(128, 255, 128); });
        EXPECT_EQ(colour, RGB(128, 255, 128)) << std::hex << colour;
    }
}

TEST_F(StartUp, ButtonCarriesItsTip) {
    const HWND tips = app().tool_tips();
    ASSERT_NE(tips, nullptr) << "no tool-tip window owned by the form";
    const std::optional<ProbeAnswer> answer = app().probe();
    ASSERT_TRUE(answer.has_value()) << "the probe inside Tavrin did not answer";
    EXPECT_EQ(answer->tool_count, 1);
    EXPECT_TRUE(answer->tool_flags & TTF_IDISHWND);
    EXPECT_EQ(answer->tool_id, reinterpret_cast<std::uint64_t>(app().button()));
    EXPECT_STREQ(answer->tool_text, kToolTip) << utf8(answer->tool_text);
}

// The title bar and the task bar show the exe's own icon, at the sizes the display uses.
TEST_F(StartUp, WindowCarriesTheExecutablesIcon) {
    const std::optional<ProbeAnswer> answer = app().probe();
    ASSERT_TRUE(answer.has_value()) << "the probe inside Tavrin did not answer";
    const HMODULE exe = LoadLibraryExW(tavrin_path().c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    const struct {
        const char* name;
        IconPrint shown;
        int size;
    } icons[] = {{"large", answer->large_icon, GetSystemMetrics(SM_CXICON)},
                 {"small", answer->small_icon, GetSystemMetrics(SM_CXSMICON)}};
    for (const auto& icon : icons) {
        SCOPED_TRACE(icon.name);
        EXPECT_EQ(icon.shown.width, icon.size);
        EXPECT_EQ(icon.shown.height, icon.size);
        const auto own = static_cast<HICON>(
            LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, icon.size, icon.size, 0));
        ASSERT_NE(own, nullptr);
        EXPECT_EQ(icon.shown.hash, icon_print(own).hash) << "not the exe's own picture";
        DestroyIcon(own);
    }
    FreeLibrary(exe);
}

TEST_F(StartUp, RestingTheMouseOnTheButtonShowsTheTip) {
    const HWND tips = app().tool_tips();
    ASSERT_NE(tips, nullptr) << "no tool-tip window owned by the form";
    ASSERT_NO_FATAL_FAILURE(bring_to_front());
    const POINT centre = centre_on_screen(app().button());
    move_mouse(POINT{centre.x - 5, centre.y});
    move_mouse(centre);
    ASSERT_TRUE(wait_until([&] { return IsWindowVisible(tips) != FALSE; }))
        << "the tip did not show";
    EXPECT_EQ(text_of(tips), kToolTip) << utf8(text_of(tips));
    park_mouse();
}

}  // namespace
}  // namespace e2e
