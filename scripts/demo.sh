#!/usr/bin/env bash
# The whole road of a host, under Wine: lays out a host directory (vsclient.exe, the
# DLL, the viewer simulator as Quil.exe, the stand-in control as ocx\brindle\VANTO.ocx)
# with the control not yet registered, so that the first open registers it through
# regsvr32; opens the simulated server, takes pictures on two channels, fetches a
# record file, posts recording parameters, closes, and prints both logs as UTF-8.
# The 32-bit road (x86 build, 32-bit Wine) where this machine runs 32-bit code, the
# 64-bit road (x64 build, 64-bit Wine) where it cannot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
source "$root/scripts/machine.sh" >/dev/null
if [ "$NUBIX_RUNS_32BIT" = 1 ]; then
  echo "This machine runs 32-bit code: the demo takes the 32-bit road (x86 build, 32-bit Wine)."
  tree="$build" arch=win32
else
  echo "This machine cannot run 32-bit code ($NUBIX_NO_32BIT_WHY):"
  echo "the demo takes the 64-bit road (x64 build, 64-bit Wine)."
  tree="$build/x64" arch=win64
fi
bash "$root/scripts/build.sh" "$build" >/dev/null
tree=$(cd "$tree" && pwd)
source "$root/scripts/wine-env.sh" "$tree" "$arch"
trap nubix_wine_stop EXIT

host="$tree/demo-host"
rm -rf "$host"
mkdir -p "$host/ocx/brindle"
cp "$tree/bin/vsclient.exe" "$tree/bin/NubixVSClient.dll" "$tree/bin/Quil.exe" "$host/"
cp "$tree/bin/ocx/brindle/VANTO.ocx" "$host/ocx/brindle/"

drive_c="$WINEPREFIX/drive_c"
rm -f "$drive_c/nv.log" "$drive_c/vs.log"
rm -rf "$drive_c/demo" && mkdir -p "$drive_c/demo"
"$NUBIX_WINE" reg delete 'HKCR\CLSID\{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}' /f >/dev/null 2>&1 || true

echo "== vsclient: the host's road, every callback as it arrives"
set +e
(cd "$host" && "$NUBIX_WINE" vsclient.exe --server 192.168.1.20 --user admin --password secret --timeout 20 \
  capture 1 'C:\demo\channel1.bmp' \
  capture 2 'C:\demo\channel2.png' \
  record 2 'C:\demo\channel2.rec' \
  params 2 0102030405060708090A0B0C) | tr -d '\r'
status=${PIPESTATUS[0]}
set -e
echo "vsclient exit status: $status"

echo
echo "== files the viewer produced"
for f in channel1.bmp channel2.png channel2.rec; do
  p="$drive_c/demo/$f"
  if [ -f "$p" ]; then
    printf '%-14s %7d bytes  %s\n' "$f" "$(stat -c %s "$p")" "$(file -b "$p" 2>/dev/null || head -c 16 "$p" | od -An -c | head -1)"
  else
    echo "$f missing"; status=1
  fi
done

for log in nv.log vs.log; do
  echo
  echo "== c:\\$log (GBK, shown as UTF-8)"
  iconv -f GBK -t UTF-8 "$drive_c/$log" | tr -d '\r'
done
exit "$status"
