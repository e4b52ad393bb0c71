#!/usr/bin/env bash
# The Windows Installer packages as an administrator deploys them, silently, in fresh Wine prefixes of
# their own: one step per call, run in this order by ctest (each step needs the one before).
#   msi_test.sh x64 install|scripts|registry|repair|upgrade|uninstall|setup-program-first|package-first
#   msi_test.sh x86 install|scripts|registry|uninstall
#   msi_test.sh x64-folders install|scripts|registry|repair|upgrade|uninstall
#   msi_test.sh x64-user|x86-user install|registry|uninstall|setup-programs
#   msi_test.sh x64|x86|x64-user|x86-user file-versions|same-bytes
# x64: the 64-bit package in a 64-bit prefix; x86: the 32-bit package in a 32-bit prefix; x64-folders:
# the 64-bit package installed into folders an administrator chose (blanks, a letter outside ASCII);
# -user: the package for one user (QTV_MSI names it).
# Environment: QTV_MSI_PREFIX (the prefix, made afresh by "install"; a reference prefix beside it is
# made by "registry"), QTV_MSI (the package), QTV_MSI32 (the 32-bit package), QTV_MSI_ROWS (the
# package's registration rows, for building a newer version), QTV_MSI_UPGRADE_CODE, QTV_SETUP (the setup
# program), QTV_WINE_RUN (cmake/wine-run.sh), QTV_SCRIPTS (this folder), QTV_MSI_SOURCES
# (installer/msi), QTV_OCX64, QTV_ENGINE64, QTV_OCX32, QTV_ENGINE32, QTV_README, QTV_EXAMPLES (the built
# files).
set -uo pipefail
# The 32-bit package, the setup program and half of what the 64-bit package installs are 32-bit
# programs: on a kernel that runs none, every step runs where the emulator runs them (but for the
# reading of the File table, which runs none).
[ -n "${QTV_32BIT_PROGRAMS:-}" ] || [ "${2:-}" = file-versions ] || [ "${2:-}" = same-bytes ] || exec "$(dirname "$QTV_WINE_RUN")/with-32bit-programs.sh" "$0" "$@"
kind=$1 step=$2
arch=${kind%%-*}
export WINEPREFIX=$QTV_MSI_PREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
reference=$QTV_MSI_PREFIX-regsvr32
drive_c=$WINEPREFIX/drive_c
clsid='{9A683826-46E8-4242-9451-59DAAEF3F2B7}'
roots=("CLSID\\$clsid" 'QTVChecksum100.QTVChecksum' 'TypeLib\{67E91B2D-17F4-418F-8D50-228F6BD960FE}'
       'Interface\{2F062EC2-5BD3-477B-AF58-46F0B3CCD64F}' 'Interface\{4C78E060-1D11-4F46-BD13-20046A13D43B}')
dump=$QTV_MSI_SOURCES/registry-dump.sh
if [ "$arch" = x64 ]; then
  bits=64
  wine_native=/usr/lib/wine/wine64
  folder=$drive_c/"Program Files/QTV Checksum"
  folder32=$drive_c/"Program Files (x86)/QTV Checksum"
  windows_folder='C:\Program Files\QTV Checksum'
  windows_folder32='C:\Program Files (x86)\QTV Checksum'
else
  bits=32
  wine_native=/usr/lib/wine/wine
  folder=$drive_c/"Program Files/QTV Checksum"
  folder32=$folder
  windows_folder='C:\Program Files\QTV Checksum'
  windows_folder32=$windows_folder
fi
docs=$folder
install_arguments=()
case $kind in
*-folders)
  # Both folders on the command line only at the first installation: repair, upgrade and removal find
  # them again by themselves.
  folder=$drive_c/"Q Tools/Prüf 64" folder32=$drive_c/"Q Tools/Prüf 32" docs=$drive_c/"Q Tools/Prüf 64"
  windows_folder='C:\Q Tools\Prüf 64' windows_folder32='C:\Q Tools\Prüf 32'
  install_arguments=("INSTALLFOLDER64=$windows_folder" "INSTALLFOLDER32=$windows_folder32")
  # Wine reads the command line in the Unix locale's character set.
  export LC_ALL=C.UTF-8
  ;;
