// Mocked devices under umockdev, whose preload library redirects /sys to a test bed.
#pragma once

#include <umockdev.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace testing_support {

inline void prepend(const char* variable, const std::string& value) {
    const char* old = std::getenv(variable);
    setenv(variable, (value + ":" + (old ? old : "")).c_str(), 1);
}

// Restarts the program with umockdev's preload library in front, as by hand or in a debugger.
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

// A fresh, empty sysfs for the life of the object; only one may live at a time.
class Testbed {
  public:
    Testbed() : testbed_(umockdev_testbed_new(), g_object_unref) {}

    // Adds the devices of a umockdev record, given as text or as the path of a record file.
    void add(const std::string& record, bool is_path = false) {
        g_autoptr(GError) error = nullptr;
        if (!(is_path ? umockdev_testbed_add_from_file : umockdev_testbed_add_from_string)(
                testbed_.get(), record.c_str(), &error)) {
            throw std::runtime_error(record.substr(0, 80) + ": " + error->message);
        }
    }

  private:
    std::shared_ptr<UMockdevTestbed> testbed_;
};

}  // namespace testing_support
