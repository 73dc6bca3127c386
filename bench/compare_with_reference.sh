#!/bin/sh
# Compresses many inputs with this build and a reference build; the .Q73 files must be identical
# and each program must expand the other's files to the original.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
ref=${REF_Q73:-/tmp/q73-ref/build/app/q73}
ours=$root/build/app/q73
if [ ! -x "$ref" ]; then
    rm -rf /tmp/q73-ref; git -C "$root" worktree add -f /tmp/q73-ref e489e60
    cmake -S /tmp/q73-ref -B /tmp/q73-ref/build -DCMAKE_BUILD_TYPE=Release -DQ73_BUILD_TESTS=OFF && cmake --build /tmp/q73-ref/build -j2
fi
w=$(mktemp -d); trap 'rm -rf "$w"' EXIT
mkdir "$w/in"
for f in "$root"/../shared/corpus/*; do [ -f "$f" ] && cp "$f" "$w/in/$(basename "$f" | tr . _).dat"; done
cat "$root"/../shared/corpus/* > "$w/in/all.dat" 2>/dev/null || true
head -c 3000000 /dev/urandom > "$w/in/random.dat"
head -c 2000000 /dev/zero > "$w/in/zeros.dat"
for n in 1 2 524287 524288 524289 1048575 1048576 1048577; do head -c $n "$w/in/all.dat" > "$w/in/cut$n.dat"; done
tar cf - /usr/share/doc /usr/include 2>/dev/null | head -c 104857600 > "$w/in/big.dat"
fail=0
for f in "$w"/in/*.dat; do
    b=$(basename "$f" .dat)
    for who in ours ref; do
        mkdir -p "$w/$who"; cp "$f" "$w/$who/$b.dat"
        eval prog=\$$who; "$prog" "$w/$who/$b.dat" >/dev/null; rm "$w/$who/$b.dat"
    done
    if ! cmp -s "$w/ours/$b.Q73" "$w/ref/$b.Q73"; then echo "DIFFERENT: $b"; fail=1; continue; fi
    "$ours" "$w/ref/$b.Q73" >/dev/null; "$ref" "$w/ours/$b.Q73" >/dev/null
    cmp -s "$f" "$w/ref/$b.dat" && cmp -s "$f" "$w/ours/$b.dat" || { echo "EXPAND MISMATCH: $b"; fail=1; }
    rm -f "$w"/ours/* "$w"/ref/*; echo "identical: $b"
done
[ $fail -eq 0 ] && echo "ALL IDENTICAL" || { echo "FAILED"; exit 1; }
