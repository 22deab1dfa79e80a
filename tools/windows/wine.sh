#!/bin/sh
# wine.sh -- runs a Windows program under Wine in a prefix of its own: wine.sh PREFIX PROGRAM.exe [ARGS...]
# Used by CMake as the cross-compiling emulator, so ctest runs the Windows tests like native ones.
set -e
WINEPREFIX=$1
shift
# No sound card here: Wine's ALSA driver would only print complaints.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winealsa.drv=d}"
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
if [ ! -x "$WINE" ]; then
  echo "wine.sh: wine64 is not installed (apt-get install wine64)" >&2
  exit 127
fi
# The first run makes the prefix (some seconds); runs that start together wait for it.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  flock "$WINEPREFIX.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || "$0" wineboot -i >/dev/null 2>&1' "$WINE"
fi
exec "$WINE" "$@"
