#!/usr/bin/env bash
# The Windows engines' throughput under Wine beside the Linux engine's, natively: builds what is needed,
# runs engine_throughput once per engine on the same bytes and prints one table, each command with its
# MB/s per engine and each Windows engine's ratio to Linux. Figures are MB/s of the measuring thread's
# processor time, so they are comparable on a busy machine; the load is printed with them.
# Usage: bench/windows-engines.sh [engine_throughput options, e.g. --bytes 67108864 --repetitions 5]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The engines measured, Linux first: every other one is shown as a ratio to it. Another engine is one
# more word here and one more branch in run_engine.
engines=(linux win32 win64)
# On a kernel that runs no 32-bit programs the 32-bit engine would run under qemu's emulation, whose
# speed is the emulator's, not the engine's: it is left out of the table, and said so.
if [ -z "${QTV_32BIT_PROGRAMS:-}" ]; then
  exec cmake/with-32bit-programs.sh --if-possible bash "$0" "$@"
fi
if [ "$QTV_32BIT_PROGRAMS" != native ]; then
  echo "win32: not measured: this machine runs 32-bit programs only through an emulator ($QTV_32BIT_PROGRAMS)"
  engines=(linux win64)
fi

# Runs engine_throughput for one engine, writing its tab-separated output to $2.
run_engine() {
  local engine=$1 out=$2 log=$root/build/$1/engine-throughput.log
  shift 2
  case "$engine" in
    linux)
      build/linux/bin/engine_throughput "$root/build/linux/bin/qtvsum.so" "$@" >"$out"
      ;;
    win32)
      # The build tree's own prefix, as the tests use it. Wine's output goes to a log; the program's
      # output to a file, never to a pipe that Wine's lingering services would hold open.
      (cd build/win32/bin &&
        QTV_WINEPREFIX=$root/build/win32/wineprefix "$root/cmake/wine-run.sh" engine_throughput.exe qtvsum.dll \
          "$@" >"$out" 2>"$log" </dev/null) || {
        cat "$log" >&2
        return 1
      }
      ;;
    win64)
      # The 64-bit engine in the 64-bit build tree's prefix, run by the 64-bit loader.
      (cd build/win64/bin &&
        QTV_WINEPREFIX=$root/build/win64/wineprefix "$root/cmake/wine64-run.sh" engine_throughput.exe \
          qtvsum64.dll "$@" >"$out" 2>"$log" </dev/null) || {
        cat "$log" >&2
        return 1
      }
      ;;
    *)
      echo "windows-engines: no way to run the engine '$engine'" >&2
      return 1
      ;;
  esac
}

for engine in "${engines[@]}"; do
  echo "== $engine: configure and build" >&2
  cmake --preset "$engine" >/dev/null
  cmake --build --preset "$engine" --target engine_throughput qtvsum >/dev/null
done

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
echo "load before: $(uptime)"
for engine in "${engines[@]}"; do
  echo "== $engine: measuring" >&2
  run_engine "$engine" "$results/$engine.tsv" "$@"
done
echo "load after:  $(uptime)"

# One row per command: MB/s of each engine, then each Windows engine's ratio to Linux. A checksum that
# differs from the Linux engine's on the same bytes marks the row and fails the script.
files=()
for engine in "${engines[@]}"; do files+=("$results/$engine.tsv"); done
awk -F '\t' -v names="${engines[*]}" '
  BEGIN { count = split(names, engine, " ") }
  { sub(/\r$/, "") } # the Windows programs end their lines with CR LF
  FNR == 1 { file++; next }
  {
    if (file == 1) order[++rows] = $1
    rate[file, $1] = $2
    sum[file, $1] = $3
  }
  END {
    printf "%-14s", "command"
    for (e = 1; e <= count; e++) printf " %12s", "MB/s " engine[e]
    for (e = 2; e <= count; e++) printf " %12s", engine[e] "/" engine[1]
    printf "\n"
    status = 0
    for (r = 1; r <= rows; r++) {
      c = order[r]
      printf "%-14s", c
      for (e = 1; e <= count; e++) printf " %12.1f", rate[e, c]
      note = ""
      for (e = 2; e <= count; e++) {
        printf " %12.3f", (rate[1, c] > 0 ? rate[e, c] / rate[1, c] : 0)
        if (sum[e, c] != sum[1, c]) { note = "  CHECKSUMS DIFFER"; status = 1 }
      }
      printf "%s\n", note
    }
    exit status
  }' "${files[@]}"
