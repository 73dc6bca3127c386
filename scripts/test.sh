#!/usr/bin/env bash
# Builds and runs every test: a release build with all tests (the codec,
# the format, the Linux program, the Windows program under Wine and short
# fuzzing runs), then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer that runs the tests again but for the Windows
# and fuzzing ones, which build their own instrumented programs, and last a
# build with ThreadSanitizer (clang) that runs the tests of the threaded
# paths; then the web build (the package and the page, in Node and headless
# Chromium) and the 64-bit ARM and s390x builds under qemu.  The
# sanitizer build uses the portable loops instead of the hand-written x86-64
# ones, so that both are tested, and the portable ones under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQ73_BUILD_TESTS=ON >/dev/null
cmake --build build/release -j2
(cd build/release && ctest --output-on-failure)

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ73_BUILD_TESTS=ON -DQ73_SANITIZE=ON -DQ73_PORTABLE_LOOPS=ON >/dev/null
cmake --build build/sanitize -j2
(cd build/sanitize && ctest --output-on-failure -LE 'windows|fuzz')

CC=clang CXX=clang++ cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ73_BUILD_TESTS=ON -DQ73_TSAN=ON >/dev/null
cmake --build build/tsan -j2
(cd build/tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -L threads)

# The web build: the package q73 and the page, against build/release's program.
scripts/web.sh
tests/web/run.sh

# The 64-bit ARM and s390x (big-endian) builds under qemu: their tests, and the same bytes as x86-64.
scripts/cross-test.sh
