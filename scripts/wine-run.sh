#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine, quietly, in the prefix named by
# WINEPREFIX (made on first use; concurrent first uses wait for each other).
set -euo pipefail
: "${WINEPREFIX:=${HOME}/.wine-pelshx}"
export WINEPREFIX WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1
) 9>"$WINEPREFIX.lock"
exec wine "$@"
