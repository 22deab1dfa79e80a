#!/bin/sh
# deps.sh -- install the Debian packages the build, the data tools and the tests need (only the missing ones)
set -e
PACKAGES="cmake g++ make pkg-config libgtest-dev
 libsdl2-dev libmpg123-dev libopenmpt-dev libmp3lame-dev libvterm-dev
 libfreetype-dev fonts-dejavu-core libglu1-mesa-dev zlib1g-dev libpng-dev libstb-dev
 console-data console-setup-linux
 tmux xvfb xauth xdotool python3-xlib ffmpeg chafa caca-utils imagemagick python3-pil sox
 clang libclang-rt-14-dev"
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
