#!/bin/bash
# The Windows program beside the Linux one, built from the same tree and run
# on the same inputs on this machine: the codec alone (codec_bench, in
# memory) and each program's own "Elapsed Time" for a whole job, q73.exe
# under Wine in a private Xvfb.  Prints both figures and the Windows/Linux
# ratio of times.
#
#   bench/run_codec_bench.sh [ROUNDS]
#
# ROUNDS (default 5) runs of each build, taken in turn so that a busy
# machine weighs on both alike; medians are printed, with the spread.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ROUNDS=${1:-5}
WORK=$ROOT/build/codec-bench
mkdir -p "$WORK"
# The corpus beside the main tree, or beside a worktree's parent folder.
CORPUS=${Q73_CORPUS:-$ROOT/../shared/corpus}
[ -d "$CORPUS" ] || CORPUS=$ROOT/../../shared/corpus

cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$ROOT/build" -j2 --target q73 codec_bench >/dev/null
cmake -S "$ROOT" -B "$ROOT/build-win" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$ROOT/build-win" -j2 --target q73 codec_bench result_reader >/dev/null

# The inputs of bench/run_bench.sh: the corpus four times over and 100 MB of
# real files.
if [ ! -s "$WORK/corpus_x4" ]; then
    cat "$CORPUS"/* >"$WORK/corpus_all"
    for _ in 1 2 3 4; do cat "$WORK/corpus_all"; done >"$WORK/corpus_x4"
    rm "$WORK/corpus_all"
fi
if [ ! -s "$WORK/real_100mb" ]; then
    tar cf - /usr/share/doc /usr/include /usr/share/perl* 2>/dev/null | head -c 104857600 >"$WORK/real_100mb" || true
fi

export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
XVFB_PID=""
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
rm -f "$WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$WORK/display")
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1; wineserver -w
    # Without a window manager, windows neither decorated nor managed close
    # at once.
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Decorated"="N"\n"Managed"="N"\n' >"$WORK/x11.reg"
    wine regedit /S "$(winepath -w "$WORK/x11.reg")" >/dev/null 2>&1; wineserver -w
fi
wineserver -p
# The first program brings up Wine's services, which keep its output open:
# that output goes nowhere.
wine "$ROOT/build-win/bench/result_reader.exe" >/dev/null 2>&1 || true

python3 "$ROOT/bench/codec_bench_runner.py" "$ROOT" "$WORK" "$ROUNDS"
