#!/usr/bin/env bash
# The Windows installer as a user meets it, in a fresh 64-bit Wine prefix of its own: one step per call,
# run in this order by ctest (each step needs the one before). "uninstall" uninstalls while programs use
# the control and restarts Wine after them; "nothing-left" checks what the restart left. The user-* steps
# install for the current user alone, in a prefix of their own (QTV_USER_PREFIX), and end with the
# refusals between the two kinds of installation and the package.
#   installer_test.sh install|scripts|type-library|side-by-side|registration|uninstall|nothing-left|zip
#   installer_test.sh user-install|user-registry|user-uninstall|user-refusals
# Environment: QTV_INSTALLER_PREFIX (the prefix, made afresh by "install"), QTV_SETUP (the installer),
# QTV_WINE_RUN (cmake/wine-run.sh), QTV_SCRIPTS (this folder), QTV_TLB_TEST32 and QTV_TLB_TEST64 (the
# type library test programs of each bitness), QTV_ENGINE32 and QTV_ENGINE64 (the built engines), QTV_ZIP
# (the zip), QTV_DESKTOP_READY (tests/support/desktop_ready.cpp, built for 64-bit Windows); for the user-*
# steps QTV_OCX32 and QTV_OCX64 (the built control libraries), QTV_MSI64 (the 64-bit package),
# QTV_MSI_SOURCES (installer/msi) and QTV_MSI_ROWS_PREFIX (the scratch prefix where the package's rows
# were read: both libraries registered for the machine by regsvr32).
set -uo pipefail
# The installer and half of what it installs are 32-bit programs: on a kernel that runs none, every
# step runs where the emulator runs them.
[ -n "${QTV_32BIT_PROGRAMS:-}" ] || exec "$(dirname "$QTV_WINE_RUN")/with-32bit-programs.sh" "$0" "$@"
step=$1
export WINEPREFIX=$QTV_INSTALLER_PREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
[ "${step#user-}" = "$step" ] || WINEPREFIX=$QTV_USER_PREFIX
drive_c=$WINEPREFIX/drive_c
folder64=$drive_c/"Program Files/QTV Checksum"
folder32=$drive_c/"Program Files (x86)/QTV Checksum"
wine64=/usr/lib/wine/wine64
source "$(dirname "$0")/test_helpers.sh"

# In a build signed by the test authority (QTV_TEST_AUTHORITY), a file made by installing or by first use
# carries the same signature as what was built.
expect_signed() {
  [ -n "${QTV_TEST_AUTHORITY:-}" ] || return 0
  osslsigncode verify -CAfile "$QTV_TEST_AUTHORITY/authority.pem" -in "$1" >"$out" 2>&1 ||
    { cat "$out"; fail "not signed by the test authority: $1"; }
}

# A key exists in the 64-bit (wine64) or the 32-bit (wine) registry view.
key_exists() {
  run "$1" reg query "$2"
  [ "$status" -eq 0 ]
}

# Wine's server ends once the prefix's last program has ended: the uninstaller runs as a copy of itself
# that outlives the program the caller started.
wait_for_wine() { wineserver -w; }

# A fresh 64-bit prefix whose desktop is up before the installer's windows need it (see
# tests/support/desktop_ready.cpp).
fresh_prefix() {
  wineserver -k 2>/dev/null
  rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
  run env QTV_WINEPREFIX="$WINEPREFIX" QTV_WINE_BITS=64 "$QTV_WINE_RUN" cmd /c exit
  [ "$status" -eq 0 ] || { cat "$out"; fail "the 64-bit prefix could not be made"; exit 1; }
  run env QTV_WINEPREFIX="$WINEPREFIX" QTV_WINE_BITS=64 "$QTV_WINE_RUN" "$QTV_DESKTOP_READY"
  cat "$out"
  [ "$status" -eq 0 ] || { fail "the desktop of the 64-bit prefix did not come up"; exit 1; }
}

# The installation for the current user alone: its folder (Wine names the user after the Unix one), the
# class registrations in the user's hive and the entry in the user's list of installed programs.
user_folder=$drive_c/users/$(id -un)/AppData/Local/Programs/"QTV Checksum"
classes=('CLSID\{9A683826-46E8-4242-9451-59DAAEF3F2B7}' 'QTVChecksum100.QTVChecksum'
         'TypeLib\{67E91B2D-17F4-418F-8D50-228F6BD960FE}' 'Interface\{2F062EC2-5BD3-477B-AF58-46F0B3CCD64F}'
         'Interface\{4C78E060-1D11-4F46-BD13-20046A13D43B}')
