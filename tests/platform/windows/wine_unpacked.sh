#!/bin/sh
# wine_unpacked.sh -- the Windows zip unpacked into a fresh folder plays when started from another
# working directory: data\ is found beside kerv16.exe and a picture named relative to where it was
# started still loads; without data\ beside it the show names the folders it looked in and fails.
# usage: wine_unpacked.sh WINE_SH PREFIX kerv16.exe DATA_DIR PACKAGE_SH
set -u
WINE_SH=$1 PREFIX=$2 EXE=$3 DATA=$4 PACKAGE=$5
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*"; echo "--- standard error:"; cat "$T/err" 2>/dev/null; exit 1; }

command -v unzip >/dev/null || fail "unzip is not installed"
sh "$PACKAGE" "$EXE" "$DATA" "$T/kerv16.zip" >/dev/null || fail "package.sh failed"
mkdir "$T/unpacked" "$T/elsewhere"
(cd "$T/unpacked" && unzip -q ../kerv16.zip) || fail "the zip does not unpack"
for f in kerv16.exe README.txt data/charmap.lut data/sync_scene.track "data/Dremovant - Embers-mastered.mp3"; do
    [ -s "$T/unpacked/kerv16/$f" ] || fail "the zip lacks kerv16/$f"
done
grep -q "$(printf '\r')$" "$T/unpacked/kerv16/README.txt" || fail "README.txt lacks CR LF line ends"

# A 1 x 1 true-colour TGA in the starting folder, named relative to it.
printf '\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\30\0\0\0\377' > "$T/elsewhere/dot.tga"
cd "$T/elsewhere"
sh "$WINE_SH" "$PREFIX" "$T/unpacked/kerv16/kerv16.exe" --headless --until 1000 --stats dot.tga 2> "$T/err"
status=$?
[ $status = 0 ] || fail "status $status from $T/elsewhere"
grep -q "frames in" "$T/err" || fail "no --stats line"
grep -qi "dot.tga" "$T/err" && fail "the picture was not found after the move to data's folder"
grep -q "no data/ folder" "$T/err" && fail "data\\ beside kerv16.exe was not found"

# The executable alone: nothing to find, and the message says where it looked.
cp "$T/unpacked/kerv16/kerv16.exe" "$T/alone.exe"
sh "$WINE_SH" "$PREFIX" "$T/alone.exe" --headless --until 1000 2> "$T/err"
status=$?
[ $status != 0 ] || fail "the show without data\\ ended with status 0"
grep -q "no data/ folder" "$T/err" || fail "no message naming the folders looked in"
grep -qF '\..\share\kerv16' "$T/err" || fail "the folders looked in are not written as Windows writes them"
echo "ok: played from $T/elsewhere with data\\ beside kerv16.exe; without it: status $status"
