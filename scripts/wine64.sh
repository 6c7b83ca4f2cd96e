#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine in the given throwaway prefix (the
# 32-bit Wine is scripts/x86-wine.sh).
#   wine64.sh PREFIX init          create the prefix afresh
#   wine64.sh PREFIX stop          wait for the prefix's wineserver to end
#   wine64.sh PREFIX PROGRAM ARGS  run PROGRAM in it
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=${TAVIX_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
server=$(command -v wineserver || true)
[ -n "$server" ] || server=/usr/lib/wine/wineserver
case "$1" in
  init)
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    "$wine" wineboot -i >/dev/null 2>&1
    "$server" -w
    ;;
  stop) "$server" -w ;;
  *) exec "$wine" "$@" ;;
esac