user_classes() { "$QTV_MSI_SOURCES/registry-dump.sh" "$WINEPREFIX/user.reg" "${classes[@]}"; }
user_entry() { grep -A8 -F '[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QTVChecksum]' "$WINEPREFIX/user.reg"; }

# HKEY_LOCAL_MACHINE as Wine saved it, without the times it keeps: each key's last change, and the time
# its display driver last started (DriverDateData of the display adapter), written whenever a desktop starts.
# Also without the uninstaller's own temporary copy scheduled for deletion at the next restart: NSIS asks
# for that, which Wine grants under HKEY_LOCAL_MACHINE and Windows refuses a user who is no administrator.
machine_registry() {
  wait_for_wine
  sed -E -e 's/^(\[.*\]) [0-9]+$/\1/' -e '/^#time=/d' -e '/^"DriverDateData"=/d' "$WINEPREFIX/system.reg" |
    perl -ne 'if (/^"PendingFileRenameOperations"=str\(7\):"(.*)"$/) {
                (my $left = $1) =~ s/\\\\\?\?\\\\[^"]*?\\\\~nsu\w*\.tmp(\\\\\w+\.exe)?\\0\\0//g;
                next if $left eq "" } print'
}
expect_machine_registry_unchanged() {
  machine_registry >"$out.machine"
  diff -u --label before --label after "$WINEPREFIX.machine" "$out.machine" >"$out.diff" ||
    { head -60 "$out.diff"; fail "HKEY_LOCAL_MACHINE changed $1"; }
  rm -f "$out.machine" "$out.diff"
}

# Runs the setup program silently with the given switches; fails unless it ends with the expected status.
setup() {
  local expected=$1
  shift
  run wine "$(windows_path "$QTV_SETUP")" /S "$@"
  cat "$out"
  wait_for_wine
  [ "$status" -eq $((expected & 255)) ] || fail "the setup program with /S $* ended with $status, not $expected (as $((expected & 255)))"
}

# Runs an uninstaller silently as the list of installed programs runs it, by its path in C:\ (it goes on
# as a copy of itself).
uninstall() {
  run wine "C:$(echo "${1#"$drive_c"}" | tr / '\\')" /S
  cat "$out"
  wait_for_wine
  [ "$status" -eq 0 ] || fail "$1 /S ended with $status"
}

expect_user_installation_gone() {
  [ ! -e "$user_folder" ] || fail "left behind: $user_folder $(find "$user_folder" 2>/dev/null | tr '\n' ' ')"
  local left
  left=$(user_classes)
  [ -z "$left" ] || fail "left under HKEY_CURRENT_USER\Software\Classes:
$left"
  [ -z "$(user_entry)" ] || fail "left in the user's list of installed programs: $(user_entry)"
}

expect_no_machine_folders() {
  for dir in "$folder64" "$folder32"; do
    [ ! -e "$dir" ] || fail "written under the programs' folders: $dir"
  done
}

case $step in
install)
  fresh_prefix
  run wine "$(windows_path "$QTV_SETUP")" /S
  cat "$out"
  [ "$status" -eq 0 ] || fail "the silent installer ended with $status"
  wait_for_wine
  for file in "$folder64/qtvchecksums100.ocx" "$folder32/qtvchecksums100.ocx" "$folder64/README.md" \
              "$folder64/qtvchecksums100.manifest" "$folder32/qtvchecksums100.manifest" \
              "$folder64/examples/checksum.vbs" "$folder64/uninstall.exe"; do
    [ -f "$file" ] || fail "not installed: $file"
  done
  # Beside each control library the engine it carries, for machines that load none from the temporary folder.
  cmp -s "$folder64/qtvsum64.dll" "$QTV_ENGINE64" || fail "not the 64-bit engine beside the 64-bit control"
  cmp -s "$folder32/qtvsum.dll" "$QTV_ENGINE32" || fail "not the 32-bit engine beside the 32-bit control"
  # Each folder holds the control library of its own bitness.
  objdump -f "$folder64/qtvchecksums100.ocx" | grep -q 'pei-x86-64' || fail "the 64-bit folder's library is not 64-bit"
  objdump -f "$folder32/qtvchecksums100.ocx" | grep -q 'pei-i386' || fail "the 32-bit folder's library is not 32-bit"
  for library in "$folder64/qtvchecksums100.ocx" "$folder32/qtvchecksums100.ocx"; do
    ! objdump -h "$library" | grep -q ' \.debug_' || fail "installed with debug information: $library"
  done
  for file in "$folder64/uninstall.exe" "$folder64/qtvchecksums100.ocx" "$folder64/qtvsum64.dll" \
              "$folder32/qtvchecksums100.ocx" "$folder32/qtvsum.dll"; do
    expect_signed "$file"
  done
  key_exists "$wine64" 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QTVChecksum' ||
    fail "no entry in the list of installed programs"
  grep -q '"DisplayVersion"="1.0.0"' "$WINEPREFIX/system.reg" || fail "the entry does not carry the version"
  ;;
