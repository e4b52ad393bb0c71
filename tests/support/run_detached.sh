#!/usr/bin/env bash
# Runs a Windows program through the emulator (first argument) with its output in a file, then shows
# that output and passes the exit code on. Wine starts its background processes (desktop, RPC service)
# from whichever program needs them first, and they keep that program's output open: on one of
# ctest's pipes, ctest would wait for them for ever. A file also keeps whatever the program wrote when
# it ends abnormally.
set -uo pipefail
emulator=$1
shift
log=$(mktemp) || { echo "run_detached: no file for the output of $*" >&2; exit 2; }
trap 'rm -f "$log"' EXIT
"$emulator" "$@" >"$log" 2>&1 </dev/null
status=$?
cat "$log"
if [ $status -ne 0 ] && [ ! -s "$log" ]; then
  echo "run_detached: $* ended with status $status and wrote nothing"
fi
exit $status
