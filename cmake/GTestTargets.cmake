# GoogleTest's GTest::gtest_main, for every directory: as installed, or, when
# cross-compiling, built from the sources that Debian's libgtest-dev puts in
# /usr/src/googletest.
include_guard(GLOBAL)
if(CMAKE_CROSSCOMPILING)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED GLOBAL)
endif()