scripts)
  # One script, unchanged, in both bitnesses, through the one ProgID.
  expect_checksums "$wine64" AMD64
  expect_checksums wine x86
  ;;
type-library)
  # The same checks of every registered fact, by a client of each bitness.
  for test in "$QTV_TLB_TEST64" "$QTV_TLB_TEST32"; do
    launcher=$wine64
    [ "$test" = "$QTV_TLB_TEST64" ] || launcher=wine
    run "$launcher" "$(windows_path "$test")"
    grep -E '^\[ +(PASSED|FAILED) ' "$out"
    [ "$status" -eq 0 ] && grep -q '^\[  PASSED  \]' "$out" || { cat "$out"; fail "$(basename "$test")"; }
  done
  ;;
side-by-side)
  # A 32-bit program holds its engine loaded while a 64-bit program of the same user deploys and uses its
  # own; the 32-bit engine file is not touched.
  temp='C:\qtv-side-by-side'
  rm -rf "$drive_c/qtv-side-by-side"
  mkdir -p "$drive_c/qtv-side-by-side"
  hold_log=$(mktemp)
  wine cmd /c "set TEMP=$temp&& set TMP=$temp&& cscript //nologo $(windows_path "$QTV_SCRIPTS/hold_engine.vbs") $temp\\go" \
    >"$hold_log" 2>&1 </dev/null &
  holder=$!
  for _ in $(seq 600); do
    grep -q LOADED "$hold_log" && break
    sleep 0.1
  done
  engine32=$drive_c/qtv-side-by-side/QTVSoftware/qtvsum.dll
  engine64=$drive_c/qtv-side-by-side/QTVSoftware/qtvsum64.dll
  before=$(stat -c '%Y %s' "$engine32" 2>/dev/null; sha256sum <"$engine32" 2>/dev/null)
  printf abc >"$drive_c/qtv-abc.txt"
  run "$wine64" cmd /c "set TEMP=$temp&& set TMP=$temp&& cscript //nologo $(windows_path "$QTV_SCRIPTS/by_progid.vbs") a C:\\qtv-abc.txt"
  cat "$out"
  grep -q '^host AMD64$' "$out" && grep -q '900150983cd24fb0d6963f7d28e17f72' "$out" && grep -q '^DONE$' "$out" ||
    fail "the 64-bit script did not compute beside the 32-bit one"
  touch "$drive_c/qtv-side-by-side/go"
  wait "$holder"
  sed 's/\r$//' "$hold_log"
  grep -q '^LOADED 900150983cd24fb0d6963f7d28e17f72' "$hold_log" && grep -q '^AGAIN 900150983cd24fb0d6963f7d28e17f72' "$hold_log" ||
    fail "the 32-bit script did not keep computing"
  rm -f "$hold_log"
  after=$(stat -c '%Y %s' "$engine32" 2>/dev/null; sha256sum <"$engine32" 2>/dev/null)
  [ -n "$before" ] && [ "$before" = "$after" ] || fail "the 32-bit engine file changed or is missing"
  expect_signed "$engine32"
  expect_signed "$engine64"
  cmp -s "$engine32" "$QTV_ENGINE32" || fail "qtvsum.dll is not the 32-bit engine"
  cmp -s "$engine64" "$QTV_ENGINE64" || fail "qtvsum64.dll is not the 64-bit engine"
  ;;
