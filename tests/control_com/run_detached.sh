#!/usr/bin/env bash
# Runs a Windows program through the emulator (first argument) with its output in a file, then shows
# that output and passes the exit code on. Wine starts its background processes (desktop, RPC service)
# from whichever program needs them first, and they keep that program's output open: on one of
# ctest's pipes, ctest would wait for them for ever.
set -uo pipefail
emulator=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$emulator" "$@" >"$log" 2>&1 </dev/null
status=$?
cat "$log"
exit $status
