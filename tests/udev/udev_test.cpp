// The udev back end under umockdev: the real click on every machine of machines.txt, and the
// objects the click uses, called directly where a drive changes between two calls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "drive_report/drive_report.h"
#include "platform/automation_udev.h"
#include "platform/udev_drives.h"
#include "resources/strings.h"
#include "umockdev_session.h"

namespace {

using namespace platform;
using testing_support::Testbed;

// The udev back end's objects, and a form that keeps what it is shown.
struct Machine final : platform::Runtime, platform::Form {
    Object get_object(TextView moniker) override { return udev_get_object(moniker); }
    Object create_object(TextView name) override { return udev_create_object(name); }
    void message_box(TextView prompt, int, TextView title) override {
        const bool no_drive = prompt == strings::kNoDrivePrompt && title == strings::kNoDriveTitle;
        shown.push_back(no_drive ? "notice" : "message " + to_utf8(prompt));
    }
    void set_text(ControlId, TextView text) override { shown.push_back(to_utf8(text)); }
    std::vector<std::string> shown;
};

// Everything one click on a fresh form shows, and the error it raises, if any.
std::vector<std::string> click() {
    Machine machine;
    try {
        drive_report::Command1_Click(machine, machine);
    } catch (const Error& e) {
        machine.shown.push_back("error " + std::to_string(e.number()));
    }
    return machine.shown;
}

// Runs the machines of a table in the form of machines.txt.
void run_machines(const std::string& path) {
    std::ifstream table(path);
    ASSERT_TRUE(table) << path;
    std::optional<Testbed> testbed;
    std::string machine;
    for (std::string line; std::getline(table, line);) {
        std::istringstream words(line);
        std::string step, word, report;
        words >> step;
        SCOPED_TRACE(machine + ": " + line);
        if (step == "machine") {
            testbed.emplace();
            machine = line;
        }
        while (words >> word) {
            if (step == "plug") {
                testbed->load(word);
            } else if (step == "pull") {
                testbed->unload(word);
            }
            (report += report.empty() ? "" : "\r\n") += word;
        }
        if (step == "click") {
            EXPECT_EQ(click(), std::vector{report});
        }
    }
}

TEST(UdevClick, ShowsTheReportOfEveryMachine) {
    run_machines(TAVRIN_MACHINES);
}

// Volumes made by the file systems' own tools and read by blkid, against their boot sectors.
TEST(UdevClick, ShowsWhatWindowsShowsForRealFileSystems) {
    std::string dir = std::filesystem::temp_directory_path() / "tavrin-images-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir.data()));
    const int status = std::system(("env -u LD_PRELOAD " TAVRIN_MAKE_IMAGES " " + dir).c_str());
    if (WEXITSTATUS(status) != 77) {
        ASSERT_EQ(status, 0);
        run_machines(dir + "/machines.txt");
    }
    std::filesystem::remove_all(dir);
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "a file-system tool is missing (tools/deps.sh, TEST_PACKAGES)";
    }
}

// The names the program passes, in other case: it spells them in mixed case itself.
constexpr TextView kService = u"WINMGMTS:\\\\.\\ROOT\\CIMV2";
constexpr TextView kFileSystem = u"SCRIPTING.FILESYSTEMOBJECT";

Object query(TextView text) {
    return udev_get_object(kService).call(u"ExecQuery", Text(text)).object();
}

Object drive(TextView id) {
    return udev_create_object(kFileSystem).call(u"GetDrive", Text(id)).object();
}

// The number of the error `call` raises, 0 for none; its description must contain `named`.
std::int32_t error_of(const std::function<void()>& call, const std::string& named = "") {
    try {
        call();
    } catch (const Error& e) {
        EXPECT_NE(to_utf8(e.description()).find(named), std::string::npos) << named;
        return e.number();
    }
    return 0;
}

TEST(UdevObjects, AnswerAsTheClickNeedsWhenDrivesChangeBetweenCalls) {
    Testbed testbed;
    testbed.load("fat_stick");
    testbed.load("exfat_stick");
    testbed.load("two_partitions");
    testbed.load("optical_drive");
    const std::pair<std::function<void()>, std::int32_t> cases[] = {
        {[] { udev_get_object(u"winmgmts:\\\\.\\root\\default"); }, codes::kMonikerSyntax},
        {[] { udev_create_object(u"Scripting.Dictionary"); }, codes::kClassString},
        {[] { query(u"Select * from Win32_LogicalDisk Where DriveType = 3"); },
         codes::kInvalidQuery},
        {[] { drive(u"sdb1:\\"); }, 0},
        // Identifiers that are not kernel names.
        {[] { drive(u"../sdb1:"); }, codes::kDeviceUnavailable},
        {[] { drive(u"SDB1:"); }, codes::kDeviceUnavailable},
        // No drive at all: ext4, which Windows does not mount, and an optical drive.
        {[] { drive(u"sde2:"); }, codes::kDeviceUnavailable},
        {[] { drive(u"sr0:"); }, codes::kDeviceUnavailable},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(error_of(cases[i].first), cases[i].second) << "case " << i;
    }
    // libudev itself refuses "..", so the objects alone cannot show this defence.
    EXPECT_FALSE(udev_drives::plausible_kernel_name(".."));

    // A kept drive object asks udev at every read; a query's result stays as it was.
    const Object disks = query(u"select * from win32_logicaldisk where drivetype = 2");
    const Object stick = drive(u"sdb1:");
    EXPECT_TRUE(to_bool(stick.get(u"IsReady")));
    testbed.unload("fat_stick");
    EXPECT_EQ(error_of([&] { stick.get(u"SerialNumber"); }, "sdb1:"), codes::kDiskNotReady);
    EXPECT_FALSE(to_bool(stick.get(u"IsReady")));
    EXPECT_EQ(error_of([] { drive(u"sdb1:"); }, "sdb1:"), codes::kDeviceUnavailable);
    EXPECT_EQ(to_decimal(disks.get(u"Count")), u"3");
    std::vector<Text> ids;
    for (Value& disk : disks.elements()) {
        ids.push_back(std::move(disk).object().get(u"DeviceID").text());
    }
    EXPECT_EQ(ids, (std::vector<Text>{u"sdb1:", u"sdc1:", u"sde1:"}));
    testbed.load("fat_stick");
    EXPECT_EQ(to_decimal(stick.get(u"SerialNumber")), u"-1056969216");
}

}  // namespace

int main(int argc, char** argv) {
    testing_support::run_under_umockdev(argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
