#!/bin/sh
# pictures.sh OUT_DIR -- the 240 x 150 test pictures of the quality benchmark: photographs from the
# Debian package python3-skimage (fetched with apt-get download, unpacked, not installed), ImageMagick's
# built-in pictures, and pictures drawn with ImageMagick: smooth gradients in several hues, skies, skin,
# a hue wheel, soft-focus photographs, large and small text, line art, dark and bright scenes.
set -e
out=$1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fit() { convert -quiet "$1" -colorspace sRGB -resize 240x150^ -gravity center -extent 240x150 +repage -strip "PNG24:$2"; }
# A generated picture: ImageMagick arguments, then the name.
draw() { name=$1; shift; convert "$@" -colorspace sRGB -strip "PNG24:$out/$name.png"; }

if (cd "$work" && apt-get download -qq python3-skimage >/dev/null 2>&1); then
  dpkg-deb -x "$work"/python3-skimage_*.deb "$work/x"
  d=$(find "$work/x" -type d -path '*skimage/data' | head -n 1)
  fit "$d/astronaut.png" "$out/photo_astronaut.png"
  fit "$d/coffee.png" "$out/photo_coffee.png"
  fit "$d/chelsea.png" "$out/photo_cat.png"
  fit "$d/motorcycle_left.png" "$out/photo_motorcycle.png"
  fit "$d/rocket.jpg" "$out/photo_rocket.png"
  fit "$d/retina.jpg" "$out/photo_retina.png"
  fit "$d/ihc.png" "$out/photo_stained_cells.png"
  fit "$d/coins.png" "$out/grey_coins.png"
  fit "$d/camera.png" "$out/grey_camera.png"
  fit "$d/moon.png" "$out/grey_moon.png"
  fit "$d/brick.png" "$out/grey_brick.png"
  fit "$d/page.png" "$out/text_page.png"
  fit "$d/horse.png" "$out/line_horse.png"
  fit "$d/logo.png" "$out/art_logo.png"
  fit "$d/hubble_deep_field.jpg" "$out/dark_hubble.png"
  convert "$d/coffee.png" -resize 240x150^ -gravity center -extent 240x150 -evaluate multiply 0.3 -strip "PNG24:$out/dark_coffee.png"
  # Soft focus: the photograph blurred by about a cell, as a portrait lens or a misty morning would.
  convert "$d/astronaut.png" -resize 240x150^ -gravity center -extent 240x150 -blur 0x3 -strip "PNG24:$out/soft_astronaut.png"
  convert "$d/chelsea.png" -resize 240x150^ -gravity center -extent 240x150 -blur 0x4 -strip "PNG24:$out/soft_cat.png"
else
  echo "pictures.sh: python3-skimage could not be downloaded; going on without photographs" >&2
fi

# ImageMagick's own pictures: a photograph enlarged from 70 x 46 (soft), a cartoon, a logo.
fit rose: "$out/soft_rose.png"
fit wizard: "$out/art_wizard.png"
fit logo: "$out/art_imagemagick.png"

# Grey and colour ramps, left to right.
convert -size 30x240 gradient:white-black -rotate 90 \
  \( -size 30x240 gradient:red-black -rotate 90 \) \
  \( -size 30x240 gradient:lime-blue -rotate 90 \) \
  \( -size 30x240 gradient:yellow-purple -rotate 90 \) \
  \( -size 30x240 gradient:'#204060'-'#f0d0a0' -rotate 90 \) \
  -append -resize 240x150! -strip "PNG24:$out/gradients.png"
# Smooth single-hue gradients, each across the whole picture.
draw smooth_grey -size 150x240 gradient:'#101010'-'#f0f0f0' -rotate 90
draw smooth_blue -size 240x150 gradient:'#0a1850'-'#a0c8ff'
draw smooth_green -size 150x240 gradient:'#0c3010'-'#b0f0a0' -rotate 90
draw smooth_warm -size 240x150 gradient:'#502008'-'#ffd8a0'
draw smooth_purple -size 240x150 radial-gradient:'#e0b0f0'-'#301040'
# Skies: clear blue deepening upwards, and a sunset.
draw sky_day -size 240x150 gradient:'#2050b0'-'#c8e0f8'
draw sky_sunset -size 240x150 gradient:'#302060'-'#ff9040' \
  -fill '#fff0b0' -draw 'circle 160,128 160,116' -blur 0x2
# Skin: soft shading of a face-coloured shape on a pale background.
draw skin -size 240x150 xc:'#e8dcd0' -fill '#d8a080' -draw 'ellipse 120,80 60,72 0,360' \
  -fill '#c08060' -draw 'ellipse 100,70 8,5 0,360' -draw 'ellipse 140,70 8,5 0,360' -blur 0x6
# Hue around the centre, saturation out from it, half lightness (full colours at the rim).
convert -size 240x150 xc: -colorspace HSL \
  -channel R -fx 'atan2(j-75,i-120)/(2*pi)+0.5' -channel G -fx 'min(1,hypot(i-120,j-75)/75)' \
  -channel B -fx '0.5' +channel -colorspace sRGB -strip "PNG24:$out/hue_wheel.png"
convert -size 240x150 xc:'#102040' -font DejaVu-Sans-Bold -pointsize 54 -fill '#ffd040' \
  -gravity center -annotate +0-22 'KERV' -pointsize 30 -fill white -annotate +0+38 'sixteen' \
  -strip "PNG24:$out/large_text.png"
draw small_text -size 240x150 xc:'#f4f0e8' -font DejaVu-Sans -pointsize 11 -fill '#202020' \
  -annotate +6+16 'Each 3 x 3 block of the Screen' -annotate +6+32 'becomes one console cell: a' \
  -annotate +6+48 'character, a background and a' -annotate +6+64 'foreground out of sixteen colours.' \
  -fill '#a01010' -pointsize 16 -annotate +6+96 'Small print, red ink' \
  -fill '#1030a0' -pointsize 13 -annotate +6+128 'and blue text below it.'
convert -size 240x150 xc:black -strokewidth 1 -fill none \
  -stroke white -draw 'line 5,5 235,145' -stroke red -draw 'line 5,145 235,5' \
  -stroke lime -draw 'line 120,2 120,148' -stroke cyan -draw 'line 2,75 238,75' \
  -stroke yellow -draw 'circle 120,75 120,20' -stroke magenta -draw 'line 10,20 230,40' \
  -stroke '#8080ff' -draw 'line 30,10 60,140' -strip "PNG24:$out/thin_lines.png"
draw line_drawing -size 240x150 xc:white -fill none -stroke black -strokewidth 2 \
  -draw 'rectangle 20,30 100,120' -draw 'line 20,30 60,10' -draw 'line 100,30 140,10' -draw 'line 60,10 140,10' \
  -draw 'line 140,10 140,100' -draw 'line 100,120 140,100' -draw 'circle 190,75 190,35' \
  -strokewidth 1 -draw 'bezier 150,140 180,100 210,145 235,110'
# Dark and bright scenes: dim lights on near-black, and a pale high-key still life.
draw dark_scene -size 240x150 xc:'#04060a' -fill '#402810' -draw 'circle 60,90 60,60' \
  -fill '#102040' -draw 'circle 170,60 170,30' -fill '#303030' -draw 'rectangle 0,130 240,150' -blur 0x5
draw bright_scene -size 240x150 xc:'#fafaf6' -fill '#f0e0c8' -draw 'circle 70,85 70,45' \
  -fill '#d8e8f4' -draw 'rectangle 130,40 210,130' -fill '#f8d8d8' -draw 'circle 180,40 180,25' -blur 0x4
