#!/bin/sh
# wine_text.sh -- output that is not a console: kerv16.exe > file writes the frames the Linux build
# writes into a file, byte for byte (a picture's still, then the show's first moments; the first
# frame, the picture, is compared), and says so in --stats.
# usage: wine_text.sh WINE_SH PREFIX kerv16.exe LINUX_KERV16 (in the folder holding data/)
set -u
WINE_SH=$1 PREFIX=$2 EXE=$3 NATIVE=$4
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL: $*"; echo "--- standard error:"; cat "$T/err" 2>/dev/null; exit 1; }

# The same terminal described to both; nothing to read keys from, so the still stays its while.
export TERM=xterm-256color COLORTERM=truecolor LC_ALL=C.UTF-8
unset KERV16_COLOURS KERV16_CONSOLE TMUX STY WT_SESSION
"$NATIVE" data/info1.tga --until 200 > "$T/linux" 2> "$T/err" < /dev/null || fail "the Linux build failed"
sh "$WINE_SH" "$PREFIX" "$EXE" data/info1.tga --until 200 --stats > "$T/windows" 2> "$T/err" < /dev/null ||
    fail "the Windows build failed"
grep -q "output is a file or a pipe" "$T/err" || fail "--stats does not say the output is a file"

# The first frame ends where its synchronized update ends.
first() { python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); i=d.find(b"\x1b[?2026l"); sys.stdout.buffer.write(d[:i+8] if i>=0 else b"")' "$1"; }
first "$T/linux" > "$T/linux.1"
first "$T/windows" > "$T/windows.1"
[ -s "$T/linux.1" ] || fail "no frame from the Linux build"
[ -s "$T/windows.1" ] || fail "no frame from the Windows build ($(wc -c < "$T/windows") bytes in all)"
cmp -s "$T/linux.1" "$T/windows.1" || fail "the first frames differ: $(cmp "$T/linux.1" "$T/windows.1")"
echo "ok: the picture's frame is the same $(wc -c < "$T/linux.1") bytes from both builds"
