#include "umockdev_session.h"

#include <umockdev.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace testing_support {

namespace {

constexpr bool kAddressSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

void prepend(const char* variable, const std::string& value, char separator) {
    std::string combined = value;
    if (const char* old = std::getenv(variable); old && *old) {
        (combined += separator) += old;
    }
    setenv(variable, combined.c_str(), 1);
}

// The library only tells whether it is in place once a test bed exists; before that, the
// list of preloaded libraries does.
bool preloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload.so");
}

}  // namespace

void run_under_umockdev(char** argv) {
    if (preloaded()) {
        return;
    }
    prepend("LD_PRELOAD", "libumockdev-preload.so.0", ':');
    if (kAddressSanitizer) {
        // The preload library comes before the ASan run time in the list; ASan works with
        // that as long as it does not refuse to start.
        prepend("ASAN_OPTIONS", "verify_asan_link_order=0", ':');
    }
    execv("/proc/self/exe", argv);
    std::perror("restarting under umockdev");
    std::exit(127);
}

Testbed::Testbed() : testbed_(umockdev_testbed_new()) {
    if (!umockdev_in_mock_environment()) {
        throw std::runtime_error("umockdev's preload library is not loaded");
    }
}

Testbed::~Testbed() {
    g_object_unref(testbed_);
}

namespace {

std::string testbed_path(std::string_view file) {
    return std::string(TAVRIN_TESTBEDS) + "/" + std::string(file);
}

}  // namespace

void Testbed::load(std::string_view file) {
    const std::string path = testbed_path(file);
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_file(testbed_, path.c_str(), &error)) {
        const std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error(path + ": " + message);
    }
}

void Testbed::add(const std::string& record) {
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
        const std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("record text: " + message);
    }
}

void Testbed::unload(std::string_view file) {
    std::ifstream record(testbed_path(file));
    if (!record) {
        throw std::runtime_error(testbed_path(file) + ": cannot be read");
    }
    for (std::string line; std::getline(record, line);) {
        if (!line.starts_with("P: ")) {
            continue;
        }
        const std::string sys_path = "/sys" + line.substr(3);
        umockdev_testbed_remove_device(testbed_, sys_path.c_str());
        // The test bed leaves the /sys/block link of a block device behind, and would refuse
        // to make it again when the device is plugged back in.
        if (sys_path.find("/block/") != std::string::npos) {
            gchar* sys_dir = umockdev_testbed_get_sys_dir(testbed_);
            const std::string link =
                std::string(sys_dir) + "/block/" + sys_path.substr(sys_path.find_last_of('/') + 1);
            g_free(sys_dir);
            ::unlink(link.c_str());
        }
    }
}

void Testbed::set_attribute(const std::string& sys_path, const char* name, const char* value) {
    umockdev_testbed_set_attribute(testbed_, sys_path.c_str(), name, value);
}

}  // namespace testing_support
