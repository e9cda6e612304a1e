// The click over the udev back end against a bare libudev program making the same look-ups,
// on a machine with 20 mocked USB sticks. Prints figures; checks nothing.
//
// The bare program asks udev what the click's objects ask: one enumeration of the block
// devices, then for each drive four look-ups by name (the drive for readiness, readiness, the
// drive for the serial number, the serial number), each in a fresh udev context after a look
// for udev's database. A third column shows a single pass over the enumeration, the least any
// program could do.
#include <libudev.h>
#include <sched.h>
#include <sys/mount.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "drive_report/automation_udev.h"
#include "shell/form1.h"

namespace {

constexpr int kSticks = 20;

std::string stick_record(int i) {
    const std::string port = "1-" + std::to_string(i + 1);
    const std::string host = std::to_string(i + 6);
    const std::string disk = "sd" + std::string(1, static_cast<char>('b' + i));
    const int minor = 16 * (i + 1);
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/" + port;
    const std::string scsi =
        usb + "/" + port + ":1.0/host" + host + "/target" + host + ":0:0/" + host + ":0:0:0";
    char uuid[16];
    std::snprintf(uuid, sizeof uuid, "%04X-%04X", 0xC000 + i, 0xEE00 + i);
    const std::string m = std::to_string(minor), m1 = std::to_string(minor + 1);
    return "P: " + scsi + "/block/" + disk + "/" + disk + "1\nN: " + disk +
           "1\nE: SUBSYSTEM=block\nE: DEVTYPE=partition\nE: DEVNAME=/dev/" + disk +
           "1\nE: MAJOR=8\nE: MINOR=" + m1 + "\nE: ID_FS_TYPE=vfat\nE: ID_FS_USAGE=filesystem" +
           "\nE: ID_PART_ENTRY_SCHEME=dos\nE: ID_PART_ENTRY_TYPE=0xc\nE: ID_FS_UUID=" + uuid +
           "\nA: dev=8:" + m1 + "\nA: partition=1\nA: size=2097152\n\n" +  //
           "P: " + scsi + "/block/" + disk + "\nN: " + disk +
           "\nE: SUBSYSTEM=block\nE: DEVTYPE=disk\nE: DEVNAME=/dev/" + disk +
           "\nE: MAJOR=8\nE: MINOR=" + m + "\nA: dev=8:" + m +
           "\nA: removable=1\nA: size=7831552\n\n" +                           //
           "P: " + scsi + "\nE: SUBSYSTEM=scsi\nE: DEVTYPE=scsi_device\n\n" +  //
           "P: " + usb + "/" + port + ":1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\n" +
           "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
}

class Machine final : public platform::Form {
  public:
    Machine()
        : Form(shell::kProject,
               {&drive_report::udev_get_object, &drive_report::udev_create_object}) {}
    void message_box(platform::TextView, int, platform::TextView) override { report.clear(); }
    void set_control_text(const platform::Control&, platform::TextView text) override {
        report = text;
    }
    void unload() override {}
    void click() { Form::click(description().controls.front()); }
    platform::Text report;
};

// --- The bare libudev program ---------------------------------------------------------------

std::string value(const char* text) {
    return text ? text : "";
}

bool removable(udev_device* disk) {
    if (value(udev_device_get_property_value(disk, "ID_CDROM")) == "1") {
        return false;
    }
    if (value(udev_device_get_sysattr_value(disk, "removable")) == "1") {
        return true;
    }
    udev_device* card = udev_device_get_parent_with_subsystem_devtype(disk, "mmc", nullptr);
    return card && value(udev_device_get_sysattr_value(card, "type")) != "MMC";
}

// One look-up of a partition by name: whether it is a ready removable drive, and its serial.
bool look_up(const std::string& name, long& serial) {
    const bool database = access("/run/udev/data", F_OK) == 0;
    udev* context = udev_new();
    udev_device* device = udev_device_new_from_subsystem_sysname(context, "block", name.c_str());
    bool ready = false;
    if (device) {
        udev_device* disk = udev_device_get_parent_with_subsystem_devtype(device, "block", "disk");
        const std::string uuid = value(udev_device_get_property_value(device, "ID_FS_UUID"));
        ready = database && disk && removable(disk) && udev_device_get_is_initialized(device) &&
                value(udev_device_get_property_value(device, "ID_PART_ENTRY_TYPE")) == "0xc" &&
                !value(udev_device_get_property_value(device, "ID_FS_TYPE")).empty() &&
                std::atoll(value(udev_device_get_sysattr_value(device, "size")).c_str()) > 0 &&
                uuid.size() == 9;
        if (ready) {
            serial = static_cast<std::int32_t>(
                std::strtoul((uuid.substr(0, 4) + uuid.substr(5)).c_str(), nullptr, 16));
        }
        udev_device_unref(device);
    }
    udev_unref(context);
    return ready;
}

// Enumerates the block devices; each removable disk's partitions with a file system, or
// everything read at once when `single_pass`.
std::string bare(bool single_pass) {
    udev* context = udev_new();
    udev_enumerate* enumeration = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumeration, "block");
    udev_enumerate_scan_devices(enumeration);
    std::vector<std::pair<std::string, long>> drives;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration)) {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (device && value(udev_device_get_devtype(device)) == "partition") {
            udev_device* disk =
                udev_device_get_parent_with_subsystem_devtype(device, "block", "disk");
            const std::string uuid = value(udev_device_get_property_value(device, "ID_FS_UUID"));
            if (disk && removable(disk) &&
                !value(udev_device_get_property_value(device, "ID_FS_TYPE")).empty()) {
                drives.emplace_back(
                    udev_device_get_sysname(device),
                    single_pass
                        ? std::strtoul((uuid.substr(0, 4) + uuid.substr(5)).c_str(), nullptr, 16)
                        : 0);
            }
        }
        if (device) {
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(enumeration);
    udev_unref(context);
    // Here the kernel's order is the names' order: sdb to sdu, all on major 8.
    std::sort(drives.begin(), drives.end());
    std::string report;
    for (auto& [name, serial] : drives) {
        if (!single_pass) {
            long ignored = 0;
            if (!look_up(name, ignored) || !look_up(name, ignored) || !look_up(name, ignored) ||
                !look_up(name, serial)) {
                continue;
            }
        }
        (report += report.empty() ? "" : "\r\n") +=
            name + ":" + std::to_string(static_cast<int>(serial));
    }
    return report;
}

// --- Timing ---------------------------------------------------------------------------------

template <class Run>
double median_microseconds(Run&& run, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");  // set by umockdev-wrapper
    // udev's database goes into a /run of the bench's own, as the udev test stages it.
    if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr ||
        unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0) {
        std::fputs(
            "usage, as root or under unshare -r: umockdev-wrapper bench_udev_click [rounds]\n",
            stderr);
        return 2;
    }
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    UMockdevTestbed* const testbed = umockdev_testbed_new();
    for (int i = 0; i < kSticks; ++i) {
        umockdev_testbed_add_from_string(testbed, stick_record(i).c_str(), nullptr);
    }
    gchar* const root = umockdev_testbed_get_root_dir(testbed);
    const std::filesystem::path udev = root;
    g_free(root);
    std::filesystem::create_directories(udev / "run/udev/data");
    std::filesystem::create_directory_symlink(udev / "run/udev", "/run/udev");
    for (int minor = 16; minor <= 16 * kSticks + 1; ++minor) {  // every disk and partition
        std::ofstream((udev / "run/udev/data/b8:") += std::to_string(minor)) << "I:1\nV:1\n";
    }

    Machine machine;
    machine.click();
    const std::string click_report(machine.report.begin(), machine.report.end());  // ASCII
    const bool same = click_report == bare(false) && click_report == bare(true);
    std::printf("%d mocked removable partitions, %d rounds each, median per click\n", kSticks,
                rounds);
    std::printf(
        "reports agree: %s (%zu drives)\n\n", same ? "yes" : "NO",
        static_cast<std::size_t>(std::count(click_report.begin(), click_report.end(), '\n') + 1));

    // Interleaved, so that both see the same load on the machine.
    double click = 0, looked_up = 0, single = 0;
    for (int part = 0; part < 3; ++part) {
        click += median_microseconds([&] { machine.click(); }, rounds / 3 + 1);
        looked_up += median_microseconds([] { bare(false); }, rounds / 3 + 1);
        single += median_microseconds([] { bare(true); }, rounds / 3 + 1);
    }
    click /= 3, looked_up /= 3, single /= 3;
    std::printf("%-44s %12s %8s\n", "", "us/click", "ratio");
    std::printf("%-44s %12.0f %8.2f\n", "Command1_Click over the udev back end", click, 1.0);
    std::printf("%-44s %12.0f %8.2f\n", "bare libudev, the same look-ups", looked_up,
                click / looked_up);
    std::printf("%-44s %12.0f %8.2f\n", "bare libudev, one pass over the enumeration", single,
                click / single);
    std::printf("\nclick / same look-ups = %.2fx (goal: within 1.20x)\n", click / looked_up);
    g_object_unref(testbed);
    return 0;
}
