#!/bin/bash
# Builds q73.exe with MinGW-w64 and runs it under Wine inside a private Xvfb,
# the way a user would: drop a file on it, look at the dialogs, press OK.
# A small Windows driver program (driver.cpp) finds the windows, reads and
# checks their texts and presses their buttons.
#
#   tests/windows/run_windows_tests.sh [BUILD_DIR [LINUX_Q73]]
#
# BUILD_DIR (default build/windows-tests) holds the cross build, the Wine
# prefix (made once, then reused), the work files and the screenshots.
# LINUX_Q73 is the command-line program to compare outputs with; built into
# BUILD_DIR when not given.  Missing tools are installed; when that is not
# possible the run fails.
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(mkdir -p "${1:-$ROOT/build/windows-tests}" && cd "${1:-$ROOT/build/windows-tests}" && pwd)
LINUX_Q73=${2:-}
CORPUS=${Q73_CORPUS:-$ROOT/../shared/corpus}
PACKAGES="g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb imagemagick fonts-wine fonts-liberation"
START=$(date +%s)

passed=0
failed=0
pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1"; failed=$((failed + 1)); }
die() { echo "FAIL: $1"; exit 1; }
. "$ROOT/tests/windows/wine_session.sh"

# --- tools -----------------------------------------------------------------
missing=""
for package in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends $missing >/dev/null ||
        die "could not install:$missing"
fi
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres x86_64-w64-mingw32-objdump \
            wine wineboot wineserver Xvfb import convert cmake; do
    command -v "$tool" >/dev/null || die "the tool $tool is missing"
done
[ -d "$CORPUS" ] || die "the corpus folder $CORPUS is missing"

# --- builds ------------------------------------------------------------------
echo "building q73.exe and the driver in $BUILD"
cmake -S "$ROOT" -B "$BUILD/win" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    >"$BUILD/win-configure.log" 2>&1 || die "configuring the Windows build (see $BUILD/win-configure.log)"
cmake --build "$BUILD/win" -j2 >"$BUILD/win-build.log" 2>&1 ||
    die "building q73.exe (see $BUILD/win-build.log)"
EXE=$BUILD/win/app/q73.exe
build_driver "$BUILD"
linux_q73 "$BUILD" "$BUILD/linux-build.log"

# --- display and Wine prefix -------------------------------------------------
export WINEPREFIX=$BUILD/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine maps Unix names to Windows names through the locale's character set:
# with UTF-8 every name in any script comes across.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
XVFB_PID=""
cleanup() {
    wineserver -k 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT

rm -f "$BUILD/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -br 3>"$BUILD/display" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$BUILD/display" ] && break; sleep 0.1; done
[ -s "$BUILD/display" ] || die "Xvfb did not start"
export DISPLAY=:$(cat "$BUILD/display")

if [ ! -f "$WINEPREFIX/.q73-ready" ]; then
    echo "making the Wine prefix"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1; wineserver -w
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    # Without a window manager, Wine draws the captions itself only when
    # its windows are neither decorated nor managed.
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Decorated"="N"\n"Managed"="N"\n' \
        >"$BUILD/x11.reg"
    wine regedit /S "$(winepath -w "$BUILD/x11.reg")" >/dev/null 2>&1; wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || die "the Wine prefix was not made"
    touch "$WINEPREFIX/.q73-ready"
fi
# One server for the whole run, started before the first program, so that
# q73.exe and the driver never race to start it.
wineserver -p
wine "$BUILD/driver.exe" >/dev/null 2>&1
echo "prefix ready after $(( $(date +%s) - START )) s"

WORK=$BUILD/work
SHOTS=$BUILD/screenshots
rm -rf "$WORK"; mkdir -p "$WORK/win" "$WORK/linux" "$SHOTS"
cp "$EXE" "$WORK/win/"
cd "$WORK/win" || die "no work folder"

