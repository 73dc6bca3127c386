#!/bin/bash
# The library as a program outside the project gets it: `cmake --install`
# into a temporary prefix, then examples/q73file.c built against the
# installed files with pkg-config (shared and static) and with
# find_package(q73 CONFIG), its files compared with the Linux program's, and
# the shared library's exports and soname read back.
#
#   tests/library/install_test.sh BUILD_DIR WORK_DIR LINUX_Q73
#
# BUILD_DIR is a built tree of the project; WORK_DIR is emptied and holds
# the prefixes and the programs.  CC (default cc) compiles the example, with
# Q73_USER_CFLAGS added (the sanitizer build passes its flags there).
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$1
WORK=$2
LINUX_Q73=$3
CC=${CC:-cc}
FLAGS="-std=c99 -Wall -Wextra -pedantic -Werror -O2 ${Q73_USER_CFLAGS:-}"
CORPUS=${Q73_CORPUS:-$ROOT/../shared/corpus}
FILES="alice29.txt fireworks.jpeg kppkn.gtb paper-100k.pdf urls.10K html"

. "$ROOT/tests/support/checks.sh"

for tool in pkg-config nm readelf ldd cmake "$CC"; do
    command -v "$tool" >/dev/null || die "the tool $tool is missing (scripts/install-deps.sh installs it)"
done
[ -d "$CORPUS" ] || die "the corpus folder $CORPUS is missing"
[ -x "$LINUX_Q73" ] || die "no Linux program at $LINUX_Q73"
rm -rf "$WORK" && mkdir -p "$WORK/out" && WORK=$(cd "$WORK" && pwd) || die "cannot make $WORK"
PREFIX=$WORK/prefix

cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1 ||
    die "cmake --install (see $WORK/install.log)"
