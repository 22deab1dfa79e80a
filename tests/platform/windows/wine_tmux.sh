#!/bin/sh
# wine_tmux.sh -- end to end under Wine: the show in an 80 x 50 tmux pane draws code page 437 cells
# and Ctrl+C ends it as Escape would, with status 0 (interrupt); the same through virtual-terminal
# sequences, as in Windows Terminal (vt: the terminal display's layouts); --headless --until 20000
# ends with status 0 (headless). Escape itself is tested in Wine's console window (wine_window.sh).
# usage: wine_tmux.sh WINE_SH PREFIX kerv16.exe interrupt|vt|headless   (run from the folder holding data/)
set -u
WINE_SH=$1
PREFIX=$2
SHOW=$3
HOW=$4

if [ "$HOW" = headless ]; then
    out=$(sh "$WINE_SH" "$PREFIX" "$SHOW" --headless --until 20000 --stats 2>&1)
    status=$?
    [ $status = 0 ] || { echo "FAIL (headless): status $status"; echo "$out"; exit 1; }
    echo "$out" | grep -q "frames in" || { echo "FAIL (headless): no --stats line"; echo "$out"; exit 1; }
    echo "ok (headless): $out"
    exit 0
fi

command -v tmux >/dev/null || { echo "tmux is not installed (sh tools/deps.sh windows)"; exit 1; }
T=$(mktemp -d)
SOCK="kerv16-wine-$$"
cleanup() { tmux -L "$SOCK" kill-server 2>/dev/null; rm -rf "$T"; }
trap cleanup EXIT INT TERM
fail() { echo "FAIL ($HOW): $*"; echo "--- pane:"; tmux -L "$SOCK" capture-pane -p -t e2e 2>/dev/null | head -60;
         echo "--- standard error:"; cat "$T/stderr" 2>/dev/null; exit 1; }

# bash, not sh: Ctrl+C reaches the pane's shell too, and only bash goes on when its child handled it.
ARGS=""
[ "$HOW" = vt ] && ARGS="--console vt --stats"
cat > "$T/pane.sh" <<'PANE'
sh "$WINE_SH" "$PREFIX" "$SHOW" $ARGS 2> "$T/stderr"
echo $? > "$T/status"
exec sleep 600
PANE
tmux -u -L "$SOCK" -f /dev/null new-session -d -x 80 -y 50 -s e2e \
    "env T='$T' WINE_SH='$WINE_SH' PREFIX='$PREFIX' SHOW='$SHOW' ARGS='$ARGS' LC_ALL=C.UTF-8 bash '$T/pane.sh'" ||
    fail "tmux did not start"

# Frames show as the glyphs of code page 437 (shade and block characters, dots), many per pane.
glyphs() {
    tmux -L "$SOCK" capture-pane -p -t e2e | python3 -c '
import sys
text = sys.stdin.buffer.read().decode("utf-8", "replace")
print(sum(text.count(c) for c in "\u2591\u2592\u2593\u2588\u2580\u2584\u258c\u2590\u00b7\u2219\u2022"))'
}
i=0
seen=0
while [ $i -lt 300 ]; do
    i=$((i + 1))
    sleep 0.1
    [ -s "$T/status" ] && fail "the show ended by itself: status $(cat "$T/status")"
    n=$(glyphs)
    if [ "$n" -ge 200 ]; then seen=1; break; fi
done
[ $seen = 1 ] || fail "no code page 437 cells in the pane (glyphs: ${n:-0})"
sleep 1
# The terminal turns Ctrl+C into SIGINT, which Wine hands to the console's control handler.
tmux -L "$SOCK" send-keys -t e2e C-c
i=0
while [ ! -s "$T/status" ] && [ $i -lt 150 ]; do i=$((i + 1)); sleep 0.1; done
[ -s "$T/status" ] || fail "Ctrl+C did not end the show"
status=$(cat "$T/status")
[ "$status" = 0 ] || fail "exit status $status, expected 0"
if [ "$HOW" = vt ]; then
    grep -q "^kerv16: layout.*(as asked)" "$T/stderr" || fail "--stats does not name the terminal display's layout"
fi
echo "ok ($HOW): $n glyphs seen, status 0"
