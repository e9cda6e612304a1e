// Every text the program shows, in one place. Sources are UTF-8.
#pragma once

#include "platform/text.h"

namespace strings {

inline constexpr platform::TextView kProjectName = u"Corvane";
inline constexpr platform::TextView kFormCaption = u"TavrinV2";
inline constexpr platform::TextView kCommandCaption = u"开始获取";
inline constexpr platform::TextView kCommandToolTip = u"本按钮只获取插入的U盘符号和ID";
inline constexpr platform::TextView kResultFontFace = u"宋体";

// The notice when no removable drive is ready.
inline constexpr platform::TextView kNoDrivePrompt = u"请插入U盘再运行程序！";
inline constexpr platform::TextView kNoDriveTitle = u"提示！";

// The top-level error report: "运行时错误 -2147221020 (0x800401E4)：" then the description.
inline constexpr platform::TextView kErrorReportHeading = u"运行时错误 ";
inline constexpr platform::TextView kErrorReportFooter = u"程序将关闭。";
// When the window cannot be created at start-up.
inline constexpr platform::TextView kStartupFailed = u"无法创建程序窗口。";

}  // namespace strings
