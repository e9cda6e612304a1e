// Failure descriptions on Windows, in the program's language: the management service's own
// for its codes, the run time's table, the system's message tables.
#include <windows.h>

#include <wbemcli.h>
#include <wrl/client.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/win32.h"

namespace platform {
namespace {

// A message without the line break and spaces that end it; nothing when that leaves nothing.
std::optional<Text> trimmed(Text text) {
    text.erase(text.find_last_not_of(u"\r\n ") + 1);
    return text.empty() ? std::nullopt : std::optional(text);
}

// The system's message for `code`, in the user's language or else the usual fallbacks.
std::optional<Text> system_message(DWORD code) {
    Owner<wchar_t*, LocalFree> buffer;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(buffer.put()), 0, nullptr);
    return trimmed(text_of(buffer.get(), length));
}

// The management service's description of one of its codes (WBEM_E_*, WBEMESS_E_*,
// WBEMMOF_E_*), in Simplified Chinese where the system has that language. Wine's answers
// every code with "Error code: 0x..." alone, which says no more than the report does: none.
// A status-code object that cannot be made or asked leaves the code to the other tables.
std::optional<Text> management_message(std::uint32_t code) {
    Microsoft::WRL::ComPtr<IWbemStatusCodeText> status;
    Bstr text;
    if (code < 0x80041000u || code > 0x80044FFFu ||
        FAILED(CoCreateInstance(CLSID_WbemStatusCodeText, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&status))) ||
        FAILED(status->GetErrorCodeText(static_cast<HRESULT>(code), MAKELCID(0x0804, SORT_DEFAULT),
                                        0, text.put()))) {
        return std::nullopt;
    }
    const Text description = text_of(text.get(), SysStringLen(text.get()));
    if (!std::ranges::search(description, format_hex32(code), {}, ascii_lower, ascii_lower)
             .empty()) {
        return std::nullopt;
    }
    return trimmed(description);
}

}  // namespace

Text describe(std::int32_t code) {
    const auto unsigned_code = static_cast<std::uint32_t>(code);
    std::optional<Text> text = management_message(unsigned_code);
    if (!text) {
        text = own_description(code);
    }
    if (!text) {
        text = system_message(unsigned_code);
    }
    // A Windows error in HRESULT form: the system's table may know only the bare number.
    if (!text && HRESULT_FACILITY(unsigned_code) == FACILITY_WIN32 && code < 0) {
        text = system_message(HRESULT_CODE(unsigned_code));
    }
    return text ? *text : unknown_failure(code);
}

}  // namespace platform
