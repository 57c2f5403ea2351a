#!/usr/bin/env bash
# Runs COMMAND on an X server of its own: a private Xvfb on a display number
# that no other server holds, with DISPLAY naming it, stopped when COMMAND
# ends. When WINEPREFIX is set, every Wine process of that prefix is ended
# first: Wine's desktop keeps the display it started on for as long as the
# prefix's server runs. Exits with 77 (a skipped test) and says why when no X
# server can run here, otherwise with COMMAND's status.
#
# Usage: scripts/with-xvfb.sh COMMAND [ARGUMENT...]
set -euo pipefail

if ! command -v Xvfb >/dev/null; then
    echo "SKIPPED: no X server can run here: Xvfb is not installed (scripts/install-deps.sh installs it)"
    exit 77
fi
scratch=$(mktemp -d)
xvfb_pid=
stop() {
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap stop EXIT

# The server picks the first free display number itself and writes it out once it listens.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/log" &
xvfb_pid=$!
for _ in $(seq 100); do
    grep -q . "$scratch/display" 2>/dev/null && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -q . "$scratch/display" 2>/dev/null; then
    echo "SKIPPED: no X server can run here: Xvfb did not start"
    sed 's/^/    /' "$scratch/log"
    exit 77
fi
export DISPLAY=":$(head -n 1 "$scratch/display")"
status=0
"$@" || status=$?
exit $status
