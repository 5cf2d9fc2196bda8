# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
#   tools/build_windows_jpeg.sh build-deps/libjpeg-turbo-mingw
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Without that libjpeg-turbo, -DPANEL_CORE_ONLY=ON builds the link and lcdctl's pictureless
# commands alone.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PANEL_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model gives std::thread and std::mutex; the win32 one lacks them in GCC 12.
find_program(CMAKE_C_COMPILER NAMES ${PANEL_MINGW_TRIPLE}-gcc-posix ${PANEL_MINGW_TRIPLE}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${PANEL_MINGW_TRIPLE}-g++-posix ${PANEL_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${PANEL_MINGW_TRIPLE}-windres)

# Headers, libraries and packages come from the MinGW sysroot only, never from the host.
# libjpeg-turbo cross-built by tools/build_windows_jpeg.sh sits beside them.
set(PANEL_WINDOWS_JPEG_DIR ${CMAKE_CURRENT_LIST_DIR}/../build-deps/libjpeg-turbo-mingw
    CACHE PATH "libjpeg-turbo built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/${PANEL_MINGW_TRIPLE} ${PANEL_WINDOWS_JPEG_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libstdc++, libgcc or winpthread DLLs to ship or to put on
# Wine's path.
# No link time in the executables' headers, so that the same sources give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# ctest runs the Windows executables through Wine when it is installed.
find_program(PANEL_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PANEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PANEL_WINE})
endif()
