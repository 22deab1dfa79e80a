#!/bin/sh
# run.sh BUILD_DIR -- the quality benchmark: makes the test pictures once, then scores every conversion.
# The drawings of every method land in BUILD_DIR/quality/out for looking at.
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
pictures=$build/quality/pictures
[ -f "$pictures/hue_wheel.png" ] || sh "$here/pictures.sh" "$pictures"
mkdir -p "$build/quality/out"
cd "$build"
./tools/quality/kerv16-quality --out "$build/quality/out" "$pictures"/*.png | tee "$build/quality/scores.txt"
