#!/bin/sh
# tmux_live.sh -- end to end: the live mode in an 80 x 50 tmux pane on a copy of content/. The scene
# at the current time is changed in the timeline and the pane shows it within a second; then a broken
# line is saved and the status line names it while the show goes on drawing.
# The show starts as a demo maker starts it, beside its content folder, and finds its data by itself.
# usage: tmux_live.sh path/to/kerv16 path/to/content
set -u
SHOW=$1
CONTENT=$2
command -v tmux >/dev/null || { echo "tmux is not installed (make deps)"; exit 1; }

T=$(mktemp -d)
SOCK="kerv16-live-$$"
cleanup() { tmux -L "$SOCK" kill-server 2>/dev/null; rm -rf "$T"; }
trap cleanup EXIT INT TERM
fail() { echo "FAIL: $*"; echo "--- pane:"; tmux -L "$SOCK" capture-pane -p -t e2e 2>/dev/null | head -60;
         echo "--- show's standard error:"; cat "$T/stderr" 2>/dev/null; exit 1; }
row() { tmux -L "$SOCK" capture-pane -p -t e2e | sed -n "$1p"; }
picture() { tmux -L "$SOCK" capture-pane -p -e -t e2e | sed -n '2,49p'; }
# Waits up to $1 tenths of a second for the shell test $2.
within() {
    n=0
    while [ $n -lt "$1" ]; do
        eval "$2" && return 0
        n=$((n + 1))
        sleep 0.1
    done
    return 1
}
now() { date +%s%N; }

cp -r "$CONTENT" "$T/content"
cat > "$T/pane.sh" <<'PANE'
cd "$T" && "$SHOW" --live 2> "$T/stderr"
echo $? > "$T/status"
exec sleep 600
PANE
tmux -u -L "$SOCK" -f /dev/null new-session -d -x 80 -y 50 -s e2e \
    "env T='$T' SHOW='$SHOW' LC_ALL=C.UTF-8 COLORTERM=truecolor sh '$T/pane.sh'" || fail "tmux did not start"

# The line of figures (Tab) on the top row; then a pause inside the rain of the first two bars.
within 100 "tmux -L $SOCK send-keys -t e2e Tab; sleep 0.2; row 1 | grep -q ' scene 3 '" || fail "no line of figures with scene 3"
tmux -L "$SOCK" send-keys -t e2e Space
sleep 0.5
held=$(row 1 | cut -c1-9)
sleep 0.3
[ "$(row 1 | cut -c1-9)" = "$held" ] || fail "the pause did not hold the time at $held"
before=$(picture)

# The scene at this time, rain, becomes blobs: the figures and the picture change within a second.
start=$(now)
sed -i 's/^\(    1:1 *\)3\( .*# rain\)/\14\2/' "$T/content/timeline.txt"
grep -q '^    1:1 *4 .*# rain' "$T/content/timeline.txt" || fail "the test's edit did not apply"
within 10 "row 1 | grep -q ' scene 4 '" || fail "the pane still shows scene 3 a second after the save"
within 10 '[ "$(picture)" != "$before" ]' || fail "the picture did not change"
echo "the pane showed the new scene $(( ($(now) - start) / 1000000 )) ms after the save (as tmux reports it)"
[ "$(row 1 | cut -c1-9)" = "$held" ] || fail "the demo time moved from $held with the new timeline"

# Play on, and save a line the compiler refuses: the status line names file and line, the show draws on.
tmux -L "$SOCK" send-keys -t e2e Space
printf '    92:2    zero\n' >> "$T/content/timeline.txt"
line=$(wc -l < "$T/content/timeline.txt")
within 10 "row 50 | grep -q '^content/timeline.txt:$line: bad number .zero. for the value'" ||
    fail "no status line for the broken line $line"
t1=$(row 1 | cut -c1-9)
sleep 0.6
t2=$(row 1 | cut -c1-9)
[ "$t1" != "$t2" ] || fail "the show stopped drawing at $t1"
row 1 | grep -q ' scene 4 ' || fail "the tracks that played were not kept"
row 50 | grep -q "timeline.txt:$line:" || fail "the status line went away"
[ ! -s "$T/status" ] || fail "the show ended: status $(cat "$T/status")"
status_line=$(row 50 | sed 's/ *$//')

tmux -L "$SOCK" send-keys -t e2e Escape
within 50 '[ -s "$T/status" ]' || fail "the show did not end on Escape"
[ "$(cat "$T/status")" = 0 ] || fail "exit status $(cat "$T/status")"
echo "ok: status line '$status_line' while the time ran from $t1 to $t2"
