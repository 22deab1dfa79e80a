#!/bin/bash
# window_e2e.sh -- the console window under Xvfb: a picture shows exactly as the renderer's cell PNG,
# Escape and closing the window both end the show with status 0.
# usage: window_e2e.sh KERV16 KERV16_RENDER   (run from the folder holding data/)
set -u
show=$1 render=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A picture with gradients and hard edges, as PNG for the renderer and TGA for the show's viewer.
convert -size 240x150 gradient:'#1060e0'-'#f0c020' \
    -fill white -draw 'rectangle 20,20 90,60' -fill black -draw 'circle 170,95 200,120' \
    -depth 8 "$work/pic.png" || fail "cannot make the test picture"
# Pillow writes the TGA: ImageMagick 6 stores its rows upside down for the orientation it declares.
/usr/bin/python3 -c "import sys; from PIL import Image; Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2])" \
    "$work/pic.png" "$work/pic.tga" || fail "cannot write the TGA"
# The viewer blits the picture onto a black Screen with the alpha rule, (s x 255) >> 8 at full alpha:
# the renderer gets those pixel values, so both convert the same Screen.
/usr/bin/python3 -c "import sys; from PIL import Image; Image.open(sys.argv[1]).convert('RGB').point(lambda v: v * 255 >> 8).save(sys.argv[2])" \
    "$work/pic.png" "$work/screen.png" || fail "cannot make the blitted picture"
"$render" --picture "$work/screen.png" --cells "$work/ref.bin" --png "$work/ref.png" >/dev/null || fail "renderer failed"

run_in_x() {  # run_in_x ACTION: start the show on the picture, look, then end it by ACTION
    local action=$1
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        show=$1 work=$2 action=$3
        close_window() {  # asks the window to close as a window manager would (WM_DELETE_WINDOW)
            /usr/bin/python3 - "$1" <<PY
import sys
from Xlib import display, X
from Xlib.protocol import event
d = display.Display()
w = d.create_resource_object("window", int(sys.argv[1]))
proto = d.intern_atom("WM_PROTOCOLS")
delete = d.intern_atom("WM_DELETE_WINDOW")
w.send_event(event.ClientMessage(window=w, client_type=proto, data=(32, [delete, X.CurrentTime, 0, 0, 0])))
d.flush()
PY
        }
        "$show" --window "$work/pic.tga" > "$work/out.txt" 2>&1 &
        pid=$!
        for i in $(seq 150); do xdotool search --name "KERV16" >/dev/null 2>&1 && break; sleep 0.2; done
        # On a loaded machine the window may take seconds to map and draw: grab the screen until it
        # shows more than the two colours of the bare root window and two grabs in a row agree (60 s at most).
        last=
        for i in $(seq 120); do
            import -window root "$work/shot.png" 2>/dev/null
            look=$(convert "$work/shot.png" -format "%k %#" info: 2>/dev/null)
            if [ "${look%% *}" -gt 2 ] 2>/dev/null; then
                [ "$look" = "$last" ] && break
                last=$look
            fi
            sleep 0.5
        done
        win=$(xdotool search --name "KERV16" | head -1)
        if [ "$action" = escape ]; then
            xdotool key --window "$win" Escape
            sleep 0.5; xdotool key --window "$win" Escape 2>/dev/null   # in case the first came too early
        else
            close_window "$win"
            sleep 0.5
            win=$(xdotool search --name "KERV16" | head -1)
            [ -n "$win" ] && close_window "$win"
        fi
        for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
        if kill -0 $pid 2>/dev/null; then kill -9 $pid; echo "still running" > "$work/status"; exit 0; fi
        wait $pid; echo $? > "$work/status"
    ' _ "$show" "$work" "$action"
}

run_in_x escape
[ "$(cat "$work/status")" = 0 ] || fail "Escape: status $(cat "$work/status"); $(cat "$work/out.txt")"
# The window fills the 1280 x 800 screen at scale 2: sampled back to 640 x 400 it must equal the cell PNG.
convert "$work/shot.png" -sample 640x400 "$work/shot_small.png"
diff=$(compare -metric AE "$work/shot_small.png" "$work/ref.png" null: 2>&1)
[ "$diff" = 0 ] || fail "screenshot differs from the renderer's cells in $diff pixels"

run_in_x close
[ "$(cat "$work/status")" = 0 ] || fail "window close: status $(cat "$work/status"); $(cat "$work/out.txt")"
echo "window e2e: picture matches, Escape and close end with status 0"
