# What the installer tests share: a failure count, Wine programs run with their output in a file, Windows
# names of Unix files, and the checksums a script host computes through the ProgID. Sourced by
# installer_test.sh and msi_test.sh, after each has set WINEPREFIX and drive_c.

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs a Wine program with its output in a file, never on ctest's pipe (Wine's background processes keep
# the first program's output open), then shows that output without carriage returns.
# Usage: run LAUNCHER PROGRAM ARGS...; the output is in $out, the exit code in $status.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
run() {
  "$@" >"$out" 2>&1 </dev/null
  status=$?
  sed -i 's/\r$//' "$out"
}

windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# A Unix exit status keeps the low 8 bits of the Windows one.
low() { echo $(($1 & 255)); }

# Runs by_progid.vbs with a cscript of the given bitness (launcher wine or wine64) through the one ProgID,
# on the text "a" and a file holding "abc"; checks the host's bitness (x86 or AMD64) and the checksums.
expect_checksums() {
  local launcher=$1 host=$2
  printf abc >"$drive_c/qtv-abc.txt"
  run "$launcher" cscript //nologo "$(windows_path "$QTV_SCRIPTS/by_progid.vbs")" a 'C:\qtv-abc.txt'
  cat "$out"
  local expected="host $host
e8b7be43 00620062 0cc175b9c0f1b6a831c399e269772661 86f7e437faa5a7fce15d1ddcb9eaeaea377667b8 ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb
352441c2 024d0127 900150983cd24fb0d6963f7d28e17f72 a9993e364706816aba3e25717850c26c9cd0d89d ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad
DONE"
  [ "$status" -eq 0 ] && [ "$(cat "$out")" = "$expected" ] || fail "$host cscript: expected
$expected"
}
