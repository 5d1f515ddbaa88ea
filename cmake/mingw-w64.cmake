# What both Windows toolchain files share: Debian's mingw-w64 for the target
# named by MINGW_PREFIX (posix thread variant, so std::thread and std::mutex
# work for the test framework). Included by mingw-w64-x86_64.cmake and
# mingw-w64-i686.cmake after they set MINGW_PREFIX and the processor.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_PREFIX}-windres)
# The release's executables are stripped, their debug information kept in a
# file of its own (packaging/).
set(CMAKE_OBJCOPY      ${MINGW_PREFIX}-objcopy)
set(CMAKE_STRIP        ${MINGW_PREFIX}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: the executable then imports system DLLs only and runs from any folder.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
