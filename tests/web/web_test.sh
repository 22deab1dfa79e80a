#!/bin/sh
# web_test.sh -- builds the web page beside a Linux build and checks it: the page's engine under Node draws the
# same cells as this build at every frame of the show (20 ms steps), then page_test.js drives the page in
# Debian's Chromium through playwright-core (installed by npm into BUILD/web-test from the committed lock file).
# usage: web_test.sh SOURCE_DIR BUILD_DIR KERV16_RENDER KERV16_CELLSUM   (run from the folder holding data/)
# Exit status 77 (skipped) where emscripten, Chromium, Node or npm is not installed.
set -u
src=$1 build=$2 render=$3 cellsum=$4
data_root=$(pwd)
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
command -v emcmake >/dev/null || skip "emscripten is not installed (sh tools/deps.sh test installs it)"
[ -x /usr/bin/chromium ] || skip "Debian's chromium is not installed (sh tools/deps.sh test installs it)"
command -v node >/dev/null && command -v npm >/dev/null || skip "Node.js and npm are not installed"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
# Debian's emscripten runs its tools under Node with Debian's Node modules.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

web=$build/web
emcmake cmake -S "$src" -B "$web" -DCMAKE_BUILD_TYPE=Release -DKERV_HOST_BUILD="$build" \
    -DKERV_WEB_DATA_DIR="$data_root/data" > "$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "configure"; }
cmake --build "$web" -j2 --target kerv16 kerv16-cellsum > "$work/build.log" 2>&1 || { tail -30 "$work/build.log"; fail "build"; }

# Every frame's cells, this build against the page's engine (Node 18+ has a fetch that emscripten 3.1.6's
# loader mistakes for a browser's).
"$cellsum" > "$work/native.txt" 2> "$work/native.err" || fail "kerv16-cellsum"
node --no-experimental-fetch "$web/kerv16-cellsum.js" > "$work/web.txt" 2> "$work/web.err" || fail "kerv16-cellsum under Node"
if ! cmp -s "$work/native.txt" "$work/web.txt"; then
    diff "$work/native.txt" "$work/web.txt" | head -5
    fail "the page's engine draws other cells than this build ($(diff "$work/native.txt" "$work/web.txt" | grep -c '^<') frames)"
fi
echo "ok   the page's engine draws this build's cells at all $(wc -l < "$work/native.txt") frames of the show (20 ms steps)"
# The drawing's wall-clock time a frame, native and under Node, at about the same load.
native_ms=$(sed -n 's/.* \([0-9.]*\) ms a frame.*/\1/p' "$work/native.err")
node_ms=$(sed -n 's/.* \([0-9.]*\) ms a frame.*/\1/p' "$work/web.err")
[ -n "$native_ms" ] && [ -n "$node_ms" ] || fail "kerv16-cellsum gave no time a frame"
echo "frame cost: native $native_ms ms, the page's engine under Node $node_ms ms (wall clock, drawing only)"

# playwright-core, pinned by the lock file; it never downloads a browser (Debian's is launched).
modules=$build/web-test
if ! cmp -s "$src/tests/web/package-lock.json" "$modules/package-lock.json" || [ ! -d "$modules/node_modules/playwright-core" ]; then
    mkdir -p "$modules" && cp "$src/tests/web/package.json" "$src/tests/web/package-lock.json" "$modules/" &&
    (cd "$modules" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error) ||
        skip "npm could not install playwright-core (offline?)"
fi

mkdir -p "$work/dist"
cp "$web/index.html" "$web/kerv16.js" "$web/kerv16.wasm" "$web/kerv16.data" "$work/dist/" || fail "the page's files"
"$render" --times 20000,40000,97000 --out "$work/ref" > /dev/null || fail "kerv16-render --times"
NODE_PATH="$modules/node_modules" node "$src/tests/web/page_test.js" "$work/dist" "$work/ref" "$native_ms" ${KERV16_WEB_TEST_ARGS:-}
