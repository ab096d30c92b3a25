#!/usr/bin/env bash
# Builds everything and runs the benchmark (bench/) under Wine, for each build this
# machine runs (x86 where it runs 32-bit code, and x64), twice each: first with
# every process pinned to CPU 0 (the wineserver, the benchmark and the viewer
# simulators it starts), then unpinned. Prints the runs joined into one table, and
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
source "$root/scripts/machine.sh"
bash "$root/scripts/build.sh" "$build"
build=$(cd "$build" && pwd)

# Restarts this prefix's wineserver under the given command prefix (taskset or none).
restart_server() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  setsid "$@" wineserver -p >/dev/null 2>&1 < /dev/null &
  for _ in $(seq 1 50); do
    "$@" "$NUBIX_WINE" cmd /c exit >/dev/null 2>&1 && break
    sleep 0.1
  done
}

# run TREE LABEL [taskset -c 0]: one whole benchmark run; its rows go to bench-LABEL.tsv.
status=0
columns=()
files=()
run() {
  local tree=$1 label=$2
  shift 2
  restart_server "$@"
  echo "== nubix_bench, $label" >&2
  rm -f "$tree/bin/bench-$label.tsv"
  (cd "$tree/bin" && "$@" "$NUBIX_WINE" nubix_bench.exe --label "$label" --figures "bench-$label.tsv" \
    "${bench_args[@]}") || status=$?
  touch "$tree/bin/bench-$label.tsv"

}
bench_args=("$@")

builds=()
[ "$NUBIX_RUNS_32BIT" = 1 ] && builds+=("x86 $build win32")
builds+=("x64 $build/x64 win64")
for entry in "${builds[@]}"; do
  read -r arch tree winearch <<<"$entry"
  (
    source "$root/scripts/wine-env.sh" "$tree" "$winearch" >&2
    trap nubix_wine_stop EXIT
    run "$tree" "$arch-pinned" taskset -c 0
    run "$tree" "$arch-unpinned"
    exit "$status"
  ) || status=$?
  columns+=("$arch pinned (taskset -c 0)" "$arch unpinned")
  files+=("$tree/bin/bench-$arch-pinned.tsv" "$tree/bin/bench-$arch-unpinned.tsv")
done

table="$build/bench-results.md"
{
  echo "nubix_bench $(date -u +%Y-%m-%d), $(nproc) CPUs, $(wine64 --version 2>/dev/null || /usr/lib/wine/wine64 --version), arguments: ${bench_args[*]:-none}"
  [ "$NUBIX_RUNS_32BIT" = 1 ] || echo "(x86 not run: $NUBIX_NO_32BIT_WHY)"
  echo
  header="| figure |"
  rule="|---|"
  for c in "${columns[@]}"; do header+=" $c |"; rule+="---|"; done
  echo "$header target |"
  echo "$rule---|"
  # Each file: key, title, target, value; numbered first, so that an empty file (a
  # run that failed) keeps its column.
  for i in "${!files[@]}"; do awk -F'\t' -v f="$((i + 1))" '{ print f "\t" $0 }' "${files[$i]}"; done |
    awk -F'\t' -v n="${#files[@]}" '
      { if (!($2 in title)) { title[$2] = $3; target[$2] = $4; order[++rows] = $2 } value[$2, $1] = $5 }
      END {
        for (i = 1; i <= rows; ++i) {
          k = order[i]; line = "| " title[k] " |"
          for (j = 1; j <= n; ++j) line = line " " value[k, j] " |"
          print line " " target[k] " |"
        }
      }'
} > "$table"
echo
cat "$table"
exit "$status"
