# Counted checks for a test script; source it.
#
#   pass NAME / fail NAME     one check's result, counted in passed / failed
#   die MESSAGE               a failure that ends the run
#   check NAME COMMAND...     passes when the command succeeds
passed=0
failed=0
pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1"; failed=$((failed + 1)); }
die() { echo "FAIL: $1"; exit 1; }
check() { local name=$1; shift; if "$@"; then pass "$name"; else fail "$name"; fi; }
