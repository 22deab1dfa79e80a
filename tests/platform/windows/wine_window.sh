#!/bin/bash
# wine_window.sh -- the show in Wine's own console window under Xvfb: the window takes the show's title
# and shows its cells, and a press of Escape ends it with status 0.
# usage: wine_window.sh WINE_SH PREFIX kerv16.exe [SHOT.png]   (run from the folder holding data/)
# A terminal cannot carry that key: Wine's Unix console reads a lone Escape byte as the start of a
# sequence and waits for the rest, so only a window's key event arrives as Escape.
set -u
WINE_SH=$1 PREFIX=$2 SHOW=$3 SHOT=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/log" 2>/dev/null; exit 1; }
for tool in xvfb-run xdotool import; do
    command -v $tool >/dev/null || fail "$tool is not installed (sh tools/deps.sh test)"
done

# colours.py PNG: the number of colours in it, and the share in % of the most common one.
cat > "$work/colours.py" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
counts = sorted((c for c, _ in im.getcolors(1 << 24)), reverse=True)
print(len(counts), counts[0] * 100 // sum(counts))
PY

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    WINE_SH=$1 PREFIX=$2 SHOW=$3 work=$4
    sh "$WINE_SH" "$PREFIX" wineconsole "$SHOW" 2> "$work/stderr" &
    pid=$!
    win=""
    for i in $(seq 150); do
        win=$(xdotool search --name "^KERV16" 2>/dev/null | head -1)
        [ -n "$win" ] && break
        sleep 0.2
    done
    if [ -z "$win" ]; then
        if kill -0 $pid 2>/dev/null; then kill $pid; echo "no window titled KERV16 in 30 s" > "$work/log"
        else wait $pid; echo "ended with status $? before a window titled KERV16 showed" > "$work/log"; fi
        cat "$work/stderr" >> "$work/log"
        exit 0
    fi
    xdotool getwindowname "$win" > "$work/title"
    # Frames come within seconds; a first start of Wine on a busy machine may take longer.
    for i in $(seq 40); do
        sleep 0.5
        import -window "$win" "$work/shot.png" 2>/dev/null && /usr/bin/python3 "$work/colours.py" "$work/shot.png" > "$work/colours" &&
            [ "$(cut -d" " -f1 "$work/colours")" -ge 4 ] && [ "$(cut -d" " -f2 "$work/colours")" -lt 98 ] && break
    done
    xdotool getwindowgeometry "$win" | sed -n "s/ *Geometry: //p" > "$work/size"
    xdotool key --window "$win" Escape 2>/dev/null
    for i in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $pid 2>/dev/null; then kill $pid; echo "still running 10 s after Escape" > "$work/status"; exit 0; fi
    wait $pid; echo $? > "$work/status"
' _ "$WINE_SH" "$PREFIX" "$SHOW" "$work"

[ -s "$work/status" ] || fail "the show did not start"
status=$(cat "$work/status")
[ "$status" = 0 ] || fail "after Escape: $status (expected status 0)"
# Cells drawn in the console colours: the last shot holds several colours, and none fills the window.
[ -s "$work/colours" ] || fail "no screenshot of the window"
set -- $(cat "$work/colours")
[ "$1" -ge 4 ] && [ "$2" -lt 98 ] || fail "the window shows no frame ($1 colours, the most common on $2 %)"
[ -n "$SHOT" ] && cp "$work/shot.png" "$SHOT"
echo "ok: '$(cat "$work/title")' showed $1 colours in a window of $(cat "$work/size"), Escape ended it with status 0"
