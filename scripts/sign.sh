#!/usr/bin/env bash
# Signs both release exes (Authenticode, SHA-256) with the release engineer's
# certificate into dist/signed/x64 and dist/signed/x86, and verifies each
# signed copy; dist/x64 and dist/x86 stay the unsigned, reproducible build.
#   sign.sh [CERT.p12]
# Environment:
#   TAVIX_SIGN_PKCS12         the PKCS#12 file, when not given as argument
#   TAVIX_SIGN_PASSWORD       its password (required; may be empty)
#   TAVIX_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional)
#   TAVIX_SIGNED_DIR          where to write instead of dist/signed
#   TAVIX_SIGN_CAFILE         the CA certificates to verify against (PEM;
#                             default: the system's, /etc/ssl/certs/ca-certificates.crt)
set -euo pipefail
root=$(dirname "$0")/..
p12=${1:-${TAVIX_SIGN_PKCS12:?give the PKCS#12 file as argument or in TAVIX_SIGN_PKCS12}}
: "${TAVIX_SIGN_PASSWORD?set TAVIX_SIGN_PASSWORD to the password of the PKCS#12 file}"
out=${TAVIX_SIGNED_DIR:-$root/dist/signed}
cafile=${TAVIX_SIGN_CAFILE:-/etc/ssl/certs/ca-certificates.crt}
timestamp=()
[ -z "${TAVIX_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$TAVIX_SIGN_TIMESTAMP_URL")
exe=VelmoranTavix_TransformsCleanUp.exe
for arch in x64 x86; do
  mkdir -p "$out/$arch"
  rm -f "$out/$arch/$exe" # osslsigncode 2.9 will not overwrite
  # The password reaches osslsigncode through a pipe written by the shell's
  # own printf: it is on no process's command line.
  osslsigncode sign -pkcs12 "$p12" -readpass <(printf '%s' "$TAVIX_SIGN_PASSWORD") -h sha256 \
    -n "Velmoran Tavix transforms clean-up" "${timestamp[@]}" \
    -in "$root/dist/$arch/$exe" -out "$out/$arch/$exe" >/dev/null
  if ! report=$(osslsigncode verify -CAfile "$cafile" -in "$out/$arch/$exe" 2>&1); then
    echo "$report" >&2
    rm -f "$out/$arch/$exe"
    echo "sign.sh: the signature of $out/$arch/$exe does not verify against $cafile" >&2
    exit 1
  fi
  echo "signed and verified: $out/$arch/$exe"
done
