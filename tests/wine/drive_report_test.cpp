// The click of Command1 over the Windows back end and Wine's real services: first with the
// prefix as it is (no removable drive), then with a removable drive defined through Wine's
// mount manager, whose volume serial number Wine reads from the drive's .windows-serial file.
#include <gtest/gtest.h>
#include <windows.h>

#include <winioctl.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drive_report/drive_report.h"
#include "platform/automation_win.h"
#include "resources/strings.h"
#include "shell/form1.h"
#include "tests/wine/test_support.h"

namespace tavrin_test {
namespace {

using platform::Text;
using platform::TextView;

// The run time's services as the Windows forms run time gives them, with the message box and
// the form recorded instead of shown.
class WineRuntime final : public platform::Runtime, public platform::Form {
  public:
    platform::Object get_object(TextView moniker) override {
        return platform::com_get_object(moniker);
    }
    platform::Object create_object(TextView class_name) override {
        return platform::com_create_object(class_name);
    }
    void message_box(TextView prompt, int style, TextView title) override {
        boxes.push_back(Box{Text(prompt), style, Text(title)});
    }
    void set_text(platform::ControlId control, TextView text) override {
        texts.push_back({control, Text(text)});
    }

    struct Box {
        Text prompt;
        int style;
        Text title;
    };
    std::vector<Box> boxes;
    std::vector<std::pair<platform::ControlId, Text>> texts;
};

bool any_removable_drive() {
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        const wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
        if ((drives & (1u << i)) && GetDriveTypeW(root) == DRIVE_REMOVABLE) {
            return true;
        }
    }
    return false;
}

TEST(DriveReport, WithNoRemovableDriveTheUserIsAskedForOne) {
    ASSERT_FALSE(any_removable_drive()) << "the fresh prefix has a removable drive";
    WineRuntime runtime;
    drive_report::Command1_Click(runtime, runtime);
    EXPECT_TRUE(runtime.texts.empty());
    ASSERT_EQ(runtime.boxes.size(), 1u);
    EXPECT_EQ(runtime.boxes[0].prompt, strings::kNoDrivePrompt);
    EXPECT_EQ(runtime.boxes[0].style, platform::styles::kInformation);
    EXPECT_EQ(runtime.boxes[0].title, strings::kNoDriveTitle);
}

// ---------------------------------------------------------------------------------------------
// A removable drive in the prefix, through Wine's own extension of the mount manager (as
// winecfg defines drives). From Wine's include/ddk/mountmgr.h.

struct MountmgrUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset;
    USHORT device_offset;
    USHORT label_offset;
};
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using unique_handle = std::unique_ptr<void, HandleCloser>;

struct HeapFreer {
    void operator()(char* text) const { HeapFree(GetProcessHeap(), 0, text); }
};

// The Unix path of a Windows path, from Wine's kernel32.
std::optional<std::string> unix_path_of(const wchar_t* path) {
    using Function = char*(CDECL*)(const wchar_t*);
    const FARPROC address =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    if (!function) {
        return std::nullopt;
    }
    const std::unique_ptr<char, HeapFreer> unix_path(function(path));
    if (!unix_path) {
        return std::nullopt;
    }
    return std::string(unix_path.get());
}

// Defines `letter` as a drive of `type` over a Unix directory, or removes it (no directory).
bool define_drive(wchar_t letter, UINT type, const std::string& unix_directory) {
    std::vector<char> buffer(sizeof(MountmgrUnixDrive) + unix_directory.size() + 1);
    MountmgrUnixDrive drive{};
    drive.size = static_cast<ULONG>(buffer.size());
    drive.type = type;
    drive.letter = letter;
    if (!unix_directory.empty()) {
        drive.mount_point_offset = sizeof(MountmgrUnixDrive);
        std::memcpy(buffer.data() + sizeof drive, unix_directory.c_str(),
                    unix_directory.size() + 1);
    }
    std::memcpy(buffer.data(), &drive, sizeof drive);
    const unique_handle manager(
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (manager.get() == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD returned = 0;
    return DeviceIoControl(manager.get(), kDefineUnixDrive, buffer.data(),
                           static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
}

bool write_file(const wchar_t* path, const char* content) {
    const unique_handle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), content, static_cast<DWORD>(std::strlen(content)), &written,
                     nullptr) &&
           written == std::strlen(content);
}

class DriveReportWithAStick : public testing::Test {
  protected:
    static constexpr wchar_t kLetter = L'E';
    static constexpr const wchar_t* kStickDirectory = L"C:\\tavrin-usb-stick";

    void SetUp() override {
        ASSERT_FALSE(GetLogicalDrives() & (1u << (kLetter - L'A'))) << "E: already exists";
        ASSERT_TRUE(CreateDirectoryW(kStickDirectory, nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
        // Wine's volume serial number for a drive without a device: hex, in this file.
        ASSERT_TRUE(write_file(L"C:\\tavrin-usb-stick\\.windows-serial", "deadbeef\n"));
        const std::optional<std::string> unix_directory = unix_path_of(kStickDirectory);
        ASSERT_TRUE(unix_directory) << "wine_get_unix_file_name failed";
        ASSERT_TRUE(define_drive(kLetter, DRIVE_REMOVABLE, *unix_directory))
            << "the mount manager refused the drive, error " << GetLastError();
        defined_ = true;
        ASSERT_EQ(GetDriveTypeW(L"E:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
    }

    void TearDown() override {
        if (defined_) {
            EXPECT_TRUE(define_drive(kLetter, DRIVE_REMOVABLE, ""));
        }
    }

  private:
    bool defined_ = false;
};

TEST_F(DriveReportWithAStick, TheStickIsReportedWithItsSerialNumber) {
    WineRuntime runtime;
    drive_report::Command1_Click(runtime, runtime);
    EXPECT_TRUE(runtime.boxes.empty());
    ASSERT_EQ(runtime.texts.size(), 1u);
    EXPECT_EQ(runtime.texts[0].first, shell::kText1);
    // 0xDEADBEEF as the signed Long the file-system object gives.
    EXPECT_EQ(platform::to_utf8(runtime.texts[0].second), "E:-559038737");
}

}  // namespace
}  // namespace tavrin_test
