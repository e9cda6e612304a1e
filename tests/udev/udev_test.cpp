// The udev back end under umockdev: the real click on the machines of machines.txt and on the
// images make_images.py made, and the objects the click uses where a drive changes meanwhile.
#include <umockdev.h>

#include "drive_report/automation_udev.h"
#include "support.h"

namespace {

using namespace drive_report;
using namespace testing_support;
namespace fs = std::filesystem;

const ObjectSource udev_objects{&udev_get_object, &udev_create_object};
const bool own_run = fs::is_empty("/run");  // as CMakeLists.txt runs it

Object drive(const std::string& id) {  // through the class name in other case than the program's
    const Object file_system = udev_create_object(u"SCRIPTING.FILESYSTEMOBJECT");
    return file_system.call(u"GetDrive", Text(id.begin(), id.end())).object();
}

// A fresh sysfs (the old one gone first) of these record files and, with "udev", udev's database.
void plug(const std::string& dir, std::vector<std::string> files) {
    ASSERT_TRUE(own_run) << "it stages udev's database in a /run of its own: run it with ctest";
    const bool udev = std::erase(files, "udev") > 0;
    static std::shared_ptr<UMockdevTestbed> testbed;
    testbed.reset();
    testbed.reset(umockdev_testbed_new(), g_object_unref);
    for (const std::string& file : files) {
        const std::string path = dir + "/" + file + ".umockdev";
        ASSERT_TRUE(umockdev_testbed_add_from_file(testbed.get(), path.c_str(), nullptr)) << path;
    }
    fs::remove_all("/run/udev");
    if (udev)
        fs::create_directories("/run/udev/data");
    g_autofree gchar* root = umockdev_testbed_get_root_dir(testbed.get());
    std::error_code none;  // no block devices
    for (const auto& device : fs::directory_iterator(std::string(root) + "/sys/dev/block", none)) {
        const std::string number = device.path().filename();
        g_autofree gchar* usec = umockdev_testbed_get_property(
            testbed.get(), ("/sys/dev/block/" + number).c_str(), "USEC_INITIALIZED");
        if (udev && usec != nullptr)
            std::ofstream("/run/udev/data/b" + number) << "I:" << usec << "\nV:1\n";
    }
}

// Runs a table like machines.txt with record files in `dir`.
void run_machines(const std::string& dir, const std::string& path) {
    std::vector<std::string> plugged;
    for (const std::string& line : lines_of(path)) {
        std::istringstream words(line);
        std::string step, word;
        words >> step;
        if (step == "machine")
            plugged = {"udev"};
        if (step == "click") {
            EXPECT_EQ(ScriptedMachine(udev_objects).click(), line.substr(6));
        }
        while (words >> word) {
            if (step == "plug" || step == "pull") {
                step == "plug" ? plugged.push_back(word) : (void)std::erase(plugged, word);
            } else if (step == "absent") {
                EXPECT_EQ(error_of([&] { drive(word); }, word), codes::kDeviceUnavailable);
            } else if (step == "unready") {
                EXPECT_FALSE(to_bool(drive(word).get(u"IsReady")));
            }
        }
        if (step == "machine" || step == "plug" || step == "pull")
            plug(dir, plugged);
    }
}

// The hand-made machines, then volumes made by the file systems' own tools and read by blkid.
TEST(UdevClick, ShowsTheReportOfEveryMachine) {
    run_machines(TAVRIN_TESTBEDS, TAVRIN_MACHINES);
    run_machines(TAVRIN_IMAGES, TAVRIN_IMAGES "/machines.txt");
}

TEST(UdevObjects, RefuseWhatTheyDoNotKnowAndAskUdevAtEveryRead) {
    const Object service = udev_get_object(u"WINMGMTS:\\\\.\\ROOT\\CIMV2");  // in other case
    EXPECT_EQ(error_of([] { udev_get_object(u"winmgmts:\\\\.\\root\\default"); }),
              codes::kMonikerSyntax);
    EXPECT_EQ(error_of([] { udev_create_object(u"Scripting.Dictionary"); }), codes::kClassString);
    EXPECT_EQ(error_of([&] { service.call(u"ExecQuery", u"Select * from Win32_LogicalDisk"); }),
              codes::kInvalidQuery);
    // A kept drive object asks udev at every read; a query's result stays as it was.
    plug(TAVRIN_TESTBEDS, {"udev", "fat_stick"});
    const Object disks =
        service.call(u"ExecQuery", u"select * from win32_logicaldisk where drivetype = 2").object();
    const Object stick = drive("sdb1:\\");
    plug(TAVRIN_TESTBEDS, {"udev"});
    EXPECT_EQ(error_of([&] { stick.get(u"SerialNumber"); }, "sdb1:"), codes::kDiskNotReady);
    auto listed = disks.elements();  // as it was: sdb1 first, whether it is there or not
    EXPECT_EQ(std::move(*listed.begin()).object().get(u"DeviceID").text(), u"sdb1:");
}

}  // namespace
