#!/usr/bin/env bash
# Makes a throwaway certificate authority and a code-signing certificate issued by it, for signing a
# test build and verifying what it ships. Never for a release: the authority's key lies in the folder.
# Usage: make_test_authority.sh FOLDER
#   FOLDER/authority.pem   the authority's certificate, to verify against
#   FOLDER/signer.pem      the code-signing certificate, FOLDER/signer.key its key (PEM, no password)
#   FOLDER/signer.p12      both in PKCS#12, with the password "throwaway" (for the password route)
# Does nothing when the folder already holds them all.
set -euo pipefail
folder=$1
[ -f "$folder/authority.pem" ] && [ -f "$folder/signer.pem" ] && [ -f "$folder/signer.key" ] &&
  [ -f "$folder/signer.p12" ] && exit 0
mkdir -p "$folder"
cd "$folder"
days=3650
openssl req -x509 -newkey rsa:3072 -nodes -sha256 -days $days -subj "/CN=QTV Checksum Test Authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout authority.key -out authority.pem 2>/dev/null
openssl req -newkey rsa:3072 -nodes -sha256 -subj "/CN=QTV Checksum Test Signer" \
  -keyout signer.key -out signer.csr 2>/dev/null
printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=critical,codeSigning" >signer.ext
openssl x509 -req -in signer.csr -CA authority.pem -CAkey authority.key -CAcreateserial -sha256 \
  -days $days -extfile signer.ext -out signer.pem 2>/dev/null
openssl pkcs12 -export -in signer.pem -inkey signer.key -certfile authority.pem -passout pass:throwaway \
  -out signer.p12
rm -f signer.csr signer.ext authority.srl
