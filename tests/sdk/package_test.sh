#!/usr/bin/env bash
# The SDK holds exactly the expected files (package_files.txt and the docs/*.md of
# the source tree), installed by `cmake --install` into a fresh prefix, or packed
# by `cpack -G ZIP` under one top directory.
#   package_test.sh install BUILD_DIR PREFIX SOURCE_DIR "ARCHES"   (leaves PREFIX for the SDK tests)
#   package_test.sh zip BUILD_DIR WORK_DIR SOURCE_DIR "ARCHES"
# ARCHES: the builds the SDK holds ("x86 x64", or "x64" from the x64 tree alone).
# CMAKE and CPACK name the programs to run.
set -euo pipefail
mode=$1 build=$2 out=$3 source=$4 arches=$5
here=$(cd "$(dirname "$0")" && pwd)
cmake=${CMAKE:-cmake}
cpack=${CPACK:-cpack}

expected() {
  {
    grep -v '^#' "$here/package_files.txt" | grep -v ARCH
    for arch in $arches; do grep -v '^#' "$here/package_files.txt" | grep ARCH | sed "s/ARCH/$arch/"; done
    (cd "$source" && ls docs/*.md)
  } | LC_ALL=C sort
}

rm -rf "$out"
case $mode in
  install)
    "$cmake" --install "$build" --prefix "$out" >/dev/null
    actual=$(cd "$out" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
    # Each host directory's DLL is the SDK's DLL of that build, and the headers are
    # the source's.
    for arch in $arches; do cmp "$out/bin/$arch/NubixVSClient.dll" "$out/tools/$arch/NubixVSClient.dll"; done
    cmp "$out/include/NubixVSClient.h" "$source/include/NubixVSClient.h"
    cmp "$out/include/NubixVSClientSession.hpp" "$source/include/NubixVSClientSession.hpp"
    ;;
  zip)
    mkdir -p "$out"
    (cd "$out" && "$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$out" >/dev/null)
    zips=("$out"/*.zip)
    [ ${#zips[@]} -eq 1 ] || { echo "expected one zip, found: ${zips[*]}"; exit 1; }
    top=$(basename "${zips[0]}" .zip)
    echo "package: $(basename "${zips[0]}")"
    entries=$(cd "$out" && "$cmake" -E tar tf "${zips[0]}" | grep -v '/$')
    if echo "$entries" | grep -qv "^$top/"; then
      echo "entries outside $top/:"; echo "$entries" | grep -v "^$top/"; exit 1
    fi
    actual=$(echo "$entries" | sed "s|^$top/||" | LC_ALL=C sort)
    ;;
  *) echo "usage: $0 install|zip BUILD_DIR OUT SOURCE_DIR ARCHES"; exit 2 ;;
esac

if ! diff -u <(expected) <(echo "$actual"); then
  echo "the $mode layout differs from the expected file list (- expected, + found)"
  exit 1
fi
echo "the $mode layout holds exactly the $(expected | wc -l) expected files"
