# Cross-compiles for 32-bit Windows with Debian's mingw-w64: the build that
# runs on the x86 editions of Windows 7 and 10.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
