#!/usr/bin/env bash
# Prints Tolvar's measured figures on this machine in one run: the idle poll; the resident private memory, CPU use
# and start-up against a minimal Win32 program that polls the same service at the same rates; the detailed list,
# export and Clear with 10 000 records; the history by period and its CSV with 100 000; and the executables' sizes.
# Usage: bench/run.sh [ROUNDS [SECONDS]]   (default 5 rounds of 60 s of CPU sampling, 300 s in all)
# Each round starts Tolvar.exe and the minimal program side by side with no connection, reads their private memory
# 15 s after the start, then their CPU time over SECONDS. TOLVAR_BENCH_EARLIER=path/to/Tolvar.exe measures an
# earlier build the same way, in rounds of its own beside the minimal program (two Tolvars cannot run at once).
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
rounds=${1:-5}
seconds=${2:-60}
earlier=${TOLVAR_BENCH_EARLIER:-}
bash scripts/deps.sh
for preset in native win64 win32; do
  cmake --preset "$preset" >/dev/null
done
cmake --build --preset native -j2 --target tolvar_bench >/dev/null
cmake --build --preset win64 -j2 --target Tolvar rasapi32_sim minimal_poller startup_timer log_tools_timing \
  wine_keepalive >/dev/null
cmake --build --preset win32 -j2 --target Tolvar >/dev/null

echo "== Idle poll (native, fake status source)"
build/native/tolvar_bench --benchmark_filter='Idle|SameSecond' 2>/dev/null | grep -E '^BM_'

echo "== History by period and its CSV, 100 000 records (native, fake disk; times and ratios to loading the log)"
build/native/tolvar_bench --benchmark_filter='HistoryOfALongLog' 2>/dev/null | grep -E '^BM_'

# A prefix of the benchmark's own, whatever the caller's shell has.
export WINEPREFIX="$TOLVAR_ROOT/build/bench-prefix"
export WINEDLLOVERRIDES="rasapi32=n,b"
export TOLVAR_OWN_DISPLAY=1
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
started=()
stop_started() {
  local pid
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  started=()
}
cleanup() {
  stop_started
  wine_env_stop
}
trap cleanup EXIT
wine_env_start

work="$TOLVAR_ROOT/build/bench"
rm -rf "$work"
mkdir -p "$work/tolvar" "$work/plain"
cp build/win64/Tolvar.exe build/win64/rasapi32.dll "$work/tolvar/"
cp build/win64/minimal_poller.exe build/win64/rasapi32.dll "$work/plain/"
candidates=(tolvar)
if [ -n "$earlier" ]; then
  mkdir -p "$work/earlier"
  cp "$earlier" "$work/earlier/Tolvar.exe"
  cp build/win64/rasapi32.dll "$work/earlier/"
  candidates+=(earlier)
fi
exe_of() { case "$1" in plain*) echo "$work/$1/minimal_poller.exe" ;; *) echo "$work/$1/Tolvar.exe" ;; esac; }
# The minimal program a candidate is measured beside: of the same build.
plain_of() { case "$1" in *32) echo plain32 ;; *) echo plain ;; esac; }

# Starts a program in the background; records its pid, and that of the Linux process running it in `program_pid`.
launch() {
  local exe=$1 pid=""
  "$WINELOADER" "$exe" >/dev/null 2>&1 </dev/null &
  started+=($!)
  for _ in $(seq 1 100); do
    pid=$(pgrep -f -x "$exe" | head -1 || true)
    [ -n "$pid" ] && break
    sleep 0.1
  done
  [ -n "$pid" ] || { echo "could not find the process of $exe" >&2; return 1; }
  [ "$pid" = "${started[-1]}" ] || started+=("$pid")
  program_pid=$pid
}
# Private dirty memory in kB: what the process has written for itself.
private_kb() { awk '/^Private_Dirty:/ { sum += $2 } END { print sum }' "/proc/$1/smaps"; }
# CPU seconds the process uses over the next $2 seconds: perf's task clock when it can count, else the
# 10 ms ticks of /proc/PID/stat.
cpu_over() {
  local pid=$1 span=$2 out
  if command -v perf >/dev/null && out=$(perf stat -e task-clock -x, -p "$pid" -- sleep "$span" 2>&1 >/dev/null); then
    echo "$out" | awk -F, '/task-clock/ { print ($1 ~ /^[0-9.]+$/ ? $1 / 1000 : 0) }'
  else
    local hz t0 t1
    hz=$(getconf CLK_TCK)
    t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep "$span"
    t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    awk -v t=$((t1 - t0)) -v hz="$hz" 'BEGIN { print t / hz }'
  fi
}