# Starts q73.exe with the given arguments in the background.
Q73_PID=""
# A long job gets more time (Q73_TIMEOUT seconds).
start_q73() {
    timeout "${Q73_TIMEOUT:-60}" wine "$WORK/win/q73.exe" "$@" >/dev/null 2>&1 & Q73_PID=$!
    sleep 0.3
}
# Waits for q73.exe after the driver has ended with status $1 (a failed
# driver may leave a dialog up, so the prefix's programs are ended then).
# True when both the driver and q73.exe ended with 0.
exit_codes_ok=1
finish_q73() {
    local driver_status=$1 code
    [ "$driver_status" -eq 0 ] || wineserver -k
    wait "$Q73_PID"; code=$?
    echo "  q73.exe exit code $code"
    [ "$code" -eq 0 ] || exit_codes_ok=0
    [ "$driver_status" -eq 0 ] && [ "$code" -eq 0 ]
}
drive() { timeout "${Q73_TIMEOUT:-60}" wine "$BUILD/driver.exe" "$@" 2>&1 | tr -d '\r' | sed 's/^/  /'; return "${PIPESTATUS[0]}"; }
# Starts the driver before q73.exe, to see a job from its first moment;
# driver_result waits for it, shows what it said and gives its status.  Its
# output goes to a file: a Wine program started meanwhile (the desktop
# process) would hold a pipe open for good.
DRIVER_PID=""
drive_ahead() {
    timeout "${Q73_TIMEOUT:-60}" wine "$BUILD/driver.exe" "$@" >"$BUILD/driver-ahead.log" 2>&1 &
    DRIVER_PID=$!
    sleep 0.5
}
driver_result() {
    local status
    wait "$DRIVER_PID"; status=$?
    tr -d '\r' <"$BUILD/driver-ahead.log" | sed 's/^/  /'
    return "$status"
}
# Screenshot of the whole screen, and one cut down to the windows on it.
shot() {
    sleep 0.5
    import -window root "$SHOTS/$1-screen.png" &&
        convert "$SHOTS/$1-screen.png" -trim +repage -bordercolor black -border 6 "$SHOTS/$1.png"
}
# Compresses a copy of a corpus file with the Linux program, for comparison.
linux_compress() { cp "$CORPUS/$1" "$WORK/linux/$2" && (cd "$WORK/linux" && "$LINUX_Q73" "$2" >/dev/null 2>&1); }

# --- cases ---------------------------------------------------------------
case_name="started without a file name, q73.exe shows the exact about box"
start_q73
drive wait "Q73 compression codec" >/dev/null && shot about
drive about; if finish_q73 $?; then pass "$case_name"; else fail "$case_name"; fi

case_name="compressing a corpus file shows its sizes, percent saved and elapsed time"
cp "$CORPUS/alice29.txt" alice29.txt
start_q73 alice29.txt
drive wait "Compression Completed ..." >/dev/null && shot compression
drive compression alice29.txt alice29.Q73; if finish_q73 $?; then pass "$case_name"; else fail "$case_name"; fi

case_name="the compressed file is byte-identical to the Linux program's output"
linux_compress alice29.txt alice29.txt
if cmp alice29.Q73 "$WORK/linux/alice29.Q73"; then pass "$case_name"; else fail "$case_name"; fi

case_name="expanding the compressed file restores the exact bytes under the original name"
rm -f alice29.txt
start_q73 alice29.Q73
drive wait "Expansion Completed ..." >/dev/null && shot expansion
drive expansion
if finish_q73 $? && cmp alice29.txt "$CORPUS/alice29.txt"; then pass "$case_name"; else fail "$case_name"; fi

case_name="expanding a file that is not compressed shows the not-compressed message and leaves no output"
mkdir -p junk && cp "$CORPUS/html" junk/page.q73 && cd junk
start_q73 page.q73
drive error "ERROR: File is not compressed with this version of Q73" "Expanding..."
if finish_q73 $? && [ "$(ls)" = "page.q73" ] && cmp page.q73 "$CORPUS/html"; then
    pass "$case_name"
else
    fail "$case_name (the folder holds: $(ls | tr '\n' ' '))"
