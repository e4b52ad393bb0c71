#!/usr/bin/env bash
# The main job: computes the five checksums of a text and of a file with the checksum control.
#   scripts/run-example.sh [TEXT [FILE]]             the Linux control library, from examples/checksum_example.cpp
#   scripts/run-example.sh --windows [TEXT [FILE]]   the ActiveX control under Wine: installed silently into a
#       64-bit prefix (build/win64/example-prefix), then the installed examples\checksum.vbs run by the 64-bit
#       and by the 32-bit cscript
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
text_default="The quick brown fox jumps over the lazy dog"

if [ "${1:-}" = "--windows" ]; then
  shift
  # The installer is a 32-bit program and installs the 32-bit control beside the 64-bit one: on a
  # kernel that runs no 32-bit programs, all of this runs where the emulator runs them.
  if [ -z "${QTV_32BIT_PROGRAMS:-}" ]; then
    route=$(cmake/with-32bit-programs.sh --route) || {
      echo "run-example: the Windows example needs a machine that runs 32-bit programs (${route#none: })" >&2
      exit 1
    }
    echo "run-example: 32-bit programs run $route"
    exec cmake/with-32bit-programs.sh bash "$0" --windows "$@"
  fi
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target qtv_installer >/dev/null
  export QTV_WINEPREFIX=$PWD/build/win64/example-prefix
  export WINEPREFIX=$QTV_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  file=${2:-README.md}
  # Wine sees this machine's files on drive Z:.
  winfile="Z:$(realpath "$file" | tr / '\\')"
  setup="Z:$(realpath build/win64/package/qtvchecksum-*-setup.exe | tr / '\\')"
  example='C:\Program Files\QTV Checksum\examples\checksum.vbs'
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  # Wine programs write to a file, never to a pipe that Wine's background processes would keep open.
  QTV_WINE_BITS=64 cmake/wine-run.sh cmd /c exit >"$log" 2>&1 </dev/null || { cat "$log"; exit 1; }
  wine "$setup" /S >"$log" 2>&1 </dev/null || { cat "$log"; echo "the installer failed" >&2; exit 1; }
  for bits in 64 32; do
    launcher=wine
    [ $bits = 32 ] || launcher=/usr/lib/wine/wine64
    echo "== ${bits}-bit cscript"
    "$launcher" cscript //nologo "$example" "${1:-$text_default}" "$winfile" >"$log" 2>&1 </dev/null ||
      { cat "$log"; exit 1; }
    tr -d '\r' <"$log"
  done
  wineserver -k >/dev/null 2>&1 || true
  exit 0
fi

cmake --preset linux >/dev/null
cmake --build --preset linux --target checksum_example >/dev/null
build/linux/bin/checksum_example "${1:-$text_default}" "${2:-README.md}"