echo "== Private memory 15 s after the start and CPU use over ${rounds} x ${seconds} s, no connection"
# Rounds of each candidate beside its minimal program, then each one's summary: measure CANDIDATE...
measure() {
  local round candidate
  : >"$results"
  for round in $(seq 1 "$rounds"); do
    for candidate in "$@"; do
      launch "$(exe_of "$(plain_of "$candidate")")"
      plain_pid=$program_pid
      launch "$(exe_of "$candidate")"
      sleep 15
      program_kb=$(private_kb "$program_pid"); plain_kb=$(private_kb "$plain_pid")
      cpu_over "$program_pid" "$seconds" >"$work/cpu-program" &
      sampler=$!
      started+=("$sampler")
      plain_cpu=$(cpu_over "$plain_pid" "$seconds")
      wait "$sampler"
      program_cpu=$(cat "$work/cpu-program")
      echo "$candidate $round $program_kb $plain_kb $program_cpu $plain_cpu" >>"$results"
      awk -v c="$candidate" -v r="$round" -v m="$program_kb" -v pm="$plain_kb" -v t="$program_cpu" -v p="$plain_cpu" \
        'BEGIN { printf "  %-8s round %d: memory %5.0f kB vs %5.0f kB (%.2f), CPU %.3f s vs %.3f s (%.2f)\n",
                 c, r, m, pm, m / pm, t, p, (p > 0 ? t / p : 0) }'
      stop_started
    done
  done
  for candidate in "$@"; do
    awk -v c="$candidate" -v s="$seconds" '$1 == c {
        n++; m[n] = $3 / $4; t += $5; p += $6; r[n] = ($6 > 0 ? $5 / $6 : 0); mk += $3; pk += $4 }
      END {
        lo = r[1]; hi = r[1]; mlo = m[1]; mhi = m[1]
        for (i = 2; i <= n; i++) { if (r[i] < lo) lo = r[i]; if (r[i] > hi) hi = r[i]
                                   if (m[i] < mlo) mlo = m[i]; if (m[i] > mhi) mhi = m[i] }
        printf "%-8s private memory %.1f MB vs %.1f MB, ratio %.2f (rounds %.2f to %.2f)\n",
               c, mk / n / 1024, pk / n / 1024, mk / pk, mlo, mhi
        printf "%-8s CPU %.2f s vs %.2f s in %d s (%.3f %% vs %.3f %%), ratio %.2f (rounds %.2f to %.2f)\n",
               c, t, p, n * s, 100 * t / (n * s), 100 * p / (n * s), (p > 0 ? t / p : 0), lo, hi }' "$results"
  done
}
results="$work/rounds.txt"
measure "${candidates[@]}"

# The i686 build beside the i686 minimal program, under 32-bit Wine in a prefix of its own.
echo "== The same for the i686 build under 32-bit Wine, ${rounds} x ${seconds} s"
if why=$(bash scripts/deps.sh --wine32 2>&1 | tail -1; exit "${PIPESTATUS[0]}"); then
  cmake --build --preset win32 -j2 --target Tolvar rasapi32_sim minimal_poller wine_keepalive >/dev/null
  mkdir -p "$work/tolvar32" "$work/plain32"
  cp build/win32/Tolvar.exe build/win32/rasapi32.dll "$work/tolvar32/"
  cp build/win32/minimal_poller.exe build/win32/rasapi32.dll "$work/plain32/"
  wine_env_stop
  export WINEPREFIX="$TOLVAR_ROOT/build/bench-prefix32"
  wine_env_start --win32
  measure tolvar32
  wine_env_stop
  export WINEPREFIX="$TOLVAR_ROOT/build/bench-prefix"
else
  echo "skipped: $why"
fi

# A fresh server and display for the start-ups; stopping first ends the display this script started before.
wine_env_stop
wine_env_start

windows_work=$("$WINELOADER" winepath -w "$work" 2>/dev/null | tr -d '\r')
echo "== Start-up to the tray icon (median of 5 later starts, the programs in turn)"
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
start_once() { "$WINELOADER" build/win64/startup_timer.exe "$windows_work\\$1" "$2" 2>/dev/null | tr -d '\r'; }
path_of() { case "$1" in plain) echo 'plain\minimal_poller.exe' ;; *) echo "$1\\Tolvar.exe" ;; esac; }
kind_of() { case "$1" in plain) echo plain ;; *) echo tolvar ;; esac; }
# The first start of each creates its settings and warms the caches: it is not timed.
for program in plain "${candidates[@]}"; do
  start_once "$(path_of "$program")" "$(kind_of "$program")" >/dev/null
  : >"$work/starts-$program"
done
for _ in 1 2 3 4 5; do
  for program in plain "${candidates[@]}"; do
    start_once "$(path_of "$program")" "$(kind_of "$program")" >>"$work/starts-$program"
  done
done
plain_ms=$(median <"$work/starts-plain")
for candidate in "${candidates[@]}"; do
  awk -v c="$candidate" -v t="$(median <"$work/starts-$candidate")" -v p="$plain_ms" \
    -v lo="$(sort -n "$work/starts-$candidate" | head -1)" -v hi="$(sort -n "$work/starts-$candidate" | tail -1)" \
    -v plo="$(sort -n "$work/starts-plain" | head -1)" -v phi="$(sort -n "$work/starts-plain" | tail -1)" \
    'BEGIN { printf "%-8s %.0f ms (%.0f to %.0f), minimal program %.0f ms (%.0f to %.0f), ratio %.2f\n",
             c, t, lo, hi, p, plo, phi, t / p }'
done

echo "== Detailed list, export and Clear with 10 000 records"
"$WINELOADER" build/win64/log_tools_timing.exe 2>/dev/null | tr -d '\r'

echo "== Executables (stripped)"
ls -l build/win64/Tolvar.exe build/win32/Tolvar.exe | awk '{printf "%-24s %7.1f KB\n", $9, $5 / 1024}'
