# GoogleTest for cross builds: Debian ships its sources, not Windows libraries, so the Windows test
# programs build it from /usr/src/googletest, which defines the same GTest:: targets as find_package.
set(XP_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${XP_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(t gtest gtest_main gmock gmock_main)
  target_compile_options(${t} PRIVATE -Wno-error)
endforeach()