registration)
  # Unregistering one bitness leaves the other working; registering it again restores both.
  for pair in "wine:SysWOW64:$wine64:AMD64" "$wine64:System32:wine:x86"; do
    IFS=: read -r launcher system other other_arch <<<"$pair"
    folder=$folder32
    [ "$system" = SysWOW64 ] || folder=$folder64
    library="$(windows_path "$folder/qtvchecksums100.ocx")"
    run "$launcher" "C:\\windows\\$system\\regsvr32.exe" /u /s "$library"
    [ "$status" -eq 0 ] || fail "unregistering from $system failed"
    expect_checksums "$other" "$other_arch"
    run "$launcher" "C:\\windows\\$system\\regsvr32.exe" /s "$library"
    [ "$status" -eq 0 ] || fail "registering from $system failed"
  done
  expect_checksums "$wine64" AMD64
  expect_checksums wine x86
  ;;
uninstall)
  # A running 64-bit and a running 32-bit script hold the control libraries loaded while the silent
  # uninstaller runs: it cannot delete them, schedules them and their folders for the next restart, and
  # ends with 3010 (a restart completes the work). It runs from a copy outside its folder and in place
  # (_?=, last and unquoted, so each word is its own argument), as it runs itself, so that its status is
  # the caller's. Then the scripts end and Wine restarts, which carries out what was scheduled.
  temp='C:\qtv-uninstall'
  rm -rf "$drive_c/qtv-uninstall"
  mkdir -p "$drive_c/qtv-uninstall"
  holders=()
  for launcher in "$wine64" wine; do
    "$launcher" cmd /c "set TEMP=$temp&& set TMP=$temp&& cscript //nologo $(windows_path "$QTV_SCRIPTS/hold_engine.vbs") $temp\\go" \
      >"$drive_c/qtv-uninstall/$(basename "$launcher").log" 2>&1 </dev/null &
    holders+=($!)
  done
  for log in wine64 wine; do
    for _ in $(seq 600); do
      grep -q LOADED "$drive_c/qtv-uninstall/$log.log" && break
      sleep 0.1
    done
    grep -q LOADED "$drive_c/qtv-uninstall/$log.log" || fail "the $log script did not load the control"
  done
  cp "$folder64/uninstall.exe" "$drive_c/qtv-uninstall/uninstall.exe"
  run wine 'C:\qtv-uninstall\uninstall.exe' /S '_?=C:\Program' 'Files\QTV' 'Checksum'
  cat "$out"
  # A Unix exit status keeps the low 8 bits of the Windows one: 3010 arrives as 194.
  [ "$status" -eq $((3010 & 255)) ] || fail "the silent uninstaller ended with $status, not 3010 (restart needed) as 194"
  run "$wine64" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations
  for library in 'Program Files\QTV Checksum\qtvchecksums100.ocx' \
                 'Program Files (x86)\QTV Checksum\qtvchecksums100.ocx'; do
    [ -f "$drive_c/${library//\\//}" ] || fail "a library in use was deleted: C:\\$library"
    grep -qF "C:\\$library" "$out" || fail "not scheduled for the restart: C:\\$library"
  done
  touch "$drive_c/qtv-uninstall/go"
  wait "${holders[@]}"
  run "$wine64" wineboot -r
  wait_for_wine
  rm -rf "$drive_c/qtv-uninstall"
  ;;
nothing-left)
  clsid='{9A683826-46E8-4242-9451-59DAAEF3F2B7}'
  for launcher in "$wine64" wine; do
    for key in 'HKCR\QTVChecksum100.QTVChecksum' "HKCR\\CLSID\\$clsid" \
               'HKCR\TypeLib\{67E91B2D-17F4-418F-8D50-228F6BD960FE}' \
               'HKCR\Interface\{2F062EC2-5BD3-477B-AF58-46F0B3CCD64F}' \
               'HKCR\Interface\{4C78E060-1D11-4F46-BD13-20046A13D43B}' \
               'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QTVChecksum'; do
      ! key_exists "$launcher" "$key" || fail "left behind ($(basename "$launcher") view): $key"
    done
  done
  for dir in "$folder64" "$folder32"; do
    [ ! -e "$dir" ] || fail "left behind: $dir $(find "$dir" 2>/dev/null | tr '\n' ' ')"
  done
  wineserver -k 2>/dev/null
  ;;
