#!/bin/bash
# pixels_shots.sh -- the viewer's pixel layout under Xvfb: a picture in xterm as a VT340 (sixel, DejaVu Sans
# Mono 10) and in kitty (its graphics protocol), each at scale 1 and 2, screenshotted; the picture's area must
# be the renderer's 640 x 400 drawing of the same cells, every pixel repeated scale x scale times, exactly
# (sixel: each channel within 3 levels, its colours being percentages). At 160 x 50 the window is then made
# smaller: the picture must come back at scale 1 with nothing left of the larger one.
# usage: pixels_shots.sh KERV16 KERV16_RENDER   (run from the folder holding data/)
# xterm draws no sixel band that starts in the last text row, so its scale-1 shot is 80 x 25 (408 + 17 rows of
# 17 pixels), not 80 x 24; its largest picture (maxGraphicSize) is raised to 1280 x 1024 for scale 2.
# kitty is skipped with a note where it is not installed or cannot start (it needs OpenGL, here Mesa's software one).
# KERV16_SHOT_KEEP=DIR keeps the screenshots there.
set -u
show=$1 render=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb_pid=""
cleanup() { kill $(jobs -p) 2>/dev/null; [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM
fail() { echo "FAIL: $*"; exit 1; }
py=/usr/bin/python3
for tool in Xvfb xterm xdotool xwd convert; do
    command -v $tool >/dev/null || fail "$tool is not installed (make deps)"
done
. "$here/../../tools/termshot/xterm_env.sh"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset TMUX STY COLORTERM KERV16_COLOURS KITTY_WINDOW_ID TERM_PROGRAM KONSOLE_VERSION WT_SESSION

# ---- the picture: colours, shades and edges in every cell, framed in the console's magenta ----
$py - "$work/pic.tga" "$work/pic.screen.png" <<'PY' || fail "cannot draw the test picture"
import sys, math
from PIL import Image, ImageDraw
img = Image.new('RGB', (240, 150))
px = img.load()
for y in range(150):
    for x in range(240):
        r = int(127 + 127 * math.sin(x / 17.0 + y / 31.0))
        g = int(127 + 127 * math.sin(y / 11.0 - x / 43.0))
        b = (x * 7 + y * 3) % 256
        px[x, y] = (r, g, b)
d = ImageDraw.Draw(img)
for i in range(6):
    d.ellipse([20 + 35 * i, 30 + 8 * i, 50 + 35 * i, 70 + 8 * i], outline=(255, 255, 255), width=2)
d.rectangle([0, 0, 239, 149], outline=(0xab, 0, 0xab), width=6)
img.save(sys.argv[1])
img.point(lambda v: v * 255 >> 8).save(sys.argv[2])
PY
"$render" --picture "$work/pic.screen.png" --cells "$work/pic.bin" --png "$work/pic.r8.png" >/dev/null ||
    fail "the renderer failed"
xterm_start_display

# compare SHOT.png SCALE TOLERANCE: the magenta-framed area against the renderer's drawing
compare() {
    $py - "$1" "$work/pic.r8.png" "$2" "$3" <<'PY'
import sys
from PIL import Image
shot = Image.open(sys.argv[1]).convert('RGB')
ref = Image.open(sys.argv[2]).convert('RGB')
s, tol = int(sys.argv[3]), int(sys.argv[4])
w, h = shot.size
sp = shot.load()
# The picture is all that is not the black background (its frame is never black).
box = shot.getbbox()
if not box:
    print("no picture found"); sys.exit(1)
x0, y0 = box[0], box[1]
if box[2] - box[0] != 640 * s or box[3] - box[1] != 400 * s:
    # A ghost of an earlier picture, or a picture cut by the window.
    print("the drawn area %s is not %d x %d" % (box, 640 * s, 400 * s)); sys.exit(1)
rp = ref.load()
bad = worst = 0
for y in range(400 * s):
    for x in range(640 * s):
        a, b = sp[x0 + x, y0 + y], rp[x // s, y // s]
        d = max(abs(a[k] - b[k]) for k in range(3))
        worst = max(worst, d)
        if d > tol:
            bad += 1
print("at %d,%d: %d of %d pixels differ by more than %d (largest difference %d)" %
      (x0, y0, bad, 640 * s * 400 * s, tol, worst))
sys.exit(1 if bad else 0)
PY
}

# still RUN: screenshots of the window until two in a row are equal (bounded), the last as RUN.png.
still() {
    local previous="" sum=""
    for i in $(seq 40); do
        sleep 0.3
        timeout 5 xwd -id "$win" -silent > "$1.xwd" 2>/dev/null || continue
        sum=$(md5sum < "$1.xwd")
        [ "$sum" = "$previous" ] && break
        previous=$sum
    done
    convert "xwd:$1.xwd" "PNG24:$1.png"
}

# shot TERMINAL SIZE SCALE [RESIZE]: the viewer in that terminal until its picture stands still, a
# screenshot; with RESIZE (W x H pixels) the window is resized, which must give a picture at scale 1
# and nothing of the earlier one; then Escape. Prints the comparisons. Returns 2 where kitty cannot start.
shot() {
    local term=$1 size=$2 scale=$3 resize=${4:-} run=$work/$1.$2 cols rows status=0
    cols=${size%x*} rows=${size#*x}
    local cmd='echo "$WINDOWID" > "$1.window"; cd "$2" && "$3" --stats --layout pixels "$4" 2> "$1.stderr"; echo $? > "$1.status"'
    if [ "$term" = xterm ]; then
        xterm -ti vt340 $(xterm_font_args dejavu) "${XTERM_NO_RESIZE[@]}" -xrm 'XTerm*maxGraphicSize: 1280x1024' \
            -geometry "$size" -bg black -fg white -b 0 -T kerv16-shot \
            -e sh -c "$cmd" sh "$run" "$PWD" "$show" "$work/pic.tga" 2>"$run.term" &
    else
        LIBGL_ALWAYS_SOFTWARE=1 kitty -o linux_display_server=x11 -o remember_window_size=no \
            -o initial_window_width=${cols}c -o initial_window_height=${rows}c -o window_padding_width=0 \
            -o placement_strategy=top-left -o background=#000000 -o cursor_blink_interval=0 \
            sh -c "$cmd" sh "$run" "$PWD" "$show" "$work/pic.tga" 2>"$run.term" &
    fi
    local pid=$!
    win=""
    for i in $(seq 100); do [ -s "$run.window" ] && break; sleep 0.1; done
    if [ ! -s "$run.window" ]; then
        kill $pid 2>/dev/null
        [ "$term" = kitty ] && return 2
        fail "$term did not start: $(cat "$run.term")"
    fi
    win=$(cat "$run.window")
    for i in $(seq 50); do
        case $(xdotool getwindowname "$win" 2>/dev/null) in KERV16*) break ;; esac
        sleep 0.1
    done
    still "$run"
    local tol=0
    [ "$term" = xterm ] && tol=3
    echo "$term $size scale $scale: $(compare "$run.png" "$scale" "$tol")"
    compare "$run.png" "$scale" "$tol" >/dev/null || status=1
    if [ -n "$resize" ]; then
        xdotool windowsize "$win" ${resize%x*} ${resize#*x}
        still "$run.resized"
        echo "$term $size resized to $resize pixels, scale 1: $(compare "$run.resized.png" 1 "$tol")"
        compare "$run.resized.png" 1 "$tol" >/dev/null || status=1
        scale=1
    fi
    xdotool mousemove --window "$win" 20 20
    xdotool key Escape   # to the window under the pointer (there is no window manager)
    for i in $(seq 100); do [ -s "$run.status" ] && break; sleep 0.05; done
    [ -s "$run.status" ] || { kill $pid 2>/dev/null; fail "$term $size: the viewer did not quit on Escape"; }
    wait $pid 2>/dev/null
    [ "$(cat "$run.status")" = 0 ] || fail "$term $size: exit status $(cat "$run.status"): $(cat "$run.stderr")"
    grep -q "layout pixels .*scale $scale)" "$run.stderr" ||
        fail "$term $size: not the pixel layout at scale $scale at the end: $(cat "$run.stderr")"
    return $status
}

failures=""
for case in "xterm 80x25 1" "xterm 160x50 2 900x560" "kitty 80x24 1" "kitty 160x50 2 900x560"; do
    set -- $case
    if [ "$1" = kitty ] && ! command -v kitty >/dev/null; then
        echo "note: kitty is not installed: its shots are skipped (sh tools/deps.sh test)"
        continue
    fi
    shot "$@"
    status=$?
    if [ $status = 2 ]; then
        echo "note: kitty could not start here (it needs OpenGL 3.3; Mesa's software renderer): its shots are skipped"
        continue
    fi
    [ $status = 0 ] || failures="$failures $1-$2"
done
if [ -n "${KERV16_SHOT_KEEP:-}" ]; then
    mkdir -p "$KERV16_SHOT_KEEP" && cp "$work"/*.png "$KERV16_SHOT_KEEP"/
fi
[ -z "$failures" ] || fail "pictures that differ:$failures"
echo "pixel layout screenshots: the picture exactly as the renderer draws it"
