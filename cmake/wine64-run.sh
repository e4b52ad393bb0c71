#!/usr/bin/env bash
# Runs a 64-bit Windows program under Wine in the build tree's own 64-bit prefix; see wine-run.sh.
QTV_WINE_BITS=64 exec "$(dirname "$0")/wine-run.sh" "$@"
