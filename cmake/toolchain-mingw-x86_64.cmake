# Cross build for Windows with Debian's MinGW-w64 (x86_64), POSIX thread model.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(XP_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
