// What the driver asks of the probe library inside Tavrin's process, and what it answers.
//
// Some facts about a window can only be read by its own process: the LOGFONT behind a control's
// font, and the tools registered with a tool-tip window (TTM_ENUMTOOLS hands back pointers). The
// driver hooks Tavrin's thread (WH_GETMESSAGE) with the probe library, fills the request in a
// named shared block and posts kProbeMessage to the form; the hook answers from inside and sets
// the done event.
#pragma once

#include <windows.h>

#include <cstdint>

namespace e2e {

inline constexpr wchar_t kProbeMessage[] = L"TavrinE2eProbe";
inline constexpr char kProbeHookExport[] = "tavrin_e2e_probe_hook";
inline constexpr wchar_t kProbeLibrary[] = L"tavrin_e2e_probe.dll";  // beside the driver

// Both named after the driver's process id, which the posted message carries as its wParam.
inline constexpr wchar_t kProbeBlockPrefix[] = L"Local\\TavrinE2eProbeBlock.";
inline constexpr wchar_t kProbeDonePrefix[] = L"Local\\TavrinE2eProbeDone.";

// An icon as drawn: its size and a hash of its colour and mask bits as 32-bit DIBs.
struct IconPrint {
    std::int32_t width;
    std::int32_t height;
    std::uint64_t hash;
};

// Reads an icon's print; both the probe and the driver use it, so they hash alike.
inline IconPrint icon_print(HICON icon) {
    IconPrint print{};
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return print;
    }
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    const HDC dc = GetDC(nullptr);
    for (const HBITMAP bitmap : {info.hbmColor, info.hbmMask}) {
        BITMAP shape{};
        if (bitmap == nullptr || !GetObjectW(bitmap, sizeof shape, &shape)) {
            continue;
        }
        if (bitmap == info.hbmColor || print.width == 0) {
            print.width = shape.bmWidth;
            print.height = bitmap == info.hbmColor ? shape.bmHeight : shape.bmHeight / 2;
        }
        BITMAPINFO format{};
        format.bmiHeader = {
            sizeof(BITMAPINFOHEADER), shape.bmWidth, shape.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::uint8_t* bits = new std::uint8_t[4u * shape.bmWidth * shape.bmHeight];
        const int rows = GetDIBits(dc, bitmap, 0, shape.bmHeight, bits, &format, DIB_RGB_COLORS);
        for (std::size_t i = 0; i < 4u * shape.bmWidth * rows; ++i) {
            hash = (hash ^ bits[i]) * 1099511628211ull;
        }
        delete[] bits;
        DeleteObject(bitmap);
    }
    ReleaseDC(nullptr, dc);
    print.hash = hash;
    return print;
}

struct ProbeRequest {
    std::uint64_t form;       // HWND
    std::uint64_t text_box;   // HWND
    std::uint64_t tool_tips;  // HWND, 0 when there is none
};

struct ProbeAnswer {
    std::int32_t dpi;  // LOGPIXELSY of the screen as Tavrin's process sees it
    std::int32_t has_text_box_font;
    LOGFONTW text_box_font;
    wchar_t text_box_face_used[LF_FACESIZE];  // what the font mapper gave for it
    std::int32_t text_box_char_set_used;
    std::int32_t tool_count;
    std::uint32_t tool_flags;   // of the first tool
    std::uint64_t tool_window;  // its hwnd member
    std::uint64_t tool_id;      // its uId member
    wchar_t tool_text[256];     // its text
    IconPrint large_icon;       // the form's class icons
    IconPrint small_icon;
};

struct ProbeBlock {
    ProbeRequest request;
    ProbeAnswer answer;
};

}  // namespace e2e
