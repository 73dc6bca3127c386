#!/usr/bin/env bash
# The Linux program as a user runs it: `q73 FILE` in a folder of their own.
# Usage: cli_tests.sh PATH_TO_Q73 CORPUS_DIR BUILD_DIR
# (BUILD_DIR, the build that made q73, for the install step)
source "$(dirname "$0")/helpers.sh"

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

# ---- options ------------------------------------------------------------
# on_terminal COMMAND: runs the shell command with a pseudo-terminal as its
# standard input, output and error; what the terminal showed goes to tty.txt.
on_terminal() { script -qec "$1" /dev/null > tty.txt 2>&1; status=$?; }
q=$(printf '%q' "$q73")

case_ "--help and -h print the usage on standard output and exit 0"
run --help
long_status=$status; long=$(cat out.txt); long_err=$(cat err.txt)
run -h
if [ $long_status -eq 0 ] && [ $status -eq 0 ] && [ "$(head -1 out.txt)" = "Usage: q73 [OPTION]... [FILE]..." ] \
    && [ "$long" = "$(cat out.txt)" ] && grep -q -- '--stdout' out.txt && [ -z "$long_err" ] && [ ! -s err.txt ]; then
    only_files && ok
else bad "status $long_status/$status, said $(cat out.txt err.txt)"; fi

case_ "--version and -V print one line with the name and version and exit 0"
run --version
long_status=$status; long=$(cat out.txt)
run -V
if [ $long_status -eq 0 ] && [ $status -eq 0 ] && [ "$(wc -l < out.txt)" -eq 1 ] \
    && grep -qE '^q73 [0-9]+\.[0-9]+' out.txt && [ "$long" = "$(cat out.txt)" ] && [ ! -s err.txt ]; then ok
else bad "status $long_status/$status, said $(cat out.txt err.txt)"; fi

case_ "An unknown option is a usage error: exit 2, a message on standard error, nothing created"
printf 'data' > a.txt
run --bogus a.txt
long_status=$status; long_err=$(cat err.txt)
run a.txt -x
if [ $long_status -eq 2 ] && [ $status -eq 2 ] && [[ "$long_err" == *"'--bogus'"* ]] \
    && grep -q "'x'" err.txt && [ ! -s out.txt ]; then only_files a.txt && ok
else bad "status $long_status/$status, said $long_err / $(cat err.txt)"; fi

case_ "-- lets a name that begins with a minus sign through"
printf 'odd one' > -odd.txt
run -- -odd.txt
first=$status
rm -- -odd.txt
run -- -odd.Q73
if [ $first -eq 0 ] && [ $status -eq 0 ] && [ "$(cat -- -odd.txt)" = "odd one" ]; then ok
else bad "status $first/$status, said $(cat err.txt)"; fi

case_ "Three files in one call are all done, in order"
head -c 5000 "$corpus/alice29.txt" > a.txt; printf 'bee' > b.txt; head -c 7000 "$corpus/kppkn.gtb" > c.gtb
cp a.txt a.orig; cp b.txt b.orig; cp c.gtb c.orig
run a.txt b.txt c.gtb
first=$status
sizes=$(grep '^Original Size' out.txt | sed 's/.*(\([0-9]*\) bytes)/\1/; s/^Original Size: //' | tr '\n' ' ')
said=$(cat err.txt | tr '\n' ' ')
rm a.txt b.txt c.gtb
run c.Q73 a.Q73 b.Q73
if [ $first -eq 0 ] && [ "$sizes" = "5000 3 bytes 7000 " ] && [ "$said" = "Compressing... Compressing... Compressing... " ] \
    && [ $status -eq 0 ] && [ "$(grep -c '^Elapsed Time' out.txt)" -eq 3 ] \
    && cmp -s a.txt a.orig && cmp -s b.txt b.orig && cmp -s c.gtb c.orig; then ok
else bad "status $first/$status, sizes [$sizes], said [$said] $(cat err.txt)"; fi