*-user)
  docs=$drive_c/users/$(id -un)/AppData/Local/Programs/"QTV Checksum"
  windows_docs="C:\\users\\$(id -un)\\AppData\\Local\\Programs\\QTV Checksum"
  folder=$docs/64-bit folder32=$docs/32-bit
  windows_folder="$windows_docs\\64-bit" windows_folder32="$windows_docs\\32-bit"
  [ "$arch" = x86 ] && folder=$folder32 windows_folder=$windows_folder32
  ;;
esac
source "$(dirname "$0")/test_helpers.sh"

# The last msiexec run's log; Wine's msiexec writes it in the ANSI code page, Windows' in UTF-16.
msiexec_log() {
  local log=$drive_c/qtv-msiexec.log
  if [ "$(head -c 2 "$log" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    iconv -f UTF-16LE -t UTF-8 "$log"
  else
    cat "$log"
  fi | tr -d '\r'
}

# Runs msiexec of the prefix's own bitness with a verbose log; shows the log's errors when the status is
# not the expected one. Usage: msiexec EXPECTED-STATUS ARGS...
msiexec() {
  local expected=$1
  shift
  rm -f "$drive_c/qtv-msiexec.log"
  run "$wine_native" msiexec "$@" /qn /l*v 'C:\qtv-msiexec.log'
  cat "$out"
  WINEPREFIX=$WINEPREFIX wineserver -w
  if [ "$status" -ne "$(low "$expected")" ]; then
    fail "msiexec $* ended with $status, not $expected (as $(low "$expected"))"
    [ -f "$drive_c/qtv-msiexec.log" ] && msiexec_log | grep -aiE 'error|return value [03]|fail' | head -40
  fi
}

expect_all_checksums() {
  if [ "$arch" = x64 ]; then
    expect_checksums /usr/lib/wine/wine64 AMD64
  fi
  expect_checksums /usr/lib/wine/wine x86
}

# The entries of the list of installed programs named after the product, in every view: "key name".
installed_entries() {
  WINEPREFIX=$WINEPREFIX wineserver -w
  LC_ALL=C awk '
    /^\[/ { key = ""; if ($0 ~ /^\[Software\\\\(Wow6432Node\\\\)?Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\/) { key = $1 } ; next }
    key != "" && /^"DisplayName"="QTV Checksum/ { sub(/^"DisplayName"=/, ""); print key " " $0 }
  ' "$WINEPREFIX/system.reg"
}

expect_one_entry() {
  local name=$1 entries
  entries=$(installed_entries)
  [ "$(echo "$entries" | grep -c .)" -eq 1 ] && grep -q "\"$name\"\$" <<<"$entries" ||
    fail "the list of installed programs holds
${entries:-nothing}
and not exactly one entry \"$name\""
}

# Every file the package installs is there and is the built one.
expect_files() {
  local pair file source
  local pairs=("$folder32/qtvchecksums100.ocx|$QTV_OCX32" "$folder32/qtvsum.dll|$QTV_ENGINE32"
               "$docs/README.md|$QTV_README" "$docs/examples/checksum.vbs|$QTV_EXAMPLES/checksum.vbs")
  [ "$arch" = x64 ] && pairs+=("$folder/qtvchecksums100.ocx|$QTV_OCX64" "$folder/qtvsum64.dll|$QTV_ENGINE64")
  for pair in "${pairs[@]}"; do
    IFS='|' read -r file source <<<"$pair"
    [ -f "$file" ] || { fail "not installed: $file"; continue; }
    cmp -s "$file" "$source" || fail "not the built file: $file"
  done
}

# The hive a package registers in: the machine's, or the user's for a package for one user.
hive=$WINEPREFIX/system.reg
[[ $kind == *-user ]] && hive=$WINEPREFIX/user.reg

# The registration facts the package wrote equal those regsvr32 wrote in the reference prefix, key for
# key and value for value, in both registry views (a package for one user: the same, under the user's
# classes).
expect_regsvr32_registration() {
  WINEPREFIX=$WINEPREFIX wineserver -w
  # A folder written by Windows Installer ends with a backslash (the type library's HELPDIR), where
  # regsvr32 writes none: Windows Installer cannot write it otherwise, and both name the same folder.
  "$dump" "$hive" "${roots[@]}" |
    sed -E 's/^(V\t[a-z]+\tTypelib\\\{[^\t]*\}\\[0-9.]+\\HELPDIR\t@\t.*)\\$/\1/I' >"$out.package"
  "$dump" "$reference/system.reg" "${roots[@]}" >"$out.regsvr32"
  if [ "$kind" = x64-user ]; then
    # Wine 8 keeps one view of HKEY_CURRENT_USER\Software\Classes (a 32-bit and a 64-bit write land in
    # the same key), where Windows keeps the classes of each bitness apart: the user's classes hold
    # the keys of both views, and each value one of them wrote there, one per name.
    sed -i -E 's/^([KVX])\t[a-z]+\t/\1\tone\t/' "$out.regsvr32" "$out.package"
    LC_ALL=C sort -u -o "$out.regsvr32" "$out.regsvr32"
    LC_ALL=C sort -u -o "$out.package" "$out.package"
    local names_expected names_written foreign
    names_expected=$(cut -f1-4 "$out.regsvr32" | sort -u | wc -l)
    names_written=$(cut -f1-4 "$out.package" | sort -u | wc -l)
    foreign=$(LC_ALL=C comm -13 "$out.regsvr32" "$out.package")
    [ "$names_expected" -eq "$names_written" ] && [ -z "$foreign" ] ||
      fail "the user's classes hold $names_written keys and value names, not $names_expected, or values regsvr32 writes in neither view:
${foreign:-none}"
  elif [ ! -s "$out.regsvr32" ]; then
    fail "the reference prefix holds no registration"
  elif ! diff -u --label regsvr32 --label package "$out.regsvr32" "$out.package"; then
    fail "the package's registration differs from what regsvr32 writes (- regsvr32, + package)"
  fi
  rm -f "$out.package" "$out.regsvr32"
}

# Every value under HKEY_LOCAL_MACHINE, one "[key] value" a line, but for Windows Installer's own records
# of the products it installed (which Wine keeps there for a per-user product as well: its list entry,
# its components and upgrade code) and a device date that Wine renews at every start.
machine_values() {
  WINEPREFIX=$WINEPREFIX wineserver -w
  LC_ALL=C awk '
    /^\[/ {
      key = $0; sub(/\] [0-9]+$/, "]", key)
      skip = key ~ /^\[Software\\\\(Wow6432Node\\\\)?Microsoft\\\\Windows\\\\CurrentVersion\\\\(Installer\\\\|Uninstall\\\\\{)/
      next
    }
    skip || /^#/ || /^$/ || /^"DriverDateData"=/ { next }
    { print key " " $0 }
  ' "$WINEPREFIX/system.reg" | LC_ALL=C sort
}

# HKEY_LOCAL_MACHINE as it was before a per-user package was installed.
expect_machine_unchanged() {
  machine_values >"$out.machine"
  diff -u --label before --label now "$QTV_MSI_PREFIX.machine" "$out.machine" ||
    fail "the package for one user changed HKEY_LOCAL_MACHINE (- before, + now)"
  rm -f "$out.machine"
}

# Nothing of the registration and no file or folder is left.
expect_nothing_left() {
  WINEPREFIX=$WINEPREFIX wineserver -w
  local left
  left=$("$dump" "$WINEPREFIX/system.reg" "${roots[@]}"; "$dump" "$WINEPREFIX/user.reg" "${roots[@]}")
  [ -z "$left" ] || fail "left in the registry:
$left"
  left=$(grep -ai '^\[Software\\\\\(Wow6432Node\\\\\)\?QTV Software' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg")
  [ -z "$left" ] || fail "the folders' keys are left: $left"
  for dir in "$folder" "$folder32" "$docs"; do
    [ ! -e "$dir" ] || fail "left behind: $dir $(find "$dir" 2>/dev/null | tr '\n' ' ')"
  done
  # The chosen folders' parent is the administrator's (Windows Installer made it only because it was
  # missing, and keeps it, empty).
  [ -z "$(find "$(dirname "$folder")" -mindepth 1 2>/dev/null)" ] || [[ $kind != *-folders ]] ||
    fail "left in the chosen folders' parent: $(find "$(dirname "$folder")" -mindepth 1 | tr '\n' ' ')"
  local entries
  entries=$(installed_entries)
  [ -z "$entries" ] || fail "left in the list of installed programs: $entries"
}

# A fresh prefix of the package's bitness.
fresh_prefix() {
  local prefix=$1 wine_bits=(QTV_WINE_BITS=32)
  [ "$arch" = x64 ] && wine_bits=(QTV_WINE_BITS=64)
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  rm -rf "$prefix" "$prefix.lock" "$prefix.boot.log"
  run env QTV_WINEPREFIX="$prefix" "${wine_bits[@]}" "$QTV_WINE_RUN" cmd /c exit
  [ "$status" -eq 0 ] || { cat "$out"; fail "the prefix $prefix could not be made"; exit 1; }
  WINEPREFIX=$prefix wineserver -w
}

package=$(windows_path "$QTV_MSI")
newer=$QTV_MSI_PREFIX-1.0.1.msi

# Builds a package from the built files as the build does. $1: the package; $2: its kind; $3: its version.
build_package() {
  local files64=()
  [ "$arch" = x86 ] || files64=(Ocx64="$QTV_OCX64" Engine64="$QTV_ENGINE64"
    Manifest64="$(dirname "$QTV_OCX64")/qtvchecksums100.manifest")
  run "$QTV_MSI_SOURCES/build-msi.sh" "$1" "$2" "$3" "$QTV_MSI_ROWS" "$QTV_MSI_UPGRADE_CODE" "${files64[@]}" \
    Ocx32="$QTV_OCX32" Engine32="$QTV_ENGINE32" Manifest32="$(dirname "$QTV_OCX32")/qtvchecksums100.manifest" \
    Readme="$QTV_README" Examples="$QTV_EXAMPLES"
}

case $step in
install)
  fresh_prefix "$WINEPREFIX"
  [[ $kind == *-user ]] && machine_values >"$QTV_MSI_PREFIX.machine"
  msiexec 0 /i "$package" "${install_arguments[@]}"
  expect_files
  expect_one_entry "QTV Checksum 1.0.0"
  [[ $kind == *-user ]] && expect_machine_unchanged
  ;;
same-bytes)
  # The package built again from the same files is the same bytes, every time: wixl numbers actions
  # that share their neighbours in an order that changes from run to run, which only a chain fixes.
  work=$(mktemp -d)
  for run_number in 1 2 3 4; do
    build_package "$work/$run_number.msi" "$kind" 1.0.0
    [ "$status" -eq 0 ] || { cat "$out"; fail "the package could not be built again"; break; }
    if [ "$run_number" -gt 1 ] && ! cmp -s "$work/1.msi" "$work/$run_number.msi"; then
      fail "building the package again gave other bytes (build 1 and build $run_number):"
      for table in $(msiinfo tables "$work/1.msi"); do
        diff <(msiinfo export "$work/1.msi" "$table") <(msiinfo export "$work/$run_number.msi" "$table") |
          sed "s/^/  $table: /"
      done
      break
    fi
  done
  rm -rf "$work"
  ;;
file-versions)
  # Each library's row in the File table carries the version and language of the library's own version
  # record, and no hash (which is for unversioned files); the README, the example and the assembly
  # manifests are unversioned.
  msiinfo export "$QTV_MSI" File | tr -d '\r' | tail -n +4 >"$out.files" || fail "msiinfo cannot read $QTV_MSI"
  pairs=("ocx32|$QTV_OCX32" "engine32|$QTV_ENGINE32" "manifest32|" "readme|" "example|")
  unversioned="example manifest32 readme "
  if [ "$arch" = x64 ]; then
    pairs+=("ocx64|$QTV_OCX64" "engine64|$QTV_ENGINE64" "manifest64|")
    unversioned="example manifest32 manifest64 readme "
  fi
  for pair in "${pairs[@]}"; do
    IFS='|' read -r file_id source <<<"$pair"
    read -r version language < <(awk -F '\t' -v id="$file_id" '$1 == id { print $5 " " $6 }' "$out.files")
    expected="$("$QTV_MSI_SOURCES/file-version.sh" "${source:-/dev/null}" 2>/dev/null)"
    [ -n "$source" ] && [[ ! $expected =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+\ [0-9]+$ ]] &&
      fail "no version record read from $source: '$expected'"
    [ "$version $language" = "${expected:- }" ] ||
      fail "the File table gives $file_id the version '$version' and language '$language', not '${expected:-none}'"
  done
  hashed=$(msiinfo export "$QTV_MSI" MsiFileHash | tr -d '\r' | tail -n +4 | cut -f1 | sort | tr '\n' ' ')
  [ "$hashed" = "$unversioned" ] || fail "the files with a hash are '$hashed', not only the unversioned ones"
  rm -f "$out.files"
  ;;
scripts)
  # One script, unchanged, in each bitness the package serves, through the one ProgID.
  expect_all_checksums
  ;;
registry)
  # The reference: the same libraries at the same paths in a fresh prefix, each registered by the
  # regsvr32 of its bitness, the 32-bit one first as the setup program does.
  fresh_prefix "$reference"
  mkdir -p "$reference/drive_c/${folder32#"$drive_c"/}" "$reference/drive_c/${folder#"$drive_c"/}"
  cp "$QTV_OCX32" "$reference/drive_c/${folder32#"$drive_c"/}/qtvchecksums100.ocx"
  WINEPREFIX=$reference run /usr/lib/wine/wine regsvr32 /s "$windows_folder32\\qtvchecksums100.ocx"
  [ "$status" -eq 0 ] || { cat "$out"; fail "the 32-bit regsvr32 failed with $status"; }
  if [ "$arch" = x64 ]; then
    cp "$QTV_OCX64" "$reference/drive_c/${folder#"$drive_c"/}/qtvchecksums100.ocx"
    WINEPREFIX=$reference run /usr/lib/wine/wine64 regsvr32 /s "$windows_folder\\qtvchecksums100.ocx"
    [ "$status" -eq 0 ] || { cat "$out"; fail "the 64-bit regsvr32 failed with $status"; }
  fi
  WINEPREFIX=$reference wineserver -w
  expect_regsvr32_registration
  ;;
repair)
  # A deleted library and a registration undone by hand: a repair brings both back. It is the repair
  # `msiexec /f` runs (REINSTALLMODE "omus": missing files, machine and user registry), asked for through
  # its properties: Wine 8's msiexec cannot /f, neither a product code ("Product code treatment not
  # implemented yet", status 1) nor a package (passed on as a product code: 1605, unknown product).
  rm -f "$folder/qtvchecksums100.ocx"
  run /usr/lib/wine/wine regsvr32 /u /s "$windows_folder32\\qtvchecksums100.ocx"
  [ "$status" -eq 0 ] || { cat "$out"; fail "unregistering the 32-bit library failed with $status"; }
  msiexec 0 /i "$package" REINSTALL=ALL REINSTALLMODE=omus
  expect_files
  expect_regsvr32_registration
  expect_all_checksums
  ;;
