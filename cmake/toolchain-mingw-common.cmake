# Shared by the two MinGW-w64 toolchain files, which set XP_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
# The runtime (libgcc, libstdc++, winpthread) is linked statically, so the exes need no DLL beyond
# Windows' own.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${XP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${XP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${XP_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${XP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static pulls winpthread in as an archive too; the flags go on every link, tests included.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# GCC 12 reports impossible overlaps in inlined std::string assignments (GCC bug 105329) when it
# optimises for Windows targets; the warning is off here so that -Werror builds stay meaningful.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
