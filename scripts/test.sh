#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
bash "$root/scripts/build.sh" "$build"
source "$root/scripts/wine-env.sh" "$build"
trap nubix_wine_stop EXIT
# One test at a time: tests share the mapping name, the "QUIL" window and the logs.
ctest --test-dir "$build" -j1 --output-on-failure "$@"
# The whole suite also fuzzes the pure parts natively (FUZZ_SECONDS each).
if [ $# -eq 0 ]; then bash "$root/scripts/fuzz.sh" "$build/fuzz"; fi
