#!/bin/sh
# deps.sh -- install the Debian packages that running or testing needs (only the missing ones)
#   sh tools/deps.sh run    the build, the data tools and the show
#   sh tools/deps.sh test   that, and what the tests drive (GoogleTest, tmux, Xvfb, ffmpeg, ImageMagick ...)
set -e
RUN_PACKAGES="cmake g++ make pkg-config
 libsdl2-dev libmpg123-dev libopenmpt-dev libmp3lame-dev
 libfreetype-dev fonts-dejavu-core libglu1-mesa-dev zlib1g-dev libstb-dev
 console-data console-setup-linux"
TEST_PACKAGES="libgtest-dev libvterm-dev libpng-dev
 tmux xvfb xauth xdotool python3-xlib ffmpeg chafa caca-utils imagemagick python3-pil sox
 xterm x11-apps fonts-terminus-otb
 clang libclang-rt-14-dev"
case "${1:-test}" in
  run) PACKAGES="$RUN_PACKAGES" ;;
  test) PACKAGES="$RUN_PACKAGES $TEST_PACKAGES" ;;
  *) echo "usage: sh tools/deps.sh run|test" >&2; exit 2 ;;
esac
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
