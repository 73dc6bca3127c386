# Cross-build for IBM Z (s390x) Linux (big-endian) with Debian's cross compiler
# (package g++-s390x-linux-gnu); ctest runs the programs it builds under
# qemu-user (package qemu-user), with the target's libraries from
# /usr/s390x-linux-gnu.
#   cmake -S . -B build/cross-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
# scripts/cross-test.sh builds and tests this way.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
# z13 and later, the processors with vector registers: without them the
# lanes' vector code (lib/codec/enc/lane_spans.cpp) is broken down into
# scalar steps, which takes the compiler ten minutes and 5 GB.
set(CMAKE_C_FLAGS_INIT "-march=z13")
set(CMAKE_CXX_FLAGS_INIT "-march=z13")

set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR "qemu-s390x;-L;/usr/s390x-linux-gnu")
