#!/bin/bash
# xterm_shots.sh -- the viewer in xterm under Xvfb: a few pictures in 160 x 50, 80 x 50 and 80 x 24 terminals,
# in DejaVu Sans Mono and in Terminus (a bitmap font), screenshotted and scored against the picture.
# usage: xterm_shots.sh KERV16 KERV16_RENDER KERV16_TERMSHOT PICTURE_CACHE   (run from the folder holding data/)
# Prints a table of every score first, then checks the targets named in KERV16_SHOT_TARGETS (default all):
#   wide-ssim     wide within 0.03 SSIM of the renderer's 8 x 8 drawing of the same picture
#   wide-aspect   wide with aspect 1.6 within 7 %
#   grid-ssim     grid within 0.05 SSIM of the renderer's drawing
#   compact       the whole picture (its frame on all four sides) with aspect 1.6 within 10 %
# Whatever is set, every picture must show and Escape must quit with status 0.
# KERV16_SHOT_KEEP=DIR keeps the screenshots there; KERV16_SHOT_DEBUG=1 prints the timing of each shot.
set -u
show=$1 render=$2 termshot=$3 cache=$4
targets=${KERV16_SHOT_TARGETS-wide-ssim wide-aspect grid-ssim compact}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
cleanup() { kill $(jobs -p) 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM
fail() { echo "FAIL: $*"; exit 1; }
debug() { [ -z "${KERV16_SHOT_DEBUG:-}" ] || echo "  $*"; }
for tool in Xvfb xterm xdotool xwd convert; do
    command -v $tool >/dev/null || fail "$tool is not installed (make deps)"
done
. "$here/../../tools/termshot/xterm_env.sh"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# ---- pictures: 240 x 150 with a frame of one console colour, so the drawn area is found exactly ----
# The photographs and the drawn pictures of the quality benchmark, made once into the cache.
[ -f "$cache/large_text.png" ] || sh "$here/../../tools/quality/pictures.sh" "$cache" >/dev/null 2>&1
pictures=""
for name in photo_cat gradients large_text; do
    [ -f "$cache/$name.png" ] || continue
    # The frame #ab00ab comes out of the viewer's blit as the console's magenta #aa00aa.
    convert "$cache/$name.png" -shave 6x6 -bordercolor '#ab00ab' -border 6 -depth 8 "PNG24:$work/$name.png" ||
        fail "cannot frame $name"
    # Pillow writes the TGA (ImageMagick 6 stores its rows upside down for the orientation it declares).
    # The viewer blits onto a black Screen with the alpha rule, (s x 255) >> 8 at full alpha: the scores
    # compare with that blitted picture, and the renderer draws it, so both show the same Screen.
    /usr/bin/python3 - "$work/$name.png" "$work/$name.tga" "$work/$name.screen.png" <<'PY' || fail "cannot write $name"
import sys
from PIL import Image
img = Image.open(sys.argv[1]).convert('RGB')
img.save(sys.argv[2])
img.point(lambda v: v * 255 >> 8).save(sys.argv[3])
PY
    "$render" --picture "$work/$name.screen.png" --cells "$work/$name.bin" --png "$work/$name.r8.png" >/dev/null ||
        fail "the renderer failed on $name"
    pictures="$pictures $name"
done
[ -n "$pictures" ] || fail "no test pictures in $cache"

# xterm sets no COLORTERM (and none is passed on here): the show takes 24-bit colour from TERM=xterm and
# sends the console colours as their exact values, so the scores compare like with like, not xterm's theme.
# shot NAME FONT COLSxROWS TGA: the viewer on the picture until its drawing is still, a screenshot, Escape.
# Leaves $work/NAME.FONT.SIZE.png and the show's status and standard error beside it.
shot() {
    local name=$1 font=$2 size=$3 tga=$4 run=$work/$1.$2.$3
    local data=$PWD
    rm -f "$run".*
    env -u COLORTERM -u KERV16_COLOURS \
        xterm $(xterm_font_args "$font") "${XTERM_NO_RESIZE[@]}" -geometry "$size" -bg black -fg white -b 0 -T kerv16-shot \
        -e sh -c 'echo "$WINDOWID" > "$1.window"; cd "$2" && "$3" --stats "$4" 2> "$1.stderr"
                 echo $? > "$1.status"' \
        sh "$run" "$data" "$show" "$tga" 2>"$run.xterm" &
    local xterm_pid=$! t0
    t0=$(date +%s.%N)
    for i in $(seq 50); do [ -s "$run.window" ] && break; sleep 0.1; done
    [ -s "$run.window" ] || { kill $xterm_pid; fail "xterm did not start ($font, $size): $(cat "$run.xterm")"; }
    debug "window after $(awk "BEGIN{print $(date +%s.%N) - $t0}") s"
    local win previous="" sum=""
    win=$(cat "$run.window")
    # The show names the window when it starts; then screenshots until two in a row are equal (bounded).
    for i in $(seq 50); do
        case $(xdotool getwindowname "$win" 2>/dev/null) in KERV16*) break ;; esac
        sleep 0.1
    done
    for i in $(seq 40); do
        sleep 0.2
        timeout 5 xwd -id "$win" -silent > "$run.xwd" 2>/dev/null || continue
        sum=$(md5sum < "$run.xwd")
        [ "$sum" = "$previous" ] && break
        previous=$sum
    done
    debug "$name $font $size: $i screenshots, $(awk "BEGIN{print $(date +%s.%N) - $t0}") s"
    [ "$sum" = "$previous" ] || echo "note: $name $font $size never stood still"
    convert "xwd:$run.xwd" "PNG24:$run.png"
    # Keys go to the window under the pointer (there is no window manager).
    xdotool mousemove --window "$win" 20 20
    xdotool key Escape
    for i in $(seq 100); do [ -s "$run.status" ] && break; sleep 0.05; done
    if [ ! -s "$run.status" ]; then
        kill $xterm_pid 2>/dev/null
        fail "$name ($font, $size): the viewer did not quit on Escape"
    fi
    debug "quit after $(awk "BEGIN{print $(date +%s.%N) - $t0}") s"
    wait $xterm_pid 2>/dev/null
    debug "xterm gone after $(awk "BEGIN{print $(date +%s.%N) - $t0}") s"
    [ "$(cat "$run.status")" = 0 ] || fail "$name ($font, $size): exit status $(cat "$run.status"): $(cat "$run.stderr")"
}

