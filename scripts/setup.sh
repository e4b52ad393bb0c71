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
if [ ${#missing[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  echo "setup: installing ${missing[*]}" >&2
  $SUDO apt-get update -qq >/dev/null
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Where the kernel runs no 32-bit programs, 32-bit Wine runs under qemu-i386's user-mode emulation
# (cmake/with-32bit-programs.sh). Debian 12's own qemu-user (7.2) hangs in Wine's first start, so
# version 10 comes from bookworm-backports, pinned so that nothing else is ever taken from there; its
# recommended binfmt package is left out, as the machine's own binfmt_misc is never changed.
qemu_version() { qemu-i386 --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\).*/\1/p'; }
qemu=$(qemu_version || true)
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 && [ "${qemu:-0}" -lt 10 ]; then
  echo "setup: this kernel runs no 32-bit programs; installing qemu-user 10 from bookworm-backports" >&2
  $SUDO tee /etc/apt/sources.list.d/qtv-bookworm-backports.sources >/dev/null <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
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
  $SUDO apt-get update -qq >/dev/null
  $SUDO apt-get install -y -qq --no-install-recommends qemu-user >/dev/null
  qemu=$(qemu_version || true)
  [ "${qemu:-0}" -ge 10 ] || { echo "setup: qemu-user 10 or later could not be installed (qemu-i386: ${qemu:-none})" >&2; exit 1; }
fi
