#!/usr/bin/env bash
# Builds Tidewell.exe and runs it: under Wine on Linux (in Xvfb when there is
# no display). `--demo` runs the demo build instead: the real window over a
# simulated machine with a few hundred phantoms, so nothing real is touched.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=Tidewell.exe
[ "${1:-}" = "--demo" ] && exe=TidewellDemo.exe

if [ "$(id -u)" = 0 ]; then bash scripts/setup.sh; fi
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j2 --target "${exe%.exe}"

export WINEPREFIX="${TIDEWELL_WINEPREFIX:-$PWD/build-win/wineprefix}" WINEDEBUG=-all
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: starting Xvfb on :77 (attach a VNC viewer or take screenshots with"
  echo "  import -display :77 -window root shot.png)"
  Xvfb :77 -screen 0 1280x800x24 -nolisten tcp &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
  export DISPLAY=:77
  sleep 1
fi
# Wine's virtual desktop draws the window frame and caption.
wine explorer /desktop=tidewell,1280x800 "build-win/src/$exe"