VERSION=$(sed -n 's/^#define Q73_VERSION_STRING "\(.*\)"$/\1/p' "$ROOT/include/q73.h")
MAJOR=${VERSION%%.*}
# lib, or lib/<multiarch> for a build configured with the prefix /usr.
LIB=$(dirname "$(dirname "$(find "$PREFIX" -name q73.pc)")")
LIBDIR=${LIB#"$PREFIX"/}

# The real files and the whole corpus in one (several blocks), each
# compressed by the Linux program as the reference.
cat "$CORPUS"/* >"$WORK/corpus.all"
for name in $FILES; do
    "$LINUX_Q73" -c "$CORPUS/$name" >"$WORK/out/$name.ref" 2>/dev/null || die "q73 -c $name"
done
"$LINUX_Q73" -c "$WORK/corpus.all" >"$WORK/out/corpus.all.ref" 2>/dev/null || die "q73 -c corpus.all"

# Compresses each file with the program $1 and expands it back: true when
# every .Q73 equals the Linux program's and every expansion the original.
round_trips() {
    local program=$1 name input ok=0
    for name in $FILES corpus.all; do
        input=$CORPUS/$name
        [ "$name" = corpus.all ] && input=$WORK/corpus.all
        rm -f "$WORK/out/$name.Q73" "$WORK/out/$name.back"
        "$program" c "$input" "$WORK/out/$name.Q73" 2>>"$WORK/runs.log" &&
            cmp "$WORK/out/$name.Q73" "$WORK/out/$name.ref" &&
            "$program" x "$WORK/out/$name.ref" "$WORK/out/$name.back" 2>>"$WORK/runs.log" &&
            cmp "$WORK/out/$name.back" "$input" || ok=1
    done
    return $ok
}

# --- the installed files ---------------------------------------------------------
installed_files_ok() {
    local missing="" file
    for file in include/q73.h "$LIBDIR/libq73.a" "$LIBDIR/libq73.so.$VERSION" \
                "$LIBDIR/pkgconfig/q73.pc" "$LIBDIR/cmake/q73/q73Config.cmake" \
                "$LIBDIR/cmake/q73/q73ConfigVersion.cmake" "$LIBDIR/cmake/q73/q73Targets.cmake"; do
        [ -f "$PREFIX/$file" ] || missing="$missing $file"
    done
    [ -z "$missing" ] || { echo "  missing:$missing"; return 1; }
    [ "$(readlink "$LIB/libq73.so.$MAJOR")" = "libq73.so.$VERSION" ] &&
        [ "$(readlink "$LIB/libq73.so")" = "libq73.so.$MAJOR" ] &&
        cmp -s "$PREFIX/include/q73.h" "$ROOT/include/q73.h"
}
check "the prefix holds the header, libq73.a, libq73.so.$VERSION with its two links, q73.pc and the CMake package" \
    installed_files_ok

soname=$(readelf -d "$LIB/libq73.so.$VERSION" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
echo "  soname: $soname"
check "the shared library's soname is libq73.so.$MAJOR" [ "$soname" = "libq73.so.$MAJOR" ]

# Every function the header declares, and nothing else: nm lists a version
# node of the library's own (the "A" lines) beside the functions it tags.
declared=$(sed -n 's/^Q73_API [^(]*[ *]\(q73_[a-z_]*\)(.*/\1/p' "$ROOT/include/q73.h" | sort)
dynamic=$(nm -D --defined-only "$LIB/libq73.so.$MAJOR")
exported=$(echo "$dynamic" | awk '$2 != "A" { sub(/@.*/, "", $3); print $3 }' | sort)
nodes=$(echo "$dynamic" | awk '$2 == "A" { print $3 }' | sort)
defined_nodes=$(readelf -V "$LIB/libq73.so.$MAJOR" | sed -n 's/.*Flags: none .*Name: \(.*\)$/\1/p' | sort)
echo "  exported: $(echo $exported)"
echo "  version nodes: $(echo $nodes)"
exports_ok() {
    [ -n "$declared" ] && [ "$exported" = "$declared" ] && [ "$nodes" = "$defined_nodes" ]
}
check "libq73.so.$MAJOR exports exactly the functions q73.h declares ($(echo "$declared" | wc -l)), and no other name" \
    exports_ok

# --- pkg-config ------------------------------------------------------------------
export PKG_CONFIG_PATH=$LIB/pkgconfig
check "pkg-config reads q73.pc: version $VERSION, the prefix's include folder" \
    [ "$(pkg-config --modversion q73)" = "$VERSION" -a \
      "$(pkg-config --variable=includedir q73)" = "$PREFIX/include" ]
"$CC" $FLAGS "$ROOT/examples/q73file.c" $(pkg-config --cflags --libs q73) -o "$WORK/q73file" \
    >"$WORK/cc.log" 2>&1 || { cat "$WORK/cc.log"; die "building the example with pkg-config"; }
needs_shared() { readelf -d "$1" | grep -q "NEEDED.*\[libq73.so.$MAJOR\]"; }
check "the example, built with pkg-config --cflags --libs, is linked with libq73.so.$MAJOR" \
    needs_shared "$WORK/q73file"
export LD_LIBRARY_PATH=$LIB
check "the example's .Q73 files are the Linux program's bytes, and expand back exactly" \
    round_trips "$WORK/q73file"

# Its errors: a file that is not compressed, and a compressed file cut short.
printf '#include <q73.h>\n#include <stdio.h>\nint main(void) { puts(q73_result_text(Q73_BAD_DATA)); return 0; }\n' \
    >"$WORK/bad_data_text.c"
"$CC" $FLAGS "$WORK/bad_data_text.c" $(pkg-config --cflags --libs q73) -o "$WORK/bad_data_text" ||
    die "building bad_data_text"
BAD_DATA=$("$WORK/bad_data_text")
head -c 50000 "$WORK/out/alice29.txt.ref" >"$WORK/cut.Q73"
refused_without_output() {
    local input status ok=0
    for input in "$CORPUS/html" "$WORK/cut.Q73"; do
        rm -f "$WORK/out/refused"
        "$WORK/q73file" x "$input" "$WORK/out/refused" 2>"$WORK/refused.err"; status=$?
        echo "  $(tr '\r' '\n' <"$WORK/refused.err" | tail -n 1) (status $status)"
        [ "$status" = 1 ] && [ ! -e "$WORK/out/refused" ] && [ -n "$BAD_DATA" ] &&
            grep -qF "$input: $BAD_DATA" "$WORK/refused.err" || ok=1
    done
    return $ok
}
check "expanding a file that is not compressed or is cut short ends with status 1, the library's message and no output" \
    refused_without_output
unset LD_LIBRARY_PATH

# --- CMake ------------------------------------------------------------------------
# Builds examples/ into WORK/$1 with find_package(q73 CONFIG), linking
# q73::q73 or, with $2 ON, q73::q73_static.
cmake_example() {
    cmake -S "$ROOT/examples" -B "$WORK/$1" -DCMAKE_PREFIX_PATH="$PREFIX" -DQ73FILE_STATIC="$2" \
        -DCMAKE_C_COMPILER="$CC" -DCMAKE_C_FLAGS="${Q73_USER_CFLAGS:-}" >"$WORK/$1.log" 2>&1 &&
        cmake --build "$WORK/$1" >>"$WORK/$1.log" 2>&1 || { cat "$WORK/$1.log"; return 1; }
}
without_libq73() {
    echo "  ldd $(basename "$(dirname "$1")")/$(basename "$1"): $(ldd "$1" | awk '{ print $1 }' | tr '\n' ' ')"
    ! ldd "$1" | grep -q libq73
}
shared_cmake_example() {
    cmake_example cmake-shared OFF && needs_shared "$WORK/cmake-shared/q73file" &&
        round_trips "$WORK/cmake-shared/q73file"
}
check "examples/ builds through find_package(q73 CONFIG) and q73::q73, runs from the prefix and matches the Linux program" \
    shared_cmake_example
static_cmake_example() {
    cmake_example cmake-static ON && without_libq73 "$WORK/cmake-static/q73file" &&
        round_trips "$WORK/cmake-static/q73file"
}
check "examples/ in C alone links q73::q73_static, needs no libq73 and matches the Linux program" \
    static_cmake_example

# --- pkg-config --static -------------------------------------------------------------
# A second prefix without the shared library, where -lq73 can only be the
# archive.
STATIC=$WORK/static
cmake --install "$BUILD" --prefix "$STATIC" >"$WORK/install-static.log" 2>&1 ||
    die "cmake --install into $STATIC"
rm -f "$STATIC/$LIBDIR"/libq73.so*
static_example() {
    "$CC" $FLAGS "$ROOT/examples/q73file.c" \
        $(PKG_CONFIG_PATH=$STATIC/$LIBDIR/pkgconfig pkg-config --static --cflags --libs q73) \
        -o "$WORK/q73file-static" >"$WORK/cc-static.log" 2>&1 ||
        { cat "$WORK/cc-static.log"; return 1; }
    without_libq73 "$WORK/q73file-static" && round_trips "$WORK/q73file-static"
}
check "linked from libq73.a with pkg-config --static, the example needs no libq73 and matches the Linux program" \
    static_example

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
