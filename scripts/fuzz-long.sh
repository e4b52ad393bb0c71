#!/usr/bin/env bash
# Long fuzzing campaigns, one target after the other, each starting from the seeds, the regression inputs
# and everything earlier campaigns found (kept in build/fuzz/campaigns/<target>/corpus).
#
# Usage: scripts/fuzz-long.sh BUDGET [target ...]
#   BUDGET: seconds per target (3600), or executions per target ending in "runs" (10000000runs)
#   targets: fuzz_interface1 fuzz_digests fuzz_call_engine (default: all three)
#
# A finding ends its target with a failure: the input is written to build/fuzz/campaigns/<target>/
# (crash-*, leak-*, timeout-*, oom-*) and belongs in tests/fuzz/regressions/<target>/ once understood.
# The campaigns run at low priority (nice 10); the exit status is that of the worst target.
set -euo pipefail
cd "$(dirname "$0")/.."

budget=${1:?usage: scripts/fuzz-long.sh SECONDS|Nruns [target ...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_interface1 fuzz_digests fuzz_call_engine)
case "$budget" in
  *runs) limit=(-runs="${budget%runs}") ;;
  *) limit=(-max_total_time="$budget") ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${targets[@]}"; do
  # The longest input each target is given; tests/fuzz/CMakeLists.txt passes the same to ctest's runs.
  case "$target" in
    fuzz_call_engine) max_len=4096 ;;
    *) max_len=12300 ;;
  esac
  work=build/fuzz/campaigns/$target
  mkdir -p "$work/corpus"
  echo "== $target: ${limit[*]}, log in $work/log"
  started=$(date +%s)
  result=0
  nice -n 10 "build/fuzz/bin/$target" "${limit[@]}" -max_len=$max_len -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" "tests/fuzz/corpus/$target" "tests/fuzz/regressions/$target" \
    >"$work/log" 2>&1 || result=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  echo "   ${runs:-?} executions in $(($(date +%s) - started)) s, exit status $result"
  if [ $result -ne 0 ]; then
    grep -E "ERROR|SUMMARY|check failed|Test unit written" "$work/log" | sed 's/^/   /' || true
    status=1
  fi
done
exit $status
