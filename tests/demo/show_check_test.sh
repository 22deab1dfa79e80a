#!/bin/bash
# show_check_test.sh -- the whole-show check judged on made-up logs: the limits of its noisy and dark
# stretches, the closing fade it allows, and the coverage it demands.
# usage: show_check_test.sh SHOW_CHECK   (run from the folder holding data/)
set -u
check=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A log of 361 frames (0 to 180 s) that passes: every scene, overlay and page comes round, the mean
# is 100 and the detail 10, the last frame ends the show. Arguments: FROM TO COLUMN VALUE, frames
# FROM..TO (inclusive) get VALUE in COLUMN (8 mean, 9 detail, 2 scene).
make_log() {
    awk -v edits="$*" 'BEGIN {
        n = split(edits, e, " ")
        print "t\tscene\tpart\ttime\tvar\toverlay\tgreet\tmean\tdetail"
        split("1 2 3 4 5 -1", scenes, " ")
        for (k = 0; k <= 360; k++) {
            f[2] = scenes[k % 6 + 1]; f[3] = 0; f[8] = 100; f[9] = 10
            for (i = 1; i + 3 <= n; i += 4) if (k >= e[i] && k <= e[i + 1]) f[e[i + 2]] = e[i + 3]
            if (k == 360) { f[2] = -1; f[3] = -1 }
            printf "%d\t%d\t%d\t0\t0\t%d\t%d\t%s\t%s\n", k * 500, f[2], f[3], k % 10, k % 40, f[8], f[9]
        }
    }' > "$log"
}
passes() { make_log "$@"; "$check" none "$log" > /dev/null || fail "rejected: $*"; }
fails_with() {
    local want=$1; shift
    make_log "$@"
    out=$("$check" none "$log") && fail "accepted: $*"
    grep -q "$want" <<< "$out" || fail "for $* expected \"$want\", got: $out"
}

passes
passes 100 105 9 25.5                            # 3 s of noise is allowed
fails_with "noise from 50000 ms to 53500 ms" 100 106 9 25.5
passes 100 106 9 25                              # 25 itself is not noise
passes 200 201 8 11                              # 1 s of dark is allowed
fails_with "dark from 100000 ms to 101500 ms" 200 202 8 11.9
passes 340 360 8 3 340 359 2 -1                  # the closing fade may end the show in the dark
fails_with "dark from 170000 ms" 340 360 8 3 340 359 2 -1 345 345 2 1
fails_with "scene 4 never shown" 0 359 2 1
make_log
sed -i '$d' "$log"
out=$("$check" none "$log") && fail "a show without its end accepted"
grep -q "did not end by itself" <<< "$out" || fail "no end reported: $out"
echo "the whole-show check judges made-up logs as it should"
