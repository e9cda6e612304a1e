#include "e2e_test.h"

#include <cwchar>
#include <vector>

namespace e2e {

namespace {

struct DriveFacts {
    wchar_t letter;
    UINT type;
    bool ready;
    DWORD serial;  // when ready
};

// What run-e2e.sh makes for each set (see make_drives there).
const std::vector<DriveFacts>& drives_of(const std::wstring& set) {
    static const std::vector<DriveFacts> several = {
        {L'E', DRIVE_REMOVABLE, true, 0xC0FFEE00}, {L'F', DRIVE_REMOVABLE, false, 0},
        {L'G', DRIVE_REMOVABLE, true, 0x80000000}, {L'H', DRIVE_FIXED, true, 0x12345678},
        {L'I', DRIVE_REMOVABLE, true, 0x7FFFFFFF},
    };
    static const std::vector<DriveFacts> none = {
        {L'F', DRIVE_REMOVABLE, false, 0},
        {L'H', DRIVE_FIXED, true, 0x12345678},
    };
    static const std::vector<DriveFacts> unknown;
    return set == L"several" ? several : set == L"none" ? none : unknown;
}

std::wstring root_of(wchar_t letter) {
    return std::wstring{letter, L':', L'\\'};
}

// Ready as Tavrin judges it: the drive answers a question about its free space.
bool is_ready(wchar_t letter) {
    ULARGE_INTEGER free_bytes{};
    return GetDiskFreeSpaceExW(root_of(letter).c_str(), &free_bytes, nullptr, nullptr) != 0;
}

}  // namespace

std::wstring drive_set() {
    return environment_value(L"TAVRIN_E2E_DRIVES");
}

int display_dpi_made() {
    return _wtoi(environment_value(L"TAVRIN_E2E_DPI").c_str());
}

void TavrinTest::TearDown() {
    app_.reset();  // ends Tavrin if the test left it running
}

void TavrinTest::start(const LaunchOptions& options) {
    ASSERT_FALSE(tavrin_path().empty()) << "no Tavrin.exe given (--tavrin= or TAVRIN_EXE)";
    std::wstring error;
    park_mouse();
    app_ = Tavrin::start(options, &error);
    ASSERT_NE(app_, nullptr) << utf8(error);
}

void TavrinTest::require_drive_set(const wchar_t* name) {
    if (drive_set() != name) {
        GTEST_SKIP() << "needs the drive set '" << utf8(name) << "' (run-e2e.sh --drives "
                     << utf8(name) << "); this run has '" << utf8(drive_set()) << "'";
    }
    const DWORD present = GetLogicalDrives();
    for (const DriveFacts& drive : drives_of(name)) {
        const std::wstring root = root_of(drive.letter);
        SCOPED_TRACE("drive " + utf8(root));
        ASSERT_TRUE(present & (1u << (drive.letter - L'A')));
        ASSERT_EQ(GetDriveTypeW(root.c_str()), drive.type);
        ASSERT_EQ(is_ready(drive.letter), drive.ready);
        if (drive.ready) {
            DWORD serial = 0;
            ASSERT_TRUE(GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr,
                                              nullptr, 0));
            ASSERT_EQ(serial, drive.serial);
        }
    }
    // No ready removable drive beyond the set's.
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        if (!(present & (1u << (letter - L'A'))) ||
            GetDriveTypeW(root_of(letter).c_str()) != DRIVE_REMOVABLE || !is_ready(letter)) {
            continue;
        }
        bool listed = false;
        for (const DriveFacts& drive : drives_of(name)) {
            listed = listed || drive.letter == letter;
        }
        ASSERT_TRUE(listed) << "unexpected ready removable drive " << static_cast<char>(letter);
    }
}

void TavrinTest::bring_to_front() {
    ASSERT_TRUE(app_->bring_to_front()) << "Tavrin's window did not come to the front";
}

void TavrinTest::wait_for_message_box(MessageBoxView& view) {
    const HWND window = app_->wait_for_message_box();
    ASSERT_NE(window, nullptr) << "no message box came";
    view = Tavrin::read_message_box(window);
}

std::wstring TavrinTest::wait_for_new_text(const std::wstring& before) {
    std::wstring text = before;
    wait_until([&] { return (text = text_of(app_->text_box())) != before; });
    return text;
}

}  // namespace e2e
