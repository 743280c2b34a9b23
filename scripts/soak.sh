#!/usr/bin/env bash
# Soak run of the real program: 1000 simulated connections (or $1) with Sum Ups and a tariff change,
# then the log and the totals are checked against each other. Takes about 18 minutes for 1000
# connections (about 1.2 s per connection: up to 1.5 s of connection, its end, a Sum Up every fourth
# and fifth one); 12 connections, the default of the test in the ordinary test run, take about 20 s.
set -uo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT" || exit 1
bash scripts/deps.sh || exit 1

connections=${1:-1000}
cmake --preset win64 >/dev/null && cmake --build --preset win64 -j"$(nproc)" --target e2e_soak_test || exit 1

# The soak run's own prefix, whatever the caller's shell names: stopping it ends every process in it.
export WINEPREFIX="$TOLVAR_ROOT/build/soak-prefix"
source scripts/wine-env.sh
trap wine_env_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
TOLVAR_OWN_DISPLAY=1 wine_env_start --tests
# Run directly rather than through CTest, whose per-test time limit is meant for the ordinary run.
start=$(date +%s)
TOLVAR_SOAK_CONNECTIONS=$connections WINEDLLOVERRIDES="rasapi32=n,b" \
  "$WINELOADER" build/win64/e2e_soak_test.exe --gtest_filter='Soak.*' 2>&1 | tee build/soak.log
rc=${PIPESTATUS[0]}
echo "soak: $connections connections in $(( $(date +%s) - start )) s"
if [ "$rc" -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit "$rc"
