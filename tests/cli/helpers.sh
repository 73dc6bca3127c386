# What the scripts that run q73 as a user share: arguments, a work folder
# removed at the end, one folder per case, and the checks.
# Sourced with: PATH_TO_Q73 CORPUS_DIR BUILD_DIR
set -u
q73=$(realpath "$1")
corpus=$(realpath "$2")
build=$(realpath "${3:-}")
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
