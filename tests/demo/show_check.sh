#!/bin/bash
# show_check.sh -- the whole show, run by the renderer a frame every 500 ms to its end flag, as a viewer
# would watch it:
# - no stretch longer than 3 s in which the Screen's in-cell detail (the mean distance of a pixel's grey
#   from its 3 x 3 block's mean) is above 25, the fine interference that the cells turn into letter soup;
# - no stretch longer than 1 s with a mean grey below 12, except the closing fade that ends the show;
# - every scene, every overlay picture and every greetings page drawn at least once;
# - the show ends by itself within the soundtrack's length.
# usage: show_check.sh KERV16_RENDER [LOG]   (run from the folder holding data/; LOG reads a log already
#        written at a 500 ms step instead of running the renderer)
set -u
render=$1
step=500
fail() { echo "FAIL: $*"; exit 1; }
if [ $# -ge 2 ]; then
    log=$2
else
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    "$render" --log "$log" --step $step || fail "the renderer failed"
fi
# Pages of the greetings picture: its height (header bytes 14-15, little-endian) over 150.
height=$(od -An -tu2 -j14 -N2 data/greets.tga | tr -d ' ')
pages=$((height / 150))
[ "$pages" -ge 1 ] || fail "data/greets.tga has no page"
music_ms=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "data/Dremovant - Embers-mastered.mp3" |
           awk '{ printf "%d", $1 * 1000 }')

awk -F'\t' -v pages="$pages" -v music_ms="$music_ms" -v step=$step '
    function stretch_end(kind, limit_ms, final_ok,    len) {
        len = count[kind] * step
        if (len > worst[kind] && !final_ok) worst[kind] = len
        if (len > limit_ms && !final_ok) {
            printf "%s from %d ms to %d ms (%d ms, at most %d)\n", kind, first[kind], last[kind] + step, len, limit_ms
            bad = 1
        }
        count[kind] = 0
    }
    function track(kind, on, t) {
        if (on) { if (!count[kind]) first[kind] = t; count[kind]++; last[kind] = t }
    }
    NR == 1 { if ($8 != "mean" || $9 != "detail") { print "the log has no mean and detail columns"; bad = 1; exit } next }
    {
        if ($1 - prev_t != step && NR > 2) { print "the log is not at a " step " ms step at " $1 " ms"; bad = 1 }
        prev_t = $1
        scene[$2] = 1; overlay[$6] = 1; greet[$7] = 1; last_t = $1; last_scene = $2; last_part = $3
        if ($9 > max_detail) max_detail = $9
        if (count["noise"] && $9 <= 25) stretch_end("noise", 3000, 0)
        track("noise", $9 > 25, $1)
        if (count["dark"] && $8 >= 12) stretch_end("dark", 1000, 0)
        track("dark", $8 < 12, $1)
        # The closing fade may stay dark to the end, but only in the closing scene.
        if ($8 < 12 && $2 != -1) dark_outside_closing = 1
        if ($8 >= 12) dark_outside_closing = 0
    }
    END {
        if (bad) exit 1
        if (count["noise"]) stretch_end("noise", 3000, 0)
        if (count["dark"]) stretch_end("dark", 1000, !dark_outside_closing)
        split("1 2 3 4 5 -1", want, " ")
        for (i in want) if (!(want[i] in scene)) { print "scene " want[i] " never shown"; bad = 1 }
        for (o = 0; o <= 9; o++) if (!(o in overlay)) { print "overlay " o " never drawn"; bad = 1 }
        for (g = 0; g < pages; g++) if (!(g in greet)) { print "greetings page " g " never drawn"; bad = 1 }
        if (last_scene != -1 || last_part != -1) { print "the show did not end by itself"; bad = 1 }
        if (last_t > music_ms) { print "the show ends at " last_t " ms, after the music (" music_ms " ms)"; bad = 1 }
        if (!bad)
            printf "whole show: %d frames, ends at %d ms of %d ms of music, %d greetings pages; " \
                   "longest noisy stretch %d ms (detail up to %.1f), longest dark one before the end %d ms\n",
                   NR - 1, last_t, music_ms, pages, worst["noise"], max_detail, worst["dark"]
        exit bad
    }' "$log"
