#!/usr/bin/env bash
# Builds Q73 for the web into build/web/:
#   q73.html          the page: the codec, its workers' script and the page's
#                     script inside one file that works opened from disk
#   npm/              the package q73 (an ES module for Node 18+ and browsers)
#   q73-VERSION.tgz   that package packed, as `npm install` takes it
#   core/             emscripten's loader and wasm, which the two are made of
# The library is compiled by emscripten (Debian's package) through the
# project's CMake into build/web-cmake; web/q73_wasm.c is the glue that the
# JavaScript calls.  128-bit SIMD is always on: the codec's lanes are vector
# code, which without it is split into scalar steps that wasm-opt takes
# many minutes and gigabytes to get through.
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian's emscripten runs its JavaScript tools with the system's node,
# which finds their modules (acorn) only here.  Its system libraries are
# prebuilt in a frozen cache: EM_CACHE must not point elsewhere.
export NODE_PATH=/usr/share/nodejs
unset EM_CACHE

emcmake cmake -S . -B build/web-cmake -DCMAKE_BUILD_TYPE=Release -DQ73_BUILD_TESTS=OFF \
    -DCMAKE_CXX_FLAGS=-msimd128 >/dev/null
cmake --build build/web-cmake --target q73_static -j2

version=$(sed -n 's/^#define Q73_VERSION_STRING "\(.*\)"$/\1/p' include/q73.h)
mkdir -p build/web/core
# The loader is a factory (MODULARIZE) that takes the wasm's bytes from its
# caller, so that it never fetches a file: neither Node nor a page opened
# from disk could.  Built for web and worker scopes, it asks nothing of
# Node (no require), so the same loader also runs in an ES module under
# Node.  No threads: parallel jobs are instances of their own in workers.
emcc -O3 -msimd128 -Wall -Wextra -Werror -Iinclude web/q73_wasm.c build/web-cmake/lib/libq73.a \
    -o build/web/core/q73-core.js \
    -sMODULARIZE=1 -sEXPORT_NAME=Q73Core -sENVIRONMENT=web,worker \
    -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=16MB -sFILESYSTEM=0 -sDYNAMIC_EXECUTION=0 \
    -sEXPORTED_FUNCTIONS=_malloc,_free

node web/build.mjs build/web/core build/web "$version"
rm -f build/web/q73-*.tgz
(cd build/web && npm pack ./npm --pack-destination . --silent >/dev/null)
ls -l build/web/q73.html "build/web/q73-$version.tgz"
