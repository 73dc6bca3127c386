#!/usr/bin/env bash
# The Linux program in pipes and scripts: standard input and output, the
# options that choose the job and the output, folders, removing the inputs,
# and a folder left as it was when the program is killed outright.
# Usage: script_use_tests.sh PATH_TO_Q73 CORPUS_DIR BUILD_DIR
source "$(dirname "$0")/helpers.sh"

# big FILE COPIES: the corpus, COPIES times (about 2.9 MB each).
big() { local i; for ((i = 0; i < $2; i++)); do cat "$corpus"/*; done > "$1"; }
# listing: every name in the folder below, with its size and time.
listing() { find . -printf '%p %s %T@\n' | sort; }

# ---- standard input and output ---------------------------------------------
case_ "A tar stream goes through q73 - and q73 -d - and lists the same folder, leaving nothing in TMPDIR"
mkdir -p dir/sub spool
cp "$corpus/alice29.txt" dir/; cp "$corpus/kppkn.gtb" dir/sub/
tar cf - dir | TMPDIR="$PWD/spool" "$q73" - 2>err.txt | "$q73" -d - 2>>err.txt | tar tf - > listed
statuses="${PIPESTATUS[*]}"
if [ "$statuses" = "0 0 0 0" ] && [ "$(tar cf - dir | tar tf -)" = "$(cat listed)" ] && [ -z "$(ls -A spool)" ]; then ok
else bad "statuses $statuses, listed $(cat listed), said $(cat err.txt)"; fi

case_ "50 MB through q73 - stays under 16 MB of memory and is the file's compressed bytes, no extension stored"
big whole 18; head -c 50000000 whole > big; rm whole
cat big | /usr/bin/time -f %M -o peak.txt "$q73" - > big.Q73 2>err.txt
peak=$(tail -1 peak.txt)
if "$q73" -c big 2>/dev/null | cmp -s - big.Q73 && "$q73" -dq - < big.Q73 | cmp -s - big \
    && { [ -n "${Q73_SANITIZED:-}" ] || [ "$peak" -lt 16384 ]; }; then ok
else bad "peak $peak KB, said $(cat err.txt)"; fi
rm -f big big.Q73

case_ "A pipe or a device named as the file to compress is refused, leaving nothing; through - it works"
mkfifo pipe_in; head -c 700000 "$corpus/urls.10K" > part
# The writers give up on their own if nobody reads what they offer.
(timeout 10 cat part > pipe_in &)
"$q73" -z pipe_in 2>err.txt; fifo=$? fifo_said=$(tail -1 err.txt)
timeout 10 "$q73" -z /dev/zero -o zero.Q73 2>err.txt; zero=$?
(timeout 10 cat part > pipe_in &)
"$q73" -z -c - < pipe_in 2>/dev/null | "$q73" -dc - 2>/dev/null | cmp -s - part; through=$?
if [ $fifo -eq 1 ] && [ "$fifo_said" = "ERROR: Can't read in file" ] && [ $zero -eq 1 ] && [ $through -eq 0 ] \
    && [ -z "$(ls -A | grep -v -x -e pipe_in -e part -e err.txt)" ]; then ok
else bad "status $fifo/$zero/$through, said $fifo_said / $(cat err.txt)"; fi
rm -f pipe_in part

case_ "A truncated or foreign stream given to q73 -d - is an ERROR, exit 1"
cp "$corpus/alice29.txt" a.txt; "$q73" -q a.txt
head -c 30000 a.Q73 | "$q73" -d - > out.txt 2>err.txt
cut_status=$? cut_said=$(tail -1 err.txt)
printf 'plain words' | "$q73" -d - > out.txt 2>err.txt
foreign=$?
if [ $cut_status -eq 1 ] && [ "$cut_said" = "ERROR: Compressed file is damaged or truncated" ] && [ $foreign -eq 1 ] \
    && [ "$(tail -1 err.txt)" = "ERROR: File is not compressed with this version of Q73" ]; then ok
else bad "status $cut_status/$foreign, said $cut_said / $(cat err.txt)"; fi

# ---- choosing the job and the output ---------------------------------------
case_ "-z and -d take any name: x.q73 gains .Q73, another name needs -o or -c, -dc and -d -o work"
printf 'plain text' > notes.q73
run -z notes.q73
z_status=$status
mv notes.q73 first; "$q73" -q notes.q73.Q73; mv notes.q73.Q73 blob
run -d blob
refused=$status refusal=$(cat err.txt)
dc=$("$q73" -dc blob 2>/dev/null)
run -dq blob -o back
if [ $z_status -eq 0 ] && cmp -s first notes.q73 && [ $refused -eq 1 ] && [ $status -eq 0 ] \
    && [[ "$refusal" == "ERROR: "*"-o"* ]] && [ "$(cat back)" = "plain text" ] && [ "$dc" = "plain text" ]; then
    only_files first notes.q73 blob back && ok
else bad "status $z_status/$refused/$status, said $refusal"; fi

case_ "-o names the output both ways, and -o - is standard output"
printf 'some words' > a.txt
run -o packed a.txt
first=$status
run -d packed -o -
if [ $first -eq 0 ] && [ $status -eq 0 ] && [ "$(cat out.txt)" = "some words" ] \
    && [ "$(head -1 err.txt)" = "Expanding..." ]; then only_files a.txt packed && ok
else bad "status $first/$status, said $(cat err.txt)"; fi

case_ "-r compresses a tree of two levels, skipping links and .q73 files, and -dr --rm brings it back"
mkdir -p tree/sub
cp "$corpus/alice29.txt" tree/a.txt; cp "$corpus/kppkn.gtb" tree/sub/b.gtb; printf 'no ext' > tree/sub/c
printf 'made' > x.txt; "$q73" -q x.txt; mv x.Q73 tree/x.q73; rm x.txt
ln -s a.txt tree/link
cp -a tree orig
run -r --rm tree
r_status=$status r_said=$(cat err.txt)
after=$(cd tree && find . | sort | tr '\n' ' ')
run -dr --rm tree
back=$(cd tree && find . | sort | tr '\n' ' ')
if [ $r_status -eq 0 ] && [[ "$r_said" == *"tree/link: symbolic link, skipped"* ]] \
    && [ "$after" = ". ./a.Q73 ./link ./sub ./sub/b.Q73 ./sub/c.Q73 ./x.q73 " ] && [ $status -eq 0 ] \
    && [ "$back" = ". ./a.txt ./link ./sub ./sub/b.gtb ./sub/c ./x.txt " ] \
    && cmp -s tree/a.txt orig/a.txt && cmp -s tree/sub/b.gtb orig/sub/b.gtb && [ "$(cat tree/x.txt)" = made ]; then ok
else bad "status $r_status/$status, after [$after], back [$back], said $r_said $(cat err.txt)"; fi

case_ "--rm removes an input after success only; -k keeps it"
printf 'hello there' > a.txt; printf 'hello again' > b.txt
run --rm a.txt
first=$status
head -c 20 a.Q73 > cut.Q73
run --rm cut.Q73
cut_status=$status
run -k b.txt
if [ $first -eq 0 ] && [ $cut_status -eq 1 ] && [ $status -eq 0 ]; then only_files a.Q73 cut.Q73 b.txt b.Q73 && ok
else bad "status $first/$cut_status/$status"; fi

case_ "-t says OK for a good file and ERROR for a damaged one, writes nothing, exit 1"
cp "$corpus/alice29.txt" a.txt; "$q73" -q a.txt; rm a.txt
head -c 50000 a.Q73 > cut.Q73
run -t a.Q73 cut.Q73
both=$status said=$(cat err.txt)
run -tq a.Q73
if [ $both -eq 1 ] && [ "$said" = "$(printf 'a.Q73: OK\nERROR: Compressed file is damaged or truncated (cut.Q73)')" ] \
    && [ $status -eq 0 ] && [ ! -s err.txt ] && [ ! -s out.txt ]; then only_files a.Q73 cut.Q73 && ok
else bad "status $both/$status, said $said"; fi

case_ "-l lists three files with their sizes, share saved, restored names and totals"
cp "$corpus/alice29.txt" a.txt; printf 'tiny' > README; : > e.doc
"$q73" -q a.txt README e.doc
run -l a.Q73 README.Q73 e.Q73
a=$(stat -c %s a.Q73) r=$(stat -c %s README.Q73) e=$(stat -c %s e.Q73)
expected=$(printf '%14s %14s %7s  %s\n' compressed uncompressed saved name
    printf '%14s %14s %6.1f%%  %s\n' "$a" 152089 "$(awk -v c="$a" 'BEGIN { print 100 * (1 - c / 152089) }')" a.txt \
        "$r" 4 "$(awk -v c="$r" 'BEGIN { print 100 * (1 - c / 4) }')" README "$e" 0 0 e.doc \
        $((a + r + e)) 152093 "$(awk -v c=$((a + r + e)) 'BEGIN { print 100 * (1 - c / 152093) }')" "(totals)")
list_status=$status listed=$(cat out.txt)
run -l a.txt
if [ $list_status -eq 0 ] && [ "$listed" = "$expected" ] && [ $status -eq 1 ] \
    && [ "$(cat err.txt)" = "ERROR: File is not compressed with this version of Q73" ]; then ok
else bad "status $list_status/$status, listed:
$listed
expected:
$expected"; fi

case_ "Levels and threads change nothing: -9, --best and -T 1 give the bytes of no option"
cp "$corpus/lcet10.txt" a.txt
"$q73" -q a.txt; mv a.Q73 plain.Q73
"$q73" -q9 a.txt; nine=$?; cmp -s a.Q73 plain.Q73; same_nine=$?
run --best --threads=1 -T 1 a.txt
if [ $nine -eq 0 ] && [ $same_nine -eq 0 ] && [ $status -eq 0 ] && cmp -s a.Q73 plain.Q73; then ok
else bad "status $nine/$status"; fi

case_ "Options that mean nothing together are usage errors, and nothing is done"
printf 'x' > a.txt; printf 'y' > b.txt
run -o out a.txt b.txt
first=$status
run -z -d a.txt
if [ $first -eq 2 ] && [ $status -eq 2 ] && grep -q "^q73: " err.txt; then only_files a.txt b.txt && ok
else bad "status $first/$status, said $(cat err.txt)"; fi

# ---- killed outright ---------------------------------------------------------
# killed_during ARG...: starts q73, waits until its unfinished output (a file
# with no name, or a temporary one) holds a few MB, kills it with SIGKILL and checks that it was still running then.
killed_during() {
    "$q73" -q "$@" 2>/dev/null &
    local pid=$! tries=0 fd output
    while ((tries++ < 400)); do
        for fd in /proc/$pid/fd/*; do
            output=$(readlink "$fd" 2>/dev/null)
            if [[ "$output" == "$PWD/#"*" (deleted)" || "$output" == "$PWD/.q73-"*".tmp" ]] \
                && [ "$(stat -L -c %s "$fd" 2>/dev/null || echo 0)" -gt 4000000 ]; then
                kill -KILL $pid; { wait $pid; } 2>/dev/null; [ $? -eq 137 ]; return
            fi
        done
        sleep 0.02
    done
    wait $pid
    return 1
}

case_ "kill -9 in the middle of a 100 MB compression and of its expansion leaves the folder as it was"
big big.bin 35
"$q73" -q big.bin
before=$(listing)
killed_during big.bin; compress_killed=$?
compress_after=$(listing)
killed_during big.Q73; expand_killed=$?
if [ $compress_killed -eq 0 ] && [ $expand_killed -eq 0 ] && [ "$compress_after" = "$before" ] \
    && [ "$(listing)" = "$before" ]; then ok
else bad "killed $compress_killed/$expand_killed, folder $(ls -A)"; fi
rm -f big.bin big.Q73

# ---- install -----------------------------------------------------------------
case_ "unq73 and q73cat, installed as links to q73, expand and expand to standard output"
printf 'linked' > a.txt; "$q73" -q a.txt; mv a.txt orig
if [ -z "$build" ] || ! cmake --install "$build" --prefix "$PWD/prefix" >/dev/null 2>install.txt; then
    bad "install failed: $(cat install.txt 2>/dev/null)"
else
    prefix/bin/q73cat a.Q73 > out.txt 2>err.txt; cat_status=$?
    prefix/bin/unq73 -q a.Q73; un_status=$?
    if [ -L prefix/bin/unq73 ] && [ -L prefix/bin/q73cat ] && [ $cat_status -eq 0 ] && [ $un_status -eq 0 ] \
        && [ "$(cat out.txt)" = linked ] && cmp -s a.txt orig; then ok
    else bad "status $cat_status/$un_status, said $(cat err.txt)"; fi
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
