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
    .charset = 134,  // GB2312
};

// Tab order follows the table: Command1 first, so it holds the focus at start.
constexpr Control kControls[] = {
    {
        .kind = ControlKind::CommandButton,
        .id = kCommand1,
        .name = u"Command1",
        .twips = {720, 1680, 1065, 375},
        .tab_index = 0,
        .caption = strings::kCommandCaption,
        .tool_tip = strings::kCommandToolTip,
    },
    {
        .kind = ControlKind::TextBox,
        .id = kText1,
        .name = u"Text1",
        .twips = {240, 240, 2010, 1305},
        .tab_index = 1,
        .accessible_name = strings::kResultName,
        .font = &kResultFont,
        .back_colour = 0x0080FF80,
        .multi_line = true,
    },
};

constexpr platform::ClickBinding kClicks[] = {
    {kCommand1, &drive_report::Command1_Click},
};

}  // namespace

const platform::FormDescription kForm1{
    .name = u"Form1",
    .caption = strings::kFormCaption,
    .border = platform::BorderStyle::FixedSingle,
    .min_button = false,
    .max_button = false,
    .client_width = 2520,
    .client_height = 2235,
    .position = platform::StartUpPosition::CenterScreen,
    .controls = kControls,
    .clicks = kClicks,
};

const platform::ProjectHeader kProject{
    .project_name = strings::kProjectName,
    .startup_form = &kForm1,
    .form_count = 1,
    .help_file = {},
    .locale = 2052,
    .threading = platform::Threading::SingleThreaded,
};

}  // namespace shell
