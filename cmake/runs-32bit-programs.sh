#!/usr/bin/env bash
# Exits 0 when this machine can run 32-bit programs, which 32-bit Wine needs: some kernels are built or
# started without 32-bit emulation, and every 32-bit program then fails with "Exec format error".
# With --why, prints what stops them instead.
if [ "${1:-}" = --why ]; then
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit Wine (wine32:i386) is not installed"
  else
    reason=$(/usr/lib/wine/wine --version 2>&1 >/dev/null | tail -1 | sed 's/^.*: //')
    echo "32-bit Wine fails with \"${reason:-no word}\": the kernel's 32-bit emulation is off"
  fi
  exit 0
fi
/usr/lib/wine/wine --version >/dev/null 2>&1
