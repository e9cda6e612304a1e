# Cross build for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64-win32), the
# same sources as the release build. Its test programs run here under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TAVRIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(TAVRIN_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
