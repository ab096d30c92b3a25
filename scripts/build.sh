#!/usr/bin/env bash
# Configures and builds both builds: x86 into BUILD_DIR (default: build) and x64 into
# BUILD_DIR/x64. The x64 tree also knows the x86 host directory, for the mixed
# deployment (x64 host and DLL, 32-bit viewer and control) and the SDK holding both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
# llvm (llvm-dlltool, llvm-readobj), clang and lld: the MSVC import libraries and the
# MSVC-ABI hosts of the SDK tests.
bash "$root/scripts/install-deps.sh" llvm clang lld
mkdir -p "$build/x64"
build=$(cd "$build" && pwd)
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DBUILD_TESTING=ON -DNUBIX_X64_BUILD_DIR="$build/x64" >/dev/null
cmake -S "$root" -B "$build/x64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DBUILD_TESTING=ON -DNUBIX_X86_HOST_DIR="$build/bin" >/dev/null
echo "Building x86 into $build"
cmake --build "$build" -j"$(nproc)"
echo "Building x64 into $build/x64"
cmake --build "$build/x64" -j"$(nproc)"
