#!/usr/bin/env bash
# sign.sh with a throwaway password-protected certificate: both signed copies verify (sign.sh
# verifies what it signs) and the unsigned exes keep every byte; against other CA certificates it
# fails and keeps no copy.
#   sign_test.sh REPO
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=tavix-test \
  -keyout "$tmp/key.pem" -out "$tmp/ca.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/ca.pem" -passout pass:secret -out "$tmp/cert.p12"
before=$(sha256sum "$1"/dist/x*/*.exe)
export TAVIX_SIGN_PASSWORD=secret TAVIX_SIGNED_DIR=$tmp/signed
TAVIX_SIGN_CAFILE=$tmp/ca.pem "$1/scripts/sign.sh" "$tmp/cert.p12"
[ "$(sha256sum "$1"/dist/x*/*.exe)" = "$before" ]
if "$1/scripts/sign.sh" "$tmp/cert.p12"; then exit 1; fi
[ ! -e "$tmp/signed/x64/VelmoranTavix_TransformsCleanUp.exe" ]
