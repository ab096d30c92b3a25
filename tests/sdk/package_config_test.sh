#!/usr/bin/env bash
# find_package(NubixVSClient) as host projects of each kind see it, from a copy of
# the installed prefix at another place (the package must not remember where it
# was installed): the build of the project's bitness, the .lib for MSVC and
# compilers simulating it, the .dll.a for MinGW; a bitness the SDK does not hold, or
# another major version, finds nothing.
#   package_config_test.sh PREFIX PROBE_SOURCE_DIR WORK_DIR "ARCHES"  (CMAKE: the cmake to run)
set -euo pipefail
prefix=$1 probe=$2 work=$3 arches=$4
cmake=${CMAKE:-cmake}
rm -rf "$work"
mkdir -p "$work"
moved="$work/moved prefix"
cp -a "$prefix" "$moved"

found() {  # ARCH IMPORT_LIBRARY
  printf '%s\n' "TYPE=SHARED_LIBRARY" "IMPORTED=TRUE" "IMPORTED_LOCATION=$moved/bin/$1/NubixVSClient.dll" \
    "IMPORTED_IMPLIB=$moved/lib/$1/$2" "INTERFACE_INCLUDE_DIRECTORIES=$moved/include"
}

status=0
n=0
# compiler | pointer size | version asked for | expected
while IFS='|' read -r compiler bits version expect; do
  n=$((n + 1))
  arch=x86
  [ "$bits" = 8 ] && arch=x64
  # A bitness the SDK does not hold is not found, whatever else is asked.
  case " $arches " in *" $arch "*) ;; *) expect=none ;; esac
  case $expect in
    lib) want=$(found $arch NubixVSClient.lib) ;;
    dll.a) want=$(found $arch libNubixVSClient.dll.a) ;;
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
mingw|8||dll.a
msvc|8|1.0|lib
clang-msvc|8|1|lib
mingw|4|2|none
mingw|4|0.9|none
mingw|8|2|none
CASES
exit $status
