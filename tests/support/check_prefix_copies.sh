#!/usr/bin/env bash
# The prefixes the tests run in are copies of one booted template whose libraries are hard links: what
# one prefix writes (its registry, its folders) must reach neither the template nor another copy, and
# the libraries must really be shared, or every build tree takes a dozen full prefixes of disk again.
#   check_prefix_copies.sh RUNNER TEMPLATE WORK   (RUNNER: cmake/wine-run.sh or wine64-run.sh; WORK: a
#   scratch folder inside the build tree whose template is TEMPLATE)
set -uo pipefail
run=$1 template=$2 work=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
in_prefix() { QTV_WINEPREFIX=$work/$1 "$run" "${@:2}" </dev/null; }
rm -rf "$work" && mkdir -p "$work" || { echo "FAIL: cannot make $work"; exit 1; }
trap 'for p in one two; do WINEPREFIX=$work/$p wineserver -k 2>/dev/null; done; rm -rf "$work"' EXIT

in_prefix one reg add 'HKCU\Software\QTV Prefix Copies' /v written /d one /f >/dev/null ||
  { echo "FAIL: the first copy could not be made or written"; exit 1; }
in_prefix one cmd /c 'echo one>C:\windows\system32\qtv-prefix-copies.txt' ||
  fail "a file could not be written into the first copy's system folder"
WINEPREFIX=$work/one wineserver -w
in_prefix two cmd /c exit || { echo "FAIL: the second copy could not be made"; exit 1; }
WINEPREFIX=$work/two wineserver -w

[ "$template/drive_c/windows/system32/kernel32.dll" -ef "$work/one/drive_c/windows/system32/kernel32.dll" ] ||
  fail "a copy does not share kernel32.dll with the template $template: each copy has its own libraries"
[ "$work/one/drive_c/windows/system32/kernel32.dll" -ef "$work/two/drive_c/windows/system32/kernel32.dll" ] ||
  fail "the two copies do not share kernel32.dll"
for reg in system.reg user.reg; do
  [ "$(stat -c %h "$work/one/$reg")" = 1 ] || fail "$reg of a copy is shared with another file"
done
if grep -q 'QTV Prefix Copies' "$work/two/user.reg" "$template/user.reg"; then
  fail "a value written in one copy's registry is in another copy's or the template's"
fi
grep -q 'QTV Prefix Copies' "$work/one/user.reg" || fail "the first copy's registry lost the value written to it"
for other in "$work/two" "$template"; do
  [ ! -e "$other/drive_c/windows/system32/qtv-prefix-copies.txt" ] ||
    fail "a file written into one copy's system folder appeared in $other"
done
[ $failures -eq 0 ] || exit 1
echo "prefix copies: independent registries and folders, libraries shared with $template"
