# The Linux program: the forms run time over Qt Widgets, automation over libudev, the desktop
# entry, the AppStream metadata, the icon theme files and a Debian package.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUDEV REQUIRED IMPORTED_TARGET libudev)

# The run time's own failure descriptions and conversions, and the window over Qt; what stands
# for the management service and the file-system object, over libudev.
target_sources(tavrin_runtime PRIVATE platform/host.cpp)
add_library(tavrin_udev STATIC drive_report/automation_udev.cpp drive_report/udev_drives.cpp)
target_link_libraries(tavrin_udev PUBLIC tavrin_runtime PRIVATE PkgConfig::LIBUDEV)
add_library(tavrin_qt STATIC platform/forms_qt.cpp platform/forms_qt.h)
target_link_libraries(tavrin_qt PUBLIC tavrin_runtime Qt6::Widgets)
# The window icon: the .ico, inside the program.
qt_add_resources(tavrin_qt tavrin_qt_icon PREFIX /tavrin BASE ${CMAKE_SOURCE_DIR}/resources/icon
                 FILES ${TAVRIN_ICON_FILE})

add_executable(tavrin shell/main_qt.cpp)
target_link_libraries(tavrin PRIVATE tavrin_app tavrin_qt tavrin_udev)

# The icon theme: the SVG, and a PNG for each size the .ico holds, its 32-bit image as icotool
# extracts it.
find_program(TAVRIN_ICOTOOL icotool REQUIRED)
set(icon_theme_dir ${CMAKE_BINARY_DIR}/hicolor)
configure_file(resources/icon/tavrin.svg ${icon_theme_dir}/scalable/apps/tavrin.svg COPYONLY)
set(icon_pngs)
foreach(size 16 24 32 48 64 72 96 128)
    set(png ${icon_theme_dir}/${size}x${size}/apps/tavrin.png)
    add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_theme_dir}/${size}x${size}/apps
        COMMAND ${TAVRIN_ICOTOOL} -x -w ${size} -b 32 -o ${png} ${TAVRIN_ICON_FILE}
        DEPENDS ${TAVRIN_ICON_FILE}
        VERBATIM)
    list(APPEND icon_pngs ${png})
endforeach()
add_custom_target(tavrin_icon_pngs ALL DEPENDS ${icon_pngs})

# The AppStream file is named after its component id.
configure_file(resources/linux/com.corvane.tavrin.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/com.corvane.tavrin.metainfo.xml @ONLY)
# The manual page and Debian's changelog, gzipped with no name or time in them.
set(TAVRIN_MAINTAINER "${TAVRIN_COMPANY_NAME} <${TAVRIN_CONTACT}>")
set(gzipped)
foreach(file tavrin.1 changelog)
    configure_file(resources/linux/${file}.in ${CMAKE_BINARY_DIR}/${file} @ONLY)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${file}.gz
                       COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/${file}
                       DEPENDS ${CMAKE_BINARY_DIR}/${file} VERBATIM)
    list(APPEND gzipped ${CMAKE_BINARY_DIR}/${file}.gz)
endforeach()
add_custom_target(tavrin_gzipped ALL DEPENDS ${gzipped})
configure_file(resources/linux/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)

include(GNUInstallDirs)
install(TARGETS tavrin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/linux/tavrin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/com.corvane.tavrin.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_BINARY_DIR}/tavrin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_BINARY_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin)
install(DIRECTORY ${icon_theme_dir} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# cpack: one .deb; dpkg-shlibdeps works out the Depends from the program's libraries. A CJK
# font is recommended so that the Chinese texts are not boxes on other desktops, and Qt's
# Wayland plugin so that Wayland sessions get a native window.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VERSION ${TAVRIN_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "${TAVRIN_COMPANY_NAME}")
set(CPACK_PACKAGE_CONTACT "${TAVRIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shows the volume serial numbers of inserted USB drives")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Tavrin shows the volume serial numbers of the USB flash drives and memory"
    "cards plugged in, as Windows shows them for the same volumes. One click lists"
    "each ready removable drive as its kernel name followed by the serial number"
    "in signed decimal (sdb1:-1056969216); with none ready, it asks for one to be"
    "inserted. The interface is Simplified Chinese."
    "."
    "It lists the FAT, exFAT and NTFS volumes Windows would give a drive letter,"
    "and reads everything it needs from udev.")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-noto-cjk | fonts-wqy-zenhei | fonts-wqy-microhei, qt6-wayland")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
