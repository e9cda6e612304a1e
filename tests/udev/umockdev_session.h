// Mocked devices under umockdev, whose preload library redirects /sys to a test bed.
#pragma once

#include <umockdev.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testing_support {

inline void prepend(const char* variable, const std::string& value) {
    const char* old = std::getenv(variable);
    setenv(variable, (value + ":" + (old ? old : "")).c_str(), 1);
}

// Restarts the program with umockdev's preload library in front when it is not there yet, so
// that the tests and the benchmark run the same by hand, from CTest or from a debugger.
inline void run_under_umockdev(char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "libumockdev-preload.so")) {
        prepend("LD_PRELOAD", "libumockdev-preload.so.0");
        // Sanitized builds: ASan accepts a library ahead of its run time when told not to check.
        prepend("ASAN_OPTIONS", "verify_asan_link_order=0");
        execv("/proc/self/exe", argv);
        throw std::runtime_error("cannot restart under umockdev");
    }
}

// The text of a record file: in testbeds/ ("fat_stick") or elsewhere ("/tmp/…/fat12-0").
inline std::string read_record(std::string_view file) {
    const std::string path =
        (file.starts_with('/') ? "" : TAVRIN_TESTBEDS "/") + std::string(file) + ".umockdev";
    std::ostringstream text;
    if (!(text << std::ifstream(path).rdbuf())) {
        throw std::runtime_error(path + ": cannot be read");
    }
    return text.str();
}

// A fresh, empty sysfs for the life of the object, with devices from umockdev records.
class Testbed {
  public:
    Testbed() : testbed_(umockdev_testbed_new(), g_object_unref) {
        if (!umockdev_in_mock_environment()) {
            throw std::runtime_error("umockdev's preload library is not loaded");
        }
    }

    void load(std::string_view file) { add(read_record(file)); }
    void add(const std::string& record) {
        g_autoptr(GError) error = nullptr;
        if (!umockdev_testbed_add_from_string(testbed_.get(), record.c_str(), &error)) {
            throw std::runtime_error(std::string("record: ") + error->message);
        }
    }

    // Takes the devices of a record file out again, as when a stick is pulled.
    void unload(std::string_view file) {
        std::istringstream record(read_record(file));
        for (std::string line; std::getline(record, line);) {
            if (line.starts_with("P: ")) {
                umockdev_testbed_remove_device(testbed_.get(), ("/sys" + line.substr(3)).c_str());
                // The test bed leaves /sys/block/<name> behind and would not make it again.
                std::filesystem::remove(std::string(std::getenv("UMOCKDEV_DIR")) + "/sys/block/" +
                                        line.substr(line.find_last_of('/') + 1));
            }
        }
    }

  private:
    std::shared_ptr<UMockdevTestbed> testbed_;
};

}  // namespace testing_support
