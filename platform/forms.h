// Windows described as data, and the forms run time's portable core: the form a handler gets.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "platform/automation.h"
#include "platform/text.h"

namespace platform {

// Geometry is in twips, 1/1440 inch, relative to the form's client area.
struct Rect {
    int left, top, width, height;
};

// Twips to device pixels at `dpi` dots per inch, rounding to nearest.
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

inline constexpr int kGb2312Charset = 134;

// Not italic, not underlined, not struck out.
struct Font {
    TextView face;  // where the face is missing, the platform picks one for the character set
    int tenths_of_points;
    int weight;
    int charset;
};

class Form;
using ClickHandler = void (*)(Form&);

// A text box is multi-line: it wraps at its width, has no scroll bars and no length limit.
enum class ControlKind { TextBox, CommandButton };

struct Control {
    ControlKind kind;
    TextView name;  // how handlers address it
    Rect twips;
    TextView caption{};  // a text box's initial text
    TextView tool_tip{};
    TextView accessible_name{};  // what screen readers call it, where its caption does not say
    const Font* font = nullptr;  // null: the platform's default
    std::optional<Colour> back_colour{};
    ClickHandler click = nullptr;
};

// A form with a fixed single border, centred on the screen, with a close button and the
// title-bar buttons asked for. Its controls are listed in tab order: the first has the focus.
struct FormDescription {
    TextView caption;
    bool min_button;
    bool max_button;
    int client_width;  // twips
    int client_height;
    std::span<const Control> controls;
};

// What the entry point hands to the run time. The program has one form, no help file and one
// thread, and the run time's own texts are Simplified Chinese (locale 2052): facts of this
// run time, not fields.
struct ProjectHeader {
    TextView project_name;  // the title of the error report
    const FormDescription* startup_form;
};

// Where a form's handlers get automation objects: by moniker, and new ones by class name.
struct ObjectSource {
    std::function<Object(TextView moniker)> get_object;
    std::function<Object(TextView class_name)> create_object;
};

// Message box styles: the icon, with one OK button.
namespace styles {
inline constexpr int kCritical = 16;
inline constexpr int kInformation = 64;
}  // namespace styles

// A live form as its handlers see it, and what the run time does around them on every
// platform: it finds controls by name, runs a control's click handler one click at a time, and
// shows an error that leaves a handler in the top-level error report, after which the form
// closes. A back end makes the window and its controls, sets their text, shows message boxes
// and runs the event loop.
class Form {
  public:
    Form(const ProjectHeader& header, ObjectSource objects)
        : header_(header), objects_(std::move(objects)) {}
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    Object get_object(TextView moniker) const { return objects_.get_object(moniker); }
    Object create_object(TextView class_name) const { return objects_.create_object(class_name); }
    // Replaces the whole text of the control of that name.
    void set_text(TextView control, TextView text);
    // A modal message box; returns when the user dismisses it.
    virtual void message_box(TextView prompt, int style, TextView title) = 0;

    // 0 until an error has been reported, 1 after.
    int exit_status() const { return exit_status_; }

  protected:
    const FormDescription& description() const { return *header_.startup_form; }
    // The user clicked a control (one of description().controls).
    void click(const Control& control);
    virtual void set_control_text(const Control& control, TextView text) = 0;
    // Closes the window; with it the program ends.
    virtual void unload() = 0;

  private:
    const ProjectHeader& header_;
    ObjectSource objects_;
    bool in_handler_ = false;
    int exit_status_ = 0;
};

// The text of the top-level error report for the exception being handled (call it inside a
// catch): the error's number and description; memory exhaustion and anything else become
// errors of their own.
Text error_report();

// Starts the program as the header says, with the platform's objects, and returns its exit
// status when it ends: 0 after the window was closed, 1 after an error report.
int run(const ProjectHeader& header, const ObjectSource& objects);

}  // namespace platform
