#!/usr/bin/env bash
# Builds the MSVC-ABI host (tests/sdk/msvc_host) without MSVC: clang compiles for
# i686-pc-windows-msvc (ARCH x86) or x86_64-pc-windows-msvc (ARCH x64), lld-link
# links against the SDK's NubixVSClient.lib of that build with no
# runtime at all, and kernel32/user32 come through import libraries that
# llvm-dlltool -k makes from small .def files. Lays out the host directory: the
# host, the SDK's DLL, Quil.exe and ocx/brindle/VANTO.ocx.
#   build_msvc_host.sh PREFIX MSVC_HOST_SOURCE_DIR WORK_DIR CLANG LLD_LINK LLVM_DLLTOOL ARCH
set -euo pipefail
prefix=$1 source=$2 work=$3 clang=$4 lld_link=$5 dlltool=$6 arch=$7
if [ "$arch" = x64 ]; then
  machine=i386:x86-64 target=x86_64-pc-windows-msvc
else
  machine=i386 target=i686-pc-windows-msvc
fi
for tool in "$clang" "$lld_link" "$dlltool"; do
  command -v "$tool" >/dev/null || { echo "$tool not found (scripts/install-deps.sh clang lld llvm)"; exit 1; }
done
rm -rf "$work"
host="$work/host"
mkdir -p "$host/ocx/brindle"

# x64 names carry no @N decoration: the same .def files, without it.
for dll in kernel32 user32; do
  if [ "$arch" = x64 ]; then
    sed 's/@[0-9]*[[:space:]]*$//' "$source/$dll.def" >"$work/$dll.def"
  else
    cp "$source/$dll.def" "$work/$dll.def"
  fi
  "$dlltool" -m "$machine" -k -d "$work/$dll.def" -l "$work/$dll.lib"
done
# -O0: the ESP checks around each call need a frame with no deferred adjustments.
"$clang" --target="$target" -std=c++17 -O0 -Wall -Wextra -Werror \
  -fno-builtin -fno-exceptions -fno-rtti -fno-stack-protector -nostdlibinc \
  -I "$source/include" -I "$prefix/include" -c "$source/msvc_host.cpp" -o "$work/msvc_host.obj"
"$lld_link" /nologo /nodefaultlib /entry:HostMain /subsystem:console /out:"$host/msvc_host.exe" \
  "$work/msvc_host.obj" "$prefix/lib/$arch/NubixVSClient.lib" "$work/kernel32.lib" "$work/user32.lib"

cp "$prefix/bin/$arch/NubixVSClient.dll" "$prefix/tools/$arch/Quil.exe" "$host/"
cp "$prefix/tools/$arch/ocx/brindle/VANTO.ocx" "$host/ocx/brindle/"
echo "built $host/msvc_host.exe"
