#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix (never the user's ~/.wine).
# The prefix is the nearest "wineprefix" folder above the working directory, or QTV_WINEPREFIX.
# With QTV_WINE_BITS=64 the prefix is a 64-bit one (32-bit programs run there too, from SysWOW64) and the
# program starts under the 64-bit loader: the `wine` launcher would start it through a 32-bit process,
# which redirects system32 to SysWOW64.
set -euo pipefail
if [ -z "${QTV_WINEPREFIX:-}" ]; then
  dir=$PWD
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || { echo "wine-run: no build tree above $PWD" >&2; exit 2; }
  QTV_WINEPREFIX=$dir/wineprefix
fi
launcher=wine
arch=win32
if [ "${QTV_WINE_BITS:-32}" = 64 ]; then
  launcher=/usr/lib/wine/wine64
  arch=win64
fi
export WINEPREFIX=$QTV_WINEPREFIX WINEARCH=$arch WINEDEBUG=${WINEDEBUG:--all}
# No .NET or HTML engine installs; and a crashing program fails at once instead of waiting in Wine's
# debugger until its time runs out.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winedbg.exe=d"}
if [ ! -f "$WINEPREFIX/.qtv-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.qtv-ready" ]; then
      # A first start on a busy machine can give up (wineboot times out waiting for its services): the
      # prefix is then made again from a clean start once, and a second failure says what Wine said.
      log=$WINEPREFIX.boot.log
      if ! wineboot -i >"$log" 2>&1 </dev/null; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        wineboot -i >>"$log" 2>&1 </dev/null || {
          echo "wine-run: could not make the prefix $WINEPREFIX:" >&2
          cat "$log" >&2
          exit 1
        }
      fi
      # Windows, dialogs and message boxes work without an X server through the null driver.
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
      wineserver -w
      touch "$WINEPREFIX/.qtv-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$launcher" "$@"
