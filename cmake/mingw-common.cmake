# The win32 thread model: no winpthread DLL to carry along.
set(CMAKE_C_COMPILER ${TAVRIN_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TAVRIN_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TAVRIN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVRIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# CTest runs the test programs under Wine, each in a prefix of its own (tests/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine-run.sh
                                  ${TAVRIN_WINE_LOADER})
