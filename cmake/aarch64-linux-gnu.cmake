# Cross-compiling for 64-bit Arm with Debian's g++-aarch64-linux-gnu, against
# the arm64 libraries that Debian's multiarch installs beside this machine's
# own (scripts/install-deps.sh --cross-program): FLTK, GL and GLU in
# /usr/lib/aarch64-linux-gnu, their headers in /usr/include, shared by every
# architecture. Its programs run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The find modules look in lib/aarch64-linux-gnu under each prefix, so they
# pick the arm64 libraries and never this machine's; a find root of
# /usr/aarch64-linux-gnu alone would hide the headers in /usr/include.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The tests need only the C and C++ runtimes, which come with the cross
# compiler.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