layout_of() {  # the layout --stats names, or the one the terminal's size chooses
    local l
    l=$(grep -o 'layout [a-z]*' "$1" | head -1 | cut -d' ' -f2)
    if [ -n "$l" ]; then echo "$l"; return; fi
    case $2 in 160x50) echo wide ;; 80x50) echo grid ;; *) echo compact ;; esac
}

# ---- the shots: each font on its own X server, both at once; every score a line in $work/FONT.rows ----
shoot_font() {
    local font=$1 name size run scores
    work=$work/$font
    mkdir -p "$work"
    xvfb_pid=""
    trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid"' EXIT
    xterm_start_display
    for name in $pictures; do
        for size in 160x50 80x50 80x24; do
            shot "$name" "$font" "$size" "$work/../$name.tga"
            run=$work/$name.$font.$size
            scores=$("$termshot" "$work/../$name.screen.png" "$run.png" --background 0,0,0) ||
                fail "$name ($font, $size): cannot score the screenshot: $scores"
            echo "$name $font $size $(layout_of "$run.stderr" "$size") $scores" >> "$work/rows"
        done
    done
    echo ok > "$work/done"
}
for font in dejavu terminus; do
    (shoot_font $font > "$work/$font.out" 2>&1) &
done
wait
for font in dejavu terminus; do
    [ -s "$work/$font/done" ] || { cat "$work/$font.out"; fail "the $font shots did not finish"; }
    cat "$work/$font.out"
done

# ---- the table, then the targets ----
failures=""
declare -A rssim
for name in $pictures; do
    read -r _ rssim[$name] _ < <("$termshot" "$work/$name.screen.png" "$work/$name.r8.png" --whole)
done
row() { printf '%-13s %-9s %-7s %-8s %6s %6s %6s %7s %6s %7s\n' "$@"; }
row picture font size layout SSIM PSNR dE00 aspect frame render
check() {  # check TARGET CONDITION MESSAGE
    case " $targets " in *" $1 "*) ;; *) return ;; esac
    awk "BEGIN { exit !($2) }" || failures="$failures
  $name $font $size $layout: $3"
}
while read -r name font size layout _ ssim _ psnr _ de _ aspect _ frame _ box; do
    r=${rssim[$name]}
    row "$name" "$font" "$size" "$layout" "$ssim" "$psnr" "$de" "$aspect" "$frame" "$r"
    case $layout in
    wide) check wide-ssim "$ssim >= $r - 0.03" "SSIM $ssim, more than 0.03 below the renderer's $r"
          check wide-aspect "$aspect >= 1.6 * 0.93 && $aspect <= 1.6 * 1.07" "aspect $aspect, not 1.6 within 7 %" ;;
    grid) check grid-ssim "$ssim >= $r - 0.05" "SSIM $ssim, more than 0.05 below the renderer's $r" ;;
    compact) check compact "$aspect >= 1.6 * 0.9 && $aspect <= 1.6 * 1.1" "aspect $aspect, not 1.6 within 10 %"
             check compact "$frame <= 15" "frame difference $frame: not the whole picture (box $box)" ;;
    esac
done < <(sort -k1,1 -s "$work/dejavu/rows" "$work/terminus/rows")
if [ -n "${KERV16_SHOT_KEEP:-}" ]; then
    mkdir -p "$KERV16_SHOT_KEEP" && cp "$work"/*/*.*.*.png "$work"/*.r8.png "$KERV16_SHOT_KEEP"/
fi
[ -z "$failures" ] || fail "targets missed:$failures"
echo "xterm screenshots: every picture shown and ended by Escape; targets checked: ${targets:-none}"
