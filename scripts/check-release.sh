#!/usr/bin/env bash
# Checks a release against a rebuild: clones the commit afresh at another path, builds it there with
# scripts/release.sh under another time zone and umask, and compares every file's SHA-256 with the
# release's. A signed release (with signatures/) is rebuilt with its published signatures attached where
# the build signs, so the signed files are compared byte for byte too. Each file that differs is named,
# and diffoscope (Debian's diffoscope-minimal, installed when missing) shows where.
# Usage: scripts/check-release.sh RELEASE [COMMIT]   (COMMIT: default HEAD of this repository)
# Exit status 0 when every file is the same; 1 when one differs; 2 when the rebuild could not be made.
set -uo pipefail
export LC_ALL=C
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 RELEASE [COMMIT]" >&2; exit 2; }
release=$(cd "$1" && pwd) || exit 2
[ -f "$release/SHA256SUMS" ] || { echo "check-release: $release/SHA256SUMS is missing" >&2; exit 2; }
here=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$here" rev-parse "${2:-HEAD}") || exit 2
work=$(mktemp -d /tmp/qtv-check-release.XXXXXX)
echo "== check-release: rebuilding $commit in $work"

git clone -q --no-local "$here" "$work/source" && git -C "$work/source" checkout -q "$commit" || exit 2
signing=()
[ ! -d "$release/signatures" ] || signing=(-DQTV_SIGN_DETACHED_DIR="$release/signatures")
# Another time zone and umask than a release is usually built with: neither may reach a file.
(umask 077 && TZ=Pacific/Kiritimati bash "$work/source/scripts/release.sh" "$work/out" "${signing[@]}") ||
  { echo "check-release: the rebuild failed (its output is above; the clone stays in $work)" >&2; exit 2; }

if ! cmp -s "$release/toolchain.txt" "$work/out/toolchain.txt"; then
  echo "check-release: the toolchain differs from the release's; files may differ for that alone:"
  diff "$release/toolchain.txt" "$work/out/toolchain.txt"
fi
different=()
for sums in SHA256SUMS SHA256SUMS.signed; do
  [ -f "$release/$sums" ] || continue
  # Each name whose sum differs, or that is on one side only.
  while read -r name; do
    different+=("$name")
  done < <(diff <(sort -k2 "$release/$sums") <(sort -k2 "$work/out/$sums") | sed -n 's/^[<>] [0-9a-f]*  //p' | sort -u)
done
if [ ${#different[@]} -eq 0 ]; then
  echo "check-release: the same: every file of $release is the rebuild's byte for byte"
  cat "$release/SHA256SUMS"
  [ ! -f "$release/SHA256SUMS.signed" ] || cat "$release/SHA256SUMS.signed"
  rm -rf "$work"
  exit 0
fi
if ! command -v diffoscope >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get install -y -qq --no-install-recommends diffoscope-minimal >/dev/null ||
    echo "check-release: diffoscope could not be installed: the differences are not shown"
fi
for name in "${different[@]}"; do
  echo "== DIFFERS: $name"
  if [ -f "$release/$name" ] && [ -f "$work/out/$name" ] && command -v diffoscope >/dev/null; then
    diffoscope --no-progress --max-report-size 200000 "$release/$name" "$work/out/$name"
  elif [ ! -f "$work/out/$name" ]; then
    echo "   (not in the rebuild)"
  elif [ ! -f "$release/$name" ]; then
    echo "   (only in the rebuild)"
  fi
done
echo "check-release: ${#different[@]} file(s) differ from the rebuild (kept in $work/out): ${different[*]}"
exit 1
