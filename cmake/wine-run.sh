#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix (never the user's ~/.wine).
# The prefix is the nearest "wineprefix" folder above the working directory, or QTV_WINEPREFIX.
# With QTV_WINE_BITS=64 the prefix is a 64-bit one (32-bit programs run there too, from SysWOW64) and the
# program starts under the 64-bit loader: the `wine` launcher would start it through a 32-bit process,
# which redirects system32 to SysWOW64.
# On a machine whose kernel runs no 32-bit programs, Wine runs under with-32bit-programs.sh.
# Whatever ends the run early (no build tree, a machine that cannot run 32-bit programs, a prefix that
# could not be made, a program that did not start or ended with a failure status) is said on standard
# error, which the tests show: a test must never fail without a word.
set -uo pipefail
me=wine-run
if [ -z "${QTV_WINEPREFIX:-}" ]; then
  dir=$PWD
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || { echo "$me: no build tree above $PWD" >&2; exit 2; }
  QTV_WINEPREFIX=$dir/wineprefix
fi
here=$(dirname "$0")
launcher=/usr/lib/wine/wine
arch=win32
[ "${QTV_WINE_BITS:-32}" = 64 ] && launcher=/usr/lib/wine/wine64 arch=win64
# Both kinds of prefix run 32-bit programs (a 64-bit one starts some of its own through the 32-bit
# loader), on a machine whose kernel runs none through the emulator; a 64-bit program still runs where
# no way to run them can be had.
if [ -z "${QTV_32BIT_PROGRAMS:-}" ]; then
  if [ $arch = win64 ]; then
    exec "$here/with-32bit-programs.sh" --if-possible "$0" "$@"
  fi
  exec "$here/with-32bit-programs.sh" "$0" "$@"
fi
if [ $arch = win32 ] && [ "$QTV_32BIT_PROGRAMS" = none ]; then
  echo "$me: cannot run $*: this machine runs no 32-bit programs ($("$here/with-32bit-programs.sh" --route))" >&2
  exit 2
fi
# Wine's own channels stay quiet but for the report of an unhandled exception: a program that crashes
# says where, instead of ending with a bare status.
export WINEPREFIX=$QTV_WINEPREFIX WINEARCH=$arch WINEDEBUG=${WINEDEBUG:--all,err+seh}
# No .NET or HTML engine installs; and a crashing program fails at once instead of waiting in Wine's
# debugger until its time runs out.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winedbg.exe=d"}
# Every step of making a prefix runs under the loader of the prefix's own bitness: the `wineboot` and
# `wine` commands go through the 32-bit loader, which some machines cannot run.
# $1: the folder to make the prefix in, empty or absent.
boot_prefix() (
  export WINEPREFIX=$1
  # A first start on a busy machine can give up (wineboot times out waiting for its services): the
  # prefix is then made again from a clean start once, and a second failure says what Wine said.
  log=$1.boot.log
  if ! "$launcher" wineboot -i >"$log" 2>&1 </dev/null; then
    echo "$me: the first start of $1 gave up; starting it once more" >&2
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    "$launcher" wineboot -i >>"$log" 2>&1 </dev/null || {
      echo "$me: could not make the prefix $1:" >&2
      cat "$log" >&2
      exit 1
    }
  fi
  # Windows, dialogs and message boxes work without an X server through the null driver.
  "$launcher" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$log" 2>&1 </dev/null || {
    echo "$me: could not set the null display driver in $1:" >&2
    cat "$log" >&2
    exit 1
  }
  wineserver -w
  touch "$1/.qtv-ready"
)

# Wine 8 copies its own libraries into every prefix: 600 MB for a 32-bit one, 1.3 GB for a 64-bit one,
# and a build tree's tests make a dozen prefixes. Each build tree therefore boots one untouched prefix of
# each bitness, its template, and makes the others as copies whose libraries and programs are hard links
# to the template's: a few megabytes each, and seconds instead of a minute's boot under emulation.
# Everything else (the registry above all) is a copy of its own. Nothing writes Wine's libraries in place,
# which a link would carry to every prefix: Wine replaces its registry files by renaming, and the
# installers under test write their own folders only.
# The template lives at the top of the outermost build tree above the prefix, or in QTV_WINE_TEMPLATES
# (a second build of the same sources borrows the first one's); a prefix outside any build tree, or on a
# file system that takes no hard links from there, is booted on its own.
template_of() {
  local dir top=""
  if [ -n "${QTV_WINE_TEMPLATES:-}" ]; then
    echo "$QTV_WINE_TEMPLATES/wine-template-$arch"
    return
  fi
  dir=$(dirname "$1")
  while [ "$dir" != / ] && [ "$dir" != . ]; do
    [ -f "$dir/CMakeCache.txt" ] && top=$dir
    dir=$(dirname "$dir")
  done
  [ -n "$top" ] && echo "$top/wine-template-$arch"
}

# $1: the template; $2: the folder to make the prefix in, empty.
clone_prefix() {
  cp -al "$1/." "$2/" 2>/dev/null || return 1
  # Whatever is not one of Wine's own libraries or programs gets a copy of its own in the new prefix.
  find "$2" -type f -links +1 ! \( -path "$2/drive_c/windows/*" \( -iname '*.dll' -o -iname '*.exe' \
    -o -iname '*.drv' -o -iname '*.sys' -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' \
    -o -iname '*.nls' -o -iname '*.tlb' -o -iname '*.vxd' \) \) \
    -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f" || exit 1; done' sh {} +
}

if [ ! -f "$WINEPREFIX/.qtv-ready" ]; then
  mkdir -p "$WINEPREFIX" || { echo "$me: cannot make the folder $WINEPREFIX" >&2; exit 2; }
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.qtv-ready" ]; then
      template=$(template_of "$WINEPREFIX")
      if [ -n "$template" ] && [ "$template" != "$WINEPREFIX" ]; then
        (
          flock 8
          if [ ! -f "$template/.qtv-ready" ]; then
            rm -rf "$template" && mkdir -p "$template" && boot_prefix "$template"
          fi
        ) 8>"$template.lock" || exit $?
        # The copy is made beside the prefix and put in its place whole: a program started meanwhile
        # never finds a prefix that looks ready but is not. A copy that fails is undone.
        rm -rf "$WINEPREFIX.copy" && mkdir "$WINEPREFIX.copy" || exit 2
        if clone_prefix "$template" "$WINEPREFIX.copy"; then
          rm -rf "$WINEPREFIX" && mv "$WINEPREFIX.copy" "$WINEPREFIX" && exit 0
          echo "$me: cannot put the copy of $template in place of $WINEPREFIX" >&2
          exit 2
        fi
        rm -rf "$WINEPREFIX.copy"
      fi
      boot_prefix "$WINEPREFIX"
    fi
  ) 9>"$WINEPREFIX.lock" || exit $?
fi
"$launcher" "$@"
status=$?
if [ $status -ne 0 ]; then
  # Wine passes a program's own status on; the few of its own are named, so a failure that printed
  # nothing still says where it came from.
  case $status in
    53) why="a DLL the program needs is missing (c0000135)" ;;
    5) why="also the status of a crash (c0000005, access violation)" ;;
    *) why="" ;;
  esac
  echo "$me: $* ended with status $status${why:+: $why}" >&2
fi
exit $status
