#!/bin/sh
# run.sh BUILD_DIR -- the quality benchmark: makes the test pictures (again whenever pictures.sh
# changed), then scores every conversion. The drawings of every method land in BUILD_DIR/quality/out.
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
pictures=$build/quality/pictures
if [ ! -f "$pictures/.made" ] || [ "$here/pictures.sh" -nt "$pictures/.made" ]; then
  rm -rf "$pictures"
  sh "$here/pictures.sh" "$pictures"
  touch "$pictures/.made"
fi
mkdir -p "$build/quality/out"
cd "$build"
./tools/quality/kerv16-quality --out "$build/quality/out" "$pictures"/*.png | tee "$build/quality/scores.txt"
