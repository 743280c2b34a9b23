#!/usr/bin/env bash
# Builds the three builds and runs every test: native (ASan, UBSan) and Windows (under Wine).
set -uo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
bash scripts/deps.sh || exit 1

failed=0
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$(nproc)"; }
build native || exit 1
build win64 || exit 1
build win32 || exit 1

ctest --preset native -j"$(nproc)" 2>&1 | tee build/native-tests.log
native_rc=${PIPESTATUS[0]}

# Fuzzers: a bounded run of each over its seed corpus.
bash scripts/fuzz.sh "${TOLVAR_FUZZ_SECONDS:-10}" 2>&1 | tee build/fuzz.log
fuzz_rc=${PIPESTATUS[0]}

# Static analysis of the project's own code.
bash scripts/lint.sh 2>&1 | tee build/lint.log
lint_rc=${PIPESTATUS[0]}

source scripts/wine-env.sh
TOLVAR_OWN_DISPLAY=1 wine_env_start --tests
trap wine_env_stop EXIT
ctest --preset win64 2>&1 | tee build/wine-tests.log
wine_rc=${PIPESTATUS[0]}

[ "$native_rc" -eq 0 ] && [ "$wine_rc" -eq 0 ] && [ "$fuzz_rc" -eq 0 ] && [ "$lint_rc" -eq 0 ] || failed=1
total=0; bad=0
for log in build/native-tests.log build/wine-tests.log; do
  n=$(grep -Eo 'tests failed out of [0-9]+' "$log" | tail -1 | grep -Eo '[0-9]+$'); n=${n:-0}
  f=$(grep -Eo '[0-9]+ tests failed out of' "$log" | tail -1 | grep -Eo '^[0-9]+'); f=${f:-0}
  total=$((total + n)); bad=$((bad + f))
done
fuzzers=$(grep -c 'no fault' build/fuzz.log); fuzz_bad=$(grep -c 'FAILED' build/fuzz.log)
total=$((total + fuzzers + fuzz_bad + 1)); bad=$((bad + fuzz_bad + (lint_rc != 0)))
echo "tests: $((total - bad)) passed, $bad failed"
exit $failed