upgrade)
  # A newer version built from the same source replaces the installed one: one entry is left, the new
  # one, and the registration is whole. The older package then refuses to downgrade it.
  build_package "$newer" "$arch" 1.0.1
  [ "$status" -eq 0 ] || { cat "$out"; fail "the newer package could not be built"; exit 1; }
  msiexec 0 /i "$(windows_path "$newer")"
  expect_one_entry "QTV Checksum 1.0.1"
  expect_files
  expect_regsvr32_registration
  expect_all_checksums
  # ERROR_INSTALL_FAILURE: the launch condition that refuses a downgrade.
  msiexec 1603 /i "$package"
  expect_one_entry "QTV Checksum 1.0.1"
  expect_files
  ;;
uninstall)
  # The installed version is removed through its own package (the newer one where "upgrade" ran).
  installed=$QTV_MSI
  [ ! -f "$newer" ] || installed=$newer
  msiexec 0 /x "$(windows_path "$installed")"
  expect_nothing_left
  [[ $kind == *-user ]] && expect_machine_unchanged
  rm -f "$newer"
  if [ "$kind" = x64 ]; then
    # The package for 32-bit Windows refuses 64-bit Windows, where it would leave 64-bit programs
    # without the control.
    msiexec 1603 /i "$(windows_path "$QTV_MSI32")"
    expect_nothing_left
  fi
  if [ "$kind" != x64 ] && [ "$kind" != x64-user ]; then
    WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null
    WINEPREFIX=$reference wineserver -k 2>/dev/null
  fi
  ;;
