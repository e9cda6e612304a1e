// Running under umockdev: the preload library that redirects /sys, and test beds of mocked
// block devices described in umockdev record files.
#pragma once

#include <string>
#include <string_view>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace testing_support {

// Restarts the program with libumockdev's preload library in front when it is not there yet,
// so that the tests and the benchmark run the same by hand, from CTest or from a debugger.
// Sanitized builds also need ASan told not to insist on coming first in the library list.
void run_under_umockdev(char** argv);

// A fresh, empty sysfs for the life of the object. Devices come from record files (by name,
// from the test bed directory) or record text.
class Testbed {
  public:
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    void load(std::string_view file);
    void add(const std::string& record);
    // Takes the devices of a record file out again, as when they are pulled. The file lists
    // children before their parents, which is the order they go in.
    void unload(std::string_view file);
    // Changes a sysfs attribute of a device, as when a medium is put in.
    void set_attribute(const std::string& sys_path, const char* name, const char* value);

  private:
    UMockdevTestbed* testbed_;
};

}  // namespace testing_support
