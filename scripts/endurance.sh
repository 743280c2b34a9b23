#!/usr/bin/env bash
# The long runs of the data-safety and uptime tests: the data file held for 30 s at a connection's end, and
# 200 000 repaints, 2 000 connections and 500 openings of each window and dialog with the footprint checked.
# The ordinary test run takes the 0.05 s and 2 s holds and a slice of the uptime run (5 000, 100, 20).
set -uo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
bash scripts/deps.sh || exit 1
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target e2e_data_safety_test uptime_test || exit 1

# The run's own prefix, whatever the caller's shell names: stopping it ends every process in it.
export WINEPREFIX="$TOLVAR_ROOT/build/endurance-prefix"
source scripts/wine-env.sh
trap wine_env_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
TOLVAR_OWN_DISPLAY=1 wine_env_start --tests
rc=0
export TOLVAR_LONG_RUNS=1 WINEDLLOVERRIDES="rasapi32=n,b"
# Run directly rather than through CTest, whose per-test time limit is meant for the ordinary run.
for test in e2e_data_safety_test uptime_test; do
  start=$(date +%s)
  "$WINELOADER" "build/win64/$test.exe" 2>&1 | tee "build/$test-long.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || rc=1
  echo "$test: $(( $(date +%s) - start )) s"
done
if [ "$rc" -eq 0 ]; then echo "2 passed, 0 failed"; else echo "failures: see build/*-long.log"; fi
exit "$rc"