setup-programs)
  # The package for one user refuses to install over the setup program's installation for this user
  # (which marks it by its entry in the user's list of installed programs) and over its installation
  # for the machine: both removals would take the package's registration with them.
  expect_nothing_left
  machine_values >"$QTV_MSI_PREFIX.machine"
  entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QTVChecksum'
  run "$wine_native" reg add "$entry" /v DisplayName /d 'QTV Checksum 1.0.0' /f
  [ "$status" -eq 0 ] || { cat "$out"; fail "reg add ended with $status"; }
  msiexec 1603 /i "$package"
  msiexec_log | grep -a '^Property(S): QTV_USER_SETUP_PROGRAM = QTV Checksum 1.0.0$' >/dev/null ||
    fail "the package did not find the entry of the setup program's installation for this user"
  run "$wine_native" reg delete "$entry" /f
  [ "$status" -eq 0 ] || { cat "$out"; fail "reg delete ended with $status"; }
  expect_nothing_left
  expect_machine_unchanged
  run wine "$(windows_path "$QTV_SETUP")" /S
  [ "$status" -eq 0 ] || { cat "$out"; fail "the setup program ended with $status"; }
  msiexec 1603 /i "$package"
  msiexec_log | grep -a '^Property(S): QTV_SETUP_PROGRAM = QTV Checksum 1.0.0$' >/dev/null ||
    fail "the package did not find the setup program's entry"
  [ ! -e "$docs" ] || fail "the package installed over the setup program's installation: $docs"
  machine_folder=$drive_c/"Program Files/QTV Checksum"
  cp "$machine_folder/uninstall.exe" "$drive_c/qtv-uninstall.exe"
  run wine 'C:\qtv-uninstall.exe' /S '_?=C:\Program' 'Files\QTV' 'Checksum'
  [ "$status" -eq 0 ] || { cat "$out"; fail "the setup program's uninstaller ended with $status"; }
  rm -f "$drive_c/qtv-uninstall.exe"
  expect_nothing_left
  [ ! -e "$machine_folder" ] || fail "the setup program's folder is left"
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null
  WINEPREFIX=$reference wineserver -k 2>/dev/null
  ;;
