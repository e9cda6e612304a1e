// The probe library: loaded into Tavrin's process by the driver's message hook, it reads what
// only that process can read and hands it back through the shared block (see probe.h).
#include <windows.h>

#include <commctrl.h>

#include <cwchar>
#include <string>

#include "probe.h"

namespace {

std::wstring object_name(const wchar_t* prefix, WPARAM driver) {
    return prefix + std::to_wstring(static_cast<unsigned long long>(driver));
}

void read_text_box_font(HWND text_box, e2e::ProbeAnswer& answer) {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(text_box, WM_GETFONT, 0, 0));
    if (font == nullptr ||
        GetObjectW(font, sizeof answer.text_box_font, &answer.text_box_font) == 0) {
        return;
    }
    answer.has_text_box_font = 1;
    if (const HDC dc = GetDC(text_box)) {
        const HGDIOBJ previous = SelectObject(dc, font);
        GetTextFaceW(dc, LF_FACESIZE, answer.text_box_face_used);
        answer.text_box_char_set_used = GetTextCharset(dc);
        SelectObject(dc, previous);
        ReleaseDC(text_box, dc);
    }
}

void read_tools(HWND tool_tips, e2e::ProbeAnswer& answer) {
    answer.tool_count = static_cast<std::int32_t>(SendMessageW(tool_tips, TTM_GETTOOLCOUNT, 0, 0));
    if (answer.tool_count <= 0) {
        return;
    }
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    if (!SendMessageW(tool_tips, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) {
        return;
    }
    answer.tool_flags = tool.uFlags;
    answer.tool_window = reinterpret_cast<std::uint64_t>(tool.hwnd);
    answer.tool_id = tool.uId;
    // Asked again with a buffer, whose size TTM_GETTEXTW takes in wParam.
    tool.lpszText = answer.tool_text;
    SendMessageW(tool_tips, TTM_GETTEXTW, sizeof answer.tool_text / sizeof(wchar_t),
                 reinterpret_cast<LPARAM>(&tool));
}

void answer_driver(WPARAM driver) {
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE,
                                            object_name(e2e::kProbeBlockPrefix, driver).c_str());
    if (mapping == nullptr) {
        return;
    }
    auto* block = static_cast<e2e::ProbeBlock*>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(e2e::ProbeBlock)));
    if (block != nullptr) {
        e2e::ProbeAnswer& answer = block->answer;
        answer = e2e::ProbeAnswer{};
        if (const HDC screen = GetDC(nullptr)) {
            answer.dpi = GetDeviceCaps(screen, LOGPIXELSY);
            ReleaseDC(nullptr, screen);
        }
        read_text_box_font(reinterpret_cast<HWND>(block->request.text_box), answer);
        const auto form = reinterpret_cast<HWND>(block->request.form);
        answer.large_icon =
            e2e::icon_print(reinterpret_cast<HICON>(GetClassLongPtrW(form, GCLP_HICON)));
        answer.small_icon =
            e2e::icon_print(reinterpret_cast<HICON>(GetClassLongPtrW(form, GCLP_HICONSM)));
        if (block->request.tool_tips != 0) {
            read_tools(reinterpret_cast<HWND>(block->request.tool_tips), answer);
        }
        UnmapViewOfFile(block);
    }
    CloseHandle(mapping);
    if (const HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE,
                                       object_name(e2e::kProbeDonePrefix, driver).c_str())) {
        SetEvent(done);
        CloseHandle(done);
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    tavrin_e2e_probe_hook(int code, WPARAM removed, LPARAM message) {
    if (code == HC_ACTION && removed == PM_REMOVE) {
        static const UINT probe_message = RegisterWindowMessageW(e2e::kProbeMessage);
        const MSG& posted = *reinterpret_cast<const MSG*>(message);
        if (posted.message == probe_message) {
            answer_driver(posted.wParam);
        }
    }
    return CallNextHookEx(nullptr, code, removed, message);
}
