#!/usr/bin/env bash
# Builds the Linux program if needed and runs it on the given file:
#   scripts/q73.sh FILE
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/install-deps.sh" build >&2
if [ ! -x "$top/build/release/app/q73" ]; then
    cmake -S "$top" -B "$top/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$top/build/release" -j2 --target q73 >/dev/null
exec "$top/build/release/app/q73" "$@"