fi
cd ..

case_name="expanding a damaged file beside an existing file of the restored name keeps that file and leaves nothing else"
mkdir -p kept && cd kept
cp "$CORPUS/alice29.txt" alice29.txt
"$LINUX_Q73" alice29.txt >/dev/null 2>&1
head -c 20000 alice29.Q73 > cut.Q73 && mv cut.Q73 alice29.Q73
rm -f alice29.txt; printf 'the user\x27s own notes\n' > alice29.txt
cp alice29.txt "$WORK/kept-notes.txt"
start_q73 alice29.Q73
drive error "ERROR: Compressed file is damaged or truncated" "Expanding..."
if finish_q73 $? && [ "$(ls -A | tr '\n' ' ')" = "alice29.Q73 alice29.txt " ] &&
    cmp alice29.txt "$WORK/kept-notes.txt"; then
    pass "$case_name"
else
    fail "$case_name (the folder holds: $(ls -A | tr '\n' ' '))"
fi
cd ..

case_name="a dropped path with a space in it, quoted, is compressed and expanded"
cp "$CORPUS/paper-100k.pdf" "two words.pdf"
ok=1
start_q73 "$(winepath -w "$WORK/win/two words.pdf")"
drive compression "two words.pdf" "two words.Q73"; finish_q73 $? || ok=0
linux_compress paper-100k.pdf "two words.pdf"
cmp "two words.Q73" "$WORK/linux/two words.Q73" || ok=0
rm -f "two words.pdf"
start_q73 "two words.Q73"
drive expansion; finish_q73 $? || ok=0
cmp "two words.pdf" "$CORPUS/paper-100k.pdf" || ok=0
if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name"; fi

case_name="names in Chinese, in Cyrillic with spaces and with an emoji are compressed and expanded back exactly"
ok=1
drive codepage || ok=0
names=("報告.txt" "мой годовой отчёт.txt" "отпуск 😀 фото.txt")
sources=(alice29.txt asyoulik.txt lcet10.txt)
for i in 0 1 2; do cp "$CORPUS/${sources[$i]}" "${names[$i]}"; done
start_q73 "${names[@]}"
pairs=()
for i in 0 1 2; do pairs+=("${names[$i]}" "${names[$i]%.txt}.Q73"); done
drive compression "${pairs[@]}"; finish_q73 $? || ok=0
for i in 0 1 2; do
    linux_compress "${sources[$i]}" "${names[$i]}"
    cmp "${names[$i]%.txt}.Q73" "$WORK/linux/${names[$i]%.txt}.Q73" || ok=0
    rm -f "${names[$i]}"
done
start_q73 "${names[@]/%.txt/.Q73}"
drive expansion; finish_q73 $? || ok=0
for i in 0 1 2; do cmp "${names[$i]}" "$CORPUS/${sources[$i]}" || ok=0; done
if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name"; fi

