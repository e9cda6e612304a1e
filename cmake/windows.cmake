# The Windows program: the run time over Win32 and COM, the resources, the exe.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
                        WINVER=0x0601)
# The program waits on COM calls, not on its own code: optimise for size.
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
# Small and self-contained: no runtime DLLs, unused code dropped, symbols stripped. Hardened:
# DEP, ASLR, no terminal-server compatibility shims. Made for Windows 7 and later, the oldest
# version the manifest lists, so that Windows gives the window its modern frame. No link time
# stamp, so that two builds of one commit are the same bytes.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-static -municode -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat
                 -Wl,--tsaware -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1
                 -Wl,--major-os-version,6 -Wl,--minor-os-version,1 -Wl,--no-insert-timestamp
                 $<$<CONFIG:Release>:-s>)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
else()
    # C++ exceptions unwind with DWARF tables here: the exe installs no SEH handler.
    add_link_options(-Wl,--no-seh)
endif()

# COM automation, Windows' failure descriptions and process start-up; the window over Win32.
target_sources(tavrin_runtime PRIVATE platform/automation_win.cpp platform/error_win.cpp
                                      platform/startup_win.cpp)
# wbemuuid: the management service's description of its own codes.
target_link_libraries(tavrin_runtime PUBLIC ole32 oleaut32 uuid wbemuuid)
add_library(tavrin_forms STATIC platform/forms_win.cpp)
target_link_libraries(tavrin_forms PUBLIC tavrin_runtime comctl32 user32 gdi32)

add_executable(Tavrin WIN32 shell/main_win.cpp resources/tavrin.rc)
target_link_libraries(Tavrin PRIVATE tavrin_app tavrin_forms)
# The resource script finds the icon's resources and the manifest in the build tree. Build steps
# run Debian's own interpreter.
find_program(TAVRIN_PYTHON python3 HINTS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(icon_resources ${CMAKE_BINARY_DIR}/icon-group.bin)
foreach(id RANGE 30001 30012)
    list(APPEND icon_resources ${CMAKE_BINARY_DIR}/icon-${id}.bin)
endforeach()
add_custom_command(
    OUTPUT ${icon_resources}
    COMMAND ${TAVRIN_PYTHON} ${CMAKE_SOURCE_DIR}/resources/icon/split_icon.py ${TAVRIN_ICON_FILE}
            ${CMAKE_BINARY_DIR}
    DEPENDS resources/icon/split_icon.py ${TAVRIN_ICON_FILE}
    COMMENT "Splitting Tavrin.ico into the exe's icon resources"
    VERBATIM)
add_custom_target(tavrin_icon DEPENDS ${icon_resources})
configure_file(resources/tavrin.manifest.in ${CMAKE_BINARY_DIR}/tavrin.manifest @ONLY)
add_dependencies(Tavrin tavrin_icon)
set_property(SOURCE resources/tavrin.rc APPEND PROPERTY OBJECT_DEPENDS ${icon_resources}
                                                                   ${CMAKE_BINARY_DIR}/tavrin.manifest
                                                                   ${CMAKE_BINARY_DIR}/version.h)
target_include_directories(Tavrin PRIVATE ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/resources)
# Run from the page file, not paged in from the stick it was started from, which the user may
# pull while it runs (its notice asks for sticks to be inserted).
add_custom_command(TARGET Tavrin POST_BUILD
                   COMMAND ${TAVRIN_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/run_from_swap.py
                           $<TARGET_FILE:Tavrin>)
set_property(TARGET Tavrin APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/run_from_swap.py)

# cpack: the exe and a short read-me in one zip per architecture.
install(TARGETS Tavrin RUNTIME DESTINATION .)
configure_file(resources/README.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Tavrin)
set(CPACK_PACKAGE_VERSION ${TAVRIN_VERSION_TEXT})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME Tavrin-${TAVRIN_VERSION_TEXT}-win64)
else()
    set(CPACK_PACKAGE_FILE_NAME Tavrin-${TAVRIN_VERSION_TEXT}-win32)
endif()
include(CPack)
