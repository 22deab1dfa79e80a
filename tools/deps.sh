#!/bin/sh
# deps.sh -- install the Debian packages that running, testing or the Windows build need (only the missing ones)
#   sh tools/deps.sh run      the build, the data tools and the show
#   sh tools/deps.sh test     that, and what the tests drive (GoogleTest, tmux, Xvfb, ffmpeg, ImageMagick ...)
#   sh tools/deps.sh windows  the mingw-w64 cross compilers and zlib, GoogleTest's sources, Wine and zip
#   sh tools/deps.sh web      emscripten, Node.js with npm, and Chromium for the browser tests
set -e
RUN_PACKAGES="cmake g++ make pkg-config
 libsdl2-dev libmpg123-dev libopenmpt-dev libmp3lame-dev
 libfreetype-dev fonts-dejavu-core libglu1-mesa-dev zlib1g-dev libstb-dev
 console-data console-setup-linux"
TEST_PACKAGES="libgtest-dev libvterm-dev libpng-dev
 tmux xvfb xauth xdotool python3-xlib ffmpeg chafa caca-utils imagemagick python3-pil sox
 xterm x11-apps fonts-terminus-otb kitty
 clang libclang-rt-14-dev"
# Debian's emscripten builds offline with its prebuilt system libraries; Chromium is what the browser
# tests drive (through playwright-core, which never downloads a browser of its own).
WEB_PACKAGES="emscripten chromium"
WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev googletest wine64 tmux zip"

# Installs those of the given packages that are missing; returns apt-get's status.
install_missing() {
  missing=""
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing="$missing $p"
    fi
  done
  [ -z "$missing" ] && return 0
  echo "installing:$missing"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends $missing
}

# Node.js may come from elsewhere (NodeSource's package carries npm itself): Debian's only when there is none.
web_packages() {
  packages="$WEB_PACKAGES"
  command -v node >/dev/null || packages="$packages nodejs"
  command -v npm >/dev/null || packages="$packages npm"
  echo "$packages"
}

case "${1:-test}" in
  run) install_missing $RUN_PACKAGES ;;
  # The web build and its tests are skipped with a note where these cannot be installed (offline).
  test) install_missing $RUN_PACKAGES $TEST_PACKAGES
        install_missing $(web_packages) || echo "deps.sh: the web build's packages could not be installed:$missing" >&2 ;;
  web) install_missing $RUN_PACKAGES $(web_packages) ;;
  # Offline, the Windows build goes on with what is there: without Wine its tests say so and are skipped.
  windows) install_missing $WINDOWS_PACKAGES || echo "deps.sh: could not install:$missing" >&2 ;;
  *) echo "usage: sh tools/deps.sh run|test|windows|web" >&2; exit 2 ;;
esac
