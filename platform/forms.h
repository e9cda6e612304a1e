// Windows described as data: the forms run time builds them from these tables.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/runtime.h"
#include "platform/text.h"

namespace platform {

// Geometry is in twips, 1/1440 inch, relative to the form's client area.
struct Rect {
    int left, top, width, height;
};

// Converts twips to device pixels at `dpi` dots per inch, rounding to nearest.
constexpr int twips_to_pixels(int twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

// A font's height in pixels for its size in tenths of a point (negative: character height).
constexpr int font_height_pixels(int tenths_of_points, int dpi) {
    return -static_cast<int>((static_cast<long long>(tenths_of_points) * dpi + 360) / 720);
}

// 0x00BBGGRR.
using Colour = std::uint32_t;

struct Font {
    TextView face;  // empty: the platform's default font
    int tenths_of_points = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    int charset = 1;  // 1: the default character set
};

enum class ControlKind { TextBox, CommandButton };

struct Control {
    ControlKind kind;
    ControlId id;
    TextView name;
    Rect twips;
    int tab_index;
    TextView caption{};  // initial text of a text box
    TextView tool_tip{};
    TextView accessible_name{};  // what screen readers call it, where no caption says
    const Font* font = nullptr;  // null: the platform's default
    std::optional<Colour> back_colour{};
    bool multi_line = false;
};

using ClickHandler = void (*)(Runtime&, Form&);

struct ClickBinding {
    ControlId control;
    ClickHandler handler;
};

enum class BorderStyle { FixedSingle };
enum class StartUpPosition { CenterScreen };

struct FormDescription {
    TextView name;
    TextView caption;
    BorderStyle border;
    bool min_button;
    bool max_button;
    int client_width;  // twips
    int client_height;
    StartUpPosition position;
    std::span<const Control> controls;
    std::span<const ClickBinding> clicks;
};

enum class Threading { SingleThreaded };

// What the entry point hands to the run time.
struct ProjectHeader {
    TextView project_name;
    const FormDescription* startup_form;
    int form_count;
    TextView help_file;  // empty: none
    std::uint16_t locale;
    Threading threading;
};

// The form's controls in tab order (equal positions keep their order in the table): the
// order every back end creates them in, so the first holds the focus at start.
std::vector<const Control*> in_tab_order(const FormDescription& form);

// Starts the program as the header says and returns its exit status when it ends:
// 0 after the window was closed, non-zero after an error report.
int run(const ProjectHeader& header);

}  // namespace platform
