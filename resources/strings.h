// Every text the program shows, in one place: the window's, the notice, the error report, and
// the descriptions of the failures it reports. Sources are UTF-8.
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
// What the Linux build's management service and file-system object say when they fail, as
// their Windows counterparts do; "%" stands for the name the failure concerns.
inline constexpr platform::TextView kUnknownMember = u"对象不支持此属性或方法：%。";
inline constexpr platform::TextView kBadArgumentCount = u"参数个数无效：%。";
inline constexpr platform::TextView kUnknownMoniker =
    u"无效的语法：无法识别对象路径“%”。本程序只支持 winmgmts:\\\\.\\root\\cimv2。";
inline constexpr platform::TextView kUnknownClass =
    u"无效的类字符串：无法创建“%”。本程序只支持 Scripting.FileSystemObject。";
inline constexpr platform::TextView kUnsupportedQuery =
    u"无效的查询。本程序只支持查询可移动逻辑磁盘："
    u"Select * from Win32_LogicalDisk Where DriveType = 2。";
inline constexpr platform::TextView kDeviceUnavailableNamed = u"设备不可用：%。";
inline constexpr platform::TextView kDiskNotReadyNamed = u"磁盘未准备好：%。";
inline constexpr platform::TextView kNoUdev = u"无法读取设备信息（udev 不可用）。";
inline constexpr platform::TextView kCannotListDevices = u"无法枚举块设备。";

}  // namespace strings
