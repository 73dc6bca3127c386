#!/usr/bin/env bash
# The Linux program on hostile files and a hostile system, run as a user
# runs it: `q73 FILE` in a folder of its own.  Every case must end with an
# "ERROR: " message, exit status 1, no output file left behind and the input
# file unchanged.
# Usage: fault_cli_tests.sh PATH_TO_Q73 CORPUS_DIR
set -u
q73=$(realpath "$1")
corpus=$(realpath "$2")
command -v truncate >/dev/null || { echo "FAILED: truncate (coreutils) is missing"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
current=""

# A case that ends with neither ok nor bad stopped at a plain check: failed.
settled=1
unsettled() { [ $settled -eq 1 ] || { failed=$((failed + 1)); echo "FAILED: $current: a check failed"; }; }
case_() {
    unsettled
    current="$1"; settled=0
    rm -rf "$work/case"; mkdir "$work/case"; cd "$work/case" || exit 2
}
ok() { passed=$((passed + 1)); settled=1; echo "ok: $current"; }
bad() { [ $settled -eq 1 ] || failed=$((failed + 1)); settled=1; echo "FAILED: $current: $*"; }
# run ARGS...: runs q73 with the captures outside the case folder.
run() { "$q73" "$@" >"$work/out.txt" 2>"$work/err.txt"; status=$?; }
# refused TEXT: the last run failed with exit 1 and an error text holding TEXT.
refused() {
    [ $status -eq 1 ] || { bad "exit status $status"; return 1; }
    grep -q "^ERROR: .*$1" "$work/err.txt" || { bad "message '$(cat "$work/err.txt")'"; return 1; }
    ! grep -q . "$work/out.txt" || { bad "result shown: $(cat "$work/out.txt")"; return 1; }
}
# only FILE...: the case folder holds exactly these names.
only() {
    local want got
    want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
    got=$(ls -A | sort | tr '\n' ' ')
    [ "$want" = "$got" ] || { bad "folder holds [$got], expected [$want]"; return 1; }
}
same() { cmp -s "$1" "$2" || { bad "$1 changed"; return 1; }; }
# header FLAGS EXT...: a compressed header of length 0 with these bytes.
header() { printf "$1"; shift; printf '%s' "$@"; printf '\000\000\000\000'; }

# ---- disk full -----------------------------------------------------------
# A file size limit makes every write past it fail (SIGXFSZ ignored, so the
# write returns an error instead of killing the program).
# The captures go through pipes, which the limit does not cover; the
# processes behind them are started before the limit is set.
limited() {
    local blocks=$1 out_pid err_pid
    shift
    exec 5> >(cat > "$work/out.txt")
    out_pid=$!
    exec 6> >(cat > "$work/err.txt")
    err_pid=$!
    (ulimit -f "$blocks"; trap '' XFSZ; exec "$q73" "$@") >&5 2>&6
    status=$?
    exec 5>&- 6>&-
    wait $out_pid $err_pid
}

for limit in 0 8 40; do
    case_ "Compressing onto a full disk ($limit KiB free) fails and leaves nothing"
    cp "$corpus/alice29.txt" alice29.txt
    limited "$limit" alice29.txt
    refused "Can't write outfile" && only alice29.txt && same alice29.txt "$corpus/alice29.txt" && ok

    case_ "Expanding onto a full disk ($limit KiB free) fails and leaves nothing"
    cp "$corpus/alice29.txt" alice29.txt
    run alice29.txt
    if [ $status -ne 0 ]; then bad "compressing failed: $(cat "$work/err.txt")"; continue; fi
    rm alice29.txt
    cp alice29.Q73 "$work/kept.Q73"
    limited "$limit" alice29.Q73
    refused "Can't write outfile" && only alice29.Q73 && same alice29.Q73 "$work/kept.Q73" && ok
done

case_ "With room enough the same limit lets both jobs finish"
cp "$corpus/alice29.txt" alice29.txt
limited 4096 alice29.txt && [ $status -eq 0 ] && rm alice29.txt && limited 4096 alice29.Q73
if [ $status -eq 0 ] && cmp -s alice29.txt "$corpus/alice29.txt"; then ok; else bad "status $status"; fi

# ---- files too large -----------------------------------------------------
case_ "A sparse file of 2^31 bytes is refused before any reading and nothing is created"
truncate -s 2147483648 huge.bin
run huge.bin
refused "too large" && only huge.bin && [ "$(stat -c %s huge.bin)" = 2147483648 ] && {
    ! grep -q "Compressing" "$work/err.txt" || bad "the job had started"; } && ok

case_ "A sparse file of 2^32 + 2 bytes is refused too (the low half alone looks small)"
truncate -s 4294967298 huge.txt
run huge.txt
refused "too large" && only huge.txt && ok

# ---- long names ----------------------------------------------------------
# Linux allows 255 bytes per name, so a long name is a short one behind
# `dots N`: a prefix of N characters that names the current folder ("./"
# steps, and one doubled "/" when N is odd).
dots() {
    local n=$1 s=""
    while [ $(( ${#s} + 2 )) -le "$n" ]; do s="$s./"; done
    [ ${#s} -lt "$n" ] && s="$s/"
    printf '%s' "$s"
}

case_ "A 1024-character name is refused by the compressor and nothing is created"
printf 'hello' > notes.txt
name="$(dots 1015)notes.txt"
run "$name"
[ ${#name} -eq 1024 ] && refused "too long" && only notes.txt && ok

case_ "A name that would grow past 1023 characters when compressed is refused"
printf 'hello' > abcdefgh
name="$(dots 1014)abcdefgh"    # 1022 characters, no extension: ".Q73" makes 1026
run "$name"
[ ${#name} -eq 1022 ] && refused "too long" && only abcdefgh && ok

case_ "A name that just fits, 1023 characters once compressed, works both ways"
printf 'hello' > abcdefgh
name="$(dots 1011)abcdefgh"    # 1019 characters: 1023 with ".Q73"
run "$name"
if [ $status -eq 0 ] && [ -f abcdefgh.Q73 ]; then
    rm abcdefgh
    run "$(dots 1011)abcdefgh.Q73"
    if [ $status -eq 0 ] && [ "$(cat abcdefgh)" = hello ]; then ok; else bad "expand status $status"; fi
else bad "compress status $status: $(cat "$work/err.txt")"; fi

case_ "A 1024-character compressed name is refused by the expander and nothing is created"
printf 'hello' > notes.txt
run notes.txt && rm notes.txt
name="$(dots 1015)notes.Q73"
run "$name"
refused "too long" && only notes.Q73 && ok

# ---- unsafe stored extensions --------------------------------------------
mkdir -p "$work/outside"
for ext in '../' 'a/b' 'c:x' '..\' $'\001ab' $'a\tb' $'ab\177'; do
    shown=$(printf '%q' "$ext")
    case_ "A stored extension $shown is refused and nothing is created"
    mkdir evil.a    # would receive evil.a/b if the extension were used
    header '\201' "$ext" > evil.q73
    cp evil.q73 "$work/kept.q73"
    run evil.q73
    refused "damaged" && only evil.a evil.q73 && [ -z "$(ls -A evil.a)" ] &&
        [ -z "$(ls -A "$work/outside")" ] && same evil.q73 "$work/kept.q73" && ok
done

case_ "A safe stored extension is restored under it"
header '\201' 'bin' > plain.q73
run plain.q73
if [ $status -eq 0 ] && [ -f plain.bin ] && [ ! -s plain.bin ]; then ok; else bad "status $status"; fi

# A name whose last three characters hold a separator has no extension to
# store: "v1.d/a" is the file a in the folder v1.d, not v1 with "d/a".
plain_names=('v1.d/a' 'x.c:a' 'y.c\d' $'z.a\tb')
for plain in "${plain_names[@]}"; do
    case_ "$(printf '%q' "$plain") compresses beside itself and expands back"
    mkdir -p v1.d
    printf 'hello' > "$plain"
    run "$plain"
    if [ $status -ne 0 ] || [ ! -f "$plain.Q73" ]; then
        bad "status $status, folder: $(find . -type f | tr '\n' ' ')"; continue; fi
    rm "$plain"
    run "$plain.Q73"
    if [ $status -eq 0 ] && [ "$(cat "$plain" 2>/dev/null)" = hello ]; then ok
    else bad "expand status $status: $(cat "$work/err.txt")"; fi
done

# ---- restored over itself ------------------------------------------------
for pair in 'x.q73 q73' 'X.Q73 q73' 'Report.q73 Q73' 'data.Q73 Q73'; do
    set -- $pair
    case_ "A file $1 whose stored extension $2 names itself is refused and kept"
    header '\201' "$2" > "$1"
    cp "$1" "$work/kept"
    run "$1"
    refused "over itself" && only "$1" && same "$1" "$work/kept" && ok
done

# ---- damaged files through the program -----------------------------------
case_ "Every truncation of a compressed file is refused by the program"
printf 'hello, hello' > notes.txt
run notes.txt && rm notes.txt && mv notes.Q73 "$work/whole.Q73"
size=$(stat -c %s "$work/whole.Q73")
all=1
for ((cut = 0; cut < size; cut++)); do
    head -c $cut "$work/whole.Q73" > notes.Q73
    cp notes.Q73 "$work/kept"
    run notes.Q73
    if [ $status -ne 1 ] || ! grep -q '^ERROR: ' "$work/err.txt" || [ "$(ls -A)" != notes.Q73 ] ||
        ! cmp -s notes.Q73 "$work/kept"; then all=0; bad "cut at $cut: status $status"; break; fi
done
[ $all -eq 1 ] && ok

# ---- outputs that are the input under another name -------------------------
for link in "ln" "ln -s"; do
    case_ "Compressing refuses an output name that is a link ($link) to the input"
    cp "$corpus/alice29.txt" notes.txt
    $link notes.txt notes.Q73
    timeout 20 "$q73" notes.txt >"$work/out.txt" 2>"$work/err.txt"; status=$?
    refused "in file itself" && same notes.txt "$corpus/alice29.txt" && ok

    case_ "Expanding refuses a restored name that is a link ($link) to the compressed file"
    cp "$corpus/alice29.txt" notes.txt
    "$q73" notes.txt >/dev/null 2>&1 && rm notes.txt && cp notes.Q73 "$work/kept"
    $link notes.Q73 notes.txt
    timeout 20 "$q73" notes.Q73 >"$work/out.txt" 2>"$work/err.txt"; status=$?
    refused "over itself" && same notes.Q73 "$work/kept" && ok
done

# ---- an existing file of the output name survives every failure ----------
case_ "A damaged or truncated compressed file beside the user's file of its restored name keeps that file"
cp "$corpus/alice29.txt" notes.txt
run notes.txt && mv notes.Q73 "$work/whole.Q73"
printf 'the user own notes\n' > notes.txt
cp notes.txt "$work/mine"
size=$(stat -c %s "$work/whole.Q73")
all=1
# Cuts inside the length field, at the first record, inside a record and
# one byte short.  (A flipped bit may well expand to other bytes: the
# format holds no check sum.)
for cut in 5 9 13 $((size / 2)) $((size - 1)); do
    head -c "$cut" "$work/whole.Q73" > notes.Q73
    cp notes.Q73 "$work/kept"
    run notes.Q73
    if [ $status -ne 1 ] || ! grep -q '^ERROR: .*damaged' "$work/err.txt" || ! cmp -s notes.txt "$work/mine" ||
        [ "$(ls -A | sort | tr '\n' ' ')" != "notes.Q73 notes.txt " ] || ! cmp -s notes.Q73 "$work/kept"; then
        all=0; bad "cut $cut: status $status, folder [$(ls -A | tr '\n' ' ')], $(cat "$work/err.txt")"; break
    fi
done
[ $all -eq 1 ] && ok

for threads in -T1 -T2; do
    case_ "A large compressed file cut in its middle is refused ($threads) and leaves the user's file alone"
    for ((i = 0; i < 3; i++)); do cat "$corpus"/*; done > notes.txt
    run notes.txt && mv notes.Q73 "$work/whole.Q73"
    printf 'the user own notes\n' > notes.txt
    cp notes.txt "$work/mine"
    head -c $(($(stat -c %s "$work/whole.Q73") / 2)) "$work/whole.Q73" > notes.Q73
    run "$threads" notes.Q73
    refused "damaged" && same notes.txt "$work/mine" && only notes.Q73 notes.txt && ok
    rm -f notes.txt notes.Q73
done

case_ "A compression that fails on a full disk beside a good compressed file keeps that file"
cp "$corpus/alice29.txt" alice29.txt
run alice29.txt
cp alice29.Q73 "$work/kept.Q73"
printf 'more' >> alice29.txt
limited 40 alice29.txt
refused "Can't write outfile" && only alice29.txt alice29.Q73 && same alice29.Q73 "$work/kept.Q73" && ok

case_ "An expansion that fails on a full disk beside the user's file keeps that file"
cp "$corpus/alice29.txt" alice29.txt
run alice29.txt
printf 'mine' > alice29.txt
limited 40 alice29.Q73
refused "Can't write outfile" && only alice29.txt alice29.Q73 && [ "$(cat alice29.txt)" = mine ] && ok

case_ "A successful job replaces an existing output, even a read-only one, and leaves nothing else"
printf 'old compressed bytes' > notes.Q73
chmod 444 notes.Q73
printf 'hello, hello' > notes.txt
run notes.txt
if [ $status -eq 0 ] && [ "$(head -c 3 notes.Q73)" != old ]; then
    printf 'stale' > notes.txt
    run notes.Q73
    if [ $status -eq 0 ] && [ "$(cat notes.txt)" = "hello, hello" ]; then only notes.txt notes.Q73 && ok
    else bad "expansion status $status, notes.txt holds '$(cat notes.txt)'"; fi
else bad "compression status $status: $(cat "$work/err.txt")"; fi

# ---- the file's time and permission bits -----------------------------------
case_ "Modification time and modes 0750 and 0600 go to the compressed file and back"
all=1
for mode in 750 600; do
    cp "$corpus/asyoulik.txt" "m$mode.txt"
    chmod "$mode" "m$mode.txt"
    touch -d '2001-02-03 04:05:06' "m$mode.txt"
    want=$(stat -c %Y "m$mode.txt")
    run "m$mode.txt"
    got="$(stat -c '%a %Y' "m$mode.Q73" 2>/dev/null)"
    [ $status -eq 0 ] && [ "$got" = "$mode $want" ] || { all=0; bad "$mode: compressed file has $got"; }
    mv "m$mode.txt" "$work/original"
    touch "m$mode.Q73" -d '2002-03-04 05:06:07'
    chmod "$mode" "m$mode.Q73"
    want=$(stat -c %Y "m$mode.Q73")
    run "m$mode.Q73"
    got="$(stat -c '%a %Y' "m$mode.txt" 2>/dev/null)"
    [ $status -eq 0 ] && [ "$got" = "$mode $want" ] && cmp -s "m$mode.txt" "$work/original" ||
        { all=0; bad "$mode: restored file has $got"; }
done
[ $all -eq 1 ] && only m750.txt m750.Q73 m600.txt m600.Q73 && ok

# ---- interrupted jobs ------------------------------------------------------
# A few hundred MB of real data, so that a job runs for seconds.
# make_big FILE [COPIES]: the corpus, 100 times (about 290 MB) unless told.
make_big() {
    local i
    for ((i = 0; i < ${2:-100}; i++)); do cat "$corpus"/*; done > "$1"
}
# temporary: the name of the job's temporary file in the case folder, if any.
temporary() { ls -A | grep -E '^\.q73-.*\.tmp$'; }
# unfinished: a name for the output that the started job is writing: its
# temporary file, or the file with no name that it holds open.
unfinished() {
    local t fd
    t=$(temporary)
    [ -n "$t" ] && { echo "$t"; return; }
    for fd in /proc/$pid/fd/*; do
        [[ "$(readlink "$fd")" == "$PWD/#"*" (deleted)" ]] && { echo "$fd"; return; }
    done
}
# started FILE...: runs q73 in the background with default signal
# dispositions (a background job of a script starts with SIGINT ignored)
# and waits until its unfinished output holds a few MB.
started() {
    env --default-signal=INT,TERM,HUP "$q73" "$@" >"$work/out.txt" 2>"$work/err.txt" &
    pid=$!
    local tries=0 t
    while ((tries++ < 400)); do
        t=$(unfinished)
        if [ -n "$t" ] && [ "$(stat -L -c %s "$t" 2>/dev/null || echo 0)" -gt 4000000 ]; then return 0; fi
        kill -0 $pid 2>/dev/null || break
        sleep 0.05
    done
    bad "the job never got going: $(cat "$work/err.txt")"
    kill -KILL $pid 2>/dev/null; wait $pid 2>/dev/null
    return 1
}
# interrupted SIGNAL NUMBER: sends the signal to the started job and checks
# its exit status and that the temporary file is gone.
interrupted() {
    kill -"$1" $pid
    wait $pid; status=$?
    [ $status -eq $((128 + $2)) ] || { bad "exit status $status after SIG$1"; return 1; }
    [ -z "$(temporary)" ] || { bad "temporary file $(temporary) left behind"; return 1; }
}

# One worker, two and the default: an interrupt stops the workers too.
for signal in TERM:15:-T1 INT:2:-T2 HUP:1:-T0; do
    name=${signal%%:*}; number=${signal#*:}; threads=${number#*:}; number=${number%:*}
    case_ "SIG$name in the middle of a compression ($threads) leaves the old compressed file and nothing else"
    make_big big.bin
    printf 'an old compressed file' > big.Q73
    cp big.Q73 "$work/kept.Q73"
    started "$threads" big.bin && interrupted "$name" "$number" && only big.bin big.Q73 &&
        same big.Q73 "$work/kept.Q73" && ok
    rm -f big.bin
done

case_ "SIGTERM in the middle of an expansion over the user's file leaves that file and nothing else"
make_big big.bin 40
run big.bin
if [ $status -eq 0 ]; then
    printf 'mine' > big.bin
    started big.Q73 && interrupted TERM 15 && only big.bin big.Q73 && [ "$(cat big.bin)" = mine ] && ok
else bad "compressing failed: $(cat "$work/err.txt")"; fi
rm -f big.bin big.Q73

case_ "SIGTERM while two workers wait on a pipe that has stopped sending ends the expansion at once"
make_big big.bin 8
run big.bin
head -c $(($(stat -c %s big.Q73) / 2)) big.Q73 > half.Q73
mkfifo feed
(cat half.Q73; sleep 8) > feed &
feeder=$!
env --default-signal=TERM "$q73" -d -c -T2 - < feed > /dev/null 2>"$work/err.txt" &
pid=$!
sleep 1.5
start=$(date +%s%N)
kill -TERM $pid
wait $pid; status=$?
took=$((($(date +%s%N) - start) / 1000000))
kill $feeder 2>/dev/null; wait $feeder 2>/dev/null
if [ $status -eq 143 ] && [ $took -lt 1000 ]; then ok; else bad "status $status after $took ms"; fi
rm -f big.bin big.Q73 half.Q73 feed

case_ "The temporary file of a private file is never readable by others"
make_big private.bin
chmod 600 private.bin
if started private.bin; then
    kill -STOP $pid
    t=$(unfinished)
    mode=$(stat -L -c %a "$t")
    kill -CONT $pid
    # The finished file's mode is checked above; this job need not finish.
    if [ "$mode" != 600 ]; then bad "the temporary file $t has mode $mode"; kill -KILL $pid; wait $pid
    else interrupted TERM 15 && only private.bin && ok; fi
fi
rm -f private.bin

unsettled
echo "passed: $passed, failed: $failed"
[ $failed -eq 0 ]
