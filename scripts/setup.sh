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
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix nsis
  wine wine32:i386 wine64 xvfb xauth x11-utils xdotool imagemagick
  libgtk-3-dev openbox valgrind clang-format rhash
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${missing[*]}" >&2
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
