#!/usr/bin/env bash
# Builds the native fuzz project (fuzz/, clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), runs the pure parts' unit tests, then every fuzzer for
# FUZZ_SECONDS seconds (default 30) from its corpus in fuzz/corpus/, and prints each
# fuzzer's run count. New inputs go to the build directory, never into the repository.
# Usage: scripts/fuzz.sh [BUILD_DIR]   (default: build/fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build/fuzz"}
seconds=${FUZZ_SECONDS:-30}
bash "$root/scripts/install-deps.sh" clang libclang-rt-14-dev
cmake -S "$root/fuzz" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j2 >/dev/null

echo "Pure parts' unit tests (native, ASan+UBSan)"
"$build/pure_parts_test" --gtest_brief=1

targets=(command_record inbound_result record_params mac_text level_log op_log_line app_paths)
failed=0
printf '%-16s %12s %8s  %s\n' fuzzer runs seconds outcome
for target in "${targets[@]}"; do
  work="$build/run/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  set +e
  "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$root/fuzz/corpus/$target" >"$work/output.txt" 2>&1
  status=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/output.txt" | tail -1)
  outcome=ok
  if [ "$status" -ne 0 ]; then
    outcome="FAILED (exit $status): see $work/output.txt and $work/artifacts/"
    failed=$((failed + 1))
    grep -a -m3 -E 'ERROR|runtime error|property violated' "$work/output.txt" || true
  fi
  printf '%-16s %12s %8s  %s\n' "$target" "${runs:-?}" "$seconds" "$outcome"
done
echo "fuzz: $(( ${#targets[@]} - failed )) passed, $failed failed"
[ "$failed" -eq 0 ]
