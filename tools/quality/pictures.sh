#!/bin/sh
# pictures.sh OUT_DIR -- the 240 x 150 test pictures of the quality benchmark: photographs from the
# Debian package python3-skimage (fetched with apt-get download, unpacked, not installed) and pictures
# drawn with ImageMagick: gradients, a hue wheel, large text, thin lines, a dark scene.
set -e
out=$1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fit() { convert "$1" -colorspace sRGB -resize 240x150^ -gravity center -extent 240x150 +repage -strip "PNG24:$2"; }

if (cd "$work" && apt-get download -qq python3-skimage >/dev/null 2>&1); then
  dpkg-deb -x "$work"/python3-skimage_*.deb "$work/x"
  d=$(find "$work/x" -type d -path '*skimage/data' | head -n 1)
  fit "$d/astronaut.png" "$out/photo_astronaut.png"
  fit "$d/coffee.png" "$out/photo_coffee.png"
  fit "$d/chelsea.png" "$out/photo_cat.png"
  fit "$d/motorcycle_left.png" "$out/photo_motorcycle.png"
  fit "$d/hubble_deep_field.jpg" "$out/dark_hubble.png"
  convert "$d/coffee.png" -resize 240x150^ -gravity center -extent 240x150 -evaluate multiply 0.3 -strip "PNG24:$out/dark_coffee.png"
else
  echo "pictures.sh: python3-skimage could not be downloaded; going on without photographs" >&2
fi

# Grey and colour ramps, left to right.
convert -size 30x240 gradient:white-black -rotate 90 \
  \( -size 30x240 gradient:red-black -rotate 90 \) \
  \( -size 30x240 gradient:lime-blue -rotate 90 \) \
  \( -size 30x240 gradient:yellow-purple -rotate 90 \) \
  \( -size 30x240 gradient:'#204060'-'#f0d0a0' -rotate 90 \) \
  -append -resize 240x150! -strip "PNG24:$out/gradients.png"
# Hue around the centre, saturation out from it, half lightness (full colours at the rim).
convert -size 240x150 xc: -colorspace HSL \
  -channel R -fx 'atan2(j-75,i-120)/(2*pi)+0.5' -channel G -fx 'min(1,hypot(i-120,j-75)/75)' \
  -channel B -fx '0.5' +channel -colorspace sRGB -strip "PNG24:$out/hue_wheel.png"
convert -size 240x150 xc:'#102040' -font DejaVu-Sans-Bold -pointsize 54 -fill '#ffd040' \
  -gravity center -annotate +0-22 'KERV' -pointsize 30 -fill white -annotate +0+38 'sixteen' \
  -strip "PNG24:$out/large_text.png"
convert -size 240x150 xc:black -strokewidth 1 -fill none \
  -stroke white -draw 'line 5,5 235,145' -stroke red -draw 'line 5,145 235,5' \
  -stroke lime -draw 'line 120,2 120,148' -stroke cyan -draw 'line 2,75 238,75' \
  -stroke yellow -draw 'circle 120,75 120,20' -stroke magenta -draw 'line 10,20 230,40' \
  -stroke '#8080ff' -draw 'line 30,10 60,140' -strip "PNG24:$out/thin_lines.png"
