#!/usr/bin/env bash
# Builds a user's project that takes this tree with add_subdirectory, and checks that it gets the control
# library and the engine inside it, and nothing else of ours: no test, benchmark or example programs, no
# tests, no install rules, no warnings turned into errors, no common output folder. Then runs the user's
# program.
# Usage: check_subproject.sh SOURCE-DIR WORK-DIR CXX [CXXFLAGS]
set -euo pipefail
source=$1 work=$2 cxx=$3 flags=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
build=$work/build
mkdir -p "$work/tmp"
export TMPDIR=$work/tmp

cmake -S "$here/subproject" -B "$build" -G Ninja -DQTV_SOURCE_DIR="$source" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$build" >/dev/null

failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# Every program and shared library built, by its place in the build tree; each library's debug
# information, kept beside it in FILE.debug, belongs to that library.
(cd "$build" && find . -path '*/CMakeFiles' -prune -o -type f -executable -print | sort) >"$work/binaries"
printf '%s\n' ./consumer ./qtv/bin/qtvsum.so ./qtv/bin/qtvsum.so.debug ./qtv/control/libqtvchecksum.so.1.0.0 \
  ./qtv/control/libqtvchecksum.so.1.0.0.debug |
  diff - "$work/binaries" || fail "built more than the control library and its engine (above)"

tests=$(ctest --test-dir "$build" -N | sed -n 's/^Total Tests: //p')
[ "$tests" = 0 ] || fail "$tests tests were added to the user's project"

if grep -q -- '-Werror' "$build/compile_commands.json"; then fail "warnings are errors in the user's build"; fi

cmake --install "$build" --prefix "$work/prefix" >/dev/null
if [ -n "$(find "$work/prefix" -type f 2>/dev/null)" ]; then fail "installing the user's project installs ours"; fi

"$build/consumer" || fail "the user's program"
exit $failed
