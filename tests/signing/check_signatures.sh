#!/usr/bin/env bash
# What a Windows build ships, checked for its Authenticode signature as Windows and publisher rules
# check it.
#   check_signatures.sh signed AUTHORITY FILE...   each file verifies against the authority's certificate
#       (and a copy with one byte changed does not); the signing script's PKCS#12 route signs too, and
#       refuses a wrong password without touching the file
#   check_signatures.sh unsigned FILE...           no file carries a signature
set -uo pipefail
mode=$1
shift
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $mode in
signed)
  authority=$1
  shift
  for file in "$@"; do
    if osslsigncode verify -CAfile "$authority/authority.pem" -in "$file" >"$work/out" 2>&1; then
      echo "signed: $file ($(grep -m1 -o 'Message digest algorithm *: *[A-Z0-9-]*' "$work/out" | sed 's/ *: */ /'))"
      grep -q 'Message digest algorithm *: *SHA256' "$work/out" || fail "$file is not signed with SHA-256"
    else
      cat "$work/out"
      fail "$file does not verify against the test authority"
    fi
  done
  # The check has teeth: one byte changed in a signed file breaks its signature.
  first=$1
  cp "$first" "$work/changed"
  printf '\x5a' | dd of="$work/changed" bs=1 seek=1024 conv=notrunc status=none
  ! osslsigncode verify -CAfile "$authority/authority.pem" -in "$work/changed" >/dev/null 2>&1 ||
    fail "a changed copy of $first still verifies"
  # The route for a PKCS#12 file, whose password comes from the environment and never from a file.
  osslsigncode remove-signature -in "$first" -out "$work/unsigned" >/dev/null 2>&1 || fail "cannot remove the signature of $first"
  cp "$work/unsigned" "$work/p12"
  QTV_TEST_PASSWORD=throwaway "$here/../../cmake/sign-file.sh" "$work/p12" "$authority/signer.p12" "" QTV_TEST_PASSWORD "" ||
    fail "the PKCS#12 route did not sign"
  osslsigncode verify -CAfile "$authority/authority.pem" -in "$work/p12" >/dev/null 2>&1 ||
    fail "the file signed through the PKCS#12 route does not verify"
  cp "$work/unsigned" "$work/wrong"
  if QTV_TEST_PASSWORD=wrong "$here/../../cmake/sign-file.sh" "$work/wrong" "$authority/signer.p12" "" QTV_TEST_PASSWORD "" \
    >"$work/out" 2>&1; then
    fail "a wrong password signed"
  fi
  grep -q 'could not sign' "$work/out" || { cat "$work/out"; fail "a wrong password failed without a word"; }
  cmp -s "$work/wrong" "$work/unsigned" || fail "a failed signing changed the file"
  ;;
unsigned)
  for file in "$@"; do
    if osslsigncode extract-signature -in "$file" -out "$work/signature" >/dev/null 2>&1; then
      fail "$file carries a signature in an unsigned build"
    else
      echo "unsigned: $file"
    fi
  done
  ;;
*)
  echo "usage: $0 signed AUTHORITY FILE... | unsigned FILE..." >&2
  exit 2
  ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "signatures: ok"
