# Sourced by the test scripts: one persistent wineserver per build tree's prefix while its tests run.
# Each test process then starts in a fraction of a second, and no test meets a server that is ending:
# a server that is not persistent ends a few seconds after its last program, and a program that starts
# at that moment can fail before it runs a line.

# Starts the persistent server for the preset's prefix and Wine's own services. Wine's output goes to a
# log that is shown when a step fails: a wine process holding ctest's pipe would keep ctest waiting
# until the test's time runs out.
# $1: the preset, whose build tree holds the prefix; $2: the emulator script (wine64-run.sh for 64-bit).
start_wine() {
  export QTV_WINEPREFIX=$PWD/build/$1/wineprefix
  local run=cmake/$2
  local log=$PWD/build/$1/wine-start.log
  local attempt status
  # A server left running for this prefix (an earlier run that was interrupted) is ended: waiting for a
  # persistent one to end by itself would wait for ever.
  WINEPREFIX=$QTV_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$QTV_WINEPREFIX wineserver -w >/dev/null 2>&1 || true
  # The first start creates the prefix; its server lingers a few seconds and must end first.
  if ! $run cmd /c exit >"$log" 2>&1 </dev/null; then
    echo "Wine could not start in $QTV_WINEPREFIX:" >&2
    cat "$log" >&2
    return 1
  fi
  for attempt in 1 2; do
    WINEPREFIX=$QTV_WINEPREFIX wineserver -w
    status=0
    WINEPREFIX=$QTV_WINEPREFIX wineserver -p >>"$log" 2>&1 </dev/null || status=$?
    [ $status -eq 0 ] && break
    # Status 2: another server holds the prefix, one that is not persistent. It is ended, never used.
    echo "wine-server: a wineserver of $QTV_WINEPREFIX was already running (status $status); ending it" >&2
    WINEPREFIX=$QTV_WINEPREFIX wineserver -k >/dev/null 2>&1
  done
  if [ $status -ne 0 ]; then
    echo "wine-server: no persistent wineserver could be started for $QTV_WINEPREFIX:" >&2
    cat "$log" >&2
    return 1
  fi
  # Wine's own services start with the first program a server runs and live as long as the server; they
  # must start here, writing to the log, and not inherit the output pipe of the first test program.
  if ! $run cmd /c exit >>"$log" 2>&1 </dev/null; then
    echo "wine-server: Wine's services did not start in $QTV_WINEPREFIX:" >&2
    cat "$log" >&2
    return 1
  fi
  # So is the desktop, which Wine starts with the first window and gives ten seconds only: slower than
  # that (a busy machine, 32-bit programs emulated), that first program's windows fail.
  if ! $run "build/$1/bin/desktop_ready.exe" >>"$log" 2>&1 </dev/null; then
    echo "wine-server: the desktop of $QTV_WINEPREFIX did not come up:" >&2
    cat "$log" >&2
    return 1
  fi
  grep 'desktop_ready:' "$log" | tail -1
}

# Ends the server and every Wine process of the prefix, and waits until they are gone, so that nothing
# of one suite's run is still writing the prefix when the next run or suite starts.
stop_wine() {
  WINEPREFIX=$QTV_WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$QTV_WINEPREFIX wineserver -w >/dev/null 2>&1 || true
  unset QTV_WINEPREFIX
}
