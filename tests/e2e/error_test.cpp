// With the management service's scripting library disabled for Tavrin alone, a click fails:
// the error report names the error, and once it is dismissed the program has ended with
// exit status 1.
#include <cwctype>
#include <string>

#include "e2e_test.h"

namespace e2e {
namespace {

// A library disabled for one program alone, through Wine's per-program DLL overrides:
// HKCU\Software\Wine\AppDefaults\<program>.exe\DllOverrides, one value per library, empty
// for "disabled". (WINEDLLOVERRIDES in a child's environment block does nothing: Wine reads it
// from the Unix environment, which a Windows parent cannot change for its child.)
class DisabledLibrary {
  public:
    DisabledLibrary(const std::wstring& program, const wchar_t* library)
        : key_(L"Software\\Wine\\AppDefaults\\" + program) {
        HKEY overrides = nullptr;
        set_ = RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0,
                               KEY_SET_VALUE, nullptr, &overrides, nullptr) == ERROR_SUCCESS;
        if (set_) {
            set_ = RegSetValueExW(overrides, library, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""),
                                  sizeof(wchar_t)) == ERROR_SUCCESS;
            RegCloseKey(overrides);
        }
    }
    ~DisabledLibrary() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    DisabledLibrary(const DisabledLibrary&) = delete;
    DisabledLibrary& operator=(const DisabledLibrary&) = delete;

    bool set() const { return set_; }

  private:
    std::wstring key_;
    bool set_ = false;
};

std::wstring program_file_name() {
    const std::wstring& path = tavrin_path();
    return path.substr(path.find_last_of(L"\\/") + 1);
}

class ErrorReport : public TavrinTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(wbemdisp_off_.set()) << "cannot disable wbemdisp for Tavrin";
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_NO_FATAL_FAILURE(bring_to_front());
    }

    // The management service's scripting library, without which CoGetObject cannot reach
    // the service.
    DisabledLibrary wbemdisp_off_{program_file_name(), L"wbemdisp"};
};

// "运行时错误 <number> (0x<hex>)：" then CR LF CR LF and the description: the number, and the
// description's first line.
struct ParsedReport {
    long long number = 0;
    unsigned long long hex = 0;
    std::wstring description;
};

std::optional<ParsedReport> parse_report(const std::wstring& text) {
    const std::wstring heading = kErrorHeading;
    if (text.compare(0, heading.size(), heading) != 0) {
        return std::nullopt;
    }
    ParsedReport report;
    const wchar_t* cursor = text.c_str() + heading.size();
    wchar_t* end = nullptr;
    report.number = std::wcstoll(cursor, &end, 10);
    if (end == cursor || std::wcsncmp(end, L" (0x", 4) != 0) {
        return std::nullopt;
    }
    cursor = end + 4;
    report.hex = std::wcstoull(cursor, &end, 16);
    if (end - cursor != 8 || std::wcsncmp(end, L")：\r\n\r\n", 6) != 0) {
        return std::nullopt;
    }
    const std::wstring rest(end + 6);
    report.description = rest.substr(0, rest.find(L"\r\n"));
    return report;
}

TEST_F(ErrorReport, NamesTheErrorThenTheProgramEndsWithStatusOne) {
    click_centre(app().button());
    MessageBoxView report;
    ASSERT_NO_FATAL_FAILURE(wait_for_message_box(report));
    EXPECT_EQ(report.title, kErrorTitle) << utf8(report.title);
    RecordProperty("report", utf8(report.prompt));
    const std::optional<ParsedReport> parsed = parse_report(report.prompt);
    ASSERT_TRUE(parsed.has_value()) << "not an error report: " << utf8(report.prompt);
    EXPECT_LT(parsed->number, 0) << "a failure's HRESULT is negative";
    EXPECT_EQ(static_cast<unsigned long long>(static_cast<std::uint32_t>(parsed->number)),
              parsed->hex)
        << "the hexadecimal form is another number";
    bool described = false;
    for (const wchar_t c : parsed->description) {
        described = described || !std::iswspace(c);
    }
    EXPECT_TRUE(described) << "no description: " << utf8(report.prompt);
    ASSERT_EQ(report.buttons.size(), 1u);
    EXPECT_EQ(GetDlgCtrlID(report.buttons.front()), IDOK);
    if (report.icon != nullptr) {
        const int error = icon_mismatch(report.icon, IDI_ERROR);
        RecordProperty("pixels_off_the_error_icon", error);
        for (const wchar_t* other : {IDI_WARNING, IDI_INFORMATION, IDI_QUESTION}) {
            EXPECT_LT(error, icon_mismatch(report.icon, other));
        }
    } else {
        ADD_FAILURE() << "the error report has no icon";
    }
    EXPECT_TRUE(app().running()) << "the program ended before the report was dismissed";
    EXPECT_EQ(text_of(app().text_box()), L"");

    click_centre(report.buttons.front());
    const std::optional<DWORD> status = app().wait_for_exit();
    ASSERT_TRUE(status.has_value()) << "Tavrin is still running after the error report";
    EXPECT_EQ(*status, 1u);
}

}  // namespace
}  // namespace e2e
