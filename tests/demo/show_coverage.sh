#!/bin/bash
# show_coverage.sh -- the whole show, run by the renderer at a fixed step to its end flag: every scene,
# every overlay picture and every greetings page is drawn at least once, and the show ends by itself
# within the soundtrack's length.
# usage: show_coverage.sh KERV16_RENDER   (run from the folder holding data/)
set -u
render=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$render" --log "$log" --step 50 || fail "the renderer failed"
# Pages of the greetings picture: its height (header bytes 14-15, little-endian) over 150.
height=$(od -An -tu2 -j14 -N2 data/greets.tga | tr -d ' ')
pages=$((height / 150))
[ "$pages" -ge 1 ] || fail "data/greets.tga has no page"
music_ms=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "data/Dremovant - Embers-mastered.mp3" |
           awk '{ printf "%d", $1 * 1000 }')

awk -F'\t' -v pages="$pages" -v music_ms="$music_ms" '
    NR > 1 { scene[$2] = 1; overlay[$6] = 1; greet[$7] = 1; last_t = $1; last_scene = $2; last_part = $3 }
    END {
        bad = 0
        split("1 2 3 4 5 -1", want, " ")
        for (i in want) if (!(want[i] in scene)) { print "scene " want[i] " never shown"; bad = 1 }
        for (o = 0; o <= 9; o++) if (!(o in overlay)) { print "overlay " o " never drawn"; bad = 1 }
        for (g = 0; g < pages; g++) if (!(g in greet)) { print "greetings page " g " never drawn"; bad = 1 }
        if (last_scene != -1 || last_part != -1) { print "the show did not end by itself"; bad = 1 }
        if (last_t > music_ms) { print "the show ends at " last_t " ms, after the music (" music_ms " ms)"; bad = 1 }
        if (!bad) printf "show coverage: %d frames, ends at %d ms of %d ms of music, %d greetings pages\n", NR - 1, last_t, music_ms, pages
        exit bad
    }' "$log"
