#!/usr/bin/env bash
# Runs the named test suites RUNS times back to back, each run from a fresh Wine prefix, and prints one
# line per run and a closing "N passed, N failed" line: how anyone shows that a suite is stable. Each
# run's whole output stays in build/soak/ for the runs that failed.
# Usage: scripts/soak.sh [RUNS] [preset ...]   (default: 10 runs of win32 win64)
# Run it while the machine is busy (a parallel build, `yes >/dev/null` on each core) to see races.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
shift || true
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win32 win64)
bash scripts/setup.sh
# The whole soak runs where 32-bit programs run: on a kernel that runs none, inside one namespace
# whose private binfmt_misc hands them to the emulator (cmake/with-32bit-programs.sh).
if [ -z "${QTV_32BIT_PROGRAMS:-}" ]; then
  route_status=0
  route=$(cmake/with-32bit-programs.sh --route) || route_status=$?
  echo "soak: 32-bit programs run ${route}"
  [ $route_status -ne 3 ] || exit 1
  exec cmake/with-32bit-programs.sh --if-possible bash "$0" "$runs" "${presets[@]}"
fi
source scripts/wine-server.sh

logs=$PWD/build/soak
mkdir -p "$logs"
usable=()
for preset in "${presets[@]}"; do
  if [ "$preset" = win32 ] && [ "$QTV_32BIT_PROGRAMS" = none ]; then
    echo "soak: win32 left out: this machine runs no 32-bit programs"
    continue
  fi
  echo "soak: building $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >"$logs/build-$preset.log" 2>&1 || { cat "$logs/build-$preset.log"; exit 1; }
  usable+=("$preset")
done
[ ${#usable[@]} -gt 0 ] || { echo "soak: nothing to run"; exit 1; }

passed=0
failed=0
for run in $(seq "$runs"); do
  for preset in "${usable[@]}"; do
    log=$logs/run-$run-$preset.log
    started=$SECONDS
    # A fresh prefix each time, as a new machine has: the first start is where Wine is slowest. Whatever
    # still runs in the old ones is ended first, or it would write into the new one.
    # The templates the build tree's prefixes are copied from go too, so each run boots Wine afresh.
    for prefix in "build/$preset/wineprefix" "build/$preset/installer-prefix" "build/$preset"/wine-template-*[0-9]; do
      if [ -d "$prefix" ]; then
        WINEPREFIX=$PWD/$prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$PWD/$prefix wineserver -w >/dev/null 2>&1 || true
      fi
      rm -rf "$prefix" "$prefix.lock" "$prefix.boot.log" ||
        { echo "soak: cannot remove $prefix: something outside this run is using it"; exit 1; }
    done
    exclude=()
    status=0
    case "$preset" in
      win32) start_wine win32 wine-run.sh >"$log" 2>&1 || status=$?; exclude=(-LE slow) ;;
      win64 | win64-signed) start_wine "$preset" wine64-run.sh >"$log" 2>&1 || status=$?; exclude=(-LE slow) ;;
      asan) exclude=(-LE slow) ;;
    esac
    [ $status -ne 0 ] || ctest --preset "$preset" "${exclude[@]}" >>"$log" 2>&1 || status=$?
    [ -z "${QTV_WINEPREFIX:-}" ] || stop_wine
    summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -1)
    if [ $status -eq 0 ]; then
      passed=$((passed + 1))
      rm -f "$log"
      echo "run $run $preset: passed in $((SECONDS - started)) s (${summary:-no summary})"
    else
      failed=$((failed + 1))
      failures=$(grep -E '^\s+[0-9]+ - .* \((Failed|Timeout|Not Run|Exception|SEGFAULT)' "$log" | sed 's/^ *//' | tr '\n' ';')
      echo "run $run $preset: FAILED (status $status) in $((SECONDS - started)) s: ${failures:-see the log} log: $log"
    fi
  done
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
