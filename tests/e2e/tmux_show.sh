#!/bin/sh
# tmux_show.sh -- end to end: the show in an 80 x 50 tmux pane, ended by Escape or SIGTERM;
# the pane must have shown a full grid and come back on the normal screen with the cursor and
# the same terminal settings as before. "storm" first sends a storm of terminal input that holds no
# lone Escape (replies, mouse reports, focus events, pastes, Alt+keys, random sequences, garbage) and
# 1000 resize signals in a second: the show must draw on through it, and one Escape then end it.
# "suspend" stops the show with Ctrl+Z, widens the window to 160 x 50 while the shell has the terminal
# and brings it back with fg: it must fill the new width.
# usage: tmux_show.sh path/to/kerv16 escape|sigterm|storm|suspend   (run from the folder holding data/)
set -u
SHOW=$1
HOW=$2
command -v tmux >/dev/null || { echo "tmux is not installed (make deps)"; exit 1; }

T=$(mktemp -d)
SOCK="kerv16-e2e-$$"
cleanup() { tmux -L "$SOCK" kill-server 2>/dev/null; rm -rf "$T"; }
trap cleanup EXIT INT TERM
fail() { echo "FAIL ($HOW): $*"; echo "--- pane:"; tmux -L "$SOCK" capture-pane -p -t e2e 2>/dev/null | head -60;
         echo "--- show's standard error:"; cat "$T/stderr" 2>/dev/null; exit 1; }
pane() { tmux -L "$SOCK" display -p -t e2e "$1"; }

# The pane runs a small script: settings before, the show (its own pid recorded), its status, settings after.
# To suspend, the script has job control, as a shell at a prompt does, and waits for the go to fg.
cat > "$T/pane.sh" <<'PANE'
stty -a > "$T/before"
[ "$HOW" = suspend ] && set -m
sh -c 'echo $$ > "$1/pid"; exec "$2" --stats' sh "$T" "$SHOW" 2> "$T/stderr"
status=$?
if [ "$HOW" = suspend ]; then
    while [ ! -e "$T/go" ]; do sleep 0.1; done
    fg > /dev/null
    status=$?
fi
echo $status > "$T/status"
stty -a > "$T/after"
exec sleep 600
PANE

colours=""
[ "$HOW" = sigterm ] && colours="COLORTERM=truecolor"
shell=sh
[ "$HOW" = suspend ] && shell=bash   # job control in a script
tmux -u -L "$SOCK" -f /dev/null new-session -d -x 80 -y 50 -s e2e \
    "env T='$T' SHOW='$SHOW' HOW='$HOW' LC_ALL=C.UTF-8 $colours $shell '$T/pane.sh'" || fail "tmux did not start"

# Rows of the pane with all WIDTH (80) cells written (-N keeps written trailing blanks, drops untouched cells).
full_rows() {
    tmux -L "$SOCK" capture-pane -p -e -N -t e2e | python3 -c '
import re, sys
rows = sys.stdin.buffer.read().decode("utf-8", "replace").split("\n")
print(sum(len(re.sub("\x1b\\[[0-9;]*m", "", r)) == int(sys.argv[1]) for r in rows[:50]))' "${1:-80}"
}

# Wait for frames: the alternate screen, a hidden cursor and all 50 rows of 80 coloured cells.
full=0
i=0
while [ $i -lt 200 ]; do
    i=$((i + 1))
    sleep 0.1
    [ -s "$T/status" ] && fail "the show ended by itself: status $(cat "$T/status")"
    [ "$(pane '#{alternate_on}')" = 1 ] || continue
    [ "$(pane '#{cursor_flag}')" = 0 ] || continue
    rows=$(full_rows)
    if [ "$rows" -ge 50 ]; then full=1; break; fi
done
[ $full = 1 ] || fail "no full 80 x 50 grid on the alternate screen (full rows: ${rows:-0})"
sleep 1   # let it run a while

