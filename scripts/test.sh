#!/usr/bin/env bash
# Builds and runs every test: Linux, 32-bit and 64-bit Windows under Wine, Linux under AddressSanitizer
# with UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and a short run of each fuzzer.
# Usage: scripts/test.sh [preset ...]   (default: linux win32 win64-signed asan tsan fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."

# One preset: build, then test. The Windows presets come here inside cmake/with-32bit-programs.sh, so
# that the build, the persistent Wine server and every test share one place where 32-bit programs run.
if [ "${1:-}" = --one ]; then
  preset=$2
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  source scripts/wine-server.sh
  exclude=()
  case "$preset" in
    win32) start_wine win32 wine-run.sh; exclude=(-LE slow) ;;
    win64 | win64-signed) start_wine "$preset" wine64-run.sh; exclude=(-LE slow) ;;
    asan) exclude=(-LE slow) ;;
  esac
  echo "== $preset: test"
  status=0
  ctest --preset "$preset" "${exclude[@]}" || status=$?
  [ -z "${QTV_WINEPREFIX:-}" ] || stop_wine
  exit $status
fi

bash scripts/setup.sh
presets=("$@")
# The 64-bit Windows build is tested signed, by a throwaway authority: every test passes on signed
# files, and every shipped file is checked for its signature; win32 is the unsigned build.
[ ${#presets[@]} -gt 0 ] || presets=(linux win32 win64-signed asan tsan fuzz)

route_status=0
route=$(cmake/with-32bit-programs.sh --route) || route_status=$?
left_out=""
for preset in "${presets[@]}"; do
  case "$preset" in
    win32 | win64 | win64-signed)
      if [ $route_status -eq 0 ]; then
        echo "== $preset: 32-bit programs run $route"
        cmake/with-32bit-programs.sh bash scripts/test.sh --one "$preset"
        continue
      fi
      # Only a machine where no way to run them can be had leaves them out; one that lacks what the
      # set-up brings fails here instead of passing with less tested.
      if [ $route_status -ne 1 ]; then
        echo "== $preset: 32-bit programs cannot run here though they could: $route" >&2
        exit 1
      fi
      left_out="win32, and in win64 the 32-bit control, the installer and the zip"
      if [ "$preset" = win32 ]; then
        echo "== win32: SKIPPED: this machine runs no 32-bit programs ($route)"
        continue
      fi
      ;;
  esac
  bash scripts/test.sh --one "$preset"
done
[ -z "$left_out" ] || echo "== not tested on this machine, which runs no 32-bit programs: $left_out"
