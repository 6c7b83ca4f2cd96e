#!/usr/bin/env bash
# sign.sh with a throwaway password-protected certificate: both signed copies verify, and the
# unsigned exes in dist/ keep every byte; against other CA certificates it fails and keeps none.
#   sign_test.sh REPO
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=tavix-test \
  -keyout "$tmp/key.pem" -out "$tmp/ca.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/ca.pem" -passout pass:secret -out "$tmp/cert.p12"
before=$(sha256sum "$1"/dist/x*/*.exe)
TAVIX_SIGN_PASSWORD=secret TAVIX_SIGN_CAFILE=$tmp/ca.pem TAVIX_SIGNED_DIR=$tmp/signed \
  "$1/scripts/sign.sh" "$tmp/cert.p12"
for signed in "$tmp"/signed/{x64,x86}/VelmoranTavix_TransformsCleanUp.exe; do
  osslsigncode verify -CAfile "$tmp/ca.pem" -in "$signed" >/dev/null
done
[ "$(sha256sum "$1"/dist/x*/*.exe)" = "$before" ]
if TAVIX_SIGN_PASSWORD=secret TAVIX_SIGNED_DIR=$tmp/bad "$1/scripts/sign.sh" "$tmp/cert.p12"; then
  exit 1
fi
[ ! -e "$tmp/bad/x64/VelmoranTavix_TransformsCleanUp.exe" ]
