#!/usr/bin/env bash
# Builds the engine and the control library a second time, from a copy of the sources in another
# folder, with other file times, another time zone, locale and umask, and checks that each file comes
# out the same bytes as in the first build. Where the first build signed, the second attaches the first
# build's detached signatures (as a rebuild of a signed release does), so the signed files must match.
#   check_rebuild.sh SOURCE BUILD TIME [CMAKE_OPTION ...] -- TARGET ... -- FILE ...
#   TIME: the first build's time (the copy has no git history to take it from); FILE: under BUILD.
set -uo pipefail
source=$1 build=$2 time=$3
shift 3
options=() targets=() files=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
shift
while [ $# -gt 0 ] && [ "$1" != -- ]; do targets+=("$1"); shift; done
shift
files=("$@")
work=$(mktemp -d /tmp/qtv-rebuild.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The sources as they are now (committed or not), under another path, all dated 2001.
mkdir "$work/sources"
git -C "$source" ls-files -z --cached --others --exclude-standard |
  (cd "$source" && tar --null --ignore-failed-read -T - -cf -) | tar -xf - -C "$work/sources" ||
  { echo "FAIL: the sources could not be copied to $work/sources"; exit 1; }
find "$work/sources" -exec touch -h -d '2001-02-03 04:05:06' {} +

started=$(date +%s)
# Wine, which writes the type library, starts from the first build's booted prefixes: a prefix of its
# own would take another 1.3 GB.
export QTV_WINE_TEMPLATES=$build
if ! (umask 077 && cd "$work" && export TZ=Asia/Kathmandu LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=$time &&
      cmake -S sources -B build -G Ninja "${options[@]}" >configure.log 2>&1 &&
      cmake --build build --target "${targets[@]}" >build.log 2>&1); then
  cat "$work/configure.log" "$work/build.log" 2>/dev/null | tail -40
  echo "FAIL: the second build (in $work, TZ=Asia/Kathmandu, umask 077) failed"
  exit 1
fi
echo "second build of ${targets[*]}: $(($(date +%s) - started)) s, in $work"
failures=0
for file in "${files[@]}"; do
  name=${file#"$build"/}
  if cmp -s "$file" "$work/build/$name"; then
    echo "same: $name ($(sha256sum <"$file" | cut -c1-16))"
  else
    echo "FAIL: $name differs between the two builds; first differing bytes (offset, octal values):"
    cmp -l "$file" "$work/build/$name" 2>&1 | head -8
    failures=$((failures + 1))
  fi
done
[ $failures -eq 0 ] || exit 1
echo "rebuild: the same bytes"
