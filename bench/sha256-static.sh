#!/usr/bin/env bash
# The SHA-256 block functions of the built 32-bit and 64-bit engines beside OpenSSL's scalar code, by
# static analysis: no machine here runs 32-bit code natively, so the 32-bit engine's speed is estimated
# rather than measured. For each word size it prints, per 64-byte block, the instructions, the stack
# stores and loads, the longest dependency chain and its store-to-load hops (bench/dependency-chain.pl),
# and the cycles llvm-mca gives for two processor models; then OpenSSL's cycles divided by the engine's,
# the estimated speed ratio. OpenSSL's code is generated from the perlasm scripts of Debian's openssl
# source package: sha256-586 (the fully unrolled scalar loop that its 32-bit code runs on long inputs) and
# sha256-x86_64's scalar loop. Last, the 64-bit estimate is set beside the 64-bit engine's measured ratio
# (engine_bench, SHA-256 on 1 MiB against OpenSSL's scalar code), which says how far to trust the 32-bit
# one.
# Usage: bench/sha256-static.sh [--no-calibration]
# Installs llvm-mca and adds a deb-src entry for the machine's own Debian mirror when they are missing
# (as root, or through sudo). Not part of the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$root/build/sha256-static
models=(znver3 skylake)
calibrate=1
[ "${1:-}" = --no-calibration ] && calibrate=0
SUDO=
[ "$(id -u)" = 0 ] || SUDO=sudo
mkdir -p "$work"

# llvm-mca from the newest LLVM that the machine's package lists offer.
mca=
for version in 19 18 17 16 15; do
  if command -v "llvm-mca-$version" >/dev/null; then
    mca=llvm-mca-$version
    break
  fi
done
if [ -z "$mca" ]; then
  for version in 19 18 17 16 15; do
    if apt-cache policy "llvm-$version" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
      echo "== installing llvm-$version for llvm-mca" >&2
      $SUDO apt-get install -y -qq --no-install-recommends "llvm-$version" >/dev/null
      mca=llvm-mca-$version
      break
    fi
  done
fi
[ -n "$mca" ] || { echo "sha256-static: no llvm-15 to llvm-19 package offered here" >&2; exit 1; }

