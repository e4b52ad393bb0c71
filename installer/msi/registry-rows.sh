#!/usr/bin/env bash
# Writes the Windows Installer package's registration rows as WiX includes: registers the built control
# libraries with regsvr32 in a scratch Wine prefix of their own, at the paths the package installs them
# to, and turns everything the registration added to the class registry into rows. The package then
# writes what regsvr32 writes, key for key, and follows every change to the control's registration
# (or to the type library's) without anyone editing a list.
#   registry-rows.sh PREFIX OUTDIR win64 OCX64 OCX32   64-bit prefix: both libraries; writes
#                                                       OUTDIR/rows64.wxi (64-bit view) and rows32.wxi
#   registry-rows.sh PREFIX OUTDIR win32 OCX32         32-bit prefix: writes OUTDIR/rows32.wxi
# Each include holds RegistryValue elements for the component of the library of that view, under the
# classes of the package's hive (the variable Hive: HKLM per machine, HKCU per user): every key
# the registration created gets a row that creates it and removes it, with all below it, at uninstall
# (empty keys such as the class's Control key included); every value it wrote gets a row. The installed
# library's path becomes the package's reference to its file ([#ocx64], [#ocx32]) and its folder the
# folder's property, so an installation to another folder registers that one. A folder's property ends
# with a backslash, which the folder regsvr32 writes (the type library's HELPDIR) does not: Windows
# Installer has no way to write a folder without it but running code at install time, and the two name
# the same folder.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# The 32-bit library is registered by the 32-bit regsvr32: on a kernel that runs no 32-bit programs,
# where the emulator runs them.
[ -n "${QTV_32BIT_PROGRAMS:-}" ] || exec "$here/../../cmake/with-32bit-programs.sh" "$0" "$@"
[ $# -ge 4 ] || { echo "usage: $0 PREFIX OUTDIR win64 OCX64 OCX32 | PREFIX OUTDIR win32 OCX32" >&2; exit 2; }
wine_run=$here/../../cmake/wine-run.sh
prefix=$1 outdir=$2 mode=$3
me=registry-rows
die() { echo "$me: $*" >&2; exit 1; }

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
drive_c=$prefix/drive_c
case $mode in
win64)
  [ $# -eq 5 ] || die "win64 takes two libraries"
  export QTV_WINE_BITS=64
  # bits|folder|Windows folder|file reference|folder property|library. In the setup program's order, the
  # 32-bit library first: the type library's shared keys keep what the first registration wrote there.
  libraries=("32|$drive_c/Program Files (x86)/QTV Checksum|C:\\Program Files (x86)\\QTV Checksum|ocx32|INSTALLFOLDER32|$5"
             "64|$drive_c/Program Files/QTV Checksum|C:\\Program Files\\QTV Checksum|ocx64|INSTALLFOLDER64|$4")
  ;;
win32)
  [ $# -eq 4 ] || die "win32 takes one library"
  unset QTV_WINE_BITS
  libraries=("32|$drive_c/Program Files/QTV Checksum|C:\\Program Files\\QTV Checksum|ocx32|INSTALLFOLDER32|$4")
  ;;
*) die "unknown mode $mode" ;;
esac

rm -rf "$prefix" "$prefix.lock" "$prefix.boot.log"
QTV_WINEPREFIX=$prefix "$wine_run" cmd /c exit </dev/null >/dev/null || die "could not make the prefix $prefix"
WINEPREFIX=$prefix wineserver -w
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/registry-dump.sh" "$prefix/system.reg" >"$work/before" || die "cannot read $prefix/system.reg"

for entry in "${libraries[@]}"; do
  IFS='|' read -r bits folder windows_folder _ _ ocx <<<"$entry"
  mkdir -p "$folder" && cp "$ocx" "$folder/qtvchecksums100.ocx" || die "cannot copy $ocx to $folder"
  # Each library by the regsvr32 of its own bitness: in a 64-bit prefix the `wine` launcher runs the
  # 32-bit one from SysWOW64, the 64-bit loader the 64-bit one.
  launcher=/usr/lib/wine/wine
  [ "$bits" = 64 ] && launcher=/usr/lib/wine/wine64
  WINEPREFIX=$prefix "$launcher" regsvr32 /s "$windows_folder\\qtvchecksums100.ocx" </dev/null >"$work/regsvr32.log" 2>&1 ||
    { cat "$work/regsvr32.log" >&2; die "regsvr32 could not register the $bits-bit library"; }
