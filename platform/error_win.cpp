// Failure descriptions from the system's message tables, in the user's language.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/error.h"

namespace platform {
namespace {

// Owns a buffer FormatMessage allocated.
class LocalBuffer {
  public:
    LocalBuffer() = default;
    ~LocalBuffer() { LocalFree(buffer_); }
    LocalBuffer(const LocalBuffer&) = delete;
    LocalBuffer& operator=(const LocalBuffer&) = delete;

    // Where FormatMessage (with FORMAT_MESSAGE_ALLOCATE_BUFFER) writes the buffer's address.
    LPWSTR as_argument() { return reinterpret_cast<LPWSTR>(&buffer_); }
    const wchar_t* get() const { return buffer_; }

  private:
    wchar_t* buffer_ = nullptr;
};

// Owns a module loaded for its resources only.
class ResourceModule {
  public:
    explicit ResourceModule(const wchar_t* path)
        : module_(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ResourceModule() {
        if (module_) {
            FreeLibrary(module_);
        }
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;

    HMODULE get() const { return module_; }

  private:
    HMODULE module_;
};

// The message for `code` from the system's table (module null) or a module's, without the
// line break and spaces that end it; nothing when there is none.
std::optional<Text> message(DWORD source, HMODULE module, DWORD code) {
    LocalBuffer buffer;
    const DWORD length = FormatMessageW(
        source | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, module, code,
        0 /* the user's language, else the usual fallbacks */, buffer.as_argument(), 0, nullptr);
    if (length == 0 || !buffer.get()) {
        return std::nullopt;
    }
    Text text(reinterpret_cast<const char16_t*>(buffer.get()), length);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

// The management service's failures (WBEM_E_*, WBEMESS_E_*, WBEMMOF_E_*) are described by
// the message table of its utility library.
std::optional<Text> management_message(std::uint32_t code) {
    if (code < 0x80041000u || code > 0x80044FFFu) {
        return std::nullopt;
    }
    std::wstring path(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(path.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::nullopt;
    }
    path.resize(length);
    path += L"\\wbem\\wmiutils.dll";
    const ResourceModule library(path.c_str());
    if (!library.get()) {
        return std::nullopt;
    }
    return message(FORMAT_MESSAGE_FROM_HMODULE, library.get(), code);
}

Text fallback(std::uint32_t code) {
    Text text = u"自动化错误 0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += u"0123456789ABCDEF"[(code >> shift) & 0xF];
    }
    return text;
}

}  // namespace

Text describe(std::int32_t code) {
    const auto unsigned_code = static_cast<std::uint32_t>(code);
    if (auto text = message(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, unsigned_code)) {
        return std::move(*text);
    }
    // A Windows error in HRESULT form: the system's table may know only the bare number.
    if (HRESULT_FACILITY(unsigned_code) == FACILITY_WIN32 && (unsigned_code & 0x80000000u)) {
        if (auto text = message(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, HRESULT_CODE(unsigned_code))) {
            return std::move(*text);
        }
    }
    if (auto text = management_message(unsigned_code)) {
        return std::move(*text);
    }
    return fallback(unsigned_code);
}

}  // namespace platform
