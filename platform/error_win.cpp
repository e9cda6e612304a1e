// Failure descriptions on Windows, in the program's language: the management service's own
// for its codes, the run time's table, the system's message tables.
#include <windows.h>

#include <wbemcli.h>
#include <wrl/client.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/handles_win.h"

namespace platform {
namespace {

using unique_local = unique_handle<HLOCAL, LocalFree>;

// A message without the line break and spaces that end it; nothing when that leaves nothing.
std::optional<Text> trimmed(Text text) {
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
        text.pop_back();
    }
    return text.empty() ? std::nullopt : std::optional(text);
}

// The system's message for `code`.
std::optional<Text> system_message(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0 /* the user's language, else the usual fallbacks */,
        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const unique_local owner(buffer);
    return trimmed(Text(reinterpret_cast<const char16_t*>(buffer), buffer != nullptr ? length : 0));
}

// The management service's description of one of its codes (WBEM_E_*, WBEMESS_E_*,
// WBEMMOF_E_*), in Simplified Chinese where the system has that language. Wine's answers
// every code with "Error code: 0x..." alone, which says no more than the report does: none.
std::optional<Text> management_message(std::uint32_t code) {
    if (code < 0x80041000u || code > 0x80044FFFu) {
        return std::nullopt;
    }
    Microsoft::WRL::ComPtr<IWbemStatusCodeText> status;
    BSTR text = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WbemStatusCodeText, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&status))) ||
        FAILED(status->GetErrorCodeText(static_cast<HRESULT>(code), MAKELCID(0x0804, SORT_DEFAULT),
                                        0, &text))) {
        return std::nullopt;
    }
    Text description(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
    SysFreeString(text);
    Text upper = description;
    for (char16_t& c : upper) {
        c = c >= u'a' && c <= u'f' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    }
    if (upper.find(hex32(code)) != Text::npos) {
        return std::nullopt;
    }
    return trimmed(description);
}

}  // namespace

Text describe(std::int32_t code) {
    const auto unsigned_code = static_cast<std::uint32_t>(code);
    if (auto text = management_message(unsigned_code)) {
        return std::move(*text);
    }
    if (auto text = own_description(code)) {
        return std::move(*text);
    }
    if (auto text = system_message(unsigned_code)) {
        return std::move(*text);
    }
    // A Windows error in HRESULT form: the system's table may know only the bare number.
    if (HRESULT_FACILITY(unsigned_code) == FACILITY_WIN32 && (unsigned_code & 0x80000000u)) {
        if (auto text = system_message(HRESULT_CODE(unsigned_code))) {
            return std::move(*text);
        }
    }
    return unknown_failure(code);
}

}  // namespace platform
