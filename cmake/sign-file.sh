#!/usr/bin/env bash
# Authenticode-signs one Windows file in place (a PE program or library, or a Windows Installer
# package) with SHA-256, through osslsigncode, with the vendor's certificate.
# Usage: cmake/sign-file.sh FILE CERTIFICATE KEY PASSWORD_VARIABLE TIMESTAMP_URL
#   CERTIFICATE: a PEM file of the signing certificate (and its chain), with KEY its PEM private key;
#                or a PKCS#12 file (.p12, .pfx) holding both, with KEY empty.
#   PASSWORD_VARIABLE: the name of the environment variable that holds the key's password (empty: none).
#     The password never reaches a command line or a file: osslsigncode reads it from its input.
#   TIMESTAMP_URL: an RFC 3161 time-stamping server (empty: none), so that the signature outlives the
#     certificate.
# The file is replaced only by a whole signed copy: a failed signing leaves it as it was and fails.
set -uo pipefail
[ $# -eq 5 ] || { echo "usage: $0 FILE CERTIFICATE KEY PASSWORD_VARIABLE TIMESTAMP_URL" >&2; exit 2; }
file=$1 certificate=$2 key=$3 password_variable=$4 timestamp=$5
arguments=(sign -h sha256 -n "QTV Checksum")
case "$certificate" in
  *.p12 | *.pfx | *.P12 | *.PFX) arguments+=(-pkcs12 "$certificate") ;;
  *) arguments+=(-certs "$certificate" -key "$key") ;;
esac
password=""
if [ -n "$password_variable" ]; then
  [ -n "${!password_variable+set}" ] || {
    echo "sign-file: the key's password is to come from \$$password_variable, which is not set" >&2
    exit 1
  }
  password=${!password_variable}
  arguments+=(-readpass -)
fi
[ -z "$timestamp" ] || arguments+=(-ts "$timestamp")
signed=$file.signing
rm -f "$signed"
if ! printf '%s' "$password" | osslsigncode "${arguments[@]}" -in "$file" -out "$signed" >"$signed.log" 2>&1; then
  echo "sign-file: could not sign $file:" >&2
  cat "$signed.log" >&2
  rm -f "$signed" "$signed.log"
  exit 1
fi
rm -f "$signed.log"
mv -f "$signed" "$file"
