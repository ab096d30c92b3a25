#!/usr/bin/env bash
# Installs what building and testing need, when it is missing: the mingw-w64 cross
# compilers for x86 and x64 (posix threads), 64-bit Wine, 32-bit Wine where this
# machine runs 32-bit code, CMake and the GoogleTest sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/machine.sh" >/dev/null

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v cmake >/dev/null || need+=(cmake)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v wine >/dev/null || need+=(wine)
dpkg -s wine64 >/dev/null 2>&1 || need+=(wine64)
# 32-bit Wine cannot start where the kernel refuses i386 programs.
if [ "$NUBIX_RUNS_32BIT" = 1 ]; then
  dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
fi
for extra in "$@"; do
  case "$extra" in
    llvm) command -v llvm-dlltool >/dev/null || need+=(llvm) ;;
    clang) command -v clang >/dev/null || need+=(clang) ;;
    lld) command -v lld-link >/dev/null || need+=(lld) ;;
    libclang-rt-14-dev) dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev) ;;
    *) need+=("$extra") ;;
  esac
done
[ ${#need[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${need[*]}"
if printf '%s\n' "${need[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
