#!/usr/bin/env bash
# Builds and runs every test: Linux, 32-bit and 64-bit Windows under Wine, Linux under AddressSanitizer
# with UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and a short run of each fuzzer.
# Usage: scripts/test.sh [preset ...]   (default: linux win32 win64 asan tsan fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux win32 win64 asan tsan fuzz)

source scripts/wine-server.sh

skipped=()
for preset in "${presets[@]}"; do
  # Some machines' kernels run no 32-bit programs: nothing of the 32-bit build can be made or tested
  # there. Say so where everyone reads it, and test the rest.
  if [ "$preset" = win32 ] && ! cmake/runs-32bit-programs.sh; then
    echo "== win32: SKIPPED: this machine runs no 32-bit programs ($(cmake/runs-32bit-programs.sh --why))"
    skipped+=(win32)
    continue
  fi
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  exclude=()
  case "$preset" in
    win32)
      start_wine win32 wine-run.sh
      exclude=(-LE slow)
      ;;
    win64)
      start_wine win64 wine64-run.sh
      exclude=(-LE slow)
      ;;
    asan) exclude=(-LE slow) ;;
  esac
  echo "== $preset: test"
  status=0
  ctest --preset "$preset" "${exclude[@]}" || status=$?
  [ -z "${QTV_WINEPREFIX:-}" ] || stop_wine
  [ $status -eq 0 ] || exit $status
done
if [ ${#skipped[@]} -gt 0 ]; then
  echo "== not tested on this machine, which runs no 32-bit programs: ${skipped[*]}, and in win64 the 32-bit control and the installer"
fi
