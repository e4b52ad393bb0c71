#!/usr/bin/env bash
# What a Windows build ships, checked for its Authenticode signature as Windows and publisher rules
# check it.
#   check_signatures.sh signed AUTHORITY SIGNATURES FILE...   each file verifies against the authority's
#       certificate (and a copy with one byte changed does not); its signature lies detached in
#       SIGNATURES, and attaching that to the file without its signature gives the signed file byte for
#       byte, while attaching it to another file fails; the signing script's PKCS#12 route signs too,
#       and refuses a wrong password without touching the file
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
  authority=$1 signatures=$2
  shift 2
  for file in "$@"; do
    if osslsigncode verify -CAfile "$authority/authority.pem" -in "$file" >"$work/out" 2>&1; then
      echo "signed: $file ($(grep -m1 -o 'Message digest algorithm *: *[A-Z0-9-]*' "$work/out" | sed 's/ *: */ /'))"
      grep -q 'Message digest algorithm *: *SHA256' "$work/out" || fail "$file is not signed with SHA-256"
    else
      cat "$work/out"
      fail "$file does not verify against the test authority"
    fi
  done
  # Each signature published detached, as a rebuild of the release attaches it.
  for file in "$@"; do
    # osslsigncode writes no output over an existing file.
    rm -f "$work/signature" "$work/bare"
    osslsigncode extract-signature -in "$file" -out "$work/signature" >/dev/null 2>&1
    published=""
    while IFS= read -r -d '' candidate; do
      cmp -s "$candidate" "$work/signature" && published=$candidate
    done < <(find "$signatures" -name '*.sig' -print0)
    if [ -z "$published" ]; then
      fail "the signature of $file is not among the detached ones in $signatures"
      continue
    fi
    name=${published#"$signatures"/}
    name=${name%.sig}
    osslsigncode remove-signature -in "$file" -out "$work/bare" >/dev/null 2>&1 || fail "cannot remove the signature of $file"
    "$here/../../cmake/sign-file.sh" attach "$work/bare" "$name" "" "$signatures" ||
      fail "the published $name.sig could not be attached to $file without its signature"
    cmp -s "$work/bare" "$file" && echo "attached: $name.sig gives $file" ||
      fail "$file without its signature, with $name.sig attached, is not the signed file"
  done
  # Attaching a signature to a file it does not sign fails, naming the file.
  osslsigncode remove-signature -in "$1" -out "$work/other" >/dev/null 2>&1
  printf '\x5a' | dd of="$work/other" bs=1 seek=1024 conv=notrunc status=none
  cp "$work/other" "$work/other.before"
  name=$(find "$signatures" -name "$(basename "$1").sig" -printf '%P\n' | head -1)
  if "$here/../../cmake/sign-file.sh" attach "$work/other" "${name%.sig}" "" "$signatures" >"$work/out" 2>&1; then
    fail "a published signature was attached to a file it does not sign"
  fi
  grep -q 'differs there' "$work/out" || { cat "$work/out"; fail "a signature that does not fit failed without a word"; }
  cmp -s "$work/other" "$work/other.before" || fail "a failed attach changed the file"
  # The check has teeth: one byte changed in a signed file breaks its signature.
  first=$1
  cp "$first" "$work/changed"
  printf '\x5a' | dd of="$work/changed" bs=1 seek=1024 conv=notrunc status=none
  ! osslsigncode verify -CAfile "$authority/authority.pem" -in "$work/changed" >/dev/null 2>&1 ||
    fail "a changed copy of $first still verifies"
  # The route for a PKCS#12 file, whose password comes from the environment and never from a file.
  osslsigncode remove-signature -in "$first" -out "$work/unsigned" >/dev/null 2>&1 || fail "cannot remove the signature of $first"
  cp "$work/unsigned" "$work/p12"
  QTV_TEST_PASSWORD=throwaway "$here/../../cmake/sign-file.sh" sign "$work/p12" p12 "" "$authority/signer.p12" "" \
    QTV_TEST_PASSWORD "" 0 ||
    fail "the PKCS#12 route did not sign"
  osslsigncode verify -CAfile "$authority/authority.pem" -in "$work/p12" >/dev/null 2>&1 ||
    fail "the file signed through the PKCS#12 route does not verify"
  cp "$work/unsigned" "$work/wrong"
  if QTV_TEST_PASSWORD=wrong "$here/../../cmake/sign-file.sh" sign "$work/wrong" p12 "" "$authority/signer.p12" "" \
    QTV_TEST_PASSWORD "" 0 \
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
  echo "usage: $0 signed AUTHORITY SIGNATURES FILE... | unsigned FILE..." >&2
  exit 2
  ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "signatures: ok"
