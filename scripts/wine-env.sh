# Sourced: a private Wine prefix inside the build tree and a persistent wineserver for
# this run. Usage: source scripts/wine-env.sh BUILD_DIR; the caller's EXIT trap should
# call nubix_wine_stop.
nubix_build_dir=$(cd "${1:?build directory}" && pwd)
export WINEPREFIX="$nubix_build_dir/wineprefix"
export WINEDEBUG=-all

if [ ! -f "$WINEPREFIX/.nubix-ready" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  # No display here: the null driver still gives real windows and messages.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.nubix-ready"
fi

setsid wineserver -p >/dev/null 2>&1 < /dev/null &
# Wait until the server answers, so that the first program does not start its own.
for _ in $(seq 1 50); do
  wine cmd /c exit >/dev/null 2>&1 && break
  sleep 0.1
done

nubix_wine_stop() { wineserver -k >/dev/null 2>&1 || true; }
