#!/usr/bin/env bash
# Builds Tolvar.exe and starts it under Wine where a person can see it, with the simulated
# remote-access service. Bring a simulated connection up and down with tools/rasapi32/rasctl.sh.
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
bash scripts/deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)" --target Tolvar rasapi32_sim

demo="$TOLVAR_ROOT/build/demo"
mkdir -p "$demo"
cp build/win64/Tolvar.exe build/win64/rasapi32.dll "$demo/"
export WINEPREFIX="$TOLVAR_ROOT/build/demo-prefix"
export WINEDLLOVERRIDES="rasapi32=n,b"
source scripts/wine-env.sh
wine_env_start
trap wine_env_stop EXIT

cat <<EOT
Tolvar runs in a Wine desktop window on display $DISPLAY, with its icon in the taskbar's notification area.
  Double-click the icon to show the statistics; right-click it for the menu.
  Simulated connection:  tools/rasapi32/rasctl.sh $demo up      (and: down)
  Its data file:         $demo/Tq.dat
Close the program with its Exit command, or press Ctrl-C here.
EOT
if [ -n "$_wine_env_started_xvfb" ]; then
  echo "(No display was set: Tolvar runs under Xvfb; a screenshot is saved to $demo/screen.png every 5 s.)"
  ( while sleep 5; do import -display "$DISPLAY" -window root "$demo/screen.png" 2>/dev/null || true; done ) &
  trap 'kill $! 2>/dev/null; wine_env_stop' EXIT
fi
"$WINELOADER" explorer /desktop=Tolvar,1024x768 "$demo/Tolvar.exe"
