#!/bin/bash
# termshot_test.sh -- kerv16-termshot finds the drawn area, scales it back and scores it with known values
# usage: termshot_test.sh KERV16_TERMSHOT
set -u
termshot=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }
expect() {  # expect WANTED ARGS...: the scores line must be WANTED
    local got
    got=$("$termshot" "$@") || fail "kerv16-termshot $*: exit status $?"
    [ "$got" = "$WANTED" ] || fail "kerv16-termshot $*: got '$got', expected '$WANTED'"
}

# A picture with a frame of its own colour, drawn 4 x 4 times larger on a black screenshot at 70, 50.
convert -size 228x138 gradient:'#2080c0'-'#f0e040' -fill white -draw 'rectangle 30,30 90,70' \
    -bordercolor '#aa00aa' -border 6 -depth 8 PNG24:pic.png
convert pic.png -sample 960x600 -background black -gravity center -extent 1100x700 -depth 8 PNG24:big.png
WANTED="ssim 1.000 psnr 99.00 de00 0.00 aspect 1.600 frame 0.0 box 70,50,960,600"
expect pic.png big.png
expect pic.png big.png --box 70,50,960,600
expect pic.png big.png --background 0,0,0

# Cells of 8 x 17 pixels for every 3 x 3 of the picture (the grid in such a terminal) scale back.
convert pic.png -sample 640x850! -depth 8 PNG24:tall.png
got=$("$termshot" pic.png tall.png --whole) || fail "tall drawing not scored"
case $got in *"aspect 0.753 frame 0.0 box 0,0,640,850") ;; *) fail "tall drawing: $got" ;; esac
ssim=$(echo "$got" | cut -d' ' -f2)
awk "BEGIN { exit !($ssim >= 0.99) }" || fail "tall drawing: SSIM $ssim"

# Only the top-left part drawn: the frame is missing on the right and at the bottom.
convert big.png -crop 800x500+0+0 +repage -depth 8 PNG24:clipped.png
got=$("$termshot" pic.png clipped.png) || fail "clipped drawing not scored"
frame=$(echo "$got" | sed 's/.*frame \([0-9.]*\).*/\1/')
awk "BEGIN { exit !($frame > 40) }" || fail "clipped drawing: frame $frame ($got)"

# Flat grey 100 drawn as flat grey 110: PSNR 10 log10(255^2 / 10^2), SSIM of two flat means, and the
# CIEDE2000 of two greys, which is only their lightness difference over its weight.
convert -size 240x150 xc:'rgb(100,100,100)' -depth 8 PNG24:grey100.png
convert -size 640x400 xc:'rgb(110,110,110)' -depth 8 PNG24:grey110.png
WANTED=$(python3 - <<'PY'
import math
def lightness(v):
    c = v / 255
    y = c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    return 116 * y ** (1 / 3) - 16 if y > 216 / 24389 else 24389 / 27 * y
l1, l2 = lightness(100), lightness(110)
lm = (l1 + l2) / 2
sl = 1 + 0.015 * (lm - 50) ** 2 / math.sqrt(20 + (lm - 50) ** 2)
c1 = (0.01 * 255) ** 2
ssim = (2 * 100 * 110 + c1) / (100 ** 2 + 110 ** 2 + c1)
psnr = 10 * math.log10(255 ** 2 / 10 ** 2)
print("ssim %.3f psnr %.2f de00 %.2f aspect 1.600 frame 10.0 box 0,0,640,400" % (ssim, psnr, (l2 - l1) / sl))
PY
)
expect grey100.png grey110.png --whole

# Faults are named: a reference of the wrong size, a box outside the screenshot, nothing drawn.
"$termshot" big.png big.png 2> err.txt && fail "a 1100 x 700 reference was accepted"
grep -q "big.png is 1100 x 700, not a 240 x 150 picture" err.txt || fail "wrong size: $(cat err.txt)"
"$termshot" pic.png big.png --box 900,50,960,600 2> err.txt && fail "a box outside the image was accepted"
grep -q "big.png: the drawn area 960 x 600 at 900,50 is not inside the 1100 x 700 image" err.txt ||
    fail "box outside: $(cat err.txt)"
convert -size 300x200 xc:black -depth 8 PNG24:black.png
"$termshot" pic.png black.png 2> err.txt && fail "an empty screenshot was accepted"
grep -q "black.png: the drawn area 0 x 0" err.txt || fail "empty screenshot: $(cat err.txt)"
"$termshot" pic.png missing.png 2> err.txt && fail "a missing screenshot was accepted"
grep -q "cannot read missing.png" err.txt || fail "missing file: $(cat err.txt)"
echo "kerv16-termshot: boxes, scaling, frame and scores as worked out"
