// What every scenario shares: the texts Tavrin must show, the drive sets run-e2e.sh makes, and a
// fixture that starts Tavrin and ends it after the test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "tavrin_app.h"

namespace e2e {

inline constexpr wchar_t kCaption[] = L"TavrinV2";
inline constexpr wchar_t kButtonText[] = L"开始获取";
inline constexpr wchar_t kToolTip[] = L"本按钮只获取插入的U盘符号和ID";
inline constexpr wchar_t kNoDrivePrompt[] = L"请插入U盘再运行程序！";
inline constexpr wchar_t kNoDriveTitle[] = L"提示！";
inline constexpr wchar_t kErrorTitle[] = L"Corvane";
inline constexpr wchar_t kErrorHeading[] = L"运行时错误 ";

// The report for the drive set "several": E: c0ffee00, F: not ready, G: 80000000,
// H: a fixed disk, I: 7fffffff.
inline constexpr wchar_t kSeveralDrivesReport[] = L"E:-1056969216\r\nG:-2147483648\r\nI:2147483647";

// The drive set and the dots per inch run-e2e.sh made for this run, from the environment it
// passes on (TAVRIN_E2E_DRIVES, TAVRIN_E2E_DPI).
std::wstring drive_set();
int display_dpi_made();

class TavrinTest : public testing::Test {
  protected:
    void TearDown() override;

    // Starts Tavrin and waits for its window; a fatal failure when it does not come.
    void start(const LaunchOptions& options = {});
    Tavrin& app() { return *app_; }

    // Skips the test unless this run has the drive set, and checks that the drives are
    // what the set promises, as Windows reports them.
    void require_drive_set(const wchar_t* name);

    // Brings the form (or its message box) to the front for keyboard and mouse input.
    void bring_to_front();

    // Waits for Tavrin's message box and reads it; a fatal failure when none comes.
    void wait_for_message_box(MessageBoxView& view);

    // Waits for the text box to hold something other than `before` and returns it.
    std::wstring wait_for_new_text(const std::wstring& before);

  private:
    std::unique_ptr<Tavrin> app_;
};

}  // namespace e2e
