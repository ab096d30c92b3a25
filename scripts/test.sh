#!/usr/bin/env bash
# Builds both builds and runs the whole test suite under Wine, as far as this machine
# can run it, and ends with what ran, what could not run here and why.
#   - Where the machine runs 32-bit code: the x86 suite (32-bit Wine), the x64 suite
#     (64-bit Wine) with the mixed deployment (x64 host and DLL, 32-bit viewer and
#     control), then the native fuzzers and sanitizer tests.
#   - Where it cannot (or with NUBIX_NO_32BIT=1): the x64 suite, the x86 build's checks
#     that run no 32-bit code (tables, SDK, MSVC-ABI host link), the fuzzers.
# Arguments go to ctest (for instance -R requests); with arguments the fuzzers are
# left out. Fails when anything that ran failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
source "$root/scripts/machine.sh"
bash "$root/scripts/build.sh" "$build"
build=$(cd "$build" && pwd)
logs="$build/test-logs"
mkdir -p "$logs"

summary=()
passed=0
failed=0
status=0

# ctest's closing line: "N% tests passed, F tests failed out of T".
count_ctest() {  # LOG
  local line t f
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1) || true
  if [ -z "$line" ]; then
    # No test matched (a filter that left none): nothing ran, nothing failed.
    grep -q 'No tests were found' "$1" && { echo "0 0"; return; }
    echo "0 1"
    return
  fi
  f=$(echo "$line" | sed -E 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  t=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  echo "$((t - f)) $f"
}

# run_suite NAME TREE WINEARCH|none CTEST_ARGS...: one ctest run, one test at a time
# (tests share the mapping name, the "QUIL" window and the logs), in a subshell
# whose trap stops its wineserver however it ends.
run_suite() {
  local name=$1 tree=$2 arch=$3
  shift 3
  local log="$logs/$(echo "$name" | tr ' /' '__').log"
  echo
  echo "== $name"
  local rc=0
  (
    if [ "$arch" != none ]; then
      source "$root/scripts/wine-env.sh" "$tree" "$arch"
      trap nubix_wine_stop EXIT
    fi
    ctest --test-dir "$tree" -j1 --output-on-failure "$@"
  ) 2>&1 | tee "$log" || rc=$?
  read -r p f < <(count_ctest "$log")
  passed=$((passed + p))
  failed=$((failed + f))
  if [ "$rc" -ne 0 ] || [ "$f" -ne 0 ]; then
    status=1
    summary+=("$name: FAILED ($f of $((p + f)) failed; $log)")
  else
    summary+=("$name: passed ($p tests)")
  fi
}

if [ "$NUBIX_RUNS_32BIT" = 1 ]; then
  run_suite "x86 suite, 32-bit Wine" "$build" win32 "$@"
  run_suite "x64 suite and mixed deployment, 64-bit Wine" "$build/x64" win64 "$@"
else
  run_suite "x64 suite, 64-bit Wine" "$build/x64" win64 -LE needs32 "$@"
  run_suite "x86 build, checks that run no 32-bit code" "$build" none -L static "$@"
  # The tests of a selection, by name (ctest adds the fixtures a selection needs, so
  # what did not run is all the tests less those that did).
  names() { ctest --test-dir "$@" -N | sed -n 's/^ *Test *#[0-9]*: //p' | LC_ALL=C sort; }
  not_run=$(LC_ALL=C comm -23 <(names "$build" "$@") <(names "$build" -L static "$@") | tr '\n' ' ')
  mixed=$(LC_ALL=C comm -12 <(names "$build/x64" "$@") <(names "$build/x64" -L needs32 "$@") | tr '\n' ' ')
  summary+=("not run here, $NUBIX_NO_32BIT_WHY: the x86 suites that run 32-bit code: ${not_run:-none}")
  summary+=("not run here, for the same reason: the mixed deployment (32-bit viewer and control): ${mixed:-none}")
fi

# The whole suite also fuzzes the pure parts natively (FUZZ_SECONDS each).
if [ $# -eq 0 ]; then
  echo
  echo "== native fuzzers and sanitizer tests"
  if bash "$root/scripts/fuzz.sh" "$build/fuzz"; then
    summary+=("native fuzzers and sanitizer tests: passed")
  else
    status=1
    summary+=("native fuzzers and sanitizer tests: FAILED")
  fi
fi

echo
echo "== Summary"
printf '%s\n' "${summary[@]}"
echo "tests: $passed passed, $failed failed"
exit "$status"
