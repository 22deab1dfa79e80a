#!/bin/sh
# deps.sh -- install the Debian packages the Windows build and its Wine tests need (only the missing ones)
set -e
PACKAGES="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64 tmux zip"
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
# Without a package source (offline) the build goes on with what is there; wine may then be missing.
$SUDO apt-get install -y -qq --no-install-recommends $missing || echo "deps.sh: could not install:$missing" >&2