case_ "A missing file among three: the other two are done, one ERROR line, exit 1"
printf 'first' > a.txt; printf 'third' > c.txt
run a.txt missing.txt c.txt
if [ $status -eq 1 ] && [ "$(grep -c '^ERROR: ' err.txt)" -eq 1 ] && grep -qx 'ERROR: Can not find in file (missing.txt)' err.txt \
    && [ "$(grep -c '^Original Size' out.txt)" -eq 2 ] && [ -s a.Q73 ] && [ -s c.Q73 ]; then
    only_files a.txt a.Q73 c.txt c.Q73 && ok
else bad "status $status, said $(cat err.txt)"; fi

case_ "-c expands to standard output with the exact bytes and creates no file"
cp "$corpus/lcet10.txt" book.txt; "$q73" book.txt >/dev/null 2>&1; rm book.txt
run -c book.Q73
if [ $status -eq 0 ] && cmp -s out.txt "$corpus/lcet10.txt" && [ "$(head -1 err.txt)" = "Expanding..." ] \
    && grep -qE '^Elapsed Time: ' err.txt; then only_files book.Q73 && ok
else bad "status $status, said $(cat err.txt)"; fi

case_ "-c compresses to standard output exactly the bytes of the .Q73 file, and says its size on standard error"
cp "$corpus/paper-100k.pdf" paper.pdf
# Through a pipe, which cannot tell its length by seeking.
"$q73" -c paper.pdf 2>err.txt | cat > stream.bin
first=${PIPESTATUS[0]}; said=$(cat err.txt)
if [ -e paper.Q73 ]; then bad "paper.Q73 was created"
else
    run paper.pdf
    size=$(stat -c %s paper.Q73)
    if [ $first -eq 0 ] && [ $status -eq 0 ] && cmp -s stream.bin paper.Q73 \
        && [[ "$said" == *"Compressed Size: "*"($size bytes)"* ]] && [ "$(head -1 <<<"$said")" = "Compressing..." ]; then ok
    else bad "status $first/$status, stream of $(stat -c %s stream.bin) bytes, file of $size, said $said"; fi
fi

case_ "-c with several files writes their results one after the other"
printf 'one\n' > a.txt; printf 'two\n' > b.txt
"$q73" a.txt b.txt >/dev/null 2>&1; rm a.txt b.txt
run -c a.Q73 b.Q73
if [ $status -eq 0 ] && [ "$(cat out.txt)" = "$(printf 'one\ntwo')" ]; then only_files a.Q73 b.Q73 && ok
else bad "status $status, wrote $(cat out.txt)"; fi

case_ "-c refuses to write compressed data to a terminal, and writes nothing"
printf 'data' > a.txt
on_terminal "$q -c a.txt b.txt"
if [ $status -eq 1 ] && grep -q '^ERROR: .*terminal' tty.txt && [ "$(grep -c . tty.txt)" -eq 1 ]; then
    rm tty.txt; touch out.txt err.txt; only_files a.txt && ok
else bad "status $status, terminal showed $(cat tty.txt)"; fi

case_ "-c refuses standard output that is the file being read, and leaves it alone"
printf 'keep me' > a.txt
"$q73" -c a.txt >> a.txt 2>err.txt
status=$?
if [ $status -eq 1 ] && grep -q '^ERROR: ' err.txt && [ "$(cat a.txt)" = "keep me" ]; then ok
else bad "status $status, a.txt holds $(od -c a.txt | head -2), said $(cat err.txt)"; fi

