#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine lacks to build and test both targets.
# Idempotent: when every package is already there it changes nothing and prints nothing.
set -euo pipefail

need_i386=(wine32:i386)
packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev llvm
  zlib1g-dev libssl-dev googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix nsis wixl msitools
  wine wine32:i386 wine64 xvfb xauth x11-utils xdotool imagemagick
  libgtk-3-dev openbox valgrind clang-format rhash osslsigncode zip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

# A mirror caught in the middle of a sync can serve one index that does not match its release file (seen:
# the security suite's i386 list). apt then keeps the lists it has and fails; the install below finds out
# whether they are enough, so the update's failure is reported but does not stop the set-up.
update_failed=""
apt_update() {
  local log
  log=$(mktemp)
  if ! $SUDO apt-get update -qq >"$log" 2>&1; then
    update_failed=1
    echo "setup: apt-get update failed; going on with the package lists there are:" >&2
    grep -E '^(E|W):' "$log" | head -5 >&2 || true
  fi
  rm -f "$log"
}

# With an update suite's list missing for one architecture, a package of the other can be newer than its
# twin that multiarch needs at the same version (zlib1g and zlib1g:i386); the release's own suite has
# both, so the install is tried once more from there.
apt_install() {
  local log
  log=$(mktemp)
  if $SUDO apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
    rm -f "$log"
    return 0
  fi
  if [ -n "$update_failed" ] &&
    $SUDO apt-get install -y -qq --no-install-recommends -t "$codename" "$@" >"$log" 2>&1; then
    echo "setup: installed from $codename alone, as the update's lists were incomplete" >&2
    rm -f "$log"
    return 0
  fi
  echo "setup: could not install $*:" >&2
  tail -20 "$log" >&2
  rm -f "$log"
  return 1
}

# The first Debian archive the machine's own apt sources name for its release (a company mirror or proxy
# where it has one): deb822 .sources files first, then one-line lists. Security and update suites are
# other archives and are passed over.
debian_mirror() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -r "$f" ] || continue
    awk -v want="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " want " ") && uris != "") { split(uris, u, " "); print u[1]; found = 1; exit }
        types = suites = uris = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
      /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
      /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
      END { if (!found) flush() }' "$f" | head -1
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -r "$f" ] || continue
    sed -E 's/\[[^]]*\]//' "$f" | awk -v want="$codename" '$1 == "deb" && $3 == want { print $2 }'
  done
}
if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  echo "setup: installing ${missing[*]}" >&2
  apt_update
  apt_install "${missing[@]}"
fi

# Where the kernel runs no 32-bit programs, 32-bit Wine runs under qemu-i386's user-mode emulation
# (cmake/with-32bit-programs.sh). Debian 12's own qemu-user (7.2) hangs in Wine's first start, so
# version 10 comes from bookworm-backports, pinned so that nothing else is ever taken from there; its
# recommended binfmt package is left out, as the machine's own binfmt_misc is never changed.
qemu_version() { qemu-i386 --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\).*/\1/p'; }
qemu=$(qemu_version || true)
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 && [ "${qemu:-0}" -lt 10 ]; then
  mirror=$(debian_mirror | sed -n 1p)
  [ -n "$mirror" ] || { echo "setup: no Debian archive for $codename in the apt sources, so no place to take bookworm-backports from" >&2; exit 1; }
  echo "setup: this kernel runs no 32-bit programs; installing qemu-user 10 from bookworm-backports at $mirror" >&2
  $SUDO tee /etc/apt/sources.list.d/qtv-bookworm-backports.sources >/dev/null <<SOURCES
Types: deb
URIs: $mirror
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  $SUDO tee /etc/apt/preferences.d/qtv-bookworm-backports >/dev/null <<'PINS'
Package: *
Pin: release n=bookworm-backports
Pin-Priority: -1

Package: qemu-user
Pin: release n=bookworm-backports
Pin-Priority: 500
PINS
  apt_update
  apt_install qemu-user
  qemu=$(qemu_version || true)
  [ "${qemu:-0}" -ge 10 ] || { echo "setup: qemu-user 10 or later could not be installed (qemu-i386: ${qemu:-none})" >&2; exit 1; }
fi
