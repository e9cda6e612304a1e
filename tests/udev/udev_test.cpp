// The udev back end under umockdev: the real click on the machines of machines.txt and of the
// images make_images.py makes, and the objects the click uses where a drive changes meanwhile.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <umockdev.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "drive_report/automation_udev.h"
#include "support.h"

namespace {

using namespace platform;
using drive_report::udev_create_object;
using drive_report::udev_get_object;
using testing_support::error_of;

// The scripted machine's form, which keeps what it is shown, over the udev back end's objects.
struct Machine final : testing_support::ScriptedMachine {
    Machine() : ScriptedMachine(ObjectSource{&udev_get_object, &udev_create_object}) {}
};

// The names the program passes, in other case: it spells them in mixed case itself.
Object query(TextView text) {
    const Object service = udev_get_object(u"WINMGMTS:\\\\.\\ROOT\\CIMV2");
    return service.call(u"ExecQuery", Text(text)).object();
}

Object drive(const std::string& id) {
    const Object file_system = udev_create_object(u"SCRIPTING.FILESYSTEMOBJECT");
    return file_system.call(u"GetDrive", Text(id.begin(), id.end())).object();
}

// A fresh sysfs, the old one gone first (one at a time), with these record files of `dir`, and
// with "udev" among them udev's database: an entry per block device udev has initialized.
void plug(const std::string& dir, std::vector<std::string> files) {
    const bool udev = std::erase(files, "udev") > 0;
    static std::shared_ptr<UMockdevTestbed> testbed;
    testbed.reset();
    testbed.reset(umockdev_testbed_new(), g_object_unref);
    for (const std::string& file : files) {
        g_autoptr(GError) error = nullptr;
        const std::string path = dir + "/" + file + ".umockdev";
        ASSERT_TRUE(umockdev_testbed_add_from_file(testbed.get(), path.c_str(), &error))
            << error->message;
    }
    g_autofree gchar* root_dir = umockdev_testbed_get_root_dir(testbed.get());
    const std::filesystem::path root = root_dir;
    std::filesystem::remove("/run/udev");
    if (!udev) {
        return;
    }
    std::filesystem::create_directories(root / "run/udev/data");
    std::filesystem::create_directory_symlink(root / "run/udev", "/run/udev");
    std::error_code none;  // no block devices
    for (const auto& device : std::filesystem::directory_iterator(root / "sys/dev/block", none)) {
        std::stringstream uevent;
        uevent << std::ifstream(device.path() / "uevent").rdbuf();
        if (const auto at = uevent.str().find("USEC_INITIALIZED="); at != std::string::npos) {
            std::ofstream((root / "run/udev/data/b") += device.path().filename())
                << "I:" << std::stoull(uevent.str().substr(at + 17)) << "\nV:1\n";
        }
    }
}

// Runs a table like machines.txt with record files in `dir`; plug and pull make a fresh sysfs.
void run_machines(const std::string& dir, const std::string& path) {
    std::ifstream table(path);
    ASSERT_TRUE(table) << path;
    std::vector<std::string> plugged;
    for (std::string line, machine; std::getline(table, line);) {
        std::istringstream words(line);
        std::string step, word, report;
        words >> step;
        if (step == "machine") {
            machine = line;
            plugged = {"udev"};
        }
        while (words >> word) {
            if (step == "plug") {
                plugged.push_back(word);
            } else if (step == "pull") {
                std::erase(plugged, word);
            } else if (step == "absent") {
                EXPECT_EQ(error_of([&] { drive(word); }, word), codes::kDeviceUnavailable)
                    << machine;
            } else if (step == "unready") {
                const auto ready = [&] { EXPECT_FALSE(to_bool(drive(word).get(u"IsReady"))); };
                EXPECT_EQ(error_of(ready), 0) << machine;
            }
            (report += report.empty() ? "" : report == "error" ? " " : R"(\r\n)") += word;
        }
        if (step == "click") {
            EXPECT_EQ(Machine().click(), report) << machine;
        } else if (step != "absent" && step != "unready") {
            plug(dir, plugged);
        }
    }
}

// The hand-made machines, then volumes made by the file systems' own tools and read by blkid.
TEST(UdevClick, ShowsTheReportOfEveryMachine) {
    run_machines(TAVRIN_TESTBEDS, TAVRIN_MACHINES);
    std::string dir = std::filesystem::temp_directory_path() / "tavrin-images-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir.data()));
    const int status = std::system(("env -u LD_PRELOAD " TAVRIN_MAKE_IMAGES " " + dir).c_str());
    if (status == 0) {
        run_machines(dir, dir + "/machines.txt");
    }
    std::filesystem::remove_all(dir);
    EXPECT_EQ(status, 0) << "a file-system tool failed or is missing (tools/deps.sh)";
}

TEST(UdevObjects, AnswerAsTheClickNeedsWhenDrivesChangeBetweenCalls) {
    EXPECT_EQ(error_of([] { udev_get_object(u"winmgmts:\\\\.\\root\\default"); }),
              codes::kMonikerSyntax);
    EXPECT_EQ(error_of([] { udev_create_object(u"Scripting.Dictionary"); }), codes::kClassString);
    EXPECT_EQ(error_of([] { query(u"Select * from Win32_LogicalDisk Where DriveType = 3"); }),
              codes::kInvalidQuery);

    // A kept drive object asks udev at every read; a query's result stays as it was.
    plug(TAVRIN_TESTBEDS, {"udev", "fat_stick"});
    const Object disks = query(u"select * from win32_logicaldisk where drivetype = 2");
    const Object stick = drive("sdb1:\\");
    plug(TAVRIN_TESTBEDS, {"udev"});
    EXPECT_EQ(error_of([&] { stick.get(u"SerialNumber"); }, "sdb1:"), codes::kDiskNotReady);
    EXPECT_FALSE(to_bool(stick.get(u"IsReady")));
    int listed = 0;
    for (Value& disk : disks.elements()) {
        listed += std::move(disk).object().get(u"DeviceID").text() == u"sdb1:";
    }
    EXPECT_EQ(listed, 1);
    plug(TAVRIN_TESTBEDS, {"udev", "fat_stick"});
    EXPECT_EQ(to_decimal(stick.get(u"SerialNumber")), u"-1056969216");
    plug(TAVRIN_TESTBEDS, {"fat_stick"});  // udev does not run: the object says so
    EXPECT_EQ(error_of([&] { stick.get(u"IsReady"); }, "udev 的设备数据库"), codes::kUnexpected);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* preload = std::getenv("LD_PRELOAD");  // set by umockdev-wrapper
    // udev's database goes in a /run of its own (Debian 12's umockdev leaves /run/udev alone).
    if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr ||
        unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        mount("tmpfs", "/run", "tmpfs", 0, "mode=0755")) {
        std::fputs("run it as root or under unshare -r, and under umockdev-wrapper\n", stderr);
        return 2;
    }
    return RUN_ALL_TESTS();
}
