#!/usr/bin/env bash
# Runs a command where 32-bit x86 programs run, as 32-bit Wine needs: as it is on a machine whose kernel
# runs them; elsewhere inside a user and mount namespace of its own whose private binfmt_misc hands every
# 32-bit ELF program to qemu-i386's user-mode emulation, so that the programs Wine starts from it go
# through the emulator as well. Nothing outside the namespace changes: the machine's own binfmt_misc is
# never touched, and the namespace ends with its last process.
# Usage: cmake/with-32bit-programs.sh COMMAND [ARGS...]
#        cmake/with-32bit-programs.sh --if-possible COMMAND [ARGS...]   runs it as it is where they cannot
#        cmake/with-32bit-programs.sh --route   prints how 32-bit programs run here, or why they cannot
# The command finds QTV_32BIT_PROGRAMS set to "native", "emulated" or (with --if-possible) "none", and
# a script that calls this one again from inside runs its command at once.
# Exit status of --route (and of a COMMAND that could not be started): 0 they run; 1 they cannot, and
# no way can be had on this machine (kernel or namespaces); 3 they could, but something the set-up
# should have brought is missing or broken.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qemu=${QTV_QEMU_I386:-/usr/bin/qemu-i386}
probe=/usr/lib/wine/wine

# qemu-i386 before 10 hangs in Wine's first start; the version is read from the program itself.
qemu_version() {
  "$qemu" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9][0-9.]*\).*/\1/p'
}

# Why the emulated route cannot be had, with the status above; nothing when it can.
emulation_refused() {
  local kernel major minor version
  kernel=$(uname -r)
  major=${kernel%%.*}
  minor=${kernel#*.}
  minor=${minor%%[!0-9]*}
  if [ "$major" -lt 6 ] || { [ "$major" -eq 6 ] && [ "$minor" -lt 7 ]; }; then
    echo "1 the kernel ($kernel) is older than 6.7, which gives each user namespace a binfmt_misc of its own"
    return
  fi
  if ! grep -qw binfmt_misc /proc/filesystems; then
    echo "1 the kernel ($kernel) has no binfmt_misc"
    return
  fi
  if ! unshare --user --map-root-user --mount true 2>/dev/null; then
    echo "1 this machine refuses new user namespaces ($(unshare --user --map-root-user --mount true 2>&1 | tail -1))"
    return
  fi
  [ -x "$probe" ] || { echo "3 32-bit Wine (wine32:i386) is not installed"; return; }
  version=$(qemu_version)
  [ -n "$version" ] || { echo "3 $qemu (qemu-user 10 or later) is not installed; scripts/setup.sh brings it"; return; }
  [ "${version%%.*}" -ge 10 ] || { echo "3 $qemu is version $version; Wine needs qemu-user 10 or later"; return; }
}

# Enters the namespace, mounts its own binfmt_misc, registers qemu-i386 for 32-bit x86 ELF programs
# (executables and shared objects, as Debian's qemu-user-binfmt does) and runs the command there.
# P: the program keeps its argv[0]; O, C: qemu gets the program open and its credentials; F: qemu is
# opened now, so the namespace needs no path to it later.
emulated() {
  QTV_32BIT_PROGRAMS=emulated exec unshare --user --map-root-user --mount --propagation private -- bash -c '
    set -e
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    printf "%s" ":qtv-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$1:POCF" \
      >/proc/sys/fs/binfmt_misc/register
    shift
    exec "$@"' with-32bit-programs "$qemu" "$@"
}

natively() { "$probe" --version >/dev/null 2>&1; }

if [ "${1:-}" = --route ]; then
  if [ "${QTV_32BIT_PROGRAMS:-}" = emulated ]; then
    echo "through qemu-i386 $(qemu_version) user-mode emulation in a private binfmt_misc"
    exit 0
  fi
  if natively; then
    echo "natively"
    exit 0
  fi
  refused=$(emulation_refused)
  if [ -n "$refused" ]; then
    echo "none: ${refused#* }"
    exit "${refused%% *}"
  fi
  # The route is tried for real: a kernel may still refuse the mount or the registration.
  if ! out=$("$0" "$probe" --version 2>&1); then
    echo "none: 32-bit Wine did not start under $qemu in a private binfmt_misc: $out"
    exit 3
  fi
  echo "through qemu-i386 $(qemu_version) user-mode emulation in a private binfmt_misc"
  exit 0
fi

if_possible=
if [ "${1:-}" = --if-possible ]; then
  if_possible=1
  shift
fi
[ $# -gt 0 ] || { echo "usage: $0 [--if-possible] COMMAND [ARGS...] | --route" >&2; exit 2; }
# Already decided by a script above this one: natively, inside a namespace this script made, or none.
[ -z "${QTV_32BIT_PROGRAMS:-}" ] || exec "$@"
natively && QTV_32BIT_PROGRAMS=native exec "$@"
refused=$(emulation_refused)
if [ -n "$refused" ]; then
  [ -z "$if_possible" ] || QTV_32BIT_PROGRAMS=none exec "$@"
  echo "with-32bit-programs: cannot run $1: this machine runs no 32-bit programs and ${refused#* }" >&2
  exit "${refused%% *}"
fi
emulated "$@"
