#!/bin/sh
# One-command benchmark: q73 beside common compressors on the corpus, its concatenation (once and
# four times) and 100 MB of real data; table, speed ratios and plot in docs/
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
need=""
for t in zstd lz4 bzip2 xz gnuplot; do command -v $t >/dev/null || need="$need $t"; done
[ -x /usr/bin/time ] || need="$need time"
if [ -n "$need" ]; then
    apt-get update && apt-get install -y zstd lz4 bzip2 xz-utils gnuplot-nox time
fi
# Always brought up to date: a stale program would be measured otherwise.
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target q73 >/dev/null
exec python3 "$root/bench/bench_runner.py" "$root" "$@"
