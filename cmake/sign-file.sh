#!/usr/bin/env bash
# Authenticode-signs one Windows file in place (a PE program or library, or a Windows Installer
# package) with SHA-256, through osslsigncode, with the vendor's certificate; or, rebuilding a published
# release, attaches the signature published for it instead.
# Usage:
#   cmake/sign-file.sh sign FILE NAME SIGNATURES CERTIFICATE KEY PASSWORD_VARIABLE TIMESTAMP_URL TIME
#   cmake/sign-file.sh attach FILE NAME SIGNATURES PUBLISHED
#   NAME: the file's name among the release's signatures (32-bit/qtvsum.dll, uninstall.exe, ...).
#   SIGNATURES: the folder where the signature is written detached, as SIGNATURES/NAME.sig (empty: not).
#   CERTIFICATE: a PEM file of the signing certificate (and its chain), with KEY its PEM private key;
#                or a PKCS#12 file (.p12, .pfx) holding both, with KEY empty.
#   PASSWORD_VARIABLE: the name of the environment variable that holds the key's password (empty: none).
#     The password never reaches a command line or a file: osslsigncode reads it from its input.
#   TIMESTAMP_URL: an RFC 3161 time-stamping server (empty: none), so that the signature outlives the
#     certificate.
#   TIME: the signing time written into a signature that is not time-stamped (the build's time, so that
#     signing the same file with the same key gives the same bytes; osslsigncode writes the present
#     time otherwise).
#   PUBLISHED: a folder of published signatures, PUBLISHED/NAME.sig; attaching fails, naming the file,
#     unless the signature signs exactly this file.
# The file is replaced only by a whole signed copy: a failed signing leaves it as it was and fails.
set -uo pipefail
mode=${1:-}
case $mode in
  sign) [ $# -eq 9 ] ;;
  attach) [ $# -eq 5 ] ;;
  *) false ;;
esac || {
  echo "usage: $0 sign FILE NAME SIGNATURES CERTIFICATE KEY PASSWORD_VARIABLE TIMESTAMP_URL TIME" >&2
  echo "       $0 attach FILE NAME SIGNATURES PUBLISHED" >&2
  exit 2
}
file=$2 name=$3 signatures=$4
signed=$file.signing
rm -f "$signed"
trap 'rm -f "$signed" "$signed.log"' EXIT
failed() {
  echo "sign-file: $*" >&2
  cat "$signed.log" >&2
  exit 1
}

if [ "$mode" = attach ]; then
  signature=$5/$name.sig
  [ -f "$signature" ] || { echo "sign-file: no published signature for $name ($signature)" >&2; exit 1; }
  # attach-signature also checks the certificate chain, which a rebuild cannot always do (no network,
  # a private authority): what counts here is that the signed digest is this file's.
  osslsigncode attach-signature -sigin "$signature" -in "$file" -out "$signed" >"$signed.log" 2>&1
  [ -f "$signed" ] || failed "could not attach $signature to $file:"
  osslsigncode verify -in "$signed" >"$signed.log" 2>&1
  if grep -q MISMATCH "$signed.log" || ! grep -q 'Calculated message digest' "$signed.log"; then
    failed "$file is not the file the published signature $name.sig signs: this rebuild differs there"
  fi
else
  certificate=$5 key=$6 password_variable=$7 timestamp=$8 time=$9
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
  if [ -n "$timestamp" ]; then
    arguments+=(-ts "$timestamp")
  else
    arguments+=(-time "$time")
  fi
  printf '%s' "$password" | osslsigncode "${arguments[@]}" -in "$file" -out "$signed" >"$signed.log" 2>&1 ||
    failed "could not sign $file:"
fi
if [ -n "$signatures" ]; then
  mkdir -p "$(dirname "$signatures/$name")"
  osslsigncode extract-signature -in "$signed" -out "$signatures/$name.sig" >"$signed.log" 2>&1 ||
    failed "could not write the signature of $file detached:"
fi
mv -f "$signed" "$file"