# The storm: batches of whole items, none ending in Escape, sent as raw bytes while resize signals fly.
storm() {
    python3 - "$SOCK" <<'PY' &
import random, subprocess, sys, time
sock = sys.argv[1]
rnd = random.Random(16)
signals = {0x03, 0x1A, 0x1C}   # Ctrl+C, Ctrl+Z and Ctrl+\ are signals of the terminal, not input
def garbage(n):
    return bytes(b for b in (rnd.randrange(256) for _ in range(n)) if b != 0x1B and b not in signals)
def sequence():
    body = bytes(rnd.choice(b"0123456789;:<=>?!\"$ ") for _ in range(rnd.randrange(0, 12)))
    return b"\x1b[" + body + bytes([rnd.randrange(0x40, 0x7F)])
items = [
    lambda: b"\x1b[?64;1;2;4;6;9;15;18;21;22c", lambda: b"\x1b[6;17;8t", lambda: b"\x1b[4;408;640t",
    lambda: b"\x1b[?2;0;1000;1000S", lambda: b"\x1b_Gi=31;OK\x1b\\", lambda: b"\x1b]11;rgb:0000/0000/0000\x07",
    lambda: b"\x1bP1$r0m\x1b\\", lambda: b"\x1b[12;40R",
    lambda: b"\x1b[<0;%d;%dM" % (rnd.randrange(1, 200), rnd.randrange(1, 60)), lambda: b"\x1b[<0;5;5m",
    lambda: b"\x1b[M" + bytes(rnd.randrange(32, 255) for _ in range(3)), lambda: b"\x1b[I", lambda: b"\x1b[O",
    lambda: b"\x1b[200~" + garbage(rnd.randrange(1, 300)).replace(b"\x1b", b"") + b"\x1b[201~",
    lambda: b"\x1b" + bytes([rnd.randrange(0x20, 0x7F)]), lambda: b"\x1b\r", lambda: b"\x1b\x1b[1;3D",
    lambda: b"\x1b[1;5C", lambda: b"\x1bO" + bytes([rnd.randrange(0x40, 0x7F)]), sequence,
    lambda: garbage(rnd.randrange(1, 40)),
]
end = time.time() + 3
while time.time() < end:
    batch = b""
    while len(batch) < 400:
        batch += rnd.choice(items)()
    subprocess.run(["tmux", "-L", sock, "send-keys", "-t", "e2e", "-H"] + ["%02x" % b for b in batch], check=True)
PY
    storm_pid=$!
    pid=$(cat "$T/pid")
    i=0
    while [ $i -lt 1000 ]; do kill -WINCH "$pid" 2>/dev/null; i=$((i + 1)); done
    first=$(tmux -L "$SOCK" capture-pane -p -e -t e2e | md5sum)
    wait $storm_pid || fail "the storm could not be sent"
    [ -s "$T/status" ] && fail "the storm ended the show: status $(cat "$T/status")"
    [ "$(tmux -L "$SOCK" capture-pane -p -e -t e2e | md5sum)" != "$first" ] || fail "the picture stood still in the storm"
    sleep 1.2   # whatever the storm left unfinished is dropped by now
    [ -s "$T/status" ] && fail "the storm ended the show: status $(cat "$T/status")"
}

# Ctrl+Z, a wider window while the show is stopped (so it gets no resize signal), fg: the show must read
# the size again and fill all 160 columns.
suspend() {
    tmux -L "$SOCK" send-keys -t e2e C-z
    i=0
    while [ "$(pane '#{alternate_on}')" = 1 ] && [ $i -lt 50 ]; do i=$((i + 1)); sleep 0.1; done
    [ "$(pane '#{alternate_on}')" = 0 ] || fail "Ctrl+Z left the alternate screen on"
    tmux -L "$SOCK" resize-window -t e2e -x 160 -y 50
    sleep 0.5
    touch "$T/go"
    i=0
    rows=0
    while [ $i -lt 50 ]; do
        i=$((i + 1))
        sleep 0.1
        rows=$(full_rows 160)
        [ "$rows" -ge 50 ] && break
    done
    [ "$rows" -ge 50 ] || fail "after fg the picture does not fill 160 columns (full rows: $rows)"
}

case "$HOW" in
escape) tmux -L "$SOCK" send-keys -t e2e Escape; want=0 ;;
suspend) suspend; tmux -L "$SOCK" send-keys -t e2e Escape; want=0 ;;
storm) storm; tmux -L "$SOCK" send-keys -t e2e Escape; want=0 ;;
sigterm) kill -TERM "$(cat "$T/pid")"; want=143 ;;
*) fail "unknown way out" ;;
esac

i=0
while [ ! -s "$T/after" ] && [ $i -lt 100 ]; do i=$((i + 1)); sleep 0.1; done
[ -s "$T/after" ] || fail "the show did not end"
status=$(cat "$T/status")
[ "$status" = "$want" ] || fail "exit status $status, expected $want"
[ "$(pane '#{alternate_on}')" = 0 ] || fail "still on the alternate screen"
[ "$(pane '#{cursor_flag}')" = 1 ] || fail "cursor still hidden"
# (the size aside: the suspended show comes back to a wider window)
sed -i 's/rows [0-9]*; columns [0-9]*;//' "$T/before" "$T/after"
cmp -s "$T/before" "$T/after" || { diff "$T/before" "$T/after"; fail "stty -a differs"; }
# Nothing of the show is left on the normal screen, and it did not scroll.
junk=$(tmux -L "$SOCK" capture-pane -p -t e2e | tr -d ' \n')
[ "$HOW" = suspend ] || [ -z "$junk" ] || fail "the normal screen holds: $junk"
grep -q "frames in" "$T/stderr" || fail "no --stats line"
echo "ok ($HOW): $(cat "$T/stderr")"