# OpenSSL's source from the mirror the machine already uses: a deb-src twin of each of its Debian
# entries, and only that list updated.
if [ ! -d "$work/openssl" ]; then
  sources=/etc/apt/sources.list.d/qtv-deb-src.sources
  if [ ! -f "$sources" ]; then
    {
      for file in /etc/apt/sources.list.d/*.sources; do
        [ "$file" = "$sources" ] && continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[^\n]*deb([ \n]|$)/ && /debian/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file"
      done
    } >"$work/deb-src.sources"
    if [ -f /etc/apt/sources.list ]; then
      # One-line entries become a deb822 stanza each.
      awk '$1 == "deb" && /debian/ {
             uri = $2; suite = $3; components = ""
             for (i = 4; i <= NF; i++) components = components (components ? " " : "") $i
             printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n\n", uri, suite, components
           }' /etc/apt/sources.list >>"$work/deb-src.sources"
    fi
    [ -s "$work/deb-src.sources" ] || { echo "sha256-static: no Debian entry in the apt sources" >&2; exit 1; }
    $SUDO cp "$work/deb-src.sources" "$sources"
  fi
  $SUDO apt-get update -qq -o Dir::Etc::sourcelist="$sources" -o Dir::Etc::sourceparts=- \
    -o APT::Get::List-Cleanup=0 >/dev/null
  # A mirror can list a version whose files it no longer holds: the newest that downloads is taken.
  rm -rf "$work/source" && mkdir -p "$work/source"
  fetched=
  for version in $(apt-cache showsrc openssl | awk '/^Package: openssl$/ { p = 1 } p && /^Version:/ { print $2; p = 0 }' |
    sort -rV); do
    if (cd "$work/source" && apt-get source -qq "openssl=$version" >/dev/null 2>&1); then
      fetched=$version
      break
    fi
    rm -rf "${work:?}/source"/*
  done
  [ -n "$fetched" ] || { echo "sha256-static: apt-get source openssl failed for every version listed" >&2; exit 1; }
  mv "$work/source"/openssl-*/ "$work/openssl"
  echo "$fetched" >"$work/openssl/debian-version"
fi

# OpenSSL's scalar code as AT&T assembly, one block's instructions: the 32-bit unrolled loop, and the
# 64-bit loop with its round loop (16 rounds, run three times) written out.
asm=$work/openssl/crypto/sha/asm
(cd "$work" && CC=false perl "$asm/sha256-586.pl" elf openssl-586.s 2>/dev/null)
(cd "$work" && CC=false perl "$asm/sha512-x86_64.pl" elf openssl-sha256-x86_64.s 2>/dev/null)
awk '/^\.L[0-9]+grand_loop:/ { p = 1; next } p && /jb\t\.L[0-9]+grand_loop/ { exit } p' \
  "$work/openssl-586.s" >"$work/openssl-32.s"
awk '/^\.Lloop:/ { p = 1; next }
     /^\.Lrounds_16_xx:/ { p = 0; r = 1; next }
     r == 1 && /jnz\t\.Lrounds_16_xx/ { r = 2; next }
     r == 1 { rounds = rounds $0 "\n"; next }
     r == 2 && /jb\t\.Lloop/ { exit }
     r == 2 { tail = tail $0 "\n"; next }
     p { print }
     END { printf "%s%s%s%s", rounds, rounds, rounds, tail }' "$work/openssl-sha256-x86_64.s" >"$work/openssl-64.s"
# Directives and branches are no instructions of the block.
for bits in 32 64; do
  grep -Ev '^\s*(\.|$)|^\s*j[a-z]+\s' "$work/openssl-$bits.s" >"$work/openssl-$bits.clean.s"
done

# The engines as built: SHA256Transform from the digest library's object, the code the engine links.
echo "== building the linux and win32 engines" >&2
build() { # preset, target
  { cmake --preset "$1" && cmake --build --preset "$1" --target "$2"; } >"$work/build-$1.log" 2>&1 || {
    cat "$work/build-$1.log" >&2
    echo "sha256-static: building $2 in $1 failed" >&2
    exit 1
  }
}
build linux qtvsum
build win32 qtvsum
block_function() { # object, output
  objdump -d --no-show-raw-insn "$1" |
    awk '/SHA256Transform.*>:$/ { p = 1; next } p && /^$/ { exit } p' |
    sed -E 's/^\s*[0-9a-f]+:\s*//; s/<[^>]*>//g; s/#.*//' | grep -Ev '^(ret|nop|xchg\s+%ax,%ax|data16|cs nop)' \
    >"$2"
}
block_function build/win32/engine/CMakeFiles/qtv_digests.dir/digests/sha256.cpp.obj "$work/engine-32.s"
block_function build/linux/engine/CMakeFiles/qtv_digests.dir/digests/sha256.cpp.o "$work/engine-64.s"

# Cycles per block: llvm-mca's for a steady stream of blocks, or the longest chain where that is longer
# (llvm-mca takes stores and loads as independent, so a chain through memory does not slow it).
declare -A cycles
analyse() { # name, bits
  local name=$1 bits=$2 file=$work/$1-$2.s triple
  [ "$bits" = 32 ] && triple=i686-unknown-linux-gnu || triple=x86_64-unknown-linux-gnu
  [ "$name" = openssl ] && file=$work/openssl-$bits.clean.s
  read -r instructions stores loads chain hops < <(perl bench/dependency-chain.pl <"$file")
  local line
  line=$(printf '%-8s %-2s %6d %6d %6d %6d %5d' "$name" "$bits" "$instructions" "$stores" "$loads" "$chain" "$hops")
  for model in "${models[@]}"; do
    local mcaCycles
    mcaCycles=$("$mca" -mtriple="$triple" -mcpu="$model" -iterations=100 "$file" 2>/dev/null |
      awk '/^Total Cycles:/ { printf "%.0f", $3 / 100 }')
    [ -n "$mcaCycles" ] || { echo "sha256-static: llvm-mca could not read $file" >&2; exit 1; }
    cycles[$name,$bits,$model]=$((mcaCycles > chain ? mcaCycles : chain))
    line+=$(printf ' %7d' "$mcaCycles")
  done
  echo "$line"
}

echo "SHA-256, one 64-byte block; OpenSSL $(cat "$work/openssl/debian-version") (Debian source), $mca"
printf '%-8s %-2s %6s %6s %6s %6s %5s' code bits instr stores loads chain hops
for model in "${models[@]}"; do printf ' %7s' "$model"; done
echo
for bits in 32 64; do
  analyse engine "$bits"
  analyse openssl "$bits"
done
echo "instr: instructions; stores, loads: of the stack; chain: the longest dependency chain in cycles"
echo "(1 an operation, 5 a load); hops: its links from a store to a load; per model: llvm-mca's cycles"
echo
echo "estimated speed, engine / OpenSSL scalar (cycles: llvm-mca's, or the chain where longer):"
declare -A estimate
for bits in 32 64; do
  line=$(printf '  %s-bit' "$bits")
  for model in "${models[@]}"; do
    estimate[$bits,$model]=$(awk -v o="${cycles[openssl,$bits,$model]}" -v e="${cycles[engine,$bits,$model]}" \
      'BEGIN { printf "%.3f", o / e }')
    line+=$(printf '  %s %s (%d / %d cycles)' "$model" "${estimate[$bits,$model]}" \
      "${cycles[openssl,$bits,$model]}" "${cycles[engine,$bits,$model]}")
  done
  echo "$line"
done

[ "$calibrate" = 1 ] || exit 0
echo
echo "== measuring the 64-bit engine (engine_bench, SHA-256 on 1 MiB, best of 60 interleaved)" >&2
build linux engine_bench
measured=$(build/linux/bin/engine_bench --benchmark_filter='(sha256string|openssl_SHA256)/1MiB' 2>/dev/null |
  awk '/^SHA-256 string 1 MiB \/ OpenSSL scalar/ { print $(NF - 3) }')
[ -n "$measured" ] || { echo "sha256-static: engine_bench gave no SHA-256 ratio" >&2; exit 1; }
echo "calibration, 64-bit: measured $measured on $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')," \
  "load average $(cut -d' ' -f1 /proc/loadavg)"
for model in "${models[@]}"; do
  awk -v m="$measured" -v e="${estimate[64,$model]}" -v n="$model" \
    'BEGIN { printf "  %s: estimated %.3f, measured / estimated %.3f\n", n, e, m / e }'
done
