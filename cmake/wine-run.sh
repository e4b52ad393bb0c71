#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix (never the user's ~/.wine).
# The prefix is the nearest "wineprefix" folder above the working directory, or QTV_WINEPREFIX.
set -euo pipefail
if [ -z "${QTV_WINEPREFIX:-}" ]; then
  dir=$PWD
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || { echo "wine-run: no build tree above $PWD" >&2; exit 2; }
  QTV_WINEPREFIX=$dir/wineprefix
fi
export WINEPREFIX=$QTV_WINEPREFIX WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
# No .NET or HTML engine installs; and a crashing program fails at once instead of waiting in Wine's
# debugger until its time runs out.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winedbg.exe=d"}
if [ ! -f "$WINEPREFIX/.qtv-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.qtv-ready" ]; then
      wineboot -i >/dev/null 2>&1 </dev/null
      # Windows, dialogs and message boxes work without an X server through the null driver.
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
      wineserver -w
      touch "$WINEPREFIX/.qtv-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