case_name="a file whose full path is near the 1023-character limit is compressed (by its full path) and expanded (by a relative name)"
# Far beyond the old 260 characters, and just inside what a job takes.
folder=deep
while [ $(( ${#WORK} + ${#folder} )) -lt 940 ]; do
    folder="$folder/a folder deep in the documents of a user"
done
mkdir -p "$folder" && cp "$CORPUS/paper-100k.pdf" "$folder/annual report.pdf"
# (winepath stops at 260 characters; the Windows form of a Unix path is Z:
# and the path with backslashes)
full="Z:$(echo "$WORK/win/$folder/annual report.pdf" | tr / '\\')"
echo "  full path: ${#full} characters"
ok=1
[ ${#full} -gt 960 ] && [ ${#full} -le 1023 ] || ok=0
start_q73 "$full"
drive compression "$full" "${full%.pdf}.Q73"; finish_q73 $? || ok=0
linux_compress paper-100k.pdf "annual report.pdf"
cmp "$folder/annual report.Q73" "$WORK/linux/annual report.Q73" || ok=0
rm -f "$folder/annual report.pdf"
start_q73 "$(echo "$folder" | tr / '\\')\\annual report.Q73"
drive expansion; finish_q73 $? || ok=0
cmp "$folder/annual report.pdf" "$CORPUS/paper-100k.pdf" || ok=0
rm -rf deep
if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name"; fi

case_name="three files dropped at once (one with a space, one a .Q73) run in order under one status window; one result dialog gives the two compressed files' totals"
mkdir -p drop && cd drop || die "no drop folder"
cp "$CORPUS/kppkn.gtb" "sales figures.gtb"
cp "$CORPUS/fireworks.jpeg" "photo.jpeg"
linux_compress geo.protodata "records.pro" && mv "$WORK/linux/records.Q73" .
start_q73 "$(winepath -w "$WORK/win/drop/sales figures.gtb")" records.Q73 photo.jpeg
drive compression "sales figures.gtb" "sales figures.Q73" photo.jpeg photo.jpeg.Q73
ok=1
finish_q73 $? || ok=0
cmp records.pro "$CORPUS/geo.protodata" || ok=0
linux_compress kppkn.gtb "sales figures.gtb"
cmp "sales figures.Q73" "$WORK/linux/sales figures.Q73" || ok=0
linux_compress fireworks.jpeg photo.jpeg
cmp photo.jpeg.Q73 "$WORK/linux/photo.jpeg.Q73" || ok=0
cd ..
if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name"; fi

case_name="six files dropped (one missing): one status window names each in turn, one message box names the missing file, one result dialog gives the five files' totals; all five expand back exactly"
mkdir -p six && cd six || die "no six folder"
# Files big enough that each job lasts long enough to be seen.
parts=(one.dat two.dat three.dat five.dat six.dat)
for i in 0 1 2 3 4; do
    for _ in $(seq $((4 + i))); do cat "$CORPUS"/*; done >"${parts[$i]}"
    cp "${parts[$i]}" "$WORK/six-${parts[$i]}"
done
lines=()
pairs=()
order=(one.dat two.dat three.dat four.dat five.dat six.dat)
for i in 0 1 2 3 4 5; do
    [ "${order[$i]}" = four.dat ] && continue
    lines+=("${order[$i]} ($((i + 1)) of 6)")
    pairs+=("${order[$i]}" "${order[$i]%.dat}.Q73")
done
ok=1
drive_ahead batch "ERROR: Can not find in file (four.dat)" "${lines[@]}"
start_q73 "${order[@]}"
status=0
driver_result || status=1
drive compression "${pairs[@]}" || status=1
finish_q73 $status || ok=0
rm -f "${parts[@]}"
drive_ahead batch - "one.Q73 (1 of 5)" "two.Q73 (2 of 5)" "three.Q73 (3 of 5)" \
    "five.Q73 (4 of 5)" "six.Q73 (5 of 5)"
start_q73 one.Q73 two.Q73 three.Q73 five.Q73 six.Q73
status=0
driver_result || status=1
drive expansion || status=1
finish_q73 $status || ok=0
for part in "${parts[@]}"; do cmp "$part" "$WORK/six-$part" || ok=0; done
cd .. && rm -rf six "$WORK"/six-*
if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name"; fi

# One big input for the long jobs, made once and reused by every case below:
# the corpus over and over, data that takes the codec as long as real files.
mkdir -p big && cd big || die "no big folder"
for _ in $(seq 180); do cat "$CORPUS"/*; done >big.bin
cp big.bin "$WORK/big.ref"
echo "  big.bin: $(stat -c %s big.bin) bytes"
export Q73_TIMEOUT=200

case_name="during a long job the status window answers within 50 ms at every one of 20 looks, names the file, and its bar moves on screen"
ok=1
drive_ahead progress "Compressing..." big.bin "$(winepath -w "$SHOTS/status.bmp")"
start_q73 big.bin
driver_result; status=$?
drive compression big.bin big.Q73 || status=1
finish_q73 $status || ok=0
convert "$SHOTS/status.bmp" -trim +repage -bordercolor black -border 6 "$SHOTS/status.png" || ok=0
rm big.bin
drive_ahead progress "Expanding..." big.Q73 "$(winepath -w "$SHOTS/status-expanding.bmp")"
start_q73 big.Q73
driver_result; status=$?
drive expansion || status=1
finish_q73 $status || ok=0
cmp big.bin "$WORK/big.ref" || ok=0
cp big.Q73 "$WORK/big.Q73.ref"
if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name"; fi

# The folder as it was: the same names, every file byte for byte.
folder_unchanged() {
    [ "$(ls -A | tr '\n' ' ')" = "big.Q73 big.bin " ] &&
        cmp big.bin "$WORK/big.ref" && cmp big.Q73 "$WORK/big.Q73.ref"
}
for how in button escape close; do
    for job in compress expand; do
        [ "$how" = close ] && [ "$job" = expand ] && continue
        case_name="a long job ($job) stopped with $how ends within half a second, silently, and the folder holds exactly what it held"
        if [ "$job" = compress ]; then input=big.bin status_text="Compressing..."
        else input=big.Q73 status_text="Expanding..."; fi
        ok=1
        start_q73 "$input"
        drive cancel "$how" "$status_text"; finish_q73 $? || ok=0
        folder_unchanged || ok=0
        if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name (the folder holds: $(ls -A | tr '\n' ' '))"; fi
    done
done

case_name="Cancel in the middle of a batch keeps the file already done, stops the one in work and starts no other"
ok=1
cp "$CORPUS/alice29.txt" first.txt && cp "$CORPUS/lcet10.txt" last.txt
start_q73 first.txt big.bin last.txt
drive cancel button "Compressing..." "big.bin (2 of 3)"; finish_q73 $? || ok=0
[ "$(ls -A | tr '\n' ' ')" = "big.Q73 big.bin first.Q73 first.txt last.txt " ] || ok=0
cmp big.bin "$WORK/big.ref" && cmp big.Q73 "$WORK/big.Q73.ref" || ok=0
linux_compress alice29.txt first.txt
cmp first.Q73 "$WORK/linux/first.Q73" || ok=0
rm -f first.txt first.Q73 last.txt
if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name (the folder holds: $(ls -A | tr '\n' ' '))"; fi

case_name="q73.exe killed in the middle of a long job leaves no temporary file and the folder as it was"
ok=1
start_q73 big.Q73
drive running "Expanding..." || ok=0
temporary=$(ls -A | grep -c '^\.q73-.*\.tmp$')
echo "  temporary files mid-job: $temporary"
[ "$temporary" = 1 ] || ok=0
# timeout's child is the loader, which has become q73.exe.
kill -9 "$(pgrep -P "$Q73_PID")"
wait "$Q73_PID"
for _ in $(seq 50); do ls -A | grep -q '^\.q73-' || break; sleep 0.1; done
folder_unchanged || ok=0
if [ "$ok" = 1 ]; then pass "$case_name"; else fail "$case_name (the folder holds: $(ls -A | tr '\n' ' '))"; fi
cd .. && rm -rf big "$WORK/big.ref" "$WORK/big.Q73.ref"
unset Q73_TIMEOUT

case_name="q73.exe imports system DLLs only"
dlls=$(x86_64-w64-mingw32-objdump -p "$EXE" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')
echo "  imports: $dlls"
if [ -n "$dlls" ] && ! echo "$dlls" | grep -qiE 'libgcc|libstdc|winpthread'; then pass "$case_name"
else fail "$case_name"; fi

case_name="q73.exe ends with exit code 0 in every case"
if [ "$exit_codes_ok" = 1 ]; then pass "$case_name"; else fail "$case_name"; fi

for name in about compression expansion status; do
    [ -s "$SHOTS/$name.png" ] || fail "no screenshot $name.png was taken"
done
echo "screenshots in $SHOTS"
echo "$passed passed, $failed failed, $(( $(date +%s) - START )) s"
[ "$failed" -eq 0 ]
