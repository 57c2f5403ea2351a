#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in the prefix named by
# WINEPREFIX (made on first use; concurrent first uses wait for each other).
# The prefix is 32-bit unless WINEARCH=win64 is set (scripts/wine64-run.sh);
# a prefix keeps the architecture it was made with.
set -euo pipefail
: "${WINEPREFIX:=${HOME}/.wine-pelshx}" "${WINEARCH:=win32}"
export WINEPREFIX WINEARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Debian's "wine" starts the 32-bit loader first; 64-bit programs get the 64-bit one.
wine=wine
if [ "$WINEARCH" = win64 ]; then
    wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
    export WINELOADER=$wine
fi
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    # A new prefix is whole once its first server has saved the registry.
    [ -f "$WINEPREFIX/system.reg" ] || { "$wine" wineboot --init && wineserver -w; } >/dev/null 2>&1
    # A server that lingers 30 s after its last program: one that quits
    # between two programs can drop the next one as it connects ("recvmsg:
    # Connection reset by peer"). When it is new, Wine's own services are
    # started with it. Neither keeps a descriptor of ours: whoever waits for
    # our output or our lock would otherwise wait until the server quits.
    (
        for fd in /proc/$BASHPID/fd/*; do
            fd=${fd##*/}
            [ "$fd" -gt 2 ] && eval "exec $fd>&-"
        done
        exec </dev/null >/dev/null 2>&1
        if wineserver -p30; then "$wine" wineboot; fi
    ) || true
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
