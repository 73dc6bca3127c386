#!/usr/bin/env bash
# The same bytes on every processor: builds Q73 for 64-bit ARM (aarch64,
# little-endian) and for s390x (big-endian) with Debian's cross compilers,
# runs their tests under qemu-user, and checks that the cross-built Linux
# program compresses files to exactly the bytes the x86-64 program writes
# and expands the x86-64 program's files back to the originals, with one
# worker and with three.
#
#   scripts/cross-test.sh [ARCH]...   (default: aarch64 s390x)
#
# For each processor: GoogleTest built for it from /usr/src/googletest
# (build/gtest-ARCH, kept between runs), the project configured with
# cmake/ARCH-linux-gnu.cmake into build/cross-ARCH, and built: the program
# and the test programs of tests/codec, tests/format, tests/job and
# tests/library, the areas whose code runs on the target.  ctest then runs
# every test that runs one of those programs under the emulator; the tests
# made of scripts and host tools (the command-line scripts, the Windows
# program, fuzzing, the installed library) stay with the x86-64 build.  A
# test that hands the program's path to a test program gets a small
# wrapper in its place, since a program run by a program under qemu-user is
# not emulated by itself.  The reference program is a native release build
# in build/x86.  Prints a summary; exits 1 when anything failed or differed.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
CORPUS=$(cd "${Q73_CORPUS:-$ROOT/../shared/corpus}" && pwd) || { echo "cross-test.sh: no corpus folder" >&2; exit 1; }
ARCHES=("$@")
[ ${#ARCHES[@]} -gt 0 ] || ARCHES=(aarch64 s390x)
AREAS="codec format job library"
# Files of this machine that no one here wrote, two of them of several
# blocks; the first of the two lists that exists of each is taken.
REAL_FILES=(
    "/usr/lib/x86_64-linux-gnu/libc.so.6 /usr/lib/x86_64-linux-gnu/libstdc++.so.6"
    "/usr/share/mime/packages/freedesktop.org.xml /usr/share/perl/5.36/unicore/Name.pl"
    "/usr/share/common-licenses/GPL-3 /usr/share/common-licenses/Apache-2.0"
)
start=$(date +%s)

for arch in "${ARCHES[@]}"; do
    case $arch in
        aarch64 | s390x) ;;
        *) echo "cross-test.sh: unknown processor '$arch' (aarch64 or s390x)" >&2; exit 2 ;;
    esac
    if ! command -v "qemu-$arch" >/dev/null || ! command -v "$arch-linux-gnu-g++" >/dev/null ||
        [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
        scripts/install-deps.sh all
    fi
done

# The reference: the x86-64 program, hand-written loops and all.
cmake -S . -B build/x86 -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/x86 -j2 --target q73 >/dev/null
X86_Q73=$ROOT/build/x86/app/q73

# The inputs, with an empty file and one of three bytes beside them.
WORK=$ROOT/build/cross-inputs
rm -rf "$WORK" && mkdir -p "$WORK/x86"
: >"$WORK/empty"
printf 'abc' >"$WORK/three"
inputs=("$CORPUS"/* "$WORK/empty" "$WORK/three")
for choices in "${REAL_FILES[@]}"; do
    for f in $choices; do
        if [ -f "$f" ]; then inputs+=("$f"); break; fi
    done
done
# Each input's x86-64 compressed file, by its number in the list.
for i in "${!inputs[@]}"; do
    for t in 1 3; do "$X86_Q73" -q -T$t -z -c "${inputs[$i]}" >"$WORK/x86/$i.T$t.Q73"; done
done

# From the CMake file API's answer for a configured build: the executables
# built from tests/<area> for the given areas, as "target artifact" lines.
test_programs() {
    python3 - "$1" "$AREAS" <<'EOF'
import glob, json, os, sys
build, areas = sys.argv[1], sys.argv[2].split()
reply = os.path.join(build, ".cmake/api/v1/reply")
index = json.load(open(sorted(glob.glob(os.path.join(reply, "index-*.json")))[-1]))
model = json.load(open(os.path.join(reply, index["reply"]["codemodel-v2"]["jsonFile"])))
for ref in model["configurations"][0]["targets"]:
    target = json.load(open(os.path.join(reply, ref["jsonFile"])))
    source = target["paths"]["source"].split("/")
    if target["type"] == "EXECUTABLE" and len(source) >= 2 and source[0] == "tests" and source[1] in areas:
        print(target["name"], os.path.join(build, target["artifacts"][0]["path"]))
EOF
}

# From ctest's list of a built tree: the tests that run one of the given
# programs under the emulator.  Writes to $3 the names of every other test,
# as a regular expression for ctest -E, and to $4 the commands (one JSON
# array a line) of the chosen tests that hand the program $2 to a test
# program, which ctest then leaves out too.
choose_tests() {
    (cd "$1" && ctest --show-only=json-v1) | python3 -c '
import json, re, sys
programs, q73, exclude, handing = set(sys.argv[1].split()), sys.argv[2], sys.argv[3], sys.argv[4]
other, wrapped = [], []
for test in json.load(sys.stdin)["tests"]:
    command = test.get("command", [])
    labels = [l for p in test.get("properties", []) if p["name"] == "LABELS" for l in p["value"]]
    at = next((k for k, part in enumerate(command) if part in programs), None)
    if at is None or "qemu-" not in command[0] or set(labels) & {"windows", "fuzz"}:
        other.append(test["name"])
    elif q73 in command[at + 1:]:
        other.append(test["name"])
        wrapped.append(command)
with open(exclude, "w") as f:
    f.write("^(" + "|".join(re.sub(r"([][.*+?^$()|\\])", r"\\\1", n) for n in other) + ")$" if other else "^$")
with open(handing, "w") as f:
    f.writelines(json.dumps(c) + "\n" for c in wrapped)
' "$2" "$3" "$4" "$5"
}

summary=()
failed=0
for arch in "${ARCHES[@]}"; do
    arch_start=$(date +%s)
    triple=$arch-linux-gnu
    emulator=("qemu-$arch" -L "/usr/$triple")
    build=$ROOT/build/cross-$arch
    echo "== $arch: GoogleTest, configure, build"
    gtest_dir=$(cmake -DTOOLCHAIN="$ROOT/cmake/$triple.cmake" -DDIR="$ROOT/build/gtest-$arch" \
        -P cmake/gtest-cross.cmake)
    # A changed toolchain file (its flags) takes a fresh tree.
    if [ "$ROOT/cmake/$triple.cmake" -nt "$build/CMakeCache.txt" ]; then rm -rf "$build"; fi
    mkdir -p "$build/.cmake/api/v1/query"
    : >"$build/.cmake/api/v1/query/codemodel-v2"
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$triple.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DQ73_BUILD_TESTS=ON -DGTest_DIR="$gtest_dir" >/dev/null
    mapfile -t programs < <(test_programs "$build")
    if [ ${#programs[@]} -eq 0 ]; then
        echo "cross-test.sh: no test programs found in $build" >&2
        exit 1
    fi
    targets=(q73)
    paths=()
    for line in "${programs[@]}"; do
        targets+=("${line%% *}")
        paths+=("${line#* }")
    done
    cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
    q73=$build/app/q73
    built=$(date +%s)

    echo "== $arch: tests under qemu (${targets[*]:1})"
    choose_tests "$build" "${paths[*]}" "$q73" "$build/cross-exclude" "$build/cross-handing"
    tests_result=0
    # The tests that run the program themselves get a wrapper in its place,
    # and run beside ctest.
    printf '#!/bin/sh\nexec %s "%s" "$@"\n' "${emulator[*]}" "$q73" >"$build/q73-emulated"
    chmod +x "$build/q73-emulated"
    handed=()
    pids=()
    while read -r command; do
        [ -n "$command" ] || continue
        mapfile -t argv < <(python3 -c 'import json, sys
for a in json.loads(sys.argv[1]): print(sys.argv[3] if a == sys.argv[2] else a)' "$command" "$q73" "$build/q73-emulated")
        log=$build/cross-handed-${#handed[@]}.log
        handed+=("${argv[*]:3}")
        (cd "$build" && exec timeout 900 "${argv[@]}") </dev/null >"$log" 2>&1 &
        pids+=($!)
    done <"$build/cross-handing"
    (cd "$build" && ctest -j2 --timeout 600 --output-on-failure -E "$(cat "$build/cross-exclude")") \
        >"$build/cross-ctest.log" 2>&1 || tests_result=1
    grep -E '^[0-9]+% tests passed|^\s+[0-9]+ - |\*\*\*' "$build/cross-ctest.log" || true
    ctest_line=$(grep -E '^[0-9]+% tests passed' "$build/cross-ctest.log" || echo "ctest did not finish")
    handed_failed=0
    for k in "${!pids[@]}"; do
        if wait "${pids[$k]}"; then
            echo "passed: ${handed[$k]}"
        else
            tail -20 "$build/cross-handed-$k.log"
            echo "FAILED: ${handed[$k]}"
            handed_failed=$((handed_failed + 1))
        fi
    done
    [ "$handed_failed" -eq 0 ] || tests_result=1

    tested=$(date +%s)
    echo "== $arch: round trips against the x86-64 program"
    compared=0
    differ=0
    mkdir -p "$build/round-trip"
    for i in "${!inputs[@]}"; do
        input=${inputs[$i]}
        for t in 1 3; do
            out=$build/round-trip/$i.T$t.Q73
            if ! timeout 300 "${emulator[@]}" "$q73" -q -T$t -z -c "$input" >"$out" ||
                ! cmp -s "$out" "$WORK/x86/$i.T$t.Q73"; then
                echo "DIFFERS: $input compressed with -T$t"
                differ=$((differ + 1))
            fi
            if ! timeout 300 "${emulator[@]}" "$q73" -q -T$t -d -c "$WORK/x86/$i.T$t.Q73" >"$build/round-trip/back" ||
                ! cmp -s "$build/round-trip/back" "$input"; then
                echo "DIFFERS: $input expanded with -T$t from the x86-64 file"
                differ=$((differ + 1))
            fi
            compared=$((compared + 2))
        done
    done
    rm -f "$build/round-trip/back"

    now=$(date +%s)
    seconds="$((now - arch_start))s: building $((built - arch_start))s, tests $((tested - built))s, round trips $((now - tested))s"
    verdict=ok
    if [ "$tests_result" -ne 0 ] || [ "$differ" -ne 0 ]; then verdict=FAILED; failed=1; fi
    summary+=("$arch: $verdict; ctest: $ctest_line; tests given the program: $((${#handed[@]} - handed_failed))/${#handed[@]} passed; round trips: $((compared - differ))/$compared the same as x86-64 (${#inputs[@]} files, -T1 and -T3, both directions); $seconds")
done

echo "== Processors"
printf '%s\n' "${summary[@]}"
echo "total: $(($(date +%s) - start))s"
exit $failed
