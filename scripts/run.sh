#!/usr/bin/env bash
# Builds Tolvar.exe and starts it under Wine where a person can see it, with the simulated
# remote-access service. Bring a simulated connection up and down with tools/rasapi32/rasctl.sh.
# Usage: scripts/run.sh [--win32]   (--win32: the i686 build under 32-bit Wine; default the x86_64 build)
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"

preset=win64
case ${1:-} in
  "") ;;
  --win32) preset=win32 ;;
  *) echo "usage: $0 [--win32]" >&2; exit 2 ;;
esac
demo="$TOLVAR_ROOT/build/demo"
[ "$preset" = win32 ] && demo="$TOLVAR_ROOT/build/demo32"

# The demo's own prefix, whatever the caller's shell names: stopping it ends every process in it.
export WINEPREFIX="$demo-prefix"
export WINEDLLOVERRIDES="rasapi32=n,b"
source scripts/wine-env.sh
screenshot_loop=""
cleanup() {
  if [ -n "$screenshot_loop" ]; then kill "$screenshot_loop" 2>/dev/null || true; wait "$screenshot_loop" 2>/dev/null || true; fi
  wine_env_stop
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ "$preset" = win32 ]; then
  if ! why=$(bash scripts/deps.sh --wine32); then echo "$why" >&2; exit 1; fi
else
  bash scripts/deps.sh
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)" --target Tolvar rasapi32_sim wine_keepalive

mkdir -p "$demo"
cp "build/$preset/Tolvar.exe" "build/$preset/rasapi32.dll" "$demo/"
if [ "$preset" = win32 ]; then wine_env_start --win32; else wine_env_start; fi

cat <<EOT
Tolvar ($preset) runs in a Wine desktop window on display $DISPLAY, with its icon in the taskbar's notification area.
  Double-click the icon to show the statistics; right-click it for the menu.
  Simulated connection:  tools/rasapi32/rasctl.sh $demo up      (and: down)
  Its data file:         $demo/Tq.dat
Close the program with its Exit command, or press Ctrl-C here.
EOT
if [ -n "$_wine_env_started_xvfb" ]; then
  echo "(No display was set: Tolvar runs under Xvfb; a screenshot is saved to $demo/screen.png every 5 s.)"
  ( while sleep 5; do import -display "$DISPLAY" -window root "$demo/screen.png" 2>/dev/null || true; done ) &
  screenshot_loop=$!
fi
# Waited for in the background, so that a TERM reaches the clean-up at once.
"$WINELOADER" explorer /desktop=Tolvar,1024x768 "$demo/Tolvar.exe" &
wait $!
