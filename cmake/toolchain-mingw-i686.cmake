# Cross build for Windows with Debian's MinGW-w64 (i686), POSIX thread model.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(XP_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
