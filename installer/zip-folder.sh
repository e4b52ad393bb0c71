#!/usr/bin/env bash
# Packs FOLDER (inside PARENT) into ZIP so that the same files give the same bytes: entries in one
# order (byte order of their names), each with the build's time (SOURCE_DATE_EPOCH, written as UTC
# since a zip holds local times) and fixed permissions, and no extra fields (owner, Unix times).
#   zip-folder.sh ZIP PARENT FOLDER
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 ZIP PARENT FOLDER" >&2; exit 2; }
[[ ${SOURCE_DATE_EPOCH:-} =~ ^[0-9]+$ ]] || { echo "zip-folder: SOURCE_DATE_EPOCH (the build's time) is not set" >&2; exit 2; }
export TZ=UTC LC_ALL=C
zip=$1
cd "$2"
find "$3" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
find "$3" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
rm -f "$zip"
find "$3" -type f | sort | zip -q -X -D "$zip" -@
