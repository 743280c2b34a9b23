#!/usr/bin/env bash
# Prints Tolvar's measured figures on this machine in one run: the idle poll, the resident CPU use and the
# start-up against a minimal Win32 program, the detailed list, export and Clear with 10 000 records, and the
# executables' sizes. Usage: bench/run.sh [seconds of CPU sampling, default 60]
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
seconds=${1:-60}
bash scripts/deps.sh
for preset in native win64 win32; do
  cmake --preset "$preset" >/dev/null
done
cmake --build --preset native -j"$(nproc)" --target tolvar_bench >/dev/null
cmake --build --preset win64 -j"$(nproc)" --target Tolvar rasapi32_sim minimal_poller startup_timer log_tools_test >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target Tolvar >/dev/null

echo "== Idle poll (native, fake status source)"
build/native/tolvar_bench --benchmark_filter='Idle|SameSecond' 2>/dev/null | grep -E '^BM_'

export WINEPREFIX="$TOLVAR_ROOT/build/bench-prefix"
export WINEDLLOVERRIDES="rasapi32=n,b"
source scripts/wine-env.sh
TOLVAR_OWN_DISPLAY=1 wine_env_start
trap wine_env_stop EXIT
work="$TOLVAR_ROOT/build/bench"
rm -rf "$work"; mkdir -p "$work/tolvar" "$work/plain"
cp build/win64/Tolvar.exe build/win64/rasapi32.dll "$work/tolvar/"
cp build/win64/minimal_poller.exe build/win64/rasapi32.dll "$work/plain/"

# CPU ticks (user + system) of the Linux process that runs a Windows program.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
pid_of() { for _ in $(seq 1 100); do p=$(pgrep -f "$1" | head -1); [ -n "$p" ] && { echo "$p"; return; }; sleep 0.1; done; }

echo "== Resident CPU use over ${seconds} s, no connection"
"$WINELOADER" "$work/tolvar/Tolvar.exe" >/dev/null 2>&1 &
"$WINELOADER" "$work/plain/minimal_poller.exe" >/dev/null 2>&1 &
tolvar_pid=$(pid_of 'tolvar/Tolvar.exe'); plain_pid=$(pid_of 'plain/minimal_poller.exe')
sleep 5
t0=$(ticks "$tolvar_pid"); p0=$(ticks "$plain_pid")
sleep "$seconds"
t1=$(ticks "$tolvar_pid"); p1=$(ticks "$plain_pid")
hz=$(getconf CLK_TCK)
awk -v t=$((t1 - t0)) -v p=$((p1 - p0)) -v hz="$hz" -v s="$seconds" 'BEGIN {
  printf "Tolvar.exe      %.2f s CPU (%.2f%%)\nminimal poller  %.2f s CPU (%.2f%%)\nratio           %.2f\n",
         t / hz, 100 * t / hz / s, p / hz, 100 * p / hz / s, (p > 0 ? t / p : 0) }'

kill "$tolvar_pid" "$plain_pid" 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
wine_env_start

windows_work=$("$WINELOADER" winepath -w "$work" 2>/dev/null | tr -d '\r')
echo "== Start-up to the tray icon (median of 5, later starts)"
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
run_starts() {
  for _ in 1 2 3 4 5; do "$WINELOADER" build/win64/startup_timer.exe "$1" "$2" 2>/dev/null | tr -d '\r'; done | median
}
"$WINELOADER" build/win64/startup_timer.exe "$windows_work\\tolvar\\Tolvar.exe" tolvar >/dev/null 2>&1
tolvar_ms=$(run_starts "$windows_work\\tolvar\\Tolvar.exe" tolvar)
plain_ms=$(run_starts "$windows_work\\plain\\minimal_poller.exe" plain)
awk -v t="$tolvar_ms" -v p="$plain_ms" 'BEGIN { printf "Tolvar.exe %.0f ms, minimal program %.0f ms, ratio %.2f\n", t, p, t / p }'

echo "== Detailed list, export and Clear with 10 000 records"
(cd build/win64 && "$WINELOADER" ./log_tools_test.exe --gtest_also_run_disabled_tests \
   --gtest_filter='*DISABLED_FillExportAndClear*' 2>&1 | tr -d '\r' | grep -Ei 'fill|export|clear' | grep -v '^\[' )

echo "== Executables (stripped)"
ls -l build/win64/Tolvar.exe build/win32/Tolvar.exe | awk '{printf "%-24s %7.1f KB\n", $9, $5 / 1024}'