setup-program-first)
  # The package refuses to install over the setup program's installation, which keeps working and is
  # still the setup program's (its uninstaller then removes everything).
  expect_nothing_left
  run wine "$(windows_path "$QTV_SETUP")" /S
  cat "$out"
  [ "$status" -eq 0 ] || fail "the setup program ended with $status"
  WINEPREFIX=$WINEPREFIX wineserver -w
  msiexec 1603 /i "$package"
  # It stopped at its launch conditions, having found the setup program's entry. (Wine's msiexec does
  # not log the condition's message, which Windows' does.)
  msiexec_log | grep -a '^Property(S): QTV_SETUP_PROGRAM = QTV Checksum 1.0.0$' >/dev/null ||
    fail "the package did not find the setup program's entry"
  [ "$(msiexec_log | grep -a '^Action start' | tail -1)" = "$(msiexec_log | grep -a '^Action start' | grep -a LaunchConditions | tail -1)" ] ||
    fail "the package did not stop at its launch conditions: $(msiexec_log | grep -a '^Action start' | tail -1)"
  [ -f "$folder/uninstall.exe" ] || fail "the setup program's uninstaller is gone"
  entries=$(installed_entries)
  [ "$(echo "$entries" | grep -c .)" -eq 1 ] && grep -q 'Uninstall\\\\QTVChecksum\]' <<<"$entries" ||
    fail "not only the setup program's entry: ${entries:-nothing}"
  expect_all_checksums
  cp "$folder/uninstall.exe" "$drive_c/qtv-uninstall.exe"
  run wine 'C:\qtv-uninstall.exe' /S '_?=C:\Program' 'Files\QTV' 'Checksum'
  [ "$status" -eq 0 ] || { cat "$out"; fail "the setup program's uninstaller ended with $status"; }
  WINEPREFIX=$WINEPREFIX wineserver -w
  rm -f "$drive_c/qtv-uninstall.exe"
  expect_nothing_left
  ;;
package-first)
  # The setup program refuses to install over the package's installation (1638: another version of this
  # product is installed), which keeps its registration whole; the package then uninstalls cleanly.
  msiexec 0 /i "$package"
  run wine "$(windows_path "$QTV_SETUP")" /S
  cat "$out"
  [ "$status" -eq "$(low 1638)" ] || fail "the setup program ended with $status, not 1638 (as $(low 1638))"
  WINEPREFIX=$WINEPREFIX wineserver -w
  [ ! -e "$folder/uninstall.exe" ] || fail "the setup program installed its uninstaller over the package"
  expect_one_entry "QTV Checksum 1.0.0"
  expect_files
  expect_regsvr32_registration
  expect_all_checksums
  msiexec 0 /x "$package"
  expect_nothing_left
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null
  WINEPREFIX=$reference wineserver -k 2>/dev/null
  ;;
*)
  echo "unknown step $step" >&2
  exit 2
  ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "$arch $step: ok"