zip)
  # The zip for registering by hand or using unregistered: each bitness's control library with its own
  # engine and assembly manifest in its own folder, the README and the example, and nothing else.
  unpacked=$(mktemp -d)
  zip=$(realpath "$QTV_ZIP")
  (cd "$unpacked" && cmake -E tar xf "$zip") || fail "cannot unpack $QTV_ZIP"
  root=qtvchecksum-1.0.0
  listing=$(cd "$unpacked" && find . -type f | sort)
  expected="./$root/32-bit/qtvchecksums100.manifest
./$root/32-bit/qtvchecksums100.ocx
./$root/32-bit/qtvsum.dll
./$root/64-bit/qtvchecksums100.manifest
./$root/64-bit/qtvchecksums100.ocx
./$root/64-bit/qtvsum64.dll
./$root/README.md
./$root/examples/checksum.vbs"
  [ "$listing" = "$expected" ] || fail "the zip holds
$listing
and not
$expected"
  for pair in 32-bit/qtvchecksums100.ocx:pei-i386 32-bit/qtvsum.dll:pei-i386 \
              64-bit/qtvchecksums100.ocx:pei-x86-64 64-bit/qtvsum64.dll:pei-x86-64; do
    file=$unpacked/$root/${pair%%:*}
    objdump -f "$file" 2>/dev/null | grep -q "file format ${pair##*:}$" || fail "${pair%%:*} is not ${pair##*:}"
  done
  for pair in 32-bit:x86 64-bit:amd64; do
    grep -q "processorArchitecture=\"${pair##*:}\"" "$unpacked/$root/${pair%%:*}/qtvchecksums100.manifest" ||
      fail "the manifest in ${pair%%:*} is not for ${pair##*:}"
  done
  cmp -s "$unpacked/$root/32-bit/qtvsum.dll" "$QTV_ENGINE32" || fail "the zip's 32-bit engine is not the built one"
  cmp -s "$unpacked/$root/64-bit/qtvsum64.dll" "$QTV_ENGINE64" || fail "the zip's 64-bit engine is not the built one"
  rm -rf "$unpacked"
  ;;
user-install)
  # For the current user alone, silently: each bitness in a folder of its own under the user's programs
  # folder, nothing under the programs' folders or HKEY_LOCAL_MACHINE, the entry in the user's own list.
  fresh_prefix
  machine_registry >"$WINEPREFIX.machine"
  setup 0 /CurrentUser
  for pair in "64-bit/qtvchecksums100.ocx|$QTV_OCX64|pei-x86-64" "64-bit/qtvsum64.dll|$QTV_ENGINE64|pei-x86-64" \
              "32-bit/qtvchecksums100.ocx|$QTV_OCX32|pei-i386" "32-bit/qtvsum.dll|$QTV_ENGINE32|pei-i386" \
              "64-bit/qtvchecksums100.manifest||" "32-bit/qtvchecksums100.manifest||" \
              "README.md||" "examples/checksum.vbs||" "uninstall.exe||"; do
    IFS='|' read -r file source format <<<"$pair"
    [ -f "$user_folder/$file" ] || { fail "not installed: $user_folder/$file"; continue; }
    [ -z "$source" ] || cmp -s "$user_folder/$file" "$source" || fail "not the built file: $file"
    [ -z "$format" ] || objdump -f "$user_folder/$file" | grep -q "file format $format\$" || fail "$file is not $format"
    case $file in *.ocx | *.dll | *.exe) expect_signed "$user_folder/$file" ;; esac
  done
  expect_no_machine_folders
  entry=$(user_entry)
  echo "$entry"
  location=$(windows_path "$user_folder" | sed 's/^Z:.*drive_c/C:/' | sed 's/\\/\\\\/g')
  grep -qF "\"InstallLocation\"=\"$location\"" <<<"$entry" && grep -q '"DisplayVersion"="1.0.0"' <<<"$entry" ||
    fail "no entry for the folder $location with the version in the user's list of installed programs"
  expect_machine_registry_unchanged "by installing for the current user"
  ;;
