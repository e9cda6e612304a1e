#include "shell/form1.h"

#include "drive_report/drive_report.h"
#include "resources/strings.h"

namespace shell {

namespace {

using platform::Control;
using platform::ControlKind;

constexpr platform::Font kResultFont{
    .face = strings::kResultFontFace,
    .tenths_of_points = 105,
    .weight = 400,
    .charset = platform::kGb2312Charset,
};

// In tab order: Command1 first, so it holds the focus at start.
constexpr Control kControls[] = {
    {
        .kind = ControlKind::CommandButton,
        .name = u"Command1",
        .twips = {720, 1680, 1065, 375},
        .caption = strings::kCommandCaption,
        .tool_tip = strings::kCommandToolTip,
        .click = &drive_report::Command1_Click,
    },
    {
        .kind = ControlKind::TextBox,
        .name = u"Text1",
        .twips = {240, 240, 2010, 1305},
        .accessible_name = strings::kResultName,
        .font = &kResultFont,
        .back_colour = 0x0080FF80,
    },
};

constexpr platform::FormDescription kForm1{
    .caption = strings::kFormCaption,
    .min_button = false,
    .max_button = false,
    .client_width = 2520,
    .client_height = 2235,
    .controls = kControls,
};

}  // namespace

const platform::ProjectHeader kProject{
    .project_name = strings::kProjectName,
    .startup_form = &kForm1,
};

}  // namespace shell
