#!/usr/bin/env bash
# Installs the control library into a private prefix, then builds and runs a user's program against it,
# once through find_package and once through pkg-config.
# Usage: check_installed_package.sh BUILD-DIR WORK-DIR CXX [CXXFLAGS]
set -euo pipefail
build=$1 work=$2 cxx=$3 flags=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

# Only the headers a user needs.
(cd "$prefix/include/qtvchecksum" && find . -type f | sort) > "$work/headers"
printf './control_error.h\n./export.h\n./qtv_checksum.h\n' | diff - "$work/headers"

cmake -S "$here/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046
# shellcheck disable=SC2086
"$cxx" $flags -std=c++20 "$here/consumer/consumer.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs qtvchecksum) \
  -Wl,-rpath,"$prefix/lib"
"$work/consumer-pc"
