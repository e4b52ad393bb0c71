#!/usr/bin/env bash
# Builds every file a release ships, once, into one folder, with their SHA-256 sums, so that anyone can
# rebuild the same commit and compare (scripts/check-release.sh).
# Usage: scripts/release.sh OUT [CMAKE_SIGNING_OPTION ...]
#   OUT/unsigned/            linux/ (what `cmake --install` puts in place) and windows/ (both engines,
#                            both control libraries, the type library, the setup program, the zip and
#                            both Windows Installer packages), as the build makes them without a signature
#   OUT/SHA256SUMS           the sums of every file under unsigned/
#   OUT/toolchain.txt        the Debian package versions of the toolchain: a rebuild gives the same
#                            bytes only with the same ones
# With signing options (-DQTV_SIGN_CERTIFICATE=... -DQTV_SIGN_KEY=... and so on, see
# cmake/QTVSigning.cmake; -DQTV_SIGN_DETACHED_DIR=FOLDER attaches published signatures instead), the
# Windows files are built a second time, signed:
#   OUT/signed/windows/      the signed Windows files
#   OUT/signatures/          each signature detached, NAME.sig, to publish beside the release
#   OUT/SHA256SUMS.signed    the sums of every file under signed/ and signatures/
# Phases: pin what could vary, build for Linux, build for Windows (unsigned, then signed), collect, sum.
set -euo pipefail

# ---- What could vary from one build to another, pinned here once.
# The sums file's order and every tool's messages: the byte order of names, whatever the locale.
export LC_ALL=C
unset LANGUAGE
# The build's time: the last commit's, unless the caller gives one (the build derives the same itself;
# it is set here so that the Linux and Windows builds and every step agree even across a midnight).
cd "$(dirname "$0")/.."
root=$PWD
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
# Not pinned: the folder, the time zone, the umask and the user. The build makes the same bytes
# whatever they are, and scripts/check-release.sh shows it by rebuilding under others.

[ $# -ge 1 ] || { echo "usage: $0 OUT [CMAKE_SIGNING_OPTION ...]" >&2; exit 2; }
out=$1
shift
signing=("$@")
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -rf "$out/unsigned" "$out/signed" "$out/signatures" "$out/SHA256SUMS" "$out/SHA256SUMS.signed"
builds=$root/build/release
# Only what ships: no tests, benchmarks or examples.
options=(-DQTV_BUILD_TESTS=OFF -DQTV_BUILD_BENCHMARKS=OFF -DQTV_BUILD_EXAMPLES=OFF)
started=$(date +%s)

bash scripts/setup.sh

# ---- Linux: the libraries and headers as installed.
echo "== release: Linux"
rm -rf "$builds"
cmake --preset linux -B "$builds/linux" "${options[@]}" >/dev/null
cmake --build "$builds/linux"
DESTDIR="$out/unsigned/linux" cmake --install "$builds/linux" --prefix /usr >/dev/null

# ---- Windows: the libraries, the setup program, the zip and the packages.
windows() { # windows FOLDER OPTION...: builds the 64-bit preset (the 32-bit control inside) into FOLDER
  local folder=$1
  shift
  cmake/with-32bit-programs.sh bash -c 'cmake --preset win64 -B "$@" >/dev/null && cmake --build "$1"' \
    - "$folder" "${options[@]}" "$@"
}
collect() { # collect BUILD DEST: the Windows files a release ships, as BUILD made them
  local build=$1 dest=$2
  mkdir -p "$dest/32-bit" "$dest/64-bit"
  cp "$build/control32/bin/qtvchecksums100.ocx" "$build/control32/bin/qtvchecksums100.manifest" \
    "$build/control32/bin/qtvsum.dll" "$dest/32-bit/"
  cp "$build/bin/qtvchecksums100.ocx" "$build/bin/qtvchecksums100.manifest" "$build/bin/qtvsum64.dll" "$dest/64-bit/"
  cp "$build"/control/*.tlb "$dest/"
  cp "$build"/package/* "$dest/"
}
echo "== release: Windows"
windows "$builds/win64"
collect "$builds/win64" "$out/unsigned/windows"
if [ ${#signing[@]} -gt 0 ]; then
  echo "== release: Windows, signed"
  windows "$builds/win64-signed" "${signing[@]}"
  collect "$builds/win64-signed" "$out/signed/windows"
  cp -R "$builds/win64-signed/signatures" "$out/signatures"
fi

# ---- The sums, and the toolchain they hold for.
sums() { # sums FOLDER...: one line per file under the folders, by name
  find "$@" -type f | sort | xargs sha256sum
}
(cd "$out" && sums unsigned >SHA256SUMS)
[ ! -d "$out/signed" ] || (cd "$out" && sums signed signatures >SHA256SUMS.signed)
dpkg-query -W -f='${Package} ${Version} ${Architecture}\n' binutils gcc g++ cmake ninja-build \
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix mingw-w64-common mingw-w64-tools libz-mingw-w64-dev \
  gcc-12 g++-12 zlib1g-dev libgtk-3-dev nsis wixl msitools osslsigncode zip wine64 wine32:i386 | sort >"$out/toolchain.txt"
echo "== release: $out, built from $(git rev-parse HEAD) (time $SOURCE_DATE_EPOCH) in $(($(date +%s) - started)) s"
cat "$out/SHA256SUMS"
[ ! -f "$out/SHA256SUMS.signed" ] || cat "$out/SHA256SUMS.signed"
