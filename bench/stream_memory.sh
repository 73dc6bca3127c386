#!/bin/bash
# The peak memory of a program that streams through the library: MEGABYTES
# made on the fly go through q73_compress_stream and back through
# q73_expand_stream (bench/stream_memory.c), one process per thread count,
# and the table shows each process's peak resident size.  The goal: under
# 16 MB at 2 threads for 200 MB, whatever the size (about 4 MB plus 3 MB per
# worker, beside the program's own).
#
#   bench/stream_memory.sh [MEGABYTES [THREADS...]]     (default: 200 2)
#
# Builds libq73.a in build/stream-memory (or $Q73_BUILD) and the program
# with cc (or $CC) against the public header alone.  Exits 1 when a run
# fails or passes 16 MB at 2 threads or fewer.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${Q73_BUILD:-$ROOT/build/stream-memory}
MEGABYTES=${1:-200}
shift || true
THREADS=${*:-2}

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQ73_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target q73_static >/dev/null
"${CC:-cc}" -std=c99 -O2 -Wall -Wextra -Werror -I "$ROOT/include" "$ROOT/bench/stream_memory.c" \
    "$BUILD/lib/libq73.a" -lstdc++ -lm -pthread -o "$BUILD/stream_memory"

status=0
printf '%-8s %6s %12s %16s %16s %8s %9s %9s\n' threads MB "start (MB)" "after comp. (MB)" \
    "after both (MB)" ratio "comp (s)" "exp (s)"
for t in $THREADS; do
    if ! line=$("$BUILD/stream_memory" "$MEGABYTES" "$t"); then
        echo "$t threads: the run failed"
        status=1
        continue
    fi
    read -r threads mb before compress expand compressed tc te <<<"$line"
    awk -v t="$threads" -v mb="$mb" -v b="$before" -v c="$compress" -v e="$expand" \
        -v z="$compressed" -v tc="$tc" -v te="$te" 'BEGIN {
        printf "%-8s %6s %12.1f %16.1f %16.1f %8.3f %9s %9s\n",
               t, mb, b * 1024 / 1e6, c * 1024 / 1e6, e * 1024 / 1e6, z / (mb * 1000000), tc, te }'
    if [ "$t" -le 2 ] && [ $((expand * 1024)) -ge 16000000 ]; then status=1; fi
done
echo "MB = 10^6 bytes: the peak resident size of the whole process (ru_maxrss); goal: under 16 MB at 2 threads"
exit $status
