#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine.
# Usage: install-deps.sh [build|all]   (default all)
# build: compiler, CMake, GoogleTest, Python (for the include check), the
# manual page tools and pkg-config only; all: also the cross compiler, Wine,
# Xvfb, fonts and ImageMagick for the Windows tests, NSIS for the Windows
# installer and clang's fuzzing runtime.  Exits non-zero when something cannot be
# installed.
set -euo pipefail
what=${1:-all}

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
want() { need+=("$@"); }

have_cmd cmake || want cmake
have_cmd g++ || want g++
have_cmd make || want make
have_cmd python3 || want python3
[ -f /usr/include/gtest/gtest.h ] || want libgtest-dev
# The Linux program's tests render its manual page and run it on a terminal.
have_cmd man || want man-db
have_cmd groff || want groff-base
have_cmd script || want bsdutils
# The library's install test builds a program against it with pkg-config.
have_cmd pkg-config || want pkg-config
if [ "$what" = all ]; then
    have_cmd clang++ || want clang
    ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || want libclang-rt-14-dev
    have_cmd x86_64-w64-mingw32-g++-posix || want g++-mingw-w64-x86-64-posix
    have_cmd x86_64-w64-mingw32-windres || want binutils-mingw-w64-x86-64
    have_cmd wine || want wine
    [ -x /usr/lib/wine/wine64 ] || want wine64
    have_cmd Xvfb || want xvfb
    have_cmd import || want imagemagick
    [ -d /usr/share/wine/fonts ] || want fonts-wine
    [ -d /usr/share/fonts/truetype/liberation ] || want fonts-liberation
    have_cmd makensis || want nsis
    # The 64-bit ARM and s390x builds (scripts/cross-test.sh): the cross
    # compilers, qemu-user to run them, GoogleTest's sources to build for them.
    have_cmd aarch64-linux-gnu-g++ || want g++-aarch64-linux-gnu
    have_cmd s390x-linux-gnu-g++ || want g++-s390x-linux-gnu
    { have_cmd qemu-aarch64 && have_cmd qemu-s390x; } || want qemu-user
    [ -f /usr/src/googletest/CMakeLists.txt ] || want googletest
    # The web build (scripts/web.sh) and its tests: Emscripten, Node with
    # npm, and headless Chromium driven by Debian's Python with selenium.
    have_cmd emcc || want emscripten
    have_cmd node || want nodejs
    have_cmd npm || want npm
    have_cmd chromium || want chromium
    have_cmd chromedriver || want chromium-driver
    /usr/bin/python3 -c 'import selenium' >/dev/null 2>&1 || want python3-selenium
fi

if [ ${#need[@]} -gt 0 ]; then
    echo "installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
