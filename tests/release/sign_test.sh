#!/usr/bin/env bash
# Signs both release exes with scripts/sign.sh and a throwaway self-signed
# code-signing certificate, verifies them against that certificate, and runs
# the typical case on the signed x64 exe under Wine.
#   usage: sign_test.sh WINE_PREFIX
set -euo pipefail
# The Windows test program that runs cases against a given exe, and the case.
WINE_TEST_PROGRAM=build/win64/tests/wine/wine_tests.exe
WINE_TEST_FILTER=Table/ScenarioTest.Run/TypicalRun
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Throwaway code signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
export TAVIX_SIGN_PASSWORD="throwaway $RANDOM" TAVIX_SIGNED_DIR=$work/signed
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout env:TAVIX_SIGN_PASSWORD
scripts/sign.sh "$work/cert.p12"
exe=VelmoranTavix_TransformsCleanUp.exe
for arch in x64 x86; do
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/$arch/$exe"
  # Without its signature, the signed exe is the built one, byte for byte.
  osslsigncode remove-signature -in "$work/signed/$arch/$exe" -out "$work/$arch.exe" >/dev/null
  cmp "$work/$arch.exe" "dist/$arch/$exe"
done
signed=$work/signed/x64/$exe
scripts/wine64.sh "$1" "$WINE_TEST_PROGRAM" "--exe=Z:${signed//\//\\}" \
  "--gtest_filter=$WINE_TEST_FILTER" | tee "$work/wine.log"
grep -q '^\[  PASSED  \] 1 test' "$work/wine.log" # the case ran, not an empty selection
