// Form1 without a window, for the click benchmarks: its objects come from the platform's
// source, the text set into Text1 is kept, and so is a message box's prompt, counted.
#pragma once

#include "platform/forms.h"
#include "shell/form1.h"

struct HeadlessForm1 final : platform::Form {
    explicit HeadlessForm1(platform::ObjectSource objects)
        : Form(shell::kProject, std::move(objects)) {}
    void message_box(platform::TextView prompt, int, platform::TextView) override {
        ++message_boxes;
        text = prompt;
    }
    void set_control_text(const platform::Control&, platform::TextView shown) override {
        text = shown;
    }
    void unload() override {}
    void click() { Form::click(description().controls.front()); }

    platform::Text text;
    int message_boxes = 0;
};
