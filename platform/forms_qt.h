// The forms run time over Qt Widgets: a window built from a form description, its clicks run
// on the one thread, message boxes and the top-level error report.
#pragma once

#include <QWidget>

#include <functional>
#include <vector>

#include "platform/events.h"
#include "platform/forms.h"

class QPlainTextEdit;
class QPushButton;

namespace platform::qt {

// Geometry in device-independent pixels (1/96 inch): Qt scales them to the screen itself.
constexpr int to_dip(int twips) {
    return twips_to_pixels(twips, 96);
}

// Where a window's handlers get their automation objects from.
struct ObjectSource {
    std::function<Object(TextView moniker)> get_object;
    std::function<Object(TextView class_name)> create_object;
};

// The families to try, in order, for a font of the description.
QStringList font_families(const Font& font);

// The colour of a 0x00BBGGRR value.
QColor to_qcolor(Colour colour);

// A form on the screen. It is the Form its handlers get, and the Runtime: objects come from
// `objects`, message boxes are its own.
class QtForm final : public QWidget, public Form, public Runtime {
  public:
    QtForm(const ProjectHeader& header, ObjectSource objects);
    ~QtForm() override;

    QtForm(const QtForm&) = delete;
    QtForm& operator=(const QtForm&) = delete;

    // The widget of a control; null for an id the form does not have.
    QWidget* control(ControlId id) const;
    // 0 until an error has been reported, 1 after.
    int exit_status() const { return exit_status_; }

    // Form
    void set_text(ControlId control, TextView text) override;

    // Runtime
    Object get_object(TextView moniker) override;
    Object create_object(TextView class_name) override;
    void message_box(TextView prompt, int style, TextView title) override;

  private:
    struct LiveControl {
        const Control* description;
        QWidget* widget;  // owned by the form
    };

    void create_control(const Control& control);
    void click(ControlId id);
    void report_error(const Error& error);

    const ProjectHeader& header_;
    const FormDescription& description_;
    ObjectSource objects_;
    std::vector<LiveControl> controls_;
    ClickDispatcher clicks_{description_};
    int exit_status_ = 0;
};

// Shows the header's start-up form and runs the event loop until the form closes; returns
// the exit status. A QApplication must exist.
int run_form(const ProjectHeader& header, ObjectSource objects);

}  // namespace platform::qt
