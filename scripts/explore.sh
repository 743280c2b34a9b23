#!/usr/bin/env bash
# Runs the data store's explorer for longer than the test command does: random sessions under fault schedules,
# deaths and power losses, checked against its model. Usage: scripts/explore.sh [SECONDS] (default 600).
# TOLVAR_EXPLORE_SEED=N replays one seed with its steps; TOLVAR_EXPLORE_CALLS=1 adds every seam call to the steps;
# TOLVAR_EXPLORE_NO_OLD_JOURNAL=1 leaves out the previous release's journal; TOLVAR_EXPLORE_LIST=1 names every failing seed.
set -euo pipefail
TOLVAR_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOLVAR_ROOT"
seconds=${1:-600}
nice -n 5 cmake --preset native >/dev/null
nice -n 5 cmake --build --preset native -j2 --target tolvar_native_tests >/dev/null
TOLVAR_EXPLORE_SECONDS=$seconds nice -n 5 build/native/tolvar_native_tests --gtest_filter='StoreExplorer.*'
