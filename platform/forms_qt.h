// The forms run time over Qt Widgets: a window built from a form description, its clicks run on
// the one thread, message boxes and the top-level error report.
#pragma once

#include <QWidget>

#include <vector>

#include "platform/forms.h"

namespace platform::qt {

// A form on the screen: the Form its handlers get, with objects from `objects`.
class QtForm final : public QWidget, public Form {
  public:
    QtForm(const ProjectHeader& header, ObjectSource objects);

    // The widget of the control of that name; null for a name the form does not have.
    QWidget* control(TextView name) const;

    void message_box(TextView prompt, int style, TextView title) override;

  private:
    void set_control_text(const Control& control, TextView text) override;
    void unload() override { close(); }

    std::vector<std::pair<const Control*, QWidget*>> controls_;  // the widgets: the form's
};

}  // namespace platform::qt
