#!/usr/bin/env bash
# Builds the three builds and runs every test: native (ASan, UBSan), fuzzers, static analysis, and the Windows
# tests under Wine in two legs: the x86_64 build under wine64 and the i686 build under 32-bit Wine, each in a
# prefix of its own. Then both builds' outputs of one scripted session are compared byte for byte.
set -uo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT" || exit 1

failed=0
# The Wine prefixes are this script's own, never the caller's: stopping a leg ends every process in its prefix.
source scripts/wine-env.sh
trap wine_env_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

bash scripts/deps.sh || exit 1
# The 32-bit leg needs Debian's 32-bit Wine, and a kernel that runs i386 programs; without one it is skipped.
leg32_skipped=""
mkdir -p build
bash scripts/deps.sh --wine32 >build/deps32.log 2>&1
case $? in
  0) cat build/deps32.log ;;
  3) leg32_skipped=$(tail -1 build/deps32.log)
     echo "i686 leg: skipped, $leg32_skipped" ;;
  *) cat build/deps32.log; echo "i686 leg: installing 32-bit Wine failed"; exit 1 ;;
esac

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$(nproc)"; }
build native || exit 1
build win64 || exit 1
build win32 || exit 1

# Each CTest run also writes its own JUnit report (the path is taken from the build folder, hence absolute);
# the summary below counts from those reports.
rm -f build/native-tests.xml
ctest --preset native -j"$(nproc)" --output-junit "$TOLVAR_ROOT/build/native-tests.xml" 2>&1 |
  tee build/native-tests.log
native_rc=${PIPESTATUS[0]}

# Fuzzers: a bounded run of each over its seed corpus.
bash scripts/fuzz.sh "${TOLVAR_FUZZ_SECONDS:-10}" 2>&1 | tee build/fuzz.log
fuzz_rc=${PIPESTATUS[0]}

# Static analysis of the project's own code.
bash scripts/lint.sh 2>&1 | tee build/lint.log
lint_rc=${PIPESTATUS[0]}

# One Wine leg: its own prefix and display, its CTest preset, its log and time; stopped before the next one starts.
# The session comparison test writes its outputs under build/same-bytes/<preset>.
run_leg() {
  local preset=$1 start
  shift
  start=$(date +%s)
  # A new prefix each run: nothing an interrupted run left (a Run value, a settings key) reaches this one.
  export WINEPREFIX="$TOLVAR_ROOT/build/test-prefix-$preset"
  rm -rf "$WINEPREFIX"
  rm -rf "build/same-bytes/$preset"
  mkdir -p "build/same-bytes/$preset"
  rm -f "build/wine-tests-$preset.xml"
  TOLVAR_OWN_DISPLAY=1 wine_env_start --tests "$@"
  TOLVAR_SAME_BYTES_OUT="$TOLVAR_ROOT/build/same-bytes/$preset" ctest --preset "$preset" \
    --output-junit "$TOLVAR_ROOT/build/wine-tests-$preset.xml" 2>&1 | tee "build/wine-tests-$preset.log"
  local rc=${PIPESTATUS[0]}
  wine_env_stop
  echo $(( $(date +%s) - start )) >"build/wine-tests-$preset.seconds"
  return "$rc"
}

run_leg win64
wine64_rc=$?
wine32_rc=0
if [ -z "$leg32_skipped" ]; then
  run_leg win32 --win32
  wine32_rc=$?
fi

# Both builds drove the same session: their files, registry values and painted texts must be the same bytes.
same_rc=0
if [ -z "$leg32_skipped" ]; then
  if [ -z "$(ls -A build/same-bytes/win64 2>/dev/null)" ] || [ -z "$(ls -A build/same-bytes/win32 2>/dev/null)" ]; then
    echo "same bytes: FAILED, a leg wrote no session outputs"; same_rc=1
  elif diff -r build/same-bytes/win64 build/same-bytes/win32; then
    echo "same bytes: the x86_64 and i686 builds wrote identical outputs ($(find build/same-bytes/win64 -type f | wc -l) files)"
  else
    echo "same bytes: FAILED, the builds differ (above)"; same_rc=1
  fi
fi

[ "$native_rc" -eq 0 ] && [ "$wine64_rc" -eq 0 ] && [ "$wine32_rc" -eq 0 ] && [ "$same_rc" -eq 0 ] &&
  [ "$fuzz_rc" -eq 0 ] && [ "$lint_rc" -eq 0 ] || failed=1

# Counts of one CTest JUnit report, "passed failed", as CTest counts: a test that could not run is a failure,
# one that asked to be skipped by its return code a pass, a disabled one neither. No report: "0 0".
counts() {
  awk '/<testcase / {
         match($0, /status="[a-z]+"/); status = substr($0, RSTART + 8, RLENGTH - 9)
         if (status == "run") passed++; else if (status == "fail") failed++; else notRun = (status == "notrun")
         next
       }
       notRun { if ($0 ~ /<skipped message="SKIP_RETURN_CODE/) passed++; else failed++; notRun = 0 }
       END { print passed + 0, failed + 0 }' "$1" 2>/dev/null || echo "0 0"
}
# One leg's line of the summary: "NAME: P passed, F failed in S s".
leg_line() {
  local ok f
  read -r ok f < <(counts "build/wine-tests-$1.xml")
  echo "$2: $ok passed, $f failed in $(cat "build/wine-tests-$1.seconds" 2>/dev/null || echo '?') s"
}
total=0; bad=0
presets=(native win64)
legs="$(leg_line win64 "x86_64 leg")"
if [ -n "$leg32_skipped" ]; then
  legs="$legs; i686 leg: skipped, $leg32_skipped"
else
  presets+=(win32)
  legs="$legs; $(leg_line win32 "i686 leg")"
  total=$((total + 1)); bad=$((bad + same_rc))
fi
for preset in "${presets[@]}"; do
  report=build/wine-tests-$preset.xml
  [ "$preset" = native ] && report=build/native-tests.xml
  read -r ok f < <(counts "$report")
  total=$((total + ok + f)); bad=$((bad + f))
done
fuzzers=$(grep -c 'no fault' build/fuzz.log); fuzz_bad=$(grep -c 'FAILED' build/fuzz.log)
total=$((total + fuzzers + fuzz_bad + 1)); bad=$((bad + fuzz_bad + (lint_rc != 0)))
echo "tests: $((total - bad)) passed, $bad failed ($legs)"
exit $failed
