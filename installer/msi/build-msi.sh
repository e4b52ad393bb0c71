#!/usr/bin/env bash
# Builds one Windows Installer package from qtvchecksum.wxs with wixl.
#   build-msi.sh OUTPUT x64|x86|x64-user|x86-user VERSION ROWSDIR UPGRADECODE NAME=VALUE...
# "-user" makes the package that installs for one user, without elevation (its own upgrade code).
# ROWSDIR holds the registration rows (registry-rows.sh); the NAME=VALUE pairs name the files (Ocx64,
# Manifest64, Engine64, Ocx32, Manifest32, Engine32, Readme, Examples). The product code is derived from the upgrade code, the
# package's architecture and the version: each version (and each of the two packages) has its own, and
# building the same version again gives the same one, as inventory tools expect of a release. QTV_WIXL
# names wixl when it is not the one on the PATH. The libraries' rows in the File table carry the file
# version and language of each library's own version record (file-version.sh), so that Windows Installer
# replaces them by its file-versioning rules rather than those for data files.
# The same sources give the same package: wixl 0.101 takes no package code, writes the present time as
# the package's dates and each file's time into the cabinet, so the files go in through copies that
# carry the build's time (SOURCE_DATE_EPOCH, required), and the summary information is written again
# afterwards with a package code derived from everything that went in and the build's time as dates.
set -uo pipefail
export TZ=UTC LC_ALL=C
[[ ${SOURCE_DATE_EPOCH:-} =~ ^[0-9]+$ ]] || { echo "build-msi: SOURCE_DATE_EPOCH (the build's time) is not set" >&2; exit 2; }
[ $# -ge 5 ] || { echo "usage: $0 OUTPUT x64|x86|x64-user|x86-user VERSION ROWSDIR UPGRADECODE NAME=VALUE..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
output=$1 arch=$2 version=$3 rows=$4 upgrade_code=$5
shift 5
case $arch in x64|x86) scope=machine ;; x64-user|x86-user) scope=user ;; *) echo "build-msi: unknown architecture $arch" >&2; exit 2 ;; esac
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-msi: the version must be a.b.c, not $version" >&2; exit 2; }

# A name-based UUID (version 5 layout) from the SHA-1 of the three.
hash=$(printf '%s %s %s' "${upgrade_code^^}" "$arch" "$version" | sha1sum | cut -c1-32)
variant=$(printf '%x' $(( (0x${hash:16:1} & 0x3) | 0x8 )))
product_code=$(printf '%s-%s-5%s-%s%s-%s' "${hash:0:8}" "${hash:8:4}" "${hash:13:3}" "$variant" "${hash:17:3}" \
  "${hash:20:12}" | tr a-f A-F)

arch=${arch%-user}

case $output in /*) ;; *) output=$PWD/$output ;; esac
case $rows in /*) ;; *) rows=$PWD/$rows ;; esac
log=$(mktemp)
stage=$(mktemp -d)
trap 'rm -rf "$log" "$stage"' EXIT
# wixl looks files up below its working folder and refuses absolute names: it runs from the root, and
# each file is named from there.
defines=()
declare -A sources=()
for pair in "$@"; do
  name=${pair%%=*} value=${pair#*=}
  case $value in /*) ;; *) value=$PWD/$value ;; esac
  cp -R "$value" "$stage/$name" || exit 1
  defines+=(-D "$name=${stage#/}/$name")
  sources[$name]=$value
done
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
package_code=$( (printf '%s\n' "$product_code" "$SOURCE_DATE_EPOCH"
  cd "$stage" && find . -type f | sort | xargs sha256sum
  cat "$here/qtvchecksum.wxs" "$rows"/*.wxi) | sha1sum | cut -c1-32 | tr a-f A-F |
  sed 's/^\(.\{8\}\)\(.\{4\}\)\(.\{4\}\)\(.\{4\}\)/\1-\2-\3-\4-/')
rm -f "$output"
# wixl says nothing about a good source: a warning (an attribute it ignores, a file it cannot read) fails
# the build rather than make a package that lacks something.
if ! (cd / && "${QTV_WIXL:-wixl}" -a "$arch" -o "$output" -I "$rows" -D Arch="$arch" -D Scope="$scope" -D Version="$version" -D ProductCode="$product_code" \
     -D UpgradeCode="$upgrade_code" "${defines[@]}" "$here/qtvchecksum.wxs") >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$output"
  echo "build-msi: wixl could not build $output" >&2
  exit 1
fi
if [ -s "$log" ]; then
  cat "$log" >&2
  rm -f "$output"
  echo "build-msi: wixl warned while building $output" >&2
  exit 1
fi

# The File table's row of each library (the .wxs names them ocx64, engine64, ocx32, engine32) takes the
# version record's version and language; a versioned file needs no hash. wixl 0.101 has no attribute
# for either, so the rows are set once it has written them.
for pair in ocx64=Ocx64 engine64=Engine64 ocx32=Ocx32 engine32=Engine32; do
  file_id=${pair%%=*} name=${pair#*=}
  [ -n "${sources[$name]:-}" ] || continue
  read -r file_version language < <("$here/file-version.sh" "${sources[$name]}") &&
    msibuild "$output" -q "UPDATE \`File\` SET \`Version\` = '$file_version', \`Language\` = '$language' WHERE \`File\` = '$file_id'" &&
    msibuild "$output" -q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = '$file_id'" ||
    { rm -f "$output"; echo "build-msi: cannot set the version of $file_id in $output" >&2; exit 1; }
done

# The summary information: the package code (9) and the dates (12 created, 13 saved).
date=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y/%m/%d %H:%M:%S')
msiinfo export "$output" _SummaryInformation >"$stage/summary" &&
  sed -e "s|^9\t.*|9\t{$package_code}\r|" -e "s|^\(1[23]\)\t.*|\1\t$date\r|" "$stage/summary" \
    >"$stage/_SummaryInformation.idt" &&
  (cd "$stage" && msibuild "$output" -i _SummaryInformation.idt) &&
  msiinfo suminfo "$output" | grep -q "{$package_code}" || {
  rm -f "$output"
  echo "build-msi: could not write the summary information of $output" >&2
  exit 1
}
