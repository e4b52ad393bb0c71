#!/usr/bin/env bash
# Takes the pictures of the about box that the documentation shows, each on a virtual X server:
#   docs/about-box-linux.png    the GTK window in its frame from a window manager (openbox; without it the
#                               picture shows the window's inside only)
#   docs/about-box-windows.png  the 32-bit Windows build under Wine, in a throwaway prefix whose X11
#                               driver draws the window frame itself
# Usage: scripts/screenshot-about.sh [linux-build-folder] [win32-build-folder]
#        (defaults build/about-linux and build/about-win32; each must be configured already)
set -euo pipefail
cd "$(dirname "$0")/.."

title="QTV Checksum OCX 1.0.0"

# Runs a program that shows the about box, waits for the box, saves a picture of it (in its frame, where a
# window manager draws one) and ends the program.
shoot() {
  local picture=$1
  shift
  "$@" >/dev/null 2>&1 </dev/null &
  local program=$! window=""
  for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
  done
  if [ -z "$window" ]; then
    echo "screenshot-about: no about box appeared for $*" >&2
    kill "$program" 2>/dev/null || true
    return 1
  fi
  sleep 1 # let it finish drawing
  import -frame -window "$window" "$picture"
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
}

if [ "${1:-}" = --on-display ]; then
  linux_program=$2 windows_program=$3
  manager=""
  if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 </dev/null &
    manager=$!
    sleep 1
  fi
  shoot docs/about-box-linux.png "$linux_program"
  if [ -n "$manager" ]; then
    kill "$manager" 2>/dev/null || true
    wait "$manager" 2>/dev/null || true
  fi

  prefix=$(mktemp -d /tmp/qtv-about-shot-XXXXXX)
  trap 'WINEPREFIX=$prefix/wine wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
  export WINEPREFIX=$prefix/wine WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1 </dev/null
  # Unmanaged windows: Wine draws caption and borders itself, as Windows would.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  wineserver -w
  shoot docs/about-box-windows.png wine "$windows_program"
  exit 0
fi

linux_build=${1:-build/about-linux}
windows_build=${2:-build/about-win32}
cmake --build "$linux_build" --target show_about_box >/dev/null
cmake --build "$windows_build" --target show_about_box >/dev/null
mkdir -p docs
xvfb-run -a -s "-screen 0 800x600x24" "$0" --on-display "$linux_build/bin/show_about_box" \
  "$windows_build/bin/show_about_box.exe"
echo "screenshot-about: wrote docs/about-box-linux.png and docs/about-box-windows.png"
