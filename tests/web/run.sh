#!/usr/bin/env bash
# Runs the tests of the web build (scripts/web.sh makes it first):
#  - the package q73 as packed by npm, installed into a fresh folder and used
#    by programs that import it (node --test module.test.mjs);
#  - the page opened from disk in headless Chromium (page_test.py).
# Both compare with the native program: Q73_NATIVE, else build/release's,
# else one built here in build/web-native.  Real files: ../shared/corpus,
# or Q73_CORPUS.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
corpus=${Q73_CORPUS:-$root/../shared/corpus}
corpus=$(cd "$corpus" && pwd)

native=${Q73_NATIVE:-}
if [ -z "$native" ]; then
    if [ -x build/release/app/q73 ]; then
        native=$root/build/release/app/q73
    else
        cmake -S . -B build/web-native -DCMAKE_BUILD_TYPE=Release -DQ73_BUILD_TESTS=OFF >/dev/null
        cmake --build build/web-native --target q73 -j2 >/dev/null
        native=$root/build/web-native/app/q73
    fi
fi

package=$(ls build/web/q73-*.tgz)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "== the package $(basename "$package"), installed in a fresh folder"
(cd "$work" && npm init -y >/dev/null && npm install --silent --no-audit --no-fund "$root/$package")
cp tests/web/module.test.mjs tests/web/stream_memory.mjs "$work"/
(cd "$work" && Q73_NATIVE=$native Q73_CORPUS=$corpus node --test)

echo "== the page in headless Chromium"
/usr/bin/python3 tests/web/page_test.py build/web/q73.html "$native" "$corpus"
