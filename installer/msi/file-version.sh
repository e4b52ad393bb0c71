#!/usr/bin/env bash
# Prints a Windows library's file version and language from its own version record, as Windows Installer
# reads them: "1.0.0.1 1033". The record is found through the library's resource directory (type 16,
# its first name and language), never by searching the file for the record's signature: the control
# library carries the engine, and with it the engine's version record, among its resources.
#   file-version.sh LIBRARY
set -uo pipefail
[ $# -eq 1 ] || { echo "usage: $0 LIBRARY" >&2; exit 2; }
file=$1
die() { echo "file-version: $file: $*" >&2; exit 1; }
[ -f "$file" ] || die "no such file"

# Little-endian unsigned numbers at a byte offset.
u16() { od -An -tu2 -j "$1" -N2 --endian=little "$file" | tr -d ' '; }
u32() { od -An -tu4 -j "$1" -N4 --endian=little "$file" | tr -d ' '; }

[ "$(head -c 2 "$file")" = MZ ] || die "not a Windows program or library"
pe=$(u32 60)
[ "$(u32 "$pe")" = 17744 ] || die "no PE header" # "PE\0\0"
sections=$(u16 $((pe + 6)))
optional=$((pe + 24))
optional_size=$(u16 $((pe + 20)))
case $(u16 "$optional") in
267) directories=$((optional + 96)) ;;  # PE32
523) directories=$((optional + 112)) ;; # PE32+
*) die "unknown optional header" ;;
esac
resources_rva=$(u32 $((directories + 2 * 8)))
[ "$resources_rva" -ne 0 ] || die "no resources"

# A relative virtual address as an offset in the file, through the section that holds it.
offset_of() {
  local rva=$1 i section start size
  for ((i = 0; i < sections; i++)); do
    section=$((optional + optional_size + 40 * i))
    start=$(u32 $((section + 12))) size=$(u32 $((section + 16)))
    if [ "$rva" -ge "$start" ] && [ "$rva" -lt $((start + size)) ]; then
      echo $((rva - start + $(u32 $((section + 20)))))
      return
    fi
  done
  die "address $rva lies in no section"
}
root=$(offset_of "$resources_rva")

# The entry of a resource directory (an offset from the root) whose id is the given one, or its first
# entry for "first": prints the entry's id and its target (an offset from the root; a subdirectory's
# flag cleared).
entry() {
  local directory=$1 wanted=$2 count i at id
  count=$(($(u16 $((root + directory + 12))) + $(u16 $((root + directory + 14)))))
  for ((i = 0; i < count; i++)); do
    at=$((root + directory + 16 + 8 * i))
    id=$(u32 "$at")
    if [ "$wanted" = first ] || [ "$id" = "$wanted" ]; then
      echo "$id $(($(u32 $((at + 4))) & 0x7fffffff))"
      return
    fi
  done
  die "no resource entry $wanted"
}
read -r _ names < <(entry 0 16) || exit 1
read -r _ languages < <(entry "$names" first) || exit 1
read -r language data < <(entry "$languages" first) || exit 1
record=$(offset_of "$(u32 $((root + data)))")

# VS_VERSIONINFO: three 16-bit fields, the key "VS_VERSION_INFO" in UTF-16 with its NUL (32 bytes),
# padding to 32 bits, then VS_FIXEDFILEINFO: signature, structure version, file version (most then
# least significant: major << 16 | minor, build << 16 | revision).
[ "$(u32 $((record + 40)))" = 4277077181 ] || die "the version record has no fixed file information" # 0xFEEF04BD
high=$(u32 $((record + 48))) low=$(u32 $((record + 52)))
echo "$((high >> 16)).$((high & 0xffff)).$((low >> 16)).$((low & 0xffff)) $language"
