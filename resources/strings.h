// Every text the program shows, in one place: the window's, the notice, the error report, and
// the descriptions of the failures it reports. Sources are UTF-8.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "version.h"

namespace strings {

inline constexpr platform::TextView kProjectName = u"" TAVRIN_PRODUCT_NAME;
inline constexpr platform::TextView kFormCaption = u"TavrinV2";
inline constexpr platform::TextView kCommandCaption = u"开始获取";
inline constexpr platform::TextView kCommandToolTip = u"本按钮只获取插入的U盘符号和ID";
inline constexpr platform::TextView kResultFontFace = u"宋体";
// What screen readers call the result box: what the button's tool tip says it gets.
inline constexpr platform::TextView kResultName = u"插入的U盘符号和ID";

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
inline constexpr platform::TextView kNoUdevDatabase =
    u"无法读取设备信息：udev 的设备数据库（/run/udev/data）不存在。"
    u"本系统没有运行 udev（例如在容器或 WSL 中），无法识别U盘。";
inline constexpr platform::TextView kCannotListDevices = u"无法枚举块设备。";

// The run time's own descriptions of failures, as a Simplified Chinese Windows words them (the
// order of the sources is describe's, platform/error.h); a code nobody knows is kUnknownFailure
// and the code in hex ("自动化错误 0x800A0044").
struct FailureText {
    std::uint32_t code;
    platform::TextView text;
};
inline constexpr FailureText kFailureTexts[] = {
    // The file-system object's own errors.
    {0x800A0005, u"无效的过程调用或参数。"},
    {0x800A0044, u"设备不可用。"},
    {0x800A0046, u"没有权限。"},
    {0x800A0047, u"磁盘未准备好。"},
    {0x800A004C, u"路径未找到。"},
    // Objects that cannot be made.
    {0x80040154, u"没有注册类。"},
    {0x800401F3, u"无效的类字符串。"},
    {0x800401E4, u"无效的语法。"},
    // Late-bound calls.
    {0x80020001, u"未知接口。"},
    {0x80020003, u"找不到成员。"},
    {0x80020004, u"找不到参数。"},
    {0x80020005, u"类型不匹配。"},
    {0x80020006, u"未知名称。"},
    {0x80020007, u"无命名参数。"},
    {0x80020008, u"错误的变量类型。"},
    {0x80020009, u"发生意外。"},
    {0x8002000A, u"溢出。"},
    {0x8002000B, u"无效索引。"},
    {0x8002000C, u"未知的语言。"},
    {0x8002000D, u"内存已锁定。"},
    {0x8002000E, u"无效的参数数目。"},
    {0x8002000F, u"参数是必选项。"},
    {0x80020010, u"无效的被调用者。"},
    {0x80020011, u"不支持集合。"},
    {0x80020012, u"被零除。"},
    // The management service's, when it cannot describe them itself.
    {0x80041001, u"一般性故障。"},
    {0x80041002, u"未找到。"},
    {0x80041003, u"拒绝访问。"},
    {0x80041006, u"内存不足。"},
    {0x8004100E, u"无效的命名空间。"},
    {0x80041010, u"无效的类。"},
    {0x80041013, u"提供程序加载失败。"},
    {0x80041017, u"无效的查询。"},
    // General failures, where the system has no table of its own.
    {0x80004001, u"未实现。"},
    {0x80004003, u"无效指针。"},
    {0x8000FFFF, u"灾难性故障。"},
    {0x8007000E, u"内存不足。"},
    {0x80070057, u"参数错误。"},
};
inline constexpr platform::TextView kUnknownFailure = u"自动化错误 0x";

}  // namespace strings
