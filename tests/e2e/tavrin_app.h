// The driver's view of a running Tavrin: starting it, finding its windows, reading them from
// outside, and driving it through the keyboard and mouse as a person at the machine would.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "probe.h"

namespace e2e {

// Generous: Wine starts a process in about a second, but a loaded machine can take far longer.
inline constexpr DWORD kWaitMs = 20000;

void set_tavrin_path(std::wstring path);
const std::wstring& tavrin_path();

// Polls until the condition holds; false when the time ran out first.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = kWaitMs);

std::string utf8(std::wstring_view text);
std::wstring environment_value(const wchar_t* name);

// Reading any window, whoever owns it.
std::wstring class_name(HWND window);
// These ask the window (WM_GETTEXT, WM_GETTEXTLENGTH). GetWindowText and
// GetWindowTextLength would not for another process's window: they answer from the window's
// stored name, which an edit control does not keep up to date.
std::wstring text_of(HWND window);
std::size_t text_length(HWND window);
DWORD style_of(HWND window);
DWORD ex_style_of(HWND window);
RECT rect_in_client_of(HWND child, HWND parent);
SIZE client_size(HWND window);
POINT screen_point(HWND window, POINT client);
POINT centre_on_screen(HWND window);
COLORREF screen_pixel(POINT point);
bool is_visible_top_level(HWND window);

// How far an icon on the screen is from a system icon drawn here at its size: the number of
// pixels that differ.
int icon_mismatch(HWND icon_control, const wchar_t* system_icon);

// The keyboard and the mouse.
void move_mouse(POINT point);
void click(POINT point);
void click_centre(HWND window);
void park_mouse();  // in a corner of the screen, over nothing of Tavrin's
void press(WORD virtual_key);
void press_with(WORD modifier, WORD virtual_key);
void type(std::wstring_view text);

struct LaunchOptions {
    std::wstring arguments;
};

// A message box as its reader sees it.
struct MessageBoxView {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::wstring title;
    std::wstring prompt;
    HWND icon = nullptr;
    std::vector<HWND> buttons;
};

class Tavrin {
  public:
    // Starts the program and waits for its window; null (with the reason in *error) when
    // either fails.
    static std::unique_ptr<Tavrin> start(const LaunchOptions& options, std::wstring* error);

    ~Tavrin();  // ends the process if it is still running
    Tavrin(const Tavrin&) = delete;
    Tavrin& operator=(const Tavrin&) = delete;

    HWND form() const { return form_; }
    HWND button() const { return button_; }
    HWND text_box() const { return text_box_; }
    DWORD process_id() const { return process_.dwProcessId; }

    std::vector<HWND> visible_windows() const;
    HWND tool_tips() const;  // the tool-tip window owned by the form, if any
    HWND focus() const;      // the keyboard focus on Tavrin's thread
    bool bring_to_front() const;

    // The visible message box of Tavrin's process, once there is one; null on time-out.
    HWND wait_for_message_box() const;
    HWND message_box() const;
    static MessageBoxView read_message_box(HWND window);

    bool running() const;
    std::optional<DWORD> wait_for_exit(DWORD timeout_ms = kWaitMs) const;

    // Facts only Tavrin's own process can read (see probe.h); empty when the probe failed.
    std::optional<ProbeAnswer> probe() const;

    // Leaves the process running when this object goes (for screenshots).
    void keep_running() { keep_running_ = true; }

  private:
    Tavrin() = default;
    bool find_windows();

    PROCESS_INFORMATION process_{};
    HWND form_ = nullptr;
    HWND button_ = nullptr;
    HWND text_box_ = nullptr;
    bool keep_running_ = false;
};

}  // namespace e2e
