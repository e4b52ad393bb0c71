#!/usr/bin/env bash
# Builds and runs every test: Linux, 32-bit and 64-bit Windows under Wine, Linux under AddressSanitizer
# with UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and a short run of each fuzzer.
# Usage: scripts/test.sh [preset ...]   (default: linux win32 win64 asan tsan fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux win32 win64 asan tsan fuzz)

# Starts one persistent wineserver for the build tree's prefix, so that each test process starts in a
# fraction of a second. Wine's own output goes to a log that is shown only when the start fails: a wine
# process holding ctest's pipe would keep ctest waiting until the test's time runs out.
# $1: the preset, whose build tree holds the prefix; $2: the emulator script (wine64-run.sh for 64-bit).
start_wine() {
  export QTV_WINEPREFIX=$PWD/build/$1/wineprefix
  local run=cmake/$2
  local log=$PWD/build/$1/wine-start.log
  # The first start creates the prefix; its server lingers a few seconds, and a second server for the
  # same prefix would refuse to start (status 2), so wait for it to end.
  if ! $run cmd /c exit >"$log" 2>&1 </dev/null; then
    echo "Wine could not start in $QTV_WINEPREFIX:" >&2
    cat "$log" >&2
    return 1
  fi
  WINEPREFIX=$QTV_WINEPREFIX wineserver -w
  WINEPREFIX=$QTV_WINEPREFIX wineserver -p >>"$log" 2>&1 </dev/null || [ $? -eq 2 ]
  # Wine's own services start with the first program a server runs and live as long as the server; they
  # must start here, writing to the log, and not inherit the output pipe of the first test program.
  $run cmd /c exit >>"$log" 2>&1 </dev/null
}

stop_wine() {
  WINEPREFIX=$QTV_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  unset QTV_WINEPREFIX
}

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
