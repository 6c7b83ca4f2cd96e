#!/usr/bin/env bash
# Signs both release exes with scripts/sign.sh and a throwaway self-signed
# code-signing certificate, verifies them against it, and runs the typical
# case on the signed x64 exe under Wine.
#   sign_test.sh WINE_PREFIX
set -euo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d) exe=VelmoranTavix_TransformsCleanUp.exe
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Throwaway code signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
export TAVIX_SIGN_PASSWORD="throwaway $RANDOM" TAVIX_SIGNED_DIR=$work/signed
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout env:TAVIX_SIGN_PASSWORD
scripts/sign.sh "$work/cert.p12"
for arch in x64 x86; do
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/$arch/$exe"
  # Without its signature, the signed exe is the built one, byte for byte.
  osslsigncode remove-signature -in "$work/signed/$arch/$exe" -out "$work/$arch.exe" >/dev/null
  cmp "$work/$arch.exe" "dist/$arch/$exe"
done
signed=$work/signed/x64/$exe
scripts/wine64.sh "$1" build/win64/tests/wine/wine_tests.exe "--exe=Z:${signed//\//\\}" \
  --gtest_filter=Table/*/TypicalRun | tee /dev/stderr | grep -q '^\[  PASSED  \] 1 test'
