# Sourced: a private Wine prefix inside the build tree and a persistent wineserver for
# this run. Usage: source scripts/wine-env.sh BUILD_DIR [win32|win64] (default win32);
# the caller's EXIT trap should call nubix_wine_stop. Sets NUBIX_WINE, the loader to
# start programs with: for win64 the 64-bit loader itself, since the `wine` wrapper
# picks the 32-bit one, which cannot start where the kernel refuses i386 programs.
nubix_build_dir=$(cd "${1:?build directory}" && pwd)
nubix_wine_arch=${2:-win32}
export WINEPREFIX="$nubix_build_dir/wineprefix"
export WINEDEBUG=-all
if [ "$nubix_wine_arch" = win64 ]; then
  export WINEARCH=win64
  NUBIX_WINE=/usr/lib/wine/wine64
  [ -x "$NUBIX_WINE" ] || NUBIX_WINE=$(command -v wine64 || echo wine)
else
  export WINEARCH=win32
  NUBIX_WINE=wine
fi
export NUBIX_WINE

if [ ! -f "$WINEPREFIX/.nubix-ready" ]; then
  echo "Making the $nubix_wine_arch Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  nubix_status=0
  WINEDLLOVERRIDES="mscoree,mshtml=" "$NUBIX_WINE" wineboot.exe -i >/dev/null 2>&1 || nubix_status=$?
  if [ "$nubix_status" -ne 0 ] || [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
    echo "Could not make the Wine prefix ($NUBIX_WINE wineboot -i: exit status $nubix_status)." >&2
    [ "$nubix_status" -eq 126 ] && echo "Exit status 126: this machine cannot run that Wine loader." >&2
    return 1 2>/dev/null || exit 1
  fi
  # No display here: the null driver still gives real windows and messages.
  "$NUBIX_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.nubix-ready"
fi

setsid wineserver -p >/dev/null 2>&1 < /dev/null &
# Wait until the server answers, so that the first program does not start its own.
for _ in $(seq 1 50); do
  "$NUBIX_WINE" cmd /c exit >/dev/null 2>&1 && break
  sleep 0.1
done

nubix_wine_stop() { wineserver -k >/dev/null 2>&1 || true; }