case_ "A closed pipe behind -c ends the job without a message or a file"
cat "$corpus"/* > all.bin; "$q73" all.bin >/dev/null 2>&1; rm all.bin
"$q73" -c all.Q73 2>err.txt | head -c 10 > out.txt
status=${PIPESTATUS[0]}
# Killed by SIGPIPE (128 + 13), as programs in a pipe are.
if [ $status -eq 141 ] && [ "$(cat err.txt)" = "Expanding..." ] && [ "$(stat -c %s out.txt)" -eq 10 ]; then
    only_files all.Q73 && ok
else bad "status $status, said $(cat err.txt)"; fi

case_ "A closed pipe behind -c with SIGPIPE ignored is an ERROR, exit 1"
cat "$corpus"/* > all.bin; "$q73" all.bin >/dev/null 2>&1; rm all.bin
(trap '' PIPE; "$q73" -c all.Q73 2>err.txt | head -c 10 > out.txt; exit "${PIPESTATUS[0]}")
status=$?
if [ $status -eq 1 ] && [ "$(tail -1 err.txt)" = "ERROR: Can't write outfile (is the disk full?)" ]; then
    only_files all.Q73 && ok
else bad "status $status, said $(cat err.txt)"; fi

case_ "-q prints nothing on success, both ways"
cp "$corpus/alice29.txt" a.txt
run -q a.txt
first=$status; said=$(cat out.txt err.txt)
rm a.txt
run a.Q73 --quiet
if [ $first -eq 0 ] && [ -z "$said" ] && [ $status -eq 0 ] && [ ! -s out.txt ] && [ ! -s err.txt ] \
    && cmp -s a.txt "$corpus/alice29.txt"; then ok
else bad "status $first/$status, said $said $(cat out.txt err.txt)"; fi

case_ "-q still prints errors, and with no file prints nothing"
run -q missing.txt
first=$status; said=$(cat err.txt)
run -q
if [ $first -eq 1 ] && [ "$said" = "ERROR: Can not find in file" ] && [ $status -eq 0 ] \
    && [ ! -s out.txt ] && [ ! -s err.txt ]; then only_files && ok
else bad "status $first/$status, said $said / $(cat err.txt)"; fi

# ---- progress -------------------------------------------------------------
# About 100 MB of real data.  Its compressed bytes go through a pipe
# that is read only after a while, so the job lasts past the first second
# however fast the machine is.
case_ "A long job on a terminal shows its progress below 100% and clears it at the end"
for i in $(seq 35); do cat "$corpus"/*; done > big.bin
big_size=$(stat -c %s big.bin)
on_terminal "$q -c big.bin | (sleep 1.5; cat > /dev/null)"
percents=$(tr '\r' '\n' < tty.txt | grep -oE '^ *[0-9]+%' | tr -d ' %' | tr '\n' ' ')
below=0
for p in $percents; do [ "$p" -lt 100 ] && below=1; done
if [ $status -eq 0 ] && [ $below -eq 1 ] && grep -qE '[0-9.]+ [KMG]?B of [0-9]+\.[0-9] MB +[0-9.]+ [KMG]?B/s' tty.txt \
    && grep -qF $'\r\e[KOriginal Size: ' tty.txt && grep -qF "($big_size bytes)" tty.txt; then ok
else bad "status $status, percents [$percents], terminal showed $(head -c 300 tty.txt | od -c | head -5)"; fi

case_ "The same job with standard error in a file shows no progress"
for i in $(seq 35); do cat "$corpus"/*; done > big.bin
on_terminal "$q -c big.bin 2>err.txt | (sleep 1.5; cat > /dev/null)"
if [ $status -eq 0 ] && [ "$(head -1 err.txt)" = "Compressing..." ] && ! grep -q $'\r' err.txt \
    && ! grep -qE '^ *[0-9]+%' err.txt && [ "$(wc -l < err.txt)" -eq 5 ] && [ ! -s tty.txt ]; then ok
else bad "status $status, said $(head -c 300 err.txt | od -c | head -5)"; fi
rm -f big.bin

# ---- install ----------------------------------------------------------------
case_ "cmake --install puts bin/q73 and its manual page in the prefix, and the page renders without warnings"
if ! command -v man >/dev/null || ! command -v groff >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends man-db groff-base >/dev/null 2>&1
fi
if [ -z "$build" ]; then bad "no build folder given"
elif cmake --install "$build" --prefix "$work/case/prefix" >/dev/null 2>install.txt; then
    page=prefix/share/man/man1/q73.1
    MANWIDTH=80 man --warnings -l "$page" > page.txt 2> warnings.txt
    man_status=$?
    if [ -x prefix/bin/q73 ] && [ "$(prefix/bin/q73 -V)" = "$("$q73" -V)" ] && [ $man_status -eq 0 ] \
        && [ ! -s warnings.txt ] && grep -q 'EXIT STATUS' page.txt && grep -q -- '--stdout' page.txt \
        && grep -q '2 GiB' page.txt; then ok
    else bad "man status $man_status, warnings: $(cat warnings.txt)"; fi
else bad "install failed: $(cat install.txt)"; fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
