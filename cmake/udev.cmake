# The Linux automation back end: the management service and the file-system object over
# libudev (Debian: libudev-dev).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUDEV REQUIRED IMPORTED_TARGET libudev)

add_library(tavrin_udev STATIC
    ${CMAKE_CURRENT_LIST_DIR}/../platform/automation_udev.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../platform/udev_drives.cpp)
target_link_libraries(tavrin_udev PUBLIC tavrin_portable PRIVATE PkgConfig::LIBUDEV)
