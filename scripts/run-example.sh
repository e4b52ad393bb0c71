#!/usr/bin/env bash
# The main job: computes the five checksums of a text and of a file with the checksum control.
#   scripts/run-example.sh [TEXT [FILE]]             the Linux control library, from examples/checksum_example.cpp
#   scripts/run-example.sh --windows [TEXT [FILE]]   the ActiveX control under Wine, from examples/checksum.vbs
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
text_default="The quick brown fox jumps over the lazy dog"

if [ "${1:-}" = "--windows" ]; then
  shift
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target qtvchecksums100 >/dev/null
  export QTV_WINEPREFIX=$PWD/build/win32/wineprefix
  file=${2:-README.md}
  # Wine sees this machine's files on drive Z:.
  winfile="Z:$(realpath "$file" | tr / '\\')"
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  (cd build/win32/bin && ../../../cmake/wine-run.sh regsvr32 /s qtvchecksums100.ocx) >"$log" 2>&1 </dev/null
  cmake/wine-run.sh cscript //nologo "Z:$(realpath examples/checksum.vbs | tr / '\\')" \
    "${1:-$text_default}" "$winfile" >"$log" 2>&1 </dev/null || { cat "$log"; exit 1; }
  tr -d '\r' <"$log"
  exit 0
fi

cmake --preset linux >/dev/null
cmake --build --preset linux --target checksum_example >/dev/null
build/linux/bin/checksum_example "${1:-$text_default}" "${2:-README.md}"
