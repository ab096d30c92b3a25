#!/usr/bin/env bash
# Builds everything and runs the benchmark (bench/) under Wine twice: first with
# every process pinned to CPU 0 (the wineserver, the benchmark and the viewer
# simulators it starts), then unpinned. Prints the two tables joined into one, and
# leaves it in BUILD_DIR/bench-results.md.
#
#   bash scripts/bench.sh              # the normal run: 1000 open/close cycles, a 100,000-request soak
#   bash scripts/bench.sh --long       # 10,000 open/close cycles
#   bash scripts/bench.sh --soak 20000 # a shorter soak
#
# Arguments go to nubix_bench (nubix_bench --help lists them). The benchmark prints
# figures and asserts no time; it fails only when results are lost or repeated.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
bash "$root/scripts/build.sh" "$build"
source "$root/scripts/wine-env.sh" "$build"
trap nubix_wine_stop EXIT

# Restarts this prefix's wineserver under the given command prefix (taskset or none).
restart_server() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  setsid "$@" wineserver -p >/dev/null 2>&1 < /dev/null &
  for _ in $(seq 1 50); do
    "$@" wine cmd /c exit >/dev/null 2>&1 && break
    sleep 0.1
  done
}

# run LABEL [taskset -c 0]: one whole benchmark run; its rows go to bench-LABEL.tsv.
status=0
run() {
  local label=$1
  shift
  restart_server "$@"
  echo "== nubix_bench, $label" >&2
  (cd "$build/bin" && "$@" wine nubix_bench.exe --label "$label" --figures "bench-$label.tsv" "${bench_args[@]}") \
    || status=$?
}
bench_args=("$@")
rm -f "$build/bin/bench-pinned.tsv" "$build/bin/bench-unpinned.tsv"
run pinned taskset -c 0
run unpinned

table="$build/bench-results.md"
touch "$build/bin/bench-pinned.tsv" "$build/bin/bench-unpinned.tsv"
{
  echo "nubix_bench $(date -u +%Y-%m-%d), $(nproc) CPUs, $(wine --version), arguments: ${bench_args[*]:-none}"
  echo
  echo "| figure | pinned (taskset -c 0) | unpinned | target |"
  echo "|---|---|---|---|"
  awk -F'\t' '
    FNR == NR { pinned[$1] = $4; title[$1] = $2; target[$1] = $3; order[++n] = $1; next }
    { unpinned[$1] = $4; if (!($1 in title)) { title[$1] = $2; target[$1] = $3; order[++n] = $1 } }
    END { for (i = 1; i <= n; ++i) { k = order[i]; printf "| %s | %s | %s | %s |\n", title[k], pinned[k], unpinned[k], target[k] } }
  ' "$build/bin/bench-pinned.tsv" "$build/bin/bench-unpinned.tsv"
} > "$table"
echo
cat "$table"
exit "$status"
