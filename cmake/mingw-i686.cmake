# Cross build for 32-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-i686-win32), the
# release build. Its test programs run here under Wine's 32-bit loader (package wine32:i386).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TAVRIN_MINGW_TRIPLE i686-w64-mingw32)
set(TAVRIN_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
