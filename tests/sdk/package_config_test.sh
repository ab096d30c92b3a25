#!/usr/bin/env bash
# find_package(NubixVSClient) as host projects of each kind see it, from a copy of
# the installed prefix at another place (the package must not remember where it
# was installed): the .lib for MSVC and compilers simulating it, the .dll.a for
# MinGW; a 64-bit project or another major version finds nothing.
#   package_config_test.sh PREFIX PROBE_SOURCE_DIR WORK_DIR     (CMAKE: the cmake to run)
set -euo pipefail
prefix=$1 probe=$2 work=$3
cmake=${CMAKE:-cmake}
rm -rf "$work"
mkdir -p "$work"
moved="$work/moved prefix"
cp -a "$prefix" "$moved"

found() {
  printf '%s\n' "TYPE=SHARED_LIBRARY" "IMPORTED=TRUE" "IMPORTED_LOCATION=$moved/bin/NubixVSClient.dll" \
    "IMPORTED_IMPLIB=$moved/lib/$1" "INTERFACE_INCLUDE_DIRECTORIES=$moved/include"
}

status=0
n=0
# compiler | pointer size | version asked for | expected
while IFS='|' read -r compiler bits version expect; do
  n=$((n + 1))
  case $expect in
    lib) want=$(found NubixVSClient.lib) ;;
    dll.a) want=$(found libNubixVSClient.dll.a) ;;
    none) want="not found" ;;
  esac
  got=$("$cmake" -S "$probe" -B "$work/probe$n" -DCMAKE_PREFIX_PATH="$moved" -DPROBE_COMPILER="$compiler" \
          -DPROBE_POINTER_SIZE="$bits" -DPROBE_VERSION="$version" | sed -n 's/^-- probe: //p')
  if [ "$got" != "$want" ]; then
    echo "FAIL: $compiler, $bits-byte pointers, version '$version':"
    diff -u <(echo "$want") <(echo "$got") || true
    status=1
  else
    echo "ok: $compiler, $bits-byte pointers, version '$version': $(echo "$want" | grep IMPORTED_IMPLIB || echo "$want")"
  fi
done <<'CASES'
mingw|4|1.0|dll.a
msvc|4|1.0|lib
clang-msvc|4||lib
mingw|4|1|dll.a
mingw|8||none
msvc|8|1.0|none
mingw|4|2|none
mingw|4|0.9|none
CASES
exit $status
