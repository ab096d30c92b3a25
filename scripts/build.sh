#!/usr/bin/env bash
# Configures and builds everything into BUILD_DIR (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
# llvm (llvm-dlltool, llvm-readobj), clang and lld: the MSVC import library and the
# MSVC-ABI host of the SDK tests.
bash "$root/scripts/install-deps.sh" llvm clang lld
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
