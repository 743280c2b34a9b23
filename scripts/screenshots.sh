#!/bin/bash
# Takes the README's pictures of the statistics window and the timer strip under Xvfb and Wine into docs/*.png.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (an x86_64 build directory; default build/screenshots-win64)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/screenshots-win64}
export TOLVAR_ROOT=$root
export WINEPREFIX=${TOLVAR_SHOTS_PREFIX:-$root/build/screenshots-prefix}
export TOLVAR_OWN_DISPLAY=1
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" --toolchain "$root/cmake/toolchain-mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target statistics_test -j2

shots=$(mktemp -d)
cleanup() {
  wine_env_stop
  rm -rf "$shots"
}
trap cleanup EXIT
wine_env_start
# Without a window manager on the display, Wine draws the captions and frames itself only when told to.
"$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

TOLVAR_SHOTS="Z:${shots//\//\\}" "$WINELOADER" "$build/statistics_test.exe" \
  --gtest_also_run_disabled_tests --gtest_filter='Screenshots.*' </dev/null

mkdir -p "$root/docs"
for picture in "$shots"/*.bmp; do
  convert "$picture" "$root/docs/$(basename "${picture%.bmp}").png"
done
ls "$root"/docs/*.png
