#!/usr/bin/env bash
# Builds and runs every test: Linux, 32-bit Windows under Wine, and Linux under the sanitizers.
# Usage: scripts/test.sh [preset ...]   (default: linux win32 asan)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux win32 asan)

for preset in "${presets[@]}"; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  exclude=()
  case "$preset" in
    win32)
      # A warm, persistent wineserver makes each test process start in a fraction of a second. All
      # output goes to /dev/null: a wine process holding ctest's pipe would keep ctest waiting.
      export QTV_WINEPREFIX=$PWD/build/win32/wineprefix
      cmake/wine-run.sh cmd /c exit >/dev/null 2>&1 </dev/null
      (WINEPREFIX=$QTV_WINEPREFIX wineserver -p) >/dev/null 2>&1 </dev/null
      exclude=(-LE slow)
      ;;
    asan) exclude=(-LE slow) ;;
  esac
  echo "== $preset: test"
  status=0
  ctest --preset "$preset" "${exclude[@]}" || status=$?
  if [ "$preset" = win32 ]; then
    WINEPREFIX=$QTV_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
    unset QTV_WINEPREFIX
  fi
  [ $status -eq 0 ] || exit $status
done
