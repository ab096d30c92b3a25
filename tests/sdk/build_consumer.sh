#!/usr/bin/env bash
# Configures and builds the consumer project (tests/sdk/consumer) against the
# installed SDK only, with the mingw toolchain file, and completes its host
# directory: the hosts and the DLL (which the consumer's own build copies from the
# imported target) with the SDK's Quil.exe and ocx/brindle/VANTO.ocx beside them.
# The toolchain's bitness picks the SDK's build (ARCH: x86 or x64).
#   build_consumer.sh PREFIX TOOLCHAIN_FILE CONSUMER_SOURCE_DIR WORK_DIR ARCH   (CMAKE: the cmake to run)
set -euo pipefail
prefix=$1 toolchain=$2 source=$3 work=$4 arch=$5
cmake=${CMAKE:-cmake}
rm -rf "$work"
"$cmake" -S "$source" -B "$work" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
"$cmake" --build "$work" -j2
host="$work/host"
cmp "$prefix/bin/$arch/NubixVSClient.dll" "$host/NubixVSClient.dll"
mkdir -p "$host/ocx/brindle"
cp "$prefix/tools/$arch/Quil.exe" "$host/"
cp "$prefix/tools/$arch/ocx/brindle/VANTO.ocx" "$host/ocx/brindle/"
echo "host directory: $(cd "$host" && find . ! -type d | sort | tr '\n' ' ')"