user-registry)
  # Every key and value a registration for the machine writes (regsvr32 in the scratch prefix where the
  # package's rows were read, the libraries in the programs' folders) is under the user's classes instead,
  # with the user's folders in place of the programs' folders; key names compared as the registry does,
  # whatever their case (Wine's type library registration writes "Typelib"). Wine 8 keeps one view of
  # HKEY_CURRENT_USER\Software\Classes for both bitnesses, where Windows keeps the 32-bit classes apart: the
  # 64-bit control, registered last, writes over the 32-bit one's keys, so the 64-bit view is what can be
  # compared here (each bitness's own registration is compared by the control's tests). Both controls
  # share the type library's keys, where the folder named by HELPDIR after both registrations is the
  # first one's with Wine's machine registration and the last one's with the user's: it is left out.
  wait_for_wine
  user_windows_folder=$(windows_path "$user_folder" | sed 's/^Z:.*drive_c/C:/')
  comparable() {
    LC_ALL=C awk -F '\t' 'BEGIN { OFS = "\t" } $2 == "native" && $3 !~ /\\HELPDIR$/ { $3 = tolower($3); print }' | LC_ALL=C sort
  }
  user_classes | FROM64="$user_windows_folder\64-bit" FROM32="$user_windows_folder\32-bit" \
    perl -pe 's/\Q$ENV{FROM64}\E/C:\\Program Files\\QTV Checksum/gi; s/\Q$ENV{FROM32}\E/C:\\Program Files (x86)\\QTV Checksum/gi' |
    comparable >"$out.user"
  "$QTV_MSI_SOURCES/registry-dump.sh" "$QTV_MSI_ROWS_PREFIX/system.reg" "${classes[@]}" | comparable >"$out.machine"
  if [ ! -s "$out.machine" ] || ! grep -q '^V' "$out.machine"; then
    fail "the reference prefix $QTV_MSI_ROWS_PREFIX holds no registration"
  elif ! diff -u --label machine --label user "$out.machine" "$out.user"; then
    fail "the registration for the current user differs from the machine's (- machine, + user)"
  fi
  rm -f "$out.user" "$out.machine"
  # Both bitnesses through the one ProgID find nothing here: Wine does not merge the user's classes into
  # HKEY_CLASSES_ROOT, so the registration is proved by its keys alone.
  expect_machine_registry_unchanged "by installing for the current user"
  ;;
user-uninstall)
  # The uninstaller knows it was installed for the current user: it removes that registration and that
  # entry, every file and folder, and leaves HKEY_LOCAL_MACHINE as it was.
  uninstall "$user_folder/uninstall.exe"
  expect_user_installation_gone
  expect_no_machine_folders
  expect_machine_registry_unchanged "by removing the installation for the current user"
  ;;
user-refusals)
  # The two kinds of installation refuse each other for one user (1638), whichever came first, and either
  # refuses the package's installation; each refused one leaves the other whole. Both modes at once is
  # a mistake on the command line (87, ERROR_INVALID_PARAMETER).
  setup 87 /AllUsers /CurrentUser
  expect_no_machine_folders
  expect_user_installation_gone
  setup 0 /CurrentUser
  user_classes >"$out.registered"
  setup 1638
  expect_no_machine_folders
  expect_machine_registry_unchanged "by the refused installation for all users"
  user_classes | diff -u --label before --label after "$out.registered" - || fail "the refused installation changed the user's registration"
  rm -f "$out.registered"
  uninstall "$user_folder/uninstall.exe"
  expect_user_installation_gone
  setup 0
  [ -f "$folder64/uninstall.exe" ] || fail "the installation for all users did not happen"
  setup 1638 /CurrentUser
  expect_user_installation_gone
  uninstall "$folder64/uninstall.exe"
  expect_no_machine_folders
  expect_machine_registry_unchanged "by installing and removing for all users"
  # The package (for all users; Windows Installer also answers for the user's own packages).
  run /usr/lib/wine/wine64 msiexec /i "$(windows_path "$QTV_MSI64")" /qn
  wait_for_wine
  [ "$status" -eq 0 ] || { cat "$out"; fail "the package did not install (status $status)"; }
  setup 1638 /CurrentUser
  expect_user_installation_gone
  run /usr/lib/wine/wine64 msiexec /x "$(windows_path "$QTV_MSI64")" /qn
  wait_for_wine
  [ "$status" -eq 0 ] || { cat "$out"; fail "the package did not uninstall (status $status)"; }
  wineserver -k 2>/dev/null
  rm -f "$WINEPREFIX.machine"
  ;;
*)
  echo "unknown step $step" >&2
  exit 2
  ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "$step: ok"
