#!/bin/bash
# A C program linked with q73.dll through its import library, run under
# Wine: the Windows build installed into a prefix (bin/q73.dll,
# lib/libq73.dll.a, include/q73.h, lib/pkgconfig/q73.pc), examples/q73file.c
# built against it with MinGW-w64 and pkg-config, and its files compared
# with the Linux program's both ways.
#
#   tests/windows/run_dll_test.sh [BUILD_DIR [LINUX_Q73]]
#
# BUILD_DIR (default build/windows-tests) holds the cross build in
# BUILD_DIR/win (shared with the other Windows tests) and this script's own
# files, Wine prefix included, in BUILD_DIR/dll.  LINUX_Q73 is the
# command-line program to compare with; built into BUILD_DIR when not given.
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(mkdir -p "${1:-$ROOT/build/windows-tests}" && cd "${1:-$ROOT/build/windows-tests}" && pwd)
LINUX_Q73=${2:-}
OWN=$BUILD/dll
CORPUS=${Q73_CORPUS:-$ROOT/../shared/corpus}
START=$(date +%s)

. "$ROOT/tests/support/checks.sh"

. "$ROOT/tests/windows/wine_session.sh"
trap end_session EXIT

# --- tools and builds ----------------------------------------------------------
need_packages g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb pkg-config
for tool in x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-objdump wine wineboot wineserver \
            winepath Xvfb pkg-config cmake; do
    command -v "$tool" >/dev/null || die "the tool $tool is missing"
done
[ -d "$CORPUS" ] || die "the corpus folder $CORPUS is missing"
rm -rf "$OWN/install" "$OWN/work"
mkdir -p "$OWN/work"
echo "building q73.dll in $BUILD/win"
cmake -S "$ROOT" -B "$BUILD/win" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    >"$OWN/configure.log" 2>&1 || die "configuring the Windows build (see $OWN/configure.log)"
cmake --build "$BUILD/win" -j2 --target q73_shared q73_static >"$OWN/build.log" 2>&1 ||
    die "building q73.dll (see $OWN/build.log)"
PREFIX=$OWN/install
cmake --install "$BUILD/win" --prefix "$PREFIX" >"$OWN/install.log" 2>&1 ||
    die "cmake --install of the Windows build (see $OWN/install.log)"
linux_q73 "$BUILD" "$OWN/linux-build.log"
LINUX_Q73=$(cd "$(dirname "$LINUX_Q73")" && pwd)/$(basename "$LINUX_Q73")
DLL=$PREFIX/bin/q73.dll
EXE=$PREFIX/bin/q73file.exe

installed_ok() {
    [ -f "$DLL" ] && [ -f "$PREFIX/lib/libq73.dll.a" ] && [ -f "$PREFIX/lib/pkgconfig/q73.pc" ] &&
        cmp -s "$PREFIX/include/q73.h" "$ROOT/include/q73.h"
}
check "the Windows build installs q73.dll, its import library libq73.dll.a, q73.h and q73.pc" installed_ok

# The export table's names, and the DLLs it needs.
declared=$(sed -n 's/^Q73_API [^(]*[ *]\(q73_[a-z_]*\)(.*/\1/p' "$ROOT/include/q73.h" | sort)
exported=$(x86_64-w64-mingw32-objdump -p "$DLL" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
echo "  exports: $(echo $exported)"
check "q73.dll exports exactly the functions q73.h declares ($(echo "$declared" | wc -l))" \
    [ -n "$declared" -a "$exported" = "$declared" ]
imports=$(x86_64-w64-mingw32-objdump -p "$DLL" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')
echo "  q73.dll imports: $imports"
system_only() { [ -n "$1" ] && ! echo "$1" | grep -qiE 'libgcc|libstdc|winpthread'; }
check "q73.dll imports system DLLs only" system_only "$imports"

# Built as a user of the DLL builds it: pkg-config gives -DQ73_DLL and the
# import library.
export PKG_CONFIG_PATH=$PREFIX/lib/pkgconfig PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig
x86_64-w64-mingw32-gcc-posix -std=c99 -Wall -Wextra -pedantic -Werror -O2 \
    "$ROOT/examples/q73file.c" $(pkg-config --cflags --libs q73) -o "$EXE" >"$OWN/cc.log" 2>&1 ||
    { cat "$OWN/cc.log"; die "building q73file.exe against libq73.dll.a"; }
imports_dll() { x86_64-w64-mingw32-objdump -p "$EXE" | grep -q "DLL Name: q73.dll"; }
check "q73file.exe, built with pkg-config --cflags --libs q73, imports q73.dll" imports_dll

# --- under Wine -----------------------------------------------------------------
start_display "$OWN"
use_prefix "$OWN/prefix"
wineserver -p
WORK=$OWN/work
cd "$WORK" || die "no work folder"
cat "$CORPUS"/* >corpus.all

# q73file.exe with the given arguments; its console output goes to a file,
# as a Wine program's output must (a pipe may be held open by Wine's own
# processes).
q73file() { timeout 120 wine "$EXE" "$@" >"$WORK/q73file.out" 2>&1; }

# Compresses and expands each file under Wine: true when every .Q73 equals
# the Linux program's file and every expansion the original.
both_ways() {
    local input name ok=0
    for input in "$@"; do
        name=$(basename "$input")
        "$LINUX_Q73" -c "$input" >"$name.ref" 2>/dev/null || return 1
        rm -f "$name.Q73" "$name.back"
        q73file c "$(winepath -w "$input")" "$name.Q73" && cmp "$name.Q73" "$name.ref" &&
            q73file x "$name.ref" "$name.back" && cmp "$name.back" "$input" || ok=1
    done
    return $ok
}
check "under Wine, q73file.exe with q73.dll compresses corpus files into the Linux program's bytes and expands them back" \
    both_ways "$CORPUS/alice29.txt" "$CORPUS/paper-100k.pdf" "$CORPUS/fireworks.jpeg" "$WORK/corpus.all"

refused() {
    local status
    rm -f refused.out
    q73file x "$(winepath -w "$CORPUS/html")" refused.out; status=$?
    echo "  $(tr '\r' '\n' <q73file.out | grep . | tail -n 1) (status $status)"
    [ "$status" = 1 ] && [ ! -e refused.out ] && grep -q 'q73file: .*html: [A-Za-z]' q73file.out
}
check "under Wine, expanding a file that is not compressed ends with status 1, the library's message and no output" \
    refused

echo "$passed passed, $failed failed, $(( $(date +%s) - START )) s"
[ "$failed" -eq 0 ]
