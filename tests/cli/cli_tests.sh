#!/usr/bin/env bash
# The Linux program as a user runs it: `q73 FILE` in a folder of their own.
# Usage: cli_tests.sh PATH_TO_Q73 CORPUS_DIR
set -u
q73=$(realpath "$1")
corpus=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
current=""

case_() { current="$1"; rm -rf "$work/case"; mkdir "$work/case"; cd "$work/case" || exit 2; }
ok() { passed=$((passed + 1)); echo "ok: $current"; }
bad() { failed=$((failed + 1)); echo "FAILED: $current: $*"; }
# run NAME...: runs q73, keeping stdout, stderr and the exit status.
run() { "$q73" "$@" >out.txt 2>err.txt; status=$?; }
hex() { od -An -v -tx1 "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }
only_files() { # only_files F...: the folder holds exactly these files (and the captures)
    local want got
    want=$(printf '%s\n' "$@" err.txt out.txt | sort | tr '\n' ' ')
    got=$(ls -A | sort | tr '\n' ' ')
    [ "$want" = "$got" ] || { bad "files are [$got], expected [$want]"; return 1; }
}

case_ "An empty file compresses to its header alone and expands back"
: > notes.txt
run notes.txt
if [ $status -eq 0 ] && [ "$(hex notes.Q73)" = "81 74 78 74 00 00 00 00" ]; then
    rm notes.txt; run notes.Q73
    if [ $status -eq 0 ] && [ -f notes.txt ] && [ ! -s notes.txt ]; then ok; else bad "expand status $status"; fi
else bad "status $status, bytes $(hex notes.Q73 2>/dev/null)"; fi

case_ "A one-byte file is stored in the header"
printf 'Z' > single
run single
if [ "$(hex single.Q73)" = "82 5a 01 00 00 00" ]; then
    rm single; run single.Q73
    if [ "$(cat single)" = "Z" ]; then only_files single single.Q73 && ok; else bad "restored '$(cat single)'"; fi
else bad "bytes $(hex single.Q73)"; fi

case_ "Two bytes a b compress to the 24 bytes of their block"
printf 'ab' > notes.txt
run notes.txt
if [ "$(hex notes.Q73)" = "81 74 78 74 02 00 00 00 07 00 00 00 40 00 10 c4 02 31 00 01 00 00 00 80" ]; then ok
else bad "bytes $(hex notes.Q73)"; fi

case_ "Hello compresses to 33 bytes and expands back"
printf 'hello' > notes.txt
run notes.txt
expected="83 68 74 78 74 05 00 00 00 0a 00 00 00 20 00 14 c4 01 b0 81 ec 40 00 01 00 00 00 c0 01 00 00 00 c0"
if [ "$(hex notes.Q73)" = "$expected" ]; then
    rm notes.txt; run notes.Q73
    if [ "$(cat notes.txt)" = "hello" ] && [ $status -eq 0 ]; then ok; else bad "restored '$(cat notes.txt)'"; fi
else bad "bytes $(hex notes.Q73)"; fi

case_ "Every corpus file comes back byte for byte under its restored name"
all=1
for f in "$corpus"/*; do
    name=$(basename "$f")
    cp "$f" "$name"
    run "$name"
    [ $status -eq 0 ] || { all=0; bad "$name: compress status $status"; continue; }
    base=$name; [ "${name: -4:1}" = "." ] && base=${name%????}
    mv "$name" original
    run "$base.Q73"
    if [ $status -ne 0 ] || ! cmp -s original "$name"; then all=0; bad "$name: differs after expansion"; fi
    rm -f original "$name" "$base.Q73"
done
[ $all -eq 1 ] && ok

case_ "The result shows sizes, percent and time on standard output"
head -c 100000 "$corpus/alice29.txt" > a.txt
run a.txt
size=$(stat -c %s a.Q73)
saving=$((100000 - size))
percent=$(awk -v s="$size" 'BEGIN { printf "%.2f", 100 - (s / 100000) * 100 }')
expected_out=$(printf 'Original Size: 97.66 KB   (100000 bytes)\nCompressed Size: %s\nPercent Reduced: %s%%   %s' \
    "$(awk -v s="$size" 'BEGIN { printf "%.2f KB   (%d bytes)", s / 1024, s }')" "$percent" \
    "$(awk -v s="$saving" 'BEGIN { printf "%.2f KB   (%d bytes)", s / 1024, s }')")
if [ "$(head -3 out.txt)" = "$expected_out" ] && grep -qE '^Elapsed Time: [0-9]+\.[0-9]{2} sec\.$' <(sed -n 4p out.txt) \
    && [ "$(cat err.txt)" = "Compressing..." ]; then
    run a.Q73
    if grep -qE '^Elapsed Time: [0-9]+\.[0-9]{2} sec\.$' out.txt && [ "$(wc -l < out.txt)" -eq 1 ] \
        && [ "$(cat err.txt)" = "Expanding..." ]; then ok; else bad "expansion said: $(cat out.txt err.txt)"; fi
else bad "said: $(cat out.txt) / $(cat err.txt)"; fi

case_ "A missing file is reported and nothing is created"
run missing.txt
if [ $status -eq 1 ] && [ "$(cat err.txt)" = "ERROR: Can not find in file" ] && [ ! -s out.txt ]; then only_files && ok
else bad "status $status, said $(cat err.txt)"; fi

case_ "A compressed file that cannot be created is reported"
printf 'data' > x.txt; mkdir x.Q73
run x.txt
if [ $status -eq 1 ] && [ "$(cat err.txt)" = "ERROR: Can't open outfile" ] && [ ! -s out.txt ]; then ok
else bad "status $status, said $(cat err.txt)"; fi

case_ "A missing compressed file is reported"
run gone.q73
if [ $status -eq 1 ] && [ "$(tail -1 err.txt)" = "ERROR: Can't open In file" ]; then only_files && ok
else bad "status $status, said $(cat err.txt)"; fi

case_ "A file that is not compressed is refused and leaves no output"
printf 'plain text' > fake.q73
: > empty.Q73
run fake.q73
first=$status; msg1=$(tail -1 err.txt)
run empty.Q73
if [ $first -eq 1 ] && [ $status -eq 1 ] && [ "$msg1" = "ERROR: File is not compressed with this version of Q73" ] \
    && [ "$(tail -1 err.txt)" = "$msg1" ] && [ "$(head -1 err.txt)" = "Expanding..." ]; then
    only_files fake.q73 empty.Q73 && [ "$(cat fake.q73)" = "plain text" ] && ok
else bad "status $first/$status, said $msg1 / $(cat err.txt)"; fi

case_ "A restored file that cannot be created is reported"
printf 'ab' > r.txt; "$q73" r.txt >/dev/null 2>&1; rm r.txt; mkdir r.txt
run r.Q73
if [ $status -eq 1 ] && [ "$(tail -1 err.txt)" = "ERROR: Can't open outfile" ]; then ok
else bad "status $status, said $(cat err.txt)"; fi

case_ "Existing files are replaced without asking, both ways"
printf 'first' > notes.txt; "$q73" notes.txt >/dev/null 2>&1
printf 'second!' > notes.doc; run notes.doc
rm notes.doc; printf 'stale' > notes.doc
run notes.Q73
if [ $status -eq 0 ] && [ "$(cat notes.doc)" = "second!" ]; then only_files notes.doc notes.txt notes.Q73 && ok
else bad "notes.doc holds '$(cat notes.doc)'"; fi

case_ "No name, or an empty one, shows the about text"
run
first=$status; about=$(cat err.txt)
run ""
if [ $first -eq 0 ] && [ $status -eq 0 ] && [ "$(head -1 err.txt)" = "The Q73 data compression codec" ] \
    && [ "$about" = "$(cat err.txt)" ] && grep -q '^expendable test files\.$' err.txt; then only_files && ok
else bad "status $first/$status, said $(cat err.txt)"; fi

case_ "A name in upper or mixed case of .q73 is expanded"
printf 'abcd' > m.txt; "$q73" m.txt >/dev/null 2>&1; mv m.Q73 m.q73; rm m.txt
run m.q73
if [ $status -eq 0 ] && [ "$(cat m.txt)" = "abcd" ]; then ok; else bad "status $status"; fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
