#!/bin/sh
# viewer_tmux.sh -- end to end: `kerv16 picture` in an 80 x 50 tmux pane. The picture stays until a key
# is pressed, then the show starts and gets that key; a picture that does not load is named on standard
# error once the terminal is restored, and Escape pressed in the viewer ends the show right after start-up.
# Without a keyboard (input from nowhere, output into a file) the picture stays two seconds and the show
# follows (nokeys).
# usage: viewer_tmux.sh path/to/kerv16 shown|missing|nokeys   (run from the folder holding data/)
set -u
SHOW=$1
HOW=$2
command -v tmux >/dev/null || { echo "tmux is not installed (make deps)"; exit 1; }

T=$(mktemp -d)
SOCK="kerv16-viewer-$$"
cleanup() { tmux -L "$SOCK" kill-server 2>/dev/null; rm -rf "$T"; }
trap cleanup EXIT INT TERM
fail() { echo "FAIL ($HOW): $*"; echo "--- pane:"; tmux -L "$SOCK" capture-pane -p -t v 2>/dev/null | head -60;
         echo "--- standard error:"; cat "$T/stderr" 2>/dev/null; exit 1; }
snap() { tmux -L "$SOCK" capture-pane -p -e -t v > "$T/$1"; }
wait_status() {
    i=0
    while [ ! -s "$T/status" ] && [ $i -lt 100 ]; do i=$((i + 1)); sleep 0.1; done
    [ -s "$T/status" ] || fail "the show did not end"
    [ "$(cat "$T/status")" = 0 ] || fail "exit status $(cat "$T/status")"
}

if [ "$HOW" = nokeys ]; then
    T=$(mktemp -d)
    trap 'rm -rf "$T"' EXIT
    timeout 30 "$SHOW" data/credz1.tga --until 500 < /dev/null > "$T/out" 2> "$T/stderr"
    status=$?
    [ $status = 0 ] || { echo "FAIL (nokeys): status $status (124: still waiting for a key)"; cat "$T/stderr"; exit 1; }
    [ -s "$T/out" ] || { echo "FAIL (nokeys): no frames written"; exit 1; }
    echo "ok (nokeys): the picture gave way to the show with nobody at the keyboard"
    exit 0
fi

case "$HOW" in
shown) PICTURE=data/credz1.tga ;;
missing) PICTURE="$T/no such picture.tga" ;;
*) fail "unknown case" ;;
esac
[ "$HOW" = missing ] || [ -s "$PICTURE" ] || fail "$PICTURE missing: build the data target"

cat > "$T/pane.sh" <<'PANE'
"$SHOW" "$PICTURE" 2> "$T/stderr"
echo $? > "$T/status"
exec sleep 600
PANE
tmux -u -L "$SOCK" -f /dev/null new-session -d -x 80 -y 50 -s v \
    "env T='$T' SHOW='$SHOW' PICTURE='$PICTURE' LC_ALL=C.UTF-8 sh '$T/pane.sh'" || fail "tmux did not start"

# Wait until the alternate screen shows something.
i=0
while [ $i -lt 100 ]; do
    i=$((i + 1))
    sleep 0.1
    [ -s "$T/status" ] && fail "ended before a key was pressed: status $(cat "$T/status")"
    [ "$(tmux -L "$SOCK" display -p -t v '#{alternate_on}')" = 1 ] || continue
    snap first
    [ "$(tr -d ' \n' < "$T/first")" != "" ] && break
done

if [ "$HOW" = shown ]; then
    # The viewer keeps presenting the same picture for as long as no key comes.
    sleep 1.5
    snap first
    sleep 1.5
    snap second
    cmp -s "$T/first" "$T/second" || fail "the picture changed while no key was pressed"
    [ -s "$T/status" ] && fail "ended without a key"
    # Any key starts the show, which reads that key (not Escape) and goes on drawing frames.
    tmux -L "$SOCK" send-keys -t v x
    changed=0
    i=0
    while [ $i -lt 50 ]; do
        i=$((i + 1))
        sleep 0.1
        snap now
        cmp -s "$T/first" "$T/now" || { changed=1; break; }
    done
    [ $changed = 1 ] || fail "the show did not start after a key"
    sleep 0.5
    [ -s "$T/status" ] && fail "the show ended after a key other than Escape"
    tmux -L "$SOCK" send-keys -t v Escape
    wait_status
    grep -q "picture not loaded" "$T/stderr" && fail "the picture was reported"
else
    # Escape ends the viewer; the main loop reads it on its first pass and the show ends at once.
    tmux -L "$SOCK" send-keys -t v Escape
    wait_status
    grep -q "no such picture.tga: picture not loaded" "$T/stderr" || fail "the missing picture was not named"
    grep -q "Tga:.*: Failed to open file" "$T/stderr" || fail "no reader report"
fi
echo "ok ($HOW)"
