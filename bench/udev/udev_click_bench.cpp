// The click over the udev back end against a bare libudev program, on 20 mocked USB sticks. The
// bare program asks udev what the click's objects ask: one enumeration of the block devices,
// then four look-ups by name per drive (the drive and its readiness, the drive and its serial
// number), each in a fresh udev context after a look for udev's database. A second baseline
// reads all in one pass over the enumeration, the least any program could do. Both apply the
// program's own rules to each device. Prints figures only.
//
//   unshare -r umockdev-wrapper bench_udev_click [rounds]
#include <libudev.h>
#include <sched.h>
#include <sys/mount.h>
#include <umockdev.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "bench/figures.h"
#include "bench/headless_form1.h"
#include "drive_report/automation_udev.h"
#include "drive_report/udev_drives.h"

namespace {

namespace rules = drive_report::udev_drives;

// A ready removable drive's serial number, by its name.
std::optional<std::int32_t> look_up(const std::string& name) {
    if (access("/run/udev/data", F_OK) != 0) {
        return std::nullopt;
    }
    udev* context = udev_new();
    udev_device* device = udev_device_new_from_subsystem_sysname(context, "block", name.c_str());
    udev_device* disk = udev_device_get_parent_with_subsystem_devtype(device, "block", "disk");
    std::optional<std::int32_t> serial;
    if (disk && rules::is_removable_disk(disk) && rules::is_drive(device)) {
        serial = rules::serial(device);
    }
    udev_device_unref(device);
    udev_unref(context);
    return serial;
}

std::string bare(bool one_pass) {
    udev* context = udev_new();
    udev_enumerate* enumeration = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumeration, "block");
    udev_enumerate_scan_devices(enumeration);
    std::vector<std::pair<std::string, std::optional<std::int32_t>>> drives;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration)) {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        const char* type = udev_device_get_devtype(device);  // a disk has no disk above it
        udev_device* disk =
            type && std::string_view(type) == "partition"
                ? udev_device_get_parent_with_subsystem_devtype(device, "block", "disk")
                : nullptr;
        if (disk && rules::is_removable_disk(disk) && rules::is_drive(device)) {
            drives.emplace_back(udev_device_get_sysname(device),
                                one_pass ? rules::serial(device) : std::nullopt);
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumeration);
    udev_unref(context);
    std::sort(drives.begin(), drives.end());  // the kernel's order here: sdb to sdu, on major 8
    std::string report;
    for (auto& [name, serial] : drives) {
        if (!one_pass && look_up(name) && look_up(name) && look_up(name)) {
            serial = look_up(name);
        }
        if (serial) {
            (report += report.empty() ? "" : "\r\n") += name + ":" + std::to_string(*serial);
        }
    }
    return report;
}

}  // namespace

int main(int argc, char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");  // set by umockdev-wrapper
    // udev's database goes into a /run of the bench's own, as the udev test stages it.
    if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr ||
        unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0) {
        std::fputs("usage: unshare -r umockdev-wrapper bench_udev_click [rounds]\n", stderr);
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    UMockdevTestbed* const testbed = umockdev_testbed_new();
    g_autofree gchar* root_dir = umockdev_testbed_get_root_dir(testbed);
    const std::filesystem::path root = root_dir;
    std::filesystem::create_directories(root / "run/udev/data");
    std::filesystem::create_directory_symlink(root / "run/udev", "/run/udev");
    std::stringstream stick;
    stick << std::ifstream(TAVRIN_BENCH_STICK).rdbuf();
    // Sticks sdb to sdu: "@L" in the record stands for the letter, "@N" for a number from 10.
    for (int i = 0; i < 20; ++i) {
        const std::string letter(1, static_cast<char>('b' + i)), number = std::to_string(10 + i);
        std::string record = stick.str();
        for (std::size_t at; (at = record.find('@')) != std::string::npos;) {
            record.replace(at, 2, record[at + 1] == 'L' ? letter : number);
        }
        if (!umockdev_testbed_add_from_string(testbed, record.c_str(), nullptr)) {
            std::fputs("bench_udev_click: cannot read " TAVRIN_BENCH_STICK "\n", stderr);
            return 2;
        }
        for (const char* kind : {"0", "1"}) {  // the disk and its partition, initialized
            std::ofstream(root / ("run/udev/data/b8:" + number + kind)) << "I:1\nV:1\n";
        }
    }

    HeadlessForm1 form({&drive_report::udev_get_object, &drive_report::udev_create_object});
    form.click();
    const std::string report(form.text.begin(), form.text.end());  // ASCII
    const bool same = report == bare(false) && report == bare(true);
    std::printf("Report:\n%s\n\nThe same from all three: %s\n\n", report.c_str(),
                same ? "yes" : "NO");
    const auto ours = [&] { return figures::time_ms([&] { form.click(); }); };
    for (const bool one_pass : {false, true}) {
        figures::print("udev click", "Command1_Click",
                       one_pass ? "bare libudev, one pass" : "bare libudev, same look-ups",
                       figures::side_by_side(rounds, ours, [&] {
                           return figures::time_ms([&] { bare(one_pass); });
                       }));
    }
    g_object_unref(testbed);
    return same ? 0 : 1;
}
