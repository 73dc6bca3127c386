#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in a build folder of their own, starts them from
# small compressed files made by the program itself, and runs each target
# for a bounded time.  Fails when a target finds a crash or a failed check.
#
# Usage: run_fuzz.sh [SECONDS [BUILD_DIR [TARGET...]]]
#   SECONDS    run time per target (default 30)
#   BUILD_DIR  where the clang build and the corpora live (default build/fuzz)
#   TARGET     expand, round_trip (default both)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-30}
build=${2:-$root/build/fuzz}
shift $(( $# > 2 ? 2 : $# ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(expand round_trip)

# clang and its fuzzing runtime, from Debian.
need=()
command -v clang++ >/dev/null 2>&1 || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
command -v cmake >/dev/null 2>&1 || need+=(cmake make)
if [ ${#need[@]} -gt 0 ]; then
    echo "installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

mkdir -p "$build"
build=$(cd "$build" && pwd)

# The program's libraries and the Linux program, instrumented for coverage
# and built with the sanitizers, apart from the main gcc build.
cmake -S "$root" -B "$build/cmake" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQ73_BUILD_TESTS=OFF -DQ73_SANITIZE=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$build/cmake" -j2 --target q73 >/dev/null
libs=("$build/cmake/app/libq73_app.a" "$build/cmake/format/libq73_format.a"
      "$build/cmake/platform/libq73_platform.a" "$build/cmake/lib/libq73.a" -lpthread)
q73="$build/cmake/app/q73"

for target in "${targets[@]}"; do
    [ -f "$here/$target/fuzz.cpp" ] || { echo "no fuzz target $target" >&2; exit 2; }
    clang++ -std=c++17 -O1 -g -Wall -Wextra -Werror -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I "$root" -I "$root/include" \
        "$here/$target/fuzz.cpp" "$here/fuzz_folder.cpp" "${libs[@]}" -o "$build/$target"
done

# Starting inputs: small plain files, and what the program makes of them.
starts="$build/starts"
rm -rf "$starts"
mkdir -p "$starts/plain" "$starts/compressed" "$starts/work"
(
    cd "$starts/work"
    : > empty.txt
    printf 'Z' > single
    printf 'ab' > pair.txt
    printf 'hello' > notes.txt
    printf 'aaaabbbbcd' > ten.bin
    head -c 400 "$root/README.md" > text.md
    awk 'BEGIN { for (i = 0; i < 256; i++) printf "%c", i }' > bytes.raw
    awk 'BEGIN { for (i = 0; i < 70000; i++) printf "%c", (i < 66000 ? "x" : sprintf("%c", 97 + i % 7)) }' > run.dat
    awk 'BEGIN { srand(7); for (i = 0; i < 3000; i++) printf "%c", 65 + int(rand() * 4) }' > four.abc
    for f in *; do
        cp "$f" "$starts/plain/$f"
        "$q73" "$f" >/dev/null 2>&1
    done
    mv ./*.Q73 "$starts/compressed/"
)
rm -rf "$starts/work"

status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    if [ "$target" = expand ]; then start_dir="$starts/compressed"; else start_dir="$starts/plain"; fi
    echo "== $target: $seconds s"
    # -close_fd_mask=3 silences the program's messages; libFuzzer and the
    # sanitizers keep their own channel.
    if ! (cd "$build" && ASAN_OPTIONS=detect_leaks=1 "./$target" -max_total_time="$seconds" \
            -timeout=20 -max_len=8192 -close_fd_mask=3 -print_final_stats=1 \
            -artifact_prefix="$build/$target-" "$corpus" "$start_dir" 2>"$build/$target.log"); then
        status=1
        echo "FAILED: $target found a crash or a failed check:"
        grep -E "ERROR|SUMMARY|FUZZ CHECK|Test unit written" "$build/$target.log" | head -20
    fi
    grep -E "^stat::number_of_executed_units|^Done|^#[0-9]+.*DONE" "$build/$target.log" | tail -3
done
exit $status
