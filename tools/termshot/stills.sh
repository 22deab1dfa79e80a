#!/bin/bash
# stills.sh BUILD_DIR OUT_DIR [TIMES] -- screenshots of the show in xterm (DejaVu Sans Mono, the layout the
# terminal's size chooses) at 160 x 50 and 80 x 24, at a few demo times (ms, comma-separated), as
# OUT_DIR/term_COLSxROWS_tTIME.png. The show is seeked there with the right arrow (one second a key).
set -u
build=$(cd "$1" && pwd)
out=$2
times=${3:-20000,40000,60000,85000,97000,147000,170000}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "stills.sh: $*" >&2; exit 1; }
. "$here/xterm_env.sh"
mkdir -p "$out"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
xterm_start_display
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

for size in 160x50 80x24; do
    rm -f "$work/window" "$work/status"
    env -u COLORTERM -u KERV16_COLOURS \
        xterm $(xterm_font_args dejavu) "${XTERM_NO_RESIZE[@]}" -geometry "$size" -bg black -fg white -b 0 \
        -e sh -c 'echo "$WINDOWID" > "$1/window"; cd "$2" && ./kerv16; echo $? > "$1/status"' \
        sh "$work" "$build" &
    xterm_pid=$!
    for i in $(seq 50); do [ -s "$work/window" ] && break; sleep 0.1; done
    win=$(cat "$work/window")
    for i in $(seq 100); do
        case $(xdotool getwindowname "$win" 2>/dev/null) in KERV16*) break ;; esac
        sleep 0.05
    done
    start=$(now_ms) seeked=0
    xdotool mousemove --window "$win" 20 20
    for t in ${times//,/ }; do
        # Demo time is the time since the start plus the seeks; seek to a second short of t, then wait.
        ahead=$(( (t - ($(now_ms) - start) - seeked - 1000) / 1000 ))
        if [ $ahead -gt 0 ]; then
            xdotool key --repeat $ahead --delay 30 Right
            seeked=$((seeked + ahead * 1000))
        fi
        wait_ms=$(( t - ($(now_ms) - start) - seeked ))
        [ $wait_ms -gt 0 ] && sleep "$(awk "BEGIN { print $wait_ms / 1000 }")"
        at=$(( $(now_ms) - start + seeked ))
        xwd -id "$win" -silent > "$work/shot.xwd" && convert "xwd:$work/shot.xwd" "PNG24:$out/term_${size}_t$t.png"
        echo "$out/term_${size}_t$t.png (at about $at ms)"
    done
    xdotool key Escape
    wait $xterm_pid
done