done
WINEPREFIX=$prefix wineserver -w
"$here/registry-dump.sh" "$prefix/system.reg" >"$work/after" || die "cannot read $prefix/system.reg"

removed=$(LC_ALL=C comm -23 "$work/before" "$work/after")
[ -z "$removed" ] || die "registering removed or changed class registry entries, which a package cannot repeat:
$removed"
LC_ALL=C comm -13 "$work/before" "$work/after" >"$work/added"
[ -s "$work/added" ] || die "registering added nothing to the class registry"
if grep -q '^X' "$work/added"; then
  die "registering wrote values other than texts, which this generator does not turn into rows:
$(grep '^X' "$work/added")"
fi

# Paths of the scratch installation become the package's references, the longest first; any path of
# the prefix left after that would install this machine's scratch path on another.
substitutions=$work/substitutions
: >"$substitutions"
for entry in "${libraries[@]}"; do
  IFS='|' read -r _ _ windows_folder reference property _ <<<"$entry"
  printf '%s\t%s\n' "$windows_folder\\qtvchecksums100.ocx" "[#$reference]" "$windows_folder\\" "[$property]" \
    "$windows_folder" "[$property]" >>"$substitutions"
done

mkdir -p "$outdir"
for view in native wow; do
  bits=64
  [ "$view" = wow ] || [ "$mode" = win32 ] && bits=32
  [ "$view" = native ] || [ "$mode" = win64 ] || continue
  LC_ALL=C awk -F '\t' -v view="$view" -v subs="$substitutions" '
    BEGIN {
      n = 0
      while ((getline line < subs) > 0) { split(line, p, "\t"); n++; from[n] = p[1]; to[n] = p[2] }
    }
    function xml(s) {
      gsub(/&/, "\\&amp;", s); gsub(/</, "\\&lt;", s); gsub(/>/, "\\&gt;", s); gsub(/"/, "\\&quot;", s)
      return s
    }
    # Installer text is formatted: brackets would name properties, a leading "#" a number.
    function formatted(s,   out, i, c) {
      out = ""
      for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (c == "[") out = out "[\\[]"
        else if (c == "]") out = out "[\\]]"
        else out = out c
      }
      if (substr(out, 1, 1) == "#") out = "#" out
      return out
    }
    function paths(s,   i, at, result) {
      for (i = 1; i <= n; i++) {
        at = index(tolower(s), tolower(from[i]))
        if (at > 0) return substr(s, 1, at - 1) to[i] paths(substr(s, at + length(from[i])))
      }
      return formatted(s)
    }
    $2 != view { next }
    $1 == "K" {
      printf "  <RegistryValue Root=\"$(var.Hive)\" Key=\"%s\" Name=\"*\" Type=\"string\" Value=\"\"/>\n", xml("Software\\Classes\\" $3)
      next
    }
    $1 == "V" {
      name = ($4 == "@") ? "" : " Name=\"" xml(formatted($4)) "\""
      printf "  <RegistryValue Root=\"$(var.Hive)\" Key=\"%s\"%s Type=\"string\" Value=\"%s\"/>\n", xml("Software\\Classes\\" $3), name, xml(paths($5))
    }
  ' "$work/added" >"$work/rows" || die "cannot write the rows"
  if grep -qi 'C:\\\|Program Files' "$work/rows"; then
    die "a path of the scratch prefix is left in the rows:
$(grep -i 'C:\\\|Program Files' "$work/rows")"
  fi
  {
    echo '<?xml version="1.0" encoding="utf-8"?>'
    echo "<!-- Written by installer/msi/registry-rows.sh from what regsvr32 wrote for the $bits-bit control library. -->"
    echo '<Include>'
    cat "$work/rows"
    echo '</Include>'
  } >"$outdir/rows$bits.wxi.new" && mv "$outdir/rows$bits.wxi.new" "$outdir/rows$bits.wxi" || die "cannot write $outdir/rows$bits.wxi"
done
WINEPREFIX=$prefix wineserver -k 2>/dev/null
exit 0
