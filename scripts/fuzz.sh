#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, ASan, UBSan) and runs each for a bounded time on its corpus.
# Usage: scripts/fuzz.sh [seconds per fuzzer, default 20]
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
seconds=${1:-20}
out=build/fuzz
mkdir -p "$out"
flags=(-std=c++17 -g -O1 -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
# The whole platform-free code, with the fakes standing in for the outside world.
core_with_fakes=(core/*.cpp fakes/*.cpp)
status=0
for source in tests/fuzz/fuzz_*.cpp; do
  name=$(basename "$source" .cpp)
  corpus="tests/fuzz/corpus/${name#fuzz_}"
  mkdir -p "$corpus"
  clang++ "${flags[@]}" "$source" "${core_with_fakes[@]}" -o "$out/$name"
  # New inputs go to a scratch folder; the repository keeps only the small seed corpus.
  mkdir -p "$out/$name-new"
  if "$out/$name" -max_total_time="$seconds" -max_len=256 -print_final_stats=0 "$out/$name-new" "$corpus" \
      >"$out/$name.log" 2>&1; then
    echo "fuzz $name: $(grep -Eo '#[0-9]+' "$out/$name.log" | tail -1 | tr -d '#') runs, no fault"
  else
    echo "fuzz $name: FAILED (see $out/$name.log)"
    tail -30 "$out/$name.log"
    status=1
  fi
done
exit $status
