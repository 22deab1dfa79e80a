# xterm_env.sh -- sourced by the xterm screenshot scripts: an Xvfb display and xterm's arguments
# Needs $work (a scratch folder) and a fail function; sets xvfb_pid (kill it on exit) and DISPLAY.

# An X server on a free display number, found by Xvfb itself.
xterm_start_display() {
    Xvfb -displayfd 3 -screen 0 1700x1000x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for i in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=:$(cat "$work/display")
}

# Window operations that would resize the window (the show asks for 80 x 50 and for full screen, which
# xterm allows by default even with allowWindowOps off) are refused: a user's terminal keeps its size.
XTERM_NO_RESIZE=(-xrm 'XTerm*allowWindowOps: false'
    -xrm 'XTerm*disallowedWindowOps: 1,2,3,4,5,6,7,8,9,10,11,13,14,18,19,20,21,GetSelection,SetSelection,SetWinLines,SetXprop')

xterm_font_args() {  # dejavu | terminus (a bitmap font, 8 x 16 cells)
    case $1 in
    dejavu) echo "-fa DejaVuSansMono -fs 10" ;;
    terminus) echo "-fa Terminus -fs 12" ;;
    esac
}
