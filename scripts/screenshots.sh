#!/bin/bash
# Takes the README's pictures of every window into docs/*.png: Tolvar.exe runs with the simulated remote-access
# service in a Wine virtual desktop (its taskbar holds the tray icon) under Xvfb, and tools/tour_pictures.cpp opens
# each window and saves what the screen shows of it.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (an x86_64 build directory; default build/win64)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/win64}
export TOLVAR_ROOT=$root
# A prefix of the script's own, made anew, whatever the caller's shell has: the pictures start from a first run.
export WINEPREFIX=$root/build/screenshots-prefix
export TOLVAR_OWN_DISPLAY=1
export WINEDLLOVERRIDES="rasapi32=n,b"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

shots=""
tour=""
cleanup() {
  if [ -n "$tour" ]; then
    kill "$tour" 2>/dev/null || true
    wait "$tour" 2>/dev/null || true
  fi
  wine_env_stop
  [ -z "$shots" ] || rm -rf "$shots"
}
trap cleanup EXIT

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" --toolchain "$root/cmake/toolchain-mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target Tolvar rasapi32_sim tour_pictures wine_keepalive -j2 >/dev/null

shots=$(mktemp -d)
mkdir -p "$shots/program" "$shots/pictures"
cp "$build/Tolvar.exe" "$build/rasapi32.dll" "$shots/program/"
rm -rf "$WINEPREFIX"
wine_env_start
windows_path() { "$WINELOADER" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

"$WINELOADER" explorer /desktop=Tour,800x600 "$build/tour_pictures.exe" \
  "$(windows_path "$shots/program")" "$(windows_path "$shots/pictures")" </dev/null &
tour=$!
for _ in $(seq 1 180); do
  kill -0 "$tour" 2>/dev/null || break
  [ -f "$shots/pictures/details-cost-off.bmp" ] && break
  sleep 1
done
sleep 1

mkdir -p "$root/docs"
taken=0
for picture in "$shots"/pictures/*.bmp; do
  [ -e "$picture" ] || continue
  convert "$picture" -strip "$root/docs/$(basename "${picture%.bmp}").png"
  taken=$((taken + 1))
done
ls "$root"/docs/*.png
[ "$taken" -eq 14 ] || { echo "only $taken of 14 pictures were taken" >&2; exit 1; }
